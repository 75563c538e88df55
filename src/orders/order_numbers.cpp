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

std::optional<double> numberOf(const platform::Decimal& value) {
    if (value.isNaN())
        return std::nullopt;
    return value.toDouble();
}

std::optional<double> numberOf(const std::optional<platform::Decimal>& value) {
    return value ? numberOf(*value) : std::nullopt;
}

std::string priceText(const platform::Decimal& value, int decimalPlaces) {
    std::string text = value.toString();
    if (value.isNaN() || decimalPlaces <= 0)
        return text;
    const std::size_t point = text.find('.');
    const int digits = point == std::string::npos ? 0 : static_cast<int>(text.size() - point - 1);
    if (digits >= decimalPlaces)
        return text;
    if (point == std::string::npos)
        text += '.';
    text.append(static_cast<std::size_t>(decimalPlaces - digits), '0');
    return text;
}

std::string priceText(const std::optional<platform::Decimal>& value, int decimalPlaces) {
    return value ? priceText(*value, decimalPlaces) : std::string();
}

} // namespace tc
