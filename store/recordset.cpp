#include "recordset.h"

#include "connection.h"
#include "criteria.h"
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

QString selectFrom(const schema::Table& table, const QString& key)
{
    QStringList columns{key};
    for (const schema::Column& column : table.columns)
        columns.append(schema::quoted(column.name));
    return QStringLiteral("SELECT %1 FROM %2").arg(columns.join(QLatin1String(", ")), schema::quoted(table.name));
}

} // namespace

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
    // A clerk's window reads one row at a time: it never waits long for the server.
    if (Status bounded = m_connection->boundEachStatement(QStringLiteral("Cannot open")); !bounded)
        return bounded;
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

void Recordset::cancelUpdate()
{
    if (m_open)
        settle(m_position, EditState::Browsing);
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
