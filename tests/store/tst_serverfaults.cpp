#include "connection.h"
#include "historylog.h"
#include "scene.h"
#include "writetransaction.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QSemaphore>
#include <QSqlQuery>
#include <QtTest>
#include <QUrlQuery>

#include <thread>

using namespace scene;

namespace {

// The register's URI with another value for a parameter: by default, another login.
QString as(const QString& uri, const QString& value, const QString& key = QStringLiteral("user"))
{
    QUrl url(uri);
    QUrlQuery query(url);
    query.removeQueryItem(key);
    query.addQueryItem(key, value);
    url.setQuery(query);
    return url.toString(QUrl::FullyEncoded);
}

// Stops the primary of the test's primary and standby, promotes the standby, or makes a standby again.
bool standbyStep(const char* step)
{
    return QProcess::execute(QStringLiteral(VELMORA_POSTGRES_SCRIPT), {QString::fromLatin1(step)}) == 0;
}

} // namespace

// What can go wrong only with a register on a server: each fault is reported with the server named, loses
// nothing typed, and once it is put right the same save goes through.
class TestServerFaults : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void faultLosesNothing_data();
    void faultLosesNothing();
    void uriValueReachesTheServerWhole_data();
    void uriValueReachesTheServerWhole();
    void overlappingSavesBothGoThrough_data();
    void overlappingSavesBothGoThrough();
};

void TestServerFaults::faultLosesNothing_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("says");
    QTest::newRow("connection lost: the server restarted")
        << "lost"
        << "the connection to the server was lost; the next action connects again";
    QTest::newRow("another clerk holds the record past the wait")
        << "locked"
        << "the register is in use by another clerk, who holds this record";
    QTest::newRow("a login without write permission") << "read-only"
                                                      << "this login has no right to write to this table (ask";
    QTest::newRow("a login that may not read the table") << "unreadable"
                                                         << "this login has no right to read this table (ask";
    QTest::newRow("authentication fails: no such role") << "login"
                                                        << "the server refused the login (check the user name";
    QTest::newRow("no such database") << "database"
                                      << "/no_such_database\": the server has no such database (check";
    QTest::newRow("a column is missing") << "column"
                                         << "the table \"stock_data\" has no column \"stock_qty\"";
    QTest::newRow("a statement waits past the URI's bound") << "bound"
                                                            << "the server did not answer in time";
    QTest::newRow("failover: the primary stopped, the standby promoted")
        << "failover"
        << "the connection to the server was lost; the next action connects again";
}

void TestServerFaults::faultLosesNothing()
{
    QFETCH(QString, fault);
    QFETCH(QString, says);
    const bool failover = fault == QLatin1String("failover");
    const QString standby = qEnvironmentVariable("VELMORA_TEST_STANDBY");
    if (failover && standby.isEmpty())
        QSKIP("no primary with a standby: scripts/postgres.sh start --standby gives VELMORA_TEST_STANDBY");
    TempRegister reg(Engine::Server, true, failover ? standby : QString());
    QVERIFY2(!failover || reg.isValid(), qPrintable(reg.error())); // a standby there, so a primary too
    VELMORA_REQUIRE(reg);
    addCertificates(reg);
    // The server writes the arranged rows' entries itself.
    const qint64 arranged = reg.rows("SELECT count(*) FROM velmora_history")[0][0].toLongLong();
    const QString role = QStringLiteral("reader_") + reg.schema(); // roles are the server's, not the schema's

    const bool limited = fault == QLatin1String("read-only") || fault == QLatin1String("unreadable");
    const auto dropRole = qScopeGuard([&] { // once the record set is gone
        if (limited) {
            reg.exec("DROP OWNED BY " + role);
            reg.exec("DROP ROLE " + role);
        }
    });
    if (limited) {
        for (const QString& statement :
             {QStringLiteral("CREATE ROLE %1 LOGIN"), QStringLiteral("GRANT USAGE ON SCHEMA %2 TO %1"),
              QStringLiteral("GRANT SELECT ON stock_data TO %1"),
              QStringLiteral("GRANT SELECT ON velmora_history TO %1")}) {
            if (fault == QLatin1String("read-only") || !statement.contains(QLatin1String("SELECT")))
                QVERIFY(reg.exec(QString(statement).replace("%1", role).replace("%2", reg.schema())).isEmpty());
        }
    }
    QUrl elsewhere(reg.path());
    elsewhere.setPath(QStringLiteral("/no_such_database"));
    const QString uri = fault == QLatin1String("login")      ? as(reg.path(), "nobody_here")
                        : fault == QLatin1String("database") ? elsewhere.toString()
                        : limited                            ? as(reg.path(), role)
                        : fault == QLatin1String("bound")
                            ? as(reg.path(), "-csearch_path=" + reg.schema() + " -cstatement_timeout=200", "options")
                            : reg.path();

    // Faults met while opening.
    if (QStringList{"login", "database", "unreadable", "column"}.contains(fault)) {
        if (fault == QLatin1String("column"))
            QVERIFY(reg.exec("ALTER TABLE stock_data DROP COLUMN stock_qty").isEmpty());
        FakeFields fields(certificateColumns);
        const Opened opened = openOn(uri, "stock_data", &fields);
        QVERIFY(!opened.status.ok());
        QVERIFY2(opened.status.message().contains(says), qPrintable(opened.status.message()));
        return;
    }
    FakeFields fields(certificateColumns);
    Opened opened = openOn(uri, "stock_data", &fields);
    QVERIFY2(opened.status.ok(), qPrintable(opened.status.message()));
    Recordset& set = *opened.recordset;
    bool killed = false;
    bool promoted = false;
    const auto rejoin = qScopeGuard([&] { // the old primary a standby again
        if (killed && (promoted || standbyStep("promote")))
            standbyStep("rejoin");
    });
    if (failover) { // saves before the failover, on the host that takes writes whichever the URI lists first
        for (const char* code : {"SAVED B", "SAVED C", "SAVED D"}) {
            QVERIFY(set.moveNext().ok() && set.edit().ok());
            fields.type("item_code", code);
            QVERIFY(set.update().ok());
        }
        QVERIFY(set.moveFirst().ok());
    }
    const auto before = allCertificates(reg);
    QVERIFY(set.edit().ok());
    fields.type("item_code", "TYPED");

    if (failover) {
        QVERIFY(killed = standbyStep("kill-primary"));
    } else if (fault == QLatin1String("lost")) {
        QSqlQuery pid(set.connection().database());
        QVERIFY(pid.exec("SELECT pg_backend_pid()") && pid.next());
        QVERIFY(reg.exec(QStringLiteral("SELECT pg_terminate_backend(%1)").arg(pid.value(0).toLongLong())).isEmpty());
    } else if (fault == QLatin1String("locked") || fault == QLatin1String("bound")) { // the test's session holds it
        QVERIFY(reg.exec("BEGIN").isEmpty());
        QVERIFY(reg.exec("SELECT * FROM stock_data WHERE stock_no = 'A' FOR UPDATE").isEmpty());
    }

    const Status refused = set.update();
    QVERIFY(!refused.ok());
    QVERIFY2(refused.message().contains(says) && refused.message().contains(set.connection().path()),
             qPrintable(refused.message()));
    QCOMPARE(set.editState(), EditState::Editing);
    QCOMPARE(fields.texts["item_code"], "TYPED");
    QCOMPARE(fields.changed, QSet<QString>{"item_code"});

    // Put right, the same save goes through: a lost connection is made again by itself, to the new primary.
    QElapsedTimer promoting;
    if (fault == QLatin1String("locked") || fault == QLatin1String("bound")) {
        QVERIFY(reg.exec("ROLLBACK").isEmpty());
    } else if (fault == QLatin1String("read-only")) {
        QVERIFY(reg.exec(QStringLiteral("GRANT UPDATE ON stock_data TO %1").arg(role)).isEmpty());
    } else if (failover) {
        const Status standbyOnly = set.update(); // the standby, listed, is passed over
        QVERIFY2(standbyOnly.message().contains("no server the URI names accepts writes")
                     && standbyOnly.message().contains("session is read-only"),
                 qPrintable(standbyOnly.message()));
        promoting.start();
        QVERIFY(promoted = standbyStep("promote"));
    }
    QCOMPARE(allCertificates(reg), before); // nothing half-saved; every earlier save on a new primary too
    const Status stored = set.update();
    if (failover)
        qInfo("failover: %lld ms from the promotion to the first save", static_cast<long long>(promoting.elapsed()));
    QVERIFY2(stored.ok(), qPrintable(stored.message()));
    QCOMPARE(reg.rows("SELECT item_code FROM stock_data WHERE stock_no = 'A'")[0][0].toString(), "TYPED");
    const Expected<QList<history::Entry>> entries = history::read(set.connection());
    QVERIFY(entries);
    QCOMPARE(entries->size(), arranged + (failover ? 4 : 1));
    QVERIFY2(history::verify(entries.value()).intact, qPrintable(history::verify(entries.value()).problem));
    // The window's bound on each statement, the URI's own or the default, holds on a connection made again.
    QSqlQuery bound(set.connection().database());
    QVERIFY(bound.exec("SHOW statement_timeout") && bound.next());
    QCOMPARE(bound.value(0).toString(), fault == QLatin1String("bound") ? "200ms" : "10s");
    if (fault == QLatin1String("read-only")) {
        // A clerk who may only read the history has the server write it, and can neither add to it nor rewrite it.
        QCOMPARE(reg.rows("SELECT db_role, action FROM velmora_history ORDER BY seq DESC LIMIT 1"),
                 (QList<QVariantList>{{role, "modify"}}));
        QSqlQuery rewrite(set.connection().database());
        QVERIFY(!rewrite.exec("INSERT INTO velmora_history SELECT seq + 1, changed_at, 'someone else', db_role, "
                              "table_name, row_key, record, action, changes, hash, hash FROM velmora_history "
                              "ORDER BY seq DESC LIMIT 1"));
        QVERIFY(!rewrite.exec("UPDATE velmora_history SET clerk = 'someone else'"));
        QVERIFY(!rewrite.exec("DELETE FROM velmora_history"));
    }
}

void TestServerFaults::uriValueReachesTheServerWhole_data()
{
    QTest::addColumn<QString>("query"); // added to the register's URI
    QTest::addColumn<QString>("said");  // the session's application name, or the refusal's words
    QTest::newRow("a value with blanks") << "application_name=Front%20desk%202"
                                         << "Front desk 2";
    QTest::newRow("a quote and a backslash") << "application_name=O'Brien%5Cdesk"
                                             << "O'Brien\\desk";
    QTest::newRow("a database smuggled in a value") << "application_name=x%20dbname%3Dtemplate1"
                                                    << "x dbname=template1";
    QTest::newRow("a password smuggled in a value") << "application_name=desk%20password%3Dhunter2"
                                                    << "desk password=hunter2";
    QTest::newRow("sslmode smuggled in its own value") << "sslmode=prefer%20sslmode%3Ddisable"
                                                       << "invalid sslmode value";
    QTest::newRow("a semicolon, which the driver makes a blank") << "application_name=a%3Bb"
                                                                 << "the value of \"application_name\" holds a \";\"";
    QTest::newRow("hosts tried in turn, the first not there")
        << "host=/nonexistent,{host}&port=5433,5432&application_name=second%20host"
        << "second host";
    QTest::newRow("ports that do not match the hosts") << "host=/a,/b,/c&port=5432,5433"
                                                       << "it names 2 ports for 3 hosts";
}

void TestServerFaults::uriValueReachesTheServerWhole()
{
    QFETCH(QString, query);
    QFETCH(QString, said);
    TempRegister reg(Engine::Server, false);
    VELMORA_REQUIRE(reg);
    query.replace("{host}", QUrlQuery(QUrl(reg.path())).queryItemValue("host"));
    const Expected<std::unique_ptr<Connection>> opened = Connection::open(reg.path() + '&' + query);
    if (!opened) {
        QVERIFY2(opened.status().message().contains(said), qPrintable(opened.status().message()));
        return;
    }
    QSqlQuery session(opened.value()->database());
    QVERIFY(session.exec("SELECT current_database(), current_setting('application_name'), "
                         "current_setting('statement_timeout')")
            && session.next());
    QCOMPARE(session.value(0).toString(), QUrl(reg.path()).path().mid(1)); // the database the URI names
    QCOMPARE(session.value(1).toString(), said);
    QCOMPARE(session.value(2).toString(), "0"); // long work, unlike a window, goes unbounded
}

void TestServerFaults::overlappingSavesBothGoThrough_data()
{
    QTest::addColumn<QString>("isolation"); // the sessions' default; empty: the server's own
    QTest::newRow("the server's default isolation") << "";
    QTest::newRow("repeatable read by default") << "-cdefault_transaction_isolation=repeatable\\ read";
}

// Another clerk saves record B and holds the history's lock until this clerk's save of record A waits for it.
void TestServerFaults::overlappingSavesBothGoThrough()
{
    QFETCH(QString, isolation);
    TempRegister reg(Engine::Server);
    VELMORA_REQUIRE(reg);
    addCertificates(reg);
    const qint64 arranged = reg.rows("SELECT count(*) FROM velmora_history")[0][0].toLongLong();
    const QString uri = as(reg.path(), "-csearch_path=" + reg.schema() + ' ' + isolation, "options");
    FakeFields fields(certificateColumns);
    Opened opened = openOn(uri, "stock_data", &fields);
    QVERIFY2(opened.status.ok(), qPrintable(opened.status.message()));
    QVERIFY(opened.recordset->edit().ok());
    fields.type("item_code", "TYPED");
    QSemaphore holding;
    QString other = QStringLiteral("the other clerk's save stopped");
    std::thread clerk([&] {
        Expected<std::unique_ptr<Connection>> made = Connection::open(as(uri, "other clerk", "application_name"));
        if (made) {
            const Connection& connection = *made.value();
            const auto close = qScopeGuard([&] { connection.database().close(); }); // not kept for another thread
            WriteTransaction save(connection);
            QSqlQuery query(connection.database());
            const bool held = save.begin({})
                              && query.exec("UPDATE stock_data SET item_code = 'OTHER' WHERE stock_no = 'B'")
                              && HistoryLog(connection)
                                     .append({HistoryLog::entry(*schema::table(u"stock_data"), 2, "B", "modify", {})});
            holding.release();
            for (const QDeadlineTimer wait(10000); held && !wait.hasExpired();) {
                if (query.exec("SELECT 1 FROM pg_locks WHERE NOT granted") && query.next()) {
                    other = save.commit({}).message();
                    break;
                }
            }
        }
        holding.release();
    });
    holding.acquire();
    const Status saved = opened.recordset->update();
    clerk.join();
    QVERIFY2(other.isEmpty(), qPrintable(other));
    QVERIFY2(saved.ok(), qPrintable(saved.message()));
    QCOMPARE(reg.rows("SELECT item_code FROM stock_data WHERE stock_no IN ('A', 'B') ORDER BY stock_no"),
             (QList<QVariantList>{{"TYPED"}, {"OTHER"}}));
    const Expected<QList<history::Entry>> entries = history::read(opened.recordset->connection());
    QVERIFY(entries);
    QCOMPARE(entries->size(), arranged + 2);
    QVERIFY2(history::verify(entries.value()).intact, qPrintable(history::verify(entries.value()).problem));
}

QTEST_GUILESS_MAIN(TestServerFaults)
#include "tst_serverfaults.moc"
