// The session against a faulty or hostile server: a raw loopback peer that logs the client in (or
// does not) and then misbehaves on the stream or the data-service socket.
#include "client/session_wiring.h"
#include "connection/socket/socket_test_support.h"
#include "connection/zmq/zmq_context.h"
#include "connection/zmq/zmq_test_support.h"
#include "model/records/item_details.h"
#include "model/text/language_string.h"
#include "platform/bundle.h"
#include "platform/clock.h"
#include "platform/log.h"
#include "platform/notification_center.h"
#include "platform/user_defaults.h"
#include "session/business/business_base.h"
#include "session/business/business_test_support.h"
#include "support/log_capture.h"
#include "support/wire_text.h"
#include "testserver/server_peer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace tc;
using namespace std::chrono_literals;
using sessiontest::FakeApplication;

using LogLines = testing_support::LogCapture;

class HostileServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::Bundle::setResourcesRoot(TC_TEST_RESOURCES);
        platform::RunLoop::main().bindToCurrentThread();
        platform::RunLoop::main().discardPending();
        app.loginData().setUserName("demo");
        app.loginData().setPassword("demo1234");
        app.loginData().setIPAddress("127.0.0.1");
        app.loginData().setPortNo(listener.port());
        services.notifications = notifications;
        services.requests = requests;
        services.userDefaults = defaults.get();
        options.requester.passInterval = 20ms;
    }
    void TearDown() override {
        stopTrickle();
        business.reset();
        if (fd != -1)
            ::close(fd);
        platform::RunLoop::main().discardPending();
        platform::Bundle::setResourcesRoot({});
    }

    // Starts the session (after ending any earlier one) and accepts its stream; the login request is
    // read off the wire.
    BusinessBase& open() {
        business.reset();
        if (fd != -1)
            ::close(fd);
        app.log.clear();
        business = makeSession(app, app.loginData(), services, options);
        business->StreamingConnection(false);
        fd = listener.accept();
        EXPECT_NE(fd, -1);
        EXPECT_EQ(readLoginRequest(fd), 1u);
        return *business;
    }
    // Reads the login request off a new stream: how many frames it was (one).
    static std::size_t readLoginRequest(int socket) {
        std::string login;
        while (login.empty() || login.back() != '\x02') {
            const std::string byte = sockettest::receive(socket, 1);
            if (byte.empty())
                break;
            login += byte;
        }
        return peer::frames(login).size();
    }
    void send(std::string_view bytes) { EXPECT_TRUE(sockettest::sendAll(fd, bytes)); }
    // The client closed the stream: an end of stream, or a reset when it left our bytes unread.
    bool clientHungUp() const {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 10'000) != 1)
            return false;
        char c;
        const ssize_t n = ::recv(fd, &c, 1, 0);
        return n == 0 || (n < 0 && errno == ECONNRESET);
    }

    // A slow peer: a frame start, then one byte of a frame that never ends every few milliseconds,
    // until stopped or the client hangs up.
    void startTrickle() {
        send("\x01");
        trickling = true;
        trickler = std::thread([this, socket = fd] {
            for (std::size_t n = 0; trickling; ++n) {
                const char digit = static_cast<char>('0' + n % 10);
                if (::send(socket, &digit, 1, MSG_NOSIGNAL) != 1)
                    return;
                std::this_thread::sleep_for(20ms);
            }
        });
    }
    void stopTrickle() {
        trickling = false;
        if (trickler.joinable())
            trickler.join();
    }
    // Pumps the main queue until `done`, with a limit far above any expected wait.
    static bool within(const std::function<bool()>& done) {
        return platform::RunLoop::main().runUntil(done, std::chrono::seconds(10));
    }
    // The same without pumping: for what other threads do while the main queue stands still.
    static bool withoutPumping(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::yield();
        }
        return true;
    }

    // The fixture snapshot with the data sockets at the given ports.
    static std::string snapshot(int pricePort = 1, int dataPort = 1) {
        std::string text = testing_support::ampSnapshotFixture();
        const auto replace = [&](std::string_view from, int port) {
            const std::string field = std::string("\x05") + std::string(from) + "\x05";
            text.replace(text.find(field), field.size(), "\x05" + std::to_string(port) + "\x05");
        };
        replace("5570", pricePort);
        replace("5580", dataPort);
        return text;
    }
    // Logs in with the snapshot and waits for the login to complete on the main queue.
    bool logIn(int pricePort = 1, int dataPort = 1) {
        send(peer::snapshotFrame(snapshot(pricePort, dataPort)) + peer::completionFrame());
        return sessiontest::pumpUntil(
            [&] { return notifications->log.count("LoginSuccessNotification") > 0; });
    }

    FakeApplication app;
    std::shared_ptr<sessiontest::FakeNotifications> notifications =
        std::make_shared<sessiontest::FakeNotifications>();
    std::shared_ptr<sessiontest::FakeRequests> requests = std::make_shared<sessiontest::FakeRequests>();
    std::unique_ptr<platform::UserDefaults> defaults = platform::UserDefaults::inMemory();
    BusinessServices services;
    ConnectionOptions options;
    sockettest::PlainListener listener;
    std::unique_ptr<BusinessBase> business;
    int fd = -1;
    std::atomic<bool> trickling{false};
    std::thread trickler;
};

// ---- the login ----

TEST_F(HostileServerTest, ASnapshotThatCannotBeReadEndsTheLoginAndNeverLeavesAnEmptySession) {
    const std::string xml = testing_support::fixtureText("snapshot.xml");
    const std::string tail = "</NewDataSet>";
    const auto withRows = [&](const std::string& rows) {
        return xml.substr(0, xml.rfind(tail)) + rows + tail;
    };
    std::string manyTables;
    for (int i = 0; i < 70; ++i)
        manyTables += "<TableX" + std::to_string(i) + "><a>1</a></TableX" + std::to_string(i) + ">";
    std::string deep;
    for (int i = 0; i < 300; ++i)
        deep += "<n>";
    struct Case {
        const char* name;
        bool amp;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"nested too deep", false, deep + withRows("")},
        {"entity expansion", false,
         "<!DOCTYPE d [<!ENTITY a \"aaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]>" +
             withRows("<Table4><AccountId>9</AccountId><AccountName>&b;</AccountName></Table4>")},
        {"over its table cap", false, withRows(manyTables)},
        {"an XML page", false, "<html><body><p>Service unavailable</p></body></html>"},
        {"not XML", false, "Service unavailable"},
        {"a text", true, "Service unavailable"},
        {"a zip bomb", true, std::string((std::size_t{64} << 20) + 1, '\x06')},
        {"a user without accounts", true,
         testing_support::ampSnapshotFixture().substr(0, testing_support::ampSnapshotFixture().find('\x07'))},
    };
    const std::string expected = LanguageString::stringForSelectedLanguage(0, "20401").value();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BusinessBase& b = open();
        const auto key = app.loginData().SecurityKey();
        send(peer::snapshotFrame(c.text, c.amp) + peer::completionFrame());
        ASSERT_TRUE(sessiontest::pumpUntil([&] { return !app.log.calls().empty(); }));
        EXPECT_EQ(app.log.calls(), std::vector<std::string>{"onLoginRefused:" + expected});
        EXPECT_FALSE(b.isLoginCompleted());
        EXPECT_EQ(app.loginData().SecurityKey(), key);
        EXPECT_TRUE(clientHungUp());
        sessiontest::pump();
        EXPECT_EQ(app.log.calls().size(), 1u); // the completion behind it changes nothing
        EXPECT_EQ(notifications->log.count("LoginSuccessNotification"), 0u);
        EXPECT_TRUE(b.session().AccountDetailCollection.empty());
    }
}

TEST_F(HostileServerTest, ALoginTheServerDoesNotCompleteInTimeEndsWithAClearMessage) {
    options.loginTimeout = 0.3;
    const std::string expected =
        "onLoginRefused:" + LanguageString::stringForSelectedLanguage(0, "20400").value();
    const std::vector<std::pair<const char*, std::function<void()>>> servers = {
        {"silent", [] {}},
        {"trickling", [this] { startTrickle(); }},
        {"chatting without a login",
         [this] { send(peer::frame("10=999\x03") + peer::frame("10=1019\x03")); }},
        {"snapshot without completion", [this] { send(peer::snapshotFrame(snapshot())); }},
    };
    for (const auto& [name, behave] : servers) {
        SCOPED_TRACE(name);
        BusinessBase& b = open();
        behave();
        ASSERT_TRUE(within([&] { return !app.log.calls().empty(); }));
        EXPECT_EQ(app.log.calls(), std::vector<std::string>{expected});
        EXPECT_FALSE(b.isLoginCompleted());
        stopTrickle();
        EXPECT_TRUE(clientHungUp());
        EXPECT_EQ(app.connectionFailures.load(), 0);
    }
}

TEST_F(HostileServerTest, AfterLoginOnlyWholeMessagesKeepTheStreamAlive) {
    options.readTimeout = 0.5;
    for (const bool trickle : {false, true}) {
        SCOPED_TRACE(trickle ? "trickling" : "silent");
        app.connectionFailures = 0;
        BusinessBase& b = open();
        ASSERT_TRUE(logIn());
        if (trickle)
            startTrickle();
        EXPECT_TRUE(within([&] { return app.connectionFailures.load() == 1; }));
        EXPECT_FALSE(b.conn().IsStreamConnected());
        stopTrickle();
    }
}

TEST_F(HostileServerTest, OverlongCodesAreNeitherStoredNorSubscribed) {
    LogLines log;
    struct Form {
        const char* name;
        bool amp;
        std::string code;
        std::string text;
    };
    std::vector<Form> forms = {
        {"AMP", true, std::string(200'000, 'E'), snapshot()},
        {"XML", false, std::string(1'000, 'E'), testing_support::fixtureText("snapshot.xml")}};
    for (Form& f : forms) {
        const std::string from = f.amp ? "\x05"
                                         "EURUSD\x05"
                                       : "<Code>EURUSD</Code>";
        const std::string to = f.amp ? "\x05" + f.code + "\x05" : "<Code>" + f.code + "</Code>";
        f.text.replace(f.text.find(from), from.size(), to);
    }
    for (const Form& f : forms) {
        SCOPED_TRACE(f.name);
        const std::size_t logins = notifications->log.count("LoginSuccessNotification");
        BusinessBase& b = open();
        send(peer::snapshotFrame(f.text, f.amp) + peer::completionFrame());
        ASSERT_TRUE(within([&] { return notifications->log.count("LoginSuccessNotification") > logins; }));
        // The instrument is passed over; the rest of the snapshot stands.
        EXPECT_FALSE(b.session().ItemCollection.contains(f.code));
        EXPECT_TRUE(b.session().ItemCollection.contains("USDJPY"));
        for (const auto& [code, item] : b.session().ItemCollection)
            EXPECT_LE(code.size(), ItemDetails::kMaxCodeBytes);
        EXPECT_FALSE(b.selectedSymbols().empty());
        for (const std::string& code : b.selectedSymbols())
            EXPECT_LE(code.size(), ItemDetails::kMaxCodeBytes);

        // Nor does the feed store depth under it, nor does it become a topic.
        b.connectionDidReceiveFeedMessage("MD_" + f.code + ";1.1,5;1.2,6");
        b.connectionDidReceiveFeedMessage("MD_USDJPY;150.1,5;150.2,6");
        ASSERT_TRUE(within([&] { return b.marketDepth().buy("USDJPY") != nullptr; }));
        EXPECT_EQ(b.marketDepth().size(), 1u);
        b.conn().ProcessSubscribeAndUnsubscribeItems({f.code}, true);
        EXPECT_TRUE(log.contains("feed: topic of " + std::to_string(f.code.size()) + " bytes refused"));
    }
    business.reset(); // the feed and its subscriptions go down cleanly
}

TEST_F(HostileServerTest, AFrameOfBareFieldSeparatorsIsDroppedAndTheSessionGoesOn) {
    LogLines log;
    BusinessBase& b = open();
    ASSERT_TRUE(logIn());
    send("\x01"
         "12000000\x03" +
         std::string(12'000'000, '\x03') + "\x02");
    send(peer::frame("10=1049\x03"
                     "12=USDJPY\x03"
                     "574=9\x03"));
    ASSERT_TRUE(within(
        [&] { return b.session().ItemCollection.get("USDJPY")->get()->CurrentTradeSessionSettingId == 9; }));
    EXPECT_TRUE(log.contains("of 12000001 fields dropped"));
    EXPECT_TRUE(b.conn().IsStreamConnected());
}

TEST_F(HostileServerTest, AFloodOfSmallMessagesHoldsTheStreamInsteadOfGrowingTheMainQueue) {
    BusinessBase& b = open();
    ASSERT_TRUE(logIn());
    // Each message changes state (the instrument's trade-session setting) and is announced on its own.
    constexpr int kMessages = 20'000;
    std::string flood;
    for (int i = 1; i <= kMessages; ++i)
        flood += peer::frame("10=1049\x03"
                             "12=USDJPY\x03"
                             "574=" +
                             std::to_string(i) + "\x03");
    std::thread flooder([this, &flood] { sockettest::sendAll(fd, flood); });

    // Nobody drains the main queue: the client stops reading once its budget is spent.
    ASSERT_TRUE(withoutPumping([&] { return b.conn().IsReadingHeld(); }));
    const std::size_t waiting = b.pendingMainWork();
    EXPECT_GE(waiting, BusinessBase::kMainQueueHighWater);
    EXPECT_LT(waiting, BusinessBase::kMainQueueHighWater + ConnectionOptions{}.maxReadBytes / 30);

    // Drained, everything arrives and applies, in order: the last status is the one left.
    ASSERT_TRUE(within([&] {
        return b.session().ItemCollection.get("USDJPY")->get()->CurrentTradeSessionSettingId == kMessages;
    }));
    flooder.join();
}

// ---- relogins, junk, the feed ----

TEST_F(HostileServerTest, ABurstOfReloginRequestsReopensTheStreamOnceAndALossIsReportedOnceForGood) {
    LogLines log;
    BusinessBase& b = open();
    ASSERT_TRUE(logIn());
    std::string burst;
    for (int i = 0; i < 2'000; ++i)
        burst += peer::frame("10=1028\x03");
    const auto settingOf = [&b] {
        return b.session().ItemCollection.get("USDJPY")->get()->CurrentTradeSessionSettingId;
    };

    // One relogin: the stream is closed quietly and one new stream asks to log in.
    send(burst);
    ASSERT_TRUE(within([&] { return b.conn().StreamConnectAttempts() == 2; }));
    const int second = listener.accept();
    ASSERT_NE(second, -1);
    EXPECT_EQ(readLoginRequest(second), 1u);
    EXPECT_TRUE(clientHungUp());
    EXPECT_NE(b.loginPhase(), LoginPhase::SignedIn);

    // During the relogin's own login, more requests change nothing (the status behind them marks the
    // end of the burst).
    EXPECT_TRUE(sockettest::sendAll(second, burst + peer::frame("10=1049\x03"
                                                                "12=USDJPY\x03"
                                                                "574=7\x03")));
    ASSERT_TRUE(within([&] { return settingOf() == 7; }));
    EXPECT_EQ(b.conn().StreamConnectAttempts(), 2u);
    EXPECT_TRUE(log.contains("relogin request dropped: a login is under way"));
    EXPECT_EQ(app.connectionFailures.load(), 0);
    EXPECT_NE(b.loginPhase(), LoginPhase::SignedIn);

    // The relogin's login completes: signed in again, nothing reported lost.
    EXPECT_TRUE(sockettest::sendAll(second, peer::snapshotFrame(snapshot()) + peer::completionFrame()));
    ASSERT_TRUE(within([&] { return notifications->log.count("LoginSuccessNotification") == 2; }));
    EXPECT_EQ(b.loginPhase(), LoginPhase::SignedIn);

    // The server goes away behind a burst: the one relogin finds no server, which is one loss, and
    // the rest of the burst opens nothing behind it.
    listener.close();
    EXPECT_TRUE(sockettest::sendAll(second, burst));
    ASSERT_TRUE(within([&] { return app.connectionFailures.load() == 1 && b.pendingMainWork() == 0; }));
    EXPECT_EQ(b.conn().StreamConnectAttempts(), 3u);
    EXPECT_EQ(app.log.count("onConnectionLost"), 1u);
    EXPECT_EQ(b.loginPhase(), LoginPhase::Lost);
    EXPECT_FALSE(b.conn().IsStreamConnected());
    ::close(second);
}

TEST_F(HostileServerTest, AReloginWhoseRepliesAreSealedUnderTheLoginRequestsKeySignsInAgain) {
    BusinessBase& b = open();
    ASSERT_TRUE(logIn());
    const std::string productKey = app.loginData().configuredSecurityKey().value_or("");
    ASSERT_FALSE(productKey.empty());
    // The key the snapshot below derives, as the server derives it.
    const std::string sessionKey = peer::sessionKey("demo", "demo1234", "5", "20240102030405");
    ASSERT_NE(app.loginData().SecurityKey().value_or(""), productKey);

    send(peer::frame("10=1028\x03"));
    ASSERT_TRUE(within([&] { return b.conn().StreamConnectAttempts() == 2; }));
    const int second = listener.accept();
    ASSERT_NE(second, -1);
    EXPECT_EQ(readLoginRequest(second), 1u);
    EXPECT_EQ(b.loginPhase(), LoginPhase::Connecting);
    EXPECT_TRUE(sockettest::sendAll(second, peer::seal(peer::snapshotFrame(snapshot()), productKey, false) +
                                                peer::seal(peer::completionFrame(), sessionKey, false)));
    ASSERT_TRUE(within([&] { return notifications->log.count("LoginSuccessNotification") == 2; }));
    EXPECT_EQ(b.loginPhase(), LoginPhase::SignedIn);
    EXPECT_EQ(app.loginData().SecurityKey(), sessionKey);
    EXPECT_TRUE(app.log.calls().empty());

    ::close(second);
}

TEST_F(HostileServerTest, AnUnreadableLoginReplyIsDroppedAndARefusalEndsTheLoginForGood) {
    options.loginTimeout = 0.5;
    const std::string unreadable = peer::seal(peer::snapshotFrame(snapshot()), "not the key", false);
    // The good replies are already on the wire behind the bad one, in either order.
    const std::vector<std::pair<const char*, std::string>> orders = {
        {"unreadable first", unreadable + peer::snapshotFrame(snapshot()) + peer::completionFrame()},
        {"unreadable between", peer::snapshotFrame(snapshot()) + unreadable + peer::completionFrame()},
    };
    for (const auto& [name, bytes] : orders) {
        SCOPED_TRACE(name);
        LogLines log;
        notifications->log.clear();
        BusinessBase& b = open();
        send(bytes);
        ASSERT_TRUE(within([&] { return notifications->log.count("LoginSuccessNotification") == 1; }));
        EXPECT_EQ(b.loginPhase(), LoginPhase::SignedIn);
        EXPECT_TRUE(app.log.calls().empty());
        EXPECT_TRUE(log.contains("encrypted envelope did not open; dropped"));
    }

    // Alone, under a deadline shorter than the wait for a readable reply, the deadline names it.
    {
        BusinessBase& b = open();
        send(unreadable);
        ASSERT_TRUE(within([&] { return !app.log.calls().empty(); }));
        EXPECT_EQ(app.log.calls(),
                  std::vector<std::string>{"onLoginRefused:" +
                                           LanguageString::stringForSelectedLanguage(0, "20403").value()});
        EXPECT_EQ(b.loginPhase(), LoginPhase::SignedOut);
    }

    // A refusal followed by a whole login: nothing behind the refusal applies.
    notifications->log.clear();
    requests->log.clear();
    BusinessBase& b = open();
    send(peer::frame("10=47\x03") + peer::snapshotFrame(snapshot()) + peer::completionFrame());
    ASSERT_TRUE(within([&] { return !app.log.calls().empty(); }));
    EXPECT_TRUE(clientHungUp());
    sessiontest::pump();
    EXPECT_EQ(app.log.calls(),
              std::vector<std::string>{"onLoginRefused:" +
                                       LanguageString::stringForSelectedLanguage(0, "1004").value()});
    EXPECT_EQ(b.loginPhase(), LoginPhase::SignedOut);
    EXPECT_FALSE(b.isSnapshotLoaded());
    EXPECT_FALSE(b.isLoginCompleted());
    EXPECT_EQ(notifications->log.count("LoginSuccessNotification"), 0u);
    EXPECT_EQ(requests->log.count("requestOpenPosition"), 0u);
    EXPECT_TRUE(b.session().AccountDetailCollection.empty());
}

TEST_F(HostileServerTest, AfterAnUnreadableLoginReplyOnlyAReadableOneWithinTheWaitKeepsTheLogin) {
    auto clock = std::make_shared<platform::ManualClock>();
    platform::ScopedClock scoped(clock);
    platform::RunLoop& loop = platform::RunLoop::main();
    options.unopenedLoginReplyWait = 3.0;
    const std::string unreadable = peer::seal(peer::snapshotFrame(snapshot()), "not the key", false);
    const std::vector<std::string> unopened{"onLoginRefused:" +
                                            LanguageString::stringForSelectedLanguage(0, "20403").value()};

    // The snapshot follows within the wait: the login goes on past it and completes.
    {
        BusinessBase& b = open();
        send(unreadable + peer::snapshotFrame(snapshot()));
        ASSERT_TRUE(within([&] { return b.loginPhase() == LoginPhase::Loading; }));
        clock->advance(4s);
        ASSERT_TRUE(within([&] { return !loop.timeUntilNextDue(); })) << "the wait ran out";
        EXPECT_TRUE(app.log.calls().empty());
        send(peer::completionFrame());
        ASSERT_TRUE(within([&] { return b.loginPhase() == LoginPhase::SignedIn; }));
    }
    // Nothing readable follows: the login ends when the wait runs out, not at its deadline 60 s on
    // nor when the stream's 30 s of silence drop it.
    {
        BusinessBase& b = open();
        ASSERT_TRUE(within([&] { return !loop.timeUntilNextDue(); }));
        send(unreadable);
        ASSERT_TRUE(withoutPumping([&] { return loop.timeUntilNextDue().has_value(); }));
        clock->advance(2s);
        sessiontest::pump();
        EXPECT_TRUE(app.log.calls().empty());
        clock->advance(2s);
        ASSERT_TRUE(within([&] { return !app.log.calls().empty(); }));
        EXPECT_EQ(app.log.calls(), unopened);
        EXPECT_EQ(b.loginPhase(), LoginPhase::SignedOut);
        EXPECT_TRUE(clientHungUp());
    }
    // The stream ends before the wait does: the same message, not a lost connection.
    options.unopenedLoginReplyWait = 600;
    {
        BusinessBase& b = open();
        send(unreadable);
        ::close(std::exchange(fd, -1));
        ASSERT_TRUE(within([&] { return !app.log.calls().empty(); }));
        EXPECT_EQ(app.log.calls(), unopened);
        EXPECT_EQ(b.loginPhase(), LoginPhase::SignedOut);
    }
    EXPECT_EQ(app.connectionFailures.load(), 0);
}

TEST_F(HostileServerTest, JunkFramesAreDroppedAndTheLoginCompletes) {
    LogLines log;
    BusinessBase& b = open();
    // Not one of them is a message: the first field must be tag 10 and digits.
    std::string noise;
    for (const std::string_view junk :
         {"9=33\x03", "z=18\x03", "10=47xyz\x03", "\x7f=33\x03", "\xc3\xa9=44\x03", " 10=47\x03", "10=\x03",
          "10=-47\x03", "010=18\x03", "10=4 7\x03", "10=0000000000047\x03"})
        noise += peer::frame(junk);
    send(noise);
    ASSERT_TRUE(logIn());
    send(noise + peer::frame("10=1049\x03"
                             "12=USDJPY\x03"
                             "574=9\x03"));
    ASSERT_TRUE(within(
        [&] { return b.session().ItemCollection.get("USDJPY")->get()->CurrentTradeSessionSettingId == 9; }));
    EXPECT_TRUE(app.log.calls().empty());
    EXPECT_EQ(b.loginPhase(), LoginPhase::SignedIn);
    EXPECT_TRUE(b.conn().IsStreamConnected());
    EXPECT_TRUE(log.contains("frame dropped: its first field is not a message type"));
}

TEST_F(HostileServerTest, TheFeedCarriesInstrumentStatusAndNothingOfTheStream) {
    LogLines log;
    BusinessBase& b = open();
    ASSERT_TRUE(logIn());
    const std::vector<std::string> strangers = {
        peer::frame("10=1028\x03"), peer::frame("10=18\x03"),
        peer::frame("10=44\x03"
                    "105=elsewhere\x03"),
        peer::frame("10=47\x03"),
        peer::frame(peer::body({{10, "105"}, {1050, peer::compressPayload(peer::frame("10=1028\x03"))}}))};
    for (const std::string& text : strangers)
        b.connectionDidReceiveFeedMessage("IS;" + text);
    b.connectionDidReceiveFeedMessage("IS;" + peer::frame("10=1049\x03"
                                                          "12=USDJPY\x03"
                                                          "574=9\x03"));
    ASSERT_TRUE(within(
        [&] { return b.session().ItemCollection.get("USDJPY")->get()->CurrentTradeSessionSettingId == 9; }));
    EXPECT_EQ(b.conn().StreamConnectAttempts(), 1u);
    EXPECT_TRUE(app.log.calls().empty());
    EXPECT_EQ(b.loginPhase(), LoginPhase::SignedIn);
    EXPECT_TRUE(b.conn().IsStreamConnected());
    EXPECT_EQ(notifications->log.count("LoginSuccessNotification"), 1u);
    EXPECT_TRUE(log.contains("message type 1028 dropped: the feed carries instrument status only"));
    EXPECT_TRUE(log.contains("message type 105 dropped: the feed carries instrument status only"));
}

// ---- the data-service channel ----

class HostileDataServiceTest : public HostileServerTest {
protected:
    void SetUp() override {
        HostileServerTest::SetUp();
        context = ZMQContext::create(1);
        replier = context->socketWithType(ZMQ_REP);
        const std::string endpoint = zmqtest::bindLoopback(*replier);
        port = std::stoi(endpoint.substr(endpoint.rfind(':') + 1));
    }
    void TearDown() override {
        stopAnswering = true;
        if (answering.joinable())
            answering.join();
        HostileServerTest::TearDown();
        replier->close();
        context->terminate();
    }
    // Answers each request in turn with the next reply.
    void answer(std::vector<std::string> replies) {
        answering = std::thread([this, replies = std::move(replies)] {
            for (const std::string& reply : replies) {
                zmq_pollitem_t item{replier->socket(), 0, ZMQ_POLLIN, 0};
                if (ZMQContext::pollWithItems(&item, 1, 10'000'000) != 1)
                    return;
                replier->receiveDataWithFlags(0);
                replier->sendData(reply, 0);
            }
        });
    }

    // Answers every list request with an empty list of its procedure, and keep-alives, until the end.
    void answerEmptyLists() {
        answering = std::thread([this] {
            while (!stopAnswering) {
                zmq_pollitem_t item{replier->socket(), 0, ZMQ_POLLIN, 0};
                if (ZMQContext::pollWithItems(&item, 1, 20'000) != 1)
                    continue;
                std::string request = replier->receiveDataWithFlags(0);
                while (replier->hasMoreDataForOption(ZMQ_RCVMORE))
                    request += replier->receiveDataWithFlags(0);
                const auto frames = peer::frames(request);
                const bool list = !frames.empty() && frames.front().type() == 1023;
                listsAnswered += list ? 1 : 0;
                replier->sendData(
                    list ? peer::frame(peer::body({{10, "1024"}, {151, frames.front().at(151)}, {159, ""}}))
                         : peer::frame("10=1002\x03"),
                    0);
            }
        });
    }
    // Records the failed-request events.
    // A failure as the session tells it: the procedure, then the reason in English.
    static std::string failureOf(std::string_view procedure, std::string_view reasonKey) {
        return std::string(procedure) + ": " +
               LanguageString::stringForSelectedLanguage(0, reasonKey).value();
    }
    struct Failures final : SessionEventSink {
        void requestFailed(const PendingRequest& request, const std::string& reason) override {
            seen.push_back(request.procedure + ": " + reason);
        }
        std::vector<std::string> seen;
    };

    std::shared_ptr<ZMQContext> context;
    std::shared_ptr<ZMQSocket> replier;
    int port = 0;
    std::thread answering;
    std::atomic<bool> stopAnswering{false};
    std::atomic<int> listsAnswered{0};
};

TEST_F(HostileDataServiceTest, AUserWithEmptyListsGetsNoFailureEvent) {
    auto failures = std::make_shared<Failures>();
    services.events = failures;
    services.requests = nullptr; // the login's own requests
    answerEmptyLists();
    BusinessBase& b = open();
    ASSERT_TRUE(logIn(1, port));
    ASSERT_TRUE(within([&] { return b.sessionRequests().pendingRequests().size() == 0; }));
    sessiontest::pump();
    EXPECT_GE(listsAnswered.load(), 6); // the login's lists, each answered empty
    EXPECT_TRUE(failures->seen.empty()) << failures->seen.front();
    EXPECT_TRUE(b.session().OpenOrderCollection.empty());
}

TEST_F(HostileDataServiceTest, ASilentServiceFailsEachRequestWithinItsTimeWithoutHoldingTheNext) {
    options.requester.replyTimeout = 2s;
    auto failures = std::make_shared<Failures>();
    services.events = failures;
    services.requests = nullptr;
    // Bound, but nobody reads or answers: the requests wait in its queue.
    BusinessBase& b = open();
    ASSERT_TRUE(logIn(1, port));
    const auto start = std::chrono::steady_clock::now();
    for (std::uint64_t market : {7, 8, 9})
        ASSERT_TRUE(b.sessionRequests().requestSessionSchedule(market));
    const std::size_t asked = b.sessionRequests().pendingRequests().size();
    const std::size_t limit = ZMQRequesterOptions{}.maxOutstanding;
    ASSERT_GT(asked, limit); // more than may go out at once

    std::size_t mostOutstanding = 0;
    ASSERT_TRUE(within([&] {
        mostOutstanding = std::max(mostOutstanding, b.conn().OutstandingRequests());
        return failures->seen.size() == asked;
    }));
    // One after the other they would take a time-out each; every one fails within its own (the
    // bound leaves room for a slow build).
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3 * options.requester.replyTimeout);
    EXPECT_LE(mostOutstanding, limit);
    EXPECT_EQ(b.sessionRequests().pendingRequests().size(), 0u);
    EXPECT_EQ(
        std::count(failures->seen.begin(), failures->seen.end(), failureOf("getsessionschedule", "93345")),
        3);
    EXPECT_TRUE(b.conn().IsStreamConnected());
}

TEST_F(HostileDataServiceTest, AReplyOverTheRequestSocketsCapFailsAtOnceWithALogLine) {
    options.requester.replyTimeout = std::chrono::minutes(1);
    options.requester.maxReplySize = 4096;
    LogLines log;
    auto failures = std::make_shared<Failures>();
    services.events = failures;
    BusinessBase& b = open();
    ASSERT_TRUE(logIn(1, port));
    answer(
        {peer::frame(peer::body({{10, "1024"}, {151, "getsessionschedule"}, {159, std::string(8000, '7')}})),
         peer::frame(peer::body({{10, "1024"}, {151, "getsessionschedule"}, {159, ""}}))});
    ASSERT_TRUE(b.sessionRequests().requestSessionSchedule(7));
    ASSERT_TRUE(within([&] { return failures->seen.size() == 1; }));
    EXPECT_EQ(failures->seen.front(),
              failureOf("getsessionschedule", failureKey(ZMQRequestError::ConnectionDropped)));
    EXPECT_TRUE(log.contains("a reply frame over the 4096 byte cap drops it"));
    // The channel is made anew: the next request is answered (an empty schedule, no failure).
    ASSERT_TRUE(b.sessionRequests().requestSessionSchedule(8));
    ASSERT_TRUE(within([&] { return b.sessionRequests().pendingRequests().size() == 0; }));
    EXPECT_EQ(failures->seen.size(), 1u);
}

TEST_F(HostileDataServiceTest, AStreamMessageOnTheDataChannelIsRefusedAndAnOversizeReplyFailsItsRequest) {
    options.maxFrameBytes = 4096;
    LogLines log;
    auto failures = std::make_shared<Failures>();
    services.events = failures;
    BusinessBase& b = open();
    ASSERT_TRUE(logIn(1, port));
    const auto key = app.loginData().SecurityKey();
    const auto accounts = b.session().AccountDetailCollection.size();

    // Each request waits for its answer: a reply past the frame cap, a login snapshot that would
    // replace the session and switch its key, a reply without any message.
    const std::string oversize =
        peer::frame(peer::body({{10, "1024"}, {151, "getsessionschedule"}, {159, std::string(8000, '7')}}));
    const std::string stranger = peer::frame(peer::body({{10, "33"},
                                                         {19, "6"},
                                                         {21, "20250101000000"},
                                                         {160, "AMP"},
                                                         {1050, peer::compressPayload(snapshot())}}));
    answer({oversize, stranger, ""});
    for (std::uint64_t market : {7, 8, 9})
        ASSERT_TRUE(b.sessionRequests().requestSessionSchedule(market));

    ASSERT_TRUE(within([&] { return failures->seen.size() == 3; })) << failures->seen.size();
    // Each told as a reply that could not be read; the log says which.
    EXPECT_EQ(failures->seen, std::vector<std::string>(3, failureOf("getsessionschedule", "93348")));
    EXPECT_TRUE(log.contains("data-service reply larger than a message may be"));
    EXPECT_TRUE(log.contains("data-service reply that is not a data-service message"));
    EXPECT_TRUE(log.contains("data-service reply that holds no message"));
    EXPECT_EQ(b.sessionRequests().pendingRequests().size(), 0u);
    EXPECT_EQ(app.loginData().SecurityKey(), key);
    EXPECT_EQ(b.session().AccountDetailCollection.size(), accounts);
    EXPECT_TRUE(log.contains("message type 33 refused on the data-service channel"));
}

} // namespace
