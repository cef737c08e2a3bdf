#pragma once

#include <QString>

#include <optional>

// A decimal number kept exactly, as a whole number of its smallest unit: 12.345 is 12345 at scale 3. Amounts,
// rates and percentages are never binary floating point.
class ExactDecimal {
public:
    static constexpr int mostDecimals = 6;

    ExactDecimal() = default;
    ExactDecimal(qint64 units, int scale)
        : m_units(units)
        , m_scale(scale)
    {}

    // A number written in digits with at most one point, and at most mostDecimals after it; no sign, no exponent.
    // None for anything else, or for more than eighteen digits in all.
    static std::optional<ExactDecimal> parse(const QString& text);

    qint64 units() const { return m_units; }
    int scale() const { return m_scale; }
    // As written: the digits, and the decimals it was given with.
    QString toString() const;

    // The number times a whole number, as a whole number of 10^-decimals rounded half away from zero; none when
    // too large.
    std::optional<qint64> times(qint64 factor, int decimals) const;
    // This percentage of an amount in hundredths, in hundredths rounded half away from zero.
    qint64 percentOf(qint64 hundredths) const;
    bool moreThan(qint64 whole) const;
    // Whether part is more than this percentage of whole, exactly.
    bool exceededBy(qint64 part, qint64 whole) const;

    // A whole number of hundredths, as text with two decimals: 1234 is "12.34".
    static QString hundredths(qint64 units);
    // part as a percentage of whole, rounded half away from zero to two decimals, as text ("33.33").
    static QString percent(qint64 part, qint64 whole);

private:
    qint64 m_units = 0;
    int m_scale = 0;
};
