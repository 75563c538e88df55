#include "model/records/item_details.h"

#include "support/decimal_literal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

using tc::testing_support::operator""_cdec;
using tc::testing_support::operator""_dec;

using namespace tc;

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

PriceUpdate quote(platform::CompactDecimal bid, platform::CompactDecimal ask) {
    PriceUpdate u;
    u.ItemCode = "EURUSD";
    u.Bid = bid;
    u.Ask = ask;
    return u;
}

TEST(ItemDetails, MidPriceCorrection) {
    ItemDetails item;
    item.TickSize = 0.5_cdec;
    EXPECT_EQ(item.DoMidPriceTickCorrection(10.25_dec), 10.0_dec); // exact half rounds down
    EXPECT_EQ(item.DoMidPriceTickCorrection(10.26_dec), 10.5_dec);
    EXPECT_EQ(item.DoMidPriceTickCorrection(10.5_dec), 10.5_dec);
    EXPECT_EQ(item.DoMidPriceTickCorrection(10.24_dec), 10.0_dec);
    // Truncating remainder keeps the sign of x: -10.26 leaves -0.26, not above half, so toward 0.
    EXPECT_EQ(item.DoMidPriceTickCorrection(-10.26_dec), -10.0_dec);
    // Exact halves that a double remainder misreads: fmod(0.55, 0.1) = 0.05000000000000002 and
    // fmod(0.025, 0.01) = 0.005000000000000001 look above half and would round up.
    item.TickSize = 0.1_cdec;
    EXPECT_EQ(item.DoMidPriceTickCorrection(0.55_dec), 0.5_dec);
    item.TickSize = 0.01_cdec;
    EXPECT_EQ(item.DoMidPriceTickCorrection(0.025_dec), 0.02_dec);
    // 1.100025 on a 0.00005 grid: remainder 0.000025, exactly half, down.
    item.TickSize = 0.00005_cdec;
    EXPECT_EQ(item.DoMidPriceTickCorrection(1.100025_dec), 1.10000_dec);
    item.TickSize = 0.0001_cdec;
    EXPECT_EQ(item.DoMidPriceTickCorrection(1.23456_dec), 1.2346_dec);
    EXPECT_EQ(item.DoMidPriceTickCorrection(1.2346_dec), 1.2346_dec); // on the grid stays
}

TEST(ItemDetails, MidPriceCorrectionWithoutUsableTickLeavesThePrice) {
    ItemDetails item;
    for (const platform::Decimal& tick : {0_dec, -0.5_dec, platform::Decimal::notANumber()}) {
        item.TickSize = tc::platform::CompactDecimal(tick);
        EXPECT_EQ(item.DoMidPriceTickCorrection(10.26_dec), 10.26_dec) << tick.toString();
    }
    item.TickSize = 0.5_cdec;
    EXPECT_TRUE(item.DoMidPriceTickCorrection(platform::Decimal::notANumber()).isNaN());
    item.TickSize = 1e-128_cdec; // a quotient beyond the decimal range
    EXPECT_EQ(item.DoMidPriceTickCorrection(1.5_dec), 1.5_dec);
}

TEST(ItemDetails, FixedSpreadAroundCorrectedMid) {
    // Bid 1.10000, ask 1.10010: mid 1.10005 is on the 0.00005 grid.
    // Bid = 1.10005 - 2 * 0.00001 = 1.10003; ask = 1.10005 + 3 * 0.00001 = 1.10008.
    auto item = instrument(ItemDetails::kSpreadFixed, 2, 3);
    auto u = quote(1.10000_cdec, 1.10010_cdec);
    item.ApplySpread(u);
    EXPECT_EQ(u.Bid, 1.10003_cdec);
    EXPECT_EQ(u.Ask, 1.10008_cdec);

    // Bid 1.10001, ask 1.10004: mid 1.100025, exactly half a tick above 1.10000, so 1.10000.
    // Bid = 1.10000 - 0.00002 = 1.09998; ask = 1.10000 + 0.00003 = 1.10003.
    u = quote(1.10001_cdec, 1.10004_cdec);
    item.ApplySpread(u);
    EXPECT_EQ(u.Bid, 1.09998_cdec);
    EXPECT_EQ(u.Ask, 1.10003_cdec);
}

TEST(ItemDetails, MinimumSpreadOnlyWidens) {
    auto item = instrument(ItemDetails::kSpreadMinimum, 2, 3);
    item.TickSize = 0.00001_cdec;
    // Raw spread exactly 5 points (1.10005 - 1.10000 = 0.00005 = 5 x 0.00001): 5 is not > 5.
    // Counted in doubles it would be 4.99999999998 and wrongly replaced.
    auto u = quote(1.10000_cdec, 1.10005_cdec);
    item.ApplySpread(u);
    EXPECT_EQ(u.Bid, 1.10000_cdec);
    EXPECT_EQ(u.Ask, 1.10005_cdec);
    EXPECT_EQ(quote(1.10000_cdec, 1.10005_cdec).GetSpread(0.00001_dec), 5.0);

    // Raw 4.9 points: mid 1.1000245, remainder 0.0000045 on the 0.00001 grid is below half:
    // mid 1.10002, bid 1.10002 - 0.00002 = 1.10000, ask 1.10002 + 0.00003 = 1.10005.
    u = quote(1.10000_cdec, 1.100049_cdec);
    item.ApplySpread(u);
    EXPECT_EQ(u.Bid, 1.10000_cdec);
    EXPECT_EQ(u.Ask, 1.10005_cdec);

    // Raw spread wider than the minimum: raw.
    u = quote(1.10000_cdec, 1.10020_cdec);
    item.ApplySpread(u);
    EXPECT_EQ(u.Bid, 1.10000_cdec);
    EXPECT_EQ(u.Ask, 1.10020_cdec);
}

TEST(ItemDetails, MinimumSpreadPointSumDoesNotOverflow) {
    auto item = instrument(ItemDetails::kSpreadMinimum, std::numeric_limits<std::int32_t>::max(),
                           std::numeric_limits<std::int32_t>::max());
    auto u = quote(1.0_cdec, 1.1_cdec);
    item.ApplySpread(u); // sum 4294967294 points > 10000: fixed spread, finite prices
    EXPECT_FALSE(u.Bid.isNaN());
    EXPECT_LT(u.Bid, 0_cdec);
    EXPECT_GT(u.Ask, 1.1_cdec);
}

TEST(ItemDetails, TopupSpreadWidensRawSides) {
    // 1.10001 - 2 x 0.00001 = 1.09999; 1.10004 + 3 x 0.00001 = 1.10007 (no mid, no grid).
    auto item = instrument(ItemDetails::kSpreadTopup, 2, 3);
    auto u = quote(1.10001_cdec, 1.10004_cdec);
    item.ApplySpread(u);
    EXPECT_EQ(u.Bid, 1.09999_cdec);
    EXPECT_EQ(u.Ask, 1.10007_cdec);
}

TEST(ItemDetails, QuotesPassRaw) {
    for (std::int32_t type : {0, 1, 2, 3, 4, 7, -1}) {
        auto item = instrument(type, 2, 3);
        // One side missing: untouched whatever the type.
        for (auto u : {quote(0_cdec, 1.10010_cdec), quote(1.10000_cdec, 0_cdec)}) {
            const auto before = u;
            item.ApplySpread(u);
            EXPECT_EQ(u.Bid, before.Bid) << type;
            EXPECT_EQ(u.Ask, before.Ask) << type;
        }
        // Another instrument's quote.
        auto other = quote(1.10000_cdec, 1.10010_cdec);
        other.ItemCode = "GBPUSD";
        item.ApplySpread(other);
        EXPECT_EQ(other.Bid, 1.10000_cdec);
        EXPECT_EQ(other.Ask, 1.10010_cdec);
    }
    // Types 0, 4 and unknown values carry no spread.
    for (std::int32_t type : {0, 4, 5, -3}) {
        auto item = instrument(type, 2, 3);
        auto u = quote(1.10000_cdec, 1.10010_cdec);
        item.ApplySpread(u);
        EXPECT_EQ(u.Bid, 1.10000_cdec) << type;
        EXPECT_EQ(u.Ask, 1.10010_cdec) << type;
    }
}

TEST(ItemDetails, PointsWithoutValuePassQuotesRaw) {
    for (const platform::Decimal& pointValue : {0_dec, -0.00001_dec, platform::Decimal::notANumber()}) {
        for (std::int32_t type : {1, 2, 3}) {
            auto item = instrument(type, 2, 3);
            item.priceTick = tc::platform::CompactDecimal(pointValue);
            auto u = quote(1.10000_cdec, 1.10010_cdec);
            item.ApplySpread(u);
            EXPECT_EQ(u.Bid, 1.10000_cdec);
            EXPECT_EQ(u.Ask, 1.10010_cdec);
        }
    }
    EXPECT_EQ(quote(1.0_cdec, 1.1_cdec).GetSpread(0_dec), 0);
    EXPECT_EQ(quote(1.0_cdec, 1.1_cdec).GetSpread(-1_dec), 0);
    // Sides crossed: the count is absolute.
    EXPECT_EQ(quote(1.1_cdec, 1.0_cdec).GetSpread(0.01_dec), 10.0);
}

TEST(ItemDetails, FixedSpreadWithoutGridUsesRawMid) {
    // TickSize 0: the mid is not corrected. Mid 1.100025; bid 1.100005, ask 1.100055.
    auto item = instrument(ItemDetails::kSpreadFixed, 2, 3);
    item.TickSize = 0_cdec;
    auto u = quote(1.10001_cdec, 1.10004_cdec);
    item.ApplySpread(u);
    EXPECT_EQ(u.Bid, 1.100005_cdec);
    EXPECT_EQ(u.Ask, 1.100055_cdec);
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

namespace {

TEST(ItemDetailsTicks, ARecordWithoutATickSizeTakesOneUnitOfItsShownDecimals) {
    for (std::int32_t places = -1; places <= 12; ++places) {
        ItemDetails item;
        item.DecimalPlaces = places;
        item.SettleTickSizes();
        const int shown = std::clamp(places, 0, ItemDetails::kMaxDecimalPlaces);
        const auto expected = places > 0
                                  ? platform::CompactDecimal(platform::Decimal::fromParts(false, 1, -shown))
                                  : platform::CompactDecimal();
        // Equal values have equal bits only in the normal form the decimal gives.
        EXPECT_EQ(item.TickSize, expected) << places;
        EXPECT_EQ(item.priceTick, expected) << places;
    }
    ItemDetails quoted;
    quoted.DecimalPlaces = 5;
    quoted.TickSize = 0.00005_cdec;
    quoted.priceTick = -1_cdec;
    quoted.SettleTickSizes();
    EXPECT_EQ(quoted.TickSize, 0.00005_cdec);
    EXPECT_EQ(quoted.priceTick, 0.00005_cdec); // a tick that is not above 0 takes the record's
}

} // namespace
