#pragma once
// The totals the position grids show beside their rows: the open positions' lots, profit and loss,
// commission, margin and storage, and the settled positions' lots, profit and loss and charges.
// Worked out here so that the grids only sum what a refresh read and format it.
#include "model/session_queries.h"
#include "platform/decimal.h"

namespace tc {

struct GroupInstruments;
class ItemDetails;
class Order;

// Figures the records hold as decimals are summed as decimals, exactly; those worked out in doubles
// (profit and loss, commission, margin) in doubles.
struct OpenPositionTotals {
    platform::Decimal quantity; // exact: a sum of lots is never rounded
    double profitLoss = 0;
    double commission = 0;
    double margin = 0; // per-lot margin times remaining lots, of every position with settings
    platform::Decimal storage;
};

// One position's lots and margin: they stand until its record or its records change, while its
// profit and loss moves every second.
struct PositionWeights {
    platform::Decimal quantity;
    double margin = 0; // 0 without the instrument or the group's settings
};
PositionWeights positionWeights(const Order& position, const ItemDetails* item,
                                const GroupInstruments* settings);

// Adds a position's lots and margin.
void addWeights(OpenPositionTotals& totals, const PositionWeights& weights);
// Adds a position's profit and loss, commission and storage; a figure that is not a number would
// turn the whole sum into one, so it adds nothing.
void addFigures(OpenPositionTotals& totals, const Order& position);

struct SettledTotals {
    platform::Decimal quantity;
    platform::Decimal profitLoss;
    double commission = 0;
    platform::Decimal storage;
    platform::Decimal otherCharges;
};
SettledTotals settledTotals(const OrderView& settled);

} // namespace tc
