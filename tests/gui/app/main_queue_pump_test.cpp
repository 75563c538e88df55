#include "gui/gui_test_support.h"
#include "platform/dispatch.h"

#include <atomic>
#include <thread>

namespace {

using guitest::waitFor;

TEST(MainQueuePump, WorkFromAnyThreadRunsOnTheGuiThreadInOrder) {
    std::vector<int> order;
    std::atomic<bool> onGuiThread{true};
    const auto gui = std::this_thread::get_id();
    std::thread worker([&] {
        for (int i = 0; i < 3; ++i)
            tc::platform::MainQueue::async([&, i] {
                onGuiThread = onGuiThread && std::this_thread::get_id() == gui;
                order.push_back(i);
            });
    });
    worker.join();
    ASSERT_TRUE(waitFor([&] { return order.size() == 3; }));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    EXPECT_TRUE(onGuiThread);
}

TEST(MainQueuePump, DelayedWorkAndTimersRunWhenDueWithoutAnyoneDraining) {
    bool delayed = false;
    int ticks = 0;
    tc::platform::MainQueue::after(std::chrono::milliseconds(30), [&] { delayed = true; });
    tc::platform::RepeatingTimer timer(std::chrono::milliseconds(20), [&] { ++ticks; });
    timer.start();
    EXPECT_TRUE(waitFor([&] { return delayed && ticks >= 3; }));
}

TEST(MainQueuePump, AHandMovedClockWakesTheQueue) {
    auto clock = std::make_shared<tc::platform::ManualClock>();
    tc::platform::ScopedClock scoped(clock);
    bool ran = false;
    tc::platform::MainQueue::after(std::chrono::seconds(10), [&] { ran = true; });
    // The queue has run what was due now, and not the work due in 10 s.
    bool dueRan = false;
    tc::platform::MainQueue::after(std::chrono::milliseconds(0), [&] { dueRan = true; });
    ASSERT_TRUE(waitFor([&] { return dueRan; }));
    EXPECT_FALSE(ran);
    clock->advance(std::chrono::seconds(10));
    EXPECT_TRUE(waitFor([&] { return ran; }));
}

} // namespace

namespace {

TEST(MainQueuePump, ATaskThatSpinsAnEventLoopIsNotReenteredAndWorkWaitsForItsEnd) {
    guitest::LogCapture log;
    std::vector<std::string> order;
    tc::platform::MainQueue::async([&] {
        order.push_back("task");
        tc::platform::MainQueue::async([&] { order.push_back("posted meanwhile"); });
        // A nested loop, as a modal exec() would run, until the pump has refused to drain in it.
        EXPECT_TRUE(guitest::waitFor([&] { return log.count("refused") == 1u; }));
        order.push_back("task ends");
    });
    ASSERT_TRUE(guitest::waitFor([&] { return order.size() == 3; }));
    EXPECT_EQ(order, (std::vector<std::string>{"task", "task ends", "posted meanwhile"}));
    EXPECT_EQ(log.count("refused"), 1u);
}

} // namespace
