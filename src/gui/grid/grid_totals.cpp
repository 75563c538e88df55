#include "gui/grid/grid_totals.h"

#include "gui/grid/grid_cells.h"
#include "gui/texts.h"
#include "model/position_arithmetic.h"
#include "model/records/account_details.h"
#include "model/records/order.h"
#include "model/session_model.h"
#include "platform/lenient.h"

#include <cmath>
#include <string_view>

namespace tc::gui {
namespace {

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
        addFinite(weights.margin, positionMargin(position, records.settings, *records.item));
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
