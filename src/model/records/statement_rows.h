#pragma once
// Rows of the account statement, read column by column by the statement reader. Three extend
// the order record and one the account record with the statement's extra columns. Every time is the
// server's clock as the statement wrote it (no zone of the computer's applied), none when a text names
// no time; a shown order time that does not read (one with a zone suffix, say) is kept as the
// statement sent it, beside, and shown so.
#include "model/records/account_details.h"
#include "model/records/order.h"
#include "model/records/wall_time.h"
#include "platform/decimal.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tc {

struct OpenPositionHistoryInfo : public Order {
    std::uint64_t TOPHId = 0;
    std::optional<WallTime> TOPDate;
    std::optional<WallTime> TOPEntryDateTime;
    std::uint64_t RefOrderTicketId = 0;
    std::uint64_t ConfirmationModeId = 0;
    std::uint64_t TradeRouteId = 0;
    std::uint64_t RoutePositionId = 0;
    platform::Decimal UnRealisedCharges;
    std::uint64_t InstrumentId = 0;
    platform::Decimal CurrentPrice; // the statement's closing price on the position's side
    std::string PositionDateAsSent, ValueDateAsSent, ExpiryDateAsSent; // only when they do not read
};

struct PendingOrderHistoryInfo : public Order {
    std::uint64_t TPOH = 0;
    std::optional<WallTime> TPOHDate;
    std::optional<WallTime> TPOHEntryDateTime;
    std::uint64_t RefTicketId = 0;
    platform::Decimal MinQty;
    platform::Decimal DisclosedQty;
    platform::Decimal TralingStopPrice;
    platform::Decimal OCOLLimitPrice;
    platform::Decimal OCOLStopPrice;
    platform::Decimal OCOSLimit;
    platform::Decimal OCOSStop;
    std::uint64_t TradeRouteId = 0;
    std::int64_t RoutePendingOrderId = 0;
    platform::Decimal ExecutedQty;
    std::uint64_t Status = 0;
    platform::Decimal TouchQty;
    platform::Decimal TouchPrice;
    std::optional<WallTime> TouchTime;
    std::uint64_t InstrumentId = 0;
    std::string OrderTimeAsSent; // only when it does not read
};

struct SettledPositionHistoryInfo : public Order {
    std::optional<WallTime> OpenDate;
    std::optional<WallTime> CloseDate;
    std::uint64_t InstrumentId = 0;
    std::string SettlementDateAsSent; // only when it does not read
};

struct AccountHistoryInfo : public AccountDetails {
    std::uint64_t TAHId = 0;
    std::optional<WallTime> TAHDate;
    std::optional<WallTime> TAHEntryDateTime;
    bool TradingEnabled = false;
    bool Enabled = false;
    std::uint64_t OrganizationId = 0;
    platform::Decimal OpeningBalanceOfDay;
    std::string Remarks;
    std::optional<WallTime> InterestWaiveoffExpiryDate;
    std::uint64_t StorageWaiveoffDays = 0;
    std::uint64_t StorageWaiveOffModeId = 0;
    platform::Decimal UnrealisedCharges;
    std::uint64_t AgentAccountId = 0;
    std::uint64_t CreditRating = 0;
    std::uint64_t TradingPatternId = 0;
};

struct MarginCallSummaryInfo {
    std::uint64_t accountId = 0;
    std::uint64_t marginCallCount = 0;
};

struct ClientAddressInfo {
    std::uint64_t accountId = 0;
    std::uint64_t clientId = 0;
    std::string address;
};

struct OrganizationInfo {
    std::uint64_t accountId = 0;
    std::string companyAddress;
};

} // namespace tc
