#pragma once

#include "status.h"

#include <QMap>
#include <QString>

// A register on a PostgreSQL server, from a URI:
//   postgresql://[user@]host[:port]/dbname[?sslmode=…&connect_timeout=…]
//   postgresql:///dbname?host=/socket/folder
// A password is taken from the URI (user-info or ?password=) only to pass it on; it is never part of anything shown.
struct ServerAddress {
    QString host; // a name, an address, or a socket folder; empty: the driver's default socket
    int port = -1;
    QString database;
    QString user;
    QString password;
    QMap<QString, QString> options; // connection parameters other than host, such as sslmode

    static Expected<ServerAddress> parse(const QString& uri);
    // How messages name the register: host and database, never a user's password.
    QString label() const;
    // The libpq connection string for the driver's connect options: every keyword the address holds, each value
    // quoted so that it reaches the server as one value, whatever it holds. The only way register text enters one.
    QString connectionString() const;
};
