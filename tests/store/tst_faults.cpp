#include "registerfile.h"
#include "scene.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QtTest>

using namespace scene;

namespace {

const QString bigText(300000, QLatin1Char('x')); // more than the pages a full register has left

bool chattr(const char* flag, const QString& path)
{
    return QProcess::execute(QStringLiteral("chattr"), {QString::fromLatin1(flag), path}) == 0;
}

// One thing gone wrong with the register under an open record set, and put right again where it can be.
class Fault {
public:
    Fault(QString kind, const TempRegister& reg, Recordset& set)
        : m_kind(std::move(kind))
        , m_reg(reg)
        , m_set(set)
    {}
    ~Fault() { (void)undo(); }
    Fault(const Fault&) = delete;
    Fault& operator=(const Fault&) = delete;

    // Empty when the fault is in place, otherwise why it could not be made here.
    QString arrange()
    {
        const QString path = m_reg.path();
        if (m_kind == "read-only file" || m_kind == "read-only folder") {
            m_attributed = m_kind == "read-only file" ? path : m_reg.directory();
            if (!chattr("+i", m_attributed)) {
                m_attributed.clear();
                return QStringLiteral("chattr +i is not available here (needs root on a file system with attributes)");
            }
        } else if (m_kind == "engine refuses writes") {
            QSqlQuery(m_set.connection().database()).exec("PRAGMA query_only = 1");
        } else if (m_kind == "locked by another writer" || m_kind == "another program reading") {
            // A reader lets the save write its rows, then holds off its commit: the save fails after writing.
            m_other = QSqlDatabase::addDatabase("QSQLITE", "other-writer");
            m_other.setDatabaseName(path);
            const bool reading = m_kind == "another program reading";
            m_reading = std::make_unique<QSqlQuery>(m_other);
            if (!m_other.open() || !m_reading->exec(reading ? "BEGIN" : "BEGIN EXCLUSIVE")
                || (reading && (!m_reading->exec("SELECT * FROM stock_data") || !m_reading->next())))
                return QStringLiteral("the other program could not take the register");
        } else if (m_kind == "disk full") {
            QSqlQuery(m_set.connection().database()).exec("PRAGMA max_page_count = 1"); // clamps to the pages in use
        } else if (m_kind == "history refused") {
            QSqlQuery(m_set.connection().database())
                .exec("CREATE TRIGGER refused BEFORE INSERT ON velmora_history BEGIN SELECT RAISE(ABORT, 'no room "
                      "for the history'); END");
        } else if (m_kind == "deleted") {
            QFile::remove(path);
        } else if (m_kind == "moved") {
            QFile::rename(path, path + ".moved");
        } else if (m_kind == "replaced") {
            QFile::rename(path, path + ".old");
            if (Status made = registerfile::create(path); !made)
                return made.message();
        }
        return {};
    }

    // Whether the register is back as it was; a deleted file cannot come back.
    bool undo()
    {
        const QString path = m_reg.path();
        if (!m_attributed.isEmpty()) {
            chattr("-i", m_attributed);
            m_attributed.clear();
        } else if (m_kind == "engine refuses writes") {
            QSqlQuery(m_set.connection().database()).exec("PRAGMA query_only = 0");
        } else if (m_other.isOpen()) {
            m_reading.reset();
            QSqlQuery(m_other).exec("ROLLBACK");
            m_other.close();
            m_other = QSqlDatabase();
            QSqlDatabase::removeDatabase("other-writer");
        } else if (m_kind == "disk full") {
            QSqlQuery(m_set.connection().database()).exec("PRAGMA max_page_count = 1073741823");
        } else if (m_kind == "history refused") {
            QSqlQuery(m_set.connection().database()).exec("DROP TRIGGER refused");
        } else if (m_kind == "moved" && QFile::exists(path + ".moved")) {
            QFile::rename(path + ".moved", path);
        } else if (m_kind == "replaced" && QFile::exists(path + ".old")) {
            QFile::remove(path);
            QFile::rename(path + ".old", path);
        }
        return m_kind != "deleted";
    }

    // What the message must say.
    QString reason() const
    {
        static const QHash<QString, QString> reasons{
            {"read-only file", "the register is read-only"},
            {"read-only folder", "the register's folder is read-only"},
            {"engine refuses writes", "the register is read-only"},
            {"locked by another writer", "the register is in use by another program"},
            {"another program reading", "the register is in use by another program"},
            {"disk full", "the disk is full"},
            {"history refused", "no room for the history"},
            {"deleted", "the file was deleted, moved or replaced after this window opened it"},
            {"moved", "the file was deleted, moved or replaced after this window opened it"},
            {"replaced", "the file was deleted, moved or replaced after this window opened it"},
        };
        return reasons.value(m_kind);
    }

private:
    QString m_kind;
    const TempRegister& m_reg;
    Recordset& m_set;
    QString m_attributed; // the path given the immutable attribute
    QSqlDatabase m_other;
    std::unique_ptr<QSqlQuery> m_reading; // the other program's open read
};

// The clerk's part before the operation: what is typed, and so what a save would store.
void prepare(Recordset& set, FakeFields& fields, const QString& operation, const QString& itemCode)
{
    if (operation == "add") {
        QVERIFY(set.addNew().ok());
        fields.type("stock_no", "E");
    } else if (operation != "delete" && operation != "browse") {
        QVERIFY(set.edit().ok());
        fields.type("stock_no", "A2");
    }
    if (operation != "delete" && operation != "browse")
        fields.type("item_code", itemCode);
}

Status perform(Recordset& set, const QString& operation)
{
    if (operation == "move" || operation == "browse")
        return set.moveNext();
    if (operation == "delete")
        return set.deleteRecord();
    if (operation == "close")
        return set.close();
    return set.update();
}

// What the table holds once the operation has gone through.
QString storedAfter(const QString& operation)
{
    if (operation == "add")
        return "A B C D E";
    if (operation == "delete")
        return "B C D";
    if (operation == "browse")
        return "A B C D";
    return "A2 B C D";
}

QString stockNumbers(const TempRegister& reg)
{
    QStringList numbers;
    for (const QVariantList& row : reg.rows("SELECT stock_no FROM stock_data ORDER BY rowid"))
        numbers.append(row[0].toString());
    return numbers.join(' ');
}

// Overwrites a page of the file with bytes no page has, or (page 0) cuts the file short after its first page.
// The change counter is bumped so that a connection already open reads the file again.
void damage(const QString& path, qint64 page, int pageSize)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QByteArray header = file.read(100);
    ++header[27];
    QVERIFY(file.seek(0));
    QCOMPARE(file.write(header), 100);
    if (page > 0) {
        QVERIFY(file.seek((page - 1) * pageSize));
        QCOMPARE(file.write(QByteArray(pageSize, '\xff')), pageSize);
    } else {
        QVERIFY(file.resize(pageSize));
    }
}

} // namespace

class TestFaults : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void faultLosesNothing_data();
    void faultLosesNothing();
    void damageIsReported_data();
    void damageIsReported();
    void openingALockedRegisterWaitsThenReports();
};

void TestFaults::faultLosesNothing_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<bool>("linked"); // opened through a link in another folder, as installed
    const QStringList faults{"read-only file",
                             "read-only folder",
                             "engine refuses writes",
                             "locked by another writer",
                             "another program reading",
                             "disk full",
                             "history refused",
                             "deleted",
                             "moved",
                             "replaced"};
    const QStringList readsFail{"locked by another writer", "deleted", "moved", "replaced"};
    for (const QString& fault : faults) {
        for (const char* operation : {"update", "add", "move", "close", "delete", "browse"}) {
            // Deleting never needs a new page; only some faults stop reading.
            if ((fault == "disk full" && QLatin1String(operation) == "delete")
                || (!readsFail.contains(fault) && QLatin1String(operation) == "browse"))
                continue;
            QTest::addRow("%s: %s", qPrintable(fault), operation) << fault << QString::fromLatin1(operation) << false;
        }
    }
    // The checks look at the file the link points to, and its folder, where the engine keeps its journal.
    for (const char* fault : {"read-only file", "read-only folder", "deleted", "replaced"})
        QTest::addRow("%s through a link: update", fault) << QString::fromLatin1(fault) << "update" << true;
}

// The operation fails with a message naming the file and the reason, the record set is as it was with the
// typing kept, and nothing stored is lost; put right, the same operation goes through.
void TestFaults::faultLosesNothing()
{
    QFETCH(QString, fault);
    QFETCH(QString, operation);
    QFETCH(bool, linked);
    Scene scene;
    auto& [reg, fields, opened] = scene;
    QTemporaryDir program;
    const QString path = linked ? program.filePath("stock.mdb") : reg.path();
    if (linked) {
        QVERIFY(QFile::link(reg.path(), path));
        opened = openOn(path, "stock_data", &fields);
    }
    QVERIFY(opened.status.ok());
    Recordset& set = scene.set();
    prepare(set, fields, operation, fault == "disk full" ? bigText : QStringLiteral("IT9"));
    const EditState state = set.editState();
    const auto texts = fields.texts;
    const auto changed = fields.changed;
    const auto bookmark = set.bookmark();
    const QList<QVariantList> before = allCertificates(reg);

    Fault trouble(fault, reg, set);
    if (const QString why = trouble.arrange(); !why.isEmpty())
        QSKIP(qPrintable(why));
    QElapsedTimer waited;
    waited.start();
    const Status result = perform(set, operation);
    QVERIFY2(waited.elapsed() < 10000, "a busy register is waited for only a short time");

    QVERIFY(!result.ok());
    QVERIFY2(result.message().contains(QStringLiteral("the register \"%1\"").arg(path)), qPrintable(result.message()));
    QVERIFY2(result.message().contains(trouble.reason()), qPrintable(result.message()));
    QVERIFY(set.isOpen());
    QCOMPARE(set.editState(), state);
    QCOMPARE(set.bookmark().ok(), bookmark.ok());
    if (bookmark.ok())
        QCOMPARE(set.bookmark().value(), bookmark.value());
    QCOMPARE(fields.texts, texts);
    QCOMPARE(fields.changed, changed);

    if (!trouble.undo()) {
        QVERIFY(!QFile::exists(reg.path())); // never made again by a save
        QVERIFY(!perform(set, operation).ok());
        return;
    }
    QCOMPARE(allCertificates(reg), before);
    const Status retried = perform(set, operation);
    QVERIFY2(retried.ok(), qPrintable(retried.message()));
    QCOMPARE(stockNumbers(reg), storedAfter(operation));
}

void TestFaults::damageIsReported_data()
{
    QTest::addColumn<bool>("whileOpen");
    QTest::addColumn<int>("page"); // 0: the file cut short after its first page
    QTest::newRow("table page, before opening") << false << -1;
    QTest::newRow("table page, while open") << true << -1;
    QTest::newRow("cut short, before opening") << false << 0;
    QTest::newRow("cut short, while open") << true << 0;
}

void TestFaults::damageIsReported()
{
    QFETCH(bool, whileOpen);
    QFETCH(int, page);
    TempRegister reg;
    for (int i = 0; i < 300; ++i) // enough rows for the table to span many pages
        QVERIFY(reg.exec("INSERT INTO stock_data (stock_no, item_code) VALUES (?, ?)",
                         {QString::number(i), QString(200, QLatin1Char('i'))})
                    .isEmpty());
    if (page < 0)
        page = reg.rows("SELECT rootpage FROM sqlite_master WHERE name = 'stock_data'")[0][0].toInt();
    const int pageSize = reg.rows("PRAGMA page_size")[0][0].toInt();
    const QString damaged = QStringLiteral("the register \"%1\": the register file is damaged").arg(reg.path());

    FakeFields fields(certificateColumns);
    if (!whileOpen) {
        damage(reg.path(), page, pageSize);
        const Opened opened = openOn(reg.path(), "stock_data", &fields);
        QVERIFY(!opened.status.ok());
        QVERIFY2(opened.status.message().contains(damaged), qPrintable(opened.status.message()));
        return;
    }
    Opened opened = openOn(reg.path(), "stock_data", &fields);
    QVERIFY(opened.status.ok());
    Recordset& set = *opened.recordset;
    damage(reg.path(), page, pageSize);
    const Status moved = set.moveLast();
    QVERIFY(!moved.ok());
    QVERIFY2(moved.message().contains(damaged), qPrintable(moved.message()));
    QCOMPARE(set.bookmark().value(), 1);
    QCOMPARE(fields.texts["stock_no"], "0");
    QVERIFY(set.close().ok()); // the window can still be closed
}

void TestFaults::openingALockedRegisterWaitsThenReports()
{
    TempRegister reg;
    addCertificates(reg);
    QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "other-writer");
    other.setDatabaseName(reg.path());
    QVERIFY(other.open());
    QVERIFY(QSqlQuery(other).exec("BEGIN EXCLUSIVE"));
    FakeFields fields(certificateColumns);
    QElapsedTimer waited;
    waited.start();
    const Opened locked = openOn(reg.path(), "stock_data", &fields);
    QVERIFY(waited.elapsed() < 10000);
    QVERIFY(!locked.status.ok());
    QVERIFY2(locked.status.message().contains(
                 QStringLiteral("the register \"%1\": the register is in use by another program").arg(reg.path())),
             qPrintable(locked.status.message()));

    QVERIFY(QSqlQuery(other).exec("ROLLBACK"));
    other.close();
    other = QSqlDatabase();
    QSqlDatabase::removeDatabase("other-writer");
    const Opened opened = openOn(reg.path(), "stock_data", &fields);
    QVERIFY(opened.status.ok());
    QCOMPARE(fields.texts["stock_no"], "A");
}

QTEST_GUILESS_MAIN(TestFaults)
#include "tst_faults.moc"
