#include "fuzzcheck.h"
#include "schema.h"
#include "values.h"

#include <QDate>
#include <QVariant>

#include <cstdint>
#include <optional>
#include <string>

namespace {

// The whole number a trimmed text writes: an optional sign and ASCII digits, nothing else, within qlonglong.
std::optional<qlonglong> writtenWhole(const QString& trimmed)
{
    qsizetype at = 0;
    const bool negative = !trimmed.isEmpty() && trimmed[0] == u'-';
    if (!trimmed.isEmpty() && (trimmed[0] == u'+' || trimmed[0] == u'-'))
        ++at;
    std::string digits;
    for (; at < trimmed.size(); ++at) {
        if (!isAsciiDigit(trimmed[at]))
            return std::nullopt;
        digits += char(trimmed[at].unicode());
    }
    if (digits.empty())
        return std::nullopt;
    return fittingWhole(negative, digits);
}

// A date as stored: YYYY-MM-DD in ASCII digits, naming a day that exists in year 1 or later.
bool isStoredDate(const QString& text)
{
    if (text.size() != 10 || text[4] != u'-' || text[7] != u'-')
        return false;
    for (qsizetype at : {0, 1, 2, 3, 5, 6, 8, 9}) {
        if (!isAsciiDigit(text[at]))
            return false;
    }
    const QDate day(text.left(4).toInt(), text.mid(5, 2).toInt(), text.mid(8, 2).toInt());
    return day.isValid() && day.year() >= 1;
}

void checkRefusal(const Expected<QVariant>& stored, const schema::Column& column, const QString& typed)
{
    require(stored.status().column() == column.name, "a refusal names the column it refused", typed);
    require(stored.status().message().contains(column.caption), "a refusal's message names the field", typed);
}

void checkWholeNumber(const schema::Column& column, const QString& typed)
{
    const Expected<QVariant> stored = values::toStored(column, typed);
    const QString trimmed = typed.trimmed();
    const std::optional<qlonglong> written = writtenWhole(trimmed);
    if (!stored.ok()) {
        require(!trimmed.isEmpty() && !written, "a whole number that fits is stored", typed);
        checkRefusal(stored, column, typed);
        return;
    }
    const QVariant& value = stored.value();
    require(value.isNull() == trimmed.isEmpty(), "a number stores nothing exactly when nothing is typed", typed);
    if (!value.isNull()) {
        require(value.typeId() == QMetaType::LongLong && written && value.toLongLong() == *written,
                "a number is stored as the whole number written", typed);
    }
    require(values::shown(value) == (written ? QString::number(*written) : QString()),
            "a stored number shows as itself", typed);
}

void checkDate(const schema::Column& column, const QString& typed)
{
    const Expected<QVariant> stored = values::toStored(column, typed);
    const QString trimmed = typed.trimmed();
    if (isStoredDate(trimmed))
        require(stored.ok() && stored.value() == QVariant(trimmed), "a YYYY-MM-DD date is stored as typed", typed);
    if (!stored.ok()) {
        require(!trimmed.isEmpty(), "no date typed is no refusal", typed);
        checkRefusal(stored, column, typed);
        return;
    }
    const QVariant& value = stored.value();
    require(value.isNull() == trimmed.isEmpty(), "a date stores nothing exactly when nothing is typed", typed);
    if (value.isNull())
        return;
    require(value.typeId() == QMetaType::QString && isStoredDate(value.toString()), "a date is stored as YYYY-MM-DD",
            typed);
    const Expected<QVariant> again = values::toStored(column, values::shown(value));
    require(again.ok() && again.value() == value, "a shown date is stored again as the same date", typed);
}

void checkText(const schema::Column& column, const QString& typed)
{
    const Expected<QVariant> stored = values::toStored(column, typed);
    require(stored.ok(), "any text is stored", typed);
    require(values::shown(stored.value()) == typed, "a text shows as typed", typed);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString typed = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const schema::Table& table : schema::tables()) {
        for (const schema::Column& column : table.columns) {
            switch (column.storage) {
            case schema::Storage::Integer:
                checkWholeNumber(column, typed);
                break;
            case schema::Storage::Date:
                checkDate(column, typed);
                break;
            case schema::Storage::Text:
                checkText(column, typed);
                break;
            }
        }
    }
    return 0;
}
