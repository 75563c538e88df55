// Arbitrary bytes as a routing-socket datagram: the parser must stay within them, and whatever it
// accepts must be safe to fold into the network model and to ask reachability questions of.
#include "fuzz_support.h"
#include "platform/netlink_monitor.h"

#include <cstdint>
#include <cstdlib>
#include <span>

using namespace tc;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto result = platform::netlink::parseMessages(std::span(data, size));
    if (result.events.size() > platform::netlink::kMaxMessagesPerBatch)
        std::abort();
    platform::NetworkModel model;
    for (const auto& event : result.events)
        model.apply(event);
    platform::ReachabilityTarget target;
    for (const auto& address :
         {platform::IpAddress::v4(0, 0, 0, 0), platform::IpAddress::v4(192, 0, 2, 7),
          *platform::IpAddress::fromText("2001:db8::7"), platform::IpAddress::v4(127, 0, 0, 1)}) {
        target.address = address;
        (void)platform::flagsFor(model, target);
    }
    return 0;
}
