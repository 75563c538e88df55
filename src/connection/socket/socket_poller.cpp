#include "connection/socket/socket_poller.h"

#include "platform/log.h"

#include <sys/epoll.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <thread>

namespace tc {

SocketPoller& SocketPoller::shared() {
    // Lives as long as the process; its thread never ends.
    static SocketPoller* poller = new SocketPoller();
    return *poller;
}

SocketPoller::SocketPoller() {
    epollFd_ = epoll_create1(EPOLL_CLOEXEC);
    if (epollFd_ < 0)
        throw std::runtime_error("epoll_create1 failed");
    std::thread([this] { run(); }).detach();
}

std::uint64_t SocketPoller::add(int fd, Handler handler) {
    std::uint64_t id;
    {
        std::lock_guard lock(mutex_);
        id = nextId_++;
        handlers_.emplace(id, std::make_shared<Handler>(std::move(handler)));
    }
    epoll_event ev{};
    ev.events = EPOLLONESHOT;
    ev.data.u64 = id;
    if (epoll_ctl(epollFd_, EPOLL_CTL_ADD, fd, &ev) != 0)
        platform::Log::error("socket poller: cannot watch descriptor {}: {}", fd, std::strerror(errno));
    return id;
}

void SocketPoller::arm(std::uint64_t id, int fd, std::uint32_t interest) {
    epoll_event ev{};
    ev.events =
        EPOLLONESHOT | ((interest & Read) ? EPOLLIN | EPOLLRDHUP : 0u) | ((interest & Write) ? EPOLLOUT : 0u);
    ev.data.u64 = id;
    if (epoll_ctl(epollFd_, EPOLL_CTL_MOD, fd, &ev) != 0)
        platform::Log::error("socket poller: cannot arm descriptor {}: {}", fd, std::strerror(errno));
}

void SocketPoller::remove(std::uint64_t id, int fd) {
    {
        std::lock_guard lock(mutex_);
        handlers_.erase(id);
    }
    epoll_ctl(epollFd_, EPOLL_CTL_DEL, fd, nullptr);
}

void SocketPoller::run() {
    epoll_event events[64];
    for (;;) {
        int n = epoll_wait(epollFd_, events, 64, -1);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            platform::Log::error("socket poller: epoll_wait failed: {}", std::strerror(errno));
            return;
        }
        for (int i = 0; i < n; ++i) {
            std::shared_ptr<Handler> handler;
            {
                std::lock_guard lock(mutex_);
                auto it = handlers_.find(events[i].data.u64);
                if (it != handlers_.end())
                    handler = it->second;
            }
            if (!handler)
                continue;
            std::uint32_t e = events[i].events;
            std::uint32_t fired = 0;
            if (e & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR))
                fired |= Read;
            if (e & (EPOLLOUT | EPOLLHUP | EPOLLERR))
                fired |= Write;
            (*handler)(fired);
        }
    }
}

} // namespace tc
