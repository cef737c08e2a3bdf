#pragma once

#include "status.h"

class QSqlDatabase;

// What the register's searches need from SQLite beyond its own functions.
namespace sqlitefunctions {

// Text equality that ignores letter case in every script (é equals É) and blanks before and after the text,
// but not blanks inside it.
inline constexpr char textCollation[] = "VELMORA_TEXT";
// val() of a value, for numeric searches on columns that hold text.
inline constexpr char valFunction[] = "velmora_val";
// The whole number a value names (values::wholeNumber), NULL for none: for joining and grouping by holder.
inline constexpr char wholeFunction[] = "velmora_whole";

Status install(const QSqlDatabase& database);

// Whether the open file has been deleted, moved or replaced by another file since it was opened: the
// connection would then go on reading and writing a file that is no longer the register.
bool fileHasMoved(const QSqlDatabase& database);

// Waits up to about ms for another connection's lock, trying again every millisecond rather than backing off, so
// that it finds the moments between another's saves however closely they follow each other.
void waitOften(const QSqlDatabase& database, int ms);

// Copies every page of the database from into to, an empty file, in one step. Inside a read transaction on
// from, that transaction's moment is what is copied; the failure names the engine's reason.
Status backup(const QSqlDatabase& from, const QSqlDatabase& to);

} // namespace sqlitefunctions
