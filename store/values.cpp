#include "values.h"

#include <QDate>
#include <QLocale>
#include <QRegularExpression>
#include <QSqlQuery>

#include <cmath>
#include <limits>

namespace values {

namespace {

Status refusal(const schema::Column& column, const QString& typed, const QString& why)
{
    return Status::failure(QStringLiteral("%1 \"%2\" %3").arg(column.caption, typed, why), column.name);
}

Expected<QVariant> wholeNumber(const schema::Column& column, const QString& typed)
{
    // ASCII digits only: \d would take other scripts' digits too.
    static const QRegularExpression form(QStringLiteral("^[+-]?[0-9]+$"));
    const QString trimmed = typed.trimmed();
    if (trimmed.isEmpty())
        return QVariant();
    if (!form.match(trimmed).hasMatch())
        return refusal(column, typed, QStringLiteral("is not a whole number"));
    bool fits = false;
    const qlonglong number = trimmed.toLongLong(&fits);
    if (!fits)
        return refusal(column, typed, QStringLiteral("is too large a number"));
    return QVariant(number);
}

Expected<QVariant> date(const schema::Column& column, const QString& typed)
{
    // Four-digit year, then month and day of one or two digits, with the same separator between.
    static const QRegularExpression form(QStringLiteral("^([0-9]{4})([-/])([0-9]{1,2})\\2([0-9]{1,2})$"));
    const QString trimmed = typed.trimmed();
    if (trimmed.isEmpty())
        return QVariant();
    const QRegularExpressionMatch match = form.match(trimmed);
    const QDate day = match.hasMatch()
                          ? QDate(match.captured(1).toInt(), match.captured(3).toInt(), match.captured(4).toInt())
                          : QDate();
    if (!day.isValid() || day.year() < 1)
        return refusal(column, typed, QStringLiteral("is not a date; type it as YYYY-MM-DD, for example 2024-03-31"));
    return QVariant(day.toString(Qt::ISODate));
}

constexpr double wholeDoubles = 9007199254740992.0; // 2^53: beyond it a double is no exact whole number

// A text writing a whole number: ASCII digits with a sign before them, a point and zeros after them, and blanks
// around.
WholeNumber writtenNumber(QStringView text)
{
    text = text.trimmed();
    if (text.isEmpty())
        return {};
    qsizetype end = text.indexOf(QLatin1Char('.'));
    if (end < 0)
        end = text.size();
    for (qsizetype i = end + 1; i < text.size(); ++i) {
        if (text[i] != QLatin1Char('0'))
            return {WholeNumber::Odd};
    }
    const QStringView number = text.first(end);
    const qsizetype signs = number.startsWith(QLatin1Char('+')) || number.startsWith(QLatin1Char('-')) ? 1 : 0;
    if (number.size() == signs)
        return {WholeNumber::Odd};
    for (qsizetype i = signs; i < number.size(); ++i) {
        if (number[i] < QLatin1Char('0') || number[i] > QLatin1Char('9'))
            return {WholeNumber::Odd};
    }
    bool fits = false;
    const qlonglong whole = number.toLongLong(&fits);
    return fits ? WholeNumber{WholeNumber::Whole, whole} : WholeNumber{WholeNumber::Odd};
}

} // namespace

Expected<QVariant> toStored(const schema::Column& column, const QString& typed)
{
    switch (column.storage) {
    case schema::Storage::Integer:
        return wholeNumber(column, typed);
    case schema::Storage::Date:
        return date(column, typed);
    case schema::Storage::Text:
        break;
    }
    if (typed.isEmpty())
        return QVariant();
    return QVariant(typed);
}

QString shown(const QVariant& stored)
{
    if (stored.isNull())
        return {};
    switch (stored.typeId()) {
    case QMetaType::Double: // the shortest digits that read back as the same number
        return QString::number(stored.toDouble(), 'g', QLocale::FloatingPointShortest);
    case QMetaType::QByteArray:
        return QString::fromUtf8(stored.toByteArray());
    default:
        return stored.toString();
    }
}

QVariant read(const QSqlQuery& query, int column)
{
    if (query.isNull(column))
        return {};
    const QVariant value = query.value(column);
    const int type = value.typeId();
    if (type == QMetaType::ULongLong || type == QMetaType::Int || type == QMetaType::UInt)
        return value.toLongLong();
    return value;
}

WholeNumber wholeNumber(const QVariant& stored)
{
    if (stored.isNull())
        return {};
    switch (stored.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::UInt:
        return {WholeNumber::Whole, stored.toLongLong()};
    case QMetaType::ULongLong:
        if (stored.toULongLong() <= quint64(std::numeric_limits<qint64>::max()))
            return {WholeNumber::Whole, stored.toLongLong()};
        return {WholeNumber::Odd};
    case QMetaType::Double: {
        const double real = stored.toDouble();
        if (std::isfinite(real) && std::trunc(real) == real && std::fabs(real) <= wholeDoubles)
            return {WholeNumber::Whole, qint64(real)};
        return {WholeNumber::Odd};
    }
    case QMetaType::QString:
        return writtenNumber(stored.toString());
    case QMetaType::QByteArray:
        return writtenNumber(QString::fromUtf8(stored.toByteArray()));
    default:
        return {WholeNumber::Odd};
    }
}

} // namespace values
