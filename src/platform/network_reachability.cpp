#include "platform/network_reachability.h"

#include "platform/log.h"
#include "platform/netlink_monitor.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <utility>

namespace tc::platform {

// ---- the shared source ----

namespace {

// Stands in when the system monitor cannot run: nothing can be read, nothing ever changes.
class UnavailableSource final : public NetworkStateSource {
public:
    std::optional<ReachabilityFlags> flagsFor(const ReachabilityTarget&) const override {
        return std::nullopt;
    }
    SubscriptionId subscribe(std::function<void()>) override { return ++next_; }
    void unsubscribe(SubscriptionId) override {}

private:
    std::atomic<SubscriptionId> next_{0};
};

std::mutex gSharedMutex;
std::shared_ptr<NetworkStateSource> gShared;

} // namespace

std::shared_ptr<NetworkStateSource> sharedNetworkState() {
    std::lock_guard lock(gSharedMutex);
    if (!gShared) {
        gShared = NetlinkStateSource::start();
        if (!gShared) {
            Log::warning("network monitor unavailable; reachability cannot be read");
            gShared = std::make_shared<UnavailableSource>();
        }
    }
    return gShared;
}

std::shared_ptr<NetworkStateSource> setSharedNetworkState(std::shared_ptr<NetworkStateSource> source) {
    std::shared_ptr<NetworkStateSource> previous;
    {
        std::lock_guard lock(gSharedMutex);
        previous = std::exchange(gShared, std::move(source));
    }
    return previous;
}

// ---- TargetWatch ----

struct TargetWatch::Inner : std::enable_shared_from_this<Inner> {
    ReachabilityTarget target;
    std::shared_ptr<NetworkStateSource> source;

    std::mutex mutex; // guards the fields below
    Callback callback;
    std::shared_ptr<SerialQueue> queue;
    std::optional<NetworkStateSource::SubscriptionId> subscription;
    std::uint64_t generation = 0; // bumped whenever deliveries stop; stale queued work sees the change
    std::optional<ReachabilityFlags> lastReported;

    // Held while a callback runs, so that stopping can wait for it.
    std::mutex deliveryMutex;

    void stopDeliveries() {
        std::shared_ptr<SerialQueue> current;
        std::optional<NetworkStateSource::SubscriptionId> sub;
        {
            std::lock_guard lock(mutex);
            ++generation;
            sub = std::exchange(subscription, std::nullopt);
            lastReported.reset();
            current = queue;
        }
        if (sub)
            source->unsubscribe(*sub);
        if (current && !current->isCurrent())
            std::lock_guard wait(deliveryMutex);
    }

    void startIfReady() {
        std::uint64_t gen = 0;
        {
            std::lock_guard lock(mutex);
            if (!callback || !queue || subscription)
                return;
            gen = generation;
        }
        std::weak_ptr<Inner> weak = weak_from_this();
        const auto id = source->subscribe([weak, gen] {
            if (auto self = weak.lock())
                self->schedule(gen);
        });
        {
            std::lock_guard lock(mutex);
            if (gen == generation && !subscription) {
                subscription = id;
                gen = generation;
            } else {
                gen = 0;
            }
        }
        if (gen == 0) {
            source->unsubscribe(id);
            return;
        }
        // The current state is the first delivery.
        schedule(gen);
    }

    void schedule(std::uint64_t gen) {
        std::shared_ptr<SerialQueue> target;
        {
            std::lock_guard lock(mutex);
            if (gen != generation || !queue)
                return;
            target = queue;
        }
        std::weak_ptr<Inner> weak = weak_from_this();
        target->async([weak, gen] {
            if (auto self = weak.lock())
                self->deliver(gen);
        });
    }

    void deliver(std::uint64_t gen) {
        std::lock_guard delivering(deliveryMutex);
        Callback run;
        std::optional<ReachabilityFlags> flags;
        {
            std::lock_guard lock(mutex);
            if (gen != generation)
                return;
        }
        flags = source->flagsFor(target);
        {
            std::lock_guard lock(mutex);
            if (gen != generation || !flags || flags == lastReported)
                return;
            lastReported = flags;
            run = callback;
        }
        if (run)
            run(*flags);
    }
};

namespace {

bool hostNameByteAllowed(unsigned char c) {
    if (c >= 0x80) // part of a UTF-8 (internationalised) name
        return true;
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_';
}

} // namespace

std::unique_ptr<TargetWatch> TargetWatch::createWithAddress(const sockaddr* address, socklen_t length) {
    auto ip = IpAddress::fromSockaddr(address, length);
    if (!ip)
        return nullptr;
    ReachabilityTarget target;
    target.kind = ReachabilityTarget::Kind::Address;
    target.address = *ip;
    return std::make_unique<TargetWatch>(std::move(target), sharedNetworkState());
}

std::unique_ptr<TargetWatch> TargetWatch::createWithName(std::string_view name) {
    if (name.empty() || name.size() > kMaxHostNameBytes)
        return nullptr;
    ReachabilityTarget target;
    if (auto ip = IpAddress::fromText(name)) {
        target.kind = ReachabilityTarget::Kind::Address;
        target.address = *ip;
    } else {
        if (!std::all_of(name.begin(), name.end(),
                         [](char c) { return hostNameByteAllowed(static_cast<unsigned char>(c)); }))
            return nullptr;
        target.kind = ReachabilityTarget::Kind::HostName;
        target.hostName = std::string(name);
    }
    return std::make_unique<TargetWatch>(std::move(target), sharedNetworkState());
}

TargetWatch::TargetWatch(ReachabilityTarget target, std::shared_ptr<NetworkStateSource> source)
    : inner_(std::make_shared<Inner>()) {
    inner_->target = std::move(target);
    inner_->source = std::move(source);
}

TargetWatch::~TargetWatch() {
    inner_->stopDeliveries();
    std::lock_guard lock(inner_->mutex);
    inner_->callback = nullptr;
    inner_->queue = nullptr;
}

const ReachabilityTarget& TargetWatch::target() const {
    return inner_->target;
}

std::optional<ReachabilityFlags> TargetWatch::flags() const {
    return inner_->source->flagsFor(inner_->target);
}

bool TargetWatch::setCallback(Callback callback) {
    inner_->stopDeliveries();
    {
        std::lock_guard lock(inner_->mutex);
        inner_->callback = std::move(callback);
    }
    inner_->startIfReady();
    return true;
}

bool TargetWatch::setDispatchQueue(std::shared_ptr<SerialQueue> queue) {
    inner_->stopDeliveries();
    {
        std::lock_guard lock(inner_->mutex);
        inner_->queue = std::move(queue);
    }
    inner_->startIfReady();
    return true;
}

} // namespace tc::platform
