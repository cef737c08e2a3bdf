#pragma once

#include "history.h"

#include <memory>

class QSqlQuery;
namespace schema {
struct Table;
}

// Appends to a register's history, inside the write transaction that makes the change, so that the change and
// its entry are stored together or not at all. A register that keeps no history is left as it is.
class HistoryLog {
public:
    explicit HistoryLog(const Connection& connection);
    ~HistoryLog();
    HistoryLog(const HistoryLog&) = delete;
    HistoryLog& operator=(const HistoryLog&) = delete;

    // Prepares the statements again, as after a connection was made anew.
    void reset();
    // Seals the entries of a clerk's changes onto the end of the chain and stores them; only table, rowKey,
    // record, action and the changes are taken from each. Nothing happens when the register keeps no history, or
    // when the engine writes each change's entry itself.
    Status append(QList<history::Entry> entries);
    // One entry for each record of every table, as it is now, with the action given (a register made, copied
    // or upgraded).
    Status appendEvery(const QString& action);

    // Makes a register that keeps no history start one, in one transaction: the table, and one "upgrade" entry
    // per record as it is now. False when it kept one already.
    static Expected<bool> start(const Connection& connection);

    // Where the engine writes the entries itself (a server), puts its way of doing so in place of one missing or
    // disabled, in a transaction of its own: true when it did.
    static Expected<bool> handOver(const Connection& connection);
    // The same, within the transaction under way.
    static Status putKeeperInPlace(const Connection& connection);

    // An entry for the record whose number column holds number.
    static history::Entry entry(const schema::Table& table, qint64 rowKey, const QVariant& number,
                                const QString& action, const QList<history::Change>& changes);

private:
    struct Statements;
    Status prepare();
    // The history's own statements, once the register is known to keep one.
    Status prepareHistory();
    // Seals and stores the entries; those of a clerk's changes only where the program writes them.
    Status write(QList<history::Entry> entries, bool evenWhereTheEngineWrites);
    Status store(QSqlQuery& insert, const QList<history::Entry>& entries) const;

    const Connection& m_connection;
    std::unique_ptr<Statements> m_statements;
    QString m_role;
};
