#include "fakefields.h"
#include "recordset.h"
#include "schema.h"
#include "tooltest.h"

using namespace tooltest;

Q_DECLARE_METATYPE(Engine)

// members, meeting, dividend and report on a day, run as the secretary would run them.
class TestHoldersCommands : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void holdersOnADay_data();
    void holdersOnADay();
    void holdersAsRecorded_data();
    void holdersAsRecorded();
    void dividendInExactMoney_data();
    void dividendInExactMoney();
    void refusesWhatItCannotRead_data();
    void refusesWhatItCannotRead();
    void listsReadBack_data();
    void listsReadBack();
};

namespace {

const QString holders = "INSERT INTO stockholder (stockholder_no, stockholder_name, address1) VALUES (1, 'Ann', "
                        "'1 Quay'), (2, 'Bo', '2 Quay'), (3, 'Cy', '3 Quay')";

// stock_data rows written (stock_no, publish_date, original_holder, present_holder, stock_qty).
QString certificates(const QString& rows)
{
    return "INSERT INTO stock_data (stock_no, publish_date, original_holder, present_holder, stock_qty) VALUES " + rows;
}

// transfer_data rows written (stock_no, transferred_date, before_holder, new_holder), in record order.
QString transfers(const QString& rows)
{
    return "INSERT INTO transfer_data (stock_no, transferred_date, before_holder, new_holder) VALUES " + rows;
}

// The CSV's rows, each as the columns asked for joined by colons: number:shares:certificates unless asked.
QString holdings(const QString& csv, const QList<int>& columns = {0, 2, 4})
{
    QStringList lines = csv.split("\r\n", Qt::SkipEmptyParts);
    lines.removeFirst();
    for (QString& line : lines) {
        const QStringList cells = line.split(',');
        QStringList kept;
        for (const int column : columns)
            kept.append(cells.value(column));
        line = kept.join(':');
    }
    return lines.join(' ');
}

} // namespace

void TestHoldersCommands::holdersOnADay_data()
{
    QTest::addColumn<Engine>("engine");
    QTest::addColumn<QStringList>("arranged");
    QTest::addColumn<QString>("on");
    QTest::addColumn<QString>("held");
    QTest::addColumn<QString>("marked"); // a line of the list as shown, where one is marked
    for (const Engine engine : {Engine::File, Engine::Server}) {
        const char* e = engine == Engine::File ? "file" : "server";
        const QString one = certificates("('A', '2020-01-01', 1, 2, 100), ('B', '2020-01-01', 3, 3, 50)");
        const QString sold = transfers("('A', '2024-06-30', 1, 2)");
        QTest::addRow("%s, a transfer on the day itself", e) << engine << QStringList{one, sold} << "2024-06-30"
                                                             << "2:100:1 3:50:1"
                                                             << "";
        QTest::addRow("%s, the day before it", e) << engine << QStringList{one, sold} << "2024-06-29"
                                                  << "1:100:1 3:50:1"
                                                  << "";
        QTest::addRow("%s, two transfers on one day, by record order", e)
            << engine << QStringList{one, transfers("('A', '2024-06-30', 1, 3), ('A', '2024-06-30', 3, 2)")}
            << "2024-06-30"
            << "2:100:1 3:50:1"
            << "";
        QTest::addRow("%s, an undated transfer before every dated one", e)
            << engine << QStringList{one, transfers("('A', '2024-01-01', 3, 2), ('A', NULL, 1, 3)")} << "2023-12-31"
            << "3:150:2"
            << "";
        QTest::addRow("%s, a certificate issued after the day", e)
            << engine
            << QStringList{certificates("('A', '2025-01-01', 1, 1, 100), ('B', NULL, 2, 2, 7), ('C', '', 3, 3, 5)")}
            << "2024-12-31"
            << "2:7:1 3:5:1"
            << "";
        QTest::addRow("%s, a holder whose shares all went", e)
            << engine
            << QStringList{certificates("('A', '2020-01-01', 1, 3, 100), ('B', '2020-01-01', 1, 2, 10)"),
                           transfers("('A', '2021-01-01', 1, 3), ('B', '2021-01-01', 1, 2)")}
            << "2022-01-01"
            << "2:10:1 3:100:1"
            << "";
        QTest::addRow("%s, no original holder", e)
            << engine << QStringList{certificates("('A', '2020-01-01', NULL, 2, 100)")} << "2020-06-01"
            << "2:100:1"
            << "";
        QTest::addRow("%s, today, a certificate whose record disagrees with its transfer", e)
            << engine << QStringList{one, transfers("('B', '2021-01-01', 3, 1)")}
            << QDate::currentDate().toString(Qt::ISODate) << "1:150:2"
            << "Certificate B: its last transfer (record 1, 2021-01-01) ends with shareholder 1, but its present "
               "holder is 3.";
        QTest::addRow("%s, as it stands", e) << engine << QStringList{one, sold} << ""
                                             << "2:100:1 3:50:1"
                                             << "";
        // A split on 2024-06-30: A cancelled, A1 the balance kept by 1, A2 issued to 2.
        const QStringList split{certificates("('A', '2020-01-01', 1, NULL, 100), ('B', '2020-01-01', 3, 3, 50), "
                                             "('A1', '2024-06-30', 1, 1, 60), ('A2', '2024-06-30', 1, 2, 40)"),
                                transfers("('A2', '2024-06-30', 1, 2)"),
                                "INSERT INTO velmora_cancelled (stock_no, cancelled_date) VALUES ('A', '2024-06-30')"};
        QTest::addRow("%s, a certificate cancelled on the day", e) << engine << split << "2024-06-30"
                                                                   << "1:60:1 2:40:1 3:50:1"
                                                                   << "";
        QTest::addRow("%s, the day before its cancellation", e) << engine << split << "2024-06-29"
                                                                << "1:100:1 3:50:1"
                                                                << "";
        QTest::addRow("%s, a cancelled certificate as it stands", e) << engine << split << ""
                                                                     << "1:60:1 2:40:1 3:50:1"
                                                                     << "";
    }
}

// Who held what on a day: one line per holder with their shares and certificates.
void TestHoldersCommands::holdersOnADay()
{
    QFETCH(Engine, engine);
    QFETCH(QStringList, arranged);
    QFETCH(QString, on);
    QFETCH(QString, held);
    QFETCH(QString, marked);
    TempRegister target(engine);
    VELMORA_REQUIRE(target);
    for (const QString& statement : QStringList{holders} + arranged)
        QCOMPARE(target.exec(statement), "");
    const QStringList day = on.isEmpty() ? QStringList() : QStringList{"--on", on};
    const Run listed = run(QStringList{"members", "--csv"} + day + QStringList{target.path()});
    QCOMPARE(listed.status, 0);
    QCOMPARE(holdings(listed.out), held);
    const Run shown = run(QStringList{"members"} + day + QStringList{target.path()});
    QCOMPARE(shown.out.contains("\n*"), !marked.isEmpty());
    QVERIFY2(shown.out.contains(marked), qPrintable(shown.out));
}

void TestHoldersCommands::holdersAsRecorded_data()
{
    // The demo register, recorded at 2020-05-01 10:00 UTC; then, a year apart, certificate SC-0001 given to
    // shareholder 2, SC-0003 deleted, SC-0099 added to shareholder 1 for 70 shares and corrected to 77.
    QTest::addColumn<Engine>("engine");
    QTest::addColumn<QString>("at");
    QTest::addColumn<QString>("held"); // shareholders 1 and 2, and how many lines in all
    for (const Engine engine : {Engine::File, Engine::Server}) {
        const char* e = engine == Engine::File ? "file" : "server";
        QTest::addRow("%s, before the changes", e) << engine << "2020-05-01 10:00"
                                                   << "1:1000:1 2:750:1 of 10";
        QTest::addRow("%s, after a modify", e) << engine << "2021-05-01 10:00:00"
                                               << "2:1750:2 of 9";
        QTest::addRow("%s, after a delete", e) << engine << "2022-05-01 10:00"
                                               << "2:1000:1 of 9";
        QTest::addRow("%s, after an add", e) << engine << "2023-05-01 10:00"
                                             << "1:70:1 2:1000:1 of 10";
        QTest::addRow("%s, after a later correction", e) << engine << "2024-05-01 10:00"
                                                         << "1:77:1 2:1000:1 of 10";
        QTest::addRow("%s, a second before the correction", e) << engine << "2024-05-01 09:59:59"
                                                               << "1:70:1 2:1000:1 of 10";
    }
}

// The register as it was stored at a moment, rebuilt from its history of changes.
void TestHoldersCommands::holdersAsRecorded()
{
    QFETCH(Engine, engine);
    QFETCH(QString, at);
    QFETCH(QString, held);
    TempRegister target(engine, false);
    VELMORA_REQUIRE(target);
    QCOMPARE(run({"init", "--demo", target.path()}).status, 0);
    {
        const schema::Table& table = *schema::table(u"stock_data");
        QStringList columns;
        for (const schema::Column& column : table.columns)
            columns.append(column.name);
        FakeFields fields(columns);
        Expected<std::unique_ptr<Connection>> connection = Connection::open(target.path());
        QVERIFY(connection.ok());
        Recordset certificates(std::move(connection.value()), table, &fields);
        fields.recordset = &certificates;
        QString refused;
        const auto step = [&](const Status& status) {
            refused += status.message();
        };
        step(certificates.open());
        step(certificates.findFirst("stock_no = 'SC-0001'"));
        step(certificates.edit());
        fields.type("present_holder", "2");
        step(certificates.update());
        step(certificates.findFirst("stock_no = 'SC-0003'"));
        step(certificates.deleteRecord());
        step(certificates.addNew());
        for (const auto& [column, typed] :
             {std::pair("stock_no", "SC-0099"), {"present_holder", "1"}, {"original_holder", "1"}, {"stock_qty", "70"}})
            fields.type(column, typed);
        step(certificates.update());
        step(certificates.edit());
        fields.type("stock_qty", "77");
        step(certificates.update());
        QCOMPARE(refused, "");
    }
    QCOMPARE(target.exec("UPDATE velmora_history SET changed_at = CASE WHEN seq <= 33 THEN '2020-05-01T10:00:00.000Z' "
                         "ELSE (2021 + seq - 34) || '-05-01T10:00:00.000Z' END"),
             "");
    const Run listed = run({"members", "--csv", "--as-recorded-at", at, target.path()});
    QCOMPARE(listed.status, 0);
    QStringList lines = holdings(listed.out).split(' ');
    const qsizetype all = lines.size();
    lines.removeIf([](const QString& line) { return !line.startsWith("1:") && !line.startsWith("2:"); });
    QCOMPARE(lines.join(' ') + QStringLiteral(" of %1").arg(all), held);
    const Run before = run({"members", "--as-recorded-at", "2020-05-01 09:59", target.path()});
    QCOMPARE(before.status, 1);
    QVERIFY2(before.err.contains("begins at 2020-05-01 10:00:00 UTC"), qPrintable(before.err));
}

void TestHoldersCommands::dividendInExactMoney_data()
{
    // Shareholders 1, 2 and 3 hold 1, 3 and 7 shares.
    QTest::addColumn<Engine>("engine");
    QTest::addColumn<QStringList>("rates");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("lines"); // number:gross:withheld:net
    QTest::addColumn<QString>("said");
    for (const Engine engine : {Engine::File, Engine::Server}) {
        const char* e = engine == Engine::File ? "file" : "server";
        QTest::addRow("%s, each line rounded half away from zero", e)
            << engine << QStringList{"--per-share", "0.005"} << 0
            << "1:0.01:0.00:0.01 2:0.02:0.00:0.02 3:0.04:0.00:0.04"
            << "11 shares × the amount per share is 0.055; rounding each line to the cent makes the total gross "
               "0.015 more.";
        QTest::addRow("%s, tax withheld from each line", e)
            << engine << QStringList{"--per-share", "1.25", "--withhold", "15"} << 0
            << "1:1.25:0.19:1.06 2:3.75:0.56:3.19 3:8.75:1.31:7.44"
            << "Total             11            13.75             2.06            11.69";
        QTest::addRow("%s, a rate with decimals", e)
            << engine << QStringList{"--per-share", ".1", "--withhold", "26.375"} << 0
            << "1:0.10:0.03:0.07 2:0.30:0.08:0.22 3:0.70:0.18:0.52"
            << "11 shares × the amount per share is 1.10, the total gross to the cent: rounding the lines changed "
               "nothing.";
    }
}

// A dividend in exact money: the lines, their sums, and what rounding did.
void TestHoldersCommands::dividendInExactMoney()
{
    QFETCH(Engine, engine);
    QFETCH(QStringList, rates);
    QFETCH(int, status);
    QFETCH(QString, lines);
    QFETCH(QString, said);
    TempRegister target(engine);
    VELMORA_REQUIRE(target);
    QCOMPARE(target.exec(holders), "");
    QCOMPARE(target.exec(certificates("('A', NULL, 1, 1, 1), ('B', NULL, 2, 2, 3), ('C', NULL, 3, 3, 7)")), "");
    const QStringList asked = QStringList{"dividend", "--record-date", "2026-01-01"} + rates;
    const Run csv = run(asked + QStringList{"--csv", target.path()});
    QCOMPARE(csv.status, status);
    QCOMPARE(holdings(csv.out, {0, 3, 4, 5}), lines);
    const Run shown = run(asked + QStringList{target.path()});
    QCOMPARE(shown.status, status);
    QVERIFY2((shown.out + shown.err).contains(said), qPrintable(shown.out + shown.err));
}

void TestHoldersCommands::refusesWhatItCannotRead_data()
{
    // {r} is the register, {f} a PDF that is there already.
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("named");
    const QStringList dividend{"dividend", "--record-date", "2025-06-30"};
    QTest::newRow("a day that is not real") << QStringList{"members", "--on", "2024-02-30", "{r}"} << "\"2024-02-30\"";
    QTest::newRow("a day written otherwise")
        << QStringList{"meeting", "--record-date", "30/06/2025", "{r}"} << "not \"30/06/2025\"";
    QTest::newRow("no record date") << QStringList{"meeting", "--csv", "{r}"} << "--record-date DATE is needed";
    QTest::newRow("a moment to come") << QStringList{"members", "--as-recorded-at", "2999-01-01 00:00", "{r}"}
                                      << "in the future";
    QTest::newRow("a moment written otherwise")
        << QStringList{"report", "--as-recorded-at", "2024-01-01T10:00", "{r}", "{d}/r.pdf"} << "\"YYYY-MM-DD HH:MM\"";
    QTest::newRow("a negative share") << QStringList{"members", "--over", "-5", "{r}"} << "not \"-5\"";
    QTest::newRow("a share over the whole") << QStringList{"members", "--over", "100.01", "{r}"} << "0 to 100";
    QTest::newRow("a negative amount") << dividend + QStringList{"--per-share", "-0.5", "{r}"} << "not \"-0.5\"";
    QTest::newRow("an amount that is no number")
        << dividend + QStringList{"--per-share", "1e3", "{r}"} << "not \"1e3\"";
    QTest::newRow("an amount too large to keep")
        << dividend + QStringList{"--per-share", "9999999999999999999", "{r}"} << "not \"9999999999999999999\"";
    QTest::newRow("too many decimals") << dividend + QStringList{"--per-share", "0.0000001", "{r}"}
                                       << "at most 6 decimals";
    QTest::newRow("no amount") << dividend + QStringList{"{r}"} << "--per-share AMOUNT is needed";
    QTest::newRow("a withholding that is no percentage")
        << dividend + QStringList{"--per-share", "1", "--withhold", "abc", "{r}"} << "not \"abc\"";
    QTest::newRow("a PDF that is there") << QStringList{"meeting", "--record-date", "2025-06-30", "--pdf", "{f}", "{r}"}
                                         << "exists; --force replaces it";
    QTest::newRow("both CSV and PDF") << QStringList{"meeting", "--record-date", "2025-06-30", "--csv",
                                                     "--pdf",   "{d}/m.pdf",     "{r}"}
                                      << "not both";
}

// Each refusal is one line naming what is wrong, with status 2, and writes nothing.
void TestHoldersCommands::refusesWhatItCannotRead()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, named);
    TempRegister target;
    VELMORA_REQUIRE(target);
    const QString there = target.directory() + "/there.pdf";
    write(there, "kept");
    const QStringList before = QDir(target.directory()).entryList(QDir::Files);
    const QByteArray stored = contentOf(target.path());
    arguments.replaceInStrings("{r}", target.path()).replaceInStrings("{f}", there);
    arguments.replaceInStrings("{d}", target.directory());
    const Run refused = run(arguments);
    QCOMPARE(refused.status, 2);
    QVERIFY2(refused.err.contains(named) && refused.err.count('\n') == 2, qPrintable(refused.err));
    QCOMPARE(QDir(target.directory()).entryList(QDir::Files), before);
    QCOMPARE(contentOf(there), QByteArray("kept"));
    QCOMPARE(contentOf(target.path()), stored);
}

void TestHoldersCommands::listsReadBack_data()
{
    // The demo register, whose certificate SC-0002 went from shareholder 1 to 7 on 2002-05-17.
    QTest::addColumn<Engine>("engine");
    QTest::addColumn<QStringList>("arguments"); // {f} is the PDF
    QTest::addColumn<QStringList>("read");      // lines of its text, in order
    for (const Engine engine : {Engine::File, Engine::Server}) {
        const char* e = engine == Engine::File ? "file" : "server";
        QTest::addRow("%s, a voting list", e)
            << engine << QStringList{"meeting", "--record-date", "2025-06-30", "--pdf", "{f}"}
            << QStringList{
                   "Attendance and voting list",        "Record date 2025-06-30",  "Signature", "4 王小明 300 300 2.14",
                   "9 Σοφία Παπαδοπούλου 300 300 2.14", "Total 14050 14050 100.00"};
        QTest::addRow("%s, a dividend with its vouchers", e)
            << engine << QStringList{"dividend", "--record-date", "2025-06-30", "--per-share", "0.5", "--pdf", "{f}"}
            << QStringList{"Dividend list", "Total 14050 7025.00 0.00 7025.00", "Dividend voucher",
                           "Shareholder 1 Margaret Ashworth", "Net 500.00"};
        QTest::addRow("%s, the register of members on a day", e)
            << engine << QStringList{"report", "--on", "2002-05-16", "{r}", "{f}"}
            << QStringList{"Register of members, as it took effect on 2002-05-16", "Shareholder 1: Margaret Ashworth",
                           "SC-0002", "Total 1500"};
    }
}

// The lists as PDFs, read back as text: what they say, in any script.
void TestHoldersCommands::listsReadBack()
{
    QFETCH(Engine, engine);
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, read);
    const QString reader = QStandardPaths::findExecutable("pdftotext");
    if (reader.isEmpty())
        QSKIP("pdftotext is missing: install poppler-utils to read the lists back");
    TempRegister target(engine, false);
    VELMORA_REQUIRE(target);
    QCOMPARE(run({"init", "--demo", target.path()}).status, 0);
    QTemporaryDir directory;
    const QString pdf = directory.filePath("list.pdf");
    if (!arguments.contains("{r}"))
        arguments.append("{r}");
    arguments.replaceInStrings("{r}", target.path()).replaceInStrings("{f}", pdf);
    const Run made = run(arguments);
    QCOMPARE(made.status, 0);
    QProcess pdftotext;
    pdftotext.start(reader, {"-layout", "-enc", "UTF-8", pdf, "-"});
    QVERIFY(pdftotext.waitForFinished(20000) && pdftotext.exitCode() == 0);
    const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput()).simplified();
    qsizetype at = 0;
    for (const QString& line : read) {
        at = text.indexOf(line, at);
        QVERIFY2(at >= 0, qPrintable(line + "\n" + text));
    }
}

QTEST_MAIN(TestHoldersCommands)
#include "tst_holderscommands.moc"
