#include "platform/lenient.h"

#include <charconv>
#include <limits>
#include <system_error>

namespace platform {

std::string_view skipBlanks(std::string_view s) noexcept {
    std::size_t i = 0;
    while (i < s.size() && isBlank(s[i]))
        ++i;
    return s.substr(i);
}

std::int64_t lenientInteger(std::string_view s) noexcept {
    s = skipBlanks(s);
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    // Accumulate as a negative number so that INT64_MIN fits; saturate on overflow.
    constexpr std::int64_t min = std::numeric_limits<std::int64_t>::min();
    std::int64_t acc = 0;
    bool overflow = false;
    for (char c : s) {
        if (c < '0' || c > '9')
            break;
        int digit = c - '0';
        if (acc < (min + digit) / 10) {
            overflow = true;
            break;
        }
        acc = acc * 10 - digit;
    }
    if (overflow)
        return negative ? min : std::numeric_limits<std::int64_t>::max();
    if (negative)
        return acc;
    return acc == min ? std::numeric_limits<std::int64_t>::max() : -acc;
}

double lenientReal(std::string_view s) noexcept {
    s = skipBlanks(s);
    if (!s.empty() && s[0] == '+')
        s.remove_prefix(1);
    double d = 0;
    auto r = std::from_chars(s.data(), s.data() + s.size(), d);
    return r.ec == std::errc() ? d : 0.0;
}

bool lenientFlag(std::string_view s) noexcept {
    s = skipBlanks(s);
    if (!s.empty() && (s[0] == '+' || s[0] == '-'))
        s.remove_prefix(1);
    while (!s.empty() && s[0] == '0')
        s.remove_prefix(1);
    if (s.empty())
        return false;
    char c = s[0];
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

} // namespace platform
