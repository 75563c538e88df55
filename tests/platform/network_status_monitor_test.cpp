#include "platform/network_status_monitor.h"

#include "platform/dispatch.h"
#include "platform/fake_network_state_source.h"
#include "platform/notification_center.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace {

using namespace tc;
using platform::RunLoop;
using testing_support::ScopedNetworkStateSource;

namespace f = platform::reachability_flags;

TEST(NetworkStatusMonitorStatus, ReachableUnlessTheUserMustMakeTheConnection) {
    using M = NetworkStatusMonitor;
    EXPECT_EQ(M::statusForFlags(0), M::NotReachable);
    EXPECT_EQ(M::statusForFlags(f::kIsDirect), M::NotReachable);
    EXPECT_EQ(M::statusForFlags(f::kReachable), M::ReachableViaWiFi);
    EXPECT_EQ(M::statusForFlags(f::kReachable | f::kTransientConnection), M::ReachableViaWiFi);
    // A connection that must be made counts only when it is made automatically without the user.
    EXPECT_EQ(M::statusForFlags(f::kReachable | f::kConnectionRequired), M::NotReachable);
    EXPECT_EQ(M::statusForFlags(f::kReachable | f::kConnectionRequired | f::kConnectionOnTraffic),
              M::ReachableViaWiFi);
    EXPECT_EQ(M::statusForFlags(f::kReachable | f::kConnectionRequired | f::kConnectionOnDemand),
              M::ReachableViaWiFi);
    EXPECT_EQ(M::statusForFlags(f::kReachable | f::kConnectionRequired | f::kConnectionOnDemand |
                                f::kInterventionRequired),
              M::NotReachable);
}

class NetworkStatusMonitorTest : public ::testing::Test {
protected:
    void SetUp() override {
        RunLoop::main().bindToCurrentThread();
        RunLoop::main().discardPending();
        observer = platform::NotificationCenter::defaultCenter().addObserver(
            std::string(NetworkStatusMonitor::kDidChangeNotification),
            [this](const platform::Notification& n) {
                const auto* status = n.info<std::int64_t>(NetworkStatusMonitor::kStatusItem);
                posted.push_back(status ? *status : -100);
                EXPECT_FALSE(n.object.hasValue());
            });
    }
    void TearDown() override {
        platform::NotificationCenter::defaultCenter().removeObserver(observer);
        RunLoop::main().discardPending();
    }
    bool waitForPosts(std::size_t count) {
        return RunLoop::main().runUntil([&] { return posted.size() >= count; }, std::chrono::seconds(10));
    }

    ScopedNetworkStateSource network;
    std::vector<std::int64_t> posted;
    platform::ObserverId observer;
};

TEST_F(NetworkStatusMonitorTest, AFreshManagerIsUnknownAndManagersComeOnlyFromAReference) {
    EXPECT_EQ(NetworkStatusMonitor::initWithReachability(nullptr), nullptr);
    EXPECT_EQ(NetworkStatusMonitor::managerForDomain(""), nullptr);
    auto manager = NetworkStatusMonitor::managerForDomain("example.com");
    ASSERT_NE(manager, nullptr);
    EXPECT_EQ(manager->networkReachabilityStatus(), NetworkStatusMonitor::Unknown);
    EXPECT_FALSE(manager->isReachable());
    EXPECT_EQ(manager->localizedNetworkReachabilityStatusString(), "Unknown");
    EXPECT_EQ(NetworkStatusMonitor::sharedManager(), NetworkStatusMonitor::sharedManager());
}

TEST_F(NetworkStatusMonitorTest, MonitoringReportsOnTheMainQueueUntilStopped) {
    network.fake->setFlags(f::kReachable);
    auto manager = NetworkStatusMonitor::managerForDomain("example.com");
    ASSERT_NE(manager, nullptr);
    std::vector<std::int64_t> blockSaw;
    bool blockOnMain = true;
    manager->setReachabilityStatusChangeBlock([&](std::int64_t status) {
        blockSaw.push_back(status);
        blockOnMain = blockOnMain && platform::MainQueue::isMainThread();
    });
    manager->startMonitoring();

    // The first status arrives without a change.
    ASSERT_TRUE(waitForPosts(1));
    EXPECT_EQ(posted[0], NetworkStatusMonitor::ReachableViaWiFi);
    EXPECT_TRUE(manager->isReachable());
    EXPECT_TRUE(manager->isReachableViaWiFi());
    EXPECT_FALSE(manager->isReachableViaWWAN());
    EXPECT_EQ(manager->localizedNetworkReachabilityStatusString(), "Reachable via WiFi");

    network.fake->change(f::kReachable | f::kConnectionRequired);
    ASSERT_TRUE(waitForPosts(2));
    EXPECT_EQ(posted[1], NetworkStatusMonitor::NotReachable);
    EXPECT_FALSE(manager->isReachable());
    EXPECT_EQ(blockSaw, (std::vector<std::int64_t>{2, 0}));
    EXPECT_TRUE(blockOnMain);

    manager->stopMonitoring();
    network.fake->change(f::kReachable);
    RunLoop::main().runOnce();
    EXPECT_EQ(posted.size(), 2u);
    EXPECT_EQ(manager->networkReachabilityStatus(), NetworkStatusMonitor::NotReachable);
}

TEST_F(NetworkStatusMonitorTest, AReportQueuedBeforeStopIsDropped) {
    network.fake->setFlags(f::kReachable);
    auto manager = NetworkStatusMonitor::managerForDomain("example.com");
    ASSERT_NE(manager, nullptr);
    // Let the first report reach the main queue without running it, then stop.
    platform::Semaphore arrived;
    RunLoop::main().setWakeUpHandler([&] { arrived.signal(); });
    manager->startMonitoring();
    const bool queued = arrived.waitFor(std::chrono::seconds(10));
    RunLoop::main().setWakeUpHandler({});
    ASSERT_TRUE(queued);
    manager->stopMonitoring();
    RunLoop::main().runOnce();
    EXPECT_TRUE(posted.empty());
    EXPECT_EQ(manager->networkReachabilityStatus(), NetworkStatusMonitor::Unknown);
}

} // namespace
