#pragma once
// A number a person typed or pasted, read whole or not at all. The point is the only decimal mark
// in every language, as the program shows its numbers; a comma or a blank inside the number is
// refused, never taken for a decimal mark or grouping, since either reading can be ten or a
// thousand times what was meant. Blanks around the number are passed over.
#include "platform/decimal.h"

#include <cstddef>
#include <optional>
#include <string_view>

namespace tc::platform {

enum class EntryFault {
    None,
    Empty,      // nothing but blanks
    Comma,      // "0,5", "1,000"
    InnerBlank, // "1 000"
    Negative,   // "-1" where only amounts of zero or more are meant
    NotANumber, // letters, signs, exponents, a second point, symbols: "abc", "$100", "1e5", "1.2.3"
    TooLarge,   // more whole digits than any field takes
    TooManyDecimals,
    TooLong, // more than kMaxEntryLength characters once trimmed: no number is read from it
};

// More whole digits than this is beyond any price, quantity or amount, and past what a double
// carries exactly.
inline constexpr std::size_t kMaxEntryWholeDigits = 15;
// Longer text is not read at all (a paste of a page); it is refused as too long, never cut.
inline constexpr std::size_t kMaxEntryLength = 64;

struct NumberEntry {
    std::optional<Decimal> value; // set only when `fault` is None
    EntryFault fault = EntryFault::Empty;
    bool ok() const { return fault == EntryFault::None; }
};

struct EntryRules {
    bool allowNegative = false;
    // Digits after the point at most; nullopt takes any count.
    std::optional<std::size_t> maxDecimals;
};

NumberEntry readNumberEntry(std::string_view text, EntryRules rules = {});

// An entry that is whole digits only (ports, periods, counts): the same faults, and a point is
// NotANumber.
struct IntegerEntry {
    std::optional<long long> value;
    EntryFault fault = EntryFault::Empty;
    bool ok() const { return fault == EntryFault::None; }
};
IntegerEntry readIntegerEntry(std::string_view text, bool allowNegative = false);

} // namespace tc::platform
