#pragma once

#include "schema.h"
#include "status.h"

#include <QVariant>

class QSqlQuery;

// Typed text to stored value and back, by how a column is stored.
namespace values {

// The value to store for what the clerk typed: a whole number, a YYYY-MM-DD date, or the text as typed.
// An empty text stores no value (NULL). A refusal names the field's caption and the expected form.
Expected<QVariant> toStored(const schema::Column& column, const QString& typed);

// What a field shows for a stored value; no value shows as an empty text.
QString shown(const QVariant& stored);

// A column of the query's current row as stored: no value as a null, a whole number as a qint64 whatever
// integer type the driver hands it back as (a server's, unsigned).
QVariant read(const QSqlQuery& query, int column);

} // namespace values
