#pragma once
// A session with hand-filled collections, for the record arithmetic.
#include "model/records/account_details.h"
#include "model/records/currency_records.h"
#include "model/records/group_details.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "model/session_model.h"
#include "model/session_services.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tc {

class FakeSession : public SessionLookup {
public:
    std::vector<std::shared_ptr<ItemDetails>> instruments;
    std::map<std::string, std::shared_ptr<GroupDetails>, std::less<>> groups;
    std::map<std::string, std::shared_ptr<AccountDetails>, std::less<>> accounts;
    std::map<std::uint64_t, std::shared_ptr<TradeCurrency>> currencies;
    SessionModel::OrderList openOrders;

    std::shared_ptr<const ItemDetails> instrumentForCode(std::string_view code) const override {
        for (const auto& i : instruments)
            if (i->Code == code)
                return i;
        return nullptr;
    }
    const ItemDetails* instrumentRecordForCode(std::string_view code) const override {
        return instrumentForCode(code).get(); // the vector holds it
    }
    std::shared_ptr<const ItemDetails> instrumentForId(std::int64_t id) const override {
        for (const auto& i : instruments)
            if (i->InstrumentId == id)
                return i;
        return nullptr;
    }
    std::shared_ptr<const GroupDetails> groupForId(std::string_view id) const override {
        const auto it = groups.find(id);
        return it == groups.end() ? nullptr : it->second;
    }
    std::shared_ptr<const TradeCurrency> currencyForId(std::uint64_t id) const override {
        const auto it = currencies.find(id);
        return it == currencies.end() ? nullptr : it->second;
    }
    std::shared_ptr<const AccountDetails> accountForId(std::string_view id) const override {
        const auto it = accounts.find(id);
        return it == accounts.end() ? nullptr : it->second;
    }
    std::vector<std::shared_ptr<const Order>> getOpenOrderCollection() const override {
        std::vector<std::shared_ptr<const Order>> open;
        for (const auto& o : openOrders)
            open.push_back(o);
        return open;
    }

    std::shared_ptr<GroupDetails> addGroup(std::int32_t id, std::int32_t profitPercent,
                                           std::int32_t lossPercent) {
        auto g = std::make_shared<GroupDetails>();
        g->GroupId = id;
        g->LeverageOnFProfit = profitPercent;
        g->RevLeverageOnFLoss = lossPercent;
        groups[std::to_string(id)] = g;
        return g;
    }
    std::shared_ptr<AccountDetails> addAccount(std::int32_t id, std::string groupId) {
        auto a = std::make_shared<AccountDetails>();
        a->AccountId = id;
        a->GroupId = std::move(groupId);
        accounts[std::to_string(id)] = a;
        return a;
    }
    std::shared_ptr<Order> addPosition(std::string account, std::string id, double storedPL = 0) {
        auto o = std::make_shared<Order>();
        o->AccountNumber = std::move(account);
        o->OpenPositionId = std::move(id);
        o->UnrealisedPL = storedPL;
        openOrders.push_back(o);
        return o;
    }
};

// Order manager stand-in: P/L by position id, conversion by a fixed factor.
class FakeOrderServices : public OrderServices {
public:
    std::map<std::string, double> profitByPosition;
    double conversionFactor = 1;
    std::vector<std::string> recomputed;

    void CalcPL(Order& position) override {
        recomputed.push_back(position.OpenPositionId);
        position.UnrealisedPL = profitByPosition[position.OpenPositionId];
    }
    double calculateCurrencyConversionForValue(double value, const Order&) override {
        return value * conversionFactor;
    }
};

} // namespace tc
