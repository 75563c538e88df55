#include "session/business/business_base.h"

#include "session/business/session_network_watch.h"

#include "model/collection_keys.h"
#include "model/records/account_details.h"
#include "model/text/journal_data.h"
#include "model/text/language_string.h"
#include "model/text/positional_text.h"
#include "platform/log.h"
#include "platform/user_defaults.h"
#include "session/business/session_events.h"
#include "wire/login_inputdata.h"
#include "wire/wire_date.h"
#include "wire/wire_names.h"

#include <iterator>
#include <stdexcept>
#include <utility>

namespace tc {

namespace msg = wire::msg;
namespace tag = wire::tag;

BusinessBase::BusinessBase(interfaces::ApplicationInterface& application, LoginInputData& loginData,
                           const ServiceWiring& wire, ConnectionOptions connectionOptions)
    : application_(application), loginData_(loginData),
      unopenedReplyWait_(std::chrono::duration_cast<platform::Clock::duration>(
          std::chrono::duration<double>(connectionOptions.unopenedLoginReplyWait))) {
    services_ = wire(*this);
    const std::pair<const void*, const char*> required[] = {
        {services_.notifications.get(), "notifications"},
        {services_.requests.get(), "requests"},
        {services_.chat.get(), "chat handlers"},
        {services_.funding.get(), "funding handlers"},
        {services_.dataService.get(), "data service"},
        {services_.feed.get(), "feed"},
        {services_.snapshotLoader.get(), "snapshot loader"},
        {services_.subscriptions.get(), "subscriptions"},
    };
    for (const auto& [service, name] : required)
        if (!service)
            throw std::invalid_argument(std::string("session wired without its ") + name);
    if (!services_.events)
        services_.events = std::make_shared<SessionEventSink>();
    // Each room enters the message types it handles; the order side may be attached later, so its
    // messages find it when they arrive.
    enterOwnMessages();
    enterOrderMessages(rooms_, [this] { return orderReports(); });
    for (SessionRoom* room : {static_cast<SessionRoom*>(services_.feed.get()), services_.dataService.get(),
                              static_cast<SessionRoom*>(services_.chat.get()),
                              static_cast<SessionRoom*>(services_.funding.get())})
        room->enterMessages(rooms_);
    watchList_.emplace(*this,
                       services_.userDefaults ? *services_.userDefaults : platform::UserDefaults::standard(),
                       [this](const std::vector<std::string>& codes, bool subscribe) {
                           conn_->ProcessSubscribeAndUnsubscribeItems(codes, subscribe);
                       });
    // The order side's closed positions are read live: it may be attached after this.
    queries_.emplace(session_,
                     SessionQuerySources{[this] {
                                             const OrderSide* side = orderReports();
                                             return side ? side->openPositionHistory() : nullptr;
                                         },
                                         &dataServiceCollections_,
                                         [&application] { return application.selectedLanguage(); }});
    conn_ = ConnectionBase::Create(*this, loginData_, *this, std::move(connectionOptions));
    networkWatch_ = std::make_unique<SessionNetworkWatch>(*this);
}

BusinessBase::~BusinessBase() {
    // Threads waiting for room on the main queue are let go, so they can be stopped.
    mainBudget_->close();
    // Receiving threads first: after this nothing calls back into this object.
    networkWatch_.reset();
    orderSide_.reset();
    conn_->Shutdown();
    guard_.disconnect();
    pingTimer_.reset();
}

void BusinessBase::attachOrderSide(std::unique_ptr<OrderSide> side) {
    orderSide_ = std::move(side);
}

OrderSide* BusinessBase::orderReports() const {
    return services_.orders ? services_.orders.get() : orderSide_.get();
}

bool BusinessBase::isStreamConnected() const {
    return conn_->IsStreamConnected();
}

bool BusinessBase::isNetworkAvailable() const {
    return conn_->isNetworkAvailable();
}

JournalContext BusinessBase::journalContext() const {
    return JournalContext::from(loginData_, application_.selectedLanguage(), ServerTime().value_or(""));
}

HistoryRowSink* BusinessBase::historyRows() const {
    if (services_.historyRows)
        return services_.historyRows.get();
    return orderSide_ ? &orderSide_->historyRows() : nullptr;
}

namespace {

// The lane's turn on the main queue. Dropped unrun (the main queue's work discarded), it takes the
// lane's work with it, as that work would have gone had it been queued on the main queue itself.
struct LaneTurn {
    std::function<void()> run;
    std::function<void()> dropped;
    bool ran = false;
    ~LaneTurn() {
        if (!ran && dropped)
            dropped();
    }
};

} // namespace

void BusinessBase::setMainSlice(std::chrono::steady_clock::duration slice) {
    std::lock_guard lock(lane_->mutex);
    lane_->slice = slice;
}

void BusinessBase::postMain(std::function<void()> work) {
    // The token goes with the work item, whether it runs or is dropped.
    platform::Task item(
        [token = mainBudget_->take(), work = guard_.bind(std::move(work))]() mutable { work(); });
    bool schedule = false;
    {
        std::lock_guard lock(lane_->mutex);
        lane_->work.push_back(std::move(item));
        schedule = !std::exchange(lane_->scheduled, true);
    }
    if (schedule)
        scheduleLane();
}

void BusinessBase::scheduleLane() {
    const std::weak_ptr<MainLane> weak = lane_;
    auto turn = std::make_shared<LaneTurn>();
    turn->dropped = [weak] {
        if (const std::shared_ptr<MainLane> lane = weak.lock()) {
            std::deque<platform::Task> gone;
            std::lock_guard lock(lane->mutex);
            gone.swap(lane->work);
            lane->scheduled = false;
        }
    };
    turn->run = [this, weak] {
        const std::shared_ptr<MainLane> lane = weak.lock();
        if (!lane)
            return;
        // Only what was queued when the turn began: work it posts waits for the next turn.
        std::size_t count = 0;
        std::chrono::steady_clock::duration slice{};
        {
            std::lock_guard lock(lane->mutex);
            count = lane->work.size();
            slice = lane->slice;
        }
        const auto start = std::chrono::steady_clock::now();
        for (std::size_t i = 0; i < count; ++i) {
            platform::Task task;
            {
                std::lock_guard lock(lane->mutex);
                if (lane->work.empty())
                    break;
                task = std::move(lane->work.front());
                lane->work.pop_front();
            }
            platform::runGuarded(task, "session");
            if (std::chrono::steady_clock::now() - start >= slice)
                break;
        }
        {
            std::lock_guard lock(lane->mutex);
            if (lane->work.empty()) {
                lane->scheduled = false;
                return;
            }
        }
        scheduleLane();
    };
    platform::MainQueue::async(guard_.bind([turn] {
        turn->ran = true;
        turn->run();
    }));
}

void BusinessBase::postMainAfter(platform::Clock::duration delay, std::function<void()> work) {
    platform::MainQueue::after(delay, guard_.bind(std::move(work)));
}

// ---- connection start, sending ----

void BusinessBase::StreamingConnection(bool demoRegistration) {
    const ConnectError error = demoRegistration ? conn_->ConnectToServer(true) : startLogin();
    if (error != ConnectError::None)
        endLogin(textForKey(unreachableKey(error)));
}

ConnectError BusinessBase::startLogin() {
    TC_ASSERT_MAIN_QUEUE();
    const ConnectError error = conn_->ConnectToServer(false);
    if (error == ConnectError::None)
        setLoginPhase(LoginPhase::Connecting);
    return error;
}

ConnectError BusinessBase::startDemoRegistration(MessageBase request) {
    TC_ASSERT_MAIN_QUEUE();
    {
        std::lock_guard lock(registrationLock_);
        registration_ = std::move(request);
    }
    return conn_->ConnectToServer(true);
}

void BusinessBase::disconnectServer() {
    conn_->DisconnectServer();
    postMain([this] {
        stopPingTimer();
        setLoginPhase(LoginPhase::SignedOut);
    });
}

LoginPhase BusinessBase::loginPhase() const {
    TC_ASSERT_MAIN_QUEUE();
    return loginPhase_;
}

void BusinessBase::setLoginPhase(LoginPhase phase) {
    if (loginPhase_ == phase)
        return;
    loginPhase_ = phase;
    if (orderSide_)
        orderSide_->loginPhaseChanged(phase);
    events().loginPhaseChanged(phase);
}

const SessionQueries& BusinessBase::queries() const {
    TC_ASSERT_MAIN_QUEUE();
    return *queries_;
}

void BusinessBase::setExecutedPositionState(bool searching) {
    TC_ASSERT_MAIN_QUEUE();
    if (std::exchange(dataServiceCollections_.isExecutedPositionSearch, searching) != searching)
        tablesChanged({interfaces::Table::ExecutedPositions});
}

void BusinessBase::clearExecutedOrderSearchCollection() {
    TC_ASSERT_MAIN_QUEUE();
    dataServiceCollections_.ExecutedOrderSearchCollection.clear();
    tablesChanged({interfaces::Table::ExecutedPositions});
}

void BusinessBase::tablesChanged(interfaces::TableSet tables) {
    markTables(tables, false);
}

void BusinessBase::recordRewritten(std::shared_ptr<const Order> record) {
    TC_ASSERT_MAIN_QUEUE();
    // Past a few hundred in one pass, reading every row is as quick as finding these.
    if (rewritten_.size() < kMaxRowsNamed)
        rewritten_.push_back(std::move(record));
    else
        rowsUnnamed_ = true;
}

void BusinessBase::markTables(interfaces::TableSet tables, bool rowsNamed) {
    TC_ASSERT_MAIN_QUEUE();
    using interfaces::Table;
    for (const Table table : {Table::OpenPositions, Table::PendingOrders, Table::SettledPositions,
                              Table::CancelledOrders, Table::ExecutedPositions})
        rowsUnnamed_ = rowsUnnamed_ || (!rowsNamed && tables.contains(table));
    changedTables_ |= tables;
    if (changedTables_.empty() || tablesFlushQueued_)
        return;
    // Posted now, it runs in the next pass: after everything the messages of this pass changed.
    tablesFlushQueued_ = true;
    postMain([this] { flushTablesChanged(); });
}

void BusinessBase::flushTablesChanged() {
    tablesFlushQueued_ = false;
    // One event for every table marked since the last flush: a flood of small messages must not make
    // an event each.
    interfaces::TableChange change(std::exchange(changedTables_, {}));
    change.rowsNamed = !std::exchange(rowsUnnamed_, false);
    change.rewritten = std::exchange(rewritten_, {});
    if (change.empty())
        return;
    if (orderSide_)
        orderSide_->tablesAboutToBeAnnounced(change);
    events().tablesChanged(change);
}

void BusinessBase::reconnectZMQAndSubscribeAllItems() {
    if (!conn_->IsStreamConnected())
        return;
    const std::string host = loginData_.IPAddress().value_or("");
    const std::shared_ptr<UserInfo> user = session_.userInfo;
    if (!user)
        return;
    conn_->ConnectToZMQSubServer(host, user->marketDepthPort);
    conn_->ConnectToZMQReqServer(host, user->hdServerPort);
    subscribeAllItems(true);
}

void BusinessBase::sendMessage(RequestMessage message) {
    if (message.isZMQ)
        conn_->sendZMQRequestMessage(std::move(message));
    else
        conn_->sendMessage(message.message);
}

std::string BusinessBase::envelopeKey(bool isInitialRequest) const {
    // The product key stays apart from the session key: a later login in the same run still opens.
    const std::optional<std::string> key =
        isInitialRequest ? loginData_.configuredSecurityKey() : loginData_.SecurityKey();
    return key.value_or("");
}

void BusinessBase::pingSent() {
    TC_ASSERT_MAIN_QUEUE();
    pingTime_ = platform::Clock::currentTime();
    ++pingsSent_;
    const bool awaits = awaitsAnswers();
    if (awaits)
        dropAnsweredPings();
    if (pingsAwaited_.size() < kMaxPingsAwaited)
        pingsAwaited_.push_back(*pingTime_);
    // The limit is checked at its own moment, not on whichever ping tick comes after it.
    if (awaits)
        armSilenceCheck(pingsAwaited_.front() + kServerSilentAfter);
}

std::string BusinessBase::userName() const {
    return loginData_.userName().value_or("");
}

std::int32_t BusinessBase::userId() const {
    TC_ASSERT_MAIN_QUEUE();
    return session_.userInfo ? session_.userInfo->UserId : 0;
}

std::uint64_t BusinessBase::productId() const {
    TC_ASSERT_MAIN_QUEUE();
    return session_.userInfo ? session_.userInfo->productID : 0;
}

void BusinessBase::pingToServer() {
    MessageBase ping;
    ping.setSender(this);
    ping.startRequest(msg::kPing);
    ping.setValue(tag::kRequestId, std::int64_t{RequestId()} + 1);
    ping.setValue(tag::kTime, wire::nowText());
    ping.BuildMessage();
}

void BusinessBase::writeConnectedLine() {
    const std::optional<platform::Clock::time_point> at = std::exchange(connectedUnstamped_, std::nullopt);
    if (!at)
        return;
    // Without a word from the server (the stream ended first) the computer's clock is all there is.
    appendJournal(services_.notifications->getLoginJournalData(
        0, serverClock_ ? wireDateTime(serverClock_->at(*at)) : std::string()));
}

void BusinessBase::appendJournal(std::string line) {
    TC_ASSERT_MAIN_QUEUE();
    // The connection's line first, whatever is written next: it happened before.
    if (connectedUnstamped_)
        writeConnectedLine();
    // A session that runs for months, or a server that repeats itself, must not grow it for ever.
    if (journal_.size() >= kMaxJournalLines)
        journal_.erase(journal_.begin(),
                       journal_.begin() + static_cast<std::ptrdiff_t>(kMaxJournalLines / 10));
    journal_.push_back(std::move(line));
    events().journalAppended(journal_.back());
    tablesChanged({interfaces::Table::Journal});
}

void BusinessBase::takeOverJournal(std::vector<std::string> lines) {
    TC_ASSERT_MAIN_QUEUE();
    if (lines.empty())
        return;
    const std::size_t room = kMaxJournalLines > journal_.size() ? kMaxJournalLines - journal_.size() : 0;
    if (lines.size() > room)
        lines.erase(lines.begin(), lines.end() - static_cast<std::ptrdiff_t>(room));
    lines.insert(lines.end(), std::make_move_iterator(journal_.begin()),
                 std::make_move_iterator(journal_.end()));
    journal_ = std::move(lines);
    tablesChanged({interfaces::Table::Journal});
}

// ---- session values (main queue: written by the inbound road in arrival order) ----

std::int32_t BusinessBase::RequestId() const {
    TC_ASSERT_MAIN_QUEUE();
    return Requestid_;
}

void BusinessBase::setRequestId(std::int32_t value) {
    TC_ASSERT_MAIN_QUEUE();
    Requestid_ = value;
}

std::string BusinessBase::ReferenceId() const {
    TC_ASSERT_MAIN_QUEUE();
    return Referenceid_;
}

std::optional<platform::Clock::time_point> BusinessBase::pingTime() const {
    TC_ASSERT_MAIN_QUEUE();
    return pingTime_;
}

std::uint64_t BusinessBase::pingsSent() const {
    TC_ASSERT_MAIN_QUEUE();
    return pingsSent_;
}

std::uint64_t BusinessBase::pingsAnswered() const {
    TC_ASSERT_MAIN_QUEUE();
    return pingsAnswered_;
}

const std::optional<ServerClockAnchor>& BusinessBase::serverClock() const {
    TC_ASSERT_MAIN_QUEUE();
    return serverClock_;
}

std::optional<std::string> BusinessBase::ServerTime() const {
    if (!serverClock())
        return std::nullopt;
    return wireDateTime(serverClock_->now());
}

std::string BusinessBase::heardServerTime() const {
    return serverClock() ? wireDateTime(serverClock_->server) : std::string();
}

// ---- connection owner ----

void BusinessBase::connectionDidReceiveMessage(std::string_view frameText) {
    NewMessage(frameText);
}

bool BusinessBase::connectionDidReceiveReply(std::string_view frameText) {
    // The request socket answers data-service, chart and keep-alive requests and nothing else: a
    // login, an envelope or an order report there is no reply, whatever it claims.
    const std::int64_t type = MessageBase::typeOfFrame(frameText);
    if (type != msg::kDataServiceReply && type != msg::kChartDataReply && type != msg::kControl) {
        platform::Log::warning("message type {} refused on the data-service channel", type);
        return false;
    }
    if (!platform::MainQueue::isMainThread())
        mainBudget_->waitForRoom(kMainQueueWaitLimit);
    dispatch(frameText, 0);
    return true;
}

void BusinessBase::connectionDidReceiveFeedMessage(const std::string& text) {
    // Decoded here; the feed handler moves the changes to the main queue, coalesced.
    // A text that throws is dropped; the feed goes on.
    if (!platform::MainQueue::isMainThread())
        mainBudget_->waitForRoom(kMainQueueWaitLimit);
    try {
        services_.feed->ZMQNewMessage(text);
    } catch (const std::exception& e) {
        platform::Log::warning("feed text dropped: {}", e.what());
    }
}

void BusinessBase::connectionDidConnectStream(bool demoRegistration) {
    if (demoRegistration) {
        // The form was read on the main queue before the connect; it goes out from here, on the
        // stream's queue, as the login request would.
        std::optional<MessageBase> request;
        {
            std::lock_guard lock(registrationLock_);
            request = std::exchange(registration_, std::nullopt);
        }
        if (request) {
            request->setSender(this);
            request->BuildMessage();
            request->setSender(nullptr);
        }
        return;
    }
    // Until its snapshot arrives, this stream's login replies are sealed (if at all) under the key its
    // login request used. An envelope that opens under neither key is dropped; the login ends naming
    // it when no readable login reply follows within the wait, or when the stream ends before the
    // completion. Set here, before the first read of this stream.
    loginRepliesUnderProductKey_.store(true);
    streamLoginUnderWay_.store(true);
    unopenedLoginReply_.store(false);
    loginReplyAfterUnopened_.store(false);
    ++unopenedReplyMark_;
    // Ahead of every message of this stream on the main queue: a new login sequence must bring its
    // own snapshot before its completion.
    postMain([this, at = platform::Clock::currentTime()] {
        snapshotLoaded_ = false;
        loginCompleted_ = false;
        endingLogin_ = false;
        connectedUnstamped_ = at;
        // A relogin's server clock is known: stamped at once. A first login's waits for its reply.
        if (serverClock_)
            writeConnectedLine();
    });
}

void BusinessBase::connectionDidLoseStream(const std::optional<SocketError>&) {
    // A stream that ends under a login whose reply could not be opened ends for that reason: the
    // server has said all it will, in a key the client does not hold.
    const bool unopened = streamLoginUnderWay_.load() && unopenedLoginReply_.load();
    postMain([this, unopened] {
        if (unopened && !loginCompleted_ && !loginOver_) {
            endLogin(textForKey(kUnopenedLoginReplyKey));
            return;
        }
        reportLoss();
    });
}

void BusinessBase::connectionDidFailToConnect(const std::optional<SocketError>& error) {
    const std::string reason = error ? error->description : std::string("no answer");
    postMain([this, reason] {
        // A first login or a demo registration that never reached its server lost nothing: it ends
        // and says so. A session that was signed in (a relogin's connect) has ended, which is a loss.
        const bool registration = conn_->IsDemoRegistration();
        if (!registration && (everSignedIn_ || loginPhase_ != LoginPhase::Connecting)) {
            reportLoss();
            return;
        }
        platform::Log::warning("the server cannot be reached: {}", reason);
        const std::string host = loginData_.IPAddress().value_or("");
        const std::string port = std::to_string(loginData_.PortNo());
        endLogin(fillPositional(textForKey(kServerUnreachableKey), {host, port}));
    });
}

void BusinessBase::reportLoss() {
    // Once per session, and never for one that already ended (signed out, login ended): the user
    // hears of it once, and nothing is reopened behind the report.
    if (lossReported_ || loginPhase_ == LoginPhase::SignedOut) {
        platform::Log::info("stream loss after the session ended; not reported");
        return;
    }
    lossReported_ = true;
    writeConnectedLine();
    conn_->DisconnectServer();
    stopPingTimer();
    // Every request still waiting for its answer is recorded beside its own line in the journal and
    // named in the alert: the server may have carried it out or not, and only the next sign-in shows.
    std::vector<std::string> unanswered =
        orderSide_ ? orderSide_->takeUnansweredRequests() : std::vector<std::string>();
    // The funding requests, named by kind, account and amount, so each can be looked for.
    if (services_.funding)
        for (std::string& request : services_.funding->takeUnansweredRequests())
            unanswered.push_back(std::move(request));
    // A password change: the next sign-in may take the new password rather than the one it replaced.
    if (std::exchange(passwordChangeWaiting_, false))
        unanswered.push_back(textForKey(kUnansweredPasswordChangeKey));
    // Beside them, the chat texts the server had not confirmed: they may not have reached the contact.
    if (services_.chat)
        for (std::string& text : services_.chat->takeUnconfirmedTexts())
            unanswered.push_back(std::move(text));
    const JournalContext journal = journalContext();
    for (const std::string& request : unanswered)
        appendJournal(JournalData::getSessionNoteJournalData(
            fillPositional(textForKey(kUnansweredRequestKey), {request}), journal));
    setLoginPhase(LoginPhase::Lost);
    application_.onConnectionLost(unanswered);
}

void BusinessBase::connectionLoginTimedOut() {
    // Behind whatever this stream delivered before: a completion already on its way still counts.
    postMain([this] {
        if (!loginCompleted_)
            endLogin(textForKey(unopenedLoginReply_.load() ? kUnopenedLoginReplyKey : kLoginTimedOutKey));
    });
}

void BusinessBase::unopenedReplyWaitOver(std::uint64_t mark) {
    if (mark != unopenedReplyMark_.load() || loginReplyAfterUnopened_.load() ||
        !streamLoginUnderWay_.load() || loginCompleted_ || loginOver_)
        return;
    endLogin(textForKey(kUnopenedLoginReplyKey));
}

bool BusinessBase::connectionHoldReading(std::function<void()> resume) {
    return mainBudget_->holdUntilRoom(std::move(resume));
}

void BusinessBase::connectionKeepAliveDue() {
    // Composed where every request is, with the session values as they stand; one is posted at a
    // time.
    if (keepAlivePosted_.exchange(true))
        return;
    postMain([this] {
        keepAlivePosted_.store(false);
        services_.requests->requestControlClientConnectMessage();
    });
}

bool BusinessBase::connectionSubscriptionsAllowed() const {
    TC_ASSERT_MAIN_QUEUE();
    const auto& accounts = session_.AccountDetailCollection;
    if (accounts.size() != 1)
        return true;
    const auto& account = accounts.begin()->second;
    return !(account && account->tradingStatus == 3);
}

void BusinessBase::connectionRequestFailed(const RequestMessage& request, std::string_view reasonKey) {
    if (request.requestSequence == 0)
        return;
    if (std::optional<PendingRequest> pending = requests_.pendingRequests().withdraw(request.requestSequence))
        requestAbandoned(*pending, reasonKey);
}

void BusinessBase::requestAbandoned(const PendingRequest& request, std::string_view reasonKey) {
    // Told in the user's language of the moment it is told.
    postMain(
        [this, request, key = std::string(reasonKey)] { events().requestFailed(request, textForKey(key)); });
}

std::vector<std::string> BusinessBase::getAllItems() {
    return services_.subscriptions->getAllItems();
}

void BusinessBase::subscribeAllItems(bool subscribe) {
    conn_->ProcessSubscribeAndUnsubscribeItems(getAllItems(), subscribe);
}

std::string BusinessBase::textForKey(std::string_view key) const {
    return LanguageString::stringForSelectedLanguage(application_.selectedLanguage(), key)
        .value_or(std::string(key));
}

void BusinessBase::endLogin(const std::string& reason) {
    // What the stream still delivers after the end (the completion behind a bad snapshot) is not a
    // second reason to tell the user.
    loginOver_ = true;
    if (std::exchange(endingLogin_, true)) {
        platform::Log::info("login already ended; also: {}", reason);
        return;
    }
    platform::Log::error("login ended: {}", reason);
    conn_->DisconnectServer();
    postMain([this, reason] {
        writeConnectedLine();
        stopPingTimer();
        setLoginPhase(LoginPhase::SignedOut);
        // Shown like a refusal: the login form comes back with the reason.
        application_.onLoginRefused(interfaces::LoginMessageAlert{reason, "0", std::nullopt});
    });
}

// ---- login sequence ----

void BusinessBase::handleLoginSnapshot(const std::shared_ptr<SessionModel>& snapshot) {
    appendJournal(services_.notifications->getLoginJournalData(1, ServerTime().value_or("")));
    if (!snapshot) {
        endLogin(textForKey(kUnreadableSnapshotKey));
        return;
    }
    session_ = std::move(*snapshot);
    snapshotLoaded_ = true;
    // Restored against the new instruments, before anything subscribes.
    watchList_->LoadItemsToWatchlist();
    if (loginPhase_ == LoginPhase::Connecting)
        setLoginPhase(LoginPhase::Loading);
}

void BusinessBase::handleRelogin() {
    // Only a signed-in session signs in again, and one relogin at a time: a burst of requests must not
    // churn the stream, and a session reported lost or signed out stays down.
    if (loginPhase_ != LoginPhase::SignedIn) {
        if (!std::exchange(reloginDropLogged_, true))
            platform::Log::warning("relogin request dropped: {}",
                                   loginPhase_ == LoginPhase::Lost || loginPhase_ == LoginPhase::SignedOut
                                       ? "the session has ended"
                                       : "a login is under way");
        return;
    }
    reloginDropLogged_ = false;
    platform::Log::info("the server asks for a new sign-in; the stream is reopened");
    stopPingTimer();
    // Out of "signed in" until the new stream's login completes.
    setLoginPhase(LoginPhase::Connecting);
    const ConnectError error = conn_->reloginToServer();
    if (error != ConnectError::None)
        endLogin(textForKey(unreachableKey(error)));
}

void BusinessBase::handleLoginCompleted() {
    if (!snapshotLoaded_) {
        endLogin(textForKey(kCompletionWithoutSnapshotKey));
        return;
    }
    if (std::exchange(loginCompleted_, true)) {
        platform::Log::warning("login completion repeated; ignored");
        return;
    }
    conn_->LoginDidComplete();
    completeLoginOnMain();
}

void BusinessBase::completeLoginOnMain() {
    std::shared_ptr<LoginInfoMessage> loginInfo;
    if (!session_.loginInfoMessageCollection.empty())
        loginInfo = session_.loginInfoMessageCollection.begin()->second;
    appendJournal(services_.notifications->getLoginJournalData(2, ServerTime().value_or("")));
    conn_->setIsNetworkAvailable(true);
    lastServerAnswer_ = platform::Clock::currentTime();
    serverSilent_ = false;
    pingsAwaited_.clear();
    lastPingCheck_.reset();
    startPingTimer();

    const std::string host = loginData_.IPAddress().value_or("");
    const std::shared_ptr<UserInfo> user = session_.userInfo;
    conn_->ConnectToZMQSubServer(host, user ? user->marketDepthPort : 0);
    conn_->ConnectToZMQReqServer(host, user ? user->hdServerPort : 0);

    LoginRequests& r = *services_.requests;
    r.requestOpenPosition();
    r.requestPendingOrders();
    r.requestSettledOrders();
    r.requestCancelledOrders();
    for (const auto& [id, account] : session_.AccountDetailCollection) {
        if (account && account->tradingStatus == 5)
            r.requestEquityPriceInfo(account->AccountId);
    }
    r.requestContactList();
    r.requestRecentConversation();
    r.requestOfflineMessages();
    r.requestAdvancedInstrumentInfo();
    r.requestResourceSearchForTypes({"CAL", "ICO"});
    r.requestApprovalRequest();
    r.requestFinancialApprovals();

    subscribeAllItems(true);
    everSignedIn_ = true;
    setLoginPhase(LoginPhase::SignedIn);
    services_.notifications->LoginSuccessNotification();
    if (loginInfo && loginInfo->ErrorCode == 15)
        services_.notifications->appUpdateNotification(loginInfo->Message);
}

void BusinessBase::handleLoginRefused(const std::shared_ptr<LoginInfoMessage>& loginInfo) {
    loginOver_ = true;
    disconnectServer();
    const std::int32_t code = loginInfo ? loginInfo->ErrorCode : 0;
    const std::int64_t language = application_.selectedLanguage();
    const auto textFor = [language](std::string_view key) {
        return LanguageString::stringForSelectedLanguage(language, key).value_or(std::string(key));
    };
    std::string_view key = "1004";
    std::string_view tag = "0";
    std::optional<std::string> url;
    if (code == 10) {
        key = "1087";
    } else if (code == 11) {
        key = "1088";
    } else if (code == 12) {
        key = "1089";
        // The address offered for the newer version is opened only when it is a web address.
        if (SessionEvents::IsOpenableURL(loginInfo->Message)) {
            tag = "3";
            url = loginInfo->Message;
        }
    }
    interfaces::LoginMessageAlert message{textFor(key), std::string(tag), std::move(url)};
    postMain([this, message = std::move(message), loginInfo] {
        if (loginInfo)
            SessionModel::file(session_.loginInfoMessageCollection, sessionKey(loginInfo->ErrorCode),
                               loginInfo, "loginInfoMessageCollection");
        application_.onLoginRefused(message);
    });
}

// ---- commands ----

interfaces::CommandResult BusinessBase::changePassword(std::string_view oldPassword,
                                                       std::string_view newPassword,
                                                       std::string_view confirmPassword) {
    TC_ASSERT_MAIN_QUEUE();
    const std::string current = loginData_.password().value_or("");
    const auto refuse = [this](std::string_view key) {
        return interfaces::CommandResult::refused(
            LanguageString::stringForSelectedLanguage(application_.selectedLanguage(), key)
                .value_or(std::string(key)));
    };
    if (oldPassword.empty() || newPassword.empty() || confirmPassword.empty())
        return refuse("20245");
    if (oldPassword != current)
        return refuse("20246");
    if (newPassword != confirmPassword)
        return refuse("20244");
    if (newPassword == current)
        return refuse("20247");
    if (!conn_->isNetworkAvailable())
        return refuse("1007");
    if (!requests_.changeMyPassword(oldPassword, newPassword))
        return refuse("93340");
    passwordChangeWaiting_ = true;
    return interfaces::CommandResult::done();
}

SentRequest BusinessBase::requestChartData(std::string_view instrument, std::string_view interval,
                                           std::int32_t bars) {
    TC_ASSERT_MAIN_QUEUE();
    setRequestId(static_cast<std::int32_t>(static_cast<std::uint32_t>(RequestId()) + 1u));
    return requests_.requestChartData(instrument, interval, bars);
}

} // namespace tc
