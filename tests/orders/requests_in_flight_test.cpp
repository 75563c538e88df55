// Which report answers which order request: the one it names most exactly, whatever order the
// server answers in.
#include "orders/requests_in_flight.h"
#include "session/business/business_services.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace tc;
using Kind = RequestsInFlight::Kind;

platform::Decimal dec(std::string_view text) {
    return platform::Decimal::fromString(text).value_or(platform::Decimal());
}

RequestsInFlight::Request newOrder(std::string text, std::int64_t number, std::string code, int side,
                                   std::string_view qty) {
    RequestsInFlight::Request r;
    r.kind = Kind::NewOrder;
    r.description = std::move(text);
    r.requestNumber = number;
    r.instrument = std::move(code);
    r.side = side;
    r.quantity = dec(qty);
    return r;
}

RequestsInFlight::Request on(Kind kind, std::string text, std::string target, std::int64_t number) {
    RequestsInFlight::Request r;
    r.kind = kind;
    r.description = std::move(text);
    r.targets = {std::move(target)};
    r.requestNumber = number;
    return r;
}

class RequestsInFlightTest : public ::testing::Test {
protected:
    // The description of the request the report answered ("" for none), and whether it was given up.
    std::string answer(std::int64_t type, std::vector<std::string> fields, bool* late = nullptr) {
        reports.push_back(std::move(fields));
        const auto answered = list.answered(ExecutionReport(type, reports.back()));
        if (late)
            *late = answered && answered->givenUp;
        return answered ? answered->description : std::string();
    }

    RequestsInFlight list;
    std::vector<std::vector<std::string>> reports; // alive while the list reads them
};

TEST_F(RequestsInFlightTest, ACloseAndANewOrderOfOneNumberAnsweredOutOfOrderEachTakeTheirOwn) {
    list.sent(on(Kind::Close, "close", "900001", 42));
    list.sent(newOrder("order", 42, "GBPUSD", 0, "1"));
    // The order's reports come first: its pending order and its fill name no position held.
    EXPECT_EQ(answer(62, {"10=62", "73=28", "33=42", "12=GBPUSD", "36=45", "37=1.00000000", "79=100007"}),
              "order");
    EXPECT_EQ(answer(62, {"10=62", "73=23", "33=42", "12=GBPUSD", "36=45", "37=1", "79=100007"}), "");
    EXPECT_EQ(answer(67, {"10=67", "73=74", "33=42", "12=GBPUSD", "79=100007", "80=100009", "37=1"}), "");
    // The close's rejection names its position.
    EXPECT_EQ(answer(62, {"10=62", "73=25", "33=42", "12=EURUSD", "74=11", "79=", "125=900001"}), "close");
    EXPECT_EQ(list.waiting(), 0u);
}

TEST_F(RequestsInFlightTest, AnEditAndACloseOfOnePositionEachTakeTheReportOfTheirKind) {
    list.sent(on(Kind::PositionEdit, "edit", "900001", 42));
    list.sent(on(Kind::Close, "close", "900001", 42));
    // The server closes first: the closing deal, the position's update and its settlement.
    EXPECT_EQ(answer(67, {"10=67", "73=74", "80=100011", "79=100010", "37=1"}), "");
    EXPECT_EQ(answer(67, {"10=67", "73=73", "80=900001", "76=0"}), "close");
    EXPECT_EQ(answer(66, {"10=66", "80=900001", "12=1"}), "");
    // Then refuses the edit of a position no longer held.
    EXPECT_EQ(answer(62, {"10=62", "73=25", "33=42", "74=15", "79=", "573=900001"}), "edit");

    // A leg's cancellation answers an edit only when the edit takes a leg off.
    list.sent(on(Kind::PositionEdit, "take profit", "300001", 43));
    EXPECT_EQ(answer(62, {"10=62", "73=24", "79=310002", "573=300001"}), "");
    auto off = on(Kind::PositionEdit, "no take profit", "300001", 44);
    off.removesLeg = true;
    list.sent(off);
    EXPECT_EQ(answer(62, {"10=62", "73=24", "79=310002", "573=300001"}), "no take profit");
    // A report of another request's number is not this one's.
    EXPECT_EQ(answer(62, {"10=62", "73=75", "33=44", "79=310003", "573=300001"}), "");
    EXPECT_EQ(answer(62, {"10=62", "73=28", "33=43", "79=310003", "573=300001"}), "take profit");
}

TEST_F(RequestsInFlightTest, ACloseAllRefusedAsAWholeIsAnsweredByItsNumberAlone) {
    auto closeAll = on(Kind::CloseAll, "close all", "900001", 50);
    closeAll.targets.push_back("900002");
    list.sent(closeAll);
    list.sent(newOrder("order", 51, "GBPUSD", 0, "1"));
    // A rejection of another number or of none, or of an order (it names its instrument), is not the
    // close-all's.
    EXPECT_EQ(answer(62, {"10=62", "73=25", "33=49", "74=1", "79=700001"}), "");
    EXPECT_EQ(answer(62, {"10=62", "73=25", "74=1", "79=700003"}), "");
    EXPECT_EQ(answer(62, {"10=62", "73=25", "33=50", "12=GBPUSD", "74=1", "79="}), "");
    // The refusal of the whole request names no position, only its number.
    EXPECT_EQ(answer(62, {"10=62", "73=25", "33=50", "74=1", "79=700002"}), "close all");
    EXPECT_EQ(list.waiting(), 1u);
}

TEST_F(RequestsInFlightTest, TwoOrdersOfOneNumberAreToldApartByWhatTheirReportsName) {
    list.sent(newOrder("buy 1 EURUSD", 42, "EURUSD", 0, "1"));
    list.sent(newOrder("buy 2 EURUSD", 42, "EURUSD", 0, "2"));
    list.sent(newOrder("sell 2 EURUSD", 42, "EURUSD", 1, "2"));
    EXPECT_EQ(answer(62, {"10=62", "73=28", "33=42", "12=EURUSD", "36=46", "37=2", "79=7"}), "sell 2 EURUSD");
    EXPECT_EQ(answer(62, {"10=62", "73=28", "33=42", "12=EURUSD", "36=45", "37=2", "79=8"}), "buy 2 EURUSD");
    // Later reports of an order that answered its request answer no other of that number.
    EXPECT_EQ(answer(62, {"10=62", "73=23", "33=42", "12=EURUSD", "79=8"}), "");
    EXPECT_EQ(answer(67, {"10=67", "73=74", "33=42", "12=EURUSD", "79=8", "80=9", "37=1"}), "");
    // A rejection naming a position no request waits for is no answer to a new order of its number.
    EXPECT_EQ(answer(62, {"10=62", "73=25", "33=42", "12=EURUSD", "74=11", "125=555"}), "");
    const std::vector<std::string> left = list.takeUnanswered();
    EXPECT_EQ(left, std::vector<std::string>{"buy 1 EURUSD"});
}

TEST_F(RequestsInFlightTest, AGivenUpRequestIsAnsweredOnlyByAReportThatNamesItAndToldAsLate) {
    const std::uint64_t first = list.sent(on(Kind::PositionEdit, "first edit", "300001", 42));
    list.giveUp(first);
    EXPECT_TRUE(list.isWaiting(first)) << "its answer must still find it";
    list.sent(on(Kind::PositionEdit, "second edit", "300001", 43));
    bool late = true;
    // The second edit's answer, and an answer carrying no number, go to the edit still waited for.
    EXPECT_EQ(answer(62, {"10=62", "73=75", "33=43", "79=310002", "573=300001"}, &late), "second edit");
    EXPECT_FALSE(late);
    EXPECT_EQ(answer(62, {"10=62", "73=75", "33=42", "79=310002", "573=300001"}, &late), "first edit");
    EXPECT_TRUE(late);

    // A given-up new order: only a report naming its instrument, side and quantity all.
    list.giveUp(list.sent(newOrder("order", 50, "EURUSD", 0, "1")));
    EXPECT_EQ(answer(62, {"10=62", "73=25", "33=50", "12=EURUSD", "74=11", "79="}), "");
    EXPECT_EQ(answer(62, {"10=62", "73=28", "33=50", "12=EURUSD", "36=45", "37=1", "79=77"}, &late), "order");
    EXPECT_TRUE(late);
    EXPECT_EQ(list.waiting(), 0u);
}

} // namespace
