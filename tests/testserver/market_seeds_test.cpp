// The seed records of a market file: what the book and the data service start from.
#include "data_service.h"
#include "market.h"
#include "options.h"

#include "support/case_table.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

const std::string kBase = "type id=1 name=Forex\n"
                          "session id=1 name=Regular\n"
                          "currency id=1 code=USD\n"
                          "group id=1 name=Standard\n"
                          "instrument id=1 code=EURUSD name=E type=1 decimals=5 price=1.08500\n"
                          "user id=1001 name=demo password=x\n"
                          "account id=20001 user=demo group=1 currency=1\n";

testserver::MarketResult parse(const std::string& seeds) {
    return testserver::parseMarket(kBase + seeds);
}

TEST(MarketSeeds, ReadEveryKind) {
    const auto r = parse(
        "position id=5 account=20001 instrument=EURUSD side=sell qty=2 price=1.08 opened=20240102030405\n"
        "order id=6 account=20001 instrument=EURUSD side=buy qty=2 price=1.09 placed=20240102030405 "
        "bracket=5\n"
        "settled id=7 account=20001 instrument=EURUSD side=buy qty=1 open=1 close=1.1 opened=20240101000000 "
        "closed=20240102000000\n"
        "cancelled id=8 account=20001 instrument=EURUSD side=buy qty=1 ordered=20240101000000 "
        "cancelled=20240101000001 delivery=3\n"
        "schedule id=1 market=4 day=6 start=08:00 stop=17:00\n"
        "bank account=20001 id=3 number=42 name=N bank=B\n"
        "access user=demo account=20001 type=2\n"
        "resource name=a.ics kind=CAL content=\"x\\ny\"\n"
        "paygate id=1 name=P url=u updated=20240101000000 currency=1\n"
        "approval id=9 account=20001 subtype=2 requested=20240101000000 amount=5\n"
        "transaction id=10 code=DEP account=20001 date=20240101000000\n"
        "equityhit id=1 position=5 account=20001 instrument=EURUSD side=buy qty=1 price=1 hit=0.9\n");
    ASSERT_TRUE(r.market) << r.error;
    const auto& m = *r.market;
    ASSERT_EQ(m.positions.size(), 1u);
    EXPECT_FALSE(m.positions[0].isBuy);
    EXPECT_EQ(m.positions[0].initialQty, "2"); // the open quantity unless given
    EXPECT_EQ(m.orders.at(0).refPositionId, 5);
    EXPECT_EQ(m.orders.at(0).orderTypeId, 2);
    EXPECT_EQ(m.settlements.at(0).settledAt, "20240102000000"); // settled when closed
    // Every trade has a delivery mode, regular unless given.
    EXPECT_EQ(std::tuple(m.positions[0].deliveryMode, m.orders[0].deliveryMode, m.settlements[0].deliveryMode,
                         m.cancellations.at(0).deliveryMode),
              std::tuple(1, 1, 1, 3));
    EXPECT_EQ(m.schedules.at(0).market, 4u);
    EXPECT_EQ(m.resources.at(0).content, "x\ny");
    EXPECT_EQ(m.accessMaps.at(0).userId, 1001);
    EXPECT_EQ(m.approvals.at(0).subType, 2u);
    EXPECT_EQ(m.instruments.at(0).market, 1u);
    EXPECT_EQ(m.equityHits.at(0).instrumentId, 1);
}

TEST(MarketSeeds, APositionOnAnInstrumentTheLoginDoesNotList) {
    const auto r = parse("position id=5 account=20001 instrumentid=99999 side=buy qty=1 price=1.5 "
                         "opened=20240102030405\n");
    ASSERT_TRUE(r.market) << r.error;
    ASSERT_EQ(r.market->positions.size(), 1u);
    EXPECT_EQ(r.market->positions[0].instrumentId, 99999);
    EXPECT_EQ(r.market->findInstrument("EURUSD")->id, 1);
}

TEST(MarketSeeds, RefuseWhatCannotBeRight) {
    for (const auto& row : tc::testing_support::caseTable("tables/market_seed_errors.txt", 2)) {
        const auto r = parse(row[0]);
        EXPECT_FALSE(r.market) << row[0];
        EXPECT_NE(r.error.find(row[1]), std::string::npos) << r.error;
    }
}

TEST(MarketSeeds, WireDates) {
    EXPECT_TRUE(testserver::isWireDate("20240229235959"));
    EXPECT_FALSE(testserver::isWireDate("2024022923595"));
    EXPECT_FALSE(testserver::isWireDate("20240229245959"));
    EXPECT_FALSE(testserver::isWireDate("20240001000000"));
    EXPECT_FALSE(testserver::isWireDate("2024-02-29 235"));
}

TEST(MarketSeeds, DefaultMarketSeedsTheBook) {
    auto r = testserver::loadMarketFile(testserver::defaultMarketPath());
    ASSERT_TRUE(r.market) << r.error;
    testserver::AccountBook book;
    testserver::seedAccountBook(*r.market, book);
    book.with([&](const testserver::Books& b) {
        EXPECT_EQ(b.positions.size(), r.market->positions.size());
        EXPECT_EQ(b.executed.size(), b.positions.size());
        EXPECT_EQ(b.pendingOrders.size(), r.market->orders.size());
        // New ids never collide with a seeded one.
        for (const auto& p : b.positions)
            EXPECT_LT(p.positionId, b.nextId);
        for (const auto& o : b.pendingOrders)
            EXPECT_LT(std::max(o.pendingOrderId, o.ticketId), b.nextId);
    });
}

} // namespace
