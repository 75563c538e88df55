#pragma once
// The server's one clock: every time it sends (replies, reports, settlements, chat, funding rows,
// chart bars) is read here. Given a start (--clock), it tells those fields from the moment it is made
// and runs on by the computer's monotonic clock, no zone applied, so an hour a zone skips can be
// told; else it is the computer's clock in the device's zone, as the wire writes a time.
#include "model/records/wall_time.h"

#include <chrono>
#include <optional>
#include <string>

namespace testserver {

class ServerClock {
public:
    explicit ServerClock(std::optional<tc::WallTime> from = std::nullopt);

    // Now as the server writes it: "yyyyMMddHHmmss".
    std::string text() const;
    // The same fields as a time.
    tc::WallTime now() const;

private:
    std::optional<tc::WallTime> from_;
    std::chrono::steady_clock::time_point startedAt_;
};

} // namespace testserver
