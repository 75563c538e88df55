#pragma once
// A network whose reachability flags a test sets by hand, installed as the process-wide source for the
// lifetime of one test.
#include "platform/network_reachability.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

namespace tc::testing_support {

class FakeNetworkStateSource final : public platform::NetworkStateSource {
public:
    std::optional<platform::ReachabilityFlags>
    flagsFor(const platform::ReachabilityTarget& target) const override {
        std::lock_guard lock(mutex_);
        lastTarget_ = target;
        return flags_;
    }
    SubscriptionId subscribe(std::function<void()> onChange) override {
        std::lock_guard lock(mutex_);
        handlers_.emplace(++nextId_, std::make_shared<std::function<void()>>(std::move(onChange)));
        return nextId_;
    }
    void unsubscribe(SubscriptionId id) override {
        std::lock_guard lock(mutex_);
        handlers_.erase(id);
    }

    // Sets the flags every target reports (nullopt: unreadable) without telling anyone.
    void setFlags(std::optional<platform::ReachabilityFlags> flags) {
        std::lock_guard lock(mutex_);
        flags_ = flags;
    }
    // Tells the subscribers, on the calling thread, that the network may have changed.
    void fire() {
        std::vector<std::shared_ptr<std::function<void()>>> targets;
        {
            std::lock_guard lock(mutex_);
            for (const auto& entry : handlers_)
                targets.push_back(entry.second);
        }
        for (const auto& handler : targets)
            (*handler)();
    }
    void change(std::optional<platform::ReachabilityFlags> flags) {
        setFlags(flags);
        fire();
    }
    std::size_t subscriberCount() const {
        std::lock_guard lock(mutex_);
        return handlers_.size();
    }
    std::optional<platform::ReachabilityTarget> lastTarget() const {
        std::lock_guard lock(mutex_);
        return lastTarget_;
    }

private:
    mutable std::mutex mutex_;
    std::optional<platform::ReachabilityFlags> flags_ = 0;
    mutable std::optional<platform::ReachabilityTarget> lastTarget_;
    std::map<SubscriptionId, std::shared_ptr<std::function<void()>>> handlers_;
    SubscriptionId nextId_ = 0;
};

class ScopedNetworkStateSource {
public:
    ScopedNetworkStateSource() : previous_(platform::setSharedNetworkState(fake)) {}
    ~ScopedNetworkStateSource() { platform::setSharedNetworkState(previous_); }
    ScopedNetworkStateSource(const ScopedNetworkStateSource&) = delete;
    ScopedNetworkStateSource& operator=(const ScopedNetworkStateSource&) = delete;

    const std::shared_ptr<FakeNetworkStateSource> fake = std::make_shared<FakeNetworkStateSource>();

private:
    std::shared_ptr<platform::NetworkStateSource> previous_;
};

} // namespace tc::testing_support
