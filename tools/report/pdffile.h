#pragma once

#include "registerfile.h"
#include "status.h"

#include <QStringList>

#include <functional>

class QIODevice;
class ReportPages;

// What every PDF made from a register shares: its fonts, and how the file is written.
namespace pdffile {

// The font families in the order a character is looked for in them; a failure's message is the reason.
Expected<QStringList> loadFonts();
// Why target cannot take a PDF made from the register at location (a folder, the register itself, a file that
// exists without force); empty when it can.
QString refusal(const QString& location, const QString& target, bool force);
// Writes the PDF draw makes to target, under a hidden name beside it until whole, with the register's modes: a
// failure leaves nothing behind. Over a file there only with force.
Status write(const QString& location, const QString& target, bool force,
             const std::function<Status(QIODevice& file)>& draw, const registerfile::Refused& refused);

struct Document {
    QString title;  // the PDF's own title
    QString footer; // beside each page's number
};

// Writes A4 pages that layOut fills, as write() writes a PDF: layOut runs twice, once to count the pages and once
// to draw them, each numbered "page n of N", and must lay out the same both times. cannot words a failure from
// its reason. Returns the number of pages.
Expected<int> writePages(const QString& location, const QString& target, bool force, const Document& document,
                         const std::function<Status(ReportPages& pages)>& layOut,
                         const std::function<Status(const QString& reason)>& cannot);

} // namespace pdffile
