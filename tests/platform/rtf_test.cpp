#include "platform/rtf.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace tc;

using platform::plainTextFromRtf;
using platform::rtfFromPlainText;

std::string doc(std::string_view body) {
    return "{\\rtf1\\ansi " + std::string(body) + "}";
}

TEST(Rtf, PlainTextRoundTrips) {
    const std::string samples[] = {
        "",
        "hello",
        "back\\slash {braces} }{ \\par \\u1234? \\'e9",
        "line one\nline two\n\nlast\n",
        "\ttabbed\r\nwindows line",
        "emoji \xF0\x9F\x98\x80\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD",
        "\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7 arabic",
        "\xE4\xBD\xA0\xE5\xA5\xBD\xE4\xB8\x96\xE7\x95\x8C cjk",
        "caf\xC3\xA9 \xE2\x82\xAC 100 \xEF\xBF\xBF",
        std::string("nul\0inside", 10),
        "{\\rtf1 not a nested document}",
        "trailing backslash\\",
    };
    for (const auto& s : samples)
        EXPECT_EQ(plainTextFromRtf(rtfFromPlainText(s)), s) << s;
}

TEST(Rtf, WriterEmitsSevenBitRtf) {
    const std::string rtf = rtfFromPlainText("a\xC3\xA9\xF0\x9F\x98\x80{}\\\n");
    EXPECT_EQ(rtf.rfind("{\\rtf1", 0), 0u);
    EXPECT_EQ(rtf.back(), '}');
    for (char c : rtf)
        EXPECT_LT(static_cast<unsigned char>(c), 0x80);
    // U+00E9, then U+1F600 as the surrogates D83D DE00 in signed 16-bit form.
    EXPECT_NE(rtf.find("a\\u233?\\u-10179?\\u-8704?\\{\\}\\\\\\par"), std::string::npos) << rtf;
}

TEST(Rtf, WriterReplacesMalformedUtf8) {
    EXPECT_EQ(plainTextFromRtf(rtfFromPlainText("a\xFF"
                                                "b\xC3")),
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD");
    // An encoded surrogate is not UTF-8.
    EXPECT_EQ(plainTextFromRtf(rtfFromPlainText("\xED\xA0\x80")), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(Rtf, ReadsDocumentsOfAMacTextEditor) {
    const std::string rtf =
        "{\\rtf1\\ansi\\ansicpg1252\\cocoartf2639\n"
        "\\cocoatextscaling0\\cocoaplatform0{\\fonttbl\\f0\\fswiss\\fcharset0 Helvetica;}\n"
        "{\\colortbl;\\red255\\green255\\blue255;}\n"
        "{\\*\\expandedcolortbl;;}\n"
        "\\paperw11900\\paperh16840\\margl1440\\margr1440\\vieww11520\\viewh8400\\viewkind0\n"
        "\\pard\\tx566\\tx1133\\pardirnatural\\partightenfactor0\n\n"
        "\\f0\\fs24 \\cf0 Caf\\'e9 \\'93quoted\\'94 \\uc0\\u8364 5\\\n"
        "next {\\field{\\*\\fldinst{HYPERLINK \"https://x/\"}}{\\fldrslt link}}}";
    EXPECT_EQ(plainTextFromRtf(rtf), "Caf\xC3\xA9 \xE2\x80\x9Cquoted\xE2\x80\x9D \xE2\x82\xAC"
                                     "5\nnext link");
}

TEST(Rtf, UnicodeFallbackCharactersAreSkipped) {
    EXPECT_EQ(plainTextFromRtf(doc("\\u8364?a")), "\xE2\x82\xAC"
                                                  "a");
    EXPECT_EQ(plainTextFromRtf(doc("\\uc2\\u8364 EUxy")), "\xE2\x82\xAC"
                                                          "xy");
    // A code-page byte or a control word is one fallback character.
    EXPECT_EQ(plainTextFromRtf(doc("\\u8364\\'80a")), "\xE2\x82\xAC"
                                                      "a");
    EXPECT_EQ(plainTextFromRtf(doc("\\u8364\\par a")), "\xE2\x82\xAC"
                                                       "a");
    // \uc holds for its group only.
    EXPECT_EQ(plainTextFromRtf(doc("{\\uc0\\u8364 a}\\u8364?b")), "\xE2\x82\xAC"
                                                                  "a\xE2\x82\xAC"
                                                                  "b");
    // The fallback never reaches past a group's end.
    EXPECT_EQ(plainTextFromRtf(doc("{\\uc3\\u8364}ab")), "\xE2\x82\xAC"
                                                         "ab");
}

TEST(Rtf, SurrogatesPairUpAndLoneOnesAreReplaced) {
    EXPECT_EQ(plainTextFromRtf(doc("\\u-10179?\\u-8704?")), "\xF0\x9F\x98\x80");
    EXPECT_EQ(plainTextFromRtf(doc("\\u55357?\\u56832?")), "\xF0\x9F\x98\x80");
    EXPECT_EQ(plainTextFromRtf(doc("\\u-10179?x")), "\xEF\xBF\xBDx");
    EXPECT_EQ(plainTextFromRtf(doc("\\u-8704?x")), "\xEF\xBF\xBDx");
    EXPECT_EQ(plainTextFromRtf(doc("\\u-99999?x")), "\xEF\xBF\xBDx");
}

TEST(Rtf, ControlSymbolsAndWords) {
    EXPECT_EQ(plainTextFromRtf(doc("a\\\\b\\{c\\}d")), "a\\b{c}d");
    EXPECT_EQ(plainTextFromRtf(doc("non\\~breaking soft\\-hyphen non\\_breaking")),
              "non\xC2\xA0"
              "breaking softhyphen non\xE2\x80\x91"
              "breaking");
    EXPECT_EQ(plainTextFromRtf(doc("a\\par b\\line c\\tab d\\emdash\\bullet")),
              "a\nb\nc\td\xE2\x80\x94\xE2\x80\xA2");
    EXPECT_EQ(plainTextFromRtf(doc("\\b bold\\b0  \\i1 it\\unknownword99  x")), "bold it x");
    // Raw line breaks are not text.
    EXPECT_EQ(plainTextFromRtf(doc("a\r\nb")), "ab");
}

TEST(Rtf, DestinationsAreSkipped) {
    EXPECT_EQ(
        plainTextFromRtf("{\\rtf1{\\fonttbl{\\f0 Helvetica;}}{\\colortbl;\\red0;}{\\stylesheet{Normal;}}"
                         "{\\info{\\title T}{\\author A}}{\\*\\generator W;}{\\*\\anything x}"
                         "{\\pict\\pngblip 89504e47}text}"),
        "text");
    // Binary data is jumped over, braces and all.
    EXPECT_EQ(plainTextFromRtf(doc("a\\bin3 }}}b")), "ab");
}

TEST(Rtf, CodePageBytes) {
    EXPECT_EQ(plainTextFromRtf(doc("\\'93x\\'94 \\'80 \\'e9")),
              "\xE2\x80\x9Cx\xE2\x80\x9D \xE2\x82\xAC \xC3\xA9");
    // Shift-JIS: 82 A0 is HIRAGANA LETTER A.
    EXPECT_EQ(plainTextFromRtf("{\\rtf1\\ansi\\ansicpg932 \\'82\\'a0}"), "\xE3\x81\x82");
    // An unknown code page is read as Windows-1252.
    EXPECT_EQ(plainTextFromRtf("{\\rtf1\\ansi\\ansicpg99999 \\'e9}"), "\xC3\xA9");
}

TEST(Rtf, MalformedInputGivesBestEffortText) {
    EXPECT_EQ(plainTextFromRtf("{\\rtf1 unterminated"), "unterminated");
    EXPECT_EQ(plainTextFromRtf("{\\rtf1 a}}}after"), "a");
    // A \' without two hex digits is dropped; what follows is text.
    EXPECT_EQ(plainTextFromRtf(doc("\\'zq\\'4")), "zq");
    EXPECT_EQ(plainTextFromRtf(doc("\\u x")), "x");
    EXPECT_EQ(plainTextFromRtf("{\\rtf1 \\"), "");
    EXPECT_EQ(plainTextFromRtf(doc("\\bin99999999999 lost")), "");
    // Every prefix of a real document reads without a fault.
    const std::string full = rtfFromPlainText("mixed \xF0\x9F\x98\x80 {x}\n\xD9\x85");
    for (size_t n = 0; n <= full.size(); ++n)
        (void)plainTextFromRtf(std::string_view(full).substr(0, n));
}

TEST(Rtf, TextThatIsNotRtfIsReturnedUnchanged) {
    EXPECT_EQ(plainTextFromRtf("hello {world} \\par"), "hello {world} \\par");
    EXPECT_EQ(plainTextFromRtf(""), "");
}

TEST(Rtf, GroupsBeyondTheDepthCapAreSkipped) {
    const int deep = platform::kMaxRtfGroupDepth + 50;
    std::string rtf = "{\\rtf1 a" + std::string(deep, '{') + "deep" + std::string(deep, '}') + "b}";
    EXPECT_EQ(plainTextFromRtf(rtf), "ab");
    EXPECT_EQ(plainTextFromRtf("{\\rtf1 a{{{x}}}b}"), "axb");
}

TEST(Rtf, SizeCaps) {
    EXPECT_EQ(rtfFromPlainText(std::string(platform::kMaxRtfPlainTextBytes + 1, 'x')), "");
    EXPECT_FALSE(rtfFromPlainText(std::string(platform::kMaxRtfPlainTextBytes, 'x')).empty());
    std::string big = "{\\rtf1 " + std::string(platform::kMaxRtfDocumentBytes, 'x') + "}";
    EXPECT_EQ(plainTextFromRtf(big), "");
}

} // namespace
