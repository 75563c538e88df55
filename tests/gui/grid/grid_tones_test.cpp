#include "gui/app/theme_table.h"
#include "gui/grid/grid_tones.h"

#include <gtest/gtest.h>

namespace tc::gui {
namespace {

double contrast(QColor a, QColor b) {
    return contrastRatio({static_cast<std::uint8_t>(a.red()), static_cast<std::uint8_t>(a.green()),
                          static_cast<std::uint8_t>(a.blue())},
                         {static_cast<std::uint8_t>(b.red()), static_cast<std::uint8_t>(b.green()),
                          static_cast<std::uint8_t>(b.blue())});
}

QColor role(int theme, ThemeRole r) {
    const Rgba c = colourOf(theme, r);
    return QColor(c.r, c.g, c.b);
}

TEST(GridTones, EveryCellTextIsReadableOnWhatItStandsOnInEveryGridAndTheme) {
    const Grid grids[] = {Grid::Watchlist,       Grid::Accounts,         Grid::OpenPositions,
                          Grid::PendingOrders,   Grid::SettledPositions, Grid::ExecutedPositions,
                          Grid::CancelledOrders, Grid::BuyDepth,         Grid::SellDepth};
    const Tone tones[] = {Tone::Plain,    Tone::Gain,     Tone::Loss,   Tone::TickUp,
                          Tone::TickDown, Tone::TickSame, Tone::Frozen, Tone::Alert};
    for (int theme : {kDarkTheme, kLightTheme})
        for (Grid grid : grids)
            for (Tone tone : tones) {
                SCOPED_TRACE(testing::Message()
                             << "theme " << theme << " grid " << int(grid) << " tone " << int(tone));
                const ToneStyle style = toneStyle(grid, tone, theme);
                const QColor text = style.foreground.value_or(role(theme, ThemeRole::Text));
                if (style.background) {
                    EXPECT_GE(contrast(text, *style.background), 4.5);
                    continue;
                }
                // Without a ground of its own a cell stands on either kind of row.
                EXPECT_GE(contrast(text, role(theme, ThemeRole::Base)), 4.5);
                EXPECT_GE(contrast(text, role(theme, ThemeRole::AlternateBase)), 4.5);
            }
}

TEST(GridTones, DirectionsAndSignsAreToldApartAndTheBoardsFallIsItsOwnRed) {
    for (int theme : {kDarkTheme, kLightTheme}) {
        const auto ground = [theme](Grid grid, Tone tone) {
            return *toneStyle(grid, tone, theme).background;
        };
        EXPECT_NE(ground(Grid::Watchlist, Tone::TickUp), ground(Grid::Watchlist, Tone::TickDown));
        EXPECT_NE(ground(Grid::Watchlist, Tone::TickUp), ground(Grid::Watchlist, Tone::TickSame));
        EXPECT_NE(ground(Grid::Watchlist, Tone::TickDown), ground(Grid::OpenPositions, Tone::TickDown));
        EXPECT_NE(*toneStyle(Grid::OpenPositions, Tone::Gain, theme).foreground,
                  *toneStyle(Grid::OpenPositions, Tone::Loss, theme).foreground);
        EXPECT_NE(*toneStyle(Grid::OpenPositions, Tone::Loss, theme).foreground,
                  *toneStyle(Grid::Accounts, Tone::Loss, theme).foreground);
        EXPECT_TRUE(toneStyle(Grid::Accounts, Tone::Alert, theme).bold);
        EXPECT_FALSE(toneStyle(Grid::Accounts, Tone::Plain, theme).foreground);
    }
    // An unknown theme number reads as the light theme.
    EXPECT_EQ(toneStyle(Grid::Watchlist, Tone::TickSame, 7).background,
              toneStyle(Grid::Watchlist, Tone::TickSame, kLightTheme).background);
    EXPECT_EQ(tickTone(Tick::Up), Tone::TickUp);
    EXPECT_EQ(tickTone(Tick::Same), Tone::TickSame);
}

} // namespace
} // namespace tc::gui
