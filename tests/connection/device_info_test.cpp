#include "connection/device_info.h"

#include "platform/fake_host_info.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cmath>
#include <limits>
#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace {

using namespace tc;
using testing_support::FakeHostInfoSource;
using testing_support::ScopedHostInfoSource;

std::shared_ptr<FakeHostInfoSource> fakeWithAddresses(std::vector<std::string> addresses) {
    auto fake = std::make_shared<FakeHostInfoSource>();
    fake->addressList = std::move(addresses);
    return fake;
}

bool isNumericAddress(std::string text) {
    text = text.substr(0, text.find('%'));
    unsigned char buffer[sizeof(in6_addr)];
    return inet_pton(AF_INET, text.c_str(), buffer) == 1 || inet_pton(AF_INET6, text.c_str(), buffer) == 1;
}

TEST(DeviceInfo, IpAddressIsTheSecondEntryOrNothing) {
    {
        ScopedHostInfoSource host(fakeWithAddresses({}));
        EXPECT_EQ(DeviceInfo::ipAddress(), std::nullopt);
    }
    {
        // Only the loopback address: the one entry is not reported.
        ScopedHostInfoSource host(fakeWithAddresses({"127.0.0.1"}));
        EXPECT_EQ(DeviceInfo::ipAddress(), std::nullopt);
    }
    {
        ScopedHostInfoSource host(fakeWithAddresses({"127.0.0.1", "192.168.1.5", "::1"}));
        EXPECT_EQ(DeviceInfo::ipAddress(), "192.168.1.5");
    }
    {
        // No filtering by family: whatever stands second is the answer.
        ScopedHostInfoSource host(fakeWithAddresses({"::1", "fe80::1%eth0", "10.0.0.2"}));
        EXPECT_EQ(DeviceInfo::ipAddress(), "fe80::1%eth0");
    }
    {
        ScopedHostInfoSource host(fakeWithAddresses({"::1", "10.0.0.2"}));
        EXPECT_EQ(DeviceInfo::ipAddress(), "10.0.0.2");
    }
}

TEST(DeviceInfo, SystemVersionPrefixesTheVersionTextUnchanged) {
    auto fake = std::make_shared<FakeHostInfoSource>();
    fake->version = "Version 12 (Build 6.1.0-18-amd64)";
    ScopedHostInfoSource host(fake);
    EXPECT_EQ(DeviceInfo::systemVersion(), "Linux Version 12 (Build 6.1.0-18-amd64)");

    fake->version = std::nullopt;
    EXPECT_EQ(DeviceInfo::systemVersion(), std::nullopt);
}

TEST(DeviceInfo, FailingHostAnswersNothingAndDoesNotThrow) {
    auto fake = fakeWithAddresses({"127.0.0.1", "10.0.0.2"});
    fake->name = "n";
    fake->version = "v";
    fake->user = "u";
    fake->throws = true;
    ScopedHostInfoSource host(fake);
    EXPECT_EQ(DeviceInfo::ipAddress(), std::nullopt);
    EXPECT_EQ(DeviceInfo::model(), std::nullopt);
    EXPECT_EQ(DeviceInfo::systemVersion(), std::nullopt);
    EXPECT_EQ(DeviceInfo::userName(), std::nullopt);
    EXPECT_TRUE(DeviceInfo::isDeviceOSGreaterThanOrEqualTo10_10());
}

TEST(DeviceInfo, AppKitVersionRuleComparesTheWholePart) {
    EXPECT_FALSE(DeviceInfo::isAppKitVersionAtLeast10_10(1265.0)); // 10.9
    EXPECT_FALSE(DeviceInfo::isAppKitVersionAtLeast10_10(1342.9));
    EXPECT_FALSE(DeviceInfo::isAppKitVersionAtLeast10_10(1342.999999));
    EXPECT_TRUE(DeviceInfo::isAppKitVersionAtLeast10_10(1343.0));
    EXPECT_TRUE(DeviceInfo::isAppKitVersionAtLeast10_10(1343.14));
    EXPECT_TRUE(DeviceInfo::isAppKitVersionAtLeast10_10(2022.0));
    EXPECT_FALSE(DeviceInfo::isAppKitVersionAtLeast10_10(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_FALSE(DeviceInfo::isAppKitVersionAtLeast10_10(-std::numeric_limits<double>::infinity()));
}

TEST(DeviceInfo, RealHostAnswers) {
    ScopedHostInfoSource host(nullptr); // the system source, whatever an earlier test left

    utsname system{};
    ASSERT_EQ(uname(&system), 0);
    const auto version = DeviceInfo::systemVersion();
    ASSERT_TRUE(version);
    EXPECT_EQ(version->rfind("Linux Version ", 0), 0u) << *version;
    const std::string build = std::string(" (Build ") + system.release + ")";
    ASSERT_GE(version->size(), build.size());
    EXPECT_EQ(version->substr(version->size() - build.size()), build) << *version;

    char hostname[256] = {};
    if (gethostname(hostname, sizeof hostname - 1) == 0 && hostname[0] != '\0') {
        const auto model = DeviceInfo::model();
        ASSERT_TRUE(model);
        EXPECT_FALSE(model->empty());
    }

    // Containers may run under a uid without a passwd entry; then there is no name to give.
    const passwd* account = getpwuid(getuid());
    const auto user = DeviceInfo::userName();
    EXPECT_EQ(user.has_value(), account != nullptr);
    if (user) {
        EXPECT_FALSE(user->empty());
    }

    const auto addresses = platform::HostInfo::addresses();
    const auto ip = DeviceInfo::ipAddress();
    if (addresses.size() >= 2) {
        ASSERT_TRUE(ip);
        EXPECT_TRUE(isNumericAddress(*ip)) << *ip;
    } else {
        EXPECT_FALSE(ip);
    }
}

} // namespace
