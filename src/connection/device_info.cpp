#include "connection/device_info.h"

#include "platform/host_info.h"

#include <cmath>

namespace tc {

namespace {

// Each query is guarded on its own: a failing host call costs only its own answer.
template <typename Query>
std::optional<std::string> guarded(Query query) {
    try {
        return query();
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace

std::optional<std::string> DeviceInfo::ipAddress() {
    return guarded([]() -> std::optional<std::string> {
        auto addresses = platform::HostInfo::addresses();
        if (addresses.size() < 2)
            return std::nullopt;
        return std::move(addresses[1]);
    });
}

std::optional<std::string> DeviceInfo::model() {
    return guarded([] { return platform::HostInfo::localizedName(); });
}

std::optional<std::string> DeviceInfo::systemVersion() {
    return guarded([]() -> std::optional<std::string> {
        auto version = platform::HostInfo::operatingSystemVersionString();
        if (!version)
            return std::nullopt;
        return "Linux " + *version;
    });
}

std::optional<std::string> DeviceInfo::userName() {
    return guarded([] { return platform::HostInfo::fullUserName(); });
}

bool DeviceInfo::isDeviceOSGreaterThanOrEqualTo10_10() {
    return true;
}

bool DeviceInfo::isAppKitVersionAtLeast10_10(double version) {
    return std::floor(version) >= 1343.0;
}

} // namespace tc
