#pragma once

#include "status.h"

class QSqlDatabase;

// What the register's searches need from SQLite beyond its own functions.
namespace sqlitefunctions {

// Text equality that ignores letter case in every script (é equals É) and counts blanks.
inline constexpr char textCollation[] = "VELMORA_TEXT";
// val() of a value, for numeric searches on columns that hold text.
inline constexpr char valFunction[] = "velmora_val";

Status install(const QSqlDatabase& database);

} // namespace sqlitefunctions
