#include "commandline.h"
#include "commands.h"
#include "connection.h"
#include "distribution.h"
#include "memberregister.h"
#include "pdffile.h"
#include "readtransaction.h"
#include "registerfile.h"
#include "reportheading.h"
#include "reportpages.h"
#include "schema.h"
#include "terminaltext.h"
#include "transfersregister.h"

#include <QFile>
#include <QFileInfo>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

#include <cstdio>

namespace commands {

namespace {

const QString forceOption = QStringLiteral("--force");

Status cannotReport(const QString& path, const QString& reason)
{
    return Status::failure(QStringLiteral("Cannot make the register of members of \"%1\": %2.").arg(path, reason));
}

// Every shareholder in number order, each followed by the certificates they hold now in record order; a
// shareholder without any comes once, with no certificate. Holders are joined by the whole number they name,
// the one rule the check counts by; the shareholders whose number names none come last.
QString holdersAndCertificates(const Connection& connection)
{
    QStringList holderColumns, columns;
    for (const schema::Column& column : schema::table(u"stockholder")->columns) {
        holderColumns.append(schema::quoted(column.name));
        columns.append(QStringLiteral("h.") + schema::quoted(column.name));
    }
    for (const char* column : {"stock_no", "stock_type", "publish_date", "item_code", "stock_qty"})
        columns.append(QStringLiteral("s.") + QLatin1String(column));
    return QStringLiteral("WITH h AS %6 (SELECT %1, %2 AS k, %3 AS n FROM stockholder), "
                          "s AS %6 (SELECT stock_no, stock_type, publish_date, item_code, stock_qty, %2 AS k, "
                          "%4 AS n FROM stock_data) "
                          "SELECT %5, h.k, s.k FROM h LEFT JOIN s ON s.n = h.n ORDER BY h.n IS NULL, h.n, h.k, s.k")
        .arg(holderColumns.join(QLatin1String(", ")), connection.rowKey(),
             connection.wholeNumberOf(QStringLiteral("stockholder_no")),
             connection.wholeNumberOf(QStringLiteral("present_holder")), columns.join(QLatin1String(", ")),
             connection.computedOnce());
}

// The certificates whose present holder names no shareholder, none at all included, in record order.
QString unheldCertificates(const Connection& connection)
{
    const QString holder = connection.wholeNumberOf(QStringLiteral("present_holder"));
    const QString number = connection.wholeNumberOf(QStringLiteral("stockholder_no"));
    return QStringLiteral("SELECT stock_no, present_holder, publish_date, item_code, stock_qty, %1 FROM stock_data "
                          "WHERE %2 IS NULL OR %2 NOT IN (SELECT %3 FROM stockholder WHERE %3 IS NOT NULL) ORDER BY %1")
        .arg(connection.rowKey(), holder, number);
}

QVariantList valuesOf(const QSqlQuery& query, int from, int count)
{
    QVariantList values;
    for (int i = from; i < from + count; ++i)
        values.append(query.isNull(i) ? QVariant() : query.value(i));
    return values;
}

// The whole register of members, read as the pages are filled.
Status layOut(const Connection& connection, MemberRegister& members)
{
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    const auto failed = [&] {
        return connection.failure(QStringLiteral("Cannot make the register of members of"), query.lastError());
    };
    const int holderColumns = int(schema::table(u"stockholder")->columns.size());
    const int holderKey = holderColumns + 5;
    if (!query.exec(holdersAndCertificates(connection)))
        return failed();
    std::optional<qint64> holder;
    while (query.next()) {
        if (const qint64 key = query.value(holderKey).toLongLong(); key != holder) {
            if (holder)
                members.endHolder();
            members.holder(valuesOf(query, 0, holderColumns));
            holder = key;
        }
        if (!query.isNull(holderKey + 1))
            members.certificate(valuesOf(query, holderColumns, 5), query.value(holderKey + 1).toLongLong());
    }
    if (query.lastError().isValid())
        return failed();
    if (holder)
        members.endHolder();

    if (!query.exec(QStringLiteral("SELECT stock_no, transferred_date, before_holder, new_holder, item_code, %1 FROM "
                                   "transfer_data ORDER BY transferred_date IS NULL, transferred_date, %1")
                        .arg(connection.rowKey())))
        return failed();
    members.beginLedger();
    while (query.next())
        members.transfer(valuesOf(query, 0, 5), query.value(5).toLongLong());
    if (query.lastError().isValid())
        return failed();
    members.endLedger();

    if (!query.exec(unheldCertificates(connection)))
        return failed();
    members.beginUnheld();
    while (query.next())
        members.unheld(valuesOf(query, 0, 5), query.value(5).toLongLong());
    if (query.lastError().isValid())
        return failed();
    members.endUnheld();
    query.finish();
    members.finish();
    return {};
}

// Lays the register out twice: once to count the pages, then to draw them, each numbered "page n of N".
Expected<int> writePdf(const Connection& connection, const QStringList& families,
                       const QList<registercheck::Finding>& findings, const ReportHeading& heading, QIODevice& file)
{
    const QString path = connection.path();
    const QDateTime made = QDateTime::currentDateTime();
    QPdfWriter writer(&file);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF());
    writer.setTitle(QStringLiteral("Register of members: ") + path);
    writer.setCreator(QStringLiteral("Velmora " VELMORA_VERSION));
    const QString footer = QStringLiteral("Register of members of %1, made %2")
                               .arg(path, made.toString(QStringLiteral("yyyy-MM-dd HH:mm")));

    const Expected<QList<distribution::Holding>> holdings = distribution::read(connection);
    if (!holdings)
        return holdings.status();
    ReportPages counting(writer, families, footer);
    MemberRegister counted(counting, findings, heading);
    counted.title(path, made, {});
    distribution::lay(counting, holdings.value());
    if (Status laidOut = layOut(connection, counted); !laidOut)
        return laidOut;
    const int pageCount = counting.finish();

    QPainter painter;
    if (!painter.begin(&writer))
        return cannotReport(path, QStringLiteral("the PDF cannot be started"));
    ReportPages pages(writer, families, footer, &painter, pageCount);
    MemberRegister members(pages, findings, heading);
    members.title(path, made, counted.counts());
    distribution::lay(pages, holdings.value());
    if (Status laidOut = layOut(connection, members); !laidOut)
        return laidOut;
    const int drawn = pages.finish();
    painter.end();
    if (drawn != pageCount)
        return cannotReport(
            path, QStringLiteral("its pages came out as %1 the second time, not %2").arg(drawn).arg(pageCount));
    return pageCount;
}

// Reads the register at one moment and writes its register of members to target, under a hidden name beside it
// until whole: a failure leaves nothing behind.
Expected<int> makeReport(const QString& location, const QString& target, bool force, bool inspection)
{
    const QString named = Connection::pathOf(location);
    const Expected<QStringList> families = pdffile::loadFonts();
    if (!families)
        return cannotReport(named, families.status().message());
    const Expected<std::unique_ptr<Connection>> opened = commandline::openRegister(location);
    if (!opened)
        return opened.status();
    const Connection& connection = *opened.value();
    ReadTransaction transaction(connection);
    if (Status begun = transaction.begin(QStringLiteral("Cannot make the register of members of")); !begun)
        return begun;
    // The copy for inspection shows what anyone may see, and no finding.
    const Expected<QList<registercheck::Finding>> findings =
        inspection ? QList<registercheck::Finding>() : registercheck::run(connection);
    if (!findings)
        return findings.status();
    const Expected<ReportHeading> heading = reportheading::read(connection, inspection);
    if (!heading)
        return heading.status();

    Expected<int> pages = 0;
    const auto write = [&](QIODevice& file) {
        pages = writePdf(connection, families.value(), findings.value(), heading.value(), file);
        return pages ? Status() : pages.status();
    };
    const auto refused = [&](const QString& path, const QString& reason) {
        return cannotReport(named, QStringLiteral("\"%1\": %2").arg(path, reason));
    };
    // Under a hidden name beside the target until whole; over a file there only when forced.
    if (Status built = pdffile::write(location, target, force, write, refused); !built)
        return built;
    return pages;
}

} // namespace

int report(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const QString transfersOption = QStringLiteral("--transfers");
    const QString inspectionOption = QStringLiteral("--inspection");
    const commandline::Parsed parsed =
        commandline::parse(arguments, {forceOption, transfersOption, inspectionOption}, {},
                           {QStringLiteral("REGISTER"), QStringLiteral("FILE")},
                           QStringLiteral("report takes a REGISTER and a FILE for the PDF"));
    if (!parsed.wrong.isEmpty())
        return commandline::wrongUsage(err, parsed.wrong);
    const bool transfers = parsed.options.contains(transfersOption);
    const bool inspection = parsed.options.contains(inspectionOption);
    if (transfers && inspection)
        return commandline::wrongUsage(err, QStringLiteral("--transfers and --inspection make two PDFs; give one"));
    const bool force = parsed.options.contains(forceOption);
    const QString& location = parsed.rest[0];
    const QString target = QFileInfo(parsed.rest[1]).absoluteFilePath();
    const QString named = Connection::pathOf(location);
    if (const QString refusal = pdffile::refusal(location, target, force); !refusal.isEmpty())
        return commandline::failed(err, cannotReport(named, refusal).message());
    if (transfers)
        return transfersregister::report(location, target, force, out, err);
    const Expected<int> pages = makeReport(location, target, force, inspection);
    if (!pages)
        return commandline::failed(err, pages.status().message());
    out << QStringLiteral("Wrote the register of members of %1%2 to %3: %4.\n")
               .arg(terminaltext::visible(named), inspection ? QStringLiteral(" for inspection") : QString(),
                    terminaltext::visible(target), commandline::counted(pages.value(), QStringLiteral("page")));
    return 0;
}

} // namespace commands
