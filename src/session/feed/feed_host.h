#pragma once
// What the feed needs of its session, and no more: the main queue, the instruments and depth ladders
// it updates there, where it tells of new ladders, and the road of the server messages it carries.
// The business object is the real one.
#include "model/market_depth.h"
#include "platform/clock.h"
#include "session/feed/price_feed.h"

#include <functional>
#include <string_view>

namespace tc {

class SessionEventSink;

class FeedHost {
public:
    virtual ~FeedHost() = default;
    // Any thread: runs `work` on the main queue (after `delay`) unless the session is gone by then.
    virtual void postMain(std::function<void()> work) = 0;
    virtual void postMainAfter(platform::Clock::duration delay, std::function<void()> work) = 0;
    // Feed thread: the framed messages of an "IS;" text, dispatched as the stream's are.
    virtual void processFeedMessage(std::string_view text) = 0;
    // Main queue.
    virtual ItemCollectionMap& feedItems() = 0;
    virtual MarketDepthStore& marketDepth() = 0;
    virtual SessionEventSink& events() = 0;
};

} // namespace tc
