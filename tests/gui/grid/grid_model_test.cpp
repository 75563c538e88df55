// The grid models over the demo user's session on the in-process test server, every one of them and
// a view proxy over each under QAbstractItemModelTester: rows come, go and move through refreshes
// without a reset, ticks touch only what changed, each view sorts and ticks for itself.
#include "gui/models/session_fixture.h"

#include "gui/grid/grid_model.h"
#include "gui/grid/grid_tones.h"
#include "gui/grid/grid_view_proxy.h"
#include "gui/texts.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "model/session_model.h"

#include <QAbstractItemModelTester>
#include <QPersistentModelIndex>

#include <algorithm>
#include <bit>
#include <cmath>
#include <memory>
#include <numeric>
#include <tuple>
#include <utility>
#include <vector>

namespace texts = tc::gui::texts;

namespace {

using guitest::waitFor;
using tc::gui::Grid;
using tc::gui::GridModel;
using tc::gui::GridViewProxy;
using tc::gui::Tick;

class GridModelTest : public guitest::SessionTest {
protected:
    // Two more demo positions, so that ids and quantities sort differently as texts and as numbers.
    void seedMarket(testserver::Market& market) override {
        auto position = market.positions.front(); // 300001, 20001, EURUSD
        position.positionId = 99;
        position.qty = position.initialQty = "10";
        market.positions.push_back(position);
        position.positionId = 300010;
        position.qty = position.initialQty = "9";
        market.positions.push_back(position);
    }
    void TearDown() override {
        testers.clear();
        proxies.clear();
        grids.clear();
        SessionTest::TearDown();
    }

    // A grid model and a view proxy over it, both checked by the model tester on every change.
    GridModel& grid(Grid which) {
        grids.push_back(std::make_unique<GridModel>(*session, which));
        watch(grids.back().get());
        return *grids.back();
    }
    GridViewProxy& proxy(GridModel& model) {
        proxies.push_back(std::make_unique<GridViewProxy>(model));
        watch(proxies.back().get());
        return *proxies.back();
    }
    void watch(QAbstractItemModel* model) {
        testers.push_back(std::make_unique<QAbstractItemModelTester>(
            model, QAbstractItemModelTester::FailureReportingMode::Fatal));
        QObject::connect(model, &QAbstractItemModel::modelReset, [this] { ++resets; });
    }

    static std::vector<std::string> ids(const QAbstractItemModel& model) {
        std::vector<std::string> out;
        for (int row = 0; row < model.rowCount(); ++row)
            out.push_back(model.index(row, 0).data(GridModel::IdRole).toString().toStdString());
        return out;
    }
    static QString text(const GridModel& model, std::string_view id, std::string_view column) {
        const int row = model.rowOf(id);
        return row < 0 ? QString() : model.index(row, model.columnOf(column)).data().toString();
    }
    static bool has(const GridModel& model, std::initializer_list<std::string_view> wanted) {
        return std::all_of(wanted.begin(), wanted.end(),
                           [&](std::string_view id) { return model.rowOf(id) >= 0; });
    }
    // Sets the watch list and lets the board read it.
    void watchList(GridModel& board, const std::vector<std::string>& codes) {
        session->client().setWatchList(codes);
        session->tickNow();
        ASSERT_EQ(board.rowCount(), static_cast<int>(codes.size()));
    }

    std::vector<std::unique_ptr<GridModel>> grids;
    std::vector<std::unique_ptr<GridViewProxy>> proxies;
    std::vector<std::unique_ptr<QAbstractItemModelTester>> testers;
    int resets = 0;
};

TEST_F(GridModelTest, EveryGridShowsTheDemosRecordsAndTicksWithoutAReset) {
    ASSERT_TRUE(signIn());
    std::vector<GridModel*> all;
    for (Grid which :
         {Grid::Watchlist, Grid::Accounts, Grid::OpenPositions, Grid::PendingOrders, Grid::SettledPositions,
          Grid::ExecutedPositions, Grid::CancelledOrders, Grid::BuyDepth, Grid::SellDepth}) {
        all.push_back(&grid(which));
        proxy(*all.back());
    }
    GridModel& board = *all[0];
    GridModel& accounts = *all[1];
    GridModel& open = *all[2];
    GridModel& pending = *all[3];
    GridModel& settled = *all[4];
    GridModel& executed = *all[5];
    GridModel& cancelled = *all[6];
    all[7]->setInstrument("EURUSD");
    all[8]->setInstrument("EURUSD");

    ASSERT_TRUE(waitFor(
        [&] {
            return has(accounts, {"20001", "20002", "20003"}) &&
                   has(open, {"300001", "300002", "99", "300010"}) && has(pending, {"310001", "310002"}) &&
                   has(settled, {"320001", "320002"}) && executed.rowCount() >= 4 &&
                   cancelled.rowCount() >= 1 && board.rowCount() > 0 && all[7]->rowCount() > 0 &&
                   all[8]->rowCount() > 0;
        },
        15000));
    EXPECT_EQ(accounts.rowCount(), 3); // the trader's account is not the demo's
    EXPECT_EQ(text(open, "300001", "RemainingQty"), "1.5");
    EXPECT_EQ(text(pending, "310001", "ItemCode"), "USDJPY");
    EXPECT_EQ(text(accounts, "20002", "AccountName"), "Demo EUR");
    EXPECT_LE(all[7]->rowCount(), 5);
    // Profit and loss is coloured by its sign, once worked out.
    const QModelIndex pl = open.index(open.rowOf("300001"), open.columnOf("UnrealisedPL"));
    ASSERT_TRUE(waitFor([&] { return !pl.data().toString().isEmpty(); }, 15000));
    const auto tone = pl.data().toString().startsWith('-') ? tc::gui::Tone::Loss : tc::gui::Tone::Gain;
    EXPECT_EQ(pl.data(Qt::ForegroundRole).value<QColor>(),
              *tc::gui::toneStyle(Grid::OpenPositions, tone, open.theme()).foreground);

    // The tick refreshes the live cells: never a reset, and the open positions' ids, accounts and
    // codes are never announced as changed.
    std::vector<std::pair<int, int>> spans;
    QObject::connect(
        &open, &QAbstractItemModel::dataChanged,
        [&](const QModelIndex& a, const QModelIndex& b) { spans.emplace_back(a.column(), b.column()); });
    // Ticks until the open positions' prices have moved.
    EXPECT_TRUE(waitFor(
        [&] {
            session->tickNow();
            return !spans.empty();
        },
        15000));
    EXPECT_EQ(resets, 0);
    for (const auto& [first, last] : spans)
        EXPECT_GT(first, open.columnOf("ItemCode")) << first << ".." << last;
}

TEST_F(GridModelTest, BoardRowsComeGoAndMoveThroughRefreshes) {
    ASSERT_TRUE(signIn());
    GridModel& board = grid(Grid::Watchlist);
    GridViewProxy& view = proxy(board);
    int inserted = 0, removed = 0, moved = 0, layouts = 0;
    QObject::connect(&board, &QAbstractItemModel::rowsInserted, [&] { ++inserted; });
    QObject::connect(&board, &QAbstractItemModel::rowsRemoved, [&] { ++removed; });
    QObject::connect(&board, &QAbstractItemModel::rowsMoved, [&] { ++moved; });
    QObject::connect(&board, &QAbstractItemModel::layoutChanged, [&] { ++layouts; });

    watchList(board, {"EURUSD", "GBPUSD", "USDJPY", "XAUUSD"});
    const QPersistentModelIndex euro = board.index(0, 0);
    inserted = removed = moved = 0;

    // One row goes, one comes, two swap places: a removal, a move and an insertion.
    watchList(board, {"GBPUSD", "EURUSD", "XAUUSD", "AAPL"});
    EXPECT_EQ(ids(board), (std::vector<std::string>{"GBPUSD", "EURUSD", "XAUUSD", "AAPL"}));
    EXPECT_EQ(removed, 1);
    EXPECT_EQ(inserted, 1);
    EXPECT_EQ(moved, 1);
    EXPECT_EQ(euro.row(), 1);
    EXPECT_EQ(view.rowCount(), 4);

    // Every instrument, then all of them reversed: too many moves, one layout change.
    std::vector<std::string> codes;
    for (const auto& instrument : server->market().instruments)
        codes.push_back(instrument.code);
    watchList(board, codes);
    std::reverse(codes.begin(), codes.end());
    watchList(board, codes);
    EXPECT_EQ(ids(board), codes);
    EXPECT_EQ(layouts, 1);
    EXPECT_EQ(board.index(euro.row(), 0).data(GridModel::IdRole).toString(), "EURUSD");

    // A code listed twice is two rows with ids of their own.
    watchList(board, {"EURUSD", "EURUSD", "GBPUSD"});
    EXPECT_EQ(board.index(0, 0).data().toString(), board.index(1, 0).data().toString());
    EXPECT_NE(board.rowId(0), board.rowId(1));
    EXPECT_EQ(resets, 0);
}

TEST_F(GridModelTest, EachViewSortsItsOwnWayNumbersAsNumbers) {
    ASSERT_TRUE(signIn());
    GridModel& open = grid(Grid::OpenPositions);
    ASSERT_TRUE(waitFor([&] { return has(open, {"300001", "300002", "99", "300010"}); }, 15000));
    GridViewProxy& byQuantity = proxy(open);
    GridViewProxy& byId = proxy(open);

    byQuantity.sort(open.columnOf("RemainingQty"), Qt::AscendingOrder);
    byId.sort(open.columnOf("OpenPositionId"), Qt::DescendingOrder);
    const auto column = [](const QAbstractItemModel& model, int c) {
        std::vector<std::string> out;
        for (int row = 0; row < model.rowCount(); ++row)
            out.push_back(model.index(row, c).data().toString().toStdString());
        return out;
    };
    EXPECT_EQ(column(byQuantity, open.columnOf("RemainingQty")),
              (std::vector<std::string>{"0.2", "1.5", "9", "10"}));
    EXPECT_EQ(column(byId, 0), (std::vector<std::string>{"300010", "300002", "300001", "99"}));

    // A column that does not sort leaves the view's order as it was.
    const auto before = ids(byId);
    byId.sort(open.columnOf("ClosingPrice"), Qt::AscendingOrder);
    EXPECT_EQ(ids(byId), before);
    // The shared model keeps the session's order.
    EXPECT_EQ(ids(open).front(), "300001");
}

// Accounts whose balances read differently as texts and as numbers: grouped, negative and tied; and
// a watch-list code without an instrument.
class NumericSorts : public GridModelTest {
protected:
    void seedMarket(testserver::Market& market) override {
        GridModelTest::seedMarket(market);
        testserver::Account account = market.accounts.front(); // 20001, demo
        for (const auto& [id, balance] :
             {std::pair{20004, "1234.5"}, {20005, "-20"}, {20006, "1234.5"}, {20007, "999.99"}}) {
            account.id = id;
            account.balance = balance;
            market.accounts.push_back(account);
        }
    }
    // The number a cell shows, as the grids once read it back from the text ("-" and "" as 0).
    static double shown(const GridModel& grid, int row, int column) {
        QString text = grid.index(row, column).data().toString();
        return text.remove(',').toDouble();
    }
    static int sign(double value) { return value < 0 ? -1 : value > 0 ? 1 : 0; }
};

TEST_F(NumericSorts, NumbersSortByTheirRecordsAsTheyShow) {
    ASSERT_TRUE(signIn());
    std::vector<GridModel*> all;
    for (Grid which : {Grid::Watchlist, Grid::Accounts, Grid::OpenPositions, Grid::PendingOrders,
                       Grid::ExecutedPositions, Grid::BuyDepth, Grid::SellDepth})
        all.push_back(&grid(which));
    GridModel& accounts = *all[1];
    all[5]->setInstrument("EURUSD");
    all[6]->setInstrument("EURUSD");
    watchList(*all[0], {"EURUSD", "NOSUCH", "XAUUSD", "USDJPY", "GBPUSD"});
    ASSERT_TRUE(waitFor(
        [&] {
            return accounts.rowCount() == 7 && all[2]->rowCount() >= 4 && all[3]->rowCount() >= 2 &&
                   all[4]->rowCount() >= 4 && all[5]->rowCount() > 0 && all[6]->rowCount() > 0;
        },
        15000));
    // By balance: "1,234.50" after "999.99", "-20.00" first, the tie as listed.
    std::vector<int> rows(static_cast<std::size_t>(accounts.rowCount()));
    std::iota(rows.begin(), rows.end(), 0);
    const int balance = accounts.columnOf("Balance");
    std::stable_sort(rows.begin(), rows.end(),
                     [&](int a, int b) { return accounts.compareRows(a, b, balance) < 0; });
    std::vector<std::string> byBalance;
    for (int row : rows)
        byBalance.push_back(accounts.rowId(row));
    EXPECT_EQ(text(accounts, "20004", "Balance"), "1,234.50");
    const bool tieAsListed = accounts.rowOf("20004") < accounts.rowOf("20006");
    EXPECT_EQ(byBalance,
              (std::vector<std::string>{"20005", "20007", tieAsListed ? "20004" : "20006",
                                        tieAsListed ? "20006" : "20004", "20002", "20001", "20003"}));

    // Every numeric column that no view sorts by the session's list: the order of the numbers shown,
    // ties as ties, whatever the order of their texts.
    for (GridModel* grid : all) {
        for (int c = 0; c < grid->columnCount(); ++c) {
            const auto& spec = grid->columnSpec(c);
            if (!spec.numeric || (spec.sortable && tc::gui::isSortableGrid(grid->grid())))
                continue;
            for (int a = 0; a < grid->rowCount(); ++a)
                for (int b = 0; b < grid->rowCount(); ++b)
                    EXPECT_EQ(sign(grid->compareRows(a, b, c)), sign(shown(*grid, a, c) - shown(*grid, b, c)))
                        << spec.id << " " << grid->rowId(a) << " " << grid->rowId(b);
        }
    }
}

class HeldPrices : public GridModelTest {
protected:
    HeldPrices() { holdPrices = true; }
};

TEST_F(HeldPrices, EachViewKeepsItsOwnTicks) {
    ASSERT_TRUE(signIn());
    GridModel& board = grid(Grid::Watchlist);
    watchList(board, {"EURUSD", "GBPUSD"});
    GridViewProxy& first = proxy(board);
    const int bid = board.columnOf("Bid");
    session->tickNow();
    ASSERT_EQ(first.tick(board.rowOf("EURUSD"), bid), Tick::Same);

    int changed = 0;
    QObject::connect(&first, &QAbstractItemModel::dataChanged, [&] { ++changed; });
    // The board shows the bid with the account group's spread; only its move counts here.
    const auto quoteMoves = [&](const char* bidText, const char* askText) {
        const QString before = text(board, "EURUSD", "Bid");
        // The session's own tick may show the move first; a second refresh would end its tick.
        return server->setQuote("EURUSD", bidText, askText) && waitFor([&] {
                   if (text(board, "EURUSD", "Bid") != before)
                       return true;
                   session->tickNow();
                   return text(board, "EURUSD", "Bid") != before;
               });
    };
    ASSERT_TRUE(quoteMoves("1.08700", "1.08712"));
    EXPECT_EQ(first.tick(board.rowOf("EURUSD"), bid), Tick::Up);
    EXPECT_EQ(first.tick(board.rowOf("GBPUSD"), bid), Tick::Same);
    const QModelIndex cell = first.mapFromSource(board.index(board.rowOf("EURUSD"), bid));
    EXPECT_EQ(cell.data(Qt::BackgroundRole).value<QColor>(),
              *tc::gui::toneStyle(Grid::Watchlist, tc::gui::Tone::TickUp, board.theme()).background);
    // The text on the tick's ground is the tick's own, readable on it.
    EXPECT_EQ(cell.data(Qt::ForegroundRole).value<QColor>(),
              *tc::gui::toneStyle(Grid::Watchlist, tc::gui::Tone::TickUp, board.theme()).foreground);
    EXPECT_GT(changed, 0);

    // A view opened now starts without a tick; the first one's rise lasts one refresh.
    GridViewProxy& second = proxy(board);
    session->tickNow();
    EXPECT_EQ(second.tick(board.rowOf("EURUSD"), bid), Tick::Same);
    EXPECT_EQ(first.tick(board.rowOf("EURUSD"), bid), Tick::Same);
    ASSERT_TRUE(quoteMoves("1.08100", "1.08112"));
    EXPECT_EQ(first.tick(board.rowOf("EURUSD"), bid), Tick::Down);
    EXPECT_EQ(second.tick(board.rowOf("EURUSD"), bid), Tick::Down);
}

TEST_F(HeldPrices, ATickFollowsItsRowWhenRowsMove) {
    ASSERT_TRUE(signIn());
    GridModel& board = grid(Grid::Watchlist);
    watchList(board, {"EURUSD", "GBPUSD", "USDJPY"});
    GridViewProxy& view = proxy(board);
    const int bid = board.columnOf("Bid");
    session->tickNow();
    // Moved rows compare with their own previous prices, not with the rows that stood there.
    watchList(board, {"USDJPY", "EURUSD", "GBPUSD"});
    for (const char* code : {"EURUSD", "GBPUSD", "USDJPY"})
        EXPECT_EQ(view.tick(board.rowOf(code), bid), Tick::Same) << code;
    const QString before = text(board, "GBPUSD", "Bid");
    ASSERT_TRUE(server->setQuote("GBPUSD", "1.30100", "1.30112"));
    ASSERT_TRUE(waitFor([&] {
        // Look before ticking: the session's own second may have shown the change, and another
        // refresh would end its tick.
        if (text(board, "GBPUSD", "Bid") != before)
            return true;
        session->tickNow();
        return text(board, "GBPUSD", "Bid") != before;
    }));
    EXPECT_EQ(view.tick(board.rowOf("GBPUSD"), bid), Tick::Up);
    EXPECT_EQ(view.tick(board.rowOf("EURUSD"), bid), Tick::Same);
}

TEST_F(HeldPrices, TheSecondsFiguresRefreshOnlyTheOpenPositionsLiveCells) {
    ASSERT_TRUE(signIn());
    ASSERT_TRUE(waitFor([&] { return session->client().setCurrentAccount(20001); }));
    GridModel& open = grid(Grid::OpenPositions);
    GridModel& executed = grid(Grid::ExecutedPositions);
    // The pending orders come after the positions: 310002, the take-profit of 300001, fills its cell.
    GridModel& pending = grid(Grid::PendingOrders);
    ASSERT_TRUE(waitFor(
        [&] {
            return has(open, {"300001"}) && has(executed, {"300001"}) && has(pending, {"310001", "310002"});
        },
        30000));
    std::vector<std::pair<int, int>> spans;
    QObject::connect(
        &open, &QAbstractItemModel::dataChanged,
        [&](const QModelIndex& a, const QModelIndex& b) { spans.emplace_back(a.column(), b.column()); });

    // The core's one-second refresh moves the position's result after its quote moved.
    const QString before = text(open, "300001", "UnrealisedPL");
    ASSERT_TRUE(server->setQuote("EURUSD", "1.08900", "1.08912"));
    ASSERT_TRUE(waitFor([&] { return text(open, "300001", "UnrealisedPL") != before; }, 15000));
    ASSERT_FALSE(spans.empty());
    for (const auto& [first, last] : spans) {
        EXPECT_GE(first, open.columnOf("ClosingPrice")) << first << ".." << last;
        EXPECT_LE(last, open.columnOf("UnrealisedPL")) << first << ".." << last;
    }

    // The figures alone reach the open positions, and not the executed rows; a table change both.
    int openRefreshes = 0;
    int executedRefreshes = 0;
    QObject::connect(&open, &GridModel::refreshed, [&] { ++openRefreshes; });
    QObject::connect(&executed, &GridModel::refreshed, [&] { ++executedRefreshes; });
    int totals = 0;
    QObject::connect(&open, &GridModel::totalsChanged, [&] { ++totals; });
    Q_EMIT session->tablesChanged({interfaces::Table::OpenPositionFigures});
    EXPECT_EQ(openRefreshes, 1);
    EXPECT_EQ(executedRefreshes, 0);
    EXPECT_EQ(totals, 1); // the totals bar sums the moved figures
    session->tickNow();   // the live cells only
    EXPECT_EQ(openRefreshes, 2);
    EXPECT_EQ(totals, 1);
    Q_EMIT session->tablesChanged({interfaces::Table::OpenPositions});
    EXPECT_EQ(openRefreshes, 3);
    EXPECT_EQ(executedRefreshes, 1);

    // The figures leave the closing price's tick as the tick noted it, for the rest of its second,
    // and the totals are summed in the same pass: every row's profit.
    GridViewProxy& view = proxy(open);
    const int closing = open.columnOf("ClosingPrice");
    session->tickNow();
    const QString price = text(open, "300001", "ClosingPrice");
    // Below its take-profit (1.09500), which would close it.
    ASSERT_TRUE(server->setQuote("EURUSD", "1.09200", "1.09212"));
    ASSERT_TRUE(waitFor(
        [&] {
            if (text(open, "300001", "ClosingPrice") != price)
                return true; // the session's own tick showed it
            session->tickNow();
            return text(open, "300001", "ClosingPrice") != price;
        },
        15000));
    EXPECT_EQ(view.tick(open.rowOf("300001"), closing), Tick::Up);
    Q_EMIT session->tablesChanged({interfaces::Table::OpenPositionFigures});
    EXPECT_EQ(view.tick(open.rowOf("300001"), closing), Tick::Up);
    double profit = 0;
    for (const auto& position : session->client().queries().getOpenOrderCollection())
        if (position->AccountNumber == "20001")
            profit += std::isfinite(position->UnrealisedPL) ? position->UnrealisedPL : 0;
    EXPECT_DOUBLE_EQ(open.openPositionTotals().profitLoss, profit);
    session->tickNow();
    EXPECT_EQ(view.tick(open.rowOf("300001"), closing), Tick::Same);
    EXPECT_EQ(resets, 0);
}

TEST_F(GridModelTest, ThemeAndLanguageRepaintCellsAndHeadersWithoutAReset) {
    ASSERT_TRUE(signIn());
    GridModel& board = grid(Grid::Watchlist);
    watchList(board, {"EURUSD"});
    const QModelIndex bid = board.index(0, board.columnOf("Bid"));
    QList<int> roles;
    QObject::connect(&board, &QAbstractItemModel::dataChanged,
                     [&](const QModelIndex&, const QModelIndex&, const QList<int>& r) { roles = r; });
    std::pair<int, int> headers{-1, -1};
    QObject::connect(&board, &QAbstractItemModel::headerDataChanged, [&](Qt::Orientation, int a, int b) {
        headers = {a, b};
    });

    board.setTheme(1 - board.theme());
    EXPECT_TRUE(roles.contains(Qt::BackgroundRole) && !roles.contains(Qt::DisplayRole));
    EXPECT_EQ(bid.data(Qt::BackgroundRole).value<QColor>(),
              *tc::gui::toneStyle(Grid::Watchlist, tc::gui::Tone::TickSame, board.theme()).background);
    board.setLanguage(3);
    EXPECT_EQ(headers, std::make_pair(0, board.columnCount() - 1));
    EXPECT_EQ(resets, 0);
}

// The order's names read in the language chosen and back in English; the cells keep the English
// names they sort by.
TEST_F(GridModelTest, PendingOrderNamesFollowTheLanguage) {
    ASSERT_TRUE(signIn());
    GridModel& pending = grid(Grid::PendingOrders);
    ASSERT_TRUE(waitFor([&] { return has(pending, {"310001"}); }, 15000));
    const auto names = [&] {
        QStringList out;
        for (const char* column : {"Side", "OrderType", "TimeInForce", "DeliveryMode"})
            out << text(pending, "310001", column);
        return out;
    };
    const QStringList english = names();
    EXPECT_EQ(english, (QStringList{"B", "Limit", "Day", "Regular"}));
    QList<int> roles;
    QObject::connect(&pending, &QAbstractItemModel::dataChanged,
                     [&](const QModelIndex&, const QModelIndex&, const QList<int>& r) { roles = r; });

    pending.setLanguage(7); // French
    EXPECT_TRUE(roles.contains(Qt::DisplayRole));
    EXPECT_EQ(names(), (QStringList{"A", "Limite", "Jour", "Normal"}));
    const int row = pending.rowOf("310001");
    EXPECT_EQ(pending.cell(row, pending.columnOf("OrderType")).text, "Limit");
    pending.setLanguage(0);
    EXPECT_EQ(names(), english);
    EXPECT_EQ(resets, 0);
}

// A fill and a position's partial close read the rows they add and rewrite, at their places and with
// the server's figures, and no other row: a position changed where no announcement names it keeps its
// cells until a change that names no rows reads every row again.
TEST_F(HeldPrices, AFillReadsTheRowsItNamesAndNoOthers) {
    ASSERT_TRUE(signIn());
    const auto record = [&](std::string_view id) {
        for (const auto& position : session->client().queries().getOpenOrderCollection())
            if (position->OpenPositionId == id)
                return position;
        return std::shared_ptr<const tc::Order>();
    };
    // Position 300001 changed behind the session's back as the fill's announcement comes, before the
    // grids hear it: no earlier announcement reads it.
    // Its result too: a live cell, which the fill leaves to the figures' pass and the tick.
    std::size_t listedBeforeTheFill = 0;
    std::shared_ptr<const tc::Order> untouched;
    std::optional<std::optional<interfaces::Decimal>> kept;
    std::pair<double, bool> keptResult;
    bool figuresAnnounced = false;
    QObject watching;
    QObject::connect(
        session.get(), &tc::gui::ClientModel::tablesChanged, &watching,
        [&](const interfaces::TableChange& change) {
            if (kept || listedBeforeTheFill == 0 ||
                session->client().queries().getOpenOrderCollection().size() <= listedBeforeTheFill)
                return;
            untouched = record("300001");
            ASSERT_TRUE(untouched);
            auto& behindTheSessionsBack = const_cast<tc::Order&>(*untouched);
            kept = behindTheSessionsBack.OrderPrice;
            behindTheSessionsBack.OrderPrice = interfaces::Decimal::fromString("7.77777");
            keptResult = {behindTheSessionsBack.UnrealisedPL, behindTheSessionsBack.UnrealisedPLValued};
            behindTheSessionsBack.UnrealisedPL = 98765.43;
            behindTheSessionsBack.UnrealisedPLValued = true;
            figuresAnnounced = change.contains(interfaces::Table::OpenPositionFigures);
        });
    GridModel& open = grid(Grid::OpenPositions);
    GridModel& executed = grid(Grid::ExecutedPositions);
    // What the open positions show of 300001 once the grids have heard the fill.
    QString resultBefore;
    std::optional<QString> resultAtTheFill;
    QObject::connect(session.get(), &tc::gui::ClientModel::tablesChanged, &watching, [&] {
        if (kept && !resultAtTheFill) {
            resultAtTheFill = text(open, "300001", "UnrealisedPL");
            auto& record = const_cast<tc::Order&>(*untouched);
            std::tie(record.UnrealisedPL, record.UnrealisedPLValued) = keptResult;
        }
    });
    ASSERT_TRUE(waitFor([&] { return has(open, {"300001", "300002"}) && has(executed, {"300001"}); }, 15000));
    const auto serverPositions = [&] {
        return server->book().with([](const testserver::Books& b) { return b.positions; });
    };
    // The lists the sign-in asks for come after the positions, each read whole by every order grid:
    // the fill comes after the last of them (the cancelled orders).
    ASSERT_TRUE(waitFor(
        [&] {
            const auto& lists = session->client().queries();
            return lists.getPendingOrderCollection().size() >= 2 &&
                   !lists.getSettledOrderCollection().empty() && !lists.getCancelledOrderCollection().empty();
        },
        15000));
    const QString price = text(open, "300001", "OrderPrice");
    resultBefore = text(open, "300001", "UnrealisedPL");
    listedBeforeTheFill = session->client().queries().getOpenOrderCollection().size();

    const std::size_t held = serverPositions().size();
    interfaces::OrderTicket buy;
    buy.instrument = "EURUSD";
    buy.account = 20001;
    buy.quantity = *interfaces::Decimal::fromString("2");
    ASSERT_TRUE(session->client().orders().placeOrder(buy).sent());
    std::optional<testserver::ServerPosition> filled;
    ASSERT_TRUE(waitFor(
        [&] {
            const auto now = serverPositions();
            if (now.size() > held)
                filled = now.back();
            return filled && open.rowOf(std::to_string(filled->positionId)) >= 0;
        },
        30000));
    const std::string id = std::to_string(filled->positionId);
    ASSERT_TRUE(waitFor([&] { return executed.rowOf(id) >= 0; }, 15000));
    // Where the session lists it, with the server's figures.
    EXPECT_EQ(open.rowOf(id), open.rowCount() - 1);
    std::vector<std::string> listed;
    for (const auto& position : session->client().queries().getExecutedOrderCollection())
        listed.push_back(position->OpenPositionId);
    EXPECT_EQ(ids(executed), listed);
    EXPECT_EQ(text(open, id, "RemainingQty").toStdString(), filled->qty);
    EXPECT_EQ(text(open, id, "OrderPrice").toStdString(), filled->openPrice);
    EXPECT_EQ(text(executed, id, "ExecutedQty").toStdString(), filled->qty);
    EXPECT_EQ(text(open, "300001", "OrderPrice"), price);
    EXPECT_EQ(text(executed, "300001", "OrderPrice"), price);
    ASSERT_TRUE(resultAtTheFill);
    if (!figuresAnnounced) {
        EXPECT_EQ(*resultAtTheFill, resultBefore);
    }

    // A partial close rewrites the position in place: its row shows what is left.
    ASSERT_TRUE(session->client().orders().closePosition(id, *interfaces::Decimal::fromString("1")).sent());
    ASSERT_TRUE(waitFor([&] { return text(open, id, "RemainingQty") == "1"; }, 15000));
    EXPECT_EQ(text(open, "300001", "OrderPrice"), price);

    // A change that names no rows reads them all.
    ASSERT_TRUE(kept);
    Q_EMIT session->tablesChanged({interfaces::Table::OpenPositions});
    EXPECT_EQ(text(open, "300001", "OrderPrice"), "7.77777");
    const_cast<tc::Order&>(*untouched).OrderPrice = *kept;
    Q_EMIT session->tablesChanged({interfaces::Table::OpenPositions});
    EXPECT_EQ(text(open, "300001", "OrderPrice"), price);
    EXPECT_EQ(resets, 0);
}

TEST_F(GridModelTest, ClosedPositionLeavesOneGridAndEntersAnother) {
    ASSERT_TRUE(signIn());
    GridModel& open = grid(Grid::OpenPositions);
    GridModel& settled = grid(Grid::SettledPositions);
    ASSERT_TRUE(waitFor([&] { return has(open, {"300002"}) && has(settled, {"320001"}); }, 15000));
    const int settledBefore = settled.rowCount();
    int removed = 0;
    QObject::connect(&open, &QAbstractItemModel::rowsRemoved, [&] { ++removed; });

    ASSERT_TRUE(
        session->client().orders().closePosition("300002", *interfaces::Decimal::fromString("0.2")).sent());
    EXPECT_TRUE(
        waitFor([&] { return open.rowOf("300002") < 0 && settled.rowCount() > settledBefore; }, 15000));
    EXPECT_EQ(removed, 1);
    EXPECT_EQ(resets, 0);
}

// The depth ladders change with the board beside them, on the session's second, not at every depth
// message: prices shown side by side are of one moment.
TEST_F(GridModelTest, DepthLaddersChangeOnTheSecondWithTheBoard) {
    ASSERT_TRUE(signIn());
    bool inTick = false;
    QObject::connect(session.get(), &tc::gui::ClientModel::tick, [&] { inTick = true; });
    GridModel& board = grid(Grid::Watchlist);
    GridModel& ladder = grid(Grid::BuyDepth);
    QObject::connect(session.get(), &tc::gui::ClientModel::tick, [&] { inTick = false; });
    watchList(board, {"EURUSD"});
    ladder.setInstrument("EURUSD");
    int outside = 0;
    int inside = 0;
    QObject::connect(&ladder, &GridModel::refreshed, [&] { ++(inTick ? inside : outside); });
    int depths = 0;
    QObject::connect(session.get(), &tc::gui::ClientModel::depthChanged,
                     [&](const std::vector<std::string>& codes) {
                         depths += std::count(codes.begin(), codes.end(), "EURUSD") > 0;
                     });
    ASSERT_TRUE(waitFor([&] { return depths >= 3 && inside >= 1; }, 15000));
    EXPECT_EQ(outside, 0);
    EXPECT_GT(ladder.rowCount(), 0);
}

TEST_F(GridModelTest, ReLoginLetsGoOfTheOldRowsAndShowsTheNewUsers) {
    ASSERT_TRUE(signIn());
    GridModel& accounts = grid(Grid::Accounts);
    ASSERT_TRUE(waitFor([&] { return accounts.rowCount() == 3; }, 15000));
    ASSERT_TRUE(signIn("trader", "trader1234"));
    EXPECT_EQ(resets, 1); // the client's replacement, once
    EXPECT_TRUE(waitFor([&] { return accounts.rowCount() == 1 && accounts.rowOf("20011") == 0; }, 15000));
}

} // namespace

TEST_F(HeldPrices, CellsMadeWhenFirstReadAreTheGridRulesCells) {
    ASSERT_TRUE(signIn());
    GridModel& board = grid(Grid::Watchlist);
    GridModel& open = grid(Grid::OpenPositions);
    GridModel& pending = grid(Grid::PendingOrders);
    ASSERT_TRUE(waitFor([&] { return has(open, {"300001", "99"}) && has(pending, {"310001"}); }, 15000));
    std::vector<std::string> codes;
    for (const auto& instrument : server->market().instruments)
        codes.push_back(instrument.code);
    codes.push_back("NOSUCH"); // a code the session does not hold
    watchList(board, codes);
    // Moved prices: the keyed cells are made again from their new numbers.
    const tc::SessionModel& model = session->client().model();
    const tc::ItemDetails* euro = tc::gui::instrumentOf(model, "EURUSD");
    ASSERT_NE(euro, nullptr);
    const tc::platform::CompactDecimal bidBefore = euro->Bid;
    ASSERT_TRUE(server->setQuote("EURUSD", "1.09100", "1.09113"));
    ASSERT_TRUE(waitFor([&] { return euro->Bid != bidBefore; }, 15000));
    session->tickNow();
    Q_EMIT session->tablesChanged({interfaces::Table::OpenPositionFigures});

    for (int row = 0; row < board.rowCount(); ++row)
        for (int c = 0; c < board.columnCount(); ++c)
            EXPECT_EQ(board.cell(row, c),
                      tc::gui::boardCell(model, tc::gui::instrumentOf(model, board.rowId(row)),
                                         board.columnSpec(c).field))
                << board.rowId(row) << " " << board.columnSpec(c).id;
    const auto ordersMatch = [&](const GridModel& grid, const tc::OrderView& orders,
                                 const std::string tc::Order::*id) {
        ASSERT_EQ(grid.rowCount(), static_cast<int>(orders.size()));
        for (int row = 0; row < grid.rowCount(); ++row) {
            const auto order = std::find_if(orders.begin(), orders.end(),
                                            [&](const auto& o) { return (*o).*id == grid.rowId(row); });
            ASSERT_NE(order, orders.end()) << grid.rowId(row);
            for (int c = 0; c < grid.columnCount(); ++c)
                EXPECT_EQ(grid.cell(row, c), tc::gui::orderCell(**order, tc::gui::recordsOf(model, **order),
                                                                grid.columnSpec(c).field))
                    << grid.rowId(row) << " " << grid.columnSpec(c).id;
        }
    };
    ordersMatch(open, session->client().queries().getOpenOrderCollection(), &tc::Order::OpenPositionId);
    ordersMatch(pending, session->client().queries().getPendingOrderCollection(), &tc::Order::PendingOrderId);
}

// Qt 6 hashes a model index as (row << 4) + column + internal id. The cells of 10,000 rows of 20
// columns, placed as Qt's hash places them (a power-of-two table at most half full, each key in the
// first free bucket from its hash on), each stand within a few buckets of their hash: no cluster for a
// removal, an insertion or a sort to walk.
TEST(GridIndexIds, TheCellsOfAWideGridSpreadOverQtsHash) {
    constexpr int kRows = 10000;
    constexpr int kColumns = 20;
    const std::size_t buckets = std::bit_ceil(static_cast<std::size_t>(2 * kRows * kColumns));
    std::vector<bool> taken(buckets);
    std::size_t probes = 0;
    std::size_t worst = 0;
    for (int row = 0; row < kRows; ++row)
        for (int column = 0; column < kColumns; ++column) {
            const std::size_t hash = (static_cast<std::size_t>(row) << 4) + static_cast<std::size_t>(column) +
                                     tc::gui::gridIndexId(row, column);
            std::size_t bucket = hash & (buckets - 1);
            std::size_t probe = 0;
            for (; taken[bucket]; ++probe)
                bucket = (bucket + 1) & (buckets - 1);
            taken[bucket] = true;
            probes += probe;
            worst = std::max(worst, probe);
        }
    EXPECT_LT(probes, static_cast<std::size_t>(kRows * kColumns)) << "under one probe a cell on average";
    EXPECT_LT(worst, 64u);
    // The id is the row's and column's alone: Qt makes an index again after a row moves.
    EXPECT_EQ(tc::gui::gridIndexId(7, 3), tc::gui::gridIndexId(7, 3));
    EXPECT_NE(tc::gui::gridIndexId(7, 3), tc::gui::gridIndexId(8, 3));
}

// A position on an instrument the login's lists do not carry: the client has nothing to work its
// margin out with, while the server's used margin of the account holds it.
class UnlistedInstrument : public GridModelTest {
protected:
    void seedMarket(testserver::Market& market) override {
        auto position = market.positions.front(); // 300001, 20001, EURUSD
        position.positionId = 300099;
        position.instrumentId = 99999;
        position.qty = position.initialQty = "1";
        market.positions.push_back(position);
    }
};

TEST_F(UnlistedInstrument, TheTotalsMarginIsTheAccountsAndThePositionsOwnIsNotMadeUp) {
    ASSERT_TRUE(signIn());
    ASSERT_TRUE(waitFor([&] { return session->client().setCurrentAccount(20001); }));
    GridModel& open = grid(Grid::OpenPositions);
    const auto usedMargin = [&] {
        for (const auto& account : session->client().queries().getAccountCollection())
            if (account->AccountId == 20001)
                return account->UsedMargin.toDouble();
        return -1.0;
    };
    ASSERT_TRUE(waitFor(
        [&] {
            Q_EMIT session->tablesChanged({interfaces::Table::OpenPositionFigures});
            return has(open, {"300001", "300002", "300099"}) && session->figuresValued() &&
                   open.openPositionTotals().valued;
        },
        30000));
    // The server holds 1.5 + 0.2 + 1 lots at 1 a lot; the client can work out the first two alone.
    ASSERT_NEAR(usedMargin(), 2.7, 1e-9);
    EXPECT_NEAR(open.openPositionTotals().margin, usedMargin(), 1e-9);
    EXPECT_EQ(text(open, "300099", "PositionMargin"), "") << "not 0.00: it holds margin";
    EXPECT_EQ(text(open, "300099", "ClosingPrice"), "") << "no price of its instrument is known";
    EXPECT_EQ(text(open, "300001", "PositionMargin"), "1.50");
}
