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
        } else if (key == QLatin1String("password")) {
            address.password = value;
        } else if (knownOptions.contains(key)) {
            address.options.insert(key, value);
        } else {
            return notAUri(QStringLiteral("it has an unknown parameter \"%1\"").arg(key));
        }
    }
    const std::pair<QString, QString> parts[] = {
        {QStringLiteral("the host"), address.host},
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

QString ServerAddress::label() const
{
    const QString where = host.isEmpty() ? QStringLiteral("local socket") : host;
    return QStringLiteral("%1%2/%3").arg(where, port > 0 ? QLatin1Char(':') + QString::number(port) : QString(),
                                         database);
}

QString ServerAddress::connectionString() const
{
    QStringList pairs;
    const auto add = [&](const QString& key, const QString& value) {
        if (!value.isEmpty())
            pairs.append(key + QLatin1Char('=') + quoted(value));
    };
    add(QStringLiteral("host"), host);
    add(QStringLiteral("port"), port > 0 ? QString::number(port) : QString());
    add(QStringLiteral("dbname"), database);
    add(QStringLiteral("user"), user);
    add(QStringLiteral("password"), password);
    for (auto option = options.cbegin(); option != options.cend(); ++option)
        add(option.key(), option.value());
    return pairs.join(QLatin1Char(' '));
}
