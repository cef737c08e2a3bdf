#pragma once

#include "status.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QVariant>

#include <optional>

class Connection;

// Who held which certificates on a day: the one rule every list by date reads. A certificate counts from its
// publish date (an undated one always). Its holder on the day is the new holder of its last transfer dated on or
// before it, in the check's order of transfers (by date, then record order, an undated transfer first); without
// such a transfer, its original holder, or else its present holder. A cancelled certificate counts up to the day
// before its cancellation. With no day, the register as it stands today: every certificate with its present holder.
namespace heldon {

// SQL for a table of the certificates counted on the day: stock_no, stock_type, publish_date, item_code,
// stock_qty, k (the row key), n (the whole number of the shareholder who held it then; NULL where it names none)
// and h (that holder as stored).
QString certificates(const Connection& connection, const std::optional<QDate>& on);
// SQL, true where a date column's day is on or before the day given, or it has none: a record in effect then.
QString onOrBefore(const QString& column, const QDate& date);

// One shareholder's holding: the number the certificates name, and their record where there is one.
struct Holder {
    std::optional<qint64> number; // none where the holder names no number
    bool known = false;           // a shareholder record has the number
    QString name;
    QString address1;
    QString address2;
    qint64 shares = 0;
    qint64 certificates = 0;
    qint64 leftOut = 0; // certificates whose quantity is no whole number of shares, not in shares
};

struct Holdings {
    QList<Holder> holders; // holding shares or certificates, by number, those that name none last
    qint64 shares = 0;     // all shares counted, the total the percentages are of
    qint64 certificates = 0;
};

// The holder's name as lists show it, or why there is none.
QString nameOf(const Holder& holder);
// The holder's number as lists show it: empty where the certificates name none.
QVariant numberOf(const Holder& holder);

// Every holder on the day, in the caller's read transaction.
Expected<Holdings> holdings(const Connection& connection, const std::optional<QDate>& on);

} // namespace heldon
