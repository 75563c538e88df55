// The chat window's transcript at 10,000 messages: the demo user signed in to the in-process test
// server with the conversation of "trader" open, holding 10,000 messages. Prints:
//   append_ms   main-thread CPU time from a new message's arrival to the transcript repainted with it
//               (the core storing it, the window appending and sizing its row, scrolling to it and
//               painting), mean and worst of 200 messages. Goal: under 2 ms.
//   scroll_ms   a jump to another place of the transcript and its repaint, mean and worst of 200.
//   open_ms     the conversation chosen again: all its rows taken, sized and painted.
#include "gui/chat/chat_transcript_view.h"
#include "gui/chat/chat_window_controller.h"

#include "gui_bench_support.h"

#include <QScrollBar>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <chrono>
#include <random>

namespace {

constexpr int kMessages = 10'000;
constexpr int kMeasured = 200;

using Clock = std::chrono::steady_clock;

// Sleeps in the event loop (no spinning, so the thread's CPU time is the work done) until `done`.
bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    QTimer wake;
    wake.start(50);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void BM_ChatTranscript(benchmark::State& state) {
    ensureApplication();
    BenchDesktop desktop;
    tc::gui::GuiContext& context = desktop.context;
    testserver::Market market = widenedMarket(0);
    if (market.instruments.empty()) {
        state.SkipWithError("no market beside the program");
        return;
    }
    testserver::TestServer server(std::move(market));
    // A quiet feed: the main thread's time is the chat's.
    const testserver::ServerPorts ports = startOnFreePorts(server, 1);
    {
        tc::gui::ClientModel session(desktop.clientFactory());
        context.setClientModel(&session);
        if (!signInDemo(session, ports)) {
            state.SkipWithError("the demo session did not sign in");
            context.setClientModel(nullptr);
            server.stop();
            return;
        }
        auto window = std::make_unique<tc::gui::ChatWindowController>(context);
        window->resize(860, 560);
        window->show();
        window->showWindow();
        window->userSelectedAtIndex("trader", "Trader Two");
        tc::gui::TranscriptView* view = window->messageTableView();
        tc::gui::TranscriptModel* transcript = view->transcript();

        const auto text = [](int i) {
            return fmt::format("Message {}: the EURUSD desk quotes 1.08{:02} and will call back about the "
                               "margin on the second lot before the close.",
                               i, i % 100);
        };
        const auto fillStart = Clock::now();
        for (int i = 0; i < kMessages; ++i)
            server.sendChatAs("trader", "demo", text(i));
        if (!pumpUntil([&] { return transcript->rowCount() >= kMessages; }, 300000)) {
            state.SkipWithError("the transcript did not fill");
            window.reset();
            context.setClientModel(nullptr);
            server.stop();
            return;
        }
        const double fillMs = std::chrono::duration<double, std::milli>(Clock::now() - fillStart).count();
        pumpFor(300);

        double appendTotal = 0, appendWorst = 0, scrollTotal = 0, scrollWorst = 0;
        std::mt19937 random(7);
        for (auto _ : state) {
            for (int i = 0; i < kMeasured; ++i) {
                const int rows = transcript->rowCount();
                const double start = threadCpuMs();
                server.sendChatAs("trader", "demo", text(kMessages + i));
                waitUntil([&] { return transcript->rowCount() > rows; }, 10000);
                view->viewport()->repaint();
                const double ms = threadCpuMs() - start;
                appendTotal += ms;
                appendWorst = std::max(appendWorst, ms);
            }
            QScrollBar* bar = view->verticalScrollBar();
            for (int i = 0; i < kMeasured; ++i) {
                const double start = threadCpuMs();
                bar->setValue(std::uniform_int_distribution<int>(0, bar->maximum())(random));
                view->viewport()->repaint();
                const double ms = threadCpuMs() - start;
                scrollTotal += ms;
                scrollWorst = std::max(scrollWorst, ms);
            }
            view->scrollToBottom();
        }
        window->userSelectedAtIndex("suspended", "Suspended User");
        const double openStart = threadCpuMs();
        window->userSelectedAtIndex("trader", "Trader Two");
        view->viewport()->repaint();
        const double openMs = threadCpuMs() - openStart;
        const double measured = static_cast<double>(kMeasured) * static_cast<double>(state.iterations());
        state.counters["append_ms"] = appendTotal / measured;
        state.counters["append_worst_ms"] = appendWorst;
        state.counters["scroll_ms"] = scrollTotal / measured;
        state.counters["scroll_worst_ms"] = scrollWorst;
        state.counters["open_ms"] = openMs;
        state.counters["rows"] = transcript->rowCount();
        fmt::print("chat transcript of {} messages: append {:.3f} ms of main-thread time per new message "
                   "(worst {:.3f}; goal < 2), scroll {:.3f} ms (worst {:.3f}), open {:.0f} ms; filled in "
                   "{:.0f} ms\n",
                   kMessages, appendTotal / measured, appendWorst, scrollTotal / measured, scrollWorst,
                   openMs, fillMs);
        window.reset();
        context.setClientModel(nullptr);
    }
    server.stop();
}
BENCHMARK(BM_ChatTranscript)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
