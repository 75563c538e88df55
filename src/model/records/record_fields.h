#pragma once
// The fields of one server record text cut at 0x05, read by position with the lenient readings of
// outside numbers and flags. A position past the end is absent: readers leave their target alone
// and return false, so a short record keeps the initial values of its missing properties.
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
    bool readInt(std::size_t pos, std::int32_t& out) const;
    // A 32-bit reading sign-extended into a 64-bit target.
    bool readInt(std::size_t pos, std::int64_t& out) const;
    bool readInt(std::size_t pos, std::uint64_t& out) const;
    bool readInt64(std::size_t pos, std::int64_t& out) const;
    // The 64-bit reading, two's complement into an unsigned target.
    bool readInt64(std::size_t pos, std::uint64_t& out) const;
    // Non-finite readings ("nan", "inf") give 0.
    bool readDouble(std::size_t pos, double& out) const;
    bool readBool(std::size_t pos, bool& out) const;
    // A flag stored as 0 or 1.
    bool readBool(std::size_t pos, std::int32_t& out) const;
    bool readText(std::size_t pos, std::string& out) const;

private:
    std::vector<std::string_view> fields_;
};

// The non-empty pieces of `text` cut at `separator`, at most `maxPieces` of them (the rest is
// dropped; `truncated` tells).
std::vector<std::string_view> nonEmptyPieces(std::string_view text, char separator, std::size_t maxPieces,
                                             bool* truncated = nullptr);

} // namespace tc
