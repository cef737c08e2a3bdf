#include "commandline.h"
#include "commands.h"
#include "connection.h"
#include "heldregister.h"
#include "registerbackup.h"

#include <QFileInfo>
#include <QTextStream>

namespace commands {

int restore(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const commandline::Parsed parsed =
        commandline::parse(arguments, {}, {}, {QStringLiteral("BACKUP"), QStringLiteral("REGISTER")},
                           QStringLiteral("restore takes a BACKUP and a REGISTER"));
    if (!parsed.wrong.isEmpty())
        return commandline::wrongUsage(err, parsed.wrong);
    const QString& backup = parsed.rest[0];
    const QString& location = parsed.rest[1];
    if (Connection::isServer(backup))
        return commandline::wrongUsage(err, QStringLiteral("restore takes a BACKUP file, as backup writes it, not a "
                                                           "server"));
    if (Connection::isServer(location))
        return commandline::wrongUsage(err, QStringLiteral("restore puts a backup in place of a register file, not "
                                                           "a server's; to make a register on a server from a "
                                                           "backup, use copy BACKUP URI"));

    const Expected<registerbackup::Restored> restored = registerbackup::restore(backup, location);
    if (!restored)
        return commandline::failed(err, restored.status().message());
    const QString file = QFileInfo(location).absoluteFilePath();
    QString replaced = QStringLiteral("there was no register there before");
    if (restored->previous)
        replaced = QStringLiteral("the register it replaced, %1, is kept as %2")
                       .arg(heldregister::described(*restored->previous), restored->keptAs);
    else if (restored->replaced)
        replaced = QStringLiteral("the file it replaced, which was no register, is kept as %1").arg(restored->keptAs);
    out << QStringLiteral("Restored the register %1 from %2 (%3); %4.\n")
               .arg(file, QFileInfo(backup).absoluteFilePath(), heldregister::rows(restored->rows), replaced);
    return 0;
}

} // namespace commands
