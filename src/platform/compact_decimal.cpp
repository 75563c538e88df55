#include "platform/compact_decimal.h"

#include <array>

namespace tc::platform {

namespace {

constexpr std::array<std::uint64_t, 20> makePow10() {
    std::array<std::uint64_t, 20> p{};
    p[0] = 1;
    for (std::size_t i = 1; i < p.size(); ++i)
        p[i] = p[i - 1] * 10;
    return p;
}
constexpr std::array<std::uint64_t, 20> kPow10 = makePow10(); // 10^0 .. 10^19

int digitCount(std::uint64_t v) {
    int n = 0;
    while (n < 20 && v >= kPow10[static_cast<std::size_t>(n)])
        ++n;
    return n; // 0 for zero
}

int digitCount(unsigned __int128 v) {
    int n = 0;
    while (v != 0) {
        v /= 10;
        ++n;
    }
    return n;
}

} // namespace

CompactDecimal::CompactDecimal(const Decimal& value) {
    if (value.isNaN()) {
        bits_ = kNaNBits;
        return;
    }
    Decimal d = value;
    if (d.mantissa() > static_cast<unsigned __int128>(kMaxMantissa)) {
        // Round at the 16th significant digit; a carry out of 99...9 comes back canonical, shorter.
        const int digits = digitCount(d.mantissa());
        d = d.rounded(-(d.exponent() + digits - kMaxDigits), RoundingMode::Plain);
        if (d.isNaN() || d.mantissa() > static_cast<unsigned __int128>(kMaxMantissa)) {
            bits_ = kNaNBits;
            return;
        }
    }
    const auto m = static_cast<std::int64_t>(d.mantissa());
    bits_ = make(d.isNegative() ? -m : m, d.exponent());
}

std::optional<CompactDecimal> CompactDecimal::fromString(std::string_view text) {
    if (auto plain = fromPlainText(text))
        return plain;
    const auto d = Decimal::fromString(text);
    if (!d)
        return std::nullopt;
    return CompactDecimal(*d);
}

std::string CompactDecimal::toString() const {
    if (isNaN())
        return "NaN";
    const std::int64_t m = mantissa();
    if (m == 0)
        return "0";
    char digitsBuf[20];
    char* const digitsEnd = digitsBuf + sizeof digitsBuf;
    char* p = digitsEnd;
    for (auto v = static_cast<std::uint64_t>(m < 0 ? -m : m); v != 0; v /= 10)
        *--p = static_cast<char>('0' + static_cast<int>(v % 10));
    const std::string_view digits(p, static_cast<std::size_t>(digitsEnd - p));
    const int e = exponent();

    std::string out;
    out.reserve(digits.size() + (e < 0 ? static_cast<std::size_t>(-e) + 3 : static_cast<std::size_t>(e) + 1));
    if (m < 0)
        out += '-';
    if (e >= 0) {
        out += digits;
        out.append(static_cast<std::size_t>(e), '0');
    } else {
        const auto fraction = static_cast<std::size_t>(-e);
        if (fraction >= digits.size()) {
            out += "0.";
            out.append(fraction - digits.size(), '0');
            out += digits;
        } else {
            out += digits.substr(0, digits.size() - fraction);
            out += '.';
            out += digits.substr(digits.size() - fraction);
        }
    }
    return out;
}

double CompactDecimal::wideToDouble() const {
    return toDecimal().toDouble();
}

std::strong_ordering CompactDecimal::compare(const CompactDecimal& other) const {
    if (bits_ == other.bits_)
        return std::strong_ordering::equal;
    if (isNaN() || other.isNaN())
        return isNaN() ? std::strong_ordering::less : std::strong_ordering::greater;
    const std::int64_t a = mantissa();
    const std::int64_t b = other.mantissa();
    const int signA = (a > 0) - (a < 0);
    const int signB = (b > 0) - (b < 0);
    if (signA != signB || signA == 0)
        return signA <=> signB;
    // Same sign, both nonzero: order the magnitudes by their leading digit's place, then digit by
    // digit on a common exponent (the places being equal, the exponents differ by less than 16).
    const auto ua = static_cast<std::uint64_t>(a < 0 ? -a : a);
    const auto ub = static_cast<std::uint64_t>(b < 0 ? -b : b);
    const int ea = exponent();
    const int eb = other.exponent();
    std::strong_ordering magnitude = (digitCount(ua) + ea) <=> (digitCount(ub) + eb);
    if (magnitude == 0) {
        const auto wa =
            static_cast<unsigned __int128>(ua) * (ea > eb ? kPow10[static_cast<std::size_t>(ea - eb)] : 1);
        const auto wb =
            static_cast<unsigned __int128>(ub) * (eb > ea ? kPow10[static_cast<std::size_t>(eb - ea)] : 1);
        magnitude = wa <=> wb;
    }
    return signA > 0 ? magnitude : 0 <=> magnitude;
}

} // namespace tc::platform
