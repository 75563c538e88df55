#include "gui/grid/grid_cells.h"
#include "gui/grid/grid_sources.h"
#include "gui/grid/grid_totals.h"
#include "gui/market/market_fixture.h"
#include "gui/texts.h"

#include "support/decimal_literal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

using namespace tc;

using namespace tc::gui;

namespace {

using tc::testing_support::operator""_cdec;
using tc::testing_support::operator""_dec;
// A decimal written in the test; "" is 0.
[[maybe_unused]] tc::platform::Decimal dec(std::string_view text) {
    return tc::platform::Decimal::fromString(text).value_or(tc::platform::Decimal());
}

TEST(GridTotals, OpenPositionTotalsNeedNoPainting) {
    markettest::Session s;
    s.item("EURUSD", 1);
    s.item("GOLD", 2);
    s.account(11);
    s.settings(1).InitialMargin = 12.5_cdec; // GOLD has no settings in the group
    OrderList positions;
    positions.emplace_back(markettest::Session::order("1", "11", "EURUSD", "0.1"));
    positions.emplace_back(markettest::Session::order("2", "11", "EURUSD", "0.2"));
    positions.emplace_back(markettest::Session::order("3", "11", "GOLD", "10000000"));
    positions[0]->UnrealisedPL = 1000.25;
    positions[1]->UnrealisedPL = -0.25;
    positions[2]->Commission = 1.5;
    positions[2]->Storage = tc::platform::Decimal::notANumber();
    // Account 12 keeps another currency: none of its figures joins 11's.
    s.account(12);
    positions.emplace_back(markettest::Session::order("4", "12", "EURUSD", "5"));
    positions[3]->UnrealisedPL = -1.19;
    positions[3]->Commission = 7;
    for (auto& p : positions)
        p->UnrealisedPLValued = true; // as the core's refresh leaves them
    const OrderView view(positions.begin(), positions.end());
    const auto bar = openPositionTotalsBar(openPositionTotals(s.model, view, 11));
    EXPECT_EQ(bar[0], (TotalsEntry{texts::kTotalsOfAccount, "11"}));
    EXPECT_EQ(bar[1], (TotalsEntry{texts::kQuantity, "10000000.3"}))
        << "lots summed exactly, never in exponent form";
    EXPECT_EQ(bar[2], (TotalsEntry{texts::kPL, "1,000.00"}));
    EXPECT_EQ(bar[3], (TotalsEntry{texts::kCommission, "1.50"}));
    EXPECT_EQ(bar[4], (TotalsEntry{texts::kMargin, "3.75"}));
    EXPECT_EQ(bar[5], (TotalsEntry{texts::kStorage, "0.00"})) << "a figure that is not a number adds nothing";
    const auto other = openPositionTotalsBar(openPositionTotals(s.model, view, 12));
    EXPECT_EQ(other[1].value, "5");
    EXPECT_EQ(other[2].value, "-1.19");

    const auto empty = openPositionTotalsBar(openPositionTotals(s.model, {}, 0));
    EXPECT_EQ(empty[0].value, "") << "no account chosen";
    EXPECT_EQ(empty[1].value, "0");
    EXPECT_EQ(empty[4].value, "0.00");

    // Before the core's first refresh values a position the profit and loss is not known: blank,
    // as the grid's cell, never 0.00. Before the login's positions have come nothing is known.
    positions[1]->UnrealisedPLValued = false;
    auto totals = openPositionTotals(s.model, view, 11);
    auto unvalued = openPositionTotalsBar(totals);
    EXPECT_EQ(unvalued[1].value, "10000000.3");
    EXPECT_EQ(unvalued[2].value, "");
    EXPECT_EQ(unvalued[3].value, "1.50");
    EXPECT_EQ(openPositionTotalsBar(openPositionTotals(s.model, view, 12))[2].value, "-1.19")
        << "another account's positions are valued";
    totals.listed = false;
    const auto unlisted = openPositionTotalsBar(totals);
    EXPECT_EQ(unlisted[0].value, "11");
    for (std::size_t i = 1; i < unlisted.size(); ++i)
        EXPECT_EQ(unlisted[i].value, "") << i;
}

TEST(GridTotals, APartlyClosedPositionShowsItsShareOfTheCommissionInItsCellAndTheTotals) {
    markettest::Session s;
    s.item("EURUSD", 1);
    s.account(11);
    // 1.5 lots opened for 3.50 of commission; 0.1 of them offset since.
    auto position = markettest::Session::order("1", "11", "EURUSD", "1.5");
    position->RemainingQty = dec("1.4");
    position->Commission = 3.5;
    const auto& columns = gridSource(Grid::OpenPositions).columns;
    const auto column = std::find_if(columns.begin(), columns.end(),
                                     [](const ColumnSpec& c) { return c.id == "Commission"; });
    ASSERT_NE(column, columns.end());
    EXPECT_EQ(orderCell(*position, recordsOf(s.model, *position), column->field).text, "3.27")
        << "3.50 × 1.4 / 1.5, as the statement shows it";
    const auto bar = openPositionTotalsBar(openPositionTotals(s.model, OrderView{position}, 11));
    EXPECT_EQ(bar[3], (TotalsEntry{texts::kCommission, "3.27"}));
}

TEST(GridTotals, ChargesAndSettledResultsAreSummedAsTheDecimalsTheyAre) {
    // Past 2^46 a double holds no cent: 0.01 added twice in doubles would show 0.05.
    std::vector<std::shared_ptr<Order>> rows;
    for (const char* amount : {"70368744177664.01", "0.01", "0.01"}) {
        auto row = markettest::Session::order(amount, "11", "EURUSD");
        row->SettledPL = row->Storage = row->OtherCharges = dec(amount);
        rows.push_back(row);
    }
    const OrderView view(rows.begin(), rows.end());
    EXPECT_EQ(settledStatusLine(settledTotals(view, 11), 0),
              "Totals of account : 11     Quantity : 0     P/L : 70,368,744,177,664.03     Commission : 0.00 "
              "    Storage : "
              "70,368,744,177,664.03     Other Charges : 70,368,744,177,664.03     ");
    markettest::Session s;
    s.item("EURUSD", 1);
    s.account(11);
    EXPECT_EQ(openPositionTotalsBar(openPositionTotals(s.model, view, 11))[5],
              (TotalsEntry{texts::kStorage, "70,368,744,177,664.03"}));
}

TEST(GridTotals, SettledStatusLine) {
    EXPECT_EQ(settledStatusLine(settledTotals({}, 0), 0),
              "Totals of account :      Quantity : 0     P/L : 0.00     Commission : 0.00     Storage : 0.00 "
              "    Other Charges : 0.00     ");
    auto a = markettest::Session::order("1", "11", "EURUSD");
    a->SettledQty = dec("0.1");
    a->SettledPL = dec("-1234.5");
    a->OtherCharges = dec("2");
    auto b = markettest::Session::order("2", "11", "EURUSD");
    b->SettledQty = dec("0.2");
    b->SettledPL = dec("34.5");
    EXPECT_EQ(settledStatusLine(settledTotals({a, b}, 11), 0),
              "Totals of account : 11     Quantity : 0.3     P/L : -1,200.00     Commission : 0.00     "
              "Storage : 0.00     Other Charges "
              ": 2.00     ");
}

TEST(GridTotals, RequestButtonsFollowTheAccountsSettings) {
    const auto with = [](std::int64_t settings) {
        auto account = std::make_shared<AccountDetails>();
        account->accountSettings = settings;
        return account;
    };
    const auto buttons = requestButtons({with(0x10), with(0)});
    EXPECT_TRUE(buttons.deposit && !buttons.withdrawal);
    EXPECT_TRUE(requestButtons({with(0), with(0x20)}).withdrawal);
}

} // namespace
