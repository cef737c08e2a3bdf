#include "addedtables.h"
#include "commandline.h"
#include "commands.h"
#include "connection.h"
#include "datedregister.h"
#include "distribution.h"
#include "heldon.h"
#include "memberregister.h"
#include "pdffile.h"
#include "reportheading.h"
#include "reportpages.h"
#include "schema.h"
#include "terminaltext.h"
#include "transfersregister.h"
#include "values.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

namespace commands {

namespace {

const QString forceOption = QStringLiteral("--force");
const QString onOption = QStringLiteral("--on");

Status cannotReport(const QString& path, const QString& reason)
{
    return Status::failure(QStringLiteral("Cannot make the register of members of \"%1\": %2.").arg(path, reason));
}

// Every shareholder in number order, each followed by the certificates they hold now in record order; a
// shareholder without any comes once, with no certificate. Holders are joined by the whole number they name,
// the one rule the check counts by; the shareholders whose number names none come last. On a day, the certificates
// each held then.
QString holdersAndCertificates(const Connection& connection, const std::optional<QDate>& on)
{
    QStringList holderColumns, columns;
    for (const schema::Column& column : schema::table(u"stockholder")->columns) {
        holderColumns.append(schema::quoted(column.name));
        columns.append(QStringLiteral("h.") + schema::quoted(column.name));
    }
    for (const char* column : {"stock_no", "stock_type", "publish_date", "item_code", "stock_qty"})
        columns.append(QStringLiteral("s.") + QLatin1String(column));
    return QStringLiteral("WITH h AS %5 (SELECT %1, %2 AS k, %3 AS n FROM stockholder), s AS %5 (%6) "
                          "SELECT %4, h.k, s.k FROM h LEFT JOIN s ON s.n = h.n ORDER BY h.n IS NULL, h.n, h.k, s.k")
        .arg(holderColumns.join(QLatin1String(", ")), connection.rowKey(),
             connection.wholeNumberOf(QStringLiteral("stockholder_no")), columns.join(QLatin1String(", ")),
             connection.computedOnce(), heldon::certificates(connection, on));
}

// The certificates whose holder names no shareholder, none at all included, in record order.
QString unheldCertificates(const Connection& connection, const std::optional<QDate>& on)
{
    const QString number = connection.wholeNumberOf(QStringLiteral("stockholder_no"));
    return QStringLiteral("SELECT stock_no, h, publish_date, item_code, stock_qty, k FROM (%1) c WHERE n IS NULL OR "
                          "n NOT IN (SELECT %2 FROM stockholder WHERE %2 IS NOT NULL) ORDER BY k")
        .arg(heldon::certificates(connection, on), number);
}

// The transfers in date order; on a day, those in effect then.
QString ledger(const Connection& connection, const std::optional<QDate>& on)
{
    return QStringLiteral("SELECT stock_no, transferred_date, before_holder, new_holder, item_code, %1 FROM "
                          "transfer_data %2 ORDER BY transferred_date IS NULL, transferred_date, %1")
        .arg(connection.rowKey(),
             on ? QStringLiteral("WHERE ") + heldon::onOrBefore(QStringLiteral("transferred_date"), *on) : QString());
}

QVariantList valuesOf(const QSqlQuery& query, int from, int count)
{
    QVariantList values;
    for (int i = from; i < from + count; ++i)
        values.append(query.isNull(i) ? QVariant() : query.value(i));
    return values;
}

// The whole register of members, read as the pages are filled.
Status layOut(const Connection& connection, const std::optional<QDate>& on, MemberRegister& members)
{
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    const auto failed = [&] {
        return connection.failure(QStringLiteral("Cannot make the register of members of"), query.lastError());
    };
    const int holderColumns = int(schema::table(u"stockholder")->columns.size());
    const int holderKey = holderColumns + 5;
    if (!query.exec(holdersAndCertificates(connection, on)))
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

    if (!query.exec(ledger(connection, on)))
        return failed();
    members.beginLedger();
    while (query.next())
        members.transfer(valuesOf(query, 0, 5), query.value(5).toLongLong());
    if (query.lastError().isValid())
        return failed();
    members.endLedger();

    if (!query.exec(unheldCertificates(connection, on)))
        return failed();
    members.beginUnheld();
    while (query.next())
        members.unheld(valuesOf(query, 0, 5), query.value(5).toLongLong());
    if (query.lastError().isValid())
        return failed();
    members.endUnheld();
    query.finish();
    const Expected<bool> kept = addedtables::held(connection, schema::cancelledTable);
    if (!kept)
        return kept.status();
    if (kept.value()) {
        if (!query.exec(
                QStringLiteral("SELECT stock_no, cancelled_date, reason, replaced_by FROM %1 %2 ORDER BY "
                               "cancelled_date, %3")
                    .arg(schema::cancelledTable,
                         on ? QStringLiteral("WHERE cancelled_date <= '%1'").arg(on->toString(Qt::ISODate)) : QString(),
                         connection.rowKey())))
            return failed();
        QList<QStringList> cancelled;
        while (query.next())
            cancelled.append({values::shown(values::read(query, 0)), values::shown(values::read(query, 1)),
                              values::shown(values::read(query, 2)), values::shown(values::read(query, 3))});
        if (query.lastError().isValid())
            return failed();
        members.cancelled(cancelled);
    }
    query.finish();
    members.finish();
    return {};
}

// Reads the register at one moment, on a day or as recorded when asked, and writes its register of members (or the
// copy for inspection) to target, under a hidden name beside it until whole: a failure leaves nothing behind.
Expected<int> makeReport(const QString& location, const QString& target, bool force, const DatedRegister::Asked& asked,
                         bool inspection)
{
    const QString named = Connection::pathOf(location);
    const Expected<std::unique_ptr<DatedRegister>> opened = DatedRegister::open(location, asked);
    if (!opened)
        return opened.status();
    const DatedRegister& dated = *opened.value();
    const Connection& connection = dated.connection();
    // The copy for inspection shows what anyone may see, and no finding.
    const Expected<QList<registercheck::Finding>> findings =
        inspection ? QList<registercheck::Finding>() : registercheck::run(connection);
    if (!findings)
        return findings.status();
    const Expected<ReportHeading> heading = reportheading::read(connection, inspection);
    if (!heading)
        return heading.status();
    const Expected<QList<distribution::Holding>> holdings = distribution::read(connection, dated.on());
    if (!holdings)
        return holdings.status();
    const bool viewed = asked.on || asked.recordedAt;
    const QDateTime made = QDateTime::currentDateTime();
    QString footer = QStringLiteral("Register of members of %1, made %2")
                         .arg(named, made.toString(QStringLiteral("yyyy-MM-dd HH:mm")));
    if (viewed)
        footer += QStringLiteral(", ") + dated.view();
    // The first run counts what the title of the second says.
    std::optional<MemberRegister::Counts> counted;
    const auto layOutOnce = [&](ReportPages& pages) {
        MemberRegister members(pages, findings.value(), heading.value());
        members.title(named, made, counted.value_or(MemberRegister::Counts()), viewed ? dated.view() : QString());
        distribution::lay(pages, holdings.value());
        Status laidOut = layOut(connection, dated.on(), members);
        counted = members.counts();
        return laidOut;
    };
    return pdffile::writePages(location, target, force, {QStringLiteral("Register of members: ") + named, footer},
                               layOutOnce, [&](const QString& reason) { return cannotReport(named, reason); });
}

} // namespace

int report(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const QString transfersOption = QStringLiteral("--transfers");
    const QString inspectionOption = QStringLiteral("--inspection");
    const commandline::Parsed parsed = commandline::parse(
        arguments, {forceOption, transfersOption, inspectionOption}, {onOption, DatedRegister::recordedOption()},
        {QStringLiteral("REGISTER"), QStringLiteral("FILE")},
        QStringLiteral("report takes a REGISTER and a FILE for the PDF"));
    if (!parsed.wrong.isEmpty())
        return commandline::wrongUsage(err, parsed.wrong);
    const bool transfers = parsed.options.contains(transfersOption);
    const bool inspection = parsed.options.contains(inspectionOption);
    if (transfers && inspection)
        return commandline::wrongUsage(err, QStringLiteral("--transfers and --inspection make two PDFs; give one"));
    DatedRegister::Asked asked;
    if (const QString wrong = DatedRegister::readOptions(parsed.options, onOption, asked); !wrong.isEmpty())
        return commandline::wrongUsage(err, wrong);
    if (transfers && (asked.on || asked.recordedAt))
        return commandline::wrongUsage(err, QStringLiteral("--transfers lists every transfer; it takes no --on or "
                                                           "--as-recorded-at"));
    const bool force = parsed.options.contains(forceOption);
    const QString& location = parsed.rest[0];
    const QString target = QFileInfo(parsed.rest[1]).absoluteFilePath();
    const QString named = Connection::pathOf(location);
    if (const QString refusal = pdffile::refusal(location, target, force); !refusal.isEmpty())
        return commandline::failed(err, cannotReport(named, refusal).message());
    if (transfers)
        return transfersregister::report(location, target, force, out, err);
    const Expected<int> pages = makeReport(location, target, force, asked, inspection);
    if (!pages)
        return commandline::failed(err, pages.status().message());
    out << QStringLiteral("Wrote the register of members of %1%2 to %3: %4.\n")
               .arg(terminaltext::visible(named), inspection ? QStringLiteral(" for inspection") : QString(),
                    terminaltext::visible(target), commandline::counted(pages.value(), QStringLiteral("page")));
    return 0;
}

} // namespace commands
