#include "platform/handler.h"
#include "platform/notification_center.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

using namespace tc;

TEST(Handler, CleanupRunsOnceWhicheverComesFirst) {
    int cleanups = 0;
    {
        auto handler = platform::MakeCleanupHandler([&] { ++cleanups; });
        handler->disconnect();
        handler->disconnect();
    }
    EXPECT_EQ(cleanups, 1);
    {
        auto handler = platform::MakeCleanupHandler([&] { ++cleanups; });
    }
    EXPECT_EQ(cleanups, 2);
}

TEST(Handler, GuardedCallablesOutliveTheGuardAsNoOps) {
    int calls = 0;
    std::function<void(int)> stored;
    {
        platform::CallbackGuard guard;
        stored = guard.bind([&](int n) { calls += n; });
        stored(2);
        EXPECT_TRUE(guard.connected());
    }
    stored(5);
    EXPECT_EQ(calls, 2);
}

TEST(Handler, AnObservationLastsAsLongAsItsHandler) {
    platform::NotificationCenter center;
    int seen = 0;
    auto handler = center.observe("Ping", [&](const platform::Notification&) { ++seen; });
    center.post("Ping");
    center.post("Other");
    EXPECT_EQ(seen, 1);
    handler.reset();
    center.post("Ping");
    EXPECT_EQ(seen, 1);
    EXPECT_EQ(center.observerCount(), 0u);
}

} // namespace
