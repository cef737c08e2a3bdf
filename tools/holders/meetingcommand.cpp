#include "commands.h"
#include "connection.h"
#include "csvexport.h"
#include "exactdecimal.h"
#include "heldon.h"
#include "pdffile.h"
#include "recorddatelist.h"
#include "reportpages.h"
#include "terminaltext.h"
#include "values.h"

#include <QDateTime>
#include <QTextStream>

namespace commands {

namespace {

// One vote per share.
qint64 votesOf(const heldon::Holder& holder)
{
    return holder.shares;
}

Status meetingPages(ReportPages& pages, const DatedRegister& dated, const RecordDateList& list,
                    const heldon::Holdings& held, const QDateTime& made)
{
    pages.text(QStringLiteral("Attendance and voting list"), ReportPages::Style::Title);
    pages.space();
    pages.fields({{QStringLiteral("Register"), dated.path(), true},
                  {QStringLiteral("Record date"), list.recordDate()},
                  {QStringLiteral("Made"), made.toString(QStringLiteral("yyyy-MM-dd HH:mm"))},
                  {QStringLiteral("Holders"), dated.view(), true}});
    pages.space();
    pages.beginTable(QStringLiteral("Members entitled to vote, one vote per share"),
                     {{QStringLiteral("No."), 0.7, true},
                      {QStringLiteral("Name"), 2.6},
                      {QStringLiteral("Shares"), 1, true},
                      {QStringLiteral("Votes"), 1, true},
                      {QStringLiteral("Percent"), 0.8, true},
                      {QStringLiteral("Signature"), 2.2}});
    qint64 votes = 0;
    for (const heldon::Holder& holder : held.holders) {
        if (holder.shares <= 0)
            continue;
        votes += votesOf(holder);
        pages.row({values::shown(heldon::numberOf(holder)), heldon::nameOf(holder), QString::number(holder.shares),
                   QString::number(votesOf(holder)), ExactDecimal::percent(votesOf(holder), held.shares), QString()},
                  holder.known ? ReportPages::Style::Body : ReportPages::Style::Finding);
    }
    pages.closingRow({QStringLiteral("Total"),
                      {},
                      QString::number(held.shares),
                      QString::number(votes),
                      QStringLiteral("100.00"),
                      {}});
    pages.endTable();
    return {};
}

} // namespace

int meeting(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const commandline::Parsed parsed =
        commandline::parse(arguments, RecordDateList::flags(), RecordDateList::valued(), {QStringLiteral("REGISTER")},
                           QStringLiteral("meeting takes one REGISTER"));
    if (!parsed.wrong.isEmpty())
        return commandline::wrongUsage(err, parsed.wrong);
    RecordDateList list;
    if (const QString wrong = list.read(parsed); !wrong.isEmpty())
        return commandline::wrongUsage(err, wrong);
    const Expected<DatedRegister::Listed> listed = DatedRegister::list(list.location, list.asked);
    if (!listed)
        return commandline::failed(err, listed.status().message());
    const DatedRegister& dated = *listed->dated;
    const heldon::Holdings* held = &listed->held;

    if (list.csv) {
        out << csvexport::csvLine({QStringLiteral("shareholder_no"), QStringLiteral("name"), QStringLiteral("shares"),
                                   QStringLiteral("votes"), QStringLiteral("percent")});
        for (const heldon::Holder& holder : held->holders) {
            if (holder.shares > 0)
                out << csvexport::csvLine({heldon::numberOf(holder), csvexport::defused(heldon::nameOf(holder), false),
                                           holder.shares, votesOf(holder),
                                           ExactDecimal::percent(votesOf(holder), held->shares)});
        }
        return 0;
    }
    if (!list.pdf.isEmpty()) {
        const QDateTime made = QDateTime::currentDateTime();
        return list.writePdf(
            dated, QStringLiteral("voting list"), QStringLiteral("Attendance and voting list"),
            [&](ReportPages& pages) { return meetingPages(pages, dated, list, *held, made); }, out, err);
    }
    out << terminaltext::visible(QStringLiteral("Voting list of %1 for the record date %2, %3:")
                                     .arg(dated.path(), list.recordDate(), dated.view()))
        << "\n";
    out << QStringLiteral("%1 %2 %3 %4  %5\n")
               .arg(QStringLiteral("No."), 10)
               .arg(QStringLiteral("Shares"), 14)
               .arg(QStringLiteral("Votes"), 14)
               .arg(QStringLiteral("Percent"), 8)
               .arg(QStringLiteral("Name"));
    qint64 holders = 0;
    for (const heldon::Holder& holder : held->holders) {
        if (holder.shares <= 0)
            continue;
        ++holders;
        out << QStringLiteral("%1 %2 %3 %4%  %5\n")
                   .arg(values::shown(heldon::numberOf(holder)), 10)
                   .arg(holder.shares, 14)
                   .arg(votesOf(holder), 14)
                   .arg(ExactDecimal::percent(votesOf(holder), held->shares), 7)
                   .arg(terminaltext::visible(heldon::nameOf(holder)));
    }
    out << QStringLiteral("Total: %1, %2, %3, 100.00%.\n")
               .arg(commandline::counted(holders, QStringLiteral("holder")),
                    commandline::counted(held->shares, QStringLiteral("share")),
                    commandline::counted(held->shares, QStringLiteral("vote")));
    return 0;
}

} // namespace commands
