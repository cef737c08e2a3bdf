#pragma once

#include <QString>

// The exact decimal text of an Access file's Currency and Decimal values, from their stored bytes.
namespace jetdecimal {

// A Currency: a little-endian 64-bit whole number of ten-thousandths, as "3.5000" or "-12.0000".
QString currency(const uchar* bytes);
// A Decimal: a sign byte, then a 128-bit whole number as four little-endian words, the most significant first;
// scale digits after the point.
QString decimal(const uchar* bytes, int scale);

} // namespace jetdecimal
