#include "platform/crypto.h"

#include "platform/lenient.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/kdf.h>
#include <openssl/params.h>
#include <openssl/rand.h>

#include <memory>

namespace tc::platform {

void initialiseCrypto() {
    static const bool once = OPENSSL_init_crypto(OPENSSL_INIT_NO_ATEXIT, nullptr) == 1;
    (void)once;
}

namespace {

// Before main: the first use of OpenSSL, whichever thread makes it, finds the library set up.
[[maybe_unused]] const bool initialisedBeforeMain = (initialiseCrypto(), true);

struct CipherCtxFree {
    void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};
struct KdfFree {
    void operator()(EVP_KDF* k) const { EVP_KDF_free(k); }
};
struct KdfCtxFree {
    void operator()(EVP_KDF_CTX* c) const { EVP_KDF_CTX_free(c); }
};

// One pass of AES-256-CBC. Shapes that can never succeed are refused before OpenSSL sees them.
std::optional<Bytes> aesCbc(bool encrypt, ByteView key, ByteView iv, ByteView input, Padding padding) {
    if (key.size() != kAes256KeyBytes || iv.size() != kAesBlockBytes || input.size() > kMaxInputBytes)
        return std::nullopt;
    if (padding == Padding::None && input.size() % kAesBlockBytes != 0)
        return std::nullopt;
    if (!encrypt && padding == Padding::Pkcs7 && (input.empty() || input.size() % kAesBlockBytes != 0))
        return std::nullopt;

    std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree> ctx(EVP_CIPHER_CTX_new());
    if (!ctx)
        return std::nullopt;
    if (EVP_CipherInit_ex2(ctx.get(), EVP_aes_256_cbc(), key.data(), iv.data(), encrypt ? 1 : 0, nullptr) !=
        1)
        return std::nullopt;
    if (EVP_CIPHER_CTX_set_padding(ctx.get(), padding == Padding::Pkcs7 ? 1 : 0) != 1)
        return std::nullopt;

    // One spare block covers the padding that encryption adds; decryption never grows.
    Bytes out(input.size() + kAesBlockBytes);
    int written = 0;
    if (!input.empty() && EVP_CipherUpdate(ctx.get(), out.data(), &written, input.data(),
                                           static_cast<int>(input.size())) != 1) {
        OPENSSL_cleanse(out.data(), out.size());
        return std::nullopt;
    }
    int tail = 0;
    if (EVP_CipherFinal_ex(ctx.get(), out.data() + written, &tail) != 1) {
        // A failed padding check leaves garbage plaintext behind; do not let it linger in freed memory.
        OPENSSL_cleanse(out.data(), out.size());
        return std::nullopt;
    }
    out.resize(static_cast<std::size_t>(written) + static_cast<std::size_t>(tail));
    return out;
}

} // namespace

std::optional<Bytes> aes256CbcEncrypt(ByteView key, ByteView iv, ByteView plaintext, Padding padding) {
    return aesCbc(true, key, iv, plaintext, padding);
}

std::optional<Bytes> aes256CbcDecrypt(ByteView key, ByteView iv, ByteView ciphertext, Padding padding) {
    return aesCbc(false, key, iv, ciphertext, padding);
}

Bytes pbkdf2HmacSha1(ByteView password, ByteView salt, std::uint32_t rounds, std::size_t keyLength) {
    if (keyLength == 0 || rounds == 0 || keyLength > kMaxDerivedKeyBytes ||
        password.size() > kMaxInputBytes || salt.size() > kMaxInputBytes)
        return {};

    std::unique_ptr<EVP_KDF, KdfFree> kdf(EVP_KDF_fetch(nullptr, OSSL_KDF_NAME_PBKDF2, nullptr));
    if (!kdf)
        return {};
    std::unique_ptr<EVP_KDF_CTX, KdfCtxFree> ctx(EVP_KDF_CTX_new(kdf.get()));
    if (!ctx)
        return {};

    // OpenSSL wants a non-null pointer even for empty octet strings.
    static const std::uint8_t kEmpty = 0;
    char digest[] = "SHA1";
    unsigned int iterations = rounds;
    // Plain PKCS#5 mode (1) switches off SP 800-132's minimums on salt, key length and rounds: the peer
    // derives with whatever the protocol fixes, and we must produce the same key.
    int pkcs5Mode = 1;
    OSSL_PARAM params[] = {
        OSSL_PARAM_construct_octet_string(
            OSSL_KDF_PARAM_PASSWORD, const_cast<std::uint8_t*>(password.empty() ? &kEmpty : password.data()),
            password.size()),
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_SALT,
                                          const_cast<std::uint8_t*>(salt.empty() ? &kEmpty : salt.data()),
                                          salt.size()),
        OSSL_PARAM_construct_uint(OSSL_KDF_PARAM_ITER, &iterations),
        OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, digest, 0),
        OSSL_PARAM_construct_int(OSSL_KDF_PARAM_PKCS5, &pkcs5Mode),
        OSSL_PARAM_construct_end(),
    };

    Bytes out(keyLength);
    if (EVP_KDF_derive(ctx.get(), out.data(), out.size(), params) != 1) {
        OPENSSL_cleanse(out.data(), out.size());
        return {};
    }
    return out;
}

std::optional<Bytes> sha512(ByteView data) {
    if (data.size() > kMaxInputBytes)
        return std::nullopt;
    Bytes out(kSha512Bytes);
    unsigned int length = 0;
    static const std::uint8_t kEmpty = 0;
    if (EVP_Digest(data.empty() ? &kEmpty : data.data(), data.size(), out.data(), &length, EVP_sha512(),
                   nullptr) != 1 ||
        length != kSha512Bytes)
        return std::nullopt;
    return out;
}

std::optional<Bytes> randomBytes(std::size_t n) {
    if (n > kMaxRandomBytes)
        return std::nullopt;
    Bytes out(n);
    if (n > 0 && RAND_bytes(out.data(), static_cast<int>(n)) != 1)
        return std::nullopt;
    return out;
}

std::string toHex(ByteView bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        text.push_back(kDigits[b >> 4]);
        text.push_back(kDigits[b & 0x0f]);
    }
    return text;
}

std::optional<Bytes> fromHex(std::string_view hex) {
    if (hex.size() % 2 != 0)
        return std::nullopt;
    Bytes out;
    out.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        int hi = hexDigitValue(hex[i]);
        int lo = hexDigitValue(hex[i + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        out.push_back(static_cast<std::uint8_t>((hi << 4) | lo));
    }
    return out;
}

} // namespace tc::platform
