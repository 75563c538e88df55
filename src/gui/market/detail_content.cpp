#include "gui/market/detail_content.h"

#include "gui/grid/grid_cells.h"
#include "gui/texts.h"
#include "model/collection_keys.h"
#include "model/data_service_collections.h"
#include "model/position_quantities.h"
#include "model/price_grid.h"
#include "model/records/account_details.h"
#include "model/records/group_details.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "model/records/record_decimal.h"
#include "model/session_model.h"
#include "model/text/formatter.h"

#include <fmt/format.h>

namespace tc::gui {
namespace {

class RowBuilder {
public:
    explicit RowBuilder(std::int64_t language) : language_(language) {}
    // A caption given by its language key.
    void key(std::string_view key, std::string value) {
        rows.push_back({languageText(language_, key), std::move(value)});
    }
    // A caption shown as it stands.
    void literal(std::string_view caption, std::string value) {
        rows.push_back({std::string(caption), std::move(value)});
    }
    std::vector<DetailRow> rows;

private:
    std::int64_t language_;
};

// Margins print without trailing zeros, and with "%" when the group charges them in percent.
std::string marginText(const platform::Decimal& value, const GroupInstruments& settings) {
    std::string text = sixDecimalText(value);
    if (settings.marginCalculationMode == 2)
        text += "%";
    return text;
}

// A first notice or last trading day: shown unless it is the null date; "-" when the instrument has
// none.
void addTradingDay(RowBuilder& rows, std::string_view caption, std::optional<WallTime> date) {
    if (date && wireDateTime(date) == Formatter::kNullWireDateTime)
        return;
    rows.literal(caption, date ? displayDateTime(date) : std::string("-"));
}

// An amount and its integer part in words: "300 (three hundred)".
std::string withWords(const std::string& amount) {
    return amount + " (" + Formatter::spelloutFromString(amount) + ")";
}

const AccountDetails* accountOf(const SessionModel& model, std::string_view number) {
    const auto* found = model.AccountDetailCollection.get(number);
    return found ? found->get() : nullptr;
}

void instrumentDetails(RowBuilder& rows, const ItemDetails& item, const GroupInstruments& settings) {
    rows.literal("Symbol", item.Code);
    rows.literal("Type", item.InstrumentTypeName);
    rows.literal("Name", item.Name);
    rows.literal("Tick", priceText(item.TickSize, &item));
    rows.literal("Contract Size", sixDecimalText(item.ContractSize));
    addTradingDay(rows, "First Notice Day", item.FND);
    addTradingDay(rows, "Last Trading Day", item.LTD);
    rows.literal("Buy Storage Rate", sixDecimalText(settings.BuyInterestRate));
    rows.literal("Sell Storage Rate", sixDecimalText(settings.SellInterestRate));
    rows.literal("Limit Min Pips", std::to_string(settings.LimitMinPips));
    rows.literal("Stop Min Pips", std::to_string(settings.StopMinPips));
    rows.literal("Initial Margin", marginText(settings.InitialMargin, settings));
    if (!settings.IntradayOrderMargin.isZero())
        rows.literal("Intraday Margin", marginText(settings.IntradayOrderMargin, settings));
    if (!settings.BTSTOrderMargin.isZero())
        rows.literal("BTST Margin", marginText(settings.BTSTOrderMargin, settings));
    rows.literal("Overnight Margin", marginText(settings.OverNightMargin, settings));
}

void marketSessions(RowBuilder& rows, DetailContent& content, const ItemDetails& item,
                    const SessionQueries& queries) {
    if (!queries.checkMarketSessionSchedulesIsAvailable(item.marketID)) {
        content.needsSchedule = true;
        return;
    }
    // Days come in ascending number; each day's sessions one per line.
    for (const auto& [day, sessions] : queries.getMarketSessionSchedulesCollection(item.marketID)) {
        std::string value;
        for (const std::string& session : sessions) {
            if (!value.empty())
                value += '\n';
            value += session;
        }
        rows.literal(queries.getDaysOfTheWeekName(day), std::move(value));
    }
}

} // namespace

std::optional<DetailType> detailTypeOf(std::int32_t number) {
    if (number < 0 || number > 10)
        return std::nullopt;
    return static_cast<DetailType>(number);
}

std::optional<std::string_view> detailTitle(DetailType type) {
    switch (type) {
    case DetailType::InstrumentDetails:
        return "Instrument Details:";
    case DetailType::OpenPositionReceipt:
    case DetailType::ExecutedPositionReceipt:
        return "Delivery Receipt:";
    default:
        return std::nullopt;
    }
}

const Order* findPosition(const OrderView& positions, std::string_view positionId) {
    if (positionId.empty())
        return nullptr;
    for (const auto& position : positions)
        if (position && position->OpenPositionId == positionId)
            return position.get();
    return nullptr;
}

DetailContent deliveryReceipt(const Order* position, const SessionModel& model, const BankDetails* bank,
                              std::int64_t language) {
    RowBuilder rows(language);
    DetailContent content;
    if (!position) {
        for (std::string_view key : {texts::kAccountNo, texts::kAccountName})
            rows.key(key, {});
        rows.literal("Bank Name", {});
        rows.literal("Bank Account Number", {});
        for (std::string_view key : {texts::kPositionIDColumn, texts::kInstrument, texts::kBuySell,
                                     texts::kQuantity, texts::kPriceField})
            rows.key(key, {});
        rows.literal("Total Cost", {});
        rows.key(texts::kInitialMargin, {});
        rows.key(texts::kOpenTime, {});
        rows.literal("Delivery Date", {});
        rows.key(texts::kExpiryDate, {});
        content.rows = std::move(rows.rows);
        content.recordFound = false;
        return content;
    }
    const RowRecords records = recordsOf(model, *position);
    const AccountDetails* account =
        records.account ? records.account : accountOf(model, position->AccountNumber);
    const double price = orZero(position->OrderPrice).toDouble();

    rows.key(texts::kAccountNo, account ? std::to_string(account->AccountId) : std::string());
    rows.key(texts::kAccountName, account ? account->AccountName : std::string());
    rows.literal("Bank Name", bank ? bank->BankName : std::string());
    rows.literal("Bank Account Number", bank && bank->BankAccountNumber > 0
                                            ? std::to_string(bank->BankAccountNumber)
                                            : std::string());
    rows.key(texts::kPositionIDColumn, position->OpenPositionId);
    rows.key(texts::kInstrument, position->ItemCode);
    rows.key(texts::kBuySell, Order::GetTradingModeString(position->tradingMode, false, language));
    rows.key(texts::kQuantity, quantityText(position->OrderQty));
    rows.key(texts::kPriceField, priceText(price, records.item));
    rows.literal("Total Cost", withWords(sixDecimalText(deliveryTotalCost(*position, records.item))));
    const auto margin = deliveryMargin(*position, records.settings, records.item);
    rows.key(texts::kInitialMargin, margin ? withWords(margin->toString()) : std::string());
    rows.key(texts::kOpenTime, displayDateTime(position->TransactionDateTime));
    rows.literal("Delivery Date", displayDate(position->ValueDate));
    rows.key(texts::kExpiryDate, displayDate(position->ExpiryDate));
    content.rows = std::move(rows.rows);
    return content;
}

DetailContent instrumentDetail(DetailType type, std::string_view code, const InstrumentSources& sources) {
    static const ItemDetails kNoItem;
    static const GroupInstruments kNoSettings;
    const ItemDetails* found = instrumentOf(sources.model, code);
    const ItemDetails& item = found ? *found : kNoItem;
    const AccountDetails* account = accountOf(sources.model, sessionKey(sources.currentAccount));
    const GroupInstruments* foundSettings = groupSettings(sources.model, account, found);
    const GroupInstruments& settings = foundSettings ? *foundSettings : kNoSettings;

    RowBuilder rows(sources.language);
    DetailContent content;
    switch (type) {
    case DetailType::InstrumentDetails:
        instrumentDetails(rows, item, settings);
        break;
    case DetailType::SymbolSpecification:
        rows.key(texts::kName, item.Name);
        rows.literal("Exchange", item.exchangeName);
        break;
    case DetailType::ContractSpecification:
        rows.key(texts::kContractSize, Formatter::formatDecimal(item.ContractSize, 2));
        rows.key(texts::kTickSize, priceText(item.priceTick, &item));
        rows.key(texts::kUnit, std::string(ItemDetails::getUnits(
                                   item.UnitId < 0 ? 0 : static_cast<std::uint64_t>(item.UnitId))));
        rows.key(texts::kDecimalPlaces, std::to_string(item.DecimalPlaces));
        rows.key(texts::kMinOrderQty, sixDecimalText(settings.MinOrderQty));
        rows.key(texts::kMaxOrderQty, sixDecimalText(settings.MaxOrderQty));
        rows.key(texts::kOrderQtyStep, sixDecimalText(settings.OrderQtyStep));
        rows.key(texts::kLimitMinDistance, std::to_string(settings.LimitMinPips));
        rows.key(texts::kStopMinDistance, std::to_string(settings.StopMinPips));
        break;
    case DetailType::MarginRequirement:
        rows.key(texts::kInitialMargin, marginText(settings.InitialMargin, settings));
        // The overnight row repeats the initial margin, as this list always has; the instrument details
        // list shows OverNightMargin itself.
        rows.key(texts::kOvernightMargin, marginText(settings.InitialMargin, settings));
        if (!settings.IntradayOrderMargin.isZero())
            rows.key(texts::kIntradayMargin, marginText(settings.IntradayOrderMargin, settings));
        if (!settings.BTSTOrderMargin.isZero())
            rows.key(texts::kBTSTMargin, marginText(settings.BTSTOrderMargin, settings));
        break;
    case DetailType::DailyPriceLimits:
        rows.key(texts::kUpperLimit, priceText(getFluctuationLimitUpPrice(found), &item));
        rows.key(texts::kLowerLimit, priceText(getFluctuationLimitDownPrice(found), &item));
        break;
    case DetailType::MarketSessions:
        marketSessions(rows, content, item, sources.queries);
        break;
    case DetailType::Storage:
        rows.key(texts::kBuyStorageRate, sixDecimalText(settings.BuyInterestRate));
        rows.key(texts::kSellStorageRate, sixDecimalText(settings.SellInterestRate));
        break;
    case DetailType::RelatedDates:
        rows.key(texts::kFirstNoticeDay, displayDateTime(item.FND));
        rows.key(texts::kLastTradingDay, displayDateTime(item.LTD));
        break;
    default:
        break;
    }
    content.rows = std::move(rows.rows);
    return content;
}

ConsolidatedTableData::Rows detailPrintRows(const DetailContent& content, std::int64_t language) {
    TableViewData table;
    table.columns = {{std::string(kCaptionColumn)}, {std::string(kValueColumn)}};
    table.cells.reserve(content.rows.size());
    for (const DetailRow& row : content.rows)
        table.cells.push_back({row.caption, row.value});
    return ConsolidatedTableData::getConsolidatedDataFromTableView(table, content.rows.size(), language);
}

DetailContent depositWithdrawalInfo(std::vector<DetailRow> lines) {
    DetailContent content;
    content.rows = std::move(lines);
    return content;
}

} // namespace tc::gui
