#pragma once

namespace records {

struct Description;

// frmStockData: the share certificates, one row of stock_data at a time.
const Description& stockData();

} // namespace records
