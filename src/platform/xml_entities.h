#pragma once
// The pieces of an XML reference ("&name;" or "&#...;") that every reader of XML text decodes alike;
// what a reader does with one that does not read is its own policy.
#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tc::platform {

// The character of one of the five predefined entities, by name ("amp", "lt", "gt", "quot", "apos").
constexpr std::optional<char> predefinedXmlEntity(std::string_view name) noexcept {
    if (name == "amp")
        return '&';
    if (name == "lt")
        return '<';
    if (name == "gt")
        return '>';
    if (name == "quot")
        return '"';
    if (name == "apos")
        return '\'';
    return std::nullopt;
}

// The number of a character reference's digits, decimal or hexadecimal; nullopt unless the digits are
// all that is there and fit 32 bits. The code point itself is not checked.
inline std::optional<std::uint32_t> characterReferenceValue(std::string_view digits, bool hex) noexcept {
    std::uint32_t value = 0;
    const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), value, hex ? 16 : 10);
    if (digits.empty() || r.ec != std::errc() || r.ptr != digits.data() + digits.size())
        return std::nullopt;
    return value;
}

} // namespace tc::platform
