#pragma once
// Decimal numbers made from the doubles that the records hold.
#include "platform/decimal.h"

#include <optional>
#include <string>
#include <string_view>

namespace tc {

// The decimal of the shortest text that reads back as the same double (0.1 -> 0.1, 1.23455 ->
// 1.23455), so prices and rates keep every digit they were received with. NaN for NaN, the
// infinities and magnitudes beyond the decimal's range.
platform::Decimal decimalFromDouble(double value);

// An outside amount read leniently: the text's leading number, 0 when it begins with none or the
// number is out of the decimal's range.
platform::Decimal lenientDecimal(std::string_view text);

// The text's value when it is one finite number, blanks around allowed; nullopt otherwise.
std::optional<platform::Decimal> strictDecimal(std::string_view text);

// An absent price counts as 0 in arithmetic and cells, as its empty text always did.
inline platform::Decimal orZero(const std::optional<platform::Decimal>& value) {
    return value.value_or(platform::Decimal());
}

// The decimal's plain text with at least `places` digits after the point, never rounded (a price
// keeps every digit it came with and shows at least the instrument's). Empty when absent.
std::string decimalText(const platform::Decimal& value, int places);
std::string decimalText(const std::optional<platform::Decimal>& value, int places);

} // namespace tc
