#include "xsession.h"

#include <QElapsedTimer>
#include <QtTest>

// The real program, from its splash to the main menu's Exit.
class TestStartup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void splashThenMainMenuThenExit();
};

namespace {

// Polls the program's visible windows until the check holds or the time runs out.
template <typename Check>
QList<XSession::Window> waitForWindows(const XSession& x, qint64 pid, int timeoutMs, Check check)
{
    QElapsedTimer clock;
    clock.start();
    QList<XSession::Window> windows;
    do {
        windows = x.visibleWindows(pid);
        if (check(windows))
            return windows;
        QTest::qWait(50);
    } while (clock.elapsed() < timeoutMs);
    return windows;
}

} // namespace

void TestStartup::splashThenMainMenuThenExit()
{
    const QString executable = qEnvironmentVariable("VELMORA_EXECUTABLE");
    QVERIFY2(QFileInfo::exists(executable), "VELMORA_EXECUTABLE must name the built program");
    XSession x;
    if (!x.whyNot().isEmpty())
        QSKIP(qPrintable(x.whyNot()));

    QElapsedTimer sinceStart;
    sinceStart.start();
    QProcess* velmora = x.launch(executable);
    QVERIFY(velmora->waitForStarted());

    // The splash: one window, centred, the size of its client area and border.
    auto windows = waitForWindows(x, velmora->processId(), 3000, [](const auto& w) { return w.size() == 1; });
    QCOMPARE(windows.size(), 1);
    const QRect splash = windows.first().geometry;
    QCOMPARE(splash.size(), QSize(488 + 6, 285 + 6));
    QVERIFY(qAbs(splash.center().x() - x.screenSize().width() / 2) <= 1);
    QVERIFY(qAbs(splash.center().y() - x.screenSize().height() / 2) <= 1);
    QVERIFY(windows.first().name != QLatin1String("Velmora"));

    // The main menu alone, after the splash's 4.7 seconds.
    windows = waitForWindows(x, velmora->processId(), 10000,
                             [](const auto& w) { return w.size() == 1 && w.first().name == QLatin1String("Velmora"); });
    const qint64 handOverMs = sinceStart.elapsed();
    QCOMPARE(windows.size(), 1);
    QCOMPARE(windows.first().name, QStringLiteral("Velmora"));
    QVERIFY2(handOverMs >= 4700 && handOverMs < 8000, qPrintable(QString::number(handOverMs)));
    const QRect menu = windows.first().geometry;
    QCOMPARE(menu.width(), 535);
    const int menuBarHeight = menu.height() - 344;
    QVERIFY(menuBarHeight > 10 && menuBarHeight < 40);
    QCOMPARE(menu.topLeft() + QPoint(0, menuBarHeight), QPoint(260, 205));

    // Exit, in the frame at (88, 72): the button's middle.
    x.click(windows.first(), QPoint(88 + 136 + 48, menuBarHeight + 72 + 168 + 16));
    QVERIFY(velmora->waitForFinished(5000));
    QCOMPARE(velmora->exitStatus(), QProcess::NormalExit);
    QCOMPARE(velmora->exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
