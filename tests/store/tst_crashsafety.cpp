#include "connection.h"
#include "crashgeneration.h"
#include "directorychanges.h"
#include "recordset.h"
#include "schema.h"
#include "tempregister.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

#include <algorithm>
#include <csignal>

namespace {

// rowid -> generation
using Rows = QMap<qint64, qint64>;

constexpr int silenceMs = 30000; // how long a writer may go without saving anything before it counts as stuck

// Applies one line of the writer's to the rows it has reported; returns what is wrong with it, empty if nothing.
QString apply(const QByteArray& line, Rows& reported, qint64& newest)
{
    const QList<QByteArray> words = line.trimmed().split(' ');
    const QString text = QString::fromUtf8(line.trimmed());
    if (words.value(0) == "failed")
        return QStringLiteral("the writer failed: ") + text.mid(7);
    bool rowidOk = false;
    bool generationOk = words.size() == 2; // a delete names no generation
    const qint64 rowid = words.value(1).toLongLong(&rowidOk);
    const qint64 generation = words.size() == 3 ? words[2].toLongLong(&generationOk) : 0;
    if (!rowidOk || !generationOk)
        return QStringLiteral("unreadable line from the writer: \"%1\"").arg(text);
    if (words[0] == "added" && words.size() == 3 && !reported.contains(rowid)) {
        reported.insert(rowid, generation);
    } else if (words[0] == "modified" && words.size() == 3 && reported.contains(rowid)) {
        reported.insert(rowid, generation);
    } else if (words[0] == "deleted" && words.size() == 2 && reported.contains(rowid)) {
        reported.remove(rowid);
    } else {
        return QStringLiteral("the writer reported \"%1\", which does not follow from what it reported before")
            .arg(text);
    }
    newest = qMax(newest, generation);
    return {};
}

// Opens the register as a window would, checks the file is whole and reads every certificate's generation.
QString examine(const QString& path, Rows& stored)
{
    Expected<std::unique_ptr<Connection>> connection = Connection::open(path);
    if (!connection)
        return QStringLiteral("the register does not open: ") + connection.status().message();
    {
        // The first read rolls back a journal the killed writer left behind.
        QSqlQuery query(connection.value()->database());
        if (!query.exec(QStringLiteral("PRAGMA integrity_check")))
            return QStringLiteral("the integrity check does not run: ") + query.lastError().text();
        QStringList verdict;
        while (query.next())
            verdict.append(query.value(0).toString());
        if (verdict != QStringList{QStringLiteral("ok")})
            return QStringLiteral("the integrity check says: ") + verdict.join(QLatin1String("; "));
        if (!query.exec(QStringLiteral("SELECT rowid, * FROM stock_data ORDER BY rowid")))
            return QStringLiteral("the certificates cannot be read: ") + query.lastError().text();
        while (query.next()) {
            QVariantList values;
            for (int i = 1; i <= crashgeneration::columns.size(); ++i)
                values.append(query.isNull(i) ? QVariant() : query.value(i));
            const qint64 rowid = query.value(0).toLongLong();
            Expected<qint64> generation = crashgeneration::generationOf(values);
            if (!generation)
                return QStringLiteral("row %1 is partly written: %2").arg(rowid).arg(generation.status().message());
            stored.insert(rowid, generation.value());
        }
    }
    Recordset set(std::move(connection.value()), *schema::table(u"stock_data"));
    if (Status opened = set.open(); !opened)
        return QStringLiteral("a record set does not open: ") + opened.message();
    return {};
}

// The register after a kill holds what the writer reported, plus at most the one save that committed before its
// line was out; that save is newer than anything reported. Returns what is wrong, empty if nothing.
QString compare(const Rows& reported, const Rows& stored, qint64 newest, int& unreported)
{
    QStringList differences;
    for (auto it = reported.cbegin(); it != reported.cend(); ++it) {
        const auto found = stored.constFind(it.key());
        if (found == stored.cend()) {
            differences.append(QStringLiteral("row %1 (generation %2) is gone").arg(it.key()).arg(it.value()));
        } else if (found.value() < it.value()) {
            return QStringLiteral("row %1 is at generation %2, older than the reported %3")
                .arg(it.key())
                .arg(found.value())
                .arg(it.value());
        } else if (found.value() > it.value()) {
            if (found.value() <= newest)
                return QStringLiteral("row %1 is at generation %2, which the writer never saved there")
                    .arg(it.key())
                    .arg(found.value());
            differences.append(
                QStringLiteral("row %1 is at generation %2, not %3").arg(it.key()).arg(found.value()).arg(it.value()));
        }
    }
    for (auto it = stored.cbegin(); it != stored.cend(); ++it) {
        if (reported.contains(it.key()))
            continue;
        if (it.value() <= newest)
            return QStringLiteral("row %1 is at generation %2, which the writer never added there")
                .arg(it.key())
                .arg(it.value());
        differences.append(QStringLiteral("row %1 (generation %2) was never reported").arg(it.key()).arg(it.value()));
    }
    if (differences.size() > 1)
        return QStringLiteral("more than one save went unreported: ") + differences.join(QLatin1String("; "));
    unreported += int(differences.size());
    return {};
}

} // namespace

class TestCrashSafety : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void killedWriterLeavesWholeRegister();
};

// A writer saving through a record set is killed again and again at random points; every time, the register
// must open, be whole, keep every save the writer reported and hold no half-written row.
void TestCrashSafety::killedWriterLeavesWholeRegister()
{
    const QString writerPath = qEnvironmentVariable("VELMORA_CRASH_WRITER");
    QVERIFY2(QFileInfo(writerPath).isExecutable(), "VELMORA_CRASH_WRITER names no crash writer");
    bool given = false;
    quint32 seed = qEnvironmentVariable("VELMORA_SEED").toUInt(&given);
    if (!given)
        seed = QRandomGenerator::global()->generate();
    bool counted = false;
    int rounds = qEnvironmentVariableIntValue("VELMORA_CRASH_ROUNDS", &counted);
    if (!counted)
        rounds = 100;
    qInfo("seed %u (replay with VELMORA_SEED=%u), %d rounds", seed, seed, rounds);

    TempRegister reg;
    QVERIFY2(reg.isValid(), qPrintable(reg.error()));
    DirectoryChanges changes(reg.directory());
    QVERIFY2(changes.isValid(), "cannot watch the register's folder");
    QRandomGenerator random(seed);
    QElapsedTimer clock;
    clock.start();
    Rows known; // what the register holds after the last round
    int kills = 0;
    int operations = 0;
    int rowsChecked = 0;
    int unreported = 0;
    int journals = 0;
    qsizetype mostRows = 0;

    for (int round = 1; round <= rounds; ++round) {
        const QString where = QStringLiteral("seed %1, round %2: ").arg(seed).arg(round);
        const quint32 writerSeed = random.generate();
        // Sometimes killed before its first report; otherwise after up to 60 of them.
        const int killAfter = random.bounded(8) == 0 ? 0 : int(random.bounded(1, 61));
        // Killed at once after that report, or after a few changes to the register's files, deeper into the save
        // that follows it.
        const int changesAfter = random.bounded(3) == 0 ? 0 : int(random.bounded(1, 8));

        QProcess writer;
        writer.setProcessChannelMode(QProcess::SeparateChannels);
        writer.start(writerPath, {reg.path(), QString::number(writerSeed)});
        QVERIFY2(writer.waitForStarted(), qPrintable(where + writer.errorString()));
        QList<QByteArray> lines;
        bool silent = false;
        while (lines.size() < killAfter && !silent) {
            if (!writer.canReadLine() && !writer.waitForReadyRead(silenceMs))
                silent = writer.state() == QProcess::Running;
            while (writer.canReadLine())
                lines.append(writer.readLine());
            if (writer.state() != QProcess::Running)
                break;
        }
        changes.discard();
        for (int seen = 0; seen < changesAfter && !silent && writer.state() == QProcess::Running; ++seen)
            silent = !changes.waitForChange(silenceMs);
        const bool running = writer.state() == QProcess::Running;
        writer.kill();
        QVERIFY2(!running || writer.waitForFinished(silenceMs),
                 qPrintable(where + "the writer does not end when killed"));
        // Lines written before the kill are reported saves too; a line cut short is not.
        QByteArray rest = writer.readAllStandardOutput();
        while (rest.contains('\n')) {
            const qsizetype end = rest.indexOf('\n') + 1;
            lines.append(rest.left(end));
            rest.remove(0, end);
        }
        const QString errors = QString::fromLocal8Bit(writer.readAllStandardError()).trimmed();

        Rows reported = known;
        qint64 newest = known.isEmpty() ? 0 : *std::max_element(known.cbegin(), known.cend());
        for (const QByteArray& line : lines) {
            const QString wrong = apply(line, reported, newest);
            QVERIFY2(wrong.isEmpty(), qPrintable(where + wrong + (errors.isEmpty() ? "" : " (" + errors + ")")));
        }
        QVERIFY2(running, qPrintable(where + "the writer ended before it was killed: " + errors));
        QVERIFY2(!silent, qPrintable(where + "the writer saved nothing for 30 s: " + errors));
        QVERIFY2(writer.exitStatus() == QProcess::CrashExit && writer.exitCode() == SIGKILL,
                 qPrintable(where
                            + QStringLiteral("the writer did not die of SIGKILL (exit status %1, code %2)")
                                  .arg(writer.exitStatus())
                                  .arg(writer.exitCode())));
        ++kills;
        operations += int(lines.size());
        if (QFile::exists(reg.path() + QStringLiteral("-journal")))
            ++journals;

        Rows stored;
        const QString damaged = examine(reg.path(), stored);
        QVERIFY2(damaged.isEmpty(), qPrintable(where + damaged));
        const QString lost = compare(reported, stored, newest, unreported);
        QVERIFY2(lost.isEmpty(), qPrintable(where + lost));
        rowsChecked += int(stored.size());
        mostRows = qMax(mostRows, stored.size());
        known = stored;
    }

    qInfo("%d rounds, %d kills, %d operations reported, %d rows checked (at most %lld at once), %d saves committed "
          "but unreported, %d journals left by a kill, %lld ms",
          rounds, kills, operations, rowsChecked, qlonglong(mostRows), unreported, journals,
          qlonglong(clock.elapsed()));
}

QTEST_GUILESS_MAIN(TestCrashSafety)
#include "tst_crashsafety.moc"
