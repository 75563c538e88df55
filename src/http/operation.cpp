#include "http/operation.h"

#include <algorithm>

namespace tc::http {

bool Operation::isReady() const {
    if (isCancelled())
        return true;
    std::lock_guard lock(baseMutex_);
    return std::all_of(dependencies_.begin(), dependencies_.end(),
                       [](const auto& d) { return d->isFinished(); });
}

void Operation::cancel() {
    if (cancelled_.exchange(true))
        return;
    stateDidChange();
}

void Operation::addDependency(const std::shared_ptr<Operation>& operation) {
    {
        std::lock_guard lock(baseMutex_);
        dependencies_.push_back(operation);
    }
    std::lock_guard lock(operation->baseMutex_);
    operation->dependents_.push_back(weak_from_this());
}

std::vector<std::shared_ptr<Operation>> Operation::dependencies() const {
    std::lock_guard lock(baseMutex_);
    return dependencies_;
}

void Operation::setCompletionBlock(std::function<void()> block) {
    std::lock_guard lock(baseMutex_);
    completion_ = std::move(block);
}

std::function<void()> Operation::completionBlock() const {
    std::lock_guard lock(baseMutex_);
    return completion_;
}

void Operation::waitUntilFinished() {
    std::unique_lock lock(baseMutex_);
    finishedCv_.wait(lock, [&] { return isFinished(); });
}

void Operation::stateDidChange() {
    std::function<void()> completion;
    std::vector<std::shared_ptr<Operation>> dependents;
    std::shared_ptr<OperationQueue> queue;
    bool finished = isFinished();
    {
        std::lock_guard lock(baseMutex_);
        if (finished && !completionRan_) {
            completionRan_ = true;
            completion = std::move(completion_);
            completion_ = nullptr;
            for (auto& w : dependents_)
                if (auto d = w.lock())
                    dependents.push_back(std::move(d));
            finishedCv_.notify_all();
        }
        queue = queue_.lock();
    }
    // A finished operation leaves its queue before its completion runs, so the completion sees it gone.
    if (queue)
        queue->schedule();
    if (completion)
        completion();
    for (auto& d : dependents)
        d->stateDidChange();
}

// ---- block operations

std::shared_ptr<BlockOperation> BlockOperation::create(std::function<void()> block) {
    auto op = std::make_shared<BlockOperation>();
    op->block_ = std::move(block);
    return op;
}

void BlockOperation::start() {
    int expected = 0;
    if (!state_.compare_exchange_strong(expected, 1))
        return;
    stateDidChange();
    if (!isCancelled() && block_)
        block_();
    state_ = 2;
    stateDidChange();
}

// ---- the queue

std::shared_ptr<OperationQueue> OperationQueue::create(std::string name) {
    auto q = std::make_shared<OperationQueue>();
    q->name_ = std::move(name);
    return q;
}

void OperationQueue::addOperation(const std::shared_ptr<Operation>& operation) {
    require(operation != nullptr, "op");
    {
        std::lock_guard opLock(operation->baseMutex_);
        require(operation->queue_.expired(), "operation is not already in a queue");
        operation->queue_ = weak_from_this();
    }
    {
        std::lock_guard lock(mutex_);
        operations_.push_back(operation);
    }
    schedule();
}

void OperationQueue::addOperations(const std::vector<std::shared_ptr<Operation>>& operations, bool wait) {
    for (const auto& op : operations)
        addOperation(op);
    if (wait)
        for (const auto& op : operations)
            op->waitUntilFinished();
}

void OperationQueue::setMaxConcurrentOperationCount(int count) {
    {
        std::lock_guard lock(mutex_);
        maxConcurrent_ = count;
    }
    schedule();
}

int OperationQueue::maxConcurrentOperationCount() const {
    std::lock_guard lock(mutex_);
    return maxConcurrent_;
}

void OperationQueue::setSuspended(bool suspended) {
    {
        std::lock_guard lock(mutex_);
        suspended_ = suspended;
    }
    schedule();
}

std::vector<std::shared_ptr<Operation>> OperationQueue::operations() const {
    std::lock_guard lock(mutex_);
    return operations_;
}

std::size_t OperationQueue::operationCount() const {
    std::lock_guard lock(mutex_);
    return operations_.size();
}

void OperationQueue::cancelAllOperations() {
    for (const auto& op : operations())
        op->cancel();
}

void OperationQueue::waitUntilAllOperationsAreFinished() {
    std::unique_lock lock(mutex_);
    emptyCv_.wait(lock, [&] { return operations_.empty(); });
}

void OperationQueue::schedule() {
    std::vector<std::shared_ptr<Operation>> toStart;
    {
        std::lock_guard lock(mutex_);
        std::erase_if(operations_, [&](const std::shared_ptr<Operation>& op) {
            if (!op->isFinished())
                return false;
            std::erase(started_, op.get());
            return true;
        });
        if (operations_.empty())
            emptyCv_.notify_all();
        std::size_t running = started_.size();
        for (const auto& op : operations_) {
            if (suspended_ || (maxConcurrent_ >= 0 && running >= static_cast<std::size_t>(maxConcurrent_)))
                break;
            if (std::find(started_.begin(), started_.end(), op.get()) != started_.end() || !op->isReady())
                continue;
            started_.push_back(op.get());
            toStart.push_back(op);
            ++running;
        }
    }
    for (auto& op : toStart) {
        if (op->isConcurrent())
            op->start();
        else
            platform::GlobalQueue::async([op] { op->start(); });
    }
}

} // namespace tc::http
