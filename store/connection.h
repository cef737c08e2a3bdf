#pragma once

#include "status.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <memory>

class QSqlError;
class QSqlQuery;
namespace schema {
struct Table;
}

// One named connection to a register: a file (SQLite) or a database on a server (PostgreSQL). Everything that
// differs between the two engines is answered here, so the record set and the tools above it are one piece of
// code: the row key, the SQL for the few comparisons that differ, how tables are checked, and how a failure is
// worded for the clerk. The connection is removed when this goes.
class Connection {
public:
    virtual ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // A register file's path, or a server's postgresql:// URI.
    static Expected<std::unique_ptr<Connection>> open(const QString& location);
    // Opens a file just made empty, to become a register.
    static Expected<std::unique_ptr<Connection>> openEmpty(const QString& path);
    static bool isServer(const QString& location);
    // How path() names the register at location, before it is opened.
    static QString pathOf(const QString& location);

    QSqlDatabase database() const;
    // How messages name the register: the file's path, or the server's host and database (never a password).
    const QString& path() const { return m_path; }
    const QString& name() const { return m_name; }

    // The hidden key that gives record order and never names another record while this one stands.
    virtual QString rowKey() const = 0;
    // Starts a transaction that only reads, and reads the whole register as it was at one moment.
    virtual QString beginRead() const = 0;
    // The statements that make the tables given (schema::everyTable() for a new register), and whatever their
    // searches need; the history's table is made apart.
    virtual QStringList createTables(const QList<schema::Table>& tables) const = 0;
    // SQL whose rows name every table and view in the register's database.
    virtual QString listTables() const = 0;
    // SQL whose rows are each table's columns, as (table, column, declared type), by table name and column order.
    virtual QString describeTables() const = 0;
    // What a SELECT of one row ends with to hold that row until the transaction ends.
    virtual QString lockingRead() const = 0;
    // SQL that is true when a column holds exactly the bound value, NULL matching NULL, with no conversion.
    virtual QString holdsExactly(const QString& column) const = 0;
    // SQL that is true when two expressions hold the same value, NULL matching NULL.
    virtual QString sameValue(const QString& one, const QString& other) const = 0;
    // SQL that is true when a text equals the bound text, letter case and blanks around either side left out.
    virtual QString equalsText(const QString& text) const = 0;
    // SQL for val() of a column's value.
    virtual QString valOf(const QString& column) const = 0;
    // SQL for the whole number a number column's value names (values::wholeNumber), NULL where it names none: what
    // holders are joined and grouped by. An engine whose number columns take only whole numbers gives the column.
    virtual QString wholeNumberOf(const QString& column) const { return column; }
    // SQL that is true when a column's text is written as YYYY-MM-DD in the digits 0 to 9, a real date or not.
    virtual QString writtenAsDate(const QString& column) const = 0;
    // What follows AS in a WITH query for it to be computed once and kept, not folded into the query that reads it.
    virtual QString computedOnce() const = 0;
    // What an INSERT ends with to give the new row's key, and that key from the query that ran it.
    virtual QString returningKey() const = 0;
    virtual qint64 insertedKey(QSqlQuery& query) const = 0;
    // SQL with one bound table name, true when the register holds that table.
    virtual QString hasTable() const = 0;
    // SQL whose row tells whether the register keeps a history, and then holds the history's append lock until
    // the transaction ends (where the write lock does not already); and whether the engine writes each change's
    // entry itself.
    virtual QString holdHistory() const = 0;
    // Statements that make the engine write each change's history entry itself, whoever makes the change; none
    // where the program writes them.
    virtual QStringList keepHistoryItself() const { return {}; }
    // SQL naming each table whose changes the engine should enter in the history itself and does not: empty where
    // the program writes the entries.
    virtual QString historyNotKeptOn() const { return {}; }
    // SQL that keeps everyone else from writing to the tables until the transaction ends; empty where the write
    // lock does already.
    virtual QString holdWrites(const QStringList& tables) const = 0;
    // SQL that gives the database role changes are made as: empty for a file.
    virtual QString currentRole() const = 0;

    // What a clerks' role needs on the register, as statements its owner runs: reading and changing the rows of
    // the tables given, with their row keys, and reading and adding to the history; and the role as the statements
    // spell it. A file has no roles: its mode and group say who may read and write it.
    struct Rights {
        QString role;
        QStringList statements;
    };
    virtual Expected<Rights> clerkRights(const QString& role, const QStringList& tables) const = 0;

    // Waits up to ms for another's lock before a statement is refused, trying again often: a reader then finds
    // the moments between another's saves however closely they follow each other. Where readers never wait for
    // writers, nothing changes.
    virtual void waitForLocks(int ms);
    // Copies the whole register, as the read transaction under way sees it, into target, an empty file opened for
    // it: every page, so every table, row key and value as stored. False where the engine cannot; the tables are
    // then copied row by row.
    virtual Expected<bool> copyWholeInto(const Connection& target) const;
    // What the engine's own integrity check finds wrong with the register, its first three problems; empty when it
    // finds nothing, or has no such check.
    virtual Expected<QString> findDamage() const;

    // Checks that the table and its columns are there, and that nothing hides the row key.
    virtual Status checkTable(const schema::Table& table) const = 0;
    // Fails when the register can no longer be reached as it was opened: for a file, one deleted, moved or
    // replaced since; on a server, a connection that was lost and cannot be made again.
    virtual Status checkReachable(const QString& doing) = 0;
    // True once after the connection was made again: statements prepared before are gone with the old one.
    virtual bool takeReconnected() { return false; }
    // Bounds how long each statement may wait for the server from now on, the connection made again included: a
    // clerk's window gives up with a message rather than hang. Long work, a backup or a report, is not bounded.
    virtual Status boundEachStatement(const QString&) { return {}; }
    // A failure of the engine, worded for the clerk: what was being done, the register, the reason and the
    // engine's own message.
    virtual Status failure(const QString& doing, const QSqlError& error) const = 0;
    // Whether a write transaction is under way: a refusal is then one to write, not to read.
    bool writing() const { return m_writing; }

protected:
    Connection(QString path, QString name);
    // The named connection outlives this, for another to take over.
    void keepOpen() { m_keepOpen = true; }
    static QString nextName();
    // The table's columns as the engine lists them; empty when there is no such table.
    Status checkColumns(const schema::Table& table, const QStringList& present, const QStringList& hiding) const;

private:
    friend class WriteTransaction;
    // Starts a transaction that may write; it holds the register's write lock, or waits a moment for it. Only
    // WriteTransaction begins one.
    virtual QString beginWrite() const = 0;

    QString m_path;
    QString m_name;
    bool m_keepOpen = false;
    mutable bool m_writing = false;
};
