#pragma once
// Facts about this machine and its signed-in user that travel in the login and demo-registration
// requests. Stateless: every call asks the host afresh, and every text query answers nullopt rather
// than failing.
#include <optional>
#include <string>

namespace tc {

class DeviceInfo {
public:
    // The second entry of the host's address list, whatever its family; nullopt when the list holds
    // fewer than two entries (a host with only the loopback address reports nothing).
    static std::optional<std::string> ipAddress();
    // The computer name.
    static std::optional<std::string> model();
    // "Linux " followed by the operating-system version text unchanged, e.g.
    // "Linux Version 12 (Build 6.1.0-18-amd64)".
    static std::optional<std::string> systemVersion();
    // The signed-in account's full name.
    static std::optional<std::string> userName();

    // Whether window themes may be applied. The rule exists for an application kit older than the
    // release that introduced appearances; on Linux the themes are drawn by the application itself and
    // work everywhere, so the answer is always true.
    static bool isDeviceOSGreaterThanOrEqualTo10_10();
    // The release rule on an application-kit version number: true when its whole part is at least 1343
    // (1342.9 is below, 1343.0 is not). NaN is below.
    static bool isAppKitVersionAtLeast10_10(double version);
};

} // namespace tc
