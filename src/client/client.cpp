// The client: the composition root of a session and the program's one road into it. It wires the
// real parts of the session (session_wiring.cpp), starts what the program needs beside it (the
// internet watcher, the product's text keys for the language lookup), turns the session's events into
// the typed events of interfaces::Client and answers its commands at once.
#include "client/client_factory.h"

#include "chat/session_chat.h"
#include "client/session_resources.h"
#include "client/signal.h"
#include "connection/device_info.h"
#include "connection/login_inputdata.h"
#include "connection/reachability.h"
#include "connection/record_text.h"
#include "connection/wire_names.h"
#include "funding/session_funding.h"
#include "model/collection_keys.h"
#include "model/records/account_details.h"
#include "model/records/order.h"
#include "model/text/language_string.h"
#include "orders/order_requests.h"
#include "orders/session_orders.h"
#include "platform/dispatch.h"
#include "platform/log.h"
#include "session/business/business_base.h"
#include "statements/session_statements.h"

#include <utility>

namespace tc {

namespace {

using interfaces::ChartArrival;
using interfaces::CommandResult;
using interfaces::LoginState;
using interfaces::NetworkSpeed;
using interfaces::OrderRefusal;
using interfaces::OrderResult;
using interfaces::RequestFailure;
using interfaces::RequestId;

static_assert(static_cast<int>(LoginPhase::SignedOut) == static_cast<int>(LoginState::SignedOut) &&
              static_cast<int>(LoginPhase::Connecting) == static_cast<int>(LoginState::Connecting) &&
              static_cast<int>(LoginPhase::Loading) == static_cast<int>(LoginState::Loading) &&
              static_cast<int>(LoginPhase::SignedIn) == static_cast<int>(LoginState::SignedIn) &&
              static_cast<int>(LoginPhase::Lost) == static_cast<int>(LoginState::Lost));

LoginState stateOf(LoginPhase phase) {
    return static_cast<LoginState>(phase);
}

// The subscribers of every event of one client.
struct Events {
    Signal<LoginState> loginState;
    Signal<interfaces::TableSet> tables;
    Signal<std::vector<std::string>> quotes;
    Signal<std::vector<std::string>> depth;
    Signal<std::shared_ptr<const Order>> orderStored;
    Signal<OrderRefusal> orderRefused;
    Signal<RequestFailure> requestFailed;
    Signal<ChartArrival> chartArrived;
    Signal<NetworkSpeed> networkSpeed;
    Signal<std::string> journal;
    Signal<interfaces::FundingReply> fundingReply;
    Signal<interfaces::FundingFailure> fundingFailure;
    Signal<interfaces::ChatChange> chatChanged;
    Signal<interfaces::NoticeArrival> notice;
    Signal<interfaces::StatementArrival> statement;
    Signal<interfaces::ResourceStored> resourceStored;
    Signal<bool> passwordChanged; // the value is unused
    Signal<std::string> passwordRefused;
    Signal<interfaces::DemoRegistrationResult> demoRegistered;
};

// The session's events as the client's: each is handed on from a main-queue task of its own, so a
// subscriber is never called back inside a command it is making, and never after the client is gone.
class EventRelay final : public SessionEventSink {
public:
    EventRelay(std::shared_ptr<Events> events, platform::CallbackGuard::Scope client)
        : events_(std::move(events)), client_(std::move(client)) {}

    template <typename T>
    void later(Signal<T> Events::*signal, T value) {
        platform::MainQueue::async(client_.bind(
            [events = events_, signal, value = std::move(value)] { ((*events).*signal).emit(value); }));
    }

    void loginPhaseChanged(LoginPhase phase) override { later(&Events::loginState, stateOf(phase)); }
    void tablesChanged(interfaces::TableSet tables) override { later(&Events::tables, tables); }
    void feedApplied(const std::vector<std::string>& quoteCodes,
                     const std::vector<std::string>& depthCodes) override {
        if (!quoteCodes.empty())
            later(&Events::quotes, quoteCodes);
        if (!depthCodes.empty())
            later(&Events::depth, depthCodes);
    }
    void requestFailed(const PendingRequest& request, const std::string& reason) override {
        later(&Events::requestFailed, RequestFailure{request.sequence, request.procedure, reason});
    }
    void chartArrived(std::uint64_t sequence, const std::string& key) override {
        later(&Events::chartArrived, ChartArrival{sequence, key});
    }
    void networkSpeedChanged(std::int32_t speedClass, const std::string& serverTime) override {
        later(&Events::networkSpeed, NetworkSpeed{speedClass, serverTime});
    }
    void journalAppended(const std::string& line) override { later(&Events::journal, line); }
    void orderStored(const std::shared_ptr<Order>& order) override {
        later(&Events::orderStored, std::shared_ptr<const Order>(order));
    }
    void passwordChangeAnswered(bool accepted, const std::string& text) override {
        if (accepted)
            later(&Events::passwordChanged, true);
        else
            later(&Events::passwordRefused, text);
    }
    void demoUserCreated(bool registered, const std::string& userName, const std::string& password) override {
        later(&Events::demoRegistered, interfaces::DemoRegistrationResult{registered, userName, password});
    }
    void orderRejected(std::int32_t code, const std::string& text, const std::string& orderNumber) override {
        later(&Events::orderRefused,
              OrderRefusal{OrderRefusal::Origin::Server, std::to_string(code), text, nullptr, orderNumber});
    }

private:
    std::shared_ptr<Events> events_;
    platform::CallbackGuard::Scope client_;
};

class ClientImpl final : public interfaces::Client {
public:
    ClientImpl(interfaces::ApplicationInterface& application, const interfaces::ClientOptions& options,
               BusinessServices services, ConnectionOptions connection)
        : application_(application) {
        relay_ = std::make_shared<EventRelay>(events_, guard_.scope());
        services.events = relay_;
        if (!services.userDefaults)
            services.userDefaults = options.userDefaults;
        WiredSession wired = wireSession(application, std::move(services), std::move(connection));
        business_ = std::move(wired.business);
        orders_ = wired.orders;
        funding_ = wired.funding;
        chat_ = wired.chat;
        statements_ = wired.statements;
        resources_ = wired.resources;
        listenToParts();
        orders_->manager().setRefusalListener(
            [this](std::string_view key, const std::string& text, const std::shared_ptr<Order>& order) {
                refused(key, text, order);
            });
        // The product's own words for some texts: every lookup of this program goes through them.
        LanguageString::setProductLocalizationList(*application.logindata().productLocalizationList());
        if (options.watchNetwork) {
            // Without it the feed and data-service sockets would never be made again after the network
            // comes back. Its changes reach the session as "kReachabilityChangedNotification".
            watcher_ = Reachability::reachabilityForInternetConnection();
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
        if (business_->loginPhase() != LoginPhase::SignedOut)
            business_->conn().DisconnectServer();
        business_.reset();
    }

    // ---- session control

    interfaces::SignInResult signIn(const interfaces::LoginSettings& settings) override {
        if (signInStarted_)
            return {false, "This session has signed in before; sign in again with a new one."};
        if (settings.user.empty())
            return {false, "Enter a user name."};
        LoginInputdata& login = application_.logindata();
        if (settings.mode == interfaces::LoginMode::Live) {
            if (!login.isLiveModeAvailable())
                return {false, "Live mode is not offered by this program."};
            login.loadLiveSettings();
        } else {
            login.loadDemoSettings();
        }
        if (!settings.server.empty())
            login.setIPAddress(settings.server);
        if (settings.port != 0)
            login.setPortNo(settings.port);
        login.setUserName(settings.user);
        login.setPassword(settings.password);
        const ConnectError error = business_->startLogin();
        if (error != ConnectError::None)
            return {false, std::string("The server cannot be reached: ") + describe(error) + "."};
        signInStarted_ = true;
        return {true, {}};
    }

    CommandResult registerDemoUser(const interfaces::DemoRegistration& form) override {
        if (signInStarted_)
            return CommandResult::refused("This session has signed in before; register with a new one.");
        LoginInputdata& login = application_.logindata();
        login.loadDemoSettings();
        if (!form.server.empty())
            login.setIPAddress(form.server);
        if (form.port != 0)
            login.setPortNo(form.port);
        std::optional<MessageBase> request = composeDemoRegistration(form, login);
        if (!request)
            return CommandResult::refused("A text of the form holds a character that cannot be sent.");
        const ConnectError error = business_->startDemoRegistration(std::move(*request));
        if (error != ConnectError::None)
            return CommandResult::refused(std::string("The server cannot be reached: ") + describe(error) +
                                          ".");
        signInStarted_ = true;
        return CommandResult::done();
    }

    void signOut() override { business_->disconnectServer(); }
    LoginState loginState() const override { return stateOf(business_->loginPhase()); }
    NetworkSpeed networkSpeed() const override {
        return {business_->networkspeedStatus(), business_->ServerTime().value_or("")};
    }
    bool isNetworkAvailable() const override { return business_->conn().isNetworkAvailable(); }

    // ---- views

    const SessionModel& model() const override { return business_->session(); }
    const SessionQueries& queries() const override { return business_->queries(); }
    const MarketDepthStore& depth() const override { return business_->marketDepth(); }
    const std::vector<std::string>& journal() const override { return business_->JournalDataCollection(); }
    const DataServiceCollections& dataService() const override { return business_->dataServiceCollections(); }
    const charts::ChartDataStore& chartData() const override { return business_->chartDataCollection(); }
    std::vector<std::string> watchList() const override { return business_->selectedSymbols(); }
    const funding::FundingCollections& funding() const override {
        static const funding::FundingCollections none;
        return funding_ ? funding_->collections() : none;
    }
    const chat::ChatCollections& chat() const override {
        static const chat::ChatCollections none;
        return chat_ ? chat_->collections() : none;
    }
    std::shared_ptr<const statements::AccountStatementInfo> statement() const override {
        return statements_ ? statements_->statement() : nullptr;
    }

    // ---- order requests

    OrderResult checkOrder(const OrderInfo& order) override {
        return answer([&] { return orderRequests().ValidationsBeforeOrderPlacing(order); });
    }
    OrderResult placeOrder(const OrderInfo& order) override {
        return answer([&] { return orderRequests().PlaceOrder(order); });
    }
    OrderResult placeMultiAccountOrder(const OrderInfo& order,
                                       std::span<const interfaces::AccountQuantity> accounts) override {
        std::vector<OrderRequests::AccountQuantity> records;
        records.reserve(accounts.size());
        for (const auto& a : accounts)
            records.push_back({a.accountId, a.quantity});
        OrderInfo info = order;
        info.orderDetails = orderRequests().multiAccountDetails(records);
        return answer([&] { return orderRequests().CreateNewBulkOrderMessage(info); });
    }
    OrderResult closePosition(std::string_view positionId, std::string_view quantity,
                              std::int32_t deviation) override {
        return answer([&] { return orderRequests().closePosition(positionId, quantity, deviation); });
    }
    OrderResult editPositionBrackets(std::string_view positionId, std::string_view takeProfit,
                                     std::string_view stopLoss, bool takeProfitEnabled,
                                     bool stopLossEnabled) override {
        return answer([&] {
            return orderRequests().editPositionBrackets(positionId, takeProfit, stopLoss, takeProfitEnabled,
                                                        stopLossEnabled);
        });
    }
    OrderResult editPendingOrder(std::string_view pendingOrderId, std::string_view quantity,
                                 std::string_view price, std::string_view takeProfit,
                                 std::string_view stopLoss, bool takeProfitEnabled,
                                 bool stopLossEnabled) override {
        return answer([&] {
            return orderRequests().editPendingOrder(pendingOrderId, quantity, price, takeProfit, stopLoss,
                                                    takeProfitEnabled, stopLossEnabled);
        });
    }
    OrderResult cancelPendingOrder(std::string_view pendingOrderId) override {
        return answer([&] { return orderRequests().cancelPendingOrder(pendingOrderId); });
    }
    OrderResult closeAllPositions(std::span<const std::string> positionIds,
                                  interfaces::CloseAllScope scope) override {
        return answer(
            [&] { return orderRequests().closeAllPositions(positionIds, static_cast<std::int32_t>(scope)); });
    }
    OrderResult offsetPosition(std::string_view offsetDetails, std::string_view itemCode,
                               std::string_view accountNumber) override {
        return answer(
            [&] { return orderRequests().PlaceOffsetOrder(offsetDetails, itemCode, accountNumber); });
    }

    // ---- other commands

    void setWatchList(const std::vector<std::string>& codes) override {
        business_->watchList().SaveItemstoWatchList(codes);
    }
    RequestId requestAccountStatement(const StatementSelection& selection) override {
        if (statements_)
            return statements_->requestAccountStatement(selection);
        return requests().requestAccountStatement(selection).sequence;
    }
    RequestId requestCancelledOrderHistory(const StatementSelection& selection) override {
        return requests().requestCancelledOrderHistoryForAccount(selection).sequence;
    }
    RequestId requestChartData(std::string_view instrument, std::string_view interval,
                               std::int32_t bars) override {
        // The chart's reply is keyed by the request number it carries: the chart raises it first.
        business_->setRequestid(
            static_cast<std::int32_t>(static_cast<std::uint32_t>(business_->Requestid()) + 1u));
        return requests().requestChartData(instrument, interval, bars).sequence;
    }
    RequestId searchExecutedPositions(const SearchInfo& search) override {
        const RequestId id = requests().requestExecutedPosition(search).sequence;
        if (id != 0)
            business_->setExecutedPositionState(true);
        return id;
    }
    void endExecutedPositionSearch() override {
        business_->setExecutedPositionState(false);
        business_->clearExecutedOrderSearchCollection();
    }
    RequestId requestBankDetails(std::int32_t accountId) override {
        const auto* account = business_->session().AccountDetailCollection.get(sessionKey(accountId));
        if (!account || !*account)
            return 0;
        return requests().requestBankDetails(**account).sequence;
    }
    RequestId requestSessionSchedule(std::uint64_t marketId) override {
        return requests().requestSessionSchedule(marketId).sequence;
    }
    RequestId requestFinancialTransactions(const SearchInfo& search) override {
        return requests().requestFinancialTransactions(search).sequence;
    }
    RequestId requestUserMapWithAccount(std::int32_t accountId) override {
        return requests().requestUserMapWithMyAccount(accountId).sequence;
    }
    RequestId requestEditUserAccess(const UserAccountMaps& access) override {
        return requests().requestEditUserAccountAccessByClient(access).sequence;
    }
    void sortOpenPositions(const std::vector<OrderSortDescriptor>& descriptors) override {
        business_->sortOpenOrderCollection(descriptors);
    }
    void sortPendingOrders(const std::vector<OrderSortDescriptor>& descriptors) override {
        business_->sortPendingOrderCollection(descriptors);
    }
    void sortSettledPositions(const std::vector<OrderSortDescriptor>& descriptors) override {
        business_->sortSettledOrderCollection(descriptors);
    }
    void sortCancelledOrders(const std::vector<OrderSortDescriptor>& descriptors) override {
        business_->sortCancelledOrderCollection(descriptors);
    }

    // ---- funding, chat, resources, account

    CommandResult requestDeposit(const funding::NewDeposit& deposit) override {
        if (!funding_)
            return CommandResult::refused("Funding is not available in this session.");
        return funding_->sendDepositRequest(deposit);
    }
    CommandResult requestWithdrawal(const funding::NewWithdrawal& withdrawal) override {
        if (!funding_)
            return CommandResult::refused("Funding is not available in this session.");
        return funding_->sendWithdrawalRequest(withdrawal);
    }
    RequestId requestPayGateSettings() override {
        return funding_ ? funding_->requestGetAllPayGateSettings() : 0;
    }
    CommandResult sendChat(std::string_view roomKey, std::string_view text) override {
        return chat_ ? chat_->SendChat(roomKey, text) : noChat();
    }
    CommandResult createChatRoom(std::string_view roomKey) override {
        return chat_ ? chat_->CreateRoomforChat(roomKey) : noChat();
    }
    CommandResult requestChatQueue(std::string_view queueId, std::string_view text) override {
        return chat_ ? chat_->SendChatQueueRequest(queueId, text) : noChat();
    }
    void setOpenConversation(std::string_view userName) override {
        if (chat_)
            chat_->setChatUserName(userName);
    }
    CommandResult requestRoomMessages(std::string_view roomKey) override {
        return chat_ ? chat_->requestRoomMessage(roomKey) : noChat();
    }
    RequestId searchResources(std::string_view resourceType) override {
        return resources_ ? resources_->searchResources(resourceType) : 0;
    }
    RequestId downloadResource(std::string_view resourceName) override {
        return resources_ ? resources_->downloadResource(resourceName) : 0;
    }
    CommandResult changePassword(std::string_view oldPassword, std::string_view newPassword,
                                 std::string_view confirmPassword) override {
        const std::string current = application_.logindata().password().value_or("");
        const auto refuse = [this](std::string_view key) {
            return CommandResult::refused(
                LanguageString::stringforSelectedLanguage(application_.selectedLanguage(), key)
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
        if (!business_->conn().isNetworkAvailable())
            return refuse("1007");
        if (!requests().changeMyPassword(oldPassword, newPassword))
            return CommandResult::refused("The new password holds a character that cannot be sent.");
        return CommandResult::done();
    }

    // ---- events

    std::unique_ptr<interfaces::Handler> handleFundingReply(FundingReplyFn fn) override {
        return events_->fundingReply.connect(std::move(fn));
    }
    std::unique_ptr<interfaces::Handler> handleFundingFailure(FundingFailureFn fn) override {
        return events_->fundingFailure.connect(std::move(fn));
    }
    std::unique_ptr<interfaces::Handler> handleChatChanged(ChatChangedFn fn) override {
        return events_->chatChanged.connect(std::move(fn));
    }
    std::unique_ptr<interfaces::Handler> handleNoticeArrived(NoticeFn fn) override {
        return events_->notice.connect(std::move(fn));
    }
    std::unique_ptr<interfaces::Handler> handleStatementArrived(StatementFn fn) override {
        return events_->statement.connect(std::move(fn));
    }
    std::unique_ptr<interfaces::Handler> handleResourceStored(ResourceFn fn) override {
        return events_->resourceStored.connect(std::move(fn));
    }
    std::unique_ptr<interfaces::Handler> handlePasswordChanged(PasswordChangedFn fn) override {
        return events_->passwordChanged.connect([fn = std::move(fn)](bool) { fn(); });
    }
    std::unique_ptr<interfaces::Handler> handlePasswordRefused(PasswordRefusedFn fn) override {
        return events_->passwordRefused.connect(std::move(fn));
    }

    std::unique_ptr<interfaces::Handler> handleDemoRegistered(DemoRegisteredFn fn) override {
        return events_->demoRegistered.connect(std::move(fn));
    }
    std::unique_ptr<interfaces::Handler> handleLoginStateChanged(LoginStateFn fn) override {
        return events_->loginState.connect(std::move(fn));
    }
    std::unique_ptr<interfaces::Handler> handleTablesChanged(TablesFn fn) override {
        return events_->tables.connect(std::move(fn));
    }
    std::unique_ptr<interfaces::Handler> handleQuotesChanged(CodesFn fn) override {
        return events_->quotes.connect(std::move(fn));
    }
    std::unique_ptr<interfaces::Handler> handleDepthChanged(CodesFn fn) override {
        return events_->depth.connect(std::move(fn));
    }
    std::unique_ptr<interfaces::Handler> handleOrderStored(OrderStoredFn fn) override {
        return events_->orderStored.connect(std::move(fn));
    }
    std::unique_ptr<interfaces::Handler> handleOrderRefused(OrderRefusedFn fn) override {
        return events_->orderRefused.connect(std::move(fn));
    }
    std::unique_ptr<interfaces::Handler> handleRequestFailed(RequestFailedFn fn) override {
        return events_->requestFailed.connect(std::move(fn));
    }
    std::unique_ptr<interfaces::Handler> handleChartArrived(ChartArrivedFn fn) override {
        return events_->chartArrived.connect(std::move(fn));
    }
    std::unique_ptr<interfaces::Handler> handleNetworkSpeed(NetworkSpeedFn fn) override {
        return events_->networkSpeed.connect(std::move(fn));
    }
    std::unique_ptr<interfaces::Handler> handleJournal(JournalFn fn) override {
        return events_->journal.connect(std::move(fn));
    }

    BusinessBase& business() { return *business_; }
    SessionOrders& orders() { return *orders_; }

private:
    static CommandResult noChat() { return CommandResult::refused("Chat is not available in this session."); }

    // The parts' events become the client's, each from a main-queue task of its own.
    void listenToParts() {
        const auto relay = relay_;
        if (funding_)
            funding_->setListeners(
                [relay](const interfaces::FundingReply& r) { relay->later(&Events::fundingReply, r); },
                [relay](const interfaces::FundingFailure& f) { relay->later(&Events::fundingFailure, f); });
        if (chat_)
            chat_->setListeners(
                [relay](const interfaces::ChatChange& c) { relay->later(&Events::chatChanged, c); },
                [relay](const interfaces::NoticeArrival& n) { relay->later(&Events::notice, n); });
        if (statements_)
            statements_->setListener(
                [relay](const interfaces::StatementArrival& a) { relay->later(&Events::statement, a); });
        if (resources_)
            resources_->setListener(
                [relay](const interfaces::ResourceStored& r) { relay->later(&Events::resourceStored, r); });
    }

    OrderRequests& orderRequests() { return orders_->requests(); }
    SessionRequests& requests() { return business_->sessionRequests(); }

    // Runs an order request; a refusal made while it runs is its answer.
    template <typename Request>
    OrderResult answer(Request request) {
        answering_ = true;
        answer_.reset();
        const bool sent = request();
        answering_ = false;
        if (sent)
            return OrderResult::wasSent();
        if (answer_)
            return std::move(*answer_);
        return OrderResult::refused({}, {});
    }

    void refused(std::string_view key, const std::string& text, const std::shared_ptr<Order>& order) {
        if (answering_ && !answer_)
            answer_ = OrderResult::refused(std::string(key), text);
        relay_->later(&Events::orderRefused,
                      OrderRefusal{OrderRefusal::Origin::Client, std::string(key), text, order, {}});
    }

    interfaces::ApplicationInterface& application_;
    std::shared_ptr<Events> events_ = std::make_shared<Events>();
    std::shared_ptr<EventRelay> relay_;
    std::shared_ptr<Reachability> watcher_;
    bool signInStarted_ = false;
    bool answering_ = false;
    std::optional<OrderResult> answer_;
    std::unique_ptr<BusinessBase> business_;
    SessionOrders* orders_ = nullptr; // owned by business_, as are the four below
    funding::SessionFunding* funding_ = nullptr;
    chat::SessionChat* chat_ = nullptr;
    statements::SessionStatements* statements_ = nullptr;
    SessionResources* resources_ = nullptr;
    platform::CallbackGuard guard_; // last: events queued for the main queue stop first
};

} // namespace

std::optional<MessageBase> composeDemoRegistration(const interfaces::DemoRegistration& form,
                                                   const LoginInputdata& login) {
    for (const std::string* text : {&form.name, &form.email, &form.phone, &form.country, &form.deposit})
        if (wire::findControlByte(*text) != std::string_view::npos)
            return std::nullopt;
    namespace tag = wire::tag;
    MessageBase m;
    m.startRequest(wire::msg::kDemoRegistration);
    m.setValue(tag::kEmail, form.email);
    m.setValue(tag::kRegistrationKind, "Trade");
    m.setValue(tag::kAmount, form.deposit);
    m.setValue(tag::kQualifier, form.country);
    m.setValue(tag::kRegistrationField2, "");
    m.setValue(tag::kRegistrationField3, "");
    m.setValue(tag::kRegistrationField4, "");
    m.setValue(tag::kRegistrationField5, "");
    m.setValue(tag::kTelephone, form.phone);
    m.setValue(tag::kNewsletter, form.newsletter ? "1" : "0");
    m.setValue(tag::kFullName, form.name);
    m.setValue(tag::kRegistrationProduct, login.productName().value_or(""));
    m.setValue(tag::kRequestId, "1");
    m.setValue(tag::kReferenceId, "1");
    m.setValue(tag::kDeviceAddress, DeviceInfo::ipAddress().value_or(""));
    m.setValue(tag::kDeviceDescription,
               DeviceInfo::model().value_or("") + "#" + DeviceInfo::systemVersion().value_or(""));
    m.setValue(tag::kDeviceUser, DeviceInfo::userName().value_or(""));
    return m;
}

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
    return static_cast<ClientImpl&>(client).orders();
}

} // namespace tc

namespace interfaces {

std::unique_ptr<Client> MakeClient(ApplicationInterface& application, ClientOptions options) {
    return tc::makeClient(application, options, {}, {});
}

} // namespace interfaces
