#include "registerpath.h"

#include <QCoreApplication>

namespace registerpath {

QString in(const QString& directory)
{
    // A root directory already ends in its separator.
    if (directory.endsWith(QLatin1Char('/')))
        return directory + fileName;
    return directory + QLatin1Char('/') + fileName;
}

QString besideProgram()
{
    return in(QCoreApplication::applicationDirPath());
}

} // namespace registerpath
