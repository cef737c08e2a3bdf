#pragma once

#include <QString>

class QTextStream;

// The register of transfers as a PDF: every transfer by date, with its certificate, the shares it moved, and the
// holders it moved them from and to, by number and name.
namespace transfersregister {

// report --transfers: the exit status.
int report(const QString& location, const QString& target, bool force, QTextStream& out, QTextStream& err);

} // namespace transfersregister
