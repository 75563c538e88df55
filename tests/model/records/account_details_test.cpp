#include "model/records/account_details.h"

#include "support/decimal_literal.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

using tc::testing_support::operator""_cdec;
using tc::testing_support::operator""_dec;

using namespace tc;

} // namespace

#include "fake_session.h"

#include <cmath>

namespace {

// Account 42 in group 7 (50 % of a floating profit, 100 % of a floating loss counted as credit),
// balance 10000, storage -20, collateral 500, margin in use 1200.
class AccountArithmetic : public ::testing::Test {
protected:
    void SetUp() override {
        session.addGroup(7, 50, 100);
        account = session.addAccount(42, "7");
        account->Balance = 10000_cdec;
        account->AccumulatingStorage = -20_cdec;
        account->CollateralSecurity = 500_cdec;
        account->UsedMargin = 1200_cdec;
        account->tradingStatus = 1;
        orders.conversionFactor = 2;
    }
    FakeSession session;
    FakeOrderServices orders;
    std::shared_ptr<AccountDetails> account;
};

TEST_F(AccountArithmetic, FloatingProfit) {
    // P1 150 and P2 -50 in the profit currency, times 2 into the account currency: 300 - 100 =
    // 200. Profit: Leverage = 50 x 200 / 100 = 100. Equity = 10000 + 100 - 20 + 500 = 10580.
    // Free margin = 10580 - 1200 = 9380. P3 belongs to account 43 and is not touched.
    orders.profitByPosition = {{"P1", 150}, {"P2", -50}, {"P3", 999}};
    const auto p1 = session.addPosition("42", "P1");
    const auto p2 = session.addPosition("42", "P2");
    const auto p3 = session.addPosition("43", "P3", 5);
    account->calculateAccountDetails(session.openOrders, session, orders);
    EXPECT_DOUBLE_EQ(account->UnrealisedPL, 200);
    EXPECT_DOUBLE_EQ(account->Leverage, 100);
    EXPECT_DOUBLE_EQ(account->Equity, 10580);
    EXPECT_DOUBLE_EQ(account->AvailableMargin, 9380);
    EXPECT_DOUBLE_EQ(p1->UnrealisedPL, 300); // positions keep their converted figure
    EXPECT_DOUBLE_EQ(p2->UnrealisedPL, -100);
    EXPECT_DOUBLE_EQ(p3->UnrealisedPL, 5);
    EXPECT_EQ(orders.recomputed, (std::vector<std::string>{"P1", "P2"}));
}

TEST_F(AccountArithmetic, FloatingLoss) {
    // -300 x 2 + -50 x 2 = -700; loss: Leverage = 100 x -700 / 100 = -700.
    // Equity = 10000 - 700 - 20 + 500 = 9780; free margin 9780 - 1200 = 8580.
    orders.profitByPosition = {{"P1", -300}, {"P2", -50}};
    session.addPosition("42", "P1");
    session.addPosition("042", "P2"); // read as the integer 42
    account->calculateAccountDetails(session.openOrders, session, orders);
    EXPECT_DOUBLE_EQ(account->UnrealisedPL, -700);
    EXPECT_DOUBLE_EQ(account->Leverage, -700);
    EXPECT_DOUBLE_EQ(account->Equity, 9780);
    EXPECT_DOUBLE_EQ(account->AvailableMargin, 8580);
}

TEST_F(AccountArithmetic, NoPositionsAndZeroProfit) {
    // Equity = 10000 + 0 - 20 + 500 = 10480; free margin 9280.
    account->calculateAccountDetails(session.openOrders, session, orders);
    EXPECT_EQ(account->UnrealisedPL, 0);
    EXPECT_EQ(account->Leverage, 0);
    EXPECT_DOUBLE_EQ(account->Equity, 10480);
    EXPECT_DOUBLE_EQ(account->AvailableMargin, 9280);
    // Exactly 0 takes the profit percentage: 0 either way, never -0 trouble.
    orders.profitByPosition = {{"P1", 0}};
    session.addPosition("42", "P1");
    account->calculateAccountDetails(session.openOrders, session, orders);
    EXPECT_EQ(account->Leverage, 0);
}

TEST_F(AccountArithmetic, PercentagesApplyBySign) {
    // Loss 100 %, profit 0 %: -250 gives -250, +250 gives 0.
    session.addGroup(7, 0, 100);
    orders.conversionFactor = 1;
    orders.profitByPosition = {{"P1", -250}};
    session.addPosition("42", "P1");
    account->calculateAccountDetails(session.openOrders, session, orders);
    EXPECT_DOUBLE_EQ(account->Leverage, -250);
    orders.profitByPosition = {{"P1", 250}};
    account->calculateAccountDetails(session.openOrders, session, orders);
    EXPECT_DOUBLE_EQ(account->Leverage, 0);
    // No group loaded: percentages read 0.
    account->GroupId = "99";
    account->calculateAccountDetails(session.openOrders, session, orders);
    EXPECT_DOUBLE_EQ(account->UnrealisedPL, 250);
    EXPECT_EQ(account->Leverage, 0);
    EXPECT_DOUBLE_EQ(account->Equity, 10480);
}

TEST_F(AccountArithmetic, EquityHitKeepsServerEquity) {
    account->tradingStatus = AccountDetails::kStatusEquityHit;
    account->Equity = 7777;
    orders.profitByPosition = {{"P1", 100}};
    session.addPosition("42", "P1");
    account->calculateAccountDetails(session.openOrders, session, orders);
    EXPECT_DOUBLE_EQ(account->UnrealisedPL, 200);
    EXPECT_DOUBLE_EQ(account->Leverage, 100);
    EXPECT_DOUBLE_EQ(account->Equity, 7777);
    EXPECT_DOUBLE_EQ(account->AvailableMargin, 6577);
}

TEST_F(AccountArithmetic, PositionWithoutFinitePLDoesNotPoisonTheAccount) {
    orders.profitByPosition = {{"P1", std::nan("")}, {"P2", 40}};
    session.addPosition("42", "P1");
    session.addPosition("42", "P2");
    account->calculateAccountDetails(session.openOrders, session, orders);
    EXPECT_DOUBLE_EQ(account->UnrealisedPL, 80);
    EXPECT_TRUE(std::isfinite(account->Equity));
}

TEST_F(AccountArithmetic, StoredFiguresSummedAsTheyAre) {
    // 10 + -4 = 6, not recomputed, not converted; the 43 position and the NaN one stay out.
    // Leverage 50 x 6 / 100 = 3; Equity 10000 + 3 - 20 + 500 = 10483; free 9283.
    session.addPosition("42", "P1", 10);
    session.addPosition("42", "P2", -4);
    session.addPosition("43", "P3", 1000);
    session.addPosition("42", "P4", std::nan(""));
    account->calcAccountDetails(session);
    EXPECT_TRUE(orders.recomputed.empty());
    EXPECT_DOUBLE_EQ(account->UnrealisedPL, 6);
    EXPECT_DOUBLE_EQ(account->Leverage, 3);
    EXPECT_DOUBLE_EQ(account->Equity, 10483);
    EXPECT_DOUBLE_EQ(account->AvailableMargin, 9283);
}

TEST_F(AccountArithmetic, ConversionByTheAccountsTradeCurrency) {
    auto usd = std::make_shared<ItemDetails>();
    usd->InstrumentId = 12;
    usd->Bid = 1.10_cdec;
    usd->Ask = 1.12_cdec;
    session.instruments.push_back(usd);
    auto currency = std::make_shared<TradeCurrency>();
    currency->instrumentID = 12;
    currency->conversionMode = 3; // bid for amounts of 0 or more, ask for negative ones
    const auto position = session.addPosition("42", "P1");
    // No trade currency: unchanged.
    EXPECT_EQ(convertIntoAccountCurrency(100, *position, session), 100);
    account->tradeCurrency = currency;
    EXPECT_NEAR(convertIntoAccountCurrency(100, *position, session), 110, 1e-9);
    EXPECT_NEAR(convertIntoAccountCurrency(-100, *position, session), -112, 1e-9);
    // Conversion instrument not loaded: unchanged.
    currency->instrumentID = 13;
    EXPECT_EQ(convertIntoAccountCurrency(100, *position, session), 100);
    // Account not loaded: unchanged.
    position->AccountNumber = "44";
    EXPECT_EQ(convertIntoAccountCurrency(100, *position, session), 100);
}

} // namespace
