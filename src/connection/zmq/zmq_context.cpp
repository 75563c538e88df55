#include "connection/zmq/zmq_context.h"

#include "connection/zmq/zmq_exception.h"
#include "connection/zmq/zmq_socket.h"
#include "platform/log.h"

#include <cerrno>

namespace tc {

void ZMQContext::getZMQVersion(int* major, int* minor, int* patch) {
    int a = 0, b = 0, c = 0;
    zmq_version(&a, &b, &c);
    if (major)
        *major = a;
    if (minor)
        *minor = b;
    if (patch)
        *patch = c;
}

long ZMQContext::pollTimeoutMillis(long timeoutUsec) {
    if (timeoutUsec < 0)
        return -1;
    return timeoutUsec / 1000 + (timeoutUsec % 1000 != 0 ? 1 : 0);
}

int ZMQContext::pollWithItems(zmq_pollitem_t* items, int count, long timeoutUsec) {
    return zmq_poll(items, count, pollTimeoutMillis(timeoutUsec));
}

ZMQContext::ZMQContext(int ioThreads) {
    void* handle = zmq_ctx_new();
    int error = handle ? 0 : zmq_errno();
    if (handle && zmq_ctx_set(handle, ZMQ_IO_THREADS, ioThreads) != 0)
        error = zmq_errno();
    // Sockets start with a zero linger, so ending the context never waits on a peer that went away.
    if (handle && error == 0 && zmq_ctx_set(handle, ZMQ_BLOCKY, 0) != 0)
        error = zmq_errno();
    if (error != 0) {
        if (handle)
            zmq_ctx_term(handle);
        platform::Log::error("{}: *** Error creating ZMQContext: zmq_init: {}",
                             "-[ZMQContext initWithIOThreads:]", zmq_strerror(error));
        throw ZMQException::fromErrorNumber(error);
    }
    context_.store(handle);
}

ZMQContext::~ZMQContext() {
    terminate();
}

std::shared_ptr<ZMQSocket> ZMQContext::socketWithType(int type) {
    auto socket = std::make_shared<ZMQSocket>(*this, type);
    std::lock_guard lock(socketsLock_);
    std::erase_if(sockets_, [](const auto& entry) { return entry.second->isClosed(); });
    sockets_.emplace(socket.get(), socket);
    return socket;
}

std::vector<std::shared_ptr<ZMQSocket>> ZMQContext::sockets() const {
    std::lock_guard lock(socketsLock_);
    std::vector<std::shared_ptr<ZMQSocket>> open;
    for (const auto& [key, socket] : sockets_) {
        if (!socket->isClosed())
            open.push_back(socket);
    }
    return open;
}

void ZMQContext::forgetSocket(const ZMQSocket* socket) {
    std::lock_guard lock(socketsLock_);
    sockets_.erase(socket);
}

void ZMQContext::closeSockets() {
    std::map<const ZMQSocket*, std::shared_ptr<ZMQSocket>> all;
    {
        std::lock_guard lock(socketsLock_);
        all.swap(sockets_);
    }
    for (auto& [key, socket] : all) {
        try {
            socket->close();
        } catch (const ZMQException&) {
            // Already logged; the remaining sockets still get closed.
        }
    }
}

void ZMQContext::terminate() {
    closeSockets();
    void* handle = context_.exchange(nullptr);
    if (handle) {
        while (zmq_ctx_term(handle) != 0 && zmq_errno() == EINTR) {
        }
    }
    terminated_.store(true);
}

} // namespace tc
