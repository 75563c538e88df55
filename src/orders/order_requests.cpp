#include "orders/order_requests.h"

#include "interfaces/application_interface.h"
#include "model/records/item_details.h"
#include "model/session_model.h"
#include "model/text/formatter.h"
#include "model/text/journal_data.h"
#include "model/text/positional_text.h"
#include "orders/order_numbers.h"
#include "orders/request_layout.h"
#include "platform/decimal_text.h"
#include "platform/log.h"
#include "platform/strict_integer.h"
#include "session/business/order_host.h"
#include "session/business/session_requests.h"
#include "wire/separators.h"
#include "wire/wire_date.h"
#include "wire/wire_names.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace tc {

namespace msg = wire::msg;
namespace tag = wire::tag;

using platform::Decimal;

namespace {

const ItemDetails kNoItem;

// A count grouped as the program's other numbers are ("3,502").
std::string countText(std::size_t count) {
    const std::string digits = std::to_string(count);
    return Formatter::formatDecimalWithString(digits).value_or(digits);
}

// A quantity given that reads and is above 0.
bool isPositive(const std::optional<Decimal>& quantity) {
    return quantity && !quantity->isNaN() && *quantity > Decimal();
}

bool isPositive(const Decimal& value) {
    return value > Decimal(); // NaN is below every number
}

// A bracket given that the entry could not read as a number.
bool unreadBracket(const std::optional<Decimal>& bracket) {
    return bracket && bracket->isNaN();
}

bool unreadPendingEdit(const Decimal& quantity, const Decimal& price,
                       const std::optional<Decimal>& takeProfit, const std::optional<Decimal>& stopLoss) {
    return quantity.isNaN() || price.isNaN() || unreadBracket(takeProfit) || unreadBracket(stopLoss);
}

// A bracket asked for (none: taken off) against the one held (none, or 0: none held).
bool sameBracket(const std::optional<Decimal>& wanted, const std::optional<Decimal>& held) {
    const bool holds = isPositive(held);
    return wanted ? holds && *wanted == *held : !holds;
}

// The quote at the instrument's decimals, rounded as its double prints: the text the wire has
// always carried, and the price a market order takes. NaN when that text is not a number.
Decimal quoteAt(const Decimal& value, std::int32_t decimals) {
    return strictDecimal(Formatter::formatDecimal(value, decimals)).value_or(Decimal::notANumber());
}

std::optional<std::int32_t> accountNumberOf(const Order& record) {
    return platform::strictInteger<std::int32_t>(record.AccountNumber);
}

// Record texts from the server go between our own separators; one holding a control byte would
// shift every field after it.
bool holdsControlByte(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return c >= wire::kFrameStart && c <= wire::kSection; });
}

// "1.000000" as the trader typed it: "1"; "0.500000": "0.5".
std::string_view withoutTrailingZeros(std::string_view quantity) {
    if (quantity.find('.') == std::string_view::npos)
        return quantity;
    while (quantity.ends_with('0'))
        quantity.remove_suffix(1);
    if (quantity.ends_with('.'))
        quantity.remove_suffix(1);
    return quantity;
}

std::size_t recordCount(std::string_view details) {
    return static_cast<std::size_t>(std::count(details.begin(), details.end(), wire::kRecord));
}

// The tags of the request's kinds and the instrument's prices as they stand now.
void fillFromRequest(Order& o, const OrderInfo& info, const ItemDetails& item, std::string_view serverTime) {
    o.orderType = codeOf(info.kind);
    o.orderTypeTag = Order::GetOrderTypeTagValue(codeOf(info.kind));
    o.deliveryModeTag = Order::GetDeliveryModeTagValue(codeOf(info.delivery));
    o.tradingModeTag = Order::GetTradingModeTagValue(codeOf(info.side));
    o.timeInForceTag = Order::GetTimeInForceTagValue(codeOf(info.timeInForce));
    o.deviation = info.deviation;
    o.Spread = Decimal();
    o.CurrentStatus = "0";
    o.Bid = quoteAt(item.Bid, item.DecimalPlaces);
    o.Ask = quoteAt(item.Ask, item.DecimalPlaces);
    o.Last = quoteAt(item.Last, item.DecimalPlaces);
    o.High = quoteAt(item.High, item.DecimalPlaces);
    o.Low = quoteAt(item.Low, item.DecimalPlaces);
    o.ItemTime = item.UpdateTime;
    o.TransactionDateTime = wallTimeFromWire(serverTime);
}

// ---- the request layouts: what each request writes, read by requests::writeRequest

using requests::WirePrice;
using requests::WriteContext;
namespace rq = requests;
using enum requests::WireForm;

// None for an order without a kind.
WirePrice orderPriceOf(const Order& o, const WriteContext&) {
    if (o.orderType < 1 || o.orderType > 3)
        return {};
    return {o.OrderPrice, o.priceFromQuote};
}

// A leg an edit leaves unticked goes as no price, which the wire writes as "0".
std::optional<Decimal> takeProfitIfTicked(const Order& o, const WriteContext&) {
    return o.isTakeProfitEnabled ? o.LimitPrice : std::nullopt;
}

std::optional<Decimal> stopLossIfTicked(const Order& o, const WriteContext&) {
    return o.isStopLossEnabled ? o.StopPrice : std::nullopt;
}

// A cancel is an edit to quantity 0.
Decimal workingQuantity(const Order& o, const WriteContext& c) {
    return c.cancel ? Decimal() : o.OrderQty;
}

constexpr auto kSessionNames = rq::recordLayout(rq::as<Text>(tag::kUserName, &WriteContext::userName),
                                                rq::as<Text>(tag::kReferenceId, &WriteContext::referenceId));

// Every order request: the order, its instrument's quote as it stood and the session's names. Its
// quantity and price are each request's own.
constexpr auto kOrderTags = rq::joined(
    kSessionNames,
    rq::recordLayout(rq::as<Text>(tag::kAccount, &Order::AccountNumber),
                     rq::as<Integer>(tag::kOrderRequestId, &Order::RequestId),
                     rq::as<Text>(tag::kInstrument, &Order::ItemCode),
                     rq::as<Integer>(tag::kOrderType, &Order::orderTypeTag),
                     rq::as<Integer>(tag::kDeliveryMode, &Order::deliveryModeTag),
                     rq::as<Quantity>(tag::kSpread, &Order::Spread),
                     rq::as<Integer>(tag::kTradingMode, &Order::tradingModeTag),
                     rq::as<Text>(tag::kOrderStatus, &Order::CurrentStatus),
                     rq::as<Code>(tag::kTimeInForce, &Order::timeInForceTag),
                     rq::as<Quote>(tag::kBid, &Order::Bid), rq::as<Quote>(tag::kAsk, &Order::Ask),
                     rq::as<Quote>(tag::kLast, &Order::Last), rq::as<Quote>(tag::kHigh, &Order::High),
                     rq::as<Quote>(tag::kLow, &Order::Low), rq::as<Time>(tag::kItemTime, &Order::ItemTime),
                     rq::as<Time>(tag::kTransactionTime, &Order::TransactionDateTime)));

// New and close orders: the order's own quantity and price.
constexpr auto kPlacedOrder =
    rq::joined(kOrderTags, rq::recordLayout(rq::as<Quantity>(tag::kQuantity, &Order::OrderQty),
                                            rq::as<Price>(tag::kPrice, &orderPriceOf)));

// Take-profit and stop-loss of a new order, and the deviation allowed from a market price.
constexpr auto kEntryBrackets = rq::recordLayout(rq::as<PriceAboveZero>(tag::kLimitPrice, &Order::LimitPrice),
                                                 rq::as<PriceAboveZero>(tag::kStopPrice, &Order::StopPrice),
                                                 rq::as<Integer>(tag::kDeviation, &Order::deviation));

// The new price of an edit and its legs.
constexpr auto kEditBrackets = rq::recordLayout(rq::as<Price>(tag::kPrice, &WriteContext::editPrice),
                                                rq::as<PriceOrZero>(tag::kLimitPrice, &takeProfitIfTicked),
                                                rq::as<PriceOrZero>(tag::kStopPrice, &stopLossIfTicked));

constexpr auto kNewOrderLayout = rq::joined(kPlacedOrder, kEntryBrackets);

constexpr auto kCloseOrderLayout =
    rq::joined(kPlacedOrder, rq::recordLayout(rq::as<Text>(tag::kOffsetOrder, &Order::LiquidateOrderNumber),
                                              rq::as<Integer>(tag::kDeviation, &Order::deviation)));

constexpr auto kBracketEditLayout =
    rq::joined(kOrderTags,
               rq::recordLayout(rq::as<Text>(tag::kEditKind, "EBO"),
                                rq::as<Text>(tag::kBracketPositionId, &Order::LiquidateOrderNumber),
                                rq::as<Quantity>(tag::kQuantity, &Order::OrderQty)),
               kEditBrackets);

constexpr auto kWorkingEditLayout =
    rq::joined(kOrderTags,
               rq::recordLayout(rq::as<Text>(tag::kEditKind, "EWO"),
                                rq::as<Text>(tag::kPendingOrderId, &Order::LiquidateOrderNumber),
                                rq::as<Quantity>(tag::kQuantity, &workingQuantity)),
               kEditBrackets);

// The order's own account, request number and quantity are written but left out by this message's
// tag list: the per-account records carry them.
constexpr auto kMultiAccountLayout =
    rq::joined(kPlacedOrder, kEntryBrackets,
               rq::recordLayout(rq::as<Text>(tag::kAccountRecords, &WriteContext::records)));

constexpr auto kOffsetLayout =
    rq::joined(kSessionNames, rq::recordLayout(rq::as<Text>(tag::kAccount, &Order::AccountNumber),
                                               rq::as<Text>(tag::kInstrument, &Order::ItemCode),
                                               rq::as<Text>(tag::kCloseRecords, &WriteContext::records),
                                               rq::as<Text>(tag::kTime, &WriteContext::time)));

// The offset's details: the held position with the quantity offset, then each leg with its own.
struct OffsetBody {
    std::span<const OrderRequests::OffsetLeg> held;
    std::span<const OrderRequests::OffsetLeg> legs;
};

constexpr auto kLegColumns = rq::recordLayout(rq::column<Text>(&OrderRequests::OffsetLeg::positionId),
                                              rq::column<Quantity>(&OrderRequests::OffsetLeg::quantity));

constexpr auto kOffsetDetails = rq::sections(tag::kCloseRecords, rq::list(&OffsetBody::held, kLegColumns),
                                             rq::list(&OffsetBody::legs, kLegColumns));

// One record per account: its number, its quantity ("%f", as the server has always been sent it)
// and the request id, the same for every account.
constexpr auto kAccountRecords =
    rq::list(tag::kAccountRecords, rq::itself,
             rq::recordLayout(rq::column<Integer>(&interfaces::AccountQuantity::accountId),
                              rq::column<SixDecimals>(&interfaces::AccountQuantity::quantity),
                              rq::column<Integer>(&WriteContext::requestId)));

// What a close-all request lists of its positions.
struct CloseAllBody {
    std::vector<std::string> accounts; // each once, as first listed
    std::int32_t requestType = 0;
    std::vector<std::int32_t> instruments;             // one per position
    std::vector<std::shared_ptr<const Order>> entries; // the positions, when only those are closed
    std::vector<const ItemDetails*> quotes;            // each instrument once, as first listed
};

std::string quoteTime(const ItemDetails* item, const WriteContext&) {
    return wireDateTime(item->UpdateTime);
}

constexpr auto kCloseAllBody = rq::sections(
    tag::kCloseRecords, rq::list(&CloseAllBody::accounts, rq::recordLayout(rq::column<Text>(rq::itself))),
    rq::column<Integer>(&CloseAllBody::requestType), rq::column<Text>("2"),
    rq::list(&CloseAllBody::instruments, rq::recordLayout(rq::column<Integer>(rq::itself))),
    // The second field of an entry is left empty.
    rq::list(&CloseAllBody::entries,
             rq::recordLayout(rq::column<Text>(&Order::OpenPositionId), rq::column<Text>(""),
                              rq::column<Quantity>(&Order::RemainingQty),
                              rq::column<Text>(&Order::AccountNumber))),
    rq::list(&CloseAllBody::quotes,
             rq::recordLayout(rq::column<Integer>(&ItemDetails::InstrumentId),
                              rq::column<SixDecimals>(&ItemDetails::Bid),
                              rq::column<SixDecimals>(&ItemDetails::Ask), rq::column<Text>(&quoteTime))),
    rq::column<Text>("0"), rq::column<Text>("0"), rq::column<Text>("0"), rq::column<Text>("0"),
    rq::column<Text>(""));

constexpr auto kCloseAllLayout = rq::joined(
    kSessionNames, rq::recordLayout(kCloseAllBody, rq::as<Integer>(tag::kRequestId, &WriteContext::requestId),
                                    rq::as<Text>(tag::kTime, &WriteContext::time)));

// The order's price (the request's for a limit or stop order, else the live one of its side) and its
// brackets; they become text at the wire.
void fillPrices(Order& o, const OrderInfo& info) {
    if (info.kind != OrderKind::Market && info.kind != OrderKind::Limit && info.kind != OrderKind::Stop)
        return;
    const bool entry = info.kind != OrderKind::Market;
    o.priceFromQuote = !(entry && info.price);
    const Decimal& quote = info.side == Side::Buy ? o.Ask : o.Bid;
    o.OrderPrice = !o.priceFromQuote ? info.price : quote.isNaN() ? std::nullopt : std::optional(quote);
    o.LimitPrice = info.limitPrice;
    o.StopPrice = info.stopPrice;
}

// A market request on a stored record: its instrument, account, delivery, time in force and remaining
// quantity, on the record's own side or the opposite one.
OrderInfo requestOnRecord(const Order& record, bool oppositeSide) {
    OrderInfo info;
    info.itemCode = record.ItemCode;
    const Side side = record.tradingMode == 0 ? Side::Buy : Side::Sell;
    info.side = oppositeSide ? opposite(side) : static_cast<Side>(record.tradingMode);
    info.accountNo = accountNumberOf(record).value_or(0);
    info.kind = OrderKind::Market;
    info.quantity = record.RemainingQty;
    info.delivery = static_cast<Delivery>(record.deliveryMode);
    info.timeInForce = static_cast<TimeInForce>(record.timeInForce);
    return info;
}

} // namespace

OrderRequests::OrderRequests(OrderHost& host, OrderManager& manager)
    : host_(host), manager_(manager), lookup_(manager.lookup()) {}

namespace {

std::shared_ptr<Order> findById(SessionModel::OrderList& list, std::string_view id,
                                std::string Order::*field) {
    if (id.empty())
        return nullptr;
    for (auto& o : list)
        if (o && (*o).*field == id)
            return o;
    return nullptr;
}

} // namespace

std::shared_ptr<Order> OrderRequests::OpenPositionForId(std::string_view positionId) const {
    return findById(host_.model().OpenOrderCollection, positionId, &Order::OpenPositionId);
}

std::shared_ptr<Order> OrderRequests::PendingOrderForId(std::string_view pendingOrderId) const {
    return findById(host_.model().PendingOrderCollection, pendingOrderId, &Order::PendingOrderId);
}

void OrderRequests::AddPendingOrder(std::shared_ptr<Order> order) {
    auto& list = host_.model().PendingOrderCollection;
    if (list.size() >= kMaxPendingOrders) {
        platform::Log::warning("pending order list full; local record of request {} not kept",
                               order->RequestId);
        return;
    }
    list.push_back(std::move(order));
}

OrderAnswer OrderRequests::Refuse(std::string_view key, std::string_view detail) const {
    return OrderAnswer::refused(std::string(key), withDetail(host_.textForKey(key), detail));
}

OrderAnswer OrderRequests::NotSendable(std::string_view detail) const {
    return OrderAnswer::refused(std::string(kNotSendableKey),
                                withDetail(host_.textForKey(kNotSendableKey), detail, true));
}

std::int32_t OrderRequests::DecimalsOf(std::string_view itemCode) const {
    const auto item = lookup_.instrumentForCode(itemCode);
    return item ? item->DecimalPlaces : 0;
}

OrderAnswer OrderRequests::StreamUp() const {
    if (!host_.isStreamConnected()) {
        platform::Log::warning("order request refused: the trading stream is down");
        return Refuse(kNotConnectedKey);
    }
    // A request into a line that answers nothing could never be accounted for.
    if (!host_.isServerAnswering()) {
        platform::Log::warning("order request refused: the server is not answering");
        return Refuse(kServerSilentKey);
    }
    // Past the bound a new request is refused here: one already waiting is never dropped untold.
    if (inFlight_.full()) {
        platform::Log::warning("order request refused: {} requests wait for their answers",
                               inFlight_.waiting());
        return OrderAnswer::refused(std::string(kTooManyWaitingKey),
                                    fillPositional(host_.textForKey(kTooManyWaitingKey),
                                                   {std::to_string(RequestsInFlight::kMaxRequests)}));
    }
    return OrderAnswer::ok();
}

std::uint64_t OrderRequests::NoteSent(RequestsInFlight::Request request, std::string_view key,
                                      std::vector<std::string> args) {
    const std::vector<std::string_view> views(args.begin(), args.end());
    return NoteSent(std::move(request), fillPositional(host_.textForKey(key), views));
}

RequestsInFlight::Request OrderRequests::AwaitedOrder(const Order& order) {
    RequestsInFlight::Request request;
    request.kind = RequestsInFlight::Kind::NewOrder;
    request.requestNumber = order.RequestId;
    request.account = order.AccountNumber;
    request.instrument = order.ItemCode;
    request.side = order.tradingMode;
    request.quantity = order.OrderQty;
    if (order.orderType >= 1 && order.orderType <= 3)
        request.orderType = order.orderType;
    return request;
}

RequestsInFlight::Request::EditedTo OrderRequests::AskedOfEdit(const Order& order,
                                                               const std::optional<Decimal>& price) const {
    // Read back from the text the request carries: the server's report names the prices as written.
    const std::int32_t decimals = DecimalsOf(order.ItemCode);
    const auto written = [](const std::string& text) {
        return text.empty() ? std::nullopt : Decimal::fromString(text);
    };
    RequestsInFlight::Request::EditedTo to;
    to.price = written(rq::priceOnWire(WirePrice{price, false}, decimals));
    if (order.isTakeProfitEnabled)
        to.takeProfit = written(rq::bracketOnWire(order.LimitPrice, decimals, ""));
    if (order.isStopLossEnabled)
        to.stopLoss = written(rq::bracketOnWire(order.StopPrice, decimals, ""));
    return to;
}

RequestsInFlight::Request OrderRequests::AwaitedOn(RequestsInFlight::Kind kind,
                                                   std::vector<std::string> targets,
                                                   std::optional<std::int64_t> requestNumber) {
    RequestsInFlight::Request request;
    request.kind = kind;
    request.targets = std::move(targets);
    request.requestNumber = requestNumber;
    return request;
}

std::string OrderRequests::SideText(std::int32_t tradingMode) const {
    return host_.textForKey(tradingMode == 0 ? "0009" : "0010");
}

std::uint64_t OrderRequests::NoteSent(RequestsInFlight::Request request, std::string description) {
    request.description = std::move(description);
    const std::uint64_t number = inFlight_.sent(std::move(request));
    // Kept past the answer: the answer's text reads it after the request left the list.
    if (sentAt_.size() > 2 * RequestsInFlight::kMaxRequests) {
        std::erase_if(sentAt_, [this](const auto& sent) { return !inFlight_.isWaiting(sent.first); });
        std::erase_if(wholeCloses_, [this](const auto& sent) { return !inFlight_.isWaiting(sent.first); });
    }
    sentAt_[number] =
        JournalData::reformatClockText(host_.serverTime(), Formatter::kWireDateTime, Formatter::kDisplayTime)
            .value_or("");
    return number;
}

std::string OrderRequests::SentAt(std::uint64_t number) const {
    const auto sent = sentAt_.find(number);
    return sent == sentAt_.end() ? std::string() : sent->second;
}

std::string OrderRequests::WholeCloseOf(std::uint64_t number) const {
    const auto close = wholeCloses_.find(number);
    return close == wholeCloses_.end() ? std::string() : close->second;
}

std::string OrderRequests::PriceText(const std::optional<Decimal>& price, std::string_view itemCode) const {
    if (!price || price->isNaN())
        return {};
    return Formatter::formatDecimal(*price, DecimalsOf(itemCode));
}

std::string OrderRequests::NewOrderText(const Order& o, OrderKind kind) const {
    const std::string side = SideText(o.tradingMode);
    const std::string quantity = o.OrderQty.toString();
    const std::string number = std::to_string(o.RequestId);
    if (kind == OrderKind::Limit || kind == OrderKind::Stop)
        return fillPositional(
            host_.textForKey(kind == OrderKind::Limit ? kNewLimitOrderText : kNewStopOrderText),
            {side, quantity, o.ItemCode, PriceText(o.OrderPrice, o.ItemCode), o.AccountNumber, number});
    return fillPositional(host_.textForKey(kNewMarketOrderText),
                          {side, quantity, o.ItemCode, o.AccountNumber, number});
}

std::string OrderRequests::CloseText(const Decimal& quantity, const std::string& positionId) const {
    const auto held = OpenPositionForId(positionId);
    if (!held)
        return fillPositional(host_.textForKey("93105"), {quantity.toString(), positionId});
    return fillPositional(host_.textForKey(kCloseText),
                          {quantity.toString(), positionId, held->ItemCode, held->AccountNumber});
}

std::string OrderRequests::MultiAccountText(const Order& o, std::int32_t tradingMode, OrderKind kind,
                                            std::string_view records, std::int64_t requestNumber,
                                            const std::vector<std::string>* only) const {
    // "account: quantity" of each record (account, quantity, request number).
    std::string accounts;
    std::size_t start = 0;
    while (start < records.size()) {
        std::size_t end = records.find(wire::kRecord, start);
        if (end == std::string_view::npos)
            end = records.size();
        const std::string_view record = records.substr(start, end - start);
        start = end + 1;
        const std::size_t column = record.find(wire::kColumn);
        if (record.empty() || column == std::string_view::npos)
            continue;
        if (only && std::find(only->begin(), only->end(), record.substr(0, column)) == only->end())
            continue;
        const std::string_view rest = record.substr(column + 1);
        const std::string_view quantityText = rest.substr(0, rest.find(wire::kColumn));
        if (!accounts.empty())
            accounts += ", ";
        accounts += fillPositional(host_.textForKey(kAccountQuantityText),
                                   {record.substr(0, column), withoutTrailingZeros(quantityText)});
    }
    const std::string side = SideText(tradingMode);
    const std::string number = std::to_string(requestNumber);
    if (kind == OrderKind::Limit || kind == OrderKind::Stop)
        return fillPositional(
            host_.textForKey(kind == OrderKind::Limit ? kMultiLimitOrderText : kMultiStopOrderText),
            {side, o.ItemCode, PriceText(o.OrderPrice, o.ItemCode), accounts, number});
    return fillPositional(host_.textForKey(kMultiMarketOrderText), {side, o.ItemCode, accounts, number});
}

std::string OrderRequests::PositionList(std::span<const std::string> positionIds) const {
    // A close of thousands names its first positions and counts the rest: an alert holds a few lines.
    std::string ids;
    const std::size_t named = std::min(positionIds.size(), kNamedPositions);
    for (std::size_t i = 0; i < named; ++i)
        ids += (i == 0 ? "#" : ", #") + positionIds[i];
    if (named < positionIds.size())
        ids = fillPositional(host_.textForKey(kMorePositionsText),
                             {ids, countText(positionIds.size() - named)});
    return ids;
}

std::string OrderRequests::CloseAllText(std::span<const std::string> positionIds) const {
    // A count of one has a text of its own: "1 positions" reads wrong, and some languages word the
    // one otherwise.
    if (positionIds.size() == 1)
        return fillPositional(host_.textForKey(kCloseAllOfOneText), {PositionList(positionIds)});
    return fillPositional(host_.textForKey(kCloseAllText),
                          {countText(positionIds.size()), PositionList(positionIds)});
}

std::string OrderRequests::UnansweredText(RequestsInFlight::Request& request) const {
    if (request.kind == RequestsInFlight::Kind::MultiAccount && !request.answeredAccounts.empty() &&
        request.describeAccounts)
        return request.describeAccounts(request.accounts);
    if (request.kind != RequestsInFlight::Kind::CloseAll || request.targets.size() >= request.positions)
        return std::move(request.description);
    return fillPositional(
        host_.textForKey(kCloseAllLeftText),
        {countText(request.positions), countText(request.targets.size()), PositionList(request.targets)});
}

std::string OrderRequests::OffsetText(std::string_view offsetDetails, std::string_view itemCode,
                                      std::string_view accountNo) const {
    // "first 0x05 quantity 0x06 0x07 (position 0x05 quantity 0x06)... 0x07"
    const auto column = [](std::string_view record, std::size_t n) {
        for (; n > 0; --n) {
            const std::size_t end = record.find(wire::kColumn);
            record = end == std::string_view::npos ? std::string_view() : record.substr(end + 1);
        }
        return record.substr(0, record.find(wire::kColumn));
    };
    const std::size_t firstEnd = offsetDetails.find(wire::kSection);
    const std::string_view first = offsetDetails.substr(0, offsetDetails.find_first_of("\x06\x07"));
    std::vector<std::string> against;
    if (firstEnd != std::string_view::npos) {
        std::string_view legs = offsetDetails.substr(firstEnd + 1);
        legs = legs.substr(0, legs.find(wire::kSection));
        while (!legs.empty() && against.size() <= kNamedPositions) {
            const std::size_t end = legs.find(wire::kRecord);
            if (const std::string_view id = column(legs.substr(0, end), 0); !id.empty())
                against.emplace_back(id);
            legs = end == std::string_view::npos ? std::string_view() : legs.substr(end + 1);
        }
    }
    const std::string_view quantity = column(first, 1);
    if (quantity.empty() || against.empty())
        return fillPositional(host_.textForKey("93109"), {column(first, 0)});
    return fillPositional(host_.textForKey(kOffsetText),
                          {quantity, column(first, 0), itemCode, accountNo, PositionList(against)});
}

std::string OrderRequests::BracketText(bool enabled, const std::optional<Decimal>& price,
                                       std::string_view itemCode) const {
    return enabled && isPositive(price) ? PriceText(price, itemCode) : host_.textForKey(kNoBracketText);
}

std::string OrderRequests::BracketEditText(const OrderInfo& info) const {
    const auto held = OpenPositionForId(info.orderNo);
    if (!held)
        return fillPositional(host_.textForKey("93106"), {info.orderNo});
    return fillPositional(host_.textForKey(kBracketEditText),
                          {info.orderNo, SideText(held->tradingMode), held->RemainingQty.toString(),
                           held->ItemCode, held->AccountNumber,
                           BracketText(info.TakeProfitEnabled, info.limitPrice, held->ItemCode),
                           BracketText(info.StopLossEnabled, info.stopPrice, held->ItemCode)});
}

std::string OrderRequests::WorkingEditText(const OrderInfo& info) const {
    const bool cancel = info.editOrderReqType == 1;
    const auto held = PendingOrderForId(info.orderNo);
    if (!held)
        return fillPositional(host_.textForKey(cancel ? "93108" : "93107"), {info.orderNo});
    const std::string side = SideText(held->tradingMode);
    if (cancel)
        return fillPositional(host_.textForKey(kCancelText),
                              {info.orderNo, side, held->RemainingQty.toString(), held->ItemCode,
                               PriceText(held->OrderPrice, held->ItemCode), held->AccountNumber});
    return fillPositional(host_.textForKey(kOrderEditText),
                          {info.orderNo, side, held->ItemCode, held->AccountNumber,
                           info.quantity ? info.quantity->toString() : std::string(),
                           PriceText(info.price, held->ItemCode),
                           BracketText(info.TakeProfitEnabled, info.limitPrice, held->ItemCode),
                           BracketText(info.StopLossEnabled, info.stopPrice, held->ItemCode)});
}

OrderAnswer OrderRequests::Send(MessageBase& message) {
    message.setSender(&host_.sender());
    const bool sent = message.BuildMessage();
    message.setSender(nullptr);
    return sent ? OrderAnswer::ok() : Refuse(kNotSendableKey);
}

// ---- orders

OrderAnswer OrderRequests::GenerateOrder(const OrderInfo& info, OrderManager::MarginCheck margin) const {
    auto order = std::make_shared<Order>();
    const auto found = lookup_.instrumentForCode(info.itemCode);
    const ItemDetails& item = found ? *found : kNoItem;
    Order& o = *order;

    o.AccountNumber = platform::decimalText(info.accountNo);
    o.RequestId = followingRequestId(host_.requestId());
    o.ItemCode = item.Code;
    fillFromRequest(o, info, item, host_.serverTime());
    o.deliveryMode = codeOf(info.delivery);
    o.tradingMode = codeOf(info.side);
    o.timeInForce = codeOf(info.timeInForce);
    o.OrderQty = info.quantity.value_or(Decimal::notANumber());
    o.PreviousOrderQty = info.previousQuantity;
    o.LiquidateOrderNumber = info.orderNo;
    fillPrices(o, info);
    if (info.kind == OrderKind::Market || info.kind == OrderKind::Limit || info.kind == OrderKind::Stop) {
        const bool entry = info.kind != OrderKind::Market;
        o.orderTypeInfo = entry ? 2 : 0;
        if (info.limitPrice || info.stopPrice)
            o.orderTypeInfo = entry ? 3 : 1;
    }

    o.isCloseNew = info.isCloseNew;
    o.isEditWorkOrder = info.isEWO;
    o.isEditBracketOrder = info.isEBO;
    o.isCancelOrder = info.isCancelOrder;
    o.isTakeProfitEnabled = info.TakeProfitEnabled;
    o.isStopLossEnabled = info.StopLossEnabled;

    OrderAnswer answer = manager_.Validate(order, margin);
    o.validationResult = answer.passed;
    answer.order = order;
    return answer;
}

OrderAnswer OrderRequests::ValidationsBeforeOrderPlacing(const OrderInfo& info) const {
    return GenerateOrder(info);
}

WriteContext OrderRequests::ContextFor(const Order& order) const {
    WriteContext c;
    c.userName = host_.userName();
    c.referenceId = host_.referenceId();
    c.decimals = DecimalsOf(order.ItemCode);
    return c;
}

template <class Layout>
OrderAnswer OrderRequests::SendOrder(const OrderInfo& info, std::int64_t type, int subtype,
                                     const Layout& layout) {
    OrderAnswer built = GenerateOrder(info);
    if (!built)
        return built;
    const std::shared_ptr<Order>& order = built.order;
    MessageBase m;
    m.startRequest(type);
    if (type == msg::kEditOrder)
        m.setEditOrderRequestType(subtype);
    else
        m.setNewOrderRequestType(subtype);
    WriteContext context = ContextFor(*order);
    context.editPrice = info.price;
    context.cancel = type == msg::kEditOrder && subtype == 1;
    rq::writeRequest(m, layout, *order, context);
    OrderAnswer sent = Send(m);
    sent.order = order;
    return sent;
}

std::optional<OrderInfo> OrderRequests::RequestOn(const std::shared_ptr<Order>& record, bool oppositeSide) {
    if (!record || !accountNumberOf(*record))
        return std::nullopt;
    return requestOnRecord(*record, oppositeSide);
}

OrderAnswer OrderRequests::PlaceOrder(const OrderInfo& info) {
    if (OrderAnswer up = StreamUp(); !up)
        return up;
    OrderAnswer sent = SendOrder(info, msg::kOrder, 0, kNewOrderLayout);
    if (!sent)
        return sent;
    const Order& o = *sent.order;
    sent.request = NoteSent(AwaitedOrder(o), NewOrderText(o, info.kind));
    AddPendingOrder(sent.order);
    ShowNewOrderMessages(sent.order, 0);
    return sent;
}

OrderAnswer OrderRequests::PlacePartialOrder(const OrderInfo& info) {
    if (OrderAnswer up = StreamUp(); !up)
        return up;
    const Decimal remaining = info.previousQuantity.isNaN() ? Decimal() : info.previousQuantity;
    if (info.quantity && !info.quantity->isNaN() && *info.quantity > remaining)
        return Refuse(kAboveRemainingKey, remaining.toString());
    if (!isPositive(info.quantity))
        return Refuse(kBadQuantityKey);
    OrderAnswer sent = SendOrder(info, msg::kOrder, 1, kCloseOrderLayout);
    if (sent) {
        RequestsInFlight::Request awaited =
            AwaitedOn(RequestsInFlight::Kind::Close, {info.orderNo}, sent.order->RequestId);
        awaited.quantity = *info.quantity;
        const auto held = OpenPositionForId(info.orderNo);
        const bool whole = held ? held->RemainingQty == *info.quantity : remaining == *info.quantity;
        sent.request = NoteSent(std::move(awaited), CloseText(*info.quantity, info.orderNo));
        if (whole)
            wholeCloses_[sent.request] = info.orderNo;
        ShowNewOrderMessages(sent.order, 1);
    }
    return sent;
}

OrderAnswer OrderRequests::PlaceEditBracketOrder(const OrderInfo& info) {
    if (OrderAnswer up = StreamUp(); !up)
        return up;
    OrderAnswer sent = SendOrder(info, msg::kEditOrder, 0, kBracketEditLayout);
    if (sent) {
        RequestsInFlight::Request awaited =
            AwaitedOn(RequestsInFlight::Kind::PositionEdit, {info.orderNo}, sent.order->RequestId);
        if (const auto held = OpenPositionForId(info.orderNo))
            awaited.removesLeg = (!info.TakeProfitEnabled && isPositive(held->LimitPrice)) ||
                                 (!info.StopLossEnabled && isPositive(held->StopPrice));
        awaited.editedTo = AskedOfEdit(*sent.order, std::nullopt);
        sent.request = NoteSent(std::move(awaited), BracketEditText(info));
        ShowEditOrderMessages(sent.order, 0);
    }
    return sent;
}

OrderAnswer OrderRequests::PlaceEditWorkingOrder(const OrderInfo& info) {
    if (OrderAnswer up = StreamUp(); !up)
        return up;
    if (!isPositive(info.quantity))
        return Refuse(kBadQuantityKey);
    // Sub-type 0 would go out as a bracket change without its position.
    if (info.editOrderReqType != 1 && info.editOrderReqType != 2)
        return Refuse(kIncompleteKey);
    OrderAnswer sent = SendOrder(info, msg::kEditOrder, info.editOrderReqType, kWorkingEditLayout);
    if (sent) {
        RequestsInFlight::Request awaited =
            AwaitedOn(RequestsInFlight::Kind::OrderEdit, {info.orderNo}, sent.order->RequestId);
        awaited.cancels = info.editOrderReqType == 1;
        if (!awaited.cancels) {
            awaited.editedTo = AskedOfEdit(*sent.order, info.price);
            awaited.quantity = info.quantity;
        }
        sent.request = NoteSent(std::move(awaited), WorkingEditText(info));
        ShowEditOrderMessages(sent.order, info.editOrderReqType);
    }
    return sent;
}

OrderAnswer OrderRequests::PlaceOffsetOrder(std::string_view offsetDetails, std::string_view itemCode,
                                            std::string_view accountNo) {
    if (OrderAnswer up = StreamUp(); !up)
        return up;
    if (offsetDetails.empty() || offsetDetails.size() > kMaxRecordText)
        return Refuse(kIncompleteKey);
    if (OrderAnswer allowed = manager_.validateOffsetPosition(itemCode, accountNo); !allowed)
        return allowed;
    Order position;
    position.AccountNumber = accountNo;
    position.ItemCode = itemCode;
    WriteContext context = ContextFor(position);
    context.records = offsetDetails;
    context.time = host_.serverTime();
    MessageBase m;
    m.startRequest(msg::kCloseHedged);
    rq::writeRequest(m, kOffsetLayout, position, context);
    OrderAnswer sent = Send(m);
    if (sent) {
        // Its answer names no request, only the account and instrument: the offset is found by them.
        // Its positions' updates and settlement are its own: the ids of the details' entries.
        std::vector<std::string> positions;
        for (std::size_t at = 0; at < offsetDetails.size();) {
            const char ends[] = {wire::kRecord, wire::kSection, '\0'};
            const std::size_t end = std::min(offsetDetails.find_first_of(ends, at), offsetDetails.size());
            if (const auto entry = offsetDetails.substr(at, end - at); !entry.empty())
                positions.emplace_back(entry.substr(0, entry.find(wire::kColumn)));
            at = end + 1;
        }
        RequestsInFlight::Request awaited =
            AwaitedOn(RequestsInFlight::Kind::Offset, std::move(positions), std::nullopt);
        awaited.account = accountNo;
        awaited.instrument = itemCode;
        sent.request = NoteSent(std::move(awaited), OffsetText(offsetDetails, itemCode, accountNo));
    }
    return sent;
}

std::string OrderRequests::OffsetDetails(std::string_view positionId, const Decimal& offsetQuantity,
                                         std::span<const OffsetLeg> legs) {
    const OffsetLeg held{std::string(positionId), offsetQuantity};
    return rq::fieldText(kOffsetDetails, OffsetBody{{&held, 1}, legs}, WriteContext{});
}

OrderAnswer OrderRequests::offsetPosition(std::string_view positionId, std::span<const OffsetLeg> legs) {
    if (OrderAnswer up = StreamUp(); !up)
        return up;
    const auto position = OpenPositionForId(positionId);
    if (!position)
        return Refuse(kUnknownRecordKey, positionId);
    if (legs.empty() || legs.size() > kMaxCloseAllPositions)
        return Refuse(kIncompleteKey);
    Decimal total;
    for (const OffsetLeg& leg : legs) {
        const auto other = OpenPositionForId(leg.positionId);
        if (!other)
            return Refuse(kUnknownRecordKey, leg.positionId);
        // Only an opposite position of the same account, instrument and delivery offsets this one.
        if (other->AccountNumber != position->AccountNumber || other->ItemCode != position->ItemCode ||
            other->deliveryMode != position->deliveryMode || other->tradingMode == position->tradingMode)
            return Refuse(kIncompleteKey, leg.positionId);
        if (leg.quantity.isNaN() || !(leg.quantity > Decimal()))
            return Refuse(kZeroOffsetKey);
        if (leg.quantity > other->RemainingQty)
            return Refuse(kLegAboveHeldKey);
        total = total + leg.quantity;
    }
    if (total > position->RemainingQty)
        return Refuse(kOffsetAboveHeldKey);
    return PlaceOffsetOrder(OffsetDetails(position->OpenPositionId, total, legs), position->ItemCode,
                            position->AccountNumber);
}

std::shared_ptr<Order> OrderRequests::GenerateBulkOrderDetails(const OrderInfo& info) const {
    auto order = std::make_shared<Order>();
    const auto found = lookup_.instrumentForCode(info.itemCode);
    const ItemDetails& item = found ? *found : kNoItem;
    Order& o = *order;
    o.ItemCode = info.itemCode;
    fillFromRequest(o, info, item, host_.serverTime());
    fillPrices(o, info);
    return order;
}

std::string OrderRequests::MultiAccountDetails(std::span<const interfaces::AccountQuantity> accounts) const {
    WriteContext context;
    context.requestId = followingRequestId(host_.requestId());
    return rq::fieldText(kAccountRecords, accounts, context);
}

OrderAnswer OrderRequests::CreateNewBulkOrderMessage(const OrderInfo& info) {
    if (OrderAnswer up = StreamUp(); !up)
        return up;
    // Without a record no account would receive the order, yet it would be journalled as sent.
    const std::size_t accounts = recordCount(info.orderDetails);
    if (accounts == 0 || info.orderDetails.size() > kMaxRecordText)
        return Refuse(kIncompleteKey);
    const auto order = GenerateBulkOrderDetails(info);
    MessageBase m;
    m.startRequest(msg::kMultiAccountOrder);
    WriteContext context = ContextFor(*order);
    context.records = info.orderDetails;
    rq::writeRequest(m, kMultiAccountLayout, *order, context);
    OrderAnswer sent = Send(m);
    // Each account gets its own stored order, so each is confirmed once.
    if (sent) {
        RequestsInFlight::Request awaited = AwaitedOrder(*order);
        awaited.kind = RequestsInFlight::Kind::MultiAccount;
        awaited.requestNumber = followingRequestId(host_.requestId());
        awaited.quantity.reset();
        // The first column of each record: the account whose report answers its part.
        for (std::string_view records = info.orderDetails; !records.empty();) {
            const std::size_t end = std::min(records.find(wire::kRecord), records.size());
            const std::string_view record = records.substr(0, end);
            if (!record.empty()) {
                const std::size_t column = record.find(wire::kColumn);
                awaited.accounts.emplace_back(record.substr(0, column));
                // The second column: the account's quantity, as its order report names it.
                if (column != std::string_view::npos) {
                    const std::string_view rest = record.substr(column + 1);
                    if (const auto qty =
                            platform::Decimal::fromString(rest.substr(0, rest.find(wire::kColumn))))
                        awaited.accountQuantities.emplace_back(awaited.accounts.back(), *qty);
                }
            }
            records.remove_prefix(std::min(end + 1, records.size()));
        }
        const std::int64_t number = *awaited.requestNumber;
        awaited.describeAccounts = [this, order, side = codeOf(info.side), kind = info.kind,
                                    records = info.orderDetails,
                                    number](const std::vector<std::string>& only) {
            return MultiAccountText(*order, side, kind, records, number, &only);
        };
        sent.request = NoteSent(std::move(awaited), MultiAccountText(*order, codeOf(info.side), info.kind,
                                                                     info.orderDetails, number));
        ShowNewOrderMessages(order, 0, accounts);
    }
    return sent;
}

// ---- close-all

OrderInfo OrderRequests::CloseAllRequestFor(const Order& position) {
    OrderInfo info = requestOnRecord(position, true);
    info.previousQuantity = position.RemainingQty;
    info.orderNo = position.OpenPositionId;
    info.isCloseNew = true;
    info.deviation = -1;
    return info;
}

std::vector<OrderAnswer>
OrderRequests::ValidatePositionsForCloseAll(std::span<const std::string> positionIds) const {
    std::vector<OrderAnswer> answers;
    answers.reserve(positionIds.size());
    std::vector<std::shared_ptr<const Order>> passed;
    for (const std::string& id : positionIds) {
        const auto position = OpenPositionForId(id);
        if (!position) {
            answers.push_back(Refuse(kUnknownRecordKey, id));
            continue;
        }
        answers.push_back(
            GenerateOrder(CloseAllRequestFor(*position), OrderManager::MarginCheck::LeftToCaller));
        if (answers.back())
            passed.push_back(position);
    }
    // The margin of what would go: the closes that passed every other check, together.
    const std::vector<std::string> shortOfMargin = manager_.closesRefusedForMargin(passed);
    if (shortOfMargin.empty())
        return answers;
    const std::unordered_set<std::string_view> refused(shortOfMargin.begin(), shortOfMargin.end());
    for (std::size_t i = 0; i < answers.size(); ++i)
        if (answers[i] && refused.contains(positionIds[i])) {
            auto order = std::move(answers[i].order);
            answers[i] = OrderAnswer::refused(std::string(kNoMarginToCloseKey),
                                              host_.textForKey(kNoMarginToCloseKey), std::move(order));
        }
    return answers;
}

OrderAnswer
OrderRequests::createBulkClosePositionInfo(std::span<const std::shared_ptr<const Order>> positions,
                                           std::int32_t requestType) {
    if (OrderAnswer up = StreamUp(); !up)
        return up;
    if ((requestType != 1 && requestType != 3) || positions.size() > kMaxCloseAllPositions)
        return Refuse(kIncompleteKey);

    CloseAllBody body;
    body.requestType = requestType;
    std::vector<std::string_view> codes;
    for (const auto& p : positions) {
        if (!p)
            continue;
        if (holdsControlByte(p->ItemCode) || holdsControlByte(p->AccountNumber) ||
            holdsControlByte(p->OpenPositionId))
            return Refuse(kNotSendableKey);
        const auto item = lookup_.instrumentForCode(p->ItemCode);
        body.instruments.push_back(item && item->InstrumentId > 0 ? item->InstrumentId
                                                                  : p->UnknownInstrumentId);
        if (std::find(body.accounts.begin(), body.accounts.end(), p->AccountNumber) == body.accounts.end())
            body.accounts.push_back(p->AccountNumber);
        if (requestType == 3)
            body.entries.push_back(p);
        if (std::find(codes.begin(), codes.end(), p->ItemCode) == codes.end())
            codes.push_back(p->ItemCode);
    }
    // The instruments' records stay alive while the request is written.
    std::vector<std::shared_ptr<const ItemDetails>> items;
    for (const std::string_view code : codes) {
        items.push_back(lookup_.instrumentForCode(code));
        body.quotes.push_back(items.back() ? items.back().get() : &kNoItem);
    }

    WriteContext context = ContextFor(Order());
    context.requestId = static_cast<std::int64_t>(host_.requestId()) + 1;
    context.time = host_.serverTime();
    MessageBase m;
    m.startRequest(msg::kCloseAll);
    rq::writeRequest(m, kCloseAllLayout, body, context);
    OrderAnswer sent = Send(m);
    if (sent && !positions.empty()) {
        std::vector<std::string> ids;
        for (const auto& p : positions)
            if (p)
                ids.push_back(p->OpenPositionId);
        std::string text = CloseAllText(ids);
        RequestsInFlight::Request awaited =
            AwaitedOn(RequestsInFlight::Kind::CloseAll, std::move(ids), context.requestId);
        awaited.closesWhatIsOpen = requestType == 1;
        if (awaited.closesWhatIsOpen) {
            awaited.openAccounts = body.accounts;
            awaited.openInstruments.assign(codes.begin(), codes.end());
        }
        sent.request = NoteSent(std::move(awaited), std::move(text));
    }
    return sent;
}

OrderAnswer OrderRequests::CloseAllPositions(std::span<const std::string> positionIds,
                                             interfaces::CloseAllScope scope) {
    const auto requestType = static_cast<std::int32_t>(scope);
    std::vector<std::shared_ptr<const Order>> positions;
    positions.reserve(std::min(positionIds.size(), kMaxCloseAllPositions + 1));
    for (const std::string& id : positionIds) {
        auto p = OpenPositionForId(id);
        if (!p) {
            platform::Log::info("close-all: position {} is no longer open", id);
            continue;
        }
        // "0", "0.0" and "0.000000" alike: nothing left to close.
        if (!isPositive(p->RemainingQty)) {
            platform::Log::info("close-all: position {} has nothing left to close", id);
            continue;
        }
        positions.push_back(std::move(p));
        if (positions.size() > kMaxCloseAllPositions)
            break;
    }
    return createBulkClosePositionInfo(positions, requestType);
}

// ---- by id

OrderAnswer OrderRequests::ClosePosition(std::string_view positionId, const Decimal& quantity,
                                         std::optional<std::int32_t> deviation) {
    if (quantity.isNaN())
        return NotSendable("the quantity is not a number");
    const auto p = OpenPositionForId(positionId);
    if (!RequestOn(p, true))
        return Refuse(kUnknownRecordKey, positionId);
    OrderInfo info = CloseAllRequestFor(*p);
    info.quantity = quantity;
    info.deviation = deviation.value_or(-1);
    return PlacePartialOrder(info);
}

std::optional<OrderInfo> OrderRequests::BracketEdit(std::string_view positionId,
                                                    const std::optional<Decimal>& takeProfit,
                                                    const std::optional<Decimal>& stopLoss) {
    const auto p = OpenPositionForId(positionId);
    auto info = RequestOn(p, true);
    if (!info)
        return std::nullopt;
    info->price = p->OrderPrice;
    info->limitPrice = takeProfit;
    info->stopPrice = stopLoss;
    info->TakeProfitEnabled = takeProfit.has_value();
    info->StopLossEnabled = stopLoss.has_value();
    info->orderNo = p->OpenPositionId;
    info->openPositionID = p->OpenPositionId;
    info->isEBO = true;
    return info;
}

OrderAnswer OrderRequests::EditPositionBrackets(std::string_view positionId,
                                                const std::optional<Decimal>& takeProfit,
                                                const std::optional<Decimal>& stopLoss) {
    if (unreadBracket(takeProfit) || unreadBracket(stopLoss))
        return NotSendable("a price is not a number");
    const auto info = BracketEdit(positionId, takeProfit, stopLoss);
    if (!info)
        return Refuse(kUnknownRecordKey, positionId);
    // An edit that changes nothing would be carried out as nothing, and told as nothing.
    const auto p = OpenPositionForId(positionId);
    if (sameBracket(takeProfit, p->LimitPrice) && sameBracket(stopLoss, p->StopPrice))
        return Refuse(kNothingToChangeKey);
    return PlaceEditBracketOrder(*info);
}

OrderAnswer OrderRequests::CheckPositionBrackets(std::string_view positionId,
                                                 const std::optional<Decimal>& takeProfit,
                                                 const std::optional<Decimal>& stopLoss) {
    if (unreadBracket(takeProfit) || unreadBracket(stopLoss))
        return NotSendable("a price is not a number");
    const auto info = BracketEdit(positionId, takeProfit, stopLoss);
    return info ? GenerateOrder(*info) : Refuse(kUnknownRecordKey, positionId);
}

std::optional<OrderInfo> OrderRequests::PendingOrderEdit(std::string_view pendingOrderId,
                                                         const Decimal& quantity, const Decimal& price,
                                                         const std::optional<Decimal>& takeProfit,
                                                         const std::optional<Decimal>& stopLoss) {
    const auto o = PendingOrderForId(pendingOrderId);
    auto info = RequestOn(o, false);
    if (!info)
        return std::nullopt;
    info->kind = static_cast<OrderKind>(o->orderType);
    info->quantity = quantity;
    info->price = price;
    info->limitPrice = takeProfit;
    info->stopPrice = stopLoss;
    info->TakeProfitEnabled = takeProfit.has_value();
    info->StopLossEnabled = stopLoss.has_value();
    info->orderNo = o->PendingOrderId;
    info->pendingOrderID = o->PendingOrderId;
    info->editOrderReqType = 2;
    info->isEWO = true;
    return info;
}

OrderAnswer OrderRequests::EditPendingOrder(std::string_view pendingOrderId, const Decimal& quantity,
                                            const Decimal& price, const std::optional<Decimal>& takeProfit,
                                            const std::optional<Decimal>& stopLoss) {
    if (unreadPendingEdit(quantity, price, takeProfit, stopLoss))
        return NotSendable("a number of the edit is not one");
    const auto info = PendingOrderEdit(pendingOrderId, quantity, price, takeProfit, stopLoss);
    if (!info)
        return Refuse(kUnknownRecordKey, pendingOrderId);
    const auto o = PendingOrderForId(pendingOrderId);
    if (quantity == o->RemainingQty && o->OrderPrice && price == *o->OrderPrice &&
        sameBracket(takeProfit, o->LimitPrice) && sameBracket(stopLoss, o->StopPrice))
        return Refuse(kNothingToChangeKey);
    return PlaceEditWorkingOrder(*info);
}

OrderAnswer OrderRequests::CheckPendingOrderEdit(std::string_view pendingOrderId, const Decimal& quantity,
                                                 const Decimal& price,
                                                 const std::optional<Decimal>& takeProfit,
                                                 const std::optional<Decimal>& stopLoss) {
    if (unreadPendingEdit(quantity, price, takeProfit, stopLoss))
        return NotSendable("a number of the edit is not one");
    const auto info = PendingOrderEdit(pendingOrderId, quantity, price, takeProfit, stopLoss);
    if (!info)
        return Refuse(kUnknownRecordKey, pendingOrderId);
    if (!isPositive(info->quantity))
        return Refuse(kBadQuantityKey);
    return GenerateOrder(*info);
}

OrderAnswer OrderRequests::CancelPendingOrder(std::string_view pendingOrderId) {
    const auto o = PendingOrderForId(pendingOrderId);
    auto info = RequestOn(o, false);
    if (!info)
        return Refuse(kUnknownRecordKey, pendingOrderId);
    info->price = o->OrderPrice;
    info->limitPrice = Decimal();
    info->stopPrice = Decimal();
    info->orderNo = o->PendingOrderId;
    info->editOrderReqType = 1;
    info->isEWO = true;
    info->isCancelOrder = true;
    return PlaceEditWorkingOrder(*info);
}

// ---- after the hand-over

void OrderRequests::ShowNewOrderMessages(const std::shared_ptr<Order>& order, std::int32_t mode,
                                         std::size_t confirmations) {
    if (mode != 0 || !order)
        return;
    JournalContext journal;
    journal.language = host_.application().selectedLanguage();
    journal.ServerTime = host_.serverTime();
    std::string line = JournalData::getOrderJournalData(JournalData::kNewOrder, *order, journal,
                                                        DecimalsOf(order->ItemCode));
    if (!line.empty())
        host_.appendJournal(std::move(line));
    if (order->orderType == 1) {
        platform::Log::info("Requesting Market Order {} {} lot(s) of @ Market Price",
                            order->tradingMode == 0 ? "Buy" : "Sell", rq::quantityOnWire(order->OrderQty));
    } else if (order->orderType == 2 || order->orderType == 3) {
        awaitingConfirmations_ += confirmations;
    }
}

void OrderRequests::ShowEditOrderMessages(const std::shared_ptr<Order>&, std::int32_t mode) {
    if (mode == 1)
        host_.application().playSound(kCancelOrderSound);
}

// ---- confirmation of stored pending orders

std::pair<std::string, std::string> OrderRequests::ConfirmationText(const Order& order) const {
    std::string_view key;
    const bool buy = order.tradingMode == 0;
    const std::int32_t decimals = DecimalsOf(order.ItemCode);
    if (order.orderType == 2)
        key = buy ? "20220" : "20221";
    else if (order.orderType == 3)
        key = buy ? "20222" : "20223";
    const std::string third =
        key.empty() ? std::string()
                    : fillPositional(host_.textForKey(key), {order.OrderQty.toString(), order.ItemCode,
                                                             priceText(order.OrderPrice, decimals)});
    std::string message = host_.textForKey("0012") + " : " + order.AccountNumber + "\n" +
                          host_.textForKey("0070") + " : " + order.PendingOrderId + "\n" + third + "\n";
    if (isPositive(order.LimitPrice))
        message += host_.textForKey("0233") + " @ " + priceText(order.LimitPrice, decimals) + "\n";
    if (isPositive(order.StopPrice))
        message += host_.textForKey("0234") + " @ " + priceText(order.StopPrice, decimals);
    return {std::move(message), host_.textForKey("2139")};
}

void OrderRequests::ShowOrderConfirmation(const Order& order) {
    if (awaitingConfirmations_ == 0)
        return;
    // The same stored order announced again is not a second order.
    if (!order.PendingOrderId.empty() && !confirmedIds_.insert(order.PendingOrderId).second)
        return;
    const auto [message, title] = ConfirmationText(order);
    // Counted before it is shown: a modal alert runs the main queue, and a stored order announced
    // meanwhile must find this one already confirmed.
    if (--awaitingConfirmations_ == 0)
        confirmedIds_.clear();
    interfaces::ApplicationInterface& app = host_.application();
    if (app.showConfirmationAlert()) {
        app.showMessageAlert(message, title);
    } else {
        app.showMessageBanner(message, title);
        app.showSystemNotification(title, message);
    }
}

} // namespace tc
