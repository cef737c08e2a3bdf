#pragma once

#include "status.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

class Connection;

// Whether a register holds together: totals, holders that exist, transfers that lead to the present holder,
// unique numbers, real dates and codes within their hints, cancelled certificates that nobody holds, and on a
// server, that the server writes the history. A cancelled certificate counts in no total from the day it was
// cancelled, and its transfers end there. It
// reads the whole register once, in the caller's read transaction, and never writes.
namespace registercheck {

enum class Kind { Total, Holder, Transfer, Chain, Duplicate, Unnumbered, Date, Code, History, Cancelled };

struct Finding {
    Kind kind;
    QString table; // the table of the record found wanting
    qint64 rowKey = 0;
    QString record;               // its number, as shown
    QString text;                 // one line, naming the record and what is wrong
    std::optional<qint64> holder; // the shareholder it concerns, where one does
};

// Every finding, in table order, then record order.
Expected<QList<Finding>> run(const Connection& connection);

// A shareholder record whose total share differs from what it holds now, as --fix-totals would set it.
struct Total {
    qint64 rowKey = 0;
    QVariant number; // stockholder_no, as stored
    qint64 holder = 0;
    QVariant stored;  // total_share, as stored
    qint64 held = 0;  // the sum of stock_qty over the certificates it holds now
    QString withheld; // why it may not be set, where it may not
};

// The same, and the totals that differ, for setting them.
Expected<QList<Finding>> run(const Connection& connection, QList<Total>* totals);

// What each shareholder holds now: the sum of stock_qty over the certificates whose present holder they are.
// A holder one of whose quantities is not a whole number of shares is unknown instead. A present holder that
// names no whole number may be anyone's, so while there is one, no total is known for certain.
struct Holdings {
    QHash<qint64, qint64> held;
    QSet<qint64> unknown;
    QStringList unreadable; // such present holders, as findings show them
};
Expected<Holdings> holdings(const Connection& connection);

// Why no total may be set from these holdings; none when totals may be set.
std::optional<QString> withheld(const Holdings& holdings);

} // namespace registercheck
