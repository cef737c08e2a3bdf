#pragma once

#include <QStringList>

// A server writes each change's history entry itself: a trigger on each table, whoever changes it and through
// whatever client, in the change's own transaction. The entry is sealed as the program seals one, so one check of
// the chain serves both.
namespace historytriggers {

// Statements that put the triggers in place, or again in place of ones there.
QStringList install();
// SQL naming each table whose trigger is missing or disabled.
QString missing();
// SQL that is true when the server keeps the history itself.
QString present();

} // namespace historytriggers
