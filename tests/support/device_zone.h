#pragma once
// The device's time zone set for one scope; the previous one comes back when it goes.
#include "platform/date_format.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace tc::testing_support {

struct DeviceZone {
    std::string previous = platform::deviceTimeZoneId();
    explicit DeviceZone(std::string_view id) { EXPECT_TRUE(platform::setDeviceTimeZone(id)) << id; }
    ~DeviceZone() {
        if (!platform::setDeviceTimeZone(previous))
            platform::resetDeviceTimeZone();
    }
    DeviceZone(const DeviceZone&) = delete;
    DeviceZone& operator=(const DeviceZone&) = delete;
};

} // namespace tc::testing_support
