#include "client/session_wiring.h"
#include "session/data_service/session_data_service.h"

#include "platform/notification_center.h"
#include "platform/user_defaults.h"
#include "session/business/business_test_support.h"
#include "session/business/notification_names.h"
#include "session/data_service/data_service_replies.h"
#include "session/records/account_details.h"
#include "session/records/item_details.h"
#include "session/records/order.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using namespace tc;
using namespace sessiontest;

class RecordingRows final : public HistoryRowSink {
public:
    void FillInitialOpenOrderCollection(const OpenOrderHD& r) override { log.add("open:" + r.PositionId); }
    void FillInitialPendingOrderCollection(const PendingOrderHD& r) override {
        log.add("pending:" + r.PendingOrderId);
    }
    void FillInitialSettledOrderCollection(const SettledOrderHD& r) override {
        log.add("settled:" + r.SettlementId);
    }
    void FillInitialCancelledOrderCollection(const CancelledOrderHD& r) override {
        log.add("cancelled:" + r.CancelledOrderId);
    }
    void SetEquityHitPriceInOrders(const EquityHitPriceInfos& r) override {
        log.add("equity:" + r.PositionId);
    }
    CallLog log;
};

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

// Observes notifications on the default centre for the life of the test.
class Observed {
public:
    explicit Observed(std::vector<std::string> names) {
        for (auto& name : names)
            tokens_.push_back(platform::NotificationCenter::defaultCenter().addObserver(
                name, [this, name](const platform::Notification& n) {
                    const std::string* text = n.objectAs<std::string>();
                    seen.push_back(name + (text ? ":" + *text : ""));
                }));
    }
    ~Observed() {
        for (auto& t : tokens_)
            platform::NotificationCenter::defaultCenter().removeObserver(t);
    }
    std::vector<std::string> seen;

private:
    std::vector<platform::ObserverId> tokens_;
};

std::string rows(std::initializer_list<std::initializer_list<std::string>> records) {
    std::string out;
    for (const auto& record : records) {
        bool first = true;
        for (const auto& column : record) {
            if (!first)
                out += '\x05';
            out += column;
            first = false;
        }
        out += '\x06';
    }
    return out;
}

class SessionDataServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::Bundle::setResourcesRoot(TC_TEST_RESOURCES);
        platform::RunLoop::main().bindToCurrentThread();
        platform::RunLoop::main().discardPending();
        app.logindata().setUserName("demo");
        app.logindata().setIPAddress("127.0.0.1");
        app.logindata().setPortNo(1);
        services.notifications = std::make_shared<FakeNotifications>();
        services.requests = std::make_shared<FakeRequests>();
        services.historyRows = historyRows;
        services.subscriptions = subscriptions;
        services.resources = resources;
        services.userDefaults = defaults.get();
        business = tc::makeSession(app, services);
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
        p.dsrequestType = subType;
        business->sessionRequests().pendingRequests().add(p);
    }
    void reply(const std::string& procedure, const std::string& text) {
        business->NewMessage(frameText(body({"10=1024", "20=5", "151=" + procedure, "159=" + text})));
    }

    FakeApplication app;
    std::shared_ptr<RecordingRows> historyRows = std::make_shared<RecordingRows>();
    std::shared_ptr<CountingSubscriptions> subscriptions = std::make_shared<CountingSubscriptions>();
    std::shared_ptr<RecordingResources> resources = std::make_shared<RecordingResources>();
    std::unique_ptr<platform::UserDefaults> defaults = platform::UserDefaults::inMemory();
    BusinessServices services;
    std::unique_ptr<BusinessBase> business;
};

TEST_F(SessionDataServiceTest, RepliesLandOnTheMainQueueAndAnnounceThemselves) {
    Observed observed(
        {std::string(kMarketSessionScheduleNotification), std::string(kBankDetailsNotification)});
    expect("getsessionschedule", 7);
    reply("getsessionschedule",
          rows({{"1", "7", "3", "2", "08:00", "17:00"}, {"2", "7", "3", "3", "08:00", "17:00"}}));
    // Nothing changes before the main queue runs.
    EXPECT_TRUE(business->dataServiceCollections().sessionSchedulesArray.empty());
    pump();
    const auto& schedules = business->dataServiceCollections().marketSessionSchedulesCollection;
    ASSERT_TRUE(schedules.contains("7"));
    EXPECT_EQ(schedules.at("7").size(), 2u);
    EXPECT_EQ(schedules.at("7")[1].dayOfTheWeekID, 3u);

    expect("getbankaccounts", 4);
    reply("getbankaccounts", rows({{"11", "123456", "9", "Demo USD", "1", "", "First Bank"}}));
    pump();
    ASSERT_TRUE(business->dataServiceCollections().bankDetails);
    EXPECT_EQ(business->dataServiceCollections().bankDetails->BankName, "First Bank");
    // A failed reply of any procedure withdraws the bank details and says so.
    expect("getexecutedpositions", 5);
    reply("getexecutedpositions", "error");
    pump();
    EXPECT_FALSE(business->dataServiceCollections().bankDetails);
    EXPECT_EQ(observed.seen,
              (std::vector<std::string>{"MarketSessionScheduleNotification", "BankDetailsNotification",
                                        "BankDetailsNotification"}));
}

TEST_F(SessionDataServiceTest, TwoCancelledOrderRequestsInFlightKeepTheirOwnPurpose) {
    Observed observed({std::string(kAccountStatementNotification)});
    // The login's list (sub-type 0) and then the statement's (sub-type 10), both "getcancelledorders":
    // the statement request was composed last, yet the first reply still belongs to the login.
    expect("getcancelledorders", 0);
    expect("getcancelledorders", 10);
    const std::string record = rows({{"C1", "2", "T1", "P1", "1", "20001", "1", "20260105103000", "9", "1",
                                      "0", "0", "0", "0", "0", "2", "1.085", "20260105100000"}});
    reply("getcancelledorders", record);
    reply("getcancelledorders", record);
    pump();
    EXPECT_EQ(historyRows->log.calls(), std::vector<std::string>{"cancelled:C1"});
    const auto& statement = business->dataServiceCollections().cancelledOrderInfo;
    ASSERT_EQ(statement.size(), 1u);
    EXPECT_EQ(statement[0]->ItemCode, "EURUSD");
    EXPECT_EQ(statement[0]->TransactionDateTime, "01/05/2026 10:30:00");
    EXPECT_EQ(observed.seen, std::vector<std::string>{"AccountStatementNotification"});
    EXPECT_EQ(business->sessionRequests().pendingRequests().size(), 0u);
}

TEST_F(SessionDataServiceTest, OrderHistoryRowsGoToTheFillersAndRenewTheSubscriptionOnce) {
    expect("getopenpositions", 0);
    reply("getopenpositions",
          rows({{"P1", "20001", "1", "1"}, {"P2", "20001", "1", "0"}, {"P1", "20001", "1", "1"}}));
    expect("getsettledpositions", 0);
    reply("getsettledpositions", rows({{"S1", "20001", "1"}}));
    pump();
    EXPECT_EQ(historyRows->log.calls(),
              (std::vector<std::string>{"open:P1", "open:P2", "open:P1", "settled:S1"}));
    // A repeated last record must not suppress the renewal, and three records renew only once.
    EXPECT_EQ(subscriptions->calls, 1);
}

TEST_F(SessionDataServiceTest, AReplyNobodyAskedForIsReadAsTheLogins) {
    reply("getcancelledorders", rows({{"C9", "1", "T", "P", "1", "20001"}}));
    pump();
    EXPECT_EQ(historyRows->log.calls(), std::vector<std::string>{"cancelled:C9"});
    EXPECT_TRUE(business->dataServiceCollections().cancelledOrderInfo.empty());
}

TEST_F(SessionDataServiceTest, ChartRepliesReplaceTheOlderPerKeyAndAnnounceEach) {
    Observed observed({"ChartDataReceivedNotification41", "ChartDataReceivedNotification42"});
    business->NewMessage(
        frameText(body({"10=1041", "20=41", "17=<H~EURUSD~60>01/02/24#10:00:00#1.5#1.6#1.4#1.45"})));
    business->NewMessage(
        frameText(body({"10=1041", "20=42", "17=<H~EURUSD~60>01/02/24#10:01:00#1.7#1.8#1.6#1.65"})));
    // No header: dropped without a word.
    business->NewMessage(frameText(body({"10=1041", "20=43", "17=nothing"})));
    pump();
    const auto entry = business->chartDataCollection().entry("EURUSD");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->requestId, 42u);
    ASSERT_EQ(entry->bars->size(), 1u);
    EXPECT_EQ(entry->bars->closes()[0], 1.7);
    EXPECT_EQ(business->chartDataCollection().size(), 1u);
    EXPECT_EQ(observed.seen, (std::vector<std::string>{"ChartDataReceivedNotification41:41",
                                                       "ChartDataReceivedNotification42:42"}));
}

TEST_F(SessionDataServiceTest, ADownloadIsDecodedOnTheReceivingThreadAndStoredOnTheMainQueue) {
    expect("resourcedownload", 12);
    std::thread::id receivingId;
    std::thread receiving([&] {
        receivingId = std::this_thread::get_id();
        business->NewMessage(
            frameText(body({"10=1024", "20=5", "151=resourcedownload", "159=a.ics\x05\x06", "1050=QUJD"})));
    });
    receiving.join();
    EXPECT_EQ(resources->readOn, receivingId);
    EXPECT_TRUE(resources->stored.empty());
    pump();
    EXPECT_EQ(resources->storedOn, std::this_thread::get_id());
    EXPECT_EQ(resources->stored, "QUJD");
}

} // namespace
