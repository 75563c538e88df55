#include "gui/trading/ticket_rules.h"

#include "gui/grid/grid_cells.h"
#include "model/position_quantities.h"
#include "model/records/account_details.h"
#include "model/records/group_details.h"
#include "model/records/item_details.h"
#include "model/session_model.h"
#include "model/text/positional_text.h"
#include "platform/number_entry.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace tc::gui {
namespace {

using interfaces::OrderKind;

constexpr std::int64_t kMicro = 1'000'000;
// Quantities past this many units are not listed (the micro-units must stay in 64 bits).
constexpr double kLargestQuantity = 1e12;

// A quantity setting written with six decimals, as micro-units.
std::optional<std::int64_t> micro(double value) {
    if (!std::isfinite(value) || value < 0 || value > kLargestQuantity)
        return std::nullopt;
    return static_cast<std::int64_t>(std::llround(value * kMicro));
}

std::string microText(std::int64_t units) {
    std::string text = fmt::format("{}.{:06d}", units / kMicro, units % kMicro);
    while (text.back() == '0')
        text.pop_back();
    if (text.back() == '.')
        text.pop_back();
    return text;
}

std::int32_t kindBit(OrderKind kind) {
    switch (kind) {
    case OrderKind::Market:
        return kMarketOrders;
    case OrderKind::Limit:
        return kLimitOrders;
    case OrderKind::Stop:
        return kStopOrders;
    }
    return 0;
}

constexpr OrderKind kKinds[] = {OrderKind::Market, OrderKind::Limit, OrderKind::Stop};

bool tradable(const AccountDetails& account) {
    return account.tradingStatus != 2 && account.tradingStatus != 4 && account.tradingStatus != 5;
}

} // namespace

bool offers(const AccountDetails* account, const ItemDetails* item, std::int32_t bit) {
    return account && item && (account->availableOrderTypes & bit) == bit &&
           (item->availableOrderTypes & bit) == bit;
}

AccountList ticketAccounts(const SessionModel& model, const AccountList& visible, std::string_view itemCode) {
    AccountList kept;
    const ItemDetails* item = instrumentOf(model, itemCode);
    for (const auto& account : visible) {
        if (!account || !tradable(*account))
            continue;
        if (account->tradeAccountType < 1 || account->tradeAccountType > 3)
            continue;
        const auto* group = model.GroupDetailCollection.get(account->GroupId);
        if (!group || !*group || !(*group)->TradingEnabled)
            continue;
        if (!groupSettings(model, account.get(), item))
            continue;
        kept.push_back(account);
    }
    return kept;
}

std::vector<std::string> quantityList(double minimum, double step, double maximum, std::size_t cap) {
    std::vector<std::string> list;
    const auto stepUnits = micro(step);
    const auto minUnits = micro(std::max(minimum, 0.0));
    if (!stepUnits || *stepUnits <= 0 || !minUnits || !std::isfinite(maximum) || cap == 0)
        return list;
    // The last step: maximum / step truncated, as a 32-bit count.
    const double steps = std::trunc(maximum / step);
    if (!(steps >= 0))
        return list;
    const std::int64_t last = static_cast<std::int64_t>(std::min(steps, 2147483647.0)) * *stepUnits;
    const std::int64_t small = 10 * *minUnits; // below it every step is listed

    const auto add = [&](std::int64_t units) {
        if (list.size() < cap)
            list.push_back(microText(units));
    };
    // Every step below ten times the minimum.
    for (std::int64_t q = 0; q <= last && q < small && list.size() < cap; q += *stepUnits)
        add(q);
    // From there whole numbers that are steps: below 10 each one, from 10 on multiples of 5 only.
    const std::int64_t from = std::max<std::int64_t>(small, 0);
    for (std::int64_t whole = (from + kMicro - 1) / kMicro; whole < 10 && list.size() < cap; ++whole) {
        const std::int64_t q = whole * kMicro;
        if (q <= last && q % *stepUnits == 0)
            add(q);
    }
    const std::int64_t every = std::lcm<std::int64_t>(5 * kMicro, *stepUnits);
    const std::int64_t start = std::max<std::int64_t>(from, 10 * kMicro);
    for (std::int64_t q = (start + every - 1) / every * every; q <= last && list.size() < cap; q += every)
        add(q);
    return list;
}

std::vector<OrderKind> orderKinds(const ItemDetails* item, const AccountDetails* account) {
    std::vector<OrderKind> kinds;
    for (OrderKind kind : kKinds)
        if (offers(account, item, kindBit(kind)))
            kinds.push_back(kind);
    return kinds;
}

std::vector<OrderKind> orderKinds(const ItemDetails* item, const AccountList& accounts) {
    std::vector<OrderKind> kinds;
    for (OrderKind kind : kKinds)
        if (std::any_of(accounts.begin(), accounts.end(),
                        [&](const auto& account) { return offers(account.get(), item, kindBit(kind)); }))
            kinds.push_back(kind);
    return kinds;
}

std::string_view orderKindName(OrderKind kind) {
    switch (kind) {
    case OrderKind::Market:
        return "Market";
    case OrderKind::Limit:
        return "Limit";
    case OrderKind::Stop:
        return "Stop";
    }
    return "";
}

std::vector<interfaces::Delivery> deliveries(const GroupInstruments* settings) {
    std::vector<interfaces::Delivery> list;
    if (!settings)
        return list;
    if (!settings->InitialMargin.isZero())
        list.push_back(interfaces::Delivery::Regular);
    if (!settings->IntradayOrderMargin.isZero())
        list.push_back(interfaces::Delivery::Intraday);
    if (!settings->BTSTOrderMargin.isZero())
        list.push_back(interfaces::Delivery::Btst);
    return list;
}

std::string_view deliveryName(interfaces::Delivery delivery) {
    switch (delivery) {
    case interfaces::Delivery::Regular:
        return "Regular";
    case interfaces::Delivery::Intraday:
        return "IntraDay";
    case interfaces::Delivery::Btst:
        return "BTST";
    }
    return "";
}

std::string_view timeInForceName(interfaces::TimeInForce tif) {
    switch (tif) {
    case interfaces::TimeInForce::Day:
        return "Day";
    case interfaces::TimeInForce::GoodTillFriday:
        return "GTF";
    case interfaces::TimeInForce::GoodTillCancelled:
        return "GTC";
    }
    return "";
}

SideRights sideRights(const GroupInstruments* settings) {
    const std::int32_t bits = settings ? settings->availableOrderSettings : 0;
    return {(bits & 1) != 0, (bits & 2) != 0};
}

AdvancedOffer advancedOffer(const AccountDetails* account, const ItemDetails* item,
                            const GroupInstruments* settings, std::optional<OrderKind> kind,
                            bool multiAccount) {
    AdvancedOffer offer;
    const bool market = kind == OrderKind::Market;
    if (multiAccount) {
        offer.takeProfit = offer.stopLoss = true;
        offer.deviation = market;
    } else {
        offer.takeProfit = offers(account, item, kTakeProfitOrders);
        offer.stopLoss = offers(account, item, kStopLossOrders);
        offer.deviation = market && account && (account->accountSettings & kDeviationAllowed) != 0;
    }
    // Brackets only where the position may be closed both ways.
    if (!sideRights(settings).brackets())
        offer.takeProfit = offer.stopLoss = false;
    return offer;
}

bool multiAccountOffered(const AccountList& accounts) {
    return accounts.size() >= 2 && std::none_of(accounts.begin(), accounts.end(), [](const auto& account) {
               return account && (account->accountSettings & kNoMultiAccount) != 0;
           });
}

AccountList multiAccountRowAccounts(const AccountList& accounts, const ItemDetails* item,
                                    std::optional<OrderKind> kind, bool takeProfit, bool stopLoss,
                                    bool deviation) {
    AccountList rows;
    if (!kind)
        return rows;
    std::int32_t bits = kindBit(*kind);
    if (takeProfit)
        bits |= kTakeProfitOrders;
    if (stopLoss)
        bits |= kStopLossOrders;
    for (const auto& account : accounts) {
        if (!account || !tradable(*account) || !offers(account.get(), item, bits))
            continue;
        if (deviation && (account->accountSettings & kDeviationAllowed) == 0)
            continue;
        rows.push_back(account);
    }
    return rows;
}

std::vector<std::int32_t> accountsLeftOutByDeviation(const AccountList& accounts, const ItemDetails* item,
                                                     std::optional<OrderKind> kind, bool takeProfit,
                                                     bool stopLoss) {
    const AccountList kept = multiAccountRowAccounts(accounts, item, kind, takeProfit, stopLoss, true);
    std::vector<std::int32_t> out;
    for (const auto& account : multiAccountRowAccounts(accounts, item, kind, takeProfit, stopLoss, false))
        if (std::find(kept.begin(), kept.end(), account) == kept.end())
            out.push_back(account->AccountId);
    return out;
}

platform::Decimal tickedTotal(const std::vector<MultiAccountRow>& rows) {
    platform::Decimal total = platform::Decimal::fromInt64(0);
    for (const auto& row : rows)
        if (row.ticked && !row.quantity.isNaN())
            total = total + row.quantity;
    return total;
}

std::vector<interfaces::AccountQuantity> tickedAccounts(const std::vector<MultiAccountRow>& rows) {
    std::vector<interfaces::AccountQuantity> ticked;
    for (const auto& row : rows)
        if (row.ticked && row.accountDet)
            ticked.push_back({row.accountDet->AccountId, row.quantity});
    return ticked;
}

std::optional<platform::Decimal> fieldDecimal(std::string_view text) {
    return platform::readNumberEntry(text).value;
}

PriceCheck checkPrice(std::string_view fieldText, const interfaces::PriceLimit& limit) {
    if (limit.price.empty())
        return PriceCheck::Untested;
    const platform::Decimal zero = platform::Decimal::fromInt64(0);
    const auto value = fieldDecimal(fieldText);
    // No price, or none above 0, is one the order rules refuse whatever side of the limit it is on.
    if (!value || !(*value > zero))
        return PriceCheck::Invalid;
    const platform::Decimal bound = fieldDecimal(limit.price).value_or(zero);
    const bool valid = limit.atMost ? *value <= bound : *value >= bound;
    return valid ? PriceCheck::Valid : PriceCheck::Invalid;
}

std::string stepPrice(std::string_view fieldText, const platform::Decimal& tickSize, std::int32_t decimals,
                      bool up) {
    decimals = std::clamp<std::int32_t>(decimals, 0, 10);
    const platform::Decimal zero = platform::Decimal::fromInt64(0);
    const platform::Decimal value = fieldDecimal(fieldText).value_or(zero);
    // At most ten decimals, as a display shows.
    const platform::Decimal tick = tickSize > zero ? tickSize.rounded(10) : zero;
    platform::Decimal next = up ? value + tick : value - tick;
    if (next.isNegative())
        next = zero;
    const std::string plain = next.rounded(decimals).toString();
    // Written at the instrument's decimals: pad the fraction.
    const std::size_t point = plain.find('.');
    const int have = point == std::string::npos ? 0 : static_cast<int>(plain.size() - point - 1);
    std::string text = plain;
    if (decimals > 0 && point == std::string::npos)
        text += '.';
    text.append(static_cast<std::size_t>(std::max(0, decimals - have)), '0');
    return text;
}

std::string confirmationBody(const ConfirmationTexts& texts, std::string_view quantity, double contractSize,
                             std::string_view code, std::optional<std::string_view> takeProfit,
                             std::optional<std::string_view> stopLoss,
                             std::span<const interfaces::AccountQuantity> accounts) {
    const platform::Decimal lots = fieldDecimal(quantity).value_or(platform::Decimal());
    const double units = contractValue(lots.toDouble(), contractSize);
    std::string body =
        fmt::format("{} {} ({:.0f}) {} @ {}\n\n", texts.side, lots.toString(), units, code, texts.atMarket);
    for (const auto& share : accounts) {
        const std::string account = std::to_string(share.accountId);
        const std::string shareLots = share.quantity.toString();
        const std::string shareUnits = fmt::format(
            "{:.0f}", contractValue(share.quantity.isNaN() ? 0 : share.quantity.toDouble(), contractSize));
        body += fillPositional(texts.accountShare, {account, shareLots, shareUnits}) + "\n";
    }
    if (!accounts.empty())
        body += "\n";
    if (takeProfit)
        body += fmt::format("{} @ {}\n\n", texts.takeProfit, *takeProfit);
    if (stopLoss)
        body += fmt::format("{} @ {}\n\n", texts.stopLoss, *stopLoss);
    return body;
}

} // namespace tc::gui
