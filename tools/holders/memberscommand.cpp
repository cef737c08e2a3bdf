#include "commandline.h"
#include "commands.h"
#include "connection.h"
#include "csvexport.h"
#include "datedregister.h"
#include "exactdecimal.h"
#include "heldon.h"
#include "readtransaction.h"
#include "registercheck.h"
#include "terminaltext.h"

#include <QTextStream>

namespace commands {

namespace {

const QString onOption = QStringLiteral("--on");
const QString overOption = QStringLiteral("--over");
const QString csvOption = QStringLiteral("--csv");

// On today's date the register as it took effect and as it stands agree unless the check finds why: the holders
// they disagree about, with what the check found about each.
Expected<QHash<qint64, QStringList>> disagreements(const Connection& connection, const heldon::Holdings& dated)
{
    const Expected<heldon::Holdings> present = heldon::holdings(connection, std::nullopt);
    if (!present)
        return present.status();
    QHash<qint64, std::pair<qint64, qint64>> standing;
    for (const heldon::Holder& holder : present->holders) {
        if (holder.number)
            standing.insert(*holder.number, {holder.shares, holder.certificates});
    }
    QHash<qint64, QStringList> differ;
    for (const heldon::Holder& holder : dated.holders) {
        if (holder.number && standing.take(*holder.number) != std::pair(holder.shares, holder.certificates))
            differ.insert(*holder.number, {});
    }
    for (auto left = standing.cbegin(); left != standing.cend(); ++left)
        differ.insert(left.key(), {});
    if (differ.isEmpty())
        return differ;
    const Expected<QList<registercheck::Finding>> findings = registercheck::run(connection);
    if (!findings)
        return findings.status();
    for (const registercheck::Finding& finding : findings.value()) {
        if (finding.holder && differ.contains(*finding.holder))
            differ[*finding.holder].append(finding.text);
    }
    return differ;
}

} // namespace

int members(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const commandline::Parsed parsed =
        commandline::parse(arguments, {csvOption}, {onOption, DatedRegister::recordedOption(), overOption},
                           {QStringLiteral("REGISTER")}, QStringLiteral("members takes one REGISTER"));
    if (!parsed.wrong.isEmpty())
        return commandline::wrongUsage(err, parsed.wrong);
    DatedRegister::Asked asked;
    if (const QString wrong = DatedRegister::readOptions(parsed.options, onOption, asked); !wrong.isEmpty())
        return commandline::wrongUsage(err, wrong);
    std::optional<ExactDecimal> over;
    if (parsed.options.contains(overOption)) {
        over = ExactDecimal::parse(parsed.options.value(overOption));
        if (!over || over->moreThan(100))
            return commandline::wrongUsage(err, QStringLiteral("--over takes a percentage from 0 to 100, such as 10 "
                                                               "or 25, not \"%1\"")
                                                    .arg(parsed.options.value(overOption)));
    }

    const Expected<DatedRegister::Listed> listed = DatedRegister::list(parsed.rest.first(), asked);
    if (!listed)
        return commandline::failed(err, listed.status().message());
    const DatedRegister& dated = *listed->dated;
    const heldon::Holdings* held = &listed->held;
    QHash<qint64, QStringList> differ;
    if (dated.on() == QDate::currentDate()) {
        const Expected<QHash<qint64, QStringList>> found = disagreements(dated.connection(), *held);
        if (!found)
            return commandline::failed(err, found.status().message());
        differ = found.value();
    }

    const qint64 all = held->shares;
    QList<heldon::Holder> kept;
    for (const heldon::Holder& holder : held->holders) {
        if (holder.shares > 0 && (!over || over->exceededBy(holder.shares, all)))
            kept.append(holder);
    }
    if (parsed.options.contains(csvOption)) {
        out << csvexport::csvLine({QStringLiteral("shareholder_no"), QStringLiteral("name"), QStringLiteral("shares"),
                                   QStringLiteral("percent"), QStringLiteral("certificates")});
        for (const heldon::Holder& holder : std::as_const(kept))
            out << csvexport::csvLine({heldon::numberOf(holder), csvexport::defused(heldon::nameOf(holder), false),
                                       holder.shares, ExactDecimal::percent(holder.shares, all), holder.certificates});
        return 0;
    }
    out << terminaltext::visible(QStringLiteral("Members of %1, %2").arg(dated.path(), dated.view()))
        << (over ? QStringLiteral(", holding more than %1%").arg(over->toString()) : QString()) << ":\n";
    out << QStringLiteral("%1 %2 %3 %4  %5\n")
               .arg(QStringLiteral("No."), 10)
               .arg(QStringLiteral("Shares"), 14)
               .arg(QStringLiteral("Percent"), 8)
               .arg(QStringLiteral("Certificates"), 12)
               .arg(QStringLiteral("Name"));
    qint64 shares = 0, certificates = 0;
    for (const heldon::Holder& holder : std::as_const(kept)) {
        shares += holder.shares;
        certificates += holder.certificates;
        const bool marked = holder.number && differ.contains(*holder.number);
        out << (marked ? QLatin1Char('*') : QLatin1Char(' '))
            << QStringLiteral("%1 %2 %3% %4  %5\n")
                   .arg(holder.number ? QString::number(*holder.number) : QString(), 9)
                   .arg(holder.shares, 14)
                   .arg(ExactDecimal::percent(holder.shares, all), 7)
                   .arg(holder.certificates, 12)
                   .arg(terminaltext::visible(heldon::nameOf(holder)));
    }
    if (over)
        out << QStringLiteral("%1 of %2 hold more than %3%: %4, %5 of %6 shares (%7%).\n")
                   .arg(QString::number(kept.size()), QString::number(held->holders.size()), over->toString(),
                        commandline::counted(certificates, QStringLiteral("certificate")), QString::number(shares),
                        QString::number(all), ExactDecimal::percent(shares, all));
    else
        out << QStringLiteral("Total: %1, %2, %3, 100.00%.\n")
                   .arg(commandline::counted(kept.size(), QStringLiteral("holder")),
                        commandline::counted(certificates, QStringLiteral("certificate")),
                        commandline::counted(shares, QStringLiteral("share")));
    for (const heldon::Holder& holder : held->holders) {
        if (holder.leftOut > 0)
            out << terminaltext::visible(
                QStringLiteral("Not counted: %1 of %2 whose quantity is no whole number "
                               "of shares.")
                    .arg(commandline::counted(holder.leftOut, QStringLiteral("certificate")), heldon::nameOf(holder)))
                << "\n";
    }
    QList<qint64> numbers = differ.keys();
    std::sort(numbers.begin(), numbers.end());
    for (const qint64 number : std::as_const(numbers)) {
        out << QStringLiteral("* Shareholder %1 holds otherwise by the transfers than by the certificates' present "
                              "holders:\n")
                   .arg(number);
        for (const QString& finding : differ.value(number))
            out << "    " << terminaltext::visible(finding) << "\n";
        if (differ.value(number).isEmpty())
            out << "    (check names no finding about this shareholder)\n";
    }
    return 0;
}

} // namespace commands
