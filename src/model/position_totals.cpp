#include "model/position_totals.h"

#include "model/position_arithmetic.h"
#include "model/records/order.h"

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
    if (item && settings)
        addFinite(weights.margin, positionMargin(position, settings, *item));
    return weights;
}

void addWeights(OpenPositionTotals& totals, const PositionWeights& weights) {
    totals.quantity = totals.quantity + weights.quantity;
    totals.margin += weights.margin;
}

void addFigures(OpenPositionTotals& totals, const Order& position) {
    addFinite(totals.profitLoss, position.UnrealisedPL);
    addFinite(totals.commission, positionCommission(position));
    addFinite(totals.storage, position.Storage);
}

SettledTotals settledTotals(const OrderView& settled) {
    SettledTotals totals;
    for (const auto& row : settled) {
        if (!row)
            continue;
        totals.quantity = totals.quantity + row->SettledQty;
        addFinite(totals.profitLoss, row->SettledPL);
        addFinite(totals.commission, row->Commission);
        addFinite(totals.storage, row->Storage);
        addFinite(totals.otherCharges, row->OtherCharges);
    }
    return totals;
}

} // namespace tc
