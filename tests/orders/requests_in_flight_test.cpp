// Which report answers which order request: the one it names most exactly, whatever order the
// server answers in.
#include "orders/requests_in_flight.h"
#include "platform/clock.h"
#include "session/business/business_services.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace tc;
using Kind = RequestsInFlight::Kind;

platform::Decimal dec(std::string_view text) {
    return platform::Decimal::fromString(text).value_or(platform::Decimal());
}

RequestsInFlight::Request newOrder(std::string text, std::int64_t number, std::string code, int side,
                                   std::string_view qty, std::string account = {}) {
    RequestsInFlight::Request r;
    r.kind = Kind::NewOrder;
    r.account = std::move(account);
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

// An edit of 300001's legs, of request number 42 (none: a leg not asked for).
RequestsInFlight::Request legsOf(std::string text, std::optional<std::string_view> takeProfit,
                                 std::optional<std::string_view> stopLoss) {
    auto r = on(Kind::PositionEdit, std::move(text), "300001", 42);
    r.editedTo.emplace();
    if (takeProfit)
        r.editedTo->takeProfit = dec(*takeProfit);
    if (stopLoss)
        r.editedTo->stopLoss = dec(*stopLoss);
    return r;
}

RequestsInFlight::Request offset(std::string text, std::string account, std::string code) {
    RequestsInFlight::Request r;
    r.kind = Kind::Offset;
    r.description = std::move(text);
    r.account = std::move(account);
    r.instrument = std::move(code);
    return r;
}

class RequestsInFlightTest : public ::testing::Test {
protected:
    // The description of the request the report answered ("" for none), and whether it was given up.
    std::string answer(std::int64_t type, std::vector<std::string> fields, bool* late = nullptr) {
        reports.push_back(std::move(fields));
        const auto answered = list.answered(ExecutionReport(type, reports.back()));
        if (late)
            *late = answered && answered->request.givenUp;
        return answered ? answered->request.description : std::string();
    }

    // The whole answer: the request, the position of a close-all, the outcome.
    std::optional<RequestsInFlight::Answered> answerOf(std::int64_t type, std::vector<std::string> fields,
                                                       std::int32_t code = 0) {
        reports.push_back(std::move(fields));
        ExecutionReport report(type, reports.back());
        report.rejectionCode = code;
        return list.answered(report);
    }

    // Everything one report told: the held reports it settled, and its own answer.
    std::vector<RequestsInFlight::Answered> toldWith(std::optional<RequestsInFlight::Answered> a) {
        std::vector<RequestsInFlight::Answered> told = list.takeGivenBack();
        if (a)
            told.push_back(std::move(*a));
        return told;
    }

    // The server closing a whole position for a close-all: its update, then its settlement, each with
    // what it told.
    std::vector<RequestsInFlight::Answered> closingOf(const std::string& position) {
        std::vector<RequestsInFlight::Answered> told =
            toldWith(answerOf(67, {"10=67", "73=73", "76=0", "80=" + position}));
        for (auto& t : toldWith(answerOf(66, {"10=66", "12=1", "80=" + position, "87=9" + position})))
            told.push_back(std::move(t));
        return told;
    }

    RequestsInFlight list;
    std::vector<std::vector<std::string>> reports; // alive while the list reads them
};

// The shape of every waiting list's rule test: requests sent in order, the first given up, then the
// server's answers in the order it took them; each answer goes to the oldest request it can answer
// within each step, given up or not, and only the given-up one is told as late.
struct RuleCase {
    const char* name;
    std::vector<RequestsInFlight::Request> sent; // the first is given up
    std::vector<std::pair<std::int64_t, std::vector<std::string>>> answers;
    std::vector<std::string> taken; // the request each answer went to, in order
};

TEST_F(RequestsInFlightTest, WithinEachStepTheOldestTakesTheAnswerGivenUpOrNot) {
    const std::vector<RuleCase> cases{
        // An offset of EURUSD (its market closed meanwhile), given up, then one of GBPUSD.
        {"offsets of two instruments",
         {offset("A", "20003", "EURUSD"), offset("B", "20003", "GBPUSD")},
         {{1052, {"10=1052", "34=20003", "12=EURUSD", "74=1065"}},
          {1052, {"10=1052", "34=20003", "12=GBPUSD", "74=0"}}},
         {"A", "B"}},
        // An answer naming another account's offset is that one's, whatever is older.
        {"offsets of two accounts",
         {offset("A", "20001", "EURUSD"), offset("B", "20003", "EURUSD")},
         {{1052, {"10=1052", "34=20003", "12=EURUSD", "74=0"}},
          {1052, {"10=1052", "34=20001", "12=EURUSD", "74=0"}}},
         {"B", "A"}},
        // Two take-profit edits of one position; the late answer carries no number.
        {"edits answered without a number",
         {on(Kind::PositionEdit, "A", "300001", 42), on(Kind::PositionEdit, "B", "300001", 43)},
         {{62, {"10=62", "73=75", "79=310002", "573=300001"}},
          {62, {"10=62", "73=75", "79=310002", "573=300001"}}},
         {"A", "B"}},
    };
    for (const RuleCase& c : cases) {
        SCOPED_TRACE(c.name);
        RequestsInFlight fresh;
        std::vector<std::uint64_t> numbers;
        for (const auto& r : c.sent)
            numbers.push_back(fresh.sent(r));
        fresh.giveUp(numbers.front());
        std::vector<std::string> taken;
        for (const auto& [type, fields] : c.answers) {
            const ExecutionReport report(type, fields);
            const auto answered = fresh.answered(report);
            ASSERT_TRUE(answered);
            EXPECT_EQ(answered->request.givenUp, answered->request.description == "A");
            taken.push_back(answered->request.description);
        }
        EXPECT_EQ(taken, c.taken);
        EXPECT_EQ(fresh.waiting(), 0u);
    }
}

// A close-all of 300001 and 300002 and a close of 300001. The server closes 300001 for the one it
// takes first and refuses it to the other (the position no longer exists, code 15); the close-all
// closes 300002 as well. Its reports as the test server writes them: a position's closing deal,
// update and settlement name no request number (with `closeNumbered`, a server that repeats the
// close's number in them), a close's refusal names its number and position, a close-all's refusal of
// a position names the position alone. A close-all of every open position (`everyOpen`) says nothing
// of 300001 when the close took it first.
struct CloseAndCloseAll {
    bool closeAllFirst; // sent first
    bool oneNumber;     // sent in one pass: the two share a request number
    bool inOrder;       // the server takes them in the order sent
    bool givenUp;       // the one sent first given up
    bool closeNumbered;
    bool everyOpen = false;
};

TEST_F(RequestsInFlightTest, ACloseAndACloseAllOfOnePositionAreEachToldWhatTheServerDidToThem) {
    const auto clock = std::make_shared<platform::ManualClock>();
    const platform::ScopedClock scoped(clock);
    using Report = std::pair<std::int64_t, std::vector<std::string>>;
    const auto carriedOut = [](const std::string& position, std::optional<std::int64_t> number) {
        std::vector<Report> reports{{67, {"10=67", "73=74", "79=8" + position, "80=9" + position, "37=1"}},
                                    {67, {"10=67", "73=73", "80=" + position, "76=0"}},
                                    {66, {"10=66", "80=" + position, "87=9" + position, "12=1"}}};
        if (number)
            for (auto& report : reports)
                report.second.push_back("33=" + std::to_string(*number));
        return reports;
    };
    const auto closeRefused = [](std::int64_t number) {
        return Report{62, {"10=62", "73=25", "33=" + std::to_string(number), "74=15", "79=", "125=300001"}};
    };
    const Report closeAllRefused{62, {"10=62", "73=25", "74=15", "79=700001", "125=300001"}};
    std::vector<CloseAndCloseAll> cases;
    for (const bool closeAllFirst : {true, false})
        for (const bool oneNumber : {true, false})
            for (const bool inOrder : {true, false})
                for (const bool givenUp : {false, true}) {
                    cases.push_back({closeAllFirst, oneNumber, inOrder, givenUp, false});
                    cases.push_back({closeAllFirst, oneNumber, inOrder, givenUp, true});
                    cases.push_back({closeAllFirst, oneNumber, inOrder, givenUp, false, true});
                }
    for (const CloseAndCloseAll& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << (c.closeAllFirst ? "close-all first" : "close first") << ", "
                     << (c.oneNumber ? "one number" : "two numbers") << ", "
                     << (c.inOrder ? "in order" : "out of order") << (c.givenUp ? ", given up" : "")
                     << (c.closeNumbered ? ", numbered close reports" : "")
                     << (c.everyOpen ? ", every open position" : ""));
        RequestsInFlight fresh;
        const std::int64_t closeAllNumber = 42, closeNumber = c.oneNumber ? 42 : 43;
        auto closeAll = on(Kind::CloseAll, "close all", "300001", closeAllNumber);
        closeAll.targets.push_back("300002");
        closeAll.closesWhatIsOpen = c.everyOpen;
        const auto close = on(Kind::Close, "close", "300001", closeNumber);
        const std::uint64_t first = fresh.sent(c.closeAllFirst ? closeAll : close);
        fresh.sent(c.closeAllFirst ? close : closeAll);
        if (c.givenUp)
            fresh.giveUp(first);
        // The server's turns: whichever it takes first closes 300001.
        std::vector<Report> closeTurn, closeAllTurn;
        const bool closeTakenFirst = c.closeAllFirst != c.inOrder;
        if (closeTakenFirst) {
            closeTurn = carriedOut("300001", c.closeNumbered ? std::optional(closeNumber) : std::nullopt);
            if (!c.everyOpen)
                closeAllTurn = {closeAllRefused};
        } else {
            closeAllTurn = carriedOut("300001", std::nullopt);
            closeTurn = {closeRefused(closeNumber)};
        }
        for (const Report& r : carriedOut("300002", std::nullopt))
            closeAllTurn.push_back(r);
        std::vector<Report> reports = closeTakenFirst ? closeTurn : closeAllTurn;
        for (const Report& r : closeTakenFirst ? closeAllTurn : closeTurn)
            reports.push_back(r);

        std::map<std::string, bool> told; // "close", "300001", "300002": done or closed
        bool closeAllFinished = false;
        const auto tell = [&](const RequestsInFlight::Answered& answered) {
            const bool closeAllAnswered = answered.request.description == "close all";
            const std::string of = closeAllAnswered ? answered.position : "close";
            EXPECT_FALSE(told.contains(of)) << of << " told twice";
            told[of] = !answered.rejected;
            EXPECT_EQ(answered.request.givenUp, c.givenUp && (closeAllAnswered == c.closeAllFirst));
            if (closeAllAnswered && answered.finished)
                closeAllFinished = true;
        };
        for (const auto& [type, fields] : reports) {
            ExecutionReport report(type, fields);
            report.rejectionCode = type == 62 ? 15 : 0;
            if (const auto answered = fresh.answered(report))
                tell(*answered);
            for (const auto& other : fresh.takeGivenBack())
                tell(other);
        }
        // Nothing more comes while the server answers: a close-all of every open position had nothing
        // of 300001 to say.
        clock->advance(RequestsInFlight::kLeftOverWait);
        for (const auto& other : fresh.takeLeftOver(platform::Clock::currentTime()))
            tell(other);
        // As the server did: the one taken first closed 300001, the other was refused it (a close-all
        // of every open position taken second said nothing of it: it no longer held it).
        EXPECT_EQ(told, (std::map<std::string, bool>{
                            {"close", closeTakenFirst}, {"300001", !closeTakenFirst}, {"300002", true}}));
        EXPECT_TRUE(closeAllFinished);
        EXPECT_EQ(fresh.waiting(), 0u) << "none waits for ever";
    }
}

// An offset updates both positions and settles them in one report naming the first as settled and
// the other as closing it: neither is left waiting for a settlement, which would swallow the one a
// later close of the other position is answered by.
TEST_F(RequestsInFlightTest, AnOffsetsSettlementEndsTheWaitOfBothPositionsItUpdated) {
    list.sent(offset("offset", "20003", "EURUSD"));
    EXPECT_EQ(answer(67, {"10=67", "73=73", "80=500101", "76=0"}), "");
    EXPECT_EQ(answer(67, {"10=67", "73=73", "80=500102", "76=1"}), "");
    EXPECT_EQ(answer(66, {"10=66", "80=500101", "87=500102", "12=1"}), "");
    EXPECT_EQ(answer(1052, {"10=1052", "34=20003", "12=EURUSD", "74=0"}), "offset");
    // A close of what is left of the other, which its settlement alone answers.
    list.sent(on(Kind::Close, "close", "500102", 50));
    EXPECT_EQ(answer(66, {"10=66", "80=500102", "87=500109", "12=1"}), "close");
    EXPECT_EQ(list.waiting(), 0u);
}

// An offset of 500101 against 500102, then a close of 500101 or a close-all of both. The offset's
// updates and settlement name no number and read like a close's, but its settlement names the other
// position as closing the first, where a close's names its closing deal.
TEST_F(RequestsInFlightTest, AnOffsetTakesItsOwnPositionsUpdatesNotACloseSentAfterIt) {
    using Report = std::pair<std::int64_t, std::vector<std::string>>;
    const std::vector<Report> offsetDone{{67, {"10=67", "73=73", "80=500101", "76=0"}},
                                         {67, {"10=67", "73=73", "80=500102", "76=0"}},
                                         {66, {"10=66", "80=500101", "87=500102", "12=1"}},
                                         {1052, {"10=1052", "34=20003", "12=EURUSD", "74=0"}}};
    const std::vector<Report> offsetRefused{
        {62, {"10=62", "73=25", "34=20003", "12=EURUSD", "74=15", "79=700010"}},
        {1052, {"10=1052", "34=20003", "12=EURUSD", "74=15"}}};
    const auto closed = [](const std::string& position) {
        return std::vector<Report>{{67, {"10=67", "73=74", "79=8" + position, "80=9" + position, "37=1"}},
                                   {67, {"10=67", "73=73", "80=" + position, "76=0"}},
                                   {66, {"10=66", "80=" + position, "87=9" + position, "12=1"}}};
    };
    const std::vector<Report> closeRefused{{62, {"10=62", "73=25", "33=50", "74=15", "79=", "125=500101"}}};
    const std::vector<Report> closeAllRefused{{62, {"10=62", "73=25", "74=15", "79=700011", "125=500101"}},
                                              {62, {"10=62", "73=25", "74=15", "79=700012", "125=500102"}}};
    auto closeAllBoth = on(Kind::CloseAll, "close all", "500101", 51);
    closeAllBoth.targets.push_back("500102");
    const auto join = [](std::vector<Report> a, const std::vector<Report>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    struct Case {
        const char* name;
        RequestsInFlight::Request other;
        std::vector<Report> reports;
        std::map<std::string, bool> told; // the offset, the close or each close-all position: done
    };
    const std::vector<Case> cases{
        {"close, in order",
         on(Kind::Close, "close", "500101", 50),
         join(offsetDone, closeRefused),
         {{"offset", true}, {"close", false}}},
        {"close, the other way round",
         on(Kind::Close, "close", "500101", 50),
         join(closed("500101"), offsetRefused),
         {{"offset", false}, {"close", true}}},
        {"close-all, in order",
         closeAllBoth,
         join(offsetDone, closeAllRefused),
         {{"offset", true}, {"500101", false}, {"500102", false}}},
        {"close-all, the other way round",
         closeAllBoth,
         join(join(closed("500101"), closed("500102")), offsetRefused),
         {{"offset", false}, {"500101", true}, {"500102", true}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RequestsInFlight fresh;
        auto offsetting = offset("offset", "20003", "EURUSD");
        offsetting.targets = {"500101", "500102"};
        fresh.sent(offsetting);
        fresh.sent(c.other);
        std::map<std::string, bool> told;
        const auto tell = [&](const RequestsInFlight::Answered& a) {
            const std::string of = a.request.kind == Kind::CloseAll ? a.position : a.request.description;
            EXPECT_FALSE(told.contains(of)) << of << " told twice";
            told[of] = !a.rejected;
        };
        for (const auto& [type, fields] : c.reports) {
            ExecutionReport report(type, fields);
            report.rejectionCode = type == 1052 ? static_cast<std::int32_t>(fields.back() == "74=0" ? 0 : 15)
                                                : (type == 62 ? 15 : 0);
            if (const auto a = fresh.answered(report))
                tell(*a);
            for (const auto& a : fresh.takeGivenBack())
                tell(a);
        }
        EXPECT_EQ(told, c.told);
        EXPECT_EQ(fresh.waiting(), 0u);
    }
}

// An offset of 300001 against 300002, and two closes of 300001 sharing a number, taken in that order.
// The offset's update and settlement of 300001 (naming no closing position) fit the closes too; the
// offset answer says it was carried out, so they were its own: both closes are told their refusal,
// not that one of them closed the position. A lone close is told at once.
TEST_F(RequestsInFlightTest, AnOffsetsOwnUpdateIsNoResultOfLikeClosesOfItsPosition) {
    auto offsetting = offset("offset", "20003", "EURUSD");
    offsetting.targets = {"300001", "300002"};
    list.sent(offsetting);
    list.sent(on(Kind::Close, "close 1", "300001", 42));
    list.sent(on(Kind::Close, "close 2", "300001", 42));
    EXPECT_EQ(answer(67, {"10=67", "73=73", "80=300001", "76=0"}), "");
    EXPECT_EQ(answer(67, {"10=67", "73=73", "80=300002", "76=0"}), "");
    EXPECT_EQ(answer(66, {"10=66", "80=300001", "12=1"}), "");
    EXPECT_TRUE(list.takeGivenBack().empty());
    EXPECT_EQ(answer(1052, {"10=1052", "34=20003", "12=EURUSD", "74=0"}), "offset");
    EXPECT_TRUE(list.takeGivenBack().empty());
    std::vector<RequestsInFlight::Answered> told;
    for (int i = 0; i < 2; ++i) {
        if (auto a = answerOf(62, {"10=62", "73=25", "33=42", "74=15", "79=", "125=300001"}, 15))
            told.push_back(std::move(*a));
        for (auto& a : list.takeGivenBack())
            told.push_back(std::move(a));
    }
    ASSERT_EQ(told.size(), 2u);
    for (const auto& a : told)
        EXPECT_EQ(std::tuple(a.rejected, a.rejectionCode, a.notKnown.has_value()),
                  std::tuple(true, 15, false))
            << a.request.description;
    EXPECT_EQ(list.waiting(), 0u);

    list.sent(on(Kind::Close, "lone close", "300003", 43));
    EXPECT_EQ(answer(67, {"10=67", "73=73", "80=300003", "76=0"}), "lone close");
}

// The position's take-profit leg fills while a close of it waits: the update and settlement that
// follow are the leg's, and the close is told its own refusal.
TEST_F(RequestsInFlightTest, AnUpdateAfterALegFilledIsTheLegsNotAWaitingClose) {
    list.sent(on(Kind::Close, "close", "300001", 42));
    EXPECT_EQ(answer(62, {"10=62", "73=23", "79=310009", "573=300001", "76=0"}), "");
    EXPECT_EQ(answer(67, {"10=67", "73=74", "79=8300001", "80=9300001", "37=1"}), "");
    EXPECT_EQ(answer(67, {"10=67", "73=73", "80=300001", "76=0"}), "");
    EXPECT_EQ(answer(66, {"10=66", "80=300001", "87=9300001", "12=1"}), "");
    EXPECT_EQ(answer(62, {"10=62", "73=25", "33=42", "74=15", "79=", "125=300001"}), "close");
    // The usual case: no leg filled, the close's update is its answer.
    list.sent(on(Kind::Close, "close 2", "300002", 43));
    EXPECT_EQ(answer(67, {"10=67", "73=73", "80=300002", "76=0"}), "close 2");
    EXPECT_EQ(list.waiting(), 0u);
}

// An edit taking the take profit off 300001 and a close of it, the close taken first: the leg's
// cancellation that follows the close is the server's own, and the edit is told its refusal.
TEST_F(RequestsInFlightTest, ALegCancelledWithItsClosedPositionAnswersNoEditTakingItOff) {
    auto off = on(Kind::PositionEdit, "no take profit", "300001", 42);
    off.removesLeg = true;
    list.sent(off);
    list.sent(on(Kind::Close, "close", "300001", 43));
    EXPECT_EQ(answer(67, {"10=67", "73=73", "80=300001", "76=0"}), "close");
    EXPECT_EQ(answer(66, {"10=66", "80=300001", "87=9300001", "12=1"}), "");
    EXPECT_EQ(answer(62, {"10=62", "73=24", "79=310002", "573=300001"}), "");
    EXPECT_EQ(answer(62, {"10=62", "73=25", "33=42", "74=15", "79=", "573=300001"}), "no take profit");
    // The usual case: the edit alone, its leg's cancellation is its answer.
    auto other = on(Kind::PositionEdit, "no take profit of 300009", "300009", 44);
    other.removesLeg = true;
    list.sent(other);
    EXPECT_EQ(answer(62, {"10=62", "73=24", "33=44", "79=310003", "573=300009"}), "no take profit of 300009");
    EXPECT_EQ(list.waiting(), 0u);
}

TEST_F(RequestsInFlightTest, ACloseOfAPositionTakesItsReportBeforeACloseAllThatIncludesIt) {
    auto closeAll = on(Kind::CloseAll, "close all", "900001", 42);
    closeAll.targets.push_back("900002");
    list.sent(closeAll);
    list.sent(on(Kind::Close, "close", "900001", 42));
    // The server takes the close, then refuses the close-all as a whole.
    EXPECT_EQ(answer(67, {"10=67", "73=73", "33=42", "80=900001", "76=0"}), "close");
    EXPECT_EQ(answer(66, {"10=66", "33=42", "80=900001", "12=1"}), "")
        << "the close-all waits for no settlement";
    const auto whole = answerOf(62, {"10=62", "73=25", "33=42", "74=1", "79=700002"}, 1);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->request.description, "close all");
    EXPECT_TRUE(whole->rejected);
    EXPECT_EQ(whole->position, "");
    EXPECT_TRUE(whole->finished);
    EXPECT_EQ(list.waiting(), 0u);
}

// The close's update names no number and fits the close-all too: it answers neither until a refusal
// of the close-all as a whole shows that none of its positions closed, and the update was the close's.
TEST_F(RequestsInFlightTest, AnUpdateFittingACloseAndACloseAllWaitsForTheOthersRefusal) {
    auto closeAll = on(Kind::CloseAll, "close all", "900001", 42);
    closeAll.targets.push_back("900002");
    list.sent(closeAll);
    list.sent(on(Kind::Close, "close", "900001", 42));
    EXPECT_EQ(answer(67, {"10=67", "73=73", "80=900001", "76=0"}), "");
    EXPECT_EQ(answer(66, {"10=66", "80=900001", "12=1"}), "");
    EXPECT_TRUE(list.takeGivenBack().empty());
    const auto whole = answerOf(62, {"10=62", "73=25", "33=42", "74=1", "79=700002"}, 1);
    ASSERT_TRUE(whole);
    EXPECT_EQ(std::tuple(whole->request.description, whole->rejected, whole->position, whole->finished),
              std::tuple("close all", true, "", true));
    const auto givenBack = list.takeGivenBack();
    ASSERT_EQ(givenBack.size(), 1u);
    EXPECT_EQ(std::tuple(givenBack[0].request.description, givenBack[0].rejected, givenBack[0].finished),
              std::tuple("close", false, true));
    EXPECT_TRUE(list.takeGivenBack().empty()) << "given back once";
    EXPECT_EQ(list.waiting(), 0u);

    // An update leaving part of the position is no close-all's: it closes the whole.
    list.sent(closeAll);
    list.sent(on(Kind::Close, "close part", "900001", 43));
    EXPECT_EQ(answer(67, {"10=67", "73=73", "80=900001", "76=0.5"}), "close part");
}

// Two close-alls of one position sent at different times: the server's update of it and its refusal
// of the other name neither, and read alike whichever closed it. The server may take the newer first
// (it did, answering in reverse): which one closed it is not known, and each is told so.
TEST_F(RequestsInFlightTest, TwoCloseAllsOfOnePositionAreEachToldTheOutcomeIsNotKnown) {
    list.sent(on(Kind::CloseAll, "first", "900001", 42));
    list.sent(on(Kind::CloseAll, "second", "900001", 43));
    EXPECT_EQ(answer(67, {"10=67", "73=73", "80=900001", "76=0"}), "");
    EXPECT_EQ(answer(66, {"10=66", "80=900001", "12=1"}), "");
    EXPECT_TRUE(list.takeGivenBack().empty());
    const auto refused = answerOf(62, {"10=62", "73=25", "74=15", "79=700002", "125=900001"}, 15);
    ASSERT_TRUE(refused);
    const auto givenBack = list.takeGivenBack();
    ASSERT_EQ(givenBack.size(), 1u);
    for (const auto& told : {*refused, givenBack[0]}) {
        ASSERT_TRUE(told.notKnown);
        EXPECT_EQ(
            std::tuple(told.rejected, told.position, told.notKnown->position, told.notKnown->like.size()),
            std::tuple(false, "900001", "900001", 2u));
        EXPECT_EQ(told.notKnown->outcomes, (std::vector<RequestsInFlight::Outcome>{
                                               {false, 0}, {true, RequestsInFlight::kNoLongerHeldCode}}));
    }
    EXPECT_EQ(std::tuple(refused->request.description, givenBack[0].request.description),
              std::tuple("first", "second"));
    EXPECT_EQ(list.waiting(), 0u);
}

// Of two close-alls of one position waiting for its update's group, one is refused as a whole by its
// own number: the update was the other's, which is told so at once rather than waiting for ever.
TEST_F(RequestsInFlightTest, AGroupMemberAnsweredByItsOwnNumberLeavesTheOtherToldWhatIsLeft) {
    list.sent(on(Kind::CloseAll, "first", "900001", 42));
    list.sent(on(Kind::CloseAll, "second", "900001", 43));
    EXPECT_EQ(answer(67, {"10=67", "73=73", "80=900001", "76=0"}), "");
    EXPECT_EQ(answer(66, {"10=66", "80=900001", "12=1"}), "");
    const auto whole = answerOf(62, {"10=62", "73=25", "33=43", "74=1", "79=700002"}, 1);
    ASSERT_TRUE(whole);
    EXPECT_EQ(std::tuple(whole->request.description, whole->rejected, whole->position),
              std::tuple("second", true, ""));
    const auto givenBack = list.takeGivenBack();
    ASSERT_EQ(givenBack.size(), 1u);
    EXPECT_EQ(std::tuple(givenBack[0].request.description, givenBack[0].rejected, givenBack[0].position,
                         givenBack[0].notKnown.has_value()),
              std::tuple("first", false, "900001", false));
    EXPECT_EQ(list.waiting(), 0u);
}

// The refusal of the position names the newer close-all's number: it is that one's, not a report for
// the group; the update held for the group is then the older's.
TEST_F(RequestsInFlightTest, ARefusalNamingAGroupMembersNumberAnswersThatMember) {
    list.sent(on(Kind::CloseAll, "first", "900001", 42));
    list.sent(on(Kind::CloseAll, "second", "900001", 43));
    EXPECT_EQ(answer(67, {"10=67", "73=73", "80=900001", "76=0"}), "");
    EXPECT_EQ(answer(66, {"10=66", "80=900001", "12=1"}), "");
    const auto refused = answerOf(62, {"10=62", "73=25", "33=43", "74=15", "79=", "125=900001"}, 15);
    ASSERT_TRUE(refused);
    EXPECT_EQ(std::tuple(refused->request.description, refused->rejected, refused->notKnown.has_value()),
              std::tuple("second", true, false));
    const auto givenBack = list.takeGivenBack();
    ASSERT_EQ(givenBack.size(), 1u);
    EXPECT_EQ(std::tuple(givenBack[0].request.description, givenBack[0].rejected,
                         givenBack[0].notKnown.has_value()),
              std::tuple("first", false, false));
    EXPECT_EQ(list.waiting(), 0u);
}

// Like orders of two accounts sharing a number: each report names its account, so each is told its
// own; of one account the server may take them in either order, and the outcome is not known.
TEST_F(RequestsInFlightTest, LikeOrdersOfTwoAccountsAreToldApartByTheAccountTheirReportsName) {
    list.sent(newOrder("A", 50, "EURUSD", 0, "1", "20003"));
    list.sent(newOrder("B", 50, "EURUSD", 0, "1", "20004"));
    const auto refused =
        answerOf(62, {"10=62", "73=25", "33=50", "34=20004", "12=EURUSD", "36=45", "37=1", "74=7"}, 7);
    ASSERT_TRUE(refused);
    EXPECT_EQ(std::tuple(refused->request.description, refused->rejected, refused->notKnown.has_value()),
              std::tuple("B", true, false));
    const auto stored =
        answerOf(62, {"10=62", "73=28", "33=50", "34=20003", "12=EURUSD", "36=45", "37=1", "79=7"});
    ASSERT_TRUE(stored);
    EXPECT_EQ(std::tuple(stored->request.description, stored->rejected, stored->notKnown.has_value()),
              std::tuple("A", false, false));

    list.sent(newOrder("C", 51, "EURUSD", 0, "1", "20003"));
    list.sent(newOrder("D", 51, "EURUSD", 0, "1", "20003"));
    EXPECT_FALSE(
        answerOf(62, {"10=62", "73=25", "33=51", "34=20003", "12=EURUSD", "36=45", "37=1", "74=7"}, 7));
    const auto second =
        answerOf(62, {"10=62", "73=28", "33=51", "34=20003", "12=EURUSD", "36=45", "37=1", "79=8"});
    ASSERT_TRUE(second);
    EXPECT_TRUE(second->notKnown.has_value());
    EXPECT_EQ(list.takeGivenBack().size(), 1u);
    EXPECT_EQ(list.waiting(), 0u);
}

// A close-all of every open position says nothing of one closed before its turn. An update that left
// 900001 closed and fits it and a close is held; when the close-all waits for nothing else and no
// other report came while the server went on answering for kLeftOverWait, the close was carried out
// and the close-all is refused 900001 as no longer held. A refusal in its turn, whenever it comes,
// tells the two apart.
TEST_F(RequestsInFlightTest, AHeldUpdateOfACloseAllOfEveryOpenPositionIsToldOnceNothingElseComes) {
    const auto clock = std::make_shared<platform::ManualClock>();
    const platform::ScopedClock scoped(clock);
    auto closeAll = on(Kind::CloseAll, "close all", "900001", 42);
    closeAll.targets.push_back("900002");
    closeAll.closesWhatIsOpen = true;
    const auto close = on(Kind::Close, "close", "900001", 43);
    const std::vector<std::string> update1{"10=67", "73=73", "80=900001", "76=0"};
    const std::vector<std::string> update2{"10=67", "73=73", "80=900002", "76=0"};
    // The server answered last at `heard` (now, unless it stands still).
    const auto leftOver = [&](std::optional<platform::Clock::time_point> heard = std::nullopt) {
        std::vector<std::tuple<std::string, std::string, bool, bool>> out;
        for (const auto& a : list.takeLeftOver(heard.value_or(platform::Clock::currentTime())))
            out.emplace_back(a.request.description, a.position, a.rejected, a.finished);
        return out;
    };
    const auto givenBack = [&] {
        std::vector<std::tuple<std::string, std::string, bool, bool>> out;
        for (const auto& a : list.takeGivenBack())
            out.emplace_back(a.request.description, a.position, a.rejected, a.finished);
        return out;
    };
    using Told = std::vector<std::tuple<std::string, std::string, bool, bool>>;
    for (const bool closeAllFirst : {true, false}) {
        SCOPED_TRACE(closeAllFirst ? "close-all sent first, the close taken first"
                                   : "close sent first, taken first");
        list.sent(closeAllFirst ? closeAll : close);
        list.sent(closeAllFirst ? close : closeAll);
        EXPECT_EQ(answer(67, update1), "");
        EXPECT_FALSE(list.leftOverWaiting()) << "the close-all may still hear of 900001";
        EXPECT_EQ(answer(67, update2), "close all");
        EXPECT_TRUE(list.leftOverWaiting());
        EXPECT_EQ(leftOver(), Told{}) << "the close's refusal may still come";
        clock->advance(RequestsInFlight::kLeftOverWait);
        EXPECT_EQ(leftOver(), (Told{{"close", "", false, true}, {"close all", "900001", true, true}}));
        EXPECT_FALSE(list.leftOverWaiting());
        EXPECT_EQ(list.waiting(), 0u);
    }
    {
        SCOPED_TRACE("close-all taken first: the close's refusal comes in its turn");
        list.sent(close);
        list.sent(closeAll);
        EXPECT_EQ(answer(67, update1), "");
        EXPECT_EQ(answer(67, update2), "close all");
        const auto refused = answerOf(62, {"10=62", "73=25", "33=43", "74=15", "79=", "125=900001"}, 15);
        ASSERT_TRUE(refused);
        EXPECT_EQ(std::tuple(refused->request.description, refused->rejected), std::tuple("close", true));
        EXPECT_EQ(givenBack(), (Told{{"close all", "900001", false, true}}));
        clock->advance(RequestsInFlight::kLeftOverWait);
        EXPECT_EQ(leftOver(), Told{});
        EXPECT_FALSE(list.leftOverWaiting());
    }
    {
        SCOPED_TRACE("a silence after the close-all's last answer: the close's refusal still is its own");
        list.sent(closeAll);
        list.sent(close);
        EXPECT_EQ(answer(67, update1), "");
        EXPECT_EQ(answer(67, update2), "close all");
        const auto lastHeard = platform::Clock::currentTime();
        clock->advance(RequestsInFlight::kLeftOverWait * 4);
        EXPECT_EQ(leftOver(lastHeard), Told{}) << "a silence is no sign its own will not come";
        EXPECT_TRUE(list.leftOverWaiting());
        const auto refused = answerOf(62, {"10=62", "73=25", "33=43", "74=15", "79=", "125=900001"}, 15);
        ASSERT_TRUE(refused);
        EXPECT_EQ(std::tuple(refused->request.description, refused->rejected), std::tuple("close", true));
        EXPECT_EQ(givenBack(), (Told{{"close all", "900001", false, true}}));
        EXPECT_EQ(leftOver(), Told{});
        EXPECT_FALSE(list.leftOverWaiting());
    }
    {
        SCOPED_TRACE("a close-all of the listed positions always hears of each: no wait decides");
        auto listed = closeAll;
        listed.closesWhatIsOpen = false;
        list.sent(listed);
        list.sent(close);
        EXPECT_EQ(answer(67, update1), "");
        EXPECT_EQ(answer(67, update2), "close all");
        EXPECT_FALSE(list.leftOverWaiting());
        clock->advance(RequestsInFlight::kLeftOverWait * 4);
        EXPECT_EQ(leftOver(), Told{});
        const auto refused = answerOf(62, {"10=62", "73=25", "74=15", "79=700003", "125=900001"}, 15);
        ASSERT_TRUE(refused);
        EXPECT_EQ(std::tuple(refused->request.description, refused->position, refused->rejected),
                  std::tuple("close all", "900001", true));
        EXPECT_EQ(givenBack(), (Told{{"close", "", false, true}}));
    }
    {
        SCOPED_TRACE("two close-alls of every open position: one took it, the other heard nothing; which, "
                     "the server does not say");
        auto second = closeAll;
        second.description = "close all 2";
        list.sent(closeAll);
        list.sent(second);
        EXPECT_EQ(answer(67, update1), "");
        EXPECT_EQ(answer(67, update2), "");
        clock->advance(RequestsInFlight::kLeftOverWait);
        const auto told = list.takeLeftOver(platform::Clock::currentTime());
        std::vector<std::tuple<std::string, std::string, bool>> notKnown;
        for (const auto& a : told)
            if (a.notKnown && a.notKnown->outcomes.size() == 2 && !a.notKnown->outcomes[0].rejected &&
                a.notKnown->outcomes[1].rejectionCode == RequestsInFlight::kNoLongerHeldCode)
                notKnown.emplace_back(a.request.description, a.position, a.finished);
        EXPECT_EQ(notKnown,
                  (std::vector<std::tuple<std::string, std::string, bool>>{{"close all", "900001", false},
                                                                           {"close all 2", "900001", false},
                                                                           {"close all", "900002", true},
                                                                           {"close all 2", "900002", true}}));
    }
    {
        SCOPED_TRACE("an offset's updates: the close-all of every open position hears nothing of them");
        auto offsetting = offset("offset", "20003", "EURUSD");
        offsetting.targets = {"900001", "900002"};
        list.sent(closeAll);
        list.sent(offsetting);
        EXPECT_EQ(answer(67, update1), "");
        EXPECT_EQ(answer(67, update2), "");
        EXPECT_EQ(answer(66, {"10=66", "80=900001", "87=900002", "12=1"}), "");
        EXPECT_EQ(answer(1052, {"10=1052", "34=20003", "12=EURUSD", "74=0"}), "offset");
        clock->advance(RequestsInFlight::kLeftOverWait);
        EXPECT_EQ(leftOver(),
                  (Told{{"close all", "900001", true, false}, {"close all", "900002", true, true}}));
    }
    {
        SCOPED_TRACE("a close and a close of part of one number: the settlement names the quantity");
        auto whole = on(Kind::Close, "close 1.5", "900001", 46);
        whole.quantity = dec("1.5");
        auto part = on(Kind::Close, "close 0.4", "900001", 46);
        part.quantity = dec("0.4");
        list.sent(whole);
        list.sent(part);
        EXPECT_EQ(answer(67, {"10=67", "73=73", "80=900001", "76=1.1"}), "");
        EXPECT_EQ(answer(66, {"10=66", "80=900001", "87=900009", "89=0.4", "12=1"}), "");
        EXPECT_EQ(givenBack(), (Told{{"close 0.4", "", false, true}}));
        const auto refused = answerOf(62, {"10=62", "73=25", "33=46", "74=5", "79=", "125=900001"}, 5);
        ASSERT_TRUE(refused);
        EXPECT_EQ(std::tuple(refused->request.description, refused->rejected), std::tuple("close 1.5", true));
    }
    {
        SCOPED_TRACE("two closes of part of it: each carried out, in turn");
        list.sent(on(Kind::Close, "close 1", "900001", 44));
        list.sent(on(Kind::Close, "close 2", "900001", 45));
        EXPECT_EQ(answer(67, {"10=67", "73=73", "80=900001", "76=1"}), "");
        clock->advance(RequestsInFlight::kLeftOverWait);
        EXPECT_EQ(leftOver(), Told{});
        EXPECT_EQ(answer(67, {"10=67", "73=73", "80=900001", "76=0"}), "");
        EXPECT_EQ(givenBack(), (Told{{"close 1", "", false, true}, {"close 2", "", false, true}}));
    }
    EXPECT_EQ(list.waiting(), 0u);
}

TEST_F(RequestsInFlightTest, ACloseAllIsAnsweredPositionByPositionUntilEachHasItsReport) {
    auto closeAll = on(Kind::CloseAll, "close all", "300001", 42);
    closeAll.targets = {"300001", "300002", "300901"};
    const std::uint64_t number = list.sent(closeAll);
    // Settled: its update answers the position, the settlement that follows nothing more.
    const auto first = answerOf(67, {"10=67", "73=73", "80=300002", "76=0"});
    ASSERT_TRUE(first);
    EXPECT_EQ(std::tuple(first->position, first->rejected, first->finished),
              std::tuple("300002", false, false));
    EXPECT_FALSE(answerOf(66, {"10=66", "80=300002", "12=1"}));
    // Refused by the exchange, naming its position: that position alone reads the refusal.
    const auto refused = answerOf(62, {"10=62", "73=826", "74=1065", "79=700001", "125=300001"}, 1065);
    ASSERT_TRUE(refused);
    EXPECT_EQ(std::tuple(refused->position, refused->rejected, refused->rejectionCode, refused->finished),
              std::tuple("300001", true, 1065, false));
    EXPECT_TRUE(list.isWaiting(number));
    // Given up, the last position's report still answers it, as late, and ends it.
    list.giveUp(number);
    const auto last = answerOf(66, {"10=66", "80=300901", "12=1"});
    ASSERT_TRUE(last);
    EXPECT_EQ(std::tuple(last->position, last->rejected, last->finished, last->request.givenUp),
              std::tuple("300901", false, true, true));
    using Refusals = std::vector<std::pair<std::string, std::int32_t>>;
    EXPECT_EQ(last->request.refusals, (Refusals{{"300001", 1065}})) << "the late banner tells the refusal";
    EXPECT_EQ(last->request.positions, 3u);
    EXPECT_FALSE(list.isWaiting(number));
}

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

// An edit and a cancel of one pending order sent in one pass share their number: the cancellation
// is the cancel's and an edit report the edit's, whichever the server took first.
TEST_F(RequestsInFlightTest, AnEditAndACancelOfOneOrderEachTakeTheReportOfTheirKind) {
    auto edit = on(Kind::OrderEdit, "edit", "400001", 60);
    auto cancel = on(Kind::OrderEdit, "cancel", "400001", 60);
    cancel.cancels = true;
    const std::vector<std::string> edited{"10=62", "73=75", "33=60", "79=400001"};
    const std::vector<std::string> cancelled{"10=62", "73=24", "33=60", "79=400001"};
    const std::vector<std::string> refused{"10=62", "73=25", "33=60", "74=15", "79=400001"};
    // In the order sent (the usual case), then the other way round.
    list.sent(edit);
    list.sent(cancel);
    EXPECT_EQ(answer(62, edited), "edit");
    EXPECT_EQ(answer(62, cancelled), "cancel");
    list.sent(edit);
    list.sent(cancel);
    EXPECT_EQ(answer(62, cancelled), "cancel");
    EXPECT_EQ(answer(62, refused), "edit");
    EXPECT_EQ(list.waiting(), 0u);
}

// Edits of one position's legs sent in one pass share their number, yet the report of one carried
// out names the leg as it now stands: it is that edit's, and the refusal the other's.
TEST_F(RequestsInFlightTest, EditsOfAPositionsLegsAreToldApartByTheLegsTheirReportsName) {
    const auto legs = [](std::string text, std::optional<std::string_view> takeProfit,
                         std::optional<std::string_view> stopLoss) {
        auto r = legsOf(std::move(text), takeProfit, stopLoss);
        r.removesLeg = !takeProfit;
        return r;
    };
    const std::vector<std::string> refused{"10=62", "73=25", "33=42", "74=1", "79=", "573=300001"};
    // A take profit placed and a stop loss placed (the take profit taken off), the refusal first.
    list.sent(legs("take profit", "1.09500", std::nullopt));
    list.sent(legs("stop loss", std::nullopt, "1.07500"));
    EXPECT_FALSE(answerOf(62, refused, 1));
    const auto placed =
        answerOf(62, {"10=62", "73=28", "33=42", "32=31", "38=1.07500", "79=310001", "573=300001"});
    ASSERT_TRUE(placed);
    EXPECT_EQ(placed->request.description, "stop loss");
    EXPECT_FALSE(placed->notKnown);
    auto rest = list.takeGivenBack();
    ASSERT_EQ(rest.size(), 1u);
    EXPECT_EQ(rest[0].request.description, "take profit");
    EXPECT_TRUE(rest[0].rejected);
    EXPECT_FALSE(rest[0].notKnown);
    // A take profit moved, and taken off: the leg standing at the new price is the move's.
    list.sent(legs("take profit off", std::nullopt, std::nullopt));
    list.sent(legs("take profit moved", "1.09600", std::nullopt));
    EXPECT_EQ(answer(62, {"10=62", "73=75", "33=42", "32=30", "38=1.09600", "79=310002", "573=300001"}),
              "take profit moved");
    EXPECT_EQ(answer(62, refused), "take profit off");
    // A leg changed by another request (a part of its position closed) answers no edit taking it off.
    list.sent(legs("take profit off", std::nullopt, std::nullopt));
    EXPECT_EQ(answer(62, {"10=62", "73=75", "33=42", "32=30", "38=1.09600", "79=310002", "573=300001"}), "");
    EXPECT_EQ(answer(62, refused), "take profit off");
    EXPECT_EQ(list.waiting(), 0u);
}

// Edits of one pending order that ask different prices or legs are not alike: the report of one
// carried out names the order as edited, and is that edit's.
TEST_F(RequestsInFlightTest, EditsOfAPendingOrderAreToldApartByThePricesTheirReportsName) {
    const auto edit = [&](std::string text, std::string_view price,
                          std::optional<std::string_view> takeProfit) {
        auto r = on(Kind::OrderEdit, std::move(text), "400001", 60);
        r.quantity = dec("1");
        r.editedTo.emplace();
        r.editedTo->price = dec(price);
        if (takeProfit)
            r.editedTo->takeProfit = dec(*takeProfit);
        return r;
    };
    const std::vector<std::string> refused{"10=62", "73=25", "33=60", "74=5", "79=400001"};
    list.sent(edit("price", "1.06900", std::nullopt));
    list.sent(edit("take profit", "1.07000", "1.09000"));
    EXPECT_EQ(answer(62, {"10=62", "73=75", "33=60", "37=1", "38=1.07000", "39=1.09000", "79=400001"}),
              "take profit");
    EXPECT_FALSE(list.lastReportGrouped());
    const auto other = answerOf(62, refused, 5);
    ASSERT_TRUE(other);
    EXPECT_EQ(other->request.description, "price");
    EXPECT_TRUE(other->rejected);
    // The other way round: the price edit's report names no take profit.
    list.sent(edit("price", "1.06900", std::nullopt));
    list.sent(edit("take profit", "1.07000", "1.09000"));
    EXPECT_FALSE(answerOf(62, refused, 5));
    EXPECT_EQ(answer(62, {"10=62", "73=75", "33=60", "37=1", "38=1.06900", "79=400001"}), "price");
    auto rest = list.takeGivenBack();
    ASSERT_EQ(rest.size(), 1u);
    EXPECT_EQ(rest[0].request.description, "take profit");
    EXPECT_TRUE(rest[0].rejected);
    // Edits asking the same are alike: their reports say nothing of which.
    list.sent(edit("same 1", "1.06900", std::nullopt));
    list.sent(edit("same 2", "1.06900", std::nullopt));
    EXPECT_EQ(answer(62, {"10=62", "73=75", "33=60", "37=1", "38=1.06900", "79=400001"}), "");
    EXPECT_TRUE(list.lastReportGrouped());
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
    const auto left = list.takeUnanswered();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].description, "buy 1 EURUSD");
}

TEST_F(RequestsInFlightTest, AGivenUpRequestKeepsItsPlaceAndItsAnswerIsToldAsLate) {
    const std::uint64_t first = list.sent(on(Kind::PositionEdit, "first edit", "300001", 42));
    list.giveUp(first);
    EXPECT_TRUE(list.isWaiting(first)) << "its answer must still find it";
    list.sent(on(Kind::PositionEdit, "second edit", "300001", 43));
    bool late = true;
    // The second edit's answer names its number: it is the second's, given up or not the first.
    EXPECT_EQ(answer(62, {"10=62", "73=75", "33=43", "79=310002", "573=300001"}, &late), "second edit");
    EXPECT_FALSE(late);
    EXPECT_EQ(answer(62, {"10=62", "73=75", "33=42", "79=310002", "573=300001"}, &late), "first edit");
    EXPECT_TRUE(late);

    // A given-up new order takes the rejection of its number as a new order waited for would.
    list.giveUp(list.sent(newOrder("order", 50, "EURUSD", 0, "1")));
    EXPECT_EQ(answer(62, {"10=62", "73=25", "33=50", "12=EURUSD", "74=11", "79="}, &late), "order");
    EXPECT_TRUE(late);
    EXPECT_EQ(list.waiting(), 0u);
}

// Requests the wire cannot tell apart: the server may take them in either order, so no report goes
// to the oldest. Each is told once every one has its report: what the reports said where they agree,
// else that its outcome is not known, with what the server did to them all.
TEST_F(RequestsInFlightTest, LikeRequestsAreToldTheirOutcomeOnlyWhereTheirReportsAgree) {
    using Outcomes = std::vector<RequestsInFlight::Outcome>;
    struct LikeCase {
        const char* name;
        std::vector<RequestsInFlight::Request> sent; // the first is given up
        std::vector<std::tuple<std::int64_t, std::vector<std::string>, std::int32_t>> answers;
        Outcomes outcomes; // as reported; told as such where they agree
    };
    auto cancel = on(Kind::OrderEdit, "A", "310001", 44);
    cancel.cancels = true;
    auto cancel2 = cancel;
    cancel2.description = "B";
    const std::vector<LikeCase> cases{
        {"offsets of one account and instrument",
         {offset("A", "20003", "EURUSD"), offset("B", "20003", "EURUSD")},
         {{1052, {"10=1052", "34=20003", "12=EURUSD", "74=0"}, 0},
          {1052, {"10=1052", "34=20003", "12=EURUSD", "74=1065"}, 1065}},
         {{false, 0}, {true, 1065}}},
        {"closes of one number",
         {on(Kind::Close, "A", "300001", 42), on(Kind::Close, "B", "300001", 42)},
         {{67, {"10=67", "73=73", "33=42", "80=300001", "76=0.5"}, 0},
          {62, {"10=62", "73=25", "33=42", "74=11", "79=", "125=300001"}, 11}},
         {{false, 0}, {true, 11}}},
        {"identical new orders",
         {newOrder("A", 50, "EURUSD", 0, "1"), newOrder("B", 50, "EURUSD", 0, "1")},
         {{62, {"10=62", "73=25", "33=50", "12=EURUSD", "74=11", "79="}, 11},
          {62, {"10=62", "73=28", "33=50", "12=EURUSD", "36=45", "37=1", "79=77"}, 0}},
         {{true, 11}, {false, 0}}},
        {"cancels of one order",
         {cancel, cancel2},
         {{62, {"10=62", "73=24", "33=44", "79=310001"}, 0},
          {62, {"10=62", "73=25", "33=44", "74=3", "79=310001"}, 3}},
         {{false, 0}, {true, 3}}},
        {"identical new orders both carried out",
         {newOrder("A", 50, "EURUSD", 0, "1"), newOrder("B", 50, "EURUSD", 0, "1")},
         {{62, {"10=62", "73=28", "33=50", "12=EURUSD", "36=45", "37=1", "79=76"}, 0},
          {62, {"10=62", "73=28", "33=50", "12=EURUSD", "36=45", "37=1", "79=77"}, 0}},
         {{false, 0}, {false, 0}}},
    };
    for (const LikeCase& c : cases) {
        SCOPED_TRACE(c.name);
        RequestsInFlight fresh;
        std::vector<std::uint64_t> numbers;
        for (const auto& r : c.sent)
            numbers.push_back(fresh.sent(r));
        fresh.giveUp(numbers.front());
        std::vector<RequestsInFlight::Answered> told;
        for (std::size_t i = 0; i < c.answers.size(); ++i) {
            const auto& [type, fields, code] = c.answers[i];
            ExecutionReport report(type, fields);
            report.rejectionCode = code;
            if (auto answered = fresh.answered(report))
                told.push_back(std::move(*answered));
            for (auto& other : fresh.takeGivenBack())
                told.push_back(std::move(other));
            if (i + 1 < c.answers.size()) {
                EXPECT_TRUE(told.empty()) << "told before the group had its reports";
            }
        }
        ASSERT_EQ(told.size(), 2u);
        const bool agree = c.outcomes.front() == c.outcomes.back();
        for (std::size_t i = 0; i < told.size(); ++i) {
            EXPECT_EQ(told[i].request.description, i == 0 ? "A" : "B") << "oldest first";
            EXPECT_EQ(told[i].request.givenUp, i == 0);
            ASSERT_EQ(told[i].notKnown.has_value(), !agree);
            if (agree) {
                EXPECT_EQ(told[i].rejected, c.outcomes[i].rejected);
                continue;
            }
            EXPECT_FALSE(told[i].rejected);
            EXPECT_EQ(told[i].notKnown->outcomes, c.outcomes);
            ASSERT_EQ(told[i].notKnown->like.size(), 2u);
            EXPECT_EQ(told[i].notKnown->like[1].number, numbers[1]);
        }
        EXPECT_EQ(fresh.waiting(), 0u);
    }
}

// The line goes with reports in: what they knew goes with each request they fitted, so the loss
// alert can say the server did something to one of them.
TEST_F(RequestsInFlightTest, AtALostLineWhatTheReportsKnewGoesWithTheRequestsTheyFitted) {
    {
        SCOPED_TRACE("a close-all and a close of the position: its update held");
        auto closeAll = on(Kind::CloseAll, "close all", "300001", 42);
        closeAll.targets.push_back("300002");
        list.sent(closeAll);
        list.sent(on(Kind::Close, "close", "300001", 43));
        EXPECT_EQ(answer(67, {"10=67", "73=73", "80=300001", "76=0"}), "");
        const auto left = list.takeUnanswered();
        ASSERT_EQ(left.size(), 2u);
        for (const auto& r : left) {
            ASSERT_EQ(r.notKnown.size(), 1u) << r.description;
            EXPECT_EQ(r.notKnown[0].position, "300001");
            EXPECT_EQ(r.notKnown[0].like.size(), 2u);
            EXPECT_EQ(r.notKnown[0].outcomes, (std::vector<RequestsInFlight::Outcome>{{false, 0}}));
        }
    }
    {
        SCOPED_TRACE("four close-alls of one number: one closed it");
        for (int i = 0; i < 4; ++i)
            list.sent(on(Kind::CloseAll, "close all " + std::to_string(i), "300001", 44));
        EXPECT_EQ(answer(67, {"10=67", "73=73", "80=300001", "76=0"}), "");
        const auto left = list.takeUnanswered();
        ASSERT_EQ(left.size(), 4u);
        for (const auto& r : left) {
            ASSERT_EQ(r.notKnown.size(), 1u) << r.description;
            const auto& known = r.notKnown[0];
            EXPECT_EQ(std::tuple(known.position, known.like.size(), known.outcomes.size()),
                      std::tuple("300001", 4u, 1u));
        }
    }
    EXPECT_TRUE(list.takeUnanswered().empty());
}

// Two close-alls of more positions than kMaxRequests, the server closing each position for one and
// refusing it to the other only once it went through all of them: each position's first report is
// kept until its second comes, however many positions wait.
TEST_F(RequestsInFlightTest, CloseAllsOfThousandsOfPositionsLoseNoReportBeforeTheirOwnCome) {
    constexpr std::size_t n = RequestsInFlight::kMaxRequests + 200;
    auto first = on(Kind::CloseAll, "first", "", 42);
    first.targets.clear();
    for (std::size_t i = 0; i < n; ++i)
        first.targets.push_back(std::to_string(500000 + i));
    auto second = first;
    second.description = "second";
    second.requestNumber = 43;
    list.sent(first);
    list.sent(second);
    std::size_t told = 0;
    for (const bool refusals : {false, true})
        for (std::size_t i = 0; i < n; ++i) {
            const std::string id = std::to_string(500000 + i);
            if (refusals) {
                told += answerOf(62, {"10=62", "73=25", "74=15", "79=", "125=" + id}, 15).has_value();
            } else {
                EXPECT_FALSE(answerOf(67, {"10=67", "73=73", "80=" + id, "76=0"}));
            }
            told += list.takeGivenBack().size();
        }
    EXPECT_EQ(told, 2 * n);
    EXPECT_EQ(list.waiting(), 0u);
}

// An order over several accounts is answered account by account: each account's report answers its
// own part once, and the order waits until every account has had one; a report naming none of its
// accounts answers it as a whole.
TEST_F(RequestsInFlightTest, AMultiAccountOrderWaitsUntilEachAccountHasItsReport) {
    auto multi = newOrder("multi", 42, "EURUSD", 0, "0");
    multi.kind = Kind::MultiAccount;
    multi.quantity.reset();
    multi.accounts = {"20001", "20002", "20003"};
    const std::uint64_t number = list.sent(multi);
    const auto first = answerOf(62, {"10=62", "73=28", "33=42", "34=20002", "12=EURUSD", "36=45", "79=7"});
    ASSERT_TRUE(first);
    EXPECT_EQ(std::tuple(first->account, first->finished), std::tuple("20002", false));
    EXPECT_TRUE(list.isWaiting(number));
    // Another report of an account answered (an order of its own) answers nothing more.
    EXPECT_FALSE(answerOf(62, {"10=62", "73=28", "33=42", "34=20002", "12=EURUSD", "36=45", "79=8"}));
    const auto refused =
        answerOf(62, {"10=62", "73=25", "33=42", "34=20001", "12=EURUSD", "36=45", "74=11", "79=9"}, 11);
    ASSERT_TRUE(refused);
    EXPECT_EQ(std::tuple(refused->account, refused->rejected, refused->finished),
              std::tuple("20001", true, false));
    // The line goes: the account still without its report is what is left of the order.
    auto left = list;
    const auto unanswered = left.takeUnanswered();
    ASSERT_EQ(unanswered.size(), 1u);
    EXPECT_EQ(unanswered[0].accounts, std::vector<std::string>{"20003"});
    const auto last = answerOf(62, {"10=62", "73=28", "33=42", "34=20003", "12=EURUSD", "36=45", "79=10"});
    ASSERT_TRUE(last);
    EXPECT_EQ(std::tuple(last->account, last->finished), std::tuple("20003", true));
    EXPECT_FALSE(list.isWaiting(number));

    // Refused as a whole, naming no account of it: the order is answered.
    list.sent(multi);
    const auto whole = answerOf(62, {"10=62", "73=25", "33=42", "34=0", "36=45", "74=1", "79=11"}, 1);
    ASSERT_TRUE(whole);
    EXPECT_EQ(std::tuple(whole->account, whole->rejected, whole->finished), std::tuple("", true, true));
    EXPECT_EQ(list.waiting(), 0u);
}

// A report that fits several waiting requests answers one only where it can be no other's. A refusal
// names the request number, account and instrument (a close's its position, an edit's its order) but
// no side, quantity or kind: it waits until the others' own reports say whose it was, and a request is
// told only what every pairing of the reports with the requests gives it. The usual case (in the
// order sent) is told at once, beside the other way round.
struct PairCase {
    const char* name;
    std::vector<RequestsInFlight::Request> sent;
    std::vector<std::tuple<std::int64_t, std::vector<std::string>, std::int32_t>> reports;
    std::map<std::string, std::string> told; // each request: "done", "refused N" or "not known"
};

std::vector<std::tuple<std::int64_t, std::vector<std::string>, std::int32_t>>
orderFilled(std::int64_t number, std::string account, int side, std::string qty, std::string id,
            int type = 29) {
    const std::string mode = side == 0 ? "36=45" : "36=46";
    std::vector<std::tuple<std::int64_t, std::vector<std::string>, std::int32_t>> r{
        {62,
         {"10=62", "73=28", "33=" + std::to_string(number), "34=" + account, "12=EURUSD",
          "32=" + std::to_string(type), mode, "37=" + qty, "79=" + id},
         0}};
    if (type == 29) {
        r.push_back({62, {"10=62", "73=23", "33=" + std::to_string(number), "12=EURUSD", "79=" + id}, 0});
        r.push_back({67,
                     {"10=67", "73=74", "33=" + std::to_string(number), "34=" + account, "12=EURUSD",
                      "79=" + id, "80=9" + id, "37=" + qty},
                     0});
    }
    return r;
}

std::tuple<std::int64_t, std::vector<std::string>, std::int32_t>
orderRefused(std::int64_t number, std::string account, std::int32_t code) {
    return {62,
            {"10=62", "73=25", "33=" + std::to_string(number), "34=" + account, "12=EURUSD",
             "74=" + std::to_string(code), "79="},
            code};
}

std::vector<std::tuple<std::int64_t, std::vector<std::string>, std::int32_t>>
positionClosed(const std::string& position, const std::string& left, const std::string& qty) {
    return {
        {67, {"10=67", "73=74", "34=20003", "12=EURUSD", "79=8" + qty, "80=9" + position, "37=" + qty}, 0},
        {67, {"10=67", "73=73", "34=20003", "12=EURUSD", "80=" + position, "76=" + left}, 0},
        {66, {"10=66", "80=" + position, "87=9" + position, "89=" + qty}, 0}};
}

std::map<std::string, std::string> runPairCase(const PairCase& c) {
    RequestsInFlight list;
    for (const auto& r : c.sent)
        list.sent(r);
    std::map<std::string, std::string> told;
    const auto tell = [&](const RequestsInFlight::Answered& a) {
        if (!a.finished)
            return;
        EXPECT_FALSE(told.contains(a.request.description)) << a.request.description << " told twice";
        told[a.request.description] = a.notKnown   ? "not known"
                                      : a.rejected ? "refused " + std::to_string(a.rejectionCode)
                                                   : "done";
    };
    for (const auto& [type, fields, code] : c.reports) {
        ExecutionReport report(type, fields);
        report.rejectionCode = code;
        if (const auto a = list.answered(report))
            tell(*a);
        for (const auto& a : list.takeGivenBack())
            tell(a);
    }
    EXPECT_EQ(list.waiting(), 0u);
    return told;
}

TEST_F(RequestsInFlightTest, ARefusalFittingSeveralRequestsIsTheOneTheOthersReportsLeave) {
    using Reports = std::vector<std::tuple<std::int64_t, std::vector<std::string>, std::int32_t>>;
    const auto join = [](Reports a, const Reports& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const auto buy = newOrder("buy 1", 42, "EURUSD", 0, "1", "20003");
    const auto sell = newOrder("sell 1", 42, "EURUSD", 1, "1", "20003");
    const auto buy2 = newOrder("buy 2", 42, "EURUSD", 0, "2", "20003");
    auto limit = newOrder("limit buy 1", 42, "EURUSD", 0, "1", "20003");
    limit.orderType = 2;
    auto market = buy;
    market.orderType = 1;
    auto whole = on(Kind::Close, "close", "300001", 43);
    whole.quantity = dec("1.5");
    auto part = on(Kind::Close, "close 0.4", "300001", 43);
    part.quantity = dec("0.4");
    auto edit = on(Kind::OrderEdit, "edit", "310001", 44);
    auto cancel = on(Kind::OrderEdit, "cancel", "310001", 44);
    cancel.cancels = true;
    auto multi = newOrder("multi", 45, "EURUSD", 0, "0");
    multi.kind = Kind::MultiAccount;
    multi.quantity.reset();
    multi.accounts = {"20003", "20004"};
    multi.accountQuantities = {{"20003", dec("1")}, {"20004", dec("1")}};
    auto single = newOrder("single", 45, "EURUSD", 0, "2", "20003");
    const Reports editDone{{62, {"10=62", "73=75", "33=44", "79=310001"}, 0}};
    const Reports cancelDone{{62, {"10=62", "73=24", "33=44", "79=310001"}, 0}};
    const Reports editRefused{{62, {"10=62", "73=25", "33=44", "74=3", "79=310001"}, 3}};
    const Reports closeRefused{
        {62, {"10=62", "73=25", "33=43", "34=20003", "12=EURUSD", "74=1065", "79=", "125=300001"}, 1065}};
    const std::vector<PairCase> cases{
        {"buy and sell, the sell refused, in order",
         {buy, sell},
         join(orderFilled(42, "20003", 0, "1", "7"), {orderRefused(42, "20003", 1065)}),
         {{"buy 1", "done"}, {"sell 1", "refused 1065"}}},
        {"buy and sell, the sell refused, reversed",
         {buy, sell},
         join({orderRefused(42, "20003", 1065)}, orderFilled(42, "20003", 0, "1", "7")),
         {{"buy 1", "done"}, {"sell 1", "refused 1065"}}},
        {"buy and sell, the buy refused, reversed",
         {buy, sell},
         join(orderFilled(42, "20003", 1, "1", "7"), {orderRefused(42, "20003", 1)}),
         {{"buy 1", "refused 1"}, {"sell 1", "done"}}},
        {"buy and sell, both refused alike",
         {buy, sell},
         {orderRefused(42, "20003", 1065), orderRefused(42, "20003", 1065)},
         {{"buy 1", "refused 1065"}, {"sell 1", "refused 1065"}}},
        {"buy 1 and buy 2, buy 2 refused, reversed",
         {buy, buy2},
         join({orderRefused(42, "20003", 1)}, orderFilled(42, "20003", 0, "1", "7")),
         {{"buy 1", "done"}, {"buy 2", "refused 1"}}},
        {"close and close 0.4, the close refused, reversed",
         {whole, part},
         join(positionClosed("300001", "1.1", "0.4"), closeRefused),
         {{"close", "refused 1065"}, {"close 0.4", "done"}}},
        {"close and close 0.4, the part refused, in order",
         {whole, part},
         join(positionClosed("300001", "0", "1.5"), closeRefused),
         {{"close", "done"}, {"close 0.4", "refused 1065"}}},
        {"close 0.4 and close, the close refused first",
         {part, whole},
         join(closeRefused, positionClosed("300001", "1.1", "0.4")),
         {{"close", "refused 1065"}, {"close 0.4", "done"}}},
        {"edit and cancel, the edit refused after the cancel",
         {edit, cancel},
         join(cancelDone, editRefused),
         {{"edit", "refused 3"}, {"cancel", "done"}}},
        {"edit and cancel, a refusal first",
         {edit, cancel},
         join(editRefused, editDone),
         {{"edit", "done"}, {"cancel", "refused 3"}}},
        {"edit and cancel, a refusal first, then the cancellation",
         {edit, cancel},
         join(editRefused, cancelDone),
         {{"edit", "refused 3"}, {"cancel", "done"}}},
        {"multi-account order and an order of one of its accounts, the order refused",
         {multi, single},
         join(join({orderRefused(45, "20003", 1065)}, orderFilled(45, "20003", 0, "1", "7")),
              orderFilled(45, "20004", 0, "1", "8")),
         {{"multi", "done"}, {"single", "refused 1065"}}},
        {"market and limit alike, the limit refused, reversed",
         {market, limit},
         join({orderRefused(42, "20003", 1)}, orderFilled(42, "20003", 0, "1", "7")),
         {{"buy 1", "done"}, {"limit buy 1", "refused 1"}}},
        {"market and limit alike, the market refused, reversed",
         {market, limit},
         join({orderRefused(42, "20003", 1)}, orderFilled(42, "20003", 0, "1", "7", 30)),
         {{"buy 1", "refused 1"}, {"limit buy 1", "done"}}},
        {"orders the wire cannot tell apart: not known",
         {buy,
          [&] {
              auto again = buy;
              again.description = "buy 1 again";
              return again;
          }()},
         join({orderRefused(42, "20003", 1)}, orderFilled(42, "20003", 0, "1", "7")),
         {{"buy 1", "not known"}, {"buy 1 again", "not known"}}},
    };
    for (const PairCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(runPairCase(c), c.told);
    }
}

// Two closes of 0.4 of a position and a close of more than is left, in one pass: the server closes
// 0.4 twice and refuses the last. The like part closes' group counts its own members' reports only.
TEST_F(RequestsInFlightTest, AGroupCountsItsOwnMembersReportsOnly) {
    auto part = on(Kind::Close, "close 0.4", "300001", 43);
    part.quantity = dec("0.4");
    auto second = part;
    second.description = "close 0.4 again";
    auto rest = on(Kind::Close, "close the rest", "300001", 43);
    rest.quantity = dec("1.1");
    using Reports = std::vector<std::tuple<std::int64_t, std::vector<std::string>, std::int32_t>>;
    Reports reports = positionClosed("300001", "1.1", "0.4");
    for (auto& r : positionClosed("300001", "0.7", "0.4"))
        reports.push_back(r);
    const auto refused = std::tuple<std::int64_t, std::vector<std::string>, std::int32_t>{
        62, {"10=62", "73=25", "33=43", "34=20003", "12=EURUSD", "74=11", "79=", "125=300001"}, 11};
    for (const bool refusalFirst : {false, true}) {
        SCOPED_TRACE(refusalFirst ? "the refusal first" : "in order");
        Reports order = reports;
        order.insert(refusalFirst ? order.begin() : order.end(), refused);
        const std::map<std::string, std::string> told{
            {"close 0.4", "done"}, {"close 0.4 again", "done"}, {"close the rest", "refused 11"}};
        EXPECT_EQ(runPairCase({"", {part, second, rest}, order, {}}), told);
    }
}

// Two multi-account orders of different quantities for one account, and two offsets of one account
// and instrument of different pairs of positions: their reports say which was which.
TEST_F(RequestsInFlightTest, RequestsTheReportsTellApartAreNotToldNotKnown) {
    auto a = newOrder("multi 1", 45, "EURUSD", 0, "0");
    a.kind = Kind::MultiAccount;
    a.quantity.reset();
    a.accounts = {"20003"};
    a.accountQuantities = {{"20003", dec("1")}};
    auto b = a;
    b.description = "multi 2";
    b.accountQuantities = {{"20003", dec("2")}};
    EXPECT_EQ(runPairCase({"",
                           {a, b},
                           [&] {
                               auto r = orderFilled(45, "20003", 0, "1", "7");
                               r.insert(r.begin(), orderRefused(45, "20003", 1065));
                               return r;
                           }(),
                           {}}),
              (std::map<std::string, std::string>{{"multi 1", "done"}, {"multi 2", "refused 1065"}}));

    auto first = offset("offset A", "20003", "EURUSD");
    first.targets = {"500101", "500102"};
    auto other = offset("offset B", "20003", "EURUSD");
    other.targets = {"500103", "500104"};
    using Reports = std::vector<std::tuple<std::int64_t, std::vector<std::string>, std::int32_t>>;
    const Reports firstDone{{67, {"10=67", "73=73", "80=500101", "76=0"}, 0},
                            {67, {"10=67", "73=73", "80=500102", "76=0"}, 0},
                            {66, {"10=66", "80=500101", "87=500102", "89=1"}, 0}};
    const Reports otherRefused{
        {62, {"10=62", "73=25", "34=20003", "12=EURUSD", "74=1065", "79=700010"}, 1065},
        {1052, {"10=1052", "34=20003", "12=EURUSD", "74=1065"}, 1065}};
    const Reports firstAnswer{{1052, {"10=1052", "34=20003", "12=EURUSD", "74=0"}, 0}};
    Reports late = firstDone;
    late.insert(late.end(), otherRefused.begin(), otherRefused.end());
    late.insert(late.end(), firstAnswer.begin(), firstAnswer.end());
    EXPECT_EQ(runPairCase({"", {first, other}, late, {}}),
              (std::map<std::string, std::string>{{"offset A", "done"}, {"offset B", "refused 1065"}}));
}

} // namespace

namespace {

// Every report that fits several requests is counted in one place: a refusal fitting three, then one
// fitting the two alike that are left, together tell both (they were two reports for two requests).
TEST_F(RequestsInFlightTest, ReportsHeldForSeveralAndForLikeRequestsAreCountedTogether) {
    list.sent(newOrder("buy A", 50, "EURUSD", 0, "1"));
    list.sent(newOrder("sell", 50, "EURUSD", 1, "1"));
    list.sent(newOrder("buy C", 50, "EURUSD", 0, "1"));
    const std::vector<std::string> refusal{"10=62", "73=25", "33=50", "12=EURUSD", "74=7"};
    EXPECT_FALSE(answerOf(62, refusal, 7)) << "a refusal names no side: any of the three";
    EXPECT_EQ(answer(62, {"10=62", "73=23", "33=50", "12=EURUSD", "36=46", "37=1", "79=701", "80=801"}),
              "sell");
    std::vector<RequestsInFlight::Answered> told;
    if (auto a = answerOf(62, refusal, 7))
        told.push_back(std::move(*a));
    for (auto& a : list.takeGivenBack())
        told.push_back(std::move(a));
    EXPECT_EQ(told.size(), 2u) << "both buys are told, none left waiting";
    for (const auto& a : told)
        EXPECT_EQ(std::tuple(a.rejected, a.rejectionCode, a.notKnown.has_value()), std::tuple(true, 7, false))
            << a.request.description;
    EXPECT_EQ(list.waiting(), 0u);

    // Two closes of part of a position and a close of the rest: the first refused, the others carried
    // out. The settlements' quantities tell the close of the rest; of the two like part closes one was
    // carried out and one refused, which the wire cannot tell.
    auto part = [](std::string text) {
        auto r = on(Kind::Close, std::move(text), "900001", 42);
        r.quantity = dec("0.4");
        return r;
    };
    auto rest = on(Kind::Close, "rest", "900001", 42);
    rest.quantity = dec("0.2");
    list.sent(part("part A"));
    list.sent(part("part B"));
    list.sent(rest);
    EXPECT_FALSE(answerOf(62, {"10=62", "73=25", "33=42", "125=900001"}, 7));
    EXPECT_EQ(answer(67, {"10=67", "73=73", "80=900001", "76=0.6"}), "");
    EXPECT_EQ(answer(66, {"10=66", "80=900001", "89=0.4"}), "");
    EXPECT_TRUE(list.takeGivenBack().empty());
    EXPECT_EQ(answer(67, {"10=67", "73=73", "80=900001", "76=0"}), "");
    answer(66, {"10=66", "80=900001", "89=0.2"});
    std::map<std::string, std::string> outcome;
    for (const auto& a : list.takeGivenBack())
        outcome[a.request.description] = a.notKnown ? "not known" : a.rejected ? "refused" : "done";
    EXPECT_EQ(outcome, (std::map<std::string, std::string>{
                           {"part A", "not known"}, {"part B", "not known"}, {"rest", "done"}}));
    EXPECT_EQ(list.waiting(), 0u);
}

// A multi-account order is carried out or refused as a whole: of it and a market order of one of its
// accounts alike in side and quantity, its other account's report tells whose each report of the
// shared account is, whichever came first.
TEST_F(RequestsInFlightTest, AMultiAccountOrdersOtherAccountTellsWhoseTheSharedAccountsReportsAre) {
    auto multi = newOrder("multi", 60, "EURUSD", 0, "1");
    multi.kind = Kind::MultiAccount;
    multi.quantity.reset();
    multi.accounts = {"20001", "20003"};
    multi.accountQuantities = {{"20001", dec("1")}, {"20003", dec("1")}};
    for (const bool multiRefused : {false, true}) {
        SCOPED_TRACE(multiRefused ? "the multi-account order refused" : "the market order refused");
        list.sent(multi);
        list.sent(newOrder("market", 60, "EURUSD", 0, "1", "20001"));
        const std::string shared = "34=20001", other = "34=20003";
        const auto stored = [&](const std::string& account, const std::string& order) {
            return std::vector<std::string>{"10=62",     "73=28", "33=60", account,
                                            "12=EURUSD", "36=45", "37=1",  "79=" + order};
        };
        const auto refusal = [&](const std::string& account) {
            return std::vector<std::string>{"10=62", "73=25", "33=60", account, "12=EURUSD", "74=11", "79="};
        };
        std::vector<RequestsInFlight::Answered> told;
        const auto take = [&](std::optional<RequestsInFlight::Answered> a) {
            if (a)
                told.push_back(std::move(*a));
            for (auto& b : list.takeGivenBack())
                told.push_back(std::move(b));
        };
        const std::string order = multiRefused ? "71" : "81";
        take(answerOf(62, stored(shared, order)));
        take(answerOf(62, refusal(shared), 11));
        take(multiRefused ? answerOf(62, refusal(other), 11) : answerOf(62, stored(other, order + "1")));
        std::map<std::string, std::string> outcome;
        for (const auto& a : told)
            outcome[a.request.description + (a.account.empty() ? "" : " " + a.account)] =
                a.notKnown   ? "not known"
                : a.rejected ? "refused"
                             : "done";
        const std::string multiOutcome = multiRefused ? "refused" : "done";
        EXPECT_EQ(outcome,
                  (std::map<std::string, std::string>{{"multi 20001", multiOutcome},
                                                      {"multi 20003", multiOutcome},
                                                      {"market", multiRefused ? "done" : "refused"}}));
        EXPECT_EQ(list.waiting(), 0u);
    }
}

// Held updates are bounded, yet never dropped untold: an update a close-all of every open position and
// a close both fit, followed by a burst of offsets of its position, each keeping its own update for
// the close-all, is told "not known" to both once the burst passes the bound.
TEST_F(RequestsInFlightTest, AHeldUpdatePastTheBoundIsToldNotDropped) {
    auto everyOpen = on(Kind::CloseAll, "every open", "610001", 80);
    everyOpen.closesWhatIsOpen = true;
    list.sent(everyOpen);
    auto close = on(Kind::Close, "close", "610001", 81);
    close.quantity = dec("1");
    list.sent(close);
    std::map<std::string, std::string> outcome;
    const auto take = [&](std::optional<RequestsInFlight::Answered> a) {
        for (const auto& t : toldWith(std::move(a)))
            if (t.request.description != "offset")
                outcome[t.request.description] = t.notKnown ? "not known" : t.rejected ? "refused" : "done";
    };
    take(answerOf(67, {"10=67", "73=73", "80=610001", "76=0"}));
    take(answerOf(66, {"10=66", "80=610001", "12=1"}));
    EXPECT_EQ(outcome, (std::map<std::string, std::string>{})) << "either may have closed it";
    for (std::size_t i = 0; i <= RequestsInFlight::kMaxRequests + 8 && outcome.empty(); ++i) {
        auto o = offset("offset", "20003", "EURUSD");
        o.targets = {"610001", "610002"};
        list.sent(o);
        take(answerOf(67, {"10=67", "73=73", "80=610001", "76=0"}));
        take(answerOf(67, {"10=67", "73=73", "80=610002", "76=0"}));
        take(answerOf(66, {"10=66", "80=610001", "87=610002", "12=1"}));
        take(answerOf(1052, {"10=1052", "34=20003", "12=EURUSD", "74=0"}));
    }
    EXPECT_EQ(outcome,
              (std::map<std::string, std::string>{{"every open", "not known"}, {"close", "not known"}}));
    EXPECT_EQ(list.waiting(), 0u);
}

// A close-all of every open position and one of listed positions, one refused a position as no longer
// held, the other closing it: the server may refuse either so while it holds the position, so the
// reports read alike whichever it refused, and whether the closing follows tells nothing: each is told
// "not known".
TEST_F(RequestsInFlightTest, ARefusalAsNoLongerHeldTellsNeitherKindOfCloseAllFromTheOther) {
    auto everyOpen = on(Kind::CloseAll, "every open", "600001", 70);
    everyOpen.targets.push_back("600002");
    everyOpen.closesWhatIsOpen = true;
    auto listed = on(Kind::CloseAll, "listed", "600001", 70);
    listed.targets.push_back("600002");
    int order = 0;
    const auto refusal = [&](const std::string& position) {
        return answerOf(
            62, {"10=62", "73=25", "74=15", "79=" + std::to_string(700100 + ++order), "125=" + position}, 15);
    };
    for (const bool refusalFirst : {true, false}) {
        SCOPED_TRACE(refusalFirst ? "refused, then closed" : "closed, then refused");
        list.sent(everyOpen);
        list.sent(listed);
        std::map<std::string, std::string> outcome;
        const auto take = [&](const std::vector<RequestsInFlight::Answered>& told) {
            for (const auto& t : told)
                outcome[t.request.description + " " + t.position] =
                    t.notKnown   ? "not known"
                    : t.rejected ? "refused " + std::to_string(t.rejectionCode)
                                 : "done";
        };
        for (const std::string position : {"600001", "600002"}) {
            if (!refusalFirst)
                take(closingOf(position));
            take(toldWith(refusal(position)));
            if (refusalFirst)
                take(closingOf(position));
        }
        EXPECT_EQ(outcome, (std::map<std::string, std::string>{{"every open 600001", "not known"},
                                                               {"every open 600002", "not known"},
                                                               {"listed 600001", "not known"},
                                                               {"listed 600002", "not known"}}));
        EXPECT_EQ(list.waiting(), 0u);
    }
}

// A close-all of every open position of 20001 and EURUSD listing 640001 and 640002, one listing those and
// 640003, and what each was told of each position.
struct TwoCloseAlls {
    RequestsInFlight::Request everyOpen = on(Kind::CloseAll, "every open", "640001", 80);
    RequestsInFlight::Request three = on(Kind::CloseAll, "three", "640001", 81);
    std::map<std::string, std::string> outcome;
    TwoCloseAlls() {
        everyOpen.targets.push_back("640002");
        everyOpen.closesWhatIsOpen = true;
        everyOpen.openAccounts = {"20001"};
        everyOpen.openInstruments = {"EURUSD"};
        three.targets = {"640001", "640002", "640003"};
    }
    void take(const std::vector<RequestsInFlight::Answered>& told) {
        for (const auto& t : told)
            outcome[t.request.description + " " + t.position] =
                t.notKnown   ? (t.notKnown->position == t.position ? "closed by one" : "not known")
                : t.rejected ? "refused " + std::to_string(t.rejectionCode)
                             : "done";
    }
};

// A close-all of P, Q and R beside one of every open position of their account and instrument that
// lists P and Q: the latter closes R too when its turn comes first, so a report of R may be either's
// until the server's reports, or its going on answering past the latter's turn, say whose.
TEST_F(RequestsInFlightTest, ACloseAllOfEveryOpenPositionMayOwnAReportOfAPositionItDidNotList) {
    const auto clock = std::make_shared<platform::ManualClock>();
    const platform::ScopedClock scoped(clock);
    TwoCloseAlls two;
    auto& [everyOpen, three, outcome] = two;
    const auto take = [&](const std::vector<RequestsInFlight::Answered>& told) { two.take(told); };
    const auto closing = [&](const std::string& position) {
        take(toldWith(answerOf(67, {"10=67", "73=73", "34=20001", "12=EURUSD", "76=0", "80=" + position})));
    };
    for (const bool everyOpenFirst : {true, false}) {
        SCOPED_TRACE(everyOpenFirst ? "every open taken first" : "three taken first");
        outcome.clear();
        list.sent(three);
        list.sent(everyOpen);
        for (const std::string position : {"640001", "640002", "640003"})
            closing(position);
        EXPECT_FALSE(outcome.contains("three 640003")) << "the other's turn may have closed it";
        if (everyOpenFirst) {
            for (const std::string position : {"640001", "640002", "640003"})
                take(toldWith(answerOf(62, {"10=62", "73=25", "34=20001", "74=15", "125=" + position}, 15)));
        } else {
            clock->advance(RequestsInFlight::kLeftOverWait);
            take(list.takeLeftOver(platform::Clock::currentTime()));
        }
        const std::string p = everyOpenFirst ? "closed by one" : "done";
        const std::string q = everyOpenFirst ? "closed by one" : "refused 15";
        EXPECT_EQ(outcome,
                  (std::map<std::string, std::string>{{"three 640001", p},
                                                      {"three 640002", p},
                                                      {"three 640003", p},
                                                      {"every open 640001", everyOpenFirst ? p : q},
                                                      {"every open 640002", everyOpenFirst ? p : q}}));
        EXPECT_EQ(list.waiting(), 0u);
        clock->advance(RequestsInFlight::kLeftOverWait);
        EXPECT_TRUE(list.takeLeftOver(platform::Clock::currentTime()).empty());
        EXPECT_FALSE(list.leftOverWaiting());
    }
}

// The same two and a close of the third position, the one of every open position taken first: it closes
// all three; the other is refused each, and so is the close, by its number. Whose the third's closing
// and refusal are, the reports do not say: never the one listing it told done and the other refused.
TEST_F(RequestsInFlightTest, ACloseOfAPositionAnotherCloseAllClosedLeavesItsClosingNotKnown) {
    const auto clock = std::make_shared<platform::ManualClock>();
    const platform::ScopedClock scoped(clock);
    TwoCloseAlls two;
    auto& [everyOpen, three, outcome] = two;
    const auto take = [&](const std::vector<RequestsInFlight::Answered>& told) { two.take(told); };
    list.sent(everyOpen);
    list.sent(three);
    list.sent(on(Kind::Close, "close", "640003", 82));
    for (const std::string position : {"640001", "640002", "640003"})
        take(toldWith(answerOf(67, {"10=67", "73=73", "34=20001", "12=EURUSD", "76=0", "80=" + position})));
    for (const std::string position : {"640001", "640002", "640003"})
        take(toldWith(answerOf(62, {"10=62", "73=25", "34=20001", "74=15", "125=" + position}, 15)));
    take(toldWith(answerOf(62, {"10=62", "73=25", "33=82", "34=20001", "74=15", "125=640003"}, 15)));
    for (int i = 0; i < 3; ++i) {
        clock->advance(RequestsInFlight::kLeftOverWait);
        take(list.takeLeftOver(platform::Clock::currentTime()));
    }
    EXPECT_EQ(outcome, (std::map<std::string, std::string>{{"three 640001", "closed by one"},
                                                           {"three 640002", "closed by one"},
                                                           {"three 640003", "closed by one"},
                                                           {"every open 640001", "closed by one"},
                                                           {"every open 640002", "closed by one"},
                                                           {"close ", "refused 15"}}));
    EXPECT_EQ(list.waiting(), 0u);
}

// The listed close-all refused first, a close of 640001 carried out, then the close-all of every open
// position, which finds 640001 gone and says nothing of it. Its turn past, it is the one of the three the
// reports of 640001 leave without one: the refusal is the listed one's, the closing the close's.
TEST_F(RequestsInFlightTest, ACloseAllOfEveryOpenPositionPastItsTurnIsTheOneAReportFewerLeavesOut) {
    const auto clock = std::make_shared<platform::ManualClock>();
    const platform::ScopedClock scoped(clock);
    TwoCloseAlls two;
    list.sent(two.three);
    list.sent(on(Kind::Close, "close", "640001", 82));
    list.sent(two.everyOpen);
    for (const std::string position : {"640001", "640002", "640003"})
        two.take(toldWith(answerOf(62, {"10=62", "73=25", "34=20001", "74=11", "125=" + position}, 11)));
    for (const std::string position : {"640001", "640002", "640003"})
        two.take(
            toldWith(answerOf(67, {"10=67", "73=73", "34=20001", "12=EURUSD", "76=0", "80=" + position})));
    EXPECT_FALSE(two.outcome.contains("close ")) << "the close-all may still hear of 640001";
    for (int i = 0; i < 3; ++i) {
        clock->advance(RequestsInFlight::kLeftOverWait);
        two.take(list.takeLeftOver(platform::Clock::currentTime()));
    }
    EXPECT_EQ(two.outcome.at("close "), "done");
    EXPECT_EQ(two.outcome.at("three 640001"), "refused 11");
    EXPECT_EQ(two.outcome.at("every open 640001"), "refused 15");
    EXPECT_EQ(list.waiting(), 0u);
}

// Two close-alls of every open position beside the listed one: the first closes 640001 in its turn, the
// second finds it gone. The reports of 640001 leave one of the three without one, which of the two the
// reports do not say: neither is told refused of it, nor the listed one done.
TEST_F(RequestsInFlightTest, OfTwoCloseAllsOfEveryOpenPositionNeitherIsToldRefusedOfAPositionOneClosed) {
    const auto clock = std::make_shared<platform::ManualClock>();
    const platform::ScopedClock scoped(clock);
    TwoCloseAlls two;
    auto second = two.everyOpen;
    second.description = "second open";
    second.requestNumber = 83;
    list.sent(two.three);
    list.sent(two.everyOpen);
    list.sent(second);
    for (const std::string position : {"640001", "640002", "640003"})
        two.take(toldWith(answerOf(62, {"10=62", "73=25", "34=20001", "74=11", "125=" + position}, 11)));
    for (const std::string position : {"640001", "640002", "640003"})
        two.take(
            toldWith(answerOf(67, {"10=67", "73=73", "34=20001", "12=EURUSD", "76=0", "80=" + position})));
    for (int i = 0; i < 3; ++i) {
        clock->advance(RequestsInFlight::kLeftOverWait);
        two.take(list.takeLeftOver(platform::Clock::currentTime()));
    }
    // Nothing is told of the listed positions: each of the three may still be the one without a report.
    for (const char* request : {"every open", "second open", "three"})
        for (const char* position : {" 640001", " 640002"})
            EXPECT_FALSE(two.outcome.contains(request + std::string(position))) << request << position;
    EXPECT_EQ(list.waiting(), 3u);
    // A lost line hands each over with what the reports knew.
    const auto unanswered = list.takeUnanswered();
    ASSERT_EQ(unanswered.size(), 3u);
    for (const auto& r : unanswered)
        EXPECT_FALSE(r.notKnown.empty()) << r.description;
}

// The usual case beside a close-all of every open position: a close of a position of another
// instrument or account, and the close-all's own positions, each answered by its own report at once.
TEST_F(RequestsInFlightTest, ACloseAllOfEveryOpenPositionLeavesOthersClosingsToldAtOnce) {
    auto everyOpen = on(Kind::CloseAll, "every open", "650001", 82);
    everyOpen.closesWhatIsOpen = true;
    everyOpen.openAccounts = {"20001"};
    everyOpen.openInstruments = {"EURUSD"};
    list.sent(everyOpen);
    list.sent(on(Kind::Close, "other instrument", "650002", 83));
    list.sent(on(Kind::Close, "other account", "650003", 84));
    EXPECT_EQ(answer(67, {"10=67", "73=73", "34=20001", "12=GBPUSD", "76=0", "80=650002"}),
              "other instrument");
    EXPECT_EQ(answer(67, {"10=67", "73=73", "34=20003", "12=EURUSD", "76=0", "80=650003"}), "other account");
    EXPECT_EQ(answer(67, {"10=67", "73=73", "34=20001", "12=EURUSD", "76=0", "80=650001"}), "every open");
    EXPECT_EQ(list.waiting(), 0u);
}

// A close-all of every open position and one of listed positions, one refused a position for another
// reason than as no longer held, the other closing it: the same reports either way round, so each is
// told "not known" with what is known (the position closed for one of them), in whichever order the
// refusal and the closing come.
TEST_F(RequestsInFlightTest, ARefusalAndAClosingThatFitBothKindsOfCloseAllAreToldNotKnown) {
    auto everyOpen = on(Kind::CloseAll, "every open", "620001", 72);
    everyOpen.targets.push_back("620002");
    everyOpen.closesWhatIsOpen = true;
    auto listed = on(Kind::CloseAll, "listed", "620001", 72);
    listed.targets.push_back("620002");
    int order = 0;
    for (const std::int32_t code : {5, 11})
        for (const bool refusalFirst : {true, false}) {
            SCOPED_TRACE(std::to_string(code) +
                         (refusalFirst ? ": refused, then closed" : ": closed, then refused"));
            list.sent(everyOpen);
            list.sent(listed);
            std::map<std::string, std::string> outcome;
            const auto take = [&](const std::vector<RequestsInFlight::Answered>& told) {
                for (const auto& t : told) {
                    std::string what = t.rejected ? "refused" : "done";
                    if (t.notKnown) {
                        const auto& o = t.notKnown->outcomes;
                        const bool both =
                            o.size() == 2 &&
                            std::count(o.begin(), o.end(), RequestsInFlight::Outcome{}) == 1 &&
                            std::count(o.begin(), o.end(), RequestsInFlight::Outcome{true, code}) == 1;
                        what = std::string("not known") +
                               (t.notKnown->position == t.position && both ? ", one closed it" : "");
                    }
                    outcome[t.request.description + " " + t.position] = what;
                }
            };
            const auto refusal = [&](const std::string& position) {
                take(toldWith(answerOf(62,
                                       {"10=62", "73=25", "74=" + std::to_string(code),
                                        "79=" + std::to_string(720100 + ++order), "125=" + position},
                                       code)));
            };
            for (const std::string position : {"620001", "620002"}) {
                if (!refusalFirst)
                    take(closingOf(position));
                refusal(position);
                if (refusalFirst)
                    take(closingOf(position));
            }
            const std::string known = "not known, one closed it";
            EXPECT_EQ(outcome, (std::map<std::string, std::string>{{"every open 620001", known},
                                                                   {"every open 620002", known},
                                                                   {"listed 620001", known},
                                                                   {"listed 620002", known}}));
            EXPECT_EQ(list.waiting(), 0u);
        }
}

// Of a multi-account order and a market order of each of its accounts, one refused: the refusal and the
// shared account's report wait for the other account's reports, though those are themselves held, and
// are told once they come.
TEST_F(RequestsInFlightTest, AMultiAccountOrdersHeldOtherAccountStillSettlesTheSharedAccount) {
    auto multi = newOrder("multi", 61, "EURUSD", 0, "1");
    multi.kind = Kind::MultiAccount;
    multi.quantity.reset();
    multi.accounts = {"20001", "20003"};
    multi.accountQuantities = {{"20001", dec("1")}, {"20003", dec("1")}};
    const std::map<std::string, std::string> market{{"20001", "market"}, {"20003", "other"}};
    int order = 0;
    for (const std::string refusedAccount : {"20001", "20003"}) {
        SCOPED_TRACE("the market order of " + refusedAccount + " refused");
        const std::string otherAccount = refusedAccount == "20001" ? "20003" : "20001";
        list.sent(multi);
        list.sent(newOrder("market", 61, "EURUSD", 0, "1", "20001"));
        list.sent(newOrder("other", 61, "EURUSD", 0, "1", "20003"));
        const auto stored = [&](const std::string& account) {
            return std::vector<std::string>{"10=62",     "73=28", "33=61", "34=" + account,
                                            "12=EURUSD", "36=45", "37=1",  "79=" + std::to_string(++order)};
        };
        std::map<std::string, std::string> outcome;
        const auto take = [&](std::optional<RequestsInFlight::Answered> a) {
            std::vector<RequestsInFlight::Answered> told;
            if (a)
                told.push_back(std::move(*a));
            for (auto& b : list.takeGivenBack())
                told.push_back(std::move(b));
            for (const auto& t : told)
                outcome[t.request.description + (t.account.empty() ? "" : " " + t.account)] =
                    t.notKnown   ? "not known"
                    : t.rejected ? "refused"
                                 : "done";
        };
        // The multi-account order's two reports, then the refused market order's, then the other's.
        take(answerOf(62, stored(refusedAccount)));
        take(answerOf(62, stored(otherAccount)));
        take(answerOf(62, {"10=62", "73=25", "33=61", "34=" + refusedAccount, "12=EURUSD", "74=11", "79="},
                      11));
        EXPECT_EQ(outcome, (std::map<std::string, std::string>{}))
            << "the other account's second report may tell";
        take(answerOf(62, stored(otherAccount)));
        EXPECT_EQ(outcome, (std::map<std::string, std::string>{{"multi 20001", "done"},
                                                               {"multi 20003", "done"},
                                                               {market.at(refusedAccount), "refused"},
                                                               {market.at(otherAccount), "done"}}));
        EXPECT_EQ(list.waiting(), 0u);
    }
}

// A report held for several requests is never kept without end: once the server has gone on answering
// past the bound, the requests it fits are told "not known" with what it said. And what is handed over
// at a lost line says whether the requests are alike, or unlike ones a report fitted.
TEST_F(RequestsInFlightTest, AReportHeldPastTheBoundIsToldNotKnownAndSaysWhetherItsRequestsAreAlike) {
    list.sent(newOrder("buy", 50, "EURUSD", 0, "1"));
    list.sent(newOrder("sell", 50, "EURUSD", 1, "1"));
    EXPECT_FALSE(answerOf(62, {"10=62", "73=25", "33=50", "12=EURUSD", "74=7"}, 7));
    {
        auto lost = list;
        const auto left = lost.takeUnanswered();
        ASSERT_EQ(left.size(), 2u);
        ASSERT_EQ(left[0].notKnown.size(), 1u);
        EXPECT_FALSE(left[0].notKnown[0].alike) << "a buy and a sell are not like requests";
    }
    std::vector<RequestsInFlight::Answered> told;
    for (std::size_t i = 0; i <= RequestsInFlight::kMaxRequests + 2 && told.empty(); ++i) {
        answer(67, {"10=67", "73=73", "80=" + std::to_string(990000 + i), "76=0"});
        told = list.takeGivenBack();
    }
    ASSERT_EQ(told.size(), 2u) << "told once the server went on past the bound, not kept";
    for (const auto& a : told) {
        ASSERT_TRUE(a.notKnown) << a.request.description;
        EXPECT_EQ(a.notKnown->outcomes, (std::vector<RequestsInFlight::Outcome>{{true, 7}}));
        EXPECT_FALSE(a.notKnown->alike);
    }
    EXPECT_EQ(list.waiting(), 0u);

    list.sent(newOrder("buy A", 51, "EURUSD", 0, "1"));
    list.sent(newOrder("buy B", 51, "EURUSD", 0, "1"));
    EXPECT_FALSE(answerOf(62, {"10=62", "73=25", "33=51", "12=EURUSD", "74=7"}, 7));
    const auto left = list.takeUnanswered();
    ASSERT_EQ(left.size(), 2u);
    ASSERT_EQ(left[0].notKnown.size(), 1u);
    EXPECT_TRUE(left[0].notKnown[0].alike);
}

// Refused in every pairing the reports allow is refused for certain, for the one reason they share or
// for one of theirs; what stays open is told what is known of it alone.
TEST_F(RequestsInFlightTest, ARequestRefusedInEveryPairingIsToldRefusedForOneOfTheReasons) {
    const auto run =
        [&](std::vector<RequestsInFlight::Request> sent,
            std::vector<std::tuple<std::int64_t, std::vector<std::string>, std::int32_t>> answers) {
            for (auto& r : sent)
                list.sent(std::move(r));
            std::vector<RequestsInFlight::Answered> told;
            for (auto& [type, fields, code] : answers) {
                if (auto a = answerOf(type, std::move(fields), code))
                    told.push_back(std::move(*a));
                for (auto& other : list.takeGivenBack())
                    told.push_back(std::move(other));
            }
            EXPECT_EQ(list.waiting(), 0u);
            std::sort(told.begin(), told.end(),
                      [](const auto& a, const auto& b) { return a.request.number < b.request.number; });
            return told;
        };
    {
        SCOPED_TRACE("like orders each refused, for reasons of their own");
        const auto told = run({newOrder("A", 50, "EURUSD", 0, "1"), newOrder("B", 50, "EURUSD", 0, "1")},
                              {{62, {"10=62", "73=25", "33=50", "12=EURUSD", "74=11"}, 11},
                               {62, {"10=62", "73=25", "33=50", "12=EURUSD", "74=3"}, 3}});
        ASSERT_EQ(told.size(), 2u);
        for (const auto& a : told) {
            EXPECT_FALSE(a.notKnown) << a.request.description;
            EXPECT_TRUE(a.rejected);
            EXPECT_EQ(a.possibleCodes, (std::vector<std::int32_t>{3, 11}));
        }
    }
    {
        SCOPED_TRACE("a close beside two part closes of one position");
        auto close = on(Kind::Close, "close", "300001", 42);
        close.quantity = dec("1");
        auto part = on(Kind::Close, "part", "300001", 42);
        part.quantity = dec("0.4");
        auto part2 = part;
        part2.description = "part 2";
        const auto told =
            run({close, part, part2}, {{67, {"10=67", "73=73", "80=300001", "76=0.6"}, 0},
                                       {66, {"10=66", "80=300001", "89=0.4", "12=1"}, 0},
                                       {62, {"10=62", "73=25", "33=42", "74=5", "79=", "125=300001"}, 5},
                                       {62, {"10=62", "73=25", "33=42", "74=1", "79=", "125=300001"}, 1}});
        ASSERT_EQ(told.size(), 3u);
        EXPECT_EQ(told[0].request.description, "close");
        EXPECT_FALSE(told[0].notKnown);
        EXPECT_TRUE(told[0].rejected);
        EXPECT_EQ(told[0].possibleCodes, (std::vector<std::int32_t>{1, 5}));
        for (std::size_t i = 1; i < 3; ++i) {
            ASSERT_TRUE(told[i].notKnown) << told[i].request.description;
            ASSERT_EQ(told[i].notKnown->like.size(), 2u) << "the part closes alone";
            EXPECT_EQ(told[i].notKnown->like[0].description, "part");
            const auto& o = told[i].notKnown->outcomes;
            ASSERT_EQ(o.size(), 2u);
            EXPECT_EQ(std::count_if(o.begin(), o.end(), [](const auto& x) { return !x.rejected; }), 1);
            EXPECT_TRUE(std::any_of(o.begin(), o.end(), [](const auto& x) {
                return x.rejected && x.possibleCodes == std::vector<std::int32_t>{1, 5};
            }));
        }
    }
}

// More like requests than are paired every way: where each has its report and every report says the
// same, each is told it; reports that can be only some requests' are theirs and no other's.
TEST_F(RequestsInFlightTest, MoreRequestsThanArePairedAreToldWhatIsCertain) {
    for (int i = 0; i < 9; ++i)
        list.sent(newOrder("buy " + std::to_string(i), 70, "EURUSD", 0, "1"));
    std::vector<RequestsInFlight::Answered> told;
    for (int i = 0; i < 9; ++i) {
        if (auto a = answerOf(62, {"10=62", "73=23", "33=70", "12=EURUSD", "36=45", "37=1",
                                   "79=" + std::to_string(710000 + i), "80=" + std::to_string(810000 + i)}))
            told.push_back(std::move(*a));
        for (auto& other : list.takeGivenBack())
            told.push_back(std::move(other));
        if (i < 8) {
            EXPECT_TRUE(told.empty()) << "told before each had its report";
        }
    }
    ASSERT_EQ(told.size(), 9u);
    for (const auto& a : told) {
        EXPECT_FALSE(a.notKnown) << a.request.description;
        EXPECT_FALSE(a.rejected);
    }
    EXPECT_EQ(list.waiting(), 0u);

    // Five buys and four sells of one number, a buy refused (a refusal names no side): the sells'
    // fills are the sells', so the refusal is a buy's.
    for (int i = 0; i < 9; ++i)
        list.sent(newOrder((i < 5 ? "buy " : "sell ") + std::to_string(i), 71, "EURUSD", i < 5 ? 0 : 1, "1"));
    told.clear();
    const auto take = [&](std::optional<RequestsInFlight::Answered> a) {
        if (a)
            told.push_back(std::move(*a));
        for (auto& other : list.takeGivenBack())
            told.push_back(std::move(other));
    };
    take(answerOf(62, {"10=62", "73=25", "33=71", "12=EURUSD", "74=1"}, 1));
    for (int i = 1; i < 9; ++i)
        take(answerOf(62, {"10=62", "73=23", "33=71", "12=EURUSD", i < 5 ? "36=45" : "36=46", "37=1",
                           "79=" + std::to_string(720000 + i), "80=" + std::to_string(820000 + i)}));
    ASSERT_EQ(told.size(), 9u);
    for (const auto& a : told) {
        const bool sell = a.request.side == 1;
        ASSERT_EQ(a.notKnown.has_value(), !sell) << a.request.description;
        if (sell) {
            EXPECT_FALSE(a.rejected) << a.request.description;
            continue;
        }
        EXPECT_EQ(a.notKnown->like.size(), 5u) << "the buys alone";
        EXPECT_EQ(std::count_if(a.notKnown->outcomes.begin(), a.notKnown->outcomes.end(),
                                [](const auto& o) { return !o.rejected; }),
                  4);
    }
    EXPECT_EQ(list.waiting(), 0u);
}

// An edit carried out by two reports (its take profit moved, a stop loss placed) beside another edit of
// the same number asking that stop loss, its take profit kept: the second report may be the first
// edit's own, so it cannot tell the other done.
TEST_F(RequestsInFlightTest, AnEditsSecondLegReportIsNotAnothersAnswer) {
    const auto legs = [](std::string text, std::string_view takeProfit, std::string_view stopLoss) {
        return legsOf(std::move(text), takeProfit, stopLoss);
    };
    list.sent(legs("move both", "1.09500", "1.07500"));
    list.sent(legs("stop loss, take profit kept", "1.09600", "1.07500"));
    EXPECT_EQ(answer(62, {"10=62", "73=75", "33=42", "32=30", "38=1.09500", "79=310001", "573=300001"}),
              "move both");
    // The first edit's own stop loss, placed after its take profit moved.
    const auto second =
        answerOf(62, {"10=62", "73=28", "33=42", "32=31", "38=1.07500", "79=310002", "573=300001"});
    EXPECT_FALSE(second && !second->notKnown) << "told " << second->request.description << " done";
    // The other edit refused: the stop loss was the first edit's.
    const auto refused = answerOf(62, {"10=62", "73=25", "33=42", "74=1", "79=", "573=300001"}, 1);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->request.description, "stop loss, take profit kept");
    EXPECT_TRUE(refused->rejected);
    EXPECT_TRUE(list.takeGivenBack().empty());
    EXPECT_EQ(list.waiting(), 0u);
}

// Two edits of one pass, both carried out: the second placed the stop loss where the first asks it, so the
// first reports only its take profit, and no report tells whose the stop loss was. A silence tells
// nothing; once the server has gone on answering past the wait, the other is told "not known".
TEST_F(RequestsInFlightTest, AnEditLeftOpenByAReportThatNeverComesIsToldNotKnownOnceTheServerAnswersOn) {
    const auto legs = [](std::string text, std::string_view takeProfit) {
        return legsOf(std::move(text), takeProfit, "1.07500");
    };
    // What is not known names the edit whose leg the report may be; a lost line says it was lost.
    const auto named = [](const RequestsInFlight::NotKnown& known) {
        std::vector<std::string> out;
        for (const auto& l : known.like)
            out.push_back(l.description);
        return out;
    };
    const std::vector<std::string> both{"move both", "stop loss, take profit kept"};
    for (const bool lineLost : {false, true}) {
        SCOPED_TRACE(lineLost ? "the line lost" : "the server answering on");
        list.sent(legs("move both", "1.09500"));
        list.sent(legs("stop loss, take profit kept", "1.09000"));
        EXPECT_EQ(answer(62, {"10=62", "73=28", "33=42", "32=31", "38=1.07500", "79=310002", "573=300001"}),
                  "");
        EXPECT_EQ(answer(62, {"10=62", "73=75", "33=42", "32=30", "38=1.09500", "79=310001", "573=300001"}),
                  "move both");
        EXPECT_TRUE(list.holdsReports());
        // A silence counts a ping's gap at most.
        auto at = platform::Clock::currentTime();
        EXPECT_TRUE(list.takeLeftOver(at).empty());
        at += 2 * RequestsInFlight::kHeldWait;
        EXPECT_TRUE(list.takeLeftOver(at).empty()) << "a silence";
        EXPECT_EQ(list.waiting(), 1u);
        if (lineLost) {
            const auto unanswered = list.takeUnanswered();
            ASSERT_EQ(unanswered.size(), 1u);
            ASSERT_EQ(unanswered[0].notKnown.size(), 1u);
            EXPECT_TRUE(unanswered[0].notKnown[0].lineLost);
            EXPECT_EQ(named(unanswered[0].notKnown[0]), both);
            continue;
        }
        // The server answering each second: told once it has for the wait, and once only.
        std::vector<RequestsInFlight::Answered> told;
        int seconds = 0;
        for (; seconds < 200; ++seconds) {
            at += std::chrono::seconds(1);
            auto now = list.takeLeftOver(at);
            told.insert(told.end(), now.begin(), now.end());
        }
        ASSERT_EQ(told.size(), 1u);
        EXPECT_EQ(told[0].request.description, both[1]);
        ASSERT_TRUE(told[0].notKnown);
        EXPECT_FALSE(told[0].notKnown->lineLost);
        EXPECT_EQ(named(*told[0].notKnown), both);
        // It stays the held report's candidate: its own refusal, late, is its own, told as late.
        EXPECT_EQ(list.waiting(), 1u);
        const auto refused = answerOf(62, {"10=62", "73=25", "33=42", "74=1", "79=", "573=300001"}, 1);
        ASSERT_TRUE(refused);
        EXPECT_EQ(refused->request.description, both[1]);
        EXPECT_TRUE(refused->rejected);
        EXPECT_TRUE(refused->request.givenUp);
        EXPECT_EQ(list.waiting(), 0u);
        EXPECT_FALSE(list.holdsReports());
    }
}

// Two edits of one pass placing one take profit, one moving the stop loss, the other keeping it and
// refused. The edit answered by its stop loss leaves its take profit's held report a candidate of its
// own, not the other's answer, in whatever order the server sends the reports (but the stop loss last:
// the two before it already tell the pair not known).
TEST_F(RequestsInFlightTest, AnEditAnsweredByItsStopLossKeepsItsTakeProfitsHeldReport) {
    const auto legs = [](std::string text, std::string_view stopLoss) {
        return legsOf(std::move(text), "1.09500", stopLoss);
    };
    std::vector<std::vector<std::string>> reports{
        {"10=62", "73=25", "33=42", "74=1", "79=", "573=300001"},
        {"10=62", "73=28", "33=42", "32=30", "38=1.09500", "79=310003", "573=300001"},
        {"10=62", "73=75", "33=42", "32=31", "38=1.07500", "79=310001", "573=300001"}};
    std::sort(reports.begin(), reports.end());
    do {
        if (reports.back()[1] == "73=75")
            continue;
        list.sent(legs("move both", "1.07500"));
        list.sent(legs("stop loss kept", "1.07000"));
        std::map<std::string, std::string> told;
        for (auto fields : reports) {
            const bool refusal = fields[1] == "73=25";
            for (const auto& a : toldWith(answerOf(62, std::move(fields), refusal ? 1 : 0)))
                told[a.request.description] = a.notKnown ? "not known" : a.rejected ? "refused" : "done";
        }
        EXPECT_EQ(told,
                  (std::map<std::string, std::string>{{"move both", "done"}, {"stop loss kept", "refused"}}))
            << reports[0][1] << ", " << reports[1][1] << ", " << reports[2][1];
        EXPECT_EQ(list.waiting(), 0u);
    } while (std::next_permutation(reports.begin(), reports.end()));
}

// Both edits sent, the stop loss the one moved reported, the take profit naming the first. The held stop
// loss may be the first edit's leg still to come, and the other's refusal may still come: a server slow
// with one request answers others meanwhile, so no wait tells it done.
TEST_F(RequestsInFlightTest, AnEditWhoseLegMayStillComeIsNotToldDoneWhenTheServerAnswersOn) {
    const auto legs = [](std::string text, std::string_view takeProfit) {
        return legsOf(std::move(text), takeProfit, "1.07500");
    };
    list.sent(legs("move both", "1.09500"));
    list.sent(legs("stop loss moved", "1.09600"));
    EXPECT_EQ(answer(62, {"10=62", "73=75", "33=42", "32=31", "38=1.07500", "79=310002", "573=300001"}), "");
    EXPECT_EQ(answer(62, {"10=62", "73=75", "33=42", "32=30", "38=1.09500", "79=310001", "573=300001"}),
              "move both");
    const auto since = platform::Clock::currentTime();
    EXPECT_TRUE(list.takeLeftOver(since + RequestsInFlight::kLeftOverWait).empty());
    EXPECT_TRUE(list.takeLeftOver(since + 10 * RequestsInFlight::kLeftOverWait).empty());
    EXPECT_EQ(list.waiting(), 1u);
    const auto refused = answerOf(62, {"10=62", "73=25", "33=42", "74=1", "79=", "573=300001"}, 1);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->request.description, "stop loss moved");
    EXPECT_TRUE(refused->rejected);
    EXPECT_TRUE(list.takeGivenBack().empty());
    EXPECT_EQ(list.waiting(), 0u);
}

// A part close changes its position's legs, and the server reports each naming no number at its price
// unchanged: no edit asking that leg at that price is told done by it.
TEST_F(RequestsInFlightTest, ALegAPartCloseChangedIsNoEditsAnswer) {
    auto close = on(Kind::Close, "part close", "300001", 42);
    close.quantity = dec("0.5");
    list.sent(close);
    auto edit = on(Kind::PositionEdit, "stop loss, take profit kept", "300001", 42);
    edit.editedTo.emplace();
    edit.editedTo->takeProfit = dec("1.09600");
    edit.editedTo->stopLoss = dec("1.07500");
    list.sent(edit);
    EXPECT_EQ(answer(67, {"10=67", "73=73", "80=300001", "76=0.5"}), "part close");
    EXPECT_EQ(answer(66, {"10=66", "80=300001", "87=300009", "12=1", "89=0.5"}), "");
    const auto leg = answerOf(62, {"10=62", "73=75", "32=30", "38=1.09600", "79=310001", "573=300001"});
    EXPECT_FALSE(leg && !leg->notKnown) << "told " << leg->request.description << " done";
    const auto refused = answerOf(62, {"10=62", "73=25", "33=42", "74=1", "79=", "573=300001"}, 1);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->request.description, "stop loss, take profit kept");
    EXPECT_TRUE(refused->rejected);
    EXPECT_EQ(list.waiting(), 0u);

    // Carried out, its own report tells it.
    list.sent(close);
    list.sent(edit);
    EXPECT_EQ(answer(67, {"10=67", "73=73", "80=300001", "76=0.5"}), "part close");
    EXPECT_EQ(answer(66, {"10=66", "80=300001", "87=300010", "12=1", "89=0.5"}), "");
    EXPECT_EQ(answer(62, {"10=62", "73=75", "32=30", "38=1.09600", "79=310001", "573=300001"}), "");
    const auto done =
        answerOf(62, {"10=62", "73=28", "33=42", "32=31", "38=1.07500", "79=310002", "573=300001"});
    ASSERT_TRUE(done);
    EXPECT_EQ(done->request.description, "stop loss, take profit kept");
    EXPECT_FALSE(done->rejected || done->notKnown);
    EXPECT_EQ(list.waiting(), 0u);
}

// A price the report writes in another form than the request is the same price.
TEST_F(RequestsInFlightTest, APriceWrittenInAnotherFormStillFits) {
    auto tp = on(Kind::PositionEdit, "take profit", "300001", 42);
    tp.editedTo.emplace();
    tp.editedTo->takeProfit = dec("1.1");
    list.sent(tp);
    EXPECT_EQ(answer(62, {"10=62", "73=28", "33=42", "32=30", "38=1.10000", "79=310001", "573=300001"}),
              "take profit");
    auto edit = on(Kind::OrderEdit, "edit", "400001", 60);
    edit.quantity = dec("1.0");
    edit.editedTo.emplace();
    edit.editedTo->price = dec("1.069");
    list.sent(edit);
    EXPECT_EQ(answer(62, {"10=62", "73=75", "33=60", "37=1.00", "38=1.06900", "79=400001"}), "edit");
    EXPECT_EQ(list.waiting(), 0u);
}

} // namespace

// Three edits of one pass, all carried out: a stop loss with the take profit kept, both legs moved, and
// a take profit alone, sent while the position had no stop loss. The last, taken after the stop loss the
// others placed, has the server cancel it: that cancellation is its answer, in whatever order the
// reports come. The stop loss placed may be either other's (the kept take profit is never reported):
// neither is told on a guess.
TEST_F(RequestsInFlightTest, AnEditAskingNoStopLossIsAnsweredByTheStopLossCancelledWhateverItsPositionHeld) {
    const auto legs = [](std::string text, std::string_view takeProfit,
                         std::optional<std::string_view> stop) {
        return legsOf(std::move(text), takeProfit, stop);
    };
    std::vector<std::vector<std::string>> reports{
        {"10=62", "73=24", "33=42", "32=31", "38=1.07500", "79=310002", "573=300001"},
        {"10=62", "73=28", "33=42", "32=31", "38=1.07500", "79=310002", "573=300001"},
        {"10=62", "73=75", "33=42", "32=30", "38=1.09500", "79=310001", "573=300001"}};
    do {
        list = RequestsInFlight();
        list.sent(legs("stop loss kept", "1.09600", "1.07500"));
        list.sent(legs("move both", "1.09500", "1.07500"));
        list.sent(legs("take profit", "1.09500", std::nullopt));
        std::map<std::string, std::string> told;
        const auto note = [&](std::vector<RequestsInFlight::Answered> answers) {
            for (const auto& a : answers)
                told[a.request.description] = a.notKnown ? "not known" : a.rejected ? "refused" : "done";
        };
        for (auto fields : reports)
            note(toldWith(answerOf(62, std::move(fields))));
        note(list.takeLeftOver(platform::Clock::currentTime() + RequestsInFlight::kLeftOverWait));
        EXPECT_EQ(told, (std::map<std::string, std::string>{{"take profit", "done"}}))
            << reports[0][1] << ", " << reports[1][1] << ", " << reports[2][1];
        EXPECT_EQ(list.waiting(), 2u);
    } while (std::next_permutation(reports.begin(), reports.end()));
}

// A stop loss, a take profit alone and a close of P in one pass, P holding no leg. The server places
// the stop loss, closes P (its stop loss cancelled before the position's update) and refuses the take
// profit as gone: the cancellation is the close's, not the take profit's answer.
// A stop loss, a take profit alone and a close of 300001 (holding no leg), sent in one pass.
static void sendStopTakeAndClose(RequestsInFlight& list, std::int64_t number) {
    auto stop = on(Kind::PositionEdit, "stop loss", "300001", number);
    stop.editedTo.emplace();
    stop.editedTo->stopLoss = dec("1.07500");
    auto take = on(Kind::PositionEdit, "take profit", "300001", number);
    take.editedTo.emplace();
    take.editedTo->takeProfit = dec("1.09500");
    list.sent(stop);
    list.sent(take);
    list.sent(on(Kind::Close, "close", "300001", number));
}

TEST_F(RequestsInFlightTest, ACloseCancellingALegBeforeItsUpdateIsNoEditsAnswer) {
    sendStopTakeAndClose(list, 42);
    std::map<std::string, std::string> told;
    const auto note = [&](std::vector<RequestsInFlight::Answered> answers) {
        for (const auto& a : answers)
            told[a.request.description] = a.notKnown ? "not known" : a.rejected ? "refused" : "done";
    };
    note(toldWith(
        answerOf(62, {"10=62", "73=28", "33=42", "32=31", "38=1.07500", "79=310002", "573=300001"})));
    note(toldWith(answerOf(62, {"10=62", "73=24", "32=31", "38=1.07500", "79=310002", "573=300001"})));
    note(toldWith(answerOf(67, {"10=67", "73=73", "80=300001", "76=0"})));
    note(toldWith(answerOf(62, {"10=62", "73=25", "33=42", "74=15", "79=", "573=300001"}, 15)));
    EXPECT_EQ(told, (std::map<std::string, std::string>{
                        {"stop loss", "done"}, {"take profit", "refused"}, {"close", "done"}}));
    EXPECT_EQ(list.waiting(), 0u);
}

// A close-all of every open position of another account, on the same instrument, closes nothing of
// 300001: the cancellation of its stop loss answers the take profit at once, as with no close-all.
TEST_F(RequestsInFlightTest, ACloseAllOfAnotherAccountLeavesALegCancellationTheEditsAnswer) {
    for (const std::string account : {"20001", "20003"}) {
        SCOPED_TRACE("the close-all of account " + account);
        auto stop = on(Kind::PositionEdit, "stop loss", "300001", 42);
        stop.editedTo.emplace();
        stop.editedTo->stopLoss = dec("1.07500");
        auto take = on(Kind::PositionEdit, "take profit", "300001", 42);
        take.editedTo.emplace();
        take.editedTo->takeProfit = dec("1.09500");
        auto closeAll = on(Kind::CloseAll, "close all", "300009", 43);
        closeAll.closesWhatIsOpen = true;
        closeAll.openAccounts = {account};
        closeAll.openInstruments = {"EURUSD"};
        list.sent(stop);
        list.sent(take);
        list.sent(closeAll);
        EXPECT_EQ(answer(62, {"10=62", "73=28", "33=42", "32=31", "38=1.07500", "79=310002", "573=300001",
                              "34=20001", "12=EURUSD"}),
                  "stop loss");
        const auto cancelled = answerOf(62, {"10=62", "73=24", "32=31", "38=1.07500", "79=310002",
                                             "573=300001", "34=20001", "12=EURUSD"});
        if (account == "20001") {
            EXPECT_FALSE(cancelled) << "the close-all may have closed 300001";
            // It closed only 300009 and heard nothing else: the cancellation was the take profit's.
            EXPECT_EQ(answer(67, {"10=67", "73=73", "80=300009", "76=0"}), "close all");
            list.takeUnanswered();
        } else {
            ASSERT_TRUE(cancelled);
            EXPECT_EQ(cancelled->request.description, "take profit");
            EXPECT_FALSE(cancelled->rejected);
            EXPECT_EQ(answer(67, {"10=67", "73=73", "80=300009", "76=0"}), "close all");
            EXPECT_EQ(list.waiting(), 0u);
        }
    }
}

// The same three, the close refused: the stop loss's cancellation was the take profit's doing, told
// once the close's refusal says it closed nothing; the usual answer order and the other.
TEST_F(RequestsInFlightTest, ALegCancelledBesideACloseRefusedIsTheEditsAnswer) {
    for (const bool refusalFirst : {false, true}) {
        SCOPED_TRACE(refusalFirst ? "the close's refusal first" : "the cancellation first");
        sendStopTakeAndClose(list, 43);
        std::map<std::string, std::string> told;
        const auto note = [&](std::vector<RequestsInFlight::Answered> answers) {
            for (const auto& a : answers)
                told[a.request.description] = a.notKnown   ? "not known"
                                              : a.rejected ? "refused " + std::to_string(a.rejectionCode)
                                                           : "done";
        };
        const auto refused = [&] {
            note(toldWith(answerOf(62, {"10=62", "73=25", "33=43", "74=11", "79=", "125=300001"}, 11)));
        };
        note(toldWith(
            answerOf(62, {"10=62", "73=28", "33=43", "32=31", "38=1.07500", "79=310002", "573=300001"})));
        if (refusalFirst)
            refused();
        note(toldWith(answerOf(62, {"10=62", "73=24", "32=31", "38=1.07500", "79=310002", "573=300001"})));
        if (!refusalFirst)
            refused();
        EXPECT_EQ(told, (std::map<std::string, std::string>{
                            {"stop loss", "done"}, {"take profit", "done"}, {"close", "refused 11"}}));
        EXPECT_EQ(list.waiting(), 0u);
    }
}

// Both legs moved and a stop loss keeping the take profit, one pass; the second refused, its refusal
// coming after the server answered on past the left-over wait. The held stop loss is the first's leg,
// in either order of the first's legs.
TEST_F(RequestsInFlightTest, ARefusalComingPastTheLeftOverWaitIsNotToldDone) {
    const auto legs = [](std::string text, std::string_view takeProfit) {
        return legsOf(std::move(text), takeProfit, "1.07500");
    };
    for (const bool stopFirst : {false, true}) {
        list = RequestsInFlight();
        list.sent(legs("move both", "1.09500"));
        list.sent(legs("stop loss kept", "1.09600"));
        std::map<std::string, std::string> told;
        const auto note = [&](std::vector<RequestsInFlight::Answered> answers) {
            for (const auto& a : answers)
                told[a.request.description] = a.notKnown ? "not known" : a.rejected ? "refused" : "done";
        };
        std::vector<std::vector<std::string>> both{
            {"10=62", "73=75", "33=42", "32=30", "38=1.09500", "79=310001", "573=300001"},
            {"10=62", "73=28", "33=42", "32=31", "38=1.07500", "79=310002", "573=300001"}};
        if (stopFirst)
            std::swap(both[0], both[1]);
        for (auto fields : both)
            note(toldWith(answerOf(62, std::move(fields))));
        note(list.takeLeftOver(platform::Clock::currentTime() + RequestsInFlight::kLeftOverWait));
        note(toldWith(answerOf(62, {"10=62", "73=25", "33=42", "74=1", "79=", "573=300001"}, 1)));
        EXPECT_EQ(told,
                  (std::map<std::string, std::string>{{"move both", "done"}, {"stop loss kept", "refused"}}))
            << (stopFirst ? "stop loss first" : "take profit first");
    }
}
