#pragma once
// What the data service's replies fill beside the session model: the row types and the collections
// the windows read. The replies themselves are read in the session's data-service room.
#include "model/record_ptr.h"
#include "model/records/financial_transaction.h"
#include "model/records/history_rows.h"
#include "model/records/request_records.h"
#include "model/records/wall_time.h"
#include "platform/compact_decimal.h"
#include "platform/decimal.h"
#include "platform/ordered_map.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tc {

class Order;

// The bank account of the signed-in account, from the first record of a "getbankaccounts" reply.
struct BankDetails {
    std::int64_t BankAccountId = 0;
    std::int64_t BankAccountNumber = 0;
    std::int64_t BankBranchId = 0;
    std::string AccountName;
    std::int64_t CurrencyId = 0;
    std::string Remarks;
    std::string BankName;
};

// One "getinstruments" row: advanced details of an instrument by its id.
struct AdvancedInstrumentInfo {
    std::int32_t instrumentId = 0;
    std::uint64_t marketID = 0;
    std::string exchangeName;
    std::string descriptions;
    std::string iconResource;
    std::uint64_t priceUnitID = 0;
    platform::CompactDecimal priceUnitValue;
    std::string extraInfo;
};

// One "getexecutedpositions" row; the instrument code is looked up when applied.
struct ExecutedPositionRow {
    std::string OpenPositionId;
    std::string AccountNumber;
    std::int32_t InstrumentId = 0;
    std::int32_t tradingMode = 0; // 0 buy, 1 sell
    platform::Decimal RemainingQty;
    platform::Decimal OrderQty;
    std::optional<platform::Decimal> OrderPrice; // none when the field is empty
    std::int32_t orderType = 0;
    std::int32_t deliveryMode = 0;
    std::optional<WallTime> TransactionDateTime;
    std::optional<WallTime> ValueDate;
    std::optional<WallTime> ExpiryDate;
    std::string PendingOrderId;
};

// Keyed by UserAccountMaps::key(): one map per user and account.
using UserAccountMapCollection = platform::OrderedMap<std::string, RecordPtr<UserAccountMaps>>;
// Keyed "%lu" of the market id; each market's schedules in the order received.
using MarketScheduleCollection = platform::OrderedMap<std::string, std::vector<SessionScheduleInfo>>;

// The collections these replies fill that the session model does not hold. Owned by the business
// object beside its model and touched only where apply() runs.
struct DataServiceCollections {
    // Bounds every keyed collection and list here; past it new entries are refused with a warning.
    static constexpr std::size_t kMaxEntries = 100'000;

    std::vector<FinancialTransactionDetails> FinancialTransactionCollection;
    std::vector<RecordPtr<Order>> ExecutedOrderSearchCollection;
    // The executed-positions table lists the search rows above instead of the live positions.
    bool isExecutedPositionSearch = false;
    std::vector<SessionScheduleInfo> sessionSchedulesArray;
    MarketScheduleCollection marketSessionSchedulesCollection;
    UserAccountMapCollection userAccountMapCollection;
    platform::OrderedMap<std::string, FileResource> resourceSearchCollection;
    std::optional<BankDetails> bankDetails;
    std::vector<RecordPtr<Order>> cancelledOrderInfo; // of the account statement
    // The login's open positions and pending orders came: a record not among them is not held.
    bool openPositionsListed = false;
    bool pendingOrdersListed = false;
};

} // namespace tc
