#pragma once
// Work queues: a serial queue per owner with its own thread, a shared pool for blocking work, and the
// main queue drained by a run loop that tests pump by hand and the GUI event loop drains for real.
// A failing work item (one that throws) is logged and ends quietly; it never takes a thread down.
#include "platform/clock.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

namespace tc::platform {

// A move-only void() callable, so work items may own what they capture (sockets, buffers).
class Task {
public:
    Task() = default;
    template <typename F, typename = std::enable_if_t<!std::is_same_v<std::decay_t<F>, Task> &&
                                                      std::is_invocable_v<std::decay_t<F>&>>>
    Task(F&& f) : impl_(std::make_unique<Model<std::decay_t<F>>>(std::forward<F>(f))) {}
    Task(Task&&) noexcept = default;
    Task& operator=(Task&&) noexcept = default;

    explicit operator bool() const { return impl_ != nullptr; }
    void operator()() { impl_->call(); }

private:
    struct Concept {
        virtual ~Concept() = default;
        virtual void call() = 0;
    };
    template <typename F>
    struct Model final : Concept {
        template <typename G>
        explicit Model(G&& g) : f(std::forward<G>(g)) {}
        void call() override { f(); }
        F f;
    };
    std::unique_ptr<Concept> impl_;
};

// Runs a task, logging (never propagating) anything it throws. `where` names the queue in the log line.
void runGuarded(Task& task, const std::string& where);

// A queue that runs its work one item at a time, in order, on a thread of its own.
//
// Destruction drains: every item already queued (and every delayed item already due) runs before the
// destructor returns; delayed items not yet due are cancelled; items submitted once destruction has begun
// are refused. Destroying a queue from one of its own items is allowed: the thread then finishes the
// drain on its own and exits.
class SerialQueue {
public:
    explicit SerialQueue(std::string label);
    ~SerialQueue();
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    const std::string& label() const;
    bool isCurrent() const;

    void async(Task work);
    // Runs `work` after `delay` as measured by the current clock.
    void after(Clock::duration delay, Task work);

    // Runs `f` on the queue and waits for it; from the queue's own thread it runs inline. Unlike async
    // work, an exception thrown by `f` reaches the caller. Throws std::runtime_error on a closing queue.
    template <typename F>
    auto sync(F&& f) -> std::invoke_result_t<F&> {
        using R = std::invoke_result_t<F&>;
        if constexpr (std::is_void_v<R>) {
            syncImpl([&f] { f(); });
        } else {
            std::optional<R> result;
            syncImpl([&f, &result] { result.emplace(f()); });
            return std::move(*result);
        }
    }

private:
    struct State;
    void syncImpl(Task work);
    static void worker(std::shared_ptr<State> state);

    std::shared_ptr<State> state_;
};

// The shared concurrent queue for blocking work (name resolution, blocking connects). A small pool that
// grows on demand up to a fixed number of threads; its threads live until the process ends.
class GlobalQueue {
public:
    static constexpr std::size_t kMaxThreads = 8;
    static void async(Task work);
};

// A counting semaphore whose timed wait uses the real clock (it guards hand-overs between threads, not
// scheduled work).
class Semaphore {
public:
    explicit Semaphore(long initial = 0) : count_(initial) {}
    void signal();
    void wait();
    // False when the time-out passed first.
    bool waitFor(std::chrono::steady_clock::duration timeout);

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    long count_;
};

class RepeatingTimer;

// The main thread's run loop. The thread that pumps it owns it (bindToCurrentThread, or the first pump);
// pumping from any other thread is refused. Main-queue work runs in FIFO order; timers fire after the
// queued work of the same pass.
//
// Passes never nest: a pump started from inside a pass (a modal loop opened by a main-queue task or
// timer) runs nothing and is logged, so no task ever runs in the middle of another or ahead of work
// queued before it. What was queued meanwhile runs on the next pass, and the wake-up handler is called
// again when the interrupted pass ends, so a host loop comes back for it.
class RunLoop {
public:
    static RunLoop& main();

    void bindToCurrentThread();
    bool isOwnerThread() const;
    bool hasOwner() const;

    // Runs everything due now (work queued before the call, delayed work and timers that are due) and
    // returns how many items ran. Work queued while it runs waits for the next pass. Inside a pass it
    // runs nothing and returns 0.
    std::size_t runOnce();
    // The entry point for a host event loop (the GUI): the same as one pass.
    std::size_t drain() { return runOnce(); }
    // Pumps until `done` answers true (returns true) or `timeout` of real time passes (returns false).
    // Inside a pass it pumps nothing and answers `done()` at once.
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    // Pumps until stop(); a stop() requested while not running makes the next run() return after one pass.
    // Inside a pass it returns at once.
    void run();
    // Whether a pass is under way on the owner thread (false on every other thread).
    bool isDraining() const;
    void stop();

    // How long until the earliest delayed item or timer is due (zero when work is waiting; none when
    // nothing is scheduled), for a host loop that arms its own timer.
    std::optional<Clock::duration> timeUntilNextDue() const;
    // Called from any thread whenever work arrives or time jumps, outside every lock.
    void setWakeUpHandler(std::function<void()> handler);
    // Drops all queued and delayed work; returns how much was dropped. Timers are left alone.
    std::size_t discardPending();

    void post(Task work);
    void postAfter(Clock::duration delay, Task work);

private:
    RunLoop();
    ~RunLoop(); // never runs: the main loop lives as long as the process
    friend class RepeatingTimer;
    struct State;
    struct TimerState;
    void wake();
    std::size_t runPass();
    void waitForWork(std::optional<std::chrono::steady_clock::time_point> realDeadline);

    std::unique_ptr<State> state_;
};

class MainQueue {
public:
    static void async(Task work) { RunLoop::main().post(std::move(work)); }
    static void after(Clock::duration delay, Task work) { RunLoop::main().postAfter(delay, std::move(work)); }
    static bool isMainThread() { return RunLoop::main().isOwnerThread(); }
    // For functions that may run only on the main queue (TC_ASSERT_MAIN_QUEUE): called from another
    // thread while some thread owns the main loop, it logs and, in debug builds, aborts. Before any
    // thread owns the loop (start-up, tests that never pump) every thread passes.
    static void assertCurrent(const char* function);
    static void setWakeUpHandler(std::function<void()> handler) {
        RunLoop::main().setWakeUpHandler(std::move(handler));
    }
};

// A repeating timer on the main run loop. It first fires one interval after start(); a firing missed by
// more than one interval is coalesced into one, and the schedule keeps its phase. Once stop() or
// invalidate() has returned (or the timer is destroyed) on the main thread it never fires again, even if
// it was already due; its own callback may stop or invalidate it. Intervals under 1 ms count as 1 ms.
class RepeatingTimer {
public:
    RepeatingTimer(Clock::duration interval, std::function<void()> callback);
    ~RepeatingTimer();
    RepeatingTimer(const RepeatingTimer&) = delete;
    RepeatingTimer& operator=(const RepeatingTimer&) = delete;

    // (Re)starts the schedule from now. Does nothing once invalidated.
    void start();
    void stop();
    void invalidate();
    bool isRunning() const;
    bool isValid() const;
    Clock::duration interval() const;

private:
    std::shared_ptr<RunLoop::TimerState> state_;
};

} // namespace tc::platform

// Put first in a function that touches main-queue-only state.
#define TC_ASSERT_MAIN_QUEUE() ::tc::platform::MainQueue::assertCurrent(__func__)
