#pragma once
// The numbers typed into the trading windows (lots, prices, deviation points), read whole by the one
// number rule or refused with the reason a person reads, so that no window works a figure from, or
// sends, a number other than the one typed. No Qt.
#include "platform/decimal.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tc {
struct GroupInstruments;
}

namespace tc::gui {

// Why a field's text is no number the field takes: a language key whose {0} is the field's name and
// {1} `limit`. No key: the text reads.
struct EntryRefusal {
    std::string key;
    std::string limit;
    bool refused() const { return !key.empty(); }
};

struct TradeEntry {
    std::optional<platform::Decimal> value; // set when the text reads
    EntryRefusal refusal;
    bool ok() const { return value.has_value(); }
};

// Lots: a plain number, no sign.
TradeEntry readQuantityEntry(std::string_view text);
// A price with at most the instrument's decimals, no sign.
TradeEntry readPriceEntry(std::string_view text, std::int32_t decimals);
// A price deviation: whole points of at most five digits.
inline constexpr std::size_t kMaxDeviationDigits = 5;
TradeEntry readPointsEntry(std::string_view text);

// The refusal in the language, the field's name (the text of `fieldKey`) filling {0}.
std::string refusalWords(std::int64_t language, const EntryRefusal& refusal, std::string_view fieldKey);

// Whether `lots` keep the group's minimum, step and maximum (the order rules' own test; a close of the
// whole remainder may go below the minimum and off the step). Without settings nothing is known to
// break them.
bool keepsQuantityRules(const platform::Decimal& lots, const GroupInstruments* settings,
                        bool closesRemainder = false);

} // namespace tc::gui
