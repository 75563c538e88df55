#include "orders/execution_reports.h"

#include "session/business/order_host.h"
#include "session/business/session_events.h"
#include "wire/message_cracker.h"
#include "wire/wire_names.h"

namespace tc {

namespace {

namespace report = wire::report;

void applyRejection(const ExecutionReport& r, OrderCollectionHandlers& lists, OrderHost& host,
                    SessionEvents* banners) {
    const bool namesLeg = r.bracketPositionId && !r.bracketPositionId->empty();
    if (!r.pendingOrderId.empty()) {
        lists.FillCancelledOrderCollection(MessageCracker::integerValue(r.pendingOrderId), report::kRejected,
                                           r.fields);
        lists.RemovePendingOrder(r.pendingOrderId);
    } else if (r.offsetOrder.empty() && !namesLeg) {
        // Naming no order and no position, it is a new order's: a close's or a leg's refusal sent in
        // the same pass shares the request number, but never took the new order's record.
        lists.RejectLocalOrder(r.requestId, r.fields);
    }
    const std::string reason = lists.GetOrderRejectionReason(r.rejectionCode);
    if (banners)
        banners->OrderRejectionNotification(reason);
    host.events().bulkCloseRejected(r.offsetOrder, reason);
    if (!namesLeg)
        lists.ClearBracketOfRejectedOrder(r.pendingOrderId);
    else
        lists.ModifyBracketOrderUpdateOnOpenOrderCollection(r.fields, r.bracketPositionId, report::kRejected);
}

} // namespace

void applyExecutionReport(const ExecutionReport& r, OrderCollectionHandlers& lists, OrderHost& host,
                          SessionEvents* banners) {
    const std::string& id79 = r.pendingOrderId;
    switch (r.type) {
    case wire::msg::kPositionSettled:
        lists.FillSettledOrderCollection(r.fields);
        return;
    case wire::msg::kPositionReport:
        if (r.status == report::kPositionUpdate)
            lists.UpdateOpenOrderCollection(r.positionId, r.fields, r.remainingQuantity);
        else if (r.status == report::kPositionOpened)
            lists.FillOpenOrderCollection(r.fields);
        return;
    case wire::msg::kExecutionReport:
        break;
    default:
        return;
    }
    switch (r.status) {
    case report::kPartlyFilled:
    case report::kEdited:
        lists.UpdatePendingOrderCollection(r.fields, id79);
        lists.ModifyBracketOrderUpdateOnOpenOrderCollection(r.fields, r.bracketPositionId, r.status);
        break;
    case report::kFullyFilled:
        lists.RemovePendingOrder(id79);
        lists.ModifyBracketOrderUpdateOnOpenOrderCollection(r.fields, r.bracketPositionId,
                                                            report::kFullyFilled);
        break;
    case report::kCancelled: {
        lists.RemovePendingOrder(id79);
        lists.FillCancelledOrderCollection(r.requestId, report::kCancelled, r.fields);
        const std::optional<std::string> reference =
            r.bracketPositionId ? r.bracketPositionId : lists.RefPositionIdOfRemovedPendingOrder(id79);
        lists.ModifyBracketOrderUpdateOnOpenOrderCollection(r.fields, reference, report::kCancelled);
        break;
    }
    case report::kRejected:
    case report::kExchangeRejected:
        applyRejection(r, lists, host, banners);
        break;
    case report::kExpired:
    case report::kSuspended:
        lists.ModifyBracketOrderUpdateOnOpenOrderCollection(r.fields, r.bracketPositionId, r.status);
        break;
    case report::kPending:
        lists.FillPendingOrderCollection(r.fields, id79);
        lists.ModifyBracketOrderUpdateOnOpenOrderCollection(r.fields, r.bracketPositionId, report::kPending);
        break;
    default:
        break;
    }
}

} // namespace tc
