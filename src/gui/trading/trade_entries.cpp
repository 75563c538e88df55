#include "gui/trading/trade_entries.h"

#include "gui/controls/input_rules.h"
#include "gui/texts.h"
#include "model/position_quantities.h"
#include "model/records/group_details.h"
#include "platform/number_entry.h"

#include <algorithm>

namespace tc::gui {
namespace {

TradeEntry fromNumber(const platform::NumberEntry& entry, platform::EntryRules rules) {
    return {entry.value, numberEntryRefusal(entry, rules)};
}

} // namespace

TradeEntry readQuantityEntry(std::string_view text) {
    const platform::EntryRules rules{false, kMaxQuantityDecimals};
    return fromNumber(platform::readNumberEntry(text, rules), rules);
}

TradeEntry readPriceEntry(std::string_view text, std::int32_t decimals) {
    const platform::EntryRules rules{false, static_cast<std::size_t>(std::max(0, decimals))};
    return fromNumber(platform::readNumberEntry(text, rules), rules);
}

TradeEntry readPointsEntry(std::string_view text) {
    TradeEntry out;
    const platform::IntegerEntry entry = platform::readIntegerEntry(text);
    using platform::EntryFault;
    if (entry.ok() && std::to_string(*entry.value).size() <= kMaxDeviationDigits) {
        out.value = platform::Decimal::fromInt64(*entry.value);
        return out;
    }
    if (entry.ok() || entry.fault == EntryFault::TooLarge)
        out.refusal = {texts::kTooManyDigits, std::to_string(kMaxDeviationDigits)};
    else // points come whole
        out.refusal = {std::string(wholeNumberFaultKey(text, entry.fault)), entryFaultLimit(entry.fault)};
    return out;
}

namespace {

// The group's rule the lots break, in the order rules' words ({0} the limit).
Refusal breachRefusal(const platform::Decimal& lots, const GroupInstruments* settings, bool closesRemainder) {
    const auto breach = settings ? quantityBreach(lots, *settings, closesRemainder) : std::nullopt;
    if (!breach)
        return {};
    using Rule = QuantityBreach::Rule;
    return {breach->rule == Rule::AboveMaximum   ? texts::kQuantityAboveMaximumLots
            : breach->rule == Rule::BelowMinimum ? texts::kQuantityBelowMinimumLots
                                                 : texts::kQuantityMustMultipleLots,
            breach->limit.toString()};
}

} // namespace

bool keepsQuantityRules(const platform::Decimal& lots, const GroupInstruments* settings,
                        bool closesRemainder) {
    return !breachRefusal(lots, settings, closesRemainder).refused();
}

Refusal quantityRuleRefusal(const platform::Decimal& lots, const GroupInstruments* settings,
                            bool closesRemainder) {
    if (lots.isNaN() || !(lots > platform::Decimal()))
        return {texts::kEnterQuantityGreaterThanZero, {}};
    return breachRefusal(lots, settings, closesRemainder);
}

} // namespace tc::gui
