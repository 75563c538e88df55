#pragma once
// The collections a login snapshot fills, built up by the snapshot loaders and then handed over
// whole to the session object. Nothing here is locked: whoever shares a model between the
// dispatching thread and the windows guards it.
#include "model/record_ptr.h"
#include "model/records/currency_records.h"
#include "model/records/group_details.h"
#include "model/records/session_settings.h"
#include "model/records/user_info.h"
#include "platform/ordered_map.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace tc {

// Instrument and account records live in their own headers; the model only holds them.
class ItemDetails;
class AccountDetails;
class Order;

struct SessionModel {
    // No collection of a session comes near this; loaders refuse new keys past it.
    static constexpr std::size_t kMaxEntriesPerCollection = 1'000'000;
    // Longest key a collection takes (codes, ids, captions from the server).
    static constexpr std::size_t kMaxKeyBytes = 256;

    // Records are held by RecordPtr: through a const model every record reads as const.
    template <class V>
    using Collection = platform::OrderedMap<std::string, RecordPtr<V>>;
    using OrderList = std::vector<RecordPtr<Order>>;

    // Numbered afresh for every model made, and carried along by a move: a new login snapshot
    // gives the session a new number. The instrument, account and group collections are filled
    // before a model is handed over and never re-keyed afterwards, so a holder of pointers to their
    // records (a grid's rows) keeps them while the number stands.
    std::uint64_t generation = nextGeneration();

    // Replaced by each snapshot; carries the ports of the two data sockets and the product id.
    RecordPtr<UserInfo> userInfo;

    // Keyed "%d" of AccountId. Filled by the account loader.
    Collection<AccountDetails> AccountDetailCollection;
    // Keyed "%d" of GroupId; each group holds its instrument settings.
    Collection<GroupDetails> GroupDetailCollection;
    // Keyed "%d" of InstrumentTypeId.
    Collection<ItemType> ItemTypeCollection;
    // Keyed by instrument Code. Filled by the instrument loader.
    Collection<ItemDetails> ItemCollection;
    // Instrument type name -> "CODE:Name" entries joined by commas, in arrival order.
    platform::OrderedMap<std::string, std::string> symbolTypeCollection;
    // Keyed "%lu" of settingsID.
    Collection<SessionSettings> SessionSettingCollection;
    // Keyed "%lu" of currencyID; a currency-list entry is replaced by the trade currency of the
    // same id.
    Collection<TradeCurrency> tradeCurrencyCollection;
    // Keyed "%d" of ErrorCode.
    Collection<LoginInfoMessage> loginInfoMessageCollection;
    // Keyed by iconResourceId, or the caption when that is empty.
    Collection<ResourceDetails> resourceCollection;

    // The margin the current account's open positions hold per instrument and delivery mode under
    // the hedge rule of its group ("%.2f" under "CODE#mode"), which the account pie shares out. The
    // order side fills it afresh for the current account, so an instrument or mode no longer held
    // leaves no figure behind.
    platform::OrderedMap<std::string, std::string> HedgeMarginCollection;

    // Order lists, filled from data-service replies after login, in the order received.
    OrderList PendingOrderCollection;
    OrderList CancelledOrderCollection;
    OrderList OpenOrderCollection;
    OrderList SettledOrderCollection;

    // Puts `value` under `key`, replacing an entry of that key in its place. A key longer than
    // kMaxKeyBytes is refused, and so is a new key once the collection holds `cap` entries (false,
    // logged with `collectionName`).
    template <class V>
    static bool file(platform::OrderedMap<std::string, V>& collection, std::string key,
                     std::type_identity_t<V> value, std::string_view collectionName,
                     std::size_t cap = kMaxEntriesPerCollection);

    // Typed filing under each collection's key; false for a null record or a full collection.
    bool fileItemType(std::shared_ptr<ItemType> type);
    bool fileSessionSettings(std::shared_ptr<SessionSettings> settings);
    bool fileLoginInfoMessage(std::shared_ptr<LoginInfoMessage> message);
    bool fileResource(std::shared_ptr<ResourceDetails> resource);
    bool fileTradeCurrency(std::shared_ptr<TradeCurrency> currency);
    bool fileGroup(std::shared_ptr<GroupDetails> group);

    // A number no model made before in this process has had (any thread).
    static std::uint64_t nextGeneration();

    // Look-ups by id; nullptr when absent. A const model hands out read-only records.
    std::shared_ptr<const ItemType> itemType(std::int32_t instrumentTypeId) const;
    std::shared_ptr<const SessionSettings> sessionSettings(std::uint64_t settingsID) const;
    std::shared_ptr<const TradeCurrency> tradeCurrency(std::uint64_t currencyID) const;
    std::shared_ptr<TradeCurrency> tradeCurrency(std::uint64_t currencyID);
    std::shared_ptr<const GroupDetails> group(std::int32_t groupId) const;
    std::shared_ptr<GroupDetails> group(std::int32_t groupId);
    std::shared_ptr<const LoginInfoMessage> loginInfoMessage(std::int32_t errorCode) const;
    // The name of an instrument type, nullopt when the type is unknown.
    std::optional<std::string> getInstrumentTypeName(std::int32_t instrumentTypeId) const;
};

void logCollectionFull(std::string_view collectionName, std::size_t cap, std::string_view key);
void logKeyTooLong(std::string_view collectionName, std::size_t keyBytes);

template <class V>
bool SessionModel::file(platform::OrderedMap<std::string, V>& collection, std::string key,
                        std::type_identity_t<V> value, std::string_view collectionName, std::size_t cap) {
    if (key.size() > kMaxKeyBytes) {
        logKeyTooLong(collectionName, key.size());
        return false;
    }
    if (collection.size() >= cap && !collection.contains(key)) {
        logCollectionFull(collectionName, cap, key);
        return false;
    }
    collection.insert_or_assign(std::move(key), std::move(value));
    return true;
}

} // namespace tc
