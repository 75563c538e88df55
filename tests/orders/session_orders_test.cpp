// The order side of a session: its floating figures as the session ends (a lost stream values the
// positions once more at the quotes held, so the price a grid shows and the figures worked from it
// freeze together), and the answers it tells the request that waits for them.
#include "order_fixture.h"
#include "orders/session_orders.h"
#include "platform/clock.h"
#include "platform/dispatch.h"
#include "support/wire_text.h"
#include "wire/wire_names.h"

namespace tc {
namespace {

class SessionOrdersFigures : public OrderFixture {};

TEST_F(SessionOrdersFigures, ALostStreamFreezesTheFiguresAtTheLastQuotesHeld) {
    const auto buy = position(0, "1", "1.2000");
    SessionOrders orders(host);
    orders.loginPhaseChanged(LoginPhase::SignedIn);
    orders.refreshFloatingFigures();
    const double atRefresh = buy->UnrealisedPL;
    // A quote after the last one-second refresh, then the stream goes.
    item->Bid = 1.2100_cdec;
    item->Ask = 1.2110_cdec;
    orders.loginPhaseChanged(LoginPhase::Lost);
    EXPECT_NEAR(buy->UnrealisedPL - atRefresh, 1000.0, 1e-6); // 0.0100 on 100,000 units
    EXPECT_DOUBLE_EQ(account->UnrealisedPL, buy->UnrealisedPL);

    // A session that ends on purpose leaves the figures as they were.
    item->Bid = 1.2200_cdec;
    orders.loginPhaseChanged(LoginPhase::SignedIn);
    const double held = buy->UnrealisedPL;
    orders.loginPhaseChanged(LoginPhase::SignedOut);
    EXPECT_DOUBLE_EQ(buy->UnrealisedPL, held);
}

// The answers told, one line each: "<request>:done|rejected/<code>/<reason>".
class RecordedAnswers final : public SessionEventSink {
public:
    void requestAnswered(std::uint64_t request, bool rejected, const std::string& code,
                         const std::string& reason, bool, const std::string&, const std::string&,
                         const std::string& whatIsKnown, bool) override {
        if (!whatIsKnown.empty()) {
            log.push_back(std::to_string(request) + ":not known/" + whatIsKnown);
            return;
        }
        log.push_back(std::to_string(request) + (rejected ? ":rejected/" + code : ":done/0") + "/" + reason);
    }
    std::vector<std::string> log;
};

TEST_F(OrderFixture, AnOffsetAnswerAnswersItsOffsetWithTheReasonOnlyWhenRefused) {
    // A session whose number allows offsets.
    auto offsets = std::make_shared<SessionSettings>(*tradingSession);
    offsets->settingsID = 1;
    model.fileSessionSettings(offsets);
    item->CurrentTradeSessionSettingId = 1;
    RecordedAnswers answers;
    host.eventSink = &answers;
    SessionOrders orders(host);
    const auto offset = [&] {
        const OrderAnswer sent = orders.requests().PlaceOffsetOrder(
            testing_support::wireText("P1<C>1<R><S>P2<C>1<R><S>"), "EURUSD", "1001");
        EXPECT_TRUE(sent);
        return std::to_string(sent.request);
    };
    const auto answer = [&](std::int32_t code) {
        const std::vector<std::string> fields{"10=1052", "74=" + std::to_string(code)};
        ExecutionReport report(wire::msg::kCloseHedged, fields);
        report.rejectionCode = code;
        orders.executionReport(report);
    };
    const std::string refused = offset();
    answer(12);
    const std::string done = offset();
    answer(0);
    EXPECT_NE(refused, done);
    EXPECT_EQ(answers.log, (std::vector<std::string>{refused + ":rejected/12/" +
                                                         orders.collections().GetOrderRejectionReason(12),
                                                     done + ":done/0/"}));
    // It files nothing: the offset's settlements come as reports of their own.
    EXPECT_TRUE(model.PendingOrderCollection.empty() && model.CancelledOrderCollection.empty());
    EXPECT_TRUE(host.tables.empty());

    // Two offsets of one account and instrument waiting: the answers name neither, and differ. Each is
    // told its outcome is not known, with what the server did to the two, and the Journal keeps it once
    // (its text names both).
    answers.log.clear();
    host.journal.clear();
    const std::string first = offset(), second = offset();
    answer(0);
    EXPECT_TRUE(answers.log.empty()) << "told before the other's answer came";
    answer(12);
    // Texts by their keys here: what the server did to the two (97601), the Journal's line (97603).
    EXPECT_EQ(answers.log,
              (std::vector<std::string>{first + ":not known/97601", second + ":not known/97601"}));
    ASSERT_EQ(host.journal.size(), 1u);
    EXPECT_TRUE(host.journal[0].ends_with("97603")) << host.journal[0];
}

// Two edits of one position sent together, both carried out: the second left the stop loss where the
// first asks it, so no report tells whose the stop loss's report was. The session tells the other "not
// known" once the server has answered on for the held wait, in the text that says nothing more came (the
// lost line's is another), and it stays for its own reports.
TEST_F(OrderFixture, AReportHeldPastTheWaitIsToldNotKnownWithNoLineLost) {
    const auto clock = std::make_shared<platform::ManualClock>(std::chrono::steady_clock::now());
    const platform::ScopedClock scoped(clock);
    platform::RunLoop::main().bindToCurrentThread();
    platform::RunLoop::main().discardPending();
    auto p = position(0, "1", "1.1950");
    p->OpenPositionId = "P1";
    p->timeInForce = 1;
    p->LimitPrice = 1.2100_cdec;
    RecordedAnswers answers;
    host.eventSink = &answers;
    SessionOrders orders(host);
    const auto moveBoth = orders.requests().EditPositionBrackets("P1", 1.2200_cdec, 1.1900_cdec);
    const auto stopLoss = orders.requests().EditPositionBrackets("P1", 1.2100_cdec, 1.1900_cdec);
    ASSERT_TRUE(moveBoth) << moveBoth.key;
    ASSERT_TRUE(stopLoss) << stopLoss.key;
    const std::string first = std::to_string(moveBoth.request), second = std::to_string(stopLoss.request);
    const auto report = [&](std::vector<std::string> fields) {
        orders.executionReport(ExecutionReport(wire::msg::kExecutionReport, fields));
    };
    report({"10=62", "73=28", "33=42", "32=31", "38=1.1900", "79=310002", "573=P1"});
    report({"10=62", "73=75", "33=42", "32=30", "38=1.2200", "79=310001", "573=P1"});
    EXPECT_EQ(answers.log, (std::vector<std::string>{first + ":done/0/"}));
    for (int s = 0; s < 65; ++s) {
        clock->advance(std::chrono::seconds(1));
        while (platform::RunLoop::main().runOnce() > 0) {
        }
    }
    EXPECT_EQ(answers.log, (std::vector<std::string>{first + ":done/0/", second + ":not known/98402"}));
    // It stays, given up: its own refusal, late, is still its own.
    EXPECT_EQ(orders.requests().inFlight().waiting(), 1u);
    const std::vector<std::string> refused{"10=62", "73=25", "33=42", "74=1", "79=", "573=P1"};
    ExecutionReport refusal(wire::msg::kExecutionReport, refused);
    refusal.rejectionCode = 1;
    orders.executionReport(refusal);
    ASSERT_EQ(answers.log.size(), 3u);
    EXPECT_TRUE(answers.log[2].starts_with(second + ":rejected/1/")) << answers.log[2];
    EXPECT_EQ(orders.requests().inFlight().waiting(), 0u);
    platform::RunLoop::main().discardPending();
}

} // namespace
} // namespace tc
