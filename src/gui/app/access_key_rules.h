#pragma once
// A menu text's access key, as the language tables mark it: "&" before the letter ("&Trade"), or a
// Latin letter in brackets after the text ("交易 (&T)") for scripts without Latin letters. "&&" is
// an "&" of the text itself.
#include <string>
#include <string_view>
#include <vector>

namespace tc::gui {

// The characters marked as access keys, in order (UTF-8, one character each): one for a menu text.
std::vector<std::string> accessKeysOf(std::string_view text);

// The text as a button or tab shows it, without the mark and without a bracketed key of its own.
std::string withoutAccessKey(std::string_view text);
// The text as a label draws it: each mark gone ("&T" reads "T"), "&&" kept as one "&".
std::string withoutAccessMarks(std::string_view text);

} // namespace tc::gui
