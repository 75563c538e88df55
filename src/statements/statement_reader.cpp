#include "statements/statement_reader.h"

#include "model/position_arithmetic.h"
#include "model/records/record_decimal.h"
#include "model/records/record_fields.h"
#include "model/records/record_layout.h"
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

using namespace records;

// Loaders for the order record's columns, which it keeps as display texts and codes.
template <class R>
constexpr auto sideOf = [](R& r, bool buy) { r.tradingMode = buy ? 0 : 1; };
// A price; an empty text is none, never 0.
template <class R, std::optional<platform::Decimal> Order::*Field>
constexpr auto priceOf = [](R& r, std::string_view text) {
    r.*Field = text.empty() ? std::nullopt : std::optional(lenientDecimal(text));
};
template <class R, std::optional<WallTime> Order::*Field, std::string R::*AsSent>
constexpr auto wallClock = [](R& r, std::string_view text) {
    r.*Field = wallTimeFromIso(text);
    r.*AsSent = r.*Field ? std::string() : std::string(text);
};
// A time no window shows: one that does not read is none.
template <class R, std::optional<WallTime> Order::*Field>
constexpr auto wallClockOnly = [](R& r, std::string_view text) { r.*Field = wallTimeFromIso(text); };

constexpr auto kInstrumentLayout =
    recordLayout(int32("InstrumentId", &InstrumentHistoryInfo::InstrumentId),
                 text("Name", &InstrumentHistoryInfo::Name), text("Code", &InstrumentHistoryInfo::Code),
                 int32("DecimalPlaces", &InstrumentHistoryInfo::DecimalPlaces));
// "Table6" names the instrument whose closing prices it carries.
struct ClosingPriceOf {
    std::int64_t id = 0;
};
constexpr auto kClosingPriceOfLayout = recordLayout(int64("InstrumentId", &ClosingPriceOf::id));
constexpr auto kClosingPriceLayout =
    recordLayout(decimal("Bid", &InstrumentHistoryInfo::Bid), decimal("Ask", &InstrumentHistoryInfo::Ask));

using Open = OpenPositionHistoryInfo;
constexpr auto kOpenLayout = recordLayout(
    int64("TOPHId", &Open::TOPHId), isoDate("TOPDate", &Open::TOPDate),
    isoDate("TOPEntryDateTime", &Open::TOPEntryDateTime), text("PositionId", &Open::OpenPositionId),
    text("AccountId", &Open::AccountNumber), int64("InstrumentId", &Open::InstrumentId),
    flag("IsBuy", sideOf<Open>), int64("RefOrderTicketId", &Open::RefOrderTicketId),
    text("RefPendingOrderId", &Open::RefPositionIdOfBracket), decimal("PositionInitialQty", &Open::OrderQty),
    decimal("PositionQty", &Open::RemainingQty), text("OrderPrice", priceOf<Open, &Order::OrderPrice>),
    real("CommisionPaid", &Open::Commission),
    text("PositionDate", wallClock<Open, &Order::TransactionDateTime, &Open::PositionDateAsSent>),
    int64("ConfirmationModeId", &Open::ConfirmationModeId), real("UnrealisedPL", &Open::UnrealisedPL),
    int64("TradeRouteId", &Open::TradeRouteId), int64("RoutePositionId", &Open::RoutePositionId),
    int32("DeliveryModeId", &Open::deliveryMode), decimal("AccumulatingStorage", &Open::Storage),
    text("ValueDate", wallClock<Open, &Order::ValueDate, &Open::ValueDateAsSent>),
    text("ExpiryDate", wallClock<Open, &Order::ExpiryDate, &Open::ExpiryDateAsSent>),
    decimal("UnrealisedCharges", &Open::UnRealisedCharges));

using Pending = PendingOrderHistoryInfo;
constexpr auto kPendingLayout = recordLayout(
    int64("TPOH", &Pending::TPOH), isoDate("TPOHDate", &Pending::TPOHDate),
    isoDate("TPOHEntryDateTime", &Pending::TPOHEntryDateTime),
    text("PendingOrderId", &Pending::PendingOrderId), int64("RefTicketId", &Pending::RefTicketId),
    text("AccountId", &Pending::AccountNumber), int64("InstrumentId", &Pending::InstrumentId),
    flag("IsBuy", sideOf<Pending>), int32("OrderTypeId", &Pending::orderType),
    decimal("OrderQty", &Pending::OrderQty), decimal("MinQty", &Pending::MinQty),
    decimal("DisclosedQty", &Pending::DisclosedQty), decimal("RemainingQty", &Pending::RemainingQty),
    text("OrderPrice", priceOf<Pending, &Order::OrderPrice>),
    text("LimitPrice", priceOf<Pending, &Order::LimitPrice>),
    text("StopPrice", priceOf<Pending, &Order::StopPrice>),
    decimal("TralingStopPrice", &Pending::TralingStopPrice), int32("DeliveryModeId", &Pending::deliveryMode),
    int32("TimeInForceId", &Pending::timeInForce),
    text("ExpiryDateTime", wallClockOnly<Pending, &Order::ExpiryDate>),
    decimal("OCOLLimitPrice", &Pending::OCOLLimitPrice), decimal("OCOLStopPrice", &Pending::OCOLStopPrice),
    decimal("OCOSLimit", &Pending::OCOSLimit), decimal("OCOSStop", &Pending::OCOSStop),
    decimal("Spread", &Pending::Spread), int64("TradeRouteId", &Pending::TradeRouteId),
    int64("RoutePendingOrderId", &Pending::RoutePendingOrderId),
    decimal("ExecutedQty", &Pending::ExecutedQty), text("OrderStatusId", &Pending::OrderStatus),
    text("OrderTime", wallClock<Pending, &Order::TransactionDateTime, &Pending::OrderTimeAsSent>),
    text("RefPosIdOfBracket", &Pending::RefPositionIdOfBracket), decimal("TouchQty", &Pending::TouchQty),
    decimal("TouchPrice", &Pending::TouchPrice), isoDate("TouchTime", &Pending::TouchTime));

using Settled = SettledPositionHistoryInfo;
constexpr auto kSettledLayout = recordLayout(
    text("SettlementId", &Settled::SettlementId), text("AccountId", &Settled::AccountNumber),
    int64("InstrumentId", &Settled::InstrumentId), text("RefPositionId", &Settled::OpenPositionId),
    text("RefClosingPositionId", &Settled::ClosingPositionId), decimal("SettledQty", &Settled::SettledQty),
    flag("IsBuy", sideOf<Settled>), decimal("SettledPL", &Settled::SettledPL),
    text("SettlementDate", wallClock<Settled, &Order::TransactionDateTime, &Settled::SettlementDateAsSent>),
    decimalOrNone("CurrencyRate", &Settled::CurrencyRate), decimal("AccumulatingStorage", &Settled::Storage),
    real("CommisionPaid", &Settled::Commission), decimal("OtherCharges", &Settled::OtherCharges),
    text("OpenPrice", priceOf<Settled, &Order::OrderPrice>),
    text("ClosePrice", priceOf<Settled, &Order::SettledPrice>), isoDate("OpenDate", &Settled::OpenDate),
    isoDate("CloseDate", &Settled::CloseDate), int32("DeliveryModeId", &Settled::deliveryMode));

using Transaction = FinancialTransactionHistoryInfo;
constexpr auto kTransactionLayout =
    recordLayout(decimal("DrAmount", &Transaction::DrAmount), decimal("CrAmount", &Transaction::CrAmount),
                 int32("FinancialTransactionTypeId", &Transaction::TransactionType),
                 int32("SubFinancialTransactionTypeId", &Transaction::SubTransactionType),
                 int64("AccountId", &Transaction::AccountId));

constexpr auto kMarginCallLayout =
    recordLayout(int64("AccountId", &MarginCallSummaryInfo::accountId),
                 int64("MarginCallCount", &MarginCallSummaryInfo::marginCallCount));
constexpr auto kAddressLayout = recordLayout(int64("AccountId", &ClientAddressInfo::accountId),
                                             int64("ClientId", &ClientAddressInfo::clientId),
                                             text("Address1", &ClientAddressInfo::address));
constexpr auto kOrganizationLayout = recordLayout(int64("AccountId", &OrganizationInfo::accountId),
                                                  text("CompanyAddress", &OrganizationInfo::companyAddress));

using Snapshot = AccountHistoryInfo;
// Toward zero, and within the field's range.
constexpr auto waiveOffMode = [](Snapshot& a, double mode) {
    a.StorageWaiveOffModeId = mode <= 0        ? 0
                              : mode >= 1.8e19 ? std::numeric_limits<std::uint64_t>::max()
                                               : static_cast<std::uint64_t>(mode);
};
constexpr auto tradingStatus = [](Snapshot& a, std::int32_t status) {
    a.TradingStatusId = a.tradingStatus = status;
};
constexpr auto marginStatus = [](Snapshot& a, std::int32_t status) {
    a.MarginStatus = a.accountMarginStatus = status;
};
constexpr auto kSnapshotLayout = recordLayout(
    int64("TAHId", &Snapshot::TAHId), isoDate("TAHDate", &Snapshot::TAHDate),
    isoDate("TAHEntryDateTime", &Snapshot::TAHEntryDateTime), int32("AccountId", &Snapshot::AccountId),
    int64("AccountTypeId", &Snapshot::tradeAccountType), text("AccountName", &Snapshot::AccountName),
    flag("TradingEnabled", &Snapshot::TradingEnabled), flag("Enabled", &Snapshot::Enabled),
    text("GroupId", &Snapshot::GroupId), int64("OrganizationId", &Snapshot::OrganizationId),
    decimal("OpeningBalanceOfDay", &Snapshot::OpeningBalanceOfDay), decimal("Balance", &Snapshot::Balance),
    real("UnrealisedPL", &Snapshot::UnrealisedPL),
    decimal("LeverageOnPositions", &Snapshot::LeverageOnPositions),
    decimal("CollateralSecurity", &Snapshot::CollateralSecurity),
    decimal("UsedMargin", &Snapshot::UsedMargin), real("Equity", &Snapshot::Equity),
    real("AvailableMargin", &Snapshot::AvailableMargin), text("Remarks", &Snapshot::Remarks),
    isoDate("InterestWaiveoffExpiryDate", &Snapshot::InterestWaiveoffExpiryDate),
    int32("HedgeModeId", &Snapshot::HedgeModeId),
    int32("AutoExecutionModeId", &Snapshot::AutoExecutionModeId), int64("CurrencyID", &Snapshot::currencyID),
    int64("StorageWaiveoffDays", &Snapshot::StorageWaiveoffDays),
    decimal("AccumulatingStorage", &Snapshot::AccumulatingStorage),
    real("StorageWaiveOffModeId", waiveOffMode), int32("TradingStatusId", tradingStatus),
    decimal("UnrealisedCharges", &Snapshot::UnrealisedCharges),
    int64("AgentAccountId", &Snapshot::AgentAccountId), int32("MarginStatusId", marginStatus),
    int64("CreditRating", &Snapshot::CreditRating), int64("TradingPatternId", &Snapshot::TradingPatternId));

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
        each((*rows)[i]);
}

// Every row of a table read through its layout, each handed on.
template <class Record, class Layout, class Each>
void readTable(const XmlSnapshotTables& tables, std::string_view name, const Layout& layout, Each each) {
    forRows(tables, name, [&](const XmlSnapshotRow& row) {
        Record record;
        readColumns(row, layout, record);
        each(row, std::move(record));
    });
}

class Parser {
public:
    explicit Parser(AccountStatementInfo& s) : s_(s) {}

    void instruments(const XmlSnapshotTables& tables) {
        readTable<InstrumentHistoryInfo>(tables, "Table5", kInstrumentLayout, [&](const auto&, auto i) {
            s_.InstrumentInfo.insert_or_assign(std::to_string(i.InstrumentId), std::move(i));
        });
        forRows(tables, "Table6", [&](const XmlSnapshotRow& row) {
            ClosingPriceOf of;
            readColumns(row, kClosingPriceOfLayout, of);
            if (of.id == 0)
                return;
            if (auto* i = s_.InstrumentInfo.get(std::to_string(of.id)))
                readColumns(row, kClosingPriceLayout, *i);
        });
    }

    void snapshots(const XmlSnapshotTables& tables) {
        std::vector<std::shared_ptr<const AccountHistoryInfo>> rows;
        readTable<AccountHistoryInfo>(tables, "Table", kSnapshotLayout, [&](const auto&, auto a) {
            rows.push_back(std::make_shared<const AccountHistoryInfo>(std::move(a)));
        });
        if (rows.empty())
            return;
        if (rows.size() == 1) {
            s_.StartInfo = s_.EndInfo = rows.front();
            return;
        }
        // The earliest and the latest of every snapshot; an unreadable date leaves the period unknown.
        if (std::any_of(rows.begin(), rows.end(), [](const auto& r) { return !r->TAHDate; }))
            return;
        std::size_t first = 0, last = 0;
        for (std::size_t i = 1; i < rows.size(); ++i) {
            if (*rows[i]->TAHDate < *rows[first]->TAHDate)
                first = i;
            if (!(*rows[i]->TAHDate < *rows[last]->TAHDate))
                last = i;
        }
        s_.StartInfo = rows[first];
        s_.EndInfo = rows[last];
    }

    void openPositions(const XmlSnapshotTables& tables) {
        readTable<OpenPositionHistoryInfo>(tables, "Table1", kOpenLayout, [&](const auto& row, auto p) {
            itemCode(row, p);
            if (const auto* i = s_.InstrumentInfo.get(key(p.InstrumentId)))
                p.CurrentPrice = closingQuote(p.tradingMode, i->Bid, i->Ask);
            if (RecordFields::toInt(p.OpenPositionId) <= 0)
                return;
            s_.OpenPositionInfo.push_back(std::move(p));
        });
        sortBy(s_.OpenPositionInfo, &Order::OpenPositionId);
    }

    void pendingOrders(const XmlSnapshotTables& tables) {
        readTable<PendingOrderHistoryInfo>(tables, "Table2", kPendingLayout, [&](const auto& row, auto o) {
            if (!row.get("PendingOrderId"))
                return;
            itemCode(row, o);
            s_.PendingOrderInfo.push_back(std::move(o));
        });
        sortBy(s_.PendingOrderInfo, &Order::PendingOrderId);
    }

    void settledPositions(const XmlSnapshotTables& tables) {
        readTable<SettledPositionHistoryInfo>(tables, "Table3", kSettledLayout, [&](const auto& row, auto p) {
            if (!row.get("SettlementId"))
                return;
            itemCode(row, p);
            s_.SettledPositionInfo.push_back(std::move(p));
        });
        sortBy(s_.SettledPositionInfo, &Order::SettlementId);
    }

    void financialTransactions(const XmlSnapshotTables& tables) {
        readTable<FinancialTransactionHistoryInfo>(
            tables, "Table4", kTransactionLayout,
            [&](const auto&, auto t) { s_.FinancialTransactionInfo.push_back(std::move(t)); });
    }

    void accountTables(const XmlSnapshotTables& tables) {
        readTable<MarginCallSummaryInfo>(tables, "Table7", kMarginCallLayout, [&](const auto&, auto m) {
            s_.marginCallSummaryInfo.insert_or_assign(key(m.accountId), m);
        });
        readTable<ClientAddressInfo>(tables, "Table8", kAddressLayout, [&](const auto&, auto a) {
            s_.clientAddressInfo.insert_or_assign(key(a.accountId), std::move(a));
        });
        readTable<OrganizationInfo>(tables, "Table9", kOrganizationLayout, [&](const auto&, auto o) {
            s_.organizationInfo.insert_or_assign(key(o.accountId), std::move(o));
        });
    }

private:
    // The code of a row's instrument, when the row names one the statement lists.
    template <class Row>
    void itemCode(const XmlSnapshotRow& row, Row& r) const {
        if (!row.get("InstrumentId"))
            return;
        if (const auto* i = s_.InstrumentInfo.get(key(r.InstrumentId)))
            r.ItemCode = i->Code;
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
