#pragma once

#include <QList>
#include <QString>
#include <QStringView>

// The register's tables as data: the one source for creating a register, checking a file, converting typed values
// and building searches.
namespace schema {

// What the windows show of a column: searched as text, searched as a number, a small code, a date, or nothing.
enum class Kind { Text, Number, Code, Date, Open };
// How a column's value is stored.
enum class Storage { Integer, Text, Date };

struct Column {
    QString name;
    QString caption; // the label beside the column's field, used in messages
    Kind kind;
    Storage storage;
};

struct Table {
    QString name;
    QList<Column> columns;

    const Column* column(QStringView name) const;
    int indexOf(QStringView name) const;
    // The column that numbers a record (stock_no, stockholder_no): the first. With the row key it tells that a
    // row still holds the record a window read.
    const Column& numberColumn() const { return columns.first(); }
};

// The clerks' three tables, which the windows show, export writes and import reads.
const QList<Table>& tables();
// The tables a register gained after the three: the company's details and the cancelled certificates. A register
// made before them lacks them and still works, reading a missing one as empty.
const QList<Table>& addedTables();
// Every table a register carries: the three, then the added ones. What creates, copies, backs up or keeps the
// history of a register goes through these.
const QList<Table>& everyTable();
// Any of everyTable() by name.
const Table* table(QStringView name);

inline const QString companyTable = QStringLiteral("velmora_company");
inline const QString cancelledTable = QStringLiteral("velmora_cancelled");

// An identifier as SQL text; names come only from this schema.
QString quoted(const QString& identifier);

} // namespace schema
