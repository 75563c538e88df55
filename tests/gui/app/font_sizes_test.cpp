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

TEST(FontSizes, AStoredSizeOutsideTheOfferedRangeReadsAsTheDefault) {
    auto defaults = tc::platform::UserDefaults::inMemory();
    EXPECT_EQ(PreferenceManager::getFontSizeInfoForKey(*defaults, kWatchlistFontSizeKey), 0);
    for (std::int64_t stored :
         {std::int64_t{100000000}, std::int64_t{0}, std::int64_t{-3}, std::int64_t{21}}) {
        defaults->set(kWatchlistFontSizeKey, stored);
        EXPECT_EQ(PreferenceManager::getFontSizeInfoForKey(*defaults, kWatchlistFontSizeKey),
                  kDefaultFontSize)
            << stored;
    }
    // Sizes between the choices are kept: only the range is guarded.
    defaults->set(kWatchlistFontSizeKey, std::int64_t{14});
    EXPECT_EQ(PreferenceManager::getFontSizeInfoForKey(*defaults, kWatchlistFontSizeKey), 14);
}

} // namespace
} // namespace tc::gui
