#pragma once
// What became of an order the ticket sent whose answer the line lost, told from a later sign-in's
// lists of open positions and pending orders, and whether the ticket is about to send that same order
// again. No Qt here.
#include "interfaces/orders.h"
#include "model/records/order.h"

#include <cstdint>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace tc::gui {

using OrderRecords = std::vector<std::shared_ptr<const Order>>;

// An order as the ticket sent it: its fields, every account it went to with its quantity (one for an
// order of one account), and the positions and pending orders listed on those accounts for its
// instrument when it went out, and when the line went before its answer: none of them is its own.
struct SentOrder {
    interfaces::OrderTicket ticket;
    std::vector<interfaces::AccountQuantity> accounts;
    std::set<std::string> listedBefore; // position and pending order ids
};

// The ids of the positions and pending orders the lists hold on those accounts for the instrument.
std::set<std::string> listedFor(std::string_view instrument,
                                std::span<const interfaces::AccountQuantity> accounts,
                                const OrderRecords& positions, const OrderRecords& pendingOrders);

// What the lists hold of one account's part of a sent order.
struct PartHeld {
    enum class By { Nothing, Position, PendingOrder };
    std::int32_t account = 0;
    By by = By::Nothing;
    std::string id;
};

// For each order (the oldest sent first), what the lists hold of each of its accounts' parts, in the
// order of its accounts. A limit or stop order's part is held by a pending order of its account,
// instrument, side, kind, quantity and price (not a take profit or stop loss of a position), or once
// filled by a position opened at a price it fills at (a buy limit at or below its price, a sell limit
// at or above, a buy stop at or above, a sell stop at or below); a market order's by a position
// alone: of its account, instrument, side and opening quantity, opened by an order of its kind where
// the list says which. A record listed when the order went out is never its own, nor one in `taken`,
// nor a position the fill of such a pending order opened, and one record holds one part at most: the
// part sent first takes the record the server made first (it numbers them in turn), so two like
// orders lost together are told apart by how many records the lists hold.
std::vector<std::vector<PartHeld>> heldParts(std::span<const SentOrder> orders, const OrderRecords& positions,
                                             const OrderRecords& pendingOrders,
                                             const std::set<std::string>& taken = {});

// Whether the lists hold every part, some of them or none.
enum class Held { Nothing, Some, All };
Held heldOf(std::span<const PartHeld> parts);

// Whether `ticket` over `accounts` (empty: the ticket's own account and quantity) is the order sent:
// the same instrument, side and kind, the same accounts with the same quantities, and for a limit or
// stop order the same price. Its take profit, stop loss and deviation do not make it another order.
bool sameOrder(const SentOrder& sent, const interfaces::OrderTicket& ticket,
               std::span<const interfaces::AccountQuantity> accounts);

// The accounts an order goes to with their quantities: `accounts` of an order for several, else the
// ticket's own account and quantity.
std::vector<interfaces::AccountQuantity> orderParts(const interfaces::OrderTicket& ticket,
                                                    std::span<const interfaces::AccountQuantity> accounts);

} // namespace tc::gui
