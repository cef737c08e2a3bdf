#pragma once

#include "status.h"

#include <QString>

#include <functional>

class QSqlDatabase;

namespace registerserver {

// Creates the three tables, each with a row key that gives record order and never repeats, and the search
// functions and indexes, and a history, on a server database that holds none of the tables; fill adds rows in
// the same transaction, and the history starts with one entry per row filled in, with the action given. On any
// failure nothing is left behind.
Status create(const QString& uri, const std::function<Status(QSqlDatabase&)>& fill = {},
              const QString& action = QStringLiteral("add"));

} // namespace registerserver
