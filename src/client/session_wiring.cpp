#include "client/session_wiring.h"

#include "chat/session_chat.h"
#include "downloads/session_resources.h"
#include "funding/session_funding.h"
#include "orders/session_orders.h"
#include "statements/session_statements.h"

#include "model/records/order.h"
#include "model/session_model.h"
#include "model/text/formatter.h"
#include "model/text/journal_data.h"
#include "platform/lenient.h"
#include "platform/log.h"
#include "session/business/business_base.h"
#include "session/business/session_events.h"
#include "session/data_service/session_data_service.h"
#include "session/feed/session_feed.h"
#include "session/snapshot/session_snapshot_loader.h"

#include <set>

namespace tc {

namespace {

// What the session shows the user: sounds and banners of SessionEvents, login lines of JournalData.
class EventNotifications final : public SessionNotifications {
public:
    explicit EventNotifications(BusinessBase& business)
        : business_(business),
          events_(std::make_shared<SessionEvents>(business.application(), business.lifetime())) {}
    void LoginSuccessNotification() override { events_->LoginSuccessNotification(); }
    void appUpdateNotification(const std::string& message) override {
        events_->appUpdateNotification(message);
    }
    void MarginCallNotification(const std::string& accountId) override {
        events_->MarginCallNotification(static_cast<std::int32_t>(platform::lenientInteger(accountId)));
    }
    void demoUserCreationFailureNotification(std::int32_t code) override {
        events_->demoUserCreationFailureNotification(code);
    }
    std::string getLoginJournalData(int event, const std::string& serverTime) override {
        return JournalData::getLoginJournalData(
            event, JournalContext::from(business_.loginData(), business_.application().selectedLanguage(),
                                        serverTime));
    }

private:
    BusinessBase& business_;
    std::shared_ptr<SessionEvents> events_;
};

// The session's own requests under the login road's interface.
class ForwardingRequests final : public LoginRequests {
public:
    explicit ForwardingRequests(BusinessBase& business) : business_(business) {}
    void pingToServer() override { business_.pingToServer(); }
    void requestOpenPosition() override { r().requestOpenPosition(); }
    void requestPendingOrders() override { r().requestPendingOrders(); }
    void requestSettledOrders() override { r().requestSettledOrders(); }
    void requestCancelledOrders() override { r().requestCancelledOrders(); }
    void requestEquityPriceInfo(std::int32_t accountId) override { r().requestEquityPriceInfo(accountId); }
    void requestContactList() override { r().requestContactList(); }
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

class WatchedItems final : public SubscriptionSource {
public:
    explicit WatchedItems(BusinessBase& business) : business_(business) {}
    std::vector<std::string> getAllItems() override { return business_.watchList().getAllItems(); }

private:
    BusinessBase& business_;
};

BusinessServices wireServices(BusinessBase& business, BusinessServices s, WiredSession& wired) {
    if (!s.notifications)
        s.notifications = std::make_shared<EventNotifications>(business);
    if (!s.requests)
        s.requests = std::make_shared<ForwardingRequests>(business);
    if (!s.chat) {
        auto chat = std::make_shared<chat::SessionChat>(business);
        wired.chat = chat.get();
        s.chat = std::move(chat);
    }
    if (!s.funding) {
        auto funding = std::make_shared<funding::SessionFunding>(business);
        wired.funding = funding.get();
        s.funding = std::move(funding);
    }
    if (!s.statements) {
        auto statements = std::make_shared<statements::SessionStatements>(business);
        wired.statements = statements.get();
        s.statements = std::move(statements);
    }
    if (!s.resources) {
        auto resources = std::make_shared<SessionResources>(business);
        wired.resources = resources.get();
        s.resources = std::move(resources);
    }
    if (!s.dataService)
        s.dataService = std::make_shared<SessionDataService>(business);
    if (!s.feed)
        s.feed = std::make_shared<SessionFeed>(business);
    if (!s.snapshotLoader)
        s.snapshotLoader = std::make_shared<SessionSnapshotLoader>();
    if (!s.subscriptions)
        s.subscriptions = std::make_shared<WatchedItems>(business);
    // Execution reports and the data service's order rows go to the order side attached below, unless
    // the caller gave handlers for them.
    return s;
}

} // namespace

WiredSession wireSession(interfaces::ApplicationInterface& application, LoginInputData& login,
                         BusinessServices services, ConnectionOptions connection) {
    WiredSession wired;
    wired.business = std::make_unique<BusinessBase>(
        application, login,
        [&services, &wired](BusinessBase& b) { return wireServices(b, std::move(services), wired); },
        std::move(connection));
    wired.orders = &attachSessionOrders(*wired.business);
    return wired;
}

std::unique_ptr<BusinessBase> makeSession(interfaces::ApplicationInterface& application,
                                          LoginInputData& login, BusinessServices services,
                                          ConnectionOptions connection) {
    return wireSession(application, login, std::move(services), std::move(connection)).business;
}

} // namespace tc
