// The order ticket of the seam turned into the order request the core sends: every choice to its wire
// code, quantities as plain decimals, prices to the instrument's decimals without rounding, brackets
// enabled by being given.
#include "client/order_ticket.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

using namespace tc;
using interfaces::Decimal;

Decimal dec(std::string_view text) {
    return *Decimal::fromString(text);
}

TEST(OrderTicket, PricesKeepTheirDigitsAndReachTheInstrumentsDecimals) {
    EXPECT_EQ(priceText(dec("2000"), 2), "2000.00");
    EXPECT_EQ(priceText(dec("1.083"), 5), "1.08300");
    EXPECT_EQ(priceText(dec("1.083004"), 5), "1.083004"); // never rounded here: validation judges it
    EXPECT_EQ(priceText(dec("150.1"), 0), "150.1");
    EXPECT_EQ(priceText(dec("-0.5"), 2), "-0.50");
    EXPECT_EQ(priceText(Decimal::notANumber(), 2), "NaN");
}

TEST(OrderTicket, EveryChoiceBecomesItsWireCode) {
    using interfaces::Delivery, interfaces::OrderKind, interfaces::Side, interfaces::TimeInForce;
    interfaces::OrderTicket ticket;
    ticket.instrument = "EURUSD";
    ticket.account = 20001;
    ticket.quantity = dec("0.50");
    const auto codes = [&] {
        const OrderInfo info = orderInfoOf(ticket, 5);
        return std::tuple(info.tradingMode, info.orderType, info.deliveryMode, info.timeinForce);
    };
    EXPECT_EQ(codes(), std::tuple(0, 1, 1, 1));
    ticket.side = Side::Sell;
    ticket.kind = OrderKind::Limit;
    ticket.delivery = Delivery::Intraday;
    ticket.timeInForce = TimeInForce::GoodTillFriday;
    ticket.price = dec("1.08");
    EXPECT_EQ(codes(), std::tuple(1, 2, 2, 2));
    ticket.kind = OrderKind::Stop;
    ticket.delivery = Delivery::Btst;
    ticket.timeInForce = TimeInForce::Day;
    EXPECT_EQ(codes(), std::tuple(1, 3, 3, 5));

    const OrderInfo info = orderInfoOf(ticket, 5);
    EXPECT_EQ(info.itemCode, "EURUSD");
    EXPECT_EQ(info.accountNo, 20001);
    EXPECT_EQ(info.quantity, "0.5");
    EXPECT_EQ(info.price, "1.08000");
    EXPECT_EQ(info.deviation, -1); // none given: any
    EXPECT_FALSE(info.TakeProfitEnabled || info.StopLossEnabled);
    EXPECT_TRUE(info.limitPrice.empty() && info.stopPrice.empty());
}

TEST(OrderTicket, BracketsAreEnabledByBeingGivenAndAMarketOrderTakesNoPrice) {
    interfaces::OrderTicket ticket;
    ticket.instrument = "XAUUSD";
    ticket.quantity = dec("1");
    ticket.price = dec("1999"); // ignored: a market order takes the live quote
    ticket.takeProfit = dec("2010.5");
    ticket.deviation = 7;
    OrderInfo info = orderInfoOf(ticket, 2);
    EXPECT_TRUE(info.price.empty());
    EXPECT_TRUE(info.TakeProfitEnabled);
    EXPECT_EQ(info.limitPrice, "2010.50");
    EXPECT_FALSE(info.StopLossEnabled);
    EXPECT_TRUE(info.stopPrice.empty());
    EXPECT_EQ(info.deviation, 7);
    ticket.stopLoss = dec("1980");
    info = orderInfoOf(ticket, 2);
    EXPECT_TRUE(info.StopLossEnabled);
    EXPECT_EQ(info.stopPrice, "1980.00");
}

TEST(OrderTicket, NumbersThatAreNotAndEntryOrdersWithoutAPriceAreFaults) {
    interfaces::OrderTicket ticket;
    ticket.quantity = dec("1");
    EXPECT_FALSE(ticketFault(ticket));
    ticket.quantity = Decimal::notANumber();
    EXPECT_TRUE(ticketFault(ticket));
    ticket.quantity = dec("1");
    ticket.stopLoss = Decimal::notANumber();
    EXPECT_TRUE(ticketFault(ticket));
    ticket.stopLoss.reset();
    ticket.kind = interfaces::OrderKind::Limit;
    EXPECT_TRUE(ticketFault(ticket));
    ticket.price = dec("1.1");
    EXPECT_FALSE(ticketFault(ticket));
}

} // namespace
