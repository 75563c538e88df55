#include "gui/funding/pay_gate_requests.h"

namespace tc::gui {

namespace {
// Far more gateway payments than one login makes; the oldest claims go first past it.
constexpr std::size_t kMaxClaims = 10'000;
} // namespace

void PayGateRequests::asked(Owner window) {
    if (waiting_.size() < kMaxClaims)
        waiting_.push_back(window);
}

PayGateRequests::Owner PayGateRequests::ownerOf(std::uint64_t requestId) {
    if (const auto it = claims_.find(requestId); it != claims_.end())
        return it->second.owner;
    Owner owner = nullptr;
    if (!waiting_.empty()) {
        owner = waiting_.front();
        waiting_.pop_front();
    }
    if (claims_.size() >= kMaxClaims)
        claims_.erase(claims_.begin());
    claims_[requestId] = Claim{owner, false};
    return owner;
}

bool PayGateRequests::takePageOpening(std::uint64_t requestId, Owner window) {
    if (!window || ownerOf(requestId) != window)
        return false;
    Claim& claim = claims_[requestId];
    if (claim.pageOpened)
        return false;
    claim.pageOpened = true;
    return true;
}

void PayGateRequests::forget(Owner window) {
    if (!window)
        return;
    for (Owner& w : waiting_)
        if (w == window)
            w = nullptr;
    for (auto& [id, claim] : claims_)
        if (claim.owner == window)
            claim.owner = nullptr;
}

} // namespace tc::gui
