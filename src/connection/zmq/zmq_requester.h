#pragma once
// The data-service request channel: a REQ socket owned by a thread of its own that drains a queue of
// RequestMessages, one request in flight at a time.
//
// A pass runs every passInterval (0.5 s, measured on the platform clock): it first checks the keep-alive
// (queue empty and more than keepAliveInterval since the queue was last seen empty after taking a
// request: the keep-alive handler is called, and it queues the keep-alive request), then sends every
// queued request and waits for its reply. A peer that stays silent past replyTimeout does not block the
// thread: the request fails, the socket is closed with a zero linger and a new one is connected to the
// same endpoint, and later requests go out on it. Replies and failures reach the handlers on the
// requester thread.
#include "connection/request_message.h"
#include "platform/clock.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
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
    SendFailed,     // the socket did not take the request
    NoReply,        // no reply within the time-out; the socket was reopened
    ReplyTooLarge,  // the reply's frames together passed the size cap
    MalformedReply, // the reply is not UTF-8
    SocketError,    // a library failure; the socket was reopened
    Stopped,        // the requester stopped while the request was in flight
};

const char* describe(ZMQRequestError error);

struct ZMQRequesterOptions {
    platform::Clock::duration passInterval = std::chrono::milliseconds(500);
    platform::Clock::duration keepAliveInterval = std::chrono::seconds(60);
    // Real time, as it waits on the network.
    std::chrono::milliseconds replyTimeout{15000};
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

    // The request in flight, if any, fails with Stopped; queued requests stay.
    void stop();
    bool isRunning() const { return running_.load(); }

    std::size_t pendingRequests() const { return dataQueue_.size(); }
    std::optional<platform::Clock::time_point> queueEmptyTime() const;
    // How many times a socket was closed and reopened after a failed request.
    std::uint64_t socketResets() const { return resets_.load(); }

    // For observers that drive a manual clock: the clock time at which the latest finished pass began,
    // and a wait (real time) for a pass begun at or after a given clock time to finish.
    std::optional<platform::Clock::time_point> lastPassTime() const;
    bool waitForPassAt(platform::Clock::time_point t, std::chrono::milliseconds timeout) const;

private:
    void run(std::shared_ptr<ZMQSocket> socket);
    void pingZMQRequestSocket(platform::Clock::time_point now);
    void setQueueEmptyTime();
    // False when the thread must end.
    bool exchange(std::shared_ptr<ZMQSocket>& socket, const RequestMessage& request);
    enum class Wait { Ready, TimedOut, Stopped };
    Wait waitFor(ZMQSocket& socket, short events);
    std::shared_ptr<ZMQSocket> openSocket();
    void resetSocket(std::shared_ptr<ZMQSocket>& socket);
    void waitForNextPass(platform::Clock::time_point passStart);
    void fail(const RequestMessage& request, ZMQRequestError error, const std::string& detail);
    void deliver(const RequestMessage& request, std::string reply);

    std::shared_ptr<ZMQContext> context_;
    Handlers handlers_;
    Options options_;
    RequestQueue dataQueue_;
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
