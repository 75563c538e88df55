#pragma once
// The order side of one signed-in session: the order rules over the session's collections, the
// requests that place, edit, close and offset, and the live lists the execution reports keep.
// Main queue only, like the collections it reads.
#include "orders/business_order_context.h"
#include "orders/order_collections.h"
#include "orders/order_manager.h"
#include "orders/order_requests.h"
#include "orders/order_session.h"
#include "platform/dispatch.h"
#include "session/business/business_services.h"
#include "session/business/session_events.h"

namespace tc {

class BusinessBase;

// The order rules' view of the business object: the model's records, the connection's network flag
// and the user's language as they stand now.
class BusinessOrderSession final : public ModelOrderSession {
public:
    explicit BusinessOrderSession(BusinessBase& business);
    bool isNetworkAvailable() const override;
    std::string textForKey(std::string_view key) const override;

private:
    BusinessBase& business_;
};

// The order collections' view of the business object: its request number, language, journal, a
// SessionEvents of its own for the order notices, and the requests that confirm a stored order.
class BusinessOrderHost final : public OrderCollectionsHost {
public:
    BusinessOrderHost(BusinessBase& business, OrderRequests& requests);
    // Reports are applied in arrival order: the live value is the one the report left.
    std::int32_t Requestid() const override;
    std::int64_t selectedLanguage() const override;
    JournalContext journalContext() const override;
    void appendJournal(std::string line) override;
    SessionEvents* events() override { return &events_; }
    // Its confirmation, and the session's typed event.
    void pendingOrderStored(const std::shared_ptr<Order>& order) override;
    void positionSettled(const std::shared_ptr<Order>& settlement) override;

private:
    BusinessBase& business_;
    OrderRequests& requests_;
    SessionEvents events_;
};

class SessionOrders final : public OrderSide {
public:
    static constexpr platform::Clock::duration kRefreshInterval = std::chrono::seconds(1);

    // Main queue.
    explicit SessionOrders(BusinessBase& business);
    SessionOrders(const SessionOrders&) = delete;
    SessionOrders& operator=(const SessionOrders&) = delete;

    OrderSession& orderSession() { return session_; }
    OrderMananger& manager() { return manager_; }
    OrderRequests& requests() { return requests_; }
    // The live lists with their look-ups by id. They follow the execution reports unless the business
    // object was given other handlers for them.
    OrderCollections& collections() { return collections_; }

    // The account the main window follows (its AccountId), which the hedge margin is worked out for;
    // false, nothing changed, for an account the session does not hold.
    bool setCurrentAccount(std::int32_t accountId);
    std::int32_t currentAccount() const { return session_.selectedAccount; }

    // The once-a-second refresh while signed in: every displayed open position's floating P/L at the
    // live quote converted into its account currency, then every account's floating total, equity
    // and available margin from them; announced as a change of the open-position and account tables.
    void refreshFloatingFigures();

    // OrderSide.
    OrderCollectionHandlers& executionReports() override { return collections_; }
    HistoryRowSink& historyRows() override { return collections_; }
    // The refresh runs while signed in.
    void loginPhaseChanged(LoginPhase phase) override;

private:
    BusinessBase& business_;
    BusinessOrderHost host_;
    OrderCollections collections_;
    BusinessOrderSession session_;
    OrderMananger manager_;
    BusinessOrderContext context_;
    OrderRequests requests_;
    platform::RepeatingTimer refreshTimer_; // last: stops before the members it reads go
};

// Makes the order side of `business`, attaches it (the business object owns it from then on) and
// returns it. Main queue, before the stream starts.
SessionOrders& attachSessionOrders(BusinessBase& business);

} // namespace tc
