// The record set's writing: a save, an add, a delete, each on the record read and over values seen, and the
// conflicts that refuse one.
#include "recordset.h"

#include "connection.h"
#include "historylog.h"
#include "recordsetstatements.h"
#include "values.h"
#include "writetransaction.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

using recordsetwords::noCurrentRecord;
using recordsetwords::recordGone;

namespace {

const QString goneWhileTyping =
    recordGone
    + QStringLiteral(" Another user deleted it after this window read it, or its place now holds another "
                     "record; nothing was stored. To go on, drop the typed change (OK, then No), or copy "
                     "what you need and add it again as a new record.");

// Stored values compare as the engine's IS does on values without column affinity: empty matches empty, numbers
// by value (a driver may hand a whole number back as any integer type), anything else by kind and content.
bool same(const QVariant& a, const QVariant& b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    const auto whole = [](const QVariant& v) {
        const int type = v.typeId();
        return type == QMetaType::LongLong || type == QMetaType::ULongLong || type == QMetaType::Int
               || type == QMetaType::UInt;
    };
    const auto number = [&](const QVariant& v) {
        return whole(v) || v.typeId() == QMetaType::Double;
    };
    if (whole(a) && whole(b))
        return a.toLongLong() == b.toLongLong();
    if (number(a) && number(b))
        return a.toDouble() == b.toDouble();
    return a.typeId() == b.typeId() && a == b;
}

int fieldIndex(const QList<FieldInput>& fields, const QString& column)
{
    const auto at = std::find_if(fields.begin(), fields.end(), [&](const FieldInput& f) { return f.column == column; });
    return at == fields.end() ? -1 : int(at - fields.begin());
}

} // namespace

Status Recordset::update()
{
    if (!m_open)
        return notOpen();
    if (!hasCurrentRecord() && m_state != EditState::Adding)
        return Status::failure(noCurrentRecord);
    return move(Action::Update, [this](const Position& from, const Written& written) { return reread(from, written); });
}

Status Recordset::deleteRecord()
{
    if (!m_open)
        return notOpen();
    if (!hasCurrentRecord() && m_state != EditState::Adding)
        return Status::failure(noCurrentRecord);
    raiseValidate(Action::Delete);

    Position after = m_position;
    after.place = Place::NoRow;
    after.row.clear();
    if (m_state == EditState::Adding) {
        // Only the pending new record goes; nothing stored is touched.
        settle(after, EditState::Browsing);
        return {};
    }

    if (Status reached = reach(QStringLiteral("Cannot delete from")); !reached)
        return reached;
    WriteTransaction transaction(*m_connection);
    if (Status begun = transaction.begin(QStringLiteral("Cannot save to")); !begun)
        return begun;
    // Only the record as shown goes: every column must still hold exactly what the window read.
    QStringList unchanged{m_connection->rowKey() + QStringLiteral(" = ?")};
    for (const schema::Column& column : m_table.columns)
        unchanged.append(m_connection->holdsExactly(schema::quoted(column.name)));
    QSqlQuery remove(m_connection->database());
    remove.setForwardOnly(true);
    if (!remove.prepare(QStringLiteral("DELETE FROM %1 WHERE %2")
                            .arg(schema::quoted(m_table.name), unchanged.join(QLatin1String(" AND ")))))
        return engineFailure(QStringLiteral("Cannot delete from"), remove);
    remove.bindValue(0, *m_position.anchor);
    for (int i = 0; i < m_position.row.size(); ++i)
        remove.bindValue(i + 1, m_position.row[i]);
    if (!remove.exec())
        return engineFailure(QStringLiteral("Cannot delete from"), remove);
    if (remove.numRowsAffected() == 0) {
        Expected<std::optional<QVariantList>> now = storedNow();
        if (!now)
            return now.status();
        if (!now.value())
            return Status::failure(recordGone);
        // Changed by someone else: nothing goes, and the clerk sees the record as it is now before deciding again.
        Position changed = m_position;
        changed.row = *now.value();
        settle(changed, EditState::Browsing);
        return Status::failure(QStringLiteral("Another user changed this record after this window read it, so it "
                                              "was not deleted. It is shown as it is stored now; delete it again "
                                              "if it should still go."));
    }
    QList<history::Change> removed;
    for (int i = 0; i < m_position.row.size(); ++i) {
        if (!m_position.row[i].isNull())
            removed.append({m_table.columns[i].name, m_position.row[i], QVariant()});
    }
    const QVariant number = m_position.row.value(m_table.indexOf(m_table.numberColumn().name));
    if (Status kept = m_history->append(
            {HistoryLog::entry(m_table, *m_position.anchor, number, QStringLiteral("delete"), removed)});
        !kept)
        return kept;
    QSqlQuery& exists = m_statements->exists;
    if (!exists.exec() || !exists.next())
        return engineFailure(QStringLiteral("Cannot read"), exists);
    after.empty = !exists.value(0).toBool();
    exists.finish();
    if (Status committed = transaction.commit(QStringLiteral("Cannot save to")); !committed)
        return committed;
    settle(after, EditState::Browsing);
    return {};
}

Expected<Recordset::Written> Recordset::writePending(const QList<FieldInput>& input)
{
    // Each column once, with the last text typed into it.
    QList<FieldInput> fields;
    QVariantList stored;
    for (const FieldInput& field : input) {
        const schema::Column* column = m_table.column(field.column);
        if (!column)
            return Status::failure(QStringLiteral("The table %1 has no column %2.").arg(m_table.name, field.column));
        Expected<QVariant> value = values::toStored(*column, field.text);
        if (!value)
            return value.status();
        if (const int at = fieldIndex(fields, column->name); at >= 0) {
            fields[at].text = field.text;
            stored[at] = value.value();
        } else {
            fields.append({column->name, field.text});
            stored.append(value.value());
        }
    }
    QStringList columns;
    for (const FieldInput& field : std::as_const(fields))
        columns.append(schema::quoted(field.column));

    QSqlQuery write(m_connection->database());
    write.setForwardOnly(true);
    QString statement;
    QList<history::Change> changes;
    QVariant number;
    if (m_state == EditState::Adding) {
        for (int i = 0; i < fields.size(); ++i)
            changes.append({fields[i].column, QVariant(), stored[i]});
        const int typedNumber = fieldIndex(fields, m_table.numberColumn().name);
        number = typedNumber < 0 ? QVariant() : stored[typedNumber];
        const QStringList marks(columns.size(), QStringLiteral("?"));
        statement =
            QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                .arg(schema::quoted(m_table.name), columns.join(QLatin1String(", ")), marks.join(QLatin1String(", ")))
            + m_connection->returningKey();
    } else if (hasCurrentRecord()) {
        // Under the write lock: the row must still hold the record read, and no field typed into may have been
        // changed by someone else to another value since.
        Expected<std::optional<QVariantList>> now = storedNow();
        if (!now)
            return now.status();
        if (!now.value())
            return Status::failure(goneWhileTyping);
        if (Status clear = refuseConflicts(fields, stored, *now.value()); !clear)
            return clear;
        const QVariantList& before = *now.value();
        for (int i = 0; i < fields.size(); ++i) {
            if (const QVariant& old = before[m_table.indexOf(fields[i].column)]; !same(old, stored[i]))
                changes.append({fields[i].column, old, stored[i]});
        }
        const int typedNumber = fieldIndex(fields, m_table.numberColumn().name);
        number = typedNumber < 0 ? before[m_table.indexOf(m_table.numberColumn().name)] : stored[typedNumber];
        statement =
            QStringLiteral("UPDATE %1 SET %2 = ? WHERE %3 = ?")
                .arg(schema::quoted(m_table.name), columns.join(QLatin1String(" = ?, ")), m_connection->rowKey());
        stored.append(*m_position.anchor);
    } else {
        return Status::failure(noCurrentRecord);
    }
    if (!write.prepare(statement))
        return engineFailure(QStringLiteral("Cannot save to"), write);
    for (int i = 0; i < stored.size(); ++i)
        write.bindValue(i, stored[i]);
    if (!write.exec())
        return engineFailure(QStringLiteral("Cannot save to"), write);
    if (m_state == EditState::Adding) {
        const qint64 added = m_connection->insertedKey(write);
        if (Status kept =
                m_history->append({HistoryLog::entry(m_table, added, number, QStringLiteral("add"), changes)});
            !kept)
            return kept;
        return Written{added, true};
    }
    if (write.numRowsAffected() == 0)
        return Status::failure(goneWhileTyping);
    if (!changes.isEmpty()) {
        if (Status kept = m_history->append(
                {HistoryLog::entry(m_table, *m_position.anchor, number, QStringLiteral("modify"), changes)});
            !kept)
            return kept;
    }
    return Written{std::nullopt, true};
}

Expected<std::optional<QVariantList>> Recordset::storedNow() const
{
    // Nothing when the row is gone or now holds another record (a rowid reused or renumbered). The row stays
    // locked until the write transaction ends.
    m_statements->lockRow.bindValue(0, *m_position.anchor);
    Expected<Position> now = fetch(m_statements->lockRow, m_position);
    if (!now)
        return now.status();
    const int number = m_table.indexOf(m_table.numberColumn().name);
    if (now->place != Place::OnRow || !same(now->row.value(number), m_position.row.value(number)))
        return std::optional<QVariantList>();
    return std::optional<QVariantList>(now->row);
}

Status Recordset::refuseConflicts(const QList<FieldInput>& fields, const QVariantList& typed, const QVariantList& now)
{
    QStringList clashes;
    QString firstColumn;
    for (int i = 0; i < fields.size(); ++i) {
        const int index = m_table.indexOf(fields[i].column);
        const QVariant& stored = now[index];
        if (same(stored, m_position.row[index]) || same(stored, typed[i]))
            continue;
        clashes.append(QStringLiteral("%1 now \"%2\", typed \"%3\"")
                           .arg(m_table.columns[index].caption, values::shown(stored), fields[i].text));
        if (firstColumn.isEmpty())
            firstColumn = fields[i].column;
    }
    if (clashes.isEmpty())
        return {};
    // The clerk has now seen the other change: saving again stores the typed values over it.
    m_position.row = now;
    return Status::failure(
        QStringLiteral("Another user changed this record after this window read it, and nothing was stored:\n%1\n"
                       "To store the typed values over the other change, save again. To see the record as it is "
                       "stored now, drop the typed change (OK, then No).")
            .arg(clashes.join(QLatin1Char('\n'))),
        firstColumn);
}

Expected<Recordset::Position> Recordset::reread(const Position& from, const Written& written)
{
    if (!written.added && from.place != Place::OnRow)
        return from;
    if (!written.stored) {
        // Nothing was written, so nothing has checked yet that the row still holds the record read.
        Expected<std::optional<QVariantList>> now = storedNow();
        if (!now)
            return now.status();
        if (!now.value())
            return Status::failure(recordGone);
    }
    m_statements->byRowid.bindValue(0, written.added ? *written.added : *from.anchor);
    Expected<Position> current = fetch(m_statements->byRowid, from);
    if (current && current->place != Place::OnRow)
        return Status::failure(recordGone);
    return current;
}
