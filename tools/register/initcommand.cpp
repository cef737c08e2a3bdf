#include "clerkrights.h"
#include "commandline.h"
#include "commands.h"
#include "connection.h"
#include "demoregister.h"
#include "registerfile.h"
#include "registerserver.h"

#include <QTextStream>

namespace commands {

int init(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const clerkrights::CommandLine line =
        clerkrights::parse(arguments, {QStringLiteral("--demo")}, QStringLiteral("init"));
    if (!line.wrong.isEmpty())
        return commandline::wrongUsage(err, line.wrong);
    const QString& location = line.location;
    const bool demo = line.options.contains(QStringLiteral("--demo"));

    std::function<Status(QSqlDatabase&)> fill;
    if (demo)
        fill = demoregister::fill;
    const Status created = line.server ? registerserver::create(location, fill) : registerfile::create(location, fill);
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
    return line.server ? clerkrights::print(location, line.role, clerkrights::Scope::Register, out, err) : 0;
}

} // namespace commands
