#include "addedtables.h"
#include "commandline.h"
#include "commands.h"
#include "companydetails.h"
#include "connection.h"
#include "historylog.h"
#include "readtransaction.h"
#include "schema.h"
#include "terminaltext.h"
#include "writetransaction.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

namespace commands {

namespace {

struct Setting {
    QString key;
    QString value; // empty: the detail is unset
};

// Sets the details in one transaction, each change entered in the history: the number of details changed.
Expected<int> setDetails(const Connection& connection, const QList<Setting>& settings)
{
    const QString doing = QStringLiteral("Cannot set the company's details in");
    WriteTransaction transaction(connection);
    if (Status begun = transaction.begin(doing); !begun)
        return begun;
    if (Status held = addedtables::requireHeld(connection, schema::companyTable, doing); !held)
        return held;
    const schema::Table& table = *schema::table(schema::companyTable);
    const QString name = schema::quoted(table.name);
    const QString key = connection.rowKey();
    QSqlQuery find(connection.database()), change(connection.database());
    find.setForwardOnly(true);
    const auto failed = [&](const QSqlQuery& query) {
        return connection.failure(doing, query.lastError());
    };
    QList<history::Entry> entries;
    const QString detail = QStringLiteral("detail"), value = QStringLiteral("value");
    for (const Setting& setting : settings) {
        if (!find.prepare(QStringLiteral("SELECT %1, value FROM %2 WHERE detail = ? ORDER BY %1").arg(key, name)))
            return failed(find);
        find.bindValue(0, setting.key);
        if (!find.exec())
            return failed(find);
        QList<std::pair<qint64, QString>> rows;
        while (find.next())
            rows.append({find.value(0).toLongLong(), find.value(1).toString()});
        find.finish();
        // Each row of the detail goes when it is unset; the last one stays when it is set, any other goes.
        const qsizetype kept = setting.value.isEmpty() ? -1 : rows.size() - 1;
        for (qsizetype i = 0; i < rows.size(); ++i) {
            if (i == kept)
                continue;
            change.prepare(QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(name, key));
            change.bindValue(0, rows[i].first);
            if (!change.exec())
                return failed(change);
            entries.append(HistoryLog::entry(table, rows[i].first, setting.key, QStringLiteral("delete"),
                                             {{detail, setting.key, {}}, {value, rows[i].second, {}}}));
        }
        if (kept >= 0 && rows[kept].second != setting.value) {
            change.prepare(QStringLiteral("UPDATE %1 SET value = ? WHERE %2 = ?").arg(name, key));
            change.bindValue(0, setting.value);
            change.bindValue(1, rows[kept].first);
            if (!change.exec())
                return failed(change);
            entries.append(HistoryLog::entry(table, rows[kept].first, setting.key, QStringLiteral("modify"),
                                             {{value, rows[kept].second, setting.value}}));
        } else if (kept < 0 && !setting.value.isEmpty()) {
            change.prepare(
                QStringLiteral("INSERT INTO %1 (detail, value) VALUES (?, ?)%2").arg(name, connection.returningKey()));
            change.bindValue(0, setting.key);
            change.bindValue(1, setting.value);
            if (!change.exec())
                return failed(change);
            entries.append(HistoryLog::entry(table, connection.insertedKey(change), setting.key, QStringLiteral("add"),
                                             {{detail, {}, setting.key}, {value, {}, setting.value}}));
        }
    }
    if (Status logged = HistoryLog(connection).append(entries); !logged)
        return logged;
    if (Status committed = transaction.commit(doing); !committed)
        return committed;
    return int(entries.size());
}

Expected<CompanyDetails> readDetails(const Connection& connection)
{
    ReadTransaction transaction(connection);
    if (Status begun = transaction.begin(QStringLiteral("Cannot read the company's details in")); !begun)
        return begun;
    return CompanyDetails::read(connection);
}

} // namespace

int company(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const commandline::Parsed parsed = commandline::parse(arguments, {}, {});
    if (!parsed.wrong.isEmpty())
        return commandline::wrongUsage(err, parsed.wrong);
    if (parsed.rest.isEmpty() || parsed.rest[0].isEmpty())
        return commandline::wrongUsage(err, QStringLiteral("company takes a REGISTER, then any KEY=VALUE to set"));
    QList<Setting> settings;
    for (const QString& argument : parsed.rest.mid(1)) {
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        if (equals <= 0)
            return commandline::wrongUsage(err,
                                           QStringLiteral("%1 is no KEY=VALUE").arg(terminaltext::quoted(argument)));
        const QString key = argument.left(equals).trimmed();
        const QString value = argument.mid(equals + 1).trimmed();
        if (const QString wrong = CompanyDetails::wrong(key, value); !wrong.isEmpty())
            return commandline::wrongUsage(err, terminaltext::visible(wrong));
        settings.append({CompanyDetails::kept(key), value});
    }
    const Expected<std::unique_ptr<Connection>> opened = commandline::openRegister(parsed.rest[0]);
    if (!opened)
        return commandline::failed(err, opened.status().message());
    const Connection& connection = *opened.value();
    if (!settings.isEmpty()) {
        const Expected<int> changed = setDetails(connection, settings);
        if (!changed)
            return commandline::failed(err, changed.status().message());
        out << QStringLiteral("Changed %1 of %2.\n")
                   .arg(commandline::counted(changed.value(), QStringLiteral("company detail")),
                        terminaltext::visible(connection.path()));
    }
    const Expected<CompanyDetails> details = readDetails(connection);
    if (!details)
        return commandline::failed(err, details.status().message());
    const QList<CompanyDetails::Detail> all = details->all();
    if (all.isEmpty())
        out << QStringLiteral("No company details are set in %1.\n").arg(terminaltext::visible(connection.path()));
    for (const CompanyDetails::Detail& detail : all)
        out << terminaltext::visible(detail.key) << ": " << terminaltext::visible(detail.value) << "\n";
    return 0;
}

} // namespace commands
