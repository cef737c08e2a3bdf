#pragma once

#include "history.h"

#include <QDateTime>

#include <optional>

class QTextStream;
namespace schema {
struct Table;
}

// What velmora-register history shows of a register's history: the entries asked for, as a table for reading or
// as CSV, one line per changed field.
namespace historyview {

struct Filter {
    const schema::Table* table = nullptr; // only this table's changes
    QString record;                       // only the records whose number was ever this
    std::optional<QDateTime> since;       // only the changes made at this time or later
};

// The time --since gives: a day, from its start, or a time; a time without a zone is UTC, as the history shows
// it. Empty when the text is neither.
std::optional<QDateTime> sinceTime(const QString& text);

// The entries that pass the filter, in order. A record is followed by its table and row key, so a record whose
// number changed is still followed; a delete ends it, since a file may give its row key to the next record added.
QList<history::Entry> selected(const QList<history::Entry>& entries, const Filter& filter);

// A table newest last: number, time, clerk, table, record and action, and under each, its changes.
void printTable(const QList<history::Entry>& entries, QTextStream& out);
// One change on one line, to name a register by its newest: when, by whom, its number, action, table and record.
QString lastChange(const history::Entry& entry);
// CSV with a header row, one line per changed field, with the spreadsheet formula guard of export.
void printCsv(const QList<history::Entry>& entries, QTextStream& out);

} // namespace historyview
