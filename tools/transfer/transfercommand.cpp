#include "commandline.h"
#include "commands.h"
#include "connection.h"
#include "schema.h"
#include "sharetransfer.h"
#include "terminaltext.h"
#include "values.h"

#include <QDate>
#include <QTextStream>

namespace commands {

namespace {

const QString toOption = QStringLiteral("--to");
const QString dateOption = QStringLiteral("--date");
const QString sharesOption = QStringLiteral("--shares");
const QString numbersOption = QStringLiteral("--new-numbers");

// A split's shares and new numbers, into the request; why they cannot be one.
Status split(const commandline::Parsed& parsed, sharetransfer::Request& request)
{
    if (parsed.options.contains(sharesOption) != parsed.options.contains(numbersOption))
        return Status::failure(QStringLiteral("A split takes both --shares N and --new-numbers BALANCE,NEW."));
    if (!parsed.options.contains(sharesOption))
        return {};
    const QString shares = parsed.options.value(sharesOption);
    const values::WholeNumber number = values::wholeNumber(shares);
    if (number.form != values::WholeNumber::Whole)
        return Status::failure(
            QStringLiteral("--shares %1 is not a whole number of shares.").arg(terminaltext::quoted(shares)));
    request.shares = number.value;
    const QStringList numbers = parsed.options.value(numbersOption).split(QLatin1Char(','));
    if (numbers.size() != 2 || numbers.first().trimmed().isEmpty() || numbers.last().trimmed().isEmpty()
        || numbers.first().trimmed() == numbers.last().trimmed())
        return Status::failure(QStringLiteral("--new-numbers %1 is not two certificate numbers, BALANCE,NEW.")
                                   .arg(terminaltext::quoted(parsed.options.value(numbersOption))));
    request.balance = numbers.first().trimmed();
    request.issued = numbers.last().trimmed();
    return {};
}

// The request as the command line gives it, or why it cannot be one.
Expected<sharetransfer::Request> request(const commandline::Parsed& parsed)
{
    sharetransfer::Request request;
    request.certificate = parsed.rest.at(1);
    const QString holder = parsed.options.value(toOption);
    const values::WholeNumber number = values::wholeNumber(holder);
    if (number.form != values::WholeNumber::Whole)
        return Status::failure(
            QStringLiteral("--to %1 names no shareholder number.").arg(terminaltext::quoted(holder)));
    request.holder = number.value;
    const schema::Column& dated = *schema::table(u"transfer_data")->column(u"transferred_date");
    const QString date = parsed.options.value(dateOption, QDate::currentDate().toString(Qt::ISODate));
    const Expected<QVariant> day = values::toStored(dated, date);
    if (!day)
        return day.status();
    if (day->isNull())
        return Status::failure(QStringLiteral("--date is empty; give the day of the transfer as YYYY-MM-DD."));
    request.date = day->toString();
    if (Status splitting = split(parsed, request); !splitting)
        return splitting;
    return request;
}

} // namespace

int transfer(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const commandline::Parsed parsed =
        commandline::parse(arguments, {}, {toOption, dateOption, sharesOption, numbersOption},
                           {QStringLiteral("REGISTER"), QStringLiteral("STOCK_NO")},
                           QStringLiteral("transfer takes a REGISTER and a STOCK_NO"));
    if (!parsed.wrong.isEmpty())
        return commandline::wrongUsage(err, parsed.wrong);
    if (!parsed.options.contains(toOption))
        return commandline::wrongUsage(err, QStringLiteral("transfer needs --to HOLDER, the new holder's number"));
    const Expected<sharetransfer::Request> asked = request(parsed);
    if (!asked)
        return commandline::refused(err, asked.status().message());

    const Expected<std::unique_ptr<Connection>> opened = commandline::openRegister(parsed.rest.first());
    if (!opened)
        return commandline::failed(err, opened.status().message());
    const Expected<sharetransfer::Outcome> done = sharetransfer::record(*opened.value(), asked.value());
    if (!done)
        return commandline::failed(err, done.status().message() + QStringLiteral(" Nothing was transferred."));
    if (!done->refused.isEmpty())
        return commandline::refused(err, done->refused);
    const sharetransfer::Outcome& outcome = done.value();
    const auto shares = [](qint64 count) {
        return commandline::counted(count, QStringLiteral("share"));
    };
    const QString what =
        asked->shares ? QStringLiteral("Split certificate %1 on %2: %3 (%4) to shareholder %5, the balance %6 (%7) "
                                       "to shareholder %8")
                            .arg(values::shown(outcome.certificate), asked->date, asked->issued, shares(outcome.shares))
                            .arg(outcome.to)
                            .arg(asked->balance, shares(outcome.balanceShares))
                            .arg(outcome.from)
                      : QStringLiteral("Transferred certificate %1 (%2) from shareholder %3 to shareholder %4 on %5")
                            .arg(values::shown(outcome.certificate), shares(outcome.shares))
                            .arg(outcome.from)
                            .arg(outcome.to)
                            .arg(asked->date);
    out << terminaltext::visible(what
                                 + QStringLiteral(": shareholder %1 now holds %2, shareholder %3 holds %4.")
                                       .arg(outcome.from)
                                       .arg(outcome.fromTotal)
                                       .arg(outcome.to)
                                       .arg(outcome.toTotal))
        << "\n";
    return 0;
}

} // namespace commands
