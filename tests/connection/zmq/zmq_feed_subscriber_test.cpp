#include "connection/zmq/zmq_context.h"
#include "connection/zmq/zmq_feed_subscriber.h"
#include "connection/zmq/zmq_socket.h"
#include "zmq_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>

namespace {

using namespace tc;

using namespace std::chrono_literals;
using zmqtest::bindLoopback;
using zmqtest::contains;
using zmqtest::finishesWithin;
using zmqtest::Inbox;

class FeedTest : public ::testing::Test {
protected:
    void SetUp() override {
        context = ZMQContext::create(1);
        publisher = context->socketWithType(ZMQ_PUB);
        endpoint = bindLoopback(*publisher);
    }

    std::unique_ptr<ZMQFeedSubscriber> makeFeed(ZMQFeedSubscriber::Options options = {}) {
        options.pollTimeout = 50ms;
        return std::make_unique<ZMQFeedSubscriber>(
            context, [this](std::string text) { inbox.push(std::move(text)); },
            [this](const ZMQException& e) { failures.push(e.errorCode()); }, options);
    }

    // Subscriptions reach the publisher some time after they are made: publish until the message
    // comes through, or give up at the deadline.
    bool publishUntilReceived(ZMQSocket& pub, const std::string& message) {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (std::chrono::steady_clock::now() < deadline) {
            pub.sendData(message, 0);
            if (inbox.waitUntil([&](const auto& items) { return contains(items, message); }, 20ms))
                return true;
        }
        return false;
    }
    bool publishUntilReceived(const std::string& message) {
        return publishUntilReceived(*publisher, message);
    }

    // One publisher reaches one subscriber in order: once `marker` has arrived, every message published
    // before it has either arrived or been filtered out.
    bool publishThenMarker(const std::vector<std::string>& messages, const std::string& marker) {
        for (const auto& m : messages)
            publisher->sendData(m, 0);
        publisher->sendData(marker, 0);
        return inbox.waitUntil([&](const auto& items) { return contains(items, marker); }, 5s);
    }

    std::vector<std::shared_ptr<ZMQSocket>> openSockets(int type) const {
        auto all = context->sockets();
        std::erase_if(all, [type](const auto& s) { return s->type() != type; });
        return all;
    }

    std::shared_ptr<ZMQContext> context;
    std::shared_ptr<ZMQSocket> publisher;
    std::string endpoint;
    Inbox<std::string> inbox;
    Inbox<int> failures;
};

TEST_F(FeedTest, StandingTopicsArriveAndOthersAreFiltered) {
    auto feed = makeFeed();
    feed->connectToEndpoint(endpoint);
    // Each standing topic's subscription reaches the publisher on its own: one through is not both.
    ASSERT_TRUE(publishUntilReceived("IS;sync"));
    ASSERT_TRUE(publishUntilReceived("*#bm#*:sync"));
    ASSERT_TRUE(publishThenMarker({"GBPUSD;1.27", "*#bm#*:hello all", "MD_GBPUSD;depth"}, "IS;end"));
    const auto got = inbox.snapshot();
    EXPECT_TRUE(contains(got, "*#bm#*:hello all"));
    EXPECT_FALSE(contains(got, "GBPUSD;1.27"));
    EXPECT_FALSE(contains(got, "MD_GBPUSD;depth"));
    EXPECT_TRUE(failures.snapshot().empty());
}

TEST_F(FeedTest, SubscribeAndUnsubscribeWhileReceiving) {
    auto feed = makeFeed();
    // Given before the feed runs: applied once it does.
    ASSERT_TRUE(feed->subscribe("EURUSD"));
    feed->connectToEndpoint(endpoint);
    ASSERT_TRUE(publishUntilReceived("EURUSD;1.1000"));

    // Subscribed from another thread while the feed is receiving.
    std::thread([&feed] { feed->subscribe(ZMQFeedSubscriber::depthTopic("EURUSD")); }).join();
    EXPECT_EQ(ZMQFeedSubscriber::depthTopic("EURUSD"), "MD_EURUSD;");
    ASSERT_TRUE(publishUntilReceived("MD_EURUSD;5@1.0999"));

    feed->unsubscribe("EURUSD");
    bool priceStopped = false;
    for (int i = 0; i < 500 && !priceStopped; ++i) {
        const std::string price = "EURUSD;p" + std::to_string(i);
        ASSERT_TRUE(publishThenMarker({price}, "IS;m" + std::to_string(i)));
        priceStopped = !contains(inbox.snapshot(), price);
    }
    ASSERT_TRUE(priceStopped) << "the unsubscription never took effect";

    ASSERT_TRUE(publishThenMarker({"EURUSD;after", "MD_EURUSD;after"}, "IS;final"));
    const auto got = inbox.snapshot();
    EXPECT_FALSE(contains(got, "EURUSD;after"));
    EXPECT_TRUE(contains(got, "MD_EURUSD;after"));
}

TEST_F(FeedTest, ReconnectJoinsTheOldThreadAndStopIsPrompt) {
    auto feed = makeFeed();
    feed->connectToEndpoint(endpoint);
    ASSERT_TRUE(publishUntilReceived("IS;first"));

    auto second = context->socketWithType(ZMQ_PUB);
    const std::string secondEndpoint = bindLoopback(*second);
    feed->connectToEndpoint(secondEndpoint);
    // The old thread has ended and closed its socket before the new one started.
    auto subs = openSockets(ZMQ_SUB);
    ASSERT_EQ(subs.size(), 1u);
    EXPECT_EQ(subs[0]->endpoint(), secondEndpoint);
    EXPECT_TRUE(feed->isRunning());
    ASSERT_TRUE(publishUntilReceived(*second, "IS;second"));

    ASSERT_TRUE(finishesWithin([&feed] { feed->stop(); }));
    EXPECT_FALSE(feed->isRunning());
    EXPECT_TRUE(openSockets(ZMQ_SUB).empty());
    // Subscriptions given while stopped wait; they do not touch a socket.
    EXPECT_TRUE(feed->subscribe("EURUSD"));
}

TEST_F(FeedTest, OversizeAndNonTextFramesNeverReachTheHandler) {
    ZMQFeedSubscriber::Options options;
    options.maxMessageSize = 1024;
    auto feed = makeFeed(options);
    feed->connectToEndpoint(endpoint);
    ASSERT_TRUE(publishUntilReceived("IS;sync"));

    ASSERT_TRUE(publishThenMarker({"IS;\xff\xfe"}, "IS;after-bad-text"));
    EXPECT_FALSE(contains(inbox.snapshot(), "IS;\xff\xfe"));

    // The library drops the connection that carried the oversize frame; the feed reconnects by itself.
    publisher->sendData("IS;" + std::string(4000, 'x'), 0);
    ASSERT_TRUE(publishUntilReceived("IS;after-oversize"));
    for (const auto& text : inbox.snapshot())
        EXPECT_LE(text.size(), 1024u);
    EXPECT_TRUE(feed->isRunning());
}

TEST_F(FeedTest, RefusedEndpointLeavesNothingRunning) {
    auto feed = makeFeed();
    EXPECT_THROW(feed->connectToEndpoint("nonsense://host"), ZMQException);
    EXPECT_FALSE(feed->isRunning());
    EXPECT_TRUE(openSockets(ZMQ_SUB).empty());
    feed->connectToEndpoint(endpoint);
    EXPECT_TRUE(publishUntilReceived("IS;works"));
}

} // namespace
