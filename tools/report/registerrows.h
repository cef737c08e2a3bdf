#pragma once

#include "status.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>

class Connection;

// The register's rows as the certificate and the register of transfers read them, in the transaction under way.
namespace registerrows {

struct Holder {
    QString number; // as stored
    QString name;
    QString address1;
    QString address2;
};

struct Transfer {
    QString stockNo;
    QString date;
    QVariant from;
    QVariant to;
};

// Every shareholder by the whole number their number names; the first record's where numbers repeat.
Expected<QHash<qint64, Holder>> holders(const Connection& connection);
// Every transfer, by date (an undated one last, as the ledger has it), then record order.
Expected<QList<Transfer>> transfers(const Connection& connection);
// Both, read as a certificate and the register of transfers need them.
struct Ledger {
    QHash<qint64, Holder> holders;
    QList<Transfer> transfers;
};
Expected<Ledger> ledger(const Connection& connection);
// A holder number with the shareholder's name beside it, where it names one: "3 Anna Berg".
QString named(const QHash<qint64, Holder>& holders, const QVariant& holder);

} // namespace registerrows
