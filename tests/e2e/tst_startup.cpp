#include "xsession.h"

#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

// The real program, from its splash to the main menu's Exit.
class TestStartup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void splashThenMainMenuThenExit();
    void stockDataModifiesAndAddsCertificates();
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

QList<XSession::Window> named(const QList<XSession::Window>& windows, const QString& name)
{
    QList<XSession::Window> found;
    for (const auto& window : windows)
        if (window.name == name)
            found.append(window);
    return found;
}

// One row of the register, read with a connection of the test's own.
QStringList certificate(const QString& path, const QString& stockNo)
{
    QStringList values;
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        database.setDatabaseName(path);
        QSqlQuery query(database);
        if (database.open()
            && query.exec(QStringLiteral("SELECT stock_no, stock_type, publish_date, item_code, "
                                         "original_holder, present_holder, stock_qty FROM stock_data "
                                         "WHERE stock_no = '%1'")
                              .arg(stockNo))
            && query.next()) {
            for (int i = 0; i < 7; ++i)
                values.append(query.value(i).toString());
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
    return values;
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

void TestStartup::stockDataModifiesAndAddsCertificates()
{
    // The program runs from a folder of its own, beside a fresh demo register.
    QTemporaryDir folder;
    const QString executable = folder.filePath(QStringLiteral("velmora"));
    QVERIFY(QFile::copy(qEnvironmentVariable("VELMORA_EXECUTABLE"), executable));
    const QString reg = folder.filePath(QStringLiteral("stock.mdb"));
    QCOMPARE(QProcess::execute(qEnvironmentVariable("VELMORA_REGISTER_TOOL"),
                               {QStringLiteral("init"), QStringLiteral("--demo"), reg}),
             0);
    const QStringList first = certificate(reg, QStringLiteral("SC-0001"));
    QCOMPARE(first.size(), 7);
    XSession x;
    if (!x.whyNot().isEmpty())
        QSKIP(qPrintable(x.whyNot()));
    QProcess* velmora = x.launch(executable);
    QVERIFY(velmora->waitForStarted());
    const qint64 pid = velmora->processId();
    const auto only = [&](int width) {
        return waitForWindows(x, pid, 10000,
                              [width](const auto& w) { return w.size() == 1 && w.first().geometry.width() == width; });
    };

    auto windows = only(535);
    QCOMPARE(windows.size(), 1);
    int menuBar = windows.first().geometry.height() - 344;
    x.click(windows.first(), QPoint(88 + 136 + 48, menuBar + 72 + 72 + 16)); // Stock Data

    // The certificate window alone, 600 by 372 under its menu bar, on the first certificate.
    windows = only(600);
    QCOMPARE(windows.size(), 1);
    const XSession::Window record = windows.first();
    menuBar = record.geometry.height() - 372;
    QVERIFY(menuBar > 10 && menuBar < 40);
    const auto at = [&](int left, int top) {
        return QPoint(left, menuBar + top);
    };
    const QPoint modify = at(496 + 40, 144 + 16), add = at(496 + 40, 96 + 16), exit = at(496 + 40, 240 + 16);
    const QPoint next = at(136 + 340 - 26, 328 + 12), last = at(136 + 340 - 8, 328 + 12);
    const QPoint stockNo = at(32 + 96 + 20, 56 + 24 + 12), itemCode = at(32 + 96 + 20, 56 + 120 + 12);

    // Modify the first certificate's item code where it is shown, and confirm.
    x.click(record, modify);
    x.click(record, itemCode);
    x.key(QStringLiteral("End"));
    x.type(QStringLiteral("X"));
    x.click(record, modify);
    QVERIFY(!named(waitForWindows(x, pid, 5000, [](const auto& w) { return !named(w, "Confirm").isEmpty(); }),
                   QStringLiteral("Confirm"))
                 .isEmpty());
    x.key(QStringLiteral("Return")); // Yes is the default
    QCOMPARE(waitForWindows(x, pid, 5000, [](const auto& w) { return w.size() == 1; }).size(), 1);

    // Next, then a new certificate typed field by field with Enter, stored by a move.
    x.click(record, next);
    x.click(record, add);
    x.click(record, stockNo);
    for (const char* value : {"SC-9001", "2", "2026-12-07", "E2E", "3", "4"}) {
        x.type(QString::fromLatin1(value));
        x.key(QStringLiteral("Return"));
    }
    x.type(QStringLiteral("250"));
    x.click(record, last);
    x.click(record, exit);

    windows = only(535);
    QCOMPARE(windows.size(), 1);
    x.click(windows.first(), QPoint(88 + 136 + 48, menuBar + 72 + 168 + 16)); // Exit
    QVERIFY(velmora->waitForFinished(5000));
    QCOMPARE(velmora->exitCode(), 0);

    QStringList changed = first;
    changed[3] += QLatin1Char('X');
    QCOMPARE(certificate(reg, QStringLiteral("SC-0001")), changed);
    QCOMPARE(certificate(reg, QStringLiteral("SC-9001")),
             (QStringList{"SC-9001", "2", "2026-12-07", "E2E", "3", "4", "250"}));
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
