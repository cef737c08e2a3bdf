#include "addedtables.h"

#include "connection.h"
#include "history.h"
#include "historylog.h"
#include "registerpath.h"
#include "schema.h"
#include "writetransaction.h"

#include <QSqlError>
#include <QSqlQuery>

namespace addedtables {

Expected<bool> held(const Connection& connection, const QString& table)
{
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    if (!query.prepare(connection.hasTable()))
        return connection.failure(QStringLiteral("Cannot read"), query.lastError());
    query.bindValue(0, table);
    if (!query.exec() || !query.next())
        return connection.failure(QStringLiteral("Cannot read"), query.lastError());
    return query.value(0).toBool();
}

Expected<QStringList> held(const Connection& connection)
{
    QStringList names;
    for (const schema::Table& table : schema::addedTables()) {
        const Expected<bool> there = held(connection, table.name);
        if (!there)
            return there.status();
        if (!there.value())
            continue;
        if (Status checked = connection.checkTable(table); !checked)
            return checked;
        names.append(table.name);
    }
    return names;
}

Status requireHeld(const Connection& connection, const QString& table, const QString& doing)
{
    const Expected<bool> there = held(connection, table);
    if (!there)
        return there.status();
    if (there.value())
        return {};
    return Status::failure(
        QStringLiteral("%1 the register \"%2\": it was made before the table %3, which an upgrade "
                       "adds (%4 upgrade %5).")
            .arg(doing, connection.path(), table, registerpath::tool(), registerpath::shellQuoted(connection.path())));
}

Expected<QStringList> addMissing(const Connection& connection)
{
    const QString doing = QStringLiteral("Cannot upgrade");
    WriteTransaction transaction(connection);
    if (Status begun = transaction.begin(doing); !begun)
        return begun;
    QList<schema::Table> missing;
    for (const schema::Table& table : schema::addedTables()) {
        const Expected<bool> there = held(connection, table.name);
        if (!there)
            return there.status();
        if (!there.value())
            missing.append(table);
    }
    if (missing.isEmpty())
        return QStringList();
    QSqlQuery query(connection.database());
    QStringList names;
    for (const QString& statement : connection.createTables(missing)) {
        if (!query.exec(statement))
            return connection.failure(doing, query.lastError());
    }
    for (const schema::Table& table : std::as_const(missing))
        names.append(table.name);
    // New tables hold no rows, so no entries; where the server writes the entries, its triggers go on them too.
    const Expected<bool> kept = history::kept(connection);
    if (!kept)
        return kept.status();
    if (kept.value()) {
        if (Status handed = HistoryLog::putKeeperInPlace(connection); !handed)
            return handed;
    }
    if (Status committed = transaction.commit(doing); !committed)
        return committed;
    return names;
}

} // namespace addedtables
