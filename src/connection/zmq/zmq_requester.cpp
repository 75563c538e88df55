#include "connection/zmq/zmq_requester.h"

#include "connection/zmq/zmq_context.h"
#include "connection/zmq/zmq_exception.h"
#include "connection/zmq/zmq_feed_subscriber.h"
#include "connection/zmq/zmq_socket.h"
#include "platform/log.h"
#include "platform/utf8.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace tc {

using platform::Clock;

const char* describe(ZMQRequestError error) {
    switch (error) {
    case ZMQRequestError::SendFailed:
        return "the request could not be sent";
    case ZMQRequestError::NoReply:
        return "no reply in time";
    case ZMQRequestError::ConnectionDropped:
        return "the connection dropped before the reply (a reply over the size cap drops it)";
    case ZMQRequestError::ReplyTooLarge:
        return "the reply is too large";
    case ZMQRequestError::MalformedReply:
        return "the reply is not UTF-8 text";
    case ZMQRequestError::SocketError:
        return "the request socket failed";
    case ZMQRequestError::Stopped:
        return "the request channel stopped";
    }
    return "unknown";
}

ZMQRequester::ZMQRequester(std::shared_ptr<ZMQContext> context, Handlers handlers, Options options)
    : context_(std::move(context)), handlers_(std::move(handlers)), options_(options),
      dataQueue_(options.queueCapacity) {
    if (!context_)
        throw std::invalid_argument("ZMQRequester needs a context");
    if (options_.maxOutstanding == 0)
        options_.maxOutstanding = 1;
    // A manual clock moves without real time passing: the pacing wait must hear about it.
    clockObserver_ = Clock::addTimeObserver([this] {
        std::lock_guard lock(stateLock_);
        stateChanged_.notify_all();
    });
}

ZMQRequester::~ZMQRequester() {
    stop();
    Clock::removeTimeObserver(clockObserver_);
}

void ZMQRequester::connect(std::string_view host, int port) {
    connectToEndpoint(ZMQFeedSubscriber::tcpEndpoint(host, port));
}

void ZMQRequester::connectToEndpoint(const std::string& endpoint) {
    std::lock_guard control(controlLock_);
    if (thread_.joinable()) {
        {
            std::lock_guard lock(stateLock_);
            stopRequested_.store(true);
            stateChanged_.notify_all();
        }
        thread_.join();
    }
    stopRequested_.store(false);
    endpoint_ = endpoint;
    Channel channel = openChannel();
    // From here on only the requester thread uses the sockets; starting the thread publishes them there.
    running_.store(true);
    thread_ = std::thread([this, channel = std::move(channel)]() mutable { run(std::move(channel)); });
}

ZMQRequester::Channel ZMQRequester::openChannel() {
    Channel channel;
    channel.socket = context_->socketWithType(ZMQ_DEALER);
    try {
        channel.socket->setInt64Option(ZMQ_MAXMSGSIZE, options_.maxReplySize);
        channel.socket->setIntOption(ZMQ_LINGER, 0);
        // The library reports a dropped connection only to a monitor; without it a reply it refused
        // for its size would be waited for until the time-out.
        const std::string address = fmt::format("inproc://tc-requester-{}-{}", static_cast<const void*>(this),
                                                monitors_.fetch_add(1));
        channel.socket->monitor(address, ZMQ_EVENT_DISCONNECTED);
        channel.monitor = context_->socketWithType(ZMQ_PAIR);
        channel.monitor->setIntOption(ZMQ_LINGER, 0);
        channel.monitor->connectToEndpoint(address);
        channel.socket->connectToEndpoint(endpoint_);
    } catch (const ZMQException&) {
        closeChannel(channel);
        throw;
    }
    return channel;
}

void ZMQRequester::closeChannel(Channel& channel) {
    try {
        if (channel.socket && channel.monitor)
            channel.socket->monitor({}, 0);
    } catch (const ZMQException&) {
        // Logged; the socket goes either way.
    }
    for (auto* socket : {&channel.socket, &channel.monitor}) {
        if (!*socket)
            continue;
        try {
            (*socket)->close();
        } catch (const ZMQException&) {
            // Logged by close().
        }
        socket->reset();
    }
}

void ZMQRequester::resetChannel(Channel& channel) {
    resets_.fetch_add(1);
    closeChannel(channel);
    try {
        Channel fresh = openChannel();
        channel.socket = std::move(fresh.socket);
        channel.monitor = std::move(fresh.monitor);
    } catch (const ZMQException& e) {
        // Tried again before the next request.
        platform::Log::error("request socket: cannot reopen {}: {}", endpoint_, e.reason());
    }
}

bool ZMQRequester::sendZMQRequestMessage(RequestMessage request) {
    request.queuedAt = std::chrono::steady_clock::now();
    if (!dataQueue_.enqueue(std::move(request))) {
        platform::Log::warning("request queue holds {} requests, one refused", dataQueue_.capacity());
        return false;
    }
    return true;
}

void ZMQRequester::stop() {
    std::lock_guard control(controlLock_);
    if (!thread_.joinable())
        return;
    {
        std::lock_guard lock(stateLock_);
        stopRequested_.store(true);
        stateChanged_.notify_all();
    }
    thread_.join();
}

std::optional<Clock::time_point> ZMQRequester::queueEmptyTime() const {
    std::lock_guard lock(stateLock_);
    return queueEmptyTime_;
}

std::optional<Clock::time_point> ZMQRequester::lastPassTime() const {
    std::lock_guard lock(stateLock_);
    return lastPassTime_;
}

bool ZMQRequester::waitForPassAt(Clock::time_point t, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(stateLock_);
    return stateChanged_.wait_for(lock, timeout, [&] { return lastPassTime_ && *lastPassTime_ >= t; });
}

void ZMQRequester::setQueueEmptyTime() {
    if (!dataQueue_.empty())
        return;
    const auto now = Clock::currentTime();
    std::lock_guard lock(stateLock_);
    queueEmptyTime_ = now;
}

void ZMQRequester::pingZMQRequestSocket(Clock::time_point now) {
    std::optional<Clock::time_point> emptySince = queueEmptyTime();
    if (!emptySince || !dataQueue_.empty() || now - *emptySince <= options_.keepAliveInterval)
        return;
    if (!handlers_.onKeepAliveDue)
        return;
    try {
        handlers_.onKeepAliveDue();
    } catch (const std::exception& e) {
        platform::Log::error("request socket: keep-alive handler failed: {}", e.what());
    }
    // The keep-alive is composed elsewhere and queued later; until it is taken, asking again on the
    // next passes would compose a second one. Ask again only after another idle interval.
    std::lock_guard lock(stateLock_);
    queueEmptyTime_ = now;
}

void ZMQRequester::run(Channel channel) {
    try {
        while (!stopRequested_.load()) {
            const auto passStart = Clock::currentTime();
            pingZMQRequestSocket(passStart);
            // The queue drains until it is found empty; what comes later waits for the next pass.
            const bool draining = sendQueued(channel);
            {
                std::lock_guard lock(stateLock_);
                lastPassTime_ = passStart;
                stateChanged_.notify_all();
            }
            serve(channel, passStart, draining);
        }
    } catch (const std::exception& e) {
        platform::Log::error("request socket: thread ends after {}", e.what());
    }
    failOutstanding(channel, ZMQRequestError::Stopped, "stopped while waiting for the reply");
    closeChannel(channel);
    running_.store(false);
}

void ZMQRequester::serve(Channel& channel, Clock::time_point passStart, bool draining) {
    const auto passDue = passStart + options_.passInterval;
    for (;;) {
        if (stopRequested_.load())
            return;
        auto clock = Clock::current();
        const auto now = clock->now();
        if (now >= passDue)
            return;
        expire(channel);
        if (draining)
            draining = sendQueued(channel);
        if (!channel.outstanding.empty()) {
            // Replies are awaited: watch the socket, in slices that see a stop, the next time limit
            // and (on the real clock) the next pass.
            auto limit = std::chrono::duration_cast<std::chrono::microseconds>(options_.pollSlice);
            const auto untilDeadline = std::chrono::duration_cast<std::chrono::microseconds>(
                channel.outstanding.front().deadline - std::chrono::steady_clock::now());
            limit = std::max(std::chrono::microseconds(0), std::min(limit, untilDeadline));
            if (!clock->isManual())
                limit = std::min(limit, std::chrono::duration_cast<std::chrono::microseconds>(passDue - now));
            pollChannel(channel, limit);
            continue;
        }
        // Nothing awaited and the queue found empty: sleep until the next pass or a stop.
        std::unique_lock lock(stateLock_);
        if (stopRequested_.load())
            continue;
        // A manual clock may have moved since it was read, its notice sent before this wait began:
        // read it again under the lock, or the wait would outlast the pass it missed.
        if (!clock->isManual())
            stateChanged_.wait_for(lock, passDue - now);
        else if (clock->now() < passDue)
            stateChanged_.wait(lock);
    }
}

bool ZMQRequester::sendQueued(Channel& channel) {
    while (!stopRequested_.load()) {
        if (channel.outstanding.size() >= options_.maxOutstanding)
            return true;
        std::optional<RequestMessage> request = dataQueue_.dequeue();
        if (!request)
            return false;
        setQueueEmptyTime();
        const SteadyTime deadline = request->queuedAt + options_.replyTimeout;
        if (std::chrono::steady_clock::now() >= deadline) {
            // Its time ran out while it waited for a place: it is not sent at all.
            fail(*request, ZMQRequestError::NoReply,
                 fmt::format("no place to send it in {} ms", options_.replyTimeout.count()));
            continue;
        }
        if (!channel.socket) {
            resetChannel(channel);
            if (!channel.socket) {
                fail(*request, ZMQRequestError::SocketError, "the request socket cannot be opened");
                continue;
            }
        }
        const std::uint32_t id = ++channel.nextId;
        char envelope[sizeof id];
        std::memcpy(envelope, &id, sizeof id);
        try {
            // The envelope comes back in front of the reply: [id, "", reply...].
            if (!channel.socket->sendData(std::string_view(envelope, sizeof envelope),
                                          ZMQ_SNDMORE | ZMQ_DONTWAIT) ||
                !channel.socket->sendData({}, ZMQ_SNDMORE) ||
                !channel.socket->sendData(request->message, 0)) {
                platform::Log::error("FAIL: Couldn't send request");
                // A message cut short would confuse the peer: the socket starts afresh.
                resetChannel(channel);
                failOutstanding(channel, ZMQRequestError::SendFailed, "the socket refused a request");
                fail(*request, ZMQRequestError::SendFailed, "the socket refused the request");
                continue;
            }
        } catch (const ZMQException& e) {
            if (e.errorCode() == ETERM) {
                fail(*request, ZMQRequestError::Stopped, e.reason());
                stopRequested_.store(true);
                return false;
            }
            resetChannel(channel);
            failOutstanding(channel, ZMQRequestError::SocketError, e.reason());
            fail(*request, ZMQRequestError::SocketError, e.reason());
            continue;
        }
        channel.outstanding.push_back(Outstanding{id, std::move(*request), deadline});
        outstanding_.store(channel.outstanding.size());
    }
    return false;
}

void ZMQRequester::expire(Channel& channel) {
    const auto now = std::chrono::steady_clock::now();
    std::vector<Outstanding> expired;
    // Deadlines run from the queueing, which is in sending order: the oldest are in front.
    while (!channel.outstanding.empty() && channel.outstanding.front().deadline <= now) {
        expired.push_back(std::move(channel.outstanding.front()));
        channel.outstanding.pop_front();
    }
    if (expired.empty())
        return;
    outstanding_.store(channel.outstanding.size());
    platform::Log::warning("request socket: {} requests got no reply from {} in {} ms", expired.size(),
                           endpoint_, options_.replyTimeout.count());
    // A silent peer may be a dead connection: with nothing else awaited, start afresh (before the
    // failures are told, so whoever hears of them finds the new socket).
    if (channel.outstanding.empty())
        resetChannel(channel);
    for (const Outstanding& o : expired)
        fail(o.request, ZMQRequestError::NoReply,
             fmt::format("no reply in {} ms", options_.replyTimeout.count()));
}

void ZMQRequester::pollChannel(Channel& channel, std::chrono::microseconds limit) {
    if (!channel.socket)
        return;
    zmq_pollitem_t items[2];
    channel.socket->getPollItem(&items[0], ZMQ_POLLIN);
    channel.monitor->getPollItem(&items[1], ZMQ_POLLIN);
    const int ready = ZMQContext::pollWithItems(items, 2, static_cast<long>(limit.count()));
    if (ready < 0) {
        if (zmq_errno() == EINTR)
            return;
        const int error = zmq_errno();
        if (error == ETERM) {
            stopRequested_.store(true);
            return;
        }
        resetChannel(channel);
        failOutstanding(channel, ZMQRequestError::SocketError, zmq_strerror(error));
        return;
    }
    try {
        // Replies first: those that arrived before the connection dropped still count.
        if (items[0].revents & ZMQ_POLLIN)
            receiveReply(channel);
        if (items[1].revents & ZMQ_POLLIN)
            readMonitor(channel);
    } catch (const ZMQException& e) {
        if (e.errorCode() == ETERM) {
            stopRequested_.store(true);
            return;
        }
        resetChannel(channel);
        failOutstanding(channel, ZMQRequestError::SocketError, e.reason());
    }
}

void ZMQRequester::receiveReply(Channel& channel) {
    while (std::optional<std::string> first = channel.socket->receiveIfWaiting()) {
        // [id, "", frames...]; every frame is read, whatever is kept.
        std::string delimiter;
        const bool hasDelimiter = channel.socket->hasMoreDataForOption(ZMQ_RCVMORE);
        if (hasDelimiter)
            delimiter = channel.socket->receiveDataWithFlags(ZMQ_DONTWAIT);
        std::vector<std::string> frames;
        std::uint64_t total = 0;
        while (channel.socket->hasMoreDataForOption(ZMQ_RCVMORE)) {
            std::string frame = channel.socket->receiveDataWithFlags(ZMQ_DONTWAIT);
            total += frame.size();
            if (total <= static_cast<std::uint64_t>(options_.maxReplySize))
                frames.push_back(std::move(frame));
        }
        std::uint32_t id = 0;
        if (!hasDelimiter || !delimiter.empty() || first->size() != sizeof id) {
            platform::Log::warning("request socket: a reply without its request's envelope dropped");
            continue;
        }
        std::memcpy(&id, first->data(), sizeof id);
        const auto it = std::find_if(channel.outstanding.begin(), channel.outstanding.end(),
                                     [id](const Outstanding& o) { return o.id == id; });
        if (it == channel.outstanding.end()) {
            platform::Log::info("request socket: a late reply to a request that already failed dropped");
            continue;
        }
        Outstanding done = std::move(*it);
        channel.outstanding.erase(it);
        outstanding_.store(channel.outstanding.size());
        if (total > static_cast<std::uint64_t>(options_.maxReplySize)) {
            fail(done.request, ZMQRequestError::ReplyTooLarge,
                 fmt::format("reply of {} bytes is over the {} byte cap", total, options_.maxReplySize));
            continue;
        }
        std::string reply = frames.empty() ? std::string() : std::move(frames.front());
        if (done.request.receivingStrategy == 1)
            for (std::size_t i = 1; i < frames.size(); ++i)
                reply += frames[i];
        if (!platform::isValidUtf8(reply)) {
            fail(done.request, ZMQRequestError::MalformedReply, "reply is not UTF-8");
            continue;
        }
        deliver(done.request, std::move(reply));
    }
}

void ZMQRequester::readMonitor(Channel& channel) {
    bool dropped = false;
    while (std::optional<std::string> event = channel.monitor->receiveIfWaiting()) {
        // An event: its number (16 bits) and value (32 bits), then a frame with the address.
        while (channel.monitor->hasMoreDataForOption(ZMQ_RCVMORE))
            channel.monitor->receiveDataWithFlags(ZMQ_DONTWAIT);
        std::uint16_t number = 0;
        if (event->size() >= sizeof number)
            std::memcpy(&number, event->data(), sizeof number);
        dropped = dropped || number == ZMQ_EVENT_DISCONNECTED;
    }
    if (!dropped || channel.outstanding.empty())
        return;
    platform::Log::warning("request socket: the connection to {} dropped with {} replies awaited; a reply "
                           "frame over the {} byte cap drops it",
                           endpoint_, channel.outstanding.size(), options_.maxReplySize);
    // Their replies are gone with the connection; the library may not connect again by itself.
    resetChannel(channel);
    failOutstanding(channel, ZMQRequestError::ConnectionDropped, "the connection dropped before the reply");
}

void ZMQRequester::failOutstanding(Channel& channel, ZMQRequestError error, const std::string& detail) {
    std::deque<Outstanding> failed = std::exchange(channel.outstanding, {});
    outstanding_.store(0);
    for (const Outstanding& o : failed)
        fail(o.request, error, detail);
}

void ZMQRequester::fail(const RequestMessage& request, ZMQRequestError error, const std::string& detail) {
    if (!handlers_.onFailure)
        return;
    try {
        handlers_.onFailure(request, error, detail);
    } catch (const std::exception& e) {
        platform::Log::error("request socket: failure handler failed: {}", e.what());
    }
}

void ZMQRequester::deliver(const RequestMessage& request, std::string reply) {
    if (!handlers_.onReply)
        return;
    try {
        handlers_.onReply(request, std::move(reply));
    } catch (const std::exception& e) {
        platform::Log::error("request socket: reply handler failed: {}", e.what());
    }
}

} // namespace tc
