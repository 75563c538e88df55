#include "connection/crypto.h"

#include "connection/utf8.h"
#include "platform/crypto.h"

#include <algorithm>

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
    const std::uint64_t units = wire::utf16Length(text);
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

    const Bytes salt = generateSalt(wire::utf16Length(password) + 1);
    const Sizes sizes = sizesForAlgorithm(algorithm);
    // The IV is derived by a second call, as the server does; it equals the key's first bytes.
    const Bytes key = keyBySaltingPassword(password, salt, sizes.key, kKeyDerivationRounds);
    const Bytes iv = keyBySaltingPassword(password, salt, sizes.iv, kKeyDerivationRounds);
    if (key.size() != sizes.key || iv.size() != sizes.iv)
        return std::nullopt;

    return operation == kEncrypt ? platform::aes256CbcEncrypt(key, iv, data, platform::Padding::Pkcs7)
                                 : platform::aes256CbcDecrypt(key, iv, data, platform::Padding::Pkcs7);
}
