#include "gui/controls/input_rules.h"

#include <gtest/gtest.h>

namespace tc::gui {
namespace {

TEST(InputRules, DecimalFieldsJudgeTheWholeResultingText) {
    EXPECT_TRUE(isDecimalText(""));
    EXPECT_TRUE(isDecimalText("1.5"));
    EXPECT_TRUE(isDecimalText(".5"));
    EXPECT_FALSE(isDecimalText("1.5."));  // a typed second point
    EXPECT_FALSE(isDecimalText("1.2.3")); // the same pasted at once
    EXPECT_FALSE(isDecimalText("1,5"));
    EXPECT_FALSE(isDecimalText("-1"));
}

TEST(InputRules, AmountFieldsCountDecimalsAndJudgeTheResultingText) {
    EXPECT_EQ(decimalPlacesOf("12.50"), 2u);
    EXPECT_EQ(decimalPlacesOf("12."), 0u);
    EXPECT_EQ(decimalPlacesOf("12"), 0u);
    EXPECT_EQ(decimalPlacesOf("1.2.3"), 0u); // two points count none

    EXPECT_TRUE(isAmountText("123", 2));  // 12 takes a typed 3
    EXPECT_TRUE(isAmountText("12.", 2));  // or a point
    EXPECT_TRUE(isAmountText("12.5", 2)); // or a 5 after it
    EXPECT_FALSE(isAmountText("12.5.", 2));
    EXPECT_FALSE(isAmountText("12.505", 2)); // a third decimal, typed or pasted
    EXPECT_TRUE(isAmountText("912.50", 2));  // a digit before the point leaves two decimals
    EXPECT_TRUE(isAmountText("12.5", 2));    // 12.50 after a deletion
    EXPECT_FALSE(isAmountText("21.5.5", 2)); // 1.5 pasted into 2.5 leaves two points: refused
    EXPECT_FALSE(isAmountText("1.2.3", 2));
    EXPECT_FALSE(isAmountText("1a", 2));
    EXPECT_TRUE(isAmountText("1.23456", 5)); // a price field at the instrument's decimals
    EXPECT_FALSE(isAmountText("1.5", 0));
    EXPECT_TRUE(isAmountText("", 2));
}

TEST(InputRules, PortFieldTakesAtMostFiveDigits) {
    EXPECT_TRUE(isPortText("65535"));
    EXPECT_TRUE(isPortText(""));
    EXPECT_FALSE(isPortText("123456"));
    EXPECT_FALSE(isPortText("51 0"));
}

TEST(PriceHighlight, BigFigureAndRaisedDigitsAroundThePoint) {
    // 1.23456 with two big and one small digit: "45" big, "6" small, the point stays after "1".
    const PriceHighlight h = priceHighlight("1.23456", 2, 1);
    EXPECT_EQ(h.text, "1.23456");
    EXPECT_EQ(h.text.substr(h.bigStart, h.bigLength), "45");
    EXPECT_EQ(h.text.substr(h.smallStart, h.smallLength), "6");

    const PriceHighlight yen = priceHighlight("151.235", 2, 1); // the point inside the big figure
    EXPECT_EQ(yen.text.substr(yen.bigStart, yen.bigLength), "23");
    const PriceHighlight across = priceHighlight("151.235", 4, 1);
    EXPECT_EQ(across.text.substr(across.bigStart, across.bigLength), "51.23");
}

TEST(PriceHighlight, NoPointNoHighlightAndLengthsBeyondTheDigitsAreCut) {
    const PriceHighlight plain = priceHighlight("1234", 0, 0);
    EXPECT_EQ(plain.bigLength + plain.smallLength, 0u);
    const PriceHighlight whole = priceHighlight("1234", 2, 2);
    EXPECT_EQ(whole.text.substr(whole.bigStart, whole.bigLength), "12");
    // More digits asked than the price has: the small ones first, the big ones take the rest.
    const PriceHighlight cut = priceHighlight("1.5", 4, 1);
    EXPECT_EQ(cut.text.substr(cut.bigStart, cut.bigLength), "1");
    EXPECT_EQ(cut.text.substr(cut.smallStart, cut.smallLength), "5");
    EXPECT_EQ(priceHighlight("7", 0, 9).smallLength, 1u);
}

} // namespace
} // namespace tc::gui
