#include "fakefields.h"
#include "history.h"
#include "recordset.h"
#include "registerfile.h"
#include "schema.h"
#include "tempregister.h"
#include "tooltest.h"

#include <QProcess>
#include <QtTest>

#include <csignal>

using namespace tooltest;

Q_DECLARE_METATYPE(Engine)

// init, copy, backup, restore and export, run as the clerk would run them.
class TestRegisterCommands : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initCreatesAnEmptyRegister();
    void demoRegisterHangsTogether();
    void neverTouchesAnExistingFile_data();
    void neverTouchesAnExistingFile();
    void refusesWhatItCannotConvert_data();
    void refusesWhatItCannotConvert();
    void exportsTheDemoRegister_data();
    void exportsTheDemoRegister();
    void backupIsOneMomentWhileAClerkSaves_data();
    void backupIsOneMomentWhileAClerkSaves();
    void anInterruptLeavesNoCopyBehind_data();
    void anInterruptLeavesNoCopyBehind();
    void restoresABackup_data();
    void restoresABackup();
};

void TestRegisterCommands::initCreatesAnEmptyRegister()
{
    QTemporaryDir directory;
    const QString path = directory.filePath("stock.mdb");
    const Run created = run({"init", path});
    QCOMPARE(created.status, 0);
    QVERIFY(created.out.contains(path));
    for (const char* table : {"stock_data", "stockholder", "transfer_data"})
        QCOMPARE(rows(path, QStringLiteral("SELECT COUNT(*) FROM %1").arg(table))[0][0].toInt(), 0);
}

void TestRegisterCommands::demoRegisterHangsTogether()
{
    QTemporaryDir directory;
    const QString path = directory.filePath("stock.mdb");
    const Run created = run({"init", "--demo", path});
    QCOMPARE(created.status, 0);
    QCOMPARE(rows(path, "SELECT COUNT(*) FROM stockholder")[0][0].toInt(), 10);
    QCOMPARE(rows(path, "SELECT COUNT(*) FROM stock_data")[0][0].toInt(), 15);
    QCOMPARE(rows(path, "SELECT COUNT(*) FROM transfer_data")[0][0].toInt(), 8);

    // Every holder a certificate or transfer names is a shareholder, and every transferred certificate exists.
    const QString unknownHolders =
        "SELECT COUNT(*) FROM (SELECT original_holder AS h FROM stock_data UNION ALL SELECT present_holder FROM "
        "stock_data UNION ALL SELECT before_holder FROM transfer_data UNION ALL SELECT new_holder FROM "
        "transfer_data) WHERE h NOT IN (SELECT stockholder_no FROM stockholder)";
    QCOMPARE(rows(path, unknownHolders)[0][0].toInt(), 0);
    QCOMPARE(
        rows(path, "SELECT COUNT(*) FROM transfer_data WHERE stock_no NOT IN (SELECT stock_no FROM stock_data)")[0][0]
            .toInt(),
        0);
    // A certificate is held by the new holder of its last transfer, and a holder's total is what they hold.
    QCOMPARE(rows(path, "SELECT COUNT(*) FROM stock_data s WHERE present_holder <> COALESCE((SELECT new_holder FROM "
                        "transfer_data t WHERE t.stock_no = s.stock_no ORDER BY transferred_date DESC LIMIT 1), "
                        "original_holder)")[0][0]
                 .toInt(),
             0);
    QCOMPARE(rows(path, "SELECT COUNT(*) FROM stockholder h WHERE total_share <> (SELECT COALESCE(SUM(stock_qty), 0) "
                        "FROM stock_data WHERE present_holder = h.stockholder_no)")[0][0]
                 .toInt(),
             0);
    // Names in more than the Latin script, and every date a real one.
    QVERIFY(rows(path, "SELECT COUNT(*) FROM stockholder WHERE stockholder_name GLOB '*[^ -~]*'")[0][0].toInt() >= 4);
    QCOMPARE(rows(path, "SELECT COUNT(*) FROM (SELECT publish_date AS d FROM stock_data UNION ALL SELECT birth_date "
                        "FROM stockholder UNION ALL SELECT transferred_date FROM transfer_data) WHERE d IS NOT NULL "
                        "AND date(d) IS NOT d")[0][0]
                 .toInt(),
             0);
}

void TestRegisterCommands::refusesWhatItCannotConvert_data()
{
    refusalColumns();
    QTest::newRow("export over a file that exists") << QStringList{"export", "{d}/old.mdb", "{d}"} << "register"
                                                    << "{d}/stockholder.csv"
                                                    << "stockholder.csv";
    QTest::newRow("init, a folder") << QStringList{"init", "{d}"} << ""
                                    << ""
                                    << "\"{d}\": that names a folder";
    QTest::newRow("export under a file") << QStringList{"export", "{d}/old.mdb", "{d}/old.mdb/csv"} << "register"
                                         << ""
                                         << "as \"{d}/old.mdb\" is a file";
    QTest::newRow("export, no register") << QStringList{"export", "{d}/none.mdb", "{d}"} << ""
                                         << ""
                                         << "{d}/none.mdb";
    // {s} is a server database with no tables, {r} one holding a register with one record.
    QTest::newRow("copy over a file that exists") << QStringList{"copy", "{d}/old.mdb", "{d}/new.mdb"} << "register"
                                                  << "{d}/new.mdb"
                                                  << "{d}/new.mdb";
    QTest::newRow("copy onto a server register") << QStringList{"copy", "{d}/old.mdb", "{r}"} << "register"
                                                 << ""
                                                 << "already holds the table";
    QTest::newRow("copy bytes a server cannot take")
        << QStringList{"copy", "{d}/old.mdb", "{s}"} << "bytes"
        << ""
        << "the table stock_data, record 2 (stock_no \"SC-2\"), column stock_qty holds \"12.50\" kept as bytes";
    QTest::newRow("copy from no register") << QStringList{"copy", "{s}", "{d}/new.mdb"} << ""
                                           << ""
                                           << "the table \"stock_data\" is missing";
    QTest::newRow("backup from no register") << QStringList{"backup", "{s}", "{d}/new.mdb"} << ""
                                             << ""
                                             << "is missing. Nothing was written to \"{d}/new.mdb\"";
    QTest::newRow("backup over a file that exists")
        << QStringList{"backup", "{d}/old.mdb", "{d}/new.mdb"} << "register"
        << "{d}/new.mdb"
        << "\"{d}/new.mdb\": a file of that name exists, and it is left as it is; --force replaces it";
    QTest::newRow("backup onto the register itself") << QStringList{"backup", "--force", "{d}/old.mdb", "{d}/old.mdb"}
                                                     << "register" << QString() << "to \"{d}/old.mdb\"" + beingRead;
    QTest::newRow("copy over the register's -journal") << QStringList{"copy", "{d}/old.mdb", "{d}/old.mdb-journal"}
                                                       << "register" << QString() << "-journal file of the register";
    QTest::newRow("export through a link to the register")
        << QStringList{"export", "--force", "{d}/old.mdb", "{d}"} << "register, linked as stockholder.csv" << QString()
        << "\"{d}/stockholder.csv\"" + beingRead;
    // Another register, however named, is never replaced, and without --force none is offered.
    QTest::newRow("backup --force onto another register")
        << QStringList{"backup", "--force", "{d}/old.mdb", "{d}/new.mdb"} << "over a register"
        << "{d}/new.mdb"
        << "\"{d}/new.mdb\": that file is another register, not an earlier backup of this one: last changed ";
    QTest::newRow("backup onto a register without a history")
        << QStringList{"backup", "{d}/old.mdb", "{d}/new.mdb"} << "over a register without a history"
        << "{d}/new.mdb"
        << "with no change in a history, holding stock_data 0 rows, stockholder 2 rows, transfer_data 0 rows, "
           "velmora_company 0 rows, velmora_cancelled 0 rows. It is left as it is.\n";
    QTest::newRow("restore, a damaged backup") << QStringList{"restore", "{d}/old.mdb", "{d}/new.mdb"} << "damaged"
                                               << "{d}/new.mdb"
                                               << "from \"{d}/old.mdb\": the backup is damaged: ";
    QTest::newRow("restore, a backup whose history was altered")
        << QStringList{"restore", "{d}/old.mdb", "{d}/new.mdb"} << "altered"
        << "{d}/new.mdb"
        << "the backup's history is broken: change 3 does not match its seal";
    QTest::newRow("restore of the register itself")
        << QStringList{"restore", "{d}/old.mdb", "{d}/old.mdb"} << "register"
        << "{d}/old.mdb"
        << "that is the register itself";
    // The copy's check finds what no count reads; the file there stays, and no part of the copy is left.
    QTest::newRow("backup --force, a damaged register")
        << QStringList{"backup", "--force", "{d}/old.mdb", "{d}/new.mdb"} << "damaged"
        << "{d}/new.mdb"
        << "Cannot back up the register \"{d}/old.mdb\" to \"{d}/new.mdb\": the copy is damaged: ";
}

void TestRegisterCommands::refusesWhatItCannotConvert()
{
    refuses();
}

void TestRegisterCommands::neverTouchesAnExistingFile_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<Engine>("engine");
    QTest::addColumn<QString>("refusal");
    for (const Engine engine : {Engine::File, Engine::Server}) {
        const bool file = engine == Engine::File;
        const QString refusal = file ? "a file of that name exists" : "the database already holds the table";
        QTest::addRow("%s, init", file ? "file" : "server") << QStringList() << engine << refusal;
        QTest::addRow("%s, init --demo", file ? "file" : "server") << QStringList{"--demo"} << engine << refusal;
    }
}

// On a server, the register is made first, with the rights a clerks' role needs; then it is kept as a file is.
void TestRegisterCommands::neverTouchesAnExistingFile()
{
    QFETCH(QStringList, options);
    QFETCH(Engine, engine);
    QFETCH(QString, refusal);
    TempRegister target(engine, false);
    VELMORA_REQUIRE(target);
    const QString path = target.path();
    const QString role = "clerk_" + target.schema();
    const auto dropRole = qScopeGuard([&] {
        if (target.isServer())
            TempRegister::runOn(path, QStringLiteral("DROP OWNED BY %1; DROP ROLE %1").arg(role));
    });
    if (engine == Engine::File) {
        write(path, "the clerk's register");
    } else {
        const Run created = run(QStringList{"init", "--role", role} + options + QStringList{path});
        QCOMPARE(created.status, 0);
        // The printed rights, given to a role of the test's own, let it do all a clerk does.
        const QStringList grants = created.out.split('\n').filter(QRegularExpression("^GRANT "));
        QCOMPARE(TempRegister::runOn(path, "CREATE ROLE " + role + ";" + grants.join(' ')), "");
        QCOMPARE(TempRegister::runOn(path, "SET ROLE " + role
                                               + "; INSERT INTO stockholder (stockholder_no) VALUES (98), (99) "
                                                 "RETURNING row_id; SELECT * FROM stockholder FOR UPDATE; UPDATE "
                                                 "stockholder SET gender = 1; DELETE FROM stockholder WHERE "
                                                 "stockholder_no = 98"),
                 "");
        // The history: only read by the clerk, and written by the server for each change of its plain SQL.
        QCOMPARE(target.rows(QStringLiteral("SELECT has_table_privilege('%1', 'velmora_history', 'SELECT'), "
                                            "has_table_privilege('%1', 'velmora_history', 'INSERT, UPDATE, DELETE, "
                                            "TRUNCATE'), (SELECT count(*)::int FROM velmora_history WHERE db_role = "
                                            "'%1' AND action IN ('add', 'delete'))")
                                 .arg(role)),
                 (QList<QVariantList>{{true, false, 3}}));
        QCOMPARE(run({"history", "--verify", path}).status, 0);
    }
    const auto held = [&] {
        return target.isServer() ? target.rows("SELECT * FROM stockholder ORDER BY row_id")
                                 : QList<QVariantList>{{contentOf(path)}};
    };
    const QList<QVariantList> before = held();
    QCOMPARE(before.size(), target.isServer() && !options.isEmpty() ? 11 : 1);

    const Run refused = run(QStringList{"init"} + options + QStringList{path});
    QCOMPARE(refused.status, 1);
    QVERIFY2(refused.err.contains(Connection::pathOf(path)) && refused.err.contains(refusal), qPrintable(refused.err));
    QCOMPARE(held(), before);
}

void TestRegisterCommands::exportsTheDemoRegister_data()
{
    QTest::addColumn<Engine>("engine");
    QTest::addColumn<bool>("copied");   // copied there from a demo file, and back to compare; else made by init
    QTest::addColumn<bool>("twice");    // copied there through a second register of the same kind
    QTest::addColumn<bool>("upgraded"); // its history dropped, then started again by upgrade
    QTest::addColumn<bool>("older");    // made before the added tables: they are dropped, and upgrade adds them
    QTest::newRow("file") << Engine::File << false << false << false << false;
    QTest::newRow("file, copied") << Engine::File << true << false << false << false;
    QTest::newRow("file, upgraded") << Engine::File << false << false << true << false;
    QTest::newRow("file, made before the added tables") << Engine::File << false << false << false << true;
    QTest::newRow("server") << Engine::Server << false << false << false << false;
    QTest::newRow("server, copied") << Engine::Server << true << false << false << false;
    QTest::newRow("server, copied from another server") << Engine::Server << true << true << false << false;
    QTest::newRow("server, upgraded") << Engine::Server << false << false << true << false;
    QTest::newRow("server, made before the added tables") << Engine::Server << false << false << false << true;
    QTest::newRow("server, upgraded, made before them") << Engine::Server << false << false << true << true;
}

// Wherever the demo register is, it lists, exports and copies back as the demo file does, record for record.
void TestRegisterCommands::exportsTheDemoRegister()
{
    QFETCH(Engine, engine);
    QFETCH(bool, copied);
    QFETCH(bool, twice);
    QFETCH(bool, upgraded);
    QFETCH(bool, older);
    TempRegister target(engine, false), between(engine, false);
    VELMORA_REQUIRE(target);
    const QString path = target.path();
    QTemporaryDir directory;
    const QString demo = directory.filePath("demo.mdb");
    QCOMPARE(run({"init", "--demo", demo}).status, 0);
    if (twice)
        QCOMPARE(run({"copy", demo, between.path()}).status, 0);
    const Run made = copied ? run({"copy", twice ? between.path() : demo, path}) : run({"init", "--demo", path});
    QCOMPARE(made.status, 0);
    QVERIFY(!copied || made.out.startsWith("stock_data: 15 rows copied\nstockholder: 10 rows copied\n"));
    QVERIFY(target.isServer() || chmod(QFile::encodeName(path), 0600) == 0); // no one else may read it
    if (older) {
        QCOMPARE(target.exec("DROP TABLE velmora_company"), "");
        QCOMPARE(target.exec("DROP TABLE velmora_cancelled"), "");
        const Run backedUp = run({"backup", path, directory.filePath("older.mdb")});
        QVERIFY2(backedUp.status == 0 && !backedUp.out.contains("velmora_"), qPrintable(backedUp.out + backedUp.err));
    }
    // Its history starts with one change per record, made by the command that made it, or by upgrade.
    if (older && !upgraded) {
        const Run added = run({"upgrade", path});
        QVERIFY2(added.out.contains("now has the tables velmora_company and velmora_cancelled.\n")
                     && added.out.contains("already keeps a history, which covers them too"),
                 qPrintable(added.out + added.err));
    }
    if (upgraded) {
        QCOMPARE(target.exec("DROP TABLE velmora_history"), "");
        const Run none = run({"history", path});
        QCOMPARE(none.status, 1);
        QVERIFY2(none.err.contains("keeps no history") && none.err.contains("velmora-register upgrade '"),
                 qPrintable(none.err));
        const Run started = run({"upgrade", path});
        QCOMPARE(started.status, 0);
        QVERIFY2(started.out.contains("now keeps a history, starting with 33 records"), qPrintable(started.out));
        QCOMPARE(started.out.contains("now has the tables velmora_company and velmora_cancelled"), older);
        QCOMPARE(started.out.contains(QRegularExpression("\nGRANT SELECT ON \\S*velmora_history TO "
                                                         "velmora_clerk;\n$")),
                 target.isServer());
        QVERIFY(run({"upgrade", path}).out.contains("already keeps a history"));
    }
    QSet<QString> numbers, actions;
    for (const QString& line : run({"history", "--csv", path}).out.split("\r\n", Qt::SkipEmptyParts).mid(1)) {
        numbers.insert(line.section(',', 0, 0));
        actions.insert(line.section(',', 7, 7));
    }
    QCOMPARE(numbers.size(), 33);
    QCOMPARE(actions, QSet<QString>{upgraded ? "upgrade" : copied ? "copy" : "add"});
    const Run verified = run({"history", "--verify", path});
    QCOMPARE(verified.status, 0);
    QVERIFY2(verified.out.contains("is intact: 33 changes"), qPrintable(verified.out));
    // The added tables are carried too; a server enters their changes in the history itself.
    QCOMPARE(target.exec("INSERT INTO velmora_company (detail, value) VALUES ('name', 'Ωmega Ltd')"), "");
    QCOMPARE(target.exec("INSERT INTO velmora_cancelled (stock_no, cancelled_date, replaced_by) VALUES ('A1', "
                         "'2024-03-05', 'A2,A3')"),
             "");
    // A backup holds every record under its own row key, and the same history; --force replaces an older one.
    const QString backup = directory.filePath("backup.mdb");
    write(backup, "an older backup");
    QCOMPARE(run({"backup", path, backup}).status, 1);
    QCOMPARE(contentOf(backup), "an older backup");
    const Run backedUp = run({"backup", "--force", path, backup});
    QVERIFY2(backedUp.out.endsWith(backup
                                   + QString(": stock_data 15 rows, stockholder 10 rows, transfer_data 8 rows, "
                                             "velmora_company 1 row, velmora_cancelled 1 row, history %1 changes.\n")
                                         .arg(target.isServer() ? 35 : 33)),
             qPrintable(backedUp.out + backedUp.err));
    for (const schema::Table& table : schema::everyTable()) {
        QStringList columns;
        for (const schema::Column& column : table.columns)
            columns.append(column.name);
        const QString select = "SELECT %1, " + columns.join(',') + " FROM " + table.name + " ORDER BY %1";
        QCOMPARE(rows(backup, select.arg("rowid")), target.rows(select.arg(target.key())));
    }
    QCOMPARE(run({"history", "--csv", backup}).out, run({"history", "--csv", path}).out);
    // A server keeps a row changed in place last in its storage, but not in record order.
    QCOMPARE(target.exec("UPDATE stockholder SET tel_no2 = tel_no2 WHERE stockholder_no = 1"), "");
    if (copied) {
        const QString back = directory.filePath("back.mdb");
        QCOMPARE(run({"copy", path, back}).status, 0);
        for (const schema::Table& table : schema::tables()) {
            QStringList values; // each as SQLite writes it, which tells text, numbers and bytes apart
            for (const schema::Column& column : table.columns)
                values.append("quote(" + column.name + ")");
            const QString select = "SELECT " + values.join(',') + " FROM " + table.name + " ORDER BY rowid";
            QCOMPARE(rows(back, select), rows(demo, select));
        }
        QCOMPARE(rows(back, "SELECT detail || value FROM velmora_company"), QList<QVariantList>{{"nameΩmega Ltd"}});
        QCOMPARE(rows(back, "SELECT replaced_by FROM velmora_cancelled"), QList<QVariantList>{{"A2,A3"}});
    }
    const Run inspected = run({"inspect", path});
    QCOMPARE(inspected.status, 0);
    // The change written past the program is not in the history, which inspect lists apart from the tables.
    QVERIFY2(inspected.out.startsWith(Connection::pathOf(path) + ": a register")
                 && inspected.out.contains(
                     QString(", 5 tables\nIt keeps a history of changes: %1 changes").arg(target.isServer() ? 35 : 33))
                 && inspected.out.contains("\nstockholder (10 rows)\n  stockholder_no ")
                 && inspected.out.contains("\ntransfer_data (8 rows)\n"),
             qPrintable(inspected.out));

    const QString folder = directory.filePath("exported/"); // made by the export
    const Run exported = run({"export", path, folder});
    QCOMPARE(exported.status, 0);
    const QList<QByteArray> lines = contentOf(folder + "stockholder.csv").split('\n');
    QCOMPARE(lines.first(), "stockholder_no,character,stockholder_name,gender,birth_date,id_no,address1,address2,"
                            "tel_no1,tel_no2,total_share\r");
    QCOMPARE(lines.size(), 1 + 10 + 1); // the header, ten holders, and the end of the last line
    QVERIFY(lines[2].contains(",'+46 8 661 20 14,"));
    const QString reference = directory.filePath("reference/");
    QCOMPARE(run({"export", demo, reference}).status, 0);
    for (const schema::Table& table : schema::tables())
        QCOMPARE(contentOf(folder + table.name + ".csv"), contentOf(reference + table.name + ".csv"));
    // Run again, it refuses; with --force it writes the same files.
    QCOMPARE(run({"export", path, folder}).status, 1);
    const QByteArray first = contentOf(folder + "transfer_data.csv");
    QCOMPARE(run({"export", "--force", path, folder}).status, 0);
    QCOMPARE(contentOf(folder + "transfer_data.csv"), first);
    QCOMPARE(run({"export", "--force", "--raw", path, folder}).status, 0);
    QVERIFY(contentOf(folder + "stockholder.csv").contains(",+46 8 661 20 14,"));
    // Nor may anyone read what is made from it, a server's register included.
    for (const QString& made : {backup, directory.filePath(copied ? "back.mdb" : "backup.mdb"),
                                folder + "stock_data.csv", folder + "stockholder.csv", folder + "transfer_data.csv"})
        QCOMPARE(TempRegister::modeOf(made), 0600);
}

void TestRegisterCommands::backupIsOneMomentWhileAClerkSaves_data()
{
    QTest::addColumn<Engine>("engine");
    QTest::addColumn<int>("certificates"); // enough that the backup takes a while
    QTest::newRow("file") << Engine::File << 300000;
    QTest::newRow("server") << Engine::Server << 100000;
}

// A clerk saves one holder's total again and again, each save one history entry, while the backup runs. The copy
// is one moment: the total it holds is the one its newest entry wrote, on the row that entry names.
void TestRegisterCommands::backupIsOneMomentWhileAClerkSaves()
{
    QFETCH(Engine, engine);
    QFETCH(int, certificates);
    TempRegister source(engine);
    VELMORA_REQUIRE(source);
    QCOMPARE(source.exec(QStringLiteral("INSERT INTO stock_data (stock_no, item_code, stock_qty) WITH RECURSIVE n(i) "
                                        "AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) SELECT 'SC-' || i, "
                                        "'certificate ' || i, i FROM n")
                             .arg(certificates)),
             "");
    // Not the first row key, which a copy that numbered rows afresh would give it.
    QCOMPARE(source.exec("INSERT INTO stockholder (stockholder_no, total_share) VALUES (7, 0), (8, 0)"), "");
    QCOMPARE(source.exec("DELETE FROM stockholder WHERE stockholder_no = 7"), "");
    // A server writes those rows' entries itself; a file's history has none.
    const qint64 arranged = source.rows("SELECT count(*) FROM velmora_history")[0][0].toLongLong();
    Expected<std::unique_ptr<Connection>> connection = Connection::open(source.path());
    QVERIFY2(connection.ok(), qPrintable(connection.status().message()));
    FakeFields fields({"total_share"});
    Recordset clerk(std::move(connection.value()), *schema::table(u"stockholder"), &fields);
    fields.recordset = &clerk;
    QVERIFY(clerk.open().ok());
    int saves = 0;
    const auto save = [&] {
        if (Status editing = clerk.edit(); !editing)
            return editing;
        fields.type("total_share", QString::number(++saves));
        return clerk.update();
    };
    QVERIFY(save().ok());

    QTemporaryDir directory;
    const QString copy = directory.filePath("backup.mdb");
    QProcess backup;
    backup.start(qEnvironmentVariable("VELMORA_REGISTER_TOOL"), {"backup", source.path(), copy});
    QVERIFY(backup.waitForStarted());
    const int before = saves;
    const QDeadlineTimer deadline(60000);
    while (backup.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        const Status saved = save();
        QVERIFY2(saved.ok(), qPrintable(saved.message()));
        QCoreApplication::processEvents();
    }
    QCOMPARE(backup.state(), QProcess::NotRunning);
    QVERIFY2(backup.exitCode() == 0, backup.readAllStandardError().constData());
    QVERIFY(backup.readAllStandardOutput().contains(QStringLiteral("stock_data %1 rows").arg(certificates).toUtf8()));
    QCOMPARE(QDir(directory.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"backup.mdb"});

    QCOMPARE(rows(copy, "PRAGMA integrity_check"), QList<QVariantList>{{"ok"}});
    const Run verified = run({"history", "--verify", copy});
    QVERIFY2(verified.status == 0 && verified.out.contains("is intact"), qPrintable(verified.out + verified.err));
    const QList<QVariantList> newest =
        rows(copy, "SELECT seq, row_key, changes, hash FROM velmora_history ORDER BY seq DESC LIMIT 1");
    QCOMPARE(newest.size(), 1);
    const qint64 held = newest[0][0].toLongLong() - arranged; // one entry a save after those
    const std::optional<QList<history::Change>> changes = history::decode(newest[0][2].toString());
    QVERIFY(changes && changes->size() == 1 && changes->first().after.toLongLong() == held);
    QCOMPARE(rows(copy, "SELECT total_share FROM stockholder WHERE rowid = " + newest[0][1].toString()),
             QList<QVariantList>{{held}});
    QCOMPARE(source.rows("SELECT hash FROM velmora_history WHERE seq = " + newest[0][0].toString()),
             QList<QVariantList>{{newest[0][3]}});
    // The saves overlapped the backup's moment: one made after the process started is in the copy, and one made
    // after that moment and before the process ended is not (the last may have begun as it ended).
    QVERIFY2(held > before && held < saves - 1,
             qPrintable(QStringLiteral("the copy holds save %1 of %2, %3 made before the backup started")
                            .arg(held)
                            .arg(saves)
                            .arg(before)));
}

void TestRegisterCommands::restoresABackup_data()
{
    QTest::addColumn<QString>("there"); // at the register's place: the register, a link to it, or nothing
    QTest::newRow("over the register") << "register";
    QTest::newRow("through a link to it") << "link";
    QTest::newRow("where there is none") << "nothing";
}

// Yesterday's backup put back in today's register's place, which is kept beside it as it was.
void TestRegisterCommands::restoresABackup()
{
    QFETCH(QString, there);
    QTemporaryDir directory;
    const QString live = directory.filePath("live/stock.mdb");
    const QString backup = directory.filePath("backup/stock.mdb"); // its folder made by backup
    const QString older = directory.filePath("older.mdb");
    QVERIFY(QDir().mkpath(directory.filePath("live")));
    QCOMPARE(run({"init", "--demo", live}).status, 0);
    QCOMPARE(run({"backup", live, older}).status, 0);
    QCOMPARE(run({"backup", live, backup}).status, 0);
    // A day's work: one total set, with its history entry.
    rows(live, "UPDATE stockholder SET total_share = NULL WHERE stockholder_no = 3");
    QCOMPARE(run({"check", "--fix-totals", live}).status, 0);
    const Run replaced = run({"backup", "--force", live, older}); // an earlier backup of it
    QVERIFY2(replaced.status == 0 && replaced.out.endsWith("history 34 changes.\n"), qPrintable(replaced.err));
    QVERIFY(QFile::setPermissions(live, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    const QByteArray today = contentOf(live);
    const QFileDevice::Permissions mode = QFile::permissions(live);
    QString target = live;
    if (there == "link") {
        target = directory.filePath("stock.mdb");
        QVERIFY(QFile::link(live, target));
    } else if (there == "nothing") {
        QVERIFY(QFile::remove(live));
    }

    const Run restored = run({"restore", backup, target});
    QCOMPARE(restored.status, 0);
    QCOMPARE(run({"history", "--csv", live}).out, run({"history", "--csv", backup}).out);
    QCOMPARE(QFileInfo(target).isSymLink(), there == "link");
    const QStringList files = QDir(directory.filePath("live")).entryList(QDir::Files | QDir::Hidden);
    if (there == "nothing") {
        QCOMPARE(files, QStringList{"stock.mdb"});
        QVERIFY2(restored.out.endsWith("there was no register there before.\n"), qPrintable(restored.out));
        return;
    }
    QCOMPARE(files.size(), 2);
    const QString kept = directory.filePath("live/" + files[1]);
    QVERIFY2(QRegularExpression("^stock\\.mdb\\.before-restore-\\d{8}T\\d{6}Z$").match(files[1]).hasMatch(),
             qPrintable(files[1]));
    QCOMPARE(contentOf(kept), today);
    QCOMPARE(QFile::permissions(kept), mode);
    QCOMPARE(QFile::permissions(live), mode);
    QVERIFY2(restored.out.startsWith("Restored the register " + target + " from " + backup)
                 && restored.out.contains(", history 33 changes); the register it replaced, last changed ")
                 && restored.out.endsWith(" (change 34: modify, stockholder record 3), is kept as " + kept + ".\n"),
             qPrintable(restored.out));
}

void TestRegisterCommands::anInterruptLeavesNoCopyBehind_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("signal");
    QTest::newRow("report, SIGTERM") << "report" << SIGTERM;
    QTest::newRow("backup, SIGINT") << "backup" << SIGINT;
    QTest::newRow("copy, SIGHUP") << "copy" << SIGHUP;
}

// Interrupted while it writes, a command ends as the signal asks and leaves neither its file nor the hidden one,
// which would be a copy of the register's personal data.
void TestRegisterCommands::anInterruptLeavesNoCopyBehind()
{
    QFETCH(QString, command);
    QFETCH(int, signal);
    TempRegister source;
    QCOMPARE(source.exec("INSERT INTO stockholder (stockholder_no, stockholder_name) WITH RECURSIVE n(i) AS (SELECT 1 "
                         "UNION ALL SELECT i + 1 FROM n WHERE i < 300000) SELECT i, printf('%0100d', i) FROM n"),
             "");
    QTemporaryDir directory;
    QProcess tool;
    tool.start(qEnvironmentVariable("VELMORA_REGISTER_TOOL"), {command, source.path(), directory.filePath("made")});
    QVERIFY(tool.waitForStarted());
    const auto inFolder = [&] {
        return QDir(directory.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    };
    QVERIFY(QTest::qWaitFor([&] { return !inFolder().isEmpty(); }, 60000));
    QCOMPARE(::kill(tool.processId(), signal), 0);
    QVERIFY(tool.waitForFinished(20000));
    QCOMPARE(tool.exitStatus(), QProcess::CrashExit);
    QCOMPARE(tool.exitCode(), signal);
    QCOMPARE(inFolder(), QStringList());
}

QTEST_GUILESS_MAIN(TestRegisterCommands)
#include "tst_registercommands.moc"
