// The client's typed events, one test per event, against the in-process loopback server.
#include "client/client_factory.h"
#include "client/headless_application.h"
#include "integration/loopback_fixture.h"
#include "platform/clock.h"
#include "platform/fake_reachability_source.h"
#include "platform/user_defaults.h"
#include "session/business/business_base.h"
#include "session/feed/price_feed.h"
#include "session/records/item_details.h"
#include "session/records/order.h"
#include "session/text/language_string.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace tc;
using namespace std::chrono_literals;
using interfaces::LoginState;

std::string text(std::string_view key) {
    return LanguageString::stringforSelectedLanguage(0, key).value_or("");
}

class ClientEvents : public LoopbackTest {
protected:
    void SetUp() override {
        LoopbackTest::SetUp();
        startServer(400, 21);
        ConnectionOptions connection;
        connection.requester.passInterval = 20ms;
        connection.requester.replyTimeout = 400ms;
        client = tc::makeClient(app, {watchDefaults.get(), false}, {}, connection);
    }
    void TearDown() override {
        client.reset();
        LoopbackTest::TearDown();
    }

    interfaces::SignInResult signIn(const std::string& password = "demo1234") {
        return client->signIn(loginOf("demo", password));
    }
    // Signs in and waits for the last list of the login's data-service requests.
    void signedIn() {
        ASSERT_TRUE(signIn());
        ASSERT_TRUE(until([&] { return !client->dataService().financialApprovalRecords.empty(); }));
    }

    std::unique_ptr<platform::UserDefaults> appDefaults = platform::UserDefaults::inMemory();
    std::unique_ptr<platform::UserDefaults> watchDefaults = platform::UserDefaults::inMemory();
    HeadlessApplication app{*appDefaults};
    std::unique_ptr<interfaces::Client> client;
};

TEST_F(ClientEvents, LoginStateFollowsTheLoginRoad) {
    struct Case {
        std::string password;
        std::vector<LoginState> expected;
    };
    for (const Case& c :
         {Case{"demo1234", {LoginState::Connecting, LoginState::Loading, LoginState::SignedIn}},
          Case{"wrong", {LoginState::Connecting, LoginState::SignedOut}}}) {
        client.reset();
        client = tc::makeClient(app, {watchDefaults.get(), false});
        std::vector<LoginState> states;
        auto handler = client->handleLoginStateChanged([&](LoginState s) { states.push_back(s); });
        ASSERT_TRUE(signIn(c.password));
        EXPECT_TRUE(until([&] { return states.size() >= c.expected.size(); })) << c.password;
        EXPECT_EQ(states, c.expected) << c.password;
        EXPECT_EQ(client->loginState(), c.expected.back());
        // One login per client.
        EXPECT_FALSE(signIn(c.password));
    }
    // A signed-in session that loses its stream is lost, not signed out.
    client.reset();
    client = tc::makeClient(app, {watchDefaults.get(), false});
    std::vector<LoginState> states;
    auto handler = client->handleLoginStateChanged([&](LoginState s) { states.push_back(s); });
    ASSERT_TRUE(signIn());
    ASSERT_TRUE(until([&] { return client->loginState() == LoginState::SignedIn; }));
    server->dropStreams();
    ASSERT_TRUE(until([&] { return !states.empty() && states.back() == LoginState::Lost; }));
}

TEST_F(ClientEvents, TablesChangedComesAtMostOncePerPassWithTheTablesTouched) {
    std::vector<interfaces::TableSet> seen;
    int mostInOnePass = 0;
    auto handler = client->handleTablesChanged([&](interfaces::TableSet t) { seen.push_back(t); });
    // A local change of one table names that table alone.
    client->endExecutedPositionSearch();
    ASSERT_TRUE(until([&] { return !seen.empty(); }));
    EXPECT_EQ(seen,
              std::vector<interfaces::TableSet>{interfaces::TableSet{interfaces::Table::ExecutedPositions}});
    seen.clear();

    ASSERT_TRUE(signIn());
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    // The event for what a pass changed comes in the pass after it, so one more pass follows the last
    // reply.
    for (int passesAfterTheLastReply = 2;
         passesAfterTheLastReply > 0 && std::chrono::steady_clock::now() < deadline;) {
        const std::size_t before = seen.size();
        platform::RunLoop::main().runOnce();
        mostInOnePass = std::max(mostInOnePass, static_cast<int>(seen.size() - before));
        if (!client->dataService().financialApprovalRecords.empty())
            --passesAfterTheLastReply;
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(mostInOnePass, 1);
    EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [](interfaces::TableSet t) {
        return t.contains(interfaces::Table::OpenPositions);
    }));
}

TEST_F(ClientEvents, QuotesAndDepthNameTheInstrumentsTheFeedChanged) {
    std::vector<std::string> quoted;
    std::vector<std::string> deepened;
    auto quotes = client->handleQuotesChanged([&](const std::vector<std::string>& codes) {
        quoted.insert(quoted.end(), codes.begin(), codes.end());
    });
    auto depth = client->handleDepthChanged([&](const std::vector<std::string>& codes) {
        deepened.insert(deepened.end(), codes.begin(), codes.end());
    });
    signedIn();
    ASSERT_TRUE(until([&] { return !quoted.empty() && !deepened.empty(); }));
    const std::vector<std::string> watched = client->watchList();
    for (const std::string& code : quoted) {
        const auto* item = client->model().ItemCollection.get(code);
        ASSERT_TRUE(item && *item) << code;
        EXPECT_TRUE((*item)->isPriceUpdateReceived) << code;
    }
    for (const std::string& code : deepened)
        EXPECT_NE(client->depth().buy(code), nullptr) << code;
    EXPECT_NE(std::find(watched.begin(), watched.end(), quoted.front()), watched.end());
}

TEST_F(ClientEvents, OrderStoredNamesTheServersPendingOrder) {
    std::vector<std::shared_ptr<const Order>> stored;
    auto handler =
        client->handleOrderStored([&](const std::shared_ptr<const Order>& o) { stored.push_back(o); });
    signedIn();
    server->holdPrices(true);
    ASSERT_TRUE(server->setQuote("EURUSD", "1.08500", "1.08512"));
    OrderInfo limit = marketOrder("EURUSD", 20001, true, "0.5");
    limit.orderType = 2;
    limit.price = "1.08300";
    const interfaces::OrderResult result = client->placeOrder(limit);
    ASSERT_TRUE(result.sent()) << result.refusalText;
    ASSERT_TRUE(until([&] { return !stored.empty(); }));
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_FALSE(stored[0]->PendingOrderId.empty());
    EXPECT_EQ(stored[0]->OrderPrice, "1.08300");
    const auto pending = client->queries().getPendingOrderCollection();
    EXPECT_TRUE(std::any_of(pending.begin(), pending.end(), [&](const auto& o) { return o == stored[0]; }));
}

TEST_F(ClientEvents, OrderRefusedTellsTheRequestersOwnRefusalFromTheServers) {
    std::vector<interfaces::OrderRefusal> refusals;
    auto handler =
        client->handleOrderRefused([&](const interfaces::OrderRefusal& r) { refusals.push_back(r); });
    signedIn();
    // Refused here: the command answers with the key and text, the event follows for every window.
    const interfaces::OrderResult own = client->placeOrder(marketOrder("EURUSD", 20001, true, "0"));
    EXPECT_FALSE(own.sent());
    EXPECT_EQ(own.refusalKey, "1003");
    EXPECT_EQ(own.refusalText, text("1003"));
    ASSERT_TRUE(until([&] { return refusals.size() == 1; }));
    EXPECT_EQ(refusals[0].origin, interfaces::OrderRefusal::Origin::Client);
    EXPECT_EQ(refusals[0].key, "1003");
    ASSERT_NE(refusals[0].order, nullptr);
    EXPECT_EQ(refusals[0].order->OrderQty, "0");

    // Refused by the server: sent here, rejected there with a code.
    ASSERT_TRUE(server->setMarketOpen("EURUSD", false));
    EXPECT_TRUE(client->placeOrder(marketOrder("EURUSD", 20001, true, "1")).sent());
    ASSERT_TRUE(until([&] { return refusals.size() == 2; }));
    EXPECT_EQ(refusals[1].origin, interfaces::OrderRefusal::Origin::Server);
    EXPECT_EQ(refusals[1].text, text("1065"));
    EXPECT_FALSE(refusals[1].key.empty());
}

TEST_F(ClientEvents, RequestFailedEndsTheWaitOfARequestWithoutReply) {
    std::vector<interfaces::RequestFailure> failures;
    auto handler =
        client->handleRequestFailed([&](const interfaces::RequestFailure& f) { failures.push_back(f); });
    signedIn();
    server->setDataServiceSilent(true);
    const interfaces::RequestId id = client->requestSessionSchedule(1);
    ASSERT_NE(id, 0u);
    ASSERT_TRUE(until([&] { return !failures.empty(); }));
    EXPECT_EQ(failures[0].id, id);
    EXPECT_EQ(failures[0].procedure, "getsessionschedule");
    EXPECT_FALSE(failures[0].reason.empty());
    server->setDataServiceSilent(false);
}

TEST_F(ClientEvents, ChartArrivalNamesItsRequestAndStoreKey) {
    std::vector<interfaces::ChartArrival> arrivals;
    auto handler =
        client->handleChartArrived([&](const interfaces::ChartArrival& a) { arrivals.push_back(a); });
    signedIn();
    const interfaces::RequestId id = client->requestChartData("EURUSD", "60", 50);
    ASSERT_NE(id, 0u);
    ASSERT_TRUE(until([&] { return !arrivals.empty(); }));
    EXPECT_EQ(arrivals[0].id, id);
    EXPECT_TRUE(client->chartData().entry(arrivals[0].key).has_value());
}

// The network speed's event is proven with the ping's round trip in the login road's tests
// (LoginRoadTest.PingRoundTripsOnThePumpedClock).

TEST_F(ClientEvents, JournalLinesArriveAsTheyAreAddedAndNotAfterTheHandlerGoes) {
    std::vector<std::string> lines;
    auto handler = client->handleJournal([&](const std::string& line) { lines.push_back(line); });
    ASSERT_TRUE(signIn());
    ASSERT_TRUE(until([&] { return client->loginState() == LoginState::SignedIn; }));
    ASSERT_TRUE(until([&] { return lines.size() == client->journal().size(); }));
    EXPECT_EQ(lines, client->journal());
    EXPECT_GE(lines.size(), 3u); // connected, login data, login completed
    const std::size_t heard = lines.size();
    handler.reset();
    ASSERT_TRUE(client->placeOrder(marketOrder("EURUSD", 20001, true, "1")).sent());
    ASSERT_TRUE(until([&] { return client->journal().size() > heard; }));
    platform::RunLoop::main().runOnce();
    EXPECT_EQ(lines.size(), heard);
}

TEST_F(ClientEvents, MakeClientWatchesTheNetworkAndHandsTheProductsTextKeysToTheLookUp) {
    testing_support::ScopedReachabilitySource network;
    network.fake->setFlags(platform::reachability_flags::kReachable);
    app.logindata().setProductLocalizationList({{"1004", "1088"}});
    client.reset();
    client = interfaces::MakeClient(app, {watchDefaults.get()});
    EXPECT_EQ(LanguageString::getProductBasedKeyForKey("1004"), "1088");
    // The watcher's first report and every change reach the session.
    EXPECT_TRUE(until([&] { return client->isNetworkAvailable(); }));
    network.fake->change(0);
    EXPECT_TRUE(until([&] { return !client->isNetworkAvailable(); }));
    // The client stops its watcher when it goes.
    client.reset();
    EXPECT_EQ(network.fake->subscriberCount(), 0u);
    app.logindata().setProductLocalizationList({});
    LanguageString::setProductLocalizationList({});
}

} // namespace
