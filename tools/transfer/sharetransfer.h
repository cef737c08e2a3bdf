#pragma once

#include "status.h"

#include <QString>
#include <QVariant>

class Connection;

// A certificate transferred to another shareholder in one write transaction: the transfer recorded, the
// certificate's present holder set and both holders' totals moved, with a history entry for each row written.
// Nothing is written unless the register holds together where the transfer touches it.
namespace sharetransfer {

struct Request {
    QString certificate; // its number, as typed
    qint64 holder = 0;   // the new holder's shareholder number
    QString date;        // YYYY-MM-DD
};

struct Outcome {
    QString refused;      // why nothing was written; empty once the transfer is stored
    QVariant certificate; // its number, as stored
    qint64 shares = 0;
    qint64 from = 0;
    qint64 to = 0;
    qint64 fromTotal = 0; // the holders' totals afterwards
    qint64 toTotal = 0;
};

// A failure is the engine's; a refusal leaves the register as it was.
Expected<Outcome> record(const Connection& connection, const Request& request);

} // namespace sharetransfer
