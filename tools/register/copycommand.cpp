#include "addedtables.h"
#include "clerkrights.h"
#include "commandline.h"
#include "commands.h"
#include "connection.h"
#include "readtransaction.h"
#include "registerfile.h"
#include "registerserver.h"
#include "schema.h"
#include "terminaltext.h"
#include "values.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

#include <optional>

namespace commands {

namespace {

struct Copied {
    QString table;
    qint64 rows = 0;
};

// A value as a message shows it: a number as written, a text short and quoted.
QString shown(const QVariant& value)
{
    constexpr qsizetype longest = 40;
    const QString text = values::shown(value);
    if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::LongLong)
        return text;
    return terminaltext::quoted(text.size() > longest ? text.left(longest) + QChar(0x2026) : text);
}

// What a server's column cannot take as it is, of a value a file holds; empty when it takes it. A file keeps
// whatever it was given, a server column only its own type.
QString unfit(const QVariant& value, const schema::Column& column)
{
    const bool whole = column.storage == schema::Storage::Integer;
    switch (value.typeId()) {
    case QMetaType::UnknownType:
        return {}; // no value
    case QMetaType::LongLong:
        return whole ? QString() : QStringLiteral("the number ") + shown(value);
    case QMetaType::Double:
        return QStringLiteral("the number ") + shown(value);
    case QMetaType::QString:
        if (whole)
            return QStringLiteral("the text ") + shown(value);
        return value.toString().contains(QChar(0)) ? QStringLiteral("a text with a NUL character") : QString();
    case QMetaType::QByteArray:
        return shown(value) + QStringLiteral(" kept as bytes");
    default:
        return QStringLiteral("a value of type %1").arg(QLatin1String(value.typeName()));
    }
}

// Copies one table's rows in record order. A failure is set in stopped, worded for the whole copy.
std::optional<qint64> copyTable(const Connection& source, const schema::Table& table, QSqlDatabase& target,
                                bool toServer, const QString& doing, Status& stopped)
{
    QStringList columns;
    QStringList marks;
    for (const schema::Column& column : table.columns) {
        columns.append(schema::quoted(column.name));
        marks.append(QStringLiteral("?"));
    }
    const QString names = columns.join(QLatin1String(", "));
    QSqlQuery read(source.database());
    read.setForwardOnly(true);
    if (!read.exec(
            QStringLiteral("SELECT %1 FROM %2 ORDER BY %3").arg(names, schema::quoted(table.name), source.rowKey()))) {
        stopped = source.failure(QStringLiteral("Cannot copy"), read.lastError());
        return std::nullopt;
    }
    QSqlQuery write(target);
    if (!write.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                           .arg(schema::quoted(table.name), names, marks.join(QLatin1String(", "))))) {
        stopped = Status::failure(QStringLiteral("%1: %2.").arg(doing, write.lastError().text()));
        return std::nullopt;
    }
    qint64 rows = 0;
    while (read.next()) {
        ++rows;
        const auto record = [&] {
            return QStringLiteral("the table %1, record %2 (%3 %4)")
                .arg(table.name)
                .arg(rows)
                .arg(table.numberColumn().name, read.isNull(0) ? QStringLiteral("empty") : shown(read.value(0)));
        };
        for (int i = 0; i < table.columns.size(); ++i) {
            const QVariant value = values::read(read, i);
            if (const QString what = toServer ? unfit(value, table.columns[i]) : QString(); !what.isEmpty()) {
                stopped = Status::failure(QStringLiteral("%1: %2, column %3 holds %4, which the server's %5 column "
                                                         "cannot take as it is. Nothing was copied.")
                                              .arg(doing, record(), table.columns[i].name, what,
                                                   table.columns[i].storage == schema::Storage::Integer
                                                       ? QStringLiteral("whole-number")
                                                       : QStringLiteral("text")));
                return std::nullopt;
            }
            write.bindValue(i, value);
        }
        if (!write.exec()) {
            const QSqlError error = write.lastError();
            stopped = Status::failure(
                QStringLiteral("%1: %2 cannot be written (%3). Nothing was copied.")
                    .arg(doing, record(),
                         (error.databaseText().isEmpty() ? error.text() : error.databaseText()).trimmed()));
            return std::nullopt;
        }
    }
    if (read.lastError().isValid()) {
        stopped = source.failure(QStringLiteral("Cannot copy"), read.lastError());
        return std::nullopt;
    }
    return rows;
}

// The register at from into a new one at to, whole or not at all: the source is read at one moment, and the
// target is made under a hidden name (a file) or in one transaction (a server).
Expected<QList<Copied>> copyRegister(const QString& from, const QString& to)
{
    Expected<std::unique_ptr<Connection>> opened = Connection::open(from);
    if (!opened)
        return opened.status();
    const Connection& source = *opened.value();
    const QString doing =
        QStringLiteral("Cannot copy the register \"%1\" to \"%2\"").arg(source.path(), Connection::pathOf(to));
    ReadTransaction transaction(source);
    if (Status begun = transaction.begin(QStringLiteral("Cannot copy")); !begun)
        return begun;
    QList<schema::Table> held;
    for (const schema::Table& table : schema::tables()) {
        if (Status checked = source.checkTable(table); !checked)
            return checked;
        held.append(table);
    }
    // The target has every table; an added one the source lacks stays empty there.
    const Expected<QStringList> added = addedtables::held(source);
    if (!added)
        return added.status();
    for (const QString& name : added.value())
        held.append(*schema::table(name));
    const bool toServer = Connection::isServer(to);
    QList<Copied> copied;
    Status stopped;
    const auto fill = [&](QSqlDatabase& target) -> Status {
        for (const schema::Table& table : std::as_const(held)) {
            const std::optional<qint64> rows = copyTable(source, table, target, toServer, doing, stopped);
            if (!rows)
                return stopped;
            copied.append({table.name, *rows});
        }
        return {};
    };
    // The target's history starts afresh; the source's stays with the source.
    const QString action = QStringLiteral("copy");
    const Status created =
        toServer ? registerserver::create(to, fill, action) : registerfile::create(to, fill, action, from);
    if (!stopped)
        return stopped;
    if (!created)
        return created;
    return copied;
}

} // namespace

int copy(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const QString roleOption = QStringLiteral("--role");
    const commandline::Parsed parsed =
        commandline::parse(arguments, {}, {roleOption}, {QStringLiteral("FROM"), QStringLiteral("TO")},
                           QStringLiteral("copy takes two registers, FROM and TO"));
    if (!parsed.wrong.isEmpty())
        return commandline::wrongUsage(err, parsed.wrong);
    const bool onServer = Connection::isServer(parsed.rest[1]);
    const QString role = parsed.options.value(roleOption, clerkrights::defaultRole);
    if (parsed.options.contains(roleOption) && !onServer)
        return commandline::wrongUsage(err, QStringLiteral("--role is for a register on a server"));
    if (role.isEmpty())
        return commandline::wrongUsage(err, QStringLiteral("no role given: the value of --role is empty"));
    const Expected<QList<Copied>> copied = copyRegister(parsed.rest[0], parsed.rest[1]);
    if (!copied)
        return commandline::failed(err, copied.status().message());
    for (const Copied& table : copied.value())
        out << QStringLiteral("%1: %2 rows copied\n").arg(terminaltext::visible(table.table)).arg(table.rows);
    out << QStringLiteral("Created the register %1 from %2.\n")
               .arg(terminaltext::visible(Connection::pathOf(parsed.rest[1])),
                    terminaltext::visible(Connection::pathOf(parsed.rest[0])));
    return onServer ? clerkrights::print(parsed.rest[1], role, clerkrights::Scope::Register, out, err) : 0;
}

} // namespace commands
