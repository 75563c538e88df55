#pragma once
// Shared pieces of the stream socket tests: a delegate that records every callback, and plain POSIX
// loopback peers.
#include "connection/socket/stream_socket.h"
#include "platform/dispatch.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tc::sockettest {

using namespace std::chrono_literals;

// Guards against hangs only; nothing waits this long when the code works.
constexpr auto kHangGuard = 10s;

inline SocketData bytes(std::string_view text) {
    return SocketData(text.begin(), text.end());
}

inline std::string text(const SocketData& data) {
    return std::string(data.begin(), data.end());
}

struct Event {
    enum Kind {
        Connect,
        ConnectUrl,
        Read,
        PartialRead,
        Write,
        PartialWrite,
        Disconnect,
        Secure,
        Accept,
        ReadTimeoutAsked,
        CloseReadStream,
        TrustAsked,
    };
    Kind kind = Connect;
    StreamSocket* socket = nullptr;
    long tag = 0;
    SocketData data;
    std::size_t length = 0;
    std::optional<SocketError> error;
    std::string host;
    std::uint16_t port = 0;
    std::filesystem::path url;
    std::shared_ptr<StreamSocket> accepted;
    StreamSocketTrust trust;
};

class Recorder : public StreamSocketDelegate {
public:
    // Hooks run on the delegate queue; set them before the sockets start.
    std::function<void(const std::shared_ptr<StreamSocket>&)> onAccept;
    std::function<void(const std::shared_ptr<StreamSocket>&, const SocketData&, long)> onRead;
    std::function<void(const std::shared_ptr<StreamSocket>&)> onSecure;
    std::function<void(const std::shared_ptr<StreamSocket>&)> onConnect;
    std::function<bool(const StreamSocketTrust&)> trustDecider; // unset: trust is not evaluated here
    double readTimeoutExtension = 0;

    void socketDidConnectToHost(const std::shared_ptr<StreamSocket>& s, const std::string& host,
                                std::uint16_t port) override {
        push({.kind = Event::Connect, .socket = s.get(), .host = host, .port = port});
        if (onConnect)
            onConnect(s);
    }
    void socketDidConnectToUrl(const std::shared_ptr<StreamSocket>& s,
                               const std::filesystem::path& url) override {
        push({.kind = Event::ConnectUrl, .socket = s.get(), .url = url});
        if (onConnect)
            onConnect(s);
    }
    void socketDidReadData(const std::shared_ptr<StreamSocket>& s, SocketData data, long tag) override {
        push({.kind = Event::Read, .socket = s.get(), .tag = tag, .data = data});
        if (onRead)
            onRead(s, data, tag);
    }
    void socketDidReadPartialDataOfLength(const std::shared_ptr<StreamSocket>& s, std::size_t length,
                                          long tag) override {
        push({.kind = Event::PartialRead, .socket = s.get(), .tag = tag, .length = length});
    }
    void socketDidWriteDataWithTag(const std::shared_ptr<StreamSocket>& s, long tag) override {
        push({.kind = Event::Write, .socket = s.get(), .tag = tag});
    }
    // The elapsed seconds are kept in `port`.
    double socketShouldTimeoutReadWithTag(const std::shared_ptr<StreamSocket>& s, long tag, double elapsed,
                                          std::size_t done) override {
        const double answer = std::exchange(readTimeoutExtension, 0); // extend once at most
        push({.kind = Event::ReadTimeoutAsked,
              .socket = s.get(),
              .tag = tag,
              .length = done,
              .port = static_cast<std::uint16_t>(elapsed)});
        return answer;
    }
    void socketDidCloseReadStream(const std::shared_ptr<StreamSocket>& s) override {
        push({.kind = Event::CloseReadStream, .socket = s.get()});
    }
    void socketDidDisconnect(const std::shared_ptr<StreamSocket>& s,
                             const std::optional<SocketError>& error) override {
        push({.kind = Event::Disconnect, .socket = s.get(), .error = error});
    }
    void socketDidSecure(const std::shared_ptr<StreamSocket>& s) override {
        push({.kind = Event::Secure, .socket = s.get()});
        if (onSecure)
            onSecure(s);
    }
    bool socketDidReceiveTrust(const std::shared_ptr<StreamSocket>& s, const StreamSocketTrust& trust,
                               std::function<void(bool)> completion) override {
        push({.kind = Event::TrustAsked, .socket = s.get(), .trust = trust});
        if (!trustDecider)
            return false;
        completion(trustDecider(trust));
        return true;
    }
    void socketDidAcceptNewSocket(const std::shared_ptr<StreamSocket>& listener,
                                  const std::shared_ptr<StreamSocket>& newSocket) override {
        {
            std::lock_guard lock(mutex_);
            accepted_.push_back(newSocket);
        }
        push({.kind = Event::Accept, .socket = listener.get(), .accepted = newSocket});
        if (onAccept)
            onAccept(newSocket);
    }

    // The first event of `kind` (for `socket` when given) past the first `skip` ones.
    std::optional<Event> waitFor(Event::Kind kind, const StreamSocket* socket = nullptr,
                                 std::size_t skip = 0) {
        std::unique_lock lock(mutex_);
        std::optional<Event> found;
        cv_.wait_for(lock, kHangGuard, [&] {
            std::size_t seen = 0;
            for (const Event& e : events_) {
                if (e.kind == kind && (!socket || e.socket == socket) && seen++ == skip) {
                    found = e;
                    return true;
                }
            }
            return false;
        });
        return found;
    }

    std::vector<Event> events() {
        std::lock_guard lock(mutex_);
        return events_;
    }

    std::size_t count(Event::Kind kind, const StreamSocket* socket = nullptr) {
        std::lock_guard lock(mutex_);
        std::size_t n = 0;
        for (const Event& e : events_)
            n += e.kind == kind && (!socket || e.socket == socket);
        return n;
    }

    std::vector<std::shared_ptr<StreamSocket>> takeAccepted() {
        std::lock_guard lock(mutex_);
        return std::exchange(accepted_, {});
    }

    // Waits until `n` events of a kind have arrived.
    bool waitForCount(Event::Kind kind, std::size_t n, const StreamSocket* socket = nullptr) {
        return waitFor(kind, socket, n - 1).has_value();
    }

private:
    void push(Event e) {
        {
            std::lock_guard lock(mutex_);
            events_.push_back(std::move(e));
        }
        cv_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<Event> events_;
    std::vector<std::shared_ptr<StreamSocket>> accepted_;
};

// A blocking POSIX listener on a loopback address with an ephemeral port.
class PlainListener {
public:
    explicit PlainListener(int family = AF_INET, std::uint16_t port = 0) {
        fd_ = ::socket(family, SOCK_STREAM, 0);
        int on = 1;
        setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (family == AF_INET) {
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_port = htons(port);
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            ok_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        } else {
            setsockopt(fd_, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
            sockaddr_in6 a{};
            a.sin6_family = AF_INET6;
            a.sin6_port = htons(port);
            a.sin6_addr = in6addr_loopback;
            ok_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        }
        ok_ = ok_ && ::listen(fd_, 16) == 0;
        sockaddr_storage s{};
        socklen_t length = sizeof s;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&s), &length);
        port_ = ntohs(family == AF_INET ? reinterpret_cast<sockaddr_in*>(&s)->sin_port
                                        : reinterpret_cast<sockaddr_in6*>(&s)->sin6_port);
    }
    ~PlainListener() {
        if (fd_ != -1)
            ::close(fd_);
    }
    bool ok() const { return ok_; }
    std::uint16_t port() const { return port_; }
    void close() {
        ::close(fd_);
        fd_ = -1;
    }
    // The next connection, or -1 when none came within the hang guard.
    int accept() {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(std::chrono::milliseconds(kHangGuard).count())) != 1)
            return -1;
        return ::accept(fd_, nullptr, nullptr);
    }

private:
    int fd_ = -1;
    bool ok_ = false;
    std::uint16_t port_ = 0;
};

// Closes sockets and lets go of them on the calling thread, once nothing else holds them. A socket
// released last on its own queue ends that queue's thread on its own, which may then outlive the test
// process's clean-up of OpenSSL's per-thread state.
inline void retire(std::vector<std::shared_ptr<StreamSocket>> sockets, platform::SerialQueue& delegateQueue) {
    for (auto& s : sockets) {
        if (!s)
            continue;
        s->disconnect();
        s->performBlock([] {});
    }
    delegateQueue.sync([] {});
    sockets.clear();
}

inline bool sendAll(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t r = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (r <= 0)
            return false;
        data.remove_prefix(static_cast<std::size_t>(r));
    }
    return true;
}

// Reads exactly n bytes (or less when the peer closes or the hang guard passes).
inline std::string receive(int fd, std::size_t n) {
    std::string out;
    char buffer[65536];
    while (out.size() < n) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(std::chrono::milliseconds(kHangGuard).count())) != 1)
            break;
        ssize_t r = ::recv(fd, buffer, std::min(sizeof buffer, n - out.size()), 0);
        if (r <= 0)
            break;
        out.append(buffer, static_cast<std::size_t>(r));
    }
    return out;
}

// True when the peer closed the connection (reads end of stream before the hang guard).
inline bool peerClosed(int fd) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(std::chrono::milliseconds(kHangGuard).count())) != 1)
        return false;
    char c;
    return ::recv(fd, &c, 1, 0) == 0;
}

} // namespace tc::sockettest
