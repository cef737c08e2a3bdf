#include "registerconfig.h"

#include "serveraddress.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStringList>

#include <algorithm>

namespace registerconfig {

namespace {

Status wrong(const QString& path, int line, const QString& what)
{
    const QString where =
        line > 0 ? QStringLiteral("\"%1\", line %2").arg(path).arg(line) : QLatin1Char('"') + path + QLatin1Char('"');
    return Status::failure(QStringLiteral("Cannot open the register named in %1: %2.").arg(where, what));
}

// A password in any form: the user-info's, a password parameter, or "password=" inside another value, which
// reaches no server now but sits in the file all the same. A password file is no password.
bool holdsPassword(const ServerAddress& address)
{
    static const QRegularExpression keyword(QStringLiteral("password\\s*="), QRegularExpression::CaseInsensitiveOption);
    QStringList values = address.hosts;
    values << address.database << address.user;
    values += address.options.values();
    return !address.password.isEmpty()
           || std::any_of(values.cbegin(), values.cend(), [](const QString& value) { return value.contains(keyword); });
}

} // namespace

Expected<QString> serverIn(const QString& path)
{
    // The lines are read first for what QSettings does not tell: where a mistake stands.
    QFile file(path);
    if (QFileInfo(path).isDir())
        return wrong(path, 0, QStringLiteral("it is a folder, not a file"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return wrong(path, 0, QStringLiteral("the file cannot be read (%1)").arg(file.errorString()));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    QString group;
    int serverLine = 0;
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            group = line.mid(1, line.size() - 2).trimmed();
            if (group != QLatin1String("register"))
                return wrong(path, i + 1,
                             QStringLiteral("unknown group [%1]; the file has only [register]").arg(group));
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            return wrong(path, i + 1, QStringLiteral("a line that is neither a [group] nor a key = value"));
        const QString key = line.left(equals).trimmed();
        if (group != QLatin1String("register") || key != QLatin1String("server"))
            return wrong(path, i + 1,
                         QStringLiteral("unknown key \"%1\"; the file has only server, in [register]").arg(key));
        serverLine = i + 1;
    }
    if (serverLine == 0)
        return wrong(path, 0, QStringLiteral("it names no server (server = postgresql://…, in [register])"));

    const QSettings settings(path, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError)
        return wrong(path, 0, QStringLiteral("it is not an INI file"));
    // A value with commas, such as a list of hosts, is read as a list.
    const QVariant value = settings.value(QStringLiteral("register/server"));
    const QString uri =
        (value.typeId() == QMetaType::QStringList ? value.toStringList().join(QLatin1Char(',')) : value.toString())
            .trimmed();
    Expected<ServerAddress> address = ServerAddress::parse(uri);
    if (!address)
        return wrong(path, serverLine, address.status().message());
    if (holdsPassword(address.value()))
        return wrong(path, serverLine,
                     QStringLiteral("the URI holds a password; passwords belong in the password file (~/.pgpass, or "
                                    "the file PGPASSFILE names), never here"));
    return uri;
}

} // namespace registerconfig
