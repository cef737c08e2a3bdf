#include "commandline.h"

#include "connection.h"
#include "schema.h"
#include "terminaltext.h"

#include <QTextStream>

namespace commandline {

Parsed parse(const QStringList& arguments, const QStringList& flags, const QStringList& valued,
             const QStringList& names, const QString& takes)
{
    Parsed parsed;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (flags.contains(argument)) {
            parsed.options.insert(argument, QString());
        } else if (valued.contains(argument)) {
            if (i + 1 == arguments.size()) {
                parsed.wrong = QStringLiteral("%1 needs a value").arg(argument);
                return parsed;
            }
            parsed.options.insert(argument, arguments[++i]);
        } else if (argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
            parsed.wrong = QStringLiteral("unknown option %1").arg(argument);
            return parsed;
        } else {
            parsed.rest.append(argument);
        }
    }
    if (takes.isEmpty())
        return parsed;
    if (parsed.rest.size() != names.size())
        parsed.wrong = takes;
    else if (const qsizetype empty = parsed.rest.indexOf(QString()); empty >= 0)
        parsed.wrong = QStringLiteral("no %1 given: the argument is empty").arg(names[empty]);
    return parsed;
}

Expected<std::unique_ptr<Connection>> openRegister(const QString& location)
{
    Expected<std::unique_ptr<Connection>> opened = Connection::open(location);
    if (!opened)
        return opened;
    for (const schema::Table& table : schema::tables()) {
        if (Status checked = opened.value()->checkTable(table); !checked)
            return checked;
    }
    return opened;
}

QString counted(qint64 count, const QString& noun)
{
    return QStringLiteral("%1 %2").arg(count).arg(count == 1 ? noun : noun + QLatin1Char('s'));
}

namespace {

// A message may name register text; its own line breaks stay.
QString shown(const QString& message)
{
    QStringList lines = message.split(QLatin1Char('\n'));
    for (QString& line : lines)
        line = terminaltext::visible(line);
    return lines.join(QLatin1Char('\n'));
}

} // namespace

int wrongUsage(QTextStream& err, const QString& why)
{
    err << "velmora-register: " << shown(why) << "\n"
        << "Try 'velmora-register --help'.\n";
    return 2;
}

int refused(QTextStream& err, const QString& why)
{
    err << "velmora-register: " << terminaltext::visible(why) << "\n";
    return 2;
}

int failed(QTextStream& err, const QString& message)
{
    err << "velmora-register: " << shown(message) << "\n";
    return 1;
}

} // namespace commandline
