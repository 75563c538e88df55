#pragma once
// The one named notification of the core that something observes: the internet watcher's change,
// which the session follows. Everything else the core tells goes as typed events.
#include <string_view>

namespace tc {

inline constexpr std::string_view kkReachabilityChangedNotification = "kReachabilityChangedNotification";

} // namespace tc
