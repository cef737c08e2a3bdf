#pragma once

#include "connection.h"
#include "historytriggers.h"
#include "serveraddress.h"

// A register in a database on a PostgreSQL server. A lost connection is noted when an operation fails, and
// made again at the start of the next one.
class PostgresConnection final : public Connection {
public:
    static Expected<std::unique_ptr<Connection>> open(const QString& uri);
    // A connection in good order is kept for the next window that opens the same register: windows come and go
    // one at a time, and a server takes a while to let a new connection in.
    ~PostgresConnection() override;

    QString rowKey() const override { return QStringLiteral("row_id"); }
    QString beginRead() const override { return QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"); }
    QStringList createTables(const QList<schema::Table>& tables) const override;
    QString listTables() const override;
    QString describeTables() const override;
    QString lockingRead() const override { return QStringLiteral(" FOR UPDATE"); }
    QString holdsExactly(const QString& column) const override;
    QString sameValue(const QString& one, const QString& other) const override;
    QString equalsText(const QString& text) const override;
    QString valOf(const QString& column) const override;
    QString writtenAsDate(const QString& column) const override;
    QString computedOnce() const override { return QStringLiteral("MATERIALIZED"); }
    QString returningKey() const override { return QStringLiteral(" RETURNING row_id"); }
    qint64 insertedKey(QSqlQuery& query) const override;
    QString hasTable() const override { return QStringLiteral("SELECT to_regclass(?) IS NOT NULL"); }
    // Row locks let two clerks save at once; their history entries still go one after the other. A clerk
    // allowed only to add to the history can take this lock, unlike a lock on the table.
    QString holdHistory() const override
    {
        return QStringLiteral("SELECT CASE WHEN to_regclass('velmora_history') IS NULL THEN false ELSE "
                              "pg_advisory_xact_lock(hashtext(current_schema() || '.velmora_history'))::text = '' "
                              "END, %1")
            .arg(historytriggers::present());
    }
    // The server writes the entries itself, once a register has its triggers.
    QStringList keepHistoryItself() const override { return historytriggers::install(); }
    QString historyNotKeptOn() const override { return historytriggers::missing(); }
    QString holdWrites(const QStringList& tables) const override
    {
        return QStringLiteral("LOCK TABLE %1 IN SHARE MODE").arg(tables.join(QLatin1String(", ")));
    }
    QString currentRole() const override { return QStringLiteral("SELECT current_user"); }
    Expected<Rights> clerkRights(const QString& role, const QStringList& tables) const override;
    Status checkTable(const schema::Table& table) const override;
    Status checkReachable(const QString& doing) override;
    bool takeReconnected() override { return std::exchange(m_reconnected, false); }
    Status boundEachStatement(const QString& doing) override;
    Status failure(const QString& doing, const QSqlError& error) const override;

private:
    PostgresConnection(ServerAddress address, QString name, QString uri);
    // Read committed whatever the server's default: the history's next number is read after its lock is taken,
    // and must see the save that held the lock before.
    QString beginWrite() const override { return QStringLiteral("BEGIN ISOLATION LEVEL READ COMMITTED"); }
    static std::unique_ptr<PostgresConnection> takeIdle(const ServerAddress& address, const QString& uri);
    Status connect(const QString& doing);
    // The failure's message: what was being done, the register, the reason when there is one, the engine's words.
    Status worded(const QString& doing, const QString& reason, const QSqlError& error) const;

    ServerAddress m_address;
    QString m_uri;
    mutable bool m_lost = false;
    bool m_reconnected = false;
    bool m_bounded = false; // each statement's wait bounded, again once connected again
};
