// velmora-register: the command-line companion that makes registers for Velmora, brings in a register from
// the earlier Access-format program and lets the data out again as CSV.
//
//   velmora-register init [--demo] PATH                     an empty register, or one with sample data
//   velmora-register import [--codepage NAME] ACCESS REGISTER  a new register from an Access-format file
//   velmora-register inspect ACCESS                         what an Access-format file holds
//   velmora-register export [--force] [--raw] REGISTER DIR  the three tables as CSV files
//   velmora-register --version                              the version of Velmora it belongs to

#include "accesssource.h"
#include "csvexport.h"
#include "demoregister.h"
#include "importer.h"
#include "registerfile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QSqlDatabase>
#include <QStringList>
#include <QTextStream>

#include <sys/resource.h>

namespace {

const char usage[] = R"(Usage: velmora-register COMMAND ...

Makes registers for Velmora, the share register. A register is the file stock.mdb that
Velmora opens from the folder it runs in.

Commands:
  init [--demo] PATH   Create a new register at PATH with the three tables, empty. With --demo,
                       fill it with a small sample register: ten shareholders, fifteen
                       certificates and eight transfers that refer to each other. A file that
                       exists at PATH is never touched: the command refuses it.
  import [--codepage NAME] ACCESS_FILE REGISTER
                       Create a new register at REGISTER from the Access-format file (Jet 3,
                       Jet 4 or ACE) that the earlier version of Velmora kept as stock.mdb. The
                       rows of stock_data, stockholder and transfer_data are copied in their
                       stored order; tables and columns are matched by name, ignoring case.
                       Prints one line per table, then every value it changed or could not
                       convert. Writes nothing unless the whole import succeeds. --codepage
                       sets the code page of Jet 3 text, for example CP1252 or CP950.
  inspect [--codepage NAME] ACCESS_FILE
                       List the file's format, its tables with their columns and Access types,
                       and how many rows each table has.
  export [--force] [--raw] REGISTER DIR
                       Write stock_data.csv, stockholder.csv and transfer_data.csv into DIR,
                       which is made when it is not there: UTF-8, a header row, the rows in
                       record order, an empty field for no value. A text that starts with
                       = + - @, a tab or a carriage return gets an apostrophe before it, so
                       that a spreadsheet does not run it as a formula; numbers such as -5
                       are left alone. --raw writes every value exactly as stored. Files
                       that exist are only overwritten with --force.
  --help               Show this text.
  --version            Show the version.

Exit status: 0 on success, 1 when the work failed, 2 when the command line is wrong.
)";

int wrongUsage(QTextStream& err, const QString& why)
{
    err << "velmora-register: " << why << "\n"
        << "Try 'velmora-register --help'.\n";
    return 2;
}

// A Jet 3 file does not say which code page its text is in.
const char jet3Note[] = "This is a Jet 3 file: its text was read as Windows-1252 (CP1252). If names or addresses "
                        "look wrong,\nimport again with --codepage, for example --codepage CP950 for Big5.\n";

// Splits options (given in flags, or in valued when they take a value) from the paths. When takes is given, the
// paths must be as many as names, none of them empty, and wrong says what is not.
struct Parsed {
    QHash<QString, QString> options;
    QStringList rest;
    QString wrong;
};

Parsed parse(const QStringList& arguments, const QStringList& flags, const QStringList& valued,
             const QStringList& names = {}, const QString& takes = {})
{
    Parsed parsed;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (flags.contains(argument)) {
            parsed.options.insert(argument, QString());
        } else if (valued.contains(argument)) {
            if (i + 1 == arguments.size()) {
                parsed.wrong = QStringLiteral("%1 needs a value").arg(argument);
                return parsed;
            }
            parsed.options.insert(argument, arguments[++i]);
        } else if (argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
            parsed.wrong = QStringLiteral("unknown option %1").arg(argument);
            return parsed;
        } else {
            parsed.rest.append(argument);
        }
    }
    if (takes.isEmpty())
        return parsed;
    if (parsed.rest.size() != names.size())
        parsed.wrong = takes;
    else if (const qsizetype empty = parsed.rest.indexOf(QString()); empty >= 0)
        parsed.wrong = QStringLiteral("no %1 given: the argument is empty").arg(names[empty]);
    return parsed;
}

int init(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const Parsed parsed = parse(arguments, {QStringLiteral("--demo")}, {}, {QStringLiteral("PATH")},
                                QStringLiteral("init takes one PATH"));
    if (!parsed.wrong.isEmpty())
        return wrongUsage(err, parsed.wrong);
    const bool demo = parsed.options.contains(QStringLiteral("--demo"));
    const QStringList& paths = parsed.rest;

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

int importAccess(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const Parsed parsed = parse(arguments, {}, {QStringLiteral("--codepage")},
                                {QStringLiteral("ACCESS_FILE"), QStringLiteral("REGISTER")},
                                QStringLiteral("import takes an ACCESS_FILE and a REGISTER"));
    if (!parsed.wrong.isEmpty())
        return wrongUsage(err, parsed.wrong);
    const Expected<std::unique_ptr<jet::Source>> source =
        jet::open(parsed.rest[0], parsed.options.value(QStringLiteral("--codepage")));
    if (!source) {
        err << "velmora-register: " << source.status().message() << "\n";
        return 1;
    }
    if (source.value()->format() == QLatin1String("Jet 3") && !parsed.options.contains(QStringLiteral("--codepage")))
        out << jet3Note;
    Status status;
    const importer::Report report = importer::import(*source.value(), parsed.rest[1], status);
    for (const importer::TableReport& table : report.tables)
        out << importer::summary(table) << "\n";
    for (const importer::TableReport& table : report.tables) {
        for (const QString& note : table.notes)
            out << "  " << table.table << ", " << note << "\n";
    }
    if (!status) {
        err << "velmora-register: " << status.message() << "\n";
        return 1;
    }
    if (!report.complete())
        return 1;
    out << QStringLiteral("Created the register %1.\n").arg(parsed.rest[1]);
    return 0;
}

int inspect(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const Parsed parsed = parse(arguments, {}, {QStringLiteral("--codepage")}, {QStringLiteral("ACCESS_FILE")},
                                QStringLiteral("inspect takes one ACCESS_FILE"));
    if (!parsed.wrong.isEmpty())
        return wrongUsage(err, parsed.wrong);
    const Expected<std::unique_ptr<jet::Source>> source =
        jet::open(parsed.rest[0], parsed.options.value(QStringLiteral("--codepage")));
    if (!source) {
        err << "velmora-register: " << source.status().message() << "\n";
        return 1;
    }
    const QList<jet::Table> tables = source.value()->tables();
    out << QStringLiteral("%1: %2, %3 user tables\n").arg(parsed.rest[0], source.value()->format()).arg(tables.size());
    for (const jet::Table& table : tables) {
        out << QStringLiteral("\n%1 (%2 rows)\n").arg(table.name).arg(table.rows);
        for (const jet::Column& column : table.columns)
            out << QStringLiteral("  %1  %2\n").arg(column.name, -24).arg(column.typeName);
    }
    return 0;
}

int exportCsv(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const Parsed parsed =
        parse(arguments, {QStringLiteral("--force"), QStringLiteral("--raw")}, {},
              {QStringLiteral("REGISTER"), QStringLiteral("DIR")}, QStringLiteral("export takes a REGISTER and a DIR"));
    if (!parsed.wrong.isEmpty())
        return wrongUsage(err, parsed.wrong);
    const Status written =
        csvexport::exportRegister(parsed.rest[0], parsed.rest[1], parsed.options.contains(QStringLiteral("--force")),
                                  parsed.options.contains(QStringLiteral("--raw")));
    if (!written) {
        err << "velmora-register: " << written.message() << "\n";
        return 1;
    }
    out << QStringLiteral("Wrote stock_data.csv, stockholder.csv and transfer_data.csv into %1.\n").arg(parsed.rest[1]);
    return 0;
}

// libmdb can crash or loop on a damaged file. The commands that read one run again in a child process held to
// a CPU limit, so that such a file is reported instead of ending or hanging the tool.
constexpr char readerVariable[] = "VELMORA_REGISTER_READER";
constexpr rlim_t readerCpuSeconds = 120;

int inReader(const QStringList& arguments, QTextStream& err)
{
    QProcess reader;
    reader.setProcessChannelMode(QProcess::ForwardedChannels);
    reader.setInputChannelMode(QProcess::ForwardedInputChannel);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(readerVariable), QStringLiteral("1"));
    reader.setProcessEnvironment(environment);
    reader.start(QCoreApplication::applicationFilePath(), arguments);
    if (!reader.waitForStarted(-1) || !reader.waitForFinished(-1) || reader.exitStatus() != QProcess::NormalExit) {
        const QString file = parse(arguments.mid(1), {}, {QStringLiteral("--codepage")}).rest.value(0);
        err << QStringLiteral("velmora-register: Cannot read the Access file \"%1\": reading it stopped (%2), so it "
                              "is probably damaged. No register was made.\n")
                   .arg(QFileInfo(file).absoluteFilePath(), reader.error() == QProcess::Crashed
                                                                ? QStringLiteral("the reader crashed or ran too long")
                                                                : reader.errorString());
        return 1;
    }
    return reader.exitCode();
}

void limitReader()
{
    const rlimit cpu{readerCpuSeconds, readerCpuSeconds};
    setrlimit(RLIMIT_CPU, &cpu);
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
    if (command == QLatin1String("--version")) {
        out << "velmora-register " VELMORA_VERSION "\n";
        return 0;
    }
    if (command == QLatin1String("init"))
        return init(arguments, out, err);
    const bool reads = command == QLatin1String("import") || command == QLatin1String("inspect");
    if (reads && !qEnvironmentVariableIsSet(readerVariable))
        return inReader(QCoreApplication::arguments().mid(1), err);
    if (reads)
        limitReader();
    if (command == QLatin1String("import"))
        return importAccess(arguments, out, err);
    if (command == QLatin1String("inspect"))
        return inspect(arguments, out, err);
    if (command == QLatin1String("export"))
        return exportCsv(arguments, out, err);
    return wrongUsage(err, QStringLiteral("unknown command %1").arg(command));
}
