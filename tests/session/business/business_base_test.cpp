#include "client/session_wiring.h"
#include "session/business/business_base.h"
#include "support/log_capture.h"

#include "connection/socket/socket_test_support.h"
#include "model/records/account_details.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "model/records/user_info.h"
#include "model/text/journal_data.h"
#include "model/text/language_string.h"
#include "model/text/positional_text.h"
#include "orders/session_orders.h"
#include "platform/bundle.h"
#include "platform/clock.h"
#include "platform/log.h"
#include "platform/user_defaults.h"
#include "session/business/business_test_support.h"
#include "session/snapshot/session_snapshot_loader.h"
#include "wire/envelope_key.h"
#include "wire/envelope_opener.h"
#include "wire/login_inputdata.h"
#include "wire/wire_names.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <tuple>

namespace {

using namespace tc;
using namespace sessiontest;

class BusinessBaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::Bundle::setResourcesRoot(TC_TEST_RESOURCES);
        platform::RunLoop::main().bindToCurrentThread();
        platform::RunLoop::main().discardPending();
        app.loginData().setUserName("demo");
        app.loginData().setPassword("demo1234");
        app.loginData().setIPAddress("127.0.0.1");
        app.loginData().setPortNo(1); // never connected in these tests
        services.notifications = notifications;
        services.events = events;
        services.requests = requests;
        services.snapshotLoader = loader;
        services.userDefaults = defaults.get();
    }
    void TearDown() override {
        business.reset();
        platform::RunLoop::main().discardPending();
        platform::Bundle::setResourcesRoot({});
    }

    BusinessBase& make() {
        business = tc::makeSession(app, app.loginData(), services);
        requests->onPing = [b = business.get()] { b->pingSent(); };
        return *business;
    }

    // A session signed in on the default model, the server's clock at 2024-01-02 03:04:05.
    BusinessBase& signedIn() {
        prepareSnapshot();
        BusinessBase& b = make();
        deliver(std::string("10=33|19=1|21=20240102030405|160=AMP|") + compressedField("s"));
        deliver("10=18");
        return b;
    }

    // A model with the data ports at 0 (nothing listens) and the given accounts and login message.
    void prepareSnapshot(std::vector<std::pair<int, int>> accountsAndStatus = {{7, 0}},
                         std::optional<LoginInfoMessage> info = std::nullopt) {
        SessionModel model;
        model.userInfo = std::make_shared<UserInfo>();
        for (auto [id, status] : accountsAndStatus) {
            auto account = std::make_shared<AccountDetails>();
            account->AccountId = id;
            account->tradingStatus = status;
            model.AccountDetailCollection.insert_or_assign(std::to_string(id), account);
        }
        if (info)
            model.fileLoginInfoMessage(std::make_shared<LoginInfoMessage>(*info));
        loader->model = std::move(model);
    }

    // As the stream thread would, then the main queue's turn.
    void deliver(std::string_view fields) {
        business->NewMessage(frameText(body(fields)));
        pump();
    }

    // Table-change events: one per flush of what the passes before it marked.
    std::size_t refreshes() const { return events->log.count("tablesChanged"); }

    FakeApplication app;
    std::shared_ptr<FakeNotifications> notifications = std::make_shared<FakeNotifications>();
    std::shared_ptr<FakeEvents> events = std::make_shared<FakeEvents>();
    std::shared_ptr<FakeRequests> requests = std::make_shared<FakeRequests>();
    std::shared_ptr<FakeSnapshotLoader> loader = std::make_shared<FakeSnapshotLoader>();
    std::unique_ptr<platform::UserDefaults> defaults = platform::UserDefaults::inMemory();
    BusinessServices services;
    std::unique_ptr<BusinessBase> business;
};

TEST_F(BusinessBaseTest, RequestIdTakesWhicheverOfTags20And33ComesLast) {
    BusinessBase& b = make();
    deliver("10=999|20=5|33=7|21=20240102030405");
    EXPECT_EQ(b.RequestId(), 7);
    deliver("10=999|33=9|20=4");
    EXPECT_EQ(b.RequestId(), 4);
    // A repeated tag ends with its last value; a message without either leaves the value alone.
    deliver("10=999|20=11|20=12");
    EXPECT_EQ(b.RequestId(), 12);
    deliver("10=999|17=x");
    EXPECT_EQ(b.RequestId(), 12);
}

TEST_F(BusinessBaseTest, MessagesOfAReceivingThreadAreAppliedOnTheMainQueueInTheirOrder) {
    BusinessBase& b = make();
    b.setMainSlice(std::chrono::hours(1)); // the burst in one turn however slow the build
    std::thread stream([&] {
        for (int i = 1; i <= 50; ++i)
            b.NewMessage(frameText(body(std::string("10=1045|20=") + std::to_string(i))));
    });
    stream.join();
    // Nothing of it is applied off the main queue.
    EXPECT_EQ(b.RequestId(), 0);
    EXPECT_EQ(refreshes(), 0u);
    pump();
    EXPECT_EQ(b.RequestId(), 50);
    EXPECT_EQ(refreshes(), 1u); // one pass, one refresh
}

TEST_F(BusinessBaseTest, ABurstOfMessagesRefreshesTheTablesOncePerPassAfterItsChanges) {
    BusinessBase& b = make();
    b.setMainSlice(std::chrono::hours(1));
    for (int i = 1; i <= 3; ++i)
        b.NewMessage(frameText(body(std::string("10=1045|34=") + std::to_string(i))));
    pump();
    EXPECT_EQ(refreshes(), 1u);
    deliver("10=1045|34=4");
    pump();
    EXPECT_EQ(refreshes(), 2u);
}

TEST_F(BusinessBaseTest, ABurstOfMessagesLetsOtherMainQueueWorkRunBetweenItsSlicesAndKeepsItsOrder) {
    BusinessBase& b = make();
    b.setMainSlice({}); // one message a turn
    for (int i = 1; i <= 3; ++i)
        b.NewMessage(frameText(body(std::string("10=999|20=") + std::to_string(i))));
    std::vector<int> seen; // the request id as other main-queue work finds it
    platform::MainQueue::async([&] { seen.push_back(b.RequestId()); });
    platform::RunLoop::main().runOnce();
    // The turn stopped after its slice; the work queued behind the burst ran before the rest of it.
    EXPECT_EQ(b.RequestId(), 1);
    EXPECT_EQ(seen, std::vector<int>{1});
    platform::RunLoop::main().runOnce();
    EXPECT_EQ(b.RequestId(), 2);
    for (int i = 0; i < 10; ++i)
        platform::RunLoop::main().runOnce();
    EXPECT_EQ(b.RequestId(), 3);
    EXPECT_EQ(seen, std::vector<int>{1});
    // The rest of a burst whose turn was dropped with the main queue's work goes with it.
    b.NewMessage(frameText(body("10=999|20=4")));
    b.NewMessage(frameText(body("10=999|20=5")));
    platform::RunLoop::main().runOnce();
    platform::RunLoop::main().discardPending();
    b.NewMessage(frameText(body("10=999|20=6")));
    for (int i = 0; i < 10; ++i)
        platform::RunLoop::main().runOnce();
    EXPECT_EQ(b.RequestId(), 6);
    EXPECT_EQ(b.pendingMainWork(), 0u);
}

TEST_F(BusinessBaseTest, AnAnnouncementNamesTheRecordsItsOrderReportsRewroteUnlessAListChangedWhole) {
    BusinessBase& b = make();
    auto position = std::make_shared<Order>();
    position->OpenPositionId = "X1";
    position->RemainingQty = *platform::Decimal::fromString("5");
    b.session().OpenOrderCollection.push_back(position);
    const std::string update = "10=67|73=73|80=X1|76=4";
    deliver(update);
    ASSERT_EQ(refreshes(), 1u);
    const interfaces::TableChange& change = events->lastChange;
    EXPECT_TRUE(change.contains(interfaces::Table::OpenPositions));
    EXPECT_TRUE(change.rowsNamed);
    ASSERT_EQ(change.rewritten.size(), 1u);
    EXPECT_EQ(change.rewritten[0], position);

    // A list changed whole in the same pass: the announcement names nothing.
    b.NewMessage(frameText(body("10=67|73=73|80=X1|76=3")));
    b.clearExecutedOrderSearchCollection();
    pump();
    ASSERT_EQ(refreshes(), 2u);
    EXPECT_FALSE(events->lastChange.rowsNamed);
    EXPECT_EQ(position->RemainingQty, *platform::Decimal::fromString("3"));

    // Nothing left over for the next one.
    deliver("10=67|73=73|80=X1|76=2");
    EXPECT_TRUE(events->lastChange.rowsNamed);
    EXPECT_EQ(events->lastChange.rewritten.size(), 1u);

    // A data-service reply that loads an order list names no rows; one that fills none (bank details,
    // resources) names them unchanged.
    const testing_support::LogCapture quiet(platform::LogLevel::Error);
    deliver("10=1024|151=getpendingorders|159=");
    EXPECT_FALSE(events->lastChange.rowsNamed);
    deliver("10=1024|151=getbankaccounts|159=");
    EXPECT_TRUE(events->lastChange.rowsNamed);
    EXPECT_TRUE(events->lastChange.rewritten.empty());
    EXPECT_TRUE(events->lastChange.contains(interfaces::Table::OpenPositions));
}

TEST_F(BusinessBaseTest, ReferenceIdIsTakenOnlyFromTheLoginSnapshot) {
    prepareSnapshot();
    BusinessBase& b = make();
    deliver("10=62|19=555");
    EXPECT_EQ(b.ReferenceId(), "");
    deliver(std::string("10=33|19=42|21=20240102030405|160=AMP|") + compressedField("x"));
    EXPECT_EQ(b.ReferenceId(), "42");
    deliver("10=1045|19=77");
    EXPECT_EQ(b.ReferenceId(), "42");
}

TEST_F(BusinessBaseTest, EveryMessageButEnvelopesAndPingReplyRefreshesTheTablesItTouches) {
    make();
    deliver("10=1045");
    deliver("10=1019");
    deliver("10=76|27=bm90IGEgY2lwaGVy");
    deliver("10=105|1050=AAAA");
    pump();
    EXPECT_EQ(refreshes(), 1u);
}

TEST_F(BusinessBaseTest, EnvelopeContentsAreDispatchedInOrderAndRefreshTheTables) {
    BusinessBase& b = make();
    const std::string key = app.loginData().SecurityKey().value();
    const std::string inner =
        MessageBase::frame(body("10=1045|20=3")) + MessageBase::frame(body("10=62|20=8"));
    b.NewMessage(envelopeText(inner, key));
    pump();
    EXPECT_EQ(b.RequestId(), 8); // both opened on this thread, applied in order
    EXPECT_EQ(refreshes(), 1u);

    // A compressed message holding an envelope holding a message: each level opens.
    const std::string nested = "\x01" + envelopeText(MessageBase::frame(body("10=1045|20=21")), key) + "\x02";
    deliver(std::string("10=105|") + compressedField(nested));
    EXPECT_EQ(b.RequestId(), 21);
    pump();
    EXPECT_EQ(refreshes(), 2u);
}

TEST_F(BusinessBaseTest, EnvelopeSealedWithAnotherKeyDispatchesNothing) {
    BusinessBase& b = make();
    b.NewMessage(envelopeText(MessageBase::frame(body("10=999|20=3")), "some other key of the right size!"));
    pump();
    EXPECT_EQ(b.RequestId(), 0);
    EXPECT_EQ(refreshes(), 0u);
}

TEST_F(BusinessBaseTest, SnapshotSwitchesTheSessionKeyOnTheReceivingThread) {
    prepareSnapshot();
    BusinessBase& b = make();
    const std::string configured = app.loginData().configuredSecurityKey().value();
    b.NewMessage(
        frameText(body(std::string("10=33|19=42|21=20240102030405|160=AMP|") + compressedField("snapshot"))));
    // Switched before the main queue has run anything: the next envelope on this thread opens.
    const std::string expected = GenerateNewEncryptionKey("demo", "demo1234", "42", "20240102030405");
    EXPECT_EQ(app.loginData().SecurityKey(), expected);
    EXPECT_EQ(b.envelopeKey(false), expected);
    EXPECT_EQ(b.envelopeKey(true), configured);
    EXPECT_NE(expected, configured);
    b.NewMessage(envelopeText(MessageBase::frame(body("10=999|20=30")), expected));
    ASSERT_EQ(loader->log.calls().size(), 1u);
    EXPECT_EQ(loader->log.calls()[0].rfind("amp:1050=", 0), 0u);

    // The model and the session values reach the session only on the main queue, in arrival order.
    EXPECT_TRUE(b.session().AccountDetailCollection.empty());
    EXPECT_EQ(b.ReferenceId(), "");
    pump();
    EXPECT_EQ(b.session().AccountDetailCollection.size(), 1u);
    EXPECT_EQ(b.ReferenceId(), "42");
    EXPECT_EQ(b.RequestId(), 30);
    EXPECT_EQ(b.JournalDataCollection(), std::vector<std::string>{"journal 1 at 20240102030405"});
}

TEST_F(BusinessBaseTest, UnreadableSnapshotEndsTheLogin) {
    BusinessBase& b = make(); // the loader has no model
    const auto before = app.loginData().SecurityKey();
    deliver("10=33|19=42|21=20240102030405|160=AMP|1050=AAAA");
    pump();
    EXPECT_EQ(app.loginData().SecurityKey(), before);
    EXPECT_FALSE(b.isSnapshotLoaded());
    ASSERT_EQ(app.log.calls().size(), 1u);
    EXPECT_EQ(app.log.calls()[0].rfind("onLoginRefused:", 0), 0u);
}

TEST_F(BusinessBaseTest, LoginCompletionSendsTheFirstRequestsInOrder) {
    prepareSnapshot({{7, 5}, {8, 1}, {9, 5}});
    BusinessBase& b = make();
    deliver(std::string("10=33|19=42|21=20240102030405|160=AMP|") + compressedField("s"));
    deliver("10=18");
    pump();
    const std::vector<std::string> expected = {"requestOpenPosition",
                                               "requestPendingOrders",
                                               "requestSettledOrders",
                                               "requestCancelledOrders",
                                               "requestEquityPriceInfo:7",
                                               "requestEquityPriceInfo:9",
                                               "requestContactList",
                                               "requestRecentConversation",
                                               "requestOfflineMessages",
                                               "requestAdvancedInstrumentInfo",
                                               "requestResourceSearchForTypes:CAL,ICO",
                                               "requestApprovalRequest",
                                               "requestFinancialApprovals"};
    EXPECT_EQ(requests->log.calls(), expected);
    EXPECT_EQ(notifications->log.count("LoginSuccessNotification"), 1u);
    // An empty set of login messages: no app-update banner.
    for (const auto& call : notifications->log.calls())
        EXPECT_EQ(call.find("appUpdateNotification"), std::string::npos);
    EXPECT_TRUE(b.conn().isNetworkAvailable());
    EXPECT_TRUE(b.isPingTimerRunning());
    EXPECT_EQ(b.JournalDataCollection(),
              (std::vector<std::string>{"journal 1 at 20240102030405", "journal 2 at 20240102030405"}));
}

TEST_F(BusinessBaseTest, LoginCompletionWithCode15OffersTheUpdate) {
    LoginInfoMessage info;
    info.ErrorCode = 15;
    info.Message = "https://example.invalid/new";
    prepareSnapshot({{7, 0}}, info);
    make();
    deliver(std::string("10=33|19=1|21=20240102030405|160=AMP|") + compressedField("s"));
    deliver("10=18");
    pump();
    const auto calls = notifications->log.calls();
    const auto success = std::find(calls.begin(), calls.end(), "LoginSuccessNotification");
    const auto update =
        std::find(calls.begin(), calls.end(), "appUpdateNotification:https://example.invalid/new");
    ASSERT_NE(success, calls.end());
    ASSERT_NE(update, calls.end());
    EXPECT_LT(success, update);
}

TEST_F(BusinessBaseTest, LoginCompletionBeforeAnySnapshotEndsTheLogin) {
    BusinessBase& b = make();
    deliver("10=18");
    pump();
    EXPECT_TRUE(requests->log.calls().empty());
    EXPECT_EQ(notifications->log.count("LoginSuccessNotification"), 0u);
    EXPECT_FALSE(b.isPingTimerRunning());
    EXPECT_FALSE(b.conn().isNetworkAvailable());
    ASSERT_EQ(app.log.calls().size(), 1u);
    EXPECT_NE(app.log.calls()[0].find("without sending the login data"), std::string::npos);
}

TEST_F(BusinessBaseTest, RepeatedLoginCompletionKeepsOnePingTimer) {
    platform::ScopedClock clock(std::make_shared<platform::ManualClock>());
    auto manual = std::static_pointer_cast<platform::ManualClock>(platform::Clock::current());
    BusinessBase& b = signedIn();
    deliver("10=18");
    pump();
    manual->advance(std::chrono::milliseconds(1000));
    pump();
    EXPECT_EQ(requests->log.count("pingToServer"), 1u);
    manual->advance(std::chrono::milliseconds(1000));
    pump();
    EXPECT_EQ(requests->log.count("pingToServer"), 2u);
    // A disconnect stops the ping for good.
    b.disconnectServer();
    pump();
    EXPECT_FALSE(b.isPingTimerRunning());
    manual->advance(std::chrono::milliseconds(3000));
    pump();
    EXPECT_EQ(requests->log.count("pingToServer"), 2u);
}

TEST_F(BusinessBaseTest, AServerThatLetsItsPingRepliesWaitReadsAsNotAnsweringUntilOneComes) {
    auto manual = std::make_shared<platform::ManualClock>();
    platform::ScopedClock clock(manual);
    BusinessBase& b = signedIn();
    pump();
    const auto second = [&] {
        manual->advance(std::chrono::seconds(1));
        pump();
    };
    // Replies to the first two pings.
    for (int i = 0; i < 2; ++i) {
        second();
        deliver("10=1019|21=20240102030406");
        pump();
    }
    EXPECT_TRUE(b.isServerAnswering());
    // Then nothing: silence counts from the first ping left without a reply (a second after the
    // last reply): three seconds after it are not yet silence, the fourth is, told once.
    for (int i = 0; i < 4; ++i)
        second();
    EXPECT_TRUE(b.isServerAnswering());
    EXPECT_EQ(events->log.count("networkSpeed:3|20240102030406|silent"), 0u);
    second();
    EXPECT_FALSE(b.isServerAnswering());
    EXPECT_EQ(b.networkSpeedStatus(), 3);
    second();
    second();
    EXPECT_EQ(events->log.count("networkSpeed:3|20240102030406|silent"), 1u);
    EXPECT_GE(requests->log.count("pingToServer"), 7u) << "the ping goes on";
    // A reply ends it.
    b.pingSent();
    deliver("10=1019|21=20240102030407");
    pump();
    EXPECT_TRUE(b.isServerAnswering());
    EXPECT_EQ(events->log.calls().back(), "networkSpeed:0|20240102030407");
}

TEST_F(BusinessBaseTest, SilenceIsToldAtTheLimitAfterTheFirstUnansweredPingNotAtALaterTick) {
    auto manual = std::make_shared<platform::ManualClock>();
    platform::ScopedClock clock(manual);
    BusinessBase& b = signedIn();
    pump();
    // A ping leaves a little after its tick (it is sealed and written first), so the fourth tick
    // after it comes just short of the limit.
    constexpr auto late = std::chrono::milliseconds(30);
    requests->onPing = [] {};
    const auto step = [&](platform::Clock::duration by) {
        manual->advance(by);
        pump();
    };
    // From one ping's leaving to the next tick's, whose ping leaves `late` after it.
    const auto second = [&] {
        step(std::chrono::seconds(1) - late);
        step(late);
        b.pingSent();
        pump();
    };
    manual->advance(late);
    second();
    deliver("10=1019|21=20240102030406");
    second(); // no reply from here on
    for (int i = 0; i < 3; ++i)
        second();
    step(std::chrono::seconds(1) - late);
    EXPECT_TRUE(b.isServerAnswering()) << "the fourth tick, 3.97 s after the ping";
    step(late - std::chrono::milliseconds(1));
    EXPECT_TRUE(b.isServerAnswering());
    step(std::chrono::milliseconds(1));
    EXPECT_FALSE(b.isServerAnswering()) << "4 s after the ping";
    EXPECT_EQ(events->log.count("networkSpeed:3|20240102030406|silent"), 1u);

    // A reply held 4.1 s reads the same way each time: not answering from 4 s, answering at the
    // reply; one held 3.9 s is no silence.
    b.pingSent();
    deliver("10=1019|21=20240102030412");
    ASSERT_TRUE(b.isServerAnswering());
    for (const auto& [held, silent] : {std::pair{std::chrono::milliseconds(4100), true},
                                       std::pair{std::chrono::milliseconds(3900), false}}) {
        events->log.clear();
        second();
        deliver("10=1019|21=20240102030413");
        second(); // its reply is held
        for (int i = 0; i < 3; ++i)
            second();
        // Ten milliseconds at a time, so the fourth tick comes at 3.97 s as it would.
        for (auto waited = std::chrono::milliseconds(3000); waited < held;
             waited += std::chrono::milliseconds(10))
            step(std::chrono::milliseconds(10));
        EXPECT_EQ(b.isServerAnswering(), !silent) << held.count();
        deliver("10=1019|21=20240102030417");
        EXPECT_TRUE(b.isServerAnswering()) << held.count();
        EXPECT_EQ(events->log.count("networkSpeed:3|20240102030413|silent"), silent ? 1u : 0u)
            << held.count();
    }
}

TEST_F(BusinessBaseTest, APingReplyWaitingBehindABusyMainQueueKeepsTheServerAnswering) {
    auto manual = std::make_shared<platform::ManualClock>();
    platform::ScopedClock clock(manual);
    BusinessBase& b = signedIn();
    pump();
    const auto second = [&] {
        manual->advance(std::chrono::seconds(1));
        pump();
    };
    second();
    deliver("10=1019|21=20240102030406");
    for (int i = 0; i < 3; ++i)
        second();
    // The next reply comes off the socket behind a burst of reports the main queue has not got to
    // when the ping check runs, four seconds after the last reply it applied.
    b.setMainSlice({});
    for (int i = 1; i <= 5; ++i)
        b.NewMessage(frameText(body(std::string("10=999|20=") + std::to_string(i))));
    b.NewMessage(frameText(body("10=1019|21=20240102030410")));
    manual->advance(std::chrono::seconds(1));
    platform::RunLoop::main().runOnce();
    EXPECT_EQ(b.RequestId(), 1) << "the check ran with the reply still queued";
    EXPECT_TRUE(b.isServerAnswering());
    for (int i = 0; i < 10; ++i)
        platform::RunLoop::main().runOnce();
    EXPECT_EQ(events->log.count("networkSpeed:3|20240102030406|silent"), 0u);
    EXPECT_EQ(events->log.count("networkSpeed:3|20240102030410|silent"), 0u);
    EXPECT_TRUE(b.isServerAnswering());
    // Replies stop for real: silence is still told, four seconds after the first ping sent after
    // the last reply came off the socket.
    for (int i = 0; i < 3; ++i)
        second();
    EXPECT_TRUE(b.isServerAnswering());
    second();
    EXPECT_FALSE(b.isServerAnswering());
}

TEST_F(BusinessBaseTest, AMainThreadHeldPastTheLimitIsNoSilenceOfTheServers) {
    auto manual = std::make_shared<platform::ManualClock>();
    platform::ScopedClock clock(manual);
    BusinessBase& b = signedIn();
    pump();
    manual->advance(std::chrono::seconds(1));
    pump();
    ASSERT_EQ(requests->log.count("pingToServer"), 1u);
    deliver("10=1019|21=20240102030406");
    // The main thread is held for six seconds: no ping goes out meanwhile, and none was waiting.
    manual->advance(std::chrono::seconds(6));
    pump();
    EXPECT_TRUE(b.isServerAnswering());
    EXPECT_EQ(events->log.count("networkSpeed:3|20240102030406|silent"), 0u);
    EXPECT_EQ(requests->log.count("pingToServer"), 2u);
    // The ping sent after the hold is answered: still answering, however long the hold was.
    deliver("10=1019|21=20240102030412");
    for (int i = 0; i < 3; ++i) {
        manual->advance(std::chrono::seconds(1));
        pump();
    }
    EXPECT_TRUE(b.isServerAnswering());
    // A hold while pings wait for their replies: the hold is not counted, the seconds they waited
    // before and after it are.
    manual->advance(std::chrono::seconds(5));
    pump();
    EXPECT_TRUE(b.isServerAnswering());
    manual->advance(std::chrono::seconds(1));
    pump();
    EXPECT_FALSE(b.isServerAnswering());
    EXPECT_EQ(events->log.count("networkSpeed:3|20240102030412|silent"), 1u);
}

TEST_F(BusinessBaseTest, AWholeClientStoppedWithItsPingsReplyUnreadIsNoSilenceOfTheServers) {
    auto manual = std::make_shared<platform::ManualClock>();
    platform::ScopedClock clock(manual);
    BusinessBase& b = signedIn();
    pump();
    manual->advance(std::chrono::seconds(1));
    pump();
    ASSERT_EQ(requests->log.count("pingToServer"), 1u);
    // Every thread of the client stops for six seconds just after the ping went out: its reply
    // waits in the socket, and the ping's tick, late, runs before the receiving thread reads it.
    manual->advance(std::chrono::seconds(6));
    pump();
    EXPECT_TRUE(b.isServerAnswering());
    EXPECT_EQ(events->log.count("networkSpeed:3|20240102030405|silent"), 0u);
    deliver("10=1019|21=20240102030412");
    EXPECT_TRUE(b.isServerAnswering());
    // A server that then stops answering is still told, four seconds after the first ping left
    // without a reply.
    for (int i = 0; i < 4; ++i) {
        manual->advance(std::chrono::seconds(1));
        pump();
    }
    EXPECT_TRUE(b.isServerAnswering());
    manual->advance(std::chrono::seconds(1));
    pump();
    EXPECT_FALSE(b.isServerAnswering());
}

TEST_F(BusinessBaseTest, TheLoginLinesAreStampedWithTheServersClockTheConnectionsWorkedBack) {
    auto manual = std::make_shared<platform::ManualClock>();
    platform::ScopedClock clock(manual);
    prepareSnapshot();
    BusinessBase& b = make();
    b.connectionDidConnectStream(false);
    pump();
    // No word from the server yet: the line waits for its clock.
    EXPECT_TRUE(b.JournalDataCollection().empty());
    manual->advance(std::chrono::seconds(2));
    deliver(std::string("10=33|19=1|21=20240102030405|160=AMP|") + compressedField("s"));
    manual->advance(std::chrono::seconds(1));
    deliver("10=18");
    EXPECT_EQ(b.JournalDataCollection(),
              (std::vector<std::string>{"journal 0 at 20240102030403", "journal 1 at 20240102030405",
                                        "journal 2 at 20240102030406"}));
}

TEST_F(BusinessBaseTest, SilenceAndANetworkChangeTellTheClockWithTheMomentItsReplyArrived) {
    auto manual = std::make_shared<platform::ManualClock>();
    platform::ScopedClock clock(manual);
    BusinessBase& b = signedIn();
    manual->advance(std::chrono::seconds(1));
    pump();
    deliver("10=1019|21=20240102030406");
    const platform::Clock::time_point arrived = manual->now();
    ASSERT_EQ(events->lastHeardAt, arrived);
    for (int i = 0; i < 6 && b.isServerAnswering(); ++i) {
        manual->advance(std::chrono::seconds(1));
        pump();
    }
    ASSERT_FALSE(b.isServerAnswering());
    EXPECT_EQ(events->log.count("networkSpeed:3|20240102030406|silent"), 1u);
    EXPECT_EQ(events->lastHeardAt, arrived) << "the silence tells the reply's moment, not its own";
    b.calculateNetworkSpeedFromServerDate();
    pump();
    EXPECT_EQ(events->lastHeardAt, arrived);
    // The session's own clock runs on from the reply's arrival meanwhile.
    const auto since = std::chrono::duration_cast<std::chrono::seconds>(manual->now() - arrived).count();
    EXPECT_EQ(b.ServerTime(),
              wireDateTime(wallTimeFromWire("20240102030406").value() + std::chrono::seconds(since)));
}

TEST_F(BusinessBaseTest, EachPingReplysTimeIsToldAndAgesFromItsOwnArrival) {
    // Replies come a little after the server's whole second: each is told as it came (the status
    // bar shows it), and the network's speed reads the age of the newest, not of the first.
    auto manual = std::make_shared<platform::ManualClock>();
    platform::ScopedClock clock(manual);
    BusinessBase& b = make();
    for (int second = 0; second < 5; ++second) {
        b.pingSent();
        manual->advance(std::chrono::milliseconds(1300));
        deliver("10=1019|21=2024010203040" + std::to_string(second));
        pump();
        EXPECT_EQ(b.heardServerTime(), "2024010203040" + std::to_string(second));
        EXPECT_EQ(events->lastHeardAt, manual->now());
    }
    b.calculateNetworkSpeedFromServerDate();
    pump();
    EXPECT_EQ(events->log.calls().back(), "networkSpeed:0|20240102030404") << "aged from the newest reply";
}

TEST_F(BusinessBaseTest, AServerTimeInTheHourTheDevicesZoneSkipsIsRead) {
    auto manual = std::make_shared<platform::ManualClock>();
    platform::ScopedClock clock(manual);
    // Berlin skips 02:00-03:00 on 29 March 2026; the server, elsewhere, reads 02:30.
    ASSERT_TRUE(platform::setDeviceTimeZone("Europe/Berlin"));
    BusinessBase& b = make();
    b.pingSent();
    deliver("10=1019|21=20260329023000");
    EXPECT_EQ(b.heardServerTime(), "20260329023000");
    manual->advance(std::chrono::seconds(61));
    EXPECT_EQ(b.ServerTime(), "20260329023101");
    platform::resetDeviceTimeZone();
}

TEST_F(BusinessBaseTest, RefusalCodesPickTheirTextTagAndAddress) {
    const auto refuse = [&](int code, const std::string& message) {
        LoginInfoMessage info;
        info.ErrorCode = code;
        info.Message = message;
        prepareSnapshot({}, info);
        make(); // a refusal ends its login for good: each code needs a login of its own
        deliver(std::string("10=47|160=AMP|") + compressedField("r"));
        pump();
        return app.loginMessages().back();
    };
    make();
    const auto text = [](const char* key) {
        return LanguageString::stringForSelectedLanguage(0, key).value_or(key);
    };
    auto m = refuse(12, "https://example.invalid/download");
    EXPECT_EQ(std::tuple(m.tag, m.url, m.message),
              std::tuple("3", "https://example.invalid/download", text("1089")));
    // An address that is not a web address is never offered.
    m = refuse(12, "file:///etc/passwd");
    EXPECT_EQ(m.tag, "0");
    EXPECT_FALSE(m.url.has_value());
    m = refuse(13, "ignored");
    EXPECT_EQ(m.tag, "0");
    EXPECT_EQ(m.message, text("1004"));
    EXPECT_FALSE(m.url.has_value());
    m = refuse(10, "");
    EXPECT_EQ(m.message, text("1087"));
    // No login information at all: the general text.
    loader->model.reset();
    make();
    deliver("10=47|160=AMP|1050=AAAA");
    pump();
    EXPECT_EQ(app.loginMessages().back().message, text("1004"));
    EXPECT_EQ(app.loginMessages().size(), 5u);
}

TEST_F(BusinessBaseTest, LoginElsewherePassesTheServerTextAsItStands) {
    make();
    deliver("10=44|105=Signed in at {} %s %@ {0}");
    pump();
    EXPECT_EQ(app.log.calls(), std::vector<std::string>{"onSignedInElsewhere:Signed in at {} %s %@ {0}"});
}

TEST_F(BusinessBaseTest, PasswordIsReplacedOnlyOnSuccess) {
    make();
    deliver("10=38|17=Failed|103=newpass1");
    pump();
    EXPECT_EQ(app.loginData().password(), "demo1234");
    EXPECT_EQ(events->log.count("passwordChangeAnswered:0|Failed"), 1u);
    deliver("10=38|103=newpass2");
    pump();
    EXPECT_EQ(app.loginData().password(), "demo1234");
    deliver("10=38|17=SuCcEsS|103=newpass3");
    pump();
    EXPECT_EQ(app.loginData().password(), "newpass3");
    EXPECT_EQ(events->log.count("passwordChangeAnswered:1|"), 1u);
}

TEST_F(BusinessBaseTest, DemoRegistrationNeedsBothUserAndPassword) {
    make();
    deliver("10=1027|23=newuser");
    deliver("10=1027|23=first|18=p/w|23=second");
    pump();
    EXPECT_EQ(notifications->log.count("demoUserCreationFailureNotification:0"), 1u);
    // The password keeps its "/": the two values travel apart.
    EXPECT_EQ(events->log.count("demoUserCreated:1|second|p/w"), 1u);
    // A refusal naming the field the server did not take passes its code on to be told.
    deliver("10=1027|74=1|17=The registration form is incomplete.");
    pump();
    EXPECT_EQ(notifications->log.count("demoUserCreationFailureNotification:1"), 1u);
}

TEST_F(BusinessBaseTest, AccountSummaryUpdatesOnlyKnownAccounts) {
    prepareSnapshot({{7, 0}, {8, 0}});
    BusinessBase& b = make();
    deliver(std::string("10=33|19=1|21=20240102030405|160=AMP|") + compressedField("s"));
    pump();
    deliver("10=1045|34=99|560=1000|129=2");
    deliver("10=1045|34=7|560=1234.5|130=99.25|84=10");
    pump();
    const auto& account = *b.session().AccountDetailCollection.find("7")->second;
    EXPECT_EQ(account.Balance.toDouble(), 1234.5);
    EXPECT_DOUBLE_EQ(account.Equity, 99.25);
    EXPECT_EQ(account.UsedMargin.toDouble(), 10);
    EXPECT_EQ(notifications->log.count("MarginCallNotification:99"), 0u);

    // Margin status 0, 2, 2 raises one banner; then 0, 2 another.
    for (const char* s : {"129=0", "129=2", "129=2"})
        deliver(std::string("10=1045|34=7|") + s);
    pump();
    EXPECT_EQ(notifications->log.count("MarginCallNotification:7"), 1u);
    for (const char* s : {"129=0", "129=2"})
        deliver(std::string("10=1045|34=7|") + s);
    pump();
    EXPECT_EQ(notifications->log.count("MarginCallNotification:7"), 2u);
    // Each is kept in the Journal too, naming the account: the banner passes.
    const std::string said = std::string(JournalData::kSeparator) +
                             fillPositional(*LanguageString::stringForSelectedLanguage(0, "97401"), {"7"});
    EXPECT_EQ(std::count_if(b.JournalDataCollection().begin(), b.JournalDataCollection().end(),
                            [&](const std::string& line) { return line.ends_with(said); }),
              2);

    // Equity hit twice in a row asks for the equity prices once.
    deliver("10=1045|34=8|24=825");
    deliver("10=1045|34=8|24=825");
    pump();
    EXPECT_EQ(requests->log.count("requestEquityPriceInfo:8"), 1u);
    EXPECT_EQ(b.session().AccountDetailCollection.find("8")->second->tradingStatus, 5);
}

TEST_F(BusinessBaseTest, AccountSummaryReadsEveryFigureAndMapsTheStatusCodes) {
    prepareSnapshot({{7, 0}, {8, 0}});
    BusinessBase& b = make();
    deliver(std::string("10=33|19=1|21=20240102030405|160=AMP|") + compressedField("s"));
    deliver("10=1045|34=7|84=10.5|85=89.75|120=3.25|130=100.25|132=50|141=-1.5|144=20|560=1000|129=2|24=815");
    const AccountDetails& account = *b.session().AccountDetailCollection.find("7")->second;
    EXPECT_EQ(account.AccountId, 7);
    for (const auto& [figure, text] :
         {std::pair{account.UsedMargin, "10.5"}, std::pair{account.oneSideMargin, "3.25"},
          std::pair{account.LeverageOnPositions, "50"}, std::pair{account.AccumulatingStorage, "-1.5"},
          std::pair{account.CollateralSecurity, "20"}, std::pair{account.Balance, "1000"}})
        EXPECT_EQ(figure.toDecimal(), *platform::Decimal::fromString(text)) << text;
    EXPECT_EQ(std::tie(account.AvailableMargin, account.Equity), std::tuple(89.75, 100.25));
    EXPECT_EQ(
        std::tie(account.MarginStatus, account.accountMarginStatus, account.previousAccountMarginStatus),
        std::tuple(2, 2, 2));
    // The margin call names the account even when its status comes in the same message.
    EXPECT_EQ(notifications->log.count("MarginCallNotification:7"), 1u);

    // Each status code as the account holds it; an unknown one is 0 and sets nothing off.
    for (const auto& [code, status] :
         {std::pair{"814", 1}, std::pair{"815", 2}, std::pair{"816", 3}, std::pair{"817", 4},
          std::pair{"819", 6}, std::pair{"825", 5}, std::pair{"999", 0}}) {
        deliver(std::string("10=1045|34=8|24=") + code);
        const AccountDetails& other = *b.session().AccountDetailCollection.find("8")->second;
        EXPECT_EQ(other.tradingStatus, status) << code;
        EXPECT_EQ(other.previousTradingStatus, status == 0 ? 5 : status) << code;
    }
    EXPECT_EQ(requests->log.count("requestEquityPriceInfo:8"), 1u);
}

TEST_F(BusinessBaseTest, NetworkSpeedClassBoundaries) {
    EXPECT_EQ(BusinessBase::networkSpeedClass(0.0), 0);
    EXPECT_EQ(BusinessBase::networkSpeedClass(0.999), 0);
    EXPECT_EQ(BusinessBase::networkSpeedClass(1.0), 1);
    EXPECT_EQ(BusinessBase::networkSpeedClass(2.0), 2);
    EXPECT_EQ(BusinessBase::networkSpeedClass(2.5), 2);
    EXPECT_EQ(BusinessBase::networkSpeedClass(3.0), 2);
    EXPECT_EQ(BusinessBase::networkSpeedClass(3.01), 3);
    EXPECT_EQ(BusinessBase::networkSpeedClass(-0.5), 3);
}

TEST_F(BusinessBaseTest, PingReplyClassifiesOnThePlatformClock) {
    auto manual = std::make_shared<platform::ManualClock>();
    platform::ScopedClock clock(manual);
    BusinessBase& b = make();

    // No server date yet: the class is told without a time.
    b.pingSent();
    manual->advance(std::chrono::milliseconds(1500));
    deliver("10=1019");
    pump();
    EXPECT_EQ(b.networkSpeedStatus(), 1);
    EXPECT_FALSE(b.ServerTime().has_value());
    EXPECT_EQ(events->log.calls(), std::vector<std::string>{"networkSpeed:1|"});

    b.pingSent();
    manual->advance(std::chrono::milliseconds(2500));
    deliver("10=1019|21=20240102030405");
    pump();
    EXPECT_EQ(b.networkSpeedStatus(), 2);
    EXPECT_EQ(b.ServerTime(), "20240102030405");
    EXPECT_EQ(events->log.count("networkSpeed:2|20240102030405"), 1u);

    // A reply without tag 21 keeps the previous server time.
    b.pingSent();
    manual->advance(std::chrono::milliseconds(200));
    deliver("10=1019");
    pump();
    EXPECT_EQ(b.networkSpeedStatus(), 0);
    EXPECT_EQ(events->log.count("networkSpeed:0|20240102030405"), 1u);
}

TEST_F(BusinessBaseTest, PortOutOfRangeEndsTheLoginAtOnce) {
    for (int port : {0, 70000, -5}) {
        app.log.clear();
        app.loginData().setPortNo(port);
        BusinessBase& b = make();
        b.StreamingConnection(false);
        pump();
        ASSERT_EQ(app.log.calls().size(), 1u) << port;
        EXPECT_NE(app.log.calls()[0].find("1 and 65535"), std::string::npos);
        EXPECT_FALSE(b.conn().IsStreamConnected());
    }
}

TEST_F(BusinessBaseTest, UnknownTypeChangesNothing) {
    BusinessBase& b = make();
    deliver("10=4242|99=x");
    // No message at all (its first field is not the type): dropped before anything, no refresh.
    deliver("garbage without fields");
    pump();
    EXPECT_EQ(refreshes(), 0u) << "it touches no table";
    EXPECT_EQ(b.RequestId(), 0);
    EXPECT_TRUE(app.log.calls().empty());
}

TEST_F(BusinessBaseTest, EachIncomingMessageIsTracedUnderItsNameWithoutItsValues) {
    make();
    const auto traced = [](const testing_support::LogCapture& log) {
        std::vector<std::string> out;
        for (const auto& [level, line] : log.entries())
            if (line.starts_with("incoming")) {
                EXPECT_EQ(level, platform::LogLevel::Debug) << line;
                out.push_back(line);
            }
        return out;
    };
    {
        testing_support::LogCapture log(platform::LogLevel::Info);
        deliver("10=66|80=902");
        EXPECT_TRUE(traced(log).empty()) << "nothing is traced above debug";
    }
    testing_support::LogCapture log(platform::LogLevel::Debug);
    deliver("10=66|80=902");
    deliver("10=1024|151=GetUserKey|159=secret-record");
    deliver("10=62|73=24|79=501");
    deliver("10=4242|18=hunter2");
    const std::vector<std::string> lines = traced(log);
    ASSERT_EQ(lines.size(), 4u);
    const std::pair<const char*, const char*> expected[] = {{"OrderSettled", "type 66,"},
                                                            {"DSResponse", "type 1024,"},
                                                            {"OrderCancelled", "type 62,"},
                                                            {"", "type 4242 "}};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_NE(lines[i].find(expected[i].first), std::string::npos) << lines[i];
        EXPECT_NE(lines[i].find(expected[i].second), std::string::npos) << lines[i];
        for (const char* value : {"902", "GetUserKey", "secret-record", "501", "hunter2"})
            EXPECT_EQ(lines[i].find(value), std::string::npos) << lines[i];
    }
}

} // namespace

namespace {

class BusinessStreamTest : public BusinessBaseTest {
protected:
    // Reads one whole frame (0x01 ... 0x02) from the server's end, without the frame bytes.
    static std::string readFrame(int fd) {
        std::string out;
        while (out.empty() || out.back() != '\x02') {
            std::string c = sockettest::receive(fd, 1);
            if (c.empty())
                return {};
            out += c;
        }
        return out.substr(1, out.size() - 2);
    }
    // The fields of the message inside a type-76 envelope.
    static std::vector<std::string> openEnvelope(const std::string& frame, const std::string& key) {
        const auto outer = MessageBase::fieldsOfFrame(frame);
        if (outer.size() < 2 || outer[0] != "10=76")
            return {};
        const auto plain = openEncryptedEnvelope(outer[1].substr(3), key);
        if (!plain || plain->size() < 2)
            return {};
        return MessageBase::fieldsOfFrame(plain->substr(1, plain->size() - 2));
    }
};

TEST_F(BusinessStreamTest, LoginGoesOutOnConnectAndMessagesRouteByTransport) {
    sockettest::PlainListener listener;
    app.loginData().setPortNo(listener.port());
    BusinessBase& b = make();
    b.StreamingConnection(false);
    const int fd = listener.accept();
    ASSERT_NE(fd, -1);
    const std::string configured = app.loginData().configuredSecurityKey().value();
    const auto login = openEnvelope(readFrame(fd), configured);
    ASSERT_FALSE(login.empty());
    EXPECT_EQ(login[0], "10=32");
    pump();
    // The connection's line waits for the server's clock, which the login's reply brings.
    EXPECT_TRUE(b.JournalDataCollection().empty());

    // A stream message goes to the stream even though it could have gone elsewhere.
    b.sendMessage(RequestMessage{MessageBase::frame("10=999\x03"), false, 0, 0});
    EXPECT_EQ(readFrame(fd), frameText("10=999\x03"));

    // The ping: tags 10, 20 and 21 in the envelope of the current key, and its time noted.
    deliver("10=999|20=41");
    EXPECT_FALSE(b.pingTime().has_value());
    b.pingToServer();
    const auto ping = openEnvelope(readFrame(fd), app.loginData().SecurityKey().value());
    ASSERT_EQ(ping.size(), 4u);
    EXPECT_EQ(ping[0], "10=1018");
    EXPECT_EQ(ping[1], "20=42");
    EXPECT_EQ(ping[2].substr(0, 3), "21=");
    EXPECT_EQ(ping[2].size(), 17u);
    EXPECT_TRUE(b.pingTime().has_value());
    EXPECT_EQ(b.RequestId(), 41); // sending never stores the request number

    // The data sockets are reconnected only while the stream is up.
    b.disconnectServer();
    ::close(fd);
    ASSERT_TRUE(pumpUntil([&] { return !b.conn().IsStreamConnected(); }));
    b.reconnectZMQAndSubscribeAllItems();
    EXPECT_FALSE(b.conn().IsFeedRunning());
    EXPECT_FALSE(b.conn().IsRequesterRunning());
    EXPECT_EQ(app.connectionFailures.load(), 0);
}

} // namespace

namespace {

// The order side as the session hands it its messages: each report as "type/status/79/573/80/76/125/74/
// request number" ("-" for a missing 573).
class RecordingSide final : public OrderSide {
public:
    void executionReport(const ExecutionReport& r) override {
        log.add(std::to_string(r.type) + "/" + std::to_string(r.status) + "/" + r.pendingOrderId + "/" +
                r.bracketPositionId.value_or("-") + "/" + r.positionId + "/" +
                (r.remainingQuantity ? r.remainingQuantity->toString() : "") + "/" + r.offsetOrder + "/" +
                std::to_string(r.rejectionCode) + "/" + std::to_string(r.requestId));
    }
    HistoryRowSink& historyRows() override { return rows; }
    RowLog rows;
    CallLog log;
};

TEST_F(BusinessBaseTest, ExecutionReportsAndOffsetAnswersGoToTheOrderSideAsRead) {
    auto side = std::make_shared<RecordingSide>();
    services.orders = side;
    make();
    deliver("10=62|73=28|79=501|573=P9");
    deliver("10=62|73=25|74=3|125=C1|20=80");
    deliver("10=67|73=73|80=900|76=0");
    deliver("10=67|73=73|80=901|76=1,5");
    deliver("10=66|80=902");
    deliver("10=1052|74=12");
    deliver("10=1052");
    pump();
    const std::vector<std::string> expected = {
        "62/28/501/P9////0/0", "62/25//-///C1/3/80", "67/73//-/900/0//0/80", "67/73//-/901///0/80",
        "66/0//-/902///0/80",  "1052/0//-////12/80", "1052/0//-////0/80"};
    EXPECT_EQ(side->log.calls(), expected);
    // The reports touch the order tables; an offset answer touches none.
    EXPECT_EQ(refreshes(), 5u);
}

TEST_F(BusinessBaseTest, AMessageWithMoreFieldsThanTheCapIsDroppedWhole) {
    auto side = std::make_shared<RecordingSide>();
    services.orders = side;
    BusinessBase& b = make();
    testing_support::LogCapture log(platform::LogLevel::Error);
    // Four fields, the padding, and the empty piece after the last separator.
    const auto report = [](std::size_t padding, int requestId) {
        std::string text = "10=62\x03"
                           "73=28\x03"
                           "79=501\x03"
                           "20=" +
                           std::to_string(requestId) + "\x03";
        for (std::size_t i = 0; i < padding; ++i)
            text += "9=\x03";
        return frameText(text);
    };
    b.NewMessage(report(MessageBase::kMaxFieldsPerFrame - 5, 7));
    b.NewMessage(report(MessageBase::kMaxFieldsPerFrame - 4, 8));
    b.NewMessage(frameText(std::string(3'000'000, '\x03')));
    const auto errors = log.lines();
    pump();
    EXPECT_EQ(b.RequestId(), 7);
    EXPECT_EQ(side->log.calls(), (std::vector<std::string>{"62/28/501/-////0/7"}));
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_NE(errors[0].find("type 62 of 65537 fields dropped"), std::string::npos) << errors[0];
    EXPECT_NE(errors[1].find("type 0 of 3000001 fields dropped"), std::string::npos) << errors[1];
}

TEST_F(BusinessBaseTest, PendingReportWithoutRequestNumberUsesTheOneStandingWhenItArrived) {
    BusinessBase& b = make();
    attachSessionOrders(b);
    auto account = std::make_shared<AccountDetails>();
    account->AccountId = 7;
    b.session().AccountDetailCollection.insert_or_assign("7", account);
    auto item = std::make_shared<ItemDetails>();
    item->Code = "EURUSD";
    b.session().ItemCollection.insert_or_assign("EURUSD", item);
    auto local = std::make_shared<Order>(); // what the order manager keeps for request 41
    local->RequestId = 41;
    b.session().PendingOrderCollection.push_back(local);

    deliver("10=999|20=41");
    deliver("10=62|73=28|34=7|12=EURUSD|79=501|32=30|37=1|38=1.2|76=1");
    // A later message moves the request number on before the main queue handles the report.
    deliver("10=999|20=99");
    pump();

    ASSERT_EQ(b.session().PendingOrderCollection.size(), 1u) << "the local record of request 41 stays";
    EXPECT_EQ(b.session().PendingOrderCollection[0]->PendingOrderId, "501");
}

} // namespace

namespace {

// A room that enters the chat message type and keeps what it was handed.
class RecordingRoom final : public ChatHandlers {
public:
    void enterMessages(MessageRooms& rooms) override {
        MessageRoom room;
        room.tags = {wire::tag::kRoomName, wire::tag::kQueueId};
        room.readsFields = true;
        room.apply = [this](const RoomMessage& m) {
            std::string line = std::to_string(m.type()) + "/" + m.text(wire::tag::kRoomName) + "/" +
                               m.value(wire::tag::kQueueId).value_or("-") + "/" +
                               m.value(wire::tag::kAccount).value_or("-") + "/" +
                               (m.fields().size() > 1 ? m.fields()[1] : "-") + "/" +
                               std::to_string(m.requestId());
            log.add(line);
        };
        room.tables = {interfaces::Table::Journal};
        rooms.enter(wire::msg::kChatMessage, std::move(room));
    }
    CallLog log;
};

TEST_F(BusinessBaseTest, ARoomIsHandedItsOwnTagsAndFieldsAndMarksItsTables) {
    auto room = std::make_shared<RecordingRoom>();
    services.chat = room;
    make();
    // The last of a repeated tag counts; a tag the room did not enter is not cut out for it.
    deliver("10=603|502=first|20=6|34=7|502=second");
    deliver("10=603|1026=Q1");
    EXPECT_EQ(room->log.calls(),
              (std::vector<std::string>{"603/second/-/-/502=first/6", "603//Q1/-/1026=Q1/6"}));
    EXPECT_EQ(refreshes(), 2u);
    // A type no room entered is parsed and dropped; it marks no table.
    deliver("10=602|502=x");
    EXPECT_EQ(room->log.calls().size(), 2u);
    EXPECT_EQ(refreshes(), 2u);
}

TEST_F(BusinessBaseTest, TwoRoomsCannotTakeOneMessageType) {
    class StatusRoom final : public FeedHandler {
    public:
        void ZMQNewMessage(const std::string&) override {}
        void enterMessages(MessageRooms& rooms) override {
            rooms.enter(wire::msg::kAccountSummary, MessageRoom{});
        }
    };
    services.feed = std::make_shared<StatusRoom>();
    EXPECT_THROW(make(), std::logic_error);
}

} // namespace

namespace {

// The same user's last journal goes ahead of the session's own lines, and the two together keep the
// journal's limit: the oldest taken over go first.
TEST_F(BusinessBaseTest, AJournalTakenOverStandsBeforeTheSessionsOwnLinesWithinTheLimit) {
    BusinessBase& b = make();
    b.appendJournal("new 1");
    b.takeOverJournal({"old 1", "old 2"});
    EXPECT_EQ(b.JournalDataCollection(), (std::vector<std::string>{"old 1", "old 2", "new 1"}));
    b.appendJournal("new 2");
    EXPECT_EQ(b.JournalDataCollection().back(), "new 2");

    BusinessBase& full = make();
    full.appendJournal("own");
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < BusinessBase::kMaxJournalLines; ++i)
        lines.push_back("old " + std::to_string(i));
    full.takeOverJournal(std::move(lines));
    const std::vector<std::string>& journal = full.JournalDataCollection();
    ASSERT_EQ(journal.size(), BusinessBase::kMaxJournalLines);
    EXPECT_EQ(journal.front(), "old 1");
    EXPECT_EQ(journal[journal.size() - 2], "old " + std::to_string(BusinessBase::kMaxJournalLines - 1));
    EXPECT_EQ(journal.back(), "own");
}

} // namespace
