#pragma once
// Rules of the numeric input fields and of the price text, free of Qt.
#include "gui/controls/refusal.h"
#include "platform/number_entry.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace tc::gui {

// How a numeric field holds what is typed: a readable number (or nothing) is acceptable; any other
// text is kept as typed, however long, so that the field shows it and its refusal names what is
// wrong, never dropping a comma, a letter or a long paste to leave another number (or the old one).
// Refused is a validator's word for an edit not taken; no number entry is held so.
enum class EntryHold { Acceptable, Shown, Refused };
EntryHold holdNumberEntry(std::string_view text, platform::EntryRules rules = {});
// The text that names an entry's fault ({0} the field's name, {1} the most decimals); empty for
// None.
std::string_view entryFaultKey(platform::EntryFault fault);
// What fills {1} of a fault's text: the most decimals, or the most characters of a text too long;
// empty for the others.
std::string entryFaultLimit(platform::EntryFault fault, platform::EntryRules rules = {});
// The text that names why a text read as a whole number (platform::readIntegerEntry) is none, in
// the words of whole numbers: an empty text, a comma, a blank or a point each say to type digits
// only; a sign refused or a number too large gives a whole number as its example.
std::string_view wholeNumberFaultKey(std::string_view text, platform::EntryFault fault);

// The refusal of a number read with `rules` ({1} the most decimals or digits; the field is named
// where it is worded); none when it reads.
Refusal numberEntryRefusal(const platform::NumberEntry& entry, platform::EntryRules rules = {});

// A port is at most five digits.
inline constexpr std::size_t kPortFieldLength = 5;
bool isPortText(std::string_view text);

// A quote with its big-figure digits enlarged and its last digits small and raised. Indices are
// into `text`, which is the price as given (its point where it was).
struct PriceHighlight {
    std::string text;
    std::size_t bigStart = 0;
    std::size_t bigLength = 0;
    std::size_t smallStart = 0;
    std::size_t smallLength = 0;
};
// `bigDigits` digits end `smallDigits` digits before the last digit; the point does not count as a
// digit. Lengths beyond the digits the price has are cut to fit, the small ones first.
PriceHighlight priceHighlight(std::string_view price, std::size_t bigDigits, std::size_t smallDigits);

} // namespace tc::gui
