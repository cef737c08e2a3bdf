#include "classiclook.h"
#include "data.h"
#include "recordwindowfixture.h"

#include <QAccessible>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>

// The three record windows as laid out: every control, the window, the menus, the tab order and the bindings.
class TestWindowLayouts : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase() { m_windows.clear(); }
    void controlsArePlaced_data();
    void controlsArePlaced();
    void windowIsACentredSizableFrameWithoutControlBox_data();
    void windowIsACentredSizableFrameWithoutControlBox();
    void menusHoldTheQueriesAndExit_data();
    void menusHoldTheQueriesAndExit();
    void tabOrderStartsOnAddAndSkipsDisabledFields_data();
    void tabOrderStartsOnAddAndSkipsDisabledFields();
    void fieldsAreWrittenToTheirColumns_data();
    void fieldsAreWrittenToTheirColumns();
    void totalShareIsABorderedLabelInTheLightColour();
    void screenReaderTellsTheControlsApart_data();
    void screenReaderTellsTheControlsApart();

private:
    std::map<QString, std::unique_ptr<RecordWindowFixture>> m_windows;
};

namespace {

// One row in each table, so that every bound control shows a value.
const char* const seeds[][2] = {
    {"frmStockData", "INSERT INTO stock_data VALUES ('SC-7', 2, '2001-02-03', 'IC', 4, 5, 600)"},
    {"frmStockHolder", "INSERT INTO stockholder VALUES (7, 1, 'Ann Lee', 0, '1970-01-02', 'ID-9', 'One Street', "
                       "'Two Town', '555-1', '555-2', 1000)"},
    {"frmTrdData", "INSERT INTO transfer_data VALUES ('SC-7', '2003-04-05', 4, 5, 'IC')"},
};

QRect pixels(const QRect& twips)
{
    return twips::Rect{twips.x(), twips.y(), twips.width(), twips.height()}.pixels();
}

} // namespace

void TestWindowLayouts::initTestCase()
{
    classiclook::apply();
    for (const auto& [window, seed] : seeds) {
        auto opened = std::make_unique<RecordWindowFixture>(records::named(QString::fromLatin1(window)));
        QCOMPARE(opened->reg.exec(QString::fromLatin1(seed)), QString());
        QVERIFY(opened->open());
        opened->window->hide();
        m_windows[QString::fromLatin1(window)] = std::move(opened);
    }
}

void TestWindowLayouts::controlsArePlaced_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("index");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<int>("align");
    const int right = Qt::AlignRight;
    const int left = Qt::AlignLeft;
    const int centre = Qt::AlignHCenter;
    const auto row = [](const char* window, const char* name, int index) -> QTestData& {
        const QString tag = index < 0 ? QString::fromLatin1(name) : QStringLiteral("%1(%2)").arg(name).arg(index);
        return QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(window, tag))) << window << name << index;
    };
    // clang-format off
    const char* w = "frmStockData";
    row(w, "lblShareHolder", -1) << QRect(240, 120, 7455, 495) << "Stock Data" << "client" << centre;
    row(w, "Frame1", 0) << QRect(480, 840, 6615, 3855) << "Detail Info." << "client" << 0;
    row(w, "stockno", 0) << QRect(720, 480, 615, 195) << "Stock #:" << "Frame1" << right;
    row(w, "txtStockNo", -1) << QRect(1440, 360, 1695, 375) << "SC-7" << "Frame1" << 0;
    row(w, "stockholder", 1) << QRect(930, 960, 405, 195) << "Type:" << "Frame1" << right;
    row(w, "txtType", -1) << QRect(1440, 840, 375, 375) << "2" << "Frame1" << 0;
    row(w, "stockholder", 12) << QRect(1920, 960, 1545, 195) << "(1.Common 2.Special)" << "Frame1" << left;
    row(w, "stockholder", 2) << QRect(390, 1440, 945, 195) << "Publish Date:" << "Frame1" << right;
    row(w, "txtPublishDate", -1) << QRect(1440, 1320, 1455, 375) << "2001-02-03" << "Frame1" << 0;
    row(w, "stockholder", 3) << QRect(585, 1920, 750, 195) << "Item code:" << "Frame1" << right;
    row(w, "txtItemCode", -1) << QRect(1440, 1800, 1455, 375) << "IC" << "Frame1" << 0;
    row(w, "stockholder", 4) << QRect(255, 2400, 1080, 195) << "Original Holder:" << "Frame1" << right;
    row(w, "txtOriginalHolder", -1) << QRect(1440, 2280, 615, 375) << "4" << "Frame1" << 0;
    row(w, "stockholder", 5) << QRect(240, 2880, 1095, 195) << "Present Holder:" << "Frame1" << right;
    row(w, "txtPresentHolder", -1) << QRect(1440, 2760, 600, 375) << "5" << "Frame1" << 0;
    row(w, "stockholder", 8) << QRect(585, 3360, 750, 195) << "Stock Qty:" << "Frame1" << right;
    row(w, "txtStockQty", -1) << QRect(1440, 3240, 1935, 375) << "600" << "Frame1" << 0;
    row(w, "cmdNew", -1) << QRect(7440, 1440, 1215, 495) << "Add" << "client" << 0;
    row(w, "cmdModify", -1) << QRect(7440, 2160, 1215, 495) << "Modify" << "client" << 0;
    row(w, "cmdDelete", -1) << QRect(7440, 2880, 1215, 495) << "Delete" << "client" << 0;
    row(w, "cmdExit", -1) << QRect(7440, 3600, 1215, 495) << "Exit" << "client" << 0;
    row(w, "daoStockData", -1) << QRect(2040, 4920, 5100, 375) << "stock_data" << "client" << 0;

    w = "frmStockHolder";
    row(w, "lblShareHolder", -1) << QRect(1080, 120, 7935, 495) << "Stockholder Data" << "client" << centre;
    row(w, "Frame1", 0) << QRect(240, 960, 8655, 5295) << "Detail Info." << "client" << 0;
    row(w, "cmdNew", -1) << QRect(9120, 1440, 1215, 495) << "Add" << "client" << 0;
    row(w, "cmdModify", -1) << QRect(9120, 2160, 1215, 495) << "Modify" << "client" << 0;
    row(w, "cmdDelete", -1) << QRect(9120, 2880, 1215, 495) << "Delete" << "client" << 0;
    row(w, "cmdExit", -1) << QRect(9120, 3600, 1215, 495) << "Exit" << "client" << 0;
    row(w, "daoStockholder", -1) << QRect(1920, 6600, 5100, 375) << "stockholder" << "client" << 0;
    row(w, "txtStockHolderNo", -1) << QRect(1440, 360, 1215, 375) << "7" << "Frame1" << 0;
    row(w, "txtCharacter", -1) << QRect(5280, 360, 255, 375) << "1" << "Frame1" << 0;
    row(w, "txtStockHolderName", -1) << QRect(1440, 840, 4335, 375) << "Ann Lee" << "Frame1" << 0;
    row(w, "txtGender", -1) << QRect(1440, 1320, 375, 375) << "0" << "Frame1" << 0;
    row(w, "txtBirth", -1) << QRect(1440, 1800, 1455, 375) << "1970-01-02" << "Frame1" << 0;
    row(w, "txtId_no", -1) << QRect(1440, 2280, 1935, 375) << "ID-9" << "Frame1" << 0;
    row(w, "txtAddress1", -1) << QRect(1440, 2760, 6600, 375) << "One Street" << "Frame1" << 0;
    row(w, "txtAddress2", -1) << QRect(1440, 3240, 6600, 375) << "Two Town" << "Frame1" << 0;
    row(w, "txtTelNo1", -1) << QRect(1440, 3720, 1935, 375) << "555-1" << "Frame1" << 0;
    row(w, "txtTelNo2", -1) << QRect(1440, 4200, 1935, 375) << "555-2" << "Frame1" << 0;
    row(w, "txtTotalShare", -1) << QRect(6060, 4200, 1935, 375) << "1000" << "Frame1" << right;
    row(w, "stockholder", 0) << QRect(255, 480, 1080, 195) << "ShareHolder #:" << "Frame1" << right;
    row(w, "stockholder", 1) << QRect(870, 960, 465, 195) << "Name:" << "Frame1" << right;
    row(w, "stockholder", 2) << QRect(765, 1440, 570, 195) << "Gender:" << "Frame1" << right;
    row(w, "stockholder", 3) << QRect(720, 1920, 615, 195) << "Birthday:" << "Frame1" << right;
    row(w, "stockholder", 4) << QRect(870, 2400, 465, 195) << "ID No:" << "Frame1" << right;
    row(w, "stockholder", 5) << QRect(585, 2880, 750, 195) << "Address 1:" << "Frame1" << right;
    row(w, "stockholder", 6) << QRect(4200, 480, 1005, 195) << "nature/juristic:" << "Frame1" << right;
    row(w, "stockholder", 7) << QRect(585, 3360, 750, 195) << "Address 2:" << "Frame1" << right;
    row(w, "stockholder", 8) << QRect(180, 4320, 1155, 195) << "Telphone No. 2:" << "Frame1" << right;
    row(w, "stockholder", 9) << QRect(180, 3840, 1155, 195) << "Telphone No. 1:" << "Frame1" << right;
    row(w, "stockholder", 10) << QRect(5640, 480, 2340, 195) << "(1.nature person 2.juristic person)" << "Frame1" << left;
    row(w, "stockholder", 11) << QRect(5085, 4320, 870, 195) << "Total Share:" << "Frame1" << right;
    row(w, "stockholder", 12) << QRect(1920, 1440, 1200, 195) << "(0.female 1.male)" << "Frame1" << left;

    w = "frmTrdData";
    row(w, "lblShareHolder", -1) << QRect(240, 120, 7455, 495) << "Transferred Data" << "client" << centre;
    row(w, "Frame1", 0) << QRect(480, 840, 6615, 3255) << "Detail Info." << "client" << 0;
    row(w, "stockno", 0) << QRect(1920, 600, 615, 195) << "Stock #:" << "Frame1" << right;
    row(w, "txtStockNo", -1) << QRect(2640, 480, 1695, 375) << "SC-7" << "Frame1" << 0;
    row(w, "stockholder", 2) << QRect(1290, 1080, 1245, 195) << "Transferred Date:" << "Frame1" << right;
    row(w, "txtTransferredDate", -1) << QRect(2640, 960, 1455, 375) << "2003-04-05" << "Frame1" << 0;
    row(w, "stockholder", 4) << QRect(1365, 1560, 1170, 195) << "Previous Holder:" << "Frame1" << right;
    row(w, "txtPreviousHolder", -1) << QRect(2640, 1440, 615, 375) << "4" << "Frame1" << 0;
    row(w, "stockholder", 5) << QRect(1650, 2040, 885, 195) << "New Holder:" << "Frame1" << right;
    row(w, "txtNewHolder", -1) << QRect(2640, 1920, 600, 375) << "5" << "Frame1" << 0;
    row(w, "stockholder", 3) << QRect(1785, 2520, 750, 195) << "Item code:" << "Frame1" << right;
    row(w, "txtItemCode", -1) << QRect(2640, 2400, 495, 375) << "IC" << "Frame1" << 0;
    row(w, "cmdNew", -1) << QRect(7440, 1440, 1215, 495) << "Add" << "client" << 0;
    row(w, "cmdModify", -1) << QRect(7440, 2160, 1215, 495) << "Modify" << "client" << 0;
    row(w, "cmdDelete", -1) << QRect(7440, 2880, 1215, 495) << "Delete" << "client" << 0;
    row(w, "cmdExit", -1) << QRect(7440, 3600, 1215, 495) << "Exit" << "client" << 0;
    row(w, "daoTrdData", -1) << QRect(2040, 4440, 5100, 375) << "transfer_data" << "client" << 0;
    // clang-format on
}

void TestWindowLayouts::controlsArePlaced()
{
    QFETCH(QString, window);
    QFETCH(QString, name);
    QFETCH(int, index);
    QFETCH(QRect, twips);
    QWidget* control = nullptr;
    for (QWidget* candidate : m_windows.at(window)->window->findChildren<QWidget*>(name)) {
        if (candidate->property("index").toInt() == index || (index < 0 && !candidate->property("index").isValid()))
            control = candidate;
    }
    QVERIFY(control);
    QCOMPARE(control->geometry(), pixels(twips));
    QTEST(control->parentWidget()->objectName(), "parent");

    QFETCH(QString, text);
    QFETCH(int, align);
    if (auto* label = qobject_cast<QLabel*>(control)) {
        QCOMPARE(label->text(), text);
        QCOMPARE(int(label->alignment() & Qt::AlignHorizontal_Mask), align);
        // Every caption shows whole within its box.
        QVERIFY(label->fontMetrics().horizontalAdvance(text) <= label->contentsRect().width());
    } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        QCOMPARE(edit->text(), text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        QCOMPARE(button->text(), text);
        QCOMPARE(control->focusPolicy() & Qt::TabFocus, Qt::TabFocus);
    } else if (auto* frame = qobject_cast<QGroupBox*>(control)) {
        QCOMPARE(frame->title(), text);
    } else {
        QCOMPARE(control->property("Caption").toString(), QStringLiteral("Data1"));
        QCOMPARE(control->property("RecordSource").toString(), text);
        QCOMPARE(control->property("Connect").toString(), QStringLiteral("Access"));
    }
}

void TestWindowLayouts::windowIsACentredSizableFrameWithoutControlBox_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QSize>("client");
    QTest::addColumn<Qt::WindowModality>("modality");
    QTest::newRow("certificates") << "frmStockData" << QSize(600, 372) << Qt::ApplicationModal;
    QTest::newRow("shareholders") << "frmStockHolder" << QSize(701, 492) << Qt::ApplicationModal;
    QTest::newRow("transfers") << "frmTrdData" << QSize(600, 372) << Qt::NonModal;
}

void TestWindowLayouts::windowIsACentredSizableFrameWithoutControlBox()
{
    QFETCH(QString, window);
    QFETCH(QSize, client);
    RecordWindow* shown = m_windows.at(window)->window.get();
    shown->show();
    QVERIFY(QTest::qWaitForWindowExposed(shown));
    QCOMPARE(shown->windowTitle(), QStringLiteral("Velmora"));
    QCOMPARE(shown->centralWidget()->size(), client);
    QTEST(shown->windowModality(), "modality");
    const Qt::WindowFlags flags = shown->windowFlags();
    QVERIFY(flags & Qt::WindowTitleHint);
    for (const Qt::WindowType absent : {Qt::WindowSystemMenuHint, Qt::WindowMinimizeButtonHint,
                                        Qt::WindowMaximizeButtonHint, Qt::WindowCloseButtonHint})
        QVERIFY(!(flags & absent));
    QVERIFY(shown->maximumWidth() > client.width()); // sizable
    QVERIFY(!shown->windowIcon().isNull());
    const QPoint screenCentre = shown->screen()->availableGeometry().center();
    // Centred as far as the frame, which the window system adds at showing, allows.
    const int frame = shown->frameGeometry().width() - shown->width();
    QVERIFY(qAbs(shown->geometry().center().x() - screenCentre.x()) <= 1 + frame);
    const QPoint clientCentre = shown->centralWidget()->mapToGlobal(QPoint(client.width() / 2, client.height() / 2));
    QVERIFY(qAbs(clientCentre.y() - screenCentre.y()) <= 1 + frame + 20);
    auto* title = shown->findChild<QLabel*>(QStringLiteral("lblShareHolder"));
    QCOMPARE(title->font().family(), QStringLiteral("Arial"));
    QCOMPARE(title->font().pointSizeF(), 24.0);
    QVERIFY(!title->font().bold());
    shown->hide();
}

void TestWindowLayouts::menusHoldTheQueriesAndExit_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QStringList>("queries");
    QTest::newRow("certificates") << "frmStockData"
                                  << "mmuStockData"
                                  << "StockData" << QStringList{"Stock #.", "Original Holder", "Present Holder"};
    QTest::newRow("shareholders") << "frmStockHolder"
                                  << "mmbr"
                                  << "StockHolder" << QStringList{"StockHolder #.", "Name", "ID #."};
    QTest::newRow("transfers") << "frmTrdData"
                               << "mmuStockData"
                               << "StockData" << QStringList{"Stock #.", "Previous Holder", "New Holder"};
}

void TestWindowLayouts::menusHoldTheQueriesAndExit()
{
    QFETCH(QString, window);
    const QList<QAction*> titles = m_windows.at(window)->window->menuBar()->actions();
    QCOMPARE(titles.size(), 2);
    QMenu* records = titles[0]->menu();
    QVERIFY(records);
    QTEST(records->objectName(), "menu");
    QTEST(records->title(), "caption");
    QCOMPARE(titles[1]->objectName(), QStringLiteral("about"));
    QCOMPARE(titles[1]->text(), QStringLiteral("About"));
    QVERIFY(!titles[1]->menu());

    QStringList items;
    for (QAction* item : records->actions())
        items.append(item->isSeparator() ? item->objectName() + ":-" : item->objectName() + ':' + item->text());
    QCOMPARE(items, (QStringList{":Query", "x:-", "end:Exit"}));
    QMenu* find = records->actions()[0]->menu();
    QCOMPARE(find->objectName(), QStringLiteral("find"));
    QStringList queries;
    for (QAction* item : find->actions()) {
        QCOMPARE(item->objectName(), QStringLiteral("mfind"));
        QCOMPARE(item->property("index").toInt(), queries.size());
        queries.append(item->text());
    }
    QTEST(queries, "queries");
}

void TestWindowLayouts::tabOrderStartsOnAddAndSkipsDisabledFields_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QStringList>("editing"); // the tab order while the fields are enabled, from Add
    QTest::newRow("certificates") << "frmStockData"
                                  << QStringList{"txtStockNo",  "txtType",           "txtPublishDate",
                                                 "txtItemCode", "txtOriginalHolder", "txtPresentHolder",
                                                 "txtStockQty"};
    QTest::newRow("shareholders") << "frmStockHolder"
                                  << QStringList{"txtStockHolderNo", "txtCharacter", "txtStockHolderName",
                                                 "txtGender",        "txtBirth",     "txtId_no",
                                                 "txtAddress1",      "txtAddress2",  "txtTelNo1",
                                                 "txtTelNo2"};
    QTest::newRow("transfers") << "frmTrdData"
                               << QStringList{"txtStockNo", "txtTransferredDate", "txtItemCode", "txtPreviousHolder",
                                              "txtNewHolder"};
}

void TestWindowLayouts::tabOrderStartsOnAddAndSkipsDisabledFields()
{
    QFETCH(QString, window);
    QFETCH(QStringList, editing);
    RecordWindowFixture w(records::named(window));
    QVERIFY(w.open());
    const QStringList buttons{"cmdNew", "cmdModify", "cmdDelete", "cmdExit"};
    const auto walk = [](qsizetype steps) {
        QStringList visited{QApplication::focusWidget()->objectName()};
        for (qsizetype i = 0; i < steps; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited.append(QApplication::focusWidget()->objectName());
        }
        return visited;
    };
    QCOMPARE(walk(4), buttons + QStringList{"cmdNew"});
    w.click("cmdNew");
    w.button("cmdNew")->setFocus();
    QCOMPARE(walk(editing.size() + 4), QStringList{"cmdNew"} + editing + buttons.mid(1) + QStringList{"cmdNew"});
}

void TestWindowLayouts::fieldsAreWrittenToTheirColumns_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("typed");  // FIELD=TEXT, in the order of the table's columns
    QTest::addColumn<QStringList>("stored"); // the new row, column by column
    const QStringList certificates{"SC-9", "1", "2020-01-31", "X-1", "8", "9", "10"};
    const QStringList holders{"12", "2", "Bo Li", "1", "1980-05-06", "ID-1", "A1", "A2", "T1", "T2"};
    const QStringList transfers{"SC-9", "2020-01-31", "8", "9", "X-1"};
    const auto typed = [](const QStringList& fields, const QStringList& values) {
        QStringList typing;
        for (qsizetype i = 0; i < fields.size(); ++i)
            typing.append(fields[i] + QLatin1Char('=') + values[i]);
        return typing;
    };
    QTest::newRow("certificates") << "frmStockData"
                                  << "stock_data"
                                  << typed({"txtStockNo", "txtType", "txtPublishDate", "txtItemCode",
                                            "txtOriginalHolder", "txtPresentHolder", "txtStockQty"},
                                           certificates)
                                  << certificates;
    QTest::newRow("shareholders, the total left empty")
        << "frmStockHolder"
        << "stockholder"
        << typed({"txtStockHolderNo", "txtCharacter", "txtStockHolderName", "txtGender", "txtBirth", "txtId_no",
                  "txtAddress1", "txtAddress2", "txtTelNo1", "txtTelNo2"},
                 holders)
        << holders + QStringList{"NULL"};
    QTest::newRow("transfers") << "frmTrdData"
                               << "transfer_data"
                               << typed({"txtStockNo", "txtTransferredDate", "txtPreviousHolder", "txtNewHolder",
                                         "txtItemCode"},
                                        transfers)
                               << transfers;
}

void TestWindowLayouts::fieldsAreWrittenToTheirColumns()
{
    QFETCH(QString, window);
    QFETCH(QString, table);
    QFETCH(QStringList, typed);
    RecordWindowFixture w(records::named(window));
    QVERIFY(w.open());
    w.click("cmdNew");
    for (const QString& typing : typed)
        w.type(typing.section(QLatin1Char('='), 0, 0), typing.section(QLatin1Char('='), 1));
    w.click("cmdExit");
    QVERIFY2(w.dialogs.messages.isEmpty(), qPrintable(w.prompts()));
    const auto rows = w.reg.rows(QStringLiteral("SELECT * FROM ") + table);
    QCOMPARE(rows.size(), 1);
    QStringList stored;
    for (const QVariant& value : rows[0])
        stored.append(value.isValid() ? value.toString() : QStringLiteral("NULL"));
    QTEST(stored, "stored");
}

void TestWindowLayouts::totalShareIsABorderedLabelInTheLightColour()
{
    auto* total = m_windows.at(QStringLiteral("frmStockHolder"))->get<QLabel>(QStringLiteral("txtTotalShare"));
    QVERIFY(total);
    QVERIFY(!total->isEnabled());
    QCOMPARE(total->focusPolicy(), Qt::NoFocus);
    QCOMPARE(QFontInfo(total->font()).family(), QStringLiteral("Liberation Sans")); // standing in for MS Sans Serif
    QCOMPARE(QFontInfo(total->font()).pointSizeF(), 9.75);
    // A line round the box, the light colour inside it, the text greyed at its right.
    const QImage drawn = total->grab().toImage();
    const QPalette& colours = total->palette();
    QVERIFY(colours.color(QPalette::Midlight) != colours.color(QPalette::Window));
    QCOMPARE(drawn.pixel(0, drawn.height() / 2), colours.color(QPalette::Disabled, QPalette::WindowText).rgb());
    QCOMPARE(drawn.pixel(drawn.width() / 4, drawn.height() / 2), colours.color(QPalette::Midlight).rgb());
    // The value shows, greyed: its darkest ink is lighter than it would be enabled.
    const auto darkest = [](const QImage& image) {
        int ink = 255;
        for (int x = image.width() / 2; x < image.width() - 2; ++x)
            for (int y = 2; y < image.height() - 2; ++y)
                ink = std::min(ink, qGray(image.pixel(x, y)));
        return ink;
    };
    total->setEnabled(true);
    const int enabledInk = darkest(total->grab().toImage());
    total->setEnabled(false);
    QVERIFY(darkest(drawn) < qGray(colours.color(QPalette::Midlight).rgb()));
    QVERIFY2(darkest(drawn) > enabledInk, qPrintable(QStringLiteral("%1 %2").arg(darkest(drawn)).arg(enabledInk)));
}

void TestWindowLayouts::screenReaderTellsTheControlsApart_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QStringList>("read"); // name: description of what the clerk reaches, what is bound, and the bar
    const QStringList bar{"Data1", "First record: Ctrl+PgUp", "Previous record: PgUp", "Next record: PgDown",
                          "Last record: Ctrl+PgDown"};
    // clang-format off
    QTest::newRow("certificates") << "frmStockData" << QStringList{"Stock #", "Type: 1.Common 2.Special", "Publish Date", "Item code", "Original Holder", "Present Holder", "Stock Qty", "Add", "Modify", "Delete", "Exit"} + bar;
    QTest::newRow("shareholders") << "frmStockHolder" << QStringList{"ShareHolder #", "nature/juristic: 1.nature person 2.juristic person", "Name", "Gender: 0.female 1.male", "Birthday", "ID No", "Address 1", "Address 2", "Telphone No. 1", "Telphone No. 2", "Total Share: 1000", "Add", "Modify", "Delete", "Exit"} + bar;
    QTest::newRow("transfers") << "frmTrdData" << QStringList{"Stock #", "Transferred Date", "Previous Holder", "New Holder", "Item code", "Add", "Modify", "Delete", "Exit"} + bar;
    // clang-format on
}

void TestWindowLayouts::screenReaderTellsTheControlsApart()
{
    QFETCH(QString, window);
    const RecordWindowFixture& w = *m_windows.at(window);
    QStringList read;
    QSet<QString> names;
    for (QWidget* control : w.window->findChildren<QWidget*>()) {
        const bool reached = control->focusPolicy() & Qt::TabFocus || qobject_cast<QAbstractButton*>(control);
        const bool bound = qobject_cast<QLineEdit*>(control) || control->objectName() == "txtTotalShare";
        if (!control->isVisibleTo(w.window.get()) || !(reached || bound || qobject_cast<Data*>(control)))
            continue;
        const QAccessibleInterface* said = QAccessible::queryAccessibleInterface(control);
        const QString hint = said->text(QAccessible::Description);
        read.append(said->text(QAccessible::Name) + (hint.isEmpty() ? QString() : ": " + hint));
        names.insert(said->text(QAccessible::Name));
    }
    QTEST(read, "read");
    QCOMPARE(names.size(), read.size()); // no two alike
}

QTEST_MAIN(TestWindowLayouts)
#include "tst_windowlayouts.moc"
