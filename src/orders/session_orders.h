#pragma once
// The order side of one signed-in session: the order rules over the session's collections, the
// requests that place, edit, close and offset, and the live lists the execution reports keep.
// Main queue only, like the collections it reads.
#include "orders/business_order_context.h"
#include "orders/order_manager.h"
#include "orders/order_requests.h"
#include "orders/order_session.h"

#include <memory>

class BusinessBase;
class OrderCollections;

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

class SessionOrders {
public:
    explicit SessionOrders(BusinessBase& business);
    SessionOrders(const SessionOrders&) = delete;
    SessionOrders& operator=(const SessionOrders&) = delete;

    OrderSession& orderSession() { return session_; }
    OrderMananger& manager() { return manager_; }
    OrderRequests& requests() { return requests_; }
    // The live lists with their look-ups by id; null unless the composition gave them (it does when
    // they are the ones that receive the execution reports).
    OrderCollections* collections() const { return collections_; }
    void setCollections(OrderCollections* collections) { collections_ = collections; }

private:
    BusinessBase& business_;
    BusinessOrderSession session_;
    OrderMananger manager_;
    BusinessOrderContext context_;
    OrderRequests requests_;
    OrderCollections* collections_ = nullptr;
};
