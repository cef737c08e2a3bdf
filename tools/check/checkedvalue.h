#pragma once

#include "registercheck.h"
#include "values.h"

#include <QVariant>

#include <optional>

// How the register check reads and names one stored value, whatever the engine kept: a number column may hold a text, a
// date column a number, any column a blank. The SQL here only lets through what may be wrong; the judging is
// done on each value that comes back.
namespace checkedvalue {

// A number column's value, by the one rule for the whole number a value names.
using Number = values::WholeNumber;

bool blank(const QVariant& value);
// A value as a finding shows it: a number as it is, a text in quotes.
QString quoted(const QVariant& value);

using Problems = QList<std::pair<registercheck::Kind, QString>>;
// A code that is neither low nor low + 1; the hint names the two.
void judgeCode(Problems& problems, const QVariant& value, const QString& what, qint64 low, const QString& hint);
// A date that is not a real one written YYYY-MM-DD.
void judgeDate(Problems& problems, const QVariant& value, const QString& what);
// A holder that is no shareholder, or no shareholder's number; numbers are the shareholders' own.
void judgeHolder(Problems& problems, const QVariant& value, const QString& what, const QSet<qint64>& numbers);
// Why a quantity is left out of its holder's total, so that no total is set from it: one that is no whole
// number, below zero or too large. None for a whole number of shares, nor for none at all.
std::optional<QString> quantityProblem(const QVariant& value);
// Why a quantity that counts is still wanting: none for a positive number of shares.
std::optional<QString> quantityWanting(const QVariant& value);
// Whether two holder values name the same shareholder, or the same nothing.
bool sameHolder(const Number& a, const QVariant& aStored, const Number& b, const QVariant& bStored);

// How findings name a record: by its number, and by its record too where the number is not enough.
QString certificateName(const QVariant& number, qint64 rowKey, bool repeated);
QString holderName(const QVariant& stored, const Number& number, qint64 rowKey, bool repeated);
QString transferName(const QVariant& number, qint64 rowKey);

// SQL, true for a quantity the engine may sum as it is: a whole number as stored, from one to a million million.
QString countedQuantity(const QString& column);
// SQL ordering one certificate's transfers from the one that took effect last: by date, then record order (key),
// an undated transfer coming before every dated one. The one order in which transfers take effect.
QString latestTransferFirst(const QString& key);
// SQL, true for a certificate whose number column names one cancelled, on or before the day when one is given;
// never where the register keeps no cancelled certificates.
QString cancelled(bool kept, const QString& column, const QString& day = {});
// SQL, true for a value in a date column that may not be a real date; never for NULL or an empty text.
QString doubtfulDate(const Connection& connection, const QString& column);

} // namespace checkedvalue
