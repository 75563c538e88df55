// The order flow end to end through the client: its order requests go to the loopback server's order
// engine, the execution reports come back and keep the session's live lists, and both sides hold the
// same book.
#include "client/client_factory.h"
#include "client/headless_application.h"
#include "funding/session_funding.h"
#include "interfaces/statements.h"
#include "model/account_statement.h"
#include "model/position_arithmetic.h"
#include "model/records/account_details.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "model/records/request_records.h"
#include "model/session_model_lookup.h"
#include "model/text/formatter.h"
#include "model/text/journal_data.h"
#include "model/text/language_string.h"
#include "model/text/positional_text.h"
#include "orders/order_collections.h"
#include "orders/order_requests.h"
#include "orders/session_orders.h"
#include "platform/bundle.h"
#include "platform/notification_center.h"
#include "platform/user_defaults.h"
#include "session/business/business_base.h"
#include "session/business/business_test_support.h"
#include "session/business/session_events.h"
#include "support/wire_text.h"
#include "wire/login_inputdata.h"

#include "loopback_fixture.h"
#include "market.h"
#include "test_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <map>
#include <set>
#include <span>
#include <string>
#include <tuple>
#include <vector>

namespace {

// A decimal written in the test; "" is 0.
[[maybe_unused]] tc::platform::Decimal dec(std::string_view text) {
    return tc::platform::Decimal::fromString(text).value_or(tc::platform::Decimal());
}

using namespace tc;
using namespace std::chrono_literals;
using OrderList = SessionModel::OrderList;
// Records read through the client, which hands them out read-only.
using OrderRef = std::shared_ptr<const Order>;

std::set<std::string> idsOf(const OrderList& list, std::string Order::*field) {
    std::set<std::string> out;
    for (const auto& o : list)
        if (o)
            out.insert((*o).*field);
    return out;
}

OrderRef findBy(const OrderList& list, std::string Order::*field, std::string_view id) {
    for (const auto& o : list)
        if (o && (*o).*field == id)
            return o;
    return nullptr;
}

std::string text(std::string_view key) {
    return LanguageString::stringForSelectedLanguage(0, key).value_or("");
}

// An order request handed to the server; a refusal names its key and text.
::testing::AssertionResult sent(const interfaces::OrderResult& result) {
    if (result.sent())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "refused: " << result.refusalKey << " " << result.refusalText;
}

// The accounts of the demo user in the default market.
bool demoAccount(int account) {
    return account == 20001 || account == 20002 || account == 20003;
}

class OrderFlowTest : public LoopbackTest {
protected:
    void SetUp() override {
        LoopbackTest::SetUp();
        // Still prices from the start: the client's view and the server's fill prices agree.
        startServer(200, 11, true);
    }
    void TearDown() override {
        sessions.clear();
        LoopbackTest::TearDown();
    }

    struct Session {
        std::unique_ptr<platform::UserDefaults> appDefaults = platform::UserDefaults::inMemory();
        std::unique_ptr<platform::UserDefaults> defaults = platform::UserDefaults::inMemory();
        std::unique_ptr<HeadlessApplication> app;
        std::unique_ptr<interfaces::Client> client;
    };

    // Signs in as demo and waits until the data service's lists have arrived.
    Session& login() {
        auto s = std::make_unique<Session>();
        s->app = std::make_unique<HeadlessApplication>(*s->appDefaults);
        s->client = tc::makeClient(*s->app, {s->defaults.get(), false});
        countLogins(*s->client);
        const int before = logins;
        EXPECT_TRUE(s->client->signIn(loginOf()));
        sessions.push_back(std::move(s));
        Session& out = *sessions.back();
        EXPECT_TRUE(platform::RunLoop::main().runUntil([&] { return logins > before; }, 10s));
        // The financial approvals are the last reply of the login's requests.
        EXPECT_TRUE(until([&] { return !out.client->funding().collections().financialApprovals.empty(); }));
        return out;
    }

    static interfaces::Client& client(Session& s) { return *s.client; }
    // The Journal's lines whose event (the part after the time) holds `part`.
    static std::size_t journalLinesWith(Session& s, const std::string& part) {
        return static_cast<std::size_t>(std::count_if(
            s.client->journal().begin(), s.client->journal().end(), [&](const std::string& line) {
                const std::size_t event = line.find(JournalData::kSeparator);
                return event != std::string::npos &&
                       line.find(part, event + JournalData::kSeparator.size()) != std::string::npos;
            }));
    }
    // Whether a Journal line comes to say `event` exactly.
    static bool journalSays(Session& s, const std::string& event) {
        const std::string said = std::string(JournalData::kSeparator) + event;
        return until([&] {
            return std::any_of(s.client->journal().begin(), s.client->journal().end(),
                               [&](const std::string& line) { return line.ends_with(said); });
        });
    }
    static const SessionModel& lists(Session& s) { return s.client->model(); }

    // Gives the server the client's current quote of `code`, so both price orders alike.
    void alignQuote(Session& s, const std::string& code) {
        const auto* item = lists(s).ItemCollection.get(code);
        ASSERT_TRUE(item) << code;
        const int decimals = (*item)->DecimalPlaces;
        ASSERT_TRUE(server->setQuote(code, Formatter::formatDecimal((*item)->Bid, decimals),
                                     Formatter::formatDecimal((*item)->Ask, decimals)));
    }

    // Places a market order and waits for its position; the new position's id, empty when none came.
    std::string openPosition(Session& s, const std::string& code, int account, bool buy,
                             const std::string& qty) {
        const std::set<std::string> before = idsOf(lists(s).OpenOrderCollection, &Order::OpenPositionId);
        if (const auto result = client(s).orders().placeOrder(marketOrder(code, account, buy, qty));
            !result.sent()) {
            ADD_FAILURE() << "market order refused: " << result.refusalText;
            return {};
        }
        std::string id;
        until([&] {
            for (const auto& p : lists(s).OpenOrderCollection)
                if (!before.contains(p->OpenPositionId) && p->AccountNumber == std::to_string(account)) {
                    id = p->OpenPositionId;
                    return true;
                }
            return false;
        });
        EXPECT_FALSE(id.empty()) << "no position for the market order";
        return id;
    }

    std::set<std::string> serverPositions(bool demoOnly = true) {
        return server->book().with([&](const testserver::Books& b) {
            std::set<std::string> out;
            for (const auto& p : b.positions)
                if (!demoOnly || demoAccount(p.accountId))
                    out.insert(std::to_string(p.positionId));
            return out;
        });
    }
    std::set<std::string> serverPending() {
        return server->book().with([&](const testserver::Books& b) {
            std::set<std::string> out;
            for (const auto& o : b.pendingOrders)
                if (demoAccount(o.accountId))
                    out.insert(std::to_string(o.pendingOrderId));
            return out;
        });
    }
    std::optional<testserver::ServerPosition> serverPosition(const std::string& id) {
        return server->book().with(
            [&](const testserver::Books& b) -> std::optional<testserver::ServerPosition> {
                for (const auto& p : b.positions)
                    if (std::to_string(p.positionId) == id)
                        return p;
                return std::nullopt;
            });
    }
    std::optional<testserver::ServerPendingOrder> serverOrder(const std::string& id) {
        return server->book().with(
            [&](const testserver::Books& b) -> std::optional<testserver::ServerPendingOrder> {
                for (const auto& o : b.pendingOrders)
                    if (std::to_string(o.pendingOrderId) == id)
                        return o;
                return std::nullopt;
            });
    }

    // The server received a stream message of `type` and sent reports back after it.
    bool answered(int type, int reportsBefore) {
        return server->waitFor(
            [&](const testserver::ServerStats& st) {
                return std::find(st.streamTypes.begin(), st.streamTypes.end(), type) !=
                           st.streamTypes.end() &&
                       st.orderReports > reportsBefore;
            },
            5s);
    }

    std::vector<std::unique_ptr<Session>> sessions;
};

TEST_F(OrderFlowTest, MarketBuyBecomesPendingThenOpenPosition) {
    Session& s = login();
    alignQuote(s, "EURUSD");
    const std::size_t pendingBefore = lists(s).PendingOrderCollection.size();
    ASSERT_TRUE(sent(client(s).orders().placeOrder(marketOrder("EURUSD", 20001, true, "1"))));
    // The local record joins the pending list at once, before any report.
    ASSERT_EQ(lists(s).PendingOrderCollection.size(), pendingBefore + 1);
    const OrderRef local = lists(s).PendingOrderCollection.back();
    EXPECT_TRUE(local->PendingOrderId.empty());

    OrderRef position;
    ASSERT_TRUE(until([&] {
        for (const auto& p : lists(s).OpenOrderCollection)
            if (p->ItemCode == "EURUSD" && p->AccountNumber == "20001" && p->OpenPositionId != "300001")
                position = p;
        return position != nullptr;
    }));
    // 62/28 replaced the local record by the server's, 62/23 moved that one to the copy and 67/74
    // opened the position naming it.
    // The server's pending record is the order side's own, not a window's.
    const OrderCollections& collections = tc::ordersOf(client(s)).collections();
    const auto served =
        findBy(collections.PendingOrderCollectionCopy(), &Order::PendingOrderId, position->PendingOrderId);
    ASSERT_NE(served, nullptr) << "no pending record of the server for " << position->PendingOrderId;
    EXPECT_EQ(served->orderType, 1);
    EXPECT_EQ(served->OrderQty, dec("1"));
    EXPECT_EQ(lists(s).PendingOrderCollection.size(), pendingBefore);
    EXPECT_EQ(
        std::count(lists(s).PendingOrderCollection.begin(), lists(s).PendingOrderCollection.end(), local), 0);
    EXPECT_EQ(position->RemainingQty, dec("1"));
    EXPECT_EQ(position->tradingMode, 0);

    const auto held = serverPosition(position->OpenPositionId);
    ASSERT_TRUE(held);
    EXPECT_EQ(std::to_string(held->refPendingOrderId), position->PendingOrderId);
    EXPECT_EQ(dec(held->openPrice), position->OrderPrice);
    EXPECT_EQ(held->qty, "1");
    EXPECT_EQ(idsOf(lists(s).OpenOrderCollection, &Order::OpenPositionId), serverPositions());
}

TEST_F(OrderFlowTest, LimitOrderWaitsThenTriggersWhenTheQuoteCrossesIt) {
    Session& s = login();
    ASSERT_TRUE(server->setQuote("EURUSD", "1.08500", "1.08512"));
    interfaces::OrderTicket info = marketOrder("EURUSD", 20001, true, "0.5");
    info.kind = interfaces::OrderKind::Limit;
    info.price = dec("1.08300");
    ASSERT_TRUE(sent(client(s).orders().placeOrder(info)));

    OrderRef pending;
    ASSERT_TRUE(until([&] {
        pending = nullptr;
        for (const auto& o : lists(s).PendingOrderCollection)
            if (o->ItemCode == "EURUSD" && o->orderType == 2 && !o->PendingOrderId.empty() &&
                o->RefPositionIdOfBracket.empty())
                pending = o;
        return pending != nullptr;
    }));
    EXPECT_EQ(pending->OrderPrice, dec("1.08300"));
    const std::string id = pending->PendingOrderId;
    ASSERT_TRUE(serverOrder(id));
    EXPECT_EQ(idsOf(lists(s).PendingOrderCollection, &Order::PendingOrderId), serverPending());
    // The stored order is confirmed once.
    ASSERT_TRUE(until([&] { return !s.app->callsNamed("showMessageAlert").empty(); }));
    const auto confirmation = s.app->callsNamed("showMessageAlert");
    ASSERT_EQ(confirmation.size(), 1u);
    EXPECT_NE(confirmation[0].args[0].find(id), std::string::npos);

    // The ask falls through the limit: the order fills at that ask.
    ASSERT_TRUE(server->setQuote("EURUSD", "1.08280", "1.08292"));
    OrderRef position;
    ASSERT_TRUE(until([&] {
        position = findBy(lists(s).OpenOrderCollection, &Order::PendingOrderId, id);
        return position != nullptr;
    }));
    EXPECT_EQ(findBy(lists(s).PendingOrderCollection, &Order::PendingOrderId, id), nullptr);
    EXPECT_FALSE(serverOrder(id));
    // orderType taken over from the pending order it came from.
    EXPECT_EQ(std::tuple(position->OrderPrice, position->RemainingQty, position->orderType),
              std::tuple(dec("1.08292"), dec("0.5"), 2));
    EXPECT_TRUE(serverPosition(position->OpenPositionId));
}

TEST_F(OrderFlowTest, PartialCloseLeavesTheRemainderAndFullCloseSettles) {
    Session& s = login();
    alignQuote(s, "EURUSD");
    // Seeded: 300001 buys 1.5 EURUSD with take-profit leg 310002.
    ASSERT_NE(findBy(lists(s).OpenOrderCollection, &Order::OpenPositionId, "300001"), nullptr);
    const std::size_t settledBefore = lists(s).SettledOrderCollection.size();
    ASSERT_TRUE(sent(client(s).orders().closePosition("300001", dec("0.5"))));

    ASSERT_TRUE(until([&] { return lists(s).SettledOrderCollection.size() == settledBefore + 1; }));
    const auto position = findBy(lists(s).OpenOrderCollection, &Order::OpenPositionId, "300001");
    ASSERT_NE(position, nullptr);
    EXPECT_EQ(position->RemainingQty, dec("1"));
    const OrderRef first = lists(s).SettledOrderCollection.back();
    // ItemCode the report names the instrument by its id.
    EXPECT_EQ(std::tuple(first->OpenPositionId, first->ItemCode, first->SettledQty, first->OrderPrice),
              std::tuple("300001", "EURUSD", dec("0.5"), position->OrderPrice));
    ASSERT_EQ(serverPosition("300001")->qty, "1");
    // The take-profit leg now closes what is left.
    ASSERT_TRUE(until([&] {
        const auto leg = findBy(lists(s).PendingOrderCollection, &Order::PendingOrderId, "310002");
        return leg && leg->OrderQty == dec("1");
    }));
    EXPECT_EQ(serverOrder("310002")->remainingQty, "1");

    ASSERT_TRUE(sent(client(s).orders().closePosition("300001", dec("1"))));
    ASSERT_TRUE(until([&] {
        return findBy(lists(s).OpenOrderCollection, &Order::OpenPositionId, "300001") == nullptr &&
               lists(s).SettledOrderCollection.size() == settledBefore + 2;
    }));
    const OrderRef last = lists(s).SettledOrderCollection.back();
    EXPECT_EQ(last->OpenPositionId, "300001");
    EXPECT_EQ(last->SettledQty, dec("1"));
    EXPECT_NE(last->SettlementId, first->SettlementId);
    EXPECT_FALSE(serverPosition("300001"));
    // Its leg went with it, cancelled on both sides.
    ASSERT_TRUE(until([&] {
        return findBy(lists(s).PendingOrderCollection, &Order::PendingOrderId, "310002") == nullptr;
    }));
    EXPECT_NE(findBy(lists(s).CancelledOrderCollection, &Order::PendingOrderId, "310002"), nullptr);
    EXPECT_FALSE(serverOrder("310002"));
    EXPECT_EQ(idsOf(lists(s).OpenOrderCollection, &Order::OpenPositionId), serverPositions());
    const auto settlements = server->book().with([](const testserver::Books& b) {
        std::set<std::string> out;
        for (const auto& x : b.settlements)
            if (x.refPositionId == 300001)
                out.insert(std::to_string(x.settlementId));
        return out;
    });
    EXPECT_EQ(settlements, (std::set<std::string>{first->SettlementId, last->SettlementId}));
}

TEST_F(OrderFlowTest, EditAndCancelOfAPendingOrderAndBracketsOfAPosition) {
    Session& s = login();
    alignQuote(s, "USDJPY");
    alignQuote(s, "XAUUSD");
    // Seeded: 310001 buys 2 USDJPY at 150.250.
    ASSERT_TRUE(sent(
        client(s).orders().editPendingOrder("310001", dec("1"), dec("150.100"), std::nullopt, std::nullopt)));
    ASSERT_TRUE(until([&] {
        const auto o = findBy(lists(s).PendingOrderCollection, &Order::PendingOrderId, "310001");
        return o && o->OrderPrice == dec("150.100");
    }));
    const auto edited = findBy(lists(s).PendingOrderCollection, &Order::PendingOrderId, "310001");
    EXPECT_EQ(edited->OrderQty, dec("1"));
    EXPECT_EQ(edited->RemainingQty, dec("1"));
    EXPECT_TRUE(edited->LimitPrice.has_value() == false);
    const auto held = serverOrder("310001");
    ASSERT_TRUE(held);
    EXPECT_EQ(held->orderPrice, "150.100");
    EXPECT_EQ(held->remainingQty, "1");

    // Seeded: 300002 sells 0.2 XAUUSD without brackets; a take profit below and a stop loss above.
    ASSERT_TRUE(sent(client(s).orders().editPositionBrackets("300002", dec("2000.00"), dec("2080.00"))));
    ASSERT_TRUE(until([&] {
        const auto p = findBy(lists(s).OpenOrderCollection, &Order::OpenPositionId, "300002");
        return p && p->LimitPrice == dec("2000.00") && p->StopPrice == dec("2080.00");
    }));
    const auto legs = server->book().with([](const testserver::Books& b) {
        std::set<std::string> out;
        for (const auto& o : b.pendingOrders)
            if (o.refPositionId == 300002)
                out.insert(o.orderPrice);
        return out;
    });
    EXPECT_EQ(legs, (std::set<std::string>{"2000.00", "2080.00"}));

    const std::size_t cancelledBefore = lists(s).CancelledOrderCollection.size();
    ASSERT_TRUE(sent(client(s).orders().cancelPendingOrder("310001")));
    ASSERT_TRUE(until([&] {
        return findBy(lists(s).PendingOrderCollection, &Order::PendingOrderId, "310001") == nullptr;
    }));
    ASSERT_TRUE(until([&] { return lists(s).CancelledOrderCollection.size() == cancelledBefore + 1; }));
    const OrderRef cancelled = lists(s).CancelledOrderCollection.back();
    EXPECT_EQ(cancelled->PendingOrderId, "310001");
    EXPECT_EQ(cancelled->OrderQty, dec("1")); // what was still open
    EXPECT_FALSE(serverOrder("310001"));
    EXPECT_TRUE(server->book().with([](const testserver::Books& b) {
        return std::any_of(
            b.cancellations.begin(), b.cancellations.end(),
            [](const testserver::ServerCancellation& x) { return x.cancelledOrderId == 310001; });
    }));
    // The brackets' own legs remain.
    EXPECT_EQ(idsOf(lists(s).PendingOrderCollection, &Order::PendingOrderId), serverPending());
}

// The answers a session's requests got, by request number.
struct Answers {
    std::map<std::uint64_t, interfaces::RequestAnswer> got;
    std::unique_ptr<interfaces::Handler> handler;
    explicit Answers(interfaces::Client& client)
        : handler(client.orders().handleRequestAnswered(
              [this](const interfaces::RequestAnswer& a) { got.insert_or_assign(a.request, a); })) {}
    // "done", "rejected", "not known" or "" while unanswered.
    std::string of(std::uint64_t request) const {
        const auto it = got.find(request);
        return it == got.end()       ? ""
               : !it->second.known   ? "not known"
               : it->second.accepted ? "done"
                                     : "rejected";
    }
};

TEST_F(OrderFlowTest, OffsetClosesHedgedPositionsAgainstEachOther) {
    Session& s = login();
    alignQuote(s, "EURUSD");
    const std::string bought = openPosition(s, "EURUSD", 20003, true, "1");
    const std::string sold = openPosition(s, "EURUSD", 20003, false, "1");
    ASSERT_FALSE(bought.empty());
    ASSERT_FALSE(sold.empty());

    Answers answers(client(s));
    const std::size_t settledBefore = lists(s).SettledOrderCollection.size();
    // Legs the position cannot take are refused before anything is sent.
    const std::vector<interfaces::OffsetLeg> same{{bought, dec("1")}};
    const std::vector<interfaces::OffsetLeg> tooMuch{{sold, dec("2")}};
    const std::vector<interfaces::OffsetLeg> none{{sold, dec("0")}};
    EXPECT_EQ(client(s).orders().offsetPosition(bought, same).refusalKey, OrderRequests::kIncompleteKey);
    EXPECT_EQ(client(s).orders().offsetPosition(bought, tooMuch).refusalKey, OrderRequests::kLegAboveHeldKey);
    EXPECT_EQ(client(s).orders().offsetPosition(bought, none).refusalKey, OrderRequests::kZeroOffsetKey);
    EXPECT_EQ(client(s).orders().offsetPosition(bought, {}).refusalKey, OrderRequests::kIncompleteKey);
    EXPECT_EQ(client(s).orders().offsetPosition("999999", same).refusalKey, OrderRequests::kUnknownRecordKey);
    EXPECT_EQ(streamCount(1052), 0);

    const std::vector<interfaces::OffsetLeg> legs{{sold, dec("1")}};
    const int reports = server->stats().orderReports;
    const auto offset = client(s).orders().offsetPosition(bought, legs);
    ASSERT_TRUE(sent(offset));
    EXPECT_TRUE(answered(1052, reports));
    ASSERT_TRUE(until([&] { return !answers.of(offset.request).empty(); }));
    EXPECT_EQ(answers.of(offset.request), "done");
    EXPECT_EQ(answers.got[offset.request].code, "");
    ASSERT_TRUE(until([&] {
        return !findBy(lists(s).OpenOrderCollection, &Order::OpenPositionId, bought) &&
               !findBy(lists(s).OpenOrderCollection, &Order::OpenPositionId, sold) &&
               lists(s).SettledOrderCollection.size() == settledBefore + 1;
    }));
    const OrderRef settled = lists(s).SettledOrderCollection.back();
    EXPECT_EQ(std::tuple(settled->OpenPositionId, settled->ClosingPositionId, settled->SettledQty),
              std::tuple(bought, sold, dec("1")));
    EXPECT_FALSE(serverPosition(bought));
    EXPECT_FALSE(serverPosition(sold));
}

TEST_F(OrderFlowTest, BulkCloseOfThreePositionsWithOneRefused) {
    Session& s = login();
    alignQuote(s, "EURUSD");
    const std::string a = openPosition(s, "EURUSD", 20001, true, "1");
    const std::string b = openPosition(s, "EURUSD", 20002, false, "2");
    const std::string c = openPosition(s, "EURUSD", 20001, true, "0.3");
    ASSERT_FALSE(a.empty() || b.empty() || c.empty());
    std::vector<OrderRef> chosen{findBy(lists(s).OpenOrderCollection, &Order::OpenPositionId, a),
                                 findBy(lists(s).OpenOrderCollection, &Order::OpenPositionId, b),
                                 findBy(lists(s).OpenOrderCollection, &Order::OpenPositionId, c)};
    // The third is closed meanwhile; the close-all window still holds it.
    ASSERT_TRUE(sent(client(s).orders().closePosition(c, dec("0.3"))));
    ASSERT_TRUE(until([&] { return !findBy(lists(s).OpenOrderCollection, &Order::OpenPositionId, c); }));

    // The window's check of each position sends nothing; a position that is gone is refused.
    const int streamBefore = streamCount(60);
    const std::string checked[] = {a, c};
    const auto results = client(s).orders().checkClosePositions(checked);
    ASSERT_EQ(results.size(), 2u);
    EXPECT_TRUE(results[0].sent());
    EXPECT_EQ(results[1].refusalKey, OrderRequests::kUnknownRecordKey);
    EXPECT_EQ(streamCount(60), streamBefore);

    std::vector<interfaces::BulkCloseReport> reported;
    auto bulkReports = client(s).orders().handleBulkCloseReport(
        [&](const interfaces::BulkCloseReport& report) { reported.push_back(report); });
    const int reports = server->stats().orderReports;
    // By the records the window still holds (the client's close-all takes ids and leaves gone ones out).
    ASSERT_TRUE(tc::ordersOf(client(s)).requests().createBulkClosePositionInfo(chosen, 3));
    EXPECT_TRUE(answered(82, reports));
    // Settlements of the chosen positions only: the earlier close of the third is reported too.
    const auto settledOf = [&] {
        std::set<std::string> ids;
        for (const auto& report : reported)
            if (report.kind == interfaces::BulkCloseReport::Kind::Settled && report.settlement)
                ids.insert(report.settlement->OpenPositionId);
        ids.erase(c);
        return ids;
    };
    const auto rejections = [&] {
        return std::count_if(reported.begin(), reported.end(), [](const interfaces::BulkCloseReport& report) {
            return report.kind == interfaces::BulkCloseReport::Kind::Rejected;
        });
    };
    ASSERT_TRUE(until([&] { return settledOf().size() == 2 && rejections() == 1; }));
    EXPECT_EQ(settledOf(), (std::set<std::string>{a, b}));
    EXPECT_TRUE(until([&] {
        return !findBy(lists(s).OpenOrderCollection, &Order::OpenPositionId, a) &&
               !findBy(lists(s).OpenOrderCollection, &Order::OpenPositionId, b);
    }));
    EXPECT_FALSE(serverPosition(a));
    EXPECT_FALSE(serverPosition(b));
    EXPECT_EQ(idsOf(lists(s).OpenOrderCollection, &Order::OpenPositionId), serverPositions());

    // The same reports through the seam, typed: both settlements and the one rejection.
    std::set<std::string> settled;
    std::vector<std::pair<std::string, std::string>> rejected;
    for (const auto& report : reported) {
        if (report.kind == interfaces::BulkCloseReport::Kind::Settled) {
            ASSERT_NE(report.settlement, nullptr);
            settled.insert(report.settlement->OpenPositionId);
        } else {
            rejected.emplace_back(report.orderNumber, report.reason);
        }
    }
    settled.erase(c);
    EXPECT_EQ(settled, (std::set<std::string>{a, b}));
    EXPECT_EQ(rejected, (std::vector<std::pair<std::string, std::string>>{{c, text("3108")}}));
}

TEST_F(OrderFlowTest, MultiAccountOrderOpensAPositionInEachAccount) {
    Session& s = login();
    alignQuote(s, "EURUSD");
    const std::vector<interfaces::AccountQuantity> accounts{
        {20001, dec("1")}, {20002, dec("0.5")}, {20003, dec("2")}};
    const std::set<std::string> before = idsOf(lists(s).OpenOrderCollection, &Order::OpenPositionId);
    const int reports = server->stats().orderReports;
    ASSERT_TRUE(
        sent(client(s).orders().placeMultiAccountOrder(marketOrder("EURUSD", 0, true, ""), accounts)));
    EXPECT_TRUE(answered(77, reports));

    std::map<std::string, std::string> quantities; // account -> remaining
    ASSERT_TRUE(until([&] {
        quantities.clear();
        for (const auto& p : lists(s).OpenOrderCollection)
            if (!before.contains(p->OpenPositionId))
                quantities[p->AccountNumber] = p->RemainingQty.toString();
        return quantities.size() == 3;
    }));
    EXPECT_EQ(quantities,
              (std::map<std::string, std::string>{{"20001", "1"}, {"20002", "0.5"}, {"20003", "2"}}));
    EXPECT_EQ(idsOf(lists(s).OpenOrderCollection, &Order::OpenPositionId), serverPositions());
}

TEST_F(OrderFlowTest, RejectionShowsTheTextOfItsCode) {
    Session& s = login();
    // Refused by the client: the text of the key, not the key.
    const interfaces::OrderResult refused =
        client(s).orders().placeOrder(marketOrder("EURUSD", 20001, true, "0"));
    ASSERT_FALSE(refused.sent());
    EXPECT_FALSE(text("1003").empty());
    EXPECT_EQ(refused.refusalKey, "1003");
    EXPECT_EQ(refused.refusalText, text("1003"));

    // Refused by the server: its market is closed.
    ASSERT_TRUE(server->setMarketOpen("EURUSD", false));
    const std::size_t cancelledBefore = lists(s).CancelledOrderCollection.size();
    const std::size_t pendingBefore = lists(s).PendingOrderCollection.size();
    ASSERT_TRUE(sent(client(s).orders().placeOrder(marketOrder("EURUSD", 20001, true, "1"))));
    const OrderRef local = lists(s).PendingOrderCollection.back();
    ASSERT_TRUE(until([&] { return !s.app->callsNamed("showMessageBanner").empty(); }));
    const auto banner = s.app->callsNamed("showMessageBanner")[0];
    const std::string reason = text("1065");
    ASSERT_FALSE(reason.empty());
    EXPECT_NE(banner.args[0].find(reason), std::string::npos) << banner.args[0];
    EXPECT_EQ(banner.args[1], text("11006"));
    // A text for the user, neither the key nor the code.
    EXPECT_EQ(reason.find_first_of("0123456789"), std::string::npos) << reason;
    // The local record moved to the cancelled list, found by its request number.
    ASSERT_TRUE(until([&] { return lists(s).PendingOrderCollection.size() == pendingBefore; }));
    ASSERT_EQ(lists(s).CancelledOrderCollection.size(), cancelledBefore + 1);
    EXPECT_EQ(lists(s).CancelledOrderCollection.back(), local);
    EXPECT_EQ(idsOf(lists(s).OpenOrderCollection, &Order::OpenPositionId), serverPositions());
}

TEST_F(OrderFlowTest, MarketOrderBeyondItsDeviationIsRefusedAndWithinItFills) {
    Session& s = login();
    alignQuote(s, "EURUSD");
    interfaces::OrderTicket info = marketOrder("EURUSD", 20001, true, "1");
    info.deviation = 5;
    // Within five points of the price the client saw: filled.
    const std::set<std::string> before = idsOf(lists(s).OpenOrderCollection, &Order::OpenPositionId);
    ASSERT_TRUE(sent(client(s).orders().placeOrder(info)));
    ASSERT_TRUE(until([&] { return lists(s).OpenOrderCollection.size() == before.size() + 1; }));
    // The server's ask moves 20 points away: refused, nothing opened.
    const auto* item = lists(s).ItemCollection.get("EURUSD");
    ASSERT_TRUE(item);
    const std::string away = Formatter::formatDecimal((*item)->Ask.toDouble() + 0.0002, 5);
    ASSERT_TRUE(server->setQuote("EURUSD", away, away));
    const std::size_t cancelledBefore = lists(s).CancelledOrderCollection.size();
    ASSERT_TRUE(sent(client(s).orders().placeOrder(info)));
    ASSERT_TRUE(until([&] { return lists(s).CancelledOrderCollection.size() == cancelledBefore + 1; }));
    ASSERT_TRUE(until([&] { return !s.app->callsNamed("showMessageBanner").empty(); }));
    EXPECT_NE(s.app->callsNamed("showMessageBanner")[0].args[0].find(text("3069")), std::string::npos);
    EXPECT_EQ(lists(s).OpenOrderCollection.size(), before.size() + 1);
    EXPECT_EQ(idsOf(lists(s).OpenOrderCollection, &Order::OpenPositionId), serverPositions());
}

TEST_F(OrderFlowTest, OrderWhileTheStreamIsDownIsRefusedAndNotSent) {
    Session& s = login();
    server->dropStreams();
    ASSERT_TRUE(until([&] { return client(s).loginState() == interfaces::LoginState::Lost; }));
    const int requestsBefore = server->stats().orderRequests;
    const std::size_t pendingBefore = lists(s).PendingOrderCollection.size();
    for (const interfaces::OrderResult& result :
         {client(s).orders().placeOrder(marketOrder("EURUSD", 20001, true, "1")),
          client(s).orders().closePosition("300001", dec("1")),
          client(s).orders().cancelPendingOrder("310001")}) {
        EXPECT_FALSE(result.sent());
        EXPECT_EQ(result.refusalKey, "1007");
        EXPECT_EQ(result.refusalText, text("1007"));
    }
    EXPECT_FALSE(text("1007").empty());
    EXPECT_EQ(lists(s).PendingOrderCollection.size(), pendingBefore);
    EXPECT_EQ(server->stats().orderRequests, requestsBefore);
}

TEST_F(OrderFlowTest, RequestsASilentServerNeverAnsweredAreNamedWhenTheLineIsLost) {
    Session& s = login();
    alignQuote(s, "EURUSD");
    // Answered before the server stands still: not named later.
    ASSERT_FALSE(openPosition(s, "EURUSD", 20002, true, "1").empty());
    server->pauseStream(true);
    ASSERT_TRUE(sent(client(s).orders().placeOrder(marketOrder("EURUSD", 20001, true, "1"))));
    ASSERT_TRUE(sent(client(s).orders().closePosition("300001", dec("0.5"))));
    server->dropStreams();
    ASSERT_TRUE(until([&] { return client(s).loginState() == interfaces::LoginState::Lost; }));
    const auto losses = s.app->callsNamed("onConnectionLost");
    ASSERT_EQ(losses.size(), 1u);
    ASSERT_EQ(losses[0].args.size(), 2u);
    EXPECT_NE(losses[0].args[0].find("EURUSD"), std::string::npos) << losses[0].args[0];
    EXPECT_NE(losses[0].args[1].find("300001"), std::string::npos) << losses[0].args[1];
    // The journal keeps the new order's line and records the loss beside it, for both requests.
    const std::vector<std::string>& journal = client(s).journal();
    const auto newOrder = std::find_if(journal.begin(), journal.end(), [](const std::string& line) {
        return line.find(text("0073") + " EURUSD") != std::string::npos;
    });
    ASSERT_NE(newOrder, journal.end());
    for (const std::string& request : losses[0].args)
        EXPECT_NE(std::find_if(newOrder, journal.end(),
                               [&](const std::string& line) {
                                   return line.ends_with(fillPositional(text("93103"), {request}));
                               }),
                  journal.end())
            << request;
    server->pauseStream(false);
}

// Requests sent in one pass share a request number; the server holds them and answers in another
// order than they were sent. Each reads its own outcome.
TEST_F(OrderFlowTest, ACloseAndAnOrderOfOneNumberAnsweredOutOfOrderEachReadTheirOwnOutcome) {
    Session& s = login();
    alignQuote(s, "GBPUSD");
    Answers answers(client(s));
    server->holdOrders(true);
    const auto close = client(s).orders().closePosition("300001", dec("0.5"));
    const auto order = client(s).orders().placeOrder(marketOrder("GBPUSD", 20001, true, "1"));
    ASSERT_TRUE(sent(close));
    ASSERT_TRUE(sent(order));
    ASSERT_TRUE(
        server->waitFor([](const testserver::ServerStats& st) { return st.heldOrderRequests == 2; }, 5s));
    // The order fills; the close, taken after it, is refused: its market has closed meanwhile.
    ASSERT_TRUE(server->setMarketOpen("EURUSD", false));
    ASSERT_TRUE(server->answerHeldOrders({1, 0}));
    ASSERT_TRUE(until([&] { return answers.got.size() == 2; }));
    EXPECT_EQ(answers.of(order.request), "done");
    EXPECT_EQ(answers.of(close.request), "rejected");
    EXPECT_EQ(answers.got[close.request].reason, text("1065"));
    EXPECT_EQ(dec(serverPosition("300001")->qty), dec("1.5"));
    server->setMarketOpen("EURUSD", true);
    server->holdOrders(false);
}

TEST_F(OrderFlowTest, AnEditAndACloseOfOnePositionAnsweredOutOfOrderEachReadTheirOwnOutcome) {
    Session& s = login();
    alignQuote(s, "EURUSD");
    const std::string position = openPosition(s, "EURUSD", 20002, true, "1");
    ASSERT_FALSE(position.empty());
    const auto* item = lists(s).ItemCollection.get("EURUSD");
    ASSERT_TRUE(item);
    Answers answers(client(s));
    server->holdOrders(true);
    const auto edit =
        client(s).orders().editPositionBrackets(position, (*item)->Bid + dec("0.01"), std::nullopt);
    const auto close = client(s).orders().closePosition(position, dec("1"));
    ASSERT_TRUE(sent(edit));
    ASSERT_TRUE(sent(close));
    ASSERT_TRUE(
        server->waitFor([](const testserver::ServerStats& st) { return st.heldOrderRequests == 2; }, 5s));
    // The server takes the close, then refuses the edit of a position no longer held.
    ASSERT_TRUE(server->answerHeldOrders({1, 0}));
    // (The opening order's own answer may come meanwhile.)
    ASSERT_TRUE(
        until([&] { return !answers.of(close.request).empty() && !answers.of(edit.request).empty(); }));
    EXPECT_EQ(answers.of(close.request), "done");
    EXPECT_EQ(answers.of(edit.request), "rejected");
    EXPECT_FALSE(serverPosition(position));
    server->holdOrders(false);
}

// Two requests of one number the server takes the other way round, refusing one (its market closed
// between the two answers): a refusal names neither side, quantity nor kind, so it waits until the
// other's own reports say whose it was. Each reads what the server's record says it came to.
TEST_F(OrderFlowTest, OfTwoRequestsOfOneNumberAnsweredInReverseTheRefusedOneIsToldRefused) {
    Session& s = login();
    alignQuote(s, "EURUSD");
    Answers answers(client(s));
    struct Pair {
        const char* name;
        std::function<interfaces::OrderResult(const std::string&position)> first, second;
        bool firstRefused; // else the second; the second is answered first
    };
    const auto market = [&](bool buy, const char* quantity) {
        return [&, buy, quantity](const std::string&) {
            return client(s).orders().placeOrder(marketOrder("EURUSD", 20001, buy, quantity));
        };
    };
    const std::vector<Pair> pairs{
        {"buy 1 and sell 1, the sell refused", market(true, "1"), market(false, "1"), false},
        {"buy 1 and sell 1, the buy refused", market(true, "1"), market(false, "1"), true},
        {"buy 1 and buy 2, the buy 2 refused", market(true, "1"), market(true, "2"), false},
        {"a close and a close of 0.4, the part refused",
         [&](const std::string& p) { return client(s).orders().closePosition(p, dec("1.5")); },
         [&](const std::string& p) { return client(s).orders().closePosition(p, dec("0.4")); }, false},
        {"a close of 0.4 and a close, the close refused",
         [&](const std::string& p) { return client(s).orders().closePosition(p, dec("0.4")); },
         [&](const std::string& p) { return client(s).orders().closePosition(p, dec("1.5")); }, false},
    };
    for (const Pair& p : pairs) {
        SCOPED_TRACE(p.name);
        // A position of 1.5 of its own for each pair.
        const std::string position = openPosition(s, "EURUSD", 20001, true, "1.5");
        ASSERT_FALSE(position.empty());
        server->holdOrders(true);
        const std::size_t recorded = server->orderRecord().size();
        const int held = server->stats().heldOrderRequests;
        const auto first = p.first(position);
        const auto second = p.second(position);
        ASSERT_TRUE(sent(first));
        ASSERT_TRUE(sent(second));
        ASSERT_TRUE(server->waitFor(
            [&](const testserver::ServerStats& st) { return st.heldOrderRequests == held + 2; }, 5s));
        // The second taken first; the market closed for the one refused.
        for (const bool firstsTurn : {false, true}) {
            const bool refuse = firstsTurn == p.firstRefused;
            ASSERT_TRUE(server->setMarketOpen("EURUSD", !refuse));
            ASSERT_TRUE(server->answerHeldOrders({firstsTurn ? 0u : 1u}));
        }
        ASSERT_TRUE(server->setMarketOpen("EURUSD", true));
        ASSERT_TRUE(
            until([&] { return !answers.of(first.request).empty() && !answers.of(second.request).empty(); }));
        const auto record = server->orderRecord(recorded);
        ASSERT_EQ(record.size(), 2u);
        // The server's record, in the order answered: the second's, then the first's.
        EXPECT_EQ(record[0].refused(), !p.firstRefused) << testserver::changesText(record[0]);
        EXPECT_EQ(record[1].refused(), p.firstRefused) << testserver::changesText(record[1]);
        EXPECT_EQ(answers.of(first.request), p.firstRefused ? "rejected" : "done");
        EXPECT_EQ(answers.of(second.request), p.firstRefused ? "done" : "rejected");
        server->holdOrders(false);
    }
}

// Of two orders of one number, the server fills one and never answers the other: the loss names the
// one without an answer.
TEST_F(OrderFlowTest, OfTwoOrdersOfOneNumberTheLossNamesTheOneNeverAnswered) {
    Session& s = login();
    alignQuote(s, "EURUSD");
    Answers answers(client(s));
    server->holdOrders(true);
    const auto first = client(s).orders().placeOrder(marketOrder("EURUSD", 20001, true, "1"));
    const auto second = client(s).orders().placeOrder(marketOrder("EURUSD", 20001, true, "2"));
    ASSERT_TRUE(sent(first));
    ASSERT_TRUE(sent(second));
    ASSERT_TRUE(
        server->waitFor([](const testserver::ServerStats& st) { return st.heldOrderRequests == 2; }, 5s));
    ASSERT_TRUE(server->answerHeldOrders({1}));
    ASSERT_TRUE(until([&] { return answers.got.size() == 1; }));
    EXPECT_EQ(answers.of(second.request), "done");
    server->dropStreams();
    ASSERT_TRUE(until([&] { return client(s).loginState() == interfaces::LoginState::Lost; }));
    const auto losses = s.app->callsNamed("onConnectionLost");
    ASSERT_EQ(losses.size(), 1u);
    ASSERT_EQ(losses[0].args.size(), 1u);
    EXPECT_NE(losses[0].args[0].find(" 1 EURUSD"), std::string::npos) << losses[0].args[0];
    server->holdOrders(false);
}

// An order lost with its session is filled later, and its reports reach the user's next session:
// they answer none of that session's requests.
TEST_F(OrderFlowTest, ALostOrdersLateFillAnswersNoOrderOfTheNextSession) {
    Session& first = login();
    alignQuote(first, "EURUSD");
    server->holdOrders(true);
    ASSERT_TRUE(sent(client(first).orders().placeOrder(marketOrder("EURUSD", 20001, true, "1"))));
    ASSERT_TRUE(
        server->waitFor([](const testserver::ServerStats& st) { return st.heldOrderRequests == 1; }, 5s));
    server->dropStreams();
    ASSERT_TRUE(until([&] { return client(first).loginState() == interfaces::LoginState::Lost; }));

    Session& second = login();
    Answers answers(client(second));
    const std::size_t positionsBefore = lists(second).OpenOrderCollection.size();
    const auto order = client(second).orders().placeOrder(marketOrder("EURUSD", 20001, true, "2"));
    ASSERT_TRUE(sent(order));
    ASSERT_TRUE(
        server->waitFor([](const testserver::ServerStats& st) { return st.heldOrderRequests == 2; }, 5s));
    // The lost order is filled: its position comes to the new session, its answer to no request.
    ASSERT_TRUE(server->answerHeldOrders({0}));
    ASSERT_TRUE(until([&] { return lists(second).OpenOrderCollection.size() == positionsBefore + 1; }));
    // The answer, had the fill been taken for one, is posted behind the report: what is queued runs.
    while (platform::RunLoop::main().runOnce() > 0) {
    }
    EXPECT_EQ(answers.of(order.request), "");
    ASSERT_TRUE(server->answerHeldOrders({0}));
    ASSERT_TRUE(until([&] { return answers.of(order.request) == "done"; }));
    server->holdOrders(false);
}

// The exchange's rejection (status 826) is a rejection, as the server's own (25) is.
TEST_F(OrderFlowTest, ACloseRejectedByTheExchangeReadsRejected) {
    Session& s = login();
    Answers answers(client(s));
    server->rejectOrdersAtExchange(true);
    const auto close = client(s).orders().closePosition("300001", dec("0.5"));
    ASSERT_TRUE(sent(close));
    ASSERT_TRUE(until([&] { return !answers.of(close.request).empty(); }));
    EXPECT_EQ(answers.of(close.request), "rejected");
    EXPECT_EQ(dec(serverPosition("300001")->qty), dec("1.5"));
    server->rejectOrdersAtExchange(false);
}

// New orders refused at the exchange, a market and a limit order sent in one pass: each is told
// refused and the client's pending list holds what the server's does, no record left without a number.
TEST_F(OrderFlowTest, NewOrdersRejectedByTheExchangeLeaveNoPendingOrder) {
    Session& s = login();
    Answers answers(client(s));
    ASSERT_TRUE(server->setQuote("EURUSD", "1.08500", "1.08512"));
    server->rejectOrdersAtExchange(true);
    interfaces::OrderTicket limit = marketOrder("EURUSD", 20001, false, "0.5");
    limit.kind = interfaces::OrderKind::Limit;
    limit.price = dec("1.09000");
    const auto market = client(s).orders().placeOrder(marketOrder("EURUSD", 20001, true, "1"));
    const auto placed = client(s).orders().placeOrder(limit);
    ASSERT_TRUE(sent(market));
    ASSERT_TRUE(sent(placed));
    ASSERT_TRUE(
        until([&] { return !answers.of(market.request).empty() && !answers.of(placed.request).empty(); }));
    EXPECT_EQ(answers.of(market.request), "rejected");
    EXPECT_EQ(answers.of(placed.request), "rejected");
    server->rejectOrdersAtExchange(false);
    EXPECT_EQ(idsOf(lists(s).PendingOrderCollection, &Order::PendingOrderId), serverPending());
    EXPECT_EQ(client(s).queries().getPendingOrderCollection().size(), serverPending().size());
}

// The exchange's rejection answers an edit, a cancel and each position of a close-all as it does a
// close (the close's own test is above).
TEST_F(OrderFlowTest, AnEditAndACancelRejectedByTheExchangeReadRejected) {
    Session& s = login();
    Answers answers(client(s));
    server->rejectOrdersAtExchange(true);
    // Seeded: 300002 sells 0.2 XAUUSD, 310001 buys 2 USDJPY pending.
    const auto edit = client(s).orders().editPositionBrackets("300002", dec("2000.00"), dec("2080.00"));
    const auto cancel = client(s).orders().cancelPendingOrder("310001");
    ASSERT_TRUE(sent(edit));
    ASSERT_TRUE(sent(cancel));
    ASSERT_TRUE(
        until([&] { return !answers.of(edit.request).empty() && !answers.of(cancel.request).empty(); }));
    EXPECT_EQ(answers.of(edit.request), "rejected");
    EXPECT_EQ(answers.of(cancel.request), "rejected");
    EXPECT_TRUE(serverOrder("310001"));
    server->rejectOrdersAtExchange(false);
}

// The server puts two accounts in margin call: one kind of banner, each account a line of it, and
// the Journal keeps each call with its account.
TEST_F(OrderFlowTest, MarginCallsAreOneKindOfBannerAndKeptInTheJournal) {
    Session& s = login();
    EXPECT_FALSE(server->sendMarginCall(99999));
    ASSERT_TRUE(server->sendMarginCall(20001));
    ASSERT_TRUE(server->sendMarginCall(20002));
    const std::vector<std::string> calls{fillPositional(text("97401"), {"20001"}),
                                         fillPositional(text("97401"), {"20002"})};
    for (const std::string& call : calls)
        EXPECT_TRUE(journalSays(s, call)) << call;
    std::vector<std::string> lines;
    EXPECT_TRUE(until([&] {
        lines.clear();
        for (const auto& shown : s.app->callsNamed("showBanner"))
            if (shown.banner && shown.banner->subtitle == text("97400"))
                lines.push_back(shown.banner->informativeText);
        return lines.size() >= calls.size();
    }));
    EXPECT_EQ(lines, calls);
}

TEST_F(OrderFlowTest, ACloseAllRejectedByTheExchangeReadsEachPositionRejected) {
    Session& s = login();
    server->rejectOrdersAtExchange(true);
    std::vector<interfaces::RequestAnswer> ofCloseAll;
    auto each = client(s).orders().handleRequestAnswered(
        [&](const interfaces::RequestAnswer& a) { ofCloseAll.push_back(a); });
    // Seeded: 300001 holds 1.5 EURUSD, 300002 0.2 XAUUSD.
    const std::string both[] = {"300001", "300002"};
    const auto closeAll = client(s).orders().closeAllPositions(both, interfaces::CloseAllScope::Selected);
    ASSERT_TRUE(sent(closeAll));
    ASSERT_TRUE(until([&] { return ofCloseAll.size() == 2; }));
    // The Journal keeps each refusal with the request and the position it answers, and the reason,
    // the refused position named first, not after every position of the request.
    const std::string request = fillPositional(text("95406"), {"2", "#300001, #300002"});
    for (const auto& a : ofCloseAll) {
        const std::string said = fillPositional(text("97403"), {request, a.position, a.reason});
        EXPECT_TRUE(journalSays(s, said)) << a.position;
        const std::size_t named = said.find('#');
        ASSERT_NE(named, std::string::npos) << said;
        EXPECT_EQ(said.substr(named + 1, a.position.size()), a.position) << said;
    }
    std::set<std::string> rejected;
    for (const auto& a : ofCloseAll)
        if (a.request == closeAll.request && !a.accepted)
            rejected.insert(a.position);
    EXPECT_EQ(rejected, (std::set<std::string>{"300001", "300002"}));
    EXPECT_EQ(dec(serverPosition("300001")->qty), dec("1.5"));
    server->rejectOrdersAtExchange(false);
}

// Within each step of the rule the oldest request takes the answer, given up or not: the server
// answers in turn. Given up, the answer is told as late in a banner.
class AnswerRuleTest : public OrderFlowTest {
protected:
    // The late banners' texts, in order.
    static std::vector<std::string> lateBanners(Session& s) {
        std::vector<std::string> out;
        for (const HeadlessApplication::Call& c : s.app->callsNamed("showMessageBanner"))
            if (c.args.size() == 2 && c.args[1] == text("94161"))
                out.push_back(c.args[0]);
        return out;
    }
    // Opens a hedged pair of `code` on 20003; the bought position and the sold one.
    std::pair<std::string, std::string> hedgedPair(Session& s, const std::string& code) {
        alignQuote(s, code);
        return {openPosition(s, code, 20003, true, "1"), openPosition(s, code, 20003, false, "1")};
    }
    bool held(int n) {
        return server->waitFor([n](const testserver::ServerStats& st) { return st.heldOrderRequests == n; },
                               5s);
    }
    void TearDown() override {
        server->setMarketOpen("EURUSD", true);
        server->holdOrders(false);
        OrderFlowTest::TearDown();
    }
};

TEST_F(AnswerRuleTest, AGivenUpOffsetsAnswerIsItsOwnNotTheNextOffsets) {
    Session& s = login();
    const auto pairA = hedgedPair(s, "EURUSD");
    const std::string a = pairA.first, aLeg = pairA.second;
    const auto pairB = hedgedPair(s, "GBPUSD");
    const std::string b = pairB.first, bLeg = pairB.second;
    ASSERT_FALSE(a.empty() || aLeg.empty() || b.empty() || bLeg.empty());
    Answers answers(client(s));
    server->holdOrders(true);
    const std::vector<interfaces::OffsetLeg> legsA{{aLeg, dec("1")}}, legsB{{bLeg, dec("1")}};
    const auto first = client(s).orders().offsetPosition(a, legsA);
    ASSERT_TRUE(sent(first));
    client(s).orders().giveUpRequest(first.request);
    const auto second = client(s).orders().offsetPosition(b, legsB);
    ASSERT_TRUE(sent(second));
    ASSERT_TRUE(held(2));
    // The EURUSD market closes: the server refuses A and carries out B, in the order sent.
    ASSERT_TRUE(server->setMarketOpen("EURUSD", false));
    ASSERT_TRUE(server->answerHeldOrders({0, 1}));
    ASSERT_TRUE(
        until([&] { return answers.got.contains(first.request) && answers.got.contains(second.request); }));
    EXPECT_EQ(answers.of(second.request), "done");
    EXPECT_FALSE(answers.got[second.request].late);
    EXPECT_EQ(answers.of(first.request), "rejected");
    EXPECT_EQ(answers.got[first.request].reason, text("1065"));
    EXPECT_TRUE(answers.got[first.request].late);
    EXPECT_TRUE(serverPosition(a));
    EXPECT_FALSE(serverPosition(b));
    ASSERT_TRUE(until([&] { return !lateBanners(s).empty(); }));
    // Named as a close is: quantity, position, instrument, account, and the position it is offset against.
    const std::string late =
        fillPositional(text("94163"), {fillPositional(text("95783"), {"1", a, "EURUSD", "20003", "#" + aLeg}),
                                       text("1065")});
    EXPECT_EQ(lateBanners(s), std::vector<std::string>{late});
    // The Journal keeps it as the banner says it, once: the banner passes in seconds.
    EXPECT_TRUE(journalSays(s, text("94161") + ": " + late));
    const std::string refused = text("97402").substr(0, text("97402").find("{0}"));
    EXPECT_EQ(journalLinesWith(s, refused), 0u);
    EXPECT_EQ(journalLinesWith(s, late), 1u);
}

// The rejection banners' texts, in order.
std::vector<std::string> rejectionBanners(const HeadlessApplication& app) {
    std::vector<std::string> out;
    for (const HeadlessApplication::Call& c : app.callsNamed("showMessageBanner"))
        if (c.args.size() == 2 && c.args[1] == text("11006"))
            out.push_back(c.args[0]);
    return out;
}

// A refusal is told once, naming its request: a close by the answer its window waits for, a given-up
// edit by the late banner, an order by the rejection banner, which names it (the ticket shows no
// answer), an order for several accounts each account's part apart. No banner naming no request
// comes beside them.
TEST_F(AnswerRuleTest, EachRefusalIsToldOnceNamingItsRequest) {
    Session& s = login();
    alignQuote(s, "EURUSD");
    Answers answers(client(s));
    ASSERT_TRUE(server->setMarketOpen("EURUSD", false));
    const auto close = client(s).orders().closePosition("300001", dec("0.5"));
    const auto edit = client(s).orders().editPositionBrackets("300001", dec("1.5"), std::nullopt);
    ASSERT_TRUE(sent(close));
    ASSERT_TRUE(sent(edit));
    client(s).orders().giveUpRequest(edit.request);
    const auto order = client(s).orders().placeOrder(marketOrder("EURUSD", 20001, true, "1"));
    ASSERT_TRUE(sent(order));
    const std::vector<interfaces::AccountQuantity> accounts{{20001, dec("1")}, {20002, dec("0.5")}};
    const auto multi =
        client(s).orders().placeMultiAccountOrder(marketOrder("EURUSD", 0, true, ""), accounts);
    ASSERT_TRUE(sent(multi));
    ASSERT_TRUE(until([&] {
        return answers.got.size() == 4 && lateBanners(s).size() == 1 && rejectionBanners(*s.app).size() >= 3;
    }));
    while (platform::RunLoop::main().runOnce() > 0) {
    }
    for (const auto request : {close.request, edit.request, order.request, multi.request})
        EXPECT_EQ(answers.of(request), "rejected") << request;
    const std::vector<std::string> told = rejectionBanners(*s.app);
    ASSERT_EQ(told.size(), 3u) << ::testing::PrintToString(told);
    const char* named[] = {"Buy 1 EURUSD, account 20001 (", "accounts 20001: 1 lots (",
                           "accounts 20002: 0.5 lots ("};
    for (std::size_t i = 0; i < told.size(); ++i)
        EXPECT_TRUE(told[i].find(named[i]) != std::string::npos &&
                    told[i].ends_with("\n" + text("0728") + " " + text("1065")))
            << told[i];
    EXPECT_NE(lateBanners(s)[0].find("#300001"), std::string::npos) << lateBanners(s)[0];
}

// A refusal that answers no request of the session (an order lost with the session before) is still
// told, by the banner that names none.
TEST_F(AnswerRuleTest, ARefusalThatAnswersNoRequestIsStillTold) {
    Session& first = login();
    alignQuote(first, "EURUSD");
    server->holdOrders(true);
    ASSERT_TRUE(sent(client(first).orders().placeOrder(marketOrder("EURUSD", 20001, true, "1"))));
    ASSERT_TRUE(held(1));
    server->dropStreams();
    ASSERT_TRUE(until([&] { return client(first).loginState() == interfaces::LoginState::Lost; }));
    Session& second = login();
    ASSERT_TRUE(server->setMarketOpen("EURUSD", false));
    ASSERT_TRUE(server->answerHeldOrders({0}));
    ASSERT_TRUE(until([&] { return !rejectionBanners(*second.app).empty(); }));
    EXPECT_EQ(rejectionBanners(*second.app),
              std::vector<std::string>{text("0072") + " : " + text("0538") + "\n" + text("0728") + " " +
                                       text("1065")});
}

// The offset answer names no request, only its account and instrument: answered out of order, each
// offset still reads its own.
TEST_F(AnswerRuleTest, OffsetsAnsweredOutOfOrderAreFoundByTheirInstrument) {
    Session& s = login();
    const auto pairA = hedgedPair(s, "EURUSD");
    const auto pairB = hedgedPair(s, "GBPUSD");
    ASSERT_FALSE(pairA.first.empty() || pairA.second.empty() || pairB.first.empty() || pairB.second.empty());
    Answers answers(client(s));
    server->holdOrders(true);
    const std::vector<interfaces::OffsetLeg> legsA{{pairA.second, dec("1")}}, legsB{{pairB.second, dec("1")}};
    const auto first = client(s).orders().offsetPosition(pairA.first, legsA);
    const auto second = client(s).orders().offsetPosition(pairB.first, legsB);
    ASSERT_TRUE(sent(first));
    ASSERT_TRUE(sent(second));
    ASSERT_TRUE(held(2));
    ASSERT_TRUE(server->setMarketOpen("EURUSD", false));
    ASSERT_TRUE(server->answerHeldOrders({1, 0}));
    ASSERT_TRUE(
        until([&] { return answers.got.contains(first.request) && answers.got.contains(second.request); }));
    EXPECT_EQ(answers.of(first.request), "rejected");
    EXPECT_EQ(answers.of(second.request), "done");
}

// The offset answer names only the account and instrument, but the settlement of the positions it closed
// names them: of two offsets of other pairs, each is told its own outcome, the given-up one late.
TEST_F(AnswerRuleTest, OfTwoOffsetsOfOneAccountAndInstrumentNeitherIsToldTheOthersOutcome) {
    Session& s = login();
    const auto pairA = hedgedPair(s, "EURUSD");
    const std::string a = pairA.first, aLeg = pairA.second;
    const auto pairC = hedgedPair(s, "EURUSD");
    const std::string c = pairC.first, cLeg = pairC.second;
    ASSERT_FALSE(a.empty() || aLeg.empty() || c.empty() || cLeg.empty());
    Answers answers(client(s));
    server->holdOrders(true);
    const std::vector<interfaces::OffsetLeg> legsA{{aLeg, dec("1")}}, legsC{{cLeg, dec("1")}};
    const auto first = client(s).orders().offsetPosition(a, legsA);
    ASSERT_TRUE(sent(first));
    client(s).orders().giveUpRequest(first.request);
    const auto second = client(s).orders().offsetPosition(c, legsC);
    ASSERT_TRUE(sent(second));
    ASSERT_TRUE(held(2));
    // The first is carried out; the market closes before the second.
    ASSERT_TRUE(server->answerHeldOrders({0}));
    ASSERT_TRUE(until([&] { return !serverPosition(a); }));
    ASSERT_TRUE(server->setMarketOpen("EURUSD", false));
    ASSERT_TRUE(server->answerHeldOrders({0}));
    ASSERT_TRUE(
        until([&] { return answers.got.contains(first.request) && answers.got.contains(second.request); }));
    EXPECT_EQ(answers.of(first.request), "done");
    EXPECT_TRUE(answers.got[first.request].late);
    EXPECT_EQ(answers.of(second.request), "rejected");
    EXPECT_FALSE(answers.got[second.request].late);
    EXPECT_TRUE(serverPosition(c));
}

// An offset of a hedged pair, then a close of one of its positions or a close-all of both, answered
// in the order sent (the usual case) or the other way round: each is told what the server did to it.
TEST_F(AnswerRuleTest, AnOffsetAndACloseOrCloseAllOfItsPositionsEachReadTheirOwnOutcome) {
    Session& s = login();
    std::vector<interfaces::RequestAnswer> got;
    auto each = client(s).orders().handleRequestAnswered(
        [&](const interfaces::RequestAnswer& a) { got.push_back(a); });
    for (const bool closeAll : {false, true})
        for (const bool inOrder : {true, false}) {
            SCOPED_TRACE(::testing::Message() << (closeAll ? "close-all" : "close") << ", "
                                              << (inOrder ? "in order" : "the other way round"));
            const auto [bought, sold] = hedgedPair(s, "EURUSD");
            ASSERT_FALSE(bought.empty() || sold.empty());
            got.clear();
            server->holdOrders(true);
            const std::vector<interfaces::OffsetLeg> legs{{sold, dec("1")}};
            const auto offset = client(s).orders().offsetPosition(bought, legs);
            ASSERT_TRUE(sent(offset));
            const std::string pair[] = {bought, sold};
            const auto other =
                closeAll ? client(s).orders().closeAllPositions(pair, interfaces::CloseAllScope::Selected)
                         : client(s).orders().closePosition(bought, dec("1"));
            ASSERT_TRUE(sent(other));
            ASSERT_TRUE(held(2));
            ASSERT_TRUE(server->answerHeldOrders(inOrder ? std::vector<std::size_t>{0, 1}
                                                         : std::vector<std::size_t>{1, 0}));
            std::map<std::string, bool> told; // "offset", "close" or each close-all position: done
            std::size_t answers = 0;
            const auto tally = [&] {
                told.clear();
                answers = 0;
                for (const auto& a : got)
                    if (a.request == offset.request || a.request == other.request) {
                        told[a.request == offset.request ? "offset"
                             : closeAll                  ? a.position
                                                         : "close"] = a.accepted;
                        ++answers;
                    }
                return answers >= (closeAll ? 3u : 2u);
            };
            ASSERT_TRUE(until(tally));
            while (platform::RunLoop::main().runOnce() > 0) {
            }
            tally();
            EXPECT_EQ(answers, closeAll ? 3u : 2u) << "each told once";
            std::map<std::string, bool> expected{{"offset", inOrder}};
            if (closeAll) {
                expected[bought] = !inOrder;
                expected[sold] = !inOrder;
            } else {
                expected["close"] = !inOrder;
            }
            EXPECT_EQ(told, expected);
            const std::string gone =
                text(OrderCollections::RejectionReasonKey(testserver::kRejectUnknownOrder));
            for (const auto& a : got) {
                if (a.request == other.request && !a.accepted) {
                    EXPECT_EQ(a.reason, gone);
                }
            }
            EXPECT_FALSE(serverPosition(bought));
            EXPECT_EQ(!serverPosition(sold), inOrder || closeAll);
            server->holdOrders(false);
        }
}

// A close of 300002 waits on the server while its take-profit leg fills and closes the position:
// the update that follows is the leg's, and the close reads its own refusal.
TEST_F(AnswerRuleTest, ACloseOfAPositionItsLegClosedReadsRefused) {
    Session& s = login();
    alignQuote(s, "XAUUSD");
    Answers answers(client(s));
    // Seeded: 300002 sells 0.2 XAUUSD; its take profit below the price.
    const auto bracket = client(s).orders().editPositionBrackets("300002", dec("2000.00"), std::nullopt);
    ASSERT_TRUE(sent(bracket));
    ASSERT_TRUE(until([&] { return !answers.of(bracket.request).empty(); }));
    ASSERT_EQ(answers.of(bracket.request), "done");
    server->holdOrders(true);
    const auto close = client(s).orders().closePosition("300002", dec("0.2"));
    ASSERT_TRUE(sent(close));
    ASSERT_TRUE(held(1));
    ASSERT_TRUE(server->setQuote("XAUUSD", "1990.00", "1990.50"));
    ASSERT_TRUE(until([&] { return !serverPosition("300002"); }));
    ASSERT_TRUE(
        until([&] { return !findBy(lists(s).OpenOrderCollection, &Order::OpenPositionId, "300002"); }));
    EXPECT_EQ(answers.of(close.request), "") << "told the leg's update";
    ASSERT_TRUE(server->answerHeldOrders({0}));
    ASSERT_TRUE(until([&] { return !answers.of(close.request).empty(); }));
    EXPECT_EQ(answers.of(close.request), "rejected");
    EXPECT_EQ(answers.got[close.request].reason,
              text(OrderCollections::RejectionReasonKey(testserver::kRejectUnknownOrder)));
}

// An edit taking 300002's take profit off, then a close of it, answered in the order sent (the usual
// case) or the other way round: the close's own cancellation of the leg is no answer to the edit.
class LegOffAndCloseTest : public AnswerRuleTest, public ::testing::WithParamInterface<bool> {};

TEST_P(LegOffAndCloseTest, EachReadsItsOwnOutcome) {
    const bool inOrder = GetParam();
    Session& s = login();
    alignQuote(s, "XAUUSD");
    Answers answers(client(s));
    const auto bracket = client(s).orders().editPositionBrackets("300002", dec("2000.00"), std::nullopt);
    ASSERT_TRUE(sent(bracket));
    ASSERT_TRUE(until([&] { return answers.of(bracket.request) == "done"; }));
    ASSERT_TRUE(until([&] {
        const auto p = findBy(lists(s).OpenOrderCollection, &Order::OpenPositionId, "300002");
        return p && p->LimitPrice.has_value();
    }));
    server->holdOrders(true);
    const auto off = client(s).orders().editPositionBrackets("300002", std::nullopt, std::nullopt);
    const auto close = client(s).orders().closePosition("300002", dec("0.2"));
    ASSERT_TRUE(sent(off));
    ASSERT_TRUE(sent(close));
    ASSERT_TRUE(held(2));
    ASSERT_TRUE(
        server->answerHeldOrders(inOrder ? std::vector<std::size_t>{0, 1} : std::vector<std::size_t>{1, 0}));
    ASSERT_TRUE(
        until([&] { return !answers.of(off.request).empty() && !answers.of(close.request).empty(); }));
    EXPECT_EQ(answers.of(off.request), inOrder ? "done" : "rejected");
    EXPECT_EQ(answers.of(close.request), "done");
    EXPECT_FALSE(serverPosition("300002"));
}

INSTANTIATE_TEST_SUITE_P(AnswerRule, LegOffAndCloseTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "InOrder" : "OutOfOrder");
                         });

// An edit and a cancel of the seeded pending order 310001, sent in one pass (they share a number),
// answered in the order sent (the usual case) or the other way round.
class EditAndCancelTest : public AnswerRuleTest, public ::testing::WithParamInterface<bool> {};

TEST_P(EditAndCancelTest, EachReadsItsOwnOutcome) {
    const bool inOrder = GetParam();
    Session& s = login();
    alignQuote(s, "USDJPY");
    Answers answers(client(s));
    server->holdOrders(true);
    const auto edit =
        client(s).orders().editPendingOrder("310001", dec("1"), dec("150.100"), std::nullopt, std::nullopt);
    const auto cancel = client(s).orders().cancelPendingOrder("310001");
    ASSERT_TRUE(sent(edit));
    ASSERT_TRUE(sent(cancel));
    ASSERT_TRUE(held(2));
    ASSERT_TRUE(
        server->answerHeldOrders(inOrder ? std::vector<std::size_t>{0, 1} : std::vector<std::size_t>{1, 0}));
    ASSERT_TRUE(until([&] { return answers.got.size() == 2; }));
    EXPECT_EQ(answers.of(edit.request), inOrder ? "done" : "rejected");
    EXPECT_EQ(answers.of(cancel.request), "done");
    EXPECT_FALSE(serverOrder("310001"));
}

INSTANTIATE_TEST_SUITE_P(AnswerRule, EditAndCancelTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "InOrder" : "OutOfOrder");
                         });

// Two closes of one position sent in one pass read alike on the wire: the one carried out and the one
// refused are each told the outcome is not known, the given-up one in its late banner.
TEST_F(AnswerRuleTest, OfTwoClosesOfOnePositionSharingANumberNeitherIsToldTheOthersOutcome) {
    Session& s = login();
    Answers answers(client(s));
    server->holdOrders(true);
    // Seeded: 300001 holds 1.5 EURUSD. Sent in one pass, the closes share a request number.
    const auto first = client(s).orders().closePosition("300001", dec("1"));
    ASSERT_TRUE(sent(first));
    client(s).orders().giveUpRequest(first.request);
    const auto second = client(s).orders().closePosition("300001", dec("1"));
    ASSERT_TRUE(sent(second));
    ASSERT_TRUE(held(2));
    // The server carries out the first; 0.5 is left, too little for the second.
    ASSERT_TRUE(server->answerHeldOrders({0, 1}));
    ASSERT_TRUE(until([&] { return answers.got.size() == 2; }));
    EXPECT_EQ(answers.of(first.request), "not known");
    EXPECT_TRUE(answers.got[first.request].late);
    EXPECT_EQ(answers.of(second.request), "not known");
    EXPECT_FALSE(answers.got[second.request].late);
    EXPECT_EQ(dec(serverPosition("300001")->qty), dec("0.5"));
    ASSERT_TRUE(until([&] { return !lateBanners(s).empty(); }));
    EXPECT_EQ(lateBanners(s),
              std::vector<std::string>{fillPositional(
                  text("97608"), {fillPositional(text("95409"), {"1", "300001", "EURUSD", "20001"}),
                                  answers.got[first.request].whatIsKnown})});
    // The refusal is told with the group, not again by a banner that names no request.
    EXPECT_TRUE(rejectionBanners(*s.app).empty()) << ::testing::PrintToString(rejectionBanners(*s.app));
}

// The refusal the first of two like closes gets comes before the other's fill: it waits for the
// group too, and no banner tells it alone.
TEST_F(AnswerRuleTest, ARefusalOfOneOfTwoLikeClosesIsToldWithTheGroupOnly) {
    Session& s = login();
    Answers answers(client(s));
    server->holdOrders(true);
    const auto first = client(s).orders().closePosition("300001", dec("1"));
    const auto second = client(s).orders().closePosition("300001", dec("1"));
    ASSERT_TRUE(sent(first));
    ASSERT_TRUE(sent(second));
    ASSERT_TRUE(held(2));
    ASSERT_TRUE(server->setMarketOpen("EURUSD", false));
    ASSERT_TRUE(server->answerHeldOrders({0}));
    ASSERT_TRUE(server->setMarketOpen("EURUSD", true));
    ASSERT_TRUE(server->answerHeldOrders({0}));
    ASSERT_TRUE(until([&] { return answers.got.size() == 2; }));
    EXPECT_EQ(answers.of(first.request), "not known");
    EXPECT_EQ(answers.of(second.request), "not known");
    while (platform::RunLoop::main().runOnce() > 0) {
    }
    EXPECT_TRUE(rejectionBanners(*s.app).empty()) << ::testing::PrintToString(rejectionBanners(*s.app));
}

// Two take-profit edits of one position sent in one pass share their number, yet the report of the
// one carried out names its take profit: each is told its own outcome, never the other's.
TEST_F(AnswerRuleTest, OfTwoBracketEditsOfOnePositionEachIsToldItsOwnOutcome) {
    Session& s = login();
    alignQuote(s, "EURUSD");
    const std::string position = openPosition(s, "EURUSD", 20002, true, "1");
    ASSERT_FALSE(position.empty());
    const auto* item = lists(s).ItemCollection.get("EURUSD");
    ASSERT_TRUE(item);
    Answers answers(client(s));
    server->holdOrders(true);
    const auto first =
        client(s).orders().editPositionBrackets(position, (*item)->Bid + dec("0.01"), std::nullopt);
    ASSERT_TRUE(sent(first));
    client(s).orders().giveUpRequest(first.request);
    const auto second =
        client(s).orders().editPositionBrackets(position, (*item)->Bid + dec("0.02"), std::nullopt);
    ASSERT_TRUE(sent(second));
    ASSERT_TRUE(held(2));
    // The first is carried out (the server has done so when it returns); the market closes before the
    // second.
    ASSERT_TRUE(server->answerHeldOrders({0}));
    ASSERT_TRUE(server->setMarketOpen("EURUSD", false));
    ASSERT_TRUE(server->answerHeldOrders({0}));
    ASSERT_TRUE(
        until([&] { return !answers.of(first.request).empty() && !answers.of(second.request).empty(); }));
    EXPECT_EQ(answers.of(first.request), "done");
    EXPECT_TRUE(answers.got[first.request].late);
    EXPECT_EQ(answers.of(second.request), "rejected");
    EXPECT_FALSE(answers.got[second.request].late);
}

TEST_F(AnswerRuleTest, ACloseAllRefusedAsAWholeLeavesTheReportItFittedToTheClose) {
    Session& s = login();
    std::vector<interfaces::RequestAnswer> got;
    auto each = client(s).orders().handleRequestAnswered(
        [&](const interfaces::RequestAnswer& a) { got.push_back(a); });
    server->holdOrders(true);
    // Sent in one pass: the close-all of 300001 and 300002, and a close of 300001.
    const std::string both[] = {"300001", "300002"};
    const auto closeAll = client(s).orders().closeAllPositions(both, interfaces::CloseAllScope::Selected);
    const auto close = client(s).orders().closePosition("300001", dec("1.5"));
    ASSERT_TRUE(sent(closeAll));
    ASSERT_TRUE(sent(close));
    ASSERT_TRUE(held(2));
    // The server takes the close, then refuses the close-all as a whole (past its limit now). The
    // close's update names no number and fits both: it waits until the close-all's refusal as a whole
    // shows the report was the close's.
    server->limitCloseAll(1);
    ASSERT_TRUE(server->answerHeldOrders({1, 0}));
    const auto of = [&](std::uint64_t request) {
        std::vector<std::tuple<bool, std::string>> out;
        for (const auto& a : got)
            if (a.request == request)
                out.emplace_back(a.accepted, a.position);
        return out;
    };
    ASSERT_TRUE(until([&] { return !of(close.request).empty() && !of(closeAll.request).empty(); }));
    while (platform::RunLoop::main().runOnce() > 0) {
    }
    EXPECT_EQ(of(close.request), (std::vector<std::tuple<bool, std::string>>{{true, ""}}));
    EXPECT_EQ(of(closeAll.request), (std::vector<std::tuple<bool, std::string>>{{false, ""}}));
    EXPECT_FALSE(serverPosition("300001"));
    EXPECT_TRUE(serverPosition("300002"));
}

// A close-all given up is told late once, when every position has had its answer: refused if any was.
TEST_F(AnswerRuleTest, AGivenUpCloseAllIsToldLateOnceEveryPositionIsAnswered) {
    Session& s = login();
    std::vector<interfaces::RequestAnswer> got;
    auto each = client(s).orders().handleRequestAnswered(
        [&](const interfaces::RequestAnswer& a) { got.push_back(a); });
    server->holdOrders(true);
    const std::string both[] = {"300001", "300002"};
    const auto closeAll = client(s).orders().closeAllPositions(both, interfaces::CloseAllScope::Selected);
    ASSERT_TRUE(sent(closeAll));
    client(s).orders().giveUpRequest(closeAll.request);
    ASSERT_TRUE(held(1));
    ASSERT_TRUE(server->setMarketOpen("EURUSD", false));
    ASSERT_TRUE(server->answerHeldOrders({0}));
    ASSERT_TRUE(until([&] { return got.size() == 2; }));
    for (const auto& a : got) {
        EXPECT_EQ(a.request, closeAll.request);
        EXPECT_TRUE(a.late) << a.position;
    }
    ASSERT_TRUE(until([&] { return !lateBanners(s).empty(); }));
    // 300002 closed: the banner says how many closed and each refused position with its reason.
    const std::string request = fillPositional(text("95406"), {"2", "#300001, #300002"});
    const std::string late = fillPositional(
        text("95780"), {request, "1", "2", fillPositional(text("95781"), {"#300001", text("1065")})});
    EXPECT_EQ(lateBanners(s), std::vector<std::string>{late});
    // The Journal keeps the late answer as the banner says it, the refusal with it, once.
    EXPECT_TRUE(journalSays(s, text("94161") + ": " + late));
    EXPECT_EQ(journalLinesWith(s, fillPositional(text("97403"), {request, "300001", text("1065")})), 0u);
}

// The Journal reads in the order things happened: a given-up close-all's late answer ('L') comes after
// the settlement ('S') and the refusal ('R') it tells of, whichever was the last report.
class LateJournalTest : public AnswerRuleTest {
protected:
    std::string journalAfterGivenUpCloseAll(std::span<const std::string> positions) {
        Session& s = login();
        server->holdOrders(true);
        const std::size_t from = client(s).journal().size();
        const auto closeAll =
            client(s).orders().closeAllPositions(positions, interfaces::CloseAllScope::Selected);
        client(s).orders().giveUpRequest(closeAll.request);
        EXPECT_TRUE(held(1));
        EXPECT_TRUE(server->setMarketOpen("EURUSD", false)); // 300001 is refused, 300002 closed
        EXPECT_TRUE(server->answerHeldOrders({0}));
        const auto said = [&, refused = text("97403").substr(0, text("97403").find('{'))] {
            std::string out;
            for (std::size_t n = from; n < client(s).journal().size(); ++n) {
                const std::string& line = client(s).journal()[n];
                const std::string event = line.substr(line.find(JournalData::kSeparator) + 3);
                out += event.starts_with(text("1020") + ' ') ? "S"
                       : event.starts_with(refused)          ? "R"
                       : event.starts_with(text("94161"))    ? "L"
                                                             : "";
            }
            return out;
        };
        EXPECT_TRUE(until([&] { return said().ends_with("L"); })) << said();
        while (platform::RunLoop::main().runOnce() > 0) {
        }
        return said();
    }
};

// The refusal is the late line's to tell: written apart as well, it would be said twice.
TEST_F(LateJournalTest, ALateAnswerFollowsTheSettlementThatEndedIt) {
    const std::string positions[] = {"300001", "300002"};
    EXPECT_EQ(journalAfterGivenUpCloseAll(positions), "SL");
}

TEST_F(LateJournalTest, ALateAnswerFollowsTheSettlementBeforeTheRefusalThatEndedIt) {
    const std::string positions[] = {"300002", "300001"};
    EXPECT_EQ(journalAfterGivenUpCloseAll(positions), "SL");
}

// A close-all of 300001 and 300002 and a close of 300001, sent in one pass, the first given up or
// not, answered in the order sent or the other way round. The server closes 300001 for the one it
// takes first and refuses it to the other; its reports of a position name no request number and read
// alike for both, so each waits for the other's refusal (a close's names its number, a close-all's
// none) to tell whose they were: each is told once what the server did to it. A close-all of every
// listed position (`allListed`) closes what is open at its turn: taken after the close, it says
// nothing of 300001, and once nothing more comes the close is told done and the close-all refused
// 300001, no longer held.
struct CloseAndCloseAllCase {
    const char* name;
    bool closeAllFirst;
    bool inOrder;
    bool givenUp;
    bool closeDone; // as told
    bool closeAllsClosed = !closeDone;
    bool allListed = false;
};

void PrintTo(const CloseAndCloseAllCase& c, std::ostream* os) {
    *os << c.name;
}

class CloseAndCloseAllTest : public AnswerRuleTest,
                             public ::testing::WithParamInterface<CloseAndCloseAllCase> {};

TEST_P(CloseAndCloseAllTest, EachIsToldOnceWhatTheReportsInTheirTurnName) {
    const CloseAndCloseAllCase& c = GetParam();
    Session& s = login();
    std::vector<interfaces::RequestAnswer> got;
    auto each = client(s).orders().handleRequestAnswered(
        [&](const interfaces::RequestAnswer& a) { got.push_back(a); });
    server->holdOrders(true);
    // Seeded: 300001 holds 1.5 EURUSD of 20001, 300002 0.2 XAUUSD.
    const std::string both[] = {"300001", "300002"};
    const auto sendCloseAll = [&] {
        return client(s).orders().closeAllPositions(both, c.allListed ? interfaces::CloseAllScope::AllListed
                                                                      : interfaces::CloseAllScope::Selected);
    };
    const auto sendClose = [&] { return client(s).orders().closePosition("300001", dec("1.5")); };
    const auto first = c.closeAllFirst ? sendCloseAll() : sendClose();
    ASSERT_TRUE(sent(first));
    if (c.givenUp)
        client(s).orders().giveUpRequest(first.request);
    const auto second = c.closeAllFirst ? sendClose() : sendCloseAll();
    ASSERT_TRUE(sent(second));
    const auto& close = c.closeAllFirst ? second : first;
    ASSERT_TRUE(held(2));
    ASSERT_TRUE(server->answerHeldOrders(c.inOrder ? std::vector<std::size_t>{0, 1}
                                                   : std::vector<std::size_t>{1, 0}));
    std::map<std::string, bool> told; // "close", "300001", "300002": done or closed
    ASSERT_TRUE(until([&] {
        told.clear();
        for (const auto& a : got)
            told[a.request == close.request ? "close" : a.position] = a.accepted;
        return told.size() == 3;
    }));
    while (platform::RunLoop::main().runOnce() > 0) {
    }
    EXPECT_EQ(got.size(), 3u) << "each told once";
    EXPECT_EQ(told, (std::map<std::string, bool>{
                        {"close", c.closeDone}, {"300001", c.closeAllsClosed}, {"300002", true}}));
    for (const auto& a : got)
        EXPECT_EQ(a.late, c.givenUp && a.request == first.request) << a.request;
    EXPECT_FALSE(serverPosition("300001"));
    EXPECT_FALSE(serverPosition("300002"));
    // The one given up is told in a banner once answered in full.
    std::vector<std::string> banners;
    const std::string gone = text(OrderCollections::RejectionReasonKey(testserver::kRejectUnknownOrder));
    const std::string closeText = fillPositional(text("95409"), {"1.5", "300001", "EURUSD", "20001"});
    const std::string closeAllText = fillPositional(text("95406"), {"2", "#300001, #300002"});
    if (c.givenUp && c.closeAllFirst)
        banners.push_back(
            !c.closeAllsClosed
                ? fillPositional(text("95780"),
                                 {closeAllText, "1", "2", fillPositional(text("95781"), {"#300001", gone})})
                : fillPositional(text("94162"), {closeAllText}));
    if (c.givenUp && !c.closeAllFirst)
        banners.push_back(c.closeDone ? fillPositional(text("94162"), {closeText})
                                      : fillPositional(text("94163"), {closeText, gone}));
    if (!banners.empty()) {
        ASSERT_TRUE(until([&] { return !lateBanners(s).empty(); }));
    }
    EXPECT_EQ(lateBanners(s), banners);
}

INSTANTIATE_TEST_SUITE_P(
    AnswerRule, CloseAndCloseAllTest,
    ::testing::Values(
        // The usual case: one window, a live server, answers in the order sent.
        CloseAndCloseAllCase{"CloseAllThenCloseInOrder", true, true, false, false},
        CloseAndCloseAllCase{"CloseAllGivenUpThenCloseInOrder", true, true, true, false},
        CloseAndCloseAllCase{"CloseThenCloseAllInOrder", false, true, false, true},
        CloseAndCloseAllCase{"CloseGivenUpThenCloseAllInOrder", false, true, true, true},
        CloseAndCloseAllCase{"CloseAllThenCloseOutOfOrder", true, false, false, true},
        CloseAndCloseAllCase{"CloseAllGivenUpThenCloseOutOfOrder", true, false, true, true},
        CloseAndCloseAllCase{"CloseThenCloseAllOutOfOrder", false, false, false, false},
        CloseAndCloseAllCase{"CloseGivenUpThenCloseAllOutOfOrder", false, false, true, false},
        CloseAndCloseAllCase{"AllListedCloseAllThenCloseInOrder", true, true, false, false, true, true},
        CloseAndCloseAllCase{"AllListedCloseThenCloseAllInOrder", false, true, false, true, false, true},
        CloseAndCloseAllCase{"AllListedCloseGivenUpThenCloseAllInOrder", false, true, true, true, false,
                             true},
        CloseAndCloseAllCase{"AllListedCloseAllThenCloseOutOfOrder", true, false, false, true, false, true},
        CloseAndCloseAllCase{"AllListedCloseAllGivenUpThenCloseOutOfOrder", true, false, true, true, false,
                             true},
        CloseAndCloseAllCase{"AllListedCloseThenCloseAllOutOfOrder", false, false, false, false, true, true},
        CloseAndCloseAllCase{"AllListedCloseGivenUpThenCloseAllOutOfOrder", false, false, true, false, true,
                             true}),
    [](const ::testing::TestParamInfo<CloseAndCloseAllCase>& info) { return std::string(info.param.name); });

// A close-all of every listed position and a close-all of the same positions as listed, sent in one
// pass. The server takes the first, which closes both, and refuses the second each position as no
// longer held; those refusals name no number and fit both close-alls, and the server may refuse either
// so while it holds a position: each is told once, of each position, that the server closed it for one
// of them.
TEST_F(AnswerRuleTest, ARefusalOfAPositionNoLongerHeldFitsBothKindsOfCloseAll) {
    Session& s = login();
    std::vector<interfaces::RequestAnswer> got;
    auto each = client(s).orders().handleRequestAnswered(
        [&](const interfaces::RequestAnswer& a) { got.push_back(a); });
    const std::size_t from = server->orderRecord().size();
    server->holdOrders(true);
    const std::string both[] = {"300001", "300002"};
    const auto everyOpen = client(s).orders().closeAllPositions(both, interfaces::CloseAllScope::AllListed);
    const auto listing = client(s).orders().closeAllPositions(both, interfaces::CloseAllScope::Selected);
    ASSERT_TRUE(sent(everyOpen));
    ASSERT_TRUE(sent(listing));
    ASSERT_TRUE(held(2));
    ASSERT_TRUE(server->answerHeldOrders({0, 1}));
    ASSERT_TRUE(until([&] { return got.size() >= 4; }));
    while (platform::RunLoop::main().runOnce() > 0) {
    }
    const auto record = server->orderRecord(from);
    ASSERT_EQ(record.size(), 2u);
    ASSERT_FALSE(record[0].refused());
    ASSERT_TRUE(record[1].refused());
    // Request, position: whether it was told closed by one of them.
    std::map<std::pair<std::uint64_t, std::string>, bool> told;
    for (const auto& a : got)
        told[{a.request, a.position}] = !a.known && a.closedByOne;
    EXPECT_EQ(got.size(), 4u) << "each position of each told once";
    EXPECT_EQ(told,
              (std::map<std::pair<std::uint64_t, std::string>, bool>{{{everyOpen.request, "300001"}, true},
                                                                     {{everyOpen.request, "300002"}, true},
                                                                     {{listing.request, "300001"}, true},
                                                                     {{listing.request, "300002"}, true}}));
    EXPECT_FALSE(serverPosition("300001"));
    EXPECT_FALSE(serverPosition("300002"));
}

// At a lost line each request still waiting is named in the loss alert and the Journal, with what
// the reports that came before knew of it and of the like requests they fitted: the server closed a
// position for one of them, or answered some of a group. Requests sent in one pass (one number), the
// server answering one, then the line drops.
struct LostLineCase {
    const char* name;
    // The requests: a close-all of 300001 and 300002 or a close of 0.5 of 300001, then a close of
    // 300001 (of the rest, or of 0.5 too); the server answers those of `answered`.
    bool closeAll;
    std::vector<std::size_t> answered;
    // What the alert names of each request, oldest first: its own text, then what is known, each as
    // a text's key and its values (of the known text, those before the requests it names).
    struct Told {
        std::string_view requestKey;
        std::vector<std::string> request;
        std::string_view knownKey;
        std::vector<std::string> known;
    };
    std::vector<Told> told;
};

void PrintTo(const LostLineCase& c, std::ostream* os) {
    *os << c.name;
}

class LostLineTest : public AnswerRuleTest, public ::testing::WithParamInterface<LostLineCase> {};

TEST_P(LostLineTest, EachRequestWaitingIsToldWithWhatTheReportsSoFarKnew) {
    const LostLineCase& c = GetParam();
    Session& s = login();
    server->holdOrders(true);
    const std::string both[] = {"300001", "300002"};
    ASSERT_TRUE(sent(c.closeAll
                         ? client(s).orders().closeAllPositions(both, interfaces::CloseAllScope::Selected)
                         : client(s).orders().closePosition("300001", dec("0.5"))));
    ASSERT_TRUE(sent(client(s).orders().closePosition("300001", dec(c.closeAll ? "1.5" : "0.5"))));
    ASSERT_TRUE(held(2));
    const int reports = server->stats().orderReports;
    ASSERT_TRUE(server->answerHeldOrders(c.answered));
    ASSERT_TRUE(
        server->waitFor([&](const testserver::ServerStats& st) { return st.orderReports > reports; }, 5s));
    // Every report the server sent is read before the line goes: a ping's reply comes after them.
    const auto before = client(s).networkSpeed().serverTimeHeardAt;
    ASSERT_TRUE(platform::RunLoop::main().runUntil(
        [&] { return client(s).networkSpeed().serverTimeHeardAt != before; }, 30s));
    server->dropStreams();
    ASSERT_TRUE(until([&] { return client(s).loginState() == interfaces::LoginState::Lost; }));
    const auto losses = s.app->callsNamed("onConnectionLost");
    ASSERT_EQ(losses.size(), 1u);
    const std::vector<std::string>& named = losses[0].args;
    ASSERT_EQ(named.size(), c.told.size()) << ::testing::PrintToString(named);
    const std::vector<std::string>& journal = client(s).journal();
    const auto filled = [](std::string_view key, const std::vector<std::string>& values) {
        const std::vector<std::string_view> views(values.begin(), values.end());
        return fillPositional(text(key), views);
    };
    for (std::size_t i = 0; i < named.size(); ++i) {
        const LostLineCase::Told& t = c.told[i];
        std::vector<std::string> known = t.known;
        known.emplace_back();
        // The requests the known text names end it.
        const std::string head =
            fillPositional(text("97607"), {filled(t.requestKey, t.request), filled(t.knownKey, known)});
        EXPECT_TRUE(named[i].starts_with(head) && named[i].size() > head.size())
            << named[i] << "\nshould read " << head << "...";
        // Once each: like requests may read alike.
        EXPECT_EQ(std::count_if(journal.begin(), journal.end(),
                                [&](const std::string& line) {
                                    return line.ends_with(fillPositional(text("93103"), {named[i]}));
                                }),
                  std::count(named.begin(), named.end(), named[i]))
            << named[i];
    }
}

INSTANTIATE_TEST_SUITE_P(
    AnswerRule, LostLineTest,
    ::testing::Values(
        // The close-all closes both: 300002's reports are its own, 300001's fit the close too.
        LostLineCase{"CloseAllAnswered",
                     true,
                     {0},
                     {{"95782", {"2", "1", "#300001"}, "97602", {"300001"}},
                      {"95409", {"1.5", "300001", "EURUSD", "20001"}, "97602", {"300001"}}}},
        // The close closes 300001: its reports fit the close-all too, which waits for both.
        LostLineCase{"CloseAnswered",
                     true,
                     {1},
                     {{"95406", {"2", "#300001, #300002"}, "97602", {"300001"}},
                      {"95409", {"1.5", "300001", "EURUSD", "20001"}, "97602", {"300001"}}}},
        // Two like closes of part of it: one carried out, which of them the reports do not say.
        LostLineCase{"OneOfTwoLikeClosesAnswered",
                     false,
                     {0},
                     {{"95409", {"0.5", "300001", "EURUSD", "20001"}, "97610", {"1", "2", "1", "0"}},
                      {"95409", {"0.5", "300001", "EURUSD", "20001"}, "97610", {"1", "2", "1", "0"}}}}),
    [](const ::testing::TestParamInfo<LostLineCase>& info) { return std::string(info.param.name); });

// The close-all of every listed position closes both; 300001's update fits the close sent after it
// too, and the close's own answer, a refusal in its turn, is held up by a server that stands still.
// The update waits for it: a silence is no sign that the close's report will not come, so neither is
// told it meanwhile.
TEST_F(AnswerRuleTest, AnUpdateFittingTwoWaitsForTheOthersRefusalThroughASilence) {
    Session& s = login();
    std::vector<interfaces::RequestAnswer> got;
    auto each = client(s).orders().handleRequestAnswered(
        [&](const interfaces::RequestAnswer& a) { got.push_back(a); });
    server->holdOrders(true);
    const std::string both[] = {"300001", "300002"};
    const auto closeAll = client(s).orders().closeAllPositions(both, interfaces::CloseAllScope::AllListed);
    const auto close = client(s).orders().closePosition("300001", dec("1.5"));
    ASSERT_TRUE(sent(closeAll));
    ASSERT_TRUE(sent(close));
    ASSERT_TRUE(held(2));
    ASSERT_TRUE(server->answerHeldOrders({0}));
    ASSERT_TRUE(until([&] { return got.size() == 1; }));
    EXPECT_EQ(std::tuple(got[0].request, got[0].position), std::tuple(closeAll.request, "300002"));
    server->pauseStream(true);
    ASSERT_TRUE(until([&] { return !client(s).networkSpeed().answering; }));
    // Its refusal comes once the silence is told, still within the line's limit.
    ASSERT_TRUE(server->answerHeldOrders({0}));
    ASSERT_TRUE(until([&] { return got.size() == 3; }));
    server->pauseStream(false);
    EXPECT_EQ(std::tuple(got[1].request, got[1].accepted), std::tuple(close.request, false))
        << "told the close-all's report before its own";
    EXPECT_EQ(std::tuple(got[2].request, got[2].position, got[2].accepted),
              std::tuple(closeAll.request, "300001", true));
    EXPECT_FALSE(serverPosition("300001"));
}

TEST_F(AnswerRuleTest, ACloseAllReadsEachPositionsOwnReport) {
    Session& s = login();
    std::vector<interfaces::RequestAnswer> got;
    auto each = client(s).orders().handleRequestAnswered(
        [&](const interfaces::RequestAnswer& a) { got.push_back(a); });
    alignQuote(s, "EURUSD");
    const std::string third = openPosition(s, "EURUSD", 20001, true, "1");
    ASSERT_FALSE(third.empty());
    server->holdOrders(true);
    // 300001 and the third are EURUSD, 300002 XAUUSD; the EURUSD market closes before the answer.
    const std::string three[] = {"300001", "300002", third};
    const auto closeAll = client(s).orders().closeAllPositions(three, interfaces::CloseAllScope::Selected);
    ASSERT_TRUE(sent(closeAll));
    ASSERT_TRUE(held(1));
    ASSERT_TRUE(server->setMarketOpen("EURUSD", false));
    ASSERT_TRUE(server->answerHeldOrders({0}));
    std::map<std::string, bool> rows;
    ASSERT_TRUE(until([&] {
        rows.clear();
        for (const auto& a : got)
            if (a.request == closeAll.request)
                rows[a.position] = a.accepted;
        return rows.size() == 3;
    }));
    EXPECT_EQ(rows, (std::map<std::string, bool>{{"300001", false}, {"300002", true}, {third, false}}));
    EXPECT_FALSE(serverPosition("300002"));
    // Each position answered once; none is the request refused as a whole.
    EXPECT_EQ(
        std::count_if(got.begin(), got.end(), [&](const auto& a) { return a.request == closeAll.request; }),
        3);
}

// The server refuses an offset twice over: a refusal naming no request, then the offset answer. The
// trader reads it once, where the offset's window tells it, with no banner naming no request beside.
TEST_F(AnswerRuleTest, ARefusedOffsetIsToldOnceByItsWindow) {
    Session& s = login();
    const auto pair = hedgedPair(s, "EURUSD");
    ASSERT_FALSE(pair.first.empty() || pair.second.empty());
    Answers answers(client(s));
    ASSERT_TRUE(server->setMarketOpen("EURUSD", false));
    const std::vector<interfaces::OffsetLeg> legs{{pair.second, dec("1")}};
    const auto offset = client(s).orders().offsetPosition(pair.first, legs);
    ASSERT_TRUE(sent(offset));
    ASSERT_TRUE(until([&] { return answers.got.contains(offset.request); }));
    EXPECT_EQ(answers.of(offset.request), "rejected");
    EXPECT_EQ(answers.got[offset.request].reason, text("1065"));
    // Whatever the server sent with the refusal came before a ping's reply that follows.
    const auto before = client(s).networkSpeed().serverTimeHeardAt;
    ASSERT_TRUE(platform::RunLoop::main().runUntil(
        [&] { return client(s).networkSpeed().serverTimeHeardAt != before; }, 30s));
    EXPECT_EQ(rejectionBanners(*s.app), std::vector<std::string>{});
    EXPECT_TRUE(serverPosition(pair.first));
}

// Two close-alls of the same positions, sent a ping apart (each its own number), answered in the order
// sent: the first closes both, the second is refused them. Their updates and refusals name no number,
// and the server may take either first: each position of each is told its outcome is not known.
TEST_F(AnswerRuleTest, OfTwoCloseAllsOfTheSamePositionsNeitherIsToldTheOthersOutcome) {
    Session& s = login();
    std::vector<interfaces::RequestAnswer> got;
    auto each = client(s).orders().handleRequestAnswered(
        [&](const interfaces::RequestAnswer& a) { got.push_back(a); });
    const std::size_t from = server->orderRecord().size();
    server->holdOrders(true);
    const std::string both[] = {"300001", "300002"};
    const auto first = client(s).orders().closeAllPositions(both, interfaces::CloseAllScope::Selected);
    ASSERT_TRUE(sent(first));
    // A ping's reply carries the number the next request goes on from.
    const auto before = client(s).networkSpeed().serverTimeHeardAt;
    ASSERT_TRUE(platform::RunLoop::main().runUntil(
        [&] { return client(s).networkSpeed().serverTimeHeardAt != before; }, 30s));
    const auto second = client(s).orders().closeAllPositions(both, interfaces::CloseAllScope::Selected);
    ASSERT_TRUE(sent(second));
    ASSERT_TRUE(held(2));
    ASSERT_TRUE(server->answerHeldOrders({0, 1}));
    ASSERT_TRUE(until([&] { return got.size() >= 4; }));
    while (platform::RunLoop::main().runOnce() > 0) {
    }
    const auto record = server->orderRecord(from);
    ASSERT_EQ(record.size(), 2u);
    ASSERT_NE(record[0].number, record[1].number);
    ASSERT_TRUE(record[1].refused());
    std::map<std::pair<std::uint64_t, std::string>, bool> known;
    for (const auto& a : got)
        known[{a.request, a.position}] = a.known;
    EXPECT_EQ(got.size(), 4u);
    EXPECT_EQ(known,
              (std::map<std::pair<std::uint64_t, std::string>, bool>{{{first.request, "300001"}, false},
                                                                     {{first.request, "300002"}, false},
                                                                     {{second.request, "300001"}, false},
                                                                     {{second.request, "300002"}, false}}));
}

// Two close-alls of 300001 and 300002, the first given up, answered the other way round: the server
// closes both positions for the second and refuses them to the first. Which request closed them is not
// known, that they are closed is: each answer says so, the late banner counts them closed, and the
// Journal writes each position's outcome once. Sent in one pass, the two share a request number and are
// told apart by the order sent.
class LikeCloseAllsTest : public AnswerRuleTest {
protected:
    struct Sent {
        std::uint64_t first = 0, second = 0;
        std::string firstNumber, secondNumber; // on the wire
    };
    Sent sendTwoAndAnswerReversed(Session& s, bool apart) {
        const std::size_t from = server->orderRecord().size();
        server->holdOrders(true);
        const std::string both[] = {"300001", "300002"};
        const auto first = client(s).orders().closeAllPositions(both, interfaces::CloseAllScope::Selected);
        EXPECT_TRUE(sent(first));
        client(s).orders().giveUpRequest(first.request);
        // A ping's reply carries the number the next request goes on from.
        const auto before = client(s).networkSpeed().serverTimeHeardAt;
        if (apart) {
            EXPECT_TRUE(platform::RunLoop::main().runUntil(
                [&] { return client(s).networkSpeed().serverTimeHeardAt != before; }, 30s));
        }
        const auto second = client(s).orders().closeAllPositions(both, interfaces::CloseAllScope::Selected);
        EXPECT_TRUE(sent(second));
        EXPECT_TRUE(held(2));
        EXPECT_TRUE(server->answerHeldOrders({1, 0}));
        EXPECT_TRUE(until([&] { return got.size() >= 4 && !lateBanners(s).empty(); }));
        while (platform::RunLoop::main().runOnce() > 0) {
        }
        auto record = server->orderRecord(from);
        EXPECT_EQ(record.size(), 2u);
        std::sort(record.begin(), record.end(),
                  [](const auto& a, const auto& b) { return a.received < b.received; });
        return {first.request, second.request, record.at(0).number, record.at(1).number};
    }
    std::vector<interfaces::RequestAnswer> got;
    std::unique_ptr<interfaces::Handler> each;
    void follow(Session& s) {
        each = client(s).orders().handleRequestAnswered(
            [this](const interfaces::RequestAnswer& a) { got.push_back(a); });
    }
};

TEST_F(LikeCloseAllsTest, ThePositionsReadClosedNotKnownByWhichAndAreWrittenOnce) {
    Session& s = login();
    follow(s);
    const std::size_t from = client(s).journal().size();
    const Sent two = sendTwoAndAnswerReversed(s, true);
    ASSERT_NE(two.firstNumber, two.secondNumber);
    // Alike in all else, each text marks the request it is of.
    const auto which = [&](std::uint64_t self) {
        const auto marked = [&](const std::string& number, std::uint64_t of) {
            return of == self ? fillPositional(text("98300"), {number}) : number;
        };
        return fillPositional(text("97605"), {marked(two.firstNumber, two.first) + ", " +
                                              marked(two.secondNumber, two.second)});
    };
    ASSERT_EQ(got.size(), 4u);
    std::map<std::string, std::string> known;
    for (const auto& a : got) {
        EXPECT_TRUE(!a.known && a.closedByOne) << a.request << " " << a.position;
        EXPECT_EQ(a.whatIsKnown, fillPositional(text("97602"), {a.position, which(a.request)}));
        if (a.request == two.second)
            known[a.position] = a.whatIsKnown;
    }
    const std::string request = fillPositional(text("95406"), {"2", "#300001, #300002"});
    const std::string late = fillPositional(
        text("98001"), {request, "2", "2",
                        fillPositional(text("95781"), {"#300001, #300002",
                                                       fillPositional(text("98000"), {which(two.first)})})});
    EXPECT_EQ(lateBanners(s), std::vector<std::string>{late});
    // Once each: the second's outcome of each position (the first's is its late line), and the late line.
    EXPECT_TRUE(journalSays(s, text("94161") + ": " + late));
    std::vector<std::string> notKnown;
    const std::string prefix = text("97604").substr(0, text("97604").find("{"));
    for (std::size_t n = from; n < client(s).journal().size(); ++n) {
        const std::string& line = client(s).journal()[n];
        if (const std::string event = line.substr(line.find(JournalData::kSeparator) + 3);
            event.starts_with(prefix))
            notKnown.push_back(event);
    }
    EXPECT_EQ(notKnown,
              (std::vector<std::string>{fillPositional(text("97604"), {request, "300001", known["300001"]}),
                                        fillPositional(text("97604"), {request, "300002", known["300002"]})}))
        << ::testing::PrintToString(notKnown);
    EXPECT_EQ(journalLinesWith(s, late), 1u);
}

TEST_F(LikeCloseAllsTest, SentInOnePassTheyAreToldApartByTheOrderSent) {
    Session& s = login();
    follow(s);
    const Sent two = sendTwoAndAnswerReversed(s, false);
    ASSERT_EQ(two.firstNumber, two.secondNumber);
    ASSERT_EQ(got.size(), 4u);
    // "Request ID 7, sent at 10:00:01 (this request), then Request ID 7, sent at 10:00:01", the mark
    // on the one the text is of; the late banner's is the first's.
    const std::string named =
        fillPositional(text("98004"), {fillPositional(text("98003"), {two.firstNumber}), ""});
    const std::string then = fillPositional(text("98005"), {"", ""});
    const std::string mark = fillPositional(text("98300"), {""});
    const auto marksItsPlace = [&](const std::string& known, bool first) {
        const std::size_t at = known.find(named);
        const std::size_t next = known.find(then + named, at);
        const std::size_t marked = known.find(mark);
        return at != std::string::npos && next != std::string::npos && marked != std::string::npos &&
               known.find(mark, marked + 1) == std::string::npos && (marked < next) == first;
    };
    for (const auto& a : got)
        EXPECT_TRUE(marksItsPlace(a.whatIsKnown, a.request == two.first))
            << a.request << ": " << a.whatIsKnown;
    const auto banners = lateBanners(s);
    ASSERT_EQ(banners.size(), 1u);
    EXPECT_TRUE(marksItsPlace(banners[0], true)) << banners[0];
}

// Two closes of the whole of 300001 in one pass, the first given up, answered the other way round: the
// second closes it and the first is refused. Which closed it is not known; that it is closed is, and
// the answers, the late banner and the Journal say so, not "1 of these 2 carried out".
TEST_F(LikeCloseAllsTest, TwoClosesOfAWholePositionSayItIsClosedNotByWhich) {
    Session& s = login();
    follow(s);
    server->holdOrders(true);
    const auto first = client(s).orders().closePosition("300001", dec("1.5"));
    ASSERT_TRUE(sent(first));
    client(s).orders().giveUpRequest(first.request);
    const auto second = client(s).orders().closePosition("300001", dec("1.5"));
    ASSERT_TRUE(sent(second));
    ASSERT_TRUE(held(2));
    ASSERT_TRUE(server->answerHeldOrders({1, 0}));
    ASSERT_TRUE(until([&] { return got.size() >= 2 && !lateBanners(s).empty(); }));
    while (platform::RunLoop::main().runOnce() > 0) {
    }
    const std::string closedPrefix = text("97602").substr(0, text("97602").find("{"));
    const std::string closed = fillPositional(text("97602"), {"300001", ""});
    std::string firstKnown;
    for (const auto& a : got) {
        EXPECT_TRUE(!a.known && a.closedByOne) << a.request << ": " << a.whatIsKnown;
        EXPECT_TRUE(a.whatIsKnown.starts_with(closed)) << a.whatIsKnown;
        if (a.request == first.request)
            firstKnown = a.whatIsKnown;
    }
    const std::string request = fillPositional(text("95409"), {"1.5", "300001", "EURUSD", "20001"});
    const std::string late = fillPositional(text("97608"), {request, firstKnown});
    EXPECT_EQ(lateBanners(s), std::vector<std::string>{late});
    EXPECT_EQ(journalLinesWith(s, late), 1u);
    EXPECT_EQ(journalLinesWith(s, closedPrefix), 2u) << "the late line and the second's, once each";
}

TEST_F(OrderFlowTest, LoginAfterALostStreamRestoresTheServersLists) {
    Session& first = login();
    alignQuote(first, "EURUSD");
    const std::string opened = openPosition(first, "EURUSD", 20002, true, "1");
    ASSERT_FALSE(opened.empty());
    ASSERT_TRUE(sent(client(first).orders().cancelPendingOrder("310001")));
    ASSERT_TRUE(until(
        [&] { return !findBy(lists(first).PendingOrderCollection, &Order::PendingOrderId, "310001"); }));

    server->dropStreams();
    ASSERT_TRUE(until([&] { return client(first).loginState() == interfaces::LoginState::Lost; }));
    // The take profit of 300001 triggers while nobody listens: the next login must know.
    ASSERT_TRUE(server->setQuote("EURUSD", "1.09600", "1.09612"));
    ASSERT_FALSE(serverPosition("300001"));

    Session& second = login();
    const std::set<std::string> positions = serverPositions();
    const std::set<std::string> pending = serverPending();
    ASSERT_TRUE(until([&] {
        return idsOf(lists(second).OpenOrderCollection, &Order::OpenPositionId) == positions &&
               idsOf(lists(second).PendingOrderCollection, &Order::PendingOrderId) == pending;
    })) << "open "
        << lists(second).OpenOrderCollection.size() << " pending "
        << lists(second).PendingOrderCollection.size();
    EXPECT_TRUE(positions.contains(opened));
    EXPECT_FALSE(pending.contains("310001"));
    EXPECT_FALSE(pending.contains("310002"));
    EXPECT_FALSE(positions.contains("300001"));
    const auto serverCancelled = server->book().with([](const testserver::Books& b) {
        std::set<std::string> out;
        for (const auto& x : b.cancellations)
            if (demoAccount(x.accountId))
                out.insert(std::to_string(x.cancelledOrderId));
        return out;
    });
    EXPECT_TRUE(until([&] {
        return idsOf(lists(second).CancelledOrderCollection, &Order::CancelledOrderId) == serverCancelled;
    }));
    const auto restored = findBy(lists(second).OpenOrderCollection, &Order::OpenPositionId, opened);
    ASSERT_NE(restored, nullptr);
    EXPECT_EQ(restored->AccountNumber, "20002");
    EXPECT_EQ(restored->ItemCode, "EURUSD");
}

TEST_F(OrderFlowTest, EveryOrderMessageTypeIsAnsweredByTheServer) {
    Session& s = login();
    alignQuote(s, "EURUSD");
    alignQuote(s, "USDJPY");
    const auto step = [&](int type, const std::function<interfaces::OrderResult()>& send) {
        const int reports = server->stats().orderReports;
        ASSERT_TRUE(sent(send())) << type;
        EXPECT_TRUE(answered(type, reports)) << type;
    };
    step(60, [&] { return client(s).orders().placeOrder(marketOrder("EURUSD", 20001, true, "1")); });
    step(72, [&] {
        return client(s).orders().editPendingOrder("310001", dec("2"), dec("150.000"), std::nullopt,
                                                   std::nullopt);
    });
    const std::vector<interfaces::AccountQuantity> two{{20001, dec("1")}, {20003, dec("1")}};
    step(77,
         [&] { return client(s).orders().placeMultiAccountOrder(marketOrder("EURUSD", 0, false, ""), two); });
    ASSERT_TRUE(until([&] { return lists(s).OpenOrderCollection.size() >= 5; }));
    std::string buy, sell;
    for (const auto& p : lists(s).OpenOrderCollection)
        if (p->AccountNumber == "20003")
            sell = p->OpenPositionId;
        else if (p->AccountNumber == "20001" && p->OpenPositionId != "300001" && p->tradingMode == 0)
            buy = p->OpenPositionId;
    ASSERT_FALSE(sell.empty());
    ASSERT_FALSE(buy.empty());
    const std::string other = openPosition(s, "EURUSD", 20003, true, "1");
    ASSERT_FALSE(other.empty());
    step(1052, [&] {
        const std::vector<interfaces::OffsetLeg> legs{{sell, dec("1")}};
        return client(s).orders().offsetPosition(other, legs);
    });
    const std::vector<std::string> ids{buy};
    step(82, [&] { return client(s).orders().closeAllPositions(ids, interfaces::CloseAllScope::Selected); });
    EXPECT_TRUE(until([&] { return !findBy(lists(s).OpenOrderCollection, &Order::OpenPositionId, buy); }));
    EXPECT_GE(server->stats().orderRequests, 5);
}

} // namespace

// ---- the server's account summary, compressed bursts, relogin request and XML snapshot

TEST_F(OrderFlowTest, ASettledProfitStaysInTheBalanceAndEquityByTheServersAccountSummary) {
    Session& s = login();
    // The refresh below writes the account: through the session, not the client's read-only view.
    SessionModel& model = tc::sessionOf(client(s)).session();
    auto* held = model.AccountDetailCollection.get("20001");
    ASSERT_NE(held, nullptr);
    const std::shared_ptr<AccountDetails> account = *held;
    const double balanceBefore = account->Balance.toDouble();
    ASSERT_DOUBLE_EQ(balanceBefore, 10000);

    alignQuote(s, "EURUSD");
    const std::string id = openPosition(s, "EURUSD", 20001, true, "1");
    ASSERT_FALSE(id.empty());
    // Its opening paid the group's commission.
    const double paid = findBy(lists(s).OpenOrderCollection, &Order::OpenPositionId, id)->Commission;
    EXPECT_DOUBLE_EQ(paid, 3);
    const auto settledBefore = idsOf(lists(s).SettledOrderCollection, &Order::SettlementId);
    // The market rises; the server closes the buy at its new bid (and the seeded take-profit legs
    // the rise reaches close their positions too).
    ASSERT_TRUE(server->setQuote("EURUSD", "1.09500", "1.09512"));
    ASSERT_TRUE(sent(client(s).orders().closePosition(id, dec("1"))));
    ASSERT_TRUE(until(
        [&] { return findBy(lists(s).SettledOrderCollection, &Order::OpenPositionId, id) != nullptr; }));
    const std::string serverBalance =
        server->book().with([](const testserver::Books& b) { return b.balances.at(20001); });
    ASSERT_TRUE(until([&] { return account->Balance.toDouble() == std::stod(serverBalance); }))
        << account->Balance.toDouble() << " while the server holds " << serverBalance;
    double profit = 0;
    for (const auto& settled : lists(s).SettledOrderCollection)
        if (settled->AccountNumber == "20001" && !settledBefore.contains(settled->SettlementId))
            profit += settled->SettledPL.toDouble();
    EXPECT_GT(profit, 0);
    EXPECT_NEAR(account->Balance.toDouble(), balanceBefore - paid + profit, 1e-6);

    // The account refresh keeps the profit in equity: Balance plus what is still open.
    SessionModelLookup lookup(lists(s));
    PositionArithmetic arithmetic(lookup);
    account->calculateAccountDetails(model.OpenOrderCollection, lookup, arithmetic);
    EXPECT_DOUBLE_EQ(account->Equity, balanceBefore - paid + profit + account->Leverage +
                                          account->AccumulatingStorage.toDouble() +
                                          account->CollateralSecurity.toDouble());
}

TEST_F(OrderFlowTest, TheReportsOfOneRequestArriveAsOneCompressedMessage) {
    Session& s = login();
    alignQuote(s, "EURUSD");
    const std::string id = openPosition(s, "EURUSD", 20001, false, "2");
    ASSERT_FALSE(id.empty());
    // A close answers with the closing deal, the position's remainder, the settlement and the
    // account summary, all in one message.
    const int before = server->stats().compressedMessages;
    ASSERT_TRUE(sent(client(s).orders().closePosition(id, dec("0.5"))));
    ASSERT_TRUE(until(
        [&] { return findBy(lists(s).SettledOrderCollection, &Order::OpenPositionId, id) != nullptr; }));
    // The server counts the message after sending it: the client may have read it first.
    EXPECT_TRUE(server->waitFor(
        [&](const testserver::ServerStats& st) { return st.compressedMessages > before; }, 5s));
    const auto position = findBy(lists(s).OpenOrderCollection, &Order::OpenPositionId, id);
    ASSERT_NE(position, nullptr);
    EXPECT_EQ(position->RemainingQty, dec("1.5"));
    EXPECT_EQ(idsOf(lists(s).OpenOrderCollection, &Order::OpenPositionId), serverPositions());
}

TEST_F(OrderFlowTest, ARequestToSignInAgainIsFollowedOnANewStreamAndKeepsTheBook) {
    // The login's replies come sealed under the product key, the relogin's as well: the relogin's
    // login request was sealed under it too, whatever the session key is by then.
    server->stop();
    startServer(200, 11, true, testserver::SnapshotForm::Amp, true);
    Session& s = login();
    const auto positionsBefore = idsOf(lists(s).OpenOrderCollection, &Order::OpenPositionId);
    ASSERT_FALSE(positionsBefore.empty());
    const int loginsBefore = logins;
    server->requestRelogin("demo");
    ASSERT_TRUE(platform::RunLoop::main().runUntil([&] { return logins > loginsBefore; }, 10s));
    EXPECT_TRUE(
        server->waitFor([](const testserver::ServerStats& st) { return st.reloginRequests == 1; }, 10s));
    EXPECT_EQ(server->stats().logins, 2);
    // Quietly: no loss was reported, and the lists come back from the data service.
    EXPECT_TRUE(s.app->callsNamed("onConnectionLost").empty());
    ASSERT_TRUE(until(
        [&] { return idsOf(lists(s).OpenOrderCollection, &Order::OpenPositionId) == positionsBefore; }));
    // The new stream's key works: an order goes through.
    alignQuote(s, "EURUSD");
    EXPECT_FALSE(openPosition(s, "EURUSD", 20001, true, "1").empty());
}

TEST_F(OrderFlowTest, TheXmlFormOfTheSnapshotSignsInToTheSameModel) {
    // What a trader sees of a signed-in session: instruments, balances, groups and positions.
    const auto summary = [](const SessionModel& m) {
        std::vector<std::string> out;
        for (const auto& [code, item] : m.ItemCollection)
            out.push_back(code + "/" + std::to_string(item->DecimalPlaces) + "/" +
                          Formatter::formatDecimal(item->ContractSize, 2) + "/" +
                          std::to_string(item->CurrentTradeSessionSettingId));
        for (const auto& [id, account] : m.AccountDetailCollection)
            out.push_back(id + "=" + Formatter::formatDecimal(account->Balance.toDouble(), 2));
        out.push_back(std::to_string(m.GroupDetailCollection.size()) + " groups");
        for (const auto& id : idsOf(m.OpenOrderCollection, &Order::OpenPositionId))
            out.push_back(id);
        return out;
    };
    const auto amp = summary(lists(login()));
    sessions.clear();

    server->stop();
    startServer(200, 11, true, testserver::SnapshotForm::Xml);
    Session& xml = login();
    EXPECT_EQ(summary(lists(xml)), amp);
    ASSERT_TRUE(lists(xml).userInfo);
    EXPECT_EQ(lists(xml).userInfo->hdServerPort, ports.data);
}

namespace {

TEST_F(OrderFlowTest, TheCoreRefreshesFloatingFiguresOnceASecondAndAnnouncesTheTables) {
    Session& s = login();
    std::vector<interfaces::TableSet> changes;
    auto tables = client(s).handleTablesChanged([&](interfaces::TableSet t) { changes.push_back(t); });
    // Seeded: 300001 buys 1.5 EURUSD for 20001 (take profit at 1.095). A new bid below it moves its
    // floating result at the next refresh.
    ASSERT_TRUE(server->setQuote("EURUSD", "1.08900", "1.08912"));
    const auto position = findBy(lists(s).OpenOrderCollection, &Order::OpenPositionId, "300001");
    ASSERT_NE(position, nullptr);
    const SessionModelLookup lookup(lists(s));
    PositionArithmetic arithmetic(lookup);
    const auto expected = [&] {
        Order copy = *position;
        arithmetic.CalcPL(copy);
        return arithmetic.calculateCurrencyConversionForValue(copy.UnrealisedPL, copy);
    };
    // Only the figures moved: the grids refresh their live cells, not the whole positions table.
    const auto refreshed = [](interfaces::TableSet t) {
        return t == interfaces::TableSet{interfaces::Table::OpenPositionFigures, interfaces::Table::Accounts};
    };
    ASSERT_TRUE(until([&] {
        const auto* item = lists(s).ItemCollection.get("EURUSD");
        return item && std::abs((*item)->Bid.toDouble() - 1.089) < 0.001 &&
               position->UnrealisedPL == expected() && std::any_of(changes.begin(), changes.end(), refreshed);
    })) << position->UnrealisedPL
        << " against " << expected();
    EXPECT_GT(position->UnrealisedPL, 0); // bought at 1.08320
    // The account's floating total is its displayed positions' figures summed.
    const auto& account = **lists(s).AccountDetailCollection.get("20001");
    double sum = 0;
    for (const auto& p : client(s).queries().getOpenOrderCollection())
        if (p->AccountNumber == "20001")
            sum += p->UnrealisedPL;
    EXPECT_NEAR(account.UnrealisedPL, sum, 1e-9);
    // The margin the server reports in use is what the account's open positions hold by the group's
    // settings (copies: the pass rewrites what it values).
    OrderList held;
    for (const auto& p : client(s).queries().getOpenOrderCollection())
        if (p->AccountNumber == "20001")
            held.push_back(std::make_shared<Order>(*p));
    const double margin = refreshOpenPositions(held, lookup).margin;
    EXPECT_GT(margin, 0);
    EXPECT_NEAR(account.UsedMargin.toDouble(), margin, 1e-9);
    EXPECT_NEAR(account.AvailableMargin, account.Equity - margin, 1e-9);

    // The current account is the session's to keep; one it does not hold is refused.
    EXPECT_TRUE(client(s).setCurrentAccount(20002));
    EXPECT_EQ(client(s).currentAccount(), 20002);
    EXPECT_FALSE(client(s).setCurrentAccount(12345));
    EXPECT_EQ(client(s).currentAccount(), 20002);
    EXPECT_EQ(tc::ordersOf(client(s)).currentAccount(), 20002);
}

TEST_F(OrderFlowTest, TheCurrentAccountsHedgeMarginsFollowItsPositions) {
    Session& s = login();
    ASSERT_TRUE(client(s).setCurrentAccount(20001));
    const auto figure = [&](const char* key) {
        const std::string* text = lists(s).HedgeMarginCollection.get(key);
        return text ? *text : std::string("none");
    };
    // Seeded: 1.5 EURUSD bought and 0.2 XAUUSD sold; the group holds 1 per lot, net lots only.
    ASSERT_TRUE(until([&] { return figure("EURUSD#1") == "1.50"; })) << figure("EURUSD#1");
    EXPECT_EQ(figure("XAUUSD#1"), "0.20");
    // What a subscriber reads when the fill is announced is already the new figure.
    std::vector<std::string> announced;
    auto tables = client(s).handleTablesChanged([&](interfaces::TableSet t) {
        for (const auto& p : lists(s).OpenOrderCollection)
            if (t.contains(interfaces::Table::OpenPositions) && p->ItemCode == "EURUSD" &&
                p->tradingMode == 1)
                return announced.push_back(figure("EURUSD#1"));
    });
    alignQuote(s, "EURUSD");
    ASSERT_FALSE(openPosition(s, "EURUSD", 20001, false, "0.5").empty());
    // 1.5 bought and 0.5 sold hold the margin of one lot, not of two.
    ASSERT_TRUE(until([&] { return !announced.empty(); }));
    EXPECT_EQ(announced.front(), "1.00");
    tables.reset();
    // An instrument no longer held leaves no figure behind.
    alignQuote(s, "XAUUSD");
    ASSERT_TRUE(sent(client(s).orders().closePosition("300002", dec("0.2"))));
    EXPECT_TRUE(until([&] { return figure("XAUUSD#1") == "none"; })) << figure("XAUUSD#1");
    EXPECT_EQ(figure("EURUSD#1"), "1.00");
    // Another account's figures replace them at once: 20002 holds nothing.
    ASSERT_TRUE(client(s).setCurrentAccount(20002));
    EXPECT_TRUE(lists(s).HedgeMarginCollection.empty());
}

} // namespace

// ---- commission

TEST_F(OrderFlowTest, CommissionIsPaidOnOpeningAndSettledByTheClosesSoBalanceSettlementsAndStatementAgree) {
    Session& s = login();
    const auto balance = [&] { return (*lists(s).AccountDetailCollection.get("20001"))->Balance.toDouble(); };
    const double before = balance();
    const auto settledBefore = idsOf(lists(s).SettledOrderCollection, &Order::SettlementId);
    const auto settled = [&] {
        std::vector<OrderRef> out;
        for (const auto& x : lists(s).SettledOrderCollection)
            if (x->AccountNumber == "20001" && !settledBefore.contains(x->SettlementId))
                out.push_back(x);
        return out;
    };
    alignQuote(s, "EURUSD");
    alignQuote(s, "XAUUSD");

    // A new position pays the group's 3 per lot on opening: 2.10 for 0.7 lots.
    const std::string id = openPosition(s, "EURUSD", 20001, true, "0.7");
    ASSERT_FALSE(id.empty());
    const auto opened = findBy(lists(s).OpenOrderCollection, &Order::OpenPositionId, id);
    EXPECT_EQ(std::pair(opened->Commission, opened->BaseCurrencyRate), std::pair(2.1, 1.0));
    EXPECT_TRUE(until([&] { return std::abs(balance() - (before - 2.1)) < 1e-9; })) << balance();

    // Half a lot of 300001 (3.50 paid for 1.5 lots before this session) settles the share it
    // carried; the rest keeps what the grid shows.
    ASSERT_TRUE(sent(client(s).orders().closePosition("300001", dec("0.5"))));
    ASSERT_TRUE(until([&] { return settled().size() == 1; }));
    EXPECT_EQ(std::pair(settled()[0]->Commission, settled()[0]->CurrencyRate),
              std::pair(1.17, std::optional(dec("1"))));
    const auto rest = findBy(lists(s).OpenOrderCollection, &Order::OpenPositionId, "300001");
    EXPECT_EQ(Formatter::formatDecimal(positionCommission(*rest), 2), "2.33");

    // Close All settles the rest: 2.33 of 300001, 2.10 of the new one, none of 300002.
    const std::vector<std::string> ids{"300001", "300002", id};
    ASSERT_TRUE(sent(client(s).orders().closeAllPositions(ids, interfaces::CloseAllScope::Selected)));
    ASSERT_TRUE(until([&] { return settled().size() == 4; }));
    double pl = 0, commission = 0;
    for (const auto& x : settled()) {
        pl += x->SettledPL.toDouble();
        commission += x->Commission;
    }
    EXPECT_NEAR(commission, 3.5 + 2.1, 1e-9);
    // The balance moved by the settled profit less what this session's opening paid.
    const std::string atServer =
        server->book().with([](const testserver::Books& b) { return b.balances.at(20001); });
    ASSERT_TRUE(until([&] { return balance() == std::stod(atServer); }));
    EXPECT_NEAR(balance() - before, pl - 2.1, 1e-6);

    // The statement of the hour around now lists the settlements and counts the commission charged
    // in it; its summary runs from the balance before to the balance now.
    const WallTime now = std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    ASSERT_NE(client(s).statements().requestAccountStatement(
                  StatementSelection{"20001", now - std::chrono::hours(1), now + std::chrono::hours(1)}),
              0u);
    ASSERT_TRUE(until([&] { return client(s).statements().statement() != nullptr; }));
    const statements::AccountStatementInfo& statement = *client(s).statements().statement();
    ASSERT_TRUE(statement.StartInfo && statement.EndInfo);
    EXPECT_NEAR(statement.getSettledCommission(), commission, 1e-9);
    EXPECT_NEAR(statement.getSettledPL().toDouble(), pl, 1e-6);
    EXPECT_NEAR(statement.getCommission().toDouble(), -2.1, 1e-9);
    const double opening = statement.StartInfo->OpeningBalanceOfDay.toDouble();
    EXPECT_NEAR(opening, before, 1e-6);
    EXPECT_NEAR(opening + (statement.getSettledPL() + statement.getCommission()).toDouble(),
                statement.EndInfo->Balance.toDouble(), 1e-6);
    EXPECT_NEAR(statement.EndInfo->Balance.toDouble(), balance(), 1e-6);
}
