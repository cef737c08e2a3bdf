#pragma once

#include "status.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>

// An Access-format file (Jet 3, Jet 4 or ACE) as the importer sees it: its user tables, their columns and their
// rows in stored order. Read through libmdb in accessfile.cpp; tests stand in a source of their own.
namespace jet {

enum class Type { Boolean, Byte, Integer, LongInteger, Currency, Single, Double, DateTime, Text, Memo, Decimal, Other };

struct Column {
    QString name;
    Type type = Type::Other;
    QString typeName; // Access's own name for the type, for listings: "Text", "Long Integer", "Memo", ...
};

struct Table {
    QString name;
    QList<Column> columns;
    qint64 rows = 0;
};

// One row, a value per column in column order. No value (NULL) is an invalid QVariant; otherwise by type:
//   Text, Memo                              QString, whole (a memo is never cut short)
//   Boolean                                 qlonglong 1 or 0
//   Byte, Integer, LongInteger              qlonglong
//   Single                                  float, as stored
//   Double                                  double
//   Currency                                QString, the exact decimal with four places: "3.5000", "-12.0000"
//   Decimal                                 QString, the exact decimal with the column's scale: "1", "-0.25"
//   DateTime                                double, the stored day count from 1899-12-30 (the fraction is the time)
//   Other                                   QByteArray, the stored bytes
using Row = QList<QVariant>;

class Source {
public:
    virtual ~Source() = default;
    // "Jet 3", "Jet 4" or "ACE 12" and so on.
    virtual QString format() const = 0;
    // The user tables, not the system ones.
    virtual QList<Table> tables() const = 0;
    // Hands every row of the table to take, in stored order; stops at, and returns, the first failure.
    virtual Status readRows(const QString& table, const std::function<Status(const Row&)>& take) const = 0;
};

// Opens an Access-format file; refuses, with a message naming the path and the reason, a file that is missing,
// unreadable or not an Access database. codepage names the code page of Jet 3 text (empty: libmdb's default).
Expected<std::unique_ptr<Source>> open(const QString& path, const QString& codepage = {});

} // namespace jet
