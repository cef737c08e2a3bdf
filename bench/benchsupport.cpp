#include "benchsupport.h"

#include "connection.h"
#include "registerserver.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrlQuery>

#include <cstdio>
#include <cstdlib>

namespace bench {

void fail(const QString& doing, const QString& why)
{
    std::fprintf(stderr, "%s: %s failed: %s\n", qPrintable(QCoreApplication::applicationName()), qPrintable(doing),
                 qPrintable(why));
    std::exit(2);
}

void require(const Status& status, const QString& doing)
{
    if (!status)
        fail(doing, status.message());
}

void print(const QString& line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

ServerRegister::ServerRegister(const QString& admin, const std::function<Status(QSqlDatabase&)>& fill)
    : m_admin(admin)
    , m_schema(QStringLiteral("bench%1").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')))
{
    run(QStringLiteral("CREATE SCHEMA ") + m_schema);
    QUrl url(admin);
    QUrlQuery query(url);
    query.addQueryItem(QStringLiteral("options"), QStringLiteral("-csearch_path=") + m_schema);
    url.setQuery(query);
    m_uri = url.toString();
    require(registerserver::create(m_uri, fill), QStringLiteral("registerserver::create"));
}

ServerRegister::~ServerRegister()
{
    run(QStringLiteral("DROP SCHEMA %1 CASCADE").arg(m_schema));
}

void ServerRegister::run(const QString& statement) const
{
    Expected<std::unique_ptr<Connection>> connection = Connection::open(m_admin);
    require(connection.status(), QStringLiteral("connecting to the server"));
    QSqlQuery query(connection.value()->database());
    if (!query.exec(QStringLiteral("SET client_min_messages = warning; ") + statement))
        fail(statement, query.lastError().text());
}

int onEachEngine(const std::function<bool(const QString& server)>& measure)
{
    bool allMet = measure(QString());
    const QString server = qEnvironmentVariable("VELMORA_TEST_SERVER");
    if (server.isEmpty())
        print(QStringLiteral(
            "\nNo server measured: VELMORA_TEST_SERVER names none (eval \"$(scripts/postgres.sh start)\")."));
    else
        allMet = measure(server) && allMet;
    print(allMet ? QStringLiteral("All targets met.") : QStringLiteral("Some targets MISSED."));
    return allMet ? 0 : 1;
}

} // namespace bench
