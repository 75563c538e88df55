#pragma once
// Decimal numbers made from the doubles that the records hold.
#include "platform/decimal.h"

#include <string_view>

namespace tc {

// The decimal of the shortest text that reads back as the same double (0.1 -> 0.1, 1.23455 ->
// 1.23455), so prices and rates keep every digit they were received with. NaN for NaN, the
// infinities and magnitudes beyond the decimal's range.
platform::Decimal decimalFromDouble(double value);

// An outside amount read leniently: the text's leading number, 0 when it begins with none or the
// number is out of the decimal's range.
platform::Decimal lenientDecimal(std::string_view text);

} // namespace tc
