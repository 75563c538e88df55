#pragma once
// Helpers shared by the files that implement StreamSocket; not for other users.
#include "connection/socket/stream_socket.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include <openssl/err.h>
#include <unistd.h>

namespace tc {

namespace stream_socket_detail {

inline platform::Clock::duration secondsToDuration(double seconds) {
    // Clamp absurd values instead of overflowing the clock's representation.
    seconds = std::clamp(seconds, 0.0, 1e9);
    return std::chrono::duration_cast<platform::Clock::duration>(std::chrono::duration<double>(seconds));
}

// Closes a descriptor unless released; rides along in tasks that may never run.
class DescriptorGuard {
public:
    explicit DescriptorGuard(int fd) : fd_(fd) {}
    DescriptorGuard(DescriptorGuard&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    DescriptorGuard& operator=(DescriptorGuard&&) = delete;
    ~DescriptorGuard() {
        if (fd_ != -1)
            ::close(fd_);
    }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

// The oldest queued OpenSSL error as text ("" when none); the queue is emptied.
inline std::string openSSLErrorText() {
    unsigned long e = ERR_get_error();
    ERR_clear_error();
    if (e == 0)
        return std::string();
    char text[256];
    ERR_error_string_n(e, text, sizeof text);
    return text;
}

} // namespace stream_socket_detail

template <typename F>
void StreamSocket::onSocketQueueAsync(F&& f) {
    std::weak_ptr<StreamSocket> weak = weak_from_this();
    socketQueue_->async([weak, f = std::forward<F>(f)]() mutable {
        if (auto self = weak.lock())
            f(*self);
    });
}

template <typename F>
auto StreamSocket::onSocketQueueSync(F&& f) const {
    return socketQueue_->sync(std::forward<F>(f));
}

inline std::shared_ptr<StreamSocket> StreamSocket::selfForCallbacks() {
    if (flags_ & kDealloc)
        return nullptr;
    return weak_from_this().lock();
}

template <typename F>
void StreamSocket::notifyDelegate(F&& f) {
    if (!delegateQueue_)
        return;
    auto self = selfForCallbacks();
    std::weak_ptr<StreamSocketDelegate> weakDelegate = delegate_;
    delegateQueue_.async([self, weakDelegate, f = std::forward<F>(f)]() mutable {
        if (auto d = weakDelegate.lock())
            f(*d, self);
    });
}

} // namespace tc
