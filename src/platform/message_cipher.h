#pragma once
// The message cipher: a password text becomes a key and IV by PBKDF2, which encrypt or decrypt a
// buffer with PKCS#7 padding in CBC mode; plus the SHA-512 digest of a text. Stateless, callable from
// any thread (the envelope writer and the dispatcher decrypting envelopes run on different threads).
//
// Texts are UTF-8. Where the derivation or the digest takes "the text's bytes", it takes as many
// leading bytes of the UTF-8 form as the text has UTF-16 code units; for ASCII that is the whole form.
// That is how keys and digests have always been made here; for non-ASCII texts it cuts the UTF-8
// form short, and whether the server does the same for such texts is unknown, so it stays as it is.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace tc::platform {

class Crypto {
public:
    using Bytes = std::vector<std::uint8_t>;

    // Algorithm numbers, in the numbering of the platform cipher interface the server was built on.
    static constexpr std::uint32_t kAlgorithmAES = 0;
    static constexpr std::uint32_t kAlgorithmDES = 1;
    static constexpr std::uint32_t kAlgorithm3DES = 2;
    static constexpr std::uint32_t kAlgorithmCAST = 3;
    static constexpr std::uint32_t kAlgorithmRC4 = 4;
    static constexpr std::uint32_t kAlgorithmRC2 = 5;

    static constexpr std::uint32_t kEncrypt = 0;
    static constexpr std::uint32_t kDecrypt = 1;

    static constexpr std::uint32_t kKeyDerivationRounds = 1000;
    // Longest password (in bytes) the cipher accepts; keys are 88-character texts in practice.
    static constexpr std::size_t kMaxPasswordLength = std::size_t{64} << 10;
    // Longest salt generateSalt makes.
    static constexpr std::size_t kMaxSaltLength = std::size_t{1} << 20;

    struct Sizes {
        std::size_t key = 0;
        std::size_t iv = 0;
    };
    // Key and IV sizes of an algorithm number; 0 and 0 for the stream ciphers and unknown numbers.
    static Sizes sizesForAlgorithm(std::uint32_t algorithm) noexcept;

    // Encrypts (operation 0) or decrypts (operation 1) with a key and IV derived from the password.
    // Only AES (algorithm 0, a 32-byte key: AES-256-CBC) is carried; every other number, an unknown
    // operation, an over-long password or input, a wrong key's bad padding and an input that is not
    // whole blocks give nullopt.
    static std::optional<Bytes> transformData(std::span<const std::uint8_t> data, std::uint32_t algorithm,
                                              std::uint32_t operation, std::string_view password);

    // The 64-byte SHA-512 digest of the text's bytes (see above); empty only for inputs over the
    // platform digest's cap.
    static Bytes computeSHA512DigestForString(std::string_view text);

    // Bytes 0, 1, 2, ..., 255, 0, 1, ... of the given length; empty above kMaxSaltLength.
    static Bytes generateSalt(std::uint64_t length);

    // PBKDF2-HMAC-SHA1 of the password's bytes and the salt: keySize bytes, or an empty buffer when the
    // derivation is refused (rounds 0, keySize above the platform cap, oversized inputs). A shorter key
    // is always a prefix of a longer one with the same inputs.
    static Bytes keyBySaltingPassword(std::string_view password, std::span<const std::uint8_t> salt,
                                      std::uint64_t keySize, std::uint32_t rounds);

    // The bytes of a text that the derivation and the digest read: the UTF-8 prefix as long as the
    // text's UTF-16 length.
    static std::string_view passwordBytes(std::string_view text) noexcept;
};

} // namespace tc::platform
