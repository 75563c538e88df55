#pragma once
// UTF-8 checks used at the edge of the wire: the transports carry UTF-8 bytes, while frame lengths are
// counted in UTF-16 code units.
#include <cstdint>
#include <string>
#include <string_view>

namespace wire {

// True when the bytes are well-formed UTF-8 (no overlongs, no surrogates, nothing above U+10FFFF).
bool isValidUtf8(std::string_view bytes) noexcept;

// Copies the bytes, replacing every maximal ill-formed subsequence with U+FFFD.
std::string repairUtf8(std::string_view bytes);

// Number of UTF-16 code units of a well-formed UTF-8 text (a 4-byte sequence counts two).
std::uint64_t utf16Length(std::string_view utf8) noexcept;

} // namespace wire
