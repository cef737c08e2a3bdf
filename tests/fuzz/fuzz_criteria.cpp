#include "criteria.h"
#include "fuzzcheck.h"
#include "schema.h"

#include <QVariant>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// What val() should give, worked out apart from it: the leading number as written, a whole number that fits
// as qlonglong, anything else as the nearest double (infinity when too large, 0 when too small).
QVariant referenceVal(const QString& text)
{
    qsizetype at = 0;
    while (at < text.size() && (text[at] == u' ' || text[at] == u'\t'))
        ++at;
    std::string written;
    bool negative = false;
    if (at < text.size() && (text[at] == u'+' || text[at] == u'-')) {
        negative = text[at] == u'-';
        written += char(text[at++].unicode());
    }
    std::string whole;
    while (at < text.size() && isAsciiDigit(text[at]))
        whole += char(text[at++].unicode());
    std::string fraction;
    if (at < text.size() && text[at] == u'.') {
        ++at;
        while (at < text.size() && isAsciiDigit(text[at]))
            fraction += char(text[at++].unicode());
    }
    if (whole.empty() && fraction.empty())
        return QVariant(qlonglong(0));
    written += whole + '.' + fraction;

    const bool isWhole = fraction.find_first_not_of('0') == std::string::npos;
    if (const auto number = fittingWhole(negative, whole); isWhole && number)
        return QVariant(*number);
    // Nobody sets a locale here, so strtod reads the C locale's decimal point.
    return QVariant(std::strtod(written.c_str(), nullptr));
}

bool sameNumber(const QVariant& a, const QVariant& b)
{
    if (a.typeId() != b.typeId())
        return false;
    if (a.typeId() == QMetaType::LongLong)
        return a.toLongLong() == b.toLongLong();
    return a.typeId() == QMetaType::Double && a.toDouble() == b.toDouble();
}

bool belongsTo(const schema::Column* column, const schema::Table& table)
{
    for (const schema::Column& candidate : table.columns) {
        if (column == &candidate)
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString typed = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));

    const QVariant number = criteria::val(typed);
    require(sameNumber(number, referenceVal(typed)), "val() reads the leading number as written", typed);

    for (const schema::Table& table : schema::tables()) {
        const auto parsed = criteria::parse(typed, table);
        require(!parsed.ok() || belongsTo(parsed->column, table), "a search names a column of its table", typed);

        for (const schema::Column& column : table.columns) {
            const auto asText = criteria::parse(column.name + QLatin1String(" = '") + typed + QLatin1Char('\''), table);
            require(asText.ok() && asText->column == &column && asText->comparison == criteria::Comparison::Text
                        && asText->text == typed,
                    "a text search keeps the typed text as it stands", typed);

            const auto asNumber =
                criteria::parse(column.name + QLatin1String(" = val('") + typed + QLatin1String("')"), table);
            require(asNumber.ok() && asNumber->column == &column && asNumber->comparison == criteria::Comparison::Number
                        && asNumber->text == typed && sameNumber(asNumber->number, number),
                    "a numeric search keeps the typed text and its val()", typed);
        }
    }
    return 0;
}
