#include "model/records/history_rows.h"

#include "platform/lenient.h"
#include "platform/log.h"
#include "wire/separators.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tc {

namespace history {

Fields::Fields(std::string_view record) {
    std::size_t start = 0;
    while (fields_.size() < kMaxFields) {
        const std::size_t end = record.find(wire::kColumn, start);
        fields_.push_back(record.substr(start, end == std::string_view::npos ? record.npos : end - start));
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
}

std::string_view Fields::at(std::size_t pos) const {
    return pos < fields_.size() ? fields_[pos] : std::string_view{};
}

std::string Fields::text(std::size_t pos) const {
    return std::string(at(pos));
}

std::int32_t Fields::int32(std::size_t pos) const {
    const std::int64_t v = platform::lenientInteger(at(pos));
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

double Fields::real(std::size_t pos) const {
    const double v = platform::lenientReal(at(pos));
    return std::isfinite(v) ? v : 0.0;
}

bool Fields::flag(std::size_t pos) const {
    return platform::lenientFlag(at(pos));
}

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

namespace {

// The fields of a record within the size limit.
std::optional<Fields> fieldsOf(std::string_view record, std::string_view rowName) {
    if (record.size() > kMaxRecordBytes) {
        platform::Log::warning("{} record of {} bytes is over the {}-byte limit; skipped", rowName,
                               record.size(), kMaxRecordBytes);
        return std::nullopt;
    }
    return Fields(record);
}

} // namespace

} // namespace history

std::optional<OpenOrderHD> OpenOrderHD::initWithMessage(std::string_view record) {
    const auto f = history::fieldsOf(record, "open position");
    if (!f)
        return std::nullopt;
    OpenOrderHD r;
    r.PositionId = f->text(0);
    r.AccountId = f->text(1);
    r.InstrumentId = f->int32(2);
    r.IsBuy = f->flag(3);
    r.RefOrderTicketId = f->text(4);
    r.RefPendingOrderId = f->text(5);
    r.OrderExecutionId = f->text(6);
    r.PositionInitialQty = f->real(7);
    r.PositionQty = f->real(8);
    r.OrderPrice = f->real(9);
    r.CommisionPaid = f->real(10);
    r.PositionDate = f->text(11);
    r.ConfirmationModeId = f->text(12);
    r.ConfirmedBy = f->text(13);
    r.UnrealisedPL = f->real(14);
    r.TradeRouteId = f->text(15);
    r.RoutePositionId = f->text(16);
    r.DeliveryMode = f->int32(17);
    r.OrderTypeId = f->int32(18);
    r.Storage = f->real(19);
    r.ValueDate = f->text(20);
    r.ExpiryDate = f->text(21);
    r.BaseCurrencyRate = f->real(27);
    return r;
}

std::optional<PendingOrderHD> PendingOrderHD::initWithMessage(std::string_view record) {
    const auto f = history::fieldsOf(record, "pending order");
    if (!f)
        return std::nullopt;
    PendingOrderHD r;
    r.PendingOrderId = f->text(0);
    r.RefTicketId = f->text(1);
    r.AccountId = f->text(2);
    r.InstrumentId = f->int32(3);
    r.IsBuy = f->flag(4);
    r.OrderTypeId = f->int32(5);
    r.OrderQty = f->real(6);
    r.MinQty = f->real(7);
    r.DisclosedQty = f->real(8);
    r.RemainingQty = f->real(9);
    r.OrderPrice = f->real(10);
    r.LimitPrice = f->real(11);
    r.StopPrice = f->real(12);
    r.TralingStopPrice = f->real(13);
    r.DeliveryModeId = f->int32(14);
    r.TimeInForceId = f->int32(15);
    r.ExpiryDateTime = f->text(16);
    r.OCOLLimitPrice = f->real(17);
    r.OCOLStopPrice = f->real(18);
    r.OCOSLimit = f->real(19);
    r.OCOSStop = f->real(20);
    r.Spread = f->text(21);
    r.TradeRouteId = f->text(22);
    r.RoutePendingOrderId = f->text(23);
    r.OrderAtServerDateTime = f->text(24);
    r.RefPositionIdOfBracket = f->text(25);
    r.TouchQty = f->real(26);
    r.TouchPrice = f->real(27);
    r.TouchDateTime = f->text(28);
    return r;
}

std::optional<SettledOrderHD> SettledOrderHD::initWithMessage(std::string_view record) {
    const auto f = history::fieldsOf(record, "settled position");
    if (!f)
        return std::nullopt;
    SettledOrderHD r;
    r.SettlementId = f->text(0);
    r.AccountId = f->text(1);
    r.InstrumentId = f->int32(2);
    r.RefPositionId = f->text(3);
    r.RefClosingPositionId = f->text(4);
    r.SettledQty = f->real(5);
    r.SettledPL = f->real(6);
    r.SettlementDate = f->text(7);
    r.CurrencyRate = f->real(8);
    r.Storage = f->real(9);
    r.CommisionPaid = f->real(10);
    r.OtherCharges = f->real(11);
    r.IsBuy = f->flag(12);
    r.OpenPrice = f->text(13);
    r.ClosePrice = f->text(14);
    r.OpenPositionDate = f->text(15);
    r.ClosePositionDate = f->text(16);
    r.DeliveryModeId = f->int32(17);
    if (f->count() >= 20)
        r.accountCurrencyRate = f->real(19);
    return r;
}

std::optional<CancelledOrderHD> CancelledOrderHD::initWithMessage(std::string_view record) {
    const auto f = history::fieldsOf(record, "cancelled order");
    if (!f)
        return std::nullopt;
    CancelledOrderHD r;
    r.CancelledOrderId = f->text(0);
    r.CancelledQty = f->real(1);
    r.RefTicketId = f->text(2);
    r.RefPendingOrderId = f->text(3);
    r.InstrumentId = f->int32(4);
    r.AccountId = f->text(5);
    r.CancelReasonId = f->text(6);
    r.CancelDateTime = f->text(7);
    r.ActionByUserId = f->text(8);
    r.IsBuy = f->flag(9);
    r.DeliveryMode = f->int32(10);
    r.OrderAsk = f->real(11);
    r.OrderBid = f->real(12);
    r.OrderHigh = f->real(13);
    r.OrderLow = f->real(14);
    r.OrderTypeId = f->int32(15);
    r.OrderPrice = f->real(16);
    r.OrderTime = f->text(17);
    return r;
}

std::optional<EquityHitPriceInfos> EquityHitPriceInfos::initWithMessage(std::string_view record) {
    const auto f = history::fieldsOf(record, "equity-hit price");
    if (!f)
        return std::nullopt;
    EquityHitPriceInfos r;
    r.EHOrderHistoryId = f->int32(0);
    r.RefEHMCId = f->int32(1);
    r.PositionId = f->text(2);
    r.InstrumentId = f->int32(3);
    r.OrderPrice = f->real(4);
    r.HitPrice = f->real(5);
    r.AccountId = f->text(6);
    r.UnrealisedPL = f->real(7);
    r.UnrealisedCharges = f->real(8);
    r.AccumulatingStorage = f->real(9);
    r.IsBuy = f->flag(10);
    r.PositionQty = f->real(11);
    r.CurrencyRate = f->real(12);
    r.ContractSize = f->real(13);
    return r;
}

} // namespace tc
