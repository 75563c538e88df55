#include "gui/trading/ticket_state.h"

#include "gui/grid/grid_cells.h"
#include "gui/trading/position_dialog_rules.h"
#include "interfaces/orders.h"
#include "model/position_quantities.h"
#include "model/records/account_details.h"
#include "model/records/group_details.h"
#include "model/records/item_details.h"
#include "model/records/wall_time.h"

#include <charconv>

namespace tc::gui {

using interfaces::OrderKind;
using interfaces::Side;

namespace {

bool pending(std::optional<OrderKind> kind) {
    return kind == OrderKind::Limit || kind == OrderKind::Stop;
}

platform::Decimal decimalOr0(std::string_view text) {
    return fieldDecimal(text).value_or(platform::Decimal());
}

TicketVerdict refused(std::string key, std::string text = {}) {
    return {TicketVerdict::Outcome::Refused, std::move(key), std::move(text)};
}

} // namespace

void TicketState::setAccounts(AccountList accounts) {
    accounts_ = std::move(accounts);
    if (!accounts_.empty())
        accountId_ = accounts_.front()->AccountId;
}

void TicketState::setBracketText(Bracket which, std::string text) {
    (which == Bracket::TakeProfit ? takeProfit_ : stopLoss_).text = std::move(text);
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
    field.on = on;
    if (on && orders) {
        const interfaces::OrderTicket t = ticket();
        field.text =
            (which == Bracket::TakeProfit ? orders->takeProfitLimit(t) : orders->stopLossLimit(t)).price;
    } else {
        field.text.clear();
    }
}

void TicketState::setDeviation(bool on) {
    deviation_.on = on;
    deviation_.text = on ? "0" : "";
}

void TicketState::fillPrices(const interfaces::Orders* orders) {
    if (!orders || !advanced_ || !kind_)
        return;
    interfaces::OrderTicket t = ticket();
    if (*kind_ != OrderKind::Market) {
        price_ = orders->entryPriceLimit(t).price;
        t.price = fieldDecimal(price_);
    } else {
        price_.clear();
    }
    // The brackets are measured from the entry price just filled.
    if (takeProfit_.on)
        takeProfit_.text = orders->takeProfitLimit(t).price;
    if (stopLoss_.on)
        stopLoss_.text = orders->stopLossLimit(t).price;
}

bool TicketState::step(PriceField field, const ItemDetails* item, bool up) {
    if (!item)
        return false;
    std::string& text = field == PriceField::Entry        ? price_
                        : field == PriceField::TakeProfit ? takeProfit_.text
                                                          : stopLoss_.text;
    text = stepPrice(text, item->TickSize, item->DecimalPlaces, up);
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
    interfaces::PriceLimit entry;
    if (tested && *kind_ != OrderKind::Market)
        entry = orders->entryPriceLimit(t);
    hints.entry = {entry.signedText(), checkPrice(price_, entry)};
    interfaces::PriceLimit takeProfit;
    if (tested && takeProfit_.on)
        takeProfit = orders->takeProfitLimit(t);
    hints.takeProfit = {takeProfit.signedText(), checkPrice(takeProfit_.text, takeProfit)};
    interfaces::PriceLimit stopLoss;
    if (tested && stopLoss_.on)
        stopLoss = orders->stopLossLimit(t);
    hints.stopLoss = {stopLoss.signedText(), checkPrice(stopLoss_.text, stopLoss)};
    return hints;
}

std::string TicketState::contractValue(const TicketRecords& r) const {
    const platform::Decimal lots = decimalOr0(quantity_);
    if (!(lots > platform::Decimal()))
        return {};
    // Several accounts' rows are held to the rules one by one, not their total.
    if (!multiAccount_ && r.settings && quantityBreach(lots.toDouble(), *r.settings))
        return {};
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
    t.quantity = decimalOr0(quantity_);
    if (t.kind != OrderKind::Market)
        t.price = decimalOr0(price_);
    // A box on with an empty field asks for 0, which the order rules refuse with the limit.
    if (takeProfit_.on)
        t.takeProfit = decimalOr0(takeProfit_.text);
    if (stopLoss_.on)
        t.stopLoss = decimalOr0(stopLoss_.text);
    if (deviation_.on) {
        std::int32_t points = 0;
        const std::string& text = deviation_.text;
        if (std::from_chars(text.data(), text.data() + text.size(), points).ec != std::errc())
            points = 0;
        t.deviation = points;
    }
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
        return ruled().value_or(TicketVerdict{TicketVerdict::Outcome::Go, {}, {}});
    const auto ticked = tickedAccounts(rows);
    if (ticked.empty())
        return refused(std::string(kNoAccountTickedKey));
    for (const auto& row : ticked) {
        t.account = row.accountId;
        t.quantity = row.quantity;
        if (auto refusal = ruled())
            return *refusal;
    }
    return {TicketVerdict::Outcome::Go, {}, {}};
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
