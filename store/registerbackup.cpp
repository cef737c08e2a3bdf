#include "registerbackup.h"

#include "connection.h"
#include "history.h"
#include "readtransaction.h"
#include "registercontents.h"
#include "registerfile.h"
#include "registerpath.h"
#include "schema.h"
#include "values.h"
#include "writetransaction.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace registerbackup {

using registercontents::Counted;
using registercontents::countRows;
using registercontents::Held;
using registercontents::heldIn;
using registercontents::tablesOf;

namespace {

// How long the backup waits for its moment while clerks save one after another; their saves wait for its copy.
constexpr int lockWaitMs = 10000;

const QString backingUp = QStringLiteral("Cannot back up the register \"%1\" to \"%2\": %3.");
const QString restoring = QStringLiteral("Cannot restore the register \"%2\" from \"%1\": %3.");

// What one copy needs to word its failures: the register read, as messages name it, the file written, and the
// refusal's words, with %1 the one, %2 the other and %3 the reason.
class Backup {
public:
    Backup(const QString& location, const QString& path, const QString& refusal = backingUp)
        : m_register(Connection::pathOf(location))
        , m_file(QFileInfo(path).absoluteFilePath())
        , m_refusal(refusal)
    {}

    Status refused(const QString& reason) const { return Status::failure(m_refusal.arg(m_register, m_file, reason)); }
    // A failure named by the register's own engine; nothing was written.
    Status notWritten(const Status& failure) const
    {
        return Status::failure(failure.message() + QStringLiteral(" Nothing was written to \"%1\".").arg(m_file));
    }
    Status inCopy(const QSqlQuery& query) const { return inCopy(query.lastError()); }
    Status inCopy(const QSqlError& error) const
    {
        return refused(QStringLiteral("the copy cannot be written (%1)")
                           .arg((error.databaseText().isEmpty() ? error.text() : error.databaseText()).trimmed()));
    }

private:
    QString m_register;
    QString m_file;
    QString m_refusal;
};

// Whether two paths name one file, through links or as two names of it.
bool sameFile(const QString& one, const QString& other)
{
    struct stat first {};
    struct stat second {};
    return ::stat(QFile::encodeName(one).constData(), &first) == 0
           && ::stat(QFile::encodeName(other).constData(), &second) == 0 && first.st_dev == second.st_dev
           && first.st_ino == second.st_ino;
}

// One table's rows, in the order of the first column read, into the copy's columns in the same places. The
// source's query streams: nothing else runs on its connection until it is done.
Status copyRows(const Backup& backup, const Connection& source, const Connection& copy, const QString& table,
                const QStringList& read, const QStringList& written)
{
    QSqlQuery from(source.database());
    from.setForwardOnly(true);
    if (!from.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                       .arg(read.join(QLatin1String(", ")), schema::quoted(table), read.first())))
        return backup.notWritten(source.failure(QStringLiteral("Cannot back up"), from.lastError()));
    QSqlQuery into(copy.database());
    if (!into.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                          .arg(schema::quoted(table), written.join(QLatin1String(", ")),
                               QStringList(written.size(), QStringLiteral("?")).join(QLatin1String(", ")))))
        return backup.inCopy(into);
    while (from.next()) {
        for (int i = 0; i < read.size(); ++i)
            into.bindValue(i, values::read(from, i));
        if (!into.exec())
            return backup.inCopy(into);
    }
    if (from.lastError().isValid())
        return backup.notWritten(source.failure(QStringLiteral("Cannot back up"), from.lastError()));
    return {};
}

// A copy made table by table, in one transaction of the copy: the tables the source holds as a new register has
// them, each row under the row key it has in the source, and the history's entries as they are.
Status copyTables(const Backup& backup, const Connection& source, const Connection& copy, const QStringList& tables)
{
    const auto refused = [&](const QSqlError& error) {
        return backup.inCopy(error);
    };
    WriteTransaction transaction(copy);
    if (Status begun = transaction.begin(refused); !begun)
        return begun;
    QList<schema::Table> held;
    for (const schema::Table& table : schema::everyTable()) {
        if (tables.contains(table.name))
            held.append(table);
    }
    QSqlQuery query(copy.database());
    for (const QString& statement : copy.createTables(held)) {
        if (!query.exec(statement))
            return backup.inCopy(query);
    }
    for (const schema::Table& table : std::as_const(held)) {
        QStringList columns;
        for (const schema::Column& column : table.columns)
            columns.append(schema::quoted(column.name));
        if (Status copied = copyRows(backup, source, copy, table.name, QStringList{source.rowKey()} + columns,
                                     QStringList{copy.rowKey()} + columns);
            !copied)
            return copied;
    }
    if (tables.contains(history::tableName)) {
        if (!query.exec(history::createStatement()))
            return backup.inCopy(query);
        if (Status copied = copyRows(backup, source, copy, history::tableName, history::columns(), history::columns());
            !copied)
            return copied;
    }
    return transaction.commit(refused);
}

// The copy, opened afresh from its file: the engine finds it whole, and each table holds the rows counted.
Status check(const Backup& backup, const QString& building, const QStringList& tables, const QList<Counted>& counted)
{
    Expected<std::unique_ptr<Connection>> opened = Connection::open(building);
    if (!opened)
        return backup.refused(QStringLiteral("the copy cannot be opened again (%1)").arg(opened.status().message()));
    const Connection& copy = *opened.value();
    const Expected<QString> damage = copy.findDamage();
    if (!damage)
        return backup.refused(QStringLiteral("the copy cannot be read (%1)").arg(damage.status().message()));
    if (!damage->isEmpty())
        return backup.refused(QStringLiteral("the copy is damaged: %1").arg(damage.value()));
    ReadTransaction transaction(copy);
    if (Status begun = transaction.begin(QStringLiteral("Cannot check")); !begun)
        return backup.refused(QStringLiteral("the copy cannot be read (%1)").arg(begun.message()));
    const Expected<QList<Counted>> copied = countRows(copy, tables);
    if (!copied)
        return backup.refused(QStringLiteral("the copy cannot be read (%1)").arg(copied.status().message()));
    for (qsizetype i = 0; i < counted.size(); ++i) {
        if (copied->at(i).rows != counted[i].rows)
            return backup.refused(QStringLiteral("the copy's table %1 holds %2 rows, where the register held %3")
                                      .arg(counted[i].table)
                                      .arg(copied->at(i).rows)
                                      .arg(counted[i].rows));
    }
    return {};
}

// The file at path given the mode and group of the one at like, so that it is no more readable than that.
Status takeAccess(const QString& like, const QString& path)
{
    struct stat status {};
    const QByteArray file = QFile::encodeName(path);
    if (::stat(QFile::encodeName(like).constData(), &status) != 0 || ::chown(file.constData(), -1, status.st_gid) != 0
        || ::chmod(file.constData(), status.st_mode & 07777) != 0)
        return Status::failure(QString::fromLocal8Bit(std::strerror(errno)));
    return {};
}

// The register at location, at one moment, into a new file at path; with like, with that file's mode and group.
Expected<QList<Counted>> copyInto(const Backup& backup, const QString& location, const QString& path, bool replace,
                                  const QString& like = {})
{
    Expected<std::unique_ptr<Connection>> opened = Connection::open(location);
    if (!opened)
        return backup.notWritten(opened.status());
    opened.value()->waitForLocks(lockWaitMs);
    const Connection& source = *opened.value();
    // The counts and the copy are read in one transaction: one moment of the register, whoever saves meanwhile.
    ReadTransaction transaction(source);
    if (Status begun = transaction.begin(QStringLiteral("Cannot back up")); !begun)
        return backup.notWritten(begun);
    const Expected<QStringList> tables = tablesOf(source);
    if (!tables)
        return backup.notWritten(tables.status());
    const Expected<QList<Counted>> counted = countRows(source, tables.value());
    if (!counted)
        return backup.notWritten(counted.status());

    // A folder the file goes into is made, as export makes its own.
    if (Status made = registerpath::makeFolder(QFileInfo(path).absolutePath()); !made)
        return backup.refused(made.message());
    const auto make = [&](const QString& building) -> Status {
        {
            Expected<std::unique_ptr<Connection>> made = Connection::openEmpty(building);
            if (!made)
                return backup.refused(made.status().message());
            const Connection& copy = *made.value();
            const Expected<bool> whole = source.copyWholeInto(copy);
            if (!whole)
                return backup.notWritten(whole.status());
            if (!whole.value()) {
                if (Status copied = copyTables(backup, source, copy, tables.value()); !copied)
                    return copied;
            }
        }
        transaction.end();
        if (Status checked = check(backup, building, tables.value(), counted.value()); !checked)
            return checked;
        if (Status same = like.isEmpty() ? Status() : takeAccess(like, building); !same)
            return backup.refused(QStringLiteral("the mode and group of \"%1\" cannot be given to the copy (%2)")
                                      .arg(like, same.message()));
        return {};
    };
    const auto refusedAt = [&](const QString&, const QString& reason) {
        return backup.refused(reason);
    };
    if (Status built = registerfile::build(path, location, replace, make, refusedAt); !built)
        return built;
    return counted;
}

// The backup whole before it goes anywhere: SQLite finds no damage, and its history, when it keeps one, is intact.
Status checkBackup(const Backup& wording, const QString& backup)
{
    Expected<std::unique_ptr<Connection>> opened = Connection::open(backup);
    if (!opened)
        return wording.notWritten(opened.status());
    const Connection& connection = *opened.value();
    ReadTransaction transaction(connection);
    if (Status begun = transaction.begin(QStringLiteral("Cannot read")); !begun)
        return wording.notWritten(begun);
    const Expected<QString> damage = connection.findDamage();
    if (!damage)
        return wording.notWritten(damage.status());
    if (!damage->isEmpty())
        return wording.refused(QStringLiteral("the backup is damaged: %1").arg(damage.value()));
    const Expected<QStringList> tables = tablesOf(connection);
    if (!tables)
        return wording.notWritten(tables.status());
    if (!tables->contains(history::tableName))
        return {};
    const Expected<QList<history::Entry>> entries = history::read(connection);
    if (!entries)
        return wording.notWritten(entries.status());
    if (const history::Verdict verdict = history::verify(entries.value()); !verdict.intact)
        return wording.refused(QStringLiteral("the backup's history is broken: %1").arg(verdict.problem));
    return {};
}

} // namespace

Expected<QList<Counted>> write(const QString& location, const QString& path, bool replace)
{
    const Backup backup(location, path);
    if (!Connection::isServer(location) && sameFile(location, path))
        return backup.refused(QStringLiteral("that is the register itself; a backup goes into a file of its own"));
    return copyInto(backup, location, path, replace);
}

Expected<bool> isEarlierBackup(const QString& location, const QString& path)
{
    Expected<std::unique_ptr<Connection>> source = Connection::open(location);
    if (!source)
        return source.status();
    Expected<std::unique_ptr<Connection>> earlier = Connection::open(path);
    if (!earlier)
        return earlier.status();
    ReadTransaction reading(*source.value());
    ReadTransaction readingEarlier(*earlier.value());
    for (ReadTransaction* transaction : {&reading, &readingEarlier}) {
        if (Status begun = transaction->begin(QStringLiteral("Cannot read")); !begun)
            return begun;
    }
    for (const Connection* connection : {source.value().get(), earlier.value().get()}) {
        const Expected<bool> kept = history::kept(*connection);
        if (!kept || !kept.value())
            return kept ? Expected<bool>(false) : kept.status();
    }
    // An empty history begins every other, so the register must hold nothing else either.
    const Expected<std::optional<Held>> there = heldIn(*earlier.value());
    if (!there || !there.value())
        return there ? Expected<bool>(false) : there.status();
    for (const Counted& table : there.value()->rows) {
        if (!there.value()->newest && table.rows > 0)
            return false;
    }
    return history::begins(*earlier.value(), *source.value());
}

Expected<Restored> restore(const QString& backup, const QString& path)
{
    // Through a link, such as the package's /opt/velmora/stock.mdb, the file where it leads.
    const QString target = registerpath::linkEnd(QFileInfo(path).absoluteFilePath());
    const Backup wording(backup, target, restoring);
    if (QFileInfo(target).isDir())
        return wording.refused(QStringLiteral("that names a folder; give the path of the register file"));
    if (sameFile(backup, target))
        return wording.refused(QStringLiteral("that is the register itself; give a backup of it"));
    if (Status checked = checkBackup(wording, backup); !checked)
        return checked;

    Restored restored;
    restored.replaced = QFileInfo::exists(target);
    std::unique_ptr<Connection> locked;
    std::optional<WriteTransaction> lock;
    if (restored.replaced) {
        if (Expected<std::unique_ptr<Connection>> opened = Connection::open(target); opened) {
            locked = std::move(opened.value());
            lock.emplace(*locked);
            if (Status begun = lock->begin(QStringLiteral("Cannot restore")); !begun)
                return Status::failure(begun.message() + QStringLiteral(" Nothing was changed."));
            Expected<std::optional<Held>> previous = heldIn(*locked);
            if (!previous)
                return wording.notWritten(previous.status());
            restored.previous = previous.value();
        }
        restored.keptAs = target + QStringLiteral(".before-restore-")
                          + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
        if (::link(QFile::encodeName(target).constData(), QFile::encodeName(restored.keptAs).constData()) != 0)
            return wording.refused(QStringLiteral("the register cannot be kept as \"%1\" (%2)")
                                       .arg(restored.keptAs, QString::fromLocal8Bit(std::strerror(errno))));
    }
    const Expected<QList<Counted>> copied = copyInto(wording, backup, target, true, restored.keptAs);
    if (!copied) {
        if (restored.replaced)
            QFile::remove(restored.keptAs);
        return copied.status();
    }
    restored.rows = copied.value();
    return restored;
}

} // namespace registerbackup
