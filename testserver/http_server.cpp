#include "http_server.h"

#include "platform/crypto.h"

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace testserver {

namespace {

// One connection's byte channel, plain or TLS.
class Channel {
public:
    Channel(int fd, SSL_CTX* tls) : fd_(fd) {
        if (tls) {
            ssl_ = SSL_new(tls);
            SSL_set_fd(ssl_, fd);
            if (SSL_accept(ssl_) != 1)
                ok_ = false;
        }
    }
    ~Channel() {
        if (ssl_) {
            if (ok_)
                SSL_shutdown(ssl_);
            SSL_free(ssl_);
        }
    }
    bool ok() const { return ok_; }
    long read(char* buf, std::size_t n) {
        if (ssl_)
            return SSL_read(ssl_, buf, static_cast<int>(n));
        for (;;) {
            ssize_t r = ::recv(fd_, buf, n, 0);
            if (r < 0 && errno == EINTR)
                continue;
            return r;
        }
    }
    bool write(const std::string& s) {
        std::size_t done = 0;
        while (done < s.size()) {
            long n;
            if (ssl_)
                n = SSL_write(ssl_, s.data() + done, static_cast<int>(s.size() - done));
            else
                n = ::send(fd_, s.data() + done, s.size() - done, MSG_NOSIGNAL);
            if (n <= 0) {
                if (!ssl_ && n < 0 && errno == EINTR)
                    continue;
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

private:
    int fd_;
    SSL* ssl_ = nullptr;
    bool ok_ = true;
};

const char* reason(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 206:
        return "Partial Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 303:
        return "See Other";
    case 307:
        return "Temporary Redirect";
    case 404:
        return "Not Found";
    case 416:
        return "Range Not Satisfiable";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

} // namespace

HttpResponse rangedResponse(const HttpRequest& request, const std::string& body, const std::string& etag) {
    HttpResponse r;
    r.headers = {{"ETag", etag}, {"Accept-Ranges", "bytes"}};
    std::string range = request.header("range");
    std::string ifRange = request.header("if-range");
    std::size_t from = 0;
    bool partial = range.starts_with("bytes=") && range.back() == '-' && (ifRange.empty() || ifRange == etag);
    if (partial) {
        try {
            from = std::stoul(range.substr(6));
        } catch (const std::exception&) {
            partial = false;
        }
    }
    if (!partial) {
        r.body = body;
        return r;
    }
    if (from >= body.size()) {
        r.status = 416;
        r.headers.push_back({"Content-Range", "bytes */" + std::to_string(body.size())});
        return r;
    }
    r.status = 206;
    r.headers.push_back({"Content-Range", "bytes " + std::to_string(from) + "-" +
                                              std::to_string(body.size() - 1) + "/" +
                                              std::to_string(body.size())});
    r.body = body.substr(from);
    return r;
}

HttpServer::HttpServer(Handler handler, int port) : HttpServer(std::move(handler), Tls{}, port) {}

HttpServer::HttpServer(Handler handler, const Tls& tls, int port) : handler_(std::move(handler)) {
    // TLS writes go through write(2): a client that hangs up must not end the process.
    std::signal(SIGPIPE, SIG_IGN);
    if (tls.certificate) {
        tc::platform::initialiseCrypto();
        tls_ = SSL_CTX_new(TLS_server_method());
        SSL_CTX_use_certificate(tls_, tls.certificate);
        for (X509* c : tls.chain)
            SSL_CTX_add1_chain_cert(tls_, c);
        SSL_CTX_use_PrivateKey(tls_, tls.key);
    }
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    if (port < 0 || port > 65535 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listenFd_, 64) != 0) {
        ::close(listenFd_);
        if (tls_)
            SSL_CTX_free(tls_);
        throw std::runtime_error("http test server: cannot listen on port " + std::to_string(port));
    }
    socklen_t len = sizeof addr;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

HttpServer::~HttpServer() {
    stop();
    if (tls_)
        SSL_CTX_free(tls_);
}

std::string HttpServer::url(const std::string& path) const {
    return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) + path;
}

void HttpServer::stop() {
    if (stopping_.exchange(true))
        return;
    ::shutdown(listenFd_, SHUT_RDWR);
    if (acceptThread_.joinable())
        acceptThread_.join();
    ::close(listenFd_);
    std::vector<std::thread> clients;
    {
        std::lock_guard lock(mutex_);
        for (int fd : clientFds_)
            ::shutdown(fd, SHUT_RDWR);
        clients.swap(clients_);
    }
    for (auto& t : clients)
        t.join();
}

void HttpServer::acceptLoop() {
    while (!stopping_) {
        pollfd p{listenFd_, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        connections_++;
        std::lock_guard lock(mutex_);
        if (stopping_) {
            ::close(fd);
            break;
        }
        clientFds_.push_back(fd);
        clients_.emplace_back([this, fd] { serve(fd); });
    }
}

void HttpServer::serve(int fd) {
    {
        Channel ch(fd, tls_);
        std::string buffer;
        char chunk[16384];
        auto fill = [&]() {
            long n = ch.read(chunk, sizeof chunk);
            if (n <= 0)
                return false;
            buffer.append(chunk, static_cast<std::size_t>(n));
            return true;
        };
        while (ch.ok() && !stopping_) {
            std::size_t end;
            while ((end = buffer.find("\r\n\r\n")) == std::string::npos)
                if (buffer.size() > (1u << 20) || !fill())
                    goto done;
            HttpRequest req;
            {
                std::string head = buffer.substr(0, end);
                buffer.erase(0, end + 4);
                std::size_t lineEnd = head.find("\r\n");
                std::string first = head.substr(0, lineEnd);
                auto s1 = first.find(' '), s2 = first.rfind(' ');
                req.method = first.substr(0, s1);
                req.target = first.substr(s1 + 1, s2 - s1 - 1);
                std::size_t pos = lineEnd == std::string::npos ? head.size() : lineEnd + 2;
                while (pos < head.size()) {
                    std::size_t e = head.find("\r\n", pos);
                    if (e == std::string::npos)
                        e = head.size();
                    std::string line = head.substr(pos, e - pos);
                    auto colon = line.find(':');
                    if (colon != std::string::npos) {
                        std::string v = line.substr(colon + 1);
                        v.erase(0, v.find_first_not_of(' '));
                        req.headers[lower(line.substr(0, colon))] = v;
                    }
                    pos = e + 2;
                }
            }
            if (auto cl = req.header("content-length"); !cl.empty()) {
                std::size_t n = std::stoul(cl);
                while (buffer.size() < n)
                    if (!fill())
                        goto done;
                req.body = buffer.substr(0, n);
                buffer.erase(0, n);
            } else if (lower(req.header("transfer-encoding")) == "chunked") {
                for (;;) {
                    std::size_t le;
                    while ((le = buffer.find("\r\n")) == std::string::npos)
                        if (!fill())
                            goto done;
                    std::size_t size = std::stoul(buffer.substr(0, le), nullptr, 16);
                    while (buffer.size() < le + 2 + size + 2)
                        if (!fill())
                            goto done;
                    req.body += buffer.substr(le + 2, size);
                    buffer.erase(0, le + 2 + size + 2);
                    if (size == 0)
                        break;
                }
            }
            requests_++;
            HttpResponse res = handler_(req);
            std::string head = "HTTP/1.1 " + std::to_string(res.status) + " " + reason(res.status) + "\r\n";
            bool hasLength = false;
            for (const auto& [k, v] : res.headers) {
                head += k + ": " + v + "\r\n";
                if (lower(k) == "content-length")
                    hasLength = true;
            }
            bool chunked = false;
            if (!hasLength) {
                if (res.produce && res.length < 0)
                    chunked = true, head += "Transfer-Encoding: chunked\r\n";
                else
                    head +=
                        "Content-Length: " +
                        std::to_string(res.produce ? static_cast<std::size_t>(res.length) : res.body.size()) +
                        "\r\n";
            }
            if (res.close)
                head += "Connection: close\r\n";
            head += "\r\n";
            if (!ch.write(head))
                break;
            if (req.method != "HEAD") {
                if (res.produce) {
                    std::string piece;
                    bool more = true;
                    while (more && !stopping_) {
                        piece.clear();
                        more = res.produce(piece);
                        if (piece.empty())
                            continue;
                        if (chunked) {
                            char size[32];
                            std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
                            piece = size + piece + "\r\n";
                        }
                        if (!ch.write(piece))
                            goto done;
                    }
                    if (chunked && !ch.write("0\r\n\r\n"))
                        break;
                } else if (!ch.write(res.body))
                    break;
            }
            if (res.close)
                break;
        }
    done:;
    }
    std::lock_guard lock(mutex_);
    std::erase(clientFds_, fd);
    ::close(fd);
}

} // namespace testserver
