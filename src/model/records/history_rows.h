#pragma once
// Rows of the history tables, one per record of a data-service reply. A record is a run of fields
// separated by 0x05, taken by position. Texts are kept as they stand; numbers and flags are read
// leniently (the leading number, 0 when there is none; a flag is true for a leading Y, y, T, t or
// digit 1-9). A field the record lacks reads as 0, false or the empty text; extra fields are
// ignored.
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
// Fields past this are not split out; no row reads beyond position 28.
inline constexpr std::size_t kMaxFields = 64;
// Records past this in one reply are dropped (with a warning).
inline constexpr std::size_t kMaxRecords = 100'000;

// The fields of one record text, at most kMaxFields of them; views into the text, which must
// outlive this.
class Fields {
public:
    explicit Fields(std::string_view record);
    explicit Fields(std::string&&) = delete;
    std::size_t count() const { return fields_.size(); }
    std::string text(std::size_t pos) const;
    std::int32_t int32(std::size_t pos) const; // saturated at the int32 limits
    double real(std::size_t pos) const;        // infinities and NaN read as 0
    bool flag(std::size_t pos) const;

private:
    std::string_view at(std::size_t pos) const;
    std::vector<std::string_view> fields_;
};

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
    double PositionInitialQty = 0;
    double PositionQty = 0;
    double OrderPrice = 0;
    double CommisionPaid = 0;
    std::string PositionDate;
    std::string ConfirmationModeId;
    std::string ConfirmedBy;
    double UnrealisedPL = 0;
    std::string TradeRouteId;
    std::string RoutePositionId;
    std::int32_t DeliveryMode = 0;
    std::int32_t OrderTypeId = 0;
    double Storage = 0;
    std::string ValueDate;
    std::string ExpiryDate;
    double BaseCurrencyRate = 0; // position 27; 22..26 are not read

    // nullopt only for a record over history::kMaxRecordBytes.
    static std::optional<OpenOrderHD> initWithMessage(std::string_view record);
};

struct PendingOrderHD {
    std::string PendingOrderId;
    std::string RefTicketId;
    std::string AccountId;
    std::int32_t InstrumentId = 0;
    bool IsBuy = false;
    std::int32_t OrderTypeId = 0;
    double OrderQty = 0;
    double MinQty = 0;
    double DisclosedQty = 0;
    double RemainingQty = 0;
    double OrderPrice = 0;
    double LimitPrice = 0;
    double StopPrice = 0;
    double TralingStopPrice = 0;
    std::int32_t DeliveryModeId = 0;
    std::int32_t TimeInForceId = 0;
    std::string ExpiryDateTime;
    double OCOLLimitPrice = 0;
    double OCOLStopPrice = 0;
    double OCOSLimit = 0;
    double OCOSStop = 0;
    std::string Spread;
    std::string TradeRouteId;
    std::string RoutePendingOrderId;
    std::string OrderAtServerDateTime;
    std::string RefPositionIdOfBracket;
    double TouchQty = 0;
    double TouchPrice = 0;
    std::string TouchDateTime;

    static std::optional<PendingOrderHD> initWithMessage(std::string_view record);
};

struct SettledOrderHD {
    std::string SettlementId;
    std::string AccountId;
    std::int32_t InstrumentId = 0;
    std::string RefPositionId;
    std::string RefClosingPositionId;
    double SettledQty = 0;
    double SettledPL = 0;
    std::string SettlementDate;
    double CurrencyRate = 0;
    double Storage = 0;
    double CommisionPaid = 0;
    double OtherCharges = 0;
    bool IsBuy = false;
    std::string OpenPrice;
    std::string ClosePrice;
    std::string OpenPositionDate;
    std::string ClosePositionDate;
    std::int32_t DeliveryModeId = 0;
    double accountCurrencyRate = 0; // position 19, only in records of 20 fields or more

    static std::optional<SettledOrderHD> initWithMessage(std::string_view record);
};

struct CancelledOrderHD {
    std::string CancelledOrderId;
    double CancelledQty = 0;
    std::string RefTicketId;
    std::string RefPendingOrderId;
    std::int32_t InstrumentId = 0;
    std::string AccountId;
    std::string CancelReasonId;
    std::string CancelDateTime;
    std::string ActionByUserId;
    bool IsBuy = false;
    std::int32_t DeliveryMode = 0;
    double OrderAsk = 0;
    double OrderBid = 0;
    double OrderHigh = 0;
    double OrderLow = 0;
    std::int32_t OrderTypeId = 0;
    double OrderPrice = 0;
    std::string OrderTime;

    static std::optional<CancelledOrderHD> initWithMessage(std::string_view record);
};

struct EquityHitPriceInfos {
    std::int32_t EHOrderHistoryId = 0;
    std::int32_t RefEHMCId = 0;
    std::string PositionId;
    std::int32_t InstrumentId = 0;
    double OrderPrice = 0;
    double HitPrice = 0;
    std::string AccountId;
    double UnrealisedPL = 0;
    double UnrealisedCharges = 0;
    double AccumulatingStorage = 0;
    bool IsBuy = false;
    double PositionQty = 0;
    double CurrencyRate = 0;
    double ContractSize = 0;

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
