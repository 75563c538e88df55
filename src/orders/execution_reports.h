#pragma once
// The order layer's own messages: the status switch of execution reports (types 62, 66, 67), which
// files each in the live order lists and tells the close-all window's events and the user what the
// server did with an order. An offset answer (1052) files nothing: only its request hears of it.
// Main queue only.
#include "session/business/business_services.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tc {

class OrderHost;
class SessionEvents;

// The order lists' handlers of execution reports, as the status switch drives them.
class OrderCollectionHandlers {
public:
    using Fields = std::vector<std::string>;
    virtual ~OrderCollectionHandlers() = default;
    virtual void FillPendingOrderCollection(const Fields& fields, const std::string& pendingOrderId) = 0;
    virtual void UpdatePendingOrderCollection(const Fields& fields, const std::string& pendingOrderId) = 0;
    virtual void RemovePendingOrder(const std::string& pendingOrderId) = 0;
    // A cancelled order (by its request number) or a rejected one (by its pending order id) goes to
    // the cancelled list.
    virtual void FillCancelledOrderCollection(std::int64_t id, int status, const Fields& fields) = 0;
    // A new order's refusal, which names no order: the record kept since it was sent, of that
    // request number, goes from the pending list to the cancelled list.
    virtual void RejectLocalOrder(std::int32_t requestId, const Fields& fields) = 0;
    virtual void FillOpenOrderCollection(const Fields& fields) = 0;
    virtual void UpdateOpenOrderCollection(const std::string& positionId, const Fields& fields,
                                           const std::optional<platform::Decimal>& remainingQuantity) = 0;
    virtual void ModifyBracketOrderUpdateOnOpenOrderCollection(
        const Fields& fields, const std::optional<std::string>& refPositionId, int status) = 0;
    virtual void FillSettledOrderCollection(const Fields& fields) = 0;
    virtual std::string GetOrderRejectionReason(std::int32_t code) = 0;
    // The bracket reference of the removed pending order with that id (the last match), if any.
    virtual std::optional<std::string>
    RefPositionIdOfRemovedPendingOrder(const std::string& pendingOrderId) = 0;
    // A rejected bracket order without tag 573: clears the take-profit (order type 2) or stop-loss
    // (order type 3) of the positions it referred to.
    virtual void ClearBracketOfRejectedOrder(const std::string& pendingOrderId) = 0;
};

// Files `report` in `lists` by its type and status. A rejection is also told as the close-all
// window's report and, through `banners` when given, as a banner naming no request (given none when
// the rejection answers a request: that request's telling names it).
void applyExecutionReport(const ExecutionReport& report, OrderCollectionHandlers& lists, OrderHost& host,
                          SessionEvents* banners);

} // namespace tc
