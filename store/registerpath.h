#pragma once

#include "status.h"

#include <QString>

namespace registerpath {

inline const QString fileName = QStringLiteral("stock.mdb");

// The register in a directory: the directory and the file name joined by exactly one separator.
QString in(const QString& directory);
// The register beside the running program.
QString besideProgram();
// Where the record windows find the register: the server that velmora.conf in the directory names, when that
// file is there; otherwise stock.mdb in the directory.
Expected<QString> locate(const QString& directory);

} // namespace registerpath
