#pragma once
// The one road from a program to a trading session: session control, read-only views of what the
// session holds, commands that answer at once, and typed events. The desktop program reaches the core
// only through this header and application_interface.h (which the core calls back). No Qt here.
//
// Threads: call every member on the main queue (the GUI thread, once the program's pump drains it).
// Event callbacks run there too, each from a main-queue task of its own, never inside a call the
// subscriber is making; a handler destroyed (or disconnected) before its event comes gets nothing.
//
// Lifetime: one client per login. A re-login replaces the client, old one first: the holder drops
// every handler it got from the old client and every reference into its views, then destroys it. The
// destructor signs out, stops the network threads and the reachability watcher, and drops everything
// it had queued for the main queue, so nothing of the old session arrives afterwards; only then does
// the holder call MakeClient for the new login. Handlers may outlive their client (they then do
// nothing), views may not.
#include "interfaces/application_interface.h"
#include "interfaces/handler.h"
#include "interfaces/tables.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// Records of the session that the views and commands name; their headers are the core's.
namespace tc {
namespace platform {
class UserDefaults;
}
namespace charts {
class ChartDataStore;
}
class MarketDepthStore;
class Order;
class SessionQueries;
struct DataServiceCollections;
struct OrderInfo;
struct OrderSortDescriptor;
struct SearchInfo;
struct SessionModel;
struct StatementSelection;
struct UserAccountMaps;
namespace funding {
struct FundingCollections;
struct NewDeposit;
struct NewWithdrawal;
} // namespace funding
namespace chat {
struct ChatCollections;
}
namespace statements {
struct AccountStatementInfo;
}
} // namespace tc

namespace interfaces {

using tc::DataServiceCollections;
using tc::MarketDepthStore;
using tc::Order;
using tc::OrderInfo;
using tc::OrderSortDescriptor;
using tc::SearchInfo;
using tc::SessionModel;
using tc::SessionQueries;
using tc::StatementSelection;
using tc::UserAccountMaps;
namespace charts = tc::charts;

// ---- session control

enum class LoginMode { Live, Simulation };

struct LoginSettings {
    LoginMode mode = LoginMode::Simulation;
    // Empty, 0: the mode's server and port from the login property list.
    std::string server;
    std::int32_t port = 0;
    std::string user;
    std::string password;
};

// SignedOut: before signIn, after signOut, a refusal, a login elsewhere or a failed start. Connecting:
// the stream is being opened and the login request sent. Loading: the login data arrived and the
// session is being set up. SignedIn: the server completed the login. Lost: the stream dropped without
// being asked to (there is no automatic reconnection; sign in again with a new client).
enum class LoginState { SignedOut, Connecting, Loading, SignedIn, Lost };

struct SignInResult {
    bool started = false;
    // Why the login did not start, in words for the login window; empty when it started.
    std::string error;
    explicit operator bool() const { return started; }
};

// The ping round trip's class (0 under 1 s, 1 under 2 s, 2 up to 3 s, 3 slower or unknown) and the
// server clock of the last ping reply ("yyyyMMddHHmmss", empty before the first).
struct NetworkSpeed {
    std::int32_t speedClass = 0;
    std::string serverTime;
};

// A demo-account registration as the registration sheet collects it; the deposit is the amount
// chosen, the country its display name. Server and port: empty, 0 for the simulation mode's.
struct DemoRegistration {
    std::string name;
    std::string email;
    std::string phone;
    std::string country;
    std::string deposit;
    bool newsletter = false;
    std::string server;
    std::int32_t port = 0;
};

// ---- commands

// What an order request came to: handed to the server, or refused here with the reason. The key tells
// one refusal from another (a language key, e.g. "1007" when the stream is down); the text is the
// reason as shown, with any detail.
struct OrderResult {
    enum class Status { Sent, Refused };
    Status status = Status::Refused;
    std::string refusalKey;
    std::string refusalText;
    bool sent() const { return status == Status::Sent; }
    static OrderResult wasSent() { return {Status::Sent, {}, {}}; }
    static OrderResult refused(std::string key, std::string text) {
        return {Status::Refused, std::move(key), std::move(text)};
    }
};

// A data-service or chart request: an id unique within the client, which its reply or failure names;
// 0 when nothing was sent.
using RequestId = std::uint64_t;

// What a command came to: done (handed to the server, or done here), or refused here with the reason
// in words; nothing was sent then.
struct CommandResult {
    bool ok = false;
    std::string error;
    explicit operator bool() const { return ok; }
    static CommandResult done() { return {true, {}}; }
    static CommandResult refused(std::string why) { return {false, std::move(why)}; }
};

// One account of a multi-account order and the quantity it takes.
struct AccountQuantity {
    std::int32_t accountId = 0;
    double quantity = 0;
};

// Close-all requests: every listed position, or the ones the user selected.
enum class CloseAllScope : std::int32_t { AllListed = 1, Selected = 3 };

// ---- events

// An order request that did not go through. Client: refused here before sending (the key is the
// language key of the reason, the order the one built, when there was one). Server: rejected by the
// server (the key is the rejection code, orderNumber the order number the rejection names, if any).
struct OrderRefusal {
    enum class Origin { Client, Server };
    Origin origin = Origin::Client;
    std::string key;
    std::string text;
    std::shared_ptr<const Order> order;
    std::string orderNumber;
};

// A data-service or chart request that will get no usable reply.
struct RequestFailure {
    RequestId id = 0;
    std::string procedure; // the data-service procedure; empty for a chart request
    std::string reason;
};

// A funding reply of the server, after the funding collections took it.
struct FundingReply {
    enum class Kind {
        PayGateStarted,      // reply 94: the gateway transaction exists; open its payment page
        PayGateProgress,     // reply 98
        PayGateResult,       // reply 96; code is the server's error code, 0 for none
        DepositRequested,    // action 801: lines describe the request
        WithdrawalRequested, // action 802
        ApprovalCompleted,   // actions 930 and 931 (code)
        ApprovalUpdated,     // actions 927 to 929 (code)
    };
    Kind kind = Kind::PayGateStarted;
    std::uint64_t id = 0;           // the gateway request id, or the approval request id
    std::int64_t code = 0;          // see Kind
    std::vector<std::string> lines; // label, 0x03, value
};

// A funding request the server refused: the gateway request id (0 when none), its error code and text.
struct FundingFailure {
    std::uint64_t id = 0;
    std::int64_t code = 0;
    std::string text;
};

// What a chat message changed; the chat collections hold the result.
struct ChatChange {
    enum class Kind {
        Contacts,   // groups, users and queues
        RoomReady,  // the server confirmed the room under `key`; waiting texts have gone out
        Message,    // a message arrived in the room named `key`
        Transcript, // the room id `key` received its earlier messages
        Status,     // the presence of user `key`
        Queue,      // the availability of, or answer from, queue `key`
        Recent,     // the recent conversations were replaced
    };
    Kind kind = Kind::Contacts;
    std::string key;
};

// Server notices: a notice's message (roomId, title) or offline notices marked unread (count).
struct NoticeArrival {
    std::string roomId;
    std::string title;
    std::int64_t unreadCount = 0;
};

// An account statement installed: the request it answers.
struct StatementArrival {
    RequestId id = 0;
};

// A downloaded resource file: stored (path), or refused (error); calendarMerged when the merged
// calendar was written by it.
struct ResourceStored {
    RequestId id = 0;
    std::string name;
    std::string path;
    std::string error;
    bool calendarMerged = false;
};

// The server's answer to a demo registration: the new user's name and password, or (registered
// false) neither; the shell has then shown the refusal.
struct DemoRegistrationResult {
    bool registered = false;
    std::string userName;
    std::string password;
};

// A chart reply stored: the request it answers and the key it is kept under in the chart store.
struct ChartArrival {
    RequestId id = 0;
    std::string key;
};

class Client {
public:
    virtual ~Client() = default;

    // ---- session control
    // Starts the login: the stream is opened and the login request follows; the outcome arrives as
    // login state changes (a refusal also reaches the shell's showLoginMessages). One login per client.
    virtual SignInResult signIn(const LoginSettings& settings) = 0;
    // Ends the session without an alert; the state becomes SignedOut.
    virtual void signOut() = 0;
    virtual LoginState loginState() const = 0;
    virtual NetworkSpeed networkSpeed() const = 0;
    // Registers a demo user instead of signing in: the stream opens in registration mode and the form
    // goes out once it is up; the answer is a DemoRegistered event. One login or registration per client.
    virtual CommandResult registerDemoUser(const DemoRegistration& form) = 0;
    // Whether requests may go out now (after the login, while the network is up).
    virtual bool isNetworkAvailable() const = 0;

    // ---- read-only views, current as of the last event
    virtual const SessionModel& model() const = 0;
    virtual const SessionQueries& queries() const = 0;
    virtual const MarketDepthStore& depth() const = 0;
    virtual const std::vector<std::string>& journal() const = 0;
    virtual const DataServiceCollections& dataService() const = 0;
    virtual const charts::ChartDataStore& chartData() const = 0;
    // The watch list's instrument codes in the user's order.
    virtual std::vector<std::string> watchList() const = 0;
    // Gateway transactions, approval requests and pay-gate settings of this login.
    virtual const tc::funding::FundingCollections& funding() const = 0;
    // Contacts, groups, queues, rooms, notices and recent conversations.
    virtual const tc::chat::ChatCollections& chat() const = 0;
    // The statement last installed (null before the first).
    virtual std::shared_ptr<const tc::statements::AccountStatementInfo> statement() const = 0;

    // ---- order requests
    // The ticket's check: validates without sending (Sent here means "would be sent").
    virtual OrderResult checkOrder(const OrderInfo& order) = 0;
    virtual OrderResult placeOrder(const OrderInfo& order) = 0;
    // One order for several accounts, each with its own quantity (order.quantity is not read).
    virtual OrderResult placeMultiAccountOrder(const OrderInfo& order,
                                               std::span<const AccountQuantity> accounts) = 0;
    virtual OrderResult closePosition(std::string_view positionId, std::string_view quantity,
                                      std::int32_t deviation) = 0;
    virtual OrderResult editPositionBrackets(std::string_view positionId, std::string_view takeProfit,
                                             std::string_view stopLoss, bool takeProfitEnabled,
                                             bool stopLossEnabled) = 0;
    virtual OrderResult editPendingOrder(std::string_view pendingOrderId, std::string_view quantity,
                                         std::string_view price, std::string_view takeProfit,
                                         std::string_view stopLoss, bool takeProfitEnabled,
                                         bool stopLossEnabled) = 0;
    virtual OrderResult cancelPendingOrder(std::string_view pendingOrderId) = 0;
    virtual OrderResult closeAllPositions(std::span<const std::string> positionIds, CloseAllScope scope) = 0;
    // Closes a position against opposite positions; the details as the offset window composes them.
    virtual OrderResult offsetPosition(std::string_view offsetDetails, std::string_view itemCode,
                                       std::string_view accountNumber) = 0;

    // ---- other commands
    // Stores the watch list and follows it with the feed subscriptions.
    virtual void setWatchList(const std::vector<std::string>& codes) = 0;
    virtual RequestId requestAccountStatement(const StatementSelection& selection) = 0;
    virtual RequestId requestCancelledOrderHistory(const StatementSelection& selection) = 0;
    virtual RequestId requestChartData(std::string_view instrument, std::string_view interval,
                                       std::int32_t bars) = 0;
    // The executed-positions table shows the search result from now on, until endExecutedPositionSearch.
    virtual RequestId searchExecutedPositions(const SearchInfo& search) = 0;
    virtual void endExecutedPositionSearch() = 0;
    virtual RequestId requestBankDetails(std::int32_t accountId) = 0;
    virtual RequestId requestSessionSchedule(std::uint64_t marketId) = 0;
    virtual RequestId requestFinancialTransactions(const SearchInfo& search) = 0;
    virtual RequestId requestUserMapWithAccount(std::int32_t accountId) = 0;
    virtual RequestId requestEditUserAccess(const UserAccountMaps& access) = 0;
    // Reorder the stored lists in place (the grids' column sorts).
    virtual void sortOpenPositions(const std::vector<OrderSortDescriptor>& descriptors) = 0;
    virtual void sortPendingOrders(const std::vector<OrderSortDescriptor>& descriptors) = 0;
    virtual void sortSettledPositions(const std::vector<OrderSortDescriptor>& descriptors) = 0;
    virtual void sortCancelledOrders(const std::vector<OrderSortDescriptor>& descriptors) = 0;

    // ---- funding, chat, resources, account
    // A deposit (gateway payment when its mode is online payment, else an approval request) or a
    // withdrawal; refused before anything is sent when the account is not eligible, the amount not a
    // finite positive number or a text holds a control character.
    virtual CommandResult requestDeposit(const tc::funding::NewDeposit& deposit) = 0;
    virtual CommandResult requestWithdrawal(const tc::funding::NewWithdrawal& withdrawal) = 0;
    virtual RequestId requestPayGateSettings() = 0;
    // A typed text for the conversation under `roomKey` (a contact's user name or a queue id): sent at
    // once when the room exists, else kept in order until the server confirms the room.
    virtual CommandResult sendChat(std::string_view roomKey, std::string_view text) = 0;
    // Makes the room of a contact the chat window selected (nothing is sent).
    virtual CommandResult createChatRoom(std::string_view roomKey) = 0;
    // Asks a support queue for a conversation, with the request's text.
    virtual CommandResult requestChatQueue(std::string_view queueId, std::string_view text) = 0;
    // Whose conversation the chat window shows (no banner for that person's messages); "" for none.
    virtual void setOpenConversation(std::string_view userName) = 0;
    // The earlier messages of a notice or recent conversation (by its room key).
    virtual CommandResult requestRoomMessages(std::string_view roomKey) = 0;
    // Resource searches by type ("CAL", "ICO") and downloads of a found resource by name; the file
    // arrives as a ResourceStored event.
    virtual RequestId searchResources(std::string_view resourceType) = 0;
    virtual RequestId downloadResource(std::string_view resourceName) = 0;
    // The password form's checks (all filled, the old one is the current, new equals confirm, new
    // differs from the current), then the change request; the answer is an event.
    virtual CommandResult changePassword(std::string_view oldPassword, std::string_view newPassword,
                                         std::string_view confirmPassword) = 0;

    // ---- events
    using LoginStateFn = std::function<void(LoginState state)>;
    using TablesFn = std::function<void(TableSet tables)>;
    using CodesFn = std::function<void(const std::vector<std::string>& codes)>;
    using OrderStoredFn = std::function<void(const std::shared_ptr<const Order>& order)>;
    using OrderRefusedFn = std::function<void(const OrderRefusal& refusal)>;
    using RequestFailedFn = std::function<void(const RequestFailure& failure)>;
    using ChartArrivedFn = std::function<void(const ChartArrival& arrival)>;
    using NetworkSpeedFn = std::function<void(const NetworkSpeed& speed)>;
    using JournalFn = std::function<void(const std::string& line)>;
    using FundingReplyFn = std::function<void(const FundingReply& reply)>;
    using FundingFailureFn = std::function<void(const FundingFailure& failure)>;
    using ChatChangedFn = std::function<void(const ChatChange& change)>;
    using NoticeFn = std::function<void(const NoticeArrival& notice)>;
    using StatementFn = std::function<void(const StatementArrival& arrival)>;
    using ResourceFn = std::function<void(const ResourceStored& stored)>;
    using PasswordChangedFn = std::function<void()>;
    using PasswordRefusedFn = std::function<void(const std::string& text)>;
    using DemoRegisteredFn = std::function<void(const DemoRegistrationResult& result)>;

    virtual std::unique_ptr<Handler> handleLoginStateChanged(LoginStateFn fn) = 0;
    virtual std::unique_ptr<Handler> handleTablesChanged(TablesFn fn) = 0;
    // The instruments whose quote, or whose depth ladder, the feed's last drain changed.
    virtual std::unique_ptr<Handler> handleQuotesChanged(CodesFn fn) = 0;
    virtual std::unique_ptr<Handler> handleDepthChanged(CodesFn fn) = 0;
    // The server stored a limit or stop order the user placed.
    virtual std::unique_ptr<Handler> handleOrderStored(OrderStoredFn fn) = 0;
    virtual std::unique_ptr<Handler> handleOrderRefused(OrderRefusedFn fn) = 0;
    virtual std::unique_ptr<Handler> handleRequestFailed(RequestFailedFn fn) = 0;
    virtual std::unique_ptr<Handler> handleChartArrived(ChartArrivedFn fn) = 0;
    virtual std::unique_ptr<Handler> handleNetworkSpeed(NetworkSpeedFn fn) = 0;
    // A line added to the journal.
    virtual std::unique_ptr<Handler> handleJournal(JournalFn fn) = 0;
    virtual std::unique_ptr<Handler> handleFundingReply(FundingReplyFn fn) = 0;
    virtual std::unique_ptr<Handler> handleFundingFailure(FundingFailureFn fn) = 0;
    virtual std::unique_ptr<Handler> handleChatChanged(ChatChangedFn fn) = 0;
    virtual std::unique_ptr<Handler> handleNoticeArrived(NoticeFn fn) = 0;
    virtual std::unique_ptr<Handler> handleStatementArrived(StatementFn fn) = 0;
    virtual std::unique_ptr<Handler> handleResourceStored(ResourceFn fn) = 0;
    virtual std::unique_ptr<Handler> handlePasswordChanged(PasswordChangedFn fn) = 0;
    virtual std::unique_ptr<Handler> handlePasswordRefused(PasswordRefusedFn fn) = 0;
    virtual std::unique_ptr<Handler> handleDemoRegistered(DemoRegisteredFn fn) = 0;
};

struct ClientOptions {
    // Where the watch list is kept; the user's standard defaults when null.
    tc::platform::UserDefaults* userDefaults = nullptr;
    // Watch the internet connection, so the feed and data-service sockets are made again when the
    // network comes back. The program wants it; a test that plays the network itself may not.
    bool watchNetwork = true;
};

// The composition root: a client with every real part of the session wired in. The shell must
// outlive the client.
std::unique_ptr<Client> MakeClient(ApplicationInterface& application, ClientOptions options = {});

} // namespace interfaces
