#pragma once
// What the session object needs from the rest of the program, one interface per neighbour. The
// composition root (client/session_wiring.h) makes the real ones and hands them over when the
// business object is built; tests hand over their own in their place.
//
// Threads: unless a method says otherwise it is called on the main queue.
#include "interfaces/tables.h"
#include "model/session_model.h"
#include "platform/clock.h"
#include "session/business/message_rooms.h"
#include "wire/message_base.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tc {

namespace platform {
class UserDefaults;
}
struct SessionModel;
struct PendingRequest;
class HistoryRowSink;
class Order;

// Where the login of a session stands (the client's login states, in the same order).
enum class LoginPhase { SignedOut, Connecting, Loading, SignedIn, Lost };

// The typed events of a session, for the program's seam: what changed, told once it has changed.
// Main queue. Each method does nothing unless overridden.
class SessionEventSink {
public:
    virtual ~SessionEventSink() = default;
    virtual void loginPhaseChanged(LoginPhase) {}
    // At most once per main-queue pass, with every table the messages of the pass touched.
    virtual void tablesChanged(const interfaces::TableChange&) {}
    // The instruments whose depth ladder one drain of the feed changed (called from the drain's own
    // main-queue task). Quotes have no event: readers take the latest from the model on their beat.
    virtual void depthApplied(const std::vector<std::string>& /*codes*/) {}
    // A data-service or chart request that will get no usable reply.
    virtual void requestFailed(const PendingRequest&, const std::string& /*reason*/) {}
    // A chart reply kept under `key`, answering the request of that sequence (0: none recorded).
    virtual void chartArrived(std::uint64_t /*sequence*/, const std::string& /*key*/) {}
    // The ping's class and the server clock; `answering` false once the server has let its ping
    // replies wait for several seconds (the line looks up, but nothing comes back).
    // The clock as last heard: its wire text ("" before the first) and when its reply arrived.
    virtual void networkSpeedChanged(std::int32_t /*speedClass*/, const std::string& /*serverTime*/,
                                     std::optional<platform::Clock::time_point> /*heardAt*/,
                                     bool /*answering*/) {}
    virtual void journalAppended(const std::string& /*line*/) {}
    // The server's answer to a password change: accepted, or refused with its text.
    virtual void passwordChangeAnswered(bool /*accepted*/, const std::string& /*text*/) {}
    // The server's answer to a demo registration: the new user's name and password, or neither.
    virtual void demoUserCreated(bool /*registered*/, const std::string& /*userName*/,
                                 const std::string& /*password*/) {}
    // A user-map reply filed the users of the account (its earlier users replaced).
    virtual void userAccessLoaded(std::uint64_t /*sequence*/, std::int32_t /*accountId*/) {}
    // The server's answer to an edit of user access.
    virtual void userAccessEdited(std::uint64_t /*sequence*/, bool /*accepted*/) {}
    // A market's session schedules were filed.
    virtual void sessionScheduleArrived(std::uint64_t /*sequence*/, std::uint64_t /*marketId*/) {}
    // A bank-details reply was filed (the data-service collections hold what it brought).
    virtual void bankDetailsArrived(std::uint64_t /*sequence*/) {}
    // A funding-history (financial transactions) reply was filed.
    virtual void fundingHistoryArrived(std::uint64_t /*sequence*/) {}
    // The cancelled orders of a statement's period were filed.
    virtual void statementCancelledOrdersArrived(std::uint64_t /*sequence*/) {}
    // Reports for the close-all window: a position settled, or an order rejected (the order number the
    // rejection names and the reason as shown).
    virtual void bulkCloseSettled(const std::shared_ptr<Order>& /*settlement*/) {}
    virtual void bulkCloseRejected(const std::string& /*orderNumber*/, const std::string& /*reason*/) {}
    // A report answered the order request of that number (see OrderAnswer::request): done, or
    // rejected with its code (of a refusal whose reason is one of several, each code, joined by "/")
    // and the reason as shown; `late` when its window had given up on it. Of a close-all, `position`
    // names the position answered (empty: the request as a whole); of a multi-account order,
    // `account` names the account whose part is answered (empty: the whole).
    // `whatIsKnown` non-empty: the outcome is not known (neither done nor rejected), and that is what is;
    // `closedByOne` then: the position (a close-all's, or the one a close of all of it named) is closed
    // all the same, by this or a like request.
    virtual void requestAnswered(std::uint64_t /*request*/, bool /*rejected*/, const std::string& /*code*/,
                                 const std::string& /*reason*/, bool /*late*/,
                                 const std::string& /*position*/, const std::string& /*account*/,
                                 const std::string& /*whatIsKnown*/, bool /*closedByOne*/) {}
};

// What the session shows the user besides the typed events: the welcome sound, banners and alerts
// (SessionEvents by default), and the login journal lines (JournalData).
class SessionNotifications {
public:
    virtual ~SessionNotifications() = default;
    // Signed in: the welcome sound.
    virtual void LoginSuccessNotification() = 0;
    virtual void appUpdateNotification(const std::string& message) = 0;
    virtual void MarginCallNotification(const std::string& accountId) = 0;
    // `code`: the answer's refusal code (wire::registration), 0 when it gave none.
    virtual void demoUserCreationFailureNotification(std::int32_t code) = 0;
    // The journal line of a login event: 0 connected, 1 snapshot received, 2 login completed, stamped
    // with the server's clock at that moment (wire form; "" when the server has told none). Any thread.
    virtual std::string getLoginJournalData(int event, const std::string& serverTime) = 0;
};

// The requests the login road sends, each composed in its own builder. Called on the main queue, except
// requestControlClientConnectMessage (request thread).
class LoginRequests {
public:
    virtual ~LoginRequests() = default;
    virtual void pingToServer() = 0;
    virtual void requestOpenPosition() = 0;
    virtual void requestPendingOrders() = 0;
    virtual void requestSettledOrders() = 0;
    virtual void requestCancelledOrders() = 0;
    virtual void requestEquityPriceInfo(std::int32_t accountId) = 0;
    virtual void requestContactList() = 0;
    virtual void requestRecentConversation() = 0;
    virtual void requestOfflineMessages() = 0;
    virtual void requestAdvancedInstrumentInfo() = 0;
    virtual void requestResourceSearchForTypes(const std::vector<std::string>& types) = 0;
    virtual void requestApprovalRequest() = 0;
    virtual void requestFinancialApprovals() = 0;
    virtual void requestControlClientConnectMessage() = 0;
};

// An execution report (types 62, 66, 67) or the answer to an offset (1052) as the session read it:
// its fields and the tags the order side's status switch reads.
struct ExecutionReport {
    ExecutionReport(std::int64_t messageType, const std::vector<std::string>& messageFields)
        : type(messageType), fields(messageFields) {}

    std::int64_t type = 0;
    const std::vector<std::string>& fields;
    int status = 0;                                     // tag 73
    std::string pendingOrderId;                         // tag 79
    std::optional<std::string> bracketPositionId;       // tag 573
    std::string positionId;                             // tag 80
    std::optional<platform::Decimal> remainingQuantity; // tag 76; none when absent or not one number
    std::string offsetOrder;                            // tag 125
    std::int32_t rejectionCode = 0;                     // tag 74 (0 when absent)
    // The request number as this report left it (reports are applied in arrival order).
    std::int32_t requestId = 0;
};

// The order side of the session: the order rules, requests and live order lists live in a layer above
// the session, which implements this and attaches it to the business object (attachSessionOrders).
// The session hands it the messages that are its own. Main queue only.
class OrderSide {
public:
    virtual ~OrderSide() = default;
    // Files an execution report or an offset answer in the lists and tells its events, in arrival order.
    virtual void executionReport(const ExecutionReport& report) = 0;
    // Where the data service's order rows go.
    virtual HistoryRowSink& historyRows() = 0;
    // The positions that were closed or arrived closed, for the executed-positions query; null when
    // this side keeps none.
    virtual const SessionModel::OrderList* openPositionHistory() const { return nullptr; }
    // Where the login now stands.
    virtual void loginPhaseChanged(LoginPhase /*phase*/) {}
    // The stream was lost: the requests the server has not answered, as the trader reads them, oldest
    // first. Told once: they are forgotten here.
    virtual std::vector<std::string> takeUnansweredRequests() { return {}; }
    // The tables of a main-queue pass, just before they are announced: figures worked out from
    // them are current when the subscribers read them.
    virtual void tablesAboutToBeAnnounced(interfaces::TableSet /*tables*/) {}
};

// The execution reports (types 62, 66, 67) and offset answers (1052) go to the order side the session
// has then (null: dropped), read into their report.
void enterOrderMessages(MessageRooms& rooms, std::function<OrderSide*()> side);

// Funding: the replies of its own (types 94, 96, 98 and 694), which it enters as a room, and the
// funding rows of the data service, as received (the funding layer reads them). Main queue.
class FundingHandlers : public SessionRoom {
public:
    // "getapprovalrequest", "getfinancialapprovals" and "paygategetsettings" rows.
    virtual void fillApprovalRequests(const std::vector<std::string>& /*rows*/) {}
    virtual void fillFinancialApprovals(const std::vector<std::string>& /*rows*/) {}
    virtual void fillPayGateSettings(const std::vector<std::string>& /*rows*/) {}
    // The stream was lost: the deposits, withdrawals and payments the server has not answered, as
    // the trader reads them, oldest first. Told once: they are forgotten here.
    virtual std::vector<std::string> takeUnansweredRequests() { return {}; }
};

// The chat: the messages of its own, which it enters as a room, and at a loss the user's texts whose
// delivery the server had not confirmed. Main queue.
class ChatHandlers : public SessionRoom {
public:
    // The line is lost: the user's texts the server had not confirmed, as the trader reads them, oldest
    // first; each is marked so in its conversation. Told once.
    virtual std::vector<std::string> takeUnconfirmedTexts() { return {}; }
};

// The account statement: read on the thread that received the reply, installed on the main queue.
class StatementHandlers {
public:
    virtual ~StatementHandlers() = default;
    // Receiving thread: reads the reply to `request` (null when no request was recorded for it) and
    // returns the step that installs it on the main queue.
    virtual std::function<void()> readAccountStatement(const PendingRequest* request, std::string xml) = 0;
};

// Resource files.
class ResourceHandlers {
public:
    virtual ~ResourceHandlers() = default;
    // Receiving thread: decodes a download's payload as the server sent it (Base64; empty when the
    // reply carried none) for the request it answers (null when none was recorded), and returns the
    // step that stores it on the main queue.
    virtual std::function<void()> readResourceDownload(const PendingRequest* request,
                                                       std::string payloadBase64) = 0;
    // Main queue: a search's rows were filed in the data service's resource collection.
    virtual void resourcesFound(const PendingRequest* /*request*/) {}
};

// The price, depth and instrument-status feed; it enters the instrument-status messages as a room.
class FeedHandler : public SessionRoom {
public:
    // On the feed thread: decode here, change the collections on the main queue.
    virtual void ZMQNewMessage(const std::string& text) = 0;
};

// Reads a login snapshot into a fresh model, off the main queue. `compressedField` is the tag-1050
// field as received; `isAmp` is tag 160 == "AMP". nullopt when the payload does not read.
class SnapshotLoader {
public:
    virtual ~SnapshotLoader() = default;
    virtual std::optional<SessionModel> load(std::string_view compressedField, bool isAmp) = 0;
};

// The instrument codes the feed must carry: watch list, open positions, pending orders.
class SubscriptionSource {
public:
    virtual ~SubscriptionSource() = default;
    virtual std::vector<std::string> getAllItems() = 0;
};

struct BusinessServices {
    // Typed events for the program; nobody listens when null.
    std::shared_ptr<SessionEventSink> events;
    std::shared_ptr<SessionNotifications> notifications;
    std::shared_ptr<LoginRequests> requests;
    // Where execution reports go; the attached order side unless given.
    std::shared_ptr<OrderSide> orders;
    // The rooms of chat and of the data-service and chart replies.
    std::shared_ptr<ChatHandlers> chat;
    std::shared_ptr<FundingHandlers> funding;
    std::shared_ptr<StatementHandlers> statements;
    std::shared_ptr<ResourceHandlers> resources;
    std::shared_ptr<SessionRoom> dataService;
    // Where the order rows of the data service's history replies go; the attached order side unless
    // given.
    std::shared_ptr<HistoryRowSink> historyRows;
    std::shared_ptr<FeedHandler> feed;
    std::shared_ptr<SnapshotLoader> snapshotLoader;
    std::shared_ptr<SubscriptionSource> subscriptions;
    // Where the watch list is kept; the standard user defaults when null.
    platform::UserDefaults* userDefaults = nullptr;
};

} // namespace tc
