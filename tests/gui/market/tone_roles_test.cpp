#include "gui/market/tone_roles.h"

#include <gtest/gtest.h>

namespace tc::gui {
namespace {

TEST(ToneRoles, EveryTonesTextIsReadableWhereItStandsInBothThemes) {
    for (Tone tone : {Tone::Plain, Tone::Gain, Tone::Loss, Tone::TickUp, Tone::TickDown, Tone::TickSame,
                      Tone::Frozen, Tone::Alert}) {
        const ToneRoles roles = toneRoles(tone);
        SCOPED_TRACE(static_cast<int>(tone));
        for (int theme : {kDarkTheme, kLightTheme}) {
            const Rgba text = colourOf(theme, roles.text.value_or(ThemeRole::Text));
            if (roles.ground) {
                EXPECT_GE(contrastRatio(text, colourOf(theme, *roles.ground)), 4.5) << theme;
                continue;
            }
            // Without a ground of its own the cell stands on either kind of row.
            EXPECT_GE(contrastRatio(text, colourOf(theme, ThemeRole::Base)), 4.5) << theme;
            EXPECT_GE(contrastRatio(text, colourOf(theme, ThemeRole::AlternateBase)), 4.5) << theme;
        }
    }
    // The directions are told apart by their grounds, the signs by their texts.
    const auto ground = [](Tone tone) { return colourOf(kLightTheme, *toneRoles(tone).ground); };
    EXPECT_NE(ground(Tone::TickUp), ground(Tone::TickDown));
    EXPECT_NE(ground(Tone::TickUp), ground(Tone::TickSame));
    EXPECT_NE(colourOf(kDarkTheme, *toneRoles(Tone::Gain).text), colourOf(kDarkTheme, *toneRoles(Tone::Loss).text));
    EXPECT_TRUE(toneRoles(Tone::Alert).bold);
    EXPECT_FALSE(toneRoles(Tone::Plain).text);
}

} // namespace
} // namespace tc::gui
