#pragma once

#include "status.h"

#include <QString>
#include <QVariant>

// The register's three tables as CSV files (RFC 4180), one per table, for spreadsheets and other programs.
namespace csvexport {

// One field as written: NULL (an invalid or null QVariant) is an empty field, an empty text is "" so the two stay
// apart, integers are plain digits. A field is quoted when it holds a comma, a double quote, CR or LF, or starts
// or ends with a space or tab; inner double quotes are doubled.
QString csvField(const QVariant& value);
// One record's fields as a line, ended by CRLF.
QString csvLine(const QVariantList& values);

// What a spreadsheet shows as text instead of running it as a formula: a text that starts with = + - @, a tab or CR
// gets an apostrophe before it. Numbers are left alone, and so is a number that a number column keeps as text.
QVariant defused(const QVariant& value, bool numberColumn);

// Writes stock_data.csv, stockholder.csv and transfer_data.csv into directory, made when it is not there yet:
// UTF-8 without a BOM, CRLF line ends, a header row of the column names, then the rows in the order they were
// added. Unless raw, a text a spreadsheet would run as a formula (it starts with = + - @, a tab or CR) gets an
// apostrophe before it; numbers, and numbers a number column keeps as text, are left alone. Refuses, before
// writing anything, when one of the files exists and force is false, or is the register itself whatever force
// says. Each file is made as registerfile::build makes one, and put in place only when all three are complete.
Status exportRegister(const QString& registerPath, const QString& directory, bool force, bool raw = false);

} // namespace csvexport
