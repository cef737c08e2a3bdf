#pragma once

#include "status.h"

#include <QString>
#include <QVariant>

#include <optional>

class Connection;

// A certificate transferred to another shareholder in one write transaction: the transfer recorded, the
// certificate's present holder set and both holders' totals moved, with a history entry for each row written.
// Nothing is written unless the register holds together where the transfer touches it. A split transfers part of
// the certificate's shares: it is cancelled, and two certificates are issued in its place.
namespace sharetransfer {

struct Request {
    QString certificate; // its number, as typed
    qint64 holder = 0;   // the new holder's shareholder number
    QString date;        // YYYY-MM-DD
    // A split: these shares go to the holder on a new certificate, the rest stay with the seller on a balance
    // certificate, and the certificate is cancelled.
    std::optional<qint64> shares;
    QString balance; // the new certificates' numbers
    QString issued;
};

struct Outcome {
    QString refused;      // why nothing was written; empty once the transfer is stored
    QVariant certificate; // its number, as stored
    qint64 shares = 0;
    qint64 from = 0;
    qint64 to = 0;
    qint64 fromTotal = 0; // the holders' totals afterwards
    qint64 toTotal = 0;
    qint64 balanceShares = 0; // on the balance certificate, of a split
};

// A failure is the engine's; a refusal leaves the register as it was.
Expected<Outcome> record(const Connection& connection, const Request& request);

} // namespace sharetransfer
