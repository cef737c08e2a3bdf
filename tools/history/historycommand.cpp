#include "commandline.h"
#include "commands.h"
#include "connection.h"
#include "history.h"
#include "historyview.h"
#include "readtransaction.h"
#include "registerpath.h"
#include "schema.h"
#include "serveraddress.h"
#include "terminaltext.h"

#include <QFileInfo>
#include <QTextStream>

namespace commands {

namespace {

const QString tableOption = QStringLiteral("--table");
const QString recordOption = QStringLiteral("--record");
const QString sinceOption = QStringLiteral("--since");
const QString csvOption = QStringLiteral("--csv");
const QString verifyOption = QStringLiteral("--verify");

// The command that starts a history for the register at location, safe to paste; a server's password left out.
QString upgradeCommand(const QString& location)
{
    QString named = QFileInfo(location).absoluteFilePath();
    if (Connection::isServer(location)) {
        const Expected<ServerAddress> address = ServerAddress::parse(location);
        named = address ? address->uriWithoutPassword() : QString();
    }
    return QStringLiteral("velmora-register upgrade ") + registerpath::shellQuoted(named);
}

int verify(const Connection& connection, const QList<history::Entry>& entries, QTextStream& out, QTextStream& err)
{
    const history::Verdict verdict = history::verify(entries);
    if (!verdict.intact)
        return commandline::failed(err, QStringLiteral("The history of the register \"%1\" is broken: %2. The changes "
                                                       "before it are as they were written.")
                                            .arg(connection.path(), verdict.problem));
    if (verdict.entries == 0) {
        out << QStringLiteral("The history of the register \"%1\" is intact: it holds no changes yet.\n")
                   .arg(terminaltext::visible(connection.path()));
        return 0;
    }
    out << QStringLiteral(
               "The history of the register \"%1\" is intact: %2, the last sealed as %3.\n"
               "Anyone who noted the last seal earlier can compare it: that is the only way to see the newest "
               "changes removed, or the history rewritten and sealed anew.\n")
               .arg(terminaltext::visible(connection.path()))
               .arg(commandline::counted(verdict.entries, QStringLiteral("change")))
               .arg(verdict.lastHash);
    return 0;
}

} // namespace

int history(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const commandline::Parsed parsed =
        commandline::parse(arguments, {csvOption, verifyOption}, {tableOption, recordOption, sinceOption},
                           {QStringLiteral("REGISTER")}, QStringLiteral("history takes one REGISTER"));
    if (!parsed.wrong.isEmpty())
        return commandline::wrongUsage(err, parsed.wrong);
    const auto given = [&](const QString& option) {
        return parsed.options.contains(option);
    };
    const bool verifying = given(verifyOption);
    if (verifying && (given(tableOption) || given(recordOption) || given(sinceOption) || given(csvOption)))
        return commandline::wrongUsage(
            err, QStringLiteral("--verify checks the whole history; it takes no --table, --record, --since or --csv"));
    historyview::Filter filter;
    if (given(tableOption)) {
        const QString name = parsed.options.value(tableOption);
        filter.table = schema::table(name);
        if (!filter.table)
            return commandline::wrongUsage(
                err, QStringLiteral("--table takes stock_data, stockholder or transfer_data, not \"%1\"").arg(name));
    }
    filter.record = parsed.options.value(recordOption).trimmed();
    if (given(recordOption) && filter.record.isEmpty())
        return commandline::wrongUsage(err, QStringLiteral("no record number given: the value of --record is empty"));
    if (given(sinceOption)) {
        const QString since = parsed.options.value(sinceOption);
        filter.since = historyview::sinceTime(since);
        if (!filter.since)
            return commandline::wrongUsage(err, QStringLiteral("--since takes a day as YYYY-MM-DD or a time as "
                                                               "YYYY-MM-DDTHH:MM:SS (UTC unless it ends in a zone "
                                                               "such as +02:00), not \"%1\"")
                                                    .arg(since));
    }

    const QString& location = parsed.rest.first();
    Expected<std::unique_ptr<Connection>> opened = Connection::open(location);
    if (!opened)
        return commandline::failed(err, opened.status().message());
    const Connection& connection = *opened.value();
    // One moment of the register, however many clerks save meanwhile.
    ReadTransaction transaction(connection);
    if (Status begun = transaction.begin(QStringLiteral("Cannot read the history of")); !begun)
        return commandline::failed(err, begun.message());
    const Expected<bool> kept = history::kept(connection);
    if (!kept)
        return commandline::failed(err, kept.status().message());
    if (!kept.value())
        return commandline::failed(err, QStringLiteral("The register \"%1\" keeps no history of changes. To start "
                                                       "one: %2")
                                            .arg(connection.path(), upgradeCommand(location)));
    const Expected<QList<history::Entry>> entries = history::read(connection);
    if (!entries)
        return commandline::failed(err, entries.status().message());
    if (verifying)
        return verify(connection, entries.value(), out, err);

    const QList<history::Entry> chosen = historyview::selected(entries.value(), filter);
    if (given(csvOption)) {
        historyview::printCsv(chosen, out);
        return 0;
    }
    const QString count = chosen.size() == entries->size()
                              ? commandline::counted(chosen.size(), QStringLiteral("change"))
                              : QStringLiteral("%1 of its %2")
                                    .arg(chosen.size())
                                    .arg(commandline::counted(entries->size(), QStringLiteral("change")));
    out << QStringLiteral("The history of the register \"%1\": %2.\n")
               .arg(terminaltext::visible(connection.path()), count);
    if (!chosen.isEmpty()) {
        out << "\n";
        historyview::printTable(chosen, out);
    }
    return 0;
}

} // namespace commands
