#pragma once
// The client's link to its trading server: the TCP stream (login, trading, chat, ping), the ZeroMQ
// subscriber socket of the price feed and the ZeroMQ request socket of the data service.
//
// Threads: stream callbacks run on the serial queue "NewQueue"; request replies arrive on the
// requester's own thread and feed messages on the subscriber's. On each of them the connection only
// cuts frames and hands them to its owner, on that same thread. What the owner does with them (and on
// which queue) is the owner's business.
#include "connection/socket/stream_socket.h"
#include "connection/zmq/zmq_requester.h"
#include "platform/clock.h"
#include "wire/request_message.h"
#include "wire/stream_deframer.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tc {

class LoginInputData;
class MessageSender;
class ZMQContext;
class ZMQFeedSubscriber;

// What the connection asks of the object that owns it (the business object).
class ConnectionOwner {
public:
    virtual ~ConnectionOwner() = default;
    // One framed message of the stream (length, 0x03, fields), on "NewQueue".
    virtual void connectionDidReceiveMessage(std::string_view frameText) = 0;
    // One framed message of a data-service reply, on the request thread. False when the message is
    // not one the data service may send (it is refused, and does not answer the request).
    virtual bool connectionDidReceiveReply(std::string_view frameText) = 0;
    // One feed message, on the feed thread.
    virtual void connectionDidReceiveFeedMessage(const std::string& text) = 0;
    // The stream is up (on "NewQueue"), before the login request goes out; for a demo registration no
    // login request follows.
    virtual void connectionDidConnectStream(bool demoRegistration) = 0;
    // The stream ended without a manual disconnect (on "NewQueue"); called once per loss.
    virtual void connectionDidLoseStream(const std::optional<SocketError>& error) = 0;
    // The stream never came up: the connect was refused or timed out (on "NewQueue"). Nothing was
    // lost, the server was not reached; an owner that does not tell the two apart takes it as a loss.
    virtual void connectionDidFailToConnect(const std::optional<SocketError>& error) {
        connectionDidLoseStream(error);
    }
    // The login was not completed within the login time limit of the connect (on "NewQueue"); the
    // stream is still up, the owner ends the login.
    virtual void connectionLoginTimedOut() = 0;
    // Asked on "NewQueue" after each stream read, before the next: true when the owner has too much
    // work waiting to take more now. The stream is then not read (the server's sending slows to the
    // pace of the owner) until the owner calls `resume`, from any thread.
    virtual bool connectionHoldReading(std::function<void()> resume) = 0;
    // No data-service request for the keep-alive interval (request thread); expected to queue one.
    virtual void connectionKeepAliveDue() = 0;
    // False while instrument topics must not change (one account only, in trading status 3).
    virtual bool connectionSubscriptionsAllowed() const = 0;
    // A request-socket request that got no usable reply (request thread): none in time, one over the
    // caps, one that held no data-service message; `reasonKey` the text key of why.
    virtual void connectionRequestFailed(const RequestMessage& /*request*/, std::string_view /*reasonKey*/) {}
};

enum class ConnectError {
    None,
    NoServerAddress, // the login settings hold no server address
    PortOutOfRange,  // the port is not in 1..65535
    Refused,         // the socket refused the attempt at once (e.g. already connected)
};

const char* describe(ConnectError error);
// The text key that tells the user why the connection could not be started.
std::string_view unreachableKey(ConnectError error);
// The text key that tells the user why a data-service request failed.
std::string_view failureKey(ZMQRequestError error);

struct ConnectionOptions {
    // The silence limit, in seconds. Until the login completes: no byte for this long drops the
    // stream. After it, liveness is judged by whole messages: bytes that never complete a frame do
    // not count, and this long without a whole message drops the stream.
    double readTimeout = 30.0;
    // Seconds from the connect to the login's completion (the login road's own limit, whatever
    // arrives meanwhile).
    double loginTimeout = 60.0;
    // Seconds a login waits, after a reply of it that no key opens, for a reply it can read (one
    // sealed under a key the client does not hold is followed by nothing readable).
    double unopenedLoginReplyWait = 5.0;
    std::string delegateQueueLabel = "NewQueue";
    ZMQRequesterOptions requester;
    // Longest frame accepted from the stream or a request reply.
    std::size_t maxFrameBytes = StreamDeframer::kDefaultMaxFrameBytes;
    // Most bytes one stream read takes: the messages of one read are dispatched before the owner is
    // asked whether to hold the next, so this bounds what a flood adds in one go.
    std::size_t maxReadBytes = 64 * 1024;
};

class ConnectionBase : public StreamSocketDelegate, public std::enable_shared_from_this<ConnectionBase> {
public:
    using Options = ConnectionOptions;

    // Owner, login settings and message sender must outlive the connection (or Shutdown()).
    static std::shared_ptr<ConnectionBase> Create(ConnectionOwner& owner, LoginInputData& loginData,
                                                  MessageSender& sender, Options options = {});
    ConnectionBase(ConnectionOwner& owner, LoginInputData& loginData, MessageSender& sender, Options options);
    ~ConnectionBase() override;
    ConnectionBase(const ConnectionBase&) = delete;
    ConnectionBase& operator=(const ConnectionBase&) = delete;

    // Connects the stream to the login settings' address and port. An address or port that cannot be
    // used is refused here, with nothing started.
    ConnectError ConnectToServer(bool demoRegistration);
    ConnectError reloginToServer();
    // Composes the login request (type 32) in a message of its own and builds it through the sender.
    void LoginRequest();
    // Writes a framed text to the stream (no time-out).
    void sendMessage(std::string_view framedText);
    // Manual disconnect: the stream's coming disconnect callback stays silent, a connect under way
    // sends no login; both receive threads stop.
    void DisconnectServer();
    // The owner's word that the login has completed (any thread): the login time limit no longer
    // applies, and from now on the stream lives by whole messages.
    void LoginDidComplete();
    void ReloginRequestDisconnectServer();

    // Feed socket: (re)connects, subscribing the standing topics. Throws nothing; false on failure.
    bool ConnectToZMQSubServer(const std::string& host, int port);
    bool ConnectToZMQReqServer(const std::string& host, int port);
    void ProcessSubscribeAndUnsubscribeItems(const std::vector<std::string>& codes, bool subscribe);
    // Option 6 subscribes, 7 unsubscribes.
    void SubscribeAndUnsubscribe(const std::string& topic, int option);
    // Queued for the request thread; false when the queue is full.
    bool sendZMQRequestMessage(RequestMessage request);

    bool isNetworkAvailable() const { return isNetworkAvailable_.load(); }
    void setIsNetworkAvailable(bool value) { isNetworkAvailable_.store(value); }
    bool IsDemoRegistration() const { return demoRegistration_.load(); }
    bool IsStreamConnected() const;
    // Stream connects started so far (the first login and each relogin).
    std::uint64_t StreamConnectAttempts() const { return connectAttempts_.load(); }
    // The owner holds the stream's reading (it has too much work waiting).
    bool IsReadingHeld() const { return readingHeld_.load(); }
    bool IsFeedRunning() const;
    bool IsRequesterRunning() const;
    // Request-socket requests queued, and those sent and awaiting their replies.
    std::size_t PendingRequests() const;
    std::size_t OutstandingRequests() const;
    const std::shared_ptr<StreamSocket>& Socket() const { return socket_; }
    const std::shared_ptr<platform::SerialQueue>& delegateQueue() const { return newQueue_; }

    // Stops everything and waits for the callbacks in progress; the owner is never called afterwards.
    // The owner calls it before it goes away.
    void Shutdown();

    // Stream callbacks (on "NewQueue").
    void socketDidConnectToHost(const std::shared_ptr<StreamSocket>& sock, const std::string& host,
                                std::uint16_t port) override;
    void socketDidReadData(const std::shared_ptr<StreamSocket>& sock, SocketData data, long tag) override;
    void socketDidDisconnect(const std::shared_ptr<StreamSocket>& sock,
                             const std::optional<SocketError>& error) override;

private:
    ConnectError ConnectStream();
    // Closes the stream unless it is already down; its disconnect callback then stays quiet. True
    // when a stream was closed.
    bool CloseStreamQuietly();
    struct ZmqObjects {
        std::shared_ptr<ZMQFeedSubscriber> feed;
        std::shared_ptr<ZMQRequester> requester;
    };
    // The feed and requester, made on first use (throws when the library refuses).
    ZmqObjects MadeZmqObjects();
    // Those made so far, without making any.
    ZmqObjects ExistingZmqObjects() const;
    void StopReceiveThreads();
    void StartLoginDeadline();
    void ReadStreamData(const std::shared_ptr<StreamSocket>& sock, std::string_view bytes);
    // The next stream read, unless the owner holds it; then the owner resumes it.
    void ReadNext(const std::shared_ptr<StreamSocket>& sock, double timeout);
    void ResumeReading(std::uint64_t generation);
    void DeliverReply(const RequestMessage& request, std::string reply);
    bool Alive() const { return !shutDown_.load(); }

    ConnectionOwner& owner_;
    LoginInputData& loginData_;
    MessageSender& sender_;
    Options options_;

    std::shared_ptr<platform::SerialQueue> newQueue_;
    std::shared_ptr<StreamSocket> socket_;
    StreamDeframer streamDeframer_; // "NewQueue" only
    StreamDeframer replyDeframer_;  // request thread only

    std::atomic<bool> demoRegistration_{false};
    // Streams closed on purpose whose end has not been reported yet: so many coming disconnects are
    // not losses. Each belongs to the stream it closed, so overlapping closes and connects (a burst
    // of relogins) cannot turn one into a loss.
    std::atomic<int> quietCloses_{0};
    // A demo registration's stream is up: its end is expected.
    std::atomic<bool> registrationStreamUp_{false};
    // The stream of the latest connect reached its server: its end is a loss, not a failed connect.
    std::atomic<bool> streamReached_{false};
    // Stream connects started, and the one a manual disconnect last came for: a connect the user
    // cancelled before its callback ran sends no login and its close stays quiet.
    std::atomic<std::uint64_t> connectAttempts_{0};
    std::atomic<std::uint64_t> cancelledAttempt_{0};
    std::atomic<bool> isNetworkAvailable_{false};
    std::atomic<bool> shutDown_{false};
    std::atomic<bool> loginCompleted_{false};
    std::atomic<bool> readingHeld_{false};
    // Changes with each connect and disconnect, so a login deadline armed earlier finds it moved.
    std::atomic<std::uint64_t> streamGeneration_{0};
    // When the stream last brought a whole message ("NewQueue" only).
    platform::Clock::time_point lastMessageAt_{};

    mutable std::mutex zmqLock_;
    std::shared_ptr<ZMQContext> zmqContext_;
    // Made once and kept; the lock guards only their making, never a call into them (those block on
    // the receive threads, which may themselves be waiting to queue a request).
    std::shared_ptr<ZMQFeedSubscriber> feed_;
    std::shared_ptr<ZMQRequester> requester_;
};

} // namespace tc
