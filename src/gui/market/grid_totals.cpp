#include "gui/market/grid_totals.h"

#include "gui/market/grid_cells.h"
#include "gui/texts.h"
#include "model/position_arithmetic.h"
#include "model/records/account_details.h"
#include "model/records/order.h"
#include "model/session_model.h"
#include "model/session_model_lookup.h"
#include "platform/lenient.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string_view>
#include <unordered_map>

namespace tc::gui {
namespace {

// Account numbers remembered by accountFigures; past them each position's is read again.
constexpr std::size_t kRememberedNumbers = 16;

// A figure that is not a number would turn the whole total into one.
void addFinite(double& sum, double value) {
    if (std::isfinite(value))
        sum += value;
}

} // namespace

OpenPositionTotals openPositionTotals(const SessionModel& model, const OrderView& positions) {
    RowRecordsCache records(model);
    return openPositionTotals(records, positions);
}

PositionWeights positionWeights(const Order& position, const RowRecords& records) {
    PositionWeights weights;
    weights.quantity = quantityValue(position.RemainingQty);
    if (records.item && records.settings)
        addFinite(weights.margin, marginForSingleLot(position, records.settings, *records.item) *
                                      platform::lenientReal(position.RemainingQty));
    return weights;
}

OpenPositionTotals openPositionTotals(RowRecordsCache& records, const OrderView& positions) {
    OpenPositionTotals totals;
    for (const auto& position : positions) {
        if (!position)
            continue;
        const PositionWeights weights = positionWeights(*position, records.of(*position));
        totals.quantity = totals.quantity + weights.quantity;
        totals.margin += weights.margin;
        addFinite(totals.profitLoss, position->UnrealisedPL);
        addFinite(totals.commission, position->Commision);
        addFinite(totals.storage, position->Storage);
    }
    return totals;
}

std::array<TotalsEntry, 5> openPositionTotalsBar(const OpenPositionTotals& totals) {
    return {{
        {texts::kQuantity, totals.quantity.toString()},
        {texts::kPL, groupedMoneyText(totals.profitLoss)},
        {texts::kCommission, groupedMoneyText(totals.commission)},
        {texts::kMargin, groupedMoneyText(totals.margin)},
        {texts::kStorage, groupedMoneyText(totals.storage)},
    }};
}

SettledTotals settledTotals(const OrderView& settled) {
    SettledTotals totals;
    for (const auto& row : settled) {
        if (!row)
            continue;
        totals.quantity = totals.quantity + quantityValue(row->SettledQty);
        addFinite(totals.profitLoss, platform::lenientReal(row->SettledPL));
        addFinite(totals.commission, row->Commision);
        addFinite(totals.storage, row->Storage);
        addFinite(totals.otherCharges, row->OtherCharges);
    }
    return totals;
}

std::string settledStatusLine(const SettledTotals& totals, std::int64_t language) {
    const std::pair<std::string_view, std::string> segments[] = {
        {texts::kQuantity, totals.quantity.toString()},
        {texts::kPL, groupedMoneyText(totals.profitLoss)},
        {texts::kCommission, groupedMoneyText(totals.commission)},
        {texts::kStorage, groupedMoneyText(totals.storage)},
        {texts::kOtherCharges, groupedMoneyText(totals.otherCharges)},
    };
    std::string line;
    for (const auto& [key, value] : segments)
        line += languageText(language, key) + " : " + value + "     ";
    return line;
}

std::vector<AccountDetails> accountFigures(const SessionModel& model,
                                           const std::vector<std::shared_ptr<const AccountDetails>>& accounts,
                                           const OrderView& openPositions) {
    // Positions name their account by number text, read as a 32-bit id as the account reads it.
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
            const auto id = static_cast<std::int32_t>(std::clamp<std::int64_t>(
                platform::lenientInteger(number), std::numeric_limits<std::int32_t>::min(),
                std::numeric_limits<std::int32_t>::max()));
            double* sum = &floating[id];
            if (sums.size() >= kRememberedNumbers) {
                *sum += position->UnrealisedPL;
                continue;
            }
            known = sums.emplace(sums.end(), number, sum);
        }
        *known->second += position->UnrealisedPL;
    }
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

RequestButtons requestButtons(const std::vector<std::shared_ptr<const AccountDetails>>& accounts) {
    RequestButtons buttons;
    for (const auto& account : accounts) {
        if (!account)
            continue;
        buttons.deposit = buttons.deposit || (account->accountSettings & 0x10) != 0;
        buttons.withdrawal = buttons.withdrawal || (account->accountSettings & 0x20) != 0;
    }
    return buttons;
}

} // namespace tc::gui
