#pragma once
// What the drawing and window benchmarks share: the QApplication, pumping Qt's loop, the test
// server's default market widened to many instruments (and a big book of open positions), the desktop
// side a signed-in window needs, and the main queue's delay measured from another thread.
#include "gui/app/gui_context.h"
#include "gui/app/main_queue_pump.h"
#include "gui/app/qt_shell.h"
#include "gui/models/client_model.h"
#include "market.h"
#include "options.h"
#include "platform/dispatch.h"
#include "platform/user_defaults.h"
#include "test_server.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <fmt/format.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <iterator>
#include <memory>
#include <sched.h>
#include <string>
#include <thread>
#include <vector>

// Offscreen unless a platform is set. Made once and never destroyed: torn down at exit, after Qt's
// own globals, it would crash.

inline void ensureApplication() {
    static int argc = 1;
    static char name[] = "tradecore_bench";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        new QApplication(argc, argv);
    }
}

inline bool pumpUntil(const std::function<bool()>& done, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

inline void pumpFor(int ms) {
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// The calling thread's CPU time: on a loaded machine its wall time counts other processes' turns.
inline double threadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// The mean and the worst of a run's figures; 0 when it has none.
inline double meanOf(const std::vector<double>& figures) {
    double total = 0;
    for (double figure : figures)
        total += figure;
    return figures.empty() ? 0 : total / static_cast<double>(figures.size());
}
inline double worstOf(const std::vector<double>& figures) {
    return figures.empty() ? 0 : *std::max_element(figures.begin(), figures.end());
}

// The default market with its instruments repeated under new codes up to `instruments`; empty when
// the market file cannot be read or lists no instrument.
inline testserver::Market widenedMarket(std::size_t instruments) {
    auto loaded = testserver::loadMarketFile(testserver::defaultMarketPath());
    if (!loaded.market || loaded.market->instruments.empty())
        return {};
    testserver::Market market = std::move(*loaded.market);
    const std::size_t base = market.instruments.size();
    int id = 0;
    for (const auto& instrument : market.instruments)
        id = std::max(id, instrument.id);
    for (std::size_t n = base; n < instruments; ++n) {
        testserver::Instrument copy = market.instruments[n % base];
        copy.id = ++id;
        copy.code = fmt::format("{}{:04}", copy.code.substr(0, 3), n);
        market.instruments.push_back(copy);
    }
    return market;
}

// The instrument's opening bid as the market file writes prices, e.g. "1.08500".
inline std::string openingPrice(const testserver::Instrument& instrument) {
    if (instrument.decimals <= 0)
        return fmt::format("{}", instrument.price);
    std::int64_t scale = 1;
    for (int d = 0; d < instrument.decimals; ++d)
        scale *= 10;
    return fmt::format("{}.{:0{}}", instrument.price / scale, instrument.price % scale, instrument.decimals);
}

// widenedMarket(instruments) with `positions` more open positions, copies of its first, spread over
// its instruments and the demo's three accounts, buys and sells in turn, of 1 to 9 lots, each opened
// at its instrument's opening price; the demo's accounts funded to carry them, as a trader's with
// such a book is. Empty when the market cannot be read or holds no position to copy.
inline testserver::Market marketWithPositions(std::size_t instruments, int positions) {
    testserver::Market market = widenedMarket(instruments);
    if (market.positions.empty())
        return {};
    const auto seed = market.positions.front();
    const int accounts[] = {20001, 20002, 20003};
    for (int n = 0; n < positions; ++n) {
        const auto& instrument = market.instruments[static_cast<std::size_t>(n) % market.instruments.size()];
        auto position = seed;
        position.positionId = 500000 + n;
        position.accountId = accounts[n % 3];
        position.instrumentId = instrument.id;
        position.isBuy = n % 2 == 0;
        position.qty = position.initialQty = fmt::format("{}", 1 + n % 9);
        position.openPrice = openingPrice(instrument);
        market.positions.push_back(position);
    }
    // Their margin, and what the quotes' walk makes of their results, with room to spare: a book
    // the account cannot carry refuses every order that adds to it.
    for (auto& account : market.accounts)
        if (std::find(std::begin(accounts), std::end(accounts), account.id) != std::end(accounts))
            account.balance = "10000000";
    return market;
}

// While it runs, a thread posts a task to the main queue every 10 ms that notes how late it ran. The
// figures are shared with the tasks, so one still queued after the probe is gone writes nowhere harmful.
class MainQueueDelay {
public:
    MainQueueDelay() : poster_([this] { post(); }) {}
    ~MainQueueDelay() { stop(); }
    MainQueueDelay(const MainQueueDelay&) = delete;
    MainQueueDelay& operator=(const MainQueueDelay&) = delete;

    // Stops posting and lets the tasks still queued run (pumping Qt for 100 ms).
    void stop() {
        if (!poster_.joinable())
            return;
        posting_ = false;
        poster_.join();
        pumpFor(100);
    }
    double worstMs() const { return figures_->worstMs.load(); }
    int measured() const { return figures_->measured.load(); }

private:
    struct Figures {
        std::atomic<double> worstMs{0};
        std::atomic<int> measured{0};
    };

    void post() {
        while (posting_) {
            const auto posted = std::chrono::steady_clock::now();
            tc::platform::MainQueue::async([posted, figures = figures_] {
                const double late =
                    std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - posted)
                        .count();
                if (late > figures->worstMs)
                    figures->worstMs = late;
                ++figures->measured;
            });
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    std::shared_ptr<Figures> figures_ = std::make_shared<Figures>();
    std::atomic<bool> posting_{true};
    std::thread poster_; // last: it starts once the rest is made
};

// In-memory settings, the main queue, the context and the shell the session calls back, torn down
// in the reverse order. Made after ensureApplication().
struct BenchDesktop {
    std::unique_ptr<tc::platform::UserDefaults> defaults = tc::platform::UserDefaults::inMemory();
    tc::gui::MainQueuePump pump;
    tc::gui::GuiContext context{*defaults};
    tc::gui::QtShell shell{context};

    // How a ClientModel makes its clients here: over the shell, settings in memory, no network watch.
    tc::gui::ClientModel::ClientFactory clientFactory() {
        return [this] {
            interfaces::ClientOptions client;
            client.userDefaults = defaults.get();
            client.watchNetwork = false;
            return interfaces::MakeClient(shell, client);
        };
    }
};

// Starts `server` on free ports, its feed at `rate` quotes a second over all instruments.
inline testserver::ServerPorts startOnFreePorts(testserver::TestServer& server,
                                                double rate = testserver::kDefaultRate) {
    testserver::ServerOptions options;
    options.port = options.feedPort = options.dataPort = 0;
    options.rate = rate;
    return server.start(options);
}

// A test server playing marketWithPositions(instruments, positions), started on free ports with its
// feed at `rate` quotes a second; null when the market cannot be read (the caller skips its run).
inline std::unique_ptr<testserver::TestServer> startLargeBook(std::size_t instruments, int positions,
                                                              double rate, testserver::ServerPorts& ports) {
    testserver::Market market = marketWithPositions(instruments, positions);
    if (market.positions.empty())
        return nullptr;
    auto server = std::make_unique<testserver::TestServer>(std::move(market));
    ports = startOnFreePorts(*server, rate);
    return server;
}

// Signs the demo user in to the server's stream port and pumps Qt until signed in and `loaded` (when
// given); false after 30 s.
inline bool signInDemo(tc::gui::ClientModel& session, const testserver::ServerPorts& ports,
                       const std::function<bool()>& loaded = {}) {
    session.signIn({interfaces::LoginMode::Simulation, "127.0.0.1", ports.stream, "demo", "demo1234"});
    return pumpUntil(
        [&] { return session.loginState() == interfaces::LoginState::SignedIn && (!loaded || loaded()); },
        30000);
}

// Pins the calling thread (and the threads it starts) to the last two allowed cores while it lives;
// the affinity it found comes back after. Threads started before stay where they were.
class PinnedToTwoCores {
public:
    explicit PinnedToTwoCores(bool pin) {
        if (!pin || sched_getaffinity(0, sizeof(before_), &before_) != 0)
            return;
        cpu_set_t two;
        CPU_ZERO(&two);
        int taken = 0;
        for (int cpu = CPU_SETSIZE - 1; cpu >= 0 && taken < 2; --cpu)
            if (CPU_ISSET(cpu, &before_)) {
                CPU_SET(cpu, &two);
                ++taken;
            }
        pinned_ = taken == 2 && sched_setaffinity(0, sizeof(two), &two) == 0;
    }
    ~PinnedToTwoCores() {
        if (pinned_)
            sched_setaffinity(0, sizeof(before_), &before_);
    }
    PinnedToTwoCores(const PinnedToTwoCores&) = delete;
    PinnedToTwoCores& operator=(const PinnedToTwoCores&) = delete;
    bool pinned() const { return pinned_; }

private:
    cpu_set_t before_{};
    bool pinned_ = false;
};
