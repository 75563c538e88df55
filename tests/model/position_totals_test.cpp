// The open and settled positions' totals: lots summed exactly, margins only where the group has
// settings, and figures that are not numbers left out of the sums.
#include "model/position_totals.h"

#include "model/records/group_details.h"
#include "model/records/item_details.h"
#include "model/records/order.h"

#include <gtest/gtest.h>

#include "support/decimal_literal.h"
#include <limits>
#include <memory>

namespace {

using tc::testing_support::operator""_cdec;

using namespace tc;
using platform::Decimal;

using tc::testing_support::dec;

TEST(PositionTotals, OpenPositionsWeightsAndFigures) {
    ItemDetails item;
    GroupInstruments settings;
    settings.InitialMargin = 12.5_cdec;
    Order a;
    a.RemainingQty = dec("0.1");
    a.UnrealisedPL = 1000.25;
    Order b;
    b.RemainingQty = dec("10000000.2");
    b.UnrealisedPL = -0.25;
    b.Commission = 1.5;
    b.Storage = tc::platform::Decimal::notANumber();

    OpenPositionTotals totals;
    addWeights(totals, positionWeights(a, &item, &settings));
    addWeights(totals, positionWeights(b, &item, nullptr));
    addFigures(totals, a);
    addFigures(totals, b);
    EXPECT_EQ(totals.quantity, dec("10000000.3")) << "lots summed exactly";
    EXPECT_DOUBLE_EQ(totals.margin, 1.25) << "12.5 × 0.1; the position without settings adds none";
    EXPECT_DOUBLE_EQ(totals.profitLoss, 1000);
    EXPECT_DOUBLE_EQ(totals.commission, 1.5);
    EXPECT_TRUE(totals.storage.isZero()) << "a figure that is not a number adds nothing";
    EXPECT_DOUBLE_EQ(positionWeights(a, nullptr, &settings).margin, 0);
}

TEST(PositionTotals, SettledPositionsOfOneAccount) {
    auto a = std::make_shared<Order>();
    a->AccountNumber = "20001";
    a->SettledQty = dec("0.1");
    a->SettledPL = dec("-1234.5");
    a->OtherCharges = dec("2");
    auto b = std::make_shared<Order>();
    b->AccountNumber = "20001";
    b->SettledQty = dec("0.2");
    b->SettledPL = dec("34.5");
    b->Commission = std::numeric_limits<double>::infinity();
    // Another account's settlement, in its own currency: never added to 20001's.
    auto euros = std::make_shared<Order>();
    euros->AccountNumber = "20002";
    euros->SettledQty = dec("0.5");
    euros->SettledPL = dec("-40.1");
    const SettledTotals totals = settledTotals({a, nullptr, euros, b}, 20001);
    EXPECT_EQ(totals.account, 20001);
    EXPECT_EQ(totals.quantity, dec("0.3"));
    EXPECT_EQ(totals.profitLoss, dec("-1200"));
    EXPECT_DOUBLE_EQ(totals.commission, 0);
    EXPECT_EQ(totals.otherCharges, dec("2"));
    EXPECT_EQ(settledTotals({a, euros, b}, 20002).profitLoss, dec("-40.1"));
    EXPECT_TRUE(settledTotals({a, euros, b}, 0).quantity.isZero()) << "no account chosen: nothing counts";
    EXPECT_TRUE(settledTotals({}, 20001).quantity.isZero());
}

} // namespace
