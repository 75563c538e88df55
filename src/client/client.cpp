// The client: the composition root of a session and the program's one road into it. It wires the
// real parts of the session (session_wiring.cpp), starts the internet watcher beside it, turns the
// session's events into the typed events of interfaces::Client and its parts and hands their commands
// to the part that answers them. It sets nothing process-wide: the program installs the product's
// text keys itself (interfaces::installProductTexts). The seam
// carries no wire text: tickets, offset legs and bracket prices go to the order layer as they are.
#include "client/client_factory.h"

#include "chat/session_chat.h"
#include "client/signal.h"
#include "connection/reachability_notifier.h"
#include "downloads/session_resources.h"
#include "funding/session_funding.h"
#include "model/account_figures.h"
#include "model/collection_keys.h"
#include "model/records/account_details.h"
#include "model/records/group_details.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "model/text/language_string.h"
#include "model/text/positional_text.h"
#include "news/news_service.h"
#include "orders/order_requests.h"
#include "orders/session_orders.h"
#include "platform/dispatch.h"
#include "platform/log.h"
#include "session/business/business_base.h"
#include "statements/session_statements.h"
#include "wire/login_inputdata.h"
#include "wire/message_builders.h"
#include "wire/record_text.h"
#include "wire/url_encoding.h"
#include "wire/wire_names.h"

#include <utility>

namespace tc {

namespace {

using interfaces::BulkCloseReport;
using interfaces::ChartArrival;
using interfaces::CommandResult;
using interfaces::LoginState;
using interfaces::NetworkSpeed;
using interfaces::OrderResult;
using interfaces::RequestFailure;
using interfaces::RequestId;
using platform::Decimal;

static_assert(static_cast<int>(LoginPhase::SignedOut) == static_cast<int>(LoginState::SignedOut) &&
              static_cast<int>(LoginPhase::Connecting) == static_cast<int>(LoginState::Connecting) &&
              static_cast<int>(LoginPhase::Loading) == static_cast<int>(LoginState::Loading) &&
              static_cast<int>(LoginPhase::SignedIn) == static_cast<int>(LoginState::SignedIn) &&
              static_cast<int>(LoginPhase::Lost) == static_cast<int>(LoginState::Lost));

LoginState stateOf(LoginPhase phase) {
    return static_cast<LoginState>(phase);
}

// What a request waiting on positions may do to them, as a window asking before a later one reads it.
interfaces::AwaitedPositions::Kind awaitedKind(RequestsInFlight::Kind kind) {
    using Awaited = interfaces::AwaitedPositions::Kind;
    switch (kind) {
    case RequestsInFlight::Kind::CloseAll:
        return Awaited::CloseAll;
    case RequestsInFlight::Kind::PositionEdit:
        return Awaited::PositionEdit;
    case RequestsInFlight::Kind::Offset:
        return Awaited::Offset;
    default:
        return Awaited::Close;
    }
}

// The subscribers of every event of one client and its parts.
struct Events {
    Signal<LoginState> loginState;
    Signal<interfaces::TableChange> tables;
    Signal<std::vector<std::string>> depth;
    Signal<RequestFailure> requestFailed;
    Signal<ChartArrival> chartArrived;
    Signal<NetworkSpeed> networkSpeed;
    Signal<std::string> journal;
    Signal<bool> passwordChanged; // the value is unused
    Signal<std::string> passwordRefused;
    Signal<interfaces::ScheduleArrival> schedule;
    Signal<interfaces::UserAccessArrival> userAccess;
    Signal<interfaces::UserAccessEdit> userAccessEdited;
    // orders
    Signal<BulkCloseReport> bulkClose;
    Signal<interfaces::RequestAnswer> requestAnswered;
    // funding
    Signal<interfaces::FundingReply> fundingReply;
    Signal<interfaces::FundingFailure> fundingFailure;
    Signal<interfaces::BankDetailsArrival> bankDetails;
    Signal<RequestId> fundingHistory;
    // chat, statements, resources
    Signal<interfaces::ChatChange> chatChanged;
    Signal<interfaces::NoticeArrival> notice;
    Signal<interfaces::StatementArrival> statement;
    Signal<interfaces::ResourceStored> resourceStored;
    Signal<interfaces::NewsLoad> newsLoaded;
    Signal<interfaces::DemoRegistrationResult> demoRegistered;
};

// The session's events as the client's: each is handed on from a main-queue task of its own (the
// table changes from the session's flush task, the depth from the feed's drain, the rest from one
// posted here), so a subscriber is
// never called back inside a command it is making, and never after the client is gone.
class EventRelay final : public SessionEventSink {
public:
    EventRelay(std::shared_ptr<Events> events, platform::CallbackGuard::Scope client,
               std::function<const DataServiceCollections&()> dataService)
        : events_(std::move(events)), client_(std::move(client)), dataService_(std::move(dataService)) {}

    template <typename T>
    void later(Signal<T> Events::*signal, T value) {
        platform::MainQueue::async(client_.bind(
            [events = events_, signal, value = std::move(value)] { ((*events).*signal).emit(value); }));
    }

    void loginPhaseChanged(LoginPhase phase) override { later(&Events::loginState, stateOf(phase)); }
    // The session's flush of table changes runs in a main-queue task of its own, never inside a
    // command: it calls the subscribers itself.
    void tablesChanged(const interfaces::TableChange& change) override {
        client_.bind([events = events_, change] { events->tables.emit(change); })();
    }
    // The feed's drain is a main-queue task of its own too, never inside a command.
    void depthApplied(const std::vector<std::string>& codes) override {
        client_.bind([events = events_, codes] { events->depth.emit(codes); })();
    }
    void requestFailed(const PendingRequest& request, const std::string& reason) override {
        later(&Events::requestFailed, RequestFailure{request.sequence, request.procedure, reason});
    }
    void chartArrived(std::uint64_t sequence, const std::string& key) override {
        later(&Events::chartArrived, ChartArrival{sequence, key});
    }
    void networkSpeedChanged(std::int32_t speedClass, const std::string& serverTime,
                             std::optional<platform::Clock::time_point> heardAt, bool answering) override {
        later(&Events::networkSpeed, NetworkSpeed{speedClass, serverTime, answering, heardAt});
    }
    void journalAppended(const std::string& line) override { later(&Events::journal, line); }
    void passwordChangeAnswered(bool accepted, const std::string& text) override {
        if (accepted)
            later(&Events::passwordChanged, true);
        else
            later(&Events::passwordRefused, text);
    }
    void demoUserCreated(bool registered, const std::string& userName, const std::string& password) override {
        later(&Events::demoRegistered, interfaces::DemoRegistrationResult{registered, userName, password});
    }
    void userAccessLoaded(std::uint64_t sequence, std::int32_t accountId) override {
        later(&Events::userAccess, interfaces::UserAccessArrival{sequence, accountId});
    }
    void userAccessEdited(std::uint64_t sequence, bool accepted) override {
        later(&Events::userAccessEdited, interfaces::UserAccessEdit{sequence, accepted});
    }
    void sessionScheduleArrived(std::uint64_t sequence, std::uint64_t marketId) override {
        later(&Events::schedule, interfaces::ScheduleArrival{sequence, marketId});
    }
    void bankDetailsArrived(std::uint64_t sequence) override {
        // The details as this reply left them: a later reply may replace them before the event runs.
        later(&Events::bankDetails, interfaces::BankDetailsArrival{sequence, dataService_().bankDetails});
    }
    void fundingHistoryArrived(std::uint64_t sequence) override { later(&Events::fundingHistory, sequence); }
    void statementCancelledOrdersArrived(std::uint64_t sequence) override {
        later(&Events::statement, interfaces::StatementArrival{sequence, true});
    }
    void bulkCloseSettled(const std::shared_ptr<Order>& settlement) override {
        later(&Events::bulkClose, BulkCloseReport{BulkCloseReport::Kind::Settled, settlement, {}, {}});
    }
    void bulkCloseRejected(const std::string& orderNumber, const std::string& reason) override {
        later(&Events::bulkClose,
              BulkCloseReport{BulkCloseReport::Kind::Rejected, nullptr, orderNumber, reason});
    }
    void requestAnswered(std::uint64_t request, bool rejected, const std::string& code,
                         const std::string& reason, bool late, const std::string& position,
                         const std::string& account, const std::string& whatIsKnown,
                         bool closedByOne) override {
        const bool known = whatIsKnown.empty();
        later(&Events::requestAnswered,
              interfaces::RequestAnswer{request, known && !rejected, known && rejected ? code : std::string(),
                                        known ? reason : std::string(), late, position, account, known,
                                        whatIsKnown, !known && closedByOne});
    }

private:
    std::shared_ptr<Events> events_;
    platform::CallbackGuard::Scope client_;
    std::function<const DataServiceCollections&()> dataService_;
};

// The most positions one close-all request may carry: the server's limit where the login's server
// list names it for the mode, never above the client's own cap.
std::size_t closeAllLimitOf(const LoginInputData& login, std::string_view section) {
    const auto value = login.getLoginValueForMode(section, "CloseAllPositionLimit");
    const std::int64_t n = value ? value->asInt() : 0;
    return n > 0 && static_cast<std::size_t>(n) < OrderRequests::kMaxCloseAllPositions
               ? static_cast<std::size_t>(n)
               : OrderRequests::kMaxCloseAllPositions;
}

// What the parts share of the client: the session and its parts, the events and the refusal answer.
struct ClientCore {
    interfaces::ApplicationInterface& application;
    std::shared_ptr<Events> events = std::make_shared<Events>();
    std::shared_ptr<EventRelay> relay;
    std::unique_ptr<LoginInputData> login = std::make_unique<LoginInputData>();
    std::unique_ptr<BusinessBase> business;
    SessionOrders* orders = nullptr; // owned by business, as are the four below
    funding::SessionFunding* funding = nullptr;
    chat::SessionChat* chat = nullptr;
    statements::SessionStatements* statements = nullptr;
    SessionResources* resources = nullptr;

    // The most positions one close-all request may carry, for the mode signed in to.
    std::size_t closeAllLimit = OrderRequests::kMaxCloseAllPositions;

    explicit ClientCore(interfaces::ApplicationInterface& app) : application(app) {}
    SessionRequests& requests() { return business->sessionRequests(); }
    std::string text(std::string_view key) const {
        return LanguageString::stringForSelectedLanguage(application.selectedLanguage(), key)
            .value_or(std::string(key));
    }
};

class OrdersPart final : public interfaces::Orders {
public:
    explicit OrdersPart(ClientCore& core) : core_(core) {}

    OrderResult checkOrder(const interfaces::OrderTicket& ticket) override {
        return answer(tickets().check(ticket));
    }
    OrderResult placeOrder(const interfaces::OrderTicket& ticket) override {
        return answer(tickets().place(ticket));
    }
    interfaces::PriceLimit entryPriceLimit(const interfaces::OrderTicket& ticket) const override {
        return core_.orders ? core_.orders->tickets().entryPriceLimit(ticket) : interfaces::PriceLimit{};
    }
    interfaces::PriceLimit takeProfitLimit(const interfaces::OrderTicket& ticket) const override {
        return core_.orders ? core_.orders->tickets().takeProfitLimit(ticket) : interfaces::PriceLimit{};
    }
    interfaces::PriceLimit stopLossLimit(const interfaces::OrderTicket& ticket) const override {
        return core_.orders ? core_.orders->tickets().stopLossLimit(ticket) : interfaces::PriceLimit{};
    }
    OrderResult placeMultiAccountOrder(const interfaces::OrderTicket& ticket,
                                       std::span<const interfaces::AccountQuantity> accounts) override {
        return answer(tickets().placeForAccounts(ticket, accounts));
    }
    OrderResult closePosition(std::string_view positionId, const Decimal& quantity,
                              std::optional<std::int32_t> deviation) override {
        return answer(requests().ClosePosition(positionId, quantity, deviation));
    }
    OrderResult editPositionBrackets(std::string_view positionId, std::optional<Decimal> takeProfit,
                                     std::optional<Decimal> stopLoss) override {
        return answer(requests().EditPositionBrackets(positionId, takeProfit, stopLoss));
    }
    OrderResult editPendingOrder(std::string_view pendingOrderId, const Decimal& quantity,
                                 const Decimal& price, std::optional<Decimal> takeProfit,
                                 std::optional<Decimal> stopLoss) override {
        return answer(requests().EditPendingOrder(pendingOrderId, quantity, price, takeProfit, stopLoss));
    }
    OrderResult checkPositionBrackets(std::string_view positionId, std::optional<Decimal> takeProfit,
                                      std::optional<Decimal> stopLoss) override {
        return answer(requests().CheckPositionBrackets(positionId, takeProfit, stopLoss));
    }
    OrderResult checkPendingOrderEdit(std::string_view pendingOrderId, const Decimal& quantity,
                                      const Decimal& price, std::optional<Decimal> takeProfit,
                                      std::optional<Decimal> stopLoss) override {
        return answer(
            requests().CheckPendingOrderEdit(pendingOrderId, quantity, price, takeProfit, stopLoss));
    }
    OrderResult cancelPendingOrder(std::string_view pendingOrderId) override {
        return answer(requests().CancelPendingOrder(pendingOrderId));
    }
    std::vector<OrderResult> checkClosePositions(std::span<const std::string> positionIds) override {
        std::vector<OrderResult> results;
        results.reserve(positionIds.size());
        for (OrderAnswer& checked : requests().ValidatePositionsForCloseAll(positionIds))
            results.push_back(answer(std::move(checked)));
        return results;
    }
    OrderResult closeAllPositions(std::span<const std::string> positionIds,
                                  interfaces::CloseAllScope scope) override {
        // The server would refuse it whole: said here, before anything is sent.
        if (positionIds.size() > core_.closeAllLimit)
            return OrderResult::refused(
                "94601", fillPositional(core_.text("94601"), {std::to_string(core_.closeAllLimit),
                                                              std::to_string(positionIds.size())}));
        return answer(requests().CloseAllPositions(positionIds, scope));
    }
    std::size_t closeAllLimit() const override { return core_.closeAllLimit; }
    std::vector<interfaces::AwaitedPositions> requestsOnPositions() const override {
        std::vector<interfaces::AwaitedPositions> awaited;
        if (!core_.orders)
            return awaited;
        using Kind = RequestsInFlight::Kind;
        for (const RequestsInFlight::Request& r : core_.orders->requests().inFlight().list())
            // A pending order's edit names an order, not a position; a new order none yet.
            if (r.kind != Kind::NewOrder && r.kind != Kind::MultiAccount && r.kind != Kind::OrderEdit &&
                !r.targets.empty())
                awaited.push_back({r.number, r.description, r.targets, awaitedKind(r.kind)});
        return awaited;
    }
    OrderResult offsetPosition(std::string_view positionId,
                               std::span<const interfaces::OffsetLeg> legs) override {
        return answer(requests().offsetPosition(positionId, legs));
    }

    std::unique_ptr<interfaces::Handler> handleBulkCloseReport(BulkCloseFn fn) override {
        return core_.events->bulkClose.connect(std::move(fn));
    }
    void giveUpRequest(std::uint64_t request) override {
        if (core_.orders && request != 0)
            core_.orders->giveUpRequest(request);
    }
    std::unique_ptr<interfaces::Handler> handleRequestAnswered(RequestAnsweredFn fn) override {
        return core_.events->requestAnswered.connect(std::move(fn));
    }

private:
    OrderRequests& requests() { return core_.orders->requests(); }
    OrderTickets& tickets() { return core_.orders->tickets(); }

    // Hands on what a request came to: its number once sent, the refusal to the caller alone.
    static OrderResult answer(OrderAnswer answer) {
        return answer ? OrderResult::wasSent(answer.request)
                      : OrderResult::refused(std::move(answer.key), std::move(answer.text));
    }

    ClientCore& core_;
};

class FundingPart final : public interfaces::Funding {
public:
    explicit FundingPart(ClientCore& core) : core_(core) {}

    interfaces::FundingRules rules() const override {
        const LoginInputData& login = *core_.login;
        return {login.canSpecifyBankDetails(), login.canWithdrawFloatingPL(), login.minimumBalance()};
    }
    interfaces::WithdrawalFigures withdrawalFigures(std::int32_t accountId) const override {
        // The account's figures of this moment, as every window shows them.
        const auto account = accountFiguresOf(core_.business->session(), accountId);
        if (!core_.funding || !account)
            return {};
        return funding::withdrawalFigures(*account, funding::pendingWithdrawals(collections(), accountId),
                                          rules());
    }
    std::string paymentPageAddress(std::uint64_t requestId) const override {
        if (!core_.funding)
            return {};
        const auto* held = core_.funding->collections().payGateTransactions.get(std::to_string(requestId));
        if (!held || !*held || !(*held)->payGate || (*held)->payGate->systemWebURL.empty())
            return {};
        const funding::PayGateTransaction& tx = **held;
        const auto key = URLEncoding::stringByAddingPercentEncodingForRFC3986(tx.transactionKey);
        if (!key)
            return {};
        return tx.payGate->systemWebURL + "?p1=" + std::to_string(tx.requestId) +
               "&p2=" + std::to_string(tx.requestedByUserId) + "&p3=" + *key;
    }
    const funding::FundingCollections& collections() const override {
        static const funding::FundingCollections none;
        return core_.funding ? core_.funding->collections() : none;
    }
    interfaces::FundingRequestSent requestDeposit(const funding::NewDeposit& deposit) override {
        if (!core_.funding)
            return unavailable();
        return core_.funding->sendDepositRequest(deposit);
    }
    interfaces::FundingRequestSent requestWithdrawal(const funding::NewWithdrawal& withdrawal) override {
        if (!core_.funding)
            return unavailable();
        return core_.funding->sendWithdrawalRequest(withdrawal);
    }
    void giveUpRequest(std::uint64_t ticket) override {
        if (core_.funding)
            core_.funding->giveUpRequest(ticket);
    }
    RequestId requestPayGateSettings() override {
        return core_.funding ? core_.funding->requestGetAllPayGateSettings() : 0;
    }
    RequestId requestBankDetails(std::int32_t accountId) override {
        const auto* account = core_.business->session().AccountDetailCollection.get(sessionKey(accountId));
        if (!account || !*account)
            return 0;
        return core_.requests().requestBankDetails(**account).sequence;
    }
    RequestId requestFinancialTransactions(const SearchInfo& search) override {
        return core_.requests().requestFinancialTransactions(search).sequence;
    }

    std::unique_ptr<interfaces::Handler> handleFundingReply(ReplyFn fn) override {
        return core_.events->fundingReply.connect(std::move(fn));
    }
    std::unique_ptr<interfaces::Handler> handleFundingFailure(FailureFn fn) override {
        return core_.events->fundingFailure.connect(std::move(fn));
    }
    std::unique_ptr<interfaces::Handler> handleBankDetails(BankDetailsFn fn) override {
        return core_.events->bankDetails.connect(std::move(fn));
    }
    std::unique_ptr<interfaces::Handler> handleFundingHistory(HistoryFn fn) override {
        return core_.events->fundingHistory.connect(std::move(fn));
    }

private:
    CommandResult unavailable() const { return CommandResult::refused(core_.text("93333")); }
    ClientCore& core_;
};

class ChatPart final : public interfaces::Chat {
public:
    explicit ChatPart(ClientCore& core) : core_(core) {}

    const chat::ChatCollections& collections() const override {
        static const chat::ChatCollections none;
        return core_.chat ? core_.chat->Collections() : none;
    }
    CommandResult sendChat(std::string_view roomKey, std::string_view text) override {
        return core_.chat ? core_.chat->SendChat(roomKey, text) : unavailable();
    }
    CommandResult createChatRoom(std::string_view roomKey) override {
        return core_.chat ? core_.chat->CreateRoomForChat(roomKey) : unavailable();
    }
    CommandResult requestChatQueue(std::string_view queueId, std::string_view text) override {
        return core_.chat ? core_.chat->SendChatQueueRequest(queueId, text) : unavailable();
    }
    void setOpenConversation(std::string_view userName) override {
        if (core_.chat)
            core_.chat->setChatUserName(userName);
    }
    CommandResult requestRoomMessages(std::string_view roomKey) override {
        return core_.chat ? core_.chat->requestRoomMessage(roomKey) : unavailable();
    }
    CommandResult openNotice(std::string_view roomKey) override {
        return core_.chat ? core_.chat->OpenNotice(roomKey) : unavailable();
    }
    std::vector<tc::chat::KeptConversation> keptConversations() const override {
        return core_.chat ? core_.chat->KeptConversations() : std::vector<tc::chat::KeptConversation>();
    }
    void takeOverConversations(const std::vector<tc::chat::KeptConversation>& kept) override {
        if (core_.chat)
            core_.chat->TakeOverConversations(kept);
    }

    std::unique_ptr<interfaces::Handler> handleChatChanged(ChangedFn fn) override {
        return core_.events->chatChanged.connect(std::move(fn));
    }
    std::unique_ptr<interfaces::Handler> handleNoticeArrived(NoticeFn fn) override {
        return core_.events->notice.connect(std::move(fn));
    }

private:
    CommandResult unavailable() const { return CommandResult::refused(core_.text("93334")); }
    ClientCore& core_;
};

class StatementsPart final : public interfaces::Statements {
public:
    explicit StatementsPart(ClientCore& core) : core_(core) {}

    std::shared_ptr<const statements::AccountStatementInfo> statement() const override {
        return core_.statements ? core_.statements->statement() : nullptr;
    }
    RequestId requestAccountStatement(const StatementSelection& selection) override {
        if (core_.statements)
            return core_.statements->requestAccountStatement(selection);
        return core_.requests().requestAccountStatement(selection).sequence;
    }
    RequestId requestCancelledOrderHistory(const StatementSelection& selection) override {
        return core_.requests().requestCancelledOrderHistoryForAccount(selection).sequence;
    }
    std::unique_ptr<interfaces::Handler> handleStatementArrived(ArrivedFn fn) override {
        return core_.events->statement.connect(std::move(fn));
    }

private:
    ClientCore& core_;
};

class ResourcesPart final : public interfaces::Resources {
public:
    explicit ResourcesPart(ClientCore& core) : core_(core) {}

    RequestId searchResources(std::string_view resourceType) override {
        return core_.resources ? core_.resources->searchResources(resourceType) : 0;
    }
    RequestId downloadResource(std::string_view resourceName) override {
        return core_.resources ? core_.resources->downloadResource(resourceName) : 0;
    }
    std::size_t requestFileResourceForExtension(std::string_view text) override {
        return core_.resources ? core_.resources->requestFileResourceForExtension(text) : 0;
    }
    std::unique_ptr<interfaces::Handler> handleResourceStored(StoredFn fn) override {
        return core_.events->resourceStored.connect(std::move(fn));
    }

private:
    ClientCore& core_;
};

class NewsPart final : public interfaces::News {
public:
    explicit NewsPart(ClientCore& core) : core_(core) {
        service_.setListener(
            [this](const interfaces::NewsLoad& load) { core_.events->newsLoaded.emit(load); });
        service_.setTexts([this](std::string_view key) { return core_.text(key); });
    }

    interfaces::NewsSource source() const override { return service_.source(); }
    void setSource(const interfaces::NewsSource& source) override {
        chosen_ = true;
        service_.setSource(source);
    }
    RequestId loadCategory(std::string_view category) override { return service_.loadCategory(category); }
    void cancelLoad() override { service_.cancelLoad(); }
    std::unique_ptr<interfaces::Handler> handleNewsLoaded(LoadedFn fn) override {
        return core_.events->newsLoaded.connect(std::move(fn));
    }

    // The login's mode names the feed's server, unless a source was chosen before.
    void followLogin(std::string_view section) {
        if (!chosen_)
            service_.setSource(news::sourceFromLoginList(*core_.login, section));
    }

private:
    ClientCore& core_;
    news::NewsService service_;
    bool chosen_ = false;
};

class ClientImpl final : public interfaces::Client {
public:
    ClientImpl(interfaces::ApplicationInterface& application, const interfaces::ClientOptions& options,
               BusinessServices services, ConnectionOptions connection)
        : core_(application) {
        core_.relay = std::make_shared<EventRelay>(
            core_.events, guard_.scope(),
            [this]() -> const DataServiceCollections& { return core_.business->dataServiceCollections(); });
        services.events = core_.relay;
        if (!services.userDefaults)
            services.userDefaults = options.userDefaults;
        if (options.dataRequestPass)
            connection.requester.passInterval = *options.dataRequestPass;
        if (options.dataReplyTimeout)
            connection.requester.replyTimeout = *options.dataReplyTimeout;
        WiredSession wired =
            wireSession(application, *core_.login, std::move(services), std::move(connection));
        core_.business = std::move(wired.business);
        core_.orders = wired.orders;
        core_.funding = wired.funding;
        core_.chat = wired.chat;
        core_.statements = wired.statements;
        core_.resources = wired.resources;
        listenToParts();
        if (options.watchNetwork) {
            // Without it the feed and data-service sockets would never be made again after the network
            // comes back. Its changes reach the session as "kReachabilityChangedNotification".
            watcher_ = ReachabilityNotifier::reachabilityForInternetConnection();
            if (!watcher_ || !watcher_->startNotifier())
                platform::Log::warning("the internet connection is not watched; sockets are not remade "
                                       "when the network returns");
        }
    }

    // Signs out, stops the watcher and the session's threads, and drops every event still queued.
    ~ClientImpl() override {
        guard_.disconnect();
        if (watcher_)
            watcher_->stopNotifier();
        if (business().loginPhase() != LoginPhase::SignedOut)
            business().conn().DisconnectServer();
        core_.business.reset();
    }

    // ---- session control

    interfaces::SignInResult signIn(const interfaces::LoginSettings& settings) override {
        if (signInStarted_)
            return {false, core_.text("93336")};
        if (settings.user.empty())
            return {false, core_.text("93337")};
        // The login request would not be built: said now, not after the login's time runs out.
        for (const auto& [whyKey, text] : {std::pair{"93338", std::string_view(settings.user)},
                                           std::pair{"93339", std::string_view(settings.password)}})
            if (checkMessageValue(text, false) != ComposeStatus::Built)
                return {false, core_.text(whyKey)};
        LoginInputData& login = *core_.login;
        if (settings.mode == interfaces::LoginMode::Live) {
            if (!login.isLiveModeAvailable())
                return {false, core_.text("93341")};
            login.loadLiveSettings();
            news_.followLogin("LiveMode");
        } else {
            login.loadDemoSettings();
            news_.followLogin("SimulationMode");
        }
        core_.closeAllLimit = closeAllLimitOf(
            login, settings.mode == interfaces::LoginMode::Live ? "LiveMode" : "SimulationMode");
        if (!settings.server.empty())
            login.setIPAddress(settings.server);
        if (settings.port != 0)
            login.setPortNo(settings.port);
        login.setUserName(settings.user);
        login.setPassword(settings.password);
        const ConnectError error = business().startLogin();
        if (error != ConnectError::None)
            return {false, core_.text(unreachableKey(error))};
        signInStarted_ = true;
        return {true, {}};
    }

    CommandResult registerDemoUser(const interfaces::DemoRegistration& form) override {
        if (signInStarted_)
            return CommandResult::refused(core_.text("93335"));
        LoginInputData& login = *core_.login;
        login.loadDemoSettings();
        if (!form.server.empty())
            login.setIPAddress(form.server);
        if (form.port != 0)
            login.setPortNo(form.port);
        std::optional<MessageBase> request = composeDemoRegistration(form, login);
        if (!request)
            return CommandResult::refused(core_.text("93329"));
        const ConnectError error = business().startDemoRegistration(std::move(*request));
        if (error != ConnectError::None)
            return CommandResult::refused(core_.text(unreachableKey(error)));
        signInStarted_ = true;
        return CommandResult::done();
    }

    void signOut() override { business().disconnectServer(); }
    LoginState loginState() const override { return stateOf(business().loginPhase()); }
    NetworkSpeed networkSpeed() const override {
        const auto& clock = business().serverClock();
        return {business().networkSpeedStatus(), business().heardServerTime(), business().isServerAnswering(),
                clock ? std::optional(clock->heardAt) : std::nullopt};
    }
    bool isNetworkAvailable() const override { return core_.business->conn().isNetworkAvailable(); }
    void measureNetworkSpeed() override { business().calculateNetworkSpeedFromServerDate(); }

    std::string userName() const override { return core_.login->userName().value_or(""); }
    CommandResult changePassword(std::string_view oldPassword, std::string_view newPassword,
                                 std::string_view confirmPassword) override {
        return business().changePassword(oldPassword, newPassword, confirmPassword);
    }

    // ---- parts

    interfaces::Orders& orders() override { return orders_; }
    interfaces::Funding& funding() override { return funding_; }
    interfaces::Chat& chat() override { return chat_; }
    interfaces::Statements& statements() override { return statements_; }
    interfaces::Resources& resources() override { return resources_; }
    interfaces::News& news() override { return news_; }

    // ---- views

    const SessionModel& model() const override { return business().session(); }
    const SessionQueries& queries() const override { return business().queries(); }
    const MarketDepthStore& depth() const override { return business().marketDepth(); }
    const std::vector<std::string>& journal() const override {
        return core_.business->JournalDataCollection();
    }
    void takeOverJournal(std::vector<std::string> lines) override {
        core_.business->takeOverJournal(std::move(lines));
    }
    const DataServiceCollections& dataService() const override { return business().dataServiceCollections(); }
    const charts::ChartDataStore& chartData() const override { return core_.business->chartDataCollection(); }
    std::vector<std::string> watchList() const override { return business().selectedSymbols(); }
    std::int32_t currentAccount() const override { return core_.orders->currentAccount(); }

    // ---- commands

    void setWatchList(const std::vector<std::string>& codes) override {
        core_.business->watchList().SaveItemsToWatchList(codes);
    }
    bool setCurrentAccount(std::int32_t accountId) override {
        return core_.orders->setCurrentAccount(accountId);
    }
    RequestId requestChartData(std::string_view instrument, std::string_view interval,
                               std::int32_t bars) override {
        return business().requestChartData(instrument, interval, bars).sequence;
    }
    RequestId searchExecutedPositions(const SearchInfo& search) override {
        const RequestId id = core_.requests().requestExecutedPosition(search).sequence;
        if (id != 0)
            core_.business->setExecutedPositionState(true);
        return id;
    }
    void endExecutedPositionSearch() override {
        core_.business->setExecutedPositionState(false);
        core_.business->clearExecutedOrderSearchCollection();
    }
    RequestId requestSessionSchedule(std::uint64_t marketId) override {
        return core_.requests().requestSessionSchedule(marketId).sequence;
    }
    RequestId requestUserMapWithAccount(std::int32_t accountId) override {
        return core_.requests().requestUserMapWithMyAccount(accountId).sequence;
    }
    RequestId requestEditUserAccess(const UserAccountMaps& access) override {
        return core_.requests().requestEditUserAccountAccessByClient(access).sequence;
    }

    // ---- events

    std::unique_ptr<interfaces::Handler> handleLoginStateChanged(LoginStateFn fn) override {
        return events().loginState.connect(std::move(fn));
    }
    std::unique_ptr<interfaces::Handler> handleTablesChanged(TablesFn fn) override {
        return events().tables.connect(std::move(fn));
    }
    std::unique_ptr<interfaces::Handler> handleDepthChanged(CodesFn fn) override {
        return events().depth.connect(std::move(fn));
    }
    std::unique_ptr<interfaces::Handler> handleRequestFailed(RequestFailedFn fn) override {
        return events().requestFailed.connect(std::move(fn));
    }
    std::unique_ptr<interfaces::Handler> handleChartArrived(ChartArrivedFn fn) override {
        return events().chartArrived.connect(std::move(fn));
    }
    std::unique_ptr<interfaces::Handler> handleNetworkSpeed(NetworkSpeedFn fn) override {
        return events().networkSpeed.connect(std::move(fn));
    }
    std::unique_ptr<interfaces::Handler> handleJournal(JournalFn fn) override {
        return events().journal.connect(std::move(fn));
    }
    std::unique_ptr<interfaces::Handler> handlePasswordChanged(PasswordChangedFn fn) override {
        return events().passwordChanged.connect([fn = std::move(fn)](bool) { fn(); });
    }
    std::unique_ptr<interfaces::Handler> handlePasswordRefused(PasswordRefusedFn fn) override {
        return events().passwordRefused.connect(std::move(fn));
    }
    std::unique_ptr<interfaces::Handler> handleSessionSchedule(ScheduleFn fn) override {
        return events().schedule.connect(std::move(fn));
    }
    std::unique_ptr<interfaces::Handler> handleUserAccess(UserAccessFn fn) override {
        return events().userAccess.connect(std::move(fn));
    }
    std::unique_ptr<interfaces::Handler> handleUserAccessEdited(UserAccessEditFn fn) override {
        return events().userAccessEdited.connect(std::move(fn));
    }
    std::unique_ptr<interfaces::Handler> handleDemoRegistered(DemoRegisteredFn fn) override {
        return events().demoRegistered.connect(std::move(fn));
    }

    BusinessBase& business() { return *core_.business; }
    const BusinessBase& business() const { return *core_.business; }
    SessionOrders& sessionOrders() { return *core_.orders; }

private:
    Events& events() { return *core_.events; }

    // The parts' events become the client's, each from a main-queue task of its own.
    void listenToParts() {
        const auto relay = core_.relay;
        if (core_.funding)
            core_.funding->setListeners(
                [relay](const interfaces::FundingReply& r) { relay->later(&Events::fundingReply, r); },
                [relay](const interfaces::FundingFailure& f) { relay->later(&Events::fundingFailure, f); });
        if (core_.chat)
            core_.chat->SetListeners(
                [relay](const interfaces::ChatChange& c) { relay->later(&Events::chatChanged, c); },
                [relay](const interfaces::NoticeArrival& n) { relay->later(&Events::notice, n); });
        if (core_.statements)
            core_.statements->setListener(
                [relay](const interfaces::StatementArrival& a) { relay->later(&Events::statement, a); });
        if (core_.resources)
            core_.resources->setListener(
                [relay](const interfaces::ResourceStored& r) { relay->later(&Events::resourceStored, r); });
    }

    ClientCore core_;
    OrdersPart orders_{core_};
    FundingPart funding_{core_};
    ChatPart chat_{core_};
    StatementsPart statements_{core_};
    ResourcesPart resources_{core_};
    NewsPart news_{core_};
    std::shared_ptr<ReachabilityNotifier> watcher_;
    bool signInStarted_ = false;
    platform::CallbackGuard guard_; // last: events queued for the main queue stop first
};

} // namespace

std::unique_ptr<interfaces::Client> makeClient(interfaces::ApplicationInterface& application,
                                               const interfaces::ClientOptions& options,
                                               BusinessServices services, ConnectionOptions connection) {
    TC_ASSERT_MAIN_QUEUE();
    return std::make_unique<ClientImpl>(application, options, std::move(services), std::move(connection));
}

BusinessBase& sessionOf(interfaces::Client& client) {
    return static_cast<ClientImpl&>(client).business();
}

SessionOrders& ordersOf(interfaces::Client& client) {
    return static_cast<ClientImpl&>(client).sessionOrders();
}

} // namespace tc

namespace interfaces {

std::unique_ptr<Client> MakeClient(ApplicationInterface& application, ClientOptions options) {
    return tc::makeClient(application, options, {}, {});
}

} // namespace interfaces
