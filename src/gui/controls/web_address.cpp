#include "gui/controls/web_address.h"

namespace tc::gui {

namespace {

constexpr std::size_t kMaxAddressBytes = 8192;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// The scheme that starts the text ("name:" with a letter first), or empty. "host:8080/x" is a host
// and its port, not a scheme: a scheme is not followed by digits alone up to the path.
std::string_view schemeOf(std::string_view text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0 || !isAlpha(text[0]))
        return {};
    for (std::size_t i = 0; i < colon; ++i) {
        const char c = text[i];
        if (!isAlpha(c) && !isDigit(c) && c != '+' && c != '-' && c != '.')
            return {};
    }
    std::size_t end = colon + 1;
    while (end < text.size() && isDigit(text[end]))
        ++end;
    const bool portOnly =
        end > colon + 1 && (end == text.size() || text[end] == '/' || text[end] == '?' || text[end] == '#');
    return portOnly ? std::string_view() : text.substr(0, colon);
}

} // namespace

std::optional<std::string> webAddressToOpen(std::string_view text, MissingScheme missing) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    if (text.empty() || text.size() > kMaxAddressBytes)
        return std::nullopt;
    for (char c : text)
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F)
            return std::nullopt;
    std::string address;
    const std::string_view scheme = schemeOf(text);
    if (scheme.empty()) {
        if (missing == MissingScheme::Refuse)
            return std::nullopt;
        address = "https://" + std::string(text);
    } else {
        const std::string name = lower(scheme);
        if (name != "http" && name != "https")
            return std::nullopt;
        address = name + std::string(text.substr(scheme.size()));
    }
    // "scheme://host...": a host must follow, before any path, query or fragment.
    const std::size_t slashes = address.find("://");
    if (slashes == std::string::npos)
        return std::nullopt;
    const std::size_t hostStart = slashes + 3;
    const std::size_t hostEnd = address.find_first_of("/?#", hostStart);
    std::string_view authority = std::string_view(address).substr(
        hostStart, hostEnd == std::string::npos ? std::string::npos : hostEnd - hostStart);
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos)
        authority.remove_prefix(at + 1);
    if (authority.empty() || authority.front() == ':')
        return std::nullopt;
    return address;
}

} // namespace tc::gui
