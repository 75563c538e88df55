#include "model/records/account_details.h"

#include "model/records/group_details.h"
#include "model/records/order.h"
#include "model/records/record_layout.h"
#include "model/session_services.h"
#include "platform/lenient.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace tc {

namespace {

template <std::size_t N>
std::string_view lookup(const std::array<std::string_view, N>& table, std::int64_t code) {
    if (code < 0 || static_cast<std::uint64_t>(code) >= N)
        return "";
    return table[static_cast<std::size_t>(code)];
}

// The rule of the displayable positions: not those of a suspended (3) or closed (6) account, nor of
// access type 4 (view market) or 10 (none); those of an account that is not loaded are listed.
bool isListed(const Order& position, const SessionLookup& session) {
    const auto account = session.accountForId(position.AccountNumber);
    if (!account)
        return true;
    const std::int32_t status = account->tradingStatus;
    const std::int32_t access = account->accountAccessType;
    return status != 3 && status != 6 && access != 4 && access != 10;
}

} // namespace

std::string_view AccountDetails::getAccountStatus(std::int32_t code) {
    static constexpr std::array<std::string_view, 7> kStatus = {
        "", "Normal", "View Only", "Suspended", "Close Position Only", "Equity Hit", "Closed"};
    return lookup(kStatus, code);
}

std::string_view AccountDetails::getAccountType(std::int64_t code) {
    static constexpr std::array<std::string_view, 14> kTypes = {
        "Unknown", "Trade Client", "Clearing Member", "Market Maker",       "Introducing Broker",
        "Dealer",  "Chief Dealer", "Super Dealer",    "NonClearing Member", "Clearing House",
        "Admin",   "Agent",        "NonTrading",      "Error Account"};
    return lookup(kTypes, code);
}

std::string_view AccountDetails::getAccountAccessType(std::int32_t code) {
    static constexpr std::array<std::string_view, 11> kAccess = {
        "Unknown", "Trade", "Close Only", "View Trade", "View Market", "", "", "", "", "", "None"};
    return lookup(kAccess, code);
}

bool AccountDetails::ownsPosition(const Order& position) const {
    const std::int64_t number = platform::lenientInteger(position.AccountNumber);
    const auto asInt32 = static_cast<std::int32_t>(std::clamp<std::int64_t>(
        number, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
    return asInt32 == AccountId;
}

void AccountDetails::calculateAccountDetails(std::span<RecordPtr<Order>> openPositions,
                                             const SessionLookup& session, OrderServices& orders) {
    double sum = 0;
    for (auto& position : openPositions) {
        if (!position || !ownsPosition(*position) || !isListed(*position, session))
            continue;
        orders.CalcPL(*position);
        position->UnrealisedPL =
            orders.calculateCurrencyConversionForValue(position->UnrealisedPL, *position);
        // One position without a price must not wipe out the account's figures.
        if (std::isfinite(position->UnrealisedPL))
            sum += position->UnrealisedPL;
    }
    applyFloatingPL(sum, session);
}

void AccountDetails::calcAccountDetails(const SessionLookup& session) {
    double sum = 0;
    for (const auto& position : session.getOpenOrderCollection()) {
        if (position && ownsPosition(*position) && std::isfinite(position->UnrealisedPL))
            sum += position->UnrealisedPL;
    }
    applyFloatingPL(sum, session);
}

void AccountDetails::applyFloatingPL(double unrealisedPL, const SessionLookup& session) {
    UnrealisedPL = unrealisedPL;
    Leverage = floatingCreditOf(UnrealisedPL, session.groupForId(GroupId).get());
    if (tradingStatus != kStatusEquityHit)
        Equity =
            Balance.toDouble() + Leverage + AccumulatingStorage.toDouble() + CollateralSecurity.toDouble();
    AvailableMargin = Equity - UsedMargin.toDouble();
}

double AccountDetails::floatingCreditOf(double unrealisedPL, const GroupDetails* group) {
    const double percent = !group             ? 0.0
                           : unrealisedPL < 0 ? static_cast<double>(group->RevLeverageOnFLoss)
                                              : static_cast<double>(group->LeverageOnFProfit);
    return percent * unrealisedPL / 100;
}

void AccountDetails::loadAccountAccessTypeId(std::int32_t id) {
    AccountAccessTypeId = id;
    const bool known = (id >= 1 && id <= 4) || id == 10;
    accountAccessType = known ? id : 0;
}

void AccountDetails::loadTradingStatusId(std::int32_t id) {
    TradingStatusId = id;
    if (id >= 0 && id <= 6)
        tradingStatus = id;
}

namespace {

using namespace records;

constexpr auto loadAccessType = [](AccountDetails& a, std::int32_t id) { a.loadAccountAccessTypeId(id); };
constexpr auto loadTradingStatus = [](AccountDetails& a, std::int32_t id) { a.loadTradingStatusId(id); };

constexpr auto kAccountLayout = recordLayout(
    int32(0, &AccountDetails::AccountId), text(1, &AccountDetails::GroupId),
    int64(2, &AccountDetails::tradeAccountType), decimal(4, &AccountDetails::Balance),
    real(5, &AccountDetails::UnrealisedPL), decimal(6, &AccountDetails::LeverageOnPositions),
    decimal(7, &AccountDetails::CollateralSecurity), decimal(8, &AccountDetails::UsedMargin),
    real(9, &AccountDetails::Equity), real(10, &AccountDetails::AvailableMargin),
    int32(12, &AccountDetails::HedgeModeId), int32(13, &AccountDetails::TradeRouteId),
    int32(14, &AccountDetails::AutoExecutionModeId), text(15, &AccountDetails::AccountName),
    flag(16, &AccountDetails::AccountEnabled), int32(17, &AccountDetails::InstrumentLimit),
    int32(18, &AccountDetails::WatchlistItemLimit), int32(19, loadAccessType), int32(20, loadTradingStatus),
    decimal(22, &AccountDetails::AccumulatingStorage), int64(23, &AccountDetails::primaryAccountHolderUserid),
    int32(24, &AccountDetails::availableOrderTypes), int32(28, &AccountDetails::accountSettings),
    int64(33, &AccountDetails::currencyID), text(34, &AccountDetails::accountSettings2),
    decimal(35, &AccountDetails::oneSideMargin));

constexpr auto kAccountColumns = recordLayout(
    int32("AccountAccessTypeId", loadAccessType), flag("AccountEnabled", &AccountDetails::AccountEnabled),
    int32("AccountId", &AccountDetails::AccountId), text("AccountName", &AccountDetails::AccountName),
    int64("AccountTypeId", &AccountDetails::tradeAccountType),
    int32("AutoExecutionModeId", &AccountDetails::AutoExecutionModeId),
    real("AvailableMargin", &AccountDetails::AvailableMargin), decimal("Balance", &AccountDetails::Balance),
    int32("BranchId", &AccountDetails::BranchId),
    decimal("CollateralSecurity", &AccountDetails::CollateralSecurity),
    real("Equity", &AccountDetails::Equity), text("GroupId", &AccountDetails::GroupId),
    int32("HedgeModeId", &AccountDetails::HedgeModeId),
    int32("InstrumentLimit", &AccountDetails::InstrumentLimit),
    decimal("LeverageOnPositions", &AccountDetails::LeverageOnPositions),
    int32("TradeRouteId", &AccountDetails::TradeRouteId), int32("TradingStatusId", loadTradingStatus),
    real("UnrealisedPL", &AccountDetails::UnrealisedPL), decimal("UsedMargin", &AccountDetails::UsedMargin),
    int32("WatchListItemLimit", &AccountDetails::WatchlistItemLimit),
    decimal("AccumulatingStorage", &AccountDetails::AccumulatingStorage),
    int32("AvailableOrderTypes", &AccountDetails::availableOrderTypes),
    int64("primaryAccountHolderUserid", &AccountDetails::primaryAccountHolderUserid),
    int32("accountSettings", &AccountDetails::accountSettings),
    int64("currencyID", &AccountDetails::currencyID),
    text("accountSettings2", &AccountDetails::accountSettings2),
    decimal("oneSideMargin", &AccountDetails::oneSideMargin));

} // namespace

AccountDetails AccountDetails::fromAmpRecord(const RecordFields& f) {
    AccountDetails a;
    readRecord(f, kAccountLayout, a);
    return a;
}

void AccountDetails::readSnapshotColumns(const SnapshotColumns& row) {
    readColumns(row, kAccountColumns, *this);
}

} // namespace tc
