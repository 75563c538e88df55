// The seam's order ticket as the server receives it: each choice as its wire code, the quantity as
// typed, prices at the instrument's decimals and never rounded, brackets sent when given; a ticket
// whose numbers do not read is refused before anything goes out.
#include "orders/order_tickets.h"

#include "client/headless_application.h"
#include "fake_order_host.h"
#include "order_fixture.h"
#include "orders/order_requests.h"
#include "platform/dispatch.h"
#include "platform/user_defaults.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

using namespace tc;
using interfaces::Decimal;

Decimal dec(std::string_view text) {
    return *Decimal::fromString(text);
}

class OrderTicketsTest : public OrderFixture {
protected:
    interfaces::OrderTicket ticket(OrderKind kind = OrderKind::Market, Side side = Side::Buy) const {
        interfaces::OrderTicket t;
        t.instrument = "EURUSD";
        t.account = 1001;
        t.side = side;
        t.kind = kind;
        t.quantity = dec("0.50");
        return t;
    }
    // The last message the server received, field by field.
    std::map<std::string, std::string> received() {
        std::map<std::string, std::string> out;
        if (host.capture.sent.empty())
            return out;
        const std::string frame = host.capture.opened(host.capture.sent.back());
        std::size_t start = frame.find('\x03') + 1;
        for (std::size_t end; (end = frame.find('\x03', start)) != std::string::npos; start = end + 1) {
            const std::string field = frame.substr(start, end - start);
            const std::size_t eq = field.find('=');
            out[field.substr(0, eq)] = eq == std::string::npos ? "" : field.substr(eq + 1);
        }
        return out;
    }
    std::string choices() {
        auto f = received();
        return f["32"] + " " + f["117"] + " " + f["36"] + " " + f["43"];
    }

    OrderRequests requests{host, manager};
    OrderTickets tickets{manager, requests};
};

TEST_F(OrderTicketsTest, EveryChoiceReachesTheServerAsItsWireCode) {
    ASSERT_TRUE(kept(tickets.place(ticket()))) << notices.front().text;
    EXPECT_EQ(choices(), "29 51 45 47");
    auto f = received();
    EXPECT_EQ(f["12"], "EURUSD");
    EXPECT_EQ(f["34"], "1001");
    EXPECT_EQ(f["37"], "0.5");
    EXPECT_EQ(f["38"], "1.2010"); // a market buy at the ask
    EXPECT_EQ(f["77"], "-1");     // no deviation given: any
    EXPECT_EQ(f["39"] + "|" + f["40"], "|");

    auto sell = ticket(OrderKind::Limit, Side::Sell);
    sell.delivery = Delivery::Intraday;
    sell.timeInForce = TimeInForce::GoodTillFriday;
    sell.price = dec("1.21");
    ASSERT_TRUE(kept(tickets.place(sell))) << notices.front().text;
    EXPECT_EQ(choices(), "30 52 46 48");
    EXPECT_EQ(received()["38"], "1.2100"); // written at the instrument's four decimals

    auto stop = ticket(OrderKind::Stop);
    stop.delivery = Delivery::Btst;
    stop.timeInForce = TimeInForce::Day;
    stop.price = dec("1.21");
    ASSERT_TRUE(kept(tickets.place(stop))) << notices.front().text;
    EXPECT_EQ(choices(), "31 53 45 54");
    EXPECT_EQ(model.PendingOrderCollection.size(), 3u);
}

TEST_F(OrderTicketsTest, BracketsGoWhenGivenAndAMarketOrderIgnoresItsPrice) {
    auto t = ticket();
    t.price = dec("1.3"); // not read: a market order takes the live quote
    t.takeProfit = dec("1.22");
    t.deviation = 7;
    ASSERT_TRUE(kept(tickets.place(t))) << notices.front().text;
    auto f = received();
    EXPECT_EQ(f["38"], "1.2010");
    EXPECT_EQ(f["39"], "1.2200");
    EXPECT_EQ(f["40"], "");
    EXPECT_EQ(f["77"], "7");
    t.stopLoss = dec("1.19");
    ASSERT_TRUE(kept(tickets.place(t))) << notices.front().text;
    EXPECT_EQ(received()["40"], "1.1900");
}

TEST_F(OrderTicketsTest, APriceFinerThanTheInstrumentIsNotRoundedButJudged) {
    auto t = ticket(OrderKind::Limit);
    t.price = dec("1.19801");
    EXPECT_FALSE(kept(tickets.check(t)));
    EXPECT_FALSE(kept(tickets.place(t)));
    ASSERT_EQ(notices.size(), 2u);
    EXPECT_EQ(notices[1].order->OrderPrice, dec("1.19801"));
    EXPECT_TRUE(host.capture.sent.empty());
}

TEST_F(OrderTicketsTest, NumbersThatAreNotAndEntryOrdersWithoutAPriceAreRefusedToTheCallerAlone) {
    auto t = ticket();
    t.quantity = Decimal::notANumber();
    auto noPrice = ticket(OrderKind::Limit);
    auto badBracket = ticket();
    badBracket.stopLoss = Decimal::notANumber();
    const interfaces::AccountQuantity accounts[] = {{1001, dec("1")}, {1002, Decimal::notANumber()}};
    for (const OrderAnswer& answer : {tickets.place(t), tickets.check(noPrice), tickets.place(badBracket),
                                      tickets.placeForAccounts(ticket(), accounts)}) {
        EXPECT_FALSE(answer.passed);
        EXPECT_EQ(answer.key, OrderRequests::kNotSendableKey);
    }
    EXPECT_TRUE(host.capture.sent.empty());
    EXPECT_TRUE(model.PendingOrderCollection.empty());
    EXPECT_TRUE(host.journal.empty());
    while (platform::RunLoop::main().runOnce() > 0) {
    }
    EXPECT_TRUE(app.callsNamed("showMessageBanner").empty());
}

TEST_F(OrderTicketsTest, ThePriceLimitsFollowTheTicketsSideAndKind) {
    auto buy = ticket(OrderKind::Limit);
    EXPECT_EQ(tickets.entryPriceLimit(buy).signedText(), "<= 1.1990"); // the ask less four ticks
    buy.price = dec("1.1900");
    EXPECT_EQ(tickets.takeProfitLimit(buy).signedText(), ">= 1.1920");
    EXPECT_EQ(tickets.stopLossLimit(buy).signedText(), "<= 1.1870");
    EXPECT_EQ(tickets.entryPriceLimit(ticket()).signedText(), ""); // a market order has none
    auto unknown = buy;
    unknown.instrument = "NOPE";
    EXPECT_EQ(tickets.takeProfitLimit(unknown).signedText(), "");
    unknown = buy;
    unknown.account = 9;
    EXPECT_EQ(tickets.entryPriceLimit(unknown).signedText(), "");
}

} // namespace
