#include "model/session_model_lookup.h"

#include "model/records/account_details.h"
#include "model/records/group_details.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "model/session_model.h"
#include "platform/cores.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace tc {

namespace {

template <class V>
std::shared_ptr<const V> entry(const SessionModel::Collection<V>& collection, std::string_view key) {
    const auto* found = collection.get(key);
    return found ? found->shared() : nullptr;
}

} // namespace

std::shared_ptr<const ItemDetails> SessionModelLookup::instrumentForCode(std::string_view code) const {
    return entry(model_.ItemCollection, code);
}

const ItemDetails* SessionModelLookup::instrumentRecordForCode(std::string_view code) const {
    const auto* found = model_.ItemCollection.get(code);
    return found ? found->get() : nullptr;
}

std::shared_ptr<const ItemDetails> SessionModelLookup::instrumentForId(std::int64_t instrumentId) const {
    for (const auto& [code, item] : model_.ItemCollection) {
        if (item && item->InstrumentId == instrumentId)
            return item;
    }
    return nullptr;
}

std::shared_ptr<const GroupDetails> SessionModelLookup::groupForId(std::string_view groupId) const {
    return entry(model_.GroupDetailCollection, groupId);
}

std::shared_ptr<const TradeCurrency> SessionModelLookup::currencyForId(std::uint64_t currencyId) const {
    return model_.tradeCurrency(currencyId);
}

std::shared_ptr<const AccountDetails> SessionModelLookup::accountForId(std::string_view accountId) const {
    return entry(model_.AccountDetailCollection, accountId);
}

OrderRecords SessionModelLookup::recordsFor(std::string_view itemCode, std::string_view accountId) const {
    OrderRecords r;
    r.account = accountForId(accountId);
    r.item = instrumentForCode(itemCode);
    if (r.account)
        r.group = groupForId(r.account->GroupId);
    if (r.group)
        r.settings = r.group->groupInstrument(r.item ? r.item->InstrumentId : 0);
    return r;
}

bool SessionModelLookup::isOrderOfVisibleAccount(const Order& order) const {
    const auto account = accountForId(order.AccountNumber);
    if (!account)
        return true;
    const std::int32_t status = account->tradingStatus;
    const std::int32_t access = account->accountAccessType;
    return status != 3 && status != 6 && access != 4 && access != 10;
}

std::vector<std::shared_ptr<const Order>> SessionModelLookup::getOpenOrderCollection() const {
    std::vector<std::shared_ptr<const Order>> visible;
    for (const auto& order : model_.OpenOrderCollection) {
        if (order && isOrderOfVisibleAccount(*order))
            visible.push_back(order);
    }
    return visible;
}

std::vector<std::shared_ptr<const Order>> SessionModelLookup::getPendingOrderCollection() const {
    std::vector<std::shared_ptr<const Order>> visible;
    visible.reserve(model_.PendingOrderCollection.size());
    for (const auto& order : model_.PendingOrderCollection) {
        if (order && isOrderOfVisibleAccount(*order))
            visible.push_back(order.shared());
    }
    return visible;
}

std::shared_ptr<const SessionSettings>
SessionModelLookup::sessionSettingsForId(std::int64_t settingsId) const {
    // Setting ids are unsigned; a negative id names no setting.
    if (settingsId < 0)
        return nullptr;
    return model_.sessionSettings(static_cast<std::uint64_t>(settingsId));
}

namespace {

// An instrument's spread while it is being settled: kept apart from the instrument, so the settling
// pass reads a small table rather than every instrument's whole record (those are scattered in memory
// and are met in the order of the groups' settings, not their own).
struct SpreadState {
    std::int32_t type = ItemDetails::kSpreadNone;
    std::int32_t bid = 0;
    std::int32_t ask = 0;
};

// One step of settling an instrument's spread with one group's settings.
void settleSpread(SpreadState& item, const GroupInstruments& settings) {
    const std::int32_t type = settings.SpreadTypeId;
    if (type == ItemDetails::kSpreadNone || type == ItemDetails::kSpreadGroupsDisagree)
        return;
    if (item.type == ItemDetails::kSpreadNone) {
        item.bid = settings.SpreadBid;
        item.ask = settings.SpreadAsk;
        item.type = type;
    } else if (item.type != type || item.bid != settings.SpreadBid || item.ask != settings.SpreadAsk) {
        item.bid = 0;
        item.ask = 0;
        item.type = ItemDetails::kSpreadGroupsDisagree;
    }
}

// The instruments of each id, in collection order. Ids are usually small and dense, so a table
// indexed by id serves them; scattered ids fall back to hashing.
class InstrumentsById {
public:
    explicit InstrumentsById(SessionModel& model) {
        for (auto& [code, item] : model.ItemCollection)
            if (item)
                items_.push_back(item.get());
        if (items_.empty())
            return;
        auto [lo, hi] = std::minmax_element(
            items_.begin(), items_.end(), [](auto* a, auto* b) { return a->InstrumentId < b->InstrumentId; });
        min_ = (*lo)->InstrumentId;
        const std::int64_t span = std::int64_t{(*hi)->InstrumentId} - min_ + 1;
        if (span <= 4 * static_cast<std::int64_t>(items_.size()) + 1024) {
            head_.assign(static_cast<std::size_t>(span), -1);
            next_.assign(items_.size(), -1);
            // Built backwards so each chain runs in collection order.
            for (std::size_t i = items_.size(); i-- > 0;) {
                auto& h = head_[static_cast<std::size_t>(items_[i]->InstrumentId - min_)];
                next_[i] = h;
                h = static_cast<std::int32_t>(i);
            }
        } else {
            for (std::size_t i = 0; i < items_.size(); ++i)
                hashed_.emplace(items_[i]->InstrumentId, i);
        }
    }

    const std::vector<ItemDetails*>& items() const { return items_; }

    // f(index) for the index in items() of each instrument of the id.
    template <class F>
    void forEach(std::int32_t id, F&& f) const {
        if (!head_.empty()) {
            const std::int64_t slot = std::int64_t{id} - min_;
            if (slot < 0 || slot >= static_cast<std::int64_t>(head_.size()))
                return;
            for (std::int32_t i = head_[static_cast<std::size_t>(slot)]; i >= 0;
                 i = next_[static_cast<std::size_t>(i)])
                f(static_cast<std::size_t>(i));
            return;
        }
        const auto [first, last] = hashed_.equal_range(id);
        for (auto it = first; it != last; ++it)
            f(it->second);
    }

private:
    std::vector<ItemDetails*> items_;
    std::int32_t min_ = 0;
    std::vector<std::int32_t> head_;
    std::vector<std::int32_t> next_;
    std::unordered_multimap<std::int32_t, std::size_t> hashed_;
};

// The instrument's own prices with its settled spread applied.
void applyOwnSpread(ItemDetails& item) {
    PriceUpdate update;
    // The spread reads the prices and the code alone; the time would only cost a copy.
    update.ItemCode = item.Code;
    update.Bid = item.Bid;
    update.Ask = item.Ask;
    update.High = item.High;
    update.Last = item.Last;
    update.Low = item.Low;
    update.Open = item.Open;
    item.ApplySpread(update);
    item.Bid = update.Bid;
    item.Ask = update.Ask;
}

} // namespace

void SetAllSymbolsSpread(SessionModel& model) {
    // Each instrument meets the settings of its accounts' groups in account order. Only the groups
    // matter, in order of their first account: a group met again brings settings already met, which
    // keep or contradict the settled spread just as they did the first time. And since each
    // instrument's steps depend on nothing but its own state, the groups can be walked one after
    // the other, each settling every instrument it has settings for: one pass over each group's
    // settings instead of a look-up per account and instrument.
    std::vector<const GroupDetails*> groups;
    for (const auto& [key, account] : model.AccountDetailCollection) {
        if (!account)
            continue;
        const auto* group = model.GroupDetailCollection.get(account->GroupId);
        if (group && *group && std::find(groups.begin(), groups.end(), group->get()) == groups.end())
            groups.push_back(group->get());
    }
    const InstrumentsById byId(model);
    std::vector<SpreadState> spreads(byId.items().size());
    for (std::size_t i = 0; i < spreads.size(); ++i) {
        const ItemDetails& item = *byId.items()[i];
        spreads[i] = {item.SpreadType, item.BidSpread, item.AskSpread};
    }
    for (const GroupDetails* group : groups) {
        for (const GroupInstruments& settings : group->GroupInstrumentCollection) {
            // The settings are streamed from memory (a group's table is far larger than the caches):
            // asking a few entries ahead hides most of the wait. A prefetch never faults, so running
            // past the end of a block is harmless.
            const auto ahead = reinterpret_cast<std::uintptr_t>(&settings) + 8 * sizeof(GroupInstruments);
            __builtin_prefetch(reinterpret_cast<const void*>(ahead));
            __builtin_prefetch(
                reinterpret_cast<const void*>(ahead + offsetof(GroupInstruments, SpreadTypeId)));
            byId.forEach(settings.InstrumentId, [&](std::size_t i) { settleSpread(spreads[i], settings); });
        }
    }
    for (std::size_t i = 0; i < spreads.size(); ++i) {
        ItemDetails& item = *byId.items()[i];
        item.SpreadType = spreads[i].type;
        item.BidSpread = spreads[i].bid;
        item.AskSpread = spreads[i].ask;
    }
    // The prices with their spread applied: a tick correction in decimal arithmetic each, and every
    // instrument on its own, so a large list is shared out over the cores.
    std::vector<ItemDetails*> spreadItems;
    for (auto& [code, item] : model.ItemCollection) {
        if (item && item->SpreadType != ItemDetails::kSpreadNone &&
            item->SpreadType != ItemDetails::kSpreadGroupsDisagree)
            spreadItems.push_back(item.get());
    }
    platform::forEachShare(spreadItems.size(), 2048, [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i)
            applyOwnSpread(*spreadItems[i]);
    });
}

} // namespace tc
