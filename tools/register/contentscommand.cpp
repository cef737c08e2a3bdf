#include "commandline.h"
#include "commands.h"
#include "connection.h"
#include "history.h"
#include "readtransaction.h"
#include "schema.h"
#include "terminaltext.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

#include <optional>

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

struct Register {
    QList<Table> tables;
    std::optional<qint64> changes; // the history's, when it keeps one
};

const QString codepage = QStringLiteral("--codepage");

// Every table with its columns and row count, read at one moment; the history apart from the tables.
Expected<Register> describe(const Connection& connection)
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
    Register described;
    for (Table& table : tables) {
        if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(schema::quoted(table.name))) || !query.next())
            return failed();
        table.rows = query.value(0).toLongLong();
        if (table.name == history::tableName)
            described.changes = table.rows;
        else
            described.tables.append(table);
    }
    query.finish(); // before the transaction ends
    return described;
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
    const Expected<Register> described = describe(*opened.value());
    if (!described)
        return commandline::failed(err, described.status().message());
    const QList<Table>& tables = described->tables;
    const QString engine = Connection::isServer(location) ? QStringLiteral("a register on a PostgreSQL server")
                                                          : QStringLiteral("a register file (SQLite)");
    out << QStringLiteral("%1: %2, %3 tables\n")
               .arg(terminaltext::visible(opened.value()->path()), engine)
               .arg(tables.size());
    if (described->changes)
        out << QStringLiteral("It keeps a history of changes: %1 (velmora-register history shows them).\n")
                   .arg(commandline::counted(*described->changes, QStringLiteral("change")));
    else
        out << QStringLiteral("It keeps no history of changes (velmora-register upgrade starts one).\n");
    for (const Table& table : tables) {
        out << QStringLiteral("\n%1 (%2 rows)\n").arg(terminaltext::visible(table.name)).arg(table.rows);
        for (const Column& column : table.columns)
            out << QStringLiteral("  %1  %2\n")
                       .arg(terminaltext::visible(column.name), -24)
                       .arg(terminaltext::visible(column.type));
    }
    return 0;
}

} // namespace commands
