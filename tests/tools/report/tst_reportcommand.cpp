#include "tooltest.h"

using namespace tooltest;

Q_DECLARE_METATYPE(Engine)

// report, run as the clerk would run it.
class TestReportCommand : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void refusesWhatItCannotConvert_data();
    void refusesWhatItCannotConvert();
    void reportsTheRegisterOfMembers_data();
    void reportsTheRegisterOfMembers();
};

void TestReportCommand::refusesWhatItCannotConvert_data()
{
    refusalColumns();
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
    QTest::newRow("report over the register itself") << QStringList{"report", "{d}/old.mdb", "{d}/./old.mdb"}
                                                     << "register" << QString() << "\"{d}/old.mdb\"" + beingRead;
    QTest::newRow("report over the register's -wal")
        << QStringList{"report", "--force", "{d}/old.mdb", "{d}/old.mdb-wal"} << "register" << QString()
        << "\"{d}/old.mdb-wal\": it is the -wal file of the register being read";
}

void TestReportCommand::refusesWhatItCannotConvert()
{
    refuses();
}

void TestReportCommand::reportsTheRegisterOfMembers_data()
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
void TestReportCommand::reportsTheRegisterOfMembers()
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

QTEST_GUILESS_MAIN(TestReportCommand)
#include "tst_reportcommand.moc"
