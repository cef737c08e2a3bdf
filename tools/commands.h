#pragma once

#include <QStringList>

class QTextStream;

// The velmora-register commands that have a unit of their own; each returns the exit status.
namespace commands {

int init(const QStringList& arguments, QTextStream& out, QTextStream& err);
int copy(const QStringList& arguments, QTextStream& out, QTextStream& err);

} // namespace commands
