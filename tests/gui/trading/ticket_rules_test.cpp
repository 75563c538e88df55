#include "gui/trading/ticket_rules.h"

#include "gui/grid/grid_cells.h"
#include "gui/market/market_fixture.h"
#include "support/decimal_literal.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tc::gui {
namespace {

using tc::testing_support::operator""_cdec;
using tc::testing_support::operator""_dec;

using interfaces::Delivery;
using interfaces::OrderKind;
using interfaces::PriceLimit;

std::string joined(const std::vector<std::string>& list) {
    std::string out;
    for (const auto& entry : list)
        out += (out.empty() ? "" : " ") + entry;
    return out;
}

TEST(TicketQuantities, StepsBelowTenMinimumsThenWholeNumbersThenMultiplesOfFive) {
    EXPECT_EQ(joined(quantityList(1, 1, 100)),
              "0 1 2 3 4 5 6 7 8 9 10 15 20 25 30 35 40 45 50 55 60 65 70 75 80 85 90 95 100");
    EXPECT_EQ(joined(quantityList(0.01, 0.01, 1)), "0 0.01 0.02 0.03 0.04 0.05 0.06 0.07 0.08 0.09 1");
    // A half step: below 5 every step, then the whole ones below 10, then multiples of 5.
    EXPECT_EQ(joined(quantityList(0.5, 0.5, 20)), "0 0.5 1 1.5 2 2.5 3 3.5 4 4.5 5 6 7 8 9 10 15 20");
    // A step of 3 meets the multiples of 5 only at multiples of 15.
    EXPECT_EQ(joined(quantityList(1, 3, 50)), "0 3 6 9 15 30 45");
    EXPECT_EQ(joined(quantityList(1, 1, 0.5)), "0"); // no step fits below the maximum
}

TEST(TicketQuantities, NoStepNoListAndAHugeRangeIsCutWithoutWalkingIt) {
    EXPECT_TRUE(quantityList(1, 0, 100).empty());
    EXPECT_TRUE(quantityList(1, -1, 100).empty());
    EXPECT_TRUE(quantityList(1, 1, -5).empty());
    EXPECT_TRUE(quantityList(1, 1, std::nan("")).empty());
    // A step of one millionth up to a billion would be 10^15 steps: cut at the cap.
    const auto list = quantityList(1e-6, 1e-6, 1e9, 50);
    ASSERT_EQ(list.size(), 50u);
    EXPECT_EQ(list[1], "0.000001");
    // Few small steps, then multiples of 5 to a large maximum: cut too.
    EXPECT_EQ(quantityList(1, 1, 1e9).size(), kMaxTicketQuantities);
}

struct TicketSession : markettest::Session {
    TicketSession() {
        auto& eur = item("EURUSD", 1);
        eur.availableOrderTypes =
            kMarketOrders | kLimitOrders | kStopOrders | kTakeProfitOrders | kStopLossOrders;
        settings(1).availableOrderSettings = 3;
        (*model.GroupDetailCollection.get("7"))->TradingEnabled = true;
        for (std::int32_t id : {1001, 1002, 1003}) {
            auto& a = account(id);
            a.tradeAccountType = 1;
            a.availableOrderTypes = eur.availableOrderTypes;
        }
    }
    AccountList visible() const {
        AccountList list;
        for (const auto& [key, account] : model.AccountDetailCollection)
            list.push_back(account);
        return list;
    }
    AccountDetails& acc(std::int32_t id) { return **model.AccountDetailCollection.get(std::to_string(id)); }
};

TEST(TicketAccounts, TradableAccountsWithTheInstrumentsSettingsInTheirGroup) {
    TicketSession s;
    s.acc(1002).tradingStatus = 4; // close only
    s.acc(1003).tradeAccountType = 4;
    auto kept = ticketAccounts(s.model, s.visible(), "EURUSD");
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0]->AccountId, 1001);
    EXPECT_TRUE(ticketAccounts(s.model, s.visible(), "GBPUSD").empty()); // no settings for it
    (*s.model.GroupDetailCollection.get("7"))->TradingEnabled = false;
    EXPECT_TRUE(ticketAccounts(s.model, s.visible(), "EURUSD").empty());
}

TEST(TicketOffer, OrderTypesValiditiesAndSidesByTheMasks) {
    TicketSession s;
    const ItemDetails* eur = instrumentOf(s.model, "EURUSD");
    s.acc(1001).availableOrderTypes = kLimitOrders | kStopOrders; // no market orders
    EXPECT_EQ(orderKinds(eur, &s.acc(1001)), (std::vector<OrderKind>{OrderKind::Limit, OrderKind::Stop}));
    EXPECT_TRUE(orderKinds(eur, static_cast<const AccountDetails*>(nullptr)).empty());
    // Several accounts: the instrument's bit and any one account's.
    EXPECT_EQ(orderKinds(eur, s.visible()).size(), 3u);
    s.model.ItemCollection.get("EURUSD")->get()->availableOrderTypes = kLimitOrders;
    EXPECT_EQ(orderKinds(eur, s.visible()), std::vector<OrderKind>{OrderKind::Limit});

    GroupInstruments settings;
    EXPECT_TRUE(deliveries(&settings).empty());
    settings.InitialMargin = 100_cdec;
    settings.BTSTOrderMargin = 50_cdec;
    EXPECT_EQ(deliveries(&settings), (std::vector<Delivery>{Delivery::Regular, Delivery::Btst}));

    settings.availableOrderSettings = 2; // selling only
    EXPECT_EQ(sideRights(&settings).preselected(), interfaces::Side::Sell);
    EXPECT_FALSE(sideRights(&settings).brackets());
    settings.availableOrderSettings = 0;
    EXPECT_EQ(sideRights(&settings).preselected(), interfaces::Side::Buy);
}

TEST(TicketOffer, BracketsAndDeviationFollowMasksSidesAndTheAccountSetting) {
    TicketSession s;
    const ItemDetails* eur = instrumentOf(s.model, "EURUSD");
    GroupInstruments both;
    both.availableOrderSettings = 3;
    AccountDetails& a = s.acc(1001);
    auto offer = advancedOffer(&a, eur, &both, OrderKind::Market, false);
    EXPECT_TRUE(offer.takeProfit && offer.stopLoss);
    EXPECT_FALSE(offer.deviation); // the account does not allow one
    a.accountSettings = kDeviationAllowed;
    EXPECT_TRUE(advancedOffer(&a, eur, &both, OrderKind::Market, false).deviation);
    EXPECT_FALSE(advancedOffer(&a, eur, &both, OrderKind::Limit, false).deviation);
    a.availableOrderTypes &= ~kStopLossOrders;
    offer = advancedOffer(&a, eur, &both, OrderKind::Limit, false);
    EXPECT_TRUE(offer.takeProfit);
    EXPECT_FALSE(offer.stopLoss);
    GroupInstruments buyOnly;
    buyOnly.availableOrderSettings = 1;
    offer = advancedOffer(&a, eur, &buyOnly, OrderKind::Market, true);
    EXPECT_FALSE(offer.takeProfit || offer.stopLoss);
    EXPECT_TRUE(offer.deviation); // several accounts: each row is checked for it
}

TEST(MultiAccount, OfferedRowsAndTheTotalOfTickedRowsOnly) {
    TicketSession s;
    const ItemDetails* eur = instrumentOf(s.model, "EURUSD");
    EXPECT_TRUE(multiAccountOffered(s.visible()));
    EXPECT_FALSE(multiAccountOffered({s.visible().front()}));
    s.acc(1003).accountSettings = kNoMultiAccount;
    EXPECT_FALSE(multiAccountOffered(s.visible()));
    s.acc(1003).accountSettings = 0;

    s.acc(1002).availableOrderTypes &= ~kLimitOrders;
    EXPECT_EQ(multiAccountRowAccounts(s.visible(), eur, OrderKind::Limit, false, false, false).size(), 2u);
    EXPECT_EQ(multiAccountRowAccounts(s.visible(), eur, OrderKind::Market, false, false, false).size(), 3u);
    EXPECT_TRUE(multiAccountRowAccounts(s.visible(), eur, std::nullopt, false, false, false).empty());
    s.acc(1001).availableOrderTypes &= ~kTakeProfitOrders;
    EXPECT_EQ(multiAccountRowAccounts(s.visible(), eur, OrderKind::Market, true, false, false).size(), 2u);
    s.acc(1003).accountSettings = kDeviationAllowed; // the only one that may send a deviation
    const auto deviating = multiAccountRowAccounts(s.visible(), eur, OrderKind::Market, false, false, true);
    ASSERT_EQ(deviating.size(), 1u);
    EXPECT_EQ(deviating[0]->AccountId, 1003);
    // The accounts the deviation alone leaves out are named; one the order type leaves out is not.
    s.acc(1002).availableOrderTypes &= ~kMarketOrders;
    EXPECT_EQ(accountsLeftOutByDeviation(s.visible(), eur, OrderKind::Market, false, false),
              std::vector<std::int32_t>{1001});

    const auto accounts = s.visible();
    std::vector<MultiAccountRow> rows{{accounts[0], *platform::Decimal::fromString("1"), true},
                                      {accounts[1], *platform::Decimal::fromString("2.5"), false},
                                      {accounts[2], *platform::Decimal::fromString("0.25"), true}};
    EXPECT_EQ(tickedTotal(rows).toString(), "1.25"); // the untouched 2.5 is not ordered
    const auto ticked = tickedAccounts(rows);
    ASSERT_EQ(ticked.size(), 2u);
    EXPECT_EQ(ticked[1].accountId, 1003);
    EXPECT_EQ(ticked[1].quantity.toString(), "0.25");
}

TEST(TicketPrices, FieldsAgainstTheirLimitsAndTheStepper) {
    const PriceLimit atLeast{"1.10500", false}; // a stop buy, a take profit of a buy
    const PriceLimit atMost{"1.10500", true};
    EXPECT_EQ(checkPrice("1.105", atLeast), PriceCheck::Valid); // exactly at the bound
    EXPECT_EQ(checkPrice("1.10499", atLeast), PriceCheck::Invalid);
    EXPECT_EQ(checkPrice("1.10499", atMost), PriceCheck::Valid);
    // No price above 0 is refused by the order rules wherever the limit lies: red, not green.
    const std::string nines(64, '9');
    for (const std::string_view refused :
         {std::string_view(), std::string_view("0"), std::string_view("-1"), std::string_view("1,1"),
          std::string_view("1e5"), std::string_view(nines)})
        EXPECT_EQ(checkPrice(refused, atMost), PriceCheck::Invalid) << refused;
    EXPECT_EQ(checkPrice("1.2", PriceLimit{}), PriceCheck::Untested);
    EXPECT_EQ(atMost.signedText(), "<= 1.10500");
    EXPECT_EQ(PriceLimit{}.signedText(), "");

    EXPECT_EQ(stepPrice("1.10500", 0.00005_dec, 5, true), "1.10505");
    EXPECT_EQ(stepPrice("1.105", 0.00005_dec, 5, false), "1.10495");
    EXPECT_EQ(stepPrice("", 0.25_dec, 2, true), "0.25");
    EXPECT_EQ(stepPrice("0.1", 0.25_dec, 2, false), "0.00"); // never below zero
    EXPECT_EQ(stepPrice("151", 1_dec, 0, true), "152");
    EXPECT_FALSE(fieldDecimal("").has_value());
    EXPECT_FALSE(fieldDecimal("1.2.3").has_value());
}

TEST(TicketConfirmation, TheOrderInWordsWithItsBrackets) {
    const ConfirmationTexts texts{"Buy", "Market", "Take Profit", "Stop Loss", "Account {0}: {1} ({2})"};
    EXPECT_EQ(confirmationBody(texts, "2.5", 100000, "EURUSD", std::nullopt, std::nullopt),
              "Buy 2.5 (250000) EURUSD @ Market\n\n");
    EXPECT_EQ(confirmationBody(texts, "1", 10, "XAUUSD", "2050.5", "1990"),
              "Buy 1 (10) XAUUSD @ Market\n\nTake Profit @ 2050.5\n\nStop Loss @ 1990\n\n");
    EXPECT_EQ(confirmationBody(texts, "0.1", 1, "X", std::nullopt, "5"),
              "Buy 0.1 (0) X @ Market\n\nStop Loss @ 5\n\n");
    // The quantity as the order carries it, and the units from that same number.
    EXPECT_EQ(confirmationBody(texts, "01.50", 100000, "EURUSD", std::nullopt, std::nullopt),
              "Buy 1.5 (150000) EURUSD @ Market\n\n");
    EXPECT_EQ(confirmationBody(texts, "0531.2399999999999", 100000, "EURUSD", std::nullopt, std::nullopt),
              "Buy 531.2399999999999 (53124000) EURUSD @ Market\n\n");
    // Over several accounts each goes out on its own: the confirmation names them with their shares.
    const std::vector<interfaces::AccountQuantity> split{{20001, 0.01_dec}, {20002, 0.02_dec}};
    EXPECT_EQ(confirmationBody(texts, "0.03", 100000, "EURUSD", std::nullopt, "1.05", split),
              "Buy 0.03 (3000) EURUSD @ Market\n\nAccount 20001: 0.01 (1000)\nAccount 20002: 0.02 (2000)\n\n"
              "Stop Loss @ 1.05\n\n");
}

} // namespace
} // namespace tc::gui
