#include "gui/controls/input_rules.h"

#include "gui/texts.h"

#include <algorithm>

namespace tc::gui {
namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

EntryHold holdNumberEntry(std::string_view text, platform::EntryRules rules) {
    const platform::NumberEntry entry = platform::readNumberEntry(text, rules);
    return entry.ok() || entry.fault == platform::EntryFault::Empty ? EntryHold::Acceptable
                                                                    : EntryHold::Shown;
}

std::string_view entryFaultKey(platform::EntryFault fault) {
    using platform::EntryFault;
    switch (fault) {
    case EntryFault::None:
        return {};
    case EntryFault::Empty:
        return texts::kIsEmpty;
    case EntryFault::Comma:
        return texts::kHoldsAComma;
    case EntryFault::InnerBlank:
        return texts::kHoldsSpaceInsideNumber;
    case EntryFault::Negative:
        return texts::kCannotBeNegative;
    case EntryFault::NotANumber:
        return texts::kNotNumber;
    case EntryFault::TooLarge:
        return texts::kIsTooLarge;
    case EntryFault::TooManyDecimals:
        return texts::kTooManyDecimals;
    case EntryFault::TooLong:
        return texts::kLongerThanCharacters;
    }
    return texts::kNotNumber;
}

std::string_view wholeNumberFaultKey(std::string_view text, platform::EntryFault fault) {
    using platform::EntryFault;
    switch (fault) {
    case EntryFault::Empty:
        return texts::kIsEmpty92600;
    case EntryFault::Comma:
        return texts::kHoldsAComma92601;
    case EntryFault::InnerBlank:
        return texts::kHoldsSpaceInsideNumber92602;
    case EntryFault::NotANumber:
        return platform::readNumberEntry(text, {true, {}}).ok() ? texts::kHoldsDecimals
                                                                : texts::kNotWholeNumber;
    case EntryFault::Negative:
        return texts::kWholeNumberCannotBeNegative; // its example is whole too
    case EntryFault::TooLarge:
        return texts::kWholeNumberTooLarge;
    default:
        break;
    }
    return entryFaultKey(fault);
}

std::string entryFaultLimit(platform::EntryFault fault, platform::EntryRules rules) {
    if (fault == platform::EntryFault::TooManyDecimals)
        return std::to_string(rules.maxDecimals.value_or(0));
    if (fault == platform::EntryFault::TooLong)
        return std::to_string(platform::kMaxEntryLength);
    return {};
}

Refusal numberEntryRefusal(const platform::NumberEntry& entry, platform::EntryRules rules) {
    if (entry.ok())
        return {};
    return {std::string(entryFaultKey(entry.fault)), entryFaultLimit(entry.fault, rules)};
}

bool isPortText(std::string_view text) {
    return text.size() <= kPortFieldLength && std::all_of(text.begin(), text.end(), isDigit);
}

PriceHighlight priceHighlight(std::string_view price, std::size_t bigDigits, std::size_t smallDigits) {
    PriceHighlight h;
    h.text = std::string(price);
    const std::size_t point = price.find('.');
    const std::size_t digits = price.size() - (point == std::string_view::npos ? 0 : 1);
    smallDigits = std::min(smallDigits, digits);
    bigDigits = std::min(bigDigits, digits - smallDigits);
    // Positions among the digits, then moved past the point where it stands.
    const auto atDigit = [&](std::size_t i) {
        return point != std::string_view::npos && i >= point ? i + 1 : i;
    };
    const std::size_t bigFrom = digits - smallDigits - bigDigits;
    const std::size_t smallFrom = digits - smallDigits;
    if (bigDigits > 0) {
        h.bigStart = atDigit(bigFrom);
        h.bigLength = atDigit(bigFrom + bigDigits - 1) - h.bigStart + 1;
    }
    if (smallDigits > 0) {
        h.smallStart = atDigit(smallFrom);
        h.smallLength = atDigit(smallFrom + smallDigits - 1) - h.smallStart + 1;
    }
    return h;
}

} // namespace tc::gui
