#include "gui/app/theme_palette.h"

#include <gtest/gtest.h>

namespace tc::gui {
namespace {

// Text must stay readable on what it is drawn on (WCAG AA: 4.5 for text, 3 for hints and frames).
TEST(ThemePalette, EveryTextIsReadableOnItsBackgroundInBothThemes) {
    for (int theme : {kDarkTheme, kLightTheme}) {
        const ThemeColors& c = *themeColors(theme);
        SCOPED_TRACE(theme);
        EXPECT_GE(contrastRatio(c.windowText, c.window), 4.5);
        EXPECT_GE(contrastRatio(c.text, c.base), 4.5);
        EXPECT_GE(contrastRatio(c.text, c.alternateBase), 4.5);
        EXPECT_GE(contrastRatio(c.buttonText, c.button), 4.5);
        EXPECT_GE(contrastRatio(c.highlightedText, c.highlight), 4.5);
        EXPECT_GE(contrastRatio(c.toolTipText, c.toolTipBase), 4.5);
        EXPECT_GE(contrastRatio(c.link, c.base), 4.5);
        EXPECT_GE(contrastRatio(c.placeholderText, c.base), 3.0);
        EXPECT_GE(contrastRatio(c.disabledText, c.window), 2.0); // visibly there, visibly off
    }
}

TEST(ThemePalette, DarkIsDarkAndLightIsLight) {
    EXPECT_LT(relativeLuminance(themeColors(kDarkTheme)->window), 0.05);
    EXPECT_GT(relativeLuminance(themeColors(kLightTheme)->window), 0.7);
    EXPECT_EQ(themeColors(2), nullptr);
    // Black on white is the largest contrast there is.
    EXPECT_NEAR(contrastRatio({0, 0, 0}, {255, 255, 255}), 21.0, 1e-9);
}

} // namespace
} // namespace tc::gui
