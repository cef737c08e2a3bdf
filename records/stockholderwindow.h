#pragma once

namespace records {

struct Description;

// frmStockHolder: the shareholders, one row of stockholder at a time.
const Description& stockHolder();

} // namespace records
