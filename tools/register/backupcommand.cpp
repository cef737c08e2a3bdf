#include "commandline.h"
#include "commands.h"
#include "connection.h"
#include "heldregister.h"
#include "registerbackup.h"
#include "registercontents.h"
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
    const auto refusedFile = [&](const QString& path, const QString& reason) {
        return Status::failure(QStringLiteral("Cannot back up the register \"%1\" to \"%2\": %3.")
                                   .arg(Connection::pathOf(location), path, reason));
    };
    if (Status apart = registerfile::refuseSource(file, location, refusedFile); !apart)
        return commandline::failed(err, apart.message());
    const auto refused = [&](const QString& reason) {
        return commandline::failed(err, QStringLiteral("Cannot back up the register \"%1\" to \"%2\": %3.")
                                            .arg(Connection::pathOf(location), target.absoluteFilePath(), reason));
    };
    // A file there goes only when it is no register, or an older backup of this one: never another day's work.
    if (!target.isDir() && (target.exists() || target.isSymLink())) {
        const Expected<std::optional<registercontents::Held>> there = registercontents::held(file);
        if (!there)
            return refused(
                QStringLiteral("that file cannot be read (%1), and it is left as it is").arg(there.status().message()));
        if (there.value()) {
            const Expected<bool> earlier = registerbackup::isEarlierBackup(location, file);
            if (!earlier)
                return commandline::failed(err, earlier.status().message());
            if (!earlier.value())
                return refused(QStringLiteral("that file is another register, not an earlier backup of this one: "
                                              "%1. It is left as it is")
                                   .arg(heldregister::described(*there.value())));
            if (!replacing)
                return refused(QStringLiteral("that file is an earlier backup of this register, and it is left as it "
                                              "is; --force replaces it"));
        } else if (!replacing) {
            return refused(QStringLiteral("a file of that name exists, and it is left as it is; --force replaces it"));
        }
    }

    const Expected<QList<registercontents::Counted>> written = registerbackup::write(location, file, replacing);
    if (!written)
        return commandline::failed(err, written.status().message());
    out << QStringLiteral("Backed up the register %1 to %2: %3.\n")
               .arg(Connection::pathOf(location), target.absoluteFilePath(), heldregister::rows(written.value()));
    return 0;
}

} // namespace commands
