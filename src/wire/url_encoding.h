#pragma once
// Percent-encoding of a value placed in a URL (payment requests handed to the browser).
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tc {

class URLEncoding {
public:
    static constexpr std::size_t kMaxTextLength = std::size_t{1} << 20;

    // Keeps letters, marks and digits of every script and "-._~/?"; every other character becomes the
    // "%XX" escapes (upper-case hex) of its UTF-8 bytes. nullopt for invalid UTF-8 or a text over the cap.
    static std::optional<std::string> stringByAddingPercentEncodingForRFC3986(std::string_view text);
};

} // namespace tc
