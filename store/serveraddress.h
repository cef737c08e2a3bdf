#pragma once

#include "status.h"

#include <QMap>
#include <QString>

// A register on a PostgreSQL server, from a URI:
//   postgresql://[user@]host[:port]/dbname[?sslmode=…&connect_timeout=…]
//   postgresql:///dbname?host=/socket/folder
// A password is taken from the URI only to pass it on; it is never part of anything shown.
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
};
