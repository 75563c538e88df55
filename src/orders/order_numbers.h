#pragma once
// Reading the number texts of an order. Texts a user typed are read strictly: the whole text must
// be one number, so "1.2.3" or "5x" is refused rather than read as its leading part.
#include "model/records/record_decimal.h"
#include "platform/decimal.h"

#include <optional>
#include <string>
#include <string_view>

namespace tc {

// strictDecimal's value as a double.
std::optional<double> strictNumber(std::string_view text);

// An order's decimal as a double; nullopt when it is NaN (none given) or absent.
std::optional<double> numberOf(const platform::Decimal& value);
std::optional<double> numberOf(const std::optional<platform::Decimal>& value);

// The decimal's plain text with at least `decimalPlaces` digits after the point (never fewer than it
// has: no value is rounded here, validation judges it). The one place a request's price becomes text.
std::string priceText(const platform::Decimal& value, int decimalPlaces);
// The same for a price that may be absent: none is the empty text.
std::string priceText(const std::optional<platform::Decimal>& value, int decimalPlaces);

} // namespace tc
