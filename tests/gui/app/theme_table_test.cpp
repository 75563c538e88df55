#include "gui/app/theme_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace tc::gui {
namespace {

using R = ThemeRole;

// A text or mark and what it is drawn on, with the contrast it needs (WCAG AA: 4.5 for text, 3 for
// hints, lines and fills; disabled text only has to be visibly there).
struct Pair {
    ThemeRole fore;
    ThemeRole ground;
    double least;
};

constexpr Pair kPairs[] = {
    {R::WindowText, R::Window, 4.5},
    {R::Text, R::Base, 4.5},
    {R::Text, R::AlternateBase, 4.5},
    {R::ButtonText, R::Button, 4.5},
    {R::HighlightedText, R::Highlight, 4.5},
    {R::ToolTipText, R::ToolTipBase, 4.5},
    {R::Link, R::Base, 4.5},
    {R::Link, R::Window, 4.5},
    {R::PlaceholderText, R::Base, 3.0},
    {R::DisabledText, R::Window, 2.0},
    {R::StaleText, R::Base, 4.5},
    {R::StaleText, R::AlternateBase, 4.5},
    {R::PriceValidText, R::PriceValidGround, 4.5},
    {R::PriceInvalidText, R::PriceInvalidGround, 4.5},
    {R::ChartAxis, R::ChartGround, 4.5},
    {R::ChartLegendText, R::ChartGround, 4.5},
    {R::ChartLegendText, R::ChartOverlayFill, 4.5},
    {R::ChartTagText, R::ChartBidLine, 4.5},
    {R::ChartTagText, R::ChartAskLine, 4.5},
    {R::ChartTagText, R::ChartCrosshairTag, 4.5},
    {R::ChartCrosshairTag, R::ChartGround, 3.0},
    {R::ChartBorder, R::ChartGround, 3.0},
    {R::ChartPriceLine, R::ChartGround, 3.0},
    {R::ChartWick, R::ChartGround, 3.0},
    {R::ChartRisingOutline, R::ChartGround, 3.0},
    {R::ChartFallingFill, R::ChartGround, 3.0},
    {R::ChartCrosshair, R::ChartGround, 3.0},
    {R::ChartBidSeries, R::ChartGround, 3.0},
    {R::ChartAskSeries, R::ChartGround, 3.0},
    {R::ChartBidLine, R::ChartGround, 3.0},
    {R::ChartAskLine, R::ChartGround, 3.0},
    {R::StudyRising, R::ChartGround, 3.0},
    {R::StudyFalling, R::ChartGround, 3.0},
    {R::StudyMacdBars, R::ChartGround, 3.0},
    {R::StudyMacdLine, R::ChartGround, 3.0},
    {R::StudyRocLine, R::ChartGround, 3.0},
    {R::StudyStdDevLine, R::ChartGround, 3.0},
    {R::StudyTealLine, R::ChartGround, 3.0},
    {R::StudyBlueLine, R::ChartGround, 3.0},
    {R::StudyAquaLine, R::ChartGround, 3.0},
    {R::StudyPowerBars, R::ChartGround, 3.0},
    {R::PieSlice1, R::ChartGround, 3.0},
    {R::PieSlice2, R::ChartGround, 3.0},
    {R::PieSlice3, R::ChartGround, 3.0},
    {R::PieSlice4, R::ChartGround, 3.0},
    {R::PieSlice5, R::ChartGround, 3.0},
    {R::ChatOwnHead, R::Base, 4.5},
    {R::ChatOtherHead, R::Base, 4.5},
};

TEST(ThemeTable, EveryRoleIsSetOnceInItsPlaceForBothThemes) {
    std::set<std::string> names;
    for (std::size_t i = 0; i < kThemeRoleCount; ++i) {
        const ThemeEntry& entry = themeTable()[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(static_cast<std::size_t>(entry.role), i) << "a line missing or out of order";
        EXPECT_FALSE(entry.name.empty());
        EXPECT_TRUE(names.insert(std::string(entry.name)).second) << entry.name;
        for (int theme : {kDarkTheme, kLightTheme}) {
            ASSERT_TRUE(themeColour(theme, entry.role));
            EXPECT_GT(themeColour(theme, entry.role)->a, 0) << entry.name << " is invisible in " << theme;
        }
    }
    EXPECT_FALSE(themeColour(2, R::Window));
    EXPECT_FALSE(themeColour(-1, R::Window));
}

TEST(ThemeTable, EveryTextAndMarkStandsOutFromItsGroundInBothThemes) {
    for (int theme : {kDarkTheme, kLightTheme}) {
        for (const Pair& pair : kPairs) {
            const auto fore = themeTable()[static_cast<std::size_t>(pair.fore)];
            const auto ground = themeTable()[static_cast<std::size_t>(pair.ground)];
            EXPECT_GE(contrastRatio(colourOf(theme, pair.fore), colourOf(theme, pair.ground)), pair.least)
                << fore.name << " on " << ground.name << " in theme " << theme;
        }
    }
}

TEST(ThemeTable, DarkIsDarkLightIsLightAndPieSlicesRepeatAfterFive) {
    EXPECT_LT(relativeLuminance(colourOf(kDarkTheme, R::Window)), 0.05);
    EXPECT_LT(relativeLuminance(colourOf(kDarkTheme, R::ChartGround)), 0.05);
    EXPECT_GT(relativeLuminance(colourOf(kLightTheme, R::Window)), 0.7);
    EXPECT_GT(relativeLuminance(colourOf(kLightTheme, R::ChartGround)), 0.7);
    // Black on white is the largest contrast there is.
    EXPECT_NEAR(contrastRatio({0, 0, 0}, {255, 255, 255}), 21.0, 1e-9);

    EXPECT_EQ(pieSliceRole(0), R::PieSlice1);
    EXPECT_EQ(pieSliceRole(4), R::PieSlice5);
    EXPECT_EQ(pieSliceRole(5), R::PieSlice1);
    std::set<std::uint32_t> slices;
    for (std::size_t i = 0; i < kPieSliceColours; ++i) {
        const Rgba c = colourOf(kLightTheme, pieSliceRole(i));
        slices.insert(std::uint32_t{c.r} << 16 | std::uint32_t{c.g} << 8 | c.b);
    }
    EXPECT_EQ(slices.size(), kPieSliceColours) << "five slices, five colours";
}

} // namespace
} // namespace tc::gui
