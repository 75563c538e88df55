// The minimal stand-ins the session object runs with until the real neighbours are plugged in. They
// do what a headless login needs and log the rest:
// - notifications and banners are SessionEvents', journal lines JournalData's;
// - requests go to the session's own SessionRequests;
// - execution reports and the data service's order rows go to OrderCollections over the session's
//   model;
// - chat and funding messages are logged and dropped;
// - data-service and chart replies are SessionDataService's (order rows go to `historyRows`);
// - the feed is SessionFeed's (quotes, depth, server messages, instrument status);
// - snapshots are read by SessionSnapshotLoader (both forms);
// - the subscription set is the watch list's.
#include "session/business_services.h"

#include "orders/order_collections.h"
#include "platform/lenient.h"
#include "platform/log.h"
#include "platform/notification_center.h"
#include "platform/notification_names.h"
#include "session/business_base.h"
#include "session/formatter.h"
#include "session/journal_data.h"
#include "session/order.h"
#include "session/session_data_service.h"
#include "session/session_events.h"
#include "session/session_feed.h"
#include "session/session_model.h"
#include "session/session_snapshot_loader.h"

#include <set>

namespace {

using platform::NotificationCenter;

// The session's events: notifications and banners of SessionEvents, login lines of JournalData.
class EventNotifications final : public SessionNotifications {
public:
    explicit EventNotifications(BusinessBase& business)
        : business_(business),
          events_(std::make_shared<SessionEvents>(
              business.application(),
              platform::NotificationObject(static_cast<const BusinessBase*>(&business)))) {}
    void LoginSuccessNotification() override { events_->LoginSuccessNotification(); }
    void HistoryDataUpdateNotification() override { events_->HistoryDataUpdateNotification(); }
    void appUpdateNotification(const std::string& message) override {
        events_->appUpdateNotification(message);
    }
    void OrderRejectionNotification(const std::string& text) override {
        events_->OrderRejectionNotification(text);
    }
    void bulkCloseRejectedNotification(const std::map<std::string, std::string>& info) override {
        events_->bulkCloseRejectedNotification(SessionEvents::TextDictionary(info.begin(), info.end()));
    }
    void CloseHedgedPositionsNotification() override { events_->CloseHedgedPositionsNotification(); }
    void ChatQueueStatusUpdateNotification() override { events_->ChatQueueStatusUpdateNotification(); }
    void MarginCallNotification(const std::string& accountId) override {
        events_->MarginCallNotification(static_cast<std::int32_t>(platform::lenientInteger(accountId)));
    }
    void passwordChangeNotification() override { events_->passwordChangeNotification(); }
    void demoUserCreationNotification(const std::string& userName, const std::string& password) override {
        events_->demoUserCreationNotification(userName, password);
    }
    void demoUserCreationFailureNotification() override { events_->demoUserCreationFailureNotification(); }
    void postnetworkspeedNotification(const std::optional<std::string>& serverTime) override {
        if (serverTime)
            NotificationCenter::defaultCenter().post(std::string(platform::kNetworkSpeedNotification),
                                                     *serverTime);
    }
    void WatchlistTableNotification() override {
        NotificationCenter::defaultCenter().post(std::string(platform::kWatchlistTableNotification));
    }
    std::string getLoginJournalData(int event) override {
        return JournalData::getLoginJournalData(
            event, JournalContext::from(business_.logindata(), business_.application().selectedLanguage(),
                                        business_.ServerTime().value_or("")));
    }

private:
    BusinessBase& business_;
    std::shared_ptr<SessionEvents> events_;
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

// The order collections' view of the session object: its request number, language, journal and a
// SessionEvents of its own for the order notices.
class BusinessOrderHost final : public OrderCollectionsHost {
public:
    explicit BusinessOrderHost(BusinessBase& business)
        : business_(business),
          events_(business.application(),
                  platform::NotificationObject(static_cast<const BusinessBase*>(&business))) {}
    // Not the live value: later messages may have moved it on before the main queue got here.
    std::int32_t Requestid() const override { return business_.reportRequestid(); }
    std::int64_t selectedLanguage() const override { return business_.application().selectedLanguage(); }
    JournalContext journalContext() const override {
        return JournalContext::from(business_.logindata(), selectedLanguage(),
                                    business_.ServerTime().value_or(""));
    }
    void appendJournal(std::string line) override { business_.appendJournal(std::move(line)); }
    SessionEvents* events() override { return &events_; }

private:
    BusinessBase& business_;
    SessionEvents events_;
};

// The collections together with the host they reach the session through.
class SessionOrderCollections {
public:
    explicit SessionOrderCollections(BusinessBase& business)
        : host_(business), collections_(business.session(), host_) {}
    OrderCollections& collections() { return collections_; }

private:
    BusinessOrderHost host_;
    OrderCollections collections_;
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
        s.notifications = std::make_shared<EventNotifications>(business);
    if (!s.requests)
        s.requests = std::make_shared<ForwardingRequests>(business);
    if (!s.historyRows)
        s.historyRows = std::dynamic_pointer_cast<HistoryRowSink>(s.orders);
    if (!s.orders || !s.historyRows) {
        auto owner = std::make_shared<SessionOrderCollections>(business);
        std::shared_ptr<OrderCollections> collections(owner, &owner->collections());
        if (!s.orders)
            s.orders = collections;
        if (!s.historyRows)
            s.historyRows = collections;
    }
    if (!s.chat)
        s.chat = std::make_shared<DroppingChat>();
    if (!s.funding)
        s.funding = std::make_shared<DroppingFunding>();
    if (!s.dataService)
        s.dataService = std::make_shared<SessionDataService>(business);
    if (!s.feed)
        s.feed = std::make_shared<SessionFeed>(business);
    if (!s.snapshotLoader)
        s.snapshotLoader = std::make_shared<SessionSnapshotLoader>();
    if (!s.subscriptions)
        s.subscriptions = std::make_shared<WatchedItems>(business);
}
