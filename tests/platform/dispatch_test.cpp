#include "platform/clock.h"
#include "platform/dispatch.h"
#include "platform/log.h"

#include "support/log_capture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace tc;
using namespace std::chrono_literals;
using platform::Clock;
using platform::MainQueue;
using platform::ManualClock;
using platform::RepeatingTimer;
using platform::RunLoop;
using platform::ScopedClock;
using platform::SerialQueue;

// Guards against a hang only; no test depends on how long anything takes.
constexpr auto kHangGuard = 10s;

template <typename T>
bool ready(std::future<T>& f) {
    return f.wait_for(kHangGuard) == std::future_status::ready;
}

// Every main-loop test starts and ends with an empty main queue owned by the test thread.
class MainLoopTest : public ::testing::Test {
protected:
    void SetUp() override {
        RunLoop::main().bindToCurrentThread();
        RunLoop::main().discardPending();
    }
    void TearDown() override {
        RunLoop::main().discardPending();
        MainQueue::setWakeUpHandler({});
    }
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
};

TEST(SerialQueue, RunsWorkInOrderOneItemAtATime) {
    SerialQueue queue("test.order");
    std::vector<int> seen; // touched only on the queue
    std::atomic<int> inFlight{0};
    std::atomic<bool> overlapped{false};
    auto producer = [&](int base) {
        for (int i = 0; i < 500; ++i) {
            queue.async([&, v = base + i] {
                if (inFlight.fetch_add(1) != 0)
                    overlapped = true;
                seen.push_back(v);
                inFlight.fetch_sub(1);
            });
        }
    };
    std::thread a(producer, 0);
    std::thread b(producer, 10000);
    a.join();
    b.join();
    auto result = queue.sync([&] { return seen; });
    EXPECT_FALSE(overlapped);
    ASSERT_EQ(result.size(), 1000u);
    // Each producer's items keep their relative order.
    int lastA = -1, lastB = 9999;
    for (int v : result) {
        int& last = v < 10000 ? lastA : lastB;
        EXPECT_EQ(v, last + 1);
        last = v;
    }
}

TEST(SerialQueue, SyncFromItsOwnThreadRunsInlineAndReportsCurrency) {
    SerialQueue queue("test.sync");
    SerialQueue other("test.other");
    EXPECT_EQ(queue.label(), "test.sync");
    EXPECT_FALSE(queue.isCurrent());
    std::vector<std::string> steps;
    int value = queue.sync([&] {
        steps.push_back(queue.isCurrent() && !other.isCurrent() ? "outer on queue" : "outer elsewhere");
        // Nested sync on the same queue must not wait for itself.
        queue.sync([&] { steps.push_back("inner"); });
        other.sync([&] { steps.push_back(other.isCurrent() && !queue.isCurrent() ? "other" : "wrong"); });
        return 42;
    });
    EXPECT_EQ(value, 42);
    EXPECT_EQ(steps, (std::vector<std::string>{"outer on queue", "inner", "other"}));
}

TEST(SerialQueue, SyncWaitsForEarlierWorkAndPassesItsExceptionToTheCaller) {
    SerialQueue queue("test.syncwait");
    std::promise<void> gate;
    auto opened = gate.get_future().share();
    bool earlierRan = false;
    queue.async([&, opened] {
        opened.wait();
        earlierRan = true;
    });
    std::thread opener([&] { gate.set_value(); });
    EXPECT_TRUE(queue.sync([&] { return earlierRan; }));
    opener.join();
    EXPECT_THROW(queue.sync([]() -> int { throw std::runtime_error("boom"); }), std::runtime_error);
    EXPECT_EQ(queue.sync([] { return 7; }), 7); // the queue survived
}

TEST(SerialQueue, AFailingItemIsLoggedAndLaterWorkStillRuns) {
    testing_support::LogCapture errors(platform::LogLevel::Error);
    SerialQueue queue("test.failing");
    queue.async([] { throw std::runtime_error("socket gone"); });
    queue.async([] { throw 5; });
    bool later = queue.sync([] { return true; });
    EXPECT_TRUE(later);
    auto lines = errors.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("test.failing"), std::string::npos);
    EXPECT_NE(lines[0].find("socket gone"), std::string::npos);
}

TEST(SerialQueue, MoveOnlyWorkIsAccepted) {
    SerialQueue queue("test.moveonly");
    auto payload = std::make_unique<int>(9);
    std::promise<int> got;
    auto f = got.get_future();
    queue.async([p = std::move(payload), &got] { got.set_value(*p); });
    ASSERT_TRUE(ready(f));
    EXPECT_EQ(f.get(), 9);
}

TEST(SerialQueue, DelayedWorkFollowsTheManualClock) {
    auto clock = std::make_shared<ManualClock>();
    ScopedClock scoped(clock);
    SerialQueue queue("test.after");
    std::vector<std::string> order; // touched only on the queue
    std::promise<void> first;
    auto firstRan = first.get_future();
    queue.after(5s, [&] { order.push_back("5s-a"); });
    queue.after(2s, [&] {
        order.push_back("2s");
        first.set_value();
    });
    queue.after(5s, [&] { order.push_back("5s-b"); });
    queue.after(-1s, [&] { order.push_back("negative runs at once"); });

    EXPECT_EQ(queue.sync([&] { return order; }), std::vector<std::string>{"negative runs at once"});
    clock->advance(1999ms);
    EXPECT_EQ(queue.sync([&] { return order.size(); }), 1u);
    clock->advance(1ms);
    ASSERT_TRUE(ready(firstRan)); // woken by the clock alone, no new work arrived
    clock->advance(3s);
    // Work submitted after the moment the delayed items fell due runs after them.
    EXPECT_EQ(queue.sync([&] { return order; }),
              (std::vector<std::string>{"negative runs at once", "2s", "5s-a", "5s-b"}));
}

TEST(SerialQueue, DestructionDrainsQueuedWorkAndCancelsDelayedWork) {
    auto clock = std::make_shared<ManualClock>();
    ScopedClock scoped(clock);
    auto queue = std::make_unique<SerialQueue>("test.drain");
    std::promise<void> gate;
    auto opened = gate.get_future().share();
    std::vector<int> ran; // read after the queue's thread has been joined
    auto delayedCapture = std::make_shared<int>(0);
    std::weak_ptr<int> delayedAlive = delayedCapture;

    queue->async([opened] { opened.wait(); });
    queue->async([&] { ran.push_back(1); });
    queue->async([&] { ran.push_back(2); });
    queue->after(1h, [&ran, c = std::move(delayedCapture)] { ran.push_back(99); });

    std::thread destroyer([&] { queue.reset(); });
    gate.set_value();
    destroyer.join();

    EXPECT_EQ(ran, (std::vector<int>{1, 2}));
    EXPECT_TRUE(delayedAlive.expired()); // the cancelled item and its captures are gone
    clock->advance(2h);
    EXPECT_EQ(ran, (std::vector<int>{1, 2}));
}

TEST(SerialQueue, MayBeDestroyedByItsOwnWork) {
    auto* queue = new SerialQueue("test.selfdelete");
    std::promise<void> gate;
    auto opened = gate.get_future().share();
    std::promise<bool> after;
    auto afterRan = after.get_future();
    queue->async([opened] { opened.wait(); });
    queue->async([queue] { delete queue; });
    queue->async([&after] { after.set_value(true); }); // queued before the delete: still drained
    gate.set_value();
    ASSERT_TRUE(ready(afterRan));
    EXPECT_TRUE(afterRan.get());
}

TEST(GlobalQueue, RunsBlockingWorkConcurrentlyAndSurvivesFailures) {
    testing_support::LogCapture errors(platform::LogLevel::Error);
    // Two items that each wait for the other can only finish on two threads at once.
    platform::Semaphore firstArrived, secondArrived;
    std::promise<void> done1, done2;
    auto f1 = done1.get_future(), f2 = done2.get_future();
    platform::GlobalQueue::async([] { throw std::runtime_error("lookup failed"); });
    platform::GlobalQueue::async([&] {
        firstArrived.signal();
        secondArrived.wait();
        done1.set_value();
    });
    platform::GlobalQueue::async([&] {
        secondArrived.signal();
        firstArrived.wait();
        done2.set_value();
    });
    ASSERT_TRUE(ready(f1));
    ASSERT_TRUE(ready(f2));
    // The pool thread that ran the failing item lives on: more work than threads still completes.
    std::atomic<int> count{0};
    std::promise<void> all;
    auto allDone = all.get_future();
    for (int i = 0; i < 50; ++i)
        platform::GlobalQueue::async([&] {
            if (++count == 50)
                all.set_value();
        });
    ASSERT_TRUE(ready(allDone));
    // The failing item may log after all the others finished.
    ASSERT_TRUE(errors.waitForCount(1));
    auto lines = errors.lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("lookup failed"), std::string::npos);
}

TEST(Semaphore, CountsSignalsAndTimesOutWhenEmpty) {
    platform::Semaphore sem(1);
    EXPECT_TRUE(sem.waitFor(0ms));
    EXPECT_FALSE(sem.waitFor(1ms));
    std::thread signaller([&] {
        sem.signal();
        sem.signal();
    });
    sem.wait();
    sem.wait();
    signaller.join();
    EXPECT_FALSE(sem.waitFor(0ms));
}

// A waiter may destroy the semaphore as soon as it returns (one on its stack); the signaller must be done
// with it by then.
TEST(Semaphore, AWaiterMayDestroyItOnceSignalled) {
    for (int i = 0; i < 200; ++i) {
        auto sem = std::make_unique<platform::Semaphore>();
        std::thread signaller([s = sem.get()] { s->signal(); });
        sem->wait();
        sem.reset();
        signaller.join();
    }
}

TEST_F(MainLoopTest, WorkRunsOnlyWhenPumpedInFifoOrder) {
    std::vector<int> order;
    std::atomic<int> wakeUps{0};
    MainQueue::setWakeUpHandler([&] { ++wakeUps; });
    EXPECT_TRUE(MainQueue::isMainThread());
    std::thread poster([&] {
        EXPECT_FALSE(MainQueue::isMainThread());
        for (int i = 0; i < 3; ++i)
            MainQueue::async([&, i] {
                EXPECT_TRUE(MainQueue::isMainThread());
                order.push_back(i);
                // Posted during the pass: waits for the next one.
                MainQueue::async([&, i] { order.push_back(10 + i); });
            });
    });
    poster.join();
    EXPECT_GE(wakeUps.load(), 3);
    EXPECT_TRUE(order.empty());
    EXPECT_EQ(RunLoop::main().timeUntilNextDue(), Clock::duration::zero());
    EXPECT_EQ(RunLoop::main().runOnce(), 3u);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(RunLoop::main().drain(), 3u);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 10, 11, 12}));
    EXPECT_EQ(RunLoop::main().runOnce(), 0u);
    EXPECT_EQ(RunLoop::main().timeUntilNextDue(), std::nullopt);
}

TEST_F(MainLoopTest, PumpingFromAnotherThreadIsRefused) {
    testing_support::LogCapture errors(platform::LogLevel::Error);
    bool ran = false;
    MainQueue::async([&] { ran = true; });
    std::size_t ranElsewhere = 99;
    std::thread intruder([&] { ranElsewhere = RunLoop::main().runOnce(); });
    intruder.join();
    EXPECT_EQ(ranElsewhere, 0u);
    EXPECT_FALSE(ran);
    EXPECT_EQ(errors.lines().size(), 1u);
    EXPECT_EQ(RunLoop::main().runOnce(), 1u);
    EXPECT_TRUE(ran);
}

TEST_F(MainLoopTest, APumpFromInsideATaskOrTimerRunsNothingAndThePassKeepsItsOrder) {
    testing_support::LogCapture errors(platform::LogLevel::Error);
    std::vector<std::string> order;
    int wakeUps = 0;
    const auto nestedPumps = [&](const std::string& who) {
        order.push_back(who + " starts");
        MainQueue::async([&order] { order.push_back("queued inside"); });
        // A modal loop would pump here: every entry point refuses.
        EXPECT_TRUE(RunLoop::main().isDraining());
        EXPECT_EQ(RunLoop::main().runOnce(), 0u);
        EXPECT_FALSE(RunLoop::main().runUntil([] { return false; }, 10s));
        RunLoop::main().run();
        order.push_back(who + " ends");
    };
    MainQueue::async([&] { nestedPumps("task"); });
    MainQueue::async([&order] { order.push_back("queued before"); });
    RepeatingTimer timer(1s, [&] { nestedPumps("timer"); });
    {
        ScopedClock scoped(clock);
        timer.start();
        clock->advance(1s);
        MainQueue::setWakeUpHandler([&] { wakeUps += RunLoop::main().isDraining() ? 0 : 1; });
        EXPECT_EQ(RunLoop::main().runOnce(), 3u);
        MainQueue::setWakeUpHandler({});
        timer.stop();
    }
    EXPECT_EQ(order, (std::vector<std::string>{"task starts", "task ends", "queued before", "timer starts",
                                               "timer ends"}));
    // The pass that was interrupted calls the host back for what waits, and logged the refusal once.
    EXPECT_EQ(wakeUps, 1);
    EXPECT_EQ(errors.lines().size(), 1u);
    EXPECT_FALSE(RunLoop::main().isDraining());
    EXPECT_EQ(RunLoop::main().runOnce(), 2u);
    EXPECT_EQ(order.back(), "queued inside");
}

TEST_F(MainLoopTest, MainQueueOnlyFunctionsStopWhenCalledFromAnotherThread) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    MainQueue::assertCurrent("onMain"); // the owner passes
    const auto offMain = [] {
        std::thread other([] { MainQueue::assertCurrent("offMain"); });
        other.join();
    };
    // Debug builds stop; release builds log and go on.
    EXPECT_DEBUG_DEATH(offMain(), "offMain called off the main queue");
}

TEST_F(MainLoopTest, DueDelayedWorkRunsBeforeWorkPostedAfterIt) {
    ScopedClock scoped(clock);
    std::vector<int> order;
    MainQueue::async([&] { order.push_back(1); });
    MainQueue::after(1s, [&] { order.push_back(3); });
    clock->advance(1s);
    MainQueue::async([&] { order.push_back(4); });
    MainQueue::after(0s, [&] { order.push_back(5); });
    EXPECT_EQ(RunLoop::main().runOnce(), 4u);
    EXPECT_EQ(order, (std::vector<int>{1, 3, 4, 5}));
}

TEST_F(MainLoopTest, DelayedWorkWaitsForTheClock) {
    ScopedClock scoped(clock);
    std::vector<int> order;
    MainQueue::after(3s, [&] { order.push_back(3); });
    MainQueue::after(1s, [&] { order.push_back(1); });
    EXPECT_EQ(RunLoop::main().timeUntilNextDue(), Clock::duration(1s));
    EXPECT_EQ(RunLoop::main().runOnce(), 0u);
    clock->advance(1s);
    EXPECT_EQ(RunLoop::main().runOnce(), 1u);
    clock->advance(5s);
    EXPECT_EQ(RunLoop::main().runOnce(), 1u);
    EXPECT_EQ(order, (std::vector<int>{1, 3}));
}

TEST_F(MainLoopTest, RunUntilAndRunWaitForWorkFromOtherThreads) {
    bool arrived = false;
    platform::GlobalQueue::async([&] { MainQueue::async([&] { arrived = true; }); });
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return arrived; }, kHangGuard));
    EXPECT_FALSE(RunLoop::main().runUntil([] { return false; }, 1ms));

    // run() keeps pumping until a stop arrives; work ahead of the stop still runs.
    std::vector<int> order;
    SerialQueue worker("test.stopper");
    worker.async([&] {
        MainQueue::async([&] { order.push_back(1); });
        MainQueue::async([&] {
            order.push_back(2);
            RunLoop::main().stop();
        });
    });
    RunLoop::main().run();
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

TEST_F(MainLoopTest, RunUntilWakesWhenAManualClockAdvancesElsewhere) {
    ScopedClock scoped(clock);
    bool fired = false;
    MainQueue::after(10s, [&] { fired = true; });
    SerialQueue mover("test.mover");
    mover.async([this] { clock->advance(10s); });
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return fired; }, kHangGuard));
}

TEST_F(MainLoopTest, RepeatingTimerFiresOncePerIntervalAndCoalescesMissedFirings) {
    ScopedClock scoped(clock);
    int fired = 0;
    RepeatingTimer timer(1s, [&] { ++fired; });
    EXPECT_FALSE(timer.isRunning());
    timer.start();
    EXPECT_TRUE(timer.isRunning());
    EXPECT_EQ(RunLoop::main().runOnce(), 0u);
    clock->advance(999ms);
    RunLoop::main().runOnce();
    EXPECT_EQ(fired, 0);
    clock->advance(1ms);
    RunLoop::main().runOnce();
    RunLoop::main().runOnce(); // a second pass at the same time does not fire again
    EXPECT_EQ(fired, 1);
    clock->advance(1s);
    RunLoop::main().runOnce();
    EXPECT_EQ(fired, 2);
    // 3.5 s late: one firing, and the schedule stays on whole seconds from the start (next at +6 s).
    clock->advance(3500ms);
    EXPECT_EQ(RunLoop::main().runOnce(), 1u);
    EXPECT_EQ(fired, 3);
    EXPECT_EQ(RunLoop::main().timeUntilNextDue(), Clock::duration(500ms));
    clock->advance(500ms);
    RunLoop::main().runOnce();
    EXPECT_EQ(fired, 4);
}

TEST_F(MainLoopTest, StoppedOrDestroyedTimersNeverFireEvenWhenDue) {
    ScopedClock scoped(clock);
    int a = 0, b = 0;
    RepeatingTimer stopped(1s, [&] { ++a; });
    auto destroyed = std::make_unique<RepeatingTimer>(1s, [&] { ++b; });
    stopped.start();
    destroyed->start();
    clock->advance(2s);
    stopped.stop();
    destroyed.reset();
    EXPECT_EQ(RunLoop::main().runOnce(), 0u);
    EXPECT_EQ(a + b, 0);
    // A stopped timer restarts from now.
    stopped.start();
    clock->advance(1s);
    RunLoop::main().runOnce();
    EXPECT_EQ(a, 1);
    // An invalidated one cannot be restarted.
    stopped.invalidate();
    stopped.start();
    EXPECT_FALSE(stopped.isValid());
    EXPECT_FALSE(stopped.isRunning());
    clock->advance(5s);
    RunLoop::main().runOnce();
    EXPECT_EQ(a, 1);
}

TEST_F(MainLoopTest, TimerCallbacksMayStopThemselvesAndEachOther) {
    ScopedClock scoped(clock);
    int selfCount = 0, victimCount = 0, restartedCount = 0;
    std::unique_ptr<RepeatingTimer> self;
    std::unique_ptr<RepeatingTimer> victim;
    std::unique_ptr<RepeatingTimer> restarted;
    self = std::make_unique<RepeatingTimer>(1s, [&] {
        ++selfCount;
        self->invalidate();
        victim->stop(); // due in the same pass, but must not fire
    });
    victim = std::make_unique<RepeatingTimer>(1s, [&] { ++victimCount; });
    restarted = std::make_unique<RepeatingTimer>(2s, [&] {
        ++restartedCount;
        restarted->stop();
        restarted->start(); // a fresh schedule from now, not overwritten after the callback returns
    });
    self->start();
    victim->start();
    restarted->start();
    clock->advance(2s);
    RunLoop::main().runOnce();
    EXPECT_EQ(selfCount, 1);
    EXPECT_EQ(victimCount, 0);
    EXPECT_EQ(restartedCount, 1);
    EXPECT_EQ(RunLoop::main().timeUntilNextDue(), Clock::duration(2s));
    clock->advance(10s);
    RunLoop::main().runOnce();
    EXPECT_EQ(selfCount, 1);
    EXPECT_EQ(victimCount, 0);
    EXPECT_EQ(restartedCount, 2);
}

TEST_F(MainLoopTest, ATimerCallbackMayDestroyItsOwnTimer) {
    ScopedClock scoped(clock);
    auto captured = std::make_shared<int>(0);
    std::weak_ptr<int> capturedAlive = captured;
    std::unique_ptr<RepeatingTimer> timer;
    timer = std::make_unique<RepeatingTimer>(1s, [&timer, captured] {
        ++*captured;
        timer.reset();
        ++*captured; // the callback's own captures stay valid until it returns
    });
    captured.reset();
    timer->start();
    clock->advance(1s);
    EXPECT_EQ(RunLoop::main().runOnce(), 1u);
    EXPECT_EQ(timer, nullptr);
    EXPECT_TRUE(capturedAlive.expired());
    clock->advance(1s);
    EXPECT_EQ(RunLoop::main().runOnce(), 0u);
}

} // namespace
