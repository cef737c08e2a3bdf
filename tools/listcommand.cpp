#include "commandline.h"
#include "commands.h"
#include "connection.h"
#include "readtransaction.h"
#include "schema.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

namespace commands {

namespace {

struct Column {
    QString name;
    QString type;
};

struct Table {
    QString name;
    QList<Column> columns;
    qint64 rows = 0;
};

const QString codepage = QStringLiteral("--codepage");

// Every table with its columns and row count, read at one moment.
Expected<QList<Table>> describe(const Connection& connection)
{
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    const auto failed = [&] {
        return connection.failure(QStringLiteral("Cannot inspect"), query.lastError());
    };
    ReadTransaction transaction(connection);
    if (Status begun = transaction.begin(QStringLiteral("Cannot inspect")); !begun)
        return begun;
    if (!query.exec(connection.describeTables()))
        return failed();
    QList<Table> tables;
    while (query.next()) {
        if (tables.isEmpty() || tables.last().name != query.value(0).toString())
            tables.append({query.value(0).toString(), {}});
        tables.last().columns.append({query.value(1).toString(), query.value(2).toString()});
    }
    if (query.lastError().isValid())
        return failed();
    for (Table& table : tables) {
        if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(schema::quoted(table.name))) || !query.next())
            return failed();
        table.rows = query.value(0).toLongLong();
    }
    query.finish(); // before the transaction ends
    return tables;
}

} // namespace

bool inspectsRegister(const QStringList& arguments)
{
    const commandline::Parsed parsed = commandline::parse(arguments, {}, {codepage});
    if (!parsed.wrong.isEmpty() || parsed.rest.size() != 1)
        return false; // the Access command says what is wrong
    const QString& location = parsed.rest.first();
    if (Connection::isServer(location))
        return true;
    QFile file(location);
    return file.open(QIODevice::ReadOnly) && file.read(16) == QByteArrayLiteral("SQLite format 3\0");
}

int inspectRegister(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const commandline::Parsed parsed = commandline::parse(arguments, {}, {codepage});
    if (parsed.options.contains(codepage))
        return commandline::wrongUsage(err, QStringLiteral("--codepage is for an Access file, not a register"));
    const QString& location = parsed.rest.first();
    Expected<std::unique_ptr<Connection>> opened = Connection::open(location);
    if (!opened)
        return commandline::failed(err, opened.status().message());
    const Expected<QList<Table>> tables = describe(*opened.value());
    if (!tables)
        return commandline::failed(err, tables.status().message());
    const QString engine = Connection::isServer(location) ? QStringLiteral("a register on a PostgreSQL server")
                                                          : QStringLiteral("a register file (SQLite)");
    out << QStringLiteral("%1: %2, %3 tables\n").arg(opened.value()->path(), engine).arg(tables->size());
    for (const Table& table : tables.value()) {
        out << QStringLiteral("\n%1 (%2 rows)\n").arg(table.name).arg(table.rows);
        for (const Column& column : table.columns)
            out << QStringLiteral("  %1  %2\n").arg(column.name, -24).arg(column.type);
    }
    return 0;
}

} // namespace commands
