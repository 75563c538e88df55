#pragma once
// What the drawing and window benchmarks share: the QApplication, pumping Qt's loop, and the test
// server's default market widened to many instruments.
#include "market.h"
#include "options.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <fmt/format.h>

#include <algorithm>
#include <cstddef>
#include <functional>

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
