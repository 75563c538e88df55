#pragma once
// The price, depth and broadcast feed: a SUB socket owned by a thread of its own.
//
// Only the feed thread touches the socket. subscribe() and unsubscribe() may be called from any thread:
// they queue a command and wake the thread, which applies it before its next receive. The thread polls
// with a short time-out and checks a stop flag, so stop() returns promptly. Each received frame that is
// valid UTF-8 goes to the message handler on the feed thread; the owner moves it wherever it belongs.
#include "connection/zmq/zmq_exception.h"
#include "wire/request_message.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace tc {

class ZMQContext;
class ZMQSocket;

struct ZMQFeedOptions {
    std::chrono::milliseconds pollTimeout{100};
    // Larger frames make the library drop the connection (it reconnects); they never arrive.
    std::int64_t maxMessageSize = std::int64_t{1} << 20;
    std::size_t maxPendingCommands = 100000;
};

class ZMQFeedSubscriber {
public:
    // Subscribed on every connect: server messages sent over the feed, and broadcasts.
    static constexpr std::string_view kServerMessagesTopic = "IS;";
    static constexpr std::string_view kBroadcastTopic = "*#bm#*:";
    // Messages taken in one go before topic changes and stop requests are looked at again.
    static constexpr int kReceiveBatch = 256;
    // The market-depth topic of an instrument code ("MD_" code ";"); the price topic is the code itself.
    static std::string depthTopic(std::string_view code);
    static std::string tcpEndpoint(std::string_view host, int port);

    using Options = ZMQFeedOptions;
    // The text lives in a buffer the thread reuses: a handler keeps a copy of what it keeps.
    using MessageHandler = std::function<void(const std::string& text)>;
    // A library failure that ended the feed thread (never called for a stop or a terminated context).
    using FailureHandler = std::function<void(const ZMQException& error)>;

    ZMQFeedSubscriber(std::shared_ptr<ZMQContext> context, MessageHandler onMessage,
                      FailureHandler onFailure = {}, Options options = {});
    ~ZMQFeedSubscriber();
    ZMQFeedSubscriber(const ZMQFeedSubscriber&) = delete;
    ZMQFeedSubscriber& operator=(const ZMQFeedSubscriber&) = delete;

    // Stops the running feed (its thread joined, its socket closed), then opens a new SUB socket,
    // connects it, subscribes the two standing topics and starts a new feed thread. Throws ZMQException
    // when the socket cannot be made or connected; nothing runs then.
    void connectToEndpoint(const std::string& endpoint);
    void connect(std::string_view host, int port) { connectToEndpoint(tcpEndpoint(host, port)); }

    // Longest topic taken. Topics are instrument codes and their depth topics, a few bytes each; a
    // server's code of any length must not reach the library's subscription trie.
    static constexpr std::size_t kMaxTopicBytes = 128;

    // Queued for the feed thread; commands given while no feed runs wait for the next connect. false when
    // too many commands are waiting, or the topic is empty or longer than kMaxTopicBytes (logged).
    bool subscribe(std::string topic);
    bool unsubscribe(std::string topic);

    void stop();
    bool isRunning() const { return running_.load(); }

private:
    struct Command {
        bool subscribe = true;
        std::string topic;
    };
    bool queueCommand(Command command);
    void run(std::shared_ptr<ZMQSocket> socket, std::shared_ptr<ZMQSocket> monitor);
    void reconnectAfterDrop(ZMQSocket& socket, ZMQSocket& monitor);
    void applyCommands(ZMQSocket& socket);
    void wake();
    void drainWake();

    std::shared_ptr<ZMQContext> context_;
    MessageHandler onMessage_;
    FailureHandler onFailure_;
    Options options_;
    FifoQueue<Command> commands_;
    int wakeFd_ = -1;
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> running_{false};
    std::mutex controlLock_; // connect and stop
    std::thread thread_;
};

} // namespace tc
