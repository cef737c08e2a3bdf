#include "classiclook.h"
#include "data.h"
#include "recordset.h"
#include "scripteddialogs.h"
#include "tempregister.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

Q_DECLARE_METATYPE(Action)

namespace {

void addCertificates(const TempRegister& reg);

// A window's worth of fields bound to a record source on stock_data, opened on a register of three
// certificates unless asked not to.
struct Window {
    explicit Window(bool opened = true)
        : data(dialogs, &client)
    {
        data.setGeometry(136, 328, 340, 25);
        for (const char* column : {"stock_no", "stock_qty", "present_holder"}) {
            auto* edit = new QLineEdit(QStringLiteral("Text1"), &client);
            edit->setObjectName(QString::fromLatin1(column));
            data.bind(edit, QString::fromLatin1(column));
            fields.append(edit);
        }
        // A label bound to a column is shown and never written.
        qty = new QLabel(&client);
        data.bind(qty, QStringLiteral("stock_qty"));
        if (opened) {
            addCertificates(reg);
            isOpen = open(reg.path());
        }
    }

    bool open(const QString& path)
    {
        data.setDatabaseName(path);
        data.setRecordSource(QStringLiteral("stock_data"));
        return data.refresh().ok();
    }
    QLineEdit* field(const char* column) const { return client.findChild<QLineEdit*>(QString::fromLatin1(column)); }
    void click(const char* button) const
    {
        QTest::mouseClick(data.findChild<QAbstractButton*>(QString::fromLatin1(button)), Qt::LeftButton);
    }

    TempRegister reg;
    ScriptedDialogs dialogs;
    QWidget client;
    Data data;
    bool isOpen = false;
    QList<QLineEdit*> fields;
    QLabel* qty = nullptr;
};

void addCertificates(const TempRegister& reg)
{
    for (const auto& [no, qty] : {std::pair{"A", 100}, {"B", 200}, {"C", 300}})
        QVERIFY(reg.exec("INSERT INTO stock_data (stock_no, stock_qty) VALUES (?, ?)", {no, qty}).isEmpty());
}

} // namespace

class TestData : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { classiclook::apply(); }
    void hasTheRecordSourceProperties();
    void barHasArrowsAtBothEndsAndTheCaptionBetween();
    void refreshFillsTheBoundFields();
    void typingSetsTheChangedMarkAndFillingClearsIt();
    void barMovesRaiseValidateAndStoreOnlyChangedFields();
    void barShowsItsOwnFailureAndStays();
    void heldArrowStopsAtARefusal();
    void failedRefreshKeepsWhatWasOpen();
    void unloadStoresAndCloses();
    void barDoesNothingBeforeTheFirstRefresh();
};

void TestData::hasTheRecordSourceProperties()
{
    ScriptedDialogs dialogs;
    Data data(dialogs, nullptr);
    QCOMPARE(data.property("Connect").toString(), "Access");
    QCOMPARE(data.property("Caption").toString(), "Data1");
    data.setProperty("RecordSource", "stock_data");
    data.setProperty("DatabaseName", "/somewhere/stock.mdb");
    QCOMPARE(data.recordSource(), "stock_data");
    QCOMPARE(data.databaseName(), "/somewhere/stock.mdb");
    QVERIFY(!data.recordset()); // nothing is opened until a refresh
}

void TestData::barHasArrowsAtBothEndsAndTheCaptionBetween()
{
    Window window(false);
    window.client.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window.client));
    const auto x = [&](const char* name) {
        return window.data.findChild<QWidget*>(QString::fromLatin1(name))->x();
    };
    QVERIFY(x("moveFirst") < x("movePrevious"));
    QVERIFY(x("movePrevious") < x("caption"));
    QVERIFY(x("caption") < x("moveNext"));
    QVERIFY(x("moveNext") < x("moveLast"));
    QCOMPARE(window.data.findChild<QLabel*>("caption")->text(), "Data1");
    QCOMPARE(window.data.findChild<QWidget*>("moveLast")->geometry().right(), 339);
    for (auto* button : window.data.findChildren<QAbstractButton*>()) {
        QCOMPARE(button->focusPolicy(), Qt::NoFocus);
        QVERIFY(button->isEnabled());
    }
}

void TestData::refreshFillsTheBoundFields()
{
    Window window;
    QVERIFY(window.isOpen);
    QCOMPARE(window.field("stock_no")->text(), "A");
    QCOMPARE(window.field("stock_qty")->text(), "100");
    QCOMPARE(window.field("present_holder")->text(), ""); // no value, not the design text
    QCOMPARE(window.qty->text(), "100");
    for (QLineEdit* field : window.fields)
        QVERIFY(!window.data.isChanged(field));
}

void TestData::typingSetsTheChangedMarkAndFillingClearsIt()
{
    Window window;
    QVERIFY(window.isOpen);
    QLineEdit* no = window.field("stock_no");
    QTest::keyClicks(no, "2");
    QVERIFY(window.data.isChanged(no));
    QVERIFY(!window.data.isChanged(window.field("stock_qty")));
    window.data.recordset()->cancelUpdate();
    QCOMPARE(no->text(), "A");
    QVERIFY(!window.data.isChanged(no));
}

void TestData::barMovesRaiseValidateAndStoreOnlyChangedFields()
{
    Window window;
    QVERIFY(window.isOpen);
    QSignalSpy validated(&window.data, &Data::validate);

    QVERIFY(window.data.recordset()->edit().ok());
    window.field("present_holder")->setText("9");
    window.qty->setText("999"); // a label is never written
    window.click("moveNext");
    QCOMPARE(window.field("stock_no")->text(), "B");
    QCOMPARE(validated.count(), 1);
    QCOMPARE(validated[0][0].value<Action>(), Action::MoveNext);
    QCOMPARE(validated[0][1].toBool(), true);
    QCOMPARE(window.reg.rows("SELECT stock_no, stock_qty, present_holder FROM stock_data WHERE rowid = 1")[0],
             (QVariantList{"A", 100, 9}));

    window.click("moveLast");
    window.click("moveLast");
    QCOMPARE(window.field("stock_no")->text(), "C");
    window.click("movePrevious");
    window.click("moveFirst");
    QCOMPARE(window.field("stock_no")->text(), "A");
    QCOMPARE(window.field("present_holder")->text(), "9");
    QCOMPARE(validated.count(), 5);
    QCOMPARE(validated[4][0].value<Action>(), Action::MoveFirst);
    QVERIFY(window.dialogs.messages.isEmpty());
}

void TestData::barShowsItsOwnFailureAndStays()
{
    Window window;
    QVERIFY(window.isOpen);
    QVERIFY(window.data.recordset()->edit().ok());
    QTest::keyClicks(window.field("stock_qty"), "x");

    window.click("moveNext");
    QCOMPARE(window.dialogs.messages.size(), 1);
    QCOMPARE(window.dialogs.messages[0].prompt, "Stock Qty: \"x100\" is not a whole number");
    QCOMPARE(window.dialogs.messages[0].buttons, Dialogs::Buttons::Ok);
    QCOMPARE(window.field("stock_no")->text(), "A");
    QCOMPARE(window.field("stock_qty")->text(), "x100");
    QVERIFY(window.data.isChanged(window.field("stock_qty")));
    QCOMPARE(window.data.recordset()->editState(), EditState::Editing);
    QCOMPARE(window.reg.rows("SELECT stock_qty FROM stock_data WHERE rowid = 1")[0][0].toInt(), 100);
}

void TestData::heldArrowStopsAtARefusal()
{
    Window window;
    QVERIFY(window.isOpen);
    QSignalSpy refused(&window.data, &Data::moveRefused);
    auto* next = window.data.findChild<QAbstractButton*>("moveNext");
    QVERIFY(next->autoRepeat());
    QTest::mousePress(next, Qt::LeftButton);
    QTRY_COMPARE(window.field("stock_no")->text(), "C"); // held, it repeats
    QTest::mouseRelease(next, Qt::LeftButton);
    window.click("moveFirst");

    QVERIFY(window.data.recordset()->edit().ok());
    QTest::keyClicks(window.field("stock_qty"), "x");
    QTest::mousePress(next, Qt::LeftButton);
    QTest::qWait(next->autoRepeatDelay() + 3 * next->autoRepeatInterval()); // the button's own repeat timer
    QTest::mouseRelease(next, Qt::LeftButton);
    QCOMPARE(window.dialogs.messages.size(), 1);
    QCOMPARE(refused.count(), 1);
    QCOMPARE(refused[0][0].toString(), "stock_qty");
    QCOMPARE(window.field("stock_no")->text(), "A");
}

void TestData::failedRefreshKeepsWhatWasOpen()
{
    Window window;
    QVERIFY(window.isOpen);
    Recordset* open = window.data.recordset();

    window.data.setDatabaseName(window.reg.directory() + "/elsewhere.mdb");
    const Status refreshed = window.data.refresh();
    QVERIFY(!refreshed.ok());
    QVERIFY(refreshed.message().contains("elsewhere.mdb"));
    QCOMPARE(window.data.recordset(), open);
    window.click("moveNext");
    QCOMPARE(window.field("stock_no")->text(), "B");

    window.data.setDatabaseName(window.reg.path());
    window.data.setRecordSource("no_such_table");
    QVERIFY(!window.data.refresh().ok());
    QCOMPARE(window.data.recordset(), open);
}

void TestData::unloadStoresAndCloses()
{
    Window window;
    QVERIFY(window.isOpen);
    QSignalSpy validated(&window.data, &Data::validate);
    QVERIFY(window.data.recordset()->addNew().ok());
    QTest::keyClicks(window.field("stock_no"), "NEW");
    QVERIFY(window.data.unload().ok());
    QVERIFY(!window.data.recordset());
    QCOMPARE(validated.last()[0].value<Action>(), Action::Unload);
    QCOMPARE(window.reg.rows("SELECT stock_no FROM stock_data WHERE rowid = 4")[0][0].toString(), "NEW");
}

void TestData::barDoesNothingBeforeTheFirstRefresh()
{
    Window window(false);
    window.click("moveNext");
    window.click("moveLast");
    QVERIFY(window.dialogs.messages.isEmpty());
    QCOMPARE(window.field("stock_no")->text(), "Text1");
}

QTEST_MAIN(TestData)
#include "tst_data.moc"
