#pragma once

#include "status.h"

#include <QString>

// velmora.conf beside the program: an INI file whose one group [register] has one key, server, a PostgreSQL
// URI. Passwords never go in it; the driver's password file or a service file supplies them.
namespace registerconfig {

inline const QString fileName = QStringLiteral("velmora.conf");

// The server URI a configuration file names. A file that cannot be read, has an unknown group or key, or
// names no PostgreSQL URI is refused with the file, the line and what is wrong.
Expected<QString> serverIn(const QString& path);

} // namespace registerconfig
