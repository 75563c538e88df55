#pragma once
// The session's side of network monitoring. Each change the internet watcher reports
// ("kReachabilityChangedNotification", main queue) sets the connection's network flag. When the
// network comes back after a loss while signed in, the feed and data-service sockets are made again
// and every item re-subscribed, once per return: a watcher repeating "reachable" (address or route
// changes) does not tear down sockets that never lost anything. When it goes away while the stream is
// still up, the network speed is measured again 3.5 s later from the last server date.
#include "platform/dispatch.h"
#include "platform/notification_center.h"

#include <memory>
#include <optional>

namespace tc {

class BusinessBase;

class SessionNetworkWatch {
public:
    static constexpr auto kSpeedCheckDelay = std::chrono::milliseconds(3500);

    explicit SessionNetworkWatch(BusinessBase& business, platform::NotificationCenter& center =
                                                             platform::NotificationCenter::defaultCenter());
    ~SessionNetworkWatch();
    SessionNetworkWatch(const SessionNetworkWatch&) = delete;
    SessionNetworkWatch& operator=(const SessionNetworkWatch&) = delete;

    // Main queue.
    void reachabilityChanged(bool reachable);
    // How often the sockets were made again after a return of the network.
    int resubscriptions() const { return resubscriptions_; }

private:
    BusinessBase& business_;
    std::unique_ptr<platform::Handler> observer_;
    std::optional<bool> reachable_; // unknown until the watcher's first report
    int resubscriptions_ = 0;
};

} // namespace tc
