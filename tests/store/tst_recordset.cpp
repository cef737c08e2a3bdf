#include "connection.h"
#include "fakefields.h"
#include "recordset.h"
#include "schema.h"
#include "tempregister.h"

#include <QProcess>
#include <QtTest>

namespace {

const QStringList certificateColumns{"stock_no",        "stock_type",     "publish_date", "item_code",
                                     "original_holder", "present_holder", "stock_qty"};

// A record set on one table of a register, bound to fake fields.
struct Opened {
    std::unique_ptr<Recordset> recordset;
    Status status;
};

Opened openOn(const QString& path, const QString& table, FakeFields* fields)
{
    Expected<std::unique_ptr<Connection>> connection = Connection::open(path);
    if (!connection)
        return {nullptr, connection.status()};
    auto recordset = std::make_unique<Recordset>(std::move(connection.value()), *schema::table(table), fields);
    if (fields)
        fields->recordset = recordset.get();
    Status opened = recordset->open();
    return {std::move(recordset), opened};
}

// Certificates A, B, C, D with present holders 7, 12, 0, 7.
void addCertificates(const TempRegister& reg)
{
    const QList<QVariantList> rows{{"A", 1, "2001-02-03", "IT1", 3, 7, 100},
                                   {"B", 2, "2002-03-04", "IT2", 4, 12, 200},
                                   {"C", 1, "2003-04-05", "IT3", 5, 0, 300},
                                   {"D", 2, "2004-05-06", "IT4", 6, 7, 400}};
    for (const QVariantList& row : rows)
        QVERIFY(reg.exec("INSERT INTO stock_data VALUES (?, ?, ?, ?, ?, ?, ?)", row).isEmpty());
}

QList<QVariantList> allCertificates(const TempRegister& reg)
{
    return reg.rows("SELECT rowid, * FROM stock_data ORDER BY rowid");
}

// A register, fake fields and a record set on stock_data, opened.
struct Scene {
    explicit Scene(bool withCertificates = true)
        : fields(certificateColumns)
    {
        if (withCertificates)
            addCertificates(reg);
        opened = openOn(reg.path(), "stock_data", &fields);
    }
    Recordset& set() { return *opened.recordset; }

    TempRegister reg;
    FakeFields fields;
    Opened opened;
};

QList<Action> actionsOf(const FakeFields& fields)
{
    QList<Action> actions;
    for (const auto& [action, save] : fields.validations)
        actions.append(action);
    return actions;
}

} // namespace

Q_DECLARE_METATYPE(Action)

class TestRecordset : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void opensAnEmptyTableWithNoCurrentRecord();
    void opensOnTheFirstRow();
    void navigates_data();
    void navigates();
    void movesNothingOnAnEmptyTable();
    void addNewThenMoveStoresOnlyTypedFields();
    void addNewWithNothingTypedStoresNothing();
    void updateOfANewRecordMakesItCurrent();
    void addNewOnAnEmptyTable();
    void editThenCloseStoresWithoutAsking();
    void cancelUpdateRestoresAndNothingIsStoredAfter();
    void editKeepsTypedTextAndAPendingNewRecord();
    void deletingTheOnlyRowLeavesAnEmptySet();
    void deleteWhileAddingRemovesNoStoredRecord();
    void movesFromADeletedRecordToItsNeighbour();
    void operationsWithoutARecordFail_data();
    void operationsWithoutARecordFail();
    void findsByNumber_data();
    void findsByNumber();
    void findsByWholeTextIgnoringCase_data();
    void findsByWholeTextIgnoringCase();
    void findStartsFromTheFirstRow();
    void failedFindIsUndoneByTheBookmark();
    void unreadableCriteriaFail_data();
    void unreadableCriteriaFail();
    void refusedValueChangesNothing_data();
    void refusedValueChangesNothing();
    void refusedWriteChangesNothing_data();
    void refusedWriteChangesNothing();
    void failureAfterTheSaveUndoesTheSave();
    void validateCarriesTheSaveFlag();
};

void TestRecordset::opensAnEmptyTableWithNoCurrentRecord()
{
    TempRegister reg;
    FakeFields fields(certificateColumns);
    fields.texts["stock_no"] = "typed before";
    Opened opened = openOn(reg.path(), "stock_data", &fields);
    QVERIFY2(opened.status.ok(), qPrintable(opened.status.message()));
    Recordset& set = *opened.recordset;
    QVERIFY(set.isBOF());
    QVERIFY(set.isEOF());
    QVERIFY(!set.hasCurrentRecord());
    QVERIFY(!set.bookmark().ok());
    QCOMPARE(fields.fills, 1);
    QCOMPARE(fields.texts["stock_no"], QString());
    QCOMPARE(set.editState(), EditState::Browsing);
}

void TestRecordset::opensOnTheFirstRow()
{
    Scene scene;
    auto& [reg, fields, opened] = scene;
    QVERIFY(opened.status.ok());
    QVERIFY(!opened.recordset->isBOF());
    QVERIFY(!opened.recordset->isEOF());
    QCOMPARE(fields.texts["stock_no"], "A");
    QCOMPARE(fields.texts["publish_date"], "2001-02-03");
    QCOMPARE(fields.texts["present_holder"], "7");
    QCOMPARE(opened.recordset->bookmark().value(), 1);
}

void TestRecordset::navigates_data()
{
    QTest::addColumn<QString>("moves");
    QTest::addColumn<QString>("landsOn");
    QTest::newRow("next") << "next"
                          << "B";
    QTest::newRow("previous on the first stays") << "previous"
                                                 << "A";
    QTest::newRow("next past the last stays") << "next next next next next"
                                              << "D";
    QTest::newRow("last") << "last"
                          << "D";
    QTest::newRow("last then previous") << "last previous"
                                        << "C";
    QTest::newRow("first after last") << "last first"
                                      << "A";
    QTest::newRow("to and fro") << "next next previous next next"
                                << "D";
}

void TestRecordset::navigates()
{
    QFETCH(QString, moves);
    QFETCH(QString, landsOn);
    Scene scene;
    auto& [reg, fields, opened] = scene;
    Recordset& set = *opened.recordset;
    QList<Action> expected;
    for (const QString& move : moves.split(' ')) {
        Status moved;
        if (move == "next")
            moved = set.moveNext(), expected.append(Action::MoveNext);
        else if (move == "previous")
            moved = set.movePrevious(), expected.append(Action::MovePrevious);
        else if (move == "first")
            moved = set.moveFirst(), expected.append(Action::MoveFirst);
        else
            moved = set.moveLast(), expected.append(Action::MoveLast);
        QVERIFY2(moved.ok(), qPrintable(moved.message()));
    }
    QCOMPARE(fields.texts["stock_no"], landsOn);
    // Every move raises the notification, also one that stays put.
    QCOMPARE(actionsOf(fields), expected);
    QVERIFY(!set.isBOF());
    QVERIFY(!set.isEOF());
}

void TestRecordset::movesNothingOnAnEmptyTable()
{
    Scene scene(false);
    auto& [reg, fields, opened] = scene;
    Recordset& set = *opened.recordset;
    QVERIFY(set.moveNext().ok());
    QVERIFY(set.moveLast().ok());
    QVERIFY(set.movePrevious().ok());
    QVERIFY(set.isBOF() && set.isEOF());
    QVERIFY(!set.hasCurrentRecord());
    QVERIFY(fields.validations.isEmpty()); // nothing was current, nothing was pending
}

void TestRecordset::addNewThenMoveStoresOnlyTypedFields()
{
    Scene scene;
    auto& [reg, fields, opened] = scene;
    Recordset& set = *opened.recordset;
    QVERIFY(set.moveNext().ok()); // on B
    QVERIFY(set.addNew().ok());
    QCOMPARE(set.editState(), EditState::Adding);
    QCOMPARE(fields.texts["stock_no"], QString()); // a blank new record
    QVERIFY(!reg.rows("SELECT 1 FROM stock_data WHERE stock_no = 'N1'").size());

    fields.type("stock_no", "N1");
    fields.type("stock_qty", " 5 ");
    fields.type("publish_date", "2024/3/5");
    QVERIFY(set.moveNext().ok());

    const auto stored = reg.rows("SELECT * FROM stock_data WHERE stock_no = 'N1'");
    QCOMPARE(stored.size(), 1);
    QCOMPARE(stored[0], (QVariantList{"N1", QVariant(), "2024-03-05", QVariant(), QVariant(), QVariant(), 5}));
    QCOMPARE(set.editState(), EditState::Browsing);
    QCOMPARE(fields.texts["stock_no"], "C"); // the move went on from the record before the new one
    QVERIFY(fields.changed.isEmpty());
    QCOMPARE(actionsOf(fields), (QList<Action>{Action::MoveNext, Action::AddNew, Action::MoveNext}));
}

void TestRecordset::addNewWithNothingTypedStoresNothing()
{
    Scene scene;
    auto& [reg, fields, opened] = scene;
    QVERIFY(opened.recordset->addNew().ok());
    QVERIFY(opened.recordset->moveLast().ok());
    QVERIFY(opened.recordset->addNew().ok());
    QVERIFY(opened.recordset->update().ok());
    QCOMPARE(reg.rows("SELECT COUNT(*) FROM stock_data")[0][0].toInt(), 4);
    QCOMPARE(fields.texts["stock_no"], "D");
}

void TestRecordset::updateOfANewRecordMakesItCurrent()
{
    Scene scene;
    auto& [reg, fields, opened] = scene;
    Recordset& set = *opened.recordset;
    QVERIFY(set.addNew().ok());
    fields.type("stock_no", "E");
    fields.type("present_holder", "+42");
    QVERIFY(set.update().ok());
    QCOMPARE(set.editState(), EditState::Browsing);
    QCOMPARE(fields.texts["stock_no"], "E");
    QCOMPARE(fields.texts["present_holder"], "42"); // shown as stored
    QCOMPARE(set.bookmark().value(), 5);
    QCOMPARE(allCertificates(reg).size(), 5);
}

void TestRecordset::addNewOnAnEmptyTable()
{
    Scene scene(false);
    auto& [reg, fields, opened] = scene;
    Recordset& set = *opened.recordset;
    QVERIFY(set.addNew().ok());
    fields.type("stock_no", "FIRST");
    QVERIFY(set.moveNext().ok());
    QCOMPARE(fields.texts["stock_no"], "FIRST");
    QVERIFY(!set.isBOF());
    QVERIFY(set.hasCurrentRecord());
}

void TestRecordset::editThenCloseStoresWithoutAsking()
{
    Scene scene;
    auto& [reg, fields, opened] = scene;
    QVERIFY(opened.recordset->edit().ok());
    QCOMPARE(opened.recordset->editState(), EditState::Editing);
    fields.type("item_code", "NEW-CODE");
    QVERIFY(opened.recordset->close().ok());
    QVERIFY(!opened.recordset->isOpen());
    QCOMPARE(reg.rows("SELECT item_code FROM stock_data WHERE rowid = 1")[0][0].toString(), "NEW-CODE");
    QCOMPARE(fields.validations.last(), std::make_pair(Action::Unload, true));
}

void TestRecordset::cancelUpdateRestoresAndNothingIsStoredAfter()
{
    Scene scene;
    auto& [reg, fields, opened] = scene;
    const auto before = allCertificates(reg);
    Recordset& set = *opened.recordset;
    QVERIFY(set.edit().ok());
    fields.type("stock_no", "CHANGED");
    const int validations = fields.validations.size();
    set.cancelUpdate();
    QCOMPARE(fields.validations.size(), validations); // no notification
    QCOMPARE(fields.texts["stock_no"], "A");
    QCOMPARE(set.editState(), EditState::Browsing);
    QVERIFY(set.moveNext().ok());
    QCOMPARE(allCertificates(reg), before);
}

void TestRecordset::editKeepsTypedTextAndAPendingNewRecord()
{
    Scene scene;
    auto& [reg, fields, opened] = scene;
    Recordset& set = *opened.recordset;
    QVERIFY(set.edit().ok());
    fields.type("stock_no", "TYPED");
    QVERIFY(set.edit().ok());
    QCOMPARE(fields.texts["stock_no"], "TYPED");
    QCOMPARE(set.editState(), EditState::Editing);
    set.cancelUpdate();

    QVERIFY(set.addNew().ok());
    fields.type("stock_no", "NEW");
    QVERIFY(set.edit().ok());
    QCOMPARE(set.editState(), EditState::Adding);
    set.cancelUpdate(); // drops the new record: the one before it is shown again
    QCOMPARE(fields.texts["stock_no"], "A");
    QCOMPARE(allCertificates(reg).size(), 4);
}

void TestRecordset::deletingTheOnlyRowLeavesAnEmptySet()
{
    TempRegister reg;
    QVERIFY(reg.exec("INSERT INTO stock_data (stock_no) VALUES ('ONLY')").isEmpty());
    FakeFields fields(certificateColumns);
    Opened opened = openOn(reg.path(), "stock_data", &fields);
    QVERIFY(opened.recordset->edit().ok());
    fields.type("stock_no", "typed and lost");
    QVERIFY(opened.recordset->deleteRecord().ok());
    QCOMPARE(fields.validations.last(), std::make_pair(Action::Delete, true));
    QVERIFY(!opened.recordset->hasCurrentRecord());
    QVERIFY(opened.recordset->isBOF());
    QCOMPARE(fields.texts["stock_no"], QString());
    QCOMPARE(reg.rows("SELECT COUNT(*) FROM stock_data")[0][0].toInt(), 0);

    Opened reopened = openOn(reg.path(), "stock_data", &fields);
    QVERIFY(reopened.recordset->isBOF() && reopened.recordset->isEOF());
}

void TestRecordset::deleteWhileAddingRemovesNoStoredRecord()
{
    Scene scene;
    auto& [reg, fields, opened] = scene;
    const auto before = allCertificates(reg);
    QVERIFY(opened.recordset->addNew().ok());
    fields.type("stock_no", "PENDING");
    QVERIFY(opened.recordset->deleteRecord().ok());
    QCOMPARE(allCertificates(reg), before);
    QCOMPARE(opened.recordset->editState(), EditState::Browsing);
}

void TestRecordset::movesFromADeletedRecordToItsNeighbour()
{
    Scene scene;
    auto& [reg, fields, opened] = scene;
    Recordset& set = *opened.recordset;
    QVERIFY(set.moveNext().ok());
    QVERIFY(set.deleteRecord().ok()); // B
    QVERIFY(set.moveNext().ok());
    QCOMPARE(fields.texts["stock_no"], "C");
    QVERIFY(set.deleteRecord().ok()); // C
    QVERIFY(set.movePrevious().ok());
    QCOMPARE(fields.texts["stock_no"], "A");
}

void TestRecordset::operationsWithoutARecordFail_data()
{
    QTest::addColumn<QString>("operation");
    QTest::newRow("edit") << "edit";
    QTest::newRow("update") << "update";
    QTest::newRow("delete") << "delete";
    QTest::newRow("bookmark") << "bookmark";
}

void TestRecordset::operationsWithoutARecordFail()
{
    QFETCH(QString, operation);
    Scene scene(false);
    auto& [reg, fields, opened] = scene;
    Recordset& set = *opened.recordset;
    Status result;
    if (operation == "edit")
        result = set.edit();
    else if (operation == "update")
        result = set.update();
    else if (operation == "delete")
        result = set.deleteRecord();
    else
        result = set.bookmark().status();
    QVERIFY(!result.ok());
    QCOMPARE(result.message(), "There is no current record.");
    QVERIFY(fields.validations.isEmpty());
    QCOMPARE(set.editState(), EditState::Browsing);
    QVERIFY(set.isBOF() && set.isEOF());
}

void TestRecordset::findsByNumber_data()
{
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("finds"); // empty: nothing
    QTest::newRow("7") << "present_holder"
                       << "7"
                       << "A";
    QTest::newRow("007") << "present_holder"
                         << "007"
                         << "A";
    QTest::newRow("7x") << "present_holder"
                        << "7x"
                        << "A";
    QTest::newRow("leading blanks") << "present_holder"
                                    << "  12"
                                    << "B";
    QTest::newRow("12.0") << "present_holder"
                          << "12.0"
                          << "B";
    QTest::newRow("12.5 matches nothing") << "present_holder"
                                          << "12.5"
                                          << "";
    QTest::newRow("letters look for 0") << "present_holder"
                                        << "x"
                                        << "C";
    QTest::newRow("letters then 7 look for 0") << "present_holder"
                                               << "x7"
                                               << "C";
    QTest::newRow("empty text looks for 0") << "present_holder"
                                            << ""
                                            << "C";
    QTest::newRow("other column") << "original_holder"
                                  << "5"
                                  << "C";
    QTest::newRow("quote and bracket in the text") << "present_holder"
                                                   << "12') OR ('1'='1"
                                                   << "B";
    QTest::newRow("text column by number") << "item_code"
                                           << "0"
                                           << "A";
}

void TestRecordset::findsByNumber()
{
    QFETCH(QString, column);
    QFETCH(QString, typed);
    QFETCH(QString, finds);
    Scene scene;
    auto& [reg, fields, opened] = scene;
    QVERIFY(opened.recordset->findFirst(column + " = val('" + typed + "')").ok());
    QCOMPARE(opened.recordset->isEOF(), finds.isEmpty());
    if (!finds.isEmpty())
        QCOMPARE(fields.texts["stock_no"], finds);
}

void TestRecordset::findsByWholeTextIgnoringCase_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("finds"); // rowid, 0 for nothing
    QTest::newRow("apostrophe") << "o'brien" << 1;
    QTest::newRow("non-Latin letters") << QString::fromUtf8("ZOË ĎUROVÁ") << 2;
    QTest::newRow("accented capital") << QString::fromUtf8("émile") << 3;
    QTest::newRow("Cyrillic") << QString::fromUtf8("НАТАЛЬЯ") << 6;
    QTest::newRow("trailing blank counts") << "Smith " << 4;
    QTest::newRow("without the blank nothing") << "Smith" << 0;
    QTest::newRow("part of a name finds nothing") << "Smi" << 0;
    QTest::newRow("quotes are searched as typed") << "' OR '1'='1" << 5;
    QTest::newRow("quote-only text") << "'" << 0;
}

void TestRecordset::findsByWholeTextIgnoringCase()
{
    QFETCH(QString, typed);
    QFETCH(int, finds);
    TempRegister reg;
    const QStringList names{"O'Brien",     QString::fromUtf8("Zoë Ďurová"), QString::fromUtf8("ÉMILE"), "Smith ",
                            "' OR '1'='1", QString::fromUtf8("Наталья")};
    for (const QString& name : names)
        QVERIFY(reg.exec("INSERT INTO stockholder (stockholder_name) VALUES (?)", {name}).isEmpty());
    FakeFields fields({"stockholder_name"});
    Opened opened = openOn(reg.path(), "stockholder", &fields);
    QVERIFY(opened.recordset->findFirst("stockholder_name = '" + typed + "'").ok());
    if (finds == 0) {
        QVERIFY(opened.recordset->isEOF());
    } else {
        QVERIFY(!opened.recordset->isEOF());
        QCOMPARE(opened.recordset->bookmark().value(), finds);
    }
}

void TestRecordset::findStartsFromTheFirstRow()
{
    Scene scene;
    auto& [reg, fields, opened] = scene;
    QVERIFY(opened.recordset->moveLast().ok()); // D, holder 7
    QVERIFY(opened.recordset->findFirst("present_holder = val('7')").ok());
    QCOMPARE(fields.texts["stock_no"], "A");
}

void TestRecordset::failedFindIsUndoneByTheBookmark()
{
    Scene scene;
    auto& [reg, fields, opened] = scene;
    Recordset& set = *opened.recordset;
    QVERIFY(set.moveNext().ok());
    const Bookmark saved = set.bookmark().value();
    QVERIFY(set.moveFirst().ok());
    fields.validations.clear();
    QVERIFY(set.findFirst("stock_no = 'nowhere'").ok());
    QVERIFY(set.isEOF());
    QVERIFY(!set.isBOF());
    QVERIFY(!set.hasCurrentRecord());
    QCOMPARE(fields.texts["stock_no"], "A"); // still showing the record before the find
    QVERIFY(set.setBookmark(saved).ok());
    QCOMPARE(fields.texts["stock_no"], "B");
    QVERIFY(!set.isEOF());
    QCOMPARE(actionsOf(fields), (QList<Action>{Action::Find}));
}

void TestRecordset::unreadableCriteriaFail_data()
{
    QTest::addColumn<QString>("criteria");
    QTest::newRow("no closing quote") << "stock_no = 'A";
    QTest::newRow("no opening quote") << "stock_no = A'";
    QTest::newRow("unclosed val") << "present_holder = val('7'";
    QTest::newRow("no comparison") << "stock_no 'A'";
    QTest::newRow("unknown column") << "rowid = '1'";
    QTest::newRow("statement") << "; DROP TABLE stock_data; --";
    QTest::newRow("empty") << "";
    QTest::newRow("lone quote") << "stock_no = '";
}

void TestRecordset::unreadableCriteriaFail()
{
    QFETCH(QString, criteria);
    Scene scene;
    auto& [reg, fields, opened] = scene;
    const auto before = allCertificates(reg);
    QVERIFY(opened.recordset->moveNext().ok());
    QVERIFY(opened.recordset->edit().ok());
    fields.type("stock_no", "typed");
    fields.validations.clear();

    const Status found = opened.recordset->findFirst(criteria);
    QVERIFY(!found.ok());
    QVERIFY(found.message().contains(criteria));
    QVERIFY(fields.validations.isEmpty());
    QCOMPARE(opened.recordset->editState(), EditState::Editing);
    QCOMPARE(opened.recordset->bookmark().value(), 2);
    QCOMPARE(fields.texts["stock_no"], "typed");
    QCOMPARE(allCertificates(reg), before);
}

void TestRecordset::refusedValueChangesNothing_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::newRow("letters in a number, on next") << "next"
                                                  << "stock_qty"
                                                  << "12a"
                                                  << "Stock Qty: \"12a\" is not a whole number";
    QTest::newRow("no such day, on update")
        << "update"
        << "publish_date"
        << "2023-02-29"
        << "Publish Date: \"2023-02-29\" is not a date; type it as YYYY-MM-DD, for example 2024-03-31";
    QTest::newRow("fraction in a holder, on close") << "close"
                                                    << "present_holder"
                                                    << "1.5"
                                                    << "Present Holder: \"1.5\" is not a whole number";
    QTest::newRow("huge number, on find") << "find"
                                          << "stock_type"
                                          << "99999999999999999999"
                                          << "Type: \"99999999999999999999\" is too large a number";
    QTest::newRow("on add new") << "addnew"
                                << "original_holder"
                                << "seven"
                                << "Original Holder: \"seven\" is not a whole number";
    QTest::newRow("on a bookmark") << "bookmark"
                                   << "stock_qty"
                                   << "--1"
                                   << "Stock Qty: \"--1\" is not a whole number";
}

void TestRecordset::refusedValueChangesNothing()
{
    QFETCH(QString, operation);
    QFETCH(QString, column);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    Scene scene;
    auto& [reg, fields, opened] = scene;
    const auto before = allCertificates(reg);
    Recordset& set = *opened.recordset;
    QVERIFY(set.moveNext().ok());
    QVERIFY(set.edit().ok());
    fields.type("stock_no", "B2");
    fields.type(column, typed);
    const auto texts = fields.texts;
    const int fills = fields.fills;

    Status result;
    if (operation == "next")
        result = set.moveNext();
    else if (operation == "update")
        result = set.update();
    else if (operation == "close")
        result = set.close();
    else if (operation == "find")
        result = set.findFirst("stock_no = 'A'");
    else if (operation == "addnew")
        result = set.addNew();
    else
        result = set.setBookmark(1);

    QVERIFY(!result.ok());
    QCOMPARE(result.message(), message);
    QVERIFY(set.isOpen());
    QCOMPARE(set.editState(), EditState::Editing);
    QCOMPARE(set.bookmark().value(), 2);
    QCOMPARE(fields.texts, texts);
    QCOMPARE(fields.changed, (QSet<QString>{"stock_no", column}));
    QCOMPARE(fields.fills, fills);
    QCOMPARE(allCertificates(reg), before);

    // Corrected, the same save goes through.
    fields.type(column, "");
    QVERIFY(set.update().ok());
    QCOMPARE(reg.rows("SELECT stock_no FROM stock_data WHERE rowid = 2")[0][0].toString(), "B2");
}

void TestRecordset::refusedWriteChangesNothing_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("engine refuses writes") << "query_only";
    QTest::newRow("file is immutable") << "immutable";
}

void TestRecordset::refusedWriteChangesNothing()
{
    QFETCH(QString, how);
    Scene scene;
    auto& [reg, fields, opened] = scene;
    const auto before = allCertificates(reg);
    Recordset& set = *opened.recordset;
    struct Unlock {
        QString path;
        ~Unlock()
        {
            if (!path.isEmpty())
                QProcess::execute("chattr", {"-i", path});
        }
    } unlock;
    if (how == "immutable") {
        if (QProcess::execute("chattr", {"+i", reg.path()}) != 0)
            QSKIP("chattr +i is not available here");
        unlock.path = reg.path();
    } else {
        QSqlQuery(set.connection().database()).exec("PRAGMA query_only = 1");
    }

    QVERIFY(set.edit().ok());
    fields.type("stock_no", "A2");
    const Status saved = set.update();
    QVERIFY(!saved.ok());
    QVERIFY2(saved.message().contains(reg.path()), qPrintable(saved.message()));
    QVERIFY2(saved.message().contains("read-only"), qPrintable(saved.message()));
    QCOMPARE(set.editState(), EditState::Editing);
    QCOMPARE(fields.texts["stock_no"], "A2");
    QVERIFY(!set.deleteRecord().ok());
    QVERIFY(!set.moveNext().ok());
    QCOMPARE(set.bookmark().value(), 1);

    // Writable again, nothing was lost and the same save goes through.
    if (how == "immutable") {
        QCOMPARE(QProcess::execute("chattr", {"-i", reg.path()}), 0);
        unlock.path.clear();
    } else {
        QSqlQuery(set.connection().database()).exec("PRAGMA query_only = 0");
    }
    QCOMPARE(allCertificates(reg), before);
    QVERIFY(set.update().ok());
    QCOMPARE(reg.rows("SELECT stock_no FROM stock_data WHERE rowid = 1")[0][0].toString(), "A2");
}

void TestRecordset::failureAfterTheSaveUndoesTheSave()
{
    Scene scene;
    auto& [reg, fields, opened] = scene;
    Recordset& set = *opened.recordset;
    QVERIFY(set.edit().ok());
    fields.type("item_code", "SAVED?");
    // The record to go to is gone: the typed text, written first, must not stay written.
    QVERIFY(reg.exec("DELETE FROM stock_data WHERE rowid = 3").isEmpty());
    const Status moved = set.setBookmark(3);
    QVERIFY(!moved.ok());
    QCOMPARE(moved.message(), "The record is no longer in the register.");
    QCOMPARE(reg.rows("SELECT item_code FROM stock_data WHERE rowid = 1")[0][0].toString(), "IT1");
    QCOMPARE(set.editState(), EditState::Editing);
    QCOMPARE(fields.changed, QSet<QString>{"item_code"});
}

void TestRecordset::validateCarriesTheSaveFlag()
{
    Scene scene;
    auto& [reg, fields, opened] = scene;
    Recordset& set = *opened.recordset;
    QVERIFY(set.moveNext().ok());
    QVERIFY(set.edit().ok());
    fields.type("stock_no", "X");
    QVERIFY(set.update().ok());
    QVERIFY(set.setBookmark(1).ok());
    QCOMPARE(fields.validations, (QList<std::pair<Action, bool>>{
                                     {Action::MoveNext, false}, {Action::Update, true}, {Action::Bookmark, false}}));
}

QTEST_GUILESS_MAIN(TestRecordset)
#include "tst_recordset.moc"
