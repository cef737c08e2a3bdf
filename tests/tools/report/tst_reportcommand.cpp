#include "inwords.h"
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
    void writesTheCompanysPapers_data();
    void writesTheCompanysPapers();
    void writesSharesInWords_data();
    void writesSharesInWords();
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
    QTest::newRow("certificate naming no shareholder")
        << QStringList{"certificate", "{d}/old.mdb", "{d}/c.pdf", "SC-1"} << "bytes" << QString()
        << "certificate \"SC-1\" names no shareholder as its present holder (none)";
    QTest::newRow("certificate of a number no certificate has")
        << QStringList{"certificate", "{d}/old.mdb", "{d}/c.pdf", "SC-9"} << "register" << QString()
        << "no certificate has the number \"SC-9\"";
    QTest::newRow("certificates of an empty register")
        << QStringList{"certificate", "{d}/old.mdb", "{d}/c.pdf"} << "register" << QString() << "holds no certificate";
    QTest::newRow("company details into a register made before them")
        << QStringList{"company", "{d}/old.mdb", "name=Ωmega"} << "register without velmora_company" << QString()
        << "it was made before the table velmora_company, which an upgrade adds";
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
    // Shareholder 7 holds 41,580 of the 42,453 shares held; twelve numbers, the last two as one bar.
    QVERIFY(pages.first().contains(QRegularExpression("\nHolding more than 25%: 7 Holder 7 \\(97\\.94%\\)\n")));
    QVERIFY(pages.first().contains(QRegularExpression("\nthe other 2 shareholders +0\\.\\d\\d%\n")));
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

void TestReportCommand::writesTheCompanysPapers_data()
{
    QTest::addColumn<Engine>("engine");
    QTest::addColumn<QStringList>("arguments"); // {r} the register, {f} the PDF
    QTest::addColumn<int>("pages");
    QTest::addColumn<QStringList>("shown"); // each on the pages, blanks between words counted as one
    QTest::addColumn<QStringList>("withheld");
    QTest::addColumn<bool>("older"); // made before the added tables, so without the company's details
    const QString company = "Nordvik Shipping AB";
    for (const Engine engine : {Engine::File, Engine::Server}) {
        const char* on = engine == Engine::File ? "file" : "server";
        // SC-0004: 2 to 5 on 2004-12-01, then 5 to 9 on 2011-03-22.
        QTest::addRow("%s, a certificate transferred twice", on)
            << engine << QStringList{"certificate", "{r}", "{f}", "SC-0004"} << 1
            << QStringList{company,
                           "Registration no. 556000-1234",
                           "Registered office: Strandvägen 7, 114 56 Stockholm Share certificate",
                           "Share certificate no. SC-0004",
                           "This is to certify that Σοφία Παπαδοπούλου",
                           "200 (Two hundred) shares of type Preference (code 2), fully paid", // no nominal value set
                           "2004-12-01 2 Jonas Lindqvist 5 Наталья Петрова",
                           "2011-03-22 5 Наталья Петрова 9 Σοφία Παπαδοπούλου",
                           "Director",
                           "Secretary"}
            << QStringList{"Sweden", "Joséphine"} << false;
        QTest::addRow("%s, every certificate", on) << engine << QStringList{"certificate", "{r}", "{f}"} << 15
                                                   << QStringList{"1,000 (One thousand) shares of type Ordinary (code "
                                                                  "1), nominal value SEK 0.50 each, fully paid",
                                                                  "5,000 (Five thousand) shares",
                                                                  "100 (One hundred) shares",
                                                                  "田中陽翔",
                                                                  "Siobhán O'Brien",
                                                                  "not been transferred"}
                                                   << QStringList{"Birthday", "nominal value SEK 10"} << false;
        QTest::addRow("%s, the register of transfers", on)
            << engine << QStringList{"report", "--transfers", "{r}", "{f}"} << 1
            << QStringList{"Register of transfers " + company,
                           "2011-03-22 SC-0004 200 5 Наталья Петрова 9 Σοφία Παπαδοπούλου",
                           "2015-02-14 SC-0009 300 4 王小明 10 田中陽翔"}
            << QStringList() << false;
        QTest::addRow("%s, the copy for inspection", on)
            << engine << QStringList{"report", "--inspection", "{r}", "{f}"} << 0
            << QStringList{"Register of members, for inspection " + company,
                           "Last changed 20",
                           "the newest change in its history",
                           "Shareholder 6: Siobhán O'Brien",
                           "Address 1 Strandvägen 21",
                           "SC-0009 1 (common)"}
            << QStringList{"1956-03-14", "A123456789", "01423 550 118", "Birthday", "Gender", "Telephone", "Finding"}
            << false;
        QTest::addRow("%s, the register of members", on)
            << engine << QStringList{"report", "{r}", "{f}"} << 0
            << QStringList{"Register of members " + company + ", registration no. 556000-1234",
                           "Holding more than 25%: 3 Brenmoor Holdings Ltd (59.07%)",
                           "Holding more than 10%: 3 Brenmoor Holdings Ltd (59.07%)",
                           "4 王小明 300 2.14%",
                           "SC-0004 2011-03-22 5 Наталья Петрова 9 Σοφία Παπαδοπούλου",
                           "Birthday 1956-03-14"}
            << QStringList{} << false;
        QTest::addRow("%s, certificates of a register made before the company's table", on)
            << engine << QStringList{"certificate", "{r}", "{f}", "SC-0009"} << 1
            << QStringList{"Share certificate no. SC-0009 Certificate no. SC-0009", "This is to certify that 田中陽翔",
                           "300 (Three hundred) shares of type 1, fully paid"}
            << QStringList{company, "Registration", "Registered office", "nominal value"} << true;
        QTest::addRow("%s, the copy for inspection of a register made before the company's table", on)
            << engine << QStringList{"report", "--inspection", "{r}", "{f}"} << 0
            << QStringList{"Register of members, for inspection Register ", "Holding more than 25%"}
            << QStringList{company, "1956-03-14"} << true;
    }
}

// The certificates and the statutory registers as the secretary prints them, read back from the PDF.
void TestReportCommand::writesTheCompanysPapers()
{
    QFETCH(Engine, engine);
    QFETCH(QStringList, arguments);
    QFETCH(int, pages);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, withheld);
    QFETCH(bool, older);
    const QString reader = QStandardPaths::findExecutable("pdftotext");
    if (reader.isEmpty())
        QSKIP("pdftotext is missing: install poppler-utils to read the PDF back");
    TempRegister target(engine, false);
    VELMORA_REQUIRE(target);
    QCOMPARE(run({"init", "--demo", target.path()}).status, 0);
    QVERIFY(target.isServer() || chmod(QFile::encodeName(target.path()), 0600) == 0);
    if (older) {
        QCOMPARE(target.exec("DROP TABLE velmora_company"), "");
        QCOMPARE(target.exec("DROP TABLE velmora_cancelled"), "");
    }
    // The country and type 2's nominal value are left unset.
    const Run set = older ? run({"company", target.path()})
                          : run({"company", target.path(), "name=Nordvik Shipping AB", "number=556000-1234",
                                 "office=Strandvägen 7; 114 56 Stockholm", "currency=SEK", "type.1.name=Ordinary",
                                 "type.01.par=0.50", "type.2.name=Preference", "country=Sweden", "country="});
    QVERIFY2(set.status == 0 && set.out.contains(older ? "No company details are set" : "\ntype.1.par: 0.50\n")
                 && !set.out.contains("country"),
             qPrintable(set.out + set.err));
    // Each change is in the history, on a file as on a server.
    QCOMPARE(run({"history", "--csv", "--table", "velmora_company", target.path()})
                 .out.contains(",country,delete,value,Sweden,"),
             !older);
    QTemporaryDir directory;
    const QString pdf = directory.filePath("papers.pdf");
    arguments.replaceInStrings("{r}", target.path()).replaceInStrings("{f}", pdf);
    const Run made = run(arguments);
    QVERIFY2(made.status == 0, qPrintable(made.err));
    QCOMPARE(TempRegister::modeOf(pdf), 0600);
    QProcess pdftotext;
    pdftotext.start(reader, {"-layout", "-enc", "UTF-8", pdf, "-"});
    QVERIFY(pdftotext.waitForFinished(20000) && pdftotext.exitCode() == 0);
    QString text = QString::fromUtf8(pdftotext.readAllStandardOutput());
    if (pages > 0)
        QCOMPARE(text.count('\f'), pages);
    text = text.simplified();
    for (const QString& expected : shown)
        QVERIFY2(text.contains(expected), qPrintable(expected + "\n" + text));
    for (const QString& absent : withheld)
        QVERIFY2(!text.contains(absent), qPrintable(absent));
}

void TestReportCommand::writesSharesInWords_data()
{
    QTest::addColumn<qint64>("number");
    QTest::addColumn<QString>("words");
    QTest::newRow("one") << qint64(1) << "One";
    QTest::newRow("twenty-one") << qint64(21) << "Twenty-one";
    QTest::newRow("a hundred") << qint64(100) << "One hundred";
    QTest::newRow("a thousand") << qint64(1000) << "One thousand";
    QTest::newRow("five thousand") << qint64(5000) << "Five thousand";
    QTest::newRow("a thousand and five") << qint64(1005) << "One thousand and five";
    QTest::newRow("millions") << qint64(1234567)
                              << "One million two hundred and thirty-four thousand five hundred and sixty-seven";
    QTest::newRow("a million and ten") << qint64(1000010) << "One million and ten";
    QTest::newRow("none") << qint64(0) << "Zero";
}

void TestReportCommand::writesSharesInWords()
{
    QFETCH(qint64, number);
    QFETCH(QString, words);
    QCOMPARE(inWords(number), words);
}

QTEST_GUILESS_MAIN(TestReportCommand)
#include "tst_reportcommand.moc"
