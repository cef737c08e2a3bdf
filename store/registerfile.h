#pragma once

#include "status.h"

#include <QString>

#include <functional>

class QSqlDatabase;

namespace registerfile {

// Words a refusal of the path, given the path and the reason.
using Refused = std::function<Status(const QString& path, const QString& reason)>;

// Creates a register at path with the three tables and a history, and lets fill add rows in the same
// transaction; the history starts with one entry per row filled in, with the action given. source is what the
// rows are read from (a register or an Access file), or empty; the register is made as build() makes a file.
// Refuses an empty path, a folder and a file that exists; on any failure no file is left behind. In a folder
// shared by a group (set-group-ID), the group may write to the register too.
Status create(const QString& path, const std::function<Status(QSqlDatabase&)>& fill = {},
              const QString& action = QStringLiteral("add"), const QString& source = {});

// Makes a file at path from source (a register file or server, an Access file, or empty for none) under a
// hidden name beside it: make fills the empty file it is given, and the file is moved into place only when make
// succeeds. Through a link, the file at the link's end is made and the link stays. A folder is refused, and so
// is the source or a journal file of it; a file that exists is refused unless replace is given, and then the
// rename puts the new file over it in one step. The hidden file is 0600 from its creation until, whole, it takes
// the source's read and write bits (0600 from a server; with no source those of any new file), never more than
// the file it replaces; in a folder shared by a group (set-group-ID), the group may write where it may read. On
// any failure or interrupt no file is left behind and the one at path is left as it is.
Status build(const QString& path, const QString& source, bool replace,
             const std::function<Status(const QString& building)>& make, const Refused& refused);

// Refuses a path that leads, by any spelling or link, to the register file source or a journal file SQLite keeps
// beside it (-journal, -wal, -shm): nothing is ever written over the register it is made from.
Status refuseSource(const QString& path, const QString& source, const Refused& refused);

} // namespace registerfile
