#include "gui/trading/offset_rules.h"

#include "gui/grid/grid_cells.h"
#include "gui/texts.h"
#include "gui/trading/position_dialog_rules.h"
#include "gui/trading/trade_entries.h"
#include "model/position_arithmetic.h"
#include "model/position_quantities.h"
#include "model/records/account_details.h"
#include "model/records/group_details.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "model/records/session_settings.h"
#include "model/session_model.h"

#include <algorithm>

namespace tc::gui {

namespace {

const Order* openPosition(const SessionModel& model, std::string_view id) {
    for (const auto& p : model.OpenOrderCollection)
        if (p && p->OpenPositionId == id)
            return p.get();
    return nullptr;
}

// The check of one ticked row's quantity: a plain number above 0, and no more than the row holds.
std::optional<std::string> legRefusal(const OffsetRow& row) {
    // A text that is not one plain number offsets nothing.
    const auto& quantity = row.offsetQty;
    if (!quantity || !(*quantity > Decimal()))
        return texts::kEnterOffsetQuantityGreaterThan;
    if (*quantity > row.totalQty)
        return texts::kQuantityTakenFromPositionMore;
    return std::nullopt;
}

} // namespace

bool OffsetState::fill(const SessionModel& model, const SessionQueries& queries,
                       std::string_view positionId) {
    *this = {};
    const OrderView positions = queries.getOpenOrderCollection();
    const auto found = std::find_if(positions.begin(), positions.end(),
                                    [&](const auto& p) { return p && p->OpenPositionId == positionId; });
    if (found == positions.end())
        return false;
    const Order& position = **found;
    const ItemDetails* item = instrumentOf(model, position.ItemCode);
    positionId_ = position.OpenPositionId;
    account_ = position.AccountNumber;
    symbol_ = position.ItemCode;
    openPrice_ = priceText(position.OrderPrice, item);
    side_ = position.tradingMode;
    quantity_ = position.RemainingQty;
    for (const auto& other : positions) {
        if (!other || other->AccountNumber != position.AccountNumber ||
            other->ItemCode != position.ItemCode || other->deliveryMode != position.deliveryMode ||
            other->tradingMode == position.tradingMode)
            continue;
        OffsetRow row;
        row.accountNo = other->AccountNumber;
        row.itemCode = other->ItemCode;
        row.positionId = other->OpenPositionId;
        row.closePrice = other->OrderPrice;
        row.tradingMode = other->tradingMode;
        row.totalQty = row.QtyAvailable = other->RemainingQty;
        rows_.push_back(std::move(row));
    }
    return true;
}

bool OffsetState::reread(const SessionModel& model, const SessionQueries& queries) {
    const OffsetState before = *this;
    if (!fill(model, queries, before.positionId_))
        return false;
    for (const std::string& id : before.ticked_) {
        const auto was = std::find_if(before.rows_.begin(), before.rows_.end(),
                                      [&](const OffsetRow& r) { return r.positionId == id; });
        const auto now =
            std::find_if(rows_.begin(), rows_.end(), [&](const OffsetRow& r) { return r.positionId == id; });
        if (was == before.rows_.end() || now == rows_.end())
            continue;
        ticked_.push_back(id);
        setQuantity(model, static_cast<std::size_t>(now - rows_.begin()), was->offsetText);
    }
    return true;
}

bool OffsetState::isTicked(std::size_t row) const {
    return row < rows_.size() &&
           std::find(ticked_.begin(), ticked_.end(), rows_[row].positionId) != ticked_.end();
}

void OffsetState::toggle(std::size_t row) {
    if (row >= rows_.size())
        return;
    OffsetRow& r = rows_[row];
    const auto at = std::find(ticked_.begin(), ticked_.end(), r.positionId);
    if (at != ticked_.end())
        ticked_.erase(at);
    else
        ticked_.push_back(r.positionId);
    r.offsetText.assign(1, '0');
    r.offsetQty = Decimal();
    r.profitLoss = Decimal();
    r.QtyAvailable = r.totalQty;
}

void OffsetState::setQuantity(const SessionModel& model, std::size_t row, std::string_view quantity) {
    if (row >= rows_.size())
        return;
    OffsetRow& r = rows_[row];
    r.offsetText = std::string(quantity);
    r.offsetQty = readQuantityEntry(quantity).value;
    const Decimal taken = r.offsetQty.value_or(Decimal());
    const auto* position = openPosition(model, positionId_);
    const auto* leg = openPosition(model, r.positionId);
    r.profitLoss =
        position && leg ? offsetResult(*leg, taken, *position, instrumentOf(model, symbol_)) : Decimal();
    r.QtyAvailable = offsetTotals(r.totalQty, {&taken, 1}).remaining;
}

OffsetTotals OffsetState::totals() const {
    std::vector<Decimal> taken;
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (isTicked(i))
            taken.push_back(rows_[i].offsetQty.value_or(Decimal()));
    return offsetTotals(quantity_, taken);
}

std::optional<double> OffsetState::floatingPL(const SessionModel& model, std::size_t row) const {
    const Order* position = row < rows_.size() ? openPosition(model, rows_[row].positionId) : nullptr;
    // None until the client has worked it out: as the grid, no 0.00 that is no figure.
    return position && position->UnrealisedPLValued ? std::optional(position->UnrealisedPL) : std::nullopt;
}

bool OffsetState::refusedEntry(std::size_t row) const {
    return isTicked(row) && legRefusal(rows_[row]).has_value();
}

bool OffsetState::anyRefusedEntry() const {
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (refusedEntry(i))
            return true;
    return false;
}

std::string OffsetState::offsetTotal() const {
    return anyRefusedEntry() ? std::string() : totals().offset.toString();
}

std::string OffsetState::remaining() const {
    const OffsetTotals t = totals();
    return anyRefusedEntry() || t.offset > quantity_ ? std::string() : t.remaining.toString();
}

std::vector<std::string> OffsetState::quantityList(const SessionModel& model, std::size_t row) const {
    std::vector<std::string> list;
    if (!isTicked(row))
        return list;
    const OffsetRow& r = rows_[row];
    const Decimal& total = r.totalQty;
    const auto* account = model.AccountDetailCollection.get(account_);
    const ItemDetails* item = instrumentOf(model, symbol_);
    const GroupInstruments* settings = groupSettings(model, account ? account->get() : nullptr, item);
    // Steps list at six decimals, as they always have.
    const Decimal step = settings && settings->OrderQtyStep > Decimal()
                             ? settings->OrderQtyStep.toDecimal().rounded(6)
                             : Decimal();
    for (const Decimal& quantity : offsetQuantitySteps(total, step, kMaxOffsetEntries))
        list.push_back(quantity.toString());
    return list;
}

const GroupInstruments* OffsetState::settings(const SessionModel& model) const {
    const auto* account = model.AccountDetailCollection.get(account_);
    return groupSettings(model, account ? account->get() : nullptr, instrumentOf(model, symbol_));
}

std::optional<Refusal> OffsetState::stepRefusal(const GroupInstruments* settings, const OffsetRow& row) {
    // A leg keeps the group's lot step, or gives all its position holds.
    if (!settings || !row.offsetQty)
        return std::nullopt;
    const auto breach = quantityBreach(*row.offsetQty, *settings, *row.offsetQty == row.totalQty);
    if (breach && breach->rule == QuantityBreach::Rule::OffStep)
        return Refusal{texts::kQuantityMustMultipleLots, breach->limit.toString()};
    return std::nullopt;
}

std::optional<Refusal> OffsetState::rowRefusal(const SessionModel& model, std::size_t row) const {
    if (!isTicked(row))
        return std::nullopt;
    const OffsetRow& r = rows_[row];
    if (auto refused = gui::refusedEntry(readQuantityEntry(r.offsetText), texts::kOffsetQty))
        return refused;
    // The button weighs the rows together before each one alone.
    if (auto total = totalRefusal())
        return total;
    if (auto key = legRefusal(r))
        return Refusal{*key};
    return stepRefusal(settings(model), r);
}

std::optional<Refusal> OffsetState::totalRefusal() const {
    // Weighed as the button does: once every ticked row reads as a number, before each row's own checks.
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (isTicked(i) && !rows_[i].offsetQty)
            return std::nullopt;
    if (!(totals().offset > quantity_))
        return std::nullopt;
    return Refusal{texts::kOffsetQuantityMoreThanPosition};
}

std::optional<Refusal> OffsetState::refusal(const SessionModel& model, bool networkAvailable) const {
    // A ticked row whose text is no number says why, before any total is worked from it.
    if (networkAvailable)
        for (const std::string& id : ticked_) {
            const auto row = std::find_if(rows_.begin(), rows_.end(),
                                          [&](const OffsetRow& r) { return r.positionId == id; });
            if (row == rows_.end())
                continue;
            if (auto refused = gui::refusedEntry(readQuantityEntry(row->offsetText), texts::kOffsetQty))
                return refused;
        }
    if (auto key = refusalKey(model, networkAvailable))
        return Refusal{*key};
    const GroupInstruments* group = settings(model);
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (isTicked(i))
            if (auto refused = stepRefusal(group, rows_[i]))
                return refused;
    return std::nullopt;
}

std::optional<std::string> OffsetState::refusalKey(const SessionModel& model, bool networkAvailable) const {
    if (!networkAvailable)
        return texts::kNoConnectionTradingServer;
    if (ticked_.empty())
        return std::string(kNothingTickedKey);
    const Decimal total = totals().offset;
    if (total.isNaN() || total.isZero())
        return texts::kEnterOffsetQuantityGreaterThan;
    if (total > quantity_)
        return texts::kOffsetQuantityMoreThanPosition;
    for (const std::string& id : ticked_) {
        const auto row =
            std::find_if(rows_.begin(), rows_.end(), [&](const OffsetRow& r) { return r.positionId == id; });
        if (row == rows_.end())
            continue;
        if (auto refusal = legRefusal(*row))
            return refusal;
    }
    const auto* found = model.AccountDetailCollection.get(account_);
    const AccountDetails* account = found ? found->get() : nullptr;
    if (account) {
        switch (account->tradingStatus) {
        case 2:
        case 6:
            return texts::kTradingNotAllowedAccountOr;
        case 3:
            return texts::kAccountSuspended;
        case 5:
            return texts::kAccountReachedEquityLimit;
        default:
            break;
        }
        if (account->accountAccessType == 3)
            return texts::kTradingNotAllowedAccountOr;
    }
    const ItemDetails* item = instrumentOf(model, symbol_);
    const GroupInstruments* settings = groupSettings(model, account, item);
    if (!settings || !settings->isAvailableForTrading)
        return texts::kInstrumentNotAvailableTradingAccount;
    const auto session =
        item && item->CurrentTradeSessionSettingId >= 0
            ? model.sessionSettings(static_cast<std::uint64_t>(item->CurrentTradeSessionSettingId))
            : nullptr;
    if (!session || !session->allowNewMarket)
        return texts::kNewMarketOrdersNotAllowed;
    return std::nullopt;
}

std::vector<interfaces::OffsetLeg> OffsetState::legs() const {
    std::vector<interfaces::OffsetLeg> out;
    out.reserve(ticked_.size());
    for (const std::string& id : ticked_) {
        const auto row =
            std::find_if(rows_.begin(), rows_.end(), [&](const OffsetRow& r) { return r.positionId == id; });
        if (row != rows_.end())
            out.push_back({row->positionId, row->offsetQty.value_or(Decimal())});
    }
    return out;
}

} // namespace tc::gui
