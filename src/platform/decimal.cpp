#include "platform/decimal.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace tc::platform {

namespace {

using u128 = unsigned __int128;
using u64 = std::uint64_t;

constexpr std::array<u128, 39> makePow10() {
    std::array<u128, 39> p{};
    p[0] = 1;
    for (std::size_t i = 1; i < p.size(); ++i)
        p[i] = p[i - 1] * 10;
    return p;
}
constexpr std::array<u128, 39> kPow10 = makePow10(); // 10^0 .. 10^38, all fit in 128 bits
constexpr u64 kPow10_19 = 10000000000000000000ull;

int digitCount(u128 v) {
    int n = 0;
    while (n < 39 && v >= kPow10[n])
        ++n;
    return n; // 0 for zero
}

// Unsigned 256-bit integer on 64-bit limbs, little-endian. Wide enough for a product of two
// 38-digit mantissas (76 digits) and for the scaled dividends of division (77 digits).
struct U256 {
    u64 w[4] = {0, 0, 0, 0};

    static U256 of(u128 v) {
        U256 r;
        r.w[0] = static_cast<u64>(v);
        r.w[1] = static_cast<u64>(v >> 64);
        return r;
    }
    bool isZero() const { return (w[0] | w[1] | w[2] | w[3]) == 0; }
    bool fits128() const { return (w[2] | w[3]) == 0; }
    u128 low128() const { return (static_cast<u128>(w[1]) << 64) | w[0]; }
};

int compareU(const U256& a, const U256& b) {
    for (int i = 3; i >= 0; --i) {
        if (a.w[i] != b.w[i])
            return a.w[i] < b.w[i] ? -1 : 1;
    }
    return 0;
}

U256 addU(const U256& a, const U256& b) {
    U256 r;
    u64 carry = 0;
    for (int i = 0; i < 4; ++i) {
        u128 s = static_cast<u128>(a.w[i]) + b.w[i] + carry;
        r.w[i] = static_cast<u64>(s);
        carry = static_cast<u64>(s >> 64);
    }
    return r;
}

U256 subU(const U256& a, const U256& b) { // a >= b
    U256 r;
    u64 borrow = 0;
    for (int i = 0; i < 4; ++i) {
        u128 d = static_cast<u128>(a.w[i]) - b.w[i] - borrow;
        r.w[i] = static_cast<u64>(d);
        borrow = (d >> 64) != 0 ? 1 : 0;
    }
    return r;
}

U256 mulSmall(const U256& a, u64 m) { // callers keep the product below 2^256
    U256 r;
    u64 carry = 0;
    for (int i = 0; i < 4; ++i) {
        u128 p = static_cast<u128>(a.w[i]) * m + carry;
        r.w[i] = static_cast<u64>(p);
        carry = static_cast<u64>(p >> 64);
    }
    return r;
}

u64 divSmall(U256& a, u64 d) { // a /= d, returns the remainder
    u128 rem = 0;
    for (int i = 3; i >= 0; --i) {
        u128 cur = (rem << 64) | a.w[i];
        a.w[i] = static_cast<u64>(cur / d);
        rem = cur % d;
    }
    return static_cast<u64>(rem);
}

U256 mul128(u128 a, u128 b) {
    u64 a0 = static_cast<u64>(a), a1 = static_cast<u64>(a >> 64);
    u64 b0 = static_cast<u64>(b), b1 = static_cast<u64>(b >> 64);
    U256 r = U256::of(static_cast<u128>(a0) * b0);
    U256 mid1 = U256::of(static_cast<u128>(a0) * b1);
    U256 mid2 = U256::of(static_cast<u128>(a1) * b0);
    U256 hi = U256::of(static_cast<u128>(a1) * b1);
    auto shifted = [](const U256& v, int limbs) {
        U256 s;
        for (int i = 3; i >= limbs; --i)
            s.w[i] = v.w[i - limbs];
        return s;
    };
    r = addU(r, shifted(mid1, 1));
    r = addU(r, shifted(mid2, 1));
    r = addU(r, shifted(hi, 2));
    return r;
}

// n / d with the remainder; d is a canonical mantissa, so below 2^127 and the remainder's
// doubling in the bit loop cannot overflow.
U256 divmod(const U256& n, u128 d, u128& remainder) {
    if ((d >> 64) == 0) {
        U256 q = n;
        remainder = divSmall(q, static_cast<u64>(d));
        return q;
    }
    U256 q;
    u128 rem = 0;
    int top = 255;
    while (top >= 0 && ((n.w[top / 64] >> (top % 64)) & 1) == 0)
        --top;
    for (int i = top; i >= 0; --i) {
        rem = (rem << 1) | ((n.w[i / 64] >> (i % 64)) & 1);
        if (rem >= d) {
            rem -= d;
            q.w[i / 64] |= u64{1} << (i % 64);
        }
    }
    remainder = rem;
    return q;
}

int digitCount(U256 v) {
    int n = 0;
    while (!v.fits128()) {
        divSmall(v, kPow10_19);
        n += 19;
    }
    return n + digitCount(v.low128());
}

U256 scaleUp(U256 v, int k) { // v * 10^k, callers keep it below 2^256
    while (k > 0) {
        int step = std::min(k, 19);
        v = mulSmall(v, static_cast<u64>(kPow10[step]));
        k -= step;
    }
    return v;
}

U256 scaleDown(U256 v, int k, bool& inexact) { // v / 10^k
    while (k > 0) {
        int step = std::min(k, 19);
        if (divSmall(v, static_cast<u64>(kPow10[step])) != 0)
            inexact = true;
        k -= step;
    }
    return v;
}

// An intermediate result: mag * 10^exp, plus `sticky` when nonzero digits below mag were dropped.
struct Wide {
    U256 mag;
    std::int64_t exp = 0;
    bool negative = false;
    bool sticky = false;
};

constexpr std::int64_t kScaleLimit = 100000; // keeps exponent arithmetic far from overflow

} // namespace

struct DecimalBuilder {
    static Decimal make(bool negative, u128 mantissa, int exponent) {
        Decimal d;
        d.mantissa_ = mantissa;
        d.exponent_ = static_cast<std::int16_t>(exponent);
        d.negative_ = negative && mantissa != 0;
        return d;
    }

    static Wide wide(const Decimal& d) {
        return Wide{U256::of(d.mantissa_), d.exponent_, d.negative_, false};
    }

    // Rounds an exact-or-sticky intermediate to a representable value. `targetExp` is the exponent
    // asked for by a scale; the 38-digit limit and the smallest exponent may force a higher one.
    static Decimal finish(const Wide& w, RoundingMode mode, std::optional<std::int64_t> targetExp) {
        if (w.mag.isZero() && !w.sticky)
            return Decimal{};
        const int digits = digitCount(w.mag);
        std::int64_t target = w.exp;
        if (digits > Decimal::kMaxDigits)
            target = w.exp + (digits - Decimal::kMaxDigits);
        if (targetExp && *targetExp > target)
            target = *targetExp;
        target = std::max<std::int64_t>(target, Decimal::kMinExponent);

        U256 q = w.mag;
        std::int64_t exp = w.exp;
        if (target > w.exp || w.sticky) {
            const std::int64_t shift = target - w.exp;
            unsigned roundDigit = 0;
            bool rest = w.sticky;
            if (shift > digits) {
                rest = rest || !q.isZero();
                q = U256{};
            } else if (shift > 0) {
                q = scaleDown(q, static_cast<int>(shift - 1), rest);
                roundDigit = static_cast<unsigned>(divSmall(q, 10));
            }
            const bool inexact = roundDigit != 0 || rest;
            bool up = false;
            switch (mode) {
            case RoundingMode::Plain:
                up = roundDigit >= 5;
                break;
            case RoundingMode::Bankers:
                up = roundDigit > 5 || (roundDigit == 5 && (rest || (q.w[0] & 1) != 0));
                break;
            case RoundingMode::Down:
                up = inexact && w.negative;
                break;
            case RoundingMode::Up:
                up = inexact && !w.negative;
                break;
            }
            if (up)
                q = addU(q, U256::of(1));
            exp = target;
        }

        // Only a carry out of 99...9 can leave 39 digits, and then the value is exactly 10^38.
        u128 m = q.low128();
        if (m >= kPow10[Decimal::kMaxDigits]) {
            m /= 10;
            ++exp;
        }
        if (m == 0)
            return Decimal{};
        while (exp < Decimal::kMaxExponent && m % 10 == 0) {
            m /= 10;
            ++exp;
        }
        while (exp > Decimal::kMaxExponent && m < kPow10[Decimal::kMaxDigits - 1]) {
            m *= 10;
            --exp;
        }
        if (exp > Decimal::kMaxExponent)
            return Decimal::notANumber();
        return make(w.negative, m, static_cast<int>(exp));
    }

    static Decimal finish(const Wide& w, const std::optional<DecimalRounding>& r) {
        if (!r)
            return finish(w, RoundingMode::Plain, std::nullopt);
        const std::int64_t scale = std::clamp<std::int64_t>(r->scale, -kScaleLimit, kScaleLimit);
        return finish(w, r->mode, -scale);
    }

    static Decimal addSigned(const Decimal& a, const Decimal& b, bool negateB,
                             const std::optional<DecimalRounding>& r) {
        if (a.nan_ || b.nan_)
            return Decimal::notANumber();
        Wide wa = wide(a);
        Wide wb = wide(b);
        if (negateB)
            wb.negative = !wb.negative;
        if (b.mantissa_ == 0)
            return finish(wa, r);
        if (a.mantissa_ == 0)
            return finish(wb, r);

        // Align on the smaller exponent as far as 76 digits allow; what is still below gets
        // folded into the sticky flag (then the other operand dominates by far).
        const Wide& hi = a.exponent_ >= b.exponent_ ? wa : wb;
        const Wide& lo = a.exponent_ >= b.exponent_ ? wb : wa;
        const std::int64_t d = hi.exp - lo.exp;
        const std::int64_t room = 76 - digitCount(hi.mag);
        const int s = static_cast<int>(std::min(d, room));
        const std::int64_t t = d - s;
        U256 hiMag = scaleUp(hi.mag, s);
        bool sticky = false;
        U256 loMag;
        if (t > Decimal::kMaxDigits)
            sticky = true;
        else
            loMag = scaleDown(lo.mag, static_cast<int>(t), sticky);

        Wide out;
        out.exp = hi.exp - s;
        out.sticky = sticky;
        if (hi.negative == lo.negative) {
            out.mag = addU(hiMag, loMag);
            out.negative = hi.negative;
        } else if (sticky) {
            // |hi| is far larger here; the dropped part of lo pulls the exact result one unit
            // lower, and what is left of that unit stays sticky.
            out.mag = subU(subU(hiMag, loMag), U256::of(1));
            out.negative = hi.negative;
        } else {
            const int c = compareU(hiMag, loMag);
            if (c == 0)
                return finish(Wide{}, r);
            out.mag = c > 0 ? subU(hiMag, loMag) : subU(loMag, hiMag);
            out.negative = c > 0 ? hi.negative : lo.negative;
        }
        return finish(out, r);
    }

    static Decimal multiply(const Decimal& a, const Decimal& b, const std::optional<DecimalRounding>& r) {
        if (a.nan_ || b.nan_)
            return Decimal::notANumber();
        Wide out;
        out.mag = mul128(a.mantissa_, b.mantissa_);
        out.exp = static_cast<std::int64_t>(a.exponent_) + b.exponent_;
        out.negative = a.negative_ != b.negative_;
        return finish(out, r);
    }

    static Decimal divide(const Decimal& a, const Decimal& b, const std::optional<DecimalRounding>& r) {
        if (a.nan_ || b.nan_ || b.mantissa_ == 0)
            return Decimal::notANumber();
        if (a.mantissa_ == 0)
            return Decimal{};
        // Scale the dividend so the quotient has at least 39 digits; the remainder is sticky.
        const int da = digitCount(a.mantissa_);
        const int db = digitCount(b.mantissa_);
        const int k = std::max(0, Decimal::kMaxDigits + 1 + db - da);
        u128 rem = 0;
        Wide out;
        out.mag = divmod(scaleUp(U256::of(a.mantissa_), k), b.mantissa_, rem);
        out.exp = static_cast<std::int64_t>(a.exponent_) - b.exponent_ - k;
        out.negative = a.negative_ != b.negative_;
        out.sticky = rem != 0;
        return finish(out, r);
    }

    static Decimal rounded(const Decimal& a, int scale, RoundingMode mode) {
        if (a.nan_)
            return a;
        return finish(wide(a), DecimalRounding{mode, scale});
    }
};

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

std::string digitsOf(u128 v) {
    char buf[40];
    char* end = buf + sizeof buf;
    char* p = end;
    // 64-bit division while the value fits: a 128-bit one is a library call per digit.
    if (v <= std::numeric_limits<u64>::max()) {
        u64 small = static_cast<u64>(v);
        do {
            *--p = static_cast<char>('0' + static_cast<int>(small % 10));
            small /= 10;
        } while (small != 0);
        return std::string(p, end);
    }
    do {
        *--p = static_cast<char>('0' + static_cast<int>(v % 10));
        v /= 10;
    } while (v != 0);
    return std::string(p, end);
}

} // namespace

Decimal Decimal::notANumber() {
    Decimal d;
    d.nan_ = true;
    return d;
}

Decimal Decimal::fromUInt64(std::uint64_t value) {
    return fromParts(false, value, 0);
}

Decimal Decimal::fromInt64(std::int64_t value) {
    const bool negative = value < 0;
    // Magnitude without overflowing on INT64_MIN.
    const std::uint64_t magnitude =
        negative ? ~static_cast<std::uint64_t>(value) + 1 : static_cast<std::uint64_t>(value);
    return fromParts(negative, magnitude, 0);
}

Decimal Decimal::fromParts(bool negative, unsigned __int128 mantissa, int exponent) {
    // Already within 38 digits and the exponent range: only the trailing zeros to strip.
    if (mantissa < kPow10[kMaxDigits] && exponent >= kMinExponent && exponent <= kMaxExponent) {
        if (mantissa == 0)
            return Decimal{};
        while (exponent < kMaxExponent) {
            const bool divisible = mantissa <= std::numeric_limits<u64>::max()
                                       ? static_cast<u64>(mantissa) % 10 == 0
                                       : mantissa % 10 == 0;
            if (!divisible)
                break;
            mantissa /= 10;
            ++exponent;
        }
        Decimal d;
        d.mantissa_ = mantissa;
        d.exponent_ = static_cast<std::int16_t>(exponent);
        d.negative_ = negative;
        return d;
    }
    Wide w;
    w.mag = U256::of(mantissa);
    w.exp = exponent;
    w.negative = negative;
    return DecimalBuilder::finish(w, RoundingMode::Plain, std::nullopt);
}

std::optional<Decimal> Decimal::fromString(std::string_view text) {
    if (text.size() > kMaxTextLength)
        return std::nullopt;
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    if (equalsIgnoringCase(text, "nan"))
        return notANumber();

    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // The first 38 significant digits go to the mantissa, the 39th is kept for rounding and
    // anything after it only matters as "nonzero or not".
    u128 mantissa = 0;
    int kept = 0;
    int roundDigit = -1;
    bool sticky = false;
    std::int64_t exp = 0;
    std::size_t digitsSeen = 0;
    bool seenPoint = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.') {
            if (seenPoint)
                return std::nullopt;
            seenPoint = true;
            continue;
        }
        if (c < '0' || c > '9')
            break;
        ++digitsSeen;
        const int digit = c - '0';
        if (kept == 0 && digit == 0) {
            if (seenPoint)
                --exp;
            continue;
        }
        if (kept < kMaxDigits) {
            mantissa = mantissa * 10 + static_cast<unsigned>(digit);
            ++kept;
            if (seenPoint)
                --exp;
        } else {
            if (roundDigit < 0)
                roundDigit = digit;
            else if (digit != 0)
                sticky = true;
            if (!seenPoint)
                ++exp;
        }
    }
    if (digitsSeen == 0)
        return std::nullopt;
    if (i < text.size()) {
        if (text[i] != 'e' && text[i] != 'E')
            return std::nullopt;
        ++i;
        bool expNegative = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            expNegative = text[i] == '-';
            ++i;
        }
        if (i >= text.size())
            return std::nullopt;
        std::int64_t e = 0;
        for (; i < text.size(); ++i) {
            const char c = text[i];
            if (c < '0' || c > '9')
                return std::nullopt;
            e = std::min<std::int64_t>(e * 10 + (c - '0'), kScaleLimit); // saturates: far out of range anyway
        }
        exp += expNegative ? -e : e;
    }

    Wide w;
    w.negative = negative;
    if (roundDigit >= 0) {
        w.mag = addU(mulSmall(U256::of(mantissa), 10), U256::of(static_cast<u128>(roundDigit)));
        w.exp = exp - 1;
        w.sticky = sticky;
    } else {
        w.mag = U256::of(mantissa);
        w.exp = exp;
    }
    return DecimalBuilder::finish(w, RoundingMode::Plain, std::nullopt);
}

Decimal Decimal::fromDouble(double value) {
    if (!std::isfinite(value))
        return notANumber();
    char buf[400]; // the longest fixed text of a double is 317 characters
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 6);
    if (r.ec != std::errc{})
        return notANumber();
    auto d = fromString(std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)));
    return d ? *d : notANumber();
}

std::string Decimal::toString() const {
    if (nan_)
        return "NaN";
    if (mantissa_ == 0)
        return "0";
    std::string digits = digitsOf(mantissa_);
    std::string out = negative_ ? "-" : "";
    if (exponent_ >= 0) {
        out += digits;
        out.append(static_cast<std::size_t>(exponent_), '0');
    } else {
        const std::size_t fraction = static_cast<std::size_t>(-exponent_);
        if (fraction >= digits.size()) {
            out += "0.";
            out.append(fraction - digits.size(), '0');
            out += digits;
        } else {
            out.append(digits, 0, digits.size() - fraction);
            out += '.';
            out.append(digits, digits.size() - fraction, std::string::npos);
        }
    }
    return out;
}

double Decimal::wideToDouble() const {
    if (nan_)
        return std::numeric_limits<double>::quiet_NaN();
    // "-<digits>e<exponent>" read back by the locale-independent, correctly rounding from_chars.
    char text[64];
    char* p = text;
    if (negative_)
        *p++ = '-';
    const std::string digits = digitsOf(mantissa_);
    p = std::copy(digits.begin(), digits.end(), p);
    *p++ = 'e';
    p = std::to_chars(p, text + sizeof text, static_cast<int>(exponent_)).ptr;
    double value = 0;
    std::from_chars(text, p, value);
    return value;
}

std::int64_t Decimal::int64Value() const {
    if (nan_ || mantissa_ == 0)
        return 0;
    const u128 limit = negative_ ? (u128{1} << 63) : (u128{1} << 63) - 1;
    u128 magnitude = 0;
    if (exponent_ >= 0) {
        if (exponent_ > 18 || mantissa_ > limit / kPow10[exponent_])
            magnitude = limit;
        else
            magnitude = mantissa_ * kPow10[exponent_];
    } else if (-exponent_ <= kMaxDigits) {
        magnitude = mantissa_ / kPow10[-exponent_];
    }
    magnitude = std::min(magnitude, limit);
    if (!negative_)
        return static_cast<std::int64_t>(magnitude);
    return magnitude == (u128{1} << 63) ? std::numeric_limits<std::int64_t>::min()
                                        : -static_cast<std::int64_t>(magnitude);
}

std::int32_t Decimal::int32Value() const {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        int64Value(), std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

Decimal Decimal::add(const Decimal& other, std::optional<DecimalRounding> rounding) const {
    return DecimalBuilder::addSigned(*this, other, false, rounding);
}

Decimal Decimal::subtract(const Decimal& other, std::optional<DecimalRounding> rounding) const {
    return DecimalBuilder::addSigned(*this, other, true, rounding);
}

Decimal Decimal::multiply(const Decimal& other, std::optional<DecimalRounding> rounding) const {
    return DecimalBuilder::multiply(*this, other, rounding);
}

Decimal Decimal::divide(const Decimal& other, std::optional<DecimalRounding> rounding) const {
    return DecimalBuilder::divide(*this, other, rounding);
}

Decimal Decimal::rounded(int scale, RoundingMode mode) const {
    return DecimalBuilder::rounded(*this, scale, mode);
}

Decimal Decimal::negated() const {
    Decimal d = *this;
    d.negative_ = !nan_ && mantissa_ != 0 && !negative_;
    return d;
}

std::strong_ordering Decimal::compare(const Decimal& other) const {
    if (nan_ || other.nan_)
        return other.nan_ <=> nan_; // NaN sorts first and equals only NaN
    const int signA = mantissa_ == 0 ? 0 : (negative_ ? -1 : 1);
    const int signB = other.mantissa_ == 0 ? 0 : (other.negative_ ? -1 : 1);
    if (signA != signB || signA == 0)
        return signA <=> signB;
    // Same sign, both nonzero: compare magnitudes by leading-digit position, then aligned.
    const int da = digitCount(mantissa_), db = digitCount(other.mantissa_);
    const int leadA = da + exponent_, leadB = db + other.exponent_;
    std::strong_ordering magnitude = std::strong_ordering::equal;
    if (leadA != leadB) {
        magnitude = leadA <=> leadB;
    } else {
        // Equal leading positions keep the shifted mantissa within 38 digits.
        u128 ma = mantissa_, mb = other.mantissa_;
        if (exponent_ > other.exponent_)
            ma *= kPow10[exponent_ - other.exponent_];
        else
            mb *= kPow10[other.exponent_ - exponent_];
        magnitude = ma <=> mb;
    }
    return signA > 0 ? magnitude : 0 <=> magnitude;
}

std::optional<Decimal> leadingDecimal(std::string_view text) {
    const auto isAsciiDigit = [](char c) { return c >= '0' && c <= '9'; };
    std::string_view s = text;
    // Blanks as the lenient readings skip them (form feed and vertical tab too).
    while (!s.empty() && (isBlank(s.front()) || s.front() == '\f' || s.front() == '\v'))
        s.remove_prefix(1);
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    std::size_t digits = 0;
    while (i < s.size() && isAsciiDigit(s[i]))
        ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isAsciiDigit(s[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return std::nullopt;
    // An exponent counts only when digits follow it; "1e" is the number 1 and the text "e".
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            ++j;
        if (j < s.size() && isAsciiDigit(s[j])) {
            while (j < s.size() && isAsciiDigit(s[j]))
                ++j;
            i = j;
        }
    }
    const auto value = Decimal::fromString(s.substr(0, i));
    if (!value || value->isNaN())
        return std::nullopt;
    return value;
}

} // namespace tc::platform
