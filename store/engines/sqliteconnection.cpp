#include "sqliteconnection.h"

#include "registerpath.h"
#include "schema.h"
#include "sqlitefunctions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include <sqlite3.h>

namespace {

constexpr int busyTimeoutMs = 1500; // how long a save waits for another writer before giving up

Status cannotOpen(const QString& path, const QString& reason)
{
    return Status::failure(QStringLiteral("Cannot open the register \"%1\": %2.").arg(path, reason));
}

// An Access-format register, as the earlier version of the program kept it, and the command that converts it.
QString fromTheEarlierVersion(const QFileInfo& file)
{
    const QString kept = file.dir().filePath(file.completeBaseName() + QStringLiteral("-access.") + file.suffix());
    return QStringLiteral("it is an Access-format register from the earlier version of this program, which Velmora "
                          "does not open. To convert it, rename it to %1 and run:\n%2 import %3 %4\n"
                          "The converted register takes its place")
        .arg(QFileInfo(kept).fileName(), registerpath::tool(), registerpath::shellQuoted(kept),
             registerpath::shellQuoted(file.absoluteFilePath()));
}

// No file where the path leads.
QString missing(const QFileInfo& file)
{
    if (file.isSymLink())
        return QStringLiteral("it is a link to \"%1\", which does not exist")
            .arg(registerpath::linkEnd(file.filePath()));
    return QStringLiteral("the file does not exist");
}

// What the file's first bytes say it is; empty when it looks like an SQLite database.
QString whatIsWrongWith(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return missing(info);
    if (!info.isFile())
        return QStringLiteral("it is not a file");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("the file cannot be read (%1)").arg(file.errorString());
    const QByteArray header = file.read(100);
    if (header.isEmpty())
        return QStringLiteral("the file is empty, not a Velmora register");
    if (header.startsWith(QByteArrayLiteral("SQLite format 3\0")))
        return {};
    const QByteArray signature = header.mid(4, 15);
    if (signature == "Standard Jet DB" || signature == "Standard ACE DB")
        return fromTheEarlierVersion(QFileInfo(registerpath::linkEnd(path)));
    return QStringLiteral("it is not a Velmora register (not an SQLite database)");
}

QString reasonFor(int code)
{
    switch (code) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("the register is in use by another program");
    case SQLITE_READONLY:
        return QStringLiteral("the register is read-only");
    case SQLITE_IOERR:
        return QStringLiteral("the disk could not be read or written");
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return QStringLiteral("the register file is damaged");
    case SQLITE_FULL:
        return QStringLiteral("the disk is full");
    case SQLITE_CANTOPEN:
        return QStringLiteral("the register file cannot be opened");
    default:
        return {};
    }
}

// A table with each column of the affinity its storage takes; the engine gives the row key.
QString createTable(const schema::Table& table)
{
    QStringList columns;
    for (const schema::Column& column : table.columns) {
        const char* type = column.storage == schema::Storage::Integer ? "INTEGER" : "TEXT";
        columns.append(schema::quoted(column.name) + QLatin1Char(' ') + QLatin1String(type));
    }
    return QStringLiteral("CREATE TABLE %1 (%2)").arg(schema::quoted(table.name), columns.join(QLatin1String(", ")));
}

} // namespace

Expected<std::unique_ptr<Connection>> SqliteConnection::open(const QString& path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (const QString wrong = whatIsWrongWith(absolute); !wrong.isEmpty())
        return cannotOpen(absolute, wrong);
    return attach(absolute);
}

Expected<std::unique_ptr<Connection>> SqliteConnection::openEmpty(const QString& path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (QFileInfo(absolute).size() != 0 || !QFileInfo(absolute).isFile())
        return cannotOpen(absolute, QStringLiteral("it is not a new, empty file"));
    return attach(absolute);
}

Expected<std::unique_ptr<Connection>> SqliteConnection::attach(const QString& absolute)
{
    std::unique_ptr<SqliteConnection> connection(new SqliteConnection(absolute, nextName()));
    QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection->name());
    if (!database.isValid())
        return cannotOpen(absolute, QStringLiteral("the SQLite driver for Qt is not installed"));
    // mode=rw: a file that vanished in the meantime is reported, never created.
    database.setDatabaseName(QUrl::fromLocalFile(absolute).toString(QUrl::FullyEncoded) + QStringLiteral("?mode=rw"));
    database.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs));
    if (!database.open())
        return connection->failure(QStringLiteral("Cannot open"), database.lastError());
    if (Status installed = sqlitefunctions::install(database); !installed)
        return cannotOpen(absolute, installed.message());
    return std::unique_ptr<Connection>(std::move(connection));
}

// A leading + takes the column's affinity away, so a value compares by its kind and content, as it was read.
QString SqliteConnection::holdsExactly(const QString& column) const
{
    return QStringLiteral("+%1 IS ?").arg(column);
}

QString SqliteConnection::sameValue(const QString& one, const QString& other) const
{
    return QStringLiteral("%1 IS %2").arg(one, other);
}

QString SqliteConnection::equalsText(const QString& text) const
{
    return QStringLiteral("%1 = ? COLLATE %2").arg(text, QLatin1String(sqlitefunctions::textCollation));
}

QString SqliteConnection::valOf(const QString& column) const
{
    return QStringLiteral("%1(%2)").arg(QLatin1String(sqlitefunctions::valFunction), column);
}

QString SqliteConnection::wholeNumberOf(const QString& column) const
{
    return QStringLiteral("%1(%2)").arg(QLatin1String(sqlitefunctions::wholeFunction), column);
}

QString SqliteConnection::writtenAsDate(const QString& column) const
{
    return QStringLiteral("%1 GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]'").arg(column);
}

QStringList SqliteConnection::createTables(const QList<schema::Table>& tables) const
{
    QStringList statements;
    for (const schema::Table& table : tables)
        statements.append(createTable(table));
    return statements;
}

QString SqliteConnection::listTables() const
{
    return QStringLiteral("SELECT name FROM sqlite_schema WHERE type IN ('table', 'view')");
}

QString SqliteConnection::describeTables() const
{
    return QStringLiteral("SELECT t.name, c.name, c.type FROM sqlite_schema t, pragma_table_info(t.name) c "
                          "WHERE t.type = 'table' AND t.name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY t.name, c.cid");
}

qint64 SqliteConnection::insertedKey(QSqlQuery& query) const
{
    return query.lastInsertId().toLongLong();
}

void SqliteConnection::waitForLocks(int ms)
{
    sqlitefunctions::waitOften(database(), ms);
}

Expected<bool> SqliteConnection::copyWholeInto(const Connection& target) const
{
    if (Status copied = sqlitefunctions::backup(database(), target.database()); !copied)
        return Status::failure(QStringLiteral("Cannot copy the register \"%1\": %2.").arg(path(), copied.message()));
    return true;
}

Expected<QString> SqliteConnection::findDamage() const
{
    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("PRAGMA integrity_check")))
        return failure(QStringLiteral("Cannot check"), query.lastError());
    QStringList problems;
    while (query.next())
        problems.append(query.value(0).toString());
    if (problems == QStringList{QStringLiteral("ok")})
        return QString();
    if (problems.isEmpty())
        return QStringLiteral("the integrity check gave no answer");
    return problems.mid(0, 3).join(QLatin1String("; ")).simplified();
}

Expected<Connection::Rights> SqliteConnection::clerkRights(const QString&, const QStringList&) const
{
    return Status::failure(QStringLiteral("Cannot list the rights for the register \"%1\": a register file has no "
                                          "roles; its file's mode and group say who may read and write it.")
                               .arg(path()));
}

Status SqliteConnection::checkTable(const schema::Table& table) const
{
    QSqlQuery info(database());
    if (!info.exec(QStringLiteral("PRAGMA table_info(%1)").arg(schema::quoted(table.name))))
        return failure(QStringLiteral("Cannot open"), info.lastError());
    QStringList present;
    while (info.next())
        present.append(info.value(1).toString());
    // Such a column hides the engine's own row number, by which a window knows its place.
    return checkColumns(table, present, {QStringLiteral("rowid"), QStringLiteral("oid"), QStringLiteral("_rowid_")});
}

Status SqliteConnection::checkReachable(const QString& doing)
{
    return movedAway(doing);
}

Status SqliteConnection::movedAway(const QString& doing) const
{
    if (!sqlitefunctions::fileHasMoved(database()))
        return {};
    return Status::failure(QStringLiteral("%1 the register \"%2\": the file was deleted, moved or replaced after this "
                                          "window opened it. Put the register back at that path, or leave the "
                                          "window and open it again.")
                               .arg(doing, path()));
}

Status SqliteConnection::failure(const QString& doing, const QSqlError& error) const
{
    // The engine refuses a file moved away under it as read-only; the clerk is told what really happened.
    if (Status here = movedAway(doing); !here)
        return here;
    const int code = error.nativeErrorCode().toInt() & 0xff; // the primary result code
    QString reason = reasonFor(code);
    // A file made read-only while open fails as a write error; the file itself tells the real reason.
    if (code == SQLITE_READONLY || code == SQLITE_IOERR || code == SQLITE_CANTOPEN) {
        // Through a link, the engine keeps its journal beside the file the link points to.
        const QFileInfo file(registerpath::linkEnd(path()));
        if (file.exists() && !file.isWritable())
            reason = QStringLiteral("the register is read-only");
        else if (!QFileInfo(file.absolutePath()).isWritable())
            reason = QStringLiteral("the register's folder is read-only, and a save needs a journal file there");
    }
    const QString engine = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    if (reason.isEmpty())
        return Status::failure(QStringLiteral("%1 the register \"%2\": %3.").arg(doing, path(), engine));
    return Status::failure(QStringLiteral("%1 the register \"%2\": %3 (%4).").arg(doing, path(), reason, engine));
}
