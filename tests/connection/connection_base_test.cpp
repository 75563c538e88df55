#include "connection/connection_base.h"
#include "support/wire_text.h"

#include "connection/zmq/zmq_context.h"
#include "connection/zmq/zmq_socket.h"
#include "platform/bundle.h"
#include "socket/socket_test_support.h"
#include "wire/envelope_opener.h"
#include "wire/login_inputdata.h"
#include "wire/message_base.h"
#include "zmq/zmq_test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <netinet/tcp.h>
#include <thread>

namespace {

using namespace tc;
using testing_support::wireText;

using namespace std::chrono_literals;
using sockettest::PlainListener;
using zmqtest::contains;
using zmqtest::Inbox;

struct Frame {
    std::string text;
    bool onNewQueue = false;
};

class FakeOwner final : public ConnectionOwner, public MessageSender {
public:
    void connectionDidReceiveMessage(std::string_view frameText) override {
        frames.push({std::string(frameText), connection && connection->delegateQueue()->isCurrent()});
    }
    bool connectionDidReceiveReply(std::string_view frameText) override {
        const bool taken = frameText.find("10=33\x03") == std::string_view::npos;
        if (taken)
            connectionDidReceiveMessage(frameText);
        return taken;
    }
    void connectionRequestFailed(const RequestMessage& request, std::string_view reason) override {
        failures.push(request.message + ": " + std::string(reason));
    }
    void connectionDidReceiveFeedMessage(const std::string& text) override { feed.push(text); }
    void connectionDidConnectStream(bool demo) override {
        events.push(demo ? "connected-demo" : "connected");
    }
    void connectionDidLoseStream(const std::optional<SocketError>&) override {
        ++losses;
        events.push("lost");
    }
    void connectionKeepAliveDue() override { events.push("keep-alive"); }
    void connectionLoginTimedOut() override { events.push("login-timed-out"); }
    bool connectionHoldReading(std::function<void()>) override { return false; }
    bool connectionSubscriptionsAllowed() const override { return subscriptionsAllowed.load(); }

    void sendMessage(RequestMessage message) override {
        if (message.isZMQ)
            connection->sendZMQRequestMessage(std::move(message));
        else
            connection->sendMessage(message.message);
    }
    std::string envelopeKey(bool initial) const override { return initial ? "initial-key" : "session-key"; }

    ConnectionBase* connection = nullptr;
    Inbox<Frame> frames;
    Inbox<std::string> feed;
    Inbox<std::string> events;
    Inbox<std::string> failures;
    std::atomic<int> losses{0};
    std::atomic<bool> subscriptionsAllowed{true};
};

class ConnectionBaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::Bundle::setResourcesRoot(TC_TEST_RESOURCES);
        loginData = std::make_shared<LoginInputData>();
        loginData->setUserName("demo");
        loginData->setPassword("demo1234");
        loginData->setIPAddress("127.0.0.1");
        loginData->setPortNo(listener.port());
        ConnectionOptions options;
        options.requester.replyTimeout = 500ms;
        options.requester.passInterval = 20ms;
        connection = ConnectionBase::Create(owner, *loginData, owner, options);
        owner.connection = connection.get();
    }
    void TearDown() override {
        connection->Shutdown();
        if (peer != -1)
            ::close(peer);
        platform::Bundle::setResourcesRoot({});
    }

    // Connects and accepts the stream; returns the server's end.
    int connectStream(bool demo = false) {
        EXPECT_EQ(connection->ConnectToServer(demo), ConnectError::None);
        peer = listener.accept();
        EXPECT_NE(peer, -1);
        EXPECT_TRUE(owner.events.waitForCount(1));
        return peer;
    }

    // Reads one whole frame (0x01 ... 0x02) from the server's end.
    std::string readFrame(int fd) {
        std::string out;
        while (out.empty() || out.back() != '\x02') {
            std::string c = sockettest::receive(fd, 1);
            if (c.empty())
                return out;
            out += c;
        }
        return out;
    }

    PlainListener listener;
    std::shared_ptr<LoginInputData> loginData;
    FakeOwner owner;
    std::shared_ptr<ConnectionBase> connection;
    int peer = -1;
};

TEST_F(ConnectionBaseTest, LoginRequestGoesOutOnConnectInTheInitialEnvelope) {
    loginData->setProductName("TradeDesk");
    loginData->setProductVersion("2.4");
    const int fd = connectStream();
    EXPECT_EQ(owner.events.snapshot().front(), "connected");

    const std::string envelope = readFrame(fd);
    ASSERT_FALSE(envelope.empty());
    const std::vector<std::string> outer =
        MessageBase::fieldsOfFrame(envelope.substr(1, envelope.size() - 2));
    ASSERT_GE(outer.size(), 2u);
    EXPECT_EQ(outer[0], "10=76");
    const auto plain = openEncryptedEnvelope(outer[1].substr(3), "initial-key");
    ASSERT_TRUE(plain.has_value());
    const std::vector<std::string> fields = MessageBase::fieldsOfFrame(plain->substr(1, plain->size() - 2));

    std::vector<int> tags;
    std::map<int, std::string> values;
    for (const auto& f : fields) {
        const auto eq = f.find('=');
        if (eq == std::string::npos)
            continue;
        tags.push_back(std::stoi(f.substr(0, eq)));
        values[tags.back()] = f.substr(eq + 1);
    }
    const std::vector<int> order = {10, 23, 18, 20, 19, 563, 114, 105, 1018, 504, 160, 21};
    EXPECT_EQ(tags, order);
    EXPECT_EQ(values[10], "32");
    EXPECT_EQ(values[23], "demo");
    EXPECT_EQ(values[18], "demo1234");
    EXPECT_EQ(values[20], "0");
    EXPECT_EQ(values[19], "1");
    EXPECT_EQ(values[563], "TradeDesk");
    EXPECT_EQ(values[114], "2.4");
    EXPECT_NE(values[1018].find('#'), std::string::npos);
    EXPECT_EQ(values[160], "AMP");
    EXPECT_EQ(values[21].size(), 14u);

    // Small requests leave at once.
    int noDelay = 0;
    connection->Socket()->performBlock([&] {
        socklen_t length = sizeof noDelay;
        ::getsockopt(connection->Socket()->socketFD(), IPPROTO_TCP, TCP_NODELAY, &noDelay, &length);
    });
    EXPECT_NE(noDelay, 0);
}

TEST_F(ConnectionBaseTest, DemoRegistrationSendsNoLoginAndItsEndIsSilent) {
    const int fd = connectStream(true);
    EXPECT_EQ(owner.events.snapshot().front(), "connected-demo");
    ::shutdown(fd, SHUT_RDWR);
    ::close(fd);
    peer = -1;
    std::this_thread::sleep_for(100ms);
    connection->delegateQueue()->sync([] {});
    EXPECT_EQ(owner.losses.load(), 0);
}

TEST_F(ConnectionBaseTest, FramesCutAcrossReadsReachTheOwnerInOrderOnTheStreamQueue) {
    const int fd = connectStream();
    readFrame(fd); // the login request
    const std::string a = MessageBase::frame(wireText("10=1<F>"));
    const std::string b = MessageBase::frame(wireText("10=2<F>17=\xc3\xa9t\xc3\xa9<F>"));
    const std::string all = a + b + MessageBase::frame(wireText("10=3<F>"));
    // Cut inside the second frame's two-byte character.
    const std::size_t cut = a.size() + b.find('\xA9');
    ASSERT_TRUE(sockettest::sendAll(fd, all.substr(0, cut)));
    ASSERT_TRUE(owner.frames.waitForCount(1));
    std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(sockettest::sendAll(fd, all.substr(cut)));
    ASSERT_TRUE(owner.frames.waitForCount(3));
    const auto frames = owner.frames.snapshot();
    EXPECT_EQ(frames[0].text, a.substr(1, a.size() - 2));
    EXPECT_EQ(frames[1].text, b.substr(1, b.size() - 2));
    for (const auto& f : frames)
        EXPECT_TRUE(f.onNewQueue);
}

TEST_F(ConnectionBaseTest, UnexpectedLossIsReportedOnceAndClearsTheNetworkFlag) {
    const int fd = connectStream();
    connection->setIsNetworkAvailable(true);
    ::close(fd);
    peer = -1;
    ASSERT_TRUE(owner.events.waitUntil([](const auto& e) { return contains(e, "lost"); }, 5s));
    connection->delegateQueue()->sync([] {});
    EXPECT_EQ(owner.losses.load(), 1);
    EXPECT_FALSE(connection->isNetworkAvailable());
    EXPECT_FALSE(connection->IsStreamConnected());
}

TEST_F(ConnectionBaseTest, ManualDisconnectIsNotALoss) {
    connectStream();
    connection->DisconnectServer();
    // Whatever was written before the close (the login request) comes first, then the end.
    std::string rest;
    for (std::string chunk; !(chunk = sockettest::receive(peer, 1)).empty();)
        rest += chunk;
    EXPECT_TRUE(rest.empty() || rest.back() == '\x02');
    char c = 0;
    EXPECT_EQ(::recv(peer, &c, 1, MSG_DONTWAIT), 0); // the end of the stream, not a time-out
    std::this_thread::sleep_for(50ms);
    connection->delegateQueue()->sync([] {});
    EXPECT_EQ(owner.losses.load(), 0);
}

// The user cancels while the connect is still on its way to the delegate queue: that connect, heard
// after the sign-out, neither sends the login nor turns the sign-out's disconnect into a loss.
TEST_F(ConnectionBaseTest, ManualDisconnectBeforeTheConnectIsHeardIsNotALoss) {
    platform::Semaphore holding;
    platform::Semaphore release;
    connection->delegateQueue()->async([&] {
        holding.signal();
        release.wait();
    });
    ASSERT_TRUE(holding.waitFor(10s));
    ASSERT_EQ(connection->ConnectToServer(false), ConnectError::None);
    peer = listener.accept();
    ASSERT_NE(peer, -1);
    // Connected once the socket says so: its news then waits behind the held delegate queue.
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!connection->IsStreamConnected() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(1ms);
    ASSERT_TRUE(connection->IsStreamConnected());
    connection->DisconnectServer();
    release.signal();
    connection->delegateQueue()->sync([] {});
    EXPECT_EQ(owner.losses.load(), 0);
    EXPECT_TRUE(owner.events.snapshot().empty());
    EXPECT_EQ(sockettest::receive(peer, 1), ""); // the end of the stream, no login request before it
}

TEST_F(ConnectionBaseTest, UnusableAddressOrPortIsRefusedBeforeConnecting) {
    for (int port : {0, -1, 65536, 1 << 20}) {
        loginData->setPortNo(port);
        EXPECT_EQ(connection->ConnectToServer(false), ConnectError::PortOutOfRange) << port;
    }
    loginData->setPortNo(listener.port());
    loginData->setIPAddress(std::nullopt);
    EXPECT_EQ(connection->ConnectToServer(false), ConnectError::NoServerAddress);
    EXPECT_FALSE(connection->IsStreamConnected());
}

class ConnectionZmqTest : public ConnectionBaseTest {
protected:
    void SetUp() override {
        ConnectionBaseTest::SetUp();
        context = ZMQContext::create(1);
    }
    void TearDown() override {
        ConnectionBaseTest::TearDown();
        context->terminate();
    }
    static int portOf(const std::string& endpoint) {
        return std::stoi(endpoint.substr(endpoint.rfind(':') + 1));
    }

    std::shared_ptr<ZMQContext> context;
};

TEST_F(ConnectionZmqTest, InstrumentTopicsCoverPricesAndDepthUnlessRefused) {
    auto publisher = context->socketWithType(ZMQ_PUB);
    const std::string endpoint = zmqtest::bindLoopback(*publisher);
    ASSERT_TRUE(connection->ConnectToZMQSubServer("127.0.0.1", portOf(endpoint)));
    connection->ProcessSubscribeAndUnsubscribeItems({"EURUSD"}, true);
    owner.subscriptionsAllowed = false;
    connection->ProcessSubscribeAndUnsubscribeItems({"USDJPY"}, true);

    // The standing topic arrives once the subscription has reached the publisher.
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    bool joined = false;
    while (!joined && std::chrono::steady_clock::now() < deadline) {
        publisher->sendData("IS;hello", 0);
        joined = owner.feed.waitUntil([](const auto& f) { return contains(f, "IS;hello"); }, 20ms);
    }
    ASSERT_TRUE(joined);
    // Our own topics reach the publisher in the order they were asked for: once the last one
    // (EURUSD's depth) lets a message through, the earlier ones do too.
    bool subscribed = false;
    const auto subscribeDeadline = std::chrono::steady_clock::now() + 10s;
    while (!subscribed && std::chrono::steady_clock::now() < subscribeDeadline) {
        publisher->sendData("MD_EURUSD;probe", 0);
        subscribed = owner.feed.waitUntil([](const auto& f) { return contains(f, "MD_EURUSD;probe"); }, 20ms);
    }
    ASSERT_TRUE(subscribed);
    for (const char* m : {"EURUSD 1.1", "MD_EURUSD;5", "GBPUSD 1.2", "USDJPY 150", "MD_USDJPY;3"})
        publisher->sendData(m, 0);
    publisher->sendData("*#bm#*:end", 0);
    ASSERT_TRUE(owner.feed.waitUntil([](const auto& f) { return contains(f, "*#bm#*:end"); }, 5s));
    const auto feed = owner.feed.snapshot();
    EXPECT_TRUE(contains(feed, "EURUSD 1.1"));
    EXPECT_TRUE(contains(feed, "MD_EURUSD;5"));
    EXPECT_FALSE(contains(feed, "GBPUSD 1.2"));
    EXPECT_FALSE(contains(feed, "USDJPY 150"));
    EXPECT_FALSE(contains(feed, "MD_USDJPY;3"));
    EXPECT_TRUE(connection->IsFeedRunning());
}

TEST_F(ConnectionZmqTest, RequestRepliesAreDeframedOnTheRequestThreadWithCarryOver) {
    auto server = context->socketWithType(ZMQ_REP);
    const std::string endpoint = zmqtest::bindLoopback(*server);
    const std::string first = MessageBase::frame(wireText("10=1024<F>151=a<F>"));
    const std::string second = MessageBase::frame(wireText("10=1024<F>151=b<F>"));
    std::thread replier([&] {
        // The second frame is cut between the two replies: its head rides on the first.
        const std::string replies[] = {first + second.substr(0, 6), second.substr(6)};
        for (const std::string& reply : replies) {
            zmq_pollitem_t item{server->socket(), 0, ZMQ_POLLIN, 0};
            if (ZMQContext::pollWithItems(&item, 1, 5'000'000) != 1)
                return;
            server->receiveDataWithFlags(0);
            server->sendData(reply, 0);
        }
    });
    ASSERT_TRUE(connection->ConnectToZMQReqServer("127.0.0.1", portOf(endpoint)));
    EXPECT_TRUE(connection->sendZMQRequestMessage(RequestMessage{"one", true, 0, 0}));
    EXPECT_TRUE(connection->sendZMQRequestMessage(RequestMessage{"two", true, 0, 0}));
    ASSERT_TRUE(owner.frames.waitForCount(2));
    replier.join();
    const auto frames = owner.frames.snapshot();
    EXPECT_EQ(frames[0].text, first.substr(1, first.size() - 2));
    EXPECT_EQ(frames[1].text, second.substr(1, second.size() - 2));
    EXPECT_FALSE(frames[0].onNewQueue);
}

TEST_F(ConnectionZmqTest, SilentDataServicePeerDoesNotHoldUpShutdown) {
    auto server = context->socketWithType(ZMQ_REP);
    const std::string endpoint = zmqtest::bindLoopback(*server);
    ASSERT_TRUE(connection->ConnectToZMQReqServer("127.0.0.1", portOf(endpoint)));
    EXPECT_TRUE(connection->sendZMQRequestMessage(RequestMessage{"unanswered", true, 0, 0}));
    // The request is out and waiting for a reply that never comes.
    zmq_pollitem_t item{server->socket(), 0, ZMQ_POLLIN, 0};
    ASSERT_EQ(ZMQContext::pollWithItems(&item, 1, 5'000'000), 1);
    EXPECT_TRUE(zmqtest::finishesWithin([&] { connection->Shutdown(); }, 3s));
    EXPECT_FALSE(connection->IsRequesterRunning());
}

} // namespace
