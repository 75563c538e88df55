#include "orders/execution_reports.h"

#include "client/headless_application.h"
#include "fake_order_host.h"
#include "model/records/account_details.h"
#include "model/records/item_details.h"
#include "orders/order_collections.h"
#include "orders/order_numbers.h"
#include "platform/dispatch.h"
#include "platform/user_defaults.h"
#include "session/business/session_events.h"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// A decimal written in the test; "" is 0.
[[maybe_unused]] tc::platform::Decimal dec(std::string_view text) {
    return tc::platform::Decimal::fromString(text).value_or(tc::platform::Decimal());
}

using namespace tc;

// The close-all window's reports a rejection tells.
class AnswerEvents final : public SessionEventSink {
public:
    void bulkCloseRejected(const std::string& number, const std::string& reason) override {
        log.push_back("bulkClose:" + number + "/" + reason);
    }
    std::vector<std::string> log;
};

// A report's fields, "tag=value" in message order, from "tag=value|...".
std::vector<std::string> fieldsOf(std::string_view text) {
    std::vector<std::string> out;
    for (std::size_t bar; (bar = text.find('|')) != std::string_view::npos; text.remove_prefix(bar + 1))
        out.emplace_back(text.substr(0, bar));
    out.emplace_back(text);
    return out;
}

class ExecutionReportsTest : public ::testing::Test {
protected:
    ExecutionReportsTest() {
        auto item = std::make_shared<ItemDetails>();
        item->Code = "EURUSD";
        item->InstrumentId = 7;
        model.ItemCollection.insert_or_assign("EURUSD", item);
        auto account = std::make_shared<AccountDetails>();
        account->AccountId = 1001;
        model.AccountDetailCollection.insert_or_assign("1001", account);
    }
    void SetUp() override {
        platform::RunLoop::main().bindToCurrentThread();
        platform::RunLoop::main().discardPending();
        host.eventSink = &events;
    }
    void TearDown() override { platform::RunLoop::main().discardPending(); }

    // Applies a report written "tag=value|...", its switch tags read as the session reads them; the
    // session's request number is `requestId`.
    void apply(std::string_view text, std::int32_t requestId = 0) {
        const std::vector<std::string> fields = fieldsOf(text);
        ExecutionReport r(0, fields);
        r.requestId = requestId;
        for (const std::string& f : fields) {
            const std::size_t eq = f.find('=');
            const std::string tag = f.substr(0, eq);
            const std::string value = f.substr(eq + 1);
            if (tag == "10")
                r.type = std::stoll(value);
            else if (tag == "73")
                r.status = std::stoi(value);
            else if (tag == "79")
                r.pendingOrderId = value;
            else if (tag == "573")
                r.bracketPositionId = value;
            else if (tag == "80")
                r.positionId = value;
            else if (tag == "76")
                r.remainingQuantity = strictDecimal(value);
            else if (tag == "125")
                r.offsetOrder = value;
            else if (tag == "74")
                r.rejectionCode = std::stoi(value);
        }
        applyExecutionReport(r, lists, host, &banners);
    }
    std::vector<std::string> pendingIds() const {
        std::vector<std::string> out;
        for (const auto& o : model.PendingOrderCollection)
            out.push_back(o->PendingOrderId.empty() ? "#" + std::to_string(o->RequestId) : o->PendingOrderId);
        return out;
    }
    const Order& openPosition(std::string_view id) const {
        for (const auto& p : model.OpenOrderCollection)
            if (p->OpenPositionId == id)
                return *p;
        throw std::runtime_error("no position " + std::string(id));
    }
    // The position's take profit and stop loss.
    std::string brackets(std::string_view id) const {
        const Order& p = openPosition(id);
        return priceText(p.LimitPrice, 4) + "/" + priceText(p.StopPrice, 4);
    }

    SessionModel model;
    platform::UserDefaults defaults;
    HeadlessApplication app{defaults};
    FakeOrderHost host{model, app};
    SessionEvents banners{app};
    AnswerEvents events;
    OrderCollections lists{host};
};

TEST_F(ExecutionReportsTest, TheListsStandAsEachReportSays) {
    apply("10=67|73=74|34=1001|12=EURUSD|80=P1|37=10|38=1.2000|76=10|72=EP1");
    ASSERT_EQ(model.OpenOrderCollection.size(), 1u);
    EXPECT_EQ(openPosition("P1").RemainingQty, dec("10"));

    // A take profit and a stop loss of the position are stored, and the position shows them.
    apply("10=62|73=28|34=1001|12=EURUSD|79=501|32=30|36=46|37=10|38=1.2500|76=10|117=51|573=P1");
    apply("10=62|73=28|34=1001|12=EURUSD|79=502|32=31|36=46|37=10|38=1.1500|76=10|117=51|573=P1");
    EXPECT_EQ(pendingIds(), (std::vector<std::string>{"501", "502"}));
    EXPECT_EQ(brackets("P1"), "1.2500/1.1500");

    // Edited: the order and the position follow the new price.
    apply("10=62|73=75|34=1001|12=EURUSD|79=501|32=30|36=46|37=10|38=1.2600|76=10|117=51|573=P1");
    EXPECT_EQ(model.PendingOrderCollection[0]->OrderPrice, dec("1.2600"));
    EXPECT_EQ(brackets("P1"), "1.2600/1.1500");

    // Cancelled without naming the position: the removed order's own reference clears its leg, and
    // the cancelled list holds what was still open.
    apply("10=62|73=24|34=1001|12=EURUSD|79=502|32=31|37=10|38=1.1500|76=10", 17);
    EXPECT_EQ(pendingIds(), std::vector<std::string>{"501"});
    ASSERT_EQ(model.CancelledOrderCollection.size(), 1u);
    EXPECT_EQ(model.CancelledOrderCollection[0]->PendingOrderId, "502");
    EXPECT_EQ(model.CancelledOrderCollection[0]->OrderQty, dec("10"));
    EXPECT_EQ(brackets("P1"), "1.2600/");

    // Filled: the order leaves the pending list and its leg the position, which the position
    // report then reduces; the settlement is filed once.
    apply("10=62|73=23|34=1001|12=EURUSD|79=501|32=30|37=10|38=1.2600|76=0|573=P1");
    EXPECT_TRUE(model.PendingOrderCollection.empty());
    EXPECT_EQ(brackets("P1"), "/");
    apply("10=67|73=73|34=1001|12=EURUSD|80=P1|37=10|38=1.2000|76=4");
    EXPECT_EQ(openPosition("P1").RemainingQty, dec("4"));
    apply("10=66|34=1001|12=7|80=P1|87=C1|86=S1|88=60|89=6");
    ASSERT_EQ(model.SettledOrderCollection.size(), 1u);
    EXPECT_EQ(model.SettledOrderCollection[0]->SettledQty, dec("6"));

    // A status the switch does not know changes nothing.
    apply("10=62|73=21|34=1001|12=EURUSD|79=503|32=30|37=1|38=1.3|76=1");
    EXPECT_TRUE(model.PendingOrderCollection.empty());
    EXPECT_EQ(model.CancelledOrderCollection.size(), 1u);
    EXPECT_TRUE(events.log.empty());
}

TEST_F(ExecutionReportsTest, ARejectionIsMatchedByIdOrRequestNumberAndToldAsEventsAndABanner) {
    apply("10=67|73=74|34=1001|12=EURUSD|80=P7|37=1|38=1.2000|76=1|72=EP7");
    // The local record of a request not yet stored, and a stored take profit of P7.
    auto local = std::make_shared<Order>();
    local->RequestId = 80;
    local->AccountNumber = "1001";
    local->ItemCode = "EURUSD";
    model.PendingOrderCollection.push_back(local);
    apply("10=62|73=28|34=1001|12=EURUSD|79=503|32=30|36=46|37=1|38=1.2500|76=1|117=51|573=P7");
    ASSERT_EQ(brackets("P7"), "1.2500/");

    // A close's refusal (naming the position) leaves the new order's record of the same pass.
    apply("10=62|73=25|74=3|125=C1", 80);
    EXPECT_EQ(pendingIds(), (std::vector<std::string>{"#80", "503"}));
    EXPECT_TRUE(model.CancelledOrderCollection.empty());
    // Naming no order and no position: matched by the request number.
    apply("10=62|73=25|74=3", 80);
    EXPECT_EQ(pendingIds(), std::vector<std::string>{"503"});
    ASSERT_EQ(model.CancelledOrderCollection.size(), 1u);
    EXPECT_EQ(model.CancelledOrderCollection[0], local);
    // With one and the position it protects: the order goes and so does the position's leg.
    apply("10=62|73=25|79=503|74=4|32=30|38=1.2500|573=P7", 81);
    EXPECT_TRUE(model.PendingOrderCollection.empty());
    EXPECT_EQ(model.CancelledOrderCollection.size(), 2u);
    EXPECT_EQ(brackets("P7"), "/");

    const std::string reason3 = lists.GetOrderRejectionReason(3);
    const std::string reason4 = lists.GetOrderRejectionReason(4);
    EXPECT_EQ(events.log, (std::vector<std::string>{"bulkClose:C1/" + reason3, "bulkClose:/" + reason3,
                                                    "bulkClose:/" + reason4}));
    // The banners wait for the main queue.
    EXPECT_TRUE(app.callsNamed("showMessageBanner").empty());
    while (platform::RunLoop::main().runOnce() > 0) {
    }
    const auto shown = app.callsNamed("showMessageBanner");
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_NE(shown[0].args.at(0).find(reason3), std::string::npos);
}

// The exchange's refusal (826) of a new order, as the server sends it, is a refusal as the server's
// own (25) is: the record kept since the order was sent leaves the pending list, and a refusal of a
// close sent in the same pass leaves the new order's record alone.
TEST_F(ExecutionReportsTest, ANewOrderRefusedByTheExchangeLeavesNoPendingOrder) {
    const auto sent = [&](std::int32_t request, const std::string& instrument) {
        auto order = std::make_shared<Order>();
        order->RequestId = request;
        order->AccountNumber = "1001";
        order->ItemCode = instrument;
        model.PendingOrderCollection.push_back(order);
    };
    const auto refusal = [](int status, int request, const std::string& instrument) {
        return "10=62|73=" + std::to_string(status) + "|21=20240131090000|33=" + std::to_string(request) +
               "|34=1001|12=" + instrument + "|74=1|78=20240131090000|79=";
    };
    auto item = std::make_shared<ItemDetails>();
    item->Code = "XAUUSD";
    model.ItemCollection.insert_or_assign("XAUUSD", item);
    sent(41, "EURUSD");
    sent(42, "EURUSD");
    sent(42, "XAUUSD");
    apply(refusal(826, 41, "EURUSD"), 41);
    EXPECT_EQ(pendingIds(), (std::vector<std::string>{"#42", "#42"}));
    // A close of the same pass refused at the exchange names its position.
    apply(refusal(826, 42, "EURUSD") + "|125=P3", 42);
    EXPECT_EQ(pendingIds(), (std::vector<std::string>{"#42", "#42"}));
    apply(refusal(826, 42, "XAUUSD"), 42);
    ASSERT_EQ(model.PendingOrderCollection.size(), 1u);
    EXPECT_EQ(model.PendingOrderCollection[0]->ItemCode, "EURUSD");
    apply(refusal(25, 42, "EURUSD"), 42);
    EXPECT_TRUE(model.PendingOrderCollection.empty());
    std::vector<std::string> rejected;
    for (const auto& order : model.CancelledOrderCollection)
        rejected.push_back(order->ItemCode + "#" + std::to_string(order->RequestId));
    EXPECT_EQ(rejected, (std::vector<std::string>{"EURUSD#41", "XAUUSD#42", "EURUSD#42"}));
}

} // namespace
