#pragma once
// One ZeroMQ library socket. Library failures are logged in one format; the failures the caller cannot
// go on from raise ZMQException, the others answer false or a negative count.
//
// Not thread-safe: one thread uses a socket at a time (a socket may be handed to another thread across a
// synchronisation point, such as the start of that thread). Bytes travel as std::string.
#include <zmq.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace tc {

class ZMQContext;

class ZMQSocket {
public:
    static std::string nameForSocketType(int type);

    // Throws ZMQException when the library refuses the socket (e.g. a terminated context).
    ZMQSocket(ZMQContext& context, int type);
    ~ZMQSocket();
    ZMQSocket(const ZMQSocket&) = delete;
    ZMQSocket& operator=(const ZMQSocket&) = delete;

    // Closes the library socket once; later calls do nothing. Throws ZMQException when the library fails.
    void close();
    bool isClosed() const { return closed_.load(); }
    int type() const { return type_; }
    std::shared_ptr<ZMQContext> context() const { return context_.lock(); }
    void* socket() const { return socket_; }
    std::string endpoint() const;
    std::string description() const;

    // Option setters and getters throw ZMQException on failure.
    bool setData(std::string_view data, int option);
    bool setIntOption(int option, int value);
    bool setInt64Option(int option, std::int64_t value);
    // The option's bytes, read into a 255-byte buffer.
    std::string dataForOption(int option);
    // True when the (int or 64-bit) option is not 0, e.g. ZMQ_RCVMORE.
    bool hasMoreDataForOption(int option);

    // Store the endpoint even when the library refuses it, then throw ZMQException.
    bool bindToEndpoint(const std::string& endpoint);
    bool connectToEndpoint(const std::string& endpoint);
    // Drops a connection made by connectToEndpoint; false (logged) when there is none.
    bool disconnectFromEndpoint(const std::string& endpoint);
    // Publishes the socket's events on an inproc PAIR endpoint (an empty address stops that). Throws.
    bool monitor(const std::string& address, int events);

    // One frame holding a copy of the bytes; false (logged) when the library did not take it.
    bool sendData(std::string_view data, int flags);
    // The library's zmq_recv: the frame's full length (more than `length` when it was truncated), negative
    // on failure (logged).
    int receiveWithBuffer(void* buffer, std::size_t length, int flags);
    // One whole frame; blocks when flags are 0. Throws ZMQException.
    std::string receiveDataWithFlags(int flags);
    // One message if one is waiting, nullopt (quietly) if none is; other failures throw.
    std::optional<std::string> receiveIfWaiting();
    // The same into `into` (its storage kept from message to message); false when none is waiting.
    bool receiveIfWaiting(std::string& into);

    // false (logged) when the library refuses; never throws.
    bool subscribe(std::string_view topic);
    bool unsubscribe(std::string_view topic);
    bool subscribeAll() { return subscribe({}); }

    // Throws std::invalid_argument for a null item.
    void getPollItem(zmq_pollitem_t* outItem, short events) const;

private:
    void logError(const char* function, int error) const;
    [[noreturn]] void fail(const char* function, int error) const;
    void setEndpoint(const std::string& endpoint);

    std::atomic<bool> closed_{false};
    const int type_;
    std::weak_ptr<ZMQContext> context_;
    const void* contextAddress_;
    void* socket_ = nullptr;
    mutable std::mutex endpointLock_;
    std::string endpoint_;
};

} // namespace tc
