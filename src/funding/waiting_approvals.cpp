#include "funding/waiting_approvals.h"

#include <algorithm>
#include <utility>

namespace tc::funding {

std::uint64_t WaitingApprovals::sent(std::int64_t action, std::int64_t number, std::optional<Asked> asked,
                                     std::string description) {
    if (waiting_.size() >= kMaxWaiting)
        waiting_.pop_front();
    waiting_.push_back({action, number, ++lastTicket_, std::move(asked), false, std::move(description)});
    return lastTicket_;
}

void WaitingApprovals::givenUp(std::uint64_t ticket) {
    const auto it = std::find_if(waiting_.begin(), waiting_.end(),
                                 [ticket](const Request& r) { return r.ticket == ticket; });
    if (it != waiting_.end())
        it->givenUp = true;
}

WaitingApprovals::Answer WaitingApprovals::answered(std::int64_t action, std::optional<std::int64_t> number,
                                                    std::optional<Asked> asked) {
    const auto echoes = [&](const Request& r) { return !number || r.number == *number; };
    const auto asks = [&](const Request& r) {
        return !asked || !r.asked || (r.asked->account == asked->account && r.asked->amount == asked->amount);
    };
    // From the closest match to the loosest; within one, the oldest, given up or not: the server
    // answers in order. A receipt that names what no request asked for is none of ours.
    for (const bool echoed : {true, false}) {
        const auto it = std::find_if(waiting_.begin(), waiting_.end(), [&](const Request& r) {
            return r.action == action && (!echoed || echoes(r)) && asks(r);
        });
        if (it == waiting_.end())
            continue;
        const Answer answer{it->ticket, it->givenUp};
        waiting_.erase(it);
        return answer;
    }
    return {};
}

std::vector<std::string> WaitingApprovals::takeUnanswered() {
    std::vector<std::string> named;
    for (Request& request : std::exchange(waiting_, {}))
        named.push_back(std::move(request.description));
    return named;
}

} // namespace tc::funding
