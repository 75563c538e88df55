// The minimal stand-ins the session object runs with until the real neighbours are plugged in. They
// do what a headless login needs and log the rest:
// - notifications are posted under their names on the default centre (no banners, no sounds);
// - requests go to the session's own SessionRequests;
// - order, chat, funding, data-service and feed messages are logged and dropped;
// - no snapshot loader: a login snapshot cannot be read, so the login ends with an error;
// - the subscription set is the watch list's.
#include "session/business_services.h"

#include "platform/log.h"
#include "platform/notification_center.h"
#include "platform/notification_names.h"
#include "session/business_base.h"
#include "session/formatter.h"
#include "session/order.h"
#include "session/session_model.h"

#include <set>

bool isOpenableServerURL(std::string_view url) {
    const auto startsWithNoCase = [url](std::string_view scheme) {
        if (url.size() <= scheme.size())
            return false;
        for (std::size_t i = 0; i < scheme.size(); ++i) {
            const char c = url[i];
            const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
            if (lower != scheme[i])
                return false;
        }
        return true;
    };
    if (!startsWithNoCase("http://") && !startsWithNoCase("https://"))
        return false;
    // No control characters or blanks: the address goes to another program as it stands.
    for (unsigned char c : url) {
        if (c <= 0x20 || c == 0x7f)
            return false;
    }
    const std::size_t hostStart = url.find("//") + 2;
    return hostStart < url.size() && url[hostStart] != '/';
}

namespace {

using platform::NotificationCenter;

class PostingNotifications final : public SessionNotifications {
public:
    explicit PostingNotifications(BusinessBase& business) : business_(business) {}
    void LoginSuccessNotification() override { post(platform::kLoginSuccessNotification); }
    void HistoryDataUpdateNotification() override { post(platform::kHistoryDataUpdateNotification); }
    void appUpdateNotification(const std::string&) override {
        platform::Log::info("a newer version is available");
    }
    void OrderRejectionNotification(const std::string&) override {}
    void bulkCloseRejectedNotification(const std::map<std::string, std::string>&) override {}
    void CloseHedgedPositionsNotification() override { post(platform::kCloseHedgePositionNotification); }
    void ChatQueueStatusUpdateNotification() override { post(platform::kChatQueueStatusUpdate); }
    void MarginCallNotification(const std::string&) override {}
    void passwordChangeNotification() override {
        NotificationCenter::defaultCenter().post(std::string(platform::kPasswordChangeNotification),
                                                 &business_);
    }
    void demoUserCreationNotification(const std::string& text) override {
        NotificationCenter::defaultCenter().post(std::string(platform::kDemoUserCreationNotification),
                                                 &business_, {{"UserInfo", text}});
    }
    void demoUserCreationFailureNotification() override {}
    void postnetworkspeedNotification(const std::optional<std::string>& serverTime) override {
        if (serverTime)
            NotificationCenter::defaultCenter().post(std::string(platform::kNetworkSpeedNotification),
                                                     *serverTime);
    }
    void WatchlistTableNotification() override { post(platform::kWatchlistTableNotification); }
    std::string getLoginJournalData(int) override { return {}; }

private:
    static void post(std::string_view name) { NotificationCenter::defaultCenter().post(std::string(name)); }
    BusinessBase& business_;
};

// The session's own requests under the login road's interface.
class ForwardingRequests final : public LoginRequests {
public:
    explicit ForwardingRequests(BusinessBase& business) : business_(business) {}
    void pingToserver() override { business_.pingToserver(); }
    void requestOpenPosition() override { r().requestOpenPosition(); }
    void requestPendingOrders() override { r().requestPendingOrders(); }
    void requestSettledOrders() override { r().requestSettledOrders(); }
    void requestCancelledOrders() override { r().requestCancelledOrders(); }
    void requestEquityPriceinfo(std::int32_t accountId) override { r().requestEquityPriceinfo(accountId); }
    void requestContactlist() override { r().requestContactlist(); }
    void requestRecentConversation() override { r().requestRecentConversation(); }
    void requestOfflineMessages() override { r().requestOfflineMessages(); }
    void requestAdvancedInstrumentInfo() override { r().requestAdvancedInstrumentInfo(); }
    void requestResourceSearchForTypes(const std::vector<std::string>& types) override {
        r().requestResourceSearchForTypes(types);
    }
    void requestApprovalRequest() override { r().requestApprovalRequest(); }
    void requestFinancialApprovals() override { r().requestFinancialApprovals(); }
    void requestControlClientConnectMessage() override { r().requestControlClientConnectMessage(); }

private:
    SessionRequests& r() { return business_.sessionRequests(); }
    BusinessBase& business_;
};

void dropped(std::string_view what) {
    platform::Log::debug("{}: no handler yet; dropped", what);
}

class DroppingOrders final : public OrderCollectionHandlers {
public:
    void FillPendingOrderCollection(const Fields&, const std::string&) override { dropped("pending order"); }
    void UpdatePendingOrderCollection(const Fields&, const std::string&) override {
        dropped("pending order");
    }
    void RemovePendingOrder(const std::string&, bool) override { dropped("pending order"); }
    void FillCancelledOrderCollection(std::int64_t, int, const Fields&) override {
        dropped("cancelled order");
    }
    void FillOpenOrderCollection(const Fields&) override { dropped("open position"); }
    void UpdateOpenOrderCollection(const std::string&, const Fields&, const std::string&) override {
        dropped("open position");
    }
    void ModifyBracketOrderUpdateonOpenOrderCollection(const Fields&, const std::optional<std::string>&,
                                                       int) override {
        dropped("bracket order");
    }
    void FillSettledOrderCollection(const Fields&) override { dropped("settled order"); }
    std::string GetOrderRejectionReason(std::int32_t) override { return {}; }
    std::optional<std::string> refPositionIdOfRemovedPendingOrder(const std::string&) override { return {}; }
    void clearBracketOfRejectedOrder(const std::string&) override { dropped("rejected bracket order"); }
};

class DroppingChat final : public ChatHandlers {
public:
    void FillChatRoomDetails(const Fields&, const std::string&) override { dropped("chat room"); }
    void FillChatMessages(const Fields&, const std::string&) override { dropped("chat message"); }
    void FillOfflineMessages(const Fields&) override { dropped("offline messages"); }
    void FillRoomMessage(const Fields&) override { dropped("room messages"); }
    void FillChatGroupsAndUsers(const Fields&) override { dropped("contact list"); }
    void FillRecentConversation(const Fields&) override { dropped("recent conversation"); }
    void UpdateChatUserStatus(const std::string&, const Fields&) override { dropped("chat status"); }
    void UpdateChatResponseFromQueue(const Fields&, const std::string&) override { dropped("chat queue"); }
    void UpdateChatQueueStatus(const Fields&, const std::string&) override { dropped("chat queue"); }
};

class DroppingFunding final : public FundingHandlers {
public:
    void payGateMasterResponse(const MessageBase&) override { dropped("pay-gate reply"); }
    void payGateTransactionResponse(const MessageBase&) override { dropped("pay-gate reply"); }
    void payGateStatusResponse(const MessageBase&) override { dropped("pay-gate reply"); }
    void createApprovalAction(std::int64_t, const std::vector<std::string>&) override { dropped("approval"); }
};

class DroppingDataService final : public DataServiceHandlers {
public:
    void processDSResponse(const std::optional<std::string>&, const std::string&,
                           const std::optional<std::string>& requestName) override {
        platform::Log::debug("data-service reply {}: no handler yet; dropped",
                             requestName.value_or("(unnamed)"));
    }
    void fillChartData(const std::optional<std::string>&, std::uint64_t) override { dropped("chart data"); }
};

class DroppingFeed final : public FeedHandler {
public:
    void ZMQNewMessage(const std::string&) override {}
    void messageCrackerOnInstrumentStatusChange(const std::vector<std::string>&) override {
        dropped("instrument status");
    }
};

class NoSnapshotLoader final : public SnapshotLoader {
public:
    std::optional<SessionModel> load(std::string_view, bool) override {
        platform::Log::error("no login snapshot loader is available");
        return std::nullopt;
    }
};

class WatchedItems final : public SubscriptionSource {
public:
    explicit WatchedItems(BusinessBase& business) : business_(business) {}
    std::vector<std::string> getAllItems() override { return business_.watchList().getAllItems(); }

private:
    BusinessBase& business_;
};

} // namespace

void fillMissingServices(BusinessBase& business, BusinessServices& s) {
    if (!s.notifications)
        s.notifications = std::make_shared<PostingNotifications>(business);
    if (!s.requests)
        s.requests = std::make_shared<ForwardingRequests>(business);
    if (!s.orders)
        s.orders = std::make_shared<DroppingOrders>();
    if (!s.chat)
        s.chat = std::make_shared<DroppingChat>();
    if (!s.funding)
        s.funding = std::make_shared<DroppingFunding>();
    if (!s.dataService)
        s.dataService = std::make_shared<DroppingDataService>();
    if (!s.feed)
        s.feed = std::make_shared<DroppingFeed>();
    if (!s.snapshotLoader)
        s.snapshotLoader = std::make_shared<NoSnapshotLoader>();
    if (!s.subscriptions)
        s.subscriptions = std::make_shared<WatchedItems>(business);
}
