#include "platform/network_status_monitor.h"

#include "platform/dispatch.h"
#include "platform/notification_center.h"

#include <netinet/in.h>

namespace tc {

NetworkStatusMonitor::NetworkStatusMonitor(std::unique_ptr<platform::TargetWatch> reachability)
    : reachability_(std::move(reachability)) {}

NetworkStatusMonitor::~NetworkStatusMonitor() {
    stopMonitoring();
}

std::shared_ptr<NetworkStatusMonitor>
NetworkStatusMonitor::initWithReachability(std::unique_ptr<platform::TargetWatch> reachability) {
    if (!reachability)
        return nullptr;
    return std::shared_ptr<NetworkStatusMonitor>(new NetworkStatusMonitor(std::move(reachability)));
}

std::shared_ptr<NetworkStatusMonitor> NetworkStatusMonitor::managerForDomain(std::string_view domain) {
    return initWithReachability(platform::TargetWatch::createWithName(domain));
}

std::shared_ptr<NetworkStatusMonitor> NetworkStatusMonitor::managerForAddress(const sockaddr* address,
                                                                              socklen_t length) {
    return initWithReachability(platform::TargetWatch::createWithAddress(address, length));
}

std::shared_ptr<NetworkStatusMonitor> NetworkStatusMonitor::sharedManager() {
    static const std::shared_ptr<NetworkStatusMonitor> shared = [] {
        sockaddr_in zero{};
        zero.sin_family = AF_INET;
        return managerForAddress(reinterpret_cast<const sockaddr*>(&zero), sizeof zero);
    }();
    return shared;
}

std::int64_t NetworkStatusMonitor::statusForFlags(platform::ReachabilityFlags flags) {
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

void NetworkStatusMonitor::startMonitoring() {
    stopMonitoring();
    if (!reachability_)
        return;
    const std::uint64_t generation = ++generation_;
    std::weak_ptr<NetworkStatusMonitor> weak = weak_from_this();
    // The platform delivers the current flags first, so a status arrives without waiting for a change.
    queue_ = std::make_shared<platform::SerialQueue>("tradeclient.networking.reachability");
    reachability_->setCallback([weak, generation](platform::ReachabilityFlags flags) {
        if (auto self = weak.lock())
            self->report(flags, generation);
    });
    reachability_->setDispatchQueue(queue_);
}

void NetworkStatusMonitor::stopMonitoring() {
    ++generation_;
    if (reachability_) {
        reachability_->setCallback({});
        reachability_->setDispatchQueue(nullptr);
    }
    queue_.reset();
}

void NetworkStatusMonitor::report(platform::ReachabilityFlags flags, std::uint64_t generation) {
    const std::int64_t status = statusForFlags(flags);
    std::weak_ptr<NetworkStatusMonitor> weak = weak_from_this();
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

std::string NetworkStatusMonitor::localizedNetworkReachabilityStatusString() const {
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

void NetworkStatusMonitor::setReachabilityStatusChangeBlock(StatusBlock block) {
    std::lock_guard lock(blockMutex_);
    block_ = std::move(block);
}

} // namespace tc
