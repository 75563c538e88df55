#include "order_engine.h"

#include "account_figures.h"
#include "server_wire.h"

#include "platform/decimal.h"
#include "platform/log.h"
#include "platform/strict_integer.h"
#include "wire/wire_names.h"

#include <algorithm>
#include <set>
#include <utility>

using namespace tc;

namespace testserver {

namespace msg = tc::wire::msg;
namespace tag = tc::wire::tag;

using platform::Log;
using FieldMap = std::map<int, std::string>;

namespace {

std::string valueOf(const FieldMap& fields, int tag) {
    auto it = fields.find(tag);
    return it == fields.end() ? std::string() : it->second;
}

template <typename T>
std::optional<T> integerOf(std::string_view text) {
    if (text.size() > kMaxOrderValueBytes)
        return std::nullopt;
    return tc::platform::strictInteger<T>(text);
}

// A decimal text in units of 10^-decimals. Zeros past the last kept decimal are dropped first, as
// the client writes "%f" (six decimals) in some places.
std::optional<std::int64_t> amountOf(std::string_view text, int decimals) {
    if (text.empty() || text.size() > kMaxOrderValueBytes)
        return std::nullopt;
    std::string t(text);
    const auto dot = t.find('.');
    if (dot != std::string::npos) {
        while (t.size() > dot + 1 + static_cast<std::size_t>(decimals) && t.back() == '0')
            t.pop_back();
        if (t.back() == '.')
            t.pop_back();
    }
    return parseScaled(t, decimals);
}

std::string quantityText(std::int64_t units) {
    std::string text = formatScaled(units, kQuantityDecimals);
    while (text.back() == '0')
        text.pop_back();
    if (text.back() == '.')
        text.pop_back();
    return text;
}

// Wire codes of the enumerations (the client's table) and back.
std::string orderTypeWire(int type) {
    return type >= 1 && type <= 3 ? std::to_string(28 + type) : "926";
}
int orderTypeFromWire(std::string_view text) {
    const auto v = integerOf<int>(text).value_or(0);
    return v >= 29 && v <= 31 ? v - 28 : 0;
}
std::string deliveryWire(int mode) {
    return mode >= 1 && mode <= 3 ? std::to_string(50 + mode) : "926";
}
int deliveryFromWire(std::string_view text) {
    const auto v = integerOf<int>(text).value_or(0);
    return v >= 51 && v <= 53 ? v - 50 : 0;
}
std::string timeInForceWire(int tif) {
    switch (tif) {
    case 1:
        return "47";
    case 2:
        return "48";
    case 5:
        return "54";
    default:
        return "926";
    }
}
int timeInForceFromWire(std::string_view text) {
    switch (integerOf<int>(text).value_or(0)) {
    case 47:
        return 1;
    case 48:
        return 2;
    case 54:
        return 5;
    default:
        return 0;
    }
}

// Whether a resting order is crossed by the quote: buy orders look at the ask, sell orders at the bid.
bool crossed(const ServerPendingOrder& o, std::int64_t price, const Quote& q) {
    const std::int64_t market = o.isBuy ? q.ask : q.bid;
    const bool limit = o.orderTypeId == 2;
    if (o.isBuy)
        return limit ? market <= price : market >= price;
    return limit ? market >= price : market <= price;
}

// History lists drop their oldest half when full; open business is refused instead.
template <typename T>
void appendBounded(std::vector<T>& list, T item) {
    if (list.size() >= kMaxBookEntries)
        list.erase(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(kMaxBookEntries / 2));
    list.push_back(std::move(item));
}

std::vector<std::string> split(std::string_view text, char separator) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= text.size()) {
        const auto cut = text.find(separator, start);
        out.emplace_back(
            text.substr(start, cut == std::string_view::npos ? std::string_view::npos : cut - start));
        if (cut == std::string_view::npos)
            break;
        start = cut + 1;
    }
    return out;
}

// The non-empty records of a list ended by 0x06.
std::vector<std::string> records(std::string_view text) {
    std::vector<std::string> out;
    for (auto& r : split(text, '\x06'))
        if (!r.empty())
            out.push_back(std::move(r));
    return out;
}

} // namespace

std::string changesText(const RecordedRequest& request) {
    static constexpr std::string_view kWhat[] = {"opened",  "placed", "closed",    "reduced",
                                                 "changed", "kept",   "cancelled", "refused"};
    std::string out;
    for (const RecordedChange& c : request.changes) {
        if (!out.empty())
            out += ", ";
        out += kWhat[static_cast<std::size_t>(c.what)];
        if (c.id != 0)
            out += " #" + std::to_string(c.id);
        if (!c.qty.empty())
            out += " " + c.qty;
        if (c.what == RecordedChange::What::Refused)
            out += " (" + std::to_string(c.code) + ")";
        else if (c.account != 0)
            out += " on " + std::to_string(c.account);
    }
    return out.empty() ? "nothing" : out;
}

struct OrderEngine::Call {
    Books& books;
    std::string user;
    const FieldMap& fields;
    std::string time;
    EngineReports out;
    std::set<int> summarize; // accounts whose balance or open positions moved
    int rejectStatus = 25;   // 826 while the exchange rejects
    ForcedRefusal forced{};
    // What the request came to; none for what a quote triggered.
    RecordedRequest* record = nullptr;

    void send(const std::string& to, const WireFields& f) { out.push_back({to, frameFields(f)}); }
    void note(RecordedChange::What what, std::int64_t id, int account, std::string qty, int code = 0) {
        if (record)
            record->changes.push_back({what, id, account, std::move(qty), code});
    }
};

OrderEngine::OrderEngine(const Market& market, const PriceBook& prices, AccountBook& book,
                         const ServerClock& clock)
    : market_(market), prices_(prices), book_(book), clock_(clock),
      closed_(std::make_unique<std::atomic<bool>[]>(market.instruments.size())) {}

bool OrderEngine::handles(int type) {
    return type == msg::kOrder || type == msg::kEditOrder || type == msg::kMultiAccountOrder ||
           type == msg::kCloseAll || type == msg::kCloseHedged;
}

void OrderEngine::setMarketOpen(std::size_t index, bool open) {
    if (index < market_.instruments.size())
        closed_[index] = !open;
}

bool OrderEngine::marketOpen(std::size_t index) const {
    return index < market_.instruments.size() && !closed_[index];
}

const Instrument* OrderEngine::instrumentOf(int instrumentId, std::size_t* index) const {
    for (std::size_t i = 0; i < market_.instruments.size(); ++i)
        if (market_.instruments[i].id == instrumentId) {
            if (index)
                *index = i;
            return &market_.instruments[i];
        }
    return nullptr;
}

const Account* OrderEngine::accountOf(int accountId) const {
    for (const auto& a : market_.accounts)
        if (a.id == accountId)
            return &a;
    return nullptr;
}

std::string OrderEngine::userOf(int accountId) const {
    const Account* a = accountOf(accountId);
    return a ? a->user : std::string();
}

const Group* OrderEngine::groupOf(const Account& account) const {
    for (const auto& g : market_.groups)
        if (g.id == account.group)
            return &g;
    return nullptr;
}

EngineReports OrderEngine::handle(std::string_view user, const FieldMap& fields, std::uint64_t received,
                                  ForcedRefusal forced) {
    const int type = integerOf<int>(valueOf(fields, tag::kMessageType)).value_or(0);
    return book_.with([&](Books& books) {
        Call c{books, std::string(user), fields, clock_.text(), {}, {}};
        c.forced = forced;
        c.forced.atExchange = c.forced.atExchange || exchangeRejects_;
        RecordedRequest record;
        record.received = received;
        record.user = std::string(user);
        record.type = type;
        record.number = valueOf(fields, type == msg::kCloseAll ? tag::kRequestId : tag::kOrderRequestId);
        if (type == msg::kCloseHedged) {
            record.number.clear();
            record.account = integerOf<int>(valueOf(fields, tag::kAccount)).value_or(0);
            record.instrument = valueOf(fields, tag::kInstrument);
        }
        c.record = &record;
        // Kept in the order answered, once the reports are made.
        struct Keep {
            std::vector<RecordedRequest>& to;
            RecordedRequest& r;
            ~Keep() {
                if (r.received != 0)
                    Log::info("testserver: order request {} (type {}, number {}) came to: {}", r.received,
                              r.type, r.number.empty() ? "none" : r.number, changesText(r));
                if (to.size() >= kMaxRecordedRequests)
                    to.erase(to.begin(), to.begin() + static_cast<std::ptrdiff_t>(kMaxRecordedRequests / 2));
                to.push_back(std::move(r));
            }
        } keep{record_, record};
        if (c.forced.atExchange && (type == msg::kOrder || type == msg::kEditOrder)) {
            rejectAtExchange(c, type);
            return std::move(c.out);
        }
        switch (type) {
        case msg::kOrder:
            if (fields.contains(tag::kOffsetOrder))
                closeRequest(c);
            else
                placeNew(c, integerOf<int>(valueOf(fields, tag::kAccount)).value_or(0),
                         valueOf(fields, tag::kQuantity), valueOf(fields, tag::kOrderRequestId));
            break;
        case msg::kEditOrder:
            if (valueOf(fields, tag::kEditKind) == "EBO")
                editBrackets(c);
            else
                editWorking(c);
            break;
        case msg::kMultiAccountOrder:
            multiAccount(c);
            break;
        case msg::kCloseAll:
            closeAll(c);
            break;
        case msg::kCloseHedged:
            offset(c);
            break;
        default:
            break;
        }
        sendSummaries(c);
        return std::move(c.out);
    });
}

void OrderEngine::rejectAtExchange(Call& c, int type) {
    const FieldMap& f = c.fields;
    c.rejectStatus = wire::report::kExchangeRejected;
    const int accountId = integerOf<int>(valueOf(f, tag::kAccount)).value_or(0);
    const std::string requestId = valueOf(f, tag::kOrderRequestId);
    // Each names what its request acts on, as the engine's own refusals do.
    if (type == msg::kOrder && f.contains(tag::kOffsetOrder))
        reject(c, kRejectGeneral, accountId, requestId, {}, valueOf(f, tag::kOffsetOrder));
    else if (type == msg::kOrder)
        reject(c, kRejectGeneral, accountId, requestId);
    else if (valueOf(f, tag::kEditKind) == "EBO")
        reject(c, kRejectGeneral, accountId, requestId, {}, {}, valueOf(f, tag::kBracketPositionId));
    else
        reject(c, kRejectGeneral, accountId, requestId, valueOf(f, tag::kPendingOrderId));
}

void OrderEngine::reject(Call& c, int code, int accountId, std::string_view requestId,
                         std::string_view orderId, std::string_view positionId,
                         std::string_view refPositionId) {
    Log::info("testserver: order request of \"{}\" refused with code {} (status {})", c.user, code,
              c.rejectStatus);
    // Named by the position or order it names; an order id the engine made up for it names nothing.
    std::string_view named = !positionId.empty() ? positionId : refPositionId;
    if (named.empty() && !orderId.empty() && orderId == valueOf(c.fields, tag::kPendingOrderId))
        named = orderId;
    c.note(RecordedChange::What::Refused, integerOf<std::int64_t>(named).value_or(0), accountId, {}, code);
    WireFields f{typeField(msg::kExecutionReport),
                 {tag::kReportStatus, std::to_string(c.rejectStatus)},
                 {tag::kTime, c.time}};
    if (!requestId.empty())
        f.push_back({tag::kOrderRequestId, std::string(requestId)});
    f.push_back({tag::kAccount, std::to_string(accountId)});
    if (auto it = c.fields.find(12); it != c.fields.end() && it->second.size() <= kMaxOrderValueBytes)
        f.push_back({tag::kInstrument, it->second});
    f.push_back({tag::kRejectionCode, std::to_string(code)});
    f.push_back({tag::kTransactionTime, c.time});
    // An empty order id makes the client match its own record by the request id.
    f.push_back({tag::kPendingOrderId, std::string(orderId)});
    if (!positionId.empty())
        f.push_back({tag::kOffsetOrder, std::string(positionId)});
    if (!refPositionId.empty())
        f.push_back({tag::kBracketPositionId, std::string(refPositionId)});
    c.send(c.user, f);
}

namespace {

WireFields orderFields(const ServerPendingOrder& o, const Instrument& instrument, int status,
                       const std::string& time, const std::string& requestId) {
    WireFields f{
        typeField(msg::kExecutionReport), {tag::kReportStatus, std::to_string(status)}, {tag::kTime, time}};
    if (!requestId.empty())
        f.push_back({tag::kOrderRequestId, requestId});
    f.push_back({tag::kAccount, std::to_string(o.accountId)});
    f.push_back({tag::kInstrument, instrument.code});
    f.push_back({tag::kOrderType, orderTypeWire(o.orderTypeId)});
    f.push_back({tag::kTradingMode, o.isBuy ? "45" : "46"});
    f.push_back({tag::kQuantity, o.orderQty});
    f.push_back({tag::kPrice, o.orderPrice});
    if (o.limitPrice != "0")
        f.push_back({tag::kLimitPrice, o.limitPrice});
    if (o.stopPrice != "0")
        f.push_back({tag::kStopPrice, o.stopPrice});
    f.push_back({tag::kTimeInForce, timeInForceWire(o.timeInForce)});
    f.push_back({tag::kRemainingQuantity, o.remainingQty});
    f.push_back({tag::kTransactionTime, time});
    f.push_back({tag::kPendingOrderId, std::to_string(o.pendingOrderId)});
    f.push_back({tag::kTicketId, std::to_string(o.ticketId)});
    f.push_back({tag::kDeliveryMode, deliveryWire(o.deliveryMode)});
    if (o.refPositionId != 0)
        f.push_back({tag::kBracketPositionId, std::to_string(o.refPositionId)});
    return f;
}

// A take-profit (type 2) or stop-loss (type 3) leg of a position: the opposite order over its
// whole open quantity.
ServerPendingOrder legOf(const ServerPosition& p, std::int64_t id, std::int64_t ticket, int type,
                         std::string price, std::string placedAt) {
    ServerPendingOrder leg;
    leg.pendingOrderId = id;
    leg.ticketId = ticket;
    leg.accountId = p.accountId;
    leg.instrumentId = p.instrumentId;
    leg.isBuy = !p.isBuy;
    leg.orderTypeId = type;
    leg.orderQty = leg.remainingQty = p.qty;
    leg.orderPrice = std::move(price);
    leg.deliveryMode = p.deliveryMode;
    leg.timeInForce = 1; // a take profit or stop loss stands until its position closes (GTC)
    leg.placedAt = std::move(placedAt);
    leg.refPositionId = p.positionId;
    return leg;
}

// The settlement report (66): the profit, the share of the commission paid at opening that the
// settled quantity carried, and the rates the profit was taken at.
WireFields settlementFields(const ServerSettlement& s, const std::string& time) {
    return {typeField(msg::kPositionSettled),
            {tag::kTime, time},
            {tag::kInstrument, std::to_string(s.instrumentId)},
            {tag::kAccount, std::to_string(s.accountId)},
            {tag::kTransactionTime, time},
            {tag::kPositionId, std::to_string(s.refPositionId)},
            {tag::kSettlementId, std::to_string(s.settlementId)},
            {tag::kClosingPositionId, std::to_string(s.refClosingPositionId)},
            {tag::kSettledProfit, s.pl},
            {tag::kSettledQuantity, s.qty},
            {tag::kCurrencyRate, s.currencyRate},
            {tag::kCommission, s.commission},
            {tag::kAccountCurrencyRate, s.accountCurrencyRate}};
}

bool bookFull(const Books& b) {
    return b.positions.size() + b.pendingOrders.size() >= kMaxBookEntries;
}

} // namespace

void OrderEngine::takeProfit(ServerSettlement& s, const Instrument& instrument, int accountId,
                             const tc::platform::Decimal& quoteProfit) const {
    const AccountProfit profit = profitInAccountCurrency(
        market_,
        [this](const Instrument& i) {
            const std::size_t index = prices_.indexOf(i.code);
            return index < prices_.size() ? prices_.quote(index) : Quote{i.price, i.price + i.spread};
        },
        instrument, accountId, quoteProfit);
    s.pl = profit.amount.rounded(2).toString();
    s.currencyRate = profit.instrumentRate.toString();
    s.accountCurrencyRate = profit.accountRate.toString();
}

void OrderEngine::placeNew(Call& c, int accountId, std::string_view qtyText, const std::string& requestId) {
    const FieldMap& f = c.fields;
    const Instrument* instrument = market_.findInstrument(valueOf(f, tag::kInstrument));
    if (!instrument)
        return reject(c, kRejectUnknownInstrument, accountId, requestId);
    const std::size_t index = static_cast<std::size_t>(instrument - market_.instruments.data());
    const Account* account = accountOf(accountId);
    const Group* group = account ? groupOf(*account) : nullptr;
    if (!account || account->user != c.user || !group)
        return reject(c, kRejectAccount, accountId, requestId);
    if (!marketOpen(index))
        return reject(c, kRejectMarketClosed, accountId, requestId);
    if (c.forced.code != 0)
        return reject(c, c.forced.code, accountId, requestId);
    const int type = orderTypeFromWire(valueOf(f, tag::kOrderType));
    const std::string side = valueOf(f, tag::kTradingMode);
    if (type == 0 || (side != "45" && side != "46"))
        return reject(c, kRejectGeneral, accountId, requestId);
    const bool buy = side == "45";

    const auto qty = amountOf(qtyText, kQuantityDecimals);
    const auto minQty = amountOf(group->minQty, kQuantityDecimals);
    const auto maxQty = amountOf(group->maxQty, kQuantityDecimals);
    const auto step = amountOf(group->qtyStep, kQuantityDecimals);
    if (!qty || !minQty || !maxQty || !step || *step <= 0 || *qty < *minQty || *qty > *maxQty || *qty <= 0 ||
        *qty % *step != 0)
        return reject(c, kRejectQuantity, accountId, requestId);

    // Take profit and stop loss: absent, empty or 0 means none.
    std::int64_t takeProfit = 0, stopLoss = 0;
    for (auto [tag, target] :
         {std::pair{tag::kLimitPrice, &takeProfit}, std::pair{tag::kStopPrice, &stopLoss}}) {
        const std::string text = valueOf(f, tag);
        if (text.empty())
            continue;
        const auto v = amountOf(text, instrument->decimals);
        if (!v)
            return reject(c, kRejectPrice, accountId, requestId);
        *target = *v;
    }

    const Quote q = prices_.quote(index);
    const std::int64_t market = buy ? q.ask : q.bid;
    std::int64_t entry = market;
    if (type == 1) {
        // A deviation of 0 or more points (units of the last decimal) bounds the move from the price
        // the client saw; a negative one asks for the market price whatever it is.
        const int deviation = integerOf<int>(valueOf(f, tag::kDeviation)).value_or(-1);
        if (deviation >= 0) {
            const auto seen = amountOf(valueOf(f, tag::kPrice), instrument->decimals);
            if (!seen)
                return reject(c, kRejectPrice, accountId, requestId);
            if (std::max(*seen, market) - std::min(*seen, market) > deviation)
                return reject(c, kRejectPriceMoved, accountId, requestId);
        }
    } else {
        const auto price = amountOf(valueOf(f, tag::kPrice), instrument->decimals);
        if (!price || *price <= 0)
            return reject(c, kRejectPrice, accountId, requestId);
        // A limit waits for a better price and a stop for a worse one; otherwise it would fill at once.
        const bool limit = type == 2;
        const bool waits = buy == limit ? *price < market : *price > market;
        if (!waits)
            return reject(c, kRejectPrice, accountId, requestId);
        entry = *price;
    }
    if ((takeProfit != 0 && (buy ? takeProfit <= entry : takeProfit >= entry)) ||
        (stopLoss != 0 && (buy ? stopLoss >= entry : stopLoss <= entry)))
        return reject(c, kRejectPrice, accountId, requestId);
    if (bookFull(c.books))
        return reject(c, kRejectBookFull, accountId, requestId);

    ServerPendingOrder o;
    o.pendingOrderId = c.books.newId();
    o.ticketId = c.books.newId();
    o.accountId = accountId;
    o.instrumentId = instrument->id;
    o.isBuy = buy;
    o.orderTypeId = type;
    o.orderQty = o.remainingQty = quantityText(*qty);
    o.orderPrice = formatScaled(entry, instrument->decimals);
    o.limitPrice = takeProfit ? formatScaled(takeProfit, instrument->decimals) : "0";
    o.stopPrice = stopLoss ? formatScaled(stopLoss, instrument->decimals) : "0";
    o.deliveryMode = deliveryFromWire(valueOf(f, tag::kDeliveryMode));
    o.timeInForce = timeInForceFromWire(valueOf(f, tag::kTimeInForce));
    o.placedAt = c.time;
    c.send(c.user, orderFields(o, *instrument, 28, c.time, requestId));
    if (type == 1) {
        fill(c, std::move(o), market, requestId);
    } else {
        c.note(RecordedChange::What::Placed, o.pendingOrderId, accountId, o.orderQty);
        c.books.pendingOrders.push_back(std::move(o));
    }
}

void OrderEngine::fill(Call& c, ServerPendingOrder o, std::int64_t price, const std::string& requestId) {
    const Instrument* instrument = instrumentOf(o.instrumentId);
    const std::string user = userOf(o.accountId);
    const std::string priceText = formatScaled(price, instrument->decimals);

    ServerPosition p;
    p.positionId = c.books.newId();
    p.executionId = c.books.newId();
    p.accountId = o.accountId;
    p.instrumentId = o.instrumentId;
    p.isBuy = o.isBuy;
    p.initialQty = p.qty = o.remainingQty;
    p.openPrice = priceText;
    p.openedAt = c.time;
    p.refTicketId = o.ticketId;
    p.refPendingOrderId = o.pendingOrderId;
    p.orderTypeId = o.orderTypeId;
    p.deliveryMode = o.deliveryMode;
    p.commission = openingCommissionOf(market_, p.accountId, p.initialQty);

    ServerPendingOrder filled = o;
    filled.remainingQty = "0";
    c.send(user, orderFields(filled, *instrument, 23, c.time, requestId));
    WireFields e{typeField(msg::kPositionReport), {tag::kReportStatus, "74"}, {tag::kTime, c.time}};
    if (!requestId.empty())
        e.push_back({tag::kOrderRequestId, requestId});
    e.insert(e.end(), {{tag::kAccount, std::to_string(p.accountId)},
                       {tag::kInstrument, instrument->code},
                       {tag::kExecutionId, std::to_string(p.executionId)},
                       {tag::kPendingOrderId, std::to_string(p.refPendingOrderId)},
                       {tag::kPositionId, std::to_string(p.positionId)},
                       {tag::kPrice, p.openPrice},
                       {tag::kBaseCurrencyRate, p.baseCurrencyRate},
                       {tag::kCommission, p.commission},
                       {tag::kRemainingQuantity, p.qty},
                       {tag::kQuantity, p.initialQty},
                       {tag::kTransactionTime, c.time}});
    c.send(user, e);
    c.note(RecordedChange::What::Opened, p.positionId, p.accountId, p.qty);
    c.books.positions.push_back(p);
    appendBounded(c.books.executed, p);
    charge(c, p);

    // The take profit and stop loss become legs: opposite orders that close the position.
    for (auto [type, text] : {std::pair{2, o.limitPrice}, std::pair{3, o.stopPrice}}) {
        if (text == "0")
            continue;
        ServerPendingOrder leg = legOf(p, c.books.newId(), o.ticketId, type, text, c.time);
        if (o.timeInForce != 0)
            leg.timeInForce = o.timeInForce;
        c.send(user, orderFields(leg, *instrument, 28, c.time, {}));
        c.note(RecordedChange::What::Placed, leg.pendingOrderId, leg.accountId, leg.orderQty);
        c.books.pendingOrders.push_back(std::move(leg));
    }
}

void OrderEngine::cancelLegs(Call& c, std::int64_t positionId, std::int64_t exceptOrderId,
                             const std::string& requestId) {
    auto& pending = c.books.pendingOrders;
    for (auto it = pending.begin(); it != pending.end();) {
        if (it->refPositionId != positionId || it->pendingOrderId == exceptOrderId) {
            ++it;
            continue;
        }
        const Instrument* instrument = instrumentOf(it->instrumentId);
        const std::string user = userOf(it->accountId);
        ServerCancellation x;
        x.cancelledOrderId = it->pendingOrderId;
        x.qty = it->remainingQty;
        x.refTicketId = it->ticketId;
        x.refPendingOrderId = it->pendingOrderId;
        x.instrumentId = it->instrumentId;
        x.accountId = it->accountId;
        x.reasonId = 1; // by the system: its position closed
        x.cancelledAt = c.time;
        x.isBuy = it->isBuy;
        x.deliveryMode = it->deliveryMode;
        x.orderTypeId = it->orderTypeId;
        x.orderPrice = it->orderPrice;
        x.orderedAt = it->placedAt;
        appendBounded(c.books.cancellations, x);
        ServerPendingOrder gone = *it;
        gone.remainingQty = "0";
        if (instrument)
            c.send(user, orderFields(gone, *instrument, 24, c.time, requestId));
        c.note(RecordedChange::What::Cancelled, gone.pendingOrderId, gone.accountId, gone.orderQty);
        it = pending.erase(it);
    }
}

void OrderEngine::closePart(Call& c, std::size_t positionIndex, std::int64_t qty, std::int64_t price) {
    ServerPosition& p = c.books.positions[positionIndex];
    const Instrument* instrument = instrumentOf(p.instrumentId);
    const std::string user = userOf(p.accountId);
    const std::string qtyClosed = quantityText(qty);
    const std::string priceText = formatScaled(price, instrument->decimals);
    const std::int64_t remaining = amountOf(p.qty, kQuantityDecimals).value_or(0) - qty;
    const std::string commission = commissionSettled(p, p.qty, quantityText(remaining)).toString();
    p.qty = quantityText(remaining);
    c.note(remaining == 0 ? RecordedChange::What::Closed : RecordedChange::What::Reduced, p.positionId,
           p.accountId, qtyClosed);

    // The closing deal: an executed order that is closed at once (remaining "0").
    const std::int64_t closingId = c.books.newId();
    const std::int64_t closingOrderId = c.books.newId();
    c.send(user, {typeField(msg::kPositionReport),
                  {tag::kReportStatus, "74"},
                  {tag::kTime, c.time},
                  {tag::kAccount, std::to_string(p.accountId)},
                  {tag::kInstrument, instrument->code},
                  {tag::kExecutionId, std::to_string(c.books.newId())},
                  {tag::kPendingOrderId, std::to_string(closingOrderId)},
                  {tag::kPositionId, std::to_string(closingId)},
                  {tag::kPrice, priceText},
                  {tag::kCommission, "0"},
                  {tag::kRemainingQuantity, "0"},
                  {tag::kQuantity, qtyClosed},
                  {tag::kTransactionTime, c.time}});
    c.send(user, {typeField(msg::kPositionReport),
                  {tag::kReportStatus, "73"},
                  {tag::kTime, c.time},
                  {tag::kAccount, std::to_string(p.accountId)},
                  {tag::kInstrument, instrument->code},
                  {tag::kPositionId, std::to_string(p.positionId)},
                  {tag::kPrice, p.openPrice},
                  {tag::kRemainingQuantity, p.qty},
                  {tag::kTransactionTime, c.time}});

    // Profit in the instrument's quote currency (price difference times quantity times contract
    // size), then in the account's, as the client values it.
    using platform::Decimal;
    const Decimal move = Decimal::fromInt64(price - amountOf(p.openPrice, instrument->decimals).value_or(0))
                             .multiply(Decimal::fromParts(false, 1, -instrument->decimals));
    const Decimal size = Decimal::fromString(instrument->contractSize).value_or(Decimal::fromInt64(1));
    Decimal pl = move.multiply(Decimal::fromString(qtyClosed).value_or(Decimal())).multiply(size);
    if (!p.isBuy)
        pl = pl.negated();
    ServerSettlement s;
    takeProfit(s, *instrument, p.accountId, pl);
    s.settlementId = c.books.newId();
    s.accountId = p.accountId;
    s.instrumentId = p.instrumentId;
    s.refPositionId = p.positionId;
    s.refClosingPositionId = closingId;
    s.qty = qtyClosed;
    s.settledAt = s.closedAt = c.time;
    s.isBuy = p.isBuy;
    s.openPrice = p.openPrice;
    s.closePrice = priceText;
    s.openedAt = p.openedAt;
    s.deliveryMode = p.deliveryMode;
    s.commission = commission;
    c.send(user, settlementFields(s, c.time));
    settle(c, user, std::move(s));

    for (auto& e : c.books.executed)
        if (e.positionId == p.positionId)
            e.qty = p.qty;
    ServerPosition closing = p;
    closing.commission = "0"; // a close charges nothing of its own
    closing.positionId = closingId;
    closing.isBuy = !p.isBuy;
    closing.initialQty = qtyClosed;
    closing.qty = "0";
    closing.openPrice = priceText;
    closing.openedAt = c.time;
    closing.refPendingOrderId = closingOrderId;
    appendBounded(c.books.executed, closing);

    const std::int64_t positionId = p.positionId;
    if (remaining == 0) {
        c.books.positions.erase(c.books.positions.begin() + static_cast<std::ptrdiff_t>(positionIndex));
        cancelLegs(c, positionId, 0);
        return;
    }
    // The legs now close what is left.
    const std::string left = p.qty;
    for (auto& leg : c.books.pendingOrders)
        if (leg.refPositionId == positionId) {
            leg.orderQty = leg.remainingQty = left;
            c.send(user, orderFields(leg, *instrument, 75, c.time, {}));
            c.note(RecordedChange::What::Changed, leg.pendingOrderId, leg.accountId, leg.orderQty);
        }
}

void OrderEngine::closeRequest(Call& c) {
    const FieldMap& f = c.fields;
    const std::string requestId = valueOf(f, tag::kOrderRequestId);
    const std::string positionText = valueOf(f, tag::kOffsetOrder);
    const int accountId = integerOf<int>(valueOf(f, tag::kAccount)).value_or(0);
    auto refuse = [&](int code) { reject(c, code, accountId, requestId, {}, positionText); };
    const Account* account = accountOf(accountId);
    if (!account || account->user != c.user)
        return refuse(kRejectAccount);
    const auto positionId = integerOf<std::int64_t>(positionText);
    auto& positions = c.books.positions;
    auto it = std::find_if(positions.begin(), positions.end(), [&](const ServerPosition& p) {
        return positionId && p.positionId == *positionId && p.accountId == accountId;
    });
    if (it == positions.end())
        return refuse(kRejectUnknownOrder);
    std::size_t index = 0;
    const Instrument* instrument = instrumentOf(it->instrumentId, &index);
    if (!instrument || valueOf(f, tag::kInstrument) != instrument->code)
        return refuse(kRejectUnknownInstrument);
    if (!marketOpen(index))
        return refuse(kRejectMarketClosed);
    if (c.forced.code != 0)
        return refuse(c.forced.code);
    const auto qty = amountOf(valueOf(f, tag::kQuantity), kQuantityDecimals);
    const auto open = amountOf(it->qty, kQuantityDecimals);
    const auto step = amountOf(groupOf(*account) ? groupOf(*account)->qtyStep : "0", kQuantityDecimals);
    if (!qty || !open || *qty <= 0 || *qty > *open || !step || *step <= 0 || *qty % *step != 0)
        return refuse(kRejectQuantity);
    const Quote q = prices_.quote(index);
    const std::int64_t market = it->isBuy ? q.bid : q.ask;
    const int deviation = integerOf<int>(valueOf(f, tag::kDeviation)).value_or(-1);
    if (deviation >= 0) {
        const auto seen = amountOf(valueOf(f, tag::kPrice), instrument->decimals);
        if (!seen)
            return refuse(kRejectPrice);
        if (std::max(*seen, market) - std::min(*seen, market) > deviation)
            return refuse(kRejectPriceMoved);
    }
    closePart(c, static_cast<std::size_t>(it - positions.begin()), *qty, market);
}

void OrderEngine::editBrackets(Call& c) {
    const FieldMap& f = c.fields;
    const std::string requestId = valueOf(f, tag::kOrderRequestId);
    const std::string positionText = valueOf(f, tag::kBracketPositionId);
    const int accountId = integerOf<int>(valueOf(f, tag::kAccount)).value_or(0);
    auto refuse = [&](int code) { reject(c, code, accountId, requestId, {}, {}, positionText); };
    const Account* account = accountOf(accountId);
    if (!account || account->user != c.user)
        return refuse(kRejectAccount);
    const auto positionId = integerOf<std::int64_t>(positionText);
    auto& positions = c.books.positions;
    auto it = std::find_if(positions.begin(), positions.end(), [&](const ServerPosition& p) {
        return positionId && p.positionId == *positionId && p.accountId == accountId;
    });
    if (it == positions.end())
        return refuse(kRejectUnknownOrder);
    const ServerPosition p = *it;
    std::size_t index = 0;
    const Instrument* instrument = instrumentOf(p.instrumentId, &index);
    if (!instrument)
        return refuse(kRejectUnknownInstrument);
    if (!marketOpen(index))
        return refuse(kRejectMarketClosed);
    if (c.forced.code != 0)
        return refuse(c.forced.code);
    const Quote q = prices_.quote(index);
    const std::int64_t market = p.isBuy ? q.bid : q.ask;
    std::int64_t wanted[2] = {0, 0}; // take profit, stop loss; 0: none
    for (int leg = 0; leg < 2; ++leg) {
        const std::string text = valueOf(f, leg == 0 ? 39 : 40);
        if (text.empty())
            continue;
        const auto v = amountOf(text, instrument->decimals);
        if (!v)
            return refuse(kRejectPrice);
        wanted[leg] = *v;
    }
    // A take profit lies on the winning side of the closing price, a stop loss on the losing side.
    if ((wanted[0] != 0 && (p.isBuy ? wanted[0] <= market : wanted[0] >= market)) ||
        (wanted[1] != 0 && (p.isBuy ? wanted[1] >= market : wanted[1] <= market)))
        return refuse(kRejectPrice);

    const std::size_t reportsBefore = c.out.size();
    for (int leg = 0; leg < 2; ++leg) {
        const int type = leg == 0 ? 2 : 3;
        auto& pending = c.books.pendingOrders;
        auto current = std::find_if(pending.begin(), pending.end(), [&](const ServerPendingOrder& o) {
            return o.refPositionId == p.positionId && o.orderTypeId == type;
        });
        const std::string text = wanted[leg] ? formatScaled(wanted[leg], instrument->decimals) : "0";
        if (current == pending.end()) {
            if (wanted[leg] == 0)
                continue;
            if (bookFull(c.books))
                return refuse(kRejectBookFull);
            ServerPendingOrder o = legOf(p, c.books.newId(), p.refTicketId, type, text, c.time);
            c.send(c.user, orderFields(o, *instrument, 28, c.time, requestId));
            c.note(RecordedChange::What::Placed, o.pendingOrderId, o.accountId, o.orderQty);
            pending.push_back(std::move(o));
        } else if (wanted[leg] == 0) {
            // Only this leg goes: the other leg of the position, if any, is kept.
            std::int64_t keep = 0;
            for (const auto& other : pending)
                if (other.refPositionId == p.positionId && other.pendingOrderId != current->pendingOrderId)
                    keep = other.pendingOrderId;
            cancelLegs(c, p.positionId, keep, requestId);
        } else if (current->orderPrice != text) {
            current->orderPrice = text;
            c.send(c.user, orderFields(*current, *instrument, 75, c.time, requestId));
            c.note(RecordedChange::What::Changed, current->pendingOrderId, current->accountId,
                   current->orderQty);
        }
    }
    if (c.out.size() != reportsBefore)
        return;
    // An edit that changes nothing is answered too: by the legs as they stand, or refused when the
    // position has none and none is asked for.
    bool standing = false;
    for (const auto& leg : c.books.pendingOrders)
        if (leg.refPositionId == p.positionId) {
            c.send(c.user, orderFields(leg, *instrument, 75, c.time, requestId));
            c.note(RecordedChange::What::Unchanged, leg.pendingOrderId, leg.accountId, leg.orderQty);
            standing = true;
        }
    if (!standing)
        refuse(kRejectGeneral);
}

void OrderEngine::editWorking(Call& c) {
    const FieldMap& f = c.fields;
    const std::string requestId = valueOf(f, tag::kOrderRequestId);
    const std::string orderText = valueOf(f, tag::kPendingOrderId);
    const int accountId = integerOf<int>(valueOf(f, tag::kAccount)).value_or(0);
    auto refuse = [&](int code, std::string_view ref = {}) {
        reject(c, code, accountId, requestId, orderText, {}, ref);
    };
    const Account* account = accountOf(accountId);
    const Group* group = account ? groupOf(*account) : nullptr;
    if (!account || account->user != c.user || !group)
        return refuse(kRejectAccount);
    const auto orderId = integerOf<std::int64_t>(orderText);
    auto& pending = c.books.pendingOrders;
    auto it = std::find_if(pending.begin(), pending.end(), [&](const ServerPendingOrder& o) {
        return orderId && o.pendingOrderId == *orderId && o.accountId == accountId;
    });
    if (it == pending.end())
        return refuse(kRejectUnknownOrder);
    const std::string ref = it->refPositionId ? std::to_string(it->refPositionId) : std::string();
    std::size_t index = 0;
    const Instrument* instrument = instrumentOf(it->instrumentId, &index);
    if (!instrument)
        return refuse(kRejectUnknownInstrument, ref);
    const auto qty = amountOf(valueOf(f, tag::kQuantity), kQuantityDecimals);
    if (!qty)
        return refuse(kRejectQuantity, ref);
    if (c.forced.code != 0)
        return refuse(c.forced.code, ref);

    if (*qty == 0) {
        // A cancel: what was still open goes to the cancellations.
        ServerCancellation x;
        x.cancelledOrderId = it->pendingOrderId;
        x.qty = it->remainingQty;
        x.refTicketId = it->ticketId;
        x.refPendingOrderId = it->pendingOrderId;
        x.instrumentId = it->instrumentId;
        x.accountId = it->accountId;
        x.cancelledAt = c.time;
        const User* u = market_.findUser(c.user);
        x.byUserId = u ? u->id : 0;
        x.isBuy = it->isBuy;
        x.deliveryMode = it->deliveryMode;
        x.orderTypeId = it->orderTypeId;
        x.orderPrice = it->orderPrice;
        x.orderedAt = it->placedAt;
        appendBounded(c.books.cancellations, x);
        ServerPendingOrder gone = *it;
        gone.orderQty = it->remainingQty;
        gone.remainingQty = "0";
        c.send(c.user, orderFields(gone, *instrument, 24, c.time, requestId));
        c.note(RecordedChange::What::Cancelled, gone.pendingOrderId, gone.accountId, gone.orderQty);
        pending.erase(it);
        return;
    }

    if (!marketOpen(index))
        return refuse(kRejectMarketClosed, ref);
    const auto minQty = amountOf(group->minQty, kQuantityDecimals);
    const auto maxQty = amountOf(group->maxQty, kQuantityDecimals);
    const auto step = amountOf(group->qtyStep, kQuantityDecimals);
    if (!minQty || !maxQty || !step || *step <= 0 || *qty < *minQty || *qty > *maxQty || *qty % *step != 0)
        return refuse(kRejectQuantity, ref);
    const auto price = amountOf(valueOf(f, tag::kPrice), instrument->decimals);
    if (!price || *price <= 0)
        return refuse(kRejectPrice, ref);
    const Quote q = prices_.quote(index);
    const std::int64_t market = it->isBuy ? q.ask : q.bid;
    const bool limit = it->orderTypeId == 2;
    if (!(it->isBuy == limit ? *price < market : *price > market))
        return refuse(kRejectPrice, ref);
    std::int64_t takeProfit = 0, stopLoss = 0;
    if (it->refPositionId == 0) {
        for (auto [tag, target] :
             {std::pair{tag::kLimitPrice, &takeProfit}, std::pair{tag::kStopPrice, &stopLoss}}) {
            const std::string text = valueOf(f, tag);
            if (text.empty())
                continue;
            const auto v = amountOf(text, instrument->decimals);
            if (!v)
                return refuse(kRejectPrice, ref);
            *target = *v;
        }
        if ((takeProfit != 0 && (it->isBuy ? takeProfit <= *price : takeProfit >= *price)) ||
            (stopLoss != 0 && (it->isBuy ? stopLoss >= *price : stopLoss <= *price)))
            return refuse(kRejectPrice, ref);
    } else if (*qty != amountOf(it->remainingQty, kQuantityDecimals).value_or(-1)) {
        // A leg always closes the whole position.
        return refuse(kRejectQuantity, ref);
    }
    it->orderQty = it->remainingQty = quantityText(*qty);
    it->orderPrice = formatScaled(*price, instrument->decimals);
    if (it->refPositionId == 0) {
        it->limitPrice = takeProfit ? formatScaled(takeProfit, instrument->decimals) : "0";
        it->stopPrice = stopLoss ? formatScaled(stopLoss, instrument->decimals) : "0";
    }
    c.send(c.user, orderFields(*it, *instrument, 75, c.time, requestId));
    c.note(RecordedChange::What::Changed, it->pendingOrderId, it->accountId, it->orderQty);
}

void OrderEngine::multiAccount(Call& c) {
    const auto list = records(valueOf(c.fields, 91));
    if (list.empty() || list.size() > kMaxOrderRecords)
        return reject(c, kRejectGeneral, 0, {});
    for (const auto& record : list) {
        const auto parts = split(record, '\x05');
        if (parts.size() != 3) {
            reject(c, kRejectGeneral, 0, {});
            continue;
        }
        const int account = integerOf<int>(parts[0]).value_or(0);
        const std::size_t sent = c.out.size();
        placeNew(c, account, parts[1], parts[2]);
        if (account != 0 && account == reportsLostOf_)
            c.out.resize(sent);
    }
}

void OrderEngine::closeAll(Call& c) {
    const auto body = split(valueOf(c.fields, 583), '\x07');
    // A refusal here names its position in tag 125 and carries an order id of its own, so it cannot
    // match any order record of the client.
    auto refuse = [&](int code, int accountId, const std::string& position) {
        reject(c, code, accountId, {}, std::to_string(c.books.newId()), position);
    };
    // The request refused as a whole names no position: its number (tag 20) is all it names.
    auto refuseWhole = [&] {
        reject(c, kRejectGeneral, 0, valueOf(c.fields, tag::kRequestId), std::to_string(c.books.newId()));
    };
    if (body.size() < 5)
        return refuseWhole();
    const std::string requestType = body[1];
    struct Target {
        std::string position;
        std::string qty;
        int account;
    };
    std::vector<Target> targets;
    if (requestType == "3") {
        const auto list = records(body[4]);
        if (list.size() > closeAllLimit_)
            return refuseWhole();
        for (const auto& r : list) {
            const auto parts = split(r, '\x05');
            if (parts.size() != 4) {
                refuse(kRejectGeneral, 0, {});
                continue;
            }
            targets.push_back({parts[0], parts[2], integerOf<int>(parts[3]).value_or(0)});
        }
    } else if (requestType == "1") {
        // Every open position of the listed accounts in the listed instruments.
        const auto accounts = records(body[0]);
        const auto instruments = records(body[3]);
        if (accounts.size() > kMaxOrderRecords || instruments.size() > kMaxOrderRecords)
            return refuseWhole();
        for (const auto& a : accounts) {
            const int accountId = integerOf<int>(a).value_or(0);
            const Account* account = accountOf(accountId);
            if (!account || account->user != c.user) {
                refuse(kRejectAccount, accountId, {});
                continue;
            }
            for (const auto& p : c.books.positions)
                if (p.accountId == accountId &&
                    std::find(instruments.begin(), instruments.end(), std::to_string(p.instrumentId)) !=
                        instruments.end())
                    targets.push_back({std::to_string(p.positionId), p.qty, accountId});
        }
        if (targets.size() > closeAllLimit_)
            return refuseWhole();
    } else {
        return refuseWhole();
    }

    for (const auto& t : targets) {
        const Account* account = accountOf(t.account);
        if (!account || account->user != c.user) {
            refuse(kRejectAccount, t.account, t.position);
            continue;
        }
        const auto positionId = integerOf<std::int64_t>(t.position);
        auto& positions = c.books.positions;
        auto it = std::find_if(positions.begin(), positions.end(), [&](const ServerPosition& p) {
            return positionId && p.positionId == *positionId && p.accountId == t.account;
        });
        if (it == positions.end()) {
            refuse(kRejectUnknownOrder, t.account, t.position);
            continue;
        }
        std::size_t index = 0;
        if (!instrumentOf(it->instrumentId, &index)) {
            refuse(kRejectUnknownInstrument, t.account, t.position);
            continue;
        }
        if (!marketOpen(index)) {
            refuse(kRejectMarketClosed, t.account, t.position);
            continue;
        }
        // The exchange refuses each position apart, naming it as the engine's own refusals do.
        if (c.forced.atExchange) {
            const int own = std::exchange(c.rejectStatus, wire::report::kExchangeRejected);
            refuse(kRejectGeneral, t.account, t.position);
            c.rejectStatus = own;
            continue;
        }
        if (c.forced.code != 0) {
            refuse(c.forced.code, t.account, t.position);
            continue;
        }
        const auto qty = amountOf(t.qty, kQuantityDecimals);
        const auto open = amountOf(it->qty, kQuantityDecimals);
        if (!qty || !open || *qty <= 0 || *qty > *open) {
            refuse(kRejectQuantity, t.account, t.position);
            continue;
        }
        const Quote q = prices_.quote(index);
        closePart(c, static_cast<std::size_t>(it - positions.begin()), *qty, it->isBuy ? q.bid : q.ask);
    }
}

void OrderEngine::offset(Call& c) {
    const FieldMap& f = c.fields;
    const int accountId = integerOf<int>(valueOf(f, tag::kAccount)).value_or(0);
    const std::string code = valueOf(f, tag::kInstrument);
    auto answer = [&](int result) {
        WireFields r{
            typeField(msg::kCloseHedged), {tag::kTime, c.time}, {tag::kAccount, std::to_string(accountId)}};
        if (code.size() <= kMaxOrderValueBytes)
            r.push_back({tag::kInstrument, code});
        r.push_back({tag::kRejectionCode, std::to_string(result)});
        c.send(c.user, r);
    };
    auto refuse = [&](int reason) {
        reject(c, reason, accountId, {}, std::to_string(c.books.newId()));
        answer(reason);
    };
    const Account* account = accountOf(accountId);
    if (!account || account->user != c.user)
        return refuse(kRejectAccount);
    const Instrument* instrument = market_.findInstrument(code);
    if (!instrument)
        return refuse(kRejectUnknownInstrument);
    const std::size_t index = static_cast<std::size_t>(instrument - market_.instruments.data());
    if (!marketOpen(index))
        return refuse(kRejectMarketClosed);
    if (c.forced.code != 0)
        return refuse(c.forced.code);

    // "first 0x05 qty 0x06 0x07 (position 0x05 qty 0x06)... 0x07"
    const auto sections = split(valueOf(f, tag::kCloseRecords), '\x07');
    if (sections.size() < 2)
        return refuse(kRejectGeneral);
    struct Leg {
        std::int64_t id = 0;
        std::int64_t qty = 0;
    };
    auto parse = [&](const std::string& r) -> std::optional<Leg> {
        const auto parts = split(r, '\x05');
        if (parts.size() != 2)
            return std::nullopt;
        const auto id = integerOf<std::int64_t>(parts[0]);
        const auto qty = amountOf(parts[1], kQuantityDecimals);
        if (!id || !qty || *qty <= 0)
            return std::nullopt;
        return Leg{*id, *qty};
    };
    const auto firstList = records(sections[0]);
    const auto otherList = records(sections[1]);
    if (firstList.size() != 1 || otherList.empty() || otherList.size() > kMaxOrderRecords)
        return refuse(kRejectGeneral);
    const auto first = parse(firstList[0]);
    if (!first)
        return refuse(kRejectQuantity);
    std::vector<Leg> others;
    std::int64_t total = 0;
    for (const auto& r : otherList) {
        const auto leg = parse(r);
        if (!leg)
            return refuse(kRejectQuantity);
        others.push_back(*leg);
        total += leg->qty;
    }
    auto& positions = c.books.positions;
    auto find = [&](std::int64_t id) {
        return std::find_if(positions.begin(), positions.end(), [&](const ServerPosition& p) {
            return p.positionId == id && p.accountId == accountId && p.instrumentId == instrument->id;
        });
    };
    auto base = find(first->id);
    if (base == positions.end())
        return refuse(kRejectUnknownOrder);
    if (total != first->qty || first->qty > amountOf(base->qty, kQuantityDecimals).value_or(0))
        return refuse(kRejectQuantity);
    std::map<std::int64_t, std::int64_t> taken;
    for (const auto& leg : others) {
        auto o = find(leg.id);
        if (o == positions.end() || o->isBuy == base->isBuy)
            return refuse(kRejectUnknownOrder);
        if ((taken[leg.id] += leg.qty) > amountOf(o->qty, kQuantityDecimals).value_or(0))
            return refuse(kRejectQuantity);
    }

    // Each opposite position settles against the first at the two open prices.
    const std::string user = account->user;
    for (const auto& leg : others) {
        // Both positions settle the share of their commission that the offset quantity carried.
        platform::Decimal commission;
        for (std::int64_t id : {first->id, leg.id}) {
            auto p = find(id);
            const std::string before = p->qty;
            p->qty = quantityText(amountOf(p->qty, kQuantityDecimals).value_or(0) - leg.qty);
            c.note(p->qty == "0" ? RecordedChange::What::Closed : RecordedChange::What::Reduced, id,
                   accountId, quantityText(leg.qty));
            commission = commission.add(commissionSettled(*p, before, p->qty));
            for (auto& e : c.books.executed)
                if (e.positionId == id)
                    e.qty = p->qty;
            c.send(user, {typeField(msg::kPositionReport),
                          {tag::kReportStatus, "73"},
                          {tag::kTime, c.time},
                          {tag::kAccount, std::to_string(accountId)},
                          {tag::kInstrument, instrument->code},
                          {tag::kPositionId, std::to_string(id)},
                          {tag::kPrice, p->openPrice},
                          {tag::kRemainingQuantity, p->qty},
                          {tag::kTransactionTime, c.time}});
        }
        const auto b = find(first->id);
        const auto o = find(leg.id);
        using platform::Decimal;
        const auto units = [&](const std::string& t) {
            return amountOf(t, instrument->decimals).value_or(0);
        };
        Decimal pl =
            Decimal::fromInt64(units(o->openPrice) - units(b->openPrice))
                .multiply(Decimal::fromParts(false, 1, -instrument->decimals))
                .multiply(Decimal::fromString(quantityText(leg.qty)).value_or(Decimal()))
                .multiply(Decimal::fromString(instrument->contractSize).value_or(Decimal::fromInt64(1)));
        if (!b->isBuy)
            pl = pl.negated();
        ServerSettlement s;
        takeProfit(s, *instrument, accountId, pl);
        s.settlementId = c.books.newId();
        s.accountId = accountId;
        s.instrumentId = instrument->id;
        s.refPositionId = first->id;
        s.refClosingPositionId = leg.id;
        s.qty = quantityText(leg.qty);
        s.settledAt = s.closedAt = c.time;
        s.isBuy = b->isBuy;
        s.openPrice = b->openPrice;
        s.closePrice = o->openPrice;
        s.openedAt = b->openedAt;
        s.deliveryMode = b->deliveryMode;
        s.commission = commission.toString();
        c.send(user, settlementFields(s, c.time));
        settle(c, user, std::move(s));
    }
    // Positions closed in full leave the book with their legs; the others' legs follow the quantity.
    std::vector<std::int64_t> touched{first->id};
    for (const auto& leg : others)
        touched.push_back(leg.id);
    for (std::int64_t id : touched) {
        auto p = find(id);
        if (p == positions.end())
            continue;
        if (p->qty == "0") {
            positions.erase(p);
            cancelLegs(c, id, 0);
            continue;
        }
        for (auto& legOrder : c.books.pendingOrders)
            if (legOrder.refPositionId == id && legOrder.remainingQty != p->qty) {
                legOrder.orderQty = legOrder.remainingQty = p->qty;
                c.send(user, orderFields(legOrder, *instrument, 75, c.time, {}));
                c.note(RecordedChange::What::Changed, legOrder.pendingOrderId, legOrder.accountId,
                       legOrder.orderQty);
            }
    }
    answer(0);
}

void OrderEngine::charge(Call& c, const ServerPosition& position) {
    using platform::Decimal;
    const Decimal amount = Decimal::fromString(position.commission).value_or(Decimal());
    if (amount != Decimal()) {
        addToBalance(market_, c.books, position.accountId, amount.negated());
        appendBounded(c.books.charges,
                      ServerCharge{position.accountId, position.positionId, position.commission, c.time});
    }
    c.summarize.insert(position.accountId);
}

void OrderEngine::settle(Call& c, const std::string&, ServerSettlement settlement) {
    using platform::Decimal;
    const int accountId = settlement.accountId;
    addToBalance(market_, c.books, accountId, Decimal::fromString(settlement.pl).value_or(Decimal()));
    appendBounded(c.books.settlements, std::move(settlement));
    c.summarize.insert(accountId);
}

void OrderEngine::sendSummaries(Call& c) {
    for (int accountId : c.summarize) {
        const Account* account = accountOf(accountId);
        if (!account)
            continue;
        c.send(account->user, accountSummaryFields(market_, c.books, *account, c.time));
    }
    c.summarize.clear();
}

std::vector<RecordedRequest> OrderEngine::record(std::size_t from) const {
    return std::as_const(book_).with([&](const Books&) {
        if (from >= record_.size())
            return std::vector<RecordedRequest>{};
        return std::vector<RecordedRequest>(record_.begin() + static_cast<std::ptrdiff_t>(from),
                                            record_.end());
    });
}

EngineReports OrderEngine::clearAccount(int account) {
    const FieldMap none;
    return book_.with([&](Books& books) {
        Call c{books, userOf(account), none, clock_.text(), {}, {}};
        for (std::size_t i = books.positions.size(); i-- > 0;) {
            const ServerPosition& p = books.positions[i];
            std::size_t index = 0;
            if (p.accountId != account || !instrumentOf(p.instrumentId, &index))
                continue;
            const Quote q = prices_.quote(index);
            closePart(c, i, amountOf(p.qty, kQuantityDecimals).value_or(0), p.isBuy ? q.bid : q.ask);
        }
        auto& pending = books.pendingOrders;
        for (auto it = pending.begin(); it != pending.end();) {
            const Instrument* instrument = instrumentOf(it->instrumentId);
            if (it->accountId != account || !instrument) {
                ++it;
                continue;
            }
            ServerPendingOrder gone = *it;
            gone.remainingQty = "0";
            c.send(c.user, orderFields(gone, *instrument, 24, c.time, {}));
            it = pending.erase(it);
        }
        sendSummaries(c);
        return std::move(c.out);
    });
}

EngineReports OrderEngine::onQuote(std::size_t index, const Quote& quote) {
    if (index >= market_.instruments.size() || !marketOpen(index))
        return {};
    const FieldMap none;
    const Instrument& instrument = market_.instruments[index];
    return book_.with([&](Books& books) {
        Call c{books, {}, none, {}, {}, {}};
        // Collected first: a fill adds legs and a close removes them.
        std::vector<std::int64_t> due;
        for (const auto& o : books.pendingOrders)
            if (o.instrumentId == instrument.id &&
                crossed(o, amountOf(o.orderPrice, instrument.decimals).value_or(0), quote))
                due.push_back(o.pendingOrderId);
        if (due.empty())
            return EngineReports{};
        c.time = clock_.text();
        for (std::int64_t id : due) {
            auto it = std::find_if(books.pendingOrders.begin(), books.pendingOrders.end(),
                                   [id](const ServerPendingOrder& o) { return o.pendingOrderId == id; });
            if (it == books.pendingOrders.end())
                continue; // went with its position
            ServerPendingOrder o = *it;
            books.pendingOrders.erase(it);
            const std::int64_t price = o.isBuy ? quote.ask : quote.bid;
            if (o.refPositionId == 0) {
                fill(c, std::move(o), price, {});
                continue;
            }
            auto p = std::find_if(books.positions.begin(), books.positions.end(),
                                  [&](const ServerPosition& x) { return x.positionId == o.refPositionId; });
            const std::string user = userOf(o.accountId);
            ServerPendingOrder filled = o;
            filled.remainingQty = "0";
            c.send(user, orderFields(filled, instrument, 23, c.time, {}));
            if (p == books.positions.end())
                continue;
            cancelLegs(c, o.refPositionId, 0);
            closePart(c, static_cast<std::size_t>(p - books.positions.begin()),
                      amountOf(p->qty, kQuantityDecimals).value_or(0), price);
        }
        sendSummaries(c);
        return std::move(c.out);
    });
}

} // namespace testserver
