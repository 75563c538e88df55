// Golden values were computed outside this code base:
//   key/IV:  python3 -c "import hashlib; print(hashlib.pbkdf2_hmac('sha1', PW, bytes(range(len(PW)+1)), 1000,
//   32).hex())"
//            (IV = first 16 bytes)
//   cipher:  printf '%s' "$PLAIN" | openssl enc -aes-256-cbc -K <key hex> -iv <iv hex> | xxd -p
#include "platform/message_cipher.h"

#include "platform/crypto.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using namespace tc;

using Bytes = platform::Crypto::Bytes;

// An 88-character session key, as derived after login.
const std::string kSessionKey =
    "Bu5fr9qBVR+KDtQPOzOiReyjI/L7/ZySpc2mcNhILA7/MJzSJfVuY2z/xK1NQOdzWY5LpZX1gIrJzk83jkgnqQ==";
const std::string kPlain = "The quick brown fox jumps over the lazy dog";

Bytes hex(std::string_view h) {
    return platform::fromHex(h).value();
}
Bytes bytesOf(std::string_view s) {
    return Bytes(s.begin(), s.end());
}

TEST(MessageCipher, EncryptsWithTheDerivedKeyAndIvOfALongKey) {
    // pbkdf2_hmac('sha1', KEY88, bytes(range(89)), 1000, 32)
    const Bytes key = hex("79c7d550b2b631a7c86193fac76cc64b779532b042f7948cf72765f9fe892a90");
    const Bytes salt = platform::Crypto::generateSalt(89);
    EXPECT_EQ(platform::Crypto::keyBySaltingPassword(kSessionKey, salt, 32, 1000), key);
    EXPECT_EQ(platform::Crypto::keyBySaltingPassword(kSessionKey, salt, 16, 1000),
              Bytes(key.begin(), key.begin() + 16));

    // openssl enc -aes-256-cbc -K 79c7d5...2a90 -iv 79c7d550b2b631a7c86193fac76cc64b
    const Bytes expected = hex("b2059817c81a35f3a2315578b3be07b57b009a27ab7cb63bf6b518dd430f68b5"
                               "223d4703c9ef63108b21aacd417822c0");
    const auto sealed = platform::Crypto::transformData(bytesOf(kPlain), platform::Crypto::kAlgorithmAES,
                                                        platform::Crypto::kEncrypt, kSessionKey);
    ASSERT_TRUE(sealed);
    EXPECT_EQ(*sealed, expected);
    EXPECT_EQ(platform::Crypto::transformData(expected, platform::Crypto::kAlgorithmAES,
                                              platform::Crypto::kDecrypt, kSessionKey),
              bytesOf(kPlain));
}

TEST(MessageCipher, EncryptsWithTheDerivedKeyAndIvOfAShortKey) {
    // pbkdf2_hmac('sha1', b'abc', b'\x00\x01\x02\x03', 1000, 32); IV = its first 16 bytes
    EXPECT_EQ(platform::Crypto::keyBySaltingPassword("abc", platform::Crypto::generateSalt(4), 32, 1000),
              hex("66affaa9f307a2e520f0ba6bcc1a6b34e9f0d4ec285b43bfa3738c1c187dad3f"));
    const Bytes expected = hex("e9ea6f018bbf5432094f7f36ecedb4317949e5c0f90c317f0a440e4d8eaa3fc5"
                               "b61602bee674c56f1c77d40d78742ce1");
    EXPECT_EQ(platform::Crypto::transformData(bytesOf(kPlain), 0, 0, "abc"), expected);
    EXPECT_EQ(platform::Crypto::transformData(expected, 0, 1, "abc"), bytesOf(kPlain));
}

TEST(MessageCipher, NonAsciiPasswordGivesTheUtf8PrefixOfItsUtf16Length) {
    // "é" is one UTF-16 unit: the salt is 00 01 and only the byte C3 of its UTF-8 form is used.
    // pbkdf2_hmac('sha1', b'\xc3', b'\x00\x01', 1000, 32)
    const std::string eAcute = "\xC3\xA9";
    EXPECT_EQ(platform::Crypto::passwordBytes(eAcute), "\xC3");
    EXPECT_EQ(platform::Crypto::keyBySaltingPassword(eAcute, platform::Crypto::generateSalt(2), 32, 1000),
              hex("e770fcb0fc96a883aa82a4ff74603e4bb1646bdf53e562faae61e8357556ce04"));
    // A stray lead byte counts two units but the prefix never runs past the text.
    EXPECT_EQ(platform::Crypto::passwordBytes("\xF0"), "\xF0");
    // And the cipher still round-trips under such a key.
    const auto sealed = platform::Crypto::transformData(bytesOf(kPlain), 0, 0, eAcute);
    ASSERT_TRUE(sealed);
    EXPECT_EQ(platform::Crypto::transformData(*sealed, 0, 1, eAcute), bytesOf(kPlain));
}

TEST(MessageCipher, ManyKeysInTurnEachKeepTheirOwnKeyMaterial) {
    // More key texts than the derivation cache holds, in turns, against a derivation done by hand.
    const Bytes plain = {'p', 'i', 'n', 'g'};
    for (int round = 0; round < 3; ++round) {
        for (int k = 0; k < 7; ++k) {
            const std::string password = "key-" + std::to_string(k);
            const Bytes salt = platform::Crypto::generateSalt(password.size() + 1);
            const Bytes key = platform::Crypto::keyBySaltingPassword(password, salt, 32, 1000);
            const Bytes iv(key.begin(), key.begin() + 16);
            const auto expected = platform::aes256CbcEncrypt(key, iv, plain);
            ASSERT_TRUE(expected);
            EXPECT_EQ(platform::Crypto::transformData(plain, platform::Crypto::kAlgorithmAES,
                                                      platform::Crypto::kEncrypt, password),
                      *expected)
                << password;
            EXPECT_EQ(platform::Crypto::transformData(*expected, platform::Crypto::kAlgorithmAES,
                                                      platform::Crypto::kDecrypt, password),
                      plain);
        }
    }
}

TEST(MessageCipher, PaddingAddsOneToSixteenBytes) {
    // printf '' | openssl enc -aes-256-cbc -K 66affa...7dad3f -iv 66affaa9f307a2e520f0ba6bcc1a6b34
    const auto empty = platform::Crypto::transformData(Bytes{}, 0, 0, "abc");
    ASSERT_TRUE(empty);
    EXPECT_EQ(*empty, hex("f3368221accfee64cada76ca76bb8e5e"));
    EXPECT_EQ(platform::Crypto::transformData(*empty, 0, 1, "abc"), Bytes{});

    EXPECT_EQ(platform::Crypto::transformData(Bytes(16, 'x'), 0, 0, kSessionKey)->size(), 32u);
    EXPECT_EQ(platform::Crypto::transformData(Bytes(15, 'x'), 0, 0, kSessionKey)->size(), 16u);
    EXPECT_EQ(platform::Crypto::transformData(Bytes(17, 'x'), 0, 0, kSessionKey)->size(), 32u);
}

TEST(MessageCipher, RefusesWhatDoesNotDecrypt) {
    const auto sealed = platform::Crypto::transformData(bytesOf(kPlain), 0, 0, kSessionKey);
    ASSERT_TRUE(sealed);
    // A wrong key breaks the padding check, or at worst yields other bytes.
    const auto wrong = platform::Crypto::transformData(*sealed, 0, 1, "another key");
    EXPECT_TRUE(!wrong || *wrong != bytesOf(kPlain));
    // Not whole blocks, or nothing at all.
    EXPECT_FALSE(
        platform::Crypto::transformData(Bytes(sealed->begin(), sealed->end() - 1), 0, 1, kSessionKey));
    EXPECT_FALSE(platform::Crypto::transformData(Bytes(20, 0), 0, 1, kSessionKey));
    EXPECT_FALSE(platform::Crypto::transformData(Bytes{}, 0, 1, kSessionKey));
}

TEST(MessageCipher, OnlyAesIsCarriedAndOtherNumbersFailCleanly) {
    const Bytes block(16, 'a');
    for (std::uint32_t algorithm : {1u, 2u, 3u, 4u, 5u, 6u, 1000u, 0xFFFFFFFFu}) {
        EXPECT_FALSE(platform::Crypto::transformData(block, algorithm, 0, "abc")) << algorithm;
        EXPECT_FALSE(platform::Crypto::transformData(block, algorithm, 1, "abc")) << algorithm;
    }
    EXPECT_EQ(platform::Crypto::sizesForAlgorithm(6).key, 0u);
    EXPECT_EQ(platform::Crypto::sizesForAlgorithm(6).iv, 0u);
    // Neither encrypt nor decrypt.
    EXPECT_FALSE(platform::Crypto::transformData(block, 0, 2, "abc"));
}

TEST(MessageCipher, RefusesOversizedPasswordsAndKeys) {
    EXPECT_FALSE(platform::Crypto::transformData(Bytes(16, 'a'), 0, 0,
                                                 std::string(platform::Crypto::kMaxPasswordLength + 1, 'k')));
    EXPECT_TRUE(platform::Crypto::transformData(Bytes(16, 'a'), 0, 0, std::string(1000, 'k')));
    EXPECT_TRUE(platform::Crypto::keyBySaltingPassword("abc", platform::Crypto::generateSalt(4),
                                                       std::uint64_t{1} << 40, 1000)
                    .empty());
    EXPECT_TRUE(
        platform::Crypto::keyBySaltingPassword("abc", platform::Crypto::generateSalt(4), 32, 0).empty());
}

TEST(MessageCipher, SaltCountsUpAndWraps) {
    EXPECT_TRUE(platform::Crypto::generateSalt(0).empty());
    const Bytes salt = platform::Crypto::generateSalt(300);
    ASSERT_EQ(salt.size(), 300u);
    for (std::size_t i = 0; i < 256; ++i)
        ASSERT_EQ(salt[i], i) << i;
    for (std::size_t i = 256; i < 300; ++i)
        ASSERT_EQ(salt[i], i - 256) << i;
    EXPECT_TRUE(platform::Crypto::generateSalt(std::uint64_t{1} << 62).empty());
}

TEST(MessageCipher, Sha512OfAbcIsThePublishedDigest) {
    // FIPS 180-2, appendix C.1
    EXPECT_EQ(platform::Crypto::computeSHA512DigestForString("abc"),
              hex("ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
                  "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f"));
    // Non-ASCII: only the UTF-8 prefix as long as the UTF-16 length is digested.
    EXPECT_EQ(platform::Crypto::computeSHA512DigestForString("ab\xC3\xA9"),
              platform::Crypto::computeSHA512DigestForString("ab\xC3"));
}

} // namespace
