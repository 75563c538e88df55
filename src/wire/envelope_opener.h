#pragma once
// The receiving side of the server's envelopes: the encrypted one (type 76, tag 27) and the
// compressed payload field (tag 1050, carried by types 33, 47, 105 and 1024).
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tc {

// Longest tag-27 text opened: an envelope never exceeds one frame of the stream.
inline constexpr std::size_t kMaxEnvelopeTextLength = std::size_t{16} << 20;

// Base64-decodes the tag-27 text, decrypts it with the key and returns the plain text: zero or more
// framed messages for the incoming de-framer. nullopt when the text is over the cap or not Base64,
// when decryption fails (a wrong key usually breaks the padding) or the result is not valid UTF-8.
std::optional<std::string> openEncryptedEnvelope(std::string_view tag27Text, std::string_view key);

// The Base64 text of a tag-1050 field ("1050=<value>" as received): everything after the field's own
// "1050=" prefix, to the end of the field. A Base64 text may itself end in "1050=" before its
// padding, so only the leading prefix is taken off. nullopt when the field is not tag 1050.
std::optional<std::string_view> compressedPayloadOfField(std::string_view field);

// The inflated UTF-8 text of a tag-1050 field; nullopt when the field is not tag 1050 or its payload
// does not decode, inflate or read as UTF-8.
std::optional<std::string> decompressedPayloadOfField(std::string_view field);

} // namespace tc
