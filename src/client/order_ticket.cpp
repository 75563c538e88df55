#include "client/order_ticket.h"

namespace tc {

namespace {

std::int32_t tradingModeOf(interfaces::Side side) {
    return side == interfaces::Side::Buy ? 0 : 1;
}

std::int32_t orderTypeOf(interfaces::OrderKind kind) {
    switch (kind) {
    case interfaces::OrderKind::Market:
        return 1;
    case interfaces::OrderKind::Limit:
        return 2;
    case interfaces::OrderKind::Stop:
        return 3;
    }
    return 0;
}

std::int32_t deliveryModeOf(interfaces::Delivery delivery) {
    switch (delivery) {
    case interfaces::Delivery::Regular:
        return 1;
    case interfaces::Delivery::Intraday:
        return 2;
    case interfaces::Delivery::Btst:
        return 3;
    }
    return 0;
}

std::int32_t timeInForceOf(interfaces::TimeInForce timeInForce) {
    switch (timeInForce) {
    case interfaces::TimeInForce::GoodTillCancelled:
        return 1;
    case interfaces::TimeInForce::GoodTillFriday:
        return 2;
    case interfaces::TimeInForce::Day:
        return 5;
    }
    return 0;
}

bool isNumber(const std::optional<platform::Decimal>& value) {
    return !value || !value->isNaN();
}

} // namespace

std::string priceText(const platform::Decimal& value, int decimalPlaces) {
    std::string text = value.toString();
    if (value.isNaN() || decimalPlaces <= 0)
        return text;
    const std::size_t point = text.find('.');
    const int digits = point == std::string::npos ? 0 : static_cast<int>(text.size() - point - 1);
    if (digits >= decimalPlaces)
        return text;
    if (point == std::string::npos)
        text += '.';
    text.append(static_cast<std::size_t>(decimalPlaces - digits), '0');
    return text;
}

std::optional<std::string_view> ticketFault(const interfaces::OrderTicket& ticket) {
    if (ticket.quantity.isNaN())
        return "the quantity is not a number";
    if (!isNumber(ticket.price) || !isNumber(ticket.takeProfit) || !isNumber(ticket.stopLoss))
        return "a price is not a number";
    if (ticket.kind != interfaces::OrderKind::Market && !ticket.price)
        return "a limit or stop order needs its price";
    return std::nullopt;
}

OrderInfo orderInfoOf(const interfaces::OrderTicket& ticket, int decimalPlaces) {
    OrderInfo info;
    info.itemCode = ticket.instrument;
    info.accountNo = ticket.account;
    info.tradingMode = tradingModeOf(ticket.side);
    info.orderType = orderTypeOf(ticket.kind);
    info.deliveryMode = deliveryModeOf(ticket.delivery);
    info.timeinForce = timeInForceOf(ticket.timeInForce);
    info.quantity = ticket.quantity.toString();
    if (ticket.kind != interfaces::OrderKind::Market && ticket.price)
        info.price = priceText(*ticket.price, decimalPlaces);
    if (ticket.takeProfit) {
        info.limitPrice = priceText(*ticket.takeProfit, decimalPlaces);
        info.TakeProfitEnabled = true;
    }
    if (ticket.stopLoss) {
        info.stopPrice = priceText(*ticket.stopLoss, decimalPlaces);
        info.StopLossEnabled = true;
    }
    info.deviation = ticket.deviation.value_or(-1);
    return info;
}

} // namespace tc
