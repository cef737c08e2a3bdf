#pragma once

#include "connection.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUrlQuery>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>

// What the benchmarks share: how they report, a schema of their own on the test server, and measuring on a register
// file and then, when VELMORA_TEST_SERVER names one (scripts/postgres.sh start), on that server.
namespace bench {

[[noreturn]] inline void fail(const QString& doing, const QString& why)
{
    std::fprintf(stderr, "%s: %s failed: %s\n", qPrintable(QCoreApplication::applicationName()), qPrintable(doing),
                 qPrintable(why));
    std::exit(2);
}

inline void require(const Status& status, const QString& doing)
{
    if (!status)
        fail(doing, status.message());
}

inline void print(const QString& line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// A schema of its own on the server, first in the URI's search path, dropped when this goes.
class ServerSchema {
public:
    ServerSchema(const QString& admin, const QString& prefix)
        : m_admin(admin)
        , m_name(prefix + QStringLiteral("%1").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')))
    {
        run(QStringLiteral("CREATE SCHEMA ") + m_name);
        QUrl url(admin);
        QUrlQuery query(url);
        query.addQueryItem(QStringLiteral("options"), QStringLiteral("-csearch_path=") + m_name);
        url.setQuery(query);
        m_uri = url.toString();
    }
    ~ServerSchema() { run(QStringLiteral("DROP SCHEMA %1 CASCADE").arg(m_name)); }
    ServerSchema(const ServerSchema&) = delete;
    ServerSchema& operator=(const ServerSchema&) = delete;

    const QString& uri() const { return m_uri; }

private:
    void run(const QString& statement) const
    {
        Expected<std::unique_ptr<Connection>> connection = Connection::open(m_admin);
        require(connection.status(), QStringLiteral("connecting to the server"));
        QSqlQuery query(connection.value()->database());
        if (!query.exec(QStringLiteral("SET client_min_messages = warning")) || !query.exec(statement))
            fail(statement, query.lastError().text());
    }

    QString m_admin;
    QString m_name;
    QString m_uri;
};

// Measures on a file (no server given), then on the server; the exit status is 0 when every target was met.
inline int onEveryEngine(const std::function<bool(const QString& server)>& measure)
{
    bool allMet = measure(QString());
    const QString server = qEnvironmentVariable("VELMORA_TEST_SERVER");
    if (server.isEmpty())
        print(QStringLiteral(
            "\nNo server measured: VELMORA_TEST_SERVER names none (eval \"$(scripts/postgres.sh start)\")."));
    else
        allMet = measure(server) && allMet;
    print(allMet ? QStringLiteral("\nAll targets met.") : QStringLiteral("\nSome targets MISSED."));
    return allMet ? 0 : 1;
}

} // namespace bench
