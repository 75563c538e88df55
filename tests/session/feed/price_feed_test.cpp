#include "session/feed/price_feed.h"

#include "model/text/formatter.h"
#include "platform/date_format.h"

#include "price_book.h"
#include "support/decimal_literal.h"
#include "support/depth_levels.h"
#include "wire/wire_date.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

namespace {

using tc::testing_support::operator""_cdec;
using tc::testing_support::operator""_dec;

using namespace tc;
using platform::Decimal;

Decimal dec(std::string_view text) {
    return *Decimal::fromString(text);
}

// Fields joined with the feed's 0x04 separator.
std::string quote(const std::vector<std::string>& fields) {
    std::string text;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            text.push_back('\x04');
        text += fields[i];
    }
    return text;
}

FeedQuote decoded(const std::vector<std::string>& fields) {
    const PriceDecoding d = decodePriceText(quote(fields));
    EXPECT_EQ(d.error, FeedError::None) << feedErrorText(d.error);
    return d.quote.value_or(FeedQuote{});
}

const std::vector<std::string> kFull = {
    "EURUSD", "20240305143015", "1.23", "450", "456", "470", "900", "100", "300", "200", "5"};

std::shared_ptr<ItemDetails> instrument(std::string code) {
    auto item = std::make_shared<ItemDetails>();
    item->Code = std::move(code);
    return item;
}

// The plain quote is read without decimal arithmetic: whenever that reading is taken it gives exactly
// the general reading's update, bit for bit, and the quotes a server usually sends take it.
TEST(PlainPriceUpdate, MatchesTheGeneralReadingWheneverItIsTaken) {
    const std::vector<std::string> bases = {
        "1.08", "1.0", "0",  "-0.5", "123456.123456", "1.1234567",         "99999999",       "1e3", " 1.2",
        "+1.2", "1.",  ".5", "",     "abc",           "9007199254.740993", "100000000000000"};
    const std::vector<std::string> offsets = {"0",
                                              "12",
                                              "-7",
                                              "",
                                              "3.5",
                                              " 4",
                                              "+9",
                                              "123456789012",
                                              "x1",
                                              "1e2",
                                              "-0",
                                              "4000",
                                              "99999999999999999"};
    const std::vector<std::string> counts = {"0", "2", "5", "6", "7", "9", "15", "40", "-3", "x"};
    std::size_t taken = 0, compared = 0;
    unsigned seed = 7;
    auto pick = [&seed](std::size_t n) {
        seed = seed * 1103515245u + 12345u;
        return static_cast<std::size_t>((seed >> 16) % n);
    };
    for (int n = 0; n < 20'000; ++n) {
        std::vector<std::string> f = {"EURUSD", "20240305101112", bases[pick(bases.size())]};
        const std::size_t prices = pick(10);
        for (std::size_t i = 0; i < prices; ++i)
            f.push_back(offsets[pick(offsets.size())]);
        f.push_back(counts[pick(counts.size())]);
        const std::string text = quote(f);
        PriceUpdate reused;
        reused.Last = 9_cdec; // a reading writes every field, whatever a reused update held
        reused.Time = wallTimeFromWire("19990101000000");
        const auto plain = decodePlainPriceUpdate(text, reused) ? std::optional(reused) : std::nullopt;
        const PriceDecoding general = decodePriceText(text);
        if (!plain)
            continue;
        ++taken;
        ASSERT_TRUE(general.quote.has_value()) << text;
        const PriceUpdate g = general.quote->toPriceUpdate();
        ++compared;
        EXPECT_EQ(std::tie(plain->ItemCode, plain->Time), std::tie(g.ItemCode, g.Time)) << text;
        EXPECT_EQ(plain->DotPosition, g.DotPosition) << text;
        const platform::CompactDecimal mine[] = {plain->Last, plain->Bid,  plain->Ask,          plain->High,
                                                 plain->Low,  plain->Open, plain->PreviousClose};
        const platform::CompactDecimal theirs[] = {g.Last, g.Bid,  g.Ask,          g.High,
                                                   g.Low,  g.Open, g.PreviousClose};
        for (std::size_t k = 0; k < std::size(mine); ++k)
            EXPECT_EQ(std::bit_cast<std::uint64_t>(mine[k]), std::bit_cast<std::uint64_t>(theirs[k]))
                << text << " value " << k << ": " << mine[k].toString() << " vs " << theirs[k].toString();
    }
    EXPECT_EQ(taken, compared);
    EXPECT_GT(taken, 2'000u);
    // The usual quote takes it.
    PriceUpdate usual;
    EXPECT_TRUE(
        decodePlainPriceUpdate(quote({"EURUSD", "20240305101112", "1.08", "100", "105", "110", "5"}), usual));
}

} // namespace

TEST(PriceFeedQuote, FullQuoteIsBasePlusScaledOffsets) {
    const FeedQuote q = decoded(kFull);
    EXPECT_EQ(std::tuple(q.ItemCode, displayDateTime(q.Time), q.Base, q.Decimals, q.Last, q.Bid, q.Ask,
                         q.High, q.Low, q.Open, q.PreviousClose),
              std::tuple("EURUSD", "03/05/2024 14:30:15", dec("1.23"), 5, dec("1.2345"), dec("1.23456"),
                         dec("1.2347"), dec("1.239"), dec("1.231"), dec("1.233"), dec("1.232")));

    const PriceUpdate u = q.toPriceUpdate();
    EXPECT_EQ(u.DotPosition, 5);
    EXPECT_EQ(u.Bid, 1.23456_cdec);
    EXPECT_EQ(u.PreviousClose, 1.232_cdec);
    EXPECT_EQ(displayDateTime(u.Time), "03/05/2024 14:30:15");
}

TEST(PriceFeedQuote, ValuesAreHeldToSixDecimals) {
    // 12345678 / 10^8 = 0.12345678 -> 0.123457; 0.12345649 -> 0.123456; half goes away from zero.
    const FeedQuote q = decoded({"X", "20240101000000", "0", "12345678", "12345649", "12345650", "8"});
    EXPECT_EQ(std::tuple(q.Last, q.Bid, q.Ask),
              std::tuple(dec("0.123457"), dec("0.123456"), dec("0.123457")));
    // A base with more decimals is held to six as well: 0.1234564 + 0.000001 = 0.123457.
    const FeedQuote b = decoded({"X", "20240101000000", "0.1234564", "1", "6"});
    EXPECT_EQ(b.Base, dec("0.123456"));
    EXPECT_EQ(b.Last, dec("0.123457"));
}

TEST(PriceFeedQuote, FieldsReadTheirLeadingNumberOnly) {
    // Blanks before the number are allowed, text after it is ignored; negative offsets work.
    const FeedQuote q = decoded({"X", "20240101000000", " 10.5kg", " 456xyz", "-250", "+7", "3e2", "2"});
    // Last 10.5 + 4.56; Bid 10.5 - 2.5; Ask 10.5 + 0.07; High "3e2" is 300 offsets of 0.01.
    EXPECT_EQ(std::tuple(q.Base, q.Last, q.Bid, q.Ask, q.High),
              std::tuple(dec("10.5"), dec("15.06"), dec("8"), dec("10.57"), dec("13.5")));
    EXPECT_FALSE(q.Low.has_value()); // "2" is the decimals count, never a price
    const FeedQuote e = decoded({"X", "20240101000000", "1", "3e2", "5e", "2"});
    EXPECT_EQ(e.Last, dec("4"));
    EXPECT_EQ(e.Bid, dec("1.05")); // "5e" is 5 followed by text
}

TEST(PriceFeedQuote, NonNumericOrUnreadablePriceIsAbsent) {
    std::vector<std::string> f = kFull;
    f[4] = "abc";   // bid
    f[5] = "";      // ask
    f[6] = "-";     // high
    f[7] = "1e300"; // low: past the decimal range
    f[8] = ".";     // open
    const FeedQuote q = decoded(f);
    EXPECT_FALSE(q.Bid.has_value());
    EXPECT_FALSE(q.Ask.has_value());
    EXPECT_FALSE(q.High.has_value());
    EXPECT_FALSE(q.Low.has_value());
    EXPECT_FALSE(q.Open.has_value());
    EXPECT_EQ(q.Last, dec("1.2345"));
    const PriceUpdate u = q.toPriceUpdate();
    EXPECT_EQ(std::tuple(u.Bid, u.Ask, u.Low), std::tuple(0_dec, 0_dec, 0_dec));
}

TEST(PriceFeedQuote, PriceOfMinusOneIsAPriceNotAnAbsentMark) {
    // 2 + (-100000 / 10^5) = 1, and an offset of exactly -1 is a real offset.
    const FeedQuote q = decoded({"X", "20240101000000", "2", "-100000", "5"});
    EXPECT_EQ(q.Last, dec("1"));
    const FeedQuote neg = decoded({"X", "20240101000000", "0", "-100", "2"});
    EXPECT_EQ(neg.Last, dec("-1"));
}

TEST(PriceFeedQuote, DecimalsCountIsClampedIntoRange) {
    // 10^400 has no scale; the count stops at 15, where an offset of 5 is below the sixth decimal.
    std::vector<std::string> f = kFull;
    f[10] = "400";
    FeedQuote q = decoded(f);
    EXPECT_EQ(q.Decimals, 15);
    EXPECT_EQ(q.Bid, dec("1.23"));
    EXPECT_EQ(q.toPriceUpdate().DotPosition, 15);
    f[10] = "99999999999999999999999999";
    EXPECT_EQ(decoded(f).Decimals, 15);
    // A negative count is no count: offsets are whole units.
    f[10] = "-3";
    q = decoded(f);
    EXPECT_EQ(q.Decimals, 0);
    EXPECT_EQ(q.Bid, dec("457.23"));
    EXPECT_EQ(q.toPriceUpdate().DotPosition, 0);
    f[10] = "none";
    EXPECT_EQ(decoded(f).Decimals, 0);
}

TEST(PriceFeedQuote, ShortAndLongQuotes) {
    // Five fields: the last is the decimals count only; the one price field before it is Last.
    const FeedQuote s = decoded({"X", "20240101000000", "1.5", "20", "3"});
    EXPECT_EQ(s.Last, dec("1.52"));
    EXPECT_FALSE(s.Bid.has_value());
    EXPECT_EQ(s.Decimals, 3);
    // Code, time, base, decimals: a quote without prices.
    const FeedQuote none = decoded({"X", "20240101000000", "1.5", "3"});
    EXPECT_FALSE(none.Last.has_value());
    // Fields after the previous close are not prices; the decimals count is still the last field.
    std::vector<std::string> f = kFull;
    f[10] = "77";
    f.push_back("2");
    const FeedQuote l = decoded(f);
    // Bid 1.23 + 4.56; PreviousClose 1.23 + 2.
    EXPECT_EQ(std::tuple(l.Decimals, l.Bid, l.PreviousClose), std::tuple(2, dec("5.79"), dec("3.23")));
}

TEST(PriceFeedQuote, RefusedQuotes) {
    EXPECT_EQ(decodePriceText("").error, FeedError::TooFewFields);
    EXPECT_EQ(decodePriceText(quote({"X", "20240101000000", "5"})).error, FeedError::TooFewFields);
    std::vector<std::string> f = kFull;
    f[2] = "base";
    EXPECT_EQ(decodePriceText(quote(f)).error, FeedError::BaseNotANumber);
    EXPECT_FALSE(decodePriceText(quote(f)).quote.has_value());
    f = kFull;
    f[0] = std::string(kMaxPriceTextLength, 'A');
    EXPECT_EQ(decodePriceText(quote(f)).error, FeedError::TooLong);
}

TEST(PriceFeedQuote, UnreadableTimeIsEmpty) {
    std::vector<std::string> f = kFull;
    f[1] = "yesterday";
    const FeedQuote q = decoded(f);
    EXPECT_FALSE(q.Time);
    EXPECT_EQ(q.Bid, dec("1.23456"));
}

TEST(PriceFeedQuote, QuoteTimesKeepTheServersWallClock) {
    std::vector<std::string> f = kFull;
    f[1] = "20240229235959"; // a leap day
    EXPECT_EQ(displayDateTime(decoded(f).Time), "02/29/2024 23:59:59");
    // Inside the device zone's spring-forward gap the server's time still stands as sent.
    ASSERT_TRUE(platform::setDeviceTimeZone("Europe/Berlin"));
    f[1] = "20260329023000";
    EXPECT_EQ(displayDateTime(decoded(f).Time), "03/29/2026 02:30:00");
    platform::resetDeviceTimeZone();
    // Not a calendar time: the date formatter's reading, which is no time at all here.
    f[1] = "20230229101010";
    EXPECT_EQ(displayDateTime(decoded(f).Time),
              Formatter::formatDateAndTimeFromString(f[1], wire::kDatePattern, "MM/dd/yyyy HH:mm:ss")
                  .value_or(std::string()));
    f[1] = "2024022923595";
    EXPECT_EQ(displayDateTime(decoded(f).Time), "");
}

TEST(PriceFeedQuote, SmallOffsetsAtTheDeepestScaleStayExact) {
    std::vector<std::string> f = kFull;
    f[2] = "0";
    f[4] = "-7";
    f[10] = "6";
    EXPECT_EQ(decoded(f).Bid, dec("-0.000007"));
    f[4] = "1.5e-120"; // far below the held decimals: rounds to zero, never NaN
    EXPECT_EQ(decoded(f).Bid, dec("0"));
}

TEST(PriceFeedQuote, EveryPriceIsBasePlusOffsetHeldToSixDecimals) {
    // The reference: decimal arithmetic, the offset scaled and rounded half away from zero to six
    // decimals, then added to the base held to six decimals.
    const std::vector<std::string> bases = {
        "1.23", "0", "-2.5", "151.2", "1e3", "0.0000015", "99999999999.999999"};
    const std::vector<std::string> offsets = {
        "456", "-456", "0", "5", "15", "-15", "25x", "+7", "123456789012345678", "1.5", "2e3", "-0.5"};
    for (const auto& base : bases)
        for (const auto& offset : offsets)
            for (int decimals : {0, 2, 5, 6, 7, 9, 15}) {
                std::vector<std::string> f = kFull;
                f[2] = base;
                f[4] = offset;
                f[10] = std::to_string(decimals);
                Decimal scale = dec("1");
                for (int d = 0; d < decimals; ++d)
                    scale = scale * dec("10");
                const Decimal leading = *Decimal::fromString(offset == "25x" ? "25" : offset);
                const Decimal expected =
                    dec(base).rounded(6).add(leading.divide(scale).rounded(6)).rounded(6);
                EXPECT_EQ(decoded(f).Bid, expected) << base << " + " << offset << " / 10^" << decimals;
            }
}

TEST(PriceFeedApply, CarriedPricesReplaceTheRecordsOnes) {
    ItemCollectionMap items;
    auto eur = instrument("EURUSD");
    eur->Bid = 1.1_cdec;
    eur->Ask = 1.2_cdec;
    eur->DayOpen = 9_cdec;
    items.insert_or_assign("EURUSD", eur);

    std::vector<std::string> f = kFull;
    f[3] = "junk"; // Last not carried: the record's stays
    ASSERT_TRUE(UpdateItemCollection(items, decoded(f).toPriceUpdate()));
    EXPECT_EQ(eur->Bid, 1.23456_cdec);
    EXPECT_EQ(eur->Ask, 1.2347_cdec);
    EXPECT_EQ(eur->Last, 0.0_cdec);
    EXPECT_EQ(eur->High, 1.239_cdec);
    EXPECT_EQ(eur->Low, 1.231_cdec);
    EXPECT_EQ(eur->Open, 1.233_cdec);
    EXPECT_EQ(eur->PrevClose, 1.232_cdec);
    EXPECT_EQ(std::tuple(eur->DayOpen, displayDateTime(eur->UpdateTime), eur->isPriceUpdateReceived),
              std::tuple(9_dec, "03/05/2024 14:30:15", true));

    // A quote carrying nothing still moves the update time.
    f = {"EURUSD", "20240305143016", "1", "2"};
    ASSERT_TRUE(UpdateItemCollection(items, decoded(f).toPriceUpdate()));
    EXPECT_EQ(eur->Bid, 1.23456_cdec);
    EXPECT_EQ(displayDateTime(eur->UpdateTime), "03/05/2024 14:30:16");

    // Unknown codes change nothing; the feed never adds an instrument.
    f = kFull;
    f[0] = "GBPUSD";
    EXPECT_FALSE(UpdateItemCollection(items, decoded(f).toPriceUpdate()));
    EXPECT_EQ(items.size(), 1u);
    ItemDetails other;
    other.Code = "USDJPY";
    EXPECT_FALSE(applyPriceUpdate(other, decoded(kFull).toPriceUpdate()));
    EXPECT_FALSE(other.isPriceUpdateReceived);
}

TEST(PriceFeedApply, SpreadGoesOnOnlyWhenBothSidesAreCarried) {
    ItemDetails eur;
    eur.Code = "EURUSD";
    eur.SpreadType = ItemDetails::kSpreadTopup;
    eur.priceTick = 0.00001_cdec;
    eur.BidSpread = 2;
    eur.AskSpread = 3;
    eur.Bid = 1.1_cdec;
    ASSERT_TRUE(applyPriceUpdate(eur, decoded(kFull).toPriceUpdate()));
    EXPECT_NEAR(eur.Bid.toDouble(), 1.23454, 1e-12);
    EXPECT_NEAR(eur.Ask.toDouble(), 1.23473, 1e-12);

    // Bid not a number: no spread at all, the record's bid stays, the raw ask is stored.
    std::vector<std::string> f = kFull;
    f[4] = "n/a";
    f[5] = "480";
    ASSERT_TRUE(applyPriceUpdate(eur, decoded(f).toPriceUpdate()));
    EXPECT_NEAR(eur.Bid.toDouble(), 1.23454, 1e-12);
    EXPECT_EQ(eur.Ask, 1.2348_cdec);
}

TEST(PriceFeedRoute, PrefixesDecideTheDecoder) {
    RoutedFeedText r = routeFeedText("MD_EURUSD;1,2;3,4");
    EXPECT_EQ(r.kind, FeedTextKind::MarketDepth);
    EXPECT_EQ(r.body, "EURUSD;1,2;3,4");
    r = routeFeedText("IS;");
    EXPECT_EQ(r.kind, FeedTextKind::ServerMessage);
    EXPECT_EQ(r.body, "");
    r = routeFeedText("IS;\x01"
                      "8=x\x02;trailing");
    EXPECT_EQ(r.kind, FeedTextKind::ServerMessage);
    EXPECT_EQ(r.body, "\x01"
                      "8=x\x02");
    EXPECT_EQ(routeFeedText("*#bm#*:anything").kind, FeedTextKind::Bookmark);
    r = routeFeedText("MD"); // not quite a depth text
    EXPECT_EQ(r.kind, FeedTextKind::Price);
    EXPECT_EQ(r.body, "MD");
    EXPECT_EQ(routeFeedText("is;x").kind, FeedTextKind::Price);
    EXPECT_EQ(routeFeedText(std::string(kMaxFeedTextLength + 1, 'M')).kind, FeedTextKind::Refused);
}

TEST(PriceFeedDepth, LaddersKeepNonEmptyEntriesInOrder) {
    DepthDecoding d = decodeMarketDepth("EURUSD;1.1,5||1.0,7;");
    ASSERT_EQ(d.error, FeedError::None);
    EXPECT_EQ(d.ladder->Code, "EURUSD");
    EXPECT_EQ(d.ladder->Buy, testing_support::depthLevels({"1.1,5", "1.0,7"}));
    EXPECT_TRUE(d.ladder->Sell.empty());

    d = decodeMarketDepth("X;|;|2.5,1|2.6,x|;extra;pieces");
    ASSERT_EQ(d.error, FeedError::None);
    EXPECT_TRUE(d.ladder->Buy.empty());
    ASSERT_EQ(d.ladder->Sell.size(), 2u);
    EXPECT_EQ(d.ladder->Sell[0].price.toString(), "2.5");
    EXPECT_EQ(d.ladder->Sell[0].quantity->toString(), "1");
    EXPECT_EQ(d.ladder->Sell[1].price.toString(), "2.6");
    EXPECT_FALSE(d.ladder->Sell[1].quantity.has_value()) << "a quantity that is not a number";
}

TEST(PriceFeedDepth, RefusedDepthTexts) {
    EXPECT_EQ(decodeMarketDepth("EURUSD;1,2").error, FeedError::TooFewPieces);
    EXPECT_EQ(decodeMarketDepth("").error, FeedError::TooFewPieces);
    EXPECT_EQ(decodeMarketDepth(";1,2;3,4").error, FeedError::EmptyCode);
    EXPECT_EQ(decodeMarketDepth("X;;" + std::string(kMaxFeedTextLength, '|')).error, FeedError::TooLong);

    std::string deep = "X;";
    for (std::size_t i = 0; i <= kMaxDepthEntries; ++i)
        deep += "1,1|";
    deep += ";";
    EXPECT_EQ(decodeMarketDepth(deep).error, FeedError::LadderTooDeep);
    // Exactly the cap, spread over empty entries, is fine.
    std::string full = "X;;";
    for (std::size_t i = 0; i < kMaxDepthEntries; ++i)
        full += "1,1||";
    EXPECT_EQ(decodeMarketDepth(full).ladder->Sell.size(), kMaxDepthEntries);

    const std::string longEntry = "X;" + std::string(kMaxDepthEntryLength + 1, '1') + ";";
    EXPECT_EQ(decodeMarketDepth(longEntry).error, FeedError::DepthEntryTooLong);
    EXPECT_FALSE(decodeMarketDepth(longEntry).ladder.has_value());
}

TEST(PriceFeedStatus, SettingIdTakesOnlyPositiveValues) {
    ItemCollectionMap items;
    auto eur = instrument("EURUSD");
    eur->CurrentTradeSessionSettingId = 3;
    items.insert_or_assign("EURUSD", eur);

    InstrumentStatusChange c = decodeInstrumentStatus({"35=1049", "12=EURUSD", "574=7"});
    EXPECT_EQ(c.Code, "EURUSD");
    EXPECT_EQ(c.TradeSessionSettingId, 7);
    EXPECT_TRUE(applyInstrumentStatus(items, c));
    EXPECT_EQ(eur->CurrentTradeSessionSettingId, 7);

    for (const char* bad : {"574=0", "574=-4", "574=x", "574=", "574=3000000000"}) {
        c = decodeInstrumentStatus({"12=EURUSD", bad});
        EXPECT_FALSE(c.TradeSessionSettingId.has_value()) << bad;
        EXPECT_FALSE(applyInstrumentStatus(items, c)) << bad;
        EXPECT_EQ(eur->CurrentTradeSessionSettingId, 7) << bad;
    }

    // A later field of a tag overrides an earlier one, even with a value that is refused.
    c = decodeInstrumentStatus({"12=GBPUSD", "574=5", "12=EURUSD", "574=9"});
    EXPECT_EQ(c.Code, "EURUSD");
    EXPECT_EQ(c.TradeSessionSettingId, 9);
    c = decodeInstrumentStatus({"12=EURUSD", "574=5", "574=0"});
    EXPECT_FALSE(c.TradeSessionSettingId.has_value());

    // Fields without "=" are skipped; a value keeps any further "=".
    c = decodeInstrumentStatus({"12", "12=A=B", "574 8"});
    EXPECT_EQ(c.Code, "A=B");
    EXPECT_FALSE(c.TradeSessionSettingId.has_value());

    // An unknown code changes nothing.
    c = decodeInstrumentStatus({"12=GBPUSD", "574=11"});
    EXPECT_FALSE(applyInstrumentStatus(items, c));
    EXPECT_EQ(eur->CurrentTradeSessionSettingId, 7);
}

TEST(PriceFeedRoundTrip, TestServerQuotesDecodeToTheirUnits) {
    struct Case {
        int decimals;
        testserver::Quote q;
    };
    const Case cases[] = {
        {5, {123456, 123470, 123460, 123500, 123400, 123450, 123300}},
        {3, {151234, 151248, 151234, 151300, 150999, 151100, 150950}},
        {2, {99, 101, 100, 105, 98, 100, 97}}, // base 0
    };
    for (const Case& c : cases) {
        testserver::Instrument inst;
        inst.code = "SYM";
        inst.decimals = c.decimals;
        const std::string text = testserver::PriceBook::quoteText(inst, c.q, "20241231235959");
        const RoutedFeedText routed = routeFeedText(text);
        ASSERT_EQ(routed.kind, FeedTextKind::Price);
        const PriceDecoding d = decodePriceText(routed.body);
        ASSERT_EQ(d.error, FeedError::None) << text;
        EXPECT_EQ(std::tuple(d.quote->ItemCode, displayDateTime(d.quote->Time), d.quote->Decimals),
                  std::tuple("SYM", "12/31/2024 23:59:59", c.decimals));
        Decimal scale = Decimal::fromInt64(1);
        for (int i = 0; i < c.decimals; ++i)
            scale = scale * Decimal::fromInt64(10);
        auto units = [&](std::int64_t v) { return Decimal::fromInt64(v) / scale; };
        EXPECT_EQ(std::tuple(d.quote->Bid, d.quote->Ask, d.quote->Last, d.quote->High, d.quote->Low,
                             d.quote->Open, d.quote->PreviousClose),
                  std::tuple(units(c.q.bid), units(c.q.ask), units(c.q.last), units(c.q.high), units(c.q.low),
                             units(c.q.open), units(c.q.prevClose)));
    }
}
