// The test server's snapshot writer and the client's reader are written apart from each other; this
// proves they agree on the AMP layout for the shipped market.
#include "amp_snapshot.h"
#include "market.h"
#include "options.h"
#include "price_book.h"
#include "session/records/account_details.h"
#include "session/records/item_details.h"
#include "session/records/user_info.h"
#include "session/snapshot/amp_snapshot_loader.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace tc;

TEST(SnapshotAgreement, TheClientReadsWhatTheServerWrites) {
    auto loaded = testserver::loadMarketFile(testserver::defaultMarketPath());
    ASSERT_TRUE(loaded.market) << loaded.error;
    const testserver::Market& market = *loaded.market;
    const testserver::User* demo = market.findUser("demo");
    ASSERT_NE(demo, nullptr);

    testserver::PriceBook book(market.instruments, 7);
    testserver::SnapshotContext context;
    context.feedPort = 6101;
    context.dataPort = 6102;
    context.referenceId = 7001;
    context.updateTime = "20261206120000";
    const std::string text = testserver::ampLoginSnapshot(market, *demo, book.quotes(), context);

    AmpLoadStats stats;
    auto model = AmpSnapshotLoader().load(text, &stats);
    ASSERT_TRUE(model);
    EXPECT_EQ(stats.recordsSkipped, 0u);
    EXPECT_EQ(stats.recordsDropped, 0u);

    ASSERT_TRUE(model->userInfo);
    EXPECT_EQ(model->userInfo->UserId, demo->id);
    EXPECT_EQ(model->userInfo->marketdepthPort, 6101);
    EXPECT_EQ(model->userInfo->hdServerPort, 6102);

    ASSERT_EQ(model->ItemCollection.size(), market.instruments.size());
    const auto quotes = book.quotes();
    for (std::size_t i = 0; i < market.instruments.size(); ++i) {
        const auto& instrument = market.instruments[i];
        const auto* item = model->ItemCollection.get(instrument.code);
        ASSERT_NE(item, nullptr) << instrument.code;
        EXPECT_EQ((*item)->DecimalPlaces, instrument.decimals) << instrument.code;
        EXPECT_NEAR((*item)->TickSize, std::pow(10.0, -instrument.decimals), 1e-12) << instrument.code;
        EXPECT_GT((*item)->Bid, 0.0) << instrument.code;
        EXPECT_GE((*item)->Ask, (*item)->Bid) << instrument.code;
    }

    const auto accounts = market.accountsOf("demo");
    ASSERT_EQ(model->AccountDetailCollection.size(), accounts.size());
    for (const auto* account : accounts) {
        const auto* held = model->AccountDetailCollection.get(std::to_string(account->id));
        ASSERT_NE(held, nullptr) << account->id;
        EXPECT_EQ((*held)->AccountId, account->id);
    }
    EXPECT_EQ(model->GroupDetailCollection.size(), market.groups.size());
}

} // namespace
