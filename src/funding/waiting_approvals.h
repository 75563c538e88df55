#pragma once
// The deposit and withdrawal approval requests sent and not yet answered. The server answers them
// in the order they were sent, with a receipt or a refusal that names no request of ours; at most it
// echoes the request number (tag 20) the request carried, which several requests can share. So an
// answer belongs to the oldest request of its kind still waiting, the oldest with the echoed number
// where one carries it. Each request gets a ticket of its own, which the answer's event names.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

namespace tc::funding {

class WaitingApprovals {
public:
    // Far more requests than one login leaves unanswered; past it the oldest is forgotten.
    static constexpr std::size_t kMaxWaiting = 1000;

    // A request of `action` (801 deposit, 802 withdrawal) went out with request number `number`;
    // its ticket, never 0.
    std::uint64_t sent(std::int64_t action, std::int64_t number);
    // An answer to a request of `action` came, echoing `number` when it carried one: the ticket of the
    // request it answers, which waits no more; 0 when none of that kind waits.
    std::uint64_t answered(std::int64_t action, std::optional<std::int64_t> number);
    std::size_t waiting() const { return waiting_.size(); }

private:
    struct Request {
        std::int64_t action = 0;
        std::int64_t number = 0;
        std::uint64_t ticket = 0;
    };
    std::deque<Request> waiting_;
    std::uint64_t lastTicket_ = 0;
};

} // namespace tc::funding
