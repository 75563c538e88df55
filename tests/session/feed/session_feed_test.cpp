// The session's feed handler: decoding off the main queue, coalescing, and what lands on the main queue.
#include "client/session_wiring.h"
#include "session/feed/session_feed.h"

#include "platform/clock.h"
#include "platform/user_defaults.h"
#include "session/business/business_test_support.h"
#include "support/decimal_literal.h"
#include "support/depth_levels.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using tc::testing_support::operator""_cdec;
using tc::testing_support::operator""_dec;

using namespace tc;
using namespace sessiontest;

std::string quote(const std::vector<std::string>& fields) {
    std::string text;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            text.push_back('\x04');
        text += fields[i];
    }
    return text;
}

// A full quote: base 1.2, decimals 4, the given bid and ask offsets, and fixed other prices.
std::string eurusd(const std::string& time, const std::string& bid, const std::string& ask) {
    return quote({"EURUSD", time, "1.2", "10", bid, ask, "900", "5", "20", "30", "4"});
}

class SessionFeedTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::Bundle::setResourcesRoot(TC_TEST_RESOURCES);
        platform::RunLoop::main().bindToCurrentThread();
        platform::RunLoop::main().discardPending();
        app.loginData().setUserName("demo");
        app.loginData().setIPAddress("127.0.0.1");
        app.loginData().setPortNo(1); // never connected
        services.notifications = notifications;
        services.userDefaults = defaults.get();
        business = tc::makeSession(app, app.loginData(), services);
        feed = std::dynamic_pointer_cast<SessionFeed>(business->services().feed);
        ASSERT_TRUE(feed);
        // Drains as soon as the main queue runs, so one pump shows each step.
        feed->setDrainInterval(std::chrono::milliseconds(0));
        for (const char* code : {"EURUSD", "GBPUSD"}) {
            auto item = std::make_shared<ItemDetails>();
            item->Code = code;
            item->CurrentTradeSessionSettingId = 2;
            business->session().ItemCollection.insert_or_assign(code, item);
        }
        pump(); // whatever the construction queued
    }
    void TearDown() override {
        business.reset();
        platform::RunLoop::main().discardPending();
        platform::Bundle::setResourcesRoot({});
    }
    ItemDetails& item(const std::string& code) { return **business->session().ItemCollection.get(code); }

    FakeApplication app;
    std::shared_ptr<FakeNotifications> notifications = std::make_shared<FakeNotifications>();
    std::unique_ptr<platform::UserDefaults> defaults = platform::UserDefaults::inMemory();
    BusinessServices services;
    std::unique_ptr<BusinessBase> business;
    std::shared_ptr<SessionFeed> feed;
};

TEST_F(SessionFeedTest, QuoteIsAppliedOnTheMainQueueOnly) {
    feed->ZMQNewMessage(eurusd("20240305101112", "456", "470"));
    // Nothing changes before the main queue runs.
    EXPECT_FALSE(item("EURUSD").isPriceUpdateReceived);
    EXPECT_EQ(item("EURUSD").Bid, 0_cdec);
    pump();
    const ItemDetails& i = item("EURUSD");
    EXPECT_TRUE(i.isPriceUpdateReceived);
    EXPECT_EQ(i.Bid, 1.2456_cdec);
    EXPECT_EQ(i.Ask, 1.247_cdec);
    EXPECT_EQ(i.Last, 1.201_cdec);
    EXPECT_EQ(i.High, 1.29_cdec);
    EXPECT_EQ(displayDateTime(i.UpdateTime), "03/05/2024 10:11:12");
    EXPECT_FALSE(item("GBPUSD").isPriceUpdateReceived);
    EXPECT_EQ(feed->pendingCodes(), 0u);
}

TEST_F(SessionFeedTest, QuotesOfOneInstrumentCoalesceBeforeTheDrain) {
    for (int n = 1; n <= 10; ++n)
        feed->ZMQNewMessage(eurusd("202403051011" + std::to_string(10 + n), std::to_string(100 + n), "500"));
    EXPECT_EQ(feed->pendingCodes(), 1u);
    EXPECT_EQ(feed->quotesMerged(), 9u);
    // One drain is scheduled, not ten.
    EXPECT_EQ(platform::RunLoop::main().runOnce(), 1u);
    EXPECT_EQ(item("EURUSD").Bid, 1.211_cdec);
    EXPECT_EQ(displayDateTime(item("EURUSD").UpdateTime), "03/05/2024 10:11:20");

    // After a drain the next quote schedules a new one.
    feed->ZMQNewMessage(eurusd("20240305101130", "200", "500"));
    pump();
    EXPECT_EQ(item("EURUSD").Bid, 1.22_cdec);
}

TEST_F(SessionFeedTest, ADrainIntervalGathersQuotesUntilItPasses) {
    auto manual = std::make_shared<platform::ManualClock>();
    platform::ScopedClock clock(manual);
    feed->setDrainInterval(std::chrono::milliseconds(16));
    feed->ZMQNewMessage(eurusd("20240305101112", "456", "470"));
    pump();
    EXPECT_FALSE(item("EURUSD").isPriceUpdateReceived); // not yet due
    feed->ZMQNewMessage(
        quote({"GBPUSD", "20240305101113", "1.2", "10", "300", "320", "900", "5", "20", "30", "4"}));
    manual->advance(std::chrono::milliseconds(16));
    // One drain applies both instruments.
    EXPECT_EQ(platform::RunLoop::main().runOnce(), 1u);
    EXPECT_EQ(item("EURUSD").Bid, 1.2456_cdec);
    EXPECT_TRUE(item("GBPUSD").isPriceUpdateReceived);
    EXPECT_EQ(feed->pendingCodes(), 0u);
}

TEST_F(SessionFeedTest, MergedQuoteKeepsPricesThatOnlyTheEarlierCarried) {
    // The first carries a high, the second does not (field not a number): the high survives.
    feed->ZMQNewMessage(
        quote({"EURUSD", "20240305101112", "1.2", "10", "100", "110", "900", "5", "20", "30", "4"}));
    feed->ZMQNewMessage(
        quote({"EURUSD", "20240305101113", "1.2", "11", "101", "111", "x", "x", "x", "x", "4"}));
    pump();
    const ItemDetails& i = item("EURUSD");
    EXPECT_EQ(i.Bid, 1.2101_cdec);
    EXPECT_EQ(i.Last, 1.2011_cdec);
    EXPECT_EQ(i.High, 1.29_cdec);
    EXPECT_EQ(i.PrevClose, 1.203_cdec);
    EXPECT_EQ(displayDateTime(i.UpdateTime), "03/05/2024 10:11:13");
}

// A quote that carries only one of bid and ask gets no spread; coalescing must not pair that side
// with the other side of an earlier quote and spread them both.
TEST_F(SessionFeedTest, CoalescedOneSidedQuoteKeepsItsSideUnspread) {
    for (const char* code : {"EURUSD", "GBPUSD"}) {
        ItemDetails& i = item(code);
        i.SpreadType = ItemDetails::kSpreadTopup;
        i.priceTick = 0.0001_cdec;
        i.BidSpread = 5;
        i.AskSpread = 5;
    }
    auto send = [&](const std::string& code, const std::string& bid, const std::string& ask) {
        feed->ZMQNewMessage(quote({code, "20240305101112", "1.2", "x", bid, ask, "x", "x", "x", "x", "4"}));
    };
    // Two-sided, then ask only: the bid keeps the first quote's spread, the ask stands as sent.
    send("EURUSD", "100", "120");
    send("EURUSD", "x", "130");
    // Bid only, then ask only: neither is ever spread.
    send("GBPUSD", "100", "x");
    send("GBPUSD", "x", "130");
    EXPECT_EQ(feed->pendingCodes(), 2u);
    pump();
    EXPECT_EQ(item("EURUSD").Bid, 1.2095_cdec); // 1.2100 - 5 ticks
    EXPECT_EQ(item("EURUSD").Ask, 1.213_cdec);
    EXPECT_EQ(item("GBPUSD").Bid, 1.21_cdec);
    EXPECT_EQ(item("GBPUSD").Ask, 1.213_cdec);

    // A later two-sided quote spreads both sides again, whatever came before it.
    send("EURUSD", "x", "140");
    send("EURUSD", "200", "220");
    pump();
    EXPECT_EQ(item("EURUSD").Bid, 1.2195_cdec);
    EXPECT_EQ(item("EURUSD").Ask, 1.2225_cdec);
}

TEST_F(SessionFeedTest, PendingSetIsBoundedByInstrumentsNotByTexts) {
    // Far more texts than instruments while the main queue does not run.
    for (int n = 0; n < 5000; ++n) {
        feed->ZMQNewMessage(eurusd("20240305101112", std::to_string(n % 900), "950"));
        feed->ZMQNewMessage(quote({"GBPUSD", "20240305101112", "1.3", "1", std::to_string(n % 900), "4"}));
    }
    EXPECT_EQ(feed->pendingCodes(), 2u);
    // Past the cap new codes are dropped; known codes still merge.
    for (std::size_t n = 0; n < SessionFeed::kMaxPendingCodes + 5; ++n)
        feed->ZMQNewMessage(quote({"C" + std::to_string(n), "20240305101112", "1", "1", "2", "4"}));
    EXPECT_EQ(feed->pendingCodes(), SessionFeed::kMaxPendingCodes);
    EXPECT_EQ(feed->droppedTexts(), 7u);
    // One pass drains them all; on a slow run other work that came due may share that pass.
    EXPECT_GE(platform::RunLoop::main().runOnce(), 1u);
    EXPECT_EQ(feed->pendingCodes(), 0u);
    // The last of the 5000 quotes carried bid offset 4999 % 900 = 499.
    EXPECT_EQ(item("EURUSD").Bid, 1.2499_cdec);
}

TEST_F(SessionFeedTest, DepthIsStoredPerInstrumentAndTheLatestLadderWins) {
    feed->ZMQNewMessage("MD_EURUSD;1.1,5||1.0,7;");
    feed->ZMQNewMessage("MD_GBPUSD;1.3,1;1.4,2|1.5,3");
    EXPECT_EQ(business->marketDepth().buy("EURUSD"), nullptr);
    pump();
    ASSERT_NE(business->marketDepth().buy("EURUSD"), nullptr);
    EXPECT_EQ(*business->marketDepth().buy("EURUSD"), testing_support::depthLevels({"1.1,5", "1.0,7"}));
    EXPECT_TRUE(business->marketDepth().sell("EURUSD")->empty());
    EXPECT_EQ(*business->marketDepth().sell("GBPUSD"), testing_support::depthLevels({"1.4,2", "1.5,3"}));

    feed->ZMQNewMessage("MD_EURUSD;9,1;8,1");
    feed->ZMQNewMessage("MD_EURUSD;2,2;3,3");
    feed->ZMQNewMessage("MD_EURUSD;broken"); // refused: the stored ladder stays
    pump();
    EXPECT_EQ(*business->marketDepth().buy("EURUSD"), testing_support::depthLevels({"2,2"}));
    EXPECT_EQ(*business->marketDepth().sell("EURUSD"), testing_support::depthLevels({"3,3"}));
    // Depth texts do not touch the quote fields.
    EXPECT_FALSE(item("EURUSD").isPriceUpdateReceived);
}

TEST_F(SessionFeedTest, ServerMessageOnTheFeedIsDispatchedLikeAStreamMessage) {
    feed->ZMQNewMessage("IS;" + MessageBase::frame(body("10=1049|12=GBPUSD|574=9")));
    ASSERT_TRUE(pumpUntil([&] { return item("GBPUSD").CurrentTradeSessionSettingId == 9; }));
    EXPECT_EQ(item("EURUSD").CurrentTradeSessionSettingId, 2);
    // Bookmarks and a bare "IS;" change nothing.
    feed->ZMQNewMessage("*#bm#*:42");
    feed->ZMQNewMessage("IS;");
    pump();
    EXPECT_EQ(item("GBPUSD").CurrentTradeSessionSettingId, 9);
    EXPECT_EQ(item("EURUSD").CurrentTradeSessionSettingId, 2);
    EXPECT_EQ(feed->pendingCodes(), 0u);
}

TEST_F(SessionFeedTest, InstrumentStatusOnTheStreamIsAppliedInItsTurnAndAnUnknownCodeChangesNothing) {
    business->NewMessage(frameText(body("10=1049|12=EURUSD|574=0")));
    business->NewMessage(frameText(body("10=1049|12=NOSUCH|574=4")));
    pump();
    EXPECT_EQ(item("EURUSD").CurrentTradeSessionSettingId, 2);
    EXPECT_EQ(business->session().ItemCollection.get("NOSUCH"), nullptr);
    business->NewMessage(frameText(body("10=1049|12=EURUSD|574=5|574=6")));
    ASSERT_TRUE(pumpUntil([&] { return item("EURUSD").CurrentTradeSessionSettingId == 6; }));
}

TEST_F(SessionFeedTest, QuotesFromAnotherThreadAllArriveAsTheLastOne) {
    std::thread producer([&] {
        for (int n = 0; n < 2000; ++n)
            feed->ZMQNewMessage(eurusd("20240305101112", std::to_string(n % 1000), "999"));
        feed->ZMQNewMessage(eurusd("20240305101159", "777", "999"));
    });
    producer.join();
    ASSERT_TRUE(
        pumpUntil([&] { return displayDateTime(item("EURUSD").UpdateTime) == "03/05/2024 10:11:59"; }));
    EXPECT_EQ(item("EURUSD").Bid, 1.2777_cdec);
}

} // namespace
