#include "wire/request_message.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

using namespace tc;

TEST(FifoQueue, FirstInFirstOutWithPeeks) {
    RequestQueue q;
    EXPECT_TRUE(q.empty());
    EXPECT_FALSE(q.dequeue());
    EXPECT_FALSE(q.peekHead());
    EXPECT_FALSE(q.peekTail());
    q.enqueue({"a", true, 0, 0});
    q.enqueue({"b", true, 0, 1});
    q.enqueue({"c", false, 0, 0});
    EXPECT_EQ(q.size(), 3u);
    EXPECT_EQ(q.peekHead()->message, "a");
    EXPECT_EQ(q.peekTail()->message, "c");
    EXPECT_EQ(q.peek(1)->receivingStrategy, 1);
    EXPECT_FALSE(q.peek(-1));
    EXPECT_FALSE(q.peek(3));
    EXPECT_EQ(q.dequeue()->message, "a");
    EXPECT_EQ(q.dequeue()->message, "b");
    EXPECT_EQ(q.dequeue()->message, "c");
    EXPECT_TRUE(q.empty());
}

TEST(FifoQueue, FullQueueRefusesMore) {
    IncomingQueue q(2);
    EXPECT_TRUE(q.enqueue("1"));
    EXPECT_TRUE(q.enqueue("2"));
    EXPECT_FALSE(q.enqueue("3"));
    EXPECT_EQ(q.dequeue(), "1");
    EXPECT_TRUE(q.enqueue("3"));
    EXPECT_EQ(q.peekTail(), "3");
}

TEST(FifoQueue, ManyWritersOneReaderLoseNothingAndKeepEachWritersOrder) {
    FifoQueue<int> q;
    constexpr int kWriters = 4, kEach = 5000;
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w)
        writers.emplace_back([&q, w] {
            for (int i = 0; i < kEach; ++i)
                q.enqueue(w * kEach + i);
        });
    std::vector<int> last(kWriters, -1);
    int got = 0;
    while (got < kWriters * kEach) {
        auto v = q.waitDequeue(std::chrono::seconds(5));
        ASSERT_TRUE(v) << "queue ran dry after " << got;
        const int w = *v / kEach;
        EXPECT_GT(*v % kEach, last[w]);
        last[w] = *v % kEach;
        ++got;
    }
    for (auto& t : writers)
        t.join();
    EXPECT_TRUE(q.empty());
}

TEST(FifoQueue, WaitDequeueTimesOutWhenEmpty) {
    FifoQueue<int> q;
    EXPECT_FALSE(q.waitDequeue(std::chrono::milliseconds(1)));
}

} // namespace
