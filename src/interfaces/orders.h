#pragma once
// The order side of a client: the order ticket and the dialogs' requests (place, check, close, edit,
// cancel, offset, close all), and what the server made of them. Quantities and prices are decimals;
// the core writes the wire's texts and codes.
#include "interfaces/commands.h"
#include "interfaces/handler.h"
#include "model/records/order.h"
#include "model/records/order_choices.h"
#include "platform/decimal.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace interfaces {

using tc::Order;
using Decimal = tc::platform::Decimal;

using tc::Delivery;
using tc::OrderKind;
using tc::Side;
using tc::TimeInForce;

// What the order ticket asks for. `price` is the limit or stop price (not read for a market order,
// which takes the live quote); a take profit or stop loss given is enabled. A deviation is the
// market order's allowed distance from the quoted price in points; none allows any.
struct OrderTicket {
    std::string instrument; // the instrument's code
    std::int32_t account = 0;
    Side side = Side::Buy;
    OrderKind kind = OrderKind::Market;
    Delivery delivery = Delivery::Regular;
    TimeInForce timeInForce = TimeInForce::GoodTillCancelled;
    Decimal quantity;
    std::optional<Decimal> price;
    std::optional<Decimal> takeProfit;
    std::optional<Decimal> stopLoss;
    std::optional<std::int32_t> deviation;
};

// The nearest level the order rules allow for a price of a ticket, written at the instrument's
// decimals, and the side of it a price must keep. None (an empty price) for a market order's entry,
// or when the instrument or the account's settings for it are unknown.
struct PriceLimit {
    std::string price;
    bool atMost = false; // a price must be at or below it; else at or above
    // "<= 1.23450" or ">= 1.23450"; empty when there is none.
    std::string signedText() const {
        if (price.empty())
            return {};
        return (atMost ? "<= " : ">= ") + price;
    }
};

// One account of a multi-account order and the quantity it takes.
struct AccountQuantity {
    std::int32_t accountId = 0;
    Decimal quantity;
};

// One opposite position an offset closes against, and how much of it.
struct OffsetLeg {
    std::string positionId;
    Decimal quantity;
};

// Close-all requests: every position the server holds in the accounts and instruments listed when it
// takes the request (one opened since the list was read too), or the positions named.
enum class CloseAllScope : std::int32_t { AllListed = 1, Selected = 3 };

// What an order request came to: handed to the server, or refused here with the reason. The key tells
// one refusal from another (a language key, e.g. "1007" when the stream is down); the text is the
// reason as shown, with any detail. A request sent has a number of its own (`request`, 0 for a check):
// its answer names it (requestAnswered).
struct OrderResult {
    enum class Status { Sent, Refused };
    Status status = Status::Refused;
    std::string refusalKey;
    std::string refusalText;
    std::uint64_t request = 0;
    bool sent() const { return status == Status::Sent; }
    static OrderResult wasSent(std::uint64_t request = 0) { return {Status::Sent, {}, {}, request}; }
    static OrderResult refused(std::string key, std::string text) {
        return {Status::Refused, std::move(key), std::move(text), 0};
    }
};

// The server's answer to a request sent (OrderResult::request): done, or rejected with its code and
// the reason as shown. A report naming a request number answers the request of that number (of a
// close and a close-all sent in one pass, the close); one naming none, the request it fits. A
// position's update that fits a close, a close-all or an offset alike answers none until the others
// have their own reports (a refusal, the offset's settlement), and then the one left. A close-all of
// every listed position says nothing of one closed before its turn: once nothing more comes while the
// server answers for a few seconds (a silence does not count), the other is told that update and the
// close-all is refused the position as no longer held. A
// request the server never answered gets none: when the stream is lost the loss alert names it.
// Requests the wire cannot tell apart (two offsets of one account and instrument, two close-alls of
// one position, two like requests of one number) are told once each has its report: what the reports
// said where they agree, else that the outcome is not known (`known` false), with what is known.
// `late`: its window had given up on it (giveUpRequest), and the core tells the trader with a banner
// (of a close-all, once every position has had its answer: how many closed and each refused position
// with its reason).
struct RequestAnswer {
    std::uint64_t request = 0;
    bool accepted = true;
    // Refused for certain for one of several reasons, the reports not saying which: each code, joined
    // by "/", and a reason naming each.
    std::string code;
    std::string reason;
    bool late = false;
    // Of a close-all: the position this answer is of (each position's report answers it apart);
    // empty when the answer is of the request as a whole (and for every other kind of request).
    std::string position;
    // Of a multi-account order: the account whose part this answer is of (each account's report
    // answers it apart); empty when the answer is of the request as a whole.
    std::string account;
    // False: the server's reports fitted this request and like ones it cannot be told from, and said
    // different things of them. Neither done nor refused (`accepted` is false and means nothing):
    // `whatIsKnown` says what the server did to them all, in words the trader reads.
    bool known = true;
    std::string whatIsKnown;
    // Not known, of a close-all's position or a close of a whole position: closed all the same, the
    // server closed it for this request or a like one, and which is what is not known.
    bool closedByOne = false;
    bool notKnown() const { return !known; }
};

// A report that concerns the close-all window: a position settled (the settlement record), or an
// order the server rejected (the order number it names and the reason as shown).
struct BulkCloseReport {
    enum class Kind { Settled, Rejected };
    Kind kind = Kind::Settled;
    std::shared_ptr<const Order> settlement;
    std::string orderNumber;
    std::string reason;
};

// A request still waiting for the server's answer that acts on open positions (a close, a
// close-all's positions still without their answer, a take profit or stop loss edit, an offset): its
// number, what the trader reads of it, those positions and its kind.
struct AwaitedPositions {
    std::uint64_t request = 0;
    std::string description;
    std::vector<std::string> positions;
    // What it may do to them first: a close closes a position or part of it, a close-all closes it,
    // an offset changes its quantity or closes it, and a take profit or stop loss edit may close it
    // at its new level. A later request on them is then refused or carried out besides.
    enum class Kind : std::uint8_t { Close, CloseAll, PositionEdit, Offset };
    Kind kind = Kind::Close;
};

class Orders {
public:
    virtual ~Orders() = default;

    // The ticket's check: validates without sending (Sent here means "would be sent").
    virtual OrderResult checkOrder(const OrderTicket& ticket) = 0;
    virtual OrderResult placeOrder(const OrderTicket& ticket) = 0;
    // The limits of the ticket's prices for its account, instrument, side and kind, from the live
    // quote. The entry price's of a limit or stop order; the take profit's and stop loss's measured
    // from the ticket's price, or for a market order from the bid when buying and the ask when
    // selling.
    virtual PriceLimit entryPriceLimit(const OrderTicket& ticket) const = 0;
    virtual PriceLimit takeProfitLimit(const OrderTicket& ticket) const = 0;
    virtual PriceLimit stopLossLimit(const OrderTicket& ticket) const = 0;
    // One order for several accounts, each with its own quantity (the ticket's account and quantity
    // are not read).
    virtual OrderResult placeMultiAccountOrder(const OrderTicket& ticket,
                                               std::span<const AccountQuantity> accounts) = 0;
    virtual OrderResult closePosition(std::string_view positionId, const Decimal& quantity,
                                      std::optional<std::int32_t> deviation = std::nullopt) = 0;
    // The position's brackets as they are to be: none removes one.
    virtual OrderResult editPositionBrackets(std::string_view positionId, std::optional<Decimal> takeProfit,
                                             std::optional<Decimal> stopLoss) = 0;
    virtual OrderResult editPendingOrder(std::string_view pendingOrderId, const Decimal& quantity,
                                         const Decimal& price, std::optional<Decimal> takeProfit,
                                         std::optional<Decimal> stopLoss) = 0;
    virtual OrderResult cancelPendingOrder(std::string_view pendingOrderId) = 0;
    // The modify sheet's checks of the two edits: the request the edit would make, validated by the
    // order rules without sending (Sent here means "would be sent").
    virtual OrderResult checkPositionBrackets(std::string_view positionId, std::optional<Decimal> takeProfit,
                                              std::optional<Decimal> stopLoss) = 0;
    virtual OrderResult checkPendingOrderEdit(std::string_view pendingOrderId, const Decimal& quantity,
                                              const Decimal& price, std::optional<Decimal> takeProfit,
                                              std::optional<Decimal> stopLoss) = 0;
    // The close-all window's check of the positions it would close in one request: each the close of
    // its whole remainder at market, validated without sending (Sent here means "would be sent"), the
    // margin judged on each account once the whole set has closed. One result per id, in order.
    virtual std::vector<OrderResult> checkClosePositions(std::span<const std::string> positionIds) = 0;
    virtual OrderResult closeAllPositions(std::span<const std::string> positionIds, CloseAllScope scope) = 0;
    // Most positions one close-all request may carry: the server's limit where the login's server
    // list names it (CloseAllPositionLimit), else the client's own cap. A request past it is refused.
    virtual std::size_t closeAllLimit() const = 0;
    // The requests waiting on open positions, oldest first (given up or not: the server may still
    // carry them out).
    virtual std::vector<AwaitedPositions> requestsOnPositions() const = 0;
    // Closes the position against opposite positions of its account and instrument, each leg taking
    // its quantity; the offset quantity is the legs' sum. The answer comes as requestAnswered.
    virtual OrderResult offsetPosition(std::string_view positionId, std::span<const OffsetLeg> legs) = 0;

    using BulkCloseFn = std::function<void(const BulkCloseReport& report)>;
    using RequestAnsweredFn = std::function<void(const RequestAnswer& answer)>;

    // The window that sent the request (its OrderResult::request) waits for its answer no more. The
    // request keeps its place among those waiting and is answered as if its window still waited (a
    // report naming no number goes to the request it fits, given up or not); that answer, should it
    // come, is told as late.
    virtual void giveUpRequest(std::uint64_t request) = 0;

    virtual std::unique_ptr<Handler> handleBulkCloseReport(BulkCloseFn fn) = 0;
    // The server answered a request sent (a close, an edit, a cancel, an order, an offset ...).
    virtual std::unique_ptr<Handler> handleRequestAnswered(RequestAnsweredFn fn) = 0;
};

} // namespace interfaces
