#include "recordedregister.h"

#include "connection.h"
#include "history.h"
#include "schema.h"
#include "unfinishedfile.h"
#include "writetransaction.h"

#include <QFile>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>

#include <functional>

namespace {

const QString recording = QStringLiteral("Cannot rebuild the register as recorded from the history of");

// The statements that replay one table's entries, each prepared once.
class TableReplay {
public:
    TableReplay(const Connection& connection, const schema::Table& table)
        : m_connection(connection)
        , m_table(table)
    {}

    Status apply(const history::Entry& entry, const QList<history::Change>& changes)
    {
        const QString key = m_connection.rowKey();
        if (entry.action == QLatin1String("delete"))
            return run(m_delete, [&] { return QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(m_table.name, key); },
                       {entry.rowKey});
        if (history::adds(entry.action)) {
            QVariantList row(m_table.columns.size() + 1);
            row[0] = entry.rowKey;
            for (const history::Change& change : changes) {
                if (const int index = m_table.indexOf(change.column); index >= 0)
                    row[index + 1] = change.after;
            }
            return run(
                m_insert, [&] { return insertStatement(); }, row);
        }
        for (const history::Change& change : changes) {
            const int index = m_table.indexOf(change.column);
            if (index < 0)
                continue;
            const auto statement = [&] {
                return QStringLiteral("UPDATE %1 SET %2 = ? WHERE %3 = ?")
                    .arg(m_table.name, schema::quoted(m_table.columns[index].name), key);
            };
            if (Status done = run(m_updates[index], statement, {change.after, entry.rowKey}); !done)
                return done;
        }
        return {};
    }

private:
    QString insertStatement() const
    {
        QStringList names{m_connection.rowKey()};
        for (const schema::Column& column : m_table.columns)
            names.append(schema::quoted(column.name));
        return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
            .arg(m_table.name, names.join(QLatin1String(", ")),
                 QStringList(names.size(), QStringLiteral("?")).join(QLatin1String(", ")));
    }

    Status run(QSqlQuery& query, const std::function<QString()>& statement, const QVariantList& values)
    {
        if (query.lastQuery().isEmpty()) {
            query = QSqlQuery(m_connection.database());
            if (!query.prepare(statement()))
                return m_connection.failure(recording, query.lastError());
        }
        for (qsizetype i = 0; i < values.size(); ++i)
            query.bindValue(int(i), values[i]);
        if (!query.exec())
            return m_connection.failure(recording, query.lastError());
        return {};
    }

    const Connection& m_connection;
    const schema::Table& m_table;
    QSqlQuery m_insert;
    QSqlQuery m_delete;
    QHash<int, QSqlQuery> m_updates;
};

} // namespace

RecordedRegister::~RecordedRegister()
{
    m_connection.reset();
    m_unfinished.reset();
}

Expected<std::unique_ptr<RecordedRegister>> RecordedRegister::rebuild(const Connection& from, const QDateTime& moment,
                                                                      bool withSeconds)
{
    const Expected<bool> kept = history::kept(from);
    if (!kept)
        return kept.status();
    if (!kept.value())
        return Status::failure(QStringLiteral("The register \"%1\" keeps no history of changes, so what it held at "
                                              "a moment cannot be told; upgrade starts one from now on.")
                                   .arg(from.path()));
    std::unique_ptr<RecordedRegister> recorded(new RecordedRegister);
    if (Status made = recorded->create(); !made)
        return made;
    const QDateTime end = moment.addSecs(withSeconds ? 1 : 60);
    const QString until = end.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
    QString first;
    if (Status replayed = recorded->replay(from, until, first); !replayed)
        return replayed;
    if (first.isEmpty() || first >= until)
        return Status::failure(
            QStringLiteral("The history of \"%1\" begins %2: the register as recorded at %3 UTC cannot be told.")
                .arg(from.path(),
                     first.isEmpty() ? QStringLiteral("with no entry yet")
                                     : QStringLiteral("at %1 UTC").arg(QString(first).replace(u'T', u' ').left(19)),
                     moment.toString(momentFormat(withSeconds))));
    return recorded;
}

Status RecordedRegister::create()
{
    if (!m_folder.isValid())
        return Status::failure(
            QStringLiteral("%1: no private temporary folder can be made (%2).").arg(recording, m_folder.errorString()));
    const QString path = m_folder.filePath(QStringLiteral("recorded.sqlite"));
    m_unfinished = std::make_unique<UnfinishedFile>(path);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return Status::failure(
            QStringLiteral("%1: \"%2\" cannot be made (%3).").arg(recording, path, file.errorString()));
    // Personal data: for the owner alone, in a folder for the owner alone.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.close();
    Expected<std::unique_ptr<Connection>> opened = Connection::openEmpty(path);
    if (!opened)
        return opened.status();
    m_connection = std::move(opened.value());
    QSqlQuery query(m_connection->database());
    for (const QString& statement : m_connection->createTables(schema::everyTable())) {
        if (!query.exec(statement))
            return m_connection->failure(recording, query.lastError());
    }
    return {};
}

Status RecordedRegister::replay(const Connection& from, const QString& until, QString& first)
{
    WriteTransaction transaction(*m_connection);
    if (Status begun = transaction.begin(recording); !begun)
        return begun;
    QHash<QString, std::shared_ptr<TableReplay>> tables;
    for (const schema::Table& table : schema::everyTable())
        tables.insert(table.name, std::make_shared<TableReplay>(*m_connection, table));
    Status replayed = history::each(from, [&](const history::Entry& entry) {
        if (first.isEmpty() || entry.at < first)
            first = entry.at;
        if (entry.at >= until)
            return Status();
        const std::shared_ptr<TableReplay> table = tables.value(entry.table);
        if (!table)
            return Status(); // a table no register carries now
        const std::optional<QList<history::Change>> changes = history::decode(entry.changes);
        if (!changes)
            return Status::failure(QStringLiteral("%1 \"%2\": entry %3 holds no list of changes; history --verify "
                                                  "tells whether it was altered.")
                                       .arg(recording, from.path())
                                       .arg(entry.seq));
        return table->apply(entry, *changes);
    });
    if (!replayed)
        return replayed;
    return transaction.commit(recording);
}
