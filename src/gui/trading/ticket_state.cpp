#include "gui/trading/ticket_state.h"

#include "gui/grid/grid_cells.h"
#include "gui/trading/position_dialog_rules.h"
#include "interfaces/orders.h"
#include "model/position_quantities.h"
#include "model/records/account_details.h"
#include "model/records/group_details.h"
#include "model/records/item_details.h"
#include "model/records/wall_time.h"

namespace tc::gui {

using interfaces::OrderKind;
using interfaces::Side;

namespace {

bool pending(std::optional<OrderKind> kind) {
    return kind == OrderKind::Limit || kind == OrderKind::Stop;
}

// A text the order carries: its number, or NaN, which no check passes and the core refuses.
platform::Decimal numberOr(const TradeEntry& entry) {
    return entry.value.value_or(platform::Decimal::notANumber());
}

TicketVerdict refused(Refusal refusal, std::string text = {}) {
    return {std::move(refusal), TicketVerdict::Outcome::Refused, std::move(text)};
}

TicketVerdict refused(std::string key, std::string text = {}) {
    return refused(Refusal{std::move(key)}, std::move(text));
}

TicketVerdict refusedEntry(const Refusal& refusal, std::string_view fieldKey) {
    return refused(Refusal{refusal.key, refusal.limit, std::string(fieldKey)});
}

TicketVerdict go() {
    return {{}, TicketVerdict::Outcome::Go, {}};
}

// A price field's hint: a text that is no price is Invalid whatever the limit.
TicketPriceHint priceHint(const TradeEntry& entry, bool inUse, const interfaces::PriceLimit& limit,
                          std::string_view text) {
    if (inUse && !entry.ok())
        return {limit.signedText(), PriceCheck::Invalid, entry.refusal};
    return {limit.signedText(), checkPrice(text, limit), {}};
}

} // namespace

void TicketState::setAccounts(AccountList accounts) {
    accounts_ = std::move(accounts);
    if (!accounts_.empty())
        accountId_ = accounts_.front()->AccountId;
}

void TicketState::setPrice(std::string text) {
    if (text == price_)
        return;
    price_ = std::move(text);
    priceFilled_ = false;
}

void TicketState::setBracketText(Bracket which, std::string text) {
    TicketField& field = which == Bracket::TakeProfit ? takeProfit_ : stopLoss_;
    if (text == field.text)
        return;
    field.text = std::move(text);
    field.filled = false;
}

void TicketState::setMode(bool advanced, const TicketRecords& r, const interfaces::Orders* orders) {
    advanced_ = advanced;
    loadKinds(r, orders);
    resetDelivery();
    side_ = Side::Buy;
    for (TicketField* field : {&takeProfit_, &stopLoss_, &deviation_})
        *field = {};
    if (advanced_) {
        if (!pending(kind_))
            price_.clear();
        fillPrices(orders);
        selectSide(Side::Buy, orders);
    } else {
        price_.clear();
    }
    applySideRights(r, orders);
}

void TicketState::loadKinds(const TicketRecords& r, const interfaces::Orders* orders) {
    kinds_ = multiAccount_ ? orderKinds(r.item, accounts_) : orderKinds(r.item, r.account);
    setKind(kinds_.empty() ? std::nullopt : std::optional<OrderKind>(kinds_.front()), r, orders);
    clearUnoffered(r);
}

void TicketState::setKind(std::optional<OrderKind> kind, const TicketRecords& r,
                          const interfaces::Orders* orders) {
    timeInForce_ = interfaces::TimeInForce::Day;
    kind_ = kind;
    if (!pending(kind_))
        price_.clear();
    fillPrices(orders);
    if (!advancedOffer(r.account, r.item, r.settings, kind_, multiAccount_).deviation)
        deviation_ = {};
}

void TicketState::clearUnoffered(const TicketRecords& r) {
    // Several accounts: the rows are filtered by what is set, so every bracket is offered.
    if (!multiAccount_ && !offers(r.account, r.item, kTakeProfitOrders))
        takeProfit_ = {};
    if (!multiAccount_ && !offers(r.account, r.item, kStopLossOrders))
        stopLoss_ = {};
}

void TicketState::applySideRights(const TicketRecords& r, const interfaces::Orders* orders) {
    if (!advanced_)
        return;
    const SideRights rights = sideRights(r.settings);
    if (!rights.brackets()) {
        takeProfit_ = {};
        stopLoss_ = {};
    }
    selectSide(rights.preselected(), orders);
}

void TicketState::selectSide(Side side, const interfaces::Orders* orders) {
    side_ = side;
    fillPrices(orders);
}

void TicketState::setBracket(Bracket which, bool on, const interfaces::Orders* orders) {
    TicketField& field = which == Bracket::TakeProfit ? takeProfit_ : stopLoss_;
    field = {on, {}, false};
    if (on && orders)
        fillBracket(which, ticket(), *orders);
}

void TicketState::setDeviation(bool on) {
    deviation_.on = on;
    deviation_.text = on ? "0" : "";
}

bool TicketState::fillBracket(Bracket which, const interfaces::OrderTicket& t,
                              const interfaces::Orders& orders) {
    TicketField& field = which == Bracket::TakeProfit ? takeProfit_ : stopLoss_;
    // A limit or stop order's brackets are measured from its entry price: none from one that is no price.
    const bool measurable = t.kind == OrderKind::Market || (t.price && !t.price->isNaN());
    std::string text;
    if (measurable)
        text = (which == Bracket::TakeProfit ? orders.takeProfitLimit(t) : orders.stopLossLimit(t)).price;
    field.filled = true;
    if (text == field.text)
        return false;
    field.text = std::move(text);
    return true;
}

void TicketState::fillPrices(const interfaces::Orders* orders) {
    if (!orders || !advanced_ || !kind_)
        return;
    if (*kind_ != OrderKind::Market) {
        price_ = orders->entryPriceLimit(ticket()).price;
        priceFilled_ = true;
    } else {
        price_.clear();
        priceFilled_ = false;
    }
    // The brackets are measured from the entry price just filled.
    const interfaces::OrderTicket t = ticket();
    for (Bracket which : {Bracket::TakeProfit, Bracket::StopLoss})
        if (bracket(which).on)
            fillBracket(which, t, *orders);
}

bool TicketState::followLimits(const interfaces::Orders* orders) {
    if (!orders || !advanced_ || !kind_)
        return false;
    bool changed = false;
    if (pending(kind_) && priceFilled_) {
        std::string now = orders->entryPriceLimit(ticket()).price;
        changed = now != price_;
        price_ = std::move(now);
    }
    const interfaces::OrderTicket t = ticket();
    for (Bracket which : {Bracket::TakeProfit, Bracket::StopLoss})
        if (bracket(which).on && bracket(which).filled)
            changed = fillBracket(which, t, *orders) || changed;
    return changed;
}

bool TicketState::step(PriceField field, const ItemDetails* item, bool up) {
    if (!item)
        return false;
    std::string& text = field == PriceField::Entry        ? price_
                        : field == PriceField::TakeProfit ? takeProfit_.text
                                                          : stopLoss_.text;
    if (!text.empty() && !readPrice(text).ok())
        return false;
    text = stepPrice(text, item->TickSize, item->DecimalPlaces, up);
    // A stepped price is the user's choice: the ticket no longer refills it.
    (field == PriceField::Entry        ? priceFilled_
     : field == PriceField::TakeProfit ? takeProfit_.filled
                                       : stopLoss_.filled) = false;
    return true;
}

TicketControls TicketState::controls(const TicketRecords& r) const {
    TicketControls c;
    c.advanced = advanced_;
    c.pendingPrice = pending(kind_);
    c.takeProfitShown = multiAccount_ || offers(r.account, r.item, kTakeProfitOrders);
    c.stopLossShown = multiAccount_ || offers(r.account, r.item, kStopLossOrders);
    c.deviationShown = advancedOffer(r.account, r.item, r.settings, kind_, multiAccount_).deviation;
    c.bracketsEnabled = sideRights(r.settings).brackets();
    c.singleAccount = !multiAccount_;
    c.ordersEnabled = live_;
    return c;
}

TicketQuote TicketState::quoteTexts(const ItemDetails* item) const {
    TicketQuote q;
    q.code = itemCode_;
    if (!item)
        return q;
    q.known = true;
    q.time = clockTime(item->UpdateTime);
    q.low = priceText(item->Low, item);
    q.high = priceText(item->High, item);
    q.spread = spreadText(*item);
    q.ask = priceText(item->Ask, item);
    q.bid = priceText(item->Bid, item);
    q.bigDigits = static_cast<std::size_t>(item->mostSignificantDigitLength);
    q.smallDigits = static_cast<std::size_t>(item->leastSignificantDigitLength);
    return q;
}

TicketQuote TicketState::quote(const ItemDetails* item) {
    TicketQuote q = quoteTexts(item);
    if (!item)
        return q;
    q.askTick = ticks_.note("ask", item->Ask.toDouble());
    q.bidTick = ticks_.note("bid", item->Bid.toDouble());
    ticks_.endRefresh();
    return q;
}

TicketPriceHints TicketState::priceHints(const interfaces::Orders* orders) const {
    const bool tested = orders && advanced_ && kind_;
    interfaces::OrderTicket t;
    if (tested)
        t = ticket();
    TicketPriceHints hints;
    const TradeEntry entryPrice = readPrice(price_);
    interfaces::PriceLimit entry;
    if (tested && *kind_ != OrderKind::Market)
        entry = orders->entryPriceLimit(t);
    hints.entry = priceHint(entryPrice, tested && pending(kind_), entry, price_);
    // The brackets of a limit or stop order are measured from its entry price: none from one that is
    // no price.
    const bool measurable = tested && (!pending(kind_) || entryPrice.ok());
    interfaces::PriceLimit takeProfit;
    if (measurable && takeProfit_.on)
        takeProfit = orders->takeProfitLimit(t);
    hints.takeProfit =
        priceHint(readPrice(takeProfit_.text), tested && takeProfit_.on, takeProfit, takeProfit_.text);
    interfaces::PriceLimit stopLoss;
    if (measurable && stopLoss_.on)
        stopLoss = orders->stopLossLimit(t);
    hints.stopLoss = priceHint(readPrice(stopLoss_.text), tested && stopLoss_.on, stopLoss, stopLoss_.text);
    // An empty deviation is being typed; the place button names it.
    if (advanced_ && deviation_.on && !deviation_.text.empty())
        hints.deviation = readPointsEntry(deviation_.text).refusal;
    return hints;
}

std::optional<TicketVerdict> TicketState::quantityVerdict(const GroupInstruments* settings) const {
    if (multiAccount_)
        return std::nullopt;
    const TradeEntry lots = readQuantityEntry(quantity_);
    if (!lots.ok())
        return refusedEntry(lots.refusal, texts::kQuantity);
    if (Refusal ruled = quantityRuleRefusal(*lots.value, settings); ruled.refused())
        return refused(std::move(ruled));
    return std::nullopt;
}

std::string TicketState::contractValue(const TicketRecords& r, const std::vector<TickedLots>& ticked) const {
    const TradeEntry lots = readQuantityEntry(quantity_);
    if (!lots.ok() || !(*lots.value > platform::Decimal()))
        return {};
    if (multiAccount_) {
        // Each ticked row is held to its own account's rules, as the order is.
        for (const TickedLots& row : ticked)
            if (row.quantity.isNaN() || !(row.quantity > platform::Decimal()) ||
                !keepsQuantityRules(row.quantity, row.settings))
                return {};
    } else if (!keepsQuantityRules(*lots.value, r.settings)) {
        return {};
    }
    return quantityDescription(quantity_, r.item ? r.item->ContractSize.toDouble() : 0);
}

std::vector<std::string> TicketState::quantities(const GroupInstruments* settings) {
    if (!settings)
        return {};
    // The list is worked out on doubles.
    return quantityList(settings->MinOrderQty.toDouble(), settings->OrderQtyStep.toDouble(),
                        settings->MaxOrderQty.toDouble());
}

interfaces::OrderTicket TicketState::ticket() const {
    interfaces::OrderTicket t;
    t.instrument = itemCode_;
    t.account = accountId_;
    t.side = side_;
    t.kind = kind_.value_or(OrderKind::Market);
    t.delivery = delivery_;
    t.timeInForce = timeInForce_;
    // A text that is no number goes as NaN: the checks refuse it before anything is sent.
    t.quantity = numberOr(readQuantityEntry(quantity_));
    if (t.kind != OrderKind::Market)
        t.price = numberOr(readPrice(price_));
    if (takeProfit_.on)
        t.takeProfit = numberOr(readPrice(takeProfit_.text));
    if (stopLoss_.on)
        t.stopLoss = numberOr(readPrice(stopLoss_.text));
    if (deviation_.on)
        t.deviation = static_cast<std::int32_t>(
            readPointsEntry(deviation_.text).value.value_or(platform::Decimal()).int64Value());
    return t;
}

interfaces::OrderTicket TicketState::ticketFor(Side side, bool simple) const {
    interfaces::OrderTicket t = ticket();
    t.side = side;
    if (simple) {
        t.kind = OrderKind::Market;
        t.price.reset();
        t.takeProfit.reset();
        t.stopLoss.reset();
        t.deviation.reset();
    }
    return t;
}

platform::Decimal TicketState::orderQuantity(Side side, bool simple,
                                             const std::vector<MultiAccountRow>& rows) const {
    return multiAccount_ ? tickedTotal(rows) : ticketFor(side, simple).quantity;
}

TicketVerdict TicketState::check(Side side, bool placeButton, const TicketRecords& r,
                                 interfaces::Orders* orders, const std::vector<MultiAccountRow>& rows) const {
    if (!orders || !live_)
        return {};
    if (placeButton && deviation_.on && deviation_.text.empty())
        return refused(std::string(kNoDeviationKey));
    if (auto fault = entryFault(placeButton, r.settings))
        return *fault;
    if (!placeButton || !kind_) {
        // Simple mode sends at the market (and the place button needs an order type).
        const bool market =
            multiAccount_ ? kind_ == OrderKind::Market : offers(r.account, r.item, kMarketOrders);
        if (!market || (placeButton && !kind_))
            return refused(std::string(kNoMarketOrderKey));
    }
    interfaces::OrderTicket t = ticketFor(side, !placeButton);
    const auto ruled = [&]() -> std::optional<TicketVerdict> {
        auto result = orders->checkOrder(t);
        if (result.sent())
            return std::nullopt;
        return refused(std::move(result.refusalKey), std::move(result.refusalText));
    };
    if (!multiAccount_)
        return ruled().value_or(go());
    // A row that holds a text it refuses says why before any order is checked.
    for (const MultiAccountRow& row : rows)
        if (row.ticked && !row.refusedText.empty())
            return refusedEntry(readQuantityEntry(row.refusedText).refusal, texts::kQuantity);
    const auto ticked = tickedAccounts(rows);
    // No row because the deviation left every account out: say so, not that none was chosen.
    if (rows.empty() && deviation_.on &&
        !accountsLeftOutByDeviation(accounts_, r.item, kind_, takeProfit_.on, stopLoss_.on).empty())
        return refused(texts::kNoAccountListAllowsPrice);
    if (ticked.empty())
        return refused(std::string(kNoAccountTickedKey));
    for (const auto& row : ticked) {
        t.account = row.accountId;
        t.quantity = row.quantity;
        if (auto refusal = ruled())
            return *refusal;
    }
    return go();
}

std::optional<TicketVerdict> TicketState::entryFault(bool placeButton,
                                                     const GroupInstruments* settings) const {
    // Several accounts take their rows' quantities, each read as it was entered.
    if (auto quantity = quantityVerdict(settings))
        return quantity;
    // Simple mode sends at the market, without the advanced fields.
    if (!placeButton)
        return std::nullopt;
    const auto fault = [](const TradeEntry& entry,
                          std::string_view fieldKey) -> std::optional<TicketVerdict> {
        if (entry.ok())
            return std::nullopt;
        return refusedEntry(entry.refusal, fieldKey);
    };
    if (pending(kind_))
        if (auto f = fault(readPrice(price_), texts::kPriceField))
            return f;
    if (takeProfit_.on)
        if (auto f = fault(readPrice(takeProfit_.text), texts::kTakeProfit))
            return f;
    if (stopLoss_.on)
        if (auto f = fault(readPrice(stopLoss_.text), texts::kStopLoss))
            return f;
    if (deviation_.on)
        if (auto f = fault(readPointsEntry(deviation_.text), texts::kDeviation))
            return f;
    return std::nullopt;
}

std::string TicketState::confirmation(const ConfirmationTexts& texts, const platform::Decimal& quantity,
                                      const ItemDetails* item,
                                      std::span<const interfaces::AccountQuantity> accounts) const {
    const auto optional = [](const TicketField& field) {
        return field.on ? std::optional<std::string_view>(field.text) : std::nullopt;
    };
    return confirmationBody(texts, quantity.toString(), item ? item->ContractSize.toDouble() : 0, itemCode_,
                            optional(takeProfit_), optional(stopLoss_), accounts);
}

} // namespace tc::gui
