// velmora-bench: times the record set on a small and a large register and checks the large one's targets, for a
// register file and, when VELMORA_TEST_SERVER names a PostgreSQL server (scripts/postgres.sh start), a register
// on that server.
//
// Usage:
//   velmora-bench                       1,000 and 1,000,000 rows; prints the tables, exits 1 if a target is missed
//   velmora-bench --rows N              the same with N rows in place of 1,000,000 (a quick run)
//   velmora-bench --measure WHERE N     one register, one line of figures (run by the above, once per size)
//
// Each size is measured in a child process of its own, so that its peak memory is that of the record set alone.

#include "benchsupport.h"
#include "connection.h"
#include "history.h"
#include "recordbinding.h"
#include "recordset.h"
#include "registerfile.h"
#include "schema.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMap>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <utility>

using bench::fail;
using bench::onEachEngine;
using bench::print;
using bench::require;
using bench::ServerRegister;

namespace {

constexpr qint64 smallRows = 1000;
constexpr qint64 largeRows = 1000000;
constexpr int refreshRuns = 50;
constexpr qint64 stepRuns = 20000;
constexpr int endRuns = 2000;
constexpr int findRuns = 7;
constexpr int saveBlocks = 6;
constexpr int savesPerBlock = 40;
const QString missing = QStringLiteral("no such certificate");

const char usage[] = "Usage: velmora-bench [--rows N]\n"
                     "  Times the record set on 1,000 and N rows (default 1,000,000) against its targets.\n";

double medianMs(QList<qint64> nanoseconds)
{
    std::sort(nanoseconds.begin(), nanoseconds.end());
    const qsizetype mid = nanoseconds.size() / 2;
    const double ns = nanoseconds.size() % 2 ? nanoseconds[mid] : (nanoseconds[mid - 1] + nanoseconds[mid]) / 2.0;
    return ns / 1e6;
}

// Times one call; a failed call ends the run.
template <typename Call> qint64 timed(const QString& doing, Call call)
{
    QElapsedTimer timer;
    timer.start();
    const Status status = call();
    const qint64 elapsed = timer.nsecsElapsed();
    require(status, doing);
    return elapsed;
}

std::unique_ptr<Recordset> openRecordset(const QString& path)
{
    Expected<std::unique_ptr<Connection>> connection = Connection::open(path);
    require(connection.status(), QStringLiteral("Connection::open"));
    auto recordset = std::make_unique<Recordset>(std::move(connection.value()), *schema::table(u"stock_data"));
    require(recordset->open(), QStringLiteral("Recordset::open"));
    return recordset;
}

// The current record's rowid, to make sure the moves went where they should.
void expectAt(const Recordset& recordset, qint64 rowid, const QString& after)
{
    const Expected<Bookmark> at = recordset.bookmark();
    require(at.status(), after);
    if (at.value() != rowid)
        fail(after, QStringLiteral("at row %1, expected %2").arg(at.value()).arg(rowid));
}

double refreshMs(const QString& path)
{
    QList<qint64> runs;
    for (int i = 0; i < refreshRuns; ++i) {
        QElapsedTimer timer;
        timer.start();
        const std::unique_ptr<Recordset> recordset = openRecordset(path);
        runs.append(timer.nsecsElapsed());
    } // each record set and its connection go before the next opens
    return medianMs(runs);
}

// The yardstick for FindFirst: a bare lookup prepared on a connection of its own, which lasts as long as the process.
QSqlQuery bareQuery(const QString& path)
{
    static std::unique_ptr<Connection> connection;
    Expected<std::unique_ptr<Connection>> opened = Connection::open(path);
    require(opened.status(), QStringLiteral("opening the bare connection"));
    connection = std::move(opened.value());
    QSqlQuery query(connection->database());
    query.setForwardOnly(true);
    if (!query.prepare(
            QStringLiteral("SELECT %1 FROM stock_data WHERE stock_no = ? LIMIT 1").arg(connection->rowKey())))
        fail(QStringLiteral("preparing the bare query"), query.lastError().text());
    query.bindValue(0, missing);
    return query;
}

Status runBare(QSqlQuery& query)
{
    if (!query.exec())
        return Status::failure(query.lastError().text());
    const bool found = query.next();
    query.finish();
    return found ? Status::failure(QStringLiteral("the missing value was found")) : Status();
}

// Medians of next and previous over the same stretch of rows, starting on the first.
std::pair<double, double> stepMs(Recordset& recordset, qint64 steps)
{
    QList<qint64> next, previous;
    for (qint64 i = 0; i < steps; ++i)
        next.append(timed(QStringLiteral("moveNext"), [&] { return recordset.moveNext(); }));
    expectAt(recordset, 1 + steps, QStringLiteral("moveNext"));
    for (qint64 i = 0; i < steps; ++i)
        previous.append(timed(QStringLiteral("movePrevious"), [&] { return recordset.movePrevious(); }));
    expectAt(recordset, 1, QStringLiteral("movePrevious"));
    return {medianMs(next), medianMs(previous)};
}

std::pair<double, double> endMs(Recordset& recordset, qint64 rows)
{
    QList<qint64> first, last;
    for (int i = 0; i < endRuns; ++i) {
        first.append(timed(QStringLiteral("moveFirst"), [&] { return recordset.moveFirst(); }));
        last.append(timed(QStringLiteral("moveLast"), [&] { return recordset.moveLast(); }));
    }
    expectAt(recordset, rows, QStringLiteral("moveLast"));
    return {medianMs(first), medianMs(last)};
}

// Medians of a FindFirst that matches nothing and of the bare query: one warm-up each, then the two alternate
// so that neither has the warmer cache.
std::pair<double, double> findMs(Recordset& recordset, const QString& path)
{
    QSqlQuery bare = bareQuery(path);
    const QString criteria = QStringLiteral("stock_no = '%1'").arg(missing);
    QList<qint64> find, plain;
    for (int i = 0; i <= findRuns; ++i) {
        const qint64 f = timed(QStringLiteral("findFirst"), [&] { return recordset.findFirst(criteria); });
        if (recordset.hasCurrentRecord())
            fail(QStringLiteral("findFirst"), QStringLiteral("a record matched"));
        const qint64 b = timed(QStringLiteral("the bare query"), [&] { return runBare(bare); });
        if (i > 0) {
            find.append(f);
            plain.append(b);
        }
    }
    return {medianMs(find), medianMs(plain)};
}

// One field typed into, as a window would hand it over.
class TypedQuantity final : public RecordBinding {
public:
    QString text;
    void notifyValidate(Action, bool) override {}
    QList<FieldInput> changedFields() const override
    {
        return text.isEmpty() ? QList<FieldInput>() : QList<FieldInput>{{QStringLiteral("stock_qty"), text}};
    }
    void fill() override { text.clear(); }
    void clearChanged() override { text.clear(); }
};

// Medians of a save of one field with the register's history kept and with it set aside, in alternate blocks
// so that neither has the warmer cache.
std::pair<double, double> saveMs(const QString& path)
{
    TypedQuantity typed;
    Expected<std::unique_ptr<Connection>> connection = Connection::open(path);
    require(connection.status(), QStringLiteral("Connection::open"));
    Recordset recordset(std::move(connection.value()), *schema::table(u"stock_data"), &typed);
    require(recordset.open(), QStringLiteral("Recordset::open"));
    const auto rename = [&](const QString& from, const QString& to) {
        QSqlQuery query(recordset.connection().database());
        if (!query.exec(QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(from, to)))
            fail(QStringLiteral("setting the history aside"), query.lastError().text());
    };
    const QString aside = history::tableName + QStringLiteral("_aside");
    QList<qint64> kept, without;
    int value = 0;
    for (int block = 0; block < 2 * saveBlocks; ++block) {
        const bool keeping = block % 2 == 0;
        if (!keeping)
            rename(history::tableName, aside);
        for (int i = 0; i < savesPerBlock; ++i) {
            typed.text = QString::number(++value);
            (keeping ? kept : without).append(timed(QStringLiteral("update"), [&] { return recordset.update(); }));
        }
        if (!keeping)
            rename(aside, history::tableName);
    }
    if (recordset.text(QStringLiteral("stock_qty")) != QString::number(value))
        fail(QStringLiteral("update"), QStringLiteral("the last value typed was not stored"));
    return {medianMs(kept), medianMs(without)};
}

int measure(const QString& path, qint64 rows)
{
    const double refresh = refreshMs(path);
    const std::unique_ptr<Recordset> recordset = openRecordset(path);
    const auto [next, previous] = stepMs(*recordset, std::min(stepRuns, rows - 1));
    const auto [first, last] = endMs(*recordset, rows);
    const auto [find, bare] = findMs(*recordset, path);
    const auto [save, plainSave] = saveMs(path);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);

    const auto ms = [](double value) {
        return QString::number(value, 'f', 5);
    };
    print(QStringLiteral("rows=%1 refresh_ms=%2 next_ms=%3 previous_ms=%4 first_ms=%5 last_ms=%6 find_ms=%7 "
                         "bare_ms=%8 find_ratio=%9 peak_kib=%10 save_ms=%11 plain_save_ms=%12 save_ratio=%13")
              .arg(rows)
              .arg(ms(refresh), ms(next), ms(previous), ms(first), ms(last), ms(find), ms(bare),
                   QString::number(find / bare, 'f', 3))
              .arg(qint64(usage.ru_maxrss))
              .arg(ms(save), ms(plainSave), QString::number(save / plainSave, 'f', 3)));
    return 0;
}

// One statement makes every row; rowids run 1..N.
const QString fillStatement = QStringLiteral(
    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "
    "INSERT INTO stock_data SELECT printf('S%07d', i), 1 + i % 2, date('2000-01-01', '+' || (i % 9000) || ' days'), "
    "printf('IT%04d', i % 5000), i % 1000, (i * 7) % 1000, 100 * (1 + i % 50) FROM n");

// The same rows on a server; row keys run 1..N.
const QString serverFillStatement = QStringLiteral(
    "INSERT INTO stock_data SELECT 'S' || lpad(i::text, 7, '0'), 1 + i % 2, (date '2000-01-01' + i % 9000)::text, "
    "'IT' || lpad((i % 5000)::text, 4, '0'), i % 1000, (i * 7) % 1000, 100 * (1 + i % 50) "
    "FROM generate_series(1, ?) AS i");

// A fresh register of the given size in dir, filled in the transaction that creates it.
QString createRegister(const QTemporaryDir& dir, qint64 rows)
{
    const QString path = dir.filePath(QStringLiteral("bench.mdb"));
    const auto fill = [rows](QSqlDatabase& database) {
        QSqlQuery query(database);
        query.prepare(fillStatement);
        query.bindValue(0, rows);
        return query.exec() ? Status() : Status::failure(query.lastError().text());
    };
    require(registerfile::create(path, fill), QStringLiteral("registerfile::create"));
    return path;
}

// Measures one size in a child process, on a file or on the server; returns its figures by name.
QMap<QString, double> measureInChild(qint64 rows, const QString& server)
{
    const QTemporaryDir dir;
    if (!dir.isValid())
        fail(QStringLiteral("making a temporary folder"), dir.errorString());
    QElapsedTimer timer;
    timer.start();
    const auto fill = [rows](QSqlDatabase& database) {
        QSqlQuery fill(database);
        fill.prepare(serverFillStatement);
        fill.bindValue(0, rows);
        if (!fill.exec())
            return Status::failure(fill.lastError().text());
        return fill.exec(QStringLiteral("ANALYZE stock_data")) ? Status() : Status::failure(fill.lastError().text());
    };
    std::unique_ptr<ServerRegister> onServer =
        server.isEmpty() ? nullptr : std::make_unique<ServerRegister>(server, fill);
    const QString path = onServer ? onServer->uri() : createRegister(dir, rows);
    std::fprintf(stderr, "created %lld rows in %.1f s\n", rows, timer.nsecsElapsed() / 1e9);

    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--measure"), path, QString::number(rows)});
    if (!child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        fail(QStringLiteral("measuring %1 rows").arg(rows), QStringLiteral("the child process did not finish well"));

    QMap<QString, double> figures;
    const QStringList lines = QString::fromUtf8(child.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        print(line);
        for (const QString& pair : line.split(u' ', Qt::SkipEmptyParts))
            figures.insert(pair.section(u'=', 0, 0), pair.section(u'=', 1).toDouble());
    }
    return figures;
}

struct Figure {
    const char* label;
    const char* key;
    double fileTarget; // 0: none
    double serverTarget;
    int decimals;
};

// A server answers over a socket, so its moves may take longer; its failed search answers from an index.
const Figure figures[] = {
    {"Refresh (ms)", "refresh_ms", 5, 10, 4},
    {"next (ms)", "next_ms", 0.1, 0.3, 5},
    {"previous (ms)", "previous_ms", 0.1, 0.3, 5},
    {"first (ms)", "first_ms", 1, 0.3, 5},
    {"last (ms)", "last_ms", 1, 0.3, 5},
    {"FindFirst no-match (ms)", "find_ms", 0, 2, 3},
    {"bare query (ms)", "bare_ms", 0, 0, 3},
    {"FindFirst / bare", "find_ratio", 1.5, 0, 3},
    {"peak memory (KiB)", "peak_kib", 0, 0, 0},
    {"peak growth (KiB)", "peak_growth_kib", 10240, 10240, 0},
    {"save, history kept (ms)", "save_ms", 0, 0, 3},
    {"save, no history (ms)", "plain_save_ms", 0, 0, 3},
    {"save with / without history", "save_ratio", 2, 2, 2},
};

void printRow(const QString& label, const QString& small, const QString& large, const QString& target,
              const QString& result)
{
    const QString row = QStringLiteral("%1 %2 %3 %4 %5").arg(label, -24).arg(small, 12).arg(large, 14);
    print(row.arg(target, 10).arg(result).trimmed());
}

bool driveOne(qint64 large, const QString& server)
{
    print(server.isEmpty() ? QStringLiteral("\nA register file") : QStringLiteral("\nA register on the server"));
    const QMap<QString, double> small = measureInChild(smallRows, server);
    QMap<QString, double> big = measureInChild(large, server);
    big.insert(QStringLiteral("peak_growth_kib"),
               big.value(QStringLiteral("peak_kib")) - small.value(QStringLiteral("peak_kib")));

    bool allMet = true;
    print(QString());
    printRow(QStringLiteral("figure"), QStringLiteral("%1 rows").arg(smallRows), QStringLiteral("%1 rows").arg(large),
             QStringLiteral("target"), QStringLiteral("result"));
    for (const Figure& figure : figures) {
        const double target = server.isEmpty() ? figure.fileTarget : figure.serverTarget;
        const QString key = QString::fromLatin1(figure.key);
        const auto shown = [&](double value) {
            return QString::number(value, 'f', figure.decimals);
        };
        const bool met = big.value(key) <= target;
        allMet = allMet && (target == 0 || met);
        printRow(QString::fromLatin1(figure.label), small.contains(key) ? shown(small.value(key)) : QStringLiteral("-"),
                 shown(big.value(key)), target ? QStringLiteral("<= %1").arg(target) : QString(),
                 target ? (met ? QStringLiteral("met") : QStringLiteral("MISSED")) : QString());
    }
    return allMet;
}

int drive(qint64 large)
{
    return onEachEngine([large](const QString& server) { return driveOne(large, server); });
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const auto rowsAt = [&args](qsizetype i) {
        bool ok = false;
        const qint64 rows = args.value(i).toLongLong(&ok);
        return ok && rows > 1 ? rows : 0;
    };
    if (args.isEmpty())
        return drive(largeRows);
    if (args.size() == 2 && args[0] == QLatin1String("--rows") && rowsAt(1))
        return drive(rowsAt(1));
    if (args.size() == 3 && args[0] == QLatin1String("--measure") && rowsAt(2))
        return measure(args[1], rowsAt(2));
    const bool help = args == QStringList{QStringLiteral("--help")};
    std::fputs(usage, help ? stdout : stderr);
    return help ? 0 : 2;
}
