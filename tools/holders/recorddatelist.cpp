#include "recorddatelist.h"

#include "connection.h"
#include "pdffile.h"
#include "terminaltext.h"

#include <QFileInfo>
#include <QTextStream>

namespace {

const QString recordDateOption = QStringLiteral("--record-date");
const QString csvOption = QStringLiteral("--csv");
const QString pdfOption = QStringLiteral("--pdf");
const QString forceOption = QStringLiteral("--force");

} // namespace

QStringList RecordDateList::flags()
{
    return {csvOption, forceOption};
}

QStringList RecordDateList::valued()
{
    return {recordDateOption, DatedRegister::recordedOption(), pdfOption};
}

QString RecordDateList::read(const commandline::Parsed& parsed)
{
    location = parsed.rest.value(0);
    if (!parsed.options.contains(recordDateOption))
        return QStringLiteral("--record-date DATE is needed: the holders on that day are listed");
    if (const QString wrong = DatedRegister::readOptions(parsed.options, recordDateOption, asked); !wrong.isEmpty())
        return wrong;
    csv = parsed.options.contains(csvOption);
    force = parsed.options.contains(forceOption);
    if (csv && parsed.options.contains(pdfOption))
        return QStringLiteral("give --csv or --pdf, not both");
    if (force && !parsed.options.contains(pdfOption))
        return QStringLiteral("--force replaces the --pdf FILE; there is none");
    if (!parsed.options.contains(pdfOption))
        return {};
    const QString given = parsed.options.value(pdfOption);
    if (given.isEmpty())
        return QStringLiteral("no FILE given for --pdf: the argument is empty");
    pdf = QFileInfo(given).absoluteFilePath();
    const Status writable = pdffile::refuseTarget(location, pdf, force, [&](const QString& reason) {
        return Status::failure(
            QStringLiteral("Cannot write the list of \"%1\": %2").arg(Connection::pathOf(location), reason));
    });
    return writable ? QString() : writable.message();
}

int RecordDateList::writePdf(const DatedRegister& dated, const QString& named, const QString& title,
                             const std::function<Status(ReportPages& pages)>& layOut, QTextStream& out,
                             QTextStream& err) const
{
    const Expected<int> pages =
        pdffile::write(location, pdf, force,
                       {QStringLiteral("%1: %2").arg(title, dated.path()),
                        QStringLiteral("%1 of %2, record date %3").arg(title, dated.path(), recordDate())},
                       layOut, [&](const QString& reason) {
                           return Status::failure(
                               QStringLiteral("Cannot write the %1 of \"%2\": %3.").arg(named, dated.path(), reason));
                       });
    if (!pages)
        return commandline::failed(err, pages.status().message());
    out << QStringLiteral("Wrote the %1 of %2 to %3: %4.\n")
               .arg(named, terminaltext::visible(dated.path()), terminaltext::visible(pdf),
                    commandline::counted(pages.value(), QStringLiteral("page")));
    return 0;
}
