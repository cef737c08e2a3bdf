#include "classiclook.h"
#include "recordwindowfixture.h"

#include <QLabel>

// What the shareholder and transfer windows do differently from the certificate window: the display-only
// total, their searches, and the tables a transfer may touch.
class TestHoldersAndTransfers : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { classiclook::apply(); }
    void totalShareIsShownNeverWritten_data();
    void totalShareIsShownNeverWritten();
    void searches_data();
    void searches();
    void transfersLeaveTheOtherTablesAlone_data();
    void transfersLeaveTheOtherTablesAlone();
};

namespace {

void addHolders(const TempRegister& reg, int count)
{
    const QVariantList holders[] = {{1, "Ann Lee", "ID-1", 500},
                                    {7, "Bo Chan", "ID-7", 700},
                                    {0, "Cy Dee", "ID-0", 0},
                                    {12, "Di Fox", "ID-12", {}}};
    for (int i = 0; i < count; ++i) {
        QCOMPARE(reg.exec("INSERT INTO stockholder (stockholder_no, stockholder_name, id_no, total_share) "
                          "VALUES (?, ?, ?, ?)",
                          holders[i]),
                 QString());
    }
}

void addTransfers(const TempRegister& reg)
{
    const QVariantList transfers[] = {
        {"SC-1", 1, 7, "A"}, {"SC-2", 7, 1, "B"}, {"SC-3", 0, 12, "C"}, {"SC-2", 1, 7, "D"}};
    for (const QVariantList& transfer : transfers) {
        QCOMPARE(reg.exec("INSERT INTO transfer_data (stock_no, before_holder, new_holder, item_code) "
                          "VALUES (?, ?, ?, ?)",
                          transfer),
                 QString());
    }
}

QString dump(const TempRegister& reg, const QString& table)
{
    QStringList rows;
    for (const QVariantList& row : reg.rows(QStringLiteral("SELECT rowid, * FROM %1 ORDER BY rowid").arg(table))) {
        QStringList values;
        for (const QVariant& value : row)
            values.append(value.isValid() ? value.toString() : QStringLiteral("NULL"));
        rows.append(values.join(QLatin1Char('|')));
    }
    return rows.join(QLatin1Char('\n'));
}

} // namespace

void TestHoldersAndTransfers::totalShareIsShownNeverWritten_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("shown"); // the holder number and the total in the label
    QTest::addColumn<QString>("totals");
    const QString seeded = "500 700 0 NULL";
    // clang-format off
    QTest::newRow("load") << 4 << "" << "browse Modify" << "1/500" << seeded;
    QTest::newRow("a total left empty") << 4 << "last" << "browse Modify" << "12/" << seeded;
    QTest::newRow("add") << 4 << "add" << "edit Modify" << "/" << seeded;
    QTest::newRow("add, bar move") << 4 << "add; type txtStockHolderNo=20; next" << "browse Modify" << "7/700" << seeded + " NULL";
    QTest::newRow("add, exit") << 4 << "next; add; type txtStockHolderNo=20; exit" << "left" << "20/" << seeded + " NULL";
    QTest::newRow("modify") << 4 << "next; modify" << "edit OK" << "7/700" << seeded;
    QTest::newRow("modify, yes") << 4 << "next; modify; type txtStockHolderName=Bo C; yes; modify" << "browse Modify" << "7/700" << seeded;
    QTest::newRow("modify, no") << 4 << "next; modify; type txtStockHolderName=Bo C; no; modify" << "browse Modify" << "7/700" << seeded;
    QTest::newRow("modify, bar move") << 4 << "modify; type txtStockHolderName=Ann B; last" << "browse Modify" << "12/" << seeded;
    QTest::newRow("modify, search") << 4 << "modify; type txtStockHolderName=Ann B; input=7; query 0" << "browse Modify" << "7/700" << seeded;
    QTest::newRow("delete") << 4 << "next; yes; delete" << "browse Modify" << "1/500" << "500 0 NULL";
    QTest::newRow("empty table") << 0 << "" << "browse Modify" << "/" << "";
    QTest::newRow("empty table, add") << 0 << "add; type txtStockHolderNo=3; exit" << "left" << "3/" << "NULL";
    // clang-format on
}

void TestHoldersAndTransfers::totalShareIsShownNeverWritten()
{
    QFETCH(int, rows);
    QFETCH(QString, script);
    RecordWindowFixture w(records::stockHolder());
    addHolders(w.reg, rows);
    // Any write of the column is refused, and so would show as a message.
    QCOMPARE(w.reg.exec("CREATE TRIGGER total_share_written BEFORE UPDATE OF total_share ON stockholder "
                        "BEGIN SELECT RAISE(ABORT, 'total_share written'); END"),
             QString());
    QVERIFY(w.open());
    auto* total = w.get<QLabel>(QStringLiteral("txtTotalShare"));
    QVERIFY(!total->isEnabled());

    w.run(script);

    QTEST(w.mode(), "mode");
    QVERIFY(!total->isEnabled());
    QTEST(w.field("txtStockHolderNo")->text() + QLatin1Char('/') + total->text(), "shown");
    QStringList totals;
    for (const QVariantList& row : w.reg.rows("SELECT total_share FROM stockholder ORDER BY rowid"))
        totals.append(row[0].isValid() ? row[0].toString() : QStringLiteral("NULL"));
    QTEST(totals.join(QLatin1Char(' ')), "totals");
    QStringList questions;
    for (const auto& message : w.dialogs.messages)
        if (message.title != QLatin1String("Confirm") && message.title != QLatin1String("Comfirm"))
            questions.append(message.prompt);
    QVERIFY2(questions.isEmpty(), qPrintable(questions.join(QLatin1Char('\n'))));
}

void TestHoldersAndTransfers::searches_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("shown"); // the holder number, or the transfer's item code
    QTest::addColumn<bool>("missed");
    // clang-format off
    QTest::newRow("holder by number") << "frmStockHolder" << "last; input=7; query 0" << "7" << false;
    QTest::newRow("holder by number, leading zeros") << "frmStockHolder" << "last; input=007; query 0" << "7" << false;
    QTest::newRow("holder by number, text after it") << "frmStockHolder" << "last; input=7 apples; query 0" << "7" << false;
    QTest::newRow("holder by letters looks for 0") << "frmStockHolder" << "last; input=abc; query 0" << "0" << false;
    QTest::newRow("holder by number, miss") << "frmStockHolder" << "next; input=99; query 0" << "7" << true;
    QTest::newRow("holder by whole name") << "frmStockHolder" << "last; input=Bo Chan; query 1" << "7" << false;
    QTest::newRow("holder by part of a name") << "frmStockHolder" << "last; input=Bo; query 1" << "12" << true;
    QTest::newRow("holder by name, blanks around") << "frmStockHolder" << "last; input= bo chan ; query 1" << "7" << false;
    QTest::newRow("holder by a number for a name") << "frmStockHolder" << "next; input=1; query 1" << "7" << true;
    QTest::newRow("holder by identity") << "frmStockHolder" << "last; input=ID-7; query 2" << "7" << false;
    QTest::newRow("holder by part of an identity") << "frmStockHolder" << "next; next; input=ID-; query 2" << "0" << true;
    QTest::newRow("holder search cancelled") << "frmStockHolder" << "next; input=; query 1" << "7" << false;
    QTest::newRow("transfer by certificate") << "frmTrdData" << "last; input=SC-2; query 0" << "B" << false;
    QTest::newRow("transfer by part of a certificate") << "frmTrdData" << "last; input=SC; query 0" << "D" << true;
    QTest::newRow("transfer by previous holder") << "frmTrdData" << "last; input=7; query 1" << "B" << false;
    QTest::newRow("transfer by previous holder, miss") << "frmTrdData" << "next; next; input=5; query 1" << "C" << true;
    QTest::newRow("transfer by previous holder, letters") << "frmTrdData" << "input=x; query 1" << "C" << false;
    QTest::newRow("transfer by new holder, first of two") << "frmTrdData" << "last; input=07; query 2" << "A" << false;
    QTest::newRow("transfer by new holder, letters miss") << "frmTrdData" << "next; input=x; query 2" << "B" << true;
    QTest::newRow("transfer search cancelled") << "frmTrdData" << "last; input=; query 2" << "D" << false;
    // clang-format on
}

void TestHoldersAndTransfers::searches()
{
    QFETCH(QString, window);
    QFETCH(QString, script);
    RecordWindowFixture w(records::named(window));
    const bool holders = window == QLatin1String("frmStockHolder");
    if (holders)
        addHolders(w.reg, 4);
    else
        addTransfers(w.reg);
    QVERIFY(w.open());

    w.run(script);

    QTEST(w.field(holders ? "txtStockHolderNo" : "txtItemCode")->text(), "shown");
    QCOMPARE(w.mode(), QStringLiteral("browse Modify"));
    QFETCH(bool, missed);
    QCOMPARE(w.titles(), missed ? QStringList{"Error"} : QStringList{});
    QCOMPARE(w.dialogs.beeps, missed ? 1 : 0);
    QVERIFY(w.dialogs.unexpected.isEmpty());
}

void TestHoldersAndTransfers::transfersLeaveTheOtherTablesAlone_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("items"); // the transfers' item codes afterwards
    QTest::newRow("add") << "add; type txtStockNo=SC-1; type txtPreviousHolder=7; type txtNewHolder=12; "
                            "type txtItemCode=E; exit"
                         << "A B C D E";
    QTest::newRow("modify") << "next; modify; type txtNewHolder=0; type txtItemCode=X; yes; modify"
                            << "A X C D";
    QTest::newRow("delete") << "last; yes; delete"
                            << "A B C";
}

void TestHoldersAndTransfers::transfersLeaveTheOtherTablesAlone()
{
    QFETCH(QString, script);
    RecordWindowFixture w(records::transfers());
    addTransfers(w.reg);
    addHolders(w.reg, 4);
    QCOMPARE(w.reg.exec("INSERT INTO stock_data VALUES ('SC-1', 1, '2001-01-01', 'A', 1, 7, 100), "
                        "('SC-2', 1, '2001-01-01', 'B', 7, 1, 200)"),
             QString());
    const QString certificates = dump(w.reg, QStringLiteral("stock_data"));
    const QString holders = dump(w.reg, QStringLiteral("stockholder"));
    QVERIFY(w.open());

    w.run(script);

    QStringList items;
    for (const QVariantList& row : w.reg.rows("SELECT item_code FROM transfer_data ORDER BY rowid"))
        items.append(row[0].toString());
    QTEST(items.join(QLatin1Char(' ')), "items");
    QCOMPARE(dump(w.reg, QStringLiteral("stock_data")), certificates);
    QCOMPARE(dump(w.reg, QStringLiteral("stockholder")), holders);
}

QTEST_MAIN(TestHoldersAndTransfers)
#include "tst_holdersandtransfers.moc"
