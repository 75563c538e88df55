#include "gui/grid/grid_cells.h"
#include "gui/grid/grid_tones.h"
#include "gui/texts.h"

#include "model/position_arithmetic.h"
#include "model/records/account_details.h"
#include "model/records/currency_records.h"
#include "model/records/group_details.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "model/records/record_decimal.h"
#include "model/session_model.h"
#include "model/text/formatter.h"
#include "model/text/language_string.h"
#include "platform/amount_text.h"
#include "platform/decimal.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

namespace tc::gui {
namespace {

template <class V>
const V* entry(const SessionModel::Collection<V>& collection, std::string_view key) {
    const auto* found = collection.get(key);
    return found ? found->get() : nullptr;
}

Tone signTone(double value) {
    return value < 0 ? Tone::Loss : Tone::Gain;
}

// Take-profit and stop-loss prices: 0 when the order has none, in the instrument's decimals as its
// other prices and its statement row show it ("0.00" without the instrument).
std::string bracketPriceText(const std::optional<platform::Decimal>& price, const ItemDetails* item) {
    return priceText(price.value_or(platform::Decimal()), item);
}

const SessionSettings* currentSession(const SessionModel& model, const ItemDetails& item) {
    if (item.CurrentTradeSessionSettingId < 0)
        return nullptr;
    return model.sessionSettings(static_cast<std::uint64_t>(item.CurrentTradeSessionSettingId)).get();
}

} // namespace

double positionMarginValue(const Order& position, const RowRecords& records) {
    if (!records.item)
        return 0;
    const auto perLot = position.GetMarginForSingleLot(records.settings, *records.item);
    if (!perLot)
        return 0;
    const platform::Decimal margin =
        perLot->multiply(position.RemainingQty, platform::DecimalRounding{platform::RoundingMode::Plain, 2});
    return margin.isNaN() ? 0 : margin.toDouble();
}

platform::Decimal executedQuantity(const Order& order) {
    return !order.RemainingQty.isZero() ? order.RemainingQty : order.OrderQty;
}

const ItemDetails* instrumentOf(const SessionModel& model, std::string_view code) {
    return entry(model.ItemCollection, code);
}

const GroupInstruments* groupSettings(const SessionModel& model, const AccountDetails* account,
                                      const ItemDetails* item) {
    if (!account || !item)
        return nullptr;
    const GroupDetails* group = entry(model.GroupDetailCollection, account->GroupId);
    return group ? group->groupInstrument(item->InstrumentId) : nullptr;
}

RowRecords recordsOf(const SessionModel& model, const Order& order) {
    RowRecords records;
    records.item = instrumentOf(model, order.ItemCode);
    records.account = entry(model.AccountDetailCollection, order.AccountNumber);
    records.settings = groupSettings(model, records.account, records.item);
    return records;
}

RowRecords RowRecordsCache::of(const Order& order) {
    return recordsOf(order, true);
}

RowRecords RowRecordsCache::recordsOf(const Order& order, bool withSettings) {
    RowRecords records;
    records.item = instrumentOf(model_, order.ItemCode);
    // Keys view the orders' own account numbers, which outlive the pass.
    auto [found, added] = accounts_.try_emplace(order.AccountNumber);
    if (added) {
        found->second.account = entry(model_.AccountDetailCollection, order.AccountNumber);
        if (found->second.account)
            found->second.group = entry(model_.GroupDetailCollection, found->second.account->GroupId);
    }
    records.account = found->second.account;
    if (const GroupDetails* group = found->second.group; withSettings && group && records.item) {
        auto [settings, fresh] = settings_[group].try_emplace(records.item->InstrumentId, nullptr);
        if (fresh)
            settings->second = group->groupInstrument(records.item->InstrumentId);
        records.settings = settings->second;
    }
    return records;
}

std::string priceText(double value, const ItemDetails* item) {
    return Formatter::formatDecimal(value, item ? item->DisplayDecimalPlaces() : 0);
}

std::string priceText(const platform::Decimal& value, const ItemDetails* item) {
    return priceText(value.toDouble(), item);
}

std::string priceText(const std::optional<platform::Decimal>& value, const ItemDetails* item) {
    return priceText(orZero(value), item);
}

std::string priceText(const platform::CompactDecimal& value, const ItemDetails* item) {
    return priceText(value.toDouble(), item);
}

std::string quantityText(const platform::Decimal& value) {
    return value.toString();
}

platform::Decimal sixDecimals(double value) {
    return platform::Decimal::fromDouble(value);
}

std::string sixDecimalText(double value) {
    return sixDecimals(value).toString();
}

std::string sixDecimalText(const platform::Decimal& value) {
    return sixDecimalText(value.toDouble());
}

std::string_view sideText(std::int32_t tradingMode) {
    return tradingMode == 0 ? "B" : "S";
}

std::string_view orderTypeText(std::int32_t orderType) {
    switch (orderType) {
    case 0:
        return "None";
    case 1:
        return "Market";
    case 2:
        return "Limit";
    case 3:
        return "Stop";
    default:
        return "";
    }
}

std::string_view deliveryModeText(std::int32_t mode) {
    switch (mode) {
    case 1:
        return "Regular";
    case 2:
        return "Intraday";
    case 3:
        return "BTST";
    default:
        return "Unknown";
    }
}

std::string_view timeInForceText(std::int32_t tif) {
    switch (tif) {
    case 0:
        return "Unknown";
    case 1:
        return "GTC";
    case 2:
        return "GTF";
    case 5:
        return "Day";
    default:
        return "";
    }
}

std::span<const std::string_view> namesOf(Field field) {
    static constexpr std::string_view kSides[] = {"B", "S"};
    static constexpr std::string_view kOrderTypes[] = {"None", "Market", "Limit", "Stop"};
    static constexpr std::string_view kDeliveryModes[] = {"Regular", "Intraday", "BTST", "Unknown"};
    static constexpr std::string_view kTimesInForce[] = {"Unknown", "GTC", "GTF", "Day"};
    switch (field) {
    case Field::Side:
        return kSides;
    case Field::OrderType:
        return kOrderTypes;
    case Field::DeliveryMode:
        return kDeliveryModes;
    case Field::TimeInForce:
        return kTimesInForce;
    default:
        return {};
    }
}

std::string_view nameKey(std::string_view name) {
    static constexpr std::pair<std::string_view, std::string_view> kKeys[] = {{"Market", texts::kMarket},
                                                                              {"Limit", texts::kLimit},
                                                                              {"Stop", texts::kStop},
                                                                              {"None", texts::kNone},
                                                                              {"Regular", texts::kRegular},
                                                                              {"Intraday", texts::kIntraday},
                                                                              {"IntraDay", texts::kIntraDay},
                                                                              {"BTST", texts::kBTST},
                                                                              {"Unknown", texts::kUnknown},
                                                                              {"Day", texts::kDay},
                                                                              {"GTF", texts::kGTF},
                                                                              {"GTC", texts::kGTC},
                                                                              {"B", texts::kB},
                                                                              {"S", texts::kS}};
    for (const auto& [english, key] : kKeys)
        if (english == name)
            return key;
    return {};
}

std::string shownName(std::int64_t language, std::string_view name) {
    const std::string_view key = nameKey(name);
    return key.empty() ? std::string(name) : languageText(language, key);
}

std::string timeOnly(std::string_view t) {
    // The board asks this of every instrument each second: the fixed form is checked and cut here
    // rather than read by a date formatter made per call.
    const auto digits = [&](std::size_t at) {
        return t[at] >= '0' && t[at] <= '9' && t[at + 1] >= '0' && t[at + 1] <= '9'
                   ? (t[at] - '0') * 10 + t[at + 1] - '0'
                   : -1;
    };
    if (t.size() != 19 || t[2] != '/' || t[5] != '/' || t[10] != ' ' || t[13] != ':' || t[16] != ':')
        return std::string(t);
    const int month = digits(0);
    const int day = digits(3);
    const int century = digits(6);
    const int yearInCentury = digits(8);
    const int hour = digits(11);
    const int minute = digits(14);
    const int second = digits(17);
    if (century < 0 || yearInCentury < 0 || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
        second < 0 || second > 59 || month < 1 || month > 12 || day < 1)
        return std::string(t);
    const int year = century * 100 + yearInCentury;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || day > kDays[month - 1] + (month == 2 && leap))
        return std::string(t);
    return std::string(t.substr(11));
}

std::string dateTimeForWidth(std::string_view text, double columnWidth) {
    return columnWidth <= kNarrowDateColumnWidth ? timeOnly(text) : std::string(text);
}

std::string dateTimeForWidth(std::optional<WallTime> time, double columnWidth) {
    return columnWidth <= kNarrowDateColumnWidth ? clockTime(time) : displayDateTime(time);
}

std::string spreadText(const ItemDetails& item) {
    if (!(item.priceTick > platform::Decimal()))
        return "0";
    // In doubles, as the quote's prices are.
    return sixDecimalText((item.Ask.toDouble() - item.Bid.toDouble()) / item.priceTick.toDouble());
}

std::string languageText(std::int64_t language, std::string_view key) {
    return LanguageString::stringForSelectedLanguage(language, key).value_or(std::string(key));
}

Cell boardCell(const SessionModel& model, const ItemDetails* item, Field field, const CellOptions& options) {
    if (!item) {
        // A watch-list code the session does not hold: empty texts, zero prices and spread.
        switch (field) {
        case Field::Bid:
        case Field::Ask:
            return {priceText(0, nullptr), tickTone(Tick::Same)};
        case Field::Open:
        case Field::High:
        case Field::Low:
        case Field::PrevClose:
        case Field::Last:
            return {priceText(0, nullptr)};
        case Field::SpreadTicks:
            return {"0"};
        default:
            return {};
        }
    }
    switch (field) {
    case Field::Code: {
        Cell cell{item->Code};
        if (const SessionSettings* session = currentSession(model, *item);
            session && session->settingsID != 0 && session->settingsID != 1)
            cell.background = session->sessionColor;
        return cell;
    }
    case Field::Name:
        return {item->Name};
    case Field::InstrumentType:
        return {model.getInstrumentTypeName(item->InstrumentTypeId).value_or(std::string())};
    case Field::Bid:
        return {priceText(item->Bid, item), tickTone(options.tick)};
    case Field::Ask:
        return {priceText(item->Ask, item), tickTone(options.tick)};
    case Field::SpreadTicks:
        return {spreadText(*item)};
    case Field::Open:
        return {priceText(item->Open, item)};
    case Field::High:
        return {priceText(item->High, item)};
    case Field::Low:
        return {priceText(item->Low, item)};
    case Field::PrevClose:
        return {priceText(item->PrevClose, item)};
    case Field::Last:
        return {priceText(item->Last, item)};
    case Field::UpdateTime:
        return {clockTime(item->UpdateTime)};
    case Field::SessionName: {
        const SessionSettings* session = currentSession(model, *item);
        return {session ? session->settingsName : std::string()};
    }
    case Field::TradingStatus:
        return {std::string(ItemDetails::getInstrumentTradingStatus(item->instrumentTradingStatus))};
    default:
        return {};
    }
}

Cell accountCell(const AccountDetails& account, Field field) {
    switch (field) {
    case Field::AccountId:
        return {std::to_string(account.AccountId)};
    case Field::AccountName:
        return {account.AccountName};
    case Field::AccountStatus:
        return {std::string(AccountDetails::getAccountStatus(account.tradingStatus)),
                account.tradingStatus == AccountDetails::kStatusEquityHit ? Tone::Alert : Tone::Plain};
    case Field::Balance:
        return {platform::amountText(account.Balance)};
    case Field::FloatingPL:
        return {platform::amountText(account.UnrealisedPL), signTone(account.UnrealisedPL)};
    case Field::FloatingCredit:
        return {platform::amountText(account.Leverage), signTone(account.Leverage)};
    case Field::AccumulatedStorage:
        return {platform::amountText(account.AccumulatingStorage)};
    case Field::Equity:
        return {platform::amountText(account.Equity), signTone(account.Equity)};
    case Field::UsedMargin:
        return {platform::amountText(account.UsedMargin)};
    case Field::AvailableMargin:
        return {platform::amountText(account.AvailableMargin), signTone(account.AvailableMargin)};
    case Field::AccountType:
        return {std::string(AccountDetails::getAccountType(account.tradeAccountType))};
    case Field::AccessType:
        return {std::string(AccountDetails::getAccountAccessType(account.accountAccessType))};
    case Field::TradeCurrency:
        return {account.tradeCurrency ? account.tradeCurrency->currencyCode : std::string()};
    default:
        return {};
    }
}

double accountFigure(const AccountDetails& account, Field field) {
    switch (field) {
    case Field::AccountId:
        return account.AccountId;
    case Field::Balance:
        return account.Balance.toDouble();
    case Field::FloatingPL:
        return account.UnrealisedPL;
    case Field::FloatingCredit:
        return account.Leverage;
    case Field::AccumulatedStorage:
        return account.AccumulatingStorage.toDouble();
    case Field::Equity:
        return account.Equity;
    case Field::UsedMargin:
        return account.UsedMargin.toDouble();
    case Field::AvailableMargin:
        return account.AvailableMargin;
    default:
        return 0;
    }
}

AdvancedTile advancedTile(std::string_view code, const ItemDetails* item, const QuoteTicks& ticks) {
    AdvancedTile tile;
    tile.code = item ? item->Code : std::string(code);
    tile.time = item ? clockTime(item->UpdateTime) : std::string();
    tile.low = "L : " + priceText(item ? item->Low : platform::CompactDecimal(), item);
    tile.high = "H : " + priceText(item ? item->High : platform::CompactDecimal(), item);
    tile.spread = item ? spreadText(*item) : "0";
    tile.buyPrice = priceText(item ? item->Ask : platform::CompactDecimal(), item);
    tile.sellPrice = priceText(item ? item->Bid : platform::CompactDecimal(), item);
    tile.buyTick = ticks.ask.tick(code);
    tile.sellTick = ticks.bid.tick(code);
    return tile;
}

bool isEquityHit(const AccountDetails* account) {
    return account && account->tradingStatus == AccountDetails::kStatusEquityHit;
}

std::optional<double> closingPrice(const Order& position, const RowRecords& records) {
    if (isEquityHit(records.account) || !records.item)
        return std::nullopt;
    return closingQuote(*records.item, position).toDouble();
}

namespace {
// A name the grid shows in the user's language.
Cell named(std::string_view english) {
    Cell cell{std::string(english)};
    cell.textKey = nameKey(english);
    return cell;
}
} // namespace

Cell orderCell(const Order& order, const RowRecords& records, Field field, const CellOptions& options) {
    const ItemDetails* item = records.item;
    switch (field) {
    case Field::OpenPositionId:
        return {order.OpenPositionId};
    case Field::PendingOrderId:
        return {order.PendingOrderId};
    case Field::PendingOrderIdOrDash:
        // A position opened at market carries the server's 0 for "no pending order".
        return {order.PendingOrderId.empty() || order.PendingOrderId == "0" ? std::string("-")
                                                                            : order.PendingOrderId};
    case Field::SettlementId:
        return {order.SettlementId};
    case Field::ClosingPositionId:
        return {order.ClosingPositionId};
    case Field::AccountNumber:
        return {order.AccountNumber};
    case Field::ItemCode:
        return {order.ItemCode};
    case Field::RemainingQty:
        return {quantityText(order.RemainingQty)};
    case Field::OrderQty:
        return {quantityText(order.OrderQty)};
    case Field::SettledQty:
        return {quantityText(order.SettledQty)};
    case Field::ExecutedQty:
        return {quantityText(executedQuantity(order))};
    case Field::Side:
        return named(sideText(order.tradingMode));
    case Field::OrderType:
        return named(orderTypeText(order.orderType));
    case Field::OrderPrice:
        return {priceText(order.OrderPrice, item)};
    case Field::SettledPrice:
        return {priceText(order.SettledPrice, item)};
    case Field::UnrealisedPL:
        if (!order.UnrealisedPLValued)
            return {}; // not worked out yet: no figure
        return {platform::amountText(order.UnrealisedPL), signTone(order.UnrealisedPL)};
    case Field::SettledPL:
        return {platform::amountText(order.SettledPL)};
    case Field::TakeProfit:
        return {bracketPriceText(order.LimitPrice, item)};
    case Field::StopLoss:
        return {bracketPriceText(order.StopPrice, item)};
    case Field::ClosingPrice: {
        if (isEquityHit(records.account))
            return {priceText(order.EquityHitPrice, item), Tone::Frozen};
        if (!item)
            return {}; // an instrument the login's lists do not carry: no price of it is known
        const auto price = closingPrice(order, records);
        return {priceText(price.value_or(0), item), tickTone(price ? options.tick : Tick::Same)};
    }
    case Field::MarketPrice: {
        if (isEquityHit(records.account) || !item)
            return {priceText(0, item)};
        return {priceText(order.tradingMode == 0 ? item->Ask : item->Bid, item)};
    }
    case Field::TransactionTime:
        return {dateTimeForWidth(order.TransactionDateTime, options.columnWidth)};
    case Field::TransactionTimeOnly:
        return {clockTime(order.TransactionDateTime)};
    case Field::ItemTime:
        return {dateTimeForWidth(order.ItemTime, options.columnWidth)};
    case Field::Commission:
        return {platform::amountText(order.Commission)};
    case Field::PositionCommission:
        return {platform::amountText(positionCommission(order))};
    case Field::PositionMargin:
        // Without its instrument the margin is the server's alone: no figure, not a 0.
        if (!records.item)
            return {};
        return {platform::amountText(positionMarginValue(order, records))};
    case Field::BaseCurrencyRate:
        return {fmt::format("{:f}", order.BaseCurrencyRate)};
    case Field::Storage:
        return {platform::amountText(order.Storage)};
    case Field::OtherCharges:
        return {platform::amountText(order.OtherCharges)};
    case Field::CurrencyRate:
        return {order.CurrencyRate ? priceText(*order.CurrencyRate, item) : std::string()};
    case Field::AccountCurrencyRate:
        return {fmt::format("{:f}", order.accountCurrencyRate.toDouble())};
    case Field::DeliveryMode:
        return named(deliveryModeText(order.deliveryMode));
    case Field::TimeInForce:
        return named(timeInForceText(order.timeInForce));
    case Field::BracketPosition:
        return {order.RefPositionIdOfBracket.empty() ? std::string("0") : order.RefPositionIdOfBracket};
    case Field::ValueDate:
        return {displayDate(order.ValueDate)};
    case Field::ExpiryDate:
        return {displayDate(order.ExpiryDate)};
    default:
        return {};
    }
}

void refreshQuoteTicks(QuoteTicks& ticks, const SessionModel& model, const std::vector<std::string>& codes) {
    for (const std::string& code : codes) {
        if (const ItemDetails* item = instrumentOf(model, code)) {
            ticks.bid.note(code, item->Bid.toDouble());
            ticks.ask.note(code, item->Ask.toDouble());
        }
    }
    ticks.bid.endRefresh();
    ticks.ask.endRefresh();
}

void refreshPositionTicks(TickTracker& ticks, const SessionModel& model, const OrderView& positions) {
    RowRecordsCache cache(model);
    for (const auto& position : positions) {
        if (!position)
            continue;
        const RowRecords records = cache.of(*position);
        if (isEquityHit(records.account))
            ticks.keep(position->OpenPositionId);
        else if (const auto price = closingPrice(*position, records))
            ticks.note(position->OpenPositionId, *price);
    }
    ticks.endRefresh();
}

} // namespace tc::gui
