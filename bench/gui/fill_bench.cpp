// A fill into a book of 10,000 open positions (each opened at its instrument's price, the accounts
// funded to carry them: marketWithPositions), every order grid of the main window on screen as the
// window makes it, the feed at 2,000 quotes a second. Market buys are placed one at a time as the
// ticket's Buy places them, and each is timed from the press to its row in the open positions' model
// (model_ms) and to the end of that view's first paint after it (paint_ms: mean and worst); meanwhile
// a task posted to the main queue every 10 ms from another thread notes how late it ran
// (worst_delay_ms), and the longest the grids took over one announcement of the session while the
// fills came (announce_ms_worst: the fills' and the positions' figures'), and the same in the main
// thread's CPU time (announce_cpu_ms_worst), which other processes' turns do not swell. The first fill
// is timed apart (first_paint_ms): the test server grows its book for it, and the client's caches are
// cold. Goal: every other fill painted, and the main queue never held, within 16 ms.
#include "gui/controls/grid_table.h"
#include "gui/grid/grid_model.h"
#include "platform/dispatch.h"

#include "gui_bench_support.h"

#include <QScrollBar>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kInstruments = 100;
constexpr int kPositions = 10'000;
constexpr int kFills = 21; // the first timed apart
constexpr double kQuotesPerSecond = 2000;

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A grid's view that says when a paint ends.
class PaintedView : public tc::gui::GridTable {
public:
    using GridTable::GridTable;
    std::function<void()> painted;

protected:
    void paintEvent(QPaintEvent* event) override {
        GridTable::paintEvent(event);
        if (painted)
            painted();
    }
};

void BM_FillIntoPositions(benchmark::State& state) {
    ensureApplication();
    BenchDesktop desktop;
    testserver::ServerPorts ports;
    const auto server = startLargeBook(kInstruments, kPositions, kQuotesPerSecond, ports);
    if (!server) {
        state.SkipWithError("no market beside the program");
        return;
    }
    {
        tc::gui::ClientModel session(desktop.clientFactory());
        desktop.context.setClientModel(&session);
        // The announcement's refresh of every grid: stamped before the first grid hears it, summed after
        // the last.
        Clock::time_point announced;
        double announcedCpu = 0;
        double announceMs = 0;
        double announceCpuMs = 0;
        QObject::connect(&session, &tc::gui::ClientModel::tablesChanged, [&] {
            announced = Clock::now();
            announcedCpu = threadCpuMs();
        });
        std::vector<std::unique_ptr<PaintedView>> views;
        for (tc::gui::Grid which : {tc::gui::Grid::Accounts, tc::gui::Grid::OpenPositions,
                                    tc::gui::Grid::PendingOrders, tc::gui::Grid::SettledPositions,
                                    tc::gui::Grid::ExecutedPositions, tc::gui::Grid::CancelledOrders}) {
            views.push_back(std::make_unique<PaintedView>(desktop.context, which));
            views.back()->resize(1200, 400);
            views.back()->show();
        }
        QObject::connect(&session, &tc::gui::ClientModel::tablesChanged, [&] {
            announceMs = std::max(announceMs, msSince(announced));
            announceCpuMs = std::max(announceCpuMs, threadCpuMs() - announcedCpu);
        });
        PaintedView& open = *views[1];
        const auto release = [&] {
            views.clear();
            desktop.context.setClientModel(nullptr);
        };
        if (!signInDemo(session, ports, [&] { return open.gridModel().rowCount() >= kPositions; })) {
            state.SkipWithError("the demo's positions did not load");
            release();
            server->stop();
            return;
        }
        pumpFor(2000);

        interfaces::OrderTicket ticket;
        ticket.instrument = "EURUSD";
        ticket.account = 20001;
        ticket.quantity = *interfaces::Decimal::fromString("1");
        std::vector<double> modelMs;
        std::vector<double> paintMs;
        double firstPaintMs = -1;
        double worstDelay = 0;
        int unpainted = 0;
        for (auto _ : state) {
            MainQueueDelay delay;
            announceMs = announceCpuMs = 0;
            for (int n = 0; n < kFills; ++n) {
                // The new row comes last: the view shows the end of the book.
                open.verticalScrollBar()->setValue(open.verticalScrollBar()->maximum());
                pumpFor(300);
                const int before = open.gridModel().rowCount();
                double inModel = -1;
                double painted = -1;
                const auto pressed = Clock::now();
                open.painted = [&] {
                    if (painted < 0 && inModel >= 0)
                        painted = msSince(pressed);
                };
                const auto rows = QObject::connect(&open.gridModel(), &QAbstractItemModel::rowsInserted, [&] {
                    if (inModel < 0)
                        inModel = msSince(pressed);
                });
                if (const auto result = session.client().orders().placeOrder(ticket); !result.sent()) {
                    const std::string why = "the order was not sent: " + result.refusalText;
                    state.SkipWithError(why.c_str());
                    break;
                }
                if (!pumpUntil([&] { return painted >= 0; }, 5000))
                    ++unpainted;
                QObject::disconnect(rows);
                open.painted = nullptr;
                if (open.gridModel().rowCount() <= before)
                    ++unpainted;
                if (n == 0) {
                    firstPaintMs = painted;
                    continue;
                }
                if (inModel >= 0)
                    modelMs.push_back(inModel);
                if (painted >= 0)
                    paintMs.push_back(painted);
            }
            delay.stop();
            worstDelay = std::max(worstDelay, delay.worstMs());
        }
        state.counters["model_ms"] = meanOf(modelMs);
        state.counters["paint_ms"] = meanOf(paintMs);
        state.counters["paint_ms_worst"] = worstOf(paintMs);
        state.counters["first_paint_ms"] = firstPaintMs;
        state.counters["announce_ms_worst"] = announceMs;
        state.counters["announce_cpu_ms_worst"] = announceCpuMs;
        state.counters["worst_delay_ms"] = worstDelay;
        state.counters["unpainted"] = unpainted;
        state.counters["positions"] = open.gridModel().rowCount();
        release();
    }
    server->stop();
    tc::platform::RunLoop::main().discardPending();
}
BENCHMARK(BM_FillIntoPositions)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
