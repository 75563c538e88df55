#pragma once
// Monotonic time for the dispatch layer. Everything that waits for a moment in time (delayed queue work,
// main-queue timers) asks the process-wide current clock, so tests can swap in a ManualClock and move
// time by hand instead of sleeping.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

namespace tc::platform {

class Clock {
public:
    using duration = std::chrono::steady_clock::duration;
    using time_point = std::chrono::steady_clock::time_point;
    using ObserverId = std::uint64_t;

    virtual ~Clock() = default;
    virtual time_point now() const = 0;
    // True when time only moves on request: waiters must then sleep until told, not on the real clock.
    virtual bool isManual() const = 0;

    static std::shared_ptr<Clock> current();
    static time_point currentTime() { return current()->now(); }
    // A null clock restores the system clock. Waiters are woken so they re-read the time.
    static void setCurrent(std::shared_ptr<Clock> clock);
    static void resetCurrent() { setCurrent(nullptr); }

    // Called (from the thread that moved time) whenever the current time jumps. Callbacks must be quick
    // and must not add or remove observers.
    static ObserverId addTimeObserver(std::function<void()> onTimeChanged);
    static void removeTimeObserver(ObserverId id);
    static void notifyTimeChanged();
};

class SystemClock final : public Clock {
public:
    time_point now() const override { return std::chrono::steady_clock::now(); }
    bool isManual() const override { return false; }
    static std::shared_ptr<SystemClock> shared();
};

class ManualClock final : public Clock {
public:
    // A fixed start far from the epoch, so "zero" never doubles as a real moment.
    explicit ManualClock(time_point start = time_point(std::chrono::hours(1)))
        : ticks_(start.time_since_epoch().count()) {}

    time_point now() const override { return time_point(duration(ticks_.load(std::memory_order_acquire))); }
    bool isManual() const override { return true; }
    // Moves time forward and wakes every waiter. Negative steps are ignored: the clock is monotonic.
    void advance(duration d);

private:
    std::atomic<duration::rep> ticks_;
};

// Installs a clock for the lifetime of the object and restores the previous one afterwards.
class ScopedClock {
public:
    explicit ScopedClock(std::shared_ptr<Clock> clock) : previous_(Clock::current()) {
        Clock::setCurrent(std::move(clock));
    }
    ~ScopedClock() { Clock::setCurrent(previous_); }
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;

private:
    std::shared_ptr<Clock> previous_;
};

} // namespace tc::platform
