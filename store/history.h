#pragma once

#include "status.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

#include <optional>

class Connection;

// A register's history of changes, kept in its own table when the register was made or upgraded to keep one.
// Each entry is sealed with a SHA-256 over its content and the seal of the entry before it, so an entry that was
// altered, removed, inserted or moved breaks the chain from there on.
namespace history {

inline const QString tableName = QStringLiteral("velmora_history");

// One field's value before and after; empty (null) before an add and after a delete.
struct Change {
    QString column;
    QVariant before;
    QVariant after;
};

struct Entry {
    qint64 seq = 0; // 1, 2, 3 … in the order appended
    QString at;     // UTC, ISO 8601
    QString clerk;  // the login name
    QString role;   // the database role on a server; empty for a file
    QString table;
    qint64 rowKey = 0;
    QString record;  // the record's number, as shown
    QString action;  // add, modify, delete; import, copy, upgrade for the tools
    QString changes; // the changes as stored: JSON [[column, before, after], …]
    QString previous;
    QString hash;
};

// Actions that bring a record into the history whole.
bool adds(const QString& action);

QString createStatement();
// The table's columns, in the order read() takes them.
const QStringList& columns();
QString encode(const QList<Change>& changes);
// Empty when the text is not a list of changes.
std::optional<QList<Change>> decode(const QString& changes);
QString seal(const Entry& entry);

// Whether the register keeps a history.
Expected<bool> kept(const Connection& connection);
// Every entry, in order.
Expected<QList<Entry>> read(const Connection& connection);
// Every entry in order, each handed to take as it is read, however long the history is; take's failure stops it.
Status each(const Connection& connection, const std::function<Status(const Entry&)>& take);
// The newest entry; none when the history holds none yet.
Expected<std::optional<Entry>> newest(const Connection& connection);
// Whether the history in earlier is the beginning of the one in later: its entries the first of later's, number
// for number and seal for seal. Both are read a row at a time, however long they are.
Expected<bool> begins(const Connection& earlier, const Connection& later);

struct Verdict {
    bool intact = true;
    qint64 entries = 0;
    QString lastHash;
    qint64 firstBad = 0; // the sequence number named in problem
    QString problem;
};
// Checks the chain: numbers 1, 2, 3 … without a gap, every seal right, every entry following the one before.
Verdict verify(const QList<Entry>& entries);

} // namespace history
