#pragma once
// Floating profit and loss of open positions, conversion of amounts into an account's currency and
// the proration of a paid commission. These are the business object's account arithmetic: it wraps
// them one to one (CalcPL, CalculateFloatingPL, calculateCurrencyConversionForValue,
// currencyConversion, calcCommission). All amounts are doubles.
#include "model/record_ptr.h"
#include "model/session_services.h"
#include "platform/compact_decimal.h"
#include "platform/decimal.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

namespace tc {

class AccountDetails;
struct GroupInstruments;
class ItemDetails;
class Order;
struct SessionModel;

// Profit (positive) or loss (negative) of `quantity` opened at `openPrice` and valued at
// `currentPrice`, in the instrument's terms, by its PLCalcModeId (0 or below counts as 1, above 6
// gives 0). 0 without an instrument, for a quantity of 0 or less, and when either price is 0 or
// below: a position without a quote has no floating result yet. Side 0 buys, any other sells.
double CalculateFloatingPL(const ItemDetails* item, std::int32_t side, double quantity, double openPrice,
                           double currentPrice);

// amount × price, or amount ÷ price when `isDirect` is not 0 (the amount unchanged for a price of 0).
double currencyConversion(double amount, double price, double isDirect);

// The commission paid for the whole order prorated to the remaining quantity. Unchanged when the
// order quantity does not read as a number above 0: there is nothing to prorate against.
double calcCommission(const platform::Decimal& orderQuantity, const platform::Decimal& remainingQuantity,
                      double commission);

// The quote a position of `side` closes at: a buy sells at the Bid, a sell (any other side) buys back
// at the Ask. The one rule for every figure valued at the closing side.
template <typename Quote>
constexpr const Quote& closingQuote(std::int32_t side, const Quote& bid, const Quote& ask) {
    return side == 0 ? bid : ask;
}
// The instrument's live quote that a position of `side` closes at.
const platform::CompactDecimal& closingQuote(const ItemDetails& item, std::int32_t side);
// The same for the position's own side.
const platform::CompactDecimal& closingQuote(const ItemDetails& item, const Order& position);

// The commission an open position carries: what was paid for its opening quantity, prorated to the
// quantity still open (calcCommission). Every window shows this one figure for a position.
double positionCommission(const Order& position);

// The position's floating P/L at its closing quote, unconverted.
// nullopt for an account in Equity Hit, or without the instrument; the stored figure then stands.
std::optional<double> floatingPLOfPosition(const Order& position, const ItemDetails* item,
                                           const AccountDetails* account);

// What closing `quantity` of the open position now would bring, converted into its account's
// currency: valued from its open price to the live price of the closing side (a buy sells at the
// Bid, a sell buys back at the Ask). 0 without the instrument.
double closeResult(const Order& position, double quantity, const SessionLookup& session);

// What offsetting `quantity` of the opposite position `leg` against `position` fixes, in the
// instrument's terms: the leg valued from its open price as shown (at the instrument's decimals) to
// the position's open price. 0 without the instrument. Worked in the floating P/L's doubles; the
// decimal of the result's shortest text.
platform::Decimal offsetResult(const Order& leg, const platform::Decimal& quantity, const Order& position,
                               const ItemDetails* item);

// The order manager's position arithmetic over the session look-ups.
class PositionArithmetic : public OrderServices {
public:
    explicit PositionArithmetic(const SessionLookup& session) : session_(session) {}

    void CalcPL(Order& position) override;
    double calculateCurrencyConversionForValue(double value, const Order& position) override;

private:
    const SessionLookup& session_;
};

// Totals of one refresh pass.
struct RefreshTotals {
    double unrealisedPL = 0; // converted into each position's account currency
    double margin = 0;       // per-lot margin × remaining quantity, in doubles
    std::size_t positions = 0;
};

// The one-second refresh of the open positions: each displayed position's UnrealisedPL becomes its
// floating P/L converted into its account currency (positions of Equity Hit accounts take the
// server's fixed figure, converted from its kept copy, or else keep theirs), and its margin is the
// per-lot margin times its remaining quantity.
// Takes the stored collection and leaves out the positions that the displayable list leaves out
// (accounts suspended, closed, or with access type 4 or 10), so the list need not be copied first.
// Instruments are found by code once per position; accounts, their conversion quote, group and the
// group's settings are resolved once per pass, so the cost stays linear in the positions.
RefreshTotals refreshOpenPositions(std::span<RecordPtr<Order>> positions, const SessionLookup& session);

// Margin of one lot of the position in doubles, by the rule of Order::GetMarginForSingleLot;
// 0 without settings.
double marginForSingleLot(const Order& position, const GroupInstruments* settings, const ItemDetails& item);

// The margin the position holds: one lot's margin times its remaining lots; 0 without settings.
double positionMargin(const Order& position, const GroupInstruments* settings, const ItemDetails& item);

// The margin the current account holds in one instrument: the sum of the model's hedge-margin
// figures whose key, up to its first "#", is the code; 0 when there is none. Figures that do not
// read as finite numbers count as 0.
double hedgeMarginOfInstrument(const SessionModel& model, std::string_view code);

} // namespace tc
