#include "scene.h"

#include <QtTest>

using namespace scene;

namespace {

// Runs operations separated by "; ". One that starts with "!" must fail, any other must succeed.
// "type COLUMN=TEXT" is the clerk typing into a field; "mark" keeps the bookmark that "back" returns to.
// The message of the last failure goes to refusal.
QString run(Recordset& set, FakeFields& fields, const QString& script, QString* refusal = nullptr)
{
    Bookmark marked = 0;
    for (QString operation : script.split("; ", Qt::SkipEmptyParts)) {
        const bool mustFail = operation.startsWith('!');
        if (mustFail)
            operation.remove(0, 1);
        Status result;
        if (operation.startsWith("type ")) {
            fields.type(operation.mid(5).section('=', 0, 0), operation.section('=', 1));
            continue;
        }
        if (operation == "cancel") {
            set.cancelUpdate();
            continue;
        }
        if (operation == "mark") {
            marked = set.bookmark().value();
            continue;
        }
        const QHash<QString, std::function<Status()>> operations{
            {"next",
             [&] {
                 return set.moveNext();
             }},
            {"previous",
             [&] {
                 return set.movePrevious();
             }},
            {"first",
             [&] {
                 return set.moveFirst();
             }},
            {"last",
             [&] {
                 return set.moveLast();
             }},
            {"addnew",
             [&] {
                 return set.addNew();
             }},
            {"edit",
             [&] {
                 return set.edit();
             }},
            {"update",
             [&] {
                 return set.update();
             }},
            {"delete",
             [&] {
                 return set.deleteRecord();
             }},
            {"close",
             [&] {
                 return set.close();
             }},
            {"back",
             [&] {
                 return set.setBookmark(marked);
             }},
            {"bookmark",
             [&] {
                 return set.bookmark().status();
             }},
        };
        if (operation.startsWith("find "))
            result = set.findFirst(operation.mid(5));
        else if (operations.contains(operation))
            result = operations[operation]();
        else
            return "no such operation: " + operation;
        if (result.ok() == mustFail)
            return operation + (mustFail ? " did not fail" : " failed: " + result.message());
        if (refusal && mustFail)
            *refusal = result.message();
    }
    return {};
}

// The notifications raised, as "next update:saved ...".
QString notified(const FakeFields& fields)
{
    static const char* names[] = {"first",  "previous", "next", "last",     "addnew",
                                  "update", "delete",   "find", "bookmark", "unload"};
    QStringList raised;
    for (const auto& [action, save] : fields.validations)
        raised.append(QString::fromLatin1(names[int(action)]) + (save ? ":saved" : ""));
    return raised.join(' ');
}

QString stateOf(const Recordset& set)
{
    static const char* names[] = {"browsing", "editing", "adding"};
    QStringList flags{QString::fromLatin1(names[int(set.editState())])};
    if (set.isBOF())
        flags.append("BOF");
    if (set.isEOF())
        flags.append("EOF");
    return flags.join(' ');
}

// Every certificate number in record order; no value shows as "-".
QString stockNumbers(const TempRegister& reg)
{
    QStringList numbers;
    for (const QVariantList& row : reg.rows("SELECT stock_no FROM stock_data ORDER BY " + reg.key()))
        numbers.append(row[0].isValid() ? row[0].toString() : "-");
    return numbers.join(',');
}

} // namespace

Q_DECLARE_METATYPE(Action)
Q_DECLARE_METATYPE(Engine)

// Every test runs on a register file, then on a register on the test server.
class TestRecordset : public QObject {
    Q_OBJECT
public:
    explicit TestRecordset(Engine engine)
        : m_engine(engine)
    {}

private Q_SLOTS:
    void initTestCase();
    void follows_data();
    void follows();
    void addNewThenMoveStoresOnlyTypedFields();
    void findsByNumber_data();
    void findsByNumber();
    void findsByWholeTextIgnoringCase_data();
    void findsByWholeTextIgnoringCase();
    void unreadableCriteriaFail_data();
    void unreadableCriteriaFail();
    void refusedValueChangesNothing_data();
    void refusedValueChangesNothing();
    void failureAfterTheSaveUndoesTheSave();
    void anotherClerksChangeIsNeverOverwrittenUnseen_data();
    void anotherClerksChangeIsNeverOverwrittenUnseen();

private:
    Engine m_engine = Engine::File;
};

void TestRecordset::initTestCase()
{
    const TempRegister reg(m_engine);
    qInfo("on %s", m_engine == Engine::File ? "a register file" : "a register on the test server");
    VELMORA_REQUIRE(reg);
}

void TestRecordset::follows_data()
{
    QTest::addColumn<bool>("empty");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("shows"); // what the stock number field shows afterwards
    QTest::addColumn<QString>("state"); // edit state, BOF, EOF
    // The validate notifications raised, with their save flags; a move from no current record raises none.
    QTest::addColumn<QString>("notified");
    QTest::addColumn<QString>("table"); // stock numbers in record order

    const QString four = "A,B,C,D";
    QTest::newRow("opens on the first row") << false << ""
                                            << "A"
                                            << "browsing"
                                            << "" << four;
    QTest::newRow("opens an empty table") << true << ""
                                          << ""
                                          << "browsing BOF EOF"
                                          << ""
                                          << "";
    QTest::newRow("next") << false << "next"
                          << "B"
                          << "browsing"
                          << "next" << four;
    QTest::newRow("previous on the first stays and notifies") << false << "previous"
                                                              << "A"
                                                              << "browsing"
                                                              << "previous" << four;
    QTest::newRow("next past the last stays") << false << "next; next; next; next"
                                              << "D"
                                              << "browsing"
                                              << "next next next next" << four;
    QTest::newRow("last then previous") << false << "last; previous"
                                        << "C"
                                        << "browsing"
                                        << "last previous" << four;
    QTest::newRow("first after last") << false << "last; first"
                                      << "A"
                                      << "browsing"
                                      << "last first" << four;
    QTest::newRow("nothing moves on an empty table") << true << "next; last; previous; first"
                                                     << ""
                                                     << "browsing BOF EOF"
                                                     << ""
                                                     << "";
    QTest::newRow("no record to act on") << true << "!edit; !update; !delete; !bookmark"
                                         << ""
                                         << "browsing BOF EOF"
                                         << ""
                                         << "";
    QTest::newRow("a new record on an empty table, stored by a move") << true << "addnew; type stock_no=FIRST; next"
                                                                      << "FIRST"
                                                                      << "browsing"
                                                                      << "next:saved"
                                                                      << "FIRST";
    QTest::newRow("a move from a new record goes on from the one before it")
        << false << "next; addnew; type stock_no=N; next"
        << "C"
        << "browsing"
        << "next addnew next:saved"
        << "A,B,C,D,N";
    QTest::newRow("a new record left empty is not stored") << false << "addnew; last; addnew; update"
                                                           << "D"
                                                           << "browsing"
                                                           << "addnew last addnew update" << four;
    QTest::newRow("update makes the new record current") << false << "addnew; type stock_no=E; update"
                                                         << "E"
                                                         << "browsing"
                                                         << "addnew update:saved"
                                                         << "A,B,C,D,E";
    QTest::newRow("a second edit keeps the typed text") << false << "edit; type stock_no=T; edit"
                                                        << "T"
                                                        << "editing"
                                                        << "" << four;
    QTest::newRow("cancel shows the stored record and a move stores nothing")
        << false << "edit; type stock_no=X; cancel; next"
        << "B"
        << "browsing"
        << "next" << four;
    QTest::newRow("edit keeps a new record pending; cancel drops it")
        << false << "addnew; type stock_no=NEW; edit; cancel"
        << "A"
        << "browsing"
        << "addnew" << four;
    QTest::newRow("edit keeps a new record pending; update stores it")
        << false << "addnew; type stock_no=NEW; edit; update"
        << "NEW"
        << "browsing"
        << "addnew update:saved"
        << "A,B,C,D,NEW";
    QTest::newRow("delete while adding removes nothing stored") << false << "addnew; type stock_no=P; delete"
                                                                << ""
                                                                << "browsing"
                                                                << "addnew delete:saved" << four;
    QTest::newRow("delete loses typed text; next goes to the neighbour")
        << false << "next; edit; type stock_no=LOST; delete; next"
        << "C"
        << "browsing"
        << "next delete:saved"
        << "A,C,D";
    QTest::newRow("delete then previous") << false << "next; next; delete; previous"
                                          << "B"
                                          << "browsing"
                                          << "next next delete"
                                          << "A,B,D";
    QTest::newRow("deleting every row leaves an empty set")
        << false << "delete; first; delete; first; delete; first; delete; first"
        << ""
        << "browsing BOF EOF"
        << "delete delete delete delete"
        << "";
    QTest::newRow("closing stores without asking") << false << "edit; type stock_no=Z; close"
                                                   << "Z"
                                                   << "browsing BOF EOF"
                                                   << "unload:saved"
                                                   << "Z,B,C,D";
    QTest::newRow("a find starts from the first row") << false << "last; find present_holder = val('7')"
                                                      << "A"
                                                      << "browsing"
                                                      << "last find" << four;
    QTest::newRow("a find that matches nothing keeps the fields")
        << false << "next; mark; first; find stock_no = 'nowhere'"
        << "A"
        << "browsing EOF"
        << "next first find" << four;
    QTest::newRow("and the bookmark brings the record back")
        << false << "next; mark; first; find stock_no = 'nowhere'; back"
        << "B"
        << "browsing"
        << "next first find" << four;
    QTest::newRow("a find that misses after storing the first record")
        << true << "addnew; type stock_no=N; find stock_no = 'x'"
        << "N"
        << "browsing EOF"
        << "find:saved"
        << "N";
    QTest::newRow("a find stores typed text first") << false << "edit; type stock_no=F; find stock_no = 'f'"
                                                    << "F"
                                                    << "browsing"
                                                    << "find:saved"
                                                    << "F,B,C,D";
}

void TestRecordset::follows()
{
    QFETCH(bool, empty);
    QFETCH(QString, script);
    QFETCH(QString, shows);
    QFETCH(QString, state);
    QFETCH(QString, notified);
    QFETCH(QString, table);
    Scene scene(!empty, m_engine);
    QVERIFY(scene.opened.status.ok());
    const QString failed = run(scene.set(), scene.fields, script);
    QVERIFY2(failed.isEmpty(), qPrintable(failed));
    QCOMPARE(scene.fields.texts.value("stock_no"), shows);
    QCOMPARE(stateOf(scene.set()), state);
    QCOMPARE(::notified(scene.fields), notified);
    QCOMPARE(stockNumbers(scene.reg), table);
}

void TestRecordset::addNewThenMoveStoresOnlyTypedFields()
{
    Scene scene(true, m_engine);
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

    const auto stored = reg.rows("SELECT " + certificateColumns.join(',') + " FROM stock_data WHERE stock_no = 'N1'");
    QCOMPARE(stored.size(), 1);
    QCOMPARE(stored[0], (QVariantList{"N1", QVariant(), "2024-03-05", QVariant(), QVariant(), QVariant(), 5}));
    QCOMPARE(set.editState(), EditState::Browsing);
    QCOMPARE(fields.texts["stock_no"], "C"); // the move went on from the record before the new one
    QVERIFY(fields.changed.isEmpty());
    QCOMPARE(notified(fields), "next addnew next:saved");
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
    Scene scene(true, m_engine);
    auto& [reg, fields, opened] = scene;
    QVERIFY(opened.recordset->findFirst(column + " = val('" + typed + "')").ok());
    QCOMPARE(opened.recordset->isEOF(), finds.isEmpty());
    if (!finds.isEmpty())
        QCOMPARE(fields.texts["stock_no"], finds);
}

void TestRecordset::findsByWholeTextIgnoringCase_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("finds"); // the record's place, 0 for nothing
    QTest::newRow("apostrophe") << "o'brien" << 1;
    QTest::newRow("non-Latin letters") << QString::fromUtf8("ZOË ĎUROVÁ") << 2;
    QTest::newRow("accented capital") << QString::fromUtf8("émile") << 3;
    QTest::newRow("Cyrillic") << QString::fromUtf8("НАТАЛЬЯ") << 6;
    // Blanks around the typed text and the stored value do not count; blanks inside do.
    QTest::newRow("stored with a trailing blank") << "Smith" << 4;
    QTest::newRow("typed with blanks around") << "  smith   " << 4;
    QTest::newRow("blanks around a quote") << " o'brien " << 1;
    QTest::newRow("a blank inside counts") << "Smi th" << 0;
    QTest::newRow("part of a name finds nothing") << "Smi" << 0;
    QTest::newRow("quotes are searched as typed") << "' OR '1'='1" << 5;
    QTest::newRow("quote-only text") << "'" << 0;
    QTest::newRow("final sigma") << QString::fromUtf8("ΟΔΥΣΣΈΑΣ") << 7;
    QTest::newRow("Greek by case") << QString::fromUtf8("ωmega") << 8;
}

void TestRecordset::findsByWholeTextIgnoringCase()
{
    QFETCH(QString, typed);
    QFETCH(int, finds);
    TempRegister reg(m_engine);
    const QStringList names{
        "O'Brien",     QString::fromUtf8("Zoë Ďurová"), QString::fromUtf8("ÉMILE"),    "Smith ",
        "' OR '1'='1", QString::fromUtf8("Наталья"),    QString::fromUtf8("Οδυσσέας"), QString::fromUtf8("ΩMEGA")};
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
    Scene scene(true, m_engine);
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
    Scene scene(true, m_engine);
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
    QCOMPARE(reg.rows("SELECT stock_no FROM stock_data WHERE " + reg.key() + " = 2")[0][0].toString(), "B2");
}

void TestRecordset::failureAfterTheSaveUndoesTheSave()
{
    Scene scene(true, m_engine);
    auto& [reg, fields, opened] = scene;
    Recordset& set = *opened.recordset;
    QVERIFY(set.edit().ok());
    fields.type("item_code", "SAVED?");
    // The record to go to is gone: the typed text, written first, must not stay written.
    QVERIFY(reg.exec("DELETE FROM stock_data WHERE " + reg.key() + " = 3").isEmpty());
    const Status moved = set.setBookmark(3);
    QVERIFY(!moved.ok());
    QCOMPARE(moved.message(), "The record is no longer in the register.");
    QCOMPARE(reg.rows("SELECT item_code FROM stock_data WHERE " + reg.key() + " = 1")[0][0].toString(), "IT1");
    QCOMPARE(set.editState(), EditState::Editing);
    QCOMPARE(fields.changed, QSet<QString>{"item_code"});
}

void TestRecordset::anotherClerksChangeIsNeverOverwrittenUnseen_data()
{
    QTest::addColumn<QString>("before"); // this clerk, before the other one acts
    QTest::addColumn<QString>("other");  // the other clerk's statements on the same register
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("says");  // part of the last refusal
    QTest::addColumn<QString>("shows"); // stock number / item code / quantity in the fields
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("table"); // the same, in record order

    const QString otherOnB = "UPDATE stock_data SET item_code = 'FROM-A' WHERE stock_no = 'B'";
    const QString replaceD = "DELETE FROM stock_data WHERE stock_no = 'D'; "
                             "INSERT INTO stock_data (stock_no, item_code, stock_qty) VALUES ('E', 'IT5', 500)";
    const QString gone = "The record is no longer in the register.";
    const QString typedB = "next; edit; type item_code=FROM-B";
    const QString rest = "C/IT3/300 D/IT4/400";
    struct Row {
        QString name, before, other, after, says, shows, state, table;
    };
    QList<Row> rows;
    const auto row = [&](const char* name, const QString& before, const QString& other, const QString& after,
                         const QString& says, const QString& shows, const QString& state, const QString& table) {
        rows.append({QString::fromLatin1(name), before, other, after, says, shows, state, table});
    };
    // clang-format off
    row("same field, other value: refused, typing kept", typedB, otherOnB, "!update", "Item code: now \"FROM-A\", typed \"FROM-B\"", "B/FROM-B/200", "editing", "A/IT1/100 B/FROM-A/200 " + rest);
    row("a move saves by the same rule", typedB, otherOnB, "!last", "save again", "B/FROM-B/200", "editing", "A/IT1/100 B/FROM-A/200 " + rest);
    row("saving again after the refusal stores the typing", typedB, otherOnB, "!update; update", "", "B/FROM-B/200", "browsing", "A/IT1/100 B/FROM-B/200 " + rest);
    row("dropping after the refusal shows the stored record", typedB, otherOnB, "!update; cancel", "", "B/FROM-A/200", "browsing", "A/IT1/100 B/FROM-A/200 " + rest);
    row("same field, same value", typedB, "UPDATE stock_data SET item_code = 'FROM-B' WHERE stock_no = 'B'", "update", "", "B/FROM-B/200", "browsing", "A/IT1/100 B/FROM-B/200 " + rest);
    row("different fields both stand, merged", typedB, "UPDATE stock_data SET stock_qty = 999 WHERE stock_no = 'B'", "update", "", "B/FROM-B/999", "browsing", "A/IT1/100 B/FROM-B/999 " + rest);
    row("deleted underneath", typedB, "DELETE FROM stock_data WHERE stock_no = 'B'", "!update", gone + " Another user deleted it", "B/FROM-B/200", "editing", "A/IT1/100 " + rest);
    row("deleted, another added in its place", "last; edit; type item_code=FROM-B", replaceD, "!update", "OK, then No", "D/FROM-B/400", "editing", "A/IT1/100 B/IT2/200 C/IT3/300 E/IT5/500");
    row("renumbered by VACUUM", typedB, "DELETE FROM stock_data WHERE stock_no = 'A'; VACUUM", "!update", gone, "B/FROM-B/200", "editing", "B/IT2/200 " + rest);
    row("nothing typed, another in its place", "last", replaceD, "edit; !update", gone, "D/IT4/400", "editing", "A/IT1/100 B/IT2/200 C/IT3/300 E/IT5/500");
    row("delete after another user's change: shown, kept", "next", "UPDATE stock_data SET stock_qty = 999 WHERE stock_no = 'B'", "!delete", "was not deleted", "B/IT2/999", "browsing", "A/IT1/100 B/IT2/999 " + rest);
    row("delete again once seen", "next", "UPDATE stock_data SET stock_qty = 999 WHERE stock_no = 'B'", "!delete; delete", "", "//", "browsing", "A/IT1/100 " + rest);
    row("delete, another in its place", "last", replaceD, "!delete", gone, "D/IT4/400", "browsing", "A/IT1/100 B/IT2/200 C/IT3/300 E/IT5/500");
    // clang-format on
    for (const Row& r : std::as_const(rows))
        QTest::newRow(qPrintable(r.name)) << r.before << r.other << r.after << r.says << r.shows << r.state << r.table;
}

// A second clerk changes the register between this clerk's reading and saving: a write lands only on the record
// shown, and only over values this clerk has seen.
void TestRecordset::anotherClerksChangeIsNeverOverwrittenUnseen()
{
    QFETCH(QString, before);
    QFETCH(QString, other);
    QFETCH(QString, after);
    if (m_engine == Engine::Server && other.contains("VACUUM"))
        QSKIP("nothing renumbers a server's rows");
    Scene scene(true, m_engine);
    auto& [reg, fields, opened] = scene;
    Recordset& set = *opened.recordset;
    QCOMPARE(run(set, fields, before), QString());
    for (const QString& statement : other.split("; "))
        QVERIFY(reg.exec(statement).isEmpty());
    QString refusal;
    QCOMPARE(run(set, fields, after, &refusal), QString());

    QFETCH(QString, says);
    QVERIFY2(refusal.contains(says), qPrintable(refusal));
    QTEST(QStringList({fields.texts["stock_no"], fields.texts["item_code"], fields.texts["stock_qty"]}).join('/'),
          "shows");
    QTEST(stateOf(set), "state");
    QStringList rows;
    for (const QVariantList& row :
         reg.rows("SELECT stock_no, item_code, stock_qty FROM stock_data ORDER BY " + reg.key()))
        rows.append(row[0].toString() + '/' + row[1].toString() + '/' + row[2].toString());
    QTEST(rows.join(' '), "table");
}

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    TestRecordset onFile(Engine::File), onServer(Engine::Server);
    const int failedOnFile = QTest::qExec(&onFile, argc, argv);
    return failedOnFile + QTest::qExec(&onServer, argc, argv);
}
#include "tst_recordset.moc"
