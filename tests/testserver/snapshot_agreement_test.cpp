// The test server's snapshot writer and the client's reader are written apart from each other; this
// proves they agree on the AMP layout for the shipped market.
#include "account_figures.h"
#include "amp_snapshot.h"
#include "market.h"
#include "model/model_dump.h"
#include "model/position_arithmetic.h"
#include "model/records/account_details.h"
#include "model/records/item_details.h"
#include "model/records/order.h"
#include "model/records/user_info.h"
#include "model/session_model_lookup.h"
#include "options.h"
#include "platform/date_format.h"
#include "price_book.h"
#include "session/snapshot/amp_snapshot_loader.h"
#include "session/snapshot/xml_snapshot_loader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <tuple>

namespace {

using namespace tc;

// The shipped market and the snapshot context of one sign-in of its demo user.
class SnapshotAgreement : public ::testing::Test {
protected:
    void SetUp() override {
        auto loaded = testserver::loadMarketFile(testserver::defaultMarketPath());
        ASSERT_TRUE(loaded.market) << loaded.error;
        marketHolder = std::make_unique<testserver::Market>(std::move(*loaded.market));
        demo = marketHolder->findUser("demo");
        ASSERT_NE(demo, nullptr);
        context.feedPort = 6101;
        context.dataPort = 6102;
        context.referenceId = 7001;
        context.updateTime = "20261206120000";
    }
    std::unique_ptr<testserver::Market> marketHolder;
    const testserver::User* demo = nullptr;
    testserver::SnapshotContext context;
};

TEST_F(SnapshotAgreement, TheClientReadsWhatTheServerWrites) {
    const testserver::Market& market = *marketHolder;
    testserver::PriceBook book(market.instruments, 7);
    const std::string text = testserver::ampLoginSnapshot(market, *demo, book.quotes(), context);

    AmpLoadStats stats;
    auto model = AmpSnapshotLoader().load(text, &stats);
    ASSERT_TRUE(model);
    EXPECT_EQ(stats.recordsSkipped, 0u);
    EXPECT_EQ(stats.recordsDropped, 0u);

    ASSERT_TRUE(model->userInfo);
    EXPECT_EQ(
        std::tuple(model->userInfo->UserId, model->userInfo->marketDepthPort, model->userInfo->hdServerPort),
        std::tuple(demo->id, 6101, 6102));

    ASSERT_EQ(model->ItemCollection.size(), market.instruments.size());
    const auto quotes = book.quotes();
    for (std::size_t i = 0; i < market.instruments.size(); ++i) {
        const auto& instrument = market.instruments[i];
        const auto* item = model->ItemCollection.get(instrument.code);
        ASSERT_NE(item, nullptr) << instrument.code;
        EXPECT_EQ((*item)->DecimalPlaces, instrument.decimals) << instrument.code;
        EXPECT_NEAR((*item)->TickSize.toDouble(), std::pow(10.0, -instrument.decimals), 1e-12)
            << instrument.code;
        EXPECT_GT((*item)->Bid.toDouble(), 0.0) << instrument.code;
        // The groups put no spread of their own on the quotes: the market's spread stands.
        const double tick = std::pow(10.0, -instrument.decimals);
        EXPECT_NEAR((*item)->Ask.toDouble() - (*item)->Bid.toDouble(),
                    static_cast<double>(instrument.spread) * tick, tick / 2)
            << instrument.code;
    }

    const auto accounts = market.accountsOf("demo");
    ASSERT_EQ(model->AccountDetailCollection.size(), accounts.size());
    for (const auto* account : accounts) {
        const auto* held = model->AccountDetailCollection.get(std::to_string(account->id));
        ASSERT_NE(held, nullptr) << account->id;
        EXPECT_EQ((*held)->AccountId, account->id);
    }
    EXPECT_EQ(model->GroupDetailCollection.size(), market.groups.size());
    // Whatever the group's leverage, a floating result counts into equity as it is.
    const SessionModelLookup lookup(*model);
    for (auto& [id, account] : model->AccountDetailCollection) {
        for (const double floating : {250.0, -250.0}) {
            account->applyFloatingPL(floating, lookup);
            EXPECT_DOUBLE_EQ(account->Equity, account->Balance.toDouble() + floating) << id;
        }
    }
}

// A profit in a quote currency that is neither the system's nor the account's: the client values a
// position by the P/L mode the snapshot gives its instrument and converts it into the account's
// currency; the server settles and lists it the same way.
TEST_F(SnapshotAgreement, EachInstrumentsProfitReadsInTheAccountsCurrencyAsTheServerTakesIt) {
    const testserver::Market& market = *marketHolder;
    testserver::PriceBook book(market.instruments, 7);
    auto model =
        AmpSnapshotLoader().load(testserver::ampLoginSnapshot(market, *demo, book.quotes(), context));
    ASSERT_TRUE(model);
    const SessionModelLookup lookup(*model);
    const auto quoteOf = [&](const testserver::Instrument& i) { return book.quote(book.indexOf(i.code)); };
    // USD (20001) and EUR (20002) accounts; yen, pound and dollar quoted instruments.
    for (const char* account : {"20001", "20002"})
        for (const char* code : {"USDJPY", "EURJPY", "EURGBP", "EURUSD", "USDCHF"}) {
            const auto item = lookup.instrumentForCode(code);
            ASSERT_NE(item, nullptr) << code;
            Order p;
            p.AccountNumber = account;
            p.ItemCode = code;
            p.tradingMode = 0;
            p.RemainingQty = platform::Decimal::fromString("2.61").value_or(platform::Decimal());
            // Opened 1 % above the bid: a loss of about 2.6 % of a lot's worth of the base currency.
            const double open = item->Bid.toDouble() * 1.01;
            p.OrderPrice = platform::Decimal::fromDouble(open);
            const double client = closeResult(p, 2.61, lookup);
            const double inQuote = (item->Bid.toDouble() - open) * 2.61 * item->ContractSize.toDouble();
            const double server = testserver::profitInAccountCurrency(
                                      market, quoteOf, *market.findInstrument(code), std::stoi(account),
                                      platform::Decimal::fromDouble(inQuote))
                                      .amount.toDouble();
            EXPECT_NEAR(client, server, 0.01) << code << " on " << account;
            // 2.61 lots of 100,000 of a base currency worth about one dollar or euro, 1 % lost.
            EXPECT_LT(std::abs(client), 5000) << code << " on " << account;
            EXPECT_GT(std::abs(client), 1000) << code << " on " << account;
        }
}

// Both forms the server writes load to one model, field for field, also for a user outside UTC, and
// carry the account balances the book holds now.
TEST_F(SnapshotAgreement, TheServersTwoFormsLoadToTheSameModel) {
    ASSERT_TRUE(platform::setDeviceTimeZone("America/St_Johns"));
    const testserver::Market& market = *marketHolder;
    testserver::PriceBook book(market.instruments, 7);
    context.balances = {{20001, "10123.45"}};
    context.usedMargins = {{20001, "1.7"}};

    auto amp = AmpSnapshotLoader().load(testserver::ampLoginSnapshot(market, *demo, book.quotes(), context));
    ASSERT_TRUE(amp);
    const SessionModel xml =
        XmlSnapshotLoader::load(testserver::xmlLoginSnapshot(market, *demo, book.quotes(), context));
    platform::resetDeviceTimeZone();
    EXPECT_EQ(dumpSessionModel(*amp), dumpSessionModel(xml));
    ASSERT_EQ(xml.ItemCollection.size(), market.instruments.size());
    ASSERT_EQ(xml.AccountDetailCollection.size(), market.accountsOf("demo").size());
    EXPECT_DOUBLE_EQ((*xml.AccountDetailCollection.get("20001"))->Balance.toDouble(), 10123.45);
    EXPECT_DOUBLE_EQ((*xml.AccountDetailCollection.get("20002"))->Balance.toDouble(), 5000);
    // What the open positions hold is used, the rest of the balance free.
    EXPECT_DOUBLE_EQ((*xml.AccountDetailCollection.get("20001"))->UsedMargin.toDouble(), 1.7);
    EXPECT_DOUBLE_EQ((*xml.AccountDetailCollection.get("20001"))->AvailableMargin, 10121.75);
    EXPECT_DOUBLE_EQ((*xml.AccountDetailCollection.get("20002"))->UsedMargin.toDouble(), 0);
    EXPECT_EQ(displayDateTime((*xml.ItemCollection.get("EURUSD"))->UpdateTime), "12/06/2026 12:00:00");
    // A currency pair is counted in currency, gold in troy ounces.
    EXPECT_EQ(ItemDetails::getUnits(static_cast<std::uint64_t>((*xml.ItemCollection.get("EURUSD"))->UnitId)),
              "Currency");
    EXPECT_EQ(ItemDetails::getUnits(static_cast<std::uint64_t>((*xml.ItemCollection.get("XAUUSD"))->UnitId)),
              "TroyOunces");
}

} // namespace
