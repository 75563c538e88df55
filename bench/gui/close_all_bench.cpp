// The close-all window open over a book of 10,000 open positions (marketWithPositions), the feed at
// 2,000 quotes a second, beside BM_FillIntoPositions. It measures the opening (open_ms); then for
// 10 s the window following the session's tick and the core's figures (refresh_ms_worst: the main
// thread's time from the announcement to the end of the window's work on it) while a task posted to
// the main queue every 10 ms notes how late it ran (tick_delay_ms_worst); then a row's tick box ticked
// or unticked, timed from the change to the end of the list's next paint (check_paint_ms, worst);
// then 200 rows sent and their 200 reports applied (reports_ms: from Send to the last row answered),
// the main queue's delay measured meanwhile (reports_delay_ms_worst). Goals: the tick's delay under
// 16 ms, every tick box painted within 16 ms, the reports' delay under 50 ms. An earlier Close All of
// the book's last 200 positions waits the whole time until just before the send (its window closed,
// the server holding it): their rows name it (awaited_rows), and its release while the list is
// chosen from is timed too (release_delay_ms_worst: the main queue's delay until its 200 positions
// have left the list).
#include "gui/trading/close_all_window_controller.h"
#include "gui/trading/close_position_status_window_controller.h"
#include "platform/dispatch.h"

#include "gui_bench_support.h"

#include <QObject>
#include <QTableView>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kInstruments = 100;
constexpr int kPositions = 10'000;
constexpr int kSent = 200; // the test server's limit for one request
constexpr int kChecks = 20;
constexpr double kQuotesPerSecond = 2000;

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Notes when a paint of the widget it watches ends: the paint is delivered from inside the filter.
class PaintEnd : public QObject {
public:
    explicit PaintEnd(QWidget& watched) : watched_(watched) { watched_.installEventFilter(this); }
    ~PaintEnd() override { watched_.removeEventFilter(this); }
    Clock::time_point last;
    int paints = 0;

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (object != &watched_ || event->type() != QEvent::Paint || inside_)
            return false;
        inside_ = true;
        QCoreApplication::sendEvent(object, event);
        inside_ = false;
        last = Clock::now();
        ++paints;
        return true;
    }

private:
    QWidget& watched_;
    bool inside_ = false;
};

void BM_CloseAllOverLargeBook(benchmark::State& state) {
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
        const auto release = [&] { desktop.context.setClientModel(nullptr); };
        if (!signInDemo(session, ports, [&] {
                return session.client().queries().getOpenOrderCollection().size() >= std::size_t(kPositions);
            })) {
            state.SkipWithError("the demo's positions did not load");
            release();
            server->stop();
            return;
        }
        pumpFor(2000);

        // Stamped before the window hears the announcement, read after (its handlers run between).
        Clock::time_point announced;
        double announcedCpu = 0;
        std::vector<double> refreshMs;
        const auto begin = [&] {
            announced = Clock::now();
            announcedCpu = threadCpuMs();
        };
        QObject::connect(&session, &tc::gui::ClientModel::tick, begin);
        QObject::connect(&session, &tc::gui::ClientModel::tablesChanged, begin);

        double openMs = 0;
        double tickDelay = 0;
        std::vector<double> checkMs;
        double reportsMs = -1;
        double reportsDelay = 0;
        double sendMs = 0; // the check and the sending, one task of the main queue
        int answered = 0;
        int awaitedRows = 0;
        double releaseDelay = -1;
        // The earlier Close All: held by the server, given up by its window.
        std::vector<std::string> earlier;
        {
            const tc::OrderView book = session.client().queries().getOpenOrderCollection();
            for (std::size_t at = book.size() - kSent; at < book.size(); ++at)
                earlier.push_back(book[at]->OpenPositionId);
        }
        server->holdOrders(true);
        const interfaces::OrderResult held =
            session.client().orders().closeAllPositions(earlier, interfaces::CloseAllScope::Selected);
        if (!held.sent()) {
            state.SkipWithError("the earlier close-all did not go");
            release();
            server->stop();
            return;
        }
        session.client().orders().giveUpRequest(held.request);
        pumpUntil([&] { return server->stats().heldOrderRequests == 1; }, 5000);
        for (auto _ : state) {
            tc::gui::CloseAllWindowController window(desktop.context);
            window.resize(1200, 700);
            const auto opening = Clock::now();
            window.openOn(nullptr);
            QTableView& table = *window.findChild<QTableView*>(QStringLiteral("closeAllTableView"));
            pumpUntil([&] { return table.isVisible(); }, 5000);
            openMs = msSince(opening);
            QAbstractItemModel& shown = *table.model();
            for (int row = 0; row < shown.rowCount(); ++row)
                awaitedRows += !shown.index(row, shown.columnCount() - 1).data().toString().isEmpty();
            const auto end = [&] {
                if (refreshMs.size() < 100000)
                    refreshMs.push_back(threadCpuMs() - announcedCpu);
            };
            const auto ticks = QObject::connect(&session, &tc::gui::ClientModel::tick, end);
            const auto tables = QObject::connect(&session, &tc::gui::ClientModel::tablesChanged, end);
            pumpFor(500);
            refreshMs.clear();
            {
                MainQueueDelay delay;
                pumpFor(10000);
                delay.stop();
                tickDelay = delay.worstMs();
            }
            QObject::disconnect(ticks);
            QObject::disconnect(tables);

            // A tick box of a row on screen, as a click changes it, to the end of the next paint.
            PaintEnd painted(*table.viewport());
            QAbstractItemModel& lines = *table.model();
            for (int n = 0; n < kChecks; ++n) {
                const QModelIndex box = lines.index(n % 10, 0);
                const bool ticked = box.data(Qt::CheckStateRole) == Qt::Checked;
                const int before = painted.paints;
                const auto clicked = Clock::now();
                lines.setData(box, ticked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
                if (pumpUntil([&] { return painted.paints > before; }, 2000))
                    checkMs.push_back(
                        std::chrono::duration<double, std::milli>(painted.last - clicked).count());
                pumpFor(50);
            }

            // The earlier Close All answered while the list is chosen from: its positions leave the list.
            {
                const int listed = lines.rowCount();
                MainQueueDelay delay;
                server->answerHeldOrders({0});
                server->holdOrders(false);
                if (pumpUntil([&] { return lines.rowCount() <= listed - kSent; }, 30000))
                    releaseDelay = 0;
                delay.stop();
                if (releaseDelay == 0)
                    releaseDelay = delay.worstMs();
            }

            // 200 rows sent: every row unticked from the title, the first 200 ticked.
            window.hitTickTitle();
            if (!window.flow().ticked().empty())
                window.hitTickTitle();
            for (int row = 0; row < kSent; ++row)
                lines.setData(lines.index(row, 0), Qt::Checked, Qt::CheckStateRole);
            pumpFor(200);
            MainQueueDelay delay;
            const auto sent = Clock::now();
            window.closeAllButtonClicked();
            sendMs = msSince(sent);
            // Some refused by the check (none expected): the others go, as "Close the others".
            if (window.flow().phase() == tc::gui::CloseAllFlow::Phase::Refused && window.statusSheet())
                Q_EMIT window.statusSheet()->goOn();
            if (pumpUntil(
                    [&] {
                        return window.flow().phase() == tc::gui::CloseAllFlow::Phase::Sent &&
                               !window.flow().waiting();
                    },
                    30000))
                reportsMs = msSince(sent);
            delay.stop();
            reportsDelay = delay.worstMs();
            for (const auto& row : window.flow().statusRows())
                answered += row.answered;
            window.reject();
            pumpFor(100);
        }
        state.counters["open_ms"] = openMs;
        state.counters["refresh_ms_worst"] = worstOf(refreshMs);
        state.counters["tick_delay_ms_worst"] = tickDelay;
        state.counters["check_paint_ms"] = meanOf(checkMs);
        state.counters["check_paint_ms_worst"] = worstOf(checkMs);
        state.counters["send_ms"] = sendMs;
        state.counters["reports_ms"] = reportsMs;
        state.counters["reports_delay_ms_worst"] = reportsDelay;
        state.counters["answered"] = answered;
        state.counters["awaited_rows"] = awaitedRows;
        state.counters["release_delay_ms_worst"] = releaseDelay;
        release();
    }
    server->stop();
    tc::platform::RunLoop::main().discardPending();
}
BENCHMARK(BM_CloseAllOverLargeBook)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
