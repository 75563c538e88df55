#include "funding/waiting_approvals.h"

#include <algorithm>

namespace tc::funding {

std::uint64_t WaitingApprovals::sent(std::int64_t action, std::int64_t number) {
    if (waiting_.size() >= kMaxWaiting)
        waiting_.pop_front();
    waiting_.push_back({action, number, ++lastTicket_});
    return lastTicket_;
}

std::uint64_t WaitingApprovals::answered(std::int64_t action, std::optional<std::int64_t> number) {
    const auto ofKind = [action](const Request& r) { return r.action == action; };
    auto it = waiting_.end();
    if (number)
        it = std::find_if(waiting_.begin(), waiting_.end(),
                          [&](const Request& r) { return ofKind(r) && r.number == *number; });
    if (it == waiting_.end())
        it = std::find_if(waiting_.begin(), waiting_.end(), ofKind);
    if (it == waiting_.end())
        return 0;
    const std::uint64_t ticket = it->ticket;
    waiting_.erase(it);
    return ticket;
}

} // namespace tc::funding
