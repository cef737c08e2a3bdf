#include "history.h"
#include "schema.h"
#include "tooltest.h"
#include "values.h"

using namespace tooltest;

Q_DECLARE_METATYPE(Engine)

// transfer, run as the secretary would run it, on the demo register.
class TestTransferCommand : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void transfersOrRefuses_data();
    void transfersOrRefuses();
};

namespace {

// Every table the register carries, each row as its key and values shown, by table name and row key.
using Tables = QMap<QString, QMap<qint64, QStringList>>;

Tables tablesOf(const TempRegister& target)
{
    Tables tables;
    for (const schema::Table& table : schema::everyTable()) {
        QStringList columns;
        for (const schema::Column& column : table.columns)
            columns.append(schema::quoted(column.name));
        for (const QVariantList& row :
             target.rows(QStringLiteral("SELECT %1, %2 FROM %3").arg(target.key(), columns.join(", "), table.name))) {
            QStringList shown;
            for (const QVariant& value : row.mid(1))
                shown.append(values::shown(value));
            tables[table.name][row.first().toLongLong()] = shown;
        }
    }
    return tables;
}

// The tables as they were, with the history's entries after the one given replayed on them.
Tables replayed(const TempRegister& target, Tables tables, qint64 after)
{
    for (const QVariantList& entry : target.rows(QStringLiteral("SELECT table_name, row_key, action, changes FROM "
                                                                "velmora_history WHERE seq > %1 ORDER BY seq")
                                                     .arg(after))) {
        const schema::Table& table = *schema::table(entry[0].toString());
        QStringList& row = tables[table.name][entry[1].toLongLong()];
        if (history::adds(entry[2].toString()))
            row = QStringList(table.columns.size());
        for (const history::Change& change : history::decode(entry[3].toString()).value_or(QList<history::Change>{})) {
            if (row.value(table.indexOf(change.column)) != values::shown(change.before))
                row.append("replay: " + change.column + " was not " + values::shown(change.before));
            row[table.indexOf(change.column)] = values::shown(change.after);
        }
    }
    return tables;
}

} // namespace

void TestTransferCommand::transfersOrRefuses_data()
{
    QTest::addColumn<Engine>("engine");
    QTest::addColumn<QStringList>("arranged");  // SQL on the demo register
    QTest::addColumn<QStringList>("arguments"); // after the register
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said"); // the one line on the output, or after "velmora-register: " on errors
    QTest::addColumn<QString>("held"); // a clerk's save, under way while the transfer runs
    const QString moved = "Transferred certificate SC-0002 (500 shares) from shareholder 7 to shareholder %1 on %2: "
                          "shareholder 7 now holds 750, shareholder %1 holds %3.";
    const QString disagrees = "Nothing was transferred, because the register disagrees with itself here: %1 Put the "
                              "record right, or run velmora-register check --fix-totals for a total.";
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    for (const Engine engine : {Engine::File, Engine::Server}) {
        const char* on = engine == Engine::File ? "file" : "server";
        const auto row = [&](const char* name, const QStringList& arranged, const QStringList& arguments,
                             const QString& said, int status = 2, const QString& held = {}) {
            QTest::addRow("%s, %s", on, name) << engine << arranged << arguments << status << said << held;
        };
        row("whole", {}, {"SC-0002", "--to", "4", "--date", "2020-1-2"}, moved.arg(4).arg("2020-01-02").arg(800), 0);
        row("today, to a holder with no total",
            {"INSERT INTO stockholder (stockholder_no, stockholder_name) VALUES (11, 'Ada Obi')"},
            {"SC-0002", "--to", "11"}, moved.arg(11).arg(today).arg(500), 0);
        row("on the day of the last transfer", {}, {"SC-0002", "--to", "4", "--date", "2002-05-17"},
            moved.arg(4).arg("2002-05-17").arg(800), 0);
        const QStringList split{"SC-0010",         "--to",    "4", "--date", "2024-01-02", "--new-numbers",
                                "SC-0021,SC-0020", "--shares"};
        row("split", {}, split + QStringList{"200"},
            "Split certificate SC-0010 on 2024-01-02: SC-0020 (200 shares) to shareholder 4, the balance SC-0021 "
            "(1000 shares) to shareholder 5: shareholder 5 now holds 1000, shareholder 4 holds 500.",
            0);
        row("split, all the shares", {}, split + QStringList{"1200"},
            "--shares 1200 is not between 1 and 1199, one less than the 1200 shares of certificate SC-0010.");
        row("split, no shares", {}, split + QStringList{"0"},
            "--shares 0 is not between 1 and 1199, one less than the 1200 shares of certificate SC-0010.");
        row("split, part of a share", {}, split + QStringList{"2.5"},
            "--shares \"2.5\" is not a whole number of shares.");
        row("split, a number taken", {}, QStringList(split).replaceInStrings("SC-0020", "SC-0001") << "200",
            "The certificate number SC-0001 is taken already.");
        row("a cancelled certificate",
            {"INSERT INTO velmora_cancelled (stock_no, cancelled_date) VALUES ('SC-0002', '2020-01-01')",
             "UPDATE stock_data SET present_holder = NULL WHERE stock_no = 'SC-0002'"},
            {"SC-0002", "--to", "4"}, "The certificate SC-0002 was cancelled on 2020-01-01.");
        row("no such certificate", {}, {"SC-0099", "--to", "4"}, "There is no certificate SC-0099.");
        row("a certificate number twice", {"UPDATE stock_data SET stock_no = 'SC-0002' WHERE stock_no = 'SC-0015'"},
            {"SC-0002", "--to", "4"},
            "The certificate number SC-0002 is on 2 records (2, 15); velmora-register check names them.");
        row("no such shareholder", {}, {"SC-0002", "--to", "42"}, "There is no shareholder 42.");
        row("a shareholder number twice",
            {"INSERT INTO stockholder (stockholder_no, stockholder_name, total_share) VALUES (4, 'S. P.', 300)"},
            {"SC-0002", "--to", "4"},
            "The shareholder number 4 is on 2 records (4, 11); velmora-register check names them.");
        row("no shareholder number", {}, {"SC-0002", "--to", "4.5"}, "--to \"4.5\" names no shareholder number.");
        row("the holder already", {}, {"SC-0002", "--to", "7"}, "Shareholder 7 already holds certificate SC-0002.");
        row("no real date", {}, {"SC-0002", "--to", "4", "--date", "2024-02-30"},
            "Transferred Date: \"2024-02-30\" is not a date; type it as YYYY-MM-DD, for example 2024-03-31");
        row("before it was published", {}, {"SC-0015", "--to", "4", "--date", "2023-01-08"},
            "The date 2023-01-08 is before certificate SC-0015 was published, on 2023-01-09.");
        row("before its last transfer", {}, {"SC-0002", "--to", "4", "--date", "2002-05-16"},
            "The date 2002-05-16 is before the last transfer of certificate SC-0002, on 2002-05-17.");
        row("its record disagreeing with its last transfer",
            {"UPDATE stock_data SET present_holder = 4 WHERE stock_no = 'SC-0002'",
             "UPDATE stockholder SET total_share = total_share + 500 WHERE stockholder_no = 4",
             "UPDATE stockholder SET total_share = total_share - 500 WHERE stockholder_no = 7"},
            {"SC-0002", "--to", "5"},
            disagrees.arg("Certificate SC-0002: its last transfer (record 1, 2002-05-17) ends with shareholder 7, but "
                          "its present holder is 4."));
        row("the seller's total disagreeing", {"UPDATE stockholder SET total_share = 1 WHERE stockholder_no = 7"},
            {"SC-0002", "--to", "4"},
            disagrees.arg("Shareholder 7: total share 1, but the certificates held now come to 1250."));
        row("the buyer's total disagreeing", {"UPDATE stockholder SET total_share = NULL WHERE stockholder_no = 4"},
            {"SC-0002", "--to", "4"},
            disagrees.arg("Shareholder 4: total share is empty, but the certificates held now come to 300."));
        // A clerk's save holding the buyer's record, as a window's does while it saves: waited for, then given up,
        // and the transfer is not stored in part.
        row("a clerk's save under way", {}, {"SC-0002", "--to", "4"}, " Nothing was transferred.", 1,
            QString("SELECT tel_no2 FROM stockholder WHERE stockholder_no = 4")
                + (engine == Engine::File ? "" : " FOR UPDATE"));
    }
}

void TestTransferCommand::transfersOrRefuses()
{
    QFETCH(Engine, engine);
    QFETCH(QStringList, arranged);
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, said);
    QFETCH(QString, held);
    TempRegister target(engine, false);
    VELMORA_REQUIRE(target);
    QCOMPARE(run({"init", "--demo", target.path()}).status, 0);
    for (const QString& statement : arranged)
        QCOMPARE(target.exec(statement), "");
    const Tables before = tablesOf(target);
    const QList<QVariantList> history = target.rows("SELECT seq, hash FROM velmora_history ORDER BY seq");
    const QByteArray file = contentOf(target.path());

    Expected<std::unique_ptr<Connection>> opened = Connection::open(target.path());
    QVERIFY(opened);
    const std::unique_ptr<Connection> clerk = held.isEmpty() ? nullptr : std::move(opened.value());
    QSqlQuery saving(clerk ? clerk->database() : QSqlDatabase());
    QVERIFY(!clerk || (saving.exec("BEGIN") && saving.exec(held)));
    const Run done = run(QStringList{"transfer", target.path()} + arguments);
    if (clerk)
        QVERIFY(saving.exec("ROLLBACK"));
    QCOMPARE(done.status, status);
    if (status != 0) {
        // A refusal is one line; the engine's own words may take more.
        QVERIFY2(done.err.startsWith("velmora-register: ") && done.err.endsWith(said + "\n")
                     && (status == 1 || done.err.count('\n') == 1),
                 qPrintable(done.err));
        QCOMPARE(tablesOf(target), before);
        QCOMPARE(target.rows("SELECT seq, hash FROM velmora_history ORDER BY seq"), history);
        if (engine == Engine::File)
            QCOMPARE(contentOf(target.path()), file);
        return;
    }
    QCOMPARE(done.out, said + "\n");
    QCOMPARE(run({"check", target.path()}).status, 0);
    if (arguments.contains("--new-numbers")) {
        // The cancelled certificate can no longer be printed.
        QTemporaryDir papers;
        const Run printed = run({"certificate", target.path(), papers.filePath("c.pdf"), arguments.first()});
        QCOMPARE(printed.status, 1);
        QVERIFY2(printed.err.contains(" was cancelled on "), qPrintable(printed.err));
        // The register of members marks it.
        const QString pdf = papers.filePath("members.pdf");
        const Run reported = run({"report", target.path(), pdf});
        QVERIFY2(reported.status == 0, qPrintable(reported.err));
        QProcess pdftotext;
        pdftotext.start("pdftotext", {"-layout", pdf, "-"});
        if (pdftotext.waitForFinished(20000)) {
            const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput()).simplified();
            QVERIFY2(text.contains("Cancelled certificates") && text.contains(arguments.first() + " 2024-01-02 split"),
                     qPrintable(text.right(600)));
        }
    }
    QCOMPARE(run({"history", "--verify", target.path()}).status, 0);
    QCOMPARE(replayed(target, before, history.size()), tablesOf(target));
}

QTEST_GUILESS_MAIN(TestTransferCommand)
#include "tst_transfercommand.moc"
