#include "schema.h"

#include <QStringList>

namespace schema {

namespace {

Column column(const char* name, const char* caption, Kind kind, Storage storage)
{
    return {QString::fromLatin1(name), QString::fromLatin1(caption), kind, storage};
}

QList<Table> makeTables()
{
    // clang-format off
    return {
        {QStringLiteral("stock_data"), {
            column("stock_no",        "Stock #:",         Kind::Text,   Storage::Text),
            column("stock_type",      "Type:",            Kind::Code,   Storage::Integer),
            column("publish_date",    "Publish Date:",    Kind::Date,   Storage::Date),
            column("item_code",       "Item code:",       Kind::Open,   Storage::Text),
            column("original_holder", "Original Holder:", Kind::Number, Storage::Integer),
            column("present_holder",  "Present Holder:",  Kind::Number, Storage::Integer),
            column("stock_qty",       "Stock Qty:",       Kind::Open,   Storage::Integer),
        }},
        {QStringLiteral("stockholder"), {
            column("stockholder_no",   "ShareHolder #:",   Kind::Number, Storage::Integer),
            column("character",        "nature/juristic:", Kind::Code,   Storage::Integer),
            column("stockholder_name", "Name:",            Kind::Text,   Storage::Text),
            column("gender",           "Gender:",          Kind::Code,   Storage::Integer),
            column("birth_date",       "Birthday:",        Kind::Date,   Storage::Date),
            column("id_no",            "ID No:",           Kind::Text,   Storage::Text),
            column("address1",         "Address 1:",       Kind::Open,   Storage::Text),
            column("address2",         "Address 2:",       Kind::Open,   Storage::Text),
            column("tel_no1",          "Telphone No. 1:",  Kind::Open,   Storage::Text),
            column("tel_no2",          "Telphone No. 2:",  Kind::Open,   Storage::Text),
            column("total_share",      "Total Share:",     Kind::Open,   Storage::Integer),
        }},
        {QStringLiteral("transfer_data"), {
            column("stock_no",         "Stock #:",           Kind::Text,   Storage::Text),
            column("transferred_date", "Transferred Date:",  Kind::Date,   Storage::Date),
            column("before_holder",    "Previous Holder:",   Kind::Number, Storage::Integer),
            column("new_holder",       "New Holder:",        Kind::Number, Storage::Integer),
            column("item_code",        "Item code:",         Kind::Open,   Storage::Text),
        }},
    };
    // clang-format on
}

QList<Table> makeAddedTables()
{
    // clang-format off
    return {
        // One row per detail: name, number, office, country, currency, type.N.name, type.N.par, type.N.votes. A
        // nominal value stays the decimal text typed.
        {companyTable, {
            column("detail", "Detail:", Kind::Open, Storage::Text),
            column("value",  "Value:",  Kind::Open, Storage::Text),
        }},
        // replaced_by: the new certificates' numbers, comma-separated.
        {cancelledTable, {
            column("stock_no",       "Stock #:",        Kind::Text, Storage::Text),
            column("cancelled_date", "Cancelled Date:", Kind::Date, Storage::Date),
            column("reason",         "Reason:",         Kind::Open, Storage::Text),
            column("replaced_by",    "Replaced By:",    Kind::Open, Storage::Text),
        }},
    };
    // clang-format on
}

} // namespace

const Column* Table::column(QStringView name) const
{
    const int index = indexOf(name);
    return index < 0 ? nullptr : &columns[index];
}

int Table::indexOf(QStringView name) const
{
    for (int i = 0; i < columns.size(); ++i) {
        if (QStringView(columns[i].name).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

const QList<Table>& tables()
{
    static const QList<Table> all = makeTables();
    return all;
}

const QList<Table>& addedTables()
{
    static const QList<Table> added = makeAddedTables();
    return added;
}

const QList<Table>& everyTable()
{
    static const QList<Table> every = tables() + addedTables();
    return every;
}

const Table* table(QStringView name)
{
    for (const Table& candidate : everyTable()) {
        if (QStringView(candidate.name).compare(name, Qt::CaseInsensitive) == 0)
            return &candidate;
    }
    return nullptr;
}

QString quoted(const QString& identifier)
{
    QString inner = identifier;
    return QLatin1Char('"') + inner.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

} // namespace schema
