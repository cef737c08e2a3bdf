#include "registerpath.h"

#include "registerconfig.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

namespace registerpath {

QString in(const QString& directory)
{
    // A root directory already ends in its separator.
    if (directory.endsWith(QLatin1Char('/')))
        return directory + fileName;
    return directory + QLatin1Char('/') + fileName;
}

QString hiddenBeside(const QString& path)
{
    const QFileInfo target(path);
    return target.dir().filePath(QStringLiteral(".%1.new-%2")
                                     .arg(target.fileName())
                                     .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
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

QString linkEnd(const QString& path)
{
    QFileInfo at(path);
    for (int hops = 0; at.isSymLink() && hops < 40; ++hops)
        at = QFileInfo(at.symLinkTarget());
    return at.absoluteFilePath();
}

QString tool()
{
    return shellQuoted(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("velmora-register")));
}

QString shellQuoted(const QString& path)
{
    return QLatin1Char('\'') + QString(path).replace(QLatin1Char('\''), QLatin1String("'\\''")) + QLatin1Char('\'');
}

Status makeFolder(const QString& directory)
{
    const QFileInfo folder(directory);
    if (folder.isDir())
        return {};
    if (folder.exists())
        return Status::failure(QStringLiteral("\"%1\" is not a folder").arg(directory));
    // The rest of the path is made in the nearest part of it that is there, which must be a folder.
    QString there = QDir::cleanPath(folder.absoluteFilePath());
    while (!QFileInfo::exists(there))
        there = QFileInfo(there).absolutePath();
    if (!QFileInfo(there).isDir())
        return Status::failure(
            QStringLiteral("the folder \"%1\" cannot be made, as \"%2\" is a file").arg(directory, there));
    if (!QDir().mkpath(directory))
        return Status::failure(QStringLiteral("the folder \"%1\" cannot be made in \"%2\"").arg(directory, there));
    return {};
}

QString howToMake(const QString& path)
{
    if (path.contains(QLatin1String("://")) || QFileInfo::exists(path)) // a server, or a file that is there
        return {};
    // The tool writes no register over a link, so the commands name the file the link points to.
    const QString target = shellQuoted(linkEnd(path));
    return QStringLiteral("Make an empty register with:\n%1 init %2\nor put a register there: copy one, or convert an "
                          "Access-format one with:\n%1 import ACCESS_FILE %2")
        .arg(tool(), target);
}

} // namespace registerpath
