#include "connection/zmq/zmq_feed_subscriber.h"

#include "connection/zmq/zmq_context.h"
#include "connection/zmq/zmq_socket.h"
#include "platform/log.h"
#include "platform/utf8.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace tc {

std::string ZMQFeedSubscriber::depthTopic(std::string_view code) {
    return fmt::format("MD_{};", code);
}

std::string ZMQFeedSubscriber::tcpEndpoint(std::string_view host, int port) {
    return fmt::format("tcp://{}:{}", host, port);
}

ZMQFeedSubscriber::ZMQFeedSubscriber(std::shared_ptr<ZMQContext> context, MessageHandler onMessage,
                                     FailureHandler onFailure, Options options)
    : context_(std::move(context)), onMessage_(std::move(onMessage)), onFailure_(std::move(onFailure)),
      options_(options), commands_(options.maxPendingCommands) {
    if (!context_)
        throw std::invalid_argument("ZMQFeedSubscriber needs a context");
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0)
        throw std::runtime_error(fmt::format("eventfd: {}", std::strerror(errno)));
}

ZMQFeedSubscriber::~ZMQFeedSubscriber() {
    stop();
    ::close(wakeFd_);
}

void ZMQFeedSubscriber::connectToEndpoint(const std::string& endpoint) {
    std::lock_guard control(controlLock_);
    if (thread_.joinable()) {
        stopRequested_.store(true);
        wake();
        thread_.join();
    }
    stopRequested_.store(false);

    int major = 0, minor = 0, patch = 0;
    ZMQContext::getZMQVersion(&major, &minor, &patch);
    platform::Log::info("Current ØMQ version is {}.{}.{}.", major, minor, patch);
    platform::Log::info("feed: a frame over {} bytes is refused and drops the connection",
                        options_.maxMessageSize);

    auto socket = context_->socketWithType(ZMQ_SUB);
    std::shared_ptr<ZMQSocket> monitor;
    try {
        socket->setInt64Option(ZMQ_MAXMSGSIZE, options_.maxMessageSize);
        socket->setIntOption(ZMQ_LINGER, 0);
        // The library gives up on a connection that carried an oversize frame instead of reconnecting;
        // the feed watches for dropped connections and connects again itself.
        // Unique per socket: a closed socket's inproc name lingers until the library has reaped it.
        static std::atomic<std::uint64_t> monitors{0};
        const std::string monitorAddress = fmt::format("inproc://feed-monitor-{}", ++monitors);
        socket->monitor(monitorAddress, ZMQ_EVENT_DISCONNECTED);
        monitor = context_->socketWithType(ZMQ_PAIR);
        monitor->setIntOption(ZMQ_LINGER, 0);
        monitor->connectToEndpoint(monitorAddress);
        socket->connectToEndpoint(endpoint);
        socket->subscribe(kServerMessagesTopic);
        socket->subscribe(kBroadcastTopic);
    } catch (const ZMQException&) {
        if (monitor)
            monitor->close();
        socket->close();
        throw;
    }
    // From here on only the feed thread uses the sockets; starting the thread publishes them there.
    running_.store(true);
    thread_ = std::thread([this, socket = std::move(socket), monitor = std::move(monitor)]() mutable {
        run(std::move(socket), std::move(monitor));
    });
}

bool ZMQFeedSubscriber::subscribe(std::string topic) {
    return queueCommand({true, std::move(topic)});
}

bool ZMQFeedSubscriber::unsubscribe(std::string topic) {
    return queueCommand({false, std::move(topic)});
}

bool ZMQFeedSubscriber::queueCommand(Command command) {
    if (command.topic.empty() || command.topic.size() > kMaxTopicBytes) {
        platform::Log::warning("feed: topic of {} bytes refused; a topic may have 1 to {}",
                               command.topic.size(), kMaxTopicBytes);
        return false;
    }
    if (!commands_.enqueue(std::move(command))) {
        platform::Log::warning("feed: {} subscription commands waiting, one refused", commands_.capacity());
        return false;
    }
    wake();
    return true;
}

void ZMQFeedSubscriber::stop() {
    std::lock_guard control(controlLock_);
    if (!thread_.joinable())
        return;
    stopRequested_.store(true);
    wake();
    thread_.join();
}

void ZMQFeedSubscriber::wake() {
    const std::uint64_t one = 1;
    // A full counter already means "wake up"; nothing else can go wrong with an eventfd write.
    [[maybe_unused]] auto written = ::write(wakeFd_, &one, sizeof one);
}

void ZMQFeedSubscriber::drainWake() {
    std::uint64_t count = 0;
    [[maybe_unused]] auto read = ::read(wakeFd_, &count, sizeof count);
}

void ZMQFeedSubscriber::applyCommands(ZMQSocket& socket) {
    while (auto command = commands_.dequeue()) {
        // A refused topic is logged by the socket; the feed goes on.
        if (command->subscribe)
            socket.subscribe(command->topic);
        else
            socket.unsubscribe(command->topic);
    }
}

void ZMQFeedSubscriber::reconnectAfterDrop(ZMQSocket& socket, ZMQSocket& monitor) {
    // One event: a 6-byte header (event number, value) and then the peer's address.
    std::string header = monitor.receiveDataWithFlags(ZMQ_DONTWAIT);
    while (monitor.hasMoreDataForOption(ZMQ_RCVMORE))
        monitor.receiveDataWithFlags(ZMQ_DONTWAIT);
    std::uint16_t event = 0;
    if (header.size() < sizeof event)
        return;
    std::memcpy(&event, header.data(), sizeof event);
    if (event != ZMQ_EVENT_DISCONNECTED || stopRequested_.load())
        return;
    const std::string endpoint = socket.endpoint();
    // The event carries no cause: a closed peer, the network or an oversize frame look alike here.
    platform::Log::warning("feed: connection to {} dropped; connecting again", endpoint);
    // Subscriptions stay with the socket and go out again on the new connection.
    socket.disconnectFromEndpoint(endpoint);
    socket.connectToEndpoint(endpoint);
}

void ZMQFeedSubscriber::run(std::shared_ptr<ZMQSocket> socket, std::shared_ptr<ZMQSocket> monitor) {
    std::string frame; // reused: a frame costs no allocation once the buffer has grown
    try {
        while (!stopRequested_.load()) {
            applyCommands(*socket);
            zmq_pollitem_t items[3];
            socket->getPollItem(&items[0], ZMQ_POLLIN);
            items[1] = {nullptr, wakeFd_, ZMQ_POLLIN, 0};
            monitor->getPollItem(&items[2], ZMQ_POLLIN);
            const long usec = static_cast<long>(options_.pollTimeout.count()) * 1000;
            if (ZMQContext::pollWithItems(items, 3, usec) < 0) {
                if (zmq_errno() == EINTR)
                    continue;
                throw ZMQException::fromErrorNumber(zmq_errno());
            }
            if (items[1].revents & ZMQ_POLLIN)
                drainWake();
            if (items[2].revents & ZMQ_POLLIN)
                reconnectAfterDrop(*socket, *monitor);
            if (!(items[0].revents & ZMQ_POLLIN) || stopRequested_.load())
                continue;
            // Everything already waiting, up to a batch, before polling again: one poll per message
            // costs more than the message itself at high rates.
            for (int n = 0; n < kReceiveBatch && !stopRequested_.load(std::memory_order_relaxed); ++n) {
                if (!socket->receiveIfWaiting(frame))
                    break;
                if (!platform::isValidUtf8(frame)) {
                    platform::Log::warning("feed: dropped a frame of {} bytes that is not UTF-8",
                                           frame.size());
                    continue;
                }
                try {
                    onMessage_(frame);
                } catch (const std::exception& e) {
                    platform::Log::error("feed: message handler failed: {}", e.what());
                }
            }
        }
    } catch (const ZMQException& e) {
        if (e.errorCode() != ETERM) {
            platform::Log::error("feed: thread ends after {} ({})", e.reason(), e.errorCode());
            if (onFailure_)
                onFailure_(e);
        }
    } catch (const std::exception& e) {
        platform::Log::error("feed: thread ends after {}", e.what());
    }
    try {
        socket->monitor({}, 0);
    } catch (const ZMQException&) {
        // Logged; closing the socket ends the monitoring anyway.
    }
    for (auto* owned : {&monitor, &socket}) {
        try {
            (*owned)->close();
        } catch (const ZMQException&) {
            // Logged by close().
        }
    }
    running_.store(false);
}

} // namespace tc
