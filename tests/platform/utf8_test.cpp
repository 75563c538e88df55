#include "platform/utf8.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

using namespace tc;

using namespace std::string_literals;

TEST(Utf8, ValidityIsStrict) {
    EXPECT_TRUE(platform::isValidUtf8(""));
    EXPECT_TRUE(platform::isValidUtf8("plain ascii"));
    EXPECT_TRUE(platform::isValidUtf8("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80")); // é € 😀
    EXPECT_FALSE(platform::isValidUtf8("\xC0\xAF"));                            // overlong '/'
    EXPECT_FALSE(platform::isValidUtf8("\xE0\x80\xAF"));                        // overlong
    EXPECT_FALSE(platform::isValidUtf8("\xED\xA0\x80"));                        // surrogate D800
    EXPECT_FALSE(platform::isValidUtf8("\xF4\x90\x80\x80"));                    // past U+10FFFF
    EXPECT_FALSE(platform::isValidUtf8("\xE2\x82"));                            // cut short
    EXPECT_FALSE(platform::isValidUtf8("\x80"));                                // stray continuation
}

TEST(Utf8, RepairReplacesEachMaximalBadSubpartOnce) {
    EXPECT_EQ(platform::repairUtf8("a\xE2\x82z"), "a\xEF\xBF\xBDz");
    EXPECT_EQ(platform::repairUtf8("\x80\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(platform::repairUtf8("ok \xC3\xA9"), "ok \xC3\xA9");
}

TEST(Utf8, Utf16LengthCountsAstralCharactersTwice) {
    EXPECT_EQ(platform::utf16Length(""), 0u);
    EXPECT_EQ(platform::utf16Length("abc"), 3u);
    EXPECT_EQ(platform::utf16Length("\xC3\xA9"), 1u);
    EXPECT_EQ(platform::utf16Length("\xE2\x82\xAC"), 1u);
    EXPECT_EQ(platform::utf16Length("\xF0\x9F\x98\x80"), 2u);

    // Long texts are counted many bytes at a time: every mix and offset counts as one byte at a time does.
    auto oneByOne = [](const std::string& text) {
        std::uint64_t units = 0;
        for (unsigned char c : text)
            units += ((c & 0xC0) != 0x80) + (c >= 0xF0);
        return units;
    };
    const std::string pieces[] = {"a", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xBF", "\xFF"};
    std::string text;
    for (std::size_t i = 0; i < 200; ++i) {
        text += pieces[(i * 7 + i / 5) % 6];
        EXPECT_EQ(platform::utf16Length(text), oneByOne(text)) << i;
    }
    EXPECT_EQ(platform::utf16Length(std::string(40, 'x') + "\xF0\x9F\x98\x80"), 42u);
}

TEST(Utf8, AppendWritesEveryFormAndReplacesWhatIsNoCharacter) {
    std::string out;
    for (char32_t cp : {U'A', U'\u00E9', U'\u20AC', U'\U0001F600'})
        platform::appendUtf8(out, cp);
    EXPECT_EQ(out, "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_TRUE(platform::isValidUtf8(out));
    out.clear();
    platform::appendUtf8(out, 0xD800);
    platform::appendUtf8(out, 0x110000);
    EXPECT_EQ(out, "\xEF\xBF\xBD\xEF\xBF\xBD");
    out.clear();
    platform::appendUtf8(out, 0);
    EXPECT_EQ(out, "\0"s);
}

} // namespace
