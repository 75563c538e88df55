#pragma once
// Exact base-10 numbers for prices, quantities and tick grids.
//
// A value is sign * mantissa * 10^exponent with a mantissa of at most 38 decimal digits and an
// exponent in -128..127, or NaN ("not a number"). Values are kept canonical: no trailing zeros in
// the mantissa (unless the exponent would otherwise pass 127), zero is always +0 with exponent 0.
// So equal values have equal representations, and 1.0 == 1, 0 == -0.
//
// Arithmetic never throws and never traps:
//  - results that fit in 38 significant digits are exact; others are rounded Plain to 38 digits,
//    unless a DecimalRounding is given, which then rounds to its scale with its mode (and with the
//    same mode to 38 digits when the scaled result is still longer);
//  - division by zero gives NaN, and any operation with a NaN operand gives NaN;
//  - overflow (a result that cannot be written with 38 digits and an exponent of at most 127)
//    gives NaN;
//  - underflow: digits below 10^-128 are rounded away (with the operation's mode), so results
//    smaller than that become 0.
// Ordering: NaN equals NaN and is less than every number, which makes compare() a total order.
#include <compare>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tc::platform {

enum class RoundingMode {
    Plain,   // half away from zero
    Down,    // toward negative infinity
    Up,      // toward positive infinity
    Bankers, // half to even
};

// Keep `scale` fraction digits (0 = integers, -2 = multiples of 100), rounding with `mode`.
struct DecimalRounding {
    RoundingMode mode = RoundingMode::Plain;
    int scale = 0;
};

// The powers of ten a double holds exactly (up to 10^22): a mantissa below 2^53 scaled by one of
// them in a single operation is the correctly rounded double of the decimal.
inline constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                               1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                               1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

class Decimal {
public:
    static constexpr int kMaxDigits = 38;
    static constexpr int kMinExponent = -128;
    static constexpr int kMaxExponent = 127;
    // Longer text is refused by fromString(); the longest canonical text is well below it.
    static constexpr std::size_t kMaxTextLength = 512;

    constexpr Decimal() = default; // zero

    static Decimal fromInt64(std::int64_t value);
    static Decimal fromUInt64(std::uint64_t value);
    // mantissa * 10^exponent with the given sign, rounded Plain to 38 digits; NaN on overflow.
    static Decimal fromParts(bool negative, unsigned __int128 mantissa, int exponent);
    static Decimal notANumber();

    // Text: optional blanks (space, tab, CR, LF) around, optional '+'/'-', digits with at most
    // one '.', at least one digit, then optionally 'e'/'E' with an optional sign and digits.
    // "NaN" (any case) reads as NaN. More than 38 significant digits are rounded Plain.
    // nullopt for malformed text or text longer than kMaxTextLength. A well-formed number out
    // of range reads as NaN (overflow) or rounds toward 0 (underflow), like arithmetic does.
    static std::optional<Decimal> fromString(std::string_view text);
    // From the double's fixed six-decimal text, as "%f" prints it (1.23456789 -> 1.234568).
    // NaN and infinities give NaN.
    static Decimal fromDouble(double value);

    // Canonical plain text without exponent: "0.0005", "-7", "1234500", "0", "NaN".
    std::string toString() const;
    // Nearest double (NaN for NaN).
    // Inline: the position refresh converts each position's quantity and price every second.
    double toDouble() const {
        // The mantissa and a power of ten up to 22 are exact doubles: one operation rounds correctly.
        if (!nan_ && mantissa_ < (static_cast<unsigned __int128>(1) << 53) && exponent_ >= -22 &&
            exponent_ <= 22) {
            const auto m = static_cast<double>(static_cast<std::uint64_t>(mantissa_));
            const double v =
                exponent_ < 0 ? m / kExactPowersOfTen[-exponent_] : m * kExactPowersOfTen[exponent_];
            return negative_ ? -v : v;
        }
        return wideToDouble();
    }
    // Truncated toward zero; saturated at the type's limits; 0 for NaN.
    std::int32_t int32Value() const;
    std::int64_t int64Value() const;

    bool isNaN() const { return nan_; }
    bool isZero() const { return !nan_ && mantissa_ == 0; }
    bool isNegative() const { return negative_; } // strictly below zero; false for NaN
    // The canonical parts (mantissa 0 for zero and NaN).
    unsigned __int128 mantissa() const { return mantissa_; }
    int exponent() const { return exponent_; }

    Decimal add(const Decimal& other, std::optional<DecimalRounding> rounding = std::nullopt) const;
    Decimal subtract(const Decimal& other, std::optional<DecimalRounding> rounding = std::nullopt) const;
    Decimal multiply(const Decimal& other, std::optional<DecimalRounding> rounding = std::nullopt) const;
    Decimal divide(const Decimal& other, std::optional<DecimalRounding> rounding = std::nullopt) const;
    Decimal rounded(int scale, RoundingMode mode = RoundingMode::Plain) const;
    Decimal negated() const;

    Decimal operator-() const { return negated(); }
    friend Decimal operator+(const Decimal& a, const Decimal& b) { return a.add(b); }
    friend Decimal operator-(const Decimal& a, const Decimal& b) { return a.subtract(b); }
    friend Decimal operator*(const Decimal& a, const Decimal& b) { return a.multiply(b); }
    friend Decimal operator/(const Decimal& a, const Decimal& b) { return a.divide(b); }

    std::strong_ordering compare(const Decimal& other) const;
    friend bool operator==(const Decimal& a, const Decimal& b) { return a.compare(b) == 0; }
    friend std::strong_ordering operator<=>(const Decimal& a, const Decimal& b) { return a.compare(b); }

private:
    // NaN, or a mantissa or exponent past the exact doubles: read back from its text.
    double wideToDouble() const;

    friend struct DecimalBuilder;
    friend class CompactDecimal; // hands over its canonical parts as they are

    unsigned __int128 mantissa_ = 0;
    std::int16_t exponent_ = 0;
    bool negative_ = false;
    bool nan_ = false;
};

// The leading decimal number of a text (blanks before it allowed, text after it ignored); nullopt
// when the text does not begin with a number or the number is out of the decimal range.
std::optional<Decimal> leadingDecimal(std::string_view text);

} // namespace tc::platform
