// What a question before sending says of the earlier requests waiting on its positions, and what a
// Close All row the server refused says of its position, without widgets.
#include "gui/grid/grid_cells.h"
#include "gui/market/market_fixture.h"
#include "gui/texts.h"
#include "gui/trading/awaited_requests.h"
#include "gui/trading/close_all_rules.h"
#include "model/text/positional_text.h"

#include <gtest/gtest.h>

namespace {

using namespace tc::gui;
using Kind = interfaces::AwaitedPositions::Kind;

std::string sentence(std::string_view key) {
    return languageText(0, key);
}

TEST(AwaitedRequests, EachKindSaysOnceWhatItMayDoAndTheRequestsAreNamedOldestFirst) {
    const std::vector<interfaces::AwaitedPositions> awaited{
        {1, "Offset A", {"1", "9"}, Kind::Offset},      {2, "Close B", {"2"}, Kind::Close},
        {3, "Edit C", {"1"}, Kind::PositionEdit},       {4, "Offset D", {"9", "1"}, Kind::Offset},
        {5, "Close All E", {"3", "1"}, Kind::CloseAll},
    };
    const std::vector<std::string> offsetOf1{"1", "2"};
    const auto on = awaitedOn(awaited, offsetOf1);
    ASSERT_EQ(on.size(), 5u);
    EXPECT_EQ(awaitedOn(awaited, std::vector<std::string>{"3"}).size(), 1u);
    EXPECT_TRUE(awaitedOn(awaited, std::vector<std::string>{"7"}).empty());
    // Three named, the rest counted.
    EXPECT_EQ(awaitedNames(0, on),
              tc::fillPositional(sentence(texts::kNamedAndMore), {"Offset A; Close B; Edit C", "2"}));
    // One sentence a kind, in one order whatever the requests' order, each window its own words.
    EXPECT_EQ(whatAwaitedMayDo(0, on, AskingWindow::CloseSheet),
              sentence(texts::kAwaitedCloseMayCloseFirst) + "\n" +
                  sentence(texts::kAwaitedCloseAllMayCloseFirst) + "\n" +
                  sentence(texts::kAwaitedOffsetMayChangeFirst) + "\n" +
                  sentence(texts::kAwaitedEditMayCloseFirst));
    const std::vector<const interfaces::AwaitedPositions*> offsets{&awaited[0], &awaited[3]};
    EXPECT_EQ(whatAwaitedMayDo(0, offsets, AskingWindow::CloseAll),
              sentence(texts::kCloseAllAwaitedOffsetMayChangeFirst));
    EXPECT_EQ(sheetAwaitedQuestion(0, offsets, AskingWindow::OffsetSheet),
              tc::fillPositional(sentence(texts::kOffsetSendAwaitedQuestion),
                                 {"Offset A; Offset D", sentence(texts::kAwaitedOffsetMayChangeFirst)}));
    EXPECT_FALSE(onlyCloseAlls(offsets));
    EXPECT_TRUE(onlyCloseAlls(std::vector<const interfaces::AwaitedPositions*>{&awaited[4]}));
}

// A refused row says what its position holds while it is open, read again as the book changes; a
// row closed or not known reads nothing of the book.
TEST(AwaitedRequests, ARefusedCloseAllRowSaysWhatItsPositionStillHolds) {
    markettest::Session s;
    s.item("EURUSD", 1, 5);
    s.account(20001);
    tc::SessionQueries queries{s.model};
    for (const char* id : {"1", "2", "3"})
        s.model.OpenOrderCollection.push_back(markettest::Session::order(id, "20001", "EURUSD", "1.5"));
    CloseAllFlow flow;
    flow.start(queries.getOpenOrderCollection());
    flow.sent(s.model, queries, {"1", "2", "3"}, 0);
    EXPECT_FALSE(flow.heldToRead());
    ASSERT_EQ(flow.answer("1", false, "Too much.", 0).size(), 1u);
    ASSERT_EQ(flow.answer("2", true, {}, 0).size(), 1u);
    ASSERT_EQ(flow.answerNotKnown("3", "one of two", false, 0).size(), 1u);
    ASSERT_TRUE(flow.heldToRead());
    // Reduced by another request before this one's turn.
    s.model.OpenOrderCollection[0]->RemainingQty = *tc::platform::Decimal::fromString("1.49");
    const auto stillHeld = [](const char* quantity) {
        return tc::fillPositional(sentence(texts::kCloseAllRowRefusedStillHeld), {"Too much.", quantity});
    };
    EXPECT_EQ(flow.readHeld(queries.getOpenOrderCollection(), 0), std::vector<std::size_t>{0});
    EXPECT_EQ(flow.statusRows()[0].status, stillHeld("1.49"));
    EXPECT_EQ(flow.statusRows()[1].status, sentence(kStatusClosedKey));
    EXPECT_TRUE(flow.readHeld(queries.getOpenOrderCollection(), 0).empty()) << "nothing changed";
    s.model.OpenOrderCollection[0]->RemainingQty = *tc::platform::Decimal::fromString("1");
    EXPECT_EQ(flow.readHeld(queries.getOpenOrderCollection(), 0), std::vector<std::size_t>{0});
    EXPECT_EQ(flow.statusRows()[0].status, stillHeld("1"));
    // Gone since: the reason alone, claiming nothing of what is held.
    s.model.OpenOrderCollection.clear();
    EXPECT_EQ(flow.readHeld(queries.getOpenOrderCollection(), 0), std::vector<std::size_t>{0});
    EXPECT_EQ(flow.statusRows()[0].status, "Too much.");
    // A request refused whole: each row its own position's quantity.
    for (const char* id : {"1", "2"})
        s.model.OpenOrderCollection.push_back(markettest::Session::order(id, "20001", "EURUSD", "1.5"));
    flow.start(queries.getOpenOrderCollection());
    flow.sent(s.model, queries, {"1", "2"}, 0);
    ASSERT_EQ(flow.answer("", false, "Refused.", 0).size(), 2u);
    s.model.OpenOrderCollection[1]->RemainingQty = *tc::platform::Decimal::fromString("0.5");
    EXPECT_EQ(flow.readHeld(queries.getOpenOrderCollection(), 0), (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(flow.statusRows()[1].status,
              tc::fillPositional(sentence(texts::kCloseAllRowRefusedStillHeld), {"Refused.", "0.5"}));
}

} // namespace
