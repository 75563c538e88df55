#include "gui/charts/account_pie_data.h"

#include "gui/market/grid_cells.h"
#include "model/position_arithmetic.h"
#include "model/records/account_details.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "model/session_model.h"
#include "model/session_model_lookup.h"
#include "platform/lenient.h"

#include <set>
#include <string>

namespace tc::gui {

std::vector<charts::PieHolding> pieHoldings(const SessionModel& model, const OrderView& positions,
                                            std::int32_t accountId, PieMode mode) {
    std::vector<charts::PieHolding> out;
    const SessionModelLookup lookup(model);
    std::set<std::string, std::less<>> instruments;
    for (const auto& position : positions) {
        if (!position || platform::lenientReal(position->AccountNumber) != accountId)
            continue;
        const RowRecords row = recordsOf(model, *position);
        charts::PieHolding holding{position->ItemCode, row.item ? row.item->InstrumentId : 0, 0};
        if (mode == PieMode::Margin) {
            // The instrument's figure under the hedge rule covers all its positions: once.
            if (!instruments.insert(position->ItemCode).second)
                continue;
            holding.amount = hedgeMarginOfInstrument(model, position->ItemCode);
        } else if (const auto pl = floatingPLOfPosition(*position, row.item, row.account)) {
            // The pie's own figure; the position's record is the core's to refresh.
            holding.amount = convertIntoAccountCurrency(*pl, *position, lookup);
        } else {
            holding.amount = position->UnrealisedPL; // an account in Equity Hit: the server's figure
        }
        out.push_back(std::move(holding));
    }
    return out;
}

std::vector<charts::PieSlice> accountPieSlices(const SessionModel& model, const OrderView& positions,
                                               std::int32_t accountId, PieMode mode) {
    const auto holdings = pieHoldings(model, positions, accountId, mode);
    if (mode == PieMode::ProfitLoss)
        return charts::profitLossShares(holdings);
    const auto account = SessionModelLookup(model).accountForId(std::to_string(accountId));
    if (!account)
        return {};
    return charts::equityShares(holdings, account->Equity, account->AvailableMargin,
                                account->tradingStatus == AccountDetails::kStatusEquityHit);
}

} // namespace tc::gui
