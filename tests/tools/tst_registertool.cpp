#include "tempregister.h"

#include <QProcess>
#include <QtTest>

// velmora-register, run as the clerk would run it.
class TestRegisterTool : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initCreatesAnEmptyRegister();
    void demoRegisterHangsTogether();
    void neverTouchesAnExistingFile_data();
    void neverTouchesAnExistingFile();
    void refusesAWrongCommandLine_data();
    void refusesAWrongCommandLine();
    void explainsItself();

private:
    struct Run {
        int status = -1;
        QString out;
        QString err;
    };
    static Run run(const QStringList& arguments, const QString& workingDirectory = QString());
    static QList<QVariantList> rows(const QString& path, const QString& statement);
};

TestRegisterTool::Run TestRegisterTool::run(const QStringList& arguments, const QString& workingDirectory)
{
    QProcess tool;
    tool.setWorkingDirectory(workingDirectory);
    tool.start(qEnvironmentVariable("VELMORA_REGISTER_TOOL"), arguments);
    if (!tool.waitForFinished(20000))
        return {};
    return {tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1,
            QString::fromUtf8(tool.readAllStandardOutput()), QString::fromUtf8(tool.readAllStandardError())};
}

QList<QVariantList> TestRegisterTool::rows(const QString& path, const QString& statement)
{
    QList<QVariantList> result;
    {
        QSqlDatabase database = QSqlDatabase::addDatabase("QSQLITE", "tool-check");
        database.setDatabaseName(path);
        database.open();
        QSqlQuery query(database);
        query.exec(statement);
        while (query.next()) {
            QVariantList row;
            for (int i = 0; i < query.record().count(); ++i)
                row.append(query.value(i));
            result.append(row);
        }
    }
    QSqlDatabase::removeDatabase("tool-check");
    return result;
}

void TestRegisterTool::initCreatesAnEmptyRegister()
{
    QTemporaryDir directory;
    const QString path = directory.filePath("stock.mdb");
    const Run created = run({"init", path});
    QCOMPARE(created.status, 0);
    QVERIFY(created.out.contains(path));
    for (const char* table : {"stock_data", "stockholder", "transfer_data"})
        QCOMPARE(rows(path, QStringLiteral("SELECT COUNT(*) FROM %1").arg(table))[0][0].toInt(), 0);
}

void TestRegisterTool::demoRegisterHangsTogether()
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

void TestRegisterTool::neverTouchesAnExistingFile_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::newRow("init") << QStringList();
    QTest::newRow("init --demo") << QStringList{"--demo"};
}

void TestRegisterTool::neverTouchesAnExistingFile()
{
    QFETCH(QStringList, options);
    QTemporaryDir directory;
    const QString path = directory.filePath("stock.mdb");
    QFile existing(path);
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write("the clerk's register");
    existing.close();

    const Run refused = run(QStringList{"init"} + options + QStringList{path});
    QCOMPARE(refused.status, 1);
    QVERIFY2(refused.err.contains(path) && refused.err.contains("exists"), qPrintable(refused.err));
    QVERIFY(existing.open(QIODevice::ReadOnly));
    QCOMPARE(existing.readAll(), "the clerk's register");
}

void TestRegisterTool::refusesAWrongCommandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("nothing") << QStringList();
    QTest::newRow("unknown command") << QStringList{"create", "x.mdb"};
    QTest::newRow("init without a path") << QStringList{"init"};
    QTest::newRow("init with two paths") << QStringList{"init", "a.mdb", "b.mdb"};
    QTest::newRow("unknown option") << QStringList{"init", "--force", "a.mdb"};
}

void TestRegisterTool::refusesAWrongCommandLine()
{
    QFETCH(QStringList, arguments);
    QTemporaryDir directory;
    const Run refused = run(arguments, directory.path());
    QCOMPARE(refused.status, 2);
    QVERIFY(refused.err.contains("--help"));
    QVERIFY(QDir(directory.path()).isEmpty());
}

void TestRegisterTool::explainsItself()
{
    const Run help = run({"--help"});
    QCOMPARE(help.status, 0);
    QVERIFY(help.out.contains("init [--demo] PATH"));

    QTemporaryDir directory;
    const Run failed = run({"init", directory.filePath("no/such/folder/stock.mdb")});
    QCOMPARE(failed.status, 1);
    QVERIFY(!failed.err.isEmpty());
}

QTEST_GUILESS_MAIN(TestRegisterTool)
#include "tst_registertool.moc"
