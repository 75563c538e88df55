#include "server_clock.h"

#include "wire/wire_date.h"

namespace testserver {

ServerClock::ServerClock(std::optional<tc::WallTime> from)
    : from_(from), startedAt_(std::chrono::steady_clock::now()) {}

tc::WallTime ServerClock::now() const {
    if (!from_)
        return tc::wallTimeFromWire(tc::wire::nowText()).value_or(tc::WallTime{});
    return *from_ + std::chrono::floor<std::chrono::seconds>(std::chrono::steady_clock::now() - startedAt_);
}

std::string ServerClock::text() const {
    return from_ ? tc::wireDateTime(now()) : tc::wire::nowText();
}

} // namespace testserver
