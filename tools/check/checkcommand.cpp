#include "checkedvalue.h"
#include "commandline.h"
#include "commands.h"
#include "connection.h"
#include "csvexport.h"
#include "readtransaction.h"
#include "registercheck.h"
#include "terminaltext.h"
#include "totalsfix.h"
#include "values.h"

#include <QTextStream>

namespace commands {

namespace {

const QString csvOption = QStringLiteral("--csv");
const QString fixOption = QStringLiteral("--fix-totals");

void printCsv(const QList<registercheck::Finding>& findings, QTextStream& out)
{
    out << csvexport::csvLine(
        {QStringLiteral("table"), QStringLiteral("row_key"), QStringLiteral("record"), QStringLiteral("finding")});
    for (const registercheck::Finding& finding : findings) {
        // A shareholder's number is a number column's; a certificate's is text.
        const bool number = finding.table == QLatin1String("stockholder");
        out << csvexport::csvLine({finding.table, finding.rowKey, csvexport::defused(finding.record, number),
                                   csvexport::defused(finding.text, false)});
    }
}

QString totalLine(const registercheck::Total& total)
{
    const QString stored = checkedvalue::blank(total.stored) ? QStringLiteral("(empty)") : values::shown(total.stored);
    return terminaltext::visible(QStringLiteral("Shareholder %1 (record %2): total share %3 → %4")
                                     .arg(values::shown(total.number))
                                     .arg(total.rowKey)
                                     .arg(stored)
                                     .arg(total.held));
}

// Sets the totals found wrong, but none that may not be set; the exit status tells whether any finding is left.
int fixTotals(const Connection& connection, const QList<registercheck::Total>& found, qsizetype findings,
              QTextStream& out, QTextStream& err)
{
    QList<registercheck::Total> totals;
    for (const registercheck::Total& total : found) {
        if (total.withheld.isEmpty())
            totals.append(total);
        else
            out << terminaltext::visible(QStringLiteral("Not set, because %1: ").arg(total.withheld))
                << totalLine(total) << "\n";
    }
    if (totals.isEmpty()) {
        out << "No total to set.\n";
        return findings > 0 ? 1 : 0;
    }
    out << QStringLiteral("Setting %1:\n").arg(commandline::counted(totals.size(), QStringLiteral("total")));
    for (const registercheck::Total& total : totals)
        out << "  " << totalLine(total) << "\n";
    out.flush();
    const Expected<totalsfix::Outcome> outcome = totalsfix::apply(connection, totals);
    if (!outcome)
        return commandline::failed(err, outcome.status().message() + QStringLiteral(" No total was set."));
    for (const totalsfix::Skipped& skipped : outcome->skipped)
        out << terminaltext::visible(QStringLiteral("Not set, because %1: ").arg(skipped.why))
            << totalLine(skipped.total) << "\n";
    out << QStringLiteral("Set %1.\n").arg(commandline::counted(outcome->set.size(), QStringLiteral("total")));
    return findings > outcome->set.size() ? 1 : 0;
}

} // namespace

int check(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const commandline::Parsed parsed =
        commandline::parse(arguments, {csvOption, fixOption}, {}, {QStringLiteral("REGISTER")},
                           QStringLiteral("check takes one REGISTER"));
    if (!parsed.wrong.isEmpty())
        return commandline::wrongUsage(err, parsed.wrong);
    const bool csv = parsed.options.contains(csvOption);
    const bool fixing = parsed.options.contains(fixOption);
    if (csv && fixing)
        return commandline::wrongUsage(err, QStringLiteral("--fix-totals prints what it sets; it takes no --csv"));

    const Expected<std::unique_ptr<Connection>> opened = commandline::openRegister(parsed.rest.first());
    if (!opened)
        return commandline::failed(err, opened.status().message());
    const Connection& connection = *opened.value();
    QList<registercheck::Total> totals;
    const Expected<QList<registercheck::Finding>> found = [&]() -> Expected<QList<registercheck::Finding>> {
        // The whole register at one moment, however many clerks save meanwhile.
        ReadTransaction transaction(connection);
        if (Status begun = transaction.begin(QStringLiteral("Cannot check")); !begun)
            return begun;
        return registercheck::run(connection, fixing ? &totals : nullptr);
    }();
    if (!found)
        return commandline::failed(err, found.status().message());
    const QList<registercheck::Finding>& findings = found.value();
    if (csv) {
        printCsv(findings, out);
        return findings.isEmpty() ? 0 : 1;
    }
    for (const registercheck::Finding& finding : findings)
        out << finding.text << "\n";
    if (findings.isEmpty())
        out << QStringLiteral("Nothing found: the register \"%1\" holds together.\n")
                   .arg(terminaltext::visible(connection.path()));
    else
        out << QStringLiteral("%1 in the register \"%2\".\n")
                   .arg(commandline::counted(findings.size(), QStringLiteral("finding")),
                        terminaltext::visible(connection.path()));
    if (!fixing)
        return findings.isEmpty() ? 0 : 1;
    return fixTotals(connection, totals, findings.size(), out, err);
}

} // namespace commands
