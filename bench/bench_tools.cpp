// velmora-bench-tools: times velmora-register's commands on a large register and checks their targets, for a
// register file and, when VELMORA_TEST_SERVER names a PostgreSQL server (scripts/postgres.sh start), a register on
// that server.
//
// Usage:
//   velmora-bench-tools                      1,000,000 certificates, 100,000 holders; exits 1 if a target is missed
//   velmora-bench-tools --certificates N     N certificates and a tenth as many holders (a quick run)
//
// Each command runs as a child process of the built tool; its time is the wall clock's from start to exit and its
// memory the child's peak resident set.

#include "benchsupport.h"
#include "connection.h"
#include "registerfile.h"
#include "registerserver.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

extern char** environ;

namespace {

constexpr qint64 largeCertificates = 1000000;
// In a command's arguments, REGISTER stands for the register, and a leading DIR/ for a folder of the run's own.
const QString registerArgument = QStringLiteral("REGISTER");
const QString folderArgument = QStringLiteral("DIR/");
// NOW stands for the present minute in UTC, as --as-recorded-at takes it.
const QString nowArgument = QStringLiteral("NOW");

// A command measured on the register, the exit status it must give, and its targets.
struct Measured {
    const char* label;
    QStringList arguments;
    int status;
    double seconds;
    double mebibytes;
};

// The register holds deliberate findings, so check exits with 1.
const Measured commands[] = {
    {"check", {QStringLiteral("check"), registerArgument}, 1, 10, 100},
    {"members --on",
     {QStringLiteral("members"), QStringLiteral("--on"), QStringLiteral("2020-06-30"), registerArgument},
     0,
     5,
     100},
    {"dividend --csv",
     {QStringLiteral("dividend"), QStringLiteral("--record-date"), QStringLiteral("2020-06-30"),
      QStringLiteral("--per-share"), QStringLiteral("0.125"), QStringLiteral("--withhold"), QStringLiteral("15"),
      QStringLiteral("--csv"), registerArgument},
     0,
     5,
     100},
    {"members --as-recorded-at",
     {QStringLiteral("members"), QStringLiteral("--as-recorded-at"), nowArgument, registerArgument},
     0,
     30,
     200},
};

const char usage[] = "Usage: velmora-bench-tools [--certificates N]\n"
                     "  Times velmora-register's commands on N certificates (default 1,000,000) and a tenth as many\n"
                     "  holders against their targets.\n";

using bench::fail;
using bench::print;

// The statements that fill a register: certificates, one transfer for every fifth, holders whose totals are what
// they hold, then a few of each finding the check knows. :n and :h are the certificates and holders; :key the
// engine's row key.
const QStringList fileFill = {
    "INSERT INTO stock_data WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < :n) "
    "SELECT printf('S%07d', i), 1 + i % 2, date('2000-01-01', '+' || (i % 9000) || ' days'), printf('IT%04d', i % "
    "5000), 1 + (i * 7) % :h, 1 + i % :h, 100 * (1 + i % 50) FROM n",
    "INSERT INTO transfer_data SELECT stock_no, date(publish_date, '+400 days'), original_holder, present_holder, "
    "item_code FROM stock_data",
    "INSERT INTO stockholder WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < :h) "
    "SELECT i, 1 + i % 2, 'Holder ' || i, i % 2, date('1940-01-01', '+' || (i % 20000) || ' days'), 'ID' || i, "
    "'Street ' || i, 'Town', '555-' || i, NULL, COALESCE(t.total, 0) FROM n LEFT JOIN (SELECT present_holder AS p, "
    "SUM(stock_qty) AS total FROM stock_data GROUP BY present_holder) t ON t.p = n.i",
};

const QStringList serverFill = {
    "INSERT INTO stock_data (stock_no, stock_type, publish_date, item_code, original_holder, present_holder, "
    "stock_qty) SELECT 'S' || lpad(i::text, 7, '0'), 1 + i % 2, (date '2000-01-01' + i % 9000)::text, "
    "'IT' || lpad((i % 5000)::text, 4, '0'), 1 + (i * 7) % :h, 1 + i % :h, 100 * (1 + i % 50) "
    "FROM generate_series(1, :n) AS i",
    "INSERT INTO transfer_data (stock_no, transferred_date, before_holder, new_holder, item_code) SELECT stock_no, "
    "(publish_date::date + 400)::text, original_holder, present_holder, item_code FROM stock_data",
    "INSERT INTO stockholder (stockholder_no, \"character\", stockholder_name, gender, birth_date, id_no, address1, "
    "address2, tel_no1, tel_no2, total_share) SELECT i, 1 + i % 2, 'Holder ' || i, i % 2, (date '1940-01-01' + i % "
    "20000)::text, 'ID' || i, 'Street ' || i, 'Town', '555-' || i, NULL, COALESCE(t.total, 0) FROM "
    "generate_series(1, :h) AS i LEFT JOIN (SELECT present_holder AS p, SUM(stock_qty) AS total FROM stock_data "
    "GROUP BY present_holder) t ON t.p = i",
};

// A file's history: each certificate added, as many entries as certificates. A server's triggers write their own.
const QStringList fileHistory = {
    "INSERT INTO velmora_history SELECT rowid, '2020-01-01T00:00:00.000Z', 'bench', '', 'stock_data', rowid, "
    "stock_no, 'add', json_array(json_array('stock_no', NULL, stock_no), json_array('stock_type', NULL, stock_type), "
    "json_array('publish_date', NULL, publish_date), json_array('item_code', NULL, item_code), "
    "json_array('original_holder', NULL, original_holder), json_array('present_holder', NULL, present_holder), "
    "json_array('stock_qty', NULL, stock_qty)), '', '' FROM stock_data",
};
const QStringList findings = {
    "UPDATE stockholder SET total_share = total_share + 1 WHERE stockholder_no % 9973 = 0",
    "UPDATE stockholder SET gender = 7, birth_date = '1990-02-30' WHERE stockholder_no % 19997 = 0",
    "UPDATE stock_data SET publish_date = '2023-02-29' WHERE stock_no IN ('S0000010', 'S0000020')",
    "UPDATE stock_data SET stock_no = 'S0000001' WHERE stock_no = 'S0000003'",
    "UPDATE stock_data SET original_holder = -1, stock_type = 3 WHERE stock_no = 'S0000007'",
    "UPDATE transfer_data SET new_holder = before_holder WHERE stock_no = 'S0000005'",
    "INSERT INTO transfer_data (stock_no, transferred_date, before_holder, new_holder) VALUES ('X0000001', "
    "'2020-01-01', 1, 2)",
};

void fill(const QString& location, const QStringList& statements, qint64 certificates)
{
    Expected<std::unique_ptr<Connection>> connection = Connection::open(location);
    if (!connection)
        fail(QStringLiteral("opening the register to fill it"), connection.status().message());
    QSqlQuery query(connection.value()->database());
    for (QString statement :
         QStringList{QStringLiteral("BEGIN")} + statements + QStringList{QStringLiteral("COMMIT")}) {
        statement.replace(QLatin1String(":n"), QString::number(certificates))
            .replace(QLatin1String(":h"), QString::number(certificates / 10));
        if (!query.exec(statement))
            fail(statement.left(60), query.lastError().text());
    }
}

QString tool()
{
    const QString given = qEnvironmentVariable("VELMORA_REGISTER_TOOL");
    return given.isEmpty() ? QStringLiteral(VELMORA_REGISTER_TOOL_PATH) : given;
}

struct Figures {
    int status = -1;
    double seconds = 0;
    double mebibytes = 0;
    qint64 lines = 0; // what it printed
};

// Runs the tool with the arguments in a child process of its own, its output into a file.
Figures runTool(const QStringList& arguments, const QString& outputPath)
{
    std::vector<QByteArray> encoded{QFile::encodeName(tool())};
    for (const QString& argument : arguments)
        encoded.push_back(argument.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& argument : encoded)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const QByteArray output = QFile::encodeName(outputPath);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);

    QElapsedTimer timer;
    timer.start();
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        fail(QStringLiteral("starting %1").arg(tool()), QString::fromLocal8Bit(std::strerror(spawned)));
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child)
        fail(QStringLiteral("waiting for %1").arg(tool()), QString::fromLocal8Bit(std::strerror(errno)));
    Figures figures;
    figures.seconds = timer.nsecsElapsed() / 1e9;
    figures.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    figures.mebibytes = usage.ru_maxrss / 1024.0; // KiB on Linux
    QFile printed(outputPath);
    if (printed.open(QIODevice::ReadOnly))
        figures.lines = printed.readAll().count('\n');
    return figures;
}

void printRow(const QStringList& cells)
{
    const QString row = QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
                            .arg(cells.value(0), -16)
                            .arg(cells.value(1), 10)
                            .arg(cells.value(2), 10)
                            .arg(cells.value(3), 8)
                            .arg(cells.value(4), 12)
                            .arg(cells.value(5), 8)
                            .arg(cells.value(6), 8);
    print(row.trimmed());
}

bool measureAll(const QString& location, const QTemporaryDir& dir)
{
    printRow({QStringLiteral("command"), QStringLiteral("lines out"), QStringLiteral("time (s)"),
              QStringLiteral("target"), QStringLiteral("peak (MiB)"), QStringLiteral("target"),
              QStringLiteral("result")});
    bool allMet = true;
    for (const Measured& command : commands) {
        QStringList arguments;
        for (const QString& argument : command.arguments) {
            arguments.append(argument == registerArgument ? location
                             : argument == nowArgument
                                 ? QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd HH:mm"))
                             : argument.startsWith(folderArgument) ? dir.filePath(argument.mid(folderArgument.size()))
                                                                   : argument);
        }
        const Figures figures = runTool(arguments, dir.filePath(QStringLiteral("output.txt")));
        if (figures.status != command.status)
            fail(QString::fromLatin1(command.label),
                 QStringLiteral("exit status %1, not %2").arg(figures.status).arg(command.status));
        const bool met = figures.seconds <= command.seconds && figures.mebibytes <= command.mebibytes;
        allMet = allMet && met;
        printRow({QString::fromLatin1(command.label), QString::number(figures.lines),
                  QString::number(figures.seconds, 'f', 2), QStringLiteral("<= %1").arg(command.seconds),
                  QString::number(figures.mebibytes, 'f', 1), QStringLiteral("<= %1").arg(command.mebibytes),
                  met ? QStringLiteral("met") : QStringLiteral("MISSED")});
    }
    return allMet;
}

bool measureOn(const QString& server, qint64 certificates)
{
    const QTemporaryDir dir;
    if (!dir.isValid())
        fail(QStringLiteral("making a temporary folder"), dir.errorString());
    QElapsedTimer timer;
    timer.start();
    std::unique_ptr<bench::ServerSchema> schema =
        server.isEmpty() ? nullptr : std::make_unique<bench::ServerSchema>(server, QStringLiteral("benchtools"));
    const QString location = schema ? schema->uri() : dir.filePath(QStringLiteral("bench.mdb"));
    // Made empty, then filled on a connection of its own.
    const Status created = schema ? registerserver::create(location) : registerfile::create(location);
    if (!created)
        fail(QStringLiteral("creating the register"), created.message());
    fill(location, (schema ? serverFill : fileFill + fileHistory) + findings, certificates);
    if (schema)
        fill(location, {QStringLiteral("ANALYZE")}, certificates);
    print(QStringLiteral("\n%1: %2 certificates, %3 holders, a transfer for every certificate and a history of as many "
                         "entries (made in %4 s)\n")
              .arg(schema ? QStringLiteral("A register on the server") : QStringLiteral("A register file"))
              .arg(certificates)
              .arg(certificates / 10)
              .arg(timer.nsecsElapsed() / 1e9, 0, 'f', 1));
    return measureAll(location, dir);
}

int drive(qint64 certificates)
{
    return bench::onEveryEngine([certificates](const QString& server) { return measureOn(server, certificates); });
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return drive(largeCertificates);
    bool ok = false;
    const qint64 certificates =
        args.size() == 2 && args[0] == QLatin1String("--certificates") ? args[1].toLongLong(&ok) : 0;
    if (ok && certificates >= 100)
        return drive(certificates);
    const bool help = args == QStringList{QStringLiteral("--help")};
    std::fputs(usage, help ? stdout : stderr);
    return help ? 0 : 2;
}
