#include "platform/message_cipher.h"

#include "platform/crypto.h"
#include "platform/utf8.h"

#include <openssl/crypto.h>

#include <algorithm>
#include <array>
#include <mutex>
#include <string>

namespace tc::platform {

Crypto::Sizes Crypto::sizesForAlgorithm(std::uint32_t algorithm) noexcept {
    switch (algorithm) {
    case kAlgorithmAES:
        return {32, 16};
    case kAlgorithmDES:
        return {8, 8};
    case kAlgorithm3DES:
        return {24, 8};
    case kAlgorithmRC2:
        return {16, 8};
    default: // CAST and RC4 have no fixed sizes in the table, unknown numbers none at all
        return {0, 0};
    }
}

std::string_view Crypto::passwordBytes(std::string_view text) noexcept {
    // A stray 4-byte lead in ill-formed UTF-8 counts two units for one byte: clamp to the text.
    const std::uint64_t units = platform::utf16Length(text);
    return text.substr(0, static_cast<std::size_t>(std::min<std::uint64_t>(units, text.size())));
}

Crypto::Bytes Crypto::generateSalt(std::uint64_t length) {
    if (length > kMaxSaltLength)
        return {};
    Bytes salt(static_cast<std::size_t>(length));
    for (std::size_t i = 0; i < salt.size(); ++i)
        salt[i] = static_cast<std::uint8_t>(i & 0xFF);
    return salt;
}

Crypto::Bytes Crypto::keyBySaltingPassword(std::string_view password, std::span<const std::uint8_t> salt,
                                           std::uint64_t keySize, std::uint32_t rounds) {
    if (keySize > platform::kMaxDerivedKeyBytes)
        return {};
    return platform::pbkdf2HmacSha1(platform::asBytes(passwordBytes(password)), salt, rounds,
                                    static_cast<std::size_t>(keySize));
}

Crypto::Bytes Crypto::computeSHA512DigestForString(std::string_view text) {
    auto digest = platform::sha512(platform::asBytes(passwordBytes(text)));
    return digest ? std::move(*digest) : Bytes{};
}

namespace {

struct KeyMaterial {
    Crypto::Bytes key, iv;
};

// Every envelope in and out costs two 1000-round derivations from the same key text; a session uses
// only the product key and its session key, so a few derivations are kept. Same results, no state
// that anyone can observe.
class KeyMaterialCache {
public:
    std::optional<KeyMaterial> find(std::string_view password) {
        std::lock_guard lock(mutex_);
        for (auto& entry : entries_)
            if (entry.used && entry.password == password) {
                entry.used = ++clock_;
                return entry.material;
            }
        return std::nullopt;
    }
    void store(std::string_view password, const KeyMaterial& material) {
        std::lock_guard lock(mutex_);
        auto oldest = std::min_element(entries_.begin(), entries_.end(),
                                       [](const Entry& a, const Entry& b) { return a.used < b.used; });
        wipe(*oldest);
        oldest->password = std::string(password);
        oldest->material = material;
        oldest->used = ++clock_;
    }

private:
    struct Entry {
        std::string password;
        KeyMaterial material;
        std::uint64_t used = 0; // 0: empty
    };
    static void wipe(Entry& e) {
        OPENSSL_cleanse(e.password.data(), e.password.size());
        OPENSSL_cleanse(e.material.key.data(), e.material.key.size());
        OPENSSL_cleanse(e.material.iv.data(), e.material.iv.size());
        e = Entry{};
    }
    std::mutex mutex_;
    std::array<Entry, 4> entries_;
    std::uint64_t clock_ = 0;
};

KeyMaterialCache& aesKeyCache() {
    static KeyMaterialCache cache;
    return cache;
}

} // namespace

std::optional<Crypto::Bytes> Crypto::transformData(std::span<const std::uint8_t> data,
                                                   std::uint32_t algorithm, std::uint32_t operation,
                                                   std::string_view password) {
    if (algorithm != kAlgorithmAES || (operation != kEncrypt && operation != kDecrypt))
        return std::nullopt;
    if (password.size() > kMaxPasswordLength || data.size() > platform::kMaxInputBytes)
        return std::nullopt;

    // A decryption that cannot succeed is refused before the 2000 rounds of key derivation.
    if (operation == kDecrypt && (data.empty() || data.size() % platform::kAesBlockBytes != 0))
        return std::nullopt;

    std::optional<KeyMaterial> material = aesKeyCache().find(password);
    if (!material) {
        const Bytes salt = generateSalt(platform::utf16Length(password) + 1);
        const Sizes sizes = sizesForAlgorithm(algorithm);
        // The IV is derived by a second call, as the server does; it equals the key's first bytes.
        KeyMaterial derived{keyBySaltingPassword(password, salt, sizes.key, kKeyDerivationRounds),
                            keyBySaltingPassword(password, salt, sizes.iv, kKeyDerivationRounds)};
        if (derived.key.size() != sizes.key || derived.iv.size() != sizes.iv)
            return std::nullopt;
        aesKeyCache().store(password, derived);
        material = std::move(derived);
    }

    return operation == kEncrypt
               ? platform::aes256CbcEncrypt(material->key, material->iv, data, platform::Padding::Pkcs7)
               : platform::aes256CbcDecrypt(material->key, material->iv, data, platform::Padding::Pkcs7);
}

} // namespace tc::platform
