#pragma once
// Plain text to an RTF document (chat texts travel as RTF). The writer emits 7-bit RTF: every
// non-ASCII character and every control character other than tab and line feed as "\uN", so the
// document never holds a wire control byte. The reader is the chat's RtfReader.
#include <cstddef>
#include <string>
#include <string_view>

namespace tc::platform {

// Longest plain text the writer takes (its output is up to about ten times longer).
inline constexpr size_t kMaxRtfPlainTextBytes = size_t{1} << 20;

// An RTF document holding the UTF-8 text without attributes; "\n" becomes a paragraph break.
// Malformed UTF-8 sequences become U+FFFD. Past the cap: "" (and a logged warning).
std::string rtfFromPlainText(std::string_view utf8);

} // namespace tc::platform
