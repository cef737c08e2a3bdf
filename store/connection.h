#pragma once

#include "status.h"

#include <QSqlDatabase>
#include <QString>

#include <memory>

class QSqlError;

// One named connection to a register file, opened read-write and never creating the file;
// the connection is removed when this goes.
class Connection {
public:
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Checks that the file is there and is an SQLite database (not, say, an Access file), then opens it.
    static Expected<std::unique_ptr<Connection>> open(const QString& path);
    // Opens a file just made empty, to become a register.
    static Expected<std::unique_ptr<Connection>> openEmpty(const QString& path);

    QSqlDatabase database() const;
    const QString& path() const { return m_path; }
    const QString& name() const { return m_name; }

    // Fails when the file at the path is no longer the one opened (deleted, moved or replaced since), so that
    // nothing is read from or saved into a file the clerk can no longer reach.
    Status checkFile(const QString& doing) const;

    // A failure of the engine, worded for the clerk: what was being done, the file, the reason and the
    // engine's own message.
    Status failure(const QString& doing, const QSqlError& error) const;

private:
    Connection(QString path, QString name);
    static Expected<std::unique_ptr<Connection>> attach(const QString& absolute);

    QString m_path;
    QString m_name;
};
