#include "model/records/history_rows.h"

#include "model/records/record_fields.h"
#include "model/records/record_layout.h"
#include "platform/log.h"
#include "wire/separators.h"

namespace tc {

namespace history {

std::vector<std::string_view> splitRecords(std::string_view reply) {
    std::vector<std::string_view> records;
    std::size_t start = 0;
    while (start <= reply.size()) {
        std::size_t end = reply.find(wire::kRecord, start);
        if (end == std::string_view::npos)
            end = reply.size();
        if (end > start) {
            if (records.size() == kMaxRecords) {
                platform::Log::warning("history reply holds more than {} records; the rest are dropped",
                                       kMaxRecords);
                break;
            }
            records.push_back(reply.substr(start, end - start));
        }
        start = end + 1;
    }
    return records;
}

} // namespace history

namespace {

using namespace records;

constexpr auto kOpenLayout = recordLayout(
    text(0, &OpenOrderHD::PositionId), text(1, &OpenOrderHD::AccountId), int32(2, &OpenOrderHD::InstrumentId),
    flag(3, &OpenOrderHD::IsBuy), text(4, &OpenOrderHD::RefOrderTicketId),
    text(5, &OpenOrderHD::RefPendingOrderId), text(6, &OpenOrderHD::OrderExecutionId),
    decimal(7, &OpenOrderHD::PositionInitialQty), decimal(8, &OpenOrderHD::PositionQty),
    decimal(9, &OpenOrderHD::OrderPrice), decimal(10, &OpenOrderHD::CommissionPaid),
    time(11, &OpenOrderHD::PositionDate), text(12, &OpenOrderHD::ConfirmationModeId),
    text(13, &OpenOrderHD::ConfirmedBy), decimal(14, &OpenOrderHD::UnrealisedPL),
    text(15, &OpenOrderHD::TradeRouteId), text(16, &OpenOrderHD::RoutePositionId),
    int32(17, &OpenOrderHD::DeliveryMode), int32(18, &OpenOrderHD::OrderTypeId),
    decimal(19, &OpenOrderHD::Storage), time(20, &OpenOrderHD::ValueDate), time(21, &OpenOrderHD::ExpiryDate),
    decimal(27, &OpenOrderHD::BaseCurrencyRate));

constexpr auto kPendingLayout =
    recordLayout(text(0, &PendingOrderHD::PendingOrderId), text(1, &PendingOrderHD::RefTicketId),
                 text(2, &PendingOrderHD::AccountId), int32(3, &PendingOrderHD::InstrumentId),
                 flag(4, &PendingOrderHD::IsBuy), int32(5, &PendingOrderHD::OrderTypeId),
                 decimal(6, &PendingOrderHD::OrderQty), decimal(7, &PendingOrderHD::MinQty),
                 decimal(8, &PendingOrderHD::DisclosedQty), decimal(9, &PendingOrderHD::RemainingQty),
                 decimal(10, &PendingOrderHD::OrderPrice), decimal(11, &PendingOrderHD::LimitPrice),
                 decimal(12, &PendingOrderHD::StopPrice), decimal(13, &PendingOrderHD::TralingStopPrice),
                 int32(14, &PendingOrderHD::DeliveryModeId), int32(15, &PendingOrderHD::TimeInForceId),
                 time(16, &PendingOrderHD::ExpiryDateTime), decimal(17, &PendingOrderHD::OCOLLimitPrice),
                 decimal(18, &PendingOrderHD::OCOLStopPrice), decimal(19, &PendingOrderHD::OCOSLimit),
                 decimal(20, &PendingOrderHD::OCOSStop), decimal(21, &PendingOrderHD::Spread),
                 text(22, &PendingOrderHD::TradeRouteId), text(23, &PendingOrderHD::RoutePendingOrderId),
                 time(24, &PendingOrderHD::OrderAtServerDateTime),
                 text(25, &PendingOrderHD::RefPositionIdOfBracket), decimal(26, &PendingOrderHD::TouchQty),
                 decimal(27, &PendingOrderHD::TouchPrice), time(28, &PendingOrderHD::TouchDateTime));

// The account currency rate at 19 is read only when the record reaches it, like any field.
constexpr auto kSettledLayout =
    recordLayout(text(0, &SettledOrderHD::SettlementId), text(1, &SettledOrderHD::AccountId),
                 int32(2, &SettledOrderHD::InstrumentId), text(3, &SettledOrderHD::RefPositionId),
                 text(4, &SettledOrderHD::RefClosingPositionId), decimal(5, &SettledOrderHD::SettledQty),
                 decimal(6, &SettledOrderHD::SettledPL), time(7, &SettledOrderHD::SettlementDate),
                 decimal(8, &SettledOrderHD::CurrencyRate), decimal(9, &SettledOrderHD::Storage),
                 decimal(10, &SettledOrderHD::CommissionPaid), decimal(11, &SettledOrderHD::OtherCharges),
                 flag(12, &SettledOrderHD::IsBuy), decimal(13, &SettledOrderHD::OpenPrice),
                 decimal(14, &SettledOrderHD::ClosePrice), time(15, &SettledOrderHD::OpenPositionDate),
                 time(16, &SettledOrderHD::ClosePositionDate), int32(17, &SettledOrderHD::DeliveryModeId),
                 decimal(19, &SettledOrderHD::accountCurrencyRate));

constexpr auto kCancelledLayout =
    recordLayout(text(0, &CancelledOrderHD::CancelledOrderId), decimal(1, &CancelledOrderHD::CancelledQty),
                 text(2, &CancelledOrderHD::RefTicketId), text(3, &CancelledOrderHD::RefPendingOrderId),
                 int32(4, &CancelledOrderHD::InstrumentId), text(5, &CancelledOrderHD::AccountId),
                 text(6, &CancelledOrderHD::CancelReasonId), time(7, &CancelledOrderHD::CancelDateTime),
                 text(8, &CancelledOrderHD::ActionByUserId), flag(9, &CancelledOrderHD::IsBuy),
                 int32(10, &CancelledOrderHD::DeliveryMode), decimal(11, &CancelledOrderHD::OrderAsk),
                 decimal(12, &CancelledOrderHD::OrderBid), decimal(13, &CancelledOrderHD::OrderHigh),
                 decimal(14, &CancelledOrderHD::OrderLow), int32(15, &CancelledOrderHD::OrderTypeId),
                 decimal(16, &CancelledOrderHD::OrderPrice), time(17, &CancelledOrderHD::OrderTime));

constexpr auto kEquityHitLayout = recordLayout(
    int32(0, &EquityHitPriceInfos::EHOrderHistoryId), int32(1, &EquityHitPriceInfos::RefEHMCId),
    text(2, &EquityHitPriceInfos::PositionId), int32(3, &EquityHitPriceInfos::InstrumentId),
    decimal(4, &EquityHitPriceInfos::OrderPrice), decimal(5, &EquityHitPriceInfos::HitPrice),
    text(6, &EquityHitPriceInfos::AccountId), decimal(7, &EquityHitPriceInfos::UnrealisedPL),
    decimal(8, &EquityHitPriceInfos::UnrealisedCharges),
    decimal(9, &EquityHitPriceInfos::AccumulatingStorage), flag(10, &EquityHitPriceInfos::IsBuy),
    decimal(11, &EquityHitPriceInfos::PositionQty), decimal(12, &EquityHitPriceInfos::CurrencyRate),
    decimal(13, &EquityHitPriceInfos::ContractSize));

// One record through its row's table; an oversize record is refused before it is split.
template <class Row, class Layout>
std::optional<Row> readRow(std::string_view record, const Layout& layout, std::string_view rowName) {
    if (record.size() > history::kMaxRecordBytes) {
        platform::Log::warning("{} record of {} bytes is over the {}-byte limit; skipped", rowName,
                               record.size(), history::kMaxRecordBytes);
        return std::nullopt;
    }
    Row row;
    readRecord(RecordFields(record, wire::kColumn), layout, row);
    return row;
}

} // namespace

std::optional<OpenOrderHD> OpenOrderHD::initWithMessage(std::string_view record) {
    return readRow<OpenOrderHD>(record, kOpenLayout, "open position");
}

std::optional<PendingOrderHD> PendingOrderHD::initWithMessage(std::string_view record) {
    return readRow<PendingOrderHD>(record, kPendingLayout, "pending order");
}

std::optional<SettledOrderHD> SettledOrderHD::initWithMessage(std::string_view record) {
    return readRow<SettledOrderHD>(record, kSettledLayout, "settled position");
}

std::optional<CancelledOrderHD> CancelledOrderHD::initWithMessage(std::string_view record) {
    return readRow<CancelledOrderHD>(record, kCancelledLayout, "cancelled order");
}

std::optional<EquityHitPriceInfos> EquityHitPriceInfos::initWithMessage(std::string_view record) {
    return readRow<EquityHitPriceInfos>(record, kEquityHitLayout, "equity-hit price");
}

} // namespace tc
