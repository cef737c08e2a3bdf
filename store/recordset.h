#pragma once

#include "recordbinding.h"
#include "schema.h"
#include "status.h"

#include <QVariantList>

#include <functional>
#include <memory>
#include <optional>

class Connection;
class HistoryLog;
class QSqlQuery;

// A record set's place for the current record: its row key (SQLite's rowid, or a server table's row_id).
using Bookmark = qint64;

enum class EditState { Browsing, Editing, Adding };

// The rows of one register table in rowid order, with one current record. Only the current record is held in
// memory; every move, open and find is one indexed query. Every operation either succeeds or leaves the position,
// the edit state, the fields and the table exactly as they were; a failure comes back with the reason.
class Recordset {
public:
    Recordset(std::unique_ptr<Connection> connection, const schema::Table& table, RecordBinding* binding = nullptr);
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    // Checks the table and its columns, then makes the first row current.
    Status open();
    // Raises the validate notification (unload), stores pending input, and closes. On a failure it stays open.
    Status close();
    bool isOpen() const { return m_open; }

    bool isBOF() const;
    bool isEOF() const;
    bool hasCurrentRecord() const;
    EditState editState() const { return m_state; }

    Expected<Bookmark> bookmark() const;
    Status setBookmark(Bookmark bookmark);
    Status moveFirst();
    Status movePrevious();
    Status moveNext();
    Status moveLast();
    Status findFirst(const QString& criteria);

    Status addNew();
    Status edit();
    Status update();
    void cancelUpdate();
    Status deleteRecord();

    // What a bound field shows for a column of the current record: empty with no current record and while a new
    // record is pending.
    QString text(const QString& column) const;
    const schema::Table& table() const { return m_table; }
    const Connection& connection() const { return *m_connection; }

private:
    enum class Place { OnRow, AfterLast, NoRow };
    struct Position {
        Place place = Place::NoRow;
        std::optional<qint64> anchor; // the current record's rowid, or the one just deleted
        QVariantList row;             // the current record's stored values, as the clerk has seen them
        bool empty = true;
    };
    // What the pending input became: the new record's rowid when one was added; whether anything was stored.
    struct Written {
        std::optional<qint64> added;
        bool stored = false;
    };
    struct Statements;
    using Locate = std::function<Expected<Position>(const Position& from, const Written& written)>;

    Status move(Action action, const Locate& locate, EditState after = EditState::Browsing);
    Status navigate(Action action, QSqlQuery Statements::*query);
    void raiseValidate(Action action) const;
    QList<FieldInput> pendingInput() const;
    Expected<Written> writePending(const QList<FieldInput>& input);
    Expected<std::optional<QVariantList>> storedNow() const;
    Status refuseConflicts(const QList<FieldInput>& input, const QVariantList& typed, const QVariantList& now);
    Expected<Position> fetch(QSqlQuery& query, const Position& from) const;
    Expected<Position> reread(const Position& from, const Written& written);
    Status prepare();
    Status reach(const QString& doing);
    Status engineFailure(const QString& doing, const QSqlQuery& query) const;
    Status notOpen() const;
    void settle(Position position, EditState state, bool refill = true);

    std::unique_ptr<Connection> m_connection;
    const schema::Table& m_table;
    RecordBinding* m_binding = nullptr;
    std::unique_ptr<Statements> m_statements;
    std::unique_ptr<HistoryLog> m_history;
    Position m_position;
    EditState m_state = EditState::Browsing;
    bool m_open = false;
};
