#include "platform/compact_decimal.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <compare>
#include <cstdint>
#include <random>
#include <string>

namespace {

using namespace tc;
using platform::CompactDecimal;
using platform::Decimal;

Decimal dec(const char* text) {
    auto d = Decimal::fromString(text);
    EXPECT_TRUE(d.has_value()) << text;
    return d.value_or(Decimal::notANumber());
}

std::string compactText(const char* text) {
    return CompactDecimal(dec(text)).toString();
}

// A value of 1 to 16 random digits anywhere in the exponent range, either sign.
Decimal randomValue(std::mt19937_64& rng) {
    const int digits = std::uniform_int_distribution<int>(1, CompactDecimal::kMaxDigits)(rng);
    std::uint64_t limit = 1;
    for (int i = 0; i < digits; ++i)
        limit *= 10;
    const std::uint64_t mantissa = std::uniform_int_distribution<std::uint64_t>(0, limit - 1)(rng);
    const int exponent =
        std::uniform_int_distribution<int>(Decimal::kMinExponent, Decimal::kMaxExponent)(rng);
    return Decimal::fromParts((rng() & 1) != 0, mantissa, exponent);
}

TEST(CompactDecimal, SixteenDigitsAndTheExponentLimitsRoundTripExactly) {
    static_assert(sizeof(CompactDecimal) == 8);
    for (const char* text :
         {"9999999999999999", "-9999999999999999", "0.0000000000000001", "-1234567.890123456", "0", "1", "-1",
          "12345678901234560000", "1e127", "9999999999999999e127", "-1e-128", "9999999999999999e-128"}) {
        const CompactDecimal c(dec(text));
        EXPECT_EQ(c.toDecimal(), dec(text)) << text;
        EXPECT_EQ(c.toString(), dec(text).toString()) << text;
        EXPECT_EQ(c.toDouble(), dec(text).toDouble()) << text;
    }
    EXPECT_EQ(-CompactDecimal(dec("9999999999999999e127")), CompactDecimal(dec("-9999999999999999e127")));
    EXPECT_EQ(-CompactDecimal(dec("-0.5")), CompactDecimal(dec("0.5")));
    EXPECT_TRUE((-CompactDecimal::notANumber()).isNaN());
    EXPECT_TRUE(CompactDecimal(dec("-0")).isZero());
    EXPECT_FALSE(CompactDecimal(dec("-0")).isNegative());
    EXPECT_TRUE(CompactDecimal().isZero());
    // A value that keeps trailing zeros at the top exponent keeps them here too.
    EXPECT_EQ(CompactDecimal(dec("1000e127")).toDecimal(), dec("1000e127"));
}

TEST(CompactDecimal, LongerValuesRoundPlainToSixteenDigitsOrOverflowToNaN) {
    EXPECT_EQ(compactText("12345678901234565"), "12345678901234570");
    EXPECT_EQ(compactText("-12345678901234565"), "-12345678901234570");
    EXPECT_EQ(compactText("1.2345678901234564"), "1.234567890123456");
    EXPECT_EQ(compactText("99999999999999995"), "100000000000000000");
    EXPECT_EQ(compactText("0.99999999999999995"), "1");
    EXPECT_EQ(compactText("-1234567890123456789.0123456789012345678"), "-1234567890123457000");
    EXPECT_EQ(compactText("12345678901234567e-128"), dec("1234567890123457e-127").toString());
    // Sixteen digits past the top exponent cannot be written.
    EXPECT_TRUE(CompactDecimal(dec("12345678901234567e127")).isNaN());
    EXPECT_TRUE(CompactDecimal(dec("99999999999999999e126")).isNaN());
    EXPECT_TRUE(CompactDecimal(Decimal::notANumber()).isNaN());
    EXPECT_TRUE(CompactDecimal::notANumber().toDecimal().isNaN());
    EXPECT_EQ(CompactDecimal::notANumber().toString(), "NaN");
    EXPECT_TRUE(std::isnan(CompactDecimal::notANumber().toDouble()));
    EXPECT_FALSE(CompactDecimal::notANumber().isNegative());
    EXPECT_FALSE(CompactDecimal::notANumber().isPositive());
    EXPECT_EQ(CompactDecimal::notANumber().mantissa(), 0);
}

TEST(CompactDecimal, TextsReadAsDecimalReadsThem) {
    for (const char* text : {"1.23455", "-0.00005", "27150.50000", "100", "-0", "0.0", "007.10", "1.",
                             "9999999999999999", "99999999999999999", "1234567890123456789", "-.5"}) {
        const auto plain = CompactDecimal::fromPlainText(text);
        ASSERT_TRUE(plain.has_value()) << text;
        EXPECT_EQ(*plain, CompactDecimal(dec(text))) << text;
        EXPECT_EQ(plain->toString(), CompactDecimal(dec(text)).toString()) << text;
    }
    // Other forms are the general reading's.
    for (const char* text : {"+1", " 1", "1e5", "", "-", ".", "1.2.3", "12345678901234567890", "NaN", "1x"})
        EXPECT_FALSE(CompactDecimal::fromPlainText(text).has_value()) << text;
    EXPECT_EQ(CompactDecimal::fromString(" +1.5e3 "), CompactDecimal(dec("1500")));
    EXPECT_EQ(CompactDecimal::fromString("12345678901234567890"),
              CompactDecimal(dec("12345678901234570000")));
    EXPECT_TRUE(CompactDecimal::fromString("nan")->isNaN());
    EXPECT_FALSE(CompactDecimal::fromString("1,5").has_value());
}

TEST(CompactDecimal, LongPlainTextsRoundAsTheWideDecimalRoundsThem) {
    // 17 to 19 digits with the point anywhere: exact halves, runs of nines that carry, and the
    // shortest texts of doubles, which carry 17 digits of noise.
    std::mt19937_64 rng(20261208);
    for (int i = 0; i < 20000; ++i) {
        const int digits = std::uniform_int_distribution<int>(17, 19)(rng);
        std::string text;
        for (int d = 0; d < digits; ++d)
            text += static_cast<char>('0' + rng() % 10);
        switch (i % 4) {
        case 1: // a half at the 17th digit
            text.replace(16, std::string::npos,
                         "5" + std::string(static_cast<std::size_t>(digits - 17), '0'));
            break;
        case 2: // nines that carry into a 17th digit
            text.replace(0, 16, std::string(16, '9'));
            break;
        case 3: { // the digits of a double's shortest text
            char buffer[32];
            const auto end = std::to_chars(buffer, buffer + sizeof buffer, 1.0 + i * 0.00013).ptr;
            text.assign(buffer, end);
            std::erase(text, '.');
            break;
        }
        default:
            break;
        }
        const std::size_t point = rng() % (text.size() + 1);
        if (point < text.size())
            text.insert(point, ".");
        if (rng() & 1)
            text.insert(0, "-");
        const auto plain = CompactDecimal::fromPlainText(text);
        ASSERT_TRUE(plain.has_value()) << text;
        ASSERT_EQ(*plain, CompactDecimal(dec(text.c_str()))) << text;
    }
}

TEST(CompactDecimal, WholeUnitsGiveTheCanonicalValue) {
    // The feed's units of 10^-6: trailing zeros fold away, so equal prices have equal bits.
    EXPECT_EQ(CompactDecimal::fromUnits(1'234'500, -6), CompactDecimal(dec("1.2345")));
    EXPECT_EQ(CompactDecimal::fromUnits(1'234'500, -6).exponent(), -4);
    EXPECT_EQ(CompactDecimal::fromUnits(-50, -6), CompactDecimal(dec("-0.00005")));
    EXPECT_EQ(CompactDecimal::fromUnits(0, -6), CompactDecimal());
    EXPECT_TRUE(CompactDecimal::fromUnits(0, -6).isZero());
    EXPECT_FALSE(CompactDecimal::fromUnits(0, -6).isPositive());
    const std::int64_t below2To53 = (std::int64_t{1} << 53) - 1;
    EXPECT_EQ(CompactDecimal::fromUnits(below2To53, -6), CompactDecimal(dec("9007199254.740991")));
    EXPECT_EQ(CompactDecimal::fromUnits(-below2To53, -6).toString(), "-9007199254.740991");

    // Every count of trailing zeros a 16-digit mantissa can carry, odd and even, either sign, and
    // multiples of 2 or 5 alone that must keep their digits.
    for (const std::int64_t digits : {1LL, 7LL, 25LL, 4LL, 125LL, 2LL, 5LL, 1234567LL}) {
        std::int64_t units = digits;
        for (int zeros = 0; units <= CompactDecimal::kMaxMantissa; ++zeros, units *= 10) {
            for (const std::int64_t signedUnits : {units, -units}) {
                const CompactDecimal c = CompactDecimal::fromUnits(signedUnits, -6);
                const Decimal expected =
                    Decimal::fromParts(signedUnits < 0, static_cast<std::uint64_t>(units), -6);
                EXPECT_EQ(c, CompactDecimal(expected)) << signedUnits;
                EXPECT_EQ(c.mantissa(), signedUnits < 0 ? -digits : digits) << signedUnits;
                EXPECT_EQ(c.exponent(), zeros - 6) << signedUnits;
            }
            if (units > CompactDecimal::kMaxMantissa / 10)
                break;
        }
    }
    // Zeros fold only while the exponent has room; the rest stay in the mantissa.
    EXPECT_EQ(CompactDecimal::fromUnits(12'000, 125).mantissa(), 120);
    EXPECT_EQ(CompactDecimal::fromUnits(12'000, 125).exponent(), 127);
    EXPECT_EQ(CompactDecimal::fromUnits(-1'000, 126).mantissa(), -100);
    EXPECT_EQ(CompactDecimal::fromUnits(5'000, 127).mantissa(), 5'000);
}

TEST(CompactDecimal, AgreesWithDecimalOnTextDoubleAndOrder) {
    std::mt19937_64 rng(20261208);
    for (int i = 0; i < 20000; ++i) {
        const Decimal a = randomValue(rng);
        // Half the pairs share the leading digit's place, where the mantissas decide.
        Decimal b = randomValue(rng);
        if (i % 2 == 0 && !a.isZero())
            b = a.add(Decimal::fromParts(false, rng() % 1000, a.exponent()));
        const CompactDecimal ca(a);
        const CompactDecimal cb(b);
        ASSERT_EQ(ca.toDecimal(), a) << a.toString();
        ASSERT_EQ(ca.toString(), a.toString());
        ASSERT_EQ(ca.toDouble(), a.toDouble()) << a.toString();
        ASSERT_EQ(ca.isNegative(), a.isNegative());
        ASSERT_EQ(ca.isPositive(), a > Decimal()) << a.toString();
        if (!cb.isNaN() && cb.toDecimal() == b) {
            ASSERT_EQ(ca <=> cb, a <=> b) << a.toString() << " " << b.toString();
        }
    }
    const CompactDecimal nan = CompactDecimal::notANumber();
    EXPECT_EQ(nan, CompactDecimal::notANumber());
    EXPECT_LT(nan, CompactDecimal(dec("-9999999999999999e127")));
    EXPECT_GT(CompactDecimal(), nan);
    EXPECT_LT(CompactDecimal(dec("-2")), CompactDecimal(dec("-1.5")));
    EXPECT_LT(CompactDecimal(dec("0.5")), CompactDecimal(dec("5")));
    // Widening takes part in Decimal arithmetic and comparison as it is.
    EXPECT_EQ(CompactDecimal(dec("1.5")) * dec("2"), dec("3"));
    EXPECT_GT(CompactDecimal(dec("0.01")), Decimal());
}

} // namespace
