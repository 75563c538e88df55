// Loopback trading server for integration tests and the simulation mode. For now it accepts stream
// connections on 127.0.0.1 and reports what arrives; the server's side of each message comes with
// the client issue that teaches the client that message.
#include "platform/log.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::atomic<bool> stopRequested{false};

void onSignal(int) {
    stopRequested = true;
}

int listenOn(uint16_t port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    int yes = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0 || ::listen(fd, 16) < 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

int main(int argc, char** argv) {
    uint16_t port = 5100;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg(argv[i]);
        if (arg == "--port" && i + 1 < argc) {
            long value = std::strtol(argv[++i], nullptr, 10);
            if (value <= 0 || value > 65535) {
                std::fprintf(stderr, "testserver: bad port %s\n", argv[i]);
                return 2;
            }
            port = static_cast<uint16_t>(value);
        } else {
            std::fprintf(stderr, "usage: testserver [--port N]\n");
            return 2;
        }
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGPIPE, SIG_IGN);

    int listener = listenOn(port);
    if (listener < 0) {
        platform::Log::error("testserver: cannot listen on 127.0.0.1:{}: {}", port, std::strerror(errno));
        return 1;
    }
    platform::Log::info("testserver: listening on 127.0.0.1:{}", port);

    std::map<int, size_t> clients; // fd -> bytes received
    while (!stopRequested) {
        std::vector<pollfd> fds{{listener, POLLIN, 0}};
        for (const auto& [fd, _] : clients)
            fds.push_back({fd, POLLIN, 0});
        int n = ::poll(fds.data(), fds.size(), 250);
        if (n <= 0)
            continue;
        if (fds[0].revents & POLLIN) {
            int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                clients[fd] = 0;
                platform::Log::info("testserver: client {} connected", fd);
            }
        }
        for (size_t i = 1; i < fds.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buf[4096];
            ssize_t got = ::read(fds[i].fd, buf, sizeof buf);
            if (got <= 0) {
                platform::Log::info("testserver: client {} left after {} bytes", fds[i].fd,
                                    clients[fds[i].fd]);
                ::close(fds[i].fd);
                clients.erase(fds[i].fd);
            } else {
                clients[fds[i].fd] += static_cast<size_t>(got);
            }
        }
    }
    for (const auto& [fd, _] : clients)
        ::close(fd);
    ::close(listener);
    platform::Log::info("testserver: stopped");
    return 0;
}
