#pragma once

#include "status.h"

#include <QString>
#include <QStringList>

#include <functional>

class QPdfWriter;
class ReportPages;

// What every PDF a command makes from a register shares: its fonts, where it may be written, and pages laid out
// twice, once to count them and once to draw them, each numbered "page n of N".
namespace pdffile {

// The font families in the order a character is looked for in them; cannot words the refusal from a reason.
Expected<QStringList> loadFonts(const std::function<Status(const QString& reason)>& cannot);

// Why target may not be written: a folder, the register location or a journal file of it, or a file that exists
// without force. cannot words the refusal from a reason.
Status refuseTarget(const QString& location, const QString& target, bool force,
                    const std::function<Status(const QString& reason)>& cannot);

struct Document {
    QString title;  // the PDF's own title
    QString footer; // beside each page's number
};

// Writes target as registerfile::build makes a file from location: under a hidden name until whole, never more
// readable than the register. layOut fills the pages; it runs twice and must lay out the same both times. Returns
// the number of pages.
Expected<int> write(const QString& location, const QString& target, bool force, const Document& document,
                    const std::function<Status(ReportPages& pages)>& layOut,
                    const std::function<Status(const QString& reason)>& cannot);

} // namespace pdffile
