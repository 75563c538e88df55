#pragma once
// A session model filled by hand for the grid rules' tests.
#include "model/records/account_details.h"
#include "model/records/group_details.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "model/session_model.h"
#include "model/session_queries.h"

#include <memory>
#include <string>

using namespace tc;

namespace markettest {

struct Session {
    SessionModel model;

    ItemDetails& item(const std::string& code, std::int32_t id = 1, std::int32_t decimals = 5) {
        auto item = std::make_shared<ItemDetails>();
        item->Code = code;
        item->InstrumentId = id;
        item->DecimalPlaces = decimals;
        model.ItemCollection.insert_or_assign(code, item);
        return *item;
    }
    AccountDetails& account(std::int32_t id) {
        auto account = std::make_shared<AccountDetails>();
        account->AccountId = id;
        account->GroupId = "7";
        account->tradingStatus = account->accountAccessType = 1;
        model.AccountDetailCollection.insert_or_assign(std::to_string(id), account);
        return *account;
    }
    // The settings of an instrument in group 7.
    GroupInstruments& settings(std::int32_t instrumentId) {
        if (!model.GroupDetailCollection.contains("7"))
            model.GroupDetailCollection.insert_or_assign("7", std::make_shared<GroupDetails>());
        GroupInstruments settings;
        settings.InstrumentId = instrumentId;
        GroupDetails& group = **model.GroupDetailCollection.get("7");
        group.fileGroupInstrument(settings);
        return *group.groupInstrument(instrumentId);
    }
    static std::shared_ptr<Order> order(std::string id, std::string account, std::string code,
                                        std::string quantity = "1", std::int32_t side = 0) {
        auto order = std::make_shared<Order>();
        order->OpenPositionId = std::move(id);
        order->AccountNumber = std::move(account);
        order->ItemCode = std::move(code);
        order->RemainingQty = order->OrderQty =
            platform::Decimal::fromString(quantity).value_or(platform::Decimal());
        order->tradingMode = side;
        return order;
    }
};

} // namespace markettest
