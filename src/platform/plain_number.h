#pragma once
// The one digit scanner for numbers in their plain wire form. Snapshots and feeds carry millions
// of them, so the readers try this first and leave every other form to the general readings.
#include <cstdint>
#include <string_view>

namespace tc::platform {

struct PlainNumber {
    std::uint64_t mantissa = 0; // the digits as an integer
    int fraction = 0;           // how many of them follow the point
    bool negative = false;
};

// An optional '-', then 1 to `maxDigits` (at most 19, so they fit 64 bits) digits with at most one
// point among or after them, nothing else. Blanks, a plus sign, exponents and longer forms are
// refused.
inline bool scanPlainNumber(std::string_view text, int maxDigits, PlainNumber& out) {
    out.negative = !text.empty() && text[0] == '-';
    std::size_t i = out.negative ? 1 : 0;
    std::uint64_t mantissa = 0;
    int digits = 0;
    int fraction = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        const unsigned digit = static_cast<unsigned char>(text[i]) - unsigned{'0'};
        if (digit <= 9) {
            if (++digits > maxDigits)
                return false;
            mantissa = mantissa * 10 + digit;
            fraction += point ? 1 : 0;
        } else if (text[i] == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    out.mantissa = mantissa;
    out.fraction = fraction;
    return digits > 0;
}

} // namespace tc::platform
