#pragma once

#include "status.h"

#include <QList>
#include <QString>

// A register copied, as it was at one moment, into a new register file while clerks go on saving.
namespace registerbackup {

struct Counted {
    QString table;
    qint64 rows = 0;
};

// Copies the register at location (a file or a server) into a new file at path, as it is at one moment: a file
// page for page, a server's tables and history row by row, each row key kept as the file's. The copy is made
// under a hidden name and moved into place only once its integrity check passes and each table holds the rows
// the register held at that moment; with replace, over the file there. Gives the three tables' rows, and the
// history's when the register keeps one.
Expected<QList<Counted>> write(const QString& location, const QString& path, bool replace);

} // namespace registerbackup
