#include "http/text_encoding.h"

#include "http/http_types.h"
#include "platform/utf8.h"

namespace tc::http {

namespace {

// Windows-1252 0x80-0x9F; 0 marks the five unassigned bytes.
constexpr char32_t kCP1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Next code point of valid UTF-8 text.
char32_t nextCodePoint(std::string_view s, std::size_t& i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
    char32_t cp = extra == 0 ? c : extra == 1 ? (c & 0x1F) : extra == 2 ? (c & 0x0F) : (c & 0x07);
    for (int k = 0; k < extra; ++k)
        cp = (cp << 6) | (static_cast<unsigned char>(s[i + 1 + k]) & 0x3F);
    i += 1 + extra;
    return cp;
}

std::optional<std::string> decodeUTF16(std::string_view b, bool bigEndian) {
    if (b.size() % 2)
        return std::nullopt;
    std::string out;
    for (std::size_t i = 0; i < b.size(); i += 2) {
        auto unit = [&](std::size_t at) {
            unsigned hi = static_cast<unsigned char>(b[at + (bigEndian ? 0 : 1)]);
            unsigned lo = static_cast<unsigned char>(b[at + (bigEndian ? 1 : 0)]);
            return static_cast<char32_t>(hi << 8 | lo);
        };
        char32_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 3 >= b.size())
                return std::nullopt;
            char32_t low = unit(i + 2);
            if (low < 0xDC00 || low > 0xDFFF)
                return std::nullopt;
            u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        } else if (u >= 0xDC00 && u <= 0xDFFF)
            return std::nullopt;
        platform::appendUtf8(out, u);
    }
    return out;
}

} // namespace

std::optional<StringEncoding> encodingForIANACharsetName(std::string_view name) {
    std::string n = toLowerASCII(name);
    if (n == "utf-8" || n == "utf8")
        return StringEncoding::UTF8;
    if (n == "us-ascii" || n == "ascii")
        return StringEncoding::ASCII;
    if (n == "iso-8859-1" || n == "latin1" || n == "iso_8859-1" || n == "l1")
        return StringEncoding::ISOLatin1;
    if (n == "windows-1252" || n == "cp1252")
        return StringEncoding::WindowsCP1252;
    if (n == "utf-16")
        return StringEncoding::UTF16;
    if (n == "utf-16be")
        return StringEncoding::UTF16BE;
    if (n == "utf-16le")
        return StringEncoding::UTF16LE;
    return std::nullopt;
}

std::optional<std::string> encodeText(std::string_view utf8, StringEncoding encoding) {
    if (!platform::isValidUtf8(utf8))
        return std::nullopt;
    if (encoding == StringEncoding::UTF8)
        return std::string(utf8);
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t cp = nextCodePoint(utf8, i);
        switch (encoding) {
        case StringEncoding::ASCII:
            if (cp > 0x7F)
                return std::nullopt;
            out += static_cast<char>(cp);
            break;
        case StringEncoding::ISOLatin1:
        case StringEncoding::WindowsCP1252:
            if (cp <= 0xFF && !(encoding == StringEncoding::WindowsCP1252 && cp >= 0x80 && cp <= 0x9F)) {
                out += static_cast<char>(cp);
                break;
            }
            if (encoding == StringEncoding::WindowsCP1252) {
                int found = -1;
                for (int k = 0; k < 32; ++k)
                    if (kCP1252High[k] == cp && cp != 0)
                        found = k;
                if (found >= 0) {
                    out += static_cast<char>(0x80 + found);
                    break;
                }
            }
            return std::nullopt;
        case StringEncoding::UTF16:
        case StringEncoding::UTF16BE:
        case StringEncoding::UTF16LE: {
            bool be = encoding != StringEncoding::UTF16LE;
            if (encoding == StringEncoding::UTF16 && out.empty())
                out += "\xFE\xFF";
            auto put = [&](char32_t u) {
                char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
                out += be ? hi : lo;
                out += be ? lo : hi;
            };
            if (cp >= 0x10000) {
                put(0xD800 + ((cp - 0x10000) >> 10));
                put(0xDC00 + ((cp - 0x10000) & 0x3FF));
            } else
                put(cp);
            break;
        }
        default:
            return std::nullopt;
        }
    }
    return out;
}

std::optional<std::string> decodeText(std::string_view bytes, StringEncoding encoding) {
    switch (encoding) {
    case StringEncoding::UTF8:
        if (bytes.starts_with("\xEF\xBB\xBF"))
            bytes.remove_prefix(3);
        if (!platform::isValidUtf8(bytes))
            return std::nullopt;
        return std::string(bytes);
    case StringEncoding::ASCII:
        for (char c : bytes)
            if (static_cast<unsigned char>(c) > 0x7F)
                return std::nullopt;
        return std::string(bytes);
    case StringEncoding::ISOLatin1:
    case StringEncoding::WindowsCP1252: {
        std::string out;
        for (unsigned char c : bytes) {
            char32_t cp = c;
            if (encoding == StringEncoding::WindowsCP1252 && c >= 0x80 && c <= 0x9F) {
                cp = kCP1252High[c - 0x80];
                if (cp == 0)
                    return std::nullopt;
            }
            platform::appendUtf8(out, cp);
        }
        return out;
    }
    case StringEncoding::UTF16:
        if (bytes.starts_with("\xFF\xFE"))
            return decodeUTF16(bytes.substr(2), false);
        if (bytes.starts_with("\xFE\xFF"))
            return decodeUTF16(bytes.substr(2), true);
        return decodeUTF16(bytes, true);
    case StringEncoding::UTF16BE:
        return decodeUTF16(bytes, true);
    case StringEncoding::UTF16LE:
        return decodeUTF16(bytes, false);
    }
    return std::nullopt;
}

} // namespace tc::http
