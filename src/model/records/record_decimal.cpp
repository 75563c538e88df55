#include "model/records/record_decimal.h"

#include <charconv>
#include <cmath>
#include <string_view>
#include <system_error>

namespace tc {

platform::Decimal decimalFromDouble(double value) {
    if (!std::isfinite(value))
        return platform::Decimal::notANumber();
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    if (r.ec != std::errc{})
        return platform::Decimal::notANumber();
    const auto d =
        platform::Decimal::fromString(std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)));
    return d ? *d : platform::Decimal::notANumber();
}

platform::Decimal lenientDecimal(std::string_view text) {
    const auto d = platform::leadingDecimal(text);
    return d && !d->isNaN() ? *d : platform::Decimal();
}

std::optional<platform::Decimal> strictDecimal(std::string_view text) {
    auto value = platform::Decimal::fromString(text);
    if (!value || value->isNaN())
        return std::nullopt;
    return value;
}

std::string decimalText(const platform::Decimal& value, int places) {
    std::string text = value.toString();
    if (value.isNaN() || places <= 0)
        return text;
    const std::size_t point = text.find('.');
    const int digits = point == std::string::npos ? 0 : static_cast<int>(text.size() - point - 1);
    if (digits >= places)
        return text;
    if (point == std::string::npos)
        text += '.';
    text.append(static_cast<std::size_t>(places - digits), '0');
    return text;
}

std::string decimalText(const std::optional<platform::Decimal>& value, int places) {
    return value ? decimalText(*value, places) : std::string();
}

} // namespace tc
