// The server's clock as the windows offer it: the last ping reply's clock, moved on by the monotonic
// clock from the moment that reply arrived, whatever the computer's zone; and a date as shown carried
// to the wire as shown.
#include "gui/models/server_clock.h"
#include "model/text/formatter.h"
#include "support/computer_zone.h"

#include <gtest/gtest.h>

namespace {

using tc::gui::ServerClock;
using tc::testing_support::ComputerZone;
using Moment = tc::platform::Clock::time_point;

QDateTime at(int y, int mo, int d, int h, int mi, int s) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
}

TEST(ServerClock, ReadsTheServersFieldsMovedOnFromTheRepliesArrivalInAnyZone) {
    ComputerZone zone("Pacific/Kiritimati");
    ServerClock clock;
    const Moment arrived{std::chrono::hours(5)};
    EXPECT_FALSE(clock.known());
    EXPECT_FALSE(clock.at(arrived).isValid());

    ASSERT_TRUE(clock.heard("20261209181059", arrived));
    EXPECT_TRUE(clock.known());
    EXPECT_EQ(clock.at(arrived), at(2026, 12, 9, 18, 10, 59));
    // Six hours and a minute and a half later, the server's across its midnight.
    EXPECT_EQ(clock.at(arrived + std::chrono::seconds(6 * 3600 + 90)), at(2026, 12, 10, 0, 12, 29));

    // A text that is no time keeps what was heard.
    EXPECT_FALSE(clock.heard("2026120918105", arrived));
    EXPECT_FALSE(clock.heard("20261309181059", arrived));
    EXPECT_EQ(clock.at(arrived), at(2026, 12, 9, 18, 10, 59));

    // The same reply told again later (a silence, a network change) moves nothing: the clock runs on
    // from the reply's arrival, never back to its time.
    ASSERT_TRUE(clock.heard("20261209181059", arrived));
    EXPECT_EQ(clock.at(arrived + std::chrono::seconds(5)), at(2026, 12, 9, 18, 11, 4));

    // A server a zone away from universal time too (New York), heard again later.
    ASSERT_TRUE(clock.heard("20261209131100", arrived + std::chrono::seconds(1)));
    EXPECT_EQ(clock.at(arrived + std::chrono::seconds(61)), at(2026, 12, 9, 13, 12, 0));
}

TEST(ServerClock, NeverRunsBackAtAReplyThatLeftOutMoreOfASecond) {
    // The server's 18:10:02.99, sent as 18:10:02, arrives when the running clock reads 18:10:03.05:
    // the time shown stays where it was; a clock set back by seconds is taken.
    ServerClock clock;
    const Moment arrived{std::chrono::hours(5)};
    ASSERT_TRUE(clock.heard("20261209181000", arrived));
    const QDateTime before = clock.at(arrived + std::chrono::milliseconds(3050));
    ASSERT_TRUE(clock.heard("20261209181002", arrived + std::chrono::milliseconds(3050)));
    EXPECT_EQ(clock.at(arrived + std::chrono::milliseconds(3050)), before);
    ASSERT_TRUE(clock.heard("20261209180900", arrived + std::chrono::seconds(4)));
    EXPECT_EQ(clock.at(arrived + std::chrono::seconds(5)), at(2026, 12, 9, 18, 9, 1));
}

TEST(ServerClock, AServerTimeInTheHourTheComputersZoneSkipsIsHeard) {
    // Berlin skips 02:00-03:00 on 29 March 2026; a server elsewhere reads 02:30 then.
    ComputerZone zone("Europe/Berlin");
    ServerClock clock;
    const Moment arrived{std::chrono::hours(5)};
    ASSERT_TRUE(clock.heard("20260329023000", arrived));
    // The computer cannot hold 02:30 in its local time: the day stays, the time is the first after
    // the gap.
    const QDateTime shown = clock.at(arrived);
    EXPECT_TRUE(shown.isValid());
    EXPECT_EQ(shown.date(), QDate(2026, 3, 29));
    EXPECT_EQ(clock.at(arrived + std::chrono::hours(1)), at(2026, 3, 29, 3, 30, 0));
    // Any time in the gap reads as the gap's end, never an hour on.
    ASSERT_TRUE(clock.heard("20260329021520", arrived));
    EXPECT_EQ(clock.at(arrived), at(2026, 3, 29, 3, 0, 20));
}

TEST(ServerClock, ADateAsShownGoesToTheWireAsShownWhateverTheComputersZone) {
    ComputerZone zone("Asia/Kathmandu");
    // Kathmandu is 5:45 from the device's zone (universal time here): the fields shown are carried,
    // never the computer's reading of them, across a day and a leap day too.
    for (const QDateTime& shown :
         {at(2026, 12, 9, 21, 43, 22), at(2026, 3, 29, 2, 30, 0), at(2024, 2, 29, 0, 0, 0)})
        EXPECT_EQ(tc::Formatter::setAmpFormat(tc::gui::wireMomentOf(shown)),
                  shown.toString(QStringLiteral("yyyyMMddHHmmss")).toStdString());
}

} // namespace
