#pragma once
// The order records: an order, position, cancelled order or settlement as the session keeps it
// (`Order`), the request a window hands to the order service (`OrderInfo`), one row of the
// offset window (`OffsetPosition`) and one account row of a bulk order (`MultiTrade`).
// Prices, quantities, amounts and rates are decimals and times wall-clock time points, read once
// where the record is filled; the figures that rules compute in doubles stay doubles.
#include "model/records/order_choices.h"
#include "model/records/wall_time.h"
#include "platform/decimal.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tc {

class AccountDetails;
struct GroupInstruments;
class ItemDetails;

class Order {
public:
    // Wire value of a choice that does not apply.
    static constexpr std::int32_t kNotApplicable = 926;

    virtual ~Order() = default;

    std::int32_t tradingMode = 0; // 0 buy, 1 sell
    std::int32_t orderType = 0;
    std::int32_t deliveryMode = 0;
    std::int32_t timeInForce = 0;
    std::int32_t orderRejectReason = 0;
    std::int32_t orderTypeInfo = 0;
    std::string AccountNumber;
    std::int32_t RequestId = 0;
    std::string ItemCode;
    // NaN on a request: no quantity given (written as an empty field).
    platform::Decimal OrderQty;
    // None when no price was given or reported (an empty field, never 0).
    std::optional<platform::Decimal> OrderPrice;
    // The one-second refresh of every position reads these and the fields above: together they
    // share the record's first lines instead of a line each further on.
    platform::Decimal RemainingQty;
    // Recomputed by the refresh in the floating P/L's own double arithmetic, matched bit for bit.
    double UnrealisedPL = 0;
    // Whether the client has worked UnrealisedPL out at its quotes: until then (a position just
    // stored, or one whose instrument or account the session lacks) it is no figure to show.
    bool UnrealisedPLValued = false;
    // The floating P/L the server fixed for a position of an account in equity hit, as it sent it: the
    // refresh converts a copy of it into the account currency each pass, in the conversion's doubles.
    std::optional<double> EquityHitPL;
    // Divides and multiplies the margin and the floating P/L in their doubles, matched bit for bit.
    double BaseCurrencyRate = 0;
    std::optional<platform::Decimal> LimitPrice; // take profit; none without one
    std::optional<platform::Decimal> StopPrice;  // stop loss; none without one
    // A request's quote as it stood, at the instrument's decimals as the wire writes them (NaN for a
    // quote that is not a number); a stored order keeps only the spread it was placed with.
    platform::Decimal Spread;
    platform::Decimal Bid;
    platform::Decimal Ask;
    platform::Decimal Last;
    platform::Decimal High;
    platform::Decimal Low;
    // The quote's time on a request; a settlement's opening time.
    std::optional<WallTime> ItemTime;
    std::string CurrentStatus;
    std::int32_t orderTypeTag = 0;
    std::int32_t deliveryModeTag = 0;
    std::int32_t tradingModeTag = 0;
    std::int32_t timeInForceTag = 0;
    std::string TicketId;
    std::optional<WallTime> TransactionDateTime;
    std::string OrderStatus;
    std::string OrderRouteId;
    std::string PendingOrderId;
    std::string ExecutionId;
    // An open position's: the commission paid for its opening quantity (OrderQty), as reported;
    // what it carries while part of it is closed is positionCommission() (model/position_arithmetic.h).
    // A settlement's: its own.
    double Commission = 0;
    std::string OpenPositionId;
    platform::Decimal SettledQty;
    platform::Decimal SettledPL;
    std::string ClosingPositionId;
    std::string SettlementId;
    std::optional<platform::Decimal> SettledPrice; // none when the closing position is unknown
    platform::Decimal Storage;
    std::optional<WallTime> ExpiryDate; // a position shows only its day
    std::optional<WallTime> ValueDate;  // shown as a day
    std::string RefPositionIdOfBracket;
    std::string CancelledOrderId;
    bool isCloseNew = false;
    bool isEditWorkOrder = false;
    bool isEditBracketOrder = false;
    std::string LiquidateOrderNumber;
    bool isTakeProfitEnabled = false;
    bool isStopLossEnabled = false;
    platform::Decimal EquityHitPrice; // the price the server froze the position at in equity hit
    platform::Decimal PreviousOrderQty;
    std::optional<platform::Decimal> CurrencyRate; // none when the server sent none
    platform::Decimal OtherCharges;
    std::int32_t deviation = 0;
    platform::Decimal accountCurrencyRate;
    bool isCancelOrder = false;
    // A request's price taken from the live quote, written as the quotes are (two decimals at least).
    bool priceFromQuote = false;
    bool validationResult = false;
    // The server's instrument id of a record whose instrument the snapshot does not hold (its
    // ItemCode is then empty); 0 otherwise. The record is kept and names the instrument by this.
    std::int32_t UnknownInstrumentId = 0;

    // Wire values of the ticket's choices; codes out of range (negative ones included) give 926.
    static std::int32_t GetOrderTypeTagValue(std::int32_t code);    // 1..3 -> 29..31
    static std::int32_t GetDeliveryModeTagValue(std::int32_t code); // 1..3 -> 51..53
    static std::int32_t GetTimeInForceTagValue(std::int32_t code);  // 1 -> 47, 2 -> 48, 5 -> 54
    static std::int32_t GetTradingModeTagValue(std::int32_t code);  // 0 -> 45, else 46

    // Side 0 "B", 1 "S"; expanded: the texts of keys "0009" / "0010" in `language` (the short
    // form when the language's table is missing). Any other side: "".
    static std::string GetTradingModeString(std::int32_t side, bool expandedText, std::int64_t language);
    // 21..28 but 25: the status text; nullopt otherwise.
    static std::optional<std::string_view> GetOrderStatus(std::int32_t status);
    // Quote orders are not offered.
    bool isQuoteOrder() const { return false; }

    // Margin of a quantity of one under the group's settings for the instrument; nullopt without
    // settings. Worked in decimals made from the doubles' shortest texts; a division by a rate
    // that is not above 0 is skipped, and a NaN result (a value out of the decimal range) gives
    // nullopt.
    std::optional<platform::Decimal> GetMarginForSingleLot(const GroupInstruments* settings,
                                                           const ItemDetails& item) const;
};

// A request to the order service, typed as the ticket and the dialogs give it. Its prices become text
// once, at the instrument's decimals, when the order is built.
struct OrderInfo {
    Side side = Side::Buy;
    OrderKind kind{}; // none of the three: the order takes no price
    Delivery delivery{};
    TimeInForce timeInForce{};
    std::int32_t editOrderReqType = 0;
    std::int32_t accountNo = 0;
    bool TakeProfitEnabled = false;
    bool StopLossEnabled = false;
    std::string itemCode;
    // NaN when the quantity given does not read; the multi-account order carries none.
    std::optional<platform::Decimal> quantity;
    platform::Decimal previousQuantity;
    std::optional<platform::Decimal> price;
    std::optional<platform::Decimal> limitPrice;
    std::optional<platform::Decimal> stopPrice;
    std::string orderNo;
    bool isCloseNew = false;
    bool isEWO = false;
    bool isEBO = false;
    std::string orderDetails;
    std::int32_t deviation = 0;
    std::string openPositionID;
    std::string pendingOrderID;
    bool isCancelOrder = false;
    // A request's price taken from the live quote, written as the quotes are (two decimals at least).
    bool priceFromQuote = false;
    std::optional<std::uint32_t> statusColor; // 0xRRGGBBAA
};

// An opposite position of the held one's account, instrument and delivery that the offset may
// close it against, and what is taken from it.
struct OffsetPosition {
    std::string accountNo;
    std::string itemCode;
    std::string positionId;
    std::optional<platform::Decimal> closePrice; // its open price; none without one
    std::int32_t tradingMode = 0;                // 0 buy, 1 sell
    platform::Decimal profitLoss;                // what the quantity taken fixes
    platform::Decimal totalQty;                  // its remaining quantity
    platform::Decimal QtyAvailable;              // what is left of it after the quantity taken
    // The quantity taken from it; none when what was given is not a number.
    std::optional<platform::Decimal> offsetQty = platform::Decimal();
};

struct MultiTrade {
    std::shared_ptr<const AccountDetails> accountDet;
    platform::Decimal quantity;
};

} // namespace tc
