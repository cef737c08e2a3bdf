#include "commandline.h"
#include "commands.h"
#include "connection.h"
#include "demoregister.h"
#include "registerfile.h"
#include "registerserver.h"
#include "schema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

namespace commands {

namespace {

const QString defaultRole = QStringLiteral("velmora_clerk");

// What a clerk's role needs on the register, and no more: its rows, the row keys' sequences, and the schema
// when it is not public. The server quotes each name only where it must.
Expected<QStringList> grants(const QString& uri, const QString& role)
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
    query.prepare(QStringLiteral("SELECT quote_ident(?), current_schema() = 'public', quote_ident(current_schema())"));
    query.bindValue(0, role);
    if (!query.exec() || !query.next())
        return failed();
    const QString grantee = query.value(0).toString();
    const QString schemaName = query.value(2).toString();
    const QString prefix = query.value(1).toBool() ? QString() : schemaName + QLatin1Char('.');
    QStringList tables;
    QStringList sequences;
    for (const schema::Table& table : schema::tables()) {
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
    lines.append(QStringLiteral("GRANT SELECT, INSERT, UPDATE, DELETE ON %1 TO %2;")
                     .arg(tables.join(QLatin1String(", ")), grantee));
    lines.append(QStringLiteral("GRANT USAGE ON SEQUENCE %1 TO %2;").arg(sequences.join(QLatin1String(", ")), grantee));
    return lines;
}

} // namespace

int init(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const commandline::Parsed parsed =
        commandline::parse(arguments, {QStringLiteral("--demo")}, {QStringLiteral("--role")},
                           {QStringLiteral("REGISTER")}, QStringLiteral("init takes one REGISTER"));
    if (!parsed.wrong.isEmpty())
        return commandline::wrongUsage(err, parsed.wrong);
    const QString& location = parsed.rest.first();
    const bool server = Connection::isServer(location);
    const QString role = parsed.options.value(QStringLiteral("--role"), defaultRole);
    if (parsed.options.contains(QStringLiteral("--role")) && !server)
        return commandline::wrongUsage(err, QStringLiteral("--role is for a register on a server"));
    if (role.isEmpty())
        return commandline::wrongUsage(err, QStringLiteral("no role given: the value of --role is empty"));
    const bool demo = parsed.options.contains(QStringLiteral("--demo"));

    std::function<Status(QSqlDatabase&)> fill;
    if (demo)
        fill = demoregister::fill;
    const Status created = server ? registerserver::create(location, fill) : registerfile::create(location, fill);
    if (!created)
        return commandline::failed(err, created.message());
    const QString where = Connection::pathOf(location);
    if (demo) {
        const demoregister::Counts counts = demoregister::counts();
        out << QStringLiteral("Created the register %1 with %2 shareholders, %3 certificates and %4 transfers.\n")
                   .arg(where)
                   .arg(counts.shareholders)
                   .arg(counts.certificates)
                   .arg(counts.transfers);
    } else {
        out << QStringLiteral("Created the empty register %1.\n").arg(where);
    }
    if (!server)
        return 0;
    const Expected<QStringList> lines = grants(location, role);
    if (!lines)
        return commandline::failed(err, lines.status().message());
    out << lines->join(QLatin1Char('\n')) << "\n";
    return 0;
}

} // namespace commands
