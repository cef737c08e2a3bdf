#pragma once

// What the record set's moving and reading (recordset.cpp) and its writing (recordsetwrite.cpp) share: the
// prepared statements of one open table, and the words for a record that is not there.
#include "recordset.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

namespace recordsetwords {

inline const QString noCurrentRecord = QStringLiteral("There is no current record.");
inline const QString recordGone = QStringLiteral("The record is no longer in the register.");

} // namespace recordsetwords

struct Recordset::Statements {
    explicit Statements(const QSqlDatabase& database)
        : byRowid(database)
        , first(database)
        , last(database)
        , next(database)
        , previous(database)
        , exists(database)
        , lockRow(database)
    {}

    QSqlQuery byRowid;
    QSqlQuery first;
    QSqlQuery last;
    QSqlQuery next;     // the row after an anchor, or else the last row at or before it
    QSqlQuery previous; // the row before an anchor, or else the first row at or after it
    QSqlQuery exists;
    QSqlQuery lockRow; // by rowid, held until the transaction ends
};
