#include "platform/handler.h"

#include <mutex>

namespace tc::platform {

namespace {

class CleanupHandler final : public Handler {
public:
    explicit CleanupHandler(std::function<void()> cleanup) : cleanup_(std::move(cleanup)) {}
    ~CleanupHandler() override { disconnect(); }
    void disconnect() override {
        std::function<void()> cleanup;
        {
            std::lock_guard lock(mutex_);
            cleanup.swap(cleanup_);
        }
        if (cleanup)
            cleanup();
    }

private:
    std::mutex mutex_;
    std::function<void()> cleanup_;
};

} // namespace

std::unique_ptr<Handler> MakeCleanupHandler(std::function<void()> cleanup) {
    return std::make_unique<CleanupHandler>(std::move(cleanup));
}

} // namespace tc::platform
