#include "importer.h"

#include "convertedvalue.h"
#include "registerfile.h"
#include "schema.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace importer {

namespace {

// Where each of our columns comes from in the Access table: its index there, or -1.
struct Plan {
    const schema::Table* table = nullptr;
    const jet::Table* source = nullptr;
    QList<qsizetype> from;
};

Plan plan(const schema::Table& table, const QList<jet::Table>& available, TableReport& report)
{
    Plan made{&table, nullptr, {}};
    report.table = table.name;
    for (const jet::Table& candidate : available) {
        if (candidate.name.compare(table.name, Qt::CaseInsensitive) == 0)
            made.source = &candidate;
    }
    if (!made.source)
        return made;
    report.found = made.source->name;
    QList<bool> used(made.source->columns.size(), false);
    for (const schema::Column& column : table.columns) {
        qsizetype at = -1;
        for (qsizetype i = 0; i < made.source->columns.size(); ++i) {
            if (made.source->columns[i].name.compare(column.name, Qt::CaseInsensitive) == 0)
                at = i;
        }
        made.from.append(at);
        (at < 0 ? report.missing : report.matched).append(column.name);
        if (at >= 0)
            used[at] = true;
    }
    for (qsizetype i = 0; i < used.size(); ++i) {
        if (!used[i])
            report.skipped.append(made.source->columns[i].name);
    }
    return made;
}

Status copy(const jet::Source& source, const Plan& plan, QSqlDatabase& database, TableReport& report)
{
    QStringList columns;
    for (const schema::Column& column : plan.table->columns)
        columns.append(schema::quoted(column.name));
    QSqlQuery insert(database);
    const QStringList marks(columns.size(), QStringLiteral("?"));
    if (!insert.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                            .arg(schema::quoted(plan.table->name), columns.join(QLatin1String(", ")),
                                 marks.join(QLatin1String(", ")))))
        return Status::failure(insert.lastError().text());

    const Status read = source.readRows(plan.source->name, [&](const jet::Row& row) -> Status {
        ++report.read;
        for (qsizetype i = 0; i < plan.from.size(); ++i) {
            const qsizetype at = plan.from[i];
            const schema::Column& column = plan.table->columns[i];
            const Converted value = at < 0 || at >= row.size()
                                        ? Converted{}
                                        : convert(row[at], plan.source->columns[at].type, column.storage);
            if (!value.note.isEmpty())
                report.notes.append(QStringLiteral("row %1, %2: %3").arg(report.read).arg(column.name, value.note));
            insert.bindValue(int(i), value.stored);
        }
        if (!insert.exec())
            return Status::failure(QStringLiteral("row %1 of %2 cannot be written: %3")
                                       .arg(report.read)
                                       .arg(plan.source->name, insert.lastError().text()));
        ++report.written;
        return {};
    });
    if (read && report.read != plan.source->rows)
        return Status::failure(QStringLiteral("only %1 of the %2 rows of %3 could be read")
                                   .arg(report.read)
                                   .arg(plan.source->rows)
                                   .arg(plan.source->name));
    return read;
}

} // namespace

bool Report::complete() const
{
    if (!kept)
        return false;
    for (const TableReport& table : tables) {
        if (table.found.isEmpty() || table.written != table.read)
            return false;
    }
    return true;
}

Report import(const jet::Source& source, const QString& registerPath, Status& status, const QString& sourcePath)
{
    Report report;
    const QList<jet::Table> available = source.tables();
    QList<Plan> plans;
    QStringList absent;
    for (const schema::Table& table : schema::tables()) {
        report.tables.append(TableReport{});
        plans.append(plan(table, available, report.tables.last()));
        if (!plans.last().source)
            absent.append(table.name);
    }
    status = registerfile::create(
        registerPath,
        [&](QSqlDatabase& database) -> Status {
            if (!absent.isEmpty())
                return Status::failure(
                    QStringLiteral("the Access file has no table %1, so nothing was imported").arg(absent.join(", ")));
            for (qsizetype i = 0; i < plans.size(); ++i) {
                if (Status copied = copy(source, plans[i], database, report.tables[i]); !copied)
                    return copied;
            }
            return {};
        },
        QStringLiteral("import"), sourcePath);
    report.kept = status.ok();
    if (!report.kept) {
        for (TableReport& table : report.tables)
            table.written = 0;
    }
    return report;
}

QString summary(const TableReport& table)
{
    const auto list = [](const QStringList& names) {
        return names.isEmpty() ? QStringLiteral("none") : names.join(QLatin1String(", "));
    };
    if (table.found.isEmpty())
        return QStringLiteral("%1: missing from the Access file").arg(table.table);
    return QStringLiteral("%1: %2 rows read, %3 written; %4 columns matched; missing: %5; skipped: %6; "
                          "%7 values reported")
        .arg(table.table)
        .arg(table.read)
        .arg(table.written)
        .arg(table.matched.size())
        .arg(list(table.missing), list(table.skipped))
        .arg(table.notes.size());
}

} // namespace importer
