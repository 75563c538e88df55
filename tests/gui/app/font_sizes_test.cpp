#include "gui/app/font_sizes.h"
#include "platform/user_defaults.h"

#include <gtest/gtest.h>

namespace tc::gui {
namespace {

TEST(FontSizes, AStoredSizeShowsItsChoiceAndAnyOtherNone) {
    EXPECT_EQ(fontSizeChoiceIndex(16), 2u);
    EXPECT_FALSE(fontSizeChoiceIndex(14));
}

TEST(FontSizes, FirstStartStoresDefaultFontSizesLaterStartsKeepThem) {
    auto defaults = tc::platform::UserDefaults::inMemory();
    PreferenceManager::setDefaultFontSize(*defaults);
    EXPECT_EQ(PreferenceManager::getFontSizeInfoForKey(*defaults, kWatchlistFontSizeKey), 12);
    PreferenceManager::saveFontSizeInfo(*defaults, 20, kPositionsFontSizeKey);
    PreferenceManager::setDefaultFontSize(*defaults);
    EXPECT_EQ(PreferenceManager::getFontSizeInfoForKey(*defaults, kPositionsFontSizeKey), 20);
}

} // namespace
} // namespace tc::gui
