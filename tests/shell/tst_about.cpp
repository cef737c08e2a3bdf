#include "aboutwindow.h"
#include "classiclook.h"
#include "linewidget.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

class TestAbout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { classiclook::apply(); }
    void titleReadsTheProductOnEveryOpening();
    void windowIsAFixedModalDialog();
    void controlsArePlaced_data();
    void controlsArePlaced();
    void separatorIsWhiteUnderGrey();
    void closes_data();
    void closes();
    void emailLabelDoesNothing();
};

void TestAbout::titleReadsTheProductOnEveryOpening()
{
    for (int opening = 0; opening < 3; ++opening) {
        AboutWindow about;
        about.show();
        auto* title = about.findChild<QLabel*>(QStringLiteral("lblTitle"));
        QCOMPARE(title->text(), QStringLiteral("Velmora"));
        QVERIFY(title->fontMetrics().horizontalAdvance(title->text()) <= title->width()); // on one line
        about.accept();
    }
}

void TestAbout::windowIsAFixedModalDialog()
{
    AboutWindow about;
    QCOMPARE(about.objectName(), QStringLiteral("frmAbout"));
    QCOMPARE(about.windowTitle(), QStringLiteral("Velmora v1.0"));
    QCOMPARE(about.size(), QSize(390, 205));
    QCOMPARE(about.minimumSize(), about.maximumSize());
    QCOMPARE(about.windowModality(), Qt::ApplicationModal);
    QVERIFY(about.windowFlags() & Qt::WindowCloseButtonHint);
    QVERIFY(!(about.windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(about.windowFlags() & Qt::WindowMaximizeButtonHint));
    auto* ok = about.findChild<QPushButton*>(QStringLiteral("cmdOK"));
    QVERIFY(ok->isDefault());
}

void TestAbout::controlsArePlaced_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<QString>("text");
    QTest::newRow("Image1") << "Image1" << QRect(120, 120, 1335, 1500) << "Velmora logo";
    QTest::newRow("lblVersion") << "lblVersion" << QRect(1770, 720, 3885, 225) << "Version.1.0";
    QTest::newRow("lblDisclaimer") << "lblDisclaimer" << QRect(240, 2145, 3180, 195) << QString();
    QTest::newRow("Label2") << "Label2" << QRect(360, 2520, 2055, 180) << QString();
    QTest::newRow("cmdOK") << "cmdOK" << QRect(4605, 2400, 1020, 345) << "OK";
}

void TestAbout::controlsArePlaced()
{
    QFETCH(QString, name);
    QFETCH(QRect, twips);
    QFETCH(QString, text);
    AboutWindow about;
    const QWidget* control = about.findChild<QWidget*>(name);
    QVERIFY(control);
    QCOMPARE(control->geometry(), QRect(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15));
    if (text.isEmpty())
        return;
    if (auto* button = qobject_cast<const QPushButton*>(control))
        QCOMPARE(button->text(), text);
    else if (auto* label = qobject_cast<const QLabel*>(control); !label->pixmap().isNull())
        QCOMPARE(label->accessibleName(), text); // what a screen reader says for a picture
    else
        QCOMPARE(label->text(), text);
}

void TestAbout::separatorIsWhiteUnderGrey()
{
    AboutWindow about;
    QList<LineWidget*> lines = about.findChildren<LineWidget*>(QStringLiteral("Line1"));
    QCOMPARE(lines.size(), 2);
    std::sort(lines.begin(), lines.end(),
              [](auto* a, auto* b) { return a->property("index").toInt() < b->property("index").toInt(); });
    QCOMPARE(lines[0]->colour(), QColor(Qt::white));
    QCOMPARE(lines[0]->to(), QPoint(378, 128));
    QCOMPARE(lines[1]->colour(), QColor(128, 128, 128));
    QCOMPARE(lines[1]->to(), QPoint(379, 128));
    QCOMPARE(lines[0]->from(), lines[1]->from());
}

void TestAbout::closes_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("OK clicked") << "click";
    QTest::newRow("Enter") << "enter";
    QTest::newRow("Return") << "return";
    QTest::newRow("Esc") << "escape";
    QTest::newRow("close box") << "close";
}

void TestAbout::closes()
{
    QFETCH(QString, how);
    AboutWindow about;
    QSignalSpy finished(&about, &QDialog::finished);
    about.show();
    QVERIFY(QTest::qWaitForWindowActive(&about));
    // Keys go to whatever holds the focus in the window, as a clerk's would.
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &about;
    if (how == QLatin1String("click"))
        QTest::mouseClick(about.findChild<QPushButton*>(QStringLiteral("cmdOK")), Qt::LeftButton);
    else if (how == QLatin1String("enter"))
        QTest::keyClick(target, Qt::Key_Enter);
    else if (how == QLatin1String("return"))
        QTest::keyClick(target, Qt::Key_Return);
    else if (how == QLatin1String("escape"))
        QTest::keyClick(target, Qt::Key_Escape);
    else
        about.close();
    QCOMPARE(finished.count(), 1);
    QVERIFY(!about.isVisible());
}

void TestAbout::emailLabelDoesNothing()
{
    AboutWindow about;
    QSignalSpy finished(&about, &QDialog::finished);
    about.show();
    QVERIFY(QTest::qWaitForWindowActive(&about));
    auto* email = about.findChild<QLabel*>(QStringLiteral("Label2"));
    QCOMPARE(email->cursor().shape(), Qt::BitmapCursor);
    QVERIFY(email->font().underline());
    QCOMPARE(email->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    const QList<QWidget*> before = QApplication::topLevelWidgets();

    QTest::mouseClick(email, Qt::LeftButton);
    QTest::mouseDClick(email, Qt::LeftButton);
    QCoreApplication::processEvents();

    QVERIFY(about.isVisible());
    QCOMPARE(finished.count(), 0);
    QCOMPARE(QApplication::topLevelWidgets(), before);
    QVERIFY(!email->openExternalLinks());
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
