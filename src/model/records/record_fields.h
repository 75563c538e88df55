#pragma once
// The fields of one server record text cut at 0x05, read by position with the lenient readings of
// outside numbers and flags. A position past the end is absent: readers leave their target alone
// and return false, so a short record keeps the initial values of its missing properties.
#include "platform/compact_decimal.h"
#include "platform/decimal.h"
#include "platform/plain_number.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tc {

class RecordFields {
public:
    // No record of the system has this many fields; further pieces are never looked at.
    static constexpr std::size_t kMaxFields = 256;

    explicit RecordFields(std::string_view record, char separator = '\x05');
    // Reads another record in place, keeping the storage (loaders reuse one object per section).
    void reset(std::string_view record, char separator = '\x05');

    std::size_t size() const { return fields_.size(); }
    bool has(std::size_t pos) const { return pos < fields_.size(); }
    // "" when absent.
    std::string_view text(std::size_t pos) const { return has(pos) ? fields_[pos] : std::string_view(); }

    // 32-bit reading: saturated at the int32 limits.
    static std::int32_t toInt(std::string_view text);
    static std::int64_t toInt64(std::string_view text);

    // Each stores the field's reading into `out` when the field exists.
    bool readInt(std::size_t pos, std::int32_t& out) const {
        if (!has(pos))
            return false;
        if (!plainInt(fields_[pos], out))
            out = toInt(fields_[pos]);
        return true;
    }
    // A 32-bit reading sign-extended into a 64-bit target.
    bool readInt(std::size_t pos, std::int64_t& out) const;
    bool readInt(std::size_t pos, std::uint64_t& out) const;
    bool readInt64(std::size_t pos, std::int64_t& out) const;
    // The 64-bit reading, two's complement into an unsigned target.
    bool readInt64(std::size_t pos, std::uint64_t& out) const;
    // Non-finite readings ("nan", "inf") give 0.
    bool readDouble(std::size_t pos, double& out) const {
        if (!has(pos))
            return false;
        if (!plainDecimal(fields_[pos], out))
            out = toDouble(fields_[pos]);
        return true;
    }
    // The exact reading; malformed, NaN and out-of-range texts give 0.
    bool readDecimal(std::size_t pos, platform::Decimal& out) const {
        if (!has(pos))
            return false;
        if (!plainDecimal(fields_[pos], out))
            out = toDecimal(fields_[pos]);
        return true;
    }
    // The same reading stored in 16 digits (longer ones rounded); one past the stored range gives 0.
    bool readDecimal(std::size_t pos, platform::CompactDecimal& out) const {
        if (!has(pos))
            return false;
        if (auto plain = platform::CompactDecimal::fromPlainText(fields_[pos]))
            out = *plain;
        else
            out = compactOf(toDecimal(fields_[pos]));
        return true;
    }
    // The stored form of an exact reading; NaN, past the stored range, as 0 like the readings.
    static platform::CompactDecimal compactOf(const platform::Decimal& value) {
        const platform::CompactDecimal c(value);
        return c.isNaN() ? platform::CompactDecimal() : c;
    }
    bool readBool(std::size_t pos, bool& out) const;
    // A flag stored as 0 or 1.
    bool readBool(std::size_t pos, std::int32_t& out) const;
    bool readText(std::size_t pos, std::string& out) const;

private:
    // Snapshots carry millions of plain numbers: these read the usual forms where they are used, and
    // leave anything else (blanks, a plus sign, trailing text, long or exponent forms) to the
    // general readings, which give the same value for the plain forms.
    // An optional '-' and 1 to 9 digits, nothing else.
    static bool plainInt(std::string_view text, std::int32_t& out) {
        std::size_t i = !text.empty() && text[0] == '-' ? 1 : 0;
        if (text.size() <= i || text.size() - i > 9)
            return false;
        std::int32_t v = 0;
        for (; i < text.size(); ++i) {
            const unsigned digit = static_cast<unsigned char>(text[i]) - unsigned{'0'};
            if (digit > 9)
                return false;
            v = v * 10 + static_cast<std::int32_t>(digit);
        }
        out = text[0] == '-' ? -v : v;
        return true;
    }
    // At most 15 digits: the digits and a power of ten are exact doubles, so one division rounds
    // correctly.
    static bool plainDecimal(std::string_view text, double& out) {
        platform::PlainNumber n;
        if (!platform::scanPlainNumber(text, 15, n))
            return false;
        const double whole = static_cast<double>(n.mantissa);
        const double value = n.fraction == 0 ? whole : whole / platform::kExactPowersOfTen[n.fraction];
        out = n.negative ? -value : value;
        return true;
    }
    // Read exactly, with up to 19 digits (they fit 64 bits).
    static bool plainDecimal(std::string_view text, platform::Decimal& out) {
        platform::PlainNumber n;
        if (!platform::scanPlainNumber(text, 19, n))
            return false;
        out = platform::Decimal::fromParts(n.negative, n.mantissa, -n.fraction);
        return true;
    }
    // The general reading, non-finite as 0.
    static double toDouble(std::string_view text);
    static platform::Decimal toDecimal(std::string_view text);

    std::vector<std::string_view> fields_;
};

// The non-empty pieces of `text` cut at `separator`, at most `maxPieces` of them (the rest is
// dropped; `truncated` tells).
std::vector<std::string_view> nonEmptyPieces(std::string_view text, char separator, std::size_t maxPieces,
                                             bool* truncated = nullptr);

} // namespace tc
