#pragma once

#include "connection.h"

// A register file, opened read-write through a file: URI, never creating the file.
class SqliteConnection final : public Connection {
public:
    // Checks that the file is there and is an SQLite database (not, say, an Access file), then opens it.
    static Expected<std::unique_ptr<Connection>> open(const QString& path);
    // Opens a file just made empty, to become a register.
    static Expected<std::unique_ptr<Connection>> openEmpty(const QString& path);

    QString rowKey() const override { return QStringLiteral("rowid"); }
    QString beginRead() const override { return QStringLiteral("BEGIN"); } // the first read fixes what is seen
    QStringList createTables(const QList<schema::Table>& tables) const override;
    QString listTables() const override;
    QString describeTables() const override;
    QString lockingRead() const override { return {}; } // the write lock is the file's
    QString holdsExactly(const QString& column) const override;
    QString sameValue(const QString& one, const QString& other) const override;
    QString equalsText(const QString& text) const override;
    QString valOf(const QString& column) const override;
    QString wholeNumberOf(const QString& column) const override;
    QString writtenAsDate(const QString& column) const override;
    QString computedOnce() const override { return QStringLiteral("MATERIALIZED"); }
    QString returningKey() const override { return {}; }
    qint64 insertedKey(QSqlQuery& query) const override;
    QString hasTable() const override
    {
        return QStringLiteral("SELECT EXISTS (SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?)");
    }
    QString holdHistory() const override // one writer at a time already
    {
        return QStringLiteral("SELECT EXISTS (SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = "
                              "'velmora_history'), 0");
    }
    QString holdWrites(const QStringList&) const override { return {}; }
    QString currentRole() const override { return QStringLiteral("SELECT ''"); }
    void waitForLocks(int ms) override;
    Expected<bool> copyWholeInto(const Connection& target) const override;
    Expected<QString> findDamage() const override;
    Expected<Rights> clerkRights(const QString& role, const QStringList& tables) const override;
    Status checkTable(const schema::Table& table) const override;
    Status checkReachable(const QString& doing) override;
    Status failure(const QString& doing, const QSqlError& error) const override;

private:
    using Connection::Connection;
    QString beginWrite() const override { return QStringLiteral("BEGIN IMMEDIATE"); }
    static Expected<std::unique_ptr<Connection>> attach(const QString& absolute);
    // Fails when the file at the path is no longer the one opened.
    Status movedAway(const QString& doing) const;
};
