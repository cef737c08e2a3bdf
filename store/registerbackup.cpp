#include "registerbackup.h"

#include "connection.h"
#include "history.h"
#include "readtransaction.h"
#include "registerfile.h"
#include "schema.h"
#include "values.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace registerbackup {

namespace {

// How long the backup waits for its moment while clerks save one after another; their saves wait for its copy.
constexpr int lockWaitMs = 10000;

// What one backup needs to word its failures: the register, as messages name it, and the file.
class Backup {
public:
    Backup(const QString& location, const QString& path)
        : m_register(Connection::pathOf(location))
        , m_file(QFileInfo(path).absoluteFilePath())
    {}

    Status refused(const QString& reason) const
    {
        return Status::failure(
            QStringLiteral("Cannot back up the register \"%1\" to \"%2\": %3.").arg(m_register, m_file, reason));
    }
    // A failure named by the register's own engine; nothing was written.
    Status notWritten(const Status& failure) const
    {
        return Status::failure(failure.message() + QStringLiteral(" Nothing was written to \"%1\".").arg(m_file));
    }
    Status inCopy(const QSqlQuery& query) const
    {
        const QSqlError error = query.lastError();
        return refused(QStringLiteral("the copy cannot be written (%1)")
                           .arg((error.databaseText().isEmpty() ? error.text() : error.databaseText()).trimmed()));
    }

private:
    QString m_register;
    QString m_file;
};

// The tables a backup holds: the three, and the history when the register keeps one.
Expected<QStringList> tablesOf(const Connection& connection)
{
    QStringList names;
    for (const schema::Table& table : schema::tables()) {
        if (Status checked = connection.checkTable(table); !checked)
            return checked;
        names.append(table.name);
    }
    const Expected<bool> kept = history::kept(connection);
    if (!kept)
        return kept.status();
    if (kept.value())
        names.append(history::tableName);
    return names;
}

// Each table's rows, as the transaction under way sees them.
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

// One table's rows, in the order of the first column read, into the copy's columns in the same places. The
// source's query streams: nothing else runs on its connection until it is done.
Status copyRows(const Backup& backup, const Connection& source, const Connection& copy, const QString& table,
                const QStringList& read, const QStringList& written)
{
    QSqlQuery from(source.database());
    from.setForwardOnly(true);
    if (!from.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                       .arg(read.join(QLatin1String(", ")), schema::quoted(table), read.first())))
        return backup.notWritten(source.failure(QStringLiteral("Cannot back up"), from.lastError()));
    QSqlQuery into(copy.database());
    if (!into.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                          .arg(schema::quoted(table), written.join(QLatin1String(", ")),
                               QStringList(written.size(), QStringLiteral("?")).join(QLatin1String(", ")))))
        return backup.inCopy(into);
    while (from.next()) {
        for (int i = 0; i < read.size(); ++i)
            into.bindValue(i, values::read(from, i));
        if (!into.exec())
            return backup.inCopy(into);
    }
    if (from.lastError().isValid())
        return backup.notWritten(source.failure(QStringLiteral("Cannot back up"), from.lastError()));
    return {};
}

// A copy made table by table, in one transaction of the copy: the tables as a new register has them, each row
// under the row key it has in the source, and the history's entries as they are.
Status copyTables(const Backup& backup, const Connection& source, const Connection& copy, const QStringList& tables)
{
    QSqlQuery query(copy.database());
    if (!query.exec(copy.beginWrite()))
        return backup.inCopy(query);
    for (const schema::Table& table : schema::tables()) {
        if (!query.exec(schema::createStatement(table)))
            return backup.inCopy(query);
        QStringList columns;
        for (const schema::Column& column : table.columns)
            columns.append(schema::quoted(column.name));
        if (Status copied = copyRows(backup, source, copy, table.name, QStringList{source.rowKey()} + columns,
                                     QStringList{copy.rowKey()} + columns);
            !copied)
            return copied;
    }
    if (tables.contains(history::tableName)) {
        if (!query.exec(history::createStatement()))
            return backup.inCopy(query);
        if (Status copied = copyRows(backup, source, copy, history::tableName, history::columns(), history::columns());
            !copied)
            return copied;
    }
    if (!query.exec(QStringLiteral("COMMIT")))
        return backup.inCopy(query);
    return {};
}

// The copy, opened afresh from its file: the engine finds it whole, and each table holds the rows counted.
Status check(const Backup& backup, const QString& building, const QStringList& tables, const QList<Counted>& counted)
{
    Expected<std::unique_ptr<Connection>> opened = Connection::open(building);
    if (!opened)
        return backup.refused(QStringLiteral("the copy cannot be opened again (%1)").arg(opened.status().message()));
    const Connection& copy = *opened.value();
    {
        QSqlQuery query(copy.database());
        query.setForwardOnly(true);
        if (!query.exec(QStringLiteral("PRAGMA integrity_check")))
            return backup.inCopy(query);
        QStringList problems;
        while (query.next())
            problems.append(query.value(0).toString());
        if (problems != QStringList{QStringLiteral("ok")})
            return backup.refused(QStringLiteral("the copy is damaged: %1")
                                      .arg(problems.mid(0, 3).join(QLatin1String("; ")).simplified()));
    }
    ReadTransaction transaction(copy);
    if (Status begun = transaction.begin(QStringLiteral("Cannot check")); !begun)
        return backup.refused(QStringLiteral("the copy cannot be read (%1)").arg(begun.message()));
    const Expected<QList<Counted>> copied = countRows(copy, tables);
    if (!copied)
        return backup.refused(QStringLiteral("the copy cannot be read (%1)").arg(copied.status().message()));
    for (qsizetype i = 0; i < counted.size(); ++i) {
        if (copied->at(i).rows != counted[i].rows)
            return backup.refused(QStringLiteral("the copy's table %1 holds %2 rows, where the register held %3")
                                      .arg(counted[i].table)
                                      .arg(copied->at(i).rows)
                                      .arg(counted[i].rows));
    }
    return {};
}

} // namespace

Expected<QList<Counted>> write(const QString& location, const QString& path, bool replace)
{
    const Backup backup(location, path);
    Expected<std::unique_ptr<Connection>> opened = Connection::open(location);
    if (!opened)
        return backup.notWritten(opened.status());
    opened.value()->waitForLocks(lockWaitMs);
    const Connection& source = *opened.value();
    // The counts and the copy are read in one transaction: one moment of the register, whoever saves meanwhile.
    ReadTransaction transaction(source);
    if (Status begun = transaction.begin(QStringLiteral("Cannot back up")); !begun)
        return backup.notWritten(begun);
    const Expected<QStringList> tables = tablesOf(source);
    if (!tables)
        return backup.notWritten(tables.status());
    const Expected<QList<Counted>> counted = countRows(source, tables.value());
    if (!counted)
        return backup.notWritten(counted.status());

    const auto make = [&](const QString& building) -> Status {
        {
            Expected<std::unique_ptr<Connection>> made = Connection::openEmpty(building);
            if (!made)
                return backup.refused(made.status().message());
            const Connection& copy = *made.value();
            const Expected<bool> whole = source.copyWholeInto(copy);
            if (!whole)
                return backup.notWritten(whole.status());
            if (!whole.value()) {
                if (Status copied = copyTables(backup, source, copy, tables.value()); !copied)
                    return copied;
            }
        }
        transaction.end();
        return check(backup, building, tables.value(), counted.value());
    };
    const auto refusedAt = [&](const QString&, const QString& reason) {
        return backup.refused(reason);
    };
    if (Status built = registerfile::build(path, location, replace, make, refusedAt); !built)
        return built;
    return counted;
}

} // namespace registerbackup
