#include "tempregister.h"
#include "xsession.h"

#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QtTest>

// The real program, from its splash to the main menu's Exit.
class TestStartup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void versionNeedsNoDisplay_data();
    void versionNeedsNoDisplay();
    void splashThenMainMenuThenExit();
    void stockDataModifiesAndAddsCertificates();
    void holderModifiedThenTransferAdded();
    void twoClerksOnOneRegister();
    void registerOnAServer();
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

// The program's one window, known by its width, once it is the only one.
QList<XSession::Window> onlyWindow(const XSession& x, qint64 pid, int width)
{
    return waitForWindows(x, pid, 10000,
                          [width](const auto& w) { return w.size() == 1 && w.first().geometry.width() == width; });
}

// Clicks a main-menu button, known by its top in the frame at (88, 72), once the main menu is the only window.
bool clickMainMenuButton(const XSession& x, qint64 pid, int top)
{
    const auto windows = onlyWindow(x, pid, 535);
    if (windows.size() != 1)
        return false;
    x.click(windows.first(), QPoint(88 + 136 + 48, windows.first().geometry.height() - 344 + 72 + top + 16));
    return true;
}

bool confirmShown(const XSession& x, qint64 pid)
{
    const auto shown = waitForWindows(x, pid, 5000, [](const auto& w) { return !named(w, "Confirm").isEmpty(); });
    return !named(shown, QStringLiteral("Confirm")).isEmpty();
}

// The rows a query gives, each as its values joined by '|', read with a connection of the test's own.
QStringList rows(const QString& path, const QString& statement)
{
    QStringList found;
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        database.setDatabaseName(path);
        QSqlQuery query(database);
        if (database.open() && query.exec(statement)) {
            while (query.next()) {
                QStringList values;
                for (int i = 0; i < query.record().count(); ++i)
                    values.append(query.value(i).toString());
                found.append(values.join(QLatin1Char('|')));
            }
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
    return found;
}

QStringList certificate(const QString& path, const QString& stockNo)
{
    const QStringList found = rows(path, QStringLiteral("SELECT stock_no, stock_type, publish_date, item_code, "
                                                        "original_holder, present_holder, stock_qty FROM stock_data "
                                                        "WHERE stock_no = '%1'")
                                             .arg(stockNo));
    return found.isEmpty() ? QStringList() : found.first().split(QLatin1Char('|'));
}

// The program in a folder of its own, beside a fresh demo register.
struct Installed {
    Installed()
    {
        program = folder.filePath(QStringLiteral("velmora"));
        reg = folder.filePath(QStringLiteral("stock.mdb"));
        ready = QFile::copy(qEnvironmentVariable("VELMORA_EXECUTABLE"), program)
                && QProcess::execute(qEnvironmentVariable("VELMORA_REGISTER_TOOL"),
                                     {QStringLiteral("init"), QStringLiteral("--demo"), reg})
                       == 0;
    }
    QTemporaryDir folder;
    QString program;
    QString reg;
    bool ready = false;
};

// A copy of the program with its certificate window open, and where that window's client area starts.
struct Clerk {
    qint64 pid = 0;
    XSession::Window window;
    int menuBar = 0;
    bool ready = false;
};

Clerk openCertificates(XSession& x, const QString& program)
{
    Clerk clerk;
    QProcess* velmora = x.launch(program);
    if (!velmora->waitForStarted())
        return clerk;
    clerk.pid = velmora->processId();
    if (!clickMainMenuButton(x, clerk.pid, 72)) // Stock Data
        return clerk;
    const auto windows = onlyWindow(x, clerk.pid, 600);
    if (windows.size() != 1)
        return clerk;
    clerk.window = windows.first();
    clerk.menuBar = clerk.window.geometry.height() - 372;
    clerk.ready = true;
    return clerk;
}

// Modify, a click into the item code, the text typed at its end, OK, and Yes to the question.
bool modifyItemCode(const XSession& x, const Clerk& clerk, const QString& typed)
{
    const QPoint modify(496 + 40, clerk.menuBar + 144 + 16), itemCode(32 + 96 + 20, clerk.menuBar + 56 + 120 + 12);
    x.click(clerk.window, modify);
    x.click(clerk.window, itemCode);
    x.key(QStringLiteral("End"));
    x.type(typed);
    x.click(clerk.window, modify);
    if (!confirmShown(x, clerk.pid))
        return false;
    x.key(QStringLiteral("Return"));
    return true;
}

} // namespace

void TestStartup::versionNeedsNoDisplay_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("start"); // of what it prints
    QTest::newRow("version") << "--version"
                             << "velmora " VELMORA_VERSION "\n";
    QTest::newRow("help") << "--help"
                          << "Usage: velmora [--help | --version]\n";
}

void TestStartup::versionNeedsNoDisplay()
{
    QFETCH(QString, option);
    QFETCH(QString, start);
    QProcess velmora;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    velmora.setProcessEnvironment(environment);
    velmora.start(qEnvironmentVariable("VELMORA_EXECUTABLE"), {option});
    QVERIFY(velmora.waitForFinished(10000));
    QCOMPARE(velmora.exitStatus(), QProcess::NormalExit);
    QCOMPARE(velmora.exitCode(), 0);
    const QString printed = QString::fromUtf8(velmora.readAllStandardOutput());
    QVERIFY2(option == "--help" ? printed.startsWith(start) : printed == start, qPrintable(printed));
}

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
    const Installed installed;
    QVERIFY(installed.ready);
    const QString& reg = installed.reg;
    const QStringList first = certificate(reg, QStringLiteral("SC-0001"));
    QCOMPARE(first.size(), 7);
    XSession x;
    if (!x.whyNot().isEmpty())
        QSKIP(qPrintable(x.whyNot()));
    QProcess* velmora = x.launch(installed.program);
    QVERIFY(velmora->waitForStarted());
    const qint64 pid = velmora->processId();

    QVERIFY(clickMainMenuButton(x, pid, 72)); // Stock Data

    // The certificate window alone, 600 by 372 under its menu bar, on the first certificate.
    auto windows = onlyWindow(x, pid, 600);
    QCOMPARE(windows.size(), 1);
    const XSession::Window record = windows.first();
    const int menuBar = record.geometry.height() - 372;
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
    QVERIFY(confirmShown(x, pid));
    x.key(QStringLiteral("Escape")); // does nothing: only Yes or No answers
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

    QVERIFY(clickMainMenuButton(x, pid, 168)); // Exit
    QVERIFY(velmora->waitForFinished(5000));
    QCOMPARE(velmora->exitCode(), 0);

    QStringList changed = first;
    changed[3] += QLatin1Char('X');
    QCOMPARE(certificate(reg, QStringLiteral("SC-0001")), changed);
    QCOMPARE(certificate(reg, QStringLiteral("SC-9001")),
             (QStringList{"SC-9001", "2", "2026-12-07", "E2E", "3", "4", "250"}));
}

void TestStartup::holderModifiedThenTransferAdded()
{
    const Installed installed;
    QVERIFY(installed.ready);
    const QString holders = QStringLiteral("SELECT * FROM stockholder ORDER BY rowid");
    const QString transfers = QStringLiteral("SELECT * FROM transfer_data ORDER BY rowid");
    const QStringList holdersBefore = rows(installed.reg, holders);
    const QStringList transfersBefore = rows(installed.reg, transfers);
    QCOMPARE(holdersBefore.size(), 10);
    XSession x;
    if (!x.whyNot().isEmpty())
        QSKIP(qPrintable(x.whyNot()));
    QProcess* velmora = x.launch(installed.program);
    QVERIFY(velmora->waitForStarted());
    const qint64 pid = velmora->processId();

    // The shareholder window, 701 wide: Next, then the second holder's name changed where it is shown.
    QVERIFY(clickMainMenuButton(x, pid, 24));
    auto windows = onlyWindow(x, pid, 701);
    QCOMPARE(windows.size(), 1);
    XSession::Window window = windows.first();
    int menuBar = window.geometry.height() - 492;
    QVERIFY(menuBar > 10 && menuBar < 40);
    x.click(window, QPoint(128 + 340 - 26, menuBar + 440 + 12));   // Next
    x.click(window, QPoint(608 + 40, menuBar + 144 + 16));         // Modify
    x.click(window, QPoint(16 + 96 + 20, menuBar + 64 + 56 + 12)); // the name
    x.key(QStringLiteral("End"));
    x.type(QStringLiteral(" Jr"));
    x.click(window, QPoint(608 + 40, menuBar + 144 + 16)); // OK
    QVERIFY(confirmShown(x, pid));
    x.key(QStringLiteral("Return")); // Yes is the default
    QCOMPARE(waitForWindows(x, pid, 5000, [](const auto& w) { return w.size() == 1; }).size(), 1);
    x.click(window, QPoint(608 + 40, menuBar + 240 + 16)); // Exit

    // The transfer window, 600 wide, with the keyboard on Add: Enter adds, and Enter walks the fields round.
    QVERIFY(clickMainMenuButton(x, pid, 120));
    windows = onlyWindow(x, pid, 600);
    QCOMPARE(windows.size(), 1);
    window = windows.first();
    menuBar = window.geometry.height() - 372;
    x.key(QStringLiteral("Return"));
    x.click(window, QPoint(32 + 176 + 20, menuBar + 56 + 32 + 12)); // the certificate number
    for (const char* value : {"SC-0003", "2026-12-07", "3", "9", "ORD"}) {
        x.type(QString::fromLatin1(value));
        x.key(QStringLiteral("Return"));
    }
    x.type(QStringLiteral("-X"));                          // back in the first field
    x.click(window, QPoint(496 + 40, menuBar + 240 + 16)); // Exit, storing the new transfer

    QVERIFY(clickMainMenuButton(x, pid, 168)); // Exit
    QVERIFY(velmora->waitForFinished(5000));
    QCOMPARE(velmora->exitCode(), 0);

    QStringList holdersAfter = holdersBefore;
    QStringList second = holdersAfter[1].split(QLatin1Char('|'));
    second[2] += QStringLiteral(" Jr");
    holdersAfter[1] = second.join(QLatin1Char('|'));
    QCOMPARE(rows(installed.reg, holders), holdersAfter);
    QCOMPARE(rows(installed.reg, transfers), transfersBefore + QStringList{"SC-0003-X|2026-12-07|3|9|ORD"});
}

// Two copies of the program on one register, each with the certificate window on the first certificate.
void TestStartup::twoClerksOnOneRegister()
{
    const Installed installed;
    QVERIFY(installed.ready);
    XSession x;
    if (!x.whyNot().isEmpty())
        QSKIP(qPrintable(x.whyNot()));
    Clerk a, b;
    for (Clerk* clerk : {&a, &b}) {
        *clerk = openCertificates(x, installed.program);
        QVERIFY(clerk->ready);
        // One above the other, so that neither covers the other.
        x.move(clerk->window, QPoint(0, clerk == &a ? 0 : 384));
    }
    const auto itemCode = [&] {
        return certificate(installed.reg, QStringLiteral("SC-0001")).value(3);
    };
    const QString before = itemCode();
    QVERIFY(!before.isEmpty());

    // The same field: A's save stands, B's is refused with a message and B keeps the typing.
    QVERIFY(modifyItemCode(x, a, QStringLiteral("-A")));
    QVERIFY(modifyItemCode(x, b, QStringLiteral("-B")));
    // The refusal: a message over B's window, which is titled like it.
    const auto refused = waitForWindows(x, b.pid, 5000, [](const auto& w) { return w.size() == 2; });
    QCOMPARE(named(refused, QStringLiteral("Velmora")).size(), 2);
    QCOMPARE(itemCode(), before + "-A");
    x.key(QStringLiteral("Return")); // OK on the message
    // Saving again, having seen A's value, stores what B typed.
    x.click(b.window, QPoint(496 + 40, b.menuBar + 144 + 16));
    QVERIFY(confirmShown(x, b.pid));
    x.key(QStringLiteral("Return"));
    QCOMPARE(waitForWindows(x, b.pid, 5000, [](const auto& w) { return w.size() == 1; }).size(), 1);
    QCOMPARE(itemCode(), before + "-B");

    // Different fields: A's quantity and B's item code both stand.
    const QPoint quantity(32 + 96 + 20, a.menuBar + 56 + 216 + 12);
    x.click(a.window, QPoint(496 + 40, a.menuBar + 144 + 16));
    x.click(a.window, quantity);
    x.key(QStringLiteral("End"));
    x.type(QStringLiteral("5"));
    x.click(a.window, QPoint(496 + 40, a.menuBar + 144 + 16));
    QVERIFY(confirmShown(x, a.pid));
    x.key(QStringLiteral("Return"));
    const QString quantityOfA = certificate(installed.reg, QStringLiteral("SC-0001")).value(6);
    QVERIFY(modifyItemCode(x, b, QStringLiteral("2")));
    QCOMPARE(waitForWindows(x, b.pid, 5000, [](const auto& w) { return w.size() == 1; }).size(), 1);
    const QStringList both = certificate(installed.reg, QStringLiteral("SC-0001"));
    QCOMPARE(both.value(3), before + "-B2");
    QCOMPARE(both.value(6), quantityOfA);
    QVERIFY(quantityOfA.endsWith(QLatin1Char('5')));

    // Each save that stood is in the history once, in the order stored, with what it replaced.
    QCOMPARE(
        rows(installed.reg, QStringLiteral("SELECT json_extract(changes, '$[0][0]'), json_extract(changes, "
                                           "'$[0][1]') FROM velmora_history WHERE action = 'modify' ORDER BY seq")),
        (QStringList{"item_code|" + before, "item_code|" + before + "-A", "stock_qty|" + quantityOfA.chopped(1),
                     "item_code|" + before + "-B"}));
}

// The program beside a velmora.conf that names a register on the test server: the certificate window modifies a
// record, adds one and searches, and the rows are read back on the server.
void TestStartup::registerOnAServer()
{
    TempRegister server(Engine::Server);
    VELMORA_REQUIRE(server);
    for (const char* no : {"A", "B", "C"})
        QVERIFY(server.exec("INSERT INTO stock_data (stock_no, item_code) VALUES (?, ?)", {no, QString("IT-") + no})
                    .isEmpty());
    const Installed installed;
    QVERIFY(installed.ready);
    QVERIFY(QFile::remove(installed.reg)); // the file is not what the windows use
    QFile config(QFileInfo(installed.program).dir().filePath("velmora.conf"));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write(QStringLiteral("[register]\nserver = %1\n").arg(server.path()).toUtf8());
    config.close();
    XSession x;
    if (!x.whyNot().isEmpty())
        QSKIP(qPrintable(x.whyNot()));
    const Clerk clerk = openCertificates(x, installed.program);
    QVERIFY(clerk.ready);
    const XSession::Window& record = clerk.window;
    const qint64 pid = clerk.pid;
    const auto at = [&](int left, int top) {
        return QPoint(left, clerk.menuBar + top);
    };
    const QPoint add = at(496 + 40, 96 + 16), last = at(136 + 340 - 8, 328 + 12),
                 stockNo = at(32 + 96 + 20, 56 + 24 + 12);
    const auto modifyItemCodeAndWait = [&](const QString& typed) {
        return modifyItemCode(x, clerk, typed)
               && waitForWindows(x, pid, 5000, [](const auto& w) { return w.size() == 1; }).size() == 1;
    };

    QVERIFY(modifyItemCodeAndWait(QStringLiteral("X"))); // on A
    // A new certificate, stored by a move to the last record.
    x.click(record, add);
    x.click(record, stockNo);
    x.type(QStringLiteral("SRV-1"));
    x.click(record, last);
    // Search by certificate number through the menu: StockData, Query, the first search.
    x.click(record, QPoint(30, 8));
    for (const char* key : {"Down", "Right", "Return"})
        x.key(QString::fromLatin1(key));
    QVERIFY(!waitForWindows(x, pid, 5000, [](const auto& w) { return !named(w, "Query").isEmpty(); }).isEmpty());
    x.type(QStringLiteral(" b "));
    x.key(QStringLiteral("Return"));
    QCOMPARE(waitForWindows(x, pid, 5000, [](const auto& w) { return w.size() == 1; }).size(), 1);
    QVERIFY(modifyItemCodeAndWait(QStringLiteral("Y"))); // on what the search found

    QStringList rows;
    for (const QVariantList& row : server.rows("SELECT stock_no, item_code FROM stock_data ORDER BY row_id"))
        rows.append(row[0].toString() + '/' + row[1].toString());
    QCOMPARE(rows, (QStringList{"A/IT-AX", "B/IT-BY", "C/IT-C", "SRV-1/"}));
}

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_startup.moc"
