#pragma once

#include "history.h"
#include "status.h"
#include "writetransaction.h"

#include <QSqlQuery>
#include <QVariant>

#include <list>

namespace schema {
struct Table;
}

// A write transaction whose rows are added and set one by one, each with its entry in the register's history,
// the entries stored with the rows or not at all.
class RowWriter {
public:
    RowWriter(const Connection& connection, QString doing);
    RowWriter(const RowWriter&) = delete;
    RowWriter& operator=(const RowWriter&) = delete;

    Status begin() { return m_transaction.begin(m_doing); }
    // A query that lasts until the transaction has ended: a server frees no statement in a transaction that failed.
    QSqlQuery& query();
    Status failed(const QSqlQuery& query) const;

    // A new record of the values given by column, in the table's column order; no value is left out.
    Status add(const schema::Table& table, const QVariantList& values);
    // One column of a record set, only while it still holds before.
    Status set(const schema::Table& table, qint64 rowKey, const QVariant& number, const QString& column,
               const QVariant& before, const QVariant& after);
    // The history entries, then the commit.
    Status commit();

private:
    const Connection& m_connection;
    QString m_doing;
    QList<history::Entry> m_entries;
    std::list<QSqlQuery> m_queries;
    WriteTransaction m_transaction{m_connection}; // ended before the queries go
};
