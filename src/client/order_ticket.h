#pragma once
// The seam's order ticket as the order requests take it: the wire's codes for side, kind, delivery and
// time in force, quantities in plain decimal text and prices written to the instrument's decimals.
#include "interfaces/orders.h"
#include "model/records/order.h"

#include <optional>
#include <string>
#include <string_view>

namespace tc {

// The decimal's plain text with at least `decimalPlaces` digits after the point (never fewer than it
// has: no value is rounded here).
std::string priceText(const platform::Decimal& value, int decimalPlaces);

// Why the ticket cannot be sent as it stands (a number that is not one), or nullopt.
std::optional<std::string_view> ticketFault(const interfaces::OrderTicket& ticket);

// The request of a ticket; `decimalPlaces` are the instrument's.
OrderInfo orderInfoOf(const interfaces::OrderTicket& ticket, int decimalPlaces);

} // namespace tc
