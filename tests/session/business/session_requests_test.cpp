#include "session/business/session_requests.h"

#include "model/records/account_details.h"
#include "model/records/request_records.h"
#include "model/session_model.h"
#include "platform/date_format.h"
#include "support/capturing_sender.h"
#include "wire/envelope_opener.h"
#include "wire/message_golden.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <limits>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace tc;

using golden::asciiFrame;

using testing_support::body;
using testing_support::wireText;

class FakeContext : public RequestContext {
public:
    MessageSender& sender() override { return capture; }
    std::string userName() const override { return user; }
    std::string referenceId() const override { return "REF77"; }
    std::int32_t requestId() const override { return lastRequestId.load(); }
    std::int32_t userId() const override { return 9001; }
    std::uint64_t productId() const override { return 7; }
    const SessionModel& model() const override { return session; }
    // 2024-03-15 09:30:00 UTC.
    platform::Date now() const override { return platform::Date{1710495000.0}; }

    void addAccount(std::int32_t id, std::int32_t tradingStatus) {
        auto a = std::make_shared<AccountDetails>();
        a->AccountId = id;
        a->tradingStatus = tradingStatus;
        session.AccountDetailCollection.insert_or_assign(std::to_string(id), a);
    }

    testing_support::CapturingSender capture;
    std::string user = "jdoe";
    std::atomic<std::int32_t> lastRequestId{41};
    SessionModel session;
};

class SessionRequestsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(platform::setDeviceTimeZone("UTC")); }
    void TearDown() override { platform::resetDeviceTimeZone(); }

    const std::vector<RequestMessage>& sent() { return context.capture.sent; }
    const RequestMessage& last() { return context.capture.sent.back(); }

    FakeContext context;
    SessionRequests requests{context};
};

TEST_F(SessionRequestsTest, DataServiceRequestsGoPlainToTheRequestSocketInTheirWritersOrder) {
    ASSERT_TRUE(requests.requestOpenPosition());
    EXPECT_EQ(last().message, asciiFrame(body("10=1023|151=getopenpositions|152=1000|153=1|20=42|115=9001|23="
                                              "jdoe|19=REF77|21=20240315093000")));
    EXPECT_TRUE(last().isZMQ);
    EXPECT_EQ(last().receivingStrategy, 0);

    ASSERT_TRUE(requests.requestEquityPriceInfo(77));
    EXPECT_EQ(last().message, asciiFrame(body("10=1023|151=getequityhitpriceinfo|152=1000|160=0|153=1|20=42|"
                                              "34=77|115=9001|23=jdoe|19=REF77|21=20240315093000")));

    ASSERT_TRUE(requests.requestAdvancedInstrumentInfo());
    EXPECT_EQ(last().message, asciiFrame(body("10=1023|151=getinstruments|152=1000|160=3|153=1|20=42|115="
                                              "9001|23=jdoe|19=REF77|21=20240315093000")));

    // Market ids are unsigned: the largest prints without a sign.
    ASSERT_TRUE(requests.requestSessionSchedule(std::numeric_limits<std::uint64_t>::max()));
    EXPECT_EQ(last().message,
              asciiFrame(body(
                  "10=1023|151=getsessionschedule|152=1000|153=1|581=18446744073709551615|20=42|115=9001|"
                  "23=jdoe|19=REF77|21=20240315093000")));

    UserAccountMaps access;
    access.userId = 12;
    access.accountId = 3456;
    access.accountAccessTypeId = 2;
    ASSERT_TRUE(requests.requestEditUserAccountAccessByClient(access));
    EXPECT_EQ(last().message,
              asciiFrame(body("10=1023|151=addedituac|152=1000|153=1|1132=edituabycl|159=12<C>3456<C>2<C><R>|"
                              "20=42|115=9001|23=jdoe|19=REF77|21=20240315093000")));

    // 2024-01-01 00:00:00 and 2024-01-31 23:59:59 UTC.
    SearchInfo search;
    search.AccountNumber = "1001";
    search.TransactionDetails = "2";
    search.FromDate = WallTime(std::chrono::seconds(1704067200));
    search.ToDate = WallTime(std::chrono::seconds(1706745599));
    ASSERT_TRUE(requests.requestFinancialTransactions(search));
    EXPECT_EQ(
        last().message,
        asciiFrame(body("10=1023|151=getfinancialtransactions|152=1000|153=1|34=1001|575=20240101000000|576="
                        "20240131235959|551=2|20=42|115=9001|23=jdoe|19=REF77|21=20240315093000")));

    StatementSelection statement{"1001", WallTime(std::chrono::seconds(1704067200)),
                                 WallTime(std::chrono::seconds(1706745599))};
    ASSERT_TRUE(requests.requestCancelledOrderHistoryForAccount(statement));
    EXPECT_EQ(last().message,
              asciiFrame(body("10=1023|151=getcancelledorders|152=1000|153=1|34=1001|575=20240101000000|576="
                              "20240131235959|20=42|115=9001|23=jdoe|19=REF77|21=20240315093000")));

    ASSERT_TRUE(requests.requestGetAllPayGateSettings());
    EXPECT_EQ(last().message, asciiFrame(body("10=1023|151=paygategetsettings|152=1000|153=1|20=42|115=9001|"
                                              "23=jdoe|19=REF77|21=20240315093000")));

    for (const RequestMessage& r : sent())
        EXPECT_TRUE(r.isZMQ);
}

TEST_F(SessionRequestsTest, ResourceRequestsCarryTheirRecordAndTheDownloadExpectsSeveralFrames) {
    const std::string types[] = {"CAL", "ICO"};
    ASSERT_TRUE(requests.requestResourceSearchForTypes(types));
    ASSERT_EQ(sent().size(), 2u);
    MessageBase search;
    search.loadFrame(std::string_view(sent()[1].message).substr(1, sent()[1].message.size() - 2));
    EXPECT_EQ(*search.value(151), "resourcesearch");
    EXPECT_EQ(*search.value(159), FileResource::initWithResourceType("ICO", 7).getString(1));
    EXPECT_EQ(*search.value(160), "1");
    EXPECT_EQ(sent()[1].receivingStrategy, 0);

    FileResource file;
    file.resourceName = "holidays.cal";
    ASSERT_TRUE(requests.requestFileResourceDownload(file));
    EXPECT_TRUE(last().isZMQ);
    EXPECT_EQ(last().receivingStrategy, 1);

    EXPECT_TRUE(requests.requestResourceSearchForTypes({}));
    EXPECT_EQ(sent().size(), 3u);
}

TEST_F(SessionRequestsTest, RequestNumberIsTheLastReceivedPlusOneAndIsNeverStored) {
    ASSERT_TRUE(requests.requestPendingOrders());
    ASSERT_TRUE(requests.requestSettledOrders());
    EXPECT_EQ(context.lastRequestId.load(), 41);
    for (const RequestMessage& r : sent())
        EXPECT_NE(r.message.find("\x03"
                                 "20=42\x03"),
                  std::string::npos);

    // The chart raises the number itself and sends it unchanged; the next request adds one.
    context.lastRequestId = 42;
    ASSERT_TRUE(requests.requestChartData("EURUSD", "M5", 300));
    EXPECT_EQ(last().message,
              asciiFrame(body("10=1040|12=EURUSD|83=M5|20=42|1025=300|23=jdoe|19=REF77|21=20240315093000")));
    EXPECT_TRUE(last().isZMQ);
    ASSERT_TRUE(requests.requestChartData("EURUSD", "M5", 300));
    EXPECT_EQ(last().message, sent()[2].message);
    ASSERT_TRUE(requests.requestApprovalRequest());
    EXPECT_NE(last().message.find("20=43\x03"), std::string::npos);

    // The server's counter is 32-bit: past its top the next number wraps.
    context.lastRequestId = std::numeric_limits<std::int32_t>::max();
    EXPECT_EQ(requests.nextRequestId(), std::numeric_limits<std::int32_t>::min());
}

TEST_F(SessionRequestsTest, StreamRequestsAreSealedWithTheSessionKey) {
    ASSERT_TRUE(requests.changeMyPassword("old-pw", ""));
    EXPECT_EQ(context.capture.opened(last()),
              asciiFrame(body("10=37|23=jdoe|104=old-pw|103=|20=42|19=REF77|21=20240315093000")));

    ASSERT_TRUE(requests.requestChatMessageAcknowledgement("R1", "905"));
    EXPECT_EQ(context.capture.opened(last()),
              asciiFrame(body("10=608|507=|505=R1<C>905|504=jdoe|23=jdoe|19=REF77|21=20240315093000")));
    // A room name or message id from the server that holds a separator would shift the record.
    const std::size_t before = sent().size();
    EXPECT_FALSE(requests.requestChatMessageAcknowledgement(wireText("R1<C>x"), "905"));
    EXPECT_FALSE(requests.requestChatMessageAcknowledgement("R1", wireText("9<R>05")));
    EXPECT_EQ(sent().size(), before);

    ASSERT_TRUE(requests.requestContactList());
    EXPECT_EQ(context.capture.opened(last()),
              asciiFrame(body("10=617|23=jdoe|520=1|504=jdoe|19=REF77|21=20240315093000")));

    ASSERT_TRUE(requests.requestRoomMessage("Support", "55"));
    EXPECT_EQ(context.capture.opened(last()),
              asciiFrame(body("10=615|23=jdoe|502=Support|501=55|504=jdoe|19=REF77|21=20240315093000")));

    ASSERT_TRUE(requests.SendRoomRequest("alice"));
    EXPECT_EQ(context.capture.opened(last()),
              asciiFrame(body("10=601|20=42|503=alice|530=0|504=jdoe|19=REF77|21=20240315093000")));

    ASSERT_TRUE(requests.SendNewChatMessageToServer("hello", "55", "Support"));
    EXPECT_EQ(context.capture.opened(last()),
              asciiFrame(body("10=603|501=55|504=jdoe|502=Support|17=hello|19=REF77|21=20240315093000")));

    for (const RequestMessage& r : sent())
        EXPECT_FALSE(r.isZMQ);
}

TEST_F(SessionRequestsTest, ControlMessageAndEdgeInputs) {
    // The keep-alive: plain, on the request socket, no request number and no data-service fields.
    ASSERT_TRUE(requests.requestControlClientConnectMessage());
    EXPECT_EQ(last().message, asciiFrame(body("10=1002|23=jdoe|19=REF77|21=20240315093000")));
    EXPECT_TRUE(last().isZMQ);

    // An empty user name still fills tag 23.
    context.user.clear();
    ASSERT_TRUE(requests.requestOfflineMessages());
    EXPECT_EQ(context.capture.opened(last()), asciiFrame(body("10=613|23=|504=|19=REF77|21=20240315093000")));

    // A support-queue chat needs an account to name: the first of the collection.
    EXPECT_FALSE(requests.SendChatQueueRequest("Q1", "help"));
    EXPECT_EQ(sent().size(), 2u);
    context.addAccount(1002, 1);
    context.addAccount(1001, 1);
    ASSERT_TRUE(requests.SendChatQueueRequest("Q1", "help"));
    EXPECT_EQ(context.capture.opened(last()),
              asciiFrame(body("10=678|1026=Q1|34=1002|17=help|20=42|530=0|504=|19=REF77|21=20240315093000")));

    // A search without a period is not sent.
    SearchInfo noPeriod;
    EXPECT_FALSE(requests.requestExecutedPosition(noPeriod));
    EXPECT_EQ(requests.pendingRequests().size(), 0u);
}

TEST_F(SessionRequestsTest, PendingRegistryRoutesRepliesByWhatTheRequestAsked) {
    ASSERT_TRUE(requests.requestCancelledOrders());
    StatementSelection statement{"1001", WallTime{}, WallTime(std::chrono::seconds(86400))};
    ASSERT_TRUE(requests.requestCancelledOrderHistoryForAccount(statement));
    context.lastRequestId = 50;
    ASSERT_TRUE(requests.requestChartData("XAUUSD", "H1", 100));

    PendingRequests& pending = requests.pendingRequests();
    ASSERT_EQ(pending.size(), 3u);
    // Both cancelled-order requests carry number 42; each reply takes the oldest, so the sub-type
    // of each comes back with it whatever was built since.
    auto first = pending.take(1023, 42, "getcancelledorders");
    auto second = pending.take(1023, 42, "getcancelledorders");
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->dsRequestType, 0);
    EXPECT_EQ(second->dsRequestType, 10);
    EXPECT_LT(first->sequence, second->sequence);
    EXPECT_FALSE(pending.take(1023, 42, "getcancelledorders"));

    EXPECT_FALSE(pending.find(1040, 51));
    auto chart = pending.take(1040, 50);
    ASSERT_TRUE(chart);
    EXPECT_EQ(chart->subject, "XAUUSD");
    EXPECT_EQ(chart->interval, "H1");
    EXPECT_EQ(pending.size(), 0u);

    // A value the writer refuses sends nothing and leaves nothing pending.
    SearchInfo bad;
    bad.AccountNumber = "10\x03"
                        "01";
    bad.FromDate = bad.ToDate = WallTime{};
    EXPECT_FALSE(requests.requestFinancialTransactions(bad));
    EXPECT_EQ(pending.size(), 0u);
    EXPECT_EQ(sent().size(), 3u);

    // Unanswered requests do not pile up without end.
    for (std::size_t i = 0; i <= PendingRequests::kMaxPending; ++i) {
        PendingRequest p;
        p.requestId = static_cast<std::int32_t>(i);
        p.messageType = 1023;
        pending.add(p);
    }
    EXPECT_EQ(pending.size(), PendingRequests::kMaxPending);
    EXPECT_FALSE(pending.find(1023, 0));
    EXPECT_TRUE(pending.find(1023, 1));
    pending.clear();
    EXPECT_EQ(pending.size(), 0u);
}

TEST_F(SessionRequestsTest, RequestsFromSeveralThreadsStayWhole) {
    constexpr int kPerThread = 50;
    std::vector<std::thread> threads;
    threads.emplace_back([&] {
        for (int i = 0; i < kPerThread; ++i)
            requests.requestOpenPosition();
    });
    threads.emplace_back([&] {
        for (int i = 0; i < kPerThread; ++i)
            requests.requestEquityPriceInfo(77);
    });
    threads.emplace_back([&] {
        for (int i = 0; i < kPerThread; ++i)
            requests.requestRecentConversation();
    });
    for (auto& t : threads)
        t.join();

    const std::string open = asciiFrame(body(
        "10=1023|151=getopenpositions|152=1000|153=1|20=42|115=9001|23=jdoe|19=REF77|21=20240315093000"));
    const std::string equity = asciiFrame(body("10=1023|151=getequityhitpriceinfo|152=1000|160=0|153=1|20=42|"
                                               "34=77|115=9001|23=jdoe|19=REF77|21=20240315093000"));
    const std::string recent = asciiFrame(body("10=626|23=jdoe|504=jdoe|19=REF77|21=20240315093000"));
    int opens = 0, equities = 0, recents = 0;
    for (const RequestMessage& r : sent()) {
        if (r.message == open)
            ++opens;
        else if (r.message == equity)
            ++equities;
        else if (context.capture.opened(r) == recent)
            ++recents;
    }
    EXPECT_EQ(opens, kPerThread);
    EXPECT_EQ(equities, kPerThread);
    EXPECT_EQ(recents, kPerThread);
    EXPECT_EQ(requests.pendingRequests().size(), 2u * kPerThread);
}

} // namespace
