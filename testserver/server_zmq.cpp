#include "server_zmq.h"

#include "platform/log.h"

#include <cerrno>
#include <charconv>
#include <cstring>

namespace testserver {

namespace {

[[noreturn]] void fail(const char* function) {
    throw ZmqFailure(std::string(function) + ": " + zmq_strerror(zmq_errno()));
}

int portOfEndpoint(std::string_view endpoint) {
    const auto colon = endpoint.rfind(':');
    int port = 0;
    if (colon == std::string_view::npos)
        return 0;
    std::from_chars(endpoint.data() + colon + 1, endpoint.data() + endpoint.size(), port);
    return port;
}

} // namespace

ZmqServerContext::ZmqServerContext() {
    context_ = zmq_ctx_new();
    if (!context_)
        fail("zmq_ctx_new");
    // Ending the context never waits on a peer that went away.
    zmq_ctx_set(context_, ZMQ_IO_THREADS, 1);
    zmq_ctx_set(context_, ZMQ_BLOCKY, 0);
}

ZmqServerContext::~ZmqServerContext() {
    while (zmq_ctx_term(context_) != 0 && zmq_errno() == EINTR) {
    }
}

std::unique_ptr<ZmqServerSocket> ZmqServerContext::bind(int type, const std::string& host, int port) {
    void* socket = zmq_socket(context_, type);
    if (!socket)
        fail("zmq_socket");
    const int zero = 0;
    zmq_setsockopt(socket, ZMQ_LINGER, &zero, sizeof zero);
    const std::string endpoint =
        "tcp://" + host + ":" + (port == 0 ? std::string("*") : std::to_string(port));
    char bound[256] = {};
    std::size_t length = sizeof bound - 1;
    if (zmq_bind(socket, endpoint.c_str()) != 0 ||
        zmq_getsockopt(socket, ZMQ_LAST_ENDPOINT, bound, &length) != 0) {
        const std::string reason = zmq_strerror(zmq_errno());
        zmq_close(socket);
        throw ZmqFailure("zmq_bind " + endpoint + ": " + reason);
    }
    return std::make_unique<ZmqServerSocket>(
        socket, portOfEndpoint(std::string_view(bound, ::strnlen(bound, length))));
}

ZmqServerSocket::~ZmqServerSocket() {
    zmq_close(socket_);
}

bool ZmqServerSocket::send(std::string_view data) {
    while (zmq_send(socket_, data.data(), data.size(), 0) < 0) {
        if (zmq_errno() != EINTR) {
            tc::platform::Log::warning("testserver: zmq_send: {}", zmq_strerror(zmq_errno()));
            return false;
        }
    }
    return true;
}

bool ZmqServerSocket::waitReadable(long timeoutMs) {
    zmq_pollitem_t item{};
    item.socket = socket_;
    item.events = ZMQ_POLLIN;
    const int n = zmq_poll(&item, 1, timeoutMs);
    if (n < 0 && zmq_errno() != EINTR)
        fail("zmq_poll");
    return n > 0 && (item.revents & ZMQ_POLLIN);
}

std::string ZmqServerSocket::receive(bool& more) {
    zmq_msg_t message;
    zmq_msg_init(&message);
    while (zmq_msg_recv(&message, socket_, 0) < 0) {
        if (zmq_errno() != EINTR) {
            zmq_msg_close(&message);
            fail("zmq_msg_recv");
        }
    }
    std::string data(static_cast<const char*>(zmq_msg_data(&message)), zmq_msg_size(&message));
    more = zmq_msg_more(&message) != 0;
    zmq_msg_close(&message);
    return data;
}

} // namespace testserver
