#include "connection/connection_base.h"

#include "connection/device_info.h"
#include "connection/zmq/zmq_context.h"
#include "connection/zmq/zmq_exception.h"
#include "connection/zmq/zmq_feed_subscriber.h"
#include "platform/date_format.h"
#include "platform/log.h"
#include "wire/login_inputdata.h"
#include "wire/message_base.h"
#include "wire/wire_date.h"
#include "wire/wire_names.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <zmq.h>

namespace tc {

const char* describe(ConnectError error) {
    switch (error) {
    case ConnectError::None:
        return "no error";
    case ConnectError::NoServerAddress:
        return "no server address is set";
    case ConnectError::PortOutOfRange:
        return "the server port is not between 1 and 65535";
    case ConnectError::Refused:
        return "the connection could not be started";
    }
    return "unknown error";
}

std::string_view unreachableKey(ConnectError error) {
    switch (error) {
    case ConnectError::NoServerAddress:
        return "93342";
    case ConnectError::PortOutOfRange:
        return "93343";
    case ConnectError::None:
    case ConnectError::Refused:
        break;
    }
    return "93344";
}

std::string_view failureKey(ZMQRequestError error) {
    switch (error) {
    case ZMQRequestError::SendFailed:
        return "93304";
    case ZMQRequestError::NoReply:
        return "93345";
    case ZMQRequestError::ConnectionDropped:
        return "93346";
    case ZMQRequestError::ReplyTooLarge:
        return "93347";
    case ZMQRequestError::MalformedReply:
        return "93348";
    case ZMQRequestError::SocketError:
    case ZMQRequestError::Stopped:
        break;
    }
    return "93349";
}

std::shared_ptr<ConnectionBase> ConnectionBase::Create(ConnectionOwner& owner, LoginInputData& loginData,
                                                       MessageSender& sender, Options options) {
    auto connection = std::make_shared<ConnectionBase>(owner, loginData, sender, std::move(options));
    connection->socket_->setDelegate(std::weak_ptr<StreamSocketDelegate>(connection),
                                     DelegateQueue(connection->newQueue_));
    return connection;
}

ConnectionBase::ConnectionBase(ConnectionOwner& owner, LoginInputData& loginData, MessageSender& sender,
                               Options options)
    : owner_(owner), loginData_(loginData), sender_(sender), options_(std::move(options)),
      newQueue_(std::make_shared<platform::SerialQueue>(options_.delegateQueueLabel)),
      socket_(StreamSocket::create()), streamDeframer_(options_.maxFrameBytes),
      replyDeframer_(options_.maxFrameBytes) {}

ConnectionBase::~ConnectionBase() {
    Shutdown();
}

void ConnectionBase::Shutdown() {
    if (shutDown_.exchange(true))
        return;
    socket_->synchronouslySetDelegate({});
    socket_->disconnect();
    const ZmqObjects zmq = ExistingZmqObjects();
    if (zmq.feed)
        zmq.feed->stop();
    if (zmq.requester)
        zmq.requester->stop();
    // Wait for a stream callback that may be running; later ones see the flag and return.
    if (!newQueue_->isCurrent())
        newQueue_->sync([] {});
}

ConnectError ConnectionBase::ConnectToServer(bool demoRegistration) {
    demoRegistration_.store(demoRegistration);
    return ConnectStream();
}

ConnectError ConnectionBase::reloginToServer() {
    // The server asks for a new sign-in while this stream is still up: it is closed here, quietly
    // (not a loss), so the new connection can be made; its login request follows on connect.
    CloseStreamQuietly();
    return ConnectStream();
}

bool ConnectionBase::CloseStreamQuietly() {
    // Checked and closed in one step on the socket's queue: a stream that is started reports its end
    // exactly once, so exactly that report is the one kept quiet. A stream that ended by itself just
    // before reports its own end, a loss.
    bool closing = false;
    socket_->performBlock([&] {
        closing = !socket_->isDisconnected();
        if (closing) {
            quietCloses_.fetch_add(1);
            socket_->disconnect();
        }
    });
    return closing;
}

ConnectError ConnectionBase::ConnectStream() {
    const std::optional<std::string> host = loginData_.IPAddress();
    if (!host || host->empty())
        return ConnectError::NoServerAddress;
    const std::int32_t port = loginData_.PortNo();
    if (port < 1 || port > 65535)
        return ConnectError::PortOutOfRange;
    // A stream that is still connected is left as it is; the socket refuses a second connect.
    connectAttempts_.fetch_add(1);
    streamReached_.store(false);
    SocketError error;
    if (!socket_->connectToHost(*host, static_cast<std::uint16_t>(port), &error)) {
        platform::Log::warning("stream connect to {}:{} refused: {}", *host, port, error.description);
        return ConnectError::Refused;
    }
    return ConnectError::None;
}

void ConnectionBase::LoginRequest() {
    MessageBase message;
    message.setSender(&sender_);
    using namespace wire::tag;
    message.startRequest(wire::msg::kLogin);
    message.setValue(kUserName, loginData_.userName().value_or(""));
    message.setValue(kPassword, loginData_.password().value_or(""));
    message.setValue(kRequestId, "0");
    message.setValue(kReferenceId, "1");
    if (auto v = loginData_.productName())
        message.setValue(kProductName, *v);
    if (auto v = loginData_.productVersion())
        message.setValue(kProductVersion, *v);
    if (auto v = DeviceInfo::ipAddress())
        message.setValue(kDeviceAddress, *v);
    message.setValue(kDeviceDescription,
                     DeviceInfo::model().value_or("") + "#" + DeviceInfo::systemVersion().value_or(""));
    if (auto v = DeviceInfo::userName())
        message.setValue(kDeviceUser, *v);
    // The snapshot is asked for in its control-character form.
    message.setValue(kPayloadForm, "AMP");
    message.setValue(kTime, wire::nowText());
    message.BuildMessage();
}

void ConnectionBase::sendMessage(std::string_view framedText) {
    if (framedText.empty())
        return;
    socket_->writeData(SocketData(framedText.begin(), framedText.end()), -1, 0);
}

void ConnectionBase::DisconnectServer() {
    ++streamGeneration_;
    cancelledAttempt_.store(connectAttempts_.load());
    CloseStreamQuietly();
    StopReceiveThreads();
}

void ConnectionBase::ReloginRequestDisconnectServer() {
    socket_->disconnect();
    StopReceiveThreads();
}

void ConnectionBase::LoginDidComplete() {
    loginCompleted_.store(true);
}

void ConnectionBase::StartLoginDeadline() {
    const std::uint64_t generation = streamGeneration_.load();
    newQueue_->after(std::chrono::duration_cast<platform::Clock::duration>(
                         std::chrono::duration<double>(options_.loginTimeout)),
                     [weak = weak_from_this(), generation] {
                         auto self = weak.lock();
                         if (!self || !self->Alive() || self->streamGeneration_.load() != generation ||
                             self->loginCompleted_.load())
                             return;
                         platform::Log::error("the server did not complete the login within {} s",
                                              self->options_.loginTimeout);
                         self->owner_.connectionLoginTimedOut();
                     });
}

void ConnectionBase::StopReceiveThreads() {
    // The caller may be one of the receive threads itself, which cannot wait for its own end: the
    // stop is made from the shared pool.
    platform::GlobalQueue::async([weak = weak_from_this()] {
        auto self = weak.lock();
        if (!self)
            return; // gone: its destructor stopped them
        const ZmqObjects zmq = self->ExistingZmqObjects();
        if (zmq.feed)
            zmq.feed->stop();
        if (zmq.requester)
            zmq.requester->stop();
    });
}

bool ConnectionBase::IsStreamConnected() const {
    return socket_->isConnected();
}

bool ConnectionBase::IsFeedRunning() const {
    const auto feed = ExistingZmqObjects().feed;
    return feed && feed->isRunning();
}

bool ConnectionBase::IsRequesterRunning() const {
    const auto requester = ExistingZmqObjects().requester;
    return requester && requester->isRunning();
}

std::size_t ConnectionBase::PendingRequests() const {
    const auto requester = ExistingZmqObjects().requester;
    return requester ? requester->pendingRequests() : 0;
}

std::size_t ConnectionBase::OutstandingRequests() const {
    const auto requester = ExistingZmqObjects().requester;
    return requester ? requester->outstandingRequests() : 0;
}

ConnectionBase::ZmqObjects ConnectionBase::ExistingZmqObjects() const {
    std::lock_guard lock(zmqLock_);
    return {feed_, requester_};
}

ConnectionBase::ZmqObjects ConnectionBase::MadeZmqObjects() {
    std::lock_guard lock(zmqLock_);
    if (!zmqContext_) {
        int major = 0, minor = 0, patch = 0;
        ZMQContext::getZMQVersion(&major, &minor, &patch);
        platform::Log::info("Current ZeroMQ version is {}.{}.{}.", major, minor, patch);
        zmqContext_ = ZMQContext::create(1);
    }
    if (!feed_) {
        feed_ = std::make_shared<ZMQFeedSubscriber>(
            zmqContext_,
            [this](const std::string& text) {
                if (Alive())
                    owner_.connectionDidReceiveFeedMessage(text);
            },
            [](const ZMQException& error) { platform::Log::warning("feed stopped: {}", error.what()); });
    }
    if (!requester_) {
        ZMQRequester::Handlers handlers;
        handlers.onReply = [this](const RequestMessage& request, std::string reply) {
            DeliverReply(request, std::move(reply));
        };
        handlers.onFailure = [this](const RequestMessage& request, ZMQRequestError error,
                                    const std::string& detail) {
            platform::Log::warning("data-service request failed ({}): {}", describe(error), detail);
            if (Alive())
                owner_.connectionRequestFailed(request, failureKey(error));
        };
        handlers.onKeepAliveDue = [this] {
            if (Alive())
                owner_.connectionKeepAliveDue();
        };
        requester_ = std::make_shared<ZMQRequester>(zmqContext_, std::move(handlers), options_.requester);
    }
    return {feed_, requester_};
}

bool ConnectionBase::ConnectToZMQSubServer(const std::string& host, int port) {
    if (!Alive())
        return false;
    try {
        MadeZmqObjects().feed->connect(host, port);
        return true;
    } catch (const std::exception& e) {
        platform::Log::error("feed socket not connected to {}:{}: {}", host, port, e.what());
        return false;
    }
}

bool ConnectionBase::ConnectToZMQReqServer(const std::string& host, int port) {
    if (!Alive())
        return false;
    try {
        MadeZmqObjects().requester->connect(host, port);
        return true;
    } catch (const std::exception& e) {
        platform::Log::error("request socket not connected to {}:{}: {}", host, port, e.what());
        return false;
    }
}

void ConnectionBase::ProcessSubscribeAndUnsubscribeItems(const std::vector<std::string>& codes,
                                                         bool subscribe) {
    if (!owner_.connectionSubscriptionsAllowed())
        return;
    const int option = subscribe ? ZMQ_SUBSCRIBE : ZMQ_UNSUBSCRIBE;
    for (const std::string& code : codes) {
        // An empty topic would subscribe to every message of the feed.
        if (code.empty())
            continue;
        SubscribeAndUnsubscribe(code, option);
        SubscribeAndUnsubscribe(ZMQFeedSubscriber::depthTopic(code), option);
    }
}

void ConnectionBase::SubscribeAndUnsubscribe(const std::string& topic, int option) {
    try {
        const auto feed = MadeZmqObjects().feed;
        const bool queued = option == ZMQ_SUBSCRIBE ? feed->subscribe(topic) : feed->unsubscribe(topic);
        if (!queued)
            platform::Log::debug("feed topic change of {} bytes not queued", topic.size());
    } catch (const std::exception& e) {
        platform::Log::error("feed topic not changed: {}", e.what());
    }
}

bool ConnectionBase::sendZMQRequestMessage(RequestMessage request) {
    try {
        if (MadeZmqObjects().requester->sendZMQRequestMessage(std::move(request)))
            return true;
        platform::Log::warning("data-service request dropped: the queue is full");
    } catch (const std::exception& e) {
        platform::Log::error("data-service request dropped: {}", e.what());
    }
    return false;
}

void ConnectionBase::DeliverReply(const RequestMessage& request, std::string reply) {
    if (!Alive())
        return;
    // A reply is framed like the stream; an unfinished frame carries over to the next reply.
    const std::uint64_t oversizeBefore = replyDeframer_.stats().oversizeDropped;
    bool answered = false;
    bool refused = false;
    replyDeframer_.feed(reply, [&](std::string_view frame) {
        if (!Alive())
            return;
        if (owner_.connectionDidReceiveReply(frame))
            answered = true;
        else
            refused = true;
    });
    if (answered || !Alive())
        return;
    // The request waits for an answer that is not coming: it has failed, and is told so.
    // The user is told the reply could not be read; the log says which way.
    const char* unreadable = replyDeframer_.stats().oversizeDropped != oversizeBefore
                                 ? "larger than a message may be"
                             : refused                       ? "that is not a data-service message"
                             : !replyDeframer_.insideFrame() ? "that holds no message"
                                                             : nullptr;
    if (unreadable) {
        platform::Log::warning("data-service reply {}", unreadable);
        owner_.connectionRequestFailed(request, "93348");
    }
}

void ConnectionBase::socketDidConnectToHost(const std::shared_ptr<StreamSocket>& sock,
                                            const std::string& host, std::uint16_t port) {
    platform::Log::info("StreamSocket didConnectToHost: {} port: {}", host, port);
    if (!Alive())
        return;
    ++streamGeneration_;
    streamReached_.store(true);
    loginCompleted_.store(false);
    lastMessageAt_ = platform::Clock::currentTime();
    streamDeframer_.reset();
    // Requests are small and wanted at once (an order, the ping whose round trip is measured): no
    // waiting for the previous segment's acknowledgement.
    sock->performBlock([&sock] {
        const int fd = sock->socketFD();
        const int on = 1;
        if (fd >= 0 && ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) != 0)
            platform::Log::warning("stream: TCP_NODELAY not set");
    });
    sock->readDataWithTimeout(-1, nullptr, 0, options_.maxReadBytes, 0);
    if (demoRegistration_.load()) {
        // The registration's own disconnect later is expected, not a loss: this stream's end is quiet.
        registrationStreamUp_.store(true);
        owner_.connectionDidConnectStream(true);
        return;
    }
    // A disconnect by hand may have come meanwhile (it marks the attempt before closing): this
    // stream is closed again, quietly, and no login goes out.
    if (connectAttempts_.load() == cancelledAttempt_.load()) {
        platform::Log::info("stream connected after it was cancelled; no login is sent");
        CloseStreamQuietly();
        return;
    }
    StartLoginDeadline();
    owner_.connectionDidConnectStream(false);
    LoginRequest();
}

void ConnectionBase::socketDidReadData(const std::shared_ptr<StreamSocket>& sock, SocketData data, long) {
    if (!Alive())
        return;
    ReadStreamData(sock, std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
}

void ConnectionBase::ReadStreamData(const std::shared_ptr<StreamSocket>& sock, std::string_view bytes) {
    const std::uint64_t framesBefore = streamDeframer_.stats().frames;
    streamDeframer_.feed(bytes, [this](std::string_view frame) {
        if (Alive())
            owner_.connectionDidReceiveMessage(frame);
    });
    if (!Alive())
        return;
    const platform::Clock::time_point now = platform::Clock::currentTime();
    if (streamDeframer_.stats().frames != framesBefore)
        lastMessageAt_ = now;
    if (!loginCompleted_.load()) {
        ReadNext(sock, options_.readTimeout);
        return;
    }
    // A peer that trickles bytes without ever finishing a message is as lost as a silent one.
    const double silent = std::chrono::duration<double>(now - lastMessageAt_).count();
    if (silent >= options_.readTimeout) {
        platform::Log::warning("no whole message from the server for {:.1f} s; the stream is dropped",
                               silent);
        sock->disconnect();
        return;
    }
    ReadNext(sock, options_.readTimeout - silent);
}

void ConnectionBase::ReadNext(const std::shared_ptr<StreamSocket>& sock, double timeout) {
    const std::uint64_t generation = streamGeneration_.load();
    const bool held = owner_.connectionHoldReading([weak = weak_from_this(), generation] {
        if (auto self = weak.lock())
            self->ResumeReading(generation);
    });
    readingHeld_.store(held);
    if (!held)
        sock->readDataWithTimeout(timeout, nullptr, 0, options_.maxReadBytes, 0);
}

void ConnectionBase::ResumeReading(std::uint64_t generation) {
    newQueue_->async([weak = weak_from_this(), generation] {
        auto self = weak.lock();
        if (!self || !self->Alive() || self->streamGeneration_.load() != generation)
            return;
        // Nothing was read while held: the silence limit starts again from here.
        self->lastMessageAt_ = platform::Clock::currentTime();
        self->ReadNext(self->socket_, self->options_.readTimeout);
    });
}

void ConnectionBase::socketDidDisconnect(const std::shared_ptr<StreamSocket>&,
                                         const std::optional<SocketError>& error) {
    platform::Log::info("socketDisconnect : {}", error ? error->description : std::string("(no error)"));
    ++streamGeneration_;
    if (!Alive())
        return;
    // The end of a stream closed on purpose (each such close reports exactly once, in order), or of
    // a registration's stream.
    const bool registration = registrationStreamUp_.exchange(false);
    for (int quiet = quietCloses_.load(); quiet > 0;)
        if (quietCloses_.compare_exchange_weak(quiet, quiet - 1))
            return;
    if (registration)
        return;
    const bool reached = streamReached_.exchange(false);
    isNetworkAvailable_.store(false);
    StopReceiveThreads();
    if (reached)
        owner_.connectionDidLoseStream(error);
    else
        owner_.connectionDidFailToConnect(error);
}

} // namespace tc
