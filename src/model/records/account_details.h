#pragma once
// One trading account of the signed-in user, with its code-to-text tables and the arithmetic
// that derives floating P/L, floating credit, equity and free margin from its open positions.
// Plain record; the session model owns it and guards concurrent access.
#include "model/record_ptr.h"
#include "model/records/snapshot_columns.h"
#include "platform/compact_decimal.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace tc {

class GroupDetails;
class OrderServices;
class RecordFields;
class SessionLookup;
class Order;
class TradeCurrency;

class AccountDetails {
public:
    static constexpr std::int32_t kStatusEquityHit = 5;

    virtual ~AccountDetails() = default;

    std::int32_t AccountId = 0;
    std::string GroupId;
    std::string AccountName;
    bool AccountEnabled = false;
    std::int32_t BranchId = 0;
    platform::CompactDecimal Balance;
    double UnrealisedPL = 0; // the positions' floating P/L summed in doubles
    platform::CompactDecimal UsedMargin;
    double AvailableMargin = 0; // Equity - UsedMargin, worked in doubles
    double Equity = 0;          // the double sum of applyFloatingPL, which the server's figure seeds
    std::int32_t InstrumentLimit = 0;
    std::int32_t WatchlistItemLimit = 0;
    std::int32_t AutoExecutionModeId = 0;
    std::int32_t TradeRouteId = 0;
    std::int32_t HedgeModeId = 0;
    platform::CompactDecimal CollateralSecurity;
    platform::CompactDecimal LeverageOnPositions;
    std::int32_t AccountAccessTypeId = 0;
    std::int32_t TradingStatusId = 0;
    std::int32_t MarginStatus = 0;
    platform::CompactDecimal AccumulatingStorage;
    double Leverage = 0; // a percentage of UnrealisedPL, worked in doubles
    std::int32_t tradingStatus = 0;
    std::int32_t previousTradingStatus = 0;
    std::int32_t accountAccessType = 0;
    std::int32_t availableOrderTypes = 0;
    std::int64_t accountSettings = 0;
    std::int32_t accountMarginStatus = 0;
    std::int32_t previousAccountMarginStatus = 0;
    std::int64_t tradeAccountType = 0;
    std::uint64_t currencyID = 0;
    std::shared_ptr<const TradeCurrency> tradeCurrency;
    std::uint64_t primaryAccountHolderUserid = 0;
    platform::CompactDecimal oneSideMargin;
    std::string accountSettings2;

    // Stores the server's access type and derives accountAccessType: 1, 2, 3, 4 and 10 as they are,
    // anything else 0.
    void loadAccountAccessTypeId(std::int32_t id);
    // Stores the server's status and derives tradingStatus: 0 to 6 as they are, anything else
    // leaves it unchanged.
    void loadTradingStatusId(std::int32_t id);

    // A record of the snapshot's account section. The trade currency is linked by the loader.
    static AccountDetails fromAmpRecord(const RecordFields& fields);
    // Its row of the snapshot's XML form; columns the row lacks leave their members alone.
    void readSnapshotColumns(const SnapshotColumns& row);

    // Literal texts (not language keys); "" for codes outside the tables.
    static std::string_view getAccountStatus(std::int32_t code);
    static std::string_view getAccountType(std::int64_t code);
    static std::string_view getAccountAccessType(std::int32_t code);

    // Recomputes UnrealisedPL (each of this account's displayable positions among `openPositions`,
    // the stored list, recomputed by the order manager and converted into the account currency),
    // Leverage, Equity (unless in Equity Hit) and AvailableMargin. The lookup is read-only, so the
    // positions it writes come from their owner.
    void calculateAccountDetails(std::span<RecordPtr<Order>> openPositions, const SessionLookup& session,
                                 OrderServices& orders);
    // The same from the positions' stored UnrealisedPL, summed as they are (no recomputation, no
    // conversion): what the main window and the accounts table run.
    void calcAccountDetails(const SessionLookup& session);
    // Steps after the floating P/L: UnrealisedPL := unrealisedPL, then Leverage from the group's
    // percentages (0 without a group), Equity unless in Equity Hit, and AvailableMargin.
    void applyFloatingPL(double unrealisedPL, const SessionLookup& session);
    // The floating credit of a floating result: the group's percentage of it (LeverageOnFProfit of a
    // profit, RevLeverageOnFLoss of a loss); 0 without a group.
    static double floatingCreditOf(double unrealisedPL, const GroupDetails* group);

    // Whether a position's AccountNumber, read leniently as a 32-bit integer, is this account.
    bool ownsPosition(const Order& position) const;
};

} // namespace tc
