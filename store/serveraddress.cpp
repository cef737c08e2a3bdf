#include "serveraddress.h"

#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

#include <algorithm>

namespace {

// Connection parameters a URI may carry besides host; anything else is a mistake worth naming.
const QStringList knownOptions{
    QStringLiteral("sslmode"),
    QStringLiteral("sslrootcert"),
    QStringLiteral("sslcert"),
    QStringLiteral("sslkey"),
    QStringLiteral("connect_timeout"),
    QStringLiteral("application_name"),
    QStringLiteral("service"),
    QStringLiteral("passfile"),
    QStringLiteral("target_session_attrs"),
    QStringLiteral("sslcrl"),
    QStringLiteral("keepalives"),
    QStringLiteral("keepalives_idle"),
    QStringLiteral("gssencmode"),
    QStringLiteral("sslcompression"),
    QStringLiteral("options"),
    QStringLiteral("keepalives_interval"),
    QStringLiteral("keepalives_count"),
    QStringLiteral("tcp_user_timeout"),
};

Status notAUri(const QString& why)
{
    return Status::failure(
        QStringLiteral("it is not a PostgreSQL URI (postgresql://[user@]host[:port][,host[:port]…]/database): %1")
            .arg(why));
}

// A port as written, -1 when it is left out.
Expected<int> portIn(const QString& text)
{
    if (text.isEmpty())
        return -1;
    bool number = false;
    const int port = text.toInt(&number);
    if (!number || port < 1 || port > 65535)
        return notAUri(QStringLiteral("the port \"%1\" is not a number from 1 to 65535").arg(text));
    return port;
}

// The hosts of a URI's authority, "host[:port],…", each host percent-encoded or an address in brackets.
Status readHosts(const QString& list, ServerAddress& address)
{
    if (list.isEmpty())
        return {};
    for (const QString& entry : list.split(QLatin1Char(','))) {
        QString host = entry;
        QString port;
        if (entry.startsWith(QLatin1Char('['))) {
            const qsizetype close = entry.indexOf(QLatin1Char(']'));
            if (close < 0 || (close + 1 < entry.size() && entry[close + 1] != QLatin1Char(':')))
                return notAUri(QStringLiteral("the host \"%1\" is not an address in brackets").arg(entry));
            host = entry.mid(1, close - 1);
            port = entry.mid(close + 2);
        } else if (const qsizetype colon = entry.lastIndexOf(QLatin1Char(':')); colon >= 0) {
            host = entry.left(colon);
            port = entry.mid(colon + 1);
        }
        const Expected<int> number = portIn(port);
        if (!number)
            return number.status();
        address.hosts.append(QUrl::fromPercentEncoding(host.toUtf8()));
        address.ports.append(number.value());
    }
    return {};
}

// Why a value cannot reach the server whole, empty when it can. The driver turns every ";" of its connect
// options into a blank, and hands libpq a C string, which a NUL ends.
QString unpassable(const QString& value)
{
    if (value.contains(QLatin1Char(';')))
        return QStringLiteral("a \";\"");
    if (value.contains(QChar(0)))
        return QStringLiteral("a NUL character");
    return {};
}

// A value as libpq reads it in a connection string: in single quotes, with \ and ' escaped by a backslash.
QString quoted(QString value)
{
    value.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    value.replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + value + QLatin1Char('\'');
}

} // namespace

Expected<ServerAddress> ServerAddress::parse(const QString& uri)
{
    const QString text = uri.trimmed();
    const qsizetype schemeEnd = text.indexOf(QLatin1String("://"));
    const QString scheme = text.left(schemeEnd).toLower();
    if (schemeEnd < 0 || (scheme != QLatin1String("postgresql") && scheme != QLatin1String("postgres")))
        return notAUri(QStringLiteral("it does not start with postgresql://"));
    // A URI names one host at most: the list of hosts is read here, and one stands in for it in the rest.
    const qsizetype authorityStart = schemeEnd + 3;
    qsizetype authorityEnd = text.indexOf(QRegularExpression(QStringLiteral("[/?#]")), authorityStart);
    if (authorityEnd < 0)
        authorityEnd = text.size();
    const QString authority = text.mid(authorityStart, authorityEnd - authorityStart);
    const qsizetype at = authority.lastIndexOf(QLatin1Char('@'));
    const QUrl url(text.left(authorityStart) + authority.left(at + 1) + QStringLiteral("host") + text.mid(authorityEnd),
                   QUrl::StrictMode);
    if (!url.isValid())
        return notAUri(QStringLiteral("it cannot be read as a URI"));
    ServerAddress address;
    if (Status read = readHosts(authority.mid(at + 1), address); !read)
        return read;
    address.user = url.userName(QUrl::FullyDecoded);
    address.password = url.password(QUrl::FullyDecoded);
    address.database = url.path(QUrl::FullyDecoded).mid(1);
    if (address.database.isEmpty() || address.database.contains(QLatin1Char('/')))
        return notAUri(QStringLiteral("it names no database after the host"));
    const QUrlQuery query(url);
    for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (key == QLatin1String("host")) {
            address.hosts = value.split(QLatin1Char(','));
        } else if (key == QLatin1String("port")) {
            address.ports.clear();
            for (const QString& port : value.split(QLatin1Char(','))) {
                const Expected<int> number = portIn(port);
                if (!number)
                    return number.status();
                address.ports.append(number.value());
            }
        } else if (key == QLatin1String("user")) {
            address.user = value;
        } else if (key == QLatin1String("password")) {
            address.password = value;
        } else if (knownOptions.contains(key)) {
            address.options.insert(key, value);
        } else {
            return notAUri(QStringLiteral("it has an unknown parameter \"%1\"").arg(key));
        }
    }
    // Left out, a host or a port is the default, as it is for one of several left empty.
    if (address.hosts == QStringList{QString()})
        address.hosts.clear();
    if (std::all_of(address.ports.cbegin(), address.ports.cend(), [](int port) { return port < 0; }))
        address.ports.clear();
    const qsizetype hosts = std::max<qsizetype>(1, address.hosts.size());
    if (address.ports.size() > 1 && address.ports.size() != hosts)
        return notAUri(QStringLiteral("it names %1 ports for %2 hosts; give one port for all, or one for each host")
                           .arg(address.ports.size())
                           .arg(hosts));
    for (const QString& host : std::as_const(address.hosts)) {
        if (const QString why = unpassable(host); !why.isEmpty())
            return Status::failure(
                QStringLiteral("the host holds %1, which the PostgreSQL driver cannot pass on").arg(why));
    }
    const std::pair<QString, QString> parts[] = {
        {QStringLiteral("the database name"), address.database},
        {QStringLiteral("the user name"), address.user},
        {QStringLiteral("the password"), address.password},
    };
    for (const auto& [part, value] : parts) {
        if (const QString why = unpassable(value); !why.isEmpty())
            return Status::failure(
                QStringLiteral("%1 holds %2, which the PostgreSQL driver cannot pass on").arg(part, why));
    }
    for (auto option = address.options.cbegin(); option != address.options.cend(); ++option) {
        if (const QString why = unpassable(option.value()); !why.isEmpty())
            return Status::failure(
                QStringLiteral("the value of \"%1\" holds %2, which the PostgreSQL driver cannot pass on")
                    .arg(option.key(), why));
    }
    return address;
}

int ServerAddress::portOf(qsizetype host) const
{
    return ports.isEmpty() ? -1 : ports.size() == 1 ? ports.first() : ports.value(host, -1);
}

QString ServerAddress::portList() const
{
    QStringList written;
    for (const int port : ports)
        written.append(port > 0 ? QString::number(port) : QString());
    return written.join(QLatin1Char(','));
}

QString ServerAddress::label() const
{
    QStringList where;
    for (qsizetype i = 0; i < std::max<qsizetype>(1, hosts.size()); ++i) {
        const QString host = hosts.value(i);
        const int port = portOf(i);
        where.append((host.isEmpty() ? QStringLiteral("local socket") : host)
                     + (port > 0 ? QLatin1Char(':') + QString::number(port) : QString()));
    }
    return where.join(QLatin1Char(',')) + QLatin1Char('/') + database;
}

QString ServerAddress::uriWithoutPassword() const
{
    QUrlQuery query;
    if (!hosts.isEmpty())
        query.addQueryItem(QStringLiteral("host"), hosts.join(QLatin1Char(',')));
    if (!ports.isEmpty())
        query.addQueryItem(QStringLiteral("port"), portList());
    if (!user.isEmpty())
        query.addQueryItem(QStringLiteral("user"), user);
    for (auto option = options.cbegin(); option != options.cend(); ++option)
        query.addQueryItem(option.key(), option.value());
    QUrl uri(QStringLiteral("postgresql://"));
    uri.setPath(QLatin1Char('/') + database);
    uri.setQuery(query);
    return uri.toString(QUrl::FullyEncoded);
}

QString ServerAddress::connectionString() const
{
    QStringList pairs;
    const auto add = [&](const QString& key, const QString& value) {
        if (!value.isEmpty())
            pairs.append(key + QLatin1Char('=') + quoted(value));
    };
    add(QStringLiteral("host"), hosts.join(QLatin1Char(',')));
    add(QStringLiteral("port"), portList());
    add(QStringLiteral("dbname"), database);
    add(QStringLiteral("user"), user);
    add(QStringLiteral("password"), password);
    for (auto option = options.cbegin(); option != options.cend(); ++option)
        add(option.key(), option.value());
    return pairs.join(QLatin1Char(' '));
}
