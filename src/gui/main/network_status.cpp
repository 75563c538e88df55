#include "gui/main/network_status.h"

#include "gui/texts.h"
#include "model/records/wall_time.h"

namespace tc::gui {

std::optional<NetworkStatusLook> networkStatusLook(std::int64_t speedClass) {
    switch (speedClass) {
    case 0:
        return NetworkStatusLook{"Network_Speed_Excellent", "network-status-online", texts::kConnected};
    case 1:
        return NetworkStatusLook{"Network_Speed_Good", "network-status-online", texts::kConnected};
    case 2:
        return NetworkStatusLook{"Network_Speed_Fair", "network-status-away", texts::kConnected};
    case 3:
        return NetworkStatusLook{"Network_Speed_Poor", "network-status-offline",
                                 texts::kNoConnectionTradingServer};
    default:
        return std::nullopt;
    }
}

NetworkStatusUpdate networkStatusUpdate(const interfaces::NetworkSpeed& speed, bool lost) {
    NetworkStatusUpdate update;
    // The server's fields as it sends them, no zone of the computer's applied: an hour that zone
    // skips for daylight saving is a time like any other.
    if (const std::optional<WallTime> time = wallTimeFromWire(speed.serverTime))
        update.serverTime = wallTimeText(time, "MMM dd, yyyy HH:mm:ss");
    update.look = networkStatusLook(lost ? kNoConnectionClass : speed.speedClass);
    // A stream still up whose server answers nothing is said as such: its last class says nothing.
    if (!lost && !speed.answering)
        update.look =
            NetworkStatusLook{"Network_Speed_Poor", "network-status-offline", texts::kServerNotAnswering};
    return update;
}

} // namespace tc::gui
