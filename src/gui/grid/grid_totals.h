#pragma once
// Totals and figures the grids show beside their rows, worked out in one pass over the session's
// lists when the table refreshes, never while a cell is painted: the open positions' totals bar,
// the settled positions' status line and the funding buttons; the accounts' figures are the
// model's (model/account_figures.h). No Qt here.
#include "model/session_queries.h"
#include "platform/decimal.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tc {
class AccountDetails;
class Order;
struct SessionModel;
} // namespace tc

namespace tc::gui {

class RowRecordsCache;
struct RowRecords;

struct OpenPositionTotals {
    platform::Decimal quantity; // exact: a sum of lots is never rounded
    double profitLoss = 0;
    double commission = 0;
    double margin = 0; // per-lot margin times remaining lots, of every position with settings
    double storage = 0;
};
OpenPositionTotals openPositionTotals(const SessionModel& model, const OrderView& positions);
// One position's lots and margin: they stand until its record or its records change, while its
// profit and loss moves every second.
struct PositionWeights {
    platform::Decimal quantity;
    double margin = 0; // 0 without the instrument or the group's settings
};
PositionWeights positionWeights(const Order& position, const RowRecords& records);
// The same with the lookups of a pass that already ran over these positions.
OpenPositionTotals openPositionTotals(RowRecordsCache& records, const OrderView& positions);

// One caption and value of a totals bar.
struct TotalsEntry {
    std::string_view key; // language key of the caption
    std::string value;
    friend bool operator==(const TotalsEntry&, const TotalsEntry&) = default;
};
// Quantity (kQuantity), profit and loss (kPL), commission (kCommission), margin (kMargin) and storage
// (kStorage); amounts with grouping.
std::array<TotalsEntry, 5> openPositionTotalsBar(const OpenPositionTotals& totals);

struct SettledTotals {
    platform::Decimal quantity;
    double profitLoss = 0;
    double commission = 0;
    double storage = 0;
    double otherCharges = 0;
};
SettledTotals settledTotals(const OrderView& settled);
// "Quantity : q", "P/L : p" and so on for quantity, profit and loss, commission, storage and
// other charges, each segment followed by five spaces.
std::string settledStatusLine(const SettledTotals& totals, std::int64_t language);

// Which funding request buttons the accounts grid shows: deposit when some account allows deposit
// requests (setting 0x10), withdrawal when some allows withdrawals (0x20).
struct RequestButtons {
    bool deposit = false;
    bool withdrawal = false;
};
RequestButtons requestButtons(const std::vector<std::shared_ptr<const AccountDetails>>& accounts);

} // namespace tc::gui
