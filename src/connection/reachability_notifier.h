#pragma once
// Watches whether a network target can be reached and tells the application when that changes: the
// internet watcher posts "kReachabilityChangedNotification" on the main queue, with itself as object,
// after every change of its flags (and once with the state found when it starts).
//
// Objects live in shared pointers. While notifying, a watcher keeps itself alive, so a caller may start
// one and drop its reference; stopNotifier lets it go. Start and stop it from one thread at a time (the
// application uses the main thread); its blocks run on its own serial queue.
#include "platform/dispatch.h"
#include "platform/network_reachability.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include <sys/socket.h>

namespace tc {

class ReachabilityNotifier : public std::enable_shared_from_this<ReachabilityNotifier> {
    struct Passkey {};

public:
    using Flags = platform::ReachabilityFlags;
    using Block = std::function<void(const std::shared_ptr<ReachabilityNotifier>&)>;

    enum NetworkStatus : int { NotReachable = 0, ReachableViaWWAN = 1, ReachableViaWiFi = 2 };

    static constexpr std::string_view kQueueLabel = "com.Orlathe.reachability";

    // Each returns nullptr when the target is refused (see platform::TargetWatch).
    static std::shared_ptr<ReachabilityNotifier> reachabilityWithHostName(std::string_view hostName);
    static std::shared_ptr<ReachabilityNotifier> reachabilityWithHostname(std::string_view hostname);
    static std::shared_ptr<ReachabilityNotifier> reachabilityWithAddress(const sockaddr* address,
                                                                         socklen_t length);
    // 0.0.0.0: the internet at all.
    static std::shared_ptr<ReachabilityNotifier> reachabilityForInternetConnection();
    // 169.254.0.0: the link-local network.
    static std::shared_ptr<ReachabilityNotifier> reachabilityForLocalWiFi();
    static std::shared_ptr<ReachabilityNotifier>
    initWithReachabilityRef(std::unique_ptr<platform::TargetWatch> ref);

    ReachabilityNotifier(Passkey, std::unique_ptr<platform::TargetWatch> ref);
    ~ReachabilityNotifier();
    ReachabilityNotifier(const ReachabilityNotifier&) = delete;
    ReachabilityNotifier& operator=(const ReachabilityNotifier&) = delete;

    bool reachableOnWWAN() const { return reachableOnWWAN_.load(); }
    void setReachableOnWWAN(bool value) { reachableOnWWAN_.store(value); }
    void setReachableBlock(Block block);
    void setUnreachableBlock(Block block);

    // True when notifying (also when it already was).
    bool startNotifier();
    void stopNotifier();
    // The serial queue of the callbacks; null unless notifying.
    std::shared_ptr<platform::SerialQueue> reachabilitySerialQueue() const;

    // Reachable, unless a connection is still required over a transient link.
    static bool isReachableWithFlags(Flags flags);
    bool isReachable() const;
    bool isReachableViaWWAN() const { return false; }
    bool isReachableViaWiFi() const;
    bool isConnectionRequired() const;
    bool connectionRequired() const { return isConnectionRequired(); }
    bool isConnectionOnDemand() const;
    bool isInterventionRequired() const;
    NetworkStatus currentReachabilityStatus() const;
    // 0 when the flags cannot be read.
    Flags reachabilityFlags() const;
    // "WiFi", "Cellular" or "No Connection".
    std::string currentReachabilityString() const;
    // Ten characters: 'X', then R, a blank, and c t i C D l d, each letter or '-'.
    std::string currentReachabilityFlags() const;
    static std::string flagsDescription(Flags flags);
    std::string description() const;

    // The change callback: runs the matching block, then posts the notification on the main queue.
    void reachabilityChanged(Flags flags);

private:
    std::optional<Flags> currentFlags() const;

    const std::unique_ptr<platform::TargetWatch> reachabilityRef_;
    std::atomic<bool> reachableOnWWAN_{true};

    std::mutex notifierMutex_; // serialises start and stop
    mutable std::mutex mutex_; // guards the members below
    std::shared_ptr<platform::SerialQueue> reachabilitySerialQueue_;
    std::shared_ptr<ReachabilityNotifier> reachabilityObject_;
    Block reachableBlock_;
    Block unreachableBlock_;
    // Bumped by stopNotifier; a notification queued before the stop is then dropped.
    std::atomic<std::uint64_t> generation_{0};
};

} // namespace tc
