#include "connection.h"
#include "history.h"
#include "historylog.h"
#include "recordsetmodel.h"
#include "scene.h"
#include "writetransaction.h"

#include <QRandomGenerator>
#include <QtTest>

#include <limits>

using namespace scene;

namespace {

using Typed = RecordsetModel::Typed;

QVariant number(qlonglong value)
{
    return QVariant(value);
}

// Texts a clerk may type, by how the column stores them, with what is stored (no value: refused).
const QList<Typed>& typedFor(schema::Storage storage)
{
    static const QList<Typed> integers{
        {"42", number(42)},
        {" 7 ", number(7)},
        {"-3", number(-3)},
        {"+5", number(5)},
        {"007", number(7)},
        {"0", number(0)},
        {"", QVariant()},
        {"   ", QVariant()},
        {"9223372036854775807", number(std::numeric_limits<qlonglong>::max())},
        {"abc", std::nullopt},
        {"1.5", std::nullopt},
        {"7 apples", std::nullopt},
        {"--1", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {QStringLiteral("\u0661\u0662"), std::nullopt}, // digits of another script
    };
    static const QList<Typed> dates{
        {"2024-03-31", QVariant("2024-03-31")},
        {"2024/3/1", QVariant("2024-03-01")},
        {" 1899-12-30 ", QVariant("1899-12-30")},
        {"", QVariant()},
        {"2024-02-30", std::nullopt},
        {"31.03.2024", std::nullopt},
        {"tomorrow", std::nullopt},
        {"0000-01-01", std::nullopt},
    };
    static const QList<Typed> texts{
        {"A", QVariant("A")},
        {"SC-0001", QVariant("SC-0001")},
        {"", QVariant()},
        {"  ", QVariant("  ")},
        {"O'Brien", QVariant("O'Brien")},
        {"a \"quoted\" word", QVariant("a \"quoted\" word")},
        {QStringLiteral("Zo\u00eb"), QVariant(QStringLiteral("Zo\u00eb"))},
        {QStringLiteral("ZO\u00cb"), QVariant(QStringLiteral("ZO\u00cb"))},
        {QStringLiteral("\u674e\u56db"), QVariant(QStringLiteral("\u674e\u56db"))},
        {"'; DROP TABLE stock_data; --", QVariant("'; DROP TABLE stock_data; --")},
        {"7", QVariant("7")},
        {QString(2000, QLatin1Char('w')), QVariant(QString(2000, QLatin1Char('w')))},
    };
    switch (storage) {
    case schema::Storage::Integer:
        return integers;
    case schema::Storage::Date:
        return dates;
    case schema::Storage::Text:
        break;
    }
    return texts;
}

// Texts searched for with val(), and the number val() reads from each.
const QList<std::pair<QString, QVariant>> valTexts{
    {"7", number(7)},        {"007", number(7)},
    {"7 apples", number(7)}, {"abc", number(0)},
    {" -3", number(-3)},     {"1.5", QVariant(1.5)},
    {"2.0", number(2)},      {"", number(0)},
    {"+42", number(42)},     {"9223372036854775807", number(std::numeric_limits<qlonglong>::max())},
};

// One random run: a register, a real record set on one table with fake fields, and the model beside it.
class Run {
public:
    Run(const QString& table, quint32 seed, Engine engine)
        : m_table(*schema::table(table))
        , m_reg(engine)
        , m_fields(columnNames())
        , m_random(seed)
        , m_model(m_table, seedRows(), !m_reg.isServer())
        // A server writes the history of the rows arranged first too: its replay starts from no rows.
        , m_start(m_reg.isServer() ? RecordsetModel::Rows() : m_model.rows())
    {
        if (!m_reg.isValid())
            return;
        reopen();
        Expected<std::unique_ptr<Connection>> other = Connection::open(m_reg.path());
        if (!other)
            qFatal("cannot open the other clerk's connection: %s", qPrintable(other.status().message()));
        m_other = std::move(other.value());
    }

    const TempRegister& reg() const { return m_reg; }
    bool isValid() const { return m_recordset && m_recordset->isOpen(); }
    const QStringList& log() const { return m_log; }
    int refused() const { return m_refused; }

    // Empty when the history's chain holds and replaying it on the starting rows gives the table as it is now,
    // each change starting from the value the replay holds; else what differs.
    QString historyDiffers()
    {
        const Expected<QList<history::Entry>> entries = history::read(*m_other);
        if (!entries)
            return entries.status().message();
        if (const history::Verdict verdict = history::verify(entries.value()); !verdict.intact)
            return QStringLiteral("the history's chain: ") + verdict.problem;
        RecordsetModel::Rows rows = m_start;
        QList<qint64> vacuums = m_vacuums;
        for (const history::Entry& entry : entries.value()) {
            while (!vacuums.isEmpty() && vacuums.first() < entry.seq) {
                vacuums.removeFirst();
                rows = renumbered(rows);
            }
            const auto changes = history::decode(entry.changes);
            const QString at =
                QStringLiteral("history entry %1 (%2 of %3)").arg(entry.seq).arg(entry.action).arg(entry.rowKey);
            if (!changes || entry.table != m_table.name)
                return at + QStringLiteral(": unreadable");
            if (history::adds(entry.action)) {
                if (rows.contains(entry.rowKey))
                    return at + QStringLiteral(": adds a row that is there");
                rows.insert(entry.rowKey, QVariantList(m_table.columns.size()));
            } else if (!rows.contains(entry.rowKey)) {
                return at + QStringLiteral(": names a row that is not there");
            }
            QVariantList& row = rows[entry.rowKey];
            for (const history::Change& change : changes.value()) {
                const int index = m_table.indexOf(change.column);
                if (index < 0 || row[index] != change.before)
                    return at + QStringLiteral(": %1 was not %2 before").arg(change.column, change.before.toString());
                row[index] = change.after;
            }
            if (entry.action == QLatin1String("delete"))
                rows.remove(entry.rowKey);
        }
        for (qsizetype i = 0; i < vacuums.size(); ++i)
            rows = renumbered(rows);
        return rows == storedRows() ? QString() : QStringLiteral("the table replayed from its history");
    }

    static RecordsetModel::Rows renumbered(const RecordsetModel::Rows& rows)
    {
        RecordsetModel::Rows after;
        for (const QVariantList& row : rows)
            after.insert(after.size() + 1, row);
        return after;
    }

    // One random operation on both; empty when they agree afterwards, else what differs.
    QString step()
    {
        if (m_random.bounded(10) == 0)
            return otherClerk();
        const int pick = int(m_random.bounded(100));
        if (pick < 30)
            return typeSomething();
        if (pick < 50)
            return navigate();
        if (pick < 58)
            return compare("addnew", m_recordset->addNew(), m_model.addNew());
        if (pick < 66)
            return compare("edit", m_recordset->edit(), m_model.edit());
        if (pick < 76)
            return compare("update", m_recordset->update(), m_model.update());
        if (pick < 81) {
            m_recordset->cancelUpdate();
            m_model.cancelUpdate();
            return compare("cancel", Status(), {});
        }
        if (pick < 86)
            return compare("delete", m_recordset->deleteRecord(), m_model.deleteRecord());
        if (pick < 95)
            return find();
        if (pick < 98)
            return bookmark();
        return reload();
    }

private:
    QStringList columnNames() const
    {
        QStringList names;
        for (const schema::Column& column : m_table.columns)
            names.append(column.name);
        return names;
    }

    RecordsetModel::Rows seedRows()
    {
        RecordsetModel::Rows rows;
        if (!m_reg.isValid())
            return rows;
        const int count = int(m_random.bounded(5));
        for (qint64 rowid = 1; rowid <= count; ++rowid) {
            QVariantList row;
            for (const schema::Column& column : m_table.columns)
                row.append(*storable(column).stored);
            const QString error = m_reg.exec(insertStatement(), row);
            if (!error.isEmpty())
                qFatal("cannot arrange the register: %s", qPrintable(error));
            rows.insert(rowid, row);
        }
        return rows;
    }

    Typed anyTyped(const schema::Column& column)
    {
        const QList<Typed>& choices = typedFor(column.storage);
        return choices[m_random.bounded(int(choices.size()))];
    }

    Typed storable(const schema::Column& column)
    {
        Typed typed = anyTyped(column);
        while (!typed.stored)
            typed = anyTyped(column);
        return typed;
    }

    const schema::Column& anyColumn() { return m_table.columns[m_random.bounded(int(m_table.columns.size()))]; }

    QString typeSomething()
    {
        // The window lets the clerk type only while a record is open for change.
        if (m_recordset->editState() == EditState::Browsing)
            return compare("edit", m_recordset->edit(), m_model.edit());
        const schema::Column& column = anyColumn();
        // Now and then a text the column refuses: it blocks every save until it is retyped or cancelled.
        const Typed typed = m_random.bounded(8) == 0 ? anyTyped(column) : storable(column);
        m_fields.type(column.name, typed.text);
        m_model.type(column.name, typed);
        return compare(QStringLiteral("type %1=%2").arg(column.name, typed.text.left(20)), Status(), {});
    }

    // A second clerk on the same register, most often on the record this one is on, so that their changes meet.
    // Each change goes into the history as another copy of the program would put it, or on a server as the
    // server's triggers put any plain SQL there; a VACUUM does not.
    QString otherClerk()
    {
        const RecordsetModel::Rows& rows = m_model.rows();
        if (rows.isEmpty() || m_random.bounded(5) == 0)
            return otherAdds();
        const Expected<Bookmark> here = m_recordset->bookmark();
        qint64 rowid = rows.keys()[m_random.bounded(int(rows.size()))];
        if (here.ok() && rows.contains(here.value()) && m_random.bounded(3) > 0)
            rowid = here.value();
        switch (m_random.bounded(6)) {
        case 0:
        case 1:
        case 2: {
            const schema::Column& column = anyColumn();
            const int index = m_table.indexOf(column.name);
            const QVariant value = *storable(column).stored;
            const QVariant number = index == 0 ? value : rows[rowid][0];
            return otherExec(
                QStringLiteral("change %1 of %2").arg(column.name).arg(rowid),
                QStringLiteral("UPDATE %1 SET %2 = ? WHERE %3 = ?").arg(m_table.name, column.name, m_reg.key()),
                {value, rowid}, [&](qint64) {
                    const history::Change change{column.name, rows[rowid][index], value};
                    m_model.otherChanged(rowid, index, value);
                    return HistoryLog::entry(m_table, rowid, number, QStringLiteral("modify"), {change});
                });
        }
        case 3:
            return otherDeletes(rowid);
        case 4: {
            // The last row goes and a new one takes its rowid (in a file; a server never gives a key twice).
            const QString differs = otherDeletes(rows.lastKey());
            return differs.isEmpty() ? otherAdds() : differs;
        }
        default:
            if (m_reg.isServer()) // nothing renumbers a server's rows
                return otherDeletes(rowid);
            if (const QString error = m_reg.exec(QStringLiteral("VACUUM")); !error.isEmpty())
                return QStringLiteral("the other clerk's vacuum: ") + error;
            m_model.otherVacuumed();
            m_vacuums.append(historySoFar());
            return compare(QStringLiteral("other clerk: vacuum"), Status(), {});
        }
    }

    QString otherAdds()
    {
        QVariantList row;
        QList<history::Change> changes;
        for (const schema::Column& column : m_table.columns) {
            row.append(*storable(column).stored);
            changes.append({column.name, QVariant(), row.last()});
        }
        return otherExec(QStringLiteral("add"), insertStatement() + m_other->returningKey(), row, [&](qint64 added) {
            m_model.otherAdded(row);
            return HistoryLog::entry(m_table, added, row[0], QStringLiteral("add"), changes);
        });
    }

    QString otherDeletes(qint64 rowid)
    {
        return otherExec(
            QStringLiteral("delete %1").arg(rowid),
            QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(m_table.name, m_reg.key()), {rowid}, [&](qint64) {
                QList<history::Change> changes;
                const QVariantList& row = m_model.rows()[rowid];
                for (int i = 0; i < row.size(); ++i)
                    changes.append({m_table.columns[i].name, row[i], QVariant()});
                const auto entry = HistoryLog::entry(m_table, rowid, row[0], QStringLiteral("delete"), changes);
                m_model.otherDeleted(rowid);
                return entry;
            });
    }

    // The statement and its history entry in one transaction; expect() tells the model and gives the entry.
    template <typename Expect>
    QString otherExec(const QString& what, const QString& statement, const QVariantList& values, Expect expect)
    {
        const auto failed = [&](const QSqlError& error) {
            return QStringLiteral("the other clerk's %1: %2").arg(what, error.text());
        };
        const auto refused = [&](const QSqlError& error) {
            return Status::failure(failed(error));
        };
        WriteTransaction transaction(*m_other); // rolled back on any failure
        if (Status begun = transaction.begin(refused); !begun)
            return begun.message();
        QSqlQuery change(m_other->database());
        change.prepare(statement);
        for (int i = 0; i < values.size(); ++i)
            change.bindValue(i, values[i]);
        if (!change.exec())
            return failed(change.lastError());
        const qint64 added = m_other->insertedKey(change);
        if (Status kept = HistoryLog(*m_other).append({expect(added)}); !kept)
            return QStringLiteral("the other clerk's %1: %2").arg(what, kept.message());
        if (Status committed = transaction.commit(refused); !committed)
            return committed.message();
        return compare(QStringLiteral("other clerk: ") + what, Status(), {});
    }

    qint64 historySoFar() const
    {
        const Expected<QList<history::Entry>> entries = history::read(*m_other);
        return entries ? entries->size() : -1;
    }

    QString insertStatement() const
    {
        const QStringList marks(m_table.columns.size(), QStringLiteral("?"));
        return QStringLiteral("INSERT INTO %1 VALUES (%2)").arg(m_table.name, marks.join(QLatin1Char(',')));
    }

    QString navigate()
    {
        switch (m_random.bounded(4)) {
        case 0:
            return compare("first", m_recordset->moveFirst(), m_model.moveFirst());
        case 1:
            return compare("previous", m_recordset->movePrevious(), m_model.movePrevious());
        case 2:
            return compare("next", m_recordset->moveNext(), m_model.moveNext());
        default:
            return compare("last", m_recordset->moveLast(), m_model.moveLast());
        }
    }

    QString bookmark()
    {
        // A row that is there, one that was deleted or never was.
        const RecordsetModel::Rows& rows = m_model.rows();
        qint64 rowid = m_random.bounded(1, 12);
        if (!rows.isEmpty() && m_random.bounded(3) > 0)
            rowid = rows.keys()[m_random.bounded(int(rows.size()))];
        return compare(QStringLiteral("bookmark %1").arg(rowid), m_recordset->setBookmark(rowid),
                       m_model.setBookmark(rowid));
    }

    QString find()
    {
        const schema::Column& column = anyColumn();
        const int index = m_table.indexOf(column.name);
        const RecordsetModel::Rows& rows = m_model.rows();
        const int form = int(m_random.bounded(10));
        if (form == 9) {
            const QStringList unreadable{"nonsense", "no_such_column = 'x'", column.name + " = 'open",
                                         column.name + " = val('3'", "= 'x'"};
            const QString criteria = unreadable[m_random.bounded(int(unreadable.size()))];
            return compare("find " + criteria, m_recordset->findFirst(criteria), m_model.findFirst(std::nullopt));
        }
        if (form >= 6 && column.storage == schema::Storage::Integer) {
            auto [text, wanted] = valTexts[m_random.bounded(int(valTexts.size()))];
            if (!rows.isEmpty() && form == 8) {
                const QVariant stored = rows[rows.keys()[m_random.bounded(int(rows.size()))]][index];
                if (!stored.isNull())
                    std::tie(text, wanted) = std::pair<QString, QVariant>{stored.toString(), stored};
            }
            const QString criteria = QStringLiteral("%1 = val('%2')").arg(column.name, text);
            const auto match = [index, wanted = wanted](const QVariantList& row) {
                const QVariant& value = row[index];
                if (value.isNull())
                    return false;
                if (wanted.typeId() == QMetaType::LongLong)
                    return value.toLongLong() == wanted.toLongLong();
                return value.toDouble() == wanted.toDouble();
            };
            return compare("find " + criteria, m_recordset->findFirst(criteria), m_model.findFirst(match));
        }
        // A text that a row holds, in another letter case, or any text a clerk might type.
        QString text = anyTyped(column).text;
        if (!rows.isEmpty() && form < 4) {
            text = RecordsetModel::shown(rows[rows.keys()[m_random.bounded(int(rows.size()))]][index]);
            text = form == 0 ? text.toUpper() : form == 1 ? text.toLower() : text;
        }
        const QString criteria = QStringLiteral("%1 = '%2'").arg(column.name, text);
        // Letter case and blanks around either side do not count.
        static const QRegularExpression blanksAround(QStringLiteral("^ +| +$"));
        const auto match = [index,
                            folded = QString(text).remove(blanksAround).toCaseFolded()](const QVariantList& row) {
            return !row[index].isNull()
                   && RecordsetModel::shown(row[index]).remove(blanksAround).toCaseFolded() == folded;
        };
        return compare("find " + criteria.left(60), m_recordset->findFirst(criteria), m_model.findFirst(match));
    }

    QString reload()
    {
        const Status closed = m_recordset->close();
        if (QString differs = compare("close", closed, m_model.close()); !differs.isEmpty() || !closed.ok())
            return differs;
        reopen();
        return compare("open", Status(), {});
    }

    void reopen()
    {
        m_recordset.reset();
        Opened opened = openOn(m_reg.path(), m_table.name, &m_fields);
        if (!opened.status.ok())
            qFatal("cannot open the record set: %s", qPrintable(opened.status.message()));
        m_recordset = std::move(opened.recordset);
        m_model.open();
        m_fields.validations.clear();
    }

    // Both sides after one operation; empty when they agree.
    QString compare(const QString& operation, const Status& real, const RecordsetModel::Outcome& expected)
    {
        m_log.append(operation + (real.ok() ? QString() : QStringLiteral("  -> ") + real.message()));
        m_refused += real.ok() ? 0 : 1;
        if (m_log.size() > 25)
            m_log.removeFirst();
        QStringList differences;
        const auto differ = [&](const char* what, const auto& actual, const auto& wanted) {
            if (actual != wanted)
                differences.append(QString::fromLatin1(what));
        };
        differ("outcome", real.ok(), expected.ok);
        if (!real.ok() && real.message().isEmpty())
            differences.append(QStringLiteral("a failure without a message"));
        differ("validate notifications", m_fields.validations, expected.validations);
        m_fields.validations.clear();
        differ("open", m_recordset->isOpen(), m_model.isOpen());
        if (m_recordset->isOpen()) {
            differ("BOF", m_recordset->isBOF(), m_model.isBOF());
            differ("EOF", m_recordset->isEOF(), m_model.isEOF());
            differ("current record", m_recordset->hasCurrentRecord(), m_model.hasCurrentRecord());
            const Expected<Bookmark> bookmark = m_recordset->bookmark();
            differ("bookmark", bookmark.ok() ? std::optional<qint64>(bookmark.value()) : std::nullopt,
                   m_model.bookmark());
            differ("edit state", m_recordset->editState(), m_model.editState());
            differ("field texts", m_fields.texts, m_model.texts());
            differ("changed marks", m_fields.changed, m_model.changed());
        }
        differ("table", storedRows(), m_model.rows());
        return differences.join(QLatin1String(", "));
    }

    RecordsetModel::Rows storedRows() const
    {
        RecordsetModel::Rows rows;
        QStringList columns{m_reg.key()};
        for (const schema::Column& column : m_table.columns)
            columns.append(column.name);
        for (QVariantList row : m_reg.rows(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                                               .arg(columns.join(QLatin1Char(',')), m_table.name, m_reg.key())))
            rows.insert(row.takeFirst().toLongLong(), row);
        return rows;
    }

    const schema::Table& m_table;
    TempRegister m_reg;
    FakeFields m_fields;
    QRandomGenerator m_random;
    RecordsetModel m_model;
    const RecordsetModel::Rows m_start;
    std::unique_ptr<Connection> m_other;
    QList<qint64> m_vacuums; // how many history entries there were at each VACUUM
    std::unique_ptr<Recordset> m_recordset;
    QStringList m_log;
    int m_refused = 0;
};

quint32 seedToUse()
{
    bool given = false;
    const quint32 seed = qEnvironmentVariable("VELMORA_SEED").toUInt(&given);
    return given ? seed : QRandomGenerator::system()->generate();
}

} // namespace

Q_DECLARE_METATYPE(Engine)

class TestRecordsetModel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void followsTheModel_data();
    void followsTheModel();
};

void TestRecordsetModel::followsTheModel_data()
{
    // A fixed seed finds the same faults every run; a fresh one looks somewhere new.
    QTest::addColumn<QString>("table");
    QTest::addColumn<bool>("fixed");
    QTest::addColumn<Engine>("engine");
    for (const Engine engine : {Engine::File, Engine::Server}) {
        const char* where = engine == Engine::File ? "file" : "server";
        for (const char* table : {"stock_data", "stockholder", "transfer_data"}) {
            QTest::addRow("%s, %s, fixed seed", where, table) << QString::fromLatin1(table) << true << engine;
            QTest::addRow("%s, %s, fresh seed", where, table) << QString::fromLatin1(table) << false << engine;
        }
    }
}

// Random operations, each followed by a comparison of everything the record set shows with the model.
// VELMORA_SEED replays a run; VELMORA_MODEL_STEPS asks for a longer one.
void TestRecordsetModel::followsTheModel()
{
    QFETCH(QString, table);
    QFETCH(bool, fixed);
    QFETCH(Engine, engine);
    const quint32 seed = fixed ? 20261207 : seedToUse();
    bool given = false;
    int steps = qEnvironmentVariable("VELMORA_MODEL_STEPS").toInt(&given);
    if (!given)
        steps = engine == Engine::File ? 3000 : 600; // a server's round trips cost more
    qInfo("%s: seed %u, %d operations (VELMORA_SEED=%u replays this run)", qPrintable(table), seed, steps, seed);

    Run run(table, seed, engine);
    VELMORA_REQUIRE(run.reg());
    QVERIFY(run.isValid());
    for (int step = 1; step <= steps; ++step) {
        const QString differs = run.step();
        if (!differs.isEmpty())
            QFAIL(qPrintable(QStringLiteral("%1 after operation %2 (VELMORA_SEED=%3 replays it): %4 differ.\n"
                                            "Last operations:\n  %5")
                                 .arg(table)
                                 .arg(step)
                                 .arg(seed)
                                 .arg(differs, run.log().join(QLatin1String("\n  ")))));
    }
    const QString history = run.historyDiffers();
    QVERIFY2(history.isEmpty(), qPrintable(QStringLiteral("%1 (VELMORA_SEED=%2 replays it)").arg(history).arg(seed)));
    qInfo("%d operations checked, %d of them refused as the rules say", steps, run.refused());
}

QTEST_GUILESS_MAIN(TestRecordsetModel)
#include "tst_recordsetmodel.moc"
