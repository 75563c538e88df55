// The open positions' grid in a view as the main window makes it, over a book of 3,500 and of 10,000
// positions (marketWithPositions), newest first, after an accessibility client (a screen reader, an
// automation tool) asked for every cell's interface: Qt then holds a persistent index per cell. Each
// run closes the top row (removal_ms: from the view's removal to the end of the grid's, the
// accessible table's cache moved with it), fills a new position that lands at the top (insertion_ms)
// and sorts by quantity and back (sort_ms, the worse of the two); every cell is read again before
// each. Goal: milliseconds each, whatever the number of cells read (cells_read).
#include "gui/controls/grid_table.h"
#include "gui/grid/grid_model.h"
#include "gui/grid/grid_view_proxy.h"

#include "gui_bench_support.h"

#include <QAccessible>
#include <QHeaderView>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <utility>

namespace {

constexpr std::size_t kInstruments = 100;
constexpr double kQuotesPerSecond = 200;

using Clock = std::chrono::steady_clock;

double msBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// Asks for every cell's accessible interface, as a client walking the table does; the count asked.
int readEveryCell(QAbstractItemView& view) {
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(&view);
    QAccessibleTableInterface* cells = table ? table->tableInterface() : nullptr;
    if (!cells)
        return 0;
    int read = 0;
    for (int row = 0; row < cells->rowCount(); ++row)
        for (int column = 0; column < cells->columnCount(); ++column)
            read += cells->cellAt(row, column) != nullptr;
    return read;
}

void BM_GridChangesWithEveryCellRead(benchmark::State& state) {
    ensureApplication();
    const int positions = static_cast<int>(state.range(0));
    BenchDesktop desktop;
    testserver::ServerPorts ports;
    const auto server = startLargeBook(kInstruments, positions, kQuotesPerSecond, ports);
    if (!server) {
        state.SkipWithError("no market beside the program");
        return;
    }
    QAccessible::setActive(true);
    {
        tc::gui::ClientModel session(desktop.clientFactory());
        desktop.context.setClientModel(&session);
        auto table = std::make_unique<tc::gui::GridTable>(desktop.context, tc::gui::Grid::OpenPositions);
        tc::gui::GridModel& grid = table->gridModel();
        tc::gui::GridViewProxy& view = table->proxy();
        table->resize(1200, 600);
        table->show();
        const auto release = [&] {
            table.reset();
            desktop.context.setClientModel(nullptr);
            server->stop();
        };
        if (!signInDemo(session, ports, [&] { return grid.rowCount() >= positions; })) {
            state.SkipWithError("the demo's positions did not load");
            release();
            return;
        }
        table->sortByColumn(grid.columnOf("OpenPositionId"), Qt::DescendingOrder);

        // The view's change starts the work, the grid's own change ends it (connected after the view).
        Clock::time_point began;
        Clock::time_point ended;
        QObject::connect(&view, &QAbstractItemModel::rowsAboutToBeRemoved, [&] { began = Clock::now(); });
        QObject::connect(&grid, &QAbstractItemModel::rowsRemoved, [&] { ended = Clock::now(); });
        QObject::connect(&grid, &QAbstractItemModel::rowsAboutToBeInserted, [&] { began = Clock::now(); });
        QObject::connect(&view, &QAbstractItemModel::rowsInserted, [&] { ended = Clock::now(); });

        double removalWorst = 0;
        double insertionWorst = 0;
        double sortWorst = 0;
        int read = 0;
        for (auto _ : state) {
            read = readEveryCell(*table);
            const int top = view.mapToSource(view.index(0, 0)).row();
            const std::string id = grid.rowId(top);
            const auto quantity =
                interfaces::Decimal::fromString(grid.cell(top, grid.columnOf("RemainingQty")).text);
            if (!quantity || !session.client().orders().closePosition(id, *quantity).sent() ||
                !pumpUntil([&] { return grid.rowOf(id) < 0; }, 60000)) {
                state.SkipWithError("the top row's close did not come");
                break;
            }
            removalWorst = std::max(removalWorst, msBetween(began, ended));

            readEveryCell(*table);
            const int rows = grid.rowCount();
            interfaces::OrderTicket ticket;
            ticket.instrument = "EURUSD";
            ticket.account = 20001;
            ticket.quantity = *interfaces::Decimal::fromString("1");
            if (!session.client().orders().placeOrder(ticket).sent() ||
                !pumpUntil([&] { return grid.rowCount() > rows; }, 60000)) {
                state.SkipWithError("the fill did not come");
                break;
            }
            insertionWorst = std::max(insertionWorst, msBetween(began, ended));

            readEveryCell(*table);
            for (const auto& [column, order] : {std::pair{"RemainingQty", Qt::AscendingOrder},
                                                std::pair{"OpenPositionId", Qt::DescendingOrder}}) {
                const auto start = Clock::now();
                table->sortByColumn(grid.columnOf(column), order);
                sortWorst = std::max(sortWorst, msBetween(start, Clock::now()));
            }
        }
        state.counters["cells_read"] = read;
        state.counters["removal_ms"] = removalWorst;
        state.counters["insertion_ms"] = insertionWorst;
        state.counters["sort_ms"] = sortWorst;
        release();
    }
    QAccessible::setActive(false);
}

BENCHMARK(BM_GridChangesWithEveryCellRead)
    ->Arg(3500)
    ->Arg(10000)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

} // namespace
