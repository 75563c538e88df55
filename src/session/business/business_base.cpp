#include "session/business/business_base.h"

#include "session/business/session_reachability.h"

#include "connection/envelope_key.h"
#include "connection/envelope_opener.h"
#include "connection/login_inputdata.h"
#include "connection/message_cracker.h"
#include "connection/wire_date.h"
#include "connection/wire_fields.h"
#include "connection/wire_names.h"
#include "platform/log.h"
#include "platform/user_defaults.h"
#include "session/business/session_events.h"
#include "session/business/session_reachability.h"
#include "session/model/collection_keys.h"
#include "session/records/account_details.h"
#include "session/records/order.h"
#include "session/text/formatter.h"
#include "session/text/language_string.h"

#include <algorithm>
#include <limits>
#include <set>

namespace tc {

namespace msg = wire::msg;
namespace report = wire::report;
namespace tag = wire::tag;

namespace {

std::int32_t clampToInt32(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

} // namespace

BusinessBase::BusinessBase(ApplicationInterface& application, BusinessServices services,
                           ConnectionOptions connectionOptions)
    : application_(application), logindata_(application.logindata()), services_(std::move(services)),
      watchList_(
          *this, services_.userDefaults ? *services_.userDefaults : platform::UserDefaults::standard(),
          [this](const std::vector<std::string>& codes, bool subscribe) {
              conn_->ProcessSubscribeandUnSubscribeItems(codes, subscribe);
          },
          platform::NotificationObject(static_cast<const BusinessBase*>(this))) {
    fillMissingServices(*this, services_);
    conn_ = ConnectionBase::create(*this, logindata_, *this, std::move(connectionOptions));
    reachability_ = std::make_unique<SessionReachability>(*this);
}

BusinessBase::~BusinessBase() {
    // Receiving threads first: after this nothing calls back into this object.
    reachability_.reset();
    orderSide_.reset();
    conn_->shutdown();
    *alive_ = false;
    pingTimer_.reset();
}

void BusinessBase::attachOrderSide(std::unique_ptr<OrderSide> side) {
    orderSide_ = std::move(side);
}

OrderCollectionHandlers* BusinessBase::orderReports() const {
    if (services_.orders)
        return services_.orders.get();
    return orderSide_ ? &orderSide_->executionReports() : nullptr;
}

HistoryRowSink* BusinessBase::historyRows() const {
    if (services_.historyRows)
        return services_.historyRows.get();
    return orderSide_ ? &orderSide_->historyRows() : nullptr;
}

std::function<void()> BusinessBase::whileAlive(std::function<void()> work) const {
    return [weak = std::weak_ptr<bool>(alive_), work = std::move(work)] {
        auto alive = weak.lock();
        if (alive && *alive)
            work();
    };
}

void BusinessBase::postMain(std::function<void()> work) {
    platform::MainQueue::async(whileAlive(std::move(work)));
}

void BusinessBase::postMainAfter(platform::Clock::duration delay, std::function<void()> work) {
    platform::MainQueue::after(delay, whileAlive(std::move(work)));
}

// ---- connection start, sending ----

void BusinessBase::StreamingConnection(bool demoRegistration) {
    const ConnectError error = conn_->ConnectToServer(demoRegistration);
    if (error != ConnectError::None)
        endLogin(std::string("The server cannot be reached: ") + describe(error) + ".");
}

void BusinessBase::disconnectServer() {
    conn_->DisconnectServer();
    postMain([this] { stopPingTimer(); });
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
    std::lock_guard lock(valuesLock_);
    pingTime_ = platform::Clock::currentTime();
}

std::string BusinessBase::userName() const {
    return logindata_.userName().value_or("");
}

std::int32_t BusinessBase::userId() const {
    return userId_.load();
}

std::uint64_t BusinessBase::productId() const {
    return productId_.load();
}

void BusinessBase::pingToserver() {
    MessageBase ping;
    ping.setSender(this);
    ping.startRequest(msg::kPing);
    ping.setValue(tag::kRequestId, std::int64_t{Requestid()} + 1);
    ping.setValue(tag::kTime, wire::nowText());
    ping.BuildMessage();
}

void BusinessBase::appendJournal(std::string line) {
    // A session that runs for months, or a server that repeats itself, must not grow it for ever.
    if (journal_.size() >= kMaxJournalLines)
        journal_.erase(journal_.begin(),
                       journal_.begin() + static_cast<std::ptrdiff_t>(kMaxJournalLines / 10));
    journal_.push_back(std::move(line));
}

// ---- session values ----

std::int32_t BusinessBase::Requestid() const {
    std::lock_guard lock(valuesLock_);
    return Requestid_;
}

void BusinessBase::setRequestid(std::int32_t value) {
    std::lock_guard lock(valuesLock_);
    Requestid_ = value;
}

std::string BusinessBase::Referenceid() const {
    std::lock_guard lock(valuesLock_);
    return Referenceid_;
}

std::optional<platform::Clock::time_point> BusinessBase::pingTime() const {
    std::lock_guard lock(valuesLock_);
    return pingTime_;
}

std::optional<platform::Date> BusinessBase::serverDate() const {
    std::lock_guard lock(valuesLock_);
    return serverDate_;
}

std::optional<std::string> BusinessBase::ServerTime() const {
    const std::optional<platform::Date> date = serverDate();
    if (!date)
        return std::nullopt;
    return wire::dateText(*date);
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
    // A new login sequence on this stream: it must bring its own snapshot before its completion.
    snapshotLoaded_.store(false);
    loginCompleted_.store(false);
    std::string line = services_.notifications->getLoginJournalData(0);
    postMain([this, line = std::move(line)] { appendJournal(line); });
}

void BusinessBase::connectionDidLoseStream(const std::optional<SocketError>&) {
    postMain([this] {
        stopPingTimer();
        application_.ConnectionFailureNotification();
    });
}

void BusinessBase::connectionKeepAliveDue() {
    services_.requests->requestControlClientConnectMessage();
}

bool BusinessBase::connectionSubscriptionsAllowed() const {
    // Read on the main queue, where the collections live; other callers get the permissive answer.
    if (!platform::MainQueue::isMainThread())
        return true;
    const auto& accounts = session_.AccountDetailCollection;
    if (accounts.size() != 1)
        return true;
    const auto& account = accounts.begin()->second;
    return !(account && account->tradingStatus == 3);
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
        // Shown like a refusal: the login form comes back with the reason.
        application_.showLoginMessages(LoginMessageAlert{reason, "0", std::nullopt});
    });
}

// ---- incoming road ----

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
    auto mb = std::make_shared<MessageBase>();
    std::int64_t type = 0;
    try {
        type = mb->loadFrame(frameText);
        const CommonTags tags = readCommonTags(mb->messageArray(), type);
        ProcessNewMessage(mb->messageArray(), type, mb, tags, depth);
    } catch (const std::exception& e) {
        platform::Log::warning("message type {} dropped: {}", type, e.what());
    } catch (...) {
        platform::Log::warning("message type {} dropped", type);
    }
    if (type != msg::kEnvelope && type != msg::kCompressed && type != msg::kPingReply)
        postMain([this] { services_.notifications->HistoryDataUpdateNotification(); });
}

CommonTags BusinessBase::readCommonTags(const std::vector<std::string>& fields, std::int64_t type) {
    CommonTags t;
    std::lock_guard lock(valuesLock_);
    for (const std::string& piece : fields) {
        const wire::Field f = wire::parseField(piece);
        if (!f.hasValue)
            continue;
        const std::string value(f.value);
        switch (f.tag) {
        case tag::kText:
            t.text = value;
            break;
        case tag::kReferenceId:
            if (type == msg::kLoginSnapshot)
                Referenceid_ = value;
            break;
        case tag::kRequestId:
        case tag::kOrderRequestId:
            Requestid_ = clampToInt32(MessageCracker::integerValue(value));
            break;
        case tag::kTime:
            serverTime_ = value;
            break;
        case tag::kUserName:
            t.userName = value;
            break;
        case tag::kSealedPayload:
            t.sealedPayload = value;
            break;
        case tag::kAccount:
            t.account = value;
            break;
        case tag::kReportStatus:
            t.reportStatus = MessageCracker::integerValue(value);
            break;
        case tag::kRejectionCode:
            t.rejectionCode = MessageCracker::integerValue(value);
            break;
        case tag::kRemainingQuantity:
            t.remainingQuantity = value;
            break;
        case tag::kPendingOrderId:
            t.pendingOrderId = value;
            break;
        case tag::kPositionId:
            t.positionId = value;
            break;
        case tag::kNotice:
            t.notice = value;
            break;
        case tag::kOffsetOrder:
            t.offsetOrder = value;
            break;
        case tag::kProcedure:
            t.procedure = value;
            break;
        case tag::kRecordText:
            t.recordText = value;
            break;
        case tag::kPayloadForm:
            t.payloadForm = value;
            break;
        case tag::kRoomName:
            t.roomName = value;
            break;
        case tag::kChatPartner:
            t.chatPartner = value;
            break;
        case tag::kBracketPositionId:
            t.bracketPositionId = value;
            break;
        case tag::kQueueId:
            t.queueId = value;
            break;
        case tag::kApprovalAction:
            t.approvalAction = MessageCracker::integerValue(value);
            break;
        case tag::kCompressedPayload:
            t.compressedField = piece;
            break;
        default:
            break;
        }
    }
    return t;
}

void BusinessBase::ProcessNewMessage(const std::vector<std::string>& fields, std::int64_t type,
                                     const std::shared_ptr<MessageBase>& mb, const CommonTags& tags,
                                     int depth) {
    const auto orEmpty = [](const std::optional<std::string>& v) { return v.value_or(""); };
    switch (type) {
    case msg::kLoginCompleted:
        handleLoginCompleted();
        break;
    case msg::kLoginSnapshot:
        handleLoginSnapshot(tags);
        break;
    case msg::kPasswordChangeReply:
        UpdateUserInfo(fields);
        break;
    case msg::kLoggedInElsewhere: {
        disconnectServer();
        postMain([this, message = orEmpty(tags.notice)] { application_.LogininAnotherLocation(message); });
        break;
    }
    case msg::kLoginRefused:
        handleLoginRefused(tags);
        break;
    case msg::kExecutionReport:
    case msg::kPositionSettled:
    case msg::kPositionReport:
        handleExecutionReport(type, fields, tags);
        break;
    case msg::kEnvelope: {
        if (depth >= kMaxEnvelopeDepth) {
            platform::Log::warning("envelope nested too deep; dropped");
            break;
        }
        const std::optional<std::string> plain =
            openEncryptedEnvelope(orEmpty(tags.sealedPayload), envelopeKey(false));
        if (plain)
            processText(*plain, depth + 1);
        else
            platform::Log::warning("encrypted envelope did not open; dropped");
        break;
    }
    case msg::kPayGateMasterReply:
        postMain([this, mb] { services_.funding->payGateMasterResponse(*mb); });
        break;
    case msg::kPayGateTransactionReply:
        postMain([this, mb] { services_.funding->payGateTransactionResponse(*mb); });
        break;
    case msg::kPayGateStatusReply:
        postMain([this, mb] { services_.funding->payGateStatusResponse(*mb); });
        break;
    case msg::kCompressed: {
        if (depth >= kMaxEnvelopeDepth) {
            platform::Log::warning("compressed message nested too deep; dropped");
            break;
        }
        const std::optional<std::string> plain = decompressedPayloadOfField(tags.compressedField);
        if (plain)
            processText(*plain, depth + 1);
        else
            platform::Log::warning("compressed message did not inflate; dropped");
        break;
    }
    case msg::kRoomCreation:
    case msg::kRoomCreationReply:
        postMain([this, fields, id = orEmpty(tags.chatPartner)] {
            services_.chat->FillChatRoomDetails(fields, id);
        });
        break;
    case msg::kChatMessage:
        postMain([this, fields, room = orEmpty(tags.roomName)] {
            services_.chat->FillChatMessages(fields, room);
        });
        break;
    case msg::kOfflineMessagesReply:
        postMain([this, fields] { services_.chat->FillOfflineMessages(fields); });
        break;
    case msg::kRoomMessagesReply:
        postMain([this, fields] { services_.chat->FillRoomMessage(fields); });
        break;
    case msg::kContactListReply:
        postMain([this, fields] { services_.chat->FillChatGroupsAndUsers(fields); });
        break;
    case msg::kChatUserStatus:
        postMain([this, fields, user = orEmpty(tags.userName)] {
            services_.chat->UpdateChatUserStatus(user, fields);
        });
        break;
    case msg::kRecentConversationReply:
        postMain([this, fields] { services_.chat->FillRecentConversation(fields); });
        break;
    case msg::kChatQueueReply:
        postMain([this, fields, queue = orEmpty(tags.queueId)] {
            services_.chat->UpdateChatResponseFromQueue(fields, queue);
            services_.notifications->ChatQueueStatusUpdateNotification();
        });
        break;
    case msg::kChatQueueStatus:
        postMain([this, fields, queue = orEmpty(tags.queueId)] {
            services_.chat->UpdateChatQueueStatus(fields, queue);
            services_.notifications->ChatQueueStatusUpdateNotification();
        });
        break;
    case msg::kApprovalReply:
        // A missing action code reads as 0, which no approval handler acts on.
        postMain([this, fields, action = tags.approvalAction.value_or(0)] {
            services_.funding->createApprovalAction(action, fields);
        });
        break;
    case msg::kPingReply:
        handlePingReply(fields);
        break;
    case msg::kDataServiceReply:
        services_.dataService->processDSResponse(tags.recordText, tags.compressedField, tags.procedure);
        break;
    case msg::kDemoRegistrationReply:
        DemoUserCreationResponse(fields);
        break;
    case msg::kRelogin: {
        const ConnectError error = conn_->reloginToServer();
        if (error != ConnectError::None)
            platform::Log::warning("relogin not started: {}", describe(error));
        break;
    }
    case msg::kChartDataReply:
        services_.dataService->fillChartData(tags.text, static_cast<std::uint32_t>(Requestid()));
        break;
    case msg::kAccountSummary:
        postMain([this, fields, id = orEmpty(tags.account)] { UpdateAccountDetails(fields, id); });
        break;
    case msg::kInstrumentStatus:
        postMain([this, fields] {
            services_.feed->messageCrackerOnInstrumentStatusChange(fields);
            services_.notifications->WatchlistTableNotification();
        });
        break;
    case msg::kCloseHedged:
        postMain([this] { services_.notifications->CloseHedgedPositionsNotification(); });
        break;
    default:
        break;
    }
}

// ---- login sequence ----

void BusinessBase::handleLoginSnapshot(const CommonTags& tags) {
    std::string line = services_.notifications->getLoginJournalData(1);
    postMain([this, line = std::move(line)] { appendJournal(line); });

    const bool isAmp = tags.payloadForm && *tags.payloadForm == "AMP";
    std::optional<SessionModel> model = services_.snapshotLoader->load(tags.compressedField, isAmp);
    if (!model) {
        endLogin("The login data sent by the server could not be read.");
        return;
    }
    // The key switches here, on the receiving thread, so the next envelope on it opens with it.
    std::string reference, time;
    {
        std::lock_guard lock(valuesLock_);
        reference = Referenceid_;
        time = serverTime_;
        model->Referenceid = Referenceid_;
        model->Requestid = Requestid_;
        model->serverTime = serverTime_;
    }
    const std::string key = GenerateNewEncryptionKey(logindata_.userName().value_or(""),
                                                     logindata_.password().value_or(""), reference, time);
    logindata_.setSecurityKey(key);
    snapshotLoaded_.store(true);
    auto shared = std::make_shared<SessionModel>(std::move(*model));
    postMain([this, shared] {
        session_ = std::move(*shared);
        if (session_.userInfo) {
            userId_.store(session_.userInfo->UserId);
            productId_.store(session_.userInfo->productID);
        }
        // Restored against the new instruments, before anything subscribes.
        watchList_.LoadItemstoWatchlist();
    });
}

void BusinessBase::handleLoginCompleted() {
    if (!snapshotLoaded_.load()) {
        endLogin("The server completed the login without sending the login data.");
        return;
    }
    if (loginCompleted_.exchange(true)) {
        platform::Log::warning("login completion repeated; ignored");
        return;
    }
    postMain([this] { completeLoginOnMain(); });
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
    services_.notifications->LoginSuccessNotification();
    if (loginInfo && loginInfo->ErrorCode == 15)
        services_.notifications->appUpdateNotification(loginInfo->Message);
}

void BusinessBase::handleLoginRefused(const CommonTags& tags) {
    disconnectServer();
    std::shared_ptr<LoginInfoMessage> loginInfo;
    if (tags.payloadForm && *tags.payloadForm == "AMP") {
        if (std::optional<SessionModel> model = services_.snapshotLoader->load(tags.compressedField, true)) {
            if (!model->loginInfoMessageCollection.empty())
                loginInfo = model->loginInfoMessageCollection.begin()->second;
        }
    }
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
    LoginMessageAlert message{textFor(key), std::string(tag), std::move(url)};
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
    // The request number as it stood when the report arrived, not when the main queue gets to it.
    postMain([this, type, fields, tags, requestId = Requestid()] {
        // Read by the handlers for a report that carries no request number of its own.
        reportRequestid_ = requestId;
        OrderCollectionHandlers* side = orderReports();
        if (!side) {
            platform::Log::debug("execution report dropped: no order side");
            return;
        }
        OrderCollectionHandlers& orders = *side;
        const std::string id79 = tags.pendingOrderId.value_or("");
        const int status = static_cast<int>(tags.reportStatus.value_or(0));
        if (type == msg::kPositionSettled) {
            orders.FillSettledOrderCollection(fields);
            return;
        }
        if (type == msg::kPositionReport) {
            if (status == report::kPositionUpdate)
                orders.UpdateOpenOrderCollection(tags.positionId.value_or(""), fields,
                                                 tags.remainingQuantity.value_or(""));
            else if (status == report::kPositionOpened)
                orders.FillOpenOrderCollection(fields);
            return;
        }
        switch (status) {
        case report::kPartlyFilled:
        case report::kEdited:
            orders.UpdatePendingOrderCollection(fields, id79);
            orders.ModifyBracketOrderUpdateonOpenOrderCollection(fields, tags.bracketPositionId, status);
            break;
        case report::kFullyFilled:
            orders.RemovePendingOrder(id79, true);
            orders.ModifyBracketOrderUpdateonOpenOrderCollection(fields, tags.bracketPositionId,
                                                                 report::kFullyFilled);
            break;
        case report::kCancelled: {
            orders.RemovePendingOrder(id79, true);
            orders.FillCancelledOrderCollection(requestId, report::kCancelled, fields);
            const std::optional<std::string> reference =
                tags.bracketPositionId ? tags.bracketPositionId
                                       : orders.refPositionIdOfRemovedPendingOrder(id79);
            orders.ModifyBracketOrderUpdateonOpenOrderCollection(fields, reference, report::kCancelled);
            break;
        }
        case report::kRejected:
            handleOrderRejected(fields, tags, requestId);
            break;
        case report::kExpired:
        case report::kSuspended:
            orders.ModifyBracketOrderUpdateonOpenOrderCollection(fields, tags.bracketPositionId, status);
            break;
        case report::kPending:
            orders.FillPendingOrderCollection(fields, id79);
            orders.ModifyBracketOrderUpdateonOpenOrderCollection(fields, tags.bracketPositionId,
                                                                 report::kPending);
            break;
        default:
            break;
        }
    });
}

void BusinessBase::handleOrderRejected(const std::vector<std::string>& fields, const CommonTags& tags,
                                       std::int32_t requestId) {
    OrderCollectionHandlers& orders = *orderReports();
    const std::string id79 = tags.pendingOrderId.value_or("");
    if (id79.empty()) {
        orders.FillCancelledOrderCollection(requestId, report::kRejected, fields);
        orders.RemovePendingOrder(sessionKey(requestId), false);
    } else {
        orders.FillCancelledOrderCollection(MessageCracker::integerValue(id79), report::kRejected, fields);
        orders.RemovePendingOrder(id79, true);
    }
    // A missing rejection code reads as 0: the general text.
    const std::string reason = orders.GetOrderRejectionReason(clampToInt32(tags.rejectionCode.value_or(0)));
    services_.notifications->OrderRejectionNotification(reason);
    services_.notifications->bulkCloseRejectedNotification(
        {{std::to_string(tag::kOffsetOrder), tags.offsetOrder.value_or("")},
         {std::to_string(tag::kText), reason}});
    if (!tags.bracketPositionId || tags.bracketPositionId->empty())
        orders.clearBracketOfRejectedOrder(id79);
    else
        orders.ModifyBracketOrderUpdateonOpenOrderCollection(fields, tags.bracketPositionId,
                                                             report::kRejected);
}

} // namespace tc
