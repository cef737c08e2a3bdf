#include "registercheck.h"

#include "checkcontext.h"
#include "checkedvalue.h"
#include "connection.h"
#include "history.h"
#include "values.h"

#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <functional>

namespace registercheck {

namespace {

using namespace checking;
using checkedvalue::Number;
using checkedvalue::quoted;

using checkedvalue::Problems;

struct Holder {
    qint64 rowKey = 0;
    QVariant number;
    Number whole;
    QVariant total;
    Problems problems; // of its codes and dates
};

Status readHolders(Context& context, QList<Holder>& read)
{
    const QString statement =
        QStringLiteral("SELECT %1, stockholder_no, \"character\", gender, birth_date, total_share "
                       "FROM stockholder ORDER BY %1")
            .arg(context.key);
    return each(context, statement, [&](const QSqlQuery& row) {
        Holder holder{row.value(0).toLongLong(), row.value(1), values::wholeNumber(row.value(1)), row.value(5), {}};
        checkedvalue::judgeCode(holder.problems, row.value(2), QStringLiteral("character"), 1,
                                QStringLiteral("1 (natural person) or 2 (juristic person)"));
        checkedvalue::judgeCode(holder.problems, row.value(3), QStringLiteral("gender"), 0,
                                QStringLiteral("0 (female) or 1 (male)"));
        checkedvalue::judgeDate(holder.problems, row.value(4), QStringLiteral("birth date"));
        if (holder.whole.form == Number::Whole)
            context.holderNumbers.insert(holder.whole.value);
        read.append(std::move(holder));
    });
}

Status certificateDuplicates(Context& context)
{
    QHash<QString, qint64> first;
    const QString statement =
        QStringLiteral("WITH repeated AS %2 (SELECT stock_no FROM stock_data WHERE stock_no <> '' GROUP BY "
                       "stock_no HAVING COUNT(*) > 1) SELECT %1, stock_no FROM stock_data WHERE stock_no IN (SELECT "
                       "stock_no FROM repeated) ORDER BY %1")
            .arg(context.key, context.connection.computedOnce());
    return each(context, statement, [&](const QSqlQuery& row) {
        const qint64 rowKey = row.value(0).toLongLong();
        const QString number = values::shown(row.value(1));
        context.repeatedCertificates.insert(number);
        if (const auto earlier = first.constFind(number); earlier != first.cend())
            add(context, Kind::Duplicate, certificates, rowKey, row.value(1),
                certificateName(context, row.value(1), rowKey),
                QStringLiteral("the number is already on record %1.").arg(*earlier));
        else
            first.insert(number, rowKey);
    });
}

// The quantities the engine sums are whole numbers of shares as stored; the rest are judged here, one by one.
Status holdingsOf(Context& context, Holdings& holdings, bool report)
{
    const auto unreadable = [&](const QVariant& holder) {
        if (const QString shown = quoted(holder); !holdings.unreadable.contains(shown))
            holdings.unreadable.append(shown);
    };
    const QString counted = checkedvalue::countedQuantity(QStringLiteral("stock_qty"));
    // A certificate cancelled by today is no one's.
    const QString gone =
        checkedvalue::cancelled(context.cancellations, QStringLiteral("stock_data.stock_no"), context.today);
    Status summed = each(context,
                         QStringLiteral("SELECT present_holder, CAST(SUM(stock_qty) AS BIGINT) FROM stock_data WHERE "
                                        "present_holder IS NOT NULL AND %1 AND NOT %2 GROUP BY present_holder")
                             .arg(counted, gone),
                         [&](const QSqlQuery& row) {
                             const Number holder = values::wholeNumber(row.value(0));
                             if (holder.form == Number::Whole)
                                 holdings.held[holder.value] += row.value(1).toLongLong();
                             else if (holder.form == Number::Odd)
                                 unreadable(row.value(0));
                         });
    if (!summed)
        return summed;
    const QString statement = QStringLiteral("SELECT %1, stock_no, present_holder, stock_qty FROM stock_data WHERE "
                                             "stock_qty IS NOT NULL AND NOT %2 AND NOT %3")
                                  .arg(context.key, counted, gone);
    return each(context, statement, [&](const QSqlQuery& row) {
        const Number holder = values::wholeNumber(row.value(2));
        if (holder.form == Number::Odd)
            unreadable(row.value(2));
        const qint64 rowKey = row.value(0).toLongLong();
        const auto found = [&](const QString& what) {
            if (report)
                add(context, Kind::Total, certificates, rowKey, row.value(1),
                    certificateName(context, row.value(1), rowKey), what, holder.whole());
        };
        const std::optional<QString> wrong = checkedvalue::quantityProblem(row.value(3));
        if (!wrong) {
            if (holder.form == Number::Whole)
                holdings.held[holder.value] += values::wholeNumber(row.value(3)).value;
            if (const std::optional<QString> wanting = checkedvalue::quantityWanting(row.value(3)))
                found(*wanting + QLatin1Char('.'));
            return;
        }
        if (holder.form == Number::Whole)
            holdings.unknown.insert(holder.value);
        found(*wrong
              + (holder.form == Number::Whole
                     ? QStringLiteral(", so shareholder %1's total cannot be checked.").arg(holder.value)
                     : QStringLiteral(".")));
    });
}

// Only the certificates that may be wrong come back: a code, a date or a holder the engine cannot vouch for.
Status checkCertificates(Context& context)
{
    const QString holderIn = QStringLiteral("(%1 IS NOT NULL AND (%2 IS NULL OR NOT %1 = CAST(%1 AS BIGINT)))");
    const QString statement =
        QStringLiteral("SELECT s.%1, s.stock_no, s.stock_type, s.publish_date, s.original_holder, s.present_holder "
                       "FROM stock_data s "
                       "LEFT JOIN (SELECT DISTINCT stockholder_no AS n FROM stockholder) o ON o.n = s.original_holder "
                       "LEFT JOIN (SELECT DISTINCT stockholder_no AS n FROM stockholder) p ON p.n = s.present_holder "
                       "WHERE (s.stock_type IS NOT NULL AND NOT (s.stock_type IN (1, 2))) OR %2 OR %3 OR %4 OR %5")
            .arg(context.key, checkedvalue::doubtfulDate(context.connection, QStringLiteral("s.publish_date")),
                 holderIn.arg(QStringLiteral("s.original_holder"), QStringLiteral("o.n")),
                 holderIn.arg(QStringLiteral("s.present_holder"), QStringLiteral("p.n")),
                 maybeBlank(QStringLiteral("s.stock_no")));
    return each(context, statement, [&](const QSqlQuery& row) {
        Problems problems;
        if (checkedvalue::blank(row.value(1)))
            problems.append({Kind::Unnumbered, QStringLiteral("the number is empty, so no transfer can name it.")});
        checkedvalue::judgeCode(problems, row.value(2), QStringLiteral("stock type"), 1,
                                QStringLiteral("1 (common) or 2 (special)"));
        checkedvalue::judgeDate(problems, row.value(3), QStringLiteral("publish date"));
        checkedvalue::judgeHolder(problems, row.value(4), QStringLiteral("original holder"), context.holderNumbers);
        checkedvalue::judgeHolder(problems, row.value(5), QStringLiteral("present holder"), context.holderNumbers);
        const qint64 rowKey = row.value(0).toLongLong();
        for (const auto& [kind, what] : problems)
            add(context, kind, certificates, rowKey, row.value(1), certificateName(context, row.value(1), rowKey),
                what);
    });
}

// The shareholders' findings, once every number is known and what each holds.
void judgeHolders(Context& context, const QList<Holder>& read, const Holdings& holdings, QList<Total>* totals)
{
    QHash<qint64, qint64> first;
    QHash<qint64, int> records;
    for (const Holder& holder : read) {
        if (holder.whole.form == Number::Whole && records[holder.whole.value]++ == 0)
            first.insert(holder.whole.value, holder.rowKey);
    }
    for (const Holder& holder : read) {
        const std::optional<qint64> number = holder.whole.whole();
        const QString name =
            checkedvalue::holderName(holder.number, holder.whole, holder.rowKey, number && records.value(*number) > 1);
        const auto found = [&](Kind kind, const QString& what) {
            add(context, kind, holders, holder.rowKey, holder.number, name, what, number);
        };
        if (holder.whole.form == Number::Odd)
            found(Kind::Holder, QStringLiteral("the number is not a whole number, so no certificate can name it."));
        else if (holder.whole.form == Number::Blank)
            found(Kind::Unnumbered, QStringLiteral("the number is empty, so no certificate can name it."));
        if (number && first.value(*number) != holder.rowKey)
            found(Kind::Duplicate, QStringLiteral("the number is already on record %1.").arg(first.value(*number)));
        for (const auto& [kind, what] : holder.problems)
            found(kind, what);
        if (!number || holdings.unknown.contains(*number))
            continue;
        const qint64 held = holdings.held.value(*number);
        const Number total = values::wholeNumber(holder.total);
        if (total.form == Number::Whole ? total.value == held : total.form == Number::Blank && held == 0)
            continue;
        const QString stored = total.form == Number::Blank ? QStringLiteral("total share is empty")
                               : total.form == Number::Odd
                                   ? QStringLiteral("total share %1 is not a number").arg(quoted(holder.total))
                                   : QStringLiteral("total share %1").arg(total.value);
        found(Kind::Total, QStringLiteral("%1, but the certificates held now come to %2.").arg(stored).arg(held));
        if (totals)
            totals->append(
                {holder.rowKey, holder.number, *number, holder.total, held, withheld(holdings).value_or(QString())});
    }
}

// A server that keeps a history writes each entry itself; a table whose trigger is gone or disabled changes
// without a trace.
Status checkHistoryKeeper(Context& context)
{
    const QString missing = context.connection.historyNotKeptOn();
    if (missing.isEmpty())
        return {};
    const Expected<bool> kept = history::kept(context.connection);
    if (!kept)
        return kept.status();
    if (!kept.value())
        return {};
    return each(context, missing, [&](const QSqlQuery& row) {
        const QString table = row.value(0).toString();
        add(context, Kind::History, table, 0, QVariant(), QStringLiteral("The table %1").arg(table),
            QStringLiteral("the server does not write its changes into the history (its trigger is missing or "
                           "disabled); velmora-register upgrade puts it back."));
    });
}

int tableOrder(const QString& table)
{
    return table == certificates ? 0 : table == holders ? 1 : 2;
}

} // namespace

Expected<QList<Finding>> run(const Connection& connection)
{
    return run(connection, nullptr);
}

Expected<QList<Finding>> run(const Connection& connection, QList<Total>* totals)
{
    Context context(connection);
    QList<Holder> read;
    Holdings holdings;
    const std::function<Status()> steps[] = {
        [&] { return readCancellations(context); },     [&] { return readHolders(context, read); },
        [&] { return certificateDuplicates(context); }, [&] { return holdingsOf(context, holdings, true); },
        [&] { return checkCertificates(context); },     [&] { return checkTransfers(context); },
        [&] { return checkCancelled(context); },        [&] { return checkHistoryKeeper(context); },
    };
    for (const std::function<Status()>& step : steps) {
        if (Status done = step(); !done)
            return done;
    }
    judgeHolders(context, read, holdings, totals);
    std::stable_sort(context.found.begin(), context.found.end(), [](const Finding& a, const Finding& b) {
        return std::pair(tableOrder(a.table), a.rowKey) < std::pair(tableOrder(b.table), b.rowKey);
    });
    return context.found;
}

std::optional<QString> withheld(const Holdings& holdings)
{
    if (holdings.unreadable.isEmpty())
        return std::nullopt;
    return QStringLiteral("the present holder %1 of a certificate is no shareholder number, and may be theirs")
        .arg(holdings.unreadable.first());
}

Expected<Holdings> holdings(const Connection& connection)
{
    Context context(connection);
    Holdings held;
    if (Status read = readCancellations(context); !read)
        return read;
    if (Status summed = holdingsOf(context, held, false); !summed)
        return summed;
    return held;
}

} // namespace registercheck
