#pragma once

#include "status.h"

#include <QDate>
#include <QStringList>
#include <QVariantList>

// A certificate whose seven columns are all derived from one generation number, so that a row whose columns
// disagree shows it was partly written. Shared by the crash writer and the test that kills it.
namespace crashgeneration {

inline const QStringList columns{"stock_no",        "stock_type",     "publish_date", "item_code",
                                 "original_holder", "present_holder", "stock_qty"};

// What is typed into each column, in column order; the padding lengthens the item code, a few KB of it making
// one save span several pages.
inline QStringList texts(qint64 generation, qsizetype padding)
{
    const QString g = QString::number(generation);
    const QChar filler(QLatin1Char(char('a' + generation % 26)));
    return {QStringLiteral("G") + g,
            QString::number(generation % 100),
            QDate(1901, 1, 1).addDays(generation % 36500).toString(Qt::ISODate),
            QStringLiteral("IC%1/%2/%1").arg(g, QString(padding, filler)),
            QString::number(generation % 997 + 1),
            QString::number(generation * 31 % 1009),
            g};
}

// The generation a stored row (its seven values in column order) is of; a failure names what disagrees.
inline Expected<qint64> generationOf(const QVariantList& stored)
{
    if (stored.size() != columns.size())
        return Status::failure(QStringLiteral("%1 values instead of %2").arg(stored.size()).arg(columns.size()));
    bool whole = false;
    const QVariant& quantity = stored.last();
    const qint64 generation = quantity.toLongLong(&whole);
    if (quantity.isNull() || quantity.typeId() != QMetaType::LongLong || !whole)
        return Status::failure(QStringLiteral("stock_qty is %1, not a generation").arg(quantity.toString()));
    const QString itemCode = stored[3].toString();
    const qsizetype framing = QStringLiteral("IC%1//%1").arg(generation).size();
    const QStringList expected = texts(generation, qMax<qsizetype>(0, itemCode.size() - framing));
    for (qsizetype i = 0; i < columns.size(); ++i) {
        if (stored[i].isNull() || stored[i].toString() != expected[i]) {
            return Status::failure(QStringLiteral("%1 is \"%2\" but generation %3 has \"%4\"")
                                       .arg(columns[i], stored[i].toString().left(80))
                                       .arg(generation)
                                       .arg(expected[i].left(80)));
        }
    }
    return generation;
}

} // namespace crashgeneration
