#pragma once
// The seam's order ticket as the order layer takes it: checked, made into the typed request and
// placed, alone or for several accounts, and the price limits the ticket shows beside its fields.
#include "interfaces/orders.h"
#include "model/records/order.h"
#include "orders/order_answer.h"

#include <optional>
#include <span>
#include <string_view>

namespace tc {

class OrderManager;
class OrderRequests;
class SessionModelLookup;

// Why the ticket cannot be sent as it stands (a number that is not one), or nullopt.
std::optional<std::string_view> ticketFault(const interfaces::OrderTicket& ticket);

// The request of a ticket: its choices and numbers as they are (a market order's price is not read).
OrderInfo orderInfoOf(const interfaces::OrderTicket& ticket);

class OrderTickets {
public:
    // The records are those the manager's rules read.
    OrderTickets(const OrderManager& manager, OrderRequests& requests);

    // Validates without sending.
    OrderAnswer check(const interfaces::OrderTicket& ticket) const;
    OrderAnswer place(const interfaces::OrderTicket& ticket);
    // One order for several accounts, each with its own quantity (the ticket's account and quantity are
    // not read).
    OrderAnswer placeForAccounts(const interfaces::OrderTicket& ticket,
                                 std::span<const interfaces::AccountQuantity> accounts);

    // The limits of the ticket's prices for its account, instrument, side and kind; none while the
    // instrument, the account or its group's settings for the instrument are unknown.
    interfaces::PriceLimit entryPriceLimit(const interfaces::OrderTicket& ticket) const;
    interfaces::PriceLimit takeProfitLimit(const interfaces::OrderTicket& ticket) const;
    interfaces::PriceLimit stopLossLimit(const interfaces::OrderTicket& ticket) const;

private:
    bool knowsSettings(const interfaces::OrderTicket& ticket) const;
    interfaces::PriceLimit protectiveLimit(const interfaces::OrderTicket& ticket, bool takeProfit) const;

    const OrderManager& manager_;
    const SessionModelLookup& lookup_;
    OrderRequests& requests_;
};

} // namespace tc
