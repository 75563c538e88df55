#include "orders/order_numbers.h"

#include "model/records/record_decimal.h"

namespace tc {

std::optional<double> strictNumber(std::string_view text) {
    const auto value = strictDecimal(text);
    if (!value)
        return std::nullopt;
    return value->toDouble();
}

std::optional<double> numberOf(const platform::Decimal& value) {
    if (value.isNaN())
        return std::nullopt;
    return value.toDouble();
}

std::optional<double> numberOf(const std::optional<platform::Decimal>& value) {
    return value ? numberOf(*value) : std::nullopt;
}

std::string priceText(const platform::Decimal& value, int decimalPlaces) {
    return decimalText(value, decimalPlaces);
}

std::string priceText(const std::optional<platform::Decimal>& value, int decimalPlaces) {
    return decimalText(value, decimalPlaces);
}

} // namespace tc
