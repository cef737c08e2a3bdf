#include "clerkrights.h"

#include "commandline.h"
#include "connection.h"
#include "history.h"
#include "schema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

namespace clerkrights {

Expected<QStringList> grants(const QString& uri, const QString& role, Scope scope)
{
    Expected<std::unique_ptr<Connection>> opened = Connection::open(uri);
    if (!opened)
        return opened.status();
    const Connection& connection = *opened.value();
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    const auto failed = [&] {
        return connection.failure(QStringLiteral("Cannot list the rights for"), query.lastError());
    };
    query.prepare(QStringLiteral("SELECT quote_ident(?), current_schema() = 'public', quote_ident(current_schema()), "
                                 "quote_ident(?)"));
    query.bindValue(0, role);
    query.bindValue(1, history::tableName);
    if (!query.exec() || !query.next())
        return failed();
    const QString grantee = query.value(0).toString();
    const QString schemaName = query.value(2).toString();
    const QString prefix = query.value(1).toBool() ? QString() : schemaName + QLatin1Char('.');
    const QString historyTable = prefix + query.value(3).toString();
    QStringList tables;
    QStringList sequences;
    for (const schema::Table& table : scope == Scope::Register ? schema::tables() : QList<schema::Table>()) {
        query.prepare(QStringLiteral("SELECT quote_ident(?), quote_ident(s.relname) FROM pg_class s "
                                     "WHERE s.oid = pg_get_serial_sequence(quote_ident(?), 'row_id')::regclass"));
        query.bindValue(0, table.name);
        query.bindValue(1, table.name);
        if (!query.exec() || !query.next())
            return failed();
        tables.append(prefix + query.value(0).toString());
        sequences.append(prefix + query.value(1).toString());
    }
    QStringList lines{
        QStringLiteral("-- What the clerks' role needs, run as the register's owner (--role names the role; "
                       "make it first, for example CREATE ROLE %1 LOGIN):")
            .arg(grantee)};
    if (!prefix.isEmpty())
        lines.append(QStringLiteral("GRANT USAGE ON SCHEMA %1 TO %2;").arg(schemaName, grantee));
    if (scope == Scope::Register) {
        lines.append(QStringLiteral("GRANT SELECT, INSERT, UPDATE, DELETE ON %1 TO %2;")
                         .arg(tables.join(QLatin1String(", ")), grantee));
        lines.append(
            QStringLiteral("GRANT USAGE ON SEQUENCE %1 TO %2;").arg(sequences.join(QLatin1String(", ")), grantee));
    }
    // Reading only: the server writes each entry itself, so a clerk can neither add to the history nor rewrite it.
    lines.append(QStringLiteral("GRANT SELECT ON %1 TO %2;").arg(historyTable, grantee));
    return lines;
}

CommandLine parse(const QStringList& arguments, const QStringList& flags, const QString& command)
{
    const QString option = QStringLiteral("--role");
    const commandline::Parsed parsed = commandline::parse(arguments, flags, {option}, {QStringLiteral("REGISTER")},
                                                          command + QStringLiteral(" takes one REGISTER"));
    CommandLine line{parsed.options, parsed.rest.value(0), false, parsed.options.value(option, defaultRole),
                     parsed.wrong};
    line.server = Connection::isServer(line.location);
    if (!line.wrong.isEmpty())
        return line;
    if (parsed.options.contains(option) && !line.server)
        line.wrong = QStringLiteral("--role is for a register on a server");
    else if (line.role.isEmpty())
        line.wrong = QStringLiteral("no role given: the value of --role is empty");
    return line;
}

int print(const QString& uri, const QString& role, Scope scope, QTextStream& out, QTextStream& err)
{
    const Expected<QStringList> lines = grants(uri, role, scope);
    if (!lines)
        return commandline::failed(err, lines.status().message());
    out << lines->join(QLatin1Char('\n')) << "\n";
    return 0;
}

} // namespace clerkrights
