#pragma once

#include <QStringList>

class QTextStream;

// The velmora-register commands that have a unit of their own; each returns the exit status.
namespace commands {

int init(const QStringList& arguments, QTextStream& out, QTextStream& err);
int copy(const QStringList& arguments, QTextStream& out, QTextStream& err);
// A register, at one moment, into a new file while clerks go on saving.
int backup(const QStringList& arguments, QTextStream& out, QTextStream& err);
// A backup put in a register file's place, the register there kept beside it.
int restore(const QStringList& arguments, QTextStream& out, QTextStream& err);
// True when inspect is given a register (a file or a server) rather than an Access file.
bool inspectsRegister(const QStringList& arguments);
int inspectRegister(const QStringList& arguments, QTextStream& out, QTextStream& err);
// The register's history of changes, or whether it is intact.
int history(const QStringList& arguments, QTextStream& out, QTextStream& err);
// Whether the register holds together; with --fix-totals, sets the totals found wrong.
int check(const QStringList& arguments, QTextStream& out, QTextStream& err);
// Makes a register that keeps no history start one.
int upgrade(const QStringList& arguments, QTextStream& out, QTextStream& err);
// The register of members as a PDF; it needs a QGuiApplication.
int report(const QStringList& arguments, QTextStream& out, QTextStream& err);

} // namespace commands
