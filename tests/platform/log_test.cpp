#include "platform/bundle.h"
#include "platform/clock.h"
#include "platform/log.h"

#include "support/log_capture.h"
#include "support/temp_resources.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

using namespace tc;
using testing_support::LogCapture;

TEST(Log, LevelsFilterAndOutsideTextIsNeverAFormat) {
    LogCapture log(platform::LogLevel::Warning);
    platform::Log::info("dropped {}", 1);
    platform::Log::warning("kept {}", 2);
    // A server text with braces and percent signs passes through untouched as an argument.
    platform::Log::error("server said: {}", std::string("{0} %s %n {}"));
    platform::Log::setLevel(platform::LogLevel::Off);
    platform::Log::error("silenced");
    using Entry = std::pair<platform::LogLevel, std::string>;
    EXPECT_EQ(log.entries(), (std::vector<Entry>{{platform::LogLevel::Warning, "kept 2"},
                                                 {platform::LogLevel::Error, "server said: {0} %s %n {}"}}));
}

TEST(Log, ServerTextsCannotDriveTheTerminalOrForgeLines) {
    struct Case {
        std::string text, written;
    };
    const std::vector<Case> cases = {
        {"plain EURUSD 1.2345", "plain EURUSD 1.2345"},
        {"a\nwarning: forged", "a\\nwarning: forged"},
        {"x\r\t\x1b[2J\x07\x7f", "x\\r\\t\\x1B[2J\\x07\\x7F"},
        {std::string("nul\0in", 6), "nul\\x00in"},
        {"\xc2\x9b"
         "31m",
         "\\u{009B}31m"}, // CSI as a C1 control
        {"abc\xe2\x80\xae"
         "evil",
         "abc\\u{202E}evil"},                                     // right-to-left override
        {"line\xe2\x80\xa8sep", "line\\u{2028}sep"},              // line separator
        {"\xff\xc3(", "\\xFF\\xC3("},                             // not UTF-8
        {"caf\xc3\xa9 \xe2\x82\xac", "caf\xc3\xa9 \xe2\x82\xac"}, // ordinary letters stay
    };
    for (const Case& c : cases) {
        LogCapture log(platform::LogLevel::Info);
        platform::Log::warning("server text: {}", c.text);
        EXPECT_EQ(log.lines(), std::vector<std::string>{"server text: " + c.written}) << c.text;
    }
    LogCapture log(platform::LogLevel::Info);
    platform::Log::warning("code {}", std::string(200'000, 'A'));
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_LT(log.lines()[0].size(), platform::Log::kMaxLineBytes + 64);
    EXPECT_TRUE(log.contains("more bytes"));
}

TEST(Log, ARepeatedLineIsRateLimitedAndTheCountOfLeftOutLinesFollows) {
    auto clock = std::make_shared<platform::ManualClock>();
    platform::ScopedClock scoped(clock);
    LogCapture log(platform::LogLevel::Info);
    const auto flood = [](int n) {
        for (int i = 0; i < n; ++i)
            platform::Log::warning("feed text of {} bytes refused", i);
    };
    flood(1000);
    platform::Log::warning("another site {}", 1); // other lines still get through
    ASSERT_EQ(log.lines().size(), std::size_t(platform::Log::kLinesPerWindow) + 1);
    EXPECT_EQ(log.lines().back(), "another site 1");

    clock->advance(platform::Log::kWindow);
    flood(1);
    EXPECT_EQ(log.lines().back(),
              fmt::format("feed text of 0 bytes refused ({} more like this were left out)",
                          1000 - platform::Log::kLinesPerWindow));
    flood(1);
    EXPECT_EQ(log.lines().back(), "feed text of 0 bytes refused");
}

// Two format strings 512 rows of 8 bytes apart: the same slot of a table of 512 indexed by address.
struct SharedSlotSites {
    char rows[513][8] = {};
};
constexpr SharedSlotSites sharedSlotSites() {
    SharedSlotSites s;
    const char first[] = "a {}", second[] = "b {}";
    for (int i = 0; i < 5; ++i) {
        s.rows[0][i] = first[i];
        s.rows[512][i] = second[i];
    }
    return s;
}
constexpr SharedSlotSites kSharedSlot = sharedSlotSites();

TEST(Log, TwoSitesCalledInTurnAreEachLimitedWhereverTheirAddressesFall) {
    auto clock = std::make_shared<platform::ManualClock>();
    platform::ScopedClock scoped(clock);
    LogCapture log(platform::LogLevel::Info);
    for (int i = 0; i < 1000; ++i) {
        platform::Log::warning(kSharedSlot.rows[0], i);
        platform::Log::warning(kSharedSlot.rows[512], i);
    }
    ASSERT_EQ(log.lines().size(), 2 * std::size_t(platform::Log::kLinesPerWindow));
    EXPECT_EQ(log.lines()[2 * platform::Log::kLinesPerWindow - 1],
              fmt::format("b {}", platform::Log::kLinesPerWindow - 1));
    clock->advance(platform::Log::kWindow);
    platform::Log::warning(kSharedSlot.rows[0], 0);
    EXPECT_EQ(log.lines().back(),
              fmt::format("a 0 ({} more like this were left out)", 1000 - platform::Log::kLinesPerWindow));
}

TEST(Bundle, FindsResourcesOnlyInsideTheRoot) {
    testing_support::TempDir dir;
    dir.write("LoginPropertyList.plist", "<plist/>");
    dir.write("en.lproj/Localizable.txt", "");
    platform::Bundle::setResourcesRoot(dir.path());
    EXPECT_EQ(platform::Bundle::pathForResource("LoginPropertyList", "plist"),
              dir.path() / "LoginPropertyList.plist");
    EXPECT_FALSE(platform::Bundle::pathForResource("Missing", "plist"));
    EXPECT_FALSE(platform::Bundle::pathForResource("../etc/passwd", ""));
    EXPECT_EQ(platform::Bundle::localizationFolder("en"), dir.path() / "en.lproj");
    EXPECT_FALSE(platform::Bundle::localizationFolder("fr"));
    platform::Bundle::setResourcesRoot({});
    EXPECT_NE(platform::Bundle::resourcesRoot(), dir.path());
    // Without an override or $TC_RESOURCES the build tree's programs read the resources beside them.
    if (!std::getenv("TC_RESOURCES")) {
        EXPECT_EQ(platform::Bundle::resourcesRoot(), platform::Bundle::executableFolder() / "resources");
    }
}

} // namespace
