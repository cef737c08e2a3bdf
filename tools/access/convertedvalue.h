#pragma once

#include "accesssource.h"
#include "schema.h"

#include <QString>
#include <QVariant>

namespace importer {

// A value to store, and what the clerk should be told about it; no note when it went over as it was.
struct Converted {
    QVariant stored;
    QString note;
};

// An Access value of type from as a column stored as to keeps it: dates from the day count, whole numbers where
// they fit, and anything else kept exactly, with a note. No value stays no value.
Converted convert(const QVariant& value, jet::Type from, schema::Storage to);

} // namespace importer
