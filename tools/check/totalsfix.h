#pragma once

#include "registercheck.h"

// Sets the shareholders' totals that the check found wrong to what they hold, in one write transaction with an
// entry in the register's history for each, when it keeps one.
namespace totalsfix {

struct Skipped {
    registercheck::Total total;
    QString why;
};

struct Outcome {
    QList<registercheck::Total> set;
    QList<Skipped> skipped; // changed since the check, or withheld: left as they are
};

// Under the write lock, a total is set only while its record still holds the number and the total the check
// read, and the shareholder still holds what the check summed; any other is skipped, not overwritten. While a
// present holder names no whole number, every total is skipped.
Expected<Outcome> apply(const Connection& connection, const QList<registercheck::Total>& totals);

} // namespace totalsfix
