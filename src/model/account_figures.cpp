#include "model/account_figures.h"

#include "model/collection_keys.h"
#include "model/position_arithmetic.h"
#include "model/records/account_details.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "model/session_model.h"
#include "model/session_model_lookup.h"
#include "platform/lenient.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>
#include <string>
#include <string_view>
#include <utility>

namespace tc {
namespace {

// Account numbers remembered in one pass; past them each position's is read again.
constexpr std::size_t kRememberedNumbers = 16;

template <typename Positions>
std::unordered_map<std::int32_t, double> floatingOver(const Positions& openPositions) {
    std::unordered_map<std::int32_t, double> floating;
    // A few accounts hold many positions: each number text is read once.
    std::vector<std::pair<std::string_view, double*>> sums;
    for (const auto& position : openPositions) {
        if (!position || !std::isfinite(position->UnrealisedPL))
            continue;
        const std::string_view number = position->AccountNumber;
        auto known =
            std::find_if(sums.begin(), sums.end(), [&](const auto& entry) { return entry.first == number; });
        if (known == sums.end()) {
            double* sum = &floating[accountIdOfNumber(number)];
            if (sums.size() >= kRememberedNumbers) {
                *sum += position->UnrealisedPL;
                continue;
            }
            known = sums.emplace(sums.end(), number, sum);
        }
        *known->second += position->UnrealisedPL;
    }
    return floating;
}

template <typename Positions>
std::vector<AccountDetails> figuresOver(const SessionModel& model,
                                        const std::vector<std::shared_ptr<const AccountDetails>>& accounts,
                                        const Positions& openPositions) {
    const auto floating = floatingOver(openPositions);
    const SessionModelLookup lookup(model);
    std::vector<AccountDetails> figures;
    figures.reserve(accounts.size());
    for (const auto& account : accounts) {
        if (!account)
            continue;
        AccountDetails copy = *account;
        const auto sum = floating.find(copy.AccountId);
        copy.applyFloatingPL(sum == floating.end() ? 0.0 : sum->second, lookup);
        figures.push_back(std::move(copy));
    }
    return figures;
}

// A position's instrument in a pie: its code, or the server's id of an instrument the login's lists
// lack (the record then has no code), as the statement's pies name one.
std::string pieTitleOf(const Order& position) {
    if (position.ItemCode.empty() && position.UnknownInstrumentId != 0)
        return std::to_string(position.UnknownInstrumentId);
    return position.ItemCode;
}

} // namespace

std::int32_t accountIdOfNumber(std::string_view number) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(platform::lenientInteger(number),
                                                              std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

std::unordered_map<std::int32_t, double> floatingPLByAccount(const OrderView& openPositions) {
    return floatingOver(openPositions);
}

std::vector<AccountDetails> accountFigures(const SessionModel& model,
                                           const std::vector<std::shared_ptr<const AccountDetails>>& accounts,
                                           const OrderView& openPositions) {
    return figuresOver(model, accounts, openPositions);
}

std::vector<AccountDetails> accountFigures(const SessionModel& model,
                                           const std::vector<std::shared_ptr<const AccountDetails>>& accounts,
                                           const std::vector<RecordPtr<Order>>& openPositions) {
    return figuresOver(model, accounts, openPositions);
}

std::optional<AccountDetails> accountFiguresOf(const SessionModel& model, std::int32_t accountId) {
    const auto* held = model.AccountDetailCollection.get(sessionKey(accountId));
    if (!held || !*held)
        return std::nullopt;
    const std::vector<std::shared_ptr<const AccountDetails>> one{held->shared()};
    auto figures = figuresOver(model, one, model.OpenOrderCollection);
    return figures.empty() ? std::nullopt : std::optional(std::move(figures.front()));
}

std::vector<charts::PieHolding> pieHoldings(const SessionModel& model, const OrderView& positions,
                                            std::int32_t accountId, PieMode mode) {
    std::vector<charts::PieHolding> out;
    const SessionModelLookup lookup(model);
    std::set<std::string, std::less<>> instruments;
    for (const auto& position : positions) {
        if (!position || platform::lenientReal(position->AccountNumber) != accountId)
            continue;
        const auto item = lookup.instrumentForCode(position->ItemCode);
        charts::PieHolding holding{pieTitleOf(*position),
                                   item ? item->InstrumentId : position->UnknownInstrumentId, 0};
        if (mode == PieMode::Margin) {
            // The instrument's figure under the hedge rule covers all its positions: once.
            if (!instruments.insert(holding.code).second)
                continue;
            holding.amount = hedgeMarginOfInstrument(model, position->ItemCode);
        } else {
            // The figure the core's last refresh wrote, as the grids' totals and the summary sum it:
            // once the stream is lost every figure stays at that refresh, the pie's too.
            holding.amount = position->UnrealisedPL;
        }
        out.push_back(std::move(holding));
    }
    return out;
}

std::vector<charts::PieSlice> accountPieSlices(const SessionModel& model, const OrderView& positions,
                                               std::int32_t accountId, PieMode mode, bool markUnvalued) {
    const auto holdings = pieHoldings(model, positions, accountId, mode);
    if (mode == PieMode::ProfitLoss && !markUnvalued)
        return charts::profitLossShares(holdings);
    if (mode == PieMode::ProfitLoss) {
        auto slices = charts::profitLossShares(holdings);
        // An instrument with a position the core has not valued yet has no figure: its legend reads
        // blank, as the grid's cell does, not 0.00 or a part of its sum.
        for (const auto& position : positions)
            if (position && !position->UnrealisedPLValued &&
                accountIdOfNumber(position->AccountNumber) == accountId)
                for (auto& slice : slices)
                    if (slice.title == pieTitleOf(*position)) {
                        slice.value = std::numeric_limits<double>::quiet_NaN();
                        slice.size = 0;
                    }
        return slices;
    }
    const SessionModelLookup lookup(model);
    const auto account = lookup.accountForId(std::to_string(accountId));
    if (!account)
        return {};
    // An instrument the login's lists do not carry: only the server works out its margin. The
    // account's used margin as the server sent it holds it, so with one such instrument its margin is
    // what the others' leave of that; with several, how it splits among them is not known and their
    // legends read blank, as the grid's margin cells do, not a share of 0.
    std::set<std::string, std::less<>> unlisted;
    for (const auto& position : positions)
        if (position && accountIdOfNumber(position->AccountNumber) == accountId &&
            !lookup.instrumentRecordForCode(position->ItemCode))
            unlisted.insert(pieTitleOf(*position));
    auto held = holdings;
    bool unlistedValued = false;
    if (unlisted.size() == 1) {
        double listed = 0;
        for (const charts::PieHolding& holding : held)
            if (!unlisted.contains(holding.code) && std::isfinite(holding.amount))
                listed += holding.amount;
        const double rest = account->UsedMargin.toDouble() - listed;
        unlistedValued = std::isfinite(rest) && rest >= 0;
        for (charts::PieHolding& holding : held)
            if (unlisted.contains(holding.code))
                holding.amount = unlistedValued ? rest : 0.0;
    }
    auto slices = charts::equityShares(held, account->Equity, account->AvailableMargin,
                                       account->tradingStatus == AccountDetails::kStatusEquityHit);
    if (!unlistedValued)
        for (auto& slice : slices)
            if (unlisted.contains(slice.title)) {
                slice.value = std::numeric_limits<double>::quiet_NaN();
                slice.size = 0;
            }
    return slices;
}

} // namespace tc
