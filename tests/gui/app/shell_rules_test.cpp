#include "gui/app/shell_rules.h"
#include "platform/user_defaults.h"

#include <gtest/gtest.h>

namespace tc::gui {
namespace {

TEST(ShellRules, StoredLanguageOutsideTheListMeansEnglish) {
    EXPECT_EQ(languageForStoredValue(std::nullopt), 0);
    EXPECT_EQ(languageForStoredValue(11), 11);
    EXPECT_EQ(languageForStoredValue(12), 0);
    EXPECT_EQ(languageForStoredValue(-1), 0);
}

TEST(ShellRules, LoginValidationNamesOnlyTheFirstUnusableField) {
    struct Case {
        LoginFields fields;
        std::optional<std::string_view> key;
    };
    const Case cases[] = {
        {{"", "", "", ""}, "0004"},
        {{"  ", "5100", "demo", "pw"}, "0004"},
        {{"host", "", "", ""}, "0005"},
        {{"host", "0", "demo", "pw"}, "0005"},
        {{"host", "65536", "demo", "pw"}, "0005"},
        {{"host", "51a0", "demo", "pw"}, "0005"},
        {{"host", "5100", " ", "pw"}, "0002"},
        {{"host", "5100", "demo", ""}, "0003"},
        {{"host", "65535", "demo", " "}, std::nullopt}, // a password is taken as typed
    };
    for (const auto& c : cases)
        EXPECT_EQ(loginValidationKey(c.fields), c.key) << c.fields.server << "|" << c.fields.port;
}

TEST(ShellRules, NetworkStatusOutsideTheFourClassesChangesNothing) {
    EXPECT_EQ(networkStatusLook(0)->connectionImage, "network-status-online");
    EXPECT_EQ(networkStatusLook(2)->connectionImage, "network-status-away");
    EXPECT_EQ(networkStatusLook(3)->textKey, "1007");
    EXPECT_FALSE(networkStatusLook(4));
    EXPECT_FALSE(networkStatusLook(-1));
}

TEST(ShellRules, ChoicesForStoredValues) {
    EXPECT_EQ(fontSizeChoiceIndex(16), 2u);
    EXPECT_FALSE(fontSizeChoiceIndex(14));
    EXPECT_EQ(idleChoiceIndex(1800), 3u);
    EXPECT_EQ(idleChoiceIndex(301), 0u); // anything else shows "never"
}

TEST(ShellRules, FirstStartStoresDefaultFontSizesLaterStartsKeepThem) {
    auto defaults = tc::platform::UserDefaults::inMemory();
    PreferenceManager::setDefaultFontSize(*defaults);
    EXPECT_EQ(PreferenceManager::getFontSizeInfoForKey(*defaults, kWatchlistFontSizeKey), 12);
    PreferenceManager::saveFontSizeInfo(*defaults, 20, kPositionsFontSizeKey);
    PreferenceManager::setDefaultFontSize(*defaults);
    EXPECT_EQ(PreferenceManager::getFontSizeInfoForKey(*defaults, kPositionsFontSizeKey), 20);
}

struct FakeIdle : IdleSource {
    std::int64_t idleSeconds() override { return seconds; }
    std::int64_t seconds = 0;
};

TEST(IdleTimeChecker, FiresOnceWhenIdleReachesTheSettingEvenOnALateCheck) {
    auto defaults = tc::platform::UserDefaults::inMemory();
    FakeIdle idle;
    int fired = 0;
    IdleTimeChecker checker(*defaults, idle, [&] { ++fired; });

    idle.seconds = 5000;
    checker.startCheckingIdleTime(); // no setting: never
    defaults->set(kIdleTimeKey, std::int64_t{300});
    idle.seconds = 299;
    checker.startCheckingIdleTime();
    EXPECT_EQ(fired, 0);
    idle.seconds = 301; // the tick at 300 came late
    checker.startCheckingIdleTime();
    checker.startCheckingIdleTime();
    EXPECT_EQ(fired, 1);
}

TEST(IdleTimeChecker, AnUnreadableIdleTimeNeverFires) {
    EXPECT_FALSE(idleTimeoutReached(300, -1));
    EXPECT_FALSE(idleTimeoutReached(0, 100));
    EXPECT_TRUE(idleTimeoutReached(600, 600));
}

} // namespace
} // namespace tc::gui
