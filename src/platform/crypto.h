#pragma once
// Symmetric cipher, key derivation, digest and random bytes over OpenSSL's EVP interface.
//
// Bytes are std::vector<std::uint8_t>; inputs are read through std::span so callers can pass vectors,
// arrays or the bytes of a text (asBytes) without copying. Every function is stateless and safe to call
// from any thread at the same time.
//
// Inputs larger than kMaxInputBytes are refused: the cipher and digest answer nullopt, the derivation
// answers an empty buffer. The session cipher only ever sees single messages, so the cap is generous.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tc::platform {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

inline constexpr std::size_t kMaxInputBytes = std::size_t{256} * 1024 * 1024;
inline constexpr std::size_t kAes256KeyBytes = 32;
inline constexpr std::size_t kAesBlockBytes = 16;
inline constexpr std::size_t kSha512Bytes = 64;
// PBKDF2 output is capped far above any key and IV size; larger requests are refused.
inline constexpr std::size_t kMaxDerivedKeyBytes = 1024;
inline constexpr std::size_t kMaxRandomBytes = 1024 * 1024;

enum class Padding {
    Pkcs7, // the session cipher's mode
    None,  // input must be whole blocks; for known-answer checks of the raw block cipher
};

// The bytes of a text as they stand (UTF-8 texts give their UTF-8 form).
inline ByteView asBytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// AES-256 in CBC mode. The key must be exactly 32 bytes and the IV exactly 16; anything else is refused
// with nullopt rather than padded or cut, because the session cipher always derives both at full size
// and a silently stretched key would only hide a caller's mistake.
// Encryption with PKCS#7 always adds 1..16 bytes (an empty input gives one block).
std::optional<Bytes> aes256CbcEncrypt(ByteView key, ByteView iv, ByteView plaintext,
                                      Padding padding = Padding::Pkcs7);
// nullopt when the input is not a whole number of blocks (an empty input included, for PKCS#7) or when
// the padding does not check out, which is what a wrong key usually produces.
std::optional<Bytes> aes256CbcDecrypt(ByteView key, ByteView iv, ByteView ciphertext,
                                      Padding padding = Padding::Pkcs7);

// PBKDF2 with HMAC-SHA1. Returns keyLength bytes; PBKDF2 output is a prefix-stable stream, so a shorter
// request gives the first bytes of a longer one. keyLength 0 gives an empty buffer. Refused requests
// (rounds 0, keyLength above kMaxDerivedKeyBytes, oversized password or salt) also give an empty buffer:
// callers tell failure by the size.
Bytes pbkdf2HmacSha1(ByteView password, ByteView salt, std::uint32_t rounds, std::size_t keyLength);

// The 64-byte SHA-512 digest; nullopt only for inputs above the cap.
std::optional<Bytes> sha512(ByteView data);

// n bytes from the system's cryptographic random source; nullopt when n is above kMaxRandomBytes or the
// source fails.
std::optional<Bytes> randomBytes(std::size_t n);

// Lower-case hexadecimal text of the bytes.
std::string toHex(ByteView bytes);
// Bytes of a hexadecimal text (either case, no separators); nullopt on an odd length or a non-hex digit.
std::optional<Bytes> fromHex(std::string_view hex);

// Sets OpenSSL up without its exit handler. That handler tears the library down while worker threads
// may still be finishing (a queue released on its own thread, a loader's thread), and each such
// thread then loses its per-thread state instead of freeing it. Idempotent and thread-safe; it runs
// before main wherever this file is linked, and everything else that starts OpenSSL (the HTTP
// client, TLS sockets) calls it first.
void initialiseCrypto();

} // namespace tc::platform
