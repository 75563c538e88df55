#include "model/text/journal_data.h"

#include "model/records/order.h"
#include "model/text/event_texts.h"
#include "model/text/language_string.h"
#include "model/text/positional_text.h"
#include "platform/date_format.h"
#include "platform/string_table.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

// A decimal written in the test; "" is 0.
[[maybe_unused]] tc::platform::Decimal dec(std::string_view text) {
    return tc::platform::Decimal::fromString(text).value_or(tc::platform::Decimal());
}

using namespace tc;

TEST(FillPositional, FillsPlaceholdersAndLeavesEverythingElseAlone) {
    EXPECT_EQ(fillPositional("{0}-{1}-{0}", {"a", "b"}), "a-b-a");
    // No argument for it: the placeholder stays visible.
    EXPECT_EQ(fillPositional("x{2}y", {"a"}), "x{2}y");
    // Arguments are inserted verbatim, never scanned again or read as a format.
    EXPECT_EQ(fillPositional("{0} and {1}", {"{1}%s%n", "%d"}), "{1}%s%n and %d");
    // Only one-digit placeholders; stray braces and percent signs are plain text.
    EXPECT_EQ(fillPositional("{10} {x} { {9 100% {", {"A", "B"}), "{10} {x} { {9 100% {");
    EXPECT_EQ(fillPositional("", {"a"}), "");
}

class JournalLines : public ::testing::Test {
protected:
    void TearDown() override { platform::resetDeviceTimeZone(); }

    JournalContext context() const {
        JournalContext c;
        c.ServerTime = "20240315143005";
        c.IPAddress = "127.0.0.1";
        c.PortNo = 8080;
        c.userName = "demo";
        // 2024-12-30T12:00:00Z: a Monday whose week-based year is already 2025.
        c.now = platform::Date{1735560000};
        return c;
    }
    static Order order() {
        Order o;
        o.ItemCode = "EURUSD";
        o.RequestId = 314;
        o.PendingOrderId = "PO9";
        o.RemainingQty = dec("2.5");
        o.OpenPositionId = "P77";
        o.OrderPrice = dec("1.08345");
        o.SettlementId = "S5";
        o.SettledPrice = dec("1.09");
        o.TransactionDateTime = wallTimeFromWire("20240102030405");
        return o;
    }

    EventTextsBundle bundle_;
};

TEST_F(JournalLines, LoginLinesReadTheServersClockAsEveryOtherLine) {
    ASSERT_TRUE(platform::setDeviceTimeZone("Asia/Kathmandu"));
    const auto c = context();
    const std::string t = "Mar 15, 2024 14:30:05#$#";
    EXPECT_EQ(JournalData::getLoginJournalData(0, c), t + "Connected 127.0.0.1:8080 as demo");
    EXPECT_EQ(JournalData::getLoginJournalData(1, c), t + "Snapshot 127.0.0.1:8080 for demo");
    EXPECT_EQ(JournalData::getLoginJournalData(2, c), t + "Logged in 127.0.0.1:8080 as demo");
    EXPECT_EQ(JournalData::getOrderJournalData(3, order(), c, 0), t + "New EURUSD Req : 314");
    EXPECT_EQ(JournalData::getSessionNoteJournalData("gone", c), t + "gone");
}

TEST_F(JournalLines, LoginLinesWithoutTheServersClockUseGmtAndTheCalendarYear) {
    // Tokyo is 9 hours ahead: a local clock would print 21:00 of the same day.
    ASSERT_TRUE(platform::setDeviceTimeZone("Asia/Tokyo"));
    auto c = context();
    c.ServerTime.clear();
    EXPECT_EQ(JournalData::getLoginJournalData(0, c),
              "Dec 30, 2024 12:00:00#$#Connected 127.0.0.1:8080 as demo");
    EXPECT_EQ(JournalData::getLoginJournalData(1, c),
              "Dec 30, 2024 12:00:00#$#Snapshot 127.0.0.1:8080 for demo");
    EXPECT_EQ(JournalData::getLoginJournalData(2, c),
              "Dec 30, 2024 12:00:00#$#Logged in 127.0.0.1:8080 as demo");
    EXPECT_EQ(JournalData::getLoginJournalData(3, c), "");
    EXPECT_EQ(JournalData::getLoginJournalData(-1, c), "");
}

TEST_F(JournalLines, OrderLinesForEveryEvent) {
    const auto c = context();
    const Order o = order();
    const std::string t = "Mar 15, 2024 14:30:05#$#";
    EXPECT_EQ(JournalData::getOrderJournalData(3, o, c, 0), t + "New EURUSD Req : 314");
    EXPECT_EQ(JournalData::getOrderJournalData(4, o, c, 0), t + "Pending EURUSD PO : PO9 Qty : 2.5");
    EXPECT_EQ(JournalData::getOrderJournalData(5, o, c, 0), t + "EURUSD PO : PO9");
    EXPECT_EQ(JournalData::getOrderJournalData(6, o, c, 0), t + "Exec EURUSD #P77 @1.08345");
    EXPECT_EQ(JournalData::getOrderJournalData(7, o, c, 0), t + "Settled EURUSD #S5 @1.09");
    EXPECT_EQ(JournalData::getOrderJournalData(8, o, c, 0), t + "Cancelled EURUSD");
    EXPECT_EQ(JournalData::getOrderJournalData(9, o, c, 0), t + "Rej EURUSD");
    for (int kind : {0, 2, 10, -3})
        EXPECT_EQ(JournalData::getOrderJournalData(kind, o, c, 0), "") << kind;

    // Record fields from the server are text, never a format.
    Order odd = o;
    odd.ItemCode = "%s%n{0}";
    EXPECT_EQ(JournalData::getOrderJournalData(8, odd, c, 0), t + "Cancelled %s%n{0}");
}

TEST_F(JournalLines, PricesShowTheInstrumentsDigitsAndAnAbsentPriceShowsNothing) {
    const auto c = context();
    Order o = order();
    const std::string t = "Mar 15, 2024 14:30:05#$#";
    // The server writes "1.09000" for a five-digit instrument; the line shows it so.
    EXPECT_EQ(JournalData::getOrderJournalData(7, o, c, 5), t + "Settled EURUSD #S5 @1.09000");
    EXPECT_EQ(JournalData::getOrderJournalData(6, o, c, 5), t + "Exec EURUSD #P77 @1.08345");
    // Digits past the instrument's are kept, never rounded away.
    EXPECT_EQ(JournalData::getOrderJournalData(6, o, c, 2), t + "Exec EURUSD #P77 @1.08345");
    o.OrderPrice = dec("120");
    EXPECT_EQ(JournalData::getOrderJournalData(6, o, c, 3), t + "Exec EURUSD #P77 @120.000");
    // A settlement whose closing position was never seen has no price, not 0.
    o.OrderPrice.reset();
    o.SettledPrice.reset();
    EXPECT_EQ(JournalData::getOrderJournalData(6, o, c, 5), t + "Exec EURUSD #P77 @");
    EXPECT_EQ(JournalData::getOrderJournalData(7, o, c, 5), t + "Settled EURUSD #S5 @");
}

TEST_F(JournalLines, OrderTimeFallsBackToTheTransactionTimeThenToTheMomentWritten) {
    auto c = context();
    const Order o = order();
    c.ServerTime = "2024-03-15";
    EXPECT_EQ(JournalData::getOrderJournalData(8, o, c, 0), "Jan 02, 2024 03:04:05 AM#$#Cancelled EURUSD");
    Order afternoon = o;
    afternoon.TransactionDateTime = wallTimeFromWire("20240102150405");
    EXPECT_EQ(JournalData::getOrderJournalData(8, afternoon, c, 0),
              "Jan 02, 2024 03:04:05 PM#$#Cancelled EURUSD");
    // Without a time of its own, the line's moment (the clock of the login lines).
    Order untimed = o;
    untimed.TransactionDateTime.reset();
    EXPECT_EQ(JournalData::getOrderJournalData(8, untimed, c, 0), "Dec 30, 2024 12:00:00#$#Cancelled EURUSD");
    // No server clock yet (a fill during the sign-in): the same, never a line without a time.
    c.ServerTime.clear();
    EXPECT_EQ(JournalData::getOrderJournalData(6, o, c, 5),
              "Jan 02, 2024 03:04:05 AM#$#Exec EURUSD #P77 @1.08345");
    EXPECT_EQ(JournalData::getOrderJournalData(6, untimed, c, 5),
              "Dec 30, 2024 12:00:00#$#Exec EURUSD #P77 @1.08345");
}

TEST_F(JournalLines, ServerClockIsPrintedAsSentWhateverTheDeviceZone) {
    // 01:30 on 31 March 2024 does not exist on a London wall clock; the server's text still shows.
    ASSERT_TRUE(platform::setDeviceTimeZone("Europe/London"));
    auto c = context();
    c.ServerTime = "20240331013000";
    EXPECT_EQ(JournalData::getOrderJournalData(8, order(), c, 0), "Mar 31, 2024 01:30:00#$#Cancelled EURUSD");
    ASSERT_TRUE(platform::setDeviceTimeZone("America/New_York"));
    c.ServerTime = "20241231235959";
    EXPECT_EQ(JournalData::getOrderJournalData(8, order(), c, 0), "Dec 31, 2024 23:59:59#$#Cancelled EURUSD");
}

TEST_F(JournalLines, PaymentLines) {
    const auto c = context();
    const std::string t = "Mar 15, 2024 14:30:05#$#";
    PaymentOutcome tx;
    tx.payTransactionId = "TX-{1}%n";
    tx.requestId = 18446744073709551615u;
    const auto with = [&](std::int64_t status, std::int64_t error) {
        PaymentOutcome o = tx;
        o.transStatus = status;
        o.error = error;
        return JournalData::getPaymentTransactionJournalData(o, c);
    };
    EXPECT_EQ(with(3, 0), t + "Payment TX-{1}%n done");
    // An error wins over a success status.
    EXPECT_EQ(with(3, 5), t + "Req : 18446744073709551615 Pay failed");
    EXPECT_EQ(with(4, 0), t + "Req : 18446744073709551615 Pay failed");
    EXPECT_EQ(with(1, 0), "");
    // A reply without a transaction record logs the failure under request 0.
    EXPECT_EQ(JournalData::getPaymentTransactionJournalData({0, "", 0, -2}, c), t + "Req : 0 Pay failed");
    EXPECT_EQ(JournalData::getPaymentTransactionJournalData({}, c), "");
}

} // namespace

namespace {

// Every text the journal and the event banners look up (the keys of the tests' own table) is in the
// shipped English table; a missing one would show its bare number.
TEST(ShippedTexts, EnglishTableHasEveryEventText) {
    const auto keys = platform::StringTable::parse(testing_support::fixtureText("event_texts.txt"), "events");
    ASSERT_GT(keys.size(), 40u);
    for (const auto& [key, text] : keys.entries()) {
        const auto shipped = LanguageString::stringForSelectedLanguage(0, key);
        ASSERT_TRUE(shipped.has_value());
        EXPECT_NE(*shipped, key);
    }
}

} // namespace
