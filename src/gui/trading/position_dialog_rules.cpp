#include "gui/trading/position_dialog_rules.h"

#include "gui/grid/grid_cells.h"
#include "gui/texts.h"
#include "gui/trading/trade_entries.h"
#include "model/position_arithmetic.h"
#include "model/position_quantities.h"
#include "model/price_grid.h"
#include "model/records/account_details.h"
#include "model/records/group_details.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "model/records/record_decimal.h"
#include "model/session_model.h"
#include "model/session_model_lookup.h"
#include "model/text/formatter.h"
#include "platform/amount_text.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <tuple>

namespace tc::gui {
namespace {

// Order-type bits of accounts and instruments.
constexpr std::int32_t kTakeProfitBit = 2;
constexpr std::int32_t kStopLossBit = 4;
// Account setting: a close may carry a price deviation.
constexpr std::int64_t kDeviationSetting = 2;

std::string text(std::int64_t language, std::string_view key) {
    return languageText(language, key);
}

std::string titled(std::string_view word, std::string_view id) {
    return fmt::format("{} #{}", word, id);
}

// The live price a job executes at: a position closes on the other side of its own, an order
// is cancelled showing the price it would buy (Ask) or sell (Bid) at.
double livePrice(const ItemDetails* item, std::int32_t side, CloseJob job) {
    if (!item)
        return 0;
    const bool buy = side == 0;
    if (job == CloseJob::Close)
        return closingQuote(*item, side).toDouble();
    return (buy ? item->Ask : item->Bid).toDouble();
}

// A bracket the record holds: a stored price that reads as a number other than 0 (the record
// cannot tell an absent level from an empty one, and the server writes none as 0).
// A bracket price above 0.
bool holdsBracket(const std::optional<Decimal>& price) {
    return price && price->compare(Decimal()) > 0;
}

struct FoundRecord {
    std::shared_ptr<const Order> order;
    RowRecords records;
};

// The record under `id` in `list` with the records it names.
std::optional<FoundRecord> dialogRecord(const SessionModel& model, const SessionQueries& queries,
                                        DialogRecord list, std::string_view id) {
    auto order = findRecord(queries, list, id);
    if (!order)
        return std::nullopt;
    const RowRecords records = recordsOf(model, *order);
    return FoundRecord{std::move(order), records};
}

void showRecord(RecordLines& lines, const Order& o, const ItemDetails* item) {
    lines.account = o.AccountNumber;
    lines.symbol = o.ItemCode;
    lines.name = item ? item->Name : std::string();
}

} // namespace

std::shared_ptr<const Order> findRecord(const SessionQueries& queries, DialogRecord list,
                                        std::string_view id) {
    if (id.empty())
        return nullptr;
    const OrderView orders = list == DialogRecord::OpenPosition ? queries.getOpenOrderCollection()
                                                                : queries.getPendingOrderCollection();
    for (const auto& order : orders)
        if (order &&
            (list == DialogRecord::OpenPosition ? order->OpenPositionId : order->PendingOrderId) == id)
            return order;
    return nullptr;
}

std::vector<std::string> wholeQuantityList(const Decimal& upTo, std::size_t cap) {
    std::vector<std::string> list;
    if (upTo.isNaN() || !(upTo >= Decimal::fromInt64(1)))
        return list;
    const Decimal whole = upTo.rounded(0, platform::RoundingMode::Down);
    const Decimal limit = Decimal::fromUInt64(cap);
    const std::size_t n = static_cast<std::size_t>((whole < limit ? whole : limit).int64Value());
    list.reserve(n);
    for (std::size_t i = 1; i <= n; ++i)
        list.push_back(std::to_string(i));
    return list;
}

std::string quantityDescription(std::string_view quantityText, double contractSize) {
    const TradeEntry quantity = readQuantityEntry(quantityText);
    if (!quantity.ok())
        return {};
    return fmt::format("{} x {:.2f} = {:.2f}", quantityText, contractSize,
                       contractValue(quantity.value->toDouble(), contractSize));
}

std::string typedQuantityDescription(std::string_view quantityText, double contractSize,
                                     const GroupInstruments* settings) {
    if (typedQuantityRefusal(quantityText, settings))
        return {};
    return quantityDescription(quantityText, contractSize);
}

std::optional<CloseView> closeView(const SessionModel& model, const SessionQueries& queries, CloseJob job,
                                   std::string_view id, std::int64_t language,
                                   std::optional<std::string_view> quantity) {
    const bool close = job == CloseJob::Close;
    const auto found =
        dialogRecord(model, queries, close ? DialogRecord::OpenPosition : DialogRecord::PendingOrder, id);
    if (!found)
        return std::nullopt;
    const Order& o = *found->order;
    const RowRecords& records = found->records;
    const ItemDetails* item = records.item;
    CloseView v;
    showRecord(v, o, item);
    v.orderPrice = priceText(o.OrderPrice, item);
    v.currentPrice = priceText(livePrice(item, o.tradingMode, job), item);
    const double contract = item ? item->ContractSize.toDouble() : 0;
    // Lots the sheet would refuse are worked into no figure.
    bool figuresShown = true;
    if (close) {
        const Decimal closable = closableQuantity(o, queries.getPendingOrderCollection());
        v.boxTitle = titled(text(language, texts::kClosePosition), o.OpenPositionId);
        v.quantity = quantity ? std::string(*quantity) : closable.toString();
        v.quantityList = wholeQuantityList(closable);
        v.quantityEditable = true;
        v.orderType = shownName(language, "Market");
        v.resultShown = true;
        v.quantityRefused = closeQuantityRefusal(v.quantity, closable, o.RemainingQty, records.settings);
        figuresShown = !v.quantityRefused;
        if (figuresShown)
            v.estimatedResult = platform::amountText(
                closeResult(o, readQuantityEntry(v.quantity).value->toDouble(), SessionModelLookup(model)));
        // The position's side is sold or bought back; lots the sheet refuses are not named.
        const std::string side = text(language, o.tradingMode == 0 ? texts::kSell : texts::kBuy);
        const std::string lots = figuresShown ? readQuantityEntry(v.quantity).value->toString() + ' ' : "";
        v.buttonTitle = fmt::format("{} #{} ({} {}{} @ {})", text(language, texts::kClose), o.OpenPositionId,
                                    side, lots, o.ItemCode, text(language, texts::kMarketRate));
        v.deviationShown = records.account && (records.account->accountSettings & kDeviationSetting) != 0;
    } else {
        v.boxTitle = titled(text(language, texts::kCancelOrder), o.PendingOrderId);
        v.quantity = quantityText(o.RemainingQty);
        v.orderType = shownName(language, orderTypeText(o.orderType));
        std::string_view word;
        switch (o.orderType) {
        case 1:
            word = texts::kCancelMarketOrder;
            break;
        case 2:
            word = texts::kCancelLimitOrder;
            break;
        case 3:
            word = texts::kCancelStopOrder;
            break;
        default:
            break;
        }
        v.buttonTitle = titled(word.empty() ? std::string() : text(language, word), o.PendingOrderId);
    }
    if (figuresShown)
        v.quantityDescription = quantityDescription(v.quantity, contract);
    return v;
}

std::optional<Refusal> refusedEntry(const TradeEntry& entry, std::string_view fieldKey) {
    if (entry.ok())
        return std::nullopt;
    return Refusal{entry.refusal.key, entry.refusal.limit, std::string(fieldKey)};
}

std::optional<Refusal> quantityRefusal(std::string_view quantity) {
    const TradeEntry entry = readQuantityEntry(quantity);
    if (auto refusal = refusedEntry(entry, texts::kQuantity))
        return refusal;
    if (!(*entry.value > Decimal()))
        return Refusal{std::string(kBadQuantityKey)};
    return std::nullopt;
}

std::optional<Refusal> closeRefusal(std::string_view quantity, const Decimal& closable,
                                    std::optional<std::string_view> deviation) {
    if (deviation && deviation->empty())
        return Refusal{std::string(kDeviationMissingKey)};
    if (deviation)
        if (auto refusal = refusedEntry(readPointsEntry(*deviation), texts::kDeviation))
            return refusal;
    if (auto refusal = quantityRefusal(quantity))
        return refusal;
    const Decimal value = *readQuantityEntry(quantity).value;
    // Lots that pending orders already close are not offered again: closing them twice would open
    // a position the other way once both fill.
    if (value > closable)
        return Refusal{std::string(kAboveClosableKey), closable.toString()};
    return std::nullopt;
}

namespace {

// The order rules' refusal of lots that read as a number above 0.
std::optional<Refusal> ruledQuantity(std::string_view quantity, const GroupInstruments* settings,
                                     bool closesRemainder) {
    Refusal ruled = quantityRuleRefusal(*readQuantityEntry(quantity).value, settings, closesRemainder);
    if (!ruled.refused())
        return std::nullopt;
    return ruled;
}

} // namespace

std::optional<Refusal> closeQuantityRefusal(std::string_view quantity, const Decimal& closable,
                                            const Decimal& remaining, const GroupInstruments* settings) {
    if (auto refusal = closeRefusal(quantity, closable, std::nullopt))
        return refusal;
    return ruledQuantity(quantity, settings, readQuantityEntry(quantity).value->compare(remaining) == 0);
}

std::optional<Refusal> typedQuantityRefusal(std::string_view quantity, const GroupInstruments* settings) {
    if (auto refusal = quantityRefusal(quantity))
        return refusal;
    return ruledQuantity(quantity, settings, false);
}

std::optional<ModifyView> modifyView(const SessionModel& model, const SessionQueries& queries,
                                     ModifyMode mode, std::string_view id, std::int64_t language) {
    const bool position = mode == ModifyMode::PositionBrackets;
    const auto found =
        dialogRecord(model, queries, position ? DialogRecord::OpenPosition : DialogRecord::PendingOrder, id);
    if (!found)
        return std::nullopt;
    const Order& o = *found->order;
    const RowRecords& records = found->records;
    const ItemDetails* item = records.item;
    ModifyView v;
    showRecord(v, o, item);
    v.quantity = quantityText(o.RemainingQty);
    v.quantityList = wholeQuantityList(o.RemainingQty);
    v.quantityDescription = quantityDescription(v.quantity, item ? item->ContractSize.toDouble() : 0);
    v.orderType = shownName(language, orderTypeText(o.orderType));
    v.price = priceText(o.OrderPrice, item);
    if (position) {
        v.boxTitle = titled(text(language, texts::kModifyPosition), o.OpenPositionId);
    } else {
        std::string caption;
        if (o.orderType >= 1 && o.orderType <= 3)
            caption = text(language, o.orderType == 1   ? texts::kModifyMarketOrder
                                     : o.orderType == 2 ? texts::kModifyLimitOrder
                                                        : texts::kModifyStopOrder);
        v.boxTitle = titled(caption, o.PendingOrderId);
        v.priceEditable = true;
        // A take profit or stop loss of a position closes what the position holds.
        v.quantityEditable = o.RefPositionIdOfBracket.empty();
    }
    v.buttonTitle = v.boxTitle;
    v.takeProfitOn = holdsBracket(o.LimitPrice);
    v.stopLossOn = holdsBracket(o.StopPrice);
    if (v.takeProfitOn)
        v.takeProfit = priceText(*o.LimitPrice, item);
    if (v.stopLossOn)
        v.stopLoss = priceText(*o.StopPrice, item);
    const std::int32_t accountTypes = records.account ? records.account->availableOrderTypes : 0;
    const std::int32_t itemTypes = item ? item->availableOrderTypes : 0;
    v.takeProfitShown = (accountTypes & itemTypes & kTakeProfitBit) != 0;
    v.stopLossShown = (accountTypes & itemTypes & kStopLossBit) != 0;
    v.tickSize = item ? item->TickSize.toDouble() : 0;
    v.decimals = item ? item->DisplayDecimalPlaces() : 0;
    return v;
}

TypedQuantity modifyQuantity(const SessionModel& model, const SessionQueries& queries, ModifyMode mode,
                             std::string_view id, std::string_view quantityText) {
    const auto found = dialogRecord(
        model, queries,
        mode == ModifyMode::PositionBrackets ? DialogRecord::OpenPosition : DialogRecord::PendingOrder, id);
    if (!found)
        return {};
    const ItemDetails* item = found->records.item;
    return {typedQuantityDescription(quantityText, item ? item->ContractSize.toDouble() : 0,
                                     found->records.settings),
            typedQuantityRefusal(quantityText, found->records.settings)};
}

std::string defaultBracketPrice(const SessionModel& model, const Order& record, ModifyMode mode,
                                bool takeProfit) {
    const RowRecords records = recordsOf(model, record);
    const ItemDetails* item = records.item;
    const bool buy = record.tradingMode == 0;
    double base = orZero(record.OrderPrice).toDouble();
    if (mode == ModifyMode::PositionBrackets && item) {
        base = closingQuote(*item, record).toDouble();
        if (base == 0)
            base = item->Last.toDouble();
    }
    return priceText(bracketDefaultPrice(base, buy, takeProfit, item, records.settings), item);
}

std::string steppedPrice(std::string_view text, double tickSize, std::int32_t decimals, int steps) {
    const TradeEntry price = readPriceEntry(text, decimals);
    if (!text.empty() && !price.ok())
        return std::string(text);
    const double from = price.ok() ? price.value->toDouble() : 0;
    return Formatter::formatDecimal(tc::steppedPrice(from, tickSize, steps), decimals);
}

std::optional<Refusal> modifyRefusal(std::optional<std::string_view> price,
                                     std::optional<std::string_view> takeProfit,
                                     std::optional<std::string_view> stopLoss, std::int32_t decimals) {
    for (const auto& [text, key, field] :
         {std::tuple{price, kBadOrderPriceKey, std::string_view(texts::kPriceField)},
          std::tuple{takeProfit, kBadTakeProfitKey, std::string_view(texts::kTakeProfit)},
          std::tuple{stopLoss, kBadStopLossKey, std::string_view(texts::kStopLoss)}}) {
        if (!text)
            continue;
        // An empty field is named as the one to fill; any other text that is no price says why.
        if (text->empty())
            return Refusal{std::string(key)};
        if (auto refusal = refusedEntry(readPriceEntry(*text, decimals), field))
            return refusal;
    }
    return std::nullopt;
}

std::optional<ModifyField> modifyFieldOf(std::string_view refusalKey) {
    // The keys the order rules refuse a price with (OrderManager::VerifyOrder, checkProtectivePrices).
    static constexpr std::pair<std::string_view, ModifyField> kFields[] = {
        {"0423", ModifyField::Price},       {"1038", ModifyField::Price},
        {"1039", ModifyField::Price},       {"1042", ModifyField::Price},
        {"1043", ModifyField::Price},       {"20231", ModifyField::TakeProfit},
        {"20232", ModifyField::TakeProfit}, {"20233", ModifyField::TakeProfit},
        {"20228", ModifyField::StopLoss},   {"20229", ModifyField::StopLoss},
        {"20230", ModifyField::StopLoss}};
    for (const auto& [key, field] : kFields)
        if (key == refusalKey)
            return field;
    return std::nullopt;
}

} // namespace tc::gui
