#include "gui/app/access_key_rules.h"

namespace tc::gui {
namespace {

// The length of the UTF-8 character starting with `lead`.
std::size_t charLength(unsigned char lead) {
    if (lead < 0x80)
        return 1;
    if ((lead >> 5) == 0x6)
        return 2;
    if ((lead >> 4) == 0xE)
        return 3;
    return 4;
}

} // namespace

std::vector<std::string> accessKeysOf(std::string_view text) {
    std::vector<std::string> keys;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '&')
            continue;
        if (text[i + 1] == '&') {
            ++i;
            continue;
        }
        const std::size_t length = charLength(static_cast<unsigned char>(text[i + 1]));
        keys.emplace_back(text.substr(i + 1, length));
        i += length;
    }
    return keys;
}

std::string withoutAccessKey(std::string_view text) {
    // "交易 (&T)": the bracketed key goes whole, with the space before it.
    if (text.size() >= 4 && text.back() == ')' && text[text.size() - 4] == '(' &&
        text[text.size() - 3] == '&' && text[text.size() - 2] != '&') {
        text.remove_suffix(4);
        while (!text.empty() && text.back() == ' ')
            text.remove_suffix(1);
    }
    return withoutAccessMarks(text);
}

std::string withoutAccessMarks(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size())
            ++i; // "&&" keeps one "&"; "&T" keeps the "T"
        shown += text[i];
    }
    return shown;
}

} // namespace tc::gui
