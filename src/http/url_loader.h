#pragma once
// The client's own URL loading: one network thread drives every transfer through libcurl's multi
// interface; redirects, trust challenges, bodies and progress come back to a connection delegate on
// that thread. TLS is always checked by our own trust evaluation (never switched off inside libcurl's
// settings alone): the delegate answers each server-trust challenge.
#include "http/security_policy.h"
#include "http/streams.h"

#include <functional>

namespace tc::http {

struct URLCredential {
    std::string user;
    std::string password;
};

enum class ChallengeDisposition { UseCredential = 0, PerformDefaultHandling = 1, CancelChallenge = 2 };

// A server's request for a user and password (a 401 answer with a Basic challenge).
struct HTTPAuthenticationChallenge {
    std::string protocol; // "http" or "https"
    std::string host;
    int port = 0;
    std::string realm;
    int previousFailureCount = 0; // credentials already refused for this request
    std::shared_ptr<const HTTPURLResponse> failureResponse;
};

// Credentials answered for one request before its 401 is taken as the answer.
inline constexpr int kMaximumAuthenticationAttempts = 8;

// What a connection tells its owner. Every call runs on the network thread, in this order: redirects
// and trust challenges, then one response, data, and exactly one of finish or failure (none after
// cancel()).
class URLConnectionDelegate {
public:
    virtual ~URLConnectionDelegate() = default;
    // The request to send for a redirect, or nullopt to take the redirect response as the answer.
    virtual std::optional<URLRequest> willSendRequest(const URLRequest& request,
                                                      const HTTPURLResponse& redirect) {
        (void)redirect;
        return request;
    }
    // True to accept the server's chain. Unanswered challenges are refused.
    virtual bool didReceiveServerTrustChallenge(const ServerTrust& trust) = 0;
    // Use a credential (the request is sent again with it), take the 401 as the answer (default
    // handling), or cancel (the transfer fails with kUserCancelledAuthentication).
    virtual ChallengeDisposition
    didReceiveHTTPAuthenticationChallenge(const HTTPAuthenticationChallenge&,
                                          std::optional<URLCredential>& credential) {
        (void)credential;
        return ChallengeDisposition::PerformDefaultHandling;
    }
    // A new body stream for a redirected request whose stream was consumed; null when there is none.
    virtual std::shared_ptr<InputStream> needNewBodyStream(const URLRequest& request) {
        return request.httpBodyStream ? request.httpBodyStream->copy() : nullptr;
    }
    virtual void didReceiveResponse(std::shared_ptr<const HTTPURLResponse> response) = 0;
    // True while the owner cannot take more data: the transfer holds the bytes until resumeReceiving().
    virtual bool shouldPauseReceiving() { return false; }
    virtual void didReceiveData(const std::uint8_t* data, std::size_t length) = 0;
    virtual void didSendBodyData(std::int64_t bytesWritten, std::int64_t totalWritten,
                                 std::int64_t totalExpected) {
        (void)bytesWritten;
        (void)totalWritten;
        (void)totalExpected;
    }
    virtual void didFinishLoading() = 0;
    virtual void didFailWithError(const Error& error) = 0;
};

struct URLConnectionOptions {
    std::optional<URLCredential> credential;
    // Connections accepted under relaxed or pinned trust are never shared with other requests.
    bool shareConnections = true;
    // Ask for the body from this offset on (a resumed download), with If-Range when given.
    std::optional<std::uint64_t> resumeOffset;
    std::optional<std::string> ifRange;
};

class URLConnection : public std::enable_shared_from_this<URLConnection> {
public:
    static std::shared_ptr<URLConnection> create(URLRequest request,
                                                 std::shared_ptr<URLConnectionDelegate> delegate,
                                                 URLConnectionOptions options = {});
    ~URLConnection();
    // Both may be called from any thread.
    void start();
    // Stops the transfer; the delegate hears nothing more.
    void cancel();
    // Ends the transfer with `error` delivered through didFailWithError (on the network thread).
    void failWithError(Error error);
    // Holds and releases the transfer while it runs (a suspended task keeps its connection).
    void suspend();
    void resume();
    // Lets a paused receiver take data again.
    void resumeReceiving();

    // Internal, used by the network thread.
    struct Transfer;

private:
    URLConnection(URLRequest request, std::shared_ptr<URLConnectionDelegate> delegate,
                  URLConnectionOptions options);
    std::shared_ptr<URLConnectionDelegate> delegate_;
    URLConnectionOptions options_;
    std::unique_ptr<Transfer> transfer_;
};

// The one network thread.
class NetworkThread {
public:
    // Runs `work` on the network thread, after what it is doing now.
    static void post(platform::Task work);
    static bool isCurrent();
    // Waits until everything posted before has run (tests).
    static void sync();
};

// The URL error for a libcurl result, with the failing URL.
Error errorForTransferResult(int curlCode, const std::string& detail, const URL& url);

} // namespace tc::http
