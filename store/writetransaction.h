#pragma once

#include "connection.h"

#include <QSqlError>
#include <QSqlQuery>

#include <concepts>
#include <functional>

// A transaction that writes, under the register's write lock: stored whole by commit(), or rolled back when it goes
// uncommitted, whatever happened in between. The one place a write transaction begins, commits and rolls back.
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

    Status begin(const QString& doing) { return begin(failureOf(doing)); }
    // Nothing to do when nothing was begun; a failed commit is rolled back when this goes.
    Status commit(const QString& doing) { return commit(failureOf(doing)); }
    // The same, the failure worded by the caller from the engine's error, as for a register made under a name of
    // its own.
    Status begin(const std::invocable<const QSqlError&> auto& refused)
    {
        return run(m_connection.beginWrite(), refused, true);
    }
    Status commit(const std::invocable<const QSqlError&> auto& refused)
    {
        return m_open ? run(QStringLiteral("COMMIT"), refused, false) : Status();
    }

private:
    using Wording = std::function<Status(const QSqlError& error)>;

    Wording failureOf(const QString& doing) const
    {
        return [this, doing](const QSqlError& error) {
            return m_connection.failure(doing, error);
        };
    }

    Status run(const QString& statement, const Wording& refused, bool open)
    {
        QSqlQuery query(m_connection.database());
        if (!query.exec(statement))
            return refused(query.lastError());
        m_open = open;
        m_connection.m_writing = open;
        return {};
    }

    const Connection& m_connection;
    bool m_open = false;
};
