#include "orders/order_collections.h"

#include "session/business/order_host.h"

#include "model/position_arithmetic.h"
#include "model/records/account_details.h"
#include "model/records/history_rows.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "model/records/record_decimal.h"
#include "model/records/record_layout.h"
#include "model/session_model.h"
#include "model/text/language_string.h"
#include "orders/order_numbers.h"
#include "platform/lenient.h"
#include "platform/log.h"
#include "session/business/session_events.h"
#include "wire/message_cracker.h"
#include "wire/wire_names.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tc {

using platform::Decimal;
namespace report = wire::report;
namespace tag = wire::tag;

namespace {

using Fields = OrderCollectionHandlers::Fields;
using records::TaggedField;

// A report field longer than this is not a value of ours: the report is refused.
constexpr std::size_t kMaxFieldBytes = 4096;

std::optional<TaggedField> splitField(std::string_view field) {
    const auto value = MessageCracker::GetMessageValue(field, "=");
    if (!value)
        return std::nullopt;
    return TaggedField{MessageCracker::integerValue(field.substr(0, field.size() - value->size() - 1)),
                       *value};
}

std::vector<TaggedField> splitFields(const Fields& fields) {
    std::vector<TaggedField> out;
    out.reserve(fields.size());
    for (const std::string& f : fields)
        if (auto field = splitField(f))
            out.push_back(*field);
    return out;
}

std::optional<std::string_view> lastValue(const std::vector<TaggedField>& fields, std::int64_t tag) {
    std::optional<std::string_view> value;
    for (const TaggedField& f : fields)
        if (f.tag == tag)
            value = f.value;
    return value;
}

// A report's number (checked by reportReads); an empty text is 0.
platform::Decimal decimalOf(std::string_view text) {
    return strictDecimal(text).value_or(platform::Decimal());
}

// A report's price; an empty text is none, never 0.
std::optional<platform::Decimal> priceOf(std::string_view text) {
    if (text.empty())
        return std::nullopt;
    return decimalOf(text);
}

std::int32_t integer32(std::string_view text) {
    const std::int64_t value = MessageCracker::integerValue(text);
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

// The ticket's choice whose wire value a report names (the inverse of Order's Get...TagValue); 0 for
// any other value.
std::int32_t choiceOfCode(std::int64_t code, std::int32_t (*wireValueOf)(std::int32_t)) {
    if (code == Order::kNotApplicable)
        return 0;
    for (std::int32_t choice = 1; choice <= 5; ++choice)
        if (wireValueOf(choice) == code)
            return choice;
    return 0;
}
void setOrderType(Order& order, std::int64_t code) {
    order.orderType = choiceOfCode(code, Order::GetOrderTypeTagValue);
}
void setTimeInForce(Order& order, std::int64_t code) {
    order.timeInForce = choiceOfCode(code, Order::GetTimeInForceTagValue);
}
void setDeliveryMode(Order& order, std::int64_t code) {
    order.deliveryMode = choiceOfCode(code, Order::GetDeliveryModeTagValue);
}
void setSide(Order& order, std::int64_t code) {
    if (code == 45)
        order.tradingMode = 0;
    else if (code == 46)
        order.tradingMode = 1;
}

// Quantity and price texts are stored as they come, so they must be numbers; an empty text means
// "no value". Anything else refuses the whole report rather than put text a grid cannot read into
// the lists.
bool reportReads(const std::vector<TaggedField>& fields, const Fields& raw,
                 std::initializer_list<std::int64_t> numeric, std::string_view what) {
    for (const std::string& f : raw) {
        if (f.size() > kMaxFieldBytes) {
            platform::Log::warning("{} report refused: a field of {} bytes", what, f.size());
            return false;
        }
    }
    for (const TaggedField& f : fields) {
        if (f.value.empty() || std::find(numeric.begin(), numeric.end(), f.tag) == numeric.end())
            continue;
        if (!strictNumber(f.value)) {
            platform::Log::warning("{} report refused: tag {} is not a number: {}", what, f.tag, f.value);
            return false;
        }
    }
    return true;
}

// ---- the reports' layouts

namespace layouts {

using namespace records;

// What the reports of an order and of its fill both say.
constexpr auto kPriceAndRemaining = recordLayout(decimalOrNone(tag::kPrice, &Order::OrderPrice),
                                                 decimal(tag::kRemainingQuantity, &Order::RemainingQty));
constexpr auto kNamedOrder =
    joined(kPriceAndRemaining,
           recordLayout(text(tag::kInstrument, &Order::ItemCode), text(tag::kAccount, &Order::AccountNumber),
                        text(tag::kPendingOrderId, &Order::PendingOrderId),
                        text(tag::kOrderRouteId, &Order::OrderRouteId)));
constexpr auto kTransactionTime = recordLayout(time(tag::kTransactionTime, &Order::TransactionDateTime));
constexpr auto kReportedOrder = joined(kNamedOrder, kTransactionTime);
constexpr auto kRequestNumber = recordLayout(int32(tag::kOrderRequestId, &Order::RequestId));
constexpr auto kCharges =
    recordLayout(decimal(tag::kStorage, &Order::Storage), real(tag::kCommission, &Order::Commission));

// What a pending order's reports (stored, updated or cancelled) say of it, but its time.
constexpr auto kPendingTerms =
    joined(kNamedOrder,
           recordLayout(int64(tag::kOrderType, setOrderType), int64(tag::kTradingMode, setSide),
                        decimal(tag::kQuantity, &Order::OrderQty), int64(tag::kTimeInForce, setTimeInForce),
                        text(tag::kTicketId, &Order::TicketId), int64(tag::kDeliveryMode, setDeliveryMode)));
constexpr auto kPendingOrder = joined(kPendingTerms, kTransactionTime);
// A cancel record keeps no brackets.
constexpr auto kBrackets = recordLayout(decimalOrNone(tag::kLimitPrice, &Order::LimitPrice),
                                        decimalOrNone(tag::kStopPrice, &Order::StopPrice));
constexpr auto kStoredPendingOrder =
    joined(kPendingOrder, kBrackets,
           recordLayout(text(tag::kOffsetOrder, &Order::LiquidateOrderNumber),
                        text(tag::kBracketPositionId, &Order::RefPositionIdOfBracket)));
// An update's time is the change's: the order keeps the time it was placed at, the one its
// statement row and every window show.
constexpr auto kUpdatedPendingOrder = joined(kPendingTerms, kBrackets);
constexpr auto kCancelledOrder = joined(kPendingOrder, kRequestNumber);
// A rejection tells only its time.
constexpr auto kRejectedOrder = kTransactionTime;

// A fill: the new position.
constexpr auto kFill = joined(
    kReportedOrder, kRequestNumber,
    recordLayout(decimal(tag::kQuantity, &Order::OrderQty), time(tag::kExpiryDate, &Order::ExpiryDate),
                 text(tag::kExecutionId, &Order::ExecutionId), text(tag::kPositionId, &Order::OpenPositionId),
                 real(tag::kBaseCurrencyRate, &Order::BaseCurrencyRate),
                 real(tag::kCommission, &Order::Commission), time(tag::kValueDate, &Order::ValueDate)));

// A position's change. Its quantity field is not stored: the position keeps the quantity it opened
// with, which its commission was paid for (positionCommission prorates it to what is still open).
constexpr auto kPositionUpdate = joined(kPriceAndRemaining, kCharges);

// A settlement; its instrument is an id, looked up apart.
constexpr auto kSettlement =
    joined(kCharges, recordLayout(text(tag::kAccount, &Order::AccountNumber),
                                  time(tag::kTransactionTime, &Order::TransactionDateTime),
                                  text(tag::kPositionId, &Order::OpenPositionId),
                                  text(tag::kSettlementId, &Order::SettlementId),
                                  text(tag::kClosingPositionId, &Order::ClosingPositionId),
                                  decimal(tag::kSettledProfit, &Order::SettledPL),
                                  decimal(tag::kSettledQuantity, &Order::SettledQty),
                                  decimalOrNone(tag::kCurrencyRate, &Order::CurrencyRate),
                                  decimal(tag::kOtherCharges, &Order::OtherCharges),
                                  decimal(tag::kAccountCurrencyRate, &Order::accountCurrencyRate)));

// A bracket leg's report on its position: the price is the take-profit's (type 30) or the stop-loss's
// (31), as named by the type field before it; a leg that is gone clears it.
struct BracketLeg {
    Order& position;
    bool gone = false;
    std::int64_t type = 0;
};
constexpr auto kBracketLeg = recordLayout(
    int64(tag::kOrderType, &BracketLeg::type), text(tag::kPrice, [](BracketLeg& leg, std::string_view value) {
        if (leg.type != 30 && leg.type != 31)
            return;
        auto& price = leg.type == 31 ? leg.position.StopPrice : leg.position.LimitPrice;
        if (leg.gone)
            price.reset();
        else if (value.size() <= kMaxFieldBytes && (value.empty() || strictNumber(value)))
            price = priceOf(value);
    }));

} // namespace layouts

bool sameId(const std::string& held, std::string_view id) {
    return !id.empty() && held == id;
}

} // namespace

OrderCollections::OrderCollections(OrderHost& host)
    : host_(host), model_(host.model()), openIndex_(&Order::OpenPositionId),
      pendingIndex_(&Order::PendingOrderId), settledIndex_(&Order::SettlementId),
      cancelledIndex_(&Order::CancelledOrderId),
      openCopyIndex_(&Order::OpenPositionId, OrderIdIndex::Finds::Last) {}

OrderIdIndex* OrderCollections::IndexOf(const OrderList& list) const {
    if (&list == &model_.OpenOrderCollection)
        return &openIndex_;
    if (&list == &model_.PendingOrderCollection)
        return &pendingIndex_;
    if (&list == &model_.SettledOrderCollection)
        return &settledIndex_;
    if (&list == &model_.CancelledOrderCollection)
        return &cancelledIndex_;
    if (&list == &openCopy_)
        return &openCopyIndex_;
    return nullptr;
}

bool OrderCollections::IsZeroQuantity(std::string_view text) {
    return IsZeroQuantity(strictDecimal(text));
}

bool OrderCollections::IsZeroQuantity(const std::optional<platform::Decimal>& quantity) {
    // Compared as the double it always was.
    return quantity && quantity->toDouble() == 0.0;
}

bool OrderCollections::AccountHeld(std::string_view accountNumber) const {
    return !accountNumber.empty() && model_.AccountDetailCollection.contains(std::string(accountNumber));
}

bool OrderCollections::InstrumentKnown(std::string_view code) const {
    return !code.empty() && model_.ItemCollection.contains(std::string(code));
}

std::string OrderCollections::ItemCodeForId(std::int32_t instrumentId) const {
    for (const auto& [code, item] : model_.ItemCollection)
        if (item && item->InstrumentId == instrumentId)
            return item->Code;
    return {};
}

void OrderCollections::SetInstrument(Order& order, std::int32_t instrumentId) const {
    order.ItemCode = ItemCodeForId(instrumentId);
    order.UnknownInstrumentId = order.ItemCode.empty() ? instrumentId : 0;
}

// A record of an instrument the snapshot lacks is kept, shown by its id and the server's code, so
// nothing the server holds vanishes; what needs the instrument's details leaves it out.
void OrderCollections::NoteUnknownInstrument(std::string_view kind, std::string_view id,
                                             std::string_view code) const {
    if (!InstrumentKnown(code))
        platform::Log::warning("{} \"{}\" kept, its instrument \"{}\" is not in the snapshot", kind, id,
                               code);
}

void OrderCollections::NoteUnknownInstrument(std::string_view kind, std::string_view id,
                                             const Order& order) const {
    if (order.ItemCode.empty())
        platform::Log::warning("{} \"{}\" kept, its instrument {} is not in the snapshot", kind, id,
                               order.UnknownInstrumentId);
}

bool OrderCollections::Append(OrderList& list, std::shared_ptr<Order> order, std::string_view listName) {
    if (list.size() >= SessionModel::kMaxEntriesPerCollection) {
        platform::Log::warning("{} is full ({} records); a new record is refused", listName, list.size());
        return false;
    }
    list.push_back(std::move(order));
    if (OrderIdIndex* index = IndexOf(list))
        index->appended(list);
    return true;
}

void OrderCollections::Erase(OrderList& list, OrderList::iterator at) {
    const auto position = static_cast<std::size_t>(at - list.begin());
    const auto gone = *at; // kept alive for its id
    list.erase(at);
    if (OrderIdIndex* index = IndexOf(list))
        index->erased(list, position, gone.get());
}

void OrderCollections::AppendCopy(OrderList& copy, std::shared_ptr<Order> order) {
    // The copies only answer look-ups of later reports; the oldest are the least likely asked for.
    if (copy.size() >= SessionModel::kMaxEntriesPerCollection)
        Erase(copy, copy.begin());
    copy.push_back(std::move(order));
    if (OrderIdIndex* index = IndexOf(copy))
        index->appended(copy);
}

void OrderCollections::Journal(std::int32_t kind, const Order& order) {
    std::string line =
        JournalData::getOrderJournalData(kind, order, host_.journalContext(), PriceDecimals(order));
    if (!line.empty())
        host_.appendJournal(std::move(line));
}

std::int32_t OrderCollections::PriceDecimals(const Order& order) const {
    const auto* item = model_.ItemCollection.get(order.ItemCode);
    return item && *item ? (*item)->DisplayDecimalPlaces() : 0;
}

std::shared_ptr<Order> OrderCollections::FindOpenPosition(std::string_view openPositionId) const {
    return openIndex_.find(model_.OpenOrderCollection, openPositionId);
}
std::shared_ptr<Order> OrderCollections::FindPendingOrder(std::string_view pendingOrderId) const {
    return pendingIndex_.find(model_.PendingOrderCollection, pendingOrderId);
}
std::shared_ptr<Order> OrderCollections::NewestOfPosition(std::string_view openPositionId) {
    if (auto copy = openCopyIndex_.find(openCopy_, openPositionId))
        return copy;
    return openIndex_.findLast(model_.OpenOrderCollection, openPositionId);
}

std::shared_ptr<Order> OrderCollections::FindSettlement(std::string_view settlementId) const {
    return settledIndex_.find(model_.SettledOrderCollection, settlementId);
}

// ---- execution reports

void OrderCollections::FillPendingOrderCollection(const Fields& fields, const std::string& pendingOrderId) {
    const std::vector<TaggedField> parsed = splitFields(fields);
    if (!reportReads(
            parsed, fields,
            {tag::kQuantity, tag::kPrice, tag::kLimitPrice, tag::kStopPrice, tag::kRemainingQuantity},
            "pending order"))
        return;
    auto order = std::make_shared<Order>();
    records::readTagged(parsed, layouts::kStoredPendingOrder, *order);
    if (order->PendingOrderId.empty() || !AccountHeld(order->AccountNumber)) {
        platform::Log::warning("pending order refused: id \"{}\", account \"{}\", instrument \"{}\"",
                               order->PendingOrderId, order->AccountNumber, order->ItemCode);
        return;
    }
    NoteUnknownInstrument("pending order", order->PendingOrderId, order->ItemCode);

    // The request number of this very report, not whatever the session holds by now; only local
    // records (made when the order was sent) carry one.
    const auto reportRequest = [&]() -> std::int32_t {
        std::optional<std::string_view> last;
        for (const TaggedField& f : parsed)
            if (f.tag == tag::kRequestId || f.tag == tag::kOrderRequestId)
                last = f.value;
        return last ? integer32(*last) : host_.requestId();
    }();
    // Orders sent within one pass share the request number: a local record is this order's only where
    // its account and instrument agree, and of several such the one alike in side and quantity, so
    // the record left for a refusal of the other (RejectLocalOrder) is that order's own.
    const auto differs = [](const std::string& held, const std::string& said) {
        return !held.empty() && !said.empty() && held != said;
    };
    const auto local = [&](const Order& held) {
        return held.PendingOrderId.empty() && reportRequest != 0 && held.RequestId == reportRequest &&
               !differs(held.AccountNumber, order->AccountNumber) && !differs(held.ItemCode, order->ItemCode);
    };
    const auto alike = [&](const Order& held) {
        return held.tradingMode == order->tradingMode && !held.OrderQty.isNaN() &&
               held.OrderQty == order->OrderQty;
    };
    auto& pending = model_.PendingOrderCollection;
    auto replaced = std::find_if(pending.begin(), pending.end(), [&](const RecordPtr<Order>& held) {
        return held && sameId(held->PendingOrderId, pendingOrderId);
    });
    if (replaced == pending.end())
        replaced = std::find_if(pending.begin(), pending.end(), [&](const RecordPtr<Order>& held) {
            return held && local(*held) && alike(*held);
        });
    if (replaced == pending.end())
        replaced = std::find_if(pending.begin(), pending.end(),
                                [&](const RecordPtr<Order>& held) { return held && local(*held); });
    if (replaced != pending.end())
        Erase(pending, replaced);
    if (!Append(pending, order, "PendingOrderCollection"))
        return;
    Journal(JournalData::kPendingOrder, *order);
    if (order->orderType == 2 || order->orderType == 3)
        if (pendingOrderStored_)
            pendingOrderStored_(order);
}

void OrderCollections::UpdatePendingOrderCollection(const Fields& fields, const std::string& pendingOrderId) {
    if (pendingOrderId.empty())
        return;
    const std::vector<TaggedField> parsed = splitFields(fields);
    if (!reportReads(
            parsed, fields,
            {tag::kQuantity, tag::kPrice, tag::kLimitPrice, tag::kStopPrice, tag::kRemainingQuantity},
            "pending update"))
        return;
    for (auto& order : model_.PendingOrderCollection) {
        if (!order || !sameId(order->PendingOrderId, pendingOrderId))
            continue;
        // Brackets not restated by the report are gone.
        order->LimitPrice.reset();
        order->StopPrice.reset();
        records::readTagged(parsed, layouts::kUpdatedPendingOrder, *order);
        host_.recordRewritten(order);
        if (order->PendingOrderId != pendingOrderId)
            pendingIndex_.invalidate();
    }
}

void OrderCollections::RemovePendingOrder(const std::string& pendingOrderId) {
    auto& pending = model_.PendingOrderCollection;
    for (auto it = pending.begin(); it != pending.end(); ++it) {
        if (sameId((*it)->PendingOrderId, pendingOrderId)) {
            AppendCopy(pendingCopy_, *it);
            Erase(pending, it);
            return;
        }
    }
}

void OrderCollections::RejectLocalOrder(std::int32_t requestId, const Fields& fields) {
    // Request number 0 is what every record that was not sent from here holds.
    if (requestId == 0)
        return;
    const std::vector<TaggedField> parsed = splitFields(fields);
    // Orders sent within one pass share the number: the account and instrument the refusal names
    // tell their records apart where they differ.
    const auto account = lastValue(parsed, tag::kAccount);
    const auto instrument = lastValue(parsed, tag::kInstrument);
    const auto names = [](const std::optional<std::string_view>& said, const std::string& held) {
        return !said || said->empty() || *said == held;
    };
    auto& pending = model_.PendingOrderCollection;
    const auto at = std::find_if(pending.begin(), pending.end(), [&](const RecordPtr<Order>& order) {
        return order && order->PendingOrderId.empty() && order->RequestId == requestId &&
               names(account, order->AccountNumber) && names(instrument, order->ItemCode);
    });
    if (at == pending.end())
        return;
    Order& order = **at;
    records::readTagged(parsed, layouts::kRejectedOrder, order);
    host_.recordRewritten(at->shared());
    if (Append(model_.CancelledOrderCollection, at->shared(), "CancelledOrderCollection"))
        Journal(JournalData::kOrderRejected, order);
    AppendCopy(pendingCopy_, at->shared());
    Erase(pending, at);
}

void OrderCollections::FillCancelledOrderCollection(std::int64_t id, int status, const Fields& fields) {
    const std::vector<TaggedField> parsed = splitFields(fields);
    if (status == report::kCancelled) {
        if (!reportReads(parsed, fields, {tag::kQuantity, tag::kPrice, tag::kRemainingQuantity},
                         "cancelled order"))
            return;
        auto order = std::make_shared<Order>();
        records::readTagged(parsed, layouts::kCancelledOrder, *order);
        if (order->PendingOrderId.empty() || !AccountHeld(order->AccountNumber)) {
            platform::Log::warning("cancel record refused: id \"{}\", account \"{}\", instrument \"{}\"",
                                   order->PendingOrderId, order->AccountNumber, order->ItemCode);
            return;
        }
        NoteUnknownInstrument("cancelled order", order->PendingOrderId, order->ItemCode);
        // The cancelled quantity is what was still open.
        for (auto it = pendingCopy_.rbegin(); it != pendingCopy_.rend(); ++it) {
            if (sameId((*it)->PendingOrderId, order->PendingOrderId)) {
                order->OrderQty = (*it)->RemainingQty;
                break;
            }
        }
        Append(model_.CancelledOrderCollection, std::move(order), "CancelledOrderCollection");
        return;
    }
    if (status != report::kRejected || id == 0)
        return;
    // A refusal without an order id is a new order's (RejectLocalOrder).
    for (auto& order : model_.PendingOrderCollection) {
        if (order->PendingOrderId.empty() || MessageCracker::integerValue(order->PendingOrderId) != id)
            continue;
        records::readTagged(parsed, layouts::kRejectedOrder, *order);
        host_.recordRewritten(order);
        if (Append(model_.CancelledOrderCollection, order, "CancelledOrderCollection"))
            Journal(JournalData::kOrderRejected, *order);
        return;
    }
}

void OrderCollections::FillOpenOrderCollection(const Fields& fields) {
    const std::vector<TaggedField> parsed = splitFields(fields);
    if (!reportReads(parsed, fields, {tag::kQuantity, tag::kPrice, tag::kRemainingQuantity},
                     "executed order"))
        return;
    auto position = std::make_shared<Order>();
    Order& p = *position;
    p.orderType = 1;
    records::readTagged(parsed, layouts::kFill, p);
    if (p.OpenPositionId.empty() || !AccountHeld(p.AccountNumber)) {
        platform::Log::warning("executed order refused: position \"{}\", account \"{}\", instrument \"{}\"",
                               p.OpenPositionId, p.AccountNumber, p.ItemCode);
        return;
    }
    NoteUnknownInstrument("position", p.OpenPositionId, p.ItemCode);
    // Side, type and brackets come from the order that was filled; a still-working one wins.
    for (const OrderList* list : {&pendingCopy_, &model_.PendingOrderCollection}) {
        for (const auto& order : *list) {
            if (!sameId(order->PendingOrderId, p.PendingOrderId))
                continue;
            p.tradingMode = order->tradingMode;
            p.deliveryMode = order->deliveryMode;
            p.orderType = order->orderType;
            p.StopPrice = order->StopPrice;
            p.LimitPrice = order->LimitPrice;
        }
    }
    if (FindOpenPosition(p.OpenPositionId))
        return;
    // A report without its remaining quantity keeps the position open.
    if (IsZeroQuantity(lastValue(parsed, tag::kRemainingQuantity).value_or(""))) {
        AppendCopy(openCopy_, position);
    } else if (!Append(model_.OpenOrderCollection, position, "OpenOrderCollection")) {
        return;
    }
    if (SessionEvents* events = banners_) {
        if (auto line = events->orderExecutedNotification(position, host_.journalContext(), PriceDecimals(p));
            line && !line->empty())
            host_.appendJournal(std::move(*line));
    }
}

void OrderCollections::UpdateOpenOrderCollection(const std::string& positionId, const Fields& fields,
                                                 const std::optional<platform::Decimal>& remainingQuantity) {
    if (positionId.empty())
        return;
    auto& open = model_.OpenOrderCollection;
    if (IsZeroQuantity(remainingQuantity)) {
        // Found by id: each of a Close All's hundreds of reports searched the whole book.
        if (const std::size_t at = openIndex_.placeOf(open, positionId); at != OrderIdIndex::npos) {
            AppendCopy(openCopy_, open[at]);
            Erase(open, open.begin() + static_cast<std::ptrdiff_t>(at));
        }
        return;
    }
    const std::vector<TaggedField> parsed = splitFields(fields);
    if (!reportReads(parsed, fields, {tag::kQuantity, tag::kPrice, tag::kRemainingQuantity},
                     "position update"))
        return;
    for (auto& position : open) {
        ++scanned_;
        if (!sameId(position->OpenPositionId, positionId))
            continue;
        records::readTagged(parsed, layouts::kPositionUpdate, *position);
        host_.recordRewritten(position);
    }
}

void OrderCollections::ModifyBracketOrderUpdateOnOpenOrderCollection(
    const Fields& fields, const std::optional<std::string>& refPositionId, int status) {
    if (!refPositionId || refPositionId->empty())
        return;
    const std::vector<TaggedField> parsed = splitFields(fields);
    const bool legGone =
        status == report::kFullyFilled || status == report::kCancelled || status == report::kRejected;
    for (auto& position : model_.OpenOrderCollection) {
        ++scanned_;
        if (!sameId(position->OpenPositionId, *refPositionId))
            continue;
        layouts::BracketLeg leg{*position, legGone};
        records::readTagged(parsed, layouts::kBracketLeg, leg);
        host_.recordRewritten(position);
    }
}

void OrderCollections::FillSettledOrderCollection(const Fields& fields) {
    const std::vector<TaggedField> parsed = splitFields(fields);
    if (!reportReads(parsed, fields, {tag::kSettledProfit, tag::kSettledQuantity}, "settlement"))
        return;
    auto record = std::make_shared<Order>();
    Order& s = *record;
    records::readTagged(parsed, layouts::kSettlement, s);
    if (const auto instrumentId = lastValue(parsed, tag::kInstrument))
        SetInstrument(s, integer32(*instrumentId));
    if (s.SettlementId.empty() || !AccountHeld(s.AccountNumber)) {
        platform::Log::warning("settlement refused: id \"{}\", account \"{}\", instrument \"{}\"",
                               s.SettlementId, s.AccountNumber, s.ItemCode);
        return;
    }
    NoteUnknownInstrument("settlement", s.SettlementId, s);
    // Looked up by id: a pass over the book for each of a Close All's hundreds of settlements held
    // the main queue.
    if (const auto position = NewestOfPosition(s.OpenPositionId)) {
        s.OrderPrice = position->OrderPrice;
        s.deliveryMode = position->deliveryMode;
        s.ItemTime = position->TransactionDateTime;
        s.tradingMode = position->tradingMode;
    }
    if (const auto closing = NewestOfPosition(s.ClosingPositionId))
        s.SettledPrice = closing->OrderPrice;
    if (FindSettlement(s.SettlementId))
        return;
    if (!Append(model_.SettledOrderCollection, record, "SettledOrderCollection"))
        return;
    Journal(JournalData::kPositionSettled, s);
    if (SessionEvents* events = banners_) {
        events->ShowSettledOrderNotification(
            s.ItemCode + '#' + decimalText(s.SettledPrice, PriceDecimals(s)) + '#' + s.SettlementId);
    }
    if (positionSettled_)
        positionSettled_(record);
}

std::string_view OrderCollections::RejectionReasonKey(std::int32_t code) {
    switch (code) {
    case 1:
    case 12:
    case 51:
    case 82:
        return "0339";
    case 2:
        return "1057";
    case 5:
        return "1058";
    case 8:
        return "1059";
    case 11:
        return "1065";
    case 13:
        return "1037";
    case 15:
        return "3108";
    case 50:
        return "3069";
    case 80:
        return "1064";
    case 81:
        return "1063";
    case 83:
        return "1062";
    case 86:
        return "20291";
    default:
        return "1077";
    }
}

std::string OrderCollections::GetOrderRejectionReason(std::int32_t code) {
    const std::string_view key = RejectionReasonKey(code);
    if (auto text = LanguageString::stringForSelectedLanguage(host_.application().selectedLanguage(), key))
        return *text;
    // A language without its table still shows the English text.
    return LanguageString::stringForSelectedLanguage(0, key).value_or(std::string(key));
}

std::optional<std::string>
OrderCollections::RefPositionIdOfRemovedPendingOrder(const std::string& pendingOrderId) {
    for (auto it = pendingCopy_.rbegin(); it != pendingCopy_.rend(); ++it)
        if (sameId((*it)->PendingOrderId, pendingOrderId))
            return (*it)->RefPositionIdOfBracket;
    return std::nullopt;
}

void OrderCollections::ClearBracketOfRejectedOrder(const std::string& pendingOrderId) {
    for (const auto& order : pendingCopy_) {
        if (!sameId(order->PendingOrderId, pendingOrderId))
            continue;
        for (auto& position : model_.OpenOrderCollection) {
            if (!sameId(position->OpenPositionId, order->RefPositionIdOfBracket))
                continue;
            if (order->orderType == 2)
                position->LimitPrice.reset();
            else if (order->orderType == 3)
                position->StopPrice.reset();
            host_.recordRewritten(position);
        }
    }
}

// ---- data-service rows

namespace {

// Rows are read without NaN; one made otherwise is not a record the lists can hold.
bool numbers(std::initializer_list<platform::Decimal> values) {
    return std::none_of(values.begin(), values.end(), [](const platform::Decimal& v) { return v.isNaN(); });
}

// A row's number at six decimals, as the rows were always shown; rounded from the exact value, since a
// double holds only 15 to 17 digits.
Decimal sixDecimals(const Decimal& value) {
    return value.rounded(6);
}

// The rows' loaders: a number at six decimals into its member, the side from the buy flag.
template <auto Member>
void atSixDecimals(Order& order, const Decimal& value) {
    order.*Member = sixDecimals(value);
}
void setBuy(Order& order, bool isBuy) {
    order.tradingMode = isBuy ? 0 : 1;
}

using records::copied;
using records::recordLayout;

// Each row's fields as the lists hold them; the instrument is an id, looked up apart.
constexpr auto kOpenRow = recordLayout(
    copied(&OpenOrderHD::PositionId, &Order::OpenPositionId),
    copied(&OpenOrderHD::AccountId, &Order::AccountNumber), copied(&OpenOrderHD::IsBuy, setBuy),
    copied(&OpenOrderHD::OrderExecutionId, &Order::ExecutionId),
    copied(&OpenOrderHD::RefPendingOrderId, &Order::PendingOrderId),
    copied(&OpenOrderHD::PositionInitialQty, atSixDecimals<&Order::OrderQty>),
    copied(&OpenOrderHD::PositionQty, atSixDecimals<&Order::RemainingQty>),
    copied(&OpenOrderHD::OrderPrice, atSixDecimals<&Order::OrderPrice>),
    // After both quantities.
    copied(&OpenOrderHD::CommissionPaid, &Order::Commission),
    copied(&OpenOrderHD::PositionDate, &Order::TransactionDateTime),
    copied(&OpenOrderHD::UnrealisedPL, &Order::UnrealisedPL),
    copied(&OpenOrderHD::RoutePositionId, &Order::OrderRouteId),
    copied(&OpenOrderHD::DeliveryMode, &Order::deliveryMode),
    copied(&OpenOrderHD::OrderTypeId, &Order::orderType), copied(&OpenOrderHD::Storage, &Order::Storage),
    copied(&OpenOrderHD::ValueDate, &Order::ValueDate), copied(&OpenOrderHD::ExpiryDate, &Order::ExpiryDate),
    copied(&OpenOrderHD::BaseCurrencyRate, &Order::BaseCurrencyRate));

// A bracket of 0 is none.
template <auto Member>
void bracketAtSixDecimals(Order& order, const Decimal& value) {
    if (!value.isZero())
        order.*Member = sixDecimals(value);
}

constexpr auto kPendingRow = recordLayout(
    copied(&PendingOrderHD::PendingOrderId, &Order::PendingOrderId),
    copied(&PendingOrderHD::RefTicketId, &Order::TicketId),
    copied(&PendingOrderHD::AccountId, &Order::AccountNumber), copied(&PendingOrderHD::IsBuy, setBuy),
    copied(&PendingOrderHD::OrderTypeId, &Order::orderType),
    copied(&PendingOrderHD::OrderQty, atSixDecimals<&Order::OrderQty>),
    copied(&PendingOrderHD::RemainingQty, atSixDecimals<&Order::RemainingQty>),
    copied(&PendingOrderHD::OrderPrice, atSixDecimals<&Order::OrderPrice>),
    copied(&PendingOrderHD::LimitPrice, bracketAtSixDecimals<&Order::LimitPrice>),
    copied(&PendingOrderHD::StopPrice, bracketAtSixDecimals<&Order::StopPrice>),
    copied(&PendingOrderHD::DeliveryModeId, &Order::deliveryMode),
    copied(&PendingOrderHD::TimeInForceId, &Order::timeInForce),
    copied(&PendingOrderHD::ExpiryDateTime, &Order::ExpiryDate),
    copied(&PendingOrderHD::Spread, &Order::Spread),
    copied(&PendingOrderHD::RoutePendingOrderId, &Order::OrderRouteId),
    copied(&PendingOrderHD::OrderAtServerDateTime, &Order::TransactionDateTime),
    copied(&PendingOrderHD::RefPositionIdOfBracket, &Order::RefPositionIdOfBracket));

constexpr auto kSettledRow = recordLayout(
    copied(&SettledOrderHD::SettlementId, &Order::SettlementId),
    copied(&SettledOrderHD::AccountId, &Order::AccountNumber),
    copied(&SettledOrderHD::RefPositionId, &Order::OpenPositionId),
    copied(&SettledOrderHD::RefClosingPositionId, &Order::ClosingPositionId),
    copied(&SettledOrderHD::SettledQty, atSixDecimals<&Order::SettledQty>),
    // The amount as sent, as a settlement arriving live keeps it: rounded once, where it is shown.
    copied(&SettledOrderHD::SettledPL, &Order::SettledPL),
    copied(&SettledOrderHD::SettlementDate, &Order::TransactionDateTime),
    copied(&SettledOrderHD::CurrencyRate, &Order::CurrencyRate),
    copied(&SettledOrderHD::Storage, &Order::Storage),
    copied(&SettledOrderHD::CommissionPaid, &Order::Commission),
    copied(&SettledOrderHD::OtherCharges, &Order::OtherCharges), copied(&SettledOrderHD::IsBuy, setBuy),
    copied(&SettledOrderHD::OpenPrice, &Order::OrderPrice),
    copied(&SettledOrderHD::ClosePrice, &Order::SettledPrice),
    copied(&SettledOrderHD::OpenPositionDate, &Order::ItemTime),
    copied(&SettledOrderHD::DeliveryModeId, &Order::deliveryMode),
    copied(&SettledOrderHD::accountCurrencyRate, &Order::accountCurrencyRate));

constexpr auto kCancelledRow = recordLayout(
    copied(&CancelledOrderHD::CancelledOrderId, &Order::CancelledOrderId),
    copied(&CancelledOrderHD::CancelledQty, atSixDecimals<&Order::OrderQty>),
    copied(&CancelledOrderHD::RefTicketId, &Order::TicketId),
    copied(&CancelledOrderHD::RefPendingOrderId, &Order::PendingOrderId),
    copied(&CancelledOrderHD::AccountId, &Order::AccountNumber),
    copied(&CancelledOrderHD::CancelDateTime, &Order::TransactionDateTime),
    copied(&CancelledOrderHD::IsBuy, setBuy), copied(&CancelledOrderHD::DeliveryMode, &Order::deliveryMode),
    copied(&CancelledOrderHD::OrderTypeId, &Order::orderType),
    copied(&CancelledOrderHD::OrderPrice, atSixDecimals<&Order::OrderPrice>));

} // namespace

void OrderCollections::FillInitialOpenOrderCollection(const OpenOrderHD& row) {
    if (row.PositionId.empty() || !AccountHeld(row.AccountId) ||
        !numbers({row.PositionInitialQty, row.PositionQty, row.OrderPrice, row.CommissionPaid,
                  row.UnrealisedPL, row.Storage, row.BaseCurrencyRate})) {
        platform::Log::warning("open position row refused: position \"{}\", account \"{}\", instrument {}",
                               row.PositionId, row.AccountId, row.InstrumentId);
        return;
    }
    auto position = std::make_shared<Order>();
    Order& p = *position;
    records::copyRecord(row, kOpenRow, p);
    SetInstrument(p, row.InstrumentId);
    NoteUnknownInstrument("open position row", p.OpenPositionId, p);
    if (FindOpenPosition(p.OpenPositionId))
        return;
    if (row.PositionQty.isZero())
        AppendCopy(openCopy_, std::move(position));
    else
        Append(model_.OpenOrderCollection, std::move(position), "OpenOrderCollection");
}

void OrderCollections::FillInitialPendingOrderCollection(const PendingOrderHD& row) {
    if (row.PendingOrderId.empty() || !AccountHeld(row.AccountId) ||
        !numbers({row.OrderQty, row.RemainingQty, row.OrderPrice, row.LimitPrice, row.StopPrice})) {
        platform::Log::warning("pending order row refused: order \"{}\", account \"{}\", instrument {}",
                               row.PendingOrderId, row.AccountId, row.InstrumentId);
        return;
    }
    auto order = std::make_shared<Order>();
    Order& o = *order;
    records::copyRecord(row, kPendingRow, o);
    SetInstrument(o, row.InstrumentId);
    NoteUnknownInstrument("pending order row", o.PendingOrderId, o);

    // A take-profit or stop-loss order shows on its position; a repeated row refreshes it.
    if (const auto position = FindOpenPosition(o.RefPositionIdOfBracket))
        (o.orderType == 2 ? position->LimitPrice : position->StopPrice) = o.OrderPrice;
    if (FindPendingOrder(o.PendingOrderId))
        return;
    if (row.RemainingQty.isZero())
        AppendCopy(pendingCopy_, std::move(order));
    else
        Append(model_.PendingOrderCollection, std::move(order), "PendingOrderCollection");
}

void OrderCollections::FillInitialSettledOrderCollection(const SettledOrderHD& row) {
    if (row.SettlementId.empty() || !AccountHeld(row.AccountId) ||
        !numbers({row.SettledQty, row.SettledPL, row.CurrencyRate, row.Storage, row.CommissionPaid,
                  row.OtherCharges, row.accountCurrencyRate})) {
        platform::Log::warning(
            "settled position row refused: settlement \"{}\", account \"{}\", instrument {}",
            row.SettlementId, row.AccountId, row.InstrumentId);
        return;
    }
    if (FindSettlement(row.SettlementId))
        return;
    auto record = std::make_shared<Order>();
    Order& s = *record;
    records::copyRecord(row, kSettledRow, s);
    SetInstrument(s, row.InstrumentId);
    NoteUnknownInstrument("settled position row", s.SettlementId, s);
    Append(model_.SettledOrderCollection, std::move(record), "SettledOrderCollection");
}

void OrderCollections::FillInitialCancelledOrderCollection(const CancelledOrderHD& row) {
    if (row.InstrumentId == 0 || !AccountHeld(row.AccountId))
        return;
    if (row.CancelledOrderId.empty() || !numbers({row.CancelledQty, row.OrderPrice})) {
        platform::Log::warning("cancelled order row refused: order \"{}\", instrument {}",
                               row.CancelledOrderId, row.InstrumentId);
        return;
    }
    if (cancelledIndex_.find(model_.CancelledOrderCollection, row.CancelledOrderId))
        return;
    auto order = std::make_shared<Order>();
    Order& o = *order;
    records::copyRecord(row, kCancelledRow, o);
    SetInstrument(o, row.InstrumentId);
    NoteUnknownInstrument("cancelled order row", o.CancelledOrderId, o);
    Append(model_.CancelledOrderCollection, std::move(order), "CancelledOrderCollection");
}

void OrderCollections::SetEquityHitPriceInOrders(const EquityHitPriceInfos& row) {
    if (!numbers({row.HitPrice, row.UnrealisedPL}))
        return;
    for (auto& position : model_.OpenOrderCollection) {
        if (!sameId(position->OpenPositionId, row.PositionId))
            continue;
        position->EquityHitPrice = row.HitPrice;
        position->UnrealisedPL = row.UnrealisedPL.toDouble();
        position->EquityHitPL = row.UnrealisedPL.toDouble();
        host_.recordRewritten(position);
    }
}

} // namespace tc
