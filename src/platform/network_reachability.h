#pragma once
// Whether a network target can be reached, in the desktop platform's terms: a handle on a target
// (network_state.h) that calls back on a serial queue whenever the flags of its target change.
//
// The answers come from a NetworkStateSource. The process shares one source (the rtnetlink monitor on
// Linux, see netlink_monitor.h); tests install a fake one through setSharedNetworkState.
#include "platform/dispatch.h"
#include "platform/network_state.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include <sys/socket.h>

namespace tc::platform {

// The process-wide source, started on first use. When the system monitor cannot be started the
// source answers nullopt for every target.
std::shared_ptr<NetworkStateSource> sharedNetworkState();
// Installs a source for the whole process and returns the previous one; nullptr restores the system
// monitor (started again on next use).
std::shared_ptr<NetworkStateSource> setSharedNetworkState(std::shared_ptr<NetworkStateSource> source);

// A watched target: the Linux stand-in for the platform's reachability reference.
//
// Once both a callback and a dispatch queue are set, the callback runs on that queue with the current
// flags, and again each time the flags change. Clearing either (or destroying the handle) stops the
// deliveries: once that returns, no callback is running or will run, unless it was cleared from the
// callback itself.
class TargetWatch {
public:
    using Callback = std::function<void(ReachabilityFlags)>;

    static constexpr std::size_t kMaxHostNameBytes = 253;

    // nullptr when the address is not a complete IPv4 or IPv6 socket address.
    static std::unique_ptr<TargetWatch> createWithAddress(const sockaddr* address, socklen_t length);
    // nullptr for an empty name, a name longer than kMaxHostNameBytes or one with bytes no host name
    // can hold. Numeric address text becomes an address target.
    static std::unique_ptr<TargetWatch> createWithName(std::string_view name);

    TargetWatch(ReachabilityTarget target, std::shared_ptr<NetworkStateSource> source);
    ~TargetWatch();
    TargetWatch(const TargetWatch&) = delete;
    TargetWatch& operator=(const TargetWatch&) = delete;

    const ReachabilityTarget& target() const;
    std::optional<ReachabilityFlags> flags() const;

    // Both answer false when the handle cannot take the setting (never on Linux; kept for callers that
    // follow the platform's protocol).
    bool setCallback(Callback callback);
    bool setDispatchQueue(std::shared_ptr<SerialQueue> queue);

private:
    struct Inner;
    std::shared_ptr<Inner> inner_;
};

} // namespace tc::platform
