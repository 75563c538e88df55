#include "model/session_model.h"

#include "model/collection_keys.h"
#include "platform/log.h"

#include <atomic>

namespace tc {

void logCollectionFull(std::string_view collectionName, std::size_t cap, std::string_view key) {
    platform::Log::warning("{} holds {} entries already; entry \"{}\" dropped", collectionName, cap,
                           key.substr(0, 64));
}

void logKeyTooLong(std::string_view collectionName, std::size_t keyBytes) {
    platform::Log::warning("{}: a key of {} bytes refused; a key may have {}", collectionName, keyBytes,
                           SessionModel::kMaxKeyBytes);
}

std::uint64_t SessionModel::nextGeneration() {
    // Snapshots are read on the socket threads.
    static std::atomic<std::uint64_t> last{0};
    return last.fetch_add(1, std::memory_order_relaxed) + 1;
}

namespace {

// The share of the entry under `key`: read-only from a const collection, writable from one that is not.
template <class Collection>
auto lookUp(Collection& collection, std::string_view key) -> decltype(collection.get(key)->shared()) {
    auto* found = collection.get(key);
    return found ? found->shared() : nullptr;
}

} // namespace

bool SessionModel::fileItemType(std::shared_ptr<ItemType> type) {
    if (!type)
        return false;
    std::string key = sessionKey(type->InstrumentTypeId);
    return file(ItemTypeCollection, std::move(key), std::move(type), "ItemTypeCollection");
}

bool SessionModel::fileSessionSettings(std::shared_ptr<SessionSettings> settings) {
    if (!settings)
        return false;
    std::string key = sessionKey64(settings->settingsID);
    return file(SessionSettingCollection, std::move(key), std::move(settings), "SessionSettingCollection");
}

bool SessionModel::fileLoginInfoMessage(std::shared_ptr<LoginInfoMessage> message) {
    if (!message)
        return false;
    std::string key = sessionKey(message->ErrorCode);
    return file(loginInfoMessageCollection, std::move(key), std::move(message), "loginInfoMessageCollection");
}

bool SessionModel::fileResource(std::shared_ptr<ResourceDetails> resource) {
    if (!resource)
        return false;
    std::string key = resource->collectionKey();
    return file(resourceCollection, std::move(key), std::move(resource), "resourceCollection");
}

bool SessionModel::fileTradeCurrency(std::shared_ptr<TradeCurrency> currency) {
    if (!currency)
        return false;
    std::string key = sessionKey64(currency->currencyID);
    return file(tradeCurrencyCollection, std::move(key), std::move(currency), "tradeCurrencyCollection");
}

bool SessionModel::fileGroup(std::shared_ptr<GroupDetails> group) {
    if (!group)
        return false;
    std::string key = sessionKey(group->GroupId);
    return file(GroupDetailCollection, std::move(key), std::move(group), "GroupDetailCollection");
}

std::shared_ptr<const ItemType> SessionModel::itemType(std::int32_t instrumentTypeId) const {
    return lookUp(ItemTypeCollection, sessionKey(instrumentTypeId));
}

std::shared_ptr<const SessionSettings> SessionModel::sessionSettings(std::uint64_t settingsID) const {
    return lookUp(SessionSettingCollection, sessionKey64(settingsID));
}

std::shared_ptr<TradeCurrency> SessionModel::tradeCurrency(std::uint64_t currencyID) {
    return lookUp(tradeCurrencyCollection, sessionKey64(currencyID));
}

std::shared_ptr<const TradeCurrency> SessionModel::tradeCurrency(std::uint64_t currencyID) const {
    return lookUp(tradeCurrencyCollection, sessionKey64(currencyID));
}

std::shared_ptr<GroupDetails> SessionModel::group(std::int32_t groupId) {
    return lookUp(GroupDetailCollection, sessionKey(groupId));
}

std::shared_ptr<const GroupDetails> SessionModel::group(std::int32_t groupId) const {
    return lookUp(GroupDetailCollection, sessionKey(groupId));
}

std::shared_ptr<const LoginInfoMessage> SessionModel::loginInfoMessage(std::int32_t errorCode) const {
    return lookUp(loginInfoMessageCollection, sessionKey(errorCode));
}

std::optional<std::string> SessionModel::getInstrumentTypeName(std::int32_t instrumentTypeId) const {
    auto type = itemType(instrumentTypeId);
    if (!type)
        return std::nullopt;
    return type->InstrumentTypeName;
}

} // namespace tc
