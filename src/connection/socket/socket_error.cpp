#include "connection/socket/socket_error.h"

#include <netdb.h>

#include <cstring>

namespace tc {

SocketError SocketError::streamSocket(long code, std::string description) {
    SocketError e;
    e.domain = std::string(StreamSocketErrorDomain);
    e.code = code;
    e.description = std::move(description);
    return e;
}

SocketError SocketError::fixed(StreamSocketErrorCode code) {
    switch (code) {
    case StreamSocketConnectTimeoutError:
        return streamSocket(code, "Attempt to connect to host timed out");
    case StreamSocketReadTimeoutError:
        return streamSocket(code, "Read operation timed out");
    case StreamSocketWriteTimeoutError:
        return streamSocket(code, "Write operation timed out");
    case StreamSocketReadMaxedOutError:
        return streamSocket(code, "Read operation reached set maximum length");
    case StreamSocketClosedError:
        return streamSocket(code, "Socket closed by remote peer");
    default:
        return streamSocket(code, "");
    }
}

SocketError SocketError::posix(int errnum, std::string reason) {
    SocketError e;
    e.domain = std::string(PosixErrorDomain);
    e.code = errnum;
    char buffer[256];
    // The GNU variant returns the text, which may or may not live in the buffer.
    e.description = strerror_r(errnum, buffer, sizeof buffer);
    e.failureReason = std::move(reason);
    return e;
}

SocketError SocketError::netdb(int gaiCode) {
    SocketError e;
    e.domain = std::string(NetDBErrorDomain);
    e.code = gaiCode;
    e.description = gai_strerror(gaiCode);
    return e;
}

SocketError SocketError::tls(long status, std::string detail) {
    SocketError e;
    e.domain = std::string(SSLErrorDomain);
    e.code = status;
    e.description = detail.empty() ? "TLS error " + std::to_string(status) : std::move(detail);
    e.recoverySuggestion = "Error code definition can be found in Apple's SecureTransport.h";
    return e;
}

} // namespace tc
