#include "totalsfix.h"

#include "connection.h"
#include "historylog.h"
#include "schema.h"
#include "writetransaction.h"

#include <QSqlError>
#include <QSqlQuery>

namespace totalsfix {

Expected<Outcome> apply(const Connection& connection, const QList<registercheck::Total>& totals)
{
    const QString doing = QStringLiteral("Cannot set the totals in");
    WriteTransaction transaction(connection);
    if (Status begun = transaction.begin(doing); !begun)
        return begun;
    QSqlQuery query(connection.database());
    const auto failed = [&] {
        return connection.failure(doing, query.lastError());
    };
    // What is held is summed again while no clerk can move a certificate or change a total.
    const QString hold = connection.holdWrites(
        {schema::quoted(QStringLiteral("stock_data")), schema::quoted(QStringLiteral("stockholder"))});
    if (!hold.isEmpty() && !query.exec(hold))
        return failed();
    const Expected<registercheck::Holdings> now = registercheck::holdings(connection);
    if (!now)
        return now.status();

    const schema::Table& holders = *schema::table(u"stockholder");
    if (!query.prepare(QStringLiteral("UPDATE stockholder SET total_share = ? WHERE %1 = ? AND %2 AND %3")
                           .arg(connection.rowKey(), connection.holdsExactly(QStringLiteral("stockholder_no")),
                                connection.holdsExactly(QStringLiteral("total_share")))))
        return failed();
    Outcome outcome;
    QList<history::Entry> entries;
    const std::optional<QString> withheld = registercheck::withheld(now.value());
    for (const registercheck::Total& total : totals) {
        if (withheld) {
            outcome.skipped.append({total, *withheld});
            continue;
        }
        if (now->unknown.contains(total.holder) || now->held.value(total.holder) != total.held) {
            outcome.skipped.append({total, QStringLiteral("the certificates it holds changed after the check")});
            continue;
        }
        query.bindValue(0, total.held);
        query.bindValue(1, total.rowKey);
        query.bindValue(2, total.number);
        query.bindValue(3, total.stored);
        if (!query.exec())
            return failed();
        if (query.numRowsAffected() != 1) {
            outcome.skipped.append({total, QStringLiteral("the record changed after the check")});
            continue;
        }
        outcome.set.append(total);
        entries.append(HistoryLog::entry(holders, total.rowKey, total.number, QStringLiteral("modify"),
                                         {{QStringLiteral("total_share"), total.stored, total.held}}));
    }
    if (Status kept = HistoryLog(connection).append(entries); !kept)
        return kept;
    if (Status committed = transaction.commit(doing); !committed)
        return committed;
    return outcome;
}

} // namespace totalsfix
