#include "registerrows.h"

#include "connection.h"
#include "values.h"

#include <QSqlError>
#include <QSqlQuery>

namespace registerrows {

Expected<QHash<qint64, Holder>> holders(const Connection& connection)
{
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT stockholder_no, stockholder_name, address1, address2 FROM stockholder "
                                   "ORDER BY %1")
                        .arg(connection.rowKey())))
        return connection.failure(QStringLiteral("Cannot read"), query.lastError());
    QHash<qint64, Holder> holders;
    while (query.next()) {
        const QVariant number = values::read(query, 0);
        const std::optional<qint64> whole = values::wholeNumber(number).whole();
        if (whole && !holders.contains(*whole))
            holders.insert(*whole, {values::shown(number), values::shown(values::read(query, 1)),
                                    values::shown(values::read(query, 2)), values::shown(values::read(query, 3))});
    }
    if (query.lastError().isValid())
        return connection.failure(QStringLiteral("Cannot read"), query.lastError());
    return holders;
}

Expected<QList<Transfer>> transfers(const Connection& connection)
{
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT stock_no, transferred_date, before_holder, new_holder FROM transfer_data "
                                   "ORDER BY transferred_date IS NULL, transferred_date, %1")
                        .arg(connection.rowKey())))
        return connection.failure(QStringLiteral("Cannot read"), query.lastError());
    QList<Transfer> transfers;
    while (query.next())
        transfers.append({values::shown(values::read(query, 0)), values::shown(values::read(query, 1)),
                          values::read(query, 2), values::read(query, 3)});
    if (query.lastError().isValid())
        return connection.failure(QStringLiteral("Cannot read"), query.lastError());
    return transfers;
}

Expected<Ledger> ledger(const Connection& connection)
{
    Expected<QHash<qint64, Holder>> read = holders(connection);
    if (!read)
        return read.status();
    Expected<QList<Transfer>> made = transfers(connection);
    if (!made)
        return made.status();
    return Ledger{std::move(read.value()), std::move(made.value())};
}

QString named(const QHash<qint64, Holder>& holders, const QVariant& holder)
{
    const QString number = values::shown(holder);
    const std::optional<qint64> whole = values::wholeNumber(holder).whole();
    if (!whole || !holders.contains(*whole))
        return number;
    return QStringLiteral("%1 %2").arg(number, holders.value(*whole).name);
}

} // namespace registerrows
