#pragma once

#include <QChar>
#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

// A property the code under test must keep. A violation names it and the input, then aborts, so libFuzzer
// keeps the input as a crash and the replay test fails.
inline void require(bool holds, const char* property, const QString& input)
{
    if (holds)
        return;
    std::fprintf(stderr, "Property violated: %s\nInput: \"%s\"\n", property, qUtf8Printable(input));
    std::abort();
}

inline bool isAsciiDigit(QChar c)
{
    return c.unicode() >= '0' && c.unicode() <= '9';
}

// The whole number written as a sign and ASCII digits, when it fits a qlonglong; worked out digit by digit,
// apart from Qt's conversions.
inline std::optional<qlonglong> fittingWhole(bool negative, const std::string& digits)
{
    const std::size_t first = digits.find_first_not_of('0');
    const std::string magnitude = first == std::string::npos ? std::string() : digits.substr(first);
    const std::string limit = negative ? "9223372036854775808" : "9223372036854775807";
    if (magnitude.size() > limit.size() || (magnitude.size() == limit.size() && magnitude > limit))
        return std::nullopt;
    // Towards the sign, so the most negative number does not overflow on the way.
    qlonglong number = 0;
    for (char digit : magnitude)
        number = number * 10 + (negative ? -(digit - '0') : digit - '0');
    return number;
}
