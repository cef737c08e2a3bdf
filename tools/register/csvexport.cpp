#include "csvexport.h"

#include "connection.h"
#include "readtransaction.h"
#include "registerfile.h"
#include "registerpath.h"
#include "schema.h"
#include "values.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <cmath>
#include <functional>
#include <memory>

namespace csvexport {

namespace {

const QLatin1String lineEnd("\r\n");

Status cannotExport(const QString& path, const QString& reason)
{
    return Status::failure(QStringLiteral("Cannot export the register \"%1\": %2.").arg(path, reason));
}

// The connection words its refusals as opening; here they are about exporting.
Status asExport(const Status& failure)
{
    const QLatin1String opening("Cannot open the register ");
    QString message = failure.message();
    if (message.startsWith(opening))
        message.replace(0, opening.size(), QStringLiteral("Cannot export the register "));
    return Status::failure(message);
}

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

QString targetPath(const QString& directory, const schema::Table& table)
{
    return QDir(directory).filePath(table.name + QStringLiteral(".csv"));
}

// The header row and every row of the table in record order, into file, which is to be put at target.
Status writeTable(const Connection& connection, const schema::Table& table, QFile& file, const QString& target,
                  bool raw)
{
    QStringList columns;
    QVariantList header;
    for (const schema::Column& column : table.columns) {
        columns.append(schema::quoted(column.name));
        header.append(column.name);
    }
    const auto written = [&](const QString& text) {
        const QByteArray bytes = text.toUtf8();
        return file.write(bytes) == bytes.size();
    };
    const auto writeFailed = [&] {
        return cannotExport(connection.path(),
                            QStringLiteral("\"%1\" cannot be written (%2)").arg(target, file.errorString()));
    };
    if (!written(csvLine(header)))
        return writeFailed();

    QSqlQuery query(connection.database());
    query.setForwardOnly(true);
    const QString select = QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                               .arg(columns.join(QLatin1String(", ")), schema::quoted(table.name), connection.rowKey());
    if (!query.exec(select))
        return connection.failure(QStringLiteral("Cannot export"), query.lastError());
    QVariantList row;
    while (query.next()) {
        row.clear();
        for (int i = 0; i < table.columns.size(); ++i) {
            const QVariant value = query.isNull(i) ? QVariant() : query.value(i);
            row.append(raw ? value : defused(value, table.columns[i].storage == schema::Storage::Integer));
        }
        if (!written(csvLine(row)))
            return writeFailed();
    }
    if (query.lastError().isValid())
        return connection.failure(QStringLiteral("Cannot export"), query.lastError());
    return {};
}

// The targets already there, each quoted; empty when there are none.
QStringList existingTargets(const QString& directory)
{
    QStringList existing;
    for (const schema::Table& table : schema::tables()) {
        const QString path = targetPath(directory, table);
        if (QFileInfo::exists(path))
            existing.append(QLatin1Char('"') + path + QLatin1Char('"'));
    }
    return existing;
}

Status refuseOverwriting(const QString& registerPath, const QStringList& existing)
{
    const bool one = existing.size() == 1;
    return cannotExport(registerPath, QStringLiteral("%1 already %2; --force overwrites %3")
                                          .arg(existing.join(QLatin1String(", ")),
                                               one ? QStringLiteral("exists") : QStringLiteral("exist"),
                                               one ? QStringLiteral("it") : QStringLiteral("them")));
}

} // namespace

QString csvField(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return {};
    QString text = values::shown(value);
    const bool quote = text.isEmpty() || text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"'))
                       || text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n')) || isBlank(text.front())
                       || isBlank(text.back());
    if (!quote)
        return text;
    text.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString csvLine(const QVariantList& values)
{
    QStringList fields;
    fields.reserve(values.size());
    for (const QVariant& value : values)
        fields.append(csvField(value));
    return fields.join(QLatin1Char(',')) + lineEnd;
}

QVariant defused(const QVariant& value, bool numberColumn)
{
    const bool bytes = value.typeId() == QMetaType::QByteArray;
    if (!bytes && value.typeId() != QMetaType::QString)
        return value;
    const QString text = values::shown(value);
    if (text.isEmpty() || !QStringLiteral("=+-@\t\r").contains(text.front()))
        return value;
    bool number = false;
    const double read = numberColumn ? text.toDouble(&number) : 0;
    if (number && std::isfinite(read))
        return value;
    return QVariant(QLatin1Char('\'') + text);
}

Status exportRegister(const QString& registerPath, const QString& directory, bool force, bool raw)
{
    Expected<std::unique_ptr<Connection>> opened = Connection::open(registerPath);
    if (!opened)
        return asExport(opened.status());
    const Connection& connection = *opened.value();
    const QString path = connection.path();

    for (const schema::Table& table : schema::tables()) {
        if (Status checked = connection.checkTable(table); !checked)
            return asExport(checked);
    }
    if (Status made = registerpath::makeFolder(directory); !made)
        return cannotExport(path, made.message());
    const auto refused = [&](const QString& target, const QString& reason) {
        return cannotExport(path, QStringLiteral("\"%1\": %2").arg(target, reason));
    };
    for (const schema::Table& table : schema::tables()) {
        if (Status apart = registerfile::refuseSource(targetPath(directory, table), registerPath, refused); !apart)
            return apart;
    }
    if (const QStringList existing = existingTargets(directory); !existing.isEmpty() && !force)
        return refuseOverwriting(path, existing);

    // One read transaction, so that the three files show the register at one moment.
    ReadTransaction transaction(connection);
    if (Status begun = transaction.begin(QStringLiteral("Cannot export")); !begun)
        return begun;
    // Each file is built under a hidden name beside its target inside the one before: all three are written in
    // full before the last is put in place, then the others in turn.
    const QList<schema::Table>& tables = schema::tables();
    const std::function<Status(qsizetype)> buildFrom = [&](qsizetype at) -> Status {
        if (at == tables.size()) {
            // A file made while the rows were read is not overwritten either.
            if (const QStringList existing = existingTargets(directory); !existing.isEmpty() && !force)
                return refuseOverwriting(path, existing);
            return {};
        }
        const QString target = targetPath(directory, tables[at]);
        const auto write = [&](const QString& building) {
            QFile file(building);
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
                return cannotExport(path,
                                    QStringLiteral("\"%1\" cannot be written (%2)").arg(target, file.errorString()));
            if (Status written = writeTable(connection, tables[at], file, target, raw); !written)
                return written;
            if (!file.flush())
                return cannotExport(path,
                                    QStringLiteral("\"%1\" cannot be written (%2)").arg(target, file.errorString()));
            file.close();
            return buildFrom(at + 1);
        };
        return registerfile::build(target, registerPath, force, write, refused);
    };
    return buildFrom(0);
}

} // namespace csvexport
