#include "gui/trading/lost_order_rules.h"

#include "support/decimal_literal.h"

#include <gtest/gtest.h>

#include <functional>

namespace tc::gui {
namespace {

using tc::testing_support::operator""_dec;

using interfaces::AccountQuantity;
using interfaces::OrderKind;
using interfaces::Side;
using By = PartHeld::By;

// A position as a sign-in's list gives it: account, side, opening quantity and the kind it was opened by.
std::shared_ptr<const Order> position(std::string id, std::int32_t account, Side side, const char* lots,
                                      OrderKind openedBy = OrderKind::Market, std::string code = "EURUSD") {
    auto p = std::make_shared<Order>();
    p->OpenPositionId = std::move(id);
    p->AccountNumber = std::to_string(account);
    p->ItemCode = std::move(code);
    p->tradingMode = codeOf(side);
    p->orderType = codeOf(openedBy);
    p->OrderQty = p->RemainingQty = platform::Decimal::fromString(lots).value();
    return p;
}

// A position a limit or stop order's fill opened at `opened`, of pending order `from` where given.
std::shared_ptr<const Order> filled(std::string id, Side side, OrderKind kind, const char* opened,
                                    std::string from = {}) {
    auto p = std::make_shared<Order>(*position(std::move(id), 20001, side, "0.01", kind));
    p->OrderPrice = platform::Decimal::fromString(opened).value();
    p->PendingOrderId = std::move(from);
    return p;
}

std::shared_ptr<const Order> pendingOrder(std::string id, std::int32_t account, Side side, OrderKind kind,
                                          const char* lots, const char* price, std::string bracketOf = {}) {
    auto o = std::make_shared<Order>();
    o->PendingOrderId = std::move(id);
    o->AccountNumber = std::to_string(account);
    o->ItemCode = "EURUSD";
    o->tradingMode = codeOf(side);
    o->orderType = codeOf(kind);
    o->OrderQty = o->RemainingQty = platform::Decimal::fromString(lots).value();
    o->OrderPrice = platform::Decimal::fromString(price).value();
    o->RefPositionIdOfBracket = std::move(bracketOf);
    return o;
}

SentOrder sent(OrderKind kind, Side side, std::vector<AccountQuantity> accounts,
               std::optional<platform::Decimal> price = std::nullopt,
               std::set<std::string> listedBefore = {}) {
    SentOrder order;
    order.ticket.instrument = "EURUSD";
    order.ticket.kind = kind;
    order.ticket.side = side;
    order.ticket.account = accounts.front().accountId;
    order.ticket.quantity = accounts.front().quantity;
    order.ticket.price = price;
    order.accounts = std::move(accounts);
    order.listedBefore = std::move(listedBefore);
    return order;
}

// "20001:P500082" for each part, "20001:-" for one held by nothing; the orders apart by " | ".
std::string told(const std::vector<std::vector<PartHeld>>& orders) {
    std::string out;
    for (const auto& parts : orders) {
        std::string line;
        for (const PartHeld& part : parts)
            line += (line.empty() ? "" : " ") + std::to_string(part.account) + ":" +
                    (part.by == By::Position       ? "P" + part.id
                     : part.by == By::PendingOrder ? "O" + part.id
                                                   : "-");
        out += (out.empty() ? "" : " | ") + line;
    }
    return out;
}

// A market order is held by the position it opened, and by no record that differs from it in
// account, instrument, side, opening quantity or the kind of order that opened it, nor by one
// listed when it went out.
TEST(LostOrders, AMarketOrderIsHeldOnlyByAPositionItCouldHaveOpened) {
    const SentOrder buy = sent(OrderKind::Market, Side::Buy, {{20001, 0.01_dec}}, std::nullopt, {"500001"});
    struct Case {
        const char* what;
        OrderRecords positions;
        const char* held;
    };
    const Case cases[] = {
        {"the new position", {position("500082", 20001, Side::Buy, "0.01")}, "20001:P500082"},
        {"listed before the send", {position("500001", 20001, Side::Buy, "0.01")}, "20001:-"},
        {"another account", {position("500082", 20002, Side::Buy, "0.01")}, "20001:-"},
        {"another instrument",
         {position("500082", 20001, Side::Buy, "0.01", OrderKind::Market, "GBPUSD")},
         "20001:-"},
        {"the other side", {position("500082", 20001, Side::Sell, "0.01")}, "20001:-"},
        {"another quantity", {position("500082", 20001, Side::Buy, "0.02")}, "20001:-"},
        {"opened by a limit order",
         {position("500082", 20001, Side::Buy, "0.01", OrderKind::Limit)},
         "20001:-"},
        {"a list that names no kind",
         {position("500082", 20001, Side::Buy, "0.01", OrderKind{0})},
         "20001:P500082"},
        {"nothing listed", {}, "20001:-"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(told(heldParts(std::span(&buy, 1), c.positions, {})), c.held) << c.what;
    // A pending order of its account and side at any price holds no market order.
    EXPECT_EQ(told(heldParts(std::span(&buy, 1), {},
                             {pendingOrder("500083", 20001, Side::Buy, OrderKind::Limit, "0.01", "1.08")})),
              "20001:-");
}

// A limit order is held by a pending order of its kind, quantity and price (not a take profit or stop
// loss of a position), and once filled by the position it opened.
TEST(LostOrders, ALimitOrderIsHeldByItsPendingOrderOrTheFilledPosition) {
    const SentOrder limit = sent(OrderKind::Limit, Side::Buy, {{20001, 0.01_dec}}, 1.08000_dec);
    struct Case {
        const char* what;
        OrderRecords positions;
        OrderRecords pending;
        const char* held;
    };
    const Case cases[] = {
        {"its pending order",
         {},
         {pendingOrder("500082", 20001, Side::Buy, OrderKind::Limit, "0.01", "1.08")},
         "20001:O500082"},
        {"another price",
         {},
         {pendingOrder("500082", 20001, Side::Buy, OrderKind::Limit, "0.01", "1.07")},
         "20001:-"},
        {"a stop order",
         {},
         {pendingOrder("500082", 20001, Side::Buy, OrderKind::Stop, "0.01", "1.08")},
         "20001:-"},
        {"a position's take profit",
         {},
         {pendingOrder("500082", 20001, Side::Buy, OrderKind::Limit, "0.01", "1.08", "500001")},
         "20001:-"},
        {"filled", {filled("500090", Side::Buy, OrderKind::Limit, "1.08")}, {}, "20001:P500090"},
        {"its pending order before a position",
         {position("500081", 20001, Side::Buy, "0.01", OrderKind::Limit)},
         {pendingOrder("500082", 20001, Side::Buy, OrderKind::Limit, "0.01", "1.08")},
         "20001:O500082"},
        {"a position a market order opened", {position("500090", 20001, Side::Buy, "0.01")}, {}, "20001:-"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(told(heldParts(std::span(&limit, 1), c.positions, c.pending)), c.held) << c.what;
}

// A limit or stop order's fill opens its position only at a price the order fills at: a limit at its
// price or better, a stop at its price or past it, however far the market ran. A position opened on the
// wrong side of the order's price, with no price, or by the fill of a pending order listed before the
// send or taken by an earlier order is another order's.
TEST(LostOrders, AFilledLimitOrStopOrderIsHeldOnlyByAPositionOpenedWhereItFills) {
    struct Case {
        OrderKind kind;
        Side side;
        const char* opened;
        bool held;
    };
    const Case cases[] = {
        {OrderKind::Limit, Side::Buy, "1.07500", true},   {OrderKind::Limit, Side::Buy, "1.07", true},
        {OrderKind::Limit, Side::Buy, "1.07501", false},  {OrderKind::Limit, Side::Buy, "1.08", false},
        {OrderKind::Limit, Side::Sell, "1.075", true},    {OrderKind::Limit, Side::Sell, "1.09", true},
        {OrderKind::Limit, Side::Sell, "1.07499", false}, {OrderKind::Stop, Side::Buy, "1.075", true},
        {OrderKind::Stop, Side::Buy, "1.09", true},       {OrderKind::Stop, Side::Buy, "1.07499", false},
        {OrderKind::Stop, Side::Sell, "1.075", true},     {OrderKind::Stop, Side::Sell, "1.06", true},
        {OrderKind::Stop, Side::Sell, "1.07501", false},
    };
    for (const Case& c : cases) {
        const SentOrder order = sent(c.kind, c.side, {{20001, 0.01_dec}}, 1.07500_dec);
        EXPECT_EQ(told(heldParts(std::span(&order, 1), {filled("500200", c.side, c.kind, c.opened)}, {})),
                  c.held ? "20001:P500200" : "20001:-")
            << (c.side == Side::Buy ? "buy " : "sell ") << (c.kind == OrderKind::Limit ? "limit" : "stop")
            << " @ 1.075 opened at " << c.opened;
    }

    // The trader's case: a buy limit @ 1.075 lost, and an older one @ 1.08, pending when it went
    // out, filled during the loss.
    const SentOrder lost = sent(OrderKind::Limit, Side::Buy, {{20001, 0.01_dec}}, 1.07500_dec, {"500100"});
    EXPECT_EQ(told(heldParts(std::span(&lost, 1),
                             {filled("500200", Side::Buy, OrderKind::Limit, "1.08", "500100")}, {})),
              "20001:-");
    // Filled at the lost order's price too, it is still the older order's fill, as it is one of a
    // pending order an earlier lost order took; the lost order's own fill names its own order.
    EXPECT_EQ(told(heldParts(std::span(&lost, 1),
                             {filled("500200", Side::Buy, OrderKind::Limit, "1.075", "500100")}, {})),
              "20001:-");
    EXPECT_EQ(
        told(heldParts(std::span(&lost, 1),
                       {filled("500200", Side::Buy, OrderKind::Limit, "1.075", "500150")}, {}, {"500150"})),
        "20001:-");
    EXPECT_EQ(told(heldParts(std::span(&lost, 1),
                             {filled("500200", Side::Buy, OrderKind::Limit, "1.075", "500150")}, {})),
              "20001:P500200");
    EXPECT_EQ(told(heldParts(std::span(&lost, 1),
                             {filled("500200", Side::Buy, OrderKind::Limit, "1.075", "0")}, {})),
              "20001:P500200");
    auto priceless = std::make_shared<Order>(*filled("500200", Side::Buy, OrderKind::Limit, "1.075"));
    priceless->OrderPrice.reset();
    EXPECT_EQ(told(heldParts(std::span(&lost, 1), {priceless}, {})), "20001:-");
    priceless->OrderPrice = platform::Decimal::notANumber();
    EXPECT_EQ(told(heldParts(std::span(&lost, 1), {priceless}, {})), "20001:-");
}

// One record holds one order at most: of two like orders lost together the first sent takes the
// record the server made first (500099 before 500100, numbers of different lengths compared as
// numbers), and with one record only the second is not held. A record told as an earlier order's
// (`taken`) holds none.
TEST(LostOrders, OneRecordHoldsOneOrderAndTheFirstSentTakesTheFirstMade) {
    const SentOrder orders[] = {sent(OrderKind::Market, Side::Buy, {{20001, 0.01_dec}}),
                                sent(OrderKind::Market, Side::Buy, {{20001, 0.01_dec}})};
    const OrderRecords two = {position("500100", 20001, Side::Buy, "0.01"),
                              position("500099", 20001, Side::Buy, "0.01")};
    EXPECT_EQ(told(heldParts(orders, two, {})), "20001:P500099 | 20001:P500100");
    const OrderRecords one = {position("500100", 20001, Side::Buy, "0.01")};
    EXPECT_EQ(told(heldParts(orders, one, {})), "20001:P500100 | 20001:-");
    EXPECT_EQ(told(heldParts(orders, two, {}, {"500099"})), "20001:P500100 | 20001:-");
}

// An order over several accounts is told account by account: all held, some, or none.
TEST(LostOrders, AnOrderOverSeveralAccountsIsToldPerAccount) {
    const SentOrder multi =
        sent(OrderKind::Market, Side::Sell, {{20001, 0.02_dec}, {20002, 0.01_dec}, {20003, 0.01_dec}});
    const OrderRecords all = {position("500110", 20001, Side::Sell, "0.02"),
                              position("500111", 20002, Side::Sell, "0.01"),
                              position("500112", 20003, Side::Sell, "0.01")};
    auto held = heldParts(std::span(&multi, 1), all, {});
    EXPECT_EQ(told(held), "20001:P500110 20002:P500111 20003:P500112");
    EXPECT_EQ(heldOf(held.front()), Held::All);
    // 20001's share is 0.02: a position of 0.01 there is not it.
    const OrderRecords some = {position("500110", 20001, Side::Sell, "0.01"),
                               position("500111", 20002, Side::Sell, "0.01")};
    held = heldParts(std::span(&multi, 1), some, {});
    EXPECT_EQ(told(held), "20001:- 20002:P500111 20003:-");
    EXPECT_EQ(heldOf(held.front()), Held::Some);
    held = heldParts(std::span(&multi, 1), {}, {});
    EXPECT_EQ(heldOf(held.front()), Held::Nothing);
}

// What a send lists before it: every position and pending order of its accounts' instrument.
TEST(LostOrders, TheRecordsListedBeforeASendAreThoseOfItsAccountsAndInstrument) {
    const OrderRecords positions = {position("1", 20001, Side::Buy, "1"),
                                    position("2", 20002, Side::Sell, "1"),
                                    position("3", 20001, Side::Buy, "1", OrderKind::Market, "GBPUSD")};
    const OrderRecords pending = {pendingOrder("4", 20001, Side::Sell, OrderKind::Stop, "1", "1.2"),
                                  pendingOrder("5", 20003, Side::Buy, OrderKind::Limit, "1", "1.0")};
    const AccountQuantity accounts[] = {{20001, 1_dec}, {20003, 1_dec}};
    EXPECT_EQ(listedFor("EURUSD", accounts, positions, pending), (std::set<std::string>{"1", "4", "5"}));
}

// The same order is the same instrument, side, kind, accounts and quantities, and price of a limit or
// stop order; a market order's price field and any order's brackets do not make another order.
TEST(LostOrders, TheSameOrderAgainIsToldFromAnotherOne) {
    const SentOrder limit = sent(OrderKind::Limit, Side::Buy, {{20001, 0.01_dec}}, 1.08000_dec);
    interfaces::OrderTicket again = limit.ticket;
    EXPECT_TRUE(sameOrder(limit, again, {}));
    again.takeProfit = 1.09_dec;
    again.deviation = 5;
    EXPECT_TRUE(sameOrder(limit, again, {}));
    struct Change {
        const char* what;
        std::function<void(interfaces::OrderTicket&)> change;
    };
    const Change changes[] = {
        {"price", [](auto& t) { t.price = 1.07990_dec; }},
        {"quantity", [](auto& t) { t.quantity = 0.02_dec; }},
        {"account", [](auto& t) { t.account = 20002; }},
        {"side", [](auto& t) { t.side = Side::Sell; }},
        {"kind", [](auto& t) { t.kind = OrderKind::Stop; }},
        {"instrument", [](auto& t) { t.instrument = "GBPUSD"; }},
    };
    for (const Change& c : changes) {
        interfaces::OrderTicket changed = limit.ticket;
        c.change(changed);
        EXPECT_FALSE(sameOrder(limit, changed, {})) << c.what;
    }
    const SentOrder market = sent(OrderKind::Market, Side::Buy, {{20001, 0.01_dec}});
    interfaces::OrderTicket priced = market.ticket;
    priced.price = 1.1_dec;
    EXPECT_TRUE(sameOrder(market, priced, {}));

    // Several accounts: each account's quantity, in the order sent.
    const SentOrder multi = sent(OrderKind::Market, Side::Buy, {{20001, 0.02_dec}, {20002, 0.01_dec}});
    const AccountQuantity same[] = {{20001, 0.02_dec}, {20002, 0.01_dec}};
    const AccountQuantity moved[] = {{20001, 0.01_dec}, {20002, 0.02_dec}};
    const AccountQuantity fewer[] = {{20001, 0.02_dec}};
    EXPECT_TRUE(sameOrder(multi, multi.ticket, same));
    EXPECT_FALSE(sameOrder(multi, multi.ticket, moved));
    EXPECT_FALSE(sameOrder(multi, multi.ticket, fewer));
}

} // namespace
} // namespace tc::gui
