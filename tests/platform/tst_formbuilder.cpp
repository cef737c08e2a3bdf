#include "formbuilder.h"
#include "linewidget.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using form::Kind;

class TestFormBuilder : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void twipsToPixels_data();
    void twipsToPixels();
    void placesControlsInLogicalPixels();
    void appliesLook();
    void ordersTabsByIndexNotByRow();
    void keepsControlArraysApart();
    void condensesCaptionsThatWouldNotFit();
};

void TestFormBuilder::twipsToPixels_data()
{
    QTest::addColumn<int>("twips");
    QTest::addColumn<int>("pixels");
    QTest::newRow("zero") << 0 << 0;
    QTest::newRow("one pixel") << 15 << 1;
    QTest::newRow("just under half") << 7 << 0;
    QTest::newRow("just over half") << 8 << 1;
    QTest::newRow("window width") << 8025 << 535;
    QTest::newRow("line end rounds up") << 5669 << 378;
    QTest::newRow("longer line end") << 5684 << 379;
    QTest::newRow("negative") << -8 << -1;
}

void TestFormBuilder::twipsToPixels()
{
    QFETCH(int, twips);
    QFETCH(int, pixels);
    QCOMPARE(twips::toPixels(twips), pixels);
}

void TestFormBuilder::placesControlsInLogicalPixels()
{
    const form::Row rows[] = {
        {.name = "Frame1", .kind = Kind::Frame, .text = "Box", .rect = {300, 150, 3000, 1500}},
        {.name = "txtInside",
         .kind = Kind::TextBox,
         .text = "Text1",
         .rect = {1440, 360, 1695, 375},
         .tabIndex = 1,
         .parent = "Frame1"},
        {.name = "lblOutside", .kind = Kind::Label, .text = "Out", .rect = {45, 30, 600, 195}},
        {.name = "Line1", .kind = Kind::Line, .rect = {120, 1920, 5669, 1920}, .index = 0},
    };
    QWidget client;
    const form::Form built(&client, rows);

    auto* frame = built.get<QGroupBox>(QStringLiteral("Frame1"));
    QVERIFY(frame);
    QCOMPARE(frame->parentWidget(), &client);
    QCOMPARE(frame->geometry(), QRect(20, 10, 200, 100));
    QCOMPARE(frame->title(), QStringLiteral("Box"));

    auto* inside = built.get<QLineEdit>(QStringLiteral("txtInside"));
    QVERIFY(inside);
    QCOMPARE(inside->parentWidget(), frame); // placed relative to the frame
    QCOMPARE(inside->geometry(), QRect(96, 24, 113, 25));
    QCOMPARE(inside->text(), QStringLiteral("Text1"));
    QCOMPARE(client.findChild<QLineEdit*>(QStringLiteral("txtInside")), inside);

    auto* outside = built.get<QLabel>(QStringLiteral("lblOutside"));
    QCOMPARE(outside->geometry(), QRect(3, 2, 40, 13));
    QCOMPARE(outside->focusPolicy(), Qt::NoFocus);

    auto* line = built.get<LineWidget>(QStringLiteral("Line1"), 0);
    QVERIFY(line);
    QCOMPARE(line->from(), QPoint(8, 128));
    QCOMPARE(line->to(), QPoint(378, 128));
    QCOMPARE(line->geometry(), QRect(8, 128, 371, 1));
}

void TestFormBuilder::appliesLook()
{
    const form::Row rows[] = {
        {.name = "lblBig",
         .kind = Kind::Label,
         .text = "Big",
         .rect = {0, 0, 3000, 500},
         .font = {"Arial Narrow", 20.25, form::Bold | form::Italic},
         .align = Qt::AlignRight},
        {.name = "lblLink",
         .kind = Kind::Label,
         .text = "link",
         .rect = {0, 600, 3000, 300},
         .font = {nullptr, 9, form::Underline},
         .color = qRgb(0, 0, 255)},
        {.name = "lblPlain", .kind = Kind::Label, .text = "plain", .rect = {0, 900, 3000, 300}},
        {.name = "lblBoxed",
         .kind = Kind::Label,
         .rect = {0, 1200, 1935, 375},
         .align = Qt::AlignRight,
         .border = true,
         .fill = QPalette::Midlight},
    };
    QWidget client;
    QFont windowFont(QStringLiteral("Liberation Sans"));
    windowFont.setPointSizeF(8.25);
    client.setFont(windowFont);
    const form::Form built(&client, rows);

    auto* big = built.get<QLabel>(QStringLiteral("lblBig"));
    QCOMPARE(big->font().family(), QStringLiteral("Arial Narrow"));
    QCOMPARE(big->font().pointSizeF(), 20.25);
    QVERIFY(big->font().bold());
    QVERIFY(big->font().italic());
    QCOMPARE(big->alignment(), Qt::AlignRight | Qt::AlignTop);

    auto* link = built.get<QLabel>(QStringLiteral("lblLink"));
    QCOMPARE(link->font().family(), QStringLiteral("Liberation Sans")); // the window's family is kept
    QCOMPARE(link->font().pointSizeF(), 9.0);
    QVERIFY(link->font().underline());
    QCOMPARE(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));

    auto* plain = built.get<QLabel>(QStringLiteral("lblPlain"));
    QCOMPARE(plain->font(), windowFont);
    QCOMPARE(plain->alignment(), Qt::AlignLeft | Qt::AlignTop);
    QVERIFY(!plain->autoFillBackground());
    QCOMPARE(plain->frameShape(), QFrame::NoFrame);

    // Bordered and filled with the system colour, disabled or not, inside the same box.
    auto* boxed = built.get<QLabel>(QStringLiteral("lblBoxed"));
    QCOMPARE(boxed->geometry(), QRect(0, 80, 129, 25));
    QCOMPARE(boxed->frameShape(), QFrame::Box);
    QCOMPARE(boxed->lineWidth(), 1);
    QVERIFY(boxed->autoFillBackground());
    boxed->setEnabled(false);
    client.resize(200, 200);
    const QImage drawn = boxed->grab().toImage();
    QVERIFY(boxed->palette().color(QPalette::Midlight) != boxed->palette().color(QPalette::Window));
    QCOMPARE(drawn.pixel(64, 12), boxed->palette().color(QPalette::Disabled, QPalette::Midlight).rgb());
    QCOMPARE(drawn.pixel(0, 12), boxed->palette().color(QPalette::Disabled, QPalette::WindowText).rgb());
}

void TestFormBuilder::ordersTabsByIndexNotByRow()
{
    const form::Row rows[] = {
        {.name = "cmdC", .kind = Kind::Button, .text = "C", .rect = {0, 0, 900, 300}, .tabIndex = 4},
        {.name = "lblA", .kind = Kind::Label, .text = "A", .rect = {0, 300, 900, 300}, .tabIndex = 0},
        {.name = "cmdA", .kind = Kind::Button, .text = "A", .rect = {0, 600, 900, 300}, .tabIndex = 1},
        {.name = "txtB", .kind = Kind::TextBox, .rect = {0, 900, 900, 300}, .tabIndex = 2},
    };
    QWidget client;
    const form::Form built(&client, rows);
    const auto cmdA = built.widget(QStringLiteral("cmdA"));
    const auto txtB = built.widget(QStringLiteral("txtB"));
    const auto cmdC = built.widget(QStringLiteral("cmdC"));

    QCOMPARE(built.firstInTabOrder(), cmdA);
    // Tab goes to the next control in the chain that takes the focus, and wraps round.
    const auto tabFrom = [](QWidget* from) {
        QWidget* next = from->nextInFocusChain();
        while (!(next->focusPolicy() & Qt::TabFocus))
            next = next->nextInFocusChain();
        return next;
    };
    QCOMPARE(tabFrom(cmdA), txtB);
    QCOMPARE(tabFrom(txtB), cmdC);
    QCOMPARE(tabFrom(cmdC), cmdA);
}

void TestFormBuilder::keepsControlArraysApart()
{
    const form::Row rows[] = {
        {.name = "Frame1", .kind = Kind::Frame, .text = "Detail", .rect = {300, 300, 3000, 3000}, .index = 0},
        {.name = "stockholder",
         .kind = Kind::Label,
         .text = "Type:",
         .rect = {0, 0, 900, 195},
         .parent = "Frame1",
         .index = 1},
        {.name = "stockholder", .kind = Kind::Label, .text = "(hint)", .rect = {0, 300, 900, 195}, .index = 12},
    };
    QWidget client;
    const form::Form built(&client, rows);
    // A frame that is an array's first element still holds its controls.
    QCOMPARE(built.widget(QStringLiteral("stockholder"), 1)->parentWidget(), built.widget(QStringLiteral("Frame1"), 0));
    QCOMPARE(built.get<QLabel>(QStringLiteral("stockholder"), 1)->text(), QStringLiteral("Type:"));
    QCOMPARE(built.get<QLabel>(QStringLiteral("stockholder"), 12)->text(), QStringLiteral("(hint)"));
    QCOMPARE(built.widget(QStringLiteral("stockholder"), 12)->property("index").toInt(), 12);
    QVERIFY(!built.widget(QStringLiteral("stockholder")));
}

void TestFormBuilder::condensesCaptionsThatWouldNotFit()
{
    const form::Row rows[] = {
        {.name = "roomy", .kind = Kind::Label, .text = "Type:", .rect = {0, 0, 1500, 195}},
        {.name = "tight", .kind = Kind::Label, .text = "Original Holder:", .rect = {0, 300, 900, 195}},
    };
    QWidget client;
    const form::Form built(&client, rows);
    auto* roomy = built.get<QLabel>(QStringLiteral("roomy"));
    auto* tight = built.get<QLabel>(QStringLiteral("tight"));
    QCOMPARE(roomy->font(), client.font());
    QVERIFY(tight->font().stretch() < 100);
    QVERIFY(tight->fontMetrics().horizontalAdvance(tight->text()) <= tight->width());
    QCOMPARE(tight->geometry(), QRect(0, 20, 60, 13));
}

QTEST_MAIN(TestFormBuilder)
#include "tst_formbuilder.moc"
