#include "platform/amount_text.h"

#include "platform/decimal.h"

#include <fmt/format.h>

#include <algorithm>
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
    const std::string plain = fmt::format("{:.2f}", value);
    return std::isfinite(value) ? grouped(plain) : plain;
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
