#include "criteria.h"

#include <QRegularExpression>

#include <cmath>

namespace criteria {

namespace {

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

Status unreadable(const QString& criteria)
{
    return Status::failure(QStringLiteral("The search \"%1\" cannot be read.").arg(criteria));
}

} // namespace

QVariant val(QStringView text)
{
    qsizetype at = 0;
    while (at < text.size() && (text[at] == QLatin1Char(' ') || text[at] == QLatin1Char('\t')))
        ++at;
    const qsizetype start = at;
    if (at < text.size() && (text[at] == QLatin1Char('+') || text[at] == QLatin1Char('-')))
        ++at;
    qsizetype digits = 0;
    while (at < text.size() && isDigit(text[at]))
        ++at, ++digits;
    const qsizetype wholeEnd = at;
    const qsizetype wholeDigits = digits;
    bool fractionIsZero = true;
    if (at < text.size() && text[at] == QLatin1Char('.')) {
        ++at;
        for (; at < text.size() && isDigit(text[at]); ++at, ++digits) {
            if (text[at] != QLatin1Char('0'))
                fractionIsZero = false;
        }
    }
    if (digits == 0)
        return QVariant(qlonglong(0));

    // Whole as written, not as rounded: 7.99999999999999999999 is no whole number, though its double is.
    if (fractionIsZero) {
        QString whole = text.sliced(start, wholeEnd - start).toString();
        if (wholeDigits == 0) // ".0" is 0 like "0.0"
            whole += QLatin1Char('0');
        bool fits = false;
        const qlonglong number = whole.toLongLong(&fits);
        if (fits)
            return QVariant(number);
    }

    const QString written = text.sliced(start, at - start).toString();
    bool converted = false;
    double number = written.toDouble(&converted);
    // The text is a number, so only its size can have stopped it: too large gives infinity, too small 0.
    if (!converted)
        number = std::copysign(number == 0 ? 0.0 : HUGE_VAL, written.startsWith(QLatin1Char('-')) ? -1.0 : 1.0);
    return QVariant(number);
}

Expected<Criteria> parse(const QString& criteria, const schema::Table& table)
{
    static const QRegularExpression head(QStringLiteral("^\\s*([A-Za-z_][A-Za-z0-9_]*)\\s*=\\s*(val\\(')?"));
    const QRegularExpressionMatch match = head.match(criteria);
    if (!match.hasMatch())
        return unreadable(criteria);

    Criteria parsed;
    parsed.column = table.column(match.captured(1));
    if (!parsed.column)
        return Status::failure(QStringLiteral("The search \"%1\" names no column of %2.").arg(criteria, table.name));

    const bool numeric = match.capturedLength(2) > 0;
    const QString rest = criteria.mid(match.capturedEnd(0));
    if (numeric) {
        if (!rest.endsWith(QLatin1String("')")))
            return unreadable(criteria);
        parsed.comparison = Comparison::Number;
        parsed.text = rest.chopped(2);
        parsed.number = val(parsed.text);
        return parsed;
    }
    if (rest.size() < 2 || !rest.startsWith(QLatin1Char('\'')) || !rest.endsWith(QLatin1Char('\'')))
        return unreadable(criteria);
    parsed.comparison = Comparison::Text;
    parsed.text = rest.mid(1, rest.size() - 2);
    return parsed;
}

} // namespace criteria
