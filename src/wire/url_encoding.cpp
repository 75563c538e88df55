#include "wire/url_encoding.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <cstdint>

namespace tc {

namespace {

bool keptAsIs(UChar32 c) {
    constexpr std::uint32_t kAlphanumeric = U_GC_L_MASK | U_GC_M_MASK | U_GC_N_MASK;
    if ((U_GET_GC_MASK(c) & kAlphanumeric) != 0)
        return true;
    switch (c) {
    case '-':
    case '.':
    case '_':
    case '~':
    case '/':
    case '?':
        return true;
    default:
        return false;
    }
}

} // namespace

std::optional<std::string> URLEncoding::stringByAddingPercentEncodingForRFC3986(std::string_view text) {
    if (text.size() > kMaxTextLength)
        return std::nullopt;
    static constexpr char kHex[] = "0123456789ABCDEF";
    const auto* s = reinterpret_cast<const std::uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    std::string out;
    out.reserve(text.size());
    for (int32_t i = 0; i < length;) {
        const int32_t start = i;
        UChar32 c;
        U8_NEXT(s, i, length, c);
        if (c < 0)
            return std::nullopt;
        if (keptAsIs(c)) {
            out.append(text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(i - start)));
            continue;
        }
        for (int32_t k = start; k < i; ++k) {
            out.push_back('%');
            out.push_back(kHex[s[k] >> 4]);
            out.push_back(kHex[s[k] & 15]);
        }
    }
    return out;
}

} // namespace tc
