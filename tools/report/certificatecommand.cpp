#include "addedtables.h"
#include "commandline.h"
#include "commands.h"
#include "companydetails.h"
#include "connection.h"
#include "inwords.h"
#include "pdffile.h"
#include "readtransaction.h"
#include "registerrows.h"
#include "reportpages.h"
#include "terminaltext.h"
#include "values.h"

#include <QCollator>
#include <QDateTime>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

#include <algorithm>

namespace commands {

namespace {

using Style = ReportPages::Style;

Status cannotPrint(const QString& path, const QString& reason)
{
    return Status::failure(QStringLiteral("Cannot print the share certificates of \"%1\": %2.").arg(path, reason));
}

struct Certificate {
    QString number;
    QVariant type;
    QString published;
    qint64 holder = 0;
    qint64 shares = 0;
};

struct Register {
    CompanyDetails company;
    QHash<qint64, registerrows::Holder> holders;
    QHash<QString, QList<registerrows::Transfer>> transfers; // by certificate number, in date order
    QList<Certificate> certificates;                         // those to print, in number order
};

// A whole number with a comma between each three digits: 1,234,567.
QString grouped(qint64 number)
{
    QString digits = QString::number(number);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, QLatin1Char(','));
    return digits;
}

// The certificates named (every one when none is), each one checked: a certificate is refused when it names no
// shareholder as its present holder, or no whole number of shares; a number is refused when no certificate has it.
// The cancelled certificates, each with when and by what it was replaced, as a refusal says it.
Expected<QHash<QString, QString>> cancellations(const Connection& connection)
{
    QHash<QString, QString> cancelled;
    const Expected<bool> kept = addedtables::held(connection, schema::cancelledTable);
    if (!kept || !kept.value())
        return kept ? Expected<QHash<QString, QString>>(cancelled) : kept.status();
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT stock_no, cancelled_date, replaced_by FROM %1").arg(schema::cancelledTable)))
        return connection.failure(QStringLiteral("Cannot read"), query.lastError());
    while (query.next()) {
        const QString replaced = values::shown(values::read(query, 2));
        cancelled.insert(values::shown(values::read(query, 0)),
                         QStringLiteral("on %1%2").arg(
                             values::shown(values::read(query, 1)),
                             replaced.isEmpty() ? QString() : QStringLiteral(", replaced by ") + replaced));
    }
    if (query.lastError().isValid())
        return connection.failure(QStringLiteral("Cannot read"), query.lastError());
    return cancelled;
}

Expected<QList<Certificate>> chosen(const Connection& connection, const QStringList& named,
                                    const QHash<qint64, registerrows::Holder>& holders)
{
    const Expected<QHash<QString, QString>> cancelled = cancellations(connection);
    if (!cancelled)
        return cancelled.status();
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT stock_no, stock_type, publish_date, present_holder, stock_qty FROM "
                                   "stock_data ORDER BY %1")
                        .arg(connection.rowKey())))
        return connection.failure(QStringLiteral("Cannot read"), query.lastError());
    QList<Certificate> chosen;
    QSet<QString> found;
    while (query.next()) {
        const QString number = values::shown(values::read(query, 0));
        if (!named.isEmpty() && !named.contains(number))
            continue;
        found.insert(number);
        // A cancelled certificate is no longer anyone's title to shares: left out of all, refused by name.
        if (const auto gone = cancelled->constFind(number); gone != cancelled->cend()) {
            if (named.isEmpty())
                continue;
            return Status::failure(QStringLiteral("certificate %1 was cancelled %2; it gives no title to shares")
                                       .arg(terminaltext::quoted(number), *gone));
        }
        const QString which = QStringLiteral("certificate %1")
                                  .arg(number.isEmpty() ? QStringLiteral("(no number)") : terminaltext::quoted(number));
        const QVariant holder = values::read(query, 3);
        const std::optional<qint64> held = values::wholeNumber(holder).whole();
        if (!held || !holders.contains(*held))
            return Status::failure(QStringLiteral("%1 names no shareholder as its present holder (%2)")
                                       .arg(which, holder.isNull() ? QStringLiteral("none")
                                                                   : terminaltext::quoted(values::shown(holder))));
        const QVariant quantity = values::read(query, 4);
        const std::optional<qint64> shares = values::wholeNumber(quantity).whole();
        if (!shares || *shares < 0)
            return Status::failure(QStringLiteral("%1 holds no whole number of shares (%2)")
                                       .arg(which, terminaltext::quoted(values::shown(quantity))));
        chosen.append({number, values::read(query, 1), values::shown(values::read(query, 2)), *held, *shares});
    }
    if (query.lastError().isValid())
        return connection.failure(QStringLiteral("Cannot read"), query.lastError());
    for (const QString& number : named) {
        if (!found.contains(number))
            return Status::failure(
                QStringLiteral("no certificate has the number %1").arg(terminaltext::quoted(number)));
    }
    QCollator collator;
    collator.setNumericMode(true);
    std::stable_sort(chosen.begin(), chosen.end(), [&](const Certificate& one, const Certificate& other) {
        return collator.compare(one.number, other.number) < 0;
    });
    return chosen;
}

Expected<Register> read(const Connection& connection, const QStringList& named)
{
    Register rows;
    const Expected<CompanyDetails> company = CompanyDetails::read(connection);
    if (!company)
        return company.status();
    rows.company = company.value();
    const Expected<registerrows::Ledger> ledger = registerrows::ledger(connection);
    if (!ledger)
        return ledger.status();
    rows.holders = ledger->holders;
    for (const registerrows::Transfer& transfer : ledger->transfers)
        rows.transfers[transfer.stockNo].append(transfer);
    const Expected<QList<Certificate>> certificates = chosen(connection, named, rows.holders);
    if (!certificates)
        return certificates.status();
    rows.certificates = certificates.value();
    return rows;
}

// One certificate's page, as company law asks: the company, the certificate, the holder, the shares in figures and
// words with their type and nominal value, fully paid; the transfers so far, and room for two signatures.
void layCertificate(ReportPages& pages, const Register& rows, const Certificate& certificate)
{
    const CompanyDetails& company = rows.company;
    if (const QString name = company.value(QStringLiteral("name")); !name.isEmpty())
        pages.text(name, Style::Title);
    if (const QString number = company.value(QStringLiteral("number")); !number.isEmpty())
        pages.text(QStringLiteral("Registration no. ") + number);
    QStringList office = company.office();
    if (const QString country = company.value(QStringLiteral("country")); !country.isEmpty())
        office.append(country);
    if (!office.isEmpty())
        pages.text(QStringLiteral("Registered office: ") + office.join(QStringLiteral(", ")));
    pages.space();
    pages.space();
    pages.text(QStringLiteral("Share certificate no. ") + certificate.number, Style::Title);
    pages.space();
    pages.fields({{QStringLiteral("Certificate no."), certificate.number},
                  {QStringLiteral("Publish date"), certificate.published}});
    pages.space();
    const registerrows::Holder& holder = rows.holders.value(certificate.holder);
    pages.text(QStringLiteral("This is to certify that"));
    pages.text(holder.name.isEmpty() ? QStringLiteral("shareholder %1").arg(holder.number) : holder.name,
               Style::Heading);
    for (const QString& line : {holder.address1, holder.address2}) {
        if (!line.trimmed().isEmpty())
            pages.text(line);
    }
    pages.text(QStringLiteral("shareholder no. %1, is the registered holder of").arg(holder.number));
    pages.space();
    pages.text(QStringLiteral("%1 (%2) shares").arg(grouped(certificate.shares), inWords(certificate.shares)),
               Style::Heading);
    const std::optional<qint64> code = values::wholeNumber(certificate.type).whole();
    QString kind = QStringLiteral("of type %1").arg(values::shown(certificate.type));
    if (code) {
        if (const QString name = company.type(*code, "name"); !name.isEmpty())
            kind = QStringLiteral("of type %1 (code %2)").arg(name).arg(*code);
        if (const QString par = company.par(*code); !par.isEmpty())
            kind += QStringLiteral(", nominal value %1 each").arg(par);
    }
    pages.text(kind + QStringLiteral(", fully paid, in the company, subject to its articles of association."));
    pages.space();
    pages.space();
    const QList<registerrows::Transfer> transfers = rows.transfers.value(certificate.number);
    if (transfers.isEmpty()) {
        pages.text(QStringLiteral("This certificate has not been transferred."));
    } else {
        pages.beginTable(QStringLiteral("Transfers of this certificate so far"),
                         {{QStringLiteral("Date"), 1}, {QStringLiteral("From"), 2.5}, {QStringLiteral("To"), 2.5}});
        for (const registerrows::Transfer& transfer : transfers)
            pages.row({transfer.date, registerrows::named(rows.holders, transfer.from),
                       registerrows::named(rows.holders, transfer.to)});
        pages.endTable();
    }
    pages.space();
    pages.space();
    pages.keep(4);
    pages.space();
    pages.space();
    pages.fields({{QStringLiteral("Director"), QStringLiteral("________________________")},
                  {QStringLiteral("Secretary"), QStringLiteral("________________________")}});
}

void layAll(ReportPages& pages, const Register& rows)
{
    for (qsizetype i = 0; i < rows.certificates.size(); ++i) {
        if (i > 0)
            pages.pageBreak();
        layCertificate(pages, rows, rows.certificates[i]);
    }
}

} // namespace

int certificate(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const QString forceOption = QStringLiteral("--force");
    const commandline::Parsed parsed = commandline::parse(arguments, {forceOption}, {});
    if (!parsed.wrong.isEmpty())
        return commandline::wrongUsage(err, parsed.wrong);
    if (parsed.rest.size() < 2 || parsed.rest[0].isEmpty() || parsed.rest[1].isEmpty())
        return commandline::wrongUsage(
            err, QStringLiteral("certificate takes a REGISTER, a FILE for the PDF, then any certificate numbers"));
    const bool force = parsed.options.contains(forceOption);
    const QString& location = parsed.rest[0];
    const QString target = QFileInfo(parsed.rest[1]).absoluteFilePath();
    const QString named = Connection::pathOf(location);
    const auto failed = [&](const QString& reason) {
        return commandline::failed(err, cannotPrint(named, reason).message());
    };
    if (const QString refusal = pdffile::refusal(location, target, force); !refusal.isEmpty())
        return failed(refusal);
    const Expected<std::unique_ptr<Connection>> opened = commandline::openRegister(location);
    if (!opened)
        return commandline::failed(err, opened.status().message());
    const Connection& connection = *opened.value();
    ReadTransaction transaction(connection);
    if (Status begun = transaction.begin(QStringLiteral("Cannot print the share certificates of")); !begun)
        return commandline::failed(err, begun.message());
    const Expected<Register> rows = read(connection, parsed.rest.mid(2));
    if (!rows)
        return failed(rows.status().message());
    if (rows->certificates.isEmpty())
        return failed(QStringLiteral("the register holds no certificate"));

    const QString company = rows->company.heading();
    const QString footer = QStringLiteral("Share certificate of %1, printed %2")
                               .arg(company.isEmpty() ? named : company,
                                    QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd")));
    const Expected<int> pageCount = pdffile::writePages(
        location, target, force, {QStringLiteral("Share certificates: ") + named, footer},
        [&](ReportPages& pages) {
            layAll(pages, rows.value());
            return Status();
        },
        [&](const QString& reason) { return cannotPrint(named, reason); });
    if (!pageCount)
        return commandline::failed(err, pageCount.status().message());
    out << QStringLiteral("Wrote %1 to %2: %3.\n")
               .arg(commandline::counted(rows->certificates.size(), QStringLiteral("share certificate")),
                    terminaltext::visible(target), commandline::counted(pageCount.value(), QStringLiteral("page")));
    return 0;
}

} // namespace commands
