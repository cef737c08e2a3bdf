#include "registerpath.h"

#include "registerconfig.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

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

Expected<QString> locate(const QString& directory)
{
    const QString config = QDir(directory).filePath(registerconfig::fileName);
    // A link to a configuration not written yet counts as none.
    if (!QFileInfo::exists(config))
        return in(directory);
    return registerconfig::serverIn(config);
}

} // namespace registerpath
