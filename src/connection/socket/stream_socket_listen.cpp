// Listening, accepting, connecting to a ready address or a local socket, and interface descriptions.
#include "connection/socket/socket_poller.h"
#include "connection/socket/stream_socket.h"
#include "connection/socket/stream_socket_internal.h"
#include "platform/log.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

#include <charconv>
#include <cstring>

namespace tc {

namespace {

constexpr int kMaxAcceptsPerEvent = 64;

SocketAddress addressBytes(const void* address, std::size_t length) {
    const auto* p = static_cast<const std::uint8_t*>(address);
    return SocketAddress(p, p + length);
}

} // namespace

void StreamSocket::getInterfaceAddress(std::optional<SocketAddress>* address4,
                                       std::optional<SocketAddress>* address6, const std::string& description,
                                       std::uint16_t port) {
    std::optional<SocketAddress> a4, a6;
    std::string interface = description;
    // "name:port"; a bare IPv6 literal is not split at its colons.
    in6_addr probe6{};
    auto colon = description.find(':');
    if (colon != std::string::npos && inet_pton(AF_INET6, description.c_str(), &probe6) != 1) {
        interface = description.substr(0, colon);
        if (port == 0) {
            std::string_view portText(description);
            portText.remove_prefix(colon + 1);
            unsigned value = 0;
            auto [ptr, ec] = std::from_chars(portText.data(), portText.data() + portText.size(), value);
            if (ec == std::errc() && ptr == portText.data() + portText.size() && value >= 1 && value <= 65535)
                port = static_cast<std::uint16_t>(value);
        }
    }

    sockaddr_in s4{};
    s4.sin_family = AF_INET;
    s4.sin_port = htons(port);
    sockaddr_in6 s6{};
    s6.sin6_family = AF_INET6;
    s6.sin6_port = htons(port);
    if (interface.empty()) {
        s4.sin_addr.s_addr = htonl(INADDR_ANY);
        s6.sin6_addr = in6addr_any;
        a4 = addressBytes(&s4, sizeof s4);
        a6 = addressBytes(&s6, sizeof s6);
    } else if (interface == "localhost" || interface == "loopback") {
        s4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        s6.sin6_addr = in6addr_loopback;
        a4 = addressBytes(&s4, sizeof s4);
        a6 = addressBytes(&s6, sizeof s6);
    } else {
        ifaddrs* list = nullptr;
        if (getifaddrs(&list) == 0) {
            for (ifaddrs* ifa = list; ifa; ifa = ifa->ifa_next) {
                if (!ifa->ifa_addr)
                    continue;
                const int family = ifa->ifa_addr->sa_family;
                if (family == AF_INET && !a4) {
                    sockaddr_in found;
                    std::memcpy(&found, ifa->ifa_addr, sizeof found);
                    if (interface == ifa->ifa_name || interface == hostFromSockaddr4(found)) {
                        found.sin_port = htons(port);
                        a4 = addressBytes(&found, sizeof found);
                    }
                } else if (family == AF_INET6 && !a6) {
                    sockaddr_in6 found;
                    std::memcpy(&found, ifa->ifa_addr, sizeof found);
                    if (interface == ifa->ifa_name || interface == hostFromSockaddr6(found)) {
                        found.sin6_port = htons(port);
                        a6 = addressBytes(&found, sizeof found);
                    }
                }
            }
            freeifaddrs(list);
        }
    }
    if (address4)
        *address4 = std::move(a4);
    if (address6)
        *address6 = std::move(a6);
}

std::optional<SocketAddress> StreamSocket::getInterfaceAddressFromUrl(const std::filesystem::path& url) {
    const std::string path = url.string();
    sockaddr_un un{};
    if (path.empty() || path.size() >= sizeof un.sun_path || path.find('\0') != std::string::npos)
        return std::nullopt;
    un.sun_family = AF_UNIX;
    std::memcpy(un.sun_path, path.data(), path.size());
    return addressBytes(&un, sizeof un);
}

int StreamSocket::createListenSocket(int family, const SocketAddress& address, SocketError* error) {
    int fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *error = SocketError::posix(errno, "Error in socket() function");
        return -1;
    }
    const auto failWith = [&](const char* reason) {
        *error = SocketError::posix(errno, reason);
        ::close(fd);
        return -1;
    };
    int fl = fcntl(fd, F_GETFL, 0);
    if (fl == -1 || fcntl(fd, F_SETFL, fl | O_NONBLOCK) == -1)
        return failWith("Error enabling non-blocking IO on socket (fcntl)");
    int on = 1;
    if (setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0)
        return failWith("Error enabling address reuse (setsockopt)");
    // Each family listens on a socket of its own, so the IPv6 one must not claim IPv4 as well.
    if (family == AF_INET6)
        setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(address.data()),
               static_cast<socklen_t>(address.size())) != 0)
        return failWith("Error in bind() function");
    if (::listen(fd, kListenBacklog) != 0)
        return failWith("Error in listen() function");
    return fd;
}

StreamSocket::AcceptSource StreamSocket::addAcceptSource(int fd) {
    std::weak_ptr<StreamSocket> weak = weak_from_this();
    std::weak_ptr<platform::SerialQueue> weakQueue = socketQueue_;
    auto idBox = std::make_shared<std::atomic<std::uint64_t>>(0);
    AcceptSource source;
    source.fd = fd;
    source.id = SocketPoller::shared().add(fd, [weak, weakQueue, idBox](std::uint32_t) {
        auto queue = weakQueue.lock();
        if (!queue)
            return;
        std::uint64_t id = idBox->load();
        queue->async([weak, id] {
            if (auto s = weak.lock())
                s->onAcceptEvent(id);
        });
    });
    idBox->store(source.id);
    SocketPoller::shared().arm(source.id, fd, SocketPoller::Read);
    return source;
}

void StreamSocket::onAcceptEvent(std::uint64_t id) {
    if (id == 0)
        return;
    for (AcceptSource* source : {&accept4Source_, &accept6Source_, &acceptUNSource_}) {
        if (source->id != id)
            continue;
        const int fd = source->fd;
        for (int i = 0; i < kMaxAcceptsPerEvent && doAccept(fd); ++i) {
        }
        if (source->id == id) // still listening: wait for the next connection
            SocketPoller::shared().arm(id, fd, SocketPoller::Read);
        return;
    }
}

bool StreamSocket::doAccept(int listenFD) {
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    int child =
        ::accept4(listenFD, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (child < 0)
        return false;
    const int family = listenFD == socket4FD_ ? AF_INET : listenFD == socket6FD_ ? AF_INET6 : AF_UNIX;
    SocketAddress address = addressBytes(&peer, std::min<std::size_t>(length, sizeof peer));
    auto listener = selfForCallbacks();
    if (!delegateQueue_ || !listener) {
        ::close(child);
        return true;
    }
    std::weak_ptr<StreamSocketDelegate> weakDelegate = delegate_;
    DelegateQueue queue = delegateQueue_;
    stream_socket_detail::DescriptorGuard guard(child);
    delegateQueue_.async(
        [listener, weakDelegate, queue, address, family, guard = std::move(guard)]() mutable {
            auto d = weakDelegate.lock();
            if (!d)
                return; // the guard closes the connection
            auto socketQueue = d->newSocketQueueForConnectionFromAddress(address, listener);
            auto accepted = StreamSocket::create(weakDelegate, queue, std::move(socketQueue));
            const int fd = guard.release();
            accepted->socketQueue_->sync([&] { accepted->adoptAcceptedDescriptor(fd, family); });
            d->socketDidAcceptNewSocket(listener, accepted);
        });
    return true;
}

void StreamSocket::adoptAcceptedDescriptor(int fd, int family) {
    if (family == AF_INET)
        socket4FD_ = fd;
    else if (family == AF_INET6)
        socket6FD_ = fd;
    else
        socketUN_ = fd;
    flags_ |= kSocketStarted | kConnected;
    setupSourcesForConnectedSocket();
}

bool StreamSocket::acceptOnPort(std::uint16_t port, SocketError* error) {
    return acceptOnInterface(std::string(), port, error);
}

bool StreamSocket::acceptOnInterface(const std::string& interfaceText, std::uint16_t port,
                                     SocketError* errPtr) {
    const std::string interface = interfaceText;
    std::optional<SocketError> err;
    bool ok = onSocketQueueSync([&]() -> bool {
        if ((err = preConnectCheck(true)))
            return false;
        std::optional<SocketAddress> a4, a6;
        getInterfaceAddress(&a4, &a6, interface, port);
        if (!a4 && !a6) {
            err = SocketError::streamSocket(
                StreamSocketBadParamError,
                "Unknown interface. Specify valid interface by name (e.g. \"en1\") or IP "
                "address.");
            return false;
        }
        if ((config_ & kIPv4Disabled) && !a6) {
            err = SocketError::streamSocket(
                StreamSocketBadParamError,
                "IPv4 has been disabled and specified interface doesn't support IPv6.");
            return false;
        }
        if ((config_ & kIPv6Disabled) && !a4) {
            err = SocketError::streamSocket(
                StreamSocketBadParamError,
                "IPv6 has been disabled and specified interface doesn't support IPv4.");
            return false;
        }
        if (config_ & kIPv4Disabled)
            a4.reset();
        if (config_ & kIPv6Disabled)
            a6.reset();
        readQueue_.clear();

        SocketError e;
        if (a4) {
            socket4FD_ = createListenSocket(AF_INET, *a4, &e);
            if (socket4FD_ == -1) {
                err = e;
                return false;
            }
        }
        if (a6) {
            if (a4 && portFromAddress(*a4) == 0) {
                // Both families on the port the system picked for IPv4.
                sockaddr_in6 s6;
                std::memcpy(&s6, a6->data(), sizeof s6);
                s6.sin6_port = htons(localPort4Unlocked());
                a6 = addressBytes(&s6, sizeof s6);
            }
            socket6FD_ = createListenSocket(AF_INET6, *a6, &e);
            if (socket6FD_ == -1) {
                if (socket4FD_ != -1) {
                    ::close(socket4FD_);
                    socket4FD_ = -1;
                }
                err = e;
                return false;
            }
        }
        if (socket4FD_ != -1)
            accept4Source_ = addAcceptSource(socket4FD_);
        if (socket6FD_ != -1)
            accept6Source_ = addAcceptSource(socket6FD_);
        flags_ |= kSocketStarted;
        return true;
    });
    if (!ok && errPtr && err)
        *errPtr = *err;
    return ok;
}

std::uint16_t StreamSocket::localPort4Unlocked() const {
    sockaddr_in a{};
    socklen_t length = sizeof a;
    if (socket4FD_ == -1 || getsockname(socket4FD_, reinterpret_cast<sockaddr*>(&a), &length) != 0)
        return 0;
    return ntohs(a.sin_port);
}

bool StreamSocket::acceptOnUrl(const std::filesystem::path& url, SocketError* errPtr) {
    const std::filesystem::path path = url;
    std::optional<SocketError> err;
    bool ok = onSocketQueueSync([&]() -> bool {
        if ((err = preConnectCheck(true, false)))
            return false;
        auto address = getInterfaceAddressFromUrl(path);
        if (!address) {
            err = SocketError::streamSocket(
                StreamSocketBadParamError,
                "Invalid unix domain url. Specify a valid file url that does not exist "
                "(e.g. \"file:///tmp/socket\")");
            return false;
        }
        std::error_code ec;
        if (std::filesystem::symlink_status(path, ec).type() != std::filesystem::file_type::not_found) {
            std::filesystem::remove(path, ec);
            if (ec) {
                err = SocketError::streamSocket(StreamSocketOtherError,
                                                "Could not remove previous unix domain socket at given url.");
                return false;
            }
        }
        readQueue_.clear();
        SocketError e;
        socketUN_ = createListenSocket(AF_UNIX, *address, &e);
        if (socketUN_ == -1) {
            err = e;
            return false;
        }
        socketUrl_ = path;
        acceptUNSource_ = addAcceptSource(socketUN_);
        flags_ |= kSocketStarted;
        return true;
    });
    if (!ok && errPtr && err)
        *errPtr = *err;
    return ok;
}

bool StreamSocket::connectToAddress(const SocketAddress& address, SocketError* error) {
    return connectToAddress(address, std::string(), -1, error);
}

bool StreamSocket::connectToAddress(const SocketAddress& address, double timeout, SocketError* error) {
    return connectToAddress(address, std::string(), timeout, error);
}

bool StreamSocket::connectToAddress(const SocketAddress& addressIn, const std::string& interfaceText,
                                    double timeout, SocketError* errPtr) {
    const SocketAddress address = addressIn;
    const std::string interface = interfaceText;
    std::optional<SocketError> err;
    bool ok = onSocketQueueSync([&]() -> bool {
        const bool v4 = isIPv4Address(address) && address.size() == sizeof(sockaddr_in);
        const bool v6 = isIPv6Address(address) && address.size() == sizeof(sockaddr_in6);
        if (!v4 && !v6) {
            err = SocketError::streamSocket(StreamSocketBadParamError,
                                            "A valid IPv4 or IPv6 address was not given");
            return false;
        }
        if (v4 && (config_ & kIPv4Disabled)) {
            err = SocketError::streamSocket(StreamSocketBadParamError,
                                            "IPv4 has been disabled and an IPv4 address was passed.");
            return false;
        }
        if (v6 && (config_ & kIPv6Disabled)) {
            err = SocketError::streamSocket(StreamSocketBadParamError,
                                            "IPv6 has been disabled and an IPv6 address was passed.");
            return false;
        }
        if ((err = preConnectCheck(false)))
            return false;
        if (!interface.empty() && (err = applyConnectInterface(interface, 0)))
            return false;
        readQueue_.clear();
        writeQueue_.clear();
        if ((err = connectWithAddresses(v4 ? std::optional<SocketAddress>(address) : std::nullopt,
                                        v6 ? std::optional<SocketAddress>(address) : std::nullopt)))
            return false;
        flags_ |= kSocketStarted;
        startConnectTimeout(timeout);
        return true;
    });
    if (!ok && errPtr && err)
        *errPtr = *err;
    return ok;
}

bool StreamSocket::connectToUrl(const std::filesystem::path& url, double timeout, SocketError* errPtr) {
    const std::filesystem::path path = url;
    std::optional<SocketError> err;
    bool ok = onSocketQueueSync([&]() -> bool {
        auto address = getInterfaceAddressFromUrl(path);
        if (!address) {
            err = SocketError::streamSocket(StreamSocketBadParamError, "Invalid unix domain socket url.");
            return false;
        }
        if ((err = preConnectCheck(false, false)))
            return false;
        readQueue_.clear();
        writeQueue_.clear();
        int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            err = SocketError::posix(errno, "Error in socket() function");
            return false;
        }
        socketUN_ = fd;
        flags_ |= kSocketStarted;
        connectSocket(fd, *address, stateIndex_);
        startConnectTimeout(timeout);
        return true;
    });
    if (!ok && errPtr && err)
        *errPtr = *err;
    return ok;
}

} // namespace tc
