#pragma once
// An exact decimal stored in 8 bytes, for the figures of records that are held by the hundred
// thousand (a Decimal takes 32). It keeps 16 significant digits, more than the double it replaces;
// arithmetic and rounding stay in Decimal, to which it converts without loss.
//
// The 64 bits hold a signed 56-bit mantissa above an 8-bit exponent (-128..127), in the canonical
// form of Decimal: no trailing zeros in the mantissa (unless the exponent would pass 127), zero as
// 0 with exponent 0. So equal values have equal bits. NaN is the one pattern whose mantissa is
// -2^55, which no value reaches.
#include "platform/decimal.h"
#include "platform/plain_number.h"

#include <bit>
#include <compare>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace tc::platform {

class CompactDecimal {
public:
    static constexpr int kMaxDigits = 16;
    static constexpr std::int64_t kMaxMantissa = 9'999'999'999'999'999;

    constexpr CompactDecimal() = default; // zero
    // The value rounded Plain to 16 significant digits; NaN when that passes the exponent range.
    explicit CompactDecimal(const Decimal& value);
    static constexpr CompactDecimal notANumber() { return ofBits(kNaNBits); }

    // The plain wire form that scanPlainNumber reads ("-12.50"), rounded Plain to 16 digits;
    // nullopt for every other form, which Decimal::fromString then reads.
    static std::optional<CompactDecimal> fromPlainText(std::string_view text) {
        PlainNumber n;
        if (!scanPlainNumber(text, 19, n))
            return std::nullopt;
        std::uint64_t m = n.mantissa;
        int exponent = -n.fraction;
        if (m > static_cast<std::uint64_t>(kMaxMantissa)) {
            // 17 to 19 digits (a double printed in full, often): rounded Plain at the 16th digit
            // here, in 64 bits, as the wide decimal would round it.
            std::uint64_t unit = 1;
            while (m / unit > static_cast<std::uint64_t>(kMaxMantissa)) {
                unit *= 10;
                ++exponent;
            }
            const std::uint64_t rest = m % unit;
            m /= unit;
            if (rest >= unit / 2)
                ++m;
            if (m > static_cast<std::uint64_t>(kMaxMantissa)) { // 99...9 carried into a 17th digit
                m /= 10;
                ++exponent;
            }
        }
        if (m == 0)
            return CompactDecimal();
        exponent += stripTens(m, std::numeric_limits<int>::max());
        const auto signedMantissa = static_cast<std::int64_t>(m);
        return ofBits(make(n.negative ? -signedMantissa : signedMantissa, exponent));
    }
    // units × 10^exponent, exact for |units| up to kMaxMantissa and an exponent in -128..127 (what
    // the feed's whole units are).
    static CompactDecimal fromUnits(std::int64_t units, int exponent) {
        if (units == 0)
            return CompactDecimal();
        std::uint64_t m =
            units < 0 ? 0 - static_cast<std::uint64_t>(units) : static_cast<std::uint64_t>(units);
        exponent += stripTens(m, 127 - exponent);
        const auto signedMantissa = static_cast<std::int64_t>(m);
        return ofBits(make(units < 0 ? -signedMantissa : signedMantissa, exponent));
    }
    // What Decimal::fromString reads, rounded Plain to 16 digits.
    static std::optional<CompactDecimal> fromString(std::string_view text);

    // Exact: the same canonical parts.
    Decimal toDecimal() const {
        if (isNaN())
            return Decimal::notANumber();
        Decimal d;
        const std::int64_t m = mantissa();
        d.mantissa_ = static_cast<unsigned __int128>(m < 0 ? -m : m);
        d.exponent_ = static_cast<std::int16_t>(exponent());
        d.negative_ = m < 0;
        return d;
    }
    // Widening is exact, so it is implicit: arithmetic takes a stored figure as it is.
    operator Decimal() const { return toDecimal(); }

    // The text Decimal::toString gives for the same value.
    std::string toString() const;
    // Nearest double (NaN for NaN).
    // Inline: quote arithmetic converts every price it reads, ten thousand positions a refresh.
    double toDouble() const {
        // The mantissa and a power of ten up to 22 are exact doubles: one operation rounds correctly.
        const std::int64_t m = mantissa();
        const int e = exponent();
        if (!isNaN() && m < (std::int64_t{1} << 53) && m > -(std::int64_t{1} << 53) && e >= -22 && e <= 22) {
            const auto x = static_cast<double>(m);
            return e < 0 ? x / kExactPowersOfTen[-e] : x * kExactPowersOfTen[e];
        }
        return wideToDouble();
    }

    bool isNaN() const { return bits_ == kNaNBits; }
    bool isZero() const { return bits_ == 0; }
    bool isNegative() const { return bits_ < 0 && bits_ != kNaNBits; } // false for NaN
    bool isPositive() const { return mantissa() > 0; }                 // strictly above zero; false for NaN
    // The canonical parts: a signed mantissa (0 for zero and NaN) and its exponent.
    std::int64_t mantissa() const { return isNaN() ? 0 : bits_ >> 8; }
    int exponent() const { return static_cast<std::int8_t>(static_cast<std::uint8_t>(bits_ & 0xff)); }

    // Exact: the mantissa's range is symmetric. NaN stays NaN.
    CompactDecimal operator-() const {
        return isNaN() || isZero() ? *this : ofBits(make(-mantissa(), exponent()));
    }

    // Decimal's order: NaN equals NaN and is less than every number.
    std::strong_ordering compare(const CompactDecimal& other) const;
    friend bool operator==(const CompactDecimal& a, const CompactDecimal& b) { return a.bits_ == b.bits_; }
    friend std::strong_ordering operator<=>(const CompactDecimal& a, const CompactDecimal& b) {
        return a.compare(b);
    }

private:
    double wideToDouble() const; // through the full decimal
    static constexpr std::int64_t kNaNBits = std::numeric_limits<std::int64_t>::min();

    static constexpr CompactDecimal ofBits(std::int64_t bits) {
        CompactDecimal c;
        c.bits_ = bits;
        return c;
    }
    // Divides the trailing zeros out of m (not 0), at most `room` of them; returns how many.
    // Each quote carries seven prices, so no division: m is a multiple of 100 exactly when m times
    // the inverse of 25 modulo 2^64, rotated right by two, is at most (2^64-1)/100, and that is then
    // m/100 (likewise for 10 with the inverse of 5).
    static constexpr int stripTens(std::uint64_t& m, int room) {
        constexpr std::uint64_t kInverse5 = 0xCCCCCCCCCCCCCCCDu;
        constexpr std::uint64_t kInverse25 = kInverse5 * kInverse5;
        constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
        int stripped = 0;
        for (; room - stripped >= 2; stripped += 2) {
            const std::uint64_t q = std::rotr(m * kInverse25, 2);
            if (q > kMax / 100)
                break;
            m = q;
        }
        if (room - stripped >= 1) {
            const std::uint64_t q = std::rotr(m * kInverse5, 1);
            if (q <= kMax / 10) {
                m = q;
                ++stripped;
            }
        }
        return stripped;
    }
    // Canonical parts within range.
    static constexpr std::int64_t make(std::int64_t mantissa, int exponent) {
        return static_cast<std::int64_t>(static_cast<std::uint64_t>(mantissa) << 8) |
               static_cast<std::uint8_t>(static_cast<std::int8_t>(exponent));
    }

    std::int64_t bits_ = 0;
};

} // namespace tc::platform
