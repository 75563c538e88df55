#include "connection/reachability_notifier.h"

#include "connection/connection_notifications.h"
#include "platform/dispatch.h"
#include "platform/fake_network_state_source.h"
#include "platform/notification_center.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/un.h>

#include <atomic>
#include <chrono>
#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace tc;
using platform::RunLoop;
using testing_support::ScopedNetworkStateSource;

constexpr platform::ReachabilityFlags kTransient = 1, kReachable = 2, kConnectionRequired = 4, kOnTraffic = 8,
                                      kIntervention = 16, kOnDemand = 32, kLocal = 0x10000, kDirect = 0x20000;

class ReachabilityNotifierTest : public ::testing::Test {
protected:
    void SetUp() override {
        RunLoop::main().bindToCurrentThread();
        RunLoop::main().discardPending();
        observer = platform::NotificationCenter::defaultCenter().addObserver(
            std::string(kkReachabilityChangedNotification), [this](const platform::Notification& n) {
                const auto* object = n.objectAs<std::shared_ptr<ReachabilityNotifier>>();
                Seen seen;
                seen.object = object ? object->get() : nullptr;
                seen.reachable = object && (*object)->isReachable();
                seen.onMainThread = platform::MainQueue::isMainThread();
                seen.hasUserInfo = !n.userInfo.empty();
                notifications.push_back(seen);
            });
    }
    void TearDown() override {
        platform::NotificationCenter::defaultCenter().removeObserver(observer);
        RunLoop::main().discardPending();
    }

    // Lets the watcher's queue finish what the source handed it, then runs the main queue once: after
    // this every notification caused so far has been delivered.
    void settle(const std::shared_ptr<ReachabilityNotifier>& r) {
        if (auto queue = r->reachabilitySerialQueue())
            queue->sync([] {});
        RunLoop::main().runOnce();
    }
    bool waitForNotifications(std::size_t count) {
        return RunLoop::main().runUntil([&] { return notifications.size() >= count; },
                                        std::chrono::seconds(10));
    }

    struct Seen {
        const ReachabilityNotifier* object = nullptr;
        bool reachable = false;
        bool onMainThread = false;
        bool hasUserInfo = false;
    };
    ScopedNetworkStateSource network;
    std::vector<Seen> notifications;
    platform::ObserverId observer;
};

} // namespace

TEST(ReachabilityFlags, ReachableUnlessAConnectionMustFirstBeMadeOverATransientLink) {
    EXPECT_FALSE(ReachabilityNotifier::isReachableWithFlags(0));
    EXPECT_FALSE(ReachabilityNotifier::isReachableWithFlags(kConnectionRequired | kTransient));
    EXPECT_FALSE(ReachabilityNotifier::isReachableWithFlags(kLocal | kDirect));
    EXPECT_TRUE(ReachabilityNotifier::isReachableWithFlags(kReachable));
    EXPECT_TRUE(ReachabilityNotifier::isReachableWithFlags(kReachable | kConnectionRequired));
    EXPECT_TRUE(ReachabilityNotifier::isReachableWithFlags(kReachable | kTransient));
    EXPECT_FALSE(ReachabilityNotifier::isReachableWithFlags(kReachable | kConnectionRequired | kTransient));
    EXPECT_FALSE(ReachabilityNotifier::isReachableWithFlags(kReachable | kConnectionRequired | kTransient |
                                                            kOnDemand | kDirect));
}

TEST(ReachabilityFlags, DescriptionIsTenCharactersInTheDocumentedOrder) {
    // 'X', R, blank, then c t i C D l d.
    EXPECT_EQ(ReachabilityNotifier::flagsDescription(kReachable | kDirect), "XR ------d");
    EXPECT_EQ(ReachabilityNotifier::flagsDescription(kReachable | kDirect).size(), 10u);
    EXPECT_EQ(ReachabilityNotifier::flagsDescription(0), "X- -------");
    EXPECT_EQ(ReachabilityNotifier::flagsDescription(0xffffffffu), "XR ctiCDld");
    EXPECT_EQ(ReachabilityNotifier::flagsDescription(kConnectionRequired | kOnTraffic), "X- c--C---");
    EXPECT_EQ(ReachabilityNotifier::flagsDescription(kTransient | kIntervention | kOnDemand | kLocal),
              "X- -ti-Dl-");
}

TEST_F(ReachabilityNotifierTest, QueriesFollowTheCurrentFlags) {
    auto r = ReachabilityNotifier::reachabilityForInternetConnection();
    ASSERT_TRUE(r);
    EXPECT_TRUE(r->reachableOnWWAN());

    network.fake->setFlags(kReachable | kDirect);
    EXPECT_TRUE(r->isReachable());
    EXPECT_TRUE(r->isReachableViaWiFi());
    EXPECT_FALSE(r->isReachableViaWWAN());
    EXPECT_FALSE(r->connectionRequired());
    EXPECT_EQ(r->currentReachabilityStatus(), ReachabilityNotifier::ReachableViaWiFi);
    EXPECT_EQ(r->currentReachabilityString(), "WiFi");
    EXPECT_EQ(r->reachabilityFlags(), kReachable | kDirect);
    EXPECT_EQ(r->currentReachabilityFlags(), "XR ------d");

    // A link still to be brought up: reachable in principle, so "via Wi-Fi" holds, but not reachable now.
    network.fake->setFlags(kReachable | kConnectionRequired | kTransient);
    EXPECT_FALSE(r->isReachable());
    EXPECT_TRUE(r->isReachableViaWiFi());
    EXPECT_TRUE(r->isConnectionRequired());
    EXPECT_EQ(r->currentReachabilityStatus(), ReachabilityNotifier::NotReachable);
    EXPECT_EQ(r->currentReachabilityString(), "No Connection");

    network.fake->setFlags(kConnectionRequired | kOnTraffic);
    EXPECT_TRUE(r->isConnectionOnDemand());
    EXPECT_FALSE(r->isInterventionRequired());
    network.fake->setFlags(kOnDemand);
    EXPECT_FALSE(r->isConnectionOnDemand()); // needs the connection-required bit as well
    network.fake->setFlags(kConnectionRequired | kIntervention);
    EXPECT_TRUE(r->isInterventionRequired());
    EXPECT_FALSE(r->isConnectionOnDemand());

    // Every combination of the low bits: status is 2 exactly when reachable, never 1.
    for (platform::ReachabilityFlags f = 0; f < 64; ++f) {
        network.fake->setFlags(f);
        const auto status = r->currentReachabilityStatus();
        EXPECT_NE(status, ReachabilityNotifier::ReachableViaWWAN);
        EXPECT_EQ(status == ReachabilityNotifier::ReachableViaWiFi,
                  ReachabilityNotifier::isReachableWithFlags(f))
            << f;
        EXPECT_EQ(r->isReachableViaWiFi(), (f & kReachable) != 0) << f;
    }
}

TEST_F(ReachabilityNotifierTest, UnreadableFlagsAnswerNo) {
    auto r = ReachabilityNotifier::reachabilityForInternetConnection();
    network.fake->setFlags(std::nullopt);
    EXPECT_FALSE(r->isReachable());
    EXPECT_FALSE(r->isReachableViaWiFi());
    EXPECT_FALSE(r->connectionRequired());
    EXPECT_EQ(r->reachabilityFlags(), 0u);
    EXPECT_EQ(r->currentReachabilityStatus(), ReachabilityNotifier::NotReachable);
    EXPECT_EQ(r->currentReachabilityFlags(), "X- -------");
}

TEST_F(ReachabilityNotifierTest, ConstructorsWatchTheirTargets) {
    auto targetOf = [&](const std::shared_ptr<ReachabilityNotifier>& r) {
        r->reachabilityFlags();
        return network.fake->lastTarget();
    };
    auto internet = targetOf(ReachabilityNotifier::reachabilityForInternetConnection());
    ASSERT_TRUE(internet);
    EXPECT_EQ(internet->address, platform::IpAddress::v4(0, 0, 0, 0));

    auto local = targetOf(ReachabilityNotifier::reachabilityForLocalWiFi());
    EXPECT_EQ(local->address, platform::IpAddress::v4(169, 254, 0, 0));

    auto host = targetOf(ReachabilityNotifier::reachabilityWithHostName("trade.example.com"));
    EXPECT_EQ(host->kind, platform::ReachabilityTarget::Kind::HostName);
    EXPECT_EQ(host->hostName, "trade.example.com");
    auto literal = targetOf(ReachabilityNotifier::reachabilityWithHostname("2001:db8::1"));
    EXPECT_EQ(literal->kind, platform::ReachabilityTarget::Kind::Address);
    EXPECT_EQ(literal->address.family, AF_INET6);

    sockaddr_in6 six{};
    six.sin6_family = AF_INET6;
    six.sin6_addr.s6_addr[15] = 1;
    auto loop = targetOf(
        ReachabilityNotifier::reachabilityWithAddress(reinterpret_cast<sockaddr*>(&six), sizeof six));
    EXPECT_TRUE(loop->address.isLoopback());

    // Refused targets.
    EXPECT_FALSE(ReachabilityNotifier::reachabilityWithHostname(""));
    EXPECT_FALSE(ReachabilityNotifier::reachabilityWithHostname("bad name"));
    EXPECT_FALSE(ReachabilityNotifier::reachabilityWithHostname("evil\nhost"));
    EXPECT_FALSE(ReachabilityNotifier::reachabilityWithHostname(std::string(254, 'a')));
    EXPECT_TRUE(ReachabilityNotifier::reachabilityWithHostname(std::string(253, 'a')));
    sockaddr_un unixAddress{};
    unixAddress.sun_family = AF_UNIX;
    EXPECT_FALSE(ReachabilityNotifier::reachabilityWithAddress(reinterpret_cast<sockaddr*>(&unixAddress),
                                                               sizeof unixAddress));
    sockaddr_in four{};
    four.sin_family = AF_INET;
    EXPECT_FALSE(
        ReachabilityNotifier::reachabilityWithAddress(reinterpret_cast<sockaddr*>(&four), sizeof four - 1));
    EXPECT_FALSE(ReachabilityNotifier::reachabilityWithAddress(nullptr, 16));
    EXPECT_FALSE(ReachabilityNotifier::initWithReachabilityRef(nullptr));
}

TEST_F(ReachabilityNotifierTest, ChangesRunTheBlocksOnTheQueueAndNotifyOnTheMainThread) {
    network.fake->setFlags(kReachable);
    auto r = ReachabilityNotifier::reachabilityForInternetConnection();
    std::atomic<int> reachableRuns{0}, unreachableRuns{0};
    std::atomic<bool> blocksOnQueue{true};
    auto onQueue = [&](const std::shared_ptr<ReachabilityNotifier>& self) {
        auto queue = self->reachabilitySerialQueue();
        if (!queue || !queue->isCurrent() || queue->label() != "com.Orlathe.reachability")
            blocksOnQueue = false;
    };
    r->setReachableBlock([&](const std::shared_ptr<ReachabilityNotifier>& self) {
        onQueue(self);
        ++reachableRuns;
    });
    r->setUnreachableBlock([&](const std::shared_ptr<ReachabilityNotifier>& self) {
        onQueue(self);
        ++unreachableRuns;
    });
    ASSERT_TRUE(r->startNotifier());
    EXPECT_TRUE(r->startNotifier()); // a second start changes nothing
    EXPECT_EQ(network.fake->subscriberCount(), 1u);

    // The state found at start is reported once.
    ASSERT_TRUE(waitForNotifications(1));
    EXPECT_EQ(std::tuple(notifications[0].object, notifications[0].reachable, notifications[0].onMainThread,
                         notifications[0].hasUserInfo),
              std::tuple(r.get(), true, true, false));
    EXPECT_EQ(reachableRuns, 1);

    network.fake->change(0);
    ASSERT_TRUE(waitForNotifications(2));
    EXPECT_FALSE(notifications[1].reachable);
    EXPECT_EQ(unreachableRuns, 1);

    // Reachable but waiting for a transient link counts as unreachable, and is still announced.
    network.fake->change(kReachable | kConnectionRequired | kTransient);
    ASSERT_TRUE(waitForNotifications(3));
    EXPECT_FALSE(notifications[2].reachable);
    EXPECT_EQ(unreachableRuns, 2);
    EXPECT_EQ(reachableRuns, 1);

    // A wake-up without a change of flags says nothing.
    network.fake->fire();
    settle(r);
    EXPECT_EQ(notifications.size(), 3u);

    network.fake->change(kReachable | kDirect);
    ASSERT_TRUE(waitForNotifications(4));
    EXPECT_TRUE(notifications[3].reachable);
    EXPECT_EQ(reachableRuns, 2);
    EXPECT_TRUE(blocksOnQueue);
    r->stopNotifier();
}

TEST_F(ReachabilityNotifierTest, StoppingEndsTheNotificationsEvenThoseAlreadyQueued) {
    network.fake->setFlags(kReachable);
    auto r = ReachabilityNotifier::reachabilityForInternetConnection();
    ASSERT_TRUE(r->startNotifier());
    ASSERT_TRUE(waitForNotifications(1));

    // This change reaches the main queue but is not yet delivered when the watcher stops.
    network.fake->change(0);
    r->reachabilitySerialQueue()->sync([] {});
    r->stopNotifier();
    EXPECT_FALSE(r->reachabilitySerialQueue());
    EXPECT_EQ(network.fake->subscriberCount(), 0u);
    RunLoop::main().runOnce();
    network.fake->change(kReachable);
    RunLoop::main().runOnce();
    EXPECT_EQ(notifications.size(), 1u);

    // It may start again, and reports the state it finds.
    ASSERT_TRUE(r->startNotifier());
    ASSERT_TRUE(waitForNotifications(2));
    EXPECT_TRUE(notifications[1].reachable);
    r->stopNotifier();
}

TEST_F(ReachabilityNotifierTest, ANotifyingWatcherKeepsItselfAliveUntilStopped) {
    network.fake->setFlags(0);
    std::weak_ptr<ReachabilityNotifier> weak;
    {
        auto r = ReachabilityNotifier::reachabilityForInternetConnection();
        ASSERT_TRUE(r->startNotifier());
        weak = r;
    }
    ASSERT_TRUE(waitForNotifications(1));
    EXPECT_FALSE(notifications[0].reachable);
    auto r = weak.lock();
    ASSERT_TRUE(r);
    r->stopNotifier();
    const auto* address = r.get();
    r.reset();
    RunLoop::main().runOnce();
    EXPECT_TRUE(weak.expired()) << address;
}

TEST_F(ReachabilityNotifierTest, ABlockMayStopItsOwnWatcher) {
    network.fake->setFlags(kReachable);
    auto r = ReachabilityNotifier::reachabilityForInternetConnection();
    std::atomic<bool> stopped{false};
    r->setUnreachableBlock([&](const std::shared_ptr<ReachabilityNotifier>& self) {
        self->stopNotifier();
        stopped = true;
    });
    ASSERT_TRUE(r->startNotifier());
    ASSERT_TRUE(waitForNotifications(1));
    network.fake->change(0);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return stopped.load(); }, std::chrono::seconds(10)));
    RunLoop::main().runOnce();
    EXPECT_FALSE(r->reachabilitySerialQueue());
    EXPECT_EQ(network.fake->subscriberCount(), 0u);
    // Stopped before the change was posted: only the first state is ever announced.
    network.fake->change(kReachable);
    RunLoop::main().runOnce();
    EXPECT_EQ(notifications.size(), 1u);
}
