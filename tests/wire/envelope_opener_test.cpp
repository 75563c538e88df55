#include "support/wire_text.h"
#include "wire/envelope_opener.h"

#include "platform/base64.h"
#include "platform/crypto.h"
#include "platform/message_cipher.h"
#include "wire/data_additions.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace tc;
using testing_support::wireText;

const std::string kKey = "abc";
const std::string kPlain = "The quick brown fox jumps over the lazy dog";
// printf '%s' "$kPlain" |
//   openssl enc -aes-256-cbc -K 66affaa9f307a2e520f0ba6bcc1a6b34e9f0d4ec285b43bfa3738c1c187dad3f
//     -iv 66affaa9f307a2e520f0ba6bcc1a6b34 | base64 -w0
// (key: pbkdf2_hmac('sha1', b'abc', b'\x00\x01\x02\x03', 1000, 32))
const std::string kSealed = "6epvAYu/VDIJT3827O20MXlJ5cD5DDF/CkQOTY6qP8W2FgK+5nTFbxx31A14dCzh";

std::string seal(std::string_view plain, std::string_view key) {
    const auto sealed = platform::Crypto::transformData(platform::asBytes(plain), 0, 0, key);
    return platform::Base64::encodeBase64WithData(sealed.value()).value();
}

TEST(EncryptedEnvelope, OpensAnEnvelopeSealedElsewhere) {
    EXPECT_EQ(openEncryptedEnvelope(kSealed, kKey), kPlain);
    EXPECT_EQ(seal(kPlain, kKey), kSealed);
}

TEST(EncryptedEnvelope, GivesNothingForWhatDoesNotOpen) {
    const auto wrongKey = openEncryptedEnvelope(kSealed, "abd");
    EXPECT_TRUE(!wrongKey || *wrongKey != kPlain);
    EXPECT_FALSE(openEncryptedEnvelope("not*base64!", kKey));
    EXPECT_FALSE(openEncryptedEnvelope("", kKey));
    // Cut short: 45 bytes are not whole blocks.
    EXPECT_FALSE(openEncryptedEnvelope(kSealed.substr(0, 60), kKey));
    // Decrypts, but to bytes that are not UTF-8.
    EXPECT_FALSE(openEncryptedEnvelope(seal(wireText("<B>2<F>\xff\xfe<E>"), kKey), kKey));
    // Over the cap, refused before decoding.
    EXPECT_FALSE(openEncryptedEnvelope(std::string(kMaxEnvelopeTextLength + 4, 'A'), kKey));
}

// Found by search: the zlib stream of a 714-byte text whose Adler-32 makes the payload's Base64 end
// in "1050=" (4 leading bytes 00 00 00 2a, then zlib.compress(text, 9)).
const std::string kPayloadEndingIn1050 = "AAAAKnjabVHNCoJAEL7vU+wTyBodAk9JEQSBGB46lu1NWnE1qKev+"
                                         "VmdARXd2Zlvvm9+ah/DNLS+GHwfhjFr47twmXMut9F3nd1fKvzw0nYh"
                                         "ents6uZ6sONwf3ryn8rqXN2WBDQoziHOMZa5H9OHUHxfYSaXzlc+"
                                         "PoAqz9xuu0kHlABe839D71/JT7wQSQglyweWxRkUB/QakgtQ7KBJFip"
                                         "TmmJDP7dNSOCXI5znKIalROjPVTCIAWJPYgtCeVGQ/"
                                         "UqY3IvWoLhSN0l4NqBaVAKD20rzFlpL62RxNtOKkbA2Upp5ynJeX3jKH/d1050=";

TEST(CompressedField, PayloadIsTakenAfterTheFieldsOwnPrefixOnly) {
    const std::string field = "1050=" + kPayloadEndingIn1050;
    ASSERT_EQ(compressedPayloadOfField(field), kPayloadEndingIn1050);

    const auto text = decompressedPayloadOfField(field);
    ASSERT_TRUE(text);
    // len(text) and hashlib.sha512(text).hexdigest() of the generated text
    EXPECT_EQ(text->size(), 714u);
    EXPECT_EQ(text->substr(0, 20), "Resource;report.csv;");
    EXPECT_EQ(platform::toHex(platform::sha512(platform::asBytes(*text)).value()),
              "c5ede12d419067c61d4f4d3c523a7eec3e56a552c0b5134dd86e4788de4d2695"
              "6b8da8d4d69a101eeabcc907955e90eee7931c42f5130ef46b7029073684f3f1");

    // Deleting every "1050=" from the field, as a blind replace would, loses the stream's checksum.
    std::string blind = field;
    for (std::size_t at; (at = blind.find("1050=")) != std::string::npos;)
        blind.erase(at, 5);
    EXPECT_FALSE(NSDataAdditions::decompressData(blind));
}

TEST(CompressedField, OnlyTag1050IsTaken) {
    EXPECT_EQ(compressedPayloadOfField("1050="), "");
    EXPECT_EQ(compressedPayloadOfField("1050=AAAA"), "AAAA");
    EXPECT_FALSE(compressedPayloadOfField("10500=AAAA"));
    EXPECT_FALSE(compressedPayloadOfField("105=AAAA"));
    EXPECT_FALSE(compressedPayloadOfField("1050"));
    EXPECT_FALSE(compressedPayloadOfField(""));
    EXPECT_FALSE(decompressedPayloadOfField("27=" + kPayloadEndingIn1050));
    EXPECT_FALSE(decompressedPayloadOfField("1050=AAAA"));
}

} // namespace
