#pragma once

#include "status.h"

#include <QString>

#include <array>

namespace registerpath {

inline const QString fileName = QStringLiteral("stock.mdb");
// What SQLite adds to a database's path for the files it keeps beside it: journal, write-ahead log, shared memory.
inline constexpr std::array<const char*, 3> journalSuffixes{"-journal", "-wal", "-shm"};

// The register in a directory: the directory and the file name joined by exactly one separator.
QString in(const QString& directory);
// The register beside the running program.
QString besideProgram();
// Where the record windows find the register: the server that velmora.conf in the directory names, when that
// file is there; otherwise stock.mdb in the directory.
Expected<QString> locate(const QString& directory);

// Where a path leads: through a link, or a chain of links, the file at its end.
QString linkEnd(const QString& path);
// velmora-register, beside the running program, quoted for a shell.
QString tool();
// A hidden name of its own beside path, for a file made there and moved to path only when whole.
QString hiddenBeside(const QString& path);
// Safe to paste into a shell whatever the path holds: single quotes, with each ' written as '\''.
QString shellQuoted(const QString& path);
// For a path where no register is, the commands that put one where the path leads; empty when a file is there.
QString howToMake(const QString& path);

} // namespace registerpath
