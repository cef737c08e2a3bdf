#pragma once

#include "commandline.h"
#include "datedregister.h"

#include <functional>

class QTextStream;
class ReportPages;

// What the lists of a record date share: the register, the day, and where the list goes (the terminal, CSV on
// standard output, or a PDF).
struct RecordDateList {
    QString location;
    DatedRegister::Asked asked;
    bool csv = false;
    QString pdf; // the PDF's absolute path, where one is asked for
    bool force = false;

    // The options every such list takes, besides its own.
    static QStringList flags();
    static QStringList valued();
    // Reads them; says what is wrong, or nothing. A PDF that may not be written is refused here, before the
    // register is read.
    QString read(const commandline::Parsed& parsed);
    // Writes the PDF that layOut fills and says so; returns the exit status. named is what the list is called in
    // messages ("voting list"), title its title.
    int writePdf(const DatedRegister& dated, const QString& named, const QString& title,
                 const std::function<Status(ReportPages& pages)>& layOut, QTextStream& out, QTextStream& err) const;
    // The day as a title shows it.
    QString recordDate() const { return asked.on->toString(Qt::ISODate); }
};
