#include "history.h"

#include "connection.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlError>
#include <QSqlQuery>

namespace history {

namespace {

QJsonValue toJson(const QVariant& value)
{
    if (value.isNull())
        return QJsonValue::Null;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return QJsonValue(value.toLongLong());
    case QMetaType::Double:
        return QJsonValue(value.toDouble());
    default:
        return QJsonValue(value.toString());
    }
}

QVariant fromJson(const QJsonValue& value)
{
    if (value.isNull())
        return {};
    if (value.isDouble()) {
        const QVariant number = value.toVariant(); // a whole number stays whole
        return number.typeId() == QMetaType::Double ? number : QVariant(number.toLongLong());
    }
    return value.toString();
}

QString compact(const QJsonArray& array)
{
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

} // namespace

bool adds(const QString& action)
{
    return action != QLatin1String("modify") && action != QLatin1String("delete");
}

QString createStatement()
{
    return QStringLiteral("CREATE TABLE %1 (seq bigint NOT NULL PRIMARY KEY, changed_at text NOT NULL, clerk text "
                          "NOT NULL, db_role text NOT NULL, table_name text NOT NULL, row_key bigint NOT NULL, "
                          "record text NOT NULL, action text NOT NULL, changes text NOT NULL, previous_hash text "
                          "NOT NULL, hash text NOT NULL)")
        .arg(tableName);
}

const QStringList& columns()
{
    static const QStringList all{
        QStringLiteral("seq"),           QStringLiteral("changed_at"), QStringLiteral("clerk"),
        QStringLiteral("db_role"),       QStringLiteral("table_name"), QStringLiteral("row_key"),
        QStringLiteral("record"),        QStringLiteral("action"),     QStringLiteral("changes"),
        QStringLiteral("previous_hash"), QStringLiteral("hash")};
    return all;
}

QString encode(const QList<Change>& changes)
{
    QJsonArray all;
    for (const Change& change : changes)
        all.append(QJsonArray{change.column, toJson(change.before), toJson(change.after)});
    return compact(all);
}

std::optional<QList<Change>> decode(const QString& changes)
{
    const QJsonDocument document = QJsonDocument::fromJson(changes.toUtf8());
    if (!document.isArray())
        return std::nullopt;
    QList<Change> all;
    for (const QJsonValue& item : document.array()) {
        const QJsonArray change = item.toArray();
        if (change.size() != 3 || !change[0].isString())
            return std::nullopt;
        all.append({change[0].toString(), fromJson(change[1]), fromJson(change[2])});
    }
    return all;
}

QString seal(const Entry& entry)
{
    // Everything but the number, which only orders: renumbering without a gap changes nothing told.
    const QJsonArray content{entry.at,     entry.clerk,  entry.role,    entry.table,   QString::number(entry.rowKey),
                             entry.record, entry.action, entry.changes, entry.previous};
    return QString::fromLatin1(QCryptographicHash::hash(compact(content).toUtf8(), QCryptographicHash::Sha256).toHex());
}

Expected<bool> kept(const Connection& connection)
{
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    if (!query.prepare(connection.hasTable()))
        return connection.failure(QStringLiteral("Cannot read"), query.lastError());
    query.bindValue(0, tableName);
    if (!query.exec() || !query.next())
        return connection.failure(QStringLiteral("Cannot read"), query.lastError());
    return query.value(0).toBool();
}

namespace {

// The entries in the order given, as stored, each handed to take as it is read.
Status select(const Connection& connection, const QString& order, const std::function<Status(const Entry&)>& take)
{
    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    if (!query.exec(
            QStringLiteral("SELECT %1 FROM %2 ORDER BY %3").arg(columns().join(QLatin1String(", ")), tableName, order)))
        return connection.failure(QStringLiteral("Cannot read the history of"), query.lastError());
    Entry entry;
    while (query.next()) {
        bool whole = false;
        entry.seq = query.value(0).toString().toLongLong(&whole);
        if (!whole)
            entry.seq = -1; // a number put in by hand
        entry.at = query.value(1).toString();
        entry.clerk = query.value(2).toString();
        entry.role = query.value(3).toString();
        entry.table = query.value(4).toString();
        entry.rowKey = query.value(5).toLongLong();
        entry.record = query.value(6).toString();
        entry.action = query.value(7).toString();
        entry.changes = query.value(8).toString();
        entry.previous = query.value(9).toString();
        entry.hash = query.value(10).toString();
        if (Status taken = take(entry); !taken)
            return taken;
    }
    if (query.lastError().isValid())
        return connection.failure(QStringLiteral("Cannot read the history of"), query.lastError());
    return {};
}

Expected<QList<Entry>> select(const Connection& connection, const QString& order)
{
    QList<Entry> entries;
    if (Status read = select(connection, order,
                             [&](const Entry& entry) {
                                 entries.append(entry);
                                 return Status();
                             });
        !read)
        return read;
    return entries;
}

} // namespace

Expected<QList<Entry>> read(const Connection& connection)
{
    return select(connection, QStringLiteral("seq"));
}

Status each(const Connection& connection, const std::function<Status(const Entry&)>& take)
{
    return select(connection, QStringLiteral("seq"), take);
}

Expected<std::optional<Entry>> newest(const Connection& connection)
{
    const Expected<QList<Entry>> last = select(connection, QStringLiteral("seq DESC LIMIT 1"));
    if (!last)
        return last.status();
    return last->isEmpty() ? std::optional<Entry>() : std::optional<Entry>(last->first());
}

Expected<bool> begins(const Connection& earlier, const Connection& later)
{
    const QString select = QStringLiteral("SELECT seq, hash FROM %1 ORDER BY seq").arg(tableName);
    QSqlQuery first(earlier.database());
    QSqlQuery second(later.database());
    first.setForwardOnly(true);
    second.setForwardOnly(true);
    if (!first.exec(select))
        return earlier.failure(QStringLiteral("Cannot read the history of"), first.lastError());
    if (!second.exec(select))
        return later.failure(QStringLiteral("Cannot read the history of"), second.lastError());
    while (first.next()) {
        if (!second.next() || first.value(0).toLongLong() != second.value(0).toLongLong()
            || first.value(1).toString() != second.value(1).toString())
            return false;
    }
    if (first.lastError().isValid())
        return earlier.failure(QStringLiteral("Cannot read the history of"), first.lastError());
    if (second.lastError().isValid())
        return later.failure(QStringLiteral("Cannot read the history of"), second.lastError());
    return true;
}

Verdict verify(const QList<Entry>& entries)
{
    Verdict verdict;
    QString previous;
    qint64 expected = 1;
    const auto broken = [&](qint64 seq, const QString& problem) {
        verdict.intact = false;
        verdict.firstBad = seq;
        verdict.problem = problem;
        return verdict;
    };
    for (const Entry& entry : entries) {
        if (entry.seq != expected) {
            if (entry.seq > expected)
                return broken(expected, QStringLiteral("change %1 is missing: it was removed").arg(expected));
            return broken(expected, QStringLiteral("change %1 is not numbered in order: the history was rewritten "
                                                   "by hand there")
                                        .arg(expected));
        }
        if (seal(entry) != entry.hash)
            return broken(entry.seq, QStringLiteral("change %1 does not match its seal: it was altered, or written in "
                                                    "by hand")
                                         .arg(entry.seq));
        if (entry.previous != previous && entry.seq == 1)
            return broken(1, QStringLiteral("change 1 does not begin the history: the changes before it were removed"));
        if (entry.previous != previous)
            return broken(entry.seq, QStringLiteral("change %1 does not follow change %2: a change between them was "
                                                    "removed, or one was inserted or moved")
                                         .arg(entry.seq)
                                         .arg(entry.seq - 1));
        previous = entry.hash;
        ++expected;
    }
    verdict.entries = entries.size();
    verdict.lastHash = previous;
    return verdict;
}

} // namespace history
