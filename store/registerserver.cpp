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

// Searches compare folded text: letter case in every script and blanks around it left out, as the file's
// collation does. Final and other variant Greek letters fold to their plain forms.
const char* const foldFunction =
    "CREATE FUNCTION velmora_fold(t text) RETURNS text LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$ "
    "SELECT translate(lower(btrim(t, ' ') COLLATE \"und-x-icu\"), 'ςϐϑϕϖϰϱϵ', 'σβθφπκρε') $$";
// The number a text's leading characters write, 0 when none: blanks, a sign, digits, a point and digits.
const char* const valFunction =
    "CREATE FUNCTION velmora_val(t text) RETURNS numeric LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$ "
    "SELECT CASE WHEN m ~ '[0-9]' THEN m::numeric ELSE 0 END "
    "FROM (SELECT substring(t from '^[ \t]*([+-]?[0-9]*(?:[.][0-9]*)?)') AS m) AS written $$";

QString createTable(const schema::Table& table)
{
    QStringList columns;
    for (const schema::Column& column : table.columns) {
        const char* type = column.storage == schema::Storage::Integer ? "bigint" : "text";
        columns.append(schema::quoted(column.name) + QLatin1Char(' ') + QLatin1String(type));
    }
    // Last, so that a plain INSERT of the register's columns leaves it to the server.
    columns.append(QStringLiteral("row_id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY"));
    return QStringLiteral("CREATE TABLE %1 (%2)").arg(schema::quoted(table.name), columns.join(QLatin1String(", ")));
}

// Every search answers from an index on the very expression it compares.
QStringList createIndexes(const schema::Table& table)
{
    QStringList statements;
    for (const schema::Column& column : table.columns) {
        const QString name = schema::quoted(column.name);
        QString expression;
        if (column.kind == schema::Kind::Text)
            expression = QStringLiteral("velmora_fold(%1)").arg(name);
        else if (column.kind == schema::Kind::Number)
            expression =
                column.storage == schema::Storage::Integer ? name : QStringLiteral("velmora_val(%1)").arg(name);
        else
            continue;
        statements.append(
            QStringLiteral("CREATE INDEX %1 ON %2 ((%3))")
                .arg(schema::quoted(table.name + QLatin1Char('_') + column.name + QStringLiteral("_search")),
                     schema::quoted(table.name), expression));
    }
    return statements;
}

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
    QStringList names;
    for (const schema::Table& table : schema::tables())
        names.append(QLatin1Char('\'') + table.name + QLatin1Char('\''));
    names.append(QLatin1Char('\'') + history::tableName + QLatin1Char('\''));
    if (!query.exec(QStringLiteral("SELECT table_name FROM information_schema.tables WHERE table_schema = "
                                   "current_schema() AND table_name IN (%1)")
                        .arg(names.join(QLatin1Char(',')))))
        return failed();
    if (query.next())
        return cannotCreate(connection.path(), QStringLiteral("the database already holds the table \"%1\", and it is "
                                                              "left as it is")
                                                   .arg(query.value(0).toString()));
    query.finish();
    QStringList statements{QString::fromUtf8(foldFunction), QString::fromUtf8(valFunction)};
    for (const schema::Table& table : schema::tables())
        statements << createTable(table) << createIndexes(table);
    statements << history::createStatement();
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
    return transaction.commit(refused);
}

} // namespace registerserver
