#include "model/model_dump.h"

#include "model/records/account_details.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "model/session_model.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <memory>
#include <optional>
#include <string_view>
#include <type_traits>
#include <vector>

namespace tc {

namespace {

// TC_FOR_EACH(m, a, b, ...) expands to m(a) m(b) ...: each record's fields are named once.
#define TC_PARENS ()
#define TC_EXPAND(...) TC_EXPAND3(TC_EXPAND3(TC_EXPAND3(TC_EXPAND3(__VA_ARGS__))))
#define TC_EXPAND3(...) TC_EXPAND2(TC_EXPAND2(TC_EXPAND2(TC_EXPAND2(__VA_ARGS__))))
#define TC_EXPAND2(...) TC_EXPAND1(TC_EXPAND1(TC_EXPAND1(TC_EXPAND1(__VA_ARGS__))))
#define TC_EXPAND1(...) __VA_ARGS__
#define TC_FOR_EACH(m, ...) __VA_OPT__(TC_EXPAND(TC_FOR_EACH_ONE(m, __VA_ARGS__)))
#define TC_FOR_EACH_ONE(m, a, ...) m(a) __VA_OPT__(TC_FOR_EACH_AGAIN TC_PARENS(m, __VA_ARGS__))
#define TC_FOR_EACH_AGAIN() TC_FOR_EACH_ONE
// A line of record `r` with the named fields, in the order given.
#define TC_FIELD(name) .f(#name, r.name)
#define TC_LINE(prefix, ...) Line(out, prefix) TC_FOR_EACH(TC_FIELD, __VA_ARGS__)

// One record's line: "<prefix> name=value name=value ...".
class Line {
public:
    Line(std::string& out, std::string_view prefix) : out_(out) { out_ += prefix; }
    ~Line() { out_ += '\n'; }

    template <class T>
    Line& f(std::string_view name, const T& value) {
        out_ += ' ';
        out_ += name;
        out_ += '=';
        put(value);
        return *this;
    }

private:
    void put(bool v) { out_ += v ? "YES" : "NO"; }
    void put(double v) {
        if (std::isnan(v)) {
            out_ += "nan";
            return;
        }
        char buf[32];
        auto r = std::to_chars(buf, buf + sizeof buf, v);
        out_.append(buf, r.ptr);
    }
    void put(float v) { put(static_cast<double>(v)); }
    // Stored figures print as their doubles did, without quotes.
    void put(const platform::CompactDecimal& v) { out_ += v.toString(); }
    template <class I>
    requires std::is_integral_v<I>
    void put(I v) {
        char buf[24];
        auto r = std::to_chars(buf, buf + sizeof buf, v);
        out_.append(buf, r.ptr);
    }
    void put(const std::string& s) { quote(s); }
    void put(const platform::Decimal& d) { quote(d.toString()); }
    void put(const std::optional<platform::Decimal>& d) { quote(d ? d->toString() : std::string()); }
    void put(const std::optional<WallTime>& t) { quote(displayDateTime(t)); }
    void put(const std::optional<CalibratedColor>& c) {
        if (!c) {
            out_ += "none";
            return;
        }
        put(c->red);
        out_ += ',';
        put(c->green);
        out_ += ',';
        put(c->blue);
        out_ += ',';
        put(c->alpha);
    }
    void quote(std::string_view s) {
        static constexpr char kHex[] = "0123456789abcdef";
        out_ += '"';
        for (unsigned char c : s) {
            if (c == '"' || c == '\\') {
                out_ += '\\';
                out_ += static_cast<char>(c);
            } else if (c < 0x20 || c == 0x7f) {
                out_ += "\\x";
                out_ += kHex[c >> 4];
                out_ += kHex[c & 15];
            } else {
                out_ += static_cast<char>(c);
            }
        }
        out_ += '"';
    }

    std::string& out_;
};

std::string keyed(std::string_view collection, std::string_view key) {
    std::string s(collection);
    s += '[';
    s += key;
    s += ']';
    return s;
}

// The entries of an ordered map in the requested order.
template <class Map>
std::vector<const typename Map::value_type*> entries(const Map& map, DumpOrder order) {
    std::vector<const typename Map::value_type*> out;
    out.reserve(map.size());
    for (const auto& e : map)
        out.push_back(&e);
    if (order == DumpOrder::SortedByKey)
        std::stable_sort(out.begin(), out.end(), [](auto* a, auto* b) { return a->first < b->first; });
    return out;
}

void dumpUser(std::string& out, const UserInfo* u) {
    if (!u) {
        out += "userInfo none\n";
        return;
    }
    const UserInfo& r = *u;
    TC_LINE("userInfo", UserId, LastRefId, DdeEnabled, UserEnabled, UserTypeId, NewRefId, ForceLogoutRefId,
            ForceLogoutLoadServerId, AppModeId, CanChangePassword, OfflineMessageCount, tradePubPort,
            marketDepthPort, hdServerPort, productID, systemCurrencyId);
}

void dumpItem(std::string& out, std::string_view prefix, const ItemDetails& r) {
    const auto calc = r.CalculationItems.lock();
    TC_LINE(prefix, InstrumentId, Name, Code, CurrencyID, Enabled, InstrumentTypeId, InstrumentTypeName,
            TickSize, Point, DecimalPlaces, MonthCode, ContractSize, UnitId, TradingStatusId,
            IsAvailableForWatchlist, UnderlyingInstrumentId, MaxUpdateFrequency, CutOffLimitPercentCP, FND,
            LTD, CircuitLimit, PLCalcModeId, Ask, Bid, High, Low, Last, PrevClose, DayOpen, UpdateTime,
            isWatchlistSymbol, isWatchlistSymbolTemp, CurrentTradeSessionSettingId, Open, previousBid,
            previousAsk, BidSpread, AskSpread, SpreadType, instrumentTradingStatus, availableOrderTypes,
            HedgeModeId, MaxHoldingDays, HighlightColor, isPriceUpdateReceived, availableOrderSettings,
            isAvailableForTrading, marketID, exchangeName, descriptions, mostSignificantDigitLength,
            leastSignificantDigitLength, priceTick, circuitLimitUp, circuitLimitDown, iconResource,
            priceUnitID, priceUnitValue, extraInfo, orderSettings2, BaseCurrencyId, MarginFormulaId)
        .f("CalculationItems", calc ? calc->Code : std::string("-"));
}

void dumpGroup(std::string& out, std::string_view key, const GroupDetails& group, DumpOrder order) {
    const std::string prefix = keyed("GroupDetailCollection", key);
    {
        const GroupDetails& r = group;
        TC_LINE(prefix, GroupId, Name, TradingEnabled, CompanyId, IsNewsEnabled, IsMailEnabled, IsChatEnabled,
                IsEAEnabled, InstrumentLimit, WatchlistItemLimit, MaxOrderQty, OrderQtyStep,
                IsTrailingStopEnabled, MarginCallLevel, StopOutLevel, LeverageOnFProfit, RevLeverageOnFLoss,
                ReportHistoryDaysLimit, SendMailReports, SendExecutionSMS, CreditRating)
            .f("GroupInstrumentCount", r.GroupInstrumentCollection.size());
    }
    // Listed under the decimal text of their ids, as the text-keyed collections are.
    std::vector<std::pair<std::string, const GroupInstruments*>> settings;
    for (const GroupInstruments& s : group.GroupInstrumentCollection)
        settings.emplace_back(std::to_string(s.InstrumentId), &s);
    if (order == DumpOrder::SortedByKey)
        std::stable_sort(settings.begin(), settings.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [key, entry] : settings) {
        const std::string inner = prefix + "." + keyed("GroupInstrumentCollection", key);
        const GroupInstruments& r = *entry;
        TC_LINE(inner, GroupId, InstrumentId, OrderQtyStep, MaxOrderQty, MinOrderQty, InitialMargin,
                InitialSellMargin, LimitOrderMargin, LiquidationMargin, SpreadBid, SpreadAsk, SpreadTypeId,
                BuyInterestRate, SellInterestRate, LimitMinPips, StopMinPips, AllowShortSelling,
                IntradayOrderMargin, BTSTOrderMargin, OverNightMargin, Commission, PLCalcModeId,
                AutoExecutionModeId, MarginCalcModeId, groupdetailsid, marginCalculationMode,
                isAvailableForTrading, availableOrderSettings);
    }
}

void dumpAccount(std::string& out, std::string_view prefix, const AccountDetails& r) {
    const auto& c = r.tradeCurrency;
    TC_LINE(prefix, AccountId, GroupId, AccountName, AccountEnabled, BranchId, Balance, UnrealisedPL,
            UsedMargin, AvailableMargin, Equity, InstrumentLimit, WatchlistItemLimit, AutoExecutionModeId,
            TradeRouteId, HedgeModeId, CollateralSecurity, LeverageOnPositions, AccountAccessTypeId,
            TradingStatusId, MarginStatus, AccumulatingStorage, Leverage, tradingStatus,
            previousTradingStatus, accountAccessType, availableOrderTypes, accountSettings,
            accountMarginStatus, previousAccountMarginStatus, tradeAccountType, currencyID,
            primaryAccountHolderUserid, oneSideMargin, accountSettings2)
        .f("tradeCurrency", c ? std::to_string(c->currencyID) + ":" + c->currencyCode : std::string("-"));
}

void dumpCurrency(std::string& out, std::string_view prefix, const TradeCurrency& r) {
    const bool isList = dynamic_cast<const CurrenyList*>(&r) != nullptr;
    TC_LINE(prefix, currencyID, currencyCode, instrumentID, bidRate, askRate, conversionMode, isDirect,
            depositRate)
        .f("kind", std::string(isList ? "CurrenyList" : "TradeCurrency"));
}

void dumpSettings(std::string& out, std::string_view prefix, const SessionSettings& r) {
    TC_LINE(prefix, sessionColor, settingsID, settingsName, editLimitOrder, editMarketMakerOrder,
            editMarketOrder, enterLimitOrder, enterMarketMakerOrder, enterMarketOrder, executeOrders,
            matchMMWithMMOrders, publishMarketData, publishTradeData, useELP, allowNewMarket,
            allowNewContigent, allowEditContigent, allowNewTpSl, marketTradingStatus);
}

void dumpResource(std::string& out, std::string_view prefix, const ResourceDetails& r) {
    TC_LINE(prefix, resourceId, caption, URL, iconResourceId, groupName, resourceType, productId, isNew,
            showFocus, enabled, extraData);
}

void dumpOrder(std::string& out, std::string_view prefix, const Order& r) {
    TC_LINE(prefix, tradingMode, orderType, deliveryMode, timeInForce, orderRejectReason, orderTypeInfo,
            AccountNumber, RequestId, ItemCode, OrderQty, OrderPrice, LimitPrice, StopPrice, Spread, Bid, Ask,
            Last, High, Low, ItemTime, CurrentStatus, orderTypeTag, deliveryModeTag, tradingModeTag,
            timeInForceTag, TicketId, RemainingQty, TransactionDateTime, OrderStatus, OrderRouteId,
            PendingOrderId, ExecutionId, Commission, OpenPositionId, SettledQty, SettledPL, ClosingPositionId,
            SettlementId, SettledPrice, UnrealisedPL, Storage, ExpiryDate, ValueDate, RefPositionIdOfBracket,
            CancelledOrderId, isCloseNew, isEditWorkOrder, isEditBracketOrder, LiquidateOrderNumber,
            isTakeProfitEnabled, isStopLossEnabled, EquityHitPrice, PreviousOrderQty, CurrencyRate,
            OtherCharges, deviation, accountCurrencyRate, isCancelOrder, validationResult, BaseCurrencyRate);
}

// Each entry of a keyed collection of records, a null entry shown as such.
template <class V, class Dump>
void dumpCollection(std::string& out, std::string_view name, const SessionModel::Collection<V>& collection,
                    DumpOrder order, Dump dump) {
    out += std::string(name) + " count=" + std::to_string(collection.size()) + "\n";
    for (const auto* e : entries(collection, order)) {
        const std::string prefix = keyed(name, e->first);
        if (e->second)
            dump(prefix, *e->second);
        else
            out += prefix + " null\n";
    }
}

void dumpOrders(std::string& out, std::string_view name, const SessionModel::OrderList& orders) {
    out += std::string(name) + " count=" + std::to_string(orders.size()) + "\n";
    for (std::size_t i = 0; i < orders.size(); ++i) {
        const std::string prefix = std::string(name) + "#" + std::to_string(i);
        if (orders[i])
            dumpOrder(out, prefix, *orders[i]);
        else
            out += prefix + " null\n";
    }
}

} // namespace

std::string dumpSessionModel(const SessionModel& m, DumpOrder order) {
    std::string out;
    dumpUser(out, m.userInfo.get());
    dumpCollection(
        out, "ItemTypeCollection", m.ItemTypeCollection, order,
        [&](const std::string& p, const ItemType& r) { TC_LINE(p, InstrumentTypeId, InstrumentTypeName); });
    dumpCollection(out, "SessionSettingCollection", m.SessionSettingCollection, order,
                   [&](const std::string& p, const SessionSettings& s) { dumpSettings(out, p, s); });
    dumpCollection(out, "ItemCollection", m.ItemCollection, order,
                   [&](const std::string& p, const ItemDetails& i) { dumpItem(out, p, i); });
    out += "symbolTypeCollection count=" + std::to_string(m.symbolTypeCollection.size()) + "\n";
    for (const auto* e : entries(m.symbolTypeCollection, order))
        Line(out, keyed("symbolTypeCollection", e->first)).f("value", e->second);
    out += "GroupDetailCollection count=" + std::to_string(m.GroupDetailCollection.size()) + "\n";
    for (const auto* e : entries(m.GroupDetailCollection, order)) {
        if (e->second)
            dumpGroup(out, e->first, *e->second, order);
        else
            out += keyed("GroupDetailCollection", e->first) + " null\n";
    }
    dumpCollection(out, "AccountDetailCollection", m.AccountDetailCollection, order,
                   [&](const std::string& p, const AccountDetails& a) { dumpAccount(out, p, a); });
    dumpCollection(out, "tradeCurrencyCollection", m.tradeCurrencyCollection, order,
                   [&](const std::string& p, const TradeCurrency& c) { dumpCurrency(out, p, c); });
    dumpCollection(out, "loginInfoMessageCollection", m.loginInfoMessageCollection, order,
                   [&](const std::string& p, const LoginInfoMessage& r) {
                       TC_LINE(p, DisplayMode, Message, ErrorCode, serverError);
                   });
    dumpCollection(out, "resourceCollection", m.resourceCollection, order,
                   [&](const std::string& p, const ResourceDetails& r) { dumpResource(out, p, r); });
    dumpOrders(out, "PendingOrderCollection", m.PendingOrderCollection);
    dumpOrders(out, "CancelledOrderCollection", m.CancelledOrderCollection);
    dumpOrders(out, "OpenOrderCollection", m.OpenOrderCollection);
    dumpOrders(out, "SettledOrderCollection", m.SettledOrderCollection);
    return out;
}

} // namespace tc
