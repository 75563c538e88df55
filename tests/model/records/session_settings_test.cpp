#include "model/records/record_fields.h"
#include "model/records/session_settings.h"

#include "support/wire_text.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

using namespace tc;
using testing_support::wireText;

SessionSettings settingsFrom(const std::string& text) {
    return SessionSettings::fromAmpRecord(RecordFields(text));
}

TEST(SessionSettings, TakeProfitPermissionFollowsTheLastEnterOrEditFlagPresent) {
    EXPECT_FALSE(settingsFrom(wireText("1<C>Open")).allowNewTpSl);
    EXPECT_TRUE(settingsFrom(wireText("1<C>Open<C>Y")).allowNewTpSl);
    EXPECT_FALSE(settingsFrom(wireText("1<C>Open<C>Y<C>N")).allowNewTpSl);
    EXPECT_TRUE(settingsFrom(wireText("1<C>Open<C>N<C>Y")).allowNewTpSl);
    // A full record: editLimitOrder decides, whatever the enter flags say.
    auto s = settingsFrom(wireText("1<C>Open<C>Y<C>Y<C>N<C>Y"));
    EXPECT_EQ(std::tuple(s.allowNewTpSl, s.allowNewContigent, s.allowNewMarket, s.allowEditContigent,
                         s.editMarketOrder),
              std::tuple(false, true, true, false, true));
}

TEST(SessionSettings, SnapshotRecordReadsIdsColourAndStatus) {
    auto s = settingsFrom(
        wireText("-1<C>Pre-open<C>0<C>0<C>0<C>0<C>1<C>1<C>1<C>1<C>1<C>1<C>16711680<C>Y<C>skipped<C>2"));
    // The 32-bit reading sign-extends into the unsigned id.
    EXPECT_EQ(s.settingsID, UINT64_MAX);
    EXPECT_EQ(s.settingsName, "Pre-open");
    EXPECT_TRUE(s.executeOrders && s.publishMarketData && s.publishTradeData && s.matchMMWithMMOrders &&
                s.enterMarketMakerOrder && s.editMarketMakerOrder && s.useELP);
    ASSERT_TRUE(s.sessionColor);
    EXPECT_EQ(*s.sessionColor, (CalibratedColor{1.0f, 0.0f, 0.0f, 1.0f}));
    EXPECT_EQ(s.marketTradingStatus, 2u);

    auto black = settingsFrom(wireText("1<C><C><C><C><C><C><C><C><C><C><C><C>"));
    ASSERT_TRUE(black.sessionColor);
    EXPECT_EQ(*black.sessionColor, (CalibratedColor{0, 0, 0, 1}));
}

TEST(CalibratedColor, SplitsTheThreeBytesAndIgnoresHigherBits) {
    auto c = CalibratedColor::fromRGB(0x7F3300 | static_cast<std::int32_t>(0x80000000u));
    EXPECT_FLOAT_EQ(c.red, 127.0f / 255.0f);
    EXPECT_FLOAT_EQ(c.green, 51.0f / 255.0f);
    EXPECT_FLOAT_EQ(c.blue, 0.0f);
    EXPECT_FLOAT_EQ(c.alpha, 1.0f);
}

} // namespace
