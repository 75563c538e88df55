#include "model/records/currency_records.h"
#include "model/records/record_decimal.h"
#include "model/records/record_fields.h"

#include "support/wire_text.h"

#include "support/decimal_literal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <tuple>

namespace {

using tc::testing_support::operator""_cdec;
using tc::testing_support::operator""_dec;

using namespace tc;
using testing_support::wireText;

TradeCurrency currency(std::int64_t mode, bool direct, double bidRate = 0, double askRate = 0) {
    TradeCurrency c;
    c.conversionMode = mode;
    c.isDirect = direct;
    c.bidRate = tc::platform::CompactDecimal(decimalFromDouble(bidRate));
    c.askRate = tc::platform::CompactDecimal(decimalFromDouble(askRate));
    return c;
}

TEST(TradeCurrency, EachModeChoosesItsPrice) {
    const ConversionQuote quote{1.10_cdec, 1.12_cdec};
    // Mode 3: bid for gains, ask for losses.
    EXPECT_DOUBLE_EQ(currency(3, false).convert(100, &quote), 110);
    EXPECT_DOUBLE_EQ(currency(3, false).convert(-100, &quote), -112);
    EXPECT_DOUBLE_EQ(currency(1, false).convert(-100, &quote), -110);
    EXPECT_DOUBLE_EQ(currency(2, false).convert(100, &quote), 112);
    EXPECT_DOUBLE_EQ(currency(5, false).convert(100, &quote), 111);
    EXPECT_DOUBLE_EQ(currency(5, true).convert(111, &quote), 100);
    // Mode 4 uses the stored rates and needs no quote.
    EXPECT_DOUBLE_EQ(currency(4, true, 2, 4).convert(10, nullptr), 5);
    EXPECT_DOUBLE_EQ(currency(4, true, 2, 4).convert(-10, nullptr), -2.5);
    EXPECT_FALSE(currency(4, true).needsConversionQuote());
    EXPECT_TRUE(currency(5, true).needsConversionQuote());
}

TEST(TradeCurrency, AmountsStayUnchangedWhenThereIsNothingToConvertWith) {
    const ConversionQuote quote{2_cdec, 3_cdec};
    EXPECT_EQ(currency(1, false).convert(0, &quote), 0);
    EXPECT_EQ(currency(0, false).convert(7, &quote), 7);
    EXPECT_EQ(currency(6, false).convert(7, &quote), 7);
    EXPECT_EQ(currency(-1, false).convert(7, &quote), 7);
    for (int mode : {1, 2, 3, 5})
        EXPECT_EQ(currency(mode, false).convert(7, nullptr), 7) << mode;
    // A zero price: multiplied it gives 0, divided it leaves the amount.
    EXPECT_EQ(currency(4, false, 0, 0).convert(7, nullptr), 0);
    EXPECT_EQ(currency(4, true, 0, 0).convert(7, nullptr), 7);
}

TEST(TradeCurrency, ConversionNeverYieldsNaNOrInfinity) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(TradeCurrency::currencyConversion(50, -2, true), 50); // no rate is negative
    EXPECT_EQ(TradeCurrency::currencyConversion(50, nan, true), 50);
    EXPECT_EQ(TradeCurrency::currencyConversion(50, inf, true), 50);
    EXPECT_EQ(TradeCurrency::currencyConversion(50, nan, false), 50);
    EXPECT_EQ(TradeCurrency::currencyConversion(1e300, 1e-300, true), 1e300);
    EXPECT_EQ(TradeCurrency::currencyConversion(1e300, 1e300, false), 1e300);
    EXPECT_DOUBLE_EQ(TradeCurrency::currencyConversion(50, -2, false), -100);
    const ConversionQuote broken{tc::platform::CompactDecimal::notANumber(), 1_cdec};
    EXPECT_EQ(currency(1, true).convert(3, &broken), 3);
}

TEST(TradeCurrency, SnapshotRecordsOfBothSections) {
    const std::string text = wireText("8000000001<C>EUR<C>42<C>1.1<C>1.2<C>3<C>Y<C>0.95");
    auto full = TradeCurrency::fromAmpRecord(RecordFields(text));
    EXPECT_EQ(std::tuple(full.currencyID, full.currencyCode, full.instrumentID, full.bidRate, full.askRate,
                         full.conversionMode, full.isDirect, full.depositRate),
              std::tuple(8000000001u, "EUR", 42u, 1.1_dec, 1.2_dec, 3, true, 0.95_dec));

    // The currency-list section's record ignores the direct flag and deposit rate.
    std::shared_ptr<TradeCurrency> listed =
        std::make_shared<CurrenyList>(CurrenyList::fromAmpRecord(RecordFields(text)));
    EXPECT_EQ(std::tuple(listed->isDirect, listed->depositRate, listed->currencyCode),
              std::tuple(false, 0_dec, "EUR"));
    EXPECT_NE(dynamic_cast<CurrenyList*>(listed.get()), nullptr);
}

TEST(ResourceDetails, KeyedByIconOrCaptionAndShortRecordsAreRefused) {
    auto r = ResourceDetails::fromAmpRecord(
        RecordFields(wireText("9<C>Calendar<C>http://x<C>cal.png<C>G<C>T<C>5<C>Y<C>N<C>Y<C>1")));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->collectionKey(), "cal.png");
    EXPECT_EQ(std::tuple(r->resourceId, r->productId, r->isNew, r->showFocus, r->enabled, r->extraData),
              std::tuple(9u, 5u, true, false, true, true));
    EXPECT_TRUE(r->isListed());

    auto noIcon = ResourceDetails::fromAmpRecord(RecordFields(wireText("1<C>News #2<C>u<C>")));
    ASSERT_TRUE(noIcon);
    EXPECT_EQ(noIcon->collectionKey(), "News #2");
    EXPECT_FALSE(noIcon->isListed());

    EXPECT_FALSE(ResourceDetails::fromAmpRecord(RecordFields(wireText("1<C>Short<C>u"))));
}

} // namespace
