#include "registercontents.h"

#include "addedtables.h"
#include "connection.h"
#include "readtransaction.h"
#include "schema.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace registercontents {

namespace {

// Whether the register holds any of the three tables.
Expected<bool> holdsTables(const Connection& connection)
{
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    if (!query.prepare(connection.hasTable()))
        return connection.failure(QStringLiteral("Cannot read"), query.lastError());
    for (const schema::Table& table : schema::tables()) {
        query.bindValue(0, table.name);
        if (!query.exec() || !query.next())
            return connection.failure(QStringLiteral("Cannot read"), query.lastError());
        if (query.value(0).toBool())
            return true;
    }
    return false;
}

} // namespace

Expected<QStringList> tablesOf(const Connection& connection)
{
    QStringList names;
    for (const schema::Table& table : schema::tables()) {
        if (Status checked = connection.checkTable(table); !checked)
            return checked;
        names.append(table.name);
    }
    const Expected<QStringList> added = addedtables::held(connection);
    if (!added)
        return added.status();
    names += added.value();
    const Expected<bool> kept = history::kept(connection);
    if (!kept)
        return kept.status();
    if (kept.value())
        names.append(history::tableName);
    return names;
}

Expected<QList<Counted>> countRows(const Connection& connection, const QStringList& tables)
{
    QList<Counted> counted;
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    for (const QString& table : tables) {
        if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(schema::quoted(table))) || !query.next())
            return connection.failure(QStringLiteral("Cannot back up"), query.lastError());
        counted.append({table, query.value(0).toLongLong()});
    }
    return counted;
}

Expected<std::optional<Held>> heldIn(const Connection& connection)
{
    const Expected<bool> any = holdsTables(connection);
    if (!any)
        return any.status();
    if (!any.value())
        return std::optional<Held>();
    const Expected<QStringList> tables = tablesOf(connection);
    if (!tables)
        return tables.status();
    Held held;
    const Expected<QList<Counted>> counted = countRows(connection, tables.value());
    if (!counted)
        return counted.status();
    held.rows = counted.value();
    if (tables->contains(history::tableName)) {
        const Expected<std::optional<history::Entry>> newest = history::newest(connection);
        if (!newest)
            return newest.status();
        held.newest = newest.value();
    }
    return std::optional<Held>(held);
}

Expected<std::optional<Held>> held(const QString& path)
{
    if (!QFileInfo::exists(path))
        return std::optional<Held>();
    Expected<std::unique_ptr<Connection>> opened = Connection::open(path);
    if (!opened)
        return std::optional<Held>();
    ReadTransaction transaction(*opened.value());
    if (Status begun = transaction.begin(QStringLiteral("Cannot read")); !begun)
        return begun;
    return heldIn(*opened.value());
}

} // namespace registercontents
