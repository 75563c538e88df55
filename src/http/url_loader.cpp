#include "http/url_loader.h"

#include "platform/base64.h"
#include "platform/crypto.h"
#include "platform/log.h"

#include <curl/curl.h>
#include <fmt/format.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstring>
#include <pthread.h>
#include <thread>

namespace tc::http {

namespace {

constexpr std::size_t kMaxHeaderBytes = 256 * 1024;
constexpr int kMaxRedirects = 16;

// libcurl (7.88) loses a handle's cookie-file list on reset; clearing the list first frees it and leaves
// the shared cookies alone.
void resetHandle(CURL* easy) {
    curl_easy_setopt(easy, CURLOPT_COOKIEFILE, nullptr);
    curl_easy_reset(easy);
}

class Loop {
public:
    Loop() {
        platform::initialiseCrypto(); // before libcurl starts OpenSSL
        curl_global_init(CURL_GLOBAL_ALL);
        multi_ = curl_multi_init();
        curl_multi_setopt(multi_, CURLMOPT_MAXCONNECTS, 32L);
        curl_multi_setopt(multi_, CURLMOPT_MAX_HOST_CONNECTIONS, 8L);
        share_ = curl_share_init();
        curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
        const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
        openssl_ = info && info->ssl_version && std::strstr(info->ssl_version, "OpenSSL");
        std::thread([this] { run(); }).detach();
    }
    void post(platform::Task work) {
        bool wake;
        {
            std::lock_guard lock(mutex_);
            queue_.push_back(std::move(work));
            // Only a thread asleep in poll needs the wake-up (a system call); one is enough.
            wake = polling_;
            polling_ = false;
            posted_.store(true, std::memory_order_release);
        }
        if (wake)
            curl_multi_wakeup(multi_);
    }
    bool isCurrent() const { return std::this_thread::get_id() == threadId_.load(); }
    // True inside a libcurl call that may run transfer callbacks (perform, or a pause that lets data go),
    // when libcurl refuses calls on the multi handle.
    bool inCurl() const { return inCurl_; }
    template <typename F>
    auto callCurl(F call) {
        struct Scope {
            bool& flag;
            bool was = flag;
            ~Scope() { flag = was; }
        } scope{inCurl_};
        inCurl_ = true;
        return call();
    }
    CURLM* multi() const { return multi_; }
    CURLSH* share() const { return share_; }
    bool openssl() const { return openssl_; }

    // What a transfer handle was last set up for: a plain request of the same shape needs only its address,
    // its own pointers and its header list set again, not a reset and the whole set-up.
    struct Shape {
        std::string method;
        bool cookies = false;
        double timeout = 0;
        bool acceptEncoding = false;
        friend bool operator==(const Shape&, const Shape&) = default;
    };
    // Transfer handles are kept for the next transfer, with their header list: a reused handle skips the
    // set-up of a new one, and the list serves again when the next request has the same fields.
    struct Handle {
        CURL* easy = nullptr;
        curl_slist* headers = nullptr;
        bool used = false;
        std::optional<Shape> shape; // set when its last transfer was plain and ended cleanly
    };
    Handle takeHandle() {
        if (idleHandles_.empty())
            return {curl_easy_init(), nullptr, false, std::nullopt};
        Handle h = std::move(idleHandles_.back());
        idleHandles_.pop_back();
        return h;
    }
    void giveBack(Handle h) {
        if (idleHandles_.size() < kIdleHandles) {
            h.used = true;
            idleHandles_.push_back(std::move(h));
            return;
        }
        curl_easy_cleanup(h.easy);
        curl_slist_free_all(h.headers);
    }

private:
    static constexpr std::size_t kIdleHandles = 8;
    static constexpr std::chrono::microseconds kIdleSpin{50};
    void run();
    CURLM* multi_;
    CURLSH* share_;
    bool openssl_ = false;
    std::mutex mutex_;
    std::vector<platform::Task> queue_;
    bool polling_ = false;
    std::atomic<bool> posted_{false}; // work queued since the loop last took the queue
    bool inCurl_ = false;
    std::vector<Handle> idleHandles_; // network thread only
    std::atomic<std::thread::id> threadId_{};
};

Loop& loop() {
    static Loop* l = new Loop; // the network thread lives as long as the process
    return *l;
}

Error urlError(int code, std::string description, const URL& url) {
    Error e = Error::make(kURLErrorDomain, code, std::move(description));
    e.failingURL = url.absoluteString();
    return e;
}

bool hasLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos || s.find('\0') != std::string_view::npos;
}

} // namespace

Error errorForTransferResult(int code, const std::string& detail, const URL& url) {
    int c;
    std::string text;
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
        c = urlerror::kCannotFindHost;
        text = "A server with the specified hostname could not be found.";
        break;
    case CURLE_COULDNT_CONNECT:
        c = urlerror::kCannotConnectToHost;
        text = "Could not connect to the server.";
        break;
    case CURLE_OPERATION_TIMEDOUT:
        c = urlerror::kTimedOut;
        text = "The request timed out.";
        break;
    case CURLE_TOO_MANY_REDIRECTS:
        c = urlerror::kHTTPTooManyRedirects;
        text = "Too many HTTP redirects.";
        break;
    case CURLE_URL_MALFORMAT:
        c = urlerror::kBadURL;
        text = "The URL is malformed.";
        break;
    case CURLE_UNSUPPORTED_PROTOCOL:
        c = urlerror::kUnsupportedURL;
        text = "unsupported URL";
        break;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
        c = urlerror::kSecureConnectionFailed;
        text = "An SSL error has occurred and a secure connection to the server cannot be made.";
        break;
    case CURLE_GOT_NOTHING:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE:
        c = urlerror::kNetworkConnectionLost;
        text = "The network connection was lost.";
        break;
    case CURLE_BAD_CONTENT_ENCODING:
        c = urlerror::kCannotDecodeContentData;
        text = "The response body could not be decoded.";
        break;
    case CURLE_WEIRD_SERVER_REPLY:
        c = urlerror::kBadServerResponse;
        text = "The server's answer is not HTTP.";
        break;
    default:
        c = urlerror::kUnknown;
        text = fmt::format("The request failed ({}).", curl_easy_strerror(static_cast<CURLcode>(code)));
        break;
    }
    Error e = urlError(c, std::move(text), url);
    e.failureReason = detail.empty() ? curl_easy_strerror(static_cast<CURLcode>(code)) : detail;
    return e;
}

// ---- one transfer, redirects included

struct URLConnection::Transfer {
    URLConnection* owner = nullptr;
    std::shared_ptr<URLConnection> keepAlive; // while the transfer runs
    CURL* easy = nullptr;
    curl_slist* headerList = nullptr;
    URLRequest request;
    std::shared_ptr<InputStream> bodyStream;
    std::shared_ptr<const Bytes> body;
    std::size_t bodyOffset = 0;
    std::int64_t uploadTotal = -1;
    std::int64_t uploadSent = 0;
    int hops = 0;
    int credentialsSent = 0; // answers to 401 challenges, across the request's hops
    int status = 0;
    HeaderFields headers;
    std::size_t headerBytes = 0;
    std::optional<URLRequest> redirect;
    bool responseDelivered = false;
    std::optional<Error> abortError;
    bool trustRefused = false;
    bool cancelled = false;
    bool running = false;
    bool done = false;
    bool inCallback = false;
    bool pausedReceiving = false;
    bool suspended = false;
    bool everPaused = false;
    bool endedCleanly = false;
    std::optional<Loop::Shape> shape; // of a plain request, for the handle's next use
    char errorText[CURL_ERROR_SIZE] = {};

    URLConnectionDelegate& delegate() { return *owner->delegate_; }
    bool stopping() const { return cancelled || abortError.has_value(); }

    struct CallbackScope {
        Transfer& t;
        explicit CallbackScope(Transfer& tr) : t(tr) { t.inCallback = true; }
        ~CallbackScope() { t.inCallback = false; }
    };

    void begin();
    bool setUp();
    void setOptions(bool hasBody);
    void setHeaderList(bool hasBody);
    void stopSoon();
    void finish(CURLcode result);
    void stopNow();
    void release();
    void headersComplete();
    std::optional<URLRequest> redirectRequest(const HTTPURLResponse& response);
    bool answerChallenge(const std::shared_ptr<const HTTPURLResponse>& response);

    static size_t onHeader(char* data, size_t size, size_t count, void* p);
    static size_t onWrite(char* data, size_t size, size_t count, void* p);
    static size_t onRead(char* data, size_t size, size_t count, void* p);
    static int onProgress(void* p, curl_off_t, curl_off_t, curl_off_t ultotal, curl_off_t ulnow);
    static CURLcode onSSLContext(CURL*, void* sslContext, void* p);
    static int onVerify(X509_STORE_CTX* store, void* p);
};

void Loop::run() {
    threadId_ = std::this_thread::get_id();
    pthread_setname_np(pthread_self(), "tc.networking");
    static const std::string where = "network thread";
    std::vector<platform::Task> work;
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            work.swap(queue_);
            posted_.store(false, std::memory_order_relaxed);
        }
        bool worked = !work.empty();
        for (auto& w : work)
            platform::runGuarded(w, where);
        int running = 0;
        callCurl([&] { return curl_multi_perform(multi_, &running); });
        // What the work held (a finished request's operation) is let go once the requests it started are
        // sent, while the server answers them.
        work.clear();
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi_, &left)) {
            if (msg->msg != CURLMSG_DONE)
                continue;
            URLConnection::Transfer* t = nullptr;
            curl_easy_getinfo(msg->easy_handle, CURLINFO_PRIVATE, reinterpret_cast<char**>(&t));
            CURLcode result = msg->data.result;
            if (t)
                t->finish(result);
            worked = true;
        }
        // Idle after work: the next request usually follows at once (the completion of this one asks
        // for it, from another thread). Waiting a moment awake takes it without a wake-up through the
        // kernel, which across cores costs more than a whole loopback transfer. Never with a transfer
        // under way, whose bytes would wait.
        if (worked && running == 0) {
            const auto until = std::chrono::steady_clock::now() + kIdleSpin;
            while (!posted_.load(std::memory_order_acquire) && std::chrono::steady_clock::now() < until)
                std::this_thread::yield();
        }
        {
            // Work posted meanwhile (a completion that starts the next request) runs before any wait.
            std::lock_guard lock(mutex_);
            if (!queue_.empty())
                continue;
            polling_ = true;
        }
        curl_multi_poll(multi_, nullptr, 0, 1000, nullptr);
        std::lock_guard lock(mutex_);
        polling_ = false;
    }
}

void NetworkThread::post(platform::Task work) {
    loop().post(std::move(work));
}

bool NetworkThread::isCurrent() {
    return loop().isCurrent();
}

void NetworkThread::sync() {
    if (isCurrent())
        return;
    platform::Semaphore done;
    post([&done] { done.signal(); });
    done.wait();
}

bool URLConnection::Transfer::setUp() {
    const URL& url = request.url;
    if (!url.isHTTP()) {
        abortError = urlError(urlerror::kUnsupportedURL, "unsupported URL", url);
        return false;
    }
    if (url.scheme() == "https" && !loop().openssl()) {
        abortError = urlError(urlerror::kSecureConnectionFailed,
                              "TLS is not available: the transfer library is not built with OpenSSL.", url);
        return false;
    }
    for (const auto& [name, value] : request.headers)
        if (hasLineBreak(name) || hasLineBreak(value) || name.empty() ||
            name.find(':') != std::string::npos) {
            abortError = urlError(urlerror::kBadURL,
                                  fmt::format("The request header \"{}\" is malformed.", name), url);
            return false;
        }
    // A plain request (http, no body, no credential, no resumed range) whose handle last carried one of
    // the same shape to a clean end keeps that handle's set-up.
    std::optional<Loop::Shape> plain;
    if (url.scheme() == "http" && !request.httpBody && !request.httpBodyStream &&
        !owner->options_.credential && !owner->options_.resumeOffset)
        plain = Loop::Shape{toUpperASCII(request.httpMethod), request.HTTPShouldHandleCookies,
                            request.timeoutInterval, !request.headers.contains("Accept-Encoding")};
    bool light = false;
    if (easy) {
        resetHandle(easy); // a redirect hop starts from a reset handle, as a new transfer does
    } else {
        auto handle = loop().takeHandle();
        easy = handle.easy;
        headerList = handle.headers;
        light = plain && handle.shape == plain;
        if (handle.used && !light)
            resetHandle(easy);
    }
    shape = hops == 0 ? plain : std::nullopt;
    status = 0;
    headers = HeaderFields();
    headerBytes = 0;
    redirect.reset();
    responseDelivered = false;
    uploadSent = 0;
    bodyOffset = 0;

    std::string text = url.absoluteString();
    if (auto hash = text.find('#'); hash != std::string::npos)
        text.erase(hash);
    curl_easy_setopt(easy, CURLOPT_URL, text.c_str());
    curl_easy_setopt(easy, CURLOPT_PRIVATE, this);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    if (owner->options_.resumeOffset && *owner->options_.resumeOffset > 0 && hops == 0) {
        request.headers.set("Range", fmt::format("bytes={}-", *owner->options_.resumeOffset));
        if (owner->options_.ifRange)
            request.headers.set("If-Range", *owner->options_.ifRange);
    }

    body.reset();
    bodyStream.reset();
    if (request.httpBodyStream) {
        bodyStream = request.httpBodyStream;
        if (bodyStream->streamStatus() != StreamStatus::NotOpen) {
            bodyStream = delegate().needNewBodyStream(request);
            if (!bodyStream) {
                abortError =
                    urlError(urlerror::kRequestBodyStreamExhausted,
                             "The request body stream was already read and cannot be read again.", url);
                return false;
            }
        }
        bodyStream->open();
    } else if (request.httpBody) {
        body = std::make_shared<const Bytes>(*request.httpBody);
    }
    bool hasBody = bodyStream || body;
    uploadTotal = -1;
    if (body)
        uploadTotal = static_cast<std::int64_t>(body->size());
    else if (auto cl = request.headers.value("Content-Length")) {
        std::int64_t n = -1;
        auto [p, ec] = std::from_chars(cl->data(), cl->data() + cl->size(), n);
        if (ec == std::errc() && p == cl->data() + cl->size())
            uploadTotal = n;
    }
    if (!light)
        setOptions(hasBody);
    setHeaderList(hasBody);
    return true;
}

// Everything but the address, the transfer's own pointers and its header fields: what a plain
// request's shape decides, and what any other request needs besides.
void URLConnection::Transfer::setOptions(bool hasBody) {
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    // The share holds only cookies; a reset handle keeps its share, so it is set (or cleared) every time.
    curl_easy_setopt(easy, CURLOPT_SHARE, request.HTTPShouldHandleCookies ? loop().share() : nullptr);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Transfer::onHeader);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Transfer::onWrite);
    if (request.HTTPShouldHandleCookies)
        curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
    if (request.timeoutInterval > 0) {
        long ms = static_cast<long>(std::min(request.timeoutInterval, 86400.0) * 1000);
        curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, std::max(ms, 1L));
        curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME,
                         std::max(1L, static_cast<long>(std::ceil(ms / 1000.0))));
    }
    if (!request.headers.contains("Accept-Encoding"))
        curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");

    // TLS: libcurl's own checks are off because ours replace them (chain, host, pinning) in onVerify.
    if (request.url.scheme() == "https") {
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 0L);
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 0L);
        curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, &Transfer::onSSLContext);
        curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA, this);
        if (!owner->options_.shareConnections) {
            curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L);
            curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
            curl_easy_setopt(easy, CURLOPT_SSL_SESSIONID_CACHE, 0L);
        }
    }
    if (owner->options_.credential) {
        curl_easy_setopt(easy, CURLOPT_HTTPAUTH, CURLAUTH_BASIC);
        curl_easy_setopt(easy, CURLOPT_USERNAME, owner->options_.credential->user.c_str());
        curl_easy_setopt(easy, CURLOPT_PASSWORD, owner->options_.credential->password.c_str());
    }

    std::string method = toUpperASCII(request.httpMethod);
    if (method == "HEAD") {
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else if (hasBody) {
        // Progress is only asked for what there is to report: the body sent.
        curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &Transfer::onProgress);
        curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
        curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(easy, CURLOPT_POST, 1L);
        curl_easy_setopt(easy, CURLOPT_READFUNCTION, &Transfer::onRead);
        curl_easy_setopt(easy, CURLOPT_READDATA, this);
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(uploadTotal));
        if (method != "POST")
            curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
    } else {
        curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
        if (method != "GET")
            curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
    }
}

// The header fields as libcurl takes them; the handle's last list serves again when it says the same.
void URLConnection::Transfer::setHeaderList(bool hasBody) {
    static thread_local std::vector<std::string> lines; // the network thread's, kept for the next request
    std::size_t count = 0;
    auto addLine = [&](std::string_view name, std::string_view separator, std::string_view value) {
        if (lines.size() == count)
            lines.emplace_back();
        std::string& line = lines[count++];
        line.assign(name);
        line += separator;
        line += value;
    };
    for (const auto& [name, value] : request.headers) {
        if (equalsIgnoringCase(name, "Content-Length") || equalsIgnoringCase(name, "Transfer-Encoding"))
            continue; // the transfer writes its own from the body
        addLine(name, value.empty() ? ";" : ": ", value);
    }
    if (hasBody) {
        addLine("Expect:", "", ""); // no wait for a 100 answer
        if (!request.headers.contains("Content-Type"))
            addLine("Content-Type:", "", "");
    }
    const curl_slist* node = headerList;
    std::size_t same = 0;
    while (same < count && node && lines[same] == node->data)
        ++same, node = node->next;
    if (same != count || node) {
        curl_slist_free_all(headerList);
        headerList = nullptr;
        for (std::size_t i = 0; i < count; ++i)
            headerList = curl_slist_append(headerList, lines[i].c_str());
    }
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headerList);
}

void URLConnection::Transfer::begin() {
    if (running || done || cancelled)
        return;
    running = true;
    if (!setUp()) {
        // Reported from the loop, never from inside start().
        auto self = keepAlive;
        running = false;
        done = true;
        Error e = *abortError;
        NetworkThread::post([self, e] {
            if (!self->transfer_->cancelled)
                self->delegate_->didFailWithError(e);
            self->transfer_->release();
        });
        return;
    }
    curl_multi_add_handle(loop().multi(), easy);
}

void URLConnection::Transfer::release() {
    if (easy)
        loop().giveBack({easy, headerList, true, endedCleanly && !everPaused ? shape : std::nullopt});
    else
        curl_slist_free_all(headerList);
    easy = nullptr;
    headerList = nullptr;
    if (bodyStream)
        bodyStream->close();
    // The delegate and the connection may hold each other; the last callback has run, so let go.
    auto self = std::move(keepAlive);
    owner->delegate_.reset();
}

void URLConnection::Transfer::stopNow() {
    if (!running)
        return;
    curl_multi_remove_handle(loop().multi(), easy);
    running = false;
    done = true;
    auto self = keepAlive;
    if (!cancelled && abortError)
        delegate().didFailWithError(*abortError);
    release();
}

void URLConnection::Transfer::finish(CURLcode result) {
    auto self = keepAlive;
    curl_multi_remove_handle(loop().multi(), easy);
    running = false;
    if (cancelled) {
        done = true;
        release();
        return;
    }
    if (result == CURLE_OK && !abortError && redirect) {
        if (++hops > kMaxRedirects) {
            abortError = urlError(urlerror::kHTTPTooManyRedirects, "Too many HTTP redirects.", request.url);
        } else {
            request = std::move(*redirect);
            running = true;
            if (setUp()) {
                curl_multi_add_handle(loop().multi(), easy);
                return;
            }
            running = false;
        }
    }
    done = true;
    endedCleanly = result == CURLE_OK && !abortError && hops == 0;
    if (result == CURLE_OK && !abortError)
        delegate().didFinishLoading();
    else if (abortError)
        delegate().didFailWithError(*abortError);
    else if (trustRefused) {
        Error e =
            urlError(urlerror::kServerCertificateUntrusted,
                     fmt::format("The certificate for this server is invalid. You might be connecting to a "
                                 "server that is pretending to be \"{}\".",
                                 request.url.host()),
                     request.url);
        e.failureReason = "The server's certificate chain was refused by the security policy.";
        delegate().didFailWithError(e);
    } else
        delegate().didFailWithError(errorForTransferResult(result, errorText, request.url));
    release();
}

std::optional<URLRequest> URLConnection::Transfer::redirectRequest(const HTTPURLResponse& response) {
    int code = response.statusCode();
    if (code != 301 && code != 302 && code != 303 && code != 307 && code != 308)
        return std::nullopt;
    auto location = response.valueForHTTPHeaderField("Location");
    if (!location)
        return std::nullopt;
    auto target = URL::resolve(*location, request.url);
    if (!target || !target->isHTTP())
        return std::nullopt;
    URLRequest next = request;
    next.url = *target;
    next.headers.remove("Range");
    next.headers.remove("If-Range");
    std::string method = toUpperASCII(request.httpMethod);
    if (code == 303 ? method != "HEAD" : ((code == 301 || code == 302) && method == "POST")) {
        next.httpMethod = "GET";
        next.httpBody.reset();
        next.httpBodyStream.reset();
        next.headers.remove("Content-Type");
        next.headers.remove("Content-Length");
    }
    if (target->host() != request.url.host() || target->scheme() != request.url.scheme() ||
        target->port() != request.url.port())
        next.headers.remove("Authorization"); // credentials stay with the origin they were meant for
    return next;
}

void URLConnection::Transfer::headersComplete() {
    if (status < 200)
        return; // an interim answer; the real one follows
    auto response = std::make_shared<const HTTPURLResponse>(request.url, status, std::move(headers));
    headers = HeaderFields();
    if (auto next = redirectRequest(*response)) {
        auto chosen = delegate().willSendRequest(*next, *response);
        if (stopping())
            return;
        if (chosen) {
            redirect = std::move(*chosen);
            return;
        }
    }
    if (response->statusCode() == 401 && answerChallenge(response))
        return;
    responseDelivered = true;
    delegate().didReceiveResponse(std::move(response));
}

namespace {

// The realm of a Basic challenge among the WWW-Authenticate challenges; nullopt when none is Basic.
std::optional<std::string> basicRealm(std::string_view field) {
    constexpr std::size_t kMaxRealm = 1024;
    std::string lower = toLowerASCII(field);
    for (auto at = lower.find("basic"); at != std::string::npos; at = lower.find("basic", at + 1)) {
        bool starts = at == 0 || lower[at - 1] == ' ' || lower[at - 1] == ',';
        bool ends = at + 5 == lower.size() || lower[at + 5] == ' ' || lower[at + 5] == ',';
        if (!starts || !ends)
            continue;
        std::string_view realm;
        if (auto r = lower.find("realm=", at + 5); r != std::string::npos) {
            realm = field.substr(r + 6);
            if (!realm.empty() && realm.front() == '"') {
                realm.remove_prefix(1);
                realm = realm.substr(0, realm.find('"'));
            } else
                realm = realm.substr(0, realm.find_first_of(", "));
        }
        return std::string(realm.substr(0, kMaxRealm));
    }
    return std::nullopt;
}

} // namespace

// A 401 with a Basic challenge asks the delegate; true when the request goes again with a credential or
// the transfer stops.
bool URLConnection::Transfer::answerChallenge(const std::shared_ptr<const HTTPURLResponse>& response) {
    auto field = response->valueForHTTPHeaderField("WWW-Authenticate");
    auto realm = field ? basicRealm(*field) : std::nullopt;
    if (!realm || credentialsSent >= kMaximumAuthenticationAttempts)
        return false;
    HTTPAuthenticationChallenge challenge;
    challenge.protocol = request.url.scheme();
    challenge.host = request.url.host();
    challenge.port = request.url.port().value_or(request.url.scheme() == "https" ? 443 : 80);
    challenge.realm = *realm;
    challenge.previousFailureCount = credentialsSent;
    challenge.failureResponse = response;
    std::optional<URLCredential> credential;
    ChallengeDisposition answer = delegate().didReceiveHTTPAuthenticationChallenge(challenge, credential);
    if (stopping())
        return true;
    if (answer == ChallengeDisposition::CancelChallenge) {
        abortError =
            urlError(urlerror::kUserCancelledAuthentication,
                     "The server asked for a user and password, and the request was cancelled.", request.url);
        return true;
    }
    if (answer != ChallengeDisposition::UseCredential || !credential)
        return false;
    ++credentialsSent;
    URLRequest again = request;
    again.headers.set("Authorization", "Basic " + platform::Base64::encodeBase64WithString(
                                                      credential->user + ":" + credential->password)
                                                      .value_or(""));
    redirect = std::move(again); // sent again the way a followed redirect is
    return true;
}

size_t URLConnection::Transfer::onHeader(char* data, size_t size, size_t count, void* p) {
    auto* t = static_cast<Transfer*>(p);
    CallbackScope scope(*t);
    std::size_t length = size * count;
    if (t->stopping())
        return 0;
    t->headerBytes += length;
    if (t->headerBytes > kMaxHeaderBytes) {
        t->abortError = urlError(urlerror::kBadServerResponse,
                                 fmt::format("The server's header fields exceed {} bytes.", kMaxHeaderBytes),
                                 t->request.url);
        return 0;
    }
    std::string_view line(data, length);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    if (line.starts_with("HTTP/")) {
        auto space = line.find(' ');
        int code = 0;
        if (space != std::string_view::npos)
            std::from_chars(line.data() + space + 1, line.data() + line.size(), code);
        t->status = code;
        t->headers = HeaderFields();
        t->headers.reserve(8);
        return length;
    }
    if (line.empty()) {
        t->headersComplete();
        return t->stopping() ? 0 : length;
    }
    auto colon = line.find(':');
    if (colon != std::string_view::npos && colon > 0) {
        std::string_view value = line.substr(colon + 1);
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
            value.remove_prefix(1);
        t->headers.add(line.substr(0, colon), value);
    }
    return length;
}

size_t URLConnection::Transfer::onWrite(char* data, size_t size, size_t count, void* p) {
    auto* t = static_cast<Transfer*>(p);
    CallbackScope scope(*t);
    std::size_t length = size * count;
    if (t->stopping())
        return 0;
    if (t->redirect || !t->responseDelivered)
        return length; // the body of a redirect that is followed
    if (t->delegate().shouldPauseReceiving()) {
        t->pausedReceiving = true;
        t->everPaused = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    t->delegate().didReceiveData(reinterpret_cast<const std::uint8_t*>(data), length);
    return t->stopping() ? 0 : length;
}

size_t URLConnection::Transfer::onRead(char* data, size_t size, size_t count, void* p) {
    auto* t = static_cast<Transfer*>(p);
    CallbackScope scope(*t);
    std::size_t room = size * count;
    if (t->stopping())
        return CURL_READFUNC_ABORT;
    if (t->body) {
        std::size_t n = std::min(room, t->body->size() - t->bodyOffset);
        std::memcpy(data, t->body->data() + t->bodyOffset, n);
        t->bodyOffset += n;
        return n;
    }
    if (!t->bodyStream)
        return 0;
    ssize_t n = t->bodyStream->read(reinterpret_cast<std::uint8_t*>(data), room);
    if (n < 0) {
        t->abortError = t->bodyStream->streamError().value_or(urlError(
            urlerror::kRequestBodyStreamExhausted, "The request body stream failed.", t->request.url));
        if (t->abortError->failingURL.empty())
            t->abortError->failingURL = t->request.url.absoluteString();
        return CURL_READFUNC_ABORT;
    }
    return static_cast<size_t>(n);
}

int URLConnection::Transfer::onProgress(void* p, curl_off_t, curl_off_t, curl_off_t, curl_off_t ulnow) {
    auto* t = static_cast<Transfer*>(p);
    CallbackScope scope(*t);
    if (t->stopping())
        return 1;
    if (ulnow > t->uploadSent) {
        std::int64_t delta = ulnow - t->uploadSent;
        t->uploadSent = ulnow;
        t->delegate().didSendBodyData(delta, ulnow, t->uploadTotal);
    }
    return t->stopping() ? 1 : 0;
}

CURLcode URLConnection::Transfer::onSSLContext(CURL*, void* sslContext, void* p) {
    auto* ctx = static_cast<SSL_CTX*>(sslContext);
    // The pointer to this transfer must not outlive the handshake: no renegotiation later.
    SSL_CTX_set_options(ctx, SSL_OP_NO_RENEGOTIATION);
    SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_cert_verify_callback(ctx, &Transfer::onVerify, p);
    return CURLE_OK;
}

int URLConnection::Transfer::onVerify(X509_STORE_CTX* store, void* p) {
    auto* t = static_cast<Transfer*>(p);
    CallbackScope scope(*t);
    std::vector<Bytes> chain;
    auto add = [&](X509* x) {
        int n = i2d_X509(x, nullptr);
        if (n <= 0)
            return;
        Bytes der(static_cast<std::size_t>(n));
        unsigned char* out = der.data();
        i2d_X509(x, &out);
        chain.push_back(std::move(der));
    };
    if (X509* leaf = X509_STORE_CTX_get0_cert(store))
        add(leaf);
    if (STACK_OF(X509)* untrusted = X509_STORE_CTX_get0_untrusted(store))
        for (int i = 0; i < sk_X509_num(untrusted); ++i)
            if (sk_X509_value(untrusted, i) != X509_STORE_CTX_get0_cert(store))
                add(sk_X509_value(untrusted, i));
    bool accepted = false;
    if (!t->stopping())
        accepted = t->delegate().didReceiveServerTrustChallenge(
            ServerTrust(t->request.url.host(), std::move(chain)));
    if (accepted) {
        X509_STORE_CTX_set_error(store, X509_V_OK);
        return 1;
    }
    t->trustRefused = true;
    X509_STORE_CTX_set_error(store, X509_V_ERR_APPLICATION_VERIFICATION);
    return 0;
}

// ---- the connection

std::shared_ptr<URLConnection> URLConnection::create(URLRequest request,
                                                     std::shared_ptr<URLConnectionDelegate> delegate,
                                                     URLConnectionOptions options) {
    struct Made final : URLConnection {
        Made(URLRequest r, std::shared_ptr<URLConnectionDelegate> d, URLConnectionOptions o)
            : URLConnection(std::move(r), std::move(d), std::move(o)) {}
    };
    return std::make_shared<Made>(std::move(request), std::move(delegate), std::move(options));
}

URLConnection::URLConnection(URLRequest request, std::shared_ptr<URLConnectionDelegate> delegate,
                             URLConnectionOptions options)
    : delegate_(std::move(delegate)), options_(std::move(options)), transfer_(std::make_unique<Transfer>()) {
    transfer_->owner = this;
    transfer_->request = std::move(request);
}

URLConnection::~URLConnection() {
    if (transfer_->easy)
        curl_easy_cleanup(transfer_->easy);
    if (transfer_->headerList)
        curl_slist_free_all(transfer_->headerList);
}

void URLConnection::Transfer::stopSoon() {
    // Inside its own callback the transfer stops on that callback's answer.
    if (!running || inCallback)
        return;
    if (loop().inCurl())
        NetworkThread::post([self = keepAlive] { self->transfer_->stopNow(); });
    else
        stopNow();
}

void URLConnection::start() {
    auto work = [self = shared_from_this()] {
        Transfer& t = *self->transfer_;
        if (t.running || t.done || t.cancelled)
            return;
        t.keepAlive = self;
        t.begin();
    };
    // Started from the network thread (a completion that asks for the next request), it begins at once.
    if (loop().isCurrent() && !loop().inCurl())
        work();
    else
        loop().post(std::move(work));
}

void URLConnection::cancel() {
    auto work = [self = shared_from_this()] {
        Transfer& t = *self->transfer_;
        t.cancelled = true;
        t.stopSoon();
    };
    // The flag is set at once on the network thread so that a callback under way stops the transfer.
    if (loop().isCurrent())
        work();
    else
        loop().post(std::move(work));
}

void URLConnection::failWithError(Error error) {
    auto work = [self = shared_from_this(), error = std::move(error)] {
        Transfer& t = *self->transfer_;
        if (t.done || t.cancelled || t.abortError)
            return;
        t.abortError = error;
        t.stopSoon();
    };
    if (loop().isCurrent())
        work();
    else
        loop().post(std::move(work));
}

void URLConnection::suspend() {
    auto self = shared_from_this();
    NetworkThread::post([self] {
        Transfer& t = *self->transfer_;
        if (t.running && !t.suspended) {
            t.suspended = true;
            t.everPaused = true;
            loop().callCurl([&] { return curl_easy_pause(t.easy, CURLPAUSE_ALL); });
        }
    });
}

void URLConnection::resume() {
    auto self = shared_from_this();
    NetworkThread::post([self] {
        Transfer& t = *self->transfer_;
        if (t.running && t.suspended) {
            t.suspended = false;
            t.pausedReceiving = false;
            loop().callCurl([&] { return curl_easy_pause(t.easy, CURLPAUSE_CONT); });
        }
    });
}

void URLConnection::resumeReceiving() {
    auto self = shared_from_this();
    NetworkThread::post([self] {
        Transfer& t = *self->transfer_;
        if (t.running && t.pausedReceiving && !t.suspended) {
            t.pausedReceiving = false;
            loop().callCurl([&] { return curl_easy_pause(t.easy, CURLPAUSE_CONT); });
        }
    });
}

} // namespace tc::http
