#include "convertedvalue.h"

#include "values.h"

#include <QDate>
#include <QRegularExpression>
#include <QTime>

#include <array>
#include <charconv>
#include <cmath>

namespace importer {

namespace {

// Access keeps a date as days from 1899-12-30; before that day the whole days count back and the time of day
// still counts forward.
struct Moment {
    QDate date;
    int seconds = 0;
};

// Access's dates run from 0100-01-01 (day -657434) to 9999-12-31 (day 2958465), at any time of day.
const QDate firstDay(100, 1, 1);
const QDate lastDay(9999, 12, 31);

std::optional<Moment> fromDayCount(double days)
{
    if (!std::isfinite(days) || std::fabs(days) > 3e6)
        return std::nullopt;
    const double whole = std::trunc(days);
    Moment moment{QDate(1899, 12, 30).addDays(qint64(whole)), int(std::lround(std::fabs(days - whole) * 86400.0))};
    if (moment.seconds >= 86400) {
        moment.date = moment.date.addDays(1);
        moment.seconds = 0;
    }
    if (moment.date < firstDay || moment.date > lastDay)
        return std::nullopt;
    return moment;
}

// A whole number that fits the column's 64 bits.
std::optional<qlonglong> wholeNumber(double number)
{
    if (!std::isfinite(number) || number != std::trunc(number) || number < -0x1p63 || number >= 0x1p63)
        return std::nullopt;
    return qlonglong(number);
}

// A text SQLite would take for a number, with or without blanks around it.
bool readsAsNumber(const QString& text)
{
    static const QRegularExpression number(QStringLiteral("^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?$"));
    return number.match(text.trimmed()).hasMatch();
}

// What a number column stores of a value it cannot take as a whole number, so that SQLite keeps it exactly. Its
// column affinity would turn a text that reads as a number into that number ("1e3" into 1000, "12.50" into 12.5),
// so such a text goes in as its bytes; and a NaN, which SQLite stores as no value, goes in as its text.
QVariant exactly(const QVariant& value)
{
    if (value.typeId() == QMetaType::Double)
        return std::isnan(value.toDouble()) ? QVariant(values::shown(value)) : value;
    const QString text = value.toString();
    return readsAsNumber(text) ? QVariant(text.toUtf8()) : QVariant(text);
}

Converted keptInNumberColumn(const QVariant& value, const QString& note)
{
    return {exactly(value), note + QStringLiteral("; kept as it is")};
}

Converted toDate(const QVariant& value, jet::Type type)
{
    if (type == jet::Type::DateTime) {
        const std::optional<Moment> moment = fromDayCount(value.toDouble());
        if (!moment)
            return {values::shown(value),
                    QStringLiteral("day count %1 is no date between %2 and %3; kept as the number")
                        .arg(values::shown(value), firstDay.toString(Qt::ISODate), lastDay.toString(Qt::ISODate))};
        const QString day = moment->date.toString(Qt::ISODate);
        if (moment->seconds == 0)
            return {day, {}};
        const QString time = QTime(0, 0).addSecs(moment->seconds).toString(Qt::ISODate);
        return {day, QStringLiteral("%1 has the time of day %2, which is not kept").arg(day, time)};
    }
    if (value.typeId() == QMetaType::QString) {
        static const schema::Column date{QStringLiteral("date"), QStringLiteral("date"), schema::Kind::Date,
                                         schema::Storage::Date};
        if (const Expected<QVariant> typed = values::toStored(date, value.toString()); typed && !typed.value().isNull())
            return {typed.value(), {}};
    }
    return {values::shown(value), QStringLiteral("\"%1\" is not a date; kept as it is").arg(values::shown(value))};
}

Converted toInteger(const QVariant& value, jet::Type type)
{
    const QString text = values::shown(value);
    const QString notWhole = QStringLiteral("%1 is not a whole number");
    const QString tooLarge = QStringLiteral("%1 is too large a whole number");
    switch (type) {
    case jet::Type::Boolean:
    case jet::Type::Byte:
    case jet::Type::Integer:
    case jet::Type::LongInteger:
        return {value.toLongLong(), {}};
    case jet::Type::Single:
    case jet::Type::Double: {
        const double number = value.toDouble();
        if (const auto whole = wholeNumber(number))
            return {*whole, {}};
        const bool whole = std::isfinite(number) && number == std::trunc(number);
        return keptInNumberColumn(value, (whole ? tooLarge : notWhole).arg(text));
    }
    case jet::Type::Currency:
    case jet::Type::Decimal: { // never through a double, which would round it
        const qsizetype point = text.indexOf(QLatin1Char('.'));
        const bool whole = point < 0 || text.mid(point + 1).count(QLatin1Char('0')) == text.size() - point - 1;
        bool fits = false;
        const qlonglong number = text.left(point).toLongLong(&fits);
        if (whole && fits)
            return {number, {}};
        return keptInNumberColumn(text, (whole ? tooLarge : notWhole).arg(text));
    }
    case jet::Type::DateTime:
        return keptInNumberColumn(value, QStringLiteral("a date (day count %1) is no number").arg(text));
    default:
        break;
    }
    static const QRegularExpression digits(QStringLiteral("^[+-]?[0-9]+$"));
    const bool plain = digits.match(text.trimmed()).hasMatch();
    bool fits = false;
    const qlonglong number = plain ? text.trimmed().toLongLong(&fits) : 0;
    if (fits)
        return {number, {}};
    const QString quoted = QLatin1Char('"') + text + QLatin1Char('"');
    if (plain)
        return keptInNumberColumn(text, tooLarge.arg(quoted));
    return keptInNumberColumn(text, readsAsNumber(text)
                                        ? QStringLiteral("%1 is not written as a whole number").arg(quoted)
                                        : notWhole.arg(quoted));
}

Converted toText(const QVariant& value, jet::Type type)
{
    switch (type) {
    case jet::Type::Text:
    case jet::Type::Memo:
        return {value.toString(), {}};
    case jet::Type::DateTime:
        return toDate(value, type);
    default:
        return {values::shown(value), {}};
    }
}

// A Single as Access shows it: the double of the float's shortest text (0.1), not the float widened
// (0.100000001490116).
double asShown(float single)
{
    std::array<char, 32> text{};
    const char* end = std::to_chars(text.data(), text.data() + text.size(), single).ptr;
    double number = 0;
    std::from_chars(text.data(), end, number);
    return number;
}

} // namespace

Converted convert(const QVariant& given, jet::Type from, schema::Storage to)
{
    if (!given.isValid() || given.isNull())
        return {QVariant(), {}};
    if (from == jet::Type::Other)
        return {given, QStringLiteral("binary data; kept as it is")};
    const QVariant value = given.typeId() == QMetaType::Float ? QVariant(asShown(given.toFloat())) : given;
    switch (to) {
    case schema::Storage::Integer:
        return toInteger(value, from);
    case schema::Storage::Date:
        return toDate(value, from);
    case schema::Storage::Text:
        break;
    }
    return toText(value, from);
}

} // namespace importer
