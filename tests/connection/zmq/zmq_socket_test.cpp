#include "connection/zmq/zmq_context.h"
#include "connection/zmq/zmq_exception.h"
#include "connection/zmq/zmq_socket.h"
#include "platform/log.h"
#include "support/log_capture.h"
#include "zmq_test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace tc;

using zmqtest::bindLoopback;

// The error lines the layer logs while it lives.
struct LogCapture : testing_support::LogCapture {
    LogCapture() : testing_support::LogCapture(platform::LogLevel::Error) {}
};

TEST(ZMQContext, VersionAndPollTimeOutInMicroseconds) {
    int major = -1, minor = -1, patch = -1;
    ZMQContext::getZMQVersion(&major, &minor, &patch);
    EXPECT_EQ(major, ZMQ_VERSION_MAJOR);
    EXPECT_EQ(minor, ZMQ_VERSION_MINOR);
    EXPECT_GE(patch, 0);

    // The library waits in milliseconds: a time-out given in microseconds is rounded up, never to 0.
    EXPECT_EQ(ZMQContext::pollTimeoutMillis(-1), -1);
    EXPECT_EQ(ZMQContext::pollTimeoutMillis(0), 0);
    EXPECT_EQ(ZMQContext::pollTimeoutMillis(1), 1);
    EXPECT_EQ(ZMQContext::pollTimeoutMillis(1000), 1);
    EXPECT_EQ(ZMQContext::pollTimeoutMillis(1001), 2);
    EXPECT_EQ(ZMQContext::pollTimeoutMillis(500000), 500);
}

TEST(ZMQContext, RefusedContextRaisesWithTheLibraryErrorNumber) {
    LogCapture log;
    try {
        ZMQContext context(-1);
        FAIL() << "a negative thread count was accepted";
    } catch (const ZMQException& e) {
        EXPECT_EQ(e.errorCode(), EINVAL);
    }
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0],
              std::string("-[ZMQContext initWithIOThreads:]: *** Error creating ZMQContext: zmq_init: ") +
                  zmq_strerror(EINVAL));
}

TEST(ZMQContext, RegistryKeepsOpenSocketsAndTerminateClosesThem) {
    auto context = ZMQContext::create(1);
    auto a = context->socketWithType(ZMQ_PUB);
    auto b = context->socketWithType(ZMQ_SUB);
    EXPECT_EQ(context->sockets().size(), 2u);
    EXPECT_EQ(a->context(), context);

    b->close();
    EXPECT_TRUE(b->isClosed());
    EXPECT_EQ(b->socket(), nullptr);
    ASSERT_EQ(context->sockets().size(), 1u);
    EXPECT_EQ(context->sockets()[0], a);

    context->terminate();
    EXPECT_TRUE(context->isTerminated());
    EXPECT_EQ(context->context(), nullptr);
    EXPECT_TRUE(a->isClosed());
    EXPECT_THROW(context->socketWithType(ZMQ_REQ), ZMQException);
}

TEST(ZMQSocket, CloseTwiceClosesOnce) {
    LogCapture log;
    auto context = ZMQContext::create(1);
    auto socket = context->socketWithType(ZMQ_REQ);
    socket->close();
    EXPECT_NO_THROW(socket->close());
    EXPECT_TRUE(socket->isClosed());
    // A second zmq_close on the freed handle would have failed and been logged.
    EXPECT_TRUE(log.lines().empty());
}

TEST(ZMQSocket, RefusedEndpointRaisesWithErrorCodeAndKeepsTheEndpoint) {
    LogCapture log;
    auto context = ZMQContext::create(1);
    auto socket = context->socketWithType(ZMQ_REQ);
    try {
        socket->connectToEndpoint("nonsense://host");
        FAIL() << "the endpoint was accepted";
    } catch (const ZMQException& e) {
        EXPECT_STREQ(e.name(), "ZMQException");
        EXPECT_EQ(e.errorCode(), EPROTONOSUPPORT);
        EXPECT_EQ(e.userInfo().at("errorCode"), EPROTONOSUPPORT);
        EXPECT_EQ(e.reason(), zmq_strerror(EPROTONOSUPPORT));
    }
    EXPECT_EQ(socket->endpoint(), "nonsense://host");
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_EQ(log.lines()[0], "ZMQLogError: *** " + socket->description() +
                                  ": zmq_connect: " + zmq_strerror(EPROTONOSUPPORT));
}

TEST(ZMQSocket, ClosedSocketRaisesOnReceiveAndCountsNegativeIntoABuffer) {
    LogCapture log;
    auto context = ZMQContext::create(1);
    auto socket = context->socketWithType(ZMQ_PULL);
    socket->close();
    EXPECT_THROW(socket->receiveDataWithFlags(ZMQ_DONTWAIT), ZMQException);
    char buffer[8];
    EXPECT_LT(socket->receiveWithBuffer(buffer, sizeof buffer, ZMQ_DONTWAIT), 0);
    EXPECT_FALSE(socket->sendData("x", ZMQ_DONTWAIT));
    EXPECT_EQ(log.lines().size(), 3u);
}

TEST(ZMQSocket, FramesTravelWholeWithTheMoreFlagBetweenParts) {
    auto context = ZMQContext::create(1);
    auto server = context->socketWithType(ZMQ_PAIR);
    auto client = context->socketWithType(ZMQ_PAIR);
    const std::string endpoint = bindLoopback(*server);
    EXPECT_EQ(server->endpoint(), "tcp://127.0.0.1:*");
    ASSERT_EQ(endpoint.rfind("tcp://127.0.0.1:", 0), 0u);
    client->connectToEndpoint(endpoint);

    ASSERT_TRUE(client->sendData("first", ZMQ_SNDMORE));
    ASSERT_TRUE(client->sendData(std::string("\0bin\0", 5), 0));
    ASSERT_TRUE(client->sendData("0123456789", 0));

    EXPECT_EQ(server->receiveDataWithFlags(0), "first");
    EXPECT_TRUE(server->hasMoreDataForOption(ZMQ_RCVMORE));
    EXPECT_EQ(server->receiveDataWithFlags(0), std::string("\0bin\0", 5));
    EXPECT_FALSE(server->hasMoreDataForOption(ZMQ_RCVMORE));

    // A short buffer gets the head of the frame; the count is the frame's whole length.
    char buffer[4] = {};
    EXPECT_EQ(server->receiveWithBuffer(buffer, sizeof buffer, 0), 10);
    EXPECT_EQ(std::string(buffer, 4), "0123");
}

TEST(ZMQSocket, SubscribeAnswersWithoutRaisingAndPollItemsNeedAnItem) {
    LogCapture log;
    auto context = ZMQContext::create(1);
    auto sub = context->socketWithType(ZMQ_SUB);
    EXPECT_TRUE(sub->subscribe("EURUSD"));
    EXPECT_TRUE(sub->unsubscribe("EURUSD"));
    EXPECT_TRUE(sub->subscribeAll());
    auto req = context->socketWithType(ZMQ_REQ);
    EXPECT_FALSE(req->subscribe("EURUSD")); // not a subscriber: refused, logged, no exception
    EXPECT_EQ(log.lines().size(), 1u);
    EXPECT_THROW(req->setData("x", ZMQ_SUBSCRIBE), ZMQException);

    zmq_pollitem_t item{};
    sub->getPollItem(&item, ZMQ_POLLIN);
    EXPECT_EQ(std::tuple(item.socket, item.events, item.revents), std::tuple(sub->socket(), ZMQ_POLLIN, 0));
    EXPECT_THROW(sub->getPollItem(nullptr, ZMQ_POLLIN), std::invalid_argument);
}

} // namespace
