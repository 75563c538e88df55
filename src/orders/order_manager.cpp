#include "orders/order_manager.h"

#include "model/position_arithmetic.h"
#include "model/position_quantities.h"
#include "model/price_grid.h"
#include "model/records/account_details.h"
#include "model/records/group_details.h"
#include "model/records/item_details.h"
#include "model/records/session_settings.h"
#include "model/session_model.h"
#include "model/text/formatter.h"
#include "model/text/positional_text.h"
#include "orders/order_numbers.h"
#include "platform/lenient.h"
#include "session/business/order_host.h"

#include <fmt/format.h>

#include <cmath>
#include <map>
#include <optional>
#include <string_view>
#include <tuple>
#include <unordered_set>

namespace tc {

using platform::Decimal;

namespace {

// Absent records read as all zero.
const AccountDetails kNoAccount;
const ItemDetails kNoItem;
const GroupInstruments kNoSettings;

double bidOf(const ItemDetails& item) {
    return (item.Bid.isZero() ? item.Last : item.Bid).toDouble();
}
double askOf(const ItemDetails& item) {
    return (item.Ask.isZero() ? item.Last : item.Ask).toDouble();
}

// A minimum-distance bound and the side of it a price must keep.
struct PriceBound {
    double value = 0;
    bool atMost = false; // price <= value, else price >= value
};

// Entry orders: limits below the market when buying, above when selling; stops the other way.
std::optional<PriceBound> entryBound(std::int32_t orderType, std::int32_t side, const ItemDetails& item,
                                     const GroupInstruments& settings) {
    const bool buy = side == 0;
    if (orderType == 2) {
        const double d = settings.LimitMinPips * item.TickSize.toDouble();
        return buy ? PriceBound{askOf(item) - d, true} : PriceBound{bidOf(item) + d, false};
    }
    if (orderType == 3) {
        const double d = settings.StopMinPips * item.TickSize.toDouble();
        return buy ? PriceBound{askOf(item) + d, false} : PriceBound{bidOf(item) - d, true};
    }
    return std::nullopt;
}

// Take profit and stop loss, for the side that would close the position.
PriceBound protectiveBound(bool takeProfit, std::int32_t protectiveSide, double base, const ItemDetails& item,
                           const GroupInstruments& settings) {
    const bool sell = protectiveSide != 0;
    if (takeProfit) {
        const double d = settings.LimitMinPips * item.TickSize.toDouble();
        return sell ? PriceBound{base + d, false} : PriceBound{base - d, true};
    }
    const double d = settings.StopMinPips * item.TickSize.toDouble();
    return sell ? PriceBound{base - d, true} : PriceBound{base + d, false};
}

std::string boundText(const PriceBound& bound, std::int32_t decimalPlaces, bool withSign) {
    std::string number = Formatter::formatDecimal(bound.value, decimalPlaces);
    if (!withSign)
        return number;
    return (bound.atMost ? "<= " : ">= ") + number;
}

// The bound as the user sees it (written with the instrument's decimals) against the typed price,
// both as decimals, so a price exactly on the bound passes.
bool keepsBound(const std::optional<Decimal>& price, const PriceBound& bound, const std::string& written) {
    const auto limit = strictDecimal(written);
    if (!price || price->isNaN() || !limit)
        return false;
    return bound.atMost ? *price <= *limit : *price >= *limit;
}

// A quantity limit as it is shown: 100 as 100 and 0.5 as 0.5, and a step finer than a millionth
// whole, since the quantity is held to it exactly.
std::string limitText(const Decimal& limit) {
    return limit.toString();
}

bool onGrid(double price, const ItemDetails& item) {
    return CheckTickPrice(price, item.DecimalPlaces, item.TickSize.toDouble()).isZero();
}

} // namespace

struct OrderManager::Context : OrderRecords {
    const AccountDetails& acc() const { return account ? *account : kNoAccount; }
    const ItemDetails& itm() const { return item ? *item : kNoItem; }
    const GroupInstruments& set() const { return settings ? *settings : kNoSettings; }
};

OrderManager::Context OrderManager::contextOf(const Order& order) const {
    return {lookup_.recordsFor(order.ItemCode, order.AccountNumber)};
}

OrderAnswer OrderManager::refuse(std::string_view key, const std::shared_ptr<Order>& order) const {
    return OrderAnswer::refused(std::string(key), host_.textForKey(key), order);
}

OrderAnswer OrderManager::refuse(std::string_view key, std::string_view detail,
                                 const std::shared_ptr<Order>& order) const {
    return OrderAnswer::refused(std::string(key), withDetail(host_.textForKey(key), detail), order);
}

OrderAnswer OrderManager::refuseBracketed(std::string_view key, std::string_view detail,
                                          const std::shared_ptr<Order>& order) const {
    return OrderAnswer::refused(std::string(key), withDetail(host_.textForKey(key), detail, true), order);
}

OrderManager::OrderManager(OrderHost& host) : host_(host), lookup_(host.model()) {}

OrderAnswer OrderManager::Validate(const std::shared_ptr<Order>& order, MarginCheck margin) const {
    if (!order)
        return OrderAnswer::refused({}, {});
    const Order& o = *order;
    if (!host_.isNetworkAvailable())
        return refuse("1007", order);
    // Checked before the trader confirms: an order sent into a silent line could not be accounted for.
    if (!host_.isServerAnswering())
        return refuse("93101", order);
    if (o.ItemCode.empty())
        return refuse("20227", order);
    if (o.AccountNumber.empty())
        return refuse("0335", order);
    if (o.orderType == 0)
        return refuse("1080", order);
    const Context c = contextOf(o);
    if (!(c.acc().availableOrderTypes & 1))
        return refuse("1081", order);
    if (!(c.itm().availableOrderTypes & 1))
        return refuse("1082", order);
    switch (c.acc().tradingStatus) {
    case 2:
    case 6:
        return refuse("1068", order);
    case 3:
        return refuse("0334", order);
    case 4:
        if (!o.isCloseNew)
            return refuse("1068", order);
        break;
    case 5:
        return refuse("0333", order);
    default:
        break;
    }
    if (c.acc().accountAccessType == 3 || (c.acc().accountAccessType == 2 && !o.isCloseNew))
        return refuse("1068", order);
    if (c.itm().instrumentTradingStatus == 2 && !o.isCloseNew)
        return refuse("1068", order);
    // Typed texts that are not one number ("1.2.3") are refused like a zero, never sent.
    const auto price = numberOf(o.OrderPrice);
    if (!price || !(*price > 0))
        return refuse("1035", "0", order);
    // NaN (none given) is not above 0 either.
    if (!(o.OrderQty > Decimal()))
        return refuse("1003", order);
    if (o.isCloseNew) {
        const Decimal previous = o.PreviousOrderQty.isNaN() ? Decimal() : o.PreviousOrderQty;
        if (o.OrderQty > previous)
            return refuse("1030", previous.toString(), order);
    }
    if (!c.settings || !c.settings->isAvailableForTrading)
        return refuse("1069", order);
    if (o.tradingMode != 0)
        if (OrderAnswer shortSell = verifyShortSellAllowed(order); !shortSell)
            return shortSell;
    if (OrderAnswer rights = validateOrderSettingsRights(order); !rights)
        return rights;
    if (o.orderType >= 1 && o.orderType <= 3)
        return VerifyOrder(order, margin);
    return OrderAnswer::ok();
}

OrderAnswer OrderManager::VerifyOrder(const std::shared_ptr<Order>& order, MarginCheck margin) const {
    if (!order)
        return OrderAnswer::refused({}, {});
    const Order& o = *order;
    const Context c = contextOf(o);
    const ItemDetails& item = c.itm();
    const double p = numberOf(o.OrderPrice).value_or(0);
    const double bid = bidOf(item);
    const double ask = askOf(item);

    const auto session = lookup_.sessionSettingsForId(item.CurrentTradeSessionSettingId);
    if (!session)
        return refuse("1049", order);
    switch (o.orderTypeInfo) {
    case 0:
        if (!session->allowNewMarket)
            return refuse(o.isEditBracketOrder ? "1051" : "1050", order);
        break;
    case 1:
        if (!session->allowNewMarket)
            return refuse(o.isEditBracketOrder ? "1051" : o.isEditWorkOrder ? "1053" : "1050", order);
        if (!session->allowNewTpSl)
            return refuse("1051", order);
        break;
    case 2:
        if (!session->allowNewContigent)
            return refuse("1052", order);
        break;
    case 3:
        if (!session->allowNewContigent)
            return refuse("1052", order);
        if (!session->allowNewTpSl)
            return refuse("1051", order);
        break;
    default:
        break;
    }
    if (!c.group || !c.group->TradingEnabled)
        return refuse("1068", order);
    if (!c.settings)
        return refuse("1075", order);
    const GroupInstruments& settings = *c.settings;
    const bool closesRemainder = o.isCloseNew && o.PreviousOrderQty == o.OrderQty;
    if (const auto breach = quantityBreach(o.OrderQty, settings, closesRemainder)) {
        using Rule = QuantityBreach::Rule;
        const char* key = breach->rule == Rule::AboveMaximum   ? "1023"
                          : breach->rule == Rule::BelowMinimum ? "1024"
                                                               : "1034";
        return refuseBracketed(key, limitText(breach->limit), order);
    }
    const bool waivesDistances = (item.orderSettings2 & 1) != 0;
    const bool enforcesBand = (item.orderSettings2 & 2) != 0;
    if (isContingentOrder(o)) {
        if (!onGrid(p, item))
            return refuse("0423", order);
        if (!waivesDistances) {
            const PriceBound bound = *entryBound(o.orderType, o.tradingMode, item, settings);
            const std::string written = boundText(bound, item.DecimalPlaces, false);
            if (!keepsBound(o.OrderPrice, bound, written)) {
                const bool buy = o.tradingMode == 0;
                const char* key = o.orderType == 2 ? (buy ? "1039" : "1038") : (buy ? "1042" : "1043");
                return refuse(key, written, order);
            }
        }
        if (enforcesBand)
            if (OrderAnswer band = verifyCircuitLimit(c.item.get(), order, p); !band)
                return band;
    }
    if (isOrderAlongWithTPSL(o)) {
        double base = p;
        if (!o.isEditBracketOrder && o.orderType == 1)
            base = closingQuote(o.tradingMode, bid, ask);
        if (OrderAnswer protective = checkProtectivePrices(order, c, base); !protective)
            return protective;
        if (enforcesBand)
            if (OrderAnswer band = verifyCircuitLimit(c.item.get(), order, base); !band)
                return band;
    }
    // A close is no new order: its refusal names the close.
    if (margin == MarginCheck::OfTheOrder && !CheckMargin(o))
        return refuse(o.isCloseNew ? "95408" : "1067", order);
    return OrderAnswer::ok();
}

OrderAnswer OrderManager::checkProtectivePrices(const std::shared_ptr<Order>& order, const Context& c,
                                                double base) const {
    const Order& o = *order;
    const ItemDetails& item = c.itm();
    // A new order is protected by the opposite side; an edited bracket already names that side.
    const std::int32_t protectiveSide = o.isEditBracketOrder ? o.tradingMode : (o.tradingMode == 0 ? 1 : 0);
    const bool waivesDistances = (item.orderSettings2 & 1) != 0;
    const bool sells = protectiveSide != 0;
    if (o.isTakeProfitEnabled) {
        const auto price = numberOf(o.LimitPrice);
        if (!price || !onGrid(*price, item))
            return refuse("20232", order);
        if (!waivesDistances) {
            const PriceBound bound = protectiveBound(true, protectiveSide, base, item, c.set());
            const std::string written = boundText(bound, item.DecimalPlaces, false);
            if (!keepsBound(o.LimitPrice, bound, written))
                return refuse(sells ? "20231" : "20233", written, order);
        }
    }
    if (o.isStopLossEnabled) {
        const auto price = numberOf(o.StopPrice);
        if (!price || !onGrid(*price, item))
            return refuse("20229", order);
        if (!waivesDistances) {
            const PriceBound bound = protectiveBound(false, protectiveSide, base, item, c.set());
            const std::string written = boundText(bound, item.DecimalPlaces, false);
            if (!keepsBound(o.StopPrice, bound, written))
                return refuse(sells ? "20230" : "20228", written, order);
        }
    }
    return OrderAnswer::ok();
}

bool OrderManager::hasOrderSettingsRights(const GroupInstruments* settings, std::int32_t mask) {
    return settings && (settings->availableOrderSettings & mask) != 0;
}

OrderAnswer OrderManager::validateOrderSettingsRights(const std::shared_ptr<Order>& order) const {
    if (!order)
        return OrderAnswer::refused({}, {});
    const Context c = contextOf(*order);
    const bool buy = order->tradingMode == 0;
    if (!hasOrderSettingsRights(c.settings, buy ? 1 : 2))
        return refuse(buy ? "1106" : "1107", order);
    return OrderAnswer::ok();
}

OrderAnswer OrderManager::validateOffsetPosition(std::string_view itemCode,
                                                 std::string_view accountNumber) const {
    const auto account = lookup_.accountForId(accountNumber);
    const auto item = lookup_.instrumentForCode(itemCode);
    const AccountDetails& acc = account ? *account : kNoAccount;
    const ItemDetails& itm = item ? *item : kNoItem;
    const auto session = lookup_.sessionSettingsForId(itm.CurrentTradeSessionSettingId);
    if (!session)
        return refuse("1049", nullptr);
    if (session->settingsID != 0 && session->settingsID != 1)
        return refuse("1071", nullptr);
    switch (acc.tradingStatus) {
    case 2:
    case 4:
    case 6:
        return refuse("1072", nullptr);
    case 3:
        return refuse("0334", nullptr);
    case 5:
        return refuse("0333", nullptr);
    default:
        break;
    }
    if (acc.accountAccessType == 3 || acc.accountAccessType == 2)
        return refuse("1072", nullptr);
    const auto group = account ? lookup_.groupForId(acc.GroupId) : nullptr;
    if (!group || !group->TradingEnabled)
        return refuse("1072", nullptr);
    if (!group->groupInstrument(itm.InstrumentId))
        return refuse("1075", nullptr);
    return OrderAnswer::ok();
}

platform::Decimal OrderManager::CheckTickPrice(double price, std::int32_t decimalPlaces, double tickSize) {
    return tc::CheckTickPrice(price, decimalPlaces, tickSize);
}

double OrderManager::CalculateContingentPrice(double price, double offset, bool add) {
    return tc::CalculateContingentPrice(price, offset, add);
}

double OrderManager::doPriceTickCorrection(double tickSize, double price, std::uint32_t decimalPlaces,
                                           bool add) {
    return tc::doPriceTickCorrection(tickSize, price, decimalPlaces, add);
}

double OrderManager::getFluctuationLimitUpPrice(const ItemDetails* item) {
    return tc::getFluctuationLimitUpPrice(item);
}

double OrderManager::getFluctuationLimitDownPrice(const ItemDetails* item) {
    return tc::getFluctuationLimitDownPrice(item);
}

bool OrderManager::verifyFluctuationLimit(const ItemDetails* item, double price, double* up, double* down) {
    return tc::verifyFluctuationLimit(item, price, up, down);
}

OrderAnswer OrderManager::verifyCircuitLimit(const ItemDetails* item, const std::shared_ptr<Order>& order,
                                             double price) const {
    double up = 0;
    double down = 0;
    if (tc::verifyFluctuationLimit(item, price, &up, &down))
        return OrderAnswer::ok();
    const std::int32_t decimals = item ? item->DecimalPlaces : 0;
    return OrderAnswer::refused("1202",
                                fmt::format("{}\n{} : {}\t{} : {}", host_.textForKey("1202"),
                                            host_.textForKey("0760"), Formatter::formatDecimal(up, decimals),
                                            host_.textForKey("0761"),
                                            Formatter::formatDecimal(down, decimals)),
                                order);
}

std::string OrderManager::OrderTypeChange(std::int32_t orderType, std::int32_t side,
                                          std::string_view itemCode, std::int32_t accountNo,
                                          bool withSign) const {
    Order probe;
    probe.ItemCode = std::string(itemCode);
    probe.AccountNumber = std::to_string(accountNo);
    const Context c = contextOf(probe);
    const auto bound = entryBound(orderType, side, c.itm(), c.set());
    if (!bound)
        return "";
    return boundText(*bound, c.itm().DecimalPlaces, withSign);
}

std::string OrderManager::UpdateTakeProfitAndStopLoss(std::int32_t protectiveSide, std::string_view itemCode,
                                                      bool takeProfit, std::int32_t accountNo,
                                                      std::int32_t orderType, std::string_view price,
                                                      bool withSign) const {
    Order probe;
    probe.ItemCode = std::string(itemCode);
    probe.AccountNumber = std::to_string(accountNo);
    const Context c = contextOf(probe);
    const ItemDetails& item = c.itm();
    // The hint follows the price as it is being typed, so a partial text reads as far as it goes.
    const double base =
        orderType == 1 ? (protectiveSide != 0 ? bidOf(item) : askOf(item)) : platform::lenientReal(price);
    return boundText(protectiveBound(takeProfit, protectiveSide, base, item, c.set()), item.DecimalPlaces,
                     withSign);
}

void OrderManager::getTotalLotsAndCost(std::string_view itemCode, std::string_view accountNumber,
                                       std::int32_t deliveryMode, LotTotals& totals) const {
    const auto positions = lookup_.getOpenOrderCollection();
    addLotTotals(positions, itemCode, accountNumber, deliveryMode, totals);
}

void OrderManager::getTotalLots(std::string_view itemCode, std::string_view accountNumber,
                                std::int32_t deliveryMode, double* totalBuy, double* totalSell) const {
    LotTotals totals;
    getTotalLotsAndCost(itemCode, accountNumber, deliveryMode, totals);
    if (totalBuy)
        *totalBuy += totals.buyLots;
    if (totalSell)
        *totalSell += totals.sellLots;
}

double OrderManager::lotMarginOf(const Context& c, std::int32_t deliveryMode, const LotTotals& totals) const {
    const GroupInstruments& settings = c.set();
    LotMarginInputs in;
    in.totalBuy = totals.buyLots;
    in.totalSell = totals.sellLots;
    in.marginRequired = getMargin(c.settings, deliveryMode);
    in.marginMode = settings.marginCalculationMode;
    in.overnightMargin = settings.OverNightMargin.toDouble();
    in.contractSize = c.itm().ContractSize.toDouble();
    in.totalOrderCost = totals.buyCost;
    in.isEod = false;
    in.liquidationMargin = settings.LiquidationMargin.toDouble();
    in.totalSellOrderCost = totals.sellCost;
    in.sellMarginRequired = settings.InitialSellMargin.toDouble();
    in.isOneSideMargin = false;
    in.marginFormulaId = c.itm().MarginFormulaId;
    in.baseCurrencyRate = totals.rateCost;
    return tc::calculateMargin(in);
}

bool OrderManager::CheckMargin(const Order& order) const {
    const Context c = contextOf(order);
    const double m = getMargin(c.settings, order.deliveryMode);
    const double q = numberOf(order.OrderQty).value_or(0);
    if (order.isCancelOrder)
        return true;
    if (q * m <= c.acc().AvailableMargin)
        return true;
    LotTotals t;
    getTotalLotsAndCost(order.ItemCode, order.AccountNumber, order.deliveryMode, t);
    const bool buy = order.tradingMode == 0;
    // An order that only reduces the opposite side needs no new margin.
    if (buy ? t.sellLots >= t.buyLots + q : t.buyLots >= t.sellLots + q)
        return true;
    const double before = lotMarginOf(c, order.deliveryMode, t);
    const double price = numberOf(order.OrderPrice).value_or(0);
    if (buy) {
        t.buyLots += q;
        t.buyCost += q * price;
    } else {
        t.sellLots += q;
        t.sellCost += q * price;
    }
    t.rateCost += q * order.BaseCurrencyRate;
    const double after = lotMarginOf(c, order.deliveryMode, t);
    return c.acc().Equity > c.acc().UsedMargin.toDouble() - before + after;
}

namespace {
// Account, instrument and delivery mode compared as views, so the book's positions are looked up
// without copying their strings.
struct HoldingKeyLess {
    using is_transparent = void;
    using View = std::tuple<std::string_view, std::string_view, std::int32_t>;
    template <class Key>
    static View view(const Key& key) {
        return {std::get<0>(key), std::get<1>(key), std::get<2>(key)};
    }
    template <class A, class B>
    bool operator()(const A& a, const B& b) const {
        return view(a) < view(b);
    }
};
} // namespace

std::vector<std::string>
OrderManager::closesRefusedForMargin(std::span<const std::shared_ptr<const Order>> closing) const {
    // One entry per account, instrument and delivery mode the set closes in.
    struct Holding {
        std::shared_ptr<const Order> first;
        LotTotals before;
        LotTotals after;
        std::vector<std::string> closed;
        bool rises = false;
    };
    std::map<std::tuple<std::string, std::string, std::int32_t>, Holding, HoldingKeyLess> holdings;
    std::unordered_set<const Order*> closed;
    for (const auto& p : closing)
        if (p && closed.insert(p.get()).second) {
            Holding& h = holdings[{p->AccountNumber, p->ItemCode, p->deliveryMode}];
            if (!h.first)
                h.first = p;
            h.closed.push_back(p->OpenPositionId);
        }
    // One pass over the book, each position to its holding: a pass for each holding the set touches
    // held the main queue at the Send of a Close All over a large book.
    const auto held = lookup_.getOpenOrderCollection();
    for (const auto& p : held) {
        if (!p)
            continue;
        ++positionsRead_;
        const auto at = holdings.find(HoldingKeyLess::View(p->AccountNumber, p->ItemCode, p->deliveryMode));
        if (at == holdings.end())
            continue;
        const auto& [accountNumber, itemCode, deliveryMode] = at->first;
        addLotTotals(std::span(&p, 1), itemCode, accountNumber, deliveryMode, at->second.before);
        if (!closed.contains(p.get()))
            addLotTotals(std::span(&p, 1), itemCode, accountNumber, deliveryMode, at->second.after);
    }
    // Per account: its used margin once the set has closed.
    std::map<std::string, double> usedAfter;
    for (auto& [key, h] : holdings) {
        const Context c = contextOf(*h.first);
        const double before = lotMarginOf(c, h.first->deliveryMode, h.before);
        const double after = lotMarginOf(c, h.first->deliveryMode, h.after);
        h.rises = after > before;
        const auto at = usedAfter.try_emplace(std::get<0>(key), c.acc().UsedMargin.toDouble()).first;
        at->second += after - before;
    }
    std::vector<std::string> refused;
    for (const auto& [key, h] : holdings) {
        if (!h.rises || contextOf(*h.first).acc().Equity > usedAfter[std::get<0>(key)])
            continue;
        refused.insert(refused.end(), h.closed.begin(), h.closed.end());
    }
    return refused;
}

double OrderManager::hedgeMarginOf(const Order& order, const AccountDetails* account, double totalBuy,
                                   double totalSell) const {
    const auto item = lookup_.instrumentForCode(order.ItemCode);
    const auto group = account ? lookup_.groupForId(account->GroupId) : nullptr;
    const GroupInstruments* settings =
        group ? group->groupInstrument(item ? item->InstrumentId : 0) : nullptr;
    const double percent = settings ? settings->LiquidationMargin.toDouble() : 0;
    const auto perLot = order.GetMarginForSingleLot(settings, item ? *item : kNoItem);
    const double rate = perLot ? perLot->toDouble() : 0;
    const bool netOnly = (account ? account->HedgeModeId : kNoAccount.HedgeModeId) != 1;
    return Hedge(account, totalBuy, totalSell, rate, percent, netOnly, false);
}

void OrderManager::CalcHedgeMargin(const Order& order) const {
    const auto account = lookup_.accountForId(std::to_string(currentAccount_));
    const AccountDetails& acc = account ? *account : kNoAccount;
    double buy = 0;
    double sell = 0;
    getTotalLots(order.ItemCode, std::to_string(acc.AccountId), order.deliveryMode, &buy, &sell);
    SessionModel::file(
        host_.model().HedgeMarginCollection, fmt::format("{}#{}", order.ItemCode, order.deliveryMode),
        fmt::format("{:.2f}", hedgeMarginOf(order, account.get(), buy, sell)), "HedgeMarginCollection");
}

platform::OrderedMap<std::string, std::string> OrderManager::hedgeMargins() const {
    platform::OrderedMap<std::string, std::string> out;
    const auto account = lookup_.accountForId(std::to_string(currentAccount_));
    if (!account)
        return out;
    const std::string accountNumber = std::to_string(account->AccountId);
    // One pass: the lots of each instrument and delivery mode, and its last position, whose
    // per-lot margin the figure takes as when every position is worked out in turn.
    struct Held {
        LotTotals lots;
        const Order* last = nullptr;
    };
    platform::OrderedMap<std::string, Held> held;
    const auto positions = lookup_.getOpenOrderCollection();
    for (const auto& position : positions) {
        if (!position || position->AccountNumber != accountNumber)
            continue;
        Held& h = held[fmt::format("{}#{}", position->ItemCode, position->deliveryMode)];
        addLotTotals(std::span(&position, 1), position->ItemCode, accountNumber, position->deliveryMode,
                     h.lots);
        h.last = position.get();
    }
    out.reserve(held.size());
    for (const auto& [key, h] : held)
        out.insert_or_assign(key, fmt::format("{:.2f}", hedgeMarginOf(*h.last, account.get(), h.lots.buyLots,
                                                                      h.lots.sellLots)));
    return out;
}

double OrderManager::freeSellLots(std::string_view itemCode, std::string_view accountNumber,
                                  std::int32_t deliveryMode, std::string_view editedOrderId,
                                  std::string_view editedPositionId) const {
    LotTotals t;
    getTotalLotsAndCost(itemCode, accountNumber, deliveryMode, t);
    double plain = 0;
    // Lots the edited order (or the edited position's protective leg) already holds.
    double own = 0;
    // One protective leg per position: a later leg of the same position replaces the earlier.
    std::map<std::string, double, std::less<>> legs;
    for (const auto& working : lookup_.getPendingOrderCollection()) {
        if (!working || working->tradingMode != 1 || working->deliveryMode != deliveryMode ||
            working->ItemCode != itemCode || working->AccountNumber != accountNumber)
            continue;
        const double lots = working->RemainingQty.toDouble();
        if (!editedOrderId.empty() && working->PendingOrderId == editedOrderId) {
            own = lots;
            continue;
        }
        if (platform::lenientInteger(working->RefPositionIdOfBracket) < 1) {
            plain += lots;
        } else if (editedPositionId.empty() || working->RefPositionIdOfBracket != editedPositionId) {
            legs.insert_or_assign(working->RefPositionIdOfBracket, lots);
        } else {
            own = lots;
        }
    }
    double protective = 0;
    for (const auto& [position, lots] : legs)
        protective += lots;
    // The others' commitments may exceed the long lots (after a stop-out, or a close from another
    // terminal); the edited order's own lots stay free for its own cancel or reduction all the same.
    const double free = t.buyLots - (plain + own + t.sellLots + protective);
    if (editedOrderId.empty() && editedPositionId.empty())
        return free;
    return free > 0 ? free + own : own;
}

double OrderManager::getAllowedSellLots(std::string_view itemCode, std::string_view accountNumber,
                                        std::int32_t deliveryMode) const {
    return freeSellLots(itemCode, accountNumber, deliveryMode, {}, {});
}

OrderAnswer OrderManager::verifyShortSellAllowed(const std::shared_ptr<Order>& order) const {
    if (!order)
        return OrderAnswer::refused({}, {});
    const Order& o = *order;
    if (o.tradingMode == 0)
        return OrderAnswer::ok();
    const Context c = contextOf(o);
    if (c.settings && c.settings->AllowShortSelling)
        return OrderAnswer::ok();
    if (isOrderAlongWithTPSL(o))
        return OrderAnswer::ok();
    // The edited order's id travels as the request's order number when the record has none.
    const auto idOf = [&o](const std::string& own) -> std::string_view {
        return own.empty() ? std::string_view(o.LiquidateOrderNumber) : std::string_view(own);
    };
    const std::string_view editedOrder = o.isEditWorkOrder ? idOf(o.PendingOrderId) : std::string_view();
    const std::string_view editedPosition =
        o.isEditBracketOrder ? idOf(o.OpenPositionId) : std::string_view();
    const double free =
        freeSellLots(o.ItemCode, o.AccountNumber, o.deliveryMode, editedOrder, editedPosition);
    if (numberOf(o.OrderQty).value_or(0) > free)
        return refuse("1196", order);
    return OrderAnswer::ok();
}

} // namespace tc
