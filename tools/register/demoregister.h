#pragma once

#include "status.h"

class QSqlDatabase;

// A small, realistic register to try Velmora on: shareholders with Latin and non-Latin names, the certificates
// they hold and the transfers between them, all referring to each other.
namespace demoregister {

struct Counts {
    int shareholders = 0;
    int certificates = 0;
    int transfers = 0;
};

Counts counts();
// Adds the sample rows to an open register with empty tables.
Status fill(QSqlDatabase& database);

} // namespace demoregister
