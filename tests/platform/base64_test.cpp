#include "platform/base64.h"
#include "wire/data_additions.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace tc;

using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(std::string_view s) {
    return Bytes(s.begin(), s.end());
}

std::optional<Bytes> strict(std::string_view text) {
    return platform::Base64::decodeBase64WithString(text);
}

// python3 -c "import base64; print(base64.b64encode(bytes(range(256))).decode())"
constexpr std::string_view kAllBytesBase64 =
    "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMzQ1Njc4OTo7PD0+P0BBQkNERUZHSElKS0xN"
    "Tk9QUVJTVFVWV1hZWltcXV5fYGFiY2RlZmdoaWprbG1ub3BxcnN0dXZ3eHl6e3x9fn+AgYKDhIWGh4iJiouMjY6PkJGSk5SVlpeYmZqb"
    "nJ2en6ChoqOkpaanqKmqq6ytrq+wsbKztLW2t7i5uru8vb6/wMHCw8TFxsfIycrLzM3Oz9DR0tPU1dbX2Nna29zd3t/g4eLj5OXm5+jp"
    "6uvs7e7v8PHy8/T19vf4+fr7/P3+/w==";

Bytes allBytes() {
    Bytes b(256);
    for (int i = 0; i < 256; ++i)
        b[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    return b;
}

TEST(Base64Encode, PaddingAndGoldenVectors) {
    EXPECT_EQ(platform::Base64::encodeBase64WithData(bytesOf("abc")), "YWJj");
    EXPECT_EQ(platform::Base64::encodeBase64WithData(bytesOf("ab")), "YWI=");
    EXPECT_EQ(platform::Base64::encodeBase64WithData(bytesOf("a")), "YQ==");
    EXPECT_EQ(platform::Base64::encodeBase64WithData(allBytes()), kAllBytesBase64);
    // python3 -c "import base64; print(base64.b64encode('é'.encode()))" -> w6k=
    EXPECT_EQ(platform::Base64::encodeBase64WithString("\xc3\xa9"), "w6k=");
    EXPECT_EQ(platform::Base64::encodeBase64WithString("hello world!"), "aGVsbG8gd29ybGQh");
}

TEST(Base64Encode, EmptyAndOversizeGiveNothing) {
    EXPECT_FALSE(platform::Base64::encodeBase64WithData({}).has_value());
    EXPECT_FALSE(platform::Base64::encodeBase64WithString("").has_value());
    const Bytes big(platform::Base64::kMaxDataLength + 1, 0x41);
    EXPECT_FALSE(platform::Base64::encodeBase64WithData(big).has_value());
}

TEST(Base64StrictDecode, AcceptsWhitespaceAndPartialQuanta) {
    EXPECT_EQ(strict("YWJj"), bytesOf("abc"));
    EXPECT_EQ(strict("YW Jj"), bytesOf("abc"));
    EXPECT_EQ(strict("YWJj\r\n"), bytesOf("abc"));
    EXPECT_EQ(strict("\tY\fW\nJ\rj "), bytesOf("abc"));
    EXPECT_EQ(strict("YQ=="), bytesOf("a"));
    EXPECT_EQ(strict("YQ="), bytesOf("a"));
    EXPECT_EQ(strict("YWJ"), bytesOf("ab"));
    EXPECT_EQ(strict("Y"), Bytes{});
    EXPECT_EQ(strict(""), Bytes{});
    EXPECT_EQ(strict("="), Bytes{});
    EXPECT_EQ(strict(kAllBytesBase64), allBytes());
}

TEST(Base64StrictDecode, PadsDoNotEndTheQuantum) {
    // The pads are passed over, so "YQ==YQ==" decodes as "YQYQ":
    // python3 -c "import base64; print(base64.b64decode('YQYQ'))" -> b'a\x06\x10'
    EXPECT_EQ(strict("YQ==YQ=="), (Bytes{0x61, 0x06, 0x10}));
    EXPECT_EQ(strict("YWJj=YWJj"), bytesOf("abcabc"));
}

TEST(Base64StrictDecode, RejectsInvalidText) {
    EXPECT_FALSE(strict("YW*j").has_value());
    EXPECT_FALSE(strict("Y=QQ").has_value());
    // A single pad after one sextet, also at the very end (nothing is read past the text).
    EXPECT_FALSE(strict("Y=").has_value());
    EXPECT_FALSE(strict("Y==").has_value());
    EXPECT_FALSE(strict("YWJj\xc3\xa9").has_value());
    EXPECT_FALSE(strict("YW\vJj").has_value());
    EXPECT_FALSE(strict("YW-_").has_value());
    // An embedded NUL is invalid rather than an early end that would silently truncate.
    EXPECT_FALSE(strict(std::string_view("YWJj\0YWJj", 9)).has_value());
    EXPECT_FALSE(strict(std::string(platform::Base64::kMaxTextLength + 1, 'A')).has_value());
}

TEST(Base64, RoundTripsEveryLength) {
    std::mt19937 rng(7);
    for (std::size_t n = 1; n < 300; ++n) {
        Bytes data(n);
        for (auto& b : data)
            b = static_cast<std::uint8_t>(rng());
        const auto text = platform::Base64::encodeBase64WithData(data);
        ASSERT_TRUE(text.has_value());
        EXPECT_EQ(text->size(), 4 * ((n + 2) / 3));
        EXPECT_EQ(strict(*text), data) << n;
        EXPECT_EQ(NSDataAdditions::initWithBase64EncodedString(*text), data) << n;
        EXPECT_EQ(NSDataAdditions::base64Encoding(data), text) << n;
        const auto wrapped = NSDataAdditions::base64EncodingWithLineLength(data, 76);
        ASSERT_TRUE(wrapped.has_value());
        EXPECT_EQ(strict(*wrapped), data) << n;
    }
}

TEST(Base64LenientDecode, IgnoresForeignCharactersAndStopsAtPad) {
    using D = NSDataAdditions;
    EXPECT_EQ(D::initWithBase64EncodedString("YW*Jj"), bytesOf("abc"));
    EXPECT_EQ(D::dataWithBase64EncodedString("YW\xff\xfe"), Bytes{}); // not ASCII: empty
    EXPECT_EQ(D::initWithBase64EncodedString("YWJj\nYWJj"), bytesOf("abcabc"));
    EXPECT_EQ(D::initWithBase64EncodedString("YQ=="), bytesOf("a"));
    EXPECT_EQ(D::initWithBase64EncodedString("YWI="), bytesOf("ab"));
    EXPECT_EQ(D::initWithBase64EncodedString("YWJj=YWJj"), bytesOf("abc"));
    EXPECT_EQ(D::initWithBase64EncodedString("=YWJj"), Bytes{});
    // Pending values without a pad are dropped, and so is a lone sextet before a pad.
    EXPECT_EQ(D::initWithBase64EncodedString("YWJjYWJ"), bytesOf("abc"));
    EXPECT_EQ(D::initWithBase64EncodedString("YWJjY="), bytesOf("abc"));
    EXPECT_EQ(D::initWithBase64EncodedString(""), Bytes{});
    EXPECT_FALSE(D::initWithBase64EncodedString(std::string(D::kMaxInputLength + 1, 'A')).has_value());
}

TEST(Base64LineBreaks, BreakAfterWholeGroupsOnceTheLengthIsReached) {
    const Bytes twelve = bytesOf("abcdefghijkl");
    EXPECT_EQ(NSDataAdditions::base64EncodingWithLineLength(twelve, 8), "YWJjZGVm\nZ2hpamts\n");
    EXPECT_EQ(NSDataAdditions::base64EncodingWithLineLength(twelve, 0), "YWJjZGVmZ2hpamts");
    // A length that is not a multiple of four is reached only after the next whole group.
    EXPECT_EQ(NSDataAdditions::base64EncodingWithLineLength(twelve, 5), "YWJjZGVm\nZ2hpamts\n");
    EXPECT_EQ(NSDataAdditions::base64EncodingWithLineLength(bytesOf("abcd"), 1), "YWJj\nZA==\n");
    EXPECT_EQ(NSDataAdditions::base64EncodingWithLineLength(bytesOf("abcd"), 100), "YWJjZA==");
    EXPECT_EQ(NSDataAdditions::base64EncodingWithLineLength({}, 8), "");
    EXPECT_EQ(NSDataAdditions::base64Encoding({}), "");
}

} // namespace
