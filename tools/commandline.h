#pragma once

#include "status.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>

class Connection;
class QTextStream;

// What the velmora-register commands share: reading their arguments and reporting what went wrong.
namespace commandline {

// Options (given in flags, or in valued when they take a value) apart from the paths. When takes is given, the
// paths must be as many as names, none of them empty, and wrong says what is not.
struct Parsed {
    QHash<QString, QString> options;
    QStringList rest;
    QString wrong;
};

Parsed parse(const QStringList& arguments, const QStringList& flags, const QStringList& valued,
             const QStringList& names = {}, const QString& takes = {});

// Opens the register at location, a file or a server, and checks that it holds the three tables.
Expected<std::unique_ptr<Connection>> openRegister(const QString& location);

// A count with its noun: "1 change", "2 changes".
QString counted(qint64 count, const QString& noun);

// The command line is wrong: says why and where to read more; returns the exit status 2.
int wrongUsage(QTextStream& err, const QString& why);
// The command was refused and nothing was written: says why in one line; returns the exit status 2.
int refused(QTextStream& err, const QString& why);
// The work failed: says why; returns the exit status 1.
int failed(QTextStream& err, const QString& message);

} // namespace commandline
