#pragma once

#include "status.h"

#include <QString>

class Connection;

// What a PDF's title says of the register beside its name: the company's name and number where they are set, and
// for a copy for inspection, when the register was last changed.
struct ReportHeading {
    QString company;         // empty when neither name nor number is set
    bool inspection = false; // the register of members for anyone to inspect: no personal details, no findings
    QString lastChanged;     // the newest change in the history; empty when it keeps none
};

namespace reportheading {

// Read in the transaction under way.
Expected<ReportHeading> read(const Connection& connection, bool inspection);

} // namespace reportheading
