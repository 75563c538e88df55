#include "charts/chart_interval.h"
#include "charts/price_chart.h"
#include "charts/viewport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using namespace tc;

using charts::AxisRange;
using charts::PriceChart;
using charts::Viewport;

const std::int64_t kStart = charts::wallSeconds({2024, 3, 11, 9, 0, 0});

// Bar i: close 100 + i, high close + 1, low close - 2, open close - 0.5, one minute apart.
charts::BarSeries rising(std::size_t n) {
    charts::BarSeries bars;
    for (std::size_t i = 0; i < n; ++i) {
        const double c = 100.0 + static_cast<double>(i);
        bars.push({kStart + static_cast<std::int64_t>(i) * 60, c - 0.5, c + 1, c - 2, c, c, c});
    }
    return bars;
}

TEST(Viewport, ShowsTheNewestBarsAndKeepsZoomAndDragWithinTheBars) {
    Viewport v;
    v.reset(200);
    EXPECT_EQ(v.xRange(), (AxisRange{164.5, 35}));
    EXPECT_EQ(v.visibleBars(), (std::pair<std::size_t, std::size_t>{165, 200}));
    EXPECT_TRUE(v.following());

    v.zoomBy(0.01, 199);
    EXPECT_EQ(v.width(), Viewport::kMinSlots);
    EXPECT_DOUBLE_EQ(v.xRange().location, 199 - 34.5 * 3 / 35) << "x = 199 stays where it was on screen";
    EXPECT_FALSE(v.following());
    v.zoomBy(1000, 100);
    EXPECT_EQ(v.xRange(), (AxisRange{-0.5, 200}));
    EXPECT_FALSE(v.dragBy(5)) << "no drag while every bar fits";

    v.reset(200);
    EXPECT_TRUE(v.dragBy(10));
    EXPECT_EQ(v.from(), 155);
    EXPECT_FALSE(v.following());
    v.setCount(201);
    EXPECT_EQ(v.from(), 155) << "a window away from the end stays put";
    v.dragBy(1000);
    EXPECT_EQ(v.from(), 0);
    // Dragged back to the end, the newest bar is the last one shown.
    v.dragBy(-1000);
    EXPECT_EQ(v.xRange().end(), 200.5);
    EXPECT_TRUE(v.following());
    v.setCount(202);
    EXPECT_EQ(v.xRange().end(), 201.5);

    // Few bars: at least three slots, widening with the bars while following.
    v.reset(2);
    EXPECT_EQ(v.xRange(), (AxisRange{-0.5, 3}));
    v.setCount(20);
    EXPECT_EQ(v.xRange(), (AxisRange{-0.5, 20}));
    EXPECT_EQ(v.barAt(-7.2), 0u) << "the crosshair stays on the bars";
    EXPECT_EQ(v.barAt(4.5), 5u);
    EXPECT_EQ(v.barAt(400), 19u);
    v.reset(0);
    EXPECT_FALSE(v.barAt(1));

    const AxisRange bad = v.constrain({std::nan(""), INFINITY});
    EXPECT_TRUE(std::isfinite(bad.location) && std::isfinite(bad.length));
}

TEST(Viewport, PriceRangesAndLabelSteps) {
    auto near = [](std::optional<AxisRange> r, double location, double length) {
        return r && std::abs(r->location - location) < 1e-12 && std::abs(r->length - length) < 1e-12;
    };
    EXPECT_TRUE(near(charts::priceRange(1.0, 2.0), 0.998, 1.1));
    EXPECT_TRUE(near(charts::priceRange(2.0, 2.0), 1.998, 0.004)) << "a flat window gets 0.1 % each side";
    EXPECT_TRUE(near(charts::priceRange(0.0, 0.0), -1, 2));
    EXPECT_FALSE(charts::priceRange(1.0, INFINITY));
    EXPECT_FALSE(charts::priceRange(std::nan(""), 1.0));
    EXPECT_EQ(charts::labelStep(35), 11u);
    EXPECT_EQ(charts::labelStep(7), 2u);
    EXPECT_EQ(charts::labelStep(6), 6u);
    EXPECT_EQ(charts::labelStep(3), 3u);
}

TEST(PriceChart, DrawsTheVisibleBarsWithinTheirPricesAndLabelsThemAtTheirOwnX) {
    PriceChart chart;
    chart.start("EURUSD", 2, 1, 3);
    EXPECT_EQ(chart.key(), "EURUSD^O");
    EXPECT_EQ(chart.title(), "EURUSD, One Minute");
    chart.load(rising(200));
    // Bars 165..199: lows from 163, highs up to 300 (candlesticks read highs and lows too).
    EXPECT_EQ(chart.extremes(), (std::pair<double, double>{263, 300}));
    EXPECT_DOUBLE_EQ(chart.priceTickInterval(), 10) << "a sixth of 37, rounded up";
    const auto labels = chart.timeLabels();
    ASSERT_EQ(labels.size(), 4u);
    EXPECT_EQ(labels[0].bar, 165u);
    EXPECT_EQ(labels[0].text, "11 Mar 11:45");
    EXPECT_EQ(labels[3].bar, 198u);
    EXPECT_EQ(chart.priceTicks().front().text, "270.00");

    chart.setType(1);
    EXPECT_EQ(chart.extremes(), (std::pair<double, double>{265, 299})) << "a line reads closes only";
    chart.dragBy(1);
    EXPECT_DOUBLE_EQ(chart.priceTickInterval(), 5) << "an eighth of 34, rounded up";
    EXPECT_EQ(chart.crosshairText(5), "11 Mar 09:05\nHigh: 106.00\nLow: 103.00\nOpen: 104.50\nClose: 105.00");
    EXPECT_EQ(chart.crosshairText(500), "");

    // Missing and infinite prices never reach the range.
    charts::BarSeries gaps = rising(3);
    gaps.set(1, {kStart, charts::kNoPrice, INFINITY, -INFINITY, charts::kNoPrice, 0, 0});
    chart.load(gaps);
    EXPECT_EQ(chart.extremes(), (std::pair<double, double>{100, 102}));
    gaps.set(0, {});
    gaps.set(2, {});
    chart.load(gaps);
    EXPECT_FALSE(chart.extremes());
    EXPECT_TRUE(chart.priceTicks().empty());
}

TEST(PriceChart, PriceAxisLabelsAreRoundPricesEachReadingItsOwnLine) {
    struct Case {
        double low, high;
        int decimals;
        std::vector<std::string> labels;
    };
    const Case cases[] = {
        // A sixth of 0.00057 is 0.000095: steps of 0.0001, printed with all five decimals.
        {1.08470, 1.08527, 5, {"1.08470", "1.08480", "1.08490", "1.08500", "1.08510", "1.08520", "1.08530"}},
        // A sixth of two points is finer than a point: one label per point, none repeated.
        {1.08500, 1.08502, 5, {"1.08500", "1.08501", "1.08502"}},
        // A flat window: 0.2 % of its price around it, in steps of 0.0005.
        {1.085, 1.085, 5, {"1.08400", "1.08450", "1.08500", "1.08550", "1.08600"}},
        // A sixth of 50 rounds up to 10; no decimals print as two.
        {15000, 15050, 0, {"15000.00", "15010.00", "15020.00", "15030.00", "15040.00", "15050.00"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.low);
        charts::BarSeries bars;
        for (double close : {c.low, c.high})
            bars.push({kStart, close, close, close, close, close, close});
        PriceChart chart;
        chart.start("X", c.decimals, 1, 1);
        chart.load(bars);
        std::vector<std::string> labels;
        for (const auto& tick : chart.priceTicks())
            labels.push_back(tick.text);
        EXPECT_EQ(labels, c.labels);
    }
}

TEST(PriceChart, LiveBarsStopGrowingPastTheirLimitAndTheWindowKeepsItsBars) {
    constexpr std::size_t kLimit = PriceChart::kMaxLiveBars;
    PriceChart chart;
    chart.start("EURUSD", 5, 0, 1); // ticks: a bar a second
    chart.load(rising(50));
    std::int64_t t = kStart + 49 * 60;
    double price = 100;
    auto roll = [&] {
        price = price < 200 ? price + 0.25 : 100;
        return chart.applyQuote({++t, price, price, price});
    };
    while (chart.bars().size() < kLimit + kLimit / 10)
        ASSERT_EQ(roll(), charts::LiveStep::Rolled);
    // A window moved back shows the same bars after the oldest go.
    chart.dragBy(10);
    ASSERT_FALSE(chart.viewport().following());
    const std::int64_t firstShown = chart.bars().times()[chart.viewport().visibleBars().first];
    for (int i = 0; i < 100; ++i)
        roll();
    EXPECT_LE(chart.bars().size(), kLimit + kLimit / 10);
    EXPECT_GE(chart.bars().size(), kLimit);
    EXPECT_EQ(chart.bars().times().back(), t) << "the newest bar is the last quote's";
    EXPECT_EQ(chart.bars().closes().back(), price);
    EXPECT_EQ(chart.viewport().count(), chart.bars().size());
    EXPECT_EQ(chart.bars().times()[chart.viewport().visibleBars().first], firstShown);
    EXPECT_FALSE(chart.viewport().following());
    // A following window still ends on the newest bar after a drop.
    chart.scrollToEnd();
    for (std::size_t i = 0; i < kLimit / 5; ++i)
        roll();
    EXPECT_LE(chart.bars().size(), kLimit + kLimit / 10);
    EXPECT_TRUE(chart.viewport().following());
    EXPECT_EQ(chart.viewport().visibleBars().second, chart.bars().size());

    // A reply of more bars than the limit is kept whole.
    chart.start("EURUSD", 5, 0, 1);
    chart.load(rising(kLimit * 2));
    t = kStart + static_cast<std::int64_t>(kLimit * 2) * 60;
    ASSERT_EQ(roll(), charts::LiveStep::Rolled);
    EXPECT_EQ(chart.bars().size(), kLimit * 2 + 1);
}

TEST(PriceChart, LiveQuotesMoveAFollowingWindowAndStartKeysPickTheInterval) {
    PriceChart chart;
    chart.start("EURUSD", 5, 0, 1);
    chart.load(rising(50));
    const std::int64_t last = kStart + 49 * 60;
    EXPECT_EQ(chart.applyQuote({last + 60, 151, 150.9, 151.1}), charts::LiveStep::Rolled);
    EXPECT_EQ(chart.viewport().xRange().end(), 50.5);
    EXPECT_EQ(chart.bid(), 150.9);
    chart.dragBy(5);
    chart.applyQuote({last + 120, 152, 0, 0});
    EXPECT_EQ(chart.viewport().xRange().end(), 45.5);
    chart.scrollToEnd();
    EXPECT_EQ(chart.viewport().xRange().end(), 51.5) << "the end shows the newest bar";

    const auto key = charts::parseStartKey("9#4");
    ASSERT_TRUE(key);
    chart.start("EURUSD", 5, key->interval, key->type);
    EXPECT_EQ(chart.key(), "EURUSD^BA");
    EXPECT_EQ(chart.title(), "EURUSD, Mini Tick");
    EXPECT_EQ(chart.type(), charts::ChartType::BidAsk);
    chart.start("EURUSD", 5, 12, 9);
    EXPECT_EQ(chart.key(), "EURUSD^T");
    EXPECT_EQ(chart.title(), "EURUSD, Mini Tick") << "an unknown interval keeps the name";
    EXPECT_EQ(chart.intervalTextKey(), "90509") << "and its language key";
    EXPECT_EQ(chart.interval().seconds, 1);
    EXPECT_FALSE(chart.type());
    EXPECT_FALSE(charts::parseStartKey("12"));
}

TEST(PriceChart, LivePricesAreRoundedToTheInstrumentsDecimalsAsReplyBarsAre) {
    PriceChart chart;
    chart.start("EURUSD", 5, 1, 3);
    chart.load(rising(3));
    const std::int64_t next = kStart + 3 * 60;
    // A feed price carrying binary noise past the fifth decimal.
    ASSERT_EQ(chart.applyQuote({next, 1.0851249999, 1.0850049, 1.08521501}), charts::LiveStep::Rolled);
    const charts::Bar bar = chart.bars().back();
    EXPECT_EQ(bar.close, 1.08512);
    EXPECT_EQ(bar.open, 1.08512);
    EXPECT_EQ(bar.high, 1.08512);
    EXPECT_EQ(bar.bid, 1.0850);
    EXPECT_EQ(bar.ask, 1.08522);
    EXPECT_EQ(chart.bid(), 1.0850);
    // The same price within rounding changes nothing.
    EXPECT_EQ(chart.applyQuote({next + 1, 1.085120001, 1.0850049, 1.08521501}), charts::LiveStep::Unchanged);
    // An instrument without decimals is printed, and rounded, with two.
    chart.start("IDX", 0, 1, 3);
    chart.load(rising(3));
    chart.applyQuote({next, 101.23456, 0, 0});
    EXPECT_EQ(chart.bars().back().close, 101.23);
}

} // namespace
