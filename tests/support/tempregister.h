#pragma once

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QVariantList>

#include "registerfile.h"

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
            query.prepare(statement);
            for (int i = 0; i < values.size(); ++i)
                query.bindValue(i, values[i]);
            if (!query.exec())
                error = query.lastError().text();
        });
        return error;
    }

    // Every row a query gives, NULL as an invalid QVariant.
    QList<QVariantList> rows(const QString& statement) const { return rowsIn(m_path, statement); }

    // The same for any register file, read through a connection of the caller's own, opened for the call.
    static QList<QVariantList> rowsIn(const QString& path, const QString& statement)
    {
        QList<QVariantList> result;
        run(path, [&](QSqlDatabase& database) {
            QSqlQuery query(database);
            query.exec(statement);
            while (query.next()) {
                QVariantList row;
                for (int i = 0; i < query.record().count(); ++i)
                    row.append(query.isNull(i) ? QVariant() : query.value(i));
                result.append(row);
            }
        });
        return result;
    }

private:
    template <typename Work> static void run(const QString& path, Work work)
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
};
