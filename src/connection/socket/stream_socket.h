#pragma once
// An asynchronous TCP (and local-socket) stream on non-blocking POSIX descriptors.
//
// Every state change happens on the socket's private serial queue; results go to a delegate on a queue
// its owner chooses. Reads and writes are queued as packets and complete strictly in queued order.
// Sockets are always owned through std::shared_ptr (see create()); background steps hold only weak
// references, so an abandoned socket can go away while a lookup or connect is still under way.
#include "connection/socket/socket_error.h"
#include "connection/socket/stream_socket_packets.h"
#include "connection/socket/stream_socket_pre_buffer.h"
#include "connection/socket/stream_socket_tls_settings.h"
#include "platform/dispatch.h"

#include <netinet/in.h>
#include <openssl/ssl.h>
#include <sys/un.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tc {

class StreamSocket;

// Raw socket address bytes (sockaddr_in, sockaddr_in6 or sockaddr_un).
using SocketAddress = std::vector<std::uint8_t>;

// Where delegate callbacks run: a serial queue of the owner's, or the main queue.
class DelegateQueue {
public:
    DelegateQueue() = default;
    DelegateQueue(std::shared_ptr<platform::SerialQueue> queue) : queue_(std::move(queue)) {}
    static DelegateQueue main() {
        DelegateQueue q;
        q.main_ = true;
        return q;
    }
    explicit operator bool() const { return main_ || queue_ != nullptr; }
    bool isMain() const { return main_; }
    const std::shared_ptr<platform::SerialQueue>& serialQueue() const { return queue_; }
    void async(platform::Task work) const;

private:
    std::shared_ptr<platform::SerialQueue> queue_;
    bool main_ = false;
};

// Every method is optional; the defaults do nothing. Calls arrive on the delegate queue, never on the
// socket queue. A delegate that no longer exists is simply not called.
class StreamSocketDelegate {
public:
    virtual ~StreamSocketDelegate() = default;

    virtual void socketDidConnectToHost(const std::shared_ptr<StreamSocket>&, const std::string& /*host*/,
                                        std::uint16_t /*port*/) {}
    virtual void socketDidConnectToUrl(const std::shared_ptr<StreamSocket>&, const std::filesystem::path&) {}
    virtual void socketDidReadData(const std::shared_ptr<StreamSocket>&, SocketData /*data*/, long /*tag*/) {}
    virtual void socketDidReadPartialDataOfLength(const std::shared_ptr<StreamSocket>&, std::size_t,
                                                  long /*tag*/) {}
    virtual void socketDidWriteDataWithTag(const std::shared_ptr<StreamSocket>&, long /*tag*/) {}
    virtual void socketDidWritePartialDataOfLength(const std::shared_ptr<StreamSocket>&, std::size_t, long) {}
    // Answer a positive number of seconds to extend the time-out; anything else lets it close the socket.
    virtual double socketShouldTimeoutReadWithTag(const std::shared_ptr<StreamSocket>&, long /*tag*/,
                                                  double /*elapsed*/, std::size_t /*bytesDone*/) {
        return 0;
    }
    virtual double socketShouldTimeoutWriteWithTag(const std::shared_ptr<StreamSocket>&, long, double,
                                                   std::size_t) {
        return 0;
    }
    virtual void socketDidCloseReadStream(const std::shared_ptr<StreamSocket>&) {}
    // The socket is null when the close happens while the socket is being destroyed.
    virtual void socketDidDisconnect(const std::shared_ptr<StreamSocket>&,
                                     const std::optional<SocketError>&) {}
    virtual void socketDidSecure(const std::shared_ptr<StreamSocket>&) {}
    // Manual trust evaluation: return true and call `completion` (from any thread, once) with the decision.
    // The default returns false, meaning the delegate does not evaluate trust.
    virtual bool socketDidReceiveTrust(const std::shared_ptr<StreamSocket>&, const StreamSocketTrust&,
                                       std::function<void(bool)> /*completion*/) {
        return false;
    }
    // A socket queue for an accepted connection; null lets the new socket make its own.
    virtual std::shared_ptr<platform::SerialQueue>
    newSocketQueueForConnectionFromAddress(const SocketAddress&, const std::shared_ptr<StreamSocket>&) {
        return nullptr;
    }
    // The delegate must keep `newSocket`; nothing else holds it.
    virtual void socketDidAcceptNewSocket(const std::shared_ptr<StreamSocket>& /*listener*/,
                                          const std::shared_ptr<StreamSocket>& /*newSocket*/) {}
};

class StreamSocket : public std::enable_shared_from_this<StreamSocket> {
public:
    // Cap on what one read may gather when the caller set no maximum (delimited reads) and on the length
    // of a fixed-length read; past it a delimited read fails with StreamSocketReadMaxedOutError.
    static constexpr std::size_t kDefaultReadLengthLimit = 16u << 20;
    static constexpr std::size_t kPreBufferCapacity = 4096;
    static constexpr int kListenBacklog = 1024;

    static std::shared_ptr<StreamSocket> create();
    static std::shared_ptr<StreamSocket> create(std::shared_ptr<platform::SerialQueue> socketQueue);
    static std::shared_ptr<StreamSocket> create(std::weak_ptr<StreamSocketDelegate> delegate,
                                                DelegateQueue delegateQueue);
    static std::shared_ptr<StreamSocket> create(std::weak_ptr<StreamSocketDelegate> delegate,
                                                DelegateQueue delegateQueue,
                                                std::shared_ptr<platform::SerialQueue> socketQueue);
    ~StreamSocket();
    StreamSocket(const StreamSocket&) = delete;
    StreamSocket& operator=(const StreamSocket&) = delete;

    // Configuration.
    std::weak_ptr<StreamSocketDelegate> delegate() const;
    void setDelegate(std::weak_ptr<StreamSocketDelegate> delegate);
    void synchronouslySetDelegate(std::weak_ptr<StreamSocketDelegate> delegate);
    DelegateQueue delegateQueue() const;
    void setDelegateQueue(DelegateQueue queue);
    void synchronouslySetDelegateQueue(DelegateQueue queue);
    void getDelegate(std::weak_ptr<StreamSocketDelegate>* delegate, DelegateQueue* queue) const;
    void setDelegate(std::weak_ptr<StreamSocketDelegate> delegate, DelegateQueue queue);
    void synchronouslySetDelegate(std::weak_ptr<StreamSocketDelegate> delegate, DelegateQueue queue);

    bool isIPv4Enabled() const;
    void setIPv4Enabled(bool flag);
    bool isIPv6Enabled() const;
    void setIPv6Enabled(bool flag);
    bool isIPv4PreferredOverIPv6() const;
    void setIPv4PreferredOverIPv6(bool flag);
    bool autoDisconnectOnClosedReadStream() const;
    void setAutoDisconnectOnClosedReadStream(bool flag);
    double alternateAddressDelay() const;
    void setAlternateAddressDelay(double seconds);
    std::shared_ptr<void> userData() const;
    void setUserData(std::shared_ptr<void> data);
    std::size_t readLengthLimit() const;
    void setReadLengthLimit(std::size_t limit);

    // Connecting. Refusals come back at once through `error` (when given) and leave the socket idle;
    // later failures arrive once, through socketDidDisconnect.
    bool connectToHost(const std::string& host, std::uint16_t port, SocketError* error = nullptr);
    bool connectToHost(const std::string& host, std::uint16_t port, double timeout,
                       SocketError* error = nullptr);
    bool connectToHost(const std::string& host, std::uint16_t port, const std::string& interface,
                       double timeout, SocketError* error = nullptr);
    bool connectToAddress(const SocketAddress& address, SocketError* error = nullptr);
    bool connectToAddress(const SocketAddress& address, double timeout, SocketError* error = nullptr);
    bool connectToAddress(const SocketAddress& address, const std::string& interface, double timeout,
                          SocketError* error = nullptr);
    bool connectToUrl(const std::filesystem::path& url, double timeout, SocketError* error = nullptr);

    // Listening.
    bool acceptOnPort(std::uint16_t port, SocketError* error = nullptr);
    bool acceptOnInterface(const std::string& interface, std::uint16_t port, SocketError* error = nullptr);
    bool acceptOnUrl(const std::filesystem::path& url, SocketError* error = nullptr);

    void disconnect();
    void disconnectAfterReading();
    void disconnectAfterWriting();
    void disconnectAfterReadingAndWriting();

    // Status.
    bool isDisconnected() const;
    bool isConnected() const;
    std::optional<std::string> connectedHost() const;
    std::uint16_t connectedPort() const;
    std::optional<std::filesystem::path> connectedUrl() const;
    std::optional<std::string> localHost() const;
    std::uint16_t localPort() const;
    std::optional<std::string> connectedHost4() const;
    std::optional<std::string> connectedHost6() const;
    std::uint16_t connectedPort4() const;
    std::uint16_t connectedPort6() const;
    std::optional<std::string> localHost4() const;
    std::optional<std::string> localHost6() const;
    std::uint16_t localPort4() const;
    std::uint16_t localPort6() const;
    std::optional<SocketAddress> connectedAddress() const;
    std::optional<SocketAddress> localAddress() const;
    bool isIPv4() const;
    bool isIPv6() const;
    bool isSecure() const;
    // Raw handles; only meaningful on the socket queue (-1 / null elsewhere).
    int socketFD() const;
    int socket4FD() const;
    int socket6FD() const;
    SSL* sslContext() const;

    // Runs `block` on the socket queue (at once when already there, otherwise waiting for it).
    void performBlock(const std::function<void()>& block);

    // Reading. A call that breaks the argument rules, or comes while the socket is not started or after a
    // disconnect-after request, is dropped without any report.
    void readDataWithTimeout(double timeout, long tag);
    void readDataWithTimeout(double timeout, SocketBuffer buffer, std::size_t offset, long tag);
    void readDataWithTimeout(double timeout, SocketBuffer buffer, std::size_t offset, std::size_t maxLength,
                             long tag);
    void readDataToLength(std::size_t length, double timeout, long tag);
    void readDataToLength(std::size_t length, double timeout, SocketBuffer buffer, std::size_t offset,
                          long tag);
    void readDataToData(SocketData data, double timeout, long tag);
    void readDataToData(SocketData data, double timeout, SocketBuffer buffer, std::size_t offset, long tag);
    void readDataToData(SocketData data, double timeout, std::size_t maxLength, long tag);
    void readDataToData(SocketData data, double timeout, SocketBuffer buffer, std::size_t offset,
                        std::size_t maxLength, long tag);
    float progressOfReadReturningTag(long* tag, std::size_t* done, std::size_t* total) const;

    // Writing: empty data is ignored.
    void writeData(SocketData data, double timeout, long tag);
    float progressOfWriteReturningTag(long* tag, std::size_t* done, std::size_t* total) const;

    // Queues a TLS upgrade: reads and writes queued after it run over TLS.
    void startTLS(StreamSocketTLSSettings settings = {});
    static bool usingSecureTransportForTLS() { return true; }
    static bool usingCFStreamForTLS() { return false; }

    // Class helpers.
    static std::optional<std::vector<SocketAddress>> lookupHost(const std::string& host, std::uint16_t port,
                                                                SocketError* error = nullptr);
    static std::string hostFromSockaddr4(const struct sockaddr_in& address);
    static std::string hostFromSockaddr6(const struct sockaddr_in6& address);
    static std::uint16_t portFromSockaddr4(const struct sockaddr_in& address);
    static std::uint16_t portFromSockaddr6(const struct sockaddr_in6& address);
    static std::filesystem::path urlFromSockaddrUN(const struct sockaddr_un& address);
    static std::optional<std::string> hostFromAddress(const SocketAddress& address);
    static std::uint16_t portFromAddress(const SocketAddress& address);
    static bool isIPv4Address(const SocketAddress& address);
    static bool isIPv6Address(const SocketAddress& address);
    static bool getHost(std::string* host, std::uint16_t* port, const SocketAddress& address);
    static bool getHost(std::string* host, std::uint16_t* port, int* family, const SocketAddress& address);
    // An interface description ("", "localhost", "eth0", "192.168.0.2", with an optional ":port").
    static void getInterfaceAddress(std::optional<SocketAddress>* address4,
                                    std::optional<SocketAddress>* address6, const std::string& description,
                                    std::uint16_t port);
    static std::optional<SocketAddress> getInterfaceAddressFromUrl(const std::filesystem::path& url);
    static const SocketData& CRLFData();
    static const SocketData& CRData();
    static const SocketData& LFData();
    static const SocketData& ZeroData();

private:
    struct PrivateTag {};

public:
    StreamSocket(PrivateTag, std::weak_ptr<StreamSocketDelegate> delegate, DelegateQueue delegateQueue,
                 std::shared_ptr<platform::SerialQueue> socketQueue);

private:
    enum Flags : std::uint32_t {
        kSocketStarted = 0x1,
        kConnected = 0x2,
        kForbidReadsWrites = 0x4,
        kReadsPaused = 0x8,
        kWritesPaused = 0x10,
        kDisconnectAfterReads = 0x20,
        kDisconnectAfterWrites = 0x40,
        kSocketCanAcceptBytes = 0x80,
        kReadSourceSuspended = 0x100,
        kWriteSourceSuspended = 0x200,
        kQueuedTLS = 0x400,
        kStartingReadTLS = 0x800,
        kStartingWriteTLS = 0x1000,
        kSocketSecure = 0x2000,
        kSocketHasReadEOF = 0x4000,
        kReadStreamClosed = 0x8000,
        kDealloc = 0x10000,
    };
    enum Config : std::uint16_t {
        kIPv4Disabled = 0x1,
        kIPv6Disabled = 0x2,
        kPreferIPv6 = 0x4,
        kAllowHalfDuplexConnection = 0x8,
    };
    struct AcceptSource {
        std::uint64_t id = 0;
        int fd = -1;
    };
    friend struct StreamSocketTLSAccess;

    template <typename F>
    void onSocketQueueAsync(F&& f);
    template <typename F>
    auto onSocketQueueSync(F&& f) const;
    template <typename F>
    void notifyDelegate(F&& f);
    std::shared_ptr<StreamSocket> selfForCallbacks();

    std::optional<SocketError> preConnectCheck(bool accepting, bool checkFamilies = true) const;
    std::optional<SocketError> applyConnectInterface(const std::string& interface, std::uint16_t port);
    void lookupDidFail(int stateIndex, SocketError error);
    void lookupDidSucceed(int stateIndex, std::optional<SocketAddress> address4,
                          std::optional<SocketAddress> address6);
    std::optional<SocketError> connectWithAddresses(std::optional<SocketAddress> address4,
                                                    std::optional<SocketAddress> address6);
    int createSocket(int family, const std::optional<SocketAddress>& connectInterface, SocketError* error);
    void connectSocket(int fd, SocketAddress address, int stateIndex);
    void connectResult(int fd, int err, int stateIndex);
    void didConnect(int stateIndex);
    void setupSourcesForConnectedSocket();
    void startConnectTimeout(double timeout);
    void endConnectTimeout();
    void closeWithError(std::optional<SocketError> error);
    void maybeClose();

    void onIOEvent(std::uint64_t id, std::uint32_t events);
    void updateInterest();
    void suspendReadSource() { flags_ |= kReadSourceSuspended; }
    void resumeReadSource() { flags_ &= ~kReadSourceSuspended; }
    void suspendWriteSource() { flags_ |= kWriteSourceSuspended; }
    void resumeWriteSource() { flags_ &= ~kWriteSourceSuspended; }
    int connectedFD() const;

    void enqueueRead(std::shared_ptr<StreamReadPacket> packet);
    void maybeDequeueRead();
    void doReadData();
    void doReadEOF();
    void completeCurrentRead();
    void endCurrentRead();

    void maybeDequeueWrite();
    void doWriteData();
    void completeCurrentWrite();
    void endCurrentWrite();

    // Time-outs of the current read or write: one mechanism for both sides.
    enum class IoSide { Read, Write };
    struct TimedPacket {
        long tag;
        double* timeout;
        std::size_t bytesDone;
    };
    std::uint64_t& timerGeneration(IoSide side);
    std::optional<TimedPacket> timedPacket(IoSide side);
    void setupTimer(IoSide side, double timeout);
    void doTimeout(IoSide side);
    void doTimeoutWithExtension(IoSide side, double extension);

    // Listening and accepting.
    int createListenSocket(int family, const SocketAddress& address, SocketError* error);
    AcceptSource addAcceptSource(int fd);
    void onAcceptEvent(std::uint64_t id);
    bool doAccept(int listenFD);
    void adoptAcceptedDescriptor(int fd, int family);
    std::uint16_t localPort4Unlocked() const;

    // TLS.
    void maybeStartTLS();
    void startTLSEngine();
    void continueHandshake();
    void askDelegateForTrust();
    void finishHandshake();
    void handshakeTrustAnswer(bool trusted, int stateIndex);
    void trustEvaluationUnavailable(int stateIndex);
    void flushSSLBuffers();
    std::size_t sslBufferedBytes() const;
    void endTLS();

    // State, touched only on the socket queue.
    std::uint32_t flags_ = 0;
    std::uint16_t config_ = 0;
    std::weak_ptr<StreamSocketDelegate> delegate_;
    DelegateQueue delegateQueue_;
    int socket4FD_ = -1;
    int socket6FD_ = -1;
    int socketUN_ = -1;
    std::optional<std::filesystem::path> socketUrl_;
    int stateIndex_ = 0;
    std::optional<SocketAddress> connectInterface4_, connectInterface6_, connectInterfaceUN_;
    std::shared_ptr<platform::SerialQueue> socketQueue_;
    AcceptSource accept4Source_, accept6Source_, acceptUNSource_;
    bool connectTimerActive_ = false;
    std::uint64_t ioSource_ = 0; // poller registration of the connected descriptor, 0 when none
    int ioSourceFD_ = -1;
    std::uint32_t ioArmed_ = 0;
    std::uint64_t readTimerGeneration_ = 0;
    std::uint64_t writeTimerGeneration_ = 0;
    std::deque<std::shared_ptr<StreamPacket>> readQueue_;
    std::deque<std::shared_ptr<StreamPacket>> writeQueue_;
    std::shared_ptr<StreamPacket> currentRead_;
    std::shared_ptr<StreamPacket> currentWrite_;
    std::size_t socketFDBytesAvailable_ = 0;
    StreamSocketPreBuffer preBuffer_{kPreBufferCapacity};
    SSL_CTX* sslCtx_ = nullptr;
    SSL* ssl_ = nullptr;
    StreamSocketPreBuffer sslPreBuffer_{kPreBufferCapacity};
    std::size_t sslWriteCachedLength_ = 0;
    long sslErrCode_ = 0;
    long lastSSLHandshakeError_ = 0;
    bool handshakeWantsWrite_ = false;
    bool manualTrust_ = false;
    bool awaitingTrust_ = false;
    bool tlsIsServer_ = false;
    int trustDecision_ = 0; // 0 undecided, 1 trusted
    std::optional<StreamSocketTrust> pendingTrust_;
    std::vector<std::uint8_t> sslPeerID_;
    std::set<int> connectingFDs_; // descriptors inside a blocking connect; their task closes them
    std::shared_ptr<void> userData_;
    double alternateAddressDelay_ = 0.3;
    std::size_t readLengthLimit_ = kDefaultReadLengthLimit;
};

} // namespace tc
