#include "platform/number_entry.h"

#include "platform/lenient.h"
#include "platform/utf8.h"

#include <algorithm>

namespace tc::platform {
namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Whether the text holds more than `limit` characters as the trader counts them: a code point each
// (an Arabic-Indic digit is two bytes), a byte that is not UTF-8 one too.
bool longerThan(std::string_view text, std::size_t limit) {
    std::size_t characters = 0;
    for (std::size_t at = 0; at < text.size() && characters <= limit; ++characters) {
        char32_t c = 0;
        at += std::max<std::size_t>(1, decodeUtf8(text, at, c));
    }
    return characters > limit;
}

// The first fault of a trimmed text. A comma or an inner blank among digits says how to write the
// number; a letter or symbol anywhere makes it no number at all ("5 lots", "$1,000").
EntryFault shapeFault(std::string_view text, bool allowNegative, std::size_t& wholeDigits,
                      std::size_t& decimals) {
    if (text.empty())
        return EntryFault::Empty;
    if (longerThan(text, kMaxEntryLength))
        return EntryFault::TooLong;
    bool comma = false;
    bool blank = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        comma = comma || c == ',';
        blank = blank || isBlank(c);
        if (!isDigit(c) && c != '.' && c != ',' && !isBlank(c) && !(c == '-' && i == 0))
            return EntryFault::NotANumber;
    }
    if (comma)
        return EntryFault::Comma;
    if (blank)
        return EntryFault::InnerBlank;
    std::size_t i = 0;
    const bool negative = text[0] == '-';
    if (negative)
        ++i;
    bool point = false;
    std::size_t digits = 0;
    wholeDigits = 0;
    decimals = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (isDigit(c)) {
            ++digits;
            // Leading zeros hold no magnitude.
            if (point)
                ++decimals;
            else if (wholeDigits > 0 || c != '0')
                ++wholeDigits;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return EntryFault::NotANumber;
        }
    }
    if (digits == 0)
        return EntryFault::NotANumber;
    if (negative && !allowNegative)
        return EntryFault::Negative;
    if (wholeDigits > kMaxEntryWholeDigits)
        return EntryFault::TooLarge;
    return EntryFault::None;
}

} // namespace

NumberEntry readNumberEntry(std::string_view text, EntryRules rules) {
    text = trimBlanks(text);
    std::size_t wholeDigits = 0;
    std::size_t decimals = 0;
    NumberEntry entry;
    entry.fault = shapeFault(text, rules.allowNegative, wholeDigits, decimals);
    if (entry.fault != EntryFault::None)
        return entry;
    if (rules.maxDecimals && decimals > *rules.maxDecimals) {
        entry.fault = EntryFault::TooManyDecimals;
        return entry;
    }
    entry.value = Decimal::fromString(text);
    if (!entry.value || entry.value->isNaN()) {
        entry.value.reset();
        entry.fault = EntryFault::NotANumber;
    }
    return entry;
}

IntegerEntry readIntegerEntry(std::string_view text, bool allowNegative) {
    text = trimBlanks(text);
    std::size_t wholeDigits = 0;
    std::size_t decimals = 0;
    IntegerEntry entry;
    entry.fault = shapeFault(text, allowNegative, wholeDigits, decimals);
    if (entry.fault == EntryFault::None && text.find('.') != std::string_view::npos)
        entry.fault = EntryFault::NotANumber;
    if (entry.fault != EntryFault::None)
        return entry;
    long long value = 0;
    const bool negative = text[0] == '-';
    for (const char c : text.substr(negative ? 1 : 0))
        value = value * 10 + (c - '0'); // at most 15 digits: no overflow
    entry.value = negative ? -value : value;
    return entry;
}

} // namespace tc::platform
