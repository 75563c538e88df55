#pragma once
// The test server's ZeroMQ side over the bare library: one context and the sockets it binds (the feed's
// publisher, the data service's reply socket). The server only binds and serves, so it takes none of
// the client's transport. Library failures throw ZmqFailure with the library's text.
#include <zmq.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace testserver {

struct ZmqFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class ZmqServerSocket;

class ZmqServerContext {
public:
    ZmqServerContext(); // one I/O thread
    ~ZmqServerContext();
    ZmqServerContext(const ZmqServerContext&) = delete;
    ZmqServerContext& operator=(const ZmqServerContext&) = delete;

    // Bound to tcp://host:port (any free port for 0), with a zero linger.
    std::unique_ptr<ZmqServerSocket> bind(int type, const std::string& host, int port);

private:
    void* context_ = nullptr;
};

class ZmqServerSocket {
public:
    ZmqServerSocket(void* socket, int port) : socket_(socket), port_(port) {}
    ~ZmqServerSocket();
    ZmqServerSocket(const ZmqServerSocket&) = delete;
    ZmqServerSocket& operator=(const ZmqServerSocket&) = delete;

    int port() const { return port_; }
    // One frame; false (logged) when the library did not take it.
    bool send(std::string_view data);
    // Whether a frame waits, after at most `timeoutMs`.
    bool waitReadable(long timeoutMs);
    // One whole frame (blocking) and whether more frames of its message follow.
    std::string receive(bool& more);

private:
    void* socket_;
    int port_;
};

} // namespace testserver
