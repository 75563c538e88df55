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

} // namespace
} // namespace tc::gui
