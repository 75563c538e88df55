#include "session/business/watch_list.h"

#include "model/records/item_details.h"
#include "model/records/order.h"
#include "model/session_model.h"
#include "model/session_model_lookup.h"
#include "platform/log.h"
#include "platform/user_defaults.h"

#include <unordered_set>
#include <utility>

namespace tc {

namespace {

std::string joined(const std::vector<std::string>& codes) {
    std::string out;
    for (const std::string& c : codes) {
        if (!out.empty())
            out += ", ";
        out += c;
    }
    return out;
}

// Appends the codes not seen yet, keeping their order.
void appendDistinct(std::vector<std::string>& out, std::unordered_set<std::string>& seen,
                    const std::string& code) {
    if (seen.insert(code).second)
        out.push_back(code);
}

} // namespace

WatchList::WatchList(WatchListContext& context, platform::UserDefaults& defaults, SubscribeCallback subscribe)
    : context_(context), defaults_(defaults), subscribe_(std::move(subscribe)) {}

std::string WatchList::StorageKey(std::string_view userName) {
    std::string key(kKeyPrefix);
    key += userName;
    return key;
}

std::vector<std::string> WatchList::selectedSymbols() const {
    std::lock_guard lock(mutex_);
    return selected_;
}

void WatchList::Store(const std::vector<std::string>& codes) {
    defaults_.setStringArray(StorageKey(context_.userName()), codes);
    defaults_.synchronize();
}

std::vector<std::string> WatchList::StoredList() {
    const std::string user = context_.userName();
    std::optional<std::vector<std::string>> list = defaults_.stringArrayForKey(StorageKey(user));
    if (!list) {
        // Earlier versions kept the list under the bare user name, where it could collide with any
        // other setting; take it over only when it reads as a list of our instruments.
        std::optional<std::vector<std::string>> legacy = defaults_.stringArrayForKey(user);
        if (legacy && !user.empty() && !UpdateItemOnWatchList(*legacy).empty()) {
            platform::Log::info("watch list of {} taken over from its old settings key", user);
            list = std::move(legacy);
        }
    }
    if (!list)
        return {};
    if (list->size() > kMaxStoredCodes) {
        platform::Log::warning("stored watch list of {} codes cut to {}", list->size(), kMaxStoredCodes);
        list->resize(kMaxStoredCodes);
    }
    return std::move(*list);
}

std::vector<std::string> WatchList::UpdateItemOnWatchList(const std::vector<std::string>& codes) {
    const SessionModel& model = context_.model();
    std::vector<std::string> out;
    out.reserve(codes.size());
    for (const std::string& code : codes) {
        if (model.ItemCollection.contains(code))
            out.push_back(code);
    }
    return out;
}

void WatchList::UpdateItemOnAddRemoveList(const std::vector<std::string>& codes) {
    SessionModel& model = context_.model();
    for (const std::string& code : codes) {
        RecordPtr<ItemDetails>* item = model.ItemCollection.get(code);
        if (item == nullptr || !*item)
            continue;
        (*item)->isWatchlistSymbol = true;
        (*item)->isWatchlistSymbolTemp = true;
    }
}

void WatchList::LoadItemsToWatchlist() {
    const std::vector<std::string> stored = StoredList();
    if (!stored.empty()) {
        std::vector<std::string> kept = UpdateItemOnWatchList(stored);
        {
            std::lock_guard lock(mutex_);
            selected_ = kept;
        }
        Store(kept);
        UpdateItemOnAddRemoveList(kept);
        return;
    }

    const SessionModel& model = context_.model();
    if (model.symbolTypeCollection.empty())
        return;
    // The first instrument type's entries, "CODE:Name" joined by commas.
    const std::string_view entries = model.symbolTypeCollection.front().second;
    std::vector<std::string> codes;
    std::size_t pos = 0;
    while (pos <= entries.size() && codes.size() < kMaxStoredCodes) {
        std::size_t end = entries.find(',', pos);
        if (end == std::string_view::npos)
            end = entries.size();
        const std::string_view entry = entries.substr(pos, end - pos);
        const std::string_view code = entry.substr(0, entry.find(':'));
        if (!code.empty())
            codes.emplace_back(code);
        pos = end + 1;
    }
    {
        std::lock_guard lock(mutex_);
        selected_ = codes;
    }
    UpdateItemOnAddRemoveList(codes);
    Store(codes);
}

std::vector<std::string> WatchList::SubscriptionSet(const std::vector<std::string>& watched) {
    const SessionModel& model = context_.model();
    const SessionModelLookup lookup(model);
    std::vector<std::string> out;
    std::unordered_set<std::string> seen;
    for (const std::string& code : watched)
        appendDistinct(out, seen, code);
    for (const auto* orders : {&model.OpenOrderCollection, &model.PendingOrderCollection}) {
        for (const RecordPtr<Order>& order : *orders) {
            // A record whose instrument the snapshot lacks has no feed to follow.
            if (order && lookup.isOrderOfVisibleAccount(*order) &&
                model.ItemCollection.contains(order->ItemCode))
                appendDistinct(out, seen, order->ItemCode);
        }
    }
    return out;
}

std::vector<std::string> WatchList::getAllItems() {
    return SubscriptionSet(selectedSymbols());
}

void WatchList::SaveItemsToWatchList(const std::vector<std::string>& codes) {
    Store(codes);

    const std::vector<std::string> newSet = SubscriptionSet(codes);
    if (subscribe_)
        subscribe_(newSet, true);
    platform::Log::info("subscribeItems {}", joined(newSet));

    // Computed from the previous list, which is still selected.
    const std::vector<std::string> oldSet = getAllItems();
    const std::unordered_set<std::string> keep(newSet.begin(), newSet.end());
    std::vector<std::string> dropped;
    for (const std::string& code : oldSet) {
        if (!keep.contains(code))
            dropped.push_back(code);
    }
    if (!dropped.empty()) {
        if (subscribe_)
            subscribe_(dropped, false);
        platform::Log::info("unsubscribeItems {}", joined(dropped));
    }

    {
        std::lock_guard lock(mutex_);
        selected_ = codes;
    }
    updated_.store(true);
}

} // namespace tc
