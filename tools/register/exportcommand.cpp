#include "commandline.h"
#include "commands.h"
#include "csvexport.h"
#include "terminaltext.h"

#include <QTextStream>

using commandline::failed;
using commandline::parse;
using commandline::Parsed;
using commandline::wrongUsage;

namespace commands {

int exportCsv(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const Parsed parsed =
        parse(arguments, {QStringLiteral("--force"), QStringLiteral("--raw")}, {},
              {QStringLiteral("REGISTER"), QStringLiteral("DIR")}, QStringLiteral("export takes a REGISTER and a DIR"));
    if (!parsed.wrong.isEmpty())
        return wrongUsage(err, parsed.wrong);
    const Status written =
        csvexport::exportRegister(parsed.rest[0], parsed.rest[1], parsed.options.contains(QStringLiteral("--force")),
                                  parsed.options.contains(QStringLiteral("--raw")));
    if (!written)
        return failed(err, written.message());
    out << QStringLiteral("Wrote stock_data.csv, stockholder.csv and transfer_data.csv into %1.\n")
               .arg(terminaltext::visible(parsed.rest[1]));
    return 0;
}

} // namespace commands
