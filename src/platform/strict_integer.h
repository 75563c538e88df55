#pragma once
// The one strict reading of an integer in a text from the wire, a file or the command line.
#include <charconv>
#include <concepts>
#include <optional>
#include <string_view>
#include <system_error>

namespace tc::platform {

// The whole text as a decimal integer of type T: an optional '-' (for a signed T) and digits,
// nothing else, no blank, no plus sign; nullopt for anything else and for a value T cannot hold.
template <std::integral T>
std::optional<T> strictInteger(std::string_view text) {
    T value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace tc::platform
