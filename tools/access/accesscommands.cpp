#include "accesssource.h"
#include "commandline.h"
#include "commands.h"
#include "connection.h"
#include "importer.h"
#include "terminaltext.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QTextStream>

#include <sys/prctl.h>
#include <sys/resource.h>

#include <csignal>

using commandline::failed;
using commandline::parse;
using commandline::Parsed;
using commandline::wrongUsage;

namespace commands {

namespace {

// A Jet 3 file does not say which code page its text is in.
const char jet3Note[] = "This is a Jet 3 file: its text was read as Windows-1252 (CP1252). If names or addresses "
                        "look wrong,\nimport again with --codepage, for example --codepage CP950 for Big5.\n";

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
                   .arg(terminaltext::visible(QFileInfo(file).absoluteFilePath()),
                        reader.error() == QProcess::Crashed ? QStringLiteral("the reader crashed or ran too long")
                                                            : reader.errorString());
        return 1;
    }
    return reader.exitCode();
}

void limitReader()
{
    const rlimit cpu{readerCpuSeconds, readerCpuSeconds};
    setrlimit(RLIMIT_CPU, &cpu);
    // Interrupted, the tool ends its reader too, which then removes the register it was building.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
}

int importAccess(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const Parsed parsed = parse(arguments, {}, {QStringLiteral("--codepage")},
                                {QStringLiteral("ACCESS_FILE"), QStringLiteral("REGISTER")},
                                QStringLiteral("import takes an ACCESS_FILE and a REGISTER"));
    if (!parsed.wrong.isEmpty())
        return wrongUsage(err, parsed.wrong);
    if (Connection::isServer(parsed.rest[1]))
        return wrongUsage(err, QStringLiteral("import makes a register file; import into a file, then copy it to the "
                                              "server"));
    const Expected<std::unique_ptr<jet::Source>> source =
        jet::open(parsed.rest[0], parsed.options.value(QStringLiteral("--codepage")));
    if (!source)
        return failed(err, source.status().message());
    if (source.value()->format() == QLatin1String("Jet 3") && !parsed.options.contains(QStringLiteral("--codepage")))
        out << jet3Note;
    Status status;
    const importer::Report report = importer::import(*source.value(), parsed.rest[1], status, parsed.rest[0]);
    for (const importer::TableReport& table : report.tables)
        out << terminaltext::visible(importer::summary(table)) << "\n";
    for (const importer::TableReport& table : report.tables) {
        for (const QString& note : table.notes)
            out << "  " << terminaltext::visible(table.table + QStringLiteral(", ") + note) << "\n";
    }
    if (!status)
        return failed(err, status.message());
    if (!report.complete())
        return 1;
    out << QStringLiteral("Created the register %1.\n").arg(terminaltext::visible(parsed.rest[1]));
    return 0;
}

int inspectAccess(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const Parsed parsed = parse(arguments, {}, {QStringLiteral("--codepage")}, {QStringLiteral("FILE")},
                                QStringLiteral("inspect takes one FILE or REGISTER"));
    if (!parsed.wrong.isEmpty())
        return wrongUsage(err, parsed.wrong);
    const Expected<std::unique_ptr<jet::Source>> source =
        jet::open(parsed.rest[0], parsed.options.value(QStringLiteral("--codepage")));
    if (!source)
        return failed(err, source.status().message());
    const QList<jet::Table> tables = source.value()->tables();
    out << QStringLiteral("%1: %2, %3 user tables\n")
               .arg(terminaltext::visible(parsed.rest[0]), source.value()->format())
               .arg(tables.size());
    for (const jet::Table& table : tables) {
        out << QStringLiteral("\n%1 (%2 rows)\n").arg(terminaltext::visible(table.name)).arg(table.rows);
        for (const jet::Column& column : table.columns)
            out << QStringLiteral("  %1  %2\n")
                       .arg(terminaltext::visible(column.name), -24)
                       .arg(terminaltext::visible(column.typeName));
    }
    return 0;
}

} // namespace

int import(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    if (!qEnvironmentVariableIsSet(readerVariable))
        return inReader(QStringList{QStringLiteral("import")} + arguments, err);
    limitReader();
    return importAccess(arguments, out, err);
}

int inspect(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    if (inspectsRegister(arguments))
        return inspectRegister(arguments, out, err);
    if (!qEnvironmentVariableIsSet(readerVariable))
        return inReader(QStringList{QStringLiteral("inspect")} + arguments, err);
    limitReader();
    return inspectAccess(arguments, out, err);
}

} // namespace commands
