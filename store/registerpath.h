#pragma once

#include <QString>

namespace registerpath {

inline const QString fileName = QStringLiteral("stock.mdb");

// The register in a directory: the directory and the file name joined by exactly one separator.
QString in(const QString& directory);
// The register beside the running program.
QString besideProgram();

} // namespace registerpath
