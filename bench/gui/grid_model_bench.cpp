// The open positions' table model over a live session: 10,000 positions of the demo user loaded from
// the loopback test server, refreshed by the one-second tick when nothing moved, after one
// instrument's quote moved, and in full (what a table change costs). Goal: a tick well inside a
// frame (16 ms) so that the GUI thread keeps painting.
#include "client/headless_application.h"
#include "gui/grid/grid_model.h"
#include "gui/models/client_model.h"
#include "market.h"
#include "model/records/item_details.h"
#include "options.h"
#include "platform/dispatch.h"
#include "platform/user_defaults.h"
#include "test_server.h"

#include "gui_bench_support.h"

#include <QApplication>

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <chrono>
#include <memory>
#include <string>

namespace {

constexpr int kPositions = 10'000;

bool pumpUntil(const std::function<bool()>& done) {
    return tc::platform::RunLoop::main().runUntil(done, std::chrono::seconds(60));
}

// The demo user signed in with kPositions open positions over every instrument and account.
struct LoadedSession {
    std::unique_ptr<tc::platform::UserDefaults> defaults = tc::platform::UserDefaults::inMemory();
    tc::HeadlessApplication app{*defaults};
    std::unique_ptr<testserver::TestServer> server;
    std::unique_ptr<tc::gui::ClientModel> session;
    std::unique_ptr<tc::gui::GridModel> open;
    bool ready = false;
    std::string why = "the demo's positions did not load";

    LoadedSession() {
        ensureApplication();
        tc::platform::RunLoop::main().bindToCurrentThread();
        auto market = testserver::loadMarketFile(testserver::defaultMarketPath());
        if (!market.market) {
            why = market.error;
            return;
        }
        const auto seed = market.market->positions.front();
        const int accounts[] = {20001, 20002, 20003};
        for (int n = 0; n < kPositions; ++n) {
            auto position = seed;
            position.positionId = 500000 + n;
            position.accountId = accounts[n % 3];
            position.instrumentId = 1 + n % static_cast<int>(market.market->instruments.size());
            position.isBuy = n % 2 == 0;
            position.qty = position.initialQty = fmt::format("{}", 1 + n % 9);
            market.market->positions.push_back(position);
        }
        server = std::make_unique<testserver::TestServer>(std::move(*market.market));
        server->holdPrices(true);
        testserver::ServerOptions options;
        options.port = options.feedPort = options.dataPort = 0;
        const auto ports = server->start(options);
        session = std::make_unique<tc::gui::ClientModel>([this] {
            interfaces::ClientOptions clientOptions;
            clientOptions.userDefaults = defaults.get();
            clientOptions.watchNetwork = false;
            return interfaces::MakeClient(app, clientOptions);
        });
        open = std::make_unique<tc::gui::GridModel>(*session, tc::gui::Grid::OpenPositions);
        const auto signedIn = session->signIn(
            {interfaces::LoginMode::Simulation, "127.0.0.1", ports.stream, "demo", "demo1234"});
        if (!signedIn) {
            why = signedIn.error;
            return;
        }
        ready = pumpUntil([&] { return open->rowCount() >= kPositions; });
    }
    ~LoadedSession() {
        open.reset();
        session.reset();
        if (server)
            server->stop();
        tc::platform::RunLoop::main().discardPending();
    }
};

void BM_GridModelTick(benchmark::State& state) {
    LoadedSession loaded;
    if (!loaded.ready) {
        state.SkipWithError(loaded.why.c_str());
        return;
    }
    for (auto _ : state)
        loaded.session->tickNow();
    state.counters["rows"] = loaded.open->rowCount();
}
BENCHMARK(BM_GridModelTick)->Unit(benchmark::kMillisecond);

// One instrument's quote moves between ticks: the rows of its positions change their live cells.
void BM_GridModelTickAfterQuote(benchmark::State& state) {
    LoadedSession loaded;
    if (!loaded.ready) {
        state.SkipWithError(loaded.why.c_str());
        return;
    }
    int changed = 0;
    QObject::connect(loaded.open.get(), &QAbstractItemModel::dataChanged, [&] { ++changed; });
    int step = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // Quotes have no event: the model's instrument shows when this one is in.
        const auto bidNow = [&] {
            const auto* item = loaded.session->client().model().ItemCollection.get("EURUSD");
            return item && *item ? (*item)->Bid : decltype((*item)->Bid){};
        };
        const auto before = bidNow();
        // A bid equal to the one shown sends nothing the session can see: each step moves it, and
        // never back to the market's own 1.08500.
        const std::string bid = fmt::format("1.08{:03}", 501 + step % 99);
        const std::string ask = fmt::format("1.08{:03}", 513 + step % 99);
        ++step;
        loaded.server->setQuote("EURUSD", bid, ask);
        if (!pumpUntil([&] { return bidNow() != before; })) {
            state.ResumeTiming();
            state.SkipWithError("the quote did not reach the session");
            break;
        }
        state.ResumeTiming();
        loaded.session->tickNow();
    }
    state.counters["dataChanged"] = benchmark::Counter(changed, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_GridModelTickAfterQuote)->Unit(benchmark::kMillisecond)->Iterations(100);

// Every cell read again and compared, as when the open positions' table changes.
void BM_GridModelRefreshAll(benchmark::State& state) {
    LoadedSession loaded;
    if (!loaded.ready) {
        state.SkipWithError(loaded.why.c_str());
        return;
    }
    for (auto _ : state)
        loaded.open->refresh();
}
BENCHMARK(BM_GridModelRefreshAll)->Unit(benchmark::kMillisecond);

} // namespace
