#pragma once
// Loopback peers and event waits shared by the ZeroMQ tests.
#include "connection/zmq/zmq_socket.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tc::zmqtest {

using namespace std::chrono_literals;

// Binds to an ephemeral loopback port and answers the endpoint the library picked.
inline std::string bindLoopback(ZMQSocket& socket) {
    socket.bindToEndpoint("tcp://127.0.0.1:*");
    std::string endpoint = socket.dataForOption(ZMQ_LAST_ENDPOINT);
    while (!endpoint.empty() && endpoint.back() == '\0')
        endpoint.pop_back();
    return endpoint;
}

// Items handed over by another thread, with a wait on a condition over all of them.
template <typename T>
class Inbox {
public:
    void push(T item) {
        {
            std::lock_guard lock(mutex_);
            items_.push_back(std::move(item));
        }
        changed_.notify_all();
    }
    bool waitUntil(const std::function<bool(const std::vector<T>&)>& done,
                   std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return done(items_); });
    }
    bool waitForCount(std::size_t n, std::chrono::milliseconds timeout = 10s) {
        return waitUntil([n](const std::vector<T>& items) { return items.size() >= n; }, timeout);
    }
    std::vector<T> snapshot() const {
        std::lock_guard lock(mutex_);
        return items_;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<T> items_;
};

inline bool contains(const std::vector<std::string>& items, const std::string& wanted) {
    return std::find(items.begin(), items.end(), wanted) != items.end();
}

// Runs `work` on a thread of its own; false when it has not finished within the limit. A guard against
// hangs, not a measure of speed: the limit is far above the expected time.
inline bool finishesWithin(std::function<void()> work, std::chrono::milliseconds limit = 5s) {
    auto done = std::make_shared<std::promise<void>>();
    auto finished = done->get_future();
    std::thread([work = std::move(work), done] {
        work();
        done->set_value();
    }).detach();
    return finished.wait_for(limit) == std::future_status::ready;
}

} // namespace tc::zmqtest
