#include "model/market_depth.h"

#include "support/depth_levels.h"

#include <gtest/gtest.h>

namespace {

using namespace tc;
using testing_support::depthLevels;

TEST(MarketDepth, LevelsReadPriceAndQuantityAsNumbers) {
    const DepthLevel plain = DepthLevel::read("1.1050,250");
    EXPECT_EQ(plain.price.toString(), "1.105");
    ASSERT_TRUE(plain.quantity.has_value());
    EXPECT_EQ(plain.quantity->toString(), "250");
    // Only the second part is the quantity; a level without one has none.
    EXPECT_EQ(DepthLevel::read("1.32,8,9").quantity->toString(), "8");
    EXPECT_FALSE(DepthLevel::read("1.31").quantity.has_value());
    EXPECT_FALSE(DepthLevel::read("1.31,").quantity.has_value());
    EXPECT_FALSE(DepthLevel::read("2.6,x").quantity.has_value());
    // A price that does not begin with a number reads as 0, as a lenient price does.
    EXPECT_TRUE(DepthLevel::read("abc,5").price.isZero());
    EXPECT_EQ(DepthLevel::read(" -0.5e1,1").price.toString(), "-5");
}

TEST(MarketDepth, StoreReplacesBothSidesAndIsBounded) {
    MarketDepthStore store(2);
    EXPECT_EQ(store.buy("A"), nullptr);
    ASSERT_TRUE(store.store({"A", depthLevels({"1,1", "2,2"}), depthLevels({"3,3"})}));
    ASSERT_TRUE(store.store({"A", depthLevels({"9,9"}), {}}));
    EXPECT_EQ(*store.buy("A"), depthLevels({"9,9"}));
    EXPECT_TRUE(store.sell("A")->empty());
    ASSERT_TRUE(store.store({"B", {}, depthLevels({"4,4"})}));
    EXPECT_FALSE(store.store({"C", depthLevels({"5,5"}), {}})) << "a new code past the cap";
    EXPECT_EQ(store.buy("C"), nullptr);
    EXPECT_EQ(store.sell("C"), nullptr);
    EXPECT_EQ(store.size(), 2u);
    // Known codes are still replaced when the store is full.
    EXPECT_TRUE(store.store({"B", depthLevels({"6,6"}), {}}));
    EXPECT_EQ(*store.buy("B"), depthLevels({"6,6"}));

    // An exchange hands back the levels it replaced, for their maker to free; past the cap nothing.
    MarketDepthLadder next{"B", depthLevels({"7,7"}), depthLevels({"8,8"})};
    ASSERT_TRUE(store.exchange(next));
    EXPECT_EQ(*store.buy("B"), depthLevels({"7,7"}));
    EXPECT_EQ(*store.sell("B"), depthLevels({"8,8"}));
    EXPECT_EQ(next.Buy, depthLevels({"6,6"}));
    EXPECT_TRUE(next.Sell.empty());
    MarketDepthLadder refused{"C", depthLevels({"5,5"}), {}};
    EXPECT_FALSE(store.exchange(refused));
    EXPECT_EQ(refused.Buy, depthLevels({"5,5"}));
}

} // namespace
