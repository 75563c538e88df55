#include "platform/amount_text.h"

#include "platform/decimal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

using tc::platform::amountText;
using tc::platform::Decimal;

// An amount reads the same whether the grids' double or the statement's decimal carries it.
TEST(AmountText, AHalfCentReadsAlikeAsADoubleAndAsADecimal) {
    struct Case {
        const char* decimal;
        const char* shown;
    };
    // 10.125 is an exact double; 0.145, 2.675 and 1.005 are not (each a little below its decimal).
    for (const Case c : {Case{"10.125", "10.13"}, Case{"-10.125", "-10.13"}, Case{"0.145", "0.15"},
                         Case{"2.675", "2.68"}, Case{"1.005", "1.01"}, Case{"-0.005", "-0.01"},
                         Case{"1234567.125", "1,234,567.13"}, Case{"0.124", "0.12"}}) {
        const Decimal decimal = *Decimal::fromString(c.decimal);
        EXPECT_EQ(amountText(decimal), c.shown) << c.decimal;
        EXPECT_EQ(amountText(decimal.toDouble()), c.shown) << c.decimal;
    }
}

TEST(AmountText, ATinyLossReadsZeroWithoutASign) {
    for (const double tiny : {-0.001, -0.0049999, -0.0, -1e-300})
        EXPECT_EQ(amountText(tiny), "0.00") << tiny;
    EXPECT_EQ(amountText(*Decimal::fromString("-0.004")), "0.00");
}

TEST(AmountText, LargeAndNonFiniteDoubles) {
    EXPECT_EQ(amountText(1e20), "100,000,000,000,000,000,000.00");
    EXPECT_EQ(amountText(-1.5e-7), "0.00");
    // Past the decimal range the double is printed whole, grouped: 200 digits and 66 commas.
    const std::string huge = amountText(1e200);
    EXPECT_EQ(huge.substr(0, 7), "99,999,");
    EXPECT_EQ(huge.size(), 200u + 66u + 3u);
    EXPECT_EQ(huge.substr(huge.size() - 3), ".00");
    EXPECT_EQ(amountText(std::nan("")), "nan");
    EXPECT_EQ(amountText(-INFINITY), "-inf");
}

} // namespace
