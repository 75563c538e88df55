#pragma once
// The session object of one signed-in (or registering) user: it owns the server connection and the
// live session model, dispatches every incoming message, and is the only path by which a built
// request leaves the client.
//
// Threads. The stream thread ("NewQueue") and the request thread only frame, decrypt, inflate and
// parse; envelopes are opened on the thread that received them and their inner messages dispatched
// there, in order. A login snapshot is read into a fresh model on the receiving thread, the session
// key is switched right there (so the next envelope on that thread opens), and the model is handed
// over whole on the main queue. Every change to the collections happens on the main queue, and so
// does every notification. The session values that requests read while composing (Requestid,
// Referenceid, serverTime, pingTime, serverDate) are written on the receiving thread under a lock.
//
// Create and destroy it on the main thread (the one that pumps platform::RunLoop::main()).
#include "charts/chart_cache.h"
#include "connection/connection_base.h"
#include "connection/message_base.h"
#include "platform/clock.h"
#include "platform/date_format.h"
#include "platform/dispatch.h"
#include "session/application_interface.h"
#include "session/business/business_services.h"
#include "session/business/session_requests.h"
#include "session/business/watch_list.h"
#include "session/data_service/data_service_replies.h"
#include "session/feed/price_feed.h"
#include "session/model/session_model.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tc {

// The tags every incoming message is read for before it is handled (the last occurrence wins).
struct CommonTags {
    std::optional<std::string> text, userName, sealedPayload, account, remainingQuantity, pendingOrderId,
        positionId, notice, offsetOrder, procedure, recordText, payloadForm, roomName, chatPartner,
        bracketPositionId, queueId;
    std::optional<std::int64_t> reportStatus, rejectionCode, approvalAction;
    // The whole compressed-payload field as received ("1050=<Base64>"), empty when absent.
    std::string compressedField;
};

class SessionReachability;

class BusinessBase final : public MessageSender,
                           public ConnectionOwner,
                           public RequestContext,
                           public WatchListContext {
public:
    // How deep envelopes may nest inside envelopes before the inner ones are dropped.
    static constexpr int kMaxEnvelopeDepth = 4;
    // Journal lines kept; past it the oldest tenth goes.
    static constexpr std::size_t kMaxJournalLines = 100'000;

    BusinessBase(ApplicationInterface& application, BusinessServices services = {},
                 ConnectionOptions connectionOptions = {});
    ~BusinessBase() override;
    BusinessBase(const BusinessBase&) = delete;
    BusinessBase& operator=(const BusinessBase&) = delete;

    // Starts the stream; the login request (or the demo-registration hand-off) follows once it is up.
    // A server address or port that cannot be used ends the login at once with a clear error.
    void StreamingConnection(bool demoRegistration);
    void disconnectServer();
    void reconnectZMQandSubscribeAllItems();

    // MessageSender.
    void sendMessage(RequestMessage message) override;
    std::string envelopeKey(bool isInitialRequest) const override;
    void pingSent() override;

    // Incoming road: one framed message on the delivering thread; and a text of framed messages (an
    // envelope's content, a feed "IS;" message) dispatched in order on the calling thread.
    void NewMessage(std::string_view frameText);
    void ProcessMessage(std::string_view text);

    // Handlers of this object (called by the dispatcher; public for the windows' tests).
    void UpdateUserInfo(const std::vector<std::string>& fields);
    void DemoUserCreationResponse(const std::vector<std::string>& fields);
    // Main queue.
    void UpdateAccountDetails(const std::vector<std::string>& fields, const std::string& accountId);

    // Composes and sends the ping (type 1018) on the stream; the sender notes when it went out.
    void pingToserver();

    // Ping and network speed. The ping timer is one per session; it stops on disconnect and loss.
    void startPingTimer();
    void stopPingTimer();
    bool isPingTimerRunning() const;
    // Classifies the time since `since` (platform clock) and posts the server time on the main queue.
    void calculateNetworkSpeed(platform::Clock::time_point since);
    // The application's variant after a loss: measured from the last server date on the wall clock.
    void calculateNetworkSpeedFromServerDate();
    static std::int32_t networkSpeedClass(double elapsedSeconds);

    // The banner centre's delegate: the app-update banner's button.
    void userNotificationCenterDidActivateNotification(const std::map<std::string, std::string>& userInfo);

    // Session values (any thread).
    std::int32_t Requestid() const;
    void setRequestid(std::int32_t value);
    std::string Referenceid() const;
    std::optional<platform::Clock::time_point> pingTime() const;
    std::optional<platform::Date> serverDate() const;
    std::optional<std::string> ServerTime() const;
    std::int32_t networkspeedStatus() const { return networkspeedStatus_.load(); }
    bool isSnapshotLoaded() const { return snapshotLoaded_.load(); }
    bool isLoginCompleted() const { return loginCompleted_.load(); }

    // Main queue only.
    SessionModel& session() { return session_; }
    // The request number as it stood when the execution report now being handled arrived.
    std::int32_t reportRequestid() const { return reportRequestid_; }
    const SessionModel& session() const { return session_; }
    std::vector<std::string>& JournalDataCollection() { return journal_; }
    void appendJournal(std::string line);
    std::vector<std::string> selectedSymbols() const { return watchList_.selectedSymbols(); }
    WatchList& watchList() { return watchList_; }
    SessionRequests& sessionRequests() { return requests_; }
    // The subscription set: watch list, open positions and pending orders, without repeats.
    std::vector<std::string> getAllItems();
    // Renews the feed subscription to every item of getAllItems (after an order-history reply).
    void SubscribePriceforHistoryData() { subscribeAllItems(true); }

    // What the data service filled beside the model (main queue only) and the chart replies kept for
    // this login (any thread; the store has its own lock).
    DataServiceCollections& dataServiceCollections() { return dataServiceCollections_; }
    const DataServiceCollections& dataServiceCollections() const { return dataServiceCollections_; }
    charts::ChartDataStore& chartDataCollection() { return chartDataCollection_; }
    // The order side: order rules, order requests and the live order lists, attached by the layer that
    // implements them (main queue, before the stream starts; owned from then on). Null until attached.
    void attachOrderSide(std::unique_ptr<OrderSide> side);
    OrderSide* orderSide() const { return orderSide_.get(); }
    // Where execution reports and the data service's order rows go: the handlers given in the services,
    // else the attached order side; null while there is neither (they are dropped then).
    OrderCollectionHandlers* orderReports() const;
    HistoryRowSink* historyRows() const;
    // Follows the network watcher's reports (main queue).
    SessionReachability& reachability() { return *reachability_; }

    // The buy and sell depth ladders per instrument the feed delivered.
    MarketDepthStore& marketDepth() { return marketDepth_; }
    const MarketDepthStore& marketDepth() const { return marketDepth_; }

    // Runs `work` on the main queue unless this object is gone by then (any thread).
    void postMain(std::function<void()> work);
    // The same after `delay` on the platform clock.
    void postMainAfter(platform::Clock::duration delay, std::function<void()> work);

    ConnectionBase& conn() { return *conn_; }
    ApplicationInterface& application() { return application_; }
    LoginInputdata& logindata() const { return logindata_; }
    const BusinessServices& services() const { return services_; }

    // ConnectionOwner.
    void connectionDidReceiveMessage(std::string_view frameText) override;
    void connectionDidReceiveFeedMessage(std::string text) override;
    void connectionDidConnectStream(bool demoRegistration) override;
    void connectionDidLoseStream(const std::optional<SocketError>& error) override;
    void connectionKeepAliveDue() override;
    bool connectionSubscriptionsAllowed() const override;

    // RequestContext and WatchListContext.
    MessageSender& sender() override { return *this; }
    std::string userName() const override;
    std::string referenceId() const override { return Referenceid(); }
    std::int32_t requestId() const override { return Requestid(); }
    std::int32_t userId() const override;
    std::uint64_t productId() const override;
    const SessionModel& model() const override { return session_; }
    SessionModel& model() override { return session_; }

private:
    // `work` that does nothing once this object is gone.
    std::function<void()> whileAlive(std::function<void()> work) const;
    void dispatch(std::string_view frameText, int depth);
    void processText(std::string_view text, int depth);
    CommonTags readCommonTags(const std::vector<std::string>& fields, std::int64_t type);
    void ProcessNewMessage(const std::vector<std::string>& fields, std::int64_t type,
                           const std::shared_ptr<MessageBase>& mb, const CommonTags& tags, int depth);
    void handleLoginSnapshot(const CommonTags& tags);
    void handleLoginCompleted();
    void completeLoginOnMain();
    void handleLoginRefused(const CommonTags& tags);
    void handlePingReply(const std::vector<std::string>& fields);
    void handleExecutionReport(std::int64_t type, const std::vector<std::string>& fields,
                               const CommonTags& tags);
    void handleOrderRejected(const std::vector<std::string>& fields, const CommonTags& tags,
                             std::int32_t requestId);
    void endLogin(const std::string& reason);
    void subscribeAllItems(bool subscribe);

    ApplicationInterface& application_;
    LoginInputdata& logindata_;
    BusinessServices services_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

    mutable std::mutex valuesLock_;
    std::int32_t Requestid_ = 0;
    std::string Referenceid_;
    std::string serverTime_;
    std::optional<platform::Clock::time_point> pingTime_;
    std::optional<platform::Date> serverDate_;
    std::atomic<std::int32_t> networkspeedStatus_{0};
    std::atomic<bool> snapshotLoaded_{false};
    std::atomic<bool> loginCompleted_{false};
    std::atomic<bool> endingLogin_{false};

    // Main queue only.
    SessionModel session_;
    std::int32_t reportRequestid_ = 0;
    std::vector<std::string> journal_;
    MarketDepthStore marketDepth_;
    DataServiceCollections dataServiceCollections_;
    charts::ChartDataStore chartDataCollection_;
    std::unique_ptr<SessionReachability> reachability_;
    std::unique_ptr<OrderSide> orderSide_;
    SessionRequests requests_{*this};
    WatchList watchList_;
    // The product id and user id read by requests on any thread, copied at the hand-over.
    std::atomic<std::uint64_t> productId_{0};
    std::atomic<std::int32_t> userId_{0};
    std::unique_ptr<platform::RepeatingTimer> pingTimer_;
    mutable std::mutex timerLock_; // isPingTimerRunning from other threads

    std::shared_ptr<ConnectionBase> conn_; // last: stopped first
};

// Puts the minimal stand-ins (business_services.cpp) where the caller gave no implementation.
void fillMissingServices(BusinessBase& business, BusinessServices& services);

} // namespace tc
