#include "charts/chart_interval.h"
#include "charts/live_bars.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

using namespace tc;

using charts::LiveStep;

// Monday 2024-03-11 00:00:00, a boundary of every interval.
const std::int64_t kMonday = charts::wallSeconds({2024, 3, 11, 0, 0, 0});

charts::LiveQuote quote(std::int64_t t, double last) {
    return {t, last, last - 0.5, last + 0.5};
}

TEST(LiveBars, RollOnTheIntervalBoundaryForEveryInterval) {
    for (int code = 0; code <= 9; ++code) {
        const charts::ChartInterval interval = charts::chartInterval(code);
        SCOPED_TRACE(interval.text);
        const std::int64_t len = interval.seconds;
        charts::BarSeries bars;
        auto apply = [&](std::int64_t t, double p) { return charts::applyQuote(bars, quote(t, p), len); };

        // Mid-bar start: the bar is placed on its boundary.
        EXPECT_EQ(apply(kMonday + len / 2, 10), LiveStep::Rolled);
        EXPECT_EQ(bars.back().time, kMonday);
        if (len > 1) {
            EXPECT_EQ(apply(kMonday + len - 1, 12), LiveStep::Updated);
            EXPECT_EQ(apply(kMonday + len - 1, 9), LiveStep::Updated);
            EXPECT_EQ(apply(kMonday + len - 1, 9), LiveStep::Unchanged);
        }
        // The next bar opens at its own first price, not at the closed bar's.
        EXPECT_EQ(apply(kMonday + len, 11), LiveStep::Rolled);
        // A gap of two bars without quotes: the next bar starts on its own boundary, no filler.
        EXPECT_EQ(apply(kMonday + 3 * len + len / 2, 13), LiveStep::Rolled);

        ASSERT_EQ(bars.size(), 3u);
        const charts::Bar first = bars.bar(0), second = bars.bar(1), third = bars.bar(2);
        EXPECT_EQ(std::tuple(first.open, first.high, first.low, first.close),
                  std::tuple(10, len > 1 ? 12 : 10, len > 1 ? 9 : 10, len > 1 ? 9 : 10));
        EXPECT_EQ(std::tuple(second.time, second.open, second.high, second.low),
                  std::tuple(kMonday + len, 11, 11, 11));
        EXPECT_EQ(std::tuple(third.time, third.open, third.bid, third.ask),
                  std::tuple(kMonday + 3 * len, 13, 12.5, 13.5));
    }
}

TEST(LiveBars, AClockSetBackKeepsTheNewestBarLive) {
    // Daylight saving time ends at 02:00: the server's clock reads 01:00 again.
    const std::int64_t late = kMonday + 3600 + 59 * 60; // 01:59
    charts::BarSeries bars;
    bars.push({late, 10, 10, 10, 10, 9.5, 10.5});
    EXPECT_EQ(charts::applyQuote(bars, quote(kMonday + 3600 + 30, 12), 60), LiveStep::Updated);
    EXPECT_EQ(charts::applyQuote(bars, quote(kMonday + 3600 + 90, 8), 60), LiveStep::Updated);
    ASSERT_EQ(bars.size(), 1u);
    EXPECT_EQ(bars.back().time, late);
    EXPECT_EQ(bars.back().high, 12);
    EXPECT_EQ(bars.back().close, 8);
    EXPECT_EQ(bars.back().ask, 8.5);
    // Past the newest bar's end the bars roll on its grid again.
    EXPECT_EQ(charts::applyQuote(bars, quote(late + 60, 9), 60), LiveStep::Rolled);
    EXPECT_EQ(bars.back().time, late + 60);
}

TEST(LiveBars, AReplysNewestBarIsExtendedOnItsOwnGrid) {
    // A server whose weeks start on Sunday: the live quotes follow its grid.
    const std::int64_t sunday = kMonday - 86400;
    charts::BarSeries bars;
    bars.push({sunday, 100, 104, 98, 101, 0, 0});
    const std::int64_t week = charts::chartInterval(8).seconds;
    EXPECT_EQ(charts::applyQuote(bars, quote(sunday + week - 1, 106), week), LiveStep::Updated);
    EXPECT_EQ(bars.back().open, 100);
    EXPECT_EQ(bars.back().high, 106);
    EXPECT_EQ(bars.back().low, 98);
    EXPECT_EQ(charts::applyQuote(bars, quote(sunday + 2 * week + 5, 90), week), LiveStep::Rolled);
    EXPECT_EQ(bars.back().time, sunday + 2 * week);
    // Without a bar, weeks start on Monday.
    EXPECT_EQ(charts::barStart(kMonday + 5 * 86400, week), kMonday);
}

TEST(LiveBars, QuotesWithoutAPriceOrTimeAreIgnored) {
    charts::BarSeries bars;
    EXPECT_EQ(charts::applyQuote(bars, {kMonday, 0, 1, 2}, 60), LiveStep::Ignored);
    EXPECT_EQ(charts::applyQuote(bars, {kMonday, charts::kNoPrice, 1, 2}, 60), LiveStep::Ignored);
    EXPECT_EQ(charts::applyQuote(bars, {charts::kNoTime, 1, 1, 2}, 60), LiveStep::Ignored);
    EXPECT_TRUE(bars.empty());
    EXPECT_EQ(charts::parseQuoteTime("03/11/2024 00:00:59"), kMonday + 59);
    EXPECT_FALSE(charts::parseQuoteTime("02/30/2024 00:00:00"));
}

} // namespace
