#pragma once
// A ZeroMQ library context and the registry of the sockets made from it.
//
// Sockets are not thread-safe: each is used by one thread at a time (the threads that use them own them).
// Only the registry is shared, and a mutex guards it. terminate() (also run by the destructor) closes
// every registered socket and then ends the library context, so it must come after the threads that use
// those sockets have stopped.
#include <zmq.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace tc {

class ZMQSocket;

class ZMQContext : public std::enable_shared_from_this<ZMQContext> {
public:
    static void getZMQVersion(int* major, int* minor, int* patch);
    // The time-out is in microseconds (negative: wait for ever). The library counts milliseconds, so a
    // positive time-out is rounded up to whole milliseconds rather than turning into a busy poll.
    static int pollWithItems(zmq_pollitem_t* items, int count, long timeoutUsec);
    static long pollTimeoutMillis(long timeoutUsec);

    // Throws ZMQException when the library refuses the context (e.g. a negative thread count).
    explicit ZMQContext(int ioThreads);
    static std::shared_ptr<ZMQContext> create(int ioThreads) {
        return std::make_shared<ZMQContext>(ioThreads);
    }
    ~ZMQContext();
    ZMQContext(const ZMQContext&) = delete;
    ZMQContext& operator=(const ZMQContext&) = delete;

    // A new socket, kept in the registry until it is closed. Throws ZMQException.
    std::shared_ptr<ZMQSocket> socketWithType(int type);
    void closeSockets();
    void terminate();

    bool isTerminated() const { return terminated_.load(); }
    void* context() const { return context_.load(); }
    // The open sockets made by socketWithType.
    std::vector<std::shared_ptr<ZMQSocket>> sockets() const;

private:
    friend class ZMQSocket;
    void forgetSocket(const ZMQSocket* socket);

    std::atomic<void*> context_{nullptr};
    std::atomic<bool> terminated_{false};
    mutable std::mutex socketsLock_;
    std::map<const ZMQSocket*, std::shared_ptr<ZMQSocket>> sockets_;
};

} // namespace tc
