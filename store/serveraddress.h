#pragma once

#include "status.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// A register on a PostgreSQL server, from a URI as libpq reads one:
//   postgresql://[user@]host[:port][,host[:port]…]/dbname[?sslmode=…&target_session_attrs=…]
//   postgresql:///dbname?host=/socket/folder[,/other/folder]&port=5432[,5433]
// Several hosts are tried in turn, for a primary and its standbys. A password is taken from the URI (user-info or
// ?password=) only to pass it on; it is never part of anything shown.
struct ServerAddress {
    QStringList hosts; // names, addresses or socket folders; none: the driver's default socket
    QList<int> ports;  // none: the default; one: every host's; else each host's, -1 for the default
    QString database;
    QString user;
    QString password;
    QMap<QString, QString> options; // connection parameters other than host, such as sslmode

    static Expected<ServerAddress> parse(const QString& uri);
    // How messages name the register: hosts and database, never a user's password.
    QString label() const;
    // The address as a URI to paste into a command: everything it holds but the password.
    QString uriWithoutPassword() const;
    // The libpq connection string for the driver's connect options: every keyword the address holds, each value
    // quoted so that it reaches the server as one value, whatever it holds. The only way register text enters one.
    QString connectionString() const;

private:
    int portOf(qsizetype host) const;
    QString portList() const;
};
