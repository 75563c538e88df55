#include "charts/study_board.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using namespace tc;
using charts::Study;
using charts::StudyBoard;

TEST(StudyBoard, PriceStudiesCombineOscillatorsTakeTurnsAndAnyStudyFreezesTheLiveUpdate) {
    StudyBoard board;
    EXPECT_FALSE(board.frozen());
    EXPECT_FALSE(board.switchOn(Study::SimpleMovingAverage));
    EXPECT_FALSE(board.switchOn(Study::BollingerBands));
    EXPECT_FALSE(board.lowerPaneShown()) << "price studies draw over the prices";
    EXPECT_TRUE(board.frozen());

    EXPECT_FALSE(board.switchOn(Study::CommodityChannelIndex));
    EXPECT_EQ(board.switchOn(Study::RelativeStrengthIndex), Study::CommodityChannelIndex)
        << "one oscillator at a time: the RSI replaces the CCI";
    EXPECT_FALSE(board.shows(Study::CommodityChannelIndex));
    EXPECT_EQ(board.lowerStudy(), Study::RelativeStrengthIndex);
    EXPECT_TRUE(board.shows(Study::SimpleMovingAverage)) << "an oscillator leaves the price studies";
    EXPECT_FALSE(board.switchOn(Study::Alligator));
    EXPECT_EQ(board.shown().size(), 4u);

    // Switching the oscillator off hides the lower pane, yet the update stays frozen while the
    // price studies are drawn from the bars they were computed from.
    board.switchOff(Study::RelativeStrengthIndex);
    EXPECT_FALSE(board.lowerPaneShown());
    EXPECT_TRUE(board.frozen());
    board.switchOff(Study::SimpleMovingAverage);
    board.switchOff(Study::CommodityChannelIndex); // not shown: nothing changes
    EXPECT_TRUE(board.frozen());
    board.switchOff(Study::BollingerBands);
    board.switchOff(Study::Alligator);
    EXPECT_FALSE(board.frozen()) << "the last study off resumes the live update";

    board.switchOn(Study::Macd);
    board.switchOn(Study::ExponentialMovingAverage);
    board.clear();
    EXPECT_TRUE(board.shown().empty());
    EXPECT_FALSE(board.frozen());

    int price = 0;
    for (std::size_t k = 0; k < charts::kStudyCount; ++k)
        price += charts::isPriceStudy(static_cast<Study>(k));
    EXPECT_EQ(price, 4);
}

TEST(StudyBoard, TheLowerGraphFollowsTheVisibleValuesOfItsRangeSeries) {
    // The RSI between 20 and 80 in view: from 19.88, 66 long; a quarter of the span is 15, so a
    // tick every 20, the round step nearest it.
    std::vector<double> rsi(40, 50.0);
    rsi[10] = 20;
    rsi[20] = 80;
    rsi[35] = 95; // out of view
    rsi[12] = NAN;
    auto axis = charts::studyAxis(rsi, 5, 35, 30, rsi.size());
    EXPECT_NEAR(axis.y.location, 19.88, 1e-9);
    EXPECT_NEAR(axis.y.length, 66, 1e-9);
    EXPECT_EQ(axis.tickInterval, 20);
    EXPECT_EQ(axis.yTicks, (std::vector<double>{20, 40, 60, 80}));
    EXPECT_EQ(axis.xTicks, (std::vector<std::size_t>{0, 5, 10, 15, 20, 25, 30, 35}));

    // Equal values in view still make a range with length, and ticks inside it.
    const std::vector<double> flat(10, 0.25);
    axis = charts::studyAxis(flat, 0, 10, 4, 10);
    EXPECT_GT(axis.y.length, 0);
    EXPECT_LT(axis.y.location, 0.25);
    EXPECT_GT(axis.y.end(), 0.25);
    EXPECT_GT(axis.tickInterval, 0);
    EXPECT_FALSE(axis.yTicks.empty());
    // Fewer than six bars wide: one tick per bar, not a step of nothing.
    EXPECT_EQ(axis.xTicks.size(), 10u);
    const std::vector<double> zero(5, 0.0);
    EXPECT_GT(charts::studyAxis(zero, 0, 5, 5, 5).y.length, 0);
    // A window past the series' end reads nothing beyond it.
    axis = charts::studyAxis(flat, 8, 500, 35, 500);
    EXPECT_GT(axis.y.length, 0);

    // Round steps inside the pane, whatever the values: MACD's small figures and Aroon's 0 to 100.
    const std::vector<double> macd = {0.00006, -0.00003, 0.000011};
    axis = charts::studyAxis(macd, 0, 3, 3, 3);
    EXPECT_DOUBLE_EQ(axis.tickInterval, 0.00002);
    ASSERT_EQ(axis.yTicks.size(), 5u);
    for (std::size_t i = 0; i < axis.yTicks.size(); ++i)
        EXPECT_NEAR(axis.yTicks[i], -0.00002 + 0.00002 * static_cast<double>(i), 1e-12);
    const std::vector<double> aroon = {0, 42.86, 100};
    axis = charts::studyAxis(aroon, 0, 3, 3, 3);
    EXPECT_EQ(axis.yTicks, (std::vector<double>{0, 20, 40, 60, 80, 100}));
    for (double v : axis.yTicks)
        EXPECT_TRUE(v >= axis.y.location && v <= axis.y.end());
    EXPECT_EQ(charts::roundStep(0.3), 0.2);
    EXPECT_EQ(charts::roundStep(0.4), 0.5);
    EXPECT_EQ(charts::roundStep(1000), 1000);

    // The series that sets the range, by study (MACD: its line; histogram; signal lines).
    EXPECT_EQ(charts::rangeLineOf(Study::Macd), 0u);
    EXPECT_EQ(charts::rangeLineOf(Study::MacdHistogram), 2u);
    EXPECT_EQ(charts::rangeLineOf(Study::StochasticOscillator), 1u);
    EXPECT_EQ(charts::rangeLineOf(Study::RelativeVigourIndex), 1u);
    EXPECT_EQ(charts::rangeLineOf(Study::Aroon), 0u);
}

TEST(StudyBoard, OscillatorBarColoursDependOnlyOnTheBarBefore) {
    charts::BarSeries bars;
    for (int i = 0; i < 60; ++i) {
        const double mid = 100 + 10 * std::sin(i / 5.0);
        bars.push({i * 60, mid, mid + 1, mid - 1, mid, mid, mid});
    }
    for (Study study : {Study::AwesomeOscillator, Study::AcceleratorOscillator}) {
        const auto result = charts::computeStudy(study, {}, bars);
        ASSERT_TRUE(result.ok());
        const auto& values = result.lines[0].values;
        // Asked newest first (as a redraw of a scrolled window may), each bar's colour is the same
        // as asked oldest first, and green exactly when it is at least the bar before.
        std::vector<bool> forward, backward(values.size());
        for (std::size_t i = 0; i < values.size(); ++i)
            forward.push_back(charts::barRises(values, i));
        for (std::size_t i = values.size(); i-- > 0;)
            backward[i] = charts::barRises(values, i);
        EXPECT_EQ(forward, backward);
        int falling = 0;
        for (std::size_t i = 1; i < values.size(); ++i) {
            if (std::isfinite(values[i - 1]) && std::isfinite(values[i])) {
                EXPECT_EQ(forward[i], values[i] >= values[i - 1]) << i;
            }
            falling += !forward[i];
        }
        EXPECT_GT(falling, 0) << "a wave falls somewhere";
    }
}

} // namespace
