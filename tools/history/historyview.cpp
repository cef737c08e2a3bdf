#include "historyview.h"

#include "csvexport.h"
#include "schema.h"
#include "terminaltext.h"
#include "values.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QTextStream>

namespace historyview {

namespace {

const QString unreadable = QStringLiteral("(unreadable)");

QString shown(const QVariant& value)
{
    return value.isNull() ? QStringLiteral("(none)") : terminaltext::quoted(values::shown(value));
}

// The column's caption as its window labels it, or its name when the history names a column we do not know.
QString label(const QString& tableName, const QString& columnName)
{
    const schema::Table* table = schema::table(tableName);
    const schema::Column* column = table ? table->column(columnName) : nullptr;
    if (!column)
        return terminaltext::visible(columnName);
    QString caption = column->caption.trimmed();
    if (caption.endsWith(QLatin1Char(':')))
        caption.chop(1);
    return caption;
}

bool numberColumn(const QString& tableName, const QString& columnName)
{
    const schema::Table* table = schema::table(tableName);
    const schema::Column* column = table ? table->column(columnName) : nullptr;
    return column && column->storage == schema::Storage::Integer;
}

// Whether the record numbered record is the one asked for: letter case and blanks aside, and 7 as 007 where the
// number is a whole number.
bool sameNumber(const QString& tableName, const QString& record, const QString& asked)
{
    if (record.trimmed().compare(asked.trimmed(), Qt::CaseInsensitive) == 0)
        return true;
    const schema::Table* table = schema::table(tableName);
    if (!table || !numberColumn(tableName, table->numberColumn().name))
        return false;
    bool whole = false;
    bool wholeAsked = false;
    const qint64 number = record.trimmed().toLongLong(&whole);
    return whole && number == asked.trimmed().toLongLong(&wholeAsked) && wholeAsked;
}

QString when(const QString& at)
{
    const QDateTime time = QDateTime::fromString(at, Qt::ISODateWithMs);
    return time.isValid() ? time.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : terminaltext::visible(at);
}

} // namespace

std::optional<QDateTime> sinceTime(const QString& text)
{
    static const QRegularExpression day(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    static const QRegularExpression time(
        QStringLiteral("^\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}(:\\d{2}(\\.\\d{1,3})?)?(Z|[+-]\\d{2}:\\d{2})?$"));
    if (day.match(text).hasMatch()) {
        const QDate date = QDate::fromString(text, Qt::ISODate);
        if (!date.isValid())
            return std::nullopt;
        return QDateTime(date, QTime(0, 0), Qt::UTC);
    }
    if (!time.match(text).hasMatch())
        return std::nullopt;
    QDateTime at = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!at.isValid())
        return std::nullopt;
    if (at.timeSpec() == Qt::LocalTime)
        at.setTimeSpec(Qt::UTC);
    return at;
}

QList<history::Entry> selected(const QList<history::Entry>& entries, const Filter& filter)
{
    // Each entry's record life: its table, row key, and the deletes of that row key before it.
    QHash<QString, int> deletes;
    QStringList lives;
    QSet<QString> followed;
    for (const history::Entry& entry : entries) {
        const QString row = entry.table + QLatin1Char('/') + QString::number(entry.rowKey);
        const QString life = row + QLatin1Char('/') + QString::number(deletes.value(row));
        lives.append(life);
        if (entry.action == QLatin1String("delete"))
            ++deletes[row];
        if (!filter.record.isEmpty() && sameNumber(entry.table, entry.record, filter.record))
            followed.insert(life);
    }
    QList<history::Entry> chosen;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const history::Entry& entry = entries[i];
        if (filter.table && entry.table != filter.table->name)
            continue;
        if (!filter.record.isEmpty() && !followed.contains(lives[i]))
            continue;
        // A time that cannot be read is shown rather than left out; --verify tells what happened to it.
        const QDateTime at = QDateTime::fromString(entry.at, Qt::ISODateWithMs);
        if (filter.since && at.isValid() && at < *filter.since)
            continue;
        chosen.append(entry);
    }
    return chosen;
}

void printTable(const QList<history::Entry>& entries, QTextStream& out)
{
    QList<QStringList> rows{{QStringLiteral("#"), QStringLiteral("When (UTC)"), QStringLiteral("Clerk"),
                             QStringLiteral("Table"), QStringLiteral("Record"), QStringLiteral("Action")}};
    for (const history::Entry& entry : entries) {
        const QString clerk =
            entry.role.isEmpty() ? entry.clerk : QStringLiteral("%1 (%2)").arg(entry.clerk, entry.role);
        rows.append({QString::number(entry.seq), when(entry.at), terminaltext::visible(clerk),
                     terminaltext::visible(entry.table),
                     entry.record.isEmpty() ? QStringLiteral("(none)") : terminaltext::visible(entry.record),
                     terminaltext::visible(entry.action)});
    }
    QList<qsizetype> widths(rows.first().size(), 0);
    for (const QStringList& row : std::as_const(rows)) {
        for (qsizetype i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    }
    for (qsizetype r = 0; r < rows.size(); ++r) {
        QStringList cells;
        for (qsizetype i = 0; i < rows[r].size(); ++i)
            cells.append(i == 0 ? rows[r][i].rightJustified(widths[i]) : rows[r][i].leftJustified(widths[i]));
        QString text = cells.join(QLatin1String("  "));
        while (text.endsWith(QLatin1Char(' ')))
            text.chop(1);
        out << text << "\n";
        if (r == 0)
            continue;
        const history::Entry& entry = entries[r - 1];
        const QString indent(widths[0] + 4, QLatin1Char(' '));
        const std::optional<QList<history::Change>> changes = history::decode(entry.changes);
        if (!changes) {
            out << indent << unreadable << " " << terminaltext::quoted(entry.changes) << "\n";
            continue;
        }
        for (const history::Change& change : *changes)
            out << indent << label(entry.table, change.column) << ": " << shown(change.before) << " → "
                << shown(change.after) << "\n";
    }
}

QString lastChange(const history::Entry& entry)
{
    const QString clerk =
        entry.role.isEmpty()
            ? terminaltext::visible(entry.clerk)
            : QStringLiteral("%1 as %2").arg(terminaltext::visible(entry.clerk), terminaltext::visible(entry.role));
    return QStringLiteral("%1 UTC by %2 (change %3: %4, %5 record %6)")
        .arg(when(entry.at), clerk)
        .arg(entry.seq)
        .arg(terminaltext::visible(entry.action), terminaltext::visible(entry.table),
             entry.record.isEmpty() ? QStringLiteral("(none)") : terminaltext::visible(entry.record));
}

void printCsv(const QList<history::Entry>& entries, QTextStream& out)
{
    const auto line = [&](const QVariantList& fields) {
        out << csvexport::csvLine(fields);
    };
    line({QStringLiteral("seq"), QStringLiteral("changed_at"), QStringLiteral("clerk"), QStringLiteral("role"),
          QStringLiteral("table"), QStringLiteral("row_key"), QStringLiteral("record"), QStringLiteral("action"),
          QStringLiteral("column"), QStringLiteral("old"), QStringLiteral("new")});
    for (const history::Entry& entry : entries) {
        const schema::Table* table = schema::table(entry.table);
        const bool numbered = table && numberColumn(entry.table, table->numberColumn().name);
        const QVariantList head{entry.seq,
                                csvexport::defused(entry.at, false),
                                csvexport::defused(entry.clerk, false),
                                entry.role.isEmpty() ? QVariant() : csvexport::defused(entry.role, false),
                                csvexport::defused(entry.table, false),
                                entry.rowKey,
                                csvexport::defused(entry.record, numbered),
                                csvexport::defused(entry.action, false)};
        const std::optional<QList<history::Change>> changes = history::decode(entry.changes);
        if (!changes) {
            line(head + QVariantList{unreadable, QVariant(), csvexport::defused(entry.changes, false)});
            continue;
        }
        if (changes->isEmpty())
            line(head + QVariantList{QVariant(), QVariant(), QVariant()});
        for (const history::Change& change : *changes) {
            const bool number = numberColumn(entry.table, change.column);
            line(head
                 + QVariantList{csvexport::defused(change.column, false), csvexport::defused(change.before, number),
                                csvexport::defused(change.after, number)});
        }
    }
}

} // namespace historyview
