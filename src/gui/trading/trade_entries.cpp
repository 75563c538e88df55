#include "gui/trading/trade_entries.h"

#include "gui/controls/input_rules.h"
#include "gui/grid/grid_cells.h"
#include "gui/texts.h"
#include "model/position_quantities.h"
#include "model/records/group_details.h"
#include "model/text/positional_text.h"
#include "platform/number_entry.h"

#include <algorithm>

namespace tc::gui {
namespace {

TradeEntry fromNumber(const platform::NumberEntry& entry, std::optional<std::size_t> maxDecimals) {
    TradeEntry out;
    if (entry.ok()) {
        out.value = entry.value;
        return out;
    }
    out.refusal.key = std::string(entryFaultKey(entry.fault));
    if (entry.fault == platform::EntryFault::TooManyDecimals)
        out.refusal.limit = std::to_string(maxDecimals.value_or(0));
    return out;
}

} // namespace

TradeEntry readQuantityEntry(std::string_view text) {
    return fromNumber(platform::readNumberEntry(text), std::nullopt);
}

TradeEntry readPriceEntry(std::string_view text, std::int32_t decimals) {
    const std::size_t most = static_cast<std::size_t>(std::max(0, decimals));
    return fromNumber(platform::readNumberEntry(text, {false, most}), most);
}

TradeEntry readPointsEntry(std::string_view text) {
    TradeEntry out;
    const platform::IntegerEntry entry = platform::readIntegerEntry(text);
    using platform::EntryFault;
    if (entry.ok() && std::to_string(*entry.value).size() <= kMaxDeviationDigits) {
        out.value = platform::Decimal::fromInt64(*entry.value);
        return out;
    }
    switch (entry.ok() ? EntryFault::TooLarge : entry.fault) {
    case EntryFault::TooLarge:
        out.refusal = {texts::kTooManyDigits, std::to_string(kMaxDeviationDigits)};
        break;
    // Points come whole: the texts say so.
    case EntryFault::Empty:
        out.refusal.key = texts::kIsEmpty92600;
        break;
    case EntryFault::Comma:
        out.refusal.key = texts::kHoldsAComma92601;
        break;
    case EntryFault::InnerBlank:
        out.refusal.key = texts::kHoldsSpaceInsideNumber92602;
        break;
    case EntryFault::NotANumber:
        out.refusal.key =
            platform::readNumberEntry(text, {true, {}}).ok() ? texts::kHoldsDecimals : texts::kNotWholeNumber;
        break;
    default:
        out.refusal.key = std::string(entryFaultKey(entry.fault));
        break;
    }
    return out;
}

std::string refusalWords(std::int64_t language, const EntryRefusal& refusal, std::string_view fieldKey) {
    if (!refusal.refused())
        return {};
    return fillPositional(languageText(language, refusal.key),
                          {languageText(language, fieldKey), refusal.limit});
}

bool keepsQuantityRules(const platform::Decimal& lots, const GroupInstruments* settings,
                        bool closesRemainder) {
    return !settings || !quantityBreach(lots.toDouble(), *settings, closesRemainder);
}

} // namespace tc::gui
