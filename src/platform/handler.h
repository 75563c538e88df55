#pragma once
// One way of saying "still observing": whoever subscribes to something (a notification, a stored
// callback, work posted for later) holds a Handler; destroying it, or disconnect(), ends the
// subscription. Nothing else needs to be remembered or removed by hand.
#include <atomic>
#include <functional>
#include <memory>
#include <utility>

namespace tc::platform {

class Handler {
public:
    virtual ~Handler() = default;
    // Ends the subscription now; later calls do nothing. After it returns no callback of this
    // subscription starts, except one already under way on another thread.
    virtual void disconnect() = 0;
};

// A handler that runs `cleanup` once, on disconnect() or destruction, whichever comes first.
std::unique_ptr<Handler> MakeCleanupHandler(std::function<void()> cleanup);

// The receiving end of callbacks left with others and of work posted for later: bind() wraps a
// callable so that it does nothing once this guard is disconnected or destroyed. An owner keeps one
// as a member (destroyed first, or disconnected at the start of its destructor), so nothing it left
// behind reaches it once it is going. Disconnect on the thread the bound callables run on; the
// wrapped callables may outlive the guard.
class CallbackGuard final : public Handler {
public:
    // A copyable view of a guard, for the parts an owner hands it to so they bind on its behalf. A
    // default scope belongs to no guard and never disconnects.
    class Scope {
    public:
        Scope() = default;
        bool connected() const { return connected_->load(); }
        template <typename F>
        auto bind(F f) const {
            return [connected = connected_, f = std::move(f)](auto&&... args) mutable {
                if (connected->load())
                    f(std::forward<decltype(args)>(args)...);
            };
        }

    private:
        friend class CallbackGuard;
        std::shared_ptr<std::atomic<bool>> connected_ = std::make_shared<std::atomic<bool>>(true);
    };

    CallbackGuard() = default;
    ~CallbackGuard() override { disconnect(); }
    CallbackGuard(const CallbackGuard&) = delete;
    CallbackGuard& operator=(const CallbackGuard&) = delete;

    void disconnect() override { scope_.connected_->store(false); }
    bool connected() const { return scope_.connected(); }
    const Scope& scope() const { return scope_; }
    template <typename F>
    auto bind(F f) const {
        return scope_.bind(std::move(f));
    }

private:
    Scope scope_;
};

} // namespace tc::platform
