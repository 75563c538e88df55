#include "platform/work_budget.h"

#include <algorithm>
#include <utility>

namespace tc::platform {

void WorkBudget::Token::release() {
    if (auto budget = std::exchange(budget_, nullptr))
        budget->give();
}

std::shared_ptr<WorkBudget> WorkBudget::create(std::size_t high, std::size_t low) {
    return std::make_shared<WorkBudget>(high, low);
}

WorkBudget::WorkBudget(std::size_t high, std::size_t low)
    : high_(std::max<std::size_t>(high, 1)), low_(std::min(low, high_ - 1)) {}

WorkBudget::Token WorkBudget::take() {
    {
        std::lock_guard lock(mutex_);
        ++outstanding_;
        full_.store(!closed_ && outstanding_ >= high_, std::memory_order_release);
    }
    return Token(shared_from_this());
}

std::size_t WorkBudget::outstanding() const {
    std::lock_guard lock(mutex_);
    return outstanding_;
}

void WorkBudget::give() {
    std::vector<std::function<void()>> resumes;
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        if (outstanding_ > 0)
            --outstanding_;
        full_.store(!closed_ && outstanding_ >= high_, std::memory_order_release);
        if (outstanding_ <= low_) {
            resumes.swap(resumes_);
            wake = waiters_ > 0;
        }
    }
    if (wake)
        room_.notify_all();
    for (auto& resume : resumes)
        resume();
}

bool WorkBudget::holdUntilRoom(std::function<void()> resume) {
    std::lock_guard lock(mutex_);
    if (closed_ || outstanding_ < high_)
        return false;
    resumes_.push_back(std::move(resume));
    return true;
}

void WorkBudget::waitForRoom(std::chrono::milliseconds limit) {
    if (!full_.load(std::memory_order_acquire))
        return;
    std::unique_lock lock(mutex_);
    if (closed_ || outstanding_ < high_)
        return;
    ++waiters_;
    room_.wait_for(lock, limit, [this] { return closed_ || outstanding_ <= low_; });
    --waiters_;
}

void WorkBudget::close() {
    std::vector<std::function<void()>> dropped;
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        full_.store(false, std::memory_order_release);
        dropped.swap(resumes_);
    }
    room_.notify_all();
}

} // namespace tc::platform
