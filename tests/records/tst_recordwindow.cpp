#include "classiclook.h"
#include "connection.h"
#include "data.h"
#include "recordwindowfixture.h"
#include "stockdatawindow.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QProcess>

// The record-window flows, on the share certificate window.
class TestRecordWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { classiclook::apply(); }
    void flows_data();
    void flows();
    void focusFromOtherWindowsChangesNothing();
    void enterChainWalksTheFields_data();
    void enterChainWalksTheFields();
    void enterKeepsTheKeystroke_data();
    void enterKeepsTheKeystroke();
    void barMoveRefusedKeepsEditing();
    void fileRefusesTheSave_data();
    void fileRefusesTheSave();
    void closeRequestIsAnExit();
};

namespace {

struct Certificate {
    const char* no;
    int qty;
    int holder;
};
// The fourth repeats the first's number.
const Certificate certificates[] = {{"A", 100, 3}, {"B", 200, 7}, {"C", 300, 0}, {"A", 400, 7}};

void addCertificates(const TempRegister& reg, int count)
{
    for (int i = 0; i < count; ++i) {
        const Certificate& c = certificates[i];
        QVERIFY(reg.exec("INSERT INTO stock_data (stock_no, stock_qty, original_holder) VALUES (?, ?, ?)",
                         {c.no, c.qty, c.holder})
                    .isEmpty());
    }
}

QString stored(const TempRegister& reg)
{
    QStringList rows;
    for (const QVariantList& row : reg.rows("SELECT stock_no, stock_qty FROM stock_data ORDER BY rowid"))
        rows.append(row[0].toString() + QLatin1Char('/') + row[1].toString());
    return rows.join(QLatin1Char(' '));
}

} // namespace

void TestRecordWindow::flows_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("shown"); // stock number / quantity in the fields
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("dialogs");
    QTest::addColumn<QString>("says");

    const QString three = "A/100 B/200 C/300";
    const QStringList none;
    const QStringList confirm{"Confirm"};
    // clang-format off
    QTest::newRow("load shows the first record, browsing") << 3 << "" << "A/100" << "browse Modify" << three << none << "";
    QTest::newRow("bar moves keep browsing") << 3 << "last; previous" << "B/200" << "browse Modify" << three << none << "";
    QTest::newRow("add empties the fields for typing") << 3 << "add" << "/" << "edit Modify" << three << none << "";
    QTest::newRow("add, type, bar move stores") << 3 << "add; type txtStockNo=D; type txtStockQty=400; next" << "B/200" << "browse Modify" << three + " D/400" << none << "";
    QTest::newRow("add on an empty table, bar move stores") << 0 << "add; type txtStockNo=D; last" << "D/" << "browse Modify" << "D/" << none << "";
    QTest::newRow("modify opens the record") << 3 << "modify" << "A/100" << "edit OK" << three << none << "";
    QTest::newRow("modify, yes stores") << 3 << "modify; type txtStockQty=150; yes; modify" << "A/150" << "browse Modify" << "A/150 B/200 C/300" << confirm << "Are you sure modifying this record?";
    QTest::newRow("modify, no drops") << 3 << "modify; type txtStockQty=150; no; modify" << "A/100" << "browse Modify" << three << confirm << "";
    QTest::newRow("modify, bar move stores unasked") << 3 << "modify; type txtStockQty=150; next" << "B/200" << "browse Modify" << "A/150 B/200 C/300" << none << "";
    QTest::newRow("add, modify, yes stores the new record") << 3 << "add; type txtStockNo=D; modify; yes; modify" << "D/" << "browse Modify" << three + " D/" << confirm << "";
    QTest::newRow("add, modify, no drops the new record") << 3 << "add; type txtStockNo=D; modify; no; modify" << "A/100" << "browse Modify" << three << confirm << "";
    QTest::newRow("delete, yes removes and reopens") << 3 << "next; yes; delete" << "A/100" << "browse Modify" << "A/100 C/300" << QStringList{"Comfirm"} << "Are you sure deleting this record?";
    QTest::newRow("delete, no keeps") << 3 << "no; delete" << "A/100" << "browse Modify" << three << QStringList{"Comfirm"} << "";
    QTest::newRow("delete while modifying drops the typing") << 3 << "modify; type txtStockQty=150; yes; delete" << "B/200" << "browse Modify" << "B/200 C/300" << QStringList{"Comfirm"} << "";
    QTest::newRow("delete the only record empties the window") << 1 << "yes; delete" << "/" << "browse Modify" << "" << QStringList{"Comfirm"} << "";
    QTest::newRow("delete on an empty table asks nothing") << 0 << "delete" << "/" << "browse Modify" << "" << none << "";
    QTest::newRow("search lands on the first match") << 4 << "last; input=A; query 0" << "A/100" << "browse Modify" << three + " A/400" << none << "";
    QTest::newRow("search by number") << 4 << "input=7; query 1" << "B/200" << "browse Modify" << three + " A/400" << none << "";
    QTest::newRow("search by number ignores what follows") << 4 << "input=7x; query 1" << "B/200" << "browse Modify" << three + " A/400" << none << "";
    QTest::newRow("search by letters looks for 0") << 4 << "input=x; query 1" << "C/300" << "browse Modify" << three + " A/400" << none << "";
    QTest::newRow("search miss goes back, beeps, says so") << 3 << "next; input=Z; query 0" << "B/200" << "browse Modify" << three << QStringList{"Error"} << "No data in database!";
    QTest::newRow("search ignores blanks typed around") << 3 << "next; input= a  ; query 0" << "A/100" << "browse Modify" << three << none << "";
    QTest::newRow("search finds a value stored with blanks") << 3 << "add; type txtStockNo= D ; input=d; query 0" << " D /" << "browse Modify" << three + "  D /" << none << "";
    QTest::newRow("search for part of a number misses") << 3 << "next; input=B0; query 0" << "B/200" << "browse Modify" << three << QStringList{"Error"} << "";
    QTest::newRow("search with a quote misses safely") << 3 << "next; input=O'Brien; query 0" << "B/200" << "browse Modify" << three << QStringList{"Error"} << "";
    QTest::newRow("search cancelled does nothing") << 3 << "next; input=; query 0" << "B/200" << "browse Modify" << three << none << "";
    QTest::newRow("search stores a modification first") << 3 << "modify; type txtStockQty=150; input=C; query 0" << "C/300" << "browse Modify" << "A/150 B/200 C/300" << none << "";
    QTest::newRow("search while adding stores the record") << 3 << "add; type txtStockNo=D; input=D; query 0" << "D/" << "browse Modify" << three + " D/" << none << "";
    QTest::newRow("search on an empty table") << 0 << "input=A; query 0" << "/" << "browse Modify" << "" << QStringList{"Error"} << "No data in database!";
    QTest::newRow("exit stores what was typed") << 3 << "modify; type txtStockQty=150; exit" << "A/150" << "left" << "A/150 B/200 C/300" << none << "";
    QTest::newRow("exit stores a new record") << 3 << "add; type txtStockNo=D; exit" << "D/" << "left" << three + " D/" << none << "";
    // The record keys click the bar's arrows, from any control, and the focused field keeps its text.
    QTest::newRow("Page Down and Page Up from buttons") << 3 << "key PgDown@cmdNew; key PgDown@cmdExit; key PgUp@cmdModify" << "B/200" << "browse Modify" << three << none << "";
    QTest::newRow("Ctrl+Page Down, then Page Down stays last") << 3 << "key Ctrl+PgDown@cmdModify; key PgDown@cmdDelete" << "C/300" << "browse Modify" << three << none << "";
    QTest::newRow("Ctrl+Page Up, then Page Up stays first") << 3 << "last; key Ctrl+PgUp@cmdDelete; key PgUp@cmdNew" << "A/100" << "browse Modify" << three << none << "";
    QTest::newRow("Page Down while modifying stores unasked") << 3 << "modify; type txtStockQty=150; key PgDown@txtStockQty" << "B/200" << "browse Modify" << "A/150 B/200 C/300" << none << "";
    QTest::newRow("Ctrl+Page Down while adding stores the record") << 3 << "add; type txtStockNo=D; key Ctrl+PgDown@txtStockNo" << "D/" << "browse Modify" << three + " D/" << none << "";
    QTest::newRow("refused Page Up keeps editing") << 3 << "next; modify; type txtStockQty=abc; key PgUp@txtStockNo" << "B/abc" << "edit OK" << three << QStringList{"Velmora"} << "Stock Qty: \"abc\" is not a whole number";
    // Refusals: a message naming the field, the typing kept and still editable, nothing stored.
    QTest::newRow("modify on an empty table") << 0 << "modify" << "/" << "browse Modify" << "" << QStringList{"Velmora"} << "There is no current record.";
    QTest::newRow("refused modify, yes") << 3 << "modify; type txtStockQty=abc; yes; modify" << "A/abc" << "edit OK" << three << QStringList{"Confirm", "Velmora"} << "Stock Qty: \"abc\" is not a whole number";
    QTest::newRow("refused modify, corrected") << 3 << "modify; type txtStockQty=abc; yes; modify; type txtStockQty=5; yes; modify" << "A/5" << "browse Modify" << "A/5 B/200 C/300" << QStringList{"Confirm", "Velmora", "Confirm"} << "";
    QTest::newRow("refused new record on add") << 3 << "add; type txtPublishDate=soon; add" << "/" << "edit Modify" << three << QStringList{"Velmora"} << "Publish Date: \"soon\" is not a date";
    QTest::newRow("refused new record on search") << 3 << "add; type txtType=x; input=A; query 0" << "/" << "edit Modify" << three << QStringList{"Velmora"} << "Type: \"x\" is not a whole number";
    QTest::newRow("refused exit stays open") << 3 << "modify; type txtOriginalHolder=1.5; exit" << "A/100" << "edit OK" << three << QStringList{"Velmora"} << "Original Holder:";
    QTest::newRow("refused exit, dropped, then exit") << 3 << "modify; type txtStockQty=abc; exit; no; modify; exit" << "A/100" << "left" << three << QStringList{"Velmora", "Confirm"} << "";
    // clang-format on
}

void TestRecordWindow::flows()
{
    QFETCH(int, rows);
    QFETCH(QString, script);
    RecordWindowFixture w(records::stockData());
    addCertificates(w.reg, rows);
    QVERIFY(w.open());

    w.run(script);

    QTEST(w.field("txtStockNo")->text() + QLatin1Char('/') + w.field("txtStockQty")->text(), "shown");
    QTEST(w.mode(), "mode");
    QTEST(stored(w.reg), "table");
    QTEST(w.titles(), "dialogs");
    QFETCH(QString, says);
    QVERIFY2(w.prompts().contains(says), qPrintable(w.prompts()));
    QVERIFY2(w.dialogs.unexpected.isEmpty(), qPrintable(w.dialogs.unexpected.join(", ")));
    QCOMPARE(w.dialogs.beeps, w.titles().count(QStringLiteral("Error")));
    for (const auto& message : w.dialogs.messages) {
        const bool isError = message.title == QLatin1String("Error");
        QCOMPARE(message.buttons,
                 isError || message.title == QLatin1String("Velmora") ? Dialogs::Buttons::Ok : Dialogs::Buttons::YesNo);
        if (isError)
            QCOMPARE(message.icon, Dialogs::Icon::Information);
    }
    for (const auto& prompt : w.dialogs.prompts)
        QCOMPARE(prompt.prompt + '|' + prompt.title, QStringLiteral("Input query criteria:|Query"));
}

void TestRecordWindow::focusFromOtherWindowsChangesNothing()
{
    RecordWindowFixture w(records::stockData());
    QVERIFY(w.open());
    w.click("cmdNew");
    w.field("txtStockNo")->setFocus();
    QTest::keyClicks(w.field("txtStockNo"), "D");

    // A message box, the prompt or another program taking the focus and giving it back changes nothing.
    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    w.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
    QCOMPARE(w.mode(), QStringLiteral("edit Modify"));
    QCOMPARE(QApplication::focusWidget(), w.field("txtStockNo"));

    w.click("cmdExit");
    QCOMPARE(stored(w.reg), QStringLiteral("D/"));
}

void TestRecordWindow::enterChainWalksTheFields_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<bool>("ctrlM");       // Ctrl+M brings the character 13 without the Enter key
    QTest::addColumn<QStringList>("walk"); // from the first field, until the focus stays or comes back
    const QStringList certificates{"txtStockNo",        "txtType",          "txtPublishDate", "txtItemCode",
                                   "txtOriginalHolder", "txtPresentHolder", "txtStockQty"};
    const QStringList holders{"txtStockHolderNo", "txtCharacter", "txtStockHolderName", "txtGender",
                              "txtBirth",         "txtId_no",     "txtAddress1",        "txtAddress2",
                              "txtTelNo1",        "txtTelNo2",    "txtStockHolderNo"};
    const QStringList transfers{"txtStockNo",   "txtTransferredDate", "txtPreviousHolder",
                                "txtNewHolder", "txtItemCode",        "txtStockNo"};
    QTest::newRow("certificates, Enter ends at the quantity") << "frmStockData" << false << certificates;
    QTest::newRow("certificates, Ctrl+M stops at the item code") << "frmStockData" << true << certificates.mid(0, 4);
    QTest::newRow("holders, Enter goes round") << "frmStockHolder" << false << holders;
    QTest::newRow("holders, Ctrl+M goes round") << "frmStockHolder" << true << holders;
    QTest::newRow("transfers, Enter goes round") << "frmTrdData" << false << transfers;
    QTest::newRow("transfers, Ctrl+M stops at the new holder") << "frmTrdData" << true << transfers.mid(0, 4);
}

void TestRecordWindow::enterChainWalksTheFields()
{
    QFETCH(QString, window);
    QFETCH(bool, ctrlM);
    RecordWindowFixture w(records::named(window));
    QVERIFY(w.open());
    w.click("cmdNew");
    w.field(QString::fromUtf8(w.description.fields[0].name))->setFocus();
    QStringList walk{QApplication::focusWidget()->objectName()};
    for (qsizetype step = 0; step < 12; ++step) {
        QWidget* from = QApplication::focusWidget();
        QKeyEvent press(QEvent::KeyPress, ctrlM ? Qt::Key_M : Qt::Key_Return,
                        ctrlM ? Qt::ControlModifier : Qt::NoModifier, QStringLiteral("\r"));
        QApplication::sendEvent(from, &press);
        if (QApplication::focusWidget() == from)
            break;
        walk.append(QApplication::focusWidget()->objectName());
        if (walk.last() == walk.first())
            break;
    }
    QTEST(walk, "walk");
}

void TestRecordWindow::enterKeepsTheKeystroke_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("from");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("to");
    const int none = Qt::NoModifier;
    const int tab = Qt::Key_Tab;
    // clang-format off
    QTest::newRow("keypad Enter") << "frmStockData" << "txtStockNo" << int(Qt::Key_Enter) << none << "txtType";
    QTest::newRow("keypad Enter, key-down link") << "frmTrdData" << "txtNewHolder" << int(Qt::Key_Enter) << none << "txtItemCode";
    QTest::newRow("other keys stay") << "frmStockData" << "txtStockNo" << tab << int(Qt::ControlModifier) << "txtStockNo";
    // Tab follows the tab order, not the chain.
    QTest::newRow("holder last field, Tab") << "frmStockHolder" << "txtTelNo2" << tab << none << "cmdModify";
    QTest::newRow("transfer date, Tab") << "frmTrdData" << "txtTransferredDate" << tab << none << "txtItemCode";
    QTest::newRow("transfer item code, Tab") << "frmTrdData" << "txtItemCode" << tab << none << "txtPreviousHolder";
    // clang-format on
}

void TestRecordWindow::enterKeepsTheKeystroke()
{
    QFETCH(QString, window);
    QFETCH(QString, from);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    RecordWindowFixture w(records::named(window));
    QVERIFY(w.open());
    w.click("cmdNew");
    QLineEdit* field = w.field(from);
    field->setFocus();
    QSignalSpy returned(field, &QLineEdit::returnPressed);
    const QString text = key != Qt::Key_Tab ? QStringLiteral("\r") : modifiers ? QString() : QStringLiteral("\t");
    QKeyEvent press(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers), text);
    QApplication::sendEvent(field, &press);
    QTEST(QApplication::focusWidget()->objectName(), "to");
    // The keystroke still reaches the field, which keeps its text.
    QCOMPARE(returned.count(), key == Qt::Key_Enter ? 1 : 0);
    QVERIFY(field->text().isEmpty());
}

void TestRecordWindow::barMoveRefusedKeepsEditing()
{
    RecordWindowFixture w(records::stockData());
    addCertificates(w.reg, 3);
    QVERIFY(w.open());
    w.click("cmdModify");
    w.type("txtStockQty", "many");
    w.field("txtStockNo")->setFocus();
    w.click("moveNext");
    QCOMPARE(w.mode(), QStringLiteral("edit OK"));
    QCOMPARE(w.field("txtStockNo")->text(), QStringLiteral("A"));
    QCOMPARE(w.field("txtStockQty")->text(), QStringLiteral("many"));
    QCOMPARE(w.titles(), QStringList{"Velmora"});
    // The clerk is put back at the refused value, ready to retype it.
    QCOMPARE(QApplication::focusWidget(), w.field("txtStockQty"));
    QCOMPARE(w.field("txtStockQty")->selectedText(), QStringLiteral("many"));
}

void TestRecordWindow::fileRefusesTheSave_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("typed");
    QTest::newRow("read-only") << "immutable"
                               << "150";
    QTest::newRow("locked by another writer") << "locked"
                                              << "150";
    // Needs pages the file may not take, and is longer than a line edit holds by default.
    QTest::newRow("disk full") << "full" << QString(40000, QLatin1Char('9'));
    QTest::newRow("file deleted") << "deleted"
                                  << "150";
    QTest::newRow("history refuses the entry") << "history"
                                               << "150";
}

// The save is refused with the file and the reason named; the window stays, editing what was typed.
void TestRecordWindow::fileRefusesTheSave()
{
    QFETCH(QString, how);
    QFETCH(QString, typed);
    RecordWindowFixture w(records::stockData());
    addCertificates(w.reg, 3);
    QVERIFY(w.open());
    w.click("cmdModify");
    // A long text is pasted in; the last key marks the field as typed into.
    w.field("txtItemCode")->setText(typed.chopped(1));
    w.field("txtItemCode")->end(false);
    QTest::keyClicks(w.field("txtItemCode"), typed.right(1));

    QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other-writer"));
    other.setDatabaseName(w.reg.path());
    // Runs a statement on the window's own connection, holding none of it afterwards.
    const auto ownExec = [&](const QString& statement) {
        return QSqlQuery(w.get<Data>(QStringLiteral("daoStockData"))->recordset()->connection().database())
            .exec(statement);
    };
    const auto chattr = [&](const char* flag) {
        return QProcess::execute(QStringLiteral("chattr"), {QString::fromLatin1(flag), w.reg.path()}) == 0;
    };
    // Whatever happens below, the file does not stay immutable.
    const auto unlock = qScopeGuard([&] {
        if (how == QLatin1String("immutable"))
            chattr("-i");
    });
    if (how == QLatin1String("immutable")) {
        if (!chattr("+i"))
            QSKIP("chattr +i is not available here (needs root on a file system with attributes)");
    } else if (how == QLatin1String("locked")) {
        QVERIFY(other.open());
        QVERIFY(QSqlQuery(other).exec(QStringLiteral("BEGIN EXCLUSIVE")));
    } else if (how == QLatin1String("full")) {
        QVERIFY(ownExec(QStringLiteral("PRAGMA max_page_count = 1"))); // no page beyond those in use
    } else if (how == QLatin1String("history")) {
        QVERIFY(ownExec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON velmora_history BEGIN "
                                       "SELECT RAISE(ABORT, 'no room in the history'); END")));
    } else {
        QVERIFY(QFile::remove(w.reg.path()));
    }
    w.dialogs.answers.enqueue(Dialogs::Answer::Yes);
    w.click("cmdModify");
    if (how == QLatin1String("immutable"))
        chattr("-i");
    else if (how == QLatin1String("locked"))
        QSqlQuery(other).exec(QStringLiteral("ROLLBACK"));
    else if (how == QLatin1String("full"))
        ownExec(QStringLiteral("PRAGMA max_page_count = 1073741823"));
    else if (how == QLatin1String("history"))
        ownExec(QStringLiteral("DROP TRIGGER refuse"));
    other.close();
    other = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("other-writer"));

    QCOMPARE(w.titles(), (QStringList{"Confirm", "Velmora"}));
    QVERIFY2(w.prompts().contains(w.reg.path()), qPrintable(w.prompts()));
    QCOMPARE(w.mode(), QStringLiteral("edit OK"));
    QCOMPARE(w.field("txtItemCode")->text(), typed);
    if (how == QLatin1String("deleted")) {
        QVERIFY2(w.prompts().contains(QStringLiteral("the file was deleted, moved or replaced")),
                 qPrintable(w.prompts()));
        // The file is gone for good; OK and No, then Exit, still leave the window.
        QVERIFY(!QFile::exists(w.reg.path()));
        w.dialogs.answers.enqueue(Dialogs::Answer::No);
        w.click("cmdModify");
        w.click("cmdExit");
        QCOMPARE(w.exits->count(), 1);
        return;
    }
    QCOMPARE(w.reg.rows(QStringLiteral("SELECT item_code FROM stock_data WHERE rowid = 1"))[0][0], QVariant());
    QCOMPARE(w.reg.rows(QStringLiteral("SELECT count(*) FROM velmora_history"))[0][0].toInt(), 0);
    // Once the file takes writes again, the same OK stores it, with its history entry.
    w.dialogs.answers.enqueue(Dialogs::Answer::Yes);
    w.click("cmdModify");
    QCOMPARE(w.mode(), QStringLiteral("browse Modify"));
    QCOMPARE(w.reg.rows(QStringLiteral("SELECT item_code FROM stock_data WHERE rowid = 1"))[0][0].toString(), typed);
    QCOMPARE(w.reg.rows(QStringLiteral("SELECT action, record FROM velmora_history")),
             (QList<QVariantList>{{"modify", "A"}}));
}

void TestRecordWindow::closeRequestIsAnExit()
{
    RecordWindowFixture w(records::stockData());
    addCertificates(w.reg, 1);
    QVERIFY(w.open());
    w.click("cmdModify");
    w.type("txtStockQty", "7");
    QVERIFY(!w.window->close()); // the window stays until the opener removes it
    QCOMPARE(w.exits->count(), 1);
    QCOMPARE(stored(w.reg), QStringLiteral("A/7"));
}

QTEST_MAIN(TestRecordWindow)
#include "tst_recordwindow.moc"
