// The session's clock from the server's replies: whole seconds sent, so the clock must not run back
// at a reply that left out more of a second than the last one did; a clock set back is taken.
#include "model/server_clock.h"

#include <gtest/gtest.h>

namespace tc {
namespace {

using namespace std::chrono_literals;
using Moment = platform::Clock::time_point;

WallTime wall(std::string_view text) {
    return wallTimeFromWire(text).value();
}

TEST(ServerClockAnchor, NeverRunsBackAtAReplyThatLeftOutMoreOfASecond) {
    // 12:00:00 heard at once; the server's 12:00:02.99, sent as 12:00:02, arrives 60 ms later, when
    // the running clock reads 12:00:03 already.
    const Moment first{10h};
    auto clock = heardServerClock(std::nullopt, wall("20261210120000"), first);
    clock = heardServerClock(clock, wall("20261210120002"), first + 3050ms);
    WallTime shown = clock.at(first);
    for (auto t = first; t < first + 10s; t += 50ms) {
        EXPECT_GE(clock.at(t), shown) << "at " << (t - first).count() << " ns";
        shown = clock.at(t);
    }
    EXPECT_EQ(clock.at(first + 3050ms), wall("20261210120003"));

    // A reply ahead of the running clock is taken, and one set back by seconds (the server's clock
    // changed) too.
    clock = heardServerClock(clock, wall("20261210120010"), first + 4s);
    EXPECT_EQ(clock.at(first + 4s), wall("20261210120010"));
    clock = heardServerClock(clock, wall("20261210115900"), first + 5s);
    EXPECT_EQ(clock.at(first + 6s), wall("20261210115901"));
}

} // namespace
} // namespace tc
