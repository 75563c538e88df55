#pragma once
// Reading the number texts of an order. Texts a user typed are read strictly: the whole text must
// be one number, so "1.2.3" or "5x" is refused rather than read as its leading part.
#include "platform/decimal.h"

#include <optional>
#include <string_view>

namespace tc {

// The text's value when it is one finite number, blanks around allowed; nullopt otherwise.
std::optional<platform::Decimal> strictDecimal(std::string_view text);
std::optional<double> strictNumber(std::string_view text);

} // namespace tc
