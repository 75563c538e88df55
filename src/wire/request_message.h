#pragma once
// One outgoing message on its way to a transport, and the thread-safe FIFO that carries messages
// between the thread that makes them and the thread that sends or dispatches them.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <limits>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

namespace tc {

struct RequestMessage {
    std::string message;                // the framed text
    bool isZMQ = false;                 // true: request socket; false: the stream
    std::int64_t framingStrategy = 0;   // carried along, read by nobody
    std::int64_t receivingStrategy = 0; // 1: the reply may span several frames
    // A data-service or chart request's number among the requests awaiting replies (0: none), so a
    // failure of the transport can name the request it ends.
    std::uint64_t requestSequence = 0;
    // When the request socket queued it: its reply time limit runs from here.
    std::chrono::steady_clock::time_point queuedAt{};
};

template <typename T>
class FifoQueue {
public:
    explicit FifoQueue(std::size_t capacity = std::numeric_limits<std::size_t>::max())
        : capacity_(capacity) {}

    // Appends at the tail; false (and nothing queued) when the queue is full.
    bool enqueue(T item) {
        {
            std::lock_guard lock(mutex_);
            if (items_.size() >= capacity_)
                return false;
            items_.push_back(std::move(item));
        }
        ready_.notify_one();
        return true;
    }

    // Removes and returns the head; nothing when empty.
    std::optional<T> dequeue() {
        std::lock_guard lock(mutex_);
        return popLocked();
    }

    // Like dequeue, but waits up to the timeout for an item.
    template <typename Rep, typename Period>
    std::optional<T> waitDequeue(std::chrono::duration<Rep, Period> timeout) {
        std::unique_lock lock(mutex_);
        ready_.wait_for(lock, timeout, [this] { return !items_.empty(); });
        return popLocked();
    }

    // A copy of the element at an index; nothing for an index outside the queue.
    std::optional<T> peek(std::ptrdiff_t index) const {
        std::lock_guard lock(mutex_);
        if (index < 0 || static_cast<std::size_t>(index) >= items_.size())
            return std::nullopt;
        return items_[static_cast<std::size_t>(index)];
    }
    std::optional<T> peekHead() const { return peek(0); }
    std::optional<T> peekTail() const {
        std::lock_guard lock(mutex_);
        if (items_.empty())
            return std::nullopt;
        return items_.back();
    }

    bool empty() const {
        std::lock_guard lock(mutex_);
        return items_.empty();
    }
    std::size_t size() const {
        std::lock_guard lock(mutex_);
        return items_.size();
    }
    std::size_t capacity() const noexcept { return capacity_; }

private:
    std::optional<T> popLocked() {
        if (items_.empty())
            return std::nullopt;
        std::optional<T> head(std::move(items_.front()));
        items_.pop_front();
        return head;
    }

    const std::size_t capacity_;
    mutable std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<T> items_;
};

using RequestQueue = FifoQueue<RequestMessage>;
// Framed message texts waiting for dispatch.
using IncomingQueue = FifoQueue<std::string>;

} // namespace tc
