#include "gui/grid/grid_totals.h"

#include "gui/grid/grid_cells.h"
#include "gui/texts.h"
#include "model/account_figures.h"
#include "model/records/account_details.h"
#include "model/records/order.h"
#include "model/session_model.h"
#include "platform/amount_text.h"

#include <string_view>

namespace tc::gui {
OpenPositionTotals openPositionTotals(const SessionModel& model, const OrderView& positions,
                                      std::int32_t account) {
    RowRecordsCache records(model);
    OpenPositionTotals totals;
    totals.account = account;
    for (const auto& position : positions) {
        if (!position || accountIdOfNumber(position->AccountNumber) != account)
            continue;
        addWeights(totals, positionWeights(*position, records.of(*position)));
        addFigures(totals, *position);
    }
    marginAsTheServerHoldsIt(totals, model);
    return totals;
}

PositionWeights positionWeights(const Order& position, const RowRecords& records) {
    return tc::positionWeights(position, records.item, records.settings);
}

namespace {

std::string accountText(std::int32_t account) {
    return account == 0 ? std::string() : std::to_string(account);
}

} // namespace

std::array<TotalsEntry, kOpenTotalsEntries> openPositionTotalsBar(const OpenPositionTotals& totals) {
    // Blank until known, as the grid's profit cells: "0" and "0.00" would read as figures.
    const auto known = [&](bool shown, std::string value) {
        return shown ? std::move(value) : std::string();
    };
    const bool listed = totals.listed || totals.account == 0;
    return {{
        {texts::kTotalsOfAccount, accountText(totals.account)},
        {texts::kQuantity, known(listed, totals.quantity.toString())},
        {texts::kPL, known(listed && totals.valued, platform::amountText(totals.profitLoss))},
        {texts::kCommission, known(listed, platform::amountText(totals.commission))},
        {texts::kMargin, known(listed, platform::amountText(totals.margin))},
        {texts::kStorage, known(listed, platform::amountText(totals.storage))},
    }};
}

std::string settledStatusLine(const SettledTotals& totals, std::int64_t language) {
    const std::pair<std::string_view, std::string> segments[] = {
        {texts::kTotalsOfAccount, accountText(totals.account)},
        {texts::kQuantity, totals.quantity.toString()},
        {texts::kPL, platform::amountText(totals.profitLoss)},
        {texts::kCommission, platform::amountText(totals.commission)},
        {texts::kStorage, platform::amountText(totals.storage)},
        {texts::kOtherCharges, platform::amountText(totals.otherCharges)},
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
