#pragma once
// UTF-8 checks and writing. The transports carry UTF-8 bytes, while frame lengths are counted in UTF-16
// code units.
#include <cstdint>
#include <string>
#include <string_view>

namespace tc::platform {

// True when the bytes are well-formed UTF-8 (no overlongs, no surrogates, nothing above U+10FFFF).
bool isValidUtf8(std::string_view bytes) noexcept;

// The well-formed sequence starting at bytes[at]: its length (1 to 4), with its code point in
// `codePoint`; 0 when the bytes there are not UTF-8.
std::size_t decodeUtf8(std::string_view bytes, std::size_t at, char32_t& codePoint) noexcept;

// Copies the bytes, replacing every maximal ill-formed subsequence with U+FFFD.
std::string repairUtf8(std::string_view bytes);

// Appends the UTF-8 form of a code point; surrogates and values past U+10FFFF become U+FFFD.
void appendUtf8(std::string& out, char32_t codePoint);

// Number of UTF-16 code units of a well-formed UTF-8 text (a 4-byte sequence counts two).
std::uint64_t utf16Length(std::string_view utf8) noexcept;

} // namespace tc::platform
