#include "commands.h"
#include "connection.h"
#include "csvexport.h"
#include "dividendlist.h"
#include "pdffile.h"
#include "recorddatelist.h"
#include "reportpages.h"
#include "terminaltext.h"
#include "values.h"

#include <QTextStream>

namespace commands {

namespace {

const QString perShareOption = QStringLiteral("--per-share");
const QString withholdOption = QStringLiteral("--withhold");

using money = ExactDecimal;

struct Asked {
    RecordDateList list;
    ExactDecimal perShare;
    ExactDecimal withholding;
};

QString readAmounts(const commandline::Parsed& parsed, Asked& asked)
{
    if (!parsed.options.contains(perShareOption))
        return QStringLiteral("--per-share AMOUNT is needed: the dividend on each share, such as 0.125");
    const QString perShare = parsed.options.value(perShareOption);
    const std::optional<ExactDecimal> amount = ExactDecimal::parse(perShare);
    if (!amount)
        return QStringLiteral("--per-share takes an amount of money that is not negative, in digits with at most %1 "
                              "decimals, such as 0.125, not \"%2\"")
            .arg(ExactDecimal::mostDecimals)
            .arg(perShare);
    asked.perShare = *amount;
    if (parsed.options.contains(withholdOption)) {
        const QString given = parsed.options.value(withholdOption);
        const std::optional<ExactDecimal> rate = ExactDecimal::parse(given);
        if (!rate || rate->moreThan(100))
            return QStringLiteral("--withhold takes a percentage from 0 to 100, such as 15 or 26.375, not \"%1\"")
                .arg(given);
        asked.withholding = *rate;
    }
    return {};
}

void dividendPages(ReportPages& pages, const DatedRegister& dated, const Asked& asked, const DividendList& dividend)
{
    const QString rate = asked.perShare.toString();
    const QString withholding = asked.withholding.toString() + QLatin1Char('%');
    pages.text(QStringLiteral("Dividend list"), ReportPages::Style::Title);
    pages.space();
    pages.fields({{QStringLiteral("Register"), dated.path(), true},
                  {QStringLiteral("Record date"), asked.list.recordDate()},
                  {QStringLiteral("Per share"), rate},
                  {QStringLiteral("Withheld"), withholding},
                  {QStringLiteral("Holders"), dated.view()}});
    pages.space();
    pages.beginTable(QStringLiteral("Dividend per holder on the record date"), {{QStringLiteral("No."), 0.7, true},
                                                                                {QStringLiteral("Name"), 2.4},
                                                                                {QStringLiteral("Shares"), 1, true},
                                                                                {QStringLiteral("Gross"), 1.1, true},
                                                                                {QStringLiteral("Withheld"), 1.1, true},
                                                                                {QStringLiteral("Net"), 1.1, true}});
    for (const DividendList::Line& line : dividend.lines)
        pages.row({values::shown(heldon::numberOf(line.holder)), heldon::nameOf(line.holder),
                   QString::number(line.holder.shares), money::hundredths(line.gross), money::hundredths(line.withheld),
                   money::hundredths(line.net)},
                  line.holder.known ? ReportPages::Style::Body : ReportPages::Style::Finding);
    pages.closingRow({QStringLiteral("Total"),
                      {},
                      QString::number(dividend.shares),
                      money::hundredths(dividend.gross),
                      money::hundredths(dividend.withheld),
                      money::hundredths(dividend.net)});
    pages.endTable();
    pages.text(dividend.rounding(), ReportPages::Style::Small);
    for (const DividendList::Line& line : dividend.lines) {
        pages.keep(13);
        pages.space();
        pages.text(QStringLiteral("Dividend voucher"), ReportPages::Style::Heading);
        pages.fields(
            {{QStringLiteral("Shareholder"),
              QStringLiteral("%1 %2").arg(values::shown(heldon::numberOf(line.holder)), heldon::nameOf(line.holder)),
              true},
             {QStringLiteral("Address"), line.holder.address1, true},
             {QString(), line.holder.address2, true},
             {QStringLiteral("Record date"), asked.list.recordDate()},
             {QStringLiteral("Shares"), QString::number(line.holder.shares)},
             {QStringLiteral("Rate per share"), rate},
             {QStringLiteral("Gross"), money::hundredths(line.gross)},
             {QStringLiteral("Withheld (%1)").arg(withholding), money::hundredths(line.withheld)},
             {QStringLiteral("Net"), money::hundredths(line.net)}});
    }
}

} // namespace

int dividend(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const commandline::Parsed parsed = commandline::parse(
        arguments, RecordDateList::flags(), RecordDateList::valued() + QStringList{perShareOption, withholdOption},
        {QStringLiteral("REGISTER")}, QStringLiteral("dividend takes one REGISTER"));
    if (!parsed.wrong.isEmpty())
        return commandline::wrongUsage(err, parsed.wrong);
    Asked asked;
    if (const QString wrong = readAmounts(parsed, asked); !wrong.isEmpty())
        return commandline::wrongUsage(err, wrong);
    if (const QString wrong = asked.list.read(parsed); !wrong.isEmpty())
        return commandline::wrongUsage(err, wrong);
    const Expected<DatedRegister::Listed> listed = DatedRegister::list(asked.list.location, asked.list.asked);
    if (!listed)
        return commandline::failed(err, listed.status().message());
    const DatedRegister& dated = *listed->dated;
    const heldon::Holdings* held = &listed->held;
    const DividendList dividend = DividendList::of(*held, asked.perShare, asked.withholding);
    if (dividend.tooLarge)
        return commandline::failed(err, QStringLiteral("Cannot list the dividend of \"%1\": at %2 per share the "
                                                       "amounts are too large to keep exactly.")
                                            .arg(dated.path(), asked.perShare.toString()));

    if (asked.list.csv) {
        out << csvexport::csvLine({QStringLiteral("shareholder_no"), QStringLiteral("name"), QStringLiteral("shares"),
                                   QStringLiteral("gross"), QStringLiteral("withheld"), QStringLiteral("net")});
        for (const DividendList::Line& line : dividend.lines)
            out << csvexport::csvLine({heldon::numberOf(line.holder),
                                       csvexport::defused(heldon::nameOf(line.holder), false), line.holder.shares,
                                       money::hundredths(line.gross), money::hundredths(line.withheld),
                                       money::hundredths(line.net)});
        return 0;
    }
    if (!asked.list.pdf.isEmpty())
        return asked.list.writePdf(
            dated, QStringLiteral("dividend list"), QStringLiteral("Dividend list"),
            [&](ReportPages& pages) {
                dividendPages(pages, dated, asked, dividend);
                return Status();
            },
            out, err);
    out << terminaltext::visible(
        QStringLiteral("Dividend of %1 per share, %2% withheld, for the record date %3 of %4, %5:")
            .arg(asked.perShare.toString(), asked.withholding.toString(), asked.list.recordDate(), dated.path(),
                 dated.view()))
        << "\n";
    out << QStringLiteral("%1 %2 %3 %4 %5  %6\n")
               .arg(QStringLiteral("No."), 10)
               .arg(QStringLiteral("Shares"), 14)
               .arg(QStringLiteral("Gross"), 16)
               .arg(QStringLiteral("Withheld"), 16)
               .arg(QStringLiteral("Net"), 16)
               .arg(QStringLiteral("Name"));
    const auto line = [&](const QString& number, qint64 shares, qint64 gross, qint64 withheld, qint64 net,
                          const QString& name) {
        out << QStringLiteral("%1 %2 %3 %4 %5  %6\n")
                   .arg(number, 10)
                   .arg(shares, 14)
                   .arg(money::hundredths(gross), 16)
                   .arg(money::hundredths(withheld), 16)
                   .arg(money::hundredths(net), 16)
                   .arg(terminaltext::visible(name));
    };
    for (const DividendList::Line& each : dividend.lines)
        line(values::shown(heldon::numberOf(each.holder)), each.holder.shares, each.gross, each.withheld, each.net,
             heldon::nameOf(each.holder));
    line(QStringLiteral("Total"), dividend.shares, dividend.gross, dividend.withheld, dividend.net,
         commandline::counted(dividend.lines.size(), QStringLiteral("holder")));
    out << dividend.rounding() << "\n";
    return 0;
}

} // namespace commands
