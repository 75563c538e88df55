#pragma once
// Error values reported by the stream socket: a domain, a code and the texts shown to the user.
#include <string>
#include <string_view>

namespace tc {

inline constexpr std::string_view StreamSocketErrorDomain = "StreamSocketErrorDomain";
inline constexpr std::string_view PosixErrorDomain = "NSPOSIXErrorDomain";
inline constexpr std::string_view NetDBErrorDomain = "kCFStreamErrorDomainNetDB";
inline constexpr std::string_view SSLErrorDomain = "kCFStreamErrorDomainSSL";

enum StreamSocketErrorCode : long {
    StreamSocketNoError = 0,
    StreamSocketBadConfigError = 1,
    StreamSocketBadParamError = 2,
    StreamSocketConnectTimeoutError = 3,
    StreamSocketReadTimeoutError = 4,
    StreamSocketWriteTimeoutError = 5,
    StreamSocketReadMaxedOutError = 6,
    StreamSocketClosedError = 7,
    StreamSocketOtherError = 8,
};

// Status codes of the TLS layer, kept in the numbering callers already know.
enum StreamSocketTLSStatus : long {
    errSSLProtocol = -9800,
    errSSLWouldBlock = -9803,
    errSSLClosedGraceful = -9805,
    errSSLClosedAbort = -9806,
    errSSLXCertChainInvalid = -9807,
    errSSLPeerBadCert = -9825,
    errSSLPeerAuthCompleted = -9841,
};

struct SocketError {
    std::string domain;
    long code = 0;
    std::string description;
    std::string failureReason;
    std::string recoverySuggestion;

    bool isStreamSocketError(long c) const { return domain == StreamSocketErrorDomain && code == c; }

    static SocketError streamSocket(long code, std::string description);
    // One of the fixed errors (codes 3 to 7) with its standard text.
    static SocketError fixed(StreamSocketErrorCode code);
    // errno value plus the operation's own text ("Error in read() function").
    static SocketError posix(int errnum, std::string reason);
    static SocketError netdb(int gaiCode);
    static SocketError tls(long status, std::string detail = {});
};

} // namespace tc
