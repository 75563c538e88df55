// The login road end to end through the client against the loopback test server, run in-process on
// ephemeral ports.
#include "client/client_factory.h"
#include "client/headless_application.h"
#include "model/text/language_string.h"
#include "platform/bundle.h"
#include "platform/clock.h"
#include "platform/notification_center.h"
#include "platform/user_defaults.h"
#include "session/business/business_base.h"
#include "session/business/business_test_support.h"
#include "session/business/session_network_watch.h"
#include "wire/login_inputdata.h"

#include "loopback_fixture.h"
#include "market.h"
#include "orders/session_orders.h"
#include "test_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <map>
#include <mutex>
#include <thread>

namespace {

using namespace tc;
using namespace std::chrono_literals;
using sessiontest::FakeApplication;
using sessiontest::pumpUntil;

// Feed messages as the session hands them over on the feed thread.
class RecordingFeed final : public FeedHandler {
public:
    void ZMQNewMessage(const std::string& text) override {
        std::lock_guard lock(mutex);
        if (messages.size() < 10000)
            messages.push_back(text);
    }
    bool anyStartsWith(const std::vector<std::string>& prefixes) {
        std::lock_guard lock(mutex);
        return std::any_of(messages.begin(), messages.end(), [&](const std::string& m) {
            return std::any_of(prefixes.begin(), prefixes.end(),
                               [&](const std::string& code) { return m.rfind(code, 0) == 0; });
        });
    }
    std::mutex mutex;
    std::vector<std::string> messages;
};

class LoginRoadTest : public LoopbackTest {
protected:
    void SetUp() override {
        LoopbackTest::SetUp();
        startServer(2000, 3);
    }
    void TearDown() override {
        sessions.clear();
        LoopbackTest::TearDown();
    }

    struct Session {
        FakeApplication app;
        std::shared_ptr<RecordingFeed> feed = std::make_shared<RecordingFeed>();
        std::unique_ptr<platform::UserDefaults> defaults = platform::UserDefaults::inMemory();
        std::unique_ptr<interfaces::Client> client;
        // What the seam does not show: the connection, the ping timer, the network watcher's side.
        BusinessBase& inside() { return tc::sessionOf(*client); }
    };

    // With `recordFeed` false the session keeps its own feed handler.
    Session& open(const std::string& user, const std::string& password, bool recordFeed = true,
                  ConnectionOptions connection = {}) {
        auto s = std::make_unique<Session>();
        BusinessServices services;
        if (recordFeed)
            services.feed = s->feed;
        s->client = tc::makeClient(s->app, {s->defaults.get(), false}, services, std::move(connection));
        countLogins(*s->client);
        EXPECT_TRUE(s->client->signIn(loginOf(user, password)));
        sessions.push_back(std::move(s));
        return *sessions.back();
    }

    std::vector<std::unique_ptr<Session>> sessions;
};

TEST_F(LoginRoadTest, FullLoginLoadsTheSnapshotSwitchesTheKeyAndSubscribes) {
    const auto started = std::chrono::steady_clock::now();
    Session& s = open("demo", "demo1234");
    ASSERT_TRUE(loggedIn());
    const auto elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    RecordProperty("login_seconds", std::to_string(elapsed));
    EXPECT_TRUE(loginsPostedOnMain);

    interfaces::Client& c = *s.client;
    EXPECT_EQ(c.loginState(), interfaces::LoginState::SignedIn);
    EXPECT_EQ(c.model().AccountDetailCollection.size(), 3u);
    EXPECT_GE(c.model().ItemCollection.size(), 12u);
    const LoginInputData& login = tc::sessionOf(c).loginData();
    EXPECT_NE(login.SecurityKey(), login.configuredSecurityKey());
    EXPECT_EQ(login.SecurityKey()->size(), 88u);
    EXPECT_TRUE(c.isNetworkAvailable());
    EXPECT_TRUE(s.inside().isPingTimerRunning());

    // The data-service requests of login completion reach the server in their order.
    const std::vector<std::string> expected = {
        "getopenpositions",   "getpendingorders",   "getsettledpositions",
        "getcancelledorders", "getinstruments",     "resourcesearch",
        "resourcesearch",     "getapprovalrequest", "getfinancialapprovals"};
    ASSERT_TRUE(
        server->waitFor([&](const testserver::ServerStats& st) { return st.procedures.size() >= 9; }, 10s));
    EXPECT_EQ(server->stats().procedures, expected);

    // The watch list's instruments are subscribed: their quotes arrive on the feed.
    const std::vector<std::string> watched = c.watchList();
    ASSERT_FALSE(watched.empty());
    ASSERT_TRUE(pumpUntil([&] { return s.feed->anyStartsWith(watched); }));
    EXPECT_TRUE(s.app.log.calls().empty());
}

TEST_F(LoginRoadTest, LiveQuotesAndDepthReachTheWatchedInstruments) {
    Session& s = open("demo", "demo1234", false);
    ASSERT_TRUE(loggedIn());
    const interfaces::Client& client = *s.client;
    const std::vector<std::string> watched = client.watchList();
    ASSERT_FALSE(watched.empty());

    // The bids the snapshot left, to see them move.
    std::map<std::string, platform::CompactDecimal> snapshotBids;
    for (const auto& code : watched)
        if (const auto* item = client.model().ItemCollection.get(code))
            snapshotBids[code] = (*item)->Bid;
    ASSERT_FALSE(snapshotBids.empty());

    auto quotedAndMoved = [&] {
        std::size_t moved = 0;
        for (const auto& [code, bid] : snapshotBids) {
            const ItemDetails& item = **client.model().ItemCollection.get(code);
            moved += item.isPriceUpdateReceived && item.Bid != bid && item.Bid.toDouble() > 0;
        }
        return moved;
    };
    ASSERT_TRUE(pumpUntil([&] { return quotedAndMoved() >= 1; }));
    // Two distinct bids of one instrument: quotes keep arriving, not a single one.
    const std::string code = [&] {
        for (const auto& [c, bid] : snapshotBids) {
            const ItemDetails& item = **client.model().ItemCollection.get(c);
            if (item.isPriceUpdateReceived && item.Bid != bid)
                return c;
        }
        return std::string();
    }();
    const platform::CompactDecimal firstBid = (*client.model().ItemCollection.get(code))->Bid;
    EXPECT_TRUE(pumpUntil([&] { return (*client.model().ItemCollection.get(code))->Bid != firstBid; }));
    // The feed's depth lands in the depth store of the session.
    EXPECT_TRUE(pumpUntil([&] {
        return std::any_of(watched.begin(), watched.end(), [&](const std::string& c) {
            const auto* buy = client.depth().buy(c);
            return buy && !buy->empty();
        });
    }));
    EXPECT_TRUE(s.app.log.calls().empty());
}

TEST_F(LoginRoadTest, WrongPasswordIsRefusedWithTheServersCode) {
    Session& s = open("demo", "not-the-password");
    ASSERT_TRUE(pumpUntil([&] { return !s.app.loginMessages().empty(); }));
    const interfaces::LoginMessageAlert alert = s.app.loginMessages()[0];
    EXPECT_EQ(alert.tag, "0");
    EXPECT_EQ(alert.message, LanguageString::stringForSelectedLanguage(0, "1004").value_or("1004"));
    EXPECT_FALSE(alert.url.has_value());
    EXPECT_EQ(logins, 0);
    EXPECT_EQ(s.client->loginState(), interfaces::LoginState::SignedOut);
    EXPECT_TRUE(s.client->model().AccountDetailCollection.empty());
    EXPECT_EQ(s.app.connectionFailures.load(), 0); // our own disconnect, not a loss
}

TEST_F(LoginRoadTest, SecondLoginElsewhereEndsTheFirstSession) {
    Session& first = open("demo", "demo1234");
    ASSERT_TRUE(loggedIn(1));
    open("demo", "demo1234");
    ASSERT_TRUE(loggedIn(2));
    ASSERT_TRUE(pumpUntil([&] { return !first.app.log.calls().empty(); }));
    EXPECT_EQ(first.app.log.calls()[0].rfind("onSignedInElsewhere:", 0), 0u);
    EXPECT_GT(first.app.log.calls()[0].size(), std::string("onSignedInElsewhere:").size());
    pumpUntil([&] { return !first.inside().isPingTimerRunning(); });
    EXPECT_FALSE(first.inside().isPingTimerRunning());
    EXPECT_EQ(first.client->loginState(), interfaces::LoginState::SignedOut);
    EXPECT_EQ(first.app.connectionFailures.load(), 0);
}

namespace {

std::string textOf(std::string_view key) {
    return LanguageString::stringForSelectedLanguage(0, key).value_or("");
}

} // namespace

TEST_F(LoginRoadTest, DemoRegistrationGivesAUserWhoThenSignsInAndARefusalIsShown) {
    FakeApplication app;
    auto defaults = platform::UserDefaults::inMemory();
    auto registrar = tc::makeClient(app, {defaults.get(), false});
    std::vector<interfaces::DemoRegistrationResult> results;
    auto handler = registrar->handleDemoRegistered(
        [&](const interfaces::DemoRegistrationResult& r) { results.push_back(r); });
    interfaces::DemoRegistration form{"Ann Example", "ann@example.org", "+977 1",    "Nepal", "25000",
                                      true,          "127.0.0.1",       ports.stream};
    ASSERT_TRUE(registrar->registerDemoUser(form));
    // One road per client: neither a second registration nor a login follows on it.
    EXPECT_FALSE(registrar->registerDemoUser(form));
    EXPECT_FALSE(registrar->signIn(loginOf()));
    ASSERT_TRUE(pumpUntil([&] { return !results.empty(); }));
    ASSERT_TRUE(results[0].registered);
    EXPECT_EQ(results[0].userName.rfind("demo", 0), 0u);
    EXPECT_FALSE(results[0].password.empty());
    EXPECT_EQ(streamCount(1026), 1);
    EXPECT_EQ(streamCount(32), 0);
    EXPECT_EQ(app.connectionFailures.load(), 0);

    Session& s = open(results[0].userName, results[0].password);
    ASSERT_TRUE(loggedIn());
    ASSERT_EQ(s.client->model().AccountDetailCollection.size(), 1u);

    // The server's refusal (no user in the reply) comes as an unregistered result.
    FakeApplication refusedApp;
    auto refused = tc::makeClient(refusedApp, {defaults.get(), false});
    std::optional<interfaces::DemoRegistrationResult> refusal;
    auto refusalHandler =
        refused->handleDemoRegistered([&](const interfaces::DemoRegistrationResult& r) { refusal = r; });
    form.email = "no-at-sign";
    ASSERT_TRUE(refused->registerDemoUser(form));
    ASSERT_TRUE(pumpUntil([&] { return refusal.has_value(); }));
    EXPECT_FALSE(refusal->registered);
    EXPECT_TRUE(refusal->userName.empty());
    // Told as the address it is, never as a failure to try again later.
    ASSERT_TRUE(pumpUntil([&] { return refusedApp.log.count("showMessageAlert:" + textOf("95251")) == 1; }));
    EXPECT_EQ(refusedApp.log.count("showMessageAlert:" + textOf("0314")), 0u);

    // A text holding a wire control byte is refused before anything is sent.
    auto third = tc::makeClient(app, {defaults.get(), false});
    form.name = "Ann\x05";
    EXPECT_FALSE(third->registerDemoUser(form));
    EXPECT_EQ(streamCount(1026), 2);
}

TEST_F(LoginRoadTest, ALoginCancelledWhileItsConnectWaitsToBeHandledIsNoLoss) {
    // The stream's queue is held, so the connect is made but not yet handled when the user cancels.
    FakeApplication app;
    auto defaults = platform::UserDefaults::inMemory();
    auto client = tc::makeClient(app, {defaults.get(), false});
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    tc::sessionOf(*client).conn().delegateQueue()->async([released] { released.wait(); });
    ASSERT_TRUE(client->signIn(loginOf()));
    ASSERT_TRUE(server->waitFor([](const testserver::ServerStats& s) { return s.connections == 1; }, 10s));
    client->signOut();
    release.set_value();
    tc::sessionOf(*client).conn().delegateQueue()->sync([] {});
    platform::RunLoop::main().runUntil([] { return false; }, 300ms);
    EXPECT_EQ(app.connectionFailures.load(), 0);
    EXPECT_EQ(streamCount(32), 0); // no login request went out on the cancelled stream
    EXPECT_EQ(client->loginState(), interfaces::LoginState::SignedOut);
}

TEST_F(LoginRoadTest, LostStreamIsReportedOnceWithoutReconnecting) {
    Session& s = open("demo", "demo1234");
    ASSERT_TRUE(loggedIn());
    server->dropStreams();
    ASSERT_TRUE(pumpUntil([&] { return s.app.connectionFailures.load() > 0; }));
    platform::RunLoop::main().runUntil([] { return false; }, 300ms);
    EXPECT_EQ(s.app.connectionFailures.load(), 1);
    EXPECT_FALSE(s.client->isNetworkAvailable());
    EXPECT_EQ(s.client->loginState(), interfaces::LoginState::Lost);
    EXPECT_FALSE(s.inside().isPingTimerRunning());
    EXPECT_EQ(server->stats().connections, 1);
}

TEST_F(LoginRoadTest, AServerThatCannotBeReachedEndsTheLoginSayingSoNotAsALoss) {
    // Nothing listens on the port any more: the connect is refused.
    server->stop();
    Session& s = open("demo", "demo1234");
    ASSERT_TRUE(pumpUntil([&] { return !s.app.loginMessages().empty(); }));
    const interfaces::LoginMessageAlert alert = s.app.loginMessages().front();
    EXPECT_EQ(alert.message, "The server at 127.0.0.1:" + std::to_string(ports.stream) +
                                 " could not be reached. Please check the server address, the port and your "
                                 "network connection, then try again.");
    EXPECT_EQ(alert.tag, "0");
    EXPECT_EQ(s.app.connectionFailures.load(), 0) << "nothing was lost: the server was never reached";
    EXPECT_EQ(s.client->loginState(), interfaces::LoginState::SignedOut);
}

TEST_F(LoginRoadTest, AServerOfAnotherProductKeyEndsTheLoginNamingItsReplyNotAsALoss) {
    // It cannot read the login, refuses it under its own key, which the client does not hold, and
    // then says nothing more.
    server->stop();
    testserver::ServerOptions options;
    options.rate = 0;
    options.productKey = "another product's key";
    options.sealLoginReplies = true;
    startServer(options);
    ConnectionOptions connection;
    connection.unopenedLoginReplyWait = 0.2;
    Session& s = open("demo", "demo1234", true, connection);
    ASSERT_TRUE(pumpUntil([&] { return !s.app.loginMessages().empty(); }));
    EXPECT_EQ(s.app.loginMessages().front().message,
              LanguageString::stringForSelectedLanguage(0, "20403").value_or("20403"));
    EXPECT_EQ(server->stats().refusals, 1);
    EXPECT_EQ(s.app.connectionFailures.load(), 0);
    EXPECT_EQ(s.client->loginState(), interfaces::LoginState::SignedOut);
}

TEST_F(LoginRoadTest, PingRoundTripsOnThePumpedClock) {
    auto clock = std::make_shared<platform::ManualClock>();
    platform::ScopedClock scoped(clock);
    Session& s = open("demo", "demo1234");
    ASSERT_TRUE(loggedIn());
    std::vector<interfaces::NetworkSpeed> speeds;
    auto handler =
        s.client->handleNetworkSpeed([&](const interfaces::NetworkSpeed& n) { speeds.push_back(n); });
    for (int i = 1; i <= 3; ++i) {
        clock->advance(1s);
        // The timer fires on the next pass of the main loop; the reply comes back by the stream.
        ASSERT_TRUE(pumpUntil([&] { return server->stats().pings >= i; }));
        ASSERT_TRUE(pumpUntil([&] { return speeds.size() >= static_cast<std::size_t>(i); }));
    }
    // The clock stood still between each ping and its reply: the fastest class.
    EXPECT_EQ(speeds.back().speedClass, 0);
    EXPECT_EQ(s.client->networkSpeed().speedClass, 0);
    EXPECT_EQ(speeds.back().serverTime, s.client->networkSpeed().serverTime);
    EXPECT_EQ(speeds.back().serverTime.size(), 14u);
    // Loss of the stream leaves the class to the time since the last server date.
    s.inside().calculateNetworkSpeedFromServerDate();
    EXPECT_GE(s.client->networkSpeed().speedClass, 0);
}

TEST_F(LoginRoadTest, SilentDataServiceDoesNotHangTheClient) {
    server->setDataServiceSilent(true);
    Session& s = open("demo", "demo1234");
    ASSERT_TRUE(loggedIn());
    EXPECT_TRUE(s.inside().isPingTimerRunning());
    // The stream goes on while the data service holds its first request unanswered.
    ASSERT_TRUE(pumpUntil([&] { return server->stats().pings >= 1; }));
    EXPECT_EQ(s.app.connectionFailures.load(), 0);
    // And the session ends without waiting for the reply (a hang here fails by the test time-out).
    sessions.clear();
    server->setDataServiceSilent(false);
}

TEST_F(LoginRoadTest, HeadlessShellFollowsTheSessionThroughItsEvents) {
    auto defaults = platform::UserDefaults::inMemory();
    HeadlessApplication app(*defaults);
    auto watchDefaults = platform::UserDefaults::inMemory();
    auto client = tc::makeClient(app, {watchDefaults.get(), false});
    app.follow(*client);
    countLogins(*client);
    ASSERT_TRUE(client->signIn(loginOf()));
    ASSERT_TRUE(loggedIn());
    ASSERT_TRUE(pumpUntil([&] { return app.loginSuccess(); }));
    const auto played = [&](const std::string& sound) {
        const auto sounds = app.soundsPlayed();
        return std::find(sounds.begin(), sounds.end(), sound) != sounds.end();
    };
    ASSERT_TRUE(pumpUntil([&] { return played("welcome"); }));

    server->dropStreams();
    ASSERT_TRUE(pumpUntil([&] { return app.callsNamed("onConnectionLost").size() == 1; }));
    ASSERT_TRUE(pumpUntil([&] { return played("connectionLost"); }));
    EXPECT_TRUE(app.callsNamed("onLoginRefused").empty());
    client.reset();
}

TEST_F(LoginRoadTest, IdleRequestSocketSendsItsKeepAliveOnThePumpedClock) {
    auto clock = std::make_shared<platform::ManualClock>();
    platform::ScopedClock scoped(clock);
    open("demo", "demo1234");
    ASSERT_TRUE(loggedIn());
    // The first requests go out on the request thread's next passes (several at once): the clock steps
    // on to the next pass only once a second brought nothing new, so it does not run ahead of requests
    // already sent. The main queue runs meanwhile, so the pings the steps call for keep the stream (read
    // with a 30 s time-out) alive however slow a loaded machine makes the passes.
    for (int i = 0; i < 40 && server->stats().procedures.size() < 9; ++i) {
        const std::size_t before = server->stats().procedures.size();
        if (!platform::RunLoop::main().runUntil([&] { return server->stats().procedures.size() > before; },
                                                1s))
            clock->advance(500ms);
    }
    ASSERT_EQ(server->stats().procedures.size(), 9u);
    // A second at a time, so the ping keeps the stream (read with a 30 s time-out) alive.
    const auto pingSecond = [&] {
        const int before = server->stats().pings;
        clock->advance(1s);
        return pumpUntil([&] { return server->stats().pings > before; });
    };
    for (int second = 0; second < 59; ++second)
        ASSERT_TRUE(pingSecond());
    server->waitFor([](const testserver::ServerStats& st) { return st.keepAlives > 0; }, 200ms);
    EXPECT_EQ(server->stats().keepAlives, 0);
    // More than a minute without a request: one keep-alive, composed on the main queue and taken by
    // the request thread's next pass.
    ASSERT_TRUE(pingSecond());
    // However slow the passes, a second keep-alive would take another idle minute.
    for (int second = 0; second < 20 && server->stats().keepAlives == 0; ++second) {
        ASSERT_TRUE(pingSecond());
        server->waitFor([](const testserver::ServerStats& st) { return st.keepAlives > 0; }, 500ms);
    }
    EXPECT_TRUE(sessions[0]->inside().conn().IsRequesterRunning());
    EXPECT_EQ(server->stats().keepAlives, 1);
}

TEST_F(LoginRoadTest, ThirtySecondsOfSilenceOnTheStreamEndTheSession) {
    auto clock = std::make_shared<platform::ManualClock>();
    platform::ScopedClock scoped(clock);
    Session& s = open("demo", "demo1234");
    ASSERT_TRUE(loggedIn());
    // The main loop stands still, so no ping goes out and nothing comes back.
    clock->advance(29s);
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(s.inside().conn().IsStreamConnected());
    // The last read may have been queued (and its 30 s begun) only after the first step: step on
    // past thirty seconds from either moment.
    clock->advance(31s);
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (s.inside().conn().IsStreamConnected() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(s.inside().conn().IsStreamConnected());
    ASSERT_TRUE(pumpUntil([&] { return s.app.connectionFailures.load() > 0; }));
    EXPECT_FALSE(s.client->isNetworkAvailable());
}

} // namespace

namespace {

TEST_F(LoginRoadTest, NetworkLossAndReturnResubscribesOnce) {
    Session& s = open("demo", "demo1234");
    ASSERT_TRUE(loggedIn());
    BusinessBase& b = s.inside();
    const std::vector<std::string> watched = s.client->watchList();
    ASSERT_TRUE(pumpUntil([&] { return s.feed->anyStartsWith(watched); }));

    // Played by hand: the client's own watcher is off in these tests.
    SessionNetworkWatch& reach = b.networkWatch();
    // The loss is told in a banner: the program's name, "Network", the text of the loss.
    const std::string network = LanguageString::stringForSelectedLanguage(0, "1078").value_or("1078");
    const auto networkBanners = [&] {
        std::vector<interfaces::InAppNotification> found;
        for (const auto& banner : s.app.banners)
            if (banner.subtitle == network)
                found.push_back(banner);
        return found;
    };
    reach.reachabilityChanged(true); // the watcher's first report: nothing was lost
    EXPECT_TRUE(networkBanners().empty());
    reach.reachabilityChanged(false);
    EXPECT_FALSE(s.client->isNetworkAvailable());
    ASSERT_EQ(networkBanners().size(), 1u);
    EXPECT_EQ(networkBanners()[0].title, "TradeClient");
    EXPECT_EQ(networkBanners()[0].informativeText,
              LanguageString::stringForSelectedLanguage(0, "1074").value_or(""));
    EXPECT_EQ(networkBanners()[0].feature.dismissDelayTime, 5.0);
    reach.reachabilityChanged(true);
    reach.reachabilityChanged(true); // a repeated report of the same state
    EXPECT_TRUE(s.client->isNetworkAvailable());
    EXPECT_EQ(reach.resubscriptions(), 1);
    EXPECT_EQ(networkBanners().size(), 1u);

    // The remade feed socket carries the watched quotes again.
    {
        std::lock_guard lock(s.feed->mutex);
        s.feed->messages.clear();
    }
    EXPECT_TRUE(pumpUntil([&] { return s.feed->anyStartsWith(watched); }));
    EXPECT_TRUE(b.conn().IsFeedRunning());
}

} // namespace

namespace {

TEST_F(LoginRoadTest, InstrumentStatusOnTheFeedChangesTheInstrumentsSession) {
    Session& s = open("demo", "demo1234", false);
    ASSERT_TRUE(loggedIn());
    const ItemDetails& eurusd = **s.client->model().ItemCollection.get("EURUSD");
    const std::int64_t before = eurusd.CurrentTradeSessionSettingId;
    const std::int64_t next = before == 7 ? 8 : 7;
    // The subscription to server messages may reach the publisher after the first sends: repeat.
    ASSERT_TRUE(pumpUntil([&] {
        server->publishInstrumentStatus("EURUSD", static_cast<int>(next));
        return eurusd.CurrentTradeSessionSettingId == next;
    }));
    EXPECT_GE(server->stats().statusesPublished, 1u);
}

} // namespace
