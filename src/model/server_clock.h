#pragma once
// The server's clock as the session reads it: the time a server reply carried, moved on by the
// computer's monotonic clock since the moment that reply came off the socket. Never the computer's
// wall clock (its zone, or a change of its time, would move it) and never a moment other than the
// reply's arrival (a reply handled late would put the clock behind by the wait).
#include "model/records/wall_time.h"
#include "platform/clock.h"

#include <chrono>

namespace tc {

struct ServerClockAnchor {
    // The server's wall time as sent (whole seconds, its own zone's fields).
    WallTime server;
    platform::Clock::time_point heardAt;

    // The server's clock at `moment` of the monotonic clock, before or after the reply.
    WallTime at(platform::Clock::time_point moment) const {
        return server + std::chrono::floor<std::chrono::seconds>(moment - heardAt);
    }
    WallTime now() const { return at(platform::Clock::currentTime()); }

    friend bool operator==(const ServerClockAnchor&, const ServerClockAnchor&) = default;
};

} // namespace tc
