#include "gui/main/account_summary_view.h"
#include "gui/main/network_status.h"
#include "gui/texts.h"
#include "model/records/account_details.h"
#include "platform/amount_text.h"
#include "platform/date_format.h"
#include "support/decimal_literal.h"

#include <gtest/gtest.h>

namespace tc::gui {
namespace {

using tc::testing_support::operator""_cdec;

TEST(AccountSummary, AmountsGroupedWithTwoDecimals) {
    EXPECT_EQ(platform::amountText(1234567.891), "1,234,567.89");
    EXPECT_EQ(platform::amountText(-0.5), "-0.50");
    EXPECT_EQ(platform::amountText(12), "12.00");
    AccountDetails figures;
    figures.AccountId = 1001;
    figures.Equity = 2500;
    figures.AvailableMargin = 99.999;
    const auto texts = accountSummaryTexts(figures);
    EXPECT_EQ(texts[0], "1001");
    EXPECT_EQ(texts[1], "2,500.00");
    EXPECT_EQ(texts[2], "0.00");
    EXPECT_EQ(texts[5], "100.00");
    // Until its positions are valued the account's equity, profit and free margin are not known:
    // blank, where worked out without them they read as an account holding nothing.
    figures.Balance = 999997_cdec;
    const auto unvalued = accountSummaryTexts(figures, false);
    EXPECT_EQ(unvalued[0], "1001");
    EXPECT_EQ(unvalued[1], "");
    EXPECT_EQ(unvalued[2], "999,997.00");
    EXPECT_EQ(unvalued[3], "");
    EXPECT_EQ(unvalued[4], "0.00");
    EXPECT_EQ(unvalued[5], "");
}

TEST(NetworkStatus, APingSetsTheLookAndTheClockAndALostStreamReadsAsNoConnection) {
    auto update = networkStatusUpdate({1, "20261207235959"}, false);
    ASSERT_TRUE(update.look && update.serverTime);
    EXPECT_EQ(update.look->speedImage, "Network_Speed_Good");
    EXPECT_EQ(*update.serverTime, "Dec 07, 2026 23:59:59");
    update = networkStatusUpdate({0, ""}, true);
    EXPECT_EQ(update.look->textKey, texts::kNoConnectionTradingServer);
    EXPECT_FALSE(update.serverTime); // no time keeps the last one
    update = networkStatusUpdate({7, "not a time"}, false);
    EXPECT_FALSE(update.look); // an unknown class changes nothing
    EXPECT_FALSE(update.serverTime);
}

TEST(NetworkStatus, TheServersClockInAnHourTheComputersZoneSkipsShowsAsSent) {
    // Berlin skips 02:00-03:00 on 29 March 2026; the server, elsewhere, reads 02:30.
    ASSERT_TRUE(platform::setDeviceTimeZone("Europe/Berlin"));
    const auto update = networkStatusUpdate({0, "20260329023000"}, false);
    platform::resetDeviceTimeZone();
    ASSERT_TRUE(update.serverTime);
    EXPECT_EQ(*update.serverTime, "Mar 29, 2026 02:30:00");
}

} // namespace
} // namespace tc::gui
