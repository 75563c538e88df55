#include "platform/amount_text.h"

#include "platform/decimal.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace tc::platform {
namespace {

// A comma between each three digits of the whole part of a plain "-123456.78".
std::string grouped(const std::string& plain) {
    const std::size_t sign = plain[0] == '-' ? 1 : 0;
    const std::size_t point = plain.find('.');
    const std::size_t digits = (point == std::string::npos ? plain.size() : point) - sign;
    std::string out = plain.substr(0, sign);
    for (std::size_t i = 0; i < digits; ++i) {
        if (i > 0 && (digits - i) % 3 == 0)
            out += ',';
        out += plain[sign + i];
    }
    if (point != std::string::npos)
        out += plain.substr(point);
    return out;
}

} // namespace

std::string amountText(double value) {
    if (!std::isfinite(value))
        return fmt::format("{:.2f}", value);
    // The shortest text that reads back as this double is the decimal it stands for (0.145, not
    // 0.14499999999999999), so it rounds as that decimal does.
    char shortest[32];
    const auto written = std::to_chars(shortest, shortest + sizeof shortest, value);
    if (written.ec == std::errc()) {
        if (const auto decimal = Decimal::fromString(std::string_view(shortest, written.ptr - shortest));
            decimal && !decimal->isNaN())
            return amountText(*decimal);
    }
    // Past the decimal range there are no cents left to round.
    return grouped(fmt::format("{:.2f}", value));
}

std::string amountText(const Decimal& value) {
    if (value.isNaN())
        return amountText(value.toDouble());
    std::string text = value.rounded(2).toString();
    const std::size_t point = text.find('.');
    if (point == std::string::npos)
        text += ".00";
    else
        text.append(2 - std::min<std::size_t>(2, text.size() - point - 1), '0');
    return grouped(text);
}

} // namespace tc::platform
