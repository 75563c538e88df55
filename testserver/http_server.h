#pragma once
// A loopback HTTP/1.1 server for the HTTP client's tests and benchmarks: keep-alive, Content-Length
// and chunked request bodies, optional TLS with a certificate the caller made, and answers from a
// handler (whole bodies, or bodies produced piece by piece so that large or slow answers need no memory).
#include <openssl/ssl.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testserver {

struct HttpRequest {
    std::string method;
    std::string target;                         // path and query as sent
    std::map<std::string, std::string> headers; // names in lower case
    std::string body;
    std::string header(const std::string& lowerName) const {
        auto it = headers.find(lowerName);
        return it == headers.end() ? std::string() : it->second;
    }
};

struct HttpResponse {
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    // When set, the body is produced by calls that append to `chunk` and return false at the end;
    // `length` (or -1 for a chunked body) is announced first.
    std::function<bool(std::string& chunk)> produce;
    std::int64_t length = -1;
    bool close = false;
};

// The answer to a GET of `body` tagged `etag`: "Range: bytes=N-" (with an If-Range that still matches)
// gets 206 and the rest, a start past the end 416, anything else 200 and the whole body.
HttpResponse rangedResponse(const HttpRequest& request, const std::string& body, const std::string& etag);

class HttpServer {
public:
    using Handler = std::function<HttpResponse(const HttpRequest&)>;
    struct Tls {
        X509* certificate = nullptr; // leaf first; the server takes its own references
        std::vector<X509*> chain;
        EVP_PKEY* key = nullptr;
    };

    // Listens on 127.0.0.1 at `port`, any free one when 0; throws std::runtime_error when it cannot.
    explicit HttpServer(Handler handler, int port = 0);
    HttpServer(Handler handler, const Tls& tls, int port = 0);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    int port() const { return port_; }
    std::string url(const std::string& path) const;
    std::uint64_t requestCount() const { return requests_.load(); }
    std::uint64_t connectionCount() const { return connections_.load(); }
    void stop();

private:
    void acceptLoop();
    void serve(int fd);

    Handler handler_;
    SSL_CTX* tls_ = nullptr;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<std::uint64_t> requests_{0};
    std::atomic<std::uint64_t> connections_{0};
    std::thread acceptThread_;
    std::mutex mutex_;
    std::vector<int> clientFds_;
    std::vector<std::thread> clients_;
};

} // namespace testserver
