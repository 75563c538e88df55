#include "gui/statements/statement_sections.h"

#include "gui/grid/grid_cells.h"
#include "gui/texts.h"
#include "model/position_arithmetic.h"
#include "model/text/formatter.h"
#include "platform/amount_text.h"

#include <fmt/format.h>

#include <algorithm>

namespace tc::gui {
namespace {

using statements::AccountStatementInfo;

const std::vector<std::string_view> kOpenColumns = {
    texts::kPositionIDColumn, texts::kSymbol,    texts::kQuantity,  texts::kSide,       texts::kOpenPrice,
    texts::kMarketPrice,      texts::kPL,        texts::kOpenTime,  texts::kCommission, texts::kStorage,
    texts::kDelivery,         texts::kValueDate, texts::kExpiryDate};
const std::vector<std::string_view> kSettledColumns = {
    texts::kSettlementID, texts::kSymbol,         texts::kQuantity,
    texts::kSide,         texts::kOpenPrice,      texts::kClosePrice,
    texts::kPL,           texts::kCommission,     texts::kStorage,
    texts::kTime,         texts::kOpenPositionID, texts::kClosingPositionID,
    texts::kCurrencyRate, texts::kDelivery,       texts::kSettledOpenTime,
    texts::kCloseDate,    texts::kOtherCharges};
const std::vector<std::string_view> kPendingColumns = {
    texts::kOrderID,     texts::kSymbol,      texts::kOrderQty,   texts::kRemainingQty, texts::kSide,
    texts::kType,        texts::kPriceField,  texts::kTakeProfit, texts::kStopLoss,     texts::kOrderTime,
    texts::kTimeInForce, texts::kRefPosition, texts::kDelivery};
const std::vector<std::string_view> kCancelledColumns = {
    texts::kAccount,    texts::kSymbol,  texts::kQuantity, texts::kSide,         texts::kType,
    texts::kPriceField, texts::kOrderID, texts::kDelivery, texts::kCancelledTime};
const std::vector<std::string_view> kInstrumentColumns = {texts::kSymbol, texts::kBid, texts::kAsk};

double number(const platform::Decimal& value) {
    return value.toDouble();
}
// A price the row lacks shows as 0, as its empty text did.
double number(const std::optional<platform::Decimal>& value) {
    return value ? value->toDouble() : 0.0;
}

// Prices with the instrument's decimal places; two without an instrument or with none.
std::string price(double value, std::int32_t decimals) {
    return Formatter::formatDecimal(value, decimals > 0 ? decimals : 2);
}
std::string price(const platform::Decimal& value, std::int32_t decimals) {
    return Formatter::formatDecimal(value, decimals > 0 ? decimals : 2);
}

std::int32_t decimalsOf(const AccountStatementInfo& statement, std::uint64_t instrumentId) {
    const auto* instrument = statement.InstrumentInfo.get(std::to_string(instrumentId));
    return instrument ? instrument->DecimalPlaces : 0;
}

std::string text(std::string_view s) {
    return std::string(s);
}

// A statement time as it came when it did not read.
std::string shown(std::string (*display)(std::optional<WallTime>), std::optional<WallTime> time,
                  const std::string& asSent) {
    return time ? display(time) : asSent;
}

std::string openCell(const AccountStatementInfo& s, const OpenPositionHistoryInfo& p, std::string_view key) {
    const std::int32_t places = decimalsOf(s, p.InstrumentId);
    if (key == texts::kPositionIDColumn)
        return p.OpenPositionId;
    if (key == texts::kSymbol)
        return p.ItemCode;
    if (key == texts::kQuantity)
        return quantityText(p.RemainingQty);
    if (key == texts::kSide)
        return text(sideText(p.tradingMode));
    if (key == texts::kOpenPrice)
        return price(number(p.OrderPrice), places);
    if (key == texts::kMarketPrice)
        return price(p.CurrentPrice, places);
    if (key == texts::kPL)
        return platform::amountText(p.UnrealisedPL);
    if (key == texts::kOpenTime)
        return shown(displayDateTime, p.TransactionDateTime, p.PositionDateAsSent);
    if (key == texts::kCommission)
        return platform::amountText(positionCommission(p));
    if (key == texts::kStorage)
        return platform::amountText(p.Storage);
    if (key == texts::kDelivery)
        return text(deliveryModeText(p.deliveryMode));
    if (key == texts::kValueDate)
        return shown(displayDate, p.ValueDate, p.ValueDateAsSent);
    if (key == texts::kExpiryDate)
        return shown(displayDate, p.ExpiryDate, p.ExpiryDateAsSent);
    return {};
}

std::string settledCell(const AccountStatementInfo& s, const SettledPositionHistoryInfo& p,
                        std::string_view key) {
    const std::int32_t places = decimalsOf(s, p.InstrumentId);
    if (key == texts::kSettlementID)
        return p.SettlementId;
    if (key == texts::kSymbol)
        return p.ItemCode;
    if (key == texts::kQuantity)
        return quantityText(p.SettledQty);
    if (key == texts::kSide)
        return text(sideText(p.tradingMode));
    if (key == texts::kOpenPrice)
        return price(number(p.OrderPrice), places);
    if (key == texts::kClosePrice)
        return price(number(p.SettledPrice), places);
    if (key == texts::kPL)
        return platform::amountText(number(p.SettledPL));
    if (key == texts::kCommission)
        return platform::amountText(p.Commission);
    if (key == texts::kStorage)
        return platform::amountText(p.Storage);
    if (key == texts::kTime)
        return shown(displayDateTime, p.TransactionDateTime, p.SettlementDateAsSent);
    if (key == texts::kOpenPositionID)
        return p.OpenPositionId;
    if (key == texts::kClosingPositionID)
        return p.ClosingPositionId;
    if (key == texts::kCurrencyRate)
        return p.CurrencyRate ? price(*p.CurrencyRate, places) : std::string();
    if (key == texts::kDelivery)
        return text(deliveryModeText(p.deliveryMode));
    if (key == texts::kSettledOpenTime)
        return displayDateTime(p.OpenDate);
    if (key == texts::kCloseDate)
        return displayDateTime(p.CloseDate);
    if (key == texts::kOtherCharges)
        return platform::amountText(p.OtherCharges);
    return {};
}

std::string pendingCell(const AccountStatementInfo& s, const PendingOrderHistoryInfo& o,
                        std::string_view key) {
    const std::int32_t places = decimalsOf(s, o.InstrumentId);
    if (key == texts::kOrderID)
        return o.PendingOrderId;
    if (key == texts::kSymbol)
        return o.ItemCode;
    if (key == texts::kOrderQty)
        return quantityText(o.OrderQty);
    if (key == texts::kRemainingQty)
        return quantityText(o.RemainingQty);
    if (key == texts::kSide)
        return text(sideText(o.tradingMode));
    if (key == texts::kType)
        return text(orderTypeText(o.orderType));
    if (key == texts::kPriceField)
        return price(number(o.OrderPrice), places);
    if (key == texts::kTakeProfit)
        return price(number(o.LimitPrice), places); // 0 when it has none, as the grid shows it
    if (key == texts::kStopLoss)
        return price(number(o.StopPrice), places);
    if (key == texts::kOrderTime)
        return shown(displayDateTime, o.TransactionDateTime, o.OrderTimeAsSent);
    if (key == texts::kTimeInForce)
        return text(timeInForceText(o.timeInForce));
    if (key == texts::kRefPosition)
        return o.RefPositionIdOfBracket.empty() ? "0" : o.RefPositionIdOfBracket;
    if (key == texts::kDelivery)
        return text(deliveryModeText(o.deliveryMode));
    return {};
}

std::string cancelledCell(const Order& o, std::int32_t decimals, std::string_view key) {
    if (key == texts::kAccount)
        return o.AccountNumber;
    if (key == texts::kSymbol)
        return o.ItemCode;
    if (key == texts::kQuantity)
        return quantityText(o.OrderQty);
    if (key == texts::kSide)
        return text(sideText(o.tradingMode));
    if (key == texts::kType)
        return text(orderTypeText(o.orderType));
    if (key == texts::kPriceField)
        return price(number(o.OrderPrice), decimals);
    if (key == texts::kOrderID)
        return o.PendingOrderId.empty() ? "-" : o.PendingOrderId;
    if (key == texts::kDelivery)
        return text(deliveryModeText(o.deliveryMode));
    if (key == texts::kCancelledTime)
        return displayDateTime(o.TransactionDateTime);
    return {};
}

std::string instrumentCell(const statements::InstrumentHistoryInfo& i, std::string_view key) {
    if (key == texts::kSymbol)
        return i.Code;
    if (key == texts::kBid)
        return price(i.Bid, i.DecimalPlaces);
    if (key == texts::kAsk)
        return price(i.Ask, i.DecimalPlaces);
    return {};
}

bool listed(StatementTable table, std::string_view key) {
    const auto& columns = statementColumns(table);
    return std::find(columns.begin(), columns.end(), key) != columns.end();
}

// Items of a status line: "title : value", each followed by five blanks.
std::string statusItems(const std::vector<std::pair<std::string, std::string>>& items) {
    std::string line;
    for (const auto& [title, value] : items) {
        line += title;
        line += " : ";
        line += value;
        line += "     ";
    }
    return line;
}

} // namespace

const std::vector<std::string_view>& statementColumns(StatementTable table) {
    switch (table) {
    case StatementTable::OpenPositions:
        return kOpenColumns;
    case StatementTable::SettledPositions:
        return kSettledColumns;
    case StatementTable::PendingOrders:
        return kPendingColumns;
    case StatementTable::CancelledOrders:
        return kCancelledColumns;
    case StatementTable::Instruments:
        break;
    }
    return kInstrumentColumns;
}

bool isStatementDateColumn(StatementTable table, std::string_view key) {
    switch (table) {
    case StatementTable::OpenPositions:
        return key == texts::kOpenTime;
    case StatementTable::SettledPositions:
        return key == texts::kTime;
    case StatementTable::PendingOrders:
        return key == texts::kOrderTime;
    case StatementTable::CancelledOrders:
        return key == texts::kCancelledTime;
    case StatementTable::Instruments:
        break;
    }
    return false;
}

bool isStatementNumberColumn(std::string_view key) {
    static constexpr std::string_view kNumbers[] = {
        texts::kQuantity,     texts::kOpenPrice, texts::kMarketPrice,  texts::kPL,
        texts::kCommission,   texts::kStorage,   texts::kClosePrice,   texts::kCurrencyRate,
        texts::kOtherCharges, texts::kOrderQty,  texts::kRemainingQty, texts::kPriceField,
        texts::kTakeProfit,   texts::kStopLoss,  texts::kBid,          texts::kAsk};
    return std::find(std::begin(kNumbers), std::end(kNumbers), key) != std::end(kNumbers);
}

bool hasStatementHeaderMenu(StatementTable table) {
    return table != StatementTable::Instruments;
}

StatementData makeStatementData(std::shared_ptr<const AccountStatementInfo> statement,
                                std::vector<std::shared_ptr<const Order>> cancelled,
                                const std::function<std::int32_t(std::string_view code)>& liveDecimals) {
    StatementData data;
    data.statement = std::move(statement);
    data.cancelled = std::move(cancelled);
    data.cancelledDecimals.reserve(data.cancelled.size());
    for (const auto& order : data.cancelled)
        data.cancelledDecimals.push_back(order && liveDecimals ? liveDecimals(order->ItemCode) : -1);
    if (data.statement) {
        data.instruments.reserve(data.statement->InstrumentInfo.size());
        for (const auto& entry : data.statement->InstrumentInfo)
            data.instruments.push_back(&entry.second);
    }
    return data;
}

std::size_t statementRowCount(const StatementData& data, StatementTable table) {
    if (table == StatementTable::CancelledOrders)
        return data.cancelled.size();
    const AccountStatementInfo* s = data.statement.get();
    if (!s)
        return 0;
    switch (table) {
    case StatementTable::OpenPositions:
        return s->OpenPositionInfo.size();
    case StatementTable::SettledPositions:
        return s->SettledPositionInfo.size();
    case StatementTable::PendingOrders:
        return s->PendingOrderInfo.size();
    case StatementTable::Instruments:
        return data.instruments.size();
    case StatementTable::CancelledOrders:
        break;
    }
    return 0;
}

std::string statementCell(const StatementData& data, StatementTable table, std::size_t row,
                          std::string_view key) {
    if (row >= statementRowCount(data, table) || !listed(table, key))
        return {};
    if (table == StatementTable::CancelledOrders) {
        const Order* order = data.cancelled[row].get();
        const std::int32_t decimals = row < data.cancelledDecimals.size() ? data.cancelledDecimals[row] : -1;
        return order ? cancelledCell(*order, decimals, key) : std::string();
    }
    const AccountStatementInfo& s = *data.statement;
    switch (table) {
    case StatementTable::OpenPositions:
        return openCell(s, s.OpenPositionInfo[row], key);
    case StatementTable::SettledPositions:
        return settledCell(s, s.SettledPositionInfo[row], key);
    case StatementTable::PendingOrders:
        return pendingCell(s, s.PendingOrderInfo[row], key);
    case StatementTable::Instruments:
        return data.instruments[row] ? instrumentCell(*data.instruments[row], key) : std::string();
    case StatementTable::CancelledOrders:
        break;
    }
    return {};
}

bool isStatementNameColumn(std::string_view key) {
    // Side, order type, delivery, time in force.
    return key == texts::kSide || key == texts::kType || key == texts::kDelivery ||
           key == texts::kTimeInForce;
}

std::string statementShownCell(const StatementData& data, StatementTable table, std::size_t row,
                               std::string_view key, std::int64_t language) {
    std::string cell = statementCell(data, table, row, key);
    // Only these columns: an item code or id that happens to read "B" stays as it is.
    return isStatementNameColumn(key) ? shownName(language, cell) : cell;
}

std::vector<SummaryRow> accountSummaryRows(const AccountStatementInfo* s, std::int64_t language) {
    std::vector<SummaryRow> rows;
    if (!s || !s->StartInfo || !s->EndInfo)
        return rows;
    const auto add = [&](std::string caption, double value) {
        rows.push_back({std::move(caption), platform::amountText(value)});
    };
    const auto addExact = [&](std::string caption, const platform::Decimal& value) {
        add(std::move(caption), value.toDouble());
    };
    const auto key = [&](std::string_view k) { return languageText(language, k); };
    addExact(key(texts::kOpeningBalance), s->StartInfo->OpeningBalanceOfDay);
    addExact(key(texts::kDeposit), s->getDeposit());
    addExact(key(texts::kWithdrawal), s->getWithDrawal());
    addExact(key(texts::kAdjustments), s->getAdjustments());
    addExact(key(texts::kCommission), s->getCommission());
    addExact(key(texts::kRealizedStorage), s->getRealizedStorage());
    addExact(key(texts::kSettledPL), s->getSettledPL());
    addExact(key(texts::kTDS), s->getTDS());
    if (s->isDailyTDSAvailable())
        addExact(key(texts::kDaily) + " TDS", s->getDailyTDS());
    if (s->isMonthlyTDSAvailable())
        addExact(key(texts::kMonthly) + " TDS", s->getMonthlyTDS());
    const AccountHistoryInfo& end = *s->EndInfo;
    addExact(key(texts::kClosingBalance), end.Balance);
    addExact(key(texts::kAccumulatedStorage), end.AccumulatingStorage);
    add(key(texts::kFloatingPL), end.UnrealisedPL);
    add(key(texts::kEquity), end.Equity);
    addExact(key(texts::kCollateralSecurity), end.CollateralSecurity);
    addExact(key(texts::kUsedMargin), end.UsedMargin);
    add(key(texts::kAvailableMargin), end.AvailableMargin);
    addExact(key(texts::kMiscellaneous), s->getMiscellaneous());
    return rows;
}

std::string quantityTotalText(double value) {
    return sixDecimalText(value);
}

std::vector<SummaryRow> orderSummaryRows(const StatementData& data, std::int64_t language) {
    const AccountStatementInfo* s = data.statement.get();
    double cancelled = 0;
    for (const auto& order : data.cancelled)
        cancelled += order ? number(order->OrderQty) : 0.0;
    return {
        {languageText(language, texts::kSettledPositions),
         quantityTotalText(s ? s->getSettledQuantity() : 0)},
        {languageText(language, texts::kOpenPositions), quantityTotalText(s ? s->getOpenQuantity() : 0)},
        {languageText(language, texts::kPendingOrders), quantityTotalText(s ? s->getPendingQuantity() : 0)},
        {languageText(language, texts::kCancelledOrders), quantityTotalText(cancelled)},
    };
}

std::vector<SummaryRow> marginSummaryRows(const AccountStatementInfo* s, std::int32_t accountId,
                                          std::int64_t language) {
    const std::uint64_t count = s ? s->getMarginCallCountForAccountId(accountId) : 0;
    return {{languageText(language, texts::kMarginCalls), std::to_string(count)}};
}

std::string openStatusLine(const AccountStatementInfo* s, std::int64_t language) {
    const auto key = [&](std::string_view k) { return languageText(language, k); };
    return statusItems({
        {key(texts::kQuantity), quantityTotalText(s ? s->getOpenQuantity() : 0)},
        {key(texts::kPL), platform::amountText(s ? s->getOpenProfitOrLoss() : 0)},
        {key(texts::kCommission), platform::amountText(s ? s->getOpenCommission() : 0)},
        {key(texts::kStorage), platform::amountText(s ? s->getOpenStorage() : platform::Decimal())},
    });
}

std::string settledStatusLine(const AccountStatementInfo* s, std::int64_t language) {
    const auto key = [&](std::string_view k) { return languageText(language, k); };
    return statusItems({
        {key(texts::kQuantity), quantityTotalText(s ? s->getSettledQuantity() : 0)},
        {key(texts::kPL), platform::amountText(s ? s->getSettledProfitOrLoss() : platform::Decimal())},
        {key(texts::kCommission), platform::amountText(s ? s->getSettledCommission() : 0)},
        {key(texts::kStorage), platform::amountText(s ? s->getSettledStorage() : platform::Decimal())},
        {"TDS", platform::amountText(s ? s->getSettledTDS() : platform::Decimal())},
    });
}

JournalRow splitJournalLine(std::string_view line) {
    constexpr std::string_view kSeparator = "#$#";
    const std::size_t first = line.find(kSeparator);
    if (first == std::string_view::npos)
        return {std::string(line), {}};
    std::string_view rest = line.substr(first + kSeparator.size());
    const std::size_t second = rest.find(kSeparator);
    return {std::string(line.substr(0, first)), std::string(rest.substr(0, second))};
}

JournalRow journalRow(const std::vector<std::string>& lines, std::size_t row) {
    if (row >= lines.size())
        return {};
    return splitJournalLine(lines[lines.size() - 1 - row]);
}

} // namespace tc::gui
