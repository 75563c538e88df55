#include "orders/order_numbers.h"

namespace tc {

std::optional<platform::Decimal> strictDecimal(std::string_view text) {
    auto value = platform::Decimal::fromString(text);
    if (!value || value->isNaN())
        return std::nullopt;
    return value;
}

std::optional<double> strictNumber(std::string_view text) {
    const auto value = strictDecimal(text);
    if (!value)
        return std::nullopt;
    return value->toDouble();
}

} // namespace tc
