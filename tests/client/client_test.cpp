// The client's typed events, one test per event, against the in-process loopback server.
#include "chat/session_chat.h"
#include "client/client_factory.h"
#include "client/headless_application.h"
#include "funding/session_funding.h"
#include "integration/loopback_fixture.h"
#include "model/records/account_details.h"
#include "model/records/group_details.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "model/records/record_decimal.h"
#include "model/text/formatter.h"
#include "model/text/language_string.h"
#include "model/text/positional_text.h"
#include "orders/order_requests.h"
#include "platform/base64.h"
#include "platform/bundle.h"
#include "platform/clock.h"
#include "platform/fake_network_state_source.h"
#include "platform/rtf_writer.h"
#include "platform/user_defaults.h"
#include "resources/resource_files.h"
#include "session/business/business_base.h"
#include "session/business/session_requests.h"
#include "session/feed/price_feed.h"
#include "session/feed/session_feed.h"
#include "statements/statement_reader.h"
#include "support/capturing_sender.h"
#include "support/temp_resources.h"
#include "support/wire_text.h"
#include "test_server.h"
#include "wire/envelope_opener.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// A property list whose top dictionary holds `entries`.
std::string plist(std::string_view entries) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>" + std::string(entries) +
           "</dict></plist>";
}

using namespace tc;
using namespace std::chrono_literals;
using interfaces::LoginState;

std::string text(std::string_view key) {
    return LanguageString::stringForSelectedLanguage(0, key).value_or("");
}

class ClientEvents : public LoopbackTest {
protected:
    void SetUp() override {
        LoopbackTest::SetUp();
        startServer(400, 21);
        client = clientWaitingForReplies(ConnectionOptions{}.requester.replyTimeout);
    }
    // A reply the server owes fails the request after `replyTimeout`: short only where a test wants
    // the failure, so that a busy machine fails no other request.
    std::unique_ptr<interfaces::Client> clientWaitingForReplies(std::chrono::milliseconds replyTimeout) {
        ConnectionOptions connection;
        connection.requester.passInterval = 20ms;
        connection.requester.replyTimeout = replyTimeout;
        return tc::makeClient(app, {watchDefaults.get(), false}, {}, connection);
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
        ASSERT_TRUE(until([&] { return !client->funding().collections().financialApprovals.empty(); }));
    }

    std::shared_ptr<const AccountDetails> account(int id) const {
        const auto* found = client->model().AccountDetailCollection.get(std::to_string(id));
        return found ? found->shared() : nullptr;
    }
    funding::NewDeposit online(double amount) const {
        funding::NewDeposit d;
        d.accountDetail = account(20001);
        d.mode = funding::kOnlinePayment;
        d.amount = decimalFromDouble(amount);
        d.estimatedAmount = d.amount;
        d.email = "demo@example.test";
        d.payGateId = 1;
        return d;
    }

    std::unique_ptr<platform::UserDefaults> appDefaults = platform::UserDefaults::inMemory();
    std::unique_ptr<platform::UserDefaults> watchDefaults = platform::UserDefaults::inMemory();
    HeadlessApplication app{*appDefaults};
    std::unique_ptr<interfaces::Client> client;
};

TEST_F(ClientEvents, ALoginThatCannotBeSentIsRefusedAtOnceAndTheClientStillSignsIn) {
    EXPECT_EQ(client->signIn(loginOf("de\x03mo", "demo1234")).error,
              "The user name holds a character that cannot be sent.");
    EXPECT_EQ(client->signIn(loginOf("demo", "demo\x01")).error,
              "The password holds a character that cannot be sent.");
    EXPECT_EQ(client->loginState(), LoginState::SignedOut) << "nothing was started";
    EXPECT_TRUE(signIn());
}

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
        if (!client->funding().collections().financialApprovals.empty())
            --passesAfterTheLastReply;
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(mostInOnePass, 1);
    EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [](interfaces::TableSet t) {
        return t.contains(interfaces::Table::OpenPositions);
    }));
}

TEST_F(ClientEvents, TheFeedQuotesTheFollowedInstrumentsAndDepthNamesItsLadders) {
    std::vector<std::string> deepened;
    auto depth = client->handleDepthChanged([&](const std::vector<std::string>& codes) {
        deepened.insert(deepened.end(), codes.begin(), codes.end());
    });
    signedIn();
    const std::vector<std::string> watched = client->watchList();
    ASSERT_FALSE(watched.empty());
    auto isWatched = [&](const std::string& code) {
        return std::find(watched.begin(), watched.end(), code) != watched.end();
    };
    // Quotes have no event: the model holds them. The feed also follows the instruments of open
    // positions and orders, in no set order: wait for a watched one rather than take the first.
    const auto quoted = [&] {
        std::vector<std::string> codes;
        for (const auto& [code, item] : client->model().ItemCollection)
            if (item && item->isPriceUpdateReceived)
                codes.push_back(code);
        return codes;
    };
    ASSERT_TRUE(until([&] {
        const std::vector<std::string> codes = quoted();
        return std::any_of(codes.begin(), codes.end(), isWatched) && !deepened.empty();
    }));
    auto held = [&](const std::string& code) {
        const SessionModel& m = client->model();
        return std::any_of(m.OpenOrderCollection.begin(), m.OpenOrderCollection.end(),
                           [&](const auto& o) { return o && o->ItemCode == code; }) ||
               std::any_of(m.PendingOrderCollection.begin(), m.PendingOrderCollection.end(),
                           [&](const auto& o) { return o && o->ItemCode == code; });
    };
    for (const std::string& code : quoted())
        EXPECT_TRUE(isWatched(code) || held(code)) << code;
    for (const std::string& code : deepened)
        EXPECT_NE(client->depth().buy(code), nullptr) << code;
}

TEST_F(ClientEvents, TheDepthEventIsToldInTheFeedsDrainItself) {
    std::vector<std::string> deepened;
    auto depth = client->handleDepthChanged([&](const std::vector<std::string>& codes) {
        deepened.insert(deepened.end(), codes.begin(), codes.end());
    });
    signedIn();
    auto feed = std::dynamic_pointer_cast<SessionFeed>(sessionOf(*client).services().feed);
    ASSERT_TRUE(feed);
    feed->drain();
    deepened.clear();
    // The drain runs in a main-queue task of its own: its subscribers hear of it there, not a pass later.
    feed->ZMQNewMessage("MD_EURUSD;1.1,5;1.2,6");
    feed->drain();
    EXPECT_NE(std::find(deepened.begin(), deepened.end(), "EURUSD"), deepened.end());
}

TEST_F(ClientEvents, AStoredLimitOrderIsToldAsAChangeOfThePendingOrdersThatHoldIt) {
    // What a window reads when the pending orders change: the server's record of the order placed.
    std::shared_ptr<const Order> stored;
    auto tables = client->handleTablesChanged([&](interfaces::TableSet t) {
        if (!t.contains(interfaces::Table::PendingOrders))
            return;
        for (const auto& o : client->queries().getPendingOrderCollection())
            if (o && !o->PendingOrderId.empty() && o->OrderPrice == dec("1.08300"))
                stored = o;
    });
    signedIn();
    server->holdPrices(true);
    ASSERT_TRUE(server->setQuote("EURUSD", "1.08500", "1.08512"));
    interfaces::OrderTicket limit = marketOrder("EURUSD", 20001, true, "0.5");
    limit.kind = interfaces::OrderKind::Limit;
    limit.price = dec("1.08300");
    const interfaces::OrderResult result = client->orders().placeOrder(limit);
    ASSERT_TRUE(result.sent()) << result.refusalText;
    ASSERT_TRUE(until([&] { return stored != nullptr; }));
    EXPECT_EQ(stored->OrderQty, dec("0.5"));
}

TEST_F(ClientEvents, AnExecutionReportReachesItsSubscribersInTwoMainQueueTasks) {
    signedIn();
    server->holdPrices(true);
    // Pass 1 applies the report and posts its events; pass 2 runs them and the table-change flush,
    // which hands the change on itself.
    int pass = 0;
    int tablesAt = 0;
    int reportAt = 0;
    auto tables = client->handleTablesChanged([&](interfaces::TableSet t) {
        if (t.contains(interfaces::Table::CancelledOrders) && tablesAt == 0)
            tablesAt = pass;
    });
    auto reports = client->orders().handleBulkCloseReport([&](const interfaces::BulkCloseReport& r) {
        if (r.orderNumber == "C2TASK")
            reportAt = pass;
    });
    ASSERT_TRUE(until([&] { return client->loginState() == LoginState::SignedIn; }));
    while (platform::RunLoop::main().runOnce() > 0) {
    }
    // As the stream thread hands a report on: the server rejects an order, naming order C2TASK.
    const std::string framed = MessageBase::frame(
        testing_support::body("10=62|73=25|34=20001|12=EURUSD|79=990001|74=3|125=C2TASK|43=48"));
    sessionOf(*client).NewMessage(std::string_view(framed).substr(1, framed.size() - 2));
    for (pass = 1; pass <= 3; ++pass)
        platform::RunLoop::main().runOnce();
    EXPECT_EQ(tablesAt, 2);
    EXPECT_EQ(reportAt, 2);
}

TEST_F(ClientEvents, ARefusalHereIsTheCallersAloneAndARejectionThereAnswersItsRequest) {
    std::vector<interfaces::RequestAnswer> answers;
    auto handler = client->orders().handleRequestAnswered(
        [&](const interfaces::RequestAnswer& a) { answers.push_back(a); });
    signedIn();
    // Refused here: the command answers with the key and text, and no request waits for an answer.
    const interfaces::OrderResult own = client->orders().placeOrder(marketOrder("EURUSD", 20001, true, "0"));
    EXPECT_FALSE(own.sent());
    EXPECT_EQ(own.refusalKey, "1003");
    EXPECT_EQ(own.refusalText, text("1003"));
    EXPECT_EQ(own.request, 0u);

    // Refused by the server: sent here, rejected there with a code, told to the request it answers.
    ASSERT_TRUE(server->setMarketOpen("EURUSD", false));
    const interfaces::OrderResult sent = client->orders().placeOrder(marketOrder("EURUSD", 20001, true, "1"));
    ASSERT_TRUE(sent.sent());
    ASSERT_TRUE(until([&] { return !answers.empty(); }));
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].request, sent.request);
    EXPECT_FALSE(answers[0].accepted);
    EXPECT_EQ(answers[0].reason, text("1065"));
    EXPECT_FALSE(answers[0].code.empty());
}

TEST_F(ClientEvents, PriceLimitsOfATicketFollowItsSideKindAndTheLiveQuote) {
    signedIn();
    server->holdPrices(true);
    ASSERT_TRUE(server->setQuote("EURUSD", "1.08500", "1.08512"));
    ASSERT_TRUE(until([&] {
        const auto* item = client->model().ItemCollection.get("EURUSD");
        return item && *item && (*item)->Ask.toDouble() > 1.08511 && (*item)->Ask.toDouble() < 1.08513;
    }));
    const auto& model = client->model();
    const ItemDetails& item = **model.ItemCollection.get("EURUSD");
    const auto settings =
        (*model.GroupDetailCollection.get(account(20001)->GroupId))->groupInstrument(item.InstrumentId);
    ASSERT_TRUE(settings);
    const double limitGap = settings->LimitMinPips * item.TickSize.toDouble();
    const double stopGap = settings->StopMinPips * item.TickSize.toDouble();
    const auto written = [&](double value) { return Formatter::formatDecimal(value, item.DecimalPlaces); };
    interfaces::Orders& orders = client->orders();

    interfaces::OrderTicket t = marketOrder("EURUSD", 20001, true, "1");
    EXPECT_TRUE(orders.entryPriceLimit(t).price.empty()); // a market order has no entry price
    // Brackets of a market buy are measured from the bid: a take profit above it, a stop loss below.
    interfaces::PriceLimit takeProfit = orders.takeProfitLimit(t);
    EXPECT_EQ(takeProfit.price, written(1.085 + limitGap));
    EXPECT_FALSE(takeProfit.atMost);
    interfaces::PriceLimit stopLoss = orders.stopLossLimit(t);
    EXPECT_EQ(stopLoss.price, written(1.085 - stopGap));
    EXPECT_TRUE(stopLoss.atMost);
    EXPECT_EQ(stopLoss.signedText(), "<= " + stopLoss.price);

    t.kind = interfaces::OrderKind::Limit; // a buy limit below the ask
    interfaces::PriceLimit entry = orders.entryPriceLimit(t);
    EXPECT_EQ(entry.price, written(1.08512 - limitGap));
    EXPECT_TRUE(entry.atMost);
    t.price = dec("1.08300"); // brackets of a pending order from its own price
    EXPECT_EQ(orders.takeProfitLimit(t).price, written(1.083 + limitGap));
    t.kind = interfaces::OrderKind::Stop;
    t.side = interfaces::Side::Sell; // a sell stop below the bid
    entry = orders.entryPriceLimit(t);
    EXPECT_EQ(entry.price, written(1.085 - stopGap));
    EXPECT_TRUE(entry.atMost);
    EXPECT_EQ(orders.stopLossLimit(t).price, written(1.083 + stopGap)); // a sell's stop loss above

    t.instrument = "NOSUCH";
    EXPECT_TRUE(orders.entryPriceLimit(t).price.empty());
    EXPECT_EQ(orders.entryPriceLimit(t).signedText(), "");
}

TEST_F(ClientEvents, RequestFailedEndsTheWaitOfARequestWithoutReply) {
    client.reset();
    client = clientWaitingForReplies(2s);
    std::vector<interfaces::RequestFailure> failures;
    auto handler =
        client->handleRequestFailed([&](const interfaces::RequestFailure& f) { failures.push_back(f); });
    signedIn();
    server->setDataServiceSilent(true);
    const interfaces::RequestId id = client->requestSessionSchedule(1);
    ASSERT_NE(id, 0u);
    // The login's own requests may still be waiting when the server falls silent: look at ours only.
    const auto ours = [&] {
        return std::find_if(failures.begin(), failures.end(),
                            [&](const interfaces::RequestFailure& f) { return f.id == id; });
    };
    ASSERT_TRUE(until([&] { return ours() != failures.end(); }));
    EXPECT_EQ(ours()->procedure, "getsessionschedule");
    EXPECT_FALSE(ours()->reason.empty());
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
    ASSERT_TRUE(client->orders().placeOrder(marketOrder("EURUSD", 20001, true, "1")).sent());
    ASSERT_TRUE(until([&] { return client->journal().size() > heard; }));
    platform::RunLoop::main().runOnce();
    EXPECT_EQ(lines.size(), heard);
}

TEST_F(ClientEvents, MakeClientWatchesTheNetworkAndTheProgramInstallsTheProductsTextKeys) {
    testing_support::ScopedNetworkStateSource network;
    network.fake->setFlags(platform::reachability_flags::kReachable);
    client.reset();
    {
        // The product's list beside the program names one key of its own.
        testing_support::ScopedResources product;
        product.write("LoginPropertyList.plist", plist("<key>General</key><dict><key>Product localization "
                                                       "list</key><string>Ours</string></dict>"));
        product.write("ProductLocalization.plist",
                      plist("<key>Ours</key><dict><key>1004</key><string>1088</string></dict>"));
        client = interfaces::MakeClient(app, {watchDefaults.get()});
        // A client sets nothing process-wide; the program installs the product's keys.
        EXPECT_EQ(LanguageString::getProductBasedKeyForKey("1004"), "1004");
        interfaces::installProductTexts();
        EXPECT_EQ(LanguageString::getProductBasedKeyForKey("1004"), "1088");
    }
    platform::Bundle::setResourcesRoot(TC_TEST_RESOURCES);
    // The watcher's first report and every change reach the session.
    EXPECT_TRUE(until([&] { return client->isNetworkAvailable(); }));
    network.fake->change(0);
    EXPECT_TRUE(until([&] { return !client->isNetworkAvailable(); }));
    // The client stops its watcher when it goes.
    client.reset();
    EXPECT_EQ(network.fake->subscriberCount(), 0u);
    LanguageString::setProductLocalizationList({});
}

TEST_F(ClientEvents, TheCloseAllLimitIsTheLoginListsAndARequestPastItIsRefusedBeforeSending) {
    // The shipped list names the test server's 200 for the simulation.
    signedIn();
    EXPECT_EQ(client->orders().closeAllLimit(), 200u);
    client.reset();
    // A copy of the resources whose list names 2: read at the sign-in, and a request of three is
    // refused here, nothing sent.
    testing_support::TempDir resources;
    std::filesystem::copy(TC_TEST_RESOURCES, resources.path(), std::filesystem::copy_options::recursive);
    const auto writeLimit = [&](std::string_view entry) {
        const auto list = resources.path() / "LoginPropertyList.plist";
        std::string text;
        {
            std::ifstream in(list);
            text.assign(std::istreambuf_iterator<char>(in), {});
        }
        const auto at = text.find("<key>CloseAllPositionLimit</key>");
        const auto end = text.find("</integer>", at);
        ASSERT_TRUE(at != std::string::npos && end != std::string::npos);
        text.replace(at, end + std::string_view("</integer>").size() - at, entry);
        std::ofstream(list, std::ios::trunc) << text;
    };
    writeLimit("<key>CloseAllPositionLimit</key><integer>2</integer>");
    platform::Bundle::setResourcesRoot(resources.path());
    struct RootBack {
        ~RootBack() { platform::Bundle::setResourcesRoot({}); }
    } rootBack;
    client = clientWaitingForReplies(ConnectionOptions{}.requester.replyTimeout);
    signedIn();
    EXPECT_EQ(client->orders().closeAllLimit(), 2u);
    const int requestsBefore = server->stats().orderRequests;
    const std::vector<std::string> three{"300001", "300002", "300003"};
    const interfaces::OrderResult refused =
        client->orders().closeAllPositions(three, interfaces::CloseAllScope::Selected);
    EXPECT_FALSE(refused.sent());
    EXPECT_EQ(refused.refusalKey, "94601");
    EXPECT_EQ(refused.refusalText, fillPositional(text("94601"), {"2", "3"}));
    // Two go out, the only order request the server has.
    const std::vector<std::string> two{"300001", "300002"};
    EXPECT_TRUE(client->orders().closeAllPositions(two, interfaces::CloseAllScope::Selected).sent());
    ASSERT_TRUE(until([&] { return server->stats().orderRequests > requestsBefore; }));
    EXPECT_EQ(server->stats().orderRequests, requestsBefore + 1);
    // A list that names no limit: the client's own cap.
    client.reset();
    writeLimit("");
    client = clientWaitingForReplies(ConnectionOptions{}.requester.replyTimeout);
    ASSERT_TRUE(signIn());
    EXPECT_EQ(client->orders().closeAllLimit(), OrderRequests::kMaxCloseAllPositions);
    client.reset();
}

// ---- funding, chat, statements, resources, password

TEST_F(ClientEvents, FundingReplyFollowsAGatewayPaymentThroughItsThreeStates) {
    std::vector<interfaces::FundingReply> replies;
    auto handler = client->funding().handleFundingReply(
        [&](const interfaces::FundingReply& r) { replies.push_back(r); });
    signedIn();
    ASSERT_NE(client->funding().requestPayGateSettings(), 0u);
    ASSERT_TRUE(until([&] { return client->funding().collections().payGateSettings.size() == 2; }));
    const std::size_t journalBefore = client->journal().size();
    const interfaces::CommandResult sent = client->funding().requestDeposit(online(250));
    ASSERT_TRUE(sent) << sent.error;
    ASSERT_TRUE(until([&] { return replies.size() >= 3; }));
    using Kind = interfaces::FundingReply::Kind;
    EXPECT_EQ(replies[0].kind, Kind::PayGateStarted);
    EXPECT_EQ(replies[1].kind, Kind::PayGateProgress);
    EXPECT_EQ(replies[2].kind, Kind::PayGateResult);
    EXPECT_EQ(replies[2].code, 0);
    // Each state as its reply left it, though the record moved on before the events were read.
    EXPECT_EQ(replies[0].status, 1);
    EXPECT_EQ(replies[1].status, testserver::kGatewayUnderWay);
    EXPECT_EQ(replies[2].status, funding::PayGateTransaction::kStatusSuccess);
    const std::uint64_t id = replies[0].id;
    ASSERT_NE(id, 0u);
    // The payment page: the gateway's address with the request, the user and the encoded key.
    const auto& held = **client->funding().collections().payGateTransactions.get(std::to_string(id));
    EXPECT_EQ(client->funding().paymentPageAddress(id),
              "https://pay.example.test/checkout?p1=" + std::to_string(id) +
                  "&p2=" + std::to_string(held.requestedByUserId) + "&p3=TK-" + std::to_string(id));
    EXPECT_EQ(client->funding().paymentPageAddress(id + 1000), "");
    EXPECT_EQ(replies[2].id, id);
    const auto& tx = **client->funding().collections().payGateTransactions.get(std::to_string(id));
    EXPECT_EQ(tx.payRequestAmount, platform::Decimal::fromInt64(250));
    EXPECT_EQ(tx.transStatus, funding::PayGateTransaction::kStatusSuccess);
    ASSERT_TRUE(tx.payGate);
    EXPECT_EQ(tx.payGate->name, "Loopback Pay");
    // The successful payment has its journal line.
    ASSERT_TRUE(until([&] { return client->journal().size() > journalBefore; }));
    EXPECT_NE(client->journal().back().find(tx.payTransactionId), std::string::npos);
}

TEST_F(ClientEvents, FundingFailureCarriesTheServersRefusalOfAPayment) {
    std::vector<interfaces::FundingFailure> failures;
    std::vector<interfaces::FundingReply> replies;
    auto failed = client->funding().handleFundingFailure(
        [&](const interfaces::FundingFailure& f) { failures.push_back(f); });
    auto replied = client->funding().handleFundingReply(
        [&](const interfaces::FundingReply& r) { replies.push_back(r); });
    signedIn();
    ASSERT_NE(client->funding().requestPayGateSettings(), 0u);
    ASSERT_TRUE(until([&] { return client->funding().collections().payGateSettings.size() == 2; }));
    // Above the gateway's limit: the server answers 94 with an error code; the deposit must not wait.
    ASSERT_TRUE(client->funding().requestDeposit(online(testserver::kGatewayLimit * 2)));
    ASSERT_TRUE(until([&] { return !failures.empty(); }));
    EXPECT_EQ(failures[0].code, testserver::kGatewayLimitError);
    EXPECT_NE(failures[0].text.find("limit"), std::string::npos);
    EXPECT_TRUE(client->funding().collections().payGateTransactions.empty());
    EXPECT_TRUE(replies.empty());
}

TEST_F(ClientEvents, ChatChangedNamesTheRoomWhoseWaitingTextsWentOutInOrder) {
    std::vector<interfaces::ChatChange> changes;
    auto handler =
        client->chat().handleChatChanged([&](const interfaces::ChatChange& c) { changes.push_back(c); });
    signedIn();
    ASSERT_TRUE(until([&] { return client->chat().collections().UserChatCollection.contains("trader"); }));
    // Two texts before the room exists: one room request, both texts once, in order.
    ASSERT_TRUE(client->chat().sendChat("trader", "first/one"));
    ASSERT_TRUE(client->chat().sendChat("trader", "second"));
    const auto ready = [&] {
        return std::any_of(changes.begin(), changes.end(), [](const interfaces::ChatChange& c) {
            return c.kind == interfaces::ChatChange::Kind::RoomReady && c.key == "trader";
        });
    };
    ASSERT_TRUE(until(ready));
    ASSERT_TRUE(until([&] { return streamCount(603) == 2; }));
    EXPECT_EQ(streamCount(601), 1);
    const chat::ChatRoom& room = **client->chat().collections().ChatRoomCollection.get("trader");
    EXPECT_TRUE(room.isChatRoomCreated);
    ASSERT_EQ(room.messages.size(), 2u);
    EXPECT_EQ(room.messages[0].msg, "first/one");
    EXPECT_EQ(room.messages[1].msg, "second");
    // A text the wire cannot carry is refused, nothing sent.
    EXPECT_FALSE(client->chat().sendChat("trader", std::string("bad\x03text")));
    EXPECT_FALSE(client->chat().sendChat("tra\x05"
                                         "der",
                                         "x"));
    // A text too long for one message is refused before it is kept or anything is sent: for a room
    // still to be made, and for a support queue.
    std::string smiles;
    while (smiles.size() + 4 <= platform::kMaxRtfPlainTextBytes)
        smiles += "\xF0\x9F\x98\x80";
    EXPECT_FALSE(client->chat().sendChat("carol", smiles));
    EXPECT_FALSE(client->chat().collections().ChatRoomCollection.contains("carol") &&
                 !(*client->chat().collections().ChatRoomCollection.get("carol"))->messages.empty());
    ASSERT_TRUE(until([&] { return client->chat().collections().ChatQueueCollection.contains("1"); }));
    EXPECT_FALSE(client->chat().requestChatQueue("1", std::string(platform::kMaxRtfPlainTextBytes + 1, 'a')));
    platform::RunLoop::main().runOnce();
    EXPECT_EQ(streamCount(603), 2);
    EXPECT_EQ(streamCount(601), 1);
    EXPECT_EQ(streamCount(678), 0);
}

TEST_F(ClientEvents, NoticeArrivedTellsOfOfflineNoticesAndANewNoticeInRtf) {
    std::vector<interfaces::NoticeArrival> notices;
    auto handler =
        client->chat().handleNoticeArrived([&](const interfaces::NoticeArrival& n) { notices.push_back(n); });
    signedIn();
    // The seeded unread notice is told at login.
    ASSERT_TRUE(until([&] { return !notices.empty(); }));
    EXPECT_EQ(notices[0].unreadCount, 1);
    EXPECT_TRUE((*client->chat().collections().ChatRoomCollection.get("9001"))->isAnUnreadMessage);
    const std::string text = "Обслуживание в 22:00 — 保守 ✓";
    server->sendNotice("demo", "Maintenance", text);
    ASSERT_TRUE(until([&] { return notices.size() == 2; }));
    EXPECT_EQ(notices[1].title, "Maintenance");
    // The live notice raises the notice banner, and no chat banner for the notice's sender.
    ASSERT_TRUE(until([&] {
        const auto banners = app.callsNamed("showBanner");
        return std::any_of(banners.begin(), banners.end(),
                           [](const auto& c) { return c.banner && c.banner->subtitle == "Maintenance"; });
    }));
    for (const auto& call : app.callsNamed("showBanner"))
        EXPECT_FALSE(call.banner->subtitle.starts_with("New Message : ")) << call.banner->subtitle;
    const auto* room = client->chat().collections().ChatRoomCollection.get(notices[1].roomId);
    ASSERT_TRUE(room && *room);
    EXPECT_TRUE((*room)->isMessageNotices);
    ASSERT_EQ((*room)->messages.size(), 1u);
    EXPECT_EQ((*room)->messages[0].msg, text);
    // Opening the seeded notice reads its transcript and acknowledges it.
    ASSERT_TRUE(client->chat().requestRoomMessages("9001"));
    ASSERT_TRUE(until(
        [&] { return !(*client->chat().collections().ChatRoomCollection.get("9001"))->messages.empty(); }));
    EXPECT_NE((*client->chat().collections().ChatRoomCollection.get("9001"))
                  ->messages[0]
                  .msg.find("取引時間の変更"),
              std::string::npos);
    ASSERT_TRUE(until([&] { return streamCount(608) == 1; }));
    EXPECT_FALSE((*client->chat().collections().ChatRoomCollection.get("9001"))->isAnUnreadMessage);
}

TEST_F(ClientEvents, StatementArrivedInstallsOnlyTheLastRequestsStatement) {
    std::vector<interfaces::StatementArrival> arrivals;
    auto handler = client->statements().handleStatementArrived(
        [&](const interfaces::StatementArrival& a) { arrivals.push_back(a); });
    signedIn();
    const WallTime march1{std::chrono::seconds(1709251200)}, march31{std::chrono::seconds(1711843200)},
        june30{std::chrono::seconds(1719705600)};
    const interfaces::RequestId first =
        client->statements().requestAccountStatement({"20001", march1, march31});
    const interfaces::RequestId second =
        client->statements().requestAccountStatement({"20003", march1, june30});
    ASSERT_NE(first, 0u);
    ASSERT_TRUE(until([&] { return !arrivals.empty() && client->statements().statement(); }));
    // Both replies are in: the earlier one was not installed.
    ASSERT_TRUE(
        until([&] { return tc::sessionOf(*client).sessionRequests().pendingRequests().size() == 0; }));
    platform::RunLoop::main().runOnce();
    ASSERT_EQ(arrivals.size(), 1u);
    EXPECT_EQ(arrivals[0].id, second);
    const statements::AccountStatementInfo& s = *client->statements().statement();
    // The seeded March movements of account 20003, one of each sub-type, summed by hand.
    EXPECT_DOUBLE_EQ(s.getDeposit().toDouble(), 1000 + 200 + 300);
    EXPECT_DOUBLE_EQ(s.getWithDrawal().toDouble(), -(150 + 50));
    EXPECT_DOUBLE_EQ(s.getMiscellaneous().toDouble(), 1 + 2 + 3 - 4 + 5);
    EXPECT_DOUBLE_EQ(s.getCommission().toDouble(), -12.5);
    EXPECT_DOUBLE_EQ(s.getSettledPL().toDouble(), 120 - 20);
    EXPECT_DOUBLE_EQ(s.getDailyTDS().toDouble(), -0.5);
    EXPECT_DOUBLE_EQ(s.getMonthlyTDS().toDouble(), -1.5);
    ASSERT_TRUE(s.StartInfo && s.EndInfo);
    EXPECT_FALSE(s.InstrumentInfo.empty());
}

TEST_F(ClientEvents, CancelledOrderHistoryOfAStatementIsAnnouncedWithItsRequest) {
    std::vector<interfaces::StatementArrival> arrivals;
    auto handler = client->statements().handleStatementArrived(
        [&](const interfaces::StatementArrival& a) { arrivals.push_back(a); });
    signedIn();
    const WallTime jan1{std::chrono::seconds(1704067200)}, jan31{std::chrono::seconds(1706659200)};
    const interfaces::RequestId id =
        client->statements().requestCancelledOrderHistory({"20001", jan1, jan31});
    ASSERT_NE(id, 0u);
    ASSERT_TRUE(until([&] { return !arrivals.empty(); }));
    EXPECT_EQ(arrivals[0].id, id);
    EXPECT_TRUE(arrivals[0].cancelledOrders);
    // The rows are filed before the event: the seeded cancellation of 20001 in January.
    const auto& cancelled = client->dataService().cancelledOrderInfo;
    ASSERT_EQ(cancelled.size(), 1u);
    EXPECT_EQ(cancelled[0]->CancelledOrderId, "330001");
}

TEST_F(ClientEvents, ResourceStoredWritesTheDownloadOnceUnderTheDataFolder) {
    const auto home = std::filesystem::temp_directory_path() / ("tc_resources_" + std::to_string(::getpid()));
    std::filesystem::remove_all(home);
    const char* before = std::getenv("XDG_DATA_HOME");
    const std::string saved = before ? before : "";
    ::setenv("XDG_DATA_HOME", home.c_str(), 1);
    std::vector<interfaces::ResourceStored> stored;
    auto handler = client->resources().handleResourceStored(
        [&](const interfaces::ResourceStored& r) { stored.push_back(r); });
    signedIn();
    ASSERT_TRUE(
        until([&] { return client->dataService().resourceSearchCollection.contains("holidays.ics"); }));
    EXPECT_EQ(client->resources().downloadResource("../holidays.ics"), 0u); // not a name the searches found
    const interfaces::RequestId id = client->resources().downloadResource("holidays.ics");
    ASSERT_NE(id, 0u);
    ASSERT_TRUE(until([&] { return !stored.empty(); }));
    EXPECT_EQ(stored[0].id, id);
    EXPECT_EQ(stored[0].error, "");
    EXPECT_EQ(stored[0].path, (home / "tradeclient" / "Resources" / "holidays.ics").string());
    EXPECT_TRUE(stored[0].calendarMerged); // the login names no calendar to wait for
    std::ifstream file(stored[0].path);
    const std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "BEGIN:VCALENDAR\nVERSION:2.0\nEND:VCALENDAR\n");
    EXPECT_TRUE(std::filesystem::exists(home / "tradeclient" / "Resources" / resources::kMergedCalendarName));
    // A second download of the same file finds it there: the file is never written again.
    std::ofstream(stored[0].path) << "kept";
    ASSERT_NE(client->resources().searchResources("CAL"), 0u);
    ASSERT_NE(client->resources().downloadResource("holidays.ics"), 0u);
    ASSERT_TRUE(until([&] { return stored.size() == 2; }));
    EXPECT_EQ(stored[1].error, "");
    std::ifstream again(stored[0].path);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(again)), std::istreambuf_iterator<char>()), "kept");
    if (before)
        ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");
    std::filesystem::remove_all(home);
}

TEST_F(ClientEvents, PasswordRefusedAndChangedFollowTheServersAnswer) {
    std::vector<std::string> refusals;
    int changed = 0;
    auto refused = client->handlePasswordRefused([&](const std::string& t) { refusals.push_back(t); });
    auto done = client->handlePasswordChanged([&] { ++changed; });
    signedIn();
    // The form's checks answer at once, in their order.
    EXPECT_EQ(client->changePassword("", "a", "a").error, text("20245"));
    EXPECT_EQ(client->changePassword("wrong", "a", "b").error, text("20246"));
    EXPECT_EQ(client->changePassword("demo1234", "a", "b").error, text("20244"));
    EXPECT_EQ(client->changePassword("demo1234", "demo1234", "demo1234").error, text("20247"));
    // A password the wire cannot carry is refused, not sent.
    const std::string cut = std::string("new\x03") + "pass";
    EXPECT_FALSE(client->changePassword("demo1234", cut, cut));
    // The server refuses a wrong old password: the refusal is told, the stored password stays.
    ASSERT_TRUE(tc::sessionOf(*client).sessionRequests().changeMyPassword("not-it", "n3w"));
    ASSERT_TRUE(until([&] { return !refusals.empty(); }));
    EXPECT_EQ(refusals[0], "The old password is not correct.");
    EXPECT_EQ(tc::sessionOf(*client).loginData().password(), "demo1234");
    ASSERT_TRUE(client->changePassword("demo1234", "n3w/pass", "n3w/pass"));
    ASSERT_TRUE(until([&] { return changed == 1; }));
    EXPECT_EQ(tc::sessionOf(*client).loginData().password(), "n3w/pass");
    // The new password signs in from then on; the old one no longer.
    client.reset();
    client = tc::makeClient(app, {watchDefaults.get(), false});
    ASSERT_TRUE(signIn("demo1234"));
    ASSERT_TRUE(until([&] { return client->loginState() == LoginState::SignedOut; }));
    client.reset();
    client = tc::makeClient(app, {watchDefaults.get(), false});
    ASSERT_TRUE(signIn("n3w/pass"));
    EXPECT_TRUE(until([&] { return client->loginState() == LoginState::SignedIn; }));
}

} // namespace

TEST(DemoRegistrationRequest, CarriesTheFormInItsFieldsSealedUnderTheProductKey) {
    platform::Bundle::setResourcesRoot(TC_TEST_RESOURCES);
    LoginInputData login;
    // The inner message of the request built for a form, opened with the product key.
    auto built = [&](const interfaces::DemoRegistration& form) {
        MessageBase m;
        auto request = composeDemoRegistration(form, login);
        EXPECT_TRUE(request);
        if (!request)
            return m;
        testing_support::CapturingSender sender;
        request->setSender(&sender);
        request->BuildMessage();
        EXPECT_EQ(sender.sent.size(), 1u);
        MessageBase envelope;
        const std::string& framed = sender.sent.at(0).message;
        EXPECT_EQ(envelope.loadFrame(std::string_view(framed).substr(1, framed.size() - 2)), 76);
        const auto inner = openEncryptedEnvelope(*envelope.value(27), sender.productKey);
        EXPECT_TRUE(inner);
        EXPECT_EQ(
            m.loadFrame(std::string_view(inner.value_or("xx")).substr(1, inner.value_or("xx").size() - 2)),
            1026);
        return m;
    };
    interfaces::DemoRegistration form{"Ann Example", "ann@example.org", " ", "Česko", "5000", true, {}, 0};
    const MessageBase m = built(form);
    std::vector<std::string> tags;
    for (const std::string& field : m.messageArray())
        if (!field.empty())
            tags.push_back(field.substr(0, field.find('=')));
    EXPECT_EQ(tags,
              (std::vector<std::string>{"10", "1152", "1033", "564", "1132", "1133", "1134", "1135", "1136",
                                        "1137", "1138", "1139", "1140", "20", "19", "105", "1018", "504"}));
    EXPECT_EQ(*m.value(1138), "1");
    EXPECT_EQ(*m.value(1132), "Česko");
    EXPECT_EQ(*m.value(1137), " ");
    EXPECT_EQ(*m.value(1033), "Trade");
    EXPECT_EQ(*m.value(1140), login.productName().value_or(""));
    form.newsletter = false;
    EXPECT_EQ(*built(form).value(1138), "0");
    form.email = "ann\x03@example.org";
    EXPECT_FALSE(composeDemoRegistration(form, login));
    platform::Bundle::setResourcesRoot({});
}
