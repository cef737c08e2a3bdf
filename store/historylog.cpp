#include "historylog.h"

#include "connection.h"
#include "schema.h"
#include "values.h"

#include <QDateTime>
#include <QScopeGuard>
#include <QSqlError>
#include <QSqlQuery>

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

} // namespace

struct HistoryLog::Statements {
    explicit Statements(const QSqlDatabase& database)
        : kept(database)
        , last(database)
        , insert(database)
    {}
    QSqlQuery kept;
    QSqlQuery last;
    QSqlQuery insert;
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
    if (!statements->kept.prepare(m_connection.hasTable()))
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
        {&m_statements->insert,
         QStringLiteral("INSERT INTO %1 (seq, changed_at, clerk, db_role, table_name, row_key, record, action, "
                        "changes, previous_hash, hash) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
             .arg(history::tableName)},
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
    if (entries.isEmpty())
        return {};
    if (Status prepared = prepare(); !prepared)
        return prepared;
    QSqlQuery& kept = m_statements->kept;
    kept.bindValue(0, history::tableName);
    if (!kept.exec() || !kept.next())
        return m_connection.failure(QStringLiteral("Cannot save to"), kept.lastError());
    const bool keeps = kept.value(0).toBool();
    kept.finish();
    if (!keeps)
        return {};
    if (Status prepared = prepareHistory(); !prepared)
        return prepared;
    if (const QString lock = m_connection.lockHistory(); !lock.isEmpty()) {
        QSqlQuery locked(m_connection.database());
        if (!locked.exec(lock))
            return m_connection.failure(QStringLiteral("Cannot save to"), locked.lastError());
    }
    QSqlQuery& last = m_statements->last;
    if (!last.exec())
        return m_connection.failure(QStringLiteral("Cannot save to"), last.lastError());
    qint64 seq = last.next() ? last.value(0).toLongLong() : 0;
    QString previous = seq > 0 ? last.value(1).toString() : QString();
    last.finish();

    const QString at = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    QSqlQuery& insert = m_statements->insert;
    for (history::Entry& entry : entries) {
        entry.seq = ++seq;
        entry.at = at;
        entry.clerk = loginName();
        entry.role = m_role;
        entry.previous = previous;
        entry.hash = history::seal(entry);
        const QVariant values[] = {entry.seq,    entry.at,     entry.clerk,   entry.role,     entry.table, entry.rowKey,
                                   entry.record, entry.action, entry.changes, entry.previous, entry.hash};
        // An empty text (the first entry's previous seal, a record without a number) is stored as one, not as
        // no value, which the history's columns refuse.
        for (int i = 0; i < int(std::size(values)); ++i)
            insert.bindValue(i, values[i].typeId() == QMetaType::QString && values[i].toString().isNull()
                                    ? QVariant(QStringLiteral(""))
                                    : values[i]);
        if (!insert.exec())
            return m_connection.failure(QStringLiteral("Cannot save to"), insert.lastError());
        previous = entry.hash;
    }
    return {};
}

Status HistoryLog::appendEvery(const QString& action)
{
    const QString key = m_connection.rowKey();
    for (const schema::Table& table : schema::tables()) {
        QStringList columns{key};
        for (const schema::Column& column : table.columns)
            columns.append(schema::quoted(column.name));
        QSqlQuery rows(m_connection.database());
        rows.setForwardOnly(true);
        if (!rows.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                           .arg(columns.join(QLatin1String(", ")), schema::quoted(table.name), key)))
            return m_connection.failure(QStringLiteral("Cannot save to"), rows.lastError());
        // A batch at a time, so that a large register never sits in memory whole.
        QList<history::Entry> batch;
        const auto flush = [&] {
            return append(std::exchange(batch, {}));
        };
        while (rows.next()) {
            QList<history::Change> changes;
            for (int i = 0; i < table.columns.size(); ++i) {
                if (!rows.isNull(i + 1))
                    changes.append({table.columns[i].name, QVariant(), rows.value(i + 1)});
            }
            batch.append(entry(table, rows.value(0).toLongLong(), rows.value(1), action, changes));
            if (batch.size() == 10000) {
                if (Status appended = flush(); !appended)
                    return appended;
            }
        }
        if (rows.lastError().isValid())
            return m_connection.failure(QStringLiteral("Cannot save to"), rows.lastError());
        if (Status appended = flush(); !appended)
            return appended;
    }
    return {};
}

Expected<bool> HistoryLog::start(const Connection& connection)
{
    QSqlQuery query(connection.database());
    const auto failed = [&] {
        return connection.failure(QStringLiteral("Cannot upgrade"), query.lastError());
    };
    if (!query.exec(connection.beginWrite()))
        return failed();
    bool committed = false;
    const auto undo = qScopeGuard([&] {
        if (!committed)
            QSqlQuery(connection.database()).exec(QStringLiteral("ROLLBACK"));
    });
    // A server lets clerks save meanwhile, and a save that sees no history yet writes no entry: their saves wait
    // until the records are read and the history is there. A file's write lock holds them off already.
    if (!connection.lockHistory().isEmpty()) {
        QStringList names;
        for (const schema::Table& table : schema::tables())
            names.append(schema::quoted(table.name));
        if (!query.exec(QStringLiteral("LOCK TABLE %1 IN SHARE MODE").arg(names.join(QLatin1String(", ")))))
            return failed();
    }
    Expected<bool> keeps = history::kept(connection);
    if (!keeps)
        return keeps.status();
    if (keeps.value())
        return false;
    if (!query.exec(history::createStatement()))
        return failed();
    if (Status kept = HistoryLog(connection).appendEvery(QStringLiteral("upgrade")); !kept)
        return kept;
    if (!query.exec(QStringLiteral("COMMIT")))
        return failed();
    committed = true;
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
