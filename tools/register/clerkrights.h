#pragma once

#include "status.h"

#include <QHash>
#include <QString>
#include <QStringList>

class QTextStream;

// The GRANT lines that give the clerks' role on a server what a clerk needs, and no more.
namespace clerkrights {

inline const QString defaultRole = QStringLiteral("velmora_clerk");

// The whole register: reading and changing the rows of every table it carries, their row keys' sequences, and
// reading the history, which the server writes; or reading the history alone, for a register that has just started
// one.
enum class Scope { Register, History };

// A comment line, then the GRANT lines for role on the register at uri; the server quotes each name only
// where it must.
Expected<QStringList> grants(const QString& uri, const QString& role, Scope scope);

// The command line of a command that takes --role, the flags given and one REGISTER: the role named, the default
// unless named; wrong says what is wrong with the line.
struct CommandLine {
    QHash<QString, QString> options;
    QString location;
    bool server = false;
    QString role;
    QString wrong;
};
CommandLine parse(const QStringList& arguments, const QStringList& flags, const QString& command);

// Prints the GRANT lines, or why they cannot be listed; returns the exit status.
int print(const QString& uri, const QString& role, Scope scope, QTextStream& out, QTextStream& err);

} // namespace clerkrights
