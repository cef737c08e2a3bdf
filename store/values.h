#pragma once

#include "schema.h"
#include "status.h"

#include <QVariant>

#include <optional>

class QSqlQuery;

// Typed text to stored value and back, by how a column is stored.
namespace values {

// The value to store for what the clerk typed: a whole number, a YYYY-MM-DD date, or the text as typed.
// An empty text stores no value (NULL). A refusal names the field's caption and the expected form.
Expected<QVariant> toStored(const schema::Column& column, const QString& typed);

// A stored value written as text for a person, the one rule every field, message, report and CSV cell uses:
// no value as an empty text, a number as its digits, bytes as the UTF-8 text they hold.
QString shown(const QVariant& stored);

// A column of the query's current row as stored: no value as a null, a whole number as a qint64 whatever
// integer type the driver hands it back as (a server's, unsigned).
QVariant read(const QSqlQuery& query, int column);

// The whole number a stored value names, the one rule for which shareholder a holder column names and what a
// number column counts: an integer; a real with no fraction; a text, or its bytes, writing a whole number, with
// blanks around it and a point and zeros after it allowed (" 7 ", "7.0"). No value or a blank text names
// nothing; anything else ("7.5", "abc", "1e3") is odd and names no number.
struct WholeNumber {
    enum Form { Blank, Whole, Odd } form = Blank;
    qint64 value = 0;

    // The number, where it names one.
    std::optional<qint64> whole() const { return form == Whole ? std::optional<qint64>(value) : std::nullopt; }
};
WholeNumber wholeNumber(const QVariant& stored);

} // namespace values
