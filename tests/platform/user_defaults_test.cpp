#include "platform/log.h"
#include "platform/property_list.h"
#include "platform/user_defaults.h"

#include "support/log_capture.h"
#include "support/temp_resources.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace tc;

using platform::PlistArray;
using platform::PlistData;
using platform::PlistDate;
using platform::PlistDictionary;
using platform::PlistValue;
using platform::UserDefaults;
namespace fs = std::filesystem;

using testing_support::TempDir;

std::string contents(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<fs::path> filesIn(const fs::path& dir) {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(dir))
        out.push_back(e.path().filename());
    std::sort(out.begin(), out.end());
    return out;
}

TEST(UserDefaults, EveryTypeSurvivesTheFile) {
    TempDir dir;
    const auto file = dir.path() / "nested" / "defaults.plist"; // the folder is made on the first write
    const PlistDate when{std::chrono::sys_seconds{std::chrono::seconds{1700000000}}};
    {
        UserDefaults d(file);
        d.set("LanguageKey", 3);
        d.set("SoundKey", true);
        d.set("ratio", 0.125);
        d.set("Theme", "light");
        d.setStringArray("alice", {"EURUSD", "GOLD", ""});
        d.set("Live", PlistData{0x00, 0x10, 0xFF});
        d.set("when", when);
        d.set("nested", PlistDictionary{{"k", PlistValue(PlistArray{PlistValue(1), PlistValue("x")})}});
        d.set("gone", "soon");
        d.remove("gone");
        EXPECT_FALSE(fs::exists(file)); // nothing is written before synchronize
        ASSERT_TRUE(d.synchronize());
    }
    UserDefaults d(file);
    EXPECT_EQ(d.integerForKey("LanguageKey"), 3);
    EXPECT_TRUE(d.boolForKey("SoundKey"));
    EXPECT_DOUBLE_EQ(d.doubleForKey("ratio"), 0.125);
    EXPECT_EQ(d.stringForKey("Theme"), "light");
    EXPECT_EQ(d.stringArrayForKey("alice"), (std::vector<std::string>{"EURUSD", "GOLD", ""}));
    EXPECT_EQ(d.dataForKey("Live"), (PlistData{0x00, 0x10, 0xFF}));
    EXPECT_EQ(d.objectForKey("when"), PlistValue(when));
    auto nested = d.dictionaryForKey("nested");
    ASSERT_TRUE(nested);
    EXPECT_EQ(*nested->find("k"), PlistValue(PlistArray{PlistValue(1), PlistValue("x")}));
    EXPECT_FALSE(d.objectForKey("gone"));
    EXPECT_EQ(d.dictionaryRepresentation().size(), 8u);
}

TEST(UserDefaults, GettersFallBackAndReadLeniently) {
    auto d = UserDefaults::inMemory();
    EXPECT_EQ(d->integerForKey("IdleTime"), 0);
    EXPECT_FALSE(d->boolForKey("SoundKey"));
    EXPECT_EQ(d->stringForKey("x"), std::nullopt);
    EXPECT_EQ(d->objectForKey("x"), std::nullopt);

    d->set("IdleTime", "300");
    d->set("SoundKey", "YES");
    d->set("size", 16);
    d->set("mixed", PlistArray{PlistValue("a"), PlistValue(1)});
    EXPECT_EQ(d->integerForKey("IdleTime"), 300);
    EXPECT_TRUE(d->boolForKey("SoundKey"));
    EXPECT_EQ(d->stringForKey("size"), "16");
    EXPECT_EQ(d->stringArrayForKey("mixed"), std::nullopt); // not all texts
    EXPECT_EQ(d->dataForKey("size"), std::nullopt);
    EXPECT_EQ(d->dictionaryForKey("size"), std::nullopt);
    EXPECT_TRUE(d->synchronize());
    EXPECT_FALSE(d->path());
}

TEST(UserDefaults, AnInterruptedWriteLosesNothing) {
    TempDir dir;
    const auto file = dir.path() / "defaults.plist";
    {
        UserDefaults d(file);
        d.set("Theme", 1);
        ASSERT_TRUE(d.synchronize());
    }
    const std::string good = contents(file);
    // A write that died before its rename leaves its temporary file: one long ago, one just now
    // (possibly another process still writing).
    const auto stale = dir.path() / "defaults.plist.tmp-4242-0";
    const auto fresh = dir.path() / "defaults.plist.tmp-4243-7";
    { std::ofstream(stale) << "<?xml version=\"1.0\"?><plist><dict><key>Theme</key><integer>0</int"; }
    { std::ofstream(fresh) << "<plist><dict><key>Theme</key><integer>5</integer></dict></plist>"; }
    fs::last_write_time(stale, fs::file_time_type::clock::now() - std::chrono::hours(1));

    UserDefaults d(file);
    EXPECT_EQ(d.integerForKey("Theme"), 1);
    EXPECT_EQ(contents(file), good);
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(fresh));

    d.set("Theme", 0);
    ASSERT_TRUE(d.synchronize());
    EXPECT_EQ(UserDefaults(file).integerForKey("Theme"), 0);
    // Our own write left no temporary file behind.
    EXPECT_EQ(filesIn(dir.path()), (std::vector<fs::path>{"defaults.plist", "defaults.plist.tmp-4243-7"}));
}

TEST(UserDefaults, ACorruptFileIsSetAsideAndReported) {
    TempDir dir;
    const auto file = dir.path() / "defaults.plist";
    const std::string broken = "<plist><dict><key>Live</key><data>AAA";
    { std::ofstream(file) << broken; }
    testing_support::LogCapture warnings(platform::LogLevel::Warning);
    UserDefaults d(file);
    EXPECT_TRUE(d.dictionaryRepresentation().empty());
    ASSERT_EQ(warnings.lines().size(), 1u);
    EXPECT_NE(warnings.lines()[0].find("unreadable"), std::string::npos);
    EXPECT_NE(warnings.lines()[0].find("corrupt-"), std::string::npos);

    auto files = filesIn(dir.path());
    ASSERT_EQ(files.size(), 1u);
    const auto aside = dir.path() / files[0];
    EXPECT_EQ(files[0].string().rfind("defaults.plist.corrupt-", 0), 0u);
    EXPECT_EQ(contents(aside), broken);

    // New settings go to a new file; the one set aside stays as it was.
    d.set("LanguageKey", 2);
    ASSERT_TRUE(d.synchronize());
    EXPECT_EQ(UserDefaults(file).integerForKey("LanguageKey"), 2);
    EXPECT_EQ(contents(aside), broken);

    // A well-formed file that is not a dictionary is just as unusable; a second set-aside in the same
    // second gets a name of its own.
    { std::ofstream(file) << "<plist><array/></plist>"; }
    UserDefaults again(file);
    EXPECT_FALSE(again.objectForKey("LanguageKey"));
    EXPECT_EQ(filesIn(dir.path()).size(), 2u);
    EXPECT_EQ(contents(aside), broken);
    EXPECT_NE(warnings.lines().back().find("not a dictionary"), std::string::npos);
}

TEST(UserDefaults, AFileAnEarlierVersionWroteWithTextXMLRefusesIsReadAndWrittenBackClean) {
    TempDir dir;
    const auto file = dir.path() / "defaults.plist";
    // Bytes that are not UTF-8 and U+FFFE, as the writer used to put them down.
    {
        std::ofstream(file) << "<plist><dict><key>User\xff</key><string>a\xef\xbf\xbe"
                               "b</string>"
                               "<key>LanguageKey</key><integer>3</integer></dict></plist>";
    }
    ASSERT_FALSE(platform::PropertyList::readFile(file));
    testing_support::LogCapture warnings(platform::LogLevel::Warning);
    UserDefaults d(file);
    EXPECT_EQ(d.integerForKey("LanguageKey"), 3);
    EXPECT_EQ(d.stringForKey("User\uFFFD"), "a\uFFFDb");
    ASSERT_EQ(warnings.lines().size(), 1u);
    EXPECT_NE(warnings.lines()[0].find("U+FFFD"), std::string::npos);
    EXPECT_EQ(filesIn(dir.path()), std::vector<fs::path>{"defaults.plist"}) << "nothing set aside";

    ASSERT_TRUE(d.synchronize());
    const auto clean = platform::PropertyList::readFile(file);
    ASSERT_TRUE(clean) << clean.error();
    EXPECT_EQ(clean.value(), PlistValue(d.dictionaryRepresentation()));
}

TEST(UserDefaults, ConcurrentWritersAndReaders) {
    TempDir dir;
    const auto file = dir.path() / "defaults.plist";
    UserDefaults d(file);
    constexpr int kThreads = 6, kKeys = 150;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&d, t] {
            for (int i = 0; i < kKeys; ++i) {
                const std::string key = fmt::format("t{}k{}", t, i);
                d.set(key, i);
                d.set("shared", t);
                EXPECT_EQ(d.integerForKey(key), i);
                if (i % 50 == 0) {
                    EXPECT_TRUE(d.synchronize());
                }
            }
        });
    }
    for (auto& th : threads)
        th.join();
    ASSERT_TRUE(d.synchronize());

    UserDefaults back(file);
    auto all = back.dictionaryRepresentation();
    EXPECT_EQ(all.size(), static_cast<std::size_t>(kThreads * kKeys + 1));
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(back.integerForKey(fmt::format("t{}k{}", t, kKeys - 1)), kKeys - 1);
    EXPECT_EQ(back.objectForKey("shared"), d.objectForKey("shared"));
}

TEST(UserDefaults, FailedWritesAreReportedAndRetried) {
    TempDir dir;
    { std::ofstream(dir.path() / "blocker") << "a file where a folder should be"; }
    testing_support::LogCapture warnings(platform::LogLevel::Warning);
    UserDefaults d(dir.path() / "blocker" / "defaults.plist");
    d.set("k", 1);
    EXPECT_FALSE(d.synchronize());
    EXPECT_FALSE(warnings.lines().empty());
    // The change is still pending, so a later synchronize writes it once the folder can be made.
    fs::remove(dir.path() / "blocker");
    EXPECT_TRUE(d.synchronize());
    EXPECT_EQ(UserDefaults(dir.path() / "blocker" / "defaults.plist").integerForKey("k"), 1);
}

TEST(UserDefaults, AnOversizedFileIsSetAsideUnreadAndFewCopiesAreKept) {
    TempDir dir;
    const auto file = dir.path() / "defaults.plist";
    testing_support::LogCapture warnings(platform::LogLevel::Warning);
    // Sparse: 64 MiB that cost no disk; a reader that read it would also pay its memory.
    { std::ofstream(file) << "<plist><dict>"; }
    fs::resize_file(file, std::uintmax_t{64} << 20);
    {
        UserDefaults d(file);
        EXPECT_TRUE(d.dictionaryRepresentation().empty());
    }
    ASSERT_FALSE(warnings.lines().empty());
    EXPECT_NE(warnings.lines().back().find("67108864 bytes"), std::string::npos);
    EXPECT_FALSE(fs::exists(file));

    // A file that goes bad at every start leaves only the newest copies behind.
    for (int i = 0; i < 6; ++i) {
        { std::ofstream(file) << "broken " << i; }
        UserDefaults again(file);
    }
    const auto files = filesIn(dir.path());
    ASSERT_EQ(files.size(), UserDefaults::kCorruptCopiesKept);
    std::vector<std::string> kept;
    for (const auto& f : files)
        kept.push_back(contents(dir.path() / f));
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(kept, (std::vector<std::string>{"broken 3", "broken 4", "broken 5"}));
}

TEST(UserDefaults, AFailureToSaveIsLoggedOnceUntilASaveSucceeds) {
    TempDir dir;
    { std::ofstream(dir.path() / "blocker") << "a file where a folder should be"; }
    testing_support::LogCapture warnings(platform::LogLevel::Warning);
    UserDefaults d(dir.path() / "blocker" / "defaults.plist");
    for (int i = 0; i < 5; ++i) {
        d.set("k", i);
        EXPECT_FALSE(d.synchronize());
    }
    EXPECT_EQ(warnings.lines().size(), 1u);
    fs::remove(dir.path() / "blocker");
    EXPECT_TRUE(d.synchronize());
    fs::remove_all(dir.path() / "blocker");
    { std::ofstream(dir.path() / "blocker") << "in the way again"; }
    d.set("k", 9);
    EXPECT_FALSE(d.synchronize());
    EXPECT_EQ(warnings.lines().size(), 2u);
}

TEST(UserDefaults, StandardStoreFollowsTheConfigurationFolder) {
    TempDir dir;
    const char* savedXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = savedXdg ? savedXdg : "";
    ::setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    EXPECT_EQ(UserDefaults::defaultPath(), dir.path() / "tradeclient" / "defaults.plist");
    ::setenv("XDG_CONFIG_HOME", "relative/path", 1); // not absolute: ignored
    EXPECT_NE(UserDefaults::defaultPath(), fs::path("relative/path/tradeclient/defaults.plist"));
    ::setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);

    const auto testFile = dir.path() / "other.plist";
    UserDefaults::setStandardPath(testFile);
    UserDefaults& standard = UserDefaults::standard();
    EXPECT_EQ(standard.path(), testFile);
    standard.set("Theme", 1);
    ASSERT_TRUE(standard.synchronize());
    EXPECT_EQ(UserDefaults(testFile).integerForKey("Theme"), 1);

    // Back to the default location (here inside the test folder): unsaved changes are dropped.
    standard.set("unsaved", true);
    UserDefaults::setStandardPath({});
    EXPECT_EQ(&UserDefaults::standard(), &standard);
    EXPECT_EQ(standard.path(), dir.path() / "tradeclient" / "defaults.plist");
    EXPECT_FALSE(standard.objectForKey("unsaved"));
    EXPECT_FALSE(standard.objectForKey("Theme"));

    UserDefaults::setStandardPath(testFile);
    EXPECT_EQ(standard.integerForKey("Theme"), 1);

    if (savedXdg)
        ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
    // Leave the standard store on a path of no consequence once the folder is gone.
    UserDefaults::setStandardPath(dir.path() / "gone" / "defaults.plist");
}

} // namespace
