#include "platform/dispatch.h"

#include "platform/log.h"

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <exception>
#include <map>
#include <stdexcept>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

namespace tc::platform {

void runGuarded(Task& task, const std::string& where) {
    try {
        if (task)
            task();
    } catch (const std::exception& e) {
        Log::error("{}: work item failed: {}", where, e.what());
    } catch (...) {
        Log::error("{}: work item failed with an unknown exception", where);
    }
}

namespace {

void nameThisThread(const std::string& label) {
    // Linux limits thread names to 15 bytes.
    std::string name = label.substr(0, 15);
    pthread_setname_np(pthread_self(), name.c_str());
}

// Waits on `cv` until woken, or until `due` on the current clock when that clock follows real time.
// With a manual clock the waiter sleeps until a time observer wakes it.
void waitUntilDue(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                  std::optional<Clock::time_point> due,
                  std::optional<std::chrono::steady_clock::time_point> realDeadline = std::nullopt) {
    std::optional<std::chrono::steady_clock::time_point> wakeAt = realDeadline;
    if (due) {
        auto clock = Clock::current();
        if (!clock->isManual()) {
            auto at = std::chrono::steady_clock::now() + (*due - clock->now());
            if (!wakeAt || at < *wakeAt)
                wakeAt = at;
        }
    }
    if (wakeAt)
        cv.wait_until(lock, *wakeAt);
    else
        cv.wait(lock);
}

// Pending work of one queue. Every item is stamped with the time it became runnable (submission for
// immediate work, the due time for delayed work) and a sequence number, and runs in that order: so work
// delayed until a moment runs before work submitted after that moment, even if the worker is late.
class WorkList {
public:
    void push(Clock::time_point now, Task task) { ready_.push_back({now, nextSeq_++, std::move(task)}); }
    void pushAfter(Clock::time_point due, Task task) {
        delayed_.emplace(Key{due, nextSeq_++}, std::move(task));
    }

    void promoteDue(Clock::time_point now) {
        while (!delayed_.empty() && delayed_.begin()->first.first <= now) {
            auto node = delayed_.extract(delayed_.begin());
            Item item{node.key().first, node.key().second, std::move(node.mapped())};
            auto pos = std::upper_bound(ready_.begin(), ready_.end(), item, [](const Item& a, const Item& b) {
                return std::tie(a.at, a.seq) < std::tie(b.at, b.seq);
            });
            ready_.insert(pos, std::move(item));
        }
    }
    bool hasReady() const { return !ready_.empty(); }
    std::size_t readyCount() const { return ready_.size(); }
    Task popReady() {
        Task task = std::move(ready_.front().task);
        ready_.pop_front();
        return task;
    }
    std::optional<Clock::time_point> nextDue() const {
        if (delayed_.empty())
            return std::nullopt;
        return delayed_.begin()->first.first;
    }
    bool hasDelayed() const { return !delayed_.empty(); }
    std::size_t size() const { return ready_.size() + delayed_.size(); }
    // Hands the delayed work over, so the caller can destroy it outside its lock.
    WorkList takeDelayed() {
        WorkList out;
        out.delayed_.swap(delayed_);
        return out;
    }
    void swap(WorkList& other) noexcept {
        ready_.swap(other.ready_);
        delayed_.swap(other.delayed_);
        std::swap(nextSeq_, other.nextSeq_);
    }

private:
    struct Item {
        Clock::time_point at;
        std::uint64_t seq;
        Task task;
    };
    using Key = std::pair<Clock::time_point, std::uint64_t>;
    std::deque<Item> ready_;
    std::map<Key, Task> delayed_;
    std::uint64_t nextSeq_ = 0;
};

} // namespace

// ---------------------------------------------------------------------------------------------------
// SerialQueue

struct SerialQueue::State {
    explicit State(std::string l) : label(std::move(l)) {}
    const std::string label;
    std::mutex mutex;
    std::condition_variable cv;
    WorkList work;
    bool closing = false;
    Clock::ObserverId timeObserver = 0;
    std::thread thread;
};

namespace {
thread_local const void* currentSerialQueue = nullptr;
}

SerialQueue::SerialQueue(std::string label) : state_(std::make_shared<State>(std::move(label))) {
    std::weak_ptr<State> weak = state_;
    state_->timeObserver = Clock::addTimeObserver([weak] {
        if (auto s = weak.lock()) {
            { std::lock_guard lock(s->mutex); }
            s->cv.notify_all();
        }
    });
    state_->thread = std::thread(&SerialQueue::worker, state_);
}

SerialQueue::~SerialQueue() {
    {
        std::lock_guard lock(state_->mutex);
        state_->closing = true;
    }
    state_->cv.notify_all();
    if (state_->thread.get_id() == std::this_thread::get_id())
        state_->thread.detach(); // the worker keeps the state alive and finishes the drain itself
    else
        state_->thread.join();
}

void SerialQueue::worker(std::shared_ptr<State> s) {
    currentSerialQueue = s.get();
    nameThisThread(s->label);
    std::unique_lock lock(s->mutex);
    for (;;) {
        if (s->work.hasDelayed())
            s->work.promoteDue(Clock::currentTime());
        if (s->work.hasReady()) {
            Task task = s->work.popReady();
            lock.unlock();
            runGuarded(task, s->label);
            task = Task(); // release captures outside the lock
            lock.lock();
            continue;
        }
        if (s->closing)
            break;
        waitUntilDue(s->cv, lock, s->work.nextDue());
    }
    WorkList cancelled = s->work.takeDelayed();
    lock.unlock();
    cancelled = WorkList();
    Clock::removeTimeObserver(s->timeObserver);
    currentSerialQueue = nullptr;
}

const std::string& SerialQueue::label() const {
    return state_->label;
}

bool SerialQueue::isCurrent() const {
    return currentSerialQueue == state_.get();
}

void SerialQueue::async(Task work) {
    {
        std::lock_guard lock(state_->mutex);
        if (state_->closing) {
            Log::debug("{}: work refused, the queue is closing", state_->label);
            return;
        }
        state_->work.push(Clock::currentTime(), std::move(work));
    }
    state_->cv.notify_one();
}

void SerialQueue::after(Clock::duration delay, Task work) {
    {
        std::lock_guard lock(state_->mutex);
        if (state_->closing) {
            Log::debug("{}: delayed work refused, the queue is closing", state_->label);
            return;
        }
        state_->work.pushAfter(Clock::currentTime() + std::max(delay, Clock::duration::zero()),
                               std::move(work));
    }
    state_->cv.notify_one();
}

void SerialQueue::syncImpl(Task work) {
    if (isCurrent()) {
        work();
        return;
    }
    struct Waiter {
        std::mutex mutex;
        std::condition_variable cv;
        bool done = false;
        std::exception_ptr error;
    } waiter;
    Task wrapped([&waiter, &work] {
        std::exception_ptr error;
        try {
            work();
        } catch (...) {
            error = std::current_exception();
        }
        std::lock_guard lock(waiter.mutex);
        waiter.error = error;
        waiter.done = true;
        waiter.cv.notify_one();
    });
    {
        std::lock_guard lock(state_->mutex);
        if (state_->closing)
            throw std::runtime_error("sync on a closing queue: " + state_->label);
        state_->work.push(Clock::currentTime(), std::move(wrapped));
    }
    state_->cv.notify_one();
    std::unique_lock lock(waiter.mutex);
    waiter.cv.wait(lock, [&] { return waiter.done; });
    if (waiter.error)
        std::rethrow_exception(waiter.error);
}

// ---------------------------------------------------------------------------------------------------
// GlobalQueue

namespace {

struct Pool {
    std::mutex mutex;
    std::condition_variable cv;
    std::deque<Task> work;
    std::size_t threads = 0;
    std::size_t idle = 0;
};

Pool& pool() {
    static auto* p = new Pool{}; // never destroyed: its threads outlive static destruction
    return *p;
}

void poolWorker() {
    nameThisThread("GlobalQueue");
    auto& p = pool();
    std::unique_lock lock(p.mutex);
    for (;;) {
        ++p.idle;
        p.cv.wait(lock, [&] { return !p.work.empty(); });
        --p.idle;
        Task task = std::move(p.work.front());
        p.work.pop_front();
        lock.unlock();
        runGuarded(task, "GlobalQueue");
        task = Task();
        lock.lock();
    }
}

} // namespace

void GlobalQueue::async(Task work) {
    auto& p = pool();
    bool spawn = false;
    {
        std::lock_guard lock(p.mutex);
        p.work.push_back(std::move(work));
        // Blocking work must not starve: grow while more items wait than threads are idle.
        if (p.work.size() > p.idle && p.threads < kMaxThreads) {
            ++p.threads;
            spawn = true;
        }
    }
    if (spawn)
        std::thread(poolWorker).detach();
    else
        p.cv.notify_one();
}

// ---------------------------------------------------------------------------------------------------
// Semaphore

// Notified under the lock: a waiter that returns may destroy the semaphore (one on its stack), so the
// signaller must not touch it once the lock is released.
void Semaphore::signal() {
    std::lock_guard lock(mutex_);
    ++count_;
    cv_.notify_one();
}

void Semaphore::wait() {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [&] { return count_ > 0; });
    --count_;
}

bool Semaphore::waitFor(std::chrono::steady_clock::duration timeout) {
    std::unique_lock lock(mutex_);
    if (!cv_.wait_for(lock, timeout, [&] { return count_ > 0; }))
        return false;
    --count_;
    return true;
}

// ---------------------------------------------------------------------------------------------------
// RunLoop

struct RunLoop::TimerState {
    Clock::duration interval{};
    std::function<void()> callback; // set once at construction, read only afterwards
    // Guarded by the run loop's mutex:
    Clock::time_point next{};
    bool active = false;
    bool valid = true;
    std::uint64_t generation = 0;
};

struct RunLoop::State {
    mutable std::mutex mutex;
    std::condition_variable cv;
    WorkList work;
    std::vector<std::shared_ptr<TimerState>> timers; // the active ones
    bool stopRequested = false;
    std::atomic<std::thread::id> owner{};
    // Owner thread only.
    bool draining = false;
    bool nestedDrainRefused = false;

    std::mutex handlerMutex;
    std::function<void()> wakeUpHandler;

    // Posts so far (counted under the mutex), read by an owner waiting awake for the next one.
    std::atomic<std::uint64_t> posts{0};
    // Owner thread only: the posts the last pass saw, and when a pass last ran something.
    std::uint64_t postsAtPass = 0;
    std::chrono::steady_clock::time_point lastWork{};
    // Owner thread only: how long the loop stays awake after work (see waitForWork).
    std::chrono::steady_clock::duration awakeWait{};
};

namespace {

// A loop that has just run work usually gets more straight away (the answer to a request it just
// sent to another thread): it waits awake a while before it sleeps, since waking a sleeping thread
// on another core (out of its idle state) costs more than a loopback round trip. How long follows
// the answers: when one came soon after the loop fell asleep, it stays awake about twice that long
// next time (at most kAwakeWaitLongest); when none came for longer, a short while only. Idle loops
// sleep at once.
constexpr auto kAwakeAfterWork = std::chrono::microseconds(100);
constexpr auto kAwakeWaitShortest = std::chrono::microseconds(50);
constexpr auto kAwakeWaitLongest = std::chrono::microseconds(1000);

} // namespace

RunLoop& RunLoop::main() {
    static auto* loop = new RunLoop(); // never destroyed: any thread may post to it until exit
    return *loop;
}

RunLoop::RunLoop() : state_(std::make_unique<State>()) {
    Clock::addTimeObserver([this] {
        { std::lock_guard lock(state_->mutex); }
        state_->cv.notify_all();
        wake();
    });
}

RunLoop::~RunLoop() = default;

void RunLoop::bindToCurrentThread() {
    state_->owner.store(std::this_thread::get_id());
}

bool RunLoop::isOwnerThread() const {
    return state_->owner.load() == std::this_thread::get_id();
}

bool RunLoop::hasOwner() const {
    return state_->owner.load() != std::thread::id{};
}

void RunLoop::wake() {
    std::function<void()> handler;
    {
        std::lock_guard lock(state_->handlerMutex);
        handler = state_->wakeUpHandler;
    }
    if (handler)
        handler();
}

void RunLoop::setWakeUpHandler(std::function<void()> handler) {
    std::lock_guard lock(state_->handlerMutex);
    state_->wakeUpHandler = std::move(handler);
}

void RunLoop::post(Task work) {
    {
        std::lock_guard lock(state_->mutex);
        state_->work.push(Clock::currentTime(), std::move(work));
        state_->posts.fetch_add(1, std::memory_order_release);
    }
    state_->cv.notify_all();
    wake();
}

void RunLoop::postAfter(Clock::duration delay, Task work) {
    {
        std::lock_guard lock(state_->mutex);
        state_->work.pushAfter(Clock::currentTime() + std::max(delay, Clock::duration::zero()),
                               std::move(work));
    }
    state_->cv.notify_all();
    wake();
}

std::size_t RunLoop::discardPending() {
    WorkList dropped;
    {
        std::lock_guard lock(state_->mutex);
        dropped.swap(state_->work);
    }
    return dropped.size();
}

bool RunLoop::isDraining() const {
    return isOwnerThread() && state_->draining;
}

std::size_t RunLoop::runOnce() {
    std::thread::id unbound{};
    state_->owner.compare_exchange_strong(unbound, std::this_thread::get_id());
    if (!isOwnerThread()) {
        Log::error("main run loop pumped from a thread that does not own it");
        return 0;
    }
    if (state_->draining) {
        if (!state_->nestedDrainRefused)
            Log::error("main run loop pumped from inside one of its own tasks; refused (open modal "
                       "windows without a nested loop)");
        state_->nestedDrainRefused = true;
        return 0;
    }
    state_->draining = true;
    const std::size_t ran = runPass();
    state_->draining = false;
    if (ran > 0)
        state_->lastWork = std::chrono::steady_clock::now();
    if (std::exchange(state_->nestedDrainRefused, false)) {
        bool waiting = false;
        {
            std::lock_guard lock(state_->mutex);
            waiting = state_->work.hasReady();
        }
        if (waiting)
            wake();
    }
    return ran;
}

std::size_t RunLoop::runPass() {
    std::size_t ran = 0;
    std::size_t queued = 0;
    {
        std::lock_guard lock(state_->mutex);
        state_->work.promoteDue(Clock::currentTime());
        queued = state_->work.readyCount();
        state_->postsAtPass = state_->posts.load(std::memory_order_relaxed);
    }
    for (std::size_t i = 0; i < queued; ++i) {
        Task task;
        {
            std::lock_guard lock(state_->mutex);
            if (!state_->work.hasReady())
                break; // discarded meanwhile
            task = state_->work.popReady();
        }
        runGuarded(task, "main queue");
        ++ran;
    }

    std::vector<std::shared_ptr<TimerState>> due;
    Clock::time_point now;
    {
        std::lock_guard lock(state_->mutex);
        now = Clock::currentTime();
        for (auto& timer : state_->timers) {
            if (timer->active && timer->next <= now)
                due.push_back(timer);
        }
    }
    std::stable_sort(due.begin(), due.end(), [](const auto& a, const auto& b) { return a->next < b->next; });
    for (auto& timer : due) {
        std::uint64_t generation = 0;
        {
            std::lock_guard lock(state_->mutex);
            // An earlier callback of this pass may have stopped or restarted it.
            if (!timer->active || timer->next > now)
                continue;
            generation = timer->generation;
        }
        Task fire([&timer] { timer->callback(); });
        runGuarded(fire, "main queue timer");
        ++ran;
        std::lock_guard lock(state_->mutex);
        if (timer->active && timer->generation == generation) {
            // Keep the phase; skip every firing that was missed.
            auto late = now - timer->next;
            timer->next += timer->interval * (late / timer->interval + 1);
        }
    }
    return ran;
}

std::optional<Clock::duration> RunLoop::timeUntilNextDue() const {
    std::lock_guard lock(state_->mutex);
    if (state_->work.hasReady())
        return Clock::duration::zero();
    std::optional<Clock::time_point> earliest = state_->work.nextDue();
    for (auto& timer : state_->timers) {
        if (timer->active && (!earliest || timer->next < *earliest))
            earliest = timer->next;
    }
    if (!earliest)
        return std::nullopt;
    return std::max(*earliest - Clock::currentTime(), Clock::duration::zero());
}

void RunLoop::waitForWork(std::optional<std::chrono::steady_clock::time_point> realDeadline) {
    const auto now = std::chrono::steady_clock::now();
    const bool afterWork = now - state_->lastWork < kAwakeAfterWork;
    if (afterWork) {
        state_->awakeWait = std::clamp<std::chrono::steady_clock::duration>(
            state_->awakeWait, kAwakeWaitShortest, kAwakeWaitLongest);
        const auto until = now + state_->awakeWait;
        while (state_->posts.load(std::memory_order_acquire) == state_->postsAtPass &&
               std::chrono::steady_clock::now() < until)
            std::this_thread::yield();
    }
    struct Learn {
        State& state;
        bool afterWork;
        std::chrono::steady_clock::time_point from;
        std::uint64_t posts = state.posts.load(std::memory_order_relaxed);
        // Work that woke the loop soon after it fell asleep makes the next wait awake longer.
        ~Learn() {
            if (!afterWork || state.posts.load(std::memory_order_relaxed) == posts)
                return;
            const auto slept = std::chrono::steady_clock::now() - from;
            state.awakeWait = slept < kAwakeWaitLongest ? 2 * slept : kAwakeWaitShortest;
        }
    } learn{*state_, afterWork, std::chrono::steady_clock::now()};
    std::unique_lock lock(state_->mutex);
    if (state_->stopRequested || state_->work.hasReady())
        return;
    std::optional<Clock::time_point> earliest = state_->work.nextDue();
    for (auto& timer : state_->timers) {
        if (timer->active && (!earliest || timer->next < *earliest))
            earliest = timer->next;
    }
    if (earliest && *earliest <= Clock::currentTime())
        return;
    waitUntilDue(state_->cv, lock, earliest, realDeadline);
}

bool RunLoop::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    if (isDraining()) {
        runOnce(); // refused and logged
        return done();
    }
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (done())
            return true;
        runOnce();
        if (done())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        waitForWork(deadline);
    }
}

void RunLoop::run() {
    if (isDraining()) {
        runOnce(); // refused and logged
        return;
    }
    for (;;) {
        runOnce();
        {
            std::lock_guard lock(state_->mutex);
            if (state_->stopRequested) {
                state_->stopRequested = false;
                return;
            }
        }
        waitForWork(std::nullopt);
    }
}

void RunLoop::stop() {
    {
        std::lock_guard lock(state_->mutex);
        state_->stopRequested = true;
    }
    state_->cv.notify_all();
    wake();
}

void MainQueue::assertCurrent(const char* function) {
    if (isMainThread() || !RunLoop::main().hasOwner())
        return;
    Log::error("{} called off the main queue", function);
#ifndef NDEBUG
    std::abort();
#endif
}

// ---------------------------------------------------------------------------------------------------
// RepeatingTimer

RepeatingTimer::RepeatingTimer(Clock::duration interval, std::function<void()> callback)
    : state_(std::make_shared<RunLoop::TimerState>()) {
    state_->interval = std::max<Clock::duration>(interval, std::chrono::milliseconds(1));
    state_->callback = std::move(callback);
}

RepeatingTimer::~RepeatingTimer() {
    invalidate();
}

void RepeatingTimer::start() {
    auto& loop = *RunLoop::main().state_;
    {
        std::lock_guard lock(loop.mutex);
        if (!state_->valid)
            return;
        state_->next = Clock::currentTime() + state_->interval;
        ++state_->generation;
        if (!state_->active) {
            state_->active = true;
            loop.timers.push_back(state_);
        }
    }
    loop.cv.notify_all();
    RunLoop::main().wake();
}

void RepeatingTimer::stop() {
    auto& loop = *RunLoop::main().state_;
    std::lock_guard lock(loop.mutex);
    ++state_->generation;
    if (!state_->active)
        return;
    state_->active = false;
    std::erase(loop.timers, state_);
}

void RepeatingTimer::invalidate() {
    stop();
    std::lock_guard lock(RunLoop::main().state_->mutex);
    state_->valid = false;
}

bool RepeatingTimer::isRunning() const {
    std::lock_guard lock(RunLoop::main().state_->mutex);
    return state_->active;
}

bool RepeatingTimer::isValid() const {
    std::lock_guard lock(RunLoop::main().state_->mutex);
    return state_->valid;
}

Clock::duration RepeatingTimer::interval() const {
    return state_->interval;
}

} // namespace tc::platform
