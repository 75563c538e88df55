#pragma once
// ReachabilityNotifier as the HTTP client's managers follow it: a status (-1 unknown, 0 not reachable,
// 1 via WWAN, 2 via Wi-Fi) kept current on the main queue while monitoring, with a block and a
// notification on every report.
#include "platform/network_reachability.h"

#include <sys/socket.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace tc {

class NetworkStatusMonitor : public std::enable_shared_from_this<NetworkStatusMonitor> {
public:
    enum Status : std::int64_t { Unknown = -1, NotReachable = 0, ReachableViaWWAN = 1, ReachableViaWiFi = 2 };
    using StatusBlock = std::function<void(std::int64_t)>;

    // Posted on the main queue with no object and the status under kStatusItem.
    static constexpr std::string_view kDidChangeNotification = "tradeclient.networking.reachability.change";
    static constexpr std::string_view kStatusItem = "NetworkReachabilityNotificationStatusItem";

    // The manager of the all-zero IPv4 address (the internet), made once.
    static std::shared_ptr<NetworkStatusMonitor> sharedManager();
    // nullptr when the platform refuses the name or address.
    static std::shared_ptr<NetworkStatusMonitor> managerForDomain(std::string_view domain);
    static std::shared_ptr<NetworkStatusMonitor> managerForAddress(const sockaddr* address, socklen_t length);
    static std::shared_ptr<NetworkStatusMonitor>
    initWithReachability(std::unique_ptr<platform::TargetWatch> reachability);

    ~NetworkStatusMonitor();
    NetworkStatusMonitor(const NetworkStatusMonitor&) = delete;
    NetworkStatusMonitor& operator=(const NetworkStatusMonitor&) = delete;

    void startMonitoring();
    void stopMonitoring();

    std::int64_t networkReachabilityStatus() const { return status_.load(); }
    bool isReachable() const { return isReachableViaWWAN() || isReachableViaWiFi(); }
    bool isReachableViaWWAN() const { return status_.load() == ReachableViaWWAN; }
    bool isReachableViaWiFi() const { return status_.load() == ReachableViaWiFi; }
    std::string localizedNetworkReachabilityStatusString() const;
    void setReachabilityStatusChangeBlock(StatusBlock block);

    // Reachable unless a connection must first be made and cannot be made without the user.
    static std::int64_t statusForFlags(platform::ReachabilityFlags flags);

private:
    explicit NetworkStatusMonitor(std::unique_ptr<platform::TargetWatch> reachability);
    void report(platform::ReachabilityFlags flags, std::uint64_t generation);

    std::unique_ptr<platform::TargetWatch> reachability_;
    std::shared_ptr<platform::SerialQueue> queue_;
    std::atomic<std::int64_t> status_{Unknown};
    // Bumped by every start and stop, so a report still queued for the main queue goes stale.
    std::atomic<std::uint64_t> generation_{0};
    mutable std::mutex blockMutex_;
    StatusBlock block_;
};

} // namespace tc
