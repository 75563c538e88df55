#pragma once
// The order manager's placement side: it turns a window's request into an order priced from the live
// instrument, has it validated and composes the matching order message (new order, close, bracket
// change, edit, cancel, offset, multi-account order, close-all), each in its own MessageBase, and
// hands it to the session's sender. Also the confirmation shown when the server has stored a limit
// or stop order the user placed. Main thread only.
//
// Every request answers with what it came to (OrderAnswer): sent, or refused with the reason; while
// the stream is down it is refused, never reported as sent. The dialogs'
// entry points take position and pending-order ids: a row index of a live list can name another
// record by the time the user presses the button.
#include "interfaces/orders.h"
#include "model/records/order.h"
#include "orders/order_answer.h"
#include "orders/order_manager.h"
#include "orders/request_layout.h"
#include "orders/requests_in_flight.h"
#include "platform/date_format.h"
#include "platform/decimal.h"
#include "wire/message_base.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace interfaces {
class ApplicationInterface;
}

namespace tc {

class OrderHost;

class OrderRequests {
public:
    // Language keys of the texts posted by the requests themselves.
    static constexpr std::string_view kNotConnectedKey = "1007";     // the stream is down
    static constexpr std::string_view kServerSilentKey = "93101";    // the server answers nothing
    static constexpr std::string_view kTooManyWaitingKey = "97850";  // as many waiting as are kept
    static constexpr std::string_view kBadQuantityKey = "1003";      // quantity 0, negative or no number
    static constexpr std::string_view kAboveRemainingKey = "1030";   // close of more than is held
    static constexpr std::string_view kNotSendableKey = "20260";     // a value the writer refuses
    static constexpr std::string_view kUnknownRecordKey = "20261";   // the position or order is gone
    static constexpr std::string_view kIncompleteKey = "20262";      // nothing to send, or past the caps
    static constexpr std::string_view kNoMarginKey = "1067";         // the account cannot carry it
    static constexpr std::string_view kZeroOffsetKey = "20241";      // an offset quantity of 0
    static constexpr std::string_view kOffsetAboveHeldKey = "20242"; // offset above the position
    static constexpr std::string_view kLegAboveHeldKey = "20243";    // a leg above what it holds
    static constexpr std::string_view kNothingToChangeKey = "94160"; // an edit to what is held already
    static constexpr std::string_view kNoMarginToCloseKey = "95408"; // the close would raise the margin
    // Texts of the requests waiting for their answers (NewOrderText and the others).
    static constexpr std::string_view kNewMarketOrderText = "95400";
    static constexpr std::string_view kNewLimitOrderText = "95401";
    static constexpr std::string_view kNewStopOrderText = "95402";
    static constexpr std::string_view kMultiMarketOrderText = "95403";
    static constexpr std::string_view kMultiLimitOrderText = "95404";
    static constexpr std::string_view kMultiStopOrderText = "95405";
    static constexpr std::string_view kCloseAllText = "95406";
    static constexpr std::string_view kCloseAllOfOneText = "97952";
    static constexpr std::string_view kMorePositionsText = "95407";
    static constexpr std::string_view kCloseText = "95409";
    static constexpr std::string_view kAccountQuantityText = "95410";
    static constexpr std::string_view kCloseAllLeftText = "95782";
    static constexpr std::string_view kOffsetText = "95783";
    static constexpr std::string_view kBracketEditText = "95640";
    static constexpr std::string_view kOrderEditText = "95641";
    static constexpr std::string_view kCancelText = "95642";
    static constexpr std::string_view kNoBracketText = "95643";
    // The positions a close-all's text names one by one.
    static constexpr std::size_t kNamedPositions = 10;
    static constexpr std::string_view kAbortModal = "AbortModal";
    static constexpr std::string_view kCancelOrderSound = "cancelOrder";
    // Past this the local record of a new order is not kept (the execution reports still bring it).
    static constexpr std::size_t kMaxPendingOrders = 100'000;
    // Longest text taken from a window for the offset details and the multi-account records.
    static constexpr std::size_t kMaxRecordText = 64 * 1024;
    // Most positions in one close-all request.
    static constexpr std::size_t kMaxCloseAllPositions = 5000;

    // The messages go to the host's sender; the live records are the host's model's, read as the
    // manager's rules read them.
    OrderRequests(OrderHost& host, OrderManager& manager);
    OrderRequests(const OrderRequests&) = delete;
    OrderRequests& operator=(const OrderRequests&) = delete;

    // Builds the order of a request priced from the live instrument and validates it: passed with the
    // order, or the refusal.
    OrderAnswer GenerateOrder(const OrderInfo& info,
                              OrderManager::MarginCheck margin = OrderManager::MarginCheck::OfTheOrder) const;
    // The ticket's pre-check: GenerateOrder without sending.
    OrderAnswer ValidationsBeforeOrderPlacing(const OrderInfo& info) const;

    // Every request below answers passed when its message was handed to the sender, else the refusal.

    // New single-account order (type 60, sub-type 0); joins the pending list at once.
    OrderAnswer PlaceOrder(const OrderInfo& info);
    // Close all or part of a position (type 60, sub-type 1).
    OrderAnswer PlacePartialOrder(const OrderInfo& info);
    // Take-profit and stop-loss change of a position (type 72, sub-type 0).
    OrderAnswer PlaceEditBracketOrder(const OrderInfo& info);
    // Edit (editOrderReqType 2) or cancel (1) of a pending order (type 72).
    OrderAnswer PlaceEditWorkingOrder(const OrderInfo& info);
    // Close of a position against opposite positions (type 1052); the details as the offset window
    // composes them.
    OrderAnswer PlaceOffsetOrder(std::string_view offsetDetails, std::string_view itemCode,
                                 std::string_view accountNo);
    // One order for several accounts (type 77); info.orderDetails holds the per-account records.
    OrderAnswer CreateNewBulkOrderMessage(const OrderInfo& info);
    // The order of a multi-account request: priced, never validated, never null.
    std::shared_ptr<Order> GenerateBulkOrderDetails(const OrderInfo& info) const;
    // Close of many positions in one request (type 82); request type 1 all listed, 3 selected.
    OrderAnswer createBulkClosePositionInfo(std::span<const std::shared_ptr<const Order>> positions,
                                            std::int32_t requestType);

    // The request of each edit, built from its record as it stands; nullopt when the record is not held.
    std::optional<OrderInfo> BracketEdit(std::string_view positionId,
                                         const std::optional<platform::Decimal>& takeProfit,
                                         const std::optional<platform::Decimal>& stopLoss);
    std::optional<OrderInfo> PendingOrderEdit(std::string_view pendingOrderId,
                                              const platform::Decimal& quantity,
                                              const platform::Decimal& price,
                                              const std::optional<platform::Decimal>& takeProfit,
                                              const std::optional<platform::Decimal>& stopLoss);

    // A number handed in that is not one ("20260" with the detail in brackets).
    OrderAnswer NotSendable(std::string_view detail) const;

    // The dialogs' entry points, by record id. A number that is not one is refused before anything
    // else (told only to the caller); a bracket given is enabled, none removes it. No deviation allows
    // any.
    OrderAnswer ClosePosition(std::string_view positionId, const platform::Decimal& quantity,
                              std::optional<std::int32_t> deviation);
    OrderAnswer EditPositionBrackets(std::string_view positionId,
                                     const std::optional<platform::Decimal>& takeProfit,
                                     const std::optional<platform::Decimal>& stopLoss);
    OrderAnswer EditPendingOrder(std::string_view pendingOrderId, const platform::Decimal& quantity,
                                 const platform::Decimal& price,
                                 const std::optional<platform::Decimal>& takeProfit,
                                 const std::optional<platform::Decimal>& stopLoss);
    OrderAnswer CancelPendingOrder(std::string_view pendingOrderId);
    // The two edits validated as they would be sent, nothing sent.
    OrderAnswer CheckPositionBrackets(std::string_view positionId,
                                      const std::optional<platform::Decimal>& takeProfit,
                                      const std::optional<platform::Decimal>& stopLoss);
    OrderAnswer CheckPendingOrderEdit(std::string_view pendingOrderId, const platform::Decimal& quantity,
                                      const platform::Decimal& price,
                                      const std::optional<platform::Decimal>& takeProfit,
                                      const std::optional<platform::Decimal>& stopLoss);
    // The close-all window's request for one position, and the check of the positions it would close
    // in one request: each by the whole chain but the margin, which is judged on the account once the
    // set has closed (OrderManager::closesRefusedForMargin). One answer per id, in order.
    static OrderInfo CloseAllRequestFor(const Order& position);
    std::vector<OrderAnswer> ValidatePositionsForCloseAll(std::span<const std::string> positionIds) const;
    // Unknown ids are left out (logged); the request goes even when none is left.
    OrderAnswer CloseAllPositions(std::span<const std::string> positionIds, interfaces::CloseAllScope scope);

    // One opposite position of an offset and the quantity taken from it.
    using OffsetLeg = interfaces::OffsetLeg;
    // The offset of a held position against opposite positions of its account, instrument and
    // delivery: each leg is checked (held, opposite, a quantity above 0 and within what it holds, the
    // legs' sum within the position), the details text composed and PlaceOffsetOrder sent with the
    // position's instrument and account.
    OrderAnswer offsetPosition(std::string_view positionId, std::span<const OffsetLeg> legs);
    // The details text (tag 583): the position, 0x05, the offset quantity, 0x06, 0x07; each leg's
    // position, 0x05, its quantity, 0x06; then 0x07. Quantities in plain decimal text.
    static std::string OffsetDetails(std::string_view positionId, const platform::Decimal& offsetQuantity,
                                     std::span<const OffsetLeg> legs);

    // The record texts of a multi-account order: account 0x05 quantity ("%f") 0x05 request id 0x06.
    std::string MultiAccountDetails(std::span<const interfaces::AccountQuantity> accounts) const;

    // The step after a new (mode 0) or close (mode 1) request was handed over.
    void ShowNewOrderMessages(const std::shared_ptr<Order>& order, std::int32_t mode,
                              std::size_t confirmations = 1);
    // The step after an edit request: 0 bracket, 1 cancel, 2 edit.
    void ShowEditOrderMessages(const std::shared_ptr<Order>& order, std::int32_t mode);
    // Confirms a stored pending limit or stop order, when one is awaited; the order lists call it as
    // the server's report files the order.
    void ShowOrderConfirmation(const Order& order);

    // The requests handed to the server and not answered yet; reports and offset answers answer them.
    RequestsInFlight& inFlight() { return inFlight_; }
    // What the trader reads of a request that had no answer when the line was lost: of a close-all
    // some of whose positions were answered, those still without one; of an order for several
    // accounts some of which were answered, the others.
    std::string UnansweredText(RequestsInFlight::Request& request) const;
    // The server's time ("HH:mm:ss") when the request of that number was sent; empty before the
    // server told its time, or once the request is long answered.
    std::string SentAt(std::uint64_t number) const;
    // The position a close of that number closes whole (its quantity all that was open when sent);
    // empty for any other request. Like closes of a whole position closed it whichever was carried out.
    std::string WholeCloseOf(std::uint64_t number) const;
    // Positions as the request texts name them: "#1, #2", the first ten, then how many more.
    std::string PositionList(std::span<const std::string> positionIds) const;

    // Stored limit and stop orders still awaiting their confirmation.
    std::size_t AwaitingConfirmations() const noexcept { return awaitingConfirmations_; }
    // The confirmation text of a stored pending order (message, title).
    std::pair<std::string, std::string> ConfirmationText(const Order& order) const;

private:
    // Refusal of a request: the text of `key` with a detail.
    OrderAnswer Refuse(std::string_view key, std::string_view detail = {}) const;
    std::int32_t DecimalsOf(std::string_view itemCode) const;
    OrderAnswer StreamUp() const;
    // Composes the message with its header and hands it over; refused when nothing was sent.
    OrderAnswer Send(MessageBase& message);
    // The session's names and the order's instrument decimals, as every request writes them.
    requests::WriteContext ContextFor(const Order& order) const;
    // The road of every single-account order request once its own checks have passed: the order built
    // and validated, written through the request's layout, the message handed over. Passed with the
    // order sent, or the refusal.
    template <class Layout>
    OrderAnswer SendOrder(const OrderInfo& info, std::int64_t type, int subtype, const Layout& layout);
    // The market request on a stored record (its instrument, account, delivery, time in force and
    // remaining quantity, on its own side or the opposite one); nullopt when the record is gone or
    // its account does not read.
    static std::optional<OrderInfo> RequestOn(const std::shared_ptr<Order>& record, bool oppositeSide);

    // Notes a request handed over, with its text (of `key` with `args`). Gives back the request's
    // number in the waiting list.
    std::uint64_t NoteSent(RequestsInFlight::Request request, std::string_view key,
                           std::vector<std::string> args);
    std::uint64_t NoteSent(RequestsInFlight::Request request, std::string description);
    // What the answer of a new order names: its request number, instrument, side and quantity.
    static RequestsInFlight::Request AwaitedOrder(const Order& order);
    // What an edit of `order` to `price` asks, as the server's report of it carried out names it.
    RequestsInFlight::Request::EditedTo AskedOfEdit(const Order& order,
                                                    const std::optional<platform::Decimal>& price) const;
    // A request on positions or a pending order, of that request number.
    static RequestsInFlight::Request AwaitedOn(RequestsInFlight::Kind kind, std::vector<std::string> targets,
                                               std::optional<std::int64_t> requestNumber);
    // The side as the ticket names it.
    std::string SideText(std::int32_t tradingMode) const;
    // What the trader reads of a request waiting for its answer, so that it can be found after a lost
    // line: a new order's kind, side, quantity, instrument, price (limit and stop), account and number;
    // a close's position, instrument and account; every account and quantity of a multi-account
    // order; the positions of a close-all; an edit's record (id, side, instrument, account) and the
    // figures sent; a cancel's order as it stands.
    std::string NewOrderText(const Order& order, OrderKind kind) const;
    std::string CloseText(const platform::Decimal& quantity, const std::string& positionId) const;
    // Of the records' accounts, those in `only` when given.
    std::string MultiAccountText(const Order& order, std::int32_t tradingMode, OrderKind kind,
                                 std::string_view records, std::int64_t requestNumber,
                                 const std::vector<std::string>* only = nullptr) const;
    std::string CloseAllText(std::span<const std::string> positionIds) const;
    // An offset's details ("first, quantity; legs") named as a close is, with the positions against it.
    std::string OffsetText(std::string_view offsetDetails, std::string_view itemCode,
                           std::string_view accountNo) const;
    std::string BracketEditText(const OrderInfo& info) const;
    std::string WorkingEditText(const OrderInfo& info) const;
    // A take profit or stop loss sent: its price, or the word for none.
    std::string BracketText(bool enabled, const std::optional<platform::Decimal>& price,
                            std::string_view itemCode) const;
    // The instrument's price as the ticket shows it; "" for none.
    std::string PriceText(const std::optional<platform::Decimal>& price, std::string_view itemCode) const;

    // The live records by id (OpenPositionId, PendingOrderId); null when none is held.
    std::shared_ptr<Order> OpenPositionForId(std::string_view positionId) const;
    std::shared_ptr<Order> PendingOrderForId(std::string_view pendingOrderId) const;
    // The local record of a new single-account order, until the execution reports replace it.
    void AddPendingOrder(std::shared_ptr<Order> order);

    OrderHost& host_;
    OrderManager& manager_;
    const SessionModelLookup& lookup_;
    RequestsInFlight inFlight_;
    std::size_t awaitingConfirmations_ = 0;
    std::unordered_set<std::string> confirmedIds_;
    // When each request was sent, by its number: like requests the wire cannot tell apart are told
    // apart by it. Those no longer waiting go once the map outgrows the waiting list.
    std::unordered_map<std::uint64_t, std::string> sentAt_;
    // The closes of a whole position, by number, kept as long as sentAt_.
    std::unordered_map<std::uint64_t, std::string> wholeCloses_;
};

} // namespace tc
