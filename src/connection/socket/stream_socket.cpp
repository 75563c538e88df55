#include "connection/socket/stream_socket.h"
#include "connection/socket/stream_socket_internal.h"

#include "connection/socket/socket_poller.h"
#include "platform/log.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/err.h>

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <poll.h>

namespace tc {

using platform::Clock;

using stream_socket_detail::secondsToDuration;

namespace {

SocketAddress addressBytes(const void* address, std::size_t length) {
    const auto* p = static_cast<const std::uint8_t*>(address);
    return SocketAddress(p, p + length);
}

std::optional<SocketAddress> peerAddressOf(int fd, bool peer) {
    if (fd == -1)
        return std::nullopt;
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    int r = peer ? getpeername(fd, reinterpret_cast<sockaddr*>(&storage), &length)
                 : getsockname(fd, reinterpret_cast<sockaddr*>(&storage), &length);
    if (r != 0)
        return std::nullopt;
    return addressBytes(&storage, std::min<std::size_t>(length, sizeof storage));
}

} // namespace

// ---------------------------------------------------------------------------------------------------------
// Delegate queue

void DelegateQueue::async(platform::Task work) const {
    if (main_)
        platform::MainQueue::async(std::move(work));
    else if (queue_)
        queue_->async(std::move(work));
}

// ---------------------------------------------------------------------------------------------------------
// Creation

std::shared_ptr<StreamSocket> StreamSocket::create() {
    return create({}, DelegateQueue(), nullptr);
}

std::shared_ptr<StreamSocket> StreamSocket::create(std::shared_ptr<platform::SerialQueue> socketQueue) {
    return create({}, DelegateQueue(), std::move(socketQueue));
}

std::shared_ptr<StreamSocket> StreamSocket::create(std::weak_ptr<StreamSocketDelegate> delegate,
                                                   DelegateQueue delegateQueue) {
    return create(std::move(delegate), std::move(delegateQueue), nullptr);
}

std::shared_ptr<StreamSocket> StreamSocket::create(std::weak_ptr<StreamSocketDelegate> delegate,
                                                   DelegateQueue delegateQueue,
                                                   std::shared_ptr<platform::SerialQueue> socketQueue) {
    return std::make_shared<StreamSocket>(PrivateTag{}, std::move(delegate), std::move(delegateQueue),
                                          std::move(socketQueue));
}

StreamSocket::StreamSocket(PrivateTag, std::weak_ptr<StreamSocketDelegate> delegate,
                           DelegateQueue delegateQueue, std::shared_ptr<platform::SerialQueue> socketQueue)
    : delegate_(std::move(delegate)), delegateQueue_(std::move(delegateQueue)),
      socketQueue_(std::move(socketQueue)) {
    if (!socketQueue_)
        socketQueue_ = std::make_shared<platform::SerialQueue>("StreamSocket");
}

StreamSocket::~StreamSocket() {
    auto body = [this] {
        flags_ |= kDealloc;
        closeWithError(std::nullopt);
    };
    if (socketQueue_->isCurrent()) {
        body();
    } else {
        try {
            socketQueue_->sync(body);
        } catch (const std::exception&) {
            body(); // the queue is closing: nothing else can touch the state any more
        }
    }
    delegate_.reset();
    delegateQueue_ = DelegateQueue();
}

// ---------------------------------------------------------------------------------------------------------
// Configuration

std::weak_ptr<StreamSocketDelegate> StreamSocket::delegate() const {
    return onSocketQueueSync([this] { return delegate_; });
}

void StreamSocket::setDelegate(std::weak_ptr<StreamSocketDelegate> delegate) {
    if (socketQueue_->isCurrent()) {
        delegate_ = std::move(delegate);
        return;
    }
    onSocketQueueAsync([delegate](StreamSocket& s) { s.delegate_ = delegate; });
}

void StreamSocket::synchronouslySetDelegate(std::weak_ptr<StreamSocketDelegate> delegate) {
    onSocketQueueSync([&] { delegate_ = std::move(delegate); });
}

DelegateQueue StreamSocket::delegateQueue() const {
    return onSocketQueueSync([this] { return delegateQueue_; });
}

void StreamSocket::setDelegateQueue(DelegateQueue queue) {
    if (socketQueue_->isCurrent()) {
        delegateQueue_ = std::move(queue);
        return;
    }
    onSocketQueueAsync([queue](StreamSocket& s) { s.delegateQueue_ = queue; });
}

void StreamSocket::synchronouslySetDelegateQueue(DelegateQueue queue) {
    onSocketQueueSync([&] { delegateQueue_ = std::move(queue); });
}

void StreamSocket::getDelegate(std::weak_ptr<StreamSocketDelegate>* delegate, DelegateQueue* queue) const {
    onSocketQueueSync([&] {
        if (delegate)
            *delegate = delegate_;
        if (queue)
            *queue = delegateQueue_;
    });
}

void StreamSocket::setDelegate(std::weak_ptr<StreamSocketDelegate> delegate, DelegateQueue queue) {
    if (socketQueue_->isCurrent()) {
        delegate_ = std::move(delegate);
        delegateQueue_ = std::move(queue);
        return;
    }
    onSocketQueueAsync([delegate, queue](StreamSocket& s) {
        s.delegate_ = delegate;
        s.delegateQueue_ = queue;
    });
}

void StreamSocket::synchronouslySetDelegate(std::weak_ptr<StreamSocketDelegate> delegate,
                                            DelegateQueue queue) {
    onSocketQueueSync([&] {
        delegate_ = std::move(delegate);
        delegateQueue_ = std::move(queue);
    });
}

#define TC_CONFIG_FLAG(getter, setter, bit, enabledWhenClear)                                                \
    bool StreamSocket::getter() const {                                                                      \
        return onSocketQueueSync([this] { return ((config_ & (bit)) == 0) == (enabledWhenClear); });         \
    }                                                                                                        \
    void StreamSocket::setter(bool flag) {                                                                   \
        bool setBit = (enabledWhenClear) ? !flag : flag;                                                     \
        onSocketQueueAsync([setBit](StreamSocket& s) {                                                       \
            if (setBit)                                                                                      \
                s.config_ |= (bit);                                                                          \
            else                                                                                             \
                s.config_ &= static_cast<std::uint16_t>(~(bit));                                             \
        });                                                                                                  \
    }

TC_CONFIG_FLAG(isIPv4Enabled, setIPv4Enabled, kIPv4Disabled, true)
TC_CONFIG_FLAG(isIPv6Enabled, setIPv6Enabled, kIPv6Disabled, true)
TC_CONFIG_FLAG(isIPv4PreferredOverIPv6, setIPv4PreferredOverIPv6, kPreferIPv6, true)
TC_CONFIG_FLAG(autoDisconnectOnClosedReadStream, setAutoDisconnectOnClosedReadStream,
               kAllowHalfDuplexConnection, true)
#undef TC_CONFIG_FLAG

double StreamSocket::alternateAddressDelay() const {
    return onSocketQueueSync([this] { return alternateAddressDelay_; });
}

void StreamSocket::setAlternateAddressDelay(double seconds) {
    onSocketQueueAsync([seconds](StreamSocket& s) { s.alternateAddressDelay_ = seconds; });
}

std::shared_ptr<void> StreamSocket::userData() const {
    return onSocketQueueSync([this] { return userData_; });
}

void StreamSocket::setUserData(std::shared_ptr<void> data) {
    onSocketQueueAsync([data](StreamSocket& s) { s.userData_ = data; });
}

std::size_t StreamSocket::readLengthLimit() const {
    return onSocketQueueSync([this] { return readLengthLimit_; });
}

void StreamSocket::setReadLengthLimit(std::size_t limit) {
    onSocketQueueAsync([limit](StreamSocket& s) { s.readLengthLimit_ = std::max<std::size_t>(limit, 1); });
}

void StreamSocket::performBlock(const std::function<void()>& block) {
    onSocketQueueSync([&] { block(); });
}

// ---------------------------------------------------------------------------------------------------------
// Connecting

std::optional<SocketError> StreamSocket::preConnectCheck(bool accepting, bool checkFamilies) const {
    const char* verb = accepting ? "accept" : "connect";
    if (delegate_.expired())
        return SocketError::streamSocket(StreamSocketBadConfigError,
                                         fmt::format("Attempting to {} without a delegate. "
                                                     "Set a delegate first.",
                                                     verb));
    if (!delegateQueue_)
        return SocketError::streamSocket(
            StreamSocketBadConfigError,
            fmt::format("Attempting to {} without a delegate queue. Set a delegate queue first.", verb));
    const bool bothDisabled = checkFamilies && (config_ & kIPv4Disabled) && (config_ & kIPv6Disabled);
    const auto disabledError = [] {
        return SocketError::streamSocket(
            StreamSocketBadConfigError,
            "Both IPv4 and IPv6 have been disabled. Must enable at least one protocol "
            "first.");
    };
    if (accepting && bothDisabled)
        return disabledError();
    if (flags_ & kSocketStarted)
        return SocketError::streamSocket(
            StreamSocketBadConfigError,
            fmt::format("Attempting to {} while connected or accepting connections. Disconnect first.",
                        verb));
    if (bothDisabled)
        return disabledError();
    return std::nullopt;
}

std::optional<SocketError> StreamSocket::applyConnectInterface(const std::string& interface,
                                                               std::uint16_t port) {
    std::optional<SocketAddress> a4, a6;
    getInterfaceAddress(&a4, &a6, interface, port);
    if (!a4 && !a6)
        return SocketError::streamSocket(
            StreamSocketBadParamError,
            "Unknown interface. Specify valid interface by name (e.g. \"en1\") or IP "
            "address.");
    if ((config_ & kIPv4Disabled) && !a6)
        return SocketError::streamSocket(
            StreamSocketBadParamError,
            "IPv4 has been disabled and specified interface doesn't support IPv6.");
    if ((config_ & kIPv6Disabled) && !a4)
        return SocketError::streamSocket(
            StreamSocketBadParamError,
            "IPv6 has been disabled and specified interface doesn't support IPv4.");
    connectInterface4_ = std::move(a4);
    connectInterface6_ = std::move(a6);
    return std::nullopt;
}

bool StreamSocket::connectToHost(const std::string& host, std::uint16_t port, SocketError* error) {
    return connectToHost(host, port, std::string(), -1, error);
}

bool StreamSocket::connectToHost(const std::string& host, std::uint16_t port, double timeout,
                                 SocketError* error) {
    return connectToHost(host, port, std::string(), timeout, error);
}

bool StreamSocket::connectToHost(const std::string& hostText, std::uint16_t port,
                                 const std::string& interfaceText, double timeout, SocketError* errPtr) {
    const std::string host = hostText;
    const std::string interface = interfaceText;
    std::optional<SocketError> err;
    bool ok = onSocketQueueSync([&]() -> bool {
        if (host.empty()) {
            err = SocketError::streamSocket(
                StreamSocketBadParamError,
                "Invalid host parameter (nil or \"\"). Should be a domain name or IP "
                "address string.");
            return false;
        }
        if ((err = preConnectCheck(false)))
            return false;
        if (!interface.empty() && (err = applyConnectInterface(interface, 0)))
            return false;
        readQueue_.clear();
        writeQueue_.clear();
        flags_ |= kSocketStarted;
        const int aStateIndex = stateIndex_;
        std::weak_ptr<StreamSocket> weak = weak_from_this();
        auto queue = socketQueue_;
        platform::GlobalQueue::async([weak, queue, host, port, aStateIndex] {
            if (weak.expired())
                return;
            SocketError lookupError;
            auto addresses = lookupHost(host, port, &lookupError);
            if (!addresses) {
                queue->async([weak, aStateIndex, lookupError] {
                    if (auto s = weak.lock())
                        s->lookupDidFail(aStateIndex, lookupError);
                });
                return;
            }
            std::optional<SocketAddress> a4, a6;
            for (const auto& a : *addresses) {
                if (!a4 && isIPv4Address(a))
                    a4 = a;
                else if (!a6 && isIPv6Address(a))
                    a6 = a;
            }
            queue->async([weak, aStateIndex, a4, a6] {
                if (auto s = weak.lock())
                    s->lookupDidSucceed(aStateIndex, a4, a6);
            });
        });
        startConnectTimeout(timeout);
        return true;
    });
    if (!ok && errPtr && err)
        *errPtr = *err;
    return ok;
}

void StreamSocket::lookupDidFail(int stateIndex, SocketError error) {
    if (stateIndex != stateIndex_)
        return;
    endConnectTimeout();
    closeWithError(std::move(error));
}

void StreamSocket::lookupDidSucceed(int stateIndex, std::optional<SocketAddress> address4,
                                    std::optional<SocketAddress> address6) {
    if (stateIndex != stateIndex_)
        return;
    const bool v4Disabled = config_ & kIPv4Disabled;
    const bool v6Disabled = config_ & kIPv6Disabled;
    if (v4Disabled && !address6) {
        closeWithError(SocketError::streamSocket(
            StreamSocketOtherError, "IPv4 has been disabled and DNS lookup found no IPv6 address."));
        return;
    }
    if (v6Disabled && !address4) {
        closeWithError(SocketError::streamSocket(
            StreamSocketOtherError, "IPv6 has been disabled and DNS lookup found no IPv4 address."));
        return;
    }
    if (v4Disabled)
        address4.reset();
    if (v6Disabled)
        address6.reset();
    if (auto err = connectWithAddresses(std::move(address4), std::move(address6)))
        closeWithError(std::move(err));
}

int StreamSocket::createSocket(int family, const std::optional<SocketAddress>& connectInterface,
                               SocketError* error) {
    int fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *error = SocketError::posix(errno, "Error in socket() function");
        return -1;
    }
    if (connectInterface) {
        std::uint16_t port = portFromAddress(*connectInterface);
        if (port != 0) {
            int reuse = 1;
            setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
        }
        if (::bind(fd, reinterpret_cast<const sockaddr*>(connectInterface->data()),
                   static_cast<socklen_t>(connectInterface->size())) != 0) {
            *error = SocketError::posix(errno, "Error in bind() function");
            ::close(fd);
            return -1;
        }
    }
    // No SIGPIPE: every send passes MSG_NOSIGNAL, as Linux has no per-socket option for it.
    return fd;
}

std::optional<SocketError> StreamSocket::connectWithAddresses(std::optional<SocketAddress> address4,
                                                              std::optional<SocketAddress> address6) {
    SocketError err;
    if (address4)
        socket4FD_ = createSocket(AF_INET, connectInterface4_, &err);
    if (address6)
        socket6FD_ = createSocket(AF_INET6, connectInterface6_, &err);
    if (socket4FD_ == -1 && socket6FD_ == -1)
        return err;

    const bool useIPv6 = ((config_ & kPreferIPv6) && socket6FD_ != -1) || socket4FD_ == -1;
    const int firstFD = useIPv6 ? socket6FD_ : socket4FD_;
    const SocketAddress firstAddress = useIPv6 ? *address6 : *address4;
    const int alternateFD = useIPv6 ? socket4FD_ : socket6FD_;
    const std::optional<SocketAddress>& alternateAddress = useIPv6 ? address4 : address6;

    connectSocket(firstFD, firstAddress, stateIndex_);
    if (alternateFD != -1 && alternateAddress) {
        const int aStateIndex = stateIndex_;
        std::weak_ptr<StreamSocket> weak = weak_from_this();
        SocketAddress address = *alternateAddress;
        socketQueue_->after(secondsToDuration(alternateAddressDelay_),
                            [weak, alternateFD, address, aStateIndex] {
                                auto s = weak.lock();
                                if (s && s->stateIndex_ == aStateIndex &&
                                    (alternateFD == s->socket4FD_ || alternateFD == s->socket6FD_))
                                    s->connectSocket(alternateFD, address, aStateIndex);
                            });
    }
    return std::nullopt;
}

void StreamSocket::connectSocket(int fd, SocketAddress address, int stateIndex) {
    if (flags_ & kConnected) {
        if (fd == socket4FD_)
            socket4FD_ = -1;
        if (fd == socket6FD_)
            socket6FD_ = -1;
        ::close(fd);
        return;
    }
    connectingFDs_.insert(fd);
    std::weak_ptr<StreamSocket> weak = weak_from_this();
    auto queue = socketQueue_;
    platform::GlobalQueue::async([weak, queue, fd, address = std::move(address), stateIndex] {
        stream_socket_detail::DescriptorGuard guard(fd);
        int r = ::connect(fd, reinterpret_cast<const sockaddr*>(address.data()),
                          static_cast<socklen_t>(address.size()));
        const int err = r == 0 ? 0 : errno;
        if (err != 0 && address.size() >= sizeof(sa_family_t) &&
            reinterpret_cast<const sockaddr*>(address.data())->sa_family == AF_UNIX)
            platform::Log::warning("connect: {}", std::strerror(err));
        queue->async([weak, fd, err, stateIndex, guard = std::move(guard)]() mutable {
            auto s = weak.lock();
            if (!s)
                return; // the guard closes the descriptor
            guard.release();
            s->connectResult(fd, err, stateIndex);
        });
    });
}

void StreamSocket::connectResult(int fd, int err, int stateIndex) {
    connectingFDs_.erase(fd);
    int* field = fd == socket4FD_   ? &socket4FD_
                 : fd == socket6FD_ ? &socket6FD_
                 : fd == socketUN_  ? &socketUN_
                                    : nullptr;
    if (!field) {
        ::close(fd); // the attempt was closed meanwhile; the descriptor was left to us
        return;
    }
    if (flags_ & kConnected) {
        *field = -1;
        ::close(fd);
        return;
    }
    if (err != 0) {
        *field = -1;
        ::close(fd);
        if (socket4FD_ == -1 && socket6FD_ == -1 && socketUN_ == -1 && stateIndex == stateIndex_)
            closeWithError(SocketError::posix(err, "Error in connect() function"));
        return;
    }
    for (int* other : {&socket4FD_, &socket6FD_}) {
        if (other != field && *other != -1) {
            int otherFD = std::exchange(*other, -1);
            if (connectingFDs_.count(otherFD))
                ::shutdown(otherFD, SHUT_RDWR); // its connect task closes it
            else
                ::close(otherFD);
        }
    }
    didConnect(stateIndex);
}

void StreamSocket::didConnect(int stateIndex) {
    if (stateIndex != stateIndex_)
        return;
    flags_ |= kConnected;
    endConnectTimeout();

    const int fd = connectedFD();
    if (socketUN_ != -1) {
        auto peer = peerAddressOf(socketUN_, true);
        std::filesystem::path url;
        if (peer && peer->size() > offsetof(sockaddr_un, sun_path)) {
            sockaddr_un un{};
            std::memcpy(&un, peer->data(), std::min(peer->size(), sizeof un));
            url = urlFromSockaddrUN(un);
        }
        notifyDelegate([url](StreamSocketDelegate& d, const std::shared_ptr<StreamSocket>& s) {
            d.socketDidConnectToUrl(s, url);
        });
    } else {
        auto peer = peerAddressOf(fd, true);
        std::string host;
        std::uint16_t port = 0;
        if (peer && getHost(&host, &port, *peer)) {
            notifyDelegate([host, port](StreamSocketDelegate& d, const std::shared_ptr<StreamSocket>& s) {
                d.socketDidConnectToHost(s, host, port);
            });
        }
    }

    int fl = fcntl(fd, F_GETFL, 0);
    if (fl == -1 || fcntl(fd, F_SETFL, fl | O_NONBLOCK) == -1) {
        closeWithError(SocketError::streamSocket(StreamSocketOtherError,
                                                 "Error enabling non-blocking IO on socket (fcntl)"));
        return;
    }
    setupSourcesForConnectedSocket();
    maybeDequeueRead();
    maybeDequeueWrite();
}

void StreamSocket::setupSourcesForConnectedSocket() {
    const int fd = connectedFD();
    std::weak_ptr<StreamSocket> weak = weak_from_this();
    std::weak_ptr<platform::SerialQueue> weakQueue = socketQueue_;
    auto idBox = std::make_shared<std::atomic<std::uint64_t>>(0);
    ioSource_ = SocketPoller::shared().add(fd, [weak, weakQueue, idBox](std::uint32_t events) {
        auto queue = weakQueue.lock();
        if (!queue)
            return;
        std::uint64_t id = idBox->load();
        queue->async([weak, id, events] {
            if (auto s = weak.lock())
                s->onIOEvent(id, events);
        });
    });
    idBox->store(ioSource_);
    ioSourceFD_ = fd;
    ioArmed_ = 0;
    // Reads listen from the start; writes only once the descriptor refuses bytes.
    flags_ |= kSocketCanAcceptBytes | kWriteSourceSuspended;
    flags_ &= ~kReadSourceSuspended;
    updateInterest();
}

void StreamSocket::startConnectTimeout(double timeout) {
    if (timeout < 0)
        return;
    connectTimerActive_ = true;
    const int aStateIndex = stateIndex_;
    std::weak_ptr<StreamSocket> weak = weak_from_this();
    socketQueue_->after(secondsToDuration(timeout), [weak, aStateIndex] {
        auto s = weak.lock();
        if (!s || !s->connectTimerActive_ || s->stateIndex_ != aStateIndex)
            return;
        s->endConnectTimeout();
        s->closeWithError(SocketError::fixed(StreamSocketConnectTimeoutError));
    });
}

void StreamSocket::endConnectTimeout() {
    connectTimerActive_ = false;
    ++stateIndex_;
    connectInterface4_.reset();
    connectInterface6_.reset();
    connectInterfaceUN_.reset();
}

// ---------------------------------------------------------------------------------------------------------
// Closing

void StreamSocket::closeWithError(std::optional<SocketError> error) {
    assert(socketQueue_->isCurrent() && "Must be dispatched on socketQueue");
    endConnectTimeout();
    if (currentRead_)
        endCurrentRead();
    if (currentWrite_)
        endCurrentWrite();
    readQueue_.clear();
    writeQueue_.clear();
    preBuffer_.reset();
    sslPreBuffer_.reset();
    sslErrCode_ = 0;
    lastSSLHandshakeError_ = 0;
    endTLS();

    const bool hadSources = ioSource_ != 0 || accept4Source_.id || accept6Source_.id || acceptUNSource_.id;
    if (ioSource_ != 0) {
        SocketPoller::shared().remove(ioSource_, ioSourceFD_);
        ioSource_ = 0;
        ioSourceFD_ = -1;
        ioArmed_ = 0;
    }
    for (AcceptSource* source : {&accept4Source_, &accept6Source_, &acceptUNSource_}) {
        if (source->id != 0)
            SocketPoller::shared().remove(source->id, source->fd);
        *source = AcceptSource{};
    }
    if (!hadSources && socketUN_ != -1 && socketUrl_) {
        std::error_code ec;
        std::filesystem::remove(*socketUrl_, ec);
        socketUrl_.reset();
    }
    for (int* field : {&socket4FD_, &socket6FD_, &socketUN_}) {
        int fd = std::exchange(*field, -1);
        if (fd == -1)
            continue;
        if (connectingFDs_.count(fd))
            ::shutdown(fd, SHUT_RDWR); // wakes the blocked connect; its task closes the descriptor
        else
            ::close(fd);
    }

    socketFDBytesAvailable_ = 0;
    const bool wasStarted = flags_ & kSocketStarted;
    flags_ &= kDealloc;
    sslWriteCachedLength_ = 0;
    if (wasStarted) {
        notifyDelegate([error](StreamSocketDelegate& d, const std::shared_ptr<StreamSocket>& s) {
            d.socketDidDisconnect(s, error);
        });
    }
}

void StreamSocket::maybeClose() {
    bool shouldClose = false;
    const bool noReads = readQueue_.empty() && !currentRead_;
    const bool noWrites = writeQueue_.empty() && !currentWrite_;
    if (flags_ & kDisconnectAfterReads) {
        if (noReads)
            shouldClose = !(flags_ & kDisconnectAfterWrites) || noWrites;
    } else if (flags_ & kDisconnectAfterWrites) {
        shouldClose = noWrites;
    }
    if (shouldClose)
        closeWithError(std::nullopt);
}

void StreamSocket::disconnect() {
    onSocketQueueSync([this] {
        if (flags_ & kSocketStarted)
            closeWithError(std::nullopt);
    });
}

void StreamSocket::disconnectAfterReading() {
    onSocketQueueAsync([](StreamSocket& s) {
        if (s.flags_ & kSocketStarted) {
            s.flags_ |= kDisconnectAfterReads | kForbidReadsWrites;
            s.maybeClose();
        }
    });
}

void StreamSocket::disconnectAfterWriting() {
    onSocketQueueAsync([](StreamSocket& s) {
        if (s.flags_ & kSocketStarted) {
            s.flags_ |= kDisconnectAfterWrites | kForbidReadsWrites;
            s.maybeClose();
        }
    });
}

void StreamSocket::disconnectAfterReadingAndWriting() {
    onSocketQueueAsync([](StreamSocket& s) {
        if (s.flags_ & kSocketStarted) {
            s.flags_ |= kDisconnectAfterReads | kDisconnectAfterWrites | kForbidReadsWrites;
            s.maybeClose();
        }
    });
}

// ---------------------------------------------------------------------------------------------------------
// Status

bool StreamSocket::isDisconnected() const {
    return onSocketQueueSync([this] { return (flags_ & kSocketStarted) == 0; });
}

bool StreamSocket::isConnected() const {
    return onSocketQueueSync([this] { return (flags_ & kConnected) != 0; });
}

std::optional<std::string> StreamSocket::connectedHost() const {
    return onSocketQueueSync([this]() -> std::optional<std::string> {
        if (auto a = peerAddressOf(socket4FD_ != -1 ? socket4FD_ : socket6FD_, true))
            return hostFromAddress(*a);
        return std::nullopt;
    });
}

std::uint16_t StreamSocket::connectedPort() const {
    return onSocketQueueSync([this]() -> std::uint16_t {
        auto a = peerAddressOf(socket4FD_ != -1 ? socket4FD_ : socket6FD_, true);
        return a ? portFromAddress(*a) : 0;
    });
}

std::optional<std::filesystem::path> StreamSocket::connectedUrl() const {
    return onSocketQueueSync([this]() -> std::optional<std::filesystem::path> {
        auto a = peerAddressOf(socketUN_, true);
        if (!a || a->size() <= offsetof(sockaddr_un, sun_path))
            return std::nullopt;
        sockaddr_un un{};
        std::memcpy(&un, a->data(), std::min(a->size(), sizeof un));
        return urlFromSockaddrUN(un);
    });
}

std::optional<std::string> StreamSocket::localHost() const {
    return onSocketQueueSync([this]() -> std::optional<std::string> {
        if (auto a = peerAddressOf(socket4FD_ != -1 ? socket4FD_ : socket6FD_, false))
            return hostFromAddress(*a);
        return std::nullopt;
    });
}

std::uint16_t StreamSocket::localPort() const {
    return onSocketQueueSync([this]() -> std::uint16_t {
        auto a = peerAddressOf(socket4FD_ != -1 ? socket4FD_ : socket6FD_, false);
        return a ? portFromAddress(*a) : 0;
    });
}

#define TC_FAMILY_GETTERS(suffix, field)                                                                     \
    std::optional<std::string> StreamSocket::connectedHost##suffix() const {                                 \
        return onSocketQueueSync([this]() -> std::optional<std::string> {                                    \
            if (auto a = peerAddressOf(field, true))                                                         \
                return hostFromAddress(*a);                                                                  \
            return std::nullopt;                                                                             \
        });                                                                                                  \
    }                                                                                                        \
    std::uint16_t StreamSocket::connectedPort##suffix() const {                                              \
        return onSocketQueueSync([this]() -> std::uint16_t {                                                 \
            auto a = peerAddressOf(field, true);                                                             \
            return a ? portFromAddress(*a) : 0;                                                              \
        });                                                                                                  \
    }                                                                                                        \
    std::optional<std::string> StreamSocket::localHost##suffix() const {                                     \
        return onSocketQueueSync([this]() -> std::optional<std::string> {                                    \
            if (auto a = peerAddressOf(field, false))                                                        \
                return hostFromAddress(*a);                                                                  \
            return std::nullopt;                                                                             \
        });                                                                                                  \
    }                                                                                                        \
    std::uint16_t StreamSocket::localPort##suffix() const {                                                  \
        return onSocketQueueSync([this]() -> std::uint16_t {                                                 \
            auto a = peerAddressOf(field, false);                                                            \
            return a ? portFromAddress(*a) : 0;                                                              \
        });                                                                                                  \
    }

TC_FAMILY_GETTERS(4, socket4FD_)
TC_FAMILY_GETTERS(6, socket6FD_)
#undef TC_FAMILY_GETTERS

std::optional<SocketAddress> StreamSocket::connectedAddress() const {
    return onSocketQueueSync([this] { return peerAddressOf(connectedFD(), true); });
}

std::optional<SocketAddress> StreamSocket::localAddress() const {
    return onSocketQueueSync([this] { return peerAddressOf(connectedFD(), false); });
}

bool StreamSocket::isIPv4() const {
    return onSocketQueueSync([this] { return socket4FD_ != -1; });
}

bool StreamSocket::isIPv6() const {
    return onSocketQueueSync([this] { return socket6FD_ != -1; });
}

bool StreamSocket::isSecure() const {
    return onSocketQueueSync([this] { return (flags_ & kSocketSecure) != 0; });
}

int StreamSocket::socketFD() const {
    if (!socketQueue_->isCurrent())
        return -1;
    return socket4FD_ != -1 ? socket4FD_ : socket6FD_;
}

int StreamSocket::socket4FD() const {
    return socketQueue_->isCurrent() ? socket4FD_ : -1;
}

int StreamSocket::socket6FD() const {
    return socketQueue_->isCurrent() ? socket6FD_ : -1;
}

SSL* StreamSocket::sslContext() const {
    return socketQueue_->isCurrent() ? ssl_ : nullptr;
}

int StreamSocket::connectedFD() const {
    if (socket4FD_ != -1)
        return socket4FD_;
    if (socket6FD_ != -1)
        return socket6FD_;
    return socketUN_;
}

// ---------------------------------------------------------------------------------------------------------
// Class helpers

std::optional<std::vector<SocketAddress>> StreamSocket::lookupHost(const std::string& host,
                                                                   std::uint16_t port, SocketError* error) {
    std::vector<SocketAddress> result;
    if (host == "localhost" || host == "loopback") {
        sockaddr_in a4{};
        a4.sin_family = AF_INET;
        a4.sin_port = htons(port);
        a4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        sockaddr_in6 a6{};
        a6.sin6_family = AF_INET6;
        a6.sin6_port = htons(port);
        a6.sin6_addr = in6addr_loopback;
        result.push_back(addressBytes(&a4, sizeof a4));
        result.push_back(addressBytes(&a6, sizeof a6));
        return result;
    }
    char portText[8];
    auto [end, ec] = std::to_chars(portText, portText + sizeof portText - 1, port);
    *end = '\0';
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* res = nullptr;
    int gai = getaddrinfo(host.c_str(), portText, &hints, &res);
    if (gai != 0) {
        if (error)
            *error = SocketError::netdb(gai);
        return std::nullopt;
    }
    for (addrinfo* ai = res; ai; ai = ai->ai_next) {
        if (ai->ai_family == AF_INET && ai->ai_addrlen >= sizeof(sockaddr_in)) {
            result.push_back(addressBytes(ai->ai_addr, sizeof(sockaddr_in)));
        } else if (ai->ai_family == AF_INET6 && ai->ai_addrlen >= sizeof(sockaddr_in6)) {
            sockaddr_in6 a6;
            std::memcpy(&a6, ai->ai_addr, sizeof a6);
            if (a6.sin6_port == 0)
                a6.sin6_port = htons(port);
            result.push_back(addressBytes(&a6, sizeof a6));
        }
    }
    freeaddrinfo(res);
    if (result.empty()) {
        if (error)
            *error = SocketError::netdb(EAI_FAIL);
        return std::nullopt;
    }
    return result;
}

std::string StreamSocket::hostFromSockaddr4(const sockaddr_in& address) {
    char text[INET_ADDRSTRLEN];
    if (!inet_ntop(AF_INET, &address.sin_addr, text, sizeof text))
        return std::string();
    return text;
}

std::string StreamSocket::hostFromSockaddr6(const sockaddr_in6& address) {
    char text[INET6_ADDRSTRLEN];
    if (!inet_ntop(AF_INET6, &address.sin6_addr, text, sizeof text))
        return std::string();
    return text;
}

std::uint16_t StreamSocket::portFromSockaddr4(const sockaddr_in& address) {
    return ntohs(address.sin_port);
}

std::uint16_t StreamSocket::portFromSockaddr6(const sockaddr_in6& address) {
    return ntohs(address.sin6_port);
}

std::filesystem::path StreamSocket::urlFromSockaddrUN(const sockaddr_un& address) {
    std::size_t length = strnlen(address.sun_path, sizeof address.sun_path);
    return std::filesystem::path(std::string(address.sun_path, length));
}

std::optional<std::string> StreamSocket::hostFromAddress(const SocketAddress& address) {
    std::string host;
    if (!getHost(&host, nullptr, address))
        return std::nullopt;
    return host;
}

std::uint16_t StreamSocket::portFromAddress(const SocketAddress& address) {
    std::uint16_t port = 0;
    getHost(nullptr, &port, address);
    return port;
}

bool StreamSocket::isIPv4Address(const SocketAddress& address) {
    int family = 0;
    return getHost(nullptr, nullptr, &family, address) && family == AF_INET;
}

bool StreamSocket::isIPv6Address(const SocketAddress& address) {
    int family = 0;
    return getHost(nullptr, nullptr, &family, address) && family == AF_INET6;
}

bool StreamSocket::getHost(std::string* host, std::uint16_t* port, const SocketAddress& address) {
    return getHost(host, port, nullptr, address);
}

bool StreamSocket::getHost(std::string* host, std::uint16_t* port, int* family,
                           const SocketAddress& address) {
    if (address.size() < sizeof(sa_family_t))
        return false;
    sa_family_t f;
    std::memcpy(&f, address.data() + offsetof(sockaddr, sa_family), sizeof f);
    if (f == AF_INET && address.size() >= sizeof(sockaddr_in)) {
        sockaddr_in a;
        std::memcpy(&a, address.data(), sizeof a);
        if (host)
            *host = hostFromSockaddr4(a);
        if (port)
            *port = portFromSockaddr4(a);
    } else if (f == AF_INET6 && address.size() >= sizeof(sockaddr_in6)) {
        sockaddr_in6 a;
        std::memcpy(&a, address.data(), sizeof a);
        if (host)
            *host = hostFromSockaddr6(a);
        if (port)
            *port = portFromSockaddr6(a);
    } else {
        return false;
    }
    if (family)
        *family = f;
    return true;
}

const SocketData& StreamSocket::CRLFData() {
    static const SocketData d{'\r', '\n'};
    return d;
}

const SocketData& StreamSocket::CRData() {
    static const SocketData d{'\r'};
    return d;
}

const SocketData& StreamSocket::LFData() {
    static const SocketData d{'\n'};
    return d;
}

const SocketData& StreamSocket::ZeroData() {
    static const SocketData d{0};
    return d;
}

} // namespace tc
