#pragma once

#include "status.h"

#include <QString>

#include <functional>

class QSqlDatabase;

namespace registerfile {

// Creates a register at path with the three tables and a history, and lets fill add rows in the same
// transaction; the history starts with one entry per row filled in, with the action given.
// Refuses an empty path, a folder and a file that exists; on any failure no file is left behind. In a folder
// shared by a group (set-group-ID), the group may write to the register too.
Status create(const QString& path, const std::function<Status(QSqlDatabase&)>& fill = {},
              const QString& action = QStringLiteral("add"));

// Makes a file at path under a hidden name beside it: make fills the empty file it is given, and the file is
// moved into place only when make succeeds. A folder is refused, and so is a file that exists unless replace
// is given; then the rename puts the new file over it in one step. On any failure no file is left behind and
// the one at path is left as it is. refused words a refusal of the path, given the path and the reason.
Status build(const QString& path, bool replace, const std::function<Status(const QString& building)>& make,
             const std::function<Status(const QString& path, const QString& reason)>& refused);

} // namespace registerfile
