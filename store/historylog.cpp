#include "historylog.h"

#include "connection.h"
#include "schema.h"
#include "values.h"
#include "writetransaction.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>

#include <limits>

#include <pwd.h>
#include <unistd.h>

namespace {

// The login the program runs as, which the environment cannot pass off as another.
QString loginName()
{
    static const QString name = [] {
        if (const passwd* user = ::getpwuid(::geteuid()))
            return QString::fromLocal8Bit(user->pw_name);
        return QString::number(::geteuid());
    }();
    return name;
}

constexpr int bulkRows = 100;

QString insertStatement(int rows)
{
    const QString row = QStringLiteral("(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    return QStringLiteral("INSERT INTO %1 (seq, changed_at, clerk, db_role, table_name, row_key, record, action, "
                          "changes, previous_hash, hash) VALUES %2")
        .arg(history::tableName, QStringList(rows, row).join(QLatin1String(", ")));
}

} // namespace

struct HistoryLog::Statements {
    explicit Statements(const QSqlDatabase& database)
        : kept(database)
        , last(database)
        , insert(database)
        , bulk(database)
    {}
    QSqlQuery kept;
    QSqlQuery last;
    QSqlQuery insert;
    QSqlQuery bulk;
    bool prepared = false; // last and insert, once the history is there
};

HistoryLog::HistoryLog(const Connection& connection)
    : m_connection(connection)
{}

HistoryLog::~HistoryLog() = default;

void HistoryLog::reset()
{
    m_statements.reset();
}

Status HistoryLog::prepare()
{
    if (m_statements)
        return {};
    auto statements = std::make_unique<Statements>(m_connection.database());
    statements->kept.setForwardOnly(true);
    if (!statements->kept.prepare(m_connection.holdHistory()))
        return m_connection.failure(QStringLiteral("Cannot save to"), statements->kept.lastError());
    m_statements = std::move(statements);
    return {};
}

Status HistoryLog::prepareHistory()
{
    if (m_statements->prepared)
        return {};
    QSqlQuery role(m_connection.database());
    if (!role.exec(m_connection.currentRole()) || !role.next())
        return m_connection.failure(QStringLiteral("Cannot save to"), role.lastError());
    m_role = role.value(0).toString();
    m_statements->last.setForwardOnly(true);
    const std::pair<QSqlQuery*, QString> all[] = {
        {&m_statements->last,
         QStringLiteral("SELECT seq, hash FROM %1 ORDER BY seq DESC LIMIT 1").arg(history::tableName)},
        {&m_statements->insert, insertStatement(1)},
        {&m_statements->bulk, insertStatement(bulkRows)},
    };
    for (const auto& [query, statement] : all) {
        if (!query->prepare(statement))
            return m_connection.failure(QStringLiteral("Cannot save to"), query->lastError());
    }
    m_statements->prepared = true;
    return {};
}

Status HistoryLog::append(QList<history::Entry> entries)
{
    return write(std::move(entries), false);
}

Status HistoryLog::write(QList<history::Entry> entries, bool evenWhereTheEngineWrites)
{
    if (entries.isEmpty())
        return {};
    if (Status prepared = prepare(); !prepared)
        return prepared;
    QSqlQuery& kept = m_statements->kept;
    if (!kept.exec() || !kept.next())
        return m_connection.failure(QStringLiteral("Cannot save to"), kept.lastError());
    const bool keeps = kept.value(0).toBool();
    const bool engineWrites = kept.value(1).toBool();
    kept.finish();
    if (!keeps || (engineWrites && !evenWhereTheEngineWrites))
        return {};
    if (Status prepared = prepareHistory(); !prepared)
        return prepared;
    QSqlQuery& last = m_statements->last;
    if (!last.exec())
        return m_connection.failure(QStringLiteral("Cannot save to"), last.lastError());
    qint64 seq = last.next() ? last.value(0).toLongLong() : 0;
    QString previous = seq > 0 ? last.value(1).toString() : QString();
    last.finish();

    const QString at = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    for (history::Entry& entry : entries) {
        entry.seq = ++seq;
        entry.at = at;
        entry.clerk = loginName();
        entry.role = m_role;
        entry.previous = std::exchange(previous, QString());
        entry.hash = history::seal(entry);
        previous = entry.hash;
    }
    // Many rows to a statement where there are many, as when a register is made or copied.
    qsizetype done = 0;
    for (; entries.size() - done >= bulkRows; done += bulkRows) {
        if (Status stored = store(m_statements->bulk, entries.mid(done, bulkRows)); !stored)
            return stored;
    }
    for (; done < entries.size(); ++done) {
        if (Status stored = store(m_statements->insert, entries.mid(done, 1)); !stored)
            return stored;
    }
    return {};
}

Status HistoryLog::store(QSqlQuery& insert, const QList<history::Entry>& entries) const
{
    int at = 0;
    for (const history::Entry& entry : entries) {
        const QVariant values[] = {entry.seq,    entry.at,     entry.clerk,   entry.role,     entry.table, entry.rowKey,
                                   entry.record, entry.action, entry.changes, entry.previous, entry.hash};
        for (const QVariant& value : values) {
            // An empty text is stored empty, never as NULL.
            const bool blank = value.typeId() == QMetaType::QString && value.toString().isNull();
            insert.bindValue(at++, blank ? QVariant(QStringLiteral("")) : value);
        }
    }
    if (!insert.exec())
        return m_connection.failure(QStringLiteral("Cannot save to"), insert.lastError());
    return {};
}

Status HistoryLog::appendEvery(const QString& action)
{
    // A batch at a time, read in key order and put away before the next is read, so that a large register
    // never sits in memory whole and no read is still running while the entries are written.
    constexpr int batchSize = 5000;
    const QString key = m_connection.rowKey();
    for (const schema::Table& table : schema::everyTable()) {
        QStringList columns{key};
        for (const schema::Column& column : table.columns)
            columns.append(schema::quoted(column.name));
        QSqlQuery rows(m_connection.database());
        rows.setForwardOnly(true);
        if (!rows.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3 > ? ORDER BY %3 LIMIT %4")
                              .arg(columns.join(QLatin1String(", ")), schema::quoted(table.name), key)
                              .arg(batchSize)))
            return m_connection.failure(QStringLiteral("Cannot save to"), rows.lastError());
        qint64 after = std::numeric_limits<qint64>::min();
        for (;;) {
            rows.bindValue(0, after);
            if (!rows.exec())
                return m_connection.failure(QStringLiteral("Cannot save to"), rows.lastError());
            QList<history::Entry> batch;
            while (rows.next()) {
                QList<history::Change> changes;
                for (int i = 0; i < table.columns.size(); ++i) {
                    if (!rows.isNull(i + 1))
                        changes.append({table.columns[i].name, QVariant(), rows.value(i + 1)});
                }
                after = rows.value(0).toLongLong();
                batch.append(entry(table, after, rows.value(1), action, changes));
            }
            if (rows.lastError().isValid())
                return m_connection.failure(QStringLiteral("Cannot save to"), rows.lastError());
            rows.finish();
            if (batch.isEmpty())
                break;
            if (Status appended = write(batch, true); !appended)
                return appended;
        }
    }
    return {};
}

Expected<bool> HistoryLog::start(const Connection& connection)
{
    const QString doing = QStringLiteral("Cannot upgrade");
    WriteTransaction transaction(connection);
    if (Status begun = transaction.begin(doing); !begun)
        return begun;
    // A server lets clerks save meanwhile, and a save that sees no history yet writes no entry: their saves wait
    // until the records are read and the history is there. A file's write lock holds them off already.
    QSqlQuery query(connection.database());
    QStringList names;
    for (const schema::Table& table : schema::everyTable())
        names.append(schema::quoted(table.name));
    if (const QString hold = connection.holdWrites(names); !hold.isEmpty() && !query.exec(hold))
        return connection.failure(doing, query.lastError());
    Expected<bool> keeps = history::kept(connection);
    if (!keeps)
        return keeps.status();
    if (keeps.value())
        return false;
    if (!query.exec(history::createStatement()))
        return connection.failure(doing, query.lastError());
    if (Status kept = HistoryLog(connection).appendEvery(QStringLiteral("upgrade")); !kept)
        return kept;
    if (Status handed = putKeeperInPlace(connection); !handed)
        return handed;
    if (Status committed = transaction.commit(doing); !committed)
        return committed;
    return true;
}

Status HistoryLog::putKeeperInPlace(const Connection& connection)
{
    QSqlQuery query(connection.database());
    for (const QString& statement : connection.keepHistoryItself()) {
        if (!query.exec(statement))
            return connection.failure(QStringLiteral("Cannot hand the history over to"), query.lastError());
    }
    return {};
}

Expected<bool> HistoryLog::handOver(const Connection& connection)
{
    const QString missing = connection.historyNotKeptOn();
    if (missing.isEmpty())
        return false;
    const QString doing = QStringLiteral("Cannot hand the history over to");
    WriteTransaction transaction(connection);
    if (Status begun = transaction.begin(doing); !begun)
        return begun;
    QSqlQuery query(connection.database());
    if (!query.exec(missing))
        return connection.failure(doing, query.lastError());
    if (!query.next())
        return false;
    query.finish();
    if (Status handed = putKeeperInPlace(connection); !handed)
        return handed;
    if (Status committed = transaction.commit(doing); !committed)
        return committed;
    return true;
}

history::Entry HistoryLog::entry(const schema::Table& table, qint64 rowKey, const QVariant& number,
                                 const QString& action, const QList<history::Change>& changes)
{
    history::Entry entry;
    entry.table = table.name;
    entry.rowKey = rowKey;
    entry.record = values::shown(number);
    entry.action = action;
    entry.changes = history::encode(changes);
    return entry;
}
