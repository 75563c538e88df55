#include "platform/rtf_writer.h"

#include "platform/log.h"

namespace tc::platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point at `i`, advancing it; a malformed sequence yields U+FFFD for its first byte.
char32_t nextCodePoint(std::string_view s, size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int len = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        ++i;
        return kReplacement;
    }
    if (i + len > s.size()) {
        ++i;
        return kReplacement;
    }
    for (int k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return kReplacement;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return kReplacement;
    }
    i += len;
    return cp;
}

void appendUnicodeEscape(std::string& out, int unit) {
    // RTF parameters are signed 16-bit; "?" is the one fallback character for readers without \u.
    if (unit > 32767)
        unit -= 65536;
    out += "\\u";
    out += std::to_string(unit);
    out += '?';
}

} // namespace

std::string rtfFromPlainText(std::string_view utf8) {
    if (utf8.size() > kMaxRtfPlainTextBytes) {
        Log::warning("text of {} bytes is too long for an RTF document", utf8.size());
        return {};
    }
    std::string out = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1{\\fonttbl{\\f0 Helvetica;}}\\f0\\fs24 ";
    out.reserve(out.size() + utf8.size() + utf8.size() / 4 + 2);
    size_t i = 0;
    while (i < utf8.size()) {
        const char32_t cp = nextCodePoint(utf8, i);
        switch (cp) {
        case '\\':
            out += "\\\\";
            continue;
        case '{':
            out += "\\{";
            continue;
        case '}':
            out += "\\}";
            continue;
        case '\n':
            out += "\\par\n";
            continue;
        case '\t':
            out += "\\tab ";
            continue;
        default:
            break;
        }
        if (cp >= 0x20 && cp < 0x7F) {
            out += static_cast<char>(cp);
        } else if (cp < 0x10000) {
            // Other controls too: readers drop raw control bytes.
            appendUnicodeEscape(out, static_cast<int>(cp));
        } else {
            const char32_t v = cp - 0x10000;
            appendUnicodeEscape(out, static_cast<int>(0xD800 + (v >> 10)));
            appendUnicodeEscape(out, static_cast<int>(0xDC00 + (v & 0x3FF)));
        }
    }
    out += '}';
    return out;
}

} // namespace tc::platform
