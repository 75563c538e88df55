#pragma once
// The account pie's numbers, read from the session without changing it: for the current account,
// the margin each instrument holds (the session's hedge-margin figures, which net the bought
// against the sold lots by the account's hedge mode), or the floating profit and loss of each
// instrument in the account currency, worked out from the live quote into the pie's own copy.
// Free of Qt.
#include "charts/pie_data.h"
#include "model/session_queries.h"

#include <cstdint>
#include <vector>

namespace tc {
struct SessionModel;
}

namespace tc::gui {

enum class PieMode { ProfitLoss, Margin };

// One holding per open position of `accountId`, in the order given; for the margin, one per
// instrument (the first position's place) with the session's figure for the current account.
std::vector<charts::PieHolding> pieHoldings(const SessionModel& model, const OrderView& positions,
                                            std::int32_t accountId, PieMode mode);

// The slices of the account pie: the margin pie's shares of equity (none when the account is not
// loaded or has no equity to share), or the profit-and-loss pie's sums.
std::vector<charts::PieSlice> accountPieSlices(const SessionModel& model, const OrderView& positions,
                                               std::int32_t accountId, PieMode mode);

} // namespace tc::gui
