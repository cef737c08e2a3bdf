#pragma once

#include "registerbackup.h"

// How backup and restore name what a register file holds.
namespace heldregister {

// Each table's rows, and the history's changes: "stock_data 15 rows, …, history 33 changes".
QString rows(const QList<registerbackup::Counted>& counted);
// A register by its newest change, or by its rows when its history holds none.
QString described(const registerbackup::Held& held);

} // namespace heldregister
