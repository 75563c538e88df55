#include "orders/order_requests.h"

#include "connection/separators.h"
#include "orders/order_numbers.h"
#include "platform/log.h"
#include "platform/notification_names.h"
#include "session/application_interface.h"
#include "session/formatter.h"
#include "session/item_details.h"
#include "session/journal_data.h"
#include "session/positional_text.h"

#include <algorithm>
#include <charconv>
#include <utility>
#include <vector>

using platform::Decimal;

namespace {

constexpr std::int64_t kOrderMessage = 60;
constexpr std::int64_t kEditMessage = 72;
constexpr std::int64_t kMultiAccountMessage = 77;
constexpr std::int64_t kCloseAllMessage = 82;
constexpr std::int64_t kCloseHedgedMessage = 1052;

const ItemDetails kNoItem;

template <typename Int>
std::string decimal(Int value) {
    char buf[24];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    (void)ec;
    return std::string(buf, end);
}

// The server's counter plus one, wrapping as the server's 32-bit counter does.
std::int32_t nextRequestId(std::int32_t last) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(last) + 1u);
}

// A price text that does not read as a number counts as 0.
bool isPositive(std::string_view text) {
    const auto value = strictDecimal(text);
    return value && *value > Decimal();
}

std::string price(double value, std::int32_t decimals) {
    return Formatter::formatDecimal(value, decimals);
}

std::optional<std::int32_t> accountNumberOf(const Order& record) {
    std::int32_t v = 0;
    const std::string& text = record.AccountNumber;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return v;
}

// Record texts from the server go between our own separators; one holding a control byte would
// shift every field after it.
bool holdsControlByte(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return c >= wire::kFrameStart && c <= wire::kSection; });
}

std::size_t recordCount(std::string_view details) {
    return static_cast<std::size_t>(std::count(details.begin(), details.end(), wire::kRecord));
}

// The tags of the request's kinds and the instrument's prices as they stand now.
void fillFromRequest(Order& o, const OrderInfo& info, const ItemDetails& item, std::string serverTime) {
    o.orderType = info.orderType;
    o.orderTypeTag = Order::GetOrderTypeTagValue(info.orderType);
    o.deliveryModeTag = Order::GetDeliveryModeTagValue(info.deliveryMode);
    o.tradingModeTag = Order::GetTradingModeTagValue(info.tradingMode);
    o.timeinForceTag = Order::GetTimeInForceTagValue(info.timeinForce);
    o.deviation = info.deviation;
    o.Spread = "0";
    o.CurrentStatus = "0";
    o.Bid = price(item.Bid, item.DecimalPlaces);
    o.Ask = price(item.Ask, item.DecimalPlaces);
    o.Last = price(item.Last, item.DecimalPlaces);
    o.High = price(item.High, item.DecimalPlaces);
    o.Low = price(item.Low, item.DecimalPlaces);
    o.ItemTime =
        JournalData::reformatClockText(item.UpdateTime, Formatter::kDisplayDateTime, Formatter::kWireDateTime)
            .value_or("");
    o.TransactionDateTime = std::move(serverTime);
}

} // namespace

OrderRequests::OrderRequests(OrderRequestContext& context, OrderSession& session, OrderMananger& manager,
                             platform::NotificationCenter& center)
    : context_(context), session_(session), manager_(manager), center_(center) {}

OrderRequests::~OrderRequests() {
    stopAwaiting();
}

bool OrderRequests::refuse(std::string_view key, std::string_view detail) const {
    manager_.sendNotification(withDetail(session_.textForKey(key), detail), nullptr);
    return false;
}

bool OrderRequests::streamUp() const {
    if (context_.isStreamConnected())
        return true;
    platform::Log::warning("order request refused: the trading stream is down");
    return refuse(kNotConnectedKey);
}

bool OrderRequests::send(MessageBase& message) {
    SendWatch watch(context_.sender());
    message.setSender(&watch);
    message.BuildMessage();
    message.setSender(nullptr);
    if (!watch.sent)
        return refuse(kNotSendableKey);
    return true;
}

// ---- orders

std::shared_ptr<Order> OrderRequests::GenerateOrder(const OrderInfo& info) const {
    auto order = std::make_shared<Order>();
    const auto found = session_.instrumentForCode(info.itemCode);
    const ItemDetails& item = found ? *found : kNoItem;
    Order& o = *order;

    o.AccountNumber = decimal(info.accountNo);
    o.RequestId = nextRequestId(context_.requestId());
    o.ItemCode = item.Code;
    fillFromRequest(o, info, item, context_.serverTime());
    o.deliveryMode = info.deliveryMode;
    o.tradingMode = info.tradingMode;
    o.timeinForce = info.timeinForce;
    o.OrderQty = info.quantity;
    o.PreviousOrderQty = info.previousQuantity;
    o.LiqudateOrderNumber = info.orderNo;

    const std::string marketPrice = info.tradingMode == 0 ? o.Ask : o.Bid;
    if (info.orderType == 1 || info.orderType == 2 || info.orderType == 3) {
        const bool entry = info.orderType != 1;
        o.ordertypeInfo = entry ? 2 : 0;
        o.OrderPrice = entry && !info.price.empty() ? info.price : marketPrice;
        if (!info.limitPrice.empty()) {
            o.ordertypeInfo = entry ? 3 : 1;
            o.LimitPrice = info.limitPrice;
        }
        if (!info.stopPrice.empty()) {
            o.ordertypeInfo = entry ? 3 : 1;
            o.StopPrice = info.stopPrice;
        }
    }

    o.isCloseNew = info.isCloseNew;
    o.isEditWorkOrder = info.isEWO;
    o.isEditBracketOrder = info.isEBO;
    o.isCancelOrder = info.isCancelOrder;
    o.isTakeProfitEnabled = info.TakeProfitEnabled;
    o.isStopLossEnabled = info.StopLossEnabled;

    o.validationResult = manager_.Validate(order);
    return o.validationResult ? order : nullptr;
}

bool OrderRequests::ValidationsBeforeOrderPlacing(const OrderInfo& info) const {
    const auto order = GenerateOrder(info);
    return order && order->validationResult;
}

void OrderRequests::fillOrderTags(MessageBase& m, const Order& o) const {
    m.setValue(34, o.AccountNumber);
    m.setValue(23, context_.userName());
    m.setValue(33, o.RequestId);
    m.setValue(19, context_.referenceId());
    m.setValue(12, o.ItemCode);
    m.setValue(32, o.orderTypeTag);
    m.setValue(117, o.deliveryModeTag);
    m.setValue(37, o.OrderQty);
    m.setValue(38, o.OrderPrice);
    m.setValue(90, o.Spread);
    m.setValue(36, o.tradingModeTag);
    m.setValue(24, o.CurrentStatus);
    // Left out, the writer puts "(null)" there, which the server reads as no time in force.
    if (o.timeinForceTag != Order::kNotApplicable && o.timeinForceTag >= 0)
        m.setValue(43, o.timeinForceTag);
    m.setValue(56, o.Bid);
    m.setValue(54, o.Ask);
    m.setValue(61, o.Last);
    m.setValue(60, o.High);
    m.setValue(62, o.Low);
    m.setValue(67, o.ItemTime);
    m.setValue(78, o.TransactionDateTime);
}

bool OrderRequests::PlaceOrder(const OrderInfo& info) {
    if (!streamUp())
        return false;
    const auto order = GenerateOrder(info);
    if (!order)
        return false;
    MessageBase m;
    m.startRequest(kOrderMessage);
    m.setNeworderrequestType(0);
    fillOrderTags(m, *order);
    m.setValue(39, isPositive(order->LimitPrice) ? order->LimitPrice : "");
    m.setValue(40, isPositive(order->StopPrice) ? order->StopPrice : "");
    m.setValue(77, order->deviation);
    if (!send(m))
        return false;
    context_.addPendingOrder(order);
    ShowNewOrderMessages(order, 0);
    return true;
}

bool OrderRequests::PlacePartialOrder(const OrderInfo& info) {
    if (!streamUp())
        return false;
    const auto quantity = strictDecimal(info.quantity);
    const Decimal remaining = strictDecimal(info.previousQuantity).value_or(Decimal());
    if (quantity && *quantity > remaining)
        return refuse(kAboveRemainingKey, remaining.toString());
    if (!quantity || !(*quantity > Decimal()))
        return refuse(kBadQuantityKey);
    const auto order = GenerateOrder(info);
    if (!order)
        return false;
    MessageBase m;
    m.startRequest(kOrderMessage);
    m.setNeworderrequestType(1);
    fillOrderTags(m, *order);
    m.setValue(125, info.orderNo);
    m.setValue(77, order->deviation);
    if (!send(m))
        return false;
    ShowNewOrderMessages(order, 1);
    return true;
}

bool OrderRequests::PlaceEditBracketOrder(const OrderInfo& info) {
    if (!streamUp())
        return false;
    const auto order = GenerateOrder(info);
    if (!order)
        return false;
    MessageBase m;
    m.startRequest(kEditMessage);
    m.setEditorderrequestType(0);
    fillOrderTags(m, *order);
    m.setValue(1035, "EBO");
    m.setValue(573, info.orderNo);
    m.setValue(38, info.price);
    // An unticked box, or a ticked one without a price above 0, removes that leg.
    m.setValue(39, info.TakeProfitEnabled && isPositive(order->LimitPrice) ? order->LimitPrice : "0");
    m.setValue(40, info.StopLossEnabled && isPositive(order->StopPrice) ? order->StopPrice : "0");
    if (!send(m))
        return false;
    ShowEditOrderMessages(order, 0);
    return true;
}

bool OrderRequests::PlaceEditWorkingOrder(const OrderInfo& info) {
    if (!streamUp())
        return false;
    const auto quantity = strictDecimal(info.quantity);
    if (!quantity || !(*quantity > Decimal()))
        return refuse(kBadQuantityKey);
    // Sub-type 0 would go out as a bracket change without its position.
    if (info.editorderReqType != 1 && info.editorderReqType != 2)
        return refuse(kIncompleteKey);
    const auto order = GenerateOrder(info);
    if (!order)
        return false;
    const bool cancel = info.editorderReqType == 1;
    MessageBase m;
    m.startRequest(kEditMessage);
    m.setEditorderrequestType(info.editorderReqType);
    fillOrderTags(m, *order);
    m.setValue(1035, "EWO");
    m.setValue(79, info.orderNo);
    m.setValue(37, cancel ? std::string("0") : order->OrderQty);
    m.setValue(38, info.price);
    m.setValue(39, info.TakeProfitEnabled && isPositive(order->LimitPrice) ? order->LimitPrice : "0");
    m.setValue(40, info.StopLossEnabled && isPositive(order->StopPrice) ? order->StopPrice : "0");
    if (!send(m))
        return false;
    ShowEditOrderMessages(order, info.editorderReqType);
    return true;
}

bool OrderRequests::PlaceOffsetOrder(std::string_view offsetDetails, std::string_view itemCode,
                                     std::string_view accountNo) {
    if (!streamUp())
        return false;
    if (offsetDetails.empty() || offsetDetails.size() > kMaxRecordText)
        return refuse(kIncompleteKey);
    if (!manager_.validateOffsetPosition(itemCode, accountNo))
        return false;
    MessageBase m;
    m.startRequest(kCloseHedgedMessage);
    m.setValue(34, accountNo);
    m.setValue(12, itemCode);
    m.setValue(583, offsetDetails);
    m.setValue(23, context_.userName());
    m.setValue(19, context_.referenceId());
    m.setValue(21, context_.serverTime());
    return send(m);
}

std::shared_ptr<Order> OrderRequests::GenerateBulkOrderDetails(const OrderInfo& info) const {
    auto order = std::make_shared<Order>();
    const auto found = session_.instrumentForCode(info.itemCode);
    const ItemDetails& item = found ? *found : kNoItem;
    Order& o = *order;
    o.ItemCode = info.itemCode;
    fillFromRequest(o, info, item, context_.serverTime());
    const std::string marketPrice = info.tradingMode == 0 ? o.Ask : o.Bid;
    if (info.orderType == 1 || info.orderType == 2 || info.orderType == 3) {
        o.OrderPrice = info.orderType != 1 && !info.price.empty() ? info.price : marketPrice;
        if (!info.limitPrice.empty())
            o.LimitPrice = info.limitPrice;
        if (!info.stopPrice.empty())
            o.StopPrice = info.stopPrice;
    }
    return order;
}

std::string OrderRequests::multiAccountDetails(std::span<const AccountQuantity> accounts) const {
    const std::string requestId = decimal(nextRequestId(context_.requestId()));
    std::string out;
    for (const AccountQuantity& a : accounts) {
        out += decimal(a.accountId);
        out += wire::kColumn;
        out += Formatter::formatDecimal(a.quantity, 6);
        out += wire::kColumn;
        out += requestId;
        out += wire::kRecord;
    }
    return out;
}

bool OrderRequests::CreateNewBulkOrderMessage(const OrderInfo& info) {
    if (!streamUp())
        return false;
    // Without a record no account would receive the order, yet it would be journalled as sent.
    const std::size_t accounts = recordCount(info.orderDetails);
    if (accounts == 0 || info.orderDetails.size() > kMaxRecordText)
        return refuse(kIncompleteKey);
    const auto order = GenerateBulkOrderDetails(info);
    MessageBase m;
    m.startRequest(kMultiAccountMessage);
    m.setValue(23, context_.userName());
    m.setValue(19, context_.referenceId());
    m.setValue(12, order->ItemCode);
    m.setValue(32, order->orderTypeTag);
    m.setValue(117, order->deliveryModeTag);
    m.setValue(38, order->OrderPrice);
    m.setValue(39, isPositive(order->LimitPrice) ? order->LimitPrice : "");
    m.setValue(40, isPositive(order->StopPrice) ? order->StopPrice : "");
    m.setValue(90, order->Spread);
    m.setValue(36, order->tradingModeTag);
    m.setValue(77, order->deviation);
    m.setValue(24, order->CurrentStatus);
    if (order->timeinForceTag != Order::kNotApplicable && order->timeinForceTag >= 0)
        m.setValue(43, order->timeinForceTag);
    m.setValue(56, order->Bid);
    m.setValue(54, order->Ask);
    m.setValue(61, order->Last);
    m.setValue(60, order->High);
    m.setValue(62, order->Low);
    m.setValue(67, order->ItemTime);
    m.setValue(78, order->TransactionDateTime);
    m.setValue(91, info.orderDetails);
    if (!send(m))
        return false;
    // Each account gets its own stored order, so each is confirmed once.
    ShowNewOrderMessages(order, 0, accounts);
    return true;
}

// ---- close-all

OrderInfo OrderRequests::closeAllRequestFor(const Order& position) {
    OrderInfo info;
    info.tradingMode = position.tradingMode == 0 ? 1 : 0;
    info.orderType = 1;
    info.quantity = position.RemainingQty;
    info.previousQuantity = position.RemainingQty;
    info.orderNo = position.OpenPositionId;
    info.isCloseNew = true;
    info.deviation = -1;
    info.itemCode = position.ItemCode;
    info.accountNo = accountNumberOf(position).value_or(0);
    info.deliveryMode = position.deliveryMode;
    info.timeinForce = position.timeinForce;
    return info;
}

void OrderRequests::validateBeforeCloseAllPositions(const OrderInfo& info) const {
    (void)GenerateOrder(info);
}

bool OrderRequests::validatePositionForCloseAll(std::string_view positionId) const {
    const auto position = context_.openPositionForId(positionId);
    if (!position)
        return refuse(kUnknownRecordKey, positionId);
    return GenerateOrder(closeAllRequestFor(*position)) != nullptr;
}

bool OrderRequests::createBulkClosePositionInfo(std::span<const std::shared_ptr<Order>> positions,
                                                std::int32_t requestType) {
    if (!streamUp())
        return false;
    if ((requestType != 1 && requestType != 3) || positions.size() > kMaxCloseAllPositions)
        return refuse(kIncompleteKey);

    std::string instruments;
    std::string entries;
    std::vector<std::string> codes;
    std::vector<std::string> accounts;
    for (const auto& p : positions) {
        if (!p)
            continue;
        if (holdsControlByte(p->ItemCode) || holdsControlByte(p->AccountNumber) ||
            holdsControlByte(p->OpenPositionId) || holdsControlByte(p->RemainingQty))
            return refuse(kNotSendableKey);
        const auto item = session_.instrumentForCode(p->ItemCode);
        instruments += decimal(item && item->InstrumentId > 0 ? item->InstrumentId : p->UnknownInstrumentId);
        instruments += wire::kRecord;
        if (std::find(codes.begin(), codes.end(), p->ItemCode) == codes.end())
            codes.push_back(p->ItemCode);
        if (std::find(accounts.begin(), accounts.end(), p->AccountNumber) == accounts.end())
            accounts.push_back(p->AccountNumber);
        if (requestType == 3) {
            entries += p->OpenPositionId;
            entries += wire::kColumn;
            entries += wire::kColumn;
            entries += p->RemainingQty;
            entries += wire::kColumn;
            entries += p->AccountNumber;
            entries += wire::kRecord;
        }
    }
    std::string prices;
    for (const std::string& code : codes) {
        const auto found = session_.instrumentForCode(code);
        const ItemDetails& item = found ? *found : kNoItem;
        prices += decimal(item.InstrumentId);
        prices += wire::kColumn;
        prices += Formatter::formatDecimal(item.Bid, 6);
        prices += wire::kColumn;
        prices += Formatter::formatDecimal(item.Ask, 6);
        prices += wire::kColumn;
        prices += JournalData::reformatClockText(item.UpdateTime, Formatter::kDisplayDateTime,
                                                 Formatter::kWireDateTime)
                      .value_or("");
        prices += wire::kRecord;
    }
    std::string accountField;
    for (const std::string& a : accounts) {
        accountField += a;
        accountField += wire::kRecord;
    }

    const std::string typeText = decimal(requestType);
    std::string body;
    for (const std::string_view field :
         {std::string_view(accountField), std::string_view(typeText), std::string_view("2"),
          std::string_view(instruments), std::string_view(entries), std::string_view(prices),
          std::string_view("0"), std::string_view("0"), std::string_view("0"), std::string_view("0"),
          std::string_view()}) {
        body += field;
        body += wire::kSection;
    }

    MessageBase m;
    m.startRequest(kCloseAllMessage);
    m.setValue(583, body);
    m.setValue(20, static_cast<std::int64_t>(context_.requestId()) + 1);
    m.setValue(23, context_.userName());
    m.setValue(19, context_.referenceId());
    const auto serverDate = context_.serverDate();
    m.setValue(21, serverDate ? Formatter::setAmpFormat(*serverDate) : context_.serverTime());
    if (!send(m))
        return false;
    platform::UserInfo info;
    info.emplace("73", std::string("82"));
    center_.post(std::string(platform::kBulkCloseNotification), nullptr, std::move(info));
    return true;
}

bool OrderRequests::closeAllPositions(std::span<const std::string> positionIds, std::int32_t requestType) {
    std::vector<std::shared_ptr<Order>> positions;
    positions.reserve(std::min(positionIds.size(), kMaxCloseAllPositions + 1));
    for (const std::string& id : positionIds) {
        auto p = context_.openPositionForId(id);
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

bool OrderRequests::closePosition(std::string_view positionId, std::string_view quantity,
                                  std::int32_t deviation) {
    const auto p = context_.openPositionForId(positionId);
    const auto account = p ? accountNumberOf(*p) : std::nullopt;
    if (!p || !account)
        return refuse(kUnknownRecordKey, positionId);
    OrderInfo info;
    info.itemCode = p->ItemCode;
    info.tradingMode = p->tradingMode == 0 ? 1 : 0;
    info.accountNo = *account;
    info.orderType = 1;
    info.quantity = quantity;
    info.previousQuantity = p->RemainingQty;
    info.deliveryMode = p->deliveryMode;
    info.timeinForce = p->timeinForce;
    info.orderNo = p->OpenPositionId;
    info.isCloseNew = true;
    info.deviation = deviation;
    return PlacePartialOrder(info);
}

bool OrderRequests::editPositionBrackets(std::string_view positionId, std::string_view takeProfit,
                                         std::string_view stopLoss, bool takeProfitEnabled,
                                         bool stopLossEnabled) {
    const auto p = context_.openPositionForId(positionId);
    const auto account = p ? accountNumberOf(*p) : std::nullopt;
    if (!p || !account)
        return refuse(kUnknownRecordKey, positionId);
    OrderInfo info;
    info.itemCode = p->ItemCode;
    info.tradingMode = p->tradingMode == 0 ? 1 : 0;
    info.accountNo = *account;
    info.orderType = 1;
    info.quantity = p->RemainingQty;
    info.deliveryMode = p->deliveryMode;
    info.timeinForce = p->timeinForce;
    info.price = p->OrderPrice;
    info.limitPrice = takeProfit;
    info.stopPrice = stopLoss;
    info.TakeProfitEnabled = takeProfitEnabled;
    info.StopLossEnabled = stopLossEnabled;
    info.orderNo = p->OpenPositionId;
    info.openPositionID = p->OpenPositionId;
    info.isEBO = true;
    return PlaceEditBracketOrder(info);
}

bool OrderRequests::editPendingOrder(std::string_view pendingOrderId, std::string_view quantity,
                                     std::string_view price, std::string_view takeProfit,
                                     std::string_view stopLoss, bool takeProfitEnabled,
                                     bool stopLossEnabled) {
    const auto o = context_.pendingOrderForId(pendingOrderId);
    const auto account = o ? accountNumberOf(*o) : std::nullopt;
    if (!o || !account)
        return refuse(kUnknownRecordKey, pendingOrderId);
    OrderInfo info;
    info.itemCode = o->ItemCode;
    info.tradingMode = o->tradingMode;
    info.accountNo = *account;
    info.orderType = o->orderType;
    info.quantity = quantity;
    info.deliveryMode = o->deliveryMode;
    info.timeinForce = o->timeinForce;
    info.price = price;
    info.limitPrice = takeProfit;
    info.stopPrice = stopLoss;
    info.TakeProfitEnabled = takeProfitEnabled;
    info.StopLossEnabled = stopLossEnabled;
    info.orderNo = o->PendingOrderId;
    info.pendingOrderID = o->PendingOrderId;
    info.editorderReqType = 2;
    info.isEWO = true;
    return PlaceEditWorkingOrder(info);
}

bool OrderRequests::cancelPendingOrder(std::string_view pendingOrderId) {
    const auto o = context_.pendingOrderForId(pendingOrderId);
    const auto account = o ? accountNumberOf(*o) : std::nullopt;
    if (!o || !account)
        return refuse(kUnknownRecordKey, pendingOrderId);
    OrderInfo info;
    info.itemCode = o->ItemCode;
    info.tradingMode = o->tradingMode;
    info.accountNo = *account;
    info.orderType = 1;
    info.quantity = o->RemainingQty;
    info.deliveryMode = o->deliveryMode;
    info.timeinForce = o->timeinForce;
    info.price = o->OrderPrice;
    info.limitPrice = "0";
    info.stopPrice = "0";
    info.orderNo = o->PendingOrderId;
    info.editorderReqType = 1;
    info.isEWO = true;
    info.isCancelOrder = true;
    return PlaceEditWorkingOrder(info);
}

// ---- after the hand-over

void OrderRequests::ShowNewOrderMessages(const std::shared_ptr<Order>& order, std::int32_t mode,
                                         std::size_t confirmations) {
    if (mode == 1) {
        manager_.sendNotification(std::string(kAbortModal), nullptr);
        return;
    }
    if (mode != 0 || !order)
        return;
    JournalContext journal;
    journal.language = context_.application().selectedLanguage();
    journal.ServerTime = context_.serverTime();
    std::string line = JournalData::getOrderJournalData(JournalData::kNewOrder, *order, journal);
    if (!line.empty())
        context_.appendJournal(std::move(line));
    if (order->orderType == 1) {
        platform::Log::info("Requesting Market Order {} {} lot(s) of @ Market Price",
                            order->tradingMode == 0 ? "Buy" : "Sell", order->OrderQty);
    } else if (order->orderType == 2 || order->orderType == 3) {
        awaitConfirmations(confirmations);
    }
}

void OrderRequests::ShowEditOrderMessages(const std::shared_ptr<Order>&, std::int32_t mode) {
    if (mode == 1)
        context_.application().playSoundNamed(kCancelOrderSound);
    if (mode == 0 || mode == 1 || mode == 2)
        manager_.sendNotification(std::string(kAbortModal), nullptr);
}

// ---- confirmation of stored pending orders

void OrderRequests::awaitConfirmations(std::size_t count) {
    awaitingConfirmations_ += count;
    if (confirmationObserver_ || awaitingConfirmations_ == 0)
        return;
    confirmationObserver_ = center_.addObserver(
        std::string(platform::kPendingOrderNotification), [this](const platform::Notification& n) {
            if (const auto* order = n.objectAs<std::shared_ptr<Order>>(); order && *order)
                ShowOrderConfirmation(**order);
        });
}

void OrderRequests::stopAwaiting() {
    if (confirmationObserver_)
        center_.removeObserver(confirmationObserver_);
    confirmationObserver_ = {};
    awaitingConfirmations_ = 0;
    confirmedIds_.clear();
}

std::pair<std::string, std::string> OrderRequests::confirmationText(const Order& order) const {
    std::string_view key;
    const bool buy = order.tradingMode == 0;
    if (order.orderType == 2)
        key = buy ? "20220" : "20221";
    else if (order.orderType == 3)
        key = buy ? "20222" : "20223";
    const std::string third =
        key.empty()
            ? std::string()
            : fillPositional(session_.textForKey(key), {order.OrderQty, order.ItemCode, order.OrderPrice});
    std::string message = session_.textForKey("0012") + " : " + order.AccountNumber + "\n" +
                          session_.textForKey("0070") + " : " + order.PendingOrderId + "\n" + third + "\n";
    if (isPositive(order.LimitPrice))
        message += session_.textForKey("0233") + " @ " + order.LimitPrice + "\n";
    if (isPositive(order.StopPrice))
        message += session_.textForKey("0234") + " @ " + order.StopPrice;
    return {std::move(message), session_.textForKey("2139")};
}

void OrderRequests::ShowOrderConfirmation(const Order& order) {
    if (awaitingConfirmations_ == 0)
        return;
    // The same stored order announced again is not a second order.
    if (!order.PendingOrderId.empty() && !confirmedIds_.insert(order.PendingOrderId).second)
        return;
    const auto [message, title] = confirmationText(order);
    // Counted before it is shown: a modal alert runs the main queue, and a stored order announced
    // meanwhile must find this one already confirmed.
    if (--awaitingConfirmations_ == 0)
        stopAwaiting();
    ApplicationInterface& app = context_.application();
    if (app.showConfirmationAlert()) {
        app.ShowCommonAlertVieWwithMessage(message, title);
    } else {
        app.ShowCommonUserNotificationwithMessage(message, title);
        app.showLocalNotificationWithTitle(title, message);
    }
}
