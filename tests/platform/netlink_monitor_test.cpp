#include "platform/netlink_monitor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <tuple>
#include <vector>

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>

#include <linux/netlink.h>
#include <linux/rtnetlink.h>

namespace {

using namespace tc;
using namespace platform;
namespace nl = platform::netlink;
namespace rf = platform::reachability_flags;

// Writes kernel messages the way the kernel lays them out: 4-byte aligned headers and attributes.
class Datagram {
public:
    template <typename Body>
    Datagram& begin(std::uint16_t type, const Body& body, std::uint16_t flags = 0, std::uint32_t seq = 0) {
        start_ = bytes_.size();
        nlmsghdr header{};
        header.nlmsg_type = type;
        header.nlmsg_flags = flags;
        header.nlmsg_seq = seq;
        append(&header, sizeof header);
        append(&body, sizeof body);
        pad();
        finish();
        return *this;
    }
    Datagram& attribute(std::uint16_t type, const void* data, std::size_t size) {
        rtattr a{};
        a.rta_len = static_cast<unsigned short>(RTA_LENGTH(size));
        a.rta_type = type;
        append(&a, sizeof a);
        append(data, size);
        pad();
        finish();
        return *this;
    }
    Datagram& u32(std::uint16_t type, std::uint32_t value) { return attribute(type, &value, sizeof value); }
    Datagram& text(std::uint16_t type, const char* value) {
        return attribute(type, value, std::strlen(value) + 1);
    }
    Datagram& address(std::uint16_t type, const char* value) {
        std::uint8_t raw[16];
        if (inet_pton(AF_INET, value, raw) == 1)
            return attribute(type, raw, 4);
        EXPECT_EQ(inet_pton(AF_INET6, value, raw), 1) << value;
        return attribute(type, raw, 16);
    }
    Datagram& raw(const void* data, std::size_t size) {
        append(data, size);
        return *this;
    }
    // Ends a message with a plain header of `type` and no body (DONE, OVERRUN).
    Datagram& bare(std::uint16_t type, std::uint32_t seq = 0) {
        return begin(type, std::uint32_t{0}, 0, seq);
    }

    std::vector<std::uint8_t>& bytes() { return bytes_; }
    std::size_t size() const { return bytes_.size(); }

private:
    void append(const void* data, std::size_t size) {
        const auto* p = static_cast<const std::uint8_t*>(data);
        bytes_.insert(bytes_.end(), p, p + size);
    }
    void pad() {
        while (bytes_.size() % 4)
            bytes_.push_back(0);
    }
    void finish() {
        const auto length = static_cast<std::uint32_t>(bytes_.size() - start_);
        std::memcpy(bytes_.data() + start_, &length, sizeof length);
    }
    std::vector<std::uint8_t> bytes_;
    std::size_t start_ = 0;
};

ifinfomsg link(int index, unsigned flags) {
    ifinfomsg m{};
    m.ifi_index = index;
    m.ifi_flags = flags;
    return m;
}

ifaddrmsg addr(int family, int index, std::uint8_t prefix, std::uint8_t scope = RT_SCOPE_UNIVERSE) {
    ifaddrmsg m{};
    m.ifa_family = static_cast<std::uint8_t>(family);
    m.ifa_index = static_cast<std::uint32_t>(index);
    m.ifa_prefixlen = prefix;
    m.ifa_scope = scope;
    return m;
}

rtmsg route(int family, std::uint8_t dstLength, std::uint8_t type = RTN_UNICAST,
            std::uint8_t table = RT_TABLE_MAIN) {
    rtmsg m{};
    m.rtm_family = static_cast<std::uint8_t>(family);
    m.rtm_dst_len = dstLength;
    m.rtm_type = type;
    m.rtm_table = table;
    return m;
}

nl::ParseResult parse(Datagram& d) {
    return nl::parseMessages(d.bytes());
}

constexpr unsigned kUpRunning = IFF_UP | IFF_RUNNING;

} // namespace

// ---- parsing ----

TEST(NetlinkParse, ReadsLinksAddressesAndRoutes) {
    Datagram d;
    d.begin(RTM_NEWLINK, link(2, kUpRunning | IFF_BROADCAST)).text(IFLA_IFNAME, "eth0").u32(IFLA_MTU, 1500);
    d.begin(RTM_NEWADDR, addr(AF_INET, 3, 32))
        .address(IFA_ADDRESS, "10.0.0.1") // the peer of a point-to-point link
        .address(IFA_LOCAL, "10.0.0.2");
    d.begin(RTM_DELADDR, addr(AF_INET6, 2, 64, RT_SCOPE_LINK))
        .address(IFA_ADDRESS, "fe80::1")
        .u32(IFA_FLAGS, IFA_F_PERMANENT | IFA_F_NOPREFIXROUTE);
    d.begin(RTM_NEWROUTE, route(AF_INET, 0))
        .u32(RTA_TABLE, 1000)
        .address(RTA_GATEWAY, "192.0.2.1")
        .u32(RTA_OIF, 2)
        .u32(RTA_PRIORITY, 100);
    d.bare(NLMSG_DONE, 7);

    const auto r = parse(d);
    EXPECT_EQ(r.malformed, 0u);
    EXPECT_FALSE(r.truncated);
    ASSERT_EQ(r.events.size(), 5u);

    const auto& l = std::get<nl::LinkEvent>(r.events[0]);
    EXPECT_EQ(std::tuple(l.change, l.index, l.flags, l.name),
              std::tuple(nl::Change::Added, 2, kUpRunning | IFF_BROADCAST, "eth0"));

    const auto& a4 = std::get<nl::AddressEvent>(r.events[1]);
    EXPECT_EQ(std::tuple(a4.address, a4.index, a4.prefixLength),
              std::tuple(IpAddress::v4(10, 0, 0, 2), 3, 32));

    const auto& a6 = std::get<nl::AddressEvent>(r.events[2]);
    EXPECT_EQ(std::tuple(a6.change, a6.address, a6.scope, a6.flags),
              std::tuple(nl::Change::Removed, *IpAddress::fromText("fe80::1"), RT_SCOPE_LINK,
                         static_cast<std::uint32_t>(IFA_F_PERMANENT | IFA_F_NOPREFIXROUTE)));

    const auto& rt = std::get<nl::RouteEvent>(r.events[3]);
    EXPECT_EQ(std::tuple(rt.table, rt.priority, rt.destinationLength), std::tuple(1000u, 100u, 0));
    EXPECT_TRUE(rt.destination.isUnspecified());
    ASSERT_EQ(rt.nexthops.size(), 1u);
    EXPECT_EQ(rt.nexthops[0].index, 2);
    EXPECT_TRUE(rt.nexthops[0].hasGateway);

    EXPECT_EQ(std::get<nl::DoneEvent>(r.events[4]).sequence, 7u);
}

TEST(NetlinkParse, ReadsMultipathNexthopsAndTheirState) {
    std::vector<std::uint8_t> hops;
    auto addHop = [&](int index, unsigned char flags, bool gateway) {
        rtnexthop hop{};
        hop.rtnh_ifindex = index;
        hop.rtnh_flags = flags;
        hop.rtnh_len = sizeof hop + (gateway ? RTA_LENGTH(4) : 0);
        const auto* p = reinterpret_cast<const std::uint8_t*>(&hop);
        hops.insert(hops.end(), p, p + sizeof hop);
        if (gateway) {
            rtattr a{};
            a.rta_len = RTA_LENGTH(4);
            a.rta_type = RTA_GATEWAY;
            const std::uint8_t gw[4] = {192, 0, 2, 1};
            p = reinterpret_cast<const std::uint8_t*>(&a);
            hops.insert(hops.end(), p, p + sizeof a);
            hops.insert(hops.end(), gw, gw + 4);
        }
    };
    addHop(2, 0, true);
    addHop(5, RTNH_F_LINKDOWN, false);
    Datagram d;
    d.begin(RTM_NEWROUTE, route(AF_INET, 0)).attribute(RTA_MULTIPATH, hops.data(), hops.size());
    const auto r = parse(d);
    ASSERT_EQ(r.events.size(), 1u);
    const auto& rt = std::get<nl::RouteEvent>(r.events[0]);
    ASSERT_EQ(rt.nexthops.size(), 2u);
    EXPECT_EQ(std::tuple(rt.nexthops[0].index, rt.nexthops[0].hasGateway, rt.nexthops[0].linkDown),
              std::tuple(2, true, false));
    EXPECT_EQ(std::tuple(rt.nexthops[1].index, rt.nexthops[1].hasGateway, rt.nexthops[1].linkDown),
              std::tuple(5, false, true));

    // A nexthop claiming more bytes than the attribute holds spoils the message.
    hops[0] = 200;
    Datagram bad;
    bad.begin(RTM_NEWROUTE, route(AF_INET, 0)).attribute(RTA_MULTIPATH, hops.data(), hops.size());
    const auto r2 = parse(bad);
    EXPECT_TRUE(r2.events.empty());
    EXPECT_EQ(r2.malformed, 1u);
}

TEST(NetlinkParse, ReportsErrorsAcknowledgementsOverrunsAndInterruptedDumps) {
    Datagram d;
    nlmsgerr refused{};
    refused.error = -EBUSY;
    d.begin(NLMSG_ERROR, refused, 0, 3);
    nlmsgerr ack{};
    d.begin(NLMSG_ERROR, ack, 0, 4);
    d.begin(RTM_NEWLINK, link(1, IFF_UP | IFF_LOOPBACK), NLM_F_MULTI | NLM_F_DUMP_INTR);
    d.bare(NLMSG_OVERRUN);
    const auto r = parse(d);
    ASSERT_EQ(r.events.size(), 3u);
    EXPECT_EQ(std::get<nl::ErrorEvent>(r.events[0]).error, EBUSY);
    EXPECT_EQ(std::get<nl::ErrorEvent>(r.events[0]).sequence, 3u);
    EXPECT_EQ(std::get<nl::ErrorEvent>(r.events[1]).error, 0);
    EXPECT_TRUE(r.dumpInterrupted);
    EXPECT_TRUE(r.overrun);

    // The most negative code has no positive counterpart; it must not overflow.
    Datagram extreme;
    nlmsgerr worst{};
    worst.error = INT_MIN;
    extreme.begin(NLMSG_ERROR, worst);
    EXPECT_GT(std::get<nl::ErrorEvent>(parse(extreme).events.at(0)).error, 0);
}

TEST(NetlinkParse, StopsAtHeadersThatDoNotFit) {
    Datagram d;
    d.begin(RTM_NEWLINK, link(2, kUpRunning)).text(IFLA_IFNAME, "eth0");
    const std::size_t first = d.size();
    d.begin(RTM_NEWLINK, link(3, kUpRunning)).text(IFLA_IFNAME, "eth1");

    // Cut inside the second message: the first still counts.
    std::vector<std::uint8_t> cut(d.bytes().begin(), d.bytes().begin() + static_cast<long>(first + 20));
    auto r = nl::parseMessages(cut);
    EXPECT_EQ(r.events.size(), 1u);
    EXPECT_TRUE(r.truncated);

    // Fewer bytes than one header.
    r = nl::parseMessages(std::span(d.bytes().data(), 10));
    EXPECT_TRUE(r.events.empty());
    EXPECT_TRUE(r.truncated);

    // A length of zero (or anything under a header) can never advance; parsing must end, not loop.
    for (std::uint32_t length : {0u, 1u, 15u}) {
        auto bytes = d.bytes();
        std::memcpy(bytes.data() + first, &length, sizeof length);
        r = nl::parseMessages(bytes);
        EXPECT_EQ(r.events.size(), 1u) << length;
        EXPECT_TRUE(r.truncated) << length;
    }

    // A length past the end of the datagram.
    auto bytes = d.bytes();
    const std::uint32_t huge = 0xfffffff0u;
    std::memcpy(bytes.data(), &huge, sizeof huge);
    r = nl::parseMessages(bytes);
    EXPECT_TRUE(r.events.empty());
    EXPECT_TRUE(r.truncated);

    EXPECT_FALSE(nl::parseMessages({}).truncated);
}

TEST(NetlinkParse, SkipsMessagesWithBadBodiesOrAttributes) {
    Datagram d;
    // Body shorter than the interface header.
    d.begin(RTM_NEWLINK, std::uint32_t{2});
    // Attribute claiming more bytes than remain in its message.
    d.begin(RTM_NEWADDR, addr(AF_INET, 2, 24)).address(IFA_LOCAL, "192.0.2.10");
    d.bytes()[d.size() - 8] = 0xff; // rta_len low byte of the only attribute
    // Attribute length below the attribute header (zero).
    d.begin(RTM_NEWADDR, addr(AF_INET, 2, 24)).address(IFA_LOCAL, "192.0.2.11");
    d.bytes()[d.size() - 8] = 0;
    d.bytes()[d.size() - 7] = 0;
    // Address payload of the wrong size, and an empty one.
    d.begin(RTM_NEWADDR, addr(AF_INET, 2, 24)).attribute(IFA_LOCAL, "\x01\x02\x03\x04\x05\x06", 6);
    d.begin(RTM_NEWADDR, addr(AF_INET6, 2, 64)).attribute(IFA_ADDRESS, nullptr, 0);
    // No address at all.
    d.begin(RTM_NEWADDR, addr(AF_INET, 2, 24));
    // Prefix longer than the address.
    d.begin(RTM_NEWADDR, addr(AF_INET, 2, 33)).address(IFA_LOCAL, "192.0.2.12");
    d.begin(RTM_NEWROUTE, route(AF_INET6, 129));
    // Interface name longer than the kernel allows.
    d.begin(RTM_NEWLINK, link(4, kUpRunning)).text(IFLA_IFNAME, "a-name-far-too-long");
    // Integer attribute of the wrong size.
    d.begin(RTM_NEWROUTE, route(AF_INET, 0)).attribute(RTA_OIF, "\x02\x00", 2);
    const std::size_t bad = 10;
    // A family that has nothing to do with reachability is ignored, not an error.
    d.begin(RTM_NEWADDR, addr(AF_PACKET, 2, 0));
    // And a good message after all that.
    d.begin(RTM_NEWLINK, link(7, kUpRunning)).text(IFLA_IFNAME, "wlan0");

    const auto r = parse(d);
    EXPECT_EQ(r.malformed, bad);
    EXPECT_FALSE(r.truncated);
    ASSERT_EQ(r.events.size(), 1u);
    EXPECT_EQ(std::get<nl::LinkEvent>(r.events[0]).name, "wlan0");
}

TEST(NetlinkParse, EveryPrefixAndMisalignmentOfAValidDatagramIsSafe) {
    Datagram d;
    std::vector<std::size_t> boundaries{0};
    d.begin(RTM_NEWLINK, link(2, kUpRunning)).text(IFLA_IFNAME, "eth0");
    boundaries.push_back(d.size());
    d.begin(RTM_NEWADDR, addr(AF_INET6, 2, 64)).address(IFA_ADDRESS, "2001:db8::5").u32(IFA_FLAGS, 0);
    boundaries.push_back(d.size());
    d.begin(RTM_NEWROUTE, route(AF_INET6, 0)).address(RTA_GATEWAY, "fe80::1").u32(RTA_OIF, 2);
    boundaries.push_back(d.size());
    d.bare(NLMSG_DONE, 1);
    boundaries.push_back(d.size());
    const auto full = parse(d);
    ASSERT_EQ(full.events.size(), 4u);
    for (std::size_t n = 0; n <= d.size(); ++n) {
        // Copy to a buffer of exactly n bytes, one byte off alignment, so overreads are caught.
        std::vector<std::uint8_t> shifted(n + 1);
        std::memcpy(shifted.data() + 1, d.bytes().data(), n);
        const auto r = nl::parseMessages(std::span(shifted.data() + 1, n));
        // Whole messages before the cut are read; a cut between messages is not a truncation.
        const auto whole = std::upper_bound(boundaries.begin(), boundaries.end(), n) - boundaries.begin() - 1;
        EXPECT_EQ(r.events.size(), static_cast<std::size_t>(whole)) << n;
        EXPECT_EQ(r.truncated, std::find(boundaries.begin(), boundaries.end(), n) == boundaries.end()) << n;
    }
}

// ---- the model and its flags ----

namespace {

class Network {
public:
    Network& apply(Datagram& d) {
        for (const auto& e : parse(d).events)
            model.apply(e);
        return *this;
    }
    Network& addLink(int index, unsigned flags, const char* name) {
        Datagram d;
        d.begin(RTM_NEWLINK, link(index, flags)).text(IFLA_IFNAME, name);
        return apply(d);
    }
    Network& addAddress(int index, const char* text, std::uint8_t prefix, std::uint32_t flags = 0,
                        std::uint16_t type = RTM_NEWADDR) {
        const auto ip = IpAddress::fromText(text);
        Datagram d;
        auto m = addr(ip->family, index, prefix, ip->isLinkLocal() ? RT_SCOPE_LINK : RT_SCOPE_UNIVERSE);
        d.begin(type, m).address(IFA_ADDRESS, text).u32(IFA_FLAGS, flags);
        return apply(d);
    }
    Network& addRoute(const char* destination, std::uint8_t prefix, int oif, const char* gateway,
                      std::uint32_t metric = 0, std::uint16_t type = RTM_NEWROUTE,
                      std::uint8_t table = RT_TABLE_MAIN, std::uint8_t kind = RTN_UNICAST) {
        const auto ip = IpAddress::fromText(destination);
        Datagram d;
        d.begin(type, route(ip->family, prefix, kind, table)).u32(RTA_OIF, static_cast<std::uint32_t>(oif));
        if (prefix)
            d.address(RTA_DST, destination);
        if (gateway)
            d.address(RTA_GATEWAY, gateway);
        if (metric)
            d.u32(RTA_PRIORITY, metric);
        return apply(d);
    }
    ReachabilityFlags to(const char* text) const {
        ReachabilityTarget t;
        t.address = *IpAddress::fromText(text);
        return flagsFor(model, t);
    }
    ReachabilityFlags toHost(const char* name) const {
        ReachabilityTarget t;
        t.kind = ReachabilityTarget::Kind::HostName;
        t.hostName = name;
        return flagsFor(model, t);
    }
    NetworkModel model;
};

// A desktop on a wired LAN: loopback, eth0 with 192.0.2.10/24 and a default route through 192.0.2.1.
Network office() {
    Network n;
    n.addLink(1, IFF_UP | IFF_RUNNING | IFF_LOOPBACK, "lo")
        .addAddress(1, "127.0.0.1", 8)
        .addLink(2, kUpRunning | IFF_BROADCAST, "eth0")
        .addAddress(2, "192.0.2.10", 24)
        .addRoute("192.0.2.0", 24, 2, nullptr)
        .addRoute("0.0.0.0", 0, 2, "192.0.2.1", 100);
    return n;
}

} // namespace

TEST(NetworkFlags, AWiredDesktop) {
    const auto n = office();
    EXPECT_EQ(n.to("0.0.0.0"), rf::kReachable);
    EXPECT_EQ(n.to("::"), rf::kReachable); // the zero address of either family asks for the internet
    EXPECT_EQ(n.toHost("trade.example.com"), rf::kReachable);
    EXPECT_EQ(n.to("198.51.100.7"), rf::kReachable);
    EXPECT_EQ(n.to("192.0.2.77"), rf::kReachable | rf::kIsDirect);
    EXPECT_EQ(n.to("192.0.2.10"), rf::kReachable | rf::kIsLocalAddress | rf::kIsDirect);
    EXPECT_EQ(n.to("127.0.0.1"), rf::kReachable | rf::kIsLocalAddress | rf::kIsDirect);
    EXPECT_EQ(n.to("::1"), rf::kReachable | rf::kIsLocalAddress | rf::kIsDirect);
    EXPECT_EQ(n.to("2001:db8::1"), 0u);             // no IPv6 here
    EXPECT_EQ(n.to("169.254.0.0"), rf::kReachable); // only by the default route: not direct
}

TEST(NetworkFlags, LosingCarrierRoutesOrTheLinkMakesTheInternetUnreachable) {
    auto n = office();
    n.addLink(2, IFF_UP | IFF_BROADCAST, "eth0"); // cable out
    EXPECT_EQ(n.to("0.0.0.0"), 0u);
    n.addLink(2, kUpRunning | IFF_BROADCAST, "eth0");
    EXPECT_EQ(n.to("0.0.0.0"), rf::kReachable);

    n.addRoute("0.0.0.0", 0, 2, "192.0.2.1", 100, RTM_DELROUTE);
    EXPECT_EQ(n.to("0.0.0.0"), 0u);
    EXPECT_EQ(n.to("192.0.2.77"), rf::kReachable | rf::kIsDirect);

    // Taking the link down drops its routes silently in the kernel; coming back up does not restore them.
    auto m = office();
    m.addLink(2, IFF_BROADCAST, "eth0");
    EXPECT_TRUE(m.model.routes().empty());
    m.addLink(2, kUpRunning | IFF_BROADCAST, "eth0");
    EXPECT_EQ(m.to("0.0.0.0"), 0u);

    // Removing the link takes its addresses along.
    auto k = office();
    Datagram gone;
    gone.begin(RTM_DELLINK, link(2, 0));
    k.apply(gone);
    EXPECT_EQ(k.model.addresses().size(), 1u);
    EXPECT_EQ(k.to("192.0.2.10"), 0u);
}

TEST(NetworkFlags, ADefaultRouteNeedsAnAddressToSendFrom) {
    Network n;
    n.addLink(2, kUpRunning, "eth0").addRoute("::", 0, 2, "fe80::1", 1024).addAddress(2, "fe80::2", 64);
    EXPECT_EQ(n.to("::"), 0u);                  // link-local only
    EXPECT_EQ(n.to("fe80::9"), rf::kReachable); // a link-local source will do for a link-local target
    n.addAddress(2, "2001:db8::2", 64, IFA_F_TENTATIVE);
    EXPECT_EQ(n.to("::"), 0u); // still being checked for duplicates
    n.addAddress(2, "2001:db8::2", 64, 0);
    EXPECT_EQ(n.to("0.0.0.0"), rf::kReachable); // an IPv6-only network reaches the internet
    n.addAddress(2, "2001:db8::2", 64, 0, RTM_DELADDR);
    EXPECT_EQ(n.to("::"), 0u);
}

TEST(NetworkFlags, PointToPointLinksAreTransientAndMayNeedBringingUp) {
    Network n;
    n.addLink(3, IFF_UP | IFF_POINTOPOINT | IFF_NOARP, "ppp0").addAddress(3, "10.64.0.2", 32);
    n.addRoute("0.0.0.0", 0, 3, nullptr);
    // Up without carrier: reachable once a connection is made, which the flag test counts as not yet.
    EXPECT_EQ(n.to("0.0.0.0"), rf::kReachable | rf::kConnectionRequired | rf::kTransientConnection);
    n.addLink(3, IFF_UP | IFF_RUNNING | IFF_POINTOPOINT | IFF_NOARP, "ppp0");
    EXPECT_EQ(n.to("0.0.0.0"), rf::kReachable | rf::kTransientConnection | rf::kIsDirect);

    // With a working LAN as well, the most specific route decides.
    auto o = office();
    o.addLink(3, IFF_UP | IFF_RUNNING | IFF_POINTOPOINT, "tun0").addAddress(3, "10.8.0.6", 32);
    o.addRoute("10.8.0.0", 16, 3, nullptr);
    EXPECT_EQ(o.to("10.8.1.1"), rf::kReachable | rf::kTransientConnection | rf::kIsDirect);
    EXPECT_EQ(o.to("10.9.1.1"), rf::kReachable);
}

TEST(NetworkFlags, LowerMetricsWinAndOnlyUsableRoutesCount) {
    auto n = office();
    n.addLink(4, kUpRunning, "wlan0").addAddress(4, "203.0.113.5", 24);
    n.addRoute("0.0.0.0", 0, 4, nullptr, 50); // a direct default of lower metric on wlan0
    EXPECT_EQ(n.to("0.0.0.0"), rf::kReachable | rf::kIsDirect);
    n.addLink(4, IFF_UP, "wlan0"); // lost the access point: eth0's default takes over
    EXPECT_EQ(n.to("0.0.0.0"), rf::kReachable);

    Network m;
    m.addLink(2, kUpRunning, "eth0").addAddress(2, "192.0.2.10", 24);
    m.addRoute("0.0.0.0", 0, 2, "192.0.2.1", 0, RTM_NEWROUTE, RT_TABLE_LOCAL);
    m.addRoute("0.0.0.0", 0, 2, nullptr, 0, RTM_NEWROUTE, RT_TABLE_MAIN, RTN_UNREACHABLE);
    EXPECT_EQ(m.to("0.0.0.0"), 0u);
    m.addRoute("0.0.0.0", 0, 2, "192.0.2.1", 0, RTM_NEWROUTE, 52); // a policy table counts
    EXPECT_EQ(m.to("0.0.0.0"), rf::kReachable);
}

TEST(NetworkFlags, ModelCapsAndChangeReporting) {
    NetworkModel model;
    nl::LinkEvent e;
    e.flags = kUpRunning;
    for (int i = 1; i <= static_cast<int>(NetworkModel::kMaxLinks) + 5; ++i) {
        e.index = i;
        model.apply(e);
    }
    EXPECT_EQ(model.links().size(), NetworkModel::kMaxLinks);
    EXPECT_TRUE(model.capReached());
    e.index = 1;
    EXPECT_FALSE(model.apply(e)); // the same state again changes nothing
    e.flags = IFF_UP;
    EXPECT_TRUE(model.apply(e));
    EXPECT_FALSE(model.apply(nl::DoneEvent{}));
}

// ---- the live monitor ----

TEST(NetlinkMonitor, ReadsThisMachinesNetwork) {
    auto source = NetlinkStateSource::start();
    if (!source)
        GTEST_SKIP() << "no routing socket in this environment";
    const auto model = source->snapshot();
    bool loopback = false;
    for (const auto& [index, l] : model.links())
        loopback = loopback || ((l.flags & IFF_LOOPBACK) && (l.flags & IFF_UP));
    EXPECT_TRUE(loopback);

    ReachabilityTarget local;
    local.address = IpAddress::v4(127, 0, 0, 1);
    EXPECT_EQ(source->flagsFor(local), rf::kReachable | rf::kIsLocalAddress | rf::kIsDirect);

    ReachabilityTarget internet;
    internet.address = IpAddress::v4(0, 0, 0, 0);
    const auto flags = source->flagsFor(internet);
    ASSERT_TRUE(flags.has_value()); // whatever the answer, it can be read
    EXPECT_EQ(*flags & rf::kIsLocalAddress, 0u);

    const auto id = source->subscribe([] {});
    source->unsubscribe(id);
    source.reset(); // stops its thread
}

// ---- addresses ----

TEST(IpAddress, PrefixesAndClasses) {
    const auto a = *IpAddress::fromText("192.0.2.130");
    EXPECT_TRUE(a.matchesPrefix(*IpAddress::fromText("192.0.2.128"), 25));
    EXPECT_FALSE(a.matchesPrefix(*IpAddress::fromText("192.0.2.0"), 25));
    EXPECT_TRUE(a.matchesPrefix(*IpAddress::fromText("10.0.0.0"), 0));
    EXPECT_FALSE(a.matchesPrefix(*IpAddress::fromText("192.0.2.130"), 33));
    EXPECT_FALSE(a.matchesPrefix(*IpAddress::fromText("::"), 0)); // families differ
    EXPECT_TRUE(IpAddress::fromText("fe80::1")->isLinkLocal());
    EXPECT_FALSE(IpAddress::fromText("fec0::1")->isLinkLocal());
    EXPECT_TRUE(IpAddress::fromText("127.255.0.1")->isLoopback());
    EXPECT_FALSE(IpAddress::fromText("::2")->isLoopback());
    EXPECT_FALSE(IpAddress::fromText("1.2.3"));
    EXPECT_FALSE(IpAddress::fromText("fe80::1%eth0"));
    EXPECT_FALSE(IpAddress{}.isUnspecified());
}
