#include "gui/login/idle_time.h"
#include "platform/user_defaults.h"

#include <gtest/gtest.h>

namespace tc::gui {
namespace {

TEST(IdleTime, AStoredTimeShowsItsChoiceAndAnyOtherNever) {
    EXPECT_EQ(idleChoiceIndex(1800), 3u);
    EXPECT_EQ(idleChoiceIndex(301), 0u); // anything else shows "never"
}

struct FakeIdle : IdleSource {
    std::int64_t idleSeconds() override { return seconds; }
    std::int64_t seconds = 0;
};

TEST(IdleTimeChecker, FiresOnceWhenIdleReachesTheSettingEvenOnALateCheck) {
    auto defaults = tc::platform::UserDefaults::inMemory();
    FakeIdle idle;
    int fired = 0;
    IdleTimeChecker checker(*defaults, idle, [&] { ++fired; });

    idle.seconds = 5000;
    checker.startCheckingIdleTime(); // no setting: never
    defaults->set(kIdleTimeKey, std::int64_t{300});
    idle.seconds = 299;
    checker.startCheckingIdleTime();
    EXPECT_EQ(fired, 0);
    idle.seconds = 301; // the tick at 300 came late
    checker.startCheckingIdleTime();
    checker.startCheckingIdleTime();
    EXPECT_EQ(fired, 1);
}

TEST(IdleTimeChecker, AStoredTimeNoChoiceHoldsIsNeverAsTheSheetShowsIt) {
    auto defaults = tc::platform::UserDefaults::inMemory();
    FakeIdle idle;
    int fired = 0;
    IdleTimeChecker checker(*defaults, idle, [&] { ++fired; });
    idle.seconds = 5000;
    for (std::int64_t stored : {120, 301, -300}) {
        defaults->set(kIdleTimeKey, stored);
        EXPECT_EQ(idleChoiceIndex(stored), 0u);
        checker.startCheckingIdleTime();
    }
    EXPECT_EQ(fired, 0);
    defaults->set(kIdleTimeKey, std::int64_t{600});
    checker.startCheckingIdleTime();
    EXPECT_EQ(fired, 1);
}

TEST(IdleTimeChecker, AnUnreadableIdleTimeNeverFires) {
    EXPECT_FALSE(idleTimeoutReached(300, -1));
    EXPECT_FALSE(idleTimeoutReached(0, 100));
    EXPECT_TRUE(idleTimeoutReached(600, 600));
}

} // namespace
} // namespace tc::gui
