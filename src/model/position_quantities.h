#pragma once
// The quantities and amounts the position sheets show, worked out from the records so that the
// windows only format them: what a position may still close, the contract value of a quantity (the
// close and modify sheets' total), a delivery's total cost and initial margin, and the offset
// sheet's totals and quantity steps; and the group's quantity rules an order is held to.
#include "model/session_queries.h"
#include "platform/decimal.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tc {

struct GroupInstruments;
class ItemDetails;
class Order;

// The lots of the pending orders that close the position (LiquidateOrderNumber equal to its id).
platform::Decimal closingQuantity(const Order& position, const OrderView& pendingOrders);
// What may still be closed: the remaining quantity less the lots pending orders already close;
// never below 0.
platform::Decimal closableQuantity(const Order& position, const OrderView& pendingOrders);

// The first of the group's quantity rules `quantity` lots break, and the limit it sets: above the
// maximum, below the minimum, off the step; nullopt when the quantity keeps them. Closing a position's
// whole remainder may go below the minimum and off the step. Worked in exact decimals: a double
// holds neither 50.000000000000000001 nor 0.5000001 off a step of 0.01 apart from their neighbours,
// and the server refuses what the step does not divide.
struct QuantityBreach {
    enum class Rule : std::uint8_t { AboveMaximum, BelowMinimum, OffStep };
    Rule rule;
    platform::Decimal limit;
};
std::optional<QuantityBreach> quantityBreach(const platform::Decimal& quantity,
                                             const GroupInstruments& settings, bool closesRemainder = false);

// What `quantity` lots come to: quantity × contract size.
double contractValue(double quantity, double contractSize);
// A delivery's total cost: quantity × contract size × price, multiplied as doubles.
double deliveryTotalCost(const Order& position, const ItemDetails* item);
// A delivery's initial margin: the position's margin for one lot times its order quantity, rounded
// plain to whole units; nullopt without an instrument, a margin for one lot, or a number.
std::optional<platform::Decimal> deliveryMargin(const Order& position, const GroupInstruments* settings,
                                                const ItemDetails* item);

// The offset sheet's totals: the quantities taken from the opposite positions, summed, and what the
// position keeps once they are offset.
struct OffsetTotals {
    platform::Decimal offset;
    platform::Decimal remaining;
};
OffsetTotals offsetTotals(const platform::Decimal& positionQuantity,
                          std::span<const platform::Decimal> taken);
// The quantities one opposite position of `total` lots may give: 0, step, 2 × step, ... below the
// total, then the total; 0 and the total without a step. At most `cap` entries before the total.
std::vector<platform::Decimal> offsetQuantitySteps(const platform::Decimal& total,
                                                   const platform::Decimal& step, std::size_t cap);

} // namespace tc
