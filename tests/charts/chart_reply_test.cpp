#include "charts/chart_cache.h"
#include "charts/chart_reply.h"

#include "platform/clock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <string>
#include <thread>
#include <tuple>

namespace {

using namespace tc;

using charts::BarSeries;
using charts::parseChartBars;

std::int64_t at(int y, int mo, int d, int h, int mi, int s) {
    return charts::wallSeconds({y, mo, d, h, mi, s});
}

TEST(ChartReply, TheTwoBarExampleGivesItsBarsExactly) {
    const BarSeries bars = parseChartBars("<0~EURUSD^O~7>03/14/24,03/14/24#09:30:00,09:31:00#1.08512,1.08530#"
                                          "1.08540,1.08551#1.08490,1.08502#1.08500,1.08512<END>");
    ASSERT_EQ(bars.size(), 2u);
    const charts::Bar b0 = bars.bar(0), b1 = bars.bar(1);
    EXPECT_EQ(b0.time, at(2024, 3, 14, 9, 30, 0));
    EXPECT_EQ(b1.time, at(2024, 3, 14, 9, 31, 0));
    EXPECT_EQ(std::tuple(b0.close, b0.high, b0.low, b0.open), std::tuple(1.08512, 1.08540, 1.08490, 1.08500));
    EXPECT_EQ(b1.close, 1.08530);
    EXPECT_EQ(b1.open, 1.08512);
    // The bid/ask chart's series are the high and low columns.
    EXPECT_EQ(b1.bid, 1.08551);
    EXPECT_EQ(b1.ask, 1.08502);
    EXPECT_EQ(charts::chartReplyKey("<0~EURUSD^O~7>x"), "EURUSD^O");
}

TEST(ChartReply, ItemsAndColumnsKeepTheirPositions) {
    struct Case {
        const char* text;
        std::size_t bars;
        std::size_t bar;
        double close, high, low, open;
        bool timed;
    };
    const double nan = charts::kNoPrice;
    const Case cases[] = {
        // An empty open in the middle leaves that bar without an open; the next bar keeps its own.
        {"1/2/24,1/2/24,1/2/24#1:00:00,1:01:00,1:02:00#1,2,3#4,5,6#0.5,0.6,0.7#9,,8", 3, 2, 3, 6, 0.7, 8,
         true},
        {"1/2/24,1/2/24,1/2/24#1:00:00,1:01:00,1:02:00#1,2,3#4,5,6#0.5,0.6,0.7#9,,8", 3, 1, 2, 5, 0.6, nan,
         true},
        // An empty close is a bar without a close, not one bar fewer.
        {"a,b,c#x,y,z#1,,3#4,5,6#1,2,3#7,8,9", 3, 1, nan, 5, 2, 8, false},
        // An empty high column stays the highs: the lows do not move into it.
        {"1/2/24#1:00:00#1.5##1.25#1.4<END>", 1, 0, 1.5, nan, 1.25, 1.4, true},
        // A final comma is not a bar; unreadable numbers and dates are missing values.
        {"1/2/24,13/2/24,#1:00:00,1:00:00,#1,2,#inf,2x,#nan,1e1,#1,2,", 2, 1, 2, nan, 10, 2, false},
        {"<H~K>d#t#1#2#3#4<END", 1, 0, 1, 2, 3, 4, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const BarSeries bars = parseChartBars(c.text);
        ASSERT_EQ(bars.size(), c.bars);
        const charts::Bar b = bars.bar(c.bar);
        auto same = [](double got, double want) {
            return got == want || (std::isnan(got) && std::isnan(want));
        };
        EXPECT_TRUE(same(b.close, c.close)) << b.close;
        EXPECT_TRUE(same(b.high, c.high)) << b.high;
        EXPECT_TRUE(same(b.low, c.low)) << b.low;
        EXPECT_TRUE(same(b.open, c.open)) << b.open;
        EXPECT_EQ(b.time != charts::kNoTime, c.timed);
    }
    EXPECT_TRUE(parseChartBars("<1041~X^T~0>#####<END>").empty());
    EXPECT_TRUE(parseChartBars(std::string(charts::kMaxChartReplyBytes + 1, '1')).empty());
}

TEST(ChartReply, BarsWithoutATimeOfDayKeepTheirDatesAtTheStartOfTheDay) {
    // A daily reply with an empty times column: every bar keeps its date.
    BarSeries bars =
        parseChartBars("<0~EURUSD^D~7>03/13/24,03/14/24##1.1,1.2#1.3,1.4#1.0,1.1#1.05,1.15<END>");
    ASSERT_EQ(bars.size(), 2u);
    EXPECT_EQ(bars.bar(0).time, at(2024, 3, 13, 0, 0, 0));
    EXPECT_EQ(bars.bar(1).time, at(2024, 3, 14, 0, 0, 0));
    EXPECT_EQ(bars.bar(1).open, 1.15) << "the other columns keep their places";
    // One empty time among others; a bad time or a missing date still gives no time.
    bars = parseChartBars("03/13/24,03/14/24,03/15/24,#10:00:00,, 25:00:00,10:00:00#1,2,3,4####");
    ASSERT_EQ(bars.size(), 4u);
    EXPECT_EQ(bars.bar(0).time, at(2024, 3, 13, 10, 0, 0));
    EXPECT_EQ(bars.bar(1).time, at(2024, 3, 14, 0, 0, 0));
    EXPECT_EQ(bars.bar(2).time, charts::kNoTime);
    EXPECT_EQ(bars.bar(3).time, charts::kNoTime);
}

TEST(ChartReply, ALongReplyKeepsEveryBar) {
    std::string closes;
    for (int i = 0; i < 300; ++i)
        closes += (i ? "," : "") + std::to_string(100 + i);
    const BarSeries bars = parseChartBars("<H~K>##" + closes + "###");
    ASSERT_EQ(bars.size(), 300u);
    EXPECT_EQ(bars.closes()[299], 399);
}

TEST(ChartDataStore, AFreshReplyReplacesTheOlderAndIsAskedAgainAfterOneBar) {
    auto clock = std::make_shared<platform::ManualClock>();
    platform::ScopedClock scoped(clock);
    charts::ChartDataStore store;
    EXPECT_TRUE(store.fillChartData(std::string("<0~EURUSD^O>d,d,d#t,t,t#1,2,3###"), 7));
    EXPECT_TRUE(store.fillChartData(std::string("<0~EURUSD^O>d,d#t,t#5,6###"), 8));
    const auto entry = store.entry("EURUSD^O");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->requestId, 8u);
    // No row of the earlier reply survives.
    ASSERT_EQ(entry->bars->size(), 2u);
    EXPECT_EQ(entry->bars->closes()[1], 6);

    const auto minute = std::chrono::seconds(60);
    EXPECT_TRUE(store.freshBars("EURUSD^O", minute));
    clock->advance(std::chrono::seconds(59));
    EXPECT_TRUE(store.freshBars("EURUSD^O", minute));
    clock->advance(std::chrono::seconds(1));
    EXPECT_FALSE(store.freshBars("EURUSD^O", minute));
    EXPECT_FALSE(store.freshBars("GBPUSD^O", minute));

    // No key: dropped. A full store still renews known keys but takes no new one.
    EXPECT_FALSE(store.fillChartData(std::string("<EURUSD>1"), 9));
    EXPECT_FALSE(store.fillChartData(std::nullopt, 9));
    for (std::size_t i = store.size(); i < charts::ChartDataStore::kMaxEntries; ++i)
        ASSERT_TRUE(store.fillChartData("<X~k" + std::to_string(i) + ">", i));
    EXPECT_FALSE(store.fillChartData(std::string("<X~new>"), 1));
    EXPECT_TRUE(store.fillChartData(std::string("<X~EURUSD^O>"), 2));
}

TEST(ChartDataStore, HoldsABoundedNumberOfBarsAndShortKeysOnly) {
    // Room for five bars: the series filed longest ago make room for a new one.
    charts::ChartDataStore store(5);
    auto reply = [](std::string_view key, int bars) {
        std::string closes;
        for (int i = 0; i < bars; ++i)
            closes += (i ? "," : "") + std::to_string(i + 1);
        return "<0~" + std::string(key) + ">##" + closes;
    };
    auto held = [&](std::string_view key) {
        const auto e = store.entry(key);
        return e ? e->bars->size() : 0;
    };
    ASSERT_TRUE(store.fillChartData(reply("A", 3), 1));
    ASSERT_TRUE(store.fillChartData(reply("B", 2), 2));
    ASSERT_TRUE(store.fillChartData(reply("C", 2), 3));
    EXPECT_EQ(held("A"), 0u);
    EXPECT_EQ(held("B") + held("C"), 4u);
    // B renewed with four bars: C, now the oldest, goes.
    ASSERT_TRUE(store.fillChartData(reply("B", 4), 4));
    EXPECT_EQ(held("B"), 4u);
    EXPECT_EQ(held("C"), 0u);
    EXPECT_FALSE(store.fillChartData(reply("D", 6), 5)) << "more bars than the store holds";
    EXPECT_EQ(held("B"), 4u);
    EXPECT_FALSE(
        store.fillChartData(reply(std::string(charts::ChartDataStore::kMaxKeyBytes + 1, 'K'), 1), 6));
    EXPECT_TRUE(store.fillChartData(reply(std::string(charts::ChartDataStore::kMaxKeyBytes, 'K'), 1), 7));
}

TEST(ChartDataStore, RepliesFiledOnAnotherThreadAreReadWhole) {
    charts::ChartDataStore store;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 1; i <= 200; ++i)
            store.fillChartData("<0~K>" + std::string("##") + std::to_string(i) + "," + std::to_string(i), i);
        done = true;
    });
    while (!done) {
        if (const auto bars = store.freshBars("K", std::chrono::hours(1))) {
            ASSERT_EQ(bars->size(), 2u);
            EXPECT_EQ(bars->closes()[0], bars->closes()[1]);
        }
    }
    writer.join();
    EXPECT_EQ(store.entry("K")->requestId, 200u);
}

} // namespace
