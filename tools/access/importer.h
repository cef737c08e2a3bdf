#pragma once

#include "accesssource.h"
#include "status.h"

#include <QStringList>

// Copies the register tables of an Access-format file into a new register, row for row in stored order.
namespace importer {

// What happened to one of our tables.
struct TableReport {
    QString table;       // ours: stock_data, stockholder or transfer_data
    QString found;       // the Access table it was read from; empty when the file has none
    qint64 read = 0;     // rows read from the Access table
    qint64 written = 0;  // rows written to the new register
    QStringList matched; // our columns found in the Access table
    QStringList missing; // our columns the Access table lacks (left empty)
    QStringList skipped; // the Access table's columns we have no place for
    QStringList notes;   // values kept as they are, or changed, with the reason: "row 3, stock_qty: ..."
};

struct Report {
    QList<TableReport> tables;
    bool kept = false; // the new register was written and kept
    // The register was kept, with every table there and every row read written.
    bool complete() const;
};

// Creates the register at registerPath (refusing a file that exists, and the Access file at sourcePath) and copies
// the three tables into it in one transaction. When a table is missing or anything fails, no register file is left
// behind; the report still says what was found.
Report import(const jet::Source& source, const QString& registerPath, Status& status, const QString& sourcePath = {});

// One line for the summary: rows read and written, columns matched, missing and skipped, values reported.
QString summary(const TableReport& table);

} // namespace importer
