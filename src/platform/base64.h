#pragma once
// Base64 text form of envelope payloads, compressed payloads, the derived session key and property-list
// data. Pure functions: no state, callable from any thread.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tc::platform {

class Base64 {
public:
    // Largest buffer encodeBase64WithData accepts; its text is exactly kMaxTextLength long.
    static constexpr std::size_t kMaxDataLength = std::size_t{48} << 20;
    // Largest text decodeBase64WithString accepts.
    static constexpr std::size_t kMaxTextLength = std::size_t{64} << 20;

    // Base64 of the text's UTF-8 bytes; nullopt for an empty text or one over the cap.
    static std::optional<std::string> encodeBase64WithString(std::string_view text);
    // Standard alphabet, "=" padding, no line breaks; nullopt for an empty buffer or one over the cap.
    static std::optional<std::string> encodeBase64WithData(std::span<const std::uint8_t> data);
    // Strict decoder: whitespace (tab, LF, FF, CR, space) is skipped; a non-ASCII byte, NUL, any other
    // character outside the alphabet or a lone "=" after the first sextet of a quantum gives nullopt.
    // Leftover sextets that do not complete a byte are dropped.
    static std::optional<std::vector<std::uint8_t>> decodeBase64WithString(std::string_view text);
    // The value 0-63 of an alphabet character, -1 for any other.
    static int sextet(char c) noexcept;
};

} // namespace tc::platform
