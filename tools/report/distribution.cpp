#include "distribution.h"

#include "connection.h"
#include "reportpages.h"
#include "values.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

namespace distribution {

namespace {

constexpr int shownBars = 10;

// Whether part is more than the share of all given in hundredths: exact, with no rounding.
bool above(qint64 part, qint64 all, int percent)
{
    return __int128(part) * 100 > __int128(all) * percent;
}

} // namespace

Expected<QList<Holding>> read(const Connection& connection)
{
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    const auto failed = [&] {
        return connection.failure(QStringLiteral("Cannot make the register of members of"), query.lastError());
    };
    QList<Holding> holdings;
    QHash<qint64, qsizetype> byNumber;
    if (!query.exec(QStringLiteral("SELECT stockholder_no, stockholder_name FROM stockholder ORDER BY %1")
                        .arg(connection.rowKey())))
        return failed();
    while (query.next()) {
        const QVariant number = values::read(query, 0);
        const std::optional<qint64> whole = values::wholeNumber(number).whole();
        if (!whole || byNumber.contains(*whole))
            continue;
        byNumber.insert(*whole, holdings.size());
        holdings.append({values::shown(number), values::shown(values::read(query, 1)), 0});
    }
    if (!query.exec(QStringLiteral("SELECT present_holder, stock_qty FROM stock_data")))
        return failed();
    while (query.next()) {
        const std::optional<qint64> holder = values::wholeNumber(values::read(query, 0)).whole();
        const std::optional<qint64> shares = values::wholeNumber(values::read(query, 1)).whole();
        if (!holder || !shares || *shares < 0 || !byNumber.contains(*holder))
            continue;
        qint64& held = holdings[byNumber.value(*holder)].shares;
        if (qAddOverflow(held, *shares, &held))
            held = std::numeric_limits<qint64>::max();
    }
    if (query.lastError().isValid())
        return failed();
    std::stable_sort(holdings.begin(), holdings.end(),
                     [](const Holding& one, const Holding& other) { return one.shares > other.shares; });
    return holdings;
}

QString percentage(qint64 part, qint64 all)
{
    if (all <= 0)
        return QStringLiteral("0.00%");
    const __int128 hundredths = (__int128(part) * 20000 / all + 1) / 2;
    return QStringLiteral("%1.%2%").arg(qint64(hundredths / 100)).arg(int(hundredths % 100), 2, 10, QLatin1Char('0'));
}

void lay(ReportPages& pages, const QList<Holding>& holdings)
{
    __int128 sum = 0;
    for (const Holding& holding : holdings)
        sum += holding.shares;
    const qint64 all = sum > std::numeric_limits<qint64>::max() ? std::numeric_limits<qint64>::max() : qint64(sum);
    const auto label = [](const Holding& holding) {
        return holding.name.isEmpty() ? holding.number : QStringLiteral("%1 %2").arg(holding.number, holding.name);
    };
    pages.text(QStringLiteral("Distribution of shares"), ReportPages::Style::Heading);
    pages.text(QStringLiteral("%1 shares held by %2 shareholders; each one's part of all of them.")
                   .arg(all)
                   .arg(holdings.size()));
    pages.space();
    if (all == 0) {
        pages.text(QStringLiteral("No shareholder holds any shares."));
        pages.pageBreak();
        return;
    }
    QList<ReportPages::Bar> bars;
    qint64 rest = 0;
    for (qsizetype i = 0; i < holdings.size(); ++i) {
        if (i < shownBars)
            bars.append(
                {label(holdings[i]), qreal(holdings[i].shares) / qreal(all), percentage(holdings[i].shares, all)});
        else
            rest += holdings[i].shares;
    }
    if (holdings.size() > shownBars)
        bars.append({QStringLiteral("the other %1 shareholders").arg(holdings.size() - shownBars),
                     qreal(rest) / qreal(all), percentage(rest, all)});
    pages.bars(bars);
    pages.space();
    for (const int percent : {25, 10}) {
        QStringList named;
        for (const Holding& holding : holdings) {
            if (above(holding.shares, all, percent))
                named.append(QStringLiteral("%1 (%2)").arg(label(holding), percentage(holding.shares, all)));
        }
        pages.text(QStringLiteral("Holding more than %1%: %2")
                       .arg(percent)
                       .arg(named.isEmpty() ? QStringLiteral("no one") : named.join(QStringLiteral("; "))),
                   ReportPages::Style::Bold);
    }
    pages.space();
    pages.beginTable(QStringLiteral("Each shareholder's part, largest first"),
                     {{QStringLiteral("Shareholder"), 3},
                      {QStringLiteral("Shares"), 1, true},
                      {QStringLiteral("Part of all"), 1, true}});
    for (const Holding& holding : holdings)
        pages.row({label(holding), QString::number(holding.shares), percentage(holding.shares, all)});
    pages.endTable();
    pages.pageBreak();
}

} // namespace distribution
