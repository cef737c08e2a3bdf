#include "checkedvalue.h"

#include "connection.h"
#include "schema.h"
#include "values.h"

#include <QDate>
#include <QRegularExpression>

namespace checkedvalue {

namespace {

constexpr qint64 mostShares = 1000000000000; // a million million: more is no count of shares

bool realDate(const QString& text)
{
    static const QRegularExpression form(QStringLiteral("^([0-9]{4})-([0-9]{2})-([0-9]{2})$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return false;
    const QDate day(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
    return day.isValid() && day.year() >= 1;
}

} // namespace

bool blank(const QVariant& value)
{
    return value.isNull() || (value.typeId() == QMetaType::QString && value.toString().trimmed().isEmpty());
}

QString quoted(const QVariant& value)
{
    const QString shown = values::shown(value);
    const bool text = value.typeId() == QMetaType::QString || value.typeId() == QMetaType::QByteArray;
    return text ? QLatin1Char('"') + shown + QLatin1Char('"') : shown;
}

void judgeCode(Problems& problems, const QVariant& value, const QString& what, qint64 low, const QString& hint)
{
    const Number code = values::wholeNumber(value);
    if (code.form == Number::Blank || (code.form == Number::Whole && (code.value == low || code.value == low + 1)))
        return;
    problems.append({registercheck::Kind::Code,
                     QStringLiteral("%1 %2 is not one of its codes, %3.").arg(what, quoted(value), hint)});
}

void judgeDate(Problems& problems, const QVariant& value, const QString& what)
{
    if (blank(value) || (value.typeId() == QMetaType::QString && realDate(value.toString())))
        return;
    problems.append(
        {registercheck::Kind::Date, QStringLiteral("%1 %2 is not a real date (YYYY-MM-DD).").arg(what, quoted(value))});
}

void judgeHolder(Problems& problems, const QVariant& value, const QString& what, const QSet<qint64>& numbers)
{
    const Number holder = values::wholeNumber(value);
    if (holder.form == Number::Whole && !numbers.contains(holder.value))
        problems.append(
            {registercheck::Kind::Holder, QStringLiteral("%1 %2 is not a shareholder.").arg(what, quoted(value))});
    else if (holder.form == Number::Odd)
        problems.append({registercheck::Kind::Holder,
                         QStringLiteral("%1 %2 is not a shareholder number.").arg(what, quoted(value))});
}

std::optional<QString> quantityProblem(const QVariant& value)
{
    const Number quantity = values::wholeNumber(value);
    if (quantity.form == Number::Odd)
        return QStringLiteral("stock qty %1 is not a whole number").arg(quoted(value));
    if (quantity.form == Number::Whole && quantity.value < 0)
        return QStringLiteral("stock qty %1 is below zero").arg(quoted(value));
    if (quantity.form == Number::Whole && quantity.value > mostShares)
        return QStringLiteral("stock qty %1 is more than a million million").arg(quoted(value));
    return std::nullopt;
}

std::optional<QString> quantityWanting(const QVariant& value)
{
    const Number quantity = values::wholeNumber(value);
    if (quantity.form == Number::Whole && quantity.value == 0)
        return QStringLiteral("stock qty %1 is no shares").arg(quoted(value));
    return std::nullopt;
}

bool sameHolder(const Number& a, const QVariant& aStored, const Number& b, const QVariant& bStored)
{
    if (a.form != b.form)
        return false;
    if (a.form == Number::Whole)
        return a.value == b.value;
    return a.form == Number::Blank || values::shown(aStored) == values::shown(bStored);
}

QString certificateName(const QVariant& number, qint64 rowKey, bool repeated)
{
    if (blank(number))
        return QStringLiteral("Certificate without a number (record %1)").arg(rowKey);
    const QString name = QStringLiteral("Certificate %1").arg(values::shown(number));
    return repeated ? name + QStringLiteral(" (record %1)").arg(rowKey) : name;
}

QString holderName(const QVariant& stored, const Number& number, qint64 rowKey, bool repeated)
{
    if (number.form == Number::Blank)
        return QStringLiteral("Shareholder without a number (record %1)").arg(rowKey);
    const QString name = QStringLiteral("Shareholder %1").arg(quoted(stored));
    return repeated || number.form == Number::Odd ? name + QStringLiteral(" (record %1)").arg(rowKey) : name;
}

QString transferName(const QVariant& number, qint64 rowKey)
{
    return blank(number) ? QStringLiteral("Transfer without a certificate number (record %1)").arg(rowKey)
                         : QStringLiteral("Transfer of %1 (record %2)").arg(values::shown(number)).arg(rowKey);
}

QString countedQuantity(const QString& column)
{
    return QStringLiteral("(%1 = CAST(%1 AS BIGINT) AND %1 BETWEEN 1 AND %2)").arg(column).arg(mostShares);
}

QString latestTransferFirst(const QString& key)
{
    return QStringLiteral("CASE WHEN transferred_date IS NULL OR transferred_date = '' THEN 0 ELSE 1 END DESC, "
                          "transferred_date DESC, %1 DESC")
        .arg(key);
}

QString cancelled(bool kept, const QString& column, const QString& day)
{
    if (!kept)
        return QStringLiteral("(1 = 0)");
    // The day is a date the program wrote, YYYY-MM-DD.
    const QString until = day.isEmpty() ? QString() : QStringLiteral(" AND gone.cancelled_date <= '%1'").arg(day);
    return QStringLiteral("EXISTS (SELECT 1 FROM %1 gone WHERE gone.stock_no = %2%3)")
        .arg(schema::cancelledTable, column, until);
}

QString doubtfulDate(const Connection& connection, const QString& column)
{
    const QString month = QStringLiteral("substr(%1, 6, 2)").arg(column);
    const QString day = QStringLiteral("substr(%1, 9, 2)").arg(column);
    // Written as a date, in a month of the year, on a day every such month has; February 29 is judged one by one.
    return QStringLiteral("(%1 IS NOT NULL AND %1 <> '' AND NOT (%2 AND substr(%1, 1, 4) <> '0000' AND %3 BETWEEN '01' "
                          "AND '12' AND (%4 BETWEEN '01' AND '28' OR (%4 IN ('29', '30') AND %3 <> '02') OR (%4 = '31' "
                          "AND %3 IN ('01', '03', '05', '07', '08', '10', '12')))))")
        .arg(column, connection.writtenAsDate(column), month, day);
}

} // namespace checkedvalue
