// The order side's messages, read into their report for whichever order side the session has.
#include "platform/log.h"
#include "session/business/business_services.h"
#include "wire/wire_names.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace tc {

namespace {

namespace msg = wire::msg;
namespace tag = wire::tag;

std::int32_t clampToInt32(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

} // namespace

void enterOrderMessages(MessageRooms& rooms, std::function<OrderSide*()> side) {
    const auto hand = [side = std::move(side)](const RoomMessage& m) {
        OrderSide* orders = side();
        if (!orders) {
            platform::Log::debug("execution report dropped: no order side");
            return;
        }
        ExecutionReport report(m.type(), m.fields());
        report.status = static_cast<int>(m.integer(tag::kReportStatus));
        report.pendingOrderId = m.text(tag::kPendingOrderId);
        report.bracketPositionId = m.value(tag::kBracketPositionId);
        report.positionId = m.text(tag::kPositionId);
        report.remainingQuantity = m.text(tag::kRemainingQuantity);
        report.offsetOrder = m.text(tag::kOffsetOrder);
        // A missing rejection code reads as 0: done, or the general text.
        report.rejectionCode = clampToInt32(m.integer(tag::kRejectionCode));
        report.requestId = m.requestId();
        orders->executionReport(report);
    };
    const std::vector<int> tags = {tag::kReportStatus, tag::kPendingOrderId,    tag::kBracketPositionId,
                                   tag::kPositionId,   tag::kRemainingQuantity, tag::kOffsetOrder,
                                   tag::kRejectionCode};
    using interfaces::Table;
    const interfaces::TableSet orderTables{Table::Accounts,        Table::OpenPositions,
                                           Table::PendingOrders,   Table::SettledPositions,
                                           Table::CancelledOrders, Table::ExecutedPositions};
    for (const std::int64_t type : {msg::kExecutionReport, msg::kPositionSettled, msg::kPositionReport})
        rooms.enter(type, tags, true, hand, orderTables);
    // An offset answer reads only its tags and changes no table by itself.
    rooms.enter(msg::kCloseHedged, tags, false, hand);
}

} // namespace tc
