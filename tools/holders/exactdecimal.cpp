#include "exactdecimal.h"

#include <QRegularExpression>

#include <limits>

namespace {

using Wide = __int128;

Wide tenTo(int power)
{
    Wide result = 1;
    while (power-- > 0)
        result *= 10;
    return result;
}

// numerator / denominator for non-negative values, rounded half away from zero.
Wide rounded(Wide numerator, Wide denominator)
{
    return (numerator * 2 + denominator) / (denominator * 2);
}

bool fits(Wide value)
{
    return value <= std::numeric_limits<qint64>::max();
}

} // namespace

std::optional<ExactDecimal> ExactDecimal::parse(const QString& text)
{
    static const QRegularExpression form(QStringLiteral("^([0-9]+)(?:\\.([0-9]*))?$|^\\.([0-9]+)$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const QString whole = match.captured(1);
    const QString fraction = match.captured(3).isEmpty() ? match.captured(2) : match.captured(3);
    if (fraction.size() > mostDecimals || whole.size() + fraction.size() > 18)
        return std::nullopt;
    return ExactDecimal((whole + fraction).toLongLong(), int(fraction.size()));
}

QString ExactDecimal::toString() const
{
    QString digits = QString::number(m_units).rightJustified(m_scale + 1, QLatin1Char('0'));
    if (m_scale > 0)
        digits.insert(digits.size() - m_scale, QLatin1Char('.'));
    return digits;
}

std::optional<qint64> ExactDecimal::times(qint64 factor, int decimals) const
{
    const Wide exact = Wide(m_units) * factor * tenTo(decimals);
    const Wide result = rounded(exact, tenTo(m_scale));
    return fits(result) ? std::optional<qint64>(qint64(result)) : std::nullopt;
}

qint64 ExactDecimal::percentOf(qint64 hundredths) const
{
    return qint64(rounded(Wide(hundredths) * m_units, 100 * tenTo(m_scale)));
}

bool ExactDecimal::exceededBy(qint64 part, qint64 whole) const
{
    return Wide(part) * 100 * tenTo(m_scale) > Wide(m_units) * whole;
}

bool ExactDecimal::moreThan(qint64 whole) const
{
    return m_units > Wide(whole) * tenTo(m_scale);
}

QString ExactDecimal::hundredths(qint64 units)
{
    return ExactDecimal(units, 2).toString();
}

QString ExactDecimal::percent(qint64 part, qint64 whole)
{
    return hundredths(whole == 0 ? 0 : qint64(rounded(Wide(part) * 10000, whole)));
}
