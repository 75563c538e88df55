#include "gui/controls/input_rules.h"

#include <gtest/gtest.h>

namespace tc::gui {
namespace {

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
