// The grids' own work each second and on a column click, without widgets: 10,000 open positions
// over 1,000 instruments sorted by every sortable column, their totals, their tick directions and
// live cells, and a watch list of 1,000 instruments with its live cells.
#include "gui/grid/grid_cells.h"
#include "gui/grid/grid_spec.h"
#include "gui/grid/grid_totals.h"
#include "model/records/account_details.h"
#include "model/records/group_details.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "model/session_model.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <fmt/format.h>

#include <algorithm>
#include <memory>
#include <random>

using namespace tc;

namespace {

using namespace tc::gui;

constexpr int kInstruments = 1000;
constexpr int kPositions = 10000;
constexpr int kAccounts = 8;

struct GridSession {
    SessionModel model;
    OrderList positions;
    OrderView view; // the positions as the windows read them
    std::vector<std::string> watchList;

    GridSession() {
        std::mt19937 random(7);
        std::uniform_real_distribution<double> price(0.5, 150.0);
        auto group = std::make_shared<GroupDetails>();
        for (int n = 0; n < kInstruments; ++n) {
            auto item = std::make_shared<ItemDetails>();
            item->Code = fmt::format("SYM{}", n);
            item->InstrumentId = n + 1;
            item->DecimalPlaces = 4;
            item->priceTick = platform::CompactDecimal::fromString("0.0001").value();
            // Quotes come on the instrument's 4 decimals, as the feed sends them.
            const auto units = std::llround(price(random) * 1e4);
            item->Bid = platform::CompactDecimal::fromUnits(units, -4);
            item->Ask = platform::CompactDecimal::fromUnits(units + 5, -4);
            item->UpdateTime = wallTimeFromWire("20240305143000");
            model.ItemCollection.insert_or_assign(item->Code, item);
            watchList.push_back(item->Code);
            GroupInstruments settings;
            settings.InstrumentId = n + 1;
            settings.InitialMargin = platform::CompactDecimal::fromString("12.5").value();
            group->fileGroupInstrument(settings);
        }
        model.GroupDetailCollection.insert_or_assign("1", group);
        for (int a = 0; a < kAccounts; ++a) {
            auto account = std::make_shared<AccountDetails>();
            account->AccountId = 1000 + a;
            account->GroupId = "1";
            account->tradingStatus = account->accountAccessType = 1;
            model.AccountDetailCollection.insert_or_assign(std::to_string(account->AccountId), account);
        }
        for (int p = 0; p < kPositions; ++p) {
            auto order = std::make_shared<Order>();
            order->OpenPositionId = std::to_string(random() % 1000000);
            order->AccountNumber = std::to_string(1000 + random() % kAccounts);
            order->ItemCode = fmt::format("SYM{}", random() % kInstruments);
            order->RemainingQty = order->OrderQty =
                *platform::Decimal::fromString(fmt::format("{}.{}", 1 + random() % 20, random() % 10));
            order->OrderPrice = *platform::Decimal::fromString(fmt::format("{:.4f}", price(random)));
            order->tradingMode = static_cast<std::int32_t>(random() % 2);
            order->deliveryMode = 1 + static_cast<std::int32_t>(random() % 3);
            order->UnrealisedPL = price(random) - 75;
            order->Commission = price(random) / 100;
            order->TransactionDateTime = wallTimeFromWire(
                fmt::format("20{:02}{:02}{:02}{:02}{:02}{:02}", 20 + random() % 5, 1 + random() % 12,
                            1 + random() % 28, random() % 24, random() % 60, random() % 60));
            positions.push_back(std::move(order));
        }
        view.assign(positions.begin(), positions.end());
    }
};

GridSession& session() {
    static GridSession s;
    return s;
}

std::vector<const ColumnSpec*> sortableOpenColumns() {
    std::vector<const ColumnSpec*> columns;
    for (const ColumnSpec& column : columnsOf(Grid::OpenPositions))
        if (column.sortable)
            columns.push_back(&column);
    return columns;
}

// One click on a column header: the stored list sorted in place by that column.
void BM_SortOpenPositions(benchmark::State& state) {
    const ColumnSpec* column = sortableOpenColumns().at(static_cast<std::size_t>(state.range(0)));
    const auto descriptor = *sortDescriptor(column->field, true);
    std::mt19937 random(3);
    OrderList shuffled = shareRecords(session().positions);
    for (auto _ : state) {
        state.PauseTiming();
        std::shuffle(shuffled.begin(), shuffled.end(), random);
        state.ResumeTiming();
        sortOrderCollection(shuffled, {descriptor});
        benchmark::DoNotOptimize(shuffled.data());
    }
    state.SetLabel(std::string(column->id));
}
BENCHMARK(BM_SortOpenPositions)
    ->DenseRange(0, static_cast<int>(sortableOpenColumns().size()) - 1)
    ->Unit(benchmark::kMillisecond);

// The open positions' one-second refresh: ticks, the two live cells of every row and the totals.
void BM_OpenPositionsRefresh(benchmark::State& state) {
    GridSession& s = session();
    TickTracker ticks;
    for (auto _ : state) {
        refreshPositionTicks(ticks, s.model, s.view);
        RowRecordsCache cache(s.model);
        for (const auto& position : s.view) {
            const RowRecords records = cache.of(*position);
            benchmark::DoNotOptimize(orderCell(*position, records, Field::ClosingPrice,
                                               {1e9, ticks.tick(position->OpenPositionId)}));
            benchmark::DoNotOptimize(orderCell(*position, records, Field::UnrealisedPL));
        }
        benchmark::DoNotOptimize(openPositionTotals(s.model, s.view, 1000)); // one account's
    }
}
BENCHMARK(BM_OpenPositionsRefresh)->Unit(benchmark::kMillisecond);

// The quotes board's one-second refresh: ticks and the live cells of every row.
void BM_WatchlistRefresh(benchmark::State& state) {
    GridSession& s = session();
    QuoteTicks ticks;
    for (auto _ : state) {
        refreshQuoteTicks(ticks, s.model, s.watchList);
        for (const std::string& code : s.watchList) {
            const ItemDetails* item = instrumentOf(s.model, code);
            for (const ColumnSpec& column : columnsOf(Grid::Watchlist))
                if (column.live)
                    benchmark::DoNotOptimize(
                        boardCell(s.model, item, column.field, {1e9, ticks.bid.tick(code)}));
        }
    }
}
BENCHMARK(BM_WatchlistRefresh)->Unit(benchmark::kMillisecond);

} // namespace
