#include "connection/zmq/zmq_socket.h"

#include "connection/zmq/zmq_context.h"
#include "connection/zmq/zmq_exception.h"
#include "platform/log.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>

namespace tc {

std::string ZMQSocket::nameForSocketType(int type) {
    static constexpr std::array<const char*, 9> kNames = {"ZMQ_PAIR", "ZMQ_PUB",  "ZMQ_SUB",
                                                          "ZMQ_REQ",  "ZMQ_REP",  "ZMQ_XREQ",
                                                          "ZMQ_XREP", "ZMQ_PULL", "ZMQ_PUSH"};
    const auto index = static_cast<unsigned>(type);
    return index < kNames.size() ? kNames[index] : "UNKNOWN";
}

ZMQSocket::ZMQSocket(ZMQContext& context, int type)
    : type_(type), context_(context.weak_from_this()), contextAddress_(&context) {
    socket_ = zmq_socket(context.context(), type);
    if (!socket_) {
        closed_.store(true);
        fail("zmq_socket", zmq_errno());
    }
}

ZMQSocket::~ZMQSocket() {
    try {
        close();
    } catch (const ZMQException&) {
        // Logged by close().
    }
}

void ZMQSocket::close() {
    if (closed_.exchange(true))
        return;
    void* handle = socket_;
    socket_ = nullptr;
    if (auto owner = context_.lock())
        owner->forgetSocket(this);
    if (zmq_close(handle) != 0)
        fail("zmq_close", zmq_errno());
}

std::string ZMQSocket::endpoint() const {
    std::lock_guard lock(endpointLock_);
    return endpoint_;
}

void ZMQSocket::setEndpoint(const std::string& endpoint) {
    std::lock_guard lock(endpointLock_);
    endpoint_ = endpoint;
}

std::string ZMQSocket::description() const {
    return fmt::format("<{}: {} (ctx={}, type={}, endpoint={}, closed={})>", "ZMQSocket", fmt::ptr(this),
                       fmt::ptr(contextAddress_), nameForSocketType(type_), endpoint(), isClosed() ? 1 : 0);
}

void ZMQSocket::logError(const char* function, int error) const {
    platform::Log::error("{}: *** {}: {}: {}", "ZMQLogError", description(), function, zmq_strerror(error));
}

void ZMQSocket::fail(const char* function, int error) const {
    logError(function, error);
    throw ZMQException::fromErrorNumber(error);
}

bool ZMQSocket::setData(std::string_view data, int option) {
    if (zmq_setsockopt(socket_, option, data.data(), data.size()) != 0)
        fail("zmq_setsockopt", zmq_errno());
    return true;
}

bool ZMQSocket::setIntOption(int option, int value) {
    if (zmq_setsockopt(socket_, option, &value, sizeof value) != 0)
        fail("zmq_setsockopt", zmq_errno());
    return true;
}

bool ZMQSocket::setInt64Option(int option, std::int64_t value) {
    if (zmq_setsockopt(socket_, option, &value, sizeof value) != 0)
        fail("zmq_setsockopt", zmq_errno());
    return true;
}

std::string ZMQSocket::dataForOption(int option) {
    std::array<char, 255> buffer{};
    std::size_t length = buffer.size();
    if (zmq_getsockopt(socket_, option, buffer.data(), &length) != 0)
        fail("zmq_getsockopt", zmq_errno());
    return std::string(buffer.data(), std::min(length, buffer.size()));
}

bool ZMQSocket::hasMoreDataForOption(int option) {
    // Some options are int, others 64-bit: read into a zeroed 64-bit word and look at the size reported.
    std::int64_t wide = 0;
    std::size_t length = sizeof wide;
    if (zmq_getsockopt(socket_, option, &wide, &length) != 0)
        fail("zmq_getsockopt", zmq_errno());
    if (length == sizeof(int)) {
        int narrow = 0;
        std::memcpy(&narrow, &wide, sizeof narrow);
        return narrow != 0;
    }
    return wide != 0;
}

bool ZMQSocket::bindToEndpoint(const std::string& endpoint) {
    setEndpoint(endpoint);
    if (zmq_bind(socket_, endpoint.c_str()) != 0)
        fail("zmq_bind", zmq_errno());
    return true;
}

bool ZMQSocket::connectToEndpoint(const std::string& endpoint) {
    setEndpoint(endpoint);
    if (zmq_connect(socket_, endpoint.c_str()) != 0)
        fail("zmq_connect", zmq_errno());
    return true;
}

bool ZMQSocket::disconnectFromEndpoint(const std::string& endpoint) {
    if (zmq_disconnect(socket_, endpoint.c_str()) != 0) {
        logError("zmq_disconnect", zmq_errno());
        return false;
    }
    return true;
}

bool ZMQSocket::monitor(const std::string& address, int events) {
    if (zmq_socket_monitor(socket_, address.empty() ? nullptr : address.c_str(), events) != 0)
        fail("zmq_socket_monitor", zmq_errno());
    return true;
}

bool ZMQSocket::sendData(std::string_view data, int flags) {
    zmq_msg_t message;
    if (zmq_msg_init_size(&message, data.size()) != 0)
        fail("zmq_msg_init_size", zmq_errno());
    if (!data.empty())
        std::memcpy(zmq_msg_data(&message), data.data(), data.size());
    if (zmq_msg_send(&message, socket_, flags) < 0) {
        logError("zmq_sendmsg", zmq_errno());
        if (zmq_msg_close(&message) != 0)
            logError("zmq_msg_close", zmq_errno());
        return false;
    }
    return true;
}

int ZMQSocket::receiveWithBuffer(void* buffer, std::size_t length, int flags) {
    const int received = zmq_recv(socket_, buffer, length, flags);
    if (received < 0)
        logError("zmq_recv", zmq_errno());
    return received;
}

std::string ZMQSocket::receiveDataWithFlags(int flags) {
    zmq_msg_t message;
    if (zmq_msg_init(&message) != 0)
        fail("zmq_msg_init", zmq_errno());
    if (zmq_msg_recv(&message, socket_, flags) < 0) {
        const int error = zmq_errno();
        zmq_msg_close(&message);
        fail("zmq_recv", error);
    }
    std::string data(static_cast<const char*>(zmq_msg_data(&message)), zmq_msg_size(&message));
    if (zmq_msg_close(&message) != 0)
        logError("zmq_msg_close", zmq_errno());
    return data;
}

std::optional<std::string> ZMQSocket::receiveIfWaiting() {
    std::string data;
    if (!receiveIfWaiting(data))
        return std::nullopt;
    return data;
}

bool ZMQSocket::receiveIfWaiting(std::string& into) {
    zmq_msg_t message;
    if (zmq_msg_init(&message) != 0)
        fail("zmq_msg_init", zmq_errno());
    if (zmq_msg_recv(&message, socket_, ZMQ_DONTWAIT) < 0) {
        const int error = zmq_errno();
        zmq_msg_close(&message);
        if (error == EAGAIN)
            return false;
        fail("zmq_recv", error);
    }
    into.assign(static_cast<const char*>(zmq_msg_data(&message)), zmq_msg_size(&message));
    if (zmq_msg_close(&message) != 0)
        logError("zmq_msg_close", zmq_errno());
    return true;
}

bool ZMQSocket::subscribe(std::string_view topic) {
    if (zmq_setsockopt(socket_, ZMQ_SUBSCRIBE, topic.data(), topic.size()) != 0) {
        logError("zmq_setsockopt", zmq_errno());
        return false;
    }
    return true;
}

bool ZMQSocket::unsubscribe(std::string_view topic) {
    if (zmq_setsockopt(socket_, ZMQ_UNSUBSCRIBE, topic.data(), topic.size()) != 0) {
        logError("zmq_setsockopt", zmq_errno());
        return false;
    }
    return true;
}

void ZMQSocket::getPollItem(zmq_pollitem_t* outItem, short events) const {
    if (outItem == nullptr)
        throw std::invalid_argument("NULL != outItem");
    outItem->socket = socket_;
    outItem->fd = 0;
    outItem->events = events;
    outItem->revents = 0;
}

} // namespace tc
