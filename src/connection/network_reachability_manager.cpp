#include "connection/network_reachability_manager.h"

#include "platform/dispatch.h"
#include "platform/notification_center.h"

#include <netinet/in.h>

namespace tc {

NetworkReachabilityManager::NetworkReachabilityManager(
    std::unique_ptr<platform::NetworkReachability> reachability)
    : reachability_(std::move(reachability)) {}

NetworkReachabilityManager::~NetworkReachabilityManager() {
    stopMonitoring();
}

std::shared_ptr<NetworkReachabilityManager> NetworkReachabilityManager::initWithReachability(
    std::unique_ptr<platform::NetworkReachability> reachability) {
    if (!reachability)
        return nullptr;
    return std::shared_ptr<NetworkReachabilityManager>(
        new NetworkReachabilityManager(std::move(reachability)));
}

std::shared_ptr<NetworkReachabilityManager>
NetworkReachabilityManager::managerForDomain(std::string_view domain) {
    return initWithReachability(platform::NetworkReachability::createWithName(domain));
}

std::shared_ptr<NetworkReachabilityManager>
NetworkReachabilityManager::managerForAddress(const sockaddr* address, socklen_t length) {
    return initWithReachability(platform::NetworkReachability::createWithAddress(address, length));
}

std::shared_ptr<NetworkReachabilityManager> NetworkReachabilityManager::sharedManager() {
    static const std::shared_ptr<NetworkReachabilityManager> shared = [] {
        sockaddr_in zero{};
        zero.sin_family = AF_INET;
        return managerForAddress(reinterpret_cast<const sockaddr*>(&zero), sizeof zero);
    }();
    return shared;
}

std::int64_t NetworkReachabilityManager::statusForFlags(platform::ReachabilityFlags flags) {
    namespace f = platform::reachability_flags;
    if (!(flags & f::kReachable))
        return NotReachable;
    if (flags & f::kConnectionRequired) {
        const bool automatic = flags & (f::kConnectionOnTraffic | f::kConnectionOnDemand);
        if (!automatic || (flags & f::kInterventionRequired))
            return NotReachable;
    }
    return ReachableViaWiFi;
}

void NetworkReachabilityManager::startMonitoring() {
    stopMonitoring();
    if (!reachability_)
        return;
    const std::uint64_t generation = ++generation_;
    std::weak_ptr<NetworkReachabilityManager> weak = weak_from_this();
    // The platform delivers the current flags first, so a status arrives without waiting for a change.
    queue_ = std::make_shared<platform::SerialQueue>("tradeclient.networking.reachability");
    reachability_->setCallback([weak, generation](platform::ReachabilityFlags flags) {
        if (auto self = weak.lock())
            self->report(flags, generation);
    });
    reachability_->setDispatchQueue(queue_);
}

void NetworkReachabilityManager::stopMonitoring() {
    ++generation_;
    if (reachability_) {
        reachability_->setCallback({});
        reachability_->setDispatchQueue(nullptr);
    }
    queue_.reset();
}

void NetworkReachabilityManager::report(platform::ReachabilityFlags flags, std::uint64_t generation) {
    const std::int64_t status = statusForFlags(flags);
    std::weak_ptr<NetworkReachabilityManager> weak = weak_from_this();
    platform::MainQueue::async([weak, status, generation] {
        auto self = weak.lock();
        if (!self || self->generation_.load() != generation)
            return;
        self->status_.store(status);
        StatusBlock block;
        {
            std::lock_guard lock(self->blockMutex_);
            block = self->block_;
        }
        if (block)
            block(status);
        platform::NotificationCenter::defaultCenter().post(std::string(kDidChangeNotification), {},
                                                           {{std::string(kStatusItem), status}});
    });
}

std::string NetworkReachabilityManager::localizedNetworkReachabilityStatusString() const {
    switch (status_.load()) {
    case NotReachable:
        return "Not Reachable";
    case ReachableViaWWAN:
        return "Reachable via WWAN";
    case ReachableViaWiFi:
        return "Reachable via WiFi";
    default:
        return "Unknown";
    }
}

void NetworkReachabilityManager::setReachabilityStatusChangeBlock(StatusBlock block) {
    std::lock_guard lock(blockMutex_);
    block_ = std::move(block);
}

} // namespace tc
