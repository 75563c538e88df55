#pragma once
// The order ticket's rules that need no window: which accounts, instruments, order types, validities
// and quantities it offers, the multi-account rows and their total, the price checks against the
// order rules' limits, the stepper and the confirmation's text. No Qt here.
#include "gui/texts.h"
#include "interfaces/orders.h"
#include "model/records/order.h"
#include "platform/decimal.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tc {
class AccountDetails;
class ItemDetails;
struct GroupInstruments;
struct SessionModel;
} // namespace tc

namespace tc::gui {

using AccountList = std::vector<std::shared_ptr<const AccountDetails>>;

// Order availability bits, tested on the account and on the instrument together.
inline constexpr std::int32_t kMarketOrders = 1;
inline constexpr std::int32_t kTakeProfitOrders = 2;
inline constexpr std::int32_t kStopLossOrders = 4;
inline constexpr std::int32_t kLimitOrders = 64;
inline constexpr std::int32_t kStopOrders = 128;
// Account settings: no multi-account orders when any listed account has bit 1; bit 2 allows a
// deviation with market orders.
inline constexpr std::int64_t kNoMultiAccount = 1;
inline constexpr std::int64_t kDeviationAllowed = 2;

// Both the account and the instrument have the bit (a missing one has none).
bool offers(const AccountDetails* account, const ItemDetails* item, std::int32_t bit);

// The accounts the ticket may trade the instrument on, in the given order: not view-only (2),
// close-only (4) or equity-hit (5), the group trading and holding settings for the instrument, an
// account type of 1, 2 or 3.
AccountList ticketAccounts(const SessionModel& model, const AccountList& visible, std::string_view itemCode);

// The quantities offered from 0 up to the maximum in steps: every step below ten times the minimum,
// then whole numbers below 10, then whole multiples of 5. Worked out arithmetically on the six-decimal
// values, never by walking every step, and cut at `cap` entries; nothing without a positive step.
inline constexpr std::size_t kMaxTicketQuantities = 500;
std::vector<std::string> quantityList(double minimum, double step, double maximum,
                                      std::size_t cap = kMaxTicketQuantities);

// The order types offered in the order Market, Limit, Stop. One account: account and instrument
// both have the bit. Several: the instrument has it and at least one of the accounts.
std::vector<interfaces::OrderKind> orderKinds(const ItemDetails* item, const AccountDetails* account);
std::vector<interfaces::OrderKind> orderKinds(const ItemDetails* item, const AccountList& accounts);
std::string_view orderKindName(interfaces::OrderKind kind); // "Market", "Limit", "Stop"

// The validities the group's settings carry a margin for, in the order Regular, IntraDay, BTST.
std::vector<interfaces::Delivery> deliveries(const GroupInstruments* settings);
std::string_view deliveryName(interfaces::Delivery delivery);  // "Regular", "IntraDay", "BTST"
std::string_view timeInForceName(interfaces::TimeInForce tif); // "Day", "GTF", "GTC"
inline constexpr interfaces::TimeInForce kTimesInForce[] = {interfaces::TimeInForce::Day,
                                                            interfaces::TimeInForce::GoodTillFriday,
                                                            interfaces::TimeInForce::GoodTillCancelled};

// The sides the account's group lets the instrument be traded on (bit 1 buy, bit 2 sell), and the side
// the advanced mode preselects: sell only when selling alone is allowed.
struct SideRights {
    bool buy = false;
    bool sell = false;
    bool brackets() const { return buy && sell; } // take profit and stop loss need both sides
    interfaces::Side preselected() const {
        return sell && !buy ? interfaces::Side::Sell : interfaces::Side::Buy;
    }
};
SideRights sideRights(const GroupInstruments* settings);

// What the advanced part offers besides the order type. One account: take profit and stop loss by
// the masks (and both sides allowed), a deviation for a market order when the account allows one.
// Several accounts: all of them, the deviation for a market order.
struct AdvancedOffer {
    bool takeProfit = false;
    bool stopLoss = false;
    bool deviation = false;
};
AdvancedOffer advancedOffer(const AccountDetails* account, const ItemDetails* item,
                            const GroupInstruments* settings, std::optional<interfaces::OrderKind> kind,
                            bool multiAccount);

// ---- multi-account orders

// Offered when at least two accounts are listed and none forbids it.
bool multiAccountOffered(const AccountList& accounts);

// The accounts that get a row for the order as set: the order type's bit, the take profit's and the
// stop loss's bits when they are on (on account and instrument), and a deviation only where allowed.
// No order type admits none.
AccountList multiAccountRowAccounts(const AccountList& accounts, const ItemDetails* item,
                                    std::optional<interfaces::OrderKind> kind, bool takeProfit, bool stopLoss,
                                    bool deviation);

// The accounts a price deviation alone keeps out of the rows (the rows without it less those with
// it), in list order: the drawer names them, so that no row goes without a word.
std::vector<std::int32_t> accountsLeftOutByDeviation(const AccountList& accounts, const ItemDetails* item,
                                                     std::optional<interfaces::OrderKind> kind,
                                                     bool takeProfit, bool stopLoss);

// One row: the account and its quantity (a bulk order's record), ticked or not.
struct MultiAccountRow : MultiTrade {
    bool ticked = false;
    // A text typed into the row that is no quantity, kept as typed (the row then orders nothing and
    // the order is refused until it reads); empty while `quantity` holds what was typed.
    std::string refusedText = {};
};
// The order's quantity: the sum over the ticked rows only (a quantity left on an unticked row is
// not ordered).
platform::Decimal tickedTotal(const std::vector<MultiAccountRow>& rows);
// The ticked rows as the order takes them, in row order.
std::vector<interfaces::AccountQuantity> tickedAccounts(const std::vector<MultiAccountRow>& rows);

// ---- prices

// A price field against its limit: not tested (a market order's entry, a box off, no limit), valid
// or not. Colours only inform; nothing is blocked by them. A field that does not read as a price above
// 0 (empty, no number, 0) is invalid: the order rules refuse it wherever the limit lies.
enum class PriceCheck : std::uint8_t { Untested, Valid, Invalid };
PriceCheck checkPrice(std::string_view fieldText, const interfaces::PriceLimit& limit);

// The field's price moved one tick up or down, written at the instrument's decimals; an empty field
// starts from 0 (the ticket steps no text that is no price), and no price goes below 0.
std::string stepPrice(std::string_view fieldText, const platform::Decimal& tickSize, std::int32_t decimals,
                      bool up);

// A typed price or quantity read whole (platform::readNumberEntry); nullopt for a text that is not one
// plain number of zero or more.
std::optional<platform::Decimal> fieldDecimal(std::string_view text);

// ---- sending

// What the ticket refuses itself before the order rules see the order: the language key of the
// alert (titled kValidation), or nullopt when it may go on.
//  - kEnterPriceDeviationAllowed: the deviation box on with an empty field (the place button);
//  - kChooseOrderType: simple mode sends market orders only: refused when the account and instrument offer
//    none (one account), or when the order set for the rows is not a market order (several);
//  - kSelectLeastOneAccount: several accounts and none ticked.
inline constexpr std::string_view kNoDeviationKey = texts::kEnterPriceDeviationAllowed;
inline constexpr std::string_view kNoMarketOrderKey = texts::kChooseOrderType;
inline constexpr std::string_view kNoAccountTickedKey = texts::kSelectLeastOneAccount;
inline constexpr std::string_view kTicketAlertTitleKey = texts::kValidation;

// The confirmation's text: "<side> <quantity> (<quantity x contract size>) <code> @ <market>", then
// a line for the take profit and the stop loss when they are on, each followed by a blank line.
// The quantity is written as the number the order carries ("0531.50" reads "531.5"), and the units
// are worked from that number as the ticket's contract value is. An order over several accounts
// goes out once per account, so the order's line is followed by one line per account naming it with
// its quantity and units ("Account 20001: 0.01 (1000)"), then a blank line: the total alone would
// hide the split, and the ticket's account box names one account only.
struct ConfirmationTexts {
    std::string side;         // the text of kBuy or kSell
    std::string atMarket;     // the text of kMarketRate
    std::string takeProfit;   // the text of kTakeProfit
    std::string stopLoss;     // the text of kStopLoss
    std::string accountShare; // the text of kAccountShareLine
};
std::string confirmationBody(const ConfirmationTexts& texts, std::string_view quantity, double contractSize,
                             std::string_view code, std::optional<std::string_view> takeProfit,
                             std::optional<std::string_view> stopLoss,
                             std::span<const interfaces::AccountQuantity> accounts = {});

} // namespace tc::gui
