#pragma once
// The terms of a reachability question: a target (an address or a host name), the platform's
// reachability flag bits, and the source that answers for the machine's network. The rtnetlink
// monitor (netlink_monitor.h) is one such source; the watches over targets (network_reachability.h)
// read one.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <sys/socket.h>

namespace tc::platform {

using ReachabilityFlags = std::uint32_t;

namespace reachability_flags {
inline constexpr ReachabilityFlags kTransientConnection = 1u << 0;
inline constexpr ReachabilityFlags kReachable = 1u << 1;
inline constexpr ReachabilityFlags kConnectionRequired = 1u << 2;
inline constexpr ReachabilityFlags kConnectionOnTraffic = 1u << 3;
inline constexpr ReachabilityFlags kInterventionRequired = 1u << 4;
inline constexpr ReachabilityFlags kConnectionOnDemand = 1u << 5;
inline constexpr ReachabilityFlags kIsLocalAddress = 1u << 16;
inline constexpr ReachabilityFlags kIsDirect = 1u << 17;
} // namespace reachability_flags

// An IPv4 or IPv6 address in network byte order (IPv4 uses the first four bytes).
struct IpAddress {
    int family = 0; // AF_INET or AF_INET6; 0 for none
    std::array<std::uint8_t, 16> bytes{};

    std::size_t size() const;
    bool isUnspecified() const; // 0.0.0.0 or ::
    bool isLoopback() const;    // 127/8 or ::1
    bool isLinkLocal() const;   // 169.254/16 or fe80::/10
    // Whether the first `prefixLength` bits equal those of `other` (same family required).
    bool matchesPrefix(const IpAddress& other, unsigned prefixLength) const;
    friend bool operator==(const IpAddress&, const IpAddress&) = default;

    static IpAddress v4(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d);
    // From a socket address; nullopt unless it is a complete AF_INET or AF_INET6 address.
    static std::optional<IpAddress> fromSockaddr(const sockaddr* address, socklen_t length);
    // From numeric text ("192.0.2.1", "2001:db8::1"); nullopt for anything else.
    static std::optional<IpAddress> fromText(std::string_view text);
};

// What a reachability question is about. A host name is answered as the question of reaching the
// internet at all: names are not resolved (a lookup would block, and could fail for reasons that say
// nothing about the network), so a name stands for "some server out there".
struct ReachabilityTarget {
    enum class Kind { Address, HostName };
    Kind kind = Kind::Address;
    IpAddress address;
    std::string hostName;
};

// The source of network state. flagsFor may be called from any thread.
class NetworkStateSource {
public:
    using SubscriptionId = std::uint64_t;

    virtual ~NetworkStateSource() = default;

    // The flags for a target now; nullopt when the state cannot be read.
    virtual std::optional<ReachabilityFlags> flagsFor(const ReachabilityTarget& target) const = 0;
    // `onChange` is called on a thread of the source's choosing after the network state may have
    // changed (callers compare flags themselves). It must not block for long. A handler may still be
    // called once by a delivery already under way when unsubscribe returns.
    virtual SubscriptionId subscribe(std::function<void()> onChange) = 0;
    virtual void unsubscribe(SubscriptionId id) = 0;
};

} // namespace tc::platform
