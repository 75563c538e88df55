#pragma once
// What the main window's status line shows for a network-speed class. Free of Qt.
#include <cstdint>
#include <optional>
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

} // namespace tc::gui
