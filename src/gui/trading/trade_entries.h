#pragma once
// The numbers typed into the trading windows (lots, prices, deviation points), read whole by the one
// number rule or refused with the reason a person reads, so that no window works a figure from, or
// sends, a number other than the one typed. No Qt.
#include "gui/controls/input_rules.h"
#include "platform/decimal.h"
#include "platform/number_entry.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tc {
struct GroupInstruments;
}

namespace tc::gui {

struct TradeEntry {
    std::optional<platform::Decimal> value; // set when the text reads
    Refusal refusal;
    bool ok() const { return value.has_value(); }
};

// Lots: a plain number, no sign, with at most the decimals a decimal of 38 digits still holds beside
// the most whole digits an entry takes; past them the digits typed would be rounded away unseen.
inline constexpr std::size_t kMaxQuantityDecimals =
    static_cast<std::size_t>(platform::Decimal::kMaxDigits) - platform::kMaxEntryWholeDigits;
TradeEntry readQuantityEntry(std::string_view text);
// A price with at most the instrument's decimals, no sign.
TradeEntry readPriceEntry(std::string_view text, std::int32_t decimals);
// A price deviation: whole points of at most five digits.
inline constexpr std::size_t kMaxDeviationDigits = 5;
TradeEntry readPointsEntry(std::string_view text);

// Whether `lots` keep the group's minimum, step and maximum (the order rules' own test; a close of the
// whole remainder may go below the minimum and off the step). Without settings nothing is known to
// break them.
bool keepsQuantityRules(const platform::Decimal& lots, const GroupInstruments* settings,
                        bool closesRemainder = false);
// Why the order rules refuse `lots` before asking the server, in their words: none above 0, then the
// group's maximum, minimum and step ({0} the limit, no field named); none when the lots are taken.
Refusal quantityRuleRefusal(const platform::Decimal& lots, const GroupInstruments* settings,
                            bool closesRemainder = false);

} // namespace tc::gui
