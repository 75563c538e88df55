#include "platform/bundle.h"
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
