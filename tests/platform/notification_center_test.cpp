#include "platform/dispatch.h"
#include "platform/log.h"
#include "platform/notification_center.h"

#include "support/log_capture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace tc;
using platform::Notification;
using platform::NotificationCenter;
using platform::ObserverId;

struct Record {
    int id = 0;
};

TEST(NotificationCenter, DeliversInRegistrationOrderByName) {
    NotificationCenter center;
    std::vector<std::string> calls;
    center.addObserver("A", [&](const Notification& n) { calls.push_back("first " + n.name); });
    center.addObserver("B", [&](const Notification& n) { calls.push_back("other " + n.name); });
    center.addObserver("", [&](const Notification& n) { calls.push_back("any " + n.name); });
    center.addObserver("A", [&](const Notification& n) { calls.push_back("second " + n.name); });
    center.post("A");
    center.post("Unobserved");
    EXPECT_EQ(calls, (std::vector<std::string>{"first A", "any A", "second A", "any Unobserved"}));
}

TEST(NotificationCenter, CarriesTextsRecordsAndUserInfo) {
    NotificationCenter center;
    Record order{17};
    std::string text;
    const Record* refused = nullptr;
    std::string bulkKind;
    center.addObserver("PlaceOrderNotification", [&](const Notification& n) {
        if (auto* t = n.objectAs<std::string>())
            text = *t;
        if (auto* r = n.info<const Record*>("ValidationKey"))
            refused = *r;
    });
    center.addObserver("BulkCloseNotification", [&](const Notification& n) {
        bulkKind = n.info<std::string>("73") ? *n.info<std::string>("73") : "missing";
        EXPECT_EQ(n.info<int>("73"), nullptr); // a wrong type reads as absent
    });
    center.post("PlaceOrderNotification", "AbortModal",
                {{"ValidationKey", static_cast<const Record*>(&order)}});
    center.post("BulkCloseNotification", &order, {{"73", std::string("66")}});
    EXPECT_EQ(text, "AbortModal");
    EXPECT_EQ(refused, &order);
    EXPECT_EQ(bulkKind, "66");
}

TEST(NotificationCenter, ObjectFilterMatchesIdentityOnly) {
    NotificationCenter center;
    Record a{1}, b{2};
    auto shared = std::make_shared<Record>(Record{3});
    std::vector<int> seen;
    center.addObserver("X", &a, [&](const Notification& n) { seen.push_back((*n.objectAs<Record*>())->id); });
    center.addObserver("X", shared.get(), [&](const Notification& n) {
        seen.push_back((*n.objectAs<std::shared_ptr<Record>>())->id);
    });
    center.post("X", &a);
    center.post("X", &b);
    center.post("X");
    center.post("X", "text has no identity");
    center.post("X", shared);
    center.post("Y", &a);
    EXPECT_EQ(seen, (std::vector<int>{1, 3}));
}

TEST(NotificationCenter, RemovalDuringDeliverySkipsObserversNotYetCalled) {
    NotificationCenter center;
    std::vector<std::string> calls;
    ObserverId b, c;
    center.addObserver("N", [&](const Notification&) { calls.push_back("a"); });
    b = center.addObserver("N", [&](const Notification&) {
        calls.push_back("b");
        center.removeObserver(b); // itself
        center.removeObserver(c); // a later one
    });
    c = center.addObserver("N", [&](const Notification&) { calls.push_back("c"); });
    center.addObserver("N", [&](const Notification&) { calls.push_back("d"); });
    center.post("N");
    center.post("N");
    EXPECT_EQ(calls, (std::vector<std::string>{"a", "b", "d", "a", "d"}));
    EXPECT_EQ(center.observerCount(), 2u);
}

TEST(NotificationCenter, ObserversAddedDuringDeliveryWaitForTheNextPost) {
    NotificationCenter center;
    std::vector<std::string> calls;
    bool added = false;
    center.addObserver("N", [&](const Notification&) {
        calls.push_back("a");
        if (!added) {
            added = true;
            center.addObserver("N", [&](const Notification&) { calls.push_back("late"); });
        }
    });
    center.addObserver("N", [&](const Notification&) { calls.push_back("b"); });
    center.post("N");
    EXPECT_EQ(calls, (std::vector<std::string>{"a", "b"}));
    calls.clear();
    center.post("N");
    EXPECT_EQ(calls, (std::vector<std::string>{"a", "b", "late"}));
}

TEST(NotificationCenter, OwnersRemoveAllTheirObserversOrOneName) {
    NotificationCenter center;
    int window = 0, dialog = 0, other = 0;
    const int windowOwner = 0, dialogOwner = 0;
    center.addObserver(
        "P", [&](const Notification&) { ++window; }, &windowOwner);
    center.addObserver(
        "Q", [&](const Notification&) { ++window; }, &windowOwner);
    center.addObserver(
        "P", [&](const Notification&) { ++dialog; }, &dialogOwner);
    center.addObserver(
        "Q", [&](const Notification&) { ++dialog; }, &dialogOwner);
    center.addObserver("P", [&](const Notification&) { ++other; });
    center.removeObserver(&dialogOwner, "P");
    center.post("P");
    center.post("Q");
    EXPECT_EQ(window, 2);
    EXPECT_EQ(dialog, 1);
    center.removeObserver(&windowOwner);
    center.removeObserver(static_cast<const void*>(nullptr)); // removes nothing, not the anonymous one
    center.removeObserver(ObserverId{});
    center.post("P");
    center.post("Q");
    EXPECT_EQ(window, 2);
    EXPECT_EQ(dialog, 2);
    EXPECT_EQ(other, 2);
}

TEST(NotificationCenter, AFailingObserverIsLoggedAndOthersStillRun) {
    testing_support::LogCapture log(platform::LogLevel::Error);
    NotificationCenter center;
    int after = 0;
    center.addObserver("N", [](const Notification&) { throw std::runtime_error("table gone"); });
    center.addObserver("N", [&](const Notification&) { ++after; });
    center.post("N");
    EXPECT_EQ(after, 1);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_TRUE(log.contains("table gone"));
}

TEST(NotificationCenter, NestedPostsDeliverImmediately) {
    NotificationCenter center;
    std::vector<std::string> calls;
    center.addObserver("Outer", [&](const Notification&) {
        calls.push_back("outer in");
        center.post("Inner");
        calls.push_back("outer out");
    });
    center.addObserver("Inner", [&](const Notification&) { calls.push_back("inner"); });
    center.post("Outer");
    EXPECT_EQ(calls, (std::vector<std::string>{"outer in", "inner", "outer out"}));
}

TEST(NotificationCenter, PostsFromAnotherThreadAreDeliveredOnThatThread) {
    NotificationCenter center;
    std::thread::id deliveredOn;
    center.addObserver("N", [&](const Notification&) { deliveredOn = std::this_thread::get_id(); });
    std::thread::id posterId;
    std::thread poster([&] {
        posterId = std::this_thread::get_id();
        center.post("N");
    });
    poster.join();
    EXPECT_EQ(deliveredOn, posterId);
}

TEST(NotificationCenter, PostOnMainQueueWaitsForThePump) {
    auto& loop = platform::RunLoop::main();
    loop.bindToCurrentThread();
    loop.discardPending();
    NotificationCenter center;
    std::vector<std::string> texts;
    bool onMain = false;
    center.addObserver("NetworkSpeedNotification", [&](const Notification& n) {
        texts.push_back(*n.objectAs<std::string>());
        onMain = platform::MainQueue::isMainThread();
    });
    std::thread worker([&] {
        center.postOnMainQueue("NetworkSpeedNotification", std::string("20240101120000"));
        center.postOnMainQueue("NetworkSpeedNotification", std::string("20240101120001"));
    });
    worker.join();
    EXPECT_TRUE(texts.empty());
    EXPECT_EQ(loop.runOnce(), 2u);
    EXPECT_EQ(texts, (std::vector<std::string>{"20240101120000", "20240101120001"}));
    EXPECT_TRUE(onMain);
}

TEST(NotificationCenter, ConcurrentRegistrationAndPostingIsSafe) {
    NotificationCenter center;
    std::atomic<int> delivered{0};
    center.addObserver("N", [&](const Notification&) { ++delivered; });
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                auto id = center.addObserver(t % 2 ? "N" : "M", [](const Notification&) {});
                center.post("N");
                center.removeObserver(id);
            }
        });
    }
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(delivered.load(), 800);
    EXPECT_EQ(center.observerCount(), 1u);
}

TEST(NotificationCenter, HasObserversForTheNameOrForAll) {
    NotificationCenter center;
    EXPECT_FALSE(center.hasObservers("N"));
    auto named = center.addObserver("N", [](const Notification&) {});
    EXPECT_TRUE(center.hasObservers("N"));
    EXPECT_FALSE(center.hasObservers("M"));
    auto all = center.addObserver("", [](const Notification&) {});
    EXPECT_TRUE(center.hasObservers("M"));
    center.removeObserver(all);
    center.removeObserver(named);
    EXPECT_FALSE(center.hasObservers("N"));
}

} // namespace
