#pragma once
// Totals and figures the grids show beside their rows, read in one pass over the session's lists when
// the table refreshes, never while a cell is painted: the open positions' totals bar, the settled
// positions' status line and the funding buttons. The figures are the model's
// (model/position_totals.h, model/account_figures.h); here they are looked up and formatted. No Qt.
#include "model/position_totals.h"
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

struct RowRecords;

// The totals of `account`'s open positions in the session's list, their records looked up once.
OpenPositionTotals openPositionTotals(const SessionModel& model, const OrderView& positions,
                                      std::int32_t account);
// One position's lots and margin with the records a row names.
PositionWeights positionWeights(const Order& position, const RowRecords& records);

// One caption and value of a totals bar.
struct TotalsEntry {
    std::string_view key; // language key of the caption
    std::string value;
    friend bool operator==(const TotalsEntry&, const TotalsEntry&) = default;
};
// Whose totals they are (kTotalsOfAccount: the account's number, empty while none is chosen), then
// quantity (kQuantity), profit and loss (kPL), commission (kCommission), margin (kMargin) and storage
// (kStorage); amounts with grouping. Each is blank before the login's positions have come, and the
// profit and loss until every position summed is valued.
inline constexpr std::size_t kOpenTotalsEntries = 6;
std::array<TotalsEntry, kOpenTotalsEntries> openPositionTotalsBar(const OpenPositionTotals& totals);

// "Totals of account : a", "Quantity : q", "P/L : p" and so on for quantity, profit and loss,
// commission, storage and other charges, each segment followed by five spaces.
std::string settledStatusLine(const SettledTotals& totals, std::int64_t language);

// Which funding request buttons the accounts grid shows: deposit when some account allows deposit
// requests (setting 0x10), withdrawal when some allows withdrawals (0x20).
struct RequestButtons {
    bool deposit = false;
    bool withdrawal = false;
};
RequestButtons requestButtons(const std::vector<std::shared_ptr<const AccountDetails>>& accounts);

} // namespace tc::gui
