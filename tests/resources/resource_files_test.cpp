#include "platform/base64.h"
#include "resources/resource_files.h"
#include "wire/data_additions.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using namespace tc;

using namespace tc::resources;
namespace fs = std::filesystem;

// What the server sends for a file: four bytes, then the gzip stream of its text, all in Base64.
std::string payloadOf(std::string_view text) {
    const auto deflated = NSDataAdditions::gzipDeflate(
        std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    std::vector<std::uint8_t> bytes = {1, 2, 3, 4};
    bytes.insert(bytes.end(), deflated->begin(), deflated->end());
    return *platform::Base64::encodeBase64WithData(bytes);
}

std::string contents(const fs::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class ResourceStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ =
            fs::temp_directory_path() / ("tc-resources-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    fs::path folder_;
};

TEST(SafeBaseName, RefusesAnythingThatIsNotOneNameInTheFolder) {
    const std::string_view refused[] = {
        "", ".", "..", "a/b", "../up", "a\\b", std::string_view("a\0b", 3), "tab\there", "bad\xFF"};
    for (std::string_view name : refused)
        EXPECT_FALSE(safeBaseName(name).ok()) << name;
    EXPECT_FALSE(safeBaseName(std::string(256, 'x')).ok());
    for (std::string_view name : {"holidays.ics", "icon 2.png", "..ics", "\xC3\xA9t\xC3\xA9.ics"})
        EXPECT_EQ(safeBaseName(name).name, name);
}

TEST(ResourcePayload, DecodesWithinTheCapOrNotAtAll) {
    EXPECT_EQ(decodeResourcePayload(payloadOf("BEGIN:VCALENDAR")), "BEGIN:VCALENDAR");
    std::string why;
    EXPECT_FALSE(decodeResourcePayload("not base64 !", &why));
    EXPECT_FALSE(decodeResourcePayload(
        *platform::Base64::encodeBase64WithData(std::vector<std::uint8_t>{1, 2}), &why));
    EXPECT_FALSE(decodeResourcePayload(
        *platform::Base64::encodeBase64WithData(std::vector<std::uint8_t>(40, 7)), &why));
    EXPECT_FALSE(decodeResourcePayload(payloadOf(std::string(kMaxResourceBytes + 1, 'z')), &why));
    EXPECT_NE(why.find("inflate"), std::string::npos) << why;
}

TEST(FileManager, TheResourcesFolderIsUnderTheXdgDataFolder) {
    const char* old = std::getenv("XDG_DATA_HOME");
    const std::string saved = old ? old : "";
    ::setenv("XDG_DATA_HOME", "/data/home", 1);
    EXPECT_EQ(FileManager::getPathForDirectory("Resources"), fs::path("/data/home/tradeclient/Resources"));
    ::setenv("XDG_DATA_HOME", "relative", 1);
    EXPECT_NE(FileManager::getPathForDirectory("Resources"), fs::path("relative/tradeclient/Resources"));
    if (old)
        ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");
}

TEST_F(ResourceStoreTest, StoresOnceAndNeverOverwrites) {
    ResourceStore store(folder_);
    const auto saved = store.saveFileWithName("icon.svg", "<svg/>", {});
    EXPECT_TRUE(saved.written) << saved.error;
    EXPECT_EQ(contents(folder_ / "icon.svg"), "<svg/>");
    const auto again = store.saveFileWithName("icon.svg", "<other/>", {});
    EXPECT_TRUE(again.error.empty());
    EXPECT_FALSE(again.written);
    EXPECT_EQ(contents(folder_ / "icon.svg"), "<svg/>");
    EXPECT_EQ(store.missingFiles({"icon.svg", "icon2.svg", "x.ics", "../icon.svg"}, "icon"),
              (std::vector<std::string>{"icon2.svg"}));
    EXPECT_TRUE(store.missingFiles({"icon2.svg"}, "").empty());
    const std::string longest(255, 'n');
    EXPECT_TRUE(store.saveFileWithName(longest, "x", {}).written);
}

TEST_F(ResourceStoreTest, RefusedNamesWriteNothing) {
    ResourceStore store(folder_);
    EXPECT_FALSE(store.saveFileWithName("../escape.ics", "x", {}).error.empty());
    EXPECT_FALSE(fs::exists(folder_.parent_path() / "escape.ics"));
    EXPECT_TRUE(store.mergedCalendarData().empty());
}

TEST_F(ResourceStoreTest, CalendarsMergeOnceEveryListedOneIsHere) {
    ResourceStore store(folder_);
    const std::vector<std::string> keys = {"us.ics", "uk.ics", "logo.png"};
    const auto first = store.saveFileWithName("us.ics", "US;", keys);
    EXPECT_FALSE(first.downloadCompleted);
    EXPECT_EQ(store.mergedCalendarData(), "US;");
    EXPECT_FALSE(fs::exists(folder_ / kMergedCalendarName));
    const auto second = store.saveFileWithName("uk.ics", "UK;", keys);
    EXPECT_TRUE(second.downloadCompleted);
    EXPECT_EQ(contents(folder_ / kMergedCalendarName), "US;UK;");
    EXPECT_TRUE(store.mergedCalendarData().empty());
    // The merged calendar, once written, keeps its first content.
    EXPECT_TRUE(store.saveFileWithName("uk.ics", "UK2;", keys).downloadCompleted);
    EXPECT_EQ(contents(folder_ / kMergedCalendarName), "US;UK;");
}

} // namespace
