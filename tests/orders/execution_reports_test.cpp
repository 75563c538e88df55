#include "orders/execution_reports.h"

#include "client/headless_application.h"
#include "fake_order_host.h"
#include "platform/dispatch.h"
#include "platform/user_defaults.h"
#include "session/business/session_events.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using namespace tc;

// The lists' calls, in order, as texts.
class RecordingLists final : public OrderCollectionHandlers {
public:
    void FillPendingOrderCollection(const Fields&, const std::string& id) override {
        log.push_back("FillPending:" + id);
    }
    void UpdatePendingOrderCollection(const Fields&, const std::string& id) override {
        log.push_back("UpdatePending:" + id);
    }
    void RemovePendingOrder(const std::string& id, bool byPendingId) override {
        log.push_back("RemovePending:" + id + (byPendingId ? "/pending" : "/request"));
    }
    void FillCancelledOrderCollection(std::int64_t id, int status, const Fields&) override {
        log.push_back("FillCancelled:" + std::to_string(id) + "/" + std::to_string(status));
    }
    void FillOpenOrderCollection(const Fields&) override { log.push_back("FillOpen"); }
    void UpdateOpenOrderCollection(const std::string& id, const Fields&, const std::string& rest) override {
        log.push_back("UpdateOpen:" + id + "/" + rest);
    }
    void ModifyBracketOrderUpdateonOpenOrderCollection(const Fields&, const std::optional<std::string>& ref,
                                                       int status) override {
        log.push_back("Bracket:" + ref.value_or("none") + "/" + std::to_string(status));
    }
    void FillSettledOrderCollection(const Fields&) override { log.push_back("FillSettled"); }
    std::string GetOrderRejectionReason(std::int32_t code) override {
        return "reason " + std::to_string(code);
    }
    std::optional<std::string> refPositionIdOfRemovedPendingOrder(const std::string& id) override {
        log.push_back("LookupRef:" + id);
        return "P" + id;
    }
    void clearBracketOfRejectedOrder(const std::string& id) override { log.push_back("ClearBracket:" + id); }
    std::vector<std::string> log;
};

// The typed events a rejection and an offset answer tell.
class AnswerEvents final : public SessionEventSink {
public:
    void orderRejected(std::int32_t code, const std::string& text, const std::string& number) override {
        log.push_back("rejected:" + std::to_string(code) + "/" + text + "/" + number);
    }
    void bulkCloseRejected(const std::string& number, const std::string& reason) override {
        log.push_back("bulkClose:" + number + "/" + reason);
    }
    void offsetAnswered(std::int32_t code, const std::string& reason) override {
        log.push_back("offset:" + std::to_string(code) + "/" + reason);
    }
    std::vector<std::string> log;
};

class ExecutionReportsTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::RunLoop::main().bindToCurrentThread();
        platform::RunLoop::main().discardPending();
        host.eventSink = &events;
    }
    void TearDown() override { platform::RunLoop::main().discardPending(); }

    // A report of `type` and status 73 with the tags the switch reads.
    void apply(std::int64_t type, int status, std::string id79 = {}, std::optional<std::string> ref573 = {},
               std::int32_t requestId = 0, std::int32_t code = 0, std::string number125 = {}) {
        ExecutionReport r(type, fields);
        r.status = status;
        r.pendingOrderId = std::move(id79);
        r.bracketPositionId = std::move(ref573);
        r.requestId = requestId;
        r.rejectionCode = code;
        r.offsetOrder = std::move(number125);
        applyExecutionReport(r, lists, host, &banners);
    }

    const std::vector<std::string> fields{"10=62"};
    SessionModel model;
    platform::UserDefaults defaults;
    HeadlessApplication app{defaults};
    FakeOrderHost host{model, app};
    SessionEvents banners{app};
    AnswerEvents events;
    RecordingLists lists;
};

TEST_F(ExecutionReportsTest, EachStatusFilesItsListsInTheSwitchOrder) {
    apply(62, 28, "501", "P9");
    apply(62, 24, "502", std::nullopt, 77);
    apply(62, 22, "505", "P1");
    apply(62, 23, "506");
    apply(62, 26, "", "P2");
    apply(62, 21, "504");
    ExecutionReport position(67, fields);
    position.status = 73;
    position.positionId = "900";
    position.remainingQuantity = "0";
    applyExecutionReport(position, lists, host, &banners);
    position.status = 74;
    applyExecutionReport(position, lists, host, &banners);
    applyExecutionReport(ExecutionReport(66, fields), lists, host, &banners);
    const std::vector<std::string> expected = {
        "FillPending:501", "Bracket:P9/28",
        // Cancelled: the bracket reference comes from the removed order when the report lacks it.
        "RemovePending:502/pending", "FillCancelled:77/24", "LookupRef:502", "Bracket:P502/24",
        "UpdatePending:505", "Bracket:P1/22", "RemovePending:506/pending", "Bracket:none/23", "Bracket:P2/26",
        "UpdateOpen:900/0", "FillOpen", "FillSettled"};
    EXPECT_EQ(lists.log, expected);
    EXPECT_TRUE(events.log.empty());
}

TEST_F(ExecutionReportsTest, ARejectionIsMatchedByIdOrRequestNumberAndToldAsEventsAndABanner) {
    // Without a pending-order id: matched by the request number, its bracket cleared.
    apply(62, 25, "", std::nullopt, 80, 3, "C1");
    // With one and a bracket reference: that position's bracket follows the rejection.
    apply(62, 25, "503", "P7", 81, 4);
    const std::vector<std::string> expected = {
        "FillCancelled:80/25",  "RemovePending:80/request",  "ClearBracket:",
        "FillCancelled:503/25", "RemovePending:503/pending", "Bracket:P7/25"};
    EXPECT_EQ(lists.log, expected);
    EXPECT_EQ(events.log, (std::vector<std::string>{"rejected:3/reason 3/C1", "bulkClose:C1/reason 3",
                                                    "rejected:4/reason 4/", "bulkClose:/reason 4"}));
    // The banners wait for the main queue.
    EXPECT_TRUE(app.callsNamed("showMessageBanner").empty());
    while (platform::RunLoop::main().runOnce() > 0) {
    }
    const auto shown = app.callsNamed("showMessageBanner");
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_NE(shown[0].args.at(0).find("reason 3"), std::string::npos);
}

TEST_F(ExecutionReportsTest, AnOffsetAnswerIsAnEventWithTheReasonOnlyWhenRefused) {
    apply(1052, 0, "", std::nullopt, 0, 12);
    apply(1052, 0);
    EXPECT_EQ(events.log, (std::vector<std::string>{"offset:12/reason 12", "offset:0/"}));
    EXPECT_TRUE(lists.log.empty());
}

} // namespace
