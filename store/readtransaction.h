#pragma once

#include "connection.h"

#include <QSqlError>
#include <QSqlQuery>

// A transaction that only reads, so that several queries see the register at one moment. It is rolled back
// when it goes, whatever happened in between: there is nothing to keep.
class ReadTransaction {
public:
    explicit ReadTransaction(const Connection& connection)
        : m_connection(connection)
    {}
    ~ReadTransaction() { end(); }
    ReadTransaction(const ReadTransaction&) = delete;
    ReadTransaction& operator=(const ReadTransaction&) = delete;

    Status begin(const QString& doing)
    {
        QSqlQuery query(m_connection.database());
        if (!query.exec(m_connection.beginRead()))
            return m_connection.failure(doing, query.lastError());
        m_active = true;
        return {};
    }

    // Lets the moment go before this goes: on a file, clerks' saves wait while it is held.
    void end()
    {
        if (m_active)
            QSqlQuery(m_connection.database()).exec(QStringLiteral("ROLLBACK"));
        m_active = false;
    }

private:
    const Connection& m_connection;
    bool m_active = false;
};
