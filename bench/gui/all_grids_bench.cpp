// Every grid of the main window on screen over one live session: 1,000 instruments on the watch
// list, 10,000 open positions, the feed at 2,000 quotes a second. For 20 s of that session it
// measures, each second, the main-thread time the grids take to follow the session's tick and the
// core's announcement of the positions' figures (refresh_ms: mean, worst), beside the core's own
// refresh of the same positions (core_refresh_ms), and the worst delay of a task posted to the main
// queue every 10 ms from another thread (worst_delay_ms). Then it sorts the open positions' view by
// each sortable column (sort_ms_worst; each column's figure printed). Then, with the feed still
// running, key presses (down, up, page down, page up) are posted one at a time to each view that has
// rows, from another thread at uneven times, and timed from the press to the end of the view's next
// paint (key_ms_worst, key_ms_p90). Goals: refresh under 5 ms, delay under 16 ms, every sort under
// 20 ms, every key press painted within 16 ms. Run twice: unpinned (/0), and pinned (/1) to the last
// two cores the process may use, with the server's and the session's threads it starts.
#include "client/client_factory.h"
#include "gui/controls/grid_table.h"
#include "gui/grid/grid_model.h"
#include "gui/grid/grid_view_proxy.h"
#include "model/position_arithmetic.h"
#include "model/session_model.h"
#include "model/session_model_lookup.h"
#include "model/session_queries.h"
#include "platform/dispatch.h"
#include "session/business/business_base.h"

#include "gui_bench_support.h"

#include <QDeadlineTimer>
#include <QKeyEvent>
#include <QTableView>
#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <random>
#include <thread>
#include <utility>
#include <vector>

namespace {

constexpr int kInstruments = 1000;
constexpr int kPositions = 10'000;
constexpr double kQuotesPerSecond = 2000;
constexpr int kSeconds = 20;

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A grid's view as the main window makes it, that notes where its current row is after a key and
// when the next paint of its rows ends.
class TimedView : public tc::gui::GridTable {
public:
    TimedView(tc::gui::GuiContext& context, tc::gui::Grid grid) : GridTable(context, grid) {}
    // Called on the main thread once a paint that follows a key press ends.
    std::function<void()> paintedAfterKey;
    std::atomic<int> currentRow{0};
    std::atomic<int> rows{0};

protected:
    void keyPressEvent(QKeyEvent* event) override {
        GridTable::keyPressEvent(event);
        currentRow = currentIndex().row();
        rows = model() ? model()->rowCount() : 0;
        keyHandled_ = true;
    }
    void paintEvent(QPaintEvent* event) override {
        GridTable::paintEvent(event);
        if (std::exchange(keyHandled_, false) && paintedAfterKey)
            paintedAfterKey();
    }

private:
    bool keyHandled_ = false;
};

struct KeyLatency {
    double worstMs = 0;
    double p90Ms = 0;
    int presses = 0;
    int unpainted = 0; // presses that moved nothing on screen within a second
};

// Posts `presses` key presses to the views in turn from another thread, each after the last one's
// paint (or a second), 10 to 60 ms apart, while the main thread pumps Qt. Each view walks down its rows
// (down, down, page down) to the last, then up again (up, up, page up).
KeyLatency timeKeyPresses(const std::vector<TimedView*>& views, int presses) {
    std::vector<double> latencies;
    std::atomic<Clock::time_point::rep> pressedAt{0};
    std::atomic<int> awaiting{-1};
    for (std::size_t v = 0; v < views.size(); ++v) {
        TimedView& view = *views[v];
        view.setFocus();
        view.setCurrentIndex(view.model()->index(0, 0));
        view.currentRow = 0;
        view.rows = view.model()->rowCount();
        view.paintedAfterKey = [&, v] {
            if (awaiting.load() != static_cast<int>(v))
                return;
            latencies.push_back(std::chrono::duration<double, std::milli>(
                                    Clock::now() - Clock::time_point(Clock::duration(pressedAt.load())))
                                    .count());
            awaiting = -1;
        };
    }
    pumpFor(200);
    KeyLatency result;
    std::atomic<bool> finished{false};
    std::thread presser([&] {
        std::minstd_rand random(7);
        std::vector<bool> down(views.size(), true);
        for (int n = 0; n < presses; ++n) {
            const auto v = static_cast<std::size_t>(n) % views.size();
            TimedView& view = *views[v];
            if (down[v] && view.currentRow >= view.rows - 1)
                down[v] = false;
            else if (!down[v] && view.currentRow <= 0)
                down[v] = true;
            const bool page = (n / static_cast<int>(views.size())) % 3 == 2;
            const int key =
                down[v] ? (page ? Qt::Key_PageDown : Qt::Key_Down) : (page ? Qt::Key_PageUp : Qt::Key_Up);
            pressedAt = Clock::now().time_since_epoch().count();
            awaiting = static_cast<int>(v);
            QCoreApplication::postEvent(&view, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
            const auto limit = Clock::now() + std::chrono::seconds(1);
            while (awaiting.load() >= 0 && Clock::now() < limit)
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            if (awaiting.exchange(-1) >= 0)
                ++result.unpainted;
            std::this_thread::sleep_for(std::chrono::milliseconds(10 + random() % 50));
        }
        finished = true;
    });
    while (!finished)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    presser.join();
    pumpFor(50);
    for (TimedView* view : views)
        view->paintedAfterKey = nullptr;
    result.presses = static_cast<int>(latencies.size());
    if (!latencies.empty()) {
        std::sort(latencies.begin(), latencies.end());
        result.worstMs = latencies.back();
        result.p90Ms = latencies[latencies.size() * 9 / 10];
    }
    return result;
}

void BM_AllGridsRefresh(benchmark::State& state) {
    ensureApplication();
    const PinnedToTwoCores pinning(state.range(0) != 0);
    state.SetLabel(pinning.pinned() ? "pinned to two cores" : "unpinned");
    BenchDesktop desktop;
    tc::gui::GuiContext& context = desktop.context;
    testserver::ServerPorts ports;
    const auto server = startLargeBook(kInstruments, kPositions, kQuotesPerSecond, ports);
    if (!server) {
        state.SkipWithError("no market beside the program");
        return;
    }
    {
        tc::gui::ClientModel session(desktop.clientFactory());
        context.setClientModel(&session);
        // Connected before the grids and after them: the two stamps bracket the grids' own work.
        Clock::time_point started;
        double startedCpu = 0;
        double secondMs = 0;
        double secondCpuMs = 0;
        const auto begin = [&] {
            started = Clock::now();
            startedCpu = threadCpuMs();
        };
        const auto end = [&] {
            secondMs += msSince(started);
            secondCpuMs += threadCpuMs() - startedCpu;
        };
        QObject::connect(&session, &tc::gui::ClientModel::tick, begin);
        QObject::connect(&session, &tc::gui::ClientModel::tablesChanged, begin);

        std::vector<std::unique_ptr<TimedView>> views;
        std::vector<tc::gui::GridModel*> grids;
        std::vector<tc::gui::GridViewProxy*> proxies;
        for (tc::gui::Grid which :
             {tc::gui::Grid::Watchlist, tc::gui::Grid::Accounts, tc::gui::Grid::OpenPositions,
              tc::gui::Grid::PendingOrders, tc::gui::Grid::SettledPositions, tc::gui::Grid::ExecutedPositions,
              tc::gui::Grid::CancelledOrders, tc::gui::Grid::BuyDepth, tc::gui::Grid::SellDepth}) {
            views.push_back(std::make_unique<TimedView>(context, which));
            grids.push_back(&views.back()->gridModel());
            proxies.push_back(&views.back()->proxy());
            views.back()->resize(1200, 600);
            views.back()->show();
        }
        grids[7]->setInstrument("EURUSD");
        grids[8]->setInstrument("EURUSD");
        tc::gui::GridModel& open = *grids[2];
        tc::gui::GridViewProxy& openView = *proxies[2];
        QObject::connect(&session, &tc::gui::ClientModel::tick, end);
        QObject::connect(&session, &tc::gui::ClientModel::tablesChanged, end);

        session.signIn({interfaces::LoginMode::Simulation, "127.0.0.1", ports.stream, "demo", "demo1234"});
        if (!pumpUntil([&] { return open.rowCount() >= kPositions; }, 120000)) {
            state.SkipWithError("the demo's positions did not load");
            views.clear();
            proxies.clear();
            grids.clear();
            context.setClientModel(nullptr);
            server->stop();
            return;
        }
        std::vector<std::string> codes;
        for (const auto& [code, item] : session.client().model().ItemCollection)
            codes.push_back(code);
        session.client().setWatchList(codes);
        pumpFor(2000);

        std::vector<double> seconds;
        std::vector<double> cpuSeconds;
        double coreMs = 0;
        double worstDelay = 0;
        double sortWorst = 0;
        KeyLatency keys;
        for (auto _ : state) {
            // The main queue's delay, measured while the feed runs and the grids follow it.
            MainQueueDelay delay;
            for (int s = 0; s < kSeconds; ++s) {
                secondMs = secondCpuMs = 0;
                pumpFor(1000);
                seconds.push_back(secondMs);
                cpuSeconds.push_back(secondCpuMs);
            }
            delay.stop();
            worstDelay = std::max(worstDelay, delay.worstMs());

            // The core's own pass over the same positions (what its one-second refresh writes).
            // The core's refresh writes the positions: it runs on the session's own model.
            tc::SessionModel& model = tc::sessionOf(session.client()).session();
            const tc::SessionModelLookup lookup(model);
            const double core = threadCpuMs();
            const int passes = 10;
            for (int i = 0; i < passes; ++i)
                benchmark::DoNotOptimize(tc::refreshOpenPositions(model.OpenOrderCollection, lookup));
            coreMs = (threadCpuMs() - core) / passes;

            for (int column = 0; column < open.columnCount(); ++column) {
                if (!open.columnSpec(column).sortable)
                    continue;
                const double sorting = threadCpuMs();
                openView.sort(column, Qt::AscendingOrder);
                const double ms = threadCpuMs() - sorting;
                sortWorst = std::max(sortWorst, ms);
                fmt::print(stderr, "sort open positions by {}: {:.2f} ms\n", open.columnSpec(column).id, ms);
            }
            openView.sort(-1);

            std::vector<TimedView*> keyed;
            for (const auto& view : views)
                if (view->model()->rowCount() >= 2)
                    keyed.push_back(view.get());
            keys = timeKeyPresses(keyed, 400);
        }
        // Main-thread CPU time of the grids per second, and the wall time it took.
        state.counters["refresh_ms"] = meanOf(cpuSeconds);
        state.counters["refresh_ms_worst"] = worstOf(cpuSeconds);
        state.counters["refresh_wall_ms"] = meanOf(seconds);
        state.counters["refresh_wall_ms_worst"] = worstOf(seconds);
        state.counters["core_refresh_ms"] = coreMs;
        state.counters["worst_delay_ms"] = worstDelay;
        state.counters["sort_ms_worst"] = sortWorst;
        state.counters["key_ms_worst"] = keys.worstMs;
        state.counters["key_ms_p90"] = keys.p90Ms;
        state.counters["key_presses"] = keys.presses;
        state.counters["key_unpainted"] = keys.unpainted;
        state.counters["positions"] = open.rowCount();
        state.counters["watched"] = grids[0]->rowCount();
        views.clear();
        proxies.clear();
        grids.clear();
        context.setClientModel(nullptr);
    }
    server->stop();
    tc::platform::RunLoop::main().discardPending();
}
// Argument: 0 unpinned, 1 pinned to two cores.
BENCHMARK(BM_AllGridsRefresh)->Unit(benchmark::kMillisecond)->Iterations(1)->Arg(0)->Arg(1);

} // namespace
