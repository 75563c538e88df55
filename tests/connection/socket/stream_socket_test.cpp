#include "connection/socket/stream_socket.h"
#include "platform/clock.h"
#include "platform/dispatch.h"
#include "socket_test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <string>
#include <tuple>

namespace {

using namespace tc;
using namespace sockettest;

class StreamSocketTest : public ::testing::Test {
protected:
    std::shared_ptr<platform::SerialQueue> delegateQueue =
        std::make_shared<platform::SerialQueue>("delegate");
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();

    std::shared_ptr<StreamSocket> makeSocket() { return StreamSocket::create(recorder, delegateQueue); }

    // Connects a new socket to the listener and returns it with the server's end of the connection.
    std::pair<std::shared_ptr<StreamSocket>, int> connected(PlainListener& listener) {
        auto socket = makeSocket();
        SocketError error;
        EXPECT_TRUE(socket->connectToHost("127.0.0.1", listener.port(), 5.0, &error)) << error.description;
        int peer = listener.accept();
        EXPECT_GE(peer, 0);
        EXPECT_TRUE(recorder->waitFor(Event::Connect, socket.get()));
        return {socket, peer};
    }

    // Everything the delegate queue was given before this call has run.
    void drainDelegateQueue() {
        delegateQueue->sync([] {});
    }
};

TEST_F(StreamSocketTest, ConnectReportsThePeerOnce) {
    PlainListener listener;
    ASSERT_TRUE(listener.ok());
    auto [socket, peer] = connected(listener);
    auto event = recorder->waitFor(Event::Connect, socket.get());
    ASSERT_TRUE(event);
    EXPECT_EQ(event->host, "127.0.0.1");
    EXPECT_EQ(event->port, listener.port());
    EXPECT_TRUE(socket->isConnected());
    EXPECT_FALSE(socket->isDisconnected());
    EXPECT_TRUE(socket->isIPv4());
    EXPECT_EQ(socket->connectedHost(), "127.0.0.1");
    EXPECT_EQ(socket->connectedPort(), listener.port());
    EXPECT_EQ(socket->localHost(), "127.0.0.1");
    EXPECT_EQ(socket->socketFD(), -1) << "raw handles are only given out on the socket queue";

    socket->disconnect();
    auto closed = recorder->waitFor(Event::Disconnect, socket.get());
    ASSERT_TRUE(closed);
    EXPECT_FALSE(closed->error) << "a requested close carries no error";
    EXPECT_TRUE(peerClosed(peer));
    socket->disconnect(); // already idle: nothing more
    drainDelegateQueue();
    EXPECT_EQ(recorder->count(Event::Connect), 1u);
    EXPECT_EQ(recorder->count(Event::Disconnect), 1u);
    ::close(peer);
}

TEST_F(StreamSocketTest, DisconnectOnAnIdleSocketSendsNothing) {
    auto socket = makeSocket();
    socket->disconnect();
    drainDelegateQueue();
    EXPECT_TRUE(recorder->events().empty());
    EXPECT_TRUE(socket->isDisconnected());
}

TEST_F(StreamSocketTest, RefusalsComeBackAtOnce) {
    SocketError error;
    auto lonely = StreamSocket::create();
    EXPECT_FALSE(lonely->connectToHost("127.0.0.1", 1, &error));
    EXPECT_TRUE(error.isStreamSocketError(StreamSocketBadConfigError));
    EXPECT_EQ(error.description, "Attempting to connect without a delegate. Set a delegate first.");

    auto noQueue = StreamSocket::create(recorder, DelegateQueue());
    EXPECT_FALSE(noQueue->connectToHost("127.0.0.1", 1, &error));
    EXPECT_EQ(error.description,
              "Attempting to connect without a delegate queue. Set a delegate queue first.");

    auto socket = makeSocket();
    EXPECT_FALSE(socket->connectToHost("", 1, &error));
    EXPECT_TRUE(error.isStreamSocketError(StreamSocketBadParamError));
    EXPECT_EQ(error.description,
              "Invalid host parameter (nil or \"\"). Should be a domain name or IP address string.");

    socket->setIPv4Enabled(false);
    socket->setIPv6Enabled(false);
    EXPECT_FALSE(socket->isIPv4Enabled());
    EXPECT_FALSE(socket->connectToHost("127.0.0.1", 1, &error));
    EXPECT_EQ(error.description,
              "Both IPv4 and IPv6 have been disabled. Must enable at least one protocol first.");

    socket->setIPv4Enabled(true);
    EXPECT_FALSE(socket->connectToHost("127.0.0.1", 1, "no-such-interface0", -1, &error));
    EXPECT_TRUE(error.isStreamSocketError(StreamSocketBadParamError));
    EXPECT_EQ(error.description,
              "Unknown interface. Specify valid interface by name (e.g. \"en1\") or IP address.");

    EXPECT_TRUE(socket->isDisconnected());
    drainDelegateQueue();
    EXPECT_TRUE(recorder->events().empty()) << "refusals never reach the delegate";
}

TEST_F(StreamSocketTest, SecondConnectFailsAndLeavesTheFirstAlone) {
    PlainListener listener;
    auto socket = makeSocket();
    ASSERT_TRUE(socket->connectToHost("127.0.0.1", listener.port()));
    SocketError error;
    EXPECT_FALSE(socket->connectToHost("127.0.0.1", listener.port(), &error));
    EXPECT_TRUE(error.isStreamSocketError(StreamSocketBadConfigError));
    EXPECT_EQ(error.description,
              "Attempting to connect while connected or accepting connections. Disconnect first.");
    int peer = listener.accept();
    ASSERT_GE(peer, 0);
    ASSERT_TRUE(recorder->waitFor(Event::Connect, socket.get()));
    EXPECT_FALSE(socket->connectToHost("127.0.0.1", listener.port(), &error))
        << "connected sockets refuse too";
    EXPECT_TRUE(socket->isConnected());
    ::close(peer);
}

TEST_F(StreamSocketTest, RefusedConnectionReportsThePosixError) {
    std::uint16_t port;
    {
        PlainListener probe;
        port = probe.port();
    } // closed: nothing listens there now
    auto socket = makeSocket();
    ASSERT_TRUE(socket->connectToHost("127.0.0.1", port));
    auto event = recorder->waitFor(Event::Disconnect, socket.get());
    ASSERT_TRUE(event);
    ASSERT_TRUE(event->error);
    EXPECT_EQ(std::tuple(event->error->domain, event->error->code, event->error->failureReason),
              std::tuple(PosixErrorDomain, ECONNREFUSED, "Error in connect() function"));
    EXPECT_EQ(recorder->count(Event::Connect), 0u);
    EXPECT_TRUE(socket->isDisconnected());
}

TEST_F(StreamSocketTest, UnresolvableHostReportsTheResolverError) {
    auto socket = makeSocket();
    ASSERT_TRUE(socket->connectToHost("no-such-host.invalid", 80));
    auto event = recorder->waitFor(Event::Disconnect, socket.get());
    ASSERT_TRUE(event);
    ASSERT_TRUE(event->error);
    EXPECT_EQ(event->error->domain, NetDBErrorDomain);
}

TEST_F(StreamSocketTest, ConnectTimeoutFiresOnlyWhileConnecting) {
    auto clock = std::make_shared<platform::ManualClock>();
    platform::ScopedClock scoped(clock);
    PlainListener listener;
    auto [socket, peer] = connected(listener); // with a 5 s connect time-out
    clock->advance(std::chrono::seconds(10));
    EXPECT_TRUE(socket->isConnected()) << "the timer ended when the connection came up";
    drainDelegateQueue();
    EXPECT_EQ(recorder->count(Event::Disconnect), 0u);
    ::close(peer);
}

TEST_F(StreamSocketTest, ConnectTimeoutClosesAnAttemptThatHangs) {
    auto clock = std::make_shared<platform::ManualClock>();
    platform::ScopedClock scoped(clock);
    // A listener whose accept queue is full drops further handshakes, so the next connect hangs.
    int full = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(full, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(::listen(full, 0), 0);
    socklen_t length = sizeof a;
    getsockname(full, reinterpret_cast<sockaddr*>(&a), &length);
    std::vector<int> fillers;
    for (int i = 0; i < 4; ++i) {
        int f = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        ::connect(f, reinterpret_cast<sockaddr*>(&a), sizeof a);
        fillers.push_back(f);
    }
    auto socket = makeSocket();
    ASSERT_TRUE(socket->connectToHost("127.0.0.1", ntohs(a.sin_port), 2.0));
    clock->advance(std::chrono::seconds(2));
    auto closed = recorder->waitFor(Event::Disconnect, socket.get());
    ASSERT_TRUE(closed);
    ASSERT_TRUE(closed->error);
    EXPECT_TRUE(closed->error->isStreamSocketError(StreamSocketConnectTimeoutError));
    EXPECT_EQ(closed->error->description, "Attempt to connect to host timed out");
    EXPECT_EQ(recorder->count(Event::Connect), 0u);
    for (int f : fillers)
        ::close(f);
    ::close(full);
}

TEST_F(StreamSocketTest, MainQueueDelegateIsCalledWhenTheRunLoopRuns) {
    auto& loop = platform::RunLoop::main();
    loop.bindToCurrentThread();
    PlainListener listener;
    auto socket = StreamSocket::create(recorder, DelegateQueue::main());
    ASSERT_TRUE(socket->connectToHost("127.0.0.1", listener.port()));
    int peer = listener.accept();
    ASSERT_GE(peer, 0);
    EXPECT_TRUE(loop.runUntil([&] { return recorder->count(Event::Connect) == 1; },
                              std::chrono::milliseconds(kHangGuard)));
    socket->disconnect();
    EXPECT_TRUE(loop.runUntil([&] { return recorder->count(Event::Disconnect) == 1; },
                              std::chrono::milliseconds(kHangGuard)));
    ::close(peer);
}

TEST_F(StreamSocketTest, LocalhostNeverAsksTheResolverAndListsIPv4First) {
    auto addresses = StreamSocket::lookupHost("localhost", 4242);
    ASSERT_TRUE(addresses);
    ASSERT_EQ(addresses->size(), 2u);
    EXPECT_TRUE(StreamSocket::isIPv4Address((*addresses)[0]));
    EXPECT_EQ(StreamSocket::hostFromAddress((*addresses)[0]), "127.0.0.1");
    EXPECT_TRUE(StreamSocket::isIPv6Address((*addresses)[1]));
    EXPECT_EQ(StreamSocket::hostFromAddress((*addresses)[1]), "::1");
    EXPECT_EQ(StreamSocket::portFromAddress((*addresses)[1]), 4242);
    auto loopback = StreamSocket::lookupHost("loopback", 1);
    ASSERT_TRUE(loopback);
    EXPECT_EQ(loopback->size(), 2u);
}

TEST_F(StreamSocketTest, LocalhostPrefersIPv4UnlessIPv6IsPreferred) {
    // One listening socket per family on the same port.
    auto server = makeSocket();
    ASSERT_TRUE(server->acceptOnInterface("localhost", 0));
    const std::uint16_t port = server->localPort4();
    ASSERT_NE(port, 0);
    EXPECT_EQ(server->localPort6(), port);

    auto v4 = makeSocket();
    ASSERT_TRUE(v4->connectToHost("localhost", port));
    auto e4 = recorder->waitFor(Event::Connect, v4.get());
    ASSERT_TRUE(e4);
    EXPECT_EQ(e4->host, "127.0.0.1");

    auto v6 = makeSocket();
    v6->setIPv4PreferredOverIPv6(false);
    ASSERT_TRUE(v6->connectToHost("localhost", port));
    auto e6 = recorder->waitFor(Event::Connect, v6.get());
    ASSERT_TRUE(e6);
    EXPECT_EQ(e6->host, "::1");
    EXPECT_TRUE(v6->isIPv6());
    EXPECT_FALSE(v6->isIPv4()) << "the losing family's descriptor is closed";

    auto only6 = makeSocket();
    only6->setIPv4Enabled(false);
    ASSERT_TRUE(only6->connectToHost("localhost", port));
    auto e = recorder->waitFor(Event::Connect, only6.get());
    ASSERT_TRUE(e);
    EXPECT_EQ(e->host, "::1");
}

TEST_F(StreamSocketTest, SecondFamilyWinsWhenTheFirstIsRefused) {
    // Only IPv6 listens; the IPv4 attempt is refused and the delayed IPv6 attempt connects.
    PlainListener listener6(AF_INET6);
    ASSERT_TRUE(listener6.ok());
    auto socket = makeSocket();
    socket->setAlternateAddressDelay(0.05);
    ASSERT_TRUE(socket->connectToHost("localhost", listener6.port()));
    int peer = listener6.accept();
    ASSERT_GE(peer, 0);
    auto event = recorder->waitFor(Event::Connect, socket.get());
    ASSERT_TRUE(event);
    EXPECT_EQ(event->host, "::1");
    drainDelegateQueue();
    EXPECT_EQ(recorder->count(Event::Connect), 1u);
    EXPECT_EQ(recorder->count(Event::Disconnect), 0u);
    ::close(peer);
}

TEST_F(StreamSocketTest, ReadAnyDeliversWhatArrivedAndLaterBytesGoToTheNextRead) {
    PlainListener listener;
    auto [socket, peer] = connected(listener);
    ASSERT_TRUE(sendAll(peer, "0123456789"));
    socket->readDataWithTimeout(-1, 1);
    auto first = recorder->waitFor(Event::Read, socket.get());
    ASSERT_TRUE(first);
    EXPECT_EQ(text(first->data), "0123456789");
    EXPECT_EQ(first->tag, 1);

    ASSERT_TRUE(sendAll(peer, "later"));
    socket->readDataWithTimeout(-1, 2);
    auto second = recorder->waitFor(Event::Read, socket.get(), 1);
    ASSERT_TRUE(second);
    EXPECT_EQ(text(second->data), "later");
    EXPECT_EQ(second->tag, 2);
    ::close(peer);
}

TEST_F(StreamSocketTest, ReadQueuedBeforeTheConnectionIsServedOnceConnected) {
    PlainListener listener;
    auto socket = makeSocket();
    socket->readDataWithTimeout(-1, 9); // not started yet: dropped
    ASSERT_TRUE(socket->connectToHost("127.0.0.1", listener.port()));
    socket->readDataWithTimeout(-1, 10); // started, not yet connected: kept
    int peer = listener.accept();
    ASSERT_GE(peer, 0);
    ASSERT_TRUE(sendAll(peer, "x"));
    auto read = recorder->waitFor(Event::Read, socket.get());
    ASSERT_TRUE(read);
    EXPECT_EQ(read->tag, 10);
    ::close(peer);
}

TEST_F(StreamSocketTest, FixedLengthReadGathersChunks) {
    PlainListener listener;
    auto [socket, peer] = connected(listener);
    socket->readDataToLength(100, -1, 5);
    ASSERT_TRUE(sendAll(peer, std::string(60, 'a')));
    auto partial = recorder->waitFor(Event::PartialRead, socket.get());
    ASSERT_TRUE(partial);
    EXPECT_EQ(partial->length, 60u);
    EXPECT_EQ(partial->tag, 5);
    ASSERT_TRUE(sendAll(peer, std::string(40, 'b') + "extra"));
    auto read = recorder->waitFor(Event::Read, socket.get());
    ASSERT_TRUE(read);
    EXPECT_EQ(text(read->data), std::string(60, 'a') + std::string(40, 'b'));
    EXPECT_EQ(recorder->count(Event::PartialRead), 1u);

    // The surplus waits for the next read.
    socket->readDataWithTimeout(-1, 6);
    auto rest = recorder->waitFor(Event::Read, socket.get(), 1);
    ASSERT_TRUE(rest);
    EXPECT_EQ(text(rest->data), "extra");
    ::close(peer);
}

TEST_F(StreamSocketTest, DelimitedReadsAcrossChunksAndLeftovers) {
    PlainListener listener;
    auto [socket, peer] = connected(listener);
    socket->readDataToData(StreamSocket::CRLFData(), -1, 1);
    ASSERT_TRUE(sendAll(peer, "ab\r\ncd"));
    auto first = recorder->waitFor(Event::Read, socket.get());
    ASSERT_TRUE(first);
    EXPECT_EQ(text(first->data), "ab\r\n");

    // "cd" stays read ahead; the terminator of the next line arrives split in two.
    socket->readDataToData(StreamSocket::CRLFData(), -1, 2);
    ASSERT_TRUE(sendAll(peer, "ef\r"));
    ASSERT_TRUE(recorder->waitFor(Event::PartialRead, socket.get()));
    ASSERT_TRUE(sendAll(peer, "\ngh"));
    auto second = recorder->waitFor(Event::Read, socket.get(), 1);
    ASSERT_TRUE(second);
    EXPECT_EQ(text(second->data), "cdef\r\n");

    // Bytes read ahead are served without waiting for the descriptor.
    socket->readDataWithTimeout(-1, 3);
    auto third = recorder->waitFor(Event::Read, socket.get(), 2);
    ASSERT_TRUE(third);
    EXPECT_EQ(text(third->data), "gh");
    ::close(peer);
}

TEST_F(StreamSocketTest, DelimitedReadPastItsMaximumClosesTheSocket) {
    PlainListener listener;
    auto [socket, peer] = connected(listener);
    socket->readDataToData(StreamSocket::CRLFData(), -1, 8, 4);
    ASSERT_TRUE(sendAll(peer, "12345678"));
    auto closed = recorder->waitFor(Event::Disconnect, socket.get());
    ASSERT_TRUE(closed);
    ASSERT_TRUE(closed->error);
    EXPECT_TRUE(closed->error->isStreamSocketError(StreamSocketReadMaxedOutError));
    EXPECT_EQ(closed->error->description, "Read operation reached set maximum length");
    EXPECT_EQ(recorder->count(Event::Read), 0u);
    ::close(peer);
}

TEST_F(StreamSocketTest, DelimitedReadWithoutMaximumStopsAtTheSocketCap) {
    PlainListener listener;
    auto [socket, peer] = connected(listener);
    socket->setReadLengthLimit(64);
    socket->readDataToData(StreamSocket::LFData(), -1, 1);
    ASSERT_TRUE(sendAll(peer, std::string(200, 'z')));
    auto closed = recorder->waitFor(Event::Disconnect, socket.get());
    ASSERT_TRUE(closed);
    ASSERT_TRUE(closed->error);
    EXPECT_TRUE(closed->error->isStreamSocketError(StreamSocketReadMaxedOutError));
    ::close(peer);
}

TEST_F(StreamSocketTest, ArgumentRulesDropBadReadsAndEmptyWrites) {
    PlainListener listener;
    auto [socket, peer] = connected(listener);
    socket->readDataToLength(0, -1, 1);                                     // zero length
    socket->readDataToData(SocketData{}, -1, 2);                            // empty terminator
    socket->readDataToData(StreamSocket::CRLFData(), -1, 1, 3);             // maximum below the terminator
    socket->readDataWithTimeout(-1, std::make_shared<SocketData>(2), 5, 4); // offset past the buffer
    socket->writeData(SocketData{}, -1, 5);
    socket->readDataWithTimeout(-1, 6);
    socket->writeData(bytes("w"), -1, 7);
    ASSERT_EQ(receive(peer, 1), "w");
    ASSERT_TRUE(sendAll(peer, "r"));
    auto read = recorder->waitFor(Event::Read, socket.get());
    ASSERT_TRUE(read);
    EXPECT_EQ(read->tag, 6);
    auto write = recorder->waitFor(Event::Write, socket.get());
    ASSERT_TRUE(write);
    EXPECT_EQ(write->tag, 7);
    drainDelegateQueue();
    EXPECT_EQ(recorder->count(Event::Read), 1u);
    EXPECT_EQ(recorder->count(Event::Write), 1u);
    ::close(peer);
}

TEST_F(StreamSocketTest, ReadIntoCallersBufferKeepsItsPrefix) {
    PlainListener listener;
    auto [socket, peer] = connected(listener);
    auto buffer = std::make_shared<SocketData>(bytes("HEAD"));
    socket->readDataToLength(3, -1, buffer, 4, 1);
    ASSERT_TRUE(sendAll(peer, "abc"));
    auto read = recorder->waitFor(Event::Read, socket.get());
    ASSERT_TRUE(read);
    EXPECT_EQ(text(read->data), "abc");
    drainDelegateQueue();
    EXPECT_EQ(text(*buffer), "HEADabc");
    ::close(peer);
}

TEST_F(StreamSocketTest, PeerCloseAfterDataDeliversTheDataFirst) {
    PlainListener listener;
    auto [socket, peer] = connected(listener);
    ASSERT_TRUE(sendAll(peer, "goodbye"));
    ::close(peer);
    socket->readDataWithTimeout(-1, 1);
    auto closed = recorder->waitFor(Event::Disconnect, socket.get());
    ASSERT_TRUE(closed);
    ASSERT_TRUE(closed->error);
    EXPECT_TRUE(closed->error->isStreamSocketError(StreamSocketClosedError));
    EXPECT_EQ(closed->error->description, "Socket closed by remote peer");
    auto events = recorder->events();
    std::string received;
    std::size_t readIndex = events.size(), closeIndex = 0;
    for (std::size_t i = 0; i < events.size(); ++i) {
        if (events[i].kind == Event::Read) {
            received += text(events[i].data);
            readIndex = std::min(readIndex, i);
        }
        if (events[i].kind == Event::Disconnect)
            closeIndex = i;
    }
    EXPECT_EQ(received, "goodbye");
    EXPECT_LT(readIndex, closeIndex);
}

TEST_F(StreamSocketTest, PeerCloseIsNoticedWithNoReadQueued) {
    PlainListener listener;
    auto [socket, peer] = connected(listener);
    socket->readDataWithTimeout(-1, 1);
    ASSERT_TRUE(sendAll(peer, "last words"));
    ASSERT_TRUE(recorder->waitFor(Event::Read, socket.get()));
    ::close(peer); // nothing is queued any more, yet the close must be seen
    auto closed = recorder->waitFor(Event::Disconnect, socket.get());
    ASSERT_TRUE(closed);
    ASSERT_TRUE(closed->error);
    EXPECT_TRUE(closed->error->isStreamSocketError(StreamSocketClosedError));
}

TEST_F(StreamSocketTest, PeerCloseMidReadReportsThePartAndCloses) {
    PlainListener listener;
    auto [socket, peer] = connected(listener);
    socket->readDataToLength(10, -1, 3);
    ASSERT_TRUE(sendAll(peer, "1234"));
    auto partial = recorder->waitFor(Event::PartialRead, socket.get());
    ASSERT_TRUE(partial);
    EXPECT_EQ(partial->length, 4u);
    ::close(peer);
    auto closed = recorder->waitFor(Event::Disconnect, socket.get());
    ASSERT_TRUE(closed);
    ASSERT_TRUE(closed->error);
    EXPECT_TRUE(closed->error->isStreamSocketError(StreamSocketClosedError));
    EXPECT_EQ(recorder->count(Event::Read), 0u) << "an unfinished read is dropped, not delivered";
    EXPECT_TRUE(socket->isDisconnected());
}

TEST_F(StreamSocketTest, HalfOpenConnectionKeepsWriting) {
    PlainListener listener;
    auto [socket, peer] = connected(listener);
    socket->setAutoDisconnectOnClosedReadStream(false);
    EXPECT_FALSE(socket->autoDisconnectOnClosedReadStream());
    ::shutdown(peer, SHUT_WR);
    socket->readDataWithTimeout(-1, 1);
    ASSERT_TRUE(recorder->waitFor(Event::CloseReadStream, socket.get()));
    socket->writeData(bytes("still here"), -1, 2);
    EXPECT_EQ(receive(peer, 10), "still here");
    EXPECT_TRUE(socket->isConnected());
    ::close(peer);
}

TEST_F(StreamSocketTest, ReadTimeoutClosesWithCode4) {
    auto clock = std::make_shared<platform::ManualClock>();
    platform::ScopedClock scoped(clock);
    PlainListener listener;
    auto [socket, peer] = connected(listener);
    socket->readDataWithTimeout(30.0, 0);
    long tag = -1;
    // Once the read is current its timer is armed.
    while (std::isnan(socket->progressOfReadReturningTag(&tag, nullptr, nullptr))) {
        std::this_thread::yield();
    }
    clock->advance(std::chrono::milliseconds(29900));
    EXPECT_TRUE(socket->isConnected());
    clock->advance(std::chrono::milliseconds(100));
    auto closed = recorder->waitFor(Event::Disconnect, socket.get());
    ASSERT_TRUE(closed);
    ASSERT_TRUE(closed->error);
    EXPECT_TRUE(closed->error->isStreamSocketError(StreamSocketReadTimeoutError));
    EXPECT_EQ(closed->error->description, "Read operation timed out");
    auto asked = recorder->waitFor(Event::ReadTimeoutAsked, socket.get());
    ASSERT_TRUE(asked);
    EXPECT_EQ(asked->port, 30) << "elapsed time reported to the delegate";
    ::close(peer);
}

TEST_F(StreamSocketTest, DelegateCanExtendAReadTimeout) {
    auto clock = std::make_shared<platform::ManualClock>();
    platform::ScopedClock scoped(clock);
    PlainListener listener;
    auto [socket, peer] = connected(listener);
    recorder->readTimeoutExtension = 5.0;
    socket->readDataWithTimeout(1.0, 8);
    while (std::isnan(socket->progressOfReadReturningTag(nullptr, nullptr, nullptr)))
        std::this_thread::yield();
    clock->advance(std::chrono::seconds(1));
    ASSERT_TRUE(recorder->waitFor(Event::ReadTimeoutAsked, socket.get()));
    ASSERT_TRUE(sendAll(peer, "in time"));
    auto read = recorder->waitFor(Event::Read, socket.get());
    ASSERT_TRUE(read);
    EXPECT_EQ(text(read->data), "in time");
    clock->advance(std::chrono::seconds(10));
    EXPECT_TRUE(socket->isConnected()) << "the finished read's timer no longer counts";
    ::close(peer);
}

TEST_F(StreamSocketTest, ManyWritesArriveInOrder) {
    PlainListener listener;
    auto [socket, peer] = connected(listener);
    std::string expected;
    constexpr int kWrites = 200;
    for (int i = 0; i < kWrites; ++i) {
        // Every tenth write is large enough to fill the socket buffers and wait for the peer.
        std::size_t size = (i % 10 == 9) ? 200000 : 1 + static_cast<std::size_t>(i);
        std::string chunk(size, static_cast<char>('A' + i % 26));
        chunk[0] = static_cast<char>(i);
        expected += chunk;
        socket->writeData(bytes(chunk), -1, i);
    }
    EXPECT_EQ(receive(peer, expected.size()), expected);
    ASSERT_TRUE(recorder->waitForCount(Event::Write, kWrites, socket.get()));
    std::vector<long> tags;
    for (const Event& e : recorder->events())
        if (e.kind == Event::Write)
            tags.push_back(e.tag);
    ASSERT_EQ(tags.size(), static_cast<std::size_t>(kWrites));
    for (int i = 0; i < kWrites; ++i)
        EXPECT_EQ(tags[static_cast<std::size_t>(i)], i);
    ::close(peer);
}

TEST_F(StreamSocketTest, WriteTimeoutClosesWithCode5) {
    auto clock = std::make_shared<platform::ManualClock>();
    platform::ScopedClock scoped(clock);
    PlainListener listener;
    auto [socket, peer] = connected(listener);
    // The peer never reads, so a write far larger than the socket buffers cannot finish.
    socket->writeData(SocketData(16u << 20, 'w'), 10.0, 3);
    while (std::isnan(socket->progressOfWriteReturningTag(nullptr, nullptr, nullptr)))
        std::this_thread::yield();
    clock->advance(std::chrono::seconds(10));
    auto closed = recorder->waitFor(Event::Disconnect, socket.get());
    ASSERT_TRUE(closed);
    ASSERT_TRUE(closed->error);
    EXPECT_TRUE(closed->error->isStreamSocketError(StreamSocketWriteTimeoutError));
    EXPECT_EQ(closed->error->description, "Write operation timed out");
    EXPECT_EQ(recorder->count(Event::Write), 0u);
    ::close(peer);
}

TEST_F(StreamSocketTest, DisconnectAfterWritingFlushesFirst) {
    PlainListener listener;
    auto [socket, peer] = connected(listener);
    std::string big(300000, 'q');
    socket->writeData(bytes(big), -1, 1);
    socket->disconnectAfterWriting();
    socket->writeData(bytes("refused"), -1, 2); // after the request: dropped
    EXPECT_EQ(receive(peer, big.size()), big);
    EXPECT_TRUE(peerClosed(peer));
    auto closed = recorder->waitFor(Event::Disconnect, socket.get());
    ASSERT_TRUE(closed);
    EXPECT_FALSE(closed->error);
    EXPECT_EQ(recorder->count(Event::Write), 1u);
    ::close(peer);
}

TEST_F(StreamSocketTest, DisconnectAfterReadingWaitsForTheQueuedRead) {
    PlainListener listener;
    auto [socket, peer] = connected(listener);
    socket->readDataToLength(3, -1, 1);
    socket->disconnectAfterReading();
    drainDelegateQueue();
    EXPECT_TRUE(socket->isConnected());
    ASSERT_TRUE(sendAll(peer, "abc"));
    auto closed = recorder->waitFor(Event::Disconnect, socket.get());
    ASSERT_TRUE(closed);
    EXPECT_FALSE(closed->error);
    auto read = recorder->waitFor(Event::Read, socket.get());
    ASSERT_TRUE(read);
    EXPECT_EQ(text(read->data), "abc");
    ::close(peer);
}

TEST_F(StreamSocketTest, DestroyedDelegateIsNotCalled) {
    PlainListener listener;
    auto [socket, peer] = connected(listener);
    std::weak_ptr<Recorder> weak = recorder;
    socket->readDataWithTimeout(-1, 1);
    drainDelegateQueue();
    recorder.reset();
    EXPECT_TRUE(weak.expired());
    ASSERT_TRUE(sendAll(peer, "nobody listens"));
    ::close(peer);
    // The socket closes on its own; the callbacks go nowhere.
    const auto deadline = std::chrono::steady_clock::now() + kHangGuard;
    while (socket->isConnected() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_FALSE(socket->isConnected());
    drainDelegateQueue();
}

TEST_F(StreamSocketTest, DestroyingAConnectedSocketClosesIt) {
    PlainListener listener;
    auto [socket, peer] = connected(listener);
    socket.reset();
    EXPECT_TRUE(peerClosed(peer));
    auto closed = recorder->waitFor(Event::Disconnect);
    ASSERT_TRUE(closed);
    EXPECT_EQ(closed->socket, nullptr) << "a socket being destroyed is not handed out";
    ::close(peer);
}

TEST_F(StreamSocketTest, ProgressDescribesTheCurrentPacket) {
    PlainListener listener;
    auto [socket, peer] = connected(listener);
    long tag = 0;
    std::size_t done = 1, total = 1;
    EXPECT_TRUE(std::isnan(socket->progressOfReadReturningTag(&tag, &done, &total)));
    EXPECT_EQ(done, 0u);
    socket->readDataToLength(8, -1, 77);
    ASSERT_TRUE(sendAll(peer, "ab"));
    ASSERT_TRUE(recorder->waitFor(Event::PartialRead, socket.get()));
    float fraction = socket->progressOfReadReturningTag(&tag, &done, &total);
    EXPECT_EQ(tag, 77);
    EXPECT_EQ(done, 2u);
    EXPECT_EQ(total, 8u);
    EXPECT_FLOAT_EQ(fraction, 0.25f);
    ::close(peer);
}

} // namespace
