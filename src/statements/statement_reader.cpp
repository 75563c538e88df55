#include "statements/statement_reader.h"

#include "model/records/record_decimal.h"
#include "model/records/record_fields.h"
#include "model/text/formatter.h"
#include "platform/lenient.h"
#include "platform/log.h"
#include "platform/numeric_order.h"
#include "session/snapshot/xml_snapshot_loader.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tc::statements {
namespace {

constexpr std::string_view kDateTime = "MM/dd/yyyy HH:mm:ss";
constexpr std::string_view kDate = "MM/dd/yyyy";

// The columns of one row, each applied only when the row has it.
class Columns {
public:
    explicit Columns(const XmlSnapshotRow& row) : row_(row) {}

    const std::string* get(std::string_view name) const { return row_.get(name); }
    bool has(std::string_view name) const { return get(name) != nullptr; }

    void text(std::string_view name, std::string& out) const {
        if (const auto* t = get(name))
            out = *t;
    }
    void int32(std::string_view name, std::int32_t& out) const {
        if (const auto* t = get(name))
            out = RecordFields::toInt(*t);
    }
    template <class Int>
    void integer(std::string_view name, Int& out) const {
        if (const auto* t = get(name))
            out = static_cast<Int>(platform::lenientInteger(*t));
    }
    void real(std::string_view name, double& out) const {
        if (const auto* t = get(name)) {
            const double v = platform::lenientReal(*t);
            out = std::isfinite(v) ? v : 0.0;
        }
    }
    void decimal(std::string_view name, platform::Decimal& out) const {
        if (const auto* t = get(name))
            out = lenientDecimal(*t);
    }
    void flag(std::string_view name, bool& out) const {
        if (const auto* t = get(name))
            out = platform::lenientFlag(*t);
    }
    // 0 for a buy (the flag true), 1 for a sell.
    void side(std::string_view name, std::int32_t& out) const {
        if (const auto* t = get(name))
            out = platform::lenientFlag(*t) ? 0 : 1;
    }
    void dateTime(std::string_view name, std::string_view pattern, std::string& out) const {
        if (const auto* t = get(name))
            out = Formatter::formatDateandTimeFromString(*t, pattern);
    }

private:
    const XmlSnapshotRow& row_;
};

double number(std::string_view text) {
    const double v = platform::lenientReal(text);
    return std::isfinite(v) ? v : 0.0;
}

std::string key(std::uint64_t id) {
    return std::to_string(id);
}

const std::vector<XmlSnapshotRow>* rowsOf(const XmlSnapshotTables& tables, std::string_view name) {
    const auto* rows = tables.rows(name);
    if (rows && rows->size() > AccountStatementInfo::kMaxRowsPerTable)
        platform::Log::warning("statement table {}: only the first {} of {} rows are read", name,
                               AccountStatementInfo::kMaxRowsPerTable, rows->size());
    return rows;
}

template <class Each>
void forRows(const XmlSnapshotTables& tables, std::string_view name, Each each) {
    const auto* rows = rowsOf(tables, name);
    if (!rows)
        return;
    const std::size_t n = std::min(rows->size(), AccountStatementInfo::kMaxRowsPerTable);
    for (std::size_t i = 0; i < n; ++i)
        each(Columns((*rows)[i]));
}

class Parser {
public:
    explicit Parser(AccountStatementInfo& s) : s_(s) {}

    void instruments(const XmlSnapshotTables& tables) {
        forRows(tables, "Table5", [&](const Columns& c) {
            InstrumentHistoryInfo i;
            c.int32("InstrumentId", i.InstrumentId);
            c.text("Name", i.Name);
            c.text("Code", i.Code);
            c.int32("DecimalPlaces", i.DecimalPlaces);
            s_.InstrumentInfo.insert_or_assign(std::to_string(i.InstrumentId), std::move(i));
        });
        forRows(tables, "Table6", [&](const Columns& c) {
            std::int64_t id = 0;
            c.integer("InstrumentId", id);
            if (id == 0)
                return;
            if (auto* i = s_.InstrumentInfo.get(std::to_string(id))) {
                c.decimal("Bid", i->Bid);
                c.decimal("Ask", i->Ask);
            }
        });
    }

    void snapshots(const XmlSnapshotTables& tables) {
        std::vector<std::shared_ptr<const AccountHistoryInfo>> rows;
        forRows(tables, "Table", [&](const Columns& c) { rows.push_back(snapshot(c)); });
        if (rows.empty())
            return;
        if (rows.size() == 1) {
            s_.StartInfo = s_.EndInfo = rows.front();
            return;
        }
        // The earliest and the latest of every snapshot; an unreadable date leaves the period unknown.
        std::vector<platform::Date> dates;
        for (const auto& r : rows) {
            const auto date = Formatter::formatDateFromString(r->TAHDate);
            if (!date)
                return;
            dates.push_back(*date);
        }
        std::size_t first = 0, last = 0;
        for (std::size_t i = 1; i < rows.size(); ++i) {
            if (dates[i] < dates[first])
                first = i;
            if (!(dates[i] < dates[last]))
                last = i;
        }
        s_.StartInfo = rows[first];
        s_.EndInfo = rows[last];
    }

    void openPositions(const XmlSnapshotTables& tables) {
        forRows(tables, "Table1", [&](const Columns& c) {
            OpenPositionHistoryInfo p;
            c.integer("TOPHId", p.TOPHId);
            c.text("TOPDate", p.TOPDate);
            c.text("TOPEntryDateTime", p.TOPEntryDateTime);
            c.text("PositionId", p.OpenPositionId);
            c.text("AccountId", p.AccountNumber);
            instrument(c, p.InstrumentId, p.ItemCode);
            c.side("IsBuy", p.tradingMode);
            c.integer("RefOrderTicketId", p.RefOrderTicketId);
            c.text("RefPendingOrderId", p.RefPositionIdOfBracket);
            c.text("PositionInitialQty", p.OrderQty);
            c.text("PositionQty", p.RemainingQty);
            c.text("OrderPrice", p.OrderPrice);
            c.real("CommisionPaid", p.Commision);
            c.dateTime("PositionDate", kDateTime, p.TransactionDateTime);
            c.integer("ConfirmationModeId", p.ConfirmationModeId);
            c.real("UnrealisedPL", p.UnrealisedPL);
            c.integer("TradeRouteId", p.TradeRouteId);
            c.integer("RoutePositionId", p.RoutePositionId);
            c.int32("DeliveryModeId", p.deliveryMode);
            c.real("AccumulatingStorage", p.Storage);
            c.dateTime("ValueDate", kDate, p.ValueDate);
            c.dateTime("ExpiryDate", kDate, p.ExpiryDate);
            c.decimal("UnrealisedCharges", p.UnRealisedCharges);
            if (const auto* i = s_.InstrumentInfo.get(key(p.InstrumentId)))
                p.CurrentPrice = p.tradingMode == 0 ? i->Bid : i->Ask;
            if (RecordFields::toInt(p.OpenPositionId) <= 0)
                return;
            // The commission paid for the opening quantity, scaled to what is still open.
            const double opened = number(p.OrderQty);
            if (opened > 0 && p.Commision > 0)
                p.Commision = number(p.RemainingQty) * (p.Commision / opened);
            s_.OpenPositionInfo.push_back(std::move(p));
        });
        sortBy(s_.OpenPositionInfo, &Order::OpenPositionId);
    }

    void pendingOrders(const XmlSnapshotTables& tables) {
        forRows(tables, "Table2", [&](const Columns& c) {
            if (!c.has("PendingOrderId"))
                return;
            PendingOrderHistoryInfo o;
            c.integer("TPOH", o.TPOH);
            c.text("TPOHDate", o.TPOHDate);
            c.text("TPOHEntryDateTime", o.TPOHEntryDateTime);
            c.text("PendingOrderId", o.PendingOrderId);
            c.integer("RefTicketId", o.RefTicketId);
            c.text("AccountId", o.AccountNumber);
            instrument(c, o.InstrumentId, o.ItemCode);
            c.side("IsBuy", o.tradingMode);
            c.int32("OrderTypeId", o.orderType);
            c.text("OrderQty", o.OrderQty);
            c.decimal("MinQty", o.MinQty);
            c.decimal("DisclosedQty", o.DisclosedQty);
            c.text("RemainingQty", o.RemainingQty);
            c.text("OrderPrice", o.OrderPrice);
            c.text("LimitPrice", o.LimitPrice);
            c.text("StopPrice", o.StopPrice);
            c.decimal("TralingStopPrice", o.TralingStopPrice);
            c.int32("DeliveryModeId", o.deliveryMode);
            c.int32("TimeInForceId", o.timeinForce);
            c.dateTime("ExpiryDateTime", kDateTime, o.ExpiryDate);
            c.decimal("OCOLLimitPrice", o.OCOLLimitPrice);
            c.decimal("OCOLStopPrice", o.OCOLStopPrice);
            c.decimal("OCOSLimit", o.OCOSLimit);
            c.decimal("OCOSStop", o.OCOSStop);
            c.text("Spread", o.Spread);
            c.integer("TradeRouteId", o.TradeRouteId);
            c.integer("RoutePendingOrderId", o.RoutePendingOrderId);
            c.decimal("ExecutedQty", o.ExecutedQty);
            c.text("OrderStatusId", o.OrderStatus);
            c.dateTime("OrderTime", kDateTime, o.TransactionDateTime);
            c.text("RefPosIdOfBracket", o.RefPositionIdOfBracket);
            c.decimal("TouchQty", o.TouchQty);
            c.decimal("TouchPrice", o.TouchPrice);
            c.text("TouchTime", o.TouchTime);
            s_.PendingOrderInfo.push_back(std::move(o));
        });
        sortBy(s_.PendingOrderInfo, &Order::PendingOrderId);
    }

    void settledPositions(const XmlSnapshotTables& tables) {
        forRows(tables, "Table3", [&](const Columns& c) {
            if (!c.has("SettlementId"))
                return;
            SettledPositionHistoryInfo p;
            c.text("SettlementId", p.SettlementId);
            c.text("AccountId", p.AccountNumber);
            instrument(c, p.InstrumentId, p.ItemCode);
            c.text("RefPositionId", p.OpenPositionId);
            c.text("RefClosingPositionId", p.ClosingPositionId);
            c.text("SettledQty", p.SettledQty);
            c.side("IsBuy", p.tradingMode);
            c.text("SettledPL", p.SettledPL);
            c.dateTime("SettlementDate", kDateTime, p.TransactionDateTime);
            c.real("CurrencyRate", p.CurrencyRate);
            c.real("AccumulatingStorage", p.Storage);
            c.real("CommisionPaid", p.Commision);
            c.real("OtherCharges", p.OtherCharges);
            c.text("OpenPrice", p.OrderPrice);
            c.text("ClosePrice", p.SettledPrice);
            c.dateTime("OpenDate", kDateTime, p.OpenDate);
            c.dateTime("CloseDate", kDateTime, p.CloseDate);
            c.int32("DeliveryModeId", p.deliveryMode);
            s_.SettledPositionInfo.push_back(std::move(p));
        });
        sortBy(s_.SettledPositionInfo, &Order::SettlementId);
    }

    void financialTransactions(const XmlSnapshotTables& tables) {
        forRows(tables, "Table4", [&](const Columns& c) {
            FinancialTransactionHistoryInfo t;
            c.decimal("DrAmount", t.DrAmount);
            c.decimal("CrAmount", t.CrAmount);
            c.int32("FinancialTransactionTypeId", t.TransactionType);
            c.int32("SubFinancialTransactionTypeId", t.SubTransactionType);
            c.integer("AccountId", t.AccountId);
            s_.FinancialTransactionInfo.push_back(std::move(t));
        });
    }

    void accountTables(const XmlSnapshotTables& tables) {
        forRows(tables, "Table7", [&](const Columns& c) {
            MarginCallSummaryInfo m;
            c.integer("AccountId", m.accountId);
            c.integer("MarginCallCount", m.marginCallCount);
            s_.marginCallSummaryInfo.insert_or_assign(key(m.accountId), m);
        });
        forRows(tables, "Table8", [&](const Columns& c) {
            ClientAddressInfo a;
            c.integer("AccountId", a.accountId);
            c.integer("ClientId", a.clientId);
            c.text("Address1", a.address);
            s_.clientAddressInfo.insert_or_assign(key(a.accountId), std::move(a));
        });
        forRows(tables, "Table9", [&](const Columns& c) {
            OrganizationInfo o;
            c.integer("AccountId", o.accountId);
            c.text("CompanyAddress", o.companyAddress);
            s_.organizationInfo.insert_or_assign(key(o.accountId), std::move(o));
        });
    }

private:
    static std::shared_ptr<const AccountHistoryInfo> snapshot(const Columns& c) {
        auto a = std::make_shared<AccountHistoryInfo>();
        c.integer("TAHId", a->TAHId);
        c.text("TAHDate", a->TAHDate);
        c.text("TAHEntryDateTime", a->TAHEntryDateTime);
        c.int32("AccountId", a->AccountId);
        c.integer("AccountTypeId", a->tradeAccountType);
        c.text("AccountName", a->AccountName);
        c.flag("TradingEnabled", a->TradingEnabled);
        c.flag("Enabled", a->Enabled);
        c.text("GroupId", a->GroupId);
        c.integer("OrganizationId", a->OrganizationId);
        c.decimal("OpeningBalanceOfDay", a->OpeningBalanceOfDay);
        c.decimal("Balance", a->Balance);
        c.real("UnrealisedPL", a->UnrealisedPL);
        c.decimal("LeverageOnPositions", a->LeverageOnPositions);
        c.decimal("CollateralSecurity", a->CollateralSecurity);
        c.decimal("UsedMargin", a->UsedMargin);
        c.real("Equity", a->Equity);
        c.real("AvailableMargin", a->AvailableMargin);
        c.text("Remarks", a->Remarks);
        c.text("InterestWaiveoffExpiryDate", a->InterestWaiveoffExpiryDate);
        c.int32("HedgeModeId", a->HedgeModeId);
        c.int32("AutoExecutionModeId", a->AutoExecutionModeId);
        c.integer("CurrencyID", a->currencyID);
        c.integer("StorageWaiveoffDays", a->StorageWaiveoffDays);
        c.decimal("AccumulatingStorage", a->AccumulatingStorage);
        if (c.has("StorageWaiveOffModeId")) {
            double mode = 0;
            c.real("StorageWaiveOffModeId", mode);
            // Toward zero, and within the field's range.
            a->StorageWaiveOffModeId = mode <= 0        ? 0
                                       : mode >= 1.8e19 ? std::numeric_limits<std::uint64_t>::max()
                                                        : static_cast<std::uint64_t>(mode);
        }
        if (c.has("TradingStatusId")) {
            c.int32("TradingStatusId", a->TradingStatusId);
            a->tradingStatus = a->TradingStatusId;
        }
        c.decimal("UnrealisedCharges", a->UnrealisedCharges);
        c.integer("AgentAccountId", a->AgentAccountId);
        if (c.has("MarginStatusId")) {
            c.int32("MarginStatusId", a->MarginStatus);
            a->accountMarginStatus = a->MarginStatus;
        }
        c.integer("CreditRating", a->CreditRating);
        c.integer("TradingPatternId", a->TradingPatternId);
        return a;
    }

    void instrument(const Columns& c, std::uint64_t& id, std::string& code) const {
        if (!c.has("InstrumentId"))
            return;
        c.integer("InstrumentId", id);
        if (const auto* i = s_.InstrumentInfo.get(key(id)))
            code = i->Code;
    }

    template <class Row>
    void sortBy(std::vector<Row>& rows, std::string Order::*field) {
        const platform::NumericOrder order;
        std::stable_sort(rows.begin(), rows.end(),
                         [&](const Row& a, const Row& b) { return order.less(a.*field, b.*field); });
    }

    AccountStatementInfo& s_;
};

} // namespace

AccountStatementInfo parseAccountStatement(const XmlSnapshotTables& tables) {
    AccountStatementInfo s;
    Parser p(s);
    // Instruments and their prices first: the position tables take codes and prices from them.
    p.instruments(tables);
    p.snapshots(tables);
    p.openPositions(tables);
    p.pendingOrders(tables);
    p.settledPositions(tables);
    p.financialTransactions(tables);
    p.accountTables(tables);
    return s;
}

AccountStatementInfo parseAccountStatement(std::string_view xml) {
    return parseAccountStatement(XmlSnapshotLoader::collectTables(xml));
}

} // namespace tc::statements
