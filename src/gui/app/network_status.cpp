#include "gui/app/network_status.h"
#include "gui/texts.h"

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

} // namespace tc::gui
