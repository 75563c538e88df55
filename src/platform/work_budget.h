#pragma once
// A bound on work handed from producer threads to one consumer (the main queue) and not yet done.
// Each piece of work carries a token; the count falls when the token goes, whether the work ran or
// was dropped. A producer over the high mark holds off: a thread of its own waits, and a producer
// driven by callbacks (a socket's reads) asks to be resumed, which happens once the consumer has
// brought the count down to the low mark. So a flood slows its source instead of growing the queue.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace tc::platform {

class WorkBudget : public std::enable_shared_from_this<WorkBudget> {
public:
    // One piece of work counted until this goes. Movable, so work items can own it.
    class Token {
    public:
        Token() = default;
        explicit Token(std::shared_ptr<WorkBudget> budget) : budget_(std::move(budget)) {}
        Token(Token&&) noexcept = default;
        Token& operator=(Token&& other) noexcept {
            release();
            budget_ = std::move(other.budget_);
            return *this;
        }
        ~Token() { release(); }
        void release();

    private:
        std::shared_ptr<WorkBudget> budget_;
    };

    static std::shared_ptr<WorkBudget> create(std::size_t high, std::size_t low);
    WorkBudget(std::size_t high, std::size_t low);
    WorkBudget(const WorkBudget&) = delete;
    WorkBudget& operator=(const WorkBudget&) = delete;

    Token take();
    std::size_t outstanding() const;

    // True when the count is at the high mark or above: `resume` is kept and called once, on the
    // thread that brings the count down to the low mark (or never, once closed). False, with `resume`
    // not kept, when there is room.
    bool holdUntilRoom(std::function<void()> resume);
    // Blocks until the count is at the low mark or below, or the budget is closed, or `limit` of real
    // time has passed: a waiting thread must still notice a stop request of its own (the one asking
    // may be the consumer).
    void waitForRoom(std::chrono::milliseconds limit);
    // Wakes every waiter and drops the kept resumes; waits return at once from now on.
    void close();

private:
    void give();

    const std::size_t high_;
    const std::size_t low_;
    mutable std::mutex mutex_;
    std::condition_variable room_;
    std::size_t outstanding_ = 0;
    std::size_t waiters_ = 0;
    bool closed_ = false;
    std::vector<std::function<void()>> resumes_;
    // outstanding_ >= high_ and not closed, written under mutex_: a producer with room (the usual case,
    // once per feed message) checks it without the lock.
    std::atomic<bool> full_{false};
};

} // namespace tc::platform
