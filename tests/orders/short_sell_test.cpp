// Lots free to sell where the group forbids short selling.
#include "order_fixture.h"

namespace {

// A decimal written in the test; "" is 0.
[[maybe_unused]] tc::platform::Decimal dec(std::string_view text) {
    return tc::platform::Decimal::fromString(text).value_or(tc::platform::Decimal());
}

using namespace tc;

class ShortSell : public OrderFixture {
protected:
    ShortSell() { settings->AllowShortSelling = false; }
    bool allowed(const std::shared_ptr<Order>& order) {
        notices.clear();
        return kept(manager.verifyShortSellAllowed(order)).passed;
    }
};

TEST_F(ShortSell, WorkingOrdersAndOneProtectiveLegPerPosition) {
    position(0, "10");
    workingSell("3");
    workingSell("4", "77"); // take profit of position 77
    workingSell("4", "77"); // its stop loss: one leg counts
    // 10 - (3 + 0 + 4)
    EXPECT_DOUBLE_EQ(manager.getAllowedSellLots("EURUSD", "1001", 1), 3);
    EXPECT_TRUE(allowed(market(1, "3")));
    EXPECT_FALSE(allowed(market(1, "4")));
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].text, "1196");
}

TEST_F(ShortSell, TheLaterLegOfAPositionReplacesTheEarlier) {
    position(0, "10");
    workingSell("4", "77");
    workingSell("2", "77");
    workingSell("1", "78");
    EXPECT_DOUBLE_EQ(manager.getAllowedSellLots("EURUSD", "1001", 1), 7);
}

TEST_F(ShortSell, ShortLotsCountAgainstTheLongOnes) {
    position(0, "5");
    position(1, "2");
    EXPECT_DOUBLE_EQ(manager.getAllowedSellLots("EURUSD", "1001", 1), 3);
    EXPECT_DOUBLE_EQ(manager.getAllowedSellLots("EURUSD", "1001", 2), 0);
}

TEST_F(ShortSell, OnlyTheAccountsOwnWorkingOrdersCount) {
    position(0, "5");
    workingSell("5", "", "P9", "2002");
    EXPECT_DOUBLE_EQ(manager.getAllowedSellLots("EURUSD", "1001", 1), 5);
}

TEST_F(ShortSell, BuysProtectedOrdersAndGroupsThatAllowItAreNotLimited) {
    EXPECT_TRUE(allowed(market(0, "50")));
    auto protectedSell = market(1, "50");
    protectedSell->isStopLossEnabled = true;
    EXPECT_TRUE(allowed(protectedSell));
    settings->AllowShortSelling = true;
    EXPECT_TRUE(allowed(market(1, "50")));
    EXPECT_TRUE(notices.empty());
    // No group settings read as short selling not allowed.
    group->GroupInstrumentCollection = {};
    EXPECT_FALSE(allowed(market(1, "1")));
}

TEST_F(ShortSell, AnEditedWorkingOrderGetsItsOwnLotsBack) {
    position(0, "10");
    workingSell("3", "", "P1");
    auto edit = market(1, "10");
    edit->isEditWorkOrder = true;
    edit->LiquidateOrderNumber = "P1"; // the request's order number
    EXPECT_TRUE(allowed(edit));
    edit->OrderQty = dec("11");
    EXPECT_FALSE(allowed(edit));
    // Another working order's lots stay committed.
    edit->OrderQty = dec("10");
    edit->LiquidateOrderNumber = "P2";
    EXPECT_FALSE(allowed(edit));
}

TEST_F(ShortSell, AnEditedOrderKeepsItsOwnLotsWhenTheOthersExceedTheLongLots) {
    // 2 long, working sells of 3 and 1: a = 2 - 4 is below 0, so the edited order frees only its own.
    position(0, "2");
    workingSell("3", "", "P1");
    workingSell("1", "", "P2");
    auto edit = market(1, "3");
    edit->isEditWorkOrder = true;
    edit->LiquidateOrderNumber = "P1";
    EXPECT_TRUE(allowed(edit));
    edit->OrderQty = dec("3.5");
    EXPECT_FALSE(allowed(edit));
    // With a above 0 the order gets a and its own lots: 6 - 4 = 2, plus 3.
    position(0, "4");
    edit->OrderQty = dec("5");
    EXPECT_TRUE(allowed(edit));
    edit->OrderQty = dec("5.1");
    EXPECT_FALSE(allowed(edit));
}

TEST_F(ShortSell, AnEditedBracketGetsItsPositionsLegBack) {
    position(0, "10");
    workingSell("4", "77");
    auto edit = market(1, "10");
    edit->isEditBracketOrder = true;
    edit->OpenPositionId = "77";
    EXPECT_TRUE(allowed(edit));
    edit->OpenPositionId = "78";
    EXPECT_FALSE(allowed(edit));
}

} // namespace
