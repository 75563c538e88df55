#include "platform/lenient.h"

#include "platform/decimal.h"

#include <charconv>
#include <limits>
#include <system_error>

namespace tc::platform {

std::string_view skipBlanks(std::string_view s) noexcept {
    std::size_t i = 0;
    while (i < s.size() && isBlank(s[i]))
        ++i;
    return s.substr(i);
}

std::string_view trimBlanks(std::string_view s) noexcept {
    s = skipBlanks(s);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::int64_t lenientInteger(std::string_view s) noexcept {
    if (!s.empty() && isBlank(s.front()))
        s = skipBlanks(s);
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    // Accumulate as a negative number so that INT64_MIN fits; saturate on overflow.
    constexpr std::int64_t min = std::numeric_limits<std::int64_t>::min();
    constexpr std::int64_t kNearMin = min / 10;
    std::int64_t acc = 0;
    bool overflow = false;
    for (char c : s) {
        if (c < '0' || c > '9')
            break;
        int digit = c - '0';
        // Above min / 10 one more digit always fits; only near the limit is the exact test needed.
        if (acc <= kNearMin && acc < (min + digit) / 10) {
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

namespace {

// Plain decimals of at most 15 digits without exponent ("0.00001", "-12.25", "100000"): the
// digits as an integer below 2^53 and a power of ten are both exact doubles, so one division
// gives the correctly rounded value, the same as the general reader. nullopt for anything else.
bool readShortDecimal(std::string_view s, double& out) noexcept {
    std::size_t i = 0;
    const bool negative = !s.empty() && s[0] == '-';
    if (negative)
        ++i;
    std::uint64_t mantissa = 0;
    int digits = 0;
    int fraction = 0;
    bool point = false;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (c >= '0' && c <= '9') {
            if (++digits > 15)
                return false;
            mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
            fraction += point ? 1 : 0;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    // An exponent, or no digit at all, is the general reader's.
    if (digits == 0 || (i < s.size() && (s[i] == 'e' || s[i] == 'E')))
        return false;
    // Whole numbers are common and need no division (its latency is most of a short number's cost).
    const double whole = static_cast<double>(mantissa);
    const double value = fraction == 0 ? whole : whole / kExactPowersOfTen[fraction];
    out = negative ? -value : value;
    return true;
}

} // namespace

double lenientReal(std::string_view s) noexcept {
    // Server numbers rarely start with a blank; the test saves a call per field.
    if (!s.empty() && isBlank(s.front()))
        s = skipBlanks(s);
    if (!s.empty() && s[0] == '+')
        s.remove_prefix(1);
    double d = 0;
    if (readShortDecimal(s, d))
        return d;
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

} // namespace tc::platform
