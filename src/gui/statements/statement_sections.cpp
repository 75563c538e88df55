#include "gui/statements/statement_sections.h"

#include "gui/market/grid_cells.h"
#include "model/text/formatter.h"
#include "platform/lenient.h"

#include <fmt/format.h>

#include <algorithm>

namespace tc::gui {
namespace {

using statements::AccountStatementInfo;

const std::vector<std::string_view> kOpenColumns = {"0317", "0011", "0027", "0020", "0318", "0147", "0319",
                                                    "0137", "0275", "0432", "0132", "0478", "0483"};
const std::vector<std::string_view> kSettledColumns = {"0148", "0011", "0027", "0020", "0318", "0077",
                                                       "0319", "0275", "0432", "0151", "0323", "0324",
                                                       "0434", "0132", "0325", "0475", "0439"};
const std::vector<std::string_view> kPendingColumns = {"0070", "0011", "0328", "0071", "0020", "0028", "0232",
                                                       "0233", "0234", "0326", "0337", "0287", "0132"};
const std::vector<std::string_view> kCancelledColumns = {"0012", "0011", "0027", "0020", "0028",
                                                         "0232", "0070", "0132", "0495"};
const std::vector<std::string_view> kInstrumentColumns = {"0011", "0192", "0193"};

double number(std::string_view text) {
    return platform::lenientReal(text);
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

std::string openCell(const AccountStatementInfo& s, const OpenPositionHistoryInfo& p, std::string_view key) {
    const std::int32_t places = decimalsOf(s, p.InstrumentId);
    if (key == "0317")
        return p.OpenPositionId;
    if (key == "0011")
        return p.ItemCode;
    if (key == "0027")
        return quantityText(p.RemainingQty);
    if (key == "0020")
        return text(sideText(p.tradingMode));
    if (key == "0318")
        return price(number(p.OrderPrice), places);
    if (key == "0147")
        return price(p.CurrentPrice, places);
    if (key == "0319")
        return moneyText(p.UnrealisedPL);
    if (key == "0137")
        return p.TransactionDateTime;
    if (key == "0275")
        return moneyText(p.Commision);
    if (key == "0432")
        return moneyText(p.Storage);
    if (key == "0132")
        return text(deliveryModeText(p.deliveryMode));
    if (key == "0478")
        return p.ValueDate;
    if (key == "0483")
        return p.ExpiryDate;
    return {};
}

std::string settledCell(const AccountStatementInfo& s, const SettledPositionHistoryInfo& p,
                        std::string_view key) {
    const std::int32_t places = decimalsOf(s, p.InstrumentId);
    if (key == "0148")
        return p.SettlementId;
    if (key == "0011")
        return p.ItemCode;
    if (key == "0027")
        return quantityText(p.SettledQty);
    if (key == "0020")
        return text(sideText(p.tradingMode));
    if (key == "0318")
        return price(number(p.OrderPrice), places);
    if (key == "0077")
        return price(number(p.SettledPrice), places);
    if (key == "0319")
        return moneyText(number(p.SettledPL));
    if (key == "0275")
        return moneyText(p.Commision);
    if (key == "0432")
        return moneyText(p.Storage);
    if (key == "0151")
        return p.TransactionDateTime;
    if (key == "0323")
        return p.OpenPositionId;
    if (key == "0324")
        return p.ClosingPositionId;
    if (key == "0434")
        return price(p.CurrencyRate, places);
    if (key == "0132")
        return text(deliveryModeText(p.deliveryMode));
    if (key == "0325")
        return p.OpenDate;
    if (key == "0475")
        return p.CloseDate;
    if (key == "0439")
        return moneyText(p.OtherCharges);
    return {};
}

std::string pendingCell(const AccountStatementInfo& s, const PendingOrderHistoryInfo& o,
                        std::string_view key) {
    const std::int32_t places = decimalsOf(s, o.InstrumentId);
    if (key == "0070")
        return o.PendingOrderId;
    if (key == "0011")
        return o.ItemCode;
    if (key == "0328")
        return quantityText(o.OrderQty);
    if (key == "0071")
        return quantityText(o.RemainingQty);
    if (key == "0020")
        return text(sideText(o.tradingMode));
    if (key == "0028")
        return text(orderTypeText(o.orderType));
    if (key == "0232")
        return price(number(o.OrderPrice), places);
    if (key == "0233")
        return o.LimitPrice.empty() ? "0.00" : price(number(o.LimitPrice), places);
    if (key == "0234")
        return o.StopPrice.empty() ? "0.00" : price(number(o.StopPrice), places);
    if (key == "0326")
        return o.TransactionDateTime;
    if (key == "0337")
        return text(timeInForceText(o.timeinForce));
    if (key == "0287")
        return o.RefPositionIdOfBracket.empty() ? "0" : o.RefPositionIdOfBracket;
    if (key == "0132")
        return text(deliveryModeText(o.deliveryMode));
    return {};
}

std::string cancelledCell(const Order& o, std::int32_t decimals, std::string_view key) {
    if (key == "0012")
        return o.AccountNumber;
    if (key == "0011")
        return o.ItemCode;
    if (key == "0027")
        return quantityText(o.OrderQty);
    if (key == "0020")
        return text(sideText(o.tradingMode));
    if (key == "0028")
        return text(orderTypeText(o.orderType));
    if (key == "0232")
        return price(number(o.OrderPrice), decimals);
    if (key == "0070")
        return o.PendingOrderId.empty() ? "-" : o.PendingOrderId;
    if (key == "0132")
        return text(deliveryModeText(o.deliveryMode));
    if (key == "0495")
        return o.TransactionDateTime;
    return {};
}

std::string instrumentCell(const statements::InstrumentHistoryInfo& i, std::string_view key) {
    if (key == "0011")
        return i.Code;
    if (key == "0192")
        return price(i.Bid, i.DecimalPlaces);
    if (key == "0193")
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
        return key == "0137";
    case StatementTable::SettledPositions:
        return key == "0151";
    case StatementTable::PendingOrders:
        return key == "0326";
    case StatementTable::CancelledOrders:
        return key == "0495";
    case StatementTable::Instruments:
        break;
    }
    return false;
}

bool isStatementNumberColumn(std::string_view key) {
    static constexpr std::string_view kNumbers[] = {"0027", "0318", "0147", "0319", "0275", "0432",
                                                    "0077", "0434", "0439", "0328", "0071", "0232",
                                                    "0233", "0234", "0192", "0193"};
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
    return key == "0020" || key == "0028" || key == "0132" || key == "0337";
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
        rows.push_back({std::move(caption), groupedMoneyText(value)});
    };
    const auto addExact = [&](std::string caption, const platform::Decimal& value) {
        add(std::move(caption), value.toDouble());
    };
    const auto key = [&](std::string_view k) { return languageText(language, k); };
    addExact(key("0429"), s->StartInfo->OpeningBalanceOfDay);
    addExact(key("0092"), s->getDeposit());
    addExact(key("0112"), s->getWithDrawal());
    addExact(key("0431"), s->getAdjustments());
    addExact(key("0275"), s->getCommission());
    addExact(key("0487"), s->getRealizedStorage());
    addExact(key("0152"), s->getSettledPL());
    addExact(key("0433"), s->getTDS());
    if (s->isDailyTDSAvailable())
        addExact(key("0201") + " TDS", s->getDailyTDS());
    if (s->isMonthlyTDSAvailable())
        addExact(key("0202") + " TDS", s->getMonthlyTDS());
    const AccountHistoryInfo& end = *s->EndInfo;
    add(key("0430"), end.Balance);
    add(key("0440"), end.AccumulatingStorage);
    add(key("0139"), end.UnrealisedPL);
    add(key("0222"), end.Equity);
    add(key("0581"), end.CollateralSecurity);
    add(key("0015"), end.UsedMargin);
    add(key("0014"), end.AvailableMargin);
    addExact(key("0442"), s->getMiscellaneous());
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
        {languageText(language, "0260"), quantityTotalText(s ? s->getSettledQuantity() : 0)},
        {languageText(language, "0103"), quantityTotalText(s ? s->getOpenQuantity() : 0)},
        {languageText(language, "0261"), quantityTotalText(s ? s->getPendingQuantity() : 0)},
        {languageText(language, "0088"), quantityTotalText(cancelled)},
    };
}

std::vector<SummaryRow> marginSummaryRows(const AccountStatementInfo* s, std::int32_t accountId,
                                          std::int64_t language) {
    const std::uint64_t count = s ? s->getMarginCallCountForAccountId(accountId) : 0;
    return {{languageText(language, "0476"), std::to_string(count)}};
}

std::string openStatusLine(const AccountStatementInfo* s, std::int64_t language) {
    const auto key = [&](std::string_view k) { return languageText(language, k); };
    return statusItems({
        {key("0027"), quantityTotalText(s ? s->getOpenQuantity() : 0)},
        {key("0319"), groupedMoneyText(s ? s->getOpenProfitorLoss() : 0)},
        {key("0275"), groupedMoneyText(s ? s->getOpenCommission() : 0)},
        {key("0432"), groupedMoneyText(s ? s->getOpenStorage() : 0)},
    });
}

std::string settledStatusLine(const AccountStatementInfo* s, std::int64_t language) {
    const auto key = [&](std::string_view k) { return languageText(language, k); };
    return statusItems({
        {key("0027"), quantityTotalText(s ? s->getSettledQuantity() : 0)},
        {key("0319"), groupedMoneyText(s ? s->getSettledProfitorLoss() : 0)},
        {key("0275"), groupedMoneyText(s ? s->getSettledCommission() : 0)},
        {key("0432"), groupedMoneyText(s ? s->getSettledStorage() : 0)},
        {"TDS", groupedMoneyText(s ? s->getSettledTDS() : 0)},
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
