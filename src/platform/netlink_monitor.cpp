#include "platform/netlink_monitor.h"

#include "platform/log.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>
#include <thread>
#include <tuple>
#include <utility>

#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <linux/netlink.h>
#include <linux/rtnetlink.h>

namespace tc::platform {

namespace netlink {

namespace {

using Bytes = std::span<const std::uint8_t>;

// Kernel structures are copied out byte-wise: a datagram buffer (or fuzz input) need not be aligned.
template <typename T>
bool readAt(Bytes bytes, std::size_t offset, T& out) {
    if (offset > bytes.size() || bytes.size() - offset < sizeof(T))
        return false;
    std::memcpy(&out, bytes.data() + offset, sizeof(T));
    return true;
}

std::size_t familySize(int family) {
    return family == AF_INET ? 4 : family == AF_INET6 ? 16 : 0;
}

bool readAddress(int family, Bytes payload, IpAddress& out) {
    const std::size_t size = familySize(family);
    if (size == 0 || payload.size() != size)
        return false;
    out = IpAddress{};
    out.family = family;
    std::memcpy(out.bytes.data(), payload.data(), size);
    return true;
}

bool readU32(Bytes payload, std::uint32_t& out) {
    if (payload.size() != sizeof(std::uint32_t))
        return false;
    std::memcpy(&out, payload.data(), sizeof out);
    return true;
}

// Walks route attributes with the bounds of RTA_OK: every length at least the header and within what is
// left. Calls `f(type, payload)`; `f` returns false to reject the message. A trailing remainder shorter
// than an attribute header is padding.
template <typename F>
bool forEachAttribute(Bytes data, F&& f) {
    std::size_t offset = 0;
    std::size_t count = 0;
    while (data.size() - offset >= sizeof(rtattr)) {
        rtattr attribute{};
        readAt(data, offset, attribute);
        if (attribute.rta_len < sizeof(rtattr) || attribute.rta_len > data.size() - offset)
            return false;
        if (++count > kMaxAttributesPerMessage)
            return false;
        const std::size_t header = RTA_LENGTH(0);
        if (!f(static_cast<unsigned>(attribute.rta_type & NLA_TYPE_MASK),
               data.subspan(offset + header, attribute.rta_len - header)))
            return false;
        offset = std::min<std::size_t>(data.size(), offset + RTA_ALIGN(attribute.rta_len));
    }
    return true;
}

// The attributes that follow a fixed family header; false when the body is too short for the header.
template <typename Header>
bool splitBody(Bytes body, Header& header, Bytes& attributes) {
    if (!readAt(body, 0, header))
        return false;
    attributes = body.subspan(std::min<std::size_t>(body.size(), NLMSG_ALIGN(sizeof(Header))));
    return true;
}

enum class Outcome { Event, Ignored, Malformed };

Outcome parseLink(std::uint16_t type, Bytes body, std::vector<Event>& events) {
    ifinfomsg header{};
    Bytes attributes;
    if (!splitBody(body, header, attributes))
        return Outcome::Malformed;
    LinkEvent event;
    event.change = type == RTM_NEWLINK ? Change::Added : Change::Removed;
    event.index = header.ifi_index;
    event.flags = header.ifi_flags;
    const bool ok = forEachAttribute(attributes, [&](unsigned kind, Bytes payload) {
        if (kind != IFLA_IFNAME)
            return true;
        const auto* begin = reinterpret_cast<const char*>(payload.data());
        const std::size_t length = std::find(begin, begin + payload.size(), '\0') - begin;
        if (length > kMaxInterfaceNameBytes)
            return false;
        event.name.assign(begin, length);
        return true;
    });
    if (!ok || event.index <= 0)
        return Outcome::Malformed;
    events.emplace_back(std::move(event));
    return Outcome::Event;
}

Outcome parseAddress(std::uint16_t type, Bytes body, std::vector<Event>& events) {
    ifaddrmsg header{};
    Bytes attributes;
    if (!splitBody(body, header, attributes))
        return Outcome::Malformed;
    const std::size_t size = familySize(header.ifa_family);
    if (size == 0)
        return Outcome::Ignored; // other families (MPLS, bridges) say nothing about reachability
    if (header.ifa_prefixlen > size * 8 || header.ifa_index == 0 || header.ifa_index > INT_MAX)
        return Outcome::Malformed;
    AddressEvent event;
    event.change = type == RTM_NEWADDR ? Change::Added : Change::Removed;
    event.index = static_cast<int>(header.ifa_index);
    event.prefixLength = header.ifa_prefixlen;
    event.scope = header.ifa_scope;
    event.flags = header.ifa_flags;
    std::optional<IpAddress> local;
    std::optional<IpAddress> address;
    const bool ok = forEachAttribute(attributes, [&](unsigned kind, Bytes payload) {
        IpAddress value;
        switch (kind) {
        case IFA_LOCAL:
            if (!readAddress(header.ifa_family, payload, value))
                return false;
            local = value;
            return true;
        case IFA_ADDRESS:
            if (!readAddress(header.ifa_family, payload, value))
                return false;
            address = value;
            return true;
        case IFA_FLAGS:
            return readU32(payload, event.flags);
        default:
            return true;
        }
    });
    // On point-to-point links IFA_ADDRESS is the peer; the machine's own address is IFA_LOCAL.
    if (!ok || (!local && !address))
        return Outcome::Malformed;
    event.address = local ? *local : *address;
    events.emplace_back(std::move(event));
    return Outcome::Event;
}

bool parseMultipath(Bytes data, int family, std::vector<Nexthop>& nexthops) {
    std::size_t offset = 0;
    while (data.size() - offset >= sizeof(rtnexthop)) {
        rtnexthop hop{};
        readAt(data, offset, hop);
        if (hop.rtnh_len < sizeof(rtnexthop) || hop.rtnh_len > data.size() - offset)
            return false;
        if (nexthops.size() >= kMaxNexthops)
            return false;
        Nexthop nexthop;
        nexthop.index = hop.rtnh_ifindex;
        nexthop.linkDown = (hop.rtnh_flags & (RTNH_F_DEAD | RTNH_F_LINKDOWN)) != 0;
        const std::size_t header = RTNH_ALIGN(sizeof(rtnexthop));
        const Bytes nested = data.subspan(std::min<std::size_t>(offset + header, offset + hop.rtnh_len),
                                          hop.rtnh_len - std::min<std::size_t>(header, hop.rtnh_len));
        const bool ok = forEachAttribute(nested, [&](unsigned kind, Bytes payload) {
            IpAddress gateway;
            if (kind == RTA_GATEWAY) {
                if (!readAddress(family, payload, gateway))
                    return false;
                nexthop.hasGateway = true;
            } else if (kind == RTA_VIA) {
                nexthop.hasGateway = true;
            }
            return true;
        });
        if (!ok || nexthop.index < 0)
            return false;
        nexthops.push_back(nexthop);
        offset = std::min<std::size_t>(data.size(), offset + RTNH_ALIGN(hop.rtnh_len));
    }
    return true;
}

Outcome parseRoute(std::uint16_t type, Bytes body, std::vector<Event>& events) {
    rtmsg header{};
    Bytes attributes;
    if (!splitBody(body, header, attributes))
        return Outcome::Malformed;
    const std::size_t size = familySize(header.rtm_family);
    if (size == 0)
        return Outcome::Ignored;
    if (header.rtm_dst_len > size * 8)
        return Outcome::Malformed;
    RouteEvent event;
    event.change = type == RTM_NEWROUTE ? Change::Added : Change::Removed;
    event.type = header.rtm_type;
    event.destinationLength = header.rtm_dst_len;
    event.table = header.rtm_table;
    event.destination.family = header.rtm_family;
    Nexthop single;
    single.linkDown = (header.rtm_flags & (RTNH_F_DEAD | RTNH_F_LINKDOWN)) != 0;
    bool multipath = false;
    const bool ok = forEachAttribute(attributes, [&](unsigned kind, Bytes payload) {
        std::uint32_t value = 0;
        IpAddress address;
        switch (kind) {
        case RTA_DST:
            if (!readAddress(header.rtm_family, payload, address))
                return false;
            event.destination = address;
            return true;
        case RTA_OIF:
            if (!readU32(payload, value) || value > INT_MAX)
                return false;
            single.index = static_cast<int>(value);
            return true;
        case RTA_GATEWAY:
            if (!readAddress(header.rtm_family, payload, address))
                return false;
            single.hasGateway = true;
            return true;
        case RTA_VIA:
            single.hasGateway = true;
            return true;
        case RTA_PRIORITY:
            return readU32(payload, event.priority);
        case RTA_TABLE:
            return readU32(payload, event.table);
        case RTA_MULTIPATH:
            multipath = true;
            return parseMultipath(payload, header.rtm_family, event.nexthops);
        default:
            return true;
        }
    });
    if (!ok)
        return Outcome::Malformed;
    if (!multipath || event.nexthops.empty())
        event.nexthops.assign(1, single);
    events.emplace_back(std::move(event));
    return Outcome::Event;
}

} // namespace

ParseResult parseMessages(std::span<const std::uint8_t> bytes) {
    ParseResult result;
    if (bytes.size() > kMaxBatchBytes) {
        result.capReached = true;
        bytes = bytes.first(kMaxBatchBytes);
    }
    std::size_t offset = 0;
    std::size_t count = 0;
    while (offset < bytes.size()) {
        nlmsghdr header{};
        // The bounds of NLMSG_OK: a whole header, a length covering it, and no more than is left.
        if (!readAt(bytes, offset, header) || header.nlmsg_len < sizeof(nlmsghdr) ||
            header.nlmsg_len > bytes.size() - offset) {
            result.truncated = true;
            break;
        }
        if (++count > kMaxMessagesPerBatch) {
            result.capReached = true;
            break;
        }
        if (header.nlmsg_flags & NLM_F_DUMP_INTR)
            result.dumpInterrupted = true;
        const Bytes body = bytes.subspan(offset + NLMSG_HDRLEN, header.nlmsg_len - NLMSG_HDRLEN);
        Outcome outcome = Outcome::Ignored;
        switch (header.nlmsg_type) {
        case NLMSG_DONE:
            result.events.emplace_back(DoneEvent{header.nlmsg_seq});
            break;
        case NLMSG_ERROR: {
            int code = 0;
            if (!readAt(body, 0, code)) {
                outcome = Outcome::Malformed;
                break;
            }
            const int error = code < 0 ? (code == INT_MIN ? INT_MAX : -code) : code;
            result.events.emplace_back(ErrorEvent{header.nlmsg_seq, error});
            break;
        }
        case NLMSG_OVERRUN:
            result.overrun = true;
            break;
        case RTM_NEWLINK:
        case RTM_DELLINK:
            outcome = parseLink(header.nlmsg_type, body, result.events);
            break;
        case RTM_NEWADDR:
        case RTM_DELADDR:
            outcome = parseAddress(header.nlmsg_type, body, result.events);
            break;
        case RTM_NEWROUTE:
        case RTM_DELROUTE:
            outcome = parseRoute(header.nlmsg_type, body, result.events);
            break;
        default:
            break;
        }
        if (outcome == Outcome::Malformed)
            ++result.malformed;
        offset += std::min<std::size_t>(bytes.size() - offset, NLMSG_ALIGN(header.nlmsg_len));
    }
    return result;
}

} // namespace netlink

// ---- the model ----

namespace {

auto routeKey(const NetworkModel::Route& route) {
    return std::tie(route.destination, route.destinationLength, route.table, route.priority);
}

int firstIndex(const NetworkModel::Route& route) {
    return route.nexthops.empty() ? 0 : route.nexthops.front().index;
}

bool sameNexthops(const std::vector<netlink::Nexthop>& a, const std::vector<netlink::Nexthop>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
        return x.index == y.index && x.hasGateway == y.hasGateway && x.linkDown == y.linkDown;
    });
}

} // namespace

void NetworkModel::noteCap(const char* what) {
    if (!capReached_)
        Log::warning("network monitor: too many {}; further ones are ignored", what);
    capReached_ = true;
}

bool NetworkModel::apply(const netlink::Event& event) {
    if (const auto* link = std::get_if<netlink::LinkEvent>(&event))
        return applyLink(*link);
    if (const auto* address = std::get_if<netlink::AddressEvent>(&event))
        return applyAddress(*address);
    if (const auto* route = std::get_if<netlink::RouteEvent>(&event))
        return applyRoute(*route);
    return false;
}

void NetworkModel::clear() {
    links_.clear();
    addresses_.clear();
    routes_.clear();
    capReached_ = false;
}

bool NetworkModel::applyLink(const netlink::LinkEvent& event) {
    auto it = links_.find(event.index);
    bool dropRoutes = false;
    bool changed = false;
    if (event.change == netlink::Change::Removed) {
        if (it != links_.end()) {
            links_.erase(it);
            changed = true;
        }
        std::erase_if(addresses_, [&](const Address& a) { return a.index == event.index; });
        dropRoutes = true;
    } else if (it == links_.end()) {
        if (links_.size() >= kMaxLinks) {
            noteCap("interfaces");
            return false;
        }
        links_.emplace(event.index, Link{event.flags, event.name});
        changed = true;
    } else {
        // Taking a link down flushes its IPv4 routes without telling anyone; mirror that.
        dropRoutes = (it->second.flags & IFF_UP) && !(event.flags & IFF_UP);
        changed = it->second.flags != event.flags || (!event.name.empty() && it->second.name != event.name);
        it->second.flags = event.flags;
        if (!event.name.empty())
            it->second.name = event.name;
    }
    if (dropRoutes) {
        const auto before = routes_.size();
        std::erase_if(routes_, [&](const Route& r) {
            return std::all_of(r.nexthops.begin(), r.nexthops.end(),
                               [&](const netlink::Nexthop& n) { return n.index == event.index; });
        });
        changed = changed || routes_.size() != before;
    }
    return changed;
}

bool NetworkModel::applyAddress(const netlink::AddressEvent& event) {
    auto it = std::find_if(addresses_.begin(), addresses_.end(), [&](const Address& a) {
        return a.index == event.index && a.address == event.address && a.prefixLength == event.prefixLength;
    });
    if (event.change == netlink::Change::Removed) {
        if (it == addresses_.end())
            return false;
        addresses_.erase(it);
        return true;
    }
    const Address entry{event.index, event.prefixLength, event.scope, event.flags, event.address};
    if (it != addresses_.end()) {
        const bool changed = it->scope != entry.scope || it->flags != entry.flags;
        *it = entry;
        return changed;
    }
    if (addresses_.size() >= kMaxAddresses) {
        noteCap("addresses");
        return false;
    }
    addresses_.push_back(entry);
    return true;
}

bool NetworkModel::applyRoute(const netlink::RouteEvent& event) {
    const int index = firstIndex(event);
    auto matches = [&](const Route& r) {
        return routeKey(r) == routeKey(event) && (index == 0 || firstIndex(r) == index);
    };
    if (event.change == netlink::Change::Removed) {
        const auto before = routes_.size();
        std::erase_if(routes_, matches);
        return routes_.size() != before;
    }
    auto it = std::find_if(routes_.begin(), routes_.end(), [&](const Route& r) {
        return routeKey(r) == routeKey(event) && firstIndex(r) == index;
    });
    if (it != routes_.end()) {
        const bool changed = it->type != event.type || !sameNexthops(it->nexthops, event.nexthops);
        *it = event;
        it->change = netlink::Change::Added;
        return changed;
    }
    if (routes_.size() >= kMaxRoutes) {
        noteCap("routes");
        return false;
    }
    routes_.push_back(event);
    routes_.back().change = netlink::Change::Added;
    return true;
}

// ---- flags ----

namespace {

namespace rf = reachability_flags;

constexpr std::uint32_t kUnusableAddress = IFA_F_TENTATIVE | IFA_F_DADFAILED;

const NetworkModel::Link* findLink(const NetworkModel& model, int index) {
    auto it = model.links().find(index);
    return it == model.links().end() ? nullptr : &it->second;
}

bool isRunning(unsigned flags) {
    return (flags & IFF_UP) && (flags & IFF_RUNNING);
}

bool anyOutwardLinkRunning(const NetworkModel& model) {
    return std::any_of(model.links().begin(), model.links().end(), [](const auto& entry) {
        return isRunning(entry.second.flags) && !(entry.second.flags & IFF_LOOPBACK);
    });
}

// Whether the machine has an address of this family to send from.
bool hasSourceAddress(const NetworkModel& model, int family, bool linkLocalWillDo) {
    return std::any_of(
        model.addresses().begin(), model.addresses().end(), [&](const NetworkModel::Address& a) {
            if (a.address.family != family || a.address.isLoopback() || (a.flags & kUnusableAddress) ||
                a.scope == RT_SCOPE_HOST || (!linkLocalWillDo && a.address.isLinkLocal()))
                return false;
            const auto* link = findLink(model, a.index);
            return link && isRunning(link->flags) && !(link->flags & IFF_LOOPBACK);
        });
}

ReachabilityFlags routeFlags(const NetworkModel& model, const IpAddress& target) {
    struct Choice {
        const NetworkModel::Route* route = nullptr;
        const netlink::Nexthop* nexthop = nullptr;
        bool pointToPoint = false;
        bool better(const NetworkModel::Route& r) const {
            return !route || r.destinationLength > route->destinationLength ||
                   (r.destinationLength == route->destinationLength && r.priority < route->priority);
        }
    };
    Choice usable;
    Choice pending;
    const bool anyRunning = anyOutwardLinkRunning(model);
    for (const auto& route : model.routes()) {
        if (route.type != RTN_UNICAST || route.table == RT_TABLE_LOCAL ||
            !target.matchesPrefix(route.destination, route.destinationLength))
            continue;
        for (const auto& nexthop : route.nexthops) {
            const auto* link = nexthop.index ? findLink(model, nexthop.index) : nullptr;
            if (link && (link->flags & IFF_LOOPBACK))
                continue;
            // Routes over shared nexthop objects name no interface: any running one may carry them.
            const bool running = nexthop.index ? link && isRunning(link->flags) : anyRunning;
            const bool pointToPoint = link && (link->flags & IFF_POINTOPOINT);
            if (running && !nexthop.linkDown) {
                if (usable.better(route))
                    usable = Choice{&route, &nexthop, pointToPoint};
            } else if (link && pointToPoint && (link->flags & IFF_UP)) {
                if (pending.better(route))
                    pending = Choice{&route, &nexthop, true};
            }
        }
    }
    if (usable.route && hasSourceAddress(model, target.family, target.isLinkLocal())) {
        ReachabilityFlags flags = rf::kReachable;
        if (!usable.nexthop->hasGateway)
            flags |= rf::kIsDirect;
        if (usable.pointToPoint)
            flags |= rf::kTransientConnection;
        return flags;
    }
    if (pending.route)
        return rf::kReachable | rf::kConnectionRequired | rf::kTransientConnection;
    return 0;
}

bool reachableNow(ReachabilityFlags flags) {
    return (flags & rf::kReachable) && !(flags & rf::kConnectionRequired);
}

ReachabilityFlags internetFlags(const NetworkModel& model) {
    IpAddress any4;
    any4.family = AF_INET;
    IpAddress any6;
    any6.family = AF_INET6;
    const auto v4 = routeFlags(model, any4);
    if (reachableNow(v4))
        return v4;
    const auto v6 = routeFlags(model, any6);
    if (reachableNow(v6))
        return v6;
    return v4 ? v4 : v6;
}

} // namespace

ReachabilityFlags flagsFor(const NetworkModel& model, const ReachabilityTarget& target) {
    if (target.kind == ReachabilityTarget::Kind::HostName)
        return internetFlags(model);
    const IpAddress& address = target.address;
    if (address.size() == 0)
        return 0;
    if (address.isUnspecified())
        return internetFlags(model);
    constexpr ReachabilityFlags kLocal = rf::kReachable | rf::kIsLocalAddress | rf::kIsDirect;
    if (address.isLoopback()) {
        const bool loopbackUp =
            std::any_of(model.links().begin(), model.links().end(), [](const auto& entry) {
                return (entry.second.flags & IFF_LOOPBACK) && (entry.second.flags & IFF_UP);
            });
        return loopbackUp ? kLocal : 0;
    }
    for (const auto& own : model.addresses()) {
        if (own.address != address)
            continue;
        const auto* link = findLink(model, own.index);
        if (link && (link->flags & IFF_UP))
            return kLocal;
    }
    return routeFlags(model, address);
}

// ---- the monitor ----

struct NetlinkStateSource::Runtime {
    static constexpr std::size_t kReceiveBufferBytes = 64 * 1024;
    static constexpr int kDumpTimeoutMs = 3000;
    static constexpr int kDumpAttempts = 3;

    int fd = -1;
    int wakeFd = -1;
    std::uint32_t sequence = 0;
    std::vector<std::uint8_t> buffer = std::vector<std::uint8_t>(kReceiveBufferBytes);

    mutable std::mutex modelMutex;
    NetworkModel model;

    std::mutex handlersMutex;
    std::map<SubscriptionId, std::shared_ptr<std::function<void()>>> handlers;
    SubscriptionId nextId = 0;

    std::atomic<bool> stopping{false};
    std::thread thread;

    ~Runtime() {
        if (fd >= 0)
            ::close(fd);
        if (wakeFd >= 0)
            ::close(wakeFd);
    }

    enum class Read { Data, Empty, Overrun, Failed };

    // One datagram from the kernel into `result`.
    Read receive(netlink::ParseResult& result) {
        sockaddr_nl sender{};
        iovec io{buffer.data(), buffer.size()};
        msghdr message{};
        message.msg_name = &sender;
        message.msg_namelen = sizeof sender;
        message.msg_iov = &io;
        message.msg_iovlen = 1;
        ssize_t n;
        do {
            n = ::recvmsg(fd, &message, 0);
        } while (n < 0 && errno == EINTR);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return Read::Empty;
            if (errno == ENOBUFS)
                return Read::Overrun;
            Log::error("network monitor: receive failed: {}", std::strerror(errno));
            return Read::Failed;
        }
        if (message.msg_flags & MSG_TRUNC)
            return Read::Overrun;
        if (sender.nl_pid != 0) // only the kernel speaks here
            return Read::Empty;
        result = netlink::parseMessages(std::span(buffer.data(), static_cast<std::size_t>(n)));
        if (result.malformed || result.truncated)
            Log::warning("network monitor: {} unusable message(s){}", result.malformed,
                         result.truncated ? ", datagram cut short" : "");
        return result.overrun ? Read::Overrun : Read::Data;
    }

    bool waitReadable(int timeoutMs) {
        pollfd p{fd, POLLIN, 0};
        int r;
        do {
            r = ::poll(&p, 1, timeoutMs);
        } while (r < 0 && errno == EINTR);
        return r > 0 && (p.revents & POLLIN);
    }

    bool requestDump(std::uint16_t type, std::uint32_t seq) {
        // An all-zero body of the request's own header type asks for everything of both families.
        constexpr std::size_t kBodyBytes = std::max({sizeof(rtmsg), sizeof(ifinfomsg), sizeof(ifaddrmsg)});
        struct {
            nlmsghdr header;
            std::uint8_t body[kBodyBytes];
        } request{};
        request.header.nlmsg_len = NLMSG_LENGTH(type == RTM_GETROUTE  ? sizeof(rtmsg)
                                                : type == RTM_GETLINK ? sizeof(ifinfomsg)
                                                                      : sizeof(ifaddrmsg));
        request.header.nlmsg_type = type;
        request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
        request.header.nlmsg_seq = seq;
        sockaddr_nl kernel{};
        kernel.nl_family = AF_NETLINK;
        ssize_t n;
        do {
            n = ::sendto(fd, &request, request.header.nlmsg_len, 0, reinterpret_cast<sockaddr*>(&kernel),
                         sizeof kernel);
        } while (n < 0 && errno == EINTR);
        return n == static_cast<ssize_t>(request.header.nlmsg_len);
    }

    // Links, then addresses, then routes, into `fresh`. Change messages that arrive meanwhile are applied
    // in order with the dump, so nothing between the dump and the first change read is lost.
    bool dumpOnce(NetworkModel& fresh) {
        for (const std::uint16_t type : {RTM_GETLINK, RTM_GETADDR, RTM_GETROUTE}) {
            const std::uint32_t seq = ++sequence;
            if (!requestDump(type, seq)) {
                Log::error("network monitor: dump request failed: {}", std::strerror(errno));
                return false;
            }
            bool done = false;
            while (!done) {
                if (!waitReadable(kDumpTimeoutMs)) {
                    Log::error("network monitor: no answer to a dump request");
                    return false;
                }
                netlink::ParseResult result;
                const Read read = receive(result);
                if (read == Read::Empty)
                    continue;
                if (read != Read::Data || result.dumpInterrupted)
                    return false;
                for (const auto& event : result.events) {
                    fresh.apply(event);
                    if (const auto* d = std::get_if<netlink::DoneEvent>(&event); d && d->sequence == seq)
                        done = true;
                    if (const auto* e = std::get_if<netlink::ErrorEvent>(&event); e && e->sequence == seq) {
                        if (e->error != 0) {
                            Log::error("network monitor: dump refused: {}", std::strerror(e->error));
                            return false;
                        }
                        done = true;
                    }
                }
            }
        }
        return true;
    }

    bool resynchronise() {
        for (int attempt = 0; attempt < kDumpAttempts; ++attempt) {
            NetworkModel fresh;
            if (dumpOnce(fresh)) {
                std::lock_guard lock(modelMutex);
                model = std::move(fresh);
                return true;
            }
        }
        return false;
    }

    void notify() {
        std::vector<std::shared_ptr<std::function<void()>>> targets;
        {
            std::lock_guard lock(handlersMutex);
            for (const auto& entry : handlers)
                targets.push_back(entry.second);
        }
        for (const auto& handler : targets) {
            try {
                (*handler)();
            } catch (const std::exception& e) {
                Log::error("network monitor: change handler failed: {}", e.what());
            }
        }
    }

    static void run(std::shared_ptr<Runtime> self) {
        bool needResync = false;
        while (!self->stopping.load()) {
            pollfd fds[2] = {{self->fd, POLLIN, 0}, {self->wakeFd, POLLIN, 0}};
            // A failed resynchronisation is retried after a pause rather than in a tight loop.
            const int r = ::poll(fds, 2, needResync ? 1000 : -1);
            if (r < 0 && errno != EINTR) {
                Log::error("network monitor: poll failed: {}", std::strerror(errno));
                return;
            }
            if (self->stopping.load())
                return;
            bool changed = false;
            if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL) && !(fds[0].revents & POLLIN))
                needResync = true;
            while (!needResync && (fds[0].revents & POLLIN)) {
                netlink::ParseResult result;
                const Read read = self->receive(result);
                if (read == Read::Empty)
                    break;
                if (read != Read::Data) {
                    needResync = true;
                    break;
                }
                std::lock_guard lock(self->modelMutex);
                for (const auto& event : result.events)
                    changed = self->model.apply(event) || changed;
            }
            if (needResync) {
                Log::info("network monitor: reading the network state afresh");
                if (self->resynchronise()) {
                    needResync = false;
                    changed = true;
                }
            }
            if (changed)
                self->notify();
        }
    }
};

std::shared_ptr<NetlinkStateSource> NetlinkStateSource::start() {
    auto runtime = std::make_shared<Runtime>();
    runtime->fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
    if (runtime->fd < 0) {
        Log::error("network monitor: cannot open a routing socket: {}", std::strerror(errno));
        return nullptr;
    }
    const int bufferBytes = 1 << 20;
    ::setsockopt(runtime->fd, SOL_SOCKET, SO_RCVBUF, &bufferBytes, sizeof bufferBytes); // best effort
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups =
        RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR | RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_ROUTE;
    if (::bind(runtime->fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        Log::error("network monitor: cannot subscribe to routing changes: {}", std::strerror(errno));
        return nullptr;
    }
    runtime->wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (runtime->wakeFd < 0) {
        Log::error("network monitor: cannot create a wake-up channel: {}", std::strerror(errno));
        return nullptr;
    }
    if (!runtime->resynchronise())
        return nullptr;
    runtime->thread = std::thread(&Runtime::run, runtime);
    return std::make_shared<NetlinkStateSource>(std::move(runtime));
}

NetlinkStateSource::NetlinkStateSource(std::shared_ptr<Runtime> runtime) : runtime_(std::move(runtime)) {}

NetlinkStateSource::~NetlinkStateSource() {
    runtime_->stopping.store(true);
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(runtime_->wakeFd, &one, sizeof one);
    if (!runtime_->thread.joinable())
        return;
    // The last owner may be a change handler running on the monitor's own thread; the thread holds the
    // runtime itself and ends on its own then.
    if (runtime_->thread.get_id() == std::this_thread::get_id())
        runtime_->thread.detach();
    else
        runtime_->thread.join();
}

std::optional<ReachabilityFlags> NetlinkStateSource::flagsFor(const ReachabilityTarget& target) const {
    std::lock_guard lock(runtime_->modelMutex);
    return platform::flagsFor(runtime_->model, target);
}

NetworkStateSource::SubscriptionId NetlinkStateSource::subscribe(std::function<void()> onChange) {
    std::lock_guard lock(runtime_->handlersMutex);
    const auto id = ++runtime_->nextId;
    runtime_->handlers.emplace(id, std::make_shared<std::function<void()>>(std::move(onChange)));
    return id;
}

void NetlinkStateSource::unsubscribe(SubscriptionId id) {
    std::lock_guard lock(runtime_->handlersMutex);
    runtime_->handlers.erase(id);
}

NetworkModel NetlinkStateSource::snapshot() const {
    std::lock_guard lock(runtime_->modelMutex);
    return runtime_->model;
}

} // namespace tc::platform
