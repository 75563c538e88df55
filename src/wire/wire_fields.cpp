#include "wire/wire_fields.h"

#include "wire/separators.h"

#include "platform/byte_mask.h"

#include <charconv>
#include <climits>
#include <cstring>

namespace tc::wire {
namespace {

bool isDigit(char c) noexcept {
    return c >= '0' && c <= '9';
}

// The leading integer of a text: blanks skipped, optional sign, digits; saturated to int; 0 without
// digits.
int leadingInt(std::string_view s) noexcept {
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r'))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    long long v = 0;
    for (; i < s.size() && isDigit(s[i]); ++i) {
        v = v * 10 + (s[i] - '0');
        if (v > static_cast<long long>(INT_MAX) + 1)
            break;
    }
    if (negative)
        return v > static_cast<long long>(INT_MAX) ? INT_MIN : static_cast<int>(-v);
    return v > INT_MAX ? INT_MAX : static_cast<int>(v);
}

} // namespace

Field parseField(std::string_view piece) noexcept {
    Field f;
    f.text = piece;
    // Usual case: canonical digits then '='; the prefix then stands at position 0.
    std::size_t k = 0;
    int tag = 0;
    while (k < piece.size() && k < 9 && isDigit(piece[k])) {
        tag = tag * 10 + (piece[k] - '0');
        ++k;
    }
    if (k > 0 && k < piece.size() && piece[k] == '=' && (piece[0] != '0' || k == 1)) {
        f.tag = tag;
        f.value = piece.substr(k + 1);
        f.hasValue = true;
        return f;
    }
    const std::size_t eq = piece.find('=');
    f.tag = leadingInt(piece.substr(0, eq));
    char prefix[16];
    auto [end, ec] = std::to_chars(prefix, prefix + sizeof prefix - 1, f.tag);
    (void)ec; // an int always fits
    *end++ = '=';
    const std::string_view needle(prefix, static_cast<std::size_t>(end - prefix));
    const std::size_t at = piece.find(needle);
    if (at == std::string_view::npos)
        return f;
    f.value = piece.substr(at + needle.size());
    f.hasValue = true;
    return f;
}

void FieldIterator::fill(const char* from) noexcept {
    const std::size_t n = static_cast<std::size_t>(e_ - from) < 64 ? static_cast<std::size_t>(e_ - from) : 64;
    block_ = from;
    blockEnd_ = from + n;
    mask_ = platform::byteMask(from, n, kFieldEnd);
}

FieldIterator FieldIterator::overFrame(std::string_view frameText) noexcept {
    const std::size_t cut = frameText.find(kFieldEnd);
    if (cut == std::string_view::npos)
        return FieldIterator();
    return FieldIterator(frameText.substr(cut + 1));
}

} // namespace tc::wire
