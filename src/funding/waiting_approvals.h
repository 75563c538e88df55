#pragma once
// The deposit and withdrawal approval requests sent and not yet answered. The server answers them
// in the order they were sent, with a receipt or a refusal that names no request of ours; at most it
// echoes the request number (tag 20) the request carried, which several requests can share, and a
// receipt carries the account and amount asked for. So an answer belongs to a request of its kind
// waiting, in two steps: first one with the echoed number where the answer carries one, then any; and
// of a receipt, only one that asked for what it names. Each request gets a ticket of its own, which
// the answer's event names.
//
// Within each step of the rule, an answer goes to the oldest request it can answer, given up or
// not (the server answers in turn): given up changes only how the answer is told, as late.
#include "platform/decimal.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

namespace tc::funding {

class WaitingApprovals {
public:
    // Far more requests than one login leaves unanswered; past it the oldest is forgotten.
    static constexpr std::size_t kMaxWaiting = 1000;

    // What a request asks for, as its record went out: the account and the amount.
    struct Asked {
        std::uint64_t account = 0;
        platform::Decimal amount;
    };
    // The request an answer belongs to: its ticket (0 for none of ours) and whether it had been given
    // up, so the answer comes after its window stopped waiting.
    struct Answer {
        std::uint64_t ticket = 0;
        bool late = false;
        friend bool operator==(const Answer&, const Answer&) = default;
    };

    // A request of `action` (wire::approval::kDeposit or kWithdrawal) went out with request number `number`;
    // its ticket, never 0.
    std::uint64_t sent(std::int64_t action, std::int64_t number, std::optional<Asked> asked = std::nullopt);
    // No one waits for the request of `ticket` any more; its answer, when it comes, is a late one.
    void givenUp(std::uint64_t ticket);
    // An answer to a request of `action` came, echoing `number` when it carried one and naming what
    // was asked when it is a receipt: the request it answers, which waits no more.
    Answer answered(std::int64_t action, std::optional<std::int64_t> number,
                    std::optional<Asked> asked = std::nullopt);
    std::size_t waiting() const { return waiting_.size(); }

private:
    struct Request {
        std::int64_t action = 0;
        std::int64_t number = 0;
        std::uint64_t ticket = 0;
        std::optional<Asked> asked;
        bool givenUp = false;
    };
    std::deque<Request> waiting_;
    std::uint64_t lastTicket_ = 0;
};

} // namespace tc::funding
