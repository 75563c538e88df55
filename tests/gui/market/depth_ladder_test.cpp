#include "gui/market/depth_ladder.h"
#include "model/market_depth.h"
#include "model/records/item_details.h"
#include "support/depth_levels.h"

#include <gtest/gtest.h>

using namespace tc;

using namespace tc::gui;

namespace {

TEST(DepthLadder, AtMostFiveLevelsAsTheFeedSentThem) {
    MarketDepthStore depth;
    depth.store(
        {"EURUSD",
         testing_support::depthLevels({"1.1,10", "1.09,20", "1.2,5", "1.08,1", "1.07,2", "1.06,3", "1.05,4"}),
         testing_support::depthLevels({"1.3,7", "1.31", "1.32,8.50,9"})});
    ItemDetails item;
    item.DecimalPlaces = 3;
    const auto buy = ladderRows(depth, "EURUSD", DepthSide::Buy, &item);
    ASSERT_EQ(buy.size(), kLadderLevels);
    EXPECT_EQ(buy[0], (LadderRow{"1.100", "10"}));
    EXPECT_EQ(buy[2], (LadderRow{"1.200", "5"})) << "not sorted";
    EXPECT_EQ(buy[4], (LadderRow{"1.070", "2"}));
    const auto sell = ladderRows(depth, "EURUSD", DepthSide::Sell, nullptr);
    EXPECT_EQ(sell, (std::vector<LadderRow>{{"1.30", "7"}, {"1.31", ""}, {"1.32", "8.5"}}));
    EXPECT_TRUE(ladderRows(depth, "GBPUSD", DepthSide::Buy, &item).empty());
}

} // namespace
