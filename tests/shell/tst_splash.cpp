#include "classiclook.h"
#include "mainmenuwindow.h"
#include "scripteddialogs.h"
#include "shell.h"
#include "splashwindow.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QtTest>

class TestSplash : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { classiclook::apply(); }
    void windowLooksAsDesigned();
    void controlsArePlaced_data();
    void controlsArePlaced();
    void timersAreTheDesignedOnes();
    void eachTickAppendsOneDotAtTheEnd();
    void handsOverAfterNineDotsWhateverTheClerkDoes();

private:
    static QList<QWidget*> visibleWindows();
};

QList<QWidget*> TestSplash::visibleWindows()
{
    QList<QWidget*> shown;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible())
            shown.append(window);
    return shown;
}

void TestSplash::windowLooksAsDesigned()
{
    SplashWindow splash;
    splash.show();
    QVERIFY(QTest::qWaitForWindowExposed(&splash));
    QCOMPARE(splash.objectName(), QStringLiteral("frmInitial"));
    QVERIFY(splash.windowTitle().isEmpty());
    QVERIFY(splash.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(splash.windowType(), Qt::SplashScreen); // kept out of the taskbar
    QVERIFY(!(splash.windowFlags() & Qt::WindowCloseButtonHint));

    const QWidget* client = splash.findChild<QWidget*>(QStringLiteral("client"));
    QCOMPARE(client->size(), QSize(488, 285));
    const QPoint centre = QGuiApplication::primaryScreen()->geometry().center();
    QVERIFY(qAbs(splash.frameGeometry().center().x() - centre.x()) <= 1);
    QVERIFY(qAbs(splash.frameGeometry().center().y() - centre.y()) <= 1);
}

void TestSplash::controlsArePlaced_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<QString>("text");
    QTest::newRow("Frame1") << "Frame1" << QRect(120, 0, 7080, 4170) << QString();
    QTest::newRow("Image1") << "Image1" << QRect(600, 1080, 1335, 1500) << QString();
    QTest::newRow("lblProductName") << "lblProductName" << QRect(2400, 720, 4275, 465) << "Velmora";
    QTest::newRow("lblVersion") << "lblVersion" << QRect(6120, 1200, 555, 240) << "ver. 1.0";
    QTest::newRow("lblCompany") << "lblCompany" << QRect(2880, 1560, 1185, 300) << "Brenmoor";
    QTest::newRow("lblPlatform") << "lblPlatform" << QRect(4035, 2400, 2250, 300) << "for Windows 98/2000/XP";
    QTest::newRow("lblStarting") << "lblStarting" << QRect(1320, 3480, 4215, 195) << "Initialize database, please wait";
    QTest::newRow("lblCompanyProduct") << "lblCompanyProduct" << QRect(2355, 600, 105, 360) << QString();
}

void TestSplash::controlsArePlaced()
{
    QFETCH(QString, name);
    QFETCH(QRect, twips);
    QFETCH(QString, text);
    SplashWindow splash;
    const auto* control = splash.findChild<QWidget*>(name);
    QVERIFY(control);
    QCOMPARE(control->geometry(), QRect(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15));
    if (name != QLatin1String("Frame1"))
        QCOMPARE(control->parentWidget()->objectName(), QStringLiteral("Frame1"));
    if (const auto* label = qobject_cast<const QLabel*>(control); label && label->pixmap().isNull())
        QCOMPARE(label->text(), text);
}

void TestSplash::timersAreTheDesignedOnes()
{
    SplashWindow splash;
    const auto* handOver = splash.findChild<QTimer*>(QStringLiteral("Timer1"));
    const auto* dots = splash.findChild<QTimer*>(QStringLiteral("Timer2"));
    QVERIFY(handOver && dots);
    QCOMPARE(handOver->interval(), 4700);
    QCOMPARE(dots->interval(), 500);
    QVERIFY(handOver->isActive()); // both count from the load, before the window is shown
    QVERIFY(dots->isActive());
    QCOMPARE(handOver->timerType(), Qt::PreciseTimer);
    QCOMPARE(dots->timerType(), Qt::PreciseTimer);
}

void TestSplash::eachTickAppendsOneDotAtTheEnd()
{
    SplashWindow splash;
    auto* line = splash.findChild<QLabel*>(QStringLiteral("lblStarting"));
    const QString dot(QChar(0x2027));
    const QString base = QStringLiteral("Initialize database, please wait");
    QCOMPARE(line->text(), base);
    QTRY_COMPARE_WITH_TIMEOUT(line->text(), base + dot, 1500);
    QTRY_COMPARE_WITH_TIMEOUT(line->text(), base + dot + dot, 1500);
}

void TestSplash::handsOverAfterNineDotsWhateverTheClerkDoes()
{
    ScriptedDialogs dialogs;
    Shell shell(dialogs, QString());
    shell.start();
    QPointer<QWidget> splash = shell.window();
    QVERIFY(qobject_cast<SplashWindow*>(splash.data()));
    QVERIFY(QTest::qWaitForWindowExposed(splash));
    auto* line = splash->findChild<QLabel*>(QStringLiteral("lblStarting"));
    QString lastLine;
    connect(qobject_cast<SplashWindow*>(splash.data()), &SplashWindow::handOver, this,
            [&] { lastLine = line->text(); });

    // Clicks, keys and a close request change nothing.
    const QString before = line->text();
    QTest::mouseClick(splash, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseDClick(line, Qt::LeftButton);
    for (const int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Space, Qt::Key_F4})
        QTest::keyClick(splash, Qt::Key(key));
    QTest::keyClick(splash, Qt::Key_F4, Qt::AltModifier);
    splash->close();
    QVERIFY(splash->isVisible());
    QVERIFY(line->text().startsWith(before));
    QCOMPARE(shell.window(), splash.data());

    QTRY_VERIFY_WITH_TIMEOUT(splash.isNull(), 7000);
    const QString nineDots(9, QChar(0x2027));
    QCOMPARE(lastLine, QStringLiteral("Initialize database, please wait") + nineDots);
    QVERIFY(qobject_cast<MainMenuWindow*>(shell.window()));
    QTRY_COMPARE(visibleWindows(), QList<QWidget*>{shell.window()});
}

QTEST_MAIN(TestSplash)
#include "tst_splash.moc"
