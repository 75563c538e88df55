#include "model/records/record_fields.h"

#include "model/records/record_decimal.h"
#include "platform/lenient.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

namespace tc {

RecordFields::RecordFields(std::string_view record, char separator) {
    reset(record, separator);
}

namespace {

#if !defined(__SSE2__)
// Offset of the first byte equal to `separator` in the 8 bytes at `p`, or 8. The zero-byte test
// has no misses, and its lowest flagged byte is always a true match.
inline std::size_t separatorInWord(const char* p, std::uint64_t pattern) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    word ^= pattern;
    const std::uint64_t found = (word - 0x0101010101010101ULL) & ~word & 0x8080808080808080ULL;
    return found ? static_cast<std::size_t>(std::countr_zero(found)) / 8 : 8;
}
#endif

} // namespace

void RecordFields::reset(std::string_view record, char separator) {
    fields_.clear();
    const char* const data = record.data();
    const std::size_t size = record.size();
    std::size_t start = 0;
    std::size_t i = 0;
    // A snapshot holds millions of short fields: the separators of 64 bytes at a time become a bit
    // mask, so a field costs a bit scan rather than a pass over its few bytes.
#if defined(__SSE2__)
    const __m128i pattern = _mm_set1_epi8(separator);
    auto maskOf16 = [&](std::size_t at) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
        return static_cast<std::uint64_t>(
            static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, pattern))));
    };
    while (i + 16 <= size) {
        const std::size_t block = i + 64 <= size ? 64 : 16;
        std::uint64_t mask = maskOf16(i);
        if (block == 64)
            mask |= maskOf16(i + 16) << 16 | maskOf16(i + 32) << 32 | maskOf16(i + 48) << 48;
        while (mask != 0) {
            const std::size_t at = i + static_cast<std::size_t>(std::countr_zero(mask));
            mask &= mask - 1;
            fields_.emplace_back(data + start, at - start);
            start = at + 1;
            if (fields_.size() == kMaxFields)
                return;
        }
        i += block;
    }
#else
    // Eight bytes per step where there is no vector unit to hand.
    if constexpr (std::endian::native == std::endian::little) {
        const std::uint64_t pattern = 0x0101010101010101ULL * static_cast<unsigned char>(separator);
        while (i + 8 <= size) {
            const std::size_t at = separatorInWord(data + i, pattern);
            if (at == 8) {
                i += 8;
                continue;
            }
            i += at;
            fields_.emplace_back(data + start, i - start);
            start = ++i;
            if (fields_.size() == kMaxFields)
                return;
        }
    }
#endif
    for (; i < size; ++i) {
        if (data[i] != separator)
            continue;
        fields_.emplace_back(data + start, i - start);
        start = i + 1;
        if (fields_.size() == kMaxFields)
            return;
    }
    fields_.emplace_back(data + start, size - start);
}

std::int32_t RecordFields::toInt(std::string_view text) {
    std::int64_t v = platform::lenientInteger(text);
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

std::int64_t RecordFields::toInt64(std::string_view text) {
    return platform::lenientInteger(text);
}

bool RecordFields::readInt(std::size_t pos, std::int64_t& out) const {
    if (!has(pos))
        return false;
    out = toInt(fields_[pos]);
    return true;
}

bool RecordFields::readInt(std::size_t pos, std::uint64_t& out) const {
    if (!has(pos))
        return false;
    out = static_cast<std::uint64_t>(static_cast<std::int64_t>(toInt(fields_[pos])));
    return true;
}

bool RecordFields::readInt64(std::size_t pos, std::int64_t& out) const {
    if (!has(pos))
        return false;
    out = toInt64(fields_[pos]);
    return true;
}

bool RecordFields::readInt64(std::size_t pos, std::uint64_t& out) const {
    if (!has(pos))
        return false;
    out = static_cast<std::uint64_t>(toInt64(fields_[pos]));
    return true;
}

double RecordFields::toDouble(std::string_view text) {
    // "nan" and "inf" are not numbers the server means; they would poison every sum they reach.
    const double v = platform::lenientReal(text);
    return std::isfinite(v) ? v : 0.0;
}

platform::Decimal RecordFields::toDecimal(std::string_view text) {
    // As the double reading: the leading number, and nothing the server cannot mean.
    return lenientDecimal(text);
}

bool RecordFields::readBool(std::size_t pos, bool& out) const {
    if (!has(pos))
        return false;
    out = platform::lenientFlag(fields_[pos]);
    return true;
}

bool RecordFields::readBool(std::size_t pos, std::int32_t& out) const {
    if (!has(pos))
        return false;
    out = platform::lenientFlag(fields_[pos]) ? 1 : 0;
    return true;
}

bool RecordFields::readText(std::size_t pos, std::string& out) const {
    if (!has(pos))
        return false;
    out.assign(fields_[pos]);
    return true;
}

std::vector<std::string_view> nonEmptyPieces(std::string_view text, char separator, std::size_t maxPieces,
                                             bool* truncated) {
    std::vector<std::string_view> pieces;
    if (truncated)
        *truncated = false;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t cut = text.find(separator, start);
        std::size_t end = cut == std::string_view::npos ? text.size() : cut;
        if (end > start) {
            if (pieces.size() == maxPieces) {
                if (truncated)
                    *truncated = true;
                break;
            }
            pieces.push_back(text.substr(start, end - start));
        }
        if (cut == std::string_view::npos)
            break;
        start = cut + 1;
    }
    return pieces;
}

} // namespace tc
