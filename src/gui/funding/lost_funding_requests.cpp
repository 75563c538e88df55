#include "gui/funding/lost_funding_requests.h"

#include "model/records/funding_records.h"

#include <algorithm>

namespace tc::gui {

namespace {
// Far more answers than one program's windows wait on; the oldest go first past it.
constexpr std::size_t kMaxAnswered = 10'000;
} // namespace

std::vector<std::uint64_t> LostFundingRequests::alike(const Asked& asked,
                                                      const funding::FundingCollections& lists) {
    std::vector<std::uint64_t> ids;
    if (asked.subType == 0)
        return ids;
    for (const auto& [id, held] : lists.approvalRequests) {
        if (!held || held->approvalSubType != asked.subType || !held->information)
            continue;
        const funding::FinancialApproval& money = *held->information;
        // A bank deposit of the same amount is not the payment, nor the payment a bank deposit.
        if ((money.transferMode == static_cast<std::uint64_t>(funding::kOnlinePayment)) != asked.payment)
            continue;
        const std::uint64_t account = asked.subType == funding::ApprovalReq::kDepositSubType
                                          ? money.beneficiaryAccount
                                          : money.benefactorAccount;
        if (account == asked.account && money.requestedAmount == asked.amount)
            ids.push_back(id);
    }
    return ids;
}

void LostFundingRequests::lost(Owner owner, std::uint64_t place, const Asked& asked,
                               std::set<std::uint64_t> heldBefore, std::uint64_t generation) {
    forget(owner);
    Lost entry{owner, place, asked, std::move(heldBefore), generation, std::nullopt};
    const auto at = std::upper_bound(lost_.begin(), lost_.end(), place,
                                     [](std::uint64_t p, const Lost& l) { return p < l.place; });
    lost_.insert(at, std::move(entry));
}

void LostFundingRequests::forget(Owner owner) {
    std::erase_if(lost_, [owner](const Lost& l) { return l.owner == owner; });
}

void LostFundingRequests::answered(std::uint64_t id) {
    if (id == 0)
        return;
    if (answered_.size() >= kMaxAnswered)
        answered_.erase(answered_.begin());
    answered_.insert(id);
}

void LostFundingRequests::settle(const funding::FundingCollections& lists, std::uint64_t generation) {
    // Taken already: answers, and the requests found for lost ones still told.
    std::set<std::uint64_t> taken = answered_;
    for (const Lost& l : lost_)
        if (l.heldAs && *l.heldAs != 0)
            taken.insert(*l.heldAs);
    for (Lost& l : lost_) {
        if (l.heldAs || l.generation == generation)
            continue;
        l.heldAs = 0;
        for (const std::uint64_t id : alike(l.asked, lists))
            if (!l.heldBefore.contains(id) && !taken.contains(id)) {
                l.heldAs = id;
                taken.insert(id);
                break;
            }
    }
}

std::optional<std::uint64_t> LostFundingRequests::outcome(Owner owner,
                                                          const funding::FundingCollections& lists,
                                                          std::uint64_t generation) {
    const auto own =
        std::find_if(lost_.begin(), lost_.end(), [owner](const Lost& l) { return l.owner == owner; });
    if (own == lost_.end() || own->generation == generation)
        return std::nullopt;
    if (!own->heldAs) {
        if (!lists.approvalRequestsIn || !lists.financialApprovalsIn)
            return std::nullopt;
        settle(lists, generation);
    }
    return own->heldAs;
}

} // namespace tc::gui
