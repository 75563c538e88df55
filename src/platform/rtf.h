#pragma once
// Plain text to and from RTF documents. The writer emits plain 7-bit RTF (every non-ASCII character
// as \uN), the reader extracts the characters of any RTF document, skipping tables, pictures and
// other destinations. Malformed input gives whatever text could be read; never more than the caps.
#include <cstddef>
#include <string>
#include <string_view>

namespace tc::platform {

// Longest plain text the writer takes (its output is up to about ten times longer).
inline constexpr size_t kMaxRtfPlainTextBytes = size_t{1} << 20;
// Longest RTF document the reader takes.
inline constexpr size_t kMaxRtfDocumentBytes = size_t{16} << 20;
// Deeper groups are read as skipped.
inline constexpr int kMaxRtfGroupDepth = 200;

// An RTF document holding the UTF-8 text without attributes; "\n" becomes a paragraph break.
// Malformed UTF-8 sequences become U+FFFD. Past the cap: "" (and a logged warning).
std::string rtfFromPlainText(std::string_view utf8);

// The UTF-8 plain text of an RTF document: paragraph and line breaks become "\n", tabs "\t".
// A text that does not begin with "{\rtf" is not RTF and comes back unchanged.
// Past the cap: "" (and a logged warning).
std::string plainTextFromRtf(std::string_view rtf);

} // namespace tc::platform
