#include "platform/lenient.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace {

using namespace tc;

using platform::lenientFlag;
using platform::lenientInteger;
using platform::lenientReal;
using platform::trimBlanks;

TEST(Lenient, NumbersAreTheLeadingNumberOrZero) {
    EXPECT_EQ(lenientInteger("5000"), 5000);
    EXPECT_EQ(lenientInteger("  -42abc"), -42);
    EXPECT_EQ(lenientInteger("+7"), 7);
    EXPECT_EQ(lenientInteger("abc"), 0);
    EXPECT_EQ(lenientInteger(""), 0);
    EXPECT_EQ(lenientInteger("-"), 0);
    EXPECT_EQ(lenientInteger("12.9"), 12);
    EXPECT_EQ(lenientInteger("99999999999999999999"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(lenientInteger("-9223372036854775808"), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(lenientInteger("-99999999999999999999"), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(lenientInteger("9223372036854775807"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(lenientInteger("-9223372036854775807"), std::numeric_limits<std::int64_t>::min() + 1);
    EXPECT_EQ(lenientInteger("-9223372036854775809"), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(lenientInteger("-922337203685477581"), -922337203685477581);

    EXPECT_DOUBLE_EQ(lenientReal("1.25xyz"), 1.25);
    EXPECT_DOUBLE_EQ(lenientReal("\t-0.5"), -0.5);
    EXPECT_DOUBLE_EQ(lenientReal("+3"), 3.0);
    EXPECT_DOUBLE_EQ(lenientReal("x1"), 0.0);
}

TEST(Lenient, FlagsReadTheFirstSignificantCharacter) {
    for (const char* yes : {"Y", "yes", "T", "true", "1", "9", " 007", "-1"})
        EXPECT_TRUE(lenientFlag(yes)) << yes;
    for (const char* no : {"", "N", "false", "0", "000", "no", " ", "-", "x"})
        EXPECT_FALSE(lenientFlag(no)) << no;
}

TEST(Lenient, TrimBlanksTakesBlanksFromBothEnds) {
    EXPECT_EQ(trimBlanks(" \t1 000\r\n"), "1 000");
    EXPECT_EQ(trimBlanks(" \f\v "), "");
    EXPECT_EQ(trimBlanks("x"), "x");
}

} // namespace

namespace {

// The general reading: std::from_chars after blanks and one '+'.
double referenceReal(std::string_view s) {
    s = platform::skipBlanks(s);
    if (!s.empty() && s[0] == '+')
        s.remove_prefix(1);
    double d = 0;
    auto r = std::from_chars(s.data(), s.data() + s.size(), d);
    return r.ec == std::errc() ? d : 0.0;
}

} // namespace

TEST(Lenient, ShortDecimalsReadExactlyAsTheGeneralReader) {
    // Plain decimals take a shortcut; every text must still read to the very same double.
    for (std::string_view text : {"0.00001",
                                  "-12.25",
                                  "100000",
                                  "1.10017",
                                  "0.1",
                                  "-0",
                                  "-.5",
                                  "1.",
                                  ".",
                                  "-",
                                  "999999999999999",
                                  "9999999999999999",
                                  "0.000000000000001",
                                  "1.5e3",
                                  "1.5E-3",
                                  "12.34.56",
                                  "--1",
                                  "+-1",
                                  "7x",
                                  "3.14159265358979",
                                  "2150.60"}) {
        const double got = lenientReal(text);
        const double want = referenceReal(text);
        EXPECT_EQ(std::memcmp(&got, &want, sizeof got), 0) << text;
    }
    std::mt19937 rng(12345);
    const std::string alphabet = "0123456789012345678901234567890123456789..-eE +x";
    for (int n = 0; n < 200000; ++n) {
        std::string text(1 + rng() % 20, ' ');
        for (char& c : text)
            c = alphabet[rng() % alphabet.size()];
        const double got = lenientReal(text);
        const double want = referenceReal(text);
        ASSERT_EQ(std::memcmp(&got, &want, sizeof got), 0) << text;
    }
}
