#include "platform/utf8.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <cstring>

namespace tc::platform {
namespace {

// Length of the well-formed sequence starting at p, or 0 when it is ill-formed. On failure *bad is the
// length of the maximal subpart (at least 1), which is what one U+FFFD replaces.
std::size_t sequenceAt(const unsigned char* p, const unsigned char* end, std::size_t* bad) noexcept {
    const unsigned char b0 = p[0];
    if (b0 < 0x80)
        return 1;
    std::size_t need;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        need = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        need = 3;
        if (b0 == 0xE0)
            lo = 0xA0;
        else if (b0 == 0xED)
            hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        need = 4;
        if (b0 == 0xF0)
            lo = 0x90;
        else if (b0 == 0xF4)
            hi = 0x8F;
    } else {
        *bad = 1;
        return 0;
    }
    std::size_t i = 1;
    for (; i < need; ++i) {
        if (p + i >= end) {
            *bad = i;
            return 0;
        }
        const unsigned char b = p[i];
        const unsigned char l = i == 1 ? lo : 0x80;
        const unsigned char h = i == 1 ? hi : 0xBF;
        if (b < l || b > h) {
            *bad = i;
            return 0;
        }
    }
    return need;
}

bool asciiWord(const unsigned char* p) noexcept {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return (w & 0x8080808080808080ULL) == 0;
}

} // namespace

std::size_t decodeUtf8(std::string_view bytes, std::size_t at, char32_t& codePoint) noexcept {
    if (at >= bytes.size())
        return 0;
    const auto p = reinterpret_cast<const unsigned char*>(bytes.data()) + at;
    std::size_t bad = 0;
    const std::size_t n = sequenceAt(p, p + (bytes.size() - at), &bad);
    if (n == 0)
        return 0;
    static constexpr unsigned char kLeadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    char32_t cp = p[0] & kLeadMask[n];
    for (std::size_t i = 1; i < n; ++i)
        cp = (cp << 6) | (p[i] & 0x3F);
    codePoint = cp;
    return n;
}

bool isValidUtf8(std::string_view bytes) noexcept {
    auto p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto end = p + bytes.size();
    while (p < end) {
#if defined(__SSE2__)
        if (end - p >= 16 && _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))) == 0) {
            p += 16;
            continue;
        }
#endif
        if (end - p >= 8 && asciiWord(p)) {
            p += 8;
            continue;
        }
        std::size_t bad = 0;
        const std::size_t n = sequenceAt(p, end, &bad);
        if (n == 0)
            return false;
        p += n;
    }
    return true;
}

std::string repairUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + 8);
    auto p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto end = p + bytes.size();
    while (p < end) {
        std::size_t bad = 0;
        const std::size_t n = sequenceAt(p, end, &bad);
        if (n == 0) {
            out.append("\xEF\xBF\xBD");
            p += bad;
        } else {
            out.append(reinterpret_cast<const char*>(p), n);
            p += n;
        }
    }
    return out;
}

std::uint64_t utf16Length(std::string_view utf8) noexcept {
    // Every byte that is not a continuation byte starts a code point; 4-byte leads need a pair.
    auto unitsOf = [](unsigned char c) -> std::uint64_t { return ((c & 0xC0) != 0x80) + (c >= 0xF0); };
    std::uint64_t units = 0;
    auto p = reinterpret_cast<const unsigned char*>(utf8.data());
    const auto end = p + utf8.size();
#if defined(__SSE2__)
    // Sixteen at a time: the units are the bytes less the continuation bytes plus the 4-byte leads.
    const __m128i continuationBelow = _mm_set1_epi8(-64); // 0x80..0xBF are -128..-65 as signed bytes
    const __m128i fourByteBelow = _mm_set1_epi8(-17);     // 0xF0..0xFF are -16..-1
    const __m128i zero = _mm_setzero_si128();
    for (; end - p >= 16; p += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int high = _mm_movemask_epi8(v);
        if (high == 0) {
            units += 16;
            continue;
        }
        const int continuation = _mm_movemask_epi8(_mm_cmpgt_epi8(continuationBelow, v));
        const int fourByte =
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpgt_epi8(v, fourByteBelow), _mm_cmplt_epi8(v, zero)));
        units += static_cast<std::uint64_t>(16 - __builtin_popcount(static_cast<unsigned>(continuation)) +
                                            __builtin_popcount(static_cast<unsigned>(fourByte)));
    }
#endif
    for (; end - p >= 8; p += 8) {
        if (asciiWord(p)) {
            units += 8;
            continue;
        }
        for (int i = 0; i < 8; ++i)
            units += unitsOf(p[i]);
    }
    for (; p < end; ++p)
        units += unitsOf(*p);
    return units;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        cp = 0xFFFD;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

} // namespace tc::platform
