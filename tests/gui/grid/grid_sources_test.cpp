// The grid table: one row per grid, each consistent with the kind of rows it reads, and the names
// users' stored columns are kept under.
#include "gui/grid/grid_sources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

namespace {

using namespace tc::gui;
using interfaces::Table;
using interfaces::TableSet;

TEST(GridSources, EveryGridHasOneRowConsistentWithTheRowsItReads) {
    ASSERT_EQ(gridSources().size(), 9U);
    std::set<std::string_view> names;
    for (const GridSource& source : gridSources()) {
        SCOPED_TRACE(std::string(source.name));
        EXPECT_EQ(&gridSource(source.grid), &source);
        EXPECT_TRUE(names.insert(source.name).second);
        EXPECT_FALSE(source.columns.empty());
        EXPECT_EQ(source.columns.data(), columnsOf(source.grid).data());
        EXPECT_TRUE(source.read && source.cell);
        const bool orders = source.rows == RowKind::Order;
        // Only an order grid names a list and a row id, sorts by the session's list or has a row menu.
        EXPECT_EQ(source.orders != nullptr, orders);
        EXPECT_EQ(source.orderId != nullptr, orders);
        EXPECT_TRUE(orders || (!source.menu && !source.sortable && !source.followsAccounts));
        // A ladder reads its levels on the tick, with the board, never at a depth message alone.
        if (source.rows == RowKind::Level) {
            EXPECT_EQ(source.onTick, OnTick::Everything);
        }
        // Rows that keep no record of their own keep the numbers their numeric columns sort by.
        EXPECT_EQ(source.number != nullptr, source.rows == RowKind::Account || source.rows == RowKind::Level);
        // A tick colour is for a live column of the grid's own.
        for (const Field field : source.tickFields)
            EXPECT_TRUE(std::any_of(source.columns.begin(), source.columns.end(),
                                    [&](const ColumnSpec& c) { return c.field == field && c.live; }));
        // A grid that follows quotes has live columns to follow them in.
        if (source.onTick == OnTick::Quotes) {
            EXPECT_TRUE(std::any_of(source.columns.begin(), source.columns.end(),
                                    [](const ColumnSpec& c) { return c.live; }));
        }
    }
}

TEST(GridSources, StoredNamesAndRefreshesStayAsUsersHaveThem) {
    // Hidden columns are stored under these names: renaming one loses what users hid.
    EXPECT_EQ(hiddenColumnsKey(Grid::Watchlist), "HiddenColumns.Watchlist");
    EXPECT_EQ(hiddenColumnsKey(Grid::OpenPositions), "HiddenColumns.OpenPositions");
    EXPECT_EQ(hiddenColumnsKey(Grid::SellDepth), "HiddenColumns.SellDepth");

    // Executed rows follow the open positions too; the figures' refresh is the open positions' alone.
    EXPECT_TRUE(touches({Table::OpenPositions}, gridSource(Grid::ExecutedPositions).tables));
    EXPECT_FALSE(touches({Table::OpenPositions}, gridSource(Grid::SettledPositions).tables));
    EXPECT_FALSE(
        touches({Table::Journal, Table::OpenPositionFigures}, gridSource(Grid::OpenPositions).tables));
    EXPECT_FALSE(touches(TableSet::all(), gridSource(Grid::Watchlist).tables));
    for (const GridSource& source : gridSources())
        EXPECT_EQ(source.followsFigures, source.totals == GridTotals::OpenPositions) << source.name;
}

} // namespace
