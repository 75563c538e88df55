#pragma once
// The Linux network monitor behind reachability: an rtnetlink socket that dumps the links, addresses and
// routes once and then follows the kernel's change messages, keeping a small model from which the
// reachability flags of a target are derived.
//
// The parser, the model and the flag derivation are plain functions of their inputs so that tests can
// feed them crafted kernel messages.
#include "platform/network_state.h"

#include <functional>
#include <optional>

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace tc::platform {

namespace netlink {

// Caps on what one read may hold; the kernel never comes close.
inline constexpr std::size_t kMaxBatchBytes = 1u << 20;
inline constexpr std::size_t kMaxMessagesPerBatch = 8192;
inline constexpr std::size_t kMaxAttributesPerMessage = 512;
inline constexpr std::size_t kMaxNexthops = 16;
inline constexpr std::size_t kMaxInterfaceNameBytes = 15; // IFNAMSIZ less the terminator

enum class Change { Added, Removed };

struct LinkEvent {
    Change change = Change::Added;
    int index = 0;
    unsigned flags = 0; // IFF_*
    std::string name;
};

struct AddressEvent {
    Change change = Change::Added;
    int index = 0; // interface
    std::uint8_t prefixLength = 0;
    std::uint8_t scope = 0;  // RT_SCOPE_*
    std::uint32_t flags = 0; // IFA_F_*
    IpAddress address;
};

struct Nexthop {
    int index = 0; // interface; 0 when the route names none
    bool hasGateway = false;
    bool linkDown = false; // the kernel marks it dead or without carrier
};

struct RouteEvent {
    Change change = Change::Added;
    std::uint8_t type = 0; // RTN_*
    std::uint8_t destinationLength = 0;
    std::uint32_t table = 0;
    std::uint32_t priority = 0;
    IpAddress destination; // family set even for default routes (all zero)
    std::vector<Nexthop> nexthops;
};

// End of a dump (NLMSG_DONE) or the kernel's answer to a request (NLMSG_ERROR; error 0 is an ack).
struct DoneEvent {
    std::uint32_t sequence = 0;
};
struct ErrorEvent {
    std::uint32_t sequence = 0;
    int error = 0; // a positive errno value, 0 for an acknowledgement
};

using Event = std::variant<LinkEvent, AddressEvent, RouteEvent, DoneEvent, ErrorEvent>;

struct ParseResult {
    std::vector<Event> events;
    std::size_t malformed = 0;    // messages skipped because their body or attributes were invalid
    bool truncated = false;       // the buffer ended inside a message, or a header was unusable
    bool overrun = false;         // the kernel reported lost messages
    bool dumpInterrupted = false; // a dump message said the state changed under it
    bool capReached = false;      // messages past kMaxMessagesPerBatch (or bytes past kMaxBatchBytes)
};

// Parses the messages of one datagram. Never reads outside `bytes`, whatever they hold; messages it
// cannot use are counted and skipped, and parsing stops at the first header that does not fit.
ParseResult parseMessages(std::span<const std::uint8_t> bytes);

} // namespace netlink

// What the monitor knows of the machine's network.
class NetworkModel {
public:
    static constexpr std::size_t kMaxLinks = 4096;
    static constexpr std::size_t kMaxAddresses = 8192;
    static constexpr std::size_t kMaxRoutes = 65536;

    struct Link {
        unsigned flags = 0;
        std::string name;
    };
    struct Address {
        int index = 0;
        std::uint8_t prefixLength = 0;
        std::uint8_t scope = 0;
        std::uint32_t flags = 0;
        IpAddress address;
    };
    using Route = netlink::RouteEvent;

    // Applies a link, address or route event (others are ignored); false when nothing changed. New
    // entries past a cap are dropped (and logged once).
    bool apply(const netlink::Event& event);
    void clear();

    const std::map<int, Link>& links() const { return links_; }
    const std::vector<Address>& addresses() const { return addresses_; }
    const std::vector<Route>& routes() const { return routes_; }
    bool capReached() const { return capReached_; }

private:
    bool applyLink(const netlink::LinkEvent& event);
    bool applyAddress(const netlink::AddressEvent& event);
    bool applyRoute(const netlink::RouteEvent& event);
    void noteCap(const char* what);

    std::map<int, Link> links_;
    std::vector<Address> addresses_;
    std::vector<Route> routes_;
    bool capReached_ = false;
};

// The platform flags for a target in a given network state:
// - the zero address (either family) and host names ask for the internet: the best default route of
//   IPv4, then IPv6;
// - a loopback address is reachable, local and direct while the loopback link is up; so is an address
//   of the machine's own on a link that is up;
// - any other address follows the longest matching unicast route (lowest metric among equals; every
//   routing table but the local one).
// A route is usable through a nexthop whose link is up and running, not marked down, and when the
// machine has an address of the family to send from (a link-local one only for link-local targets).
// A usable route gives "reachable", plus "direct" when the nexthop has no gateway, plus "transient
// connection" when the link is point-to-point (PPP, tunnels, VPNs). A matching route whose only
// nexthops are point-to-point links that are up without carrier gives reachable | connection required |
// transient connection: a link that has to be brought up before traffic can pass (which the flag test
// counts as unreachable). Connection-on-traffic, on-demand and intervention-required never arise.
ReachabilityFlags flagsFor(const NetworkModel& model, const ReachabilityTarget& target);

// The rtnetlink monitor. start() opens the socket, subscribes to link, address and route changes of
// both families, dumps the current state and then follows changes on a thread of its own, calling the
// subscribers after every batch that changed the model. When the kernel drops messages (the socket
// buffer overran) or a dump is interrupted, the state is dumped afresh.
class NetlinkStateSource final : public NetworkStateSource {
public:
    // nullptr (logged) when the socket cannot be opened or the first dump fails.
    static std::shared_ptr<NetlinkStateSource> start();
    ~NetlinkStateSource() override;

    std::optional<ReachabilityFlags> flagsFor(const ReachabilityTarget& target) const override;
    SubscriptionId subscribe(std::function<void()> onChange) override;
    void unsubscribe(SubscriptionId id) override;

    NetworkModel snapshot() const;

    struct Runtime;
    explicit NetlinkStateSource(std::shared_ptr<Runtime> runtime);

private:
    std::shared_ptr<Runtime> runtime_;
};

} // namespace tc::platform
