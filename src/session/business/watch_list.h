#pragma once
// The user's watch list: kept per login user in the user defaults, restored after each snapshot,
// and on every change turned into feed subscriptions for everything watched or traded.

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tc {

namespace platform {
class UserDefaults;
}
struct SessionModel;

// What the watch list reads from the session. The business object implements it.
class WatchListContext {
public:
    virtual ~WatchListContext() = default;
    // The login user name; the stored list is kept under it.
    virtual std::string userName() const = 0;
    // Instruments (whose watch-list flags are set here), instrument types and the order lists. Used on
    // the thread that owns the model.
    virtual SessionModel& model() = 0;
};

class WatchList {
public:
    // The feed's subscribe (true) or unsubscribe (false) of instrument codes; the business object
    // passes the connection's ProcessSubscribeAndUnsubscribeItems.
    using SubscribeCallback = std::function<void(const std::vector<std::string>& codes, bool subscribe)>;

    // Longest stored list read back; the rest of a longer one is ignored.
    static constexpr std::size_t kMaxStoredCodes = 10'000;
    // Stored lists live under this prefix plus the user name, apart from every other settings key.
    static constexpr std::string_view kKeyPrefix = "Watchlist.";

    WatchList(WatchListContext& context, platform::UserDefaults& defaults, SubscribeCallback subscribe);

    // The defaults key of a user's list.
    static std::string StorageKey(std::string_view userName);

    // Restores the list after a snapshot, dropping codes the snapshot lacks, or starts one from every
    // instrument of the first instrument type. Neither subscribes nor notifies. A list stored by
    // earlier versions under the bare user name is taken over when nothing is stored under the
    // prefixed key and it names at least one loaded instrument.
    void LoadItemsToWatchlist();
    // Stores the new list, subscribes its set and unsubscribes what is no longer needed.
    void SaveItemsToWatchList(const std::vector<std::string>& codes);
    // The codes that name a loaded instrument, in the given order, duplicates kept.
    std::vector<std::string> UpdateItemOnWatchList(const std::vector<std::string>& codes);
    // Marks each loaded instrument of the list as watched; never clears a mark.
    void UpdateItemOnAddRemoveList(const std::vector<std::string>& codes);
    // The subscription set: the distinct codes of the watch list, then of the open positions, then of
    // the pending orders, in that order of first appearance.
    std::vector<std::string> getAllItems();

    std::vector<std::string> selectedSymbols() const;
    bool isWatchlistDataUpdated() const noexcept { return updated_.load(); }
    void SetWatchlistDataUpdated(bool value) noexcept { updated_.store(value); }

private:
    std::vector<std::string> SubscriptionSet(const std::vector<std::string>& watched);
    void Store(const std::vector<std::string>& codes);
    std::vector<std::string> StoredList();

    WatchListContext& context_;
    platform::UserDefaults& defaults_;
    SubscribeCallback subscribe_;

    mutable std::mutex mutex_; // guards selected_
    std::vector<std::string> selected_;
    std::atomic<bool> updated_{false};
};

} // namespace tc
