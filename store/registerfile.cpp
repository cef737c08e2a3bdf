#include "registerfile.h"

#include "connection.h"
#include "schema.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace registerfile {

namespace {

Status cannotCreate(const QString& path, const QString& reason)
{
    return Status::failure(QStringLiteral("Cannot create the register \"%1\": %2.").arg(path, reason));
}

Status createTables(QSqlDatabase& database, const QString& path, const std::function<Status(QSqlDatabase&)>& fill)
{
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
    if (fill) {
        if (Status filled = fill(database); !filled)
            return cannotCreate(path, filled.message());
    }
    if (!query.exec(QStringLiteral("COMMIT")))
        return failed();
    return {};
}

} // namespace

Status create(const QString& path, const std::function<Status(QSqlDatabase&)>& fill)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QFile file(absolute);
    if (file.exists())
        return cannotCreate(absolute, QStringLiteral("a file of that name exists, and it is left as it is"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return cannotCreate(absolute, file.errorString());
    file.close();

    Status created;
    if (Expected<std::unique_ptr<Connection>> connection = Connection::openEmpty(absolute); connection) {
        QSqlDatabase database = connection.value()->database();
        created = createTables(database, absolute, fill);
    } else {
        created = connection.status();
    }
    if (!created)
        QFile::remove(absolute);
    return created;
}

} // namespace registerfile
