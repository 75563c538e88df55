#include "platform/crypto.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include <sys/mman.h>

namespace {

using namespace tc;
using platform::Bytes;
using platform::Padding;

Bytes hex(std::string_view text) {
    auto bytes = platform::fromHex(text);
    EXPECT_TRUE(bytes.has_value()) << text;
    return bytes.value_or(Bytes{});
}

std::string hexOf(const std::optional<Bytes>& bytes) {
    return bytes ? platform::toHex(*bytes) : std::string("<nullopt>");
}

// NIST SP 800-38A, F.2.5 / F.2.6 (CBC-AES256).
const Bytes kNistKey = hex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
const Bytes kNistIv = hex("000102030405060708090a0b0c0d0e0f");
const Bytes kNistPlain = hex("6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51"
                             "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710");
const Bytes kNistCipher = hex("f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d"
                              "39f23369a9d9bacfa530e26304231461b2eb05e2c39be9fcda6c19078c6a9d1b");

TEST(Sha512, KnownAnswers) {
    // python3 -c "import hashlib; print(hashlib.sha512(b'').hexdigest())"
    EXPECT_EQ(hexOf(platform::sha512({})),
              "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce"
              "47d0d13c5d85f2b0ff8318d2877eec2f63b931bd47417a81a538327af927da3e");
    // FIPS 180-2 "abc"; python3 -c "import hashlib; print(hashlib.sha512(b'abc').hexdigest())"
    EXPECT_EQ(hexOf(platform::sha512(platform::asBytes("abc"))),
              "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
              "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f");
    // One million 'a' (FIPS 180-2); python3 -c "import hashlib;
    // print(hashlib.sha512(b'a'*1000000).hexdigest())"
    const std::string million(1000000, 'a');
    EXPECT_EQ(hexOf(platform::sha512(platform::asBytes(million))),
              "e718483d0ce769644e2e42c7bc15b4638e1f98b13b2044285632a803afa973eb"
              "de0ff244877ea60a4cb0432ce577c31beb009c5c2c49aa2e4eadb217ad8cc09b");
    // A non-repeating 1 MB input:
    // python3 -c "import hashlib; print(hashlib.sha512(bytes(i%251 for i in range(1000000))).hexdigest())"
    Bytes ramp(1000000);
    for (std::size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<std::uint8_t>(i % 251);
    EXPECT_EQ(hexOf(platform::sha512(ramp)),
              "c64684a6d351bdb7e7e050d30d61ca838044c888d7a488142cc0001e56e86e8f"
              "aec7ab8588dfa82243fecd146da30cce2625c494b1d0c2633fb044c3a2f9a0af");
}

TEST(Pbkdf2HmacSha1, Rfc6070Vectors) {
    using platform::asBytes;
    // RFC 6070 section 2; cross-checked with python3 hashlib.pbkdf2_hmac('sha1', p, s, c, dkLen).hex()
    EXPECT_EQ(platform::toHex(platform::pbkdf2HmacSha1(asBytes("password"), asBytes("salt"), 1, 20)),
              "0c60c80f961f0e71f3a9b524af6012062fe037a6");
    EXPECT_EQ(platform::toHex(platform::pbkdf2HmacSha1(asBytes("password"), asBytes("salt"), 2, 20)),
              "ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957");
    EXPECT_EQ(platform::toHex(platform::pbkdf2HmacSha1(asBytes("password"), asBytes("salt"), 4096, 20)),
              "4b007901b765489abead49d926f721d065a429c1");
    EXPECT_EQ(
        platform::toHex(platform::pbkdf2HmacSha1(asBytes("passwordPASSWORDpassword"),
                                                 asBytes("saltSALTsaltSALTsaltSALTsaltSALTsalt"), 4096, 25)),
        "3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038");
    using namespace std::string_view_literals;
    EXPECT_EQ(
        platform::toHex(platform::pbkdf2HmacSha1(asBytes("pass\0word"sv), asBytes("sa\0lt"sv), 4096, 16)),
        "56fa6aa75548099dcc37d7f03425e0c3");
}

TEST(Pbkdf2HmacSha1, OutputIsPrefixStableAndEdgeSizes) {
    using platform::asBytes;
    // A shorter request is the prefix of a longer one: the session cipher relies on this (IV = key prefix).
    // python3 -c "import hashlib; print(hashlib.pbkdf2_hmac('sha1', b'password', b'salt', 1, 64).hex())"
    const Bytes longKey = platform::pbkdf2HmacSha1(asBytes("password"), asBytes("salt"), 1, 64);
    EXPECT_EQ(platform::toHex(longKey), "0c60c80f961f0e71f3a9b524af6012062fe037a6e0f0eb94fe8fc46bdc637164"
                                        "ac2e7a8e3f9d2e83ace57e0d50e5e1071367c179bc86c767fc3f78ddb561363f");
    // Empty password and salt are legal inputs.
    // python3 -c "import hashlib; print(hashlib.pbkdf2_hmac('sha1', b'', b'', 1, 20).hex())"
    EXPECT_EQ(platform::toHex(platform::pbkdf2HmacSha1({}, {}, 1, 20)),
              "1e437a1c79d75be61e91141dae20affc4892cc99");

    EXPECT_TRUE(platform::pbkdf2HmacSha1(asBytes("pw"), asBytes("salt"), 1000, 0).empty());
    EXPECT_TRUE(platform::pbkdf2HmacSha1(asBytes("pw"), asBytes("salt"), 0, 32).empty());
    EXPECT_TRUE(platform::pbkdf2HmacSha1(asBytes("pw"), asBytes("salt"), 1, platform::kMaxDerivedKeyBytes + 1)
                    .empty());
    EXPECT_EQ(
        platform::pbkdf2HmacSha1(asBytes("pw"), asBytes("salt"), 1, platform::kMaxDerivedKeyBytes).size(),
        platform::kMaxDerivedKeyBytes);
}

TEST(Aes256Cbc, NistVectorsWithoutPadding) {
    EXPECT_EQ(hexOf(platform::aes256CbcEncrypt(kNistKey, kNistIv, kNistPlain, Padding::None)),
              platform::toHex(kNistCipher));
    EXPECT_EQ(hexOf(platform::aes256CbcDecrypt(kNistKey, kNistIv, kNistCipher, Padding::None)),
              platform::toHex(kNistPlain));
    // Without padding only whole blocks are accepted.
    const Bytes partial(kNistPlain.begin(), kNistPlain.begin() + 20);
    EXPECT_FALSE(platform::aes256CbcEncrypt(kNistKey, kNistIv, partial, Padding::None));
    EXPECT_FALSE(platform::aes256CbcDecrypt(kNistKey, kNistIv, partial, Padding::None));
}

TEST(Aes256Cbc, Pkcs7MatchesOpensslCommandLine) {
    // Each expected value: printf '<text>' | openssl enc -aes-256-cbc -K <NIST key> -iv <NIST iv> | xxd -p
    struct Case {
        std::string plain;
        const char* cipher;
    };
    const Case cases[] = {
        {"", "7e9248e5d829ca7593f0c549db2f5b8c"},
        {"0123456789abcde", "84c475ded8232dd965502bb7084dbcb1"},
        {"The quick brown fox jumps over the lazy dog",
         "993f48c817946d0ccba1d7c53813cf8441e613d2cb47645dc1825884add9b9c9b0b2a3596ecd601df726bbaa5c087b72"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.plain);
        auto encrypted = platform::aes256CbcEncrypt(kNistKey, kNistIv, platform::asBytes(c.plain));
        EXPECT_EQ(hexOf(encrypted), c.cipher);
        ASSERT_TRUE(encrypted);
        auto decrypted = platform::aes256CbcDecrypt(kNistKey, kNistIv, *encrypted);
        ASSERT_TRUE(decrypted);
        EXPECT_EQ(std::string(decrypted->begin(), decrypted->end()), c.plain);
    }
    // Whole blocks gain a full padding block, and CBC keeps the unpadded prefix identical to the NIST answer.
    auto padded = platform::aes256CbcEncrypt(kNistKey, kNistIv, kNistPlain);
    EXPECT_EQ(hexOf(padded), platform::toHex(kNistCipher) + "3f461796d6b0d6b2e0c2a72b4d80e644");
}

TEST(Aes256Cbc, SessionShapedKeyAndIv) {
    // The session cipher's shape: an 88-character key text, salt bytes 0..88, 1000 rounds, key 32 bytes,
    // IV = the first 16 of the same stream. Independent answer:
    //   python3: pw = base64(sha512(b'ab7' + b'20240102030405' + b'-'*15)); salt = bytes(range(89));
    //            k = pbkdf2_hmac('sha1', pw, salt, 1000, 32)
    //   printf '\x018=FIX\x0135=0\x02' | openssl enc -aes-256-cbc -K <k> -iv <k[:16]> | xxd -p
    const std::string password =
        "Zq4sQX3TaR3yGJsXM1Gh3jkDl6j21AKqfns0UibNJSX7X4AjVMQ5JIShsSo44EG1LNXiefWToiP+4brClb/03A==";
    Bytes salt(password.size() + 1);
    for (std::size_t i = 0; i < salt.size(); ++i)
        salt[i] = static_cast<std::uint8_t>(i);
    const Bytes key = platform::pbkdf2HmacSha1(platform::asBytes(password), salt, 1000, 32);
    const Bytes iv = platform::pbkdf2HmacSha1(platform::asBytes(password), salt, 1000, 16);
    EXPECT_EQ(platform::toHex(key), "4bc56fde65cbea17d72922f9aeeb8037701299e3076302fa33213ae5b95ed7ef");
    EXPECT_EQ(platform::toHex(iv), "4bc56fde65cbea17d72922f9aeeb8037");
    EXPECT_EQ(hexOf(platform::aes256CbcEncrypt(key, iv,
                                               platform::asBytes("\x01"
                                                                 "8=FIX\x01"
                                                                 "35=0\x02"))),
              "55217c3fe7b9e7644add4773eb2e30ae");
}

TEST(Aes256Cbc, MalformedCipherTextIsRefusedNotCrashed) {
    const auto cipher =
        platform::aes256CbcEncrypt(kNistKey, kNistIv, platform::asBytes("attack at dawn, 17 chars+"));
    ASSERT_TRUE(cipher);
    ASSERT_EQ(cipher->size(), 32u);

    // Empty input has no final block to check.
    EXPECT_FALSE(platform::aes256CbcDecrypt(kNistKey, kNistIv, {}));
    // Truncated to a non-block length, and truncated to one whole block (whose last byte is not padding).
    EXPECT_FALSE(platform::aes256CbcDecrypt(kNistKey, kNistIv, platform::ByteView(*cipher).first(31)));
    EXPECT_FALSE(platform::aes256CbcDecrypt(kNistKey, kNistIv, platform::ByteView(*cipher).first(16)));

    // Tampering with the next-to-last block flips the same bits of the plaintext's last block, so the
    // padding bytes (7 x 0x07) break predictably: the last byte becomes 0x07 ^ 0x80 = 0x87.
    Bytes tampered = *cipher;
    tampered[15] ^= 0x80;
    EXPECT_FALSE(platform::aes256CbcDecrypt(kNistKey, kNistIv, tampered));
    // A padding byte claiming 17 (beyond a block) is invalid too: 0x07 ^ 0x16 = 0x11.
    tampered = *cipher;
    tampered[15] ^= 0x16;
    EXPECT_FALSE(platform::aes256CbcDecrypt(kNistKey, kNistIv, tampered));
    // Padding byte 0x00 is never valid: 0x07 ^ 0x07.
    tampered = *cipher;
    tampered[15] ^= 0x07;
    EXPECT_FALSE(platform::aes256CbcDecrypt(kNistKey, kNistIv, tampered));
    // Only the final count byte right but one inner padding byte wrong.
    tampered = *cipher;
    tampered[12] ^= 0x01;
    EXPECT_FALSE(platform::aes256CbcDecrypt(kNistKey, kNistIv, tampered));
}

TEST(Aes256Cbc, WrongKeyOrIvSizesAreRefused) {
    const Bytes shortKey(kNistKey.begin(), kNistKey.begin() + 16);
    const Bytes longIv(17, 0);
    const auto plain = platform::asBytes("x");
    EXPECT_FALSE(platform::aes256CbcEncrypt(shortKey, kNistIv, plain));
    EXPECT_FALSE(platform::aes256CbcEncrypt(kNistKey, longIv, plain));
    EXPECT_FALSE(platform::aes256CbcEncrypt({}, {}, plain));
    EXPECT_FALSE(platform::aes256CbcDecrypt(shortKey, kNistIv, kNistCipher));
    EXPECT_FALSE(
        platform::aes256CbcDecrypt(kNistKey, Bytes(kNistIv.begin(), kNistIv.begin() + 8), kNistCipher));
}

TEST(Aes256Cbc, OversizedInputIsRefused) {
    // Address space that faults on any read: the size check must come before the first byte is touched.
    const std::size_t size = platform::kMaxInputBytes + 1;
    void* region = mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    ASSERT_NE(region, MAP_FAILED);
    const platform::ByteView huge(static_cast<const std::uint8_t*>(region), size);
    EXPECT_FALSE(platform::aes256CbcEncrypt(kNistKey, kNistIv, huge));
    EXPECT_FALSE(platform::aes256CbcDecrypt(kNistKey, kNistIv, huge));
    EXPECT_FALSE(platform::sha512(huge));
    EXPECT_TRUE(platform::pbkdf2HmacSha1(huge, {}, 1, 16).empty());
    EXPECT_TRUE(platform::pbkdf2HmacSha1({}, huge, 1, 16).empty());
    munmap(region, size);
}

TEST(RandomBytes, SizesAndVariety) {
    EXPECT_EQ(platform::randomBytes(0).value_or(Bytes{1}).size(), 0u);
    auto a = platform::randomBytes(32);
    auto b = platform::randomBytes(32);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->size(), 32u);
    // Two equal 256-bit draws would mean the source is broken.
    EXPECT_NE(*a, *b);
    EXPECT_FALSE(platform::randomBytes(platform::kMaxRandomBytes + 1));
}

TEST(Hex, RoundTripAndRejects) {
    EXPECT_EQ(platform::toHex(Bytes{0x00, 0x0f, 0xa0, 0xff}), "000fa0ff");
    EXPECT_EQ(platform::fromHex("000FA0ff"), (Bytes{0x00, 0x0f, 0xa0, 0xff}));
    EXPECT_EQ(platform::fromHex(""), Bytes{});
    EXPECT_FALSE(platform::fromHex("abc"));
    EXPECT_FALSE(platform::fromHex("0g"));
    EXPECT_FALSE(platform::fromHex("0 "));
}

// A worker that used OpenSSL and ends while the process exits (a queue released on its own thread
// ends so) frees its per-thread state. Had OpenSSL torn itself down first, that state would be
// lost: the sanitizer build's leak check at exit reports it and fails this test's process.
TEST(CryptoLifetime, AWorkerEndingAtExitStillFreesItsState) {
    static std::atomic<bool> release{false};
    static std::atomic<int> digestBytes{-1};
    static std::thread* worker = nullptr;
    // Registered before the worker's first use of OpenSSL, so it runs after anything OpenSSL
    // registers then.
    std::atexit([] {
        release = true;
        release.notify_one();
        worker->join();
        delete worker;
    });
    worker = new std::thread([] {
        const auto digest = platform::sha512(platform::asBytes("abc"));
        digestBytes = digest ? static_cast<int>(digest->size()) : 0;
        release.wait(false);
    });
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (digestBytes.load() < 0 && std::chrono::steady_clock::now() < limit)
        std::this_thread::yield();
    EXPECT_EQ(digestBytes.load(), static_cast<int>(platform::kSha512Bytes));
}

} // namespace
