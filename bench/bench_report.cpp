// velmora-bench-report: times velmora-register report, the register of members as a PDF, on a register of 10,000
// shareholders and 100,000 certificates, and checks its targets: a file, and, when VELMORA_TEST_SERVER names a
// PostgreSQL server (scripts/postgres.sh start), a register on that server. With --certificates it times
// velmora-register certificate instead, every share certificate of a register of 10,000, against the same targets.
//
// Usage:
//   velmora-bench-report                   the full size; prints the figures, exits 1 if a target is missed
//   velmora-bench-report --holders N       N shareholders with ten times as many certificates (a quick run)
//   velmora-bench-report --certificates    10,000 share certificates, one page each, from 1,000 shareholders
//   velmora-bench-report --measure COMMAND WHERE   one PDF, one line of figures (run by the above, per register)
//
// Each report is measured in a child process of its own, whose children are the report alone, so that the peak
// memory is the report's.

#include "benchsupport.h"
#include "registerfile.h"
#include "registerserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>
#include <memory>

using bench::fail;
using bench::print;
using bench::require;

namespace {

constexpr qint64 fullHolders = 10000;
constexpr double targetSeconds = 30;
constexpr double targetMib = 300;

constexpr qint64 certificateHolders = 1000; // with ten certificates each

const char usage[] = "Usage: velmora-bench-report [--holders N | --certificates]\n"
                     "  Times the register of members of N shareholders (default 10,000) and ten times as many\n"
                     "  certificates against its targets; or every share certificate of 1,000 shareholders'\n"
                     "  10,000 certificates.\n";

// The rows, the same on either engine: names in five scripts; certificates spread unevenly over the holders, a few
// holding none; transfers on a thousand days; each stored total the sum of its holder's quantities, but every
// hundredth one short, for the check to find.
QStringList fillStatements(qint64 holders, bool server)
{
    const QString numbers = server ? QStringLiteral("generate_series(1, %1::bigint) AS n(i)")
                                   : QStringLiteral("(WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                                                    "WHERE i < %1) SELECT i FROM n) AS n");
    const QString text = server ? QStringLiteral("i::text") : QStringLiteral("CAST(i AS TEXT)");
    const QString day = server ? QStringLiteral("(date '2000-01-01' + (i % 1000)::int)::text")
                               : QStringLiteral("date('2000-01-01', '+' || (i % 1000) || ' days')");
    const qint64 certificates = 10 * holders;
    const QString everyName = QStringLiteral(
        "CASE i % 5 WHEN 0 THEN '王小明 ' WHEN 1 THEN 'Αλέξανδρος Παπαδόπουλος ' WHEN 2 THEN 'Joséphine Duffield ' "
        "WHEN 3 THEN 'Наталья Петрова ' ELSE 'Margaret Ashworth ' END || %1");
    return {
        QStringLiteral(
            "INSERT INTO stockholder SELECT i, 1 + i % 2, %1, i % 2, '1970-01-01', 'ID-' || %2, %2 || ' Long "
            "Street', 'Town ' || %2, '0123 ' || %2, NULL, 0 FROM %3")
            .arg(everyName.arg(text), text, numbers.arg(holders)),
        QStringLiteral("INSERT INTO stock_data SELECT 'SC-' || %1, 1 + i % 2, %2, 'IC-' || %1, 1 + (i * i) % %3, "
                       "1 + (i * i) % %3, 100 * (1 + i % 7) FROM %4")
            .arg(text, day, QString::number(holders - holders / 400), numbers.arg(certificates)),
        QStringLiteral("INSERT INTO transfer_data SELECT 'SC-' || %1, %2, 1 + i % %3, 1 + (i * i) % %3, 'IC-' || %1 "
                       "FROM %4")
            .arg(text, day, QString::number(holders), numbers.arg(certificates / 5)),
        QStringLiteral(
            "UPDATE stockholder SET total_share = t.q - CASE WHEN stockholder_no % 100 = 0 THEN 1 ELSE 0 END "
            "FROM (SELECT present_holder, SUM(stock_qty) AS q FROM stock_data GROUP BY present_holder) AS t "
            "WHERE t.present_holder = stockholder.stockholder_no"),
    };
}

Status fill(QSqlDatabase& database, qint64 holders, bool server)
{
    QSqlQuery query(database);
    for (const QString& statement : fillStatements(holders, server)) {
        if (!query.exec(statement))
            return Status::failure(query.lastError().text());
    }
    return {};
}

// One report (or the certificates) of the register at location, in this process's only child.
int measure(const QString& command, const QString& location)
{
    const QTemporaryDir dir;
    QProcess tool;
    tool.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    tool.start(QStringLiteral(VELMORA_REGISTER_TOOL), {command, location, dir.filePath("r.pdf")});
    if (!tool.waitForFinished(-1) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        fail(QStringLiteral("velmora-register ") + command, QString::fromUtf8(tool.readAllStandardOutput()));
    const double seconds = timer.nsecsElapsed() / 1e9;
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const QString said = QString::fromUtf8(tool.readAllStandardOutput());
    const QString pages = said.section(QLatin1String(": "), -1).section(QLatin1Char(' '), 0, 0);
    print(QStringLiteral("seconds=%1 peak_mib=%2 pages=%3")
              .arg(seconds, 0, 'f', 2)
              .arg(usage.ru_maxrss / 1024.0, 0, 'f', 1)
              .arg(pages));
    return 0;
}

// Makes the register, measures its report in a child; true when both targets are met.
bool driveOne(qint64 holders, const QString& server, const QString& command)
{
    const QTemporaryDir dir;
    QElapsedTimer timer;
    timer.start();
    const bool onServer = !server.isEmpty();
    const auto filled = [holders, onServer](QSqlDatabase& database) {
        return fill(database, holders, onServer);
    };
    std::unique_ptr<bench::ServerSchema> serverRegister =
        onServer ? std::make_unique<bench::ServerSchema>(server, QStringLiteral("report")) : nullptr;
    if (serverRegister)
        require(registerserver::create(serverRegister->uri(), filled), QStringLiteral("registerserver::create"));
    QString location = dir.filePath(QStringLiteral("bench.mdb"));
    if (onServer)
        location = serverRegister->uri();
    else
        require(registerfile::create(location, filled), QStringLiteral("registerfile::create"));
    std::fprintf(stderr, "made the register in %.1f s\n", timer.nsecsElapsed() / 1e9);
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--measure"), command, location});
    if (!child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        fail(QStringLiteral("measuring the report"), QStringLiteral("the child process did not finish well"));
    const QString line = QString::fromUtf8(child.readAllStandardOutput()).trimmed();
    const auto figure = [&](const char* name) {
        return line.section(QLatin1String(name) + QLatin1Char('='), 1).section(QLatin1Char(' '), 0, 0).toDouble();
    };
    const bool met = figure("seconds") <= targetSeconds && figure("peak_mib") <= targetMib;
    print(QStringLiteral("%1: %2 shareholders, %3 certificates, %4 transfers: %5 pages in %6 s, peak %7 MiB "
                         "(targets <= %8 s, <= %9 MiB): %10")
              .arg((server.isEmpty() ? QStringLiteral("A register file") : QStringLiteral("A register on the server"))
                   + QStringLiteral(", ") + command)
              .arg(holders)
              .arg(10 * holders)
              .arg(2 * holders)
              .arg(figure("pages"))
              .arg(figure("seconds"), 0, 'f', 2)
              .arg(figure("peak_mib"), 0, 'f', 1)
              .arg(targetSeconds)
              .arg(targetMib)
              .arg(met ? QStringLiteral("met") : QStringLiteral("MISSED")));
    return met;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    bool counted = false;
    const qint64 holders = args.value(1).toLongLong(&counted);
    if (args.isEmpty() || (args.size() == 2 && args[0] == QLatin1String("--holders") && counted && holders >= 400)) {
        const qint64 asked = args.isEmpty() ? fullHolders : holders;
        return bench::onEveryEngine(
            [asked](const QString& server) { return driveOne(asked, server, QStringLiteral("report")); });
    }
    if (args == QStringList{QStringLiteral("--certificates")})
        return bench::onEveryEngine(
            [](const QString& server) { return driveOne(certificateHolders, server, QStringLiteral("certificate")); });
    if (args.size() == 3 && args[0] == QLatin1String("--measure"))
        return measure(args[1], args[2]);
    const bool help = args == QStringList{QStringLiteral("--help")};
    std::fputs(usage, help ? stdout : stderr);
    return help ? 0 : 2;
}
