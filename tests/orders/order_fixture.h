#pragma once
// A small signed-in session built by hand: one instrument, one account in one group with settings
// for the instrument, one trading session, and the refusals the answers gave, behind a host the test
// steers. Texts are the language keys themselves, so a test reads which check refused.
#include "client/headless_application.h"
#include "fake_order_host.h"
#include "model/records/account_details.h"
#include "model/records/group_details.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "model/records/session_settings.h"
#include "model/session_model.h"
#include "orders/order_manager.h"
#include "platform/user_defaults.h"

#include "support/decimal_literal.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tc {

using tc::testing_support::operator""_cdec;
using tc::testing_support::operator""_dec;

// A refusal as its answer gave it.
struct PostedNotice {
    std::string text;
    std::shared_ptr<Order> order;
    std::string key;
};

class OrderFixture : public ::testing::Test {
protected:
    OrderFixture() {
        host.keysAsTexts = true;
        item = std::make_shared<ItemDetails>();
        item->Code = "EURUSD";
        item->InstrumentId = 7;
        item->DecimalPlaces = 4;
        item->TickSize = 0.0005_cdec;
        item->Bid = 1.2000_cdec;
        item->Ask = 1.2010_cdec;
        item->Last = 1.2005_cdec;
        item->availableOrderTypes = 1;
        item->instrumentTradingStatus = 1;
        item->CurrentTradeSessionSettingId = 3;
        item->ContractSize = 100000_cdec;
        model.ItemCollection.insert_or_assign("EURUSD", item);

        account = std::make_shared<AccountDetails>();
        account->AccountId = 1001;
        account->GroupId = "5";
        account->availableOrderTypes = 1;
        account->tradingStatus = 1;
        account->accountAccessType = 1;
        account->AvailableMargin = 1e9;
        account->Equity = 1e9;
        model.AccountDetailCollection.insert_or_assign("1001", account);

        group = std::make_shared<GroupDetails>();
        group->GroupId = 5;
        group->TradingEnabled = true;
        GroupInstruments filed;
        filed.InstrumentId = 7;
        filed.isAvailableForTrading = true;
        filed.MaxOrderQty = 100_cdec;
        filed.MinOrderQty = 0.1_cdec;
        filed.OrderQtyStep = 0.1_cdec;
        filed.LimitMinPips = 4; // 0.0020
        filed.StopMinPips = 6;  // 0.0030
        filed.availableOrderSettings = 3;
        filed.AllowShortSelling = true;
        filed.InitialMargin = 1000_cdec;
        group->fileGroupInstrument(filed);
        settings = group->groupInstrument(7);
        model.fileGroup(group);

        tradingSession = std::make_shared<SessionSettings>();
        tradingSession->settingsID = 3;
        tradingSession->allowNewMarket = true;
        tradingSession->allowNewContigent = true;
        tradingSession->allowNewTpSl = true;
        model.fileSessionSettings(tradingSession);
    }

    // A limit buy of 1 lot exactly on its distance bound (ask 1.2010 - 4 ticks).
    std::shared_ptr<Order> limitBuy(std::string price = "1.1990", std::string qty = "1") {
        auto o = std::make_shared<Order>();
        o->AccountNumber = "1001";
        o->ItemCode = "EURUSD";
        o->orderType = 2;
        o->orderTypeInfo = 2;
        o->tradingMode = 0;
        o->deliveryMode = 1;
        o->OrderPrice = platform::Decimal::fromString(price).value_or(platform::Decimal());
        o->OrderQty = platform::Decimal::fromString(qty).value_or(platform::Decimal());
        return o;
    }
    // A market order at the side's market price.
    std::shared_ptr<Order> market(std::int32_t side, std::string qty = "1") {
        auto o = limitBuy(side == 0 ? "1.2010" : "1.2000", std::move(qty));
        o->orderType = 1;
        o->orderTypeInfo = 0;
        o->tradingMode = side;
        return o;
    }
    std::shared_ptr<Order> position(std::int32_t side, std::string qty, std::string price = "1.2000",
                                    std::string accountNumber = "1001") {
        auto o = std::make_shared<Order>();
        o->AccountNumber = std::move(accountNumber);
        o->ItemCode = "EURUSD";
        o->tradingMode = side;
        o->deliveryMode = 1;
        o->RemainingQty = platform::Decimal::fromString(qty).value_or(platform::Decimal());
        o->OrderPrice = platform::Decimal::fromString(price).value_or(platform::Decimal());
        model.OpenOrderCollection.push_back(o);
        return o;
    }
    std::shared_ptr<Order> workingSell(std::string qty, std::string refPosition = "", std::string id = "",
                                       std::string accountNumber = "1001") {
        auto o = std::make_shared<Order>();
        o->AccountNumber = std::move(accountNumber);
        o->ItemCode = "EURUSD";
        o->tradingMode = 1;
        o->deliveryMode = 1;
        o->RemainingQty = platform::Decimal::fromString(qty).value_or(platform::Decimal());
        o->RefPositionIdOfBracket = std::move(refPosition);
        o->PendingOrderId = std::move(id);
        model.PendingOrderCollection.push_back(o);
        return o;
    }

    // Runs the chain and expects one refusal with `text`, carrying the order.
    void expectRefused(const std::shared_ptr<Order>& order, const std::string& text) {
        notices.clear();
        EXPECT_FALSE(kept(manager.Validate(order)));
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_EQ(notices[0].text, text);
        EXPECT_EQ(notices[0].order, order);
    }
    void expectAccepted(const std::shared_ptr<Order>& order) {
        notices.clear();
        EXPECT_TRUE(kept(manager.Validate(order)));
        EXPECT_TRUE(notices.empty()) << notices.front().text;
    }

    // Keeps the refusal of an answer among the notices and hands the answer on.
    OrderAnswer kept(OrderAnswer answer) {
        if (!answer)
            notices.push_back({answer.text, answer.order, answer.key});
        return answer;
    }

    SessionModel model;
    std::unique_ptr<platform::UserDefaults> defaults = platform::UserDefaults::inMemory();
    HeadlessApplication app{*defaults};
    FakeOrderHost host{model, app};
    OrderManager manager{host};
    // The records as the rules read them.
    SessionModelLookup lookup{model};
    std::shared_ptr<ItemDetails> item;
    std::shared_ptr<AccountDetails> account;
    std::shared_ptr<GroupDetails> group;
    GroupInstruments* settings = nullptr; // the group's own entry
    std::shared_ptr<SessionSettings> tradingSession;
    std::vector<PostedNotice> notices;
};

} // namespace tc
