#include "gui/app/network_status.h"

namespace tc::gui {

std::optional<NetworkStatusLook> networkStatusLook(std::int64_t speedClass) {
    switch (speedClass) {
    case 0:
        return NetworkStatusLook{"Network_Speed_Excellent", "network-status-online", "0051"};
    case 1:
        return NetworkStatusLook{"Network_Speed_Good", "network-status-online", "0051"};
    case 2:
        return NetworkStatusLook{"Network_Speed_Fair", "network-status-away", "0051"};
    case 3:
        return NetworkStatusLook{"Network_Speed_Poor", "network-status-offline", "1007"};
    default:
        return std::nullopt;
    }
}

} // namespace tc::gui
