#pragma once
// Operations and the queue that runs them: readiness through dependencies, cancellation, a completion
// callable run once an operation has finished, and a limit on how many run at once.
#include "http/http_types.h"

#include <condition_variable>
#include <functional>
#include <mutex>

namespace tc::http {

class OperationQueue;

class Operation : public std::enable_shared_from_this<Operation> {
public:
    virtual ~Operation() = default;

    virtual void start() = 0;
    // A concurrent operation's start() only begins work elsewhere and returns at once; the queue calls it
    // inline. Others are started on the shared pool.
    virtual bool isConcurrent() const { return false; }
    virtual bool isExecuting() const = 0;
    virtual bool isFinished() const = 0;
    // Ready when every dependency has finished (or when cancelled, so that it can finish).
    virtual bool isReady() const;
    bool isCancelled() const { return cancelled_.load(); }
    virtual void cancel();

    void addDependency(const std::shared_ptr<Operation>& operation);
    std::vector<std::shared_ptr<Operation>> dependencies() const;

    // Runs once, after the operation has finished, on the thread that finished it.
    virtual void setCompletionBlock(std::function<void()> block);
    std::function<void()> completionBlock() const;

    void waitUntilFinished();

protected:
    // Subclasses call this after isReady, isExecuting or isFinished changed.
    void stateDidChange();
    void markCancelled() { cancelled_ = true; }

private:
    friend class OperationQueue;
    mutable std::mutex baseMutex_;
    std::condition_variable finishedCv_;
    std::atomic<bool> cancelled_{false};
    bool completionRan_ = false;
    std::function<void()> completion_;
    std::vector<std::shared_ptr<Operation>> dependencies_;
    std::vector<std::weak_ptr<Operation>> dependents_;
    std::weak_ptr<OperationQueue> queue_;
};

// Runs a callable on the shared pool.
class BlockOperation final : public Operation {
public:
    static std::shared_ptr<BlockOperation> create(std::function<void()> block);
    void start() override;
    bool isExecuting() const override { return state_.load() == 1; }
    bool isFinished() const override { return state_.load() == 2; }

private:
    std::function<void()> block_;
    std::atomic<int> state_{0};
};

class OperationQueue : public std::enable_shared_from_this<OperationQueue> {
public:
    static constexpr int kDefaultMaxConcurrentOperationCount = -1; // no limit
    static std::shared_ptr<OperationQueue> create(std::string name = {});

    void addOperation(const std::shared_ptr<Operation>& operation);
    void addOperations(const std::vector<std::shared_ptr<Operation>>& operations, bool waitUntilFinished);
    void setMaxConcurrentOperationCount(int count);
    int maxConcurrentOperationCount() const;
    void setSuspended(bool suspended);
    std::vector<std::shared_ptr<Operation>> operations() const;
    std::size_t operationCount() const;
    void cancelAllOperations();
    void waitUntilAllOperationsAreFinished();
    const std::string& name() const { return name_; }

private:
    friend class Operation;
    void schedule();

    std::string name_;
    mutable std::mutex mutex_;
    std::condition_variable emptyCv_;
    std::vector<std::shared_ptr<Operation>> operations_;
    std::vector<Operation*> started_;
    int maxConcurrent_ = kDefaultMaxConcurrentOperationCount;
    bool suspended_ = false;
};

} // namespace tc::http
