#pragma once

#include "registercontents.h"
#include "status.h"

#include <QString>

#include <optional>

// A register copied, as it was at one moment, into a new register file while clerks go on saving; and such a copy
// put back in a register file's place.
namespace registerbackup {

// Copies the register at location (a file or a server) into a new file at path, as it is at one moment: a file
// page for page, a server's tables and history row by row, each row key kept as the file's. The copy is made
// under a hidden name and moved into place only once its integrity check passes and each table holds the rows
// the register held at that moment; with replace, over the file there. Gives the three tables' rows, and the
// history's when the register keeps one.
Expected<QList<registercontents::Counted>> write(const QString& location, const QString& path, bool replace);

// Whether the register file at path is an earlier backup of the register at location: its history the beginning
// of the register's, seal for seal. One whose history is empty only when it holds no rows either; one that keeps
// no history never.
Expected<bool> isEarlierBackup(const QString& location, const QString& path);

struct Restored {
    QList<registercontents::Counted> rows;          // the backup's, now the register's
    bool replaced = false;                          // a file was at the register's place
    std::optional<registercontents::Held> previous; // what it held, when it was a register
    QString keptAs;                                 // where the file replaced is kept
};

// Puts the register file backup in place of the register file at path (where a link there leads), once the
// backup is found whole: SQLite's integrity check passes and its history, when it keeps one, is intact. The
// register there is kept beside it as NAME.before-restore-<UTC time>, a second name of the same file, so with its
// mode and group; clerks' saves are held off by its write lock meanwhile, and a save under way makes this refuse.
// The backup's content is made under a hidden name and moved into place in one step; on any failure the register
// is left as it was and nothing is kept beside it.
Expected<Restored> restore(const QString& backup, const QString& path);

} // namespace registerbackup
