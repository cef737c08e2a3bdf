#include "transfersregister.h"

#include "commandline.h"
#include "connection.h"
#include "pdffile.h"
#include "readtransaction.h"
#include "registerrows.h"
#include "reportheading.h"
#include "reportpages.h"
#include "terminaltext.h"
#include "values.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

namespace transfersregister {

namespace {

Status cannotMake(const QString& path, const QString& reason)
{
    return Status::failure(QStringLiteral("Cannot make the register of transfers of \"%1\": %2.").arg(path, reason));
}

struct Rows {
    QHash<qint64, registerrows::Holder> holders;
    QList<registerrows::Transfer> transfers;
    QHash<QString, QString> shares; // each certificate's quantity by its number, the first record's
    ReportHeading heading;
};

Expected<Rows> read(const Connection& connection)
{
    Rows rows;
    const Expected<registerrows::Ledger> ledger = registerrows::ledger(connection);
    if (!ledger)
        return ledger.status();
    rows.holders = ledger->holders;
    rows.transfers = ledger->transfers;
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT stock_no, stock_qty FROM stock_data ORDER BY %1").arg(connection.rowKey())))
        return connection.failure(QStringLiteral("Cannot read"), query.lastError());
    while (query.next()) {
        const QString number = values::shown(values::read(query, 0));
        if (!rows.shares.contains(number))
            rows.shares.insert(number, values::shown(values::read(query, 1)));
    }
    const Expected<ReportHeading> heading = reportheading::read(connection, false);
    if (!heading)
        return heading.status();
    rows.heading = heading.value();
    return rows;
}

void lay(ReportPages& pages, const Rows& rows, const QString& path, const QDateTime& made)
{
    pages.text(QStringLiteral("Register of transfers"), ReportPages::Style::Title);
    if (!rows.heading.company.isEmpty())
        pages.text(rows.heading.company, ReportPages::Style::Heading);
    pages.space();
    pages.fields({{QStringLiteral("Register"), path, true},
                  {QStringLiteral("Made"), made.toString(QStringLiteral("yyyy-MM-dd HH:mm t")), true}});
    pages.space();
    pages.beginTable(QStringLiteral("Transfers, in date order"), {{QStringLiteral("Date"), 1},
                                                                  {QStringLiteral("Certificate"), 1.2},
                                                                  {QStringLiteral("Shares"), 0.9, true},
                                                                  {QStringLiteral("From"), 2.4},
                                                                  {QStringLiteral("To"), 2.4}});
    for (const registerrows::Transfer& transfer : rows.transfers)
        pages.row({transfer.date, transfer.stockNo, rows.shares.value(transfer.stockNo),
                   registerrows::named(rows.holders, transfer.from), registerrows::named(rows.holders, transfer.to)});
    pages.endTable();
    if (rows.transfers.isEmpty())
        pages.text(QStringLiteral("No certificate has been transferred."));
    pages.space();
    pages.text(QStringLiteral("End of the register of transfers."), ReportPages::Style::Small);
}

} // namespace

int report(const QString& location, const QString& target, bool force, QTextStream& out, QTextStream& err)
{
    const QString named = Connection::pathOf(location);
    const Expected<std::unique_ptr<Connection>> opened = commandline::openRegister(location);
    if (!opened)
        return commandline::failed(err, opened.status().message());
    const Connection& connection = *opened.value();
    ReadTransaction transaction(connection);
    if (Status begun = transaction.begin(QStringLiteral("Cannot make the register of transfers of")); !begun)
        return commandline::failed(err, begun.message());
    const Expected<Rows> rows = read(connection);
    if (!rows)
        return commandline::failed(err, rows.status().message());
    const QDateTime made = QDateTime::currentDateTime();
    const Expected<int> pageCount = pdffile::writePages(
        location, target, force,
        {QStringLiteral("Register of transfers: ") + named,
         QStringLiteral("Register of transfers of %1, made %2")
             .arg(named, made.toString(QStringLiteral("yyyy-MM-dd HH:mm")))},
        [&](ReportPages& pages) {
            lay(pages, rows.value(), named, made);
            return Status();
        },
        [&](const QString& reason) { return cannotMake(named, reason); });
    if (!pageCount)
        return commandline::failed(err, pageCount.status().message());
    out << QStringLiteral("Wrote the register of transfers of %1 to %2: %3.\n")
               .arg(terminaltext::visible(named), terminaltext::visible(target),
                    commandline::counted(pageCount.value(), QStringLiteral("page")));
    return 0;
}

} // namespace transfersregister
