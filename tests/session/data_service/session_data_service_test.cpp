#include "client/session_wiring.h"
#include "session/data_service/session_data_service.h"

#include "charts/chart_reply.h"
#include "model/records/account_details.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "platform/user_defaults.h"
#include "session/business/business_test_support.h"
#include "session/data_service/data_service_replies.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using namespace tc;
using namespace sessiontest;
using testing_support::wireText;

// Notes the thread of each step of a download.
class RecordingResources final : public ResourceHandlers {
public:
    std::function<void()> readResourceDownload(const PendingRequest*, std::string payload) override {
        readOn = std::this_thread::get_id();
        return [this, payload] {
            storedOn = std::this_thread::get_id();
            stored = payload;
        };
    }
    std::thread::id readOn, storedOn;
    std::string stored;
};

class CountingSubscriptions final : public SubscriptionSource {
public:
    std::vector<std::string> getAllItems() override {
        ++calls;
        return {"EURUSD"};
    }
    int calls = 0;
};

class SessionDataServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::Bundle::setResourcesRoot(TC_TEST_RESOURCES);
        platform::RunLoop::main().bindToCurrentThread();
        platform::RunLoop::main().discardPending();
        app.loginData().setUserName("demo");
        app.loginData().setIPAddress("127.0.0.1");
        app.loginData().setPortNo(1);
        services.notifications = std::make_shared<FakeNotifications>();
        services.events = events;
        services.requests = std::make_shared<FakeRequests>();
        services.historyRows = historyRows;
        services.subscriptions = subscriptions;
        services.resources = resources;
        services.userDefaults = defaults.get();
        business = tc::makeSession(app, app.loginData(), services);
        auto account = std::make_shared<AccountDetails>();
        account->AccountId = 20001;
        business->session().AccountDetailCollection.insert_or_assign("20001", account);
        auto item = std::make_shared<ItemDetails>();
        item->Code = "EURUSD";
        item->InstrumentId = 1;
        business->session().ItemCollection.insert_or_assign("EURUSD", item);
    }
    void TearDown() override {
        business.reset();
        platform::RunLoop::main().discardPending();
        platform::Bundle::setResourcesRoot({});
    }

    void expect(std::string procedure, int subType) {
        PendingRequest p;
        p.messageType = 1023;
        p.procedure = std::move(procedure);
        p.dsRequestType = subType;
        business->sessionRequests().pendingRequests().add(p);
    }
    void reply(const std::string& procedure, const std::string& text) {
        business->NewMessage(frameText(body(std::string("10=1024|20=5|151=") + procedure + "|159=" + text)));
    }

    FakeApplication app;
    std::shared_ptr<FakeEvents> events = std::make_shared<FakeEvents>();
    std::shared_ptr<RowLog> historyRows = std::make_shared<RowLog>();
    std::shared_ptr<CountingSubscriptions> subscriptions = std::make_shared<CountingSubscriptions>();
    std::shared_ptr<RecordingResources> resources = std::make_shared<RecordingResources>();
    std::unique_ptr<platform::UserDefaults> defaults = platform::UserDefaults::inMemory();
    BusinessServices services;
    std::unique_ptr<BusinessBase> business;
};

TEST_F(SessionDataServiceTest, RepliesLandOnTheMainQueueAndAnnounceThemselves) {
    expect("getsessionschedule", 7);
    reply("getsessionschedule", wireText("1<C>7<C>3<C>2<C>08:00<C>17:00<R>2<C>7<C>3<C>3<C>08:00<C>17:00<R>"));
    // Nothing changes before the main queue runs.
    EXPECT_TRUE(business->dataServiceCollections().sessionSchedulesArray.empty());
    pump();
    const auto& schedules = business->dataServiceCollections().marketSessionSchedulesCollection;
    ASSERT_TRUE(schedules.contains("7"));
    EXPECT_EQ(schedules.at("7").size(), 2u);
    EXPECT_EQ(schedules.at("7")[1].dayOfTheWeekID, 3u);

    expect("getbankaccounts", 4);
    reply("getbankaccounts", wireText("11<C>123456<C>9<C>Demo USD<C>1<C><C>First Bank<R>"));
    pump();
    ASSERT_TRUE(business->dataServiceCollections().bankDetails);
    EXPECT_EQ(business->dataServiceCollections().bankDetails->BankName, "First Bank");
    // A failed reply of any procedure withdraws the bank details and says so.
    expect("getexecutedpositions", 5);
    reply("getexecutedpositions", "error");
    pump();
    EXPECT_FALSE(business->dataServiceCollections().bankDetails);
    EXPECT_EQ(events->log.count("schedule:7"), 1u);
    EXPECT_EQ(events->log.count("bankDetails"), 2u);
}

TEST_F(SessionDataServiceTest, TwoCancelledOrderRequestsInFlightKeepTheirOwnPurpose) {
    // The login's list (sub-type 0) and then the statement's (sub-type 10), both "getcancelledorders":
    // the statement request was composed last, yet the first reply still belongs to the login.
    expect("getcancelledorders", 0);
    expect("getcancelledorders", 10);
    const std::string record = wireText("C1<C>2<C>T1<C>P1<C>1<C>20001<C>1<C>20260105103000<C>9<C>1<C>0<C>0<C>"
                                        "0<C>0<C>0<C>2<C>1.085<C>20260105100000<R>");
    reply("getcancelledorders", record);
    reply("getcancelledorders", record);
    pump();
    EXPECT_EQ(historyRows->log.calls(), std::vector<std::string>{"cancelled:C1"});
    const auto& statement = business->dataServiceCollections().cancelledOrderInfo;
    ASSERT_EQ(statement.size(), 1u);
    EXPECT_EQ(statement[0]->ItemCode, "EURUSD");
    EXPECT_EQ(displayDateTime(statement[0]->TransactionDateTime), "01/05/2026 10:30:00");
    EXPECT_EQ(events->log.count("cancelledOrders"), 1u);
    EXPECT_EQ(business->sessionRequests().pendingRequests().size(), 0u);
}

TEST_F(SessionDataServiceTest, OrderHistoryRowsGoToTheFillersAndRenewTheSubscriptionOnce) {
    expect("getopenpositions", 0);
    reply("getopenpositions", wireText("P1<C>20001<C>1<C>1<R>P2<C>20001<C>1<C>0<R>P1<C>20001<C>1<C>1<R>"));
    expect("getsettledpositions", 0);
    reply("getsettledpositions", wireText("S1<C>20001<C>1<R>"));
    pump();
    EXPECT_EQ(historyRows->log.calls(),
              (std::vector<std::string>{"open:P1", "open:P2", "open:P1", "settled:S1"}));
    // A repeated last record must not suppress the renewal, and three records renew only once.
    EXPECT_EQ(subscriptions->calls, 1);
}

TEST_F(SessionDataServiceTest, AReplyNobodyAskedForIsReadAsTheLogins) {
    reply("getcancelledorders", wireText("C9<C>1<C>T<C>P<C>1<C>20001<R>"));
    pump();
    EXPECT_EQ(historyRows->log.calls(), std::vector<std::string>{"cancelled:C9"});
    EXPECT_TRUE(business->dataServiceCollections().cancelledOrderInfo.empty());
}

TEST_F(SessionDataServiceTest, ChartRepliesReplaceTheOlderPerKeyAndAnnounceEach) {
    business->NewMessage(frameText(body("10=1041|20=41|17=<H~EURUSD~60>01/02/24#10:00:00#1.5#1.6#1.4#1.45")));
    business->NewMessage(frameText(body("10=1041|20=42|17=<H~EURUSD~60>01/02/24#10:01:00#1.7#1.8#1.6#1.65")));
    // No header: dropped without a word.
    business->NewMessage(frameText(body("10=1041|20=43|17=nothing")));
    pump();
    const auto entry = business->chartDataCollection().entry("EURUSD");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->requestId, 42u);
    ASSERT_EQ(entry->bars->size(), 1u);
    EXPECT_EQ(entry->bars->closes()[0], 1.7);
    EXPECT_EQ(business->chartDataCollection().size(), 1u);
    EXPECT_EQ(events->log.count("chartArrived:" + charts::chartReplyKey("<H~EURUSD~60>").value_or("?")), 2u);
}

TEST_F(SessionDataServiceTest, ADownloadIsDecodedOnTheReceivingThreadAndStoredOnTheMainQueue) {
    expect("resourcedownload", 12);
    std::thread::id receivingId;
    std::thread receiving([&] {
        receivingId = std::this_thread::get_id();
        business->NewMessage(frameText(body("10=1024|20=5|151=resourcedownload|159=a.ics<C><R>|1050=QUJD")));
    });
    receiving.join();
    EXPECT_EQ(resources->readOn, receivingId);
    EXPECT_TRUE(resources->stored.empty());
    pump();
    EXPECT_EQ(resources->storedOn, std::this_thread::get_id());
    EXPECT_EQ(resources->stored, "QUJD");
}

} // namespace
