#include "history.h"
#include "tooltest.h"

using namespace tooltest;

Q_DECLARE_METATYPE(Engine)

// check and check --fix-totals, run as the clerk would run them.
class TestCheckCommand : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void checkFindsWhatIsWrong_data();
    void checkFindsWhatIsWrong();
};

void TestCheckCommand::checkFindsWhatIsWrong_data()
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
        const QString cancel = "INSERT INTO velmora_cancelled (stock_no, cancelled_date) VALUES ";
        row("a cancelled certificate still held", {cancel + "('SC-0013', '2020-01-01')"},
            "Certificate SC-0013: it was cancelled on 2020-01-01, but its present holder is still 7.\n"
            "Shareholder 7: total share 1250, but the certificates held now come to 650.");
        row("a certificate cancelled after today", {cancel + "('SC-0013', '2999-01-01')"}, "");
        // Its last transfer ended with shareholder 7, who holds it no more.
        row("a cancelled certificate held by no one",
            {cancel + "('SC-0002', '2020-01-01')",
             "UPDATE stock_data SET present_holder = NULL WHERE stock_no = 'SC-0002'",
             "UPDATE stockholder SET total_share = 750 WHERE stockholder_no = 7"},
            "");
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
    // Changes the server no longer enters in the history.
    const QString untraced = ": the server does not write its changes into the history (its trigger is missing or "
                             "disabled); velmora-register upgrade puts it back.";
    QTest::newRow("server, the history's trigger disabled and dropped")
        << Engine::Server
        << QStringList{"ALTER TABLE stock_data DISABLE TRIGGER velmora_history",
                       "DROP TRIGGER velmora_history ON transfer_data"}
        << QStringList() << "The table stock_data" + untraced + "\nThe table transfer_data" + untraced << "";
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

void TestCheckCommand::checkFindsWhatIsWrong()
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

QTEST_GUILESS_MAIN(TestCheckCommand)
#include "tst_checkcommand.moc"
