#pragma once
// What the main window's status line shows for a network-speed class and the server's clock. Free
// of Qt.
#include "interfaces/client.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tc::gui {

struct NetworkStatusLook {
    std::string_view speedImage;
    std::string_view connectionImage;
    std::string_view textKey;
};
// Classes 0 (fastest) to 3 (poor or lost); any other number changes nothing (nullopt).
std::optional<NetworkStatusLook> networkStatusLook(std::int64_t speedClass);
// The class that reads as no connection.
inline constexpr std::int64_t kNoConnectionClass = 3;

// What one ping changes on the status line: the look (none keeps the last one) and the server's
// clock as shown (none keeps the last one: an empty or unreadable time). A lost stream reads as no
// connection, whatever its last ping said; a server that has stopped answering as not answering.
struct NetworkStatusUpdate {
    std::optional<NetworkStatusLook> look;
    std::optional<std::string> serverTime;
};
NetworkStatusUpdate networkStatusUpdate(const interfaces::NetworkSpeed& speed, bool lost);

} // namespace tc::gui
