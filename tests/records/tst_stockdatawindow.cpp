#include "classiclook.h"
#include "data.h"
#include "recordwindowfixture.h"
#include "stockdatawindow.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>

// The share certificate window as laid out: every control, the menus, the tab order and the bindings.
class TestStockDataWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase() { m_window.reset(); }
    void controlsArePlaced_data();
    void controlsArePlaced();
    void windowIsACentredSizableFrameWithoutControlBox();
    void menusHoldTheQueriesAndExit();
    void tabOrderStartsOnAddAndSkipsDisabledFields();
    void fieldsShowTheirColumns();

private:
    std::unique_ptr<RecordWindowFixture> m_window;
};

void TestStockDataWindow::initTestCase()
{
    classiclook::apply();
    m_window = std::make_unique<RecordWindowFixture>(records::stockData());
    QCOMPARE(m_window->reg.exec("INSERT INTO stock_data VALUES ('SC-7', 2, '2001-02-03', 'IC', 4, 5, 600)"), QString());
    QVERIFY(m_window->open());
}

void TestStockDataWindow::controlsArePlaced_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("index");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<int>("align");
    const int right = Qt::AlignRight;
    const int left = Qt::AlignLeft;
    const int centre = Qt::AlignHCenter;
    // clang-format off
    QTest::newRow("lblShareHolder") << "lblShareHolder" << -1 << QRect(240, 120, 7455, 495) << "Stock Data" << "client" << centre;
    QTest::newRow("Frame1") << "Frame1" << 0 << QRect(480, 840, 6615, 3855) << "Detail Info." << "client" << 0;
    QTest::newRow("stockno(0)") << "stockno" << 0 << QRect(720, 480, 615, 195) << "Stock #:" << "Frame1" << right;
    QTest::newRow("txtStockNo") << "txtStockNo" << -1 << QRect(1440, 360, 1695, 375) << "SC-7" << "Frame1" << 0;
    QTest::newRow("stockholder(1)") << "stockholder" << 1 << QRect(930, 960, 405, 195) << "Type:" << "Frame1" << right;
    QTest::newRow("txtType") << "txtType" << -1 << QRect(1440, 840, 375, 375) << "2" << "Frame1" << 0;
    QTest::newRow("stockholder(12)") << "stockholder" << 12 << QRect(1920, 960, 1545, 195) << "(1.Common 2.Special)" << "Frame1" << left;
    QTest::newRow("stockholder(2)") << "stockholder" << 2 << QRect(390, 1440, 945, 195) << "Publish Date:" << "Frame1" << right;
    QTest::newRow("txtPublishDate") << "txtPublishDate" << -1 << QRect(1440, 1320, 1455, 375) << "2001-02-03" << "Frame1" << 0;
    QTest::newRow("stockholder(3)") << "stockholder" << 3 << QRect(585, 1920, 750, 195) << "Item code:" << "Frame1" << right;
    QTest::newRow("txtItemCode") << "txtItemCode" << -1 << QRect(1440, 1800, 1455, 375) << "IC" << "Frame1" << 0;
    QTest::newRow("stockholder(4)") << "stockholder" << 4 << QRect(255, 2400, 1080, 195) << "Original Holder:" << "Frame1" << right;
    QTest::newRow("txtOriginalHolder") << "txtOriginalHolder" << -1 << QRect(1440, 2280, 615, 375) << "4" << "Frame1" << 0;
    QTest::newRow("stockholder(5)") << "stockholder" << 5 << QRect(240, 2880, 1095, 195) << "Present Holder:" << "Frame1" << right;
    QTest::newRow("txtPresentHolder") << "txtPresentHolder" << -1 << QRect(1440, 2760, 600, 375) << "5" << "Frame1" << 0;
    QTest::newRow("stockholder(8)") << "stockholder" << 8 << QRect(585, 3360, 750, 195) << "Stock Qty:" << "Frame1" << right;
    QTest::newRow("txtStockQty") << "txtStockQty" << -1 << QRect(1440, 3240, 1935, 375) << "600" << "Frame1" << 0;
    QTest::newRow("cmdNew") << "cmdNew" << -1 << QRect(7440, 1440, 1215, 495) << "Add" << "client" << 0;
    QTest::newRow("cmdModify") << "cmdModify" << -1 << QRect(7440, 2160, 1215, 495) << "Modify" << "client" << 0;
    QTest::newRow("cmdDelete") << "cmdDelete" << -1 << QRect(7440, 2880, 1215, 495) << "Delete" << "client" << 0;
    QTest::newRow("cmdExit") << "cmdExit" << -1 << QRect(7440, 3600, 1215, 495) << "Exit" << "client" << 0;
    QTest::newRow("daoStockData") << "daoStockData" << -1 << QRect(2040, 4920, 5100, 375) << "Data1" << "client" << 0;
    // clang-format on
}

void TestStockDataWindow::controlsArePlaced()
{
    QFETCH(QString, name);
    QFETCH(int, index);
    QFETCH(QRect, twips);
    QWidget* control = nullptr;
    for (QWidget* candidate : m_window->window->findChildren<QWidget*>(name)) {
        if (candidate->property("index").toInt() == index || (index < 0 && !candidate->property("index").isValid()))
            control = candidate;
    }
    QVERIFY(control);
    const QRect pixels(twips::toPixels(twips.x()), twips::toPixels(twips.y()), twips::toPixels(twips.width()),
                       twips::toPixels(twips.height()));
    QCOMPARE(control->geometry(), pixels);
    QTEST(control->parentWidget()->objectName(), "parent");

    QFETCH(QString, text);
    QFETCH(int, align);
    if (auto* label = qobject_cast<QLabel*>(control)) {
        QCOMPARE(label->text(), text);
        QCOMPARE(int(label->alignment() & Qt::AlignHorizontal_Mask), align);
        // Every caption shows whole within its box.
        QVERIFY(label->fontMetrics().horizontalAdvance(text) <= label->width());
    } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        QCOMPARE(edit->text(), text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        QCOMPARE(button->text(), text);
        QCOMPARE(control->focusPolicy() & Qt::TabFocus, Qt::TabFocus);
    } else if (auto* frame = qobject_cast<QGroupBox*>(control)) {
        QCOMPARE(frame->title(), text);
    } else {
        QCOMPARE(control->property("Caption").toString(), text);
        QCOMPARE(control->property("RecordSource").toString(), QStringLiteral("stock_data"));
        QCOMPARE(control->property("Connect").toString(), QStringLiteral("Access"));
    }
}

void TestStockDataWindow::windowIsACentredSizableFrameWithoutControlBox()
{
    RecordWindow* window = m_window->window.get();
    QCOMPARE(window->windowTitle(), QStringLiteral("Velmora"));
    QCOMPARE(window->centralWidget()->size(), QSize(600, 372));
    QCOMPARE(window->windowModality(), Qt::ApplicationModal);
    const Qt::WindowFlags flags = window->windowFlags();
    QVERIFY(flags & Qt::WindowTitleHint);
    for (const Qt::WindowType absent : {Qt::WindowSystemMenuHint, Qt::WindowMinimizeButtonHint,
                                        Qt::WindowMaximizeButtonHint, Qt::WindowCloseButtonHint})
        QVERIFY(!(flags & absent));
    QVERIFY(window->maximumWidth() > 600); // sizable
    QVERIFY(!window->windowIcon().isNull());
    const QPoint screenCentre = window->screen()->availableGeometry().center();
    // Centred as far as the frame, which the window system adds at showing, allows.
    const int frame = window->frameGeometry().width() - window->width();
    QVERIFY(qAbs(window->geometry().center().x() - screenCentre.x()) <= 1 + frame);
    QVERIFY(qAbs(window->centralWidget()->mapToGlobal(QPoint(300, 186)).y() - screenCentre.y()) <= 1 + frame + 20);
    auto* title = window->findChild<QLabel*>(QStringLiteral("lblShareHolder"));
    QCOMPARE(title->font().family(), QStringLiteral("Arial"));
    QCOMPARE(title->font().pointSizeF(), 24.0);
    QVERIFY(!title->font().bold());
}

void TestStockDataWindow::menusHoldTheQueriesAndExit()
{
    const QList<QAction*> titles = m_window->window->menuBar()->actions();
    QCOMPARE(titles.size(), 2);
    QMenu* records = titles[0]->menu();
    QVERIFY(records);
    QCOMPARE(records->objectName(), QStringLiteral("mmuStockData"));
    QCOMPARE(records->title(), QStringLiteral("StockData"));
    QCOMPARE(titles[1]->objectName(), QStringLiteral("about"));
    QCOMPARE(titles[1]->text(), QStringLiteral("About"));
    QVERIFY(!titles[1]->menu());

    QStringList items;
    for (QAction* item : records->actions())
        items.append(item->isSeparator() ? item->objectName() + ":-" : item->text());
    QCOMPARE(items, (QStringList{"Query", "x:-", "Exit"}));
    QCOMPARE(records->actions()[2]->objectName(), QStringLiteral("end"));
    QMenu* find = records->actions()[0]->menu();
    QCOMPARE(find->objectName(), QStringLiteral("find"));
    QStringList queries;
    for (QAction* item : find->actions())
        queries.append(
            QStringLiteral("%1(%2) %3").arg(item->objectName()).arg(item->property("index").toInt()).arg(item->text()));
    QCOMPARE(queries, (QStringList{"mfind(0) Stock #.", "mfind(1) Original Holder", "mfind(2) Present Holder"}));
}

void TestStockDataWindow::tabOrderStartsOnAddAndSkipsDisabledFields()
{
    RecordWindowFixture w(records::stockData());
    QVERIFY(w.open());
    const auto walk = [] {
        QStringList visited{QApplication::focusWidget()->objectName()};
        for (int i = 0; i < 11; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited.append(QApplication::focusWidget()->objectName());
        }
        return visited;
    };
    QCOMPARE(walk(), (QStringList{"cmdNew", "cmdModify", "cmdDelete", "cmdExit", "cmdNew", "cmdModify", "cmdDelete",
                                  "cmdExit", "cmdNew", "cmdModify", "cmdDelete", "cmdExit"}));
    w.button("cmdNew")->setFocus();
    w.click("cmdNew");
    QCOMPARE(walk(),
             (QStringList{"cmdNew", "txtStockNo", "txtType", "txtPublishDate", "txtItemCode", "txtOriginalHolder",
                          "txtPresentHolder", "txtStockQty", "cmdModify", "cmdDelete", "cmdExit", "cmdNew"}));
}

void TestStockDataWindow::fieldsShowTheirColumns()
{
    // Each field is written back to its own column.
    RecordWindowFixture w(records::stockData());
    QVERIFY(w.open());
    w.click("cmdNew");
    const QStringList fields{"txtStockNo",        "txtType",          "txtPublishDate", "txtItemCode",
                             "txtOriginalHolder", "txtPresentHolder", "txtStockQty"};
    const QStringList typed{"SC-9", "1", "2020-01-31", "X-1", "8", "9", "10"};
    for (int i = 0; i < fields.size(); ++i)
        w.type(fields[i], typed[i]);
    w.click("cmdExit");
    const auto rows = w.reg.rows("SELECT stock_no, stock_type, publish_date, item_code, original_holder, "
                                 "present_holder, stock_qty FROM stock_data");
    QCOMPARE(rows.size(), 1);
    QStringList stored;
    for (const QVariant& value : rows[0])
        stored.append(value.toString());
    QCOMPARE(stored, typed);
}

QTEST_MAIN(TestStockDataWindow)
#include "tst_stockdatawindow.moc"
