#include "model/records/item_details.h"

#include "support/decimal_literal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using tc::testing_support::operator""_cdec;
using tc::testing_support::operator""_dec;

using namespace tc;

constexpr double kEps = 1e-9;

// EURUSD-like: prices on a 0.00005 grid, spread points worth 0.00001.
ItemDetails instrument(std::int32_t type, std::int32_t bidPoints, std::int32_t askPoints) {
    ItemDetails item;
    item.Code = "EURUSD";
    item.TickSize = 0.00005_cdec;
    item.priceTick = 0.00001_cdec;
    item.SpreadType = type;
    item.BidSpread = bidPoints;
    item.AskSpread = askPoints;
    return item;
}

PriceUpdate quote(double bid, double ask) {
    PriceUpdate u;
    u.ItemCode = "EURUSD";
    u.Bid = bid;
    u.Ask = ask;
    return u;
}

TEST(ItemDetails, MidPriceCorrection) {
    ItemDetails item;
    item.TickSize = 0.5_cdec;
    EXPECT_DOUBLE_EQ(item.DoMidPriceTickCorrection(10.25), 10.0); // exact half rounds down
    EXPECT_DOUBLE_EQ(item.DoMidPriceTickCorrection(10.26), 10.5);
    EXPECT_DOUBLE_EQ(item.DoMidPriceTickCorrection(10.5), 10.5);
    EXPECT_DOUBLE_EQ(item.DoMidPriceTickCorrection(10.24), 10.0);
    // Truncating remainder keeps the sign of x: -10.26 leaves -0.26, not above half, so toward 0.
    EXPECT_DOUBLE_EQ(item.DoMidPriceTickCorrection(-10.26), -10.0);
    // Exact halves that a double remainder misreads: fmod(0.55, 0.1) = 0.05000000000000002 and
    // fmod(0.025, 0.01) = 0.005000000000000001 look above half and would round up.
    item.TickSize = 0.1_cdec;
    EXPECT_NEAR(item.DoMidPriceTickCorrection(0.55), 0.5, kEps);
    item.TickSize = 0.01_cdec;
    EXPECT_NEAR(item.DoMidPriceTickCorrection(0.025), 0.02, kEps);
    // 1.100025 on a 0.00005 grid: remainder 0.000025, exactly half, down.
    item.TickSize = 0.00005_cdec;
    EXPECT_NEAR(item.DoMidPriceTickCorrection(1.100025), 1.10000, kEps);
    item.TickSize = 0.0001_cdec;
    EXPECT_NEAR(item.DoMidPriceTickCorrection(1.23456), 1.2346, kEps);
    EXPECT_NEAR(item.DoMidPriceTickCorrection(1.2346), 1.2346, kEps); // on the grid stays
}

TEST(ItemDetails, MidPriceCorrectionWithoutUsableTickLeavesThePrice) {
    ItemDetails item;
    for (const platform::Decimal& tick : {0_dec, -0.5_dec, platform::Decimal::notANumber()}) {
        item.TickSize = tc::platform::CompactDecimal(tick);
        EXPECT_DOUBLE_EQ(item.DoMidPriceTickCorrection(10.26), 10.26) << tick.toString();
    }
    item.TickSize = 0.5_cdec;
    EXPECT_TRUE(std::isinf(item.DoMidPriceTickCorrection(std::numeric_limits<double>::infinity())));
    EXPECT_DOUBLE_EQ(item.DoMidPriceTickCorrection(1e300), 1e300); // beyond the decimal range
    item.TickSize = 1e-128_cdec;                                   // a quotient beyond the range too
    EXPECT_DOUBLE_EQ(item.DoMidPriceTickCorrection(1.5), 1.5);
}

TEST(ItemDetails, FixedSpreadAroundCorrectedMid) {
    // Bid 1.10000, ask 1.10010: mid 1.10005 is on the 0.00005 grid.
    // Bid = 1.10005 - 2 * 0.00001 = 1.10003; ask = 1.10005 + 3 * 0.00001 = 1.10008.
    auto item = instrument(ItemDetails::kSpreadFixed, 2, 3);
    auto u = quote(1.10000, 1.10010);
    item.ApplySpread(u);
    EXPECT_NEAR(u.Bid, 1.10003, kEps);
    EXPECT_NEAR(u.Ask, 1.10008, kEps);

    // Bid 1.10001, ask 1.10004: mid 1.100025, exactly half a tick above 1.10000, so 1.10000.
    // Bid = 1.10000 - 0.00002 = 1.09998; ask = 1.10000 + 0.00003 = 1.10003.
    u = quote(1.10001, 1.10004);
    item.ApplySpread(u);
    EXPECT_NEAR(u.Bid, 1.09998, kEps);
    EXPECT_NEAR(u.Ask, 1.10003, kEps);
}

TEST(ItemDetails, MinimumSpreadOnlyWidens) {
    auto item = instrument(ItemDetails::kSpreadMinimum, 2, 3);
    item.TickSize = 0.00001_cdec;
    // Raw spread exactly 5 points (1.10005 - 1.10000 = 0.00005 = 5 x 0.00001): 5 is not > 5.
    // Counted in doubles it would be 4.99999999998 and wrongly replaced.
    auto u = quote(1.10000, 1.10005);
    item.ApplySpread(u);
    EXPECT_DOUBLE_EQ(u.Bid, 1.10000);
    EXPECT_DOUBLE_EQ(u.Ask, 1.10005);
    EXPECT_EQ(quote(1.10000, 1.10005).GetSpread(0.00001_dec), 5.0);

    // Raw 4.9 points: mid 1.1000245, remainder 0.0000045 on the 0.00001 grid is below half:
    // mid 1.10002, bid 1.10002 - 0.00002 = 1.10000, ask 1.10002 + 0.00003 = 1.10005.
    u = quote(1.10000, 1.100049);
    item.ApplySpread(u);
    EXPECT_NEAR(u.Bid, 1.10000, kEps);
    EXPECT_NEAR(u.Ask, 1.10005, kEps);

    // Raw spread wider than the minimum: raw.
    u = quote(1.10000, 1.10020);
    item.ApplySpread(u);
    EXPECT_DOUBLE_EQ(u.Bid, 1.10000);
    EXPECT_DOUBLE_EQ(u.Ask, 1.10020);
}

TEST(ItemDetails, MinimumSpreadPointSumDoesNotOverflow) {
    auto item = instrument(ItemDetails::kSpreadMinimum, std::numeric_limits<std::int32_t>::max(),
                           std::numeric_limits<std::int32_t>::max());
    auto u = quote(1.0, 1.1);
    item.ApplySpread(u); // sum 4294967294 points > 10000: fixed spread, finite prices
    EXPECT_TRUE(std::isfinite(u.Bid));
    EXPECT_LT(u.Bid, 0);
    EXPECT_GT(u.Ask, 1.1);
}

TEST(ItemDetails, TopupSpreadWidensRawSides) {
    // 1.10001 - 2 x 0.00001 = 1.09999; 1.10004 + 3 x 0.00001 = 1.10007 (no mid, no grid).
    auto item = instrument(ItemDetails::kSpreadTopup, 2, 3);
    auto u = quote(1.10001, 1.10004);
    item.ApplySpread(u);
    EXPECT_NEAR(u.Bid, 1.09999, kEps);
    EXPECT_NEAR(u.Ask, 1.10007, kEps);
}

TEST(ItemDetails, QuotesPassRaw) {
    for (std::int32_t type : {0, 1, 2, 3, 4, 7, -1}) {
        auto item = instrument(type, 2, 3);
        // One side missing: untouched whatever the type.
        for (auto u : {quote(0, 1.10010), quote(1.10000, 0)}) {
            const auto before = u;
            item.ApplySpread(u);
            EXPECT_EQ(u.Bid, before.Bid) << type;
            EXPECT_EQ(u.Ask, before.Ask) << type;
        }
        // Another instrument's quote.
        auto other = quote(1.10000, 1.10010);
        other.ItemCode = "GBPUSD";
        item.ApplySpread(other);
        EXPECT_EQ(other.Bid, 1.10000);
        EXPECT_EQ(other.Ask, 1.10010);
    }
    // Types 0, 4 and unknown values carry no spread.
    for (std::int32_t type : {0, 4, 5, -3}) {
        auto item = instrument(type, 2, 3);
        auto u = quote(1.10000, 1.10010);
        item.ApplySpread(u);
        EXPECT_EQ(u.Bid, 1.10000) << type;
        EXPECT_EQ(u.Ask, 1.10010) << type;
    }
}

TEST(ItemDetails, PointsWithoutValuePassQuotesRaw) {
    for (const platform::Decimal& pointValue : {0_dec, -0.00001_dec, platform::Decimal::notANumber()}) {
        for (std::int32_t type : {1, 2, 3}) {
            auto item = instrument(type, 2, 3);
            item.priceTick = tc::platform::CompactDecimal(pointValue);
            auto u = quote(1.10000, 1.10010);
            item.ApplySpread(u);
            EXPECT_EQ(u.Bid, 1.10000);
            EXPECT_EQ(u.Ask, 1.10010);
        }
    }
    EXPECT_EQ(quote(1.0, 1.1).GetSpread(0_dec), 0);
    EXPECT_EQ(quote(1.0, 1.1).GetSpread(-1_dec), 0);
    // Sides crossed: the count is absolute.
    EXPECT_EQ(quote(1.1, 1.0).GetSpread(0.01_dec), 10.0);
}

TEST(ItemDetails, FixedSpreadWithoutGridUsesRawMid) {
    // TickSize 0: the mid is not corrected. Mid 1.100025; bid 1.100005, ask 1.100055.
    auto item = instrument(ItemDetails::kSpreadFixed, 2, 3);
    item.TickSize = 0_cdec;
    auto u = quote(1.10001, 1.10004);
    item.ApplySpread(u);
    EXPECT_NEAR(u.Bid, 1.100005, kEps);
    EXPECT_NEAR(u.Ask, 1.100055, kEps);
}

TEST(ItemDetails, DisplayBounds) {
    ItemDetails item;
    item.DecimalPlaces = -3;
    EXPECT_EQ(item.DisplayDecimalPlaces(), 0);
    item.DecimalPlaces = 99;
    EXPECT_EQ(item.DisplayDecimalPlaces(), ItemDetails::kMaxDecimalPlaces);
    item.DecimalPlaces = 5;
    EXPECT_EQ(item.DisplayDecimalPlaces(), 5);

    EXPECT_EQ(PriceUpdate::DotPositionForDecimals(5), 5);
    EXPECT_EQ(PriceUpdate::DotPositionForDecimals(0), 0);
    EXPECT_EQ(PriceUpdate::DotPositionForDecimals(-4), 0);
    EXPECT_EQ(PriceUpdate::DotPositionForDecimals(400), PriceUpdate::kMaxDotDecimals);
}

} // namespace
