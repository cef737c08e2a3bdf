#pragma once

#include "registercontents.h"

// How backup and restore name what a register file holds.
namespace heldregister {

// Each table's rows, and the history's changes: "stock_data 15 rows, …, history 33 changes".
QString rows(const QList<registercontents::Counted>& counted);
// A register by its newest change, or by its rows when its history holds none.
QString described(const registercontents::Held& held);

} // namespace heldregister
