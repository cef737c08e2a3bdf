#include "dividendlist.h"

#include <QtNumeric>

DividendList DividendList::of(const heldon::Holdings& holdings, const ExactDecimal& perShare,
                              const ExactDecimal& withholding)
{
    DividendList list;
    list.exactScale = std::max(perShare.scale(), 2);
    for (const heldon::Holder& holder : holdings.holders) {
        if (holder.shares <= 0)
            continue;
        const std::optional<qint64> gross = perShare.times(holder.shares, 2);
        if (!gross) {
            list.tooLarge = true;
            return list;
        }
        Line line{holder, *gross, withholding.percentOf(*gross), 0};
        line.net = line.gross - line.withheld;
        list.lines.append(line);
        list.tooLarge = list.tooLarge || qAddOverflow(list.shares, holder.shares, &list.shares)
                        || qAddOverflow(list.gross, line.gross, &list.gross)
                        || qAddOverflow(list.withheld, line.withheld, &list.withheld)
                        || qAddOverflow(list.net, line.net, &list.net);
    }
    const std::optional<qint64> exact = perShare.times(list.shares, list.exactScale);
    list.tooLarge = list.tooLarge || !exact;
    list.exact = exact.value_or(0);
    return list;
}

QString DividendList::rounding() const
{
    const ExactDecimal exactly(exact, exactScale);
    // The lines' gross at the exact amount's scale; both are whole numbers of the same unit.
    const std::optional<qint64> lines = ExactDecimal(gross, 2).times(1, exactScale);
    const qint64 difference = lines.value_or(0) - exact;
    const QString amount = QStringLiteral("%1 shares × the amount per share is %2").arg(shares).arg(exactly.toString());
    if (difference == 0)
        return amount + QStringLiteral(", the total gross to the cent: rounding the lines changed nothing.");
    return amount
           + QStringLiteral("; rounding each line to the cent makes the total gross %1 %2.")
                 .arg(ExactDecimal(std::abs(difference), exactScale).toString(),
                      difference > 0 ? QStringLiteral("more") : QStringLiteral("less"));
}
