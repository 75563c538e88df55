#include "model/records/record_fields.h"

#include "model/records/record_decimal.h"
#include "platform/byte_mask.h"
#include "platform/lenient.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace tc {

RecordFields::RecordFields(std::string_view record, char separator) {
    reset(record, separator);
}

void RecordFields::reset(std::string_view record, char separator) {
    fields_.clear();
    const char* const data = record.data();
    const std::size_t size = record.size();
    std::size_t start = 0;
    // A snapshot holds millions of short fields: the separators of 64 bytes at a time become a bit
    // mask, so a field costs a bit scan rather than a pass over its few bytes.
    for (std::size_t block = 0; block < size; block += 64) {
        const std::size_t n = std::min<std::size_t>(64, size - block);
        for (std::uint64_t mask = platform::byteMask(data + block, n, separator); mask != 0;
             mask &= mask - 1) {
            const std::size_t at = block + static_cast<std::size_t>(std::countr_zero(mask));
            fields_.emplace_back(data + start, at - start);
            start = at + 1;
            if (fields_.size() == kMaxFields)
                return;
        }
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
