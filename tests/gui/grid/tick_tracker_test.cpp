#include "gui/grid/grid_cells.h"
#include "gui/grid/tick_tracker.h"
#include "gui/market/market_fixture.h"

#include "support/decimal_literal.h"

#include <gtest/gtest.h>

using namespace tc;

using namespace tc::gui;

namespace {

using tc::testing_support::operator""_cdec;

// Each step is one refresh: the price noted and the tick it must give.
TEST(TickTracker, OneDirectionPerRefresh) {
    struct Step {
        double price;
        Tick tick;
    };
    const Step steps[] = {
        {1.10, Tick::Same}, // first sighting: nothing to compare with
        {1.11, Tick::Up},   {1.11, Tick::Same}, {1.09, Tick::Down}, {0, Tick::Same}, // the quote went away
        {1.12, Tick::Same}, // and came back: not a rise from 0
        {1.13, Tick::Up},
    };
    TickTracker ticks;
    for (const Step& step : steps) {
        EXPECT_EQ(ticks.note("EURUSD", step.price), step.tick) << step.price;
        EXPECT_EQ(ticks.note("EURUSD", 5.0), step.tick) << "a second note in one refresh changes nothing";
        EXPECT_EQ(ticks.tick("EURUSD"), step.tick);
        ticks.endRefresh();
    }
}

// Two views of the same instrument (the board and the order ticket) each see the tick.
TEST(TickTracker, EveryViewSeesTheTickOnItsOwn) {
    markettest::Session s;
    ItemDetails& item = s.item("EURUSD");
    QuoteTicks board;
    QuoteTicks ticket;
    item.Bid = 1.1_cdec;
    refreshQuoteTicks(board, s.model, {"EURUSD"});
    refreshQuoteTicks(ticket, s.model, {"EURUSD"});
    item.Bid = 1.2_cdec;
    refreshQuoteTicks(board, s.model, {"EURUSD"});
    refreshQuoteTicks(ticket, s.model, {"EURUSD"});
    EXPECT_EQ(board.bid.tick("EURUSD"), Tick::Up);
    EXPECT_EQ(ticket.bid.tick("EURUSD"), Tick::Up);
    EXPECT_EQ(item.previousBid, 0_cdec) << "the instrument record is not written";
    const AdvancedTile tile = advancedTile("EURUSD", &item, board);
    EXPECT_EQ(tile.sellTick, Tick::Up);
    EXPECT_EQ(tile.low, "L : 0.00000");
    EXPECT_EQ(advancedTile("GONE", nullptr, board).code, "GONE");
    refreshQuoteTicks(board, s.model, {});
    EXPECT_EQ(board.bid.size(), 0u) << "an instrument no longer shown is forgotten";
}

TEST(TickTracker, PositionsTickOnTheirClosingSide) {
    markettest::Session s;
    ItemDetails& item = s.item("EURUSD");
    AccountDetails& frozen = s.account(12);
    s.account(11);
    const OrderView positions = {markettest::Session::order("1", "11", "EURUSD", "1", 1),
                                 markettest::Session::order("2", "12", "EURUSD", "1", 0)};
    TickTracker ticks;
    item.Bid = 1.1_cdec;
    item.Ask = 1.2_cdec;
    refreshPositionTicks(ticks, s.model, positions);
    frozen.tradingStatus = 5;
    item.Bid = 1.0_cdec; // the sell closes at the ask, which stays
    refreshPositionTicks(ticks, s.model, positions);
    EXPECT_EQ(ticks.tick("1"), Tick::Same);
    item.Ask = 1.3_cdec;
    refreshPositionTicks(ticks, s.model, positions);
    EXPECT_EQ(ticks.tick("1"), Tick::Up);
    EXPECT_EQ(ticks.size(), 2u) << "an equity-hit position keeps its state";
}

} // namespace
