#pragma once
// Addresses from the server (feed links, resource addresses) that the browser may be handed: http or
// https with a host, nothing else (no file:, javascript: or other schemes). Qt-free.
#include <optional>
#include <string>
#include <string_view>

namespace tc::gui {

enum class MissingScheme { Refuse, AssumeHttps };

// The address to open, blanks around it trimmed; an address without a scheme is refused, or taken as
// https ("www.example.com/x" opens "https://www.example.com/x"). nullopt for any other scheme, no
// host, blanks or control characters inside, or more than 8,192 bytes.
std::optional<std::string> webAddressToOpen(std::string_view text, MissingScheme missing);

} // namespace tc::gui
