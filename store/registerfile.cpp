#include "registerfile.h"

#include "connection.h"
#include "historylog.h"
#include "registerpath.h"
#include "schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>

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
    const auto failed = [&] {
        return cannotCreate(path, query.lastError().text());
    };
    if (!query.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return failed();
    for (const schema::Table& table : schema::tables()) {
        if (!query.exec(schema::createStatement(table)))
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
    if (!query.exec(QStringLiteral("COMMIT")))
        return failed();
    return {};
}

// A folder whose files take its group (set-group-ID), as the package makes /var/lib/velmora for the clerks.
bool sharedByGroup(const QString& folder)
{
    struct stat status {};
    return ::stat(QFile::encodeName(folder).constData(), &status) == 0 && (status.st_mode & S_ISGID) != 0;
}

} // namespace

Status build(const QString& path, bool replace, const std::function<Status(const QString& building)>& make,
             const std::function<Status(const QString& path, const QString& reason)>& refused)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const QFileInfo target(absolute);
    if (target.isDir() || target.fileName().isEmpty())
        return refused(absolute, QStringLiteral("that names a folder; give the path of a file in it"));
    if (!replace && (target.exists() || target.isSymLink()))
        return refused(absolute, QStringLiteral("a file of that name exists, and it is left as it is"));
    // Made under a name of its own beside the target and moved there only when whole: a crash or an interrupt
    // part-way leaves no file at the target, only a hidden file to remove.
    const QString building = registerpath::hiddenBeside(absolute);
    QFile file(building);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return refused(absolute, file.errorString());
    file.close();
    if (sharedByGroup(target.absolutePath()))
        file.setPermissions(file.permissions() | QFileDevice::ReadGroup | QFileDevice::WriteGroup);

    Status made = make(building);
    if (made && replace) {
        // rename() puts the new file in the old one's place at once: there is always one whole file there.
        if (::rename(QFile::encodeName(building).constData(), QFile::encodeName(absolute).constData()) != 0)
            made = refused(absolute, QString::fromLocal8Bit(std::strerror(errno)));
    } else if (made && !QFile::rename(building, absolute)) {
        // Renaming never replaces a file that appeared at the target meanwhile.
        made = refused(absolute, QStringLiteral("a file of that name appeared, and it is left as it is"));
    }
    if (!made)
        QFile::remove(building);
    return made;
}

Status create(const QString& path, const std::function<Status(QSqlDatabase&)>& fill, const QString& action)
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
    return build(path, false, make, cannotCreate);
}

} // namespace registerfile
