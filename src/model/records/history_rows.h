#pragma once
// Rows of the history tables, one per record of a data-service reply. A record is a run of fields
// separated by 0x05, read by position through each row's layout table (history_rows.cpp). Numbers
// and flags are read leniently (the leading number, 0 when there is none; a flag is true for a
// leading Y, y, T, t or digit 1-9); times are the wire's "yyyyMMddHHmmss", none when the text names
// no time. A field the record lacks reads as 0, false, none or the empty text; extra fields are
// ignored.
#include "model/records/order_choices.h"
#include "model/records/wall_time.h"
#include "platform/decimal.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tc {

namespace history {

// Records longer than this are refused whole (nullopt), so one oversize record costs nothing
// and leaves its neighbours alone.
inline constexpr std::size_t kMaxRecordBytes = 64 * 1024;
// Records past this in one reply are dropped (with a warning).
inline constexpr std::size_t kMaxRecords = 100'000;

// The non-empty records of a reply text cut at 0x06, in order, at most kMaxRecords.
std::vector<std::string_view> splitRecords(std::string_view reply);

} // namespace history

struct OpenOrderHD {
    std::string PositionId;
    std::string AccountId;
    std::int32_t InstrumentId = 0;
    bool IsBuy = false;
    std::string RefOrderTicketId;
    std::string RefPendingOrderId;
    std::string OrderExecutionId;
    platform::Decimal PositionInitialQty;
    platform::Decimal PositionQty;
    platform::Decimal OrderPrice;
    platform::Decimal CommissionPaid;
    std::optional<WallTime> PositionDate;
    std::string ConfirmationModeId;
    std::string ConfirmedBy;
    platform::Decimal UnrealisedPL;
    std::string TradeRouteId;
    std::string RoutePositionId;
    Delivery DeliveryMode{};
    OrderKind OrderTypeId{};
    platform::Decimal Storage;
    std::optional<WallTime> ValueDate;
    std::optional<WallTime> ExpiryDate;
    platform::Decimal BaseCurrencyRate; // position 27; 22..26 are not read

    // nullopt only for a record over history::kMaxRecordBytes.
    static std::optional<OpenOrderHD> initWithMessage(std::string_view record);
};

struct PendingOrderHD {
    std::string PendingOrderId;
    std::string RefTicketId;
    std::string AccountId;
    std::int32_t InstrumentId = 0;
    bool IsBuy = false;
    OrderKind OrderTypeId{};
    platform::Decimal OrderQty;
    platform::Decimal MinQty;
    platform::Decimal DisclosedQty;
    platform::Decimal RemainingQty;
    platform::Decimal OrderPrice;
    platform::Decimal LimitPrice;
    platform::Decimal StopPrice;
    platform::Decimal TralingStopPrice;
    Delivery DeliveryModeId{};
    TimeInForce TimeInForceId{};
    std::optional<WallTime> ExpiryDateTime;
    platform::Decimal OCOLLimitPrice;
    platform::Decimal OCOLStopPrice;
    platform::Decimal OCOSLimit;
    platform::Decimal OCOSStop;
    platform::Decimal Spread;
    std::string TradeRouteId;
    std::string RoutePendingOrderId;
    std::optional<WallTime> OrderAtServerDateTime;
    std::string RefPositionIdOfBracket;
    platform::Decimal TouchQty;
    platform::Decimal TouchPrice;
    std::optional<WallTime> TouchDateTime;

    static std::optional<PendingOrderHD> initWithMessage(std::string_view record);
};

struct SettledOrderHD {
    std::string SettlementId;
    std::string AccountId;
    std::int32_t InstrumentId = 0;
    std::string RefPositionId;
    std::string RefClosingPositionId;
    platform::Decimal SettledQty;
    platform::Decimal SettledPL;
    std::optional<WallTime> SettlementDate;
    platform::Decimal CurrencyRate;
    platform::Decimal Storage;
    platform::Decimal CommissionPaid;
    platform::Decimal OtherCharges;
    bool IsBuy = false;
    platform::Decimal OpenPrice;
    platform::Decimal ClosePrice;
    std::optional<WallTime> OpenPositionDate;
    std::optional<WallTime> ClosePositionDate;
    Delivery DeliveryModeId{};
    platform::Decimal accountCurrencyRate; // position 19, only in records of 20 fields or more

    static std::optional<SettledOrderHD> initWithMessage(std::string_view record);
};

struct CancelledOrderHD {
    std::string CancelledOrderId;
    platform::Decimal CancelledQty;
    std::string RefTicketId;
    std::string RefPendingOrderId;
    std::int32_t InstrumentId = 0;
    std::string AccountId;
    std::string CancelReasonId;
    std::optional<WallTime> CancelDateTime;
    std::string ActionByUserId;
    bool IsBuy = false;
    Delivery DeliveryMode{};
    platform::Decimal OrderAsk;
    platform::Decimal OrderBid;
    platform::Decimal OrderHigh;
    platform::Decimal OrderLow;
    OrderKind OrderTypeId{};
    platform::Decimal OrderPrice;
    std::optional<WallTime> OrderTime;

    static std::optional<CancelledOrderHD> initWithMessage(std::string_view record);
};

struct EquityHitPriceInfos {
    std::int32_t EHOrderHistoryId = 0;
    std::int32_t RefEHMCId = 0;
    std::string PositionId;
    std::int32_t InstrumentId = 0;
    platform::Decimal OrderPrice;
    platform::Decimal HitPrice;
    std::string AccountId;
    platform::Decimal UnrealisedPL;
    platform::Decimal UnrealisedCharges;
    platform::Decimal AccumulatingStorage;
    bool IsBuy = false;
    platform::Decimal PositionQty;
    platform::Decimal CurrencyRate;
    platform::Decimal ContractSize;

    static std::optional<EquityHitPriceInfos> initWithMessage(std::string_view record);
};

namespace history {

// One row per non-empty record of the reply; a record that cannot be read is skipped and the
// others are kept in order.
template <typename Row>
std::vector<Row> parseRows(std::string_view reply) {
    std::vector<Row> rows;
    for (std::string_view record : splitRecords(reply)) {
        if (auto row = Row::initWithMessage(record))
            rows.push_back(std::move(*row));
    }
    return rows;
}

} // namespace history

} // namespace tc
