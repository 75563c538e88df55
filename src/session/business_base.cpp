#include "session/business_base.h"

#include "session/session_reachability.h"

#include "connection/envelope_opener.h"
#include "connection/login_inputdata.h"
#include "connection/message_cracker.h"
#include "connection/wire_fields.h"
#include "orders/session_orders.h"
#include "platform/log.h"
#include "platform/user_defaults.h"
#include "session/account_details.h"
#include "session/formatter.h"
#include "session/language_string.h"
#include "session/order.h"
#include "session/session_events.h"
#include "session/session_key.h"
#include "session/session_keys.h"
#include "session/session_reachability.h"

#include <algorithm>
#include <limits>
#include <set>
#include <stdexcept>
#include <utility>

namespace {

std::int32_t clampToInt32(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

} // namespace

BusinessBase::BusinessBase(interfaces::ApplicationInterface& application, const ServiceWiring& wire,
                           ConnectionOptions connectionOptions)
    : application_(application), logindata_(application.logindata()) {
    services_ = wire(*this);
    const std::pair<const void*, const char*> required[] = {
        {services_.notifications.get(), "notifications"},    {services_.requests.get(), "requests"},
        {services_.orders.get(), "order handlers"},          {services_.chat.get(), "chat handlers"},
        {services_.funding.get(), "funding handlers"},       {services_.dataService.get(), "data service"},
        {services_.historyRows.get(), "history rows"},       {services_.feed.get(), "feed"},
        {services_.snapshotLoader.get(), "snapshot loader"}, {services_.subscriptions.get(), "subscriptions"},
    };
    for (const auto& [service, name] : required)
        if (!service)
            throw std::invalid_argument(std::string("session wired without its ") + name);
    if (!services_.events)
        services_.events = std::make_shared<SessionEventSink>();
    watchList_.emplace(
        *this, services_.userDefaults ? *services_.userDefaults : platform::UserDefaults::standard(),
        [this](const std::vector<std::string>& codes, bool subscribe) {
            conn_->ProcessSubscribeandUnSubscribeItems(codes, subscribe);
        },
        platform::NotificationObject(static_cast<const BusinessBase*>(this)));
    queries_.emplace(session_,
                     SessionQuerySources{services_.orders->openPositionHistory(), &dataServiceCollections_,
                                         [&application] { return application.selectedLanguage(); }});
    messageBase_.setSender(this);
    conn_ = ConnectionBase::create(*this, logindata_, *this, std::move(connectionOptions));
    reachability_ = std::make_unique<SessionReachability>(*this);
    orders_ = std::make_unique<SessionOrders>(*this);
}

BusinessBase::~BusinessBase() {
    // Receiving threads first: after this nothing calls back into this object.
    reachability_.reset();
    orders_.reset();
    conn_->shutdown();
    guard_.disconnect();
    pingTimer_.reset();
}

void BusinessBase::postMain(std::function<void()> work) {
    platform::MainQueue::async(guard_.bind(std::move(work)));
}

void BusinessBase::postMainAfter(platform::Clock::duration delay, std::function<void()> work) {
    platform::MainQueue::after(delay, guard_.bind(std::move(work)));
}

// ---- connection start, sending ----

void BusinessBase::StreamingConnection(bool, bool demoRegistration) {
    const ConnectError error = demoRegistration ? conn_->ConnectToServer(true) : startLogin();
    if (error != ConnectError::None)
        endLogin(std::string("The server cannot be reached: ") + describe(error) + ".");
}

ConnectError BusinessBase::startLogin() {
    TC_ASSERT_MAIN_QUEUE();
    const ConnectError error = conn_->ConnectToServer(false);
    if (error == ConnectError::None)
        setLoginPhase(LoginPhase::Connecting);
    return error;
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
    events().loginPhaseChanged(phase);
}

const SessionQueries& BusinessBase::queries() const {
    TC_ASSERT_MAIN_QUEUE();
    return *queries_;
}

void BusinessBase::sortOpenOrderCollection(const std::vector<OrderSortDescriptor>& descriptors) {
    TC_ASSERT_MAIN_QUEUE();
    sortOrderCollection(session_.OpenOrderCollection, descriptors);
}

void BusinessBase::sortPendingOrderCollection(const std::vector<OrderSortDescriptor>& descriptors) {
    TC_ASSERT_MAIN_QUEUE();
    sortOrderCollection(session_.PendingOrderCollection, descriptors);
}

void BusinessBase::sortCancelledOrderCollection(const std::vector<OrderSortDescriptor>& descriptors) {
    TC_ASSERT_MAIN_QUEUE();
    sortOrderCollection(session_.CancelledOrderCollection, descriptors);
}

void BusinessBase::sortSettledOrderCollection(const std::vector<OrderSortDescriptor>& descriptors) {
    TC_ASSERT_MAIN_QUEUE();
    sortOrderCollection(session_.SettledOrderCollection, descriptors);
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
    TC_ASSERT_MAIN_QUEUE();
    changedTables_ |= tables;
    if (changedTables_.empty() || tablesFlushQueued_)
        return;
    tablesFlushQueued_ = true;
    postMain([this] { flushTablesChanged(); });
}

void BusinessBase::flushTablesChanged() {
    tablesFlushQueued_ = false;
    const interfaces::TableSet tables = std::exchange(changedTables_, {});
    if (!tables.empty())
        events().tablesChanged(tables);
}

void BusinessBase::reconnectZMQandSubscribeAllItems() {
    if (!conn_->isStreamConnected())
        return;
    const std::string host = logindata_.IPAddress().value_or("");
    const std::shared_ptr<UserInfo> user = session_.userInfo;
    if (!user)
        return;
    conn_->ConnectToZMQSubServer(host, user->marketdepthPort);
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
        isInitialRequest ? logindata_.configuredSecurityKey() : logindata_.SecurityKey();
    return key.value_or("");
}

void BusinessBase::pingSent() {
    TC_ASSERT_MAIN_QUEUE();
    pingTime_ = platform::Clock::currentTime();
}

void BusinessBase::setMessageProperties(MessageBase& message) const {
    message.setValue(23, logindata_.userName().value_or(""));
    message.setValue(19, Referenceid());
    message.setValue(21, Formatter::setAmpFormat(platform::Date::now()));
}

std::string BusinessBase::userName() const {
    return logindata_.userName().value_or("");
}

std::int32_t BusinessBase::userId() const {
    TC_ASSERT_MAIN_QUEUE();
    return session_.userInfo ? session_.userInfo->UserId : 0;
}

std::uint64_t BusinessBase::productId() const {
    TC_ASSERT_MAIN_QUEUE();
    return session_.userInfo ? session_.userInfo->productID : 0;
}

void BusinessBase::pingToserver() {
    MessageBase ping;
    ping.setSender(this);
    ping.setMessagetype(1018);
    ping.setValue(10, std::int64_t{1018});
    ping.setValue(20, std::int64_t{Requestid()} + 1);
    ping.setValue(21, Formatter::setAmpFormat(platform::Date::now()));
    ping.BuildMessage();
}

void BusinessBase::appendJournal(std::string line) {
    TC_ASSERT_MAIN_QUEUE();
    // A session that runs for months, or a server that repeats itself, must not grow it for ever.
    if (journal_.size() >= kMaxJournalLines)
        journal_.erase(journal_.begin(),
                       journal_.begin() + static_cast<std::ptrdiff_t>(kMaxJournalLines / 10));
    journal_.push_back(std::move(line));
    events().journalAppended(journal_.back());
    tablesChanged({interfaces::Table::Journal});
}

// ---- session values (main queue: written by the inbound road in arrival order) ----

std::int32_t BusinessBase::Requestid() const {
    TC_ASSERT_MAIN_QUEUE();
    return Requestid_;
}

void BusinessBase::setRequestid(std::int32_t value) {
    TC_ASSERT_MAIN_QUEUE();
    Requestid_ = value;
}

std::string BusinessBase::Referenceid() const {
    TC_ASSERT_MAIN_QUEUE();
    return Referenceid_;
}

std::string BusinessBase::serverTime() const {
    TC_ASSERT_MAIN_QUEUE();
    return serverTime_;
}

std::optional<platform::Clock::time_point> BusinessBase::pingTime() const {
    TC_ASSERT_MAIN_QUEUE();
    return pingTime_;
}

std::optional<platform::Date> BusinessBase::serverDate() const {
    TC_ASSERT_MAIN_QUEUE();
    return serverDate_;
}

std::optional<std::string> BusinessBase::ServerTime() const {
    const std::optional<platform::Date> date = serverDate();
    if (!date)
        return std::nullopt;
    return Formatter::setAmpFormat(*date);
}

// ---- connection owner ----

void BusinessBase::connectionDidReceiveMessage(std::string_view frameText) {
    NewMessage(frameText);
}

void BusinessBase::connectionDidReceiveFeedMessage(std::string text) {
    // Decoded here; the feed handler moves the changes to the main queue, coalesced.
    // A text that throws is dropped; the feed goes on.
    try {
        services_.feed->ZMQNewMessage(text);
    } catch (const std::exception& e) {
        platform::Log::warning("feed text dropped: {}", e.what());
    }
}

void BusinessBase::connectionDidConnectStream(bool demoRegistration) {
    if (demoRegistration)
        return;
    // Ahead of every message of this stream on the main queue: a new login sequence must bring its
    // own snapshot before its completion.
    postMain([this] {
        snapshotLoaded_ = false;
        loginCompleted_ = false;
        appendJournal(services_.notifications->getLoginJournalData(0));
    });
}

void BusinessBase::connectionDidLoseStream(const std::optional<SocketError>&) {
    postMain([this] {
        stopPingTimer();
        setLoginPhase(LoginPhase::Lost);
        application_.ConnectionFailureNotification();
    });
}

void BusinessBase::connectionKeepAliveDue() {
    // Composed where every request is, with the session values as they stand; the request thread
    // asks again on every pass until one is queued, so one is posted at a time.
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

void BusinessBase::connectionRequestFailed(const RequestMessage& request, const std::string& reason) {
    if (request.requestSequence == 0)
        return;
    if (std::optional<PendingRequest> pending = requests_.pendingRequests().withdraw(request.requestSequence))
        requestAbandoned(*pending, reason);
}

void BusinessBase::requestAbandoned(const PendingRequest& request, const std::string& reason) {
    postMain([this, request, reason] { events().requestFailed(request, reason); });
}

std::vector<std::string> BusinessBase::getAllItems() {
    return services_.subscriptions->getAllItems();
}

void BusinessBase::subscribeAllItems(bool subscribe) {
    conn_->ProcessSubscribeandUnSubscribeItems(getAllItems(), subscribe);
}

void BusinessBase::endLogin(const std::string& reason) {
    platform::Log::error("login ended: {}", reason);
    conn_->DisconnectServer();
    postMain([this, reason] {
        stopPingTimer();
        setLoginPhase(LoginPhase::SignedOut);
        // Shown like a refusal: the login form comes back with the reason.
        application_.showLoginMessages(interfaces::LoginMessageAlert{reason, "0", std::nullopt});
    });
}

// ---- incoming road ----
//
// A receiving thread (stream, request socket, feed) frames, parses, opens envelopes, reads login
// snapshots and data-service replies, and posts one task per message to the main queue; the main
// queue applies the messages of each thread in the order that thread received them: the session
// values first, then the message's handler.

void BusinessBase::NewMessage(std::string_view frameText) {
    dispatch(frameText, 0);
}

void BusinessBase::ProcessMessage(std::string_view text) {
    processText(text, 0);
}

void BusinessBase::processText(std::string_view text, int depth) {
    // An envelope's content is whole frames; a tail without its frame end is dropped with the envelope.
    StreamDeframer deframer;
    deframer.feed(text, [this, depth](std::string_view frame) { dispatch(frame, depth); });
    if (deframer.pendingBytes() > 0)
        platform::Log::warning("unfinished frame of {} bytes dropped from an envelope",
                               deframer.pendingBytes());
}

void BusinessBase::dispatch(std::string_view frameText, int depth) {
    auto message = std::make_shared<InboundMessage>();
    message->arrivedAt = platform::Clock::currentTime();
    message->mb = std::make_shared<MessageBase>();
    try {
        message->type = message->mb->loadFrame(frameText);
        message->tags = readCommonTags(message->mb->messageArray(), message->type);
        if (!readOnReceivingThread(*message, depth))
            return;
    } catch (const std::exception& e) {
        platform::Log::warning("message type {} dropped: {}", message->type, e.what());
        message->failed = true;
    } catch (...) {
        platform::Log::warning("message type {} dropped", message->type);
        message->failed = true;
    }
    postMain([this, message] { apply(*message); });
}

bool BusinessBase::readOnReceivingThread(InboundMessage& message, int depth) {
    const CommonTags& tags = message.tags;
    switch (message.type) {
    case 76: {
        if (depth >= kMaxEnvelopeDepth) {
            platform::Log::warning("envelope nested too deep; dropped");
            return false;
        }
        const std::optional<std::string> plain =
            openEncryptedEnvelope(tags.t27.value_or(""), envelopeKey(false));
        if (plain)
            processText(*plain, depth + 1);
        else
            platform::Log::warning("encrypted envelope did not open; dropped");
        return false; // its messages are posted each in its turn; the envelope itself changes nothing
    }
    case 105: {
        if (depth >= kMaxEnvelopeDepth) {
            platform::Log::warning("compressed message nested too deep; dropped");
            return false;
        }
        const std::optional<std::string> plain = decompressedPayloadOfField(tags.field1050);
        if (plain)
            processText(*plain, depth + 1);
        else
            platform::Log::warning("compressed message did not inflate; dropped");
        return false;
    }
    case 33: {
        const bool isAmp = tags.t160 && *tags.t160 == "AMP";
        if (std::optional<SessionModel> model = services_.snapshotLoader->load(tags.field1050, isAmp)) {
            message.snapshot = std::make_shared<SessionModel>(std::move(*model));
            // The key switches here, so the next envelope on this thread opens with it. It comes from
            // this message's own reference id and server time, which the main queue takes over next.
            logindata_.setSecurityKey(GenerateNewEncryptionKey(logindata_.userName().value_or(""),
                                                               logindata_.password().value_or(""),
                                                               tags.t19.value_or(""), tags.t21.value_or("")));
        }
        return true;
    }
    case 47:
        if (tags.t160 && *tags.t160 == "AMP") {
            if (std::optional<SessionModel> model = services_.snapshotLoader->load(tags.field1050, true))
                if (!model->loginInfoMessageCollection.empty())
                    message.loginInfo = model->loginInfoMessageCollection.begin()->second;
        }
        return true;
    case 1024:
        message.applyReply = services_.dataService->processDSResponse(tags.t159, tags.field1050, tags.t151);
        return true;
    default:
        return true;
    }
}

interfaces::TableSet BusinessBase::tablesOf(std::int64_t type) {
    using interfaces::Table;
    switch (type) {
    case 33:
        return interfaces::TableSet::all();
    case 62:
    case 66:
    case 67:
    case 1024:
        return {Table::Accounts,         Table::OpenPositions,   Table::PendingOrders,
                Table::SettledPositions, Table::CancelledOrders, Table::ExecutedPositions};
    case 1045:
        return {Table::Accounts};
    default:
        return {};
    }
}

void BusinessBase::apply(InboundMessage& message) {
    if (!message.failed) {
        applySessionValues(message.tags, message.type);
        try {
            ProcessNewMessage(message);
        } catch (const std::exception& e) {
            platform::Log::warning("message type {} dropped: {}", message.type, e.what());
        } catch (...) {
            platform::Log::warning("message type {} dropped", message.type);
        }
    }
    if (message.type != 76 && message.type != 105 && message.type != 1019) {
        services_.notifications->HistoryDataUpdateNotification();
        tablesChanged(tablesOf(message.type));
    }
}

CommonTags BusinessBase::readCommonTags(const std::vector<std::string>& fields, std::int64_t type) {
    CommonTags t;
    for (const std::string& piece : fields) {
        const wire::Field f = wire::parseField(piece);
        if (!f.hasValue)
            continue;
        const std::string value(f.value);
        switch (f.tag) {
        case 17:
            t.t17 = value;
            break;
        case 19:
            if (type == 33)
                t.t19 = value;
            break;
        case 20:
        case 33:
            t.requestNumber = clampToInt32(MessageCracker::integerValue(value));
            break;
        case 21:
            t.t21 = value;
            break;
        case 23:
            t.t23 = value;
            break;
        case 27:
            t.t27 = value;
            break;
        case 34:
            t.t34 = value;
            break;
        case 73:
            t.t73 = MessageCracker::integerValue(value);
            break;
        case 74:
            t.t74 = MessageCracker::integerValue(value);
            break;
        case 76:
            t.t76 = value;
            break;
        case 79:
            t.t79 = value;
            break;
        case 80:
            t.t80 = value;
            break;
        case 105:
            t.t105 = value;
            break;
        case 125:
            t.t125 = value;
            break;
        case 151:
            t.t151 = value;
            break;
        case 159:
            t.t159 = value;
            break;
        case 160:
            t.t160 = value;
            break;
        case 502:
            t.t502 = value;
            break;
        case 503:
            t.t503 = value;
            break;
        case 573:
            t.t573 = value;
            break;
        case 1026:
            t.t1026 = value;
            break;
        case 1035:
            t.t1035 = MessageCracker::integerValue(value);
            break;
        case 1050:
            t.field1050 = piece;
            break;
        default:
            break;
        }
    }
    return t;
}

void BusinessBase::applySessionValues(const CommonTags& tags, std::int64_t type) {
    if (tags.requestNumber)
        Requestid_ = *tags.requestNumber;
    if (tags.t21)
        serverTime_ = *tags.t21;
    if (type == 33 && tags.t19)
        Referenceid_ = *tags.t19;
}

void BusinessBase::ProcessNewMessage(InboundMessage& message) {
    const std::vector<std::string>& fields = message.mb->messageArray();
    const CommonTags& tags = message.tags;
    const auto text = [](const std::optional<std::string>& v) { return v.value_or(""); };
    switch (message.type) {
    case 18:
        handleLoginCompleted();
        break;
    case 33:
        handleLoginSnapshot(message);
        break;
    case 38:
        UpdateUserInfo(fields);
        break;
    case 44:
        disconnectServer();
        application_.LogininAnotherLocation(text(tags.t105));
        break;
    case 47:
        handleLoginRefused(message.loginInfo);
        break;
    case 62:
    case 66:
    case 67:
        handleExecutionReport(message.type, fields, tags);
        break;
    case 94:
        services_.funding->payGateMasterResponse(*message.mb);
        break;
    case 96:
        services_.funding->payGateTransactionResponse(*message.mb);
        break;
    case 98:
        services_.funding->payGateStatusResponse(*message.mb);
        break;
    case 601:
    case 602:
        services_.chat->FillChatRoomDetails(fields, text(tags.t503));
        break;
    case 603:
        services_.chat->FillChatMessages(fields, text(tags.t502));
        break;
    case 614:
        services_.chat->FillOfflineMessages(fields);
        break;
    case 616:
        services_.chat->FillRoomMessage(fields);
        break;
    case 618:
        services_.chat->FillChatGroupsAndUsers(fields);
        break;
    case 619:
        services_.chat->UpdateChatUserStatus(text(tags.t23), fields);
        break;
    case 627:
        services_.chat->FillRecentConversation(fields);
        break;
    case 679:
        services_.chat->UpdateChatResponseFromQueue(fields, text(tags.t1026));
        services_.notifications->ChatQueueStatusUpdateNotification();
        break;
    case 680:
        services_.chat->UpdateChatQueueStatus(fields, text(tags.t1026));
        services_.notifications->ChatQueueStatusUpdateNotification();
        break;
    case 694:
        // A missing action code reads as 0, which no approval handler acts on.
        services_.funding->createApprovalAction(tags.t1035.value_or(0), fields);
        break;
    case 1019:
        handlePingReply(fields, message.arrivedAt);
        break;
    case 1024:
        if (message.applyReply)
            message.applyReply();
        break;
    case 1027:
        DemoUserCreationResponse(fields);
        break;
    case 1028: {
        const ConnectError error = conn_->reloginToServer();
        if (error != ConnectError::None)
            platform::Log::warning("relogin not started: {}", describe(error));
        break;
    }
    case 1041:
        // Keyed by the request number as it now stands: the chart raised it before asking.
        services_.dataService->fillChartData(tags.t17, static_cast<std::uint32_t>(Requestid_));
        break;
    case 1045:
        UpdateAccountDetails(fields, text(tags.t34));
        break;
    case 1049:
        services_.feed->messageCrackerOnInstrumentStatusChange(fields);
        services_.notifications->WatchlistTableNotification();
        break;
    case 1052:
        services_.notifications->CloseHedgedPositionsNotification();
        break;
    default:
        break;
    }
}

// ---- login sequence ----

void BusinessBase::handleLoginSnapshot(InboundMessage& message) {
    appendJournal(services_.notifications->getLoginJournalData(1));
    if (!message.snapshot) {
        endLogin("The login data sent by the server could not be read.");
        return;
    }
    session_ = std::move(*message.snapshot);
    message.snapshot.reset();
    snapshotLoaded_ = true;
    // Restored against the new instruments, before anything subscribes.
    watchList_->LoadItemstoWatchlist();
    if (loginPhase_ == LoginPhase::Connecting)
        setLoginPhase(LoginPhase::Loading);
}

void BusinessBase::handleLoginCompleted() {
    if (!snapshotLoaded_) {
        endLogin("The server completed the login without sending the login data.");
        return;
    }
    if (std::exchange(loginCompleted_, true)) {
        platform::Log::warning("login completion repeated; ignored");
        return;
    }
    completeLoginOnMain();
}

void BusinessBase::completeLoginOnMain() {
    std::shared_ptr<LoginInfoMessage> loginInfo;
    if (!session_.loginInfoMessageCollection.empty())
        loginInfo = session_.loginInfoMessageCollection.begin()->second;
    appendJournal(services_.notifications->getLoginJournalData(2));
    conn_->setIsNetworkAvailable(true);
    startPingTimer();

    const std::string host = logindata_.IPAddress().value_or("");
    const std::shared_ptr<UserInfo> user = session_.userInfo;
    conn_->ConnectToZMQSubServer(host, user ? user->marketdepthPort : 0);
    conn_->ConnectToZMQReqServer(host, user ? user->hdServerPort : 0);

    LoginRequests& r = *services_.requests;
    r.requestOpenPosition();
    r.requestPendingOrders();
    r.requestSettledOrders();
    r.requestCancelledOrders();
    for (const auto& [id, account] : session_.AccountDetailCollection) {
        if (account && account->tradingStatus == 5)
            r.requestEquityPriceinfo(account->AccountId);
    }
    r.requestContactlist();
    r.requestRecentConversation();
    r.requestOfflineMessages();
    r.requestAdvancedInstrumentInfo();
    r.requestResourceSearchForTypes({"CAL", "ICO"});
    r.requestApprovalRequest();
    r.requestFinancialApprovals();

    subscribeAllItems(true);
    setLoginPhase(LoginPhase::SignedIn);
    services_.notifications->LoginSuccessNotification();
    if (loginInfo && loginInfo->ErrorCode == 15)
        services_.notifications->appUpdateNotification(loginInfo->Message);
}

void BusinessBase::handleLoginRefused(const std::shared_ptr<LoginInfoMessage>& loginInfo) {
    disconnectServer();
    const std::int32_t code = loginInfo ? loginInfo->ErrorCode : 0;
    const std::int64_t language = application_.selectedLanguage();
    const auto textFor = [language](std::string_view key) {
        return LanguageString::stringforSelectedLanguage(language, key).value_or(std::string(key));
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
        if (SessionEvents::isOpenableURL(loginInfo->Message)) {
            tag = "3";
            url = loginInfo->Message;
        }
    }
    interfaces::LoginMessageAlert message{textFor(key), std::string(tag), std::move(url)};
    postMain([this, message = std::move(message), loginInfo] {
        if (loginInfo)
            SessionModel::file(session_.loginInfoMessageCollection, sessionKey(loginInfo->ErrorCode),
                               loginInfo, "loginInfoMessageCollection");
        application_.showLoginMessages(message);
    });
}

// ---- execution reports ----

void BusinessBase::handleExecutionReport(std::int64_t type, const std::vector<std::string>& fields,
                                         const CommonTags& tags) {
    // The request number as this report left it (reports are applied in arrival order).
    const std::int32_t requestId = Requestid_;
    {
        OrderCollectionHandlers& orders = *services_.orders;
        const std::string id79 = tags.t79.value_or("");
        const int status = static_cast<int>(tags.t73.value_or(0));
        if (type == 66) {
            orders.FillSettledOrderCollection(fields);
            return;
        }
        if (type == 67) {
            if (status == 73)
                orders.UpdateOpenOrderCollection(tags.t80.value_or(""), fields, tags.t76.value_or(""));
            else if (status == 74)
                orders.FillOpenOrderCollection(fields);
            return;
        }
        switch (status) {
        case 22:
        case 75:
            orders.UpdatePendingOrderCollection(fields, id79);
            orders.ModifyBracketOrderUpdateonOpenOrderCollection(fields, tags.t573, status);
            break;
        case 23:
            orders.RemovePendingOrder(id79, true);
            orders.ModifyBracketOrderUpdateonOpenOrderCollection(fields, tags.t573, 23);
            break;
        case 24: {
            orders.RemovePendingOrder(id79, true);
            orders.FillCancelledOrderCollection(requestId, 24, fields);
            const std::optional<std::string> reference =
                tags.t573 ? tags.t573 : orders.refPositionIdOfRemovedPendingOrder(id79);
            orders.ModifyBracketOrderUpdateonOpenOrderCollection(fields, reference, 24);
            break;
        }
        case 25:
            handleOrderRejected(fields, tags, requestId);
            break;
        case 26:
        case 27:
            orders.ModifyBracketOrderUpdateonOpenOrderCollection(fields, tags.t573, status);
            break;
        case 28:
            orders.FillPendingOrderCollection(fields, id79);
            orders.ModifyBracketOrderUpdateonOpenOrderCollection(fields, tags.t573, 28);
            break;
        default:
            break;
        }
    }
}

void BusinessBase::handleOrderRejected(const std::vector<std::string>& fields, const CommonTags& tags,
                                       std::int32_t requestId) {
    OrderCollectionHandlers& orders = *services_.orders;
    const std::string id79 = tags.t79.value_or("");
    if (id79.empty()) {
        orders.FillCancelledOrderCollection(requestId, 25, fields);
        orders.RemovePendingOrder(sessionKey(requestId), false);
    } else {
        orders.FillCancelledOrderCollection(MessageCracker::integerValue(id79), 25, fields);
        orders.RemovePendingOrder(id79, true);
    }
    // A missing rejection code reads as 0: the general text.
    const std::int32_t code = clampToInt32(tags.t74.value_or(0));
    const std::string reason = orders.GetOrderRejectionReason(code);
    events().orderRejected(code, reason, tags.t125.value_or(""));
    services_.notifications->OrderRejectionNotification(reason);
    services_.notifications->bulkCloseRejectedNotification({{"125", tags.t125.value_or("")}, {"17", reason}});
    if (!tags.t573 || tags.t573->empty())
        orders.clearBracketOfRejectedOrder(id79);
    else
        orders.ModifyBracketOrderUpdateonOpenOrderCollection(fields, tags.t573, 25);
}
