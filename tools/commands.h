#pragma once

#include <QStringList>

class QTextStream;

// The velmora-register commands, each in its family's folder; each returns the exit status.
namespace commands {

// A new register file from an Access-format file, read in a child process held to a CPU limit.
int import(const QStringList& arguments, QTextStream& out, QTextStream& err);
// What an Access-format file (in such a child process) or a register holds.
int inspect(const QStringList& arguments, QTextStream& out, QTextStream& err);
// The three tables as CSV files.
int exportCsv(const QStringList& arguments, QTextStream& out, QTextStream& err);

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
// A certificate transferred to another shareholder, the totals moved with it.
int transfer(const QStringList& arguments, QTextStream& out, QTextStream& err);
// The register of members as a PDF; it needs a QGuiApplication.
int report(const QStringList& arguments, QTextStream& out, QTextStream& err);
// Share certificates as a PDF, one page each; it needs a QGuiApplication.
int certificate(const QStringList& arguments, QTextStream& out, QTextStream& err);
// The company's details, printed or set.
int company(const QStringList& arguments, QTextStream& out, QTextStream& err);

// The members holding shares, as the register stands, as it took effect on a day, or as it was recorded.
int members(const QStringList& arguments, QTextStream& out, QTextStream& err);
// The attendance and voting list of the holders on a record date.
int meeting(const QStringList& arguments, QTextStream& out, QTextStream& err);
// A dividend on the holders of a record date, in exact money.
int dividend(const QStringList& arguments, QTextStream& out, QTextStream& err);

} // namespace commands
