// What a position may still close, a quantity's contract value, a delivery's cost and margin, and the
// offset totals and steps; figures worked by hand.
#include "model/position_quantities.h"

#include "model/records/group_details.h"
#include "model/records/item_details.h"
#include "model/records/order.h"

#include <gtest/gtest.h>

#include "support/decimal_literal.h"
#include <memory>

namespace {

using tc::testing_support::operator""_cdec;

using namespace tc;
using platform::Decimal;

using tc::testing_support::dec;

std::shared_ptr<const Order> order(const char* quantity, const char* closes) {
    auto o = std::make_shared<Order>();
    o->OrderQty = o->RemainingQty = dec(quantity);
    o->LiquidateOrderNumber = closes;
    return o;
}

TEST(PositionQuantities, ClosableIsTheRemainderLessPendingClosesNeverBelowZero) {
    Order position;
    position.OpenPositionId = "7";
    position.RemainingQty = dec("3");
    const OrderView pending{order("1", "7"), order("0.5", "7"), order("2", "8"), nullptr};
    EXPECT_EQ(closingQuantity(position, pending), dec("1.5"));
    EXPECT_EQ(closableQuantity(position, pending), dec("1.5"));
    // Closes for more than is held leave nothing.
    EXPECT_TRUE(closableQuantity(position, {order("9", "7")}).isZero());
    // A position without an id is closed by no pending order.
    position.OpenPositionId.clear();
    EXPECT_TRUE(closingQuantity(position, {order("1", "")}).isZero());
}

TEST(PositionQuantities, ContractValueTotalCostAndDeliveryMargin) {
    EXPECT_DOUBLE_EQ(contractValue(2.5, 100000), 250000);
    ItemDetails gold;
    gold.ContractSize = 100_cdec;
    Order position;
    position.OrderQty = dec("3");
    position.OrderPrice = dec("4.1152");
    EXPECT_NEAR(deliveryTotalCost(position, &gold), 1234.56, 1e-9);
    EXPECT_DOUBLE_EQ(deliveryTotalCost(position, nullptr), 0) << "no instrument, no contract";
    position.OrderPrice.reset();
    EXPECT_DOUBLE_EQ(deliveryTotalCost(position, &gold), 0) << "no price, no cost";

    GroupInstruments settings;
    settings.InitialMargin = 12.5_cdec;
    // 12.5 × 3 = 37.5, plain rounding to whole units.
    EXPECT_EQ(deliveryMargin(position, &settings, &gold), dec("38"));
    EXPECT_FALSE(deliveryMargin(position, &settings, nullptr));
    EXPECT_FALSE(deliveryMargin(position, nullptr, &gold));
}

TEST(PositionQuantities, OffsetTotalsAndSteps) {
    const Decimal taken[] = {dec("2.5"), dec("1")};
    const OffsetTotals totals = offsetTotals(dec("3"), taken);
    EXPECT_EQ(totals.offset, dec("3.5"));
    EXPECT_EQ(totals.remaining, dec("-0.5"));

    const auto texts = [](const std::vector<Decimal>& steps) {
        std::string joined;
        for (const Decimal& step : steps)
            joined += step.toString() + " ";
        return joined;
    };
    EXPECT_EQ(texts(offsetQuantitySteps(dec("2.5"), dec("1"), 1000)), "0 1 2 2.5 ");
    EXPECT_EQ(texts(offsetQuantitySteps(dec("2"), dec("0.5"), 1000)), "0 0.5 1 1.5 2 ");
    EXPECT_EQ(texts(offsetQuantitySteps(dec("2.5"), Decimal(), 1000)), "0 2.5 ");
    // A tiny step on a large position: the first entries, then the total.
    EXPECT_EQ(texts(offsetQuantitySteps(dec("1000"), dec("0.01"), 4)), "0 0.01 0.02 1000 ");
    EXPECT_EQ(texts(offsetQuantitySteps(Decimal(), dec("1"), 1000)), "0 ");
}

} // namespace
