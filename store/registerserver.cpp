#include "registerserver.h"

#include "connection.h"
#include "historylog.h"
#include "schema.h"
#include "writetransaction.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace registerserver {

namespace {

Status cannotCreate(const QString& where, const QString& reason)
{
    return Status::failure(QStringLiteral("Cannot create the register on \"%1\": %2.").arg(where, reason));
}

} // namespace

Status create(const QString& uri, const std::function<Status(QSqlDatabase&)>& fill, const QString& action)
{
    Expected<std::unique_ptr<Connection>> opened = Connection::open(uri);
    if (!opened)
        return opened.status();
    const Connection& connection = *opened.value();
    QSqlDatabase database = connection.database();
    QSqlQuery query(database);
    query.setForwardOnly(true);
    const auto refused = [&](const QSqlError& error) {
        return cannotCreate(connection.path(), error.databaseText().trimmed());
    };
    const auto failed = [&] {
        return refused(query.lastError());
    };
    // Anything short of the commit is undone here: the connection may serve the next window.
    WriteTransaction transaction(connection);
    if (Status begun = transaction.begin(refused); !begun)
        return begun;
    QStringList names{history::tableName};
    for (const schema::Table& table : schema::everyTable())
        names.append(table.name);
    if (!query.exec(connection.listTables()))
        return failed();
    while (query.next()) {
        if (names.contains(query.value(0).toString()))
            return cannotCreate(connection.path(), QStringLiteral("the database already holds the table \"%1\", and it "
                                                                  "is left as it is")
                                                       .arg(query.value(0).toString()));
    }
    query.finish();
    QStringList statements = connection.createTables(schema::everyTable());
    statements.append(history::createStatement());
    for (const QString& statement : std::as_const(statements)) {
        if (!query.exec(statement))
            return failed();
    }
    if (fill) {
        if (Status filled = fill(database); !filled)
            return cannotCreate(connection.path(), filled.message());
        if (Status kept = HistoryLog(connection).appendEvery(action); !kept)
            return cannotCreate(connection.path(), kept.message());
    }
    // From here on the server writes every change's entry itself.
    if (Status handed = HistoryLog::putKeeperInPlace(connection); !handed)
        return cannotCreate(connection.path(), handed.message());
    return transaction.commit(refused);
}

} // namespace registerserver
