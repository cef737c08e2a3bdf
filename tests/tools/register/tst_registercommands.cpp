#include "fakefields.h"
#include "history.h"
#include "recordset.h"
#include "registerfile.h"
#include "schema.h"
#include "tempregister.h"

#include <QProcess>
#include <QtTest>

#include <csignal>

Q_DECLARE_METATYPE(Engine)

// velmora-register, run as the clerk would run it.
class TestRegisterCommands : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initCreatesAnEmptyRegister();
    void demoRegisterHangsTogether();
    void neverTouchesAnExistingFile_data();
    void neverTouchesAnExistingFile();
    void refusesAWrongCommandLine_data();
    void refusesAWrongCommandLine();
    void explainsItself();
    void refusesWhatItCannotConvert_data();
    void refusesWhatItCannotConvert();
    void inspectsAndDeclinesTheSampleAccessFiles_data();
    void inspectsAndDeclinesTheSampleAccessFiles();
    void exportsTheDemoRegister_data();
    void exportsTheDemoRegister();
    void survivesAFileThatCrashesTheReader();
    void verifyNamesTheFirstBadChange_data();
    void verifyNamesTheFirstBadChange();
    void historyShowsWhatIsAsked_data();
    void historyShowsWhatIsAsked();
    void backupIsOneMomentWhileAClerkSaves_data();
    void backupIsOneMomentWhileAClerkSaves();
    void anInterruptLeavesNoCopyBehind_data();
    void anInterruptLeavesNoCopyBehind();
    void restoresABackup_data();
    void restoresABackup();
    void checkFindsWhatIsWrong_data();
    void checkFindsWhatIsWrong();
    void reportsTheRegisterOfMembers_data();
    void reportsTheRegisterOfMembers();

private:
    struct Run {
        int status = -1;
        QString out;
        QString err;
    };
    static Run run(const QStringList& arguments, const QString& workingDirectory = QString());
    static QList<QVariantList> rows(const QString& path, const QString& statement);
};

namespace {

QString samples()
{
    return qEnvironmentVariable("VELMORA_SHARED") + QStringLiteral("/fixtures/access/");
}

void write(const QString& path, const QByteArray& content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TestRegisterCommands::Run TestRegisterCommands::run(const QStringList& arguments, const QString& workingDirectory)
{
    QProcess tool;
    tool.setWorkingDirectory(workingDirectory);
    tool.start(qEnvironmentVariable("VELMORA_REGISTER_TOOL"), arguments);
    if (!tool.waitForFinished(20000))
        return {};
    return {tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1,
            QString::fromUtf8(tool.readAllStandardOutput()), QString::fromUtf8(tool.readAllStandardError())};
}

QList<QVariantList> TestRegisterCommands::rows(const QString& path, const QString& statement)
{
    return TempRegister::rowsIn(path, statement);
}

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
        // The history: read and added to, never rewritten.
        QCOMPARE(target.rows(QStringLiteral("SELECT has_table_privilege('%1', 'velmora_history', 'SELECT, INSERT'), "
                                            "has_table_privilege('%1', 'velmora_history', 'UPDATE, DELETE, TRUNCATE')")
                                 .arg(role)),
                 (QList<QVariantList>{{true, false}}));
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

void TestRegisterCommands::refusesAWrongCommandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("nothing") << QStringList();
    QTest::newRow("unknown command") << QStringList{"create", "x.mdb"};
    QTest::newRow("init without a path") << QStringList{"init"};
    QTest::newRow("init with two paths") << QStringList{"init", "a.mdb", "b.mdb"};
    QTest::newRow("unknown option") << QStringList{"init", "--force", "a.mdb"};
    QTest::newRow("import with one path") << QStringList{"import", "old.mdb"};
    QTest::newRow("code page without a name") << QStringList{"import", "old.mdb", "new.mdb", "--codepage"};
    QTest::newRow("inspect with two files") << QStringList{"inspect", "a.mdb", "b.mdb"};
    QTest::newRow("export without a folder") << QStringList{"export", "stock.mdb"};
    QTest::newRow("init, an empty path") << QStringList{"init", ""};
    QTest::newRow("import into an empty path") << QStringList{"import", "old.mdb", ""};
    QTest::newRow("export into an empty path") << QStringList{"export", "stock.mdb", ""};
    QTest::newRow("copy with one register") << QStringList{"copy", "stock.mdb"};
    QTest::newRow("a role for a file") << QStringList{"init", "--role", "clerk", "a.mdb"};
    QTest::newRow("import onto a server") << QStringList{"import", "old.mdb", "postgresql://host/db"};
    QTest::newRow("history without a register") << QStringList{"history", "--csv"};
    QTest::newRow("history of another table") << QStringList{"history", "--table", "shares", "a.mdb"};
    QTest::newRow("history since no date") << QStringList{"history", "--since", "yesterday", "a.mdb"};
    QTest::newRow("history since a day not in the calendar")
        << QStringList{"history", "--since", "2024-02-30", "a.mdb"};
    QTest::newRow("history of an empty record number") << QStringList{"history", "--record", " ", "a.mdb"};
    QTest::newRow("verify, filtered") << QStringList{"history", "--verify", "--record", "7", "a.mdb"};
    QTest::newRow("upgrade with two registers") << QStringList{"upgrade", "a.mdb", "b.mdb"};
    QTest::newRow("upgrade, a role for a file") << QStringList{"upgrade", "--role", "clerk", "a.mdb"};
    QTest::newRow("backup with one path") << QStringList{"backup", "--force", "stock.mdb"};
    QTest::newRow("backup onto a server") << QStringList{"backup", "stock.mdb", "postgresql://host/db"};
    QTest::newRow("restore onto a server") << QStringList{"restore", "backup.mdb", "postgresql://host/db"};
    QTest::newRow("check without a register") << QStringList{"check", "--csv"};
    QTest::newRow("check with two registers") << QStringList{"check", "a.mdb", "b.mdb"};
    QTest::newRow("check, totals set as CSV") << QStringList{"check", "--fix-totals", "--csv", "a.mdb"};
    QTest::newRow("check, an option it lacks") << QStringList{"check", "--fix", "a.mdb"};
    QTest::newRow("report without a file") << QStringList{"report", "a.mdb"};
    QTest::newRow("report into an empty path") << QStringList{"report", "a.mdb", ""};
    QTest::newRow("report, unknown option") << QStringList{"report", "--raw", "a.mdb", "b.pdf"};
}

void TestRegisterCommands::refusesAWrongCommandLine()
{
    QFETCH(QStringList, arguments);
    QTemporaryDir directory;
    const Run refused = run(arguments, directory.path());
    QCOMPARE(refused.status, 2);
    QVERIFY(refused.err.contains("--help"));
    QCOMPARE(refused.err.count('\n'), 2); // what is wrong, and where to read more
    QVERIFY(QDir(directory.path()).isEmpty());
}

void TestRegisterCommands::explainsItself()
{
    const Run help = run({"--help"});
    QCOMPARE(help.status, 0);
    QVERIFY(help.out.contains("init [--demo] [--role NAME] REGISTER") && help.out.contains("copy FROM TO")
            && help.out.contains("inspect REGISTER") && help.out.contains("export [--force] [--raw] REGISTER DIR")
            && help.out.contains("history --verify REGISTER") && help.out.contains("upgrade [--role NAME] REGISTER")
            && help.out.contains("backup [--force] REGISTER FILE") && help.out.contains("restore BACKUP REGISTER")
            && help.out.contains("check [--csv] [--fix-totals] REGISTER")
            && help.out.contains("report [--force] REGISTER FILE"));
    const Run version = run({"--version"});
    QCOMPARE(version.status, 0);
    QCOMPARE(version.out, "velmora-register " VELMORA_VERSION "\n");

    QTemporaryDir directory;
    const Run failed = run({"init", directory.filePath("no/such/folder/stock.mdb")});
    QCOMPARE(failed.status, 1);
    QVERIFY(!failed.err.isEmpty());
}

void TestRegisterCommands::refusesWhatItCannotConvert_data()
{
    // {d} is a folder of the test's own; "in" a file laid there first, "kept" one that must stay as it is.
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<QString>("named");
    QTest::newRow("import, no such file") << QStringList{"import", "{d}/old.mdb", "{d}/new.mdb"} << ""
                                          << ""
                                          << "{d}/old.mdb";
    QTest::newRow("import, a text file") << QStringList{"import", "{d}/old.mdb", "{d}/new.mdb"} << "text"
                                         << ""
                                         << "{d}/old.mdb";
    QTest::newRow("import, a Velmora register") << QStringList{"import", "{d}/old.mdb", "{d}/new.mdb"} << "register"
                                                << ""
                                                << "{d}/old.mdb";
    QTest::newRow("import over a file that exists")
        << QStringList{"import", samples() + "jet4-types.mdb", "{d}/new.mdb"} << ""
        << "{d}/new.mdb"
        << "{d}/new.mdb";
    QTest::newRow("inspect, a text file") << QStringList{"inspect", "{d}/old.mdb"} << "text"
                                          << ""
                                          << "{d}/old.mdb";
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
    QTest::newRow("report over a file that exists")
        << QStringList{"report", "{d}/old.mdb", "{d}/members.pdf"} << "register"
        << "{d}/members.pdf"
        << "\"{d}/members.pdf\" exists; --force replaces it";
    QTest::newRow("report, no register") << QStringList{"report", "{d}/none.mdb", "{d}/members.pdf"} << ""
                                         << ""
                                         << "{d}/none.mdb";
    QTest::newRow("report from a server without the tables") << QStringList{"report", "{s}", "{d}/members.pdf"} << ""
                                                             << ""
                                                             << "the table \"stock_data\" is missing";
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
    // Whatever --force says, nothing is written over the register read, a journal file of it, or a link to either.
    const QString beingRead = ": it is the register being read";
    QTest::newRow("backup onto the register itself") << QStringList{"backup", "--force", "{d}/old.mdb", "{d}/old.mdb"}
                                                     << "register" << QString() << "to \"{d}/old.mdb\"" + beingRead;
    QTest::newRow("report over the register itself") << QStringList{"report", "{d}/old.mdb", "{d}/./old.mdb"}
                                                     << "register" << QString() << "\"{d}/old.mdb\"" + beingRead;
    QTest::newRow("report over the register's -wal")
        << QStringList{"report", "--force", "{d}/old.mdb", "{d}/old.mdb-wal"} << "register" << QString()
        << "\"{d}/old.mdb-wal\": it is the -wal file of the register being read";
    QTest::newRow("copy over the register's -journal") << QStringList{"copy", "{d}/old.mdb", "{d}/old.mdb-journal"}
                                                       << "register" << QString() << "-journal file of the register";
    QTest::newRow("import through a link to the Access file")
        << QStringList{"import", "{d}/old.mdb", "{d}/link.mdb"} << "access, linked as link.mdb" << QString()
        << "\"{d}/link.mdb\"" + beingRead;
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
        << "with no change in a history, holding stock_data 0 rows, stockholder 2 rows, transfer_data 0 rows. It is "
           "left as it is.\n";
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

// Each refusal names what it refused, ends with status 1, and leaves every file and server table as it was.
void TestRegisterCommands::refusesWhatItCannotConvert()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, in);
    QFETCH(QString, kept);
    QFETCH(QString, named);
    if ((arguments.join(' ').contains(samples()) || in.startsWith("access")) && !QFile::exists(samples()))
        QSKIP("the sample Access files are not here (../shared/fixtures/access)");
    const QString line = arguments.join(' ');
    const bool onServer = line.contains("{s}") || line.contains("{r}");
    TempRegister server(onServer ? Engine::Server : Engine::File, line.contains("{r}"));
    if (onServer)
        VELMORA_REQUIRE(server);
    QUrl uri(server.path());
    uri.setUserName("postgres");
    uri.setPassword("s3cret"); // which no message may show
    QTemporaryDir directory;
    const auto here = [&](QString text) {
        return text.replace("{d}", directory.path()).replace("{s}", uri.toString()).replace("{r}", uri.toString());
    };
    if (in == "text")
        write(directory.filePath("old.mdb"), "stock_no,stock_type\n");
    else if (in.startsWith("register") || in == "bytes" || in == "damaged" || in == "over a register without a history")
        QVERIFY(registerfile::create(directory.filePath("old.mdb")).ok());
    else if (in.startsWith("access"))
        QVERIFY(QFile::copy(samples() + "jet4-types.mdb", directory.filePath("old.mdb")));
    if (const qsizetype as = in.indexOf(", linked as "); as >= 0)
        QVERIFY(QFile::link(directory.filePath("old.mdb"), directory.filePath(in.mid(as + 12))));
    if (in == "over a register") { // two registers of 33 changes each, sealed apart
        for (const QString& made : {directory.filePath("old.mdb"), here(kept)})
            QCOMPARE(run({"init", "--demo", made}).status, 0);
    }
    if (in == "over a register without a history") {
        QVERIFY(registerfile::create(here(kept)).ok());
        rows(here(kept), "DROP TABLE velmora_history");
        rows(here(kept), "INSERT INTO stockholder (stockholder_no) VALUES (1), (2)");
    }
    if (in == "altered") {
        QCOMPARE(run({"init", "--demo", directory.filePath("old.mdb")}).status, 0);
        rows(directory.filePath("old.mdb"), "UPDATE velmora_history SET clerk = 'someone' WHERE seq = 3");
    }
    if (in == "damaged") {
        rows(directory.filePath("old.mdb"), "CREATE TABLE notes (note TEXT)");
        rows(directory.filePath("old.mdb"), "INSERT INTO notes WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                                            "FROM n WHERE i < 100) SELECT printf('%0500d', i) FROM n");
        QFile file(directory.filePath("old.mdb")); // its last page, one of the notes
        QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(file.size() - 4096));
        file.write(QByteArray(4096, char(0x7f)));
    }
    if (in == "bytes")
        rows(directory.filePath("old.mdb"),
             "INSERT INTO stock_data (stock_no, stock_qty) VALUES ('SC-1', 5), ('SC-2', CAST('12.50' AS BLOB))");
    if (line.contains("{r}"))
        QCOMPARE(server.exec("INSERT INTO stockholder (stockholder_no) VALUES (1)"), "");
    // Each table on the server with its row count.
    const auto held = [&] {
        return server.rows("SELECT table_name, query_to_xml('SELECT count(*) FROM ' || table_name, false, true, '')"
                           "::text FROM information_schema.tables WHERE table_schema = current_schema() ORDER BY 1");
    };
    const QList<QVariantList> heldBefore = onServer ? held() : QList<QVariantList>();
    if (!kept.isEmpty() && !QFile::exists(here(kept)))
        write(here(kept), "the clerk's own");
    const QByteArray keptBefore = kept.isEmpty() ? QByteArray() : contentOf(here(kept));
    const QStringList before = QDir(directory.path()).entryList(QDir::Files | QDir::Hidden);

    for (QString& argument : arguments)
        argument = here(argument);
    const Run refused = run(arguments);
    QCOMPARE(refused.status, 1);
    QVERIFY2(refused.err.contains(here(named)) && refused.err.count('\n') == 1 && !refused.err.contains("s3cret"),
             qPrintable(refused.err));
    QCOMPARE(QDir(directory.path()).entryList(QDir::Files | QDir::Hidden), before);
    if (onServer)
        QCOMPARE(held(), heldBefore);
    if (!kept.isEmpty())
        QCOMPARE(contentOf(here(kept)), keptBefore);
}

void TestRegisterCommands::inspectsAndDeclinesTheSampleAccessFiles_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QStringList>("tables"); // with their row counts
    const QStringList types{"Table1 (2 rows)", "Table2 (0 rows)", "Table3 (0 rows)", "Table4 (0 rows)"};
    QTest::newRow("Jet 3") << "jet3-types.mdb"
                           << "Jet 3" << types;
    QTest::newRow("Jet 4") << "jet4-types.mdb"
                           << "Jet 4" << types;
    QTest::newRow("ACE 12") << "ace12-types.accdb"
                            << "ACE 12" << types;
    QTest::newRow("numbers") << "jet4-numeric.mdb"
                             << "Jet 4" << QStringList{"test (1 rows)"};
    QTest::newRow("no tables") << "jet4-empty.mdb"
                               << "Jet 4" << QStringList();
    QTest::newRow("memo") << "ace-longtext.accdb"
                          << "ACE" << QStringList{"Table1 (1 rows)"};
}

// The samples hold no register tables: inspect lists what they hold, import says so and writes nothing.
void TestRegisterCommands::inspectsAndDeclinesTheSampleAccessFiles()
{
    QFETCH(QString, file);
    QFETCH(QString, format);
    QFETCH(QStringList, tables);
    const QString path = samples() + file;
    if (!QFile::exists(path))
        QSKIP("the sample Access files are not here (../shared/fixtures/access)");
    const Run inspected = run({"inspect", path});
    QCOMPARE(inspected.status, 0);
    QVERIFY2(inspected.out.startsWith(QStringLiteral("%1: %2").arg(path, format)), qPrintable(inspected.out));
    QVERIFY2(inspected.out.contains(QStringLiteral("%1 user tables").arg(tables.size())), qPrintable(inspected.out));
    for (const QString& table : tables)
        QVERIFY2(inspected.out.contains("\n" + table + "\n"), qPrintable(inspected.out));

    QTemporaryDir directory;
    const Run imported = run({"import", path, directory.filePath("stock.mdb")});
    QCOMPARE(imported.status, 1);
    QVERIFY2(imported.out.contains("stock_data: missing from the Access file\n"), qPrintable(imported.out));
    QVERIFY2(imported.err.contains("the Access file has no table stock_data, stockholder, transfer_data"),
             qPrintable(imported.err));
    QVERIFY(QDir(directory.path()).isEmpty());
}

void TestRegisterCommands::exportsTheDemoRegister_data()
{
    QTest::addColumn<Engine>("engine");
    QTest::addColumn<bool>("copied");   // copied there from a demo file, and back to compare; else made by init
    QTest::addColumn<bool>("twice");    // copied there through a second register of the same kind
    QTest::addColumn<bool>("upgraded"); // its history dropped, then started again by upgrade
    QTest::newRow("file") << Engine::File << false << false << false;
    QTest::newRow("file, copied") << Engine::File << true << false << false;
    QTest::newRow("file, upgraded") << Engine::File << false << false << true;
    QTest::newRow("server") << Engine::Server << false << false << false;
    QTest::newRow("server, copied") << Engine::Server << true << false << false;
    QTest::newRow("server, copied from another server") << Engine::Server << true << true << false;
    QTest::newRow("server, upgraded") << Engine::Server << false << false << true;
}

// Wherever the demo register is, it lists, exports and copies back as the demo file does, record for record.
void TestRegisterCommands::exportsTheDemoRegister()
{
    QFETCH(Engine, engine);
    QFETCH(bool, copied);
    QFETCH(bool, twice);
    QFETCH(bool, upgraded);
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
    // Its history starts with one change per record, made by the command that made it, or by upgrade.
    if (upgraded) {
        QCOMPARE(target.exec("DROP TABLE velmora_history"), "");
        const Run none = run({"history", path});
        QCOMPARE(none.status, 1);
        QVERIFY2(none.err.contains("keeps no history") && none.err.contains("velmora-register upgrade '"),
                 qPrintable(none.err));
        const Run started = run({"upgrade", path});
        QCOMPARE(started.status, 0);
        QVERIFY2(started.out.contains("now keeps a history, starting with 33 records"), qPrintable(started.out));
        QCOMPARE(started.out.contains(QRegularExpression("\nGRANT SELECT, INSERT ON \\S*velmora_history TO "
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
    // A backup holds every record under its own row key, and the same history; --force replaces an older one.
    const QString backup = directory.filePath("backup.mdb");
    write(backup, "an older backup");
    QCOMPARE(run({"backup", path, backup}).status, 1);
    QCOMPARE(contentOf(backup), "an older backup");
    const Run backedUp = run({"backup", "--force", path, backup});
    QVERIFY2(backedUp.out.endsWith(backup
                                   + ": stock_data 15 rows, stockholder 10 rows, transfer_data 8 rows, history "
                                     "33 changes.\n"),
             qPrintable(backedUp.out + backedUp.err));
    for (const schema::Table& table : schema::tables()) {
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
    }
    const Run inspected = run({"inspect", path});
    QCOMPARE(inspected.status, 0);
    // The change written past the program is not in the history, which inspect lists apart from the tables.
    QVERIFY2(inspected.out.startsWith(Connection::pathOf(path) + ": a register")
                 && inspected.out.contains(", 3 tables\nIt keeps a history of changes: 33 changes")
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

// Under AddressSanitizer a crash is its report and an ordinary exit, not a crash the tool can name.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool sanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool sanitized = true;
#else
constexpr bool sanitized = false;
#endif
#else
constexpr bool sanitized = false;
#endif

void TestRegisterCommands::survivesAFileThatCrashesTheReader()
{
    const QString sample = samples() + "jet4-empty.mdb";
    if (!QFile::exists(sample))
        QSKIP("the sample Access files are not here (../shared/fixtures/access)");
    // One byte changed in the table list sends the Access reader library off the end of its map.
    QByteArray bytes = contentOf(sample);
    bytes[8247] = char(0x8c);
    QTemporaryDir directory;
    const QString path = directory.filePath("damaged.mdb");
    write(path, bytes);

    for (const QStringList& arguments :
         {QStringList{"inspect", path}, QStringList{"import", path, directory.filePath("stock.mdb")}}) {
        const Run refused = run(arguments);
        QCOMPARE(refused.status, 1);
        if (!sanitized)
            QVERIFY2(
                refused.err.contains(QStringLiteral("Cannot read the Access file \"%1\": reading it stopped").arg(path))
                    && refused.err.contains("probably damaged"),
                qPrintable(refused.err));
    }
    QCOMPARE(QDir(directory.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"damaged.mdb"});
}

void TestRegisterCommands::verifyNamesTheFirstBadChange_data()
{
    QTest::addColumn<QStringList>("tampering"); // plain SQL on the demo register's history of 33 changes
    QTest::addColumn<int>("resealed");          // a change sealed again afterwards, as by one who knows how
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("named");
    const QString edit = "UPDATE velmora_history SET changes = replace(changes, 'SC-0003', 'SC-0030') WHERE seq = 3";
    // The numbers moved out of the way and back, as the table allows each number once.
    const auto renumbered = [](const QString& to, const QString& where) {
        return QStringList{"UPDATE velmora_history SET seq = -(" + to + ") WHERE " + where,
                           "UPDATE velmora_history SET seq = -seq WHERE seq < 0"};
    };
    QTest::newRow("intact") << QStringList() << 0 << 0 << "is intact: 33 changes, the last sealed as ";
    QTest::newRow("entry edited") << QStringList{edit} << 0 << 1 << "change 3 does not match its seal";
    QTest::newRow("entry edited and sealed again")
        << QStringList{edit} << 3 << 1 << "change 4 does not follow change 3";
    QTest::newRow("entry deleted") << QStringList{"DELETE FROM velmora_history WHERE seq = 3"} << 0 << 1
                                   << "change 3 is missing";
    QTest::newRow("entry inserted") << renumbered("seq + 1", "seq >= 3")
                                           + QStringList{"INSERT INTO velmora_history SELECT 3, changed_at, clerk, "
                                                         "db_role, table_name, row_key, record, action, changes, "
                                                         "previous_hash, hash FROM velmora_history WHERE seq = 2"}
                                    << 0 << 1 << "change 3 does not follow change 2";
    QTest::newRow("entries swapped") << renumbered("7 - seq", "seq IN (3, 4)") << 0 << 1
                                     << "change 3 does not follow change 2";
    QTest::newRow("first entry deleted, the rest renumbered")
        << QStringList{"DELETE FROM velmora_history WHERE seq = 1"} + renumbered("seq - 1", "seq > 1") << 0 << 1
        << "change 1 does not begin the history";
    // Only a seal noted earlier shows this.
    QTest::newRow("newest entries deleted")
        << QStringList{"DELETE FROM velmora_history WHERE seq > 30"} << 0 << 0 << "is intact: 30 changes";
}

void TestRegisterCommands::verifyNamesTheFirstBadChange()
{
    QFETCH(QStringList, tampering);
    QFETCH(int, resealed);
    QFETCH(int, status);
    QFETCH(QString, named);
    TempRegister target(Engine::File, false);
    QCOMPARE(run({"init", "--demo", target.path()}).status, 0);
    for (const QString& statement : tampering)
        QCOMPARE(target.exec(statement), "");
    if (resealed > 0) {
        const QVariantList stored = target
                                        .rows("SELECT changed_at, clerk, db_role, table_name, row_key, record, "
                                              "action, changes, previous_hash FROM velmora_history WHERE seq = "
                                              + QString::number(resealed))
                                        .value(0);
        QCOMPARE(stored.size(), 9);
        const auto text = [&](int i) {
            return stored[i].toString();
        };
        const history::Entry entry{resealed, text(0), text(1), text(2), text(3), stored[4].toLongLong(),
                                   text(5),  text(6), text(7), text(8), {}};
        QCOMPARE(target.exec("UPDATE velmora_history SET hash = ? WHERE seq = ?", {history::seal(entry), resealed}),
                 "");
    }
    const Run verified = run({"history", "--verify", target.path()});
    QCOMPARE(verified.status, status);
    QVERIFY2((status ? verified.err : verified.out).contains(named), qPrintable(verified.out + verified.err));
    QVERIFY(status == 0 || verified.err.contains(target.path()));
}

void TestRegisterCommands::historyShowsWhatIsAsked_data()
{
    // The demo register's 33 changes, dated 2020-05-01 10:00 UTC, then three by two clerks: holder 3 renumbered
    // 33 (34), holder 10 deleted (35) and holder 11 added (36), which a file gives holder 10's row key.
    QTest::addColumn<Engine>("engine");
    QTest::addColumn<QStringList>("filter");
    QTest::addColumn<QList<int>>("changes");
    QTest::addColumn<QString>("shown"); // a line of the table shown
    const auto span = [](int from, int to) {
        QList<int> all;
        for (int i = from; i <= to; ++i)
            all.append(i);
        return all;
    };
    for (const Engine engine : {Engine::File, Engine::Server}) {
        const char* on = engine == Engine::File ? "file" : "server";
        QTest::addRow("%s, a table", on) << engine << QStringList{"--table", "transfer_data"} << span(26, 33) << "";
        QTest::addRow("%s, a record", on) << engine << QStringList{"--table", "stockholder", "--record", "3"}
                                          << QList<int>{18, 34} << "ShareHolder #: \"3\" → \"33\"";
        QTest::addRow("%s, a record by its later number", on)
            << engine << QStringList{"--record", "033"} << QList<int>{18, 34} << "";
        QTest::addRow("%s, a number in two tables", on) << engine << QStringList{"--record", "sc-0004"}
                                                        << QList<int>{4, 27, 28} << "Previous Holder: (none) → \"5\"";
        QTest::addRow("%s, a deleted record", on)
            << engine << QStringList{"--record", "10"} << QList<int>{25, 35} << "Name: \"田中陽翔\" → (none)";
        QTest::addRow("%s, the record added after it", on)
            << engine << QStringList{"--record", "11"} << QList<int>{36} << "";
        QTest::addRow("%s, since a day", on) << engine << QStringList{"--since", "2020-05-02"} << span(34, 36) << "";
        QTest::addRow("%s, since a time in another zone", on)
            << engine << QStringList{"--since", "2020-05-01T12:00+02:00"} << span(1, 36) << "";
        QTest::addRow("%s, since a second later", on)
            << engine << QStringList{"--since", "2020-05-01T10:00:01Z", "--table", "stockholder"} << span(34, 36) << "";
    }
}

// The table shown and the CSV name the same changes, the ones asked for.
void TestRegisterCommands::historyShowsWhatIsAsked()
{
    QFETCH(Engine, engine);
    QFETCH(QStringList, filter);
    QFETCH(QList<int>, changes);
    QFETCH(QString, shown);
    TempRegister target(engine, false);
    VELMORA_REQUIRE(target);
    QCOMPARE(run({"init", "--demo", target.path()}).status, 0);
    {
        // Two clerks, each on a connection of their own, save in turn.
        const schema::Table& holders = *schema::table(u"stockholder");
        QStringList columns;
        for (const schema::Column& column : holders.columns)
            columns.append(column.name);
        FakeFields first(columns), second(columns);
        std::vector<std::unique_ptr<Recordset>> sets;
        for (FakeFields* fields : {&first, &second}) {
            Expected<std::unique_ptr<Connection>> connection = Connection::open(target.path());
            QVERIFY(connection.ok());
            sets.push_back(std::make_unique<Recordset>(std::move(connection.value()), holders, fields));
            fields->recordset = sets.back().get();
        }
        Recordset& a = *sets[0];
        Recordset& b = *sets[1];
        // Each step must go through: no message.
        QString refused;
        const auto step = [&](const Status& status) {
            refused += status.message();
        };
        step(a.open());
        step(b.open());
        step(a.findFirst("stockholder_no = val('3')"));
        step(a.edit());
        first.type("stockholder_no", "33");
        step(a.update());
        step(b.findFirst("stockholder_no = val('10')"));
        step(b.deleteRecord());
        step(a.addNew());
        first.type("stockholder_no", "11");
        step(a.update());
        QCOMPARE(refused, "");
    }
    // Their changes follow each other on one chain.
    QCOMPARE(run({"history", "--verify", target.path()}).status, 0);
    QCOMPARE(target.exec("UPDATE velmora_history SET changed_at = '2020-05-01T10:00:00.000Z' WHERE seq <= 33"), "");
    const Run table = run(QStringList{"history"} + filter + QStringList{target.path()});
    QCOMPARE(table.status, 0);
    QVERIFY2(table.out.contains(shown), qPrintable(table.out));
    QList<int> listed;
    for (const QRegularExpressionMatch& line :
         QRegularExpression("\\n *(\\d+)  \\d{4}-\\d\\d-\\d\\d ").globalMatch(table.out))
        listed.append(line.captured(1).toInt());
    QCOMPARE(listed, changes);
    const Run csv = run(QStringList{"history", "--csv"} + filter + QStringList{target.path()});
    QCOMPARE(csv.status, 0);
    QList<int> written;
    for (const QString& line : csv.out.split("\r\n", Qt::SkipEmptyParts).mid(1)) {
        if (const int number = line.section(',', 0, 0).toInt(); written.isEmpty() || written.last() != number)
            written.append(number);
    }
    QCOMPARE(written, changes);
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
    const qint64 held = newest[0][0].toLongLong(); // one entry a save, none before
    const std::optional<QList<history::Change>> changes = history::decode(newest[0][2].toString());
    QVERIFY(changes && changes->size() == 1 && changes->first().after.toLongLong() == held);
    QCOMPARE(rows(copy, "SELECT total_share FROM stockholder WHERE rowid = " + newest[0][1].toString()),
             QList<QVariantList>{{held}});
    QCOMPARE(source.rows("SELECT hash FROM velmora_history WHERE seq = " + QString::number(held)),
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

void TestRegisterCommands::checkFindsWhatIsWrong_data()
{
    QTest::addColumn<Engine>("engine");
    QTest::addColumn<QStringList>("arranged"); // SQL on the demo register, which holds together
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("found"); // the findings, a line each
    QTest::addColumn<QString>("fixed"); // what --fix-totals prints after them
    const QString transfer =
        "INSERT INTO transfer_data (stock_no, transferred_date, before_holder, new_holder) VALUES ";
    const QString stockType = "UPDATE stock_data SET stock_type = 3 WHERE stock_no = 'SC-0008'";
    const QString typeFound = "Certificate SC-0008: stock type 3 is not one of its codes, 1 (common) or 2 (special).";
    for (const Engine engine : {Engine::File, Engine::Server}) {
        const char* on = engine == Engine::File ? "file" : "server";
        const auto row = [&](const char* name, const QStringList& arranged, const QString& found,
                             const QStringList& options = {}, const QString& fixed = {}) {
            QTest::addRow("%s, %s", on, name) << engine << arranged << options << found << fixed;
        };
        row("nothing wrong", {}, "");
        row("a leap day", {"UPDATE stock_data SET publish_date = '2024-02-29' WHERE stock_no = 'SC-0003'"}, "");
        row("total differs", {"UPDATE stockholder SET total_share = 1 WHERE stockholder_no = 3"},
            "Shareholder 3: total share 1, but the certificates held now come to 8300.");
        row("original holder missing", {"UPDATE stock_data SET original_holder = 42 WHERE stock_no = 'SC-0001'"},
            "Certificate SC-0001: original holder 42 is not a shareholder.");
        row("present holder missing",
            {"UPDATE stock_data SET present_holder = 42 WHERE stock_no = 'SC-0001'",
             "UPDATE stockholder SET total_share = 0 WHERE stockholder_no = 1"},
            "Certificate SC-0001: present holder 42 is not a shareholder.");
        row("transfer of a missing certificate", {transfer + "('SC-0099', '2020-01-01', 1, 2)"},
            "Transfer of SC-0099 (record 9): there is no certificate SC-0099.");
        // The later record of one day is the last transfer.
        row("last transfer ends elsewhere", {transfer + "('SC-0002', '2002-05-17', 7, 4)"},
            "Certificate SC-0002: its last transfer (record 9, 2002-05-17) ends with shareholder 4, but its "
            "present "
            "holder is 7.");
        row("certificate number twice", {"UPDATE stock_data SET stock_no = 'SC-0001' WHERE stock_no = 'SC-0015'"},
            "Certificate SC-0001 (record 15): the number is already on record 1.");
        row("shareholder number twice",
            {"INSERT INTO stockholder (stockholder_no, stockholder_name, total_share) VALUES (9, 'S. P.', 300)"},
            "Shareholder 9 (record 11): the number is already on record 9.");
        row("publish date not in the calendar",
            {"UPDATE stock_data SET publish_date = '2024-02-30' WHERE stock_no = 'SC-0003'"},
            "Certificate SC-0003: publish date \"2024-02-30\" is not a real date (YYYY-MM-DD).");
        row("birth date in another form", {"UPDATE stockholder SET birth_date = '17/01/1990' WHERE stockholder_no = 6"},
            "Shareholder 6: birth date \"17/01/1990\" is not a real date (YYYY-MM-DD).");
        row("transferred date past the month's end",
            {"UPDATE transfer_data SET transferred_date = '2011-04-31' WHERE transferred_date = '2011-03-22'"},
            "Transfer of SC-0004 (record 3): transferred date \"2011-04-31\" is not a real date (YYYY-MM-DD).");
        row("stock type", {stockType}, typeFound);
        row("character", {"UPDATE stockholder SET \"character\" = 0 WHERE stockholder_no = 6"},
            "Shareholder 6: character 0 is not one of its codes, 1 (natural person) or 2 (juristic person).");
        row("gender", {"UPDATE stockholder SET gender = 2 WHERE stockholder_no = 6"},
            "Shareholder 6: gender 2 is not one of its codes, 0 (female) or 1 (male).");
        row("as CSV", {stockType}, "stock_data,8,SC-0008,\"" + typeFound + "\"", {"--csv"});
        row("total set", {"UPDATE stockholder SET total_share = NULL WHERE stockholder_no = 3"},
            "Shareholder 3: total share is empty, but the certificates held now come to 8300.", {"--fix-totals"},
            "Setting 1 total:\n  Shareholder 3 (record 3): total share (empty) → 8300\nSet 1 total.\n");
        row("a quantity below zero", {"UPDATE stock_data SET stock_qty = -100 WHERE stock_no = 'SC-0010'"},
            "Certificate SC-0010: stock qty -100 is below zero, so shareholder 5's total cannot be checked.",
            {"--fix-totals"}, "No total to set.\n");
        row("a quantity of none",
            {"UPDATE stock_data SET stock_qty = 0 WHERE stock_no = 'SC-0013'",
             "UPDATE stockholder SET total_share = 650 WHERE stockholder_no = 7"},
            "Certificate SC-0013: stock qty 0 is no shares.");
        row("records with no number",
            {"INSERT INTO stock_data (item_code) VALUES ('blank')",
             "INSERT INTO stockholder (stockholder_name) VALUES ('Left blank')",
             "INSERT INTO transfer_data (item_code) VALUES ('blank')"},
            "Certificate without a number (record 16): the number is empty, so no transfer can name it.\n"
            "Shareholder without a number (record 11): the number is empty, so no certificate can name it.\n"
            "Transfer without a certificate number (record 9): the certificate number is empty.");
        // Inspect and check show what acts on a terminal as escapes.
        row("control codes",
            {"CREATE TABLE \"odd\x1b]0;owned\x07\x1b[2J\" (\"c\u009bol\u202e\" TEXT)",
             "UPDATE stockholder SET birth_date = '\u202e1990-01-17\u009b' WHERE stockholder_no = 6"},
            "Shareholder 6: birth date \"\\u202e1990-01-17\\u009b\" is not a real date (YYYY-MM-DD).");
    }
    // Only a file's number column can hold a text.
    QTest::newRow("file, a holder as text")
        << Engine::File << QStringList{"UPDATE stock_data SET original_holder = 'seven' WHERE stock_no = 'SC-0003'"}
        << QStringList() << "Certificate SC-0003: original holder \"seven\" is not a shareholder number."
        << "";
    QTest::newRow("file, a quantity as text")
        << Engine::File << QStringList{"UPDATE stock_data SET stock_qty = 'lots' WHERE stock_no = 'SC-0010'"}
        << QStringList()
        << "Certificate SC-0010: stock qty \"lots\" is not a whole number, so shareholder 5's total cannot be "
           "checked."
        << "";
    // As import keeps them: each names shareholder 7, whose total of 1250 is right.
    QTest::newRow("file, holders kept as bytes")
        << Engine::File
        << QStringList{"UPDATE stock_data SET present_holder = CAST('7.0' AS BLOB) WHERE stock_no = 'SC-0002'",
                       "UPDATE stock_data SET present_holder = CAST(' 7 ' AS BLOB) WHERE stock_no = 'SC-0011'"}
        << QStringList{"--fix-totals"} << ""
        << "No total to set.\n";
    QTest::newRow("file, a holder that names no number")
        << Engine::File
        << QStringList{"UPDATE stock_data SET present_holder = CAST('7.5' AS BLOB) WHERE stock_no = 'SC-0013'"}
        << QStringList{"--fix-totals"}
        << "Certificate SC-0013: present holder \"7.5\" is not a shareholder number.\nShareholder 7: total share "
           "1250, but the certificates held now come to 650."
        << "Not set, because the present holder \"7.5\" of a certificate is no shareholder number, and may be "
           "theirs: Shareholder 7 (record 7): total share 1250 → 650\nNo total to set.\n";
}

void TestRegisterCommands::checkFindsWhatIsWrong()
{
    QFETCH(Engine, engine);
    QFETCH(QStringList, arranged);
    QFETCH(QStringList, options);
    QFETCH(QString, found);
    QFETCH(QString, fixed);
    TempRegister target(engine, false);
    VELMORA_REQUIRE(target);
    QCOMPARE(run({"init", "--demo", target.path()}).status, 0);
    for (const QString& statement : arranged)
        QCOMPARE(target.exec(statement), "");
    const QString totals = "SELECT total_share FROM stockholder ORDER BY " + target.key();
    const QList<QVariantList> before = target.rows(totals);
    const QStringList checkIt{"check", target.path()};
    const Run checked = run(checkIt.first(1) + options + checkIt.mid(1));
    const qsizetype count = found.isEmpty() ? 0 : found.count('\n') + 1;
    const bool set = fixed.contains("Set 1 total.");
    QCOMPARE(checked.status, count > (set ? 1 : 0) ? 1 : 0);
    const QRegularExpression raw("[\\x00-\\x09\\x0b-\\x1f\\x7f-\\x9f\\x{202a}-\\x{202e}\\x{2066}-\\x{2069}]");
    // A table a row makes is listed by inspect with the same escapes.
    const Run inspected = arranged.filter("CREATE TABLE").isEmpty() ? Run{0, {}, {}} : run({"inspect", target.path()});
    QVERIFY2(inspected.status == 0 && !inspected.out.contains(raw), qPrintable(inspected.out));
    if (options.contains("--csv")) {
        QCOMPARE(checked.out, "table,row_key,record,finding\r\n" + found + "\r\n");
        return;
    }
    const QString named = "the register \"" + Connection::pathOf(target.path()) + "\"";
    const QString report = count == 0 ? "Nothing found: " + named + " holds together.\n"
                                      : QStringLiteral("%1\n%2 finding%3 in %4.\n")
                                            .arg(found)
                                            .arg(count)
                                            .arg(count == 1 ? QString() : QStringLiteral("s"), named);
    QCOMPARE(checked.out, report + fixed);
    if (!set) {
        QCOMPARE(target.rows(totals), before);
        return;
    }
    QCOMPARE(target.rows("SELECT total_share FROM stockholder WHERE stockholder_no = 3"), QList<QVariantList>{{8300}});
    const QVariantList entry =
        target.rows("SELECT table_name, row_key, record, action, changes FROM velmora_history ORDER BY seq DESC")
            .value(0);
    QCOMPARE(entry, (QVariantList{"stockholder", 3, "3", "modify",
                                  history::encode({{"total_share", QVariant(), qint64(8300)}})}));
    QCOMPARE(run({"history", "--verify", target.path()}).status, 0);
    const Run again = run(checkIt);
    QCOMPARE(again.status, 0);
    QCOMPARE(again.out, "Nothing found: " + named + " holds together.\n");
}

void TestRegisterCommands::reportsTheRegisterOfMembers_data()
{
    QTest::addColumn<Engine>("engine");
    QTest::addColumn<QStringList>("arranged"); // SQL on the register below
    QTest::addColumn<QStringList>("unheld");   // the certificates held by no shareholder
    const QString unheld = "INSERT INTO stock_data (stock_no, present_holder, stock_qty) VALUES ('SC-none', NULL, 5), "
                           "('SC-gone', 99, 6)";
    for (const Engine engine : {Engine::File, Engine::Server}) {
        const char* on = engine == Engine::File ? "file" : "server";
        QTest::addRow("%s", on) << engine << QStringList() << QStringList();
        QTest::addRow("%s, certificates held by no shareholder", on)
            << engine << QStringList{unheld} << QStringList{"SC-none", "SC-gone"};
    }
    // Shareholder 7's as import keeps them: under shareholder 7 still.
    QTest::newRow("file, holders kept as bytes")
        << Engine::File
        << QStringList{"UPDATE stock_data SET present_holder = CAST(' 7 ' AS BLOB) WHERE stock_no = 'SC-07-01'",
                       "UPDATE stock_data SET present_holder = CAST('7.0' AS BLOB) WHERE stock_no = 'SC-07-02'"}
        << QStringList();
}

// The register of members as an auditor reads it: each shareholder with their certificates and total, names in
// any script as typed, every page numbered out of the right count, a table's header again where it goes on.
void TestRegisterCommands::reportsTheRegisterOfMembers()
{
    QFETCH(Engine, engine);
    QFETCH(QStringList, arranged);
    QFETCH(QStringList, unheld);
    const QString reader = QStandardPaths::findExecutable("pdftotext");
    if (reader.isEmpty() && qEnvironmentVariableIsSet("CI"))
        QFAIL("pdftotext is missing (poppler-utils): the report cannot be read back");
    if (reader.isEmpty())
        QSKIP("pdftotext is missing: install poppler-utils to read the report back");
    TempRegister target(engine);
    VELMORA_REQUIRE(target);
    const QStringList names{"王小明", "Αλέξανδρος Παπαδόπουλος", "Joséphine Duffield-Ørsted"};
    // Twelve shareholders with three certificates each, but shareholder 7 with ninety: more than a page.
    QStringList holders, certificates;
    for (int holder = 1; holder <= 12; ++holder) {
        const int count = holder == 7 ? 90 : 3;
        int total = 0;
        for (int i = 1; i <= count; ++i) {
            certificates.append(QStringLiteral("('SC-%1-%2', %3, '2001-02-%4', 'IC-%1', %1, %1, %5)")
                                    .arg(holder, 2, 10, QChar('0'))
                                    .arg(i, 2, 10, QChar('0'))
                                    .arg(1 + i % 2)
                                    .arg(1 + i % 28, 2, 10, QChar('0'))
                                    .arg(10 * i + holder));
            total += 10 * i + holder;
        }
        const QString name = holder <= names.size() ? names[holder - 1] : QStringLiteral("Holder %1").arg(holder);
        // Shareholder 5's stored total is one short: the check finds it.
        holders.append(QStringLiteral("(%1, 1, '%2', 0, '%3', %4)")
                           .arg(holder)
                           .arg(name, QStringLiteral("1980-01-%1").arg(holder, 2, 10, QChar('0')))
                           .arg(holder == 5 ? total - 1 : total));
    }
    QCOMPARE(target.exec("INSERT INTO stockholder (stockholder_no, character, stockholder_name, gender, birth_date, "
                         "total_share) VALUES "
                         + holders.join(", ")),
             "");
    QCOMPARE(target.exec("INSERT INTO stock_data (stock_no, stock_type, publish_date, item_code, original_holder, "
                         "present_holder, stock_qty) VALUES "
                         + certificates.join(", ")),
             "");
    QCOMPARE(target.exec("INSERT INTO transfer_data VALUES ('SC-02-01', '2010-05-01', 1, 2, 'IC-02'), ('SC-03-01', "
                         "'2003-05-01', 1, 3, 'IC-03'), ('SC-04-01', '2007-05-01', 1, 4, 'IC-04')"),
             "");
    // A second shareholder 4, one with no number, and an item code too long for six lines of its column.
    QCOMPARE(target.exec("INSERT INTO stockholder (stockholder_no, stockholder_name) VALUES (4, 'Second four'), (NULL, "
                         "'Nobody numbered')"),
             "");
    QCOMPARE(target.exec("UPDATE stock_data SET item_code = ? WHERE stock_no = 'SC-08-01'", {QString(500, 'W')}), "");
    for (const QString& statement : arranged)
        QCOMPARE(target.exec(statement), "");

    QVERIFY(target.isServer() || chmod(QFile::encodeName(target.path()), 0600) == 0);
    QTemporaryDir directory;
    const QString pdf = directory.filePath("members.pdf");
    const Run made = run({"report", target.path(), pdf});
    QCOMPARE(made.status, 0);
    QCOMPARE(TempRegister::modeOf(pdf), 0600); // as private as the register
    QProcess pdftotext;
    pdftotext.start(reader, {"-layout", "-enc", "UTF-8", pdf, "-"});
    QVERIFY(pdftotext.waitForFinished(20000) && pdftotext.exitCode() == 0);
    const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput());
    QStringList pages = text.split('\f');
    pages.removeLast(); // after the last page's form feed
    QVERIFY2(pages.size() >= 3 && made.out.contains(QStringLiteral(": %1 pages.").arg(pages.size())),
             qPrintable(made.out));
    for (int page = 1; page <= pages.size(); ++page)
        QVERIFY2(pages[page - 1].contains(QStringLiteral("page %1 of %2").arg(page).arg(pages.size())),
                 qPrintable(pages[page - 1]));
    for (int holder = 1; holder <= names.size(); ++holder)
        QVERIFY2(text.contains(QStringLiteral("Shareholder %1: %2\n").arg(holder).arg(names[holder - 1])),
                 qPrintable(names[holder - 1]));
    const auto section = [&](int holder) {
        const qsizetype from = text.indexOf(QStringLiteral("Shareholder %1: ").arg(holder));
        return text.mid(from, text.indexOf(QStringLiteral("Shareholder %1: ").arg(holder + 1)) - from);
    };
    // 90 certificates of 10 × i + 7 add up to 41,580.
    QVERIFY(section(7).contains(QRegularExpression("\nSC-07-42 +1 \\(common\\) +2001-02-15 +IC-07 +427\n")));
    QVERIFY(section(7).contains(QRegularExpression("\n *Total +41580\n")));
    const qsizetype continued = section(7).indexOf("Certificates of shareholder 7, Holder 7 (continued)\n");
    QVERIFY(continued > 0);
    QVERIFY(section(7)
                .mid(continued)
                .section('\n', 1, 1)
                .contains(QRegularExpression("^Certificate +Type +Publish date +Item code +Quantity$")));
    QVERIFY(section(5).contains("Finding: "));
    QVERIFY(!section(6).contains("Finding: "));
    QCOMPARE(section(4).count("\nSC-04-01 "), 2); // under each shareholder 4
    QVERIFY(section(8).contains(QRegularExpression("\nSC-08-01 .*\n( +W+\n){4} +W+…\n")));
    QVERIFY(text.indexOf("Shareholder (no number): Nobody numbered") > text.indexOf("Shareholder 12: "));
    // Each certificate counted once, though both shareholders 4 list theirs; the rest listed at the end.
    QVERIFY2(text.contains("14 shareholders, holding 123 certificates between them;"), qPrintable(pages.first()));
    QStringList listed;
    const qsizetype closing = text.indexOf("Certificates held by no shareholder\n");
    for (const QRegularExpressionMatch& row :
         QRegularExpression("\n(SC-\\S+) ").globalMatch(text.mid(closing, text.indexOf("Findings tied") - closing)))
        listed.append(row.captured(1));
    QVERIFY(closing > text.indexOf("Transfers ledger"));
    QCOMPARE(listed, unheld);
    const qsizetype ledger = text.indexOf("Transfers ledger");
    QVERIFY(ledger > 0 && ledger < text.indexOf("SC-03-01 ", ledger)
            && text.indexOf("SC-03-01 ", ledger) < text.indexOf("SC-04-01 ", ledger)
            && text.indexOf("SC-04-01 ", ledger) < text.indexOf("SC-02-01 ", ledger));

    // A report there is kept unless forced; nothing is left beside it.
    const QByteArray first = contentOf(pdf);
    QCOMPARE(run({"report", target.path(), pdf}).status, 1);
    QCOMPARE(contentOf(pdf), first);
    QCOMPARE(run({"report", "--force", target.path(), pdf}).status, 0);
    QCOMPARE(QDir(directory.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"members.pdf"});
}

QTEST_GUILESS_MAIN(TestRegisterCommands)
#include "tst_registercommands.moc"
