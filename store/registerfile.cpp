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

Status create(const QString& path, const std::function<Status(QSqlDatabase&)>& fill, const QString& action)
{
    if (path.isEmpty())
        return Status::failure(QStringLiteral("Cannot create a register: no path was given."));
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const QFileInfo target(absolute);
    if (target.isDir() || target.fileName().isEmpty())
        return cannotCreate(absolute, QStringLiteral("that names a folder; give the path of a file in it"));
    if (target.exists() || target.isSymLink())
        return cannotCreate(absolute, QStringLiteral("a file of that name exists, and it is left as it is"));
    // Made under a name of its own beside the target and moved there only when whole: a crash or an interrupt
    // part-way leaves no register at the target, only a hidden file to remove.
    const QString building = registerpath::hiddenBeside(absolute);
    QFile file(building);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return cannotCreate(absolute, file.errorString());
    file.close();
    if (sharedByGroup(target.absolutePath()))
        file.setPermissions(file.permissions() | QFileDevice::ReadGroup | QFileDevice::WriteGroup);

    Status created;
    if (Expected<std::unique_ptr<Connection>> connection = Connection::openEmpty(building); connection) {
        created = createTables(*connection.value(), absolute, fill, action);
    } else {
        created = cannotCreate(absolute, connection.status().message());
    }
    // Renaming never replaces a file that appeared at the target meanwhile.
    if (created && !QFile::rename(building, absolute))
        created = cannotCreate(absolute, QStringLiteral("a file of that name appeared, and it is left as it is"));
    if (!created)
        QFile::remove(building);
    return created;
}

} // namespace registerfile
