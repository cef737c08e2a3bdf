#include "registerfile.h"

#include "connection.h"
#include "historylog.h"
#include "registerpath.h"
#include "schema.h"
#include "unfinishedfile.h"
#include "writetransaction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace registerfile {

namespace {

Status cannotCreate(const QString& path, const QString& reason)
{
    return Status::failure(QStringLiteral("Cannot create the register \"%1\": %2.").arg(path, reason));
}

Status createTables(const Connection& connection, const QString& path, const std::function<Status(QSqlDatabase&)>& fill,
                    const QString& action)
{
    QSqlDatabase database = connection.database();
    QSqlQuery query(database);
    const auto refused = [&](const QSqlError& error) {
        return cannotCreate(path, error.text());
    };
    const auto failed = [&] {
        return refused(query.lastError());
    };
    WriteTransaction transaction(connection);
    if (Status begun = transaction.begin(refused); !begun)
        return begun;
    for (const QString& statement : connection.createTables(schema::everyTable())) {
        if (!query.exec(statement))
            return failed();
    }
    if (!query.exec(history::createStatement()))
        return failed();
    if (fill) {
        if (Status filled = fill(database); !filled)
            return cannotCreate(path, filled.message());
        if (Status kept = HistoryLog(connection).appendEvery(action); !kept)
            return cannotCreate(path, kept.message());
    }
    return transaction.commit(refused);
}

// A folder whose files take its group (set-group-ID), as the package makes /var/lib/velmora for the clerks.
bool sharedByGroup(const QString& folder)
{
    struct stat status {};
    return ::stat(QFile::encodeName(folder).constData(), &status) == 0 && (status.st_mode & S_ISGID) != 0;
}

QString lastError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Where a path leads, to compare: through links, in its folder's canonical spelling.
QString resolved(const QString& path)
{
    const QFileInfo end(registerpath::linkEnd(path));
    const QString folder = QFileInfo(end.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? end.absoluteFilePath() : QDir(folder).filePath(end.fileName());
}

// One file, whatever the spelling: the same device and inode, or where none is there yet, the same place.
bool sameFile(const QString& one, const QString& other)
{
    struct stat first {};
    struct stat second {};
    if (::stat(QFile::encodeName(one).constData(), &first) == 0
        && ::stat(QFile::encodeName(other).constData(), &second) == 0)
        return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
    return resolved(one) == resolved(other);
}

// The read and write bits of a file made at target from source; replaced holds the bits of the file it replaces.
mode_t modeFor(const QString& target, const QString& source, std::optional<mode_t> replaced)
{
    constexpr mode_t readWrite = 0666;
    const bool shared = sharedByGroup(QFileInfo(target).absolutePath());
    mode_t mode = S_IRUSR | S_IWUSR; // a server's register, or a source that cannot be read
    struct stat status {};
    if (source.isEmpty()) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = (readWrite & ~mask) | (shared ? S_IRGRP : 0); // as any new file, read by the clerks' group
    } else if (!Connection::isServer(source) && ::stat(QFile::encodeName(source).constData(), &status) == 0) {
        mode = status.st_mode & readWrite;
    }
    if (shared && (mode & S_IRGRP) != 0)
        mode |= S_IWGRP;
    return replaced ? mode & *replaced : mode;
}

} // namespace

Status refuseSource(const QString& path, const QString& source, const Refused& refused)
{
    if (source.isEmpty() || Connection::isServer(source))
        return {};
    const QString absolute = QFileInfo(path).absoluteFilePath();
    // SQLite names its journal files after the register's path through links; either spelling is refused.
    for (const QString& base : {QFileInfo(source).absoluteFilePath(), resolved(source)}) {
        if (sameFile(absolute, base))
            return refused(absolute, QStringLiteral("it is the register being read"));
        for (const char* suffix : registerpath::journalSuffixes) {
            if (sameFile(absolute, base + QLatin1String(suffix)))
                return refused(absolute, QStringLiteral("it is the %1 file of the register being read, \"%2\"")
                                             .arg(QLatin1String(suffix), resolved(source)));
        }
    }
    return {};
}

Status build(const QString& path, const QString& source, bool replace,
             const std::function<Status(const QString& building)>& make, const Refused& refused)
{
    const QString given = QFileInfo(path).absoluteFilePath();
    // Through a link, the file it leads to is written and the link stays.
    const QString absolute = registerpath::linkEnd(given);
    const QFileInfo target(absolute);
    if (target.isDir() || target.fileName().isEmpty())
        return refused(given, QStringLiteral("that names a folder; give the path of a file in it"));
    if (target.isSymLink())
        return refused(given, QStringLiteral("it is a link that leads round in a circle"));
    if (Status apart = refuseSource(given, source, refused); !apart)
        return apart;
    struct stat there {};
    const bool exists = ::stat(QFile::encodeName(absolute).constData(), &there) == 0;
    if (exists && !replace)
        return refused(given, QStringLiteral("a file of that name exists, and it is left as it is"));
    const mode_t mode = modeFor(absolute, source, exists ? std::optional<mode_t>(there.st_mode) : std::nullopt);

    // Made under a name of its own beside the target and moved there only when whole: a crash part-way leaves no
    // file at the target, only a hidden file to remove, and an interrupt not even that. Until then only its
    // owner may read it, and so its journal, which SQLite makes with the file's own bits.
    const QString building = registerpath::hiddenBeside(absolute);
    const UnfinishedFile unfinished(building);
    const int descriptor =
        ::open(QFile::encodeName(building).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (descriptor < 0)
        return refused(given, lastError());

    Status made = make(building);
    if (made && ::fchmod(descriptor, mode) != 0)
        made = refused(given, lastError());
    ::close(descriptor);
    if (made && replace) {
        // rename() puts the new file in the old one's place at once: there is always one whole file there.
        if (::rename(QFile::encodeName(building).constData(), QFile::encodeName(absolute).constData()) != 0)
            made = refused(given, lastError());
    } else if (made && !QFile::rename(building, absolute)) {
        // Renaming never replaces a file that appeared at the target meanwhile.
        made = refused(given, QStringLiteral("a file of that name appeared, and it is left as it is"));
    }
    if (!made)
        QFile::remove(building);
    return made;
}

Status create(const QString& path, const std::function<Status(QSqlDatabase&)>& fill, const QString& action,
              const QString& source)
{
    if (path.isEmpty())
        return Status::failure(QStringLiteral("Cannot create a register: no path was given."));
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const auto make = [&](const QString& building) {
        Expected<std::unique_ptr<Connection>> connection = Connection::openEmpty(building);
        if (!connection)
            return cannotCreate(absolute, connection.status().message());
        return createTables(*connection.value(), absolute, fill, action);
    };
    return build(path, source, false, make, cannotCreate);
}

} // namespace registerfile
