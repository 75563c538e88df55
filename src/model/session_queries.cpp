#include "model/session_queries.h"

#include "model/collection_keys.h"
#include "model/records/account_details.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "model/session_model_lookup.h"
#include "model/text/language_string.h"
#include "platform/log.h"
#include "platform/numeric_order.h"

#include <algorithm>
#include <array>
#include <climits>
#include <utility>

namespace tc {

namespace {

// Appends up to the list cap; false once it is reached.
template <class T, class V = T>
bool appendCapped(std::vector<T>& list, V&& value) {
    if (list.size() >= SessionQueries::kMaxListSize)
        return false;
    list.push_back(std::forward<V>(value));
    return true;
}

void logTruncated(std::string_view what) {
    platform::Log::warning("{}: list cut at {} entries", what, SessionQueries::kMaxListSize);
}

} // namespace

std::optional<std::string> SessionQueries::getInstrumentTypeName(std::int32_t instrumentTypeId) const {
    return model_.getInstrumentTypeName(instrumentTypeId);
}

std::vector<std::pair<std::string, std::vector<std::string>>> SessionQueries::getSymbolTypes() const {
    std::vector<std::pair<std::string, std::vector<std::string>>> types;
    for (const auto& [typeName, joined] : model_.symbolTypeCollection) {
        std::vector<std::string> entries;
        std::string_view rest = joined;
        while (!rest.empty() && entries.size() < kMaxSymbolEntriesPerType) {
            const auto comma = rest.find(',');
            const auto entry = rest.substr(0, comma);
            // An empty entry would show as a blank row: a trailing or doubled comma names nothing.
            if (!entry.empty())
                entries.emplace_back(entry);
            rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
        }
        if (!appendCapped(types, {typeName, std::move(entries)})) {
            logTruncated("symbol types");
            break;
        }
    }
    return types;
}

std::string SessionQueries::getItemCode(std::int32_t instrumentId) const {
    for (const auto& [code, item] : model_.ItemCollection)
        if (item && item->InstrumentId == instrumentId)
            return item->Code;
    return {};
}

std::uint64_t SessionQueries::getItemIdForItemCode(std::string_view code) const {
    for (const auto& [key, item] : model_.ItemCollection)
        if (item && item->Code == code)
            return item->InstrumentId > 0 ? static_cast<std::uint64_t>(item->InstrumentId) : 0;
    return 0;
}

namespace {
constexpr std::size_t kRememberedAccounts = 16;

// An id of digits only without a leading zero, as its value: such ids compare by value as the
// numeric collation compares them, without the collator. nullopt for any other text.
std::optional<std::uint64_t> plainNumber(std::string_view id) {
    if (id.empty() || id.size() > 18 || (id.size() > 1 && id[0] == '0'))
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : id) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}
} // namespace

OrderView SessionQueries::visibleOrders(const OrderList* orders) const {
    OrderView visible;
    if (!orders)
        return visible;
    const SessionModelLookup lookup(model_);
    visible.reserve(std::min(orders->size(), kMaxListSize));
    // Each account is looked up once a call: the grids ask this of every position every second.
    std::vector<std::pair<std::string_view, bool>> shown;
    for (const auto& order : *orders) {
        if (!order)
            continue;
        auto known = std::find_if(shown.begin(), shown.end(),
                                  [&](const auto& entry) { return entry.first == order->AccountNumber; });
        bool visibleAccount = false;
        if (known != shown.end()) {
            visibleAccount = known->second;
        } else {
            visibleAccount = lookup.isOrderOfVisibleAccount(*order);
            // A few accounts are the rule; past that each order asks the model itself.
            if (shown.size() < kRememberedAccounts)
                shown.emplace_back(order->AccountNumber, visibleAccount);
        }
        if (!visibleAccount)
            continue;
        if (!appendCapped(visible, order)) {
            logTruncated("orders");
            break;
        }
    }
    return visible;
}

OrderView SessionQueries::getOpenOrderCollection() const {
    return visibleOrders(&model_.OpenOrderCollection);
}
OrderView SessionQueries::getOpenOrderCollectionCopy() const {
    return visibleOrders(sources_.OpenOrderCollectionCopy ? sources_.OpenOrderCollectionCopy() : nullptr);
}
OrderView SessionQueries::getPendingOrderCollection() const {
    return visibleOrders(&model_.PendingOrderCollection);
}
OrderView SessionQueries::getCancelledOrderCollection() const {
    return visibleOrders(&model_.CancelledOrderCollection);
}
OrderView SessionQueries::getSettledOrderCollection() const {
    return visibleOrders(&model_.SettledOrderCollection);
}

OrderView SessionQueries::getExecutedOrderCollection() const {
    OrderView executed;
    const DataServiceCollections* ds = sources_.dataService;
    if (ds && ds->isExecutedPositionSearch) {
        // The search result is listed whole, as found.
        for (const auto& order : ds->ExecutedOrderSearchCollection)
            if (order && !appendCapped(executed, order)) {
                logTruncated("executed orders");
                break;
            }
    } else {
        executed = getOpenOrderCollection();
        for (auto& order : getOpenOrderCollectionCopy())
            if (!appendCapped(executed, std::move(order))) {
                logTruncated("executed orders");
                break;
            }
    }
    const platform::NumericOrder order;
    const auto less = [&](const auto& a, const auto& b) {
        const auto x = plainNumber(a->OpenPositionId);
        const auto y = plainNumber(b->OpenPositionId);
        if (x && y)
            return *x < *y;
        return order.less(a->OpenPositionId, b->OpenPositionId);
    };
    // The stored list is mostly in order already: checking is one pass, sorting many.
    if (!std::is_sorted(executed.begin(), executed.end(), less))
        std::stable_sort(executed.begin(), executed.end(), less);
    return executed;
}

bool SessionQueries::canShowAccount(const AccountDetails& account) {
    const std::int32_t status = account.tradingStatus;
    const std::int32_t access = account.accountAccessType;
    const bool statusShown = status == 1 || status == 2 || status == 4 || status == 5;
    const bool accessShown = access == 1 || access == 2 || access == 3;
    return statusShown && accessShown;
}

std::vector<std::shared_ptr<const AccountDetails>> SessionQueries::getAccountCollection() const {
    std::vector<std::shared_ptr<const AccountDetails>> accounts;
    for (const auto& [key, account] : model_.AccountDetailCollection) {
        if (!account || !canShowAccount(*account))
            continue;
        if (!appendCapped(accounts, account)) {
            logTruncated("accounts");
            break;
        }
    }
    return accounts;
}

bool SessionQueries::canShowAERights() const {
    // Without a signed-in user nobody holds the accounts.
    if (!model_.userInfo)
        return false;
    const auto userId = model_.userInfo->UserId;
    if (userId < 0)
        return false;
    for (const auto& [key, account] : model_.AccountDetailCollection)
        if (account && canShowAccount(*account) &&
            account->primaryAccountHolderUserid == static_cast<std::uint64_t>(userId))
            return true;
    return false;
}

bool SessionQueries::isUserMappedWithAccount(std::uint64_t accountId) const {
    if (const auto* ds = sources_.dataService)
        for (const auto& [key, map] : ds->userAccountMapCollection)
            if (map && map->accountId == accountId)
                return true;
    return false;
}

std::vector<std::shared_ptr<const UserAccountMaps>>
SessionQueries::getUserMappedWithAccount(std::uint64_t accountId) const {
    std::vector<std::shared_ptr<const UserAccountMaps>> mapped;
    if (!sources_.dataService)
        return mapped;
    const auto* maps = &sources_.dataService->userAccountMapCollection;
    // An account that is not loaded has no known holder (0), so every real user's map is listed.
    std::uint64_t holder = 0;
    if (const auto* account = model_.AccountDetailCollection.get(sessionKey64(accountId));
        account && *account)
        holder = (*account)->primaryAccountHolderUserid;
    for (const auto& [key, map] : *maps) {
        if (!map || map->accountId != accountId || map->userId == holder)
            continue;
        if (!appendCapped(mapped, map)) {
            logTruncated("account maps");
            break;
        }
    }
    return mapped;
}

std::vector<std::shared_ptr<const ResourceDetails>> SessionQueries::getResourceCollection() const {
    std::vector<std::pair<std::string_view, std::shared_ptr<const ResourceDetails>>> listed;
    for (const auto& [key, resource] : model_.resourceCollection) {
        if (!resource || !resource->isListed())
            continue;
        if (listed.size() >= kMaxListSize) {
            logTruncated("resources");
            break;
        }
        listed.emplace_back(key, resource);
    }
    const platform::NumericOrder order;
    std::stable_sort(listed.begin(), listed.end(),
                     [&](const auto& a, const auto& b) { return order.less(a.first, b.first); });
    std::vector<std::shared_ptr<const ResourceDetails>> resources;
    resources.reserve(listed.size());
    for (auto& entry : listed)
        resources.push_back(std::move(entry.second));
    return resources;
}

bool SessionQueries::checkMarketSessionSchedulesIsAvailable(std::uint64_t marketId) const {
    return sources_.dataService &&
           sources_.dataService->marketSessionSchedulesCollection.contains(sessionKey64(marketId));
}

std::map<std::uint64_t, std::vector<std::string>>
SessionQueries::getMarketSessionSchedulesCollection(std::uint64_t marketId) const {
    std::map<std::uint64_t, std::vector<std::string>> days;
    if (!sources_.dataService)
        return days;
    const auto* market = sources_.dataService->marketSessionSchedulesCollection.get(sessionKey64(marketId));
    if (!market)
        return days;
    // One pass in stored order keeps each day's sessions in stored order.
    for (const SessionScheduleInfo& schedule : *market) {
        if (days.size() >= kMaxListSize && !days.contains(schedule.dayOfTheWeekID))
            continue;
        auto& texts = days[schedule.dayOfTheWeekID];
        const auto setting = model_.sessionSettings(schedule.tradeSessionSettingID);
        if (!setting || (setting->marketTradingStatus != 1 && setting->marketTradingStatus != 2))
            continue;
        if (texts.size() < kMaxListSize)
            texts.push_back(dayTimeText(schedule.startTime) + " - " + dayTimeText(schedule.stopTime));
    }
    for (auto& [day, texts] : days)
        if (texts.empty())
            texts.push_back(languageText(kClosedDayKey));
    return days;
}

std::string SessionQueries::getDaysOfTheWeekName(std::uint64_t dayIndex) const {
    static constexpr std::array<std::string_view, 7> kDayKeys = {"0685", "0686", "0687", "0688",
                                                                 "0689", "0690", "0691"};
    if (dayIndex >= kDayKeys.size())
        return {};
    return languageText(kDayKeys[dayIndex]);
}

std::string SessionQueries::languageText(std::string_view key) const {
    // Without the language's table there is nothing sensible to show.
    const std::int64_t language = sources_.language ? sources_.language() : 0;
    return LanguageString::stringForSelectedLanguage(language, key).value_or(std::string{});
}

void sortOrderCollection(OrderList& orders, const std::vector<OrderSortDescriptor>& descriptors) {
    if (descriptors.empty())
        return;
    std::stable_sort(orders.begin(), orders.end(), [&](const auto& a, const auto& b) {
        if (!a || !b)
            return a && !b;
        for (const auto& d : descriptors) {
            if (!d.compare)
                continue;
            const int r = d.compare(*a, *b);
            if (r != 0)
                return d.ascending ? r < 0 : r > 0;
        }
        return false;
    });
}

bool updateUserAccountMaps(UserAccountMapCollection& maps, const UserAccountMaps& map) {
    auto* stored = maps.get(map.key());
    if (!stored || !*stored)
        return false;
    (*stored)->accountAccessTypeId = map.accountAccessTypeId;
    return true;
}

} // namespace tc
