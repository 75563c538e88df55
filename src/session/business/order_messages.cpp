// The order side's messages, read into their report for whichever order side the session has.
#include "model/records/record_decimal.h"
#include "model/records/record_layout.h"
#include "platform/log.h"
#include "session/business/business_services.h"
#include "wire/wire_names.h"

#include <string>
#include <string_view>
#include <utility>

namespace tc {

namespace {

namespace msg = wire::msg;
namespace tag = wire::tag;

// A missing rejection code leaves 0: done, or the general text.
constexpr auto kReportLayout = records::recordLayout(
    records::int64(tag::kReportStatus, &ExecutionReport::status),
    records::text(tag::kPendingOrderId, &ExecutionReport::pendingOrderId),
    records::text(tag::kBracketPositionId,
                  [](ExecutionReport& r, std::string_view v) { r.bracketPositionId = std::string(v); }),
    records::text(tag::kPositionId, &ExecutionReport::positionId),
    records::text(tag::kRemainingQuantity,
                  [](ExecutionReport& r, std::string_view v) { r.remainingQuantity = strictDecimal(v); }),
    records::text(tag::kOffsetOrder, &ExecutionReport::offsetOrder),
    records::int32(tag::kRejectionCode, &ExecutionReport::rejectionCode));

} // namespace

void enterOrderMessages(MessageRooms& rooms, std::function<OrderSide*()> side) {
    const auto hand = [side = std::move(side)](const RoomMessage& m) {
        OrderSide* orders = side();
        if (!orders) {
            platform::Log::debug("execution report dropped: no order side");
            return;
        }
        ExecutionReport report(m.type(), m.fields());
        m.readTagged(kReportLayout, report);
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
    // The order lists name each record a report rewrites in place.
    for (const std::int64_t type : {msg::kExecutionReport, msg::kPositionSettled, msg::kPositionReport})
        rooms.enter(type, MessageRoom{tags, true, nullptr, hand, orderTables, true});
    // An offset answer changes no table by itself; its fields name the account and instrument, by
    // which its offset is found.
    rooms.enter(msg::kCloseHedged, tags, true, hand);
}

} // namespace tc
