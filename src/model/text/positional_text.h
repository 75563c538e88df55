#pragma once
// Filling of the "{0}".."{9}" placeholders of our string tables. The arguments often come from the
// server, so they are inserted as they stand and never read as a format: "%" and "{n}" inside an
// argument stay literal text.
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace tc {

// Each "{n}" (one digit) becomes args[n]; a placeholder without an argument stays as it is, and
// every other character, "%" included, is copied unchanged.
std::string fillPositional(std::string_view text, std::span<const std::string_view> args);
std::string fillPositional(std::string_view text, std::initializer_list<std::string_view> args);

// A refusal text with its one value: filled into "{0}" where the text has it; otherwise (a table
// without the text shows the bare key) appended after a blank, or in brackets when `bracketed`.
std::string withDetail(std::string_view text, std::string_view detail, bool bracketed = false);

} // namespace tc
