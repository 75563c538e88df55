#include "session/records/record_fields.h"
#include "session/records/session_settings.h"

#include "record_text.h"

#include <gtest/gtest.h>

namespace {

using namespace tc;

SessionSettings settingsFrom(const std::string& text) {
    return SessionSettings::fromAmpRecord(RecordFields(text));
}

TEST(SessionSettings, FreshSettingsForbidEverything) {
    SessionSettings s;
    EXPECT_FALSE(s.sessionColor.has_value());
    EXPECT_EQ(s.marketTradingStatus, 0u);
    EXPECT_FALSE(s.allowNewMarket || s.allowNewContigent || s.allowEditContigent || s.allowNewTpSl ||
                 s.enterLimitOrder || s.enterMarketOrder || s.editLimitOrder || s.executeOrders);
}

TEST(SessionSettings, TakeProfitPermissionFollowsTheLastEnterOrEditFlagPresent) {
    EXPECT_FALSE(settingsFrom(recordText({"1", "Open"})).allowNewTpSl);
    EXPECT_TRUE(settingsFrom(recordText({"1", "Open", "Y"})).allowNewTpSl);
    EXPECT_FALSE(settingsFrom(recordText({"1", "Open", "Y", "N"})).allowNewTpSl);
    EXPECT_TRUE(settingsFrom(recordText({"1", "Open", "N", "Y"})).allowNewTpSl);
    // A full record: editLimitOrder decides, whatever the enter flags say.
    auto s = settingsFrom(recordText({"1", "Open", "Y", "Y", "N", "Y"}));
    EXPECT_FALSE(s.allowNewTpSl);
    EXPECT_TRUE(s.allowNewContigent);
    EXPECT_TRUE(s.allowNewMarket);
    EXPECT_FALSE(s.allowEditContigent);
    EXPECT_TRUE(s.editMarketOrder);
}

TEST(SessionSettings, SnapshotRecordReadsIdsColourAndStatus) {
    auto s = settingsFrom(recordText({"-1", "Pre-open", "0", "0", "0", "0", "1", "1", "1", "1", "1", "1",
                                      "16711680", "Y", "skipped", "2"}));
    // The 32-bit reading sign-extends into the unsigned id.
    EXPECT_EQ(s.settingsID, UINT64_MAX);
    EXPECT_EQ(s.settingsName, "Pre-open");
    EXPECT_TRUE(s.executeOrders && s.publishMarketData && s.publishTradeData && s.matchMMWithMMOrders &&
                s.enterMarketMakerOrder && s.editMarketMakertOrder && s.useELP);
    ASSERT_TRUE(s.sessionColor);
    EXPECT_EQ(*s.sessionColor, (CalibratedColor{1.0f, 0.0f, 0.0f, 1.0f}));
    EXPECT_EQ(s.marketTradingStatus, 2u);

    auto black = settingsFrom(recordText({"1", "", "", "", "", "", "", "", "", "", "", "", ""}));
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

TEST(ItemType, ReadsIdAndNameOnly) {
    auto t = ItemType::fromAmpRecord(RecordFields(recordText({"3", "Forex", "more"})));
    EXPECT_EQ(t.InstrumentTypeId, 3);
    EXPECT_EQ(t.InstrumentTypeName, "Forex");
}

} // namespace
