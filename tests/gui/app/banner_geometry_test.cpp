#include "gui/app/banner_geometry.h"

#include <gtest/gtest.h>

namespace tc::gui {
namespace {

const BannerRect kScreen{0, 0, 1920, 1080};

BannerMeasures oneLine() {
    BannerMeasures m;
    m.labelHeight = 15;
    m.informativeHeightForWidth = [](double) { return 18.0; };
    return m;
}

TEST(BannerGeometry, WithoutButtonsTheTextColumnIs320AndTheContentDecidesTheHeight) {
    const BannerLayout l = layoutBanner(oneLine(), kScreen, 22);
    EXPECT_EQ(l.labelWidth, 320);
    EXPECT_EQ(l.height, 2 * 15 + 8 + 18 + 2 + 8); // under the banner's 70
    EXPECT_EQ(l.start, (BannerRect{1920 - 380 - 15, 10, 380, l.height}));
    EXPECT_EQ(l.shown, (BannerRect{1920 - 380 - 15, 32, 380, l.height}));
    EXPECT_EQ(l.end, (BannerRect{1920 - 380, 32, 380, l.height})); // leaves 15 to the right
    EXPECT_EQ(l.otherButton, BannerRect{});
}

TEST(BannerGeometry, ButtonsTakeTheirWidthFromTheTextColumnAndStayWhole) {
    BannerMeasures m = oneLine();
    m.hasButtons = true;
    m.buttonWidth = 60;
    m.buttonHeight = 28;
    const BannerLayout l = layoutBanner(m, kScreen, 22);
    EXPECT_EQ(l.labelWidth, 312 - 60);
    EXPECT_EQ(l.otherButton, (BannerRect{380 - 8 - 60, 8, 60, 28}));
    EXPECT_EQ(l.actionButton, (BannerRect{380 - 8 - 60, 44, 60, 28}));
    EXPECT_GE(l.height, l.actionButton.y + l.actionButton.height + 8);
}

TEST(BannerGeometry, AWrappingTextGrowsTheBannerButNeverBeyondItsWrappedLines) {
    BannerMeasures m = oneLine();
    m.multiLine = true;
    m.informativeNaturalWidth = 700; // three lines of 320
    m.informativeHeightForWidth = [](double) { return 60.0; };
    EXPECT_EQ(layoutBanner(m, kScreen, 22).height, 2 * 15 + 8 + 60 + 2 + 8);
    m.informativeHeightForWidth = [](double) { return 100.0; };
    EXPECT_EQ(layoutBanner(m, kScreen, 22).height, 70 + 3 * 15);
}

// Stacked banners: a new one takes the first gap from the top that holds it; none past the screen.
TEST(BannerGeometry, ANewBannerTakesTheFirstPlaceFreeUnderThoseOnScreen) {
    const double g = kBannerGap;
    EXPECT_EQ(freeBannerPlace({}, 70, 500), 0.0);
    EXPECT_EQ(freeBannerPlace({}, 700, 500), 0.0); // alone, it shows whatever the room
    EXPECT_EQ(freeBannerPlace({{0, 70}}, 70, 500), 70 + g);
    // A gap left by one that has gone is taken when it holds the banner, passed over when not.
    EXPECT_EQ(freeBannerPlace({{200, 70}, {0, 70}}, 70, 500), 70 + g);
    EXPECT_EQ(freeBannerPlace({{0, 70}, {140, 70}}, 70, 500), 210 + g);
    EXPECT_EQ(freeBannerPlace({{0, 70}, {70 + g, 70}}, 70, 500), 140 + 2 * g);
    EXPECT_EQ(freeBannerPlace({{0, 400}}, 100, 500), std::nullopt);
    EXPECT_EQ(freeBannerPlace({{0, 400}}, 94 - g, 500), 400 + g);
}

TEST(BannerGeometry, ABannerThatGrewPushesThoseUnderItDownAndNothingMovesUp) {
    const double g = kBannerGap;
    // The first grew from 70 to 140 over the second; the third stood clear already.
    const std::vector<double> places = clearedBannerPlaces({{0, 140}, {300, 70}, {70 + g, 70}});
    EXPECT_EQ(places, (std::vector<double>{0, 300, 140 + g}));
    EXPECT_EQ(clearedBannerPlaces({{0, 70}, {200, 70}}), (std::vector<double>{0, 200}));
    const BannerLayout l = lowered(layoutBanner(oneLine(), kScreen, 22), 100);
    EXPECT_EQ(l.start.y, 110);
    EXPECT_EQ(l.shown.y, 132);
    EXPECT_EQ(l.end.y, 132);
}

} // namespace
} // namespace tc::gui
