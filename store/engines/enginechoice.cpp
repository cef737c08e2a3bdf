// The one place that knows which engines there are: the seam's factories choose one by the register's location,
// so nothing above the store, and no other unit of it, includes an engine.
#include "connection.h"
#include "postgresconnection.h"
#include "sqliteconnection.h"

Expected<std::unique_ptr<Connection>> Connection::open(const QString& location)
{
    if (isServer(location))
        return PostgresConnection::open(location);
    return SqliteConnection::open(location);
}

Expected<std::unique_ptr<Connection>> Connection::openEmpty(const QString& path)
{
    return SqliteConnection::openEmpty(path);
}
