#include "clerkrights.h"

#include "commandline.h"
#include "connection.h"
#include "schema.h"

#include <QTextStream>

namespace clerkrights {

Expected<QStringList> grants(const QString& uri, const QString& role, Scope scope)
{
    Expected<std::unique_ptr<Connection>> opened = Connection::open(uri);
    if (!opened)
        return opened.status();
    QStringList tables;
    for (const schema::Table& table : scope == Scope::Register ? schema::everyTable() : QList<schema::Table>())
        tables.append(table.name);
    const Expected<Connection::Rights> rights = opened.value()->clerkRights(role, tables);
    if (!rights)
        return rights.status();
    return QStringList{QStringLiteral("-- What the clerks' role needs, run as the register's owner (--role names the "
                                      "role; make it first, for example CREATE ROLE %1 LOGIN):")
                           .arg(rights->role)}
           + rights->statements;
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
