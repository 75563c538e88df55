#include "test_server.h"

#include "account_figures.h"
#include "amp_snapshot.h"
#include "data_service.h"
#include "server_wire.h"
#include "server_zmq.h"

#include "platform/lenient.h"
#include "platform/log.h"
#include "platform/utf8.h"
#include "wire/envelope_key.h"
#include "wire/envelope_opener.h"
#include "wire/login_inputdata.h"
#include "wire/stream_deframer.h"
#include "wire/wire_fields.h"
#include "wire/wire_names.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <future>
#include <map>
#include <utility>

using namespace tc;

namespace testserver {

namespace msg = tc::wire::msg;
namespace tag = tc::wire::tag;

using platform::Log;

struct TestServer::Client {
    int fd = -1;
    std::uint64_t id = 0;
    StreamDeframer deframer{kMaxStreamFrameBytes};
    bool signedIn = false;
    std::string user;
    std::string sessionKey;
};

namespace {

using FieldMap = std::map<int, std::string>;

// Approval requests kept unanswered past this are answered at once.
constexpr std::size_t kMaxHeldApprovals = 1000; // and order requests held

// The lists in the stats keep the latest entries only, so a long simulation run does not grow them.
constexpr std::size_t kMaxStatsEntries = 10000;

template <typename T>
void appendCapped(std::vector<T>& list, T item) {
    if (list.size() >= kMaxStatsEntries)
        list.erase(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(kMaxStatsEntries / 2));
    list.push_back(std::move(item));
}

// The fields of a de-framed text (length, 0x03, body); a later occurrence of a tag wins.
FieldMap fieldsOf(std::string_view frameText) {
    FieldMap fields;
    auto it = wire::FieldIterator::overFrame(frameText);
    wire::Field f;
    while (it.next(f))
        if (f.hasValue && f.tag > 0)
            fields.insert_or_assign(f.tag, std::string(f.value));
    return fields;
}

std::string valueOr(const FieldMap& fields, int tag, std::string fallback = {}) {
    auto it = fields.find(tag);
    return it == fields.end() ? fallback : it->second;
}

int typeOf(const FieldMap& fields) {
    const std::string text = valueOr(fields, tag::kMessageType);
    int type = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), type);
    return ec == std::errc{} && end == text.data() + text.size() ? type : 0;
}

} // namespace

TestServer::TestServer(Market market)
    : registrationSlots_(addRegistrationSlots(market, kRegistrationSlots)), market_(std::move(market)),
      prices_(std::make_unique<PriceBook>(market_.instruments, 1)),
      engine_(std::make_unique<OrderEngine>(market_, *prices_, book_, clock_)),
      dataService_(std::make_unique<DataService>(market_, book_)),
      desk_(std::make_unique<ServiceDesk>(market_, *dataService_, book_, clock_)) {
    seedAccountBook(market_, book_);
}

void TestServer::deliverDesk(Client* requester, const std::vector<DeskMessage>& messages) {
    for (const DeskMessage& m : messages) {
        if (m.user.empty()) {
            if (requester && requester->fd >= 0 && requester->signedIn)
                sendSealed(*requester, m.framed, requester->sessionKey);
            continue;
        }
        for (auto& c : clients_)
            if (c->fd >= 0 && c->signedIn && c->user == m.user)
                sendSealed(*c, m.framed, c->sessionKey);
    }
}

void TestServer::sendNotice(const std::string& user, const std::string& title, const std::string& text) {
    post([this, user, title, text] { deliverDesk(nullptr, desk_->notice(user, title, text)); });
}

bool TestServer::sendMarginCall(int account) {
    if (!market_.findAccount(account))
        return false;
    post([this, account] { deliverDesk(nullptr, desk_->marginCall(account)); });
    return true;
}

void TestServer::holdApprovals(bool hold) {
    if (hold) {
        approvalsHeld_ = true;
        return;
    }
    post([this] {
        approvalsHeld_ = false;
        for (const HeldApproval& held : std::exchange(heldApprovals_, {})) {
            Client* requester = nullptr;
            for (auto& c : clients_)
                if (c->id == held.client)
                    requester = c.get();
            deliverDesk(requester, desk_->handle(held.user, held.fields));
        }
    });
}

void TestServer::holdOrders(bool hold) {
    if (hold) {
        ordersHeld_ = true;
        return;
    }
    post([this] {
        ordersHeld_ = false;
        std::vector<std::size_t> all(heldOrders_.size());
        for (std::size_t i = 0; i < all.size(); ++i)
            all[i] = i;
        answerHeld(all);
    });
}

bool TestServer::answerHeldOrders(const std::vector<std::size_t>& places,
                                  const std::vector<HeldAnswer>& answers) {
    auto taken = std::make_shared<std::promise<bool>>();
    std::future<bool> done = taken->get_future();
    post([this, places, answers, taken] {
        std::vector<bool> named(heldOrders_.size());
        for (const std::size_t place : places) {
            if (place >= named.size() || named[place]) {
                taken->set_value(false);
                return;
            }
            named[place] = true;
        }
        answerHeld(places, answers);
        taken->set_value(true);
    });
    return done.wait_for(std::chrono::seconds(30)) == std::future_status::ready && done.get();
}

void TestServer::answerHeld(const std::vector<std::size_t>& places, const std::vector<HeldAnswer>& answers) {
    std::vector<HeldOrder> kept;
    std::vector<HeldOrder> answered;
    for (const std::size_t place : places)
        answered.push_back(heldOrders_[place]);
    for (std::size_t i = 0; i < heldOrders_.size(); ++i)
        if (std::find(places.begin(), places.end(), i) == places.end())
            kept.push_back(std::move(heldOrders_[i]));
    heldOrders_ = std::move(kept);
    updateStats([&](ServerStats& st) { st.heldOrderRequests = static_cast<int>(heldOrders_.size()); });
    for (std::size_t i = 0; i < answered.size(); ++i) {
        const HeldOrder& held = answered[i];
        const HeldAnswer answer = i < answers.size() ? answers[i] : HeldAnswer::AsItStands;
        ForcedRefusal forced;
        forced.atExchange = answer == HeldAnswer::ExchangeRejection;
        forced.code = answer == HeldAnswer::QuantityRefused  ? kRejectQuantity
                      : answer == HeldAnswer::NoLongerExists ? kRejectUnknownOrder
                                                             : 0;
        // The markets close for this answer alone; those closed before stay closed.
        std::vector<std::size_t> closed;
        if (answer == HeldAnswer::MarketClosed)
            for (std::size_t m = 0; m < market_.instruments.size(); ++m)
                if (engine_->marketOpen(m)) {
                    engine_->setMarketOpen(m, false);
                    closed.push_back(m);
                }
        deliver(engine_->handle(held.user, held.fields, held.received, forced));
        for (const std::size_t m : closed)
            engine_->setMarketOpen(m, true);
    }
}

RecordedRequest TestServer::placeOrderFor(int account, std::string_view code, bool buy, std::string_view qty,
                                          int type, std::string_view price) {
    std::map<int, std::string> fields{{tag::kMessageType, std::to_string(msg::kOrder)},
                                      {tag::kAccount, std::to_string(account)},
                                      {tag::kInstrument, std::string(code)},
                                      {tag::kOrderType, std::to_string(28 + type)},
                                      {tag::kTradingMode, buy ? "45" : "46"},
                                      {tag::kQuantity, std::string(qty)},
                                      {tag::kPrice, std::string(price)},
                                      {tag::kDeviation, "-1"}};
    std::string user;
    for (const auto& a : market_.accounts)
        if (a.id == account)
            user = a.user;
    if (!running_)
        return {};
    auto done = std::make_shared<std::promise<RecordedRequest>>();
    std::future<RecordedRequest> got = done->get_future();
    post([this, user, fields, done] {
        const std::size_t before = engine_->record().size();
        deliver(engine_->handle(user, fields));
        auto after = engine_->record(before);
        done->set_value(after.empty() ? RecordedRequest{} : after.back());
    });
    if (got.wait_for(std::chrono::seconds(30)) != std::future_status::ready)
        return {};
    return got.get();
}

void TestServer::clearAccount(int account) {
    if (!running_)
        return;
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> cleared = done->get_future();
    post([this, account, done] {
        deliver(engine_->clearAccount(account));
        done->set_value();
    });
    cleared.wait_for(std::chrono::seconds(30));
}

void TestServer::sendChatAs(const std::string& from, const std::string& to, const std::string& text) {
    post([this, from, to, text] { deliverDesk(nullptr, desk_->chatAs(from, to, text)); });
}

std::vector<std::pair<std::string, std::string>> TestServer::chatConversation(const std::string& a,
                                                                              const std::string& b) const {
    return desk_->conversation(a, b);
}

TestServer::~TestServer() {
    stop();
}

template <typename F>
void TestServer::updateStats(F&& f) {
    {
        std::lock_guard lock(statsMutex_);
        f(stats_);
    }
    statsChanged_.notify_all();
}

ServerStats TestServer::stats() const {
    std::lock_guard lock(statsMutex_);
    return stats_;
}

bool TestServer::waitFor(const std::function<bool(const ServerStats&)>& predicate,
                         std::chrono::milliseconds timeout) const {
    std::unique_lock lock(statsMutex_);
    return statsChanged_.wait_for(lock, timeout, [&] { return predicate(stats_); });
}

ServerPorts TestServer::start(const ServerOptions& options) {
    if (running_)
        throw ServerError("server already running");
    options_ = options;
    clock_ = ServerClock(options.clockFrom);
    dataService_->setPrices(nullptr);
    prices_ = std::make_unique<PriceBook>(market_.instruments, options.seed);
    engine_ = std::make_unique<OrderEngine>(market_, *prices_, book_, clock_);
    dataService_->setPrices(prices_.get());
    productKey_ = options.productKey;
    if (productKey_.empty())
        productKey_ = LoginInputData().configuredSecurityKey().value_or("");
    if (productKey_.empty())
        throw ServerError("no product key: the login property list has no SecurityKey");

    const std::string host = options.host == "localhost" ? "127.0.0.1" : options.host;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(options.port));
    if (options.port < 0 || options.port > 65535 || ::inet_pton(AF_INET, host.c_str(), &addr.sin_addr) != 1)
        throw ServerError("cannot listen on " + options.host + ":" + std::to_string(options.port) +
                          ": not an IPv4 address and port");

    auto cleanup = [this] {
        if (listener_ >= 0)
            ::close(listener_);
        if (wake_ >= 0)
            ::close(wake_);
        listener_ = wake_ = -1;
        feed_.reset();
        data_.reset();
        zmq_.reset();
    };

    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    int yes = 1;
    if (listener_ >= 0)
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0 ||
        ::listen(listener_, 16) < 0) {
        const std::string reason = std::strerror(errno);
        cleanup();
        throw ServerError("cannot listen on " + host + ":" + std::to_string(options.port) + ": " + reason);
    }
    socklen_t len = sizeof addr;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
    ports_.stream = ntohs(addr.sin_port);
    wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);

    try {
        zmq_ = std::make_unique<ZmqServerContext>();
        feed_ = zmq_->bind(ZMQ_PUB, host, options.feedPort);
        ports_.feed = feed_->port();
        data_ = zmq_->bind(ZMQ_REP, host, options.dataPort);
        ports_.data = data_->port();
    } catch (const ZmqFailure& e) {
        cleanup();
        throw ServerError("cannot bind the feed or data-service port on " + host + ": " + e.what());
    }

    if (options.newsPort >= 0 || options.newsHttpPort >= 0) {
        try {
            news_ =
                std::make_unique<NewsDesk>(std::max(options.newsPort, 0), std::max(options.newsHttpPort, 0));
            ports_.news = news_->httpsPort();
            ports_.newsHttp = news_->httpPort();
        } catch (const std::runtime_error& e) {
            cleanup();
            throw ServerError(std::string("cannot serve the news feed: ") + e.what());
        }
    }

    stopping_ = false;
    running_ = true;
    streamThread_ = std::thread([this] { streamLoop(); });
    feedThread_ = std::thread([this] { feedLoop(); });
    dataThread_ = std::thread([this] { dataLoop(); });
    Log::info("testserver: listening on {} stream={} feed={} data={} news={} news-http={}", host,
              ports_.stream, ports_.feed, ports_.data, ports_.news, ports_.newsHttp);
    return ports_;
}

void TestServer::stop() {
    if (!running_.exchange(false))
        return;
    stopping_ = true;
    if (wake_ >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] auto n = ::write(wake_, &one, sizeof one);
    }
    {
        std::lock_guard lock(feedMutex_);
        feedWake_.notify_all();
    }
    streamThread_.join();
    feedThread_.join();
    dataThread_.join();
    for (auto& c : clients_)
        closeClient(*c);
    clients_.clear();
    ::close(listener_);
    ::close(wake_);
    listener_ = wake_ = -1;
    feed_.reset();
    data_.reset();
    zmq_.reset();
    news_.reset();
    Log::info("testserver: stopped");
}

void TestServer::post(std::function<void()> command) {
    {
        std::lock_guard lock(commandsMutex_);
        commands_.push_back(std::move(command));
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] auto n = ::write(wake_, &one, sizeof one);
}

void TestServer::runCommands() {
    std::vector<std::function<void()>> commands;
    {
        std::lock_guard lock(commandsMutex_);
        commands.swap(commands_);
    }
    for (auto& c : commands)
        c();
}

void TestServer::dropStreams() {
    post([this] {
        for (auto& c : clients_)
            closeClient(*c);
    });
}

void TestServer::setDataServiceSilent(bool silent) {
    dataSilent_ = silent;
}

void TestServer::pauseStream(bool paused) {
    // Taken on the stream loop, and waited for: nothing a client sends once this returns is read
    // while paused, even when the loop was already woken by it.
    auto taken = std::make_shared<std::promise<void>>();
    std::future<void> done = taken->get_future();
    post([this, paused, taken] {
        streamPaused_ = paused;
        taken->set_value();
    });
    if (done.wait_for(std::chrono::seconds(30)) != std::future_status::ready)
        streamPaused_ = paused; // the loop has stopped
}

void TestServer::refuseDataServiceProcedure(std::string procedure) {
    dataService_->refuseProcedure(std::move(procedure));
}

void TestServer::broadcast(const std::string& framedMessage) {
    post([this, framedMessage] {
        for (auto& c : clients_)
            if (c->fd >= 0 && c->signedIn)
                sendSealed(*c, framedMessage, c->sessionKey);
    });
}

void TestServer::requestRelogin(const std::string& user) {
    post([this, user] {
        for (auto& c : clients_) {
            if (c->fd < 0 || !c->signedIn || c->user != user)
                continue;
            // The client closes this stream itself and signs in again on a new one.
            if (sendSealed(*c, frameFields({typeField(msg::kRelogin), {tag::kTime, clock_.text()}}),
                           c->sessionKey))
                updateStats([](ServerStats& s) { ++s.reloginRequests; });
        }
    });
}

bool TestServer::setQuote(std::string_view code, std::string_view bid, std::string_view ask) {
    if (!running_)
        return false;
    const std::size_t index = prices_->indexOf(code);
    if (index >= prices_->size())
        return false;
    const int decimals = prices_->instrument(index).decimals;
    const auto b = parseScaled(bid, decimals);
    const auto a = parseScaled(ask, decimals);
    if (!b || !a || *a < *b)
        return false;
    const Quote q = prices_->set(index, *b, *a);
    deliverLater(engine_->onQuote(index, q));
    return true;
}

bool TestServer::setMarketOpen(std::string_view code, bool open) {
    const std::size_t index = prices_->indexOf(code);
    if (index >= prices_->size())
        return false;
    engine_->setMarketOpen(index, open);
    return true;
}

std::vector<AccessMap> TestServer::accessMaps() const {
    return dataService_->accessMaps();
}

void TestServer::setRegistrationAfterResult(bool on) {
    desk_->setRegistrationAfterResult(on);
}

bool TestServer::setPassword(const std::string& user, const std::string& password) {
    return desk_->setPassword(user, password);
}

// Reports go to every client signed in as the account's user; on the stream thread only. Several
// reports for one user from one request travel together, compressed in one type-105 message.
void TestServer::deliver(const EngineReports& reports) {
    std::vector<std::string> users;
    for (const auto& r : reports)
        if (std::find(users.begin(), users.end(), r.user) == users.end())
            users.push_back(r.user);
    for (const std::string& user : users) {
        std::vector<const std::string*> frames;
        for (const auto& r : reports)
            if (r.user == user)
                frames.push_back(&r.framed);
        std::optional<std::string> burst;
        if (options_.compressBursts && frames.size() > 1) {
            std::string joined;
            for (const std::string* f : frames)
                joined += *f;
            if (auto payload = compressPayload(joined))
                burst = frameFields({typeField(msg::kCompressed),
                                     {tag::kTime, clock_.text()},
                                     {tag::kCompressedPayload, std::move(*payload)}});
        }
        for (auto& c : clients_) {
            if (c->fd < 0 || !c->signedIn || c->user != user)
                continue;
            if (burst) {
                sendSealed(*c, *burst, c->sessionKey);
                continue;
            }
            for (const std::string* f : frames)
                sendSealed(*c, *f, c->sessionKey);
        }
        updateStats([&](ServerStats& s) {
            s.orderReports += static_cast<int>(frames.size());
            s.compressedMessages += burst ? 1 : 0;
        });
    }
}

void TestServer::deliverLater(EngineReports reports) {
    if (reports.empty())
        return;
    post([this, reports = std::move(reports)] { deliver(reports); });
}

// ---- stream ----

void TestServer::streamLoop() {
    std::vector<pollfd> fds;
    while (!stopping_) {
        fds.clear();
        fds.push_back({wake_, POLLIN, 0});
        fds.push_back({listener_, POLLIN, 0});
        if (!streamPaused_)
            for (const auto& c : clients_)
                fds.push_back({c->fd, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), 1000) < 0) {
            if (errno == EINTR)
                continue;
            Log::error("testserver: poll failed: {}", std::strerror(errno));
            break;
        }
        if (fds[0].revents & POLLIN) {
            std::uint64_t count = 0;
            [[maybe_unused]] auto n = ::read(wake_, &count, sizeof count);
            runCommands();
        }
        if (stopping_)
            break;
        if (fds[1].revents & POLLIN)
            acceptClient();
        for (std::size_t i = 2; i < fds.size() && !streamPaused_; ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            auto it = std::find_if(clients_.begin(), clients_.end(),
                                   [fd = fds[i].fd](const auto& c) { return c->fd == fd; });
            if (it != clients_.end())
                readClient(**it);
        }
        std::erase_if(clients_, [](const auto& c) { return c->fd < 0; });
    }
}

void TestServer::acceptClient() {
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0)
        return;
    if (clients_.size() >= kMaxStreamClients) {
        Log::warning("testserver: refusing a stream client past {} connections", kMaxStreamClients);
        ::close(fd);
        return;
    }
    int yes = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    auto client = std::make_unique<Client>();
    client->fd = fd;
    client->id = nextClientId_++;
    Log::info("testserver: stream client {} connected", client->id);
    clients_.push_back(std::move(client));
    updateStats([](ServerStats& s) { ++s.connections; });
}

void TestServer::readClient(Client& client) {
    char buffer[64 * 1024];
    const ssize_t got = ::recv(client.fd, buffer, sizeof buffer, 0);
    if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) {
        Log::info("testserver: stream client {} left", client.id);
        closeClient(client);
        return;
    }
    if (got < 0)
        return;
    for (const std::string& frame :
         client.deframer.feed(std::string_view(buffer, static_cast<std::size_t>(got)))) {
        if (client.fd < 0)
            return;
        handleFrame(client, frame);
    }
}

void TestServer::closeClient(Client& client) {
    if (client.fd >= 0)
        ::close(client.fd);
    client.fd = -1;
    const bool wasSignedIn = std::exchange(client.signedIn, false);
    if (wasSignedIn && desk_) {
        const bool stillOnline = std::any_of(clients_.begin(), clients_.end(), [&](const auto& c) {
            return c.get() != &client && c->fd >= 0 && c->signedIn && c->user == client.user;
        });
        if (!stillOnline)
            deliverDesk(nullptr, desk_->presenceChanged(client.user, false));
    }
}

bool TestServer::writeAll(Client& client, std::string_view bytes) {
    while (!bytes.empty() && client.fd >= 0) {
        const ssize_t sent = ::send(client.fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        if (sent < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{client.fd, POLLOUT, 0};
            if (::poll(&p, 1, 5000) > 0)
                continue;
        }
        Log::warning("testserver: stream client {} does not take its replies; closing it", client.id);
        closeClient(client);
        return false;
    }
    return client.fd >= 0;
}

bool TestServer::sendSealed(Client& client, const std::string& framed, const std::string& key) {
    auto envelope = sealEnvelope(framed, key);
    if (!envelope) {
        Log::error("testserver: cannot seal a reply for stream client {}", client.id);
        return false;
    }
    return writeAll(client, *envelope);
}

void TestServer::handleFrame(Client& client, std::string_view frameText) {
    const FieldMap fields = fieldsOf(frameText);
    const int type = typeOf(fields);
    if (type != 76) {
        // Every request travels sealed; a plain one is a client fault, not something to act on.
        Log::warning("testserver: stream client {} sent a plain message of type {}; ignored", client.id,
                     type);
        updateStats([](ServerStats& s) { ++s.unreadableFrames; });
        return;
    }
    const bool initial = fields.contains(tag::kInitialEnvelope);
    // The initial requests are sealed under the product key, the rest under the session key; try
    // the other one too, so a client that picked the wrong key shows up as such in the log.
    std::vector<std::string_view> keys;
    keys.push_back(initial || !client.signedIn ? std::string_view(productKey_) : client.sessionKey);
    keys.push_back(initial || !client.signedIn ? std::string_view(client.sessionKey) : productKey_);
    const std::string sealed = valueOr(fields, tag::kSealedPayload);
    for (std::size_t k = 0; k < keys.size(); ++k) {
        if (keys[k].empty())
            continue;
        auto plain = openEncryptedEnvelope(sealed, keys[k]);
        if (!plain)
            continue;
        if (k > 0)
            Log::warning("testserver: stream client {} sealed a message under the other key", client.id);
        StreamDeframer inner(kMaxStreamFrameBytes);
        for (const std::string& message : inner.feed(*plain)) {
            if (client.fd < 0)
                return;
            handleMessage(client, message, initial);
        }
        return;
    }
    Log::warning("testserver: stream client {} sent an envelope that does not open", client.id);
    updateStats([](ServerStats& s) { ++s.unreadableFrames; });
    // A login sealed under another product key is refused, in this server's own key when its login
    // replies are sealed, and nothing more is said.
    if (initial)
        refuse(client, kLoginInvalidCredentials, "The login request could not be read.");
}

void TestServer::handleMessage(Client& client, std::string_view frameText, bool) {
    const FieldMap fields = fieldsOf(frameText);
    const int type = typeOf(fields);
    updateStats([type](ServerStats& s) { appendCapped(s.streamTypes, type); });
    switch (type) {
    case msg::kLogin: {
        handleLogin(client, fields);
        break;
    }
    case msg::kDemoRegistration:
        handleDemoRegistration(client, fields);
        break;
    case msg::kPing:
        if (!client.signedIn) {
            Log::warning("testserver: ping before login from stream client {}; ignored", client.id);
            break;
        }
        // Counted before the answer goes, so a peer that has the answer sees the count.
        updateStats([](ServerStats& s) { ++s.pings; });
        sendSealed(client,
                   frameFields({typeField(msg::kPingReply),
                                {tag::kRequestId, valueOr(fields, tag::kRequestId, "0")},
                                {tag::kTime, clock_.text()}}),
                   client.sessionKey);
        break;
    default:
        if (ServiceDesk::handles(type)) {
            if (!client.signedIn) {
                Log::warning("testserver: type {} before login from stream client {}; ignored", type,
                             client.id);
                break;
            }
            if (type == msg::kApproval && approvalsSilent_) {
                Log::info("testserver: approval request of {} left unanswered", client.user);
                break;
            }
            if (type == msg::kApproval && approvalAnswersLost_) {
                Log::info("testserver: approval request of {} carried out, its answer not sent", client.user);
                desk_->handle(client.user, fields);
                break;
            }
            if (type == msg::kPayGateMaster && paymentAnswersLost_) {
                Log::info("testserver: gateway payment of {} carried out, its replies not sent", client.user);
                desk_->handle(client.user, fields);
                break;
            }
            if (type == msg::kApproval && approvalsHeld_ && heldApprovals_.size() < kMaxHeldApprovals) {
                Log::info("testserver: approval request of {} held", client.user);
                heldApprovals_.push_back({client.id, client.user, fields});
                break;
            }
            deliverDesk(&client, desk_->handle(client.user, fields));
            break;
        }
        if (OrderEngine::handles(type)) {
            if (!client.signedIn) {
                Log::warning("testserver: order request before login from stream client {}; ignored",
                             client.id);
                break;
            }
            updateStats([](ServerStats& s) { ++s.orderRequests; });
            const std::uint64_t received = ++ordersReceived_;
            if (ordersHeld_ && heldOrders_.size() < kMaxHeldApprovals) {
                Log::info("testserver: order request of {} held", client.user);
                heldOrders_.push_back({client.user, fields, received});
                updateStats(
                    [&](ServerStats& s) { s.heldOrderRequests = static_cast<int>(heldOrders_.size()); });
                break;
            }
            // The engine's lock is released before anything is written.
            deliver(engine_->handle(client.user, fields, received));
            break;
        }
        Log::debug("testserver: stream client {} sent type {}; no answer", client.id, type);
        break;
    }
}

void TestServer::refuse(Client& client, int code, std::string_view text) {
    auto payload = compressPayload(ampLoginRefusal(code, text));
    const std::string framed = frameFields({typeField(msg::kLoginRefused),
                                            {tag::kRequestId, "0"},
                                            {tag::kTime, clock_.text()},
                                            {tag::kPayloadForm, "AMP"},
                                            {tag::kCompressedPayload, payload.value_or("")}});
    updateStats([](ServerStats& s) { ++s.refusals; });
    sendLoginReply(client, framed);
}

bool TestServer::sendLoginReply(Client& client, const std::string& framed) {
    return options_.sealLoginReplies ? sendSealed(client, framed, productKey_) : writeAll(client, framed);
}

namespace {

// Characters, as the registration form counts them; nullopt for a text that is no UTF-8.
std::optional<std::size_t> characterCount(std::string_view text) {
    std::size_t characters = 0;
    for (std::size_t at = 0; at < text.size(); ++characters) {
        char32_t c = 0;
        const std::size_t length = platform::decodeUtf8(text, at, c);
        if (length == 0)
            return std::nullopt;
        at += length;
    }
    return characters;
}

// The field of a registration form the server does not take, as its refusal code; nullopt for a
// form it takes.
std::optional<int> registrationRefusal(const FieldMap& fields) {
    const auto fits = [](std::string_view text) {
        const auto count = characterCount(text);
        return count && *count <= kMaxRegistrationField;
    };
    const std::string name = valueOr(fields, tag::kFullName);
    if (name.empty() || !fits(name))
        return wire::registration::kNameRefused;
    const std::string email = valueOr(fields, tag::kEmail);
    if (email.find('@') == std::string::npos || !fits(email))
        return wire::registration::kEmailRefused;
    if (!fits(valueOr(fields, tag::kTelephone)))
        return wire::registration::kPhoneRefused;
    if (!fits(valueOr(fields, tag::kQualifier)))
        return wire::registration::kCountryRefused;
    if (!std::all_of(fields.begin(), fields.end(), [&](const auto& f) { return fits(f.second); }))
        return wire::registration::kFormRefused;
    return std::nullopt;
}

} // namespace

void TestServer::handleDemoRegistration(Client& client, const FieldMap& fields) {
    auto answer = [&](WireFields reply) {
        reply.insert(reply.begin(), typeField(msg::kDemoRegistrationReply));
        reply.push_back({tag::kRequestId, valueOr(fields, tag::kRequestId, "0")});
        reply.push_back({tag::kTime, clock_.text()});
        return sendLoginReply(client, frameFields(reply));
    };
    if (const std::optional<int> refused = registrationRefusal(fields)) {
        Log::info("testserver: demo registration of stream client {} refused: field code {}", client.id,
                  *refused);
        answer({{tag::kRejectionCode, std::to_string(*refused)},
                {tag::kText, "The registration form is incomplete."}});
        return;
    }
    if (registered_ >= registrationSlots_.size()) {
        Log::info("testserver: demo registration of stream client {} refused: no users left", client.id);
        answer({{tag::kRejectionCode, std::to_string(wire::registration::kNoUsersLeft)},
                {tag::kText, "No more demo users can be registered."}});
        return;
    }
    const std::string& userName = registrationSlots_[registered_++];
    const User* user = market_.findUser(userName);
    const std::vector<const Account*> accounts = market_.accountsOf(userName);
    // The deposit the form asked for is the account's starting balance, within reason.
    std::string deposit(kRegistrationDefaultDeposit);
    const double asked = platform::lenientReal(valueOr(fields, tag::kAmount));
    if (asked >= 1 && asked <= kMaxRegistrationDeposit)
        deposit = std::to_string(static_cast<std::int64_t>(asked));
    if (!accounts.empty())
        book_.with([&](Books& b) { b.balances.insert_or_assign(accounts.front()->id, deposit); });
    updateStats([](ServerStats& s) { ++s.demoRegistrations; });
    Log::info("testserver: demo user \"{}\" registered for stream client {}", userName, client.id);
    answer(
        {{tag::kUserName, userName}, {tag::kPassword, desk_->passwordOf(userName).value_or(user->password)}});
}

void TestServer::handleLogin(Client& client, const FieldMap& fields) {
    const std::string userName = valueOr(fields, tag::kUserName);
    const std::string password = valueOr(fields, tag::kPassword);
    const User* user = market_.findUser(userName);
    const auto slot = std::find(registrationSlots_.begin(), registrationSlots_.end(), userName);
    const bool handedOut = slot == registrationSlots_.end() ||
                           static_cast<std::size_t>(slot - registrationSlots_.begin()) < registered_;
    if (!user || !handedOut || desk_->passwordOf(userName) != password) {
        Log::info("testserver: login of \"{}\" refused: wrong user name or password", userName);
        refuse(client, kLoginInvalidCredentials, "Invalid user name or password.");
        return;
    }
    if (user->status != UserStatus::Enabled) {
        const bool locked = user->status == UserStatus::Locked;
        Log::info("testserver: login of \"{}\" refused: account {}", userName,
                  locked ? "locked" : "disabled");
        refuse(client, locked ? kLoginAccountLocked : kLoginAccountDisabled,
               locked ? "This account is locked." : "This account is disabled.");
        return;
    }

    // One session per user: an earlier one hears that it was replaced, and from which address (the
    // client words the rest).
    const std::string newAddress = valueOr(fields, tag::kDeviceAddress);
    for (auto& other : clients_) {
        if (other.get() == &client || other->fd < 0 || !other->signedIn || other->user != userName)
            continue;
        updateStats([](ServerStats& s) { ++s.loggedOutElsewhere; });
        sendSealed(*other,
                   frameFields({typeField(msg::kLoggedInElsewhere),
                                {tag::kNotice, newAddress},
                                {tag::kTime, clock_.text()}}),
                   other->sessionKey);
        other->signedIn = false;
    }

    const int referenceId = nextReferenceId_++;
    const std::string reference = std::to_string(referenceId);
    const std::string serverTime = clock_.text();
    SnapshotContext context{ports_.feed, ports_.data, referenceId, serverTime, {}, {}, {}};
    book_.with([&](const Books& b) {
        context.balances = b.balances;
        for (const Account* account : market_.accountsOf(userName)) {
            context.usedMargins[account->id] = usedMarginOf(market_, b, account->id);
            context.oneSideMargins[account->id] = oneSideMarginOf(market_, b, account->id);
        }
    });
    const bool xml = options_.snapshotForm == SnapshotForm::Xml;
    auto payload = compressPayload(xml ? xmlLoginSnapshot(market_, *user, prices_->quotes(), context)
                                       : ampLoginSnapshot(market_, *user, prices_->quotes(), context));
    if (!payload) {
        Log::error("testserver: cannot compress the login snapshot");
        return;
    }
    const std::string snapshot = frameFields({typeField(msg::kLoginSnapshot),
                                              {tag::kReferenceId, reference},
                                              {tag::kRequestId, "0"},
                                              {tag::kTime, serverTime},
                                              {tag::kPayloadForm, xml ? "XML" : "AMP"},
                                              {tag::kCompressedPayload, std::move(*payload)}});
    if (!sendLoginReply(client, snapshot))
        return;
    client.signedIn = true;
    client.user = userName;
    client.sessionKey = GenerateNewEncryptionKey(userName, password, reference, serverTime);
    updateStats([](ServerStats& s) { ++s.logins; });
    Log::info("testserver: \"{}\" signed in on stream client {} (reference {})", userName, client.id,
              referenceId);
    sendSealed(
        client,
        frameFields({typeField(msg::kLoginCompleted), {tag::kRequestId, "0"}, {tag::kTime, serverTime}}),
        client.sessionKey);
    deliverDesk(&client, desk_->presenceChanged(userName, true));
}

// ---- feed ----

namespace {

// "IS;" and the framed type-1049 message, stamped with the server's clock; the client cuts the text
// at the next ";".
std::string instrumentStatusText(std::string_view code, int status, const std::string& clock) {
    return "IS;" + frameFields({typeField(msg::kInstrumentStatus),
                                {tag::kInstrument, std::string(code)},
                                {tag::kInstrumentState, std::to_string(status)},
                                {tag::kTime, clock}});
}

} // namespace

bool TestServer::publishInstrumentStatus(std::string_view code, int status) {
    if (!running_ || code.empty() || code.find_first_of(";\x01\x02\x03") != std::string_view::npos)
        return false;
    {
        std::lock_guard lock(feedMutex_);
        if (pendingStatus_.size() >= kMaxPendingStatuses)
            return false;
        pendingStatus_.push_back(instrumentStatusText(code, status, clock_.text()));
    }
    feedWake_.notify_all();
    return true;
}

void TestServer::feedLoop() {
    auto sendStatuses = [this](std::vector<std::string> texts) {
        for (const auto& text : texts) {
            feed_->send(text);
            updateStats([](ServerStats& s) { ++s.statusesPublished; });
        }
    };
    const double rate = options_.rate;
    if (!(rate > 0) || prices_->size() == 0) {
        while (true) {
            std::vector<std::string> texts;
            {
                std::unique_lock lock(feedMutex_);
                feedWake_.wait(lock, [this] { return stopping_.load() || !pendingStatus_.empty(); });
                if (stopping_)
                    return;
                texts.swap(pendingStatus_);
            }
            try {
                sendStatuses(std::move(texts));
            } catch (const ZmqFailure& e) {
                Log::error("testserver: feed stopped: {}", e.what());
                return;
            }
        }
    }
    using Clock = std::chrono::steady_clock;
    const auto interval =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / rate));
    auto next = Clock::now();
    std::size_t index = 0;
    std::uint64_t published = 0;
    while (true) {
        next += interval;
        std::vector<std::string> texts;
        {
            std::unique_lock lock(feedMutex_);
            feedWake_.wait_until(lock, next, [this] { return stopping_.load() || !pendingStatus_.empty(); });
            if (stopping_)
                return;
            texts.swap(pendingStatus_);
        }
        if (!texts.empty()) {
            try {
                sendStatuses(std::move(texts));
            } catch (const ZmqFailure& e) {
                Log::error("testserver: feed stopped: {}", e.what());
                return;
            }
            // A status asked for between two quotes does not hurry the next quote.
            if (Clock::now() < next) {
                next -= interval;
                continue;
            }
        }
        // After a stall, go on from now rather than bursting to catch up.
        if (Clock::now() - next > std::chrono::seconds(1))
            next = Clock::now();
        if (streamPaused_)
            continue;
        const Quote q = pricesHeld_ ? prices_->quote(index) : prices_->step(index);
        const Instrument& instrument = prices_->instrument(index);
        deliverLater(engine_->onQuote(index, q));
        try {
            feed_->send(PriceBook::quoteText(instrument, q, clock_.text()));
            feed_->send(PriceBook::depthText(instrument, q));
            // Now and then the instrument's own session: the client keeps trading it as before.
            if (++published % kStatusEveryQuotes == 0)
                sendStatuses({instrumentStatusText(instrument.code, instrument.session, clock_.text())});
        } catch (const ZmqFailure& e) {
            Log::error("testserver: feed stopped: {}", e.what());
            return;
        }
        index = (index + 1) % prices_->size();
        updateStats([](ServerStats& s) { ++s.quotesPublished; });
    }
}

// ---- data service ----

void TestServer::dataLoop() {
    while (!stopping_) {
        try {
            if (!data_->waitReadable(100))
                continue;
            bool more = false;
            std::string request = data_->receive(more);
            bool oversize = request.size() > kMaxDataRequestBytes;
            while (more) {
                std::string part = data_->receive(more);
                if (request.size() + part.size() > kMaxDataRequestBytes)
                    oversize = true;
                else
                    request += part;
            }
            // A silent peer: the request is taken but its answer waits until the silence ends.
            while (dataSilent_ && !stopping_)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (stopping_)
                return;
            if (oversize)
                Log::warning("testserver: data-service request over {} bytes; answered empty",
                             kMaxDataRequestBytes);
            data_->send(oversize ? std::string() : answerDataRequest(request));
        } catch (const ZmqFailure& e) {
            if (!stopping_)
                Log::error("testserver: data service stopped: {}", e.what());
            return;
        }
    }
}

std::string TestServer::answerDataRequest(std::string_view request) {
    StreamDeframer deframer(kMaxDataRequestBytes);
    const auto frames = deframer.feed(request);
    if (frames.empty()) {
        updateStats([](ServerStats& s) { ++s.unreadableFrames; });
        return {};
    }
    const FieldMap fields = fieldsOf(frames.front());
    const std::string requestId = valueOr(fields, tag::kRequestId, "0");
    switch (typeOf(fields)) {
    case msg::kDataService: {
        const std::string procedure = valueOr(fields, tag::kProcedure);
        updateStats([&](ServerStats& s) { appendCapped(s.procedures, procedure); });
        DataReply reply = dataService_->answer(fields);
        WireFields out{typeField(msg::kDataServiceReply),
                       {tag::kRequestId, requestId},
                       {tag::kTime, clock_.text()},
                       {tag::kProcedure, procedure},
                       {tag::kRecordText, std::move(reply.text)}};
        if (reply.payload)
            out.push_back({tag::kCompressedPayload, std::move(*reply.payload)});
        return frameFields(out);
    }
    case msg::kChartData: {
        const std::string code = valueOr(fields, tag::kInstrument);
        const std::string interval = valueOr(fields, tag::kChartInterval);
        const std::string countText = valueOr(fields, tag::kBarCount);
        int count = kDefaultChartBars;
        auto [end, ec] = std::from_chars(countText.data(), countText.data() + countText.size(), count);
        if (ec != std::errc{} || count <= 0)
            count = kDefaultChartBars;
        const std::size_t index = prices_->indexOf(code);
        const std::string text =
            index < prices_->size()
                ? prices_->chartText(index, interval, std::min(count, kMaxChartBars), clock_.now())
                : PriceBook::emptyChartText(code, interval);
        updateStats([](ServerStats& s) { ++s.chartRequests; });
        return frameFields({typeField(msg::kChartDataReply),
                            {tag::kRequestId, requestId},
                            {tag::kTime, clock_.text()},
                            {tag::kText, text}});
    }
    case msg::kControl:
        updateStats([](ServerStats& s) { ++s.keepAlives; });
        return frameFields({typeField(msg::kControl), {tag::kTime, clock_.text()}});
    default:
        updateStats([](ServerStats& s) { ++s.unreadableFrames; });
        return {};
    }
}

} // namespace testserver
