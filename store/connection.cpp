#include "connection.h"

#include "schema.h"
#include "serveraddress.h"

#include <QAtomicInteger>
#include <QFileInfo>

Connection::Connection(QString path, QString name)
    : m_path(std::move(path))
    , m_name(std::move(name))
{}

Connection::~Connection()
{
    if (m_keepOpen)
        return;
    {
        QSqlDatabase database = QSqlDatabase::database(m_name, false);
        database.close();
    }
    QSqlDatabase::removeDatabase(m_name);
}

bool Connection::isServer(const QString& location)
{
    return location.startsWith(QLatin1String("postgresql:"), Qt::CaseInsensitive)
           || location.startsWith(QLatin1String("postgres:"), Qt::CaseInsensitive);
}

QString Connection::pathOf(const QString& location)
{
    if (!isServer(location))
        return QFileInfo(location).absoluteFilePath();
    const Expected<ServerAddress> address = ServerAddress::parse(location);
    return address ? address->label() : QStringLiteral("a server whose URI cannot be read");
}

QSqlDatabase Connection::database() const
{
    return QSqlDatabase::database(m_name, false);
}

void Connection::waitForLocks(int)
{}

Expected<bool> Connection::copyWholeInto(const Connection&) const
{
    return false;
}

Expected<QString> Connection::findDamage() const
{
    return QString();
}

QString Connection::nextName()
{
    static QAtomicInteger<quint64> counter;
    return QStringLiteral("velmora-register-%1").arg(++counter);
}

Status Connection::checkColumns(const schema::Table& table, const QStringList& present, const QStringList& hiding) const
{
    const QString cannotOpen = QStringLiteral("Cannot open the register \"%1\": ").arg(m_path);
    if (present.isEmpty())
        return Status::failure(cannotOpen + QStringLiteral("the table \"%1\" is missing.").arg(table.name));
    for (const QString& name : present) {
        for (const QString& hidden : hiding) {
            if (name.compare(hidden, Qt::CaseInsensitive) == 0)
                return Status::failure(cannotOpen
                                       + QStringLiteral("the table \"%1\" has a column named \"%2\", "
                                                        "which hides the row number Velmora finds records "
                                                        "by. Rename that column.")
                                             .arg(table.name, name));
        }
    }
    for (const schema::Column& column : table.columns) {
        if (!present.contains(column.name, Qt::CaseInsensitive))
            return Status::failure(
                cannotOpen + QStringLiteral("the table \"%1\" has no column \"%2\".").arg(table.name, column.name));
    }
    return {};
}
