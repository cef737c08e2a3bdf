#pragma once

#include "status.h"

#include <QDateTime>
#include <QTemporaryDir>

#include <memory>

class Connection;
class UnfinishedFile;

// The three tables as they were stored at a moment, rebuilt from the register's history of changes into a
// register file of their own, in a folder only its owner may enter; both go when this goes, or at an interrupt.
class RecordedRegister {
public:
    ~RecordedRegister();

    // Every entry stored before the moment ends (its last second, or its last minute when given without seconds)
    // replayed in order, in the caller's read transaction on from. Refused where from keeps no history, and for a
    // moment before its first entry.
    static Expected<std::unique_ptr<RecordedRegister>> rebuild(const Connection& from, const QDateTime& moment,
                                                               bool withSeconds);

    const Connection& connection() const { return *m_connection; }

    // How a moment is written, read and shown: "YYYY-MM-DD HH:MM", or with ":SS".
    static QString momentFormat(bool withSeconds)
    {
        return withSeconds ? QStringLiteral("yyyy-MM-dd HH:mm:ss") : QStringLiteral("yyyy-MM-dd HH:mm");
    }

private:
    RecordedRegister() = default;
    Status create();
    Status replay(const Connection& from, const QString& until, QString& first);

    QTemporaryDir m_folder;
    std::unique_ptr<UnfinishedFile> m_unfinished;
    std::unique_ptr<Connection> m_connection;
};
