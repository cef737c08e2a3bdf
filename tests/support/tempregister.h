#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QVariantList>

#include "connection.h"
#include "registerfile.h"
#include "registerserver.h"

#include <QRandomGenerator>
#include <QUrl>
#include <QUrlQuery>

#include <sys/stat.h>

// Where a test's register lives: a file, or a schema of its own on the test server (VELMORA_TEST_SERVER).
enum class Engine { File, Server };

// An empty register in a directory of its own, removed with it. Rows are arranged and read back through a
// connection of the test's own, opened for each call so that it holds no lock in between.
class TempRegister {
public:
    explicit TempRegister(const QString& subdirectory = QString())
    {
        m_path = m_directory.path() + QLatin1Char('/');
        if (!subdirectory.isEmpty()) {
            QDir(m_directory.path()).mkpath(subdirectory);
            m_path += subdirectory + QLatin1Char('/');
        }
        m_path += QStringLiteral("stock.mdb");
        const Status created = registerfile::create(m_path);
        m_error = created.message();
    }

    // A register in a schema of its own on the test server, or the server given, dropped with it; the path is its
    // URI. Unless made, the place is left empty for a register to be made there: no file, or a schema with no tables.
    explicit TempRegister(Engine engine, bool made = true, const QString& server = {})
        : TempRegister()
    {
        if (!made)
            QFile::remove(m_path);
        if (engine == Engine::File)
            return;
        const QString admin = server.isEmpty() ? qEnvironmentVariable("VELMORA_TEST_SERVER") : server;
        if (admin.isEmpty()) {
            m_error = QStringLiteral("no test server: scripts/postgres.sh start gives VELMORA_TEST_SERVER");
            return;
        }
        m_schema = QStringLiteral("t%1").arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
        m_admin = admin;
        if (const QString error = runOn(admin, QStringLiteral("CREATE SCHEMA ") + m_schema); !error.isEmpty()) {
            m_error = error;
            m_schema.clear();
            return;
        }
        QUrl url(admin);
        QUrlQuery query(url);
        query.addQueryItem(QStringLiteral("options"), QStringLiteral("-csearch_path=") + m_schema);
        url.setQuery(query);
        m_path = url.toString();
        if (made)
            m_error = registerserver::create(m_path).message();
    }
    ~TempRegister()
    {
        // Closed, the test's own connection goes rather than waiting for the next window: a table of many rows would
        // otherwise keep one connection per row open on the test server until the test ends.
        if (m_server)
            m_server->database().close();
        m_server.reset();
        if (!m_schema.isEmpty())
            runOn(m_admin, QStringLiteral("DROP SCHEMA %1 CASCADE").arg(m_schema));
    }
    TempRegister(const TempRegister&) = delete;
    TempRegister& operator=(const TempRegister&) = delete;

    bool isServer() const { return !m_schema.isEmpty(); }
    // The server register's schema, which the URI puts first in the search path.
    const QString& schema() const { return m_schema; }
    // The hidden key that orders the records, for the test's own queries.
    QString key() const { return isServer() ? QStringLiteral("row_id") : QStringLiteral("rowid"); }

    bool isValid() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    QString path() const { return m_path; }
    QString directory() const { return QFileInfo(m_path).absolutePath(); }

    // Runs one statement; returns the engine's error text, empty on success.
    QString exec(const QString& statement, const QVariantList& values = {}) const
    {
        QString error;
        run(m_path, [&](QSqlDatabase& database) {
            QSqlQuery query(database);
            // A server prepares no BEGIN or table change: a statement without values runs as it is.
            if (!values.isEmpty())
                query.prepare(statement);
            for (int i = 0; i < values.size(); ++i)
                query.bindValue(i, values[i]);
            if (values.isEmpty() ? !query.exec(statement) : !query.exec())
                error = query.lastError().text();
            return query.lastError();
        });
        return error;
    }

    // Every row a query gives, NULL as an invalid QVariant.
    QList<QVariantList> rows(const QString& statement) const
    {
        QList<QVariantList> result;
        run(m_path, [&](QSqlDatabase& database) { return rowsOf(database, statement, result); });
        return result;
    }

    // Runs statements, split at each ";", one after the other on one connection to a server database; returns
    // the engine's first error text, empty on success. The driver tells only the first outcome of several
    // statements sent at once, so each is sent on its own.
    static QString runOn(const QString& uri, const QString& statements)
    {
        Expected<std::unique_ptr<Connection>> connection = Connection::open(uri);
        if (!connection)
            return connection.status().message();
        QSqlQuery query(connection.value()->database());
        for (const QString& statement : (QStringLiteral("SET client_min_messages = warning;") + statements)
                                            .split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            if (!statement.trimmed().isEmpty() && !query.exec(statement))
                return query.lastError().text();
        }
        return {};
    }

    // A file's permission bits, as chmod shows them; -1 when it is not there.
    static int modeOf(const QString& path)
    {
        struct stat status {};
        return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? int(status.st_mode & 07777) : -1;
    }

    // The same for any register file, read through a connection of the caller's own, opened for the call.
    static QList<QVariantList> rowsIn(const QString& path, const QString& statement)
    {
        QList<QVariantList> result;
        runOnFile(path, [&](QSqlDatabase& database) { return rowsOf(database, statement, result); });
        return result;
    }

private:
    static QSqlError rowsOf(QSqlDatabase& database, const QString& statement, QList<QVariantList>& result)
    {
        result.clear();
        QSqlQuery query(database);
        query.setForwardOnly(true);
        query.exec(statement);
        while (query.next()) {
            QVariantList row;
            for (int i = 0; i < query.record().count(); ++i)
                row.append(query.isNull(i) ? QVariant() : query.value(i));
            result.append(row);
        }
        return query.lastError();
    }

    // On a server, one connection of the test's own, kept open: it holds nothing between statements. One the
    // server dropped, as a failover does, is made again once.
    template <typename Work> void run(const QString& path, Work work) const
    {
        if (isServer()) {
            for (int attempt = 0; attempt < 2; ++attempt) {
                if (!m_server) {
                    Expected<std::unique_ptr<Connection>> connection = Connection::open(path);
                    if (!connection)
                        return;
                    m_server = std::move(connection.value());
                }
                QSqlDatabase database = m_server->database();
                const QSqlError error = work(database);
                if (!error.isValid() || !error.nativeErrorCode().isEmpty()) // no SQLSTATE: the connection went
                    return;
                m_server.reset();
            }
            return;
        }
        runOnFile(path, work);
    }

    template <typename Work> static void runOnFile(const QString& path, Work work)
    {
        const QString name = QStringLiteral("test-arrange");
        {
            QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            database.setDatabaseName(path);
            if (database.open())
                work(database);
            database.close();
        }
        QSqlDatabase::removeDatabase(name);
    }

    QTemporaryDir m_directory;
    QString m_path;
    QString m_error;
    QString m_schema;
    QString m_admin;
    mutable std::unique_ptr<Connection> m_server;
};

// A test whose register could not be made is skipped, except in CI, where a missing test server is a failure.
#define VELMORA_REQUIRE(reg)                                                                                           \
    do {                                                                                                               \
        if (!(reg).isValid()) {                                                                                        \
            if (qEnvironmentVariableIsSet("CI"))                                                                       \
                QFAIL(qPrintable((reg).error()));                                                                      \
            QSKIP(qPrintable((reg).error()));                                                                          \
        }                                                                                                              \
    } while (false)
