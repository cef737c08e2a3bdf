// velmora-register: the command-line companion that makes registers for Velmora.
//
//   velmora-register init [--demo] PATH   create an empty register (or one with sample data) at PATH

#include "demoregister.h"
#include "registerfile.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QStringList>
#include <QTextStream>

namespace {

const char usage[] = R"(Usage: velmora-register COMMAND ...

Makes registers for Velmora, the share register. A register is the file stock.mdb that
Velmora opens from the folder it runs in.

Commands:
  init [--demo] PATH   Create a new register at PATH with the three tables, empty. With --demo,
                       fill it with a small sample register: ten shareholders, fifteen
                       certificates and eight transfers that refer to each other. A file that
                       exists at PATH is never touched: the command refuses it.
  --help               Show this text.

Exit status: 0 on success, 1 when the work failed, 2 when the command line is wrong.
)";

int wrongUsage(QTextStream& err, const QString& why)
{
    err << "velmora-register: " << why << "\n"
        << "Try 'velmora-register --help'.\n";
    return 2;
}

int init(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    bool demo = false;
    QStringList paths;
    for (const QString& argument : arguments) {
        if (argument == QLatin1String("--demo"))
            demo = true;
        else if (argument.startsWith(QLatin1Char('-')) && argument.size() > 1)
            return wrongUsage(err, QStringLiteral("unknown option %1").arg(argument));
        else
            paths.append(argument);
    }
    if (paths.size() != 1)
        return wrongUsage(err, QStringLiteral("init takes one PATH"));

    const Status created =
        demo ? registerfile::create(paths.first(), [](QSqlDatabase& database) { return demoregister::fill(database); })
             : registerfile::create(paths.first());
    if (!created) {
        err << "velmora-register: " << created.message() << "\n";
        return 1;
    }
    if (demo) {
        const demoregister::Counts counts = demoregister::counts();
        out << QStringLiteral("Created the register %1 with %2 shareholders, %3 certificates and %4 transfers.\n")
                   .arg(paths.first())
                   .arg(counts.shareholders)
                   .arg(counts.certificates)
                   .arg(counts.transfers);
    } else {
        out << QStringLiteral("Created the empty register %1.\n").arg(paths.first());
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.isEmpty())
        return wrongUsage(err, QStringLiteral("no command given"));
    const QString command = arguments.takeFirst();
    if (command == QLatin1String("--help") || command == QLatin1String("-h") || command == QLatin1String("help")) {
        out << usage;
        return 0;
    }
    if (command == QLatin1String("init"))
        return init(arguments, out, err);
    return wrongUsage(err, QStringLiteral("unknown command %1").arg(command));
}
