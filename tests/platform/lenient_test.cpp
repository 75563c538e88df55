#include "platform/lenient.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

using platform::lenientFlag;
using platform::lenientInteger;
using platform::lenientReal;

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

} // namespace
