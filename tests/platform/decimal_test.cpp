#include "platform/decimal.h"

#include "support/case_table.h"

#include <gtest/gtest.h>

#include <charconv>
#include <compare>
#include <tuple>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace tc;
using platform::Decimal;
using platform::DecimalRounding;
using platform::RoundingMode;

using u128 = unsigned __int128;

Decimal dec(const char* text) {
    auto d = Decimal::fromString(text);
    EXPECT_TRUE(d.has_value()) << text;
    return d.value_or(Decimal::notANumber());
}

std::string text(const char* in) {
    return dec(in).toString();
}

u128 pow10(int n) {
    u128 p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

// P plain, D down, U up, B bankers.
RoundingMode mode(char letter) {
    return letter == 'P'   ? RoundingMode::Plain
           : letter == 'D' ? RoundingMode::Down
           : letter == 'U' ? RoundingMode::Up
                           : RoundingMode::Bankers;
}

constexpr RoundingMode kModes[] = {RoundingMode::Plain, RoundingMode::Down, RoundingMode::Up,
                                   RoundingMode::Bankers};

TEST(DecimalText, CanonicalFormDropsZerosAndExponent) {
    for (const auto& row : testing_support::caseTable("tables/decimal_texts.txt", 2))
        EXPECT_EQ(text(row[0].c_str()), row[1]) << "line " << row.line;
    EXPECT_TRUE(dec("nan").isNaN());
    EXPECT_EQ(Decimal().toString(), "0");
}

TEST(DecimalText, NegativeZeroIsPlainZero) {
    for (const char* zero : {"-0", "-0.000", "-0e-7", "+0"}) {
        Decimal d = dec(zero);
        EXPECT_TRUE(d.isZero()) << zero;
        EXPECT_FALSE(d.isNegative()) << zero;
        EXPECT_EQ(d.toString(), "0") << zero;
    }
    EXPECT_EQ((-Decimal()).toString(), "0");
}

TEST(DecimalText, MalformedTextIsRefused) {
    for (const char* bad : {"",    "   ", "-",    "+",    ".",   "-.",  "1.2.3", "1e",   "1e+",   "e5", "abc",
                            "1,5", "1 2", "0x10", "1e5x", "--1", "+-1", "inf",   "-nan", "1e2.5", "١"}) {
        EXPECT_FALSE(Decimal::fromString(bad).has_value()) << bad;
    }
    EXPECT_FALSE(Decimal::fromString(std::string_view("1\0"
                                                      "2",
                                                      3))
                     .has_value());
}

TEST(DecimalText, LengthCap) {
    std::string atCap(Decimal::kMaxTextLength - 1, '0');
    atCap += '7';
    ASSERT_TRUE(Decimal::fromString(atCap).has_value());
    EXPECT_EQ(Decimal::fromString(atCap)->toString(), "7");
    EXPECT_FALSE(Decimal::fromString("0" + atCap).has_value());
}

TEST(DecimalText, ThirtyEightDigitsRoundTripExactly) {
    for (const char* t :
         {"12345678901234567890123456789012345678", "-1.2345678901234567890123456789012345678",
          "99999999999999999999999999999999999999", "0.99999999999999999999999999999999999999",
          "0.000000000000000000000000000000000000000000012345678901234567890123456789012345678",
          "-10000000000000000000000000000000000001000000"}) {
        Decimal d = dec(t);
        EXPECT_EQ(d.toString(), t);
        EXPECT_EQ(Decimal::fromString(d.toString()), d);
    }
}

TEST(DecimalText, MoreThanThirtyEightDigitsRoundPlain) {
    // 39th digit 5 rounds up, 4 rounds down; digits further out only break the tie.
    EXPECT_EQ(text("123456789012345678901234567890123456785"), "123456789012345678901234567890123456790");
    EXPECT_EQ(text("123456789012345678901234567890123456784"), "123456789012345678901234567890123456780");
    EXPECT_EQ(text("-1234567890123456789012345678901234567849999"),
              "-1234567890123456789012345678901234567800000");
    EXPECT_EQ(text("0.12345678901234567890123456789012345678500000001"),
              "0.12345678901234567890123456789012345679");
    // Carries that add a digit.
    EXPECT_EQ(text("99999999999999999999999999999999999999.5"), "100000000000000000000000000000000000000");
    EXPECT_EQ(text("9.999999999999999999999999999999999999999"), "10");
    EXPECT_EQ(text("-0.0000999999999999999999999999999999999999999"), "-0.0001");
}

TEST(DecimalText, ExponentRange) {
    EXPECT_EQ(text("1e127"), "1" + std::string(127, '0'));
    // 10^164 is 10^37 * 10^127: still 38 digits.
    EXPECT_EQ(text("1e164"), "1" + std::string(164, '0'));
    EXPECT_EQ(dec("99999999999999999999999999999999999999e127").toString(),
              std::string(38, '9') + std::string(127, '0'));
    EXPECT_TRUE(dec("1e165").isNaN());
    EXPECT_TRUE(dec("1e99999999999999999999").isNaN());
    EXPECT_EQ(text("1e-128"), "0." + std::string(127, '0') + "1");
    EXPECT_EQ(text("1e-129"), "0");
    EXPECT_EQ(text("5e-129"), dec("1e-128").toString());
    EXPECT_EQ(text("-1e-99999999999999999999"), "0");
}

TEST(DecimalConversion, FromDoubleUsesSixDecimals) {
    EXPECT_EQ(Decimal::fromDouble(0.1), dec("0.1"));
    EXPECT_EQ(Decimal::fromDouble(0.1).toString(), "0.1");
    EXPECT_EQ(Decimal::fromDouble(1.23456789), dec("1.234568"));
    EXPECT_EQ(Decimal::fromDouble(0.00005), dec("0.00005"));
    EXPECT_EQ(Decimal::fromDouble(-2.5).toString(), "-2.5");
    EXPECT_EQ(Decimal::fromDouble(1e-7).toString(), "0");
    EXPECT_EQ(Decimal::fromDouble(1e20).toString(), "100000000000000000000");
    EXPECT_FALSE(Decimal::fromDouble(-0.0).isNegative());
    EXPECT_TRUE(Decimal::fromDouble(std::nan("")).isNaN());
    EXPECT_TRUE(Decimal::fromDouble(std::numeric_limits<double>::infinity()).isNaN());
    // The largest doubles have more than 165 integer digits.
    EXPECT_TRUE(Decimal::fromDouble(std::numeric_limits<double>::max()).isNaN());
}

TEST(DecimalConversion, ToDoubleAndIntegers) {
    EXPECT_EQ(dec("0.1").toDouble(), 0.1);
    EXPECT_EQ(dec("-1.234568").toDouble(), -1.234568);
    EXPECT_EQ(dec("1e-128").toDouble(), 1e-128);
    EXPECT_TRUE(std::isnan(Decimal::notANumber().toDouble()));

    EXPECT_EQ(dec("2.9").int64Value(), 2);
    EXPECT_EQ(dec("-2.9").int64Value(), -2);
    EXPECT_EQ(dec("0.5").int32Value(), 0);
    EXPECT_EQ(dec("1e-100").int32Value(), 0);
    EXPECT_EQ(dec("1234500").int32Value(), 1234500);
    EXPECT_EQ(dec("1e30").int64Value(), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(dec("-1e30").int64Value(), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(dec("3000000000").int32Value(), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(dec("-3000000000.7").int32Value(), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(dec("9223372036854775807").int64Value(), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(dec("-9223372036854775808").int64Value(), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(dec("9223372036854775808").int64Value(), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(Decimal::notANumber().int64Value(), 0);

    EXPECT_EQ(Decimal::fromInt64(std::numeric_limits<std::int64_t>::min()).toString(),
              "-9223372036854775808");
    EXPECT_EQ(Decimal::fromInt64(std::numeric_limits<std::int64_t>::min()).int64Value(),
              std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(Decimal::fromUInt64(std::numeric_limits<std::uint64_t>::max()).toString(),
              "18446744073709551615");
    EXPECT_EQ(Decimal::fromInt64(-1200).toString(), "-1200");
    EXPECT_EQ(Decimal::fromInt64(0), Decimal());
    // A 39-digit mantissa rounds to 38 digits.
    EXPECT_EQ(Decimal::fromParts(false, pow10(38) + 5, 0).toString(),
              "100000000000000000000000000000000000010");
}

TEST(DecimalConversion, ToDoubleRoundsCorrectlyOnEveryPath) {
    // The text read by from_chars is the correctly rounded reference, for short and long mantissas
    // and exponents inside and outside the exact power-of-ten range.
    std::mt19937_64 random(7);
    for (int n = 0; n < 20000; ++n) {
        const int digits = 1 + static_cast<int>(random() % 25);
        std::string text = (random() & 1) ? "-" : "";
        for (int d = 0; d < digits; ++d)
            text += static_cast<char>('0' + random() % 10);
        text += "e" + std::to_string(static_cast<int>(random() % 70) - 35);
        double expected = 0;
        std::from_chars(text.data(), text.data() + text.size(), expected);
        const Decimal value = *Decimal::fromString(text);
        EXPECT_EQ(value.toDouble(), expected == 0 ? 0.0 : expected) << text;
    }
    // The largest exact mantissa and its neighbour past 2^53.
    EXPECT_EQ(dec("9007199254740993").toDouble(), 9007199254740992.0);
    EXPECT_EQ(dec("0.9007199254740993").toDouble(), 0.9007199254740993);
}

TEST(DecimalCompare, AcrossExponentsAndSigns) {
    for (const auto& row : testing_support::caseTable("tables/decimal_comparisons.txt", 3)) {
        const auto order = row[1] == "<"   ? std::strong_ordering::less
                           : row[1] == "=" ? std::strong_ordering::equal
                                           : std::strong_ordering::greater;
        EXPECT_EQ(dec(row[0].c_str()) <=> dec(row[2].c_str()), order) << "line " << row.line;
        EXPECT_EQ(dec(row[0].c_str()) == dec(row[2].c_str()), order == 0) << "line " << row.line;
    }
}

TEST(DecimalCompare, NaNEqualsItselfAndSortsFirst) {
    const Decimal nan = Decimal::notANumber();
    EXPECT_EQ(nan, Decimal::notANumber());
    EXPECT_NE(nan, Decimal());
    EXPECT_LT(nan, dec("-1e160"));
    EXPECT_GT(dec("-1e160"), nan);
    std::vector<Decimal> v{dec("2"), nan, dec("-3.5"), dec("0"), dec("-3.50"), dec("0.002")};
    std::sort(v.begin(), v.end());
    std::vector<std::string> sorted;
    for (const auto& d : v)
        sorted.push_back(d.toString());
    EXPECT_EQ(sorted, (std::vector<std::string>{"NaN", "-3.5", "-3.5", "0", "0.002", "2"}));
}

TEST(DecimalArithmetic, AddAndSubtract) {
    EXPECT_EQ(dec("0.1") + dec("0.2"), dec("0.3"));
    EXPECT_EQ((dec("1") - dec("0.9999")).toString(), "0.0001");
    Decimal zero = dec("-5") + dec("5");
    EXPECT_TRUE(zero.isZero());
    EXPECT_FALSE(zero.isNegative());
    EXPECT_EQ((dec("-1.25") - dec("-1.25")).toString(), "0");
    EXPECT_EQ((dec("0") - dec("3.5")).toString(), "-3.5");
    EXPECT_EQ((dec("2.5") + dec("0")).toString(), "2.5");
    EXPECT_EQ((dec("1e20") + dec("1e-10")).toString(), "100000000000000000000.0000000001");
    // Carries that add a digit.
    EXPECT_EQ((dec("99999999999999999999999999999999999999") + dec("1")).toString(),
              "100000000000000000000000000000000000000");
    EXPECT_EQ(dec("0.99999999999999999999999999999999999999") + dec("1e-38"), dec("1"));
}

TEST(DecimalArithmetic, AddRoundsBeyondThirtyEightDigits) {
    // 10^30 + x keeps 38 digits, down to 10^-7; the 10^-8 digit decides.
    EXPECT_EQ(dec("1e30") + dec("1e-10"), dec("1e30"));
    EXPECT_EQ((dec("1e30") + dec("5e-8")).toString(), "1000000000000000000000000000000.0000001");
    EXPECT_EQ((dec("1e30") - dec("5e-8")).toString(), "999999999999999999999999999999.99999995"); // 38 digits
    EXPECT_EQ(dec("1e30") - dec("5e-9"), dec("1e30"));
    EXPECT_EQ((dec("1e30") - dec("6e-9")).toString(), "999999999999999999999999999999.99999999");
    // Exponents more than 38 apart: the small operand only shows through rounding.
    EXPECT_EQ(dec("1e100") + dec("1"), dec("1e100"));
    EXPECT_EQ(dec("1e100") - dec("1"), dec("1e100"));
    const Decimal justBelow = Decimal::fromParts(false, pow10(38) - 1, 62); // 38 nines * 10^62
    const Decimal justAbove = Decimal::fromParts(false, pow10(37) + 1, 63);
    EXPECT_EQ(dec("1e100").add(dec("1"), DecimalRounding{RoundingMode::Up, 0}), justAbove);
    EXPECT_EQ(dec("1e100").add(dec("1"), DecimalRounding{RoundingMode::Down, 0}), dec("1e100"));
    EXPECT_EQ(dec("1e100").subtract(dec("1"), DecimalRounding{RoundingMode::Down, 0}), justBelow);
    EXPECT_EQ(dec("1e100").subtract(dec("1"), DecimalRounding{RoundingMode::Up, 0}), dec("1e100"));
    EXPECT_EQ(dec("-1e100").add(dec("1"), DecimalRounding{RoundingMode::Down, 0}), dec("-1e100"));
    EXPECT_EQ(dec("-1e100").add(dec("1"), DecimalRounding{RoundingMode::Up, 0}), -justBelow);
    EXPECT_EQ(dec("1").subtract(dec("1e100"), DecimalRounding{RoundingMode::Up, 0}), -justBelow);
    // Exactly half a unit of the 38th digit away: ties.
    EXPECT_EQ(justAbove.subtract(dec("5e62"), DecimalRounding{RoundingMode::Bankers, 0}), dec("1e100"));
    EXPECT_EQ(justAbove.subtract(dec("5e62")), justAbove);
}

TEST(DecimalArithmetic, AddWithScale) {
    EXPECT_EQ(dec("1.004").add(dec("0.001"), DecimalRounding{RoundingMode::Bankers, 2}).toString(), "1");
    EXPECT_EQ(dec("1.004").add(dec("0.001"), DecimalRounding{RoundingMode::Plain, 2}).toString(), "1.01");
    EXPECT_EQ(dec("1.5").add(dec("0"), DecimalRounding{RoundingMode::Down, 0}).toString(), "1");
    EXPECT_EQ(dec("-1.5").subtract(dec("0"), DecimalRounding{RoundingMode::Down, 0}).toString(), "-2");
}

TEST(DecimalArithmetic, Multiply) {
    EXPECT_EQ((dec("1.1") * dec("1.1")).toString(), "1.21");
    EXPECT_EQ((dec("-2") * dec("3")).toString(), "-6");
    EXPECT_EQ((dec("-2") * dec("-0.5")).toString(), "1");
    Decimal z = dec("0") * dec("-5");
    EXPECT_TRUE(z.isZero());
    EXPECT_FALSE(z.isNegative());
    // (10^38 - 1)^2 = 10^76 - 2*10^38 + 1: 37 nines and an 8, then zeros and a 1 that rounds away.
    const Decimal nines = Decimal::fromParts(false, pow10(38) - 1, 0);
    EXPECT_EQ(nines * nines, Decimal::fromParts(false, pow10(38) - 2, 38));
    EXPECT_EQ(dec("2.675").multiply(dec("1"), DecimalRounding{RoundingMode::Plain, 2}).toString(), "2.68");
    EXPECT_EQ(dec("2.665").multiply(dec("1"), DecimalRounding{RoundingMode::Bankers, 2}).toString(), "2.66");
    EXPECT_EQ(dec("2.675").multiply(dec("1"), DecimalRounding{RoundingMode::Bankers, 2}).toString(), "2.68");
}

TEST(DecimalArithmetic, OverflowAndUnderflow) {
    EXPECT_TRUE((dec("1e100") * dec("1e100")).isNaN());
    EXPECT_TRUE((dec("-1e160") * dec("1e10")).isNaN());
    EXPECT_EQ(dec("1e-64") * dec("1e-64"), dec("1e-128"));
    EXPECT_TRUE((dec("1e-100") * dec("1e-100")).isZero());
    EXPECT_FALSE((dec("-1e-100") * dec("1e-100")).isNegative());
    EXPECT_TRUE((dec("1e160") / dec("1e-10")).isNaN());
    EXPECT_TRUE((dec("1e-100") / dec("1e100")).isZero());
    EXPECT_TRUE((dec("99999999999999999999999999999999999999e127") + dec("1e127")).isNaN());
    // Rounding that carries past the largest value overflows as well.
    EXPECT_TRUE(dec("99999999999999999999999999999999999999.5e127").isNaN());
    // Below 10^-128 the operation's mode rounds.
    EXPECT_EQ(dec("1e-100").multiply(dec("1e-100"), DecimalRounding{RoundingMode::Up, 200}), dec("1e-128"));
    EXPECT_TRUE(dec("1e-100").multiply(dec("1e-100"), DecimalRounding{RoundingMode::Down, 200}).isZero());
}

TEST(DecimalArithmetic, Divide) {
    EXPECT_EQ((dec("1") / dec("3")).toString(), "0." + std::string(38, '3'));
    EXPECT_EQ((dec("2") / dec("3")).toString(), "0." + std::string(37, '6') + "7");
    EXPECT_EQ((dec("-1") / dec("3")).toString(), "-0." + std::string(38, '3'));
    EXPECT_EQ((dec("1") / dec("8")).toString(), "0.125");
    EXPECT_EQ((dec("10") / dec("4")).toString(), "2.5");
    EXPECT_EQ((dec("0.3") / dec("0.1")).toString(), "3");
    EXPECT_EQ((dec("1.2345") / dec("0.0005")).toString(), "2469");
    EXPECT_EQ((dec("0") / dec("-5")).toString(), "0");
    // Long products and divisors past 64 bits are among the Python vectors.
}

TEST(DecimalArithmetic, DivideByZeroAndNaNGiveNaN) {
    EXPECT_TRUE((dec("1") / dec("0")).isNaN());
    EXPECT_TRUE((dec("0") / dec("0")).isNaN());
    EXPECT_TRUE(dec("-7").divide(dec("0"), DecimalRounding{RoundingMode::Down, 0}).isNaN());
    const Decimal nan = Decimal::notANumber();
    for (const Decimal& r :
         {nan + dec("1"), dec("1") - nan, nan * dec("0"), nan / dec("1"), -nan, nan.rounded(2)})
        EXPECT_TRUE(r.isNaN());
}

TEST(DecimalArithmetic, RoundedToScale) {
    for (const auto& row : testing_support::caseTable("tables/decimal_rounded.txt", 4))
        EXPECT_EQ(dec(row[0].c_str()).rounded(std::stoi(row[1]), mode(row[2][0])).toString(), row[3])
            << "line " << row.line;
    Decimal z = dec("-0.4").rounded(0);
    EXPECT_EQ(z.toString(), "0");
    EXPECT_FALSE(z.isNegative());
    EXPECT_TRUE(dec("123.456").rounded(-1000, RoundingMode::Up).isNaN()); // 10^1000
}

struct PythonVector {
    const char* a;
    const char* b;
    const char* sum;
    const char* difference;
    const char* product;
    const char* quotient;
};

const PythonVector kPythonVectors[] = {
#include "decimal_vectors.inc"
};

TEST(DecimalArithmetic, MatchesPythonDecimalModule) {
    for (const auto& v : kPythonVectors) {
        const Decimal a = dec(v.a), b = dec(v.b);
        EXPECT_EQ(a + b, dec(v.sum)) << v.a << " + " << v.b << " = " << (a + b).toString();
        EXPECT_EQ(a - b, dec(v.difference)) << v.a << " - " << v.b << " = " << (a - b).toString();
        EXPECT_EQ(a * b, dec(v.product)) << v.a << " * " << v.b << " = " << (a * b).toString();
        EXPECT_EQ(a / b, dec(v.quotient)) << v.a << " / " << v.b << " = " << (a / b).toString();
    }
}

struct RoundingVector {
    const char* a;
    char operation;
    const char* b;
    char mode;
    int scale;
    const char* result;
};

const RoundingVector kRoundingVectors[] = {
#include "decimal_rounding_vectors.inc"
};

TEST(DecimalArithmetic, ScaledResultsMatchPythonDecimalModule) {
    for (const auto& v : kRoundingVectors) {
        const Decimal a = dec(v.a), b = dec(v.b);
        const DecimalRounding r{mode(v.mode), v.scale};
        const Decimal got = v.operation == '+'   ? a.add(b, r)
                            : v.operation == '-' ? a.subtract(b, r)
                            : v.operation == '*' ? a.multiply(b, r)
                                                 : a.divide(b, r);
        EXPECT_EQ(got, dec(v.result)) << v.a << ' ' << v.operation << ' ' << v.b << ' ' << v.mode << ' '
                                      << v.scale << " gave " << got.toString();
    }
}

// Independent oracle: small operands as scaled __int128 integers.
struct Scaled {
    __int128 m;
    int e;
};

Decimal toDecimal(Scaled s) {
    return Decimal::fromParts(s.m < 0, static_cast<u128>(s.m < 0 ? -s.m : s.m), s.e);
}

__int128 roundedQuotient(__int128 n, __int128 d, RoundingMode mode) {
    if (d < 0) {
        n = -n;
        d = -d;
    }
    __int128 q = n / d, r = n % d; // truncated
    if (r == 0)
        return q;
    const bool negative = n < 0;
    const __int128 twice = 2 * (r < 0 ? -r : r);
    const __int128 away = negative ? q - 1 : q + 1;
    switch (mode) {
    case RoundingMode::Plain:
        return twice >= d ? away : q;
    case RoundingMode::Bankers:
        return twice > d || (twice == d && q % 2 != 0) ? away : q;
    case RoundingMode::Down:
        return negative ? q - 1 : q;
    case RoundingMode::Up:
        return negative ? q : q + 1;
    }
    return q;
}

TEST(DecimalArithmetic, RandomAgainstScaledIntegers) {
    std::mt19937_64 rng(12345);
    auto draw = [&] {
        std::uniform_int_distribution<std::int64_t> mant(-1'000'000'000'000, 1'000'000'000'000);
        std::uniform_int_distribution<int> digits(1, 12), exp(-8, 4);
        std::int64_t m = mant(rng) % static_cast<std::int64_t>(pow10(digits(rng)));
        return Scaled{m, exp(rng)};
    };
    for (int i = 0; i < 20000; ++i) {
        const Scaled a = draw(), b = draw();
        const Decimal da = toDecimal(a), db = toDecimal(b);
        ASSERT_EQ(Decimal::fromString(da.toString()), da);

        const int e = std::min(a.e, b.e);
        const __int128 am = a.m * static_cast<__int128>(pow10(a.e - e));
        const __int128 bm = b.m * static_cast<__int128>(pow10(b.e - e));
        ASSERT_EQ(da + db, toDecimal({am + bm, e})) << da.toString() << " + " << db.toString();
        ASSERT_EQ(da - db, toDecimal({am - bm, e})) << da.toString() << " - " << db.toString();
        ASSERT_EQ(da * db, toDecimal({a.m * b.m, a.e + b.e})) << da.toString() << " * " << db.toString();
        ASSERT_EQ(da.compare(db), am <=> bm) << da.toString() << " <=> " << db.toString();
        if (b.m == 0)
            continue;
        // a / b at scale s: (a.m * 10^(a.e - b.e + s)) / b.m, rounded.
        const int scale = static_cast<int>(rng() % 7);
        const int shift = a.e - b.e + scale;
        __int128 n = a.m, d = b.m;
        if (shift >= 0)
            n *= static_cast<__int128>(pow10(shift));
        else
            d *= static_cast<__int128>(pow10(-shift));
        for (RoundingMode mode : kModes) {
            ASSERT_EQ(da.divide(db, DecimalRounding{mode, scale}),
                      toDecimal({roundedQuotient(n, d, mode), -scale}))
                << da.toString() << " / " << db.toString() << " scale " << scale << " mode "
                << static_cast<int>(mode);
        }
    }
}

} // namespace
