#pragma once

#include <QList>
#include <QString>
#include <QStringView>

// The register's three tables as data: the one source for creating a register, checking a file,
// converting typed values and building searches.
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

const QList<Table>& tables();
const Table* table(QStringView name);

// An identifier as SQL text; names come only from this schema.
QString quoted(const QString& identifier);

} // namespace schema
