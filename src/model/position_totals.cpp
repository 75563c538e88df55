#include "model/position_totals.h"

#include "model/account_figures.h"
#include "model/collection_keys.h"
#include "model/position_arithmetic.h"
#include "model/records/account_details.h"
#include "model/records/order.h"
#include "model/session_model.h"

#include <cmath>

namespace tc {
namespace {

void addFinite(double& sum, double value) {
    if (std::isfinite(value))
        sum += value;
}

void addFinite(platform::Decimal& sum, const platform::Decimal& value) {
    if (!value.isNaN())
        sum = sum + value;
}

} // namespace

PositionWeights positionWeights(const Order& position, const ItemDetails* item,
                                const GroupInstruments* settings) {
    PositionWeights weights;
    weights.quantity = position.RemainingQty;
    weights.marginKnown = item != nullptr;
    if (item && settings)
        addFinite(weights.margin, positionMargin(position, settings, *item));
    return weights;
}

void addWeights(OpenPositionTotals& totals, const PositionWeights& weights) {
    totals.quantity = totals.quantity + weights.quantity;
    totals.margin += weights.margin;
    totals.marginKnown = totals.marginKnown && weights.marginKnown;
}

void marginAsTheServerHoldsIt(OpenPositionTotals& totals, const SessionModel& model) {
    if (totals.marginKnown)
        return;
    const auto* held = model.AccountDetailCollection.get(sessionKey(totals.account));
    if (held && *held)
        totals.margin = (*held)->UsedMargin.toDouble();
}

void addFigures(OpenPositionTotals& totals, const Order& position) {
    totals.valued = totals.valued && position.UnrealisedPLValued;
    addFinite(totals.profitLoss, position.UnrealisedPL);
    addFinite(totals.commission, positionCommission(position));
    addFinite(totals.storage, position.Storage);
}

void addSettlement(SettledTotals& totals, const Order& settled) {
    totals.quantity = totals.quantity + settled.SettledQty;
    addFinite(totals.profitLoss, settled.SettledPL);
    addFinite(totals.commission, settled.Commission);
    addFinite(totals.storage, settled.Storage);
    addFinite(totals.otherCharges, settled.OtherCharges);
}

SettledTotals settledTotals(const OrderView& settled, std::int32_t account) {
    SettledTotals totals;
    totals.account = account;
    for (const auto& row : settled)
        if (row && accountIdOfNumber(row->AccountNumber) == account)
            addSettlement(totals, *row);
    return totals;
}

} // namespace tc
