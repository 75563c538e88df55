#pragma once
// The funding requests the request windows of one program sent and never had an answer to, and what
// a later session's approval lists tell of each. The lists name no request of ours, so one is found
// by what it asks (kind, account, amount, and whether it is a gateway payment). Two windows that
// asked alike are not both told that the server holds one listed request: each listed request is
// taken by one lost request at most, the oldest sent first (the server numbers requests in the order
// they came, so the lowest number is the oldest's), and never by one that was listed before the
// request was sent or that answered another request. Qt-free.
#include "model/funding_collections.h"
#include "platform/decimal.h"

#include <cstdint>
#include <optional>
#include <set>
#include <vector>

namespace tc::gui {

class LostFundingRequests {
public:
    using Owner = const void*;
    // What a request asks, as the approval lists file it.
    struct Asked {
        std::int64_t subType = 0; // ApprovalReq's; 0 for a request the lists never hold
        bool payment = false;     // listed under the online-payment mode, and only it
        std::uint64_t account = 0;
        platform::Decimal amount;
    };
    // The listed approval requests that ask what `asked` asks, lowest id first.
    static std::vector<std::uint64_t> alike(const Asked& asked, const funding::FundingCollections& lists);

    // The place of a request sent now: the order of sending among every window sharing this.
    std::uint64_t nextPlace() { return ++places_; }
    // The owner's request, sent at `place` on session `generation` while `heldBefore` were listed
    // alike, went without an answer. It replaces the owner's earlier one.
    void lost(Owner owner, std::uint64_t place, const Asked& asked, std::set<std::uint64_t> heldBefore,
              std::uint64_t generation);
    // The owner no longer asks what became of its request (answered, closed, gone).
    void forget(Owner owner);
    // This listed request answered a request: no lost request is it.
    void answered(std::uint64_t id);
    // What the lists of session `generation` tell of the owner's lost request: nothing while they
    // cannot tell (not in yet, or the request went on this very session, or the owner lost none); 0
    // when the server holds none that is its own, else the listed request's id. The lost requests
    // of earlier sessions are settled together, in the order they were sent.
    std::optional<std::uint64_t> outcome(Owner owner, const funding::FundingCollections& lists,
                                         std::uint64_t generation);
    std::size_t size() const { return lost_.size(); }

private:
    struct Lost {
        Owner owner = nullptr;
        std::uint64_t place = 0;
        Asked asked;
        std::set<std::uint64_t> heldBefore;
        std::uint64_t generation = 0;
        std::optional<std::uint64_t> heldAs; // once settled: 0 none
    };
    void settle(const funding::FundingCollections& lists, std::uint64_t generation);

    std::vector<Lost> lost_; // in the order sent; one per owner
    std::set<std::uint64_t> answered_;
    std::uint64_t places_ = 0;
};

} // namespace tc::gui
