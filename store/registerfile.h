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

} // namespace registerfile
