#include "fakefields.h"
#include "history.h"
#include "recordset.h"
#include "schema.h"
#include "tooltest.h"

using namespace tooltest;

Q_DECLARE_METATYPE(Engine)

// history and history --verify, run as the clerk would run them.
class TestHistoryCommands : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void verifyNamesTheFirstBadChange_data();
    void verifyNamesTheFirstBadChange();
    void historyShowsWhatIsAsked_data();
    void historyShowsWhatIsAsked();
};

void TestHistoryCommands::verifyNamesTheFirstBadChange_data()
{
    QTest::addColumn<QStringList>("tampering"); // plain SQL on the demo register's history of 33 changes
    QTest::addColumn<int>("resealed");          // a change sealed again afterwards, as by one who knows how
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("named");
    const QString edit = "UPDATE velmora_history SET changes = replace(changes, 'SC-0003', 'SC-0030') WHERE seq = 3";
    // The numbers moved out of the way and back, as the table allows each number once.
    const auto renumbered = [](const QString& to, const QString& where) {
        return QStringList{"UPDATE velmora_history SET seq = -(" + to + ") WHERE " + where,
                           "UPDATE velmora_history SET seq = -seq WHERE seq < 0"};
    };
    QTest::newRow("intact") << QStringList() << 0 << 0 << "is intact: 33 changes, the last sealed as ";
    QTest::newRow("entry edited") << QStringList{edit} << 0 << 1 << "change 3 does not match its seal";
    QTest::newRow("entry edited and sealed again")
        << QStringList{edit} << 3 << 1 << "change 4 does not follow change 3";
    QTest::newRow("entry deleted") << QStringList{"DELETE FROM velmora_history WHERE seq = 3"} << 0 << 1
                                   << "change 3 is missing";
    QTest::newRow("entry inserted") << renumbered("seq + 1", "seq >= 3")
                                           + QStringList{"INSERT INTO velmora_history SELECT 3, changed_at, clerk, "
                                                         "db_role, table_name, row_key, record, action, changes, "
                                                         "previous_hash, hash FROM velmora_history WHERE seq = 2"}
                                    << 0 << 1 << "change 3 does not follow change 2";
    QTest::newRow("entries swapped") << renumbered("7 - seq", "seq IN (3, 4)") << 0 << 1
                                     << "change 3 does not follow change 2";
    QTest::newRow("first entry deleted, the rest renumbered")
        << QStringList{"DELETE FROM velmora_history WHERE seq = 1"} + renumbered("seq - 1", "seq > 1") << 0 << 1
        << "change 1 does not begin the history";
    // Only a seal noted earlier shows this.
    QTest::newRow("newest entries deleted")
        << QStringList{"DELETE FROM velmora_history WHERE seq > 30"} << 0 << 0 << "is intact: 30 changes";
}

void TestHistoryCommands::verifyNamesTheFirstBadChange()
{
    QFETCH(QStringList, tampering);
    QFETCH(int, resealed);
    QFETCH(int, status);
    QFETCH(QString, named);
    TempRegister target(Engine::File, false);
    QCOMPARE(run({"init", "--demo", target.path()}).status, 0);
    for (const QString& statement : tampering)
        QCOMPARE(target.exec(statement), "");
    if (resealed > 0) {
        const QVariantList stored = target
                                        .rows("SELECT changed_at, clerk, db_role, table_name, row_key, record, "
                                              "action, changes, previous_hash FROM velmora_history WHERE seq = "
                                              + QString::number(resealed))
                                        .value(0);
        QCOMPARE(stored.size(), 9);
        const auto text = [&](int i) {
            return stored[i].toString();
        };
        const history::Entry entry{resealed, text(0), text(1), text(2), text(3), stored[4].toLongLong(),
                                   text(5),  text(6), text(7), text(8), {}};
        QCOMPARE(target.exec("UPDATE velmora_history SET hash = ? WHERE seq = ?", {history::seal(entry), resealed}),
                 "");
    }
    const Run verified = run({"history", "--verify", target.path()});
    QCOMPARE(verified.status, status);
    QVERIFY2((status ? verified.err : verified.out).contains(named), qPrintable(verified.out + verified.err));
    QVERIFY(status == 0 || verified.err.contains(target.path()));
}

void TestHistoryCommands::historyShowsWhatIsAsked_data()
{
    // The demo register's 33 changes, dated 2020-05-01 10:00 UTC, then three by two clerks: holder 3 renumbered
    // 33 (34), holder 10 deleted (35) and holder 11 added (36), which a file gives holder 10's row key.
    QTest::addColumn<Engine>("engine");
    QTest::addColumn<QStringList>("filter");
    QTest::addColumn<QList<int>>("changes");
    QTest::addColumn<QString>("shown"); // a line of the table shown
    const auto span = [](int from, int to) {
        QList<int> all;
        for (int i = from; i <= to; ++i)
            all.append(i);
        return all;
    };
    for (const Engine engine : {Engine::File, Engine::Server}) {
        const char* on = engine == Engine::File ? "file" : "server";
        QTest::addRow("%s, a table", on) << engine << QStringList{"--table", "transfer_data"} << span(26, 33) << "";
        QTest::addRow("%s, a record", on) << engine << QStringList{"--table", "stockholder", "--record", "3"}
                                          << QList<int>{18, 34} << "ShareHolder #: \"3\" → \"33\"";
        QTest::addRow("%s, a record by its later number", on)
            << engine << QStringList{"--record", "033"} << QList<int>{18, 34} << "";
        QTest::addRow("%s, a number in two tables", on) << engine << QStringList{"--record", "sc-0004"}
                                                        << QList<int>{4, 27, 28} << "Previous Holder: (none) → \"5\"";
        QTest::addRow("%s, a deleted record", on)
            << engine << QStringList{"--record", "10"} << QList<int>{25, 35} << "Name: \"田中陽翔\" → (none)";
        QTest::addRow("%s, the record added after it", on)
            << engine << QStringList{"--record", "11"} << QList<int>{36} << "";
        QTest::addRow("%s, since a day", on) << engine << QStringList{"--since", "2020-05-02"} << span(34, 36) << "";
        QTest::addRow("%s, since a time in another zone", on)
            << engine << QStringList{"--since", "2020-05-01T12:00+02:00"} << span(1, 36) << "";
        QTest::addRow("%s, since a second later", on)
            << engine << QStringList{"--since", "2020-05-01T10:00:01Z", "--table", "stockholder"} << span(34, 36) << "";
    }
}

// The table shown and the CSV name the same changes, the ones asked for.
void TestHistoryCommands::historyShowsWhatIsAsked()
{
    QFETCH(Engine, engine);
    QFETCH(QStringList, filter);
    QFETCH(QList<int>, changes);
    QFETCH(QString, shown);
    TempRegister target(engine, false);
    VELMORA_REQUIRE(target);
    QCOMPARE(run({"init", "--demo", target.path()}).status, 0);
    {
        // Two clerks, each on a connection of their own, save in turn.
        const schema::Table& holders = *schema::table(u"stockholder");
        QStringList columns;
        for (const schema::Column& column : holders.columns)
            columns.append(column.name);
        FakeFields first(columns), second(columns);
        std::vector<std::unique_ptr<Recordset>> sets;
        for (FakeFields* fields : {&first, &second}) {
            Expected<std::unique_ptr<Connection>> connection = Connection::open(target.path());
            QVERIFY(connection.ok());
            sets.push_back(std::make_unique<Recordset>(std::move(connection.value()), holders, fields));
            fields->recordset = sets.back().get();
        }
        Recordset& a = *sets[0];
        Recordset& b = *sets[1];
        // Each step must go through: no message.
        QString refused;
        const auto step = [&](const Status& status) {
            refused += status.message();
        };
        step(a.open());
        step(b.open());
        step(a.findFirst("stockholder_no = val('3')"));
        step(a.edit());
        first.type("stockholder_no", "33");
        step(a.update());
        step(b.findFirst("stockholder_no = val('10')"));
        step(b.deleteRecord());
        step(a.addNew());
        first.type("stockholder_no", "11");
        step(a.update());
        QCOMPARE(refused, "");
    }
    // Their changes follow each other on one chain.
    QCOMPARE(run({"history", "--verify", target.path()}).status, 0);
    QCOMPARE(target.exec("UPDATE velmora_history SET changed_at = '2020-05-01T10:00:00.000Z' WHERE seq <= 33"), "");
    const Run table = run(QStringList{"history"} + filter + QStringList{target.path()});
    QCOMPARE(table.status, 0);
    QVERIFY2(table.out.contains(shown), qPrintable(table.out));
    QList<int> listed;
    for (const QRegularExpressionMatch& line :
         QRegularExpression("\\n *(\\d+)  \\d{4}-\\d\\d-\\d\\d ").globalMatch(table.out))
        listed.append(line.captured(1).toInt());
    QCOMPARE(listed, changes);
    const Run csv = run(QStringList{"history", "--csv"} + filter + QStringList{target.path()});
    QCOMPARE(csv.status, 0);
    QList<int> written;
    for (const QString& line : csv.out.split("\r\n", Qt::SkipEmptyParts).mid(1)) {
        if (const int number = line.section(',', 0, 0).toInt(); written.isEmpty() || written.last() != number)
            written.append(number);
    }
    QCOMPARE(written, changes);
}

QTEST_GUILESS_MAIN(TestHistoryCommands)
#include "tst_historycommands.moc"
