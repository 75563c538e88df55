#include "gui/app/language_list.h"

#include <gtest/gtest.h>

namespace tc::gui {
namespace {

TEST(LanguageList, StoredLanguageOutsideTheListMeansEnglish) {
    EXPECT_EQ(languageForStoredValue(std::nullopt), 0);
    EXPECT_EQ(languageForStoredValue(11), 11);
    EXPECT_EQ(languageForStoredValue(12), 0);
    EXPECT_EQ(languageForStoredValue(-1), 0);
}

} // namespace
} // namespace tc::gui
