// The order ticket with the demo user signed in to the in-process test server and the server
// publishing 2,000 quotes a second, offscreen:
//  - BM_TradeTicketRefresh: the ticket's one-second refresh with its depth and chart drawer open (the
//    quote panel, the price checks against the order rules, both depth ladders, and the repaint they
//    ask for); mean and worst main-thread time per refresh (refresh_us, worst_us), the panel's part
//    (panel_us). Goal: under 1 ms. The drawer chart steps on its own one-second timer; its step and
//    repaint are timed apart (chart_step_us).
//  - BM_TradeTicketOpen: opening the ticket from the main window's action until it has been laid out
//    and painted, the first time (made then: open_first_ms) and again (open_ms). Goal: under 100 ms.
//  - BM_MultiAccountRebuild: the multi-account rows rebuilt for the order's settings over 200 accounts
//    of the signed-in user, with the table laid out again (rebuild_ms). Goal: under 20 ms.
#include "gui/app/gui_objects.h"
#include "gui/charts/chart_controller.h"
#include "gui/grid/grid_model.h"
#include "gui/market/market_depth_table_controller.h"
#include "gui/models/client_model.h"
#include "gui/trading/multi_account_model.h"
#include "gui/trading/trade_ticket_window_controller.h"
#include "market.h"
#include "model/session_queries.h"
#include "options.h"
#include "test_server.h"

#include "gui_bench_support.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

namespace {

constexpr double kQuotesPerSecond = 2000;
constexpr int kMultiAccounts = 200;

double msSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// The demo user signed in over the market, with a context and shell around it.
struct Signed : BenchDesktop {
    std::unique_ptr<testserver::TestServer> server;
    std::unique_ptr<tc::gui::ClientModel> session;

    explicit Signed(testserver::Market market) {
        server = std::make_unique<testserver::TestServer>(std::move(market));
        const testserver::ServerPorts ports = startOnFreePorts(*server, kQuotesPerSecond);
        session = std::make_unique<tc::gui::ClientModel>(clientFactory());
        context.setClientModel(session.get());
        session->signIn({interfaces::LoginMode::Simulation, "127.0.0.1", ports.stream, "demo", "demo1234"});
    }
    ~Signed() {
        delete context.guiObjects().tradeTicketWindowController();
        context.setClientModel(nullptr);
        session.reset();
        server->stop();
    }
    bool loaded() {
        return pumpUntil(
            [&] {
                return session->loginState() == interfaces::LoginState::SignedIn &&
                       !session->client().queries().getOpenOrderCollection().empty() &&
                       !session->client().watchList().empty();
            },
            30000);
    }
    tc::gui::TradeTicketWindowController& ticket() {
        return *context.guiObjects().tradeTicketWindowController();
    }
};

void BM_TradeTicketRefresh(benchmark::State& state) {
    ensureApplication();
    auto market = testserver::loadMarketFile(testserver::defaultMarketPath());
    if (!market.market) {
        state.SkipWithError("no market beside the program");
        return;
    }
    Signed s(std::move(*market.market));
    if (!s.loaded()) {
        state.SkipWithError("the demo session did not load");
        return;
    }
    s.context.guiObjects().showTradeTicket(nullptr);
    tc::gui::TradeTicketWindowController& ticket = s.ticket();
    ticket.setMode(tc::gui::TradeTicketWindowController::kAdvancedMode);
    ticket.toggleRightDrawer();
    pumpFor(1500); // the chart's bars and the depth arrive
    double totalUs = 0;
    double worstUs = 0;
    double panelUs = 0;
    double chartUs = 0;
    const auto since = [](std::chrono::steady_clock::time_point from) {
        return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - from).count();
    };
    for (auto _ : state) {
        state.PauseTiming();
        pumpFor(50); // quotes and depth arrive between refreshes (and the chart steps on its own timer)
        state.ResumeTiming();
        // The ticket's refresh: the quote panel and price checks, both ladders, and their repaint.
        const auto start = std::chrono::steady_clock::now();
        ticket.UpdateValuesInTimer();
        panelUs += since(start);
        ticket.buyDepth()->gridModel().refresh();
        ticket.sellDepth()->gridModel().refresh();
        QCoreApplication::sendPostedEvents(); // the repaints the refresh asked for
        const double us = since(start);
        totalUs += us;
        worstUs = std::max(worstUs, us);
        // The drawer chart's own one-second step and repaint, apart.
        state.PauseTiming();
        const auto chart = std::chrono::steady_clock::now();
        ticket.tradeChart()->newChartData();
        QCoreApplication::sendPostedEvents();
        chartUs += since(chart);
        state.ResumeTiming();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["refresh_us"] = totalUs / n;
    state.counters["worst_us"] = worstUs;
    state.counters["panel_us"] = panelUs / n;
    state.counters["chart_step_us"] = chartUs / n;
    state.counters["depth_rows"] =
        ticket.buyDepth()->model()->rowCount() + ticket.sellDepth()->model()->rowCount();
}
BENCHMARK(BM_TradeTicketRefresh)->Unit(benchmark::kMicrosecond)->Iterations(60);

void BM_TradeTicketOpen(benchmark::State& state) {
    ensureApplication();
    auto market = testserver::loadMarketFile(testserver::defaultMarketPath());
    if (!market.market) {
        state.SkipWithError("no market beside the program");
        return;
    }
    Signed s(std::move(*market.market));
    if (!s.loaded()) {
        state.SkipWithError("the demo session did not load");
        return;
    }
    const auto opened = [&] {
        const auto start = std::chrono::steady_clock::now();
        s.context.guiObjects().showTradeTicket(nullptr);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); // laid out and painted
        return msSince(start);
    };
    state.counters["open_first_ms"] = opened();
    double total = 0;
    double worst = 0;
    for (auto _ : state) {
        state.PauseTiming();
        s.ticket().close();
        pumpFor(20);
        state.ResumeTiming();
        const double ms = opened();
        total += ms;
        worst = std::max(worst, ms);
    }
    state.counters["open_ms"] = total / static_cast<double>(state.iterations());
    state.counters["open_worst_ms"] = worst;
}
BENCHMARK(BM_TradeTicketOpen)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_MultiAccountRebuild(benchmark::State& state) {
    ensureApplication();
    auto loadedMarket = testserver::loadMarketFile(testserver::defaultMarketPath());
    if (!loadedMarket.market) {
        state.SkipWithError("no market beside the program");
        return;
    }
    testserver::Market market = std::move(*loadedMarket.market);
    // The demo user's first account repeated up to 200 accounts.
    const auto first = std::find_if(market.accounts.begin(), market.accounts.end(),
                                    [](const auto& a) { return a.user == "demo"; });
    if (first == market.accounts.end()) {
        state.SkipWithError("no demo account in the market");
        return;
    }
    const testserver::Account seed = *first;
    int id = 0;
    for (const auto& a : market.accounts)
        id = std::max(id, a.id);
    const auto demoAccounts = std::count_if(market.accounts.begin(), market.accounts.end(),
                                            [](const auto& a) { return a.user == "demo"; });
    for (auto n = demoAccounts; n < kMultiAccounts; ++n) {
        testserver::Account copy = seed;
        copy.id = ++id;
        copy.name = "Bench " + std::to_string(copy.id);
        market.accounts.push_back(copy);
    }
    Signed s(std::move(market));
    if (!s.loaded()) {
        state.SkipWithError("the demo session did not load");
        return;
    }
    s.context.guiObjects().showTradeTicket(nullptr);
    tc::gui::TradeTicketWindowController& ticket = s.ticket();
    ticket.toggleLeftDrawer();
    pumpFor(200);
    double total = 0;
    double worst = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        ticket.LoadMultiAccountDetails();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); // the table laid out again
        const double ms = msSince(start);
        total += ms;
        worst = std::max(worst, ms);
        state.PauseTiming();
        pumpFor(20);
        state.ResumeTiming();
    }
    state.counters["rows"] = ticket.multiAccountModel().rowCount();
    state.counters["rebuild_ms"] = total / static_cast<double>(state.iterations());
    state.counters["rebuild_worst_ms"] = worst;
}
BENCHMARK(BM_MultiAccountRebuild)->Unit(benchmark::kMillisecond)->Iterations(30);

} // namespace
