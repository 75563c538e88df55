#pragma once
// The totals the position grids show beside their rows: the open positions' lots, profit and loss,
// commission, margin and storage, and the settled positions' lots, profit and loss and charges.
// Worked out here so that the grids only sum what a refresh read and format it.
//
// Totals are one account's: each account keeps its own currency, so a sum over the rows of several
// would add dollars to euros. A record counts towards the account its AccountNumber names, read as
// the account's own figures read it (accountIdOfNumber), so the totals agree with the status bar.
#include "model/session_queries.h"
#include "platform/decimal.h"

#include <cstdint>

namespace tc {

struct GroupInstruments;
class ItemDetails;
class Order;

// Figures the records hold as decimals are summed as decimals, exactly; those worked out in doubles
// (profit and loss, commission, margin) in doubles.
struct OpenPositionTotals {
    std::int32_t account = 0;   // whose positions; 0 while no account is chosen (nothing counts)
    platform::Decimal quantity; // exact: a sum of lots is never rounded
    double profitLoss = 0;
    double commission = 0;
    double margin = 0; // per-lot margin times remaining lots, of every position with settings
    // Every position's margin can be worked out here. A position on an instrument the login's lists
    // do not carry holds margin only the server knows: the account's used margin then stands for the
    // sum (marginAsTheServerHoldsIt).
    bool marginKnown = true;
    platform::Decimal storage;
    // The login's open positions have come (else every sum is of a list not yet there), and every
    // position summed is valued (else the profit and loss is not worked out yet).
    bool listed = true;
    bool valued = true;
};

// One position's lots and margin: they stand until its record or its records change, while its
// profit and loss moves every second.
struct PositionWeights {
    platform::Decimal quantity;
    double margin = 0;       // 0 without the instrument or the group's settings
    bool marginKnown = true; // false without the instrument
};
PositionWeights positionWeights(const Order& position, const ItemDetails* item,
                                const GroupInstruments* settings);

// Adds a position's lots and margin.
void addWeights(OpenPositionTotals& totals, const PositionWeights& weights);
// The account's used margin as the server sent it for the totals' margin, when some position's
// cannot be worked out here: a sum without it would read as the account's margin, short of it.
void marginAsTheServerHoldsIt(OpenPositionTotals& totals, const SessionModel& model);
// Adds a position's profit and loss, commission and storage; a figure that is not a number would
// turn the whole sum into one, so it adds nothing. A position not valued yet leaves the totals
// unvalued.
void addFigures(OpenPositionTotals& totals, const Order& position);

struct SettledTotals {
    std::int32_t account = 0; // whose settlements, as OpenPositionTotals
    platform::Decimal quantity;
    platform::Decimal profitLoss;
    double commission = 0;
    platform::Decimal storage;
    platform::Decimal otherCharges;
};
// Adds one settlement's lots, result and charges.
void addSettlement(SettledTotals& totals, const Order& settled);
// The settlements of `account` in the list.
SettledTotals settledTotals(const OrderView& settled, std::int32_t account);

} // namespace tc
