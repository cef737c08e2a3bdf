#include "distribution.h"

#include "connection.h"
#include "exactdecimal.h"
#include "heldon.h"
#include "reportpages.h"
#include "values.h"

#include <algorithm>

namespace distribution {

namespace {

constexpr int shownBars = 10;

QString percentage(qint64 part, qint64 all)
{
    return ExactDecimal::percent(part, all) + QLatin1Char('%');
}

} // namespace

Expected<QList<Holding>> read(const Connection& connection, const std::optional<QDate>& on)
{
    const Expected<heldon::Holdings> held = heldon::holdings(connection, on);
    if (!held)
        return held.status();
    QList<Holding> holdings;
    for (const heldon::Holder& holder : held->holders) {
        if (holder.known && holder.shares > 0)
            holdings.append({values::shown(heldon::numberOf(holder)), holder.name, holder.shares});
    }
    std::stable_sort(holdings.begin(), holdings.end(),
                     [](const Holding& one, const Holding& other) { return one.shares > other.shares; });
    return holdings;
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
            if (ExactDecimal(percent, 0).exceededBy(holding.shares, all))
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
