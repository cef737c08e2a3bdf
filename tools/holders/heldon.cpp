#include "heldon.h"

#include "addedtables.h"
#include "checkedvalue.h"
#include "connection.h"
#include "schema.h"
#include "values.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>

namespace heldon {

namespace {

// A day as SQL text; dates are kept as YYYY-MM-DD text, so they compare as text.
QString day(const QDate& date)
{
    return QLatin1Char('\'') + date.toString(Qt::ISODate) + QLatin1Char('\'');
}

} // namespace

QString onOrBefore(const QString& column, const QDate& date)
{
    return QStringLiteral("(%1 IS NULL OR %1 = '' OR %1 <= %2)").arg(column, day(date));
}

QString certificates(const Connection& connection, const std::optional<QDate>& on)
{
    const QString key = connection.rowKey();
    const auto whole = [&](const char* column) {
        return connection.wholeNumberOf(QLatin1String(column));
    };
    // A cancelled certificate counts up to the day before its cancellation. A register that keeps no cancellations
    // has none; one that cannot be read fails in the query this goes into.
    const Expected<bool> kept = addedtables::held(connection, schema::cancelledTable);
    const auto cancelled = [&](const char* column) {
        return checkedvalue::cancelled(kept && kept.value(), QLatin1String(column),
                                       on.value_or(QDate::currentDate()).toString(Qt::ISODate));
    };
    if (!on)
        return QStringLiteral("SELECT stock_no, stock_type, publish_date, item_code, stock_qty, %1 AS k, %2 AS n, "
                              "present_holder AS h FROM stock_data WHERE NOT %3")
            .arg(key, whole("present_holder"), cancelled("stock_data.stock_no"));
    const QString lastTransfers =
        QStringLiteral("SELECT stock_no, new_holder, ROW_NUMBER() OVER (PARTITION BY stock_no ORDER BY %1) AS r "
                       "FROM transfer_data WHERE %2")
            .arg(checkedvalue::latestTransferFirst(key), onOrBefore(QStringLiteral("transferred_date"), *on));
    return QStringLiteral("SELECT s.stock_no, s.stock_type, s.publish_date, s.item_code, s.stock_qty, s.%1 AS k, "
                          "CASE WHEN t.stock_no IS NOT NULL THEN %2 WHEN %3 IS NOT NULL THEN %3 ELSE %4 END AS n, "
                          "CASE WHEN t.stock_no IS NOT NULL THEN t.new_holder WHEN %3 IS NOT NULL THEN "
                          "s.original_holder ELSE s.present_holder END AS h "
                          "FROM stock_data s LEFT JOIN (%5) t ON t.stock_no = s.stock_no AND t.r = 1 "
                          "WHERE %6 AND NOT %7")
        .arg(key, whole("t.new_holder"), whole("s.original_holder"), whole("s.present_holder"), lastTransfers,
             onOrBefore(QStringLiteral("s.publish_date"), *on), cancelled("s.stock_no"));
}

QString nameOf(const Holder& holder)
{
    if (holder.known)
        return holder.name;
    return holder.number ? QStringLiteral("(no shareholder has this number)")
                         : QStringLiteral("(the holder names no shareholder number)");
}

QVariant numberOf(const Holder& holder)
{
    return holder.number ? QVariant(*holder.number) : QVariant();
}

Expected<Holdings> holdings(const Connection& connection, const std::optional<QDate>& on)
{
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    const auto failed = [&] {
        return connection.failure(QStringLiteral("Cannot list the holders of"), query.lastError());
    };
    // The engine sums the quantities stored as whole numbers of shares; the rest are judged one by one, as the
    // check judges them.
    const QString counted = checkedvalue::countedQuantity(QStringLiteral("stock_qty"));
    const QString counting = certificates(connection, on);
    const QString summed =
        QStringLiteral("WITH c AS %1 (%2) SELECT n, CAST(SUM(CASE WHEN %3 THEN stock_qty ELSE 0 END) AS BIGINT), "
                       "COUNT(*), SUM(CASE WHEN stock_qty IS NULL OR %3 THEN 0 ELSE 1 END) FROM c GROUP BY n "
                       "ORDER BY n IS NULL, n")
            .arg(connection.computedOnce(), counting, counted);
    if (!query.exec(summed))
        return failed();
    Holdings held;
    QHash<qint64, qsizetype> byNumber;
    qint64 judged = 0;
    while (query.next()) {
        Holder holder;
        if (!query.isNull(0))
            holder.number = values::read(query, 0).toLongLong();
        holder.shares = values::read(query, 1).toLongLong();
        holder.certificates = query.value(2).toLongLong();
        judged += query.value(3).toLongLong();
        if (holder.number)
            byNumber.insert(*holder.number, held.holders.size());
        held.holders.append(holder);
    }
    if (query.lastError().isValid())
        return failed();

    if (judged > 0) {
        if (!query.exec(QStringLiteral("WITH c AS %1 (%2) SELECT n, stock_qty FROM c WHERE stock_qty IS NOT NULL "
                                       "AND NOT %3")
                            .arg(connection.computedOnce(), counting, counted)))
            return failed();
        while (query.next()) {
            const std::optional<qint64> number =
                query.isNull(0) ? std::nullopt : std::optional<qint64>(values::read(query, 0).toLongLong());
            Holder& holder = number ? held.holders[byNumber.value(*number)] : held.holders.last();
            if (checkedvalue::quantityProblem(query.value(1)))
                ++holder.leftOut;
            else
                holder.shares += values::wholeNumber(query.value(1)).value;
        }
        if (query.lastError().isValid())
            return failed();
    }

    // Each number's first shareholder record gives the name and address.
    if (!query.exec(QStringLiteral("SELECT %1, stockholder_name, address1, address2 FROM stockholder ORDER BY %2")
                        .arg(connection.wholeNumberOf(QStringLiteral("stockholder_no")), connection.rowKey())))
        return failed();
    while (query.next()) {
        if (query.isNull(0))
            continue;
        const auto found = byNumber.constFind(values::read(query, 0).toLongLong());
        if (found == byNumber.cend() || held.holders[*found].known)
            continue;
        Holder& holder = held.holders[*found];
        holder.known = true;
        holder.name = values::shown(values::read(query, 1));
        holder.address1 = values::shown(values::read(query, 2));
        holder.address2 = values::shown(values::read(query, 3));
    }
    if (query.lastError().isValid())
        return failed();
    for (const Holder& holder : std::as_const(held.holders)) {
        held.shares += holder.shares;
        held.certificates += holder.certificates;
    }
    return held;
}

} // namespace heldon
