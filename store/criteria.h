#pragma once

#include "schema.h"
#include "status.h"

#include <QVariant>

// The two forms of search criteria the record windows build:
//   column = 'typed text'       the column's value, as text, equals the text (letter case ignored)
//   column = val('typed text')  the column's numeric value equals val() of the text
// The typed text is taken as it stands between the first opening and the last closing quote, so quotes
// inside it need no escaping; it is only ever bound as a query parameter.
namespace criteria {

enum class Comparison { Text, Number };

struct Criteria {
    const schema::Column* column = nullptr;
    Comparison comparison = Comparison::Text;
    QString text;    // the typed text
    QVariant number; // val() of it, for a numeric comparison
};

Expected<Criteria> parse(const QString& criteria, const schema::Table& table);

// The number written by the text's leading characters: blanks skipped, an optional sign, digits, an optional
// decimal point and digits; 0 when the text does not begin with a number. A whole number that fits comes back
// as qlonglong, anything else as double.
QVariant val(QStringView text);

} // namespace criteria
