#include "session/session_model_lookup.h"

#include "session/account_details.h"
#include "session/item_details.h"
#include "session/order.h"
#include "session/session_model.h"

namespace {

template <class V>
std::shared_ptr<V> entry(const SessionModel::Collection<V>& collection, std::string_view key) {
    const auto* found = collection.get(key);
    return found ? *found : nullptr;
}

} // namespace

std::shared_ptr<ItemDetails> SessionModelLookup::instrumentForCode(std::string_view code) const {
    return entry(model_.ItemCollection, code);
}

std::shared_ptr<ItemDetails> SessionModelLookup::instrumentForId(std::int64_t instrumentId) const {
    for (const auto& [code, item] : model_.ItemCollection) {
        if (item && item->InstrumentId == instrumentId)
            return item;
    }
    return nullptr;
}

std::shared_ptr<GroupDetails> SessionModelLookup::groupForId(std::string_view groupId) const {
    return entry(model_.GroupDetailCollection, groupId);
}

std::shared_ptr<TradeCurrency> SessionModelLookup::currencyForId(std::uint64_t currencyId) const {
    return model_.tradeCurrency(currencyId);
}

std::shared_ptr<AccountDetails> SessionModelLookup::accountForId(std::string_view accountId) const {
    return entry(model_.AccountDetailCollection, accountId);
}

bool SessionModelLookup::isOrderOfVisibleAccount(const Order& order) const {
    const auto account = accountForId(order.AccountNumber);
    if (!account)
        return true;
    const std::int32_t status = account->tradingStatus;
    const std::int32_t access = account->accountaccessType;
    return status != 3 && status != 6 && access != 4 && access != 10;
}

std::vector<std::shared_ptr<Order>> SessionModelLookup::getOpenOrderCollection() const {
    std::vector<std::shared_ptr<Order>> visible;
    for (const auto& order : model_.OpenOrderCollection) {
        if (order && isOrderOfVisibleAccount(*order))
            visible.push_back(order);
    }
    return visible;
}

void SetAllSymbolsSpread(SessionModel& model) {
    for (const auto& [code, item] : model.ItemCollection) {
        if (!item)
            continue;
        for (const auto& [key, account] : model.AccountDetailCollection) {
            if (!account)
                continue;
            const auto* group = model.GroupDetailCollection.get(account->GroupId);
            const auto settings = group && *group ? (*group)->groupInstrument(item->InstrumentId) : nullptr;
            const std::int32_t type = settings ? settings->SpreadTypeId : ItemDetails::kSpreadNone;
            if (type == ItemDetails::kSpreadNone || type == ItemDetails::kSpreadGroupsDisagree)
                continue;
            if (item->Spreadtype == ItemDetails::kSpreadNone) {
                item->BidSpread = settings->SpreadBid;
                item->AskSpread = settings->SpreadAsk;
                item->Spreadtype = type;
            } else if (item->Spreadtype != type || item->BidSpread != settings->SpreadBid ||
                       item->AskSpread != settings->SpreadAsk) {
                item->BidSpread = 0;
                item->AskSpread = 0;
                item->Spreadtype = ItemDetails::kSpreadGroupsDisagree;
            }
        }
        if (item->Spreadtype == ItemDetails::kSpreadNone ||
            item->Spreadtype == ItemDetails::kSpreadGroupsDisagree)
            continue;
        PriceUpdate update;
        update.ItemCode = item->Code;
        update.Time = item->UpdateTime;
        update.Bid = item->Bid;
        update.Ask = item->Ask;
        update.High = item->High;
        update.Last = item->Last;
        update.Low = item->Low;
        update.Open = item->Open;
        item->ApplySpread(update);
        item->Bid = update.Bid;
        item->Ask = update.Ask;
    }
}
