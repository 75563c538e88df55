#include "model/records/order.h"

#include "support/decimal_literal.h"
#include "support/temp_resources.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace {

using tc::testing_support::operator""_cdec;
using tc::testing_support::operator""_dec;
// A decimal written in the test; "" is 0.
[[maybe_unused]] tc::platform::Decimal dec(std::string_view text) {
    return tc::platform::Decimal::fromString(text).value_or(tc::platform::Decimal());
}

using namespace tc;

using OrderSideTexts = ::testing::Test;

TEST_F(OrderSideTexts, ShortExpandedAndUnknownSides) {
    testing_support::ScopedResources resources("0009\tTo buy\n0010\tTo sell\n");
    EXPECT_EQ(Order::GetTradingModeString(0, false, 0), "B");
    EXPECT_EQ(Order::GetTradingModeString(1, false, 0), "S");
    EXPECT_EQ(Order::GetTradingModeString(0, true, 0), "To buy");
    EXPECT_EQ(Order::GetTradingModeString(1, true, 0), "To sell");
    EXPECT_EQ(Order::GetTradingModeString(2, true, 0), "");
    EXPECT_EQ(Order::GetTradingModeString(-1, false, 0), "");
    // A language whose folder is missing (1, "zh-Hans", here) keeps the short form.
    EXPECT_EQ(Order::GetTradingModeString(1, true, 1), "S");
}

} // namespace

#include "model/records/group_details.h"
#include "model/records/item_details.h"

namespace {

using platform::Decimal;

// Fixed amounts per lot: initial 1000, sell 1500, intraday 250, BTST 400; contract 100000.
class MarginOfOneLot : public ::testing::Test {
protected:
    void SetUp() override {
        settings.InitialMargin = 1000_cdec;
        settings.InitialSellMargin = 1500_cdec;
        settings.IntradayOrderMargin = 250_cdec;
        settings.BTSTOrderMargin = 400_cdec;
        settings.marginCalculationMode = 1;
        item.ContractSize = 100000_cdec;
    }
    std::string margin(const Order& order) const {
        const auto m = order.GetMarginForSingleLot(&settings, item);
        return m ? m->toString() : "none";
    }
    GroupInstruments settings;
    ItemDetails item;
};

TEST_F(MarginOfOneLot, RateByDeliveryModeAndSide) {
    Order buy;
    Order sell;
    sell.tradingMode = 1;
    EXPECT_EQ(margin(buy), "1000"); // a buy never takes the sell margin
    EXPECT_EQ(margin(sell), "1500");
    settings.InitialSellMargin = 0_cdec;
    EXPECT_EQ(margin(sell), "1000"); // no sell margin: the initial one
    settings.InitialSellMargin = -5_cdec;
    EXPECT_EQ(margin(sell), "1000");
    sell.deliveryMode = buy.deliveryMode = 2;
    EXPECT_EQ(margin(buy), "250");
    EXPECT_EQ(margin(sell), "250");
    sell.deliveryMode = 3;
    EXPECT_EQ(margin(sell), "400");
    sell.deliveryMode = 1;
    EXPECT_EQ(margin(sell), "1000");
    // Fixed mode ignores contract size and formula.
    item.MarginFormulaId = 3;
    buy.BaseCurrencyRate = 7;
    buy.deliveryMode = 0;
    EXPECT_EQ(margin(buy), "1000");
    EXPECT_FALSE(buy.GetMarginForSingleLot(nullptr, item));
}

TEST_F(MarginOfOneLot, PercentageFormulas) {
    // Rate 2 % of a 100000 contract: 2 x 100000 / 100 = 2000.
    settings.marginCalculationMode = 2;
    settings.InitialMargin = 2_cdec;
    Order order;
    EXPECT_EQ(margin(order), "2000");
    // Formula 1: times the order price, 2000 x 1.23456 = 2469.12.
    item.MarginFormulaId = 1;
    order.OrderPrice = dec("1.23456");
    EXPECT_EQ(margin(order), "2469.12");
    order.OrderPrice = dec("not a price");
    EXPECT_EQ(margin(order), "0");
    // Formula 3: times the base-currency rate, 2000 x 1.1 = 2200 exactly (2200.0000000000005 in
    // doubles); rate 0 gives 0.
    item.MarginFormulaId = 3;
    order.BaseCurrencyRate = 1.1;
    EXPECT_EQ(margin(order), "2200");
    order.BaseCurrencyRate = 0;
    EXPECT_EQ(margin(order), "0");
    // Formula 4: divided by the rate when above 0: 2000 / 1.25 = 1600; 0 leaves 2000.
    item.MarginFormulaId = 4;
    order.BaseCurrencyRate = 1.25;
    EXPECT_EQ(margin(order), "1600");
    order.BaseCurrencyRate = 0;
    EXPECT_EQ(margin(order), "2000");
    order.BaseCurrencyRate = -2;
    EXPECT_EQ(margin(order), "2000");
    order.BaseCurrencyRate = 3; // 666.66..., rounded to the decimal's 38 digits
    EXPECT_EQ(margin(order).substr(0, 12), "666.66666666");
    // Other formulas leave rate x size / 100; half a percent of 1000 is 5.
    item.MarginFormulaId = 2;
    item.ContractSize = 1000_cdec;
    settings.InitialMargin = 0.5_cdec;
    EXPECT_EQ(margin(order), "5");
}

TEST_F(MarginOfOneLot, ValuesOutOfRangeGiveNoMargin) {
    settings.marginCalculationMode = 2;
    settings.InitialMargin = tc::platform::CompactDecimal(Decimal::notANumber());
    EXPECT_EQ(margin(Order()), "none");
    settings.InitialMargin = 9999999999999999e127_cdec;
    item.ContractSize = 9999999999999999e127_cdec; // their product is past the range
    EXPECT_EQ(margin(Order()), "none");
    settings.InitialMargin = 2_cdec;
    item.ContractSize = 100000_cdec;
    item.MarginFormulaId = 1;
    Order order;
    order.OrderPrice = platform::Decimal::notANumber(); // out of the decimal range
    EXPECT_EQ(margin(order), "none");
}

} // namespace
