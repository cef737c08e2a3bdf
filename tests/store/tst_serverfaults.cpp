#include "scene.h"

#include <QSqlQuery>
#include <QtTest>
#include <QUrlQuery>

using namespace scene;

namespace {

// The register's URI with another login.
QString as(const QString& uri, const QString& user)
{
    QUrl url(uri);
    QUrlQuery query(url);
    query.removeQueryItem(QStringLiteral("user"));
    query.addQueryItem(QStringLiteral("user"), user);
    url.setQuery(query);
    return url.toString();
}

} // namespace

// What can go wrong only with a register on a server: each fault is reported with the server named, loses
// nothing typed, and once it is put right the same save goes through.
class TestServerFaults : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void faultLosesNothing_data();
    void faultLosesNothing();
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
                                                      << "read-only for this login";
    QTest::newRow("authentication fails") << "login"
                                          << "Cannot open the register on";
    QTest::newRow("a column is missing") << "column"
                                         << "the table \"stock_data\" has no column \"stock_qty\"";
}

void TestServerFaults::faultLosesNothing()
{
    QFETCH(QString, fault);
    QFETCH(QString, says);
    TempRegister reg(Engine::Server);
    VELMORA_REQUIRE(reg);
    addCertificates(reg);
    const QString role = QStringLiteral("reader_") + reg.schema(); // roles are the server's, not the schema's

    // Faults met while opening.
    if (fault == QLatin1String("login") || fault == QLatin1String("column")) {
        if (fault == QLatin1String("column"))
            QVERIFY(reg.exec("ALTER TABLE stock_data DROP COLUMN stock_qty").isEmpty());
        FakeFields fields(certificateColumns);
        const Opened opened =
            openOn(fault == QLatin1String("login") ? as(reg.path(), "nobody_here") : reg.path(), "stock_data", &fields);
        QVERIFY(!opened.status.ok());
        QVERIFY2(opened.status.message().contains(says), qPrintable(opened.status.message()));
        return;
    }

    if (fault == QLatin1String("read-only")) {
        for (const QString& statement :
             {QStringLiteral("CREATE ROLE %1 LOGIN"), QStringLiteral("GRANT USAGE ON SCHEMA %2 TO %1"),
              QStringLiteral("GRANT SELECT ON stock_data TO %1"),
              QStringLiteral("GRANT SELECT, INSERT ON velmora_history TO %1")})
            QVERIFY(reg.exec(QString(statement).replace("%1", role).replace("%2", reg.schema())).isEmpty());
    }
    FakeFields fields(certificateColumns);
    Opened opened =
        openOn(fault == QLatin1String("read-only") ? as(reg.path(), role) : reg.path(), "stock_data", &fields);
    QVERIFY2(opened.status.ok(), qPrintable(opened.status.message()));
    Recordset& set = *opened.recordset;
    const auto before = allCertificates(reg);
    QVERIFY(set.edit().ok());
    fields.type("item_code", "TYPED");

    if (fault == QLatin1String("lost")) {
        QSqlQuery pid(set.connection().database());
        QVERIFY(pid.exec("SELECT pg_backend_pid()") && pid.next());
        QVERIFY(reg.exec(QStringLiteral("SELECT pg_terminate_backend(%1)").arg(pid.value(0).toLongLong())).isEmpty());
    } else if (fault == QLatin1String("locked")) { // the test's own session holds the record
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

    // Put right, the same save goes through: a lost connection is made again by itself.
    if (fault == QLatin1String("locked"))
        QVERIFY(reg.exec("ROLLBACK").isEmpty());
    else if (fault == QLatin1String("read-only"))
        QVERIFY(reg.exec(QStringLiteral("GRANT UPDATE ON stock_data TO %1").arg(role)).isEmpty());
    QCOMPARE(allCertificates(reg), before);
    const Status stored = set.update();
    QVERIFY2(stored.ok(), qPrintable(stored.message()));
    QCOMPARE(reg.rows("SELECT item_code FROM stock_data WHERE stock_no = 'A'")[0][0].toString(), "TYPED");
    opened.recordset.reset();
    if (fault == QLatin1String("read-only")) {
        QVERIFY(reg.exec(QStringLiteral("DROP OWNED BY %1").arg(role)).isEmpty());
        QVERIFY(reg.exec(QStringLiteral("DROP ROLE %1").arg(role)).isEmpty());
    }
}

QTEST_GUILESS_MAIN(TestServerFaults)
#include "tst_serverfaults.moc"
