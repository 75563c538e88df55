#pragma once
// What the drawing and window benchmarks share: the QApplication, pumping Qt's loop, the test
// server's default market widened to many instruments, and the desktop side a signed-in window needs.
#include "gui/app/gui_context.h"
#include "gui/app/main_queue_pump.h"
#include "gui/app/qt_shell.h"
#include "gui/models/client_model.h"
#include "market.h"
#include "options.h"
#include "platform/user_defaults.h"
#include "test_server.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <fmt/format.h>

#include <algorithm>
#include <cstddef>
#include <functional>
#include <memory>
#include <sched.h>

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
