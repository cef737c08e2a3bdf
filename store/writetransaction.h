#pragma once

#include "connection.h"

#include <QSqlError>
#include <QSqlQuery>

// A transaction that writes, under the register's write lock: stored whole by commit(), or rolled back when it goes
// uncommitted, whatever happened in between.
class WriteTransaction {
public:
    explicit WriteTransaction(const Connection& connection)
        : m_connection(connection)
    {}
    ~WriteTransaction()
    {
        if (m_open) {
            QSqlQuery(m_connection.database()).exec(QStringLiteral("ROLLBACK"));
            m_connection.m_writing = false;
        }
    }
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;

    Status begin(const QString& doing) { return run(m_connection.beginWrite(), doing, true); }
    // Nothing to do when nothing was begun; a failed commit is rolled back when this goes.
    Status commit(const QString& doing) { return m_open ? run(QStringLiteral("COMMIT"), doing, false) : Status(); }

private:
    Status run(const QString& statement, const QString& doing, bool open)
    {
        QSqlQuery query(m_connection.database());
        if (!query.exec(statement))
            return m_connection.failure(doing, query.lastError());
        m_open = open;
        m_connection.m_writing = open;
        return {};
    }

    const Connection& m_connection;
    bool m_open = false;
};
