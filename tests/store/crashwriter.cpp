#include "connection.h"
#include "crashgeneration.h"
#include "fakefields.h"
#include "recordset.h"
#include "schema.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>

#include <cstdio>
#include <memory>

// Saves certificates through a record set the way a window does, until it is killed. Every save that returned
// is reported on one line of its own, flushed at once: "added ROWID G", "modified ROWID G", "deleted ROWID".
// A save is reported once the row for the next one has been reached, just before that save starts, so that a
// kill following a report lands inside a save rather than in the moves before it.
class CrashWriter {
public:
    explicit CrashWriter(quint32 seed)
        : m_fields(crashgeneration::columns)
        , m_random(seed)
    {}

    // Saves until killed; returns only on a failure, reported as "failed MESSAGE".
    int run(const QString& path)
    {
        Status status = open(path);
        while (status)
            status = step();
        announce();
        report(QStringLiteral("failed ") + status.message().simplified());
        announce();
        return 1;
    }

private:
    Status open(const QString& path)
    {
        Expected<std::unique_ptr<Connection>> connection = Connection::open(path);
        if (!connection)
            return connection.status();
        m_set = std::make_unique<Recordset>(std::move(connection.value()), *schema::table(u"stock_data"), &m_fields);
        m_fields.recordset = m_set.get();
        if (Status opened = m_set->open(); !opened)
            return opened;
        // Go on above every generation already stored, so that a row's generation only ever grows.
        QSqlQuery query(m_set->connection().database());
        if (!query.exec(QStringLiteral("SELECT coalesce(max(stock_qty), 0), count(*) FROM stock_data"))
            || !query.next())
            return Status::failure(QStringLiteral("Cannot read the generations: ") + query.lastError().text());
        m_generation = query.value(0).toLongLong();
        m_rows = query.value(1).toLongLong();
        return {};
    }

    // One save; keeps the table between a handful and a few dozen rows.
    Status step()
    {
        const int roll = int(m_random.bounded(100));
        const int addBelow = m_rows < 8 ? 60 : m_rows > 40 ? 15 : 35;
        const int deleteFrom = m_rows < 8 ? 90 : m_rows > 40 ? 55 : 75;
        if (m_rows == 0 || roll < addBelow)
            return add();
        if (roll >= deleteFrom)
            return remove();
        return modify();
    }

    Status add()
    {
        announce();
        if (Status added = m_set->addNew(); !added)
            return added;
        const qint64 generation = type(m_random.bounded(20) == 0);
        if (Status saved = m_set->update(); !saved)
            return saved;
        Expected<Bookmark> rowid = m_set->bookmark();
        if (!rowid)
            return rowid.status();
        m_known.append(rowid.value());
        ++m_rows;
        report(QStringLiteral("added %1 %2").arg(rowid.value()).arg(generation));
        return {};
    }

    Status modify()
    {
        if (Status reached = reach(); !reached)
            return reached;
        const Bookmark rowid = m_set->bookmark().value();
        announce();
        if (Status editing = m_set->edit(); !editing)
            return editing;
        const qint64 generation = type(m_random.bounded(4) == 0);
        // Mostly OK; sometimes the typing is stored by moving on, as a window stores it when the clerk moves.
        Status saved;
        switch (m_random.bounded(8)) {
        case 0:
            saved = m_set->moveNext();
            break;
        case 1:
            saved = m_set->movePrevious();
            break;
        default:
            saved = m_set->update();
        }
        if (!saved)
            return saved;
        remember();
        report(QStringLiteral("modified %1 %2").arg(rowid).arg(generation));
        return {};
    }

    Status remove()
    {
        if (Status reached = reach(); !reached)
            return reached;
        const Bookmark rowid = m_set->bookmark().value();
        announce();
        if (Status deleted = m_set->deleteRecord(); !deleted)
            return deleted;
        m_known.removeAll(rowid);
        --m_rows;
        report(QStringLiteral("deleted %1").arg(rowid));
        return {};
    }

    // Lands on a row by a bookmark kept earlier, or by a few moves from either end.
    Status reach()
    {
        if (!m_known.isEmpty() && m_random.bounded(2) == 0)
            return m_set->setBookmark(m_known[m_random.bounded(m_known.size())]);
        Status moved = m_random.bounded(2) == 0 ? m_set->moveFirst() : m_set->moveLast();
        for (int steps = int(m_random.bounded(5)); moved && steps > 0; --steps)
            moved = m_random.bounded(2) == 0 ? m_set->moveNext() : m_set->movePrevious();
        if (!moved)
            return moved;
        if (!m_set->hasCurrentRecord())
            return Status::failure(QStringLiteral("No current record after moving in a table of %1 rows").arg(m_rows));
        remember();
        return {};
    }

    // Types every column of the next generation; a long item code takes a few KB.
    qint64 type(bool longText)
    {
        const qint64 generation = ++m_generation;
        const qsizetype padding = longText ? m_random.bounded(2000, 9000) : m_random.bounded(30);
        const QStringList texts = crashgeneration::texts(generation, padding);
        for (qsizetype i = 0; i < texts.size(); ++i)
            m_fields.type(crashgeneration::columns[i], texts[i]);
        return generation;
    }

    void report(const QString& line) { m_report = line; }

    // Writes out the last save's line, flushed before the next save begins.
    void announce()
    {
        if (m_report.isEmpty())
            return;
        std::fputs(qPrintable(m_report + QLatin1Char('\n')), stdout);
        std::fflush(stdout);
        m_report.clear();
    }

    void remember()
    {
        if (Expected<Bookmark> rowid = m_set->bookmark(); rowid && !m_known.contains(rowid.value()))
            m_known.append(rowid.value());
    }

    FakeFields m_fields;
    std::unique_ptr<Recordset> m_set;
    QRandomGenerator m_random;
    QList<Bookmark> m_known; // rows this writer has stood on and not deleted
    qint64 m_generation = 0;
    qint64 m_rows = 0;
    QString m_report; // the line of a save that returned, not yet written out
};

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    bool seeded = false;
    const quint32 seed = arguments.value(2).toUInt(&seeded);
    if (arguments.size() != 3 || !seeded) {
        std::fputs("usage: crashwriter REGISTER SEED\n", stderr);
        return 2;
    }
    return CrashWriter(seed).run(arguments[1]);
}
