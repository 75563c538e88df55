// Tick grid, rounding onto the grid, the daily band and the price hints.
#include "model/price_grid.h"

#include "support/decimal_literal.h"

#include "orders/order_fixture.h"

#include <cmath>
#include <limits>

namespace {

using tc::testing_support::operator""_cdec;
using tc::testing_support::operator""_dec;

using namespace tc;

using platform::Decimal;

TEST(TickGrid, PricesThatBinaryRemaindersMiss) {
    // In binary both remainders come out just under a tick, not zero.
    EXPECT_NE(std::fmod(1.2345, 0.0005), 0.0);
    EXPECT_NE(std::fmod(0.3, 0.1), 0.0);
    EXPECT_TRUE(CheckTickPrice(1.2345, 4, 0.0005).isZero());
    EXPECT_TRUE(CheckTickPrice(0.3, 1, 0.1).isZero());
    EXPECT_TRUE(CheckTickPrice(0.3, 0, 0.1).isZero());
    EXPECT_FALSE(CheckTickPrice(1.2347, 4, 0.0005).isZero());
}

TEST(TickGrid, RemainderIsOnTheInstrumentsScale) {
    // 101.60 × 100 = 10160, 0.25 × 100 = 25: 10160 - 406 × 25 = 10.
    EXPECT_TRUE(CheckTickPrice(101.50, 2, 0.25).isZero());
    EXPECT_EQ(CheckTickPrice(101.60, 2, 0.25), Decimal::fromInt64(10));
}

TEST(TickGrid, NoTickMeansNoGrid) {
    EXPECT_TRUE(CheckTickPrice(1.23456, 4, 0).isZero());
    EXPECT_TRUE(CheckTickPrice(1.23456, 4, -0.5).isZero());
    EXPECT_TRUE(CheckTickPrice(1.23456, 4, std::numeric_limits<double>::quiet_NaN()).isZero());
    // A price that is no number is never on a grid.
    EXPECT_FALSE(CheckTickPrice(std::numeric_limits<double>::infinity(), 4, 0.0005).isZero());
}

TEST(TickGrid, RoundingOntoTheGrid) {
    EXPECT_DOUBLE_EQ(doPriceTickCorrection(0.5, 107.3, 2, false), 107.0);
    EXPECT_DOUBLE_EQ(doPriceTickCorrection(0.5, 92.7, 2, true), 93.0);
    EXPECT_DOUBLE_EQ(doPriceTickCorrection(0.5, 93.0, 2, true), 93.0);
    EXPECT_DOUBLE_EQ(doPriceTickCorrection(0.5, 93.0, 2, false), 93.0);
    // 1.2347 on 0.0005: down 1.2345, up 1.2350 (exactly the doubles of those texts).
    EXPECT_EQ(doPriceTickCorrection(0.0005, 1.2347, 4, false), 1.2345);
    EXPECT_EQ(doPriceTickCorrection(0.0005, 1.2347, 4, true), 1.2350);
    EXPECT_EQ(doPriceTickCorrection(0, 1.2347, 4, true), 1.2347);
}

TEST(TickGrid, ContingentPrice) {
    EXPECT_DOUBLE_EQ(CalculateContingentPrice(100, 2.5, true), 102.5);
    EXPECT_DOUBLE_EQ(CalculateContingentPrice(100, 2.5, false), 97.5);
    EXPECT_DOUBLE_EQ(CalculateContingentPrice(100, 0, false), 100);
}

class DailyBand : public ::testing::Test {
protected:
    DailyBand() {
        item.PrevClose = 100_cdec;
        item.TickSize = 0.5_cdec;
        item.DecimalPlaces = 2;
    }
    ItemDetails item;
};

TEST_F(DailyBand, PercentageBandOnTheGridStays) {
    item.CircuitLimit = 7_cdec; // 100 ± 7
    EXPECT_DOUBLE_EQ(getFluctuationLimitUpPrice(&item), 107);
    EXPECT_DOUBLE_EQ(getFluctuationLimitDownPrice(&item), 93);
}

TEST_F(DailyBand, PercentageBandIsRoundedInwards) {
    item.CircuitLimit = 7.3_cdec; // 107.3 down to 107, 92.7 up to 93
    EXPECT_DOUBLE_EQ(getFluctuationLimitUpPrice(&item), 107);
    EXPECT_DOUBLE_EQ(getFluctuationLimitDownPrice(&item), 93);
}

TEST_F(DailyBand, BoundsAreInclusive) {
    item.CircuitLimit = 7_cdec;
    double up = 0;
    double down = 0;
    EXPECT_TRUE(verifyFluctuationLimit(&item, 107, &up, &down));
    EXPECT_DOUBLE_EQ(up, 107);
    EXPECT_DOUBLE_EQ(down, 93);
    EXPECT_TRUE(verifyFluctuationLimit(&item, 93, nullptr, nullptr));
    EXPECT_FALSE(verifyFluctuationLimit(&item, 107.5, nullptr, nullptr));
    EXPECT_FALSE(verifyFluctuationLimit(&item, 92.5, nullptr, nullptr));
}

TEST_F(DailyBand, AbsoluteLimitsWinAndAZeroLimitDoesNotBound) {
    item.circuitLimitUp = 105_cdec;
    EXPECT_DOUBLE_EQ(getFluctuationLimitUpPrice(&item), 105);
    EXPECT_DOUBLE_EQ(getFluctuationLimitDownPrice(&item), 0);
    EXPECT_TRUE(verifyFluctuationLimit(&item, 1, nullptr, nullptr));
    EXPECT_FALSE(verifyFluctuationLimit(&item, 105.5, nullptr, nullptr));
    item.circuitLimitUp = 0_cdec;
    item.circuitLimitDown = 95_cdec;
    EXPECT_FALSE(verifyFluctuationLimit(&item, 94, nullptr, nullptr));
    EXPECT_TRUE(verifyFluctuationLimit(&item, 1e9, nullptr, nullptr));
    EXPECT_TRUE(verifyFluctuationLimit(nullptr, 1e9, nullptr, nullptr));
}

using PriceHints = OrderFixture;

TEST_F(PriceHints, EntryOrderBounds) {
    EXPECT_EQ(manager.OrderTypeChange(2, 0, "EURUSD", 1001, true), "<= 1.1990");
    EXPECT_EQ(manager.OrderTypeChange(2, 1, "EURUSD", 1001, true), ">= 1.2020");
    EXPECT_EQ(manager.OrderTypeChange(3, 0, "EURUSD", 1001, true), ">= 1.2040");
    EXPECT_EQ(manager.OrderTypeChange(3, 1, "EURUSD", 1001, false), "1.1970");
    EXPECT_EQ(manager.OrderTypeChange(1, 0, "EURUSD", 1001, true), "");
    // Without group settings the distance is 0: the market price itself.
    EXPECT_EQ(manager.OrderTypeChange(2, 0, "EURUSD", 999, false), "1.2010");
}

TEST_F(PriceHints, ProtectiveBounds) {
    // Market order: a protective sell from the bid, a protective buy from the ask.
    EXPECT_EQ(manager.UpdateTakeProfitAndStopLoss(1, "EURUSD", true, 1001, 1, "", true), ">= 1.2020");
    EXPECT_EQ(manager.UpdateTakeProfitAndStopLoss(1, "EURUSD", false, 1001, 1, "", true), "<= 1.1970");
    EXPECT_EQ(manager.UpdateTakeProfitAndStopLoss(0, "EURUSD", true, 1001, 1, "", true), "<= 1.1990");
    EXPECT_EQ(manager.UpdateTakeProfitAndStopLoss(0, "EURUSD", false, 1001, 1, "", false), "1.2040");
    // Entry order: from the typed price.
    EXPECT_EQ(manager.UpdateTakeProfitAndStopLoss(0, "EURUSD", false, 1001, 2, "1.1500", true), ">= 1.1530");
}

TEST_F(PriceHints, ZeroDecimalPlacesPrintTwo) {
    item->DecimalPlaces = 0;
    item->TickSize = 1_cdec;
    item->Ask = 120_cdec;
    EXPECT_EQ(manager.OrderTypeChange(2, 0, "EURUSD", 1001, false), "116.00");
}

TEST(BracketPrices, DefaultDistanceAndSteps) {
    ItemDetails item;
    item.TickSize = 0.0001_cdec;
    GroupInstruments settings;
    settings.LimitMinPips = 10;
    settings.StopMinPips = 20;
    // A buy's take profit above the base, its stop loss below; a sell's the other way round.
    EXPECT_NEAR(bracketDefaultPrice(1.1, true, true, &item, &settings), 1.101, 1e-12);
    EXPECT_NEAR(bracketDefaultPrice(1.1, true, false, &item, &settings), 1.098, 1e-12);
    EXPECT_NEAR(bracketDefaultPrice(1.05, false, true, &item, &settings), 1.049, 1e-12);
    EXPECT_NEAR(bracketDefaultPrice(1.05, false, false, &item, &settings), 1.052, 1e-12);
    EXPECT_DOUBLE_EQ(bracketDefaultPrice(1.05, false, false, &item, nullptr), 1.05)
        << "no settings, no distance";
    EXPECT_NEAR(steppedPrice(1.1, 0.0001, -2), 1.0998, 1e-12);
    EXPECT_DOUBLE_EQ(steppedPrice(0.0001, 0.0001, -3), 0) << "never below 0";
}

} // namespace
