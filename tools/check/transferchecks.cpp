#include "checkcontext.h"

#include "checkedvalue.h"
#include "connection.h"
#include "schema.h"
#include "values.h"

// The transfers' part of the register check: where each certificate's transfers lead, and its cancellation.
namespace registercheck::checking {

namespace {

using checkedvalue::Number;
using checkedvalue::Problems;
using checkedvalue::quoted;
using checkedvalue::transferName;

void chainFinding(Context& context, const QSqlQuery& row)
{
    const Number present = values::wholeNumber(row.value(5));
    const Number after = values::wholeNumber(row.value(3));
    if (checkedvalue::sameHolder(present, row.value(5), after, row.value(3)))
        return;
    const QString ends = after.form == Number::Blank ? QStringLiteral("no new holder")
                         : after.form == Number::Odd ? quoted(row.value(3))
                                                     : QStringLiteral("shareholder %1").arg(after.value);
    const QString now = present.form == Number::Blank
                            ? QStringLiteral("it has no present holder")
                            : QStringLiteral("its present holder is %1").arg(quoted(row.value(5)));
    const QString when = checkedvalue::blank(row.value(2)) ? QStringLiteral("undated") : values::shown(row.value(2));
    const qint64 rowKey = row.value(4).toLongLong();
    add(context, Kind::Chain, certificates, rowKey, row.value(1), certificateName(context, row.value(1), rowKey),
        QStringLiteral("its last transfer (record %1, %2) ends with %3, but %4.")
            .arg(row.value(0).toString(), when, ends, now),
        present.whole());
}

} // namespace

// Transfers of a certificate that is not there, and each certificate's last transfer that does not end with its
// present holder: the last in the order of transfers.
Status checkTransfers(Context& context)
{
    const QString statement =
        QStringLiteral("SELECT t.k, t.stock_no, t.transferred_date, t.new_holder, s.%1, s.present_holder FROM "
                       "(SELECT %1 AS k, stock_no, transferred_date, new_holder, ROW_NUMBER() OVER (PARTITION BY "
                       "stock_no ORDER BY %3) AS n FROM transfer_data WHERE stock_no IS NOT NULL "
                       "AND stock_no <> '') t LEFT JOIN stock_data s ON s.stock_no = t.stock_no "
                       "WHERE s.stock_no IS NULL OR (t.n = 1 AND NOT (%2) AND NOT %4)")
            .arg(context.key,
                 context.connection.sameValue(QStringLiteral("s.present_holder"), QStringLiteral("t.new_holder")),
                 checkedvalue::latestTransferFirst(context.key),
                 checkedvalue::cancelled(context.cancellations, QStringLiteral("s.stock_no")));
    Status joined = each(context, statement, [&](const QSqlQuery& row) {
        if (!row.isNull(4))
            return chainFinding(context, row);
        const qint64 rowKey = row.value(0).toLongLong();
        add(context, Kind::Transfer, transfers, rowKey, row.value(1), transferName(row.value(1), rowKey),
            QStringLiteral("there is no certificate %1.").arg(values::shown(row.value(1))));
    });
    if (!joined)
        return joined;
    const QString dates =
        QStringLiteral("SELECT %1, stock_no, transferred_date FROM transfer_data WHERE %2 OR %3")
            .arg(context.key, checkedvalue::doubtfulDate(context.connection, QStringLiteral("transferred_date")),
                 maybeBlank(QStringLiteral("stock_no")));
    return each(context, dates, [&](const QSqlQuery& row) {
        Problems problems;
        if (checkedvalue::blank(row.value(1)))
            problems.append({Kind::Unnumbered, QStringLiteral("the certificate number is empty.")});
        checkedvalue::judgeDate(problems, row.value(2), QStringLiteral("transferred date"));
        const qint64 rowKey = row.value(0).toLongLong();
        for (const auto& [kind, what] : problems)
            add(context, kind, transfers, rowKey, row.value(1), transferName(row.value(1), rowKey), what);
    });
}

// A cancelled certificate that is still someone's present holding, from the day it was cancelled.
Status checkCancelled(Context& context)
{
    if (!context.cancellations)
        return {};
    const QString statement =
        QStringLiteral(
            "SELECT s.%1, s.stock_no, s.present_holder, c.cancelled_date FROM stock_data s JOIN %2 c ON "
            "c.stock_no = s.stock_no WHERE c.cancelled_date <= '%3' AND s.present_holder IS NOT NULL ORDER BY s.%1")
            .arg(context.key, schema::cancelledTable, context.today);
    return each(context, statement, [&](const QSqlQuery& row) {
        if (checkedvalue::blank(row.value(2)))
            return;
        const qint64 rowKey = row.value(0).toLongLong();
        add(context, Kind::Cancelled, certificates, rowKey, row.value(1),
            certificateName(context, row.value(1), rowKey),
            QStringLiteral("it was cancelled on %1, but its present holder is still %2.")
                .arg(values::shown(row.value(3)), quoted(row.value(2))),
            values::wholeNumber(row.value(2)).whole());
    });
}

} // namespace registercheck::checking
