#include "commandline.h"
#include "commands.h"
#include "connection.h"
#include "history.h"
#include "registerbackup.h"
#include "registerfile.h"

#include <QFileInfo>
#include <QTextStream>

namespace commands {

int backup(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const QString force = QStringLiteral("--force");
    const commandline::Parsed parsed =
        commandline::parse(arguments, {force}, {}, {QStringLiteral("REGISTER"), QStringLiteral("FILE")},
                           QStringLiteral("backup takes a REGISTER and a FILE"));
    if (!parsed.wrong.isEmpty())
        return commandline::wrongUsage(err, parsed.wrong);
    const QString& location = parsed.rest[0];
    const QString& file = parsed.rest[1];
    if (Connection::isServer(file))
        return commandline::wrongUsage(err, QStringLiteral("backup writes a register file; give a FILE, not a server"));
    const bool replacing = parsed.options.contains(force);
    const QFileInfo target(file);
    const auto refused = [&](const QString& path, const QString& reason) {
        return Status::failure(QStringLiteral("Cannot back up the register \"%1\" to \"%2\": %3.")
                                   .arg(Connection::pathOf(location), path, reason));
    };
    if (Status apart = registerfile::refuseSource(file, location, refused); !apart)
        return commandline::failed(err, apart.message());
    if (!replacing && !target.isDir() && (target.exists() || target.isSymLink()))
        return commandline::failed(err, QStringLiteral("Cannot back up the register \"%1\" to \"%2\": a file of that "
                                                       "name exists, and it is left as it is; --force replaces it.")
                                            .arg(Connection::pathOf(location), target.absoluteFilePath()));

    const Expected<QList<registerbackup::Counted>> written = registerbackup::write(location, file, replacing);
    if (!written)
        return commandline::failed(err, written.status().message());
    QStringList counts;
    for (const registerbackup::Counted& table : written.value()) {
        const bool changes = table.table == history::tableName;
        counts.append(QStringLiteral("%1 %2").arg(
            changes ? QStringLiteral("history") : table.table,
            commandline::counted(table.rows, changes ? QStringLiteral("change") : QStringLiteral("row"))));
    }
    out << QStringLiteral("Backed up the register %1 to %2: %3.\n")
               .arg(Connection::pathOf(location), target.absoluteFilePath(), counts.join(QLatin1String(", ")));
    return 0;
}

} // namespace commands
