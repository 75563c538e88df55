#include "connection/zmq/zmq_context.h"
#include "connection/zmq/zmq_exception.h"
#include "connection/zmq/zmq_requester.h"
#include "connection/zmq/zmq_socket.h"
#include "platform/clock.h"
#include "zmq_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace tc {
// Readable failure messages.
void PrintTo(ZMQRequestError error, std::ostream* os) {
    *os << describe(error);
}
} // namespace tc

namespace {

using namespace tc;

using namespace std::chrono_literals;
using zmqtest::bindLoopback;
using zmqtest::finishesWithin;
using zmqtest::Inbox;

// A REP server on a thread of its own. The responder gives the frames of each reply, or nothing to stay
// silent: a silent peer holds the request until release() and then answers into the void (the requester
// that asked has gone by then), which puts its socket back to receiving.
class RepPeer {
public:
    using Frames = std::vector<std::string>;
    using Responder = std::function<std::optional<Frames>(const std::string&)>;

    RepPeer(ZMQContext& context, Responder responder) : responder_(std::move(responder)) {
        socket_ = context.socketWithType(ZMQ_REP);
        endpoint_ = bindLoopback(*socket_);
        thread_ = std::thread([this] { run(); });
    }
    ~RepPeer() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        cv_.notify_all();
        thread_.join();
        socket_->close();
    }
    const std::string& endpoint() const { return endpoint_; }
    void release() {
        {
            std::lock_guard lock(mutex_);
            released_ = true;
        }
        cv_.notify_all();
    }

    Inbox<std::string> received;

private:
    bool stopping() {
        std::lock_guard lock(mutex_);
        return stop_;
    }
    void run() {
        while (!stopping()) {
            zmq_pollitem_t item;
            socket_->getPollItem(&item, ZMQ_POLLIN);
            if (zmq_poll(&item, 1, 20) <= 0)
                continue;
            std::string request = socket_->receiveDataWithFlags(0);
            while (socket_->hasMoreDataForOption(ZMQ_RCVMORE))
                request += socket_->receiveDataWithFlags(0);
            received.push(request);
            std::optional<Frames> reply = responder_(request);
            if (!reply) {
                std::unique_lock lock(mutex_);
                cv_.wait(lock, [this] { return stop_ || released_; });
                if (stop_)
                    return;
                released_ = false;
                reply = Frames{"late:" + request};
            }
            for (std::size_t i = 0; i < reply->size(); ++i)
                socket_->sendData((*reply)[i], i + 1 < reply->size() ? ZMQ_SNDMORE : 0);
        }
    }

    Responder responder_;
    std::shared_ptr<ZMQSocket> socket_;
    std::string endpoint_;
    std::mutex mutex_;
    std::condition_variable cv_;
    bool stop_ = false;
    bool released_ = false;
    std::thread thread_;
};

RepPeer::Responder echoWith(std::string prefix) {
    return [prefix](const std::string& request) { return RepPeer::Frames{prefix + request}; };
}

RequestMessage request(std::string text, std::int64_t receivingStrategy = 0) {
    return RequestMessage{std::move(text), true, 0, receivingStrategy};
}

struct Failure {
    std::string request;
    ZMQRequestError error;
};

class RequesterTest : public ::testing::Test {
protected:
    static ZMQRequester::Options fastOptions() {
        ZMQRequester::Options options;
        options.passInterval = 10ms;
        options.replyTimeout = 3s;
        options.pollSlice = 20ms;
        return options;
    }

    std::unique_ptr<ZMQRequester> makeRequester(ZMQRequester::Options options = fastOptions()) {
        ZMQRequester::Handlers handlers;
        handlers.onReply = [this](const RequestMessage& r, std::string reply) {
            replies.push({r.message, std::move(reply)});
        };
        handlers.onFailure = [this](const RequestMessage& r, ZMQRequestError error, const std::string&) {
            failures.push({r.message, error});
        };
        handlers.onKeepAliveDue = [this] {
            keepAlives.fetch_add(1);
            if (!composeKeepAliveLater)
                requester->sendZMQRequestMessage(request("keepalive"));
        };
        return std::make_unique<ZMQRequester>(context, std::move(handlers), options);
    }

    std::size_t openRequestSockets() const {
        std::size_t n = 0;
        for (const auto& s : context->sockets())
            n += s->type() == ZMQ_DEALER ? 1 : 0;
        return n;
    }

    std::shared_ptr<ZMQContext> context = ZMQContext::create(1);
    Inbox<std::pair<std::string, std::string>> replies;
    Inbox<Failure> failures;
    std::atomic<int> keepAlives{0};
    // The session composes its keep-alive on the main queue, so it is queued some passes later.
    bool composeKeepAliveLater = false;
    std::unique_ptr<ZMQRequester> requester;
};

TEST_F(RequesterTest, RoundTripsInOrderWithMultipartReplies) {
    RepPeer peer(*context, [](const std::string& r) -> std::optional<RepPeer::Frames> {
        if (r == "multi")
            return RepPeer::Frames{"part1|", "part2|", "part3"};
        return RepPeer::Frames{"re:" + r};
    });
    requester = makeRequester();
    // Queued before the thread runs: sent once it does.
    requester->sendZMQRequestMessage(request("hello"));
    requester->connectToEndpoint(peer.endpoint());
    requester->sendZMQRequestMessage(request("multi", 1));
    requester->sendZMQRequestMessage(request("multi", 0));
    requester->sendZMQRequestMessage(request("after"));
    ASSERT_TRUE(replies.waitForCount(4));

    const auto got = replies.snapshot();
    using Pair = std::pair<std::string, std::string>;
    EXPECT_EQ(got[0], (Pair{"hello", "re:hello"}));
    EXPECT_EQ(got[1], (Pair{"multi", "part1|part2|part3"}));
    // One frame asked for: the rest is read and dropped so the socket can send the next request.
    EXPECT_EQ(got[2], (Pair{"multi", "part1|"}));
    EXPECT_EQ(got[3], (Pair{"after", "re:after"}));
    EXPECT_TRUE(failures.snapshot().empty());
    EXPECT_EQ(requester->socketResets(), 0u);
}

TEST_F(RequesterTest, SilentPeerIsRecoveredAndTheNextRequestGoesThrough) {
    RepPeer peer(*context, [](const std::string& r) -> std::optional<RepPeer::Frames> {
        if (r == "unanswered")
            return std::nullopt;
        return RepPeer::Frames{"re:" + r};
    });
    auto options = fastOptions();
    options.replyTimeout = 3s;
    requester = makeRequester(options);
    requester->connectToEndpoint(peer.endpoint());
    requester->sendZMQRequestMessage(request("unanswered"));

    ASSERT_TRUE(failures.waitForCount(1));
    EXPECT_EQ(failures.snapshot()[0].request, "unanswered");
    EXPECT_EQ(failures.snapshot()[0].error, ZMQRequestError::NoReply);
    EXPECT_EQ(requester->socketResets(), 1u);
    EXPECT_EQ(openRequestSockets(), 1u);

    // The peer now answers; its answer to the abandoned request goes to the closed socket.
    peer.release();
    requester->sendZMQRequestMessage(request("second"));
    ASSERT_TRUE(replies.waitForCount(1));
    EXPECT_EQ(replies.snapshot()[0], (std::pair<std::string, std::string>{"second", "re:second"}));
    requester->sendZMQRequestMessage(request("third"));
    ASSERT_TRUE(replies.waitForCount(2));
    EXPECT_EQ(replies.snapshot()[1].second, "re:third");
    EXPECT_EQ(failures.snapshot().size(), 1u);
}

TEST_F(RequesterTest, UnusableRepliesFailButLeaveTheChannelWorking) {
    RepPeer peer(*context, [](const std::string& r) -> std::optional<RepPeer::Frames> {
        if (r == "parts")
            return RepPeer::Frames{std::string(600, 'a'), std::string(600, 'b'), std::string(600, 'c')};
        if (r == "huge")
            return RepPeer::Frames{std::string(5000, 'x')};
        if (r == "binary")
            return RepPeer::Frames{"\xc3\x28"};
        return RepPeer::Frames{"re:" + r};
    });
    auto options = fastOptions();
    options.maxReplySize = 1024;
    // Far beyond the wait below: the oversize reply must fail on its own, not by the time-out.
    options.replyTimeout = 60s;
    requester = makeRequester(options);
    requester->connectToEndpoint(peer.endpoint());
    for (const char* text : {"parts", "binary", "one"})
        requester->sendZMQRequestMessage(request(text, 1));
    ASSERT_TRUE(replies.waitForCount(1));
    ASSERT_TRUE(failures.waitForCount(2));
    // Alone: the library drops the connection with every reply not yet read.
    requester->sendZMQRequestMessage(request("huge", 1));
    ASSERT_TRUE(failures.waitForCount(3));

    const auto failed = failures.snapshot();
    EXPECT_EQ(failed[0].request, "parts");
    EXPECT_EQ(failed[0].error, ZMQRequestError::ReplyTooLarge);
    EXPECT_EQ(failed[1].request, "binary");
    EXPECT_EQ(failed[1].error, ZMQRequestError::MalformedReply);
    // A frame over the cap never arrives: the library drops the connection, which fails the request at
    // once, and the socket is made anew.
    EXPECT_EQ(failed[2].request, "huge");
    EXPECT_EQ(failed[2].error, ZMQRequestError::ConnectionDropped);
    EXPECT_EQ(requester->socketResets(), 1u);
    EXPECT_EQ(requester->outstandingRequests(), 0u);

    requester->sendZMQRequestMessage(request("two", 1));
    ASSERT_TRUE(replies.waitForCount(2));
    const auto got = replies.snapshot();
    EXPECT_EQ(got[0].second, "re:one");
    EXPECT_EQ(got[1].second, "re:two");
}

TEST_F(RequesterTest, ASilentPeerFailsEachRequestInItsOwnTimeWithoutHoldingTheNext) {
    // Held on the first request, the peer reads none of the others: silent to all of them.
    RepPeer peer(*context, [](const std::string& r) -> std::optional<RepPeer::Frames> {
        if (r == "silent0")
            return std::nullopt;
        return RepPeer::Frames{"re:" + r};
    });
    auto options = fastOptions();
    options.replyTimeout = 2s;
    options.maxOutstanding = 3;
    requester = makeRequester(options);
    requester->connectToEndpoint(peer.endpoint());
    const auto start = std::chrono::steady_clock::now();
    constexpr std::size_t kRequests = 8;
    for (std::size_t i = 0; i < kRequests; ++i)
        requester->sendZMQRequestMessage(request("silent" + std::to_string(i)));
    // No more than the allowed number go out; the rest wait, their time running.
    const auto limit = start + 10s;
    while (requester->outstandingRequests() < 3 && std::chrono::steady_clock::now() < limit)
        std::this_thread::yield();
    ASSERT_EQ(requester->outstandingRequests(), 3u);
    EXPECT_EQ(requester->pendingRequests(), kRequests - 3);

    ASSERT_TRUE(failures.waitForCount(kRequests));
    // One after the other they would take eight time-outs; each fails within its own instead (the
    // bound leaves room for a slow build).
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3 * options.replyTimeout);
    for (const Failure& f : failures.snapshot())
        EXPECT_EQ(f.error, ZMQRequestError::NoReply) << f.request;
    EXPECT_EQ(requester->outstandingRequests(), 0u);

    // The peer answers the old requests into the void (their connection is gone), then the new one.
    peer.release();
    requester->sendZMQRequestMessage(request("after"));
    ASSERT_TRUE(replies.waitForCount(1));
    EXPECT_EQ(replies.snapshot()[0], (std::pair<std::string, std::string>{"after", "re:after"}));
    EXPECT_EQ(failures.snapshot().size(), kRequests);
}

TEST_F(RequesterTest, StopWhileWaitingForAReplyIsPromptAndReported) {
    RepPeer peer(*context, [](const std::string&) { return std::optional<RepPeer::Frames>{}; });
    auto options = fastOptions();
    options.replyTimeout = 60s;
    options.maxOutstanding = 1;
    requester = makeRequester(options);
    requester->connectToEndpoint(peer.endpoint());
    requester->sendZMQRequestMessage(request("pending"));
    ASSERT_TRUE(peer.received.waitForCount(1));
    requester->sendZMQRequestMessage(request("queued"));

    ASSERT_TRUE(finishesWithin([this] { requester->stop(); }));
    EXPECT_FALSE(requester->isRunning());
    ASSERT_EQ(failures.snapshot().size(), 1u);
    EXPECT_EQ(failures.snapshot()[0].request, "pending");
    EXPECT_EQ(failures.snapshot()[0].error, ZMQRequestError::Stopped);
    EXPECT_EQ(requester->pendingRequests(), 1u);
    EXPECT_EQ(openRequestSockets(), 0u);
}

TEST_F(RequesterTest, ReconnectJoinsTheOldThreadAndKeepsTheQueue) {
    RepPeer first(*context, echoWith("A:"));
    RepPeer second(*context, echoWith("B:"));
    requester = makeRequester();
    requester->connectToEndpoint(first.endpoint());
    requester->sendZMQRequestMessage(request("one"));
    ASSERT_TRUE(replies.waitForCount(1));

    requester->connectToEndpoint(second.endpoint());
    // The old thread has closed its socket before the new one was opened.
    ASSERT_EQ(openRequestSockets(), 1u);
    EXPECT_TRUE(requester->isRunning());
    requester->sendZMQRequestMessage(request("two"));
    ASSERT_TRUE(replies.waitForCount(2));
    EXPECT_EQ(replies.snapshot()[0].second, "A:one");
    EXPECT_EQ(replies.snapshot()[1].second, "B:two");

    requester->stop();
    requester->sendZMQRequestMessage(request("while-stopped"));
    requester->connectToEndpoint(first.endpoint());
    ASSERT_TRUE(replies.waitForCount(3));
    EXPECT_EQ(replies.snapshot()[2].second, "A:while-stopped");
}

TEST_F(RequesterTest, KeepAliveAfterSixtyIdleSecondsOnTheClock) {
    auto clock = std::make_shared<platform::ManualClock>();
    platform::ScopedClock useClock(clock);
    RepPeer peer(*context, echoWith("re:"));
    auto options = fastOptions();
    options.passInterval = 500ms;
    options.keepAliveInterval = 60s;
    requester = makeRequester(options);

    // Advances the clock and waits for a whole pass that saw the new time.
    auto advance = [&](platform::Clock::duration d) {
        clock->advance(d);
        return requester->waitForPassAt(clock->now(), 5s);
    };

    const auto start = clock->now();
    requester->sendZMQRequestMessage(request("r1"));
    requester->connectToEndpoint(peer.endpoint());
    ASSERT_TRUE(replies.waitForCount(1));
    ASSERT_EQ(requester->queueEmptyTime(), start);

    ASSERT_TRUE(advance(59s));
    ASSERT_TRUE(advance(1s)); // exactly 60 s: not yet "more than"
    EXPECT_EQ(keepAlives.load(), 0);
    ASSERT_TRUE(advance(1s));
    EXPECT_EQ(keepAlives.load(), 1);
    ASSERT_TRUE(replies.waitForCount(2));
    EXPECT_EQ(replies.snapshot()[1].first, "keepalive");
    // The wait restarts when the keep-alive itself is taken.
    EXPECT_EQ(requester->queueEmptyTime(), start + 61s);

    // Requests every 30 s keep the channel busy: no keep-alive however long it goes on.
    for (int i = 0; i < 6; ++i) {
        requester->sendZMQRequestMessage(request("busy" + std::to_string(i)));
        ASSERT_TRUE(advance(30s));
        ASSERT_TRUE(replies.waitForCount(3 + static_cast<std::size_t>(i)));
    }
    EXPECT_EQ(keepAlives.load(), 1);
    ASSERT_TRUE(advance(61s));
    EXPECT_EQ(keepAlives.load(), 2);
}

TEST_F(RequesterTest, AKeepAliveQueuedSomePassesLaterIsAskedForOnce) {
    auto clock = std::make_shared<platform::ManualClock>();
    platform::ScopedClock useClock(clock);
    RepPeer peer(*context, echoWith("re:"));
    auto options = fastOptions();
    options.passInterval = 500ms;
    options.keepAliveInterval = 60s;
    composeKeepAliveLater = true;
    requester = makeRequester(options);
    auto advance = [&](platform::Clock::duration d) {
        clock->advance(d);
        return requester->waitForPassAt(clock->now(), 5s);
    };
    requester->sendZMQRequestMessage(request("r1"));
    requester->connectToEndpoint(peer.endpoint());
    ASSERT_TRUE(replies.waitForCount(1));

    ASSERT_TRUE(advance(61s));
    EXPECT_EQ(keepAlives.load(), 1);
    for (int pass = 0; pass < 4; ++pass)
        ASSERT_TRUE(advance(500ms));
    EXPECT_EQ(keepAlives.load(), 1);
    requester->sendZMQRequestMessage(request("keepalive"));
    ASSERT_TRUE(advance(500ms));
    ASSERT_TRUE(replies.waitForCount(2));
    // Never taken in time: asked again only after another idle interval.
    ASSERT_TRUE(advance(61s));
    EXPECT_EQ(keepAlives.load(), 2);
}

TEST_F(RequesterTest, RefusedEndpointAndFullQueue) {
    auto options = fastOptions();
    options.queueCapacity = 2;
    requester = makeRequester(options);
    EXPECT_THROW(requester->connectToEndpoint("nonsense://host"), ZMQException);
    EXPECT_FALSE(requester->isRunning());
    EXPECT_EQ(openRequestSockets(), 0u);

    EXPECT_TRUE(requester->sendZMQRequestMessage(request("a")));
    EXPECT_TRUE(requester->sendZMQRequestMessage(request("b")));
    EXPECT_FALSE(requester->sendZMQRequestMessage(request("c")));
    EXPECT_EQ(requester->pendingRequests(), 2u);
}

} // namespace
