#pragma once

#include "recordbinding.h"
#include "recordset.h"
#include "schema.h"

#include <QHash>
#include <QMap>
#include <QSet>
#include <QVariantList>

#include <functional>
#include <optional>

// What a record set must be after each operation, worked out in memory from the record source's rules alone:
// the table, the place, the edit state, the bound fields and the validate notifications. A random test runs
// the same operations on a real record set and on this, and compares them after every step. Another clerk may
// change the table in between; a save then lands only on the record shown, and only over values seen.
class RecordsetModel {
public:
    using Rows = QMap<qint64, QVariantList>; // rowid order is record order
    using Validations = QList<std::pair<Action, bool>>;
    // What the clerk typed into a field and what storing it gives; no value when the text is refused.
    struct Typed {
        QString text;
        std::optional<QVariant> stored;
    };
    // What an operation must do: succeed or fail, and the notifications it raises either way.
    struct Outcome {
        bool ok = true;
        Validations validations;
    };
    using Match = std::function<bool(const QVariantList& row)>;

    // A file's engine hands the last row's key to the next new row; a server never gives a key twice.
    RecordsetModel(const schema::Table& table, Rows rows, bool keysRepeat = true)
        : m_table(table)
        , m_rows(std::move(rows))
        , m_keysRepeat(keysRepeat)
        , m_issued(m_rows.isEmpty() ? 0 : m_rows.lastKey())
    {}

    const Rows& rows() const { return m_rows; }
    bool isOpen() const { return m_open; }
    // As the table was when last read: another clerk's rows show only once the record set reads again.
    bool isBOF() const { return m_spot.empty; }
    bool isEOF() const { return m_spot.empty || m_spot.place == Place::AfterLast; }
    bool hasCurrentRecord() const { return m_open && m_spot.place == Place::OnRow; }
    std::optional<qint64> bookmark() const { return hasCurrentRecord() ? m_spot.anchor : std::nullopt; }
    EditState editState() const { return m_state; }
    const QHash<QString, QString>& texts() const { return m_texts; }
    QSet<QString> changed() const { return QSet<QString>(m_typed.keyBegin(), m_typed.keyEnd()); }

    // How a stored value shows in a field.
    static QString shown(const QVariant& value) { return value.isNull() ? QString() : value.toString(); }

    void type(const QString& column, const Typed& typed)
    {
        m_typed[column] = typed;
        m_texts[column] = typed.text;
    }

    // Another clerk's changes, made straight to the table.
    void otherChanged(qint64 rowid, int column, const QVariant& value) { m_rows[rowid][column] = value; }
    void otherDeleted(qint64 rowid) { m_rows.remove(rowid); }
    qint64 otherAdded(const QVariantList& row)
    {
        const qint64 rowid = nextRowid();
        m_rows.insert(rowid, row);
        return rowid;
    }
    // VACUUM numbers the rows afresh, in order, from 1.
    void otherVacuumed()
    {
        Rows renumbered;
        for (const QVariantList& row : std::as_const(m_rows))
            renumbered.insert(renumbered.size() + 1, row);
        m_rows = renumbered;
    }

    Outcome open()
    {
        m_open = true;
        m_spot = first();
        m_state = EditState::Browsing;
        fill();
        return {};
    }

    Outcome close()
    {
        if (!m_open)
            return {};
        Outcome outcome;
        validate(outcome, Action::Unload);
        if (!m_typed.isEmpty() && !writePending())
            return failed(outcome);
        m_typed.clear();
        m_open = false;
        m_spot = {};
        m_state = EditState::Browsing;
        return outcome;
    }

    Outcome moveFirst()
    {
        return move(Action::MoveFirst, [this](const Spot&, auto, bool) { return first(); });
    }
    Outcome moveLast()
    {
        return move(Action::MoveLast, [this](const Spot&, auto, bool) { return last(); });
    }
    Outcome moveNext()
    {
        return move(Action::MoveNext, [this](const Spot& from, auto, bool) { return step(from, true); });
    }
    Outcome movePrevious()
    {
        return move(Action::MovePrevious, [this](const Spot& from, auto, bool) { return step(from, false); });
    }
    Outcome setBookmark(qint64 rowid)
    {
        return move(Action::Bookmark, [this, rowid](const Spot&, auto, bool) -> std::optional<Spot> {
            if (!m_rows.contains(rowid))
                return std::nullopt;
            return onRow(rowid);
        });
    }

    // An unreadable criteria text has no match and fails before anything happens.
    Outcome findFirst(const std::optional<Match>& match)
    {
        if (!m_open || !match)
            return failed({});
        return move(Action::Find, [this, match](const Spot& from, auto added, bool) -> std::optional<Spot> {
            for (auto row = m_rows.cbegin(); row != m_rows.cend(); ++row) {
                if ((*match)(row.value()))
                    return onRow(row.key());
            }
            return Spot{Place::AfterLast, std::nullopt, from.empty && !added};
        });
    }

    Outcome addNew() { return move(Action::AddNew, reread(), EditState::Adding); }

    Outcome edit()
    {
        if (!m_open || (m_state != EditState::Adding && !hasCurrentRecord()))
            return failed({});
        if (m_state != EditState::Adding)
            m_state = EditState::Editing;
        return {};
    }

    Outcome update()
    {
        if (!m_open || (m_state != EditState::Adding && !hasCurrentRecord()))
            return failed({});
        return move(Action::Update, reread());
    }

    // Shows the record as last read, or as seen in a refused save.
    void cancelUpdate()
    {
        if (!m_open)
            return;
        m_state = EditState::Browsing;
        fill(false);
    }

    Outcome deleteRecord()
    {
        if (!m_open || (m_state != EditState::Adding && !hasCurrentRecord()))
            return failed({});
        Outcome outcome;
        validate(outcome, Action::Delete);
        // Typed text is dropped, a pending new record with it; only a stored current record leaves the table, and
        // only as it was read.
        if (m_state != EditState::Adding) {
            if (!holdsRecordRead())
                return failed(outcome);
            if (!sameRow(m_rows[*m_spot.anchor], m_read)) {
                // Changed by another clerk: it stays and is shown as it is now.
                m_state = EditState::Browsing;
                fill();
                return failed(outcome);
            }
            m_rows.remove(*m_spot.anchor);
            m_spot.empty = m_rows.isEmpty();
        }
        m_spot.place = Place::NoRow;
        m_state = EditState::Browsing;
        fill();
        return outcome;
    }

private:
    enum class Place { OnRow, AfterLast, NoRow };
    struct Spot {
        Place place = Place::NoRow;
        std::optional<qint64> anchor; // the current record, or the one next and previous start from
        bool empty = true;            // the table was empty when last read
    };
    // Where an operation lands, from where it started, the rowid of a record it added and whether it stored
    // anything typed.
    using Locate = std::function<std::optional<Spot>(const Spot& from, std::optional<qint64> added, bool stored)>;

    static Spot onRow(qint64 rowid) { return {Place::OnRow, rowid, false}; }
    Spot first() const { return m_rows.isEmpty() ? Spot{} : onRow(m_rows.firstKey()); }
    Spot last() const { return m_rows.isEmpty() ? Spot{} : onRow(m_rows.lastKey()); }
    qint64 nextRowid()
    {
        qint64 next = m_rows.isEmpty() ? 1 : m_rows.lastKey() + 1; // a file's rule, without AUTOINCREMENT
        if (!m_keysRepeat)
            next = std::max(next, m_issued + 1);
        m_issued = next;
        return next;
    }

    // Equal as stored: nothing matches nothing; whole numbers and fractions by value; the rest by kind and value.
    static bool same(const QVariant& a, const QVariant& b)
    {
        if (a.isNull() || b.isNull())
            return a.isNull() && b.isNull();
        const auto numeric = [](const QVariant& v) {
            return v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Double;
        };
        if (numeric(a) && numeric(b))
            return a.toDouble() == b.toDouble() && (a.typeId() != b.typeId() || a == b);
        return a.typeId() == b.typeId() && a == b;
    }
    static bool sameRow(const QVariantList& a, const QVariantList& b)
    {
        for (int i = 0; i < a.size(); ++i) {
            if (!same(a[i], b.value(i)))
                return false;
        }
        return a.size() == b.size();
    }
    // The current record's row still holds the record read: there, with the same number.
    bool holdsRecordRead() const
    {
        return m_spot.anchor && m_rows.contains(*m_spot.anchor) && same(m_rows[*m_spot.anchor][0], m_read.value(0));
    }

    // Next or previous; at either end the record stays, and past a failed find the bar lands on the last row.
    Spot step(const Spot& from, bool forward) const
    {
        if (from.place == Place::AfterLast)
            return last();
        if (!from.anchor || m_rows.isEmpty())
            return first();
        const qint64 anchor = *from.anchor;
        if (forward) {
            const auto after = m_rows.upperBound(anchor);
            return after != m_rows.cend() ? onRow(after.key()) : onRow(std::prev(after).key());
        }
        const auto atOrAfter = m_rows.lowerBound(anchor);
        return atOrAfter != m_rows.cbegin() ? onRow(std::prev(atOrAfter).key()) : onRow(atOrAfter.key());
    }

    // A save leaves the record that was saved current: the new one when one was added. With nothing stored, it
    // must still be the record read.
    Locate reread() const
    {
        return [this](const Spot& from, std::optional<qint64> added, bool stored) -> std::optional<Spot> {
            if (added)
                return onRow(*added);
            if (from.place == Place::OnRow && !stored && !holdsRecordRead())
                return std::nullopt;
            return from;
        };
    }

    Outcome move(Action action, const Locate& locate, EditState after = EditState::Browsing)
    {
        if (!m_open)
            return failed({});
        Outcome outcome;
        validate(outcome, action);
        const Rows before = m_rows;
        std::optional<qint64> added;
        const bool storing = !m_typed.isEmpty();
        if (storing) {
            const auto written = writePending();
            if (!written)
                return failed(outcome);
            added = *written;
        }
        const std::optional<Spot> next = locate(m_spot, added, storing);
        if (!next) {
            m_rows = before;
            return failed(outcome);
        }
        m_typed.clear();
        m_spot = *next;
        m_state = after;
        // A find that matched nothing leaves the fields showing what they showed.
        if (!(action == Action::Find && m_spot.place == Place::AfterLast))
            fill();
        return outcome;
    }

    // The typed fields written into the pending record; the new record's rowid when one was added, nothing on
    // a refusal (the table is then as it was).
    std::optional<std::optional<qint64>> writePending()
    {
        for (const Typed& typed : std::as_const(m_typed)) {
            if (!typed.stored)
                return std::nullopt;
        }
        std::optional<qint64> added;
        qint64 rowid = 0;
        if (m_state == EditState::Adding) {
            rowid = nextRowid();
            m_rows.insert(rowid, QVariantList(m_table.columns.size()));
            added = rowid;
        } else if (hasCurrentRecord()) {
            rowid = *m_spot.anchor;
            if (!holdsRecordRead())
                return std::nullopt;
            // A field typed into that another clerk changed to something else: refused, and now seen.
            for (auto typed = m_typed.cbegin(); typed != m_typed.cend(); ++typed) {
                const int index = m_table.indexOf(typed.key());
                const QVariant& now = m_rows[rowid][index];
                if (!same(now, m_read[index]) && !same(now, *typed.value().stored)) {
                    m_read = m_rows[rowid];
                    return std::nullopt;
                }
            }
        } else {
            return std::nullopt;
        }
        for (auto typed = m_typed.cbegin(); typed != m_typed.cend(); ++typed)
            m_rows[rowid][m_table.indexOf(typed.key())] = *typed.value().stored;
        return added;
    }

    void validate(Outcome& outcome, Action action) const
    {
        if (hasCurrentRecord() || m_state == EditState::Adding)
            outcome.validations.append({action, !m_typed.isEmpty()});
    }

    // Fills the fields from the current record, read afresh or as last read.
    void fill(bool afresh = true)
    {
        m_typed.clear();
        if (afresh && hasCurrentRecord())
            m_read = m_rows.value(*m_spot.anchor);
        const bool showsRow = m_state != EditState::Adding && hasCurrentRecord();
        for (int i = 0; i < m_table.columns.size(); ++i)
            m_texts[m_table.columns[i].name] = showsRow ? shown(m_read.value(i)) : QString();
    }

    static Outcome failed(Outcome outcome)
    {
        outcome.ok = false;
        return outcome;
    }

    const schema::Table& m_table;
    Rows m_rows;
    Spot m_spot;
    EditState m_state = EditState::Browsing;
    QHash<QString, Typed> m_typed; // the fields with the changed mark
    QHash<QString, QString> m_texts;
    QVariantList m_read; // the current record as last read, or as seen in a refused save
    bool m_keysRepeat = true;
    qint64 m_issued = 0; // the last key given to a new row
    bool m_open = false;
};
