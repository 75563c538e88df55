#include "platform/log.h"
#include "platform/string_table.h"

#include "support/log_capture.h"
#include "support/temp_resources.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

using namespace tc;

using platform::StringTable;
using platform::StringTableCache;

std::string text(const StringTable& t, std::string_view key) {
    const std::string* s = t.find(key);
    return s ? *s : std::string("<missing>");
}

TEST(StringTableParse, EntriesCommentsAndEscapes) {
    const std::string input = "# heading comment\n"
                              "\n"
                              "   \t  \n"
                              "  # indented comment\n"
                              "0004\tPlease enter the server address.\n"
                              "10980\tValidation\n"
                              "0001\tline one\\nline two\n"
                              "0002\tcol\\tcol\n"
                              "0003\tback\\\\slash and \\\\n stays literal\n"
                              "0005\t\n"
                              "0006\traw\ttab kept\n"
                              "0007\t{0} : {1} # not a comment\n"
                              "0008\tlast line without newline";
    StringTable::ParseReport report;
    const auto t = StringTable::parse(input, "test", &report);
    EXPECT_TRUE(report.malformedLines.empty());
    EXPECT_TRUE(report.duplicateLines.empty());
    EXPECT_EQ(t.size(), 9u);
    EXPECT_EQ(text(t, "0004"), "Please enter the server address.");
    EXPECT_EQ(text(t, "10980"), "Validation");
    EXPECT_EQ(text(t, "0001"), "line one\nline two");
    EXPECT_EQ(text(t, "0002"), "col\tcol");
    EXPECT_EQ(text(t, "0003"), "back\\slash and \\n stays literal");
    EXPECT_EQ(text(t, "0005"), "");
    EXPECT_EQ(text(t, "0006"), "raw\ttab kept");
    EXPECT_EQ(text(t, "0007"), "{0} : {1} # not a comment");
    EXPECT_EQ(text(t, "0008"), "last line without newline");
    // Keys are compared as text: "4" is not "0004".
    EXPECT_EQ(t.find("4"), nullptr);
    EXPECT_EQ(t.find(""), nullptr);
}

TEST(StringTableParse, MalformedLinesAreSkippedAndNamed) {
    testing_support::LogCapture log(platform::LogLevel::Warning);
    const std::string input = "0001\tgood\n"                           // 1
                              "0002 no tab here\n"                     // 2
                              "12a4\tletter in key\n"                  // 3
                              "\tempty key\n"                          // 4
                              " 0005\tblank before key\n"              // 5
                              "12345678901234567\ttoo long\n"          // 6: 17 digits
                              "0007\tunknown \\q escape\n"             // 7
                              "0008\tends in backslash\\\n"            // 8
                              "0009\toverlong \xC0\x80\n"              // 9
                              "0010\tsurrogate \xED\xA0\x80\n"         // 10
                              "0011\tcut short \xE4\xB8\n"             // 11
                              "0012\tstray \x80 byte\n"                // 12
                              "0013\tabove max \xF4\x90\x80\x80\n"     // 13
                              "0014\tbell \x07 inside\n"               // 14
                              "0015\tinner\rCR\n"                      // 15
                              "0017\toverlong three \xE0\x80\xAF\n"    // 16
                              "0018\toverlong four \xF0\x80\x80\xAF\n" // 17
                              "1234567890123456\tsixteen digits ok\n"; // 18
    StringTable::ParseReport report;
    const auto t = StringTable::parse(input, "/res/xx.lproj/Localizable.txt", &report);
    const std::vector<std::size_t> expected{2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17};
    EXPECT_EQ(report.malformedLines, expected);
    EXPECT_EQ(t.size(), 2u);
    EXPECT_EQ(text(t, "0001"), "good");
    EXPECT_EQ(text(t, "1234567890123456"), "sixteen digits ok");
    for (const char* skipped :
         {"0007", "0008", "0009", "0010", "0011", "0012", "0013", "0014", "0015", "0017", "0018"})
        EXPECT_EQ(t.find(skipped), nullptr) << skipped;

    ASSERT_FALSE(log.lines().empty());
    EXPECT_NE(log.lines().front().find("/res/xx.lproj/Localizable.txt"), std::string::npos);
    EXPECT_NE(log.lines().front().find("line 2"), std::string::npos);
}

TEST(StringTableParse, ValidMultibyteTextIsKept) {
    const std::string input = "0001\t\xE4\xB9\xB0\xE5\x85\xA5\n"            // Chinese "buy"
                              "0002\t\xD8\xB4\xD8\xB1\xD8\xA7\xD8\xA1\n"    // Arabic "buy"
                              "0003\t\xF0\x9F\x93\x88 chart\n"              // four-byte sequence
                              "0004\t\xEF\xBB\xBFinner BOM is just text\n"; // U+FEFF inside a text
    StringTable::ParseReport report;
    const auto t = StringTable::parse(input, "test", &report);
    EXPECT_TRUE(report.malformedLines.empty());
    EXPECT_EQ(text(t, "0001"), "\xE4\xB9\xB0\xE5\x85\xA5");
    EXPECT_EQ(text(t, "0002"), "\xD8\xB4\xD8\xB1\xD8\xA7\xD8\xA1");
    EXPECT_EQ(text(t, "0003"), "\xF0\x9F\x93\x88 chart");
    EXPECT_EQ(text(t, "0004"), "\xEF\xBB\xBFinner BOM is just text");
}

TEST(StringTableParse, ByteOrderMarkAndCrlf) {
    StringTable::ParseReport report;
    const auto t = StringTable::parse("\xEF\xBB\xBF# comment\r\n0001\tone\r\n0002\ttwo\r\n\r\n0003\t\r\n",
                                      "test", &report);
    EXPECT_TRUE(report.malformedLines.empty());
    EXPECT_EQ(text(t, "0001"), "one");
    EXPECT_EQ(text(t, "0002"), "two");
    EXPECT_EQ(text(t, "0003"), "");

    // Without a leading comment the mark sits right before the first key.
    const auto first = StringTable::parse("\xEF\xBB\xBF"
                                          "0001\tone\n",
                                          "test");
    EXPECT_EQ(text(first, "0001"), "one");

    // A mark anywhere else is not skipped and spoils that key.
    StringTable::ParseReport second;
    StringTable::parse("0001\tone\n\xEF\xBB\xBF"
                       "0002\ttwo\n",
                       "test", &second);
    EXPECT_EQ(second.malformedLines, std::vector<std::size_t>{2});
}

TEST(StringTableParse, DuplicateKeyLastEntryWins) {
    testing_support::LogCapture log(platform::LogLevel::Warning);
    StringTable::ParseReport report;
    const auto t =
        StringTable::parse("0001\tfirst\n0002\tother\n0001\tsecond\n0001\tthird\n", "dup.txt", &report);
    EXPECT_EQ(t.size(), 2u);
    EXPECT_EQ(text(t, "0001"), "third");
    EXPECT_EQ((report.duplicateLines), (std::vector<std::size_t>{3, 4}));
    ASSERT_EQ(log.lines().size(), 2u);
    EXPECT_NE(log.lines()[0].find("line 3"), std::string::npos);
    EXPECT_NE(log.lines()[0].find("line 1"), std::string::npos); // names where the key was first seen
}

TEST(StringTableParse, LineAndEntryCaps) {
    const std::string fits(StringTable::kMaxLineBytes - 5, 'x'); // "0001\t" + text == the cap
    const std::string over(StringTable::kMaxLineBytes - 4, 'y');
    StringTable::ParseReport report;
    auto t = StringTable::parse("0001\t" + fits + "\r\n0002\t" + over + "\n0003\tafter\n", "test", &report);
    EXPECT_EQ(report.malformedLines, std::vector<std::size_t>{2});
    EXPECT_EQ(text(t, "0001"), fits);
    EXPECT_EQ(t.find("0002"), nullptr);
    EXPECT_EQ(text(t, "0003"), "after");

    std::string many;
    for (std::size_t i = 0; i <= StringTable::kMaxEntries; ++i)
        many += std::to_string(100000 + i) + "\tt\n";
    many += "100000\treplaced\n"; // a repeat of a kept key still applies past the cap
    StringTable::ParseReport capped;
    {
        testing_support::LogSilence quiet;
        t = StringTable::parse(many, "many", &capped);
    }
    EXPECT_TRUE(capped.entryCapReached);
    EXPECT_EQ(t.size(), StringTable::kMaxEntries);
    EXPECT_EQ(t.find(std::to_string(100000 + StringTable::kMaxEntries)), nullptr);
    EXPECT_EQ(text(t, "100000"), "replaced");
}

TEST(StringTableParse, WarningsPerFileAreBounded) {
    testing_support::LogCapture log(platform::LogLevel::Warning);
    std::string input;
    for (int i = 0; i < 50; ++i)
        input += "bad line\n";
    StringTable::ParseReport report;
    StringTable::parse(input, "noisy", &report);
    EXPECT_EQ(report.malformedLines.size(), 50u);
    ASSERT_EQ(log.lines().size(), StringTable::kMaxWarningsPerFile + 1);
    EXPECT_NE(log.lines().back().find("30 more"), std::string::npos);
}

TEST(StringTableParse, EachFileReadInTheSameMomentTellsItsOwnProblems) {
    // The language tables are read one after another at start: a file's problems are told even
    // when the one before had its full share.
    testing_support::LogCapture log(platform::LogLevel::Warning);
    std::string noisy;
    for (int i = 0; i < 25; ++i)
        noisy += "bad line\n";
    for (const char* origin : {"first", "second", "third"})
        StringTable::parse(noisy, origin);
    for (const char* origin : {"first", "second", "third"}) {
        EXPECT_EQ(log.count(std::string("string table ") + origin + ": line"),
                  StringTable::kMaxWarningsPerFile)
            << origin;
        EXPECT_EQ(log.count(std::string("string table ") + origin + ": 5 more problems not shown"), 1u)
            << origin;
    }
    // Below the level set, nothing is written.
    testing_support::LogCapture errorsOnly(platform::LogLevel::Error);
    StringTable::parse(noisy, "quiet");
    EXPECT_TRUE(errorsOnly.lines().empty());
}

class StringTableFiles : public ::testing::Test {
protected:
    void SetUp() override { StringTableCache::clear(); }
    void TearDown() override { StringTableCache::clear(); }
    testing_support::TempDir dir_;
};

TEST_F(StringTableFiles, LoadHonoursTheSizeCap) {
    const std::string line = "0001\t" + std::string(1018, 'a') + "\n"; // 1 KiB per line
    std::string atCap;
    for (std::size_t i = 0; i < StringTable::kMaxFileBytes / line.size(); ++i)
        atCap += line;
    ASSERT_EQ(atCap.size(), StringTable::kMaxFileBytes);
    testing_support::LogSilence quiet; // the repeats of key 0001 would warn
    const auto loaded = StringTable::load(dir_.write("cap.txt", atCap));
    const auto over = StringTable::load(dir_.write("over.txt", atCap + "\n"));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->size(), 1u);
    EXPECT_FALSE(over);

    EXPECT_FALSE(StringTable::load(dir_.path() / "missing.txt"));
    EXPECT_FALSE(StringTable::load(dir_.path())); // a folder is not a table
}

TEST_F(StringTableFiles, CacheReadsOnceUntilCleared) {
    const auto folder = dir_.path() / "en.lproj";
    dir_.write("en.lproj/Localizable.txt", "0001\told\n");
    const auto first = StringTableCache::tableForFolder(folder);
    EXPECT_EQ(text(*first, "0001"), "old");

    dir_.write("en.lproj/Localizable.txt", "0001\tnew\n");
    // The same folder spelled differently is still the same cache entry.
    EXPECT_EQ(StringTableCache::tableForFolder(dir_.path() / "x" / ".." / "en.lproj"), first);

    StringTableCache::clear();
    const auto second = StringTableCache::tableForFolder(folder);
    EXPECT_EQ(text(*second, "0001"), "new");
    EXPECT_EQ(text(*first, "0001"), "old"); // holders of the old table keep a valid one
}

TEST_F(StringTableFiles, FolderWithoutTableGivesEmptyTable) {
    testing_support::LogSilence quiet;
    const auto t = StringTableCache::tableForFolder(dir_.path() / "empty.lproj");
    ASSERT_NE(t, nullptr);
    EXPECT_TRUE(t->empty());
}

TEST_F(StringTableFiles, ConcurrentFirstUseSharesOneTable) {
    const auto folder = dir_.path() / "fr.lproj";
    dir_.write("fr.lproj/Localizable.txt", "0009\tAcheter\n0010\tVendre\n");
    std::vector<std::shared_ptr<const StringTable>> seen(8);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&, i] {
            for (int n = 0; n < 200; ++n)
                seen[i] = StringTableCache::tableForFolder(folder);
        });
    for (auto& th : threads)
        th.join();
    for (const auto& t : seen) {
        EXPECT_EQ(t, seen.front());
        EXPECT_EQ(text(*t, "0010"), "Vendre");
    }
}

} // namespace
