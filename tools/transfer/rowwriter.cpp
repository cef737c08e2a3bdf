#include "rowwriter.h"

#include "connection.h"
#include "historylog.h"
#include "schema.h"

#include <QSqlError>
#include <QStringList>

RowWriter::RowWriter(const Connection& connection, QString doing)
    : m_connection(connection)
    , m_doing(std::move(doing))
{}

QSqlQuery& RowWriter::query()
{
    return m_queries.emplace_back(m_connection.database());
}

Status RowWriter::failed(const QSqlQuery& query) const
{
    return m_connection.failure(m_doing, query.lastError());
}

Status RowWriter::add(const schema::Table& table, const QVariantList& values)
{
    QStringList columns;
    QList<history::Change> changes;
    for (int i = 0; i < values.size(); ++i) {
        columns.append(schema::quoted(table.columns[i].name));
        if (!values[i].isNull())
            changes.append({table.columns[i].name, QVariant(), values[i]});
    }
    QSqlQuery& insert = query();
    if (!insert.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                            .arg(schema::quoted(table.name), columns.join(QLatin1String(", ")),
                                 QStringList(values.size(), QStringLiteral("?")).join(QLatin1String(", ")))
                        + m_connection.returningKey()))
        return failed(insert);
    for (int i = 0; i < values.size(); ++i)
        insert.bindValue(i, values[i]);
    if (!insert.exec())
        return failed(insert);
    m_entries.append(
        HistoryLog::entry(table, m_connection.insertedKey(insert), values.value(0), QStringLiteral("add"), changes));
    return {};
}

Status RowWriter::set(const schema::Table& table, qint64 rowKey, const QVariant& number, const QString& column,
                      const QVariant& before, const QVariant& after)
{
    QSqlQuery& update = query();
    if (!update.prepare(QStringLiteral("UPDATE %1 SET %2 = ? WHERE %3 = ? AND %4")
                            .arg(schema::quoted(table.name), schema::quoted(column), m_connection.rowKey(),
                                 m_connection.holdsExactly(schema::quoted(column)))))
        return failed(update);
    update.bindValue(0, after);
    update.bindValue(1, rowKey);
    update.bindValue(2, before);
    if (!update.exec())
        return failed(update);
    if (update.numRowsAffected() != 1)
        return Status::failure(
            QStringLiteral("Record %1 of %2 changed while it was read.").arg(rowKey).arg(table.name));
    m_entries.append(HistoryLog::entry(table, rowKey, number, QStringLiteral("modify"), {{column, before, after}}));
    return {};
}

Status RowWriter::commit()
{
    if (Status kept = HistoryLog(m_connection).append(m_entries); !kept)
        return kept;
    return m_transaction.commit(m_doing);
}
