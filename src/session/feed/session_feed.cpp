#include "session/feed/session_feed.h"

#include "platform/log.h"
#include "wire/wire_names.h"

namespace tc {

SessionFeed::PendingQuote::PendingQuote(const PriceUpdate& first) : update(first) {
    if (update.Bid.isZero() != update.Ask.isZero()) {
        if (!update.Bid.isZero())
            rawBid = update.Bid;
        if (!update.Ask.isZero())
            rawAsk = update.Ask;
        update.Bid = update.Ask = platform::CompactDecimal();
    }
}

void SessionFeed::mergeQuote(PendingQuote& pending, const PriceUpdate& later) {
    PriceUpdate& p = pending.update;
    p.Time = later.Time;
    p.DotPosition = later.DotPosition;
    for (auto field : {&PriceUpdate::Last, &PriceUpdate::High, &PriceUpdate::Low, &PriceUpdate::Open,
                       &PriceUpdate::PreviousClose}) {
        if (!(later.*field).isZero())
            p.*field = later.*field;
    }
    if (!later.Bid.isZero() && !later.Ask.isZero()) {
        p.Bid = later.Bid;
        p.Ask = later.Ask;
        pending.rawBid.reset();
        pending.rawAsk.reset();
    } else if (!later.Bid.isZero()) {
        pending.rawBid = later.Bid;
    } else if (!later.Ask.isZero()) {
        pending.rawAsk = later.Ask;
    }
}

bool SessionFeed::applyQuote(ItemCollectionMap& items, const PendingQuote& pending) {
    const auto it = items.find(pending.update.ItemCode);
    if (it == items.end() || !it->second)
        return false;
    ItemDetails& item = *it->second;
    if (!applyPriceUpdate(item, pending.update))
        return false;
    if (pending.rawBid)
        item.Bid = *pending.rawBid;
    if (pending.rawAsk)
        item.Ask = *pending.rawAsk;
    return true;
}

void SessionFeed::ZMQNewMessage(const std::string& text) {
    const RoutedFeedText routed = routeFeedText(text);
    switch (routed.kind) {
    case FeedTextKind::Price: {
        // Read into a price update the thread keeps: its texts cost no allocation from quote to quote.
        thread_local PriceUpdate update;
        if (!decodePlainPriceUpdate(routed.body, update)) {
            PriceDecoding decoded = decodePriceText(routed.body);
            if (!decoded.quote) {
                platform::Log::debug("PriceUpdateDecode: {}", feedErrorText(decoded.error));
                return;
            }
            update = std::move(*decoded.quote).toPriceUpdate();
        }
        Spent spent; // freed after the lock is let go
        std::lock_guard lock(lock_);
        takeSpent(spent);
        if (auto it = quotes_.find(update.ItemCode); it != quotes_.end()) {
            mergeQuote(it->second, update);
            ++merged_;
        } else if (quotes_.size() + ladders_.size() >= kMaxPendingCodes) {
            ++dropped_;
            return;
        } else {
            std::string code = update.ItemCode;
            quotes_.emplace(std::move(code), PendingQuote(update));
        }
        schedule();
        return;
    }
    case FeedTextKind::MarketDepth: {
        DepthDecoding decoded = decodeMarketDepth(routed.body);
        if (!decoded.ladder) {
            platform::Log::debug("market depth dropped: {}", feedErrorText(decoded.error));
            return;
        }
        Spent spent; // freed after the lock is let go
        std::lock_guard lock(lock_);
        takeSpent(spent);
        if (auto it = ladders_.find(decoded.ladder->Code); it != ladders_.end()) {
            // Each ladder replaces both sides of its code whole, so only the latest matters.
            it->second = std::move(*decoded.ladder);
        } else if (quotes_.size() + ladders_.size() >= kMaxPendingCodes) {
            ++dropped_;
            return;
        } else {
            std::string code = decoded.ladder->Code;
            ladders_.emplace(std::move(code), std::move(*decoded.ladder));
        }
        schedule();
        return;
    }
    case FeedTextKind::ServerMessage:
        // The session's dispatcher moves whatever the message changes to the main queue itself.
        host_.processFeedMessage(routed.body);
        return;
    case FeedTextKind::Bookmark:
        return;
    case FeedTextKind::Refused:
        platform::Log::warning("feed text of {} bytes refused", text.size());
        std::lock_guard lock(lock_);
        ++dropped_;
        return;
    }
}

// Called with lock_ held.
void SessionFeed::takeSpent(Spent& into) {
    if (!spent_.empty())
        std::swap(into, spent_);
}

// Called with lock_ held.
void SessionFeed::schedule() {
    if (drainScheduled_)
        return;
    drainScheduled_ = true;
    auto work = guard_.bind([this] { drain(); });
    if (const std::int64_t interval = drainInterval_.load(); interval > 0)
        host_.postMainAfter(std::chrono::milliseconds(interval), std::move(work));
    else
        host_.postMain(std::move(work));
}

void SessionFeed::drain() {
    std::unordered_map<std::string, PendingQuote> quotes;
    std::unordered_map<std::string, MarketDepthLadder> ladders;
    {
        std::lock_guard lock(lock_);
        quotes.swap(quotes_);
        ladders.swap(ladders_);
        drainScheduled_ = false;
    }
    ItemCollectionMap& items = host_.feedItems();
    for (const auto& [code, pending] : quotes)
        applyQuote(items, pending);
    std::vector<std::string> deepened;
    deepened.reserve(ladders.size());
    for (auto& [code, ladder] : ladders)
        if (host_.marketDepth().exchange(ladder))
            deepened.push_back(code);
    {
        // The feed thread frees these (see spent_); when it has not come for the last ones yet,
        // they are freed here.
        std::lock_guard lock(lock_);
        if (spent_.empty()) {
            spent_.quotes.swap(quotes);
            spent_.ladders.swap(ladders);
        }
    }
    if (!deepened.empty())
        host_.events().depthApplied(deepened);
}

void SessionFeed::messageCrackerOnInstrumentStatusChange(const std::vector<std::string>& fields) {
    const InstrumentStatusChange change = decodeInstrumentStatus(fields);
    platform::Log::debug("InstrumentStatusChange {}", change.Code);
    applyInstrumentStatus(host_.feedItems(), change);
}

void SessionFeed::enterMessages(MessageRooms& rooms) {
    rooms.enter(wire::msg::kInstrumentStatus, {}, true,
                [this](const RoomMessage& m) { messageCrackerOnInstrumentStatusChange(m.fields()); });
}

std::size_t SessionFeed::pendingCodes() const {
    std::lock_guard lock(lock_);
    return quotes_.size() + ladders_.size();
}

std::uint64_t SessionFeed::quotesMerged() const {
    std::lock_guard lock(lock_);
    return merged_;
}

std::uint64_t SessionFeed::droppedTexts() const {
    std::lock_guard lock(lock_);
    return dropped_;
}

} // namespace tc
