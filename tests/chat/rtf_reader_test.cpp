#include "chat/rtf_reader.h"
#include "platform/rtf_writer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace tc;

using tc::chat::RtfError;
using tc::chat::RtfReader;

TEST(RtfReader, ReadsTheDocumentsCharacters) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"{\\rtf1\\ansi{\\fonttbl\\f0\\fswiss Helvetica;}\\f0\\pard Hello\\par World}", "Hello\nWorld"},
        {"plain text", "plain text"},
        {"a\r\nb", "ab"},
        {"a\\\nb\\\rc", "a\nb\nc"},
        {"ends\\par", "ends\n"},
        {"\\{\\}\\\\", "{}\\"},
        {"\\tab|\\~|\\emdash|\\lquote|\\ldblquote", "\t| |-|'|\""},
        {"\\'41\\'4a\\'4A", "AJJ"},
        {"{\\*\\unknownword hidden}after", "after"},
        {"{\\unknownword shown}", "shown"},
        {"{\\*\\par x}", "\nx"},
        {"{\\colortbl;\\red255\\green0;}x", "x"},
        {"\\PAR", ""},
        {"{a{b{c}d}e}", "abcde"},
        {"{\\b bold\\b0  plain}", "bold plain"},
        {"\\bin3 {}}x", "x"},
        {"\\bin0 x", "x"},
        {"{\\pict\\bin2 \\}}x", "x"},
    };
    for (const auto& [rtf, text] : cases)
        EXPECT_EQ(RtfReader::ConvertRTFToString(rtf), text) << rtf;
}

TEST(RtfReader, ReadsNonLatinText) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        // \uN with its fallback character skipped; \ucN sets how many follow, per group.
        {"\\u1575?\\u1604?", "\xD8\xA7\xD9\x84"},
        {"\\uc0\\u8364 5", "\xE2\x82\xAC"
                           "5"},
        {"\\uc2\\u8364 EUxy", "\xE2\x82\xAC"
                              "xy"},
        {"\\u8364\\'80a", "\xE2\x82\xAC"
                          "a"},
        {"{\\uc3\\u8364}ab", "\xE2\x82\xAC"
                             "ab"},
        {"{\\uc0\\u8364 a}\\u8364?b", "\xE2\x82\xAC"
                                      "a\xE2\x82\xAC"
                                      "b"},
        // Surrogate pairs join, in signed or unsigned form; a lone half is U+FFFD.
        {"\\u-10179?\\u-8704?", "\xF0\x9F\x98\x80"},
        {"\\u55357?\\u56832?", "\xF0\x9F\x98\x80"},
        {"\\u-10179?x", "\xEF\xBF\xBDx"},
        // Raw bytes are UTF-8; \'hh is Windows-1252.
        {"caf\xC3\xA9 \xE4\xBD\xA0", "caf\xC3\xA9 \xE4\xBD\xA0"},
        {"bad \xFF", "bad \xEF\xBF\xBD"},
        {"\\'e9 \\'80 \\'93q\\'94", "\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9Cq\xE2\x80\x9D"},
        // Control characters are not text.
        {"a\\'01b\x07"
         "c",
         "abc"},
    };
    for (const auto& [rtf, text] : cases)
        EXPECT_EQ(RtfReader::ConvertRTFToString(rtf), text) << rtf;
}

TEST(RtfReader, ASyntaxErrorGivesNoTextAtAll) {
    const std::pair<std::string_view, RtfError> cases[] = {
        {"a}", RtfError::UnmatchedClose},
        {"{a}}", RtfError::UnmatchedClose},
        {"{never closed", RtfError::OpenGroups},
        {"\\'4g", RtfError::BadHexDigit},
        {"text\\", RtfError::TruncatedControl},
        {"\\li-", RtfError::TruncatedControl},
        {"{\\bin99999999999 x}", RtfError::OpenGroups}, // the count takes the closing brace as data
    };
    for (const auto& [rtf, error] : cases) {
        const auto doc = RtfReader::read(rtf);
        EXPECT_EQ(doc.error, error) << rtf;
        EXPECT_TRUE(doc.text.empty()) << rtf;
    }
    const std::string deep = std::string(RtfReader::kMaxGroupDepth + 1, '{') + "x" +
                             std::string(RtfReader::kMaxGroupDepth + 1, '}');
    EXPECT_EQ(RtfReader::read(deep).error, RtfError::TooDeep);
    const std::string fine =
        std::string(RtfReader::kMaxGroupDepth, '{') + "x" + std::string(RtfReader::kMaxGroupDepth, '}');
    EXPECT_EQ(RtfReader::ConvertRTFToString(fine), "x");
}

TEST(RtfReader, OverlongWordsAndParametersAreUnknownWords) {
    const std::string letters(RtfReader::kMaxKeywordLetters + 9, 'p');
    EXPECT_EQ(RtfReader::ConvertRTFToString("\\" + letters + " x"), "x");
    // "par" with a parameter too long to hold is no paragraph break.
    EXPECT_EQ(RtfReader::ConvertRTFToString("\\par" + std::string(40, '9') + " x"), "x");
    EXPECT_EQ(RtfReader::ConvertRTFToString("\\u99999999999?x"), "\xEF\xBF\xBDx");
    EXPECT_EQ(RtfReader::ConvertRTFToString("{\\*\\" + letters + " hidden}y"), "y");
}

TEST(RtfReader, KeepsFormattingAsRuns) {
    const auto doc = RtfReader::read("\\b bold\\b0 plain\\li-720 \\fs48 x");
    EXPECT_EQ(doc.text, "boldplainx");
    ASSERT_EQ(doc.fontRuns.size(), 3u);
    EXPECT_TRUE(doc.fontRuns[0].isBold);
    EXPECT_EQ(doc.fontRuns[0].end, 4u);
    EXPECT_FALSE(doc.fontRuns[1].isBold);
    EXPECT_EQ(doc.fontRuns[1].end, 9u);
    EXPECT_EQ(doc.fontRuns[2].fontSize, 10.0f); // "fs" always sets its default size
    ASSERT_EQ(doc.paragraphRuns.size(), 2u);
    EXPECT_EQ(doc.paragraphRuns[1].indentLeft, -720);
    EXPECT_EQ(doc.paragraphRuns[1].start, 9u);
}

TEST(RtfReader, FormattingRunsAreCappedTheTextIsNot) {
    std::string rtf;
    for (std::size_t i = 0; i < RtfReader::kMaxRuns; ++i)
        rtf += "\\b a\\b0 b\\li1 c";
    const auto doc = RtfReader::read(rtf);
    EXPECT_EQ(doc.text.size(), 3 * RtfReader::kMaxRuns);
    EXPECT_EQ(doc.fontRuns.size(), RtfReader::kMaxRuns);
    EXPECT_EQ(doc.paragraphRuns.size(), RtfReader::kMaxRuns);
    EXPECT_EQ(doc.fontRuns.back().end, doc.text.size());
}

TEST(RtfReader, ReadsWhatTheWriterWrites) {
    const std::string text = "Hi {team}\n\xD8\xB3\xD9\x84\xD8\xA7\xD9\x85 \xF0\x9F\x91\x8B C:\\path\tend";
    EXPECT_EQ(RtfReader::ConvertRTFToString(platform::rtfFromPlainText(text)), text);
}

} // namespace
