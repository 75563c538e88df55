#include "connection/socket/stream_socket.h"
#include "platform/dispatch.h"
#include "socket_test_support.h"

#include <gtest/gtest.h>

#include <sys/un.h>

#include <filesystem>
#include <string>

namespace {

using namespace tc;
using namespace sockettest;

class StreamSocketListenTest : public ::testing::Test {
protected:
    std::shared_ptr<platform::SerialQueue> delegateQueue =
        std::make_shared<platform::SerialQueue>("delegate");
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();

    std::shared_ptr<StreamSocket> makeSocket() { return StreamSocket::create(recorder, delegateQueue); }

    // An echo server: every accepted socket reads lines and writes them back.
    void echoLines() {
        recorder->onAccept = [](const std::shared_ptr<StreamSocket>& s) {
            s->readDataToData(StreamSocket::LFData(), 5.0, 100);
        };
        recorder->onRead = [](const std::shared_ptr<StreamSocket>& s, const SocketData& data, long tag) {
            if (tag == 100) {
                s->writeData(data, 5.0, 100);
                s->readDataToData(StreamSocket::LFData(), 5.0, 100);
            }
        };
    }

    std::filesystem::path socketPath() {
        auto path = std::filesystem::temp_directory_path() /
                    ("tc-socket-" + std::to_string(::getpid()) + "-" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
        return path;
    }
};

TEST_F(StreamSocketListenTest, AcceptHandsOverAConnectedSocket) {
    auto server = makeSocket();
    SocketError error;
    ASSERT_TRUE(server->acceptOnInterface("127.0.0.1", 0, &error)) << error.description;
    const std::uint16_t port = server->localPort4();
    ASSERT_NE(port, 0);
    EXPECT_FALSE(server->isConnected()) << "a listening socket is started but not connected";
    EXPECT_FALSE(server->isDisconnected());
    EXPECT_FALSE(server->connectToHost("127.0.0.1", port, &error));
    EXPECT_EQ(error.description,
              "Attempting to connect while connected or accepting connections. Disconnect first.");

    int client = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(client, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);

    auto accepted = recorder->waitFor(Event::Accept, server.get());
    ASSERT_TRUE(accepted);
    ASSERT_TRUE(accepted->accepted);
    EXPECT_TRUE(accepted->accepted->isConnected());
    EXPECT_EQ(accepted->accepted->connectedHost(), "127.0.0.1");
    EXPECT_EQ(accepted->accepted->localPort(), port);

    accepted->accepted->readDataToLength(5, -1, 1);
    ASSERT_TRUE(sendAll(client, "hello"));
    auto read = recorder->waitFor(Event::Read, accepted->accepted.get());
    ASSERT_TRUE(read);
    EXPECT_EQ(text(read->data), "hello");

    server->disconnect();
    EXPECT_TRUE(recorder->waitFor(Event::Disconnect, server.get()));
    EXPECT_TRUE(accepted->accepted->isConnected()) << "closing the listener leaves accepted sockets alone";
    ::close(client);
}

TEST_F(StreamSocketListenTest, StreamSocketsTalkToEachOther) {
    echoLines();
    auto server = makeSocket();
    ASSERT_TRUE(server->acceptOnInterface("localhost", 0));
    auto client = makeSocket();
    ASSERT_TRUE(client->connectToHost("localhost", server->localPort4()));
    for (int i = 0; i < 20; ++i)
        client->writeData(bytes("line " + std::to_string(i) + "\n"), 5.0, i);
    for (int i = 0; i < 20; ++i)
        client->readDataToData(StreamSocket::LFData(), 5.0, i);
    ASSERT_TRUE(recorder->waitForCount(Event::Read, 20, client.get()));
    int i = 0;
    for (const Event& e : recorder->events()) {
        if (e.kind == Event::Read && e.socket == client.get()) {
            EXPECT_EQ(text(e.data), "line " + std::to_string(i) + "\n");
            EXPECT_EQ(e.tag, i);
            ++i;
        }
    }
}

TEST_F(StreamSocketListenTest, ListeningRefusalsComeBackAtOnce) {
    SocketError error;
    auto lonely = StreamSocket::create();
    EXPECT_FALSE(lonely->acceptOnPort(0, &error));
    EXPECT_EQ(error.description, "Attempting to accept without a delegate. Set a delegate first.");
    auto socket = makeSocket();
    EXPECT_FALSE(socket->acceptOnInterface("no-such-interface0", 0, &error));
    EXPECT_TRUE(error.isStreamSocketError(StreamSocketBadParamError));

    PlainListener taken;
    EXPECT_FALSE(socket->acceptOnInterface("127.0.0.1", taken.port(), &error));
    EXPECT_EQ(error.domain, PosixErrorDomain);
    EXPECT_EQ(error.failureReason, "Error in bind() function");
    EXPECT_TRUE(socket->isDisconnected());
}

TEST_F(StreamSocketListenTest, InterfaceDescriptions) {
    std::optional<SocketAddress> a4, a6;
    StreamSocket::getInterfaceAddress(&a4, &a6, "localhost:8080", 0);
    ASSERT_TRUE(a4 && a6);
    EXPECT_EQ(StreamSocket::hostFromAddress(*a4), "127.0.0.1");
    EXPECT_EQ(StreamSocket::portFromAddress(*a4), 8080);
    EXPECT_EQ(StreamSocket::hostFromAddress(*a6), "::1");

    StreamSocket::getInterfaceAddress(&a4, &a6, "", 99);
    ASSERT_TRUE(a4 && a6);
    EXPECT_EQ(StreamSocket::hostFromAddress(*a4), "0.0.0.0");
    EXPECT_EQ(StreamSocket::portFromAddress(*a6), 99);

    // An IPv6 literal is not mistaken for "name:port".
    StreamSocket::getInterfaceAddress(&a4, &a6, "::1", 7);
    EXPECT_FALSE(a4);
    ASSERT_TRUE(a6);
    EXPECT_EQ(StreamSocket::hostFromAddress(*a6), "::1");
    EXPECT_EQ(StreamSocket::portFromAddress(*a6), 7);

    StreamSocket::getInterfaceAddress(&a4, &a6, "lo", 7);
    ASSERT_TRUE(a4);
    EXPECT_EQ(StreamSocket::hostFromAddress(*a4), "127.0.0.1");

    // A given port wins over the one in the text; an out-of-range one is ignored.
    StreamSocket::getInterfaceAddress(&a4, &a6, "localhost:8080", 5);
    EXPECT_EQ(StreamSocket::portFromAddress(*a4), 5);
    StreamSocket::getInterfaceAddress(&a4, &a6, "localhost:99999", 0);
    EXPECT_EQ(StreamSocket::portFromAddress(*a4), 0);

    EXPECT_FALSE(StreamSocket::getInterfaceAddressFromUrl(""));
    EXPECT_FALSE(StreamSocket::getInterfaceAddressFromUrl(std::string(200, 'x')));
    auto un = StreamSocket::getInterfaceAddressFromUrl("/tmp/x.sock");
    ASSERT_TRUE(un);
    EXPECT_EQ(StreamSocket::urlFromSockaddrUN(*reinterpret_cast<const sockaddr_un*>(un->data())),
              "/tmp/x.sock");
}

TEST_F(StreamSocketListenTest, ConnectToAddressChecksTheAddress) {
    SocketError error;
    auto socket = makeSocket();
    EXPECT_FALSE(socket->connectToAddress(SocketAddress(3, 0), &error));
    EXPECT_EQ(error.description, "A valid IPv4 or IPv6 address was not given");
    auto addresses = StreamSocket::lookupHost("localhost", 1);
    ASSERT_TRUE(addresses);
    socket->setIPv6Enabled(false);
    EXPECT_FALSE(socket->connectToAddress((*addresses)[1], &error));
    EXPECT_EQ(error.description, "IPv6 has been disabled and an IPv6 address was passed.");

    PlainListener listener;
    auto target = StreamSocket::lookupHost("127.0.0.1", listener.port());
    ASSERT_TRUE(target);
    ASSERT_TRUE(socket->connectToAddress(target->front(), 5.0, &error)) << error.description;
    int peer = listener.accept();
    ASSERT_GE(peer, 0);
    auto event = recorder->waitFor(Event::Connect, socket.get());
    ASSERT_TRUE(event);
    EXPECT_EQ(event->port, listener.port());
    ::close(peer);
}

TEST_F(StreamSocketListenTest, LocalSocketEcho) {
    echoLines();
    const auto path = socketPath();
    auto server = makeSocket();
    SocketError error;
    ASSERT_TRUE(server->acceptOnUrl(path, &error)) << error.description;
    EXPECT_TRUE(std::filesystem::exists(path));

    auto client = makeSocket();
    ASSERT_TRUE(client->connectToUrl(path, 5.0, &error)) << error.description;
    auto connected = recorder->waitFor(Event::ConnectUrl, client.get());
    ASSERT_TRUE(connected);
    EXPECT_EQ(connected->url, path);
    EXPECT_EQ(client->connectedUrl(), path);
    EXPECT_EQ(recorder->count(Event::Connect), 0u) << "a local connection is not reported as host and port";

    client->writeData(bytes("ping\n"), 5.0, 1);
    client->readDataToData(StreamSocket::LFData(), 5.0, 2);
    auto echo = recorder->waitFor(Event::Read, client.get());
    ASSERT_TRUE(echo);
    EXPECT_EQ(text(echo->data), "ping\n");

    // Closing the listener leaves the file; listening again on the same path replaces it.
    server->disconnect();
    EXPECT_TRUE(std::filesystem::exists(path));
    auto again = makeSocket();
    EXPECT_TRUE(again->acceptOnUrl(path, &error)) << error.description;
    again->disconnect();
    std::filesystem::remove(path);
}

TEST_F(StreamSocketListenTest, LocalSocketRefusals) {
    SocketError error;
    auto socket = makeSocket();
    EXPECT_FALSE(socket->connectToUrl("", -1, &error));
    EXPECT_EQ(error.description, "Invalid unix domain socket url.");
    EXPECT_FALSE(socket->acceptOnUrl(std::string(300, 'p'), &error));
    EXPECT_TRUE(error.isStreamSocketError(StreamSocketBadParamError));

    // Nobody listens at the path: the connect fails after the attempt started.
    const auto path = socketPath();
    std::filesystem::remove(path);
    ASSERT_TRUE(socket->connectToUrl(path, 5.0, &error));
    auto closed = recorder->waitFor(Event::Disconnect, socket.get());
    ASSERT_TRUE(closed);
    ASSERT_TRUE(closed->error);
    EXPECT_EQ(closed->error->failureReason, "Error in connect() function");
}

} // namespace
