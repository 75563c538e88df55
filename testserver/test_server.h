#pragma once
// The loopback trading server: the stream (login, ping and the other stream requests, replies
// sealed in envelopes), the price feed (ZeroMQ publisher) and the data service (ZeroMQ reply socket),
// each on its own thread. start() binds all three and returns once they accept; stop() joins them.
#include "account_book.h"
#include "market.h"
#include "news_desk.h"
#include "options.h"
#include "order_engine.h"
#include "price_book.h"
#include "server_clock.h"
#include "service_desk.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace testserver {

class DataService;
class ZmqServerContext;
class ZmqServerSocket;

// The feed carries an instrument-status message after this many quotes.
inline constexpr std::uint64_t kStatusEveryQuotes = 50;
// Statuses asked for by tests and not yet sent; past this publishInstrumentStatus refuses.
inline constexpr std::size_t kMaxPendingStatuses = 10'000;

struct ServerPorts {
    int stream = 0;
    int feed = 0;
    int data = 0;
    int news = 0;     // the news feed over HTTPS; 0 when not served
    int newsHttp = 0; // and over HTTP
};

// What the server has seen and done; for tests and the log.
struct ServerStats {
    int connections = 0;
    int logins = 0;
    int refusals = 0;
    int loggedOutElsewhere = 0; // type 44 sent to an earlier session of a user who signed in again
    int pings = 0;
    int unreadableFrames = 0; // envelopes that did not open, frames without a type
    int keepAlives = 0;
    int chartRequests = 0;
    std::uint64_t quotesPublished = 0;
    std::uint64_t statusesPublished = 0;
    int orderRequests = 0;      // stream messages of the order types
    int orderReports = 0;       // execution reports (and offset answers) sent to stream clients
    int compressedMessages = 0; // type 105: several reports for one user sent as one
    int reloginRequests = 0;    // type 1028 sent
    int heldOrderRequests = 0;  // order requests kept unanswered by holdOrders
    int demoRegistrations = 0;  // type 1027 sent with a new user
    // In arrival order; the latest 5000 to 10000 entries are kept.
    std::vector<std::string> procedures; // data-service procedure names
    std::vector<int> streamTypes;        // types of the stream messages (inside envelopes)
};

// Login error codes the server refuses with (type 47, login-message record).
inline constexpr int kLoginInvalidCredentials = 1;
inline constexpr int kLoginAccountDisabled = 10;
inline constexpr int kLoginAccountLocked = 11;

// A registration's starting balance when it asks for none that can be read, and the most it may ask.
inline constexpr std::string_view kRegistrationDefaultDeposit = "10000";
inline constexpr double kMaxRegistrationDeposit = 10'000'000;
// Longest name, e-mail address, phone or country a registration may carry, in characters as the
// registration form counts them (a name of 256 Devanagari letters is 768 bytes).
inline constexpr std::size_t kMaxRegistrationField = 256;

// Caps on what one stream client may send.
inline constexpr std::size_t kMaxStreamFrameBytes = std::size_t{1} << 20;
inline constexpr std::size_t kMaxStreamClients = 64;
inline constexpr std::size_t kMaxDataRequestBytes = std::size_t{1} << 20;

class ServerError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// How the server answers one kept order request (TestServer::answerHeldOrders).
enum class HeldAnswer {
    AsItStands,        // carried out, or refused, as the engine finds it then
    ExchangeRejection, // rejected by the exchange (status 826), as rejectOrdersAtExchange has it
    MarketClosed,      // every instrument's market closed for this answer alone (setMarketOpen)
    QuantityRefused,   // what it would carry out refused as a quantity not allowed (code 5)
    NoLongerExists,    // what it would carry out refused as no such position or order (code 15)
};

class TestServer {
public:
    explicit TestServer(Market market);
    ~TestServer();
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    // Binds the three sockets (port 0: any free port) and starts the threads. Throws ServerError
    // when a socket cannot be bound, the host is not an IPv4 address or no product key is known.
    ServerPorts start(const ServerOptions& options);
    // Closes every socket and joins the threads; safe to call twice.
    void stop();
    bool running() const noexcept { return running_.load(); }
    ServerPorts ports() const noexcept { return ports_; }

    ServerStats stats() const;
    // Waits until the predicate holds over the stats or the timeout passes; answers the predicate.
    bool waitFor(const std::function<bool(const ServerStats&)>& predicate,
                 std::chrono::milliseconds timeout) const;

    // Test controls.
    // Closes every stream client, as a lost connection would.
    void dropStreams();
    // Holds data-service requests unanswered while on (a silent peer); answers them once off again.
    void setDataServiceSilent(bool silent);
    // While on, the server stands still as a stopped process would: the stream clients are not read
    // (what they send waits in the socket) and the feed publishes nothing; connections stay open.
    // Off again, it reads and answers what waited. Test commands (dropStreams) still run. It returns once
    // the stream loop has taken it.
    void pauseStream(bool paused);
    // Leaves approval requests (deposits and withdrawals, type 693) unanswered while on.
    void setApprovalsSilent(bool silent) { approvalsSilent_ = silent; }
    // Carries approval requests out (booked, so the data service lists them) but sends no answer while
    // on: the answer lost with the line.
    void setApprovalAnswersLost(bool lost) { approvalAnswersLost_ = lost; }
    // Carries gateway payments (type 93) out (paid and booked) but sends none of their replies while
    // on: the replies lost with the line.
    void setPaymentAnswersLost(bool lost) { paymentAnswersLost_ = lost; }
    // While on, a gateway payment's progress reply comes after its result and says it registered.
    void setRegistrationAfterResult(bool on);
    // Keeps approval requests unanswered while on; once off again answers the ones kept, in the order
    // they came, before any later one (answers that come late).
    void holdApprovals(bool hold);
    // Keeps order requests (60, 72, 77, 82, 1052) unanswered while on, whichever stream sent them;
    // once off again answers the ones kept, in the order they came. The reports go to every client
    // signed in as the request's user, as all reports do: a request of a stream since closed is
    // answered on the user's new one.
    void holdOrders(bool hold);
    // Answers the kept order requests at these places (0 the first kept) in this order, as if the
    // server had taken them so; the others stay kept. `answers` (by the same index as `places`; none
    // past its end: AsItStands) has one answer refused while the others are carried out. False,
    // nothing answered, for a place out of range or named twice. Returns once they are answered.
    bool answerHeldOrders(const std::vector<std::size_t>& places,
                          const std::vector<HeldAnswer>& answers = {});
    // While on, every new order, close and edit, and each position of a close-all, is rejected by the
    // exchange (status 826).
    void rejectOrdersAtExchange(bool on) { engine_->setExchangeRejection(on); }
    // A close-all of more positions than this is refused as a whole (200 unless lowered).
    void limitCloseAll(std::size_t positions) { engine_->setCloseAllLimit(positions); }
    // What the server did with each order request it answered, in the order answered (the newest
    // kMaxRecordedRequests), from the `from`th entry kept on: the judge of what a request came to.
    // A request's `received` is its place among the order requests received (ServerStats::orderRequests
    // counts them), so a test tells apart requests that share a number.
    std::vector<RecordedRequest> orderRecord(std::size_t from = 0) const { return engine_->record(from); }
    // As if another program of the account's user had placed it: a market order of `qty` (any price)
    // or a limit (type 2) or stop (3) order at `price`, its reports sent to the user's clients without
    // a request number, behind what the stream sent before. Gives what the server did (received 0);
    // an empty record when the server is not running.
    RecordedRequest placeOrderFor(int account, std::string_view code, bool buy, std::string_view qty,
                                  int type = 1, std::string_view price = {});
    // Closes every position and cancels every entry order of the account, as the back office would;
    // the reports go to the user's clients. Returns once they are sent.
    void clearAccount(int account);
    // A multi-account order's part for this account (0: none) is carried out but none of its reports
    // is sent, as if lost on the way; the other accounts' parts are answered as usual.
    void loseMultiAccountReportsOf(int account) { engine_->loseMultiAccountReportsOf(account); }
    // Answers every data-service request of that procedure with an error from now on.
    void refuseDataServiceProcedure(std::string procedure);
    // Sends a framed message to every signed-in stream client, sealed under its session key.
    void broadcast(const std::string& framedMessage);
    // Asks every signed-in stream client of `user` to sign in again on a new stream (type 1028).
    void requestRelogin(const std::string& user);
    // Publishes an instrument-status message ("IS;" and a type-1049 message: tag 12 the code, tag
    // 574 the trade-session setting) on the feed. False when the server is not running or the code
    // cannot travel in it (empty, or holding a field or topic separator), or too many wait.
    bool publishInstrumentStatus(std::string_view code, int status);
    // Positions, orders and history of every account (the data service's source).
    AccountBook& book() noexcept { return book_; }
    const Market& market() const noexcept { return market_; }
    // Sets an instrument's quote (decimal texts); false when the code or a price is unknown or the
    // server is not running. Orders it crosses trigger at once.
    bool setQuote(std::string_view code, std::string_view bid, std::string_view ask);
    // While on, the feed republishes the current quotes instead of moving them (and still triggers
    // orders on each one), so tests can place orders at known prices.
    void holdPrices(bool hold) { pricesHeld_ = hold; }
    // The account reaches the margin call level: its user's signed-in clients are told (account
    // summaries, margin status 0 then 2), each call a new one. False for an unknown account.
    bool sendMarginCall(int account);
    // Sends a server notice (a notice room and its RTF message) to the signed-in clients of `user`.
    void sendNotice(const std::string& user, const std::string& title, const std::string& text);
    // The news feed's web service while running with news ports (null otherwise).
    NewsDesk* newsDesk() { return news_.get(); }
    // A chat text from `from` to the signed-in clients of `to`, as if `from` had typed it.
    void sendChatAs(const std::string& from, const std::string& to, const std::string& text);
    // The conversation of two users as the server keeps it: sender and RTF text, oldest first.
    std::vector<std::pair<std::string, std::string>> chatConversation(const std::string& a,
                                                                      const std::string& b) const;
    // A closed instrument refuses orders and triggers none; false for an unknown code.
    bool setMarketOpen(std::string_view code, bool open);
    // The access maps as the data service holds them: the market's and the clients' changes.
    std::vector<AccessMap> accessMaps() const;
    // The user's password from now on, as if changed from another program: a session signed in
    // with the old one then has its password change refused. False for an unknown user.
    bool setPassword(const std::string& user, const std::string& password);

private:
    struct Client;

    void streamLoop();
    void feedLoop();
    void dataLoop();
    void acceptClient();
    void readClient(Client& client);
    void handleFrame(Client& client, std::string_view frameText);
    void handleMessage(Client& client, std::string_view frameText, bool initialEnvelope);
    void handleLogin(Client& client, const std::map<int, std::string>& fields);
    // Type 1026: hands out the next registration user, answered by 1027 with its name and password.
    void handleDemoRegistration(Client& client, const std::map<int, std::string>& fields);
    // Sends a reply of the login road: sealed under the product key when so configured, else plain.
    bool sendLoginReply(Client& client, const std::string& framed);
    void refuse(Client& client, int code, std::string_view text);
    bool sendSealed(Client& client, const std::string& framed, const std::string& key);
    bool writeAll(Client& client, std::string_view bytes);
    void closeClient(Client& client);
    void runCommands();
    void deliver(const EngineReports& reports);
    void deliverLater(EngineReports reports);
    // Sends the desk's messages: to the requester (user empty) or to every signed-in client of a user.
    void deliverDesk(Client* requester, const std::vector<DeskMessage>& messages);
    void post(std::function<void()> command);
    std::string answerDataRequest(std::string_view request);
    template <typename F>
    void updateStats(F&& f);

    // Declared before the market, whose registration users it adds while the market is made.
    std::vector<std::string> registrationSlots_;
    const Market market_;
    // Set at start from options_.clockFrom; the engine and the desk read it.
    ServerClock clock_;
    std::unique_ptr<PriceBook> prices_;
    std::unique_ptr<OrderEngine> engine_;
    AccountBook book_;
    std::unique_ptr<DataService> dataService_;
    std::unique_ptr<NewsDesk> news_;
    std::unique_ptr<ServiceDesk> desk_;
    ServerOptions options_;
    ServerPorts ports_;
    std::string productKey_;
    std::atomic<bool> running_{false};
    std::atomic<bool> stopping_{false};
    std::atomic<bool> dataSilent_{false};
    std::atomic<bool> streamPaused_{false};
    std::atomic<bool> approvalsSilent_{false};
    std::atomic<bool> approvalAnswersLost_{false};
    std::atomic<bool> paymentAnswersLost_{false};
    std::atomic<bool> approvalsHeld_{false};
    // Approval requests kept while held: the stream client's id, its user and the fields. Stream
    // thread only; bounded as the tests send a few.
    struct HeldApproval {
        std::uint64_t client = 0;
        std::string user;
        std::map<int, std::string> fields;
    };
    std::vector<HeldApproval> heldApprovals_;
    // Order requests kept while held: the user and the fields. Stream thread only.
    struct HeldOrder {
        std::string user;
        std::map<int, std::string> fields;
        std::uint64_t received = 0;
    };
    std::atomic<bool> ordersHeld_{false};
    std::vector<HeldOrder> heldOrders_;
    std::uint64_t ordersReceived_ = 0; // stream thread
    // Answers the kept order requests at `places` and forgets them (stream thread).
    void answerHeld(const std::vector<std::size_t>& places, const std::vector<HeldAnswer>& answers = {});
    std::atomic<bool> pricesHeld_{false};

    int listener_ = -1;
    int wake_ = -1; // eventfd: commands posted or stop asked
    std::vector<std::unique_ptr<Client>> clients_;
    int nextReferenceId_ = 7001;
    std::size_t registered_ = 0; // registration users handed out (stream thread)
    std::uint64_t nextClientId_ = 1;

    std::mutex commandsMutex_;
    std::vector<std::function<void()>> commands_;

    std::unique_ptr<ZmqServerContext> zmq_;
    std::unique_ptr<ZmqServerSocket> feed_;
    std::unique_ptr<ZmqServerSocket> data_;

    std::mutex feedMutex_;
    std::condition_variable feedWake_;
    std::vector<std::string> pendingStatus_; // feed texts asked for by publishInstrumentStatus

    mutable std::mutex statsMutex_;
    mutable std::condition_variable statsChanged_;
    ServerStats stats_;

    std::thread streamThread_;
    std::thread feedThread_;
    std::thread dataThread_;
};

} // namespace testserver
