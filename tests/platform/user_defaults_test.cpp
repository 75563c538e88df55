#include "platform/log.h"
#include "platform/property_list.h"
#include "platform/user_defaults.h"

#include "support/log_capture.h"
#include "support/temp_resources.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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
    // Our own write left no temporary file behind, only the lock file saves take turns on.
    EXPECT_EQ(filesIn(dir.path()),
              (std::vector<fs::path>{"defaults.plist", "defaults.plist.lock", "defaults.plist.tmp-4243-7"}));
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
    EXPECT_EQ(filesIn(dir.path()).size(), 3u) << "two set aside, and the lock file of the save";
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

namespace {

using platform::SettingsTrouble;

// Runs `check` in a child process as a user the file system holds to its rights: the system's
// "nobody" when the tests run as root, who may open anything. The child's answer: 0 when every
// check held, else the number of the first that did not (or -1 when the child did not end).
int asAnOrdinaryUser(const std::function<int()>& check) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(100);
        ::_exit(check());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

std::vector<fs::path> setAside(const fs::path& dir) {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename().string().rfind("defaults.plist.corrupt-", 0) == 0)
            out.push_back(e.path());
    return out;
}

} // namespace

TEST(UserDefaults, TwoProgramsOnOneFileKeepEachOthersChanges) {
    TempDir dir;
    const auto file = dir.path() / "defaults.plist";
    {
        UserDefaults first(file);
        first.setStringArray("Watchlist.trader", {"EURUSD", "EURGBP"});
        first.set("Theme", 0);
        first.set("Gone", 1);
        ASSERT_TRUE(first.synchronize());
    }
    // Both started on the same file.
    UserDefaults demo(file);
    UserDefaults trader(file);
    trader.setStringArray("Watchlist.trader", {"EURUSD"});
    trader.remove("Gone");
    ASSERT_TRUE(trader.synchronize());
    demo.set("MuteSounds", true);
    ASSERT_TRUE(demo.synchronize());
    UserDefaults next(file);
    EXPECT_EQ(next.stringArrayForKey("Watchlist.trader"), std::vector<std::string>{"EURUSD"});
    EXPECT_FALSE(next.objectForKey("Gone")) << "a removal stays removed";
    EXPECT_TRUE(next.boolForKey("MuteSounds"));
    // The other way round, and the store that saved reads the other's changes from then on.
    trader.set("Theme", 1);
    ASSERT_TRUE(trader.synchronize());
    demo.set("Sounds", 2);
    ASSERT_TRUE(demo.synchronize());
    EXPECT_EQ(UserDefaults(file).integerForKey("Theme"), 1);
    EXPECT_EQ(UserDefaults(file).integerForKey("Sounds"), 2);
    EXPECT_TRUE(UserDefaults(file).boolForKey("MuteSounds"));
    EXPECT_EQ(demo.integerForKey("Theme"), 1);
    EXPECT_EQ(demo.stringArrayForKey("Watchlist.trader"), std::vector<std::string>{"EURUSD"});
    // A key both changed goes as the last save has it.
    demo.set("Theme", 2);
    trader.set("Theme", 3);
    ASSERT_TRUE(demo.synchronize());
    ASSERT_TRUE(trader.synchronize());
    EXPECT_EQ(UserDefaults(file).integerForKey("Theme"), 3);
}

// Another program holds the lock for longer than a save takes: this one neither waits for it nor
// writes without it; its changes are saved once the lock lets go, merged with what the other wrote
// under it, and a hold past kLockWait is said until then, and unsaid when the save gets through.
TEST(UserDefaults, ASaveNeverWaitsForTheLockNorWritesWithoutItAndSaysALongHold) {
    TempDir dir;
    const auto file = dir.path() / "defaults.plist";
    UserDefaults mine(file);
    UserDefaults theirs(file);
    std::mutex m;
    std::vector<std::optional<platform::SettingsTrouble>> said;
    mine.setTroubleHandler([&](const std::optional<platform::SettingsTrouble>& t) {
        std::lock_guard lock(m);
        said.push_back(t);
    });
    const auto saidCount = [&] {
        std::lock_guard lock(m);
        return said.size();
    };
    const int lock = ::open((file.string() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    mine.set("Mine", 1);
    EXPECT_TRUE(mine.synchronize()) << "left to be saved once the lock lets go";
    EXPECT_FALSE(fs::exists(file)) << "written without the lock";
    mine.edit("List",
              [](std::optional<PlistValue>) { return std::optional(PlistValue(PlistArray{PlistValue(1)})); });
    EXPECT_TRUE(mine.synchronize());
    // The other program writes under its lock meanwhile.
    theirs.set("Theirs", 2);
    ASSERT_TRUE(platform::PropertyList::writeFile(file, PlistValue(theirs.dictionaryRepresentation())));
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (saidCount() == 0 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(saidCount(), 1u);
    ASSERT_TRUE(said.front());
    EXPECT_EQ(said.front()->cause, platform::SettingsTrouble::Cause::Locked);
    EXPECT_EQ(said.front()->where, fs::path(file.string() + ".lock"));
    EXPECT_EQ(mine.trouble(), said.front());
    EXPECT_FALSE(UserDefaults(file).objectForKey("Mine"));
    mine.set("Later", 3);
    EXPECT_TRUE(mine.synchronize());
    ::close(lock);
    ASSERT_TRUE(mine.waitForPendingSave(std::chrono::seconds(60)));
    UserDefaults after(file);
    EXPECT_EQ(after.integerForKey("Mine"), 1);
    EXPECT_EQ(after.integerForKey("Later"), 3);
    EXPECT_EQ(after.integerForKey("Theirs"), 2);
    EXPECT_TRUE(after.objectForKey("List"));
    EXPECT_EQ(mine.integerForKey("Theirs"), 2);
    EXPECT_FALSE(mine.trouble()) << "the save that got through clears it";
    // Said once, then once that it no longer holds: the screen drops what it said.
    ASSERT_EQ(saidCount(), 2u);
    EXPECT_FALSE(said.back());
}

// Changes that waited for a long hold of the lock meet another fault once it lets go (here the file
// made a folder meanwhile): that is said too, not hidden behind the hold already said.
TEST(UserDefaults, AFaultAfterALongHoldOfTheLockIsSaidInItsTurn) {
    TempDir dir;
    const auto file = dir.path() / "defaults.plist";
    UserDefaults mine(file);
    std::mutex m;
    std::vector<std::optional<platform::SettingsTrouble>> said;
    mine.setTroubleHandler([&](const std::optional<platform::SettingsTrouble>& t) {
        std::lock_guard lock(m);
        said.push_back(t);
    });
    const auto heard = [&] {
        std::lock_guard lock(m);
        return said;
    };
    const int lock = ::open((file.string() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    mine.set("Theme", 1);
    EXPECT_TRUE(mine.synchronize());
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (heard().empty() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(heard().size(), 1u);
    ASSERT_TRUE(heard().front());
    EXPECT_EQ(heard().front()->cause, platform::SettingsTrouble::Cause::Locked);
    ASSERT_TRUE(fs::create_directory(file));
    ::close(lock);
    // The thread's save failed: nothing waits for the lock any more, the change stays pending.
    ASSERT_TRUE(mine.waitForPendingSave(std::chrono::seconds(60)));
    ASSERT_EQ(heard().size(), 2u);
    ASSERT_TRUE(heard().back());
    EXPECT_EQ(heard().back()->cause, platform::SettingsTrouble::Cause::Other);
    EXPECT_EQ(heard().back()->where, dir.path());
    EXPECT_EQ(mine.trouble(), heard().back());
    // The same fault again is not said again; its end is.
    mine.set("Theme", 2);
    EXPECT_FALSE(mine.synchronize());
    EXPECT_EQ(heard().size(), 2u);
    ASSERT_TRUE(fs::remove(file));
    EXPECT_TRUE(mine.synchronize());
    ASSERT_EQ(heard().size(), 3u);
    EXPECT_FALSE(heard().back());
    EXPECT_EQ(UserDefaults(file).integerForKey("Theme"), 2);
}

// At quit, a change a failed save left is tried once more, and one waiting for another program's
// lock gets the time given; what is still unsaved then is said by the answer.
TEST(UserDefaults, AtQuitWhatAFailedSaveLeftIsSavedAndALockHeldTooLongIsToldBack) {
    TempDir dir;
    { std::ofstream(dir.path() / "config") << "a file where the folder should be"; }
    const auto file = dir.path() / "config" / "defaults.plist";
    UserDefaults d(file);
    d.set("Theme", 2);
    EXPECT_FALSE(d.synchronize());
    ASSERT_TRUE(fs::remove(dir.path() / "config"));
    EXPECT_TRUE(d.finishSaves(std::chrono::seconds(60)));
    EXPECT_EQ(UserDefaults(file).integerForKey("Theme"), 2);

    UserDefaults other(file);
    other.set("Theme", 3);
    const int lock = ::open((file.string() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    // Kept aside for the next start rather than lost.
    EXPECT_TRUE(other.finishSaves(std::chrono::milliseconds(100)));
    ::close(lock);
    EXPECT_EQ(UserDefaults(file).integerForKey("Theme"), 3);
}

// The lock still held by another program at quit: the changes wait beside the file, written without
// the lock, and the next start takes them in at once and saves them under the lock once it lets go,
// a change to parts of a key made again on what the other program left (places by place, members
// by member, a list of members that kept its length too). Nothing of either program is lost.
TEST(UserDefaults, ChangesWaitingForTheLockAtQuitAreKeptAsideAndSavedByTheNextStart) {
    TempDir dir;
    const auto file = dir.path() / "defaults.plist";
    const auto onDisk = [&] {
        auto read = platform::PropertyList::readFile(file);
        EXPECT_TRUE(read && read.value().isDictionary());
        return read && read.value().isDictionary() ? *read.value().dictionary() : PlistDictionary{};
    };
    const auto aside = [&] {
        std::vector<fs::path> kept;
        for (const fs::path& name : filesIn(dir.path()))
            if (name.string().rfind("defaults.plist.unsaved-", 0) == 0)
                kept.push_back(name);
        return kept;
    };
    const auto setPlace = [](std::size_t at, std::string text) {
        return [at, text](std::optional<PlistValue> value) {
            PlistArray items = value && value->isArray() ? *value->array() : PlistArray{};
            items.at(at) = PlistValue(text);
            return std::optional(PlistValue(std::move(items)));
        };
    };
    const auto member = [](std::string name, bool in) {
        return [name, in](std::optional<PlistValue> value) {
            PlistArray items = value && value->isArray() ? *value->array() : PlistArray{};
            std::erase(items, PlistValue(name));
            if (in)
                items.emplace_back(name);
            return std::optional(PlistValue(std::move(items)));
        };
    };
    {
        UserDefaults first(file);
        first.set("Theme", 1);
        first.set("Gone", true);
        first.setStringArray("Slots", {"A", "", ""});
        first.setStringArray("Hidden", {"a", "b"});
        ASSERT_TRUE(first.synchronize());
    }
    // The other program, running all along.
    UserDefaults other(file);
    const auto holdLock = [&] {
        const int fd = ::open((file.string() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(::flock(fd, LOCK_EX), 0);
        return fd;
    };
    int lock = holdLock();
    {
        UserDefaults quitting(file);
        quitting.set("Theme", 2);
        quitting.remove("Gone");
        quitting.edit("Slots", setPlace(2, "C"), UserDefaults::ListMerge::Places);
        quitting.edit("Hidden", member("a", false));
        quitting.edit("Hidden", member("x", true));
        EXPECT_TRUE(quitting.synchronize()) << "left to the store's thread";
        EXPECT_TRUE(quitting.finishSaves(std::chrono::milliseconds(100)));
    }
    EXPECT_EQ(onDisk().find("Theme")->asInt(), 1) << "nothing written under another program's lock";
    ASSERT_EQ(aside().size(), 1u);

    // The other program changes its parts meanwhile.
    ::close(lock);
    other.edit("Slots", setPlace(1, "B"), UserDefaults::ListMerge::Places);
    other.edit("Hidden", member("b", false));
    other.edit("Hidden", member("y", true));
    ASSERT_TRUE(other.synchronize());
    EXPECT_EQ(onDisk().find("Theme")->asInt(), 1);
    // The next start, the lock held again: the changes read at once, and are saved once it lets go.
    lock = holdLock();
    UserDefaults next(file);
    EXPECT_EQ(next.integerForKey("Theme"), 2);
    EXPECT_FALSE(next.objectForKey("Gone"));
    EXPECT_EQ(next.stringArrayForKey("Slots"), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(next.stringArrayForKey("Hidden"), (std::vector<std::string>{"y", "x"}));
    EXPECT_EQ(onDisk().find("Theme")->asInt(), 1);
    ::close(lock);
    ASSERT_TRUE(next.waitForPendingSave(std::chrono::seconds(60)));
    const PlistDictionary saved = onDisk();
    EXPECT_EQ(saved.find("Theme")->asInt(), 2);
    EXPECT_FALSE(saved.contains("Gone"));
    EXPECT_EQ(*saved.find("Slots"),
              PlistValue(PlistArray{PlistValue("A"), PlistValue("B"), PlistValue("C")}));
    EXPECT_EQ(*saved.find("Hidden"), PlistValue(PlistArray{PlistValue("y"), PlistValue("x")}));
    EXPECT_TRUE(aside().empty()) << "taken in once";
}

// A change kept aside at quit is merged as a save is: where another program saved a value of its
// own after the change was made, the file's later value stands; elsewhere the change goes in.
TEST(UserDefaults, AKeptAsideChangeGivesWayToALaterSaveOnDisk) {
    TempDir dir;
    const auto file = dir.path() / "defaults.plist";
    {
        UserDefaults first(file);
        first.set("Theme", 1);
        first.set("Layout", std::string("x"));
        ASSERT_TRUE(first.synchronize());
    }
    UserDefaults running(file);
    const int lock = ::open((file.string() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    {
        UserDefaults quitting(file);
        quitting.set("SoundKey", false);
        quitting.set("Theme", 2);
        quitting.remove("Layout");
        EXPECT_TRUE(quitting.finishSaves(std::chrono::milliseconds(100)));
    }
    ::close(lock);
    running.set("SoundKey", true);
    running.set("Layout", std::string("y"));
    ASSERT_TRUE(running.synchronize());

    UserDefaults next(file);
    ASSERT_TRUE(next.waitForPendingSave(std::chrono::seconds(60)));
    EXPECT_TRUE(next.boolForKey("SoundKey"));
    EXPECT_EQ(next.stringForKey("Layout"), "y");
    EXPECT_EQ(next.integerForKey("Theme"), 2) << "a change nobody made since goes in";
    const UserDefaults reread(file);
    EXPECT_TRUE(reread.boolForKey("SoundKey"));
    EXPECT_EQ(reread.stringForKey("Layout"), "y");
    EXPECT_EQ(reread.integerForKey("Theme"), 2);
}

// Parts of one key changed by two programs: each program's edit is replayed on the file's value, so
// neither undoes the other's part; a set of the whole key still goes whole.
TEST(UserDefaults, EditsToPartsOfOneKeyByTwoProgramsKeepEachOthersParts) {
    TempDir dir;
    const auto file = dir.path() / "defaults.plist";
    const auto setItem = [](std::size_t at, std::string text) {
        return [at, text](std::optional<PlistValue> value) {
            PlistArray items = value && value->isArray() ? *value->array() : PlistArray{};
            items.resize(std::max(items.size(), at + 1), PlistValue(std::string()));
            items[at] = PlistValue(text);
            return std::optional(PlistValue(std::move(items)));
        };
    };
    UserDefaults first(file);
    UserDefaults second(file);
    first.edit("Slots", setItem(0, "A"));
    ASSERT_TRUE(first.synchronize());
    second.edit("Slots", setItem(2, "C"));
    // Two edits before a save, the second on top of the first.
    second.edit("Slots", setItem(3, "D"));
    ASSERT_TRUE(second.synchronize());
    EXPECT_EQ(UserDefaults(file).stringArrayForKey("Slots"), (std::vector<std::string>{"A", "", "C", "D"}));
    EXPECT_EQ(second.stringArrayForKey("Slots"), (std::vector<std::string>{"A", "", "C", "D"}));
    // An edit that waited for another program's lock is replayed on the file as that program left it.
    const int lock = ::open((file.string() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    first.edit("Slots", setItem(1, "B"));
    ASSERT_TRUE(first.synchronize());
    UserDefaults third(file);
    third.setStringArray("Slots", {"A", "", "C", "E"});
    ASSERT_TRUE(platform::PropertyList::writeFile(file, PlistValue(third.dictionaryRepresentation())));
    ::close(lock);
    ASSERT_TRUE(first.waitForPendingSave(std::chrono::seconds(60)));
    EXPECT_EQ(UserDefaults(file).stringArrayForKey("Slots"), (std::vector<std::string>{"A", "B", "C", "E"}));
    first.setStringArray("Slots", {"whole"});
    ASSERT_TRUE(first.synchronize());
    EXPECT_EQ(UserDefaults(file).stringArrayForKey("Slots"), std::vector<std::string>{"whole"});
}

// The settings file removed while the program runs: the next save writes the program's whole copy,
// never the one key just changed, and the program keeps every setting in memory.
TEST(UserDefaults, AFileRemovedWhileTheProgramRunsIsWrittenWholeAgain) {
    TempDir dir;
    const auto file = dir.path() / "defaults.plist";
    UserDefaults d(file);
    d.set("Theme", 1);
    d.setStringArray("Watchlist.trader", {"EURUSD", "GBPUSD"});
    ASSERT_TRUE(d.synchronize());
    ASSERT_TRUE(fs::remove(file));
    d.set("SoundKey", true);
    ASSERT_TRUE(d.synchronize());
    UserDefaults next(file);
    EXPECT_EQ(next.integerForKey("Theme"), 1);
    EXPECT_EQ(next.stringArrayForKey("Watchlist.trader"), (std::vector<std::string>{"EURUSD", "GBPUSD"}));
    EXPECT_TRUE(next.boolForKey("SoundKey"));
    EXPECT_EQ(d.integerForKey("Theme"), 1);
    EXPECT_EQ(d.stringArrayForKey("Watchlist.trader"), (std::vector<std::string>{"EURUSD", "GBPUSD"}));
}

TEST(UserDefaults, EveryKindOfBrokenFileIsSetAsideAndToldWhereItWent) {
    const std::string whole = [] {
        std::string doc;
        PlistDictionary values{{"LanguageKey", PlistValue(3)}, {"Theme", PlistValue(1)}};
        EXPECT_TRUE(platform::PropertyList::write(PlistValue(values), doc));
        return doc;
    }();
    const std::vector<std::pair<std::string, std::function<void(const fs::path&)>>> cases{
        {"cut in half", [&](const fs::path& f) { std::ofstream(f) << whole.substr(0, whole.size() / 2); }},
        {"random bytes",
         [](const fs::path& f) {
             std::ofstream(f, std::ios::binary) << std::string("\x9c\x01\xff\x00\x7f\xe2\x82", 7);
         }},
        {"empty", [](const fs::path& f) { std::ofstream{f}; }},
        {"a folder", [](const fs::path& f) { fs::create_directory(f); }},
        {"5 MB", [&](const fs::path& f) { std::ofstream(f) << whole << std::string(5u << 20, ' '); }},
        {"a binary list",
         [](const fs::path& f) {
             std::ofstream(f, std::ios::binary) << std::string("bplist00\xd1\x01\x02", 11);
         }},
    };
    for (const auto& [name, make] : cases) {
        SCOPED_TRACE(name);
        TempDir dir;
        const auto file = dir.path() / "defaults.plist";
        make(file);
        UserDefaults d(file);
        EXPECT_TRUE(d.dictionaryRepresentation().empty());
        const auto aside = setAside(dir.path());
        ASSERT_EQ(aside.size(), 1u);
        const auto trouble = d.loadTrouble();
        ASSERT_TRUE(trouble);
        EXPECT_EQ(trouble->kind, SettingsTrouble::Kind::SetAside);
        EXPECT_EQ(trouble->file, file);
        EXPECT_EQ(trouble->where, aside.front());
        EXPECT_FALSE(d.trouble()) << "changes are kept";
        d.set("LanguageKey", 2);
        EXPECT_TRUE(d.synchronize());
        EXPECT_EQ(UserDefaults(file).integerForKey("LanguageKey"), 2);
    }
    // A good file tells of nothing.
    TempDir dir;
    { std::ofstream(dir.path() / "defaults.plist") << whole; }
    UserDefaults good(dir.path() / "defaults.plist");
    EXPECT_EQ(good.integerForKey("LanguageKey"), 3);
    EXPECT_FALSE(good.loadTrouble());
    EXPECT_FALSE(good.trouble());
}

TEST(UserDefaults, ANamedPipeIsSetAsideWithoutWaitingOnIt) {
    TempDir dir;
    const auto file = dir.path() / "defaults.plist";
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    std::atomic<bool> loaded{false};
    std::optional<SettingsTrouble> trouble;
    std::thread start([&] {
        UserDefaults d(file);
        trouble = d.loadTrouble();
        loaded = true;
    });
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!loaded && std::chrono::steady_clock::now() < until)
        std::this_thread::yield();
    const bool blocked = !loaded;
    if (blocked) {
        // A reader blocked in open() is let go by a writer opening and closing the pipe.
        const int writer = ::open(file.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (writer >= 0)
            ::close(writer);
    }
    start.join();
    ASSERT_FALSE(blocked) << "the start-up waited on the pipe";
    ASSERT_TRUE(trouble);
    EXPECT_EQ(trouble->kind, SettingsTrouble::Kind::SetAside);
    EXPECT_TRUE(fs::is_fifo(trouble->where));
    EXPECT_FALSE(fs::exists(file));
    // The reader refuses a pipe as well.
    EXPECT_FALSE(platform::PropertyList::readFile(trouble->where));
}

TEST(UserDefaults, AFileThatMayNotBeOpenedIsLeftInPlaceAndChangesLiveInMemory) {
    TempDir dir;
    const auto file = dir.path() / "defaults.plist";
    {
        UserDefaults before(file);
        before.set("LanguageKey", 4);
        ASSERT_TRUE(before.synchronize());
    }
    // Left 0600 by a start as another user (root under sudo), in the trader's own folder.
    fs::permissions(dir.path(), fs::perms::all);
    fs::permissions(file,
                    ::geteuid() == 0 ? fs::perms::owner_read | fs::perms::owner_write : fs::perms::none);
    const std::string original = contents(file);
    EXPECT_EQ(asAnOrdinaryUser([&] {
                  UserDefaults d(file);
                  const auto trouble = d.loadTrouble();
                  if (!trouble || trouble->kind != SettingsTrouble::Kind::CannotOpen)
                      return 1;
                  if (trouble->cause != SettingsTrouble::Cause::NoPermission || trouble->where != file)
                      return 2;
                  if (!fs::exists(file) || !setAside(dir.path()).empty())
                      return 3;
                  d.set("LanguageKey", 5);
                  if (d.synchronize() || d.integerForKey("LanguageKey") != 5)
                      return 4;
                  return 0;
              }),
              0);
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(contents(file), original);
    EXPECT_EQ(UserDefaults(file).integerForKey("LanguageKey"), 4);
}

TEST(UserDefaults, AFolderThatCannotTakeTheFileIsToldAtLoadAndAtTheFailedSave) {
    TempDir dir;
    // ".config" a file, or the program's own folder a file: told before any change.
    for (const char* blocker : {"config", "config/tradeclient"}) {
        SCOPED_TRACE(blocker);
        fs::remove_all(dir.path() / "config");
        if (std::string(blocker) != "config")
            fs::create_directory(dir.path() / "config");
        { std::ofstream(dir.path() / blocker) << "a file where a folder should be"; }
        const auto file = dir.path() / "config" / "tradeclient" / "defaults.plist";
        UserDefaults d(file);
        std::vector<std::optional<SettingsTrouble>> heard;
        d.setTroubleHandler([&](const std::optional<SettingsTrouble>& t) { heard.push_back(t); });
        ASSERT_TRUE(d.trouble());
        EXPECT_EQ(d.trouble()->kind, SettingsTrouble::Kind::NotSaved);
        EXPECT_EQ(d.trouble()->cause, SettingsTrouble::Cause::NotAFolder);
        EXPECT_EQ(d.trouble()->where, dir.path() / blocker);
        EXPECT_FALSE(d.loadTrouble());
        for (int i = 0; i < 3; ++i) {
            d.set("LanguageKey", i);
            EXPECT_FALSE(d.synchronize());
        }
        ASSERT_EQ(heard.size(), 1u) << "told once, not at every change";
        EXPECT_EQ(heard.front(), d.trouble());
        // Once the folder can be made the change is kept and nothing is wrong any more: told too.
        fs::remove(dir.path() / blocker);
        EXPECT_TRUE(d.synchronize());
        EXPECT_FALSE(d.trouble());
        ASSERT_EQ(heard.size(), 2u);
        EXPECT_FALSE(heard.back());
        EXPECT_EQ(UserDefaults(file).integerForKey("LanguageKey"), 2);
    }
    // A read-only folder.
    fs::remove_all(dir.path() / "config");
    fs::create_directories(dir.path() / "config" / "tradeclient");
    const auto file = dir.path() / "config" / "tradeclient" / "defaults.plist";
    fs::permissions(dir.path(), fs::perms::all);
    fs::permissions(dir.path() / "config", fs::perms::all);
    fs::permissions(dir.path() / "config" / "tradeclient", fs::perms::owner_read | fs::perms::owner_exec |
                                                               fs::perms::group_exec |
                                                               fs::perms::others_exec);
    EXPECT_EQ(asAnOrdinaryUser([&] {
                  UserDefaults d(file);
                  if (!d.trouble() || d.trouble()->cause != SettingsTrouble::Cause::ReadOnly)
                      return 1;
                  if (d.trouble()->where != file.parent_path())
                      return 2;
                  d.set("LanguageKey", 1);
                  if (d.synchronize() || !d.trouble() || d.trouble()->where != file.parent_path())
                      return 3;
                  return 0;
              }),
              0);
    fs::permissions(dir.path() / "config" / "tradeclient", fs::perms::owner_all);
}
