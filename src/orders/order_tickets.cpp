#include "orders/order_tickets.h"

#include "model/records/account_details.h"
#include "model/records/group_details.h"
#include "model/records/item_details.h"
#include "orders/order_manager.h"
#include "orders/order_requests.h"
#include "platform/decimal_text.h"

#include <vector>

namespace tc {

namespace {

bool isNumber(const std::optional<platform::Decimal>& value) {
    return !value || !value->isNaN();
}

// The order rules write a limit as "<= 1.2345" or ">= 1.2345".
interfaces::PriceLimit limitOf(std::string_view signedText) {
    interfaces::PriceLimit limit;
    if (signedText.size() < 3)
        return limit;
    limit.atMost = signedText.substr(0, 2) == "<=";
    limit.price = std::string(signedText.substr(3));
    return limit;
}

} // namespace

OrderTickets::OrderTickets(const OrderManager& manager, OrderRequests& requests)
    : manager_(manager), lookup_(manager.lookup()), requests_(requests) {}

std::optional<std::string_view> ticketFault(const interfaces::OrderTicket& ticket) {
    if (ticket.quantity.isNaN())
        return "the quantity is not a number";
    if (!isNumber(ticket.price) || !isNumber(ticket.takeProfit) || !isNumber(ticket.stopLoss))
        return "a price is not a number";
    if (ticket.kind != OrderKind::Market && !ticket.price)
        return "a limit or stop order needs its price";
    return std::nullopt;
}

OrderInfo orderInfoOf(const interfaces::OrderTicket& ticket) {
    OrderInfo info;
    info.itemCode = ticket.instrument;
    info.accountNo = ticket.account;
    info.side = ticket.side;
    info.kind = ticket.kind;
    info.delivery = ticket.delivery;
    info.timeInForce = ticket.timeInForce;
    info.quantity = ticket.quantity;
    if (ticket.kind != OrderKind::Market)
        info.price = ticket.price;
    info.limitPrice = ticket.takeProfit;
    info.TakeProfitEnabled = ticket.takeProfit.has_value();
    info.stopPrice = ticket.stopLoss;
    info.StopLossEnabled = ticket.stopLoss.has_value();
    info.deviation = ticket.deviation.value_or(-1);
    return info;
}

OrderAnswer OrderTickets::check(const interfaces::OrderTicket& ticket) const {
    if (const auto fault = ticketFault(ticket))
        return requests_.NotSendable(*fault);
    return requests_.ValidationsBeforeOrderPlacing(orderInfoOf(ticket));
}

OrderAnswer OrderTickets::place(const interfaces::OrderTicket& ticket) {
    if (const auto fault = ticketFault(ticket))
        return requests_.NotSendable(*fault);
    return requests_.PlaceOrder(orderInfoOf(ticket));
}

OrderAnswer OrderTickets::placeForAccounts(const interfaces::OrderTicket& ticket,
                                           std::span<const interfaces::AccountQuantity> accounts) {
    for (const auto& a : accounts)
        if (a.quantity.isNaN())
            return requests_.NotSendable("the quantity is not a number");
    interfaces::OrderTicket shared = ticket;
    shared.quantity = platform::Decimal(); // each account has its own
    if (const auto fault = ticketFault(shared))
        return requests_.NotSendable(*fault);
    OrderInfo info = orderInfoOf(shared);
    info.quantity.reset();
    info.accountNo = 0;
    info.orderDetails = requests_.MultiAccountDetails(accounts);
    return requests_.CreateNewBulkOrderMessage(info);
}

interfaces::PriceLimit OrderTickets::entryPriceLimit(const interfaces::OrderTicket& ticket) const {
    if (!knowsSettings(ticket))
        return {};
    return limitOf(manager_.OrderTypeChange(codeOf(ticket.kind), codeOf(ticket.side), ticket.instrument,
                                            ticket.account, true));
}

interfaces::PriceLimit OrderTickets::takeProfitLimit(const interfaces::OrderTicket& ticket) const {
    return protectiveLimit(ticket, true);
}

interfaces::PriceLimit OrderTickets::stopLossLimit(const interfaces::OrderTicket& ticket) const {
    return protectiveLimit(ticket, false);
}

// The rules read a missing record as zeros: no limit is given for it.
bool OrderTickets::knowsSettings(const interfaces::OrderTicket& ticket) const {
    const OrderRecords r = lookup_.recordsFor(ticket.instrument, platform::decimalText(ticket.account));
    return r.item && r.settings;
}

interfaces::PriceLimit OrderTickets::protectiveLimit(const interfaces::OrderTicket& ticket,
                                                     bool takeProfit) const {
    if (!knowsSettings(ticket))
        return {};
    // The rules take the side of the order that protects the position: selling when the ticket buys.
    const std::string entry = ticket.price && !ticket.price->isNaN() ? ticket.price->toString() : "";
    return limitOf(manager_.UpdateTakeProfitAndStopLoss(codeOf(opposite(ticket.side)), ticket.instrument,
                                                        takeProfit, ticket.account, codeOf(ticket.kind),
                                                        entry, true));
}

} // namespace tc
