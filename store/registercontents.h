#pragma once

#include "history.h"
#include "status.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class Connection;

// What a register holds, as a backup counts it and names a file it would go over: its tables, each table's rows,
// and its newest change.
namespace registercontents {

struct Counted {
    QString table;
    qint64 rows = 0;
};

// What a register file holds, as a backup over it or a restore in its place names it.
struct Held {
    QList<Counted> rows;                  // each table's rows, and the history's when it keeps one
    std::optional<history::Entry> newest; // its newest change, when its history holds one
};

// What the file at path holds; none when no file is there, or a file that is no register: one that is not an
// SQLite database, or one without any of the three tables.
Expected<std::optional<Held>> held(const QString& path);

// The tables a backup holds: the three, the added ones the register holds, and the history when it keeps one.
Expected<QStringList> tablesOf(const Connection& connection);
// Each table's rows, as the transaction under way sees them.
Expected<QList<Counted>> countRows(const Connection& connection, const QStringList& tables);
// What the register holds, in the transaction under way; none when it holds none of the three tables.
Expected<std::optional<Held>> heldIn(const Connection& connection);

} // namespace registercontents
