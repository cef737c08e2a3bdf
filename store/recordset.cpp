#include "recordset.h"

#include "connection.h"
#include "criteria.h"
#include "historylog.h"
#include "values.h"
#include "writetransaction.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace {

const QString noCurrentRecord = QStringLiteral("There is no current record.");
const QString recordGone = QStringLiteral("The record is no longer in the register.");
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

QString selectFrom(const schema::Table& table, const QString& key)
{
    QStringList columns{key};
    for (const schema::Column& column : table.columns)
        columns.append(schema::quoted(column.name));
    return QStringLiteral("SELECT %1 FROM %2").arg(columns.join(QLatin1String(", ")), schema::quoted(table.name));
}

} // namespace

struct Recordset::Statements {
    explicit Statements(const QSqlDatabase& database)
        : byRowid(database)
        , first(database)
        , last(database)
        , next(database)
        , previous(database)
        , exists(database)
        , lockRow(database)
    {}

    QSqlQuery byRowid;
    QSqlQuery first;
    QSqlQuery last;
    QSqlQuery next;     // the row after an anchor, or else the last row at or before it
    QSqlQuery previous; // the row before an anchor, or else the first row at or after it
    QSqlQuery exists;
    QSqlQuery lockRow; // by rowid, held until the transaction ends
};

Recordset::Recordset(std::unique_ptr<Connection> connection, const schema::Table& table, RecordBinding* binding)
    : m_connection(std::move(connection))
    , m_table(table)
    , m_binding(binding)
    , m_history(std::make_unique<HistoryLog>(*m_connection))
{}

Recordset::~Recordset()
{
    // Statements go before the connection they run on.
    m_statements.reset();
    m_history.reset();
}

Status Recordset::open()
{
    if (Status checked = m_connection->checkTable(m_table); !checked)
        return checked;
    if (Status prepared = prepare(); !prepared)
        return prepared;
    Expected<Position> first = fetch(m_statements->first, m_position);
    if (!first)
        return first.status();
    m_open = true;
    settle(first.value(), EditState::Browsing);
    return {};
}

Status Recordset::close()
{
    if (!m_open)
        return {};
    raiseValidate(Action::Unload);
    const QList<FieldInput> input = pendingInput();
    if (!input.isEmpty()) {
        if (Status reached = reach(QStringLiteral("Cannot save to")); !reached)
            return reached;
        WriteTransaction transaction(*m_connection);
        if (Status begun = transaction.begin(QStringLiteral("Cannot save to")); !begun)
            return begun;
        if (Expected<Written> written = writePending(input); !written)
            return written.status();
        if (Status committed = transaction.commit(QStringLiteral("Cannot save to")); !committed)
            return committed;
        if (m_binding)
            m_binding->clearChanged();
    }
    m_statements.reset();
    m_open = false;
    m_state = EditState::Browsing;
    m_position = {};
    return {};
}

bool Recordset::isBOF() const
{
    return m_position.empty;
}

bool Recordset::isEOF() const
{
    return m_position.empty || m_position.place == Place::AfterLast;
}

bool Recordset::hasCurrentRecord() const
{
    return m_open && m_position.place == Place::OnRow;
}

Expected<Bookmark> Recordset::bookmark() const
{
    if (!hasCurrentRecord())
        return Status::failure(noCurrentRecord);
    return *m_position.anchor;
}

Status Recordset::setBookmark(Bookmark bookmark)
{
    return move(Action::Bookmark, [this, bookmark](const Position& from, const Written&) {
        m_statements->byRowid.bindValue(0, bookmark);
        Expected<Position> found = fetch(m_statements->byRowid, from);
        if (found && found->place != Place::OnRow)
            return Expected<Position>(Status::failure(recordGone));
        return found;
    });
}

Status Recordset::moveFirst()
{
    return move(Action::MoveFirst, [this](const Position& from, auto) { return fetch(m_statements->first, from); });
}

Status Recordset::moveLast()
{
    return move(Action::MoveLast, [this](const Position& from, auto) { return fetch(m_statements->last, from); });
}

Status Recordset::moveNext()
{
    return navigate(Action::MoveNext, &Statements::next);
}

Status Recordset::movePrevious()
{
    return navigate(Action::MovePrevious, &Statements::previous);
}

Status Recordset::navigate(Action action, QSqlQuery Statements::*step)
{
    return move(action, [this, step](const Position& from, auto) {
        // Past the end (a find that matched nothing) the bar lands on the last row; with nothing to go by,
        // on the first.
        if (from.place == Place::AfterLast)
            return fetch(m_statements->last, from);
        if (!from.anchor)
            return fetch(m_statements->first, from);
        QSqlQuery& query = (*m_statements).*step;
        query.bindValue(0, *from.anchor);
        query.bindValue(1, *from.anchor);
        return fetch(query, from);
    });
}

Status Recordset::findFirst(const QString& text)
{
    if (!m_open)
        return notOpen();
    Expected<criteria::Criteria> parsed = criteria::parse(text, m_table);
    if (!parsed)
        return parsed.status();
    const criteria::Criteria& wanted = parsed.value();
    const QString column = schema::quoted(wanted.column->name);
    QString condition;
    if (wanted.comparison == criteria::Comparison::Text) {
        const QString value = wanted.column->storage == schema::Storage::Integer
                                  ? QStringLiteral("CAST(%1 AS TEXT)").arg(column)
                                  : column;
        // The collation leaves out letter case and the blanks around either side.
        condition = m_connection->equalsText(value);
    } else if (wanted.column->storage == schema::Storage::Integer) {
        condition = QStringLiteral("%1 = ?").arg(column);
    } else {
        condition = m_connection->valOf(column) + QStringLiteral(" = ?");
    }
    const QVariant value = wanted.comparison == criteria::Comparison::Text ? QVariant(wanted.text) : wanted.number;

    return move(Action::Find,
                [this, condition, value](const Position& from, const Written& written) -> Expected<Position> {
                    QSqlQuery find(m_connection->database());
                    find.setForwardOnly(true);
                    const QString key = m_connection->rowKey();
                    if (!find.prepare(selectFrom(m_table, key)
                                      + QStringLiteral(" WHERE %1 ORDER BY %2 LIMIT 1").arg(condition, key)))
                        return engineFailure(QStringLiteral("Cannot search"), find);
                    find.bindValue(0, value);
                    Expected<Position> found = fetch(find, from);
                    if (found && found->place != Place::OnRow) {
                        // Nothing matched: no current record, past the end; the table itself is as it was.
                        Position missed = from;
                        missed.place = Place::AfterLast;
                        missed.anchor.reset();
                        missed.row.clear();
                        missed.empty = from.empty && !written.added;
                        return missed;
                    }
                    return found;
                });
}

Status Recordset::addNew()
{
    return move(
        Action::AddNew, [this](const Position& from, const Written& written) { return reread(from, written); },
        EditState::Adding);
}

Status Recordset::edit()
{
    if (!m_open)
        return notOpen();
    if (m_state == EditState::Adding)
        return {}; // the new record stays pending
    if (!hasCurrentRecord())
        return Status::failure(noCurrentRecord);
    m_state = EditState::Editing;
    return {};
}

Status Recordset::update()
{
    if (!m_open)
        return notOpen();
    if (!hasCurrentRecord() && m_state != EditState::Adding)
        return Status::failure(noCurrentRecord);
    return move(Action::Update, [this](const Position& from, const Written& written) { return reread(from, written); });
}

void Recordset::cancelUpdate()
{
    if (m_open)
        settle(m_position, EditState::Browsing);
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

QString Recordset::text(const QString& column) const
{
    if (m_state == EditState::Adding || !hasCurrentRecord())
        return {};
    const int index = m_table.indexOf(column);
    return index < 0 ? QString() : values::shown(m_position.row.value(index));
}

Status Recordset::move(Action action, const Locate& locate, EditState after)
{
    if (!m_open)
        return notOpen();
    raiseValidate(action);
    const QList<FieldInput> input = pendingInput();
    if (Status reached = reach(input.isEmpty() ? QStringLiteral("Cannot read") : QStringLiteral("Cannot save to"));
        !reached)
        return reached;
    WriteTransaction transaction(*m_connection);
    Written written;
    if (!input.isEmpty()) {
        if (Status begun = transaction.begin(QStringLiteral("Cannot save to")); !begun)
            return begun;
        Expected<Written> stored = writePending(input);
        if (!stored)
            return stored.status();
        written = stored.value();
    }
    Expected<Position> next = locate(m_position, written);
    if (!next)
        return next.status();
    if (Status committed = transaction.commit(QStringLiteral("Cannot save to")); !committed)
        return committed;
    if (!input.isEmpty() && m_binding)
        m_binding->clearChanged();
    // A find that matched nothing leaves the fields showing the record that was current before.
    const bool missed = action == Action::Find && next->place == Place::AfterLast;
    settle(next.value(), after, !missed);
    return {};
}

void Recordset::raiseValidate(Action action) const
{
    if (m_binding && (hasCurrentRecord() || m_state == EditState::Adding))
        m_binding->notifyValidate(action, !pendingInput().isEmpty());
}

QList<FieldInput> Recordset::pendingInput() const
{
    return m_binding ? m_binding->changedFields() : QList<FieldInput>();
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

Expected<Recordset::Position> Recordset::fetch(QSqlQuery& query, const Position& from) const
{
    if (!query.exec())
        return engineFailure(QStringLiteral("Cannot read"), query);
    Position position = from;
    if (query.next()) {
        position.place = Place::OnRow;
        position.anchor = query.value(0).toLongLong();
        position.row.clear();
        for (int i = 1; i <= m_table.columns.size(); ++i)
            position.row.append(query.isNull(i) ? QVariant() : query.value(i));
        position.empty = false;
    } else {
        // Only an empty table answers a move with no row.
        position = Position();
    }
    query.finish();
    return position;
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

Status Recordset::prepare()
{
    auto statements = std::make_unique<Statements>(m_connection->database());
    const QString key = m_connection->rowKey();
    const QString select = selectFrom(m_table, key);
    const auto byKey = select + QStringLiteral(" WHERE %1 = ?").arg(key);
    // "%1" is the select, "%2" the key.
    const auto stated = [&](const char* statement) {
        return QString::fromLatin1(statement).arg(select, key);
    };
    const std::pair<QSqlQuery*, QString> all[] = {
        {&statements->byRowid, byKey},
        {&statements->lockRow, byKey + m_connection->lockingRead()},
        {&statements->first, stated("%1 ORDER BY %2 LIMIT 1")},
        {&statements->last, stated("%1 ORDER BY %2 DESC LIMIT 1")},
        {&statements->next, stated("SELECT * FROM (%1 WHERE %2 > ? ORDER BY %2 LIMIT 1) AS after UNION ALL "
                                   "SELECT * FROM (%1 WHERE %2 <= ? ORDER BY %2 DESC LIMIT 1) AS here LIMIT 1")},
        {&statements->previous, stated("SELECT * FROM (%1 WHERE %2 < ? ORDER BY %2 DESC LIMIT 1) AS before UNION ALL "
                                       "SELECT * FROM (%1 WHERE %2 >= ? ORDER BY %2 LIMIT 1) AS here LIMIT 1")},
        {&statements->exists, QStringLiteral("SELECT EXISTS (SELECT 1 FROM %1)").arg(schema::quoted(m_table.name))},
    };
    for (const auto& [query, statement] : all) {
        query->setForwardOnly(true);
        if (!query->prepare(statement))
            return engineFailure(QStringLiteral("Cannot open"), *query);
    }
    m_statements = std::move(statements);
    m_history->reset();
    return {};
}

Status Recordset::reach(const QString& doing)
{
    // A file moved away, or a server connection lost: a file is refused, a server connection made again, with
    // the statements prepared anew.
    if (Status reached = m_connection->checkReachable(doing); !reached)
        return reached;
    if (m_connection->takeReconnected())
        return prepare();
    return {};
}

Status Recordset::engineFailure(const QString& doing, const QSqlQuery& query) const
{
    return m_connection->failure(doing, query.lastError());
}

Status Recordset::notOpen() const
{
    return Status::failure(QStringLiteral("The register is not open."));
}

void Recordset::settle(Position position, EditState state, bool refill)
{
    m_position = std::move(position);
    m_state = state;
    if (m_binding && refill)
        m_binding->fill();
}
