#include "connection/zmq/zmq_requester.h"

#include "connection/zmq/zmq_context.h"
#include "connection/zmq/zmq_exception.h"
#include "connection/zmq/zmq_feed_subscriber.h"
#include "connection/zmq/zmq_socket.h"
#include "platform/log.h"
#include "platform/utf8.h"

#include <cerrno>
#include <stdexcept>

namespace tc {

using platform::Clock;

const char* describe(ZMQRequestError error) {
    switch (error) {
    case ZMQRequestError::SendFailed:
        return "the request could not be sent";
    case ZMQRequestError::NoReply:
        return "no reply in time";
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
    auto socket = openSocket();
    // From here on only the requester thread uses the socket; starting the thread publishes it there.
    running_.store(true);
    thread_ = std::thread([this, socket = std::move(socket)]() mutable { run(std::move(socket)); });
}

std::shared_ptr<ZMQSocket> ZMQRequester::openSocket() {
    auto socket = context_->socketWithType(ZMQ_REQ);
    try {
        socket->setInt64Option(ZMQ_MAXMSGSIZE, options_.maxReplySize);
        socket->setIntOption(ZMQ_LINGER, 0);
        socket->connectToEndpoint(endpoint_);
    } catch (const ZMQException&) {
        socket->close();
        throw;
    }
    return socket;
}

bool ZMQRequester::sendZMQRequestMessage(RequestMessage request) {
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

void ZMQRequester::waitForNextPass(Clock::time_point passStart) {
    const auto deadline = passStart + options_.passInterval;
    std::unique_lock lock(stateLock_);
    while (!stopRequested_.load()) {
        auto clock = Clock::current();
        const auto now = clock->now();
        if (now >= deadline)
            return;
        if (clock->isManual())
            stateChanged_.wait(lock);
        else
            stateChanged_.wait_for(lock, deadline - now);
    }
}

void ZMQRequester::run(std::shared_ptr<ZMQSocket> socket) {
    bool alive = true;
    try {
        while (alive && !stopRequested_.load()) {
            const auto passStart = Clock::currentTime();
            pingZMQRequestSocket(passStart);
            while (alive && !stopRequested_.load()) {
                std::optional<RequestMessage> request = dataQueue_.dequeue();
                if (!request)
                    break;
                setQueueEmptyTime();
                alive = exchange(socket, *request);
            }
            {
                std::lock_guard lock(stateLock_);
                lastPassTime_ = passStart;
                stateChanged_.notify_all();
            }
            if (alive)
                waitForNextPass(passStart);
        }
    } catch (const std::exception& e) {
        platform::Log::error("request socket: thread ends after {}", e.what());
    }
    if (socket) {
        try {
            socket->close();
        } catch (const ZMQException&) {
            // Logged by close().
        }
    }
    running_.store(false);
}

ZMQRequester::Wait ZMQRequester::waitFor(ZMQSocket& socket, short events) {
    const auto deadline = std::chrono::steady_clock::now() + options_.replyTimeout;
    for (;;) {
        if (stopRequested_.load())
            return Wait::Stopped;
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return Wait::TimedOut;
        const auto slice = std::min<std::chrono::microseconds>(left, options_.pollSlice);
        zmq_pollitem_t item;
        socket.getPollItem(&item, events);
        const int ready = ZMQContext::pollWithItems(&item, 1, static_cast<long>(slice.count()));
        if (ready < 0) {
            if (zmq_errno() == EINTR)
                continue;
            throw ZMQException::fromErrorNumber(zmq_errno());
        }
        if (item.revents & events)
            return Wait::Ready;
    }
}

void ZMQRequester::resetSocket(std::shared_ptr<ZMQSocket>& socket) {
    resets_.fetch_add(1);
    if (socket) {
        try {
            socket->setIntOption(ZMQ_LINGER, 0);
            socket->close();
        } catch (const ZMQException&) {
            // Logged; the handle is gone either way.
        }
        socket.reset();
    }
    try {
        socket = openSocket();
    } catch (const ZMQException& e) {
        // Tried again before the next request.
        platform::Log::error("request socket: cannot reopen {}: {}", endpoint_, e.reason());
    }
}

bool ZMQRequester::exchange(std::shared_ptr<ZMQSocket>& socket, const RequestMessage& request) {
    try {
        if (!socket)
            socket = openSocket();

        switch (waitFor(*socket, ZMQ_POLLOUT)) {
        case Wait::Ready:
            break;
        case Wait::Stopped:
            fail(request, ZMQRequestError::Stopped, "stopped before sending");
            return false;
        case Wait::TimedOut:
            fail(request, ZMQRequestError::SendFailed, "the socket was not ready to send");
            return true;
        }
        if (!socket->sendData(request.message, ZMQ_DONTWAIT)) {
            platform::Log::error("FAIL: Couldn't send request");
            // Nothing went out, so there is no reply to wait for.
            fail(request, ZMQRequestError::SendFailed, "the socket refused the request");
            return true;
        }

        switch (waitFor(*socket, ZMQ_POLLIN)) {
        case Wait::Ready:
            break;
        case Wait::Stopped:
            fail(request, ZMQRequestError::Stopped, "stopped while waiting for the reply");
            return false;
        case Wait::TimedOut:
            platform::Log::warning("request socket: no reply from {} in {} ms, reopening", endpoint_,
                                   options_.replyTimeout.count());
            resetSocket(socket);
            fail(request, ZMQRequestError::NoReply,
                 fmt::format("no reply in {} ms", options_.replyTimeout.count()));
            return true;
        }

        // A multipart message arrives whole, so the remaining frames are already there. Every frame is
        // read even when only the first is wanted, or the socket could not send the next request.
        std::string reply = socket->receiveDataWithFlags(ZMQ_DONTWAIT);
        std::uint64_t total = reply.size();
        while (socket->hasMoreDataForOption(ZMQ_RCVMORE)) {
            std::string frame = socket->receiveDataWithFlags(ZMQ_DONTWAIT);
            total += frame.size();
            if (request.receivingStrategy == 1 && total <= static_cast<std::uint64_t>(options_.maxReplySize))
                reply += frame;
        }
        if (total > static_cast<std::uint64_t>(options_.maxReplySize)) {
            fail(request, ZMQRequestError::ReplyTooLarge,
                 fmt::format("reply of {} bytes is over the {} byte cap", total, options_.maxReplySize));
            return true;
        }
        if (!platform::isValidUtf8(reply)) {
            fail(request, ZMQRequestError::MalformedReply, "reply is not UTF-8");
            return true;
        }
        deliver(request, std::move(reply));
        return true;
    } catch (const ZMQException& e) {
        if (e.errorCode() == ETERM) {
            fail(request, ZMQRequestError::Stopped, e.reason());
            return false;
        }
        resetSocket(socket);
        fail(request, ZMQRequestError::SocketError, e.reason());
        return true;
    }
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
