// The figures of a statement, worked out afresh from its lists on every call; sums in list order.
#include "model/account_statement.h"

#include "model/position_arithmetic.h"
#include "model/records/financial_transaction.h"
#include "model/session_model.h"
#include "model/session_model_lookup.h"
#include "platform/lenient.h"

#include <cmath>
#include <iterator>
#include <type_traits>
#include <unordered_map>

namespace tc::statements {
namespace {

[[maybe_unused]] double number(std::string_view text) {
    const double v = platform::lenientReal(text);
    return std::isfinite(v) ? v : 0.0;
}

double number(const platform::Decimal& value) {
    const double v = value.toDouble();
    return std::isfinite(v) ? v : 0.0;
}

// A sum in the type of what is summed: figures the rows hold as decimals stay decimals, their cents
// exact at any count.
template <class Rows, class Value>
auto sum(const Rows& rows, Value value) {
    using Total = std::decay_t<decltype(value(*std::begin(rows)))>;
    Total total{};
    for (const auto& row : rows)
        total = total + value(row);
    return total;
}

// An instrument's pie key: its code, or its id where the statement brought no code.
template <class Row>
std::string itemKey(const Row& row) {
    return row.ItemCode.empty() ? std::to_string(row.InstrumentId) : row.ItemCode;
}

template <class Rows, class Value>
PieInput pieOf(const Rows& rows, Value value) {
    // Slices by instrument id, so a row that came without its code still counts with its
    // instrument; titled by the code where any row of it has one.
    PieInput pie;
    std::unordered_map<std::uint64_t, std::size_t> slice;
    for (const auto& row : rows) {
        const auto [at, added] = slice.try_emplace(row.InstrumentId, pie.titles.size());
        if (added) {
            pie.titles.push_back(itemKey(row));
            pie.values.push_back(0.0);
        } else if (!row.ItemCode.empty() && pie.titles[at->second] == std::to_string(row.InstrumentId)) {
            pie.titles[at->second] = row.ItemCode;
        }
        pie.values[at->second] += value(row);
    }
    return pie;
}

} // namespace

const FinancialTransactionHistoryInfo*
AccountStatementInfo::getFinancialTransactionHistoryInfo(std::int32_t subType) const {
    for (const auto& t : FinancialTransactionInfo)
        if (t.SubTransactionType == subType)
            return &t;
    return nullptr;
}

namespace {

platform::Decimal firstOf(const AccountStatementInfo& s, std::int32_t subType) {
    const auto* t = s.getFinancialTransactionHistoryInfo(subType);
    return t ? t->amount() : platform::Decimal();
}

// Every row of the codes that book `kind`.
platform::Decimal allOf(const AccountStatementInfo& s, FinancialSubType kind) {
    platform::Decimal total;
    for (const auto& t : s.FinancialTransactionInfo)
        if (financialSubTypeOf(t.SubTransactionType) == kind)
            total = total + t.amount();
    return total;
}

} // namespace

platform::Decimal AccountStatementInfo::getDeposit() const {
    return allOf(*this, FinancialSubType::Deposit);
}
platform::Decimal AccountStatementInfo::getWithDrawal() const {
    return allOf(*this, FinancialSubType::Withdrawal);
}
platform::Decimal AccountStatementInfo::getMiscellaneous() const {
    return allOf(*this, FinancialSubType::Miscellaneous);
}
platform::Decimal AccountStatementInfo::getCommission() const {
    return firstOf(*this, 4);
}
platform::Decimal AccountStatementInfo::getTDS() const {
    return firstOf(*this, 5);
}
platform::Decimal AccountStatementInfo::getRealizedStorage() const {
    return firstOf(*this, 6);
}
platform::Decimal AccountStatementInfo::getAdjustments() const {
    return firstOf(*this, 9);
}
platform::Decimal AccountStatementInfo::getDailyTDS() const {
    return firstOf(*this, 15);
}
platform::Decimal AccountStatementInfo::getMonthlyTDS() const {
    return firstOf(*this, 16);
}
platform::Decimal AccountStatementInfo::getSettledPL() const {
    return firstOf(*this, 8) + firstOf(*this, 7);
}

std::optional<double> AccountStatementInfo::getFloatingCredit(const SessionModel& session) const {
    if (!EndInfo)
        return std::nullopt;
    const SessionModelLookup lookup(session);
    auto group = lookup.groupForId(EndInfo->GroupId);
    if (!group)
        if (const auto account = lookup.accountForId(std::to_string(EndInfo->AccountId)))
            group = lookup.groupForId(account->GroupId);
    return AccountDetails::floatingCreditOf(EndInfo->UnrealisedPL, group.get());
}

double AccountStatementInfo::getOpenQuantity() const {
    return sum(OpenPositionInfo, [](const auto& p) { return number(p.RemainingQty); });
}
double AccountStatementInfo::getOpenProfitOrLoss() const {
    return sum(OpenPositionInfo, [](const auto& p) { return p.UnrealisedPL; });
}
double AccountStatementInfo::getOpenCommission() const {
    return sum(OpenPositionInfo, [](const auto& p) { return positionCommission(p); });
}
platform::Decimal AccountStatementInfo::getOpenStorage() const {
    return sum(OpenPositionInfo, [](const auto& p) { return p.Storage; });
}
double AccountStatementInfo::getSettledQuantity() const {
    return sum(SettledPositionInfo, [](const auto& p) { return number(p.SettledQty); });
}
platform::Decimal AccountStatementInfo::getSettledProfitOrLoss() const {
    return sum(SettledPositionInfo, [](const auto& p) { return p.SettledPL; });
}
double AccountStatementInfo::getSettledCommission() const {
    return sum(SettledPositionInfo, [](const auto& p) { return p.Commission; });
}
platform::Decimal AccountStatementInfo::getSettledStorage() const {
    return sum(SettledPositionInfo, [](const auto& p) { return p.Storage; });
}
platform::Decimal AccountStatementInfo::getSettledTDS() const {
    return sum(SettledPositionInfo, [](const auto& p) { return p.OtherCharges; });
}
double AccountStatementInfo::getPendingQuantity() const {
    return sum(PendingOrderInfo, [](const auto& o) { return number(o.OrderQty); });
}
double AccountStatementInfo::getCancelledQuantity(const std::vector<RecordPtr<Order>>& cancelledOrderInfo) {
    return sum(cancelledOrderInfo, [](const auto& o) { return o ? number(o->OrderQty) : 0.0; });
}

double AccountStatementInfo::getSettledPLForItem(std::string_view item) const {
    return sum(SettledPositionInfo,
               [&](const auto& p) { return itemKey(p) == item ? number(p.SettledPL) : 0.0; });
}
double AccountStatementInfo::getOpenPLForItem(std::string_view item) const {
    return sum(OpenPositionInfo, [&](const auto& p) { return itemKey(p) == item ? p.UnrealisedPL : 0.0; });
}
PieInput AccountStatementInfo::getSettledPLForItems() const {
    return pieOf(SettledPositionInfo, [](const auto& p) { return number(p.SettledPL); });
}
PieInput AccountStatementInfo::getOpendPLForItems() const {
    return pieOf(OpenPositionInfo, [](const auto& p) { return p.UnrealisedPL; });
}

std::uint64_t AccountStatementInfo::getMarginCallCountForAccountId(std::int32_t accountId) const {
    const auto* m = marginCallSummaryInfo.get(std::to_string(accountId));
    return m ? m->marginCallCount : 0;
}

std::optional<std::string> AccountStatementInfo::getClientAddressForAccountId(std::int32_t accountId) const {
    const auto* a = clientAddressInfo.get(std::to_string(accountId));
    return a ? std::optional(a->address) : std::nullopt;
}

std::optional<std::string> AccountStatementInfo::getCompanyAddressForAccountId(std::int32_t accountId) const {
    const auto* o = organizationInfo.get(std::to_string(accountId));
    return o ? std::optional(o->companyAddress) : std::nullopt;
}

} // namespace tc::statements
