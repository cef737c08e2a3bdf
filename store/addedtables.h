#pragma once

#include "status.h"

#include <QString>
#include <QStringList>

class Connection;

// The tables a register gained after the clerks' three (schema::addedTables()). A register made before them still
// opens and works everywhere: reading takes a missing one as empty, and only a command that writes one asks for
// an upgrade, which adds them.
namespace addedtables {

// Whether the register holds the table, in the transaction under way.
Expected<bool> held(const Connection& connection, const QString& table);
// The added tables the register holds, in schema order.
Expected<QStringList> held(const Connection& connection);
// Fails, naming the upgrade that adds it, when the register lacks the table a command is about to write.
Status requireHeld(const Connection& connection, const QString& table, const QString& doing);
// Makes the added tables the register lacks, in a transaction of its own, kept in the history as the others are:
// the names of those made.
Expected<QStringList> addMissing(const Connection& connection);

} // namespace addedtables
