#pragma once
// Decimal numbers made from the doubles that the records hold.
#include "platform/decimal.h"

namespace tc {

// The decimal of the shortest text that reads back as the same double (0.1 -> 0.1, 1.23455 ->
// 1.23455), so prices and rates keep every digit they were received with. NaN for NaN, the
// infinities and magnitudes beyond the decimal's range.
platform::Decimal decimalFromDouble(double value);

} // namespace tc
