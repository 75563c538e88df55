#pragma once
// The session's handler of the price, depth and server-message feed. The feed thread only routes and
// decodes; what it decodes waits in a small pending set (one quote and one depth ladder per
// instrument, later ones merged in) and one drain on the main queue applies it all. So when the main
// queue falls behind, memory stays bounded by the number of instruments, not by the feed's rate.
#include "platform/handler.h"
#include "session/business/business_services.h"
#include "session/feed/feed_host.h"
#include "session/feed/price_feed.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace tc {

class SessionFeed final : public FeedHandler {
public:
    // Instruments with a quote or a ladder waiting for the main queue; past it new codes are dropped.
    static constexpr std::size_t kMaxPendingCodes = 10'000;

    explicit SessionFeed(FeedHost& host) : host_(host) {}

    // The instrument-status messages (of the stream and of the feed's "IS;" texts).
    void enterMessages(MessageRooms& rooms) override;

    // Feed thread (any thread): quotes and ladders join the pending set, "IS;" messages go to the
    // session's feed framer on this thread (instrument status only), bookmarks and refused texts are
    // dropped.
    void ZMQNewMessage(const std::string& text) override;
    // Main queue: the new trade-session setting of one instrument.
    void messageCrackerOnInstrumentStatusChange(const std::vector<std::string>& fields);

    // Main queue: applies everything pending (the scheduled drain does this too).
    void drain();

    // How long a drain waits after the first change that calls for it (any thread). A millisecond
    // by default: no one sees it, and it spares the main thread a wake-up per quote (at high feed
    // rates that wake-up, not the decoding, is what limits the feed). Zero drains as soon as the
    // main queue is free.
    static constexpr std::chrono::milliseconds kDefaultDrainInterval{1};
    void setDrainInterval(std::chrono::milliseconds interval) { drainInterval_.store(interval.count()); }

    // Counters (any thread).
    std::size_t pendingCodes() const;
    std::uint64_t quotesMerged() const;
    std::uint64_t droppedTexts() const;

    // The quotes of one instrument waiting for the drain. The spread moves bid and ask together and
    // only when a quote carries both, so a one-sided bid or ask is kept apart: it stands as sent over
    // whatever the last two-sided quote gives that side.
    struct PendingQuote {
        PriceUpdate update; // bid and ask both from the last two-sided quote, or both 0
        std::optional<platform::CompactDecimal> rawBid, rawAsk;
        explicit PendingQuote(const PriceUpdate& first);
    };
    // Two quotes of one instrument as one: the later time, and each price the later quote carries
    // (0 = not carried) over the earlier's. Applying the result equals applying both in order.
    static void mergeQuote(PendingQuote& pending, const PriceUpdate& later);
    // Main queue: false when the collection has no instrument of that code.
    static bool applyQuote(ItemCollectionMap& items, const PendingQuote& pending);

private:
    void schedule();

    FeedHost& host_;
    mutable std::mutex lock_;
    std::unordered_map<std::string, PendingQuote> quotes_;
    std::unordered_map<std::string, MarketDepthLadder> ladders_;
    // What a drain is done with (the pending sets and the levels their ladders replaced), made on
    // the feed thread and freed there, by its next text: freed on the main thread, that memory
    // belongs to the feed thread's allocator arena, whose lock the feed thread holds while it
    // allocates, and the main thread waited on it, for a whole time slice when the feed thread was
    // preempted holding it.
    struct Spent {
        std::unordered_map<std::string, PendingQuote> quotes;
        std::unordered_map<std::string, MarketDepthLadder> ladders;
        bool empty() const { return quotes.empty() && ladders.empty(); }
    };
    Spent spent_;
    // Takes what the last drain left (with lock_ held), to be freed once the lock is let go.
    void takeSpent(Spent& into);
    bool drainScheduled_ = false;
    std::atomic<std::int64_t> drainInterval_{kDefaultDrainInterval.count()}; // milliseconds
    std::uint64_t merged_ = 0;
    std::uint64_t dropped_ = 0;
    platform::CallbackGuard guard_; // last: a scheduled drain stops before the pending sets go
};

} // namespace tc
