#include "orders/order_collections.h"

#include "fake_order_host.h"

#include "client/headless_application.h"
#include "model/position_arithmetic.h"
#include "model/records/account_details.h"
#include "model/records/history_rows.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "model/session_model.h"
#include "model/text/language_string.h"
#include "platform/amount_text.h"
#include "platform/bundle.h"
#include "platform/dispatch.h"
#include "platform/user_defaults.h"
#include "session/business/session_events.h"
#include "support/decimal_literal.h"
#include "support/temp_resources.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using namespace tc;

using Fields = OrderCollectionHandlers::Fields;
using platform::Decimal;

using tc::testing_support::dec;

WallTime at(const char* wire) {
    return *wallTimeFromWire(wire);
}

// A report's fields as the dispatcher hands them: "tag=value" in message order, from "tag=value|...".
Fields report(std::string_view text) {
    Fields out;
    for (std::size_t bar; (bar = text.find('|')) != std::string_view::npos; text.remove_prefix(bar + 1))
        out.emplace_back(text.substr(0, bar));
    out.emplace_back(text);
    return out;
}

// The session around the lists: the fake host over the test's model, with the shell's language; the
// stored orders the lists hand on are kept.
struct ListsHost {
    explicit ListsHost(SessionModel& model) : host(model, app) {
        host.journalTime = "20240131120000";
        host.requestNumber = 0;
    }
    platform::UserDefaults defaults;
    HeadlessApplication app{defaults};
    FakeOrderHost host;
};

class OrderCollectionsTest : public ::testing::Test {
protected:
    OrderCollectionsTest() {
        addInstrument("EURUSD", 7);
        addInstrument("GBPUSD", 8);
        auto account = std::make_shared<AccountDetails>();
        account->AccountId = 1001;
        model.AccountDetailCollection.insert_or_assign("1001", account);
    }
    void addInstrument(const std::string& code, std::int32_t id) {
        auto item = std::make_shared<ItemDetails>();
        item->Code = code;
        item->InstrumentId = id;
        item->DecimalPlaces = 4;
        model.ItemCollection.insert_or_assign(code, item);
    }

    // A working order as the server reports it (62/28).
    Fields pendingReport(const std::string& id, const std::string& typeCode, const std::string& qty = "5",
                         const std::string& price = "1.2500") {
        return report(std::string("10=62|73=28|34=1001|12=EURUSD|79=") + id + "|32=" + typeCode +
                      "|36=46|37=" + qty + "|38=" + price + "|76=" + qty + "|117=52|43=48");
    }
    void addPending(const std::string& id, const std::string& typeCode = "30") {
        c.FillPendingOrderCollection(pendingReport(id, typeCode), id);
    }
    // An execution (67/74) opening position `pos`, optionally from pending order `pending`.
    Fields executedReport(const std::string& pos, const std::string& remaining,
                          const std::string& pending = "") {
        return report("10=67|73=74|34=1001|12=EURUSD|80=" + pos + "|79=" + pending +
                      "|37=10|38=1.2000|76=" + remaining + "|72=E" + pos);
    }
    void addPosition(const std::string& pos, const std::string& remaining = "10") {
        c.FillOpenOrderCollection(executedReport(pos, remaining));
    }
    template <class List>
    std::vector<std::string> ids(const List& list, std::string Order::*member) {
        std::vector<std::string> out;
        for (const auto& o : list)
            out.push_back((*o).*member);
        return out;
    }

    SessionModel model;
    ListsHost around{model};
    FakeOrderHost& host = around.host;
    std::vector<std::shared_ptr<Order>> stored;
    OrderCollections c{host};
    void SetUp() override {
        c.OnPendingOrderStored([this](const std::shared_ptr<Order>& order) { stored.push_back(order); });
    }
};

// ---- 62/28 and the pending list

TEST_F(OrderCollectionsTest, PendingReportReplacesTheLocalRecordOfTheSameRequest) {
    auto local = std::make_shared<Order>();
    local->RequestId = 41;
    local->ItemCode = "EURUSD";
    model.PendingOrderCollection.push_back(local);
    auto other = std::make_shared<Order>();
    other->RequestId = 40;
    model.PendingOrderCollection.push_back(other);

    Fields f = pendingReport("P1", "30");
    f.push_back("33=41");
    f.push_back("39=1.3");
    f.push_back("78=20240131154500");
    f.push_back("573=");
    c.FillPendingOrderCollection(f, "P1");

    ASSERT_EQ(model.PendingOrderCollection.size(), 2u);
    EXPECT_EQ(model.PendingOrderCollection[0], other);
    const Order& o = *model.PendingOrderCollection[1];
    EXPECT_EQ(std::tuple(o.PendingOrderId, o.orderType, o.tradingMode, o.deliveryMode, o.timeInForce,
                         o.LimitPrice, o.RemainingQty, displayDateTime(o.TransactionDateTime)),
              std::tuple("P1", 2, 1, 2, 2, std::optional(dec("1.3")), dec("5"), "01/31/2024 15:45:00"));
    EXPECT_EQ(o.RequestId, 0) << "tag 33 is not part of a new pending record";
    ASSERT_EQ(host.journal.size(), 1u);
    EXPECT_NE(host.journal[0].find("P1"), std::string::npos);
    EXPECT_EQ(c.FindPendingOrder("P1").get(), &o);
}

TEST_F(OrderCollectionsTest, RepeatedPendingReportKeepsOneRecordPerOrder) {
    addPending("P1");
    addPending("P1");
    EXPECT_EQ(ids(model.PendingOrderCollection, &Order::PendingOrderId), (std::vector<std::string>{"P1"}));
}

TEST_F(OrderCollectionsTest, PendingReportWithoutOwnRequestNumberUsesTheSessionsLast) {
    auto local = std::make_shared<Order>();
    local->RequestId = 12;
    model.PendingOrderCollection.push_back(local);
    host.requestNumber = 12;
    addPending("P1");
    EXPECT_EQ(ids(model.PendingOrderCollection, &Order::PendingOrderId), (std::vector<std::string>{"P1"}));
}

TEST_F(OrderCollectionsTest, PendingReportsRefusedForForeignAccountOrBadNumbers) {
    Fields foreign = pendingReport("P1", "30");
    foreign.push_back("34=9999");
    c.FillPendingOrderCollection(foreign, "P1");
    c.FillPendingOrderCollection(pendingReport("P3", "30", "five"), "P3");
    c.FillPendingOrderCollection(pendingReport("P4", "30", "5", "1.2.3"), "P4");
    Fields huge = pendingReport("P5", "30");
    huge.push_back("570=" + std::string(100'000, 'x'));
    c.FillPendingOrderCollection(huge, "P5");
    c.FillPendingOrderCollection(pendingReport("", "30"), "");
    c.FillPendingOrderCollection({"garbage", "=", "73", ""}, "P6");
    EXPECT_TRUE(model.PendingOrderCollection.empty());
    EXPECT_TRUE(host.journal.empty());
}

TEST_F(OrderCollectionsTest, PendingUpdatesRestateTheBracketsOrClearThemAndKeepThePlacingTime) {
    Fields f = pendingReport("P1", "30");
    f.push_back("39=1.3");
    f.push_back("40=1.1");
    f.push_back("78=20240103091500");
    c.FillPendingOrderCollection(f, "P1");
    addPending("P2");

    // 75 without 39 and 40: both go; the other order is untouched. The change's time is not the
    // order's: it keeps the time it was placed at.
    c.UpdatePendingOrderCollection(report("73=75|79=P1|38=1.26|37=3|78=20260812181705"), "P1");
    const Order& o = *c.FindPendingOrder("P1");
    EXPECT_EQ(std::tuple(o.LimitPrice, o.StopPrice, o.OrderPrice, o.OrderQty, o.TransactionDateTime),
              std::tuple(std::nullopt, std::nullopt, dec("1.26"), dec("3"), at("20240103091500")));
    EXPECT_EQ(c.FindPendingOrder("P2")->OrderPrice, dec("1.2500"));

    // 22 with 39 "0": the text stands.
    c.UpdatePendingOrderCollection(report("73=22|79=P1|39=0|76=2"), "P1");
    EXPECT_EQ(o.LimitPrice, dec("0"));
    EXPECT_EQ(o.RemainingQty, dec("2"));

    // A malformed update changes nothing; an empty id addresses nothing.
    c.UpdatePendingOrderCollection(report("79=P1|76=lots"), "P1");
    EXPECT_EQ(o.RemainingQty, dec("2"));
    c.UpdatePendingOrderCollection(report("76=9"), "");
    EXPECT_EQ(o.RemainingQty, dec("2"));
}

TEST_F(OrderCollectionsTest, OnlyLimitAndStopOrdersAreHandedOnAsStored) {
    addPending("M1", "29");
    addPending("L1", "30");
    addPending("S1", "31");
    EXPECT_EQ(ids(stored, &Order::PendingOrderId), (std::vector<std::string>{"L1", "S1"}));
    EXPECT_EQ(host.journal.size(), 3u) << "every pending order has its journal line";
}

// ---- 62/23, 24, 25: orders leaving the pending list

TEST_F(OrderCollectionsTest, FilledOrderMovesToTheCopyAndItsTakeProfitLegClears) {
    addPosition("X1");
    c.FindOpenPosition("X1")->LimitPrice = dec("1.3000");
    c.FindOpenPosition("X1")->StopPrice = dec("1.1000");
    addPending("P1");

    c.RemovePendingOrder("P1");
    c.ModifyBracketOrderUpdateOnOpenOrderCollection(report("32=30|38=1.3000"), "X1", 23);

    EXPECT_TRUE(model.PendingOrderCollection.empty());
    EXPECT_EQ(ids(c.PendingOrderCollectionCopy(), &Order::PendingOrderId), (std::vector<std::string>{"P1"}));
    EXPECT_EQ(c.FindOpenPosition("X1")->LimitPrice, std::nullopt);
    EXPECT_EQ(c.FindOpenPosition("X1")->StopPrice, dec("1.1000"));
}

TEST_F(OrderCollectionsTest, BracketLegsSetAndClearOnlyTheirOwnPrice) {
    addPosition("X1");
    addPosition("X2");
    Order& x1 = *c.FindOpenPosition("X1");
    // 38 before any 32 changes nothing; a stop leg (31) sets StopPrice.
    c.ModifyBracketOrderUpdateOnOpenOrderCollection(report("38=9|32=31|38=1.1"), "X1", 28);
    EXPECT_EQ(x1.StopPrice, dec("1.1"));
    EXPECT_EQ(x1.LimitPrice, std::nullopt);
    c.ModifyBracketOrderUpdateOnOpenOrderCollection(report("32=30|38=1.3"), "X1", 75);
    EXPECT_EQ(x1.LimitPrice, dec("1.3"));
    // Expired and suspended legs keep showing their price; a cancelled one clears.
    c.ModifyBracketOrderUpdateOnOpenOrderCollection(report("32=30|38=1.31"), "X1", 26);
    EXPECT_EQ(x1.LimitPrice, dec("1.31"));
    c.ModifyBracketOrderUpdateOnOpenOrderCollection(report("32=31|38=1.1"), "X1", 24);
    EXPECT_EQ(x1.StopPrice, std::nullopt);
    // Other types, a malformed price, no reference: nothing.
    c.ModifyBracketOrderUpdateOnOpenOrderCollection(report("32=29|38=2"), "X1", 28);
    c.ModifyBracketOrderUpdateOnOpenOrderCollection(report("32=30|38=abc"), "X1", 28);
    c.ModifyBracketOrderUpdateOnOpenOrderCollection(report("32=30|38=2"), std::nullopt, 28);
    c.ModifyBracketOrderUpdateOnOpenOrderCollection(report("32=30|38=2"), "", 28);
    EXPECT_EQ(x1.LimitPrice, dec("1.31"));
    EXPECT_EQ(c.FindOpenPosition("X2")->LimitPrice, std::nullopt);
}

TEST_F(OrderCollectionsTest, CancelRecordTakesTheQuantityStillOpen) {
    addPosition("X1");
    Fields f = pendingReport("P1", "31");
    f.push_back("573=X1");
    c.FillPendingOrderCollection(f, "P1");
    c.UpdatePendingOrderCollection(report("79=P1|76=3|32=31"), "P1");

    const Fields cancel = report("73=24|79=P1|34=1001|12=EURUSD|37=5|33=17");
    c.RemovePendingOrder("P1");
    c.FillCancelledOrderCollection(17, 24, cancel);

    ASSERT_EQ(model.CancelledOrderCollection.size(), 1u);
    EXPECT_EQ(model.CancelledOrderCollection[0]->OrderQty, dec("3")) << "not tag 37";
    EXPECT_EQ(model.CancelledOrderCollection[0]->RequestId, 17);
    EXPECT_EQ(c.RefPositionIdOfRemovedPendingOrder("P1"), std::optional<std::string>("X1"));
    EXPECT_EQ(c.RefPositionIdOfRemovedPendingOrder("P9"), std::nullopt);

    // A cancel for an order never seen keeps tag 37.
    c.FillCancelledOrderCollection(0, 24, report("79=P7|34=1001|12=EURUSD|37=8"));
    ASSERT_EQ(model.CancelledOrderCollection.size(), 2u);
    EXPECT_EQ(model.CancelledOrderCollection[1]->OrderQty, dec("8"));
}

TEST_F(OrderCollectionsTest, RejectionByPendingIdMovesTheSameRecordToCancelledAndCopy) {
    addPending("57");
    const Fields rejected = report("73=25|79=57|74=86|78=20240131090000");
    c.FillCancelledOrderCollection(57, 25, rejected);
    c.RemovePendingOrder("57");

    ASSERT_EQ(model.CancelledOrderCollection.size(), 1u);
    ASSERT_EQ(c.PendingOrderCollectionCopy().size(), 1u);
    EXPECT_EQ(model.CancelledOrderCollection[0], c.PendingOrderCollectionCopy()[0]);
    EXPECT_EQ(displayDateTime(model.CancelledOrderCollection[0]->TransactionDateTime), "01/31/2024 09:00:00");
    EXPECT_TRUE(model.PendingOrderCollection.empty());
    ASSERT_EQ(host.journal.size(), 2u) << "pending line, then the rejection line";
    EXPECT_TRUE(host.journal[1].ends_with("#$#Rejected EURUSD"))
        << "a rejection, not a cancel: " << host.journal[1];
}

// A new order's refusal names no order: it takes the local record of its request number, never the
// server's order whose id is that number, and of orders sent in one pass the one of the account and
// instrument it names.
TEST_F(OrderCollectionsTest, ANewOrdersRefusalTakesTheLocalRecordOfItsRequest) {
    addPending("33");
    const auto local = [&](const std::string& instrument) {
        auto order = std::make_shared<Order>();
        order->RequestId = 33;
        order->AccountNumber = "1001";
        order->ItemCode = instrument;
        model.PendingOrderCollection.push_back(order);
        return order;
    };
    const auto euro = local("EURUSD");
    const auto pound = local("GBPUSD");

    c.RejectLocalOrder(33, report("10=62|73=826|78=20240131090000|33=33|34=1001|12=GBPUSD|74=1|79="));
    ASSERT_EQ(model.CancelledOrderCollection.size(), 1u);
    EXPECT_EQ(model.CancelledOrderCollection[0], pound);
    EXPECT_EQ(displayDateTime(pound->TransactionDateTime), "01/31/2024 09:00:00");
    ASSERT_EQ(c.PendingOrderCollectionCopy().size(), 1u);
    EXPECT_EQ(c.PendingOrderCollectionCopy()[0], pound);
    ASSERT_EQ(model.PendingOrderCollection.size(), 2u);
    EXPECT_EQ(model.PendingOrderCollection[0]->PendingOrderId, "33");
    EXPECT_EQ(model.PendingOrderCollection[1], euro);
    EXPECT_TRUE(host.journal.back().ends_with("#$#Rejected GBPUSD")) << host.journal.back();

    // Nothing of that request left, or no request number: nothing taken.
    c.RejectLocalOrder(33, report("10=62|73=25|33=33|34=1001|12=GBPUSD|74=1"));
    c.RejectLocalOrder(0, report("10=62|73=25|34=1001|12=EURUSD|74=1"));
    EXPECT_EQ(model.CancelledOrderCollection.size(), 1u);
    c.RejectLocalOrder(33, report("10=62|73=25|33=33|74=1"));
    EXPECT_EQ(ids(model.PendingOrderCollection, &Order::PendingOrderId), std::vector<std::string>{"33"});
}

// Orders sent in one pass share a request number: the report of one placed takes its own local record
// (its account, then its side and quantity), so the other's refusal finds the other's, and no record
// without a number is left behind.
TEST_F(OrderCollectionsTest, OrdersOfOnePassEachReplaceOrLoseTheirOwnLocalRecord) {
    auto account = std::make_shared<AccountDetails>();
    account->AccountId = 1002;
    model.AccountDetailCollection.insert_or_assign("1002", account);
    const auto local = [&](const std::string& accountNo, int side, const char* qty) {
        auto order = std::make_shared<Order>();
        order->RequestId = 7;
        order->AccountNumber = accountNo;
        order->ItemCode = "EURUSD";
        order->tradingMode = side;
        order->OrderQty = dec(qty);
        model.PendingOrderCollection.push_back(order);
        return order;
    };
    const auto mine = local("1001", 1, "5");
    const auto other = local("1002", 1, "5");
    Fields placed = report("10=62|73=28|34=1002|12=EURUSD|79=P2|32=30|36=46|37=5|38=1.2500|76=5|33=7");
    c.FillPendingOrderCollection(placed, "P2");
    c.RejectLocalOrder(7, report("10=62|73=25|33=7|34=1001|12=EURUSD|74=11"));
    EXPECT_EQ(ids(model.PendingOrderCollection, &Order::PendingOrderId), std::vector<std::string>{"P2"});
    ASSERT_EQ(model.CancelledOrderCollection.size(), 1u);
    EXPECT_EQ(model.CancelledOrderCollection[0], mine);

    // Of one account and instrument, the one alike in side and quantity.
    model.PendingOrderCollection.clear();
    const auto buy = local("1001", 0, "2");
    local("1001", 1, "5");
    Fields sold = pendingReport("P3", "30");
    sold.push_back("33=7");
    c.FillPendingOrderCollection(sold, "P3");
    ASSERT_EQ(model.PendingOrderCollection.size(), 2u);
    EXPECT_EQ(model.PendingOrderCollection[0], buy);
    EXPECT_EQ(model.PendingOrderCollection[1]->PendingOrderId, "P3");
}

TEST_F(OrderCollectionsTest, RejectionWithoutAnyIdTouchesNoOrder) {
    addPending("P1"); // server records carry request number 0
    c.FillCancelledOrderCollection(0, 25, report("73=25|74=1"));
    c.RemovePendingOrder("");
    EXPECT_TRUE(model.CancelledOrderCollection.empty());
    EXPECT_EQ(model.PendingOrderCollection.size(), 1u);
}

TEST_F(OrderCollectionsTest, RejectedBracketOrderClearsItsLegOnThePosition) {
    addPosition("X1");
    Order& x1 = *c.FindOpenPosition("X1");
    for (const auto& [id, type] : {std::pair{"TP", "30"}, std::pair{"SL", "31"}}) {
        Fields f = pendingReport(id, type);
        f.push_back("573=X1");
        c.FillPendingOrderCollection(f, id);
    }
    x1.LimitPrice = dec("1.3");
    x1.StopPrice = dec("1.1");

    c.RemovePendingOrder("SL");
    c.ClearBracketOfRejectedOrder("SL");
    EXPECT_EQ(x1.StopPrice, std::nullopt);
    EXPECT_EQ(x1.LimitPrice, dec("1.3"));
    c.ClearBracketOfRejectedOrder("TP"); // still working: not in the copy
    EXPECT_EQ(x1.LimitPrice, dec("1.3"));
}

// ---- 67/74 and 67/73: positions

TEST_F(OrderCollectionsTest, ExecutionOpensAPositionWithTheFilledOrdersDetails) {
    Fields f = pendingReport("P1", "31");
    f.push_back("40=1.1");
    c.FillPendingOrderCollection(f, "P1");
    c.RemovePendingOrder("P1");
    c.FillOpenOrderCollection(executedReport("X1", "10", "P1"));

    const auto x1 = c.FindOpenPosition("X1");
    ASSERT_TRUE(x1);
    EXPECT_EQ(std::tuple(x1->tradingMode, x1->orderType, x1->deliveryMode, x1->StopPrice, x1->ExecutionId),
              std::tuple(1, 3, 2, std::optional(dec("1.1")), "EX1"));

    // Without a pending order it is a market position.
    addPosition("X2");
    EXPECT_EQ(c.FindOpenPosition("X2")->orderType, 1);
    // A repeated execution adds nothing.
    addPosition("X2", "7");
    EXPECT_EQ(ids(model.OpenOrderCollection, &Order::OpenPositionId), (std::vector<std::string>{"X1", "X2"}));
    EXPECT_EQ(c.FindOpenPosition("X2")->RemainingQty, dec("10"));
}

TEST_F(OrderCollectionsTest, ExecutionWithNothingLeftGoesToTheCopyWhateverTheZerosSpelling) {
    for (const std::string zero : {"0", "0.0", "0.00"})
        addPosition("Z" + zero, zero);
    EXPECT_TRUE(model.OpenOrderCollection.empty());
    EXPECT_EQ(c.OpenOrderCollectionCopy().size(), 3u);
}

TEST_F(OrderCollectionsTest, ExecutionRefusedForForeignAccountOrBadNumbers) {
    Fields foreign = executedReport("X1", "10");
    foreign.push_back("34=77");
    c.FillOpenOrderCollection(foreign);
    c.FillOpenOrderCollection(executedReport("X3", "ten"));
    c.FillOpenOrderCollection(executedReport("", "10"));
    EXPECT_TRUE(model.OpenOrderCollection.empty());
    EXPECT_TRUE(c.OpenOrderCollectionCopy().empty());
}

TEST_F(OrderCollectionsTest, AFillKeepsTheCommissionPaidAndShowsItsShareWhateverTheFieldsOrder) {
    c.FillOpenOrderCollection(report("34=1001|12=EURUSD|80=A|37=10|545=5|76=4"));
    c.FillOpenOrderCollection(report("34=1001|12=EURUSD|80=B|545=5|76=4|37=10"));
    for (const char* id : {"A", "B"}) {
        const auto p = c.FindOpenPosition(id);
        EXPECT_DOUBLE_EQ(p->Commission, 5.0) << id;
        EXPECT_DOUBLE_EQ(positionCommission(*p), 2.0) << id << ": 5 / 10 × 4";
    }
}

TEST_F(OrderCollectionsTest, PartialCloseLeavesTheRemainderAndFullCloseRemovesByValue) {
    addPosition("X1");
    addPosition("X2");
    Order& x2 = *c.FindOpenPosition("X2");
    x2.Commission = 5;

    c.UpdateOpenOrderCollection("X2", report("80=X2|76=4|37=6|141=-1.5|38=1.21"), dec("4"));
    EXPECT_EQ(x2.RemainingQty, dec("4"));
    EXPECT_EQ(x2.OrderQty, dec("10")) << "tag 37 is not stored";
    EXPECT_DOUBLE_EQ(positionCommission(x2), 2.0);
    EXPECT_EQ(x2.Storage, dec("-1.5"));
    EXPECT_EQ(x2.OrderPrice, dec("1.21"));
    EXPECT_EQ(model.OpenOrderCollection.size(), 2u);
    // A second partial close, reported without the quantity field as the server may: the share
    // follows what is still open, of the commission paid, not of the share shown before.
    c.UpdateOpenOrderCollection("X2", report("80=X2|76=3"), dec("3"));
    EXPECT_DOUBLE_EQ(positionCommission(x2), 1.5);

    c.UpdateOpenOrderCollection("X1", report("80=X1|76=0.0"), dec("0.0"));
    EXPECT_EQ(ids(model.OpenOrderCollection, &Order::OpenPositionId), (std::vector<std::string>{"X2"}));
    EXPECT_EQ(ids(c.OpenOrderCollectionCopy(), &Order::OpenPositionId), (std::vector<std::string>{"X1"}));
    EXPECT_FALSE(c.FindOpenPosition("X1"));
    // The dialog holding X2 still reaches X2, though its row moved up.
    EXPECT_EQ(c.FindOpenPosition("X2").get(), &x2);

    // Unknown ids, malformed quantities: nothing.
    c.UpdateOpenOrderCollection("X9", report("76=0"), dec("0"));
    c.UpdateOpenOrderCollection("X2", report("76=1,5"), strictDecimal("1,5"));
    c.UpdateOpenOrderCollection("", report("76=0"), dec("0"));
    EXPECT_EQ(x2.RemainingQty, dec("3"));
    EXPECT_EQ(model.OpenOrderCollection.size(), 1u);
}

TEST_F(OrderCollectionsTest, EveryRecordRewrittenInPlaceIsNamedAndNoNewOne) {
    addPosition("X1");
    addPosition("X2");
    addPending("57");
    addPending("58");
    EXPECT_TRUE(host.rewritten.empty()) << "new rows show by their ids";
    const auto named = [&] {
        std::vector<std::string> out;
        for (const auto& record : host.rewritten)
            out.push_back(record->OpenPositionId.empty() ? record->PendingOrderId : record->OpenPositionId);
        host.rewritten.clear();
        return out;
    };
    c.UpdateOpenOrderCollection("X2", report("80=X2|76=4"), dec("4"));
    EXPECT_EQ(named(), (std::vector<std::string>{"X2"}));
    c.ModifyBracketOrderUpdateOnOpenOrderCollection(report("32=30|38=1.3"), "X1", 75);
    EXPECT_EQ(named(), (std::vector<std::string>{"X1"}));
    c.UpdatePendingOrderCollection(pendingReport("57", "30", "4"), "57");
    EXPECT_EQ(named(), (std::vector<std::string>{"57"}));
    // A rejection rewrites the pending record it moves to the cancelled list.
    c.FillCancelledOrderCollection(58, 25, report("73=25|79=58|74=86"));
    EXPECT_EQ(named(), (std::vector<std::string>{"58"}));
    // A position closed whole leaves its list: no row of it is rewritten.
    c.UpdateOpenOrderCollection("X1", report("80=X1|76=0"), dec("0"));
    EXPECT_EQ(named(), std::vector<std::string>{});
}

TEST_F(OrderCollectionsTest, ARepeatedTagInAReportKeepsItsLastValue) {
    c.FillPendingOrderCollection(report("34=1001|12=GBPUSD|79=P1|32=31|36=45|37=5|38=1.2|39=1.3|12=EURUSD|"
                                        "32=30|36=46|38=1.25|39=|37=6|76=6"),
                                 "P1");
    const Order& p = *c.FindPendingOrder("P1");
    EXPECT_EQ(std::tuple(p.ItemCode, p.orderType, p.tradingMode, p.OrderQty, p.OrderPrice, p.LimitPrice),
              std::tuple("EURUSD", 2, 1, dec("6"), std::optional(dec("1.25")), std::optional<Decimal>()));

    c.FillOpenOrderCollection(report("34=1001|12=EURUSD|80=X1|37=10|38=1.2|38=1.21|72=E0|72=E1|76=10"));
    EXPECT_EQ(c.FindOpenPosition("X1")->OrderPrice, dec("1.21"));
    EXPECT_EQ(c.FindOpenPosition("X1")->ExecutionId, "E1");

    c.FillSettledOrderCollection(report("34=1001|12=8|80=X1|86=S1|88=1|89=2|89=3|12=7"));
    ASSERT_TRUE(c.FindSettlement("S1"));
    EXPECT_EQ(c.FindSettlement("S1")->ItemCode, "EURUSD");
    EXPECT_EQ(c.FindSettlement("S1")->SettledQty, dec("3"));
}

TEST_F(OrderCollectionsTest, AReportsChoiceCodesReadAsTheTicketsChoicesAndAnyOtherAsNone) {
    // (type, time in force, delivery) as sent, and as read back.
    const std::vector<std::pair<std::string, std::tuple<int, int, int>>> cases = {
        {"32=29|43=47|117=51", {1, 1, 1}}, {"32=30|43=48|117=52", {2, 2, 2}},
        {"32=31|43=54|117=53", {3, 5, 3}}, {"32=926|43=926|117=926", {0, 0, 0}},
        {"32=28|43=49|117=54", {0, 0, 0}}, {"32=-29|43=0|117=", {0, 0, 0}},
    };
    int n = 0;
    for (const auto& [codes, expected] : cases) {
        const std::string id = "C" + std::to_string(++n);
        c.FillPendingOrderCollection(report("34=1001|12=EURUSD|79=" + id + "|" + codes), id);
        const auto order = c.FindPendingOrder(id);
        ASSERT_TRUE(order) << codes;
        EXPECT_EQ(std::tuple(order->orderType, order->timeInForce, order->deliveryMode), expected) << codes;
    }
}

// ---- 66: settlements

TEST_F(OrderCollectionsTest, SettlementTakesOpenAndClosePricesFromThePositions) {
    // A sell opened at 1.2000, closed by a buy at 1.1900 whose position is already in the copy.
    c.FillOpenOrderCollection(report("34=1001|12=EURUSD|80=X1|37=10|38=1.2000|76=10|78=20240130100000"));
    c.FindOpenPosition("X1")->tradingMode = 1;
    c.FindOpenPosition("X1")->deliveryMode = 3;
    addPosition("C1", "0");

    const Fields settled = report("10=66|34=1001|12=7|80=X1|87=C1|86=S1|88=12.5|89=10|545=1.5|604=0.9");
    c.FillSettledOrderCollection(settled);
    c.FillSettledOrderCollection(settled);

    ASSERT_EQ(model.SettledOrderCollection.size(), 1u);
    const Order& s = *model.SettledOrderCollection[0];
    EXPECT_EQ(s.ItemCode, "EURUSD") << "tag 12 carries the instrument id";
    EXPECT_EQ(s.OrderPrice, dec("1.2000"));
    EXPECT_EQ(s.SettledPrice, dec("1.2000")) << "the closing position's own open price";
    EXPECT_EQ(std::tuple(s.tradingMode, s.deliveryMode, displayDateTime(s.ItemTime), s.SettledPL),
              std::tuple(1, 3, "01/30/2024 10:00:00", dec("12.5")));
    EXPECT_DOUBLE_EQ(s.Commission, 1.5);
    EXPECT_EQ(s.accountCurrencyRate, dec("0.9"));
    EXPECT_EQ(c.FindSettlement("S1").get(), &s);
    ASSERT_FALSE(host.journal.empty());
    // The price with the instrument's four digits, as the report wrote it.
    EXPECT_NE(host.journal.back().find("#S1 @1.2000"), std::string::npos) << host.journal.back();

    // A closing position never seen leaves the close price absent, not 0.
    c.FillSettledOrderCollection(report("10=66|34=1001|12=7|80=X1|87=C9|86=S2|88=1|89=10"));
    ASSERT_TRUE(c.FindSettlement("S2"));
    EXPECT_EQ(c.FindSettlement("S2")->SettledPrice, std::nullopt);
    EXPECT_TRUE(host.journal.back().ends_with("#S2 @")) << host.journal.back();
}

TEST_F(OrderCollectionsTest, CloseReportsAndSettlementsFindTheirPositionsWithoutAPassOverTheBook) {
    for (int n = 0; n < 2000; ++n)
        addPosition("B" + std::to_string(n));
    addPosition("X1");
    addPosition("C1");
    c.FindOpenPosition("C1")->OrderPrice = dec("1.1900");
    const std::size_t before = c.RecordsScanned();

    // Closed whole, then settled: the settlement reads the closed copy, the closing position the book.
    c.FindOpenPosition("X1")->deliveryMode = 3;
    c.UpdateOpenOrderCollection("X1", report("80=X1|76=0"), dec("0"));
    EXPECT_FALSE(c.FindOpenPosition("X1"));
    c.FindOpenPosition("B5")->OrderPrice = dec("1.3000"); // not the settled position's
    c.FillSettledOrderCollection(report("10=66|34=1001|12=7|80=X1|87=C1|86=S1|88=1|89=10"));
    ASSERT_TRUE(c.FindSettlement("S1"));
    EXPECT_EQ(std::tuple(c.FindSettlement("S1")->OrderPrice, c.FindSettlement("S1")->SettledPrice,
                         c.FindSettlement("S1")->deliveryMode),
              std::tuple(dec("1.2000"), std::optional(dec("1.1900")), 3));
    EXPECT_EQ(c.RecordsScanned(), before) << "a report's own records are found by id";
    EXPECT_EQ(model.OpenOrderCollection.size(), 2001u);

    // The newest record of an id wins, as the pass over both lists gave it: a position held twice in
    // the book, and closed twice in the copy.
    auto twice = std::make_shared<Order>(*c.FindOpenPosition("B7"));
    twice->OrderPrice = dec("1.5000");
    model.OpenOrderCollection.push_back(twice);
    c.FillSettledOrderCollection(report("10=66|34=1001|12=7|80=B7|86=S2|88=1|89=10"));
    EXPECT_EQ(c.FindSettlement("S2")->OrderPrice, dec("1.5000"));
    c.UpdateOpenOrderCollection("B8", report("80=B8|76=0"), dec("0"));
    addPosition("B8");
    c.FindOpenPosition("B8")->OrderPrice = dec("1.6000");
    c.UpdateOpenOrderCollection("B8", report("80=B8|76=0"), dec("0"));
    c.FillSettledOrderCollection(report("10=66|34=1001|12=7|80=B8|86=S3|88=1|89=10"));
    EXPECT_EQ(c.FindSettlement("S3")->OrderPrice, dec("1.6000"));
}

TEST_F(OrderCollectionsTest, SettlementRefusedWithoutIdOrForAForeignAccount) {
    c.FillSettledOrderCollection(report("34=1001|12=7|80=X1|89=1"));
    c.FillSettledOrderCollection(report("34=5|12=7|86=S3"));
    c.FillSettledOrderCollection(report("34=1001|12=7|86=S4|88=1e"));
    EXPECT_TRUE(model.SettledOrderCollection.empty());
}

TEST_F(OrderCollectionsTest, RecordsOfAnInstrumentTheSnapshotLacksAreKept) {
    // Reports name the instrument by its code, settlements and data-service rows by its id.
    Fields pending = pendingReport("P1", "30");
    pending.push_back("12=XAUUSD");
    c.FillPendingOrderCollection(pending, "P1");
    Fields executed = executedReport("X1", "10");
    executed.push_back("12=NOPE");
    c.FillOpenOrderCollection(executed);
    c.FillSettledOrderCollection(report("34=1001|12=99|86=S1|89=1"));

    OpenOrderHD open{.PositionId = "X2",
                     .AccountId = "1001",
                     .InstrumentId = 99,
                     .PositionInitialQty = dec("2"),
                     .PositionQty = dec("2")};
    c.FillInitialOpenOrderCollection(open);
    c.FillInitialPendingOrderCollection(PendingOrderHD{.PendingOrderId = "P2",
                                                       .AccountId = "1001",
                                                       .InstrumentId = 99,
                                                       .OrderQty = dec("1"),
                                                       .RemainingQty = dec("1")});
    c.FillInitialSettledOrderCollection(
        SettledOrderHD{.SettlementId = "S2", .AccountId = "1001", .InstrumentId = 99});
    c.FillInitialCancelledOrderCollection(
        CancelledOrderHD{.CancelledOrderId = "C1", .InstrumentId = 99, .AccountId = "1001"});

    ASSERT_TRUE(c.FindPendingOrder("P1"));
    EXPECT_EQ(c.FindPendingOrder("P1")->ItemCode, "XAUUSD");
    ASSERT_TRUE(c.FindOpenPosition("X1"));
    EXPECT_EQ(c.FindOpenPosition("X1")->ItemCode, "NOPE");
    for (const auto& record : {c.FindSettlement("S1"), c.FindOpenPosition("X2"), c.FindPendingOrder("P2"),
                               c.FindSettlement("S2")}) {
        ASSERT_TRUE(record);
        EXPECT_EQ(record->ItemCode, "");
        EXPECT_EQ(record->UnknownInstrumentId, 99);
    }
    ASSERT_EQ(model.CancelledOrderCollection.size(), 1u);
    EXPECT_EQ(model.CancelledOrderCollection[0]->UnknownInstrumentId, 99);
    // A known instrument's record names no unknown id.
    open.PositionId = "X3";
    open.InstrumentId = 8;
    c.FillInitialOpenOrderCollection(open);
    EXPECT_EQ(c.FindOpenPosition("X3")->ItemCode, "GBPUSD");
    EXPECT_EQ(c.FindOpenPosition("X3")->UnknownInstrumentId, 0);
}

TEST_F(OrderCollectionsTest, DuplicateRowsAreRefusedAlsoAfterTheListsChangedElsewhere) {
    SettledOrderHD settled{.AccountId = "1001", .InstrumentId = 7};
    for (const char* id : {"S1", "S2", "S3", "S2", "S1"}) {
        settled.SettlementId = id;
        c.FillInitialSettledOrderCollection(settled);
    }
    EXPECT_EQ(ids(model.SettledOrderCollection, &Order::SettlementId),
              (std::vector<std::string>{"S1", "S2", "S3"}));

    // Records added and removed by other code are found, and removed ones no longer are.
    auto local = std::make_shared<Order>();
    local->OpenPositionId = "L1";
    model.OpenOrderCollection.push_back(local);
    const OpenOrderHD open{.PositionId = "L1",
                           .AccountId = "1001",
                           .InstrumentId = 7,
                           .PositionInitialQty = dec("1"),
                           .PositionQty = dec("1")};
    c.FillInitialOpenOrderCollection(open);
    EXPECT_EQ(model.OpenOrderCollection.size(), 1u);
    EXPECT_EQ(c.FindOpenPosition("L1"), local);
    model.OpenOrderCollection.clear();
    EXPECT_FALSE(c.FindOpenPosition("L1"));
    c.FillInitialOpenOrderCollection(open);
    ASSERT_TRUE(c.FindOpenPosition("L1"));
    EXPECT_NE(c.FindOpenPosition("L1"), local);

    // A pending order whose id a report changed is found under its new id only.
    addPending("P1");
    c.UpdatePendingOrderCollection(report("73=75|79=P9|38=1.26|37=3"), "P1");
    EXPECT_FALSE(c.FindPendingOrder("P1"));
    EXPECT_TRUE(c.FindPendingOrder("P9"));
}

// ---- bounds

TEST_F(OrderCollectionsTest, FullListsRefuseNewRecords) {
    auto filler = std::make_shared<Order>();
    for (auto* list : {&model.OpenOrderCollection, &model.PendingOrderCollection}) {
        list->reserve(SessionModel::kMaxEntriesPerCollection);
        for (std::size_t i = 0; i < SessionModel::kMaxEntriesPerCollection; ++i)
            list->emplace_back(filler);
    }
    addPosition("X1");
    addPending("P1");
    EXPECT_EQ(model.OpenOrderCollection.size(), SessionModel::kMaxEntriesPerCollection);
    EXPECT_EQ(model.PendingOrderCollection.size(), SessionModel::kMaxEntriesPerCollection);
    EXPECT_FALSE(c.FindOpenPosition("X1"));
    EXPECT_FALSE(c.FindPendingOrder("P1"));
}

// ---- rejection texts

class RejectionTexts : public ::testing::Test {
protected:
    testing_support::ScopedResources resources{
        "0339\tgeneric\n1057\tr2\n1058\tr5\n1059\tr8\n1065\tr11\n1037\tr13\n"
        "3108\tr15\n3069\tr50\n1064\tr80\n1063\tr81\n1062\tr83\n"
        "20291\tr86\n1077\tother\n"};
    SessionModel model;
    ListsHost around{model};
    OrderCollections c{around.host};
};

TEST_F(RejectionTexts, EachCodeShowsItsText) {
    for (int code : {1, 12, 51, 82})
        EXPECT_EQ(c.GetOrderRejectionReason(code), "generic") << code;
    const std::vector<std::pair<int, std::string>> own = {{2, "r2"},   {5, "r5"},   {8, "r8"},   {11, "r11"},
                                                          {13, "r13"}, {15, "r15"}, {50, "r50"}, {80, "r80"},
                                                          {81, "r81"}, {83, "r83"}, {86, "r86"}};
    for (const auto& [code, text] : own)
        EXPECT_EQ(c.GetOrderRejectionReason(code), text) << code;
    for (int code : {0, 3, -1, 84, 2147483647})
        EXPECT_EQ(c.GetOrderRejectionReason(code), "other") << code;
}

TEST_F(RejectionTexts, LanguageWithoutTableFallsBackToEnglish) {
    around.app.setSelectedLanguage(5); // no such folder in this bundle
    EXPECT_EQ(c.GetOrderRejectionReason(86), "r86");
}

TEST(ShippedRejectionTexts, EveryKeyHasAnEnglishText) {
    platform::Bundle::setResourcesRoot({});
    for (int code : {1, 2, 5, 8, 11, 12, 13, 15, 50, 51, 80, 81, 82, 83, 86, 0}) {
        const std::string_view key = OrderCollections::RejectionReasonKey(code);
        const auto text = LanguageString::stringForSelectedLanguage(0, key);
        ASSERT_TRUE(text);
        EXPECT_NE(*text, key) << "key " << key << " has no English text";
    }
}

// ---- initial lists from the data service

TEST_F(OrderCollectionsTest, InitialOpenPositionsProrateCommissionAndParkClosedOnes) {
    OpenOrderHD row{.PositionId = "X1",
                    .AccountId = "1001",
                    .InstrumentId = 8,
                    .IsBuy = false,
                    .PositionInitialQty = dec("10"),
                    .PositionQty = dec("4"),
                    .OrderPrice = dec("1.25"),
                    .CommissionPaid = dec("5"),
                    .PositionDate = at("20240131154500"),
                    .DeliveryMode = Delivery::Intraday,
                    .OrderTypeId = OrderKind::Stop,
                    .ValueDate = at("20240202000000")};
    c.FillInitialOpenOrderCollection(row);
    c.FillInitialOpenOrderCollection(row);

    ASSERT_EQ(model.OpenOrderCollection.size(), 1u);
    const Order& p = *model.OpenOrderCollection[0];
    EXPECT_EQ(std::tuple(p.ItemCode, p.tradingMode, p.OrderQty, p.RemainingQty, p.OrderPrice),
              std::tuple("GBPUSD", 1, dec("10.000000"), dec("4.000000"), dec("1.250000")));
    EXPECT_DOUBLE_EQ(positionCommission(p), 2.0);
    EXPECT_EQ(p.TransactionDateTime, at("20240131154500"));
    EXPECT_EQ(p.ValueDate, at("20240202000000"));
    EXPECT_EQ(p.deliveryMode, 2) << "row codes are stored as they come";
    EXPECT_EQ(p.orderType, 3);

    row.PositionId = "X2";
    row.PositionQty = Decimal();
    c.FillInitialOpenOrderCollection(row);
    EXPECT_EQ(model.OpenOrderCollection.size(), 1u);
    EXPECT_EQ(ids(c.OpenOrderCollectionCopy(), &Order::OpenPositionId), (std::vector<std::string>{"X2"}));

    // Another account's, a NaN quantity: refused.
    row.PositionQty = dec("1");
    row.PositionId = "X3";
    row.AccountId = "2002";
    c.FillInitialOpenOrderCollection(row);
    row.AccountId = "1001";
    row.PositionQty = Decimal::notANumber();
    c.FillInitialOpenOrderCollection(row);
    EXPECT_EQ(model.OpenOrderCollection.size(), 1u);
}

TEST_F(OrderCollectionsTest, InitialRowsKeepTheirNumbersPastWhatADoubleHolds) {
    c.FillInitialOpenOrderCollection(OpenOrderHD{.PositionId = "X1",
                                                 .AccountId = "1001",
                                                 .InstrumentId = 7,
                                                 .PositionInitialQty = dec("123456789012345.1"),
                                                 .PositionQty = dec("123456789012345.1"),
                                                 .OrderPrice = dec("0.0000005")});
    ASSERT_EQ(model.OpenOrderCollection.size(), 1u);
    const Order& p = *model.OpenOrderCollection[0];
    EXPECT_EQ(p.OrderQty.toString(), "123456789012345.1");
    EXPECT_EQ(p.RemainingQty.toString(), "123456789012345.1");
    EXPECT_EQ(p.OrderPrice, dec("0.000001")) << "six decimals, the half rounded up";
}

TEST_F(OrderCollectionsTest, InitialPendingOrdersLinkTheirBracketsEvenWhenRepeated) {
    c.FillInitialOpenOrderCollection(OpenOrderHD{.PositionId = "X1",
                                                 .AccountId = "1001",
                                                 .InstrumentId = 7,
                                                 .PositionInitialQty = dec("2"),
                                                 .PositionQty = dec("2")});
    const PendingOrderHD tp{.PendingOrderId = "P1",
                            .AccountId = "1001",
                            .InstrumentId = 7,
                            .OrderTypeId = OrderKind::Limit,
                            .OrderQty = dec("2"),
                            .RemainingQty = dec("2"),
                            .OrderPrice = dec("1.3"),
                            .StopPrice = dec("1.25"),
                            .RefPositionIdOfBracket = "X1"};
    c.FillInitialPendingOrderCollection(tp);
    PendingOrderHD sl = tp;
    sl.PendingOrderId = "P2";
    sl.OrderTypeId = OrderKind::Stop;
    sl.OrderPrice = dec("1.1");
    c.FillInitialPendingOrderCollection(sl);

    Order& x1 = *c.FindOpenPosition("X1");
    EXPECT_EQ(x1.LimitPrice, dec("1.300000"));
    EXPECT_EQ(x1.StopPrice, dec("1.100000"));
    const Order& p1 = *c.FindPendingOrder("P1");
    EXPECT_EQ(p1.LimitPrice, std::nullopt);
    EXPECT_EQ(p1.StopPrice, dec("1.250000"));

    // The second reply adds nothing but refreshes the position's legs.
    x1.LimitPrice.reset();
    c.FillInitialPendingOrderCollection(tp);
    EXPECT_EQ(model.PendingOrderCollection.size(), 2u);
    EXPECT_EQ(c.FindOpenPosition("X1")->LimitPrice, dec("1.300000"));

    PendingOrderHD done = tp;
    done.PendingOrderId = "P3";
    done.RemainingQty = Decimal();
    done.RefPositionIdOfBracket.clear();
    c.FillInitialPendingOrderCollection(done);
    EXPECT_EQ(model.PendingOrderCollection.size(), 2u);
    EXPECT_EQ(ids(c.PendingOrderCollectionCopy(), &Order::PendingOrderId), (std::vector<std::string>{"P3"}));
}

TEST_F(OrderCollectionsTest, InitialSettledAndCancelledRows) {
    const SettledOrderHD s{.SettlementId = "S1",
                           .AccountId = "1001",
                           .InstrumentId = 7,
                           .SettledQty = dec("3"),
                           .SettledPL = dec("-12.345"),
                           .IsBuy = true,
                           .OpenPrice = dec("1.20"),
                           .ClosePrice = dec("1.2100")};
    c.FillInitialSettledOrderCollection(s);
    c.FillInitialSettledOrderCollection(s);
    ASSERT_EQ(model.SettledOrderCollection.size(), 1u);
    EXPECT_EQ(
        std::tuple(model.SettledOrderCollection[0]->SettledPL, model.SettledOrderCollection[0]->SettledQty,
                   model.SettledOrderCollection[0]->OrderPrice, model.SettledOrderCollection[0]->SettledPrice,
                   model.SettledOrderCollection[0]->tradingMode),
        std::tuple(dec("-12.345"), dec("3.000000"), dec("1.20"), dec("1.2100"), 0));

    const CancelledOrderHD k{.CancelledOrderId = "K1",
                             .CancelledQty = dec("1.5"),
                             .InstrumentId = 8,
                             .AccountId = "1001",
                             .OrderPrice = dec("2")};
    c.FillInitialCancelledOrderCollection(k);
    c.FillInitialCancelledOrderCollection(k);
    CancelledOrderHD foreign = k;
    foreign.CancelledOrderId = "K2";
    foreign.AccountId = "3003";
    c.FillInitialCancelledOrderCollection(foreign);
    CancelledOrderHD noInstrument = k;
    noInstrument.CancelledOrderId = "K3";
    noInstrument.InstrumentId = 0;
    c.FillInitialCancelledOrderCollection(noInstrument);
    ASSERT_EQ(model.CancelledOrderCollection.size(), 1u);
    EXPECT_EQ(std::tuple(model.CancelledOrderCollection[0]->OrderQty,
                         model.CancelledOrderCollection[0]->ItemCode,
                         model.CancelledOrderCollection[0]->OrderPrice),
              std::tuple(dec("1.500000"), "GBPUSD", dec("2.000000")));
}

// A settlement listed at sign-in and the same arriving live keep the decimal the server sent, so
// they read alike wherever they are shown, half cents rounded once, away from zero.
TEST_F(OrderCollectionsTest, ASettlementListedOrLiveKeepsItsDecimalAsSent) {
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"10.125", "10.13"}, {"-10.125", "-10.13"}, {"0.005", "0.01"}, {"1.115", "1.12"}, {"2.675", "2.68"}};
    for (const auto& [pl, shown] : cases) {
        SCOPED_TRACE(pl);
        const std::string listedId = std::string("L") + pl;
        const std::string liveId = std::string("V") + pl;
        c.FillInitialSettledOrderCollection(SettledOrderHD{
            .SettlementId = listedId, .AccountId = "1001", .InstrumentId = 7, .SettledPL = dec(pl)});
        c.FillSettledOrderCollection(
            report("10=66|34=1001|12=7|80=X1|87=C1|86=" + liveId + "|88=" + pl + "|89=1"));
        const auto listed = c.FindSettlement(listedId);
        const auto live = c.FindSettlement(liveId);
        ASSERT_TRUE(listed && live);
        EXPECT_EQ(listed->SettledPL.toString(), pl);
        EXPECT_EQ(platform::amountText(listed->SettledPL), shown);
        EXPECT_EQ(platform::amountText(live->SettledPL), shown);
    }
}

TEST_F(OrderCollectionsTest, EquityHitChangesOnlyThePositionWithThatId) {
    addPosition("X1");
    addPosition("X2");
    c.FindOpenPosition("X2")->UnrealisedPL = 7;
    EquityHitPriceInfos e;
    e.PositionId = "X1";
    e.HitPrice = dec("1.05");
    e.UnrealisedPL = dec("-300");
    c.SetEquityHitPriceInOrders(e);
    EXPECT_EQ(c.FindOpenPosition("X1")->EquityHitPrice, dec("1.05"));
    EXPECT_DOUBLE_EQ(c.FindOpenPosition("X1")->UnrealisedPL, -300);
    EXPECT_EQ(c.FindOpenPosition("X2")->EquityHitPrice, dec("0"));
    EXPECT_DOUBLE_EQ(c.FindOpenPosition("X2")->UnrealisedPL, 7);
}

} // namespace
