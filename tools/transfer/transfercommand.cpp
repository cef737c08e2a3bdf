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
    return request;
}

} // namespace

int transfer(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const commandline::Parsed parsed = commandline::parse(arguments, {}, {toOption, dateOption},
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
    out << terminaltext::visible(
        QStringLiteral("Transferred certificate %1 (%2) from shareholder %3 to shareholder "
                       "%4 on %5: shareholder %3 now holds %6, shareholder %4 holds %7.")
            .arg(values::shown(done->certificate), commandline::counted(done->shares, QStringLiteral("share")))
            .arg(done->from)
            .arg(done->to)
            .arg(asked->date)
            .arg(done->fromTotal)
            .arg(done->toTotal))
        << "\n";
    return 0;
}

} // namespace commands
