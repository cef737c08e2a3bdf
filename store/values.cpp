#include "values.h"

#include <QDate>
#include <QRegularExpression>
#include <QSqlQuery>

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
    if (stored.typeId() == QMetaType::Double)
        return QString::number(stored.toDouble(), 'g', 15);
    return stored.toString();
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

} // namespace values
