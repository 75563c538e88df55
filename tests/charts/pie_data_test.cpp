#include "charts/pie_data.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

using namespace tc;

TEST(PieData, SlicesKeepTheirOrderSignsAndTitles) {
    const std::vector<std::string> titles{"X", "Y"};
    const std::vector<double> values{10, -5, 0, NAN};
    const auto slices = charts::pieSlices(titles, values);
    ASSERT_EQ(slices.size(), 4u);
    EXPECT_EQ(slices[1].size, 5);
    EXPECT_EQ(slices[3].size, 0) << "a value that is not a number is an empty slice";
    EXPECT_EQ(charts::legendText(slices[0]), "X: 10.00");
    EXPECT_EQ(charts::legendText(slices[1]), "Y: -5.00");
    EXPECT_EQ(charts::legendText(slices[2]), ": 0.00") << "no title past the list";
    EXPECT_EQ(charts::legendText({"Z", -0.001, 0}), "Z: 0.00");

    const std::vector<double> sizes{10, 5, 0, NAN};
    const auto angles = charts::sliceAngles(sizes);
    EXPECT_DOUBLE_EQ(angles[0], 4 * std::numbers::pi / 3);
    EXPECT_DOUBLE_EQ(angles[1], 2 * std::numbers::pi / 3);
    EXPECT_EQ(angles[2], 0);
    EXPECT_EQ(angles[3], 0);
    const std::vector<double> none{0, 0};
    EXPECT_EQ(charts::sliceAngles(none), (std::vector<double>{0, 0}));
}

TEST(PieData, InstrumentSlicesComeInAStableOrderAndNeverDivideByNoEquity) {
    using charts::PieHolding;
    // Positions in the order the session lists them; GBPUSD twice, two instruments holding alike.
    const std::vector<PieHolding> margins{
        {"GBPUSD", 4, 100}, {"USDJPY", 9, 100}, {"EURUSD", 2, 100}, {"GBPUSD", 4, 200}, {"XAUUSD", 3, NAN}};
    const auto held = charts::byInstrument(margins);
    ASSERT_EQ(held.size(), 4u);
    EXPECT_EQ(held[0].code, "GBPUSD");
    EXPECT_EQ(held[0].amount, 300) << "one slice per instrument, holding the sum";
    EXPECT_EQ(held[1].code, "EURUSD") << "equal amounts by instrument id";
    EXPECT_EQ(held[2].code, "USDJPY");
    EXPECT_EQ(held[3].amount, 0) << "an amount that is not a number counts nothing";
    // Listed in another order, the slices come the same.
    const std::vector<PieHolding> reversed(margins.rbegin(), margins.rend());
    const auto again = charts::byInstrument(reversed);
    for (std::size_t i = 0; i < held.size(); ++i)
        EXPECT_EQ(again[i].code, held[i].code) << i;

    auto shares = charts::equityShares(margins, 1000, 500, false);
    ASSERT_EQ(shares.size(), 5u);
    EXPECT_EQ(shares[0].title, "GBPUSD");
    EXPECT_EQ(shares[0].value, 30);
    EXPECT_EQ(shares[1].value, 10);
    EXPECT_EQ(shares[4].title, "Avl.Mgn");
    EXPECT_EQ(shares[4].value, 50);
    shares = charts::equityShares(margins, 1000, 500, true);
    EXPECT_EQ(shares[0].value, 0) << "an account whose equity was hit shows no margin shares";
    EXPECT_EQ(shares[4].value, 50);
    for (double equity : {0.0, -50.0, double(NAN), double(INFINITY)})
        EXPECT_TRUE(charts::equityShares(margins, equity, 600, false).empty()) << equity;

    // Profit and loss keeps its sign: a loss is a slice of its size with a negative legend.
    const std::vector<PieHolding> profits{{"EURUSD", 2, -40}, {"GBPUSD", 4, 25}, {"EURUSD", 2, 10}};
    const auto pl = charts::profitLossShares(profits);
    ASSERT_EQ(pl.size(), 2u);
    EXPECT_EQ(charts::legendText(pl[0]), "GBPUSD: 25.00");
    EXPECT_EQ(charts::legendText(pl[1]), "EURUSD: -30.00");
    EXPECT_EQ(pl[1].size, 30);
    EXPECT_EQ(std::tuple(charts::isLoss(pl[1]), charts::isLoss(pl[0]), charts::isLoss({"Z", -0.001, 0})),
              std::tuple(true, false, false))
        << "a loss that shows as 0.00 is none";
    EXPECT_TRUE(charts::profitLossShares({}).empty());
}

TEST(PieData, AnInstrumentKeepsItsColourWhateverTheOrderOfTheSlices) {
    const auto colours = [](charts::SliceColours& keeper, std::vector<std::string> titles) {
        std::vector<charts::PieSlice> slices;
        for (auto& t : titles)
            slices.push_back({std::move(t), 1, 1});
        return keeper.assign(slices);
    };
    using Colours = std::vector<std::size_t>;
    charts::SliceColours keeper(3);
    EXPECT_EQ(colours(keeper, {"EURUSD", "XAUUSD"}), (Colours{0, 1}));
    EXPECT_EQ(colours(keeper, {"XAUUSD", "EURUSD"}), (Colours{1, 0})) << "the order turned round";
    EXPECT_EQ(colours(keeper, {"GBPUSD", "XAUUSD", "EURUSD"}), (Colours{2, 1, 0}))
        << "a newcomer, a free colour";
    EXPECT_EQ(colours(keeper, {"USDJPY", "XAUUSD", "GBPUSD"}), (Colours{0, 1, 2}))
        << "EURUSD's colour is free";
    // More slices than colours: some share one, never two side by side; the last borders the first.
    EXPECT_EQ(colours(keeper, {"A", "B", "C", "D"}), (Colours{0, 1, 2, 1})) << "more slices than colours";
}

// The margin pie of five instruments and the available margin, five colours: the sixth slice, drawn
// between the fifth and the first, takes a colour neither of them has, whichever colours the
// instruments kept from before.
TEST(PieData, NoTwoSlicesSideBySideShareAColour) {
    const std::vector<std::string> titles{"EURUSD", "GBPUSD", "USDJPY", "AAPL", "XAUUSD", "Avl.Mgn"};
    std::vector<charts::PieSlice> slices;
    for (const auto& t : titles)
        slices.push_back({t, 1, 1});
    const auto sideBySide = [](const std::vector<std::size_t>& colours) {
        for (std::size_t i = 0; i < colours.size(); ++i)
            if (colours[i] == colours[(i + 1) % colours.size()])
                return true;
        return false;
    };
    charts::SliceColours fresh(5);
    EXPECT_FALSE(sideBySide(fresh.assign(slices)));
    // XAUUSD kept the first colour from the profit-and-loss pie, its neighbour the fourth.
    charts::SliceColours kept(5);
    const std::vector<charts::PieSlice> before{{"XAUUSD", 1, 1}, {"B", 1, 1}, {"C", 1, 1}, {"D", 1, 1}};
    kept.assign(before);
    std::vector<charts::PieSlice> rotated{slices[4], slices[0], slices[1], slices[2], slices[3], slices[5]};
    const auto colours = kept.assign(rotated);
    EXPECT_FALSE(sideBySide(colours));
    EXPECT_EQ(colours.front(), 0u) << "XAUUSD keeps its colour";
    // Two slices and one colour cannot be told apart: that is all there is.
    charts::SliceColours one(1);
    EXPECT_EQ(one.assign(std::vector<charts::PieSlice>(slices.begin(), slices.begin() + 2)),
              (std::vector<std::size_t>{0, 0}));
}

} // namespace
