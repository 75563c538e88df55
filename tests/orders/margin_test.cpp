// Margin of sets of lots, the pre-trade margin check and the pie chart's figure, each worked by
// hand from the margin rules.
#include "orders/margin_rules.h"

#include "support/decimal_literal.h"

#include "order_fixture.h"

namespace {

using tc::testing_support::operator""_cdec;
using tc::testing_support::operator""_dec;

using namespace tc;

LotMarginInputs lots(double buy, double sell, double rate) {
    LotMarginInputs in;
    in.totalBuy = buy;
    in.totalSell = sell;
    in.marginRequired = rate;
    return in;
}

TEST(HedgeRule, NetLotsAtFullRateHedgedAtThePercentage) {
    // |5 - 3| × 100 + 0.5 × 3 × 100 = 200 + 150
    EXPECT_DOUBLE_EQ(calculateHedgeMargin(5, 3, 100, 50), 350);
    EXPECT_DOUBLE_EQ(Hedge(nullptr, 5, 3, 100, 50, true, false), 200);
    EXPECT_DOUBLE_EQ(Hedge(nullptr, 5, 3, 100, 50, true, true), 350);
    EXPECT_DOUBLE_EQ(Hedge(nullptr, 5, 3, 100, 50, false, false), 350);
}

TEST(LotMargin, NoLotsAndOneSide) {
    EXPECT_DOUBLE_EQ(calculateMargin(lots(0, 0, 100)), 0);
    auto in = lots(5, 3, 100);
    in.liquidationMargin = 50;
    EXPECT_DOUBLE_EQ(calculateMargin(in), 350);
    in.isOneSideMargin = true; // the larger side only: 5 × 100
    EXPECT_DOUBLE_EQ(calculateMargin(in), 500);
}

TEST(LotMargin, OvernightRateAppliesAtEndOfDayOnly) {
    auto in = lots(1, 0, 100);
    in.overnightMargin = 150;
    EXPECT_DOUBLE_EQ(calculateMargin(in), 100);
    in.isEod = true; // 150 × 100 ÷ 100 per lot
    EXPECT_DOUBLE_EQ(calculateMargin(in), 150);
}

// Percent-of-contract mode, one rate for both sides: 2 bought lots, rate 1 %, contract 100000,
// so x = 100000 × 1 ÷ 100 = 1000 per lot before the formula.
class PercentMode : public ::testing::Test {
protected:
    PercentMode() {
        in = lots(2, 0, 1);
        in.marginMode = 2;
        in.contractSize = 100000;
        in.totalOrderCost = 2 * 1.2;
    }
    LotMarginInputs in;
};

TEST_F(PercentMode, FormulaOneScalesByTheAveragePrice) {
    in.marginFormulaId = 1; // (2.4 ÷ 2) × 1000 = 1200 per lot, 2400
    EXPECT_NEAR(calculateMargin(in), 2400, 1e-9);
    in.marginFormulaId = 0; // counts as 1
    EXPECT_NEAR(calculateMargin(in), 2400, 1e-9);
}

TEST_F(PercentMode, FormulasThreeAndFourUseTheAverageRate) {
    in.baseCurrencyRate = 2 * 0.9; // R ÷ T = 0.9
    in.marginFormulaId = 3;        // 0.9 × 1000 = 900 per lot
    EXPECT_NEAR(calculateMargin(in), 1800, 1e-9);
    in.baseCurrencyRate = 2 * 0.8; // 1000 ÷ 0.8 = 1250 per lot
    in.marginFormulaId = 4;
    EXPECT_NEAR(calculateMargin(in), 2500, 1e-9);
}

TEST_F(PercentMode, FormulaFourWithoutARateSkipsTheDivision) {
    in.marginFormulaId = 4;
    in.baseCurrencyRate = 0; // 1000 per lot
    EXPECT_DOUBLE_EQ(calculateMargin(in), 2000);
}

TEST_F(PercentMode, OtherFormulasKeepTheRateWithoutTheContract) {
    in.marginFormulaId = 2; // 1 per lot
    EXPECT_DOUBLE_EQ(calculateMargin(in), 2);
}

// Separate sell rate: 1 bought at 1.2, 2 sold at 1.1; buy 1 %, sell 2 % of 100000:
// mb = 1000, ms = 2000 before the formula.
class SeparateSellRate : public ::testing::Test {
protected:
    SeparateSellRate() {
        in = lots(1, 2, 1);
        in.sellMarginRequired = 2;
        in.marginMode = 2;
        in.contractSize = 100000;
        in.totalOrderCost = 1.2;
        in.totalSellOrderCost = 2 * 1.1;
        in.liquidationMargin = 50; // not used on this road
    }
    LotMarginInputs in;
};

TEST_F(SeparateSellRate, ContractFactorOnBothRates) {
    in.marginFormulaId = 2; // 1000 × 1 + 2000 × 2
    EXPECT_DOUBLE_EQ(calculateMargin(in), 5000);
}

TEST_F(SeparateSellRate, FormulaOneUsesEachSidesAveragePrice) {
    in.marginFormulaId = 1; // 1000 × 1.2 × 1 + 2000 × 1.1 × 2 = 1200 + 4400
    EXPECT_NEAR(calculateMargin(in), 5600, 1e-9);
}

TEST_F(SeparateSellRate, FormulasThreeAndFour) {
    in.baseCurrencyRate = 3 * 0.5; // R ÷ T = 0.5
    in.marginFormulaId = 3;        // 500 + 1000 × 2
    EXPECT_DOUBLE_EQ(calculateMargin(in), 2500);
    in.marginFormulaId = 4; // 2000 + 4000 × 2
    EXPECT_DOUBLE_EQ(calculateMargin(in), 10000);
    in.baseCurrencyRate = 0; // division skipped
    EXPECT_DOUBLE_EQ(calculateMargin(in), 5000);
}

TEST_F(SeparateSellRate, AmountModeTakesTheRatesAsTheyAre) {
    in.marginMode = 1;
    in.marginRequired = 100;
    in.sellMarginRequired = 150; // 100 × 1 + 150 × 2
    EXPECT_DOUBLE_EQ(calculateMargin(in), 400);
    in.sellMarginRequired = 100; // same as the buy rate: hedge rule, |1 - 2| × 100 + 0.5 × 1 × 100
    EXPECT_DOUBLE_EQ(calculateMargin(in), 150);
}

TEST(PerLotRate, ByDeliveryMode) {
    GroupInstruments s;
    s.InitialMargin = 10_cdec;
    s.IntradayOrderMargin = 20_cdec;
    s.BTSTOrderMargin = 30_cdec;
    EXPECT_DOUBLE_EQ(getMargin(&s, 1), 10);
    EXPECT_DOUBLE_EQ(getMargin(&s, 2), 20);
    EXPECT_DOUBLE_EQ(getMargin(&s, 3), 30);
    EXPECT_DOUBLE_EQ(getMargin(&s, 0), 10);
    EXPECT_DOUBLE_EQ(getMargin(nullptr, 2), 0);
}

class CheckMargin : public OrderFixture {
protected:
    CheckMargin() {
        settings->LiquidationMargin = 50_cdec;
        account->AvailableMargin = 0;
        account->UsedMargin = 10000_cdec;
        position(0, "5"); // 5 bought: 5 × 1000 = 5000 of margin
    }
};

TEST_F(CheckMargin, CancelAndAffordableOrdersPass) {
    account->Equity = 0;
    auto o = limitBuy();
    o->isCancelOrder = true;
    EXPECT_TRUE(manager.CheckMargin(*o));
    account->AvailableMargin = 1000; // 1 × 1000
    EXPECT_TRUE(manager.CheckMargin(*limitBuy()));
}

TEST_F(CheckMargin, ReducingTheOppositeSideNeedsNoMargin) {
    account->Equity = 0;
    EXPECT_TRUE(manager.CheckMargin(*market(1, "2")));
    EXPECT_TRUE(manager.CheckMargin(*market(1, "5")));
    EXPECT_FALSE(manager.CheckMargin(*market(1, "6")));
}

TEST_F(CheckMargin, BeforeAndAfterUnderTheHedgeRule) {
    // Sell 6 against 5 bought: before 5000; after |5 - 6| × 1000 + 0.5 × 5 × 1000 = 3500;
    // needs Equity > 10000 - 5000 + 3500 = 8500.
    account->Equity = 8500;
    EXPECT_FALSE(manager.CheckMargin(*market(1, "6")));
    account->Equity = 8500.01;
    EXPECT_TRUE(manager.CheckMargin(*market(1, "6")));
    // Buy 1 more: after 6000, needs Equity > 11000.
    account->Equity = 11000;
    EXPECT_FALSE(manager.CheckMargin(*market(0, "1")));
    account->Equity = 11000.01;
    EXPECT_TRUE(manager.CheckMargin(*market(0, "1")));
}

TEST_F(CheckMargin, OnlyTheAccountsPositionsInTheDeliveryModeCount) {
    position(0, "100", "1.2", "2002");
    auto intraday = position(0, "100");
    intraday->deliveryMode = 2;
    account->Equity = 8500.01;
    EXPECT_TRUE(manager.CheckMargin(*market(1, "6")));
}

TEST_F(CheckMargin, LotTotalsAddOntoTheCallersValues) {
    position(1, "3", "1.1");
    double buy = 1;
    double sell = 0;
    manager.getTotalLots("EURUSD", "1001", 1, &buy, &sell);
    EXPECT_DOUBLE_EQ(buy, 6);
    EXPECT_DOUBLE_EQ(sell, 3);
    LotTotals t;
    manager.getTotalLotsAndCost("EURUSD", "1001", 1, t);
    EXPECT_NEAR(t.buyCost, 5 * 1.2, 1e-12);
    EXPECT_NEAR(t.sellCost, 3 * 1.1, 1e-12);
}

using PieChartMargin = OrderFixture;

TEST_F(PieChartMargin, SelectedAccountsFigureWithTwoDecimals) {
    settings->LiquidationMargin = 50_cdec;
    settings->InitialMargin = 100_cdec;
    manager.setCurrentAccount(1001);
    position(0, "5");
    position(1, "3");
    position(0, "50", "1.2", "2002"); // another account
    auto o = market(0);
    o->AccountNumber = "2002"; // the selected account counts, not the order's
    account->HedgeModeId = 1;
    manager.CalcHedgeMargin(*o);
    ASSERT_NE(model.HedgeMarginCollection.get("EURUSD#1"), nullptr);
    EXPECT_EQ(*model.HedgeMarginCollection.get("EURUSD#1"), "350.00");
    account->HedgeModeId = 0; // net lots only: 2 × 100
    manager.CalcHedgeMargin(*o);
    EXPECT_EQ(*model.HedgeMarginCollection.get("EURUSD#1"), "200.00");
    EXPECT_EQ(model.HedgeMarginCollection.size(), 1u);
}

TEST_F(PieChartMargin, EveryInstrumentAndModeOfTheSelectedAccountInOnePass) {
    settings->LiquidationMargin = 50_cdec;
    settings->InitialMargin = 100_cdec;
    manager.setCurrentAccount(1001);
    // 1.5 lots bought and 0.5 sold: the sold half-lot offsets, it is not charged again.
    position(0, "1.5");
    position(1, "0.5");
    position(0, "2")->deliveryMode = 2; // intraday: rate 0 here
    position(0, "50", "1.2", "2002");   // another account
    auto figure = [this](const char* key) {
        const auto figures = manager.hedgeMargins(); // a fresh map: held while its entry is read
        const std::string* text = figures.get(key);
        return text ? *text : std::string("none");
    };
    // Net lots only: |1.5 - 0.5| x 100.
    EXPECT_EQ(figure("EURUSD#1"), "100.00");
    EXPECT_EQ(figure("EURUSD#2"), "0.00");
    EXPECT_EQ(manager.hedgeMargins().size(), 2u);
    // Hedge mode 1: 100 + 0.5 x 0.5 x 100; the gross 2 x 100 is never the figure.
    account->HedgeModeId = 1;
    EXPECT_EQ(figure("EURUSD#1"), "125.00");
    // As many single figures in turn would leave, the last position's per-lot rate counts.
    settings->InitialSellMargin = 200_cdec; // the sold position is last: 200 + 0.5 x 0.5 x 200
    EXPECT_EQ(figure("EURUSD#1"), "250.00");
    manager.CalcHedgeMargin(*model.OpenOrderCollection[1]);
    EXPECT_EQ(*model.HedgeMarginCollection.get("EURUSD#1"), "250.00");
    // No account chosen, or one the session lacks: no figures.
    manager.setCurrentAccount(4444);
    EXPECT_TRUE(manager.hedgeMargins().empty());
}

} // namespace
