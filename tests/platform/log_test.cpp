#include "platform/bundle.h"
#include "platform/log.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace tc;

struct CapturedLog {
    std::vector<std::pair<platform::LogLevel, std::string>> lines;
    platform::LogLevel saved = platform::Log::level();
    CapturedLog() {
        platform::Log::setSink(
            [this](platform::LogLevel l, std::string_view s) { lines.emplace_back(l, s); });
    }
    ~CapturedLog() {
        platform::Log::setSink({});
        platform::Log::setLevel(saved);
    }
};

TEST(Log, LevelsFilterAndOutsideTextIsNeverAFormat) {
    CapturedLog log;
    platform::Log::setLevel(platform::LogLevel::Warning);
    platform::Log::info("dropped {}", 1);
    platform::Log::warning("kept {}", 2);
    // A server text with braces and percent signs passes through untouched as an argument.
    platform::Log::error("server said: {}", std::string("{0} %s %n {}"));
    ASSERT_EQ(log.lines.size(), 2u);
    EXPECT_EQ(log.lines[0].first, platform::LogLevel::Warning);
    EXPECT_EQ(log.lines[0].second, "kept 2");
    EXPECT_EQ(log.lines[1].second, "server said: {0} %s %n {}");
    platform::Log::setLevel(platform::LogLevel::Off);
    platform::Log::error("silenced");
    EXPECT_EQ(log.lines.size(), 2u);
}

TEST(Bundle, FindsResourcesOnlyInsideTheRoot) {
    auto dir = std::filesystem::temp_directory_path() / ("bundle_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "en.lproj");
    { std::ofstream(dir / "LoginPropertyList.plist") << "<plist/>"; }
    platform::Bundle::setResourcesRoot(dir);
    EXPECT_EQ(platform::Bundle::pathForResource("LoginPropertyList", "plist"),
              dir / "LoginPropertyList.plist");
    EXPECT_FALSE(platform::Bundle::pathForResource("Missing", "plist"));
    EXPECT_FALSE(platform::Bundle::pathForResource("../etc/passwd", ""));
    EXPECT_EQ(platform::Bundle::localizationFolder("en"), dir / "en.lproj");
    EXPECT_FALSE(platform::Bundle::localizationFolder("fr"));
    platform::Bundle::setResourcesRoot({});
    EXPECT_NE(platform::Bundle::resourcesRoot(), dir);
    // Without an override or $TC_RESOURCES the build tree's programs read the resources beside them.
    if (!std::getenv("TC_RESOURCES")) {
        EXPECT_EQ(platform::Bundle::resourcesRoot(), platform::Bundle::executableFolder() / "resources");
    }
    std::filesystem::remove_all(dir);
}

} // namespace
