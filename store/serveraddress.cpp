#include "serveraddress.h"

#include <QUrl>
#include <QUrlQuery>

namespace {

// Connection parameters a URI may carry besides host; anything else is a mistake worth naming.
const QStringList knownOptions{
    QStringLiteral("sslmode"),    QStringLiteral("sslrootcert"),     QStringLiteral("sslcert"),
    QStringLiteral("sslkey"),     QStringLiteral("connect_timeout"), QStringLiteral("application_name"),
    QStringLiteral("service"),    QStringLiteral("passfile"),        QStringLiteral("target_session_attrs"),
    QStringLiteral("sslcrl"),     QStringLiteral("keepalives"),      QStringLiteral("keepalives_idle"),
    QStringLiteral("gssencmode"), QStringLiteral("sslcompression"),  QStringLiteral("options"),
};

Status notAUri(const QString& why)
{
    return Status::failure(
        QStringLiteral("it is not a PostgreSQL URI (postgresql://[user@]host[:port]/database): %1").arg(why));
}

} // namespace

Expected<ServerAddress> ServerAddress::parse(const QString& uri)
{
    const QUrl url(uri.trimmed(), QUrl::StrictMode);
    if (!url.isValid())
        return notAUri(QStringLiteral("it cannot be read as a URI"));
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("postgresql") && scheme != QLatin1String("postgres"))
        return notAUri(QStringLiteral("it does not start with postgresql://"));
    ServerAddress address;
    address.host = url.host(QUrl::FullyDecoded);
    address.port = url.port(-1);
    address.user = url.userName(QUrl::FullyDecoded);
    address.password = url.password(QUrl::FullyDecoded);
    address.database = url.path(QUrl::FullyDecoded).mid(1);
    if (address.database.isEmpty() || address.database.contains(QLatin1Char('/')))
        return notAUri(QStringLiteral("it names no database after the host"));
    const QUrlQuery query(url);
    for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (key == QLatin1String("host")) {
            address.host = value;
        } else if (key == QLatin1String("port")) {
            bool number = false;
            address.port = value.toInt(&number);
            if (!number)
                return notAUri(QStringLiteral("the port \"%1\" is not a number").arg(value));
        } else if (key == QLatin1String("user")) {
            address.user = value;
        } else if (knownOptions.contains(key)) {
            address.options.insert(key, value);
        } else {
            return notAUri(QStringLiteral("it has an unknown parameter \"%1\"").arg(key));
        }
    }
    return address;
}

QString ServerAddress::label() const
{
    const QString where = host.isEmpty() ? QStringLiteral("local socket") : host;
    return QStringLiteral("%1%2/%3").arg(where, port > 0 ? QLatin1Char(':') + QString::number(port) : QString(),
                                         database);
}
