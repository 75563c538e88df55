#include "platform/clock.h"

#include <map>
#include <mutex>

namespace tc::platform {
namespace {

// Two separate locks on purpose: waiters read the current clock while holding their own lock, and the
// time observers take those same locks, so one shared mutex would invert the order.
struct CurrentClock {
    std::mutex mutex;
    std::shared_ptr<Clock> clock;
};

struct TimeObservers {
    std::mutex mutex;
    Clock::ObserverId nextId = 1;
    std::map<Clock::ObserverId, std::function<void()>> callbacks;
};

// Never destroyed: detached pool threads may still read the clock while the process exits.
CurrentClock& currentClock() {
    static auto* state = new CurrentClock{};
    return *state;
}

TimeObservers& timeObservers() {
    static auto* state = new TimeObservers{};
    return *state;
}

} // namespace

std::shared_ptr<SystemClock> SystemClock::shared() {
    static auto* clock = new std::shared_ptr<SystemClock>(std::make_shared<SystemClock>());
    return *clock;
}

std::shared_ptr<Clock> Clock::current() {
    auto& state = currentClock();
    std::lock_guard lock(state.mutex);
    if (state.clock)
        return state.clock;
    return SystemClock::shared();
}

void Clock::setCurrent(std::shared_ptr<Clock> clock) {
    {
        auto& state = currentClock();
        std::lock_guard lock(state.mutex);
        state.clock = std::move(clock);
    }
    notifyTimeChanged();
}

Clock::ObserverId Clock::addTimeObserver(std::function<void()> onTimeChanged) {
    auto& state = timeObservers();
    std::lock_guard lock(state.mutex);
    ObserverId id = state.nextId++;
    state.callbacks.emplace(id, std::move(onTimeChanged));
    return id;
}

void Clock::removeTimeObserver(ObserverId id) {
    auto& state = timeObservers();
    std::lock_guard lock(state.mutex);
    state.callbacks.erase(id);
}

void Clock::notifyTimeChanged() {
    // Held while calling so that an observer being removed is never called after removal returns.
    auto& state = timeObservers();
    std::lock_guard lock(state.mutex);
    for (auto& [id, callback] : state.callbacks) {
        if (callback)
            callback();
    }
}

void ManualClock::advance(duration d) {
    if (d <= duration::zero())
        return;
    ticks_.fetch_add(d.count(), std::memory_order_acq_rel);
    notifyTimeChanged();
}

} // namespace tc::platform
