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

TEST(PieData, EquitySharesComeInPositionOrderAndNeverDivideByNoEquity) {
    const std::vector<std::string> positions{"GBPUSD", "EURUSD", "GBPUSD"};
    auto margin = [](std::string_view code) { return code == "GBPUSD" ? 300.0 : 100.0; };
    auto shares = charts::equityShares(positions, margin, 1000, 600, false);
    ASSERT_EQ(shares.size(), 3u);
    EXPECT_EQ(shares[0].title, "GBPUSD");
    EXPECT_EQ(shares[0].value, 30);
    EXPECT_EQ(shares[1].title, "EURUSD");
    EXPECT_EQ(shares[1].value, 10);
    EXPECT_EQ(shares[2].title, "Avl.Mgn");
    EXPECT_EQ(shares[2].value, 60);

    shares = charts::equityShares(positions, margin, 1000, 600, true);
    EXPECT_EQ(shares[0].value, 0) << "an account whose equity was hit shows no margin shares";
    EXPECT_EQ(shares[2].value, 60);
    for (double equity : {0.0, -50.0, double(NAN), double(INFINITY)}) {
        for (const auto& s : charts::equityShares(positions, margin, equity, 600, false)) {
            EXPECT_EQ(s.value, 0) << equity;
            EXPECT_EQ(s.size, 0);
        }
    }
}

} // namespace
