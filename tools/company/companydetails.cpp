#include "companydetails.h"

#include "addedtables.h"
#include "connection.h"
#include "schema.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

namespace {

const QStringList companyKeys{QStringLiteral("name"), QStringLiteral("number"), QStringLiteral("office"),
                              QStringLiteral("country"), QStringLiteral("currency")};
const QStringList typeKeys{QStringLiteral("name"), QStringLiteral("par"), QStringLiteral("votes")};

// A share type's key split into its code and detail: "type.2.par" as 2 and "par". The code is empty where the
// key is not a share type's.
struct TypeKey {
    QString code;
    QString detail;
};

TypeKey typeKey(const QString& key)
{
    const QStringList parts = key.split(QLatin1Char('.'));
    if (parts.size() != 3 || parts[0] != QLatin1String("type"))
        return {};
    return {parts[1], parts[2]};
}

// Where a key comes in the printed order: the company's details first, then the types by code and detail.
std::tuple<int, qint64, int> order(const QString& key)
{
    if (const qsizetype at = companyKeys.indexOf(key); at >= 0)
        return {0, 0, int(at)};
    const TypeKey type = typeKey(key);
    return {1, type.code.toLongLong(), int(typeKeys.indexOf(type.detail))};
}

} // namespace

Expected<CompanyDetails> CompanyDetails::read(const Connection& connection)
{
    CompanyDetails details;
    const Expected<bool> held = addedtables::held(connection, schema::companyTable);
    if (!held)
        return held.status();
    if (!held.value())
        return details;
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    // A detail set twice (by hand, past the command) counts as it was set last.
    if (!query.exec(QStringLiteral("SELECT detail, value FROM %1 ORDER BY %2")
                        .arg(schema::quoted(schema::companyTable), connection.rowKey())))
        return connection.failure(QStringLiteral("Cannot read the company's details in"), query.lastError());
    while (query.next()) {
        const QString value = query.value(1).toString();
        if (!value.isEmpty())
            details.m_values.insert(query.value(0).toString(), value);
    }
    return details;
}

QString CompanyDetails::wrong(const QString& key, const QString& value)
{
    if (companyKeys.contains(key))
        return {};
    const TypeKey type = typeKey(key);
    if (type.code.isEmpty() && !key.startsWith(QLatin1String("type.")))
        return QStringLiteral("unknown key \"%1\"; the keys are %2, and type.N.name, type.N.par and type.N.votes "
                              "for the share type whose code is N")
            .arg(key, companyKeys.join(QLatin1String(", ")));
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,9}$"));
    if (!digits.match(type.code).hasMatch())
        return QStringLiteral("\"%1\": the share type's code \"%2\" is not a whole number").arg(key, type.code);
    if (!typeKeys.contains(type.detail))
        return QStringLiteral("unknown key \"%1\"; a share type's details are type.N.name, type.N.par and "
                              "type.N.votes")
            .arg(key);
    static const QRegularExpression decimal(QStringLiteral("^[0-9]{1,15}(\\.[0-9]{1,6})?$"));
    if (type.detail == QLatin1String("par") && !value.isEmpty() && !decimal.match(value).hasMatch())
        return QStringLiteral("\"%1\": the nominal value \"%2\" is not a number such as 1 or 0.25").arg(key, value);
    if (type.detail == QLatin1String("votes") && !value.isEmpty() && !digits.match(value).hasMatch())
        return QStringLiteral("\"%1\": the votes per share \"%2\" are not a whole number").arg(key, value);
    return {};
}

QString CompanyDetails::kept(const QString& key)
{
    const TypeKey type = typeKey(key);
    if (type.code.isEmpty())
        return key;
    return QStringLiteral("type.%1.%2").arg(type.code.toLongLong()).arg(type.detail);
}

QList<CompanyDetails::Detail> CompanyDetails::all() const
{
    QList<Detail> details;
    for (auto it = m_values.cbegin(); it != m_values.cend(); ++it) {
        if (wrong(it.key(), it.value()).isEmpty())
            details.append({it.key(), it.value()});
    }
    std::stable_sort(details.begin(), details.end(),
                     [](const Detail& one, const Detail& other) { return order(one.key) < order(other.key); });
    return details;
}

QStringList CompanyDetails::office() const
{
    QStringList lines;
    for (const QString& line : value(QStringLiteral("office")).split(QLatin1Char(';'))) {
        if (!line.trimmed().isEmpty())
            lines.append(line.trimmed());
    }
    return lines;
}

QString CompanyDetails::heading() const
{
    const QString name = value(QStringLiteral("name"));
    const QString number = value(QStringLiteral("number"));
    if (number.isEmpty())
        return name;
    const QString registered = QStringLiteral("registration no. ") + number;
    return name.isEmpty() ? registered : name + QStringLiteral(", ") + registered;
}

QString CompanyDetails::type(qint64 code, const char* detail) const
{
    return value(QStringLiteral("type.%1.%2").arg(code).arg(QLatin1String(detail)));
}

QString CompanyDetails::par(qint64 code) const
{
    const QString nominal = type(code, "par");
    const QString currency = value(QStringLiteral("currency"));
    if (nominal.isEmpty() || currency.isEmpty())
        return nominal;
    return currency + QLatin1Char(' ') + nominal;
}
