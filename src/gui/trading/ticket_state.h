#pragma once
// The order ticket as it stands, without widgets: the fields the user set, what the ticket offers
// for them, its checks before sending, and the once-a-second quote and price hints. The window's
// parts write what the user did into it and show what it holds; no rule reads a widget. Refusals
// are language keys (or the order rules' own texts), worded by the window. No Qt here.
#include "gui/grid/tick_tracker.h"
#include "gui/trading/ticket_rules.h"
#include "gui/trading/trade_entries.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace interfaces {
class Orders;
}

namespace tc::gui {

// The records the rules read, looked up afresh from the session on every use (none without one).
struct TicketRecords {
    const AccountDetails* account = nullptr;
    const ItemDetails* item = nullptr;
    const GroupInstruments* settings = nullptr;
};

// A price or deviation field with its box: on or off, and its text as typed or filled. `filled`: the
// text is the ticket's own fill, not yet touched by the user.
struct TicketField {
    bool on = false;
    std::string text;
    bool filled = false;
};

// Which of the advanced box's controls are shown and usable for the order as set.
struct TicketControls {
    bool advanced = false;        // the advanced box is usable, the side boxes are shown
    bool pendingPrice = false;    // the entry price, its stepper and the time in force (limit, stop)
    bool takeProfitShown = false; // the box, field, stepper and hint
    bool stopLossShown = false;
    bool deviationShown = false;
    bool bracketsEnabled = false; // the take profit and stop loss boxes (both sides allowed)
    bool singleAccount = true;    // the account and quantity boxes (several accounts take the rows')
    bool ordersEnabled = false;   // buy, sell and place: only while signed in and answered
};

// The quote part's texts at one refresh; empty without an instrument. The low and high are prices
// only: the window puts its words before them.
struct TicketQuote {
    bool known = false;
    std::string code;
    std::string time;
    std::string low;
    std::string high;
    std::string spread;
    std::string ask;
    std::string bid;
    std::size_t bigDigits = 0;
    std::size_t smallDigits = 0;
    Tick askTick = Tick::Same;
    Tick bidTick = Tick::Same;
};

// A price field's hint ("<= 1.2345", empty when untested), its check, and why its text is no price
// when it is not one (the check is then Invalid).
struct TicketPriceHint {
    std::string limit;
    PriceCheck check = PriceCheck::Untested;
    Refusal refusal;
};
struct TicketPriceHints {
    TicketPriceHint entry;
    TicketPriceHint takeProfit;
    TicketPriceHint stopLoss;
    Refusal deviation; // why the deviation typed is no number of points
};

// The ticket's answer before sending: go on, stop quietly (not signed in), or a refusal to show,
// either the refusal's words or the order rules' `text` as given (which then wins).
struct TicketVerdict : Refusal {
    enum class Outcome : std::uint8_t { Go, Quiet, Refused };
    Outcome outcome = Outcome::Quiet;
    std::string text;
    bool go() const { return outcome == Outcome::Go; }
};

// One ticked row of several accounts: its lots and its account's rules for the instrument.
struct TickedLots {
    platform::Decimal quantity;
    const GroupInstruments* settings = nullptr;
};

class TicketState {
public:
    enum class Bracket : std::uint8_t { TakeProfit, StopLoss };

    // ---- what the ticket stands on
    const std::string& itemCode() const { return itemCode_; }
    std::int32_t accountId() const { return accountId_; }
    const AccountList& accounts() const { return accounts_; }
    bool advanced() const { return advanced_; }
    bool multiAccount() const { return multiAccount_; }
    bool live() const { return live_; }
    std::optional<interfaces::OrderKind> kind() const { return kind_; }
    const std::vector<interfaces::OrderKind>& kinds() const { return kinds_; }
    interfaces::TimeInForce timeInForce() const { return timeInForce_; }
    interfaces::Delivery delivery() const { return delivery_; }
    interfaces::Side side() const { return side_; }
    const std::string& quantity() const { return quantity_; }
    const std::string& price() const { return price_; }
    const TicketField& bracket(Bracket which) const {
        return which == Bracket::TakeProfit ? takeProfit_ : stopLoss_;
    }
    const TicketField& deviation() const { return deviation_; }

    // ---- set by the window or by the user's edits
    void setLive(bool live) { live_ = live; }
    // The accounts the ticket trades on, built at opening; the first is chosen.
    void setAccounts(AccountList accounts);
    void chooseAccount(std::int32_t accountId) { accountId_ = accountId; }
    void chooseInstrument(std::string code) { itemCode_ = std::move(code); }
    // A text other than the one standing is the user's.
    void setQuantity(std::string text) {
        if (text != quantity_)
            quantityFilled_ = false;
        quantity_ = std::move(text);
    }
    // A text other than the one standing is the user's: the ticket no longer refills it.
    void setPrice(std::string text);
    void setBracketText(Bracket which, std::string text);
    // The instrument's decimals, the most a price takes (any count until they are known).
    void setPriceDecimals(std::int32_t decimals) { priceDecimals_ = decimals; }
    void setDeviationText(std::string text) { deviation_.text = std::move(text); }
    void setTimeInForce(interfaces::TimeInForce tif) { timeInForce_ = tif; }
    void setDelivery(interfaces::Delivery delivery) { delivery_ = delivery; }
    void setMultiAccount(bool on) { multiAccount_ = on; }

    // ---- the rules' steps. `orders` is null without a session: then no price is filled.

    // Simple or advanced: both start afresh (first order type, Day, Regular, no brackets or deviation,
    // the side the group prefers); simple mode sends at the market, so no entry price stands.
    void setMode(bool advanced, const TicketRecords& r, const interfaces::Orders* orders);
    // The order types offered for the account (or the listed accounts), the first chosen.
    void loadKinds(const TicketRecords& r, const interfaces::Orders* orders);
    // An order type: Day again, no entry price for a market order, the limits filled, and a deviation
    // only where it is offered.
    void setKind(std::optional<interfaces::OrderKind> kind, const TicketRecords& r,
                 const interfaces::Orders* orders);
    void resetDelivery() { delivery_ = interfaces::Delivery::Regular; }
    // The group's sides: brackets off without both, and the side it prefers chosen (advanced only).
    void applySideRights(const TicketRecords& r, const interfaces::Orders* orders);
    void selectSide(interfaces::Side side, const interfaces::Orders* orders);
    // A box turned on fills its field with its limit; off empties it (a deviation starts at 0).
    void setBracket(Bracket which, bool on, const interfaces::Orders* orders);
    void setDeviation(bool on);
    // The entry price (limit, stop) and the brackets that are on, filled with their limits.
    void fillPrices(const interfaces::Orders* orders);
    // The prices the ticket filled and the user has not touched follow their limits as the quote
    // moves, so a filled price never stands outside the limit shown beside it. True when one changed.
    bool followLimits(const interfaces::Orders* orders);
    // The quantity back to 0, as at opening.
    void resetQuantity() {
        quantity_ = "0";
        quantityFilled_ = true;
    }
    // The quantity is the ticket's own 0, not yet touched by the user.
    bool quantityFilled() const { return quantityFilled_; }
    // One tick up or down on the entry price or a bracket; false without an instrument or when the
    // field holds a text that is no price (it stays as typed).
    enum class PriceField : std::uint8_t { Entry, TakeProfit, StopLoss };
    bool step(PriceField field, const ItemDetails* item, bool up);

    // ---- what the window shows
    TicketControls controls(const TicketRecords& r) const;
    // The quote at this refresh; the directions are against the previous refresh's prices.
    TicketQuote quote(const ItemDetails* item);
    // The same texts without noting the prices (a change of language rewords them).
    TicketQuote quoteTexts(const ItemDetails* item) const;
    TicketPriceHints priceHints(const interfaces::Orders* orders) const;
    // Why the quantity typed would be refused, as Buy, Sell and Place refuse it and its field is marked:
    // a text that is no number (naming the field), or lots the order rules refuse (none, or past the
    // group's maximum, minimum or step, in their words). Nothing while several accounts fill it.
    std::optional<TicketVerdict> quantityVerdict(const GroupInstruments* settings) const;
    // "quantity x contract size = value" for the quantity field, the lots as typed; empty beside lots
    // the order rules would refuse: none, a text that is no number, or lots off the group's quantity
    // rules (of the account, or of each ticked row's account when there are several).
    std::string contractValue(const TicketRecords& r, const std::vector<TickedLots>& ticked = {}) const;
    // The quantity field's entries for the group's minimum, step and maximum.
    static std::vector<std::string> quantities(const GroupInstruments* settings);

    // ---- sending
    // The order as the fields stand (the account and quantity of one account).
    interfaces::OrderTicket ticket() const;
    // The order as it goes out: simple mode's at the market, without brackets or a deviation.
    interfaces::OrderTicket ticketFor(interfaces::Side side, bool simple) const;
    // The lots ordered: the quantity field's number, or the ticked rows' total.
    platform::Decimal orderQuantity(interfaces::Side side, bool simple,
                                    const std::vector<MultiAccountRow>& rows) const;
    // The ticket's own checks, then the order rules' per order (or per ticked row), so that nothing
    // they would refuse is confirmed first.
    TicketVerdict check(interfaces::Side side, bool placeButton, const TicketRecords& r,
                        interfaces::Orders* orders, const std::vector<MultiAccountRow>& rows) const;
    // The confirmation's text for the order about to go; `accounts`, the ticked rows of an order over
    // several accounts, each named with its share.
    std::string confirmation(const ConfirmationTexts& texts, const platform::Decimal& quantity,
                             const ItemDetails* item,
                             std::span<const interfaces::AccountQuantity> accounts = {}) const;

private:
    void clearUnoffered(const TicketRecords& r);
    // The first field the order reads whose text is no number (or whose lots the rules refuse), as
    // a refusal.
    std::optional<TicketVerdict> entryFault(bool placeButton, const GroupInstruments* settings) const;
    // Fills a bracket with its limit measured from `t`; true when its text changed.
    bool fillBracket(Bracket which, const interfaces::OrderTicket& t, const interfaces::Orders& orders);
    TradeEntry readPrice(std::string_view text) const {
        return priceDecimals_ ? readPriceEntry(text, *priceDecimals_) : readQuantityEntry(text);
    }

    std::string itemCode_;
    std::int32_t accountId_ = 0;
    AccountList accounts_;
    bool advanced_ = false;
    bool multiAccount_ = false;
    bool live_ = false;
    std::optional<interfaces::OrderKind> kind_;
    std::vector<interfaces::OrderKind> kinds_;
    interfaces::TimeInForce timeInForce_ = interfaces::TimeInForce::Day;
    interfaces::Delivery delivery_ = interfaces::Delivery::Regular;
    interfaces::Side side_ = interfaces::Side::Buy;
    std::string quantity_ = "0";
    bool quantityFilled_ = true;
    std::string price_;
    bool priceFilled_ = false;
    std::optional<std::int32_t> priceDecimals_;
    TicketField takeProfit_;
    TicketField stopLoss_;
    TicketField deviation_;
    TickTracker ticks_;
};

} // namespace tc::gui
