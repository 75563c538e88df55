#include "platform/work_budget.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

TEST(WorkBudget, AHeldProducerResumesOnceTheConsumerIsDownToTheLowMark) {
    auto budget = tc::platform::WorkBudget::create(4, 1);
    std::vector<tc::platform::WorkBudget::Token> work;
    int resumed = 0;
    EXPECT_FALSE(budget->holdUntilRoom([&] { ++resumed; })); // room: nothing kept
    for (int i = 0; i < 4; ++i)
        work.push_back(budget->take());
    EXPECT_TRUE(budget->holdUntilRoom([&] { ++resumed; }));
    work.pop_back();
    work.pop_back();
    EXPECT_EQ(resumed, 0); // 2 waiting: above the low mark
    work.pop_back();
    EXPECT_EQ(resumed, 1);
    work.pop_back();
    EXPECT_EQ(resumed, 1); // once
    EXPECT_EQ(budget->outstanding(), 0u);
}

TEST(WorkBudget, AWaitingThreadIsLetGoByRoomByCloseOrByItsLimit) {
    auto budget = tc::platform::WorkBudget::create(2, 0);
    std::vector<tc::platform::WorkBudget::Token> work;
    work.push_back(budget->take());
    work.push_back(budget->take());
    std::atomic<bool> through{false};
    std::thread producer([&] {
        budget->waitForRoom(10s);
        through = true;
    });
    work.clear();
    producer.join();
    EXPECT_TRUE(through);

    // Full again: a waiter with a short limit goes on its own; close lets every waiter go.
    work.push_back(budget->take());
    work.push_back(budget->take());
    budget->waitForRoom(1ms);
    const auto start = std::chrono::steady_clock::now();
    std::thread closing([&] { budget->waitForRoom(120s); });
    budget->close();
    closing.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 60s); // a hang guard: it should take no time
    EXPECT_FALSE(budget->holdUntilRoom([] {}));
}

} // namespace
