#include "platform/network_reachability.h"

#include "platform/log.h"
#include "platform/netlink_monitor.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include <arpa/inet.h>
#include <netinet/in.h>

namespace tc::platform {

// ---- IpAddress ----

std::size_t IpAddress::size() const {
    return family == AF_INET ? 4 : family == AF_INET6 ? 16 : 0;
}

bool IpAddress::isUnspecified() const {
    if (size() == 0)
        return false;
    return std::all_of(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size()),
                       [](std::uint8_t b) { return b == 0; });
}

bool IpAddress::isLoopback() const {
    if (family == AF_INET)
        return bytes[0] == 127;
    if (family == AF_INET6) {
        for (std::size_t i = 0; i < 15; ++i)
            if (bytes[i] != 0)
                return false;
        return bytes[15] == 1;
    }
    return false;
}

bool IpAddress::isLinkLocal() const {
    if (family == AF_INET)
        return bytes[0] == 169 && bytes[1] == 254;
    if (family == AF_INET6)
        return bytes[0] == 0xfe && (bytes[1] & 0xc0) == 0x80;
    return false;
}

bool IpAddress::matchesPrefix(const IpAddress& other, unsigned prefixLength) const {
    if (family != other.family || size() == 0)
        return false;
    if (prefixLength > size() * 8)
        return false;
    const unsigned whole = prefixLength / 8;
    if (std::memcmp(bytes.data(), other.bytes.data(), whole) != 0)
        return false;
    const unsigned rest = prefixLength % 8;
    if (rest == 0)
        return true;
    const auto mask = static_cast<std::uint8_t>(0xff << (8 - rest));
    return (bytes[whole] & mask) == (other.bytes[whole] & mask);
}

IpAddress IpAddress::v4(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    IpAddress address;
    address.family = AF_INET;
    address.bytes[0] = a;
    address.bytes[1] = b;
    address.bytes[2] = c;
    address.bytes[3] = d;
    return address;
}

std::optional<IpAddress> IpAddress::fromSockaddr(const sockaddr* address, socklen_t length) {
    if (address == nullptr || length < static_cast<socklen_t>(sizeof(sa_family_t)))
        return std::nullopt;
    sa_family_t family = 0;
    std::memcpy(&family, reinterpret_cast<const char*>(address) + offsetof(sockaddr, sa_family),
                sizeof family);
    IpAddress result;
    if (family == AF_INET && length >= static_cast<socklen_t>(sizeof(sockaddr_in))) {
        sockaddr_in in{};
        std::memcpy(&in, address, sizeof in);
        result.family = AF_INET;
        std::memcpy(result.bytes.data(), &in.sin_addr, 4);
        return result;
    }
    if (family == AF_INET6 && length >= static_cast<socklen_t>(sizeof(sockaddr_in6))) {
        sockaddr_in6 in6{};
        std::memcpy(&in6, address, sizeof in6);
        result.family = AF_INET6;
        std::memcpy(result.bytes.data(), &in6.sin6_addr, 16);
        return result;
    }
    return std::nullopt;
}

std::optional<IpAddress> IpAddress::fromText(std::string_view text) {
    if (text.empty() || text.size() >= INET6_ADDRSTRLEN)
        return std::nullopt;
    const std::string copy(text);
    IpAddress result;
    if (inet_pton(AF_INET, copy.c_str(), result.bytes.data()) == 1) {
        result.family = AF_INET;
        return result;
    }
    if (inet_pton(AF_INET6, copy.c_str(), result.bytes.data()) == 1) {
        result.family = AF_INET6;
        return result;
    }
    return std::nullopt;
}

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

std::shared_ptr<NetworkStateSource> NetworkStateSource::shared() {
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

std::shared_ptr<NetworkStateSource>
NetworkStateSource::setShared(std::shared_ptr<NetworkStateSource> source) {
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
    return std::make_unique<TargetWatch>(std::move(target), NetworkStateSource::shared());
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
    return std::make_unique<TargetWatch>(std::move(target), NetworkStateSource::shared());
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
