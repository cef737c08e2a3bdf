#include "tooltest.h"

using namespace tooltest;

// velmora-register's command line, its help and its version.
class TestRegisterTool : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void refusesAWrongCommandLine_data();
    void refusesAWrongCommandLine();
    void explainsItself();
};

void TestRegisterTool::refusesAWrongCommandLine_data()
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
    QTest::newRow("report, two registers at once")
        << QStringList{"report", "--transfers", "--inspection", "a.mdb", "b.pdf"};
    QTest::newRow("certificate without a file") << QStringList{"certificate", "a.mdb"};
    QTest::newRow("company without a register") << QStringList{"company"};
    QTest::newRow("company, unknown key") << QStringList{"company", "a.mdb", "name=Ωmega", "colour=red"};
    QTest::newRow("company, no KEY=VALUE") << QStringList{"company", "a.mdb", "name"};
    QTest::newRow("company, a type code that is no whole number") << QStringList{"company", "a.mdb", "type.1a.par=1"};
    QTest::newRow("company, a type code with a sign") << QStringList{"company", "a.mdb", "type.-1.name=Ordinary"};
    QTest::newRow("company, a nominal value that is no number") << QStringList{"company", "a.mdb", "type.1.par=1,50"};
    QTest::newRow("company, a nominal value in floating point") << QStringList{"company", "a.mdb", "type.1.par=1e3"};
    QTest::newRow("company, votes that are no whole number") << QStringList{"company", "a.mdb", "type.2.votes=0.5"};
    QTest::newRow("company, an unknown type detail") << QStringList{"company", "a.mdb", "type.2.colour=red"};
    QTest::newRow("transfer to no one") << QStringList{"transfer", "a.mdb", "SC-1"};
    QTest::newRow("transfer of no certificate") << QStringList{"transfer", "a.mdb", "--to", "7"};
}

void TestRegisterTool::refusesAWrongCommandLine()
{
    QFETCH(QStringList, arguments);
    QTemporaryDir directory;
    const Run refused = run(arguments, directory.path());
    QCOMPARE(refused.status, 2);
    QVERIFY(refused.err.contains("--help"));
    QCOMPARE(refused.err.count('\n'), 2); // what is wrong, and where to read more
    QVERIFY(QDir(directory.path()).isEmpty());
}

void TestRegisterTool::explainsItself()
{
    const Run help = run({"--help"});
    QCOMPARE(help.status, 0);
    QVERIFY(help.out.contains("init [--demo] [--role NAME] REGISTER") && help.out.contains("copy [--role NAME] FROM TO")
            && help.out.contains("inspect REGISTER") && help.out.contains("export [--force] [--raw] REGISTER DIR")
            && help.out.contains("history --verify REGISTER") && help.out.contains("upgrade [--role NAME] REGISTER")
            && help.out.contains("backup [--force] REGISTER FILE") && help.out.contains("restore BACKUP REGISTER")
            && help.out.contains("check [--csv] [--fix-totals] REGISTER")
            && help.out.contains("report [--force] [--transfers|--inspection] [--on DATE] [--as-recorded-at MOMENT] "
                                 "REGISTER FILE")
            && help.out.contains("certificate [--force] REGISTER FILE [STOCK_NO...]")
            && help.out.contains("company REGISTER [KEY=VALUE...]") && help.out.contains("members [--on DATE]")
            && help.out.contains("meeting --record-date DATE")
            && help.out.contains("dividend --record-date DATE --per-share AMOUNT")
            && help.out.contains("transfer REGISTER STOCK_NO --to HOLDER [--date DATE]"));
    const Run version = run({"--version"});
    QCOMPARE(version.status, 0);
    QCOMPARE(version.out, "velmora-register " VELMORA_VERSION "\n");

    QTemporaryDir directory;
    const Run failed = run({"init", directory.filePath("no/such/folder/stock.mdb")});
    QCOMPARE(failed.status, 1);
    QVERIFY(!failed.err.isEmpty());
}

QTEST_GUILESS_MAIN(TestRegisterTool)
#include "tst_registertool.moc"
