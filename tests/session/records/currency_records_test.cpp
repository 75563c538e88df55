#include "session/records/currency_records.h"
#include "session/records/record_fields.h"

#include "record_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

namespace {

using namespace tc;

TradeCurrency currency(std::int64_t mode, bool direct, double bidRate = 0, double askRate = 0) {
    TradeCurrency c;
    c.conversionMode = mode;
    c.isDirect = direct;
    c.bidRate = bidRate;
    c.askRate = askRate;
    return c;
}

TEST(TradeCurrency, EachModeChoosesItsPrice) {
    const ConversionQuote quote{1.10, 1.12};
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
    const ConversionQuote quote{2, 3};
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
    const ConversionQuote broken{nan, 1};
    EXPECT_EQ(currency(1, true).convert(3, &broken), 3);
}

TEST(TradeCurrency, SnapshotRecordsOfBothSections) {
    const std::string text = recordText({"8000000001", "EUR", "42", "1.1", "1.2", "3", "Y", "0.95"});
    auto full = TradeCurrency::fromAmpRecord(RecordFields(text));
    EXPECT_EQ(full.currencyID, 8000000001u);
    EXPECT_EQ(full.currencyCode, "EUR");
    EXPECT_EQ(full.instrumentID, 42u);
    EXPECT_DOUBLE_EQ(full.bidRate, 1.1);
    EXPECT_DOUBLE_EQ(full.askRate, 1.2);
    EXPECT_EQ(full.conversionMode, 3);
    EXPECT_TRUE(full.isDirect);
    EXPECT_DOUBLE_EQ(full.depositRate, 0.95);

    // The currency-list section's record ignores the direct flag and deposit rate.
    std::shared_ptr<TradeCurrency> listed =
        std::make_shared<CurrenyList>(CurrenyList::fromAmpRecord(RecordFields(text)));
    EXPECT_FALSE(listed->isDirect);
    EXPECT_EQ(listed->depositRate, 0);
    EXPECT_EQ(listed->currencyCode, "EUR");
    EXPECT_NE(dynamic_cast<CurrenyList*>(listed.get()), nullptr);
}

TEST(ResourceDetails, KeyedByIconOrCaptionAndShortRecordsAreRefused) {
    auto r = ResourceDetails::fromAmpRecord(RecordFields(
        recordText({"9", "Calendar", "http://x", "cal.png", "G", "T", "5", "Y", "N", "Y", "1"})));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->collectionKey(), "cal.png");
    EXPECT_EQ(r->resourceId, 9u);
    EXPECT_EQ(r->productId, 5u);
    EXPECT_TRUE(r->isNew);
    EXPECT_FALSE(r->showFocus);
    EXPECT_TRUE(r->enabled);
    EXPECT_TRUE(r->extraData);
    EXPECT_TRUE(r->isListed());

    auto noIcon = ResourceDetails::fromAmpRecord(RecordFields(recordText({"1", "News #2", "u", ""})));
    ASSERT_TRUE(noIcon);
    EXPECT_EQ(noIcon->collectionKey(), "News #2");
    EXPECT_FALSE(noIcon->isListed());

    EXPECT_FALSE(ResourceDetails::fromAmpRecord(RecordFields(recordText({"1", "Short", "u"}))));
}

} // namespace
