#pragma once

#include "status.h"

#include <QList>
#include <QString>

#include <optional>

class Connection;

// Whether a register holds together: totals, holders that exist, transfers that lead to the present holder,
// unique numbers, real dates and codes within their hints. It reads the whole register once, in the caller's
// read transaction, and never writes.
namespace registercheck {

enum class Kind { Total, Holder, Transfer, Chain, Duplicate, Date, Code };

struct Finding {
    Kind kind;
    QString table;  // the table of the record found wanting
    qint64 rowKey = 0;
    QString record; // its number, as shown
    QString text;   // one line, naming the record and what is wrong
    std::optional<qint64> holder; // the shareholder it concerns, where one does
};

// Every finding, in table order, then record order.
Expected<QList<Finding>> run(const Connection& connection);

} // namespace registercheck
