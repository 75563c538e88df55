#pragma once
// The session object of one signed-in (or registering) user: it owns the server connection and the
// live session model, dispatches every incoming message, and is the only path by which a built
// request leaves the client.
//
// Threads. Every inbound message is parsed on the thread that received it (the stream's "NewQueue",
// the request thread, the feed thread) and applied on the main queue in the order that thread
// received it; the session values (request number, reference id, server date, ping time)
// have one live copy, here, written and read only on the main queue. The receiving threads only
// frame, open envelopes (whose messages are posted each in its turn), inflate, read login snapshots
// and data-service replies into values that share nothing, and switch the envelope key when a login
// snapshot arrives (so the next envelope on that thread opens). Quotes and depth are merged per
// instrument on the feed thread and applied by the feed's next drain on the main queue. Every change
// to the collections, every request and every notification happens on the main queue.
//
// Create and destroy it on the main thread (the one that pumps platform::RunLoop::main()).
#include "charts/chart_cache.h"
#include "connection/connection_base.h"
#include "interfaces/application_interface.h"
#include "interfaces/commands.h"
#include "model/server_clock.h"
#include "model/session_model.h"
#include "model/session_queries.h"
#include "platform/clock.h"
#include "platform/date_format.h"
#include "platform/dispatch.h"
#include "platform/handler.h"
#include "platform/work_budget.h"
#include "session/business/business_services.h"
#include "session/business/message_rooms.h"
#include "session/business/order_host.h"
#include "session/business/session_requests.h"
#include "session/business/watch_list.h"
#include "session/data_service/data_service_replies.h"
#include "session/feed/feed_host.h"
#include "session/feed/price_feed.h"
#include "wire/login_inputdata.h"
#include "wire/message_base.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tc {

// The tags of the stream's own road, read from every message besides its room's (the last occurrence
// wins): the last of the request numbers, a login snapshot's reference id (of no other type) and time
// (which derive its session key), and what envelopes, compressed messages and snapshots carry.
struct StreamTags {
    std::optional<std::string> sealedPayload, payloadForm, referenceId, time;
    std::optional<std::int32_t> requestNumber;
    // The whole compressed-payload field as received ("1050=<Base64>"), empty when absent.
    std::string compressedField;
};

// One inbound message on its way from its receiving thread to the main queue: parsed, with what the
// receiving thread read from it.
struct InboundMessage {
    std::int64_t type = 0;
    std::shared_ptr<MessageBase> mb;
    StreamTags tags;
    const MessageRoom* room = nullptr;                  // null: no room handles the type
    std::vector<std::optional<std::string>> roomValues; // of the room's tags, in its order
    platform::Clock::time_point arrivedAt{};
    bool failed = false;             // did not parse: only the table refresh follows
    std::function<void()> applyRead; // the main-queue step of what the receiving thread read
};

class SessionNetworkWatch;

class BusinessBase final : public MessageSender,
                           public ConnectionOwner,
                           public RequestContext,
                           public WatchListContext,
                           public OrderHost,
                           public FeedHost {
public:
    // How deep envelopes may nest inside envelopes before the inner ones are dropped.
    static constexpr int kMaxEnvelopeDepth = 4;
    // Journal lines kept; past it the oldest tenth goes.
    static constexpr std::size_t kMaxJournalLines = 100'000;
    // Order records one announcement names as rewritten; past it, it names none.
    static constexpr std::size_t kMaxRowsNamed = 256;
    // Texts of a login that ends on the client's side.
    static constexpr std::string_view kLoginTimedOutKey = "20400";
    static constexpr std::string_view kUnreadableSnapshotKey = "20401";
    static constexpr std::string_view kCompletionWithoutSnapshotKey = "20402";
    static constexpr std::string_view kUnopenedLoginReplyKey = "20403";
    // The server at {0}:{1} could not be reached.
    static constexpr std::string_view kServerUnreachableKey = "20404";
    // The journal's line for a request without an answer when the stream was lost.
    static constexpr std::string_view kUnansweredRequestKey = "93103";
    // A password change without an answer when the stream was lost, as the loss alert names it.
    static constexpr std::string_view kUnansweredPasswordChangeKey = "97300";
    // Work posted to the main queue counts against its budget until it has run: past the high mark
    // the stream is not read and the request and feed threads wait (each wait at most the limit, so
    // they stay stoppable), until the main queue is down to the low mark.
    static constexpr std::size_t kMainQueueHighWater = 1024;
    static constexpr std::size_t kMainQueueLowWater = 256;
    static constexpr std::chrono::milliseconds kMainQueueWaitLimit{100};

    // The parts of a session (BusinessServices) are made by whoever composes the program, over the
    // business object they serve: `wire` is called once during construction and must return every
    // service but the order handlers (an order side is attached instead), `events` and
    // `userDefaults`; a missing one throws std::invalid_argument. The real wiring is the client's
    // (client/session_wiring.h).
    using ServiceWiring = std::function<BusinessServices(BusinessBase&)>;
    // `loginData` is the sign-in data of this session (the client's own); it must outlive the object.
    BusinessBase(interfaces::ApplicationInterface& application, LoginInputData& loginData,
                 const ServiceWiring& wire, ConnectionOptions connectionOptions = {});
    ~BusinessBase() override;
    BusinessBase(const BusinessBase&) = delete;
    BusinessBase& operator=(const BusinessBase&) = delete;

    // Starts the stream; the login request (or the demo-registration hand-off) follows once it is up.
    // A server address or port that cannot be used ends the login at once with a clear error.
    void StreamingConnection(bool demoRegistration);
    // The same for a caller that shows the error itself: nothing is shown, the error is returned.
    ConnectError startLogin();
    // Opens the stream in registration mode; once it is up, `request` (a composed demo registration)
    // goes out in place of a login request, once. Main queue; the error is returned, nothing shown.
    ConnectError startDemoRegistration(MessageBase request);
    void disconnectServer();
    void reconnectZMQAndSubscribeAllItems();

    // MessageSender.
    void sendMessage(RequestMessage message) override;
    std::string envelopeKey(bool isInitialRequest) const override;
    void pingSent() override;

    // Incoming road, on the receiving thread: one framed message; and a text of framed messages (an
    // envelope's content, a feed "IS;" message). Each message is applied later on the main queue, in
    // the order of the calls, by the room that entered its type.
    void NewMessage(std::string_view frameText);
    void ProcessMessage(std::string_view text);
    // The framed messages of a feed "IS;" text: only the types the feed carries are taken.
    void processFeedMessage(std::string_view text) override;
    // Which room handles each message type.
    const MessageRooms& rooms() const { return rooms_; }

    // Handlers of this object (called by the dispatcher; public for the windows' tests).
    void UpdateUserInfo(const std::vector<std::string>& fields);
    void DemoUserCreationResponse(const std::vector<std::string>& fields);
    // Main queue.
    void UpdateAccountDetails(const std::vector<std::string>& fields, const std::string& accountId);

    // Composes and sends the ping (type 1018) on the stream; the sender notes when it went out.
    void pingToServer();

    // Commands of the signed-in user (main queue).
    // The password form: every field given, the old password the session's, the new one confirmed and
    // other than the old, the network up; then the request. Refused with the text shown, else done.
    interfaces::CommandResult changePassword(std::string_view oldPassword, std::string_view newPassword,
                                             std::string_view confirmPassword);
    // A chart's bars: its reply is keyed by the request number it carries, so the number goes up first.
    SentRequest requestChartData(std::string_view instrument, std::string_view interval, std::int32_t bars);

    // Ping and network speed. The ping timer is one per session; it stops on disconnect and loss.
    void startPingTimer();
    void stopPingTimer();
    bool isPingTimerRunning() const;
    // Classifies the time from `since` to `until` (platform clock; now when not given) and posts the
    // server time on the main queue.
    void calculateNetworkSpeed(platform::Clock::time_point since,
                               std::optional<platform::Clock::time_point> until = std::nullopt);
    // The application's variant after a loss: measured from the last server date on the wall clock.
    void calculateNetworkSpeedFromServerDate();
    static std::int32_t networkSpeedClass(double elapsedSeconds);
    // A signed-in server that has answered nothing (no ping reply) for this long is taken as not
    // answering: pings go every second, so three or four have gone without a reply.
    static constexpr platform::Clock::duration kServerSilentAfter = std::chrono::seconds(4);
    // The ping's period, and a gap between two of its ticks past which the client itself was held.
    static constexpr platform::Clock::duration kPingPeriod = std::chrono::seconds(1);
    static constexpr platform::Clock::duration kPingHeldAfter = std::chrono::seconds(2);
    // False while the server is not answering (see kServerSilentAfter), until its next ping reply.
    bool isServerAnswering() const override;
    platform::Clock::time_point lastServerAnswer() const override;

    // The banner centre's delegate: the app-update banner's button.
    void userNotificationCenterDidActivateNotification(const std::map<std::string, std::string>& userInfo);

    // Session values (main queue).
    std::int32_t RequestId() const;
    void setRequestId(std::int32_t value);
    std::string ReferenceId() const;
    std::optional<platform::Clock::time_point> pingTime() const;
    // Pings sent and ping replies received in this session. The server answers its stream in order,
    // so once more pings are answered than had gone when something was sent, the server has read it.
    std::uint64_t pingsSent() const;
    std::uint64_t pingsAnswered() const;
    // The server's clock: the last server time heard (a ping reply; the login's reply before the
    // first) and the moment its reply arrived. None before the server's first time.
    const std::optional<ServerClockAnchor>& serverClock() const;
    // The server's clock now, in wire form ("yyyyMMddHHmmss"), as every stamp of the session reads it.
    std::optional<std::string> ServerTime() const;
    // The server's clock as last heard, in wire form; "" before the first.
    std::string heardServerTime() const;
    std::int32_t networkSpeedStatus() const { return networkSpeedStatus_.load(); }
    bool isSnapshotLoaded() const { return snapshotLoaded_; }
    bool isLoginCompleted() const { return loginCompleted_; }

    // Where the login stands (main queue).
    LoginPhase loginPhase() const;

    // Main queue only.
    SessionModel& session() {
        TC_ASSERT_MAIN_QUEUE();
        return session_;
    }
    const SessionModel& session() const {
        TC_ASSERT_MAIN_QUEUE();
        return session_;
    }
    // The queries over the live collections.
    const SessionQueries& queries() const;
    // Whether the executed-positions query lists the search rows instead of the live positions.
    void setExecutedPositionState(bool searching);
    void clearExecutedOrderSearchCollection();
    // The typed events of this session (a sink that drops them when none was given).
    SessionEventSink& events() override { return *services_.events; }
    // Marks tables as changed; the event for everything marked goes out once per main-queue pass,
    // from a task of its own posted with the first mark, whatever number of messages marked them.
    void tablesChanged(interfaces::TableSet tables) override;
    void recordRewritten(std::shared_ptr<const Order> record) override;
    std::vector<std::string>& JournalDataCollection() {
        TC_ASSERT_MAIN_QUEUE();
        return journal_;
    }
    void appendJournal(std::string line) override;
    // The journal of the same user's session before this one, put ahead of this session's lines (the
    // newest kMaxJournalLines of both kept): what it recorded, the requests a lost line left without
    // an answer among them, stays readable after the sign-in again.
    void takeOverJournal(std::vector<std::string> lines);
    std::vector<std::string> selectedSymbols() const { return watchList_->selectedSymbols(); }
    WatchList& watchList() { return *watchList_; }
    SessionRequests& sessionRequests() { return requests_; }
    // The subscription set: watch list, open positions and pending orders, without repeats.
    std::vector<std::string> getAllItems();
    // Renews the feed subscription to every item of getAllItems (after an order-history reply).
    void SubscribePriceForHistoryData() { subscribeAllItems(true); }

    // What the data service filled beside the model (main queue only) and the chart replies kept for
    // this login (any thread; the store has its own lock).
    DataServiceCollections& dataServiceCollections() {
        TC_ASSERT_MAIN_QUEUE();
        return dataServiceCollections_;
    }
    const DataServiceCollections& dataServiceCollections() const {
        TC_ASSERT_MAIN_QUEUE();
        return dataServiceCollections_;
    }
    charts::ChartDataStore& chartDataCollection() { return chartDataCollection_; }
    // The order side: order rules, order requests and the live order lists, attached by the layer that
    // implements them (main queue, before the stream starts; owned from then on). Null until attached.
    void attachOrderSide(std::unique_ptr<OrderSide> side);
    OrderSide* orderSide() const { return orderSide_.get(); }
    // Where execution reports go: the order side given in the services, else the attached one; null
    // while there is neither (they are dropped then). The data service's order rows go to the rows
    // given in the services, else to the attached side.
    OrderSide* orderReports() const;
    HistoryRowSink* historyRows() const;
    // Follows the network watcher's reports (main queue).
    SessionNetworkWatch& networkWatch() { return *networkWatch_; }

    // The buy and sell depth ladders per instrument the feed delivered, and the instruments it quotes.
    MarketDepthStore& marketDepth() override {
        TC_ASSERT_MAIN_QUEUE();
        return marketDepth_;
    }
    const MarketDepthStore& marketDepth() const {
        TC_ASSERT_MAIN_QUEUE();
        return marketDepth_;
    }
    ItemCollectionMap& feedItems() override {
        TC_ASSERT_MAIN_QUEUE();
        return session_.ItemCollection;
    }

    // The guard of everything this object posts or leaves behind, for its parts to bind with.
    const platform::CallbackGuard::Scope& lifetime() const override { return guard_.scope(); }
    // Runs `work` on the main queue unless this object is gone by then (any thread); it counts against
    // the main queue's budget until it has run or been dropped.
    void postMain(std::function<void()> work) override;
    std::size_t pendingMainWork() const { return mainBudget_->outstanding(); }
    // How long one main-queue task runs the session's queued work before it lets other work go first
    // (kMainSlice); zero runs one item a time.
    void setMainSlice(std::chrono::steady_clock::duration slice);
    static constexpr std::chrono::steady_clock::duration kMainSlice = std::chrono::milliseconds(4);
    // The same after `delay` on the platform clock.
    void postMainAfter(platform::Clock::duration delay, std::function<void()> work) override;

    ConnectionBase& conn() { return *conn_; }
    interfaces::ApplicationInterface& application() override { return application_; }
    std::string textForKey(std::string_view key) const override;
    LoginInputData& loginData() const { return loginData_; }
    const BusinessServices& services() const { return services_; }

    // ConnectionOwner.
    void connectionDidReceiveMessage(std::string_view frameText) override;
    bool connectionDidReceiveReply(std::string_view frameText) override;
    void connectionLoginTimedOut() override;
    bool connectionHoldReading(std::function<void()> resume) override;
    void connectionDidReceiveFeedMessage(const std::string& text) override;
    void connectionDidConnectStream(bool demoRegistration) override;
    void connectionDidLoseStream(const std::optional<SocketError>& error) override;
    void connectionDidFailToConnect(const std::optional<SocketError>& error) override;
    void connectionKeepAliveDue() override;
    bool connectionSubscriptionsAllowed() const override;
    void connectionRequestFailed(const RequestMessage& request, std::string_view reasonKey) override;

    // RequestContext, WatchListContext and OrderHost.
    MessageSender& sender() override { return *this; }
    bool isStreamConnected() const override;
    bool isNetworkAvailable() const override;
    std::string serverTime() const override { return ServerTime().value_or(""); }
    JournalContext journalContext() const override;
    std::string userName() const override;
    std::string referenceId() const override { return ReferenceId(); }
    std::int32_t requestId() const override { return RequestId(); }
    std::int32_t userId() const override;
    std::uint64_t productId() const override;
    void requestAbandoned(const PendingRequest& request, std::string_view reasonKey) override;
    const SessionModel& model() const override { return session_; }
    SessionModel& model() override { return session_; }

private:
    // Receiving thread.
    void dispatch(std::string_view frameText, int depth);
    void processText(std::string_view text, int depth);
    // The stream's tags, and the room's, in one pass over the frame.
    static void readTags(std::string_view frameText, InboundMessage& message);
    // What only the receiving thread does with a message; false when nothing is left for the main queue.
    bool readOnReceivingThread(InboundMessage& message, int depth);
    // The rooms of the business object's own messages: the login road and its replies.
    void enterOwnMessages();
    // Main queue.
    void apply(InboundMessage& message);
    void applySessionValues(const StreamTags& tags, std::int64_t type);
    void handleLoginSnapshot(const std::shared_ptr<SessionModel>& snapshot);
    void handleLoginCompleted();
    void handleRelogin();
    // Receiving thread: the plain text of a sealed envelope, nothing when no key opens it.
    std::optional<std::string> openEnvelope(std::string_view sealed) const;
    void completeLoginOnMain();
    void handleLoginRefused(const std::shared_ptr<LoginInfoMessage>& loginInfo);
    void handlePingReply(const std::vector<std::string>& fields, platform::Clock::time_point arrivedAt);
    void endLogin(const std::string& reason);
    // Main queue: the wait after the unopened reply `mark` ran out; without a readable login reply
    // since, the login ends naming it.
    void unopenedReplyWaitOver(std::uint64_t mark);
    // The stream of a session that was under way or signed in ended: told once (main queue).
    void reportLoss();
    // A text of the user's language by key.
    void setLoginPhase(LoginPhase phase);
    void announceNetworkSpeed();
    // Each ping tick: the server is taken as not answering once its last answer is too old.
    void checkServerAnswering();
    // Signed in, answering, with an answer heard: pings wait for replies.
    bool awaitsAnswers() const;
    // Drops the pings a reply has followed.
    void dropAnsweredPings();
    // Not answering once the oldest ping waiting has waited kServerSilentAfter at `now`; until then a
    // check is armed for the moment it will have, so the limit holds to the moment, not to the tick.
    void judgeSilence(platform::Clock::time_point now);
    void armSilenceCheck(platform::Clock::time_point due);
    void silenceLimitReached(platform::Clock::time_point due);
    void flushTablesChanged();
    void markTables(interfaces::TableSet tables, bool rowsNamed);
    void subscribeAllItems(bool subscribe);

    interfaces::ApplicationInterface& application_;
    LoginInputData& loginData_;
    BusinessServices services_;
    // Filled while this object is made, read-only after.
    MessageRooms rooms_;
    // What this object posted or left behind stops once it is going (disconnected first thing in the
    // destructor).
    platform::CallbackGuard guard_;
    std::shared_ptr<platform::WorkBudget> mainBudget_ =
        platform::WorkBudget::create(kMainQueueHighWater, kMainQueueLowWater);
    // The session's main-queue work, in the order posted. One main-queue task at a time runs it for a
    // slice, then queues itself again behind what came meanwhile (paints, timers, ping checks), so a
    // burst of reports never holds the main queue for its whole length.
    struct MainLane {
        std::mutex mutex;
        std::deque<platform::Task> work;
        bool scheduled = false; // a turn is queued on the main queue
        std::chrono::steady_clock::duration slice = kMainSlice;
    };
    std::shared_ptr<MainLane> lane_ = std::make_shared<MainLane>();
    void scheduleLane();

    // The session values: main queue only.
    std::int32_t Requestid_ = 0;
    std::string Referenceid_;
    std::optional<platform::Clock::time_point> pingTime_;
    std::uint64_t pingsSent_ = 0;
    std::uint64_t pingsAnswered_ = 0;
    std::optional<ServerClockAnchor> serverClock_;
    // The stream's connection, not yet written to the journal: its line waits for the server's
    // clock (the login's reply) to be stamped with it, worked back to this moment.
    std::optional<platform::Clock::time_point> connectedUnstamped_;
    void writeConnectedLine();
    std::atomic<std::int32_t> networkSpeedStatus_{0};
    // Main queue: the last ping reply (or the login's completion), and whether the server has let
    // its replies wait past kServerSilentAfter since.
    std::optional<platform::Clock::time_point> lastServerAnswer_;
    // Main queue: when the pings not followed by a reply went out, oldest first. Silence counts from
    // the first of them, never from a stretch in which the client itself sent nothing (its main
    // thread held). A few seconds' worth is enough: the oldest decides.
    static constexpr std::size_t kMaxPingsAwaited = 16;
    std::deque<platform::Clock::time_point> pingsAwaited_;
    // Main queue: when the ping's tick last ran. A tick that comes long after it follows a hold of
    // the client's own (its main thread busy, or the whole program stopped, a reply perhaps still
    // unread in the socket): the time held is none of the server's silence.
    std::optional<platform::Clock::time_point> lastPingCheck_;
    // Main queue: the moment the armed silence check is due (none armed).
    std::optional<platform::Clock::time_point> silenceCheckAt_;
    // When the last ping reply came off the socket (Clock ticks since its epoch), stamped by the
    // receiving thread: a reply waiting behind a burst of reports is an answer all the same.
    std::atomic<platform::Clock::duration::rep> pingReplyReceived_{platform::Clock::duration::min().count()};
    bool serverSilent_ = false;
    bool snapshotLoaded_ = false;
    bool loginCompleted_ = false;
    bool endingLogin_ = false;
    // Set when a login ends or is refused, never cleared: what arrives after it is not applied.
    bool loginOver_ = false;
    std::atomic<bool> keepAlivePosted_{false};
    // Stream thread: the stream's login replies come under the product key (until its snapshot), and
    // its login is under way (until its completion or refusal is read).
    std::atomic<bool> loginRepliesUnderProductKey_{false};
    std::atomic<bool> streamLoginUnderWay_{false};
    // A reply of the login under way did not open; named if the login then runs out of time.
    std::atomic<bool> unopenedLoginReply_{false};
    // A login reply (snapshot, completion, refusal) was read after the last one that did not open.
    std::atomic<bool> loginReplyAfterUnopened_{false};
    // Moves at each new stream and each reply that does not open: a wait for a readable reply is
    // over only while it still names the latest one.
    std::atomic<std::uint64_t> unopenedReplyMark_{0};
    platform::Clock::duration unopenedReplyWait_{};
    // Main queue: the loss was reported (once per session); a dropped relogin request was logged.
    bool lossReported_ = false;
    bool reloginDropLogged_ = false;
    // Main queue: a password change was sent and its answer has not come.
    bool passwordChangeWaiting_ = false;
    // Main queue: a login of this session has completed; a connect that fails later ends a session.
    bool everSignedIn_ = false;

    // Main queue only.
    SessionModel session_;
    std::optional<SessionQueries> queries_;
    LoginPhase loginPhase_ = LoginPhase::SignedOut;
    interfaces::TableSet changedTables_;
    // Some order table was marked by a change that named none of its rows (a list loaded again).
    bool rowsUnnamed_ = false;
    std::vector<std::shared_ptr<const Order>> rewritten_;
    bool tablesFlushQueued_ = false;
    std::vector<std::string> journal_;
    MarketDepthStore marketDepth_;
    DataServiceCollections dataServiceCollections_;
    charts::ChartDataStore chartDataCollection_;
    std::unique_ptr<SessionNetworkWatch> networkWatch_;
    std::unique_ptr<OrderSide> orderSide_;
    SessionRequests requests_{*this};
    std::optional<WatchList> watchList_;
    std::unique_ptr<platform::RepeatingTimer> pingTimer_;
    mutable std::mutex timerLock_; // isPingTimerRunning from other threads
    std::mutex registrationLock_;  // set on the main queue, taken on the stream's queue
    std::optional<MessageBase> registration_;

    std::shared_ptr<ConnectionBase> conn_; // last: stopped first
};

} // namespace tc
