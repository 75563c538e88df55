#pragma once
// Which deposit window asked for which gateway payment. The server answers gateway deposits in the
// order they were sent and its reply names only its own request id, so the windows that sent one
// wait in that order and each reply goes to the first still waiting. The payment page of a request
// id is opened once, by the window that asked; a window that closed keeps its place in the queue so
// that the replies after it still reach their own windows, until the line is gone.
#include <cstdint>
#include <deque>
#include <map>

namespace tc::gui {

class PayGateRequests {
public:
    using Owner = const void*;

    // A window sent a gateway deposit.
    void asked(Owner window);
    // The window that asked for a request id: the first waiting one at the id's first reply; null
    // for a request no open window asked for.
    Owner ownerOf(std::uint64_t requestId);
    // True once per request id, for its owner only: the payment page may be opened now.
    bool takePageOpening(std::uint64_t requestId, Owner window);
    // The window closed: it is no one's owner any more, and its waiting places stay empty.
    void forget(Owner window);
    // The line the waiting requests went on is gone: their registrations can no longer come, so no
    // window waits any more and the next registration is the next request's. Claims stay: a request
    // registered may still be told of on the new line.
    void lineGone() { waiting_.clear(); }
    std::size_t waiting() const { return waiting_.size(); }

private:
    struct Claim {
        Owner owner = nullptr;
        bool pageOpened = false;
    };
    std::deque<Owner> waiting_;
    std::map<std::uint64_t, Claim> claims_;
};

} // namespace tc::gui
