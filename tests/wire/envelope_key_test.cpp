// Golden keys were computed outside this code base:
//   python3 -c "import hashlib,base64; t=U+P+R+S; t+='-'*(32-len(t));
//               print(base64.b64encode(hashlib.sha512(t.encode()).digest()).decode())"
// (non-ASCII: the digest reads the UTF-8 prefix as long as the text's UTF-16 length)
#include "wire/envelope_key.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace tc;

TEST(SessionKey, ShortInputsArePaddedWithDashesTo32) {
    // 'ab720240102030405' + 15 '-'
    EXPECT_EQ(GenerateNewEncryptionKey("a", "b", "7", "20240102030405"),
              "Zq4sQX3TaR3yGJsXM1Gh3jkDl6j21AKqfns0UibNJSX7X4AjVMQ5JIShsSo44EG1LNXiefWToiP+4brClb/03A==");
    // 31 characters + one '-'
    EXPECT_EQ(GenerateNewEncryptionKey("trader1", "s3cret", "4711", "20240102030405"),
              "Bu5fr9qBVR+KDtQPOzOiReyjI/L7/ZySpc2mcNhILA7/MJzSJfVuY2z/xK1NQOdzWY5LpZX1gIrJzk83jkgnqQ==");
    // Nothing at all: 32 '-'
    EXPECT_EQ(GenerateNewEncryptionKey("", "", "", ""),
              "yaCZfe0wZWf7juUAk09i6l09xofb1dQR0SynGveL4eXL7Ne0nVw9ZSZ8ovwEVqNlH9h9v3kP2I4HuMAuljIE5Q==");
}

TEST(SessionKey, InputsOf32OrMoreAreDigestedAsTheyAre) {
    EXPECT_EQ(GenerateNewEncryptionKey("abcdefgh", "12345678", "4711", "ABCDEFGHIJKL"),
              "ioTOsl+OLFOdOGG0DOfmj34KU8x3XEXcqvN4stmSwdX9g5AMN3+RZuWtRU14aVp3+w0Xko4XjeMWN4l8e5rHWw==");
    EXPECT_EQ(GenerateNewEncryptionKey("alexander.hamilt", "Pa55word!", "1", "20240102030405"),
              "IiSAvXbvxgWgPeviaOnH4BVrceRxowKMun4k5Fx+umGqEbWAZrYIH4oa84StDYYA8VX9qqpF+OEU0d6qL5XCVA==");
}

TEST(SessionKey, PaddingCountsUtf16Units) {
    // 'José' is 4 units in 5 bytes: 21 units get 11 dashes, and the digest reads 32 of the 33 bytes.
    EXPECT_EQ(GenerateNewEncryptionKey("Jos\xC3\xA9", "pw", "1", "20240102030405"),
              "qoXrL71TKzWbjR6Lex57slpDMYFqD+Z8ETfHLxjWFUCupaazbJ2UWzQsTSXo/YRepUT9cSlNxC+t9PNHaEdilA==");
}

TEST(SessionKey, AlwaysEightyEightCharactersEndingInTwoPads) {
    for (std::size_t n = 0; n <= 100; n += 7) {
        const std::string key = GenerateNewEncryptionKey(std::string(n, 'u'), "p", "", "20240102030405");
        EXPECT_EQ(key.size(), 88u) << n;
        EXPECT_EQ(key.substr(86), "==") << n;
    }
}

} // namespace
