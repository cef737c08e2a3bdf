#include "addedtables.h"
#include "clerkrights.h"
#include "commandline.h"
#include "commands.h"
#include "connection.h"
#include "historylog.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

namespace commands {

int upgrade(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const clerkrights::CommandLine line = clerkrights::parse(arguments, {}, QStringLiteral("upgrade"));
    if (!line.wrong.isEmpty())
        return commandline::wrongUsage(err, line.wrong);
    const QString& location = line.location;

    // Only a register gets a history: another program's database is left as it is.
    const Expected<std::unique_ptr<Connection>> opened = commandline::openRegister(location);
    if (!opened)
        return commandline::failed(err, opened.status().message());
    const Connection& connection = *opened.value();
    // The tables the register lacks first, so that a history started now covers them.
    const Expected<QStringList> added = addedtables::addMissing(connection);
    if (!added)
        return commandline::failed(err, added.status().message());
    if (!added->isEmpty())
        out << QStringLiteral("The register \"%1\" now has the table%2 %3.\n")
                   .arg(connection.path(), added->size() == 1 ? QString() : QStringLiteral("s"),
                        added->join(QStringLiteral(" and ")));
    const Expected<bool> started = HistoryLog::start(connection);
    if (!started)
        return commandline::failed(err, started.status().message());
    if (started.value()) {
        QSqlQuery count(connection.database());
        if (!count.exec(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE action = 'upgrade'").arg(history::tableName))
            || !count.next())
            return commandline::failed(
                err, connection.failure(QStringLiteral("Cannot read the history of"), count.lastError()).message());
        out << QStringLiteral("The register \"%1\" now keeps a history, starting with %2.\n")
                   .arg(connection.path(), commandline::counted(count.value(0).toLongLong(), QStringLiteral("record")));
    } else if (const Expected<bool> handed = HistoryLog::handOver(connection); !handed) {
        return commandline::failed(err, handed.status().message());
    } else if (handed.value()) {
        out << QStringLiteral("The server now writes the history of the register \"%1\" itself, for every change "
                              "whoever makes it.\n")
                   .arg(connection.path());
    } else {
        out << QStringLiteral("The register \"%1\" already keeps a history%2.\n")
                   .arg(connection.path(), added->isEmpty() ? QStringLiteral("; nothing was changed")
                                                            : QStringLiteral(", which covers them too"));
    }
    return line.server ? clerkrights::print(location, line.role, clerkrights::Scope::History, out, err) : 0;
}

} // namespace commands
