#include "wire/url_encoding.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace tc;

std::optional<std::string> encode(std::string_view s) {
    return URLEncoding::stringByAddingPercentEncodingForRFC3986(s);
}

TEST(URLEncoding, EscapesReservedAsciiButKeepsSlashAndQuestionMark) {
    EXPECT_EQ(encode("a b&c=d/e?f"), "a%20b%26c%3Dd/e?f");
    EXPECT_EQ(encode("1+1:2"), "1%2B1%3A2");
    EXPECT_EQ(encode(""), "");
    // Every printable ASCII character, as Python quotes it with the same kept set:
    // python3 -c "import urllib.parse; print(urllib.parse.quote(''.join(map(chr, range(32, 127))),
    // safe='-._~/?'))"
    std::string printable;
    for (char c = 0x20; c < 0x7f; ++c)
        printable.push_back(c);
    EXPECT_EQ(encode(printable),
              "%20%21%22%23%24%25%26%27%28%29%2A%2B%2C-./0123456789%3A%3B%3C%3D%3E?%40ABCDEFGHIJ"
              "KLMNOPQRSTUVWXYZ%5B%5C%5D%5E_%60abcdefghijklmnopqrstuvwxyz%7B%7C%7D~");
    EXPECT_EQ(encode(std::string_view("\0\n\x7f", 3)), "%00%0A%7F");
}

TEST(URLEncoding, KeepsLettersMarksAndDigitsOfEveryScript) {
    EXPECT_EQ(encode("caf\xc3\xa9"), "caf\xc3\xa9");                           // é
    EXPECT_EQ(encode("e\xcc\x81"), "e\xcc\x81");                               // e + combining acute (a mark)
    EXPECT_EQ(encode("\xce\xb1\xce\xb2"), "\xce\xb1\xce\xb2");                 // Greek alpha beta
    EXPECT_EQ(encode("\xd9\xa3"), "\xd9\xa3");                                 // Arabic-Indic digit three
    EXPECT_EQ(encode("\xe6\x97\xa5\xe6\x9c\xac"), "\xe6\x97\xa5\xe6\x9c\xac"); // CJK
}

TEST(URLEncoding, EscapesOtherCharactersByTheirUtf8Bytes) {
    EXPECT_EQ(encode("\xc2\xa0"), "%C2%A0");                   // no-break space
    EXPECT_EQ(encode("10\xe2\x82\xac"), "10%E2%82%AC");        // euro sign
    EXPECT_EQ(encode("\xf0\x9f\x98\x80!"), "%F0%9F%98%80%21"); // emoji
}

TEST(URLEncoding, RejectsInvalidUtf8AndOversizeText) {
    EXPECT_FALSE(encode("ab\xff").has_value());
    EXPECT_FALSE(encode("\xc3").has_value());
    EXPECT_FALSE(encode("\xed\xa0\x80").has_value()); // encoded surrogate
    EXPECT_FALSE(encode(std::string(URLEncoding::kMaxTextLength + 1, 'a')).has_value());
}

} // namespace
