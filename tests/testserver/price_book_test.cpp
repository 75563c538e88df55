#include "amp_snapshot.h"
#include "options.h"
#include "price_book.h"
#include "testserver/server_peer.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using testserver::Instrument;
using testserver::PriceBook;
using testserver::Quote;

using peer::split;

Instrument instrument(std::string code, int decimals, std::int64_t price, std::int64_t spread) {
    Instrument i;
    i.id = 1;
    i.code = std::move(code);
    i.decimals = decimals;
    i.price = price;
    i.spread = spread;
    i.step = 5;
    return i;
}

TEST(PriceFeedText, QuoteReadsBackAsBasePlusScaledOffsets) {
    const Instrument jpy = instrument("USDJPY", 3, 151234, 14);
    Quote q{151234, 151248, 151234, 151300, 150999, 151100, 150950};
    const auto f = split(PriceBook::quoteText(jpy, q, "20240102030405"), '\x04');
    ASSERT_EQ(f.size(), 11u);
    EXPECT_EQ(f[0], "USDJPY");
    EXPECT_EQ(f[1], "20240102030405");
    EXPECT_EQ(f[10], "3");
    // 150.950 is the lowest price: base 150, every offset counted in thousandths above it (the
    // client's decoder reads the same quote back in the feed's round-trip test).
    EXPECT_EQ(f[2], "150");

    const auto d = split(PriceBook::depthText(jpy, q), ';');
    ASSERT_EQ(d.size(), 3u);
    EXPECT_EQ(d[0], "MD_USDJPY");
    EXPECT_EQ(d[1], "151.234,1000000|151.220,2000000|151.206,3000000");
    EXPECT_EQ(d[2], "151.248,1000000|151.262,2000000|151.276,3000000");
}

TEST(PriceFeedText, WalkIsSeededAndStaysNearItsStart) {
    std::vector<Instrument> list{instrument("EURUSD", 5, 108500, 12), instrument("XAUUSD", 2, 203450, 35)};
    PriceBook a(list, 42), b(list, 42), c(list, 43);
    bool differs = false;
    for (int n = 0; n < 5000; ++n) {
        const Quote qa = a.step(n % 2), qb = b.step(n % 2), qc = c.step(n % 2);
        ASSERT_EQ(qa.bid, qb.bid);
        differs |= qa.bid != qc.bid;
        const auto& i = list[static_cast<std::size_t>(n % 2)];
        ASSERT_GE(qa.bid, i.price / 2);
        ASSERT_LE(qa.bid, i.price * 3 / 2);
        ASSERT_EQ(qa.ask - qa.bid, i.spread);
        ASSERT_LE(qa.low, qa.bid);
        ASSERT_GE(qa.high, qa.bid);
    }
    EXPECT_TRUE(differs) << "another seed walks another way";
}

TEST(ChartText, BarsEndAtTheCurrentBidInTheReplyLayout) {
    PriceBook book({instrument("GER40", 1, 182345, 12)}, 3);
    const Quote now = book.step(0);
    const tc::WallTime time{std::chrono::seconds{1700000000}};
    const std::string text = book.chartText(0, "H", 30, time);
    ASSERT_TRUE(text.starts_with("<"));
    ASSERT_TRUE(text.ends_with("<END>"));
    const auto header = text.substr(1, text.find('>') - 1);
    EXPECT_EQ(split(header, '~').at(1), "GER40^H");
    const auto body = text.substr(text.find('>') + 1, text.size() - text.find('>') - 1 - 5);
    const auto cols = split(body, '#');
    ASSERT_EQ(cols.size(), 6u);
    std::vector<std::vector<std::string>> c;
    for (const auto& col : cols)
        c.push_back(split(col, ','));
    for (const auto& col : c)
        ASSERT_EQ(col.size(), 30u);
    // The clock's 2023-11-14 22:13:20, whatever the computer's zone: hourly bars end at 22:00.
    EXPECT_EQ(c[0].back(), "11/14/23");
    EXPECT_EQ(c[1].back(), "22:00:00");
    EXPECT_EQ(c[1][28], "21:00:00");
    EXPECT_EQ(c[2].back(), testserver::formatScaled(now.bid, 1));
    for (std::size_t i = 0; i < 30; ++i) {
        const double close = std::stod(c[2][i]), high = std::stod(c[3][i]), low = std::stod(c[4][i]),
                     open = std::stod(c[5][i]);
        EXPECT_GE(high, std::max(open, close));
        EXPECT_LE(low, std::min(open, close));
        if (i > 0) {
            EXPECT_EQ(c[5][i], c[2][i - 1]) << "each bar opens at the previous close";
        }
    }
    EXPECT_EQ(book.chartText(0, "H", 30, time), text) << "same seed and time, same bars";
    const std::string many = book.chartText(0, "D", 100000, time);
    EXPECT_EQ(split(many.substr(0, many.find('#')), ',').size(),
              static_cast<std::size_t>(testserver::kMaxChartBars));
    EXPECT_EQ(book.chartText(0, "bogus", 30, time), "<1041~GER40^bogus~0>#####<END>");
}

TEST(AmpSnapshot, RecordsPutEachFieldAtItsPosition) {
    testserver::AmpRecord r;
    r.set(3, "x").set(1, std::int64_t{7}).flag(0, true);
    EXPECT_EQ(r.text(), "1\x05"
                        "7\x05\x05x");
    EXPECT_EQ(testserver::AmpRecord().text(), "");

    auto market = testserver::loadMarketFile(testserver::defaultMarketPath());
    ASSERT_TRUE(market.market);
    const auto& m = *market.market;
    const std::string s =
        testserver::ampLoginSnapshot(m, *m.findUser("demo"), {}, {6001, 6002, 77, "20240102030405", {}});
    const auto sections = split(s, '\x07');
    ASSERT_EQ(sections.size(), 22u);
    const auto instruments = split(sections[4], '\x06');
    const auto usdjpy = split(instruments.at(2), '\x05');
    ASSERT_EQ(usdjpy.size(), 49u);
    EXPECT_EQ(usdjpy[2], "USDJPY");
    EXPECT_EQ(usdjpy[6], "0.001");    // tick size
    EXPECT_EQ(usdjpy[8], "3");        // decimals
    EXPECT_EQ(usdjpy[21], "151.200"); // bid
    EXPECT_EQ(usdjpy[22], "151.214"); // ask
    EXPECT_EQ(usdjpy[28], "20240102030405");
    const auto account = split(split(sections[8], '\x06').at(1), '\x05');
    ASSERT_EQ(account.size(), 36u);
    EXPECT_EQ(account[0], "20002");
    EXPECT_EQ(account[33], "2"); // currency
    EXPECT_EQ(account[15], "Demo EUR");
    const auto eur = split(split(sections[21], '\x06').at(1), '\x05');
    ASSERT_EQ(eur.size(), 8u);
    EXPECT_EQ(eur[1], "EUR");
    EXPECT_EQ(eur[6], "1"); // direct
    const auto group = split(split(sections[5], '\x06').at(0), '\x05');
    ASSERT_EQ(group.size(), 22u);
    const auto groupInstrument = split(split(sections[6], '\x06').at(0), '\x05');
    ASSERT_EQ(groupInstrument.size(), 28u);
    EXPECT_EQ(split(split(sections[3], '\x06').at(0), '\x05').size(), 16u);

    const auto refusal = split(testserver::ampLoginRefusal(11, "locked"), '\x07');
    ASSERT_EQ(refusal.size(), 17u);
    EXPECT_EQ(refusal[16], "1\x05locked\x05"
                           "11\x06");
}

} // namespace
