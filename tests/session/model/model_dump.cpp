#include "session/model/model_dump.h"

#include "session/model/session_model.h"
#include "session/records/account_details.h"
#include "session/records/item_details.h"
#include "session/records/order.h"

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
    template <class I>
    requires std::is_integral_v<I>
    void put(I v) {
        char buf[24];
        auto r = std::to_chars(buf, buf + sizeof buf, v);
        out_.append(buf, r.ptr);
    }
    void put(const std::string& s) { quote(s); }
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
    Line(out, "userInfo")
        .f("UserId", u->UserId)
        .f("LastRefId", u->LastRefId)
        .f("DdeEnabled", u->DdeEnabled)
        .f("UserEnabled", u->UserEnabled)
        .f("UserTypeId", u->UserTypeId)
        .f("NewRefId", u->NewRefId)
        .f("ForceLogoutRefId", u->ForceLogoutRefId)
        .f("ForceLogoutLoadServerId", u->ForceLogoutLoadServerId)
        .f("AppModeId", u->AppModeId)
        .f("CanChangePassword", u->CanChangePassword)
        .f("OfflineMessageCount", u->OfflineMessageCount)
        .f("tradePubPort", u->tradePubPort)
        .f("marketdepthPort", u->marketdepthPort)
        .f("hdServerPort", u->hdServerPort)
        .f("productID", u->productID)
        .f("systemCurrencyId", u->systemCurrencyId);
}

void dumpItem(std::string& out, std::string_view prefix, const ItemDetails& i) {
    const auto calc = i.CalculationItems.lock();
    Line(out, prefix)
        .f("InstrumentId", i.InstrumentId)
        .f("Name", i.Name)
        .f("Code", i.Code)
        .f("CurrencyID", i.CurrencyID)
        .f("Enabled", i.Enabled)
        .f("InstrumentTypeId", i.InstrumentTypeId)
        .f("InstrumentTypeName", i.InstrumentTypeName)
        .f("TickSize", i.TickSize)
        .f("Point", i.Point)
        .f("DecimalPlaces", i.DecimalPlaces)
        .f("MonthCode", i.MonthCode)
        .f("ContractSize", i.ContractSize)
        .f("UnitId", i.UnitId)
        .f("TradingStatusId", i.TradingStatusId)
        .f("IsAvailableForWatchlist", i.IsAvailableForWatchlist)
        .f("UnderlyingInstrumentId", i.UnderlyingInstrumentId)
        .f("MaxUpdateFrequency", i.MaxUpdateFrequency)
        .f("CutOffLimitPercentCP", i.CutOffLimitPercentCP)
        .f("FND", i.FND)
        .f("LTD", i.LTD)
        .f("CircuitLimit", i.CircuitLimit)
        .f("PLCalcModeId", i.PLCalcModeId)
        .f("Ask", i.Ask)
        .f("Bid", i.Bid)
        .f("High", i.High)
        .f("Low", i.Low)
        .f("Last", i.Last)
        .f("PrevClose", i.PrevClose)
        .f("DayOpen", i.DayOpen)
        .f("UpdateTime", i.UpdateTime)
        .f("isWatchlistSymbol", i.isWatchlistSymbol)
        .f("isWatchlistSymbolTemp", i.isWatchlistSymbolTemp)
        .f("CurrentTradeSessionSettingId", i.CurrentTradeSessionSettingId)
        .f("Open", i.Open)
        .f("CalculationItems", calc ? calc->Code : std::string("-"))
        .f("previousBid", i.previousBid)
        .f("previousAsk", i.previousAsk)
        .f("BidSpread", i.BidSpread)
        .f("AskSpread", i.AskSpread)
        .f("Spreadtype", i.Spreadtype)
        .f("instrumentTradingStatus", i.instrumentTradingStatus)
        .f("availableOrderTypes", i.availableOrderTypes)
        .f("HedgeModeId", i.HedgeModeId)
        .f("MaxHoldingDays", i.MaxHoldingDays)
        .f("HighlightColor", i.HighlightColor)
        .f("isPriceUpdateReceived", i.isPriceUpdateReceived)
        .f("availableOrderSettings", i.availableOrderSettings)
        .f("isAvailableForTrading", i.isAvailableForTrading)
        .f("marketID", i.marketID)
        .f("exchangeName", i.exchangeName)
        .f("descriptions", i.descriptions)
        .f("mostSignificantDigitLength", i.mostSignificantDigitLength)
        .f("leastSignificantDigitLength", i.leastSignificantDigitLength)
        .f("priceTick", i.priceTick)
        .f("circuitLimitUp", i.circuitLimitUp)
        .f("circuitLimitDown", i.circuitLimitDown)
        .f("iconResource", i.iconResource)
        .f("priceUnitID", i.priceUnitID)
        .f("priceUnitValue", i.priceUnitValue)
        .f("extraInfo", i.extraInfo)
        .f("orderSettings2", i.orderSettings2)
        .f("BaseCurrencyId", i.BaseCurrencyId)
        .f("MarginFormulaId", i.MarginFormulaId);
}

void dumpGroupInstrument(std::string& out, std::string_view prefix, const GroupInstruments& g) {
    Line(out, prefix)
        .f("GroupId", g.GroupId)
        .f("InstrumentId", g.InstrumentId)
        .f("OrderQtyStep", g.OrderQtyStep)
        .f("MaxOrderQty", g.MaxOrderQty)
        .f("MinOrderQty", g.MinOrderQty)
        .f("InitialMargin", g.InitialMargin)
        .f("InitialSellMargin", g.InitialSellMargin)
        .f("LimitOrderMargin", g.LimitOrderMargin)
        .f("LiquidationMargin", g.LiquidationMargin)
        .f("SpreadBid", g.SpreadBid)
        .f("SpreadAsk", g.SpreadAsk)
        .f("SpreadTypeId", g.SpreadTypeId)
        .f("BuyInterestRate", g.BuyInterestRate)
        .f("SellInterestRate", g.SellInterestRate)
        .f("LimitMinPips", g.LimitMinPips)
        .f("StopMinPips", g.StopMinPips)
        .f("AllowShortSelling", g.AllowShortSelling)
        .f("IntradayOrderMargin", g.IntradayOrderMargin)
        .f("BTSTOrderMargin", g.BTSTOrderMargin)
        .f("OverNightMargin", g.OverNightMargin)
        .f("Commission", g.Commission)
        .f("PLCalcModeId", g.PLCalcModeId)
        .f("AutoExecutionModeId", g.AutoExecutionModeId)
        .f("MarginCalcModeId", g.MarginCalcModeId)
        .f("groupdetailsid", g.groupdetailsid)
        .f("margincalculationMode", g.margincalculationMode)
        .f("isAvailableForTrading", g.isAvailableForTrading)
        .f("availableOrderSettings", g.availableOrderSettings);
}

void dumpGroup(std::string& out, std::string_view key, const GroupDetails& g, DumpOrder order) {
    const std::string prefix = keyed("GroupDetailCollection", key);
    Line(out, prefix)
        .f("GroupId", g.GroupId)
        .f("Name", g.Name)
        .f("TradingEnabled", g.TradingEnabled)
        .f("CompanyId", g.CompanyId)
        .f("IsNewsEnabled", g.IsNewsEnabled)
        .f("IsMailEnabled", g.IsMailEnabled)
        .f("IsChatEnabled", g.IsChatEnabled)
        .f("IsEAEnabled", g.IsEAEnabled)
        .f("InstrumentLimit", g.InstrumentLimit)
        .f("WatchlistItemLimit", g.WatchlistItemLimit)
        .f("MaxOrderQty", g.MaxOrderQty)
        .f("OrderQtyStep", g.OrderQtyStep)
        .f("IsTrailingStopEnabled", g.IsTrailingStopEnabled)
        .f("MarginCallLevel", g.MarginCallLevel)
        .f("StopOutLevel", g.StopOutLevel)
        .f("LeverageOnFProfit", g.LeverageOnFProfit)
        .f("RevLeverageOnFLoss", g.RevLeverageOnFLoss)
        .f("ReportHistoryDaysLimit", g.ReportHistoryDaysLimit)
        .f("SendMailReports", g.SendMailReports)
        .f("SendExecutionSMS", g.SendExecutionSMS)
        .f("CreditRating", g.CreditRating)
        .f("GroupInstrumentCount", g.GroupInstrumentCollection.size());
    for (const auto* e : entries(g.GroupInstrumentCollection, order)) {
        const std::string inner = prefix + "." + keyed("GroupInstrumentCollection", e->first);
        if (e->second)
            dumpGroupInstrument(out, inner, *e->second);
        else
            out += inner + " null\n";
    }
}

void dumpAccount(std::string& out, std::string_view prefix, const AccountDetails& a) {
    Line(out, prefix)
        .f("AccountId", a.AccountId)
        .f("GroupId", a.GroupId)
        .f("AccountName", a.AccountName)
        .f("AccountEnabled", a.AccountEnabled)
        .f("BranchId", a.BranchId)
        .f("Balance", a.Balance)
        .f("UnrealisedPL", a.UnrealisedPL)
        .f("UsedMargin", a.UsedMargin)
        .f("AvailableMargin", a.AvailableMargin)
        .f("Equity", a.Equity)
        .f("InstrumentLimit", a.InstrumentLimit)
        .f("WatchlistItemLimit", a.WatchlistItemLimit)
        .f("AutoExecutionModeId", a.AutoExecutionModeId)
        .f("TradeRouteId", a.TradeRouteId)
        .f("HedgeModeId", a.HedgeModeId)
        .f("CollateralSecurity", a.CollateralSecurity)
        .f("LeverageOnPositions", a.LeverageOnPositions)
        .f("AccountAccessTypeId", a.AccountAccessTypeId)
        .f("TradingStatusId", a.TradingStatusId)
        .f("MarginStatus", a.MarginStatus)
        .f("AccumulatingStorage", a.AccumulatingStorage)
        .f("Leverage", a.Leverage)
        .f("tradingStatus", a.tradingStatus)
        .f("previoustradingStatus", a.previoustradingStatus)
        .f("accountaccessType", a.accountaccessType)
        .f("availableOrderTypes", a.availableOrderTypes)
        .f("accountSettings", a.accountSettings)
        .f("accountMarginStatus", a.accountMarginStatus)
        .f("previousaccountMarginStatus", a.previousaccountMarginStatus)
        .f("tradeAccountType", a.tradeAccountType)
        .f("currencyID", a.currencyID)
        .f("tradeCurrency",
           a.tradeCurrency ? std::to_string(a.tradeCurrency->currencyID) + ":" + a.tradeCurrency->currencyCode
                           : std::string("-"))
        .f("primaryAccountHolderUserid", a.primaryAccountHolderUserid)
        .f("oneSideMargin", a.oneSideMargin)
        .f("accountSettings2", a.accountSettings2);
}

void dumpCurrency(std::string& out, std::string_view prefix, const TradeCurrency& c) {
    const bool isList = dynamic_cast<const CurrenyList*>(&c) != nullptr;
    Line(out, prefix)
        .f("kind", std::string(isList ? "CurrenyList" : "TradeCurrency"))
        .f("currencyID", c.currencyID)
        .f("currencyCode", c.currencyCode)
        .f("instrumentID", c.instrumentID)
        .f("bidRate", c.bidRate)
        .f("askRate", c.askRate)
        .f("conversionMode", c.conversionMode)
        .f("isDirect", c.isDirect)
        .f("depositRate", c.depositRate);
}

void dumpSettings(std::string& out, std::string_view prefix, const SessionSettings& s) {
    Line(out, prefix)
        .f("sessionColor", s.sessionColor)
        .f("settingsID", s.settingsID)
        .f("settingsName", s.settingsName)
        .f("editLimitOrder", s.editLimitOrder)
        .f("editMarketMakertOrder", s.editMarketMakertOrder)
        .f("editMarketOrder", s.editMarketOrder)
        .f("enterLimitOrder", s.enterLimitOrder)
        .f("enterMarketMakerOrder", s.enterMarketMakerOrder)
        .f("enterMarketOrder", s.enterMarketOrder)
        .f("executeOrders", s.executeOrders)
        .f("matchMMWithMMOrders", s.matchMMWithMMOrders)
        .f("publishMarketData", s.publishMarketData)
        .f("publishTradeData", s.publishTradeData)
        .f("useELP", s.useELP)
        .f("allowNewMarket", s.allowNewMarket)
        .f("allowNewContigent", s.allowNewContigent)
        .f("allowEditContigent", s.allowEditContigent)
        .f("allowNewTpSl", s.allowNewTpSl)
        .f("marketTradingStatus", s.marketTradingStatus);
}

void dumpResource(std::string& out, std::string_view prefix, const ResourceDetails& r) {
    Line(out, prefix)
        .f("resourceId", r.resourceId)
        .f("caption", r.caption)
        .f("URL", r.URL)
        .f("iconResourceId", r.iconResourceId)
        .f("groupName", r.groupName)
        .f("resourceType", r.resourceType)
        .f("productId", r.productId)
        .f("isNew", r.isNew)
        .f("showFocus", r.showFocus)
        .f("enabled", r.enabled)
        .f("extraData", r.extraData);
}

void dumpOrder(std::string& out, std::string_view prefix, const Order& o) {
    Line(out, prefix)
        .f("tradingMode", o.tradingMode)
        .f("orderType", o.orderType)
        .f("deliveryMode", o.deliveryMode)
        .f("timeinForce", o.timeinForce)
        .f("orderrejectReason", o.orderrejectReason)
        .f("ordertypeInfo", o.ordertypeInfo)
        .f("AccountNumber", o.AccountNumber)
        .f("RequestId", o.RequestId)
        .f("ItemCode", o.ItemCode)
        .f("OrderQty", o.OrderQty)
        .f("OrderPrice", o.OrderPrice)
        .f("LimitPrice", o.LimitPrice)
        .f("StopPrice", o.StopPrice)
        .f("Spread", o.Spread)
        .f("Bid", o.Bid)
        .f("Ask", o.Ask)
        .f("Last", o.Last)
        .f("High", o.High)
        .f("Low", o.Low)
        .f("ItemTime", o.ItemTime)
        .f("CurrentStatus", o.CurrentStatus)
        .f("orderTypeTag", o.orderTypeTag)
        .f("deliveryModeTag", o.deliveryModeTag)
        .f("tradingModeTag", o.tradingModeTag)
        .f("timeinForceTag", o.timeinForceTag)
        .f("TicketId", o.TicketId)
        .f("RemainingQty", o.RemainingQty)
        .f("TransactionDateTime", o.TransactionDateTime)
        .f("OrderStatus", o.OrderStatus)
        .f("OrderRouteId", o.OrderRouteId)
        .f("PendingOrderId", o.PendingOrderId)
        .f("ExecutionId", o.ExecutionId)
        .f("Commision", o.Commision)
        .f("OpenPositionId", o.OpenPositionId)
        .f("SettledQty", o.SettledQty)
        .f("SettledPL", o.SettledPL)
        .f("ClosingPositionId", o.ClosingPositionId)
        .f("SettlementId", o.SettlementId)
        .f("SettledPrice", o.SettledPrice)
        .f("UnrealisedPL", o.UnrealisedPL)
        .f("Storage", o.Storage)
        .f("ExpiryDate", o.ExpiryDate)
        .f("ValueDate", o.ValueDate)
        .f("RefPositionIdOfBracket", o.RefPositionIdOfBracket)
        .f("CancelledOrderId", o.CancelledOrderId)
        .f("isCloseNew", o.isCloseNew)
        .f("isEditWorkOrder", o.isEditWorkOrder)
        .f("isEditBracketOrder", o.isEditBracketOrder)
        .f("LiqudateOrderNumber", o.LiqudateOrderNumber)
        .f("isTakeProfitEnabled", o.isTakeProfitEnabled)
        .f("isStopLossEnabled", o.isStopLossEnabled)
        .f("EquityHitPrice", o.EquityHitPrice)
        .f("PreviousOrderQty", o.PreviousOrderQty)
        .f("CurrencyRate", o.CurrencyRate)
        .f("OtherCharges", o.OtherCharges)
        .f("previousBid", o.previousBid)
        .f("previousAsk", o.previousAsk)
        .f("deviation", o.deviation)
        .f("margin", o.margin)
        .f("accountCurrencyRate", o.accountCurrencyRate)
        .f("isCancelOrder", o.isCancelOrder)
        .f("validationResult", o.validationResult)
        .f("BaseCurrencyRate", o.BaseCurrencyRate);
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

void dumpOrders(std::string& out, std::string_view name, const std::vector<std::shared_ptr<Order>>& orders) {
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
    dumpCollection(out, "ItemTypeCollection", m.ItemTypeCollection, order,
                   [&](const std::string& p, const ItemType& t) {
                       Line(out, p)
                           .f("InstrumentTypeId", t.InstrumentTypeId)
                           .f("InstrumentTypeName", t.InstrumentTypeName);
                   });
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
                   [&](const std::string& p, const LoginInfoMessage& l) {
                       Line(out, p)
                           .f("DisplayMode", l.DisplayMode)
                           .f("Message", l.Message)
                           .f("ErrorCode", l.ErrorCode)
                           .f("serverError", l.serverError);
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
