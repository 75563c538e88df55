#pragma once
// The notifications the connection layer posts itself; the session's own are in its notification names.
#include <string_view>

namespace tc {

inline constexpr std::string_view kSendLoginRegistrationRequest = "SendLoginRegistrationRequest";
inline constexpr std::string_view kkReachabilityChangedNotification = "kReachabilityChangedNotification";

} // namespace tc
