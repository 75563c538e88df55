#pragma once
// The data-service request channel: a DEALER socket owned by a thread of its own that drains a queue
// of RequestMessages, with up to maxOutstanding requests awaiting their replies at once.
//
// Each request goes out behind an envelope of its own id and an empty delimiter frame, which a REP (or
// ROUTER) service sends back in front of its reply: a reply is matched to its request by that id, so a
// late reply to a request that already failed is recognised and dropped. A REP service answers one
// connection's requests in the order they left.
//
// A pass runs every passInterval (0.5 s, measured on the platform clock) and checks the keep-alive
// (queue empty and more than keepAliveInterval since the queue was last seen empty after taking a
// request: the keep-alive handler is called, and it queues the keep-alive request), then sends the
// queued requests: as many as there are free places, the rest as replies free places, until the queue
// is found empty (what is queued after that goes out on the next pass). A request not answered within
// replyTimeout of being queued fails then, sent or not, and holds nobody: the others keep their own
// time limits. A connection the library drops while replies are awaited (as it does for a reply frame
// over maxReplySize) fails those requests at once, with a log line, and the socket is made anew.
// Replies and failures reach the handlers on the requester thread.
#include "platform/clock.h"
#include "wire/request_message.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace tc {

class ZMQContext;
class ZMQSocket;

enum class ZMQRequestError {
    SendFailed,        // the socket did not take the request
    NoReply,           // no reply within the time-out
    ConnectionDropped, // the connection dropped while the reply was awaited (a reply over the cap)
    ReplyTooLarge,     // the reply's frames together passed the size cap
    MalformedReply,    // the reply is not UTF-8
    SocketError,       // a library failure; the socket was reopened
    Stopped,           // the requester stopped while the request was in flight
};

const char* describe(ZMQRequestError error);

struct ZMQRequesterOptions {
    platform::Clock::duration passInterval = std::chrono::milliseconds(500);
    platform::Clock::duration keepAliveInterval = std::chrono::seconds(60);
    // Real time from the queueing of a request to its reply, as it waits on the network.
    std::chrono::milliseconds replyTimeout{15000};
    // Requests sent and awaiting their replies at most; the rest wait in the queue (their time limits
    // running).
    std::size_t maxOutstanding = 8;
    // How often a wait on the socket looks at the stop flag.
    std::chrono::milliseconds pollSlice{100};
    // Cap on one frame (enforced by the library, which drops the connection) and on a whole reply.
    std::int64_t maxReplySize = std::int64_t{32} << 20;
    std::size_t queueCapacity = 10000;
};

class ZMQRequester {
public:
    using Options = ZMQRequesterOptions;
    using ReplyHandler = std::function<void(const RequestMessage& request, std::string reply)>;
    using FailureHandler =
        std::function<void(const RequestMessage& request, ZMQRequestError error, const std::string& detail)>;
    // Called on the requester thread when a keep-alive is due; expected to queue the keep-alive request.
    using KeepAliveHandler = std::function<void()>;
    struct Handlers {
        ReplyHandler onReply;
        FailureHandler onFailure;
        KeepAliveHandler onKeepAliveDue;
    };

    ZMQRequester(std::shared_ptr<ZMQContext> context, Handlers handlers, Options options = {});
    ~ZMQRequester();
    ZMQRequester(const ZMQRequester&) = delete;
    ZMQRequester& operator=(const ZMQRequester&) = delete;

    // Stops the running thread (joined, its socket closed), then opens and connects a new REQ socket and
    // starts a new thread. Queued requests stay queued and go out on the new socket. Throws ZMQException
    // when the socket cannot be made or connected; nothing runs then.
    void connectToEndpoint(const std::string& endpoint);
    void connect(std::string_view host, int port);

    // Appends to the queue (any thread); false when the queue is full.
    bool sendZMQRequestMessage(RequestMessage request);

    // The requests awaiting replies fail with Stopped; queued requests stay.
    void stop();
    bool isRunning() const { return running_.load(); }

    // Requests queued, not yet sent.
    std::size_t pendingRequests() const { return dataQueue_.size(); }
    // Requests sent and awaiting their replies.
    std::size_t outstandingRequests() const { return outstanding_.load(); }
    std::optional<platform::Clock::time_point> queueEmptyTime() const;
    // How many times a socket was closed and reopened after a failure of the channel.
    std::uint64_t socketResets() const { return resets_.load(); }

    // For observers that drive a manual clock: the clock time at which the latest finished pass began,
    // and a wait (real time) for a pass begun at or after a given clock time to finish.
    std::optional<platform::Clock::time_point> lastPassTime() const;
    bool waitForPassAt(platform::Clock::time_point t, std::chrono::milliseconds timeout) const;

private:
    using SteadyTime = std::chrono::steady_clock::time_point;
    struct Outstanding {
        std::uint32_t id = 0;
        RequestMessage request;
        SteadyTime deadline;
    };
    // The requester thread's socket, the monitor that reports its dropped connections, and the
    // requests awaiting replies on it.
    struct Channel {
        std::shared_ptr<ZMQSocket> socket;
        std::shared_ptr<ZMQSocket> monitor;
        std::deque<Outstanding> outstanding;
        std::uint32_t nextId = 0;
    };

    void run(Channel channel);
    void pingZMQRequestSocket(platform::Clock::time_point now);
    void setQueueEmptyTime();
    // Between two passes: receives, times out and (while the queue drains) sends until the next pass
    // is due or a stop.
    void serve(Channel& channel, platform::Clock::time_point passStart, bool draining);
    // Sends queued requests while places are free; false once the queue was found empty.
    bool sendQueued(Channel& channel);
    void expire(Channel& channel);
    // Waits on the socket and its monitor at most `limit`; handles what arrived.
    void pollChannel(Channel& channel, std::chrono::microseconds limit);
    void receiveReply(Channel& channel);
    void readMonitor(Channel& channel);
    void failOutstanding(Channel& channel, ZMQRequestError error, const std::string& detail);
    Channel openChannel();
    void closeChannel(Channel& channel);
    void resetChannel(Channel& channel);
    void fail(const RequestMessage& request, ZMQRequestError error, const std::string& detail);
    void deliver(const RequestMessage& request, std::string reply);

    std::shared_ptr<ZMQContext> context_;
    Handlers handlers_;
    Options options_;
    RequestQueue dataQueue_;
    std::atomic<std::size_t> outstanding_{0};
    std::atomic<std::uint64_t> monitors_{0};
    std::string endpoint_; // written only while no thread runs

    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> running_{false};
    std::atomic<std::uint64_t> resets_{0};

    mutable std::mutex stateLock_; // the pacing wait, the stop flag's wake-up, pass and queue times
    mutable std::condition_variable stateChanged_;
    std::optional<platform::Clock::time_point> queueEmptyTime_;
    std::optional<platform::Clock::time_point> lastPassTime_;
    platform::Clock::ObserverId clockObserver_ = 0;

    std::mutex controlLock_; // connect and stop
    std::thread thread_;
};

} // namespace tc
