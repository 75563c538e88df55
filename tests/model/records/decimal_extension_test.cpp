#include "model/records/decimal_extension.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

namespace {

using namespace tc;
using platform::Decimal;

Decimal dec(const char* text) {
    auto d = Decimal::fromString(text);
    EXPECT_TRUE(d.has_value()) << text;
    return d.value_or(Decimal::notANumber());
}

std::string mod(const char* receiver, const char* divisor) {
    return moduloFor(dec(receiver), dec(divisor)).toString();
}

TEST(DecimalExtension, PricesOnTheTickGridLeaveNothing) {
    EXPECT_TRUE(moduloFor(dec("0.3"), dec("0.1")).isZero());
    EXPECT_EQ(moduloFor(dec("0.3"), dec("0.1")), Decimal());
    EXPECT_EQ(mod("1.2345", "0.0005"), "0");
    EXPECT_EQ(mod("1.23455", "0.00005"), "0");
    EXPECT_EQ(mod("1.23456", "0.00005"), "0.00001");
    EXPECT_EQ(mod("150.25", "0.25"), "0");
    EXPECT_EQ(mod("0", "0.5"), "0");
    // Exponents of receiver and divisor far apart.
    EXPECT_EQ(mod("123456789000", "0.000001"), "0");
    EXPECT_EQ(mod("0.0000001", "1000"), "0.0000001");
}

TEST(DecimalExtension, RemainderTakesTheReceiversSign) {
    EXPECT_EQ(mod("10", "3"), "1");
    EXPECT_EQ(mod("-7", "2"), "-1");
    EXPECT_EQ(mod("7", "-2"), "1");
    EXPECT_EQ(mod("-7", "-2"), "-1");
    EXPECT_EQ(mod("5.5", "2"), "1.5");
    EXPECT_EQ(mod("-5.5", "2"), "-1.5");
    EXPECT_EQ(mod("-5.5", "-2"), "-1.5");
    EXPECT_EQ(mod("5.5", "-2"), "1.5");
    EXPECT_EQ(mod("2", "7"), "2");
    EXPECT_EQ(mod("-2.5", "1.5"), "-1");
}

TEST(DecimalExtension, FractionalNegativeOperandsHaveIntegerPartZero) {
    // -0.35 has integer part 0, which is not negative: same "sign" as 0.1, quotient floored
    // (-3.5 -> -4), remainder -0.35 + 0.4.
    EXPECT_EQ(mod("-0.35", "0.1"), "0.05");
    EXPECT_EQ(mod("-1.35", "0.1"), "-0.05"); // integer part -1: truncated
    EXPECT_EQ(mod("3.2", "-0.5"), "-0.3");   // quotient -6.4 floored to -7
    EXPECT_EQ(mod("-0.3", "0.1"), "0");      // still exact on the grid
}

TEST(DecimalExtension, IntegerPartsBeyondThirtyTwoBitsKeepTheirSign) {
    // A wrapped 32-bit value of 3e9 would be negative and turn the quotient up.
    EXPECT_EQ(mod("3000000000", "7"), "4");
    EXPECT_EQ(mod("-3000000000", "7"), "-4");
    EXPECT_EQ(mod("3000000000", "-7"), "4");
    EXPECT_EQ(mod("1e30", "7"), "1"); // 10^30 = 1 (mod 7) since 10^6 = 1 (mod 7)
}

TEST(DecimalExtension, ZeroDivisorAndNaNGiveNaN) {
    EXPECT_TRUE(moduloFor(dec("5"), Decimal()).isNaN());
    EXPECT_TRUE(moduloFor(Decimal(), Decimal()).isNaN());
    EXPECT_TRUE(moduloFor(Decimal::notANumber(), dec("1")).isNaN());
    EXPECT_TRUE(moduloFor(dec("1"), Decimal::notANumber()).isNaN());
    // A divisor too small for six decimals reads as 0.
    EXPECT_TRUE(moduloForDouble(dec("1"), 1e-7).isNaN());
}

TEST(DecimalExtension, DoubleDivisorIsReadAsSixDecimals) {
    EXPECT_EQ(moduloForDouble(dec("1.23455"), 0.00005).toString(), "0");
    EXPECT_EQ(moduloForDouble(dec("0.3"), 0.1).toString(), "0");
    EXPECT_EQ(moduloForDouble(dec("1.001"), 0.25).toString(), "0.001");
    // 0.1234567 prints as 0.123457.
    EXPECT_EQ(moduloForDouble(dec("0.246914"), 0.1234567).toString(), "0");
}

TEST(DecimalExtension, DecimalPlaces) {
    EXPECT_EQ(decimalPlaces(dec("12.345")).toString(), "0.345");
    EXPECT_EQ(decimalPlaces(dec("-12.345")).toString(), "-0.345");
    EXPECT_EQ(decimalPlaces(dec("7")).toString(), "0");
    EXPECT_EQ(decimalPlaces(dec("0.25")).toString(), "0.25");
    EXPECT_EQ(decimalPlaces(dec("-0.25")).toString(), "0.75"); // integer part 0: floored
}

TEST(DecimalExtension, AbsoluteGreaterSmaller) {
    EXPECT_EQ(absoluteNumber(dec("-2.5")).toString(), "2.5");
    EXPECT_EQ(absoluteNumber(dec("2.5")).toString(), "2.5");
    EXPECT_EQ(absoluteNumber(Decimal()).toString(), "0");
    EXPECT_TRUE(absoluteNumber(Decimal::notANumber()).isNaN());

    EXPECT_EQ(greaterNumber(dec("1"), dec("2")).toString(), "2");
    EXPECT_EQ(greaterNumber(dec("-1"), dec("-2")).toString(), "-1");
    EXPECT_EQ(smallerNumber(dec("1"), dec("2")).toString(), "1");
    EXPECT_EQ(smallerNumber(dec("-1"), dec("-2")).toString(), "-2");
    EXPECT_EQ(greaterNumber(dec("1.0"), dec("1")), dec("1"));
    // NaN compares smallest.
    EXPECT_EQ(greaterNumber(Decimal::notANumber(), dec("-5")).toString(), "-5");
    EXPECT_EQ(greaterNumber(dec("-5"), Decimal::notANumber()).toString(), "-5");
    EXPECT_TRUE(smallerNumber(dec("-5"), Decimal::notANumber()).isNaN());
    EXPECT_TRUE(smallerNumber(Decimal::notANumber(), dec("-5")).isNaN());
}

// Oracle over scaled integers: receiver r * 10^-p, divisor d * 10^-p.
std::int64_t expectedRemainder(std::int64_t r, std::int64_t d, std::int64_t unit) {
    const bool receiverNegative = r / unit < 0; // integer parts, truncated
    const bool divisorNegative = d / unit < 0;
    std::int64_t q = r / d;
    const std::int64_t rem = r % d;
    if (rem != 0) {
        const bool exactQuotientNegative = (r < 0) != (d < 0);
        if (receiverNegative != divisorNegative) { // ceiling
            if (!exactQuotientNegative)
                ++q;
        } else if (exactQuotientNegative) { // floor
            --q;
        }
    }
    return r - q * d;
}

TEST(DecimalExtension, RandomAgainstScaledIntegers) {
    std::mt19937_64 rng(777);
    std::uniform_int_distribution<std::int64_t> receivers(-1'000'000'000'000, 1'000'000'000'000);
    std::uniform_int_distribution<std::int64_t> divisors(-10'000'000, 10'000'000);
    std::uniform_int_distribution<int> places(0, 8);
    for (int i = 0; i < 20000; ++i) {
        std::int64_t r = receivers(rng) >> (rng() % 40);
        std::int64_t d = divisors(rng) >> (rng() % 20);
        if (d == 0)
            continue;
        if (i % 3 == 0)
            r = (r / d) * d; // on the grid
        const int p = places(rng);
        std::int64_t unit = 1;
        for (int k = 0; k < p; ++k)
            unit *= 10;
        const Decimal receiver =
            Decimal::fromParts(r < 0, static_cast<unsigned __int128>(r < 0 ? -r : r), -p);
        const Decimal divisor = Decimal::fromParts(d < 0, static_cast<unsigned __int128>(d < 0 ? -d : d), -p);
        const std::int64_t e = expectedRemainder(r, d, unit);
        const Decimal expected =
            Decimal::fromParts(e < 0, static_cast<unsigned __int128>(e < 0 ? -e : e), -p);
        ASSERT_EQ(moduloFor(receiver, divisor), expected)
            << receiver.toString() << " mod " << divisor.toString();
    }
}

} // namespace
