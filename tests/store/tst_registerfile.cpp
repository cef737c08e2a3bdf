#include "connection.h"
#include "recordset.h"
#include "registerfile.h"
#include "registerpath.h"
#include "schema.h"
#include "tempregister.h"

#include <QtTest>

#include <sys/stat.h>

class TestRegisterFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void pathHasExactlyOneSeparator_data();
    void pathHasExactlyOneSeparator();
    void createMakesTheThreeTables();
    void createRefusesAnExistingFile();
    void createLeavesNoFileWhenFillingFails();
    void createBuildsBesideAndMovesIntoPlace();
    void createLetsTheGroupOfASharedFolderWrite_data();
    void createLetsTheGroupOfASharedFolderWrite();
    void openRefusesWhatIsNotARegister_data();
    void openRefusesWhatIsNotARegister();
    void openRefusesTheSampleAccessFiles_data();
    void openRefusesTheSampleAccessFiles();
    void openNeedsTheTableAndItsColumns_data();
    void openNeedsTheTableAndItsColumns();
    void opensAPathWithCharactersThatMeanSomethingInAUri();
    void openReportsADamagedFile();
    void connectionNamesAreOwnAndRemoved();
};

void TestRegisterFile::pathHasExactlyOneSeparator_data()
{
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QString>("path");
    QTest::newRow("ordinary") << "/opt/velmora"
                              << "/opt/velmora/stock.mdb";
    QTest::newRow("root") << "/"
                          << "/stock.mdb";
    QTest::newRow("ends in a separator") << "/opt/velmora/"
                                         << "/opt/velmora/stock.mdb";
    QTest::newRow("with blanks") << "/home/a clerk/Velmora"
                                 << "/home/a clerk/Velmora/stock.mdb";
}

void TestRegisterFile::pathHasExactlyOneSeparator()
{
    QFETCH(QString, directory);
    QFETCH(QString, path);
    QCOMPARE(registerpath::in(directory), path);
}

void TestRegisterFile::createMakesTheThreeTables()
{
    TempRegister reg;
    QVERIFY2(reg.isValid(), qPrintable(reg.error()));
    for (const schema::Table& table : schema::tables()) {
        const auto columns = reg.rows(QStringLiteral("PRAGMA table_info(%1)").arg(table.name));
        QCOMPARE(columns.size(), table.columns.size());
        for (int i = 0; i < columns.size(); ++i) {
            QCOMPARE(columns[i][1].toString(), table.columns[i].name);
            const bool integer = table.columns[i].storage == schema::Storage::Integer;
            QCOMPARE(columns[i][2].toString(), integer ? "INTEGER" : "TEXT");
            QCOMPARE(columns[i][3].toInt(), 0); // nothing required
            QCOMPARE(columns[i][5].toInt(), 0); // no key
        }
    }
    // No index on the three tables; the history's numbers have their own.
    QCOMPARE(reg.rows("SELECT tbl_name FROM sqlite_master WHERE type = 'index'"),
             (QList<QVariantList>{{"velmora_history"}}));
}

void TestRegisterFile::createRefusesAnExistingFile()
{
    QTemporaryDir directory;
    const QString path = directory.filePath("stock.mdb");
    QFile existing(path);
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write("the clerk's own file");
    existing.close();
    const Status created = registerfile::create(path);
    QVERIFY(!created.ok());
    QVERIFY(created.message().contains(path));
    QVERIFY(existing.open(QIODevice::ReadOnly));
    QCOMPARE(existing.readAll(), "the clerk's own file");
    QCOMPARE(registerfile::create("").message(), "Cannot create a register: no path was given.");
}

void TestRegisterFile::createLeavesNoFileWhenFillingFails()
{
    QTemporaryDir directory;
    const QString path = directory.filePath("stock.mdb");
    const Status created =
        registerfile::create(path, [](QSqlDatabase&) { return Status::failure("the sample could not be written"); });
    QVERIFY(!created.ok());
    QVERIFY(created.message().contains("the sample could not be written"));
    // Neither the register nor the file it was being built in is left.
    QCOMPARE(QDir(directory.path()).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList());
}

void TestRegisterFile::createBuildsBesideAndMovesIntoPlace()
{
    QTemporaryDir directory;
    const QString path = directory.filePath("stock.mdb");
    QStringList whileFilling;
    QSet<int> modes;
    const Status created = registerfile::create(path, [&](QSqlDatabase&) {
        whileFilling = QDir(directory.path()).entryList(QDir::Files | QDir::Hidden);
        for (const QString& name : std::as_const(whileFilling))
            modes.insert(TempRegister::modeOf(directory.filePath(name)));
        return Status();
    });
    QVERIFY2(created.ok(), qPrintable(created.message()));
    // While it is being filled nothing stands at the target, so an interrupted fill leaves no register there.
    QVERIFY(!whileFilling.isEmpty());
    for (const QString& name : std::as_const(whileFilling)) // the file and its journal
        QVERIFY2(name.startsWith(".stock.mdb.new-"), qPrintable(name));
    QCOMPARE(modes, QSet<int>{0600}); // readable by no one else, even under a wide umask
    QCOMPARE(QDir(directory.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"stock.mdb"});
}

void TestRegisterFile::createLetsTheGroupOfASharedFolderWrite_data()
{
    QTest::addColumn<QString>("folderMode"); // as chmod takes it
    QTest::addColumn<int>("source");         // the mode of the file it is made from; 0 a server, -1 none
    QTest::addColumn<int>("replaced");       // the mode of a file there; 0 none
    QTest::addColumn<bool>("linked");        // reached through a link
    QTest::addColumn<int>("mode");
    QTest::newRow("set-group-ID, as the package makes it") << "2770" << -1 << 0 << false << 0664;
    QTest::newRow("private") << "0700" << -1 << 0 << false << 0644;
    QTest::newRow("from a private register") << "0700" << 0600 << 0 << false << 0600;
    QTest::newRow("from a group's register, set-group-ID") << "2770" << 0640 << 0 << false << 0660;
    QTest::newRow("from a server") << "0700" << 0 << 0 << false << 0600;
    QTest::newRow("over a private file") << "0700" << 0644 << 0600 << false << 0600;
    QTest::newRow("over a private file, through a link") << "0700" << 0644 << 0600 << true << 0600;
}

// A file made from another takes its bits and keeps a link as it is; the umask is as a clerk's login leaves it.
void TestRegisterFile::createLetsTheGroupOfASharedFolderWrite()
{
    QFETCH(QString, folderMode);
    QFETCH(int, source);
    QFETCH(int, replaced);
    QFETCH(bool, linked);
    QFETCH(int, mode);
    QTemporaryDir directory;
    QCOMPARE(QProcess::execute("chmod", {folderMode, directory.path()}), 0);
    const QString path = directory.filePath("stock.mdb");
    const QString end = directory.filePath(linked ? "end.mdb" : "stock.mdb");
    const QString from = source < 0 ? "" : source == 0 ? "postgresql://host/db" : directory.filePath("from.mdb");
    for (const auto& [file, bits] : {std::pair(from, source), std::pair(end, replaced)})
        QVERIFY(bits <= 0 || (QFile(file).open(QIODevice::WriteOnly) && chmod(QFile::encodeName(file), bits) == 0));
    QVERIFY(!linked || QFile::link(end, path));
    const int oldMask = umask(022);
    const Status created = replaced == 0 ? registerfile::create(path, {}, "add", from)
                                         : registerfile::build(
                                             path, from, true, [](const QString&) { return Status(); },
                                             [](const QString&, const QString& why) { return Status::failure(why); });
    umask(oldMask);
    QVERIFY2(created.ok(), qPrintable(created.message()));
    QCOMPARE(QFileInfo(path).isSymLink(), linked);
    QCOMPARE(TempRegister::modeOf(end), mode);
}

void TestRegisterFile::openRefusesWhatIsNotARegister_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: no file at all
    QTest::addColumn<QString>("folder");     // below the temporary folder
    QTest::addColumn<bool>("linked");        // opened through a link beside the program, as installed
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << QByteArray() << "" << false << "the file does not exist";
    QTest::newRow("missing, through a link")
        << QByteArray() << "var" << true << "it is a link to \"%2/var/stock.mdb\", which does not exist";
    QTest::newRow("empty file") << QByteArray("", 0) << "" << false << "the file is empty, not a Velmora register";
    QTest::newRow("text") << QByteArray("stock_no,stock_type\n1,2\n") << "" << false
                          << "it is not a Velmora register (not an SQLite database)";
    // An Access-format file is named as the earlier version's register, with the command that converts it.
    const QString earlier = "it is an Access-format register from the earlier version of this program, which "
                            "Velmora does not open. To convert it, rename it to stock-access.mdb and run:\n'%1' "
                            "import '%2/stock-access.mdb' '%2/stock.mdb'\nThe converted register takes its place";
    const QByteArray jet4("\x00\x01\x00\x00Standard Jet DB\x00\x01\x00\x00\x00", 24);
    QTest::newRow("Jet 3 header") << QByteArray("\x00\x01\x00\x00Standard Jet DB\x00\x00\x00\x00\x00", 24) << ""
                                  << false << earlier;
    QTest::newRow("Jet 4 header") << jet4 << "" << false << earlier;
    QTest::newRow("ACE header") << QByteArray("\x00\x01\x00\x00Standard ACE DB\x00\x02\x00\x00\x00", 24) << "" << false
                                << earlier;
    QTest::newRow("Jet 4 header, through a link") << jet4 << "var" << true << earlier.arg("%1", "%2/var");
    // Pasting the command runs nothing that the folder's name holds.
    QTest::newRow("folder named like shell code") << jet4 << "it's $(touch x) `touch y` \"q\"" << false
                                                  << earlier.arg("%1", "%2/it'\\''s $(touch x) `touch y` \"q\"");
}

void TestRegisterFile::openRefusesWhatIsNotARegister()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, folder);
    QFETCH(bool, linked);
    QFETCH(QString, reason);
    QTemporaryDir directory;
    QVERIFY(QDir(directory.path()).mkpath(folder.isEmpty() ? "." : folder));
    const QString file = QDir(directory.filePath(folder)).filePath("stock.mdb");
    if (!content.isNull()) {
        QFile written(file);
        QVERIFY(written.open(QIODevice::WriteOnly));
        written.write(content);
    }
    const QString path = linked ? directory.filePath("opt/stock.mdb") : file;
    QVERIFY(!linked || (QDir(directory.path()).mkpath("opt") && QFile::link(file, path)));
    const auto opened = Connection::open(path);
    QVERIFY(!opened.ok());
    const QString tool = QCoreApplication::applicationDirPath() + "/velmora-register";
    reason.replace("%1", tool).replace("%2", directory.path());
    const QString message = opened.status().message();
    QCOMPARE(message, QStringLiteral("Cannot open the register \"%1\": %2.").arg(path, reason));
    QCOMPARE(QFile::exists(file), !content.isNull()); // a missing register is never created

    // The command, pasted into a shell, gives back exactly its words and runs nothing else.
    if (const qsizetype run = message.indexOf("run:\n"); run >= 0) {
        const QString line = message.mid(run + 5).section('\n', 0, 0);
        QProcess shell;
        shell.setWorkingDirectory(directory.path());
        shell.start("sh", {"-c", "printf '%s\\n' " + line});
        QVERIFY(shell.waitForFinished());
        const QString kept = QFileInfo(file).dir().filePath("stock-access.mdb");
        QCOMPARE(QString::fromUtf8(shell.readAllStandardOutput()).split('\n'),
                 QStringList({tool, "import", kept, file, ""}));
        QCOMPARE(QDir(directory.path()).entryList({"x", "y"}), QStringList());
    }
}

void TestRegisterFile::openRefusesTheSampleAccessFiles_data()
{
    QTest::addColumn<QString>("file");
    for (const char* name : {"jet3-types.mdb", "jet4-types.mdb", "ace12-types.accdb", "jet4-empty.mdb"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestRegisterFile::openRefusesTheSampleAccessFiles()
{
    QFETCH(QString, file);
    const QString path = qEnvironmentVariable("VELMORA_SHARED") + "/fixtures/access/" + file;
    if (!QFile::exists(path))
        QSKIP("the sample Access files are not here (../shared/fixtures/access)");
    const auto opened = Connection::open(path);
    QVERIFY(!opened.ok());
    QVERIFY(opened.status().message().contains("Access-format"));
}

void TestRegisterFile::openNeedsTheTableAndItsColumns_data()
{
    QTest::addColumn<QString>("schemaChange");
    QTest::addColumn<QString>("reason");
    QTest::newRow("no table") << "DROP TABLE stock_data"
                              << "the table \"stock_data\" is missing";
    QTest::newRow("no column") << "ALTER TABLE stock_data DROP COLUMN stock_qty"
                               << "the table \"stock_data\" has no column \"stock_qty\"";
    QTest::newRow("another program's database") << "DROP TABLE stock_data; CREATE TABLE invoices (id)"
                                                << "the table \"stock_data\" is missing";
    QTest::newRow("extra column is fine") << "ALTER TABLE stock_data ADD COLUMN remark TEXT"
                                          << "";
    // Each hides the row number records are found by.
    const QString hides = ", which hides the row number Velmora finds records by. Rename that column";
    QTest::newRow("a column named rowid") << "ALTER TABLE stock_data ADD COLUMN rowid TEXT"
                                          << "the table \"stock_data\" has a column named \"rowid\"" + hides;
    QTest::newRow("a column named OID") << "ALTER TABLE stock_data ADD COLUMN OID INTEGER"
                                        << "the table \"stock_data\" has a column named \"OID\"" + hides;
    QTest::newRow("a column named _rowid_") << "ALTER TABLE stock_data ADD COLUMN _rowid_"
                                            << "the table \"stock_data\" has a column named \"_rowid_\"" + hides;
    QTest::newRow("column names in capitals are fine")
        << "DROP TABLE stock_data; CREATE TABLE STOCK_DATA (STOCK_NO, STOCK_TYPE, PUBLISH_DATE, ITEM_CODE, "
           "ORIGINAL_HOLDER, PRESENT_HOLDER, STOCK_QTY)"
        << "";
}

void TestRegisterFile::openNeedsTheTableAndItsColumns()
{
    QFETCH(QString, schemaChange);
    QFETCH(QString, reason);
    TempRegister reg;
    for (const QString& statement : schemaChange.split("; "))
        QVERIFY(reg.exec(statement).isEmpty());
    auto connection = Connection::open(reg.path());
    QVERIFY(connection.ok());
    Recordset set(std::move(connection.value()), *schema::table(u"stock_data"));
    const Status opened = set.open();
    if (reason.isEmpty()) {
        QVERIFY2(opened.ok(), qPrintable(opened.message()));
        return;
    }
    QCOMPARE(opened.message(), QStringLiteral("Cannot open the register \"%1\": %2.").arg(reg.path(), reason));
    QVERIFY(!set.isOpen());
}

void TestRegisterFile::opensAPathWithCharactersThatMeanSomethingInAUri()
{
    TempRegister reg(QString::fromUtf8("a #?%20b é&mode=ro"));
    QVERIFY2(reg.isValid(), qPrintable(reg.error()));
    QVERIFY(reg.exec("INSERT INTO stock_data (stock_no) VALUES ('X')").isEmpty());
    auto connection = Connection::open(reg.path());
    QVERIFY2(connection.ok(), qPrintable(connection.status().message()));
    Recordset set(std::move(connection.value()), *schema::table(u"stock_data"));
    QVERIFY(set.open().ok());
    QCOMPARE(set.text("stock_no"), "X");
    QVERIFY(set.deleteRecord().ok()); // opened for writing, the path's "mode=ro" notwithstanding
}

void TestRegisterFile::openReportsADamagedFile()
{
    QTemporaryDir directory;
    const QString path = directory.filePath("stock.mdb");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("SQLite format 3\0", 16) + QByteArray(4080, '\x5a'));
    file.close();
    auto connection = Connection::open(path);
    QVERIFY(connection.ok()); // the header looks right; the damage shows on reading
    Recordset set(std::move(connection.value()), *schema::table(u"stock_data"));
    const Status opened = set.open();
    QVERIFY(!opened.ok());
    QVERIFY2(opened.message().startsWith(
                 QStringLiteral("Cannot open the register \"%1\": the register file is damaged").arg(path)),
             qPrintable(opened.message()));
}

void TestRegisterFile::connectionNamesAreOwnAndRemoved()
{
    TempRegister reg;
    QString first;
    {
        auto one = Connection::open(reg.path());
        auto two = Connection::open(reg.path());
        QVERIFY(one.ok() && two.ok());
        first = one.value()->name();
        QVERIFY(first != two.value()->name());
        QVERIFY(QSqlDatabase::contains(first));
    }
    QVERIFY(!QSqlDatabase::contains(first));
}

QTEST_GUILESS_MAIN(TestRegisterFile)
#include "tst_registerfile.moc"
